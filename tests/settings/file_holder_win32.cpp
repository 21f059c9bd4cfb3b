// Holds a file open from a second process, the way another deliverable would, until told
// to let go. Usage: file_holder write|readwrite <path> <ready event> <release event>
// Exit code 0 after a clean hold, 2 when the file or an event could not be opened. The
// handles close with the process.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 5) {
        return 2;
    }
    const DWORD access =
        std::wcscmp(argv[1], L"readwrite") == 0 ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE;
    HANDLE file = CreateFileW(argv[2], access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[4]);
    if (file == INVALID_HANDLE_VALUE || ready == nullptr || release == nullptr) {
        return 2;
    }
    SetEvent(ready);
    // Bounded, so that a test that dies early cannot leave us behind for long.
    return WaitForSingleObject(release, 60000) == WAIT_OBJECT_0 ? 0 : 3;
}

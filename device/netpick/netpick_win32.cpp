// The emulated device's connection picker, Netpick.dll. Every call goes to the profile's
// journal with its arguments and result, entry 3 also with the routing in force; the
// profile's faults file can keep the library from loading, make the creation give no object
// or one without its table, choose what entries 3 and 8 return, end the process inside
// entry 3 (a command killed after its routing switch), or hold it there: entry 3 then sets
// the event kInsidePicker and waits (a minute at most) for kLeavePicker.
#include <string>

#include "device/cemapi/device_profile.h"
#include "device/device_files_win32.h"
#include "device/routing_json_win32.h"
#include "sdk/netpick.h"

using namespace pelmora::device;

namespace {

struct Picker : NETPICK_OBJECT {
    LONG live = 1;
};

Faults ProfileFaults(std::u16string& folder) {
    std::string text;
    if (!ProfileFolder(folder)) {
        return Faults{};
    }
    return ReadWholeFile(folder + u"\\faults.txt", text) ? ParseFaults(text) : Faults{};
}

void Journal(JsonObject& line) {
    std::u16string folder;
    if (ProfileFolder(folder)) {
        AppendLine(folder + u"\\outbox.jsonl", line.Finish(true));
    }
}

void JournalCall(const char* call) {
    JsonObject line;
    line.Utf8("call", call);
    Journal(line);
}

template <int N>
void WINAPI UnusedEntry() {
    JsonObject line;
    line.Utf8("call", "NetpickEntry").Number("entry", N);
    Journal(line);
}

int WINAPI Entry3(NETPICK_OBJECT* self, DWORD a, DWORD b, DWORD c, DWORD d, DWORD e) {
    std::u16string folder;
    const Faults faults = ProfileFaults(folder);
    const std::string args = "[" + std::to_string(a) + ", " + std::to_string(b) + ", " +
                             std::to_string(c) + ", " + std::to_string(d) + ", " +
                             std::to_string(e) + "]";
    JsonObject line;
    line.Utf8("call", "NetpickEntry")
        .Number("entry", 3)
        .Utf8("object", self != nullptr ? "given" : "null")
        .Raw("args", args)
        .Number("result", faults.netpickEntry3)
        .Raw("routing", RoutingJson());
    Journal(line);
    if (faults.netpickExit) {
        TerminateProcess(GetCurrentProcess(), 3);
    }
    if (faults.netpickHold) {
        HANDLE inside = CreateEventW(nullptr, TRUE, FALSE, L"Pelmora.Test.InsidePicker");
        HANDLE leave = CreateEventW(nullptr, TRUE, FALSE, L"Pelmora.Test.LeavePicker");
        if (inside != nullptr && leave != nullptr) {
            SetEvent(inside);
            WaitForSingleObject(leave, 60000);
        }
        for (HANDLE h : {inside, leave}) {
            if (h != nullptr) {
                CloseHandle(h);
            }
        }
    }
    return static_cast<int>(faults.netpickEntry3);
}

int WINAPI Entry8(NETPICK_OBJECT* self) {
    std::u16string folder;
    const Faults faults = ProfileFaults(folder);
    JsonObject line;
    line.Utf8("call", "NetpickEntry")
        .Number("entry", 8)
        .Utf8("object", self != nullptr ? "given" : "null")
        .Number("result", faults.netpickEntry8);
    Journal(line);
    return static_cast<int>(faults.netpickEntry8);
}

const NETPICK_VTBL kTable = {
    {UnusedEntry<0>, UnusedEntry<1>, UnusedEntry<2>},
    Entry3,
    {UnusedEntry<4>, UnusedEntry<5>, UnusedEntry<6>, UnusedEntry<7>},
    Entry8,
};

}  // namespace

extern "C" NETPICK_OBJECT* WINAPI CreateObjectNetpick() {
    std::u16string folder;
    const Faults faults = ProfileFaults(folder);
    const bool none = faults.netpickCreateNull;
    JsonObject line;
    line.Utf8("call", "CreateObjectNetpick").Utf8("object", none ? "null" : "given");
    Journal(line);
    if (none) {
        return nullptr;
    }
    Picker* picker = new (std::nothrow) Picker;
    if (picker != nullptr) {
        picker->lpVtbl = faults.netpickTableNull ? nullptr : &kTable;
    }
    return picker;
}

extern "C" void WINAPI DeleteObjectNetpick(NETPICK_OBJECT* object) {
    JsonObject line;
    line.Utf8("call", "DeleteObjectNetpick").Utf8("object", object != nullptr ? "given" : "null");
    Journal(line);
    delete static_cast<Picker*>(object);
}

// The profile can leave the library out; loads and explicit frees are journalled so that a
// test sees the library bound and let go exactly once.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    static bool loaded = false;  // a refused load is detached at once; not a free
    if (reason == DLL_PROCESS_ATTACH) {
        std::u16string folder;
        if (ProfileFaults(folder).netpickMissing) {
            return FALSE;
        }
        loaded = true;
        JournalCall("NetpickLoad");
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr && loaded) {
        JournalCall("NetpickFree");
    }
    return TRUE;
}

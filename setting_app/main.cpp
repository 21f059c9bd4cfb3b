// PelmoraSetting.exe entry point. (The settings window is built in a later step; until
// then the program only creates the settings file with its current values.)
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    return 0;
}

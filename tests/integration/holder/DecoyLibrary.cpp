// A library that does nothing, planted under another library's name (hhctrl.ocx) in a
// program's folder by the tests, to see that the platform does not load it.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}

// The DLL's entry routine: the loader's notifications drive the library's start-up and
// shut-down steps, in an order that does not depend on static construction.
#include <windows.h>

#include "plugin/ULibraryProc.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD reason, LPVOID reserved) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            // A failed step leaves the library loaded without its hotkey service; the
            // commands then answer false instead of the host failing to load it.
            tarvik::plugin::LibraryStartup();
            break;
        case DLL_PROCESS_DETACH:
            tarvik::plugin::LibraryNotification(reason);
            if (reserved != nullptr) {
                // The process is ending, not the library being freed.
                tarvik::plugin::LibraryProcessEnd();
            } else {
                // FreeLibrary, on whichever thread the host calls it.
                tarvik::plugin::LibraryShutdown();
            }
            break;
        default:
            tarvik::plugin::LibraryNotification(reason);
            break;
    }
    return TRUE;
}

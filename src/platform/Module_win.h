// The module this code is linked into: the plug-in DLL, or a test program. Its window
// classes, resources and string table; never GetModuleHandle(NULL), which names the host.
#pragma once

#include <windows.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace tarvik::platform {

inline HINSTANCE OwnModule() noexcept {
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

}  // namespace tarvik::platform

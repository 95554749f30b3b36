// The first top-level window of a thread that a test is looking for. The enumeration's
// callback is a named stdcall function: a lambda converts only to the default calling
// convention, which on i686 is not the one EnumThreadWindows calls.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>

namespace tarvik::testing_support {

inline BOOL CALLBACK StopAtMatch(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<std::pair<const std::function<bool(HWND)>*, HWND>*>(context);
    if ((*search->first)(window)) {
        search->second = window;
        return FALSE;
    }
    return TRUE;
}

// Null when no top-level window of `thread` matches.
inline HWND FirstThreadWindow(DWORD thread, const std::function<bool(HWND)>& match) {
    std::pair<const std::function<bool(HWND)>*, HWND> search{&match, nullptr};
    EnumThreadWindows(thread, StopAtMatch, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

}  // namespace tarvik::testing_support

// The first top-level window of a thread that a test is looking for, and what a second
// thread reads of it and does to it. The enumeration's
// callback is a named stdcall function: a lambda converts only to the default calling
// convention, which on i686 is not the one EnumThreadWindows calls.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
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

// What an outside program reads of a window that another thread runs.
inline std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// WM_GETTEXT reaches a window of another thread; GetWindowText would not always.
inline std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 2000,
                        nullptr);
    return text;
}

// The window of `thread` that has the keyboard focus.
inline HWND FocusOf(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// A key pressed and released on the keyboard: it goes to the foreground window.
inline void PressKey(WORD key) {
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = key;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

}  // namespace tarvik::testing_support

// The first top-level window of a thread that a test is looking for, and what a second
// thread reads of it and does to it. The enumeration's
// callback is a named stdcall function: a lambda converts only to the default calling
// convention, which on i686 is not the one EnumThreadWindows calls.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

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

// Keys pressed in order and released in reverse on the keyboard, as a hand plays
// Shift+Tab: they go to the foreground window.
inline void PressChord(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs(keys.size() * 2);
    std::size_t i = 0;
    for (const WORD key : keys) {
        inputs[i].type = inputs[inputs.size() - 1 - i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = inputs[inputs.size() - 1 - i].ki.wVk = key;
        inputs[inputs.size() - 1 - i].ki.dwFlags = KEYEVENTF_KEYUP;
        ++i;
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// A key pressed and released on the keyboard.
inline void PressKey(WORD key) {
    PressChord({key});
}

}  // namespace tarvik::testing_support

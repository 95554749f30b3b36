// What a test reads of the system about the library's combinations: the name of a
// registration's global atom, whether a combination is free right now, and the
// message-only windows (the library's hidden one among them) that a thread owns.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace tarvik::testing_support {

// "HotKeyManagerHotKey" and the hotkey value (0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt,
// 0x10000 Win, the key code) in decimal.
inline std::string AtomName(unsigned modifiers, unsigned key) {
    unsigned value = key;
    value |= (modifiers & MOD_SHIFT) != 0 ? 0x2000u : 0u;
    value |= (modifiers & MOD_CONTROL) != 0 ? 0x4000u : 0u;
    value |= (modifiers & MOD_ALT) != 0 ? 0x8000u : 0u;
    value |= (modifiers & MOD_WIN) != 0 ? 0x10000u : 0u;
    return "HotKeyManagerHotKey" + std::to_string(value);
}

// Whether this thread could take the combination right now (and gives it back).
inline bool IsFree(unsigned modifiers, unsigned key) {
    if (!RegisterHotKey(nullptr, 0x7000, modifiers, key)) {
        return false;
    }
    UnregisterHotKey(nullptr, 0x7000);
    return true;
}

// Message-only windows that this thread owns.
inline std::size_t MessageOnlyWindowsOfThisThread() {
    std::size_t count = 0;
    HWND window = nullptr;
    while ((window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr) {
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
            ++count;
        }
    }
    return count;
}

}  // namespace tarvik::testing_support

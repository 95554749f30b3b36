// Move-only owners of the GDI and USER handles the dialogs use, one line per kind, and
// a guard that puts back what a device context had selected.
#pragma once

#include <windows.h>

#include "base/UUniqueHandle.h"

namespace tarvik::ui {

using base::UniqueHandle;

inline BOOL WINAPI DeleteFont(HFONT font) { return DeleteObject(font); }
inline BOOL WINAPI DeleteBitmap(HBITMAP bitmap) { return DeleteObject(bitmap); }
inline BOOL WINAPI DeleteBrush(HBRUSH brush) { return DeleteObject(brush); }
inline BOOL WINAPI DeletePen(HPEN pen) { return DeleteObject(pen); }

// A window bound to an object (UWindow_win.h): unbound first, so that the object hears
// nothing of the window's end, then destroyed.
inline BOOL WINAPI UnbindAndDestroyWindow(HWND window) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return DestroyWindow(window);
}

using UniqueBoundWindow = UniqueHandle<HWND, UnbindAndDestroyWindow>;
using UniqueFont = UniqueHandle<HFONT, DeleteFont>;
using UniqueBitmap = UniqueHandle<HBITMAP, DeleteBitmap>;
using UniqueIcon = UniqueHandle<HICON, ::DestroyIcon>;
using UniqueBrush = UniqueHandle<HBRUSH, DeleteBrush>;
using UniquePen = UniqueHandle<HPEN, DeletePen>;
using UniqueMemoryDc = UniqueHandle<HDC, ::DeleteDC>;

// Selects an object into a DC and puts the previous one back when it goes.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), old_(object != nullptr ? SelectObject(dc, object) : nullptr) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() {
        if (old_ != nullptr && old_ != HGDI_ERROR) {
            SelectObject(dc_, old_);
        }
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Text colour and background mode of a DC, restored when the guard goes.
class TextStateGuard {
public:
    TextStateGuard(HDC dc, COLORREF colour, int mode) noexcept
        : dc_(dc), colour_(SetTextColor(dc, colour)), mode_(SetBkMode(dc, mode)) {}
    TextStateGuard(const TextStateGuard&) = delete;
    TextStateGuard& operator=(const TextStateGuard&) = delete;
    ~TextStateGuard() {
        SetTextColor(dc_, colour_);
        SetBkMode(dc_, mode_);
    }

private:
    HDC dc_;
    COLORREF colour_;
    int mode_;
};

}  // namespace tarvik::ui

// Move-only owners of the GDI and USER handles the dialogs use, one line per kind, and
// a guard that puts back what a device context had selected.
#pragma once

#include <windows.h>

#include <utility>

namespace tarvik::ui {

template <typename Handle, typename Result, Result(WINAPI* Close)(Handle)>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    Handle release() noexcept { return std::exchange(handle_, nullptr); }
    void reset(Handle handle = nullptr) noexcept {
        const Handle old = std::exchange(handle_, handle);
        if (old != nullptr) {
            Close(old);
        }
    }

private:
    Handle handle_ = nullptr;
};

inline BOOL WINAPI DeleteFont(HFONT font) { return DeleteObject(font); }
inline BOOL WINAPI DeleteBitmap(HBITMAP bitmap) { return DeleteObject(bitmap); }
inline BOOL WINAPI DeleteBrush(HBRUSH brush) { return DeleteObject(brush); }
inline BOOL WINAPI DeletePen(HPEN pen) { return DeleteObject(pen); }

using UniqueHwnd = UniqueHandle<HWND, BOOL, ::DestroyWindow>;
using UniqueFont = UniqueHandle<HFONT, BOOL, DeleteFont>;
using UniqueBitmap = UniqueHandle<HBITMAP, BOOL, DeleteBitmap>;
using UniqueIcon = UniqueHandle<HICON, BOOL, ::DestroyIcon>;
using UniqueBrush = UniqueHandle<HBRUSH, BOOL, DeleteBrush>;
using UniquePen = UniqueHandle<HPEN, BOOL, DeletePen>;
using UniqueMemoryDc = UniqueHandle<HDC, BOOL, ::DeleteDC>;

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

// The window base of the dialogs (a top-level window bound to its object) and their
// modal run.
#pragma once

#include <windows.h>

#include <functional>

#include "ui/UHandles_win.h"

namespace tarvik::ui {

// A top-level window bound to its object. The object comes with WM_NCCREATE (the
// creation parameter) and lives in GWLP_USERDATA until WM_NCDESTROY; messages before
// and after go to DefWindowProcW. HandleMessage may throw: the window procedure catches
// everything and answers as DefWindowProcW would. The library's window class is
// registered with the first window and unregistered with the last, so no class of the
// DLL outlives its windows. The window is owned by the base: it is unbound and destroyed
// when the base goes, after everything a derived class declares (a derived class that
// keeps fonts or bitmaps for the window takes them from a base listed before this one).
class WindowBase {
public:
    WindowBase() = default;
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;
    virtual ~WindowBase();

    HWND Hwnd() const noexcept { return window_.get(); }

protected:
    // False when the window cannot be created.
    bool Create(DWORD exStyle, DWORD style, const wchar_t* caption, const RECT& bounds,
                HWND owner);
    // Detaches the object and destroys the window; nothing is delivered to the object
    // afterwards.
    void Destroy() noexcept;
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        return DefWindowProcW(Hwnd(), message, wParam, lParam);
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam,
                                      LPARAM lParam) noexcept;
    UniqueBoundWindow window_;
    bool registered_ = false;
};

// Runs a modal loop for `dialog` owned by `owner` (may be null) until `ended` says so.
// The owner and every other visible, enabled top-level window of the thread are
// disabled first, then `show` shows the dialog; exactly those windows are enabled again
// when the loop ends (also by an exception), before the dialog is destroyed. A WM_QUIT
// that arrives meanwhile ends the loop and is posted again.
// `preview` sees every message before IsDialogMessageW does (key preview). Returns
// false when the loop ended by WM_QUIT.
bool RunModalLoop(HWND dialog, HWND owner, const std::function<void()>& show,
                  const std::function<bool()>& ended,
                  const std::function<void(const MSG&)>& preview);

}  // namespace tarvik::ui

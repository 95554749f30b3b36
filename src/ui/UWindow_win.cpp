#include "ui/UWindow_win.h"

#include <vector>

#include "platform/Module_win.h"

namespace tarvik::ui {

using platform::OwnModule;

namespace {
constexpr const wchar_t* kClassName = L"TarvikDialog";
int liveWindows = 0;  // windows of the class; the class lives while there are any

bool RegisterDialogClass(WNDPROC procedure) noexcept {
    if (liveWindows > 0) {
        ++liveWindows;
        return true;
    }
    WNDCLASSEXW description{};
    description.cbSize = sizeof(description);
    description.style = CS_DBLCLKS;
    description.lpfnWndProc = procedure;
    description.hInstance = OwnModule();
    description.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    description.lpszClassName = kClassName;
    description.hbrBackground = nullptr;  // the window paints all of its client area
    if (RegisterClassExW(&description) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    ++liveWindows;
    return true;
}

void ReleaseDialogClass() noexcept {
    if (liveWindows > 0 && --liveWindows == 0) {
        UnregisterClassW(kClassName, OwnModule());
    }
}

// The windows a modal dialog takes out of the user's reach: the owner and every other
// visible, enabled top-level window of the calling thread (the host's main window, its
// palettes and tool windows), as a modal form of a user-interface framework does.
// Exactly those are enabled again when the object goes, whichever way the run ends.
class DisabledThreadWindows {
public:
    DisabledThreadWindows(HWND dialog, HWND owner) noexcept : dialog_(dialog) {
        // The owner even when it is hidden. Out of memory, fewer windows are disabled;
        // the dialog still runs.
        try {
            if (owner != nullptr && owner != dialog && IsWindowEnabled(owner)) {
                windows_.push_back(owner);
            }
        } catch (...) {
        }
        EnumThreadWindows(GetCurrentThreadId(), &DisabledThreadWindows::Collect,
                          reinterpret_cast<LPARAM>(this));
        for (HWND window : windows_) {
            EnableWindow(window, FALSE);
        }
    }
    ~DisabledThreadWindows() {
        for (HWND window : windows_) {
            if (IsWindow(window)) {
                EnableWindow(window, TRUE);
            }
        }
    }
    DisabledThreadWindows(const DisabledThreadWindows&) = delete;
    DisabledThreadWindows& operator=(const DisabledThreadWindows&) = delete;

private:
    static BOOL CALLBACK Collect(HWND window, LPARAM context) noexcept {
        auto* self = reinterpret_cast<DisabledThreadWindows*>(context);
        if (window == self->dialog_ || !IsWindowVisible(window) || !IsWindowEnabled(window)) {
            return TRUE;
        }
        for (HWND known : self->windows_) {
            if (known == window) {
                return TRUE;
            }
        }
        try {
            self->windows_.push_back(window);
        } catch (...) {
            return FALSE;
        }
        return TRUE;
    }

    HWND dialog_;
    std::vector<HWND> windows_;
};

}  // namespace

WindowBase::~WindowBase() {
    Destroy();
}

bool WindowBase::Create(DWORD exStyle, DWORD style, const wchar_t* caption, const RECT& bounds,
                        HWND owner) {
    if (window_ || !RegisterDialogClass(&WindowBase::Procedure)) {
        return false;
    }
    registered_ = true;
    const HWND window = CreateWindowExW(exStyle, kClassName, caption, style, bounds.left,
                                        bounds.top, bounds.right - bounds.left,
                                        bounds.bottom - bounds.top, owner, nullptr, OwnModule(),
                                        this);
    if (window == nullptr) {
        registered_ = false;
        ReleaseDialogClass();
        return false;
    }
    return static_cast<bool>(window_);
}

void WindowBase::Destroy() noexcept {
    // Released before it is destroyed: the object no longer holds a window that is going.
    UniqueBoundWindow(window_.release()).reset();
    if (registered_) {
        registered_ = false;
        ReleaseDialogClass();
    }
}

LRESULT CALLBACK WindowBase::Procedure(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* created = static_cast<WindowBase*>(create->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        created->window_.reset(window);
    }
    auto* object = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (object != nullptr) {
            object->window_.release();  // destroyed by the system: nothing left to own
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (object == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    try {
        return object->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool RunModalLoop(HWND dialog, HWND owner, const std::function<void()>& show,
                  const std::function<bool()>& ended,
                  const std::function<void(const MSG&)>& preview) {
    bool quit = false;
    WPARAM quitCode = 0;
    {
        // The windows come back before the dialog goes, so that the owner gets the
        // activation; also when the loop ends by an exception.
        const DisabledThreadWindows disabled(dialog, owner);
        if (show) {
            show();
        }
        while (!ended() && IsWindow(dialog)) {
            MSG message{};
            const BOOL got = GetMessageW(&message, nullptr, 0, 0);
            if (got == 0) {
                quit = true;
                quitCode = message.wParam;
                break;
            }
            if (got == -1) {
                break;
            }
            if (preview) {
                preview(message);
            }
            if (!IsDialogMessageW(dialog, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
    if (quit) {
        PostQuitMessage(static_cast<int>(quitCode));
    }
    return !quit;
}

}  // namespace tarvik::ui

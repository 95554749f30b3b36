// The host's main window and the unattended author, on Win32.
#include "HostDesktop.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <string>

namespace tarvik::host {

namespace {

constexpr wchar_t kHostWindowClass[] = L"TarvikHostMainWindow";

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

struct FoundDialog {
    HWND hostWindow;
    HWND dialog;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM context) {
    auto* found = reinterpret_cast<FoundDialog*>(context);
    if (window != found->hostWindow && IsWindowVisible(window) && IsWindowEnabled(window)) {
        found->dialog = window;
        return FALSE;
    }
    return TRUE;
}

struct FoundButton {
    const wchar_t* caption;
    HWND button;
};

BOOL CALLBACK FindButton(HWND window, LPARAM context) {
    auto* found = reinterpret_cast<FoundButton*>(context);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    wchar_t text[64] = {};
    // WM_GETTEXT reaches a window of another thread; GetWindowText would not always.
    SendMessageTimeoutW(window, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        1000, nullptr);
    if (lstrcmpiW(className, L"Button") == 0 && lstrcmpW(text, found->caption) == 0) {
        found->button = window;
        return FALSE;
    }
    return TRUE;
}

bool Click(HWND dialog, const wchar_t* caption) {
    FoundButton found{caption, nullptr};
    EnumChildWindows(dialog, FindButton, reinterpret_cast<LPARAM>(&found));
    if (found.button == nullptr) {
        return false;
    }
    SendMessageTimeoutW(found.button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    return true;
}

}  // namespace

HostWindow::HostWindow(const std::string& title) {
    WNDCLASSEXW description{};
    description.cbSize = sizeof(description);
    description.lpfnWndProc = HostWindowProc;
    description.hInstance = GetModuleHandleW(nullptr);
    description.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    description.lpszClassName = kHostWindowClass;
    RegisterClassExW(&description);  // already registered by an earlier window: fine
    const std::wstring caption(title.begin(), title.end());
    HWND window = CreateWindowExW(0, kHostWindowClass, caption.c_str(), WS_OVERLAPPEDWINDOW,
                                  20, 20, 980, 720, nullptr, nullptr, GetModuleHandleW(nullptr),
                                  nullptr);
    if (window != nullptr) {
        ShowWindow(window, SW_SHOW);
        SetForegroundWindow(window);
        SetActiveWindow(window);
    }
    window_ = window;
}

HostWindow::~HostWindow() {
    if (window_ != nullptr) {
        DestroyWindow(static_cast<HWND>(window_));
    }
}

// A thread of the system's own: the shipping build's runtime has no std::thread.
struct DialogWatcher::Worker {
    DialogWatch watch;
    HWND hostWindow = nullptr;
    DWORD threadId = 0;
    std::atomic<bool> stop{false};
    HANDLE thread = nullptr;

    void Run() const {
        // One dialog after another, for as long as the watcher lives.
        while (!stop) {
            FoundDialog found{hostWindow, nullptr};
            while (!stop && found.dialog == nullptr) {
                EnumThreadWindows(threadId, FindDialog, reinterpret_cast<LPARAM>(&found));
                if (found.dialog == nullptr) {
                    Sleep(50);
                }
            }
            if (found.dialog == nullptr) {
                return;
            }
            Sleep(300);  // let it paint
            if (!watch.readyFile.empty()) {
                RECT rect{};
                GetWindowRect(found.dialog, &rect);
                std::ofstream(watch.readyFile, std::ios::binary) << rect.left << ' ' << rect.top << ' '
                                               << rect.right << ' ' << rect.bottom << '\n';
            }
            if (watch.close == DialogWatch::Close::None) {
                return;
            }
            for (int waited = 0; waited < watch.afterMilliseconds && !stop; waited += 50) {
                Sleep(50);
            }
            if (stop) {
                return;
            }
            const bool clicked =
                watch.close == DialogWatch::Close::Ok
                    ? Click(found.dialog, L"&OK")
                    : Click(found.dialog, L"&\u041E\u0442\u043C\u0435\u043D\u0438\u0442\u044C");
            if (!clicked) {
                PostMessageW(found.dialog, WM_CLOSE, 0, 0);
            }
            while (!stop && IsWindow(found.dialog)) {
                Sleep(50);
            }
        }
    }

    static DWORD WINAPI Start(LPVOID self) {
        static_cast<const Worker*>(self)->Run();
        return 0;
    }
};

DialogWatcher::DialogWatcher(const DialogWatch& watch, void* hostWindow)
    : worker_(std::make_unique<Worker>()) {
    worker_->watch = watch;
    worker_->hostWindow = static_cast<HWND>(hostWindow);
    worker_->threadId = GetCurrentThreadId();
    worker_->thread = CreateThread(nullptr, 0, Worker::Start, worker_.get(), 0, nullptr);
}

DialogWatcher::~DialogWatcher() {
    worker_->stop = true;
    if (worker_->thread != nullptr) {
        WaitForSingleObject(worker_->thread, INFINITE);
        CloseHandle(worker_->thread);
    }
}

}  // namespace tarvik::host

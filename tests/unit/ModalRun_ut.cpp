// The dialogs' modal run on real windows (the Windows builds): while it runs, every
// enabled, visible top-level window of the thread is disabled, and exactly those are
// enabled again when it ends, also when it ends by an exception.
#if defined(_WIN32)
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "ui/UWindow_win.h"

namespace tarvik::ui {
namespace {

constexpr wchar_t kClass[] = L"TarvikModalRunTest";

class ThreadWindows : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW description{};
        description.lpfnWndProc = DefWindowProcW;
        description.hInstance = GetModuleHandleW(nullptr);
        description.lpszClassName = kClass;
        RegisterClassW(&description);
        // The host's window, a palette it owns, a free window, a hidden one, one the host
        // keeps disabled; then the dialog, owned by the host's window.
        const struct {
            bool owned;
            DWORD style;
        } rows[] = {{false, WS_OVERLAPPEDWINDOW | WS_VISIBLE},
                    {true, WS_POPUP | WS_CAPTION | WS_VISIBLE},
                    {false, WS_OVERLAPPEDWINDOW | WS_VISIBLE},
                    {false, WS_OVERLAPPEDWINDOW},
                    {false, WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_DISABLED},
                    {true, WS_POPUP | WS_CAPTION | WS_VISIBLE}};
        for (const auto& row : rows) {
            windows.push_back(CreateWindowExW(WS_EX_NOACTIVATE, kClass, L"", row.style, 0, 0, 100, 80,
                                              row.owned ? windows.front() : nullptr, nullptr,
                                              GetModuleHandleW(nullptr), nullptr));
            ASSERT_NE(windows.back(), nullptr);
        }
    }
    void TearDown() override {
        for (auto window = windows.rbegin(); window != windows.rend(); ++window) {
            DestroyWindow(*window);
        }
        UnregisterClassW(kClass, GetModuleHandleW(nullptr));
    }
    std::vector<bool> Enabled() const {
        std::vector<bool> enabled;
        for (HWND window : windows) {
            enabled.push_back(IsWindowEnabled(window) != FALSE);
        }
        return enabled;
    }
    HWND Owner() const { return windows.front(); }
    HWND Dialog() const { return windows.back(); }

    std::vector<HWND> windows;
};

TEST_F(ThreadWindows, AreDisabledWhileTheDialogRunsAndExactlyThoseComeBackAlsoAfterAnException) {
    const std::vector<bool> before = Enabled();
    const std::vector<bool> during = {false, false, false, true, false, true};
    for (const bool failing : {false, true}) {
        SCOPED_TRACE(failing ? "ended by an exception" : "ended");
        std::vector<bool> seen;
        const auto ended = [&] {
            seen = Enabled();
            if (failing) {
                throw std::runtime_error("a failure inside the loop");
            }
            return true;
        };
        if (failing) {
            EXPECT_THROW(RunModalLoop(Dialog(), Owner(), nullptr, ended, nullptr), std::runtime_error);
        } else {
            EXPECT_TRUE(RunModalLoop(Dialog(), Owner(), nullptr, ended, nullptr));
        }
        EXPECT_EQ(seen, during);
        EXPECT_EQ(Enabled(), before);
    }
}

}  // namespace
}  // namespace tarvik::ui
#endif

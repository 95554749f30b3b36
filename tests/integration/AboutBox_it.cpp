// The About box through lmAbout under Wine: a host window is active, and a second
// thread finds the box, reads it and acts on it the way a person would, while the
// host's thread runs the box's modal loop.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "IntegrationSupport.h"
#include "support/ThreadWindows.h"

namespace tarvik::integration {
namespace {

const wchar_t kCaption[] = L"О плагине Tarvik";
const char kHelpKey[] = "Software\\Halvenor\\Corvane\\Tarvik";

// A visible, active top-level window of the test's thread: the host's window.
class HostWindow {
public:
    HostWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"TarvikAboutTestHost";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, L"TarvikAboutTestHost", L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  10, 10, 300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetForegroundWindow(window_);
        SetActiveWindow(window_);
        PumpUntil([] { return false; }, 100);
    }
    ~HostWindow() {
        DestroyWindow(window_);
        UnregisterClassW(L"TarvikAboutTestHost", GetModuleHandleW(nullptr));
    }
    HWND Get() const { return window_; }

private:
    HWND window_ = nullptr;
};

// Without a registered help file for the test, put back afterwards.
class NoHelpFile {
public:
    NoHelpFile() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kHelpKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            char value[MAX_PATH * 2] = {};
            DWORD size = sizeof(value) - 1;
            DWORD type = 0;
            if (RegQueryValueExA(key, "HelpFile", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
                ERROR_SUCCESS) {
                saved_ = value;
                had_ = true;
                RegDeleteValueA(key, "HelpFile");
            }
            RegCloseKey(key);
        }
    }
    ~NoHelpFile() {
        if (had_) {
            HKEY key = nullptr;
            if (RegCreateKeyExA(HKEY_CURRENT_USER, kHelpKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr) == ERROR_SUCCESS) {
                RegSetValueExA(key, "HelpFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(saved_.c_str()),
                               static_cast<DWORD>(saved_.size() + 1));
                RegCloseKey(key);
            }
        }
    }

private:
    std::string saved_;
    bool had_ = false;
};

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 255, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    return text;
}

// The visible window of `thread` with the About box's caption, waiting up to 5 s.
HWND FindBox(DWORD thread) {
    for (int attempt = 0; attempt < 250; ++attempt) {
        const HWND found = testing_support::FirstThreadWindow(
            thread, [](HWND window) { return IsWindowVisible(window) && TextOf(window) == kCaption; });
        if (found != nullptr) {
            return found;
        }
        Sleep(20);
    }
    return nullptr;
}

RECT ClientRectOf(HWND control, HWND box) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void PressKey(WORD key) {
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = key;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

bool Gone(HWND box) {
    for (int i = 0; i < 150 && IsWindow(box) && IsWindowVisible(box); ++i) {
        Sleep(20);
    }
    return !IsWindow(box) || !IsWindowVisible(box);
}

class AboutBoxIt : public PluginFixture {
protected:
    // Runs lmAbout on this thread while `driver` acts on the box from a second thread.
    // A box the driver leaves open is closed so that the test never hangs.
    void RunAbout(const std::function<void(HWND box)>& driver) {
        const DWORD thread = GetCurrentThreadId();
        std::atomic<bool> returned{false};
        std::thread helper([&] {
            const HWND box = FindBox(thread);
            found_ = box != nullptr;
            if (box != nullptr) {
                driver(box);
            }
            for (int i = 0; i < 250 && !returned; ++i) {
                Sleep(20);
            }
            if (!returned && box != nullptr && IsWindow(box)) {
                leftOpen_ = true;
                PostMessageW(box, WM_CLOSE, 0, 0);
            }
        });
        library_->Api().About();
        returned = true;
        helper.join();
    }

    HostWindow host_window_;
    bool found_ = false;
    bool leftOpen_ = false;
};

TEST_F(AboutBoxIt, TheBoxIsOwnedByTheHostsWindowWithItsCaptionSizeButtonsAndPicture) {
    ASSERT_EQ(GetActiveWindow(), host_window_.Get());
    HWND owner = nullptr;
    RECT client{}, ok{}, help{};
    std::wstring okText, helpText;
    HWND focus = nullptr, okButton = nullptr;
    std::vector<COLORREF> pixels;
    RunAbout([&](HWND box) {
        owner = GetWindow(box, GW_OWNER);
        GetClientRect(box, &client);
        okButton = GetDlgItem(box, 1);
        const HWND helpButton = GetDlgItem(box, 9);
        ok = ClientRectOf(okButton, box);
        help = ClientRectOf(helpButton, box);
        okText = TextOf(okButton);
        helpText = TextOf(helpButton);
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        Sleep(300);  // painted
        if (GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info)) {
            focus = info.hwndFocus;
        }
        const HDC dc = GetDC(box);
        // The picture at 8, 8: its blue ground in a corner, the key's light face, the
        // orange bolt; and the white band below it.
        for (const POINT p : {POINT{10, 10}, POINT{8 + 50, 8 + 80}, POINT{8 + 79, 8 + 91}, POINT{80, 200}}) {
            pixels.push_back(GetPixel(dc, p.x, p.y));
        }
        ReleaseDC(box, dc);
        SendMessageTimeoutW(okButton, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    });
    ASSERT_TRUE(found_) << "no window captioned About the plug-in Tarvik";
    EXPECT_FALSE(leftOpen_) << "OK did not close the box";
    EXPECT_EQ(owner, host_window_.Get());
    EXPECT_EQ(client.right, 535);
    EXPECT_EQ(client.bottom, 392);
    EXPECT_EQ(ok.left, 360);
    EXPECT_EQ(ok.top, 348);
    EXPECT_EQ(ok.right - ok.left, 75);
    EXPECT_EQ(ok.bottom - ok.top, 25);
    EXPECT_EQ(help.left, 441);
    EXPECT_EQ(help.top, 348);
    EXPECT_EQ(help.right - help.left, 75);
    EXPECT_EQ(help.bottom - help.top, 25);
    EXPECT_EQ(okText, L"&OK");
    EXPECT_EQ(helpText, L"&Справка");
    EXPECT_EQ(focus, okButton);
    ASSERT_EQ(pixels.size(), 4u);
    EXPECT_GT(GetBValue(pixels[0]), GetRValue(pixels[0]) + 60) << std::hex << pixels[0];
    EXPECT_GT(GetRValue(pixels[1]), 200) << std::hex << pixels[1];
    EXPECT_GT(GetBValue(pixels[1]), 200) << std::hex << pixels[1];
    EXPECT_GT(GetRValue(pixels[2]), 200) << std::hex << pixels[2];
    EXPECT_LT(GetBValue(pixels[2]), 90) << std::hex << pixels[2];
    EXPECT_EQ(pixels[3], RGB(255, 255, 255));
    EXPECT_TRUE(IsWindowEnabled(host_window_.Get()));
    EXPECT_TRUE(Plugin().Messages.empty());
}

TEST_F(AboutBoxIt, EnterAndEscapeCloseTheBox) {
    for (const WORD key : {WORD{VK_RETURN}, WORD{VK_ESCAPE}}) {
        bool closed = false;
        RunAbout([&](HWND box) {
            SetForegroundWindow(box);
            Sleep(100);
            PressKey(key);
            closed = Gone(box);
        });
        ASSERT_TRUE(found_);
        EXPECT_TRUE(closed) << "key " << key;
        EXPECT_FALSE(leftOpen_) << "key " << key;
    }
}

TEST_F(AboutBoxIt, F1AndHelpWithoutAHelpFileSendTheMissingHelpMessageAndTheBoxStaysOpen) {
    NoHelpFile noHelp;
    bool openAfterHelp = false;
    RunAbout([&](HWND box) {
        SetForegroundWindow(box);
        Sleep(100);
        PressKey(VK_F1);
        Sleep(200);
        SendMessageTimeoutW(GetDlgItem(box, 9), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
        Sleep(200);
        openAfterHelp = IsWindow(box) && IsWindowVisible(box);
        SendMessageTimeoutW(GetDlgItem(box, 1), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    });
    ASSERT_TRUE(found_);
    EXPECT_TRUE(openAfterHelp);
    EXPECT_FALSE(leftOpen_);
    EXPECT_EQ(Plugin().Messages,
              (std::vector<std::string>(2, "Missing help file: maybe you need a plugin reinstallation?")));
}

}  // namespace
}  // namespace tarvik::integration

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
const wchar_t kHelpKey[] = L"Software\\Halvenor\\Corvane\\Tarvik";

// A visible, active top-level window of the test's thread: the host's window; and a
// second top-level window of the thread, the host's tool palette.
class HostWindow {
public:
    HostWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = HostWindowProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"TarvikAboutTestHost";
        RegisterClassW(&windowClass);
        palette_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"TarvikAboutTestHost", L"Palette",
                                   WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 560, 160, 120, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        window_ = CreateWindowExW(0, L"TarvikAboutTestHost", L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  10, 10, 300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetForegroundWindow(window_);
        SetActiveWindow(window_);
        PumpUntil([] { return false; }, 100);
        hostHelpMessages = 0;
    }
    ~HostWindow() {
        DestroyWindow(window_);
        DestroyWindow(palette_);
        UnregisterClassW(L"TarvikAboutTestHost", GetModuleHandleW(nullptr));
    }
    HWND Get() const { return window_; }
    HWND Palette() const { return palette_; }

private:
    HWND window_ = nullptr;
    HWND palette_ = nullptr;
};

// Without a registered help file for the test, put back afterwards as it was (a Unicode
// value, whatever script its path is in).
class NoHelpFile {
public:
    NoHelpFile() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kHelpKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            wchar_t value[MAX_PATH * 2] = {};
            DWORD size = sizeof(value) - sizeof(wchar_t);
            DWORD type = 0;
            if (RegQueryValueExW(key, L"HelpFile", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
                ERROR_SUCCESS) {
                saved_ = value;
                had_ = true;
                RegDeleteValueW(key, L"HelpFile");
            }
            RegCloseKey(key);
        }
    }
    ~NoHelpFile() {
        if (had_) {
            HKEY key = nullptr;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, kHelpKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr) == ERROR_SUCCESS) {
                RegSetValueExW(key, L"HelpFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(saved_.c_str()),
                               static_cast<DWORD>((saved_.size() + 1) * sizeof(wchar_t)));
                RegCloseKey(key);
            }
        }
    }

private:
    std::wstring saved_;
    bool had_ = false;
};

using testing_support::PressKey;
using testing_support::TextOf;

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
    bool hostEnabled = true, paletteEnabled = true;
    RunAbout([&](HWND box) {
        owner = GetWindow(box, GW_OWNER);
        hostEnabled = IsWindowEnabled(host_window_.Get()) != FALSE;
        paletteEnabled = IsWindowEnabled(host_window_.Palette()) != FALSE;
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
    EXPECT_FALSE(hostEnabled);
    EXPECT_FALSE(paletteEnabled);
    EXPECT_TRUE(IsWindowEnabled(host_window_.Get()));
    EXPECT_TRUE(IsWindowEnabled(host_window_.Palette()));
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
    EXPECT_EQ(hostHelpMessages, 0) << "F1 reached the host's window as WM_HELP";
}

// Each link's text fits its label in the label's own font, and each memo shows all of
// its lines without scrolling.
TEST_F(AboutBoxIt, TheLinksAndTheMemosShowTheirTextsWhole) {
    struct Fit {
        int id;
        std::wstring text;
        SIZE extent;
        RECT client;
        LRESULT lines;
        int lineHeight;
    };
    std::vector<Fit> fits;
    RunAbout([&](HWND box) {
        for (const int id : {30, 31, 20, 21}) {
            const HWND control = GetDlgItem(box, id);
            Fit fit{id, TextOf(control), {}, {}, 0, 0};
            DWORD_PTR font = 0;
            SendMessageTimeoutW(control, WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG, 2000, &font);
            const HDC dc = GetDC(control);
            const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(font));
            GetTextExtentPoint32W(dc, fit.text.c_str(), static_cast<int>(fit.text.size()), &fit.extent);
            TEXTMETRICW metrics{};
            GetTextMetricsW(dc, &metrics);
            fit.lineHeight = metrics.tmHeight;
            SelectObject(dc, old);
            ReleaseDC(control, dc);
            GetClientRect(control, &fit.client);
            if (id == 20 || id == 21) {  // the memos: lines against their formatting rectangle
                DWORD_PTR lines = 0;
                SendMessageTimeoutW(control, EM_GETLINECOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &lines);
                fit.lines = static_cast<LRESULT>(lines);
                SendMessageTimeoutW(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&fit.client),
                                    SMTO_ABORTIFHUNG, 2000, nullptr);
            }
            fits.push_back(fit);
        }
        SendMessageTimeoutW(GetDlgItem(box, 1), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
    });
    ASSERT_TRUE(found_);
    ASSERT_EQ(fits.size(), 4u);
    for (const Fit& fit : fits) {
        ASSERT_FALSE(fit.text.empty()) << fit.id;
        ASSERT_GT(fit.lineHeight, 0) << fit.id;
        if (fit.id == 30 || fit.id == 31) {
            // With a tenth to spare for wider builds of the face.
            EXPECT_LE(fit.extent.cx + fit.extent.cx / 10, fit.client.right - fit.client.left)
                << "the link " << std::string(fit.text.begin(), fit.text.end()) << " is cut";
        } else {
            EXPECT_GT(fit.lines, 0) << fit.id;
            EXPECT_LE(fit.lines, (fit.client.bottom - fit.client.top) / fit.lineHeight)
                << "memo " << fit.id << " needs scrolling";
        }
    }
}

}  // namespace
}  // namespace tarvik::integration

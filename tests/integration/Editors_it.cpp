// The command editors through the DLL's exports under real Win32 (wine64 + Xvfb). The
// test host owns an active window and calls lmEditAction; a second thread plays the
// user: it finds the dialog among the host thread's windows, reads its controls'
// rectangles and texts, types, clicks and presses keys, as any outside program could.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "IntegrationSupport.h"
#include "support/Polling.h"
#include "support/ThreadWindows.h"

namespace tarvik::integration {
namespace {

const wchar_t kHostClass[] = L"TarvikTestHostWindow";
const wchar_t kPaletteClass[] = L"TarvikTestHostPalette";
const char kHelpKey[] = "Software\\Halvenor\\Corvane\\Tarvik";

struct Box {
    int left, top, width, height;
    bool operator==(const Box& o) const {
        return left == o.left && top == o.top && width == o.width && height == o.height;
    }
};
std::ostream& operator<<(std::ostream& out, const Box& b) {
    return out << "(" << b.left << "," << b.top << " " << b.width << "x" << b.height << ")";
}

using testing_support::ClassOf;
using testing_support::FocusOf;
using testing_support::TextOf;

Box BoxIn(HWND dialog, HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return Box{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// A windowed control as an outside program sees it.
struct Seen {
    std::wstring kind;  // "Edit", "ComboBox", "Button"
    std::wstring text;
    Box box;
    HWND hwnd;
    LONG style;
};

std::vector<Seen> VisibleControls(HWND dialog) {
    std::vector<Seen> seen;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsWindowVisible(child)) {
            seen.push_back(Seen{ClassOf(child), TextOf(child), BoxIn(dialog, child), child,
                                GetWindowLongW(child, GWL_STYLE)});
        }
    }
    return seen;
}

bool SameClass(const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
           CSTR_EQUAL;
}

HWND Find(HWND dialog, const std::wstring& kind, int index) {
    int found = 0;
    for (const Seen& s : VisibleControls(dialog)) {
        if (SameClass(s.kind, kind) && found++ == index) {
            return s.hwnd;
        }
    }
    return nullptr;
}

HWND ButtonNamed(HWND dialog, const std::wstring& text) {
    for (const Seen& s : VisibleControls(dialog)) {
        if (SameClass(s.kind, L"Button") && s.text == text) {
            return s.hwnd;
        }
    }
    return nullptr;
}


// The control of the dialog that holds the focus (a combo box for its inner edit).
HWND FocusedControl(HWND dialog, DWORD thread) {
    HWND focus = FocusOf(thread);
    while (focus != nullptr && GetParent(focus) != dialog) {
        focus = GetParent(focus);
    }
    return focus;
}

void Type(HWND control, const std::wstring& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_BLOCK,
                        2000, &ignored);
}

void Click(HWND button) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_BLOCK, 3000, &ignored);
}

// A key pressed and released on the focused window, as the keyboard would queue it.
void Key(DWORD thread, UINT key) {
    HWND focus = FocusOf(thread);
    const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    PostMessageW(focus, WM_KEYDOWN, key, 1 | (scan << 16));
    PostMessageW(focus, WM_KEYUP, key, 1 | (scan << 16) | (3u << 30));
}

using testing_support::WaitFor;

// The dialog: a visible top-level window of the host's thread other than its own.
HWND FindDialog(DWORD thread, HWND host) {
    return testing_support::FirstThreadWindow(thread, [host](HWND window) {
        return window != host && IsWindowVisible(window) && GetParent(window) == host &&
               ClassOf(window) != L"#32770" && ClassOf(window) != kPaletteClass;
    });
}

// A message box or other #32770 window of the thread.
HWND FindMessageBox(DWORD thread) {
    return testing_support::FirstThreadWindow(
        thread, [](HWND window) { return IsWindowVisible(window) && ClassOf(window) == L"#32770"; });
}

struct User {
    std::function<void(HWND dialog)> act;
    DWORD hostThread;
    HWND host;
    std::vector<HWND> watched;  // the host's top-level windows
    HWND dialog = nullptr;
    std::vector<bool> enabledWhileOpen;
    bool closedInTime = false;
};

DWORD WINAPI RunUser(void* parameter) {
    auto* user = static_cast<User*>(parameter);
    WaitFor([&] { return (user->dialog = FindDialog(user->hostThread, user->host)) != nullptr; },
            10000);
    if (user->dialog == nullptr) {
        return 1;
    }
    WaitFor([&] { return IsChild(user->dialog, FocusOf(user->hostThread)) != FALSE; });
    for (HWND window : user->watched) {
        user->enabledWhileOpen.push_back(IsWindowEnabled(window) != FALSE);
    }
    user->act(user->dialog);
    user->closedInTime = WaitFor([&] { return !IsWindow(user->dialog); });
    if (!user->closedInTime && IsWindow(user->dialog)) {
        PostMessageW(user->dialog, WM_CLOSE, 0, 0);  // let the test end
    }
    return 0;
}

class EditorsIt : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        WNDCLASSEXW description{};
        description.cbSize = sizeof(description);
        description.lpfnWndProc = HostWindowProcedure;
        description.hInstance = GetModuleHandleW(nullptr);
        description.lpszClassName = kHostClass;
        RegisterClassExW(&description);
        description.lpszClassName = kPaletteClass;
        RegisterClassExW(&description);
        host = CreateWindowExW(0, kHostClass, L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640,
                               480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(host, nullptr);
        // The host's other top-level windows of the thread: a tool palette it owns, a
        // free-standing window, and one that the host keeps disabled itself.
        const struct {
            HWND owner;
            DWORD style;
        } others[] = {{host, WS_POPUP | WS_CAPTION | WS_VISIBLE},
                      {nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE},
                      {nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_DISABLED}};
        for (const auto& other : others) {
            palettes.push_back(CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kPaletteClass,
                                               L"Palette", other.style, 0, 560, 160, 120,
                                               other.owner, nullptr, GetModuleHandleW(nullptr),
                                               nullptr));
            ASSERT_NE(palettes.back(), nullptr);
        }
        SetForegroundWindow(host);
        SetActiveWindow(host);
        hostHelpMessages = 0;
        RegDeleteTreeA(HKEY_CURRENT_USER, kHelpKey);
    }
    void TearDown() override {
        for (char*& slot : slots) {
            if (slot != nullptr) {
                host::system::Free(slot);
            }
        }
        RegDeleteTreeA(HKEY_CURRENT_USER, kHelpKey);
        for (HWND palette : palettes) {
            DestroyWindow(palette);
        }
        DestroyWindow(host);
        UnregisterClassW(kPaletteClass, GetModuleHandleW(nullptr));
        UnregisterClassW(kHostClass, GetModuleHandleW(nullptr));
        PluginFixture::TearDown();
    }

    // The host's blocks are 4096 bytes larger than their texts. The heap may give the
    // address the plug-in released out again for its fresh block, so a fresh block is
    // told by its size: exactly the text and its zero.
    void Slots(const std::vector<const char*>& texts) {
        for (const char* text : texts) {
            char* block = nullptr;
            if (text != nullptr) {
                block = static_cast<char*>(host::system::Alloc(std::strlen(text) + 4096));
                std::memcpy(block, text, std::strlen(text) + 1);
            }
            slots.push_back(block);
        }
        slots.push_back(nullptr);
        before = slots;
    }
    // Gives the blocks back and makes the slots afresh.
    void ResetSlots(const std::vector<const char*>& texts) {
        for (char* slot : slots) {
            if (slot != nullptr) {
                host::system::Free(slot);
            }
        }
        slots.clear();
        Slots(texts);
    }
    std::string Slot(std::size_t i) const { return slots[i] != nullptr ? slots[i] : "<null>"; }
    bool FreshBlock(std::size_t i) const {
        return slots[i] != nullptr && GlobalSize(slots[i]) == std::strlen(slots[i]) + 1;
    }

    // Calls lmEditAction with the slots while `act` plays the user on another thread.
    bool Edit(int number, const std::function<void(HWND dialog)>& act) {
        if (slots.empty()) {
            Slots({nullptr, nullptr, nullptr});
        }
        User user{act, GetCurrentThreadId(), host, {host, palettes[0], palettes[1], palettes[2]}, nullptr, {}, false};
        HANDLE thread = CreateThread(nullptr, 0, &RunUser, &user, 0, nullptr);
        EXPECT_NE(thread, nullptr);
        const std::int32_t answer = library_->Api().EditAction(number, slots.data());
        WaitForSingleObject(thread, INFINITE);  // every wait of the user is bounded: it ends
        CloseHandle(thread);
        EXPECT_NE(user.dialog, nullptr) << "no dialog for command " << number;
        EXPECT_TRUE(user.closedInTime) << "the dialog did not close";
        EXPECT_FALSE(IsWindow(user.dialog));  // destroyed before lmEditAction returned
        // Modal towards every window of the host's thread, and afterwards each one as
        // it was: the host's own disabled window stays disabled.
        EXPECT_EQ(user.enabledWhileOpen, (std::vector<bool>{false, false, false, false}));
        for (std::size_t i = 0; i < user.watched.size(); ++i) {
            EXPECT_EQ(IsWindowEnabled(user.watched[i]) != FALSE, i < 3) << "window " << i;
        }
        return answer == 1;
    }

    std::vector<std::string> Requests() const {
        std::vector<std::string> requests;
        for (const std::string& event : Plugin().Events) {
            if (event.rfind("Request", 0) == 0) {
                requests.push_back(event);
            }
        }
        return requests;
    }
    host::Host& Plugin() const { return *host_; }

    HWND host = nullptr;
    std::vector<HWND> palettes;
    std::vector<char*> slots;
    std::vector<char*> before;
};

// --- Layout ----------------------------------------------------------------------------------

struct Expected {
    int number;
    const wchar_t* caption;
    int clientHeight;
    std::vector<Box> fields;    // top to bottom: edit boxes and the combo box
    std::vector<Box> pickers;   // the visible picture buttons
    int buttonsTop;
    int okLeft;
    bool subroutine;  // the top field is a combo box
};

const std::vector<Expected>& Editors() {
    static const std::vector<Expected> editors = {
        {1, L"TarvikAdd \x0441\x0432\x043E\x0439\x0441\x0442\x0432\x0430", 280,
         {{21, 43, 300, 22}, {22, 102, 300, 22}}, {{327, 41, 27, 23}, {328, 100, 27, 23}}, 243, 199,
         false},
        {2, L"TarvikChange \x0441\x0432\x043E\x0439\x0441\x0442\x0432\x0430", 343,
         {{21, 43, 300, 22}, {22, 105, 300, 22}, {21, 166, 300, 22}},
         {{327, 41, 27, 23}, {328, 103, 27, 23}, {327, 164, 27, 23}}, 308, 198, false},
        {3, L"TarvikRemove \x0441\x0432\x043E\x0439\x0441\x0442\x0432\x0430", 289,
         {{21, 43, 300, 22}, {21, 110, 300, 22}}, {{327, 41, 27, 23}, {327, 108, 27, 23}}, 253, 198,
         false},
        {4, L"TarvikRemoveById \x0441\x0432\x043E\x0439\x0441\x0442\x0432\x0430", 287,
         {{21, 43, 300, 22}, {21, 110, 300, 22}}, {{327, 41, 27, 23}, {327, 108, 27, 23}}, 251, 198,
         false},
        {6, L"TarvikIsValid \x0441\x0432\x043E\x0439\x0441\x0442\x0432\x0430", 286,
         {{21, 43, 300, 22}, {21, 110, 300, 22}}, {{327, 41, 27, 23}, {327, 108, 27, 23}}, 253, 198,
         false},
        {7, L"TarvikIsAvailable \x0441\x0432\x043E\x0439\x0441\x0442\x0432\x0430", 286,
         {{21, 43, 300, 22}, {21, 110, 300, 22}}, {{327, 41, 27, 23}, {327, 108, 27, 23}}, 251, 198,
         false},
        {8, L"tvOnKeyPress \x0441\x0432\x043E\x0439\x0441\x0442\x0432\x0430", 355,
         {{21, 43, 300, 22}, {21, 107, 300, 22}, {21, 174, 300, 22}},
         {{327, 43, 27, 23}, {327, 105, 27, 23}, {327, 172, 27, 23}}, 319, 198, true},
    };
    return editors;
}

const wchar_t kOk[] = L"&OK";
const wchar_t kCancel[] = L"&\x041E\x0442\x043C\x0435\x043D\x0438\x0442\x044C";
const wchar_t kHelp[] = L"&\x0421\x043F\x0440\x0430\x0432\x043A\x0430";

TEST_F(EditorsIt, LayoutOfEveryEditorToThePixel) {
    for (const Expected& e : Editors()) {
        SCOPED_TRACE(e.number);
        std::vector<Seen> seen;
        RECT client{};
        std::wstring caption;
        HWND owner = nullptr;
        bool hostDisabled = false;
        HWND focus = nullptr;
        HWND firstField = nullptr;
        std::vector<HWND> tabOrder;
        std::vector<HWND> expectedTabs;
        Edit(e.number, [&](HWND dialog) {
            const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
            GetClientRect(dialog, &client);
            caption = TextOf(dialog);
            owner = GetWindow(dialog, GW_OWNER);
            hostDisabled = !IsWindowEnabled(host);
            seen = VisibleControls(dialog);
            focus = FocusedControl(dialog, thread);
            firstField = Find(dialog, e.subroutine ? L"ComboBox" : L"Edit", 0);
            // Tab through the dialog: the fields top to bottom, then the three buttons.
            for (std::size_t i = 0; i < e.fields.size() + 3; ++i) {
                tabOrder.push_back(FocusedControl(dialog, thread));
                const HWND was = FocusOf(thread);
                Key(thread, VK_TAB);
                WaitFor([&] { return FocusOf(thread) != was; }, 1000);
            }
            for (std::size_t i = 0; i < e.fields.size(); ++i) {
                const bool combo = e.subroutine && i == 0;
                expectedTabs.push_back(Find(dialog, combo ? L"ComboBox" : L"Edit",
                                            combo ? 0 : static_cast<int>(e.subroutine ? i - 1 : i)));
            }
            // tvOnKeyPress runs its buttons right to left: Help, Cancel, OK.
            const bool reversed = e.number == 8;
            for (const wchar_t* name : {kOk, kCancel, kHelp}) {
                expectedTabs.push_back(ButtonNamed(dialog, name));
            }
            if (reversed) {
                std::reverse(expectedTabs.end() - 3, expectedTabs.end());
            }
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        });
        EXPECT_EQ(caption, e.caption);
        EXPECT_EQ(client.right, 441);
        EXPECT_EQ(client.bottom, e.clientHeight);
        EXPECT_EQ(owner, host);
        EXPECT_TRUE(hostDisabled);
        EXPECT_EQ(focus, firstField);
        EXPECT_EQ(tabOrder, expectedTabs);

        std::vector<Box> fields, pickers, buttons;
        std::vector<std::wstring> buttonTexts;
        for (const Seen& s : seen) {
            if (SameClass(s.kind, L"Edit") || SameClass(s.kind, L"ComboBox")) {
                fields.push_back(s.box);
            } else if (SameClass(s.kind, L"Button") &&
                       (s.style & BS_TYPEMASK) == BS_OWNERDRAW) {
                pickers.push_back(s.box);
                EXPECT_FALSE(s.style & WS_TABSTOP);
            } else if (SameClass(s.kind, L"Button")) {
                buttons.push_back(s.box);
                buttonTexts.push_back(s.text);
            }
        }
        auto byTop = [](const Box& a, const Box& b) { return a.top < b.top; };
        std::sort(fields.begin(), fields.end(), byTop);
        std::sort(pickers.begin(), pickers.end(), byTop);
        EXPECT_EQ(fields, e.fields);
        EXPECT_EQ(pickers, e.pickers);
        std::vector<std::pair<int, std::wstring>> placed;
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            EXPECT_EQ(buttons[i].top, e.buttonsTop);
            EXPECT_EQ(buttons[i].width, 75);
            EXPECT_EQ(buttons[i].height, 25);
            placed.emplace_back(buttons[i].left, buttonTexts[i]);
        }
        std::sort(placed.begin(), placed.end());
        const std::vector<std::pair<int, std::wstring>> expectedButtons = {
            {e.okLeft, kOk}, {e.okLeft + 80, kCancel}, {e.okLeft + 160, kHelp}};
        EXPECT_EQ(placed, expectedButtons);
    }
}

// --- Focus from the keyboard ----------------------------------------------------------------

// The focused field's text, and whether all of it is selected within a second of the
// focus arriving. For a combo box the focus ends in its inner edit, which answers the
// same; on its way it passes the combo box itself, so the focus is read afresh each time.
std::pair<std::wstring, bool> FocusedSelection(DWORD thread) {
    HWND field = nullptr;
    const auto whole = [&] {
        field = FocusOf(thread);
        DWORD start = 1, end = 0;
        SendMessageTimeoutW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                            reinterpret_cast<LPARAM>(&end), SMTO_BLOCK, 2000, nullptr);
        return start == 0 && end == TextOf(field).size();
    };
    const bool selected = WaitFor(whole, 1000);
    return {TextOf(field), selected};
}

// Opening, Tab and Shift+Tab give a field the focus from the keyboard: its whole text is
// selected, so what the author types replaces it.
TEST_F(EditorsIt, KeyboardFocusSelectsTheWholeFieldAndTypingReplacesIt) {
    const std::vector<std::wstring> texts = {L"Ctrl+Alt+F5", L"HK", L"KEY"};
    for (const Expected& e : Editors()) {
        SCOPED_TRACE(e.number);
        ResetSlots({"Ctrl+Alt+F5", "HK", "KEY"});
        std::vector<std::pair<std::wstring, bool>> arrivals;
        std::wstring typed;
        EXPECT_TRUE(Edit(e.number, [&](HWND dialog) {
            const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
            arrivals.push_back(FocusedSelection(thread));
            for (const wchar_t c : std::wstring(L"Ctrl+F6")) {
                PostMessageW(FocusOf(thread), WM_CHAR, c, 1);
            }
            WaitFor([&] { return TextOf(FocusOf(thread)) == L"Ctrl+F6"; }, 1000);
            typed = TextOf(FocusOf(thread));
            // The keys below come from the keyboard, to the window in front.
            SetForegroundWindow(dialog);
            WaitFor([&] { return GetForegroundWindow() == dialog; }, 1000);
            const auto move = [&](std::initializer_list<WORD> keys) {
                const HWND was = FocusOf(thread);
                testing_support::PressChord(keys);
                WaitFor([&] { return FocusOf(thread) != was; }, 1000);
                arrivals.push_back(FocusedSelection(thread));
            };
            for (std::size_t i = 1; i < e.fields.size(); ++i) {
                move({VK_TAB});
            }
            for (std::size_t i = 1; i < e.fields.size(); ++i) {
                move({VK_SHIFT, VK_TAB});
            }
            Click(ButtonNamed(dialog, kOk));
        }));
        std::vector<std::pair<std::wstring, bool>> expected = {{texts[0], true}};
        for (std::size_t i = 1; i < e.fields.size(); ++i) {
            expected.emplace_back(texts[i], true);
        }
        for (std::size_t i = e.fields.size() - 1; i-- > 0;) {
            expected.emplace_back(i == 0 ? L"Ctrl+F6" : texts[i], true);
        }
        EXPECT_EQ(arrivals, expected);
        EXPECT_EQ(typed, L"Ctrl+F6");
        EXPECT_EQ(Slot(0), "Ctrl+F6");
    }
}

// --- Colours -----------------------------------------------------------------------------------

// In the system's high-contrast mode the editor paints in the system's colours: the
// description box in the window colour, the frame's ground (outside its panel picture) in
// the face colour. Wine always reports the mode off, so the test host answers the DLL's
// SystemParametersInfoW for it.
TEST_F(EditorsIt, HighContrastPaintsInTheSystemsColoursInsteadOfTheFixedOnes) {
    const COLORREF description = RGB(255, 255, 225), frame = RGB(240, 240, 240);
    ASSERT_NE(GetSysColor(COLOR_WINDOW), description);
    ASSERT_NE(GetSysColor(COLOR_BTNFACE), frame);
    Slots({"Ctrl+Alt+F5", "HK"});
    const auto sample = [&] {
        std::vector<COLORREF> pixels;
        Edit(1, [&](HWND dialog) {
            Sleep(300);  // painted
            const HDC dc = GetDC(dialog);
            // Inside the description box right of its text; the top frame right of its panel.
            for (const POINT p : {POINT{428, 225}, POINT{300, 15}}) {
                pixels.push_back(GetPixel(dc, p.x, p.y));
            }
            ReleaseDC(dialog, dc);
            Click(ButtonNamed(dialog, kCancel));
        });
        return pixels;
    };
    EXPECT_EQ(sample(), (std::vector<COLORREF>{description, frame}));
    ASSERT_TRUE(library_->ReportHighContrast());
    EXPECT_EQ(sample(), (std::vector<COLORREF>{GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_BTNFACE)}));
}

// --- Confirming and cancelling ---------------------------------------------------------------

TEST_F(EditorsIt, OkByButtonOrEnterRewritesEverySlotWithFreshBlocks) {
    Slots({"Ctrl+A", "Old \"q\"", nullptr});
    EXPECT_TRUE(Edit(2, [&](HWND dialog) {
        Type(Find(dialog, L"Edit", 1), L"Ctrl+Alt+F5 \"x\"");
        Click(ButtonNamed(dialog, kOk));
    }));
    EXPECT_EQ(Slot(0), "Ctrl+A");
    EXPECT_EQ(Slot(1), "Ctrl+Alt+F5 [#34]x[#34]");
    EXPECT_EQ(Slot(2), "");
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(FreshBlock(i)) << i;
    }
}

TEST_F(EditorsIt, EnterInAFieldConfirms) {
    Slots({"Ctrl+A", "HK"});
    EXPECT_TRUE(Edit(1, [&](HWND dialog) {
        Type(Find(dialog, L"Edit", 1), L"ID \"1\"");
        Key(GetWindowThreadProcessId(dialog, nullptr), VK_RETURN);
    }));
    EXPECT_TRUE(FreshBlock(0));
    EXPECT_EQ(Slot(0), "Ctrl+A");
    EXPECT_EQ(Slot(1), "ID [#34]1[#34]");
}

TEST_F(EditorsIt, CancelEscapeAndTheCloseBoxLeaveTheVeryBlocks) {
    Slots({"Main", "ID", "KEY"});
    Plugin().Subroutines = {"Main", "OnHotkey"};
    const std::vector<std::function<void(HWND)>> endings = {
        [](HWND dialog) { Click(ButtonNamed(dialog, kCancel)); },
        [](HWND dialog) { Key(GetWindowThreadProcessId(dialog, nullptr), VK_ESCAPE); },
        [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    for (const auto& ending : endings) {
        std::vector<std::wstring> items;
        EXPECT_FALSE(Edit(8, [&](HWND dialog) {
            const HWND combo = Find(dialog, L"ComboBox", 0);
            const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
            for (LRESULT i = 0; i < count; ++i) {
                wchar_t item[64] = {};
                SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
                items.push_back(item);
            }
            Type(combo, L"Other");
            Type(Find(dialog, L"Edit", 1), L"changed");
            ending(dialog);
        }));
        EXPECT_EQ(items, (std::vector<std::wstring>{L"Main", L"OnHotkey"}));
        EXPECT_EQ(slots, before);
        EXPECT_EQ(Slot(0), "Main");
    }
}

TEST_F(EditorsIt, CodePageRussianTextsReadBackThroughTheFields) {
    // The host's texts are in its ANSI code page; the fields show them as Unicode.
    const std::string ansi = "\xCF\xF0\xE8\xE2\xE5\xF2";  // "Привет" in 1251, "Ïðèâåò" in 1252
    wchar_t wide[16] = {};
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide, 16);
    Slots({ansi.c_str(), nullptr});
    std::wstring shown;
    std::wstring caption;
    EXPECT_TRUE(Edit(1, [&](HWND dialog) {
        shown = TextOf(Find(dialog, L"Edit", 0));
        caption = TextOf(ButtonNamed(dialog, kCancel));
        Click(ButtonNamed(dialog, kOk));
    }));
    EXPECT_EQ(shown, wide);
    EXPECT_EQ(caption, kCancel);
    EXPECT_EQ(Slot(0), ansi);
}

// --- Pickers and help ------------------------------------------------------------------------

TEST_F(EditorsIt, PickerAsksVersionThenVariablePickerWithTheCurrentText) {
    Slots({"Ctrl+A", "Old"});
    Plugin().PickReply = std::string("Picked");
    bool selectedAll = false;
    bool fieldFocused = false;
    EXPECT_TRUE(Edit(1, [&](HWND dialog) {
        const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
        std::vector<Seen> pickers;
        for (const Seen& s : VisibleControls(dialog)) {
            if ((GetWindowLongW(s.hwnd, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW) {
                pickers.push_back(s);
            }
        }
        std::sort(pickers.begin(), pickers.end(),
                  [](const Seen& a, const Seen& b) { return a.box.top < b.box.top; });
        Click(pickers.at(1).hwnd);
        const HWND field = Find(dialog, L"Edit", 1);
        WaitFor([&] { return TextOf(field) == L"Picked"; });
        fieldFocused = FocusOf(thread) == field;
        DWORD start = 0, end = 0;
        SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        selectedAll = start == 0 && end == 6;
        Click(ButtonNamed(dialog, kOk));
    }));
    EXPECT_TRUE(fieldFocused);
    EXPECT_TRUE(selectedAll);
    EXPECT_EQ(Slot(1), "Picked");
    const std::vector<std::string> requests = Requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[requests.size() - 2], "Request 6");
    EXPECT_EQ(requests.back(), "Request 14 Old");
}

TEST_F(EditorsIt, PickerOnAVersion4HostShowsTheMessageAndChangesNothing) {
    Slots({"Ctrl+A", "Old"});
    Plugin().Version = std::string("4.0");
    Plugin().PickReply = std::string("Never");
    EXPECT_TRUE(Edit(1, [&](HWND dialog) {
        for (const Seen& s : VisibleControls(dialog)) {
            if ((GetWindowLongW(s.hwnd, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW) {
                Click(s.hwnd);
                break;
            }
        }
        Click(ButtonNamed(dialog, kOk));
    }));
    EXPECT_EQ(Slot(0), "Ctrl+A");
    EXPECT_EQ(Plugin().Messages,
              (std::vector<std::string>{"Sorry, this feature need Lumora version 5 or later"}));
}

TEST_F(EditorsIt, F1InAnEditBoxAndTheHelpButtonWithoutAHelpFile) {
    Slots({"x", "y"});
    bool stillOpen = false;
    EXPECT_FALSE(Edit(6, [&](HWND dialog) {
        const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
        Key(thread, VK_F1);
        WaitFor([&] { return Plugin().Messages.size() == 1; });  // read only after the call
        Click(ButtonNamed(dialog, kHelp));
        Sleep(200);
        stillOpen = IsWindowVisible(dialog) != FALSE;
        Click(ButtonNamed(dialog, kCancel));
    }));
    EXPECT_TRUE(stillOpen);
    const std::string missing = "Missing help file: maybe you need a plugin reinstallation?";
    EXPECT_EQ(Plugin().Messages, (std::vector<std::string>{missing, missing}));
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, kHelpKey, 0, KEY_READ, &key), ERROR_SUCCESS);
}

// F1 from the keyboard (SendInput, so that the system turns it into WM_HELP as well):
// our help runs once, and the host's window never hears of it.
TEST_F(EditorsIt, F1FromTheKeyboardRunsOurHelpOnceAndNeverReachesTheHostsWindow) {
    const std::string missing = "Missing help file: maybe you need a plugin reinstallation?";
    std::vector<std::string> expected;
    for (const Expected& e : Editors()) {
        SCOPED_TRACE(e.number);
        ResetSlots({"x", "y", "z"});
        Edit(e.number, [&](HWND dialog) {
            SetForegroundWindow(dialog);
            WaitFor([&] { return GetForegroundWindow() == dialog; }, 1000);
            INPUT inputs[2] = {};
            inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
            inputs[0].ki.wVk = inputs[1].ki.wVk = VK_F1;
            inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
            SendInput(2, inputs, sizeof(INPUT));
            WaitFor([&] { return Plugin().Messages.size() == expected.size() + 1; });
            Sleep(100);  // a WM_HELP would follow within the same pass of the loop
            Click(ButtonNamed(dialog, kCancel));
        });
        expected.push_back(missing);
    }
    EXPECT_EQ(Plugin().Messages, expected);
    EXPECT_EQ(hostHelpMessages, 0);
}

TEST_F(EditorsIt, AHelpFileValueOfTheWrongTypeIsAnErrorBoxOwnedByTheDialog) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kHelpKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    const DWORD number = 7;
    RegSetValueExA(key, "HelpFile", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
    RegCloseKey(key);
    Slots({"x", "y"});
    HWND boxOwner = nullptr;
    std::wstring boxText;
    EXPECT_FALSE(Edit(3, [&](HWND dialog) {
        const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
        PostMessageW(ButtonNamed(dialog, kHelp), BM_CLICK, 0, 0);
        HWND box = nullptr;
        WaitFor([&] { return (box = FindMessageBox(thread)) != nullptr; });
        if (box != nullptr) {
            boxOwner = GetWindow(box, GW_OWNER);
            for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                if (ClassOf(child) == L"Static" && !TextOf(child).empty()) {
                    boxText = TextOf(child);
                }
            }
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            WaitFor([&] { return !IsWindow(box); });
        }
        Click(ButtonNamed(dialog, kCancel));
    }));
    EXPECT_NE(boxOwner, nullptr);
    EXPECT_NE(boxText.find(L"HelpFile"), std::wstring::npos);
    EXPECT_TRUE(Plugin().Messages.empty());
}

TEST_F(EditorsIt, CommandsWithoutAnEditorAnswerFalseAndOpenNothing) {
    for (std::int32_t number : {5, 0, 9, -1}) {
        EXPECT_EQ(library_->Api().EditAction(number, nullptr), 0) << number;
    }
}

// Not a test: opens each editor and waits while an outside program photographs it.
// For each dialog it writes "<number> <left> <top> <width> <height>" to the file named
// by TARVIK_SHOT_FILE and waits until that file is deleted.
TEST_F(EditorsIt, DISABLED_HoldEachEditorForAScreenshot) {
    char path[MAX_PATH] = {};
    if (GetEnvironmentVariableA("TARVIK_SHOT_FILE", path, MAX_PATH) == 0) {
        GTEST_SKIP();
    }
    Slots({"Ctrl+Alt+F5", "HK", "KEY"});
    Plugin().Subroutines = {"OnHotkey"};
    for (const Expected& e : Editors()) {
        Edit(e.number, [&](HWND dialog) {
            RECT r{};
            GetWindowRect(dialog, &r);
            const std::string line = std::to_string(e.number) + " " + std::to_string(r.left) + " " +
                                     std::to_string(r.top) + " " + std::to_string(r.right - r.left) +
                                     " " + std::to_string(r.bottom - r.top) + "\n";
            HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written = 0;
            WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(file);
            WaitFor([&] { return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES; }, 30000);
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        });
    }
}

}  // namespace
}  // namespace tarvik::integration

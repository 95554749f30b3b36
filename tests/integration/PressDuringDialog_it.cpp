// Presses while the plug-in's own call is running (wine64 + Xvfb): a dialog's modal loop
// dispatches the host thread's messages, so a registered hotkey pressed then runs the
// host's subroutine inside lmEditAction or lmAbout. A second thread plays the author: it
// presses the combination (sent from the host's thread, see OwnerThreadPresser), types,
// and ends the dialog from the keyboard.
// Afterwards nothing of the library is left: no registration, no atom, no reply block.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "HostDesktop.h"
#include "IntegrationSupport.h"
#include "support/Combinations.h"
#include "support/Polling.h"
#include "support/ThreadWindows.h"

namespace tarvik::integration {
namespace {

constexpr unsigned kCtrlAltShift = MOD_CONTROL | MOD_ALT | MOD_SHIFT;
constexpr int kAboutBox = 0;  // in a dialog table: lmAbout instead of an editor

std::string Combination(unsigned key) {
    return "Ctrl+Alt+Shift+F" + std::to_string(key - VK_F1 + 1);
}

using testing_support::AtomName;
using testing_support::IsFree;
using testing_support::MessageOnlyWindowsOfThisThread;

using testing_support::WaitFor;
// A dialog that a second thread drives takes longer to come and go than one step of it.
constexpr int kDialogPatience = 5000;

using testing_support::ClassOf;
using testing_support::FocusOf;
using testing_support::PressKey;
using testing_support::TextOf;

// The editor's fields top to bottom (edit boxes and the subroutine combo box).
std::vector<HWND> FieldsOf(HWND dialog) {
    std::vector<std::pair<LONG, HWND>> fields;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring kind = ClassOf(child);
        if (IsWindowVisible(child) && (lstrcmpiW(kind.c_str(), L"Edit") == 0 ||
                                       lstrcmpiW(kind.c_str(), L"ComboBox") == 0)) {
            RECT r{};
            GetWindowRect(child, &r);
            fields.emplace_back(r.top, child);
        }
    }
    std::sort(fields.begin(), fields.end());
    std::vector<HWND> ordered;
    for (const auto& field : fields) {
        ordered.push_back(field.second);
    }
    return ordered;
}

// A field's text as the slot receives it: ASCII here, quotes escaped.
std::string Escaped(const std::wstring& text) {
    std::string result;
    for (wchar_t c : text) {
        result += c == L'"' ? std::string("[#34]") : std::string(1, static_cast<char>(c));
    }
    return result;
}

// Presses Ctrl+Alt+Shift and a key on the thread that made it, also when another thread
// asks. When a window of a thread is mapped, entered by the pointer or focused, Wine's
// X11 driver brings its key state in line with the X server's, which never saw
// SendInput's keys, releasing whatever is held down at that moment; it does so on that
// thread, between two of its messages. Input sent from another thread could lose its
// modifiers before its key went down (seen while the host window and the About box
// open) and be another combination; sent inside a message of the windows' own thread, it
// cannot be split.
class OwnerThreadPresser {
public:
    OwnerThreadPresser() {
        WNDCLASSW description{};
        description.lpfnWndProc = Procedure;
        description.hInstance = GetModuleHandleW(nullptr);
        description.lpszClassName = kClass;
        RegisterClassW(&description);
        // A hidden top-level window: not one of the thread's message-only windows, which
        // the tests count, and never shown, so it takes no focus.
        window_ = CreateWindowExW(0, kClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    }
    ~OwnerThreadPresser() {
        DestroyWindow(window_);
        UnregisterClassW(kClass, GetModuleHandleW(nullptr));
    }
    OwnerThreadPresser(const OwnerThreadPresser&) = delete;
    OwnerThreadPresser& operator=(const OwnerThreadPresser&) = delete;

    // From any thread, while the owner pumps its messages: whether the input went in whole.
    bool Press(unsigned key) const {
        DWORD_PTR pressed = 0;
        return window_ != nullptr &&
               SendMessageTimeoutW(window_, kPress, key, 0, SMTO_BLOCK, 10000, &pressed) != 0 && pressed != 0;
    }

private:
    static constexpr UINT kPress = WM_APP + 1;
    static constexpr const wchar_t* kClass = L"TarvikOwnerThreadPresser";

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kPress) {
            return host::system::PressKeys(kCtrlAltShift, static_cast<unsigned>(wParam)) ? 1 : 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
};

// One run of the host's subroutine, as the subroutine saw the host.
struct SubroutineRun {
    std::string id;
    std::string key;
    bool insideCall;
};

class PressDuringDialogIt : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        windowsBefore = MessageOnlyWindowsOfThisThread();
        Plugin().Subroutines = {"OnHotkey"};
        ASSERT_TRUE(Plugin().Exec(8, {"OnHotkey", "ID", "KEY"}));
        Plugin().RunSubroutine = [this](const std::string&) {
            runs.push_back(SubroutineRun{Var("ID"), Var("KEY"), insideCall.load()});
            if (during) {
                const std::function<void()> once = std::move(during);
                during = nullptr;
                once();
            }
            ++runCount;
        };
    }
    void TearDown() override {
        for (char* slot : slots) {
            if (slot != nullptr) {
                host::system::Free(slot);
            }
        }
        PluginFixture::TearDown();
    }

    std::string Var(const std::string& name) { return Plugin().Variable(name).value_or("<unset>"); }
    std::string Add(unsigned key) {
        EXPECT_TRUE(Plugin().Exec(1, {Combination(key), "HK"})) << Var("LastError");
        return Var("HK");
    }

    // Host blocks of the given slot texts, 4096 bytes larger than the texts so that a
    // fresh block of the plug-in's is told by its size.
    void Slots(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            const std::string text = "Slot" + std::to_string(i);
            auto* block = static_cast<char*>(host::system::Alloc(text.size() + 4096));
            std::memcpy(block, text.c_str(), text.size() + 1);
            slots.push_back(block);
        }
        slots.push_back(nullptr);
        before = slots;
    }

    // Opens the editor `number` (or the About box) on this thread while `author` acts on
    // the dialog from a second thread; the call's answer. A dialog the author leaves
    // open is closed, so that the test ends.
    std::int32_t Open(int number, const std::function<void(HWND dialog)>& author) {
        if (slots.empty()) {
            Slots(3);
        }
        if (hostWindow == nullptr) {
            hostWindow = std::make_unique<host::HostWindow>("Host");
            // The thread's first window comes with message-only windows of the system's.
            windowsBefore = MessageOnlyWindowsOfThisThread();
        }
        const DWORD thread = GetCurrentThreadId();
        const HWND owner = static_cast<HWND>(hostWindow->Handle());
        std::atomic<bool> returned{false};
        dialog = nullptr;
        std::thread user([&] {
            HWND found = nullptr;
            WaitFor([&] {
                found = testing_support::FirstThreadWindow(thread, [owner](HWND window) {
                    return window != owner && IsWindowVisible(window) &&
                           GetWindow(window, GW_OWNER) == owner && ClassOf(window) != L"#32770";
                });
                return found != nullptr && IsChild(found, FocusOf(thread));
            }, kDialogPatience);
            dialog = found;
            if (found != nullptr) {
                SetForegroundWindow(found);
                WaitFor([&] { return GetForegroundWindow() == found; }, 1000);
                author(found);
            }
            closedInTime = WaitFor([&] { return returned.load(); }, kDialogPatience);
            if (!closedInTime && found != nullptr) {
                PostMessageW(found, WM_CLOSE, 0, 0);
            }
        });
        insideCall = true;
        const std::int32_t answer =
            number == kAboutBox ? (library_->Api().About(), 1) : library_->Api().EditAction(number, slots.data());
        insideCall = false;
        returned = true;
        user.join();
        // The input that ended the dialog may still be queued (the key's release): it is
        // the host's, not the next dialog's.
        PumpUntil([] { return HIWORD(GetQueueStatus(QS_INPUT)) == 0; }, 1000);
        EXPECT_NE(dialog.load(), nullptr) << "no dialog for " << number;
        EXPECT_TRUE(closedInTime) << "the dialog did not close for " << number;
        EXPECT_FALSE(IsWindow(dialog)) << "destroyed before the call returned";
        return answer;
    }

    // Presses the combination from the author's thread and waits until the subroutine ran
    // `total` times in all.
    bool PressAndWait(unsigned key, int total) {
        return presser.Press(key) && WaitFor([&] { return runCount >= total; }, kDialogPatience);
    }

    // The events of each press, in order: the list, both variables set, the list again,
    // the subroutine, both variables cleared.
    void ExpectPressEvents(const SubroutineRun& run) {
        const std::vector<std::string>& events = Plugin().Events;
        const std::string goSub = "Script GoSub \"OnHotkey\"";
        const auto at = std::find(events.begin(), events.end(), goSub);
        ASSERT_NE(at, events.end());
        ASSERT_GE(at - events.begin(), 4);
        const std::vector<std::string> seen(at - 4, std::min(at + 3, events.end()));
        EXPECT_EQ(seen, (std::vector<std::string>{"Request 5", "SetVariable ID=" + run.id,
                                                   "SetVariable KEY=" + run.key, "Request 5", goSub,
                                                   "Script ClearVariables \"ID\"",
                                                   "Script ClearVariables \"KEY\""}));
        EXPECT_EQ(std::count(events.begin(), events.end(), goSub), 1);
    }

    // Nothing of the library's is left: every reply block released, the combinations
    // free, their atoms gone, no message-only window added. A released block's address
    // may have been given out again since, so a block left behind is one that is still
    // a block of the allocator with its size and its text.
    void ExpectNothingLeft(const std::vector<unsigned>& keys) {
        ASSERT_FALSE(Plugin().Replies.empty());
        for (const auto& [block, text] : Plugin().Replies) {
            const bool kept = GlobalHandle(block) == block && GlobalSize(const_cast<void*>(block)) == text.size() + 1 &&
                              std::memcmp(block, text.c_str(), text.size() + 1) == 0;
            EXPECT_FALSE(kept) << "a reply block was not released: " << text;
        }
        for (unsigned key : keys) {
            EXPECT_TRUE(IsFree(kCtrlAltShift, key)) << Combination(key);
            EXPECT_EQ(GlobalFindAtomA(AtomName(kCtrlAltShift, key).c_str()), 0) << Combination(key);
        }
        EXPECT_EQ(MessageOnlyWindowsOfThisThread(), windowsBefore);
    }

    std::unique_ptr<host::HostWindow> hostWindow;  // active while a dialog opens
    OwnerThreadPresser presser;                    // the author's presses
    std::size_t windowsBefore = 0;
    std::vector<SubroutineRun> runs;
    std::atomic<int> runCount{0};
    std::atomic<bool> insideCall{false};
    std::atomic<bool> closedInTime{false};
    std::atomic<HWND> dialog{nullptr};
    std::function<void()> during;  // what the subroutine does besides recording its run
    std::vector<char*> slots;
    std::vector<char*> before;
};

// --- A press inside each dialog's call -------------------------------------------------------

struct DialogCase {
    int number;          // the command's editor, or the About box
    std::size_t fields;  // its fields, one slot each
    bool ok;             // ended with Enter (OK), else with Escape
};

const DialogCase kDialogs[] = {
    {1, 2, true}, {2, 3, false}, {3, 2, true}, {4, 2, false},
    {6, 2, true}, {7, 2, false}, {8, 3, true}, {kAboutBox, 0, true},
};

TEST_F(PressDuringDialogIt, EachDialogRunsTheSubroutineInsideItsCallAndStaysUsable) {
    const std::string id = Add(VK_F9);
    for (const DialogCase& c : kDialogs) {
        SCOPED_TRACE("dialog " + std::to_string(c.number) + (c.ok ? " OK" : " Cancel"));
        for (char* slot : slots) {
            if (slot != nullptr) {
                host::system::Free(slot);
            }
        }
        slots.clear();
        Slots(c.fields);
        runs.clear();
        runCount = 0;
        Plugin().Events.clear();
        std::vector<std::wstring> shown;
        bool typed = false;
        std::wstring typedText;
        const std::int32_t answer = Open(c.number, [&](HWND box) {
            if (!PressAndWait(VK_F9, 1)) {
                return;
            }
            if (c.fields > 0) {
                // The keyboard still reaches the focused field, the first one.
                const DWORD thread = GetWindowThreadProcessId(box, nullptr);
                const HWND focus = FocusOf(thread);
                const std::wstring was = TextOf(focus);
                PressKey('Z');
                typed = WaitFor([&] {
                    typedText = TextOf(focus);
                    return typedText != was && typedText.find(L'z') != std::wstring::npos;
                }, kDialogPatience);
                const std::vector<HWND> fields = FieldsOf(box);
                SendMessageTimeoutW(fields.back(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Last \"q\""),
                                    SMTO_BLOCK, 2000, nullptr);
                for (HWND field : fields) {
                    shown.push_back(TextOf(field));
                }
            }
            PressKey(c.ok ? VK_RETURN : VK_ESCAPE);
        });
        ASSERT_EQ(runs.size(), 1u);
        const SubroutineRun& run = runs[0];
        EXPECT_EQ(run.id, id);
        EXPECT_TRUE(run.insideCall);
        ASSERT_GT(run.key.size(), 3u);
        EXPECT_EQ(run.key.substr(run.key.size() - 3), "+F9");
        ExpectPressEvents(run);
        EXPECT_EQ(Var("ID"), "<unset>");
        EXPECT_EQ(Var("KEY"), "<unset>");

        EXPECT_EQ(answer, c.number == kAboutBox || c.ok ? 1 : 0);
        if (c.fields == 0) {
            continue;
        }
        EXPECT_TRUE(typed) << "the key typed after the press did not reach the field";
        ASSERT_EQ(shown.size(), c.fields);
        EXPECT_EQ(shown.front(), typedText);
        EXPECT_EQ(shown.back(), L"Last \"q\"");
        for (std::size_t i = 0; i < c.fields; ++i) {
            if (c.ok) {
                EXPECT_EQ(std::string(slots[i]), Escaped(shown[i])) << i;
                EXPECT_EQ(GlobalSize(slots[i]), std::strlen(slots[i]) + 1) << "a fresh block " << i;
            } else {
                EXPECT_EQ(slots[i], before[i]) << i;
                EXPECT_EQ(std::string(slots[i]), "Slot" + std::to_string(i));
            }
        }
    }
    ASSERT_TRUE(Plugin().Exec(5, {}));
    ExpectNothingLeft({VK_F9});
}

// --- A subroutine that changes the pressed hotkey while the dialog is open --------------------

struct Mutation {
    const char* name;
    int dialog;
    std::int32_t command;  // TarvikRemove, TarvikClear or TarvikChange
    // Ran after the dialog: which of F9 (pressed), F12 (F9 changed to it) and F11 (a
    // bystander) still run the subroutine.
    bool f12Runs, f11Runs;
};

const Mutation kMutations[] = {
    {"TarvikRemove", 8, 3, false, true},
    {"TarvikClear", kAboutBox, 5, false, false},
    {"TarvikChange", 1, 2, true, true},
};

TEST_F(PressDuringDialogIt, ASubroutineThatRemovesClearsOrChangesThePressedHotkeyLeavesNothing) {
    for (const Mutation& m : kMutations) {
        SCOPED_TRACE(m.name);
        const std::string pressed = Add(VK_F9);
        const std::string bystander = Add(VK_F11);
        runs.clear();
        runCount = 0;
        std::string changedTo = "<none>";
        bool answered = false;
        during = [&] {
            const std::vector<std::string> params[] = {
                {}, {}, {Var("ID"), Combination(VK_F12), "NEW"}, {Combination(VK_F9), "R"}, {}, {}};
            answered = Plugin().Exec(m.command, params[m.command]);
            changedTo = Var("NEW");
        };
        Open(m.dialog, [&](HWND) {
            if (PressAndWait(VK_F9, 1)) {
                PressKey(VK_ESCAPE);
            }
        });
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0].id, pressed);
        EXPECT_TRUE(runs[0].insideCall);
        EXPECT_TRUE(answered);
        EXPECT_EQ(Var("ID"), "<unset>") << "cleared after the subroutine";
        EXPECT_EQ(Plugin().Events.back(), "Script ClearVariables \"KEY\"");
        EXPECT_TRUE(IsFree(kCtrlAltShift, VK_F9));
        EXPECT_EQ(GlobalFindAtomA(AtomName(kCtrlAltShift, VK_F9).c_str()), 0);
        if (m.command == 3) {
            EXPECT_EQ(Var("R"), "True");
        }
        if (m.command == 2) {
            EXPECT_NE(changedTo, "0");
            EXPECT_EQ(std::to_string(GlobalFindAtomA(AtomName(kCtrlAltShift, VK_F12).c_str())), changedTo);
        }

        // Later presses as the new state says: F9, F12, F11, then a fresh sentinel, whose
        // run ends the wait; the input's order is the runs' order.
        const std::string sentinel = Add(VK_F8);
        std::vector<std::string> expected;
        if (m.f12Runs) {
            expected.push_back(changedTo);
        }
        if (m.f11Runs) {
            expected.push_back(bystander);
        }
        expected.push_back(sentinel);
        for (unsigned key : {VK_F9, VK_F12, VK_F11}) {
            ASSERT_TRUE(host::system::PressKeys(kCtrlAltShift, key));
        }
        ASSERT_TRUE(host::system::PressKeys(kCtrlAltShift, VK_F8));
        EXPECT_TRUE(PumpUntil([&] { return !runs.empty() && runs.back().id == sentinel; }));
        std::vector<std::string> ids;
        for (std::size_t i = 1; i < runs.size(); ++i) {
            ids.push_back(runs[i].id);
            EXPECT_FALSE(runs[i].insideCall);
        }
        EXPECT_EQ(ids, expected);
        ASSERT_TRUE(Plugin().Exec(5, {}));
        ExpectNothingLeft({VK_F8, VK_F9, VK_F11, VK_F12});
    }
}

// --- A press made while the subroutine runs -------------------------------------------------

// Ctrl+Alt+Shift held, the key down `downs` times (a held key's auto-repeat), all released.
void HoldKeys(unsigned key, int downs) {
    std::vector<INPUT> inputs;
    auto add = [&inputs](WORD vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    for (WORD modifier : {VK_CONTROL, VK_SHIFT, VK_MENU}) {
        add(modifier, false);
    }
    for (int i = 0; i < downs; ++i) {
        add(static_cast<WORD>(key), false);
    }
    add(static_cast<WORD>(key), true);
    for (WORD modifier : {VK_MENU, VK_SHIFT, VK_CONTROL}) {
        add(modifier, true);
    }
    EXPECT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
}

struct PressInsideCase {
    const char* name;
    std::vector<std::pair<unsigned, int>> inside;  // keys pressed while F9's subroutine runs, key-downs each
    std::vector<unsigned> runs;                     // the keys whose presses run the subroutine, in order
};

const PressInsideCase kPressesInside[] = {
    {"a second combination", {{VK_F11, 1}}, {VK_F9, VK_F11}},
    {"a second combination held down", {{VK_F11, 8}}, {VK_F9, VK_F11}},
    {"the first held down, then two others", {{VK_F9, 4}, {VK_F11, 1}, {VK_F12, 3}}, {VK_F9, VK_F9, VK_F11, VK_F12}},
};

// A host that pumps its messages while it runs the subroutine: presses made meanwhile
// reach the library inside the press, and each runs whole after it, in order, a held
// key's repeats once.
TEST_F(PressDuringDialogIt, PressesMadeWhileTheSubroutineRunsRunWholeAfterItInOrder) {
    std::map<unsigned, std::string> ids;
    for (unsigned key : {VK_F8, VK_F9, VK_F11, VK_F12}) {
        ids[key] = Add(key);
    }
    for (const PressInsideCase& c : kPressesInside) {
        SCOPED_TRACE(c.name);
        runs.clear();
        runCount = 0;
        Plugin().Events.clear();
        std::string idAfterPumping;
        std::size_t eventsBefore = 0, eventsAfter = 0;
        bool hotkeysLeft = true;
        during = [&] {
            eventsBefore = Plugin().Events.size();
            for (const auto& [key, downs] : c.inside) {
                HoldKeys(key, downs);
            }
            // The host keeps its window alive while the subroutine runs.
            hotkeysLeft = !PumpUntil([] { return HIWORD(GetQueueStatus(QS_HOTKEY)) == 0; }, 2000);
            host::system::PumpMessages(50);
            eventsAfter = Plugin().Events.size();
            idAfterPumping = Var("ID");
        };
        ASSERT_TRUE(host::system::PressKeys(kCtrlAltShift, VK_F9));
        EXPECT_TRUE(PumpUntil([&] { return static_cast<std::size_t>(runCount.load()) >= c.runs.size(); }));
        EXPECT_FALSE(hotkeysLeft) << "the presses reached the library while the subroutine ran";
        EXPECT_EQ(eventsAfter, eventsBefore) << "nothing ran inside the subroutine";
        EXPECT_EQ(idAfterPumping, ids[VK_F9]) << "the running subroutine keeps its variables";
        // A last press closes the record: nothing else comes of the presses above.
        ASSERT_TRUE(host::system::PressKeys(kCtrlAltShift, VK_F8));
        EXPECT_TRUE(PumpUntil([&] { return !runs.empty() && runs.back().id == ids[VK_F8]; }));

        std::vector<unsigned> keys = c.runs;
        keys.push_back(VK_F8);
        ASSERT_EQ(runs.size(), keys.size());
        std::vector<std::string> expected;
        for (std::size_t i = 0; i < runs.size(); ++i) {
            EXPECT_EQ(runs[i].id, ids[keys[i]]) << i;
            const std::string key = Combination(keys[i]).substr(std::strlen("Ctrl+Alt+Shift"));
            EXPECT_EQ(runs[i].key.substr(runs[i].key.rfind('+')), key) << i;
            for (const std::string& event :
                 {std::string("Request 5"), "SetVariable ID=" + runs[i].id, "SetVariable KEY=" + runs[i].key,
                  std::string("Request 5"), std::string("Script GoSub \"OnHotkey\""),
                  std::string("Script ClearVariables \"ID\""), std::string("Script ClearVariables \"KEY\"")}) {
                expected.push_back(event);
            }
        }
        EXPECT_EQ(Plugin().Events, expected) << "each press's calls whole, one press after the other";
    }
    ASSERT_TRUE(Plugin().Exec(5, {}));
    ExpectNothingLeft({VK_F8, VK_F9, VK_F11, VK_F12});
}

// --- Many presses among adds, changes, removes and clears -----------------------------------

// 800 presses from this thread with adds, changes, removes and clears between them, then
// 200 from the author's thread while the About box is open, each run of the subroutine
// making one such change itself, on the hotkey just pressed as often as on another.
TEST_F(PressDuringDialogIt, AThousandPressesAmongAddsChangesRemovesAndClearsRunExactlyAsRegistered) {
    const unsigned keys[] = {VK_F5, VK_F6, VK_F7, VK_F8, VK_F9, VK_F11, VK_F12};
    std::mutex lock;                          // over `held`, which the author's thread reads
    std::map<unsigned, std::string> held;     // key -> id
    std::vector<std::string> expected;        // ids, one per press that must run
    std::vector<unsigned> expectedKeys;       // the keys of those presses
    std::uint32_t seed = 0x2545F491u;
    auto next = [&seed](std::uint32_t below) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % below;
    };
    auto pick = [&](bool wantHeld) {
        std::vector<unsigned> candidates;
        for (unsigned key : keys) {
            if ((held.count(key) != 0) == wantHeld) {
                candidates.push_back(key);
            }
        }
        return candidates.empty() ? 0u : candidates[next(static_cast<std::uint32_t>(candidates.size()))];
    };
    // One add, change, remove or clear through the exports, chosen at random by `roll`
    // below 40.
    auto mutate = [&](std::uint32_t roll) {
        const std::lock_guard<std::mutex> guard(lock);
        if (roll < 15) {
            if (const unsigned key = pick(false)) {
                held[key] = Add(key);
                EXPECT_NE(held[key], "0") << Var("LastError");
            }
        } else if (roll < 27) {
            const unsigned from = pick(true);
            const unsigned to = pick(false);
            if (from != 0 && to != 0) {
                EXPECT_TRUE(Plugin().Exec(2, {held[from], Combination(to), "NEW"}));
                EXPECT_NE(Var("NEW"), "0") << Var("LastError");
                held.erase(from);
                held[to] = Var("NEW");
            }
        } else if (roll < 37) {
            if (const unsigned key = pick(true)) {
                const bool byId = next(2) == 0;
                EXPECT_TRUE(Plugin().Exec(byId ? 4 : 3, {byId ? held[key] : Combination(key), "R"}));
                EXPECT_EQ(Var("R"), "True");
                held.erase(key);
            }
        } else {
            EXPECT_TRUE(Plugin().Exec(5, {}));
            held.clear();
        }
    };
    // Presses the combination; when it is held, waits (pumping or not) until it ran.
    int presses = 0;
    auto press = [&](unsigned key, bool (*wait)(const std::function<bool()>&, int)) {
        std::size_t total = 0;
        {
            const std::lock_guard<std::mutex> guard(lock);
            const auto found = held.find(key);
            if (found != held.end()) {
                expected.push_back(found->second);
                expectedKeys.push_back(key);
            }
            total = expected.size();
        }
        ++presses;
        return presser.Press(key) &&
               wait([&] { return static_cast<std::size_t>(runCount.load()) >= total; }, 10000);
    };

    const auto start = std::chrono::steady_clock::now();
    std::uint32_t authorSeed = 0x9E3779B9u;  // the author's thread picks its keys itself
    while (presses < 800) {
        if (next(100) < 60) {
            ASSERT_TRUE(press(keys[next(7)], &PumpUntil)) << "press " << presses;
        } else {
            mutate(next(40));
        }
    }
    const std::size_t runsBefore = runs.size();
    Plugin().RunSubroutine = [&](const std::string&) {
        runs.push_back(SubroutineRun{Var("ID"), Var("KEY"), insideCall.load()});
        mutate(next(40));
        while (held.size() < 3) {  // only a run can add: keep some to press
            mutate(0);
        }
        ++runCount;
    };
    bool allRan = true;
    Open(kAboutBox, [&](HWND) {
        while (allRan && presses < 1000) {
            authorSeed = authorSeed * 1664525u + 1013904223u;
            allRan = press(keys[(authorSeed >> 8) % 7], &WaitFor);
        }
        PressKey(VK_ESCAPE);
    });
    EXPECT_TRUE(allRan) << "press " << presses << " in the dialog";
    const std::size_t runsInside = runs.size();

    // A last registered press: whatever an unregistered press might have run comes before it.
    if (held.empty()) {
        mutate(0);
    }
    ASSERT_FALSE(held.empty());
    ASSERT_TRUE(press(held.begin()->first, &PumpUntil));
    std::vector<std::string> ids;
    std::map<unsigned, std::string> names;  // key -> the text the subroutine saw for it
    for (std::size_t i = 0; i < runs.size(); ++i) {
        ids.push_back(runs[i].id);
        EXPECT_EQ(runs[i].insideCall, i >= runsBefore && i < runsInside) << i;
        if (i < expectedKeys.size()) {
            const std::string& text = runs[i].key;
            EXPECT_EQ(names.emplace(expectedKeys[i], text).first->second, text) << i;
            EXPECT_EQ(text.substr(text.rfind('+')), "+F" + std::to_string(expectedKeys[i] - VK_F1 + 1));
        }
    }
    EXPECT_EQ(ids, expected);
    EXPECT_GT(runsBefore, 150u);
    EXPECT_GT(runsInside - runsBefore, 40u);
    EXPECT_EQ(Var("ID"), "<unset>");
    ASSERT_TRUE(Plugin().Exec(5, {}));
    ExpectNothingLeft(std::vector<unsigned>(std::begin(keys), std::end(keys)));
    std::printf("[ info ] %d presses, %zu ran (%zu in the dialog), in %lld ms\n", presses, runs.size(),
                runsInside - runsBefore,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count()));
}

}  // namespace
}  // namespace tarvik::integration

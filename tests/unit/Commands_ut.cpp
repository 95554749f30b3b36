// The eight script commands, run the way the host runs them: through lmExecAction, with
// the plug-in loaded on the in-memory platform and the test host's variables as output.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Host.h"
#include "PluginApi.h"
#include "hotkeys/UHotkeysUtilities.h"
#include "ForwardingPlatform.h"
#include "LinkedPluginTest.h"
#include "platform/FakePlatform.h"

namespace tarvik {
namespace {

using host::Host;
using host::PluginLibrary;
using platform::Atom;
using platform::FakePlatform;
using platform::kModAlt;
using platform::kModControl;
using platform::kModShift;
using platform::LayoutHandle;
using platform::WindowHandle;

constexpr unsigned kF5 = 116, kF6 = 117, kF7 = 118;
constexpr unsigned kCtrlAlt = kModControl | kModAlt;
constexpr std::uint32_t kRefusedError = 1409;
constexpr std::uint32_t kOddError = 4321;  // a code whose message ends in noise

// The fake, with two things it cannot stage by itself: a registration refused after the
// probe granted the same combination (the system changed its mind in between), and a
// system message that ends in blanks and full stops.
class StagedPlatform final : public test_support::ForwardingPlatform {
public:
    using ForwardingPlatform::ForwardingPlatform;

    std::optional<std::uint32_t> refuseAfterProbe;

    std::string SystemMessage(std::uint32_t code) override {
        return code == kOddError ? "Refused. Try  again \xC9.. . \r\n\t." : os.SystemMessage(code);
    }
    bool RegisterHotKey(WindowHandle w, int id, unsigned mods, unsigned key) override {
        const bool granted = os.RegisterHotKey(w, id, mods, key);
        if (w == nullptr && refuseAfterProbe) {  // the probe registers without a window
            os.RefuseNextRegistration(*refuseAfterProbe);
            refuseAfterProbe.reset();
        }
        return granted;
    }
};

std::string Hex(unsigned number) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", number);
    return text;
}

std::string NotValid(const std::string& text) {
    return "The Hotkey \"" + text + "\" is not valid for register";
}
std::string NotAvailable(const std::string& text) {
    return "The Hotkey \"" + text + "\" is not available for register";
}

class CommandsTest : public test_support::LinkedPluginTest {
protected:
    void SetUp() override {
        LinkedPluginTest::SetUp();
        plugin->Connect();
        plugin->Variables["LastError"] = "earlier";
        plugin->Events.clear();
    }
    platform::Platform* Installed() override { return &os; }

    bool Run(std::int32_t number, const std::vector<std::string>& params) {
        return plugin->Exec(number, params);
    }
    std::string Var(const std::string& name) const { return plugin->Variable(name).value_or("<unset>"); }
    // TarvikAdd that must succeed; its id.
    std::string Add(const std::string& text) {
        EXPECT_TRUE(Run(1, {text, "HK"})) << text;
        return Var("HK");
    }
    std::string LastError() const { return Var("LastError"); }

    StagedPlatform os{fake};
};

// --- The typical road -----------------------------------------------------------------------

TEST_F(CommandsTest, AddThenOnKeyPressThenAPressRunsTheSubroutineWithIdAndText) {
    ASSERT_TRUE(Run(1, {"Ctrl+Alt+F5", "HK"}));
    const Atom atom = fake.FindGlobalAtom("HotKeyManagerHotKey49268");  // 0xC074
    ASSERT_GE(atom, 0xC000);
    EXPECT_EQ(Var("HK"), std::to_string(atom));
    EXPECT_EQ(LastError(), "earlier");
    EXPECT_EQ(fake.AtomReferences("HotKeyManagerHotKey49268"), 1);
    EXPECT_TRUE(fake.IsHeld(kCtrlAlt, kF5));

    ASSERT_TRUE(Run(8, {"OnHotkey", "ID", "KEY"}));
    plugin->Subroutines = {"Main", "OnHotkey"};
    std::string seen;
    plugin->RunSubroutine = [&](const std::string& name) { seen = name + " " + Var("ID") + " " + Var("KEY"); };
    plugin->Events.clear();

    ASSERT_TRUE(fake.PressKey(kCtrlAlt, kF5));
    EXPECT_EQ(fake.PumpMessages(), 1);
    const std::string id = std::to_string(atom);
    EXPECT_EQ(plugin->Events, (std::vector<std::string>{
                                  "Request 5", "SetVariable ID=" + id, "SetVariable KEY=Ctrl+Alt+F5",
                                  "Request 5",  // RunHostSubroutine asks again before GoSub
                                  "Script GoSub \"OnHotkey\"", "Script ClearVariables \"ID\"",
                                  "Script ClearVariables \"KEY\""}));
    EXPECT_EQ(seen, "OnHotkey " + id + " Ctrl+Alt+F5");
    EXPECT_FALSE(plugin->Variable("ID"));
    EXPECT_FALSE(plugin->Variable("KEY"));
}

// --- TarvikAdd ------------------------------------------------------------------------------

TEST_F(CommandsTest, AddRefusesWhatItCannotRegisterWithTheAuthorsText) {
    const std::string id = Add("Ctrl+Alt+F5");
    fake.HoldInOtherProcess(kCtrlAlt, kF6);
    plugin->Variables["HK"] = "untouched";
    struct Case {
        const char* text;
        std::string error;
    };
    const Case cases[] = {
        {"alt+ctrl+f5", NotValid("alt+ctrl+f5")},  // held already, by us
        {"Ctrl+Alt+F6", NotAvailable("Ctrl+Alt+F6")},
        {"", NotValid("")},  // names no hotkey: never registered
        {"Foo+A", NotValid("Foo+A")},
        {"Ctrl+", NotValid("Ctrl+")},
        {"%s%n%d+%s", NotValid("%s%n%d+%s")},  // inserted as it is, not read as a format
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Run(1, {c.text, "HK"})) << c.text;
        EXPECT_EQ(LastError(), c.error);
        EXPECT_EQ(Var("HK"), "untouched") << c.text;
    }
    EXPECT_EQ(fake.Registrations(), 1u);
    EXPECT_EQ(fake.AtomReferences("HotKeyManagerHotKey49268"), 1);
    EXPECT_EQ(fake.LiveAtoms(), 1u);
    // A success afterwards leaves the last error text in place.
    EXPECT_NE(Add("Ctrl+Alt+F7"), id);
    EXPECT_EQ(LastError(), NotValid("%s%n%d+%s"));
}

TEST_F(CommandsTest, ARegistrationRefusedAfterTheTestsReportsTheSystemsText) {
    os.refuseAfterProbe = kRefusedError;
    // The host's set-variable callback clobbers the thread's last error; the text in
    // LastError must still be the refusal's.
    plugin->AfterSetVariable = [this] { os.SetLastError(0); };
    EXPECT_TRUE(Run(1, {"Ctrl+Alt+F5", "HK"}));
    EXPECT_EQ(Var("HK"), "0");
    EXPECT_EQ(LastError(), "Hot key is already registered");
    EXPECT_EQ(plugin->Events.back().rfind("SetVariable LastError=", 0), 0u);  // after "0"
    EXPECT_EQ(fake.Registrations(), 0u);

    // The message's trailing blanks and full stops go; the rest stays as it is.
    os.refuseAfterProbe = kOddError;
    EXPECT_TRUE(Run(1, {"Ctrl+Alt+F5", "HK"}));
    EXPECT_EQ(LastError(), "Refused. Try  again \xC9");

    // A full atom table: the tests pass, the manager cannot take an id.
    fake.SetAtomCapacity(0);
    EXPECT_TRUE(Run(1, {"Ctrl+Alt+F5", "HK"}));
    EXPECT_EQ(Var("HK"), "0");
    EXPECT_EQ(LastError(), "Not enough memory resources are available to process this command");
    EXPECT_EQ(fake.Registrations(), 0u);
}

// --- TarvikChange ---------------------------------------------------------------------------

TEST_F(CommandsTest, ChangeMovesAnIdToAnotherCombination) {
    const std::string oldId = Add("Ctrl+Alt+F5");
    EXPECT_TRUE(Run(2, {oldId, "Ctrl+Alt+F6", "NEW"}));
    EXPECT_EQ(Var("NEW"), std::to_string(fake.FindGlobalAtom("HotKeyManagerHotKey49269")));
    EXPECT_FALSE(fake.IsHeld(kCtrlAlt, kF5));
    EXPECT_FALSE(fake.PressKey(kCtrlAlt, kF5));  // the old combination no longer fires
    EXPECT_TRUE(fake.PressKey(kCtrlAlt, kF6));
    EXPECT_EQ(fake.PumpMessages(), 1);
    EXPECT_EQ(LastError(), "earlier");
    // The same combination again: it is ours already, so the probe refuses it.
    EXPECT_FALSE(Run(2, {Var("NEW"), "Ctrl+Alt+F6", "NEW2"}));
    EXPECT_EQ(LastError(), NotValid("Ctrl+Alt+F6"));
    EXPECT_TRUE(fake.IsHeld(kCtrlAlt, kF6));
}

TEST_F(CommandsTest, ARefusedChangeKeepsTheOldHotKey) {
    const std::string oldId = Add("Ctrl+Alt+F5");
    fake.HoldInOtherProcess(kCtrlAlt, kF6);
    plugin->Variables["NEW"] = "untouched";
    EXPECT_FALSE(Run(2, {oldId, "Ctrl+Alt+F6", "NEW"}));
    EXPECT_EQ(LastError(), NotAvailable("Ctrl+Alt+F6"));
    EXPECT_FALSE(Run(2, {oldId, "Nothing+%n", "NEW"}));  // names no hotkey
    EXPECT_EQ(LastError(), NotValid("Nothing+%n"));
    EXPECT_EQ(Var("NEW"), "untouched");
    EXPECT_TRUE(Run(4, {oldId, "GONE"}));  // still listed under its id
    EXPECT_EQ(Var("GONE"), "True");
}

TEST_F(CommandsTest, ChangeOfAnIdThatIsNotHeldOrNotAnId) {
    const std::string id = Add("Ctrl+Alt+F5");
    plugin->Events.clear();
    for (const char* notAnId : {"abc", "", " ", "12 ", "1e3", "+", "$", "0x", "--1", "0xG",
                                "2147483648", "-2147483649", "$80000000", "x100000000"}) {
        EXPECT_TRUE(Run(2, {notAnId, "Ctrl+Alt+F6", "NEW"})) << notAnId;
    }
    EXPECT_TRUE(plugin->Events.empty());
    EXPECT_TRUE(fake.IsHeld(kCtrlAlt, kF5));
    EXPECT_FALSE(fake.IsHeld(kCtrlAlt, kF6));

    for (const char* number : {"0", "2147483647", "-2147483648", " -$7FFFFFFF", "123"}) {
        plugin->Variables.erase("NEW");
        plugin->Variables["LastError"] = "earlier";
        EXPECT_TRUE(Run(2, {number, "Ctrl+Alt+F6", "NEW"})) << number;
        EXPECT_EQ(Var("NEW"), "0") << number;
        // The thread's last error is the one the manager's own test left: it asked the
        // system to unregister an id it did not hold.
        EXPECT_EQ(LastError(), "Hot key is not registered") << number;
    }
    EXPECT_TRUE(fake.IsHeld(kCtrlAlt, kF5));
    EXPECT_EQ(fake.Registrations(), 1u);
}

TEST_F(CommandsTest, ChangeRefusedAfterTheOldOneWentReportsTheSystemsText) {
    const std::string oldId = Add("Ctrl+Alt+F5");
    os.refuseAfterProbe = kRefusedError;
    plugin->AfterSetVariable = [this] { os.SetLastError(0); };
    EXPECT_TRUE(Run(2, {oldId, "Ctrl+Alt+F6", "NEW"}));
    EXPECT_EQ(Var("NEW"), "0");
    EXPECT_EQ(LastError(), "Hot key is already registered");
    EXPECT_EQ(fake.Registrations(), 0u);  // the old one was removed first
}

// --- Removing -------------------------------------------------------------------------------

TEST_F(CommandsTest, RemoveAndRemoveByIdSayTrueOnceThenFalse) {
    Add("Ctrl+Alt+F5");
    EXPECT_TRUE(Run(3, {"alt + CTRL + f5", "R"}));
    EXPECT_EQ(Var("R"), "True");
    EXPECT_TRUE(Run(3, {"Ctrl+Alt+F5", "R"}));
    EXPECT_EQ(Var("R"), "False");
    EXPECT_TRUE(Run(3, {"", "R2"}));
    EXPECT_EQ(Var("R2"), "False");

    // Every integer form reaches the same id; only its low 16 bits count.
    using Form = std::function<std::string(unsigned)>;
    const Form forms[] = {
        [](unsigned n) { return "  +" + std::to_string(n); },
        [](unsigned n) { return "$" + Hex(n); },
        [](unsigned n) { return "x" + Hex(n); },
        [](unsigned n) { return "X" + Hex(n); },
        [](unsigned n) { return "0x" + Hex(n); },
        [](unsigned n) { return "0X" + Hex(n); },
        [](unsigned n) { return std::to_string(n + 0x10000); },
        [](unsigned n) { return std::to_string(static_cast<int>(n) - 0x10000); },
    };
    for (const Form& form : forms) {
        const std::string text = form(static_cast<unsigned>(std::stoul(Add("Ctrl+Alt+F5"))));
        EXPECT_TRUE(Run(4, {text, "R"}));
        EXPECT_EQ(Var("R"), "True") << text;
        EXPECT_TRUE(Run(4, {text, "R"}));
        EXPECT_EQ(Var("R"), "False") << text;
    }
    const std::string id = Add("Ctrl+Alt+F5");
    for (const std::string& bad : std::vector<std::string>{id + " ", "1" + id, "abc", ""}) {
        EXPECT_TRUE(Run(4, {bad, "R"}));
        EXPECT_EQ(Var("R"), "False") << bad;
    }
    EXPECT_TRUE(fake.IsHeld(kCtrlAlt, kF5));
    EXPECT_EQ(LastError(), "earlier");
}

TEST_F(CommandsTest, ClearLetsGoOfEverythingAndWritesNothing) {
    EXPECT_EQ(plugin->ExecRaw(5, nullptr), 1);  // reads no parameters
    Add("Ctrl+Alt+F5");
    Add("Ctrl+Alt+F6");
    Add("Shift+F7");
    plugin->Events.clear();
    EXPECT_TRUE(Run(5, {}));
    EXPECT_TRUE(plugin->Events.empty());
    EXPECT_EQ(fake.Registrations(), 0u);
    EXPECT_EQ(fake.LiveAtoms(), 0u);
}

// --- The two questions ----------------------------------------------------------------------

TEST_F(CommandsTest, IsValidAsksTheManagerAndIsAvailableAsksTheSystem) {
    Add("Ctrl+Alt+F5");
    fake.HoldInOtherProcess(kCtrlAlt, kF6);
    struct Case {
        const char* text;
        const char* valid;
        const char* available;
    };
    const Case cases[] = {
        {"Ctrl+Alt+F5", "True", "False"},  // ours
        {"Ctrl+Alt+F7", "True", "True"},   // free
        {"Ctrl+Alt+F6", "False", "False"},  // another application's
        {"Ctrl+Bogus", "False", "False"},  // names no hotkey
        {"", "False", "False"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(Run(6, {c.text, "V"}));
        EXPECT_TRUE(Run(7, {c.text, "A"}));
        EXPECT_EQ(Var("V"), c.valid) << c.text;
        EXPECT_EQ(Var("A"), c.available) << c.text;
    }
    // Asking changed nothing: ours is still held and still fires.
    EXPECT_EQ(fake.Registrations(), 1u);
    EXPECT_TRUE(fake.PressKey(kCtrlAlt, kF5));
    EXPECT_FALSE(fake.IsHeld(kCtrlAlt, kF7));
    EXPECT_EQ(LastError(), "earlier");
}

// --- tvOnKeyPress ---------------------------------------------------------------------------

TEST_F(CommandsTest, OnKeyPressSettingsDecideWhatAPressDoes) {
    Add("Ctrl+Alt+F5");
    plugin->Subroutines = {"OnHotkey"};
    auto press = [this](const std::vector<std::string>& settings) {
        if (!settings.empty()) {
            EXPECT_TRUE(Run(8, settings));
        }
        plugin->Events.clear();
        EXPECT_TRUE(fake.PressKey(kCtrlAlt, kF5));
        fake.PumpMessages();
        return plugin->Events;
    };
    using Events = std::vector<std::string>;
    EXPECT_EQ(press({}), Events{});  // before any tvOnKeyPress
    EXPECT_EQ(press({"OnHotkey", "", " "}), (Events{"Request 5", "Request 5", "Script GoSub \"OnHotkey\""}));
    EXPECT_EQ(press({"Unknown", "ID", "KEY"}), Events{"Request 5"});
    // Stored as passed: the variable names are trimmed on use, the subroutine is not.
    const Events spaced = press({" OnHotkey ", " ID ", "KEY "});
    ASSERT_EQ(spaced.size(), 7u);
    EXPECT_EQ(spaced[1].rfind("SetVariable ID=", 0), 0u);
    EXPECT_EQ(spaced[2], "SetVariable KEY=Ctrl+Alt+F5");
    EXPECT_EQ(spaced[4], "Script GoSub \" OnHotkey \"");
    EXPECT_EQ(spaced[5], "Script ClearVariables \"ID\"");
    EXPECT_EQ(press({"", "ID", "KEY"}), Events{});  // an empty name switches it off
    EXPECT_EQ(plugin->ExecRaw(8, nullptr), 1);
    EXPECT_EQ(press({}), Events{});
}

// The subroutine of a press may act on the hotkey that is being pressed: the press
// still clears the variables it wrote, and what the subroutine did holds afterwards.
TEST_F(CommandsTest, ASubroutineMayRemoveChangeOrSwitchOffThePressedHotKey) {
    struct Case {
        const char* what;
        std::int32_t number;
        std::vector<std::string> params;  // "<id>" is the pressed hotkey's id
        bool heldAfter;                   // Ctrl+Alt+F5 still held afterwards
        bool firesAgain;                  // a second press runs the subroutine again
    };
    const Case cases[] = {
        {"remove", 3, {"Ctrl+Alt+F5", "R"}, false, false},
        {"remove by id", 4, {"<id>", "R"}, false, false},
        {"clear", 5, {}, false, false},
        {"change", 2, {"<id>", "Ctrl+Alt+F6", "NEW"}, false, false},
        {"switch off", 8, {"", "", ""}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string id = Add("Ctrl+Alt+F5");
        ASSERT_TRUE(Run(8, {"OnHotkey", "ID", "KEY"}));
        plugin->Subroutines = {"OnHotkey"};
        std::vector<std::string> params = c.params;
        for (std::string& param : params) {
            param = param == "<id>" ? id : param;
        }
        int runs = 0;
        plugin->RunSubroutine = [&](const std::string&) {
            ++runs;
            EXPECT_TRUE(Run(c.number, params));
        };
        plugin->Events.clear();
        ASSERT_TRUE(fake.PressKey(kCtrlAlt, kF5));
        fake.PumpMessages();
        EXPECT_EQ(runs, 1);
        ASSERT_GE(plugin->Events.size(), 2u);
        EXPECT_EQ(plugin->Events[plugin->Events.size() - 2], "Script ClearVariables \"ID\"");
        EXPECT_EQ(plugin->Events.back(), "Script ClearVariables \"KEY\"");
        EXPECT_FALSE(plugin->Variable("ID"));
        EXPECT_EQ(fake.IsHeld(kCtrlAlt, kF5), c.heldAfter);
        if (c.number == 2) {
            EXPECT_TRUE(fake.IsHeld(kCtrlAlt, kF6));
            EXPECT_NE(Var("NEW"), "0");
        }
        fake.PressKey(kCtrlAlt, kF5);
        fake.PumpMessages();
        EXPECT_EQ(runs, c.firesAgain ? 2 : 1);
        plugin->RunSubroutine = nullptr;
        EXPECT_TRUE(Run(5, {}));
    }
}

// The id a press reports is the one the system delivered the message with.
TEST_F(CommandsTest, APressReportsTheIdOfItsMessage) {
    Add("Ctrl+Alt+F5");
    ASSERT_TRUE(Run(8, {"OnHotkey", "ID", ""}));
    plugin->Subroutines = {"OnHotkey"};
    std::string seen;
    plugin->RunSubroutine = [&](const std::string&) { seen = Var("ID"); };
    const WindowHandle window = hotkeys::HotkeyUtilities->Manager().WindowHandle();
    fake.PostMessage(window, 0x0312, 0xC123, static_cast<std::intptr_t>(kCtrlAlt | (kF5 << 16)));
    fake.PumpMessages();
    EXPECT_EQ(seen, std::to_string(0xC123));
}

// --- What the host may get wrong ------------------------------------------------------------

TEST_F(CommandsTest, BlankResultNamesAndMissingParametersAreHarmless) {
    EXPECT_TRUE(Run(1, {"Ctrl+Alt+F5", "   "}));
    EXPECT_TRUE(fake.IsHeld(kCtrlAlt, kF5));
    EXPECT_TRUE(Run(6, {"Ctrl+Alt+F5", ""}));
    EXPECT_TRUE(Run(7, {"Ctrl+Alt+F6", "\t"}));
    EXPECT_TRUE(Run(3, {"Ctrl+Alt+F5", " "}));
    EXPECT_FALSE(fake.IsHeld(kCtrlAlt, kF5));
    EXPECT_TRUE(plugin->Events.empty());

    // A null array or null slots read as empty texts.
    char* slots[] = {nullptr, nullptr, nullptr};
    const std::int32_t expected[] = {0, 1, 1, 1, 1, 1, 1, 1};
    for (std::int32_t number = 1; number <= 8; ++number) {
        EXPECT_EQ(plugin->ExecRaw(number, nullptr), expected[number - 1]) << number;
        EXPECT_EQ(plugin->ExecRaw(number, slots), expected[number - 1]) << number;
    }
    EXPECT_EQ(LastError(), NotValid(""));
    EXPECT_EQ(fake.Registrations(), 0u);
}

// Only TarvikAdd and TarvikChange ever answer false; the others still answer the
// question they can answer without the hotkey service.
TEST_F(CommandsTest, WithoutTheServiceObjectOnlyAddAndChangeAnswerFalse) {
    Add("Ctrl+Alt+F5");
    hotkeys::HotkeysUtilitiesShutdown();  // as after a start-up that failed
    fake.HoldInOtherProcess(kCtrlAlt, kF7);
    struct Case {
        std::int32_t number;
        std::vector<std::string> params;
        bool result;
        std::vector<std::string> events;  // what the host hears
    };
    const Case cases[] = {
        {1, {"Ctrl+Alt+F6", "V"}, false, {}},
        {2, {"49152", "Ctrl+Alt+F6", "V"}, false, {}},
        {2, {"abc", "Ctrl+Alt+F6", "V"}, true, {}},
        {3, {"Ctrl+Alt+F5", "V"}, true, {"SetVariable V=False"}},
        {4, {"49152", "V"}, true, {"SetVariable V=False"}},
        {5, {}, true, {}},
        {6, {"Ctrl+Alt+F6", "V"}, true, {"SetVariable V=False"}},
        {7, {"Ctrl+Alt+F6", "V"}, true, {"SetVariable V=True"}},
        {7, {"Ctrl+Alt+F7", "V"}, true, {"SetVariable V=False"}},
        {7, {"Ctrl+Alt", "V"}, true, {"SetVariable V=False"}},
        {8, {"Sub", "ID", "KEY"}, true, {}},
    };
    for (const Case& c : cases) {
        plugin->Events.clear();
        EXPECT_EQ(Run(c.number, c.params), c.result) << c.number << " " << (c.params.empty() ? "" : c.params[0]);
        EXPECT_EQ(plugin->Events, c.events) << c.number << " " << (c.params.empty() ? "" : c.params[0]);
    }
    EXPECT_EQ(fake.Registrations(), 0u);
    EXPECT_EQ(fake.AtomReferences("HotKeyManagerHotKeyTest"), 0);
    fake.ReleaseInOtherProcess(kCtrlAlt, kF7);
}

}  // namespace
}  // namespace tarvik

namespace tarvik {
namespace {

// Thousands of registrations through every way in and out leave no atom, registration
// or host block behind, and the ids stay in the atom range throughout.
TEST(CommandsSoak, ThousandsOfRegistrationsLeaveNothingBehind) {
    platform::FakePlatform fake;
    platform::SetOs(&fake);
    {
        std::string error;
        auto library = host::PluginLibrary::Load("", error);
        ASSERT_NE(library, nullptr);
        host::Host plugin(library->Api());
        plugin.Connect();
        const char* const keys[] = {"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "A", "B", "7"};
        const char* const modifiers[] = {"Ctrl+", "Alt+", "Ctrl+Alt+", "Shift+Win+", "Ctrl+Shift+"};
        for (int round = 0; round < 3000; ++round) {
            const std::string text = std::string(modifiers[round % 5]) + keys[round % 11];
            ASSERT_TRUE(plugin.Exec(1, {text, "ID"})) << text;
            const std::string id = plugin.Variable("ID").value_or("0");
            const unsigned long number = std::stoul(id);
            ASSERT_GE(number, 0xC000u);
            ASSERT_LE(number, 0xFFFFu);
            switch (round % 4) {
                case 0: plugin.Exec(3, {text, "R"}); break;
                case 1: plugin.Exec(4, {id, "R"}); break;
                case 2: plugin.Exec(2, {id, "Ctrl+Alt+Shift+F12", "ID"}); plugin.Exec(3, {"Ctrl+Alt+Shift+F12", "R"}); break;
                default: plugin.Exec(5, {}); break;
            }
            ASSERT_EQ(plugin.Variable("R").value_or("True"), "True") << text;
            ASSERT_EQ(fake.Registrations(), 0u) << text;
            ASSERT_EQ(fake.LiveAtoms(), 0u) << text;
        }
        EXPECT_EQ(fake.LiveBlocks(), 0u);
    }
    EXPECT_EQ(fake.LiveWindows(), 0u);
    platform::SetOs(nullptr);
}

}  // namespace
}  // namespace tarvik

// The key-press bridge: a press of a held hotkey, dispatched by the in-memory platform,
// against a host that records every call it receives.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "hotkeys/UHotkeysUtilities.h"
#include "platform/FakePlatform.h"
#include "plugin/UHostServices.h"

namespace tarvik::hotkeys {
namespace {

using platform::kModAlt;
using platform::kModControl;

struct Host {
    std::vector<std::string> calls;
    std::string subroutines = "Main\rOnHotkey\r";
    THotkeyUtilities* retargetDuringGoSub = nullptr;  // tvOnKeyPress from the subroutine
    bool failVariables = false;
    int goSubs = 0;
    // What the host does while it runs the n-th subroutine (from 1): it may pump messages.
    std::function<void(int goSub)> duringGoSub;
};
Host* host = nullptr;

void TARVIK_CALL SetVariable(const char* name, const char* value) {
    host->calls.push_back(std::string("set ") + name + "=" + value);
    if (host->failVariables) {
        throw std::runtime_error("host");
    }
}

void TARVIK_CALL RunScript(const char* line) {
    host->calls.push_back(std::string("script ") + line);
    if (std::strncmp(line, "GoSub", 5) != 0) {
        return;
    }
    if (host->retargetDuringGoSub != nullptr) {
        host->retargetDuringGoSub->KeyPress = {"OTHER", "OTHERKEY", "Main"};
    }
    ++host->goSubs;
    if (host->duringGoSub) {
        host->duringGoSub(host->goSubs);
    }
}

void TARVIK_CALL Answer(std::int32_t code, char** cell) {
    host->calls.push_back("request " + std::to_string(code));
    if (code == 5) {
        auto* block = static_cast<char*>(platform::Os().GlobalAlloc(host->subroutines.size() + 1));
        std::memcpy(block, host->subroutines.c_str(), host->subroutines.size() + 1);
        *cell = block;
    }
}

class BridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetOs(&fake);
        host = &recorded;
        saved = plugin::Callbacks();
        plugin::Callbacks() = plugin::HostCallbacks{nullptr, SetVariable, RunScript, Answer};
        HotKeysStartup();
        utilities = std::make_unique<THotkeyUtilities>();
        id = utilities->Manager().AddHotKey(TextToHotKey("alt+ctrl+f5", true));
        ASSERT_NE(id, 0);
    }
    void TearDown() override {
        utilities.reset();
        HotKeysShutdown();
        plugin::Callbacks() = saved;
        host = nullptr;
        EXPECT_EQ(fake.LiveBlocks(), 0u);
        EXPECT_EQ(fake.Registrations(), 0u);
        platform::SetOs(nullptr);
    }
    std::vector<std::string> Press(unsigned modifiers = kModControl | kModAlt, unsigned key = 116) {
        recorded.calls.clear();
        EXPECT_TRUE(fake.PressKey(modifiers, key));
        EXPECT_EQ(fake.PumpMessages(), 1);
        return recorded.calls;
    }

    platform::FakePlatform fake;
    Host recorded;
    plugin::HostCallbacks saved;
    std::unique_ptr<THotkeyUtilities> utilities;
    HotKeyId id = 0;
};

TEST_F(BridgeTest, WithoutSettingsAPressCallsNothing) {
    EXPECT_TRUE(Press().empty());
    utilities->KeyPress = {"ID", "KEY", "  \t "};
    EXPECT_TRUE(Press().empty());
}

TEST_F(BridgeTest, APressSetsRunsAndClearsInOrder) {
    utilities->KeyPress = {"ID", "KEY", "OnHotkey"};
    EXPECT_EQ(Press(), (std::vector<std::string>{
                           "request 5",  // the existence test
                           "set ID=" + std::to_string(id),
                           "set KEY=Ctrl+Alt+F5",
                           "request 5",  // the host service checks again before GoSub
                           "script GoSub \"OnHotkey\"",
                           "script ClearVariables \"ID\"",
                           "script ClearVariables \"KEY\"",
                       }));
}

// The keypad's slash and the main keyboard's are two keys with two names.
TEST_F(BridgeTest, APressReportsTheKeyByTheNameThatRegistersIt) {
    utilities->KeyPress = {"ID", "KEY", "OnHotkey"};
    const struct {
        const char* text;
        unsigned key;
    } slashes[] = {{"Ctrl+Num /", 111}, {"Ctrl+/", 191}};
    for (const auto& slash : slashes) {
        const HotKeyId slashId = utilities->Manager().AddHotKey(TextToHotKey(slash.text, true));
        ASSERT_NE(slashId, 0) << slash.text;
        const std::vector<std::string> calls = Press(kModControl, slash.key);
        ASSERT_GE(calls.size(), 3u);
        EXPECT_EQ(calls[1], "set ID=" + std::to_string(slashId));
        EXPECT_EQ(calls[2], std::string("set KEY=") + slash.text);
    }
}

TEST_F(BridgeTest, AnUnknownSubroutineWritesNothing) {
    utilities->KeyPress = {"ID", "KEY", "Missing"};
    EXPECT_EQ(Press(), std::vector<std::string>{"request 5"});
}

TEST_F(BridgeTest, NamesAreTrimmedButTheSubroutineIsRunAsStored) {
    utilities->KeyPress = {"  ", " KEY ", " onhotkey "};
    EXPECT_EQ(Press(), (std::vector<std::string>{
                           "request 5",
                           "set KEY=Ctrl+Alt+F5",
                           "request 5",
                           "script GoSub \" onhotkey \"",
                           "script ClearVariables \"KEY\"",
                       }));
}

TEST_F(BridgeTest, SettingsReplacedByTheSubroutineStillGetTheirVariablesCleared) {
    utilities->KeyPress = {"ID", "", "OnHotkey"};
    recorded.retargetDuringGoSub = utilities.get();
    const std::vector<std::string> calls = Press();
    EXPECT_EQ(calls.back(), "script ClearVariables \"ID\"");
    EXPECT_EQ(utilities->KeyPress.Subroutine, "Main");
}

TEST_F(BridgeTest, AFailingHostCallEndsThePressQuietly) {
    utilities->KeyPress = {"ID", "KEY", "OnHotkey"};
    recorded.failVariables = true;
    EXPECT_EQ(Press(), (std::vector<std::string>{"request 5", "set ID=" + std::to_string(id)}));
}

// A host that pumps messages while it runs the subroutine hands the library the presses
// made meanwhile: each waits for the running press's last call and then runs whole, in
// arrival order, once per hotkey, as the settings and registrations are by then.
TEST_F(BridgeTest, PressesMadeWhileASubroutineRunsWaitAndRunWholeAfterIt) {
    constexpr unsigned kF6 = 117, kF7 = 118;
    struct Case {
        const char* name;
        std::vector<unsigned> pressedInside;  // Ctrl+Alt with these keys, one message each
        // What the subroutine does after its presses; null: nothing.
        std::function<void(std::unique_ptr<THotkeyUtilities>& utilities, HotKeyId f6)> then;
        std::vector<unsigned> runs;  // the keys whose presses run, in order
    };
    const std::vector<Case> cases = {
        {"another combination", {kF6}, nullptr, {116, kF6}},
        {"repeats of the running and of a waiting hotkey collapse", {kF6, kF6, 116, kF6, 116}, nullptr,
         {116, kF6, 116}},
        {"the waiting hotkey is removed", {kF6},
         [](std::unique_ptr<THotkeyUtilities>& u, HotKeyId f6) { u->Manager().RemoveHotKeyById(f6); }, {116}},
        {"the waiting hotkey is changed to another key", {kF6},
         [](std::unique_ptr<THotkeyUtilities>& u, HotKeyId f6) { u->Manager().ChangeHotKey(f6, 0xC000 | kF7); }, {116}},
        {"every hotkey is cleared", {kF6, 116}, [](std::unique_ptr<THotkeyUtilities>& u, HotKeyId) { u->Manager().ClearHotKeys(); },
         {116}},
        {"the reaction is switched off", {kF6}, [](std::unique_ptr<THotkeyUtilities>& u, HotKeyId) { u->KeyPress = {}; }, {116}},
        {"the service object goes (the library is unloaded)", {kF6}, [](std::unique_ptr<THotkeyUtilities>& u, HotKeyId) { u.reset(); },
         {116}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (utilities == nullptr) {
            utilities = std::make_unique<THotkeyUtilities>();
        }
        utilities->Manager().ClearHotKeys();
        id = utilities->Manager().AddHotKey(0xC000 | 116);
        const HotKeyId f6 = utilities->Manager().AddHotKey(0xC000 | kF6);
        ASSERT_NE(f6, 0);
        const std::map<unsigned, HotKeyId> ids = {{116, id}, {kF6, f6}};
        utilities->KeyPress = {"ID", "KEY", "OnHotkey"};
        recorded.goSubs = 0;
        int dispatchedInside = 0;
        recorded.duringGoSub = [&](int goSub) {
            if (goSub != 1) {
                return;
            }
            for (unsigned key : c.pressedInside) {
                EXPECT_TRUE(fake.PressKey(kModControl | kModAlt, key));
                dispatchedInside += fake.PumpMessages();
                EXPECT_EQ(recorded.calls.back(), "script GoSub \"OnHotkey\"") << "nothing ran inside";
            }
            if (c.then) {
                c.then(utilities, f6);
            }
        };
        const std::vector<std::string> calls = Press();
        recorded.duringGoSub = nullptr;
        EXPECT_EQ(dispatchedInside, static_cast<int>(c.pressedInside.size())) << "each reached the library inside";
        std::vector<std::string> expected;
        for (unsigned key : c.runs) {
            const std::string text = key == 116 ? "Ctrl+Alt+F5" : "Ctrl+Alt+F6";
            for (const std::string& call : {std::string("request 5"), "set ID=" + std::to_string(ids.at(key)),
                                            "set KEY=" + text, std::string("request 5"),
                                            std::string("script GoSub \"OnHotkey\""),
                                            std::string("script ClearVariables \"ID\""),
                                            std::string("script ClearVariables \"KEY\"")}) {
                expected.push_back(call);
            }
        }
        EXPECT_EQ(calls, expected);
        EXPECT_EQ(fake.PumpMessages(), 0) << "nothing left over";
        if (utilities != nullptr && utilities->Manager().IsHotKeyRegistered(0xC000 | 116)) {
            utilities->KeyPress = {"ID", "KEY", "OnHotkey"};
            EXPECT_EQ(Press().size(), 7u) << "the next press runs at once, whole";
        }
    }
}

TEST_F(BridgeTest, TheServiceObjectLivesFromStartupToShutdown) {
    utilities.reset();
    ASSERT_EQ(HotkeyUtilities, nullptr);
    HotkeysUtilitiesStartup();
    ASSERT_NE(HotkeyUtilities, nullptr);
    EXPECT_EQ(fake.LiveWindows(), 1u);
    const HotKeyId held = HotkeyUtilities->Manager().AddHotKey(0xC074);
    HotkeyUtilities->KeyPress = {"ID", "", "OnHotkey"};
    EXPECT_EQ(Press(), (std::vector<std::string>{"request 5", "set ID=" + std::to_string(held),
                                                 "request 5", "script GoSub \"OnHotkey\"",
                                                 "script ClearVariables \"ID\""}));

    HotkeysUtilitiesShutdown();
    EXPECT_EQ(HotkeyUtilities, nullptr);
    EXPECT_EQ(fake.LiveWindows(), 0u);
    EXPECT_EQ(fake.LiveAtoms(), 0u);
}

}  // namespace
}  // namespace tarvik::hotkeys

// The eight script commands through the DLL's exports under real Win32 (wine64): what
// lands in the host's variables, what the system holds afterwards, and a real key press.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "IntegrationSupport.h"

namespace tarvik::integration {
namespace {

constexpr unsigned kCtrlAltShift = MOD_CONTROL | MOD_ALT | MOD_SHIFT;
const std::string kF6 = "Ctrl+Alt+Shift+F6";
const std::string kF7 = "Ctrl+Alt+Shift+F7";
const std::string kF8 = "Ctrl+Alt+Shift+F8";

std::string NotValid(const std::string& text) {
    return "The Hotkey \"" + text + "\" is not valid for register";
}
std::string NotAvailable(const std::string& text) {
    return "The Hotkey \"" + text + "\" is not available for register";
}

std::string Hex(unsigned number) {
    char text[16];
    std::snprintf(text, sizeof text, "$%X", number);
    return text;
}

// The system's text for an error code as LastError carries it: no trailing blanks,
// line breaks or full stops.
std::string SystemText(DWORD code) {
    char buffer[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   buffer, sizeof buffer, nullptr);
    std::string text = buffer;
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 32 || text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

// Takes every global atom the table still has room for, and gives them back.
class FullAtomTable {
public:
    FullAtomTable() {
        for (int i = 0; i < 0x10000; ++i) {
            const ATOM atom = GlobalAddAtomA(("TarvikCommandsFiller" + std::to_string(i)).c_str());
            if (atom == 0) {
                error = GetLastError();
                return;
            }
            atoms_.push_back(atom);
        }
    }
    ~FullAtomTable() {
        for (ATOM atom : atoms_) {
            GlobalDeleteAtom(atom);
        }
    }
    FullAtomTable(const FullAtomTable&) = delete;
    FullAtomTable& operator=(const FullAtomTable&) = delete;

    DWORD error = 0;  // why the table took no more; 0 when it never filled

private:
    std::vector<ATOM> atoms_;
};

class CommandsIt : public PluginFixture {
protected:
    std::string Var(const std::string& name) { return Plugin().Variable(name).value_or("<unset>"); }
    std::string Ask(std::int32_t number, const std::string& text) {
        Plugin().Variables.erase("Q");
        EXPECT_TRUE(Plugin().Exec(number, {text, "Q"}));
        return Var("Q");
    }
    std::string IsValid(const std::string& text) { return Ask(6, text); }
    std::string IsAvailable(const std::string& text) { return Ask(7, text); }
    unsigned Add(const std::string& text) {
        EXPECT_TRUE(Plugin().Exec(1, {text, "HK"})) << Var("LastError");
        return static_cast<unsigned>(std::stoul(Var("HK")));
    }
};

TEST_F(CommandsIt, AddChangeRemoveAndClearAreSeenBySystemAndCommands) {
    const unsigned id = Add(kF6);
    EXPECT_GE(id, 0xC000u);
    EXPECT_LE(id, 0xFFFFu);
    EXPECT_EQ(IsValid(kF6), "True");
    EXPECT_EQ(IsAvailable(kF6), "False");
    EXPECT_EQ(IsValid(kF7), "True");
    EXPECT_EQ(IsAvailable(kF7), "True");
    EXPECT_EQ(IsAvailable("Ctrl+Nothing"), "False");

    Plugin().Variables["HK"] = "untouched";
    EXPECT_FALSE(Plugin().Exec(1, {"shift+alt+ctrl+f6", "HK"}));
    EXPECT_EQ(Var("LastError"), NotValid("shift+alt+ctrl+f6"));
    EXPECT_EQ(Var("HK"), "untouched");

    ASSERT_TRUE(Plugin().Exec(2, {Hex(id), kF7, "NEW"}));
    const std::string newId = Var("NEW");
    EXPECT_NE(newId, "0");
    EXPECT_EQ(IsAvailable(kF6), "True");
    EXPECT_EQ(IsAvailable(kF7), "False");

    EXPECT_EQ(Ask(3, kF7), "True");
    EXPECT_EQ(Ask(3, kF7), "False");
    const unsigned again = Add(kF7);
    EXPECT_EQ(Ask(4, std::to_string(again)), "True");
    EXPECT_EQ(Ask(4, std::to_string(again)), "False");
    EXPECT_EQ(Ask(4, "abc"), "False");

    // An id that is not held: "0" and the system's text, no failure.
    Plugin().Variables["LastError"] = "earlier";
    EXPECT_TRUE(Plugin().Exec(2, {std::to_string(again), kF8, "NEW"}));
    EXPECT_EQ(Var("NEW"), "0");
    // The last error the system left: the manager's test unregistered an id it did not hold.
    EXPECT_EQ(Var("LastError"), SystemText(ERROR_HOTKEY_NOT_REGISTERED));
    EXPECT_EQ(IsAvailable(kF8), "True");

    Add(kF6);
    Add(kF7);
    Add(kF8);
    Plugin().Events.clear();
    EXPECT_TRUE(Plugin().Exec(5, {}));
    EXPECT_TRUE(Plugin().Events.empty());
    for (const std::string& text : {kF6, kF7, kF8}) {
        EXPECT_EQ(IsAvailable(text), "True") << text;
    }
}

TEST_F(CommandsIt, ACombinationAnotherProcessHoldsIsNotAvailable) {
    HolderProcess holder(kCtrlAltShift, VK_F6);
    ASSERT_TRUE(holder.Holds()) << holder.Report();
    EXPECT_FALSE(Plugin().Exec(1, {kF6, "HK"}));
    EXPECT_EQ(Var("LastError"), NotAvailable(kF6));
    EXPECT_EQ(Var("HK"), "<unset>");
    EXPECT_EQ(IsValid(kF6), "False");
    EXPECT_EQ(IsAvailable(kF6), "False");

    // A change to it is refused before the old hotkey is touched.
    const unsigned id = Add(kF7);
    EXPECT_FALSE(Plugin().Exec(2, {std::to_string(id), kF6, "NEW"}));
    EXPECT_EQ(Var("LastError"), NotAvailable(kF6));
    EXPECT_EQ(IsAvailable(kF7), "False");
    EXPECT_EQ(Ask(4, std::to_string(id)), "True");
}

TEST_F(CommandsIt, ARealPressRunsTheSubroutineWithTheHotkeysIdAndText) {
    const unsigned id = Add(kF8);
    ASSERT_TRUE(Plugin().Exec(8, {"OnHotkey", "ID", "KEY"}));
    Plugin().Subroutines = {"OnHotkey"};
    std::string seenId;
    std::string seenKey;
    Plugin().RunSubroutine = [&](const std::string&) {
        seenId = Var("ID");
        seenKey = Var("KEY");
    };
    Plugin().Events.clear();
    ASSERT_TRUE(host::system::PressKeys(kCtrlAltShift, VK_F8));
    ASSERT_TRUE(PumpUntil([&] { return !seenId.empty(); }));
    EXPECT_EQ(seenId, std::to_string(id));
    EXPECT_EQ(Plugin().Events.at(0), "Request 5");
    EXPECT_EQ(Plugin().Events.at(1), "SetVariable ID=" + seenId);
    EXPECT_EQ(Plugin().Events.at(2), "SetVariable KEY=" + seenKey);
    EXPECT_EQ(Plugin().Events.at(3), "Request 5");
    EXPECT_EQ(Plugin().Events.at(4), "Script GoSub \"OnHotkey\"");
    EXPECT_EQ(Plugin().Events.at(5), "Script ClearVariables \"ID\"");
    EXPECT_EQ(Plugin().Events.at(6), "Script ClearVariables \"KEY\"");
    // The text is the platform's own naming; it reads back as the held combination.
    ASSERT_GT(seenKey.size(), 3u);
    EXPECT_EQ(seenKey.substr(seenKey.size() - 3), "+F8");
    EXPECT_EQ(IsValid(seenKey), "True");
    EXPECT_FALSE(Plugin().Exec(1, {seenKey, "HK"}));
    EXPECT_EQ(Var("LastError"), NotValid(seenKey));
}

TEST_F(CommandsIt, ARegistrationTheSystemRefusesReportsItsMessage) {
    DWORD error = 0;
    {
        FullAtomTable full;
        error = full.error;
        ASSERT_NE(error, 0u) << "the global atom table never filled";
        EXPECT_TRUE(Plugin().Exec(1, {kF6, "HK"}));
        EXPECT_EQ(Var("HK"), "0");
        EXPECT_EQ(Var("LastError"), SystemText(error));
        EXPECT_FALSE(Var("LastError").empty());
    }
    EXPECT_EQ(IsAvailable(kF6), "True");  // nothing was registered
}

}  // namespace
}  // namespace tarvik::integration

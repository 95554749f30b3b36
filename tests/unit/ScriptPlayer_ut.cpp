// The demonstration host's script player, and the example publication against the fake.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "Host.h"
#include "LinkedPluginTest.h"
#include "PluginApi.h"
#include "ScriptPlayer.h"
#include "platform/FakePlatform.h"

namespace tarvik::host {
namespace {

std::string ExamplePath(const std::string& name) {
#if defined(_WIN32)
    const std::string drive = "Z:";  // the Unix root, as Wine sees it
#else
    const std::string drive;
#endif
    return drive + TARVIK_EXAMPLES_DIR + "/" + name;
}

// A script, or one line of it, and what the player says about it.
struct ScriptError {
    const char* text;
    const char* error;
};

class ScriptPlayerTest : public test_support::LinkedPluginTest {
protected:
    std::ostringstream out;
};

TEST_F(ScriptPlayerTest, TheExamplePublicationPrintsTheTypicalRoadWithWindowsKeyNames) {
    std::ifstream file(ExamplePath("typical-road.txt"), std::ios::binary);
    std::stringstream script;
    script << file.rdbuf();
    ScriptPlayer player(*plugin, out);
    std::string error;
    ASSERT_TRUE(player.Load(script.str(), error)) << error;
    EXPECT_EQ(plugin->Subroutines, std::vector<std::string>{"OnHotkey"});
    plugin->Connect();
    ASSERT_TRUE(player.Run()) << out.str();

    EXPECT_NE(out.str().find("OnHotkey runs: the plug-in pressed ID=\""), std::string::npos);
    EXPECT_NE(out.str().find("KEY=\"Ctrl+Alt+F5\""), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("KEY=\"Ctrl+Shift+F6\""), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("ID=(unset) KEY=(unset)"), std::string::npos);
    EXPECT_NE(out.str().find("FREE7=\"True\""), std::string::npos);
    EXPECT_TRUE(player.Check(error)) << error;
    EXPECT_EQ(out.str().find("line "), std::string::npos) << out.str();
}

TEST_F(ScriptPlayerTest, BadScriptsAreRefusedWithTheirLineAndWhatIsWrong) {
    const ScriptError cases[] = {
        {"TarvikAdd \"Ctrl+A", "line 1: the quote before Ctrl+A is not closed"},
        {"TarvikAdd \"Ctrl+Alt+F5 \"HK\"", "line 1: the text \"Ctrl+Alt+F5 \" runs into HK\" without a space"},
        {"print \"a\" \"b\"c", "line 1: the text \"b\" runs into c without a space"},
        {"\n  print HK\"", "line 2: a quote inside the word HK\""},
        {"print \"x\"\"", "line 1: the quote before x\"\" is not closed (a quote inside a text is written \"\")"},
        {"\n\nsub A\nprint X\n", "line 3: the subroutine A has no end"},
        {"\nend\n", "line 2: end without sub"},
        {"sub A\nsub B\nend", "line 2: sub inside the subroutine A"},
        {"sub A\nend\nsub a\nend", "line 3: the subroutine a is defined already, on line 1"},
        {"sub\nend", "line 1: sub takes one name"},
    };
    for (const auto& c : cases) {
        ScriptPlayer player(*plugin, out);
        std::string error;
        EXPECT_FALSE(player.Load(c.text, error)) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << "\n  said: " << error;
    }
}

TEST_F(ScriptPlayerTest, AQuoteInsideATextIsWrittenTwiceAndCommasMaySeparateArguments) {
    const std::string script = "# a comment may hold \"a lone quote\n"
                               "print \"say \"\"hi\"\"\" \"\" \"a\"\"b\"\n"
                               "TarvikIsValid \"Ctrl+Alt+F5\", \"quoted\"\"name\"\n";
    std::string error;
    EXPECT_FALSE(ScriptPlayer(*plugin, out).Load(script + "print quoted\"", error));
    EXPECT_NE(error.find("line 4: a quote inside the word quoted\""), std::string::npos) << error;
    ScriptPlayer player(*plugin, out);
    ASSERT_TRUE(player.Load(script, error)) << error;
    plugin->Connect();
    ASSERT_TRUE(player.Check(error)) << error;
    ASSERT_TRUE(player.Run()) << out.str();
    EXPECT_NE(out.str().find("print: say \"hi\"  a\"b\n"), std::string::npos) << out.str();
    EXPECT_EQ(plugin->Variable("quoted\"name"), std::optional<std::string>("True")) << out.str();
}

// Every statement is checked against the plug-in's catalogue before anything runs, also
// inside subroutines; running anyway skips and reports the same statements.
TEST_F(ScriptPlayerTest, StatementsThePlugInOrTheHostCannotRunAreNamedWithTheirLine) {
    const ScriptError cases[] = {
        {"TarvikAd \"Ctrl+Alt+F5\" \"HK\"", "unknown command TarvikAd; did you mean TarvikAdd?"},
        {"tarvikadd \"Ctrl+Alt+F5\" \"HK\"", "unknown command tarvikadd; did you mean TarvikAdd?"},
        {"TarvikIsAvialable \"Ctrl+Alt+F5\" \"F\"", "did you mean TarvikIsAvailable?"},
        {"prnt HK", "unknown command prnt; did you mean print?"},
        {"NoSuchCommand \"x\"", "unknown command NoSuchCommand"},
        {"TarvikAdd \"Ctrl+Alt+F5\"", "TarvikAdd takes 2 parameters, not 1"},
        {"TarvikClear \"x\"", "TarvikClear takes 0 parameters, not 1"},
        {"press \"Ctrl+Nothing\"", "press: Nothing is not a key name press knows"},
        {"press \"Hyper+A\"", "press: Hyper is not a modifier (Ctrl, Alt, Shift, Win)"},
        {"press \"Ctrl+Alt\"", "press: a key must follow the modifier Alt"},
        {"press \"Ctrl+Spcae\"", "did you mean Space?"},
        {"press \"F25\"", "press: F25 is no function key (F1-F24)"},
        {"press", "press takes one key combination"},
        {"wait soon", "wait takes a number of seconds"},
        {"wait 100000", "wait takes a number of seconds up to 9999"},
        {"about now", "about takes no parameters"},
        {"edit", "edit names a command"},
        {"edit TarvikAd \"x\"", "edit: the plug-in has no command TarvikAd; did you mean TarvikAdd?"},
        {"edit TarvikAdd \"a\" \"b\" \"c\"", "edit: TarvikAdd takes 2 parameters, not 3"},
    };
    // The first case stands inside a subroutine: line 2, then "end", then one a line from 4.
    const auto lineOf = [](std::size_t index) { return index == 0 ? 2 : static_cast<int>(index) + 3; };
    std::string script = "sub OnHotkey\n";
    for (const auto& c : cases) {
        script += std::string(c.text) + (&c == &cases[0] ? "\nend\n" : "\n");
    }
    ScriptPlayer player(*plugin, out);
    std::string error;
    ASSERT_TRUE(player.Load(script, error)) << error;
    plugin->Connect();
    ASSERT_FALSE(player.Check(error));
    const auto lineSaying = [&](int line) {
        const std::string where = "line " + std::to_string(line) + ": ";
        const std::size_t start = error.find(where);
        return start == std::string::npos ? std::string()
                                          : error.substr(start, error.find('\n', start) - start);
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_NE(lineSaying(lineOf(i)).find(cases[i].error), std::string::npos)
            << cases[i].text << "\n  said:\n" << error;
    }
    EXPECT_EQ(lineSaying(7), "line 7: unknown command NoSuchCommand") << "nothing is near enough to suggest";
    plugin->Events.clear();
    EXPECT_FALSE(player.Run());
    EXPECT_NE(out.str().find("line 4: unknown command tarvikadd; did you mean TarvikAdd?"), std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("line 21: edit: TarvikAdd takes 2 parameters, not 3"), std::string::npos)
        << out.str();
    EXPECT_TRUE(plugin->Events.empty()) << "a refused statement ran: " << plugin->Events.front();
}

TEST(ScriptKeys, TheHostReadsTheCombinationsItPresses) {
    const struct {
        const char* text;
        unsigned modifiers;
        unsigned key;  // 0: refused
        const char* error;
    } cases[] = {
        {"Ctrl+Alt+F5", 3, 0x74, ""},
        {"shift+win+a", 12, 'A', ""},
        {"Ctrl+Num +", 2, 0x6B, ""},
        {"CONTROL+page down", 2, 0x22, ""},
        {"F24", 0, 0x87, ""},
        {"F", 0, 'F', ""},
        {"F25", 0, 0, "F25 is no function key (F1-F24)"},
        {"F0", 0, 0, "F0 is no function key"},
        {"Hyper+A", 0, 0, "Hyper is not a modifier (Ctrl, Alt, Shift, Win)"},
        {"Crtl+A", 0, 0, "Crtl is not a modifier (Ctrl, Alt, Shift, Win); did you mean Ctrl?"},
        {"Ctrl+Shift", 0, 0, "a key must follow the modifier Shift"},
        {"Ctrl+PgUp", 0, 0, "PgUp is not a key name press knows (A-Z, 0-9, F1-F24, Space, Enter"},
        {"Alt+Hmoe", 0, 0, "did you mean Home?"},
        {"Ctrl+", 0, 0, "Ctrl+ is not a key name"},
        {"", 0, 0, "no key is named"},
    };
    for (const auto& c : cases) {
        unsigned modifiers = 99;
        unsigned key = 99;
        std::string error = "unset";
        EXPECT_EQ(ParseKeys(c.text, modifiers, key, &error), c.key != 0) << c.text;
        EXPECT_EQ(modifiers, c.modifiers) << c.text;
        EXPECT_EQ(key, c.key) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << "\n  said: " << error;
        EXPECT_EQ(error.empty(), c.key != 0) << c.text << "\n  said: " << error;
    }
}

}  // namespace
}  // namespace tarvik::host

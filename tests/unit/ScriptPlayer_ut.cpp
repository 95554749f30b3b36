// The demonstration host's script player, and the example publication against the fake.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
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
    EXPECT_EQ(out.str().find("cannot run"), std::string::npos) << out.str();
}

TEST_F(ScriptPlayerTest, BadScriptsAreRefusedWithTheirLine) {
    ScriptPlayer player(*plugin, out);
    std::string error;
    EXPECT_FALSE(player.Load("TarvikAdd \"Ctrl+A", error));
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
    EXPECT_FALSE(player.Load("sub A\nprint X\n", error));
    EXPECT_FALSE(player.Load("\nend\n", error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;

    ScriptPlayer unknown(*plugin, out);
    plugin->Connect();
    ASSERT_TRUE(unknown.Load("NoSuchCommand \"x\"\npress \"Ctrl+Nothing\"", error));
    EXPECT_FALSE(unknown.Run());
    EXPECT_NE(out.str().find("line 1: cannot run 'NoSuchCommand'"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("line 2: cannot run 'press'"), std::string::npos) << out.str();
}

TEST(ScriptKeys, TheHostReadsTheCombinationsItPresses) {
    unsigned modifiers = 0;
    unsigned key = 0;
    ASSERT_TRUE(ParseKeys("Ctrl+Alt+F5", modifiers, key));
    EXPECT_EQ(modifiers, 3u);
    EXPECT_EQ(key, 0x74u);
    ASSERT_TRUE(ParseKeys("shift+win+a", modifiers, key));
    EXPECT_EQ(modifiers, 12u);
    EXPECT_EQ(key, unsigned('A'));
    ASSERT_TRUE(ParseKeys("Ctrl+Num +", modifiers, key));
    EXPECT_EQ(key, 0x6Bu);
    ASSERT_TRUE(ParseKeys("F24", modifiers, key));
    EXPECT_EQ(modifiers, 0u);
    EXPECT_EQ(key, 0x87u);
    EXPECT_FALSE(ParseKeys("F25", modifiers, key));
    EXPECT_FALSE(ParseKeys("Hyper+A", modifiers, key));
    EXPECT_FALSE(ParseKeys("", modifiers, key));
}

}  // namespace
}  // namespace tarvik::host

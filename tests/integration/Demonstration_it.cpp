// The example publication, played through the real DLL as the demonstration plays it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "IntegrationSupport.h"
#include "ScriptPlayer.h"

namespace tarvik::integration {
namespace {

std::string ReadExample(const std::string& name) {
    std::ifstream file(std::string("Z:") + TARVIK_EXAMPLES_DIR + "/" + name, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Where `sequence` appears in `events` in order, one right after the other.
bool ContainsRun(const std::vector<std::string>& events, const std::vector<std::string>& sequence) {
    return std::search(events.begin(), events.end(), sequence.begin(), sequence.end()) != events.end();
}

using DemonstrationIt = PluginFixture;

TEST_F(DemonstrationIt, TheExamplePublicationWalksTheTypicalRoad) {
    const std::string script = ReadExample("typical-road.txt");
    ASSERT_FALSE(script.empty());
    std::ostringstream out;
    host::ScriptPlayer player(Plugin(), out);
    std::string error;
    ASSERT_TRUE(player.Load(script, error)) << error;
    Plugin().Events.clear();
    ASSERT_TRUE(player.Run()) << out.str();

    const std::vector<std::string>& events = Plugin().Events;
    const auto firstId = std::find_if(events.begin(), events.end(), [](const std::string& e) {
        return e.rfind("SetVariable HK=", 0) == 0;
    });
    ASSERT_NE(firstId, events.end()) << out.str();
    const std::string id = firstId->substr(std::string("SetVariable HK=").size());
    EXPECT_NE(id, "0");

    // The press: the id and the text set, the subroutine run, both variables cleared.
    const std::string key = [&] {
        for (const std::string& e : events) {
            if (e.rfind("SetVariable KEY=", 0) == 0) {
                return e;
            }
        }
        return std::string();
    }();
    ASSERT_FALSE(key.empty()) << out.str();
    EXPECT_TRUE(ContainsRun(events, {"Request 5", "SetVariable ID=" + id, key, "Request 5",
                                     "Script GoSub \"OnHotkey\"", "Script ClearVariables \"ID\"",
                                     "Script ClearVariables \"KEY\""}))
        << out.str();

    // Refused second add, the tests, and the final state.
    EXPECT_NE(out.str().find("LastError=\"The Hotkey \"Ctrl+Alt+F5\" is not valid for register\""),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("VALID=\"True\" FREE=\"False\""), std::string::npos);
    EXPECT_NE(out.str().find("REMOVED=\"True\" REMOVED_BAD_ID=\"False\""), std::string::npos);
    EXPECT_NE(out.str().find("FREE7=\"True\""), std::string::npos);
    // Ctrl+Alt+F5 after the change, and Ctrl+Alt+F7 after the clear, reach nobody.
    EXPECT_EQ(std::count(events.begin(), events.end(), "Script GoSub \"OnHotkey\""), 2);
}

}  // namespace
}  // namespace tarvik::integration

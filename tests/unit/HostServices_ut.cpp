// The host services against a recording host and the in-memory platform.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/UTextUtils.h"
#include "platform/FakePlatform.h"
#include "plugin/UHostServices.h"

namespace tarvik::plugin {
namespace {

// What the host saw, in order; a test host answers requests from these fields.
struct RecordingHost {
    std::vector<std::string> calls;
    std::string listReply;       // request 5 (and 3, 4)
    bool replyToList = true;
    std::string version = "5.0"; // request 6
    bool replyToVersion = true;
    const char* pickReply = nullptr;  // pickers: where the host points the cell
    bool pickNull = false;            // pickers: the host sets the cell to null
    std::vector<std::string> messages;
    // When set, list and version replies and what request 9 leaves in its cell are this
    // text of the host's own memory rather than global blocks.
    char* ownText = nullptr;
};

RecordingHost* recorder = nullptr;

char* Block(platform::Platform& os, const std::string& text) {
    auto* block = static_cast<char*>(os.GlobalAlloc(text.size() + 1));
    std::memcpy(block, text.c_str(), text.size() + 1);
    return block;
}

void TARVIK_CALL RecordSetVariable(const char* name, const char* value) {
    recorder->calls.push_back(std::string("set ") + name + "=" + value);
}

void TARVIK_CALL RecordScript(const char* line) {
    recorder->calls.push_back(std::string("script ") + line);
}

void TARVIK_CALL AnswerRequest(std::int32_t code, char** cell) {
    recorder->calls.push_back("request " + std::to_string(code));
    platform::Platform& os = platform::Os();
    if (code == 3 || code == 4 || code == 5) {
        EXPECT_EQ(*cell, nullptr);
        if (recorder->ownText != nullptr) {
            *cell = recorder->ownText;
        } else if (recorder->replyToList) {
            *cell = Block(os, recorder->listReply);
        }
    } else if (code == 6) {
        EXPECT_EQ(*cell, nullptr);
        if (recorder->ownText != nullptr) {
            *cell = recorder->ownText;
        } else if (recorder->replyToVersion) {
            *cell = Block(os, recorder->version);
        }
    } else if (code == 9) {
        ASSERT_NE(*cell, nullptr) << "request 9 with a null cell";
        recorder->messages.push_back(*cell);
        if (recorder->ownText != nullptr) {
            os.GlobalFree(*cell);  // the host takes the message and leaves its own text
            *cell = recorder->ownText;
        }
    } else {
        recorder->calls.back() += std::string(" current=") + *cell;
        if (recorder->pickNull) {
            *cell = nullptr;
        } else if (recorder->pickReply != nullptr) {
            *cell = const_cast<char*>(recorder->pickReply);
        }
    }
}

class HostServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetOs(&fake);
        recorder = &host;
        saved = Callbacks();
        Callbacks() = HostCallbacks{nullptr, RecordSetVariable, RecordScript, AnswerRequest};
    }
    void TearDown() override {
        Callbacks() = saved;
        recorder = nullptr;
        EXPECT_EQ(fake.LiveBlocks(), 0u) << "a host text was not released";
        EXPECT_EQ(fake.ForeignFrees(), 0u) << "GlobalFree was handed an address that is no block";
        platform::SetOs(nullptr);
    }

    platform::FakePlatform fake;
    RecordingHost host;
    HostCallbacks saved;
};

TEST_F(HostServicesTest, SetHostVariableSkipsBlankNamesAndSendsTheRestUntouched) {
    SetHostVariable("   ", "x");
    SetHostVariable("", "x");
    SetHostVariable("\t\r\n", "x");
    SetHostVariable(" X ", "");
    SetHostVariable("Y", "  padded  ");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"set  X =", "set Y=  padded  "}));
}

TEST_F(HostServicesTest, SubroutineExistenceIsTrimmedCaseBlindAndAskedAfreshEachTime) {
    host.listReply = "Main\rOther";
    EXPECT_TRUE(HostSubroutineExists("main"));
    EXPECT_TRUE(HostSubroutineExists(" Main "));
    EXPECT_FALSE(HostSubroutineExists("Mai"));
    EXPECT_EQ(host.calls.size(), 3u);

    host.calls.clear();
    EXPECT_FALSE(HostSubroutineExists("   "));
    EXPECT_TRUE(host.calls.empty()) << "a blank name needs no request";

    host.listReply = "";
    EXPECT_FALSE(HostSubroutineExists("Main"));
    host.replyToList = false;
    EXPECT_FALSE(HostSubroutineExists("Main"));
}

TEST_F(HostServicesTest, RunHostSubroutineSendsGoSubOnlyForListedNamesKeepingTheSpaces) {
    host.listReply = "Main";
    EXPECT_TRUE(RunHostSubroutine(" Main "));
    EXPECT_EQ(host.calls.back(), "script GoSub \" Main \"");

    host.calls.clear();
    EXPECT_FALSE(RunHostSubroutine("Missing"));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"request 5"}));
}

TEST_F(HostServicesTest, ScriptLinesRefuseArgumentsThatWouldInjectScript) {
    // The host lists them, yet a quote or a line break would end the line early.
    host.listReply = "a\"b\rline\nbreak";
    EXPECT_FALSE(RunHostSubroutine("a\"b"));
    ClearHostVariables("X\" GoSub \"Evil");
    ClearHostVariables("X\rY");
    ClearHostVariables("X\nY");
    for (const std::string& call : host.calls) {
        EXPECT_EQ(call.rfind("script", 0), std::string::npos) << call;
    }
    ClearHostVariables("KEY");
    EXPECT_EQ(host.calls.back(), "script ClearVariables \"KEY\"");
}

TEST_F(HostServicesTest, HostListSplitsAtCarriageReturnsTrimsAndDropsBlankLines) {
    host.listReply = "A\r\n\r\n B \r";
    std::vector<std::string> list{"stale"};
    GetHostList(THostListKind::Subroutines, list);
    EXPECT_EQ(list, (std::vector<std::string>{"A", "B"}));

    host.listReply = "x\rx";
    GetHostList(THostListKind::Kind0, list);
    GetHostList(THostListKind::Kind2, list);
    EXPECT_EQ(list, (std::vector<std::string>{"x", "x"})) << "duplicates stay";
    EXPECT_EQ(host.calls, (std::vector<std::string>{"request 5", "request 3", "request 4"}));
}

TEST_F(HostServicesTest, WithoutInterfaceAccessNothingIsAskedAndNothingChanges) {
    Callbacks().InterfaceAccessProc = nullptr;
    std::vector<std::string> list{"kept"};
    GetHostList(THostListKind::Subroutines, list);
    EXPECT_EQ(list, (std::vector<std::string>{"kept"}));

    std::string version = "unchanged";
    GetHostVersion(version);
    EXPECT_EQ(version, "unchanged");
    ShowHostMessage("hello");
    std::string picked = "x";
    PickFromHost(THostPickerKind::ObjectTag0, "current", picked);
    EXPECT_EQ(picked, "");
    EXPECT_FALSE(HostSubroutineExists("Main"));
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(HostServicesTest, VersionFiveOrLaterReadsTheLeadingNumber) {
    const struct {
        const char* version;
        bool later;
    } cases[] = {{"4.9", false}, {"5", true}, {"5.0.1", true}, {"9", true}, {"10.2", true},
                 {"", false},    {"v5", false}, {"45", true}, {"04", false}};
    for (const auto& c : cases) {
        host.version = c.version;
        EXPECT_EQ(IsHostVersion5OrLater(), c.later) << '"' << c.version << '"';
    }
    host.replyToVersion = false;
    EXPECT_FALSE(IsHostVersion5OrLater());
}

TEST_F(HostServicesTest, PickersGuardTheVersionAndReturnTheHostsChoice) {
    host.version = "4.0";
    std::string result = "old";
    PickFromHost(THostPickerKind::Variable, "cur", result);
    EXPECT_EQ(result, "");
    EXPECT_EQ(host.messages, (std::vector<std::string>{"Sorry, this feature need Lumora version 5 or later"}));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"request 6", "request 9"}));

    // Object pickers work on any version; the host may leave the cell as it was.
    host.calls.clear();
    PickFromHost(THostPickerKind::ObjectTag0, "cur", result);
    EXPECT_EQ(result, "cur");
    host.pickReply = "chosen";
    PickFromHost(THostPickerKind::ObjectTag1, "cur", result);
    EXPECT_EQ(result, "chosen");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"request 6", "request 1 current=cur",
                                                    "request 6", "request 8 current=cur"}));
    host.pickNull = true;
    result = "old";
    PickFromHost(THostPickerKind::ObjectTag0, "cur", result);
    EXPECT_EQ(result, "") << "a cell the host set to null is an empty choice";
    host.pickNull = false;

    host.version = "5.1";
    host.calls.clear();
    PickFromHost(THostPickerKind::Variable, "", result);
    PickFromHost(THostPickerKind::Kind2, "", result);
    PickFromHost(THostPickerKind::Kind0, "", result);
    PickFromHost(THostPickerKind::Kind5, "", result);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"request 6", "request 14 current=", "request 6",
                                                    "request 13 current=", "request 6",
                                                    "request 2 current=", "request 6",
                                                    "request 10 current="}));
}

TEST_F(HostServicesTest, AssignHostTextReplacesTheCellsBlock) {
    char* cell = nullptr;
    AssignHostText(&cell, "");
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell[0], '\0');
    AssignHostText(&cell, "second");
    EXPECT_STREQ(cell, "second");
    EXPECT_EQ(fake.LiveBlocks(), 1u) << "the first block is released";
    FreeHostText(&cell);
    EXPECT_EQ(cell, nullptr);
    FreeHostText(&cell);
    EXPECT_EQ(cell, nullptr);
    AssignHostText(nullptr, "ignored");
    EXPECT_EQ(fake.LiveBlocks(), 0u) << "no block for a cell that is not there";
}

// A host may leave texts of its own in cells: a static text, a block of another heap,
// the middle of a global block. None of them is the allocator's to free.
TEST_F(HostServicesTest, TextsThatAreNoGlobalBlocksAreNeverFreed) {
    char staticText[] = "static";
    auto* heapText = new char[8]{'h', 'e', 'a', 'p'};
    char* block = Block(fake, "global block");
    for (char* foreign : {staticText, heapText, block + 3}) {
        char* cell = foreign;
        AssignHostText(&cell, "ours");
        ASSERT_NE(cell, nullptr);
        EXPECT_STREQ(cell, "ours");
        FreeHostText(&cell);
        cell = foreign;
        FreeHostText(&cell);
        EXPECT_EQ(cell, nullptr);
    }
    EXPECT_STREQ(staticText, "static");
    EXPECT_STREQ(heapText, "heap");
    EXPECT_STREQ(block, "global block");
    delete[] heapText;
    fake.GlobalFree(block);

    // Replies and what request 9 leaves behind: texts of the host's own stay its own.
    char own[] = "Main\rOther 5";
    host.ownText = own;
    std::vector<std::string> list;
    GetHostList(THostListKind::Subroutines, list);
    EXPECT_EQ(list, (std::vector<std::string>{"Main", "Other 5"}));
    std::string version;
    GetHostVersion(version);
    EXPECT_EQ(version, own);
    ShowHostMessage("shown");
    EXPECT_EQ(host.messages, (std::vector<std::string>{"shown"}));
    EXPECT_STREQ(own, "Main\rOther 5");
}

// The real platform refuses a foreign address with error 6 and hands it back; so does the
// fake, which also counts such attempts for the tests above.
TEST(FakeGlobalMemory, AForeignAddressIsRefusedAndCounted) {
    platform::FakePlatform fake;
    char text[] = "x";
    EXPECT_FALSE(fake.IsGlobalFixedBlock(text));
    EXPECT_EQ(fake.ForeignFrees(), 0u) << "asking is not freeing";
    EXPECT_EQ(fake.GlobalFree(text), text);
    EXPECT_EQ(fake.LastError(), 6u);
    EXPECT_EQ(fake.ForeignFrees(), 1u);
    void* block = fake.GlobalAlloc(4);
    EXPECT_TRUE(fake.IsGlobalFixedBlock(block));
    EXPECT_EQ(fake.GlobalFree(block), nullptr);
    EXPECT_FALSE(fake.IsGlobalFixedBlock(block)) << "a freed block is no block";
    EXPECT_EQ(fake.ForeignFrees(), 1u);
}

TEST_F(HostServicesTest, AssignHostTextLeavesTheCellNullWhenNoBlockCanBeHad) {
    char* cell = nullptr;
    AssignHostText(&cell, "first");
    fake.FailAllocations(1);
    AssignHostText(&cell, "second");
    EXPECT_EQ(cell, nullptr);
    EXPECT_EQ(fake.LiveBlocks(), 0u);
}

TEST_F(HostServicesTest, ShowHostMessageLendsAGlobalBlockForTheCall) {
    ShowHostMessage("Hello \"there\"");
    EXPECT_EQ(host.messages, (std::vector<std::string>{"Hello \"there\""}));
    // Without a copy of the message there is nothing to show: no request at all.
    host.calls.clear();
    fake.FailAllocations(1);
    ShowHostMessage("lost");
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(host.messages.size(), 1u);
}

TEST(HostTextHelpers, EscapeQuotesAndSplitText) {
    EXPECT_EQ(EscapeQuotes("plain"), "plain");
    EXPECT_EQ(EscapeQuotes("\""), "[#34]");
    EXPECT_EQ(EscapeQuotes("a\"b\"c"), "a[#34]b[#34]c");

    EXPECT_EQ(SplitText("\r", "a\rb\r"), (std::vector<std::string>{"a", "b", ""}));
    EXPECT_EQ(SplitText("\r", ""), (std::vector<std::string>{""}));
    EXPECT_EQ(SplitText("ab", "xabyAbz"), (std::vector<std::string>{"x", "yAbz"}));

    EXPECT_EQ(base::Trim(" \t\r\nx y\x01 "), "x y");
    EXPECT_EQ(base::Trim("\x01\x1f "), "");
}

TEST(HostTextHelpers, ParamReadsNullArraysAndSlotsAsEmptyTexts) {
    char text[] = "value";
    char* params[] = {text, nullptr};
    EXPECT_EQ(Param(params, 0), "value");
    EXPECT_EQ(Param(params, 1), "");
    EXPECT_EQ(Param(nullptr, 2), "");
}

TEST(HostShell, ShellOpenAsksTheShellWithTheActiveWindowAndReadsItsResult) {
    platform::FakePlatform fake;
    platform::SetOs(&fake);
    int owner = 0;
    fake.SetActiveWindow(&owner);
    fake.SetShellResult(42);
    EXPECT_TRUE(ShellOpen("https://example.invalid/", "", 1));
    fake.SetShellResult(32);
    EXPECT_FALSE(ShellOpen("missing.chm", "", 1));
    ASSERT_EQ(fake.ShellCalls().size(), 2u);
    EXPECT_EQ(fake.ShellCalls()[0].owner, &owner);
    EXPECT_EQ(fake.ShellCalls()[0].file, "https://example.invalid/");
    EXPECT_EQ(fake.ShellCalls()[0].show, 1);
    platform::SetOs(nullptr);
}

}  // namespace
}  // namespace tarvik::plugin

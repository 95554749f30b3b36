// The help lookup against the in-memory registry, files and help viewer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "about/UHelpTopics.h"
#include "platform/FakePlatform.h"

namespace tarvik::about {
namespace {

using platform::FakePlatform;
using platform::RegistryRoot;

constexpr char kKey[] = "Software\\Halvenor\\Corvane\\Tarvik";
constexpr char kHelpFile[] = "C:\\Program Files\\Lumora\\Plugins\\Tarvik.chm";
const std::wstring kHelpFileW = L"C:\\Program Files\\Lumora\\Plugins\\Tarvik.chm";
const auto kHostWindow = reinterpret_cast<platform::WindowHandle>(std::uintptr_t{0x10A0});

class HelpTopicsTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetOs(&fake);
        fake.SetActiveWindow(kHostWindow);
    }
    void TearDown() override {
        // Whatever happened, every key the lookup opened is closed again.
        EXPECT_EQ(fake.OpenRegistryKeys(), 0u);
        platform::SetOs(nullptr);
    }
    void RegisterHelpFile(const std::string& path, std::uint32_t type = platform::kRegSz,
                          RegistryRoot root = RegistryRoot::CurrentUser) {
        fake.SetRegistryText(root, kKey, "HelpFile", path, type);
    }
    // The files the viewer was asked to open, in order.
    std::vector<std::wstring> ViewerRequests() const {
        std::vector<std::wstring> files;
        for (const auto& call : fake.HtmlHelpCalls()) {
            files.push_back(call.file);
        }
        return files;
    }

    FakePlatform fake;
};

TEST_F(HelpTopicsTest, ARegisteredHelpFileOpensTheViewerOnTheTopicsAnchor) {
    fake.AddFile(kHelpFile);
    RegisterHelpFile(kHelpFile);

    EXPECT_TRUE(ShowHelpTopic("TarvikChange"));

    ASSERT_EQ(fake.HtmlHelpCalls().size(), 1u);
    const auto& call = fake.HtmlHelpCalls().front();
    EXPECT_EQ(call.file, kHelpFileW + L"::\\index.html#TarvikChange");
    EXPECT_EQ(call.caller, kHostWindow);
    EXPECT_EQ(call.command, platform::kHhDisplayTopic);
    EXPECT_EQ(call.data, 0u);
    EXPECT_EQ(fake.HelpViewersOpen(), 1u);
}

TEST_F(HelpTopicsTest, TheTopicIsTakenAsGivenAndTheLocationIsReadOnEveryRequest) {
    fake.AddFile(kHelpFile);
    RegisterHelpFile(kHelpFile);
    EXPECT_TRUE(ShowHelpTopic("tvOnKeyPress"));
    EXPECT_TRUE(ShowHelpTopic("a b#\"c\""));

    // Moved while the host runs: found at its new place on the next request.
    fake.AddFile("D:\\Help\\Tarvik.chm");
    RegisterHelpFile("D:\\Help\\Tarvik.chm", platform::kRegExpandSz);
    EXPECT_TRUE(ShowHelpTopic("about"));

    EXPECT_EQ(ViewerRequests(), (std::vector<std::wstring>{
                                    kHelpFileW + L"::\\index.html#tvOnKeyPress",
                                    kHelpFileW + L"::\\index.html#a b#\"c\"",
                                    L"D:\\Help\\Tarvik.chm::\\index.html#about"}));
}

TEST_F(HelpTopicsTest, NoKeyNoValueOrAnEmptyValueMeansNoHelpAndNothingIsCreated) {
    fake.AddFile(kHelpFile);
    EXPECT_FALSE(ShowHelpTopic("about"));
    EXPECT_FALSE(fake.RegistryKeyExists(RegistryRoot::CurrentUser, kKey));
    EXPECT_FALSE(fake.RegistryKeyExists(RegistryRoot::CurrentUser, "Software\\Halvenor"));

    fake.SetRegistryText(RegistryRoot::CurrentUser, kKey, "HelpPath", kHelpFile);
    EXPECT_FALSE(ShowHelpTopic("about"));

    RegisterHelpFile("");
    EXPECT_FALSE(ShowHelpTopic("about"));

    // Stored with no bytes at all, or its size could not be had: the empty text.
    fake.SetRegistryValue(RegistryRoot::CurrentUser, kKey, "HelpFile", platform::kRegSz, {});
    EXPECT_FALSE(ShowHelpTopic("about"));

    EXPECT_TRUE(fake.HtmlHelpCalls().empty());
}

TEST_F(HelpTopicsTest, AFolderOrAMissingFileIsNotAHelpFile) {
    fake.AddFolder("C:\\Help");
    RegisterHelpFile("C:\\Help");
    EXPECT_FALSE(ShowHelpTopic("about"));
    RegisterHelpFile("C:\\Help\\Tarvik.chm");
    EXPECT_FALSE(ShowHelpTopic("about"));
    EXPECT_TRUE(fake.HtmlHelpCalls().empty());
}

TEST_F(HelpTopicsTest, TheValueEndsAtItsFirstZeroAndIsNotExpanded) {
    // Bytes after the first zero are not part of the path.
    std::vector<unsigned char> bytes(kHelpFile, kHelpFile + sizeof(kHelpFile));
    for (char c : std::string("garbage")) {
        bytes.push_back(static_cast<unsigned char>(c));
    }
    fake.AddFile(kHelpFile);
    fake.SetRegistryValue(RegistryRoot::CurrentUser, kKey, "HelpFile", platform::kRegSz, bytes);
    EXPECT_TRUE(ShowHelpTopic("about"));

    // A text stored without its terminating zero is still read whole.
    fake.SetRegistryValue(RegistryRoot::CurrentUser, kKey, "HelpFile", platform::kRegSz,
                          std::vector<unsigned char>(kHelpFile, kHelpFile + sizeof(kHelpFile) - 1));
    EXPECT_TRUE(ShowHelpTopic("about"));

    // An expandable text keeps its reference: only a file of that very name would do.
    RegisterHelpFile("%TARVIK_HELP%\\Tarvik.chm", platform::kRegExpandSz);
    EXPECT_FALSE(ShowHelpTopic("about"));
    fake.AddFile("%TARVIK_HELP%\\Tarvik.chm");
    EXPECT_TRUE(ShowHelpTopic("about"));

    EXPECT_EQ(ViewerRequests(), (std::vector<std::wstring>{
                                    kHelpFileW + L"::\\index.html#about",
                                    kHelpFileW + L"::\\index.html#about",
                                    L"%TARVIK_HELP%\\Tarvik.chm::\\index.html#about"}));
}

TEST_F(HelpTopicsTest, AValueOfAnotherTypeThrowsTheRegistrysTypeError) {
    fake.AddFile(kHelpFile);
    for (std::uint32_t type : {platform::kRegDword, platform::kRegBinary, 7u /* REG_MULTI_SZ */}) {
        fake.SetRegistryValue(RegistryRoot::CurrentUser, kKey, "HelpFile", type,
                              {0x74, 0xC0, 0x00, 0x00});
        try {
            ShowHelpTopic("about");
            ADD_FAILURE() << "no error for type " << type;
        } catch (const TRegistryTypeError& error) {
            EXPECT_EQ(error.Text(), L"Неверный тип данных для 'HelpFile'") << type;
        }
    }
    EXPECT_TRUE(fake.HtmlHelpCalls().empty());
}

TEST_F(HelpTopicsTest, OnlyTheCurrentUsersKeyCounts) {
    fake.AddFile(kHelpFile);
    RegisterHelpFile(kHelpFile, platform::kRegSz, RegistryRoot::LocalMachine);
    EXPECT_FALSE(ShowHelpTopic("about"));
    EXPECT_FALSE(fake.RegistryKeyExists(RegistryRoot::CurrentUser, kKey));
    EXPECT_TRUE(fake.HtmlHelpCalls().empty());
}

TEST_F(HelpTopicsTest, AKeyTheUserMayNotWriteIsStillRead) {
    fake.AddFile(kHelpFile);
    RegisterHelpFile(kHelpFile);
    fake.SetRegistryKey(RegistryRoot::CurrentUser, kKey, /*writable=*/false);
    EXPECT_TRUE(ShowHelpTopic("TarvikAdd"));
}

TEST_F(HelpTopicsTest, AViewerThatOpensNothingOrIsMissingMeansNoHelp) {
    fake.AddFile(kHelpFile);
    RegisterHelpFile(kHelpFile);

    fake.SetHelpFilesDamaged(true);
    EXPECT_FALSE(ShowHelpTopic("about"));
    EXPECT_EQ(fake.HtmlHelpCalls().size(), 1u);
    fake.SetHelpFilesDamaged(false);

    fake.SetHtmlHelpMissing(true);
    EXPECT_FALSE(ShowHelpTopic("about"));
    EXPECT_EQ(fake.HelpViewersOpen(), 0u);
}

// The installer writes the path as a Unicode value; a profile folder named in a script the
// ANSI code page lacks must still be read, tested and opened whole.
TEST_F(HelpTopicsTest, APathInAnyScriptIsFoundAndOpenedWhateverTheCodePage) {
    struct Case {
        unsigned codePage;
        const wchar_t* folder;
        bool inCodePage;  // whether an ANSI conversion keeps every letter
    };
    const Case cases[] = {
        {1252, L"C:\\Users\\Βοήθεια", false},
        {1252, L"C:\\Users\\Справка", false},
        {1252, L"C:\\Users\\帮助", false},
        {1252, L"C:\\Users\\Aide-été", true},
        {1251, L"C:\\Users\\Βοήθεια", false},
        {1251, L"C:\\Users\\Справка", true},
    };
    for (const Case& c : cases) {
        FakePlatform machine;
        platform::SetOs(&machine);
        machine.SetAnsiCodePage(c.codePage);
        const std::wstring helpFile = std::wstring(c.folder) + L"\\Tarvik.chm";
        machine.AddFolder(c.folder);
        machine.AddFile(helpFile);
        machine.SetRegistryText(RegistryRoot::CurrentUser, kKey, "HelpFile", helpFile);

        EXPECT_TRUE(ShowHelpTopic("about")) << c.codePage << " " << machine.WideToAnsi(c.folder);
        ASSERT_EQ(machine.HtmlHelpCalls().size(), 1u);
        EXPECT_EQ(machine.HtmlHelpCalls()[0].file, helpFile + L"::\\index.html#about");
        EXPECT_EQ(machine.OpenRegistryKeys(), 0u);
        // Through the code page and back, the same path names the file only when the code
        // page has all of its letters: the ANSI functions would have said "missing".
        const std::wstring roundTrip = machine.AnsiToWide(machine.WideToAnsi(helpFile));
        EXPECT_EQ(machine.FileAttributes(roundTrip) != platform::kInvalidFileAttributes,
                  c.inCodePage)
            << c.codePage;
    }
    platform::SetOs(&fake);
}

TEST_F(HelpTopicsTest, OpenHtmlHelpTopicJoinsPathSeparatorAndAddressExactly) {
    fake.AddFile("C:\\a.chm");
    EXPECT_TRUE(OpenHtmlHelpTopic(L"C:\\a.chm", L"index.html#thirdparty"));
    EXPECT_FALSE(OpenHtmlHelpTopic(L"C:\\missing.chm", L"index.html#about"));
    fake.SetActiveWindow(nullptr);
    EXPECT_TRUE(OpenHtmlHelpTopic(L"C:\\a.chm", L""));
    ASSERT_EQ(ViewerRequests(), (std::vector<std::wstring>{L"C:\\a.chm::\\index.html#thirdparty",
                                                           L"C:\\missing.chm::\\index.html#about",
                                                           L"C:\\a.chm::\\"}));
    EXPECT_EQ(fake.HtmlHelpCalls()[2].caller, nullptr);
}

}  // namespace
}  // namespace tarvik::about

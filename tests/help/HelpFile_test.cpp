// The compiled help file as the viewer and the dialogs see it: listed and unpacked with
// chmls, its one page searched for every topic the library opens and every text an
// author needs, and its project data read for the language and the title.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/FakePlatform.h"
#include "plugin/UPluginTypes.h"
#include "TarvikVersion.h"
#include "resources/Strings.h"

namespace {

const std::string kHelpFile = std::string(TARVIK_DIST_DIR) + "/Tarvik.chm";

// Standard output of a command, or empty when it could not run.
std::string RunCommand(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        std::size_t read;
        while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, read);
        }
        pclose(pipe);
    }
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One file of the help file, unpacked with chmls.
std::string Unpack(const std::string& name) {
    const std::string out = std::string(TARVIK_SCRATCH_DIR) + "/unpacked" +
                            std::regex_replace(name, std::regex("[/#$]"), "_");
    std::remove(out.c_str());
    RunCommand("chmls extract '" + kHelpFile + "' '" + name + "' '" + out + "'");
    return ReadFile(out);
}

// UTF-8 (the string table's) to code page 1251 (the page's), for Cyrillic and ASCII.
std::string ToCp1251(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        const unsigned code = (c & 0x1Fu) << 6 | (static_cast<unsigned char>(utf8[++i]) & 0x3Fu);
        if (code == 0x401) {
            out += '\xA8';
        } else if (code == 0x451) {
            out += '\xB8';
        } else if (code >= 0x410 && code <= 0x44F) {
            out += static_cast<char>(0xC0 + (code - 0x410));
        } else {
            out += '?';
        }
    }
    return out;
}

// The command names in the order the library registers them with the host.
std::vector<std::string> registered;
void TARVIK_CALL RecordAction(std::int32_t number, const char* name, const char*,
                              const std::uint8_t*, std::int32_t, std::int32_t) {
    if (number != 0) {
        registered.push_back(name);
    }
}

std::vector<std::string> CatalogueNames() {
    tarvik::platform::FakePlatform fake;
    tarvik::platform::SetOs(&fake);
    registered.clear();
    lmRegisterPlugIn(RecordAction, 0, 0, nullptr);
    tarvik::platform::SetOs(nullptr);
    return registered;
}

// Anchors of the page: <a name="..."> and id="...".
std::set<std::string> Anchors(const std::string& page) {
    std::set<std::string> anchors;
    const std::regex anchor(R"re((?:name|id)="([^"]+)")re");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), anchor);
         it != std::sregex_iterator(); ++it) {
        anchors.insert((*it)[1]);
    }
    return anchors;
}

class HelpFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        listing = RunCommand("chmls list '" + kHelpFile + "'");
        page = Unpack("/index.html");
    }
    static std::string listing;
    static std::string page;
};
std::string HelpFileTest::listing;
std::string HelpFileTest::page;

TEST_F(HelpFileTest, HoldsOnePageWithItsContentsAndIndex) {
    ASSERT_FALSE(listing.empty()) << kHelpFile << " cannot be listed";
    std::vector<std::string> pages;
    const std::regex html(R"((/[^\s]*\.html?)\s*$)", std::regex::multiline);
    for (auto it = std::sregex_iterator(listing.begin(), listing.end(), html);
         it != std::sregex_iterator(); ++it) {
        pages.push_back((*it)[1]);
    }
    EXPECT_EQ(pages, std::vector<std::string>{"/index.html"}) << listing;
    EXPECT_NE(listing.find("/toc.hhc"), std::string::npos);
    EXPECT_NE(listing.find("/index.hhk"), std::string::npos);
    EXPECT_GT(page.size(), 10000u);
}

TEST_F(HelpFileTest, EveryTopicTheDialogsOpenIsAnAnchorOfThePage) {
    const std::set<std::string> anchors = Anchors(page);
    for (const char* topic : {"about", "thirdparty"}) {
        EXPECT_EQ(anchors.count(topic), 1u) << topic;
    }
    const std::vector<std::string> names = CatalogueNames();
    ASSERT_EQ(names.size(), 8u);
    for (const std::string& name : names) {
        // TarvikClear has no editor, but the author still reads about it.
        EXPECT_EQ(anchors.count(name), 1u) << name;
        EXPECT_NE(page.find("<h3><a name=\"" + name + "\""), std::string::npos)
            << name << " has no heading of its own";
    }
}

TEST_F(HelpFileTest, ContentsAndIndexPointOnlyAtAnchorsThatExist) {
    const std::set<std::string> anchors = Anchors(page);
    for (const char* file : {"/toc.hhc", "/index.hhk"}) {
        const std::string map = Unpack(file);
        const std::regex local(R"re(name="Local" value="([^"#]*)#?([^"]*)")re");
        int links = 0;
        for (auto it = std::sregex_iterator(map.begin(), map.end(), local);
             it != std::sregex_iterator(); ++it, ++links) {
            EXPECT_EQ((*it)[1], "index.html") << file;
            EXPECT_EQ(anchors.count((*it)[2]), 1u) << file << ": #" << (*it)[2];
        }
        EXPECT_GE(links, 12) << file;
    }
    // The page's own links too.
    const std::regex href(R"re(href="#([^"]+)")re");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), href);
         it != std::sregex_iterator(); ++it) {
        EXPECT_EQ(anchors.count((*it)[1]), 1u) << "#" << (*it)[1];
    }
}

TEST_F(HelpFileTest, IsRussianInCodePage1251AsTheProjectAndThePageDeclare) {
    EXPECT_NE(page.find("charset=windows-1251"), std::string::npos);
    // The category captions, exactly as the catalogue shows them, in code page 1251.
    for (unsigned id : {tarvik::resources::IDS_CATEGORY_KEYS, tarvik::resources::IDS_CATEGORY_ADDITIONAL,
                        tarvik::resources::IDS_CATEGORY_EVENTS}) {
        for (unsigned i = 0; i < tarvik::resources::kStringTableSize; ++i) {
            if (tarvik::resources::kStringTable[i].id == id) {
                EXPECT_NE(page.find(ToCp1251(tarvik::resources::kStringTable[i].text)),
                          std::string::npos) << id;
            }
        }
    }
    EXPECT_EQ(page.find("\xD0\xA1"), std::string::npos) << "UTF-8 left in the page";

    // The project data: entries of (code, length, data) after a 32-bit version.
    const std::string system = Unpack("/#SYSTEM");
    ASSERT_GT(system.size(), 8u);
    std::uint32_t language = 0;
    std::string title;
    for (std::size_t at = 4; at + 4 <= system.size();) {
        const unsigned code = static_cast<unsigned char>(system[at]) |
                              static_cast<unsigned char>(system[at + 1]) << 8;
        const std::size_t length = static_cast<unsigned char>(system[at + 2]) |
                                   static_cast<unsigned char>(system[at + 3]) << 8;
        const std::string data = system.substr(at + 4, length);
        if (code == 4 && data.size() >= 4) {
            language = static_cast<unsigned char>(data[0]) |
                       static_cast<unsigned char>(data[1]) << 8;
        } else if (code == 3) {
            title = data.substr(0, data.find('\0'));
        }
        at += 4 + length;
    }
    EXPECT_EQ(language, 0x419u);
    EXPECT_EQ(title, ToCp1251("Справка Tarvik"));
}

TEST_F(HelpFileTest, TellsTheAuthorEveryResultAndErrorText) {
    // Both fixed LastError texts, around their inserted hotkey text.
    for (unsigned id : {tarvik::resources::IDS_ERROR_NOT_AVAILABLE, tarvik::resources::IDS_ERROR_NOT_VALID}) {
        for (unsigned i = 0; i < tarvik::resources::kStringTableSize; ++i) {
            if (tarvik::resources::kStringTable[i].id != id) {
                continue;
            }
            const std::string text = tarvik::resources::kStringTable[i].text;
            const std::size_t insert = text.find("%s");
            ASSERT_NE(insert, std::string::npos);
            EXPECT_NE(page.find(text.substr(0, insert)), std::string::npos) << text;
            EXPECT_NE(page.find(text.substr(insert + 2)), std::string::npos) << text;
        }
    }
    for (const char* text : {"LastError", "<code>True</code>", "<code>False</code>", "49152",
                             "65535", "<code>0</code>", "Num +", "Ctrl+Alt+F5", "GoSub",
                             "ClearVariables", "[#34]", "HelpFile", "Win", "Shift",
                             "Missing help file: maybe you need a plugin reinstallation?"}) {
        EXPECT_NE(page.find(text), std::string::npos) << text;
    }
}

TEST_F(HelpFileTest, NamesTheVersionTheAboutBoxShows) {
    std::string aboutVersion;
    for (unsigned i = 0; i < tarvik::resources::kStringTableSize; ++i) {
        if (tarvik::resources::kStringTable[i].id == tarvik::resources::IDS_PLUGIN_VERSION) {
            aboutVersion = tarvik::resources::kStringTable[i].text;
        }
    }
    EXPECT_EQ(aboutVersion, TARVIK_VERSION_TEXT) << "the About box and the project disagree";
    EXPECT_NE(page.find(ToCp1251("Версия ") + TARVIK_VERSION_TEXT), std::string::npos);
    EXPECT_EQ(page.find("@PROJECT_"), std::string::npos) << "a placeholder left unfilled";
}

TEST_F(HelpFileTest, CreditsTheComponentsTheLibraryShips) {
    const std::string::size_type thirdparty = page.find("name=\"thirdparty\"");
    ASSERT_NE(thirdparty, std::string::npos);
    const std::string section = page.substr(thirdparty);
    EXPECT_NE(section.find("This software is based in part on the work of the Independent JPEG Group"),
              std::string::npos);
    EXPECT_NE(section.find("libjpeg-turbo"), std::string::npos);
    EXPECT_NE(section.find("IJG License"), std::string::npos);
    EXPECT_NE(section.find("BSD"), std::string::npos);
    EXPECT_NE(section.find("THotKeyManager"), std::string::npos);
}

}  // namespace

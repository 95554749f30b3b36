// The compiled help file as the viewer and the dialogs see it: listed and unpacked with
// chmls, its one page searched for every topic the library opens and every text an
// author needs, and its project data read for the language and the title.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "KeyNameReference.h"
#include "actions/UActionSupport.h"
#include "hotkeys/UHotKeys.h"
#include "platform/FakePlatform.h"
#include "plugin/UPluginTypes.h"
#include "TarvikVersion.h"
#include "resources/Strings.h"
#include "support/HostFiles.h"

namespace {

using tarvik::test_support::DifferingBytes;
using tarvik::test_support::ReadFile;
using tarvik::test_support::RunCommand;

const std::string kHelpFile = std::string(TARVIK_DIST_DIR) + "/Tarvik.chm";



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

// The page from an anchor to the next section (<h2>), or to its end.
std::string Section(const std::string& page, const std::string& anchor) {
    const std::size_t at = page.find("name=\"" + anchor + "\"");
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t end = page.find("<h2>", at);
    return page.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

std::string Unescaped(std::string text) {
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}};
    for (const auto& [entity, character] : entities) {
        for (std::size_t at = text.find(entity); at != std::string::npos;
             at = text.find(entity, at + 1)) {
            text.replace(at, std::char_traits<char>::length(entity), character);
        }
    }
    return text;
}

// The codec started on the in-memory platform under one layout, as the only layout of
// a user with the layout's own code page.
class CodecUnder {
public:
    CodecUnder(tarvik::platform::LayoutHandle layout, unsigned codePage) {
        fake_.SetAnsiCodePage(codePage);
        fake_.SetLayouts({layout}, layout);
        tarvik::platform::SetOs(&fake_);
        tarvik::hotkeys::HotKeysStartup();
    }
    ~CodecUnder() {
        tarvik::hotkeys::HotKeysShutdown();
        tarvik::platform::SetOs(nullptr);
    }
    CodecUnder(const CodecUnder&) = delete;
    CodecUnder& operator=(const CodecUnder&) = delete;

private:
    tarvik::platform::FakePlatform fake_;
};

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
                             "Missing help file: maybe you need a plugin reinstallation?",
                             "Sorry, this feature need Lumora version 5 or later"}) {
        EXPECT_NE(page.find(text), std::string::npos) << text;
    }
}

// "not valid for register" is also the answer to a text that names no key, and the page
// says so where it explains the text, with TarvikIsValid as the way to tell.
TEST_F(HelpFileTest, ExplainsNotValidAsAlsoATextThatNamesNoKey) {
    const std::string results = Section(page, "results");
    const std::size_t row = results.find("is not valid for register</code></td><td>");
    ASSERT_NE(row, std::string::npos);
    const std::string meaning = results.substr(row, results.find("</td></tr>", row) - row);
    const tarvik::hotkeys::HotKeyValue none = 0;
    CodecUnder us(tarvik::platform::FakePlatform::UsEnglish(), 1252);
    int misspelled = 0;
    const std::regex code("<code>([^<]*)</code>");
    for (auto it = std::sregex_iterator(meaning.begin(), meaning.end(), code);
         it != std::sregex_iterator(); ++it) {
        const std::string text = Unescaped((*it)[1]);
        if (text.rfind("Ct", 0) == 0) {  // Ctrl, Ctlr
            EXPECT_EQ(tarvik::hotkeys::TextToHotKey(text, true), none) << text;
            ++misspelled;
        }
    }
    EXPECT_GE(misspelled, 2);
    EXPECT_NE(meaning.find("TarvikIsValid"), std::string::npos);
    EXPECT_NE(meaning.find("<code>False</code>"), std::string::npos);
    EXPECT_NE(Section(page, "TarvikIsValid").find("<code>-</code>"), std::string::npos);
}

// Every example of the page's hotkey texts registers a key, none of them a combination
// that Windows keeps for itself (its Win-key combinations).
TEST_F(HelpFileTest, HotkeyExamplesNameKeysThatCanBeRegistered) {
    const std::string section = Section(page, "hotkeytext");
    const std::size_t pre = section.find("<pre>");
    ASSERT_NE(pre, std::string::npos);
    const std::string examples = section.substr(pre + 5, section.find("</pre>") - pre - 5);
    CodecUnder us(tarvik::platform::FakePlatform::UsEnglish(), 1252);
    std::istringstream lines(examples);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        const tarvik::hotkeys::HotKeyValue value = tarvik::hotkeys::TextToHotKey(Unescaped(line), true);
        EXPECT_NE(value & 0xFFu, 0u) << line;
        EXPECT_EQ(value & tarvik::hotkeys::kWinBit, 0u) << line;
    }
    EXPECT_GE(count, 5);
    EXPECT_EQ(page.find("Win+E"), std::string::npos);
    // Keys by Windows' own names, the keypad's slash among them.
    for (const char* name : {"<code>Esc</code>", "<code>Page Up</code>", "<code>Delete</code>",
                             "<code>Num /</code>", "<code>Ctrl+=</code>", "<code>Ctrl+Num /</code>",
                             "<code>Num Lock</code>"}) {
        EXPECT_NE(section.find(name), std::string::npos) << name;
    }
    const std::size_t reservedAt = section.find("name=\"reserved\"");
    ASSERT_NE(reservedAt, std::string::npos);
    const std::string reserved = section.substr(reservedAt, section.find("<h3>", reservedAt) - reservedAt);
    // What Windows refuses, what it may accept and never deliver while another program is
    // in front, and what Ctrl+Alt takes away on layouts with AltGr.
    for (const char* told : {"F12", "Ctrl+Alt+Del", "not available for register", "Win+L", "Win+G",
                             "Print Screen", "AltGr", "Ctrl+Shift"}) {
        EXPECT_NE(reserved.find(told), std::string::npos) << told;
    }
}

// Ids as TarvikChange and TarvikRemoveById read them: every form the page shows names the
// same real id, and the page's examples of ids are real ones.
TEST_F(HelpFileTest, IdsAreShownInEveryFormTheCommandsRead) {
    const std::string ids = Section(page, "ids");
    const std::string::size_type list = ids.find("<ul>");
    const std::string::size_type end = ids.find("</ul>");
    ASSERT_TRUE(list != std::string::npos && end != std::string::npos);
    const std::string forms = ids.substr(list, end - list);
    const std::regex code(R"(<code>((?:&nbsp;)*[-+]?(?:\$|0x|0X)?[0-9A-F]{4,})</code>)");
    int shown = 0;
    for (auto it = std::sregex_iterator(forms.begin(), forms.end(), code);
         it != std::sregex_iterator(); ++it, ++shown) {
        const std::string form = std::regex_replace((*it)[1].str(), std::regex("&nbsp;"), " ");
        EXPECT_EQ(tarvik::actions::ParseId(form), std::optional<tarvik::hotkeys::HotKeyId>(49219)) << form;
    }
    EXPECT_GE(shown, 4);
    EXPECT_NE(ids.find("<code>$C043</code>"), std::string::npos);
    EXPECT_NE(ids.find("<code>0xC043</code>"), std::string::npos);
    // What the page says is no number is none.
    EXPECT_FALSE(tarvik::actions::ParseId("49219 "));
    EXPECT_FALSE(tarvik::actions::ParseId("\t49219"));
    const std::string road = Section(page, "example");
    const std::regex example("(?:ID|HK) = [^0-9\n]*([0-9]+)");
    int examples = 0;
    for (auto it = std::sregex_iterator(road.begin(), road.end(), example);
         it != std::sregex_iterator(); ++it, ++examples) {
        const long id = std::stol((*it)[1]);
        EXPECT_TRUE(id >= 49152 && id <= 65535) << id;
    }
    EXPECT_GE(examples, 2);
}

// What the author checks when a press does nothing: each cause, and how to tell it.
TEST_F(HelpFileTest, SaysWhyAPressMayDoNothing) {
    const std::string nothing = Section(page, "nothing");
    ASSERT_FALSE(nothing.empty());
    for (const std::string& clue : {std::string("tvOnKeyPress"), ToCp1251("пустым"),
                                    std::string("LastError"), std::string("TarvikIsAvailable"),
                                    std::string("TarvikIsValid"), std::string("not available for register"),
                                    ToCp1251("Публикация не запущена"),
                                    ToCp1251("раскрывающегося списка подпрограмм")}) {
        EXPECT_NE(nothing.find(clue), std::string::npos) << clue;
    }
    EXPECT_NE(Section(page, "start").find("href=\"#nothing\""), std::string::npos);
}

// The page's reference of key names is the generator's, and every name in it, read as
// a hotkey text under its layout, selects the code the reference gives for it.
// The help file's compiler stamps each file with the time it ran and leaves bytes unset:
// compiled twice from the same sources, with the build's one date, it is the same file
// both times, and the same as the build's.
TEST(HelpFileCompile, GivesTheSameBytesEveryTime) {
    const std::string scratch = TARVIK_SCRATCH_DIR;
    std::string compiled[2];
    for (int run = 0; run < 2; ++run) {
        const std::string output = scratch + "/compiled-" + std::to_string(run) + ".chm";
        std::remove(output.c_str());
        RunCommand("'" TARVIK_SOURCE_DIR "/help/compile-chm.sh' '" TARVIK_HELP_PROJECT_DIR "' '" + output +
                   "' " TARVIK_SOURCE_DATE_EPOCH " >/dev/null");
        compiled[run] = ReadFile(output);
        ASSERT_EQ(compiled[run].compare(0, 4, "ITSF"), 0) << output << " is no compiled help file";
    }
    EXPECT_EQ(DifferingBytes(compiled[0], compiled[1]), "");
    EXPECT_EQ(DifferingBytes(compiled[0], ReadFile(kHelpFile)), "") << "against " << kHelpFile;
}

TEST(KeyNameReference, IsTheCheckedInFileExactly) {
    std::ifstream in(std::string(TARVIK_SOURCE_DIR) + "/help/KeyNames.html", std::ios::binary);
    const std::string stored((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(tarvik::help::KeyNameReference() == stored)
        << "help/KeyNames.html differs: run build/native/help/keynames/tarvik-keynames "
           "help/KeyNames.html";
}

TEST_F(HelpFileTest, EveryKeyNameOfTheReferenceSelectsItsCode) {
    const std::string section = Section(page, "keynames");
    const std::regex row(R"(<tr><td>([0-9]+)</td>(<td>.*?</td>)(<td>.*?</td>)</tr>)");
    const std::regex cell(R"(<td>(?:<code>(.*?)</code>(?: &rarr; ([0-9]+))?|&mdash;)</td>)");
    struct Named {
        std::string name;  // code page 1251, as the page holds it
        unsigned selects;
    };
    std::array<std::map<unsigned, Named>, 2> columns;
    for (auto it = std::sregex_iterator(section.begin(), section.end(), row);
         it != std::sregex_iterator(); ++it) {
        const unsigned code = static_cast<unsigned>(std::stoul((*it)[1]));
        for (std::size_t column = 0; column < 2; ++column) {
            const std::string text = (*it)[column + 2];
            std::smatch parts;
            ASSERT_TRUE(std::regex_match(text, parts, cell)) << text;
            if (parts[1].matched) {
                columns[column][code] = Named{Unescaped(parts[1]),
                                              parts[2].matched ? static_cast<unsigned>(std::stoul(parts[2])) : code};
            }
        }
    }
    const std::pair<tarvik::platform::LayoutHandle, unsigned> layouts[] = {
        {tarvik::platform::FakePlatform::UsEnglish(), 1252},
        {tarvik::platform::FakePlatform::Russian(), 1251},
    };
    for (std::size_t column = 0; column < 2; ++column) {
        CodecUnder codec(layouts[column].first, layouts[column].second);
        EXPECT_GE(columns[column].size(), 110u) << column;
        for (const auto& [code, key] : columns[column]) {
            EXPECT_EQ(tarvik::hotkeys::TextToHotKey(key.name, true), key.selects) << code << " " << key.name;
            EXPECT_EQ(tarvik::hotkeys::TextToHotKey("Ctrl+Alt+" + key.name, true),
                      0xC000u | key.selects) << code << " " << key.name;
        }
        // Every key the codec names but a modifier is in the reference, by that name.
        const tarvik::hotkeys::CodecState& words = tarvik::hotkeys::Codec();
        for (unsigned code = 8; code <= 255; ++code) {
            const std::string name = tarvik::hotkeys::HotKeyToText(code, true);
            if (name.empty() || name == words.CtrlName || name == words.ShiftName || name == words.AltName) {
                EXPECT_EQ(columns[column].count(code), 0u) << code;
            } else {
                EXPECT_EQ(columns[column][code].name, name) << code;
            }
        }
    }
    EXPECT_EQ(columns[0][111].name, "Num /");
    EXPECT_EQ(columns[0][191].name, "/");
    EXPECT_EQ(columns[0][191].selects, 191u);
    EXPECT_EQ(columns[1][111].name, "Num /");
    EXPECT_EQ(columns[0][144].name, "Num Lock");
    EXPECT_EQ(columns[1][81].name, "\xC9");  // the key Q types Й
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
    EXPECT_NE(section.find("Halvenor Corvane"), std::string::npos) << "the component's author";
}

// One list of licences: the ones NOTICE names, each with its text in full.
TEST_F(HelpFileTest, ListsTheLicencesOfNoticeWithTheirTexts) {
    std::ifstream in(std::string(TARVIK_SOURCE_DIR) + "/NOTICE", std::ios::binary);
    const std::string notice = std::regex_replace(
        std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()),
        std::regex(R"(\s+)"), " ");
    std::smatch named;
    ASSERT_TRUE(std::regex_search(notice, named,
                                  std::regex(R"(distributed under the (.+?), the (.+?) and the (.+?);)")))
        << notice;
    const std::string section = std::regex_replace(page.substr(page.find("name=\"thirdparty\"")),
                                                   std::regex(R"(\s+)"), " ");
    for (std::size_t i = 1; i < named.size(); ++i) {
        EXPECT_NE(section.find(named[i].str()), std::string::npos) << named[i];
    }
    // The operative sentence of each licence.
    for (const char* text : {"Permission is hereby granted to use, copy, modify, and distribute this software",
                             "Redistribution and use in source and binary forms, with or without modification",
                             "This software is provided 'as-is', without any express or implied warranty"}) {
        EXPECT_NE(section.find(text), std::string::npos) << text;
    }
}

}  // namespace

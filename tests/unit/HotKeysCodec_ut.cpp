// The hotkey text codec against the in-memory platform's US-English, German and Russian
// layouts, and the codec's ownership of the US-English layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <utility>
#include <string>
#include <vector>

#include "hotkeys/UHotKeys.h"
#include "platform/FakePlatform.h"

namespace tarvik::hotkeys {
namespace {

using platform::FakePlatform;
using platform::LayoutHandle;

class CodecTest : public ::testing::Test {
protected:
    void SetUp() override { platform::SetOs(&fake); }
    void TearDown() override {
        HotKeysShutdown();
        platform::SetOs(nullptr);
    }
    void StartWith(const std::vector<LayoutHandle>& layouts, LayoutHandle active) {
        fake.SetLayouts(layouts, active);
        HotKeysStartup();
    }
    bool Listed(LayoutHandle layout) {
        const auto list = fake.LayoutList(100);
        return std::find(list.begin(), list.end(), layout) != list.end();
    }

    FakePlatform fake;
};

struct Case {
    const char* text;
    HotKeyValue value;
};

void ExpectParses(const std::vector<Case>& cases, bool localized) {
    for (const Case& c : cases) {
        EXPECT_EQ(TextToHotKey(c.text, localized), c.value)
            << '"' << c.text << "\" localized=" << localized;
    }
}

// --- Values ----------------------------------------------------------------------------------

TEST(HotKeyValues, ComposeAndSplitAreInverse) {
    EXPECT_EQ(ComposeHotKey(2 | 1, 116), 0xC074u);
    EXPECT_EQ(ComposeHotKey(8, 'A'), 0x10041u);
    EXPECT_EQ(ComposeHotKey(4, 'A'), 0x2041u);
    for (std::uint16_t modifiers = 0; modifiers < 16; ++modifiers) {
        const SplitKey split = SplitHotKey(ComposeHotKey(modifiers, 0x7B));
        EXPECT_EQ(split.modifiers, modifiers);
        EXPECT_EQ(split.key, 0x7B);
    }
    const SplitKey noisy = SplitHotKey(0xFFFE1F00u | 0x1E041u);  // bits outside the value
    EXPECT_EQ(noisy.modifiers, 15);
    EXPECT_EQ(noisy.key, 0x41);
}

TEST(HotKeyValues, MediaKeyNamesCoverExactly166To183) {
    EXPECT_EQ(MediaKeyName(165), "");
    EXPECT_EQ(MediaKeyName(166), "Browser Back");
    EXPECT_EQ(MediaKeyName(183), "Start Application 2");
    EXPECT_EQ(MediaKeyName(184), "");
}

// --- The grammar, under the US-English layout ---------------------------------------------

TEST_F(CodecTest, TextsUnderTheEnglishLayout) {
    StartWith({FakePlatform::UsEnglish()}, FakePlatform::UsEnglish());
    const std::vector<Case> cases = {
        {"Ctrl+Alt+F5", 0xC074},       {"ctrl + a", 0x4041},
        {"Shift+Ctrl+X", 0x6058},      {"Ctrl+Shift+X", 0x6058},
        {"A", 65},                     {"7", 55},
        {"z", 90},                     {"WIN+a", 0x10041},
        {"Ctrl+Ctrl+A", 0x4041},       {"Alt+Shift+Win+Ctrl+1", 0x1E031},
        // modifiers alone, and a modifier word where the key belongs
        {"Ctrl", 0},                   {"Ctrl+", 0},
        {"Alt+Shift", 0},              {"Ctrl+Shift", 0},
        {"ctrl", 17},                  {"Ctrl+shift", 0x4010},
        // the keypad plus, whose own "+" the split takes
        {"Ctrl+Num +", 0x406B},        {"Ctrl+Num", 0x406B},
        {"Num +", 107},                {"Ctrl+num", 0},
        // cutting: "+", CR and LF; blanks at a piece's start; empty pieces
        {"Ctrl++A", 0x4041},           {"Ctrl\r\nAlt\nF5", 0xC074},
        {"\r\n  Ctrl +\r\n  A  ", 0x4041}, {"Ctrl+\tA", 0x4041},
        {"", 0},                       {"   ", 0},
        {"\r\n \n", 0},                {"Ctrl+ \t ", 0},
        {"+", 0},                      {"Foo+A", 0},
        {"F5+A", 0},                   {"Ctrl+Foo", 0},
        // key names
        {"Ctrl+page up", 0x4021},      {"Num 9", 105},
        {"Shift+Volume Up", 0x20AF},   {"Play/Pause Media", 179},
        {"Ctrl+;", 0x40BA},
        // the keys told apart by the E0 prefix: the main keyboard's slash is "/"
        {"Ctrl+/", 0x40BF},            {"Ctrl+Num /", 0x406F},
        {"Num Lock", 144},             {"Pause", 19},
        {"Shift+Left Windows", 0x205B}, {"Right Windows", 92},
        {"Alt+Application", 0x805D},   {"Ctrl+Page Down", 0x4022},
        // a quoted section keeps "+" and its quotes in the piece
        {"Ctrl+'", 0x40DE},            {"Ctrl+'+", 0},
        {"\"Ctrl+Alt\"+F5", 0},
    };
    ExpectParses(cases, true);
    ExpectParses(cases, false);
    EXPECT_EQ(TextToHotKey(std::string("Ctrl+A\0+Alt", 11), true), 0x4041u)
        << "a host text ends at its first NUL";
}

TEST_F(CodecTest, FormattingUnderTheEnglishLayout) {
    StartWith({FakePlatform::UsEnglish()}, FakePlatform::UsEnglish());
    for (bool localized : {true, false}) {
        EXPECT_EQ(HotKeyToText(0xC074, localized), "Ctrl+Alt+F5");
        EXPECT_EQ(HotKeyToText(0x1E000 | 'X', localized), "Ctrl+Shift+Alt+Win+X");
        EXPECT_EQ(HotKeyToText(0x4000, localized), "Ctrl+");
        EXPECT_EQ(HotKeyToText(0, localized), "");
        EXPECT_EQ(HotKeyToText(33, localized), "Page Up");
        EXPECT_EQ(HotKeyToText(105, localized), "Num 9");
        EXPECT_EQ(HotKeyToText(0x20AF, localized), "Shift+Volume Up");
        EXPECT_EQ(HotKeyToText(0x406F, localized), "Ctrl+Num /");
        EXPECT_EQ(HotKeyToText(0x40BF, localized), "Ctrl+/");
        EXPECT_EQ(HotKeyToText(144, localized), "Num Lock");
        EXPECT_EQ(HotKeyToText(0x405D, localized), "Ctrl+Application");
    }
}

// Every code of every layout: a named key reads back as itself, unless a lower code
// has the same name (the lowest code wins) or the name holds the "+" that cuts a text.
TEST_F(CodecTest, EveryNamedKeyOfEveryLayoutReadsBackAsItself) {
    using Codes = std::set<std::pair<unsigned, unsigned>>;  // (code, what its name gives)
    struct Staged {
        LayoutHandle layout;
        unsigned codePage;
        Codes others;
    };
    // Num 5 is also the name of Clear (12), the keypad's 5 without Num Lock; the key
    // beside the left Shift of European keyboards (226) is named as the backslash.
    const Staged layouts[] = {
        {FakePlatform::UsEnglish(), 1252, {{101, 12}, {226, 220}}},
        {FakePlatform::German(), 1252, {{101, 12}, {107, 0}, {187, 0}}},
        {FakePlatform::Russian(), 1251, {{101, 12}, {226, 220}}},
    };
    for (const Staged& staged : layouts) {
        fake.SetAnsiCodePage(staged.codePage);
        StartWith({staged.layout}, staged.layout);
        std::array<std::string, 256> names;
        Codes others;
        int named = 0;
        for (unsigned code = 8; code <= 255; ++code) {
            names[code] = HotKeyToText(code, true);
            const std::string& name = names[code];
            if (name.empty() || name == Codec().CtrlName || name == Codec().ShiftName ||
                name == Codec().AltName) {
                continue;  // unnamed keys, and modifier words that cannot be the main key
            }
            ++named;
            const std::string text = Codec().CtrlName + "+" + name;
            const HotKeyValue value = TextToHotKey(text, true);
            const unsigned readBack = value & 0xFF;
            if (readBack == code) {
                EXPECT_EQ(HotKeyToText(value, true), text);
                continue;
            }
            others.insert({code, readBack});
            if (readBack != 0) {
                EXPECT_TRUE(readBack < code && fake.EqualIgnoreCase(names[readBack], name))
                    << code << " " << name << " reads as " << readBack;
            } else {
                EXPECT_NE(name.find('+'), std::string::npos) << code << " " << name;
            }
        }
        EXPECT_GT(named, 100);
        EXPECT_EQ(others, staged.others) << staged.layout;
        HotKeysShutdown();
    }
}

// --- Localized words and layouts ------------------------------------------------------------

TEST_F(CodecTest, GermanWordsAreAcceptedInBothModes) {
    StartWith({FakePlatform::German()}, FakePlatform::German());
    EXPECT_EQ(Codec().ShiftName, "UMSCHALT");
    EXPECT_EQ(Codec().CtrlName, "STRG");
    EXPECT_EQ(Codec().AltName, "ALT");
    EXPECT_EQ(Codec().WinName, "WIN") << "the layout writes its words in capitals";
    ExpectParses({{"Strg+Alt+F5", 0xC074}, {"Ctrl+Alt+F5", 0xC074}, {"umschalt+win+a", 0x12041},
                  {"STRG", 0}, {"Ctrl+UMSCHALT", 0}},
                 true);
    ExpectParses({{"Strg+Alt+F5", 0xC074}, {"Umschalt+A", 0x2041}}, false);
    EXPECT_EQ(TextToHotKey("Strg", true), 17u);
    EXPECT_EQ(HotKeyToText(0xC074, true), "STRG+ALT+F5");
    EXPECT_EQ(HotKeyToText(0x1E000 | 'X', true), "STRG+UMSCHALT+ALT+WIN+X");
}

TEST_F(CodecTest, TheEnglishModeNamesKeysUnderTheEnglishLayout) {
    StartWith({FakePlatform::German()}, FakePlatform::German());
    EXPECT_EQ(HotKeyToText(0x4000 | 45, false), "Ctrl+Insert");
    EXPECT_EQ(TextToHotKey("Ctrl+Insert", false), 0x402Du);
    EXPECT_EQ(TextToHotKey("Ctrl+Insert", true), 0u);
    EXPECT_EQ(TextToHotKey("Strg+" + HotKeyToText(45, true), true), 0x402Du);
    EXPECT_EQ(fake.ThreadLayout(), FakePlatform::German()) << "switched back after each query";
}

TEST_F(CodecTest, RussianLettersFoldUnderTheCyrillicCodePage) {
    fake.SetAnsiCodePage(1251);
    StartWith({FakePlatform::Russian()}, FakePlatform::Russian());
    EXPECT_EQ(Codec().WinName, "Win");
    EXPECT_EQ(HotKeyToText(kCtrlBit | 'Q', true), "Ctrl+\xC9");  // the key types Й
    EXPECT_EQ(HotKeyToText(kCtrlBit | 'Q', false), "Ctrl+Q");
    ExpectParses({{"Ctrl+\xE9", 0x4051}, {"Ctrl+\xC9", 0x4051}, {"Ctrl+q", 0x4051},
                  {"Ctrl+Alt+F5", 0xC074}},
                 true);
    EXPECT_EQ(TextToHotKey("Ctrl+\xE9", false), 0u) << "no English key is named so";
}

// --- Owning the US-English layout --------------------------------------------------------

TEST_F(CodecTest, TheLocalizedModeTouchesNoLayout) {
    StartWith({FakePlatform::German()}, FakePlatform::German());
    EXPECT_EQ(TextToHotKey("Strg+Alt+F5", true), 0xC074u);
    EXPECT_EQ(HotKeyToText(0xC074, true), "STRG+ALT+F5");
    EXPECT_EQ(TextToHotKey("Strg+Einfg", true), 0x402Du);
    HotKeysShutdown();
    EXPECT_EQ(fake.LayoutCalls(), 0u) << "no layout loaded, activated or unloaded";
    EXPECT_EQ(Codec().EnglishLayout, nullptr);
}

TEST_F(CodecTest, ALayoutThatWasThereStaysLoaded) {
    StartWith({FakePlatform::German(), FakePlatform::UsEnglish()}, FakePlatform::German());
    EXPECT_EQ(Codec().EnglishLayout, nullptr) << "not asked for before the English mode needs it";
    EXPECT_EQ(TextToHotKey("Ctrl+Insert", false), 0x402Du);
    EXPECT_EQ(Codec().EnglishLayout, FakePlatform::UsEnglish());
    EXPECT_FALSE(Codec().LoadedEnglishLayout);
    HotKeysShutdown();
    EXPECT_EQ(fake.LayoutUnloads(), 0u);
    EXPECT_TRUE(Listed(FakePlatform::UsEnglish()));
    EXPECT_EQ(Codec().CtrlName, "");
    EXPECT_EQ(Codec().WinName, "");
}

TEST_F(CodecTest, ALayoutTheCodecLoadedIsUnloadedOnceAtShutdown) {
    StartWith({FakePlatform::German()}, FakePlatform::German());
    EXPECT_EQ(fake.LayoutCalls(), 0u) << "start-up loads nothing";
    // The first English look-up loads the layout and keeps it: the handle stays good
    // for the next one.
    EXPECT_EQ(TextToHotKey("Ctrl+Insert", false), 0x402Du);
    EXPECT_EQ(HotKeyToText(0x4000 | 45, false), "Ctrl+Insert");
    EXPECT_EQ(fake.LayoutLoads(), 1u);
    EXPECT_TRUE(Codec().LoadedEnglishLayout);
    EXPECT_EQ(fake.LayoutUnloads(), 0u);
    EXPECT_TRUE(Listed(FakePlatform::UsEnglish()));
    EXPECT_EQ(fake.ThreadLayout(), FakePlatform::German());

    HotKeysShutdown();
    HotKeysShutdown();
    EXPECT_EQ(fake.LayoutUnloads(), 1u);
    EXPECT_FALSE(Listed(FakePlatform::UsEnglish()));
    EXPECT_EQ(fake.ThreadLayout(), FakePlatform::German());
    // A stopped codec loads nothing again: its English mode names keys in the active layout.
    const std::size_t calls = fake.LayoutCalls();
    EXPECT_EQ(HotKeyToText(45, false), HotKeyToText(45, true));
    EXPECT_EQ(fake.LayoutCalls(), calls);
}

// --- Probing -----------------------------------------------------------------------------------

TEST_F(CodecTest, ProbeAnswersForNowAndLeavesNothing) {
    EXPECT_TRUE(ProbeHotKey(0xC074));
    fake.HoldInOtherProcess(platform::kModControl | platform::kModAlt, 116);
    EXPECT_FALSE(ProbeHotKey(0xC074));
    fake.ReleaseInOtherProcess(platform::kModControl | platform::kModAlt, 116);
    fake.SetAtomCapacity(0);
    EXPECT_TRUE(ProbeHotKey(0xC074)) << "a full atom table says nothing about the keys";
    EXPECT_EQ(fake.Registrations(), 0u);
    EXPECT_EQ(fake.LiveAtoms(), 0u);
}

}  // namespace
}  // namespace tarvik::hotkeys

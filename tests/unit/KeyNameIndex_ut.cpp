// The indexes of key names against the literal loop they replace: for every layout the
// fake models, under both code pages, and (in the Windows build) for the system's own
// layout, every key name and thousands of other texts parse to the same value both
// ways, in the localized and the English mode. Also when an index is built, rebuilt and
// bypassed.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ForwardingPlatform.h"
#include "hotkeys/UHotKeys.h"
#include "hotkeys/UKeyNameIndex.h"
#include "platform/FakePlatform.h"
#include "support/ShownText.h"

namespace tarvik::hotkeys {
namespace {

using platform::FakePlatform;
using test_support::Shown;
using platform::LayoutHandle;

// Flips the case of about half the letters: ASCII ones and the code page's own.
std::string RandomCase(const std::string& text, unsigned codePage, std::mt19937& random) {
    std::string out = text;
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        const bool letterHalf =
            codePage == 1251 ? byte >= 0xC0 : byte >= 0xC0 && byte != 0xD7 && byte != 0xF7 &&
                                                  byte != 0xDF && byte != 0xFF;
        const bool ascii = (byte | 0x20) >= 'a' && (byte | 0x20) <= 'z';
        if ((ascii || letterHalf) && random() % 2 == 0) {
            c = static_cast<char>(byte ^ 0x20);
        }
    }
    return out;
}

std::string Blanks(std::mt19937& random) {
    static const char* const kBlanks[] = {"", " ", "  ", "\t", " \t "};
    return kBlanks[random() % 5];
}

// Every key name of the active layout and every English one, in random letter case, with
// blanks around it, behind none to three modifier words taken from both word sets.
std::vector<std::string> NameTexts(unsigned codePage, std::mt19937& random) {
    const CodecState& codec = Codec();
    const std::vector<std::string> words = {"Ctrl", "Shift", "Alt", "Win", codec.CtrlName,
                                            codec.ShiftName, codec.AltName, codec.WinName};
    std::vector<std::string> texts;
    for (unsigned n = 2 * 8; n <= 2 * 255 + 1; ++n) {
        const std::string name = HotKeyToText(n / 2, n % 2 == 0);
        for (unsigned modifierCount = 0; modifierCount < 4; ++modifierCount) {
            std::string text;
            for (unsigned i = 0; i < modifierCount; ++i) {
                text += Blanks(random) + RandomCase(words[random() % words.size()], codePage, random) +
                        Blanks(random) + "+";
            }
            texts.push_back(text + Blanks(random) + RandomCase(name, codePage, random) +
                            Blanks(random));
        }
    }
    return texts;
}

// Texts put together from fragments of names, words, separators and random bytes.
std::vector<std::string> RandomTexts(std::size_t count, unsigned codePage, std::mt19937& random) {
    static const char* const kFragments[] = {
        "Ctrl", "ctrl", "SHIFT", "Alt", "alt", "Win", "WIN", "Strg", "UMSCHALT", "F5", "f1",
        "F12", "Num", "num +", "+", "+", " ", "  ", "\r", "\n", "'", "\"", "A", "z", "7", ";",
        "Page", " Up", "Pos1", "Volume Up", "\xAD", "\xC9", "\xE9", "\xDF", "ss", "\xA8",
        "Esc", "\t", "Control", "KP_Add", "Prior", "Enter", "Space", "Right Shift",
    };
    std::vector<std::string> texts;
    for (std::size_t n = 0; n < count; ++n) {
        std::string text;
        const unsigned parts = 1 + random() % 6;
        for (unsigned i = 0; i < parts; ++i) {
            if (random() % 4 == 0) {
                text += static_cast<char>(1 + random() % 255);
            } else {
                text += RandomCase(kFragments[random() % std::size(kFragments)], codePage, random);
            }
        }
        texts.push_back(text);
    }
    return texts;
}

// Both parses of every text agree, in both modes; returns how many name a hotkey in the
// localized mode.
std::size_t ExpectIndexAgrees(const std::vector<std::string>& texts, const std::string& where) {
    std::size_t named = 0;
    for (const std::string& text : texts) {
        for (const bool localized : {true, false}) {
            const HotKeyValue literal = TextToHotKeyLiteral(text, localized);
            EXPECT_EQ(TextToHotKey(text, localized), literal)
                << where << (localized ? ", localized: " : ", English: ") << Shown(text);
            named += localized && literal != 0 ? 1 : 0;
        }
    }
    return named;
}

struct LayoutSetup {
    const char* name;
    LayoutHandle layout;
    unsigned codePage;
};

const LayoutSetup kSetups[] = {
    {"US English", FakePlatform::UsEnglish(), 1252}, {"US English", FakePlatform::UsEnglish(), 1251},
    {"German", FakePlatform::German(), 1252},        {"German", FakePlatform::German(), 1251},
    {"Russian", FakePlatform::Russian(), 1251},      {"Russian", FakePlatform::Russian(), 1252},
};

// Counts the calls that show whether a parse asked for names or keys.
class CountingPlatform : public test_support::ForwardingPlatform {
public:
    using ForwardingPlatform::ForwardingPlatform;

    std::string KeyNameText(std::int32_t lParam) override {
        ++nameQueries;
        return os.KeyNameText(lParam);
    }
    bool ComparisonKey(const std::string& text, std::string& key) override {
        ++keyQueries;
        if (failKeys) {
            key.clear();
            return false;
        }
        return os.ComparisonKey(text, key);
    }
    unsigned AnsiCodePage() override { return codePage != 0 ? codePage : os.AnsiCodePage(); }

    int nameQueries = 0;
    int keyQueries = 0;
    bool failKeys = false;
    unsigned codePage = 0;  // 0: the fake's
};

class KeyNameIndexTest : public ::testing::Test {
protected:
    void SetUp() override { platform::SetOs(&counting); }
    void TearDown() override {
        HotKeysShutdown();
        platform::SetOs(nullptr);
    }
    void Start(const std::vector<LayoutHandle>& layouts, LayoutHandle active, unsigned codePage) {
        fake.SetLayouts(layouts, active);
        fake.SetAnsiCodePage(codePage);
        HotKeysStartup();
    }

    FakePlatform fake;
    CountingPlatform counting{fake};
};

TEST_F(KeyNameIndexTest, EveryNameAndRandomTextParsesAsTheLiteralLoopSaysOnEveryLayout) {
    std::mt19937 random(8);
    for (const LayoutSetup& setup : kSetups) {
        Start({setup.layout}, setup.layout, setup.codePage);
        const std::string where = std::string(setup.name) + " under " + std::to_string(setup.codePage);
        EXPECT_GT(ExpectIndexAgrees(NameTexts(setup.codePage, random), where), 400u) << where;
        EXPECT_GT(ExpectIndexAgrees(RandomTexts(700, setup.codePage, random), where), 20u) << where;
        HotKeysShutdown();
    }
}

TEST_F(KeyNameIndexTest, NamesAreAskedForOnceAndExactTextsNeedNoKey) {
    Start({FakePlatform::UsEnglish()}, FakePlatform::UsEnglish(), 1252);
    const std::size_t builds = KeyNameIndex().Builds();
    EXPECT_EQ(TextToHotKey("Ctrl+Alt+F5", true), 0xC074u);
    EXPECT_GT(counting.nameQueries, 100) << "the first parse builds the index";
    EXPECT_EQ(KeyNameIndex().Builds(), builds + 1);

    counting.nameQueries = 0;
    counting.keyQueries = 0;
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(TextToHotKey("Ctrl+Alt+F5", true), 0xC074u);
        EXPECT_EQ(TextToHotKey("Shift+Volume Up", true), 0x20AFu);
    }
    EXPECT_EQ(counting.nameQueries, 0);
    EXPECT_EQ(counting.keyQueries, 0) << "texts spelt as the layout spells them";

    EXPECT_EQ(TextToHotKey("ctrl+ALT+f5", true), 0xC074u);
    EXPECT_EQ(TextToHotKey("Ctrl+Foo", true), 0u);
    EXPECT_EQ(counting.nameQueries, 0);
    EXPECT_EQ(counting.keyQueries, 4);
    EXPECT_EQ(KeyNameIndex().Builds(), builds + 1);

    // The English mode has an index of its own, built at its first parse.
    const std::size_t englishBuilds = KeyNameIndex(false).Builds();
    EXPECT_EQ(TextToHotKey("ctrl+ALT+f5", false), 0xC074u);
    EXPECT_GT(counting.nameQueries, 100) << "the first English parse builds its index";
    counting.nameQueries = 0;
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(TextToHotKey("Ctrl+Alt+F5", false), 0xC074u);
        EXPECT_EQ(TextToHotKey("shift+volume up", false), 0x20AFu);
    }
    EXPECT_EQ(counting.nameQueries, 0);
    EXPECT_EQ(KeyNameIndex(false).Builds(), englishBuilds + 1);
}

TEST_F(KeyNameIndexTest, ALayoutSwitchBetweenTwoParsesGivesTheNewLayoutsAnswer) {
    Start({FakePlatform::UsEnglish(), FakePlatform::German()}, FakePlatform::UsEnglish(), 1252);
    const std::size_t builds = KeyNameIndex().Builds();
    const std::size_t englishBuilds = KeyNameIndex(false).Builds();
    EXPECT_EQ(TextToHotKey("Ctrl+Home", true), 0x4024u);
    EXPECT_EQ(TextToHotKey("Ctrl+Pos1", true), 0u);
    EXPECT_EQ(TextToHotKey("Ctrl+Home", false), 0x4024u);

    fake.ActivateLayout(FakePlatform::German(), 0);
    EXPECT_EQ(TextToHotKey("Ctrl+Pos1", true), 0x4024u);
    EXPECT_EQ(TextToHotKey("Ctrl+Home", true), 0u);
    EXPECT_EQ(TextToHotKey("ctrl+POS1", true), 0x4024u);
    EXPECT_EQ(TextToHotKey("Strg+Pos1", true), 0u) << "the words are the start-up layout's";
    EXPECT_EQ(TextToHotKey("Ctrl+home", false), 0x4024u) << "English names under any layout";
    EXPECT_EQ(TextToHotKey("Ctrl+Pos1", false), 0u);
    EXPECT_EQ(fake.ThreadLayout(), FakePlatform::German()) << "the German layout stays active";

    fake.ActivateLayout(FakePlatform::UsEnglish(), 0);
    EXPECT_EQ(TextToHotKey("Ctrl+home", true), 0x4024u);
    EXPECT_EQ(KeyNameIndex().Builds(), builds + 3) << "one build per layout met";
    EXPECT_EQ(KeyNameIndex(false).Builds(), englishBuilds + 1)
        << "the English names do not follow the active layout";
}

TEST_F(KeyNameIndexTest, ALocaleChangeRebuildsTheIndex) {
    Start({FakePlatform::Russian()}, FakePlatform::Russian(), 1252);
    EXPECT_EQ(TextToHotKey("Ctrl+\xE9", true), 0u) << "under 1252 the byte is \xE9, no key's name";
    const std::size_t builds = KeyNameIndex().Builds();
    fake.SetAnsiCodePage(1251);
    EXPECT_EQ(TextToHotKey("Ctrl+\xE9", true), 0x4051u) << "under 1251 it is the key Q types";
    EXPECT_EQ(TextToHotKey("Ctrl+\xC9", true), 0x4051u);
    EXPECT_EQ(KeyNameIndex().Builds(), builds + 1);
}

TEST_F(KeyNameIndexTest, ShutdownForgetsTheIndexAndStartupBuildsItAgain) {
    Start({FakePlatform::German()}, FakePlatform::German(), 1252);
    EXPECT_EQ(TextToHotKey("Strg+Alt+F5", true), 0xC074u);
    HotKeysShutdown();
    EXPECT_EQ(TextToHotKey("Strg+Alt+F5", true), 0u) << "the words are gone";
    HotKeysStartup();
    counting.nameQueries = 0;
    EXPECT_EQ(TextToHotKey("Strg+Alt+F5", true), 0xC074u);
    EXPECT_GT(counting.nameQueries, 100) << "built anew";
}

TEST_F(KeyNameIndexTest, WithoutKeysFromTheSystemEveryParseComparesNameByName) {
    counting.failKeys = true;
    Start({FakePlatform::UsEnglish()}, FakePlatform::UsEnglish(), 1252);
    std::mt19937 random(3);
    ExpectIndexAgrees(NameTexts(1252, random), "no keys");
    counting.nameQueries = 0;
    EXPECT_EQ(TextToHotKey("Ctrl+Alt+F5", true), 0xC074u);
    EXPECT_GT(counting.nameQueries, 50) << "names up to F5's asked again";
}

TEST_F(KeyNameIndexTest, HighBytesInADoubleByteCodePageTakeTheLiteralLoop) {
    counting.codePage = 932;
    Start({FakePlatform::German()}, FakePlatform::German(), 1252);
    EXPECT_EQ(TextToHotKey("Ctrl+F5", true), 0x4074u);  // builds; the names hold high bytes
    counting.nameQueries = 0;
    EXPECT_EQ(TextToHotKey("Ctrl+F5", true), 0x4074u);
    EXPECT_GT(counting.nameQueries, 50) << "the German names hold \\xDC: no index for them";

    HotKeysShutdown();
    Start({FakePlatform::UsEnglish()}, FakePlatform::UsEnglish(), 1252);
    EXPECT_EQ(TextToHotKey("Ctrl+F5", true), 0x4074u);
    counting.nameQueries = 0;
    EXPECT_EQ(TextToHotKey("ctrl+f5", true), 0x4074u);
    EXPECT_EQ(counting.nameQueries, 0) << "ASCII texts are looked up by key";
    EXPECT_EQ(TextToHotKey("Ctrl+F5\xAD", true), 0u);
    EXPECT_GT(counting.nameQueries, 100) << "a high byte is compared name by name";
}

TEST(KeyNameIndexBytes, HighBytesAreComparableInTheSingleByteCodePagesOnly) {
    EXPECT_TRUE(HasComparableBytes("Num +", false));
    EXPECT_TRUE(HasComparableBytes("\x01\x7F", false));
    EXPECT_FALSE(HasComparableBytes("R\xDC" "CKTASTE", false));
    EXPECT_TRUE(HasComparableBytes("R\xDC" "CKTASTE", true));
    EXPECT_FALSE(HasComparableBytes(std::string("F\0" "5", 3), true));
}

#ifdef _WIN32
// The system's own layout and locale (wine64 here; scripts/test.sh runs this under code
// page 1252 and again under 1251).
TEST(KeyNameIndexOnTheSystem, EveryNameAndRandomTextParsesAsTheLiteralLoopSays) {
    platform::SetOs(nullptr);
    HotKeysStartup();
    platform::Platform& os = platform::Os();
    const unsigned codePage = os.AnsiCodePage();
    std::mt19937 random(1251);
    const std::string where = "system layout under " + std::to_string(codePage);
    EXPECT_GT(ExpectIndexAgrees(NameTexts(codePage, random), where), 300u);
    EXPECT_GT(ExpectIndexAgrees(RandomTexts(2000, codePage, random), where), 20u);
    EXPECT_TRUE(KeyNameIndex().Prepare()) << "the index answers for the system's layout";
    HotKeysShutdown();
}
#endif

}  // namespace
}  // namespace tarvik::hotkeys

// The locale's comparison key against the locale's case-blind comparison: two texts
// have equal keys exactly when the comparison calls them equal. Checked for every pair
// of a key name of the active layout (and a modifier word) with a name or a variant of
// one: letter case, blanks, the soft hyphen, and the letters that the locale folds or
// expands (ß and SS, æ and ae, accented capitals, Cyrillic under code page 1251).
#include <set>
#include <sstream>

#include "ConformanceStage.h"
#include "support/ShownText.h"

namespace tarvik::conformance {
namespace {

using test_support::Shown;

// Letter case flipped for the ASCII letters and the code page's own letters.
std::string FlipCase(const std::string& text, unsigned codePage, bool toUpper) {
    std::string out = text;
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        const bool lower = (byte >= 'a' && byte <= 'z') ||
                           (codePage == 1251 ? byte >= 0xE0
                                             : byte >= 0xE0 && byte <= 0xFE && byte != 0xF7);
        const bool upper = (byte >= 'A' && byte <= 'Z') ||
                           (codePage == 1251 ? byte >= 0xC0 && byte <= 0xDF
                                             : byte >= 0xC0 && byte <= 0xDE && byte != 0xD7);
        if (toUpper && lower) {
            c = static_cast<char>(byte - 0x20);
        } else if (!toUpper && upper) {
            c = static_cast<char>(byte + 0x20);
        }
    }
    return out;
}

std::vector<std::string> Variants(const std::string& name, unsigned codePage) {
    std::vector<std::string> out = {
        FlipCase(name, codePage, true), FlipCase(name, codePage, false),
        " " + name, name + " ", "\xAD" + name, name + "\xAD",
    };
    std::string alternating = name;
    for (std::size_t i = 0; i < alternating.size(); i += 2) {
        alternating[i] = FlipCase(alternating.substr(i, 1), codePage, true)[0];
    }
    out.push_back(alternating);
    if (name.size() > 1) {
        out.push_back(name.substr(0, 1) + "\xAD" + name.substr(1));
        out.push_back(name.substr(0, name.size() - 1));
    }
    std::string doubled, joined;
    for (const char c : name) {
        doubled += c;
        if (c == ' ') {
            doubled += ' ';
        } else {
            joined += c;
        }
    }
    out.push_back(doubled);
    out.push_back(joined);
    return out;
}

// Texts that the locale folds or expands, in the code page's bytes.
std::vector<std::string> FoldingCorpus(unsigned codePage) {
    std::vector<std::string> corpus = {"", " ", "  ", "\xAD", "\xAD\xAD", "\xA0", "SS", "ss",
                                       "s", "ae", "AE", "Ae", "OE", "oe", "E", "e", "Y"};
    if (codePage == 1251) {
        for (unsigned byte = 0xC0; byte <= 0xFF; ++byte) {
            corpus.push_back(std::string(1, static_cast<char>(byte)));
        }
        // Ё, ё; "Клавиши", "КЛАВИШИ", "ЁЛКА", "елка"
        for (const char* text : {"\xA8", "\xB8", "\xCA\xEB\xE0\xE2\xE8\xF8\xE8",
                                 "\xCA\xCB\xC0\xC2\xC8\xD8\xC8", "\xA8\xCB\xCA\xC0",
                                 "\xE5\xEB\xEA\xE0", "Ctrl+\xC9", "\xD4" "5"}) {
            corpus.push_back(text);
        }
    } else {
        // ß, STRAßE, strasse, æ, Æ, É, é, the accented capitals and their small letters,
        // Š, š, Œ, œ, Ÿ, ÿ
        for (const char* text : {"\xDF", "STRA\xDF" "E", "strasse", "STRASSE", "\xE6", "\xC6",
                                 "\xC9", "\xE9", "\xC0\xC1\xC2\xC3\xC4\xC5",
                                 "\xE0\xE1\xE2\xE3\xE4\xE5", "AAAAAA", "\xD1", "\xF1", "\x8A",
                                 "\x9A", "\x8C", "\x9C", "\x9F", "\xFF", "\xDC" "BER",
                                 "\xFC" "ber", "UBER", "R\xDC" "CKTASTE"}) {
            corpus.push_back(text);
        }
    }
    // Every byte but NUL, alone and beside a key name.
    for (unsigned byte = 0x01; byte <= 0xFF; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        corpus.push_back(one);
        corpus.push_back("F5" + one);
        corpus.push_back(one + "F5");
    }
    return corpus;
}

TEST_P(KeyboardConformance, EqualComparisonKeysAreExactlyEqualTexts) {
    auto& os = this->os();
    const unsigned codePage = stage().AnsiCodePage();
    EXPECT_EQ(os.AnsiCodePage(), codePage);

    std::set<std::string> names = {"Ctrl", "Shift", "Alt", "Win", "WIN", "Volume Up",
                                   "Browser Start/Home", "Play/Pause Media", "Num +"};
    for (unsigned code = 8; code < 256; ++code) {
        names.insert(KeyName(os, code));
    }
    std::set<std::string> candidates(names.begin(), names.end());
    for (const std::string& name : names) {
        for (const std::string& variant : Variants(name, codePage)) {
            candidates.insert(variant);
        }
    }
    for (const std::string& text : FoldingCorpus(codePage)) {
        candidates.insert(text);
    }

    std::vector<std::pair<std::string, std::string>> keyed;  // text, key
    std::string key;
    for (const std::string& text : candidates) {
        ASSERT_TRUE(os.ComparisonKey(text, key)) << Shown(text);
        keyed.emplace_back(text, key);
    }
    std::vector<std::string> disagreements;
    std::size_t pairs = 0, equalPairs = 0;
    for (const auto& name : keyed) {
        if (names.count(name.first) == 0) {
            continue;
        }
        for (const auto& candidate : keyed) {
            const bool equalKeys = name.second == candidate.second;
            const bool equalTexts = os.EqualIgnoreCase(name.first, candidate.first);
            ++pairs;
            equalPairs += equalTexts ? 1 : 0;
            if (equalKeys != equalTexts && disagreements.size() < 20) {
                disagreements.push_back(Shown(name.first) + " vs " + Shown(candidate.first) +
                                        (equalTexts ? ": equal, keys differ"
                                                    : ": keys equal, texts differ"));
            }
        }
    }
    EXPECT_GT(pairs, 100000u);
    EXPECT_GT(equalPairs, 2 * names.size()) << "the corpus holds texts that compare equal";
    std::string shown;
    for (const std::string& line : disagreements) {
        shown += "\n  " + line;
    }
    EXPECT_TRUE(disagreements.empty()) << "code page " << codePage << ':' << shown;
}

}  // namespace
}  // namespace tarvik::conformance

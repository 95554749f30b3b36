#include "hotkeys/UKeyNameIndex.h"

#include <algorithm>

#include "hotkeys/UHotKeys.h"

namespace tarvik::hotkeys {

using platform::Os;

namespace {

constexpr unsigned kFirstCode = 8;
constexpr unsigned kLastCode = 255;

}  // namespace

bool HasComparableBytes(const std::string& text, bool highBytes) {
    return text.find('\0') == std::string::npos &&
           (highBytes || std::all_of(text.begin(), text.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x80;
            }));
}

TKeyNameIndex& KeyNameIndex(bool localized) {
    static TKeyNameIndex localizedIndex(true);
    static TKeyNameIndex englishIndex(false);
    return localized ? localizedIndex : englishIndex;
}

void TKeyNameIndex::Clear() {
    built_ = false;
    usable_ = false;
    layout_ = nullptr;
    locale_ = 0;
    highBytes_ = false;
    exactNames_ = {};
    keyedNames_ = {};
    words_ = {};
    exactWords_ = {};
    scratch_ = {};
}

bool TKeyNameIndex::Prepare() {
    platform::Platform& os = Os();
    // The English names are the English layout's whatever layout is active; without
    // that layout the codec names keys in the active one.
    const platform::LayoutHandle english = localized_ ? nullptr : EnglishLayout();
    const platform::LayoutHandle layout =
        localized_ || english == nullptr ? os.ThreadLayout() : english;
    const std::uint32_t locale = os.UserLocale();
    if (!built_ || layout != layout_ || locale != locale_) {
        Clear();
        layout_ = layout;
        locale_ = locale;
        const unsigned codePage = os.AnsiCodePage();
        highBytes_ = codePage == 1252 || codePage == 1251;
        usable_ = Build();
        built_ = true;
        ++builds_;
        if (!usable_) {
            exactNames_ = {};
            keyedNames_ = {};
            exactWords_ = {};
        }
    }
    return usable_;
}

bool TKeyNameIndex::KeyOf(const std::string& text) {
    return Os().ComparisonKey(text, scratch_);
}

bool TKeyNameIndex::Build() {
    std::array<std::string, kLastCode + 1> names;
    exactNames_.reserve(2 * (kLastCode - kFirstCode + 1));
    keyedNames_.reserve(2 * (kLastCode - kFirstCode + 1));
    for (unsigned code = kFirstCode; code <= kLastCode; ++code) {
        names[code] = HotKeyToText(code, localized_);
        if (!Comparable(names[code]) || !KeyOf(names[code])) {
            return false;
        }
        // The first code with a key keeps it: the literal loop answers the lowest.
        keyedNames_.emplace(scratch_, static_cast<unsigned char>(code));
    }
    for (unsigned code = kFirstCode; code <= kLastCode; ++code) {
        if (exactNames_.count(names[code]) == 0) {
            KeyOf(names[code]);
            exactNames_.emplace(names[code], keyedNames_.at(scratch_));
        }
    }

    const CodecState& codec = Codec();
    const std::array<std::pair<std::string, std::uint16_t>, 8> words = {{
        {"Shift", platform::kModShift}, {codec.ShiftName, platform::kModShift},
        {"Ctrl", platform::kModControl}, {codec.CtrlName, platform::kModControl},
        {"Alt", platform::kModAlt}, {codec.AltName, platform::kModAlt},
        {"Win", platform::kModWin}, {codec.WinName, platform::kModWin},
    }};
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (!Comparable(words[i].first) || !KeyOf(words[i].first)) {
            return false;
        }
        words_[i] = Word{scratch_, words[i].second};
    }
    for (const auto& word : words) {
        if (!word.first.empty() && exactWords_.count(word.first) == 0) {
            KeyOf(word.first);
            exactWords_.emplace(word.first, static_cast<std::uint16_t>(WordFlagOfKey(scratch_)));
        }
    }
    return true;
}

int TKeyNameIndex::WordFlagOfKey(const std::string& key) const {
    for (const Word& word : words_) {
        if (word.key == key) {
            return word.flag;
        }
    }
    return 0;
}

int TKeyNameIndex::Key(const std::string& piece) {
    const auto exact = exactNames_.find(piece);
    if (exact != exactNames_.end()) {
        return exact->second;
    }
    if (!Comparable(piece) || !KeyOf(piece)) {
        return kAskLiteral;
    }
    const auto keyed = keyedNames_.find(scratch_);
    return keyed != keyedNames_.end() ? keyed->second : 0;
}

int TKeyNameIndex::ModifierFlag(const std::string& piece) {
    const auto exact = exactWords_.find(piece);
    if (exact != exactWords_.end()) {
        return exact->second;
    }
    if (!Comparable(piece) || !KeyOf(piece)) {
        return kAskLiteral;
    }
    return WordFlagOfKey(scratch_);
}

}  // namespace tarvik::hotkeys

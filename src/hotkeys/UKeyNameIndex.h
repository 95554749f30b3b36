// The key names that a parse compares with, and the modifier words, held by the
// locale's own comparison key, so that a hotkey text's pieces are found by one hash
// look-up instead of 248 name queries and comparisons. The localized index holds the
// active layout's names; the English one the US-English layout's, which the English
// mode would otherwise query by switching the thread's layout for every key.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "platform/Platform.h"

namespace tarvik::hotkeys {

// Whether equal comparison keys and an equal answer of the locale's case-blind
// comparison are known to coincide for every byte of the text: the ASCII bytes in any
// code page, and the bytes 0x80-0xFF in the single-byte code pages 1252 and 1251. In a
// double-byte code page two texts may compare equal with different keys, so a text
// with such bytes is looked up name by name there.
bool HasComparableBytes(const std::string& text, bool highBytes);

class TKeyNameIndex {
public:
    // What Key and ModifierFlag answer when the index cannot vouch for the piece.
    static constexpr int kAskLiteral = -1;

    explicit TKeyNameIndex(bool localized = true) : localized_(localized) {}

    // Brings the index up to date with the layout its names come from (the thread's
    // active one, or the codec's English one) and the user's default locale, building it
    // when either changed. False when the index cannot
    // answer for this layout at all (a name or word it cannot vouch for, or no key from
    // the system); then every look-up takes the literal loop.
    bool Prepare();
    // After a successful Prepare: the lowest code 8-255 whose bare name equals the
    // piece, letter case ignored; 0 when none does; kAskLiteral.
    int Key(const std::string& piece);
    // After a successful Prepare: the flag of the first modifier word that the piece
    // (trimmed, not empty) equals, letter case ignored; 0 when none does; kAskLiteral.
    int ModifierFlag(const std::string& piece);
    // Forgets everything; the next Prepare builds again.
    void Clear();

    // How often the index was built since the process started.
    std::size_t Builds() const { return builds_; }

private:
    bool Build();
    bool Comparable(const std::string& text) const { return HasComparableBytes(text, highBytes_); }
    bool KeyOf(const std::string& text);  // into scratch_
    int WordFlagOfKey(const std::string& key) const;

    struct Word {
        std::string key;
        std::uint16_t flag;
    };

    bool localized_;  // which names: HotKeyToText's localized or English ones
    bool built_ = false;
    bool usable_ = false;
    bool highBytes_ = false;  // whether bytes 0x80-0xFF are comparable in this code page
    platform::LayoutHandle layout_ = nullptr;
    std::uint32_t locale_ = 0;
    std::size_t builds_ = 0;
    // A name exactly as the layout spells it, and the comparison key of every name,
    // each to the answer of the literal loop.
    std::unordered_map<std::string, unsigned char> exactNames_;
    std::unordered_map<std::string, unsigned char> keyedNames_;
    // The eight words in the order in which a modifier piece tries them.
    std::array<Word, 8> words_{};
    std::unordered_map<std::string, std::uint16_t> exactWords_;
    std::string scratch_;
};

// The codec's index of the localized names, or of the English ones; HotKeysStartup and
// HotKeysShutdown clear both.
TKeyNameIndex& KeyNameIndex(bool localized = true);

}  // namespace tarvik::hotkeys

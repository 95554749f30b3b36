// The hotkey text codec on any text, in both modes, under each layout and code page of
// the fake: no crash, only values the codec can make, and texts that the codec formats
// read back to the value they came from wherever the key's name is its own. On one input
// in 43 (a first byte from 250: one of each set-up) the key-name indexes must also give
// what the literal loop, name by name, gives; that loop costs hundreds of name queries.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "hotkeys/UHotKeys.h"

namespace tarvik::fuzz {
namespace {

using hotkeys::HotKeyToText;
using hotkeys::HotKeyValue;
using hotkeys::TextToHotKey;
using hotkeys::TextToHotKeyLiteral;

constexpr HotKeyValue kModifierBits =
    hotkeys::kShiftBit | hotkeys::kCtrlBit | hotkeys::kAltBit | hotkeys::kWinBit;

// Whether the bare name of a key reads back to that key alone, so that a formatted
// text with it can be read back at all. Names that several keys share read back to
// the lowest of them, and modifier names cannot be a main key.
bool NameIsItsOwn(unsigned key, bool localized) {
    const std::string name = HotKeyToText(key, localized);
    return !name.empty() && TextToHotKey(name, localized) == key;
}

void Check(const std::string& text, bool localized, bool literalToo) {
    const HotKeyValue value = TextToHotKey(text, localized);
    Require(!literalToo || TextToHotKeyLiteral(text, localized) == value, [&] {
        return "the index and the literal loop disagree on \"" + text + "\"" +
               (localized ? "" : " in the English mode");
    });
    if (value == 0) {
        return;
    }
    Require((value & ~(kModifierBits | 0xFFu)) == 0, "a value with bits outside the format");
    const unsigned key = value & 0xFFu;
    Require(key >= 8, [&] { return "a key code below 8 from \"" + text + "\""; });
    if (!NameIsItsOwn(key, localized)) {
        return;
    }
    const std::string formatted = HotKeyToText(value, localized);
    Require(TextToHotKey(formatted, localized) == value, [&] {
        return "\"" + text + "\" gave " + std::to_string(value) + ", formatted \"" + formatted +
               "\", which reads back as " + std::to_string(TextToHotKey(formatted, localized));
    });
}

}  // namespace
}  // namespace tarvik::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvik;
    FuzzedDataProvider input(data, size);
    const auto setup = input.ConsumeIntegral<std::uint8_t>();
    const bool literalToo = setup >= 250;
    fuzz::KeptFakeScope scope(setup);
    hotkeys::HotKeysStartup();
    scope.LendIndexes();
    const std::string text = input.ConsumeRemainingBytesAsString();
    fuzz::Check(text, true, literalToo);
    fuzz::Check(text, false, literalToo);
    scope.TakeIndexesBack();
    hotkeys::HotKeysShutdown();
    // The codec leaves no atom, block or layout behind, and the English layout it
    // activates for a moment is never left active.
    scope.Finish();
    return 0;
}

// Text helpers shared by the hotkey engine, the host boundary and the dialogs. They
// know nothing of any of them: no platform call, no host call.
#pragma once

#include <initializer_list>
#include <string>

namespace tarvik::base {

// Characters with codes 0 to 32 count as blanks.
bool IsBlank(char c);

// Removes blanks at both ends.
std::string Trim(const std::string& text);

// A string-table text with its "%s" filled: each in turn takes the next value (what a
// value brings in is not searched again); with no "%s" left the rest are dropped, and
// a "%s" left over when the values run out stays as it is.
template <typename Text>
Text FillPlaceholders(Text text, std::initializer_list<Text> values) {
    using Char = typename Text::value_type;
    constexpr Char kPlaceholder[] = {Char('%'), Char('s'), Char()};
    std::size_t at = 0;
    for (const Text& value : values) {
        at = text.find(kPlaceholder, at);
        if (at == Text::npos) {
            break;
        }
        text.replace(at, 2, value);
        at += value.size();
    }
    return text;
}

}  // namespace tarvik::base

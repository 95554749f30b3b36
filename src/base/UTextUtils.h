// Text helpers shared by the hotkey engine and the host boundary. They know nothing of
// either: no platform call, no host call.
#pragma once

#include <string>

namespace tarvik::base {

// Characters with codes 0 to 32 count as blanks.
bool IsBlank(char c);

// Removes blanks at both ends.
std::string Trim(const std::string& text);

}  // namespace tarvik::base

// The help file's reference of key names: every key a hotkey text can name under the
// US-English and the Russian layout, with the names Windows gives them, taken from the
// codec itself running on the in-memory platform (whose keyboard tables are Windows').
#pragma once

#include <string>

namespace tarvik::help {

// The reference as an HTML table, UTF-8, one row per key code that either layout names.
// A name shared by several codes selects the lowest of them; such a cell says which.
std::string KeyNameReference();

}  // namespace tarvik::help

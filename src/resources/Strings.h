// Numbers of the library's string-table entries.
#pragma once

namespace tarvik::resources {

#define TARVIK_STRING(symbol, id, text) constexpr unsigned symbol = id;
#include "resources/StringTable.inc"
#undef TARVIK_STRING

// Every entry with its text, for the in-memory platform.
struct StringEntry {
    unsigned id;
    const char* text;  // UTF-8
};
extern const StringEntry kStringTable[];
extern const unsigned kStringTableSize;

}  // namespace tarvik::resources

// The string table as data, for platforms that have no resource section to load it from.
#include "resources/Strings.h"

namespace tarvik::resources {

const StringEntry kStringTable[] = {
#define TARVIK_STRING(symbol, id, text) {id, text},
#include "resources/StringTable.inc"
#undef TARVIK_STRING
};

const unsigned kStringTableSize = sizeof(kStringTable) / sizeof(kStringTable[0]);

}  // namespace tarvik::resources

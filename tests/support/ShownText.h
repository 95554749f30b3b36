// Failure messages: a text with its bytes outside printable ASCII in hex.
#pragma once

#include <sstream>
#include <string>

namespace tarvik::test_support {

inline std::string Shown(const std::string& text) {
    std::ostringstream out;
    out << '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out << c;
        } else {
            out << "\\x" << std::hex << static_cast<unsigned>(byte) << std::dec;
        }
    }
    return out.str() + '"';
}

}  // namespace tarvik::test_support

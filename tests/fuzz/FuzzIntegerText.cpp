// Integer texts (the id parameters) against a second reading of their rule: a regular
// expression for the form and the C library for the number.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>

#include "FuzzSupport.h"
#include "actions/UActionSupport.h"

namespace tarvik::fuzz {
namespace {

// Leading spaces, an optional sign, then decimal digits, or hexadecimal digits after
// one of the prefixes; nothing else.
const std::regex& Form() {
    static const std::regex form("^ *([+-]?)(?:(0x|0X|\\$|x|X)([0-9A-Fa-f]+)|([0-9]+))$");
    return form;
}

std::optional<std::int32_t> Reference(const std::string& text) {
    std::smatch match;
    if (!std::regex_match(text, match, Form())) {
        return std::nullopt;
    }
    const bool negative = match[1] == "-";
    const bool hex = match[2].matched;
    const std::string digits = hex ? match[3].str() : match[4].str();
    errno = 0;
    const unsigned long long magnitude = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (errno == ERANGE || magnitude > (negative ? 0x80000000ull : 0x7FFFFFFFull)) {
        return std::nullopt;
    }
    const long long number = negative ? -static_cast<long long>(magnitude)
                                      : static_cast<long long>(magnitude);
    return static_cast<std::int32_t>(number);
}

}  // namespace
}  // namespace tarvik::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvik;
    // The host's texts end at their first zero byte.
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, text.find('\0'));
    const std::optional<std::int32_t> parsed = actions::ParseInteger(text);
    const std::optional<std::int32_t> expected = fuzz::Reference(text);
    fuzz::Require(parsed == expected, [&] {
        return "\"" + text + "\" read as " + (parsed ? std::to_string(*parsed) : "none") +
               ", expected " + (expected ? std::to_string(*expected) : "none");
    });
    const std::optional<hotkeys::HotKeyId> id = actions::ParseId(text);
    fuzz::Require(id.has_value() == parsed.has_value() &&
                      (!id || *id == (static_cast<std::uint32_t>(*parsed) & 0xFFFFu)),
                  [&] { return "the id of \"" + text + "\" is not the low 16 bits of its number"; });
    return 0;
}

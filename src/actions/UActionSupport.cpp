#include "actions/UActionSupport.h"

#include "base/UTextUtils.h"
#include "hotkeys/UHotkeysUtilities.h"
#include "platform/Platform.h"
#include "plugin/UHostServices.h"
#include "resources/Strings.h"

namespace tarvik::actions {

using platform::Os;

namespace {

// The prefixes that announce hexadecimal digits, longest first so that "0x" is not
// taken for a decimal 0 followed by an "x".
constexpr const char* kHexPrefixes[] = {"0x", "0X", "$", "x", "X"};

int DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value < base ? value : -1;
}

bool StartsWith(const std::string& text, std::size_t at, const char* prefix) {
    return text.compare(at, std::char_traits<char>::length(prefix), prefix) == 0;
}

bool IsTrailingNoise(char c) {
    return static_cast<unsigned char>(c) <= 32 || c == '.';
}

}  // namespace

std::optional<std::int32_t> ParseInteger(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && text[at] == ' ') {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    int base = 10;
    for (const char* prefix : kHexPrefixes) {
        if (StartsWith(text, at, prefix)) {
            base = 16;
            at += std::char_traits<char>::length(prefix);
            break;
        }
    }
    if (at == text.size()) {
        return std::nullopt;  // no digits
    }
    // The magnitude may reach 2^31 for a negative number only.
    const std::uint64_t limit = negative ? 0x80000000u : 0x7FFFFFFFu;
    std::uint64_t magnitude = 0;
    for (; at < text.size(); ++at) {
        const int digit = DigitValue(text[at], base);
        if (digit < 0) {
            return std::nullopt;
        }
        magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (magnitude > limit) {
            return std::nullopt;
        }
    }
    const std::int64_t signedValue =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    return static_cast<std::int32_t>(signedValue);
}

std::optional<hotkeys::HotKeyId> ParseId(const std::string& text) {
    const std::optional<std::int32_t> number = ParseInteger(text);
    if (!number) {
        return std::nullopt;
    }
    return static_cast<hotkeys::HotKeyId>(static_cast<std::uint32_t>(*number) & 0xFFFFu);
}

const char* BoolText(bool value) {
    return value ? "True" : "False";
}

std::string SystemErrorText(std::uint32_t code) {
    std::string text = Os().SystemMessage(code);
    std::size_t length = text.size();
    while (length > 0 && IsTrailingNoise(text[length - 1])) {
        --length;
    }
    text.resize(length);
    return text;
}

std::string HotkeyErrorText(unsigned stringId, const std::string& hotkeyText) {
    return base::FillPlaceholders(Os().LoadText(stringId), {hotkeyText});
}

void ReportError(const std::string& text) {
    plugin::SetHostVariable(kLastErrorVariable, text);
}

hotkeys::THotKeyManager* HotkeyManager() {
    hotkeys::THotkeyUtilities* utilities = hotkeys::HotkeyUtilities;
    return utilities != nullptr ? &utilities->Manager() : nullptr;
}

std::optional<hotkeys::HotKeyValue> AcceptHotkeyText(hotkeys::THotKeyManager& manager,
                                                     const std::string& hotkeyText) {
    const hotkeys::HotKeyValue value = hotkeys::TextToHotKey(hotkeyText, true);
    // A text that names no hotkey is never handed to the system: registering "no key,
    // no modifiers" would succeed and hold nothing the author can press.
    if (value != 0 && !manager.CanUseHotKey(value)) {
        ReportError(HotkeyErrorText(resources::IDS_ERROR_NOT_AVAILABLE, hotkeyText));
        return std::nullopt;
    }
    if (value == 0 || !hotkeys::ProbeHotKey(value)) {
        ReportError(HotkeyErrorText(resources::IDS_ERROR_NOT_VALID, hotkeyText));
        return std::nullopt;
    }
    return value;
}

Registration TakeRegistration(hotkeys::HotKeyId id) {
    return Registration{id, id == 0 ? Os().LastError() : platform::kErrorSuccess};
}

void ReportRegistration(const std::string& variable, const Registration& registration) {
    if (registration.id != 0) {
        plugin::SetHostVariable(variable, std::to_string(registration.id));
        return;
    }
    plugin::SetHostVariable(variable, "0");
    ReportError(SystemErrorText(registration.error));
}

}  // namespace tarvik::actions

#include "KeyNameReference.h"

#include <array>
#include <cstdint>
#include <string>

#include "hotkeys/UHotKeys.h"
#include "platform/FakePlatform.h"

namespace tarvik::help {
namespace {

using platform::FakePlatform;

constexpr unsigned kFirstCode = 8;  // the codes a hotkey text can name
constexpr unsigned kLastCode = 255;

// What a hotkey text that is just the key's name gives: the key code it selects, or 0
// when the name cannot be the main key (a modifier word) or the key has no name.
struct KeyName {
    std::string name;  // UTF-8
    unsigned selects = 0;
};
using LayoutNames = std::array<KeyName, kLastCode + 1>;

struct Column {
    platform::LayoutHandle layout;
    unsigned codePage;
    const char* heading;
};

void AppendUtf8(std::string& out, wchar_t wide) {
    const auto c = static_cast<std::uint32_t>(wide);
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string EscapedUtf8(FakePlatform& os, const std::string& ansi) {
    std::string out;
    for (wchar_t c : os.AnsiToWide(ansi)) {
        switch (c) {
            case L'&': out += "&amp;"; break;
            case L'<': out += "&lt;"; break;
            case L'>': out += "&gt;"; break;
            case L'"': out += "&quot;"; break;
            default: AppendUtf8(out, c);
        }
    }
    return out;
}

// The names of one layout, read with the codec started under it as the only layout of
// a user whose code page is the layout's own.
LayoutNames NamesUnder(const Column& column) {
    FakePlatform os;
    os.SetAnsiCodePage(column.codePage);
    os.SetLayouts({column.layout}, column.layout);
    platform::SetOs(&os);
    hotkeys::HotKeysStartup();
    LayoutNames names;
    for (unsigned code = kFirstCode; code <= kLastCode; ++code) {
        const std::string name = hotkeys::HotKeyToText(code, true);
        if (!name.empty()) {
            names[code] = KeyName{EscapedUtf8(os, name), hotkeys::TextToHotKey(name, true) & 0xFFu};
        }
    }
    hotkeys::HotKeysShutdown();
    platform::SetOs(nullptr);
    return names;
}

std::string Cell(const KeyName& key, unsigned code) {
    if (key.selects == 0) {
        return "<td>&mdash;</td>";
    }
    std::string cell = "<td><code>" + key.name + "</code>";
    if (key.selects != code) {
        cell += " &rarr; " + std::to_string(key.selects);
    }
    return cell + "</td>";
}

}  // namespace

std::string KeyNameReference() {
    const std::array<Column, 2> columns = {{
        {FakePlatform::UsEnglish(), 1252, "Английская (США)"},
        {FakePlatform::Russian(), 1251, "Русская"},
    }};
    std::array<LayoutNames, 2> names;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        names[i] = NamesUnder(columns[i]);
    }

    std::string out =
        "<!-- Made by tarvik-keynames from the codec and the keyboard tables of the library's\n"
        "     in-memory platform: do not edit, run the tool. -->\n"
        "<table class=\"keynames\">\n<tr><th>Код</th>";
    for (const Column& column : columns) {
        out += std::string("<th>") + column.heading + "</th>";
    }
    out += "</tr>\n";
    for (unsigned code = kFirstCode; code <= kLastCode; ++code) {
        bool named = false;
        for (const LayoutNames& layout : names) {
            named = named || layout[code].selects != 0;
        }
        if (!named) {
            continue;
        }
        out += "<tr><td>" + std::to_string(code) + "</td>";
        for (const LayoutNames& layout : names) {
            out += Cell(layout[code], code);
        }
        out += "</tr>\n";
    }
    return out + "</table>\n";
}

}  // namespace tarvik::help

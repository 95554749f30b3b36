// What the command routines share: reading id parameters, the texts they write into
// host variables, the tests before a registration and the report of its outcome.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "hotkeys/UHotKeys.h"

namespace tarvik::actions {

// The host variable that receives the error texts of refused commands.
constexpr const char kLastErrorVariable[] = "LastError";

// An integer text: optional leading spaces, an optional sign, then decimal digits or
// hexadecimal digits after "$", "x", "X", "0x" or "0X". The whole text must be
// consumed and the number must fit in 32 signed bits; otherwise nullopt.
std::optional<std::int32_t> ParseInteger(const std::string& text);

// The low 16 bits of an id parameter, or nullopt when the text is not an integer.
std::optional<hotkeys::HotKeyId> ParseId(const std::string& text);

// "True" or "False".
const char* BoolText(bool value);

// The system's message for an error code, without its trailing characters of code 32
// or less and its trailing full stops.
std::string SystemErrorText(std::uint32_t code);

// A string-table text with the author's hotkey text put in place of its first "%s".
// The hotkey text is inserted as it is, never read as a format.
std::string HotkeyErrorText(unsigned stringId, const std::string& hotkeyText);

// Writes an error text into LastError.
void ReportError(const std::string& text);

// The manager of the hotkey service object; null when the library failed to start.
hotkeys::THotKeyManager* HotkeyManager();

// The tests that come before TarvikAdd and TarvikChange register a hotkey text. A text
// that names no hotkey, or a combination that the system would not grant now, is "not
// valid"; one that the manager cannot use (another application holds it) is "not
// available". A refusal is written into LastError and gives nullopt.
std::optional<hotkeys::HotKeyValue> AcceptHotkeyText(hotkeys::THotKeyManager& manager,
                                                     const std::string& hotkeyText);

// The id a registration gave, with the thread's last error when it gave none.
struct Registration {
    hotkeys::HotKeyId id;
    std::uint32_t error;
};

// Call it directly on the manager's result, so that the refusal's error code is read
// before anything else (a host callback above all) can replace it.
Registration TakeRegistration(hotkeys::HotKeyId id);

// The id into the variable; for a refusal "0" into the variable, then the system's text
// for the refusal's error code into LastError.
void ReportRegistration(const std::string& variable, const Registration& registration);

}  // namespace tarvik::actions

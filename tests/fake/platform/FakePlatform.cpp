// The in-memory model of the Windows services behind the seam. Where Windows and Wine
// disagree, this follows Windows: the US-English, German and Russian keyboard tables are
// those of Windows' own layouts, key names included, and a second registration of the
// same window and id keeps the first one held.
#include "platform/FakePlatform.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <deque>
#include <map>
#include <set>
#include <utility>

#include "resources/Strings.h"

namespace tarvik::platform {
namespace {

// --- Error codes and their system texts -----------------------------------------------

constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorMessageNotFound = 317;  // ERROR_MR_MID_NOT_FOUND
constexpr std::uint32_t kErrorInvalidKeyboardHandle = 1457;
constexpr std::uint32_t kErrorResourceNameNotFound = 1814;
constexpr std::uint32_t kWmClose = 0x0010;

struct SystemText {
    std::uint32_t code;
    const char* text;
};

// FormatMessage's English texts, without the line break that every one of them ends in.
constexpr SystemText kSystemTexts[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {14, "Not enough memory resources are available to complete this operation."},
    {87, "The parameter is incorrect."},
    {122, "The data area passed to a system call is too small."},
    {317,
     "The system cannot find message text for message number 0x%1 in the message file "
     "for %2."},
    {1004, "Invalid flags."},
    {1400, "Invalid window handle."},
    {1407, "Cannot find window class."},
    {1408, "Invalid window; it belongs to other thread."},
    {1409, "Hot key is already registered."},
    {1410, "Class already exists."},
    {1411, "Class does not exist."},
    {1412, "Class still has open windows."},
    {1419, "Hot key is not registered."},
    {1457, "Invalid keyboard layout handle."},
    {1814, "The specified resource name cannot be found in the image file."},
};

// --- ANSI code pages ----------------------------------------------------------------------

// The characters of bytes 0x80 to 0xFF. Bytes that a code page leaves undefined map to
// the C1 control of the same number, as Windows' tables do.
constexpr std::array<char16_t, 128> kWestern = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,
};

constexpr std::array<char16_t, 128> kCyrillic = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

const std::array<char16_t, 128>& HighHalf(unsigned codePage) {
    return codePage == 1251 ? kCyrillic : kWestern;
}

char32_t Decode(unsigned codePage, unsigned char byte) {
    return byte < 0x80 ? char32_t{byte} : char32_t{HighHalf(codePage)[byte - 0x80u]};
}

// A code page's upper half turned round: the byte of every UTF-16 unit, -1 for none.
std::vector<std::int16_t> Reversed(const std::array<char16_t, 128>& high) {
    std::vector<std::int16_t> reversed(0x10000, -1);
    for (std::size_t i = high.size(); i-- > 0;) {  // a shared character keeps its lowest byte
        reversed[high[i]] = static_cast<std::int16_t>(0x80 + i);
    }
    return reversed;
}

// The byte for a character, or -1 when the code page has none.
int Encode(unsigned codePage, char32_t character) {
    if (character < 0x80) {
        return static_cast<int>(character);
    }
    static const std::vector<std::int16_t> western = Reversed(kWestern);
    static const std::vector<std::int16_t> cyrillic = Reversed(kCyrillic);
    const std::vector<std::int16_t>& reversed = codePage == 1251 ? cyrillic : western;
    return character < reversed.size() ? reversed[character] : -1;
}

// Simple upper-case mapping of the letters that the two code pages contain.
char32_t ToUpper(char32_t c) {
    if ((c >= U'a' && c <= U'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
        (c >= 0x430 && c <= 0x44F)) {
        return c - 0x20;
    }
    if (c >= 0x450 && c <= 0x45F) {
        return c - 0x50;
    }
    switch (c) {
        case 0xFF: return 0x178;
        case 0x153: return 0x152;
        case 0x161: return 0x160;
        case 0x17E: return 0x17D;
        case 0x491: return 0x490;
        default: return c;
    }
}

unsigned char UpperByte(unsigned codePage, unsigned char byte) {
    const int upper = Encode(codePage, ToUpper(Decode(codePage, byte)));
    return upper < 0 ? byte : static_cast<unsigned char>(upper);
}

// UTF-8 to the code page, '?' for what it cannot show (WideCharToMultiByte's default
// character). The texts are this library's own, so malformed input is not expected;
// a stray byte still comes out as '?'.
std::string FromUtf8(unsigned codePage, const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        char32_t c = lead;
        if (lead >= 0xF0) {
            length = 4;
            c = lead & 0x07u;
        } else if (lead >= 0xE0) {
            length = 3;
            c = lead & 0x0Fu;
        } else if (lead >= 0xC0) {
            length = 2;
            c = lead & 0x1Fu;
        } else if (lead >= 0x80) {
            c = 0xFFFD;
        }
        if (i + length > text.size()) {
            out += '?';
            break;
        }
        for (std::size_t k = 1; k < length; ++k) {
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
        }
        const int byte = Encode(codePage, c);
        out += byte < 0 ? '?' : static_cast<char>(byte);
        i += length;
    }
    return out;
}

// --- Keyboard layouts -----------------------------------------------------------------------

constexpr std::uintptr_t kUsEnglish = 0x04090409;
constexpr std::uintptr_t kGerman = 0x04070407;
constexpr std::uintptr_t kRussian = 0x04190419;

constexpr unsigned kExtendedBit = 1u << 24;
constexpr unsigned kDontCareBit = 1u << 25;
constexpr unsigned kDeadKey = 0x80000000u;

struct ScanName {
    unsigned scan;
    const char* name;  // UTF-8
};

// Names that Windows' US-English layout gives by scan code; the Russian layout uses the
// same ones. Keys that are not listed are named by the character they type.
const std::vector<ScanName> kEnglishNames = {
    {0x01, "Esc"}, {0x0E, "Backspace"}, {0x0F, "Tab"}, {0x1C, "Enter"}, {0x1D, "Ctrl"},
    {0x2A, "Shift"}, {0x36, "Right Shift"}, {0x37, "Num *"}, {0x38, "Alt"},
    {0x39, "Space"}, {0x3A, "Caps Lock"}, {0x3B, "F1"}, {0x3C, "F2"}, {0x3D, "F3"},
    {0x3E, "F4"}, {0x3F, "F5"}, {0x40, "F6"}, {0x41, "F7"}, {0x42, "F8"}, {0x43, "F9"},
    {0x44, "F10"}, {0x45, "Pause"}, {0x46, "Scroll Lock"}, {0x47, "Num 7"},
    {0x48, "Num 8"}, {0x49, "Num 9"}, {0x4A, "Num -"}, {0x4B, "Num 4"}, {0x4C, "Num 5"},
    {0x4D, "Num 6"}, {0x4E, "Num +"}, {0x4F, "Num 1"}, {0x50, "Num 2"}, {0x51, "Num 3"},
    {0x52, "Num 0"}, {0x53, "Num Del"}, {0x54, "Sys Req"}, {0x57, "F11"}, {0x58, "F12"},
    {0x7C, "F13"}, {0x7D, "F14"}, {0x7E, "F15"}, {0x7F, "F16"}, {0x80, "F17"},
    {0x81, "F18"}, {0x82, "F19"}, {0x83, "F20"}, {0x84, "F21"}, {0x85, "F22"},
    {0x86, "F23"}, {0x87, "F24"},
};

const std::vector<ScanName> kEnglishExtendedNames = {
    {0x1C, "Num Enter"}, {0x1D, "Right Ctrl"}, {0x35, "Num /"}, {0x37, "Prnt Scrn"},
    {0x38, "Right Alt"}, {0x45, "Num Lock"}, {0x46, "Break"}, {0x47, "Home"},
    {0x48, "Up"}, {0x49, "Page Up"}, {0x4B, "Left"}, {0x4D, "Right"}, {0x4F, "End"},
    {0x50, "Down"}, {0x51, "Page Down"}, {0x52, "Insert"}, {0x53, "Delete"},
    {0x54, "<00>"}, {0x56, "Help"}, {0x5B, "Left Windows"}, {0x5C, "Right Windows"},
    {0x5D, "Application"},
};

const std::vector<ScanName> kGermanNames = {
    {0x01, "ESC"}, {0x0E, "RÜCKTASTE"}, {0x0F, "TABULATOR"}, {0x1C, "EINGABE"},
    {0x1D, "STRG"}, {0x2A, "UMSCHALT"}, {0x36, "UMSCHALT RECHTS"},
    {0x37, "* (ZEHNERTASTATUR)"}, {0x38, "ALT"}, {0x39, "LEER"}, {0x3A, "FESTSTELL"},
    {0x3B, "F1"}, {0x3C, "F2"}, {0x3D, "F3"}, {0x3E, "F4"}, {0x3F, "F5"}, {0x40, "F6"},
    {0x41, "F7"}, {0x42, "F8"}, {0x43, "F9"}, {0x44, "F10"}, {0x45, "PAUSE"},
    {0x46, "ROLLEN-FESTSTELL"}, {0x47, "7 (ZEHNERTASTATUR)"}, {0x48, "8 (ZEHNERTASTATUR)"},
    {0x49, "9 (ZEHNERTASTATUR)"}, {0x4A, "- (ZEHNERTASTATUR)"},
    {0x4B, "4 (ZEHNERTASTATUR)"}, {0x4C, "5 (ZEHNERTASTATUR)"},
    {0x4D, "6 (ZEHNERTASTATUR)"}, {0x4E, "+ (ZEHNERTASTATUR)"},
    {0x4F, "1 (ZEHNERTASTATUR)"}, {0x50, "2 (ZEHNERTASTATUR)"},
    {0x51, "3 (ZEHNERTASTATUR)"}, {0x52, "0 (ZEHNERTASTATUR)"},
    {0x53, "KOMMA (ZEHNERTASTATUR)"}, {0x54, "S-ABF"}, {0x57, "F11"}, {0x58, "F12"},
    {0x7C, "F13"}, {0x7D, "F14"}, {0x7E, "F15"}, {0x7F, "F16"}, {0x80, "F17"},
    {0x81, "F18"}, {0x82, "F19"}, {0x83, "F20"}, {0x84, "F21"}, {0x85, "F22"},
    {0x86, "F23"}, {0x87, "F24"},
};

const std::vector<ScanName> kGermanExtendedNames = {
    {0x1C, "EINGABE (ZEHNERTASTATUR)"}, {0x1D, "STRG-RECHTS"},
    {0x35, "/ (ZEHNERTASTATUR)"}, {0x37, "DRUCK"}, {0x38, "ALT GR"},
    {0x45, "NUM-FESTSTELL"}, {0x46, "UNTBR"}, {0x47, "POS1"}, {0x48, "NACH-OBEN"},
    {0x49, "BILD-NACH-OBEN"}, {0x4B, "NACH-LINKS"}, {0x4D, "NACH-RECHTS"},
    {0x4F, "ENDE"}, {0x50, "NACH-UNTEN"}, {0x51, "BILD-NACH-UNTEN"}, {0x52, "EINFG"},
    {0x53, "ENTF"}, {0x54, "<00>"}, {0x56, "HILFE"}, {0x5B, "LINKE WINDOWS"},
    {0x5C, "RECHTE WINDOWS"}, {0x5D, "ANWENDUNG"},
};

struct DeadName {
    char32_t character;
    const char* name;  // UTF-8
};

const std::vector<DeadName> kGermanDeadNames = {
    {0xB4, "AKUT"}, {U'`', "GRAVIS"}, {U'^', "ZIRKUMFLEX"},
};

// Virtual-key codes the tables use.
enum Vk : std::uint8_t {
    kVkBack = 0x08, kVkTab = 0x09, kVkClear = 0x0C, kVkReturn = 0x0D, kVkShift = 0x10,
    kVkControl = 0x11, kVkMenu = 0x12, kVkPause = 0x13, kVkCapital = 0x14,
    kVkEscape = 0x1B, kVkSpace = 0x20, kVkPrior = 0x21, kVkNext = 0x22, kVkEnd = 0x23,
    kVkHome = 0x24, kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28,
    kVkSnapshot = 0x2C, kVkInsert = 0x2D, kVkDelete = 0x2E, kVkHelp = 0x2F,
    kVkNumpad0 = 0x60, kVkMultiply = 0x6A, kVkAdd = 0x6B, kVkSubtract = 0x6D,
    kVkDecimal = 0x6E, kVkDivide = 0x6F, kVkF1 = 0x70, kVkF13 = 0x7C, kVkF24 = 0x87,
    kVkNumLock = 0x90, kVkScroll = 0x91, kVkLShift = 0xA0, kVkRShift = 0xA1,
    kVkLControl = 0xA2, kVkRControl = 0xA3, kVkLMenu = 0xA4, kVkRMenu = 0xA5,
    kVkOem1 = 0xBA, kVkOemPlus = 0xBB, kVkOemComma = 0xBC, kVkOemMinus = 0xBD,
    kVkOemPeriod = 0xBE, kVkOem2 = 0xBF, kVkOem3 = 0xC0, kVkOem4 = 0xDB, kVkOem5 = 0xDC,
    kVkOem6 = 0xDD, kVkOem7 = 0xDE, kVkOem102 = 0xE2,
};

struct ScanVk {
    std::uint8_t scan;
    std::uint8_t vk;
};

// Keys with the E0 prefix, as every one of the three layouts has them.
constexpr ScanVk kExtendedKeys[] = {
    {0x10, 0xB1}, {0x19, 0xB0}, {0x1C, kVkReturn}, {0x1D, kVkRControl}, {0x20, 0xAD},
    {0x21, 0xB7}, {0x22, 0xB3}, {0x24, 0xB2}, {0x2E, 0xAE}, {0x30, 0xAF}, {0x32, 0xAC},
    {0x35, kVkDivide}, {0x37, kVkSnapshot}, {0x38, kVkRMenu}, {0x46, 0x03},
    {0x47, kVkHome}, {0x48, kVkUp}, {0x49, kVkPrior}, {0x4B, kVkLeft}, {0x4D, kVkRight},
    {0x4F, kVkEnd}, {0x50, kVkDown}, {0x51, kVkNext}, {0x52, kVkInsert},
    {0x53, kVkDelete}, {0x5B, 0x5B}, {0x5C, 0x5C}, {0x5D, 0x5D}, {0x5F, 0x5F},
    {0x65, 0xAA}, {0x66, 0xAB}, {0x67, 0xA8}, {0x68, 0xA9}, {0x69, 0xA7}, {0x6A, 0xA6},
    {0x6B, 0xB6}, {0x6C, 0xB4}, {0x6D, 0xB5},
};

// The keypad's digits and point: the scan codes of their keys with Num Lock on.
constexpr ScanVk kNumpadKeys[] = {
    {0x47, 0x67}, {0x48, 0x68}, {0x49, 0x69}, {0x4B, 0x64}, {0x4C, 0x65}, {0x4D, 0x66},
    {0x4F, 0x61}, {0x50, 0x62}, {0x51, 0x63}, {0x52, kVkNumpad0}, {0x53, kVkDecimal},
};

struct KeyboardLayout {
    std::uintptr_t handle = 0;
    std::array<std::uint8_t, 128> vkOfScan{};  // the keys without a prefix
    std::array<std::uint16_t, 256> scanOfVk{};  // MapKey's answer for type 4, by WithScanTable
    std::map<unsigned, unsigned> characters;   // unshifted character, kDeadKey for dead keys
    const std::vector<ScanName>* names = nullptr;
    const std::vector<ScanName>* extendedNames = nullptr;
    const std::vector<DeadName>* deadNames = nullptr;
};

// The scan-code table that the three layouts share, before each one places its letters
// and punctuation.
KeyboardLayout CommonLayout() {
    KeyboardLayout layout;
    auto& t = layout.vkOfScan;
    t[0x01] = kVkEscape;
    for (unsigned i = 0; i < 9; ++i) {
        t[0x02 + i] = static_cast<std::uint8_t>('1' + i);
    }
    t[0x0B] = '0';
    t[0x0E] = kVkBack;
    t[0x0F] = kVkTab;
    t[0x1C] = kVkReturn;
    t[0x1D] = kVkLControl;
    t[0x2A] = kVkLShift;
    t[0x36] = kVkRShift;
    t[0x37] = kVkMultiply;
    t[0x38] = kVkLMenu;
    t[0x39] = kVkSpace;
    t[0x3A] = kVkCapital;
    for (unsigned i = 0; i < 10; ++i) {
        t[0x3B + i] = static_cast<std::uint8_t>(kVkF1 + i);
    }
    t[0x45] = kVkNumLock;
    t[0x46] = kVkScroll;
    t[0x47] = kVkHome;
    t[0x48] = kVkUp;
    t[0x49] = kVkPrior;
    t[0x4A] = kVkSubtract;
    t[0x4B] = kVkLeft;
    t[0x4C] = kVkClear;
    t[0x4D] = kVkRight;
    t[0x4E] = kVkAdd;
    t[0x4F] = kVkEnd;
    t[0x50] = kVkDown;
    t[0x51] = kVkNext;
    t[0x52] = kVkInsert;
    t[0x53] = kVkDelete;
    t[0x54] = kVkSnapshot;
    t[0x56] = kVkOem102;
    t[0x57] = kVkF1 + 10;
    t[0x58] = kVkF1 + 11;
    t[0x59] = kVkClear;
    t[0x5A] = 0xEE;  // OEM_WSCTRL
    t[0x5B] = 0xF1;  // OEM_FINISH
    t[0x5C] = 0xEA;  // OEM_JUMP
    t[0x5D] = 0xF9;  // EREOF
    t[0x5E] = 0xF5;  // OEM_BACKTAB
    t[0x5F] = 0xF3;  // OEM_AUTO
    t[0x62] = 0xFB;  // ZOOM
    t[0x63] = kVkHelp;
    for (unsigned i = 0; i < 11; ++i) {
        t[0x64 + i] = static_cast<std::uint8_t>(kVkF13 + i);
    }
    t[0x6F] = 0xED;  // OEM_PA3
    t[0x71] = 0xE9;  // OEM_RESET
    t[0x73] = 0xC1;  // ABNT_C1
    t[0x76] = kVkF24;
    t[0x7B] = 0xEB;  // OEM_PA1
    t[0x7C] = kVkTab;
    t[0x7E] = 0xC2;  // ABNT_C2
    t[0x7F] = 0xEC;  // OEM_PA2

    auto& c = layout.characters;
    for (unsigned d = '0'; d <= '9'; ++d) {
        c[d] = d;
        c[kVkNumpad0 + d - '0'] = d;
    }
    c[kVkBack] = 0x08;
    c[kVkTab] = 0x09;
    c[kVkReturn] = 0x0D;
    c[kVkEscape] = 0x1B;
    c[0x03] = 0x03;  // CANCEL
    c[kVkSpace] = U' ';
    c[kVkMultiply] = U'*';
    c[kVkAdd] = U'+';
    c[kVkSubtract] = U'-';
    c[kVkDivide] = U'/';
    c[kVkDecimal] = U'.';
    return layout;
}

// Places the keys of a row: the scan codes from `first` get the virtual keys in order.
void PlaceRow(KeyboardLayout& layout, unsigned first, const std::vector<std::uint8_t>& vks) {
    for (std::size_t i = 0; i < vks.size(); ++i) {
        layout.vkOfScan[first + i] = vks[i];
    }
}

// The QWERTY positions of the US-English (and Russian) layout.
void PlaceQwerty(KeyboardLayout& layout) {
    PlaceRow(layout, 0x0C, {kVkOemMinus, kVkOemPlus});
    PlaceRow(layout, 0x10, {'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', kVkOem4,
                            kVkOem6});
    PlaceRow(layout, 0x1E, {'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L', kVkOem1, kVkOem7,
                            kVkOem3});
    PlaceRow(layout, 0x2B, {kVkOem5, 'Z', 'X', 'C', 'V', 'B', 'N', 'M', kVkOemComma,
                            kVkOemPeriod, kVkOem2});
}

KeyboardLayout UsEnglishLayout() {
    KeyboardLayout layout = CommonLayout();
    layout.handle = kUsEnglish;
    PlaceQwerty(layout);
    for (unsigned letter = 'A'; letter <= 'Z'; ++letter) {
        layout.characters[letter] = letter;
    }
    const std::pair<std::uint8_t, char32_t> punctuation[] = {
        {kVkOem1, U';'}, {kVkOemPlus, U'='}, {kVkOemComma, U','}, {kVkOemMinus, U'-'},
        {kVkOemPeriod, U'.'}, {kVkOem2, U'/'}, {kVkOem3, U'`'}, {kVkOem4, U'['},
        {kVkOem5, U'\\'}, {kVkOem6, U']'}, {kVkOem7, U'\''}, {kVkOem102, U'\\'},
    };
    for (const auto& [vk, character] : punctuation) {
        layout.characters[vk] = character;
    }
    layout.names = &kEnglishNames;
    layout.extendedNames = &kEnglishExtendedNames;
    return layout;
}

KeyboardLayout GermanLayout() {
    KeyboardLayout layout = CommonLayout();
    layout.handle = kGerman;
    PlaceRow(layout, 0x0C, {kVkOem4, kVkOem6});
    PlaceRow(layout, 0x10, {'Q', 'W', 'E', 'R', 'T', 'Z', 'U', 'I', 'O', 'P', kVkOem1,
                            kVkOemPlus});
    PlaceRow(layout, 0x1E, {'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L', kVkOem3, kVkOem7,
                            kVkOem5});
    PlaceRow(layout, 0x2B, {kVkOem2, 'Y', 'X', 'C', 'V', 'B', 'N', 'M', kVkOemComma,
                            kVkOemPeriod, kVkOemMinus});
    for (unsigned letter = 'A'; letter <= 'Z'; ++letter) {
        layout.characters[letter] = letter;
    }
    const std::pair<std::uint8_t, unsigned> punctuation[] = {
        {kVkOem4, 0xDF},           {kVkOem6, kDeadKey | 0xB4}, {kVkOem1, 0xFC},
        {kVkOemPlus, U'+'},        {kVkOem3, 0xF6},            {kVkOem7, 0xE4},
        {kVkOem5, kDeadKey | U'^'}, {kVkOem2, U'#'},           {kVkOemComma, U','},
        {kVkOemPeriod, U'.'},      {kVkOemMinus, U'-'},        {kVkOem102, U'<'},
    };
    for (const auto& [vk, character] : punctuation) {
        layout.characters[vk] = character;
    }
    layout.names = &kGermanNames;
    layout.extendedNames = &kGermanExtendedNames;
    layout.deadNames = &kGermanDeadNames;
    return layout;
}

KeyboardLayout RussianLayout() {
    KeyboardLayout layout = CommonLayout();
    layout.handle = kRussian;
    PlaceQwerty(layout);
    // What each key types, in the order of the QWERTY rows: ЙЦУКЕН.
    const std::pair<std::uint8_t, char32_t> keys[] = {
        {'Q', 0x439}, {'W', 0x446}, {'E', 0x443}, {'R', 0x43A}, {'T', 0x435},
        {'Y', 0x43D}, {'U', 0x433}, {'I', 0x448}, {'O', 0x449}, {'P', 0x437},
        {kVkOem4, 0x445}, {kVkOem6, 0x44A}, {'A', 0x444}, {'S', 0x44B}, {'D', 0x432},
        {'F', 0x430}, {'G', 0x43F}, {'H', 0x440}, {'J', 0x43E}, {'K', 0x43B},
        {'L', 0x434}, {kVkOem1, 0x436}, {kVkOem7, 0x44D}, {kVkOem3, 0x451},
        {'Z', 0x44F}, {'X', 0x447}, {'C', 0x441}, {'V', 0x43C}, {'B', 0x438},
        {'N', 0x442}, {'M', 0x44C}, {kVkOemComma, 0x431}, {kVkOemPeriod, 0x44E},
        {kVkOem2, U'.'}, {kVkOem5, U'\\'}, {kVkOemMinus, U'-'}, {kVkOemPlus, U'='},
        {kVkOem102, U'\\'},
    };
    for (const auto& [vk, character] : keys) {
        layout.characters[vk] = character;
    }
    layout.names = &kEnglishNames;
    layout.extendedNames = &kEnglishExtendedNames;
    return layout;
}

// The scan code of a virtual key with its E0/E1 prefix: the first key without a prefix
// that sends it, else the keypad, else the keys with a prefix.
unsigned ScanOfKey(const KeyboardLayout& layout, unsigned code) {
    for (unsigned scan = 1; scan < layout.vkOfScan.size(); ++scan) {
        if (layout.vkOfScan[scan] == code) {
            return scan;
        }
    }
    for (const auto& key : kNumpadKeys) {
        if (key.vk == code) {
            return key.scan;
        }
    }
    for (const auto& key : kExtendedKeys) {
        if (key.vk == code) {
            return key.scan | 0xE000u;
        }
    }
    // The Pause key sends E1 1D 45.
    return code == kVkPause ? 0xE11Du : 0u;
}

// A layout with its table from virtual keys to scan codes filled in, so that a look-up
// is one step (the name index asks for every key).
KeyboardLayout WithScanTable(KeyboardLayout layout) {
    for (unsigned code = 1; code < layout.scanOfVk.size(); ++code) {
        layout.scanOfVk[code] = static_cast<std::uint16_t>(ScanOfKey(layout, code));
    }
    return layout;
}

const KeyboardLayout* FindLayout(std::uintptr_t handle) {
    static const KeyboardLayout layouts[] = {WithScanTable(UsEnglishLayout()),
                                             WithScanTable(GermanLayout()),
                                             WithScanTable(RussianLayout())};
    for (const auto& layout : layouts) {
        if (layout.handle == handle) {
            return &layout;
        }
    }
    return nullptr;
}

const char* FindName(const std::vector<ScanName>* names, unsigned scan) {
    if (names != nullptr) {
        for (const auto& entry : *names) {
            if (entry.scan == scan) {
                return entry.name;
            }
        }
    }
    return nullptr;
}

// MapVirtualKeyCode for one layout: 0 VK to scan code, 1 scan code to VK (either hand),
// 2 VK to unshifted character, 3 scan code to VK (left and right apart), 4 VK to scan
// code with the E0/E1 prefix.
unsigned MapKey(const KeyboardLayout& layout, unsigned code, unsigned mapType) {
    switch (mapType) {
        case 0:
        case 4: {
            if (code >= kVkShift && code <= kVkMenu) {
                code = (code - kVkShift) * 2 + kVkLShift;  // the left-hand key
            }
            if (code == 0 || code > 0xFF) {
                return 0;
            }
            const unsigned scan = layout.scanOfVk[code];
            if (mapType == 4) {
                return scan;
            }
            // Without its prefix the Pause key is known by its last byte.
            return code == kVkPause ? 0x45u : scan & 0xFFu;
        }
        case 1:
        case 3: {
            unsigned vk = 0;
            if ((code & 0xFF00u) == 0xE000u) {
                for (const auto& key : kExtendedKeys) {
                    if (key.scan == (code & 0xFFu)) {
                        vk = key.vk;
                    }
                }
            } else if (code < layout.vkOfScan.size()) {
                vk = layout.vkOfScan[code];
            }
            if (mapType == 1 && vk >= kVkLShift && vk <= kVkRMenu) {
                vk = kVkShift + (vk - kVkLShift) / 2;
            }
            return vk;
        }
        case 2: {
            const auto found = layout.characters.find(code);
            return found == layout.characters.end() ? 0 : found->second;
        }
        default:
            return 0;
    }
}

// GetKeyNameText for one layout, as UTF-8.
std::string KeyName(const KeyboardLayout& layout, std::uint32_t lParam) {
    unsigned scan = (lParam >> 16) & 0xFFu;
    bool extended = (lParam & kExtendedBit) != 0;
    if ((lParam & kDontCareBit) != 0) {
        if (!extended && scan == 0x36) {
            scan = 0x2A;
        } else if (extended && (scan == 0x1D || scan == 0x38)) {
            extended = false;
        }
    }
    if (const char* name = FindName(extended ? layout.extendedNames : layout.names, scan)) {
        return name;
    }
    const unsigned vk = MapKey(layout, extended ? (0xE000u | scan) : scan, 3);
    const auto found = layout.characters.find(vk);
    if (vk == 0 || found == layout.characters.end()) {
        return {};
    }
    const char32_t character = ToUpper(found->second & ~kDeadKey);
    if ((found->second & kDeadKey) != 0 && layout.deadNames != nullptr) {
        for (const auto& dead : *layout.deadNames) {
            if (dead.character == character) {
                return dead.name;
            }
        }
    }
    if (character < 0x20) {
        return {};
    }
    std::string utf8;
    if (character < 0x80) {
        utf8 += static_cast<char>(character);
    } else {  // the layouts type nothing beyond U+07FF
        utf8 += static_cast<char>(0xC0 | (character >> 6));
        utf8 += static_cast<char>(0x80 | (character & 0x3F));
    }
    return utf8;
}

LayoutHandle ToHandle(std::uintptr_t value) {
    return reinterpret_cast<LayoutHandle>(value);
}

std::uintptr_t FromHandle(const void* handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

}  // namespace

// --- State ---------------------------------------------------------------------------------

struct FakePlatform::State {
    struct AtomEntry {
        std::string name;
        int references = 0;
    };
    enum class Holder { Window, Thread, OtherProcess };
    struct HotKey {
        Holder holder;
        std::uintptr_t window;
        int id;
        unsigned modifiers;
        unsigned key;
    };
    struct Message {
        std::uintptr_t window;
        std::uint32_t message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };

    std::uint32_t lastError = kErrorSuccess;
    unsigned codePage = 1252;
    bool highContrast = false;

    std::set<void*> blocks;
    int failingAllocations = 0;
    std::size_t foreignFrees = 0;

    std::map<Atom, AtomEntry> atoms;
    std::size_t atomCapacity = 0x4000;

    std::vector<HotKey> hotKeys;  // in registration order
    bool refuseNext = false;
    std::uint32_t refusal = 0;

    struct Window {
        MessageSink* sink;
        std::uint32_t thread;   // the thread that created it
        bool released = false;  // handed back to the system's procedure
    };
    std::map<std::uintptr_t, Window> windows;
    std::uintptr_t nextWindow = 0x000A0010;
    std::deque<Message> queue;
    std::uint32_t thread = kMainThread;  // the thread that calls now

    // Null when the window exists and belongs to the calling thread; else the error
    // that the system gives for it.
    std::uint32_t WindowError(std::uintptr_t window) const {
        const auto found = windows.find(window);
        if (found == windows.end()) {
            return kErrorInvalidWindowHandle;
        }
        return found->second.thread == thread ? kErrorSuccess : kErrorWindowOfOtherThread;
    }

    // Destroys a window and frees its hotkeys.
    void DestroyWindow(std::uintptr_t window) {
        windows.erase(window);
        hotKeys.erase(std::remove_if(hotKeys.begin(), hotKeys.end(),
                                     [&](const HotKey& hotKey) {
                                         return hotKey.holder == Holder::Window &&
                                                hotKey.window == window;
                                     }),
                      hotKeys.end());
    }

    std::vector<std::uintptr_t> layouts{kUsEnglish};
    std::uintptr_t activeLayout = kUsEnglish;
    std::size_t layoutLoads = 0;
    std::size_t layoutUnloads = 0;
    std::size_t layoutCalls = 0;

    WindowHandle activeWindow = nullptr;
    std::intptr_t shellResult = 42;
    std::vector<ShellCall> shellCalls;
    // The string table's texts, by id, as LoadWideText decoded them.
    std::map<unsigned, std::wstring> texts;

    bool Equal(const std::string& a, const std::string& b) const {
        if (a.size() != b.size()) {
            return false;
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (UpperByte(codePage, static_cast<unsigned char>(a[i])) !=
                UpperByte(codePage, static_cast<unsigned char>(b[i]))) {
                return false;
            }
        }
        return true;
    }

    std::map<Atom, AtomEntry>::iterator FindAtomEntry(const std::string& name) {
        return std::find_if(atoms.begin(), atoms.end(),
                            [&](const auto& entry) { return Equal(entry.second.name, name); });
    }

    bool IsLoaded(std::uintptr_t layout) const {
        return std::find(layouts.begin(), layouts.end(), layout) != layouts.end();
    }

    const KeyboardLayout& Active() const {
        const KeyboardLayout* layout = FindLayout(activeLayout);
        return layout != nullptr ? *layout : *FindLayout(kUsEnglish);
    }

    HotKey* Holding(unsigned modifiers, unsigned key) {
        for (auto& hotKey : hotKeys) {
            if (hotKey.modifiers == (modifiers & 0xFu) && hotKey.key == key) {
                return &hotKey;
            }
        }
        return nullptr;
    }
};

// --- Construction ---------------------------------------------------------------------------

LayoutHandle FakePlatform::UsEnglish() { return ToHandle(kUsEnglish); }
LayoutHandle FakePlatform::German() { return ToHandle(kGerman); }
LayoutHandle FakePlatform::Russian() { return ToHandle(kRussian); }

FakePlatform::FakePlatform() : state_(std::make_unique<State>()), desktop_(NewDesktop()) {}

FakePlatform::~FakePlatform() {
    // The process ends: whatever it still holds goes back to the system.
    for (void* block : state_->blocks) {
        std::free(block);
    }
}

// --- Last error -------------------------------------------------------------------------------

std::uint32_t FakePlatform::LastError() { return state_->lastError; }

void FakePlatform::SetLastError(std::uint32_t code) { state_->lastError = code; }

std::string FakePlatform::SystemMessage(std::uint32_t code) {
    for (const auto& entry : kSystemTexts) {
        if (entry.code == code) {
            return std::string(entry.text) + "\r\n";
        }
    }
    state_->lastError = kErrorMessageNotFound;
    return {};
}

// --- Global memory ----------------------------------------------------------------------------

void* FakePlatform::GlobalAlloc(std::size_t bytes) {
    if (state_->failingAllocations > 0) {
        --state_->failingAllocations;
        state_->lastError = kErrorNotEnoughMemory;
        return nullptr;
    }
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) {
        state_->lastError = kErrorNotEnoughMemory;
        return nullptr;
    }
    state_->blocks.insert(block);
    return block;
}

void* FakePlatform::GlobalFree(void* block) {
    if (block == nullptr) {
        return nullptr;
    }
    const auto found = state_->blocks.find(block);
    if (found == state_->blocks.end()) {
        ++state_->foreignFrees;
        state_->lastError = kErrorInvalidHandle;
        return block;
    }
    state_->blocks.erase(found);
    std::free(block);
    return nullptr;
}

bool FakePlatform::IsGlobalFixedBlock(const void* block) {
    if (state_->blocks.count(const_cast<void*>(block)) != 0) {
        return true;
    }
    state_->lastError = kErrorInvalidHandle;  // GlobalHandle's answer for a stranger
    return false;
}

// --- Locale and resources ---------------------------------------------------------------------

bool FakePlatform::EqualIgnoreCase(const std::string& a, const std::string& b) {
    return state_->Equal(a, b);
}

bool FakePlatform::ComparisonKey(const std::string& text, std::string& key) {
    key.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        key[i] = static_cast<char>(UpperByte(state_->codePage, static_cast<unsigned char>(text[i])));
    }
    return true;
}

std::uint32_t FakePlatform::UserLocale() {
    return state_->codePage == 1251 ? 0x0419 : 0x0409;
}

unsigned FakePlatform::AnsiCodePage() {
    return state_->codePage;
}

// --- Texts of the dialogs -----------------------------------------------------------------------

std::wstring FakePlatform::AnsiToWide(const std::string& text) {
    return Widened(text);
}

std::wstring FakePlatform::Widened(const std::string& text) const {
    std::wstring wide;
    for (char c : text) {
        wide += static_cast<wchar_t>(Decode(state_->codePage, static_cast<unsigned char>(c)));
    }
    return wide;
}

std::string FakePlatform::WideToAnsi(const std::wstring& text) {
    std::string ansi;
    ansi.reserve(text.size());
    for (wchar_t c : text) {
        const int byte = Encode(state_->codePage, static_cast<char32_t>(c));
        ansi += byte < 0 ? '?' : static_cast<char>(byte);
    }
    return ansi;
}

std::wstring FakePlatform::LoadWideText(unsigned id) {
    const auto decoded = state_->texts.find(id);
    if (decoded != state_->texts.end()) {
        return decoded->second;
    }
    bool bundleExists = false;  // string resources come in bundles of sixteen
    for (unsigned i = 0; i < resources::kStringTableSize; ++i) {
        if (resources::kStringTable[i].id != id) {
            bundleExists = bundleExists || resources::kStringTable[i].id / 16 == id / 16;
            continue;
        }
        // The table is UTF-8 of the library's own texts, so it is well formed.
        std::wstring wide;
        const std::string text = resources::kStringTable[i].text;
        for (std::size_t k = 0; k < text.size();) {
            const auto lead = static_cast<unsigned char>(text[k]);
            const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            char32_t c = length == 1 ? lead : lead & (0x7Fu >> length);
            for (std::size_t j = 1; j < length && k + j < text.size(); ++j) {
                c = (c << 6) | (static_cast<unsigned char>(text[k + j]) & 0x3Fu);
            }
            wide += static_cast<wchar_t>(c);
            k += length;
        }
        return state_->texts[id] = wide;
    }
    if (!bundleExists) {
        state_->lastError = kErrorResourceNameNotFound;
    }
    return {};
}

// --- Shell and windows ------------------------------------------------------------------------

WindowHandle FakePlatform::ActiveWindow() { return state_->activeWindow; }

bool FakePlatform::HighContrast() { return state_->highContrast; }

std::intptr_t FakePlatform::ShellOpen(WindowHandle owner, const std::string& file,
                                      const std::string& parameters, int show) {
    state_->shellCalls.push_back({owner, file, parameters, show});
    return state_->shellResult;
}

// --- Atoms -------------------------------------------------------------------------------------

namespace {

// "#123" names the integer atom 123. 0: the name is not of that form; -1: it is, but
// the number is no integer atom (0, or 0xC000 and above).
long IntegerAtom(const std::string& name) {
    if (name.size() < 2 || name[0] != '#' ||
        !std::all_of(name.begin() + 1, name.end(),
                     [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    long value = 0;
    for (std::size_t i = 1; i < name.size() && value < 0x10000; ++i) {
        value = value * 10 + (name[i] - '0');
    }
    return value > 0 && value < kFirstStringAtom ? value : -1;
}

}  // namespace

Atom FakePlatform::AddGlobalAtom(const std::string& name) {
    State& s = *state_;
    if (const long integer = IntegerAtom(name); integer != 0) {
        if (integer < 0) {
            s.lastError = kErrorInvalidParameter;
            return 0;
        }
        return static_cast<Atom>(integer);
    }
    if (name.empty() || name.size() > 255) {
        s.lastError = kErrorInvalidParameter;
        return 0;
    }
    if (const auto found = s.FindAtomEntry(name); found != s.atoms.end()) {
        ++found->second.references;
        return found->first;
    }
    if (s.atoms.size() >= s.atomCapacity) {
        s.lastError = kErrorNotEnoughMemory;
        return 0;
    }
    // The lowest free number: numbers of deleted atoms are given out again.
    unsigned number = kFirstStringAtom;
    for (const auto& entry : s.atoms) {
        if (entry.first != number) {
            break;
        }
        ++number;
    }
    if (number > 0xFFFF) {
        s.lastError = kErrorNotEnoughMemory;
        return 0;
    }
    const auto atom = static_cast<Atom>(number);
    s.atoms[atom] = State::AtomEntry{name, 1};
    return atom;
}

Atom FakePlatform::DeleteGlobalAtom(Atom atom) {
    State& s = *state_;
    if (atom < kFirstStringAtom) {
        return 0;  // integer atoms have nothing to delete
    }
    const auto found = s.atoms.find(atom);
    if (found == s.atoms.end()) {
        s.lastError = kErrorInvalidHandle;
        return atom;
    }
    if (--found->second.references == 0) {
        s.atoms.erase(found);
    }
    return 0;
}

Atom FakePlatform::FindGlobalAtom(const std::string& name) {
    State& s = *state_;
    if (const long integer = IntegerAtom(name); integer != 0) {
        if (integer < 0) {
            s.lastError = kErrorInvalidParameter;
            return 0;
        }
        return static_cast<Atom>(integer);
    }
    const auto found = s.FindAtomEntry(name);
    if (found == s.atoms.end()) {
        s.lastError = kErrorFileNotFound;
        return 0;
    }
    return found->first;
}

// --- Hotkeys ------------------------------------------------------------------------------------

bool FakePlatform::RegisterHotKey(WindowHandle window, int id, unsigned modifiers,
                                  unsigned key) {
    State& s = *state_;
    if (s.refuseNext) {
        s.refuseNext = false;
        s.lastError = s.refusal;
        return false;
    }
    const std::uintptr_t owner = FromHandle(window);
    if (owner != 0 && s.WindowError(owner) != kErrorSuccess) {
        s.lastError = s.WindowError(owner);
        return false;
    }
    if (s.Holding(modifiers, key) != nullptr) {
        s.lastError = kErrorHotkeyAlreadyRegistered;
        return false;
    }
    // A registration under a window and id that already hold a combination is kept
    // beside that one; each holds its combination until unregistered.
    s.hotKeys.push_back({owner != 0 ? State::Holder::Window : State::Holder::Thread, owner,
                         id, modifiers & 0xFu, key});
    return true;
}

bool FakePlatform::UnregisterHotKey(WindowHandle window, int id) {
    State& s = *state_;
    const std::uintptr_t owner = FromHandle(window);
    if (owner != 0 && s.WindowError(owner) != kErrorSuccess) {
        s.lastError = s.WindowError(owner);
        return false;
    }
    // Of two registrations under the same window and id, the newer one goes first.
    for (auto it = s.hotKeys.rbegin(); it != s.hotKeys.rend(); ++it) {
        if (it->holder != State::Holder::OtherProcess && it->window == owner && it->id == id) {
            s.hotKeys.erase(std::next(it).base());
            return true;
        }
    }
    s.lastError = kErrorHotkeyNotRegistered;
    return false;
}

// --- Hidden windows --------------------------------------------------------------------------------

WindowHandle FakePlatform::CreateHiddenWindow(MessageSink* sink) {
    State& s = *state_;
    const std::uintptr_t window = s.nextWindow;
    s.nextWindow += 0x10;
    s.windows[window] = State::Window{sink, s.thread, false};
    return reinterpret_cast<WindowHandle>(window);
}

bool FakePlatform::DestroyHiddenWindow(WindowHandle window) {
    State& s = *state_;
    const auto found = s.windows.find(FromHandle(window));
    if (found == s.windows.end() || found->second.released) {
        s.lastError = kErrorInvalidWindowHandle;
        return false;
    }
    if (found->second.thread == s.thread) {
        s.DestroyWindow(found->first);
        return true;
    }
    // Handed back to the system's procedure, which closes it on its own thread.
    found->second.released = true;
    s.queue.push_back({found->first, kWmClose, 0, 0});
    return true;
}

std::intptr_t FakePlatform::DefaultWindowProc(WindowHandle, std::uint32_t, std::uintptr_t,
                                              std::intptr_t) {
    return 0;
}

// --- Keyboard ---------------------------------------------------------------------------------------

unsigned FakePlatform::MapVirtualKeyCode(unsigned code, unsigned mapType) {
    return MapKey(state_->Active(), code, mapType);
}

unsigned FakePlatform::MapVirtualKeyCodeEx(unsigned code, unsigned mapType, LayoutHandle layout) {
    // The layout's tables are the system's: they answer whether or not this process
    // has the layout in its list.
    const KeyboardLayout* found = FindLayout(FromHandle(layout));
    return found == nullptr ? 0 : MapKey(*found, code, mapType);
}

std::string FakePlatform::KeyNameText(std::int32_t lParam) {
    return FromUtf8(state_->codePage,
                    KeyName(state_->Active(), static_cast<std::uint32_t>(lParam)));
}

LayoutHandle FakePlatform::ThreadLayout() { return ToHandle(state_->activeLayout); }

std::vector<LayoutHandle> FakePlatform::LayoutList(int maxCount) {
    std::vector<LayoutHandle> list;
    for (const std::uintptr_t layout : state_->layouts) {
        if (static_cast<int>(list.size()) >= maxCount) {
            break;
        }
        list.push_back(ToHandle(layout));
    }
    return list;
}

LayoutHandle FakePlatform::LoadLayout(const std::string& id, unsigned flags) {
    ++state_->layoutCalls;
    constexpr unsigned kActivate = 0x1;  // KLF_ACTIVATE
    constexpr unsigned kReorder = 0x8;   // KLF_REORDER
    State& s = *state_;
    // Only the primary layout of a language, "0000LLLL", is modelled.
    const bool hex = id.size() == 8 && std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    });
    const unsigned long klid = hex ? std::strtoul(id.c_str(), nullptr, 16) : 0;
    const std::uintptr_t layout = klid <= 0xFFFF ? (klid << 16) | klid : 0;
    if (FindLayout(layout) == nullptr) {
        s.lastError = kErrorFileNotFound;
        return nullptr;
    }
    if (!s.IsLoaded(layout)) {
        s.layouts.push_back(layout);
        ++s.layoutLoads;
    }
    if ((flags & kReorder) != 0) {
        s.layouts.erase(std::find(s.layouts.begin(), s.layouts.end(), layout));
        s.layouts.insert(s.layouts.begin(), layout);
    }
    if ((flags & (kActivate | kReorder)) != 0) {
        s.activeLayout = layout;
    }
    return ToHandle(layout);
}

LayoutHandle FakePlatform::ActivateLayout(LayoutHandle layout, unsigned) {
    ++state_->layoutCalls;
    constexpr std::uintptr_t kPrevious = 0;  // HKL_PREV
    constexpr std::uintptr_t kNext = 1;      // HKL_NEXT
    State& s = *state_;
    std::uintptr_t target = FromHandle(layout);
    const std::uintptr_t previous = s.activeLayout;
    if (target == kPrevious || target == kNext) {
        const auto at = std::find(s.layouts.begin(), s.layouts.end(), s.activeLayout);
        const auto index = static_cast<std::size_t>(at - s.layouts.begin());
        const std::size_t count = s.layouts.size();
        if (count == 0) {
            s.lastError = kErrorInvalidKeyboardHandle;
            return nullptr;
        }
        target = s.layouts[(target == kNext ? index + 1 : index + count - 1) % count];
    } else if (!s.IsLoaded(target)) {
        s.lastError = kErrorInvalidKeyboardHandle;
        return nullptr;
    }
    s.activeLayout = target;
    return ToHandle(previous);
}

bool FakePlatform::UnloadLayout(LayoutHandle layout) {
    ++state_->layoutCalls;
    State& s = *state_;
    const auto found = std::find(s.layouts.begin(), s.layouts.end(), FromHandle(layout));
    if (found == s.layouts.end()) {
        s.lastError = kErrorInvalidKeyboardHandle;
        return false;
    }
    s.layouts.erase(found);
    ++s.layoutUnloads;
    if (s.activeLayout == FromHandle(layout)) {
        s.activeLayout = s.layouts.empty() ? 0 : s.layouts.front();
    }
    return true;
}

// --- Staging -----------------------------------------------------------------------------------------

void FakePlatform::SetLayouts(const std::vector<LayoutHandle>& layouts, LayoutHandle active) {
    State& s = *state_;
    s.layouts.clear();
    for (LayoutHandle layout : layouts) {
        s.layouts.push_back(FromHandle(layout));
    }
    s.activeLayout = s.IsLoaded(FromHandle(active)) || s.layouts.empty()
                         ? FromHandle(active)
                         : s.layouts.front();
}

void FakePlatform::SetAnsiCodePage(unsigned codePage) {
    state_->codePage = codePage == 1251 ? 1251 : 1252;
}

void FakePlatform::HoldInOtherProcess(unsigned modifiers, unsigned key) {
    state_->hotKeys.push_back({State::Holder::OtherProcess, 0, 0, modifiers & 0xFu, key});
}

void FakePlatform::ReleaseInOtherProcess(unsigned modifiers, unsigned key) {
    auto& hotKeys = state_->hotKeys;
    const auto found = std::find_if(hotKeys.begin(), hotKeys.end(), [&](const auto& hotKey) {
        return hotKey.holder == State::Holder::OtherProcess &&
               hotKey.modifiers == (modifiers & 0xFu) && hotKey.key == key;
    });
    if (found != hotKeys.end()) {
        hotKeys.erase(found);
    }
}

void FakePlatform::SetAtomCapacity(std::size_t capacity) { state_->atomCapacity = capacity; }

void FakePlatform::FailAllocations(int count) { state_->failingAllocations = count; }

void FakePlatform::RefuseNextRegistration(std::uint32_t error) {
    state_->refuseNext = true;
    state_->refusal = error;
}

void FakePlatform::SetActiveWindow(WindowHandle window) { state_->activeWindow = window; }

void FakePlatform::SetHighContrast(bool on) { state_->highContrast = on; }

void FakePlatform::SetShellResult(std::intptr_t result) { state_->shellResult = result; }

void FakePlatform::ResetStaging() {
    static const State fresh;  // the defaults, made once
    state_->failingAllocations = fresh.failingAllocations;
    state_->refuseNext = fresh.refuseNext;
    state_->refusal = fresh.refusal;
    state_->atomCapacity = fresh.atomCapacity;
    state_->thread = fresh.thread;
    state_->activeWindow = fresh.activeWindow;
    state_->shellResult = fresh.shellResult;
    state_->lastError = fresh.lastError;
}

// --- Events -------------------------------------------------------------------------------------------

bool FakePlatform::PressKey(unsigned modifiers, unsigned key) {
    State& s = *state_;
    const State::HotKey* hotKey = s.Holding(modifiers, key);
    if (hotKey == nullptr || hotKey->holder != State::Holder::Window) {
        return false;
    }
    const auto lParam = static_cast<std::intptr_t>((modifiers & 0xFu) | (key << 16));
    s.queue.push_back({hotKey->window, kWmHotKey, static_cast<std::uintptr_t>(hotKey->id),
                       lParam});
    return true;
}

void FakePlatform::PostMessage(WindowHandle window, std::uint32_t message,
                               std::uintptr_t wParam, std::intptr_t lParam) {
    state_->queue.push_back({FromHandle(window), message, wParam, lParam});
}

int FakePlatform::PumpMessages() {
    State& s = *state_;
    int dispatched = 0;
    // A sink may post, register or destroy while it runs: nothing is held across the
    // call. Messages for windows of other threads wait for those threads.
    std::vector<State::Message> waiting;  // no allocation while nothing waits
    while (!s.queue.empty()) {
        const State::Message message = s.queue.front();
        s.queue.pop_front();
        const auto found = s.windows.find(message.window);
        if (found == s.windows.end()) {
            continue;
        }
        if (found->second.thread != s.thread) {
            waiting.push_back(message);
            continue;
        }
        ++dispatched;
        if (found->second.released) {
            if (message.message == kWmClose) {
                s.DestroyWindow(message.window);  // the default handling of WM_CLOSE
            }
        } else if (MessageSink* sink = found->second.sink) {
            sink->HandleMessage(reinterpret_cast<WindowHandle>(message.window),
                                message.message, message.wParam, message.lParam);
        }
    }
    s.queue.insert(s.queue.begin(), waiting.begin(), waiting.end());
    return dispatched;
}

// --- Counters ------------------------------------------------------------------------------------------

std::size_t FakePlatform::LiveBlocks() const { return state_->blocks.size(); }

std::size_t FakePlatform::LiveAtoms() const { return state_->atoms.size(); }

int FakePlatform::AtomReferences(const std::string& name) const {
    const auto found = state_->FindAtomEntry(name);
    return found == state_->atoms.end() ? 0 : found->second.references;
}

std::size_t FakePlatform::Registrations() const {
    return static_cast<std::size_t>(
        std::count_if(state_->hotKeys.begin(), state_->hotKeys.end(), [](const auto& hotKey) {
            return hotKey.holder != State::Holder::OtherProcess;
        }));
}

bool FakePlatform::IsHeld(unsigned modifiers, unsigned key) const {
    return state_->Holding(modifiers, key) != nullptr;
}

std::size_t FakePlatform::LiveWindows() const { return state_->windows.size(); }

std::size_t FakePlatform::SinkWindows() const {
    return static_cast<std::size_t>(
        std::count_if(state_->windows.begin(), state_->windows.end(),
                      [](const auto& window) { return !window.second.released; }));
}

std::size_t FakePlatform::ForeignFrees() const { return state_->foreignFrees; }

void FakePlatform::SetCallingThread(std::uint32_t thread) { state_->thread = thread; }

const std::vector<FakePlatform::ShellCall>& FakePlatform::ShellCalls() const {
    return state_->shellCalls;
}

std::size_t FakePlatform::LayoutLoads() const { return state_->layoutLoads; }

std::size_t FakePlatform::LayoutUnloads() const { return state_->layoutUnloads; }

std::size_t FakePlatform::LayoutCalls() const { return state_->layoutCalls; }

std::vector<std::uint8_t> FakePlatform::LoadRawResource(const std::string& name) {
    // Resource names are compared without regard to case, as FindResource does.
    for (const auto& [stored, bytes] : rawResources_) {
        if (stored.size() == name.size() &&
            std::equal(stored.begin(), stored.end(), name.begin(), [](char a, char b) {
                return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
            })) {
            return bytes;
        }
    }
    return {};
}

void FakePlatform::SetRawResource(const std::string& name, std::vector<std::uint8_t> bytes) {
    for (auto& entry : rawResources_) {
        if (entry.first == name) {
            entry.second = std::move(bytes);
            return;
        }
    }
    rawResources_.emplace_back(name, std::move(bytes));
}

}  // namespace tarvik::platform

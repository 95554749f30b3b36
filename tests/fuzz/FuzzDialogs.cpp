// The seven command editors through lmEditAction and the About box through lmAbout,
// headless, with a scripted user and a host whose every answer comes from the input:
// parameter slots that are null, global blocks or the host's own memory, holding long
// texts, quotes, "[#34]" and code-page bytes; subroutine lists, versions and picks
// handed back in global blocks, as null cells or in the host's own memory; a help file
// that is registered or not, of the wrong type, missing or opening nothing. The user
// types, clicks pickers and hidden buttons, asks for help with F1 and the Help button,
// and ends with OK, Enter, Cancel, Escape or the close box (or goes on acting after
// that). A model of the dialog follows every step: each request reaches the host in the
// order the dialog owes it, each field holds what the user and the host put there; at
// the end every slot is untouched (no OK) or a fresh block with the field's escaped text
// (OK), and nothing the call allocated or opened is left.
//
// The fake, the library's start-up and the view factory are set up once; an input resets
// only what it stages (code page, active window, help file, host, picture).
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/asan_interface.h>
#define TARVIK_FUZZ_POISON_ARRAY 1
#endif
#endif

#include "ForwardingPlatform.h"
#include "FuzzSupport.h"
#include "PluginApi.h"
#include "about/UPluginAboutForm.h"
#include "editors/UPluginActionEditForm.h"
#include "ui/UDialog.h"

namespace tarvik::fuzz {
namespace {

using platform::FakePlatform;
using platform::Utf16Bytes;
using platform::WindowHandle;
using ui::HeadlessDialog;

const char kHelpKey[] = "Software\\Halvenor\\Corvane\\Tarvik";
const wchar_t kHelpFile[] = L"C:\\Help\\Tarvik.chm";
const wchar_t kHelpFolder[] = L"C:\\Help";
// In a folder named in a script neither code page has.
const wchar_t kGreekHelpFile[] = L"C:\\Users\\\x0392\x03BF\x03AE\x03B8\x03B5\x03B9\x03B1\\Tarvik.chm";
const char kMissingHelp[] = "Missing help file: maybe you need a plugin reinstallation?";
const char kNeedsVersion5[] = "Sorry, this feature need Lumora version 5 or later";
using ui::kVkEscape;
using ui::kVkF1;
constexpr int kEditorOk = 1;
// The steps of one user: enough to load, pick, type, ask for help, end and go on acting.
constexpr int kMostSteps = 24;

// The editors: the command, its name (the help topic) and its parameter count. The
// fields run top to bottom in parameter order.
struct Editor {
    std::int32_t number;
    const char* topic;
    std::size_t parameters;
};
const Editor kEditors[] = {{1, "TarvikAdd", 2},        {2, "TarvikChange", 3},
                           {3, "TarvikRemove", 2},     {4, "TarvikRemoveById", 2},
                           {6, "TarvikIsValid", 2},    {7, "TarvikIsAvailable", 2},
                           {8, "tvOnKeyPress", 3}};
const std::int32_t kWithoutEditor[] = {5, 0, 9, -1, -2, 1000, INT32_MIN, INT32_MAX};

const char* const kSlotTexts[] = {
    "Ctrl+Alt+F5", "HK", "", " ", "\"", "say \"hi\"", "[#34]", "already [#34]x[#34]", "[#3",
    "\"\"\"", "\xCF\xF0\xE8\xE2\xE5\xF2", "\x80\x81\x8D\x98\xA0\xFF", "Main", " Main ", "a|b",
};
const wchar_t* const kTypedTexts[] = {
    L"", L"\"", L"[#34]", L"say \"hi\" \"", L"Ctrl+Alt+F5", L"\x041A\x043B\x044E\x0447",
    L"\x20AC\x0098\x00E9", L"\x4E2D\x6587", L"  ",
};
// What a byte that is no printable ASCII character types.
const wchar_t kOtherCharacters[] = L"\"[]#\x0410\x044F\x0401\x0451\x20AC\x00A0\x0098\x0081"
                                   L"\x00E9\x00FF\x4E2D\xFFFD\x2116\t";
const char* const kVersions[] = {"5.0", "4.2", "10.1", "5", "4", "", "abc", "05.0", "0", " 5"};
const char* const kSubroutines[] = {"Main", "OnHotkey", " Sub ", "\xCF\xF0\xE8", "a\"b", "", "main"};
const char* const kLineBreaks[] = {"\r", "\r\n", "\n", "\r\r", " \r "};

std::string UpToZero(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

// The text a registry value of UTF-16LE bytes holds: up to its first zero, an odd last
// byte left out.
std::wstring Utf16UpToZero(const std::vector<unsigned char>& bytes) {
    std::wstring text;
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
        const auto unit = static_cast<wchar_t>(bytes[at] | bytes[at + 1] << 8);
        if (unit == L'\0') {
            break;
        }
        text += unit;
    }
    return text;
}

std::string Escaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        escaped += c == '"' ? std::string("[#34]") : std::string(1, c);
    }
    return escaped;
}

// Whether a version text begins with a number of 5 or more.
bool Version5(const std::string& version) {
    std::size_t at = 0;
    while (at + 1 < version.size() && version[at] == '0' && version[at + 1] >= '0' &&
           version[at + 1] <= '9') {
        ++at;
    }
    std::size_t end = at;
    while (end < version.size() && version[end] >= '0' && version[end] <= '9') {
        ++end;
    }
    return end - at > 1 || (end - at == 1 && version[at] >= '5');
}

// A host list: split at carriage returns, blanks (codes 0 to 32) trimmed, empty lines gone.
std::vector<std::string> ListOf(const std::string& reply) {
    std::vector<std::string> list;
    std::size_t start = 0;
    while (start <= reply.size()) {
        std::size_t end = reply.find('\r', start);
        if (end == std::string::npos) {
            end = reply.size();
        }
        std::size_t first = start;
        std::size_t last = end;
        while (first < last && static_cast<unsigned char>(reply[first]) <= 32) ++first;
        while (last > first && static_cast<unsigned char>(reply[last - 1]) <= 32) --last;
        if (last > first) {
            list.push_back(reply.substr(first, last - first));
        }
        start = end + 1;
    }
    return list;
}

// --- The platform: the fake, with the dialogs' desktop services answered per input ------

class DialogPlatform final : public test_support::ForwardingPlatform {
public:
    using ForwardingPlatform::ForwardingPlatform;

    enum class HelpKey { Absent, WithoutValue, WithValue };
    struct HelpCall {
        WindowHandle caller;
        std::wstring file;
        unsigned command;
        std::uintptr_t data;
    };

    // What one input stages.
    HelpKey helpKey = HelpKey::Absent;
    const platform::RegistryValue* helpValue = nullptr;
    bool viewerOpens = false;
    const std::vector<std::uint8_t>* picture = nullptr;
    // What the library did during one input.
    std::vector<void*> freed;
    std::vector<HelpCall> helpCalls;
    std::vector<platform::FakePlatform::ShellCall> shellCalls;
    int choosers = 0;

    void Reset() {
        freed.clear();
        helpCalls.clear();
        shellCalls.clear();
        choosers = 0;
    }

    void* GlobalFree(void* block) override {
        freed.push_back(block);
        return os.GlobalFree(block);
    }
    platform::UniqueRegistryKey OpenRegistryKey(const std::wstring& path, std::uint32_t access,
                                                std::uint32_t& error) override {
        if (helpKey == HelpKey::Absent) {
            error = 2;  // ERROR_FILE_NOT_FOUND
            return {};
        }
        return os.OpenRegistryKey(path, access, error);
    }
    // The fake holds the value under the key and checks the handle and the name; what it
    // holds is the input's.
    bool QueryRegistryValue(platform::RegistryKey key, const std::wstring& name,
                            platform::RegistryValue& value) override {
        if (!os.QueryRegistryValue(key, name, value) || helpKey != HelpKey::WithValue) {
            return false;
        }
        value = *helpValue;
        return true;
    }
    // The viewer's calls are answered here, so that the fake's record of them does not
    // grow from input to input.
    WindowHandle HtmlHelp(WindowHandle caller, const std::wstring& file, unsigned command,
                          std::uintptr_t data) override {
        helpCalls.push_back({caller, file, command, data});
        return viewerOpens ? reinterpret_cast<WindowHandle>(std::uintptr_t{0x4848}) : nullptr;
    }
    std::intptr_t ShellOpen(WindowHandle owner, const std::string& file,
                            const std::string& parameters, int show) override {
        shellCalls.push_back({owner, file, parameters, show});
        return shellCalls.size() % 2 == 0 ? 42 : 2;  // opened, or no program for it
    }
    bool ChooseFiles(WindowHandle, bool, platform::FileChoice&) override {
        ++choosers;
        return false;
    }
    bool BrowseForFolder(WindowHandle, const std::wstring&, std::wstring&) override {
        ++choosers;
        return false;
    }
    // The string table is the library's and the same for every input: each entry is
    // decoded once (the fake decodes it afresh on every call, a good part of a dialog's
    // cost here).
    std::wstring LoadWideText(unsigned id) override {
        for (const auto& entry : wideTexts_) {
            if (entry.first == id) {
                return entry.second;
            }
        }
        wideTexts_.emplace_back(id, os.LoadWideText(id));
        return wideTexts_.back().second;
    }
    // The code page's conversions, from tables made once per code page out of the fake's
    // own (which searches its table for every character).
    std::wstring AnsiToWide(const std::string& text) override {
        const Conversion& table = TableOf(os.AnsiCodePage());
        std::wstring wide(text.size(), L'\0');
        for (std::size_t i = 0; i < text.size(); ++i) {
            wide[i] = table.wide[static_cast<unsigned char>(text[i])];
        }
        return wide;
    }
    std::string WideToAnsi(const std::wstring& text) override {
        const Conversion& table = TableOf(os.AnsiCodePage());
        std::string ansi(text.size(), '\0');
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto c = static_cast<std::uint32_t>(text[i]);
            ansi[i] = c < table.ansi.size() ? table.ansi[c] : '?';
        }
        return ansi;
    }
    std::vector<std::uint8_t> LoadRawResource(const std::string&) override {
        return picture != nullptr ? *picture : std::vector<std::uint8_t>();
    }

private:
    struct Conversion {
        unsigned codePage = 0;
        std::wstring wide;  // by byte
        std::string ansi;   // by UTF-16 unit: the byte, or '?' for none
    };
    const Conversion& TableOf(unsigned codePage) {
        for (const Conversion& table : conversions_) {
            if (table.codePage == codePage) {
                return table;
            }
        }
        Conversion table;
        table.codePage = codePage;
        std::string bytes(256, '\0');
        for (std::size_t b = 0; b < 256; ++b) {
            bytes[b] = static_cast<char>(b);
        }
        table.wide = os.AnsiToWide(bytes);
        Require(table.wide.size() == 256, "the fake's code page does not map every byte");
        std::wstring units(0x10000, L'\0');
        for (std::size_t c = 0; c < units.size(); ++c) {
            units[c] = static_cast<wchar_t>(c);
        }
        table.ansi = os.WideToAnsi(units);
        Require(table.ansi.size() == units.size(), "the fake's code page does not map every character");
        conversions_.push_back(std::move(table));
        return conversions_.back();
    }

    std::vector<std::pair<unsigned, std::wstring>> wideTexts_;
    std::vector<Conversion> conversions_;
};

// --- One input ------------------------------------------------------------------------------

// A request as the host received it: the text its cell held on arrival (picker, message)
// and the text the library is to take from the answer (list, version, picker).
struct Request {
    std::int32_t code;
    std::string cellText;
    std::string answer;
};

enum class HelpOutcome { Missing, ViewerFails, Opens, TypeError };

class Session;
Session* session = nullptr;
int liveViews = 0;
void TARVIK_CALL InterfaceAccess(std::int32_t code, char** cell);

class Session {
public:
    Session(FuzzedDataProvider& input, FakePlatform& fake, DialogPlatform& os,
            const std::vector<std::uint8_t>& picture)
        : input_(input), fake_(fake), os_(os), realPicture_(picture) {}

    void Run();
    void Act(HeadlessDialog& dialog);
    void Access(std::int32_t code, char** cell);

private:
    // Staging.
    void StageHelp();
    std::string SlotText();
    std::wstring TypedText();
    char* Own(const std::string& text);
    char* HostBlock(const std::string& text);
    // The user's steps and what each must do.
    void EditorStep(HeadlessDialog& dialog);
    void AboutStep(HeadlessDialog& dialog);
    void Click(HeadlessDialog& dialog, int id);
    void ReleaseKey(HeadlessDialog& dialog, unsigned key);
    void Type(HeadlessDialog& dialog, int id, const std::wstring& text);
    void Ended(int result);
    void EndBy(HeadlessDialog& dialog, void (HeadlessDialog::*action)(), int result);
    void ExpectHelp(const std::string& topic);
    void ExpectMessage(const std::string& text);
    void ExpectPick(HeadlessDialog& dialog, std::size_t field);
    const Request& Next(std::int32_t code, const char* what);
    void CheckStep(HeadlessDialog& dialog);
    void CheckFields(HeadlessDialog& dialog);
    // After the call.
    void CheckSlots(std::int32_t answer);
    void CheckHostMemory();

    FuzzedDataProvider& input_;
    FakePlatform& fake_;
    DialogPlatform& os_;
    const std::vector<std::uint8_t>& realPicture_;

    bool interface_ = true;
    WindowHandle active_ = nullptr;
    HelpOutcome help_ = HelpOutcome::Missing;
    std::wstring helpFile_;
    std::vector<std::uint8_t> picture_;
    platform::RegistryValue helpValue_;

    const Editor* editor_ = nullptr;  // null: the About box or a number without an editor
    bool about_ = false;
    std::vector<char*> before_;            // the slots as the host filled them
    std::vector<std::string> slotTexts_;   // what they held
    std::vector<bool> slotIsBlock_;
    std::unique_ptr<char*[]> slots_;
    std::deque<std::string> own_, ownCopies_;  // the host's own memory, and what it held

    std::vector<Request> requests_;
    std::size_t checked_ = 0;       // requests the model has accounted for
    std::size_t helpChecked_ = 0;   // help viewer calls likewise
    std::vector<DialogPlatform::HelpCall> expectedHelp_;
    std::vector<std::string> expectedShell_;
    std::size_t errors_ = 0;

    int shown_ = 0;
    bool ended_ = false;
    int result_ = 0;
    std::vector<int> fieldIds_;
    std::vector<std::wstring> fields_;  // the model of every field
    std::vector<std::string> handedBack_;  // on OK: what each slot must then hold
    std::wstring website_, support_;
};

char* Session::Own(const std::string& text) {
    own_.push_back(text);
    ownCopies_.push_back(text);
    return &own_.back()[0];
}

char* Session::HostBlock(const std::string& text) {
    auto* block = static_cast<char*>(fake_.GlobalAlloc(text.size() + 1));
    Require(block != nullptr, "the fake refused a host block");
    std::memcpy(block, text.c_str(), text.size() + 1);
    return block;
}

std::string Session::SlotText() {
    switch (input_.ConsumeIntegralInRange(0, 3)) {
        case 0:
        case 1:
            return input_.PickValueInArray(kSlotTexts);
        case 2: {
            // A long text: a pooled one over and over, up to some thousand bytes.
            const std::string piece = std::string(input_.PickValueInArray(kSlotTexts)) + "x";
            const std::size_t length = input_.ConsumeIntegralInRange<std::size_t>(256, 2048);
            std::string text;
            while (text.size() < length) {
                text += piece;
            }
            return text;
        }
        default:
            return input_.ConsumeRandomLengthString(48);
    }
}

std::wstring Session::TypedText() {
    if (input_.ConsumeBool()) {
        return input_.PickValueInArray(kTypedTexts);
    }
    const std::string bytes = input_.ConsumeRandomLengthString(40);
    std::wstring text;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += b >= 0x20 && b < 0x7F ? static_cast<wchar_t>(b)
                                      : kOtherCharacters[b % (std::size(kOtherCharacters) - 1)];
    }
    if (!bytes.empty() && bytes[0] == '~') {  // a long one
        const std::wstring piece = text;
        while (text.size() < 1500) {
            text += piece;
        }
    }
    return text;
}

void Session::StageHelp() {
    // Which help file the registry names, and what the viewer does with it.
    std::vector<unsigned char> data;
    std::uint32_t type = platform::kRegSz;
    auto text = [&](const std::wstring& value) {
        data = Utf16Bytes(value + L'\0');
    };
    os_.helpKey = DialogPlatform::HelpKey::WithValue;
    os_.viewerOpens = input_.ConsumeBool();
    switch (input_.ConsumeIntegralInRange(0, 10)) {
        case 0: os_.helpKey = DialogPlatform::HelpKey::Absent; break;
        case 1: os_.helpKey = DialogPlatform::HelpKey::WithoutValue; break;
        case 2: case 3: text(kHelpFile); break;
        case 4: text(L"c:\\help\\TARVIK.CHM"); type = platform::kRegExpandSz; break;
        case 5: text(kHelpFolder); break;
        case 6: text(L"C:\\Missing\\Tarvik.chm"); break;
        case 9: text(kGreekHelpFile); break;
        case 7: data = {1, 0, 0, 0}; type = platform::kRegDword; break;
        case 8: type = platform::kRegBinary; break;  // no bytes: read as an empty text
        default: {
            const std::string bytes = input_.ConsumeRandomLengthString(24);
            data.assign(bytes.begin(), bytes.end());
            type = input_.ConsumeIntegralInRange<std::uint32_t>(0, 4);
            break;
        }
    }
    helpValue_ = platform::RegistryValue{type, data};
    os_.helpValue = &helpValue_;

    help_ = HelpOutcome::Missing;
    if (os_.helpKey != DialogPlatform::HelpKey::WithValue || data.empty()) {
        return;
    }
    if (type != platform::kRegSz && type != platform::kRegExpandSz) {
        help_ = HelpOutcome::TypeError;
        return;
    }
    helpFile_ = Utf16UpToZero(data);
    const std::uint32_t attributes = helpFile_.empty() ? platform::kInvalidFileAttributes
                                                       : fake_.FileAttributes(helpFile_);
    if (attributes != platform::kInvalidFileAttributes &&
        (attributes & platform::kFileAttributeDirectory) == 0) {
        help_ = os_.viewerOpens ? HelpOutcome::Opens : HelpOutcome::ViewerFails;
    }
}

void Session::Run() {
    const auto flags = input_.ConsumeIntegral<std::uint8_t>();
    fake_.SetAnsiCodePage(CodePageOf(flags));
    interface_ = (flags & 0x06) != 0;  // one input in four: the host gave no interface access
    lmRegisterInterfaceAccess(interface_ ? &InterfaceAccess : nullptr);
    active_ = (flags & 0x08) != 0 ? nullptr
                                  : reinterpret_cast<WindowHandle>(std::uintptr_t{0x10010} + (flags >> 4));
    fake_.SetActiveWindow(active_);
    StageHelp();

    const int choice = input_.ConsumeIntegralInRange(0, 10);
    std::int32_t number = 0;
    bool nullArray = false;
    if (choice < 7) {
        editor_ = &kEditors[choice];
        number = editor_->number;
        nullArray = input_.ConsumeIntegralInRange(0, 15) == 0;
    } else if (choice < 9) {
        about_ = true;
        // Mostly no picture: decoding the real one costs more than the rest of the box.
        switch (input_.ConsumeIntegralInRange(0, 7)) {
            case 0: picture_ = realPicture_; break;
            case 1: picture_.assign(realPicture_.begin(),
                                    realPicture_.begin() + static_cast<std::ptrdiff_t>(
                                        input_.ConsumeIntegralInRange<std::size_t>(0, realPicture_.size())));
                    break;
            default: break;  // no picture in the library
        }
        os_.picture = &picture_;
    } else {
        number = input_.PickValueInArray(kWithoutEditor);
        nullArray = input_.ConsumeBool();
    }

    // The host's parameter array: exactly the command's slots, so that reading past them
    // is an overflow. A number without an editor gets an array that must not be read.
    const std::size_t count = editor_ != nullptr ? editor_->parameters : 4;
    slots_.reset(new char*[count]);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string text = SlotText();
        const int kind = input_.ConsumeIntegralInRange(0, 3);
        slots_[i] = kind == 0 ? nullptr : kind == 3 ? Own(text) : HostBlock(text);
        slotTexts_.push_back(kind == 0 ? std::string() : UpToZero(text));
        slotIsBlock_.push_back(kind == 1 || kind == 2);
        before_.push_back(slots_[i]);
    }

    session = this;
    std::int32_t answer = 0;
    if (about_) {
        lmAbout();
    } else {
#if defined(TARVIK_FUZZ_POISON_ARRAY)
        const bool poison = editor_ == nullptr && !nullArray;
        if (poison) {
            ASAN_POISON_MEMORY_REGION(slots_.get(), count * sizeof(char*));
        }
#endif
        answer = lmEditAction(number, nullArray ? nullptr : slots_.get());
#if defined(TARVIK_FUZZ_POISON_ARRAY)
        if (poison) {
            ASAN_UNPOISON_MEMORY_REGION(slots_.get(), count * sizeof(char*));
        }
#endif
    }
    session = nullptr;
    lmRegisterInterfaceAccess(nullptr);

    const bool opens = about_ || (editor_ != nullptr && !nullArray);
    Require(shown_ == (opens ? 1 : 0), opens ? "the dialog was not shown once" : "a dialog for a number without an editor");
    if (opens && !ended_) {
        Ended(about_ ? kEditorOk : ui::kMrCancel);  // the user left: the close box
    }
    Require(liveViews == 0, "a dialog outlived its call");
    Require(checked_ == requests_.size(), "a request after the user had left");
    CheckSlots(answer);
    CheckHostMemory();
}

void Session::Access(std::int32_t code, char** cell) {
    Require(cell != nullptr, "a request without a cell");
    Request request{code, {}, {}};
    switch (code) {
        case 5:
        case 6: {
            Require(*cell == nullptr, "a list or version request with a filled cell");
            std::string reply;
            if (input_.ConsumeBool()) {
                reply = input_.ConsumeRandomLengthString(48);
            } else if (code == 6) {
                reply = input_.PickValueInArray(kVersions);
            } else {
                for (int n = input_.ConsumeIntegralInRange(0, 4); n > 0; --n) {
                    reply += std::string(input_.PickValueInArray(kSubroutines)) +
                             input_.PickValueInArray(kLineBreaks);
                }
                reply += input_.PickValueInArray(kSubroutines);
            }
            switch (input_.ConsumeIntegralInRange(0, 2)) {
                case 0: *cell = HostBlock(reply); request.answer = UpToZero(reply); break;
                case 1: break;  // no reply
                default: *cell = Own(reply); request.answer = UpToZero(reply); break;
            }
            break;
        }
        case 9: {
            Require(*cell != nullptr && fake_.IsGlobalFixedBlock(*cell),
                    "a message that is not in a block of the library's");
            request.cellText = *cell;
            // The host may take the block and leave something else in the cell.
            const int mode = input_.ConsumeIntegralInRange(0, 3);
            if (mode != 0) {
                fake_.GlobalFree(*cell);
                *cell = mode == 1 ? nullptr : mode == 2 ? Own("the host's") : HostBlock("the host's");
            }
            break;
        }
        case 14: {
            Require(*cell != nullptr, "a picker request with a null cell");
            request.cellText = *cell;
            switch (input_.ConsumeIntegralInRange(0, 2)) {
                case 0: request.answer = request.cellText; break;  // left unchanged
                case 1: *cell = nullptr; break;
                default: {
                    const std::string pick = input_.ConsumeBool() ? input_.ConsumeRandomLengthString(32)
                                                                  : std::string(input_.PickValueInArray(kSlotTexts));
                    *cell = Own(pick);
                    request.answer = UpToZero(pick);
                    break;
                }
            }
            break;
        }
        default:
            Finding("request " + std::to_string(code) + ", which no dialog of this library sends");
    }
    requests_.push_back(std::move(request));
}

void TARVIK_CALL InterfaceAccess(std::int32_t code, char** cell) {
    Require(session != nullptr, "a request outside a dialog's call");
    session->Access(code, cell);
}

// --- The user ----------------------------------------------------------------------------------

void Session::Act(HeadlessDialog& dialog) {
    ++shown_;
    Require(shown_ == 1, "a second dialog within one call");
    Require(about_ || editor_ != nullptr, "a dialog for a number without an editor");
    const ui::DialogSpec& spec = dialog.Spec();
    if (about_) {
        Require(requests_.empty(), "the About box asked the host something as it opened");
        website_ = dialog.Text(about::kAboutWebsite);
        support_ = dialog.Text(about::kAboutEmail);
        Require(dialog.Focus() == about::kAboutOk, "the About box opened without the focus on OK");
    } else {
        // The fields, top to bottom: one per parameter, each with its variables button
        // beside it and (variable frames) the hidden object and file buttons.
        for (const ui::ControlRow& row : spec.controls) {
            if (row.kind == ui::ControlKind::Edit || row.kind == ui::ControlKind::Combo) {
                fieldIds_.push_back(row.id);
            }
        }
        Require(fieldIds_.size() == editor_->parameters, "an editor with a field per parameter too many or few");
        for (const ui::ControlRow& row : spec.controls) {
            if (row.kind != ui::ControlKind::FlatButton) {
                continue;
            }
            bool variables = false;
            for (const int field : fieldIds_) {
                variables = variables || row.id == field + 1;
            }
            Require(row.visible == variables, "a picker other than the variables button is visible");
        }
        for (std::size_t i = 0; i < fieldIds_.size(); ++i) {
            fields_.push_back(os_.AnsiToWide(slotTexts_[i]));
            Require(dialog.Text(fieldIds_[i]) == fields_[i], "a field does not show its parameter as it came");
        }
        Require(dialog.Focus() == fieldIds_[0] && dialog.AllSelected(fieldIds_[0]),
                "the editor opened without the focus on its top field, all of it selected");
        // tvOnKeyPress lists the host's subroutines once, as it opens; nothing else asks.
        std::vector<std::wstring> items;
        if (editor_->number == 8 && interface_) {
            for (const std::string& name : ListOf(Next(5, "the subroutine list was not asked for").answer)) {
                items.push_back(os_.AnsiToWide(name));
            }
        }
        Require(checked_ == requests_.size(), "an editor asked the host more than its list as it opened");
        Require(dialog.Items(fieldIds_[0]) == items, "the subroutine list is not the host's");
    }
    for (int step = 0; step < kMostSteps && input_.remaining_bytes() > 0; ++step) {
        if (about_) {
            AboutStep(dialog);
        } else {
            EditorStep(dialog);
        }
        CheckStep(dialog);
    }
    CheckFields(dialog);
}

void Session::EditorStep(HeadlessDialog& dialog) {
    const std::size_t field = input_.ConsumeIntegralInRange<std::size_t>(0, fieldIds_.size() - 1);
    switch (input_.ConsumeIntegralInRange(0, 15)) {
        case 0: case 1: case 2:
            Type(dialog, fieldIds_[field], TypedText());
            break;
        case 3: case 4: case 5:
            Click(dialog, fieldIds_[field] + 1);  // its variables button
            break;
        case 6:  // anything: a field, a hidden button, an id nobody has
            Click(dialog, fieldIds_[field] + input_.ConsumeIntegralInRange(-2, 4));
            break;
        case 7: ReleaseKey(dialog, kVkF1); break;
        case 8: Click(dialog, editors::kBtnHelp); break;
        case 9: ReleaseKey(dialog, input_.ConsumeIntegral<std::uint8_t>()); break;
        case 10: EndBy(dialog, &HeadlessDialog::PressEnter, ui::kMrOk); break;
        case 11: Click(dialog, editors::kBtnOk); break;
        case 12: EndBy(dialog, &HeadlessDialog::PressEscape, ui::kMrCancel); break;
        case 13: Click(dialog, editors::kBtnCancel); break;
        case 14: EndBy(dialog, &HeadlessDialog::CloseBox, ui::kMrCancel); break;
        default:  // typing into something that is no field
            Type(dialog, input_.PickValueInArray({editors::kBtnOk, editors::kBtnHelp, fieldIds_[field] + 1, 0}),
                 TypedText());
            break;
    }
}

void Session::AboutStep(HeadlessDialog& dialog) {
    const int ids[] = {about::kAboutOk,   about::kAboutHelp,    about::kAboutHint,
                       about::kAboutThirdparty, about::kAboutWebsite, about::kAboutEmail,
                       about::kAboutEscape, 0, 100};
    switch (input_.ConsumeIntegralInRange(0, 11)) {
        case 0: case 1: case 2: case 3:
            Click(dialog, input_.PickValueInArray(ids));
            break;
        case 4: ReleaseKey(dialog, kVkF1); break;
        case 5: ReleaseKey(dialog, input_.ConsumeIntegral<std::uint8_t>()); break;
        case 6: ReleaseKey(dialog, kVkEscape); break;
        case 7:
            Type(dialog, input_.PickValueInArray(ids), TypedText());
            break;
        case 8: case 9:
            // OK is the box's default and its cancel button alike.
            EndBy(dialog, input_.ConsumeBool() ? &HeadlessDialog::PressEnter : &HeadlessDialog::PressEscape,
                  kEditorOk);
            break;
        default: EndBy(dialog, &HeadlessDialog::CloseBox, kEditorOk); break;
    }
}

// Enter, Escape or the close box: the dialog ends with `result` unless it had ended.
void Session::EndBy(HeadlessDialog& dialog, void (HeadlessDialog::*action)(), int result) {
    const bool open = !ended_;
    (dialog.*action)();
    if (open) {
        Ended(result);
    }
}

void Session::Type(HeadlessDialog& dialog, int id, const std::wstring& text) {
    dialog.Type(id, text);
    if (ended_) {
        return;  // nobody types into a dialog that has gone
    }
    for (std::size_t i = 0; i < fieldIds_.size(); ++i) {
        if (fieldIds_[i] == id) {
            fields_[i] = text;
        }
    }
}

void Session::Click(HeadlessDialog& dialog, int id) {
    bool clickable = false;
    for (const ui::ControlRow& row : dialog.Spec().controls) {
        clickable = clickable || (row.id == id && row.visible);
    }
    const bool acted = dialog.Click(id);
    Require(acted == (clickable && !ended_), acted ? "a click acted on a closed dialog or a hidden control"
                                                    : "a click on a visible control of an open dialog did nothing");
    if (!acted) {
        return;
    }
    if (about_) {
        switch (id) {
            case about::kAboutOk: Ended(kEditorOk); break;
            case about::kAboutHelp: ExpectHelp("about"); break;
            case about::kAboutHint:
            case about::kAboutThirdparty:
                ExpectHelp(id == about::kAboutHint ? "about" : "thirdparty");
                Require(dialog.Focus() == about::kAboutOk, "a memo kept the focus after its help");
                break;
            case about::kAboutWebsite: expectedShell_.push_back(os_.WideToAnsi(website_)); break;
            case about::kAboutEmail: expectedShell_.push_back("mailto:" + os_.WideToAnsi(support_)); break;
            default: break;
        }
        return;
    }
    if (id == editors::kBtnOk) {
        Ended(ui::kMrOk);
    } else if (id == editors::kBtnCancel) {
        Ended(ui::kMrCancel);
    } else if (id == editors::kBtnHelp) {
        ExpectHelp(editor_->topic);
    } else {
        for (std::size_t i = 0; i < fieldIds_.size(); ++i) {
            if (id == fieldIds_[i] + 1) {
                ExpectPick(dialog, i);
            }
        }
    }
}

void Session::ReleaseKey(HeadlessDialog& dialog, unsigned key) {
    dialog.ReleaseKey(key);
    if (ended_) {
        return;
    }
    if (key == kVkF1) {
        ExpectHelp(about_ ? "about" : editor_->topic);
    } else if (about_ && key == kVkEscape) {
        Ended(kEditorOk);
    }
}

void Session::Ended(int result) {
    ended_ = true;
    result_ = result;
    if (result == ui::kMrOk && editor_ != nullptr) {
        // Closing with OK writes every double quote of every field as [#34].
        for (std::wstring& field : fields_) {
            handedBack_.push_back(Escaped(os_.WideToAnsi(field)));
            field = os_.AnsiToWide(handedBack_.back());
        }
    }
}

void Session::ExpectHelp(const std::string& topic) {
    if (help_ == HelpOutcome::TypeError) {
        ++errors_;  // the registry's error, shown by the dialog
        return;
    }
    if (help_ == HelpOutcome::Opens || help_ == HelpOutcome::ViewerFails) {
        expectedHelp_.push_back({active_, helpFile_ + L"::\\index.html#" + std::wstring(topic.begin(), topic.end()),
                                 platform::kHhDisplayTopic, 0});
    }
    if (help_ != HelpOutcome::Opens) {
        ExpectMessage(kMissingHelp);
    }
}

void Session::ExpectMessage(const std::string& text) {
    if (interface_) {
        Require(Next(9, "a message did not reach the host").cellText == text, "a message that is not the dialog's");
    }
}

void Session::ExpectPick(HeadlessDialog& dialog, std::size_t field) {
    if (interface_) {
        // The version first; a host older than 5 gets the message instead of the picker.
        if (Version5(Next(6, "a picker did not ask the host's version first").answer)) {
            const Request& pick = Next(14, "the variable picker was not asked for");
            Require(pick.cellText == os_.WideToAnsi(fields_[field]), "the picker did not start from the field's text");
            if (!pick.answer.empty()) {
                fields_[field] = os_.AnsiToWide(pick.answer);
            }
        } else {
            ExpectMessage(kNeedsVersion5);
        }
    }
    Require(dialog.Focus() == fieldIds_[field] && dialog.AllSelected(fieldIds_[field]),
            "a picker left its field without the focus or the selection");
    Require(dialog.Text(fieldIds_[field]) == fields_[field], "a pick did not enter the host's answer as it should");
}

const Request& Session::Next(std::int32_t code, const char* what) {
    Require(checked_ < requests_.size() && requests_[checked_].code == code, what);
    return requests_[checked_++];
}

void Session::CheckStep(HeadlessDialog& dialog) {
    Require(checked_ == requests_.size(), "a request the dialog did not owe the host, or out of order");
    Require(os_.helpCalls.size() == expectedHelp_.size(), "the help viewer was called where it should not, or not");
    for (; helpChecked_ < expectedHelp_.size(); ++helpChecked_) {
        const auto& call = os_.helpCalls[helpChecked_];
        const auto& expected = expectedHelp_[helpChecked_];
        Require(call.caller == expected.caller && call.file == expected.file &&
                    call.command == expected.command && call.data == expected.data,
                [&] { return "the help viewer was not asked for the dialog's topic: " + os_.WideToAnsi(call.file); });
    }
    Require(os_.shellCalls.size() == expectedShell_.size(), "a link opened something else or nothing");
    for (std::size_t i = 0; i < expectedShell_.size(); ++i) {
        const auto& call = os_.shellCalls[i];
        Require(call.file == expectedShell_[i] && call.parameters.empty() && call.show == 1 &&
                    call.owner == active_,
                [&] { return "a link opened " + call.file; });
    }
    Require(dialog.Errors().size() == errors_, "a registry error was not shown, or one that was not there");
    Require(dialog.Ended() == ended_, ended_ ? "the dialog did not end" : "the dialog ended unasked");
    Require(os_.choosers == 0, "a file or folder chooser opened from a hidden button");
}

void Session::CheckFields(HeadlessDialog& dialog) {
    for (std::size_t i = 0; i < fieldIds_.size(); ++i) {
        Require(dialog.Text(fieldIds_[i]) == fields_[i],
                ended_ ? "a field changed after the dialog closed" : "a field does not hold what the user and the host put there");
    }
}

// --- After the call -------------------------------------------------------------------------

void Session::CheckSlots(std::int32_t answer) {
    const bool ok = editor_ != nullptr && result_ == ui::kMrOk;
    Require(answer == (ok ? 1 : 0), "lmEditAction's answer is not the dialog's");
    const auto released = [&](const void* block) {
        std::size_t times = 0;
        for (const void* freed : os_.freed) {
            times += freed == block ? 1 : 0;
        }
        return times;
    };
    for (std::size_t i = 0; i < before_.size(); ++i) {
        char* const slot = slots_[i];
        if (ok) {
            // A fresh block with the escaped field; the old block released once.
            Require(slot != nullptr && fake_.IsGlobalFixedBlock(slot), "a slot after OK without a block of its own");
            Require(handedBack_[i] == slot, "a slot after OK does not hold the field's escaped text");
            Require(released(before_[i]) == (slotIsBlock_[i] ? 1u : 0u), "a slot's old block was not released once");
        } else {
            Require(slot == before_[i] && released(slot) == 0, "a slot changed without OK");
            Require(slot == nullptr || UpToZero(slot) == slotTexts_[i], "a slot's text changed without OK");
        }
        if (slot != nullptr && fake_.IsGlobalFixedBlock(slot)) {
            fake_.GlobalFree(slot);  // the host is done with it
        }
    }
}

void Session::CheckHostMemory() {
    for (std::size_t i = 0; i < own_.size(); ++i) {
        Require(own_[i] == ownCopies_[i], "the library wrote into the host's own memory");
    }
}

// --- Set up once ---------------------------------------------------------------------------

class FuzzDialog final : public HeadlessDialog {
public:
    FuzzDialog(const ui::DialogSpec& spec, ui::DialogEvents& events) : HeadlessDialog(spec, events) {
        ++liveViews;
    }
    ~FuzzDialog() override { --liveViews; }
    int RunModal() override {
        Open();
        if (session != nullptr) {
            session->Act(*this);
        }
        if (!Ended()) {
            CloseBox();  // the user went away
        }
        return HeadlessDialog::RunModal();
    }
};

void TARVIK_CALL SetVariable(const char*, const char*) {
    Finding("a dialog set a host variable");
}
void TARVIK_CALL ScriptLine(const char*) {
    Finding("a dialog sent a script line");
}

struct World {
    FakePlatform fake;
    DialogPlatform os{fake};
    std::unique_ptr<host::PluginLibrary> library;
    std::vector<std::uint8_t> picture;
    // The fake's counters once the library has started.
    std::size_t blocks = 0, atoms = 0, windows = 0, sinks = 0, registrations = 0;
    std::size_t layoutLoads = 0, layoutUnloads = 0;

    World() {
        platform::SetOs(&os);
        std::string error;
        library = host::PluginLibrary::Load("", error);
        Require(library != nullptr && error.empty(), [&] { return "the library did not start: " + error; });
        lmRegisterPlugIn(nullptr, 0, 0, &SetVariable);
        lmRegisterScriptProcessor(&ScriptLine);
        fake.SetRegistryText(platform::RegistryRoot::CurrentUser, kHelpKey, "HelpFile", kHelpFile);
        fake.AddFile(kHelpFile);
        fake.AddFolder(kHelpFolder);
        fake.AddFile(kGreekHelpFile);
        std::ifstream file(TARVIK_ART_DIR "/About.jpg", std::ios::binary);
        picture.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        Require(!picture.empty(), "the About box's picture is not at " TARVIK_ART_DIR);
        // Room for what an input records, so that no input ends with more allocations
        // than releases (which libFuzzer would take for a leak and check at length).
        os.freed.reserve(4096);
        os.helpCalls.reserve(256);
        os.shellCalls.reserve(256);
        ui::SetDialogViewFactory([](const ui::DialogSpec& spec, ui::DialogEvents& events) {
            return std::unique_ptr<ui::DialogView>(new FuzzDialog(spec, events));
        });
        blocks = fake.LiveBlocks();
        atoms = fake.LiveAtoms();
        windows = fake.LiveWindows();
        sinks = fake.SinkWindows();
        registrations = fake.Registrations();
        layoutLoads = fake.LayoutLoads();
        layoutUnloads = fake.LayoutUnloads();
    }

    // Back to where the next input starts. What an input recorded or staged is let go of
    // within the input, so that libFuzzer sees as many releases as allocations.
    void Reset() {
        os.Reset();
        os.picture = nullptr;
        os.helpValue = nullptr;
    }

    void CheckNothingLeft() const {
        Require(fake.LiveBlocks() == blocks, "a global block was left behind");
        Require(fake.ForeignFrees() == 0, "GlobalFree was handed an address that is no block");
        Require(fake.OpenRegistryKeys() == 0, "a registry key was left open");
        Require(fake.LiveAtoms() == atoms && fake.Registrations() == registrations,
                "a dialog left an atom or a hotkey");
        Require(fake.LiveWindows() == windows && fake.SinkWindows() == sinks, "a dialog left a window");
        Require(fake.LayoutLoads() == layoutLoads && fake.LayoutUnloads() == layoutUnloads,
                "a dialog loaded or unloaded a keyboard layout");
    }
};
World* world = nullptr;

}  // namespace
}  // namespace tarvik::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tarvik::fuzz::world = new tarvik::fuzz::World();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvik::fuzz;
    FuzzedDataProvider input(data, size);
    {
        Session run(input, world->fake, world->os, world->picture);
        run.Run();
    }
    world->CheckNothingLeft();
    world->Reset();
    return 0;
}

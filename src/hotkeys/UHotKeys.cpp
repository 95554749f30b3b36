#include "hotkeys/UHotKeys.h"

#include <algorithm>
#include <array>
#include <utility>

#include "hotkeys/UKeyNameIndex.h"
#include "base/UTextUtils.h"

namespace tarvik::hotkeys {

using platform::Atom;
using platform::LayoutHandle;
using platform::Os;
using platform::WindowHandle;

namespace {

constexpr unsigned kFirstLookupCode = 8;  // the name look-up never tries codes 0-7
constexpr unsigned kLastLookupCode = 255;
constexpr unsigned kFirstMediaKey = 166;
constexpr unsigned kLastMediaKey = 183;
constexpr std::uint32_t kExtendedKeyBit = 1u << 24;
constexpr int kMaxLayouts = 100;
constexpr const char kEnglishLayoutId[] = "00000409";
constexpr const char kAtomPrefix[] = "HotKeyManagerHotKey";
constexpr const char kProbeAtomName[] = "HotKeyManagerHotKeyTest";

// The codec's module state; HotKeysStartup builds it, HotKeysShutdown clears it.
CodecState& State() {
    static CodecState state;
    return state;
}

// One modifier: its bit in a hotkey value and its flag in a registration.
struct Modifier {
    HotKeyValue bit;
    std::uint16_t flag;
};
constexpr std::array<Modifier, 4> kModifiers = {{
    {kShiftBit, platform::kModShift},
    {kCtrlBit, platform::kModControl},
    {kAltBit, platform::kModAlt},
    {kWinBit, platform::kModWin},
}};

constexpr std::array<const char*, kLastMediaKey - kFirstMediaKey + 1> kMediaKeyNames = {{
    "Browser Back", "Browser Forward", "Browser Refresh", "Browser Stop",
    "Browser Search", "Browser Favorites", "Browser Start/Home", "Volume Mute",
    "Volume Down", "Volume Up", "Next Track", "Previous Track", "Stop Media",
    "Play/Pause Media", "Start Mail", "Select Media", "Start Application 1",
    "Start Application 2",
}};

bool IsCapitalLetters(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

std::string UpperCaseAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

std::int32_t KeyNameArgument(unsigned scanCode, unsigned key) {
    std::uint32_t argument = (scanCode & 0xFFFFu) << 16;
    if (IsExtendedKey(key)) {
        argument |= kExtendedKeyBit;
    }
    return static_cast<std::int32_t>(argument);
}

std::string LocalizedKeyName(unsigned key) {
    platform::Platform& os = Os();
    const std::int32_t argument =
        KeyNameArgument(os.MapVirtualKeyCode(key, platform::kMapVkToVsc), key);
    return argument != 0 ? os.KeyNameText(argument) : std::string();
}

std::string EnglishKeyName(unsigned key) {
    const LayoutHandle english = EnglishLayout();
    if (english == nullptr) {
        // The US-English layout could not be loaded (or the codec is not started):
        // never activate a null layout; the active layout's name is the best we have.
        return LocalizedKeyName(key);
    }
    platform::Platform& os = Os();
    const std::int32_t argument =
        KeyNameArgument(os.MapVirtualKeyCodeEx(key, platform::kMapVkToVsc, english), key);
    if (argument == 0) {
        return std::string();
    }
    const LayoutHandle noted = os.ThreadLayout();
    const bool switched = noted != english;
    if (switched) {
        os.ActivateLayout(english, 0);
    }
    std::string name = os.KeyNameText(argument);
    if (switched) {
        // The English layout stays loaded here: the codec keeps using the handle for
        // later look-ups, and HotKeysShutdown unloads it once, when the codec loaded it.
        // Unloading it after each query would leave a stale handle and a second unload.
        os.ActivateLayout(noted, 0);
    }
    return name;
}

// Cuts a hotkey text into pieces: "+", CR and LF cut; spaces, CR and LF are skipped at
// the start of a piece; a quoted section (' or ") runs to the same quote and nothing
// cuts inside it, the quotes staying in the piece; empty pieces are dropped. The text
// ends at its first NUL, as the host's texts do.
std::vector<std::string> SplitPieces(const std::string& fullText) {
    const std::string text = fullText.substr(0, fullText.find('\0'));
    const std::size_t end = text.size();
    std::vector<std::string> pieces;
    std::size_t pos = 0;
    while (pos <= end) {
        while (pos < end && (text[pos] == ' ' || text[pos] == '\r' || text[pos] == '\n')) {
            ++pos;
        }
        const std::size_t head = pos;
        char quote = 0;
        for (; pos < end; ++pos) {
            const char c = text[pos];
            if (quote != 0) {
                if (c == quote) {
                    quote = 0;
                }
            } else if (c == '+' || c == '\r' || c == '\n') {
                break;
            } else if (c == '\'' || c == '"') {
                quote = c;
            }
        }
        if (pos > head) {
            pieces.push_back(text.substr(head, pos - head));
        }
        ++pos;  // past the cut, or past the end
    }
    return pieces;
}

// A modifier word as the author may write it: the fixed English word or the localized one.
struct ModifierWord {
    const char* english;
    const std::string* localized;
    std::uint16_t flag;
};

// In the order in which a modifier piece is tried.
std::array<ModifierWord, 4> ModifierWords() {
    const CodecState& state = State();
    return {{
        {"Shift", &state.ShiftName, platform::kModShift},
        {"Ctrl", &state.CtrlName, platform::kModControl},
        {"Alt", &state.AltName, platform::kModAlt},
        {"Win", &state.WinName, platform::kModWin},
    }};
}

// How a parse looks names and words up: through the index of the active layout, or
// name by name (the reference that the index must agree with).
enum class LookUp { Indexed, Literal };

// The registration flag of a modifier piece (already trimmed), or 0 when it names none.
std::uint16_t ModifierFlag(const std::string& piece, bool localized, LookUp lookUp) {
    if (piece.empty()) {
        return 0;  // never equal to a word that a layout left empty
    }
    if (lookUp == LookUp::Indexed) {
        const int flag = KeyNameIndex(localized).ModifierFlag(piece);
        if (flag != TKeyNameIndex::kAskLiteral) {
            return static_cast<std::uint16_t>(flag);
        }
    }
    platform::Platform& os = Os();
    for (const ModifierWord& word : ModifierWords()) {
        if (os.EqualIgnoreCase(piece, word.english) || os.EqualIgnoreCase(piece, *word.localized)) {
            return word.flag;
        }
    }
    return 0;
}

// A modifier word written exactly (letter case included) cannot be the main key.
bool IsModifierWordExactly(const std::string& piece) {
    const auto words = ModifierWords();
    return std::any_of(words.begin(), words.end(), [&piece](const ModifierWord& word) {
        return piece == word.english || piece == *word.localized;
    });
}

// The first code from 8 to 255 whose bare key name equals the text, case ignored.
unsigned LookUpKeyName(const std::string& name, bool localized, LookUp lookUp) {
    if (lookUp == LookUp::Indexed) {
        const int code = KeyNameIndex(localized).Key(name);
        if (code != TKeyNameIndex::kAskLiteral) {
            return static_cast<unsigned>(code);
        }
    }
    platform::Platform& os = Os();
    for (unsigned code = kFirstLookupCode; code <= kLastLookupCode; ++code) {
        if (os.EqualIgnoreCase(HotKeyToText(code, localized), name)) {
            return code;
        }
    }
    return 0;
}

unsigned KeyOfPiece(const std::string& lastPiece, bool localized, LookUp lookUp) {
    std::string piece = base::Trim(lastPiece);
    if (piece.empty()) {
        // A blank key piece names nothing; without this it would match the first key
        // that has no name at all.
        return 0;
    }
    if (piece.size() == 1) {
        piece = UpperCaseAscii(piece);
        const char c = piece[0];
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) {
            return static_cast<unsigned char>(c);
        }
        return LookUpKeyName(piece, localized, lookUp);
    }
    if (piece == "Num") {
        piece += " +";  // the keypad plus, whose own "+" the split consumed
    }
    if (IsModifierWordExactly(piece)) {
        return 0;  // a modifier cannot be the main key
    }
    return LookUpKeyName(piece, localized, lookUp);
}

HotKeyValue ParseHotKey(const std::string& text, bool localized, LookUp lookUp) {
    const std::vector<std::string> pieces = SplitPieces(text);
    if (pieces.empty()) {
        return 0;
    }
    if (lookUp == LookUp::Indexed && !KeyNameIndex(localized).Prepare()) {
        lookUp = LookUp::Literal;
    }
    std::uint16_t modifiers = 0;
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
        const std::uint16_t flag = ModifierFlag(base::Trim(pieces[i]), localized, lookUp);
        if (flag == 0) {
            return 0;
        }
        modifiers = static_cast<std::uint16_t>(modifiers | flag);
    }
    const unsigned key = KeyOfPiece(pieces.back(), localized, lookUp);
    if (key == 0) {
        return 0;
    }
    return ComposeHotKey(modifiers, static_cast<std::uint16_t>(key));
}

std::string AtomName(HotKeyValue value) {
    return kAtomPrefix + std::to_string(value);
}

// One reference to a global atom, released when the holder goes.
class AtomReference {
public:
    explicit AtomReference(const std::string& name) : atom_(Os().AddGlobalAtom(name)) {}
    ~AtomReference() { Reset(); }
    AtomReference(const AtomReference&) = delete;
    AtomReference& operator=(const AtomReference&) = delete;

    Atom Get() const { return atom_; }
    // Hands the reference to a new owner, who deletes it.
    Atom Release() { return std::exchange(atom_, Atom{0}); }
    void Reset() {
        if (atom_ != 0) {
            Os().DeleteGlobalAtom(std::exchange(atom_, Atom{0}));
        }
    }

private:
    Atom atom_;
};

// A registration that only tests whether the system grants a combination: it is
// unregistered again when the holder goes.
class TestRegistration {
public:
    TestRegistration(WindowHandle window, int id, SplitKey split)
        : window_(window),
          id_(id),
          granted_(Os().RegisterHotKey(window, id, split.modifiers, split.key)) {}
    ~TestRegistration() {
        if (granted_) {
            Os().UnregisterHotKey(window_, id_);
        }
    }
    TestRegistration(const TestRegistration&) = delete;
    TestRegistration& operator=(const TestRegistration&) = delete;

    bool Granted() const { return granted_; }

private:
    WindowHandle window_;
    int id_;
    bool granted_;
};

}  // namespace

// --- Codec ----------------------------------------------------------------------------------

HotKeyValue ComposeHotKey(std::uint16_t modifiers, std::uint16_t key) {
    HotKeyValue value = 0;
    for (const Modifier& modifier : kModifiers) {
        if ((modifiers & modifier.flag) != 0) {
            value |= modifier.bit;
        }
    }
    return value + key;
}

SplitKey SplitHotKey(HotKeyValue value) {
    std::uint16_t modifiers = 0;
    for (const Modifier& modifier : kModifiers) {
        if ((value & modifier.bit) != 0) {
            modifiers = static_cast<std::uint16_t>(modifiers | modifier.flag);
        }
    }
    return SplitKey{modifiers, static_cast<std::uint16_t>(value & 0xFF)};
}

std::string MediaKeyName(unsigned key) {
    if (key < kFirstMediaKey || key > kLastMediaKey) {
        return std::string();
    }
    return kMediaKeyNames[key - kFirstMediaKey];
}

std::string HotKeyToText(HotKeyValue value, bool localized) {
    const CodecState& state = State();
    // Ctrl, Shift, Alt, Win: the fixed order of every formatted hotkey.
    const std::array<std::pair<HotKeyValue, std::string>, 4> prefixWords = {{
        {kCtrlBit, localized ? state.CtrlName : "Ctrl"},
        {kShiftBit, localized ? state.ShiftName : "Shift"},
        {kAltBit, localized ? state.AltName : "Alt"},
        {kWinBit, localized ? state.WinName : "Win"},
    }};
    std::string text;
    for (const auto& word : prefixWords) {
        if ((value & word.first) != 0) {
            text += word.second;
            text += '+';
        }
    }
    const unsigned key = value & 0xFF;
    std::string name = localized ? LocalizedKeyName(key) : EnglishKeyName(key);
    if (name.size() <= 1 && key >= kFirstMediaKey && key <= kLastMediaKey) {
        name = MediaKeyName(key);
    }
    return text + name;
}

HotKeyValue TextToHotKey(const std::string& text, bool localized) {
    return ParseHotKey(text, localized, LookUp::Indexed);
}

HotKeyValue TextToHotKeyLiteral(const std::string& text, bool localized) {
    return ParseHotKey(text, localized, LookUp::Literal);
}

bool ProbeHotKey(HotKeyValue value) {
    // The test registration belongs to the thread (no window). Should the atom table be
    // full, the test still runs, under id 0, and answers for the combination alone.
    const AtomReference atom(kProbeAtomName);
    const TestRegistration test(nullptr, atom.Get(), SplitHotKey(value));
    return test.Granted();
}

const CodecState& Codec() {
    return State();
}

LayoutHandle EnglishLayout() {
    CodecState& state = State();
    if (!state.EnglishLayoutDue) {
        return state.EnglishLayout;
    }
    // On Windows 8 and later LoadKeyboardLayout adds an input language to the whole
    // session, so the layout is loaded only when the English mode asks for it.
    state.EnglishLayoutDue = false;
    platform::Platform& os = Os();
    const std::vector<LayoutHandle> before = os.LayoutList(kMaxLayouts);
    state.EnglishLayout = os.LoadLayout(kEnglishLayoutId, platform::kKlfNoTellShell);
    // The codec owns the layout only when it loaded it itself; a null handle is nothing
    // to unload.
    if (state.EnglishLayout != nullptr &&
        std::find(before.begin(), before.end(), state.EnglishLayout) == before.end()) {
        state.LoadedEnglishLayout = platform::UniqueLayout(os, state.EnglishLayout);
    }
    return state.EnglishLayout;
}

void HotKeysStartup() {
    // The words and the English layout change, and the indexes hold them.
    KeyNameIndex(true).Clear();
    KeyNameIndex(false).Clear();
    CodecState& state = State();
    state = CodecState{};
    state.ShiftName = HotKeyToText(16, true);
    state.CtrlName = HotKeyToText(17, true);
    state.AltName = HotKeyToText(18, true);
    if (IsCapitalLetters(state.AltName)) {
        state.WinName = UpperCaseAscii(state.WinName);
    }
    // The English layout waits for the English mode's first use: this step runs under
    // the loader lock, and every caller of the library's own formats the localized way.
    state.EnglishLayoutDue = true;
}

void HotKeysProcessEnd() {
    State().LoadedEnglishLayout.release();
}

void HotKeysShutdown() {
    CodecState& state = State();
    state.LoadedEnglishLayout.reset();
    state.EnglishLayout = nullptr;
    state.EnglishLayoutDue = false;
    KeyNameIndex(true).Clear();
    KeyNameIndex(false).Clear();
    state.ShiftName.clear();
    state.CtrlName.clear();
    state.AltName.clear();
    state.WinName.clear();
}

// --- Manager --------------------------------------------------------------------------------

THotKeyManager::THotKeyManager() : window_(Os().CreateHiddenWindow(this)) {}

THotKeyManager::~THotKeyManager() {
    ClearHotKeys();
    if (window_ != nullptr) {
        Os().DestroyHiddenWindow(std::exchange(window_, nullptr));
    }
}

HotKeyId THotKeyManager::AddHotKey(HotKeyValue value) {
    platform::Platform& os = Os();
    if (window_ == nullptr) {
        // Without the hidden window a registration would belong to whichever thread
        // calls and its presses would never reach us.
        os.SetLastError(platform::kErrorInvalidWindowHandle);
        return 0;
    }
    const SplitKey split = SplitHotKey(value);
    AtomReference atom(AtomName(value));
    if (atom.Get() == 0) {
        return 0;  // the atom table's own error stays the thread's last error
    }
    hotKeys_.reserve(hotKeys_.size() + 1);  // the append below cannot fail once granted
    if (!os.RegisterHotKey(window_, atom.Get(), split.modifiers, split.key)) {
        // The caller reports the refusal's error code, not the atom deletion's.
        const std::uint32_t error = os.LastError();
        atom.Reset();
        os.SetLastError(error);
        return 0;
    }
    hotKeys_.push_back(HotKeyEntry{value, atom.Release()});
    return hotKeys_.back().Id;
}

HotKeyId THotKeyManager::ChangeHotKey(HotKeyId id, HotKeyValue value) {
    const auto found = FindById(id);
    if (found == hotKeys_.end()) {
        return 0;
    }
    // The old hotkey goes first, so a change to the same combination is granted.
    RemoveEntry(found);
    return AddHotKey(value);
}

bool THotKeyManager::RemoveHotKey(HotKeyValue value) {
    return RemoveEntry(std::find_if(hotKeys_.begin(), hotKeys_.end(),
                                    [value](const HotKeyEntry& entry) { return entry.HotKey == value; }));
}

bool THotKeyManager::RemoveHotKeyById(HotKeyId id) {
    return RemoveEntry(FindById(id));
}

std::vector<HotKeyEntry>::iterator THotKeyManager::FindById(HotKeyId id) {
    return std::find_if(hotKeys_.begin(), hotKeys_.end(),
                        [id](const HotKeyEntry& entry) { return entry.Id == id; });
}

bool THotKeyManager::RemoveEntry(std::vector<HotKeyEntry>::iterator entry) {
    if (entry == hotKeys_.end()) {
        return false;
    }
    // The entry leaves the list whatever the system answers.
    const bool unregistered = UnregisterEntry(*entry);
    hotKeys_.erase(entry);
    return unregistered;
}

void THotKeyManager::ClearHotKeys() {
    while (!hotKeys_.empty()) {
        UnregisterEntry(hotKeys_.back());
        hotKeys_.pop_back();
    }
}

void THotKeyManager::ReleaseAtoms() {
    platform::Platform& os = Os();
    for (const HotKeyEntry& entry : hotKeys_) {
        os.DeleteGlobalAtom(entry.Id);
    }
    hotKeys_.clear();
}

bool THotKeyManager::CanUseHotKey(HotKeyValue value) {
    platform::Platform& os = Os();
    const AtomReference atom(AtomName(value));
    const SplitKey split = SplitHotKey(value);
    if (os.UnregisterHotKey(window_, atom.Get())) {
        // We held it: take it back at once under the same id.
        os.RegisterHotKey(window_, atom.Get(), split.modifiers, split.key);
        return true;
    }
    const TestRegistration test(window_, atom.Get(), split);
    return test.Granted();
}

bool THotKeyManager::IsHotKeyRegistered(HotKeyValue value) const {
    return std::any_of(hotKeys_.begin(), hotKeys_.end(),
                       [value](const HotKeyEntry& entry) { return entry.HotKey == value; });
}

bool THotKeyManager::UnregisterEntry(const HotKeyEntry& entry) {
    platform::Platform& os = Os();
    const bool unregistered = os.UnregisterHotKey(window_, entry.Id);
    os.DeleteGlobalAtom(entry.Id);  // the entry's reference goes whatever the system said
    return unregistered;
}

std::intptr_t THotKeyManager::HandleMessage(platform::WindowHandle window, std::uint32_t message,
                                            std::uintptr_t wParam,
                                            std::intptr_t lParam) noexcept {
    try {
        if (message == platform::kWmHotKey && OnHotKeyPressed) {
            const auto bits = static_cast<std::uintptr_t>(lParam);
            const HotKeyValue value =
                ComposeHotKey(static_cast<std::uint16_t>(bits & 0xFFFF),
                              static_cast<std::uint16_t>((bits >> 16) & 0xFFFF));
            if (IsHotKeyRegistered(value)) {
                // A copy: the handler may assign a new one while it runs.
                const TOnHotKeyPressed handler = OnHotKeyPressed;
                handler(value, static_cast<HotKeyId>(wParam & 0xFFFF));
            }
        }
    } catch (...) {
        // A failing handler must not unwind through the system's dispatch.
    }
    try {
        return Os().DefaultWindowProc(window, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

}  // namespace tarvik::hotkeys

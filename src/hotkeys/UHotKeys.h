// Hotkey values and texts, and the manager that holds system-wide hotkeys.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace tarvik::hotkeys {

// Bits 0-7 key code, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt, 0x10000 Win.
using HotKeyValue = std::uint32_t;
// A global atom, 0xC000-0xFFFF; 0 means "none".
using HotKeyId = std::uint16_t;

constexpr HotKeyValue kShiftBit = 0x2000;
constexpr HotKeyValue kCtrlBit = 0x4000;
constexpr HotKeyValue kAltBit = 0x8000;
constexpr HotKeyValue kWinBit = 0x10000;

struct SplitKey {
    std::uint16_t modifiers;  // MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4, MOD_WIN 8
    std::uint16_t key;        // virtual-key code, 0-255
};

// Keys whose scan code is shared with another key and told apart by the E0 prefix, so
// that their name query needs bit 24: Page Up, Page Down, End, Home, the arrows, Insert
// and Delete (else the keypad's twin is named), the Windows and application keys, the
// keypad's divide key (else the main keyboard's "/") and Num Lock (else "Pause").
constexpr bool IsExtendedKey(unsigned key) {
    constexpr unsigned kLeftWindows = 91, kRightWindows = 92, kApplication = 93;
    constexpr unsigned kDivide = 111, kNumLock = 144;
    return (key >= 33 && key <= 40) || key == 45 || key == 46 || key == kLeftWindows ||
           key == kRightWindows || key == kApplication || key == kDivide || key == kNumLock;
}

HotKeyValue ComposeHotKey(std::uint16_t modifiers, std::uint16_t key);
SplitKey SplitHotKey(HotKeyValue value);
std::string HotKeyToText(HotKeyValue value, bool localized);
// 0 when the text names no hotkey.
HotKeyValue TextToHotKey(const std::string& text, bool localized);
// The same parse with every name and modifier word compared one by one, as the
// reference for the index that TextToHotKey uses.
HotKeyValue TextToHotKeyLiteral(const std::string& text, bool localized);
// True when the system granted a test registration of the combination just now.
bool ProbeHotKey(HotKeyValue value);
// Fixed English names of the browser, media and launch keys 166-183; empty otherwise.
std::string MediaKeyName(unsigned key);

// The codec's module state, built by HotKeysStartup and cleared by HotKeysShutdown.
struct CodecState {
    std::string ShiftName = "Shift";
    std::string CtrlName = "Ctrl";
    std::string AltName = "Alt";
    std::string WinName = "Win";
    // Set from start-up until the English mode first needs the layout below.
    bool EnglishLayoutDue = false;
    platform::LayoutHandle EnglishLayout = nullptr;
    // The same layout when the codec loaded it itself: unloaded when the codec stops.
    platform::UniqueLayout LoadedEnglishLayout;
};
const CodecState& Codec();
// The US-English layout of the English mode, loaded for the process when that mode
// first needs it after start-up; null when it cannot be loaded or the codec is stopped.
platform::LayoutHandle EnglishLayout();

void HotKeysStartup();
void HotKeysShutdown();
// The process is ending: the system unloads its layouts itself, so the codec lets go of
// the one it loaded without a call.
void HotKeysProcessEnd();

struct HotKeyEntry {
    HotKeyValue HotKey;
    HotKeyId Id;
};

using TOnHotKeyPressed = std::function<void(HotKeyValue hotKey, HotKeyId index)>;

// Holds the library's system-wide hotkeys on a hidden window, one global atom
// reference per registration, and reports presses of the ones it holds.
class THotKeyManager final : private platform::MessageSink {
public:
    THotKeyManager();
    ~THotKeyManager();
    THotKeyManager(const THotKeyManager&) = delete;
    THotKeyManager& operator=(const THotKeyManager&) = delete;

    HotKeyId AddHotKey(HotKeyValue value);
    HotKeyId ChangeHotKey(HotKeyId id, HotKeyValue value);
    bool RemoveHotKey(HotKeyValue value);
    bool RemoveHotKeyById(HotKeyId id);
    void ClearHotKeys();
    // At the end of the process: lets go of every entry's atom reference and of the
    // list, and touches neither the system's registrations nor the window, which the
    // system takes back with the process.
    void ReleaseAtoms();
    bool CanUseHotKey(HotKeyValue value);
    bool IsHotKeyRegistered(HotKeyValue value) const;

    const std::vector<HotKeyEntry>& HotKeys() const { return hotKeys_; }
    platform::WindowHandle WindowHandle() const { return window_; }

    TOnHotKeyPressed OnHotKeyPressed;

private:
    std::intptr_t HandleMessage(platform::WindowHandle window, std::uint32_t message,
                                std::uintptr_t wParam, std::intptr_t lParam) noexcept override;
    bool UnregisterEntry(const HotKeyEntry& entry);
    std::vector<HotKeyEntry>::iterator FindById(HotKeyId id);
    // Unregisters the entry and takes it out of the list; false for the list's end.
    bool RemoveEntry(std::vector<HotKeyEntry>::iterator entry);

    platform::WindowHandle window_ = nullptr;
    std::vector<HotKeyEntry> hotKeys_;
};

}  // namespace tarvik::hotkeys

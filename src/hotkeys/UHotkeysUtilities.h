// The library's single hotkey service object: owns the manager, keeps the key-press
// settings of the last tvOnKeyPress and turns a press into host calls.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hotkeys/UHotKeys.h"

namespace tarvik::hotkeys {

struct TOnHotkeyEvent {
    std::string HotkeyIdVar;        // host variable that receives the pressed hotkey's id
    std::string HotkeyShortcutVar;  // host variable that receives its text
    std::string Subroutine;         // host subroutine to run
};

class THotkeyUtilities {
public:
    THotkeyUtilities();
    ~THotkeyUtilities();
    THotkeyUtilities(const THotkeyUtilities&) = delete;
    THotkeyUtilities& operator=(const THotkeyUtilities&) = delete;

    THotKeyManager& Manager() { return *manager_; }

    // Set the id and text variables, run the subroutine, clear the variables. A press
    // that arrives while another press's host calls run waits for that press to end.
    void HotKeyPressed(HotKeyValue hotKey, HotKeyId index);

    TOnHotkeyEvent KeyPress;

private:
    // One press's host calls, with the settings as they are when it runs.
    void RunPress(const HotKeyEntry& press);
    // Whether the manager still holds the hotkey under the id it was pressed with.
    bool StillHeld(const HotKeyEntry& press) const;

    std::unique_ptr<THotKeyManager> manager_;
    // Presses that arrived inside a press, in arrival order, each hotkey once.
    std::vector<HotKeyEntry> waiting_;
    // Non-null while a press runs: the flag through which the destructor tells that
    // press the object is gone (its subroutine unloaded the library), so that it touches
    // nothing of the object after its current host call.
    bool* runningPress_ = nullptr;
};

// The one instance while the library is loaded; null before start-up and after shut-down.
extern THotkeyUtilities* HotkeyUtilities;

void HotkeysUtilitiesStartup();
void HotkeysUtilitiesShutdown();
// The process is ending: the manager's atom references are released and the object is
// left to the system with the rest of the process.
void HotkeysUtilitiesProcessEnd();

}  // namespace tarvik::hotkeys

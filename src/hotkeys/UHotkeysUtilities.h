// The library's single hotkey service object: owns the manager, keeps the key-press
// settings of the last tvOnKeyPress and turns a press into host calls.
#pragma once

#include <memory>
#include <string>

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

    // Set the id and text variables, run the subroutine, clear the variables.
    void HotKeyPressed(HotKeyValue hotKey, HotKeyId index);

    TOnHotkeyEvent KeyPress;

private:
    std::unique_ptr<THotKeyManager> manager_;
};

// The one instance while the library is loaded; null before start-up and after shut-down.
extern THotkeyUtilities* HotkeyUtilities;

void HotkeysUtilitiesStartup();
void HotkeysUtilitiesShutdown();
// The process is ending: the manager's atom references are released and the object is
// left to the system with the rest of the process.
void HotkeysUtilitiesProcessEnd();

}  // namespace tarvik::hotkeys

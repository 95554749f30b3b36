#include "hotkeys/UHotkeysUtilities.h"

#include <utility>

#include "base/UTextUtils.h"
#include "plugin/UHostServices.h"

namespace tarvik::hotkeys {

THotkeyUtilities* HotkeyUtilities = nullptr;

THotkeyUtilities::THotkeyUtilities() : manager_(std::make_unique<THotKeyManager>()) {
    manager_->OnHotKeyPressed = [this](HotKeyValue hotKey, HotKeyId index) {
        HotKeyPressed(hotKey, index);
    };
}

// The manager goes with us: every hotkey is unregistered, then its window destroyed.
THotkeyUtilities::~THotkeyUtilities() = default;

void THotkeyUtilities::HotKeyPressed(HotKeyValue hotKey, HotKeyId index) {
    // Runs inside the hidden window's message dispatch: nothing may escape.
    try {
        const std::string subroutine = base::Trim(KeyPress.Subroutine);
        if (subroutine.empty() || !plugin::HostSubroutineExists(subroutine)) {
            return;
        }
        // Taken before the call: the subroutine may run tvOnKeyPress and replace the
        // settings, and this press clears the variables it wrote.
        const std::string idVar = base::Trim(KeyPress.HotkeyIdVar);
        const std::string textVar = base::Trim(KeyPress.HotkeyShortcutVar);
        if (!idVar.empty()) {
            plugin::SetHostVariable(idVar, std::to_string(index));
        }
        if (!textVar.empty()) {
            plugin::SetHostVariable(textVar, HotKeyToText(hotKey, true));
        }
        plugin::RunHostSubroutine(KeyPress.Subroutine);
        if (!idVar.empty()) {
            plugin::ClearHostVariables(idVar);
        }
        if (!textVar.empty()) {
            plugin::ClearHostVariables(textVar);
        }
    } catch (...) {
        // Out of memory or a failing callback: this press is dropped.
    }
}

void HotkeysUtilitiesStartup() {
    if (HotkeyUtilities == nullptr) {
        HotkeyUtilities = new THotkeyUtilities();
    }
}

void HotkeysUtilitiesShutdown() {
    // Nobody reaches the object through the global while it is being torn down.
    delete std::exchange(HotkeyUtilities, nullptr);
}

namespace {
// The object at the end of the process: kept, not freed, since the heap is not ours to
// use while the process ends.
THotkeyUtilities* leftToTheSystem = nullptr;
}  // namespace

void HotkeysUtilitiesProcessEnd() {
    if (THotkeyUtilities* utilities = std::exchange(HotkeyUtilities, nullptr)) {
        utilities->Manager().ReleaseAtoms();
        leftToTheSystem = utilities;
    }
}

}  // namespace tarvik::hotkeys

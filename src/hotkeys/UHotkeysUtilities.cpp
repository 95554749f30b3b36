#include "hotkeys/UHotkeysUtilities.h"

#include <algorithm>
#include <utility>

#include "base/UTextUtils.h"
#include "plugin/UHostServices.h"

namespace tarvik::hotkeys {

THotkeyUtilities* HotkeyUtilities = nullptr;

namespace {

bool SameHotKey(const HotKeyEntry& a, const HotKeyEntry& b) {
    return a.HotKey == b.HotKey && a.Id == b.Id;
}

}  // namespace

THotkeyUtilities::THotkeyUtilities() : manager_(std::make_unique<THotKeyManager>()) {
    manager_->OnHotKeyPressed = [this](HotKeyValue hotKey, HotKeyId index) {
        HotKeyPressed(hotKey, index);
    };
}

// The manager goes with us: every hotkey is unregistered, then its window destroyed.
THotkeyUtilities::~THotkeyUtilities() {
    if (runningPress_ != nullptr) {
        *runningPress_ = true;  // a press is running: it stops after its current host call
    }
}

void THotkeyUtilities::HotKeyPressed(HotKeyValue hotKey, HotKeyId index) {
    // Runs inside the hidden window's message dispatch: nothing may escape.
    try {
        const HotKeyEntry press{hotKey, index};
        if (runningPress_ != nullptr) {
            // Windows delivers WM_HOTKEY to whatever loop pumps this thread's messages, so
            // a host that pumps while it runs the subroutine hands us this press inside
            // another. It waits for that press's last call; a held key's auto-repeat adds
            // nothing to a press of the same hotkey already waiting.
            if (std::none_of(waiting_.begin(), waiting_.end(),
                             [&press](const HotKeyEntry& waiting) { return SameHotKey(waiting, press); })) {
                waiting_.push_back(press);
            }
            return;
        }
        // The outermost press: it runs the presses that arrive meanwhile, in order.
        struct Outermost {
            THotkeyUtilities* self;
            bool destroyed = false;
            explicit Outermost(THotkeyUtilities* utilities) : self(utilities) { self->runningPress_ = &destroyed; }
            ~Outermost() {
                if (!destroyed) {
                    self->runningPress_ = nullptr;
                    self->waiting_.clear();
                }
            }
            Outermost(const Outermost&) = delete;
            Outermost& operator=(const Outermost&) = delete;
        } outermost(this);
        RunPress(press);
        while (!outermost.destroyed && !waiting_.empty()) {
            const HotKeyEntry next = waiting_.front();
            waiting_.erase(waiting_.begin());
            // The subroutine before it may have removed or changed that hotkey.
            if (StillHeld(next)) {
                RunPress(next);
            }
        }
    } catch (...) {
        // Out of memory: this press is dropped.
    }
}

void THotkeyUtilities::RunPress(const HotKeyEntry& press) {
    try {
        const std::string subroutine = base::Trim(KeyPress.Subroutine);
        if (subroutine.empty() || !plugin::HostSubroutineExists(subroutine)) {
            return;
        }
        // Taken before the call: the subroutine may run tvOnKeyPress and replace the
        // settings, or unload the library, and this press clears the variables it wrote.
        const std::string idVar = base::Trim(KeyPress.HotkeyIdVar);
        const std::string textVar = base::Trim(KeyPress.HotkeyShortcutVar);
        const std::string stored = KeyPress.Subroutine;
        if (!idVar.empty()) {
            plugin::SetHostVariable(idVar, std::to_string(press.Id));
        }
        if (!textVar.empty()) {
            plugin::SetHostVariable(textVar, HotKeyToText(press.HotKey, true));
        }
        plugin::RunHostSubroutine(stored);
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

bool THotkeyUtilities::StillHeld(const HotKeyEntry& press) const {
    const std::vector<HotKeyEntry>& held = manager_->HotKeys();
    return std::any_of(held.begin(), held.end(),
                       [&press](const HotKeyEntry& entry) { return SameHotKey(entry, press); });
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

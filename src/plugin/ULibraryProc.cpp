#include "plugin/ULibraryProc.h"

#include "hotkeys/UHotKeys.h"
#include "hotkeys/UHotkeysUtilities.h"

namespace tarvik::plugin {

namespace {

struct Step {
    void (*startup)();
    void (*shutdown)();
};

void InstallNotificationHandler() {}
void NoShutdown() {}

// The library's own steps, in start-up order; shut-down runs them backwards.
constexpr Step kSteps[] = {
    {InstallNotificationHandler, NoShutdown},
    {hotkeys::HotKeysStartup, hotkeys::HotKeysShutdown},
    {hotkeys::HotkeysUtilitiesStartup, hotkeys::HotkeysUtilitiesShutdown},
};
constexpr int kStepCount = sizeof(kSteps) / sizeof(kSteps[0]);

// How many steps have started in the current load.
int started = 0;

}  // namespace

bool LibraryStartup() noexcept {
    while (started < kStepCount) {
        const Step& step = kSteps[started];
        ++started;  // a step that failed half-way still gets its shut-down
        try {
            step.startup();
        } catch (...) {
            return false;
        }
    }
    return true;
}

void LibraryShutdown() noexcept {
    while (started > 0) {
        --started;
        try {
            kSteps[started].shutdown();
        } catch (...) {
            // keep unwinding the rest
        }
    }
}

void LibraryProcessEnd() noexcept {
    try {
        hotkeys::HotkeysUtilitiesProcessEnd();
        hotkeys::HotKeysProcessEnd();
    } catch (...) {
        // nothing more is safe to try now
    }
    started = 0;
}

void LibraryNotification(unsigned long /*reason*/) noexcept {}

}  // namespace tarvik::plugin

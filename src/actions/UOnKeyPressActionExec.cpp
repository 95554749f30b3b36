// tvOnKeyPress: names the subroutine that a press of any registered hotkey runs and the
// two variables that tell it which hotkey it was.
#include <utility>

#include "actions/UActionExec.h"
#include "hotkeys/UHotkeysUtilities.h"
#include "plugin/UHostServices.h"

namespace tarvik::actions {

bool ExecOnKeyPress(char** params) {
    hotkeys::THotkeyUtilities* utilities = hotkeys::HotkeyUtilities;
    if (utilities == nullptr) {
        return true;  // no hotkey service, so no press to react to
    }
    // Stored as passed; the key-press handler trims when it uses them. An empty
    // subroutine name switches the reaction off.
    hotkeys::TOnHotkeyEvent settings;
    settings.HotkeyIdVar = plugin::Param(params, 1);
    settings.Subroutine = plugin::Param(params, 0);
    settings.HotkeyShortcutVar = plugin::Param(params, 2);
    utilities->KeyPress = std::move(settings);
    return true;
}

}  // namespace tarvik::actions

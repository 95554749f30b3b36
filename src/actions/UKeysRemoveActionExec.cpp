// TarvikRemove: unregisters a hotkey found by its text.
#include "actions/UActionExec.h"
#include "actions/UActionSupport.h"
#include "plugin/UHostServices.h"

namespace tarvik::actions {

bool ExecRemove(char** params) {
    // Without the hotkey service nothing is registered, so nothing can be removed.
    hotkeys::THotKeyManager* manager = HotkeyManager();
    const hotkeys::HotKeyValue value = hotkeys::TextToHotKey(plugin::Param(params, 0), true);
    const bool removed = manager != nullptr && value != 0 && manager->RemoveHotKey(value);
    plugin::SetHostVariable(plugin::Param(params, 1), BoolText(removed));
    return true;
}

}  // namespace tarvik::actions

// TarvikRemove: unregisters a hotkey found by its text.
#include "actions/UActionExec.h"
#include "actions/UActionSupport.h"
#include "plugin/UHostServices.h"

namespace tarvik::actions {

bool ExecRemove(char** params) {
    hotkeys::THotKeyManager* manager = HotkeyManager();
    if (manager == nullptr) {
        return false;
    }
    const hotkeys::HotKeyValue value = hotkeys::TextToHotKey(plugin::Param(params, 0), true);
    const bool removed = value != 0 && manager->RemoveHotKey(value);
    plugin::SetHostVariable(plugin::Param(params, 1), BoolText(removed));
    return true;
}

}  // namespace tarvik::actions

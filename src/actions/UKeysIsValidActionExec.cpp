// TarvikIsValid: whether the library could use a hotkey text, counting the ones it
// holds itself as usable.
#include "actions/UActionExec.h"
#include "actions/UActionSupport.h"
#include "plugin/UHostServices.h"

namespace tarvik::actions {

bool ExecIsValid(char** params) {
    hotkeys::THotKeyManager* manager = HotkeyManager();
    if (manager == nullptr) {
        return false;
    }
    const hotkeys::HotKeyValue value = hotkeys::TextToHotKey(plugin::Param(params, 0), true);
    const bool valid = value != 0 && manager->CanUseHotKey(value);
    plugin::SetHostVariable(plugin::Param(params, 1), BoolText(valid));
    return true;
}

}  // namespace tarvik::actions

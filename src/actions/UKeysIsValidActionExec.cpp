// TarvikIsValid: whether the library could use a hotkey text, counting the ones it
// holds itself as usable.
#include "actions/UActionExec.h"
#include "actions/UActionSupport.h"
#include "plugin/UHostServices.h"

namespace tarvik::actions {

bool ExecIsValid(char** params) {
    // Without the hotkey service the library can use no combination at all.
    hotkeys::THotKeyManager* manager = HotkeyManager();
    const hotkeys::HotKeyValue value = hotkeys::TextToHotKey(plugin::Param(params, 0), true);
    const bool valid = manager != nullptr && value != 0 && manager->CanUseHotKey(value);
    plugin::SetHostVariable(plugin::Param(params, 1), BoolText(valid));
    return true;
}

}  // namespace tarvik::actions

// TarvikRemoveById: unregisters a hotkey found by the id that TarvikAdd gave.
#include "actions/UActionExec.h"
#include "actions/UActionSupport.h"
#include "plugin/UHostServices.h"

namespace tarvik::actions {

bool ExecRemoveById(char** params) {
    hotkeys::THotKeyManager* manager = HotkeyManager();
    const std::optional<hotkeys::HotKeyId> id = ParseId(plugin::Param(params, 0));
    const bool removed = manager != nullptr && id && manager->RemoveHotKeyById(*id);
    plugin::SetHostVariable(plugin::Param(params, 1), BoolText(removed));
    return true;
}

}  // namespace tarvik::actions

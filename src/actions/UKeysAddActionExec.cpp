// TarvikAdd: registers a hotkey text and writes its id into a variable.
#include "actions/UActionExec.h"
#include "actions/UActionSupport.h"
#include "plugin/UHostServices.h"

namespace tarvik::actions {

bool ExecAdd(char** params) {
    hotkeys::THotKeyManager* manager = HotkeyManager();
    if (manager == nullptr) {
        return false;
    }
    const std::string hotkeyText = plugin::Param(params, 0);
    const std::optional<hotkeys::HotKeyValue> value = AcceptHotkeyText(*manager, hotkeyText);
    if (!value) {
        return false;
    }
    ReportRegistration(plugin::Param(params, 1), TakeRegistration(manager->AddHotKey(*value)));
    return true;
}

}  // namespace tarvik::actions

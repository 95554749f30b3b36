// TarvikChange: replaces a registered hotkey, found by id, with another hotkey text.
#include "actions/UActionExec.h"
#include "actions/UActionSupport.h"
#include "plugin/UHostServices.h"

namespace tarvik::actions {

bool ExecChange(char** params) {
    const std::optional<hotkeys::HotKeyId> oldId = ParseId(plugin::Param(params, 0));
    if (!oldId) {
        return true;  // not an id: nothing to change, nothing to report
    }
    hotkeys::THotKeyManager* manager = HotkeyManager();
    if (manager == nullptr) {
        return false;  // no hotkey service: the change cannot be made
    }
    const std::string hotkeyText = plugin::Param(params, 1);
    // A refused text leaves the old hotkey registered and listed.
    const std::optional<hotkeys::HotKeyValue> value = AcceptHotkeyText(*manager, hotkeyText);
    if (!value) {
        return false;
    }
    ReportRegistration(plugin::Param(params, 2),
                       TakeRegistration(manager->ChangeHotKey(*oldId, *value)));
    return true;
}

}  // namespace tarvik::actions

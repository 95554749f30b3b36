// TarvikClear: unregisters every hotkey of the library.
#include "actions/UActionExec.h"
#include "actions/UActionSupport.h"

namespace tarvik::actions {

bool ExecClear(char** /*params*/) {
    hotkeys::THotKeyManager* manager = HotkeyManager();
    if (manager == nullptr) {
        return false;
    }
    manager->ClearHotKeys();
    return true;
}

}  // namespace tarvik::actions

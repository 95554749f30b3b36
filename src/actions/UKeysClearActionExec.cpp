// TarvikClear: unregisters every hotkey of the library.
#include "actions/UActionExec.h"
#include "actions/UActionSupport.h"

namespace tarvik::actions {

bool ExecClear(char** /*params*/) {
    if (hotkeys::THotKeyManager* manager = HotkeyManager()) {
        manager->ClearHotKeys();
    }
    return true;
}

}  // namespace tarvik::actions

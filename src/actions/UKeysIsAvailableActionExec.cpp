// TarvikIsAvailable: whether nobody, the library included, holds a hotkey text now.
#include "actions/UActionExec.h"
#include "actions/UActionSupport.h"
#include "plugin/UHostServices.h"

namespace tarvik::actions {

bool ExecIsAvailable(char** params) {
    // The test registration belongs to the thread, not to the manager: it answers
    // also when the hotkey service could not be made.
    const hotkeys::HotKeyValue value = hotkeys::TextToHotKey(plugin::Param(params, 0), true);
    const bool available = value != 0 && hotkeys::ProbeHotKey(value);
    plugin::SetHostVariable(plugin::Param(params, 1), BoolText(available));
    return true;
}

}  // namespace tarvik::actions

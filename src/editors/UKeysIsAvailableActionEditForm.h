// The editor of TarvikIsAvailable: the base dialog with its row of the editors' table.
#pragma once

#include "editors/UActionEditors.h"
#include "editors/UPluginActionEditForm.h"

namespace tarvik::editors {

class TKeysIsAvailableActionEditForm : public TPluginActionEditForm {
public:
    TKeysIsAvailableActionEditForm() : TPluginActionEditForm(*EditorOf(7)) {}
};

}  // namespace tarvik::editors

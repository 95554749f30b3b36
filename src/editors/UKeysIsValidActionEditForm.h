// The editor of TarvikIsValid: the base dialog with its row of the editors' table.
#pragma once

#include "editors/UActionEditors.h"
#include "editors/UPluginActionEditForm.h"

namespace tarvik::editors {

class TKeysIsValidActionEditForm : public TPluginActionEditForm {
public:
    TKeysIsValidActionEditForm() : TPluginActionEditForm(*EditorOf(6)) {}
};

}  // namespace tarvik::editors

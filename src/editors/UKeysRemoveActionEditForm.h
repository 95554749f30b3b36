// The editor of TarvikRemove: the base dialog with its row of the editors' table.
#pragma once

#include "editors/UActionEditors.h"
#include "editors/UPluginActionEditForm.h"

namespace tarvik::editors {

class TKeysRemoveActionEditForm : public TPluginActionEditForm {
public:
    TKeysRemoveActionEditForm() : TPluginActionEditForm(*EditorOf(3)) {}
};

}  // namespace tarvik::editors

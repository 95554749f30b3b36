// The editor of TarvikRemoveById: the base dialog with its row of the editors' table.
#pragma once

#include "editors/UActionEditors.h"
#include "editors/UPluginActionEditForm.h"

namespace tarvik::editors {

class TKeysRemoveByIdActionEditForm : public TPluginActionEditForm {
public:
    TKeysRemoveByIdActionEditForm() : TPluginActionEditForm(*EditorOf(4)) {}
};

}  // namespace tarvik::editors

// The editor of TarvikAdd: the base dialog with its row of the editors' table.
#pragma once

#include "editors/UActionEditors.h"
#include "editors/UPluginActionEditForm.h"

namespace tarvik::editors {

class TKeysAddActionEditForm : public TPluginActionEditForm {
public:
    TKeysAddActionEditForm() : TPluginActionEditForm(*EditorOf(1)) {}
};

}  // namespace tarvik::editors

// The editor of TarvikChange: the base dialog with its row of the editors' table.
#pragma once

#include "editors/UActionEditors.h"
#include "editors/UPluginActionEditForm.h"

namespace tarvik::editors {

class TKeysChangeActionEditForm : public TPluginActionEditForm {
public:
    TKeysChangeActionEditForm() : TPluginActionEditForm(*EditorOf(2)) {}
};

}  // namespace tarvik::editors

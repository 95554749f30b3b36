// The editor of tvOnKeyPress: the base dialog with its row of the editors' table.
#pragma once

#include "editors/UActionEditors.h"
#include "editors/UPluginActionEditForm.h"

namespace tarvik::editors {

class TOnKeyPressActionEditForm : public TPluginActionEditForm {
public:
    TOnKeyPressActionEditForm() : TPluginActionEditForm(*EditorOf(8)) {}
};

}  // namespace tarvik::editors

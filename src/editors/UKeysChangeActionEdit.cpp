#include "editors/UKeysChangeActionEdit.h"

#include "editors/UKeysChangeActionEditForm.h"

namespace tarvik::editors {

bool EditKeysChangeAction(char** slot1, char** slot2, char** slot3) {
    TKeysChangeActionEditForm form;
    return EditAction(form, {slot1, slot2, slot3});
}

}  // namespace tarvik::editors

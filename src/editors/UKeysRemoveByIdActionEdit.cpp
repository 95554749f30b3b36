#include "editors/UKeysRemoveByIdActionEdit.h"

#include "editors/UKeysRemoveByIdActionEditForm.h"

namespace tarvik::editors {

bool EditKeysRemoveByIdAction(char** slot1, char** slot2) {
    TKeysRemoveByIdActionEditForm form;
    return EditAction(form, {slot1, slot2});
}

}  // namespace tarvik::editors

#include "editors/UKeysRemoveActionEdit.h"

#include "editors/UKeysRemoveActionEditForm.h"

namespace tarvik::editors {

bool EditKeysRemoveAction(char** slot1, char** slot2) {
    TKeysRemoveActionEditForm form;
    return EditAction(form, {slot1, slot2});
}

}  // namespace tarvik::editors

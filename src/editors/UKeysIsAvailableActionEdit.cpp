#include "editors/UKeysIsAvailableActionEdit.h"

#include "editors/UKeysIsAvailableActionEditForm.h"

namespace tarvik::editors {

bool EditKeysIsAvailableAction(char** slot1, char** slot2) {
    TKeysIsAvailableActionEditForm form;
    return EditAction(form, {slot1, slot2});
}

}  // namespace tarvik::editors

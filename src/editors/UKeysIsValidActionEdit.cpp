#include "editors/UKeysIsValidActionEdit.h"

#include "editors/UKeysIsValidActionEditForm.h"

namespace tarvik::editors {

bool EditKeysIsValidAction(char** slot1, char** slot2) {
    TKeysIsValidActionEditForm form;
    return EditAction(form, {slot1, slot2});
}

}  // namespace tarvik::editors

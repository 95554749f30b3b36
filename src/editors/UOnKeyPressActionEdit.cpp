#include "editors/UOnKeyPressActionEdit.h"

#include "editors/UOnKeyPressActionEditForm.h"

namespace tarvik::editors {

bool EditOnKeyPressAction(char** slot1, char** slot2, char** slot3) {
    TOnKeyPressActionEditForm form;
    return EditAction(form, {slot1, slot2, slot3});
}

}  // namespace tarvik::editors

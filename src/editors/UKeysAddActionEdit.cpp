#include "editors/UKeysAddActionEdit.h"

#include "editors/UKeysAddActionEditForm.h"

namespace tarvik::editors {

bool EditKeysAddAction(char** slot1, char** slot2) {
    TKeysAddActionEditForm form;
    return EditAction(form, {slot1, slot2});
}

}  // namespace tarvik::editors

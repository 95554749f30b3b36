#include "editors/UActionEditors.h"

#include "editors/UPluginActionEditForm.h"
#include "plugin/UHostServices.h"
#include "resources/Strings.h"

#include "editors/UKeysAddActionEdit.h"
#include "editors/UKeysChangeActionEdit.h"
#include "editors/UKeysIsAvailableActionEdit.h"
#include "editors/UKeysIsValidActionEdit.h"
#include "editors/UKeysRemoveActionEdit.h"
#include "editors/UKeysRemoveByIdActionEdit.h"
#include "editors/UOnKeyPressActionEdit.h"

namespace tarvik::editors {

namespace {
using namespace tarvik::resources;
constexpr FrameKind A = FrameKind::AlphaVar;

// One row per editor (TKeysAddActionEditForm ... TOnKeyPressActionEditForm, in command
// order): the frames from top to bottom (parameter, place, caption), the title line T,
// the tab width W, the buttons' lefts and tab orders (OK, Cancel, Help).
const EditorRow kEditors[] = {
    {1, IDS_EDIT_CAPTION_ADD, IDS_NAME_ADD, IDS_EDIT_DESC_ADD, false, 280, 2,
     {{A, 1, {8, 8, 362, 65}, IDS_EDIT_FIELD_HOTKEY},
      {A, 2, {9, 67, 362, 70}, IDS_EDIT_FIELD_STORE_ID}},
     136, 100, {199, 279, 359}, {2, 3, 4}},
    {2, IDS_EDIT_CAPTION_CHANGE, IDS_NAME_CHANGE, IDS_EDIT_DESC_CHANGE, false, 343, 3,
     {{A, 1, {8, 8, 362, 65}, IDS_EDIT_FIELD_OLD_ID},
      {A, 2, {9, 70, 362, 65}, IDS_EDIT_FIELD_NEW_HOTKEY},
      {A, 3, {8, 131, 362, 62}, IDS_EDIT_FIELD_STORE_ID}},
     201, 125, {198, 278, 358}, {3, 4, 5}},
    {3, IDS_EDIT_CAPTION_REMOVE, IDS_NAME_REMOVE, IDS_EDIT_DESC_REMOVE, true, 289, 2,
     {{A, 1, {8, 8, 362, 65}, IDS_EDIT_FIELD_HOTKEY},
      {A, 2, {8, 75, 362, 62}, IDS_EDIT_FIELD_STORE_RESULT}},
     146, 125, {198, 278, 358}, {2, 3, 4}},
    {4, IDS_EDIT_CAPTION_REMOVE_BY_ID, IDS_NAME_REMOVE_BY_ID, IDS_EDIT_DESC_REMOVE_BY_ID, true, 287, 2,
     {{A, 1, {8, 8, 362, 65}, IDS_EDIT_FIELD_ID},
      {A, 2, {8, 75, 362, 62}, IDS_EDIT_FIELD_STORE_RESULT}},
     144, 145, {198, 278, 358}, {2, 3, 4}},
    {6, IDS_EDIT_CAPTION_IS_VALID, IDS_NAME_IS_VALID, IDS_EDIT_DESC_IS_VALID, true, 286, 2,
     {{A, 1, {8, 8, 362, 65}, IDS_EDIT_FIELD_HOTKEY},
      {A, 2, {8, 75, 362, 62}, IDS_EDIT_FIELD_STORE_RESULT}},
     146, 125, {198, 278, 358}, {2, 3, 4}},
    {7, IDS_EDIT_CAPTION_IS_AVAILABLE, IDS_NAME_IS_AVAILABLE, IDS_EDIT_DESC_IS_AVAILABLE, true, 286, 2,
     {{A, 1, {8, 8, 362, 65}, IDS_EDIT_FIELD_HOTKEY},
      {A, 2, {8, 75, 362, 62}, IDS_EDIT_FIELD_STORE_RESULT}},
     144, 137, {198, 278, 358}, {2, 3, 4}},
    {8, IDS_EDIT_CAPTION_ON_KEY_PRESS, IDS_NAME_ON_KEY_PRESS, IDS_EDIT_DESC_ON_KEY_PRESS, false, 355, 3,
     {{FrameKind::Subroutine, 1, {8, 8, 362, 65}, IDS_EDIT_FIELD_SUBROUTINE},
      {A, 2, {8, 72, 362, 65}, IDS_EDIT_FIELD_STORE_ID},
      {A, 3, {8, 139, 362, 70}, IDS_EDIT_FIELD_STORE_SHORTCUT}},
     212, 125, {198, 278, 358}, {5, 4, 3}},
};

// The edit routines by command number, each given the first slots of the array.
struct Routine {
    int number;
    bool (*edit)(char** params);
};
const Routine kRoutines[] = {
    {1, [](char** p) { return EditKeysAddAction(&p[0], &p[1]); }},
    {2, [](char** p) { return EditKeysChangeAction(&p[0], &p[1], &p[2]); }},
    {3, [](char** p) { return EditKeysRemoveAction(&p[0], &p[1]); }},
    {4, [](char** p) { return EditKeysRemoveByIdAction(&p[0], &p[1]); }},
    {6, [](char** p) { return EditKeysIsValidAction(&p[0], &p[1]); }},
    {7, [](char** p) { return EditKeysIsAvailableAction(&p[0], &p[1]); }},
    {8, [](char** p) { return EditOnKeyPressAction(&p[0], &p[1], &p[2]); }},
};
}  // namespace

const EditorRow* EditorOf(int number) {
    for (const EditorRow& editor : kEditors) {
        if (editor.number == number) {
            return &editor;
        }
    }
    return nullptr;
}

bool EditAction(TPluginActionEditForm& form, std::initializer_list<char**> slots) {
    int parameter = 1;
    for (char** slot : slots) {
        const char* text = slot != nullptr ? *slot : nullptr;
        form.SetFieldText(parameter++, text != nullptr ? text : "");
    }
    if (form.ShowModal() != ui::kMrOk) {
        return false;
    }
    parameter = 1;
    for (char** slot : slots) {
        plugin::AssignHostText(slot, form.FieldText(parameter++));
    }
    return true;
}

bool EditCommand(std::int32_t number, char** params) {
    const auto unsignedNumber = static_cast<std::uint32_t>(number);
    for (const Routine& routine : kRoutines) {
        if (static_cast<std::uint32_t>(routine.number) == unsignedNumber) {
            // A host that hands over no array has no slots to edit or to write.
            return params != nullptr && routine.edit(params);
        }
    }
    return false;
}

}  // namespace tarvik::editors

// The seven command editors as data: per command its texts, its frames from top to
// bottom (which is also their tab order) and where its lower block sits. The edit
// routines of UKeysAddActionEdit ... UOnKeyPressActionEdit all run EditAction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "ui/UDialog.h"

namespace tarvik::editors {

class TPluginActionEditForm;

enum class FrameKind { AlphaVar, Subroutine };

struct FrameRow {
    FrameKind kind;
    int parameter;  // from 1, catalogue order
    ui::Rect rect;
    unsigned captionId;
};

struct EditorRow {
    int number;  // the command
    unsigned captionId;      // the dialog's caption
    unsigned nameId;         // lbActionName: the command's name, also the help topic
    unsigned descriptionId;  // lbActionDesc, first or only line
    bool returnsTruth;       // a second line says what goes into the variable
    int clientHeight;
    std::size_t frameCount;
    FrameRow frames[3];      // top to bottom
    int titleTop;            // T: the title line of the lower block
    int tabWidth;            // W: the title tab's width
    int buttonLefts[3];      // OK, Cancel, Help
    int buttonTabOrders[3];  // OK, Cancel, Help, after the frames
};

constexpr int kClientWidth = 441;

// The editor of a command, or null (TarvikClear, numbers without one).
const EditorRow* EditorOf(int number);

// Loads the slots into the form's fields (a null slot is an empty field), shows it,
// and on OK stores every field into its slot with AssignHostText. Any other result
// touches no slot. Slots in parameter order.
bool EditAction(TPluginActionEditForm& form, std::initializer_list<char**> slots);

// lmEditAction's dispatch: the edit routine of the command, with the first two (or
// three) slots of the array; false without reading the array for 5, 0, and every
// number above 8 (negative numbers among them).
bool EditCommand(std::int32_t number, char** params);

}  // namespace tarvik::editors

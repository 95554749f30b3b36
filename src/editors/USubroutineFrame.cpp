#include "editors/USubroutineFrame.h"

#include <utility>

#include "platform/Platform.h"
#include "plugin/UHostServices.h"
#include "resources/ResourceIds.h"
#include "resources/Strings.h"

namespace tarvik::editors {

namespace {
using platform::Os;

// One row per component, as the tvOnKeyPress editor places the frame.
enum : std::size_t { kBackground, kCaption, kVariables, kField };
const ui::Rect kComponents[] = {
    {3, 3, 358, 60},     // lbBackground
    {12, 9, 0, 0},       // lbVariable
    {319, 35, 27, 23},   // btnVariables
    {13, 35, 300, 22},   // cbVariable
};
constexpr int kItemHeight = 14;
}  // namespace

void TSubroutineFrame::AddComponents(ui::DialogSpec& spec) const {
    auto rect = [&](std::size_t index) { return Place(kComponents[index]); };
    // No colour of its own: the dialog's shows through.
    AddPanel(spec, rect(kBackground), rect(kCaption));
    ui::ControlRow field =
        ui::Control(ui::ControlKind::Combo, placement_.firstId + kCbVariable, rect(kField), L"", ui::FontRole::Field);
    field.itemHeight = kItemHeight;
    spec.controls.push_back(std::move(field));
    spec.controls.push_back(PickerButton(kBtnVariables, rect(kVariables), TARVIK_RES_GLYPH_VARIABLES,
                                         resources::IDS_EDIT_HINT_VARIABLES, spec.background));
}

void TSubroutineFrame::Attach(ui::DialogView& view) {
    TFrame::Attach(view);
    std::vector<std::string> names;
    plugin::GetHostList(plugin::THostListKind::Subroutines, names);
    std::vector<std::wstring> items;
    items.reserve(names.size());
    for (const std::string& name : names) {
        items.push_back(Os().AnsiToWide(name));
    }
    view.AddItems(FieldId(), items);
}

bool TSubroutineFrame::Click(int id) {
    if (id == placement_.firstId + kBtnVariables) {
        btnVariablesClick();
        return true;
    }
    return false;
}

void TSubroutineFrame::btnVariablesClick() {
    PickInto(plugin::THostPickerKind::Variable);
}

}  // namespace tarvik::editors

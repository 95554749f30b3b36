#include "editors/USubroutineFrame.h"

#include "plugin/UHostServices.h"
#include "resources/ResourceIds.h"
#include "resources/Strings.h"

namespace tarvik::editors {

namespace {
using platform::Os;

// One row per component: as designed, and as the tvOnKeyPress editor places it.
struct Component {
    const char* name;
    ui::Rect designed;
    ui::Rect placed;
};
enum : std::size_t { kBackground, kCaption, kVariables, kField };
const Component kComponents[] = {
    {"lbBackground", {3, 3, 204, 60}, {3, 3, 358, 60}},
    {"lbVariable", {12, 9, 0, 0}, {12, 9, 0, 0}},
    {"btnVariables", {176, 35, 27, 23}, {319, 35, 27, 23}},
    {"cbVariable", {13, 35, 157, 22}, {13, 35, 300, 22}},
};
constexpr int kItemHeight = 14;
}  // namespace

void TSubroutineFrame::AddComponents(ui::DialogSpec& spec) const {
    auto rect = [&](std::size_t index) {
        const ui::Rect& r =
            placement_.pickersOnly ? kComponents[index].placed : kComponents[index].designed;
        return At(r.left, r.top, r.width, r.height);
    };
    // No colour of its own: the dialog's shows through.
    ui::PaintRow background;
    background.kind = ui::PaintKind::Picture;
    background.rect = rect(kBackground);
    background.resource = TARVIK_RES_PANEL;
    spec.painted.push_back(background);

    ui::PaintRow caption;
    caption.kind = ui::PaintKind::Label;
    caption.rect = rect(kCaption);
    caption.text = Os().LoadWideText(placement_.captionId);
    caption.font = ui::FontRole::Label;
    caption.fill = ui::kWindowText;
    spec.painted.push_back(caption);

    ui::ControlRow field;
    field.kind = ui::ControlKind::Combo;
    field.id = placement_.firstId + kCbVariable;
    field.rect = rect(kField);
    field.font = ui::FontRole::Field;
    field.itemHeight = kItemHeight;
    spec.controls.push_back(field);

    ui::ControlRow button;
    button.kind = ui::ControlKind::FlatButton;
    button.id = placement_.firstId + kBtnVariables;
    button.rect = rect(kVariables);
    button.glyph = TARVIK_RES_GLYPH_VARIABLES;
    button.hint = Os().LoadWideText(resources::IDS_EDIT_HINT_VARIABLES);
    button.background = spec.background;
    spec.controls.push_back(button);
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
    PickInto(static_cast<int>(plugin::THostPickerKind::Variable));
}

}  // namespace tarvik::editors

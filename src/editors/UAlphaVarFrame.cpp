#include "editors/UAlphaVarFrame.h"

#include "plugin/UHostServices.h"
#include "resources/ResourceIds.h"
#include "resources/Strings.h"

namespace tarvik::editors {

namespace {
using platform::Os;

// One row per component: the frame as designed, and as every editor of this library
// places it (widened to 362, the field to 300, the variables button moved).
struct Component {
    const char* name;
    ui::Rect designed;
    ui::Rect placed;
};
enum : std::size_t { kBackground, kCaption, kField, kVariables, kSeparator, kObjects, kFiles };
const Component kComponents[] = {
    {"lbBackground", {3, 3, 296, 58}, {3, 3, 358, 58}},
    {"lbVariable", {12, 9, 0, 0}, {12, 9, 0, 0}},
    {"edVariable", {13, 35, 173, 22}, {13, 35, 300, 22}},
    {"btnVariables", {191, 35, 27, 23}, {319, 33, 27, 23}},
    {"separator", {224, 33, 4, 24}, {224, 33, 4, 24}},
    {"btnObjects", {234, 35, 27, 23}, {234, 35, 27, 23}},
    {"btnFiles", {267, 35, 27, 23}, {267, 35, 27, 23}},
};
}  // namespace

void TFrame::PickInto(int kind) {
    const int field = FieldId();
    const std::string current = Os().WideToAnsi(View().Text(field));
    std::string chosen;
    plugin::PickFromHost(static_cast<plugin::THostPickerKind>(kind), current, chosen);
    if (!chosen.empty()) {
        View().SetText(field, Os().AnsiToWide(chosen));
    }
    View().FocusAndSelectAll(field);
}

void TAlphaVarFrame::AddComponents(ui::DialogSpec& spec) const {
    const bool placed = placement_.pickersOnly;
    auto rect = [&](std::size_t index) {
        const ui::Rect& r = placed ? kComponents[index].placed : kComponents[index].designed;
        return At(r.left, r.top, r.width, r.height);
    };
    ui::PaintRow fill;
    fill.kind = ui::PaintKind::Fill;
    fill.rect = placement_.rect;
    fill.fill = kColour;
    spec.painted.push_back(fill);

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

    if (!placed) {
        ui::PaintRow separator;
        separator.kind = ui::PaintKind::Picture;
        separator.rect = rect(kSeparator);
        separator.resource = TARVIK_RES_SEPARATOR;
        spec.painted.push_back(separator);
    }

    ui::ControlRow field;
    field.kind = ui::ControlKind::Edit;
    field.id = placement_.firstId + kEdVariable;
    field.rect = rect(kField);
    field.font = ui::FontRole::Field;
    spec.controls.push_back(field);

    struct Picker {
        std::size_t component;
        int id;
        const char* glyph;
        unsigned hint;
    };
    const Picker pickers[] = {
        {kVariables, kBtnVariables, TARVIK_RES_GLYPH_VARIABLES, resources::IDS_EDIT_HINT_VARIABLES},
        {kObjects, kBtnObjects, TARVIK_RES_GLYPH_OBJECTS, resources::IDS_EDIT_HINT_OBJECTS},
        {kFiles, kBtnFiles, TARVIK_RES_GLYPH_FILES, resources::IDS_EDIT_HINT_FILES},
    };
    for (const Picker& picker : pickers) {
        ui::ControlRow button;
        button.kind = ui::ControlKind::FlatButton;
        button.id = placement_.firstId + picker.id;
        button.rect = rect(picker.component);
        button.glyph = picker.glyph;
        button.hint = Os().LoadWideText(picker.hint);
        button.background = kColour;
        button.visible = !placed || picker.id == kBtnVariables;
        spec.controls.push_back(button);
    }
}

bool TAlphaVarFrame::Click(int id) {
    switch (id - placement_.firstId) {
        case kBtnVariables:
            btnVariablesClick();
            return true;
        case kBtnObjects:
            btnObjectsClick();
            return true;
        case kBtnFiles:
            btnFilesClick();
            return true;
        default:
            return false;
    }
}

void TAlphaVarFrame::btnVariablesClick() {
    PickInto(static_cast<int>(plugin::THostPickerKind::Variable));
}

void TAlphaVarFrame::btnObjectsClick() {
    if (ObjectsTag == 0) {
        PickInto(static_cast<int>(plugin::THostPickerKind::ObjectTag0));
    } else if (ObjectsTag == 1) {
        PickInto(static_cast<int>(plugin::THostPickerKind::ObjectTag1));
    } else {
        View().FocusAndSelectAll(FieldId());
    }
}

void TAlphaVarFrame::btnFilesClick() {
    const int field = FieldId();
    if (FilesTag == 0 || FilesTag == 1) {
        platform::FileChoice choice;
        if (Os().ChooseFiles(View().Handle(), FilesTag == 1, choice)) {
            View().SetText(field, EnterFileChoice(View().Text(field), choice));
        }
    } else if (FilesTag == 2) {
        std::wstring folder;
        if (Os().BrowseForFolder(View().Handle(),
                                 Os().LoadWideText(resources::IDS_EDIT_CHOOSE_DIRECTORY), folder)) {
            View().SetText(field, EnterFolderChoice(folder));
        }
    }
    View().FocusAndSelectAll(field);
}

std::wstring EnterFileChoice(const std::wstring& current, const platform::FileChoice& choice) {
    if (choice.files.empty()) {
        return choice.fileName;
    }
    std::wstring text = current;
    for (const std::wstring& file : choice.files) {
        text = text.empty() ? file : text + L"|" + file;
    }
    return text;
}

std::wstring EnterFolderChoice(const std::wstring& folder) {
    if (!folder.empty() && folder.back() == L'\\') {
        return folder;
    }
    return folder + L"\\";
}

}  // namespace tarvik::editors

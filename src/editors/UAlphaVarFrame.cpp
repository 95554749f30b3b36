#include "editors/UAlphaVarFrame.h"

#include "plugin/UHostServices.h"
#include "resources/ResourceIds.h"
#include "resources/Strings.h"

namespace tarvik::editors {

namespace {
using platform::Os;

// One row per component: the frame as designed, and as every editor of this library
// places it (widened to 362, the field to 300, the variables button moved).
enum : std::size_t { kBackground, kCaption, kField, kVariables, kSeparator, kObjects, kFiles };
const FrameComponent kComponents[] = {
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

void TFrame::AddPanel(ui::DialogSpec& spec, ui::Rect background, ui::Rect caption) const {
    spec.painted.push_back(ui::PictureRow(background, TARVIK_RES_PANEL));
    spec.painted.push_back(ui::LabelRow(caption, Os().LoadWideText(placement_.captionId),
                                        ui::FontRole::Label, ui::kWindowText));
}

ui::ControlRow TFrame::PickerButton(int id, ui::Rect rect, const char* glyph, unsigned hint,
                                    ui::Colour background) const {
    ui::ControlRow button = ui::Control(ui::ControlKind::FlatButton, placement_.firstId + id, rect, L"",
                                        ui::FontRole::Field);
    button.glyph = glyph;
    button.hint = Os().LoadWideText(hint);
    button.background = background;
    return button;
}

void TAlphaVarFrame::AddComponents(ui::DialogSpec& spec) const {
    const bool placed = placement_.pickersOnly;
    auto rect = [&](std::size_t index) { return Place(kComponents[index]); };
    spec.painted.push_back(ui::FillRow(placement_.rect, kColour));
    AddPanel(spec, rect(kBackground), rect(kCaption));
    if (!placed) {
        spec.painted.push_back(ui::PictureRow(rect(kSeparator), TARVIK_RES_SEPARATOR));
    }
    spec.controls.push_back(
        ui::Control(ui::ControlKind::Edit, placement_.firstId + kEdVariable, rect(kField), L"", ui::FontRole::Field));

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
        ui::ControlRow button = PickerButton(picker.id, rect(picker.component), picker.glyph, picker.hint, kColour);
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

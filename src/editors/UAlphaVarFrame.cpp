#include "editors/UAlphaVarFrame.h"

#include "plugin/UHostServices.h"
#include "resources/ResourceIds.h"
#include "resources/Strings.h"

namespace tarvik::editors {

namespace {
using platform::Os;

// One row per component, as every editor of this library places the frame: widened to
// 362, the field to 300, the variables button moved to its end. Only the variables
// button is shown; the objects and files buttons stay hidden.
enum : std::size_t { kBackground, kCaption, kField, kVariables, kObjects, kFiles };
const ui::Rect kComponents[] = {
    {3, 3, 358, 58},     // lbBackground
    {12, 9, 0, 0},       // lbVariable
    {13, 35, 300, 22},   // edVariable
    {319, 33, 27, 23},   // btnVariables
    {234, 35, 27, 23},   // btnObjects
    {267, 35, 27, 23},   // btnFiles
};
}  // namespace

void TAlphaVarFrame::AddComponents(ui::DialogSpec& spec) const {
    auto rect = [&](std::size_t index) { return Place(kComponents[index]); };
    spec.painted.push_back(ui::FillRow(placement_.rect, kColour));
    AddPanel(spec, rect(kBackground), rect(kCaption));
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
        button.visible = picker.id == kBtnVariables;
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
    PickInto(plugin::THostPickerKind::Variable);
}

void TAlphaVarFrame::btnObjectsClick() {
    if (ObjectsTag == 0) {
        PickInto(plugin::THostPickerKind::ObjectTag0);
    } else if (ObjectsTag == 1) {
        PickInto(plugin::THostPickerKind::ObjectTag1);
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

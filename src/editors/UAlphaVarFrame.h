// TAlphaVarFrame: a frame (UFrame.h) with a caption, an edit box and picker buttons,
// and how the file and folder choosers' answers enter its field.
#pragma once

#include <string>

#include "editors/UFrame.h"
#include "platform/Platform.h"

namespace tarvik::editors {

class TAlphaVarFrame : public TFrame {
public:
    // Control ids, from the placement's first id.
    enum : int { kEdVariable = 0, kBtnVariables = 1, kBtnObjects = 2, kBtnFiles = 3 };
    // Colour of its own, not the dialog's: red, green and blue 240.
    static constexpr ui::Colour kColour = ui::Rgb(240, 240, 240);

    explicit TAlphaVarFrame(const FramePlacement& placement) : TFrame(placement) {}

    void AddComponents(ui::DialogSpec& spec) const override;
    bool Click(int id) override;
    int FieldId() const override { return placement_.firstId + kEdVariable; }

    void btnVariablesClick();
    void btnObjectsClick();
    void btnFilesClick();

    // Tags set by the form that places the frame; 0 unless it sets another.
    int ObjectsTag = 0;
    int FilesTag = 0;
};

// How a confirmed open-file or save-file choice enters the field: with no list of
// chosen files the dialog's file name replaces the text; otherwise each chosen file is
// appended in the dialog's order, after "|" unless the text is empty at that moment.
std::wstring EnterFileChoice(const std::wstring& current, const platform::FileChoice& choice);
// How a confirmed folder enters the field: its path, with "\" added when it has none.
std::wstring EnterFolderChoice(const std::wstring& folder);

}  // namespace tarvik::editors

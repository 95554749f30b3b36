// The frames that hold one parameter each: TAlphaVarFrame (a caption, an edit box and
// picker buttons) and, in USubroutineFrame.h, TSubroutineFrame (a caption, a combo box
// of the host's subroutines and a variables button). A frame is a group of components
// of its dialog, placed at an offset; its handlers act on the dialog's view.
#pragma once

#include <string>

#include "platform/Platform.h"
#include "ui/UDialog.h"

namespace tarvik::editors {

// What the editor that places a frame decides about it.
struct FramePlacement {
    const char* name;    // HotkeyFrame, ResultVarFrame...
    ui::Rect rect;       // in the dialog's client area
    unsigned captionId;  // string-table entry of its caption
    int firstId;         // the ids of its controls start here
    bool pickersOnly;    // only the variables button is visible
};

// One component of a frame: where it was designed, and where the editors of this library
// place it when the frame is widened.
struct FrameComponent {
    const char* name;
    ui::Rect designed;
    ui::Rect placed;
};

class TFrame {
public:
    explicit TFrame(const FramePlacement& placement) : placement_(placement) {}
    virtual ~TFrame() = default;
    TFrame(const TFrame&) = delete;
    TFrame& operator=(const TFrame&) = delete;

    // Its components, added to the dialog's tables.
    virtual void AddComponents(ui::DialogSpec& spec) const = 0;
    // Called once the dialog's window exists.
    virtual void Attach(ui::DialogView& view) { view_ = &view; }
    // True when the click was on one of its buttons (and has been handled).
    virtual bool Click(int id) = 0;
    // The parameter's field (the edit box or the combo box).
    virtual int FieldId() const = 0;

    const FramePlacement& Placement() const { return placement_; }

protected:
    // The component's rectangle in the dialog, as this frame is placed.
    ui::Rect Place(const FrameComponent& component) const {
        const ui::Rect& r = placement_.pickersOnly ? component.placed : component.designed;
        return ui::Rect{placement_.rect.left + r.left, placement_.rect.top + r.top, r.width, r.height};
    }
    // The field's text from the host's picker of this kind, started on its current text;
    // an empty answer leaves the field unchanged. The field ends focused, all selected.
    void PickInto(int kind);
    ui::DialogView& View() const { return *view_; }
    // The panel picture behind the frame and the parameter's caption on it.
    void AddPanel(ui::DialogSpec& spec, ui::Rect background, ui::Rect caption) const;
    // A flat button of this frame with one of the glyphs; the hint is kept, never shown.
    ui::ControlRow PickerButton(int id, ui::Rect rect, const char* glyph, unsigned hint,
                                ui::Colour background) const;

    FramePlacement placement_;
    ui::DialogView* view_ = nullptr;
};

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

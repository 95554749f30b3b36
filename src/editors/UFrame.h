// TFrame: what the frames that hold one parameter each share (TAlphaVarFrame,
// TSubroutineFrame), and where the editor that places a frame puts it. A frame is a
// group of components of its dialog, placed at an offset; its handlers act on the
// dialog's view.
#pragma once

#include "ui/UDialog.h"

namespace tarvik::plugin {
enum class THostPickerKind;
}

namespace tarvik::editors {

// What the editor that places a frame decides about it.
struct FramePlacement {
    ui::Rect rect;       // in the dialog's client area
    unsigned captionId;  // string-table entry of its caption
    int firstId;         // the ids of its controls start here
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

protected:
    // A component's rectangle in the frame, moved to where the frame is placed.
    ui::Rect Place(const ui::Rect& component) const {
        return ui::Rect{placement_.rect.left + component.left, placement_.rect.top + component.top,
                        component.width, component.height};
    }
    // The field's text from the host's picker of this kind, started on its current text;
    // an empty answer leaves the field unchanged. The field ends focused, all selected.
    void PickInto(plugin::THostPickerKind kind);
    ui::DialogView& View() const { return *view_; }
    // The panel picture behind the frame and the parameter's caption on it.
    void AddPanel(ui::DialogSpec& spec, ui::Rect background, ui::Rect caption) const;
    // A flat button of this frame with one of the glyphs; the hint is kept, never shown.
    ui::ControlRow PickerButton(int id, ui::Rect rect, const char* glyph, unsigned hint,
                                ui::Colour background) const;

    FramePlacement placement_;
    ui::DialogView* view_ = nullptr;
};

}  // namespace tarvik::editors

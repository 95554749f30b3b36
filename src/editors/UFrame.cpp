#include "editors/UFrame.h"

#include "platform/Platform.h"
#include "plugin/UHostServices.h"
#include "resources/ResourceIds.h"
#include "resources/Strings.h"

namespace tarvik::editors {

using platform::Os;

void TFrame::PickInto(plugin::THostPickerKind kind) {
    const int field = FieldId();
    const std::string current = Os().WideToAnsi(View().Text(field));
    std::string chosen;
    plugin::PickFromHost(kind, current, chosen);
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

}  // namespace tarvik::editors

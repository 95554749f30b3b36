// What a test reads of a dialog's colours: the places that draw in a fixed colour rather
// than one of the system's, the colour of a painted text, and whether a picture remains.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "ui/UDialog.h"

namespace tarvik::testing_support {

// One line per colour of the dialog that is not a system colour ("painted 3 fill",
// "control 101 background"); empty when the dialog draws in the system's colours only.
inline std::vector<std::string> FixedColours(const ui::DialogSpec& spec) {
    std::vector<std::string> fixed;
    const auto check = [&fixed](ui::Colour colour, const std::string& where) {
        if (!ui::IsSysColour(colour)) {
            fixed.push_back(where);
        }
    };
    check(spec.background, "background");
    for (std::size_t i = 0; i < spec.painted.size(); ++i) {
        const ui::PaintRow& row = spec.painted[i];
        const std::string where = "painted " + std::to_string(i);
        switch (row.kind) {
            case ui::PaintKind::Rectangle:
            case ui::PaintKind::RoundRect:
                if (row.outlineWidth > 0) {
                    check(row.outline, where + " outline");
                }
                check(row.fill, where + " fill");
                break;
            case ui::PaintKind::Fill:
            case ui::PaintKind::Label:
                check(row.fill, where + " fill");
                break;
            default:
                break;
        }
    }
    for (const ui::ControlRow& row : spec.controls) {
        const std::string where = "control " + std::to_string(row.id);
        if (row.kind == ui::ControlKind::FlatButton || row.kind == ui::ControlKind::Link ||
            row.kind == ui::ControlKind::Memo) {
            check(row.background, where + " background");
        }
        if (row.kind == ui::ControlKind::Link || row.kind == ui::ControlKind::Memo) {
            check(row.textColour, where + " text");
        }
    }
    return fixed;
}

// The colours of the painted texts, in painting order.
inline std::vector<ui::Colour> LabelColours(const ui::DialogSpec& spec) {
    std::vector<ui::Colour> colours;
    for (const ui::PaintRow& row : spec.painted) {
        if (row.kind == ui::PaintKind::Label) {
            colours.push_back(row.fill);
        }
    }
    return colours;
}

// Whether the dialog paints the bitmap resource of this name.
inline bool PaintsPicture(const ui::DialogSpec& spec, const char* resource) {
    for (const ui::PaintRow& row : spec.painted) {
        if (row.kind == ui::PaintKind::Picture && row.resource != nullptr &&
            std::strcmp(row.resource, resource) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace tarvik::testing_support

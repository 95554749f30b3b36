// The row builders and the view factory; the Win32 view is UDialog_win.cpp, the
// headless one UDialog_headless.cpp.
#include "ui/UDialog.h"

#include <utility>
#include <vector>

namespace tarvik::ui {

#if defined(_WIN32)
std::unique_ptr<DialogView> CreateWindowView(const DialogSpec& spec, DialogEvents& events);
#endif

namespace {
DialogViewFactory& InstalledFactory() {
    static DialogViewFactory factory;
    return factory;
}
}  // namespace

PaintRow FillRow(Rect rect, Colour colour) {
    PaintRow row;
    row.kind = PaintKind::Fill;
    row.rect = rect;
    row.fill = colour;
    return row;
}

PaintRow ShapeRow(PaintKind kind, Rect rect, Colour fill, Colour outline, int outlineWidth) {
    PaintRow row = FillRow(rect, fill);
    row.kind = kind;
    row.outline = outline;
    row.outlineWidth = outlineWidth;
    return row;
}

PaintRow PictureRow(Rect rect, const char* resource, bool transparent) {
    PaintRow row;
    row.kind = PaintKind::Picture;
    row.rect = rect;
    row.resource = resource;
    row.transparent = transparent;
    return row;
}

PaintRow IconRow(Rect rect, const char* resource) {
    PaintRow row = PictureRow(rect, resource);
    row.kind = PaintKind::Icon;
    return row;
}

PaintRow LabelRow(Rect rect, std::wstring text, FontRole font, Colour colour) {
    PaintRow row = FillRow(rect, colour);
    row.kind = PaintKind::Label;
    row.text = std::move(text);
    row.font = font;
    return row;
}

ControlRow Control(ControlKind kind, int id, Rect rect, std::wstring text, FontRole font) {
    ControlRow row;
    row.kind = kind;
    row.id = id;
    row.rect = rect;
    row.text = std::move(text);
    row.font = font;
    return row;
}

namespace {
bool Contains(const Rect& rect, const Rect& text) {
    return text.left >= rect.left && text.left < rect.left + rect.width && text.top >= rect.top &&
           text.top < rect.top + rect.height;
}

Colour TextOn(Colour surface) {
    return surface == kWindow ? kWindowText : kButtonText;
}
}  // namespace

DialogSpec InSystemColours(DialogSpec spec) {
    spec.background = kButtonFace;
    std::vector<Rect> texts;
    for (const PaintRow& row : spec.painted) {
        if (row.kind == PaintKind::Label) {
            texts.push_back(row.rect);
        }
    }
    for (const ControlRow& row : spec.controls) {
        texts.push_back(row.rect);
    }
    const auto underText = [&texts](const Rect& rect) {
        for (const Rect& text : texts) {
            if (Contains(rect, text)) {
                return true;
            }
        }
        return false;
    };

    std::vector<PaintRow> painted;
    // The colour behind a point: the front-most shape kept so far, else the face.
    const auto surfaceAt = [&painted](const Rect& text) {
        Colour surface = kButtonFace;
        for (const PaintRow& row : painted) {
            if ((row.kind == PaintKind::Rectangle || row.kind == PaintKind::RoundRect) &&
                Contains(row.rect, text)) {
                surface = row.fill;
            }
        }
        return surface;
    };
    painted.reserve(spec.painted.size());
    for (PaintRow& row : spec.painted) {
        switch (row.kind) {
            case PaintKind::Fill:
                if (!IsSysColour(row.fill)) {
                    continue;
                }
                break;
            case PaintKind::Picture:
            case PaintKind::Pixels:
                if (underText(row.rect)) {
                    continue;
                }
                break;
            case PaintKind::Rectangle:
            case PaintKind::RoundRect:
                row.fill = row.fill == kButtonFace ? kButtonFace : kWindow;
                if (!IsSysColour(row.outline)) {
                    row.outline = TextOn(row.fill);
                }
                break;
            case PaintKind::Label:
                row.fill = TextOn(surfaceAt(row.rect));
                break;
            case PaintKind::Icon:
            case PaintKind::Frame:
                break;
        }
        painted.push_back(std::move(row));
    }
    for (ControlRow& row : spec.controls) {
        row.background = surfaceAt(row.rect);
        row.textColour = TextOn(row.background);
    }
    spec.painted = std::move(painted);
    return spec;
}

std::unique_ptr<DialogView> CreateDialogView(const DialogSpec& spec, DialogEvents& events) {
    if (InstalledFactory()) {
        return InstalledFactory()(spec, events);
    }
#if defined(_WIN32)
    return CreateWindowView(spec, events);
#else
    return CreateHeadlessView(spec, events, HeadlessUser());
#endif
}

void SetDialogViewFactory(DialogViewFactory factory) {
    InstalledFactory() = std::move(factory);
}

}  // namespace tarvik::ui

// The row builders and the view factory; the Win32 view is UDialog_win.cpp, the
// headless one UDialog_headless.cpp.
#include "ui/UDialog.h"

#include <utility>

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

// A dialog described as data: a table of painted components (shapes, pictures, labels,
// drawn back to front) and a table of windowed controls (created in tab order), plus
// the handlers that react to it. The same description drives two views: the Win32
// window of UDialog_win.cpp, and a headless one that tests (and builds without
// windows) run with a scripted user.
//
// To build a dialog on this layer:
//   1. fill a DialogSpec: caption, client size, the painted rows and the control rows,
//      each with its exact rectangle at 96 pixels per inch (the window scales them when
//      the system reports another resolution), its font role and its text;
//   2. implement DialogEvents: Command(id) for clicks and Enter/Escape (they arrive as
//      the default and the cancel button's ids), KeyUp(vk) for every key released
//      anywhere in the dialog (key preview), Closing(result) just before it ends;
//   3. CreateDialogView(spec, events) makes the window, owned by the window active for
//      the calling thread; RunModal() shows it and returns the result given to End();
//      destroying the view destroys the window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarvik::ui {

// Left, top, width and height in pixels at 96 pixels per inch.
struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// RGB as the Windows COLORREF stores it: red in the low byte.
using Colour = std::uint32_t;
constexpr Colour Rgb(unsigned red, unsigned green, unsigned blue) {
    return red | (green << 8) | (blue << 16);
}
// System colours, told apart from RGB values by the top byte.
constexpr Colour kSysColourFlag = 0xFF000000u;
constexpr Colour SysColour(unsigned index) { return kSysColourFlag | index; }
constexpr Colour kButtonFace = SysColour(15);  // COLOR_BTNFACE
constexpr Colour kButtonText = SysColour(18);  // COLOR_BTNTEXT
constexpr Colour kWindow = SysColour(5);       // COLOR_WINDOW
constexpr Colour kWindowText = SysColour(8);   // COLOR_WINDOWTEXT
constexpr bool IsSysColour(Colour colour) { return (colour & kSysColourFlag) == kSysColourFlag; }
constexpr Colour kBlack = Rgb(0, 0, 0);
constexpr Colour kGrey = Rgb(128, 128, 128);

// What every dialog shares: the ids of OK, Cancel and Help (IDOK, IDCANCEL, IDHELP;
// Enter and Escape arrive as the first two), the modal results, and the keys the
// dialogs react to.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdHelp = 9;
constexpr int kMrOk = 1;
constexpr int kMrCancel = 2;
constexpr unsigned kVkEscape = 27;
constexpr unsigned kVkF1 = 112;

// The fonts a dialog uses, by role.
enum class FontRole {
    Dialog,     // Tahoma 8 pt (11 px), default character set
    Label,      // Arial 9 pt (12 px), default character set
    LabelAnsi,  // Arial 9 pt (12 px), ANSI character set
    Field,      // Tahoma 9 pt (12 px): edit boxes, combo boxes, push buttons
    Small,      // Tahoma, 9 px
    Heading,    // Tahoma bold, 19 px
    Italic,     // Tahoma italic, 13 px
    Bold,       // Tahoma bold, 11 px
    Link,       // Tahoma underlined, 11 px
};

enum class PaintKind {
    Fill,          // a plain rectangle of one colour (a frame's own background)
    Rectangle,     // a shape: fill and outline
    RoundRect,     // a shape with rounded corners: fill and outline
    Picture,       // a bitmap resource at its own size, clipped to the rectangle
    Icon,          // an icon resource, centred in the rectangle
    Label,         // text; sized to the text unless wordWrap
    Frame,         // an etched frame without a caption, as a group box draws it
    Pixels,        // a 24-bit picture held in memory, at its own size
};

// A picture in memory: 24 bits per pixel, blue, green, red; rows top-down, each padded
// to a multiple of 4 bytes. An empty one draws nothing.
struct PixelPicture {
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
    std::vector<std::uint8_t> bgr;
};

// One painted component. Rows are painted in table order, back to front.
struct PaintRow {
    PaintKind kind = PaintKind::Fill;
    Rect rect;
    Colour fill = kButtonFace;  // Fill, Rectangle, RoundRect; text colour for Label
    Colour outline = 0;
    int outlineWidth = 0;
    const char* resource = nullptr;  // Picture, Icon: the resource name
    bool transparent = false;        // Picture: the bottom-left pixel's colour is see-through
    std::wstring text;               // Label
    FontRole font = FontRole::Dialog;
    bool wordWrap = false;  // Label: fixed size, words wrapped inside it
    bool centred = false;   // Label: centred in its rectangle
    std::shared_ptr<const PixelPicture> pixels;  // Pixels
};

enum class ControlKind {
    Edit,        // single-line edit box
    Combo,       // editable drop-down combo box, unsorted
    Button,      // push button
    FlatButton,  // owner-drawn picture button: never a tab stop, never takes the focus
    Link,        // centred text that reports a click, under a hand cursor; never a tab stop
    Memo,        // read-only text of several lines with a vertical scroll bar; reports a
                 // click, under a hand cursor; never a tab stop
};

// One windowed control. Controls are created in table order, which is the tab order.
struct ControlRow {
    ControlKind kind = ControlKind::Edit;
    int id = 0;  // the child id and the id Command() receives
    Rect rect;
    std::wstring text;  // Button: the caption; Edit, Combo: the first text
    FontRole font = FontRole::Field;
    bool visible = true;
    bool isDefault = false;          // Button: Enter presses it
    const char* glyph = nullptr;     // FlatButton: 19 x 19 bitmap on magenta
    std::wstring hint;               // FlatButton: kept with the button, never shown
    int itemHeight = 0;              // Combo: height of a list item
    Colour background = kButtonFace;  // FlatButton: what shows around the glyph; Link, Memo
    Colour textColour = kWindowText;  // Link, Memo
};

// The rows the dialogs use most; the rarer fields are set on the result.
PaintRow FillRow(Rect rect, Colour colour);
// kind: Rectangle or RoundRect.
PaintRow ShapeRow(PaintKind kind, Rect rect, Colour fill, Colour outline, int outlineWidth);
PaintRow PictureRow(Rect rect, const char* resource, bool transparent = false);
PaintRow IconRow(Rect rect, const char* resource);
PaintRow LabelRow(Rect rect, std::wstring text, FontRole font, Colour colour);
ControlRow Control(ControlKind kind, int id, Rect rect, std::wstring text, FontRole font);

struct DialogSpec {
    std::wstring caption;
    int clientWidth = 0;
    int clientHeight = 0;
    Colour background = kButtonFace;
    std::vector<PaintRow> painted;
    std::vector<ControlRow> controls;
    int firstFocus = 0;      // the control that has the focus when the dialog opens
    int defaultId = kIdOk;        // Enter
    int cancelId = kIdCancel;     // Escape
    int closeResult = kMrCancel;  // the close box
    bool bringToTopOnActivate = false;
};

// The same dialog for the system's high-contrast mode: every text and what lies behind it
// in the system's colour pairs. A shape of a fixed colour is filled with the window colour
// (a fixed outline becomes window text), and a text or a control on it is window text on
// window; any other is button text on button face. Fixed fills and the pictures that a
// text or a control lies on are left out; pictures beside texts, icons and etched frames
// stay. A text or a control lies where its rectangle's top-left corner is.
DialogSpec InSystemColours(DialogSpec spec);

// What the dialog's owner does with the user's actions. Called on the dialog's thread;
// an exception thrown from a handler is caught by the view and ends nothing.
class DialogEvents {
public:
    virtual void Command(int id) = 0;
    virtual void KeyUp(unsigned virtualKey) = 0;
    virtual void Closing(int result) = 0;

protected:
    ~DialogEvents() = default;
};

class DialogView {
public:
    virtual ~DialogView() = default;
    virtual std::wstring Text(int id) = 0;
    virtual void SetText(int id, const std::wstring& text) = 0;
    virtual void AddItems(int id, const std::vector<std::wstring>& items) = 0;
    // Gives the control the focus and selects its whole text.
    virtual void FocusAndSelectAll(int id) = 0;
    // Shows the dialog and runs its modal loop; the result given to End.
    virtual int RunModal() = 0;
    // Closing(result) is called, then the loop ends with that result.
    virtual void End(int result) = 0;
    // An error message box owned by the dialog.
    virtual void ShowError(const std::wstring& text) = 0;
    // The window (HWND), or null for a view without one.
    virtual void* Handle() = 0;
};

using DialogViewFactory =
    std::function<std::unique_ptr<DialogView>(const DialogSpec&, DialogEvents&)>;

// Creates the view of this build: a Win32 window under Windows, a headless view
// elsewhere; or what SetDialogViewFactory installed.
std::unique_ptr<DialogView> CreateDialogView(const DialogSpec& spec, DialogEvents& events);
// Installs a factory (tests); an empty one puts the build's default back.
void SetDialogViewFactory(DialogViewFactory factory);

// --- The headless view ----------------------------------------------------------------

// A dialog without a window: it keeps the texts, items, focus and selection of its
// controls and lets a scripted user act on it as a person would on the window.
class HeadlessDialog : public DialogView {
public:
    HeadlessDialog(const DialogSpec& spec, DialogEvents& events);

    std::wstring Text(int id) override;
    void SetText(int id, const std::wstring& text) override;
    void AddItems(int id, const std::vector<std::wstring>& items) override;
    void FocusAndSelectAll(int id) override;
    int RunModal() override;
    void End(int result) override;
    void ShowError(const std::wstring& text) override;
    void* Handle() override { return nullptr; }

    // Shown: the control that has the first focus gets it as from the keyboard, its whole
    // text selected. The scripted views call it as they run, before their user acts.
    void Open();

    // --- What the user does --------------------------------------------------------------
    // Types into a control: its whole text becomes `text`. Like every action of the
    // user, nothing happens once the dialog has ended.
    void Type(int id, const std::wstring& text);
    // Clicks a control; false (and nothing happens) when it is hidden or no such control.
    bool Click(int id);
    void PressEnter();
    void PressEscape();
    void CloseBox();
    // Releases a key while the focus is wherever it is.
    void ReleaseKey(unsigned virtualKey);

    // --- What the user sees ------------------------------------------------------------------
    const DialogSpec& Spec() const { return spec_; }
    int Focus() const { return focus_; }
    bool AllSelected(int id) const;  // the whole text of the control is selected
    bool Visible(int id) const;
    std::vector<std::wstring> Items(int id) const;
    const std::vector<std::wstring>& Errors() const { return errors_; }
    bool Ended() const { return ended_; }

private:
    struct Control {
        int id;
        ControlKind kind;
        bool visible;
        std::wstring text;
        std::vector<std::wstring> items;
        bool allSelected = false;
    };
    Control* Find(int id);
    const Control* Find(int id) const;

    DialogSpec spec_;
    DialogEvents& events_;
    std::vector<Control> controls_;
    std::vector<std::wstring> errors_;
    int focus_ = 0;
    int result_ = 0;
    bool ended_ = false;
};

// The user of the headless dialogs: called from RunModal with the dialog; when it
// returns without ending the dialog, the dialog ends as by the close box. Without a
// user a headless dialog closes at once, as if nobody were there to confirm it.
using HeadlessUser = std::function<void(HeadlessDialog&)>;

// Installs the headless view with this user for its lifetime (tests), then puts the
// build's default back.
class ScopedHeadlessUser {
public:
    explicit ScopedHeadlessUser(HeadlessUser user);
    ~ScopedHeadlessUser();
    ScopedHeadlessUser(const ScopedHeadlessUser&) = delete;
    ScopedHeadlessUser& operator=(const ScopedHeadlessUser&) = delete;
    int DialogsShown() const { return *shown_; }

private:
    std::shared_ptr<int> shown_;
};

// The build's default view factory when it has no windows: headless, nobody there.
std::unique_ptr<DialogView> CreateHeadlessView(const DialogSpec& spec, DialogEvents& events,
                                               const HeadlessUser& user);

}  // namespace tarvik::ui

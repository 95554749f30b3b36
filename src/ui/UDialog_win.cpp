// The Win32 view of a DialogSpec: a Unicode top-level window owned by the window that is
// active for the calling thread, its painted components drawn back to front in WM_PAINT,
// its windowed controls created in tab order, flat owner-drawn picture buttons that
// never take the focus, and a modal loop with key preview.
#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/Module_win.h"
#include "ui/UDialog.h"
#include "ui/UHandles_win.h"
#include "ui/UWindow_win.h"

namespace tarvik::ui {

namespace {

using platform::OwnModule;

constexpr COLORREF kMagenta = RGB(255, 0, 255);
// Posted to the dialog after a Tab has moved the focus: select the focused field's text.
constexpr UINT kSelectFocusedField = WM_APP + 1;
constexpr int kDesignDpi = 96;

COLORREF ToColorRef(Colour colour) {
    if ((colour & kSysColourFlag) == kSysColourFlag) {
        return GetSysColor(static_cast<int>(colour & 0xFFu));
    }
    return static_cast<COLORREF>(colour);
}

int SystemDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : kDesignDpi;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : kDesignDpi;
}

struct FontFace {
    const wchar_t* face;
    int height;  // character height in pixels at 96 dpi
    BYTE charset;
    int weight = FW_NORMAL;
    BOOL italic = FALSE;
    BOOL underline = FALSE;
};

constexpr FontRole kFontRoles[] = {FontRole::Dialog, FontRole::Label, FontRole::LabelAnsi,
                                   FontRole::Field,  FontRole::Small, FontRole::Heading,
                                   FontRole::Italic, FontRole::Bold,  FontRole::Link};

FontFace FaceOf(FontRole role) {
    switch (role) {
        case FontRole::Label:
            return {L"Arial", 12, DEFAULT_CHARSET};
        case FontRole::LabelAnsi:
            return {L"Arial", 12, ANSI_CHARSET};
        case FontRole::Field:
            return {L"Tahoma", 12, DEFAULT_CHARSET};
        case FontRole::Small:
            return {L"Tahoma", 9, DEFAULT_CHARSET};
        case FontRole::Heading:
            return {L"Tahoma", 19, DEFAULT_CHARSET, FW_BOLD};
        case FontRole::Italic:
            return {L"Tahoma", 13, DEFAULT_CHARSET, FW_NORMAL, TRUE};
        case FontRole::Bold:
            return {L"Tahoma", 11, DEFAULT_CHARSET, FW_BOLD};
        case FontRole::Link:
            return {L"Tahoma", 11, DEFAULT_CHARSET, FW_NORMAL, FALSE, TRUE};
        case FontRole::Dialog:
        default:
            return {L"Tahoma", 11, DEFAULT_CHARSET};
    }
}

std::wstring Widen(const char* name) {
    std::wstring wide;
    for (const char* c = name; c != nullptr && *c != '\0'; ++c) {
        wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    }
    return wide;
}

// The picture button's own procedure in front of the button class's: presses are
// tracked here without SetFocus, so the field keeps the focus; a click is reported to
// the parent as BN_CLICKED.
constexpr const wchar_t* kOriginalProcedure = L"TarvikFlatButtonProc";

void NotifyClick(HWND button) {
    SendMessageW(GetParent(button), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool CursorInside(HWND button, LPARAM lParam) {
    RECT client{};
    GetClientRect(button, &client);
    const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return PtInRect(&client, point) != FALSE;
}

LRESULT CALLBACK FlatButtonProcedure(HWND button, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept {
    const auto original = reinterpret_cast<WNDPROC>(GetPropW(button, kOriginalProcedure));
    if (original == nullptr) {
        return DefWindowProcW(button, message, wParam, lParam);
    }
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            SetCapture(button);
            CallWindowProcW(original, button, BM_SETSTATE, TRUE, 0);
            return 0;
        case WM_MOUSEMOVE:
            if (GetCapture() == button) {
                const BOOL inside = CursorInside(button, lParam) ? TRUE : FALSE;
                const bool pushed = (CallWindowProcW(original, button, BM_GETSTATE, 0, 0) &
                                     BST_PUSHED) != 0;
                if ((inside != FALSE) != pushed) {
                    CallWindowProcW(original, button, BM_SETSTATE, inside, 0);
                }
            }
            return 0;
        case WM_LBUTTONUP:
            if (GetCapture() == button) {
                const bool inside = CursorInside(button, lParam);
                ReleaseCapture();
                CallWindowProcW(original, button, BM_SETSTATE, FALSE, 0);
                if (inside) {
                    NotifyClick(button);
                }
            }
            return 0;
        case WM_CAPTURECHANGED:
            CallWindowProcW(original, button, BM_SETSTATE, FALSE, 0);
            return 0;
        case BM_CLICK:
            NotifyClick(button);
            return 0;
        case WM_SETFOCUS:
            // Never keep the focus: give it back to where it came from.
            if (wParam != 0 && IsWindow(reinterpret_cast<HWND>(wParam))) {
                SetFocus(reinterpret_cast<HWND>(wParam));
            }
            return 0;
        case WM_NCDESTROY: {
            SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
            RemovePropW(button, kOriginalProcedure);
            return CallWindowProcW(original, button, message, wParam, lParam);
        }
        default:
            return CallWindowProcW(original, button, message, wParam, lParam);
    }
}

// The memo's own procedure in front of the edit class's: a click is reported to the
// parent as BN_CLICKED once the edit has handled the button's release.
LRESULT CALLBACK MemoProcedure(HWND memo, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    const auto original = reinterpret_cast<WNDPROC>(GetPropW(memo, kOriginalProcedure));
    if (original == nullptr) {
        return DefWindowProcW(memo, message, wParam, lParam);
    }
    switch (message) {
        case WM_LBUTTONUP: {
            const LRESULT answer = CallWindowProcW(original, memo, message, wParam, lParam);
            NotifyClick(memo);
            return answer;
        }
        case WM_NCDESTROY:
            SetWindowLongPtrW(memo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
            RemovePropW(memo, kOriginalProcedure);
            return CallWindowProcW(original, memo, message, wParam, lParam);
        default:
            return CallWindowProcW(original, memo, message, wParam, lParam);
    }
}

// The GDI objects a dialog's window and controls draw with. A base of the window listed
// before WindowBase: they go only after the window and its controls are gone.
struct DialogGdiObjects {
    std::map<FontRole, UniqueFont> fonts_;
    std::map<std::string, UniqueBitmap> bitmaps_;
    std::map<std::string, UniqueIcon> icons_;
    std::map<std::size_t, UniqueBitmap> pixelBitmaps_;  // by painted row
    std::map<int, UniqueBrush> brushes_;                 // Link and Memo backgrounds, by id
};

class DialogWindow final : private DialogGdiObjects, public WindowBase, public DialogView {
public:
    DialogWindow(const DialogSpec& spec, DialogEvents& events) : spec_(spec), events_(events) {
        dpi_ = SystemDpi();
        owner_ = GetActiveWindow();
        for (FontRole role : kFontRoles) {
            const FontFace face = FaceOf(role);
            fonts_[role] = UniqueFont(CreateFontW(-Scale(face.height), 0, 0, 0, face.weight, face.italic,
                                                  face.underline, FALSE, face.charset, OUT_DEFAULT_PRECIS,
                                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                                  DEFAULT_PITCH | FF_DONTCARE, face.face));
        }
        for (std::size_t index = 0; index < spec_.painted.size(); ++index) {
            const PaintRow& row = spec_.painted[index];
            if (row.kind == PaintKind::Pixels) {
                pixelBitmaps_[index] = PixelBitmap(row.pixels.get());
            } else if (row.kind == PaintKind::Picture) {
                LoadBitmapResource(row.resource);
            } else if (row.kind == PaintKind::Icon && row.resource != nullptr) {
                const int size = std::min(Scale(row.rect.width), Scale(row.rect.height));
                icons_[row.resource] = UniqueIcon(static_cast<HICON>(
                    LoadImageW(OwnModule(), Widen(row.resource).c_str(), IMAGE_ICON, size, size,
                               LR_DEFAULTCOLOR)));
            }
        }
        for (const ControlRow& row : spec_.controls) {
            if (row.kind == ControlKind::FlatButton) {
                LoadBitmapResource(row.glyph);
            }
        }

        const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;
        RECT bounds{0, 0, Scale(spec_.clientWidth), Scale(spec_.clientHeight)};
        AdjustWindowRectEx(&bounds, style, FALSE, exStyle);
        const int width = bounds.right - bounds.left;
        const int height = bounds.bottom - bounds.top;
        const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        const RECT placed{left, top, left + width, top + height};
        if (!Create(exStyle, style, spec_.caption.c_str(), placed, owner_)) {
            return;
        }
        SendMessageW(Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(Font(FontRole::Dialog)), FALSE);
        for (const ControlRow& row : spec_.controls) {
            CreateControl(row);
        }
        lastFocus_ = Control(spec_.firstFocus);
    }

    bool Valid() const { return Hwnd() != nullptr; }

    std::wstring Text(int id) override {
        const HWND control = Control(id);
        if (control == nullptr) {
            return {};
        }
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
        const int length = GetWindowTextW(control, &text[0], static_cast<int>(text.size()));
        text.resize(static_cast<std::size_t>(std::max(length, 0)));
        return text;
    }

    void SetText(int id, const std::wstring& text) override {
        if (const HWND control = Control(id)) {
            SetWindowTextW(control, text.c_str());
        }
    }

    void AddItems(int id, const std::vector<std::wstring>& items) override {
        if (const HWND control = Control(id)) {
            for (const std::wstring& item : items) {
                SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
            }
        }
    }

    void FocusAndSelectAll(int id) override {
        const HWND control = Control(id);
        if (control == nullptr) {
            return;
        }
        SetFocus(control);
        lastFocus_ = control;
        SelectAll(id);
    }

    int RunModal() override {
        if (!Valid()) {
            return spec_.closeResult;
        }
        ended_ = false;
        const HWND dialog = Hwnd();
        const auto show = [this, dialog] {
            ShowWindow(dialog, SW_SHOW);
            if (lastFocus_ != nullptr) {
                SetFocus(lastFocus_);
                // Windows selects an edit box's whole text when a dialog opens with the focus in it.
                SelectAll(GetDlgCtrlID(lastFocus_));
            }
        };
        const bool noQuit = RunModalLoop(
            dialog, owner_, show, [this] { return ended_; },
            [this, dialog](const MSG& message) { Preview(dialog, message); });
        if (!noQuit && !ended_) {
            End(spec_.closeResult);
        }
        if (IsWindow(dialog)) {
            ShowWindow(dialog, SW_HIDE);
        }
        return result_;
    }

    void End(int result) override {
        if (ended_) {
            return;
        }
        try {
            events_.Closing(result);
        } catch (...) {
            // The dialog closes even when the close handler failed.
        }
        result_ = result;
        ended_ = true;
        // A click sent from another thread sets the flag without waking GetMessage.
        if (Hwnd() != nullptr) {
            PostMessageW(Hwnd(), WM_NULL, 0, 0);
        }
    }

    void ShowError(const std::wstring& text) override {
        MessageBoxW(Hwnd(), text.c_str(), spec_.caption.c_str(), MB_OK | MB_ICONERROR);
    }

    void* Handle() override { return Hwnd(); }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_ERASEBKGND:
                return 1;
            case WM_PAINT:
                Paint();
                return 0;
            case WM_COMMAND:
                OnCommand(LOWORD(wParam), HIWORD(wParam));
                return 0;
            case WM_SETCURSOR:
                if (HasHandCursor(reinterpret_cast<HWND>(wParam))) {
                    SetCursor(LoadCursorA(nullptr, IDC_HAND));
                    return TRUE;
                }
                return Default(message, wParam, lParam);
            case WM_CTLCOLORSTATIC: {
                const HWND control = reinterpret_cast<HWND>(lParam);
                const ControlRow* row = RowOf(GetDlgCtrlID(control));
                auto brush = row != nullptr ? brushes_.find(row->id) : brushes_.end();
                if (brush == brushes_.end() || GetParent(control) != Hwnd()) {
                    return Default(message, wParam, lParam);
                }
                const HDC dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, ToColorRef(row->textColour));
                SetBkColor(dc, ToColorRef(row->background));
                return reinterpret_cast<LRESULT>(brush->second.get());
            }
            case WM_DRAWITEM:
                PaintFlatButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
                return TRUE;
            case DM_GETDEFID: {
                // Enter on a focused push button presses that button, elsewhere the default.
                const int focused = GetDlgCtrlID(GetFocus());
                const int id = (IsChild(Hwnd(), GetFocus()) && KindOf(focused) == ControlKind::Button)
                                   ? focused
                                   : spec_.defaultId;
                return MAKELRESULT(id, DC_HASDEFID);
            }
            case WM_CLOSE:
                End(spec_.closeResult);
                return 0;
            case WM_HELP:
                // F1 is the key handler's (key preview). Passed on, the system would send
                // WM_HELP to the owner, the host's window, which may open help of its own.
                return TRUE;
            case WM_ACTIVATE:
                if (LOWORD(wParam) != WA_INACTIVE) {
                    if (spec_.bringToTopOnActivate) {
                        BringWindowToTop(Hwnd());
                    }
                    const LRESULT answer = Default(message, wParam, lParam);
                    if (lastFocus_ != nullptr && IsWindow(lastFocus_)) {
                        SetFocus(lastFocus_);
                    }
                    return answer;
                } else {
                    const HWND focus = GetFocus();
                    if (focus != nullptr && IsChild(Hwnd(), focus)) {
                        lastFocus_ = FieldOf(focus);
                    }
                }
                return Default(message, wParam, lParam);
            case WM_SETFOCUS:
                if (lastFocus_ != nullptr && IsWindow(lastFocus_)) {
                    SetFocus(lastFocus_);
                }
                return 0;
            case kSelectFocusedField: {
                const HWND focus = GetFocus();
                if (focus != nullptr && IsChild(Hwnd(), focus)) {
                    SelectAll(GetDlgCtrlID(FieldOf(focus)));
                }
                return 0;
            }
            default:
                return Default(message, wParam, lParam);
        }
    }

private:
    int Scale(int value) const { return MulDiv(value, dpi_, kDesignDpi); }

    HFONT Font(FontRole role) const {
        auto found = fonts_.find(role);
        return found != fonts_.end() ? found->second.get() : nullptr;
    }

    void LoadBitmapResource(const char* name) {
        if (name == nullptr || bitmaps_.count(name) != 0) {
            return;
        }
        // A missing resource leaves a null bitmap: nothing is drawn for it.
        bitmaps_[name] = UniqueBitmap(static_cast<HBITMAP>(LoadImageW(
            OwnModule(), Widen(name).c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    }

    HBITMAP Bitmap(const char* name) const {
        if (name == nullptr) {
            return nullptr;
        }
        auto found = bitmaps_.find(name);
        return found != bitmaps_.end() ? found->second.get() : nullptr;
    }

    bool HasHandCursor(HWND window) const {
        if (window == nullptr || GetParent(window) != Hwnd()) {
            return false;
        }
        const ControlRow* row = RowOf(GetDlgCtrlID(window));
        return row != nullptr && (row->kind == ControlKind::Link || row->kind == ControlKind::Memo);
    }

    // A DIB section holding the picture, or null for an empty one.
    static UniqueBitmap PixelBitmap(const PixelPicture* picture) {
        if (picture == nullptr || picture->width <= 0 || picture->height <= 0 ||
            picture->bgr.size() < picture->stride * static_cast<std::size_t>(picture->height)) {
            return UniqueBitmap();
        }
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = picture->width;
        info.bmiHeader.biHeight = -picture->height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!bitmap || bits == nullptr) {
            return UniqueBitmap();
        }
        // DIB rows are padded to 4 bytes, as the picture's are.
        const std::size_t stride = (static_cast<std::size_t>(picture->width) * 3 + 3) & ~std::size_t{3};
        auto* target = static_cast<unsigned char*>(bits);
        for (int y = 0; y < picture->height; ++y) {
            std::copy_n(picture->bgr.data() + picture->stride * static_cast<std::size_t>(y),
                        static_cast<std::size_t>(picture->width) * 3, target + stride * static_cast<std::size_t>(y));
        }
        GdiFlush();
        return bitmap;
    }

    void PaintPixels(HDC dc, std::size_t index, const PaintRow& row) {
        auto found = pixelBitmaps_.find(index);
        if (found == pixelBitmaps_.end() || !found->second || row.pixels == nullptr) {
            return;
        }
        UniqueMemoryDc source(CreateCompatibleDC(dc));
        if (!source) {
            return;
        }
        SelectGuard selected(source.get(), found->second.get());
        const RECT r = Scaled(row.rect);
        const int width = std::min(static_cast<int>(r.right - r.left), Scale(row.pixels->width));
        const int height = std::min(static_cast<int>(r.bottom - r.top), Scale(row.pixels->height));
        StretchBlt(dc, r.left, r.top, width, height, source.get(), 0, 0,
                   MulDiv(width, row.pixels->width, Scale(row.pixels->width)),
                   MulDiv(height, row.pixels->height, Scale(row.pixels->height)), SRCCOPY);
    }

    // The whole text of an edit box or a combo box's field; other controls have none.
    void SelectAll(int id) const {
        const HWND control = Control(id);
        if (control == nullptr) {
            return;
        }
        if (KindOf(id) == ControlKind::Combo) {
            SendMessageW(control, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
        } else if (KindOf(id) == ControlKind::Edit) {
            SendMessageW(control, EM_SETSEL, 0, -1);
        }
    }

    HWND Control(int id) const {
        return Hwnd() != nullptr && id != 0 ? GetDlgItem(Hwnd(), id) : nullptr;
    }

    const ControlRow* RowOf(int id) const {
        for (const ControlRow& row : spec_.controls) {
            if (row.id == id) {
                return &row;
            }
        }
        return nullptr;
    }

    ControlKind KindOf(int id) const {
        const ControlRow* row = RowOf(id);
        return row != nullptr ? row->kind : ControlKind::FlatButton;
    }

    // The control of ours that holds `window`: a combo box for its inner edit.
    HWND FieldOf(HWND window) const {
        for (HWND w = window; w != nullptr && w != Hwnd(); w = GetParent(w)) {
            if (GetParent(w) == Hwnd()) {
                return w;
            }
        }
        return nullptr;
    }

    void CreateControl(const ControlRow& row) {
        const wchar_t* className = L"EDIT";
        DWORD style = WS_CHILD | (row.visible ? WS_VISIBLE : 0);
        DWORD exStyle = 0;
        int height = row.rect.height;
        switch (row.kind) {
            case ControlKind::Edit:
                style |= WS_TABSTOP | ES_AUTOHSCROLL;
                exStyle = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::Combo:
                className = L"COMBOBOX";
                style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
                height = row.rect.height + 8 * std::max(row.itemHeight, 14) + 2;  // with the list
                break;
            case ControlKind::Button:
                className = L"BUTTON";
                style |= WS_TABSTOP | (row.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
                break;
            case ControlKind::FlatButton:
                className = L"BUTTON";
                style |= BS_OWNERDRAW;
                break;
            case ControlKind::Link:
                className = L"STATIC";
                style |= SS_NOTIFY | SS_CENTER | SS_NOPREFIX;
                break;
            case ControlKind::Memo:
                style |= ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL;
                exStyle = WS_EX_CLIENTEDGE;
                break;
        }
        const wchar_t* text = row.kind == ControlKind::FlatButton ? row.hint.c_str() : row.text.c_str();
        const HWND control = CreateWindowExW(
            exStyle, className, text, style, Scale(row.rect.left), Scale(row.rect.top),
            Scale(row.rect.width), Scale(height), Hwnd(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), OwnModule(), nullptr);
        if (control == nullptr) {
            return;
        }
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Font(row.font)), FALSE);
        if (row.kind == ControlKind::Combo) {
            FitComboHeight(control, row);
            if (!row.text.empty()) {
                SetWindowTextW(control, row.text.c_str());
            }
        }
        if (row.kind == ControlKind::FlatButton || row.kind == ControlKind::Memo) {
            const LONG_PTR original = GetWindowLongPtrW(control, GWLP_WNDPROC);
            SetPropW(control, kOriginalProcedure, reinterpret_cast<HANDLE>(original));
            SetWindowLongPtrW(control, GWLP_WNDPROC,
                              reinterpret_cast<LONG_PTR>(row.kind == ControlKind::Memo
                                                             ? &MemoProcedure
                                                             : &FlatButtonProcedure));
        }
        if (row.kind == ControlKind::Link || row.kind == ControlKind::Memo) {
            brushes_[row.id] = UniqueBrush(CreateSolidBrush(ToColorRef(row.background)));
        }
    }

    // The closed height of a drop-down combo follows its font; it is brought to the
    // row's height through the height of its selection field.
    void FitComboHeight(HWND combo, const ControlRow& row) {
        if (row.itemHeight > 0) {
            SendMessageW(combo, CB_SETITEMHEIGHT, 0, Scale(row.itemHeight));
        }
        for (int attempt = 0; attempt < 3; ++attempt) {
            RECT bounds{};
            GetWindowRect(combo, &bounds);
            const int difference = Scale(row.rect.height) - (bounds.bottom - bounds.top);
            if (difference == 0) {
                return;
            }
            const LRESULT field = SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
            if (field == CB_ERR || field + difference <= 0) {
                return;
            }
            SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field + difference);
        }
    }

    void OnCommand(int id, int code) {
        if (code != BN_CLICKED) {
            return;
        }
        const ControlRow* row = RowOf(id);
        const bool button = row != nullptr && (row->kind == ControlKind::Button ||
                                               row->kind == ControlKind::FlatButton ||
                                               row->kind == ControlKind::Link ||
                                               row->kind == ControlKind::Memo);
        if (!button && id != spec_.defaultId && id != spec_.cancelId) {
            return;
        }
        if (row != nullptr && !row->visible) {
            return;
        }
        try {
            events_.Command(id);
        } catch (...) {
            // A failing handler leaves the dialog as it is.
        }
    }

    void Preview(HWND dialog, const MSG& message) {
        if (message.message == WM_KEYDOWN && message.wParam == VK_TAB &&
            (message.hwnd == dialog || IsChild(dialog, message.hwnd))) {
            // Windows' dialog manager selects the whole text of the field Tab or Shift+Tab moves to.
            PostMessageW(dialog, kSelectFocusedField, 0, 0);
        }
        if ((message.message == WM_KEYUP || message.message == WM_SYSKEYUP) &&
            (message.hwnd == dialog || IsChild(dialog, message.hwnd))) {
            try {
                events_.KeyUp(static_cast<unsigned>(message.wParam));
            } catch (...) {
                // The key is still handled as usual.
            }
        }
    }

    void Paint() {
        PAINTSTRUCT paint{};
        const HDC target = BeginPaint(Hwnd(), &paint);
        if (target == nullptr) {
            return;
        }
        RECT client{};
        GetClientRect(Hwnd(), &client);
        UniqueMemoryDc buffer(CreateCompatibleDC(target));
        UniqueBitmap surface(CreateCompatibleBitmap(target, client.right, client.bottom));
        if (buffer && surface) {
            SelectGuard selected(buffer.get(), surface.get());
            PaintAll(buffer.get(), client);
            BitBlt(target, 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
        } else {
            PaintAll(target, client);
        }
        EndPaint(Hwnd(), &paint);
    }

    RECT Scaled(const Rect& rect) const {
        return RECT{Scale(rect.left), Scale(rect.top), Scale(rect.left + rect.width),
                    Scale(rect.top + rect.height)};
    }

    void PaintAll(HDC dc, const RECT& client) {
        UniqueBrush background(CreateSolidBrush(ToColorRef(spec_.background)));
        FillRect(dc, &client, background.get());
        for (std::size_t index = 0; index < spec_.painted.size(); ++index) {
            if (spec_.painted[index].kind == PaintKind::Pixels) {
                PaintPixels(dc, index, spec_.painted[index]);
            } else {
                PaintOne(dc, spec_.painted[index]);
            }
        }
    }

    void PaintShape(HDC dc, const PaintRow& row) {
        // The outline lies inside the shape's rectangle, centred on a line half the pen
        // width in from its edges.
        const RECT r = Scaled(row.rect);
        const int pen = Scale(row.outlineWidth);
        const int x = r.left + pen / 2;
        const int y = r.top + pen / 2;
        int w = (r.right - r.left) - pen + 1;
        int h = (r.bottom - r.top) - pen + 1;
        if (pen == 0) {
            --w;
            --h;
        }
        UniqueBrush fill(CreateSolidBrush(ToColorRef(row.fill)));
        UniquePen outline(pen > 0 ? CreatePen(PS_SOLID, pen, ToColorRef(row.outline))
                                  : static_cast<HPEN>(nullptr));
        SelectGuard brushGuard(dc, fill.get());
        SelectGuard penGuard(dc, outline ? static_cast<HGDIOBJ>(outline.get())
                                         : GetStockObject(NULL_PEN));
        if (row.kind == PaintKind::RoundRect) {
            const int corner = std::min(w, h) / 4;
            RoundRect(dc, x, y, x + w, y + h, corner, corner);
        } else {
            Rectangle(dc, x, y, x + w, y + h);
        }
    }

    void PaintPicture(HDC dc, const PaintRow& row) {
        const HBITMAP bitmap = Bitmap(row.resource);
        if (bitmap == nullptr) {
            return;
        }
        BITMAP info{};
        if (GetObjectW(bitmap, sizeof(info), &info) == 0) {
            return;
        }
        UniqueMemoryDc source(CreateCompatibleDC(dc));
        if (!source) {
            return;
        }
        SelectGuard selected(source.get(), bitmap);
        const RECT r = Scaled(row.rect);
        // Drawn at its own size (scaled with the dialog), clipped to its rectangle.
        const int width = std::min(static_cast<int>(r.right - r.left), Scale(info.bmWidth));
        const int height = std::min(static_cast<int>(r.bottom - r.top), Scale(info.bmHeight));
        const int sourceWidth = MulDiv(width, info.bmWidth, Scale(info.bmWidth));
        const int sourceHeight = MulDiv(height, info.bmHeight, Scale(info.bmHeight));
        if (row.transparent) {
            const COLORREF key = GetPixel(source.get(), 0, info.bmHeight - 1);
            GdiTransparentBlt(dc, r.left, r.top, width, height, source.get(), 0, 0, sourceWidth,
                              sourceHeight, key);
        } else {
            StretchBlt(dc, r.left, r.top, width, height, source.get(), 0, 0, sourceWidth,
                       sourceHeight, SRCCOPY);
        }
    }

    void PaintOne(HDC dc, const PaintRow& row) {
        const RECT r = Scaled(row.rect);
        switch (row.kind) {
            case PaintKind::Fill: {
                UniqueBrush fill(CreateSolidBrush(ToColorRef(row.fill)));
                FillRect(dc, &r, fill.get());
                break;
            }
            case PaintKind::Rectangle:
            case PaintKind::RoundRect:
                PaintShape(dc, row);
                break;
            case PaintKind::Picture:
                PaintPicture(dc, row);
                break;
            case PaintKind::Frame: {
                RECT box = r;
                DrawEdge(dc, &box, EDGE_ETCHED, BF_RECT);
                break;
            }
            case PaintKind::Pixels:
                break;
            case PaintKind::Icon: {
                auto found = row.resource != nullptr ? icons_.find(row.resource) : icons_.end();
                if (found != icons_.end() && found->second) {
                    int size = std::min(r.right - r.left, r.bottom - r.top);
                    const int left = r.left + ((r.right - r.left) - size) / 2;
                    const int top = r.top + ((r.bottom - r.top) - size) / 2;
                    DrawIconEx(dc, left, top, found->second.get(), size, size, 0, nullptr,
                               DI_NORMAL);
                }
                break;
            }
            case PaintKind::Label: {
                SelectGuard font(dc, Font(row.font));
                TextStateGuard state(dc, ToColorRef(row.fill), TRANSPARENT);
                RECT box = r;
                UINT format = (row.centred ? DT_CENTER : DT_LEFT) | DT_TOP | DT_NOPREFIX;
                if (row.wordWrap) {
                    format |= DT_WORDBREAK;
                } else {
                    format |= DT_NOCLIP;
                }
                DrawTextW(dc, row.text.c_str(), static_cast<int>(row.text.size()), &box, format);
                break;
            }
        }
    }

    void PaintFlatButton(const DRAWITEMSTRUCT& item) {
        const ControlRow* row = RowOf(static_cast<int>(item.CtlID));
        if (row == nullptr) {
            return;
        }
        RECT box = item.rcItem;
        UniqueBrush fill(CreateSolidBrush(ToColorRef(row->background)));
        FillRect(item.hDC, &box, fill.get());
        const bool pressed = (item.itemState & ODS_SELECTED) != 0;
        if (pressed) {
            DrawEdge(item.hDC, &box, BDR_SUNKENOUTER, BF_RECT);
        }
        const HBITMAP glyph = Bitmap(row->glyph);
        if (glyph == nullptr) {
            return;
        }
        BITMAP info{};
        GetObjectW(glyph, sizeof(info), &info);
        UniqueMemoryDc source(CreateCompatibleDC(item.hDC));
        if (!source) {
            return;
        }
        SelectGuard selected(source.get(), glyph);
        const int width = Scale(info.bmWidth);
        const int height = Scale(info.bmHeight);
        const int shift = pressed ? 1 : 0;
        const int left = box.left + ((box.right - box.left) - width) / 2 + shift;
        const int top = box.top + ((box.bottom - box.top) - height) / 2 + shift;
        GdiTransparentBlt(item.hDC, left, top, width, height, source.get(), 0, 0, info.bmWidth,
                          info.bmHeight, kMagenta);
    }

    DialogSpec spec_;
    DialogEvents& events_;
    int dpi_ = kDesignDpi;
    HWND owner_ = nullptr;
    HWND lastFocus_ = nullptr;
    bool ended_ = false;
    int result_ = 0;
    // Declared before nothing that uses them outlives them: the destructor destroys the
    // window first, then these go.
};

}  // namespace

std::unique_ptr<DialogView> CreateWindowView(const DialogSpec& spec, DialogEvents& events) {
    auto window = std::make_unique<DialogWindow>(spec, events);
    return window;
}

}  // namespace tarvik::ui

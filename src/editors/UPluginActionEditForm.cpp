#include "editors/UPluginActionEditForm.h"

#include <utility>

#include "about/UHelpTopics.h"
#include "base/UFailure.h"
#include "base/UTextUtils.h"
#include "editors/UActionEditors.h"
#include "editors/UAlphaVarFrame.h"
#include "editors/USubroutineFrame.h"
#include "plugin/UHostServices.h"
#include "resources/ResourceIds.h"
#include "resources/Strings.h"

namespace tarvik::editors {

namespace {
using platform::Os;

// The base dialog's components, one row each, with their place in an editor: left and
// top relative to the title line T, and the size ("W" is the editor's tab width, 0 a
// size that follows the text). Rows are in drawing order, back to front.
enum class Place { Fixed, TabWidth, Text };
struct BaseComponent {
    int left;           // in an editor
    int belowTitle;     // top - T
    Place size;
    int width;
    int height;
};
enum : std::size_t {
    kSpTitulo, kSpDescripcion, kImgTitulo, kLbActionName, kLbActionDesc, kPluginIcon,
    kLbPluginName, kLbNotice, kBtnOkRow, kBtnCancelRow, kBtnHelpRow
};
const BaseComponent kBase[] = {
    {11, 0, Place::TabWidth, 0, 30},  // spTitulo
    {11, 20, Place::Fixed, 422, 75},  // spDescripcion
    {15, 4, Place::Fixed, 17, 15},  // imgTitulo
    {35, 4, Place::Text, 0, 0},  // lbActionName
    {20, 30, Place::Fixed, 400, 59},  // lbActionDesc
    {11, 104, Place::Fixed, 32, 32},  // PluginIcon
    {49, 104, Place::Text, 0, 0},  // lbPluginName
    {49, 119, Place::Text, 0, 0},  // lbNotice
    {0, 107, Place::Fixed, 75, 25},  // btnOK
    {0, 107, Place::Fixed, 75, 25},  // btnCancel
    {0, 107, Place::Fixed, 75, 25},  // btnHelp
};

// spTitulo and spDescripcion: fill, outline, outline width.
constexpr ui::Colour kTitleFill = 13096662;      // red 214, green 214, blue 199
constexpr ui::Colour kTitleOutline = 12373453;   // red 205, green 205, blue 188
constexpr int kTitleOutlineWidth = 3;
constexpr ui::Colour kDescriptionFill = 14811135;     // red 255, green 255, blue 225
constexpr ui::Colour kDescriptionOutline = 12701904;  // red 208, green 208, blue 193
constexpr int kDescriptionOutlineWidth = 2;

constexpr int kFirstFrameId = 100;
constexpr int kFrameIdStep = 10;
}  // namespace

TPluginActionEditForm::TPluginActionEditForm(const EditorRow& editor) : editor_(editor) {
    actionName_ = Os().LoadWideText(editor_.nameId);
    for (std::size_t i = 0; i < editor_.frameCount; ++i) {
        const FrameRow& row = editor_.frames[i];
        const FramePlacement placement{row.rect, row.captionId,
                                       kFirstFrameId + kFrameIdStep * static_cast<int>(i)};
        if (row.kind == FrameKind::Subroutine) {
            frames_.push_back(std::make_unique<TSubroutineFrame>(placement));
        } else {
            frames_.push_back(std::make_unique<TAlphaVarFrame>(placement));
        }
    }
    view_ = ui::CreateDialogView(BuildSpec(), *this);
    if (view_ == nullptr) {
        throw base::TFailure("the dialog could not be created");
    }
    for (auto& frame : frames_) {
        frame->Attach(*view_);
    }
}

TPluginActionEditForm::~TPluginActionEditForm() = default;

ui::DialogSpec TPluginActionEditForm::BuildSpec() {
    ui::DialogSpec spec;
    spec.caption = Os().LoadWideText(editor_.captionId);
    spec.clientWidth = kClientWidth;
    spec.clientHeight = editor_.clientHeight;
    spec.background = ui::kButtonFace;
    spec.defaultId = kBtnOk;
    spec.cancelId = kBtnCancel;
    spec.closeResult = ui::kMrCancel;
    spec.bringToTopOnActivate = true;

    const int top = editor_.titleTop;
    auto placed = [&](std::size_t index) {
        const BaseComponent& c = kBase[index];
        const int width = c.size == Place::TabWidth ? editor_.tabWidth : c.width;
        return ui::Rect{c.left, top + c.belowTitle, width, c.height};
    };

    spec.painted.push_back(ui::ShapeRow(ui::PaintKind::RoundRect, placed(kSpTitulo), kTitleFill,
                                        kTitleOutline, kTitleOutlineWidth));
    spec.painted.push_back(ui::ShapeRow(ui::PaintKind::Rectangle, placed(kSpDescripcion),
                                        kDescriptionFill, kDescriptionOutline,
                                        kDescriptionOutlineWidth));
    spec.painted.push_back(ui::PictureRow(placed(kImgTitulo), TARVIK_RES_TITULO, true));
    spec.painted.push_back(ui::LabelRow(placed(kLbActionName), actionName_, ui::FontRole::LabelAnsi, ui::kBlack));

    std::wstring description = Os().LoadWideText(editor_.descriptionId);
    if (editor_.returnsTruth) {
        description += L"\n" + Os().LoadWideText(resources::IDS_EDIT_RETURNS_TRUE);
    }
    ui::PaintRow descriptionText =
        ui::LabelRow(placed(kLbActionDesc), std::move(description), ui::FontRole::Label, ui::kWindowText);
    descriptionText.wordWrap = true;
    spec.painted.push_back(std::move(descriptionText));

    spec.painted.push_back(ui::IconRow(placed(kPluginIcon), TARVIK_RES_MAINICON));
    spec.painted.push_back(ui::LabelRow(placed(kLbPluginName),
                                        base::FillPlaceholders(Os().LoadWideText(resources::IDS_EDIT_PLUGIN_FORMAT),
                                                               {Os().LoadWideText(resources::IDS_PLUGIN_NAME)}),
                                        ui::FontRole::Dialog, ui::kGrey));
    spec.painted.push_back(ui::LabelRow(placed(kLbNotice), Os().LoadWideText(resources::IDS_EDIT_NOTICE),
                                        ui::FontRole::Dialog, ui::kGrey));

    // The frames: each one's components, in tab order (top to bottom).
    for (const auto& frame : frames_) {
        frame->AddComponents(spec);
    }

    // The buttons, in their tab order after the frames.
    struct Button {
        std::size_t row;
        int id;
        unsigned captionId;
    };
    const Button buttons[] = {{kBtnOkRow, kBtnOk, resources::IDS_EDIT_OK},
                              {kBtnCancelRow, kBtnCancel, resources::IDS_EDIT_CANCEL},
                              {kBtnHelpRow, kBtnHelp, resources::IDS_EDIT_HELP}};
    std::vector<ui::ControlRow> rows(3);
    for (std::size_t i = 0; i < 3; ++i) {
        ui::Rect rect = placed(buttons[i].row);
        rect.left = editor_.buttonLefts[i];
        rows[i] = ui::Control(ui::ControlKind::Button, buttons[i].id, rect,
                              Os().LoadWideText(buttons[i].captionId), ui::FontRole::Field);
        rows[i].isDefault = buttons[i].id == kBtnOk;
    }
    for (int order = 0; order < 8; ++order) {
        for (std::size_t i = 0; i < 3; ++i) {
            if (editor_.buttonTabOrders[i] == order) {
                spec.controls.push_back(rows[i]);
            }
        }
    }
    spec.firstFocus = frames_.empty() ? kBtnOk : frames_.front()->FieldId();
    // Windows' high-contrast mode gives light window text, unreadable on the light fills.
    return Os().HighContrast() ? ui::InSystemColours(std::move(spec)) : spec;
}

int TPluginActionEditForm::ParameterCount() const {
    return static_cast<int>(frames_.size());
}

TFrame& TPluginActionEditForm::FrameOf(int parameter) {
    for (std::size_t i = 0; i < editor_.frameCount; ++i) {
        if (editor_.frames[i].parameter == parameter) {
            return *frames_[i];
        }
    }
    throw base::TFailure("no such parameter");
}

std::string TPluginActionEditForm::FieldText(int parameter) {
    return Os().WideToAnsi(view_->Text(FrameOf(parameter).FieldId()));
}

void TPluginActionEditForm::SetFieldText(int parameter, const std::string& text) {
    view_->SetText(FrameOf(parameter).FieldId(), Os().AnsiToWide(text));
}

int TPluginActionEditForm::ShowModal() {
    return view_->RunModal();
}

void TPluginActionEditForm::FormClose(int modalResult) {
    if (modalResult != ui::kMrOk) {
        return;
    }
    // Every frame's field: the edit box of a variable frame, the combo box of the
    // subroutine frame. Nothing else of the dialog holds a text the author typed.
    for (const auto& frame : frames_) {
        const int field = frame->FieldId();
        const std::string text = Os().WideToAnsi(view_->Text(field));
        view_->SetText(field, Os().AnsiToWide(plugin::EscapeQuotes(text)));
    }
}

void TPluginActionEditForm::btnHelpClick() {
    ShowActionHelp();
}

void TPluginActionEditForm::FormKeyUp(unsigned key) {
    if (key == ui::kVkF1) {
        ShowActionHelp();
    }
}

void TPluginActionEditForm::ShowActionHelp() {
    about::ShowHelpTopicOrSayMissing(Os().WideToAnsi(actionName_));
}

void TPluginActionEditForm::Command(int id) {
    try {
        if (id == kBtnOk) {
            view_->End(ui::kMrOk);
        } else if (id == kBtnCancel) {
            view_->End(ui::kMrCancel);
        } else if (id == kBtnHelp) {
            btnHelpClick();
        } else {
            for (const auto& frame : frames_) {
                if (frame->Click(id)) {
                    break;
                }
            }
        }
    } catch (const about::TRegistryTypeError& error) {
        view_->ShowError(error.Text());
    }
}

void TPluginActionEditForm::KeyUp(unsigned virtualKey) {
    try {
        FormKeyUp(virtualKey);
    } catch (const about::TRegistryTypeError& error) {
        view_->ShowError(error.Text());
    }
}

void TPluginActionEditForm::Closing(int result) {
    FormClose(result);
}

}  // namespace tarvik::editors

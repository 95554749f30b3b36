#include "about/UPluginAboutForm.h"

#include <utility>

#include "about/UHelpTopics.h"
#include "about/UJpegPicture.h"
#include "base/UFailure.h"
#include "base/UTextUtils.h"
#include "platform/Platform.h"
#include "plugin/UHostServices.h"
#include "resources/ResourceIds.h"
#include "resources/Strings.h"

namespace tarvik::about {

namespace {
using platform::Os;

constexpr int kSwShowNormal = 1;

constexpr ui::Colour kWhite = ui::Rgb(255, 255, 255);
constexpr ui::Colour kLinkBlue = ui::Rgb(0, 0, 255);

// The framed box: its components are placed relative to it.
constexpr ui::Rect kGroupBox{172, 7, 355, 377};
ui::Rect InGroup(int left, int top, int width, int height) {
    return {kGroupBox.left + left, kGroupBox.top + top, width, height};
}

// The picture stored in the library, decoded; empty when it is missing or damaged.
std::shared_ptr<const ui::PixelPicture> DecodeAboutPicture() {
    const std::vector<std::uint8_t> data = Os().LoadRawResource(TARVIK_RES_ABOUT_PICTURE);
    return std::make_shared<const ui::PixelPicture>(DecodeJpeg(data.data(), data.size()));
}
}  // namespace

TAboutTexts LoadAboutTexts() {
    TAboutTexts texts;
    const std::wstring name = Os().LoadWideText(resources::IDS_PLUGIN_NAME);
    texts.credits = Os().LoadWideText(resources::IDS_ABOUT_CREDITS);
    texts.description = Os().LoadWideText(resources::IDS_PLUGIN_DESCRIPTION);
    texts.notice = Os().LoadWideText(resources::IDS_EDIT_NOTICE);
    texts.website = Os().LoadWideText(resources::IDS_ABOUT_WEBSITE);
    texts.releaseDate = Os().LoadWideText(resources::IDS_PLUGIN_RELEASE_DATE);
    texts.support = Os().LoadWideText(resources::IDS_ABOUT_SUPPORT);
    texts.caption = base::FillPlaceholders(Os().LoadWideText(resources::IDS_ABOUT_CAPTION_FORMAT), {name});
    texts.nameVersion = base::FillPlaceholders(Os().LoadWideText(resources::IDS_ABOUT_NAME_VERSION_FORMAT),
                                               {name, Os().LoadWideText(resources::IDS_PLUGIN_VERSION)});
    texts.thirdpartyLabel = Os().LoadWideText(resources::IDS_ABOUT_THIRDPARTY);
    texts.ok = Os().LoadWideText(resources::IDS_EDIT_OK);
    texts.help = Os().LoadWideText(resources::IDS_EDIT_HELP);
    return texts;
}

ui::DialogSpec BuildAboutSpec(const TAboutTexts& texts, std::shared_ptr<const ui::PixelPicture> picture) {
    ui::DialogSpec spec;
    spec.caption = texts.caption;
    spec.clientWidth = kAboutClientWidth;
    spec.clientHeight = kAboutClientHeight;
    spec.background = ui::kButtonFace;
    spec.defaultId = kAboutOk;
    spec.cancelId = kAboutEscape;
    spec.closeResult = ui::kMrOk;
    spec.firstFocus = kAboutOk;
    spec.bringToTopOnActivate = true;
    const bool credits = !texts.credits.empty();

    // Back to front: the white band, the picture, the notice; the framed box and what
    // it holds.
    spec.painted.push_back(  // ShapeLeft
        ui::ShapeRow(ui::PaintKind::Rectangle, {0, 0, 166, kAboutClientHeight}, kWhite, ui::kButtonFace, 1));

    ui::PaintRow image;  // imgLeft
    image.kind = ui::PaintKind::Pixels;
    image.rect = {8, 8, 150, 150};
    image.pixels = std::move(picture);
    spec.painted.push_back(image);

    ui::PaintRow notice = ui::LabelRow({0, 355, 166, 11}, texts.notice, ui::FontRole::Small, ui::kGrey);
    notice.centred = true;
    spec.painted.push_back(notice);

    ui::PaintRow frame;  // groupBox
    frame.kind = ui::PaintKind::Frame;
    frame.rect = kGroupBox;
    spec.painted.push_back(frame);

    spec.painted.push_back(ui::IconRow(InGroup(15, 13, 32, 32), TARVIK_RES_MAINICON));  // PluginIcon

    spec.painted.push_back(ui::LabelRow(InGroup(59, 16, 0, 0), texts.nameVersion, ui::FontRole::Heading, ui::kBlack));
    spec.painted.push_back(ui::LabelRow(InGroup(180, 22, 130, 16), texts.releaseDate, ui::FontRole::Italic, ui::kBlack));
    if (credits) {  // lbThirdparty
        spec.painted.push_back(ui::LabelRow(InGroup(15, 126, 0, 0), texts.thirdpartyLabel, ui::FontRole::Bold, ui::kBlack));
    }

    // The windows: links and memos are never tab stops; OK, then Help.
    for (const auto& [id, top, text] : {std::tuple<int, int, const std::wstring&>{kAboutWebsite, 264, texts.website},
                                        std::tuple<int, int, const std::wstring&>{kAboutEmail, 283, texts.support}}) {
        ui::ControlRow link = ui::Control(ui::ControlKind::Link, id, {0, top, 166, 13}, text, ui::FontRole::Link);
        link.background = kWhite;
        link.textColour = kLinkBlue;
        spec.controls.push_back(link);
    }
    ui::ControlRow hint = ui::Control(ui::ControlKind::Memo, kAboutHint,
                                  InGroup(15, 55, 329, credits ? 65 : kHintHeightWithoutCredits),
                                  texts.description, ui::FontRole::Field);
    hint.textColour = ui::kWindowText;
    spec.controls.push_back(hint);
    ui::ControlRow thirdparty = hint;
    thirdparty.id = kAboutThirdparty;
    thirdparty.rect = InGroup(15, 145, 329, 65);
    thirdparty.text = texts.credits;
    thirdparty.visible = credits;
    spec.controls.push_back(thirdparty);

    ui::ControlRow ok = ui::Control(ui::ControlKind::Button, kAboutOk, InGroup(188, 341, 75, 25), texts.ok,
                                ui::FontRole::Field);
    ok.isDefault = true;
    spec.controls.push_back(ok);
    spec.controls.push_back(
        ui::Control(ui::ControlKind::Button, kAboutHelp, InGroup(269, 341, 75, 25), texts.help, ui::FontRole::Field));
    return spec;
}

TPluginAboutForm::TPluginAboutForm() : texts_(LoadAboutTexts()) {
    ui::DialogSpec spec = BuildAboutSpec(texts_, DecodeAboutPicture());
    if (Os().HighContrast()) {
        // Windows' high-contrast mode asks for the user's colours, not a white band and fixed texts.
        spec = ui::InSystemColours(std::move(spec));
    }
    view_ = ui::CreateDialogView(spec, *this);
    if (view_ == nullptr) {
        throw base::TFailure("the About box could not be created");
    }
}

TPluginAboutForm::~TPluginAboutForm() {
    view_.reset();
}

int TPluginAboutForm::ShowModal() {
    return view_->RunModal();
}

void TPluginAboutForm::FormKeyUp(unsigned key) {
    if (key == ui::kVkEscape) {
        view_->End(ui::kMrOk);
    } else if (key == ui::kVkF1) {
        ShowAboutHelp();
    }
}

void TPluginAboutForm::btnHelpClick() {
    ShowAboutHelp();
}

void TPluginAboutForm::mPluginHintClick() {
    ShowAboutHelp();
    view_->FocusAndSelectAll(kAboutOk);
}

void TPluginAboutForm::mPluginThidpartyClick() {
    ShowHelpTopicOrSayMissing("thirdparty");
    view_->FocusAndSelectAll(kAboutOk);
}

void TPluginAboutForm::lbWebsiteUrlClick() {
    plugin::ShellOpen(Os().WideToAnsi(texts_.website), "", kSwShowNormal);
}

void TPluginAboutForm::lbEmailAddressClick() {
    plugin::ShellOpen("mailto:" + Os().WideToAnsi(texts_.support), "", kSwShowNormal);
}

void TPluginAboutForm::ShowAboutHelp() {
    ShowHelpTopicOrSayMissing("about");
}

// A handler's registry type error is shown as the box's error message; the box stays.
void TPluginAboutForm::Dispatch(void (TPluginAboutForm::*handler)()) {
    try {
        (this->*handler)();
    } catch (const TRegistryTypeError& error) {
        view_->ShowError(error.Text());
        if (handler == &TPluginAboutForm::mPluginHintClick ||
            handler == &TPluginAboutForm::mPluginThidpartyClick) {
            view_->FocusAndSelectAll(kAboutOk);
        }
    }
}

void TPluginAboutForm::Command(int id) {
    switch (id) {
        case kAboutOk:
        case kAboutEscape:
            view_->End(ui::kMrOk);
            break;
        case kAboutHelp:
            Dispatch(&TPluginAboutForm::btnHelpClick);
            break;
        case kAboutHint:
            Dispatch(&TPluginAboutForm::mPluginHintClick);
            break;
        case kAboutThirdparty:
            Dispatch(&TPluginAboutForm::mPluginThidpartyClick);
            break;
        case kAboutWebsite:
            Dispatch(&TPluginAboutForm::lbWebsiteUrlClick);
            break;
        case kAboutEmail:
            Dispatch(&TPluginAboutForm::lbEmailAddressClick);
            break;
        default:
            break;
    }
}

void TPluginAboutForm::KeyUp(unsigned virtualKey) {
    try {
        FormKeyUp(virtualKey);
    } catch (const TRegistryTypeError& error) {
        view_->ShowError(error.Text());
    }
}

void TPluginAboutForm::Closing(int) {}

void ShowAboutBox() {
    // The form (and with it the window) is destroyed when this scope ends, also when
    // showing it throws.
    TPluginAboutForm form;
    form.ShowModal();
}

}  // namespace tarvik::about

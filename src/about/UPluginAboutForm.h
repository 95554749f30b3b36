// TPluginAboutForm: the About box that lmAbout shows. The plug-in's picture, links to
// the maker's web site and support address and the maker's notice in a white band on
// the left; in a framed box on the right the icon, name and version, release date, the
// description and the credits, OK and Help. Help on F1, the Help button and a click on
// the description ("about") or the credits ("thirdparty"); Esc and Enter close it.
#pragma once

#include <memory>
#include <string>

#include "ui/UDialog.h"

namespace tarvik::about {

// Control ids: OK is IDOK; Escape arrives as IDCANCEL; Help is IDHELP.
constexpr int kAboutOk = ui::kIdOk;
constexpr int kAboutEscape = ui::kIdCancel;
constexpr int kAboutHelp = ui::kIdHelp;
constexpr int kAboutHint = 20;        // mPluginHint
constexpr int kAboutThirdparty = 21;  // mPluginThidparty
constexpr int kAboutWebsite = 30;     // lbWebsiteUrl
constexpr int kAboutEmail = 31;       // lbEmailAddress

constexpr int kAboutClientWidth = 535;
constexpr int kAboutClientHeight = 392;
constexpr int kHintHeightWithoutCredits = 155;

// Every text the box shows, as the string table gives them.
struct TAboutTexts {
    std::wstring credits;      // empty: the credits label and memo stay hidden
    std::wstring description;
    std::wstring notice;
    std::wstring website;
    std::wstring releaseDate;
    std::wstring support;
    std::wstring caption;      // "О плагине %s" filled
    std::wstring nameVersion;  // "%s %s" filled
    std::wstring thirdpartyLabel;
    std::wstring ok;
    std::wstring help;
};

// The texts from the string table, loaded in the box's construction order.
TAboutTexts LoadAboutTexts();

// The box's layout: one row per component, in the form's coordinates (the framed box's
// components moved by its place), painted back to front; the picture decoded from the
// library's ABOUT_PICTURE resource (an empty area when it cannot be decoded).
ui::DialogSpec BuildAboutSpec(const TAboutTexts& texts, std::shared_ptr<const ui::PixelPicture> picture);

class TPluginAboutForm final : private ui::DialogEvents {
public:
    // Creates the box, owned by the window active for this thread (the host's).
    TPluginAboutForm();
    virtual ~TPluginAboutForm();
    TPluginAboutForm(const TPluginAboutForm&) = delete;
    TPluginAboutForm& operator=(const TPluginAboutForm&) = delete;

    // Shows the box modally; the modal result (always OK).
    int ShowModal();

    // The handlers.
    void FormKeyUp(unsigned key);
    void btnHelpClick();
    void mPluginHintClick();
    void mPluginThidpartyClick();
    void lbWebsiteUrlClick();
    void lbEmailAddressClick();
    void ShowAboutHelp();

    ui::DialogView& View() { return *view_; }

private:
    void Command(int id) override;
    void KeyUp(unsigned virtualKey) override;
    void Closing(int result) override;
    void Dispatch(void (TPluginAboutForm::*handler)());

    TAboutTexts texts_;
    std::unique_ptr<ui::DialogView> view_;
};

// lmAbout's work: the box created, shown modally and destroyed, also when showing it
// fails. Throws what creating or showing it threw.
void ShowAboutBox();

}  // namespace tarvik::about

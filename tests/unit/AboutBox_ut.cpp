// The About box through lmAbout as a host calls it, headless with a scripted user,
// against the in-memory platform; and its layout for both credits cases.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "LinkedPluginTest.h"
#include "about/UHelpTopics.h"
#include "about/UPluginAboutForm.h"
#include "resources/ResourceIds.h"
#include "support/DialogColours.h"
#include "ui/UDialog.h"

namespace tarvik::about {
namespace {

using ui::HeadlessDialog;

const std::string kHelpKey = "Software\\Halvenor\\Corvane\\Tarvik";
const std::string kMissingHelpMessage = "Missing help file: maybe you need a plugin reinstallation?";

std::vector<std::uint8_t> AboutJpeg() {
#if defined(_WIN32)
    const std::string drive = "Z:";  // the Unix root, as Wine sees it
#else
    const std::string drive;
#endif
    std::ifstream file(drive + TARVIK_ART_DIR + "/About.jpg", std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const ui::ControlRow* ControlOf(const ui::DialogSpec& spec, int id) {
    for (const auto& row : spec.controls) {
        if (row.id == id) return &row;
    }
    return nullptr;
}

const ui::PaintRow* PaintedOf(const ui::DialogSpec& spec, ui::PaintKind kind) {
    for (const auto& row : spec.painted) {
        if (row.kind == kind) return &row;
    }
    return nullptr;
}

bool PaintsText(const ui::DialogSpec& spec, const std::wstring& text) {
    for (const auto& row : spec.painted) {
        if (row.kind == ui::PaintKind::Label && row.text == text) return true;
    }
    return false;
}

class AboutBoxTest : public test_support::LinkedPluginTest {
protected:
    void SetUp() override {
        LinkedPluginTest::SetUp();
        plugin->Connect();
        fake.SetRawResource(TARVIK_RES_ABOUT_PICTURE, AboutJpeg());
    }
    // Calls lmAbout with the user acting on the box; the number of boxes shown.
    int About(const ui::HeadlessUser& user) {
        ui::ScopedHeadlessUser headless(user);
        library->Api().About();
        return headless.DialogsShown();
    }
};

TEST_F(AboutBoxTest, ShowsOneBoxWithItsCaptionSizeTextsAndLayout) {
    ui::DialogSpec seen;
    EXPECT_EQ(About([&](HeadlessDialog& box) { seen = box.Spec(); box.Click(kAboutOk); }), 1);
    EXPECT_EQ(seen.caption, L"О плагине Tarvik");
    EXPECT_EQ(seen.clientWidth, 535);
    EXPECT_EQ(seen.clientHeight, 392);
    EXPECT_EQ(seen.firstFocus, kAboutOk);
    EXPECT_TRUE(seen.bringToTopOnActivate);
    EXPECT_TRUE(PaintsText(seen, L"Tarvik 1.2"));
    EXPECT_TRUE(PaintsText(seen, L"12/07/2011"));
    EXPECT_TRUE(PaintsText(seen, L"Компоненты сторонних производителей:"));

    // Form coordinates: the framed box's components moved by its place (172, 7).
    const struct {
        int id;
        ui::Rect rect;
        ui::ControlKind kind;
    } expected[] = {{kAboutWebsite, {0, 264, 166, 13}, ui::ControlKind::Link},
                    {kAboutEmail, {0, 283, 166, 13}, ui::ControlKind::Link},
                    {kAboutHint, {187, 62, 329, 65}, ui::ControlKind::Memo},
                    {kAboutThirdparty, {187, 152, 329, 65}, ui::ControlKind::Memo},
                    {kAboutOk, {360, 348, 75, 25}, ui::ControlKind::Button},
                    {kAboutHelp, {441, 348, 75, 25}, ui::ControlKind::Button}};
    for (const auto& e : expected) {
        const ui::ControlRow* row = ControlOf(seen, e.id);
        ASSERT_NE(row, nullptr) << e.id;
        EXPECT_EQ(row->kind, e.kind) << e.id;
        EXPECT_EQ(row->rect.left, e.rect.left) << e.id;
        EXPECT_EQ(row->rect.top, e.rect.top) << e.id;
        EXPECT_EQ(row->rect.width, e.rect.width) << e.id;
        EXPECT_EQ(row->rect.height, e.rect.height) << e.id;
        EXPECT_TRUE(row->visible) << e.id;
    }
    EXPECT_EQ(ControlOf(seen, kAboutOk)->text, L"&OK");
    EXPECT_TRUE(ControlOf(seen, kAboutOk)->isDefault);
    EXPECT_EQ(ControlOf(seen, kAboutHelp)->text, L"&Справка");
    EXPECT_EQ(ControlOf(seen, kAboutHint)->text,
              L"С помощью этого плагина вы можете назначить горячие клавиши для своих публикаций.");
    // The credits: one line for the hotkey-manager component and its author; the
    // libraries' licences live in NOTICE and in the help's "thirdparty" section.
    const std::wstring& credits = ControlOf(seen, kAboutThirdparty)->text;
    EXPECT_NE(credits.find(L"THotKeyManager"), std::wstring::npos);
    EXPECT_NE(credits.find(L"Halvenor Corvane"), std::wstring::npos);
    EXPECT_EQ(credits.find_first_of(L"\r\n"), std::wstring::npos);
    // Only the two buttons can take the focus from the keyboard: OK, then Help, last in
    // the table so that they follow every other control.
    ASSERT_GE(seen.controls.size(), 2u);
    EXPECT_EQ(seen.controls[seen.controls.size() - 2].id, kAboutOk);
    EXPECT_EQ(seen.controls.back().id, kAboutHelp);
}

// Under the system's high contrast the band on the left is the window colour with its
// links and notice in window text; the rest is button text on the face. The picture,
// which no text lies on, stays.
TEST_F(AboutBoxTest, HighContrastPaintsEveryTextInTheSystemsColourPairs) {
    ui::DialogSpec seen;
    About([&](HeadlessDialog& box) { seen = box.Spec(); });
    EXPECT_FALSE(testing_support::FixedColours(seen).empty());

    fake.SetHighContrast(true);
    About([&](HeadlessDialog& box) { seen = box.Spec(); });
    EXPECT_EQ(testing_support::FixedColours(seen), std::vector<std::string>{});
    const ui::PaintRow* band = PaintedOf(seen, ui::PaintKind::Rectangle);
    ASSERT_NE(band, nullptr);
    EXPECT_EQ(band->fill, ui::kWindow);
    EXPECT_NE(PaintedOf(seen, ui::PaintKind::Pixels), nullptr);
    // The notice on the band, then the name and version, the date, the credits' title.
    EXPECT_EQ(testing_support::LabelColours(seen),
              (std::vector<ui::Colour>{ui::kWindowText, ui::kButtonText, ui::kButtonText, ui::kButtonText}));
    const struct {
        int id;
        ui::Colour background, text;
    } controls[] = {{kAboutWebsite, ui::kWindow, ui::kWindowText},
                    {kAboutEmail, ui::kWindow, ui::kWindowText},
                    {kAboutHint, ui::kButtonFace, ui::kButtonText},
                    {kAboutThirdparty, ui::kButtonFace, ui::kButtonText}};
    for (const auto& c : controls) {
        const ui::ControlRow* row = ControlOf(seen, c.id);
        ASSERT_NE(row, nullptr) << c.id;
        EXPECT_EQ(row->background, c.background) << c.id;
        EXPECT_EQ(row->textColour, c.text) << c.id;
    }
}

TEST_F(AboutBoxTest, ThePictureIsDecodedFromTheLibrarysResource) {
    ui::DialogSpec seen;
    About([&](HeadlessDialog& box) { seen = box.Spec(); });
    const ui::PaintRow* picture = PaintedOf(seen, ui::PaintKind::Pixels);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->rect.left, 8);
    EXPECT_EQ(picture->rect.top, 8);
    ASSERT_NE(picture->pixels, nullptr);
    EXPECT_EQ(picture->pixels->width, 150);
    EXPECT_EQ(picture->pixels->height, 150);
    EXPECT_EQ(picture->pixels->bgr.size(), picture->pixels->stride * 150);
}

TEST_F(AboutBoxTest, ADamagedPictureLeavesAnEmptyAreaAndTheBoxStillOpens) {
    std::vector<std::uint8_t> damaged = AboutJpeg();
    ASSERT_GT(damaged.size(), 100u);
    damaged.resize(damaged.size() / 3);
    fake.SetRawResource(TARVIK_RES_ABOUT_PICTURE, damaged);
    ui::DialogSpec seen;
    EXPECT_EQ(About([&](HeadlessDialog& box) { seen = box.Spec(); }), 1);
    const ui::PaintRow* picture = PaintedOf(seen, ui::PaintKind::Pixels);
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(picture->pixels, nullptr);
    EXPECT_TRUE(picture->pixels->bgr.empty());
    EXPECT_EQ(seen.caption, L"О плагине Tarvik");
}

TEST_F(AboutBoxTest, OkEnterEscapeAndTheCloseBoxEachCloseIt) {
    const std::vector<ui::HeadlessUser> ways = {
        [](HeadlessDialog& box) { box.Click(kAboutOk); },
        [](HeadlessDialog& box) { box.PressEnter(); },
        [](HeadlessDialog& box) { box.PressEscape(); },
        [](HeadlessDialog& box) { box.ReleaseKey(27); },
        [](HeadlessDialog& box) { box.CloseBox(); }};
    for (const auto& way : ways) {
        bool ended = false;
        About([&](HeadlessDialog& box) {
            way(box);
            ended = box.Ended();
        });
        EXPECT_TRUE(ended);
    }
    EXPECT_TRUE(plugin->Messages.empty());
}

TEST_F(AboutBoxTest, HelpF1AndTheDescriptionWithoutAHelpFileSendTheMissingHelpMessageAndStayOpen) {
    bool open = false;
    int focusAfterMemo = 0;
    About([&](HeadlessDialog& box) {
        box.Click(kAboutHelp);
        box.ReleaseKey(112);
        box.Click(kAboutHint);
        focusAfterMemo = box.Focus();
        box.ReleaseKey(65);  // other keys do nothing
        open = !box.Ended();
    });
    EXPECT_TRUE(open);
    EXPECT_EQ(focusAfterMemo, kAboutOk);
    EXPECT_EQ(plugin->Messages, (std::vector<std::string>(3, kMissingHelpMessage)));
    EXPECT_FALSE(fake.RegistryKeyExists(platform::RegistryRoot::CurrentUser, kHelpKey));
}

TEST_F(AboutBoxTest, TheCreditsMemoOpensThirdpartyOrSaysHelpIsMissingThenGivesTheFocusToOk) {
    int focus = 0;
    About([&](HeadlessDialog& box) {
        box.Click(kAboutThirdparty);
        focus = box.Focus();
    });
    EXPECT_EQ(focus, kAboutOk);
    EXPECT_EQ(plugin->Messages, (std::vector<std::string>{kMissingHelpMessage}));

    plugin->Messages.clear();
    fake.SetRegistryText(platform::RegistryRoot::CurrentUser, kHelpKey, "HelpFile", "C:\\Help\\Tarvik.chm");
    fake.AddFile("C:\\Help\\Tarvik.chm");
    About([&](HeadlessDialog& box) {
        box.Click(kAboutThirdparty);
        box.Click(kAboutHint);
        box.Click(kAboutHelp);
        box.ReleaseKey(112);
        focus = box.Focus();
    });
    EXPECT_EQ(focus, kAboutOk);
    EXPECT_TRUE(plugin->Messages.empty());
    std::vector<std::wstring> files;
    for (const auto& call : fake.HtmlHelpCalls()) files.push_back(call.file);
    const std::wstring base = L"C:\\Help\\Tarvik.chm::\\index.html#";
    EXPECT_EQ(files, (std::vector<std::wstring>{base + L"thirdparty", base + L"about", base + L"about", base + L"about"}));
}

TEST_F(AboutBoxTest, TheLinksOpenTheWebSiteAndAMailtoAddressShownNormally) {
    std::wstring website, support;
    About([&](HeadlessDialog& box) {
        website = box.Text(kAboutWebsite);
        support = box.Text(kAboutEmail);
        box.Click(kAboutWebsite);
        box.Click(kAboutEmail);
    });
    ASSERT_FALSE(website.empty());
    ASSERT_FALSE(support.empty());
    const auto& calls = fake.ShellCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].file, std::string(website.begin(), website.end()));
    EXPECT_EQ(calls[1].file, "mailto:" + std::string(support.begin(), support.end()));
    for (const auto& call : calls) {
        EXPECT_EQ(call.parameters, "");
        EXPECT_EQ(call.show, 1);
    }
}

TEST(AboutBoxLayout, EmptyCreditsHideTheLabelAndMemoAndLengthenTheDescription) {
    TAboutTexts texts;
    texts.caption = L"О плагине Tarvik";
    texts.thirdpartyLabel = L"Компоненты сторонних производителей:";
    const ui::DialogSpec without = BuildAboutSpec(texts, nullptr);
    ASSERT_NE(ControlOf(without, kAboutHint), nullptr);
    EXPECT_EQ(ControlOf(without, kAboutHint)->rect.height, 155);
    ASSERT_NE(ControlOf(without, kAboutThirdparty), nullptr);
    EXPECT_FALSE(ControlOf(without, kAboutThirdparty)->visible);
    EXPECT_FALSE(PaintsText(without, texts.thirdpartyLabel));

    texts.credits = L"THotKeyManager";
    const ui::DialogSpec with = BuildAboutSpec(texts, nullptr);
    EXPECT_EQ(ControlOf(with, kAboutHint)->rect.height, 65);
    EXPECT_TRUE(ControlOf(with, kAboutThirdparty)->visible);
    EXPECT_EQ(ControlOf(with, kAboutThirdparty)->text, L"THotKeyManager");
    EXPECT_TRUE(PaintsText(with, texts.thirdpartyLabel));
}

TEST(AboutBoxLayout, HiddenCreditsCannotBeClickedInTheBox) {
    TAboutTexts texts;  // no credits
    const ui::DialogSpec spec = BuildAboutSpec(texts, nullptr);
    struct NoEvents final : ui::DialogEvents {
        virtual ~NoEvents() = default;
        int commands = 0;
        void Command(int) override { ++commands; }
        void KeyUp(unsigned) override {}
        void Closing(int) override {}
    } events;
    HeadlessDialog box(spec, events);
    EXPECT_FALSE(box.Click(kAboutThirdparty));
    EXPECT_EQ(events.commands, 0);
}

}  // namespace
}  // namespace tarvik::about

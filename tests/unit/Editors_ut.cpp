// The command editors driven through lmEditAction as a host would, with the dialogs
// headless and a scripted user acting on them, against the in-memory platform.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <algorithm>

#include "ForwardingPlatform.h"
#include "LinkedPluginTest.h"
#include "about/UHelpTopics.h"
#include "editors/UActionEditors.h"
#include "editors/UAlphaVarFrame.h"
#include "editors/UPluginActionEditForm.h"
#include "resources/ResourceIds.h"
#include "resources/Strings.h"
#include "support/DialogColours.h"
#include "ui/UDialog.h"

namespace tarvik::editors {
namespace {

using ui::HeadlessDialog;

constexpr int kField1 = 100;  // the top frame's field
constexpr int kField2 = 110;
constexpr int kField3 = 120;
constexpr int kVariables1 = 101;  // the top frame's variables button
constexpr int kObjects1 = 102;
constexpr int kFiles1 = 103;

const std::string kHelpKey = "Software\\Halvenor\\Corvane\\Tarvik";
const std::string kMissingHelpMessage = "Missing help file: maybe you need a plugin reinstallation?";

// Records the blocks handed to GlobalFree: an allocator may give a released address
// out again, so a fresh block is told by the old one having been released. Answers the
// string-table entries a test translated with their translations.
class FreeRecorder : public test_support::ForwardingPlatform {
public:
    using ForwardingPlatform::ForwardingPlatform;
    void* GlobalFree(void* block) override {
        freed.push_back(block);
        return os.GlobalFree(block);
    }
    bool Released(const void* block) const {
        return std::find(freed.begin(), freed.end(), block) != freed.end();
    }
    std::wstring LoadWideText(unsigned id) override {
        const auto found = translated.find(id);
        return found != translated.end() ? found->second : os.LoadWideText(id);
    }
    std::vector<void*> freed;
    std::map<unsigned, std::wstring> translated;
};

class EditorsTest : public test_support::LinkedPluginTest {
protected:
    platform::Platform* Installed() override { return &recorder; }
    FreeRecorder recorder{fake};

    void SetUp() override {
        LinkedPluginTest::SetUp();
        plugin->Connect();
    }
    void TearDown() override {
        for (char*& slot : slots) {
            if (slot != nullptr) {
                fake.GlobalFree(slot);
                slot = nullptr;
            }
        }
        LinkedPluginTest::TearDown();
    }

    // The host's parameter array: a global block per text, or null.
    void Slots(const std::vector<const char*>& texts) {
        for (const char* text : texts) {
            char* block = nullptr;
            if (text != nullptr) {
                block = static_cast<char*>(fake.GlobalAlloc(std::strlen(text) + 1));
                std::memcpy(block, text, std::strlen(text) + 1);
            }
            slots.push_back(block);
        }
        slots.push_back(nullptr);
        before = slots;
    }
    std::string Slot(std::size_t index) const {
        return slots[index] != nullptr ? slots[index] : "<null>";
    }
    bool Edit(int number, const ui::HeadlessUser& user) {
        ui::ScopedHeadlessUser headless(user);
        const std::int32_t answer = library->Api().EditAction(number, slots.data());
        shown = headless.DialogsShown();
        EXPECT_TRUE(answer == 0 || answer == 1);
        return answer == 1;
    }
    std::vector<std::string> Requests() const {
        std::vector<std::string> requests;
        for (const std::string& event : plugin->Events) {
            if (event.rfind("Request", 0) == 0) {
                requests.push_back(event);
            }
        }
        return requests;
    }

    std::vector<char*> slots;
    std::vector<char*> before;
    int shown = 0;
};

TEST_F(EditorsTest, NumbersWithoutAnEditorOpenNothingAndReadNoArray) {
    for (std::int32_t number : {5, 0, 9, -1, 1000, INT32_MIN}) {
        ui::ScopedHeadlessUser headless([](HeadlessDialog& dialog) { dialog.PressEnter(); });
        EXPECT_EQ(library->Api().EditAction(number, nullptr), 0) << number;
        EXPECT_EQ(headless.DialogsShown(), 0) << number;
    }
    // A command with an editor but no array: nothing to load or to write back.
    ui::ScopedHeadlessUser headless([](HeadlessDialog& dialog) { dialog.PressEnter(); });
    EXPECT_EQ(library->Api().EditAction(1, nullptr), 0);
}

TEST_F(EditorsTest, OkRewritesEverySlotWithFreshBlocksInParameterOrder) {
    Slots({"Ctrl+A", "OldId", "HK"});
    const std::size_t blocks = fake.LiveBlocks();
    std::vector<std::wstring> loaded;
    EXPECT_TRUE(Edit(2, [&](HeadlessDialog& dialog) {
        loaded = {dialog.Text(kField1), dialog.Text(kField2), dialog.Text(kField3)};
        EXPECT_EQ(dialog.Focus(), kField1);
        dialog.Type(kField2, L"Ctrl+Alt+F5");
        dialog.PressEnter();
    }));
    EXPECT_EQ(shown, 1);
    // TarvikChange: old identifier on top, then the new combination, then the result.
    EXPECT_EQ(loaded, (std::vector<std::wstring>{L"Ctrl+A", L"OldId", L"HK"}));
    EXPECT_EQ(Slot(0), "Ctrl+A");
    EXPECT_EQ(Slot(1), "Ctrl+Alt+F5");
    EXPECT_EQ(Slot(2), "HK");
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(recorder.Released(before[i])) << "slot " << i << " kept its old block";
    }
    EXPECT_EQ(slots[3], nullptr);  // beyond the command's parameters nothing is touched
    EXPECT_EQ(fake.LiveBlocks(), blocks);  // the old blocks were released
}

TEST_F(EditorsTest, CancelEscapeAndTheCloseBoxTouchNoSlot) {
    const std::vector<std::function<void(HeadlessDialog&)>> endings = {
        [](HeadlessDialog& d) { d.Click(kBtnCancel); },
        [](HeadlessDialog& d) { d.PressEscape(); },
        [](HeadlessDialog& d) { d.CloseBox(); },
        [](HeadlessDialog&) {},  // nobody there
    };
    Slots({"Ctrl+B", nullptr});
    for (const auto& ending : endings) {
        EXPECT_FALSE(Edit(1, [&](HeadlessDialog& dialog) {
            dialog.Type(kField1, L"changed \"x\"");
            dialog.Type(kField2, L"typed");
            ending(dialog);
        }));
        EXPECT_EQ(slots[0], before[0]);
        EXPECT_EQ(Slot(0), "Ctrl+B");
        EXPECT_EQ(slots[1], nullptr);
    }
}

TEST_F(EditorsTest, QuotesAreEscapedOnOkOnlyAndNotUnescapedOnLoad) {
    Slots({"already [#34]x[#34]", nullptr, ""});
    std::wstring shownSubroutine;
    EXPECT_TRUE(Edit(8, [&](HeadlessDialog& dialog) {
        shownSubroutine = dialog.Text(kField1);
        dialog.Type(kField2, L"say \"hi\" \"");
        dialog.Click(kBtnOk);
        dialog.Type(kField2, L"typed \"after\" the dialog closed");  // reaches nothing
    }));
    EXPECT_EQ(shownSubroutine, L"already [#34]x[#34]");
    EXPECT_EQ(Slot(0), "already [#34]x[#34]");
    EXPECT_EQ(Slot(1), "say [#34]hi[#34] [#34]");
    // A null slot is an empty field and comes back as a one-byte block.
    ASSERT_NE(slots[2], nullptr);
    EXPECT_EQ(Slot(2), "");
}

TEST_F(EditorsTest, EveryEditorMapsItsFieldsToItsParameters) {
    struct Case {
        int number;
        int parameters;
    };
    for (Case c : {Case{1, 2}, Case{2, 3}, Case{3, 2}, Case{4, 2}, Case{6, 2}, Case{7, 2},
                   Case{8, 3}}) {
        for (char*& slot : slots) {
            if (slot != nullptr) {
                fake.GlobalFree(slot);
            }
        }
        slots.clear();
        Slots({"p1", "p2", "p3"});
        EXPECT_TRUE(Edit(c.number, [&](HeadlessDialog& dialog) {
            // Opened with the top field's text, its parameter, focused and all selected.
            EXPECT_EQ(dialog.Focus(), kField1) << c.number;
            EXPECT_TRUE(dialog.AllSelected(kField1)) << c.number;
            EXPECT_FALSE(dialog.AllSelected(kField2)) << c.number;
            const int fields[] = {kField1, kField2, kField3};
            for (int p = 0; p < c.parameters; ++p) {
                dialog.Type(fields[p], L"new" + std::to_wstring(p + 1));
            }
            dialog.PressEnter();
        })) << c.number;
        for (int p = 0; p < c.parameters; ++p) {
            EXPECT_EQ(Slot(static_cast<std::size_t>(p)), "new" + std::to_string(p + 1)) << c.number;
        }
        if (c.parameters == 2) {
            EXPECT_EQ(slots[2], before[2]) << c.number;
        }
    }
}

TEST_F(EditorsTest, RussianAndAnsiTextsCrossTheFieldsUnchanged) {
    fake.SetAnsiCodePage(1251);
    Slots({"\xCF\xF0\xE8\xE2\xE5\xF2", nullptr});  // "Привет" in code page 1251
    std::wstring shownText;
    EXPECT_TRUE(Edit(1, [&](HeadlessDialog& dialog) {
        shownText = dialog.Text(kField1);
        dialog.Type(kField2, L"\x041A\x043B\x044E\x0447");  // "Ключ"
        dialog.PressEnter();
    }));
    EXPECT_EQ(shownText, L"\x041F\x0440\x0438\x0432\x0435\x0442");
    EXPECT_EQ(Slot(0), "\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(Slot(1), "\xCA\xEB\xFE\xF7");
}

TEST_F(EditorsTest, TheDialogShowsTheEditorsTextsAndLayout) {
    Slots({nullptr, nullptr, nullptr});
    ui::DialogSpec spec;
    Edit(3, [&](HeadlessDialog& dialog) { spec = dialog.Spec(); });
    EXPECT_EQ(spec.caption, L"TarvikRemove \x0441\x0432\x043E\x0439\x0441\x0442\x0432\x0430");
    EXPECT_EQ(spec.clientWidth, 441);
    EXPECT_EQ(spec.clientHeight, 289);
    std::vector<std::wstring> labels;
    for (const ui::PaintRow& row : spec.painted) {
        if (row.kind == ui::PaintKind::Label) {
            labels.push_back(row.text);
        }
    }
    ASSERT_GE(labels.size(), 5u);
    EXPECT_EQ(labels[0], L"TarvikRemove");
    EXPECT_NE(labels[1].find(L"\n\x041F\x0440\x0438 "), std::wstring::npos) << "second line";
    EXPECT_EQ(labels[2], L"Tarvik plugin");
    // Buttons after the fields, OK default; only the variables buttons visible.
    std::vector<int> order;
    for (const ui::ControlRow& row : spec.controls) {
        if (row.kind != ui::ControlKind::FlatButton) {
            order.push_back(row.id);
        }
        if (row.kind == ui::ControlKind::FlatButton) {
            EXPECT_EQ(row.visible, (row.id % 10) == 1) << row.id;
        }
    }
    EXPECT_EQ(order, (std::vector<int>{kField1, kField2, kBtnOk, kBtnCancel, kBtnHelp}));

    Edit(8, [&](HeadlessDialog& dialog) { spec = dialog.Spec(); });
    order.clear();
    for (const ui::ControlRow& row : spec.controls) {
        if (row.kind == ui::ControlKind::Button) {
            order.push_back(row.id);
        }
    }
    EXPECT_EQ(order, (std::vector<int>{kBtnHelp, kBtnCancel, kBtnOk}));
}

// Under the system's high contrast the title and the description are window text on the
// window colour, every other text button text on the face; the panel picture behind the
// captions and the frames' own fill go, the title picture and the icon stay.
TEST_F(EditorsTest, HighContrastPaintsEveryTextInTheSystemsColourPairs) {
    using testing_support::PaintsPicture;
    Slots({"x", "y", "z"});
    for (const bool on : {false, true}) {
        fake.SetHighContrast(on);
        for (const int number : {1, 2, 3, 4, 6, 7, 8}) {
            SCOPED_TRACE(std::to_string(number) + (on ? " high contrast" : ""));
            ui::DialogSpec spec;
            Edit(number, [&](HeadlessDialog& dialog) { spec = dialog.Spec(); });
            EXPECT_EQ(PaintsPicture(spec, TARVIK_RES_PANEL), !on);
            EXPECT_TRUE(PaintsPicture(spec, TARVIK_RES_TITULO));
            if (!on) {
                EXPECT_FALSE(testing_support::FixedColours(spec).empty());
                continue;
            }
            EXPECT_EQ(testing_support::FixedColours(spec), std::vector<std::string>{});
            const std::vector<ui::Colour> labels = testing_support::LabelColours(spec);
            ASSERT_GE(labels.size(), 6u);  // name, description, plug-in, notice, captions
            std::vector<ui::Colour> expected(labels.size(), ui::kButtonText);
            expected[0] = expected[1] = ui::kWindowText;
            EXPECT_EQ(labels, expected);
            int shapes = 0, fills = 0, icons = 0;
            for (const ui::PaintRow& row : spec.painted) {
                if (row.kind == ui::PaintKind::Rectangle || row.kind == ui::PaintKind::RoundRect) {
                    ++shapes;
                    EXPECT_EQ(row.fill, ui::kWindow);
                    EXPECT_EQ(row.outline, ui::kWindowText);
                }
                fills += row.kind == ui::PaintKind::Fill;
                icons += row.kind == ui::PaintKind::Icon;
            }
            EXPECT_EQ(shapes, 2);  // the title tab and the description box
            EXPECT_EQ(fills, 0);
            EXPECT_EQ(icons, 1);
            for (const ui::ControlRow& row : spec.controls) {
                if (row.kind == ui::ControlKind::FlatButton) {
                    EXPECT_EQ(row.background, ui::kButtonFace) << row.id;
                }
            }
        }
    }
}

TEST_F(EditorsTest, PickersAskTheVersionThenThePickerWithTheCurrentText) {
    Slots({"Main", "Old", nullptr});
    plugin->Subroutines = {"Main", "OnHotkey"};
    plugin->PickReply = std::string("PickedVar");
    bool selected = false;
    std::vector<std::wstring> items;
    EXPECT_TRUE(Edit(8, [&](HeadlessDialog& dialog) {
        items = dialog.Items(kField1);
        plugin->Events.clear();
        dialog.Click(111);  // HotkeyIdVarFrame's variables button
        selected = dialog.Focus() == kField2 && dialog.AllSelected(kField2);
        dialog.PressEnter();
    }));
    EXPECT_EQ(items, (std::vector<std::wstring>{L"Main", L"OnHotkey"}));
    EXPECT_EQ(Requests(), (std::vector<std::string>{"Request 6", "Request 14 Old"}));
    EXPECT_TRUE(selected);
    EXPECT_EQ(Slot(1), "PickedVar");

    // The host answers nothing: the text stays, all of it selected.
    plugin->PickReply = std::string("");
    EXPECT_TRUE(Edit(8, [&](HeadlessDialog& dialog) {
        dialog.Click(kVariables1);  // on the subroutine combo box
        selected = dialog.Focus() == kField1 && dialog.AllSelected(kField1);
        dialog.PressEnter();
    }));
    EXPECT_TRUE(selected);
    EXPECT_EQ(Slot(0), "Main");
}

TEST_F(EditorsTest, TheVariablePickerOnAVersion4HostShowsTheMessageOnly) {
    Slots({"Ctrl+A", nullptr});
    plugin->Version = std::string("4.2");
    plugin->PickReply = std::string("never");
    EXPECT_TRUE(Edit(1, [&](HeadlessDialog& dialog) {
        plugin->Events.clear();
        dialog.Click(kVariables1);
        dialog.PressEnter();
    }));
    EXPECT_EQ(Requests(), (std::vector<std::string>{
                              "Request 6",
                              "Request 9 Sorry, this feature need Lumora version 5 or later"}));
    EXPECT_EQ(Slot(0), "Ctrl+A");
}

TEST_F(EditorsTest, HelpWithoutAHelpFileSendsTheMissingHelpMessageAndStaysOpen) {
    Slots({"x", "y"});
    bool open = false;
    EXPECT_TRUE(Edit(6, [&](HeadlessDialog& dialog) {
        dialog.ReleaseKey(ui::kVkF1);
        dialog.ReleaseKey(113);  // F2: nothing
        dialog.Click(kBtnHelp);
        open = !dialog.Ended();
        dialog.PressEnter();
    }));
    EXPECT_TRUE(open);
    EXPECT_EQ(plugin->Messages, (std::vector<std::string>(2, kMissingHelpMessage)));
    EXPECT_FALSE(fake.RegistryKeyExists(platform::RegistryRoot::CurrentUser, kHelpKey));
}

// The messages the dialogs send through the host are string-table entries, so a
// translated resource set changes them too.
TEST_F(EditorsTest, TheHostMessagesComeFromTheStringTable) {
    recorder.translated = {{resources::IDS_MISSING_HELP_MESSAGE, L"Hilfedatei fehlt"},
                           {resources::IDS_HOST_VERSION_MESSAGE, L"Lumora 5 erforderlich"}};
    Slots({"x", "y"});
    plugin->Version = std::string("4.2");
    Edit(1, [&](HeadlessDialog& dialog) {
        dialog.ReleaseKey(ui::kVkF1);
        dialog.Click(kVariables1);
        dialog.PressEscape();
    });
    EXPECT_EQ(plugin->Messages, (std::vector<std::string>{"Hilfedatei fehlt", "Lumora 5 erforderlich"}));
}

TEST_F(EditorsTest, HelpWithAHelpFileOpensTheCommandsTopic) {
    fake.SetRegistryText(platform::RegistryRoot::CurrentUser, kHelpKey, "HelpFile",
                         "C:\\Help\\Tarvik.chm");
    fake.AddFile("C:\\Help\\Tarvik.chm");
    Slots({"x", "y", "z"});
    Edit(2, [&](HeadlessDialog& dialog) {
        dialog.ReleaseKey(ui::kVkF1);
        dialog.Click(kBtnHelp);
        dialog.PressEscape();
    });
    ASSERT_EQ(fake.HtmlHelpCalls().size(), 2u);
    for (const auto& call : fake.HtmlHelpCalls()) {
        EXPECT_EQ(call.file, L"C:\\Help\\Tarvik.chm::\\index.html#TarvikChange");
        EXPECT_EQ(call.command, platform::kHhDisplayTopic);
    }
    EXPECT_TRUE(plugin->Messages.empty());
}

TEST_F(EditorsTest, AHelpFileValueOfTheWrongTypeIsShownAsAnErrorOfTheDialog) {
    fake.SetRegistryValue(platform::RegistryRoot::CurrentUser, kHelpKey, "HelpFile",
                          platform::kRegDword, {1, 0, 0, 0});
    Slots({"x", "y"});
    std::vector<std::wstring> errors;
    Edit(7, [&](HeadlessDialog& dialog) {
        dialog.Click(kBtnHelp);
        errors = dialog.Errors();
        dialog.CloseBox();
    });
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(L"HelpFile"), std::wstring::npos);
    EXPECT_TRUE(plugin->Messages.empty());
}

// --- The frame's own behaviour: the object and file buttons ------------------------------

class FrameTest : public EditorsTest {
protected:
    // Runs TarvikAdd's editor and lets `act` use its top frame.
    void WithTopFrame(const std::function<void(TAlphaVarFrame&, HeadlessDialog&)>& act) {
        ui::ScopedHeadlessUser headless(nullptr);
        TPluginActionEditForm form(*EditorOf(1));
        auto& frame = dynamic_cast<TAlphaVarFrame&>(form.FrameOf(1));
        auto& dialog = dynamic_cast<HeadlessDialog&>(form.View());
        act(frame, dialog);
    }
};

TEST_F(FrameTest, ObjectAndFileButtonsAreHiddenInTheEditors) {
    WithTopFrame([](TAlphaVarFrame&, HeadlessDialog& dialog) {
        EXPECT_TRUE(dialog.Visible(kVariables1));
        EXPECT_FALSE(dialog.Visible(kObjects1));
        EXPECT_FALSE(dialog.Visible(kFiles1));
        EXPECT_FALSE(dialog.Click(kFiles1));
    });
}

TEST_F(FrameTest, ObjectButtonPicksByItsTag) {
    plugin->PickReply = std::string("Obj");
    for (int tag : {0, 1, 2}) {
        plugin->Events.clear();
        WithTopFrame([&](TAlphaVarFrame& frame, HeadlessDialog& dialog) {
            dialog.SetText(kField1, L"cur");
            frame.ObjectsTag = tag;
            frame.btnObjectsClick();
            EXPECT_EQ(dialog.Text(kField1), tag == 2 ? L"cur" : L"Obj") << tag;
            EXPECT_TRUE(dialog.AllSelected(kField1));
        });
        const std::vector<std::string> expected =
            tag == 0 ? std::vector<std::string>{"Request 6", "Request 1 cur"}
            : tag == 1 ? std::vector<std::string>{"Request 6", "Request 8 cur"}
                       : std::vector<std::string>{};
        EXPECT_EQ(Requests(), expected) << tag;
    }
}

TEST_F(FrameTest, FileButtonOpensTheChooserOfItsTagAndEntersTheChoice) {
    WithTopFrame([&](TAlphaVarFrame& frame, HeadlessDialog& dialog) {
        dialog.SetText(kField1, L"C:\\a.txt");
        fake.AnswerFileDialog(platform::FileChoice{L"C:\\b.txt", {L"C:\\b.txt", L"C:\\c.txt"}});
        frame.btnFilesClick();
        EXPECT_EQ(dialog.Text(kField1), L"C:\\a.txt|C:\\b.txt|C:\\c.txt");

        frame.FilesTag = 1;
        fake.AnswerFileDialog(std::nullopt);  // cancelled
        frame.btnFilesClick();
        EXPECT_EQ(dialog.Text(kField1), L"C:\\a.txt|C:\\b.txt|C:\\c.txt");

        frame.FilesTag = 2;
        fake.AnswerFolderBrowser(std::wstring(L"C:\\Data"));
        frame.btnFilesClick();
        EXPECT_EQ(dialog.Text(kField1), L"C:\\Data\\");
        EXPECT_TRUE(dialog.AllSelected(kField1));

        frame.FilesTag = 3;
        frame.btnFilesClick();
    });
    ASSERT_EQ(fake.FileDialogCalls().size(), 2u);
    EXPECT_FALSE(fake.FileDialogCalls()[0].save);
    EXPECT_TRUE(fake.FileDialogCalls()[1].save);
    ASSERT_EQ(fake.FolderBrowserCalls().size(), 1u);
    EXPECT_EQ(fake.FolderBrowserCalls()[0].caption, L"Choose a directory");
}

TEST(ChoiceEntry, FilesJoinAfterTheTextTheFieldHeld) {
    using platform::FileChoice;
    EXPECT_EQ(EnterFileChoice(L"", FileChoice{L"C:\\x", {L"C:\\a", L"C:\\b"}}), L"C:\\a|C:\\b");
    EXPECT_EQ(EnterFileChoice(L"old", FileChoice{L"C:\\x", {L"C:\\a", L"C:\\b"}}),
              L"old|C:\\a|C:\\b");
    EXPECT_EQ(EnterFileChoice(L"old", FileChoice{L"C:\\x", {L"C:\\a"}}), L"old|C:\\a");
    // No list of chosen files: the file name replaces the text.
    EXPECT_EQ(EnterFileChoice(L"old", FileChoice{L"C:\\only", {}}), L"C:\\only");
    EXPECT_EQ(EnterFileChoice(L"old", FileChoice{L"", {}}), L"");
}

TEST(ChoiceEntry, AFolderAlwaysEndsWithABackslash) {
    EXPECT_EQ(EnterFolderChoice(L"C:\\Data"), L"C:\\Data\\");
    EXPECT_EQ(EnterFolderChoice(L"C:\\"), L"C:\\");
    EXPECT_EQ(EnterFolderChoice(L"\\\\server\\share"), L"\\\\server\\share\\");
    EXPECT_EQ(EnterFolderChoice(L""), L"\\");
}

}  // namespace
}  // namespace tarvik::editors

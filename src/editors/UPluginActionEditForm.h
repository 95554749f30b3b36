// TPluginActionEditForm: what every command editor shares. The title tab with the
// command's name over the description box, the plug-in's icon and name, OK, Cancel and
// Help; one frame per parameter; quote escaping on OK; help on F1 and the Help button;
// a place over the host's window. An editor is one row of the editors' table
// (UActionEditors.h); it adds no behaviour of its own.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "editors/UFrame.h"
#include "ui/UDialog.h"

namespace tarvik::editors {

struct EditorRow;

// Control ids of the base dialog's buttons.
constexpr int kBtnOk = ui::kIdOk;
constexpr int kBtnCancel = ui::kIdCancel;
constexpr int kBtnHelp = ui::kIdHelp;

class TPluginActionEditForm : private ui::DialogEvents {
public:
    // Creates the dialog of this editor, owned by the window active for this thread.
    explicit TPluginActionEditForm(const EditorRow& editor);
    virtual ~TPluginActionEditForm();
    TPluginActionEditForm(const TPluginActionEditForm&) = delete;
    TPluginActionEditForm& operator=(const TPluginActionEditForm&) = delete;

    // Parameters are numbered from 1, in catalogue order.
    int ParameterCount() const;
    // The parameter's field, in the host's ANSI code page.
    std::string FieldText(int parameter);
    void SetFieldText(int parameter, const std::string& text);
    TFrame& FrameOf(int parameter);

    // Shows the dialog modally; the modal result (ui::kMrOk, ui::kMrCancel).
    int ShowModal();

    // The handlers.
    void FormClose(int modalResult);
    void btnHelpClick();
    void FormKeyUp(unsigned key);
    void ShowActionHelp();

    const EditorRow& Editor() const { return editor_; }
    ui::DialogView& View() { return *view_; }

private:
    void Command(int id) override;
    void KeyUp(unsigned virtualKey) override;
    void Closing(int result) override;
    ui::DialogSpec BuildSpec();

    const EditorRow& editor_;
    std::wstring actionName_;  // lbActionName's caption: also the help topic
    std::vector<std::unique_ptr<TFrame>> frames_;  // top to bottom
    // Declared after the frames, so the window (which holds their ids) goes first.
    std::unique_ptr<ui::DialogView> view_;
};

}  // namespace tarvik::editors

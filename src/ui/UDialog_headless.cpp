// The headless view: a dialog without a window that keeps its controls' texts, items,
// focus and selection, driven by a scripted user; the build's default view where there
// are no windows, and the view tests install with ScopedHeadlessUser.
#include "ui/UDialog.h"

#include <utility>

namespace tarvik::ui {

namespace {
// The user a headless dialog runs with; set per view by its factory.
class ScriptedDialog : public HeadlessDialog {
public:
    ScriptedDialog(const DialogSpec& spec, DialogEvents& events, HeadlessUser user)
        : HeadlessDialog(spec, events), user_(std::move(user)) {}
    int RunModal() override {
        return RunWith(user_);
    }
    int RunWith(const HeadlessUser& user) {
        Open();
        if (user) {
            user(*this);
        }
        if (!Ended()) {
            CloseBox();
        }
        return HeadlessDialog::RunModal();
    }

private:
    HeadlessUser user_;
};
}  // namespace

HeadlessDialog::HeadlessDialog(const DialogSpec& spec, DialogEvents& events)
    : spec_(spec), events_(events) {
    for (const ControlRow& row : spec_.controls) {
        controls_.push_back(Control{row.id, row.kind, row.visible, row.text, {}, false});
    }
    focus_ = spec_.firstFocus;
}

HeadlessDialog::Control* HeadlessDialog::Find(int id) {
    for (Control& control : controls_) {
        if (control.id == id) {
            return &control;
        }
    }
    return nullptr;
}

const HeadlessDialog::Control* HeadlessDialog::Find(int id) const {
    return const_cast<HeadlessDialog*>(this)->Find(id);
}

std::wstring HeadlessDialog::Text(int id) {
    const Control* control = Find(id);
    return control != nullptr ? control->text : std::wstring();
}

void HeadlessDialog::SetText(int id, const std::wstring& text) {
    if (Control* control = Find(id)) {
        control->text = text;
        control->allSelected = false;
    }
}

void HeadlessDialog::AddItems(int id, const std::vector<std::wstring>& items) {
    if (Control* control = Find(id)) {
        control->items.insert(control->items.end(), items.begin(), items.end());
    }
}

void HeadlessDialog::FocusAndSelectAll(int id) {
    if (Control* control = Find(id)) {
        focus_ = id;
        // Only an edit box and a combo box's field hold a selection.
        control->allSelected = control->kind == ControlKind::Edit || control->kind == ControlKind::Combo;
    }
}

void HeadlessDialog::Open() {
    // As the window does: the first focus comes from the keyboard, so its text is selected.
    FocusAndSelectAll(focus_);
}

int HeadlessDialog::RunModal() {
    return result_;
}

void HeadlessDialog::End(int result) {
    if (ended_) {
        return;
    }
    events_.Closing(result);
    result_ = result;
    ended_ = true;
}

void HeadlessDialog::ShowError(const std::wstring& text) {
    errors_.push_back(text);
}

void HeadlessDialog::Type(int id, const std::wstring& text) {
    if (ended_) {
        return;  // a closed dialog takes no more typing than clicks
    }
    if (Control* control = Find(id)) {
        focus_ = id;
        control->text = text;
        control->allSelected = false;
    }
}

bool HeadlessDialog::Click(int id) {
    const Control* control = Find(id);
    if (control == nullptr || !control->visible || ended_) {
        return false;
    }
    events_.Command(id);
    return true;
}

void HeadlessDialog::PressEnter() {
    if (!ended_) {
        events_.Command(spec_.defaultId);
    }
}

void HeadlessDialog::PressEscape() {
    if (!ended_) {
        events_.Command(spec_.cancelId);
    }
}

void HeadlessDialog::CloseBox() {
    End(spec_.closeResult);
}

void HeadlessDialog::ReleaseKey(unsigned virtualKey) {
    if (!ended_) {
        events_.KeyUp(virtualKey);
    }
}

bool HeadlessDialog::AllSelected(int id) const {
    const Control* control = Find(id);
    return control != nullptr && control->allSelected;
}

bool HeadlessDialog::Visible(int id) const {
    const Control* control = Find(id);
    return control != nullptr && control->visible;
}

std::vector<std::wstring> HeadlessDialog::Items(int id) const {
    const Control* control = Find(id);
    return control != nullptr ? control->items : std::vector<std::wstring>();
}

std::unique_ptr<DialogView> CreateHeadlessView(const DialogSpec& spec, DialogEvents& events,
                                               const HeadlessUser& user) {
    return std::make_unique<ScriptedDialog>(spec, events, user);
}

ScopedHeadlessUser::ScopedHeadlessUser(HeadlessUser user) : shown_(std::make_shared<int>(0)) {
    std::shared_ptr<int> shown = shown_;
    SetDialogViewFactory([user = std::move(user), shown](const DialogSpec& spec,
                                                          DialogEvents& events) {
        ++*shown;
        return CreateHeadlessView(spec, events, user);
    });
}

ScopedHeadlessUser::~ScopedHeadlessUser() {
    SetDialogViewFactory(nullptr);
}

}  // namespace tarvik::ui

// TSubroutineFrame: a caption, an editable combo box listing the host's subroutines in
// the order the host gives them, and a variables button.
#pragma once

#include "editors/UFrame.h"

namespace tarvik::editors {

class TSubroutineFrame : public TFrame {
public:
    enum : int { kCbVariable = 0, kBtnVariables = 1 };

    explicit TSubroutineFrame(const FramePlacement& placement) : TFrame(placement) {}

    void AddComponents(ui::DialogSpec& spec) const override;
    // Fills the drop-down with the host's subroutine list, fetched now, once.
    void Attach(ui::DialogView& view) override;
    bool Click(int id) override;
    int FieldId() const override { return placement_.firstId + kCbVariable; }

    void btnVariablesClick();
};

}  // namespace tarvik::editors

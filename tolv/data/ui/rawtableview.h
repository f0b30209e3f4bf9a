#pragma once
// The raw data table view (kind 0): fills the document window's panes with
// the samples of the measurement on display and writes the export file.
#include "tolv/data/ui/viewregistry.h"

#include <string>

namespace varenta {

class RawTableView final : public ViewKind {
public:
    int kind() const override { return viewkind::kRawTable; }
    void show(ShellServices& shell) override;
    void refresh(ShellServices& shell, RefreshReason reason) override;
    void caretMoved(ShellServices& shell, DocumentWindow& w) override;
    bool editKey(ShellServices& shell, DocumentWindow& w) override;

    // The fill algorithm; false when nothing was filled (no file, no
    // window, no samples, or the export could not be written: the window
    // then keeps its previous content).
    bool fill(ShellServices& shell);
    // Text of the last successful fill (as written to the export file).
    const std::string& lastBody() const { return lastBody_; }

private:
    bool canFill(ShellServices& shell) const;
    std::string lastBody_;
};

inline constexpr const char* kRawEditRefusal = "処理後の生ﾃﾞｰﾀは、修正できません。";

}  // namespace varenta

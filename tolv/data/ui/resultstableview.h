#pragma once
// The processing results table view (kind 2, "処理結果表"): the heading
// lines in RichTextBox2 and the table of the results file in RichTextBox1,
// the same text as the export file "{pp}23g.txt".  A complete fill checks
// every record's running number (repairing the results file); refreshes
// replace lines in place in the export and the pane; the selection mode
// follows the measurement on display; a click or caret move on a line makes
// its measurement current.
#include "tolv/data/resultstable.h"
#include "tolv/data/ui/viewregistry.h"

#include <string>
#include <vector>

namespace varenta {

class ResultsTableView final : public ViewKind {
public:
    int kind() const override { return viewkind::kResultsTable; }
    void show(ShellServices& shell) override;
    void refresh(ShellServices& shell, RefreshReason reason) override;
    void setUpWindow(DocumentWindow& w) override;
    void caretMoved(ShellServices& shell, DocumentWindow& w) override;
    bool editKey(ShellServices& shell, DocumentWindow& w) override;
    void closed(ShellServices& shell) override;

    // fillResultsTable(record, mode): record 0 a complete fill; k > 0 the
    // lines from record k on (mode bit 0: record k's line only); mode bit 2
    // only selects record k's line.  False when nothing was filled (no
    // window, no results file, a fill already running, or the export could
    // not be written: the window then keeps what it shows).
    bool fill(ShellServices& shell, long long record = 0, int mode = 0);
    // Selects one character at the start of record k's line and scrolls to
    // it; false when the table has no such line.
    bool selectRecord(ShellServices& shell, long long record);

    // lineOffset: 1-based character offset of record k's line in the table
    // text (CR LF line ends), with or without the blank line in front.
    long long lineOffset(long long record, bool selection) const;

    bool filled() const { return filled_; }
    const ResultsTableLayout& layout() const { return layout_; }
    const ResultsBlocks& blocks() const { return blocks_; }
    long long records() const { return records_; }
    // The table text as the export file holds it (kept in step with the
    // refreshes).
    const std::string& text() const { return text_; }
    // Records the last fill rewrote in the results file.
    const std::vector<long long>& lastReplaced() const { return replaced_; }
    Status lastStatus() const { return lastStatus_; }

private:
    bool canFill(ShellServices& shell) const;
    void applyLines(DocumentWindow& w, const ResultsTableOutcome& out, bool toEnd);

    ResultsTableLayout layout_;
    ResultsBlocks blocks_;
    std::string exportPath_;
    std::string resultsPath_;
    std::string text_;
    long long records_ = 0;
    std::vector<long long> replaced_;
    Status lastStatus_ = Status::Ok;
    bool filled_ = false;
    bool filling_ = false;
};

inline constexpr const char* kResultsExportFailed = "処理結果表を書き込めません: ";
inline constexpr const char* kResultsRepairFailed = "処理結果ファイルの順序不整合の記録を書き直せません";

}  // namespace varenta

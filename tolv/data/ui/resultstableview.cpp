#include "tolv/data/ui/resultstableview.h"

#include "common/textcodec.h"
#include "common/ui/qtutil.h"
#include "tolv/data/docrules.h"
#include "tolv/data/ui/documentwindow.h"
#include "tolv/data/ui/shellservices.h"

#include <QMdiArea>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace varenta {

namespace {

bool isAscii(const std::string& s)
{
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}

// Code-page bytes of the table as pane text: UTF-8, "\n" between lines, no
// line end after the last one.
QString paneText(const std::string& bytes)
{
    std::string t = isAscii(bytes) ? bytes : fromCodePage(bytes);
    if (t.size() >= 2 && t.compare(t.size() - 2, 2, "\r\n") == 0)
        t.resize(t.size() - 2);
    return displayText(t);
}

QString lineText(const std::string& bytes) { return qs(isAscii(bytes) ? bytes : fromCodePage(bytes)); }

}  // namespace

bool ResultsTableView::canFill(ShellServices& shell) const { return shell.dataSet().hasResultsFile; }

void ResultsTableView::show(ShellServices& shell)
{
    presentWindow(shell, FocusPane::MainText, [&] {
        if (canFill(shell))
            fill(shell);
    });
}

void ResultsTableView::refresh(ShellServices& shell, RefreshReason reason)
{
    if (reason == RefreshReason::Loaded) {
        DocumentWindow* w = windowToRefresh(shell, reason, canFill(shell));
        if (!w)
            return;
        if (canFill(shell)) {
            fill(shell);
        } else {
            // The data set has no results file: nothing of the old table stays.
            filled_ = false;
            text_.clear();
            records_ = 0;
            w->richTextBox1()->clear();
            w->richTextBox2()->clear();
        }
        return;
    }
    if (!shell.documentWindow(kind()) || !filled_)
        return;
    selectRecord(shell, shell.dataSet().currentNumber);
}

void ResultsTableView::setUpWindow(DocumentWindow& w)
{
    ViewKind::setUpWindow(w);
    // The table is rewritten line by line: no undo history of that.
    w.richTextBox1()->setUndoRedoEnabled(false);
    w.richTextBox2()->setUndoRedoEnabled(false);
}

void ResultsTableView::closed(ShellServices&)
{
    filled_ = false;
    filling_ = false;
    text_.clear();
    records_ = 0;
    replaced_.clear();
}

long long ResultsTableView::lineOffset(long long record, bool selection) const
{
    return resultsLineOffset(record, layout_.lineWidth, blocks_, selection);
}

bool ResultsTableView::selectRecord(ShellServices& shell, long long record)
{
    DocumentWindow* w = shell.documentWindow(kind());
    if (!w || !filled_ || record < 1 || record > records_)
        return false;
    QPlainTextEdit* body = w->richTextBox1();
    const QTextBlock b = body->document()->findBlockByNumber(static_cast<int>(resultsLineIndex(record, blocks_)));
    if (!b.isValid())
        return false;
    QTextCursor c(b);
    c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    body->setTextCursor(c);
    body->ensureCursorVisible();
    return true;
}

bool ResultsTableView::fill(ShellServices& shell, long long record, int mode)
{
    DocumentWindow* w = shell.documentWindow(kind());
    if (!w || !canFill(shell))
        return false;
    if (mode & fillmode::kSelect)
        return selectRecord(shell, record);
    if (filling_)
        return false;
    const DataSet& d = shell.dataSet();
    const Settings& s = shell.settings();

    ResultsTableRequest rq;
    rq.resultsPath = d.resultsPath;
    rq.exportPath = shell.programFolder() + "/" + resultsTableExportName(d.filePrefix);
    rq.blockStartHour = static_cast<int>(s.integer(66, 2));
    rq.blockHours = static_cast<int>(s.integer(66, 3));
    rq.intervalMinutes = d.hasMeasurementFile ? d.header.intervalMinutes : 0;
    // A refresh continues the table on display; anything else (another
    // file, another export, no table yet) is filled completely.
    const bool refreshing = record > 0 && filled_ && rq.resultsPath == resultsPath_ && rq.exportPath == exportPath_;
    if (refreshing) {
        rq.layout = layout_;
        rq.blocks = blocks_;
        rq.record = record;
        rq.mode = mode & fillmode::kOneLine;
    } else {
        rq.layout = makeResultsTableLayout(shell.initStore().resultItems(), shell.initStore().selection());
    }

    filling_ = true;
    shell.setBusy(true, "");
    Progress progress;
    progress.poll = [&shell] {
        shell.serveEvents();
        return true;
    };
    ResultsTableOutcome out = fillResultsTableFiles(rq, &progress);
    filling_ = false;
    lastStatus_ = out.status;
    replaced_ = out.replaced;
    // The window may have been closed while the event loop was served.
    w = shell.documentWindow(kind());
    std::string statusText;
    if (out.repairStatus != Status::Ok)
        statusText = kResultsRepairFailed;
    if (!w) {
        shell.setBusy(false, statusText);
        return false;
    }
    QPlainTextEdit* body = w->richTextBox1();
    QPlainTextEdit* heading = w->richTextBox2();
    bool ok = false;
    if (out.status == Status::Io) {
        statusText = kResultsExportFailed + resultsTableExportName(d.filePrefix);
    } else if (out.complete || out.status == Status::NotFound) {
        // Headings always; the body from the export text (empty without a
        // results file).
        layout_ = rq.layout;
        blocks_ = out.blocks;
        records_ = out.records;
        resultsPath_ = rq.resultsPath;
        exportPath_ = rq.exportPath;
        text_ = std::move(out.text);
        const int vpos = body->verticalScrollBar()->value();
        heading->setPlainText(displayText(layout_.headingText()));
        body->setPlainText(paneText(text_));
        body->verticalScrollBar()->setValue(vpos);
        w->clearEdits();
        filled_ = out.status == Status::Ok;
        ok = filled_;
        if (ok && record == 0) {
            body->setFocus();
            selectRecord(shell, d.currentNumber);
        }
    } else {
        records_ = out.records;
        applyLines(*w, out, !(rq.mode & fillmode::kOneLine));
        ok = true;
    }
    w->syncHeading();
    shell.setBusy(false, statusText);
    return ok;
}

void ResultsTableView::applyLines(DocumentWindow& w, const ResultsTableOutcome& out, bool toEnd)
{
    QPlainTextEdit* body = w.richTextBox1();
    QTextDocument* doc = body->document();
    QTextCursor c(doc);
    c.beginEditBlock();
    long long lastEnd = -1;
    for (const ResultsTableLine& line : out.lines) {
        // The export text first.
        const std::string bytes = (line.blankBefore ? "\r\n" : "") + line.text + "\r\n";
        const std::size_t at = static_cast<std::size_t>(line.offset - 1);
        if (at + bytes.size() > text_.size())
            text_.resize(at + bytes.size());
        text_.replace(at, bytes.size(), bytes);
        lastEnd = static_cast<long long>(at + bytes.size());

        // Then the pane: the line's block replaced, or added at the end.
        const bool empty = doc->isEmpty();
        const int want = static_cast<int>(line.line);
        if (!empty && want < doc->blockCount()) {
            const QTextBlock b = doc->findBlockByNumber(want);
            c.setPosition(b.position());
            c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
            c.insertText(lineText(line.text));
        } else {
            c.movePosition(QTextCursor::End);
            // An empty document has one empty block: the line goes into it.
            const int have = empty ? 0 : doc->blockCount();
            const int newlines = empty ? want : want - have + 1;
            QString add(std::max(0, newlines), QLatin1Char('\n'));
            add += lineText(line.text);
            c.insertText(add);
        }
    }
    if (toEnd && lastEnd >= 0) {
        text_.resize(static_cast<std::size_t>(lastEnd));
        const QTextBlock last = doc->findBlockByNumber(static_cast<int>(out.lines.back().line));
        if (last.isValid()) {
            c.setPosition(last.position() + last.length() - 1);
            c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            c.removeSelectedText();
        }
    }
    c.endEditBlock();
}

void ResultsTableView::caretMoved(ShellServices& shell, DocumentWindow& w)
{
    if (!filled_)
        return;
    const long long k = recordAtLine(w.caretRow(), blocks_);
    if (k < 1 || k > records_)
        return;
    shell.selectMeasurement(k);
}

bool ResultsTableView::editKey(ShellServices& shell, DocumentWindow& w)
{
    w.setEdited(true);
    w.addEditedRow(shell.dataSet().currentNumber);
    return true;
}

}  // namespace varenta

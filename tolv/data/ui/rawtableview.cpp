#include "tolv/data/ui/rawtableview.h"

#include "common/ui/qtutil.h"
#include "tolv/data/docrules.h"
#include "tolv/data/rawtable.h"
#include "tolv/data/ui/documentwindow.h"
#include "tolv/data/ui/shellservices.h"

#include <QMdiArea>
#include <QPlainTextEdit>
#include <QScrollBar>

namespace varenta {

bool RawTableView::canFill(ShellServices& shell) const
{
    return shell.dataSet().hasMeasurementFile && !shell.runtime().noSamples;
}

void RawTableView::show(ShellServices& shell)
{
    if (shell.runtime().noSamples)
        return;
    const bool file = shell.dataSet().hasMeasurementFile;
    presentWindow(shell, FocusPane::Window, [&] {
        if (file)
            fill(shell);
    });
}

void RawTableView::refresh(ShellServices& shell, RefreshReason reason)
{
    if (!windowToRefresh(shell, reason, canFill(shell)))
        return;
    fill(shell);
}

bool RawTableView::fill(ShellServices& shell)
{
    DocumentWindow* w = shell.documentWindow(kind());
    if (!w || !canFill(shell))
        return false;
    if (!shell.ensureRawData())
        return false;
    const DataSet& d = shell.dataSet();

    shell.setBusy(true, "");
    QPlainTextEdit* body = w->richTextBox1();
    QPlainTextEdit* heading = w->richTextBox2();
    body->setVisible(false);
    heading->setVisible(false);
    const int vpos = body->verticalScrollBar()->value();
    const int hpos = body->horizontalScrollBar()->value();

    RawTableInput in;
    in.header = &d.header;
    in.rawCounts = &d.rawCounts;
    in.channels = &shell.channels();
    in.displayed = d.displayChannels.indexes;
    in.timeColumn = (shell.runtime().switchWord2 & switch2::kTimeColumn) != 0;
    std::string text = rawTableBody(in);

    const std::string exportPath = shell.programFolder() + "/" + rawTableExportName(d.filePrefix);
    const Status st = writeRawTableExport(exportPath, text);
    if (st == Status::Ok) {
        // With the time column the captions move right by its width, so
        // that they stay over their columns.
        const std::string lead = in.timeColumn ? std::string(kRawTimeColumnWidth, ' ') : std::string();
        heading->setPlainText(displayText(
            rawTableHeading(lead + d.displayChannels.captions0, lead + d.displayChannels.captions1)));
        body->setPlainText(displayText(text));
        lastBody_ = std::move(text);
        w->clearEdits();
    }
    body->setVisible(true);
    heading->setVisible(true);
    body->verticalScrollBar()->setValue(vpos);
    body->horizontalScrollBar()->setValue(hpos);
    w->syncHeading();

    if (st == Status::Ok && (shell.runtime().switchWord2 & switch2::kRawWebCopy))
        copyRawTableToWeb(exportPath, shell.webFolder());
    shell.setBusy(false, st == Status::Ok ? "" : "生データ表を書き込めません: " + rawTableExportName(d.filePrefix));
    return st == Status::Ok;
}

void RawTableView::caretMoved(ShellServices& shell, DocumentWindow& w)
{
    const DataSet& d = shell.dataSet();
    if (!d.hasMeasurementFile)
        return;
    const int c = d.displayChannels.count;
    const bool timeColumn = (shell.runtime().switchWord2 & switch2::kTimeColumn) != 0;
    const int lead = timeColumn ? kRawTimeColumnWidth : 0;
    const long long caret = rawTableCaret(w.caretRow(), w.caretColumn(), c, lead);
    const long long dn = rawTableDataNumber(caret, c, d.header.samplesPerChannel, lead);
    const double tenths = d.header.intervalTenths > 0 ? d.header.intervalTenths : 10.0;
    const long long perMinute = static_cast<long long>(600.0 / tenths + 0.5) * c;
    shell.setPanel(panel::kDno, dataNumberText(dn, perMinute));
    for (int k : {viewkind::kRawGraph, viewkind::kComponentGraph})
        if (ViewKind* v = shell.views().find(k); v && shell.documentWindow(k))
            v->cursorMoved(shell, dn);
}

bool RawTableView::editKey(ShellServices& shell, DocumentWindow& w)
{
    if (shell.runtime().state(statebit::kProcessed)) {
        shell.beep();
        shell.prompter().message(kForbiddenTitle, kRawEditRefusal, MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    w.setEdited(true);
    return true;
}

}  // namespace varenta

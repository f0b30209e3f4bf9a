#include "tolv/shell/ui/printing.h"

#include "common/appstate.h"
#include "common/textcodec.h"
#include "common/ui/drawing.h"
#include "common/ui/qtutil.h"
#include "tolv/data/docrules.h"
#include "tolv/data/resultsgraph.h"
#include "tolv/data/session.h"
#include "tolv/data/ui/documentwindow.h"
#include "tolv/data/ui/rawgraphview.h"
#include "tolv/data/ui/resultsgraphview.h"
#include "tolv/data/ui/shellservices.h"
#include "tolv/data/ui/velocitygraphview.h"
#include "tolv/shell/scheduler.h"
#include "tolv/shell/ui/mdiform1.h"
#include "tolv/spectra/ui/directionalviews.h"
#include "tolv/spectra/ui/powerspectrumview.h"

#include <QFontMetricsF>
#include <QMdiArea>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextCursor>

#include <algorithm>
#include <filesystem>

namespace varenta {

inline constexpr const char* kPrintRawQuestion = "生データを印刷します。よろしいですか？";

void preparePrinter(QPrinter& printer, const PrintSetup& setup, const std::string& programFolder)
{
    if (isPdfPrinterName(setup.printerName)) {
        std::filesystem::path p(setup.printerName);
        if (p.is_relative())
            p = std::filesystem::path(programFolder) / p;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(qs(p.string()));
        printer.setPageSize(QPageSize(QPageSize::A4));
    } else if (!setup.printerName.empty()) {
        // A name no installed printer carries leaves the current printer.
        const QPrinterInfo info = QPrinterInfo::printerInfo(qs(setup.printerName));
        if (!info.isNull())
            printer.setPrinterName(info.printerName());
    }
    printer.setPageOrientation(setup.portrait ? QPageLayout::Portrait : QPageLayout::Landscape);
}

bool applyPrinterSetting(QPrinter& printer, int setting)
{
    QPrinter::PaperSource source;
    if (setting >= 1 && setting <= 11)
        source = static_cast<QPrinter::PaperSource>(setting - 1);
    else if (setting == 14)
        source = QPrinter::Cassette;
    else if (setting == 15)
        source = QPrinter::FormSource;
    else
        return false;
    printer.setPaperSource(source);
    return true;
}

namespace {

// A document on the printer: the painter with the origin moved by the
// offsets, the drawing area left on the page, pages counted.
class PrintDocument {
public:
    PrintDocument(QPrinter& printer, const PrintSetup& setup, ShellServices& shell, int kind) : printer_(printer)
    {
        if (!painter_.begin(&printer))
            return;
        ok_ = true;
        const double dpmm = printer.resolution() / 25.4;
        const QRectF paint = printer.pageLayout().paintRectPixels(printer.resolution());
        const double dx = setup.offsetLeftMm * dpmm, dy = setup.offsetTopMm * dpmm;
        painter_.translate(dx, dy);
        area_ = QRectF(0, 0, std::max(1.0, paint.width() - dx), std::max(1.0, paint.height() - dy));
        font_ = graphViewFont(shell.settings(), kind);
        painter_.setFont(font_);
        painter_.setPen(Qt::black);
    }
    ~PrintDocument() { end(); }

    bool ok() const { return ok_; }
    QPainter& painter() { return painter_; }
    const QRectF& area() const { return area_; }

    void newPage()
    {
        if (ok_ && used_) {
            printer_.newPage();
            ++pages_;
        }
        y_ = 0;
        used_ = false;
    }
    // Prints text lines from the top down, a new page when the next line
    // does not fit.  The font shrinks so that the widest line fits across.
    // At each new page onPage (when given) serves the window; false stops.
    void lines(const std::vector<std::string>& text, const std::function<bool()>& onPage = {})
    {
        if (!ok_)
            return;
        QFont f = font_;
        QFontMetricsF fm(f, &printer_);
        double widest = 0;
        for (const std::string& l : text)
            widest = std::max(widest, fm.horizontalAdvance(qs(l)));
        if (widest > area_.width()) {
            f.setPointSizeF(std::max(3.0, f.pointSizeF() * area_.width() / widest * 0.98));
            fm = QFontMetricsF(f, &printer_);
        }
        painter_.setFont(f);
        for (const std::string& l : text) {
            if (used_ && y_ + fm.height() > area_.height()) {
                if (onPage && !onPage())
                    return;
                printer_.newPage();
                ++pages_;
                y_ = 0;
            }
            painter_.drawText(QPointF(0, y_ + fm.ascent()), qs(l));
            y_ += fm.height();
            used_ = true;
        }
    }
    void markUsed() { used_ = true; }
    int end()
    {
        if (ok_ && painter_.isActive()) {
            painter_.end();
            ++pages_;
        }
        return pages_;
    }

private:
    QPrinter& printer_;
    QPainter painter_;
    QFont font_;
    QRectF area_;
    double y_ = 0;
    bool used_ = false;
    bool ok_ = false;
    int pages_ = 0;
};

std::vector<std::string> paneLines(const QString& text) { return splitPaneLines(text.toStdString()); }

ResultsPageSource pageSource(ShellServices& shell)
{
    ResultsPageSource src;
    const DataSet& d = shell.dataSet();
    const Settings& s = shell.settings();
    src.resultsPath = d.resultsPath;
    src.layout = makeResultsTableLayout(shell.initStore().resultItems(), shell.initStore().selection());
    src.blockStartHour = static_cast<int>(s.integer(66, 2));
    src.blockHours = static_cast<int>(s.integer(66, 3));
    src.intervalMinutes = d.hasMeasurementFile ? d.header.intervalMinutes : 0;
    src.title = s.value(85, 0);
    return src;
}

// Rows per printed results page (item 68 value 3); 24 when not set.
long long rowsPerPage(const Settings& s)
{
    const long long r = s.integer(68, 3);
    return r > 0 ? r : 24;
}

bool printResultsPage(PrintDocument& doc, ShellServices& shell, const RecordRange& range)
{
    ResultsPageText page;
    if (resultsPageText(pageSource(shell), range, page) != Status::Ok)
        return false;
    std::vector<std::string> all = page.heading;
    all.insert(all.end(), page.rows.begin(), page.rows.end());
    doc.lines(all);
    return true;
}

long long lastResultsRecord(ShellServices& shell)
{
    const DataSet& d = shell.dataSet();
    if (!d.hasResultsFile)
        return 0;
    return resultsRecordCount(d.resultsPath).value_or(0);
}

// The whole results file in pages aligned to the dates.
bool printResultsFile(PrintDocument& doc, ShellServices& shell)
{
    const long long last = lastResultsRecord(shell);
    if (last < 1)
        return false;
    const DataSet& d = shell.dataSet();
    std::vector<std::string> first;
    if (readResultsRecords(d.resultsPath, 1, 1, first) != Status::Ok || first.empty())
        return false;
    int interval = d.hasMeasurementFile ? d.header.intervalMinutes : 0;
    if (interval <= 0)
        interval = recordIntervalMinutes(first.front());
    const long long perDay = interval > 0 ? std::max(1, 1440 / interval) : 1;
    std::vector<std::string> leading;
    if (readResultsRecords(d.resultsPath, 1, std::min(perDay, last), leading) != Status::Ok)
        return false;
    const std::vector<RecordRange> pages = resultsFilePages(leading, rowsPerPage(shell.settings()), last, interval);
    for (const RecordRange& r : pages) {
        if (shell.stopRequested())
            break;
        doc.newPage();
        if (!printResultsPage(doc, shell, r))
            return false;
        shell.serveEvents();
    }
    return true;
}

bool drawGraph(ShellServices& shell, int kind, QPainter& painter, const QRectF& area)
{
    ViewKind* v = shell.views().find(kind);
    if (!v)
        return false;
    if (auto* g = dynamic_cast<RawGraphView*>(v))
        return g->print(shell, painter, area);
    if (auto* g = dynamic_cast<ResultsGraphView*>(v))
        return g->print(shell, painter, area);
    if (auto* g = dynamic_cast<VelocityGraphView*>(v))
        return g->print(shell, painter, area);
    if (auto* g = dynamic_cast<PowerSpectrumView*>(v))
        return g->print(shell, painter, area);
    if (auto* g = dynamic_cast<DirectionalGraphView*>(v))
        return g->print(shell, painter, area);
    return false;
}

}  // namespace

Printing::Printing(ShellServices& shell, PrintSeams seams) : shell_(shell), seams_(std::move(seams)) {}

bool Printing::printKind(QPrinter& printer, int kind, bool selection)
{
    // A second print started while pages are made (the event loop is
    // served between them) is ignored.
    if (running_)
        return false;
    running_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{running_};
    // Nothing to print makes no document (no empty page).
    DocumentWindow* w = shell_.documentWindow(kind);
    if ((kind == viewkind::kRawTable && !w) || (kind == viewkind::kResultsTable && lastResultsRecord(shell_) < 1) ||
        !shell_.views().find(kind))
        return false;
    const PrintSetup setup = printSetupFor(shell_.settings(), kind);
    PrintDocument doc(printer, setup, shell_, kind);
    if (!doc.ok())
        return false;
    bool ok = true;
    switch (kind) {
    case viewkind::kRawTable: {
        QPlainTextEdit* body = w->richTextBox1();
        if (!selection)
            body->selectAll();
        std::vector<std::string> lines;
        if (const std::string title = shell_.settings().value(85, 0); !trimBlanks(title).empty())
            lines.push_back(title);
        const std::vector<std::string> head = paneLines(w->richTextBox2()->toPlainText());
        lines.insert(lines.end(), head.begin(), head.end());
        const QString sel = body->textCursor().selectedText();
        if (!sel.isEmpty()) {
            const std::vector<std::string> more = paneLines(sel);
            lines.insert(lines.end(), more.begin(), more.end());
        }
        doc.lines(lines, [this] {
            shell_.serveEvents();
            return !shell_.stopRequested();
        });
        break;
    }
    case viewkind::kResultsTable: {
        if (!selection) {
            ok = printResultsFile(doc, shell_);
            break;
        }
        const QString sel = w ? w->richTextBox1()->textCursor().selectedText() : QString();
        const ResultsPageSource src = pageSource(shell_);
        if (codePageWidth(sel.toStdString()) < static_cast<std::size_t>(std::max(1, src.layout.bodyWidth()))) {
            const RecordRange r = resultsPageRange(shell_.dataSet().currentNumber, true, rowsPerPage(shell_.settings()),
                                                   lastResultsRecord(shell_));
            ok = r.first > 0 && printResultsPage(doc, shell_, r);
        } else {
            std::vector<std::string> lines;
            if (!trimBlanks(src.title).empty())
                lines.push_back(src.title);
            const std::vector<std::string> head = paneLines(w->richTextBox2()->toPlainText());
            const std::vector<std::string> body = paneLines(sel);
            lines.insert(lines.end(), head.begin(), head.end());
            lines.insert(lines.end(), body.begin(), body.end());
            doc.lines(lines);
        }
        if (auto* main = dynamic_cast<MDIForm1*>(&shell_))
            main->syncPanels();
        break;
    }
    default:
        shell_.runtime().setState(statebit::kStepping, false);
        ok = drawGraph(shell_, kind, doc.painter(), doc.area());
        doc.markUsed();
        break;
    }
    pages_ = doc.end();
    return ok;
}

void Printing::printActiveView()
{
    DocumentWindow* active = shell_.activeDocumentWindow();
    // While the program's window is not the active one (a scripted run, the
    // window behind another program) the document area still knows which
    // document is current.
    if (auto* main = dynamic_cast<MDIForm1*>(&shell_); !active && main)
        active = qobject_cast<DocumentWindow*>(main->mdiArea()->currentSubWindow());
    if (!active)
        return;
    const int kind = active->kind();
    if (kind == viewkind::kRawTable || kind == viewkind::kDirectionalContour) {
        if (shell_.prompter().message(loadtext::kCautionTitle, kPrintRawQuestion, MsgIcon::Warning, MsgButtons::OkCancel) !=
            MsgAnswer::Ok)
            return;
    }
    const PrintSetup setup = printSetupFor(shell_.settings(), kind);
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, setup, shell_.programFolder());
    bool selection = false;
    if (!isPdfPrinterName(setup.printerName)) {
        if (seams_.printDialog) {
            if (!seams_.printDialog(printer, &selection))
                return;
        } else {
            QPrintDialog dlg(&printer, dynamic_cast<QWidget*>(&shell_));
            dlg.setOption(QAbstractPrintDialog::PrintToFile, false);
            dlg.setOption(QAbstractPrintDialog::PrintSelection, true);
            dlg.setPrintRange(QAbstractPrintDialog::Selection);
            if (dlg.exec() != QDialog::Accepted)
                return;
            selection = printer.printRange() == QPrinter::Selection;
        }
        // The dialog may have chosen another printer: orientation again.
        printer.setPageOrientation(setup.portrait ? QPageLayout::Portrait : QPageLayout::Landscape);
    }
    shell_.runtime().stopRequest = false;  // Mend stops a long printout between pages
    shell_.setBusy(true, kPrintingText);
    printKind(printer, kind, selection);
    shell_.setBusy(false, "");
}

void Printing::printTablePage(int printerSetting)
{
    if (running_)
        return;
    const long long last = lastResultsRecord(shell_);
    if (last < 1)
        return;
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, printSetupFor(shell_.settings(), viewkind::kResultsTable), shell_.programFolder());
    if (printerSetting != 0)
        applyPrinterSetting(printer, printerSetting);
    PrintDocument doc(printer, printSetupFor(shell_.settings(), viewkind::kResultsTable), shell_,
                      viewkind::kResultsTable);
    if (!doc.ok())
        return;
    // The page that ends at the current record: the newest rows.
    const long long current = std::clamp<long long>(shell_.dataSet().currentNumber, 1, last);
    printResultsPage(doc, shell_, resultsPageRange(current, false, rowsPerPage(shell_.settings()), last));
    pages_ = doc.end();
}

void Printing::printResultsGraph()
{
    if (running_)
        return;
    QPrinter printer(QPrinter::HighResolution);
    const PrintSetup setup = printSetupFor(shell_.settings(), viewkind::kResultsGraph);
    preparePrinter(printer, setup, shell_.programFolder());
    PrintDocument doc(printer, setup, shell_, viewkind::kResultsGraph);
    if (!doc.ok())
        return;
    drawGraph(shell_, viewkind::kResultsGraph, doc.painter(), doc.area());
    doc.markUsed();
    pages_ = doc.end();
}

void Printing::printRawGraph()
{
    if (running_)
        return;
    QPrinter printer(QPrinter::HighResolution);
    const PrintSetup setup = printSetupFor(shell_.settings(), viewkind::kRawGraph);
    preparePrinter(printer, setup, shell_.programFolder());
    PrintDocument doc(printer, setup, shell_, viewkind::kRawGraph);
    if (!doc.ok())
        return;
    drawGraph(shell_, viewkind::kRawGraph, doc.painter(), doc.area());
    doc.markUsed();
    pages_ = doc.end();
}

std::shared_ptr<Printing> attachPrinting(MDIForm1& window, PrintSeams seams)
{
    auto printing = std::make_shared<Printing>(window, std::move(seams));
    window.setCommand("Mprint", [printing] { printing->printActiveView(); });
    window.schedulerJobs().printTable = [printing](int setting) { printing->printTablePage(setting); };
    window.schedulerJobs().printGraph = [printing] { printing->printResultsGraph(); };
    window.hooks().printRawGraph = [printing] { printing->printRawGraph(); };
    return printing;
}

}  // namespace varenta

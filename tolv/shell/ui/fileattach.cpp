#include "tolv/shell/ui/fileattach.h"

#include "common/fileio.h"
#include "common/format.h"
#include "common/textcodec.h"
#include "common/ui/qtutil.h"
#include "tolv/data/rawtable.h"
#include "tolv/data/tablesave.h"
#include "tolv/data/ui/documentwindow.h"
#include "tolv/data/ui/resultstableview.h"
#include "tolv/data/userfolders.h"
#include "tolv/shell/filecommands.h"
#include "tolv/shell/masteredit.h"
#include "tolv/shell/ui/mdiform1.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QPlainTextEdit>

#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace varenta {

namespace {

namespace fs = std::filesystem;

class FileCommands {
public:
    FileCommands(MDIForm1& w, FileCommandSeams seams) : w_(w), seams_(std::move(seams)) {}

    void updateDates();
    void timeEditor();
    void saveActive() { saveTable(activeKind(), true); }
    void saveAs();
    void errorRow();
    void backup(bool move);
    void resize();
    void userFolders();

    // One command at a time: the event loop served by a long rewrite must
    // not start another one on the same files.
    template <typename F>
    void guarded(F f)
    {
        if (running_)
            return;
        running_ = true;
        f();
        running_ = false;
    }

private:
    int activeKind() const
    {
        DocumentWindow* d = w_.activeDocumentWindow();
        return d ? d->kind() : -1;
    }
    Progress progress()
    {
        Progress p;
        p.poll = [this] {
            w_.serveEvents();
            return !w_.stopRequested();
        };
        return p;
    }
    void status(const std::string& text) { w_.setPanel(panel::kStatus, text); }
    void warn(const std::string& text) { w_.prompter().message(loadtext::kCautionTitle, text, MsgIcon::Warning); }
    ResultsTableView* resultsTable() const
    {
        return dynamic_cast<ResultsTableView*>(w_.views().find(viewkind::kResultsTable));
    }
    void redrawResultsGraph()
    {
        if (ViewKind* g = w_.views().find(viewkind::kResultsGraph); g && w_.documentWindow(viewkind::kResultsGraph))
            g->redraw(w_);
    }
    // The first sector's date as the questions show it.
    std::optional<MeasurementHeader> firstHeader(const std::string& path) const;
    // Both tables; allowQuiet: nothing said when there is nothing to save.
    void saveTable(int kind, bool allowQuiet);
    void saveResults();
    void saveRaw();
    std::string chooseSavePath(const std::string& preset);

    MDIForm1& w_;
    FileCommandSeams seams_;
    bool running_ = false;
};

std::optional<MeasurementHeader> FileCommands::firstHeader(const std::string& path) const
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    Sector s{};
    const bool ok = readAllAt(fd, reinterpret_cast<char*>(s.data()), s.size(), 0);
    ::close(fd);
    if (!ok || !isHeaderSector(s.data()))
        return std::nullopt;
    return readValidHeader(s.data());
}

// ---- Mdate ----
void FileCommands::updateDates()
{
    DataSet& d = w_.dataSet();
    if (!d.hasMeasurementFile || !fs::exists(d.measurementPath))
        return;
    const auto first = firstHeader(d.measurementPath);
    const ShortDate preset = first ? headerShortDate(*first) : ShortDate{10, 1, 1, 0, 0};
    InputRequest rq;
    rq.caption = edittext::kDateCaption;
    rq.message = edittext::kDateMessage;
    rq.style = InputRequest::ShowInput;
    rq.preset = shortDateText(preset);
    const InputResult res = w_.prompter().input(rq);
    if (res.cancelled())
        return;
    const auto start = parseShortDate(res.answer);
    if (!start) {
        warn(edittext::kNotADate + res.answer);
        return;
    }
    DateUpdateRequest req;
    req.measurementPath = d.measurementPath;
    req.resultsPath = d.hasResultsFile ? d.resultsPath : std::string();
    const int sectors = first ? first->sectorsPerMeasurement : d.header.sectorsPerMeasurement;
    req.sectorsPerMeasurement = std::max(1, sectors);
    ResizePlan plan;
    planResize(d.measurementPath, req.sectorsPerMeasurement, plan);
    req.lastNumber = std::max<long long>(d.latestNumber, plan.lastNumber);
    req.start = *start;
    req.intervalMinutes = first ? first->intervalMinutes : d.header.intervalMinutes;

    w_.setBusy(true, edittext::kDateBusy);
    w_.runtime().stopRequest = false;
    ResultsTableView* table = resultsTable();
    const Progress p = progress();
    const DateUpdateOutcome out = updateMeasurementDates(req, &p, [&](const DateUpdateStep& st) {
        w_.setPanel(panel::kDate, panelDateText(st.date));
        w_.setPanel(panel::kTime, panelTimeText(st.date));
        w_.setPanel(panel::kSno, std::to_string(st.number));
        if (st.recordWritten) {
            d.currentNumber = st.number;
            if (table && table->filled() && w_.documentWindow(viewkind::kResultsTable))
                table->fill(w_, st.number, fillmode::kOneLine);
        }
    });
    // The headers changed on disk: the file is scanned again and the
    // current measurement shown from it.
    w_.runtime().setState(statebit::kRawLoaded, false);
    w_.refreshFile();
    w_.redisplay();
    if (out.status == Status::Io) {
        w_.setBusy(false, out.message);
        warn(out.message);
        return;
    }
    w_.setBusy(false, edittext::kDateDone);
}

// ---- MTimeEditor ----
void FileCommands::timeEditor()
{
    DataSet& d = w_.dataSet();
    if (!d.hasMeasurementFile || !fs::exists(d.measurementPath)) {
        status(edittext::kOpenMaster);
        return;
    }
    const auto first = firstHeader(d.measurementPath);
    if (!first || first->packetKind() != kPacketKindHeader) {
        status(edittext::kOpenMaster);
        return;
    }
    if (!isContinuousRecord(*first)) {
        status(edittext::kNotContinuous);
        return;
    }
    status(edittext::kEditReady);
    auto aborted = [this] { status(edittext::kEditAborted); };
    auto ask = [this](const char* caption, const char* message, const std::string& preset, int style = 0,
                      const char* check = "") {
        InputRequest rq;
        rq.caption = caption;
        rq.message = message;
        rq.style = InputRequest::ShowInput | style;
        rq.preset = preset;
        rq.checkCaption = check;
        return w_.prompter().input(rq);
    };
    std::string lastAnswer;  // the last date as entered
    auto askDate = [&](const char* caption, const char* message, const std::string& preset, int style = 0,
                       const char* check = "", std::string* checked = nullptr) -> std::optional<ShortDate> {
        const InputResult r = ask(caption, message, preset, style, check);
        if (r.cancelled())
            return std::nullopt;
        if (checked)
            *checked = r.check;
        lastAnswer = r.answer;
        const auto date = parseShortDate(r.answer);
        if (!date)
            warn(edittext::kNotADate + r.answer);
        return date;
    };
    const auto reference = askDate(edittext::kRefCaption, edittext::kRefMessage, shortDateText(headerShortDate(*first)));
    if (!reference)
        return aborted();
    std::string endTicked = "0";
    const auto start = askDate(edittext::kStartCaption, edittext::kStartMessage, shortDateText(*reference),
                               InputRequest::ShowCheck, edittext::kEndCheck, &endTicked);
    if (!start)
        return aborted();
    const std::string enteredStart = lastAnswer;  // the new start as entered, for the confirmation
    std::optional<ShortDate> end;
    if (endTicked == "1") {
        end = askDate(edittext::kEndCaption, edittext::kEndMessage, shortDateText(*start));
        if (!end)
            return aborted();
    }
    const InputResult span = ask(edittext::kSpanCaption, edittext::kSpanMessage,
                                 std::to_string(first->durationMinutes) + "/" + std::to_string(first->intervalMinutes));
    if (span.cancelled())
        return aborted();
    const auto di = parseDurationInterval(span.answer);
    if (!di) {
        warn("測定時間／測定間隔として読めません: " + span.answer);
        return aborted();
    }
    const auto [duration, interval] = *di;
    TimeEditRequest req;
    req.sourcePath = d.measurementPath;
    req.targetPath = timeEditFileName(d.measurementPath, *start, duration, interval);
    req.reference = *reference;
    req.start = *start;
    req.end = end;
    req.duration = duration;
    req.interval = interval;

    InputRequest confirm;
    confirm.caption = edittext::kConfirmCaption;
    confirm.message = "測定時間=" + formatMask(duration, "#0") + "(分)," + "測定間隔=" + formatMask(interval, "##0") +
                      "(分)," + "測定開始時刻=" + enteredStart + "で、マスターファイル=\"" +
                      fs::path(req.targetPath).filename().string() + "\"を作成します。";
    confirm.style = 0;
    if (w_.prompter().input(confirm).cancelled())
        return aborted();

    w_.setBusy(true, edittext::kEditing);
    w_.runtime().stopRequest = false;
    const Progress p = progress();
    const TimeEditOutcome out = timeEditMasterFile(req, &p, [&](long long k, const ShortDate& date) {
        w_.setPanel(panel::kDate, panelDateText(date));
        w_.setPanel(panel::kTime, panelTimeText(date));
        w_.setPanel(panel::kSno, std::to_string(k));
    });
    if (out.status == Status::Ok) {
        w_.setBusy(false, edittext::kEditDone);
        return;
    }
    w_.setBusy(false, edittext::kEditAborted);
    if (!out.message.empty())
        warn(out.message);
}

// ---- Mmodifi ----
void FileCommands::saveTable(int kind, bool)
{
    if (kind == viewkind::kResultsTable)
        saveResults();
    else if (kind == viewkind::kRawTable)
        saveRaw();
}

void FileCommands::saveResults()
{
    ResultsTableView* view = resultsTable();
    DocumentWindow* win = w_.documentWindow(viewkind::kResultsTable);
    DataSet& d = w_.dataSet();
    if (!view || !win || !view->filled() || !d.hasResultsFile)
        return;
    const std::vector<long long> records(win->editedRows().begin(), win->editedRows().end());
    if (records.empty())
        return;
    std::vector<std::string> lines;
    const std::string text = win->richTextBox1()->toPlainText().toStdString();
    std::size_t start = 0;
    while (true) {
        const std::size_t nl = text.find('\n', start);
        lines.push_back(toCodePage(text.substr(start, nl == std::string::npos ? std::string::npos : nl - start)));
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
    w_.setBusy(true, "");
    const ResultsSaveOutcome out = saveResultsEdits(d.resultsPath, lines, view->layout(), view->blocks(), records);
    for (long long k : out.saved)
        view->fill(w_, k, fillmode::kOneLine);
    win->clearEdits();
    redrawResultsGraph();
    view->selectRecord(w_, d.currentNumber);
    w_.setBusy(false, out.status == Status::Ok ? kSaveDone : out.message);
    if (out.status != Status::Ok) {
        warn(out.message);
    } else if (!out.skipped.empty()) {
        std::string list;
        for (long long k : out.skipped)
            list += (list.empty() ? "" : ",") + std::to_string(k);
        warn("桁位置が崩れた行は保存しませんでした（測定番号 " + list + "）。");
    }
}

void FileCommands::saveRaw()
{
    DocumentWindow* win = w_.documentWindow(viewkind::kRawTable);
    DataSet& d = w_.dataSet();
    if (!win || !d.hasMeasurementFile || d.rawCounts.empty())
        return;
    w_.setBusy(true, "");
    std::string body = win->richTextBox1()->toPlainText().toStdString();
    // Pane lines end in "\n"; the export keeps CR LF.
    std::string exportText;
    exportText.reserve(body.size() + body.size() / 40);
    for (char c : body) {
        if (c == '\n')
            exportText += '\r';
        exportText += c;
    }
    writeRawTableExport(w_.programFolder() + "/" + rawTableExportName(d.filePrefix), exportText);

    RawSaveRequest rq;
    rq.measurementPath = d.measurementPath;
    rq.offset = d.headerOffset;
    rq.header = &d.header;
    rq.channels = &w_.channels();
    rq.displayed = d.displayChannels.indexes;
    rq.timeColumn = (w_.runtime().switchWord2 & switch2::kTimeColumn) != 0;
    rq.text = std::move(body);
    const Progress p = progress();
    const RawSaveOutcome out = saveRawTable(rq, &p);
    if (out.status != Status::Ok) {
        w_.setBusy(false, out.message);
        warn(out.message);
        return;
    }
    w_.setBusy(false, kSaveDone);
    win->clearEdits();
    // Read back from the file and shown again.
    w_.runtime().setState(statebit::kRawLoaded, false);
    if (w_.ensureRawData()) {
        for (int k : {viewkind::kRawTable, viewkind::kRawGraph, viewkind::kComponentGraph})
            if (ViewKind* v = w_.views().find(k); v && w_.documentWindow(k))
                v->refresh(w_, RefreshReason::Redisplay);
    }
    w_.setPanel(panel::kStatus, kSaveDone);
}

// ---- Msave ----
std::string FileCommands::chooseSavePath(const std::string& preset)
{
    if (seams_.saveDialog)
        return seams_.saveDialog(filetext::kSaveTitle, preset);
    QFileDialog dlg(&w_, QString::fromUtf8(filetext::kSaveTitle), qs(preset));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, false);
    dlg.setOption(QFileDialog::ReadOnly, false);
    dlg.setOption(QFileDialog::DontUseNativeDialog, QGuiApplication::platformName() == QLatin1String("offscreen"));
    dlg.selectFile(qs(preset));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return preset;
    return dlg.selectedFiles().front().toStdString();
}

void FileCommands::saveAs()
{
    DataSet& d = w_.dataSet();
    const int kind = activeKind();
    const bool results = kind == viewkind::kResultsTable || kind == viewkind::kResultsGraph;
    const bool raw = kind == viewkind::kRawTable || kind == viewkind::kRawGraph || kind == viewkind::kPowerSpectrum;
    const std::string preset = results ? d.resultsPath : d.measurementPath;
    const std::string chosen = chooseSavePath(preset);
    w_.setBusy(true, filetext::kSaving);
    if (raw || results) {
        std::string& current = results ? d.resultsPath : d.measurementPath;
        const bool present = results ? d.hasResultsFile : d.hasMeasurementFile;
        if (present && !chosen.empty() && !sameFileForSave(chosen, current)) {
            std::string message;
            if (copyFileWhole(current, chosen, &message) != Status::Ok) {
                w_.setBusy(false, message);
                warn(message);
                return;
            }
            current = chosen;
            if (!results)
                w_.settings().set(98, 0, chosen);
        }
        DocumentWindow* win = w_.documentWindow(results ? viewkind::kResultsTable : viewkind::kRawTable);
        if (win && win->edited())
            saveTable(results ? viewkind::kResultsTable : viewkind::kRawTable, true);
    }
    w_.setBusy(false, filetext::kSaved);
}

// ---- Mewrite ----
void FileCommands::errorRow()
{
    DataSet& d = w_.dataSet();
    if (activeKind() != viewkind::kResultsTable || !d.hasResultsFile || d.currentNumber < 1)
        return;
    const long long m = d.currentNumber;
    if (writeResultsRecord(d.resultsPath, m, w_.errorRowText()) != Status::Ok)
        return;
    ResultsTableView* view = resultsTable();
    if (view && view->filled())
        view->fill(w_, m, fillmode::kOneLine);
    redrawResultsGraph();
    if (view && view->filled())
        view->selectRecord(w_, m);
}

// ---- Mbackup, Mmove ----
void FileCommands::backup(bool move)
{
    DataSet& d = w_.dataSet();
    if (d.measurementPath.size() <= 3)
        return;
    w_.setBusy(true, move ? filetext::kMoving : filetext::kBackingUp);
    w_.serveEvents();
    BackupRequest rq;
    rq.masterPath = d.measurementPath;
    rq.programFolder = w_.programFolder();
    rq.now = w_.clock().now();
    rq.move = move;
    const BackupOutcome out = backupDataFiles(rq);
    w_.setBusy(false, "");
    if (out.status != Status::Ok) {
        status(out.message);
        warn(out.message);
        return;
    }
    if (move) {
        // The files are no longer where the data set says they are.
        w_.closeFile();
        status(std::string(filetext::kMoved) + " " + out.target);
        return;
    }
    status(filetext::kBackedUp);
}

// ---- MMfileSize ----
void FileCommands::resize()
{
    DataSet& d = w_.dataSet();
    if (!d.hasMeasurementFile)
        return;
    const std::string path = d.measurementPath;
    const auto first = firstHeader(path);
    const auto sectors = resizeSectorsFor(path, first ? first->sectorsPerMeasurement : d.header.sectorsPerMeasurement);
    if (!sectors)
        return;
    ResizePlan plan;
    if (planResize(path, *sectors, plan) != Status::Ok)
        return;
    if (!plan.canShrink) {
        w_.prompter().message(edittext::kResizeTitle, edittext::kResizeProper, MsgIcon::Information);
        return;
    }
    if (w_.prompter().message(edittext::kResizeTitle, edittext::kResizeAsk, MsgIcon::Information,
                              MsgButtons::YesNo) != MsgAnswer::Yes)
        return;
    w_.setBusy(true, std::string("0") + edittext::kResizing);
    w_.runtime().stopRequest = false;
    const Progress p = progress();
    std::string message;
    const Status st = shrinkMasterFile(path, plan, resizeStampedName(path, w_.clock().now()), &p,
                                       [this](long long bytes) {
                                           w_.setPanel(panel::kStatus, std::to_string(bytes) + edittext::kResizing);
                                       },
                                       &message);
    if (st != Status::Ok) {
        w_.setBusy(false, message);
        warn(message);
        return;
    }
    w_.refreshFile();
    w_.setBusy(false, std::to_string(plan.usedLength) + edittext::kResized);
}

// ---- Muser ----
void FileCommands::userFolders()
{
    InputRequest rq;
    rq.caption = filetext::kUserCaption;
    rq.message = filetext::kUserMessage;
    rq.style = InputRequest::ShowInput | InputRequest::ShowCheck;
    rq.preset = w_.userFolderBase();
    rq.checkCaption = filetext::kUserCheck;
    const InputResult res = w_.prompter().input(rq);
    if (res.cancelled() || res.answer.empty()) {
        status(filetext::kUserCancelled);
        return;
    }
    std::vector<std::string> entries;
    std::string message;
    if (readUserFolderTable(w_.programFolder() + "/" + kUserFolderTableName, entries, &message) != Status::Ok) {
        w_.prompter().message(loadtext::kCautionTitle, message, MsgIcon::Critical);
        status(filetext::kUserCancelled);
        return;
    }
    UserFolderRequest uq;
    uq.base = res.answer;
    uq.block = static_cast<int>(w_.settings().integer(84, 0));
    uq.count = static_cast<int>(w_.settings().integer(84, 1));
    uq.copyFiles = res.check == "1";
    uq.copyFolders = (w_.startOptions().flags & startflag::kCopyTemplates) != 0;
    uq.templateFolder = w_.programFolder() + "/UserFolder";
    w_.setBusy(true, filetext::kUserWorking + uq.base);
    const UserFolderOutcome out = createUserFolders(uq, entries, [this](const std::string& folder) {
        status(folder);
        w_.serveEvents();
    });
    if (out.status != Status::Ok) {
        w_.setBusy(false, filetext::kUserCancelled);
        w_.prompter().message(loadtext::kCautionTitle, out.message, MsgIcon::Critical);
        return;
    }
    w_.setBusy(false, filetext::kUserDone + uq.base);
}

}  // namespace

void attachFileCommands(MDIForm1& window, FileCommandSeams seams)
{
    auto cmds = std::make_shared<FileCommands>(window, std::move(seams));
    window.setCommand(QStringLiteral("Mdate"), [cmds] { cmds->guarded([&] { cmds->updateDates(); }); });
    window.setCommand(QStringLiteral("MTimeEditor"), [cmds] { cmds->guarded([&] { cmds->timeEditor(); }); });
    window.setCommand(QStringLiteral("Mmodifi"), [cmds] { cmds->guarded([&] { cmds->saveActive(); }); });
    window.setCommand(QStringLiteral("Msave"), [cmds] { cmds->guarded([&] { cmds->saveAs(); }); });
    window.setCommand(QStringLiteral("Mewrite"), [cmds] { cmds->guarded([&] { cmds->errorRow(); }); });
    window.setCommand(QStringLiteral("Mbackup"), [cmds] { cmds->guarded([&] { cmds->backup(false); }); });
    window.setCommand(QStringLiteral("Mmove"), [cmds] { cmds->guarded([&] { cmds->backup(true); }); });
    window.setCommand(QStringLiteral("MMfileSize"), [cmds] { cmds->guarded([&] { cmds->resize(); }); });
    window.setCommand(QStringLiteral("Muser"), [cmds] { cmds->guarded([&] { cmds->userFolders(); }); });
}

}  // namespace varenta

#include "tolv/publish/ui/publishing.h"

#include "common/appstate.h"
#include "common/masterfile.h"
#include "common/textfile.h"
#include "common/ui/uiprogress.h"
#include "tolv/data/docrules.h"
#include "tolv/data/resultstable.h"
#include "tolv/data/ui/documentwindow.h"
#include "common/ui/qtprocessrunner.h"
#include "tolv/shell/conditions.h"
#include "tolv/shell/ui/mdiform1.h"

#include <QDir>
#include <QPlainTextEdit>

#include <filesystem>

namespace fs = std::filesystem;

namespace varenta {

namespace {

// The graph window whose picture is "{pp}2Ng.jpg".
int pictureViewKind(int n)
{
    switch (n) {
    case 2: return viewkind::kRawGraph;
    case 3: return viewkind::kResultsGraph;
    case 4: return viewkind::kPowerSpectrum;
    case 5: return viewkind::kComponentGraph;
    case 6: return viewkind::kDirectional3d;
    case 7: return viewkind::kDirectionalContour;
    default: return -1;
    }
}

// A text pane's text with CR LF line ends.
std::string paneText(QPlainTextEdit* pane)
{
    std::string out;
    for (char c : pane->toPlainText().toStdString()) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// Folder plus a name, with the '/' the program's paths use.
std::string joinPath(const std::string& folder, const std::string& name) { return (fs::path(folder) / name).string(); }

// The results file as it stands when the pages are built.
std::string readResults(const DataSet& d)
{
    std::string bytes;
    if (d.hasResultsFile)
        readFileBytes(d.resultsPath, bytes);
    return bytes;
}

}  // namespace

Publishing::Publishing(MDIForm1& window) : QObject(&window), w_(window), runner_(std::make_unique<QtProcessRunner>()) {}

Publishing::~Publishing() = default;

Progress Publishing::progress(bool withStop)
{
    MDIForm1* w = &w_;
    return makeUiProgress([w, withStop] { return withStop && w->stopRequested(); },
                          [this, w](const std::string& t) {
                              w->setPanel(panel::kStatus, t);
                              if (onStatus)
                                  onStatus(t);
                          });
}

WebPagesInput Publishing::pageInput() const
{
    MDIForm1& w = w_;
    const DataSet& d = w.dataSet();
    const Settings& s = w.settings();
    WebPagesInput in;
    in.folder = w.programFolder();
    in.prefix = d.filePrefix;
    in.machineNumber = d.header.machineNumber;
    in.headerVersion = d.header.modelCode;
    in.rawData = d.header.packetKind() != kPacketKindResult;
    in.directional = (w.runtime().switchWord2 & switch2::kDirectional) != 0;
    for (int n = kFirstPicture; n <= kLastPicture; ++n)
        in.pictureOpen[static_cast<std::size_t>(n)] = w.documentWindow(pictureViewKind(n)) != nullptr;
    if (DocumentWindow* raw = w.documentWindow(viewkind::kRawTable)) {
        in.rawTableBody = paneText(raw->richTextBox1());
        in.rawTableHeading = paneText(raw->richTextBox2());
    }
    if (DocumentWindow* res = w.documentWindow(viewkind::kResultsTable))
        in.resultsTableBody = paneText(res->richTextBox1());
    in.excerptLines = static_cast<int>(s.integer(86, 3));
    const ResultItemTable& items = w.initStore().resultItems();
    const ResultSelection& selection = w.initStore().selection();
    in.tableLineBytes = makeResultsTableLayout(items, selection).bodyWidth();
    in.latest.current = d.currentNumber;
    in.latest.count = static_cast<int>(s.integer(96, 5));
    in.latest.webItems = threeDigitCodes(s.value(selection.item, 2));
    in.latest.items = &items;
    in.latest.selection = &selection;
    return in;
}

bool Publishing::makePages()
{
    WebPagesInput in = pageInput();
    const std::string results = readResults(w_.dataSet());
    in.latest.results = results;
    pages_ = makeWebPages(in);
    return pages_.status == Status::Ok;
}

bool Publishing::publish()
{
    if (busy_)
        return false;
    busy_ = true;
    w_.setBusy(true, pubtext::kSending);
    const DataSet& d = w_.dataSet();
    PublishRequest req;
    req.programFolder = w_.programFolder();
    req.webFolder = w_.webFolder();
    req.prefix = d.filePrefix;
    std::error_code ec;
    req.resultsFileExists = d.hasResultsFile && fs::is_regular_file(d.resultsPath, ec);
    req.upload = (w_.runtime().autoWord & autofn::kWebUpload) != 0;
    req.folderCopy = (w_.runtime().autoWord & autofn::kWebCopy) != 0;
    req.windowStyle = static_cast<int>(w_.settings().integer(96, 3));
    req.timeLimitSeconds = static_cast<int>(w_.settings().integer(69, 6));
    req.makePages = [this] {
        QDir::setCurrent(QString::fromStdString(w_.programFolder()));
        return makePages();
    };
    pages_ = {};
    published_ = publishWeb(req, *runner_, progress(false));
    w_.setBusy(false, published_.finalText);
    busy_ = false;
    return true;
}

bool Publishing::download()
{
    if (busy_)
        return false;
    busy_ = true;
    DownloadRequest req;
    req.programFolder = w_.programFolder();
    req.target = trimBlanks(w_.settings().value(83, 1));
    req.windowStyle = static_cast<int>(w_.settings().integer(96, 3));
    req.timeLimitSeconds = static_cast<int>(w_.settings().integer(69, 6));
    if (req.target.empty()) {
        downloaded_ = {};
        progress(false).say(pubtext::kDownloadFailed);
    } else {
        downloaded_ = downloadLatest(req, *runner_, progress(true));
        if (downloaded_.status == Status::Ok)
            w_.settings().set(83, 0, downloaded_.path);
    }
    busy_ = false;
    return true;
}

void Publishing::confirmAndDownload()
{
    if (w_.prompter().message(kDownloadTitle, kDownloadQuestion, MsgIcon::Warning, MsgButtons::OkCancel) !=
        MsgAnswer::Ok)
        return;
    download();
}

Publishing* attachPublishing(MDIForm1& window)
{
    auto* pub = new Publishing(window);
    window.setCommand(QStringLiteral("Mtrans"), [pub] { pub->publish(); });
    window.setCommand(QStringLiteral("DownloadLatest"), [pub] { pub->confirmAndDownload(); });
    // The automatic download of the scheduler.
    window.schedulerJobs().download = [pub] { pub->download(); };
    return pub;
}

}  // namespace varenta

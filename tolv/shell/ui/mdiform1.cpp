#include "tolv/shell/ui/mdiform1.h"

#include "common/progfolder.h"
#include "common/ui/busycursor.h"
#include "common/ui/qtutil.h"
#include "common/ui/uiprogress.h"
#include "common/ui/versionbox.h"
#include "tolv/data/docrules.h"
#include "tolv/data/ui/documentwindow.h"
#include "tolv/shell/helptopics.h"
#include "tolv/shell/shellrules.h"
#include "tolv/shell/startup.h"
#include "tolv/shell/stepping.h"
#include "tolv/shell/ui/builtinviews.h"
#include "tolv/shell/ui/commandfamilies.h"
#include "tolv/shell/ui/helpviewer.h"
#include "tolv/shell/ui/toolbaricons.h"
#include "tolv/shell/viewsettings.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdlib>

namespace varenta {

MDIForm1::MDIForm1(ShellOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)), qtPrompter_(this)
{
    setObjectName(QStringLiteral("MDIForm1"));
    folder_ = options_.programFolder.empty() ? programFolder() : options_.programFolder;
    prompter_ = options_.prompter ? options_.prompter : static_cast<Prompter*>(&qtPrompter_);
    basePrompter_ = prompter_;
    clock_ = options_.clock ? options_.clock : &appClock();
    start_ = parseStartOptions(options_.argument, folder_);
    init_ = std::make_unique<InitStore>(settings_, state_, start_, folder_);
    session_ = std::make_unique<DataSession>(settings_, state_, *init_, data_, panels_, *prompter_, *clock_);
    progress_ = makeUiProgress([this] { return state_.stopRequest; },
                               [this](const std::string& t) { setPanel(panel::kStatus, t); });
    session_->setProgress(&progress_);

    installFontSubstitutions();
    setWindowTitle(QString::fromUtf8(kIdleCaption));
    setWindowIcon(programIcon());
    buildCentral();
    buildMenus();
    buildToolbar();
    buildStatusBar();
    buildPopup();

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(300);
    connect(timer1_, &QTimer::timeout, this, &MDIForm1::timer1Tick);
    timer2_ = new QTimer(this);
    timer2_->setObjectName(QStringLiteral("Timer2"));
    timer2_->setInterval(5000);
    connect(timer2_, &QTimer::timeout, this, &MDIForm1::timer2Tick);
    timer3_ = new QTimer(this);
    timer3_->setObjectName(QStringLiteral("Timer3"));
    timer3_->setInterval(500);
    connect(timer3_, &QTimer::timeout, this, &MDIForm1::timer3Tick);
    ownClock_ = new QTimer(this);
    ownClock_->setInterval(1000);
    connect(ownClock_, &QTimer::timeout, this, [this] {
        const DateTime t = clock_->now();
        setPanel(panel::kRtime, clockText(t.hour, t.minute, t.second, false));
    });

    registerBuiltInViews(views_);
    installFileCommands(*this);
    installEditCommands(*this);
    installProcessCommands(*this);
    installWindowCommands(*this);
    installCommandRules();
    addView(nullptr);
    installDataHooks();
    updateCommandStates();
    resize(1000, 720);
}

MDIForm1::~MDIForm1()
{
    for (auto& d : docs_)
        if (d)
            d->closeForced();
}

QIcon MDIForm1::programIcon() const
{
    if (tolvUsesFolderIcon(start_.flags)) {
        const QString ico = qs(folder_ + "/" + kFolderIconName);
        if (QFileInfo::exists(ico)) {
            QIcon icon(ico);
            if (!icon.isNull() && !icon.availableSizes().isEmpty())
                return icon;
        }
    }
    return drawnProgramIcon(QChar('T'), QColor(20, 80, 150));
}

// ---------------------------------------------------------------------------
// Commands

RunOutcome MDIForm1::runCommand(const QString& name)
{
    return commands_.run(ss(name));
}

bool MDIForm1::commandAvailable(const QString& name) const { return commands_.mayRun(ss(name)); }

void MDIForm1::setCommand(const QString& name, std::function<void()> work)
{
    commands_.add(ss(name), std::move(work));
    updateCommandStates();
}

void MDIForm1::setCommandRule(const QString& name, std::function<bool()> mayRun)
{
    commands_.setRule(ss(name), std::move(mayRun));
    updateCommandStates();
}

void MDIForm1::installCommandRules()
{
    // The results views need a results file.
    for (const char* n : {"MnumR", "MgraphR"})
        commands_.setRule(n, [this] { return data_.hasResultsFile; });
}

const char* viewCommandName(int kind)
{
    switch (kind) {
    case viewkind::kRawTable: return "MnumD";
    case viewkind::kRawGraph: return "MgraphD";
    case viewkind::kResultsTable: return "MnumR";
    case viewkind::kResultsGraph: return "MgraphR";
    case viewkind::kPowerSpectrum: return "Mpower";
    case viewkind::kDirectional3d: return "Mdir3d";
    case viewkind::kComponentGraph: return "MxyGraph";
    case viewkind::kDirectionalContour: return "MdirConta";
    default: return nullptr;
    }
}

void MDIForm1::addView(std::unique_ptr<ViewKind> view)
{
    if (view)
        views_.add(std::move(view));
    for (int kind : views_.kinds())
        if (const char* n = viewCommandName(kind))
            commands_.add(n, [this, kind] { showView(kind); });
    updateCommandStates();
}

void MDIForm1::updateCommandStates()
{
    for (auto& [name, a] : actions_) {
        if (name.startsWith(QLatin1String("MP")))
            continue;
        a->setEnabled(commandAvailable(name));
    }
    for (auto& [key, b] : buttons_) {
        const QString cmd = b->property("command").toString();
        bool on = !cmd.isEmpty() && commandAvailable(cmd);
        if (key == QLatin1String("Bmodifi"))
            on = on && (state_.stateWord &
                        (statebit::viewBit(viewkind::kRawTable) | statebit::viewBit(viewkind::kResultsTable)));
        b->setEnabled(on);
    }
}

QAction* MDIForm1::action(const QString& name) const
{
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

QToolButton* MDIForm1::toolButton(const QString& key) const
{
    const auto it = buttons_.find(key);
    return it == buttons_.end() ? nullptr : it->second;
}

QLabel* MDIForm1::panelLabel(const char* key) const
{
    const auto it = panelLabels_.find(key);
    return it == panelLabels_.end() ? nullptr : it->second;
}

std::string MDIForm1::chooseOpenPath()
{
    if (options_.openDialog)
        return options_.openDialog();
    QFileDialog dlg(this, QString::fromUtf8(kOpenDialogTitle), qs(folder_), qtFileFilter(dialogFilter_));
    dlg.setObjectName(QStringLiteral("CommonDialog1"));
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setOption(QFileDialog::DontUseNativeDialog, QGuiApplication::platformName() == QLatin1String("offscreen"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return ss(dlg.selectedFiles().first());
}

void MDIForm1::openPath(const std::string& path)
{
    if (data_.isOpen() || (state_.stateWord & 0x71F00u)) {
        session_->closeDataSet();
    } else {
        panels_.mno.clear();
        panels_.sno.clear();
        panels_.date.clear();
        panels_.time.clear();
    }
    syncPanels();
    initializeAndOpen(path);
}

void MDIForm1::initializeAndOpen(const std::string& path)
{
    state_.stopRequest = false;
    session_->loadDataSet(path);
    syncPanels();
    updateScrollBar();
    updateCommandStates();
}

void MDIForm1::closeFile()
{
    session_->closeDataSet();
    syncPanels();
    updateScrollBar();
    updateCommandStates();
}

void MDIForm1::refreshFile()
{
    if (session_->refreshFile() == Status::Ok) {
        syncPanels();
        updateScrollBar();
    } else {
        syncPanels();
    }
}

void MDIForm1::showView(int kind)
{
    if (ViewKind* v = views_.find(kind)) {
        v->show(*this);
        syncPanels();
        updateCommandStates();
    }
}

void MDIForm1::showHelp(int context)
{
    const std::string page = helpTopicPage(context);
    if (!help_)
        help_ = new HelpViewer(this);
    help_->showPage(qs(helpPageFile(folder_, page)), qs(helpPageAnchor(page)));
    help_->showNormal();
    help_->raise();
}

// ---------------------------------------------------------------------------
// Loading hooks and the initialization step

void MDIForm1::installDataHooks()
{
    DataHooks h;
    h.busyPointer = [this](bool on) {
        setBusyCursor(on);
        syncPanels();  // the busy text shows while the work runs
    };
    h.beep = [this] { beep(); };
    h.caption = [this](const std::string& c) { setWindowTitle(c.empty() ? QString::fromUtf8(kIdleCaption) : qs(c)); };
    h.applyWindowSettings = [this] { applyWindowSettings(); };
    h.resultsViews = [this](bool enabled) {
        if (hooks_.resultsViews)
            hooks_.resultsViews(enabled);
        updateCommandStates();
    };
    h.fillResultsTable = [this] {
        if (ViewKind* v = views_.find(viewkind::kResultsTable))
            v->refresh(*this, RefreshReason::Loaded);
    };
    h.refreshView = [this](int kind) {
        if (ViewKind* v = views_.find(kind))
            v->refresh(*this, RefreshReason::Loaded);
        syncPanels();
    };
    h.sampleViewsClosed = [this] {
        for (int kind : {viewkind::kRawTable, viewkind::kRawGraph, viewkind::kComponentGraph}) {
            if (DocumentWindow* d = documentWindow(kind))
                d->closeForced();
            state_.setState(statebit::viewBit(kind), false);
        }
    };
    h.closeGraphWindows = [this] {
        for (int kind : {1, 3, 4, 5, 6, 7})
            if (DocumentWindow* d = documentWindow(kind))
                d->closeForced();
    };
    h.closeDocumentWindows = [this] {
        for (int kind = 0; kind < viewkind::kCount; ++kind)
            if (DocumentWindow* d = documentWindow(kind))
                d->closeForced();
    };
    h.afterLoad = [this] { afterInitialization(); };
    h.windowSnapshot = [this](bool withDocuments) { return windowSnapshot(withDocuments); };
    h.conditionSamples = [this](DataSet& d) {
        if (hooks_.conditionSamples)
            hooks_.conditionSamples(d);
    };
    session_->setHooks(std::move(h));
}

void MDIForm1::startUp()
{
    // 1-4: program folder, dialog, error row.
    if (options_.enterFolder) {
        setProgramFolder(folder_);
        enterProgramFolder();
    }
    dialogFilter_ = openDialogFilter();
    errorRow_ = errorRow();
    // 5-6: command line (parsed when the window was made) and user folders.
    setWindowIcon(programIcon());
    userBase_ = varenta::userFolderBase(start_, folder_, std::getenv("HOME"));
    // 7: the initialization with no data file.
    std::string failed;
    if (init_->load({}, *clock_, 0, &failed) != Status::Ok)
        panels_.status = std::string(loadtext::kInitFailed) + failed;
    // 8-9: the file open last; no header read yet.
    const std::string last = settings_.trimmed(98, 0);
    data_.modelCode = kModelCodeUnknown;
    // 10: the window.
    show();
    keepInsideScreen();
    startedUp_ = true;
    syncPanels();
    // 11: the initialization-and-open step.
    initializeAndOpen(last);
}

void MDIForm1::afterInitialization()
{
    // Protection state, hidden sending entry, timers, bars, menu groups.
    if (QAction* a = action(QStringLiteral("Mbarrier"))) {
        a->setEnabled(true);
        a->setChecked(state_.protection);
    }
    if (QAction* a = action(QStringLiteral("Mtrans")))
        a->setVisible(false);
    applyAutomaticTimers();
    applyBars();
    const MeasurementHeader& h = data_.header;
    const auto has = [&h](int code) {
        for (int c : h.channels)
            if (c == code)
                return true;
        return false;
    };
    int arrays = 0;
    for (int c = 48; c <= 51; ++c)
        arrays += has(c) ? 1 : 0;
    const bool directional = data_.hasMeasurementFile &&
                             (((h.findChannel(0) >= 0 || has(4)) && has(2) && has(3)) || arrays >= 3) &&
                             (views_.has(viewkind::kDirectional3d) || views_.has(viewkind::kDirectionalContour));
    for (const char* n : {"Mdir3d", "MdirConta", "MsepDir"}) {
        if (QAction* a = action(QString::fromLatin1(n)))
            a->setVisible(directional);
        else if (auto* s = findChild<QAction*>(QString::fromLatin1(n)))
            s->setVisible(directional);
    }
    if (start_.has(startflag::kSerialOutput) && hooks_.openSerialOutput)
        hooks_.openSerialOutput();
    if (hooks_.evaluateScan)
        hooks_.evaluateScan();
    updateCommandStates();
    updateViewChecks();
    syncPanels();
}

// ---------------------------------------------------------------------------
// ShellServices

const ChannelTable& MDIForm1::channels() const { return init_->channels(); }

bool MDIForm1::ensureRawData()
{
    if (!data_.hasMeasurementFile)
        return false;
    if (state_.state(statebit::kRawLoaded) && !data_.rawCounts.empty())
        return true;
    const Status st = session_->readMeasurement(data_.currentNumber, true);
    if (st != Status::Ok) {
        session_->updateSelectionPanels(true);
        syncPanels();
        return false;
    }
    return true;
}

void MDIForm1::setPanel(const char* key, const std::string& text)
{
    const std::string k = key;
    if (k == panel::kMno)
        panels_.mno = text;
    else if (k == panel::kSno)
        panels_.sno = text;
    else if (k == panel::kDno)
        panels_.dno = text;
    else if (k == panel::kDate)
        panels_.date = text;
    else if (k == panel::kTime)
        panels_.time = text;
    else if (k == panel::kStatus)
        panels_.status = text;
    if (QLabel* l = panelLabel(key))
        l->setText(qs(text));
    if (k == panel::kStatus)
        echoStatus();
}

void MDIForm1::echoStatus()
{
    if (!statusEcho_ || panels_.status == echoedStatus_)
        return;
    echoedStatus_ = panels_.status;
    if (!echoedStatus_.empty())
        statusEcho_(echoedStatus_);
}

std::string MDIForm1::panelText(const char* key) const
{
    if (QLabel* l = panelLabel(key))
        return ss(l->text());
    return {};
}

void MDIForm1::syncPanels()
{
    const std::pair<const char*, const std::string*> p[] = {
        {panel::kMno, &panels_.mno},   {panel::kSno, &panels_.sno},   {panel::kDno, &panels_.dno},
        {panel::kDate, &panels_.date}, {panel::kTime, &panels_.time}, {panel::kStatus, &panels_.status}};
    for (const auto& [key, text] : p)
        if (QLabel* l = panelLabel(key))
            l->setText(qs(*text));
    echoStatus();
}

void MDIForm1::setBusy(bool on, const std::string& message)
{
    session_->setBusy(on, message);
    syncPanels();
}

void MDIForm1::beep() { QApplication::beep(); }

bool MDIForm1::toolbarVisible() const { return !(state_.runWord & runbit::kToolbarHidden); }

void MDIForm1::selectMeasurement(long long number)
{
    if (!data_.hasMeasurementFile || state_.state(statebit::kStepping))
        return;
    session_->selectMeasurement(number, false);
    syncPanels();
    updateScrollBar();
    redisplay();
}

void MDIForm1::redisplay() { step(stepmode::kRedisplay); }

void MDIForm1::serveEvents() { uiServeEvents(); }

// ---------------------------------------------------------------------------
// Events

void MDIForm1::closeEvent(QCloseEvent* e)
{
    const bool session = qApp && qApp->isSavingSession();
    const auto q = noExitWarning_ ? std::nullopt : exitQuestion(state_.autoWord, start_.flags, session);
    if (q) {
        const MsgAnswer a = prompter_->message(q->title, q->text, MsgIcon::Critical, MsgButtons::YesNoCancel);
        if (a == MsgAnswer::No) {
            e->ignore();
            showMinimized();
            return;
        }
        if (a != MsgAnswer::Yes) {
            e->ignore();
            return;
        }
    }
    if (hooks_.toggleScan)
        hooks_.toggleScan(true);
    session_->saveSettings(true);
    timer1_->stop();
    timer2_->stop();
    timer3_->stop();
    ownClock_->stop();
    for (auto& d : docs_)
        if (d)
            d->closeForced();
    if (help_)
        help_->close();
    e->accept();
}

void MDIForm1::closeWithoutWarning()
{
    noExitWarning_ = true;
    close();
    noExitWarning_ = false;
}

void MDIForm1::changeEvent(QEvent* e)
{
    QMainWindow::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && isMinimized() && state_.state(statebit::kConditionsOpen) &&
        hooks_.closeConditions)
        hooks_.closeConditions();
}

bool MDIForm1::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::ContextMenu) {
        auto* ce = static_cast<QContextMenuEvent*>(e);
        int ctx = 0;
        if (watched == mdi_->viewport())
            ctx = helpctx::kMenu;
        else if (watched == toolbar_)
            ctx = helpctx::kToolBar;
        else if (watched == statusBar() || qobject_cast<QLabel*>(watched))
            ctx = helpctx::kToolBar;
        if (ctx) {
            showPopupMenu(popupbit::kHelp, ctx, ce->globalPos(), false);
            return true;
        }
    }
    if (e->type() == QEvent::Resize && watched == strip_) {
        const int w = strip_->width();
        hscroll_->setGeometry(0, 0, w > 240 ? w - 240 : w, strip_->height());
    }
    if (e->type() == QEvent::KeyPress) {
        if (auto* m = qobject_cast<QMenu*>(watched); m && static_cast<QKeyEvent*>(e)->key() == Qt::Key_F1) {
            QAction* a = m->activeAction();
            int ctx = a ? a->property("helpContext").toInt() : 0;
            if (!ctx)
                ctx = m->property("helpContext").toInt();
            m->close();
            showHelp(ctx ? ctx : helpctx::kOverview);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

}  // namespace varenta

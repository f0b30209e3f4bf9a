#include "tolv/publish/ui/automation.h"

#include "common/appstate.h"
#include "common/ui/uiprogress.h"
#include "tolv/data/session.h"
#include "tolv/publish/ui/publishing.h"
#include "tolv/shell/shellrules.h"
#include "tolv/shell/ui/mdiform1.h"

#include <QComboBox>
#include <QSocketNotifier>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <filesystem>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace varenta {

MsgAnswer UnattendedPrompter::message(const std::string& title, const std::string& text, MsgIcon icon,
                                      MsgButtons buttons)
{
    if (!unattended())
        return inner_.message(title, text, icon, buttons);
    log_.write(title + ": " + text);
    switch (buttons) {
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel: return MsgAnswer::Yes;
    case MsgButtons::RetryCancel: return MsgAnswer::Cancel;
    default: return MsgAnswer::Ok;
    }
}

std::string UnattendedPrompter::ask(const std::string& title, const std::string& prompt, const std::string& preset,
                                    int countdown, const std::string& checkText, bool* checked)
{
    if (!unattended())
        return inner_.ask(title, prompt, preset, countdown, checkText, checked);
    log_.write(title + ": " + prompt + " [" + preset + "]");
    return preset;
}

InputResult UnattendedPrompter::input(const InputRequest& r)
{
    if (!unattended())
        return inner_.input(r);
    return Prompter::input(r);
}

Automation::Automation(MDIForm1& window, Publishing& publishing)
    : QObject(&window), w_(window), pub_(publishing), log_(window.programFolder(), window.clock()),
      prompter_(window.prompter(), log_)
{
    window.setPrompter(&prompter_);
    publishing.onStatus = [this](const std::string& t) {
        if (prompter_.unattended())
            log_.write(t);
    };
}

void Automation::status(const std::string& text)
{
    w_.setPanel(panel::kStatus, text);
    log_.write(text);
}

void Automation::toggle(bool forceStop)
{
    if (forceStop || scanning_) {
        const bool was = scanning_;
        w_.timer2()->stop();
        // The clock stops with the scan unless a timed automatic function
        // still needs it.
        if (!(w_.runtime().autoWord & autofn::kAnyTimed))
            w_.timer3()->stop();
        scanning_ = false;
        if (button_)
            button_->setChecked(false);
        if (was || !forceStop)
            status(kScanStopped);
        return;
    }
    if (!w_.startOptions().has(startflag::kFolderInit))
        return;
    std::vector<std::string> table;
    const std::string tablePath = (fs::path(w_.programFolder()) / kUserFolderTableName).string();
    if (!w_.startOptions().has(startflag::kFileMode)) {
        if (Status s = loadUserFolderTable(tablePath, table); s != Status::Ok) {
            status(std::string(kUserFolderTableName) + ": " + statusName(s));
            return;
        }
    }
    table_ = std::move(table);
    scanner_.reset();
    const long long interval = w_.settings().integer(83, 4);
    w_.timer2()->setInterval(static_cast<int>(std::clamp<long long>(interval, 50, 86400000)));
    w_.timer2()->start();
    if (!w_.timer3()->isActive())
        w_.timer3()->start();
    scanning_ = true;
    if (button_)
        button_->setChecked(true);
    status(kScanStarted);
}

void Automation::evaluate()
{
    if (!scanning_ && w_.startOptions().has(startflag::kFolderInit) && w_.settings().integer(83, 4) > 0)
        toggle(false);
}

ScanHost Automation::host()
{
    ScanHost h;
    h.status = [this](const std::string& t) { status(t); };
    h.taking = [this](const std::string& p) { w_.settings().set(83, 0, p); };
    h.process = [this](const std::string& p) { processArrived(p); };
    h.webFolder = [this](const std::string& f) { w_.setWebFolder(f); };
    h.saveSettings = [this] { w_.session().saveSettings(true); };
    h.progress = makeUiProgress([this] { return !scanning_; }, [this](const std::string& t) { status(t); });
    return h;
}

void Automation::tick()
{
    // A transfer or a stepping run of the user is not interrupted: the scan
    // looks again at the next tick.
    if (inTick_ || pub_.transferring() || w_.runtime().state(statebit::kStepping))
        return;
    inTick_ = true;
    UnattendedPrompter::Scope unattended(prompter_);
    w_.timer2()->stop();
    const StartOptions& o = w_.startOptions();
    const std::string base = w_.userFolderBase();
    status(scanTickText(o.flags, true, base));
    uiWait(200);
    ScanConfig c;
    c.fileMode = o.has(startflag::kFileMode);
    c.base = base;
    c.skipMask = o.skipMask;
    c.block = static_cast<int>(w_.settings().integer(84, 0));
    c.blockSize = static_cast<int>(w_.settings().integer(84, 1));
    c.pattern = trimBlanks(w_.settings().value(83, 1));
    c.takeAfter = static_cast<int>(w_.settings().integer(83, 3));
    std::vector<std::string> rejected;
    const std::vector<ScanFolder> folders = scanFolders(c, table_, &rejected);
    for (const std::string& r : rejected)
        log_.write(r);
    ScanHost h = host();
    taken_ = c.pattern.empty() ? std::vector<TakeOutcome>{} : scanner_.tick(c, folders, h);
    status(scanTickText(o.flags, false, base));
    inTick_ = false;
    if (scanning_)
        w_.timer2()->start();
}

void Automation::processNewest()
{
    DataSet& d = w_.dataSet();
    if (!d.hasMeasurementFile)
        return;
    const long long n = std::max(1LL, w_.settings().integer(99, 2));
    const long long first = std::max(1LL, static_cast<long long>(d.latestNumber) - n + 1);
    w_.selectMeasurement(first);
    w_.repetitionCombo()->setEditText(QString::number(n));
    w_.runCommand(QStringLiteral("Mcalculate"));
    const std::uint32_t a = w_.runtime().autoWord;
    if (a & (autofn::kWebUpload | autofn::kWebCopy)) {
        uiWait(1000);
        pub_.publish();
        uiWait(1000);
    }
    // The automatic printing of the main window, by its switches.
    const SchedulerJobs& jobs = w_.schedulerJobs();
    if ((a & autofn::kGraphPrint) && jobs.printGraph)
        jobs.printGraph();
    if ((a & autofn::kTablePrint) && jobs.printTable)
        jobs.printTable(static_cast<int>(w_.settings().integer(68, 5)));
    w_.redisplay();
}

void Automation::processArrived(const std::string& masterPath)
{
    // Reloading the settings for the file's prefix must not lose the path
    // of the file being taken.
    const std::string taking = w_.settings().value(83, 0);
    w_.initializeAndOpen(masterPath);
    w_.settings().set(83, 0, taking);
    if (!w_.dataSet().hasMeasurementFile) {
        log_.write(masterPath + ": " + w_.panelText(panel::kStatus));
        return;
    }
    processNewest();
    log_.write(fs::path(masterPath).filename().string() + " 処理 " + std::to_string(w_.dataSet().latestNumber));
}

void Automation::autoProcessRegistered(const std::string& masterPath)
{
    const std::string path = trimBlanks(masterPath);
    if (path.empty())
        return;
    UnattendedPrompter::Scope unattended(prompter_);
    DataSet& d = w_.dataSet();
    const auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return s;
    };
    std::error_code ec;
    if (d.hasMeasurementFile && lower(d.measurementPath) != lower(path))
        w_.initializeAndOpen(path);
    else if (!d.hasMeasurementFile && fs::is_regular_file(path, ec))
        w_.initializeAndOpen(path);
    else if (d.hasMeasurementFile)
        w_.refreshFile();
    if (!w_.dataSet().hasMeasurementFile || w_.dataSet().latestNumber < 1)
        return;
    processNewest();
    w_.session().saveSettings(true);
    backup();
}

void Automation::backup()
{
    if (!w_.startOptions().has(startflag::kWeeklyBackup))
        return;
    const int day = static_cast<int>(w_.settings().integer(86, 2));
    const DateTime now = w_.clock().now();
    if (weekdayOf(now) != backup_.rememberedWeekday() && backup_.rememberedWeekday() != 0 && weekdayOf(now) == day)
        status(kBackingUp);
    const WeeklyBackup::Outcome o = backup_.run(now, day, w_.dataSet().measurementPath, w_.programFolder());
    if (o.ran)
        status(o.status == Status::Ok ? std::string(kBackupDone) : o.folder + ": " + statusName(o.status));
}

Automation* attachAutomation(MDIForm1& window, Publishing& publishing)
{
    auto* a = new Automation(window, publishing);
    auto* b = new QToolButton(window.toolbar());
    b->setObjectName(QStringLiteral("BwebScan"));
    b->setToolTip(QStringLiteral("Ｗｅｂサイトスキャンの起動・停止"));
    b->setText(QStringLiteral("Scan"));
    b->setProperty("command", QStringLiteral("ToggleWebScan"));
    b->setCheckable(true);
    b->setAutoRaise(true);
    window.toolbar()->addSeparator();
    window.toolbar()->addWidget(b);
    a->setButton(b);
    QObject::connect(b, &QToolButton::clicked, &window, [&window, b] {
        b->setChecked(!b->isChecked());  // the command decides the state
        window.runCommand(QStringLiteral("ToggleWebScan"));
    });
    window.setCommand(QStringLiteral("ToggleWebScan"), [a] { a->toggle(false); });
    window.hooks().scanTick = [a] { a->tick(); };
    window.hooks().toggleScan = [a](bool force) { a->toggle(force); };
    window.hooks().evaluateScan = [a] { a->evaluate(); };
    window.schedulerJobs().processing = [a](const std::string& p) { a->autoProcessRegistered(p); };
    // The automatic download runs unattended too (its texts are logged).
    window.schedulerJobs().download = [a, download = window.schedulerJobs().download] {
        UnattendedPrompter::Scope unattended(a->unattendedPrompter());
        if (download)
            download();
    };
    return a;
}

namespace {
int signalPipe[2] = {-1, -1};
void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(signalPipe[0], &c, 1);
}
}  // namespace

void installTerminationHandler(MDIForm1& window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto* n = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &window);
    QObject::connect(n, &QSocketNotifier::activated, &window, [&window, n] {
        char c = 0;
        [[maybe_unused]] const auto r = ::read(signalPipe[1], &c, 1);
        n->setEnabled(false);
        window.setStartFlags(window.startOptions().flags | startflag::kNoExitConfirm);
        window.close();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

}  // namespace varenta

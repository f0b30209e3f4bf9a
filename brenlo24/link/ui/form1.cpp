#include "brenlo24/link/ui/form1.h"

#include "brenlo24/link/packetdump.h"
#include "brenlo24/link/ui/qtserialport.h"
#include "common/clock.h"
#include "common/progfolder.h"
#include "common/ui/busycursor.h"
#include "common/ui/qtprompter.h"
#include "common/ui/qtutil.h"
#include "common/ui/versionbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

#include <cstdio>
#include <iostream>

namespace varenta {

namespace {

constexpr const char* kConnectPrompt = "本体とケーブル接続し、［チェック］をクリックします";
constexpr const char* kAutoCollectWarning =
    "自動データ回収中です。 終了してもよろしいですか？\r\n［はい］＝終了、［いいえ］＝最小化、［キャンセル］＝そのまま";

}  // namespace

Form1::Form1(std::string commandLine, std::unique_ptr<SerialPort> port, QWidget* parent,
             std::function<void(const std::string&)> statusEcho)
    : QMainWindow(parent), commandLine_(std::move(commandLine)), port_(std::move(port))
{
    statusEcho_ = std::move(statusEcho);
    setObjectName(QStringLiteral("Form1"));
    if (!port_)
        port_ = std::make_unique<QtSerialPort>();
    line_ = std::make_unique<SerialLine>(*port_);
    link_ = std::make_unique<DeviceLink>(*line_, *this);
    link_->setHandler(this);
    link_->setParameters([this] { return commandParameters(); });

    if (const char* path = std::getenv("BRENLO24_TRACE"); path && *path) {
        trace_.open(path, std::ios::app);
        if (trace_)
            line_->setTrace([this](char d, const std::uint8_t* p, std::size_t n) {
                trace_ << hexTraceText(d, p, n) << '\n';
                trace_.flush();
            });
    }

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(300);
    connect(timer1_, &QTimer::timeout, this, &Form1::onTimer1);
    timer2_ = new QTimer(this);
    timer2_->setObjectName(QStringLiteral("Timer2"));
    // The receive time-out must never end before the time the line needs:
    // a coarse timer may fire up to 5 % early.
    timer2_->setTimerType(Qt::PreciseTimer);
    connect(timer2_, &QTimer::timeout, this, [this] { link_->onReceiveTimeout(); });
    waker_ = new QTimer(this);
    waker_->setSingleShot(true);

    buildWindow();
    buildMenu();
    startUp(true);
    timer1_->start();
}

Form1::~Form1()
{
    timer1_->stop();
    timer2_->stop();
    link_->setHandler(nullptr);
    port_->close();
}

Prompter& Form1::prompter()
{
    if (prompter_)
        return *prompter_;
    if (!ownPrompter_)
        ownPrompter_ = std::make_unique<QtPrompter>(this);
    return *ownPrompter_;
}

// ---- window ----

bool Form1::idle() const
{
    if (link_->busy() || (link_->flags() & linkflag::kHandlerRunning) || timer2_->isActive())
        return false;
    for (const auto& busy : busyTests_)
        if (busy && busy())
            return false;
    return true;
}

void Form1::closeWithoutWarning()
{
    noExitWarning_ = true;
    close();
    noExitWarning_ = false;
}

// ---- start-up ----

void Form1::fillChannelCombos()
{
    link_->setFlags(linkflag::kHandlerRunning);  // their change events do nothing meanwhile
    channelTypes_ = loadChannelTypes(programFile("tolvf.org"));
    for (QComboBox* c : combo5_) {
        c->clear();
        for (const auto& n : channelTypes_.names)
            c->addItem(qs(n));
        c->setCurrentIndex(-1);
    }
    link_->clearFlags(linkflag::kHandlerRunning);
}

void Form1::startUp(bool firstLoad)
{
    starting_ = true;
    if (firstLoad)
        fillChannelCombos();
    hide();
    settings_ = CommSettings{};
    link_->setDumpFolder(programFolder());
    link_->setFlags(linkflag::kBusy);

    // The last known state of the logger.
    Packet last{};
    if (readPacketDump(programFile("Brenlo.tbl"), last) == Status::Ok)
        decodeStatus(last, link_->current());

    for (const auto& problem : applyCommandLine(commandLine_, settings_))
        std::cerr << "brenlo24: command line " << problem << " ignored\n";

    fileDialog_.folder = programFolder() + "/";
    fileDialog_.filter = "データファイル  (*.H10)|*.H10|設定ファイル  (*.TBL)|*.TBL|すべてのファイル (*.*)|*.*|";
    fileDialog_.filterIndex = 1;

    // The processing program's tables: the result items and the result-list
    // layout of the initialization template.
    resultItems_ = ResultItemTable{};
    if (resultItems_.load(programFile("tolvg.org")) != Status::Ok)
        std::cerr << "brenlo24: tolvg.org not read\n";
    initTable_ = Settings{};
    if (initTable_.load(programFile("tolvi.org")) == Status::Ok)
        resultLayout_ = resultListLayoutFrom(initTable_);
    else
        resultLayout_ = ResultListLayout{};

    applyOptionFlags();

    CollectionConfig cc;
    cc.folder = programFolder();
    cc.optionFlags = settings_.optionFlags;
    cc.numberField = resultLayout_.numberField;
    writer_.setConfig(cc);
    writer_.resetCounters();
    writeError_.clear();
    schedule_ = AutoCollectSchedule{};

    combo1_->setCurrentText(QStringLiteral("COM%1").arg(settings_.portNumber));
    if (combo2_->findText(QString::number(settings_.selectedSpeed)) < 0)
        combo2_->addItem(QString::number(settings_.selectedSpeed));
    combo2_->setCurrentText(QString::number(settings_.selectedSpeed));
    command1_[2]->setText(QStringLiteral("▲"));
    command1_[3]->setText(QStringLiteral("▼"));
    command1_[2]->setToolTip(QStringLiteral("表示データのページ送り"));
    command1_[3]->setToolTip(QStringLiteral("表示データのページ戻し"));
    setComboValue(combo4_[2], settings_.autoInterval);

    const int next = alignedCollectionMinutes(settings_.autoHour, settings_.autoMinute, settings_.autoInterval,
                                              appClock().now());
    setComboValue(combo4_[0], (next / 60) % 24);
    setComboValue(combo4_[1], next % 60);

    openPort();

    text4_->setText(QString::number(settings_.machineNumber));
    // A port that did not open keeps its failure text in the status line.
    if (port_->isOpen())
        showStatus(kConnectPrompt);

    refreshPanel();
    show();
    link_->clearFlags(~0u);
    starting_ = false;
}

void Form1::applyOptionFlags()
{
    const bool extended = settings_.optionFlags & optflag::kExtended;
    extendedBox_->setVisible(extended);
    modelLabel_->setVisible(extended);
    if (QAction* a = popup_->findChild<QAction*>(QStringLiteral("Pum05")))
        a->setVisible(extended);
    check3_[0]->setChecked(settings_.optionFlags & optflag::kTickAutoCollect);
    check3_[6]->setChecked(settings_.optionFlags & optflag::kTickResults);
}

// ---- the port ----

void Form1::setPortText(const std::string& text)
{
    portText_ = text;
    portLabel_->setText(qs(text));
    setWindowTitle(QStringLiteral("Brenlo24  ") + qs(text));
}

void Form1::openPort()
{
    BusyCursor busy;
    link_->setFlags(linkflag::kBusy);
    const std::string failure = "COM" + std::to_string(settings_.portNumber) + "-使用不可";
    timer2_->stop();
    if (port_->isOpen()) {
        port_->close();
        link_->pause(1000);
    }
    settings_.selectedSpeed = comboValue(combo2_, settings_.selectedSpeed);
    const int speed = settings_.selectedSpeed;
    timer2_->setInterval(receiveTimeoutMs(speed));

    const Status st = port_->open(portDevicePath(settings_.portNumber), speed);
    if (st != Status::Ok) {
        if (!port_->lastError().empty())
            std::cerr << "brenlo24: " << port_->lastError() << "\n";
        beep();
        link_->clearFlags(linkflag::kBusy);
        setPortText(failure);
        showStatus(failure);
        return;
    }
    port_->discardInput();
    link_->flushAndRearm();
    link_->setLineSpeed(speed);
    settings_.activeSpeed = speed;
    link_->clearFlags(linkflag::kBusy);
    const std::string ok = "COM" + std::to_string(settings_.portNumber) + "-" + std::to_string(speed);
    setPortText(ok);
    showStatus(ok);
}

void Form1::onPortChosen(int index)
{
    if (link_->busy())
        return;
    settings_.portNumber = index + 1;
    openPort();
}

void Form1::onSpeedChosen(int index)
{
    bool ok = false;
    const int speed = combo2_->itemText(index).toInt(&ok);
    if (!ok || speed <= 0)
        return;
    settings_.selectedSpeed = speed;
    // The logger learns the new speed from byte 47, then both sides switch.
    link_->sendCommand("02", sendmode::kPause);
    openPort();
}

// ---- LinkHost ----

void Form1::showStatus(const std::string& text)
{
    label9_[0]->setText(qs(text));
    if (statusEcho_) {
        if (!text.empty())
            statusEcho_(text);
    } else {
        std::cout << text << std::endl;
    }
}

std::string Form1::statusText() const { return ss(label9_[0]->text()); }

void Form1::beep() { QApplication::beep(); }

void Form1::showKindIndicators(int bits)
{
    for (int i = 0; i < 4; ++i)
        label1_[static_cast<std::size_t>(i)]->setText((bits >> i) & 1 ? QStringLiteral("■") : QString());
}

void Form1::repaint()
{
    for (int i = 0; i < 4; ++i)
        label1_[static_cast<std::size_t>(i)]->repaint();
}

void Form1::sleepMs(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

void Form1::serveEvents() { QCoreApplication::processEvents(); }

void Form1::waitEvents()
{
    waker_->start(50);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void Form1::startReceiveTimer(int ms)
{
    timer2_->setInterval(ms);
    timer2_->start();
}

void Form1::stopReceiveTimer() { timer2_->stop(); }

// ---- packets ----

void Form1::refreshStatus(int)
{
    // Every packet with the whole status block brings the logger's
    // channel settings.
    if (link_->current().kind & kKindHasStatus)
        showChannelTableKeepingFlags();
    refreshPanel();
}

void Form1::echoReceived(const Packet& p, bool)
{
    StatusRecord r;
    decodeStatus(p, r);
    copySettingsToStartControls(r);
    showChannelTable();
    refreshPanel();
}

void Form1::deviceInfoReceived(const Packet&) { refreshPanel(); }

// ---- commands of the window ----

// ---- collection ----

void Form1::onTimer1()
{
    const DateTime t = appClock().now();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d %02d:%02d:%02d", t.year % 100, t.month, t.day, t.hour, t.minute,
                  t.second);
    label9_[1]->setText(QString::fromLatin1(buf));
    autoCollectCheck();
}

void Form1::onHelp()
{
    // The help pages are HTML in the program folder; the file name keeps
    // the help file's stem.
    const std::string stem = settings_.helpFile.substr(0, settings_.helpFile.rfind('.'));
    const std::vector<std::string> candidates = {"help/" + stem + ".htm", "help/" + stem + ".html",
                                                 "help/index.htm", "help/index.html", settings_.helpFile};
    for (const std::string& candidate : candidates) {
        const QString path = qs(programFile(candidate));
        if (QFileInfo::exists(path)) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(path));
            return;
        }
    }
    prompter().message("ヘルプ", "ヘルプファイルがありません。\r\n" + programFile(settings_.helpFile),
                       MsgIcon::Warning);
}

void Form1::onVersion()
{
    VersionBox::showModal(this, QString::fromUtf8(kVersionText), drawnProgramIcon(QChar('B'), QColor(0, 96, 160)),
                          QStringLiteral("バージョン情報"));
}

void Form1::toggleMachineNumber()
{
    const bool to253 = text4_->text().trimmed() != QLatin1String("253");
    text4_->setText(to253 ? QStringLiteral("253") : QStringLiteral("255"));
    settings_.machineNumber = to253 ? 253 : 255;
    QPalette pal = label2_[0]->palette();
    pal.setColor(QPalette::WindowText, to253 ? colorFromNumber(128) : palette().color(QPalette::WindowText));
    label2_[0]->setPalette(pal);
}

// ---- window behaviour ----

QWidget* Form1::deviceDialog() const
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->windowTitle() == QString::fromUtf8(kDeviceDialogTitle))
            return w;
    return nullptr;
}

void Form1::closeEvent(QCloseEvent* e)
{
    if (check3_[0]->isChecked() && !noExitWarning_) {
        const MsgAnswer a =
            prompter().message("終了の警告", kAutoCollectWarning, MsgIcon::Critical, MsgButtons::YesNoCancel);
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
    if (QWidget* d = deviceDialog())
        d->close();
    timer1_->stop();
    timer2_->stop();
    port_->close();
    e->accept();
}

void Form1::changeEvent(QEvent* e)
{
    QMainWindow::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange || link_->busy() || starting_)
        return;
    QWidget* d = deviceDialog();
    if (!d)
        return;
    if (isMinimized())
        d->hide();
    else if (static_cast<QWindowStateChangeEvent*>(e)->oldState() & Qt::WindowMinimized)
        d->show();
}

void Form1::contextMenuEvent(QContextMenuEvent* e) { popup_->exec(e->globalPos()); }

bool Form1::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() == Qt::LeftButton) {
            if (watched == label2_[0]) {
                toggleMachineNumber();
                return true;
            }
            if (watched == label7_[2]) {
                setComboValue(combo3_[3], 0);
                setComboValue(combo3_[2], 0);
                return true;
            }
            if (watched == label9_[1] && windowState() == Qt::WindowNoState) {
                showMinimized();
                if (QWidget* d = deviceDialog())
                    d->close();
                return true;
            }
        }
    } else if (e->type() == QEvent::FocusIn) {
        if (auto* edit = qobject_cast<QLineEdit*>(watched))
            QTimer::singleShot(0, edit, &QLineEdit::selectAll);
    } else if (e->type() == QEvent::ContextMenu) {
        for (QGroupBox* f : frames_)
            if (watched == f) {
                popup_->exec(static_cast<QContextMenuEvent*>(e)->globalPos());
                return true;
            }
    }
    return QMainWindow::eventFilter(watched, e);
}

int Form1::comboValue(const QComboBox* c, int fallback)
{
    bool ok = false;
    const int v = c->currentText().trimmed().toInt(&ok);
    return ok ? v : fallback;
}

void Form1::setComboValue(QComboBox* c, int value)
{
    const QString t = QString::number(value);
    const int i = c->findText(t);
    if (i >= 0)
        c->setCurrentIndex(i);
    else
        c->setCurrentText(t);
}

}  // namespace varenta

#include "brenlo24/link/ui/form1.h"
#include "brenlo24/link/ui/textconversion.h"

#include "brenlo24/link/packetdump.h"
#include "brenlo24/link/ui/qtserialport.h"
#include "common/clock.h"
#include "common/progfolder.h"
#include "common/ui/busycursor.h"
#include "common/ui/qtprompter.h"
#include "common/ui/qtutil.h"
#include "common/ui/versionbox.h"

#include <QApplication>
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

QString name(const char* base, int index) { return QStringLiteral("%1_%2").arg(QLatin1String(base)).arg(index); }

QComboBox* makeCombo(QWidget* parent, const QString& objectName, const std::vector<int>& list, const QString& tip = {})
{
    auto* c = new QComboBox(parent);
    c->setObjectName(objectName);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    for (int v : list)
        c->addItem(QString::number(v));
    if (!tip.isEmpty())
        c->setToolTip(tip);
    c->setMinimumContentsLength(4);
    return c;
}

std::vector<int> range(int from, int to)
{
    std::vector<int> v;
    for (int i = from; i <= to; ++i)
        v.push_back(i);
    return v;
}

}  // namespace

Form1::Form1(std::string commandLine, std::unique_ptr<SerialPort> port, QWidget* parent)
    : QMainWindow(parent), commandLine_(std::move(commandLine)), port_(std::move(port))
{
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

QLabel* Form1::indicator(QWidget* parent, int index, const QString& caption, const QString& tip)
{
    auto* mark = new QLabel(parent);
    mark->setObjectName(name("Label1", index));
    mark->setProperty("caption", caption);
    mark->setText(QString());
    mark->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("■")) + 4);
    mark->setFrameShape(QFrame::Panel);
    mark->setFrameShadow(QFrame::Sunken);
    mark->setAlignment(Qt::AlignCenter);
    if (!tip.isEmpty())
        mark->setToolTip(tip);
    label1_[static_cast<std::size_t>(index)] = mark;
    return mark;
}

void Form1::buildWindow()
{
    setWindowTitle(QStringLiteral("Brenlo24"));
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    auto* top = new QHBoxLayout;
    outer->addLayout(top);

    auto frame = [&](int i, const QString& title) {
        auto* f = new QGroupBox(title, central);
        f->setObjectName(name("Frame", i + 1));
        f->installEventFilter(this);
        frames_[static_cast<std::size_t>(i)] = f;
        return f;
    };
    auto caption = [](QWidget* parent, const QString& text) {
        auto* l = new QLabel(text, parent);
        return l;
    };
    auto withIndicator = [&](QWidget* parent, QGridLayout* g, int row, int col, int index, const QString& cap,
                             const QString& tip = {}) {
        auto* box = new QHBoxLayout;
        box->setSpacing(2);
        box->addWidget(indicator(parent, index, cap, tip));
        auto* c = new QLabel(cap, parent);
        if (!tip.isEmpty())
            c->setToolTip(tip);
        box->addWidget(c);
        box->addStretch();
        g->addLayout(box, row, col);
    };

    // -- Frame1: the line --
    QGroupBox* f1 = frame(0, QStringLiteral("通信"));
    auto* g1 = new QGridLayout(f1);
    combo1_ = new QComboBox(f1);
    combo1_->setObjectName(QStringLiteral("Combo1"));
    combo1_->setToolTip(QStringLiteral("パソコンのCOMﾎﾟｰﾄの変更"));
    for (int i = 1; i <= kPortCount; ++i)
        combo1_->addItem(QStringLiteral("COM%1").arg(i));
    combo2_ = makeCombo(f1, QStringLiteral("Combo2"), kSpeedList, QStringLiteral("パソコンとの通信速度の変更"));
    combo2_->setEditable(false);
    g1->addWidget(caption(f1, QStringLiteral("ポート")), 0, 0);
    g1->addWidget(combo1_, 0, 1);
    g1->addWidget(caption(f1, QStringLiteral("速度")), 1, 0);
    g1->addWidget(combo2_, 1, 1);
    label2_[0] = new QLabel(QStringLiteral("機械番号"), f1);
    label2_[0]->setObjectName(name("Label2", 0));
    label2_[0]->installEventFilter(this);
    text4_ = new QLineEdit(QStringLiteral("255"), f1);
    text4_->setObjectName(QStringLiteral("Text4"));
    text4_->setToolTip(QStringLiteral(
        "機械番号の設定(通常は２５５)。プログラム起動時の、コマンドラインの３項目で指定できます"));
    text4_->setMaxLength(5);
    text4_->installEventFilter(this);
    g1->addWidget(label2_[0], 2, 0);
    g1->addWidget(text4_, 2, 1);
    portLabel_ = new QLabel(f1);
    portLabel_->setObjectName(QStringLiteral("LabelPort"));
    portLabel_->setToolTip(QStringLiteral("ポートの状態"));
    g1->addWidget(portLabel_, 3, 0, 1, 2);
    auto* fbox = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        fbox->addWidget(indicator(f1, i, QStringLiteral("F%1").arg(i)));
        fbox->addWidget(new QLabel(QStringLiteral("F%1").arg(i), f1));
    }
    fbox->addStretch();
    g1->addLayout(fbox, 4, 0, 1, 2);
    const char* c1[] = {"チェック", "装置情報"};
    for (int i = 0; i < 2; ++i) {
        command1_[static_cast<std::size_t>(i)] = new QPushButton(QString::fromUtf8(c1[i]), f1);
        command1_[static_cast<std::size_t>(i)]->setObjectName(name("Command1", i));
        g1->addWidget(command1_[static_cast<std::size_t>(i)], 5 + i, 0, 1, 2);
    }
    top->addWidget(f1);

    // -- Frame2: the measurement settings --
    QGroupBox* f2 = frame(1, QStringLiteral("測定設定"));
    auto* g2 = new QGridLayout(f2);
    const char* l7[] = {"測定時間(分)", "測定間隔(分)", "開始時刻"};
    for (int i = 0; i < 3; ++i) {
        label7_[static_cast<std::size_t>(i)] = new QLabel(QString::fromUtf8(l7[i]), f2);
        label7_[static_cast<std::size_t>(i)]->setObjectName(name("Label7", i));
        g2->addWidget(label7_[static_cast<std::size_t>(i)], i, 0);
    }
    label7_[2]->installEventFilter(this);
    label7_[2]->setToolTip(QStringLiteral("クリックで開始時刻を0:00にします"));
    combo3_[0] = makeCombo(f2, name("Combo3", 0), kDurationList, QStringLiteral("測定時間（１～６０分）の指定"));
    combo3_[1] = makeCombo(f2, name("Combo3", 1), kIntervalList, QStringLiteral("測定間隔(１～２４０分）の指定"));
    combo3_[2] = makeCombo(f2, name("Combo3", 2), range(0, 59));
    combo3_[3] = makeCombo(f2, name("Combo3", 3), range(0, 23), QStringLiteral("測定開始時刻（時）の指定"));
    g2->addWidget(combo3_[0], 0, 1, 1, 3);
    g2->addWidget(combo3_[1], 1, 1, 1, 3);
    g2->addWidget(combo3_[3], 2, 1);
    g2->addWidget(new QLabel(QStringLiteral(":"), f2), 2, 2);
    g2->addWidget(combo3_[2], 2, 3);
    const char* c1cap[] = {"1.0", "0.5", "0.2", "0.1", "上向", "固定", "XY", "静水"};
    auto* checks = new QGridLayout;
    for (int i = 0; i < 8; ++i) {
        auto* c = new QCheckBox(QString::fromUtf8(c1cap[i]), f2);
        c->setObjectName(name("Check1", i));
        check1_[static_cast<std::size_t>(i)] = c;
        checks->addWidget(c, i / 4, i % 4);
        if (i < 4)
            connect(c, &QCheckBox::toggled, this, [this, i](bool on) { onSampleBoxToggled(i, on); });
    }
    g2->addLayout(checks, 3, 0, 1, 4);
    const char* c2[] = {"測定起動", "測定停止", "初期化"};
    auto* b2 = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        command2_[static_cast<std::size_t>(i)] = new QPushButton(QString::fromUtf8(c2[i]), f2);
        command2_[static_cast<std::size_t>(i)]->setObjectName(name("Command2", i));
        b2->addWidget(command2_[static_cast<std::size_t>(i)]);
    }
    g2->addLayout(b2, 4, 0, 1, 4);
    top->addWidget(f2);

    // -- Frame3: collection --
    QGroupBox* f3 = frame(2, QStringLiteral("データ回収"));
    auto* g3 = new QGridLayout(f3);
    g3->addWidget(caption(f3, QStringLiteral("測定番号")), 0, 0);
    text2_[0] = new QLineEdit(QStringLiteral("0"), f3);
    text2_[0]->setToolTip(QStringLiteral("回収開始測定番号を指定（０は測定番号１と同じ意味）"));
    text2_[1] = new QLineEdit(QStringLiteral("0"), f3);
    text2_[1]->setToolTip(QStringLiteral("回収終了測定番号を指定（０は収録されている最後の測定番号）"));
    for (int i = 0; i < 2; ++i) {
        text2_[static_cast<std::size_t>(i)]->setObjectName(name("Text2", i));
        text2_[static_cast<std::size_t>(i)]->setMaxLength(11);
        text2_[static_cast<std::size_t>(i)]->installEventFilter(this);
    }
    g3->addWidget(text2_[0], 0, 1);
    g3->addWidget(caption(f3, QStringLiteral("～")), 0, 2);
    g3->addWidget(text2_[1], 0, 3);
    auto check3 = [&](int i, const QString& cap) {
        auto* c = new QCheckBox(cap, f3);
        c->setObjectName(name("Check3", i));
        check3_[static_cast<std::size_t>(i)] = c;
        return c;
    };
    g3->addWidget(check3(0, QStringLiteral("回収")), 1, 0);
    extendedBox_ = new QWidget(f3);
    extendedBox_->setObjectName(QStringLiteral("ExtendedControls"));
    auto* ge = new QGridLayout(extendedBox_);
    ge->setContentsMargins(0, 0, 0, 0);
    combo4_[0] = makeCombo(extendedBox_, name("Combo4", 0), range(0, 23),
                           QStringLiteral("自動データ回収開始時刻（時）。プログラム起動時のコマンドラインの６項目で指定します"));
    combo4_[1] = makeCombo(extendedBox_, name("Combo4", 1), range(0, 59));
    combo4_[2] = makeCombo(extendedBox_, name("Combo4", 2), kAutoIntervalList,
                           QStringLiteral("自動回収の繰返し間隔（分）を指定。プログラム起動時のコマンドラインの８項目で指定します"));
    ge->addWidget(combo4_[0], 0, 0);
    ge->addWidget(new QLabel(QStringLiteral(":"), extendedBox_), 0, 1);
    ge->addWidget(combo4_[1], 0, 2);
    ge->addWidget(new QLabel(QStringLiteral("毎"), extendedBox_), 0, 3);
    ge->addWidget(combo4_[2], 0, 4);
    ge->addWidget(new QLabel(QStringLiteral("分"), extendedBox_), 0, 5);
    auto* c6 = new QCheckBox(QStringLiteral("結果"), extendedBox_);
    c6->setObjectName(name("Check3", 6));
    check3_[6] = c6;
    auto* c33 = new QCheckBox(QStringLiteral("校正1"), extendedBox_);
    c33->setObjectName(name("Check3", 3));
    check3_[3] = c33;
    auto* c34 = new QCheckBox(QStringLiteral("校正2"), extendedBox_);
    c34->setObjectName(name("Check3", 4));
    check3_[4] = c34;
    ge->addWidget(c6, 1, 0, 1, 2);
    ge->addWidget(c33, 1, 2, 1, 2);
    ge->addWidget(c34, 1, 4, 1, 2);
    g3->addWidget(extendedBox_, 1, 1, 2, 3);
    const char* c3[] = {"回収開始", "回収停止", nullptr, "モニタ開始", "モニタ停止"};
    auto* b3 = new QGridLayout;
    int col = 0;
    for (int i : {0, 1, 3, 4}) {
        command3_[static_cast<std::size_t>(i)] = new QPushButton(QString::fromUtf8(c3[i]), f3);
        command3_[static_cast<std::size_t>(i)]->setObjectName(name("Command3", i));
        b3->addWidget(command3_[static_cast<std::size_t>(i)], col / 2, col % 2);
        ++col;
    }
    g3->addLayout(b3, 3, 0, 1, 4);
    top->addWidget(f3);

    // -- Frame4: the logger's status --
    QGroupBox* f4 = frame(3, QStringLiteral("本体の状態"));
    auto* g4 = new QGridLayout(f4);
    const char* l3cap[] = {nullptr, "測定番号", "日付", "時刻", "測定時間/間隔", "次回測定"};
    for (int i = 1; i <= 5; ++i) {
        g4->addWidget(caption(f4, QString::fromUtf8(l3cap[i])), i - 1, 0);
        auto* l = new QLabel(f4);
        l->setObjectName(name("Label3", i));
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000-2550")));
        label3_[static_cast<std::size_t>(i)] = l;
        g4->addWidget(l, i - 1, 1);
    }
    label3_[1]->setToolTip(QStringLiteral("測定中、又は測定終了した測定番号と機械番号.。最後の１桁は測定自動起動＝１"));
    g4->addWidget(caption(f4, QStringLiteral("SD使用率(%)")), 5, 0);
    sdLabel_ = new QLabel(f4);
    sdLabel_->setObjectName(QStringLiteral("LabelSd"));
    sdLabel_->setFrameShape(QFrame::Panel);
    sdLabel_->setFrameShadow(QFrame::Sunken);
    g4->addWidget(sdLabel_, 5, 1);
    g4->addWidget(caption(f4, QStringLiteral("電池電圧(V)")), 6, 0);
    batteryLabel_ = new QLabel(f4);
    batteryLabel_->setObjectName(QStringLiteral("LabelBattery"));
    batteryLabel_->setFrameShape(QFrame::Panel);
    batteryLabel_->setFrameShadow(QFrame::Sunken);
    g4->addWidget(batteryLabel_, 6, 1);
    modelLabel_ = new QLabel(f4);
    modelLabel_->setObjectName(QStringLiteral("LabelModel"));
    modelLabel_->setToolTip(QStringLiteral("機種番号とプログラム番号"));
    g4->addWidget(modelLabel_, 7, 0, 1, 2);

    auto* ind = new QGridLayout;
    const char* sampleCap[] = {"1.0", "0.5", "0.2", "0.1"};
    for (int i = 0; i < 4; ++i)
        withIndicator(f4, ind, 0, i, 4 + i, QString::fromUtf8(sampleCap[i]));
    const char* mountCap[] = {"Up", "Fx", "XY"};
    for (int i = 0; i < 3; ++i)
        withIndicator(f4, ind, 1, i, 8 + i, QString::fromUtf8(mountCap[i]));
    const char* stateCap[] = {"St", "Sy", "Sb", "Ms"};
    const char* stateTip[] = {"保管状態", "予備測定状態", "測定待機状態", "測定状態"};
    for (int i = 0; i < 4; ++i)
        withIndicator(f4, ind, 2, i, 11 + i, QString::fromUtf8(stateCap[i]), QString::fromUtf8(stateTip[i]));
    g4->addLayout(ind, 0, 2, 3, 4);

    auto* page = new QGridLayout;
    for (int i = 0; i < 8; ++i) {
        auto* n = new QLabel(f4);
        n->setObjectName(name("Label2", 6 + i));
        label2_[static_cast<std::size_t>(6 + i)] = n;
        auto* v = new QLabel(f4);
        v->setObjectName(name("Label3", 6 + i));
        v->setFrameShape(QFrame::Panel);
        v->setFrameShadow(QFrame::Sunken);
        v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        v->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("-32768")) + 6);
        label3_[static_cast<std::size_t>(6 + i)] = v;
        page->addWidget(n, i % 4, (i / 4) * 2);
        page->addWidget(v, i % 4, (i / 4) * 2 + 1);
    }
    for (int i = 2; i < 4; ++i) {
        command1_[static_cast<std::size_t>(i)] = new QPushButton(f4);
        command1_[static_cast<std::size_t>(i)]->setObjectName(name("Command1", i));
        command1_[static_cast<std::size_t>(i)]->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("▲")) * 3);
        page->addWidget(command1_[static_cast<std::size_t>(i)], (i - 2) * 2, 4, 2, 1);
    }
    g4->addLayout(page, 3, 2, 5, 4);

    auto* chan = new QGridLayout;
    for (int k = 0; k < 8; ++k) {
        auto* box = new QHBoxLayout;
        box->setSpacing(2);
        box->addWidget(indicator(f4, 15 + k, QStringLiteral("C%1").arg(k + 1)));
        box->addWidget(new QLabel(QStringLiteral("C%1").arg(k + 1), f4));
        auto* c = new QComboBox(f4);
        c->setObjectName(name("Combo5", k));
        c->setMinimumContentsLength(8);
        combo5_[static_cast<std::size_t>(k)] = c;
        box->addWidget(c, 1);
        chan->addLayout(box, k % 4, k / 4);
        connect(c, qOverload<int>(&QComboBox::activated), this, [this, k](int pos) { onChannelTypeChosen(k, pos); });
    }
    g4->addLayout(chan, 8, 0, 1, 6);
    outer->addWidget(f4);

    // -- status line and clock --
    auto* bottom = new QHBoxLayout;
    label9_[0] = new QLabel(central);
    label9_[0]->setObjectName(name("Label9", 0));
    label9_[0]->setFrameShape(QFrame::Panel);
    label9_[0]->setFrameShadow(QFrame::Sunken);
    label9_[1] = new QLabel(central);
    label9_[1]->setObjectName(name("Label9", 1));
    label9_[1]->setFrameShape(QFrame::Panel);
    label9_[1]->setFrameShadow(QFrame::Sunken);
    label9_[1]->setToolTip(QStringLiteral("パソコンの時刻"));
    label9_[1]->installEventFilter(this);
    bottom->addWidget(label9_[0], 1);
    bottom->addWidget(label9_[1]);
    outer->addLayout(bottom);
    setCentralWidget(central);

    // Start values of the controls.
    setComboValue(combo3_[0], 20);
    setComboValue(combo3_[1], 20);
    setComboValue(combo3_[2], 0);
    setComboValue(combo3_[3], 0);
    setComboValue(combo4_[0], 0);
    setComboValue(combo4_[1], 11);
    setComboValue(combo4_[2], 60);

    connect(combo1_, qOverload<int>(&QComboBox::activated), this, &Form1::onPortChosen);
    connect(combo2_, qOverload<int>(&QComboBox::activated), this, &Form1::onSpeedChosen);
    connect(command1_[0], &QPushButton::clicked, this, &Form1::onCheck);
    connect(command1_[1], &QPushButton::clicked, this, [this] {
        if (deviceDialogOpener_)
            deviceDialogOpener_();
    });
    command1_[1]->setEnabled(false);  // until the device-information dialog is plugged in
    connect(command2_[0], &QPushButton::clicked, this, &Form1::onStartMeasuring);
    connect(command2_[1], &QPushButton::clicked, this, &Form1::onStopMeasuring);
    connect(command2_[2], &QPushButton::clicked, this, &Form1::onInitialise);
    connect(command3_[0], &QPushButton::clicked, this, &Form1::onCollect);
    connect(command3_[1], &QPushButton::clicked, this, &Form1::onCollectStop);
    connect(command3_[3], &QPushButton::clicked, this, [this] { onMonitor(true); });
    connect(command3_[4], &QPushButton::clicked, this, [this] { onMonitor(false); });
    connect(command1_[2], &QPushButton::clicked, this, [this] { onPage(+1); });
    connect(command1_[3], &QPushButton::clicked, this, [this] { onPage(-1); });
    connect(text4_, &QLineEdit::editingFinished, this, [this] {
        bool ok = false;
        const int v = text4_->text().trimmed().toInt(&ok);
        if (ok && v >= 0)
            settings_.machineNumber = v;
    });
}

void Form1::buildMenu()
{
    popup_ = new QMenu(this);
    popup_->setObjectName(QStringLiteral("Popup"));
    auto add = [&](const char* object, const char* text) {
        QAction* a = popup_->addAction(QString::fromUtf8(text));
        a->setObjectName(QString::fromUtf8(object));
        return a;
    };
    connect(add("Pinit", "アプリケーションの初期化"), &QAction::triggered, this, [this] { startUp(false); });
    connect(add("Mtext", "テキストデータファイルに変換"), &QAction::triggered, this, &Form1::onTextConversion);
    QAction* um05 = add("Pum05", "UM05モニタ");
    // The modem console is a separate window that plugs in here; until it
    // is present its entry is inactive.
    um05->setEnabled(false);
    popup_->addSeparator();
    connect(add("Phelp", "ヘルプ"), &QAction::triggered, this, &Form1::onHelp);
    connect(add("Pver", "バージョン情報"), &QAction::triggered, this, &Form1::onVersion);
    popup_->addSeparator();
    connect(add("Pend", "アプリケーションの終了"), &QAction::triggered, this, &QWidget::close);
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
    std::cout << text << std::endl;
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

void Form1::copySettingsToStartControls(const StatusRecord& r)
{
    setComboValue(combo3_[0], r.durationMinutes);
    setComboValue(combo3_[1], r.intervalMinutes);
    setComboValue(combo3_[2], r.nextMinute);
    setComboValue(combo3_[3], r.nextHour);
    const int code = r.measureFlags & 3;
    for (int i = 0; i < 4; ++i) {
        QSignalBlocker block(check1_[static_cast<std::size_t>(i)]);
        check1_[static_cast<std::size_t>(i)]->setChecked(i == code);
    }
    check1_[4]->setChecked(r.measureFlags & 0x80);
    check1_[5]->setChecked(r.measureFlags & 0x40);
    check1_[6]->setChecked(r.measureFlags & 0x20);
}

void Form1::showChannelTable() { showChannelTableKeepingFlags(); }

void Form1::showChannelTableKeepingFlags()
{
    const StatusRecord& r = link_->current();
    channels_.setSlots(r.channelSlots);
    // The combos' change events do nothing meanwhile; the flag is left as
    // it was (the receiver may be running).
    const bool wasRunning = link_->flags() & linkflag::kHandlerRunning;
    link_->setFlags(linkflag::kHandlerRunning);
    for (int k = 0; k < 8; ++k) {
        const int pos = ChannelTypes::positionFor(channels_.slotValues[static_cast<std::size_t>(k)]);
        QComboBox* c = combo5_[static_cast<std::size_t>(k)];
        c->setCurrentIndex(pos >= 0 && pos < c->count() ? pos : -1);
    }
    if (!wasRunning)
        link_->clearFlags(linkflag::kHandlerRunning);
}

void Form1::refreshPanel()
{
    const StatusRecord& r = link_->current();
    // The value boxes hold samples only for echo and monitor packets: after
    // a device-information packet, and while the record is still the one
    // read from "Brenlo.tbl" at start-up, they show "-----".
    const bool info = packetKindNibble(static_cast<std::uint8_t>(link_->lastReceivedKind())) == kKindDeviceInfo ||
                      packetKindNibble(static_cast<std::uint8_t>(r.kind)) == kKindDeviceInfo;
    if (!r.valid) {
        for (int i = 1; i <= 13; ++i)
            label3_[static_cast<std::size_t>(i)]->clear();
        sdLabel_->clear();
        batteryLabel_->clear();
        return;
    }
    const StatusPanel p = statusPanelFor(r, settings_.pageOffset, info);
    label3_[1]->setText(qs(p.number));
    label3_[2]->setText(qs(p.date));
    label3_[3]->setText(qs(p.time));
    label3_[4]->setText(qs(p.schedule));
    label3_[5]->setText(qs(p.next));
    sdLabel_->setText(qs(p.sdUsage));
    batteryLabel_->setText(qs(p.battery));
    modelLabel_->setText(QStringLiteral("機種 %1  P%2").arg(r.modelCode()).arg(r.word90));
    for (int i = 0; i < 8; ++i) {
        label2_[static_cast<std::size_t>(6 + i)]->setText(qs(p.valueNumbers[static_cast<std::size_t>(i)]));
        label3_[static_cast<std::size_t>(6 + i)]->setText(qs(p.values[static_cast<std::size_t>(i)]));
    }
    for (int i = 4; i < 23; ++i) {
        const bool on = (p.indicators >> (i - 4)) & 1u;
        label1_[static_cast<std::size_t>(i)]->setText(on ? QStringLiteral("■") : QString());
    }
}

// ---- commands of the window ----

CommandParameters Form1::commandParameters() const
{
    CommandParameters p;
    bool ok = false;
    const int machine = text4_->text().trimmed().toInt(&ok);
    p.machineNumber = ok ? machine : settings_.machineNumber;
    p.durationMinutes = comboValue(combo3_[0], 20);
    p.intervalMinutes = comboValue(combo3_[1], 20);
    p.startMinute = comboValue(combo3_[2], 0);
    p.startHour = comboValue(combo3_[3], 0);
    for (std::size_t i = 0; i < 8; ++i)
        p.flagBoxes[i] = check1_[i]->isChecked();
    p.firstNumber = static_cast<std::int32_t>(text2_[0]->text().trimmed().toLongLong());
    p.lastNumber = static_cast<std::int32_t>(text2_[1]->text().trimmed().toLongLong());
    p.selectedSpeed = settings_.selectedSpeed;
    p.channelSlots = channels_.slotValues;
    return p;
}

DeviceCommands Form1::deviceCommands()
{
    return DeviceCommands(
        prompter(), [this](std::string_view code, int mode) { return link_->sendCommand(code, mode); },
        [this](const std::string& t) { showStatus(t); });
}

CommandInputs Form1::commandInputs() const
{
    CommandInputs in;
    in.optionFlags = settings_.optionFlags;
    in.resultsBox = check3_[6]->isChecked();
    in.calFlag1 = check3_[3]->isChecked();
    in.calFlag2 = check3_[4]->isChecked();
    return in;
}

void Form1::onCheck() { deviceCommands().check(); }

void Form1::onStartMeasuring() { deviceCommands().startMeasuring(link_->current()); }

void Form1::onStopMeasuring() { deviceCommands().stopMeasuring(); }

void Form1::onInitialise()
{
    if (!deviceCommands().initialise().sent())
        return;
    // The logger restarts at its own speed setting: the selected speed goes
    // back into the list and the port is opened again.
    if (combo2_->findText(QString::number(settings_.selectedSpeed)) < 0)
        combo2_->addItem(QString::number(settings_.selectedSpeed));
    combo2_->setCurrentText(QString::number(settings_.selectedSpeed));
    openPort();
}

void Form1::onCollect()
{
    // The range travels in bytes 32-39 from Text2(0) and (1).
    writeError_.clear();
    deviceCommands().collect(commandInputs());
}

void Form1::onCollectStop()
{
    // The next data, header or result packet is stored but not
    // acknowledged; the logger stops and the time-out ends the run.
    link_->requestStop();
}

void Form1::onMonitor(bool start)
{
    const CommandInputs in = commandInputs();
    if (start)
        deviceCommands().monitorStart(in);
    else
        deviceCommands().monitorStop(in);
}

void Form1::setDeviceDialogOpener(std::function<void()> open)
{
    deviceDialogOpener_ = std::move(open);
    command1_[1]->setEnabled(static_cast<bool>(deviceDialogOpener_));
}

// ---- collection ----

Status Form1::storePacket(const Packet& p, const StatusRecord& current)
{
    const Status st = writer_.store(p, current.modelCode(), lastStore_);
    if (st != Status::Ok) {
        // Not on disk: the error stays in the status line, the packet is
        // not acknowledged and the logger sends it again.
        writeError_ = lastStore_.error;
        showStatus(lastStore_.error);
        return st;
    }
    switch (lastStore_.what) {
    case StoreOutcome::What::ResultSector:
        refreshPanel();
        break;
    case StoreOutcome::What::ResultLine:
        refreshPanel();
        label3_[1]->setText(qs(lastStore_.panelNumber));
        label3_[2]->setText(qs(lastStore_.panelDate));
        label3_[3]->setText(qs(lastStore_.panelTime));
        break;
    default:
        break;
    }
    return Status::Ok;
}

void Form1::receiveTimedOut(bool collected)
{
    // A run in which the disk refused a packet says so beside the end text.
    if (!writeError_.empty()) {
        showStatus(std::string(collected ? linktext::kCollectionDone : linktext::kReceiveTimeout) + "  " +
                   writeError_);
        writeError_.clear();
    }
}

void Form1::autoCollectCheck()
{
    schedule_.hour = comboValue(combo4_[0], schedule_.hour);
    schedule_.minute = comboValue(combo4_[1], schedule_.minute);
    schedule_.interval = comboValue(combo4_[2], schedule_.interval);
    const AutoCollectTick t = varenta::autoCollectCheck(schedule_, appClock().now(), settings_.optionFlags,
                                                        check3_[0]->isChecked(), check3_[6]->isChecked(),
                                                        settings_.autoFirstNumber);
    if (!t.due)
        return;
    setComboValue(combo4_[0], schedule_.hour);
    setComboValue(combo4_[1], schedule_.minute);
    if (!t.send)
        return;
    text2_[0]->setText(QString::number(t.firstNumber));
    text2_[1]->setText(QString::number(t.lastNumber));
    writeError_.clear();
    link_->sendCommand(t.code, sendmode::kArmTimeout);
}

NewestSearch Form1::searchNewestMeasurement(const std::string& path)
{
    BusyCursor busy;
    link_->clearFlags(linkflag::kStopRequested);
    Progress progress;
    progress.poll = [this] {
        QCoreApplication::processEvents();
        return !(link_->flags() & linkflag::kStopRequested);
    };
    progress.text = [this](const std::string& t) { showStatus(t); };
    HeaderDecodeOptions opt;
    if (!initTable_.isBlank(96, 4) && initTable_.real(96, 4) > 0)
        opt.intervalSeconds = initTable_.real(96, 4);
    const NewestSearch r = findNewestMeasurement(path, -1, progress, opt);
    if (!r.finalText.empty())
        showStatus(r.finalText);
    return r;
}

void Form1::onTextConversion()
{
    // "desc|pattern|desc|pattern|" as the file dialog's filters.
    QStringList filters;
    const QStringList parts = qs(fileDialog_.filter).split(QLatin1Char('|'), Qt::SkipEmptyParts);
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << QStringLiteral("%1 (%2)").arg(parts[i].trimmed(), parts[i + 1]);
    QString selected = filters.value(fileDialog_.filterIndex - 1);
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("テキストデータファイルに変換"),
                                                      qs(fileDialog_.folder), filters.join(QStringLiteral(";;")),
                                                      &selected);
    if (path.isEmpty())
        return;
    const NewestSearch found = searchNewestMeasurement(ss(path));
    if (found.found && textConverter_)
        textConverter_(ss(path), found);
    else if (found.found)
        convertCollectedFileToText(*this, ss(path), found);
}

void Form1::onPage(int step)
{
    settings_.pageOffset = step > 0 ? pageUp(settings_.pageOffset) : pageDown(settings_.pageOffset);
    refreshPanel();
}

void Form1::onChannelTypeChosen(int k, int position)
{
    if (link_->flags() & linkflag::kHandlerRunning)
        return;
    channels_.setSlot(k, channelTypes_.slotFor(position));
}

void Form1::onSampleBoxToggled(int k, bool on)
{
    if (!on)
        return;
    for (int i = 0; i < 4; ++i)
        if (i != k) {
            QSignalBlocker block(check1_[static_cast<std::size_t>(i)]);
            check1_[static_cast<std::size_t>(i)]->setChecked(false);
        }
}

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
    if (check3_[0]->isChecked()) {
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

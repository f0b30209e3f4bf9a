// The communication program's main window as built: the four frames with
// their controls, the status panel, the status line and the popup menu.
// Every button and popup entry runs its command through the command table.
#include "brenlo24/link/ui/form1.h"

#include "common/progfolder.h"
#include "common/ui/busycursor.h"
#include "common/ui/qtutil.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace varenta {

namespace {

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
    // Every button runs its command through the command table.
    addCommand(command1_[0], [this] { onCheck(); });
    addCommand(command1_[1], [this] {
        if (deviceDialogOpener_)
            deviceDialogOpener_();
    });
    command1_[1]->setEnabled(false);  // until the device-information dialog is plugged in
    addCommand(command2_[0], [this] { onStartMeasuring(); });
    addCommand(command2_[1], [this] { onStopMeasuring(); });
    addCommand(command2_[2], [this] { onInitialise(); });
    addCommand(command3_[0], [this] { onCollect(); });
    addCommand(command3_[1], [this] { onCollectStop(); });
    addCommand(command3_[3], [this] { onMonitor(true); });
    addCommand(command3_[4], [this] { onMonitor(false); });
    addCommand(command1_[2], [this] { onPage(+1); });
    addCommand(command1_[3], [this] { onPage(-1); });
    connect(text4_, &QLineEdit::editingFinished, this, [this] {
        bool ok = false;
        const int v = text4_->text().trimmed().toInt(&ok);
        if (ok && v >= 0)
            settings_.machineNumber = v;
    });
}

void Form1::addCommand(QAbstractButton* button, std::function<void()> work)
{
    const std::string name = ss(button->objectName());
    const QPointer<QAbstractButton> b(button);
    commands_.add(name, std::move(work), [b] { return b && b->isEnabled(); });
    connect(button, &QAbstractButton::clicked, this, [this, name] { commands_.run(name); });
}

void Form1::addCommand(QAction* action, std::function<void()> work)
{
    const std::string name = ss(action->objectName());
    const QPointer<QAction> a(action);
    commands_.add(name, std::move(work), [a] { return a && a->isEnabled(); });
    connect(action, &QAction::triggered, this, [this, name] { commands_.run(name); });
}

void Form1::setCommand(QAction* action, std::function<void()> work, std::function<bool()> mayRun)
{
    const std::string name = ss(action->objectName());
    if (!commands_.has(name))
        addCommand(action, std::move(work));
    else
        commands_.add(name, std::move(work));
    if (mayRun)
        commands_.setRule(name, std::move(mayRun));
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
    addCommand(add("Pinit", "アプリケーションの初期化"), [this] { startUp(false); });
    addCommand(add("Mtext", "テキストデータファイルに変換"), [this] { onTextConversion(); });
    QAction* um05 = add("Pum05", "UM05モニタ");
    // The modem console is a separate window that plugs in here; until it
    // is present its entry is inactive.
    um05->setEnabled(false);
    popup_->addSeparator();
    addCommand(add("Phelp", "ヘルプ"), [this] { onHelp(); });
    addCommand(add("Pver", "バージョン情報"), [this] { onVersion(); });
    popup_->addSeparator();
    addCommand(add("Pend", "アプリケーションの終了"), [this] { close(); });
}

}  // namespace varenta

#include "tolv/shell/ui/form3.h"

#include "common/ui/qtutil.h"
#include "tolv/shell/resulttables.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace varenta {

namespace {

constexpr const char* kPinTip = "このウィンドウを、手前に置く";
constexpr const char* kTableFrameCaption = "処理結果表のフォーマット";
constexpr const char* kRecordFrameCaption = "処理結果ファイルのフォーマット";
constexpr const char* kFileFilter =
    "データファイル  (*.H10 *.TMP *.h10 *.tmp);;設定ファイル  (*.TBL *.tbl);;すべてのファイル (*)";
constexpr const char* kWebFileFilter = "Ｗｅｂファイル (*.tmp *.TMP *.h10 *.H10);;すべてのファイル (*)";
constexpr const char* kTablesSaved = "処理結果項目ファイルを保存しました";
constexpr const char* kNoRecordItems = "処理結果ファイルの項目がありません。";
constexpr const char* kCannotWrite = "を書き込めません。";
constexpr const char* kNoDownload = "ダウンロードを実行できません";

QString u(const char* s) { return QString::fromUtf8(s); }

// Full-width digits for the lane labels.
QString laneDigit(int i) { return QString(QChar(0xFF11 + i)); }

QIcon pinIcon()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(70, 70, 70), 1.4));
    p.drawLine(QPointF(4.5, 11.5), QPointF(1.5, 14.5));  // the needle
    QPainterPath head;
    head.moveTo(5, 11);
    head.lineTo(11, 5);
    head.lineTo(13.5, 7.5);
    head.lineTo(7.5, 13.5);
    head.closeSubpath();
    p.setBrush(QColor(200, 40, 40));
    p.drawPath(head);
    p.setBrush(QColor(230, 90, 90));
    p.drawEllipse(QPointF(12, 4), 3, 3);
    return QIcon(pm);
}

QString listText(const ResultItemTable& items, int code) { return qs(itemListEntry(items, code)); }

}  // namespace

Form3::Form3(ConditionsHost& host, Prompter& prompter, QWidget* parent) : QDialog(parent), host_(host), prompter_(prompter)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(u(kForm3Caption));
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    chooseFile = [this](const QString& title, const QString& filter) {
        return ss(QFileDialog::getOpenFileName(this, title, QStringLiteral("."), filter));
    };
    chooseColour = [this](const QColor& current) -> std::optional<QColor> {
        const QColor c = QColorDialog::getColor(current, this);
        if (!c.isValid())
            return std::nullopt;
        return c;
    };
    build();
    connectEdits();
    tabChanged(0);
}

Form3::~Form3() = default;

// ---------------------------------------------------------------------------
// Building

QGroupBox* Form3::frame(const QString& caption, int tab)
{
    auto* g = new QGroupBox(caption);
    g->setObjectName(QStringLiteral("Frame1_%1").arg(frames_.size()));
    frames_.emplace_back(g, tab);
    auto* pin = new QToolButton(g);
    pin->setObjectName(QStringLiteral("Image1_%1").arg(pins_.size()));
    pin->setToolTip(u(kPinTip));
    pin->setIcon(pinIcon());
    pin->setCheckable(true);
    pin->setAutoRaise(true);
    pin->setFixedSize(18, 18);
    connect(pin, &QToolButton::toggled, this, [this](bool on) { setAlwaysOnTop(on); });
    pins_.push_back(pin);
    return g;
}

// The pin sits in the frame's top right corner, inside the layout's margin.
static void placePin(QGroupBox* g, QLayout* layout)
{
    if (auto* pin = g->findChild<QToolButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        auto* top = new QHBoxLayout;
        top->setContentsMargins(0, 0, 0, 0);
        top->addStretch(1);
        top->addWidget(pin);
        auto* outer = new QVBoxLayout(g);
        outer->setContentsMargins(8, 2, 8, 8);
        outer->setSpacing(2);
        outer->addLayout(top);
        outer->addLayout(layout);
    }
}

QLineEdit* Form3::text1(int index, const char* tooltip, int width)
{
    auto* e = new QLineEdit;
    e->setObjectName(QStringLiteral("Text1_%1").arg(index));
    e->setToolTip(u(tooltip));
    if (width > 0)
        e->setFixedWidth(width);
    return e;
}

QCheckBox* Form3::check(const char* name, const char* caption, const char* tooltip)
{
    auto* c = new QCheckBox(u(caption));
    c->setObjectName(u(name));
    c->setToolTip(u(tooltip));
    return c;
}

QComboBox* Form3::combo(const char* name, bool editable, const char* tooltip, int width)
{
    auto* c = new QComboBox;
    c->setObjectName(u(name));
    c->setEditable(editable);
    c->setToolTip(u(tooltip));
    c->setMaxVisibleItems(20);
    if (width > 0)
        c->setFixedWidth(width);
    return c;
}

QLabel* Form3::colourLabel(const char* name, const QString& caption, const char* tooltip)
{
    auto* l = new QLabel(caption);
    l->setObjectName(u(name));
    l->setToolTip(u(tooltip));
    l->setAlignment(Qt::AlignCenter);
    l->setFixedSize(26, 22);
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    l->setAutoFillBackground(true);
    l->setCursor(Qt::PointingHandCursor);
    l->installEventFilter(this);
    return l;
}

QPushButton* Form3::button(const char* name, const char* caption, const char* tooltip)
{
    auto* b = new QPushButton(u(caption));
    b->setObjectName(u(name));
    b->setToolTip(u(tooltip));
    b->setAutoDefault(false);
    return b;
}

void Form3::build()
{
    auto* top = new QVBoxLayout(this);
    tabs_ = new QTabWidget;
    tabs_->setObjectName(QStringLiteral("SSTab1"));
    tabs_->addTab(buildTab0(), u("処理条件"));
    tabs_->addTab(buildTab1(), u("表"));
    tabs_->addTab(buildTab2(), u("グラフ"));
    tabs_->addTab(buildTab3(), u("自動処理"));
    tabs_->addTab(buildTab4(), u("Ｗｅｂ"));
    connect(tabs_, &QTabWidget::currentChanged, this, &Form3::tabChanged);
    top->addWidget(tabs_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    command1_ = button("Command1", "更新(&N)", "条件の設定変更を更新する");
    command0_ = button("Command0", "&OK", "条件の設定変更を更新後、このウィンドーを非表示にする");
    command1_->setEnabled(false);
    connect(command1_, &QPushButton::clicked, this, &Form3::applyUpdate);
    connect(command0_, &QPushButton::clicked, this, [this] {
        applyUpdate();
        close();
    });
    buttons->addWidget(command1_);
    buttons->addWidget(command0_);
    top->addLayout(buttons);
}

QWidget* Form3::buildTab0()
{
    auto* page = new QWidget;
    auto* row = new QHBoxLayout(page);

    QGroupBox* g = frame(u("処理の条件"), 0);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    int r = 0;
    const auto label = [&grid, &r](const char* text) { grid->addWidget(new QLabel(u(text)), r, 0); };
    const auto tilde = [] {
        auto* l = new QLabel(u("～"));
        l->setAlignment(Qt::AlignCenter);
        return l;
    };
    label("長周期波の制限周期(s)");
    grid->addWidget(text1(10, "長周期波フィルターの下（短い）限周期"), r, 1);
    grid->addWidget(tilde(), r, 2);
    grid->addWidget(text1(11, "長周期波フィルターの上（長い）限周期"), r++, 3);
    label("スペクトルのフィルター回数");
    grid->addWidget(text1(31, "ＦＦＴ後のフィルターの繰返し実行回数(１０～２０)"), r++, 1);
    label("スペクトルのデータ数");
    grid->addWidget(text1(30, "パワースペクトル処理時のデータ数。０は全てのデータ"), r++, 1);
    label("ノイズフィルター回数");
    grid->addWidget(text1(29, "ノイズフィルターの繰返し実行回数(1～5)"), r++, 1);
    label("ノイズフィルターレベル");
    grid->addWidget(text1(28, "ノイズフィルターレベル(10～50)、小さい値で、ﾌｨﾙﾀｰ効果が強くなる"), r++, 1);
    label("真北と磁北の偏角(゜)");
    grid->addWidget(text1(15, "真北と磁北の偏角を逆時計回りの角度で指定"), r++, 1);
    label("流速のｾﾞﾛ補正値(m/s)");
    QLineEdit* n = text1(14, "N成分流速のゼロ補正値(m/s リードオンリー)");
    QLineEdit* e = text1(13, "E成分流速のゼロ補正値(m/s　リードオンリー)");
    n->setReadOnly(true);
    e->setReadOnly(true);
    grid->addWidget(n, r, 1);
    grid->addWidget(e, r++, 3);
    label("水位補正値(m)");
    grid->addWidget(text1(4, "水位 = 水深 - 水位補正値"), r++, 1);
    grid->addWidget(check("Check1_0", "流速値の座標変換", "流速の座標変換の有無の指定"), r++, 0, 1, 4);
    label("波向算出限界波高");
    grid->addWidget(text1(1, "波高の静穏値､波向、方向スペクトルを計算するための、最低有義波高値"), r++, 1);
    label("主波向の範囲(゜)");
    grid->addWidget(text1(2, "海岸線に、うちよせる波の、方位範囲の、始めの値"), r, 1);
    grid->addWidget(tilde(), r, 2);
    grid->addWidget(text1(3, "海岸線に、うちよせる波の、方位範囲の、終わりの値"), r++, 3);
    label("水圧計の海底からの高さ(m)");
    grid->addWidget(text1(0, "水圧計の海底からの高さ(m)"), r++, 1);
    label("理論係数の限界値");
    grid->addWidget(text1(6, "水圧波高から表面波高への換算時の理論係数の限界値（通常＝１２）"), r++, 1);
    auto* checks = new QHBoxLayout;
    checks->addWidget(check("Check1_5", "方向スペクトル", "ＯＮで方向スペクトルの処理と描画を実行する"));
    checks->addWidget(check("Check1_6", "超音波", "ＯＦＦで方向スペクトル処理から超音波水位のデータを省く"));
    checks->addWidget(check("Check1_12", "本体優先", "処理条件は本体の設定値を優先して使用する"));
    checks->addWidget(check("Check1_13", "波浪統計を計算する",
                            "ＯＮで、生データから波浪・流れ・気象の統計を計算して、処理結果ファイルに書き込む"));
    checks->addStretch(1);
    grid->addLayout(checks, r++, 0, 1, 4);
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(r, 1);
    placePin(g, grid);
    row->addWidget(g, 3);

    QGroupBox* h = frame(u("ヘッダー情報"), 0);
    auto* hl = new QVBoxLayout;
    text3_ = new QPlainTextEdit;
    text3_->setObjectName(QStringLiteral("Text3"));
    text3_->setReadOnly(true);
    text3_->setToolTip(u("各測定のヘッダー部の情報を表示する"));
    text3_->setLineWrapMode(QPlainTextEdit::NoWrap);
    hl->addWidget(text3_);
    placePin(h, hl);
    row->addWidget(h, 2);
    return page;
}

QWidget* Form3::buildTab1()
{
    auto* page = new QWidget;
    auto* outer = new QVBoxLayout(page);
    tableFrame_ = frame(u(kTableFrameCaption), 1);
    auto* v = new QVBoxLayout;

    auto* lists = new QHBoxLayout;
    lists_[0] = new QListWidget;
    lists_[0]->setObjectName(QStringLiteral("List1_0"));
    lists_[0]->setToolTip(u("処理結果表の表示（印刷）項目を指定します。上が表の左端"));
    lists_[1] = new QListWidget;
    lists_[1]->setObjectName(QStringLiteral("List1_1"));
    lists_[1]->setToolTip(u("処理結果６４項目です。この中から選択して表示します。"));
    auto* col = new QVBoxLayout;
    col->addStretch(1);
    struct B {
        int index;
        const char* caption;
        const char* tip;
    };
    const B bs[] = {
        {0, "追加\n ← ", "右の選択項目を左の選択位置の上に挿入"},
        {1, "置換\n←→", "右の選択項目と左の選択項目の入れ換え"},
        {2, "削除\n → ", "左の選択項目の削除"},
        {3, "空白\n ← ", "左の選択項目の上に空白の挿入"},
        {5, "ｸﾘｱ", "項目のクリア"},
    };
    for (const B& b : bs) {
        const QByteArray name = QStringLiteral("Command2_%1").arg(b.index).toUtf8();
        QPushButton* p = button(name.constData(), b.caption, b.tip);
        p->setFixedWidth(64);
        if (b.index != 5)
            p->setMinimumHeight(44);
        connect(p, &QPushButton::clicked, this, [this, i = b.index] { listButton(i); });
        col->addWidget(p);
    }
    col->addStretch(1);
    lists->addWidget(lists_[0], 1);
    lists->addLayout(col);
    lists->addWidget(lists_[1], 1);
    v->addLayout(lists, 1);

    auto* options = new QHBoxLayout;
    recordMode_ = check("Check1_9", "処理結果ファイル", "処理結果ファイルの６４項目の編集（変更後は再実行が必要）");
    connect(recordMode_, &QCheckBox::toggled, this, &Form3::recordModeToggled);
    saveButton_ = button("Command2_4", "保存", "処理結果項目ファイルの保存");
    connect(saveButton_, &QPushButton::clicked, this, &Form3::saveTables);
    options->addWidget(recordMode_);
    options->addWidget(saveButton_);
    options->addSpacing(16);
    options->addWidget(check("Check1_7", "波高は超音波式の値を優先", "表示波高は、超音波式の値を優先する"));
    options->addStretch(1);
    v->addLayout(options);

    auto* blanks = new QHBoxLayout;
    blanks->addWidget(text1(16, "空白行を挿入する、基準時刻", 40));
    blanks->addWidget(new QLabel(u("時を基準に、")));
    blanks->addWidget(text1(17, "空白行を挿入する、間隔", 40));
    blanks->addWidget(new QLabel(u("時間毎に空白行を挿入")));
    blanks->addStretch(1);
    v->addLayout(blanks);
    placePin(tableFrame_, v);
    outer->addWidget(tableFrame_);
    return page;
}

QWidget* Form3::buildTab2()
{
    auto* page = new QWidget;
    auto* row = new QHBoxLayout(page);

    // Raw data graph.
    QGroupBox* raw = frame(u("生データグラフの設定"), 2);
    auto* rg = new QGridLayout;
    rg->setHorizontalSpacing(6);
    rg->setVerticalSpacing(3);
    for (int i = 0; i < 8; ++i) {
        const QByteArray showTip = u("ＯＮでチャンネル%1を表示、ＯＦＦで非表示").arg(laneDigit(i)).toUtf8();
        const QByteArray itemTip = u("チャンネル%1に表示する生データ項目の選択").arg(laneDigit(i)).toUtf8();
        const QByteArray scaleTip = u("チャンネル%1のY軸フルスケール").arg(laneDigit(i)).toUtf8();
        const QByteArray colourTip = u("ﾁｬﾝﾈﾙ%1の色の選択").arg(i + 1).toUtf8();
        const QByteArray labelName = QStringLiteral("Label4_%1").arg(i).toUtf8();
        const QByteArray checkName = QStringLiteral("Check3_%1").arg(i).toUtf8();
        const QByteArray laneName = QStringLiteral("Combo2_%1").arg(i).toUtf8();
        const QByteArray scaleName = QStringLiteral("Combo4_%1").arg(i).toUtf8();
        rg->addWidget(colourLabel(labelName.constData(), laneDigit(i), colourTip.constData()), i, 0);
        rg->addWidget(check(checkName.constData(), "表示", showTip.constData()), i, 1);
        lanes_[static_cast<std::size_t>(i)] = combo(laneName.constData(), false, itemTip.constData(), 150);
        rg->addWidget(lanes_[static_cast<std::size_t>(i)], i, 2);
        rg->addWidget(combo(scaleName.constData(), true, scaleTip.constData(), 80), i, 3);
    }
    auto* span = new QHBoxLayout;
    span->addWidget(new QLabel(u("X軸ｽｹｰﾙ：測定時間(分)")));
    span->addWidget(combo("Combo4_8", true, "グラフの左端から、右端までの測定時間", 80));
    span->addStretch(1);
    rg->addLayout(span, 8, 0, 1, 4);
    auto* rawChecks = new QGridLayout;
    rawChecks->addWidget(check("Check3_8", "重ねて", "グラフを重ねて表示"), 0, 0);
    rawChecks->addWidget(check("Check3_9", "連動", "各チャンネルの、フルスケールを指定値に合わせる"), 0, 1);
    rawChecks->addWidget(check("Check3_10", "自動", "ONでフルスケールを自動的に計算する"), 0, 2);
    rawChecks->addWidget(check("Check3_11", "ベクトル", "流速をベクトル表示する"), 1, 0);
    rawChecks->addWidget(check("Check3_12", "長周期", "長周期フィルター後の波形を表示"), 1, 1);
    rg->addLayout(rawChecks, 9, 0, 1, 4);
    rg->setRowStretch(10, 1);
    placePin(raw, rg);
    row->addWidget(raw);

    // Results graph.
    QGroupBox* res = frame(u("処理結果グラフの設定"), 2);
    auto* sg = new QGridLayout;
    sg->setHorizontalSpacing(6);
    sg->setVerticalSpacing(3);
    for (int i = 0; i < 8; ++i) {
        const QByteArray colourName = QStringLiteral("Label3_%1").arg(i).toUtf8();
        const QByteArray codeName = QStringLiteral("Combo3_%1").arg(i).toUtf8();
        const QByteArray lowName = QStringLiteral("Combo3_%1").arg(8 + i).toUtf8();
        const QByteArray highName = QStringLiteral("Combo3_%1").arg(16 + i).toUtf8();
        const QByteArray lowTip = u("チャンネル%1のグラフの下限値").arg(laneDigit(i)).toUtf8();
        const QByteArray highTip = u("チャンネル%1のグラフの上限値").arg(laneDigit(i)).toUtf8();
        const QByteArray codeTip = u("チャンネル%1に表示する処理結果項目の選択").arg(laneDigit(i)).toUtf8();
        sg->addWidget(colourLabel(colourName.constData(), laneDigit(i), "色の選択"), i, 0);
        sg->addWidget(combo(codeName.constData(), false, codeTip.constData(), 170), i, 1);
        sg->addWidget(combo(lowName.constData(), true, lowTip.constData(), 72), i, 2);
        sg->addWidget(combo(highName.constData(), true, highTip.constData(), 72), i, 3);
    }
    auto* scales = new QHBoxLayout;
    scales->addWidget(new QLabel(u("X軸ｽｹｰﾙ(日)")));
    scales->addWidget(combo("Combo3_24", true, "グラフの左端から、右端までの測定日数", 64));
    scales->addSpacing(8);
    scales->addWidget(new QLabel(u("X目盛数")));
    scales->addWidget(combo("Combo3_25", true, "グラフのX軸の目盛線の本数", 64));
    scales->addStretch(1);
    sg->addLayout(scales, 8, 0, 1, 4);
    auto* resChecks = new QHBoxLayout;
    resChecks->addWidget(check("Check4_0", "ﾏｰｸ", "グラフの、プロット点にマークを入れる"));
    resChecks->addWidget(check("Check4_1", "数値", "グラフの、プロット点に値を入れる"));
    resChecks->addWidget(check("Check4_2", "自動", "ONで上限、下限値を自動的に計算する"));
    resChecks->addSpacing(8);
    resChecks->addWidget(colourLabel("Label3_8", QStringLiteral("D1"), "色の選択"));
    resChecks->addSpacing(4);
    resChecks->addWidget(colourLabel("Label3_9", QStringLiteral("D2"), "色の選択"));
    resChecks->addStretch(1);
    sg->addLayout(resChecks, 9, 0, 1, 4);
    sg->setRowStretch(10, 1);
    placePin(res, sg);
    row->addWidget(res);
    return page;
}

QWidget* Form3::buildTab3()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    const auto timeRow = [this](QGridLayout* g, int r, const char* label, int hour, const char* hourTip, int minute,
                                const char* minuteTip) {
        g->addWidget(new QLabel(u(label)), r, 0);
        auto* h = new QHBoxLayout;
        h->addWidget(text1(hour, hourTip, 40));
        h->addWidget(new QLabel(u("：")));
        h->addWidget(text1(minute, minuteTip, 40));
        h->addStretch(1);
        g->addLayout(h, r, 1);
    };

    // Automatic processing.
    QGroupBox* ap = frame(u("自動処理の設定"), 3);
    auto* apg = new QGridLayout;
    apg->setHorizontalSpacing(10);
    apg->addWidget(check("Check1_8", "自動バックアップ",
                         "指定日（既定値：月曜）にデータファイルを自動的にバックアップします。"),
                   0, 0, 1, 2);
    apg->addWidget(check("Check1_3", "自動処理", "ONで、自動処理を実行する"), 1, 0, 1, 2);
    timeRow(apg, 2, "次の処理時刻", 22, "次の処理時刻(時)の設定", 23, "次の処理時刻（分）の設定");
    apg->addWidget(new QLabel(u("処理間隔(分)")), 3, 0);
    apg->addWidget(text1(24, "自動処理の間隔", 56), 3, 1);
    apg->setColumnStretch(1, 1);
    apg->setRowStretch(4, 1);
    placePin(ap, apg);
    grid->addWidget(ap, 0, 0);

    // Files to process.
    QGroupBox* pf = frame(u("処理ファイル"), 3);
    auto* pfg = new QGridLayout;
    pfg->setHorizontalSpacing(10);
    pfg->addWidget(new QLabel(u("Ｗｅｂファイル")), 0, 0);
    text2_ = new QLineEdit;
    text2_->setObjectName(QStringLiteral("Text2"));
    text2_->setToolTip(u("サーバからダウンロード（コピー）しているファイル名（nrxxxm.tmp又はnrxxxr.tmp）を表示、又は指定する"));
    pfg->addWidget(text2_, 0, 1);
    QPushButton* webBrowse = button("Command3_1", "ﾌｧｲﾙの参照", "");
    connect(webBrowse, &QPushButton::clicked, this, &Form3::browseWebFile);
    pfg->addWidget(webBrowse, 0, 2);
    pfg->addWidget(new QLabel(u("マスターファイル")), 1, 0);
    combo1_ = combo("Combo1", false,
                    "自動処理するマスターファイルを登録する。登録済みのファイルを再度指定すると削除される。"
                    "ファイルの順番を変更した場合は、プログラムを再実行してください。",
                    0);
    combo1_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo1_->setMinimumContentsLength(16);
    pfg->addWidget(combo1_, 1, 1);
    QPushButton* masterBrowse = button("Command3_0", "ﾌｧｲﾙの参照", "");
    connect(masterBrowse, &QPushButton::clicked, this, &Form3::browseMasterFile);
    pfg->addWidget(masterBrowse, 1, 2);
    pfg->setColumnStretch(1, 1);
    pfg->setRowStretch(2, 1);
    placePin(pf, pfg);
    grid->addWidget(pf, 0, 1);

    // Automatic printing.
    QGroupBox* pr = frame(u("自動印刷の設定"), 3);
    auto* prg = new QGridLayout;
    prg->setHorizontalSpacing(10);
    prg->addWidget(check("Check1_2", "グラフの印刷", "グラフの自動印刷のＯＮ／ＯＦＦ"), 0, 0, 1, 2);
    prg->addWidget(check("Check1_1", "表の印刷", "表の自動印刷のＯＮ／ＯＦＦ"), 1, 0, 1, 2);
    timeRow(prg, 2, "次の印刷時刻", 19, "次の印刷時刻(時)の設定", 20, "次の印刷時刻（分）の設定");
    prg->addWidget(new QLabel(u("印刷間隔(分)")), 3, 0);
    prg->addWidget(text1(21, "自動印刷の間隔", 56), 3, 1);
    prg->setColumnStretch(1, 1);
    prg->setRowStretch(4, 1);
    placePin(pr, prg);
    grid->addWidget(pr, 1, 0);

    // Print format.
    QGroupBox* pm = frame(u("印刷フォーマット"), 3);
    auto* pmg = new QGridLayout;
    pmg->setHorizontalSpacing(10);
    pmg->addWidget(new QLabel(u("見出しの文章")), 0, 0);
    pmg->addWidget(text1(5, "表やグラフの、見出しの文章", 0), 0, 1, 1, 3);
    pmg->addWidget(new QLabel(u("1ページ当たりの測定回数")), 1, 0);
    pmg->addWidget(text1(18, "表の1ページ当たりの印刷量", 56), 1, 1);
    pmg->addWidget(new QLabel(u("印刷用紙の指定")), 2, 0);
    auto* paper = new QGridLayout;
    paper->setHorizontalSpacing(10);
    paper->addWidget(new QLabel(u("表")), 0, 0);
    paper->addWidget(check("Check2_0", "縦", "用紙を縦にして表を印刷"), 0, 1);
    paper->addWidget(check("Check2_1", "横", "用紙を横にして表を印刷"), 0, 2);
    paper->addWidget(new QLabel(u("グラフ")), 1, 0);
    paper->addWidget(check("Check5_0", "縦", "用紙を縦にしてグラフを印刷"), 1, 1);
    paper->addWidget(check("Check5_1", "横", "用紙を横にしてグラフを印刷"), 1, 2);
    paper->setColumnStretch(3, 1);
    pmg->addLayout(paper, 2, 1, 1, 3);
    pmg->setColumnStretch(3, 1);
    pmg->setRowStretch(3, 1);
    placePin(pm, pmg);
    grid->addWidget(pm, 1, 1);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 3);
    return page;
}

QWidget* Form3::buildTab4()
{
    auto* page = new QWidget;
    auto* outer = new QVBoxLayout(page);

    QGroupBox* web = frame(u("Webページのフォーマット"), 4);
    auto* v = new QVBoxLayout;
    auto* top = new QHBoxLayout;
    top->addWidget(check("Check1_11", "コピー", "ONで、処理終了後、ＷｅｂページをＷｅｂサイトに、コピーして更新する"));
    top->addWidget(check("Check1_4", "アップロード", "ONで、処理終了後、ＦＴＰを使用して、Ｗｅｂサイトを更新する"));
    top->addSpacing(16);
    top->addWidget(new QLabel(u("過去、")));
    top->addWidget(text1(12, "この測定回数分の結果を、Webに表示する", 48));
    top->addWidget(new QLabel(u("測定分を表示する")));
    top->addStretch(1);
    v->addLayout(top);
    auto* lists = new QHBoxLayout;
    lists_[2] = new QListWidget;
    lists_[2]->setObjectName(QStringLiteral("List1_2"));
    lists_[2]->setToolTip(u("Ｗｅｂページの表示項目を指定します。"));
    lists_[3] = new QListWidget;
    lists_[3]->setObjectName(QStringLiteral("List1_3"));
    lists_[3]->setToolTip(u("処理結果６４項目です。この中から選択して表示します。"));
    auto* col = new QVBoxLayout;
    col->addStretch(1);
    const struct {
        int index;
        const char* caption;
        const char* tip;
    } bs[] = {
        {6, "追加\n ← ", "右の選択項目を左の選択位置の上に挿入"},
        {7, "置換\n←→", "右の選択項目と左の選択項目の入れ換え"},
        {8, "削除\n → ", "左の選択項目の削除"},
    };
    for (const auto& b : bs) {
        const QByteArray name = QStringLiteral("Command2_%1").arg(b.index).toUtf8();
        QPushButton* p = button(name.constData(), b.caption, b.tip);
        p->setFixedWidth(64);
        p->setMinimumHeight(44);
        connect(p, &QPushButton::clicked, this, [this, i = b.index] { listButton(i); });
        col->addWidget(p);
    }
    col->addStretch(1);
    lists->addWidget(lists_[2], 1);
    lists->addLayout(col);
    lists->addWidget(lists_[3], 1);
    v->addLayout(lists, 1);
    placePin(web, v);
    outer->addWidget(web, 1);

    QGroupBox* dl = frame(u("ダウンロードの設定"), 4);
    auto* dg = new QGridLayout;
    dg->setHorizontalSpacing(10);
    dg->addWidget(check("Check1_10", "自動ダウンロード", "ＯＮでＦＴＰサーバのファイルを自動的に、ＦＴＰでダウンロードする"),
                  0, 0, 1, 2);
    dg->addWidget(new QLabel(u("次のダウンロード時刻")), 1, 0);
    auto* t = new QHBoxLayout;
    t->addWidget(text1(7, "次のダウンロード時刻(時)の設定", 40));
    t->addWidget(new QLabel(u("：")));
    t->addWidget(text1(8, "次のダウンロード時刻（分）の設定", 40));
    t->addStretch(1);
    dg->addLayout(t, 1, 1);
    dg->addWidget(new QLabel(u("ダウンロード間隔(分)")), 2, 0);
    dg->addWidget(text1(9, "ファイルのダウンロードの間隔（分）", 56), 2, 1);
    QPushButton* now = button("Command2_9", "手動実行", "tolvd.txtをftp.exeのバッチコマンドとして実行する");
    connect(now, &QPushButton::clicked, this, &Form3::manualDownload);
    dg->addWidget(now, 1, 2, 2, 1, Qt::AlignRight | Qt::AlignVCenter);
    dg->setColumnStretch(1, 1);
    placePin(dl, dg);
    outer->addWidget(dl);
    return page;
}

void Form3::connectEdits()
{
    for (const ControlBinding& b : conditionBindings()) {
        const QString name = u(b.name);
        QWidget* w = named(name);
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            connect(e, &QLineEdit::textChanged, this, [this, name] { edited(name); });
        } else if (auto* c = qobject_cast<QCheckBox*>(w)) {
            connect(c, &QCheckBox::toggled, this, [this, name] { edited(name); });
        } else if (auto* cb = qobject_cast<QComboBox*>(w)) {
            if (cb->isEditable())
                connect(cb, &QComboBox::currentTextChanged, this, [this, name] { edited(name); });
            else
                connect(cb, &QComboBox::currentIndexChanged, this, [this, name] { edited(name); });
        }
    }
    connect(text2_, &QLineEdit::textChanged, this, [this] { edited(QStringLiteral("Text2")); });
    for (int i = 0; i < 8; ++i)
        connect(lanes_[static_cast<std::size_t>(i)], &QComboBox::currentIndexChanged, this,
                [this, i](int index) { laneChanged(i, index); });
    const auto pair = [this](const char* first, const char* second) {
        auto* a = findChild<QCheckBox*>(u(first));
        auto* b = findChild<QCheckBox*>(u(second));
        connect(a, &QCheckBox::toggled, this, [this, first, second](bool on) { exclusivePair(first, second, on); });
        connect(b, &QCheckBox::toggled, this, [this, first, second](bool on) { exclusivePair(first, second, !on); });
    };
    pair("Check2_0", "Check2_1");
    pair("Check5_0", "Check5_1");
}

QWidget* Form3::named(const QString& name) const { return findChild<QWidget*>(name); }

// ---------------------------------------------------------------------------
// Edits and marks

void Form3::edited(const QString& name)
{
    if (filling_ || host_.runtime().state(statebit::kStepping))
        return;
    marks_ |= marksFor(ss(name));
    edited_ = true;
    command1_->setEnabled(true);
}

void Form3::exclusivePair(const char* first, const char* second, bool firstTicked)
{
    auto* a = findChild<QCheckBox*>(u(first));
    auto* b = findChild<QCheckBox*>(u(second));
    const QSignalBlocker ba(a);
    const QSignalBlocker bb(b);
    a->setChecked(firstTicked);
    b->setChecked(!firstTicked);
    edited(u(first));
}

void Form3::laneChanged(int lane, int index)
{
    if (filling_ || host_.runtime().state(statebit::kStepping) || index < 0)
        return;
    host_.setLaneChannel(lane, index);
    edited(QStringLiteral("Combo2_%1").arg(lane));
}

void Form3::tabChanged(int index)
{
    for (const auto& [frame, tab] : frames_)
        frame->setEnabled(tab == index);
    if (index >= 0 && index < static_cast<int>(kConditionsTabHelp.size()))
        helpContext_ = kConditionsTabHelp[static_cast<std::size_t>(index)];
}

void Form3::setAlwaysOnTop(bool on)
{
    onTop_ = on;
    for (QToolButton* p : pins_) {
        const QSignalBlocker block(p);
        p->setChecked(on);
    }
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible)
        show();
}

// ---------------------------------------------------------------------------
// Filling

void Form3::openConditions()
{
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    fill();
    host_.runtime().setState(statebit::kConditionsOpen, true);
    show();
    raise();
    activateWindow();
}

void Form3::fill()
{
    filling_ = true;
    const bool recordEdit = (host_.startFlags() & kRecordItemsEditFlag) != 0;
    if (!recordEdit)
        recordMode_->setChecked(false);
    recordMode_->setVisible(recordEdit);
    saveButton_->setVisible(recordEdit);
    fillValueLists();
    form_ = readConditions(host_.settings(), host_.runtime(), host_.startFlags(), host_.selectionItem());
    showForm(form_);
    fillLaneCombos();
    setHeaderText(host_.headerInformation());
    filling_ = false;
    marks_ = 0;
    edited_ = false;
    command1_->setEnabled(false);
}

void Form3::fillValueLists()
{
    const Settings& s = host_.settings();
    const auto fillCombo = [this](const QString& name, const std::vector<std::string>& entries) {
        if (auto* c = findChild<QComboBox*>(name)) {
            c->clear();
            for (const std::string& e : entries)
                c->addItem(qs(e));
        }
    };
    const std::vector<std::string> fullScales = fixedWidthEntries(s.value(65, 2), 4);
    const std::vector<std::string> limits = fixedWidthEntries(s.value(65, 1), 5);
    for (int i = 0; i < 8; ++i) {
        fillCombo(QStringLiteral("Combo4_%1").arg(i), fullScales);
        fillCombo(QStringLiteral("Combo3_%1").arg(8 + i), limits);
        fillCombo(QStringLiteral("Combo3_%1").arg(16 + i), limits);
    }
    fillCombo(QStringLiteral("Combo4_8"), fixedWidthEntries(s.value(65, 4), 4));
    fillCombo(QStringLiteral("Combo3_24"), fixedWidthEntries(s.value(65, 3), 4));
    fillCombo(QStringLiteral("Combo3_25"), fixedWidthEntries(s.value(65, 5), 4));

    // The results-graph item boxes: every code in order, so that the list
    // position is the code.
    const ResultItemTable& items = host_.resultItems();
    QStringList names;
    for (int code = 0; code <= items.count(); ++code)
        names << qs(itemShortName(items, code));
    for (int i = 0; i < 8; ++i)
        if (auto* c = findChild<QComboBox*>(QStringLiteral("Combo3_%1").arg(i))) {
            c->clear();
            c->addItems(names);
        }
}

void Form3::fillLaneCombos()
{
    const std::vector<std::string> names = host_.laneChannelNames();
    const Settings& s = host_.settings();
    for (int i = 0; i < 8; ++i) {
        QComboBox* c = lanes_[static_cast<std::size_t>(i)];
        const QSignalBlocker block(c);
        c->clear();
        for (const std::string& n : names)
            c->addItem(qs(n));
        const int index = static_cast<int>(s.integer(kLaneChannelItem, i));
        // A channel the open file does not have keeps its number on show.
        while (index >= 0 && c->count() <= index && index < 64)
            c->addItem(QString::number(c->count() + 1));
        c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
    }
}

std::vector<int>& Form3::leftCodes() { return recordMode_->isChecked() ? form_.recordCodes : form_.tableCodes; }

void Form3::showLeftList()
{
    const ResultItemTable& items = host_.resultItems();
    QListWidget* l = lists_[0];
    l->clear();
    for (int code : leftCodes()) {
        auto* it = new QListWidgetItem(listText(items, code));
        it->setData(Qt::UserRole, code);
        l->addItem(it);
    }
    tableFrame_->setTitle(u(recordMode_->isChecked() ? kRecordFrameCaption : kTableFrameCaption));
}

void Form3::fillRightLists()
{
    const ResultItemTable& items = host_.resultItems();
    const auto fill = [&items](QListWidget* l, const std::vector<int>& codes) {
        l->clear();
        for (int code : codes) {
            auto* it = new QListWidgetItem(listText(items, code));
            it->setData(Qt::UserRole, code);
            l->addItem(it);
        }
    };
    // In the results-file mode every defined item can be chosen; otherwise
    // the 64 items the results file holds.
    if (recordMode_->isChecked()) {
        std::vector<int> all;
        for (int code = 0; code <= items.count(); ++code)
            if (items.defined(code))
                all.push_back(code);
        fill(lists_[1], all);
    } else {
        fill(lists_[1], form_.recordCodes);
    }
    fill(lists_[3], form_.recordCodes);
}

void Form3::fillItemLists()
{
    showLeftList();
    fillRightLists();
    const ResultItemTable& items = host_.resultItems();
    QListWidget* web = lists_[2];
    web->clear();
    for (int code : form_.webCodes) {
        auto* it = new QListWidgetItem(listText(items, code));
        it->setData(Qt::UserRole, code);
        web->addItem(it);
    }
}

void Form3::fillMasterFiles()
{
    const QSignalBlocker block(combo1_);
    combo1_->clear();
    for (const std::string& f : form_.masterFiles)
        combo1_->addItem(qs(f));
    combo1_->setCurrentIndex(combo1_->count() > 0 ? 0 : -1);
}

void Form3::setColour(QLabel* label, long long number)
{
    label->setProperty("colourNumber", QString::number(number));
    const QColor c = colorFromNumber(number);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, c);
    pal.setColor(QPalette::Window, Qt::white);
    label->setPalette(pal);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
}

void Form3::showForm(const ConditionsForm& f)
{
    const bool wasFilling = filling_;
    filling_ = true;
    for (const ControlBinding& b : conditionBindings()) {
        QWidget* w = named(u(b.name));
        const QString v = qs(f.value(b.name));
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            e->setText(v);
        } else if (auto* c = qobject_cast<QCheckBox*>(w)) {
            c->setChecked(v == QLatin1String("1"));
        } else if (auto* cb = qobject_cast<QComboBox*>(w)) {
            if (b.kind == ControlKind::ItemCode) {
                const int code = v.trimmed().isEmpty() ? -1 : v.toInt();
                cb->setCurrentIndex(code >= 0 && code < cb->count() ? code : -1);
            } else {
                cb->setCurrentText(v);
            }
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            if (b.kind == ControlKind::Colour)
                setColour(l, static_cast<long long>(textToInt(ss(v))));
        }
    }
    for (const char* n : {"Check2_1", "Check5_1"})
        if (auto* c = findChild<QCheckBox*>(u(n)))
            c->setChecked(f.checked(n));
    text2_->setText(qs(f.webFile));
    fillItemLists();
    fillMasterFiles();
    filling_ = wasFilling;
}

ConditionsForm Form3::currentForm() const
{
    ConditionsForm f = form_;
    for (const ControlBinding& b : conditionBindings()) {
        QWidget* w = named(u(b.name));
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            f.set(b.name, ss(e->text()));
        } else if (auto* c = qobject_cast<QCheckBox*>(w)) {
            f.setChecked(b.name, c->isChecked());
        } else if (auto* cb = qobject_cast<QComboBox*>(w)) {
            if (b.kind == ControlKind::ItemCode) {
                // No entry chosen (a code beyond the definitions) keeps the value.
                if (cb->currentIndex() >= 0)
                    f.set(b.name, std::to_string(cb->currentIndex()));
            } else {
                f.set(b.name, ss(cb->currentText()));
            }
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            if (b.kind == ControlKind::Colour)
                f.set(b.name, ss(l->property("colourNumber").toString()));
        }
    }
    for (const char* n : {"Check2_1", "Check5_1"})
        if (auto* c = findChild<QCheckBox*>(u(n)))
            f.setChecked(n, c->isChecked());
    f.webFile = ss(text2_->text());
    return f;
}

// ---------------------------------------------------------------------------
// Update, schedules, header

void Form3::applyUpdate()
{
    form_ = currentForm();
    const UpdateOutcome out = runConditionsUpdate(form_, marks_, host_);
    filling_ = true;
    if (out.formReloaded) {
        showForm(form_);
    } else {
        if (out.listsRefilled)
            fillItemLists();
        if (out.webFileCleared)
            text2_->clear();
    }
    filling_ = false;
    marks_ = 0;
    edited_ = false;
    command1_->setEnabled(false);
}

void Form3::refreshSchedules()
{
    const bool wasFilling = filling_;
    filling_ = true;
    for (const std::string& name : scheduleFieldNames()) {
        const ControlBinding* b = findBinding(name);
        if (!b)
            continue;
        const std::string& v = host_.settings().value(b->item, b->value);
        form_.set(name, v);
        if (auto* e = findChild<QLineEdit*>(qs(name)))
            e->setText(qs(v));
    }
    filling_ = wasFilling;
}

void Form3::setHeaderText(const std::string& text) { text3_->setPlainText(displayText(text)); }

// ---------------------------------------------------------------------------
// Lists

void Form3::recordModeToggled(bool)
{
    // The edits of the other list stay in the form until Update.
    showLeftList();
    fillRightLists();
}

void Form3::listButton(int index)
{
    const bool web = index >= 6;
    QListWidget* left = lists_[web ? 2 : 0];
    QListWidget* right = lists_[web ? 3 : 1];
    std::vector<int>& codes = web ? form_.webCodes : leftCodes();
    ListOp op = ListOp::Insert;
    switch (index) {
    case 0:
    case 6: op = ListOp::Insert; break;
    case 1:
    case 7: op = ListOp::Replace; break;
    case 2:
    case 8: op = ListOp::Delete; break;
    case 3: op = ListOp::Blank; break;
    case 5: op = ListOp::Clear; break;
    default: return;
    }
    const int leftSel = left->selectedItems().isEmpty() ? -1 : left->currentRow();
    const int rightCode = right->selectedItems().isEmpty() || !right->currentItem()
                              ? -1
                              : right->currentItem()->data(Qt::UserRole).toInt();
    const ListEditResult r = editItemList(codes, op, leftSel, rightCode);
    if (!r.changed)
        return;
    const ResultItemTable& items = host_.resultItems();
    left->clear();
    for (int code : codes) {
        auto* it = new QListWidgetItem(listText(items, code));
        it->setData(Qt::UserRole, code);
        left->addItem(it);
    }
    if (r.selection >= 0 && r.selection < left->count())
        left->setCurrentRow(r.selection);
    edited(web ? QStringLiteral("List1_2") : QStringLiteral("List1_0"));
}

void Form3::saveTables()
{
    const Settings& s = host_.settings();
    const std::vector<int> record = threeDigitCodes(s.value(host_.selectionItem(), 1), kRecordPositions);
    const bool hex = (host_.startFlags() & startflag::kDeviceTableHex) != 0;
    const ResultTablesOutcome out = writeResultTables(host_.programFolder(), host_.resultItems(), record, hex);
    if (out.status == Status::Ok) {
        host_.setStatusText(kTablesSaved);
        return;
    }
    const std::string text = out.status == Status::Refused ? std::string(kNoRecordItems)
                                                            : "\"" + out.failedFile + "\"" + kCannotWrite;
    prompter_.message(kForm3Caption, text, MsgIcon::Warning);
}

void Form3::manualDownload()
{
    if (prompter_.message(kDownloadTitle, kDownloadQuestion, MsgIcon::Warning, MsgButtons::OkCancel) != MsgAnswer::Ok)
        return;
    if (!host_.runDownload())
        host_.setStatusText(kNoDownload);
}

void Form3::browseWebFile()
{
    const std::string path = chooseFile ? chooseFile(u("Ｗｅｂファイルの参照"), u(kWebFileFilter)) : std::string();
    if (path.empty())
        return;
    text2_->setText(qs(path));
}

void Form3::browseMasterFile()
{
    const std::string path = chooseFile ? chooseFile(u("処理ファイルの参照"), u(kFileFilter)) : std::string();
    if (path.empty())
        return;
    if (registerMasterFile(form_.masterFiles, path) == RegisterResult::Ignored)
        return;
    form_.masterFilesChanged = true;
    fillMasterFiles();
    edited(QStringLiteral("Combo1"));
}

// ---------------------------------------------------------------------------
// Events

void Form3::closeEvent(QCloseEvent* e)
{
    host_.runtime().setState(statebit::kConditionsOpen, false);
    // Edits not updated are lost; the next opening shows the table.
    marks_ = 0;
    edited_ = false;
    command1_->setEnabled(false);
    e->accept();
}

void Form3::contextMenuEvent(QContextMenuEvent* e)
{
    host_.contextHelp(helpContext_, e->globalPos().x(), e->globalPos().y());
    e->accept();
}

bool Form3::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonRelease) {
        auto* label = qobject_cast<QLabel*>(watched);
        auto* me = static_cast<QMouseEvent*>(e);
        if (label && me->button() == Qt::LeftButton && label->isEnabled() && chooseColour) {
            const long long number = textToInt(ss(label->property("colourNumber").toString()));
            if (const std::optional<QColor> c = chooseColour(colorFromNumber(number))) {
                setColour(label, colorNumber(*c));
                edited(label->objectName());
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

}  // namespace varenta

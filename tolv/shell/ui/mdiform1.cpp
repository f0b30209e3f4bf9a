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

// ---------------------------------------------------------------------------
// The stepping run's view of the main window.
class ShellStepHost final : public StepHost {
public:
    explicit ShellStepHost(MDIForm1& w) : w_(w) {}
    bool fileOpen() const override { return w_.data_.hasMeasurementFile; }
    long long currentNumber() const override { return w_.data_.currentNumber; }
    void setCurrentNumber(long long n) override { w_.data_.currentNumber = n; }
    long long latestNumber() const override { return w_.data_.latestNumber; }
    bool refreshHeader() override
    {
        const Status st = w_.session_->selectMeasurement(w_.data_.currentNumber, false);
        w_.syncPanels();
        w_.updateScrollBar();
        return st == Status::Ok;
    }
    void loadRaw() override { w_.ensureRawData(); }
    void process() override { w_.processing_.run(w_); }
    void refreshViews(bool processed) override
    {
        const RefreshReason why = processed ? RefreshReason::Processed : RefreshReason::MeasurementChanged;
        for (int kind : {0, 1, 4, 5, 6, 7, 2, 3})
            if (ViewKind* v = w_.views_.find(kind); v && w_.documentWindow(kind))
                v->refresh(w_, why);
        w_.syncPanels();
    }
    void markUnreadable(long long number, int count) override
    {
        w_.setPanel(panel::kSno, std::to_string(number) + "(" + std::to_string(count) + ")");
    }
    bool printEachStep() const override
    {
        return w_.settings_.integer(85, 7) == 1 && (w_.state_.autoWord & autofn::kGraphPrint) &&
               static_cast<bool>(w_.hooks_.printRawGraph);
    }
    void printRawGraph() override { w_.hooks_.printRawGraph(); }
    long long repetitions() const override { return textToInt(ss(w_.combo1_->currentText())); }
    void setRepetitionText(const std::string& text) override { w_.combo1_->setEditText(qs(text)); }
    void pressButton(StepButton b, bool down) override
    {
        const char* key = b == StepButton::Execute ? "Bexecute" : (b == StepButton::Calculate ? "Bcalculate" : "Bbackexe");
        if (QToolButton* t = w_.toolButton(QString::fromLatin1(key)))
            t->setDown(down);
    }
    void serveEvents() override { w_.serveEvents(); }
    void finished() override
    {
        if (w_.hooks_.headerInfo)
            w_.hooks_.headerInfo(w_.session_->headerInfo(false));
    }

private:
    MDIForm1& w_;
};

// ---------------------------------------------------------------------------

QString qtFileFilter(const std::string& pipeFilter)
{
    const QStringList parts = qs(pipeFilter).split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString caption = parts[i];
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            if (p == QLatin1String("*.*")) {
                patterns << QStringLiteral("*");
                continue;
            }
            patterns << p;
            if (p.toLower() != p)
                patterns << p.toLower();
        }
        // The caption's own pattern list is replaced by the one Qt reads.
        const int paren = caption.indexOf(QLatin1Char('('));
        if (paren >= 0)
            caption = caption.left(paren);
        out << caption + QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

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
    installBuiltInCommands();
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
// Building the window

QAction* MDIForm1::addAction(QMenu* menu, const char* name, const char* caption, const QKeySequence& key, int help,
                             bool hidden)
{
    auto* a = new QAction(QString::fromUtf8(caption), this);
    const QString n = QString::fromLatin1(name);
    a->setObjectName(n);
    if (!key.isEmpty())
        a->setShortcut(key);
    if (help)
        a->setProperty("helpContext", help);
    a->setVisible(!hidden);
    connect(a, &QAction::triggered, this, [this, n] { runCommand(n); });
    menu->addAction(a);
    actions_[n] = a;
    return a;
}

void MDIForm1::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MenuBar"));

    QMenu* file = bar->addMenu(QStringLiteral("ファイル(&F)"));
    file->setObjectName(QStringLiteral("Mfile"));
    file->setProperty("helpContext", 1010);
    addAction(file, "Mopen", "開く(&O)", QKeySequence(Qt::CTRL | Qt::Key_O), 1010);
    addAction(file, "Mclose", "閉じる(&C)", {}, 1010);
    file->addSeparator();
    addAction(file, "Muser", "ユーザーフォルダの作成(&U)", {}, 0, true);
    addAction(file, "Mnew", "ファイルの更新(&N)", QKeySequence(Qt::Key_F5), 1010);
    addAction(file, "Minit", "初期化(&I)", QKeySequence(Qt::Key_F9), 1010);
    file->addSeparator();
    addAction(file, "Mmodifi", "上書き保存(&S)", QKeySequence(Qt::CTRL | Qt::Key_S), 1010);
    addAction(file, "Mewrite", "行のエラー値上書き保存(&E)", QKeySequence(Qt::Key_F2), 1010);
    addAction(file, "Msave", "名前を付けて保存(&A)", {}, 1010);
    addAction(file, "Mbackup", "バックアップ(&B)", {}, 1010);
    addAction(file, "Mmove", "ファイルムーブ(&V)", {}, 1010);
    file->addSeparator();
    addAction(file, "Mprint", "印刷(&P)", {}, 1009);
    addAction(file, "Mtrans", "送信(&T)", {}, 1008, true);
    file->addSeparator();
    addAction(file, "MTimeEditor", "測定時間－測定間隔の編集(&G)", {}, 0);
    addAction(file, "Mdate", "測定日時の更新(&D)", {}, 1010);
    addAction(file, "Mtext", "テキストデータファイルに変換(&F)", {}, 0);
    addAction(file, "MMfileSize", "ファイルのサイズ変更(&Z)", {}, 0);
    file->addSeparator();
    addAction(file, "Mfinal", "Varentaの終了(&X)", {}, 0);

    QMenu* edit = bar->addMenu(QStringLiteral("編集(&E)"));
    edit->setObjectName(QStringLiteral("Medit"));
    edit->setProperty("helpContext", 1010);
    QMenu* zin = edit->addMenu(QStringLiteral("拡大(&Z)"));
    zin->setObjectName(QStringLiteral("Mzm"));
    addAction(zin, "Mzoom", "X軸(&X)", QKeySequence(Qt::Key_F4), 1010);
    addAction(zin, "MzoomY", "Y軸(&Y)", QKeySequence(Qt::SHIFT | Qt::Key_F4), 1010);
    QMenu* zout = edit->addMenu(QStringLiteral("縮小(&U)"));
    zout->setObjectName(QStringLiteral("MzmU"));
    addAction(zout, "MzoomU", "X軸(&X)", QKeySequence(Qt::Key_F3), 1010);
    addAction(zout, "MzoomYU", "Y軸(&Y)", QKeySequence(Qt::SHIFT | Qt::Key_F3), 1010);
    edit->addSeparator();
    addAction(edit, "Mcut", "切り取り(&T)", QKeySequence(Qt::CTRL | Qt::Key_X), 1010);
    addAction(edit, "Mcopy", "コピー(&C)", QKeySequence(Qt::CTRL | Qt::Key_C), 1010);
    addAction(edit, "Mpast", "貼り付け(&P)", QKeySequence(Qt::CTRL | Qt::Key_V), 1010);
    edit->addSeparator();
    addAction(edit, "Mfont", "フォント(&F)", {}, 1010);
    addAction(edit, "Mbackcolor", "背景色(&B)", {}, 1010);
    edit->addSeparator();
    addAction(edit, "Mselall", "すべてを選択(&A)", QKeySequence(Qt::CTRL | Qt::Key_A), 1010);
    // The edit keys: a text pane with the focus takes them itself (it
    // claims the standard keys first); elsewhere, as on a graph, they run
    // the Edit menu's commands.

    QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
    view->setObjectName(QStringLiteral("Mview"));
    view->setProperty("helpContext", 1010);
    addAction(view, "Mreexecute", "再表示(&E)", QKeySequence(Qt::Key_F11), 1010);
    view->addSeparator();
    addAction(view, "MnumR", "処理結果表(&R)", {}, 1005);
    addAction(view, "MgraphR", "処理結果のグラフ(&S)", {}, 1004);
    addAction(view, "MnumD", "生データ表(&N)", {}, 1003);
    addAction(view, "MgraphD", "生データのグラフ(&G)", {}, 1002);
    addAction(view, "MxyGraph", "成分流速２次元グラフ(X&)", {}, 0);
    addAction(view, "Mpower", "パワースペクトル(&P)", {}, 1006);
    addAction(view, "Mdir3d", "方向スペクトル３Ｄグラフ(&T)", {}, 0, true);
    addAction(view, "MdirConta", "方向スペクトルコンタグラフ(&C)", {}, 0, true);
    QAction* sepDir = view->addSeparator();
    sepDir->setObjectName(QStringLiteral("MsepDir"));
    sepDir->setVisible(false);
    addAction(view, "MnvOctave", "１／３オクターブグラフ(&O)", {}, 0, true);
    addAction(view, "MnvRawGraph", "騒音振動波形データのグラフ(&A)", {}, 0, true);
    addAction(view, "MnvRawNum", "騒音振動波形データ表(&V)", {}, 0, true);
    QAction* sepNoise = view->addSeparator();
    sepNoise->setObjectName(QStringLiteral("MsepNoise"));
    sepNoise->setVisible(false);
    view->addSeparator();
    addAction(view, "Mbar", "ツールバー(&L)", {}, 1010)->setCheckable(true);
    addAction(view, "Mstatus", "ステータスバー(&B)", {}, 1010)->setCheckable(true);
    addAction(view, "Mscroll", "スクロールバー(&D)", {}, 1010)->setCheckable(true);

    QMenu* proc = bar->addMenu(QStringLiteral("処理(&P)"));
    proc->setObjectName(QStringLiteral("Mprocess"));
    addAction(proc, "Mexecute", "表示の実行(&E)", QKeySequence(Qt::Key_F8), 1010);
    addAction(proc, "Mbackexe", "表示の逆行(&B)", QKeySequence(Qt::Key_F6), 1010);
    addAction(proc, "Mcalculate", "処理の実行(&F)", QKeySequence(Qt::Key_F12), 1007);
    addAction(proc, "Mend", "中止(&C)", QKeySequence(Qt::Key_F7), 1010);
    proc->addSeparator();
    addAction(proc, "Mcset", "条件の設定(&J)", {}, 1007);

    QMenu* win = bar->addMenu(QStringLiteral("ウィンドウ(&W)"));
    win->setObjectName(QStringLiteral("Mwindow"));
    addAction(win, "Mcascade", "重ねて表示(&C)", QKeySequence(Qt::CTRL | Qt::Key_R), 1010);
    addAction(win, "Mtile", "並べて表示(&T)", QKeySequence(Qt::CTRL | Qt::Key_T), 1010);
    addAction(win, "MtileV", "縦に並べて表示(&V)", QKeySequence(Qt::CTRL | Qt::Key_Y), 1010);
    win->addSeparator();
    addAction(win, "Mbarrier", "保護状態(&B)", {}, 1010)->setCheckable(true);

    QMenu* help = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->setObjectName(QStringLiteral("Mhelp"));
    addAction(help, "Mtopic", "トピックの検索(&H)", {}, 1001);
    addAction(help, "Mversion", "バージョン情報(&V)", {}, 0);

    // F1 on a highlighted menu entry opens the entry's help topic.
    for (QMenu* m : {file, edit, zin, zout, view, proc, win, help})
        m->installEventFilter(this);
}

void MDIForm1::buildToolbar()
{
    toolbar_ = addToolBar(QStringLiteral("ツールバー"));
    toolbar_->setObjectName(QStringLiteral("Toolbar1"));
    toolbar_->setMovable(false);
    toolbar_->setIconSize(QSize(24, 24));
    toolbar_->installEventFilter(this);
    struct Button {
        const char* key;
        const char* tip;
        const char* command;  // nullptr: none
        bool separatorBefore;
    };
    static const Button buttons[] = {
        {"Bopen", "ファイルを開く", "Mopen", false},
        {"Bmodifi", "編集したデータの上書き保存", "Mmodifi", false},
        {"Bnew", "ファイルの更新", "Mnew", false},
        {"BnumD", "生データ表の表示", "MnumD", true},
        {"BgraphD", "生データグラフの表示", "MgraphD", false},
        {"Bplot", "成分流速２次元グラフの表示", "MxyGraph", false},
        {"BpowerD", "パワースペクトルグラフの表示", "Mpower", false},
        {"B3dgraph", "方向スペクトル３Ｄグラフの表示", "Mdir3d", false},
        {"BContourGraph", "方向スペクトルコンターグラフの表示", "MdirConta", false},
        {"BnumR", "処理結果表の表示", "MnumR", true},
        {"BgraphR", "処理結果グラフの表示", "MgraphR", false},
        {"BNvtext", "騒音振動波形データ表の表示", nullptr, true},
        {"Braw", "騒音振動波形データグラフの表示", nullptr, false},
        {"Bbargraph", "１／３オクターブグラフの表示", nullptr, false},
        {"Bcset", "処理、表、グラフ、インターネット、印刷の条件の設定", "Mcset", true},
        {"Bcalculate", "今の測定番号から、右の指定回数だけ、処理を実行", "Mcalculate", true},
        {"Bbackexe", "今の測定番号から、左の指定回数だけ、もどして表示", "Mbackexe", false},
        {"Bend", "処理や表示の中止", "Bend", false},
        {"Bexecute", "今の測定番号から、左の指定回数だけ、先へ表示", "Mexecute", false},
        {"Bleft", "波形データを後に移動", nullptr, true},
        {"Bright", "波形データを前に移動", nullptr, false},
        {"Bup", "生データグラフの表示チャンネルのアップ", "Bup", false},
        {"Bdown", "生データグラフの表示チャンネルのダウン", "Bdown", false},
        {"Bcascade", "ウィンドウを重ねて表示", "Mcascade", true},
        {"Btile", "ウィンドウを横並べて表示", "Mtile", false},
        {"Bline", "ウィンドウを縦に並べて表示", "MtileV", false},
    };
    for (const Button& b : buttons) {
        if (b.separatorBefore)
            toolbar_->addSeparator();
        const QString key = QString::fromLatin1(b.key);
        auto* tb = new QToolButton(toolbar_);
        tb->setObjectName(key);
        tb->setToolTip(QString::fromUtf8(b.tip));
        tb->setIcon(toolbarIcon(key));
        tb->setAutoRaise(true);
        tb->setProperty("command", b.command ? QString::fromLatin1(b.command) : QString());
        if (b.command) {
            const QString cmd = QString::fromLatin1(b.command);
            connect(tb, &QToolButton::clicked, this, [this, key, cmd] {
                // The save button works only while a table view is open.
                if (key == QLatin1String("Bmodifi") &&
                    !(state_.stateWord & (statebit::viewBit(viewkind::kRawTable) | statebit::viewBit(viewkind::kResultsTable))))
                    return;
                runCommand(cmd);
            });
        }
        toolbar_->addWidget(tb);
        buttons_[key] = tb;
        if (key == QLatin1String("Bcalculate")) {
            combo1_ = new QComboBox(toolbar_);
            combo1_->setObjectName(QStringLiteral("Combo1"));
            combo1_->setEditable(true);
            combo1_->setInsertPolicy(QComboBox::NoInsert);
            combo1_->setToolTip(QStringLiteral("処理(表示)の実行回数の指定"));
            combo1_->addItems({"1", "6", "10", "12", "20", "24", "50", "100", "200", "300", "500", "1000", "2000",
                               "3000", "5000"});
            combo1_->setEditText(QStringLiteral("1"));
            combo1_->setMinimumContentsLength(5);
            toolbar_->addWidget(combo1_);
        }
    }
}

void MDIForm1::buildStatusBar()
{
    QStatusBar* sb = statusBar();
    sb->setObjectName(QStringLiteral("StatusBar1"));
    sb->setSizeGripEnabled(true);
    sb->installEventFilter(this);
    struct Panel {
        const char* key;
        const char* tip;
        int width;
    };
    static const Panel panels[] = {
        {panel::kMno, "機械番号 - 最終収録測定番号(測定時間/測定間隔)", 150},
        {panel::kSno, "測定番号（エラー数）", 90},
        {panel::kDno, "データ番号 (測定開始時刻からの経過時間 分 : 秒)", 120},
        {panel::kDate, "測定年月日", 80},
        {panel::kTime, "測定開始時刻", 60},
        {panel::kStatus, "プログラムの作業状況", 0},
        {panel::kRtime, "パソコンの時刻（自動機能作動時は、秒まで表示）", 70},
    };
    for (const Panel& p : panels) {
        auto* l = new QLabel(sb);
        l->setObjectName(QString::fromLatin1(p.key));
        l->setToolTip(QString::fromUtf8(p.tip));
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setContentsMargins(3, 0, 3, 0);
        l->installEventFilter(this);
        if (p.width > 0) {
            l->setMinimumWidth(p.width);
            sb->addPermanentWidget(l, 0);
        } else {
            l->setMinimumWidth(120);
            sb->addPermanentWidget(l, 1);
        }
        panelLabels_[p.key] = l;
    }
}

void MDIForm1::buildCentral()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Central"));
    mdi_ = new QMdiArea(central);
    mdi_->setObjectName(QStringLiteral("MdiArea"));
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->viewport()->installEventFilter(this);
    connect(mdi_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow*) { updateViewChecks(); });

    strip_ = new QWidget(central);
    strip_->setObjectName(QStringLiteral("Picture1"));
    strip_->setFixedHeight(20);
    strip_->installEventFilter(this);
    hscroll_ = new QScrollBar(Qt::Horizontal, strip_);
    hscroll_->setObjectName(QStringLiteral("HScroll1"));
    hscroll_->setRange(1, 1);
    hscroll_->setPageStep(1);
    hscroll_->setEnabled(false);
    connect(hscroll_, &QScrollBar::sliderMoved, this, &MDIForm1::scrollMoved);
    connect(hscroll_, &QScrollBar::valueChanged, this, [this](int) {
        if (!hscroll_->isSliderDown())
            scrollDone();
    });
    connect(hscroll_, &QScrollBar::sliderReleased, this, &MDIForm1::scrollDone);

    auto* lay = new QVBoxLayout(central);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    lay->addWidget(mdi_, 1);
    lay->addWidget(strip_);
    setCentralWidget(central);
}

void MDIForm1::buildPopup()
{
    popup_ = new QMenu(QStringLiteral("ポップアップ(&P)"), this);
    popup_->setObjectName(QStringLiteral("Mpopup"));
    auto add = [this](QMenu* m, const char* name, const char* caption, std::function<void()> work) {
        auto* a = m->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(name));
        a->setEnabled(false);
        connect(a, &QAction::triggered, this, std::move(work));
        actions_[QString::fromLatin1(name)] = a;
        return a;
    };
    add(popup_, "MPexecute", "再表示(&E)", [this] { step(stepmode::kRedisplay); });
    QMenu* zin = popup_->addMenu(QStringLiteral("拡大(&Z)"));
    zin->setObjectName(QStringLiteral("MPzm"));
    zin->setEnabled(false);
    add(zin, "MPzoom", "X軸(&X)", [this] { zoom(false, true); });
    add(zin, "MPzoomY", "Y軸(&Y)", [this] { zoom(true, true); });
    QMenu* zout = popup_->addMenu(QStringLiteral("縮小(&U)"));
    zout->setObjectName(QStringLiteral("MPzmU"));
    zout->setEnabled(false);
    add(zout, "MPzoomU", "X軸(&X)", [this] { zoom(false, false); });
    add(zout, "MPzoomYU", "Y軸(&Y)", [this] { zoom(true, false); });
    add(popup_, "MPcalculate", "再処理(&F)", [this] { step(stepmode::kReprocess); });
    add(popup_, "MPcset", "条件の設定(&J)", [this] { runCommand(QStringLiteral("Mcset")); });
    add(popup_, "MPmodifi", "上書き保存(&S)", [this] { runCommand(QStringLiteral("Mmodifi")); });
    add(popup_, "MPewrite", "行のエラー値上書き保存(&E)", [this] { runCommand(QStringLiteral("Mewrite")); });
    add(popup_, "MPcopy", "コピー(&C)", [this] { runCommand(QStringLiteral("Mcopy")); });
    add(popup_, "MPhelp", "ヘルプ(&H)", [this] { showHelp(popupContext_); });
}

// ---------------------------------------------------------------------------
// Commands

void MDIForm1::installBuiltInCommands()
{
    auto cmd = [this](const char* n, std::function<void()> f) { commands_[QString::fromLatin1(n)] = std::move(f); };
    cmd("Mopen", [this] {
        const std::string path = chooseOpenPath();
        if (!path.empty())
            openPath(path);
    });
    cmd("Mclose", [this] { closeFile(); });
    cmd("Mnew", [this] { refreshFile(); });
    cmd("Minit", [this] {
        session_->runInitialization();
        syncPanels();
        updateScrollBar();
    });
    cmd("Mfinal", [this] { close(); });
    cmd("Mzoom", [this] { zoom(false, true); });
    cmd("MzoomY", [this] { zoom(true, true); });
    cmd("MzoomU", [this] { zoom(false, false); });
    cmd("MzoomYU", [this] { zoom(true, false); });
    cmd("Mcut", [this] {
        if (DocumentWindow* d = activeDocumentWindow())
            d->cut();
    });
    cmd("Mcopy", [this] {
        if (DocumentWindow* d = activeDocumentWindow())
            d->copy();
    });
    cmd("Mpast", [this] {
        if (DocumentWindow* d = activeDocumentWindow())
            d->paste();
    });
    cmd("Mselall", [this] {
        if (DocumentWindow* d = activeDocumentWindow())
            d->selectAll();
    });
    cmd("Mfont", [this] {
        if (DocumentWindow* d = activeDocumentWindow())
            d->chooseFont();
    });
    cmd("Mbackcolor", [this] {
        if (DocumentWindow* d = activeDocumentWindow())
            d->chooseBackground();
    });
    cmd("Mreexecute", [this] { step(stepmode::kRedisplay); });
    cmd("Mbar", [this] {
        state_.runWord ^= runbit::kToolbarHidden;
        applyBars();
    });
    cmd("Mstatus", [this] {
        state_.runWord ^= runbit::kStatusBarHidden;
        applyBars();
    });
    cmd("Mscroll", [this] {
        state_.runWord ^= runbit::kScrollStripHidden;
        applyBars();
    });
    cmd("Mexecute", [this] { step(stepmode::kForwardDisplay); });
    cmd("Mbackexe", [this] { step(stepmode::kBackwardDisplay); });
    cmd("Mcalculate", [this] { step(stepmode::kForwardProcess); });
    cmd("Mend", [this] { state_.stopRequest = true; });
    cmd("Bend", [this] {
        state_.stopRequest = true;
        if (hooks_.toggleScan)
            hooks_.toggleScan(true);
    });
    cmd("Bup", [this] {
        if (stepLaneChannels(settings_, data_.graphChannel, data_.header.channelCount, +1))
            redisplay();
    });
    cmd("Bdown", [this] {
        if (stepLaneChannels(settings_, data_.graphChannel, data_.header.channelCount, -1))
            redisplay();
    });
    cmd("Mcascade", [this] { mdi_->cascadeSubWindows(); });
    cmd("Mtile", [this] { tileWindows(true); });
    cmd("MtileV", [this] { tileWindows(false); });
    cmd("Mbarrier", [this] {
        session_->toggleBarrier();
        actions_[QStringLiteral("Mbarrier")]->setChecked(state_.barrierMark);
        syncPanels();
    });
    cmd("Mtopic", [this] { showHelp(helpctx::kOverview); });
    cmd("Mversion", [this] {
        VersionBox::showModal(this, qs(tolvVersionText(start_.flags)), programIcon());
    });
}

void MDIForm1::runCommand(const QString& name)
{
    const auto it = commands_.find(name);
    if (it == commands_.end() || !it->second)
        return;
    it->second();
}

bool MDIForm1::commandAvailable(const QString& name) const
{
    const auto it = commands_.find(name);
    return it != commands_.end() && static_cast<bool>(it->second);
}

void MDIForm1::setCommand(const QString& name, std::function<void()> work)
{
    commands_[name] = std::move(work);
    updateCommandStates();
}

static const char* viewCommandName(int kind)
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
            commands_[QString::fromLatin1(n)] = [this, kind] { showView(kind); };
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
    // The results views need a results file.
    if (!data_.hasResultsFile) {
        for (const char* n : {"MnumR", "MgraphR"})
            if (QAction* a = action(QString::fromLatin1(n)))
                a->setEnabled(false);
        for (const char* n : {"BnumR", "BgraphR"})
            if (QToolButton* b = toolButton(QString::fromLatin1(n)))
                b->setEnabled(false);
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

void MDIForm1::step(int mode)
{
    ShellStepHost host(*this);
    runStepping(mode, state_, host);
    syncPanels();
    updateScrollBar();
    // A processing run may have created the results file: its views become
    // available at once.
    updateCommandStates();
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

void MDIForm1::zoom(bool valueAxis, bool in)
{
    DocumentWindow* d = activeDocumentWindow();
    if (!d)
        return;
    const int kind = d->kind();
    const bool changed = valueAxis ? zoomValueAxis(settings_, state_.autoWord, kind, in, resultsZoomChannel_)
                                   : zoomTimeAxis(settings_, kind, in);
    if (!changed)
        return;
    d->view().redraw(*this);
    if (kind == viewkind::kRawGraph)
        if (ViewKind* xy = views_.find(viewkind::kComponentGraph); xy && documentWindow(viewkind::kComponentGraph))
            xy->redraw(*this);
}

void MDIForm1::tileWindows(bool horizontalStrips)
{
    QList<QMdiSubWindow*> wins;
    for (QMdiSubWindow* w : mdi_->subWindowList())
        if (w->isVisible() && !w->isMinimized())
            wins << w;
    if (wins.isEmpty())
        return;
    const QRect area = mdi_->viewport()->rect();
    const int n = static_cast<int>(wins.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = wins[i];
        if (w->isMaximized())
            w->showNormal();
        if (horizontalStrips) {
            const int h = area.height() / n;
            w->setGeometry(0, i * h, area.width(), i == n - 1 ? area.height() - i * h : h);
        } else {
            const int wd = area.width() / n;
            w->setGeometry(i * wd, 0, i == n - 1 ? area.width() - i * wd : wd, area.height());
        }
    }
}

// ---------------------------------------------------------------------------
// Loading hooks and the initialization step

void MDIForm1::installDataHooks()
{
    DataHooks h;
    h.busyPointer = [](bool on) { setBusyCursor(on); };
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

void MDIForm1::applyWindowSettings()
{
    // Applied when the settings hold a placement other than the one applied
    // last, so that reopening a file under protection (settings not saved)
    // does not move the window back.
    const int top = static_cast<int>(settings_.integer(88, 0));
    const int left = static_cast<int>(settings_.integer(88, 1));
    const int width = static_cast<int>(settings_.integer(88, 2));
    const int height = static_cast<int>(settings_.integer(88, 3));
    const std::uint32_t stateBits = settings_.hex(89, 0) & statebit::kWindowStateMask;
    const QRect wanted(left, top, width, height);
    if (wanted == appliedGeometry_ && stateBits == appliedState_)
        return;
    appliedGeometry_ = wanted;
    appliedState_ = stateBits;
    if (width >= 320 && height >= 240 && width <= 20000 && height <= 20000) {
        QRect g = wanted;
        if (QScreen* s = screen()) {
            const QRect avail = s->availableGeometry();
            g.setWidth(std::min(g.width(), avail.width()));
            g.setHeight(std::min(g.height(), avail.height()));
            if (!avail.intersects(g))
                g.moveTopLeft(avail.topLeft());
        }
        if (isMaximized() || isMinimized())
            showNormal();
        setGeometry(g);
    }
    if (!startedUp_)
        return;
    if (stateBits & statebit::kMaximised)
        showMaximized();
    else if (stateBits & statebit::kMinimised)
        showMinimized();
}

void MDIForm1::applyAutomaticTimers()
{
    if (automaticTimersOn(state_.autoWord)) {
        ownClock_->stop();
        timer1_->start();
        timer3_->start();
        timer3Tick();
    } else {
        timer1_->stop();
        timer3_->stop();
        ownClock_->start();
        const DateTime t = clock_->now();
        setPanel(panel::kRtime, clockText(t.hour, t.minute, t.second, false));
    }
}

void MDIForm1::applyBars()
{
    toolbar_->setVisible(!(state_.runWord & runbit::kToolbarHidden));
    statusBar()->setVisible(!(state_.runWord & runbit::kStatusBarHidden));
    strip_->setVisible(!(state_.runWord & runbit::kScrollStripHidden));
    updateViewChecks();
}

void MDIForm1::updateViewChecks()
{
    if (QAction* a = action(QStringLiteral("Mbar")))
        a->setChecked(!(state_.runWord & runbit::kToolbarHidden));
    if (QAction* a = action(QStringLiteral("Mstatus")))
        a->setChecked(!(state_.runWord & runbit::kStatusBarHidden));
    if (QAction* a = action(QStringLiteral("Mscroll")))
        a->setChecked(!(state_.runWord & runbit::kScrollStripHidden));
}

void MDIForm1::updateScrollBar()
{
    const QSignalBlocker block(hscroll_);
    if (!data_.hasMeasurementFile || data_.latestNumber < 1) {
        hscroll_->setRange(1, 1);
        hscroll_->setValue(1);
        hscroll_->setEnabled(false);
        return;
    }
    hscroll_->setRange(1, std::max(1, session_->scrollMaximum()));
    hscroll_->setValue(session_->syncScrollValue());
    hscroll_->setEnabled(true);
}

void MDIForm1::scrollMoved(int value)
{
    if (!data_.hasMeasurementFile || state_.state(statebit::kStepping) || scrollBusy_)
        return;
    state_.setState(statebit::kStepping, true);
    session_->scrollChanged(value);
    syncPanels();
    state_.setState(statebit::kStepping, false);
}

void MDIForm1::scrollDone()
{
    if (!data_.hasMeasurementFile || state_.state(statebit::kStepping) || scrollBusy_)
        return;
    scrollBusy_ = true;
    session_->scrollChanged(hscroll_->value());
    hscroll_->setEnabled(false);
    syncPanels();
    state_.setState(statebit::kRawLoaded | statebit::kProcessed, false);
    redisplay();
    hscroll_->setEnabled(true);
    scrollBusy_ = false;
}

// ---------------------------------------------------------------------------
// Timers

void MDIForm1::timer1Tick()
{
    SchedulerJobs jobs = jobs_;
    jobs.status = [this](const std::string& t) { setPanel(panel::kStatus, t); };
    jobs.schedulesMoved = [this] {
        if (hooks_.schedulesMoved)
            hooks_.schedulesMoved();
    };
    schedulerTick(settings_, state_.autoWord, clock_->now(), jobs, schedulerMemory_);
}

void MDIForm1::timer2Tick()
{
    // The scan owns the whole tick: its texts, and whether the timer runs on.
    if (hooks_.scanTick) {
        hooks_.scanTick();
        return;
    }
    timer2_->stop();
    setPanel(panel::kStatus, scanTickText(start_.flags, true, userBase_));
    uiWait(200);
    setPanel(panel::kStatus, scanTickText(start_.flags, false, userBase_));
    timer2_->start();
}

void MDIForm1::timer3Tick()
{
    const DateTime t = clock_->now();
    setPanel(panel::kRtime, clockText(t.hour, t.minute, t.second, true));
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
}

void MDIForm1::setBusy(bool on, const std::string& message)
{
    session_->setBusy(on, message);
    syncPanels();
}

void MDIForm1::beep() { QApplication::beep(); }

DocumentWindow* MDIForm1::documentWindow(int kind) const
{
    if (kind < 0 || kind >= viewkind::kCount)
        return nullptr;
    return docs_[static_cast<std::size_t>(kind)].data();
}

DocumentWindow* MDIForm1::openDocumentWindow(int kind)
{
    if (DocumentWindow* d = documentWindow(kind))
        return d;
    ViewKind* v = views_.find(kind);
    if (!v)
        return nullptr;
    auto* d = new DocumentWindow(*this, *v);
    if (const char* cmd = viewCommandName(kind))
        for (const auto& [key, b] : buttons_)
            if (b->property("command").toString() == QLatin1String(cmd))
                d->setWindowIcon(toolbarIcon(key));
    mdi_->addSubWindow(d);
    d->restorePosition();
    docs_[static_cast<std::size_t>(kind)] = d;
    state_.setState(statebit::viewBit(kind), true);
    state_.setState(statebit::kSaveDocGeometry, true);
    connect(d, &DocumentWindow::closing, this, [this](int k) {
        if (k >= 0 && k < viewkind::kCount)
            docs_[static_cast<std::size_t>(k)] = nullptr;
        QTimer::singleShot(0, this, [this] { updateCommandStates(); });
    });
    DocumentWindow* active = activeDocumentWindow();
    if (active && active != d && active->isMaximized())
        d->showMaximized();
    else
        d->show();
    mdi_->setActiveSubWindow(d);
    updateCommandStates();
    return d;
}

DocumentWindow* MDIForm1::activeDocumentWindow() const
{
    return qobject_cast<DocumentWindow*>(mdi_->activeSubWindow());
}

bool MDIForm1::toolbarVisible() const { return !(state_.runWord & runbit::kToolbarHidden); }

void MDIForm1::showPopupMenu(std::uint32_t mask, int helpContext, const QPoint& globalPos, bool graphActive)
{
    if (!popupAllowed(state_.stateWord))
        return;
    const PopupItems it = popupItems(mask, state_.stateWord, graphActive);
    actions_[QStringLiteral("MPexecute")]->setEnabled(it.execute);
    actions_[QStringLiteral("MPcalculate")]->setEnabled(it.calculate);
    actions_[QStringLiteral("MPcset")]->setEnabled(it.conditions && commandAvailable(QStringLiteral("Mcset")));
    actions_[QStringLiteral("MPewrite")]->setEnabled(it.errorRow && commandAvailable(QStringLiteral("Mewrite")));
    actions_[QStringLiteral("MPmodifi")]->setEnabled(it.modify && commandAvailable(QStringLiteral("Mmodifi")));
    actions_[QStringLiteral("MPhelp")]->setEnabled(it.help);
    actions_[QStringLiteral("MPcopy")]->setEnabled(it.copy);
    // The zoom entries follow their sub-menus (every entry starts disabled).
    popup_->findChild<QMenu*>(QStringLiteral("MPzm"))->setEnabled(it.zoomIn);
    popup_->findChild<QMenu*>(QStringLiteral("MPzmU"))->setEnabled(it.zoomOut);
    for (const char* n : {"MPzoom", "MPzoomY"})
        actions_[QString::fromLatin1(n)]->setEnabled(it.zoomIn);
    for (const char* n : {"MPzoomU", "MPzoomYU"})
        actions_[QString::fromLatin1(n)]->setEnabled(it.zoomOut);
    if (it.help)
        popupContext_ = helpContext;
    popup_->popup(globalPos);
}

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

SaveSnapshot MDIForm1::windowSnapshot(bool withDocuments) const
{
    SaveSnapshot s;
    s.mainState = isMinimized() ? WindowShow::Minimised : (isMaximized() ? WindowShow::Maximised : WindowShow::Normal);
    const QRect g = (isMinimized() || isMaximized()) ? normalGeometry() : geometry();
    s.main = {g.top(), g.left(), g.width(), g.height()};
    s.withDocuments = withDocuments;
    for (int k = 0; k < viewkind::kCount; ++k) {
        DocumentWindow* d = documentWindow(k);
        if (!d)
            continue;
        DocumentWindowInfo& info = s.documents[static_cast<std::size_t>(k)];
        info.open = true;
        info.normal = !d->isMinimized() && !d->isMaximized();
        const QRect dg = d->geometry();
        info.geometry = {dg.top(), dg.left(), dg.width(), dg.height()};
    }
    return s;
}

// ---------------------------------------------------------------------------
// Events

void MDIForm1::closeEvent(QCloseEvent* e)
{
    const bool session = qApp && qApp->isSavingSession();
    if (const auto q = exitQuestion(state_.autoWord, start_.flags, session)) {
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

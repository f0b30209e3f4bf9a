// The processing program's main window as built: menus, toolbar with the
// repetition count, status panels, the measurement scroll strip and the
// right-click menu.  Every entry runs its command through the command table.
#include "tolv/shell/ui/mdiform1.h"

#include "common/ui/qtutil.h"
#include "tolv/shell/ui/toolbaricons.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace varenta {

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
    addAction(file, "MnetCDF", "NetCDF形式で出力", {}, 0);
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
    auto add = [this](QMenu* m, const char* name, const char* caption, const char* command) {
        auto* a = m->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(name));
        a->setEnabled(false);
        const QString cmd = QString::fromLatin1(command);
        connect(a, &QAction::triggered, this, [this, cmd] { runCommand(cmd); });
        actions_[QString::fromLatin1(name)] = a;
        return a;
    };
    // Entries of their own run their own command; the others run the menu's.
    add(popup_, "MPexecute", "再表示(&E)", "MPexecute");
    QMenu* zin = popup_->addMenu(QStringLiteral("拡大(&Z)"));
    zin->setObjectName(QStringLiteral("MPzm"));
    zin->setEnabled(false);
    add(zin, "MPzoom", "X軸(&X)", "MPzoom");
    add(zin, "MPzoomY", "Y軸(&Y)", "MPzoomY");
    QMenu* zout = popup_->addMenu(QStringLiteral("縮小(&U)"));
    zout->setObjectName(QStringLiteral("MPzmU"));
    zout->setEnabled(false);
    add(zout, "MPzoomU", "X軸(&X)", "MPzoomU");
    add(zout, "MPzoomYU", "Y軸(&Y)", "MPzoomYU");
    add(popup_, "MPcalculate", "再処理(&F)", "MPcalculate");
    add(popup_, "MPcset", "条件の設定(&J)", "Mcset");
    add(popup_, "MPmodifi", "上書き保存(&S)", "Mmodifi");
    add(popup_, "MPewrite", "行のエラー値上書き保存(&E)", "Mewrite");
    add(popup_, "MPcopy", "コピー(&C)", "Mcopy");
    add(popup_, "MPhelp", "ヘルプ(&H)", "MPhelp");
}

}  // namespace varenta

// The main window driven offscreen on generated master files.
#include "shell_fixture.h"

#include "tolv/data/rawtable.h"
#include "tolv/data/ui/rawtableview.h"
#include "tolv/shell/stepping.h"
#include "tolv/shell/ui/helpviewer.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QToolBar>
#include <QToolButton>

#include <map>

using namespace varenta;
using namespace varenta::guitest;

TEST(MainWindow, OpenCommandFillsTheStatusPanels)
{
    ProgramFolder pf;
    pf.generate(345);
    Shell sh(pf);
    sh.w().startUp();
    EXPECT_EQ(sh.w().windowTitle(), QStringLiteral("Varentix"));
    EXPECT_EQ(sh.panel(panel::kMno), "");

    sh.nextOpen = pf.master();
    sh.w().runCommand(QStringLiteral("Mopen"));
    EXPECT_EQ(sh.panel(panel::kMno), "No.12-345 20/60");
    EXPECT_EQ(sh.panel(panel::kSno), "345(0)");
    EXPECT_EQ(sh.w().dataSet().currentNumber, 345);
    EXPECT_EQ(sh.panel(panel::kStatus), "");
    // 345 hourly bursts from 6 May 2026 10:00: the last starts 20 May 18:00.
    EXPECT_EQ(sh.panel(panel::kDate), "26/ 5/20");
    EXPECT_EQ(sh.panel(panel::kTime), "18:00");
    EXPECT_EQ(sh.w().windowTitle(), QString::fromStdString("Varentix - " + pf.master() + " - " + pf.path("NR012L.H10")));
    EXPECT_EQ(sh.w().hScroll1()->maximum(), 345);
    EXPECT_EQ(sh.w().hScroll1()->value(), 345);
    EXPECT_TRUE(sh.w().hScroll1()->isEnabled());

    // A cancelled dialog leaves everything as it was.
    sh.nextOpen.clear();
    sh.w().runCommand(QStringLiteral("Mopen"));
    EXPECT_EQ(sh.panel(panel::kMno), "No.12-345 20/60");

    // Closing empties the panels and resets the caption.
    sh.w().runCommand(QStringLiteral("Mclose"));
    for (const char* k : {panel::kMno, panel::kSno, panel::kDno, panel::kDate, panel::kTime})
        EXPECT_EQ(sh.panel(k), "") << k;
    EXPECT_EQ(sh.w().windowTitle(), QStringLiteral("Varentix"));
    EXPECT_FALSE(sh.w().hScroll1()->isEnabled());
}

TEST(MainWindow, StartUpOpensTheLastFileWithItsRawTable)
{
    ProgramFolder pf;
    const synth::GeneratorOptions o = pf.generateOpened(6);
    Shell sh(pf);
    sh.w().startUp();
    DocumentWindow* d = sh.doc(0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("生データ表"));
    EXPECT_EQ(d->property("Tag").toString(), QStringLiteral("0"));
    EXPECT_TRUE(sh.w().runtime().state(statebit::viewBit(0)));
    EXPECT_FALSE(sh.w().runtime().state(statebit::kStepping));

    // The table shows the newest burst: factor x count in the channel's format.
    const synth::Burst b = synth::generateBurst(o, 6);
    const ChannelTable t = pf.channelTable();
    const std::string want = expectedRawTable(b, t);
    EXPECT_EQ(d->richTextBox1()->toPlainText().toStdString(), want);
    // The heading shows the captions (values 0 and 1) of the shown channels.
    const std::string heading = t.value(1, 0) + t.value(2, 0) + t.value(3, 0) + "\n" + t.value(1, 1) +
                                t.value(2, 1) + t.value(3, 1);
    EXPECT_EQ(d->richTextBox2()->toPlainText().toStdString(), heading);

    // The export: CR LF between lines, none after the last.
    std::string bytes;
    ASSERT_EQ(readFileBytes(pf.path("NR22g.txt"), bytes), Status::Ok);
    std::string crlf;
    for (char c : want) {
        if (c == '\n')
            crlf += "\r\n";
        else
            crlf += c;
    }
    EXPECT_EQ(bytes, crlf);
    EXPECT_NE(bytes.substr(bytes.size() - 2), "\r\n");
}

TEST(MainWindow, SteppingMovesAndCountsDown)
{
    ProgramFolder pf;
    const synth::GeneratorOptions o = pf.generateOpened(10);
    Shell sh(pf);
    sh.w().startUp();
    ASSERT_NE(sh.doc(0), nullptr);
    sh.w().selectMeasurement(7);
    EXPECT_EQ(sh.w().dataSet().currentNumber, 7);
    EXPECT_EQ(sh.panel(panel::kSno), "7(0)");

    std::vector<QString> texts;
    QObject::connect(sh.w().repetitionCombo(), &QComboBox::editTextChanged,
                     [&](const QString& t) { texts.push_back(t); });
    sh.w().repetitionCombo()->setEditText(QStringLiteral("5"));
    texts.clear();
    sh.w().runCommand(QStringLiteral("Mexecute"));
    EXPECT_EQ(sh.w().dataSet().currentNumber, 10);
    const std::vector<QString> want = {"4", "3", "2", "1", "0", "1"};
    EXPECT_EQ(texts, want);
    EXPECT_EQ(sh.w().repetitionCombo()->currentText(), QStringLiteral("1"));
    EXPECT_EQ(sh.panel(panel::kSno), "10(0)");
    EXPECT_EQ(sh.w().hScroll1()->value(), 10);
    // The raw table follows: it shows burst 10 now.
    EXPECT_EQ(sh.doc(0)->richTextBox1()->toPlainText().toStdString(),
              expectedRawTable(synth::generateBurst(o, 10), pf.channelTable()));

    sh.w().repetitionCombo()->setEditText(QStringLiteral("3"));
    sh.w().runCommand(QStringLiteral("Bbackexe"));
    EXPECT_EQ(sh.w().dataSet().currentNumber, 10);  // a button name is not a command
    sh.w().toolButton(QStringLiteral("Bbackexe"))->click();
    EXPECT_EQ(sh.w().dataSet().currentNumber, 7);
    EXPECT_EQ(sh.panel(panel::kSno), "7(0)");
    EXPECT_EQ(sh.doc(0)->richTextBox1()->toPlainText().toStdString(),
              expectedRawTable(synth::generateBurst(o, 7), pf.channelTable()));

    // Backward past the first measurement stops at 1.
    sh.w().repetitionCombo()->setEditText(QStringLiteral("20"));
    sh.w().runCommand(QStringLiteral("Mbackexe"));
    EXPECT_EQ(sh.w().dataSet().currentNumber, 1);
}

TEST(MainWindow, ProcessingStepRunsTheRegisteredHooksInOrder)
{
    ProgramFolder pf;
    pf.generate(4);
    pf.setIni({{98, 0, pf.master()}});
    Shell sh(pf);
    sh.w().startUp();
    std::vector<std::string> calls;
    sh.w().processing().add(20, "spectrum", [&](ShellServices& s) {
        calls.push_back("spectrum " + std::to_string(s.dataSet().currentNumber));
    });
    sh.w().processing().add(10, "record", [&](ShellServices& s) {
        EXPECT_TRUE(s.runtime().state(statebit::kRawLoaded));
        calls.push_back("record " + std::to_string(s.dataSet().currentNumber));
    });
    sh.w().selectMeasurement(2);
    calls.clear();
    sh.w().repetitionCombo()->setEditText(QStringLiteral("2"));
    sh.w().runCommand(QStringLiteral("Mcalculate"));
    const std::vector<std::string> want = {"record 2", "spectrum 2", "record 3", "spectrum 3"};
    EXPECT_EQ(calls, want);
    EXPECT_TRUE(sh.w().runtime().state(statebit::kProcessed));
}

TEST(MainWindow, StopRequestEndsALongRun)
{
    ProgramFolder pf;
    pf.generate(40, {1}, 0, 1, 60);
    pf.setIni({{98, 0, pf.master()}});
    Shell sh(pf);
    sh.w().startUp();
    sh.w().selectMeasurement(1);
    int steps = 0;
    sh.w().processing().add(0, "count", [&](ShellServices&) {
        if (++steps == 3)
            sh.w().runCommand(QStringLiteral("Mend"));
    });
    sh.w().repetitionCombo()->setEditText(QStringLiteral("30"));
    sh.w().runCommand(QStringLiteral("Mcalculate"));
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(sh.w().dataSet().currentNumber, 3);
    EXPECT_EQ(sh.w().repetitionCombo()->currentText(), QStringLiteral("1"));
}

TEST(MainWindow, ClosingTheOnlyViewWithTheToolbarHiddenIsRefused)
{
    ProgramFolder pf;
    pf.generateOpened(3);
    Shell sh(pf);
    sh.w().startUp();
    ASSERT_NE(sh.doc(0), nullptr);
    sh.w().runCommand(QStringLiteral("Mbar"));
    EXPECT_FALSE(sh.w().toolbar()->isVisible());
    EXPECT_FALSE(sh.w().action(QStringLiteral("Mbar"))->isChecked());
    sh.prompter.shown.clear();
    sh.doc(0)->close();
    settle();
    ASSERT_NE(sh.doc(0), nullptr);
    ASSERT_EQ(sh.prompter.shown.size(), 1u);
    EXPECT_EQ(sh.prompter.shown[0].title, "VarentaK - 操作の禁止");
    EXPECT_EQ(sh.prompter.shown[0].text, "ﾂｰﾙﾊﾞｰが非表示の時は、\r\n全てのｳｨﾝﾄﾞｳを閉じることはできません");
    EXPECT_EQ(sh.prompter.shown[0].icon, MsgIcon::Warning);

    // With the toolbar back the window closes, its bit clears and its
    // position is kept in item 180.
    sh.w().runCommand(QStringLiteral("Mbar"));
    sh.doc(0)->setGeometry(12, 34, 420, 300);
    sh.doc(0)->close();
    settle();
    EXPECT_EQ(sh.doc(0), nullptr);
    EXPECT_FALSE(sh.w().runtime().state(statebit::viewBit(0)));
    EXPECT_FALSE(sh.w().runtime().state(statebit::kSaveDocGeometry));
    EXPECT_EQ(sh.w().settings().value(180, 0), "34");
    EXPECT_EQ(sh.w().settings().value(180, 1), "12");
    EXPECT_EQ(sh.w().settings().value(180, 2), "420");
    EXPECT_EQ(sh.w().settings().value(180, 3), "300");

    // Shown again, the window comes back at its place.
    sh.w().runCommand(QStringLiteral("MnumD"));
    ASSERT_NE(sh.doc(0), nullptr);
    EXPECT_EQ(sh.doc(0)->geometry(), QRect(12, 34, 420, 300));
}

TEST(MainWindow, RawTableCaretShowsTheDataNumber)
{
    ProgramFolder pf;
    pf.generateOpened(2);
    Shell sh(pf);
    sh.w().startUp();
    DocumentWindow* d = sh.doc(0);
    ASSERT_NE(d, nullptr);
    QPlainTextEdit* t = d->richTextBox1();
    // Row 2, third value (column 17): 3 values a row gives data number 8.
    QTextCursor c(t->document()->findBlockByNumber(2));
    c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 17);
    t->setTextCursor(c);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(t->viewport(), &release);
    // 0.5 s and 3 channels: 360 values a minute.
    EXPECT_EQ(sh.panel(panel::kDno), "8(00:01)");
    // Paging keys released move it too.
    QTextCursor c2(t->document()->findBlockByNumber(400));
    t->setTextCursor(c2);
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_PageDown, Qt::NoModifier);
    QCoreApplication::sendEvent(t, &up);
    EXPECT_EQ(sh.panel(panel::kDno), "1200(03:20)");
}

TEST(MainWindow, RawDataCannotBeEditedAfterProcessing)
{
    ProgramFolder pf;
    pf.generateOpened(2);
    Shell sh(pf);
    sh.w().startUp();
    DocumentWindow* d = sh.doc(0);
    ASSERT_NE(d, nullptr);
    QPlainTextEdit* t = d->richTextBox1();
    const QString before = t->toPlainText();
    sh.w().runtime().setState(statebit::kProcessed, true);
    t->setFocus();
    QKeyEvent key(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"));
    QCoreApplication::sendEvent(t, &key);
    EXPECT_EQ(t->toPlainText(), before);
    ASSERT_EQ(sh.prompter.shown.size(), 1u);
    EXPECT_EQ(sh.prompter.shown[0].title, "VarentaK - 操作の禁止");
    EXPECT_EQ(sh.prompter.shown[0].text, "処理後の生ﾃﾞｰﾀは、修正できません。");
    EXPECT_FALSE(d->edited());

    // Before processing the key goes in and marks the table edited.
    sh.w().runtime().setState(statebit::kProcessed, false);
    QKeyEvent key2(QEvent::KeyPress, Qt::Key_5, Qt::NoModifier, QStringLiteral("5"));
    QCoreApplication::sendEvent(t, &key2);
    EXPECT_NE(t->toPlainText(), before);
    EXPECT_TRUE(d->edited());
}

TEST(MainWindow, ScrollBarSelectsTheMeasurement)
{
    ProgramFolder pf;
    const synth::GeneratorOptions o = pf.generateOpened(12);
    Shell sh(pf);
    sh.w().startUp();
    ASSERT_EQ(sh.w().hScroll1()->maximum(), 12);
    sh.w().hScroll1()->setValue(4);
    EXPECT_EQ(sh.w().dataSet().currentNumber, 4);
    EXPECT_EQ(sh.panel(panel::kSno), "4(0)");
    EXPECT_EQ(sh.doc(0)->richTextBox1()->toPlainText().toStdString(),
              expectedRawTable(synth::generateBurst(o, 4), pf.channelTable()));
    EXPECT_TRUE(sh.w().hScroll1()->isEnabled());
    EXPECT_FALSE(sh.w().runtime().state(statebit::kStepping));
}

TEST(MainWindow, RightClickOnTheStatusBarOffersOnlyHelp)
{
    ProgramFolder pf;
    pf.generateOpened(2);
    Shell sh(pf);
    sh.w().startUp();
    QLabel* status = sh.w().panelLabel(panel::kStatus);
    QContextMenuEvent ev(QContextMenuEvent::Mouse, QPoint(2, 2), status->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(status, &ev);
    QMenu* m = sh.w().popupMenu();
    ASSERT_TRUE(m->isVisible());
    for (const char* n : {"MPexecute", "MPcalculate", "MPcset", "MPewrite", "MPmodifi", "MPcopy"})
        EXPECT_FALSE(sh.w().action(QString::fromLatin1(n))->isEnabled()) << n;
    EXPECT_FALSE(m->findChild<QMenu*>(QStringLiteral("MPzm"))->isEnabled());
    EXPECT_TRUE(sh.w().action(QStringLiteral("MPhelp"))->isEnabled());
    EXPECT_EQ(sh.w().popupContext(), 1018);
    m->close();
    sh.w().action(QStringLiteral("MPhelp"))->trigger();
    ASSERT_NE(sh.w().helpViewer(), nullptr);
    EXPECT_TRUE(sh.w().helpViewer()->currentFile().endsWith(QStringLiteral("help/tolvd/ToolBar.htm")));
    EXPECT_TRUE(QFileInfo::exists(sh.w().helpViewer()->currentFile()));

    // No view open and no file-level state: no menu at all.
    sh.w().runCommand(QStringLiteral("Mclose"));
    settle();
    QContextMenuEvent ev2(QContextMenuEvent::Mouse, QPoint(2, 2), status->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(status, &ev2);
    EXPECT_FALSE(m->isVisible());
}

TEST(MainWindow, ExitAsksWhileAutomaticFunctionsRun)
{
    ProgramFolder pf;
    Shell sh(pf);
    sh.w().startUp();
    // Nothing automatic: closing asks nothing.
    {
        ProgramFolder pf2;
        Shell quiet(pf2);
        quiet.w().startUp();
        quiet.w().close();
        EXPECT_TRUE(quiet.prompter.shown.empty());
        EXPECT_FALSE(quiet.w().isVisible());
    }
    sh.w().runtime().autoWord = autofn::kProcessing | autofn::kDownload;
    sh.w().timer1()->start();
    sh.prompter.answers = {MsgAnswer::Cancel, MsgAnswer::No};
    sh.w().close();
    ASSERT_EQ(sh.prompter.shown.size(), 1u);
    EXPECT_EQ(sh.prompter.shown[0].title, "自動機能停止の警告");
    EXPECT_EQ(sh.prompter.shown[0].text.rfind("自動処理､自動ダウンロード､機能が作動しています。 終了してもよろしいですか？", 0), 0u);
    EXPECT_EQ(sh.prompter.shown[0].buttons, MsgButtons::YesNoCancel);
    EXPECT_EQ(sh.prompter.shown[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(sh.w().isVisible());
    // No: minimised, timers keep running.
    sh.w().close();
    EXPECT_TRUE(sh.w().isMinimized());
    EXPECT_TRUE(sh.w().timer1()->isActive());
    EXPECT_TRUE(sh.w().isVisible());
    // Yes: the settings are saved and the window closes.
    sh.prompter.answers = {MsgAnswer::Yes};
    sh.w().close();
    EXPECT_FALSE(sh.w().isVisible());
    EXPECT_FALSE(sh.w().timer1()->isActive());
    Settings saved;
    ASSERT_EQ(saved.load(pf.path("tolvi.ini")), Status::Ok);
    EXPECT_EQ(saved.hex(85, 4) & (autofn::kProcessing | autofn::kDownload), autofn::kProcessing | autofn::kDownload);
}

TEST(MainWindow, AutomaticFunctionsRunTheSchedulerAndTheClock)
{
    ProgramFolder pf;
    pf.setIni({{85, 4, "8"}, {67, 5, "0"}, {67, 6, "9"}, {67, 7, "31"}, {68, 4, "60"}});
    Shell sh(pf, "40");  // no exit question in this test
    std::vector<std::string> processed;
    sh.w().schedulerJobs().processing = [&](const std::string& p) { processed.push_back(p); };
    sh.w().startUp();
    EXPECT_TRUE(sh.w().timer1()->isActive());
    EXPECT_TRUE(sh.w().timer3()->isActive());
    EXPECT_EQ(sh.panel(panel::kRtime), "09:30:00");
    // The schedule was aligned at load: 09:31 stays the next time.
    sh.clock.set(DateTime{2026, 5, 8, 9, 31, 0, 0});
    sh.w().timer1()->setInterval(5);
    sh.w().timer3()->setInterval(5);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 100)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(processed.size(), 1u);
    EXPECT_EQ(sh.w().settings().integer(67, 6), 10);
    EXPECT_EQ(sh.w().settings().integer(67, 7), 31);
    EXPECT_EQ(sh.panel(panel::kRtime), "09:31:00");

    ProgramFolder pf2;
    Shell off(pf2);
    off.w().startUp();
    EXPECT_FALSE(off.w().timer1()->isActive());
    EXPECT_FALSE(off.w().timer3()->isActive());
    EXPECT_EQ(off.panel(panel::kRtime), "09:30");
}

TEST(MainWindow, MenusToolbarAndPanelsAreComplete)
{
    ProgramFolder pf;
    Shell sh(pf);
    sh.w().startUp();
    EXPECT_EQ(sh.w().objectName(), QStringLiteral("MDIForm1"));
    // Every entry of the menu bar under its menu, in menu order.
    struct Item {
        const char* menu;  // title of the menu that holds it
        const char* name;
        const char* caption;
        QKeySequence key;
        bool visible;
        int help;
    };
    const QKeySequence none;
    const auto ctrl = [](Qt::Key k) { return QKeySequence(Qt::CTRL | k); };
    const auto shift = [](Qt::Key k) { return QKeySequence(Qt::SHIFT | k); };
    const QKeySequence f2(Qt::Key_F2), f3(Qt::Key_F3), f4(Qt::Key_F4), f5(Qt::Key_F5), f6(Qt::Key_F6),
        f7(Qt::Key_F7), f8(Qt::Key_F8), f9(Qt::Key_F9), f11(Qt::Key_F11), f12(Qt::Key_F12);
    const Item items[] = {
        {"ファイル(&F)", "Mopen", "開く(&O)", ctrl(Qt::Key_O), true, 1010},
        {"ファイル(&F)", "Mclose", "閉じる(&C)", none, true, 1010},
        {"ファイル(&F)", "Muser", "ユーザーフォルダの作成(&U)", none, false, 0},
        {"ファイル(&F)", "Mnew", "ファイルの更新(&N)", f5, true, 1010},
        {"ファイル(&F)", "Minit", "初期化(&I)", f9, true, 1010},
        {"ファイル(&F)", "Mmodifi", "上書き保存(&S)", ctrl(Qt::Key_S), true, 1010},
        {"ファイル(&F)", "Mewrite", "行のエラー値上書き保存(&E)", f2, true, 1010},
        {"ファイル(&F)", "Msave", "名前を付けて保存(&A)", none, true, 1010},
        {"ファイル(&F)", "Mbackup", "バックアップ(&B)", none, true, 1010},
        {"ファイル(&F)", "Mmove", "ファイルムーブ(&V)", none, true, 1010},
        {"ファイル(&F)", "Mprint", "印刷(&P)", none, true, 1009},
        {"ファイル(&F)", "Mtrans", "送信(&T)", none, false, 1008},
        {"ファイル(&F)", "MTimeEditor", "測定時間－測定間隔の編集(&G)", none, true, 0},
        {"ファイル(&F)", "Mdate", "測定日時の更新(&D)", none, true, 1010},
        {"ファイル(&F)", "Mtext", "テキストデータファイルに変換(&F)", none, true, 0},
        {"ファイル(&F)", "MnetCDF", "NetCDF形式で出力", none, true, 0},
        {"ファイル(&F)", "MMfileSize", "ファイルのサイズ変更(&Z)", none, true, 0},
        {"ファイル(&F)", "Mfinal", "Varentaの終了(&X)", none, true, 0},
        {"拡大(&Z)", "Mzoom", "X軸(&X)", f4, true, 1010},
        {"拡大(&Z)", "MzoomY", "Y軸(&Y)", shift(Qt::Key_F4), true, 1010},
        {"縮小(&U)", "MzoomU", "X軸(&X)", f3, true, 1010},
        {"縮小(&U)", "MzoomYU", "Y軸(&Y)", shift(Qt::Key_F3), true, 1010},
        {"編集(&E)", "Mcut", "切り取り(&T)", ctrl(Qt::Key_X), true, 1010},
        {"編集(&E)", "Mcopy", "コピー(&C)", ctrl(Qt::Key_C), true, 1010},
        {"編集(&E)", "Mpast", "貼り付け(&P)", ctrl(Qt::Key_V), true, 1010},
        {"編集(&E)", "Mfont", "フォント(&F)", none, true, 1010},
        {"編集(&E)", "Mbackcolor", "背景色(&B)", none, true, 1010},
        {"編集(&E)", "Mselall", "すべてを選択(&A)", ctrl(Qt::Key_A), true, 1010},
        {"表示(&V)", "Mreexecute", "再表示(&E)", f11, true, 1010},
        {"表示(&V)", "MnumR", "処理結果表(&R)", none, true, 1005},
        {"表示(&V)", "MgraphR", "処理結果のグラフ(&S)", none, true, 1004},
        {"表示(&V)", "MnumD", "生データ表(&N)", none, true, 1003},
        {"表示(&V)", "MgraphD", "生データのグラフ(&G)", none, true, 1002},
        {"表示(&V)", "MxyGraph", "成分流速２次元グラフ(X&)", none, true, 0},
        {"表示(&V)", "Mpower", "パワースペクトル(&P)", none, true, 1006},
        {"表示(&V)", "Mdir3d", "方向スペクトル３Ｄグラフ(&T)", none, false, 0},
        {"表示(&V)", "MdirConta", "方向スペクトルコンタグラフ(&C)", none, false, 0},
        {"表示(&V)", "MnvOctave", "１／３オクターブグラフ(&O)", none, false, 0},
        {"表示(&V)", "MnvRawGraph", "騒音振動波形データのグラフ(&A)", none, false, 0},
        {"表示(&V)", "MnvRawNum", "騒音振動波形データ表(&V)", none, false, 0},
        {"表示(&V)", "Mbar", "ツールバー(&L)", none, true, 1010},
        {"表示(&V)", "Mstatus", "ステータスバー(&B)", none, true, 1010},
        {"表示(&V)", "Mscroll", "スクロールバー(&D)", none, true, 1010},
        {"処理(&P)", "Mexecute", "表示の実行(&E)", f8, true, 1010},
        {"処理(&P)", "Mbackexe", "表示の逆行(&B)", f6, true, 1010},
        {"処理(&P)", "Mcalculate", "処理の実行(&F)", f12, true, 1007},
        {"処理(&P)", "Mend", "中止(&C)", f7, true, 1010},
        {"処理(&P)", "Mcset", "条件の設定(&J)", none, true, 1007},
        {"ウィンドウ(&W)", "Mcascade", "重ねて表示(&C)", ctrl(Qt::Key_R), true, 1010},
        {"ウィンドウ(&W)", "Mtile", "並べて表示(&T)", ctrl(Qt::Key_T), true, 1010},
        {"ウィンドウ(&W)", "MtileV", "縦に並べて表示(&V)", ctrl(Qt::Key_Y), true, 1010},
        {"ウィンドウ(&W)", "Mbarrier", "保護状態(&B)", none, true, 1010},
        {"ヘルプ(&H)", "Mtopic", "トピックの検索(&H)", none, true, 1001},
        {"ヘルプ(&H)", "Mversion", "バージョン情報(&V)", none, true, 0},
    };
    std::map<QString, QStringList> order;  // menu title -> entry names as listed
    for (const Item& it : items) {
        auto* a = sh.w().findChild<QAction*>(QString::fromLatin1(it.name));
        ASSERT_NE(a, nullptr) << it.name;
        EXPECT_EQ(a, sh.w().action(QString::fromLatin1(it.name))) << it.name;
        EXPECT_EQ(a->text(), QString::fromUtf8(it.caption)) << it.name;
        EXPECT_EQ(a->shortcut(), it.key) << it.name;
        EXPECT_EQ(a->isVisible(), it.visible) << it.name;
        EXPECT_EQ(a->property("helpContext").toInt(), it.help) << it.name;
        order[QString::fromUtf8(it.menu)] << QString::fromLatin1(it.name);
    }
    // The menus and the order of their named entries.
    const std::pair<const char*, int> menus[] = {{"ファイル(&F)", 1010}, {"編集(&E)", 1010}, {"表示(&V)", 1010},
                                                 {"処理(&P)", 0},       {"ウィンドウ(&W)", 0}, {"ヘルプ(&H)", 0},
                                                 {"拡大(&Z)", 0},       {"縮小(&U)", 0}};
    QStringList barTitles;
    for (QAction* a : sh.w().menuBar()->actions())
        barTitles << a->text();
    EXPECT_EQ(barTitles, (QStringList{"ファイル(&F)", "編集(&E)", "表示(&V)", "処理(&P)", "ウィンドウ(&W)", "ヘルプ(&H)"}));
    for (const auto& [title, help] : menus) {
        QMenu* menu = nullptr;
        for (QMenu* m : sh.w().findChildren<QMenu*>())
            if (m->title() == QString::fromUtf8(title) && m != sh.w().popupMenu() &&
                m->parent() != sh.w().popupMenu())
                menu = m;
        ASSERT_NE(menu, nullptr) << title;
        if (help)
            EXPECT_EQ(menu->property("helpContext").toInt(), help) << title;
        QStringList names;
        for (QAction* a : menu->actions())
            if (!a->isSeparator() && !a->menu())
                names << a->objectName();
        EXPECT_EQ(names, order[QString::fromUtf8(title)]) << title;
    }

    // The right-click menu: never on the menu bar, every entry disabled
    // until a window shows it.
    QMenu* popup = sh.w().findChild<QMenu*>(QStringLiteral("Mpopup"));
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup, sh.w().popupMenu());
    EXPECT_EQ(popup->title(), QStringLiteral("ポップアップ(&P)"));
    for (QAction* a : sh.w().menuBar()->actions())
        EXPECT_NE(a->menu(), popup);
    struct PopupItem {
        const char* parent;
        const char* name;
        const char* caption;
    };
    const PopupItem popupItems[] = {
        {"Mpopup", "MPexecute", "再表示(&E)"}, {"Mpopup", "MPzm", "拡大(&Z)"},
        {"MPzm", "MPzoom", "X軸(&X)"},         {"MPzm", "MPzoomY", "Y軸(&Y)"},
        {"Mpopup", "MPzmU", "縮小(&U)"},       {"MPzmU", "MPzoomU", "X軸(&X)"},
        {"MPzmU", "MPzoomYU", "Y軸(&Y)"},      {"Mpopup", "MPcalculate", "再処理(&F)"},
        {"Mpopup", "MPcset", "条件の設定(&J)"}, {"Mpopup", "MPmodifi", "上書き保存(&S)"},
        {"Mpopup", "MPewrite", "行のエラー値上書き保存(&E)"}, {"Mpopup", "MPcopy", "コピー(&C)"},
        {"Mpopup", "MPhelp", "ヘルプ(&H)"},
    };
    std::map<QString, QStringList> popupOrder;
    for (const PopupItem& it : popupItems) {
        const QString name = QString::fromLatin1(it.name);
        popupOrder[QString::fromLatin1(it.parent)] << name;
        if (auto* sub = popup->findChild<QMenu*>(name)) {
            EXPECT_EQ(sub->title(), QString::fromUtf8(it.caption)) << it.name;
            EXPECT_FALSE(sub->isEnabled()) << it.name;
            continue;
        }
        auto* a = popup->findChild<QAction*>(name);
        ASSERT_NE(a, nullptr) << it.name;
        EXPECT_EQ(a->text(), QString::fromUtf8(it.caption)) << it.name;
        EXPECT_FALSE(a->isEnabled()) << it.name;
    }
    for (const auto& [parent, names] : popupOrder) {
        QMenu* m = parent == QLatin1String("Mpopup") ? popup : popup->findChild<QMenu*>(parent);
        ASSERT_NE(m, nullptr);
        QStringList listed;
        for (QAction* a : m->actions())
            if (!a->isSeparator())
                listed << (a->menu() ? a->menu()->objectName() : a->objectName());
        EXPECT_EQ(listed, names) << parent.toStdString();
    }

    // The toolbar: every button by key with its tooltip, in order, the
    // repetition box between the processing and the backward button.
    const std::pair<const char*, const char*> buttons[] = {
        {"Bopen", "ファイルを開く"},
        {"Bmodifi", "編集したデータの上書き保存"},
        {"Bnew", "ファイルの更新"},
        {"BnumD", "生データ表の表示"},
        {"BgraphD", "生データグラフの表示"},
        {"Bplot", "成分流速２次元グラフの表示"},
        {"BpowerD", "パワースペクトルグラフの表示"},
        {"B3dgraph", "方向スペクトル３Ｄグラフの表示"},
        {"BContourGraph", "方向スペクトルコンターグラフの表示"},
        {"BnumR", "処理結果表の表示"},
        {"BgraphR", "処理結果グラフの表示"},
        {"BNvtext", "騒音振動波形データ表の表示"},
        {"Braw", "騒音振動波形データグラフの表示"},
        {"Bbargraph", "１／３オクターブグラフの表示"},
        {"Bcset", "処理、表、グラフ、インターネット、印刷の条件の設定"},
        {"Bcalculate", "今の測定番号から、右の指定回数だけ、処理を実行"},
        {"Combo1", "処理(表示)の実行回数の指定"},
        {"Bbackexe", "今の測定番号から、左の指定回数だけ、もどして表示"},
        {"Bend", "処理や表示の中止"},
        {"Bexecute", "今の測定番号から、左の指定回数だけ、先へ表示"},
        {"Bleft", "波形データを後に移動"},
        {"Bright", "波形データを前に移動"},
        {"Bup", "生データグラフの表示チャンネルのアップ"},
        {"Bdown", "生データグラフの表示チャンネルのダウン"},
        {"Bcascade", "ウィンドウを重ねて表示"},
        {"Btile", "ウィンドウを横並べて表示"},
        {"Bline", "ウィンドウを縦に並べて表示"},
    };
    QStringList onBar, expectedBar;
    for (QAction* a : sh.w().toolbar()->actions())
        if (QWidget* wdg = sh.w().toolbar()->widgetForAction(a); wdg && !a->isSeparator())
            onBar << wdg->objectName();
    for (const auto& [key, tip] : buttons) {
        expectedBar << QString::fromLatin1(key);
        auto* wdg = sh.w().toolbar()->findChild<QWidget*>(QString::fromLatin1(key));
        ASSERT_NE(wdg, nullptr) << key;
        EXPECT_EQ(wdg->toolTip(), QString::fromUtf8(tip)) << key;
        if (auto* b = qobject_cast<QToolButton*>(wdg)) {
            EXPECT_EQ(b, sh.w().toolButton(QString::fromLatin1(key))) << key;
            EXPECT_FALSE(b->icon().isNull()) << key;
        }
    }
    EXPECT_EQ(onBar, expectedBar);
    // Buttons without a command do nothing and say so by being disabled.
    for (const char* k : {"BNvtext", "Braw", "Bbargraph", "Bleft", "Bright"})
        EXPECT_FALSE(sh.w().toolButton(QString::fromLatin1(k))->isEnabled()) << k;
    // Views that are not built are not offered; the raw table is.
    EXPECT_TRUE(sh.w().action(QStringLiteral("MnumD"))->isEnabled());
    EXPECT_TRUE(sh.w().toolButton(QStringLiteral("BnumD"))->isEnabled());

    QComboBox* c = sh.w().repetitionCombo();
    EXPECT_EQ(c->toolTip(), QStringLiteral("処理(表示)の実行回数の指定"));
    EXPECT_EQ(c, sh.w().findChild<QComboBox*>(QStringLiteral("Combo1")));
    QStringList presets;
    for (int i = 0; i < c->count(); ++i)
        presets << c->itemText(i);
    EXPECT_EQ(presets, (QStringList{"1", "6", "10", "12", "20", "24", "50", "100", "200", "300", "500", "1000",
                                    "2000", "3000", "5000"}));
    EXPECT_EQ(c->currentText(), QStringLiteral("1"));
    EXPECT_TRUE(c->isEditable());

    const std::pair<const char*, const char*> tips[] = {
        {"Mno", "機械番号 - 最終収録測定番号(測定時間/測定間隔)"},
        {"Sno", "測定番号（エラー数）"},
        {"Dno", "データ番号 (測定開始時刻からの経過時間 分 : 秒)"},
        {"Date", "測定年月日"},
        {"Time", "測定開始時刻"},
        {"Status", "プログラムの作業状況"},
        {"Rtime", "パソコンの時刻（自動機能作動時は、秒まで表示）"},
    };
    QStringList panelOrder, expectedOrder;
    for (QLabel* l : sh.w().statusBar()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        if (!l->objectName().isEmpty())
            panelOrder << l->objectName();
    for (const auto& [key, tip] : tips) {
        expectedOrder << QString::fromLatin1(key);
        QLabel* l = sh.w().panelLabel(key);
        ASSERT_NE(l, nullptr) << key;
        EXPECT_EQ(l, sh.w().statusBar()->findChild<QLabel*>(QString::fromLatin1(key))) << key;
        EXPECT_EQ(l->toolTip(), QString::fromUtf8(tip)) << key;
    }
    EXPECT_EQ(panelOrder, expectedOrder);
    EXPECT_EQ(sh.w().statusBar()->objectName(), QStringLiteral("StatusBar1"));
    // The three timers, off while no automatic function is on.
    const std::pair<const char*, int> timers[] = {{"Timer1", 300}, {"Timer2", 5000}, {"Timer3", 500}};
    for (const auto& [name, ms] : timers) {
        auto* t = sh.w().findChild<QTimer*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
        ASSERT_NE(t, nullptr) << name;
        EXPECT_EQ(t->interval(), ms) << name;
        EXPECT_FALSE(t->isActive()) << name;
    }
    EXPECT_EQ(sh.w().findChild<QWidget*>(QStringLiteral("Picture1")), sh.w().scrollStrip());
    EXPECT_EQ(sh.w().scrollStrip()->findChild<QScrollBar*>(QStringLiteral("HScroll1")), sh.w().hScroll1());
    EXPECT_EQ(sh.w().toolbar()->objectName(), QStringLiteral("Toolbar1"));
    EXPECT_EQ(sh.w().hScroll1()->objectName(), QStringLiteral("HScroll1"));
    // The scroll bar leaves 240 pixels of the strip free.
    sh.w().scrollStrip()->resize(800, 20);
    settle();
    EXPECT_EQ(sh.w().hScroll1()->width(), 560);
}

TEST(MainWindow, CommandsOfOtherPartsComeAliveWhenRegistered)
{
    ProgramFolder pf;
    Shell sh(pf);
    sh.w().startUp();
    EXPECT_FALSE(sh.w().action(QStringLiteral("Mprint"))->isEnabled());
    int printed = 0;
    sh.w().setCommand(QStringLiteral("Mprint"), [&] { ++printed; });
    EXPECT_TRUE(sh.w().action(QStringLiteral("Mprint"))->isEnabled());
    sh.w().action(QStringLiteral("Mprint"))->trigger();
    EXPECT_EQ(printed, 1);
    // The conditions button follows its menu item.
    EXPECT_FALSE(sh.w().toolButton(QStringLiteral("Bcset"))->isEnabled());
    int conditions = 0;
    sh.w().setCommand(QStringLiteral("Mcset"), [&] { ++conditions; });
    EXPECT_TRUE(sh.w().toolButton(QStringLiteral("Bcset"))->isEnabled());
    sh.w().toolButton(QStringLiteral("Bcset"))->click();
    EXPECT_EQ(conditions, 1);
}

TEST(MainWindow, ChannelStepWrapsTheLanes)
{
    ProgramFolder pf;
    pf.generate(2, {1, 2, 3});
    pf.setIni({{98, 0, pf.master()}, {170, 0, "1"}, {171, 0, "1"}, {172, 0, "0"}, {178, 0, "2"}, {178, 1, "0"},
               {178, 2, "1"}});
    Shell sh(pf);
    sh.w().startUp();
    sh.w().runCommand(QStringLiteral("Bup"));
    EXPECT_EQ(sh.w().dataSet().graphChannel[0], 0);
    EXPECT_EQ(sh.w().dataSet().graphChannel[1], 1);
    EXPECT_EQ(sh.w().dataSet().graphChannel[2], 1);
    sh.w().runCommand(QStringLiteral("Bdown"));
    sh.w().runCommand(QStringLiteral("Bdown"));
    EXPECT_EQ(sh.w().dataSet().graphChannel[0], 1);
    EXPECT_EQ(sh.w().dataSet().graphChannel[1], 2);
    EXPECT_EQ(sh.w().settings().value(178, 1), "2");
}

TEST(MainWindow, VersionTextFollowsTheStartFlags)
{
    ProgramFolder pf;
    Shell sh(pf, "3");
    sh.w().startUp();
    EXPECT_TRUE(sh.w().startOptions().has(startflag::kFolderInit));
    QString text;
    QTimer::singleShot(50, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("Form6") && w->isVisible()) {
                text = w->findChild<QLabel*>(QStringLiteral("Label1"))->text();
                w->close();
            }
    });
    sh.w().runCommand(QStringLiteral("Mversion"));
    EXPECT_EQ(text, QStringLiteral("VarentaK Version 4.8.241w"));
}

TEST(MainWindow, ModelMismatchIsReportedThroughThePrompter)
{
    ProgramFolder pf;
    pf.generate(3);  // model 60
    Shell sh(pf);
    sh.w().startUp();
    sh.nextOpen = pf.master();
    sh.w().runCommand(QStringLiteral("Mopen"));
    EXPECT_EQ(sh.w().dataSet().currentNumber, 3);
    // A file of model 23 opened after closing the first is refused.
    synth::GeneratorOptions o;
    o.plan.bursts = 2;
    o.plan.modelCode = 23;
    o.fidelity = synth::Fidelity::Cheap;
    ASSERT_EQ(synth::writeMasterPair(pf.dir.string(), "NR023", o), Status::Ok);
    sh.w().runCommand(QStringLiteral("Mclose"));
    sh.nextOpen = pf.path("NR023M.H10");
    sh.w().runCommand(QStringLiteral("Mopen"));
    ASSERT_FALSE(sh.prompter.shown.empty());
    EXPECT_EQ(sh.prompter.shown.back().title, "VarentaK - 操作の注意");
    EXPECT_EQ(sh.prompter.shown.back().text,
              "異なる機種のファイルを開きました。適切な初期化(F9)をしてから開いてください。");
    EXPECT_FALSE(sh.w().dataSet().hasMeasurementFile);
    EXPECT_EQ(sh.panel(panel::kStatus), "");
}

TEST(MainWindow, GeometryIsSavedOnExitAndRestoredAtStart)
{
    ProgramFolder pf;
    pf.generateOpened(2);
    {
        Shell sh(pf);
        sh.w().startUp();
        sh.w().setGeometry(40, 30, 700, 500);
        ASSERT_NE(sh.doc(0), nullptr);
        sh.doc(0)->setGeometry(5, 6, 400, 300);  // inside the document area
        sh.w().close();
    }
    Settings s;
    ASSERT_EQ(s.load(pf.path("tolvi.ini")), Status::Ok);
    EXPECT_EQ(s.value(88, 0), "30");
    EXPECT_EQ(s.value(88, 1), "40");
    EXPECT_EQ(s.value(88, 2), "700");
    EXPECT_EQ(s.value(88, 3), "500");
    EXPECT_EQ(s.value(180, 0), "6");
    EXPECT_EQ(s.value(180, 2), "400");
    EXPECT_EQ(s.hex(89, 0) & 0x100u, 0x100u);
    EXPECT_EQ(s.trimmed(98, 0), pf.master());

    Shell again(pf);
    again.w().startUp();
    EXPECT_EQ(again.w().geometry(), QRect(40, 30, 700, 500));
    ASSERT_NE(again.doc(0), nullptr);
    EXPECT_EQ(again.doc(0)->geometry(), QRect(5, 6, 400, 300));
}

TEST(MainWindow, ProtectionKeepsTheSettingsFile)
{
    ProgramFolder pf;
    Shell sh(pf);
    sh.w().startUp();
    EXPECT_FALSE(sh.w().action(QStringLiteral("Mbarrier"))->isChecked());
    sh.w().runCommand(QStringLiteral("Mbarrier"));
    EXPECT_TRUE(sh.w().action(QStringLiteral("Mbarrier"))->isChecked());
    EXPECT_EQ(sh.panel(panel::kStatus), "保存終了");
    std::string before;
    ASSERT_EQ(readFileBytes(pf.path("tolvi.ini"), before), Status::Ok);
    sh.w().setGeometry(11, 12, 700, 500);
    sh.w().close();
    std::string after;
    ASSERT_EQ(readFileBytes(pf.path("tolvi.ini"), after), Status::Ok);
    EXPECT_EQ(before, after);

    // Start flag 0x20 starts protected, with the mark set.
    ProgramFolder pf2;
    Shell prot(pf2, "20");
    prot.w().startUp();
    EXPECT_TRUE(prot.w().action(QStringLiteral("Mbarrier"))->isChecked());
    EXPECT_FALSE(prot.w().action(QStringLiteral("Mtrans"))->isVisible());
}

TEST(MainWindow, RefreshReadsBurstsAddedSinceOpening)
{
    ProgramFolder pf;
    pf.generate(5);
    pf.setIni({{98, 0, pf.master()}});
    Shell sh(pf);
    sh.w().startUp();
    EXPECT_EQ(sh.panel(panel::kMno), "No.12-5 20/60");
    pf.generate(8);
    sh.w().runCommand(QStringLiteral("Mnew"));
    EXPECT_EQ(sh.panel(panel::kMno), "No.12-8 20/60");
    EXPECT_EQ(sh.w().dataSet().currentNumber, 8);
    EXPECT_EQ(sh.w().hScroll1()->maximum(), 8);
}

TEST(MainWindow, InitializationAsksForAVariantAndReopensTheFile)
{
    ProgramFolder pf;
    pf.generate(3);
    pf.setIni({{98, 0, pf.master()}});
    Shell sh(pf);
    sh.w().startUp();
    // Cancelled: nothing changes.
    sh.prompter.replies = {"can"};
    sh.w().runCommand(QStringLiteral("Minit"));
    ASSERT_EQ(sh.prompter.shown.size(), 1u);
    EXPECT_TRUE(sh.prompter.shown[0].question);
    EXPECT_EQ(sh.prompter.shown[0].title, "アプリケーションの初期化 ");
    EXPECT_EQ(sh.w().dataSet().measurementPath, pf.master());
    // Variant 01: copied over the template and the settings file, the file
    // open before is open again.
    std::string variant;
    ASSERT_EQ(readFileBytes(pf.path("tolvi-01.org"), variant), Status::Ok);
    sh.prompter.replies = {"01"};
    sh.w().runCommand(QStringLiteral("Minit"));
    std::string org;
    ASSERT_EQ(readFileBytes(pf.path("tolvi.org"), org), Status::Ok);
    EXPECT_EQ(org, variant);
    EXPECT_EQ(sh.w().dataSet().measurementPath, pf.master());
    EXPECT_EQ(sh.panel(panel::kMno), "No.12-3 20/60");
}

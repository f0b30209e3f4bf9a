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
    const synth::GeneratorOptions o = pf.generate(6);
    pf.setIni({{98, 0, pf.master()}, {89, 0, "100"}});
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
    const synth::GeneratorOptions o = pf.generate(10);
    pf.setIni({{98, 0, pf.master()}, {89, 0, "100"}});
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
    pf.generate(3);
    pf.setIni({{98, 0, pf.master()}, {89, 0, "100"}});
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
    pf.generate(2);
    pf.setIni({{98, 0, pf.master()}, {89, 0, "100"}});
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
    pf.generate(2);
    pf.setIni({{98, 0, pf.master()}, {89, 0, "100"}});
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
    const synth::GeneratorOptions o = pf.generate(12);
    pf.setIni({{98, 0, pf.master()}, {89, 0, "100"}});
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
    pf.generate(2);
    pf.setIni({{98, 0, pf.master()}, {89, 0, "100"}});
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
    struct Item {
        const char* name;
        const char* caption;
        QKeySequence key;
        bool visible;
        int help;
    };
    const Item items[] = {
        {"Mopen", "開く(&O)", QKeySequence(Qt::CTRL | Qt::Key_O), true, 1010},
        {"Mclose", "閉じる(&C)", {}, true, 1010},
        {"Muser", "ユーザーフォルダの作成(&U)", {}, false, 0},
        {"Mnew", "ファイルの更新(&N)", QKeySequence(Qt::Key_F5), true, 1010},
        {"Minit", "初期化(&I)", QKeySequence(Qt::Key_F9), true, 1010},
        {"Mmodifi", "上書き保存(&S)", QKeySequence(Qt::CTRL | Qt::Key_S), true, 1010},
        {"Mewrite", "行のエラー値上書き保存(&E)", QKeySequence(Qt::Key_F2), true, 1010},
        {"Mprint", "印刷(&P)", {}, true, 1009},
        {"Mtrans", "送信(&T)", {}, false, 1008},
        {"MTimeEditor", "測定時間－測定間隔の編集(&G)", {}, true, 0},
        {"Mfinal", "Varentaの終了(&X)", {}, true, 0},
        {"Mzoom", "X軸(&X)", QKeySequence(Qt::Key_F4), true, 1010},
        {"MzoomYU", "Y軸(&Y)", QKeySequence(Qt::SHIFT | Qt::Key_F3), true, 1010},
        {"Mselall", "すべてを選択(&A)", QKeySequence(Qt::CTRL | Qt::Key_A), true, 1010},
        {"Mreexecute", "再表示(&E)", QKeySequence(Qt::Key_F11), true, 1010},
        {"MnumD", "生データ表(&N)", {}, true, 1003},
        {"MxyGraph", "成分流速２次元グラフ(X&)", {}, true, 0},
        {"Mdir3d", "方向スペクトル３Ｄグラフ(&T)", {}, false, 0},
        {"MnvRawNum", "騒音振動波形データ表(&V)", {}, false, 0},
        {"Mscroll", "スクロールバー(&D)", {}, true, 1010},
        {"Mexecute", "表示の実行(&E)", QKeySequence(Qt::Key_F8), true, 1010},
        {"Mbackexe", "表示の逆行(&B)", QKeySequence(Qt::Key_F6), true, 1010},
        {"Mcalculate", "処理の実行(&F)", QKeySequence(Qt::Key_F12), true, 1007},
        {"Mend", "中止(&C)", QKeySequence(Qt::Key_F7), true, 1010},
        {"Mcset", "条件の設定(&J)", {}, true, 1007},
        {"MtileV", "縦に並べて表示(&V)", QKeySequence(Qt::CTRL | Qt::Key_Y), true, 1010},
        {"Mbarrier", "保護状態(&B)", {}, true, 1010},
        {"Mtopic", "トピックの検索(&H)", {}, true, 1001},
        {"Mversion", "バージョン情報(&V)", {}, true, 0},
        {"MPcalculate", "再処理(&F)", {}, true, 0},
    };
    for (const Item& it : items) {
        QAction* a = sh.w().action(QString::fromLatin1(it.name));
        ASSERT_NE(a, nullptr) << it.name;
        EXPECT_EQ(a->text(), QString::fromUtf8(it.caption)) << it.name;
        EXPECT_EQ(a->shortcut(), it.key) << it.name;
        EXPECT_EQ(a->isVisible(), it.visible) << it.name;
        EXPECT_EQ(a->property("helpContext").toInt(), it.help) << it.name;
    }
    // The right-click menu is not on the menu bar.
    for (QAction* a : sh.w().menuBar()->actions())
        EXPECT_NE(a->menu(), sh.w().popupMenu());

    const char* keys[] = {"Bopen",  "Bmodifi", "Bnew",     "BnumD",   "BgraphD",   "Bplot",  "BpowerD",
                          "B3dgraph", "BContourGraph", "BnumR", "BgraphR", "BNvtext", "Braw", "Bbargraph",
                          "Bcset",  "Bcalculate", "Bbackexe", "Bend", "Bexecute", "Bleft", "Bright",
                          "Bup",    "Bdown",   "Bcascade", "Btile",   "Bline"};
    for (const char* k : keys) {
        QToolButton* b = sh.w().toolButton(QString::fromLatin1(k));
        ASSERT_NE(b, nullptr) << k;
        EXPECT_FALSE(b->toolTip().isEmpty()) << k;
        EXPECT_FALSE(b->icon().isNull()) << k;
    }
    EXPECT_EQ(sh.w().toolButton(QStringLiteral("Bend"))->toolTip(), QStringLiteral("処理や表示の中止"));
    // Buttons without a command do nothing and say so by being disabled.
    for (const char* k : {"BNvtext", "Braw", "Bbargraph", "Bleft", "Bright"})
        EXPECT_FALSE(sh.w().toolButton(QString::fromLatin1(k))->isEnabled()) << k;
    // Views that are not built are not offered; the raw table is.
    EXPECT_TRUE(sh.w().action(QStringLiteral("MnumD"))->isEnabled());
    EXPECT_TRUE(sh.w().toolButton(QStringLiteral("BnumD"))->isEnabled());

    QComboBox* c = sh.w().repetitionCombo();
    EXPECT_EQ(c->toolTip(), QStringLiteral("処理(表示)の実行回数の指定"));
    EXPECT_EQ(c->count(), 15);
    EXPECT_EQ(c->itemText(14), QStringLiteral("5000"));
    EXPECT_EQ(c->currentText(), QStringLiteral("1"));

    const std::pair<const char*, const char*> tips[] = {
        {"Mno", "機械番号 - 最終収録測定番号(測定時間/測定間隔)"},
        {"Sno", "測定番号（エラー数）"},
        {"Dno", "データ番号 (測定開始時刻からの経過時間 分 : 秒)"},
        {"Date", "測定年月日"},
        {"Time", "測定開始時刻"},
        {"Status", "プログラムの作業状況"},
        {"Rtime", "パソコンの時刻（自動機能作動時は、秒まで表示）"},
    };
    for (const auto& [key, tip] : tips) {
        QLabel* l = sh.w().panelLabel(key);
        ASSERT_NE(l, nullptr) << key;
        EXPECT_EQ(l->toolTip(), QString::fromUtf8(tip)) << key;
    }
    EXPECT_EQ(sh.w().statusBar()->objectName(), QStringLiteral("StatusBar1"));
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
    pf.generate(2);
    pf.setIni({{98, 0, pf.master()}, {89, 0, "100"}});
    {
        Shell sh(pf);
        sh.w().startUp();
        sh.w().setGeometry(40, 30, 700, 500);
        ASSERT_NE(sh.doc(0), nullptr);
        sh.doc(0)->setGeometry(5, 6, 500, 400);
        sh.w().close();
    }
    Settings s;
    ASSERT_EQ(s.load(pf.path("tolvi.ini")), Status::Ok);
    EXPECT_EQ(s.value(88, 0), "30");
    EXPECT_EQ(s.value(88, 1), "40");
    EXPECT_EQ(s.value(88, 2), "700");
    EXPECT_EQ(s.value(88, 3), "500");
    EXPECT_EQ(s.value(180, 0), "6");
    EXPECT_EQ(s.value(180, 2), "500");
    EXPECT_EQ(s.hex(89, 0) & 0x100u, 0x100u);
    EXPECT_EQ(s.trimmed(98, 0), pf.master());

    Shell again(pf);
    again.w().startUp();
    EXPECT_EQ(again.w().geometry(), QRect(40, 30, 700, 500));
    ASSERT_NE(again.doc(0), nullptr);
    EXPECT_EQ(again.doc(0)->geometry(), QRect(5, 6, 500, 400));
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

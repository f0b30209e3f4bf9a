// Document windows: fonts and colours, clipboard, zoom through a graph view,
// the right-click menu of the panes, the raw table's switches.
#include "shell_fixture.h"

#include "common/ui/fontdialog.h"
#include "common/ui/qtutil.h"
#include "tolv/data/ui/picturepane.h"
#include "tolv/data/ui/rawtableview.h"
#include "tolv/shell/stepping.h"

#include <QAction>
#include <QClipboard>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

using namespace varenta;
using namespace varenta::guitest;

namespace {

// A graph view standing in for the graph parts: draws a frame and counts
// what the window asks of it.
class CountingGraph final : public ViewKind {
public:
    explicit CountingGraph(int kind) : kind_(kind) {}
    int kind() const override { return kind_; }
    void show(ShellServices& shell) override
    {
        if (DocumentWindow* w = shell.openDocumentWindow(kind_))
            draw(*w);
    }
    void refresh(ShellServices& shell, RefreshReason) override
    {
        ++refreshes;
        if (DocumentWindow* w = shell.documentWindow(kind_))
            draw(*w);
    }
    void redraw(ShellServices& shell) override
    {
        ++redraws;
        if (DocumentWindow* w = shell.documentWindow(kind_))
            draw(*w);
    }
    void graphPressed(ShellServices&, DocumentWindow&, const QPoint& p) override { pressedAt.push_back(p); }
    void scrolled(ShellServices&, DocumentWindow&, int value, bool dragging) override
    {
        scrolls.push_back({value, dragging});
    }
    void cursorMoved(ShellServices&, long long dn) override { cursors.push_back(dn); }

    int refreshes = 0, redraws = 0;
    std::vector<QPoint> pressedAt;
    std::vector<std::pair<int, bool>> scrolls;
    std::vector<long long> cursors;

private:
    void draw(DocumentWindow& w)
    {
        QImage img = w.picture1()->blankImage();
        QPainter p(&img);
        p.setPen(w.picture1()->textColour());
        p.drawRect(img.rect().adjusted(2, 2, -3, -3));
        w.picture1()->setImage(img);
    }
    int kind_;
};

struct Opened {
    ProgramFolder pf;
    std::unique_ptr<Shell> sh;
    CountingGraph* raw = nullptr;
    CountingGraph* xy = nullptr;

    explicit Opened(std::vector<std::tuple<int, int, std::string>> extra = {})
    {
        pf.generate(3);
        extra.push_back({98, 0, pf.master()});
        extra.push_back({89, 0, "100"});
        pf.setIni(extra);
        sh = std::make_unique<Shell>(pf);
        auto g1 = std::make_unique<CountingGraph>(viewkind::kRawGraph);
        auto g6 = std::make_unique<CountingGraph>(viewkind::kComponentGraph);
        raw = g1.get();
        xy = g6.get();
        sh->w().addView(std::move(g1));
        sh->w().addView(std::move(g6));
        sh->w().startUp();
    }
    MDIForm1& w() { return sh->w(); }
};

}  // namespace

TEST(DocumentWindow, FontAndColoursAreStoredPerKind)
{
    Opened o;
    DocumentWindow* d = o.sh->doc(0);
    ASSERT_NE(d, nullptr);
    o.w().mdiArea()->setActiveSubWindow(d);
    // Colours of the shipped settings: main pane white, heading pane 14745599.
    EXPECT_EQ(d->richTextBox2()->palette().color(QPalette::Base), colorFromNumber(14745599));

    const FontChooser saved = fontChooser();
    fontChooser() = [](QWidget*, const FontChoice& initial) -> std::optional<FontChoice> {
        QFont f = initial.font;
        f.setFamily(QStringLiteral("IPAGothic"));
        f.setPointSize(14);
        f.setBold(true);
        return FontChoice{f, QColor(0, 0, 255)};
    };
    o.w().runCommand(QStringLiteral("Mfont"));
    fontChooser() = saved;
    const Settings& s = o.w().settings();
    EXPECT_EQ(s.value(190, 0), "IPAGothic");
    EXPECT_EQ(s.value(190, 1), "14");
    EXPECT_EQ(s.value(190, 2), "True");
    EXPECT_EQ(s.value(190, 3), "False");
    EXPECT_EQ(s.value(190, 4), "16711680");
    EXPECT_EQ(d->richTextBox1()->font().pointSize(), 14);
    EXPECT_TRUE(d->richTextBox2()->font().bold());

    // Background by the active pane: heading -> value 6, main -> value 7.
    const ColourChooser savedColour = colourChooser();
    colourChooser() = [](QWidget*, const QColor&) -> std::optional<QColor> { return QColor(255, 255, 0); };
    d->setActivePane(DocumentWindow::Pane::Heading);
    o.w().runCommand(QStringLiteral("Mbackcolor"));
    EXPECT_EQ(s.value(190, 6), "65535");
    EXPECT_EQ(d->richTextBox2()->palette().color(QPalette::Base), QColor(255, 255, 0));
    // A cancelled colour dialog changes nothing.
    colourChooser() = [](QWidget*, const QColor&) -> std::optional<QColor> { return std::nullopt; };
    d->setActivePane(DocumentWindow::Pane::Main);
    o.w().runCommand(QStringLiteral("Mbackcolor"));
    EXPECT_EQ(s.value(190, 7), "16777215");
    colourChooser() = savedColour;
}

TEST(DocumentWindow, ClipboardCommandsActOnTheActivePane)
{
    Opened o;
    DocumentWindow* d = o.sh->doc(0);
    ASSERT_NE(d, nullptr);
    o.w().mdiArea()->setActiveSubWindow(d);
    d->setActivePane(DocumentWindow::Pane::Main);
    o.w().runCommand(QStringLiteral("Mselall"));
    o.w().runCommand(QStringLiteral("Mcopy"));
    EXPECT_EQ(QApplication::clipboard()->text(), d->richTextBox1()->toPlainText());
    // A graph window puts its picture on the clipboard.
    o.w().runCommand(QStringLiteral("MgraphD"));
    DocumentWindow* g = o.sh->doc(1);
    ASSERT_NE(g, nullptr);
    o.w().mdiArea()->setActiveSubWindow(g);
    o.w().runCommand(QStringLiteral("Mcopy"));
    EXPECT_FALSE(QApplication::clipboard()->image().isNull());
    EXPECT_EQ(QApplication::clipboard()->image().size(), g->picture1()->image().size());
    // The edit keys reach the menu commands from a graph too (text panes
    // take the standard keys themselves).
    for (const char* n : {"Mcut", "Mcopy", "Mpast", "Mselall"})
        EXPECT_EQ(o.w().action(QString::fromLatin1(n))->shortcutContext(), Qt::WindowShortcut) << n;
}

TEST(DocumentWindow, ZoomChangesTheSettingsAndRedrawsTheGraphs)
{
    Opened o({{65, 4, " 0.5   1   2   5  10  20  30  60"}, {79, 0, "10"}, {65, 2, "  10  20  50 100 200 500"},
              {85, 4, "600"}});
    o.w().runCommand(QStringLiteral("MgraphD"));
    o.w().runCommand(QStringLiteral("MxyGraph"));
    DocumentWindow* g = o.sh->doc(1);
    ASSERT_NE(g, nullptr);
    o.w().mdiArea()->setActiveSubWindow(g);
    const int before = o.raw->redraws, xyBefore = o.xy->redraws;
    o.w().runCommand(QStringLiteral("Mzoom"));
    EXPECT_EQ(o.w().settings().value(79, 0), "5");
    EXPECT_EQ(o.raw->redraws, before + 1);
    EXPECT_EQ(o.xy->redraws, xyBefore + 1);
    o.w().runCommand(QStringLiteral("MzoomU"));
    o.w().runCommand(QStringLiteral("MzoomU"));
    EXPECT_EQ(o.w().settings().value(79, 0), "20");
    // Value axis: lanes 1 to 4 only, automatic and linked scales off.
    const std::string lane5 = o.w().settings().value(174, 1);
    o.w().runCommand(QStringLiteral("MzoomY"));
    EXPECT_EQ(o.w().settings().value(170, 1), "100");  // 200 -> 100
    EXPECT_EQ(o.w().settings().value(171, 1), "50");   // 100 -> 50
    EXPECT_EQ(o.w().settings().value(174, 1), lane5);
    EXPECT_EQ(o.w().runtime().autoWord & 0x600u, 0u);
    // On the table the zoom does nothing.
    o.w().mdiArea()->setActiveSubWindow(o.sh->doc(0));
    o.w().runCommand(QStringLiteral("Mzoom"));
    EXPECT_EQ(o.w().settings().value(79, 0), "20");
}

TEST(DocumentWindow, RawTableCaretMovesTheCursorOfTheGraphs)
{
    Opened o;
    o.w().runCommand(QStringLiteral("MgraphD"));
    o.w().runCommand(QStringLiteral("MnumD"));
    DocumentWindow* d = o.sh->doc(0);
    ASSERT_NE(d, nullptr);
    QPlainTextEdit* t = d->richTextBox1();
    t->setTextCursor(QTextCursor(t->document()->findBlockByNumber(10)));
    QKeyEvent down(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(t, &down);
    ASSERT_FALSE(o.raw->cursors.empty());
    EXPECT_EQ(o.raw->cursors.back(), 30);
    EXPECT_TRUE(o.xy->cursors.empty());  // its window is not open
    // Graph presses and scroll moves reach the view, except while stepping.
    DocumentWindow* g = o.sh->doc(1);
    ASSERT_NE(g, nullptr);
    emit g->picture1()->pressed(QPoint(7, 9), Qt::LeftButton);
    ASSERT_EQ(o.raw->pressedAt.size(), 1u);
    EXPECT_EQ(o.raw->pressedAt[0], QPoint(7, 9));
    g->vScroll1()->setRange(0, 100);
    g->vScroll1()->setValue(40);
    ASSERT_FALSE(o.raw->scrolls.empty());
    EXPECT_EQ(o.raw->scrolls.back(), std::make_pair(40, false));
    o.w().runtime().setState(statebit::kStepping, true);
    emit g->picture1()->pressed(QPoint(1, 1), Qt::LeftButton);
    g->vScroll1()->setValue(50);
    o.w().runtime().setState(statebit::kStepping, false);
    EXPECT_EQ(o.raw->pressedAt.size(), 1u);
    EXPECT_EQ(o.raw->scrolls.back().first, 40);
}

TEST(DocumentWindow, RightClickMasksOfTextAndGraphPanes)
{
    Opened o;
    o.w().runCommand(QStringLiteral("MgraphD"));
    DocumentWindow* d = o.sh->doc(0);
    ASSERT_NE(d, nullptr);
    QKeyEvent sf10(QEvent::KeyPress, Qt::Key_F10, Qt::ShiftModifier);
    QCoreApplication::sendEvent(d->richTextBox1(), &sf10);
    QMenu* m = o.w().popupMenu();
    ASSERT_TRUE(m->isVisible());
    EXPECT_TRUE(o.w().action(QStringLiteral("MPexecute"))->isEnabled());
    EXPECT_TRUE(o.w().action(QStringLiteral("MPcalculate"))->isEnabled());
    EXPECT_TRUE(o.w().action(QStringLiteral("MPcopy"))->isEnabled());
    EXPECT_FALSE(m->findChild<QMenu*>(QStringLiteral("MPzm"))->isEnabled());
    for (const char* n : {"MPzoom", "MPzoomY", "MPzoomU", "MPzoomYU"})
        EXPECT_FALSE(o.w().action(QString::fromLatin1(n))->isEnabled()) << n;
    EXPECT_EQ(o.w().popupContext(), 1003);
    m->close();

    DocumentWindow* g = o.sh->doc(1);
    ASSERT_NE(g, nullptr);
    QCoreApplication::sendEvent(g->picture1(), &sf10);
    ASSERT_TRUE(m->isVisible());
    EXPECT_TRUE(m->findChild<QMenu*>(QStringLiteral("MPzm"))->isEnabled());
    EXPECT_TRUE(m->findChild<QMenu*>(QStringLiteral("MPzmU"))->isEnabled());
    for (const char* n : {"MPzoom", "MPzoomY", "MPzoomU", "MPzoomYU"})
        EXPECT_TRUE(o.w().action(QString::fromLatin1(n))->isEnabled()) << n;
    EXPECT_FALSE(o.w().action(QStringLiteral("MPcalculate"))->isEnabled());
    EXPECT_EQ(o.w().popupContext(), 1002);
    m->close();
}

TEST(DocumentWindow, TimeColumnAndWebCopySwitches)
{
    Opened o({{85, 5, "300"}});
    DocumentWindow* d = o.sh->doc(0);
    ASSERT_NE(d, nullptr);
    const QString first = d->richTextBox1()->document()->firstBlock().text();
    // 3 hourly bursts from 10:00: the newest starts at 12:00.
    EXPECT_TRUE(first.startsWith(QStringLiteral("00:00.0"))) << first.toStdString();
    EXPECT_EQ(d->richTextBox1()->document()->findBlockByNumber(3).text().left(7), QStringLiteral("00:01.5"));
    EXPECT_TRUE(d->richTextBox2()->toPlainText().startsWith(QStringLiteral("       ")));
    std::string web, exported;
    ASSERT_EQ(readFileBytes(o.pf.path("w3.txt"), web), Status::Ok);
    ASSERT_EQ(readFileBytes(o.pf.path("NR22g.txt"), exported), Status::Ok);
    EXPECT_EQ(web, exported);
    // A web folder of its own gets the copy.
    const fs::path webDir = o.pf.dir / "web";
    fs::create_directories(webDir);
    o.w().setWebFolder(webDir.string());
    o.w().redisplay();
    ASSERT_EQ(readFileBytes((webDir / "w3.txt").string(), web), Status::Ok);
    EXPECT_EQ(web, exported);
}

TEST(DocumentWindow, ResultsOnlyMeasurementsKeepTheRawTableShut)
{
    ProgramFolder pf;
    synth::GeneratorOptions o;
    o.plan.bursts = 3;
    o.fidelity = synth::Fidelity::Cheap;
    o.faults.allResultsOnly = true;
    o.factors = synth::ChannelFactors::fromTable(pf.channelTable());
    ASSERT_EQ(synth::writeMasterPair(pf.dir.string(), "NR012", o), Status::Ok);
    pf.setIni({{98, 0, pf.master()}, {89, 0, "100"}});
    Shell sh(pf);
    sh.w().startUp();
    EXPECT_TRUE(sh.w().runtime().noSamples);
    EXPECT_EQ(sh.doc(0), nullptr);
    sh.w().runCommand(QStringLiteral("MnumD"));
    EXPECT_EQ(sh.doc(0), nullptr);
    EXPECT_FALSE(fs::exists(pf.path("NR22g.txt")));
}

TEST(DocumentWindow, AnExportThatCannotBeWrittenKeepsThePreviousTable)
{
    Opened o;
    DocumentWindow* d = o.sh->doc(0);
    ASSERT_NE(d, nullptr);
    const QString shown = d->richTextBox1()->toPlainText();
    // The export name taken by a folder: the fill ends, the table stays.
    fs::remove(o.pf.path("NR22g.txt"));
    fs::create_directories(o.pf.path("NR22g.txt"));
    o.w().selectMeasurement(1);
    EXPECT_EQ(o.w().dataSet().currentNumber, 1);
    EXPECT_EQ(d->richTextBox1()->toPlainText(), shown);
    EXPECT_NE(o.sh->panel(panel::kStatus).find("NR22g.txt"), std::string::npos);
    EXPECT_TRUE(d->richTextBox1()->isVisible());
    EXPECT_TRUE(fs::is_directory(o.pf.path("NR22g.txt")));
}

// The parts of a document window by name, its tag and its title per kind.
TEST(DocumentWindow, PartsCarryTheirNamesTagAndTitle)
{
    Opened o;
    o.w().runCommand(QStringLiteral("MnumD"));
    o.w().runCommand(QStringLiteral("MgraphD"));
    const std::pair<int, const char*> kinds[] = {{0, "生データ表"}, {1, "生データのグラフ"}};
    for (const auto& [kind, title] : kinds) {
        DocumentWindow* d = o.sh->doc(kind);
        ASSERT_NE(d, nullptr) << kind;
        EXPECT_EQ(d->objectName(), QStringLiteral("Form1"));
        EXPECT_EQ(d->property("Tag").toString(), QString::number(kind));
        EXPECT_EQ(d->windowTitle(), QString::fromUtf8(title));
        EXPECT_EQ(d->findChild<QPlainTextEdit*>(QStringLiteral("RichTextBox1")), d->richTextBox1());
        EXPECT_EQ(d->findChild<QPlainTextEdit*>(QStringLiteral("RichTextBox2")), d->richTextBox2());
        EXPECT_EQ(d->findChild<QWidget*>(QStringLiteral("Picture1")), d->picture1());
        EXPECT_EQ(d->findChild<QScrollBar*>(QStringLiteral("VScroll1")), d->vScroll1());
        auto* t = d->findChild<QTimer*>(QStringLiteral("Timer1"));
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->interval(), 80);
        EXPECT_TRUE(t->isActive());
    }
    // The raw table edits its main pane; the heading pane is fixed.
    EXPECT_FALSE(o.sh->doc(0)->richTextBox1()->isReadOnly());
    EXPECT_TRUE(o.sh->doc(0)->richTextBox2()->isReadOnly());
    EXPECT_EQ(o.sh->doc(0)->richTextBox2()->toPlainText().count(QLatin1Char('\n')), 1);
}

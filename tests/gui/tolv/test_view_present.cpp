// The show() and refresh() bodies every view shares: opening or bringing
// back the document window, filling it, the focus and the active window;
// which window a refresh works on; the redraw once a resize has settled.
#include "shell_fixture.h"

#include "tolv/data/ui/picturepane.h"
#include "tolv/data/ui/viewregistry.h"

#include <QElapsedTimer>
#include <QMdiArea>
#include <QPlainTextEdit>

using namespace varenta;
using namespace varenta::guitest;

namespace {

// A view whose show() and refresh() are the shared bodies, counting the
// fills they ask for.
class ProbeView final : public ViewKind {
public:
    using ViewKind::FocusPane;

    ProbeView(int kind, FocusPane focus) : kind_(kind), focus_(focus) {}
    int kind() const override { return kind_; }
    void show(ShellServices& shell) override
    {
        std::function<void()> open;
        if (fillOpenGiven)
            open = [this] { ++openFills; };
        presentWindow(
            shell, focus_,
            [this, &shell] {
                ++newFills;
                if (closeInFill)
                    shell.documentWindow(kind_)->closeForced();
            },
            open);
    }
    void refresh(ShellServices& shell, RefreshReason reason) override
    {
        refreshed = windowToRefresh(shell, reason, canFill);
    }

    bool fillOpenGiven = false;
    bool closeInFill = false;
    bool canFill = true;
    int newFills = 0;
    int openFills = 0;
    DocumentWindow* refreshed = nullptr;

private:
    int kind_;
    FocusPane focus_;
};

struct Probed {
    ProgramFolder pf;
    std::unique_ptr<Shell> sh;
    ProbeView* graph = nullptr;  // raw data graph kind, focus on the picture
    ProbeView* table = nullptr;  // results table kind, focus on the main text
    ProbeView* spectrum = nullptr;  // power spectrum kind, focus on the window body

    Probed()
    {
        pf.generate(2);
        pf.setIni({{98, 0, pf.master()}, {89, 0, "0"}});
        sh = std::make_unique<Shell>(pf);
        auto g = std::make_unique<ProbeView>(viewkind::kRawGraph, ProbeView::FocusPane::Picture);
        auto t = std::make_unique<ProbeView>(viewkind::kResultsTable, ProbeView::FocusPane::MainText);
        auto s = std::make_unique<ProbeView>(viewkind::kPowerSpectrum, ProbeView::FocusPane::Window);
        graph = g.get();
        table = t.get();
        spectrum = s.get();
        sh->w().addView(std::move(g));
        sh->w().addView(std::move(t));
        sh->w().addView(std::move(s));
        sh->w().startUp();
        sh->w().show();
        sh->w().activateWindow();
        QApplication::setActiveWindow(&sh->w());
        settle();
    }
    MDIForm1& w() { return sh->w(); }
};

QWidget* focusTarget(DocumentWindow& d, int kind)
{
    switch (kind) {
    case viewkind::kRawGraph:
        return d.picture1();
    case viewkind::kResultsTable:
        return d.richTextBox1();
    default:
        return d.widget();
    }
}

}  // namespace

TEST(ViewPresent, ShowOpensFillsFocusesAndActivates)
{
    Probed p;
    for (ProbeView* v : {p.graph, p.table, p.spectrum}) {
        SCOPED_TRACE(v->kind());
        ASSERT_EQ(p.sh->doc(v->kind()), nullptr);
        v->fillOpenGiven = true;
        v->show(p.w());
        settle();
        DocumentWindow* d = p.sh->doc(v->kind());
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(v->newFills, 1);
        EXPECT_EQ(v->openFills, 0);
        EXPECT_EQ(p.w().mdiArea()->activeSubWindow(), d);
        EXPECT_EQ(QApplication::focusWidget(), focusTarget(*d, v->kind()));
        EXPECT_TRUE(p.w().runtime().state(statebit::viewBit(v->kind())));
    }
    // The command on an open window: the open fill runs when the view has
    // one, the new fill never; the window becomes the active one again.
    p.w().mdiArea()->setActiveSubWindow(p.sh->doc(viewkind::kRawGraph));
    p.spectrum->show(p.w());
    settle();
    EXPECT_EQ(p.spectrum->newFills, 1);
    EXPECT_EQ(p.spectrum->openFills, 1);
    EXPECT_EQ(p.w().mdiArea()->activeSubWindow(), p.sh->doc(viewkind::kPowerSpectrum));
    p.table->fillOpenGiven = false;
    p.table->show(p.w());
    settle();
    EXPECT_EQ(p.table->newFills, 1);
    EXPECT_EQ(p.table->openFills, 0);
    EXPECT_EQ(p.w().mdiArea()->activeSubWindow(), p.sh->doc(viewkind::kResultsTable));
}

TEST(ViewPresent, MinimizedWindowComesBackLikeTheActiveOne)
{
    struct Case {
        const char* name;
        bool activeMaximized;
        bool expectMaximized;
    };
    const Case cases[] = {
        {"active window normal: back to normal", false, false},
        {"active window maximized: back maximized", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Probed p;
        p.table->show(p.w());
        p.graph->show(p.w());
        settle();
        DocumentWindow* table = p.sh->doc(viewkind::kResultsTable);
        DocumentWindow* graph = p.sh->doc(viewkind::kRawGraph);
        ASSERT_TRUE(table && graph);
        table->showMinimized();
        p.w().mdiArea()->setActiveSubWindow(graph);
        if (c.activeMaximized)
            graph->showMaximized();
        settle();
        ASSERT_TRUE(table->isMinimized());
        ASSERT_EQ(p.w().activeDocumentWindow(), graph);

        p.table->fillOpenGiven = true;
        p.table->show(p.w());
        settle();
        EXPECT_FALSE(table->isMinimized());
        EXPECT_EQ(table->isMaximized(), c.expectMaximized);
        // Bringing a window back is no fill.
        EXPECT_EQ(p.table->newFills, 1);
        EXPECT_EQ(p.table->openFills, 0);
        EXPECT_EQ(p.w().mdiArea()->activeSubWindow(), table);
        EXPECT_EQ(QApplication::focusWidget(), table->richTextBox1());
    }
}

TEST(ViewPresent, WindowClosedDuringTheFillIsLeftAlone)
{
    Probed p;
    p.graph->show(p.w());
    settle();
    DocumentWindow* graph = p.sh->doc(viewkind::kRawGraph);
    ASSERT_NE(graph, nullptr);
    p.spectrum->closeInFill = true;
    p.spectrum->show(p.w());
    settle();
    EXPECT_EQ(p.spectrum->newFills, 1);
    EXPECT_EQ(p.sh->doc(viewkind::kPowerSpectrum), nullptr);
    // The window that was active stays so.
    EXPECT_EQ(p.w().mdiArea()->activeSubWindow(), graph);
}

TEST(ViewPresent, WindowToRefresh)
{
    struct Case {
        const char* name;
        bool open;
        RefreshReason reason;
        bool openBit;
        bool canFill;
        bool expectWindow;
    };
    const Case cases[] = {
        {"open window, any reason", true, RefreshReason::MeasurementChanged, false, false, true},
        {"open window, load it cannot fill", true, RefreshReason::Loaded, true, false, true},
        {"closed, loaded, open bit, can fill: opens", false, RefreshReason::Loaded, true, true, true},
        {"closed, loaded, no open bit", false, RefreshReason::Loaded, false, true, false},
        {"closed, loaded, cannot fill", false, RefreshReason::Loaded, true, false, false},
        {"closed, processed", false, RefreshReason::Processed, true, true, false},
        {"closed, redisplay", false, RefreshReason::Redisplay, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Probed p;
        if (c.open)
            p.graph->show(p.w());
        settle();
        p.w().runtime().setState(statebit::viewBit(viewkind::kRawGraph), c.openBit);
        p.graph->canFill = c.canFill;
        p.graph->refresh(p.w(), c.reason);
        settle();
        DocumentWindow* d = p.sh->doc(viewkind::kRawGraph);
        EXPECT_EQ(d != nullptr, c.expectWindow);
        EXPECT_EQ(p.graph->refreshed, d);
        // A refresh never fills through the show path.
        EXPECT_EQ(p.graph->newFills, c.open ? 1 : 0);
    }
}

TEST(ViewPresent, OneRedrawForARunOfResizes)
{
    PicturePane pane;
    pane.resize(200, 100);
    pane.show();
    QApplication::processEvents();
    bool queued = false;
    int calls = 0;
    QSize seen;
    onSettledResize(&pane, queued, 40, [&] {
        ++calls;
        seen = pane.size();
    });
    const auto waitFor = [&](int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
    };

    for (int i = 1; i <= 5; ++i)
        pane.resize(200 + 10 * i, 100 + 5 * i);
    QApplication::processEvents();
    EXPECT_TRUE(queued);
    EXPECT_EQ(calls, 0);
    waitFor(200);
    EXPECT_FALSE(queued);
    ASSERT_EQ(calls, 1);
    EXPECT_EQ(seen, QSize(250, 125));

    // A caller that cleared the flag while a call was due (its window
    // closed) gets that call and one more for the next change.
    pane.resize(300, 150);
    QApplication::processEvents();
    ASSERT_TRUE(queued);
    queued = false;
    pane.resize(310, 160);
    QApplication::processEvents();
    waitFor(200);
    EXPECT_FALSE(queued);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(seen, QSize(310, 160));
}

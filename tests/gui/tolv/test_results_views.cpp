// The results table, the results graph and the results record step in the
// main window, offscreen, on generated master files.
//
// With VARENTA_GRAPH_SHOTS set to a folder, the graph pictures are also
// written there as PNG files for looking at.
#include "shell_fixture.h"

#include "common/ui/qtutil.h"
#include "tolv/data/resultsgraph.h"
#include "tolv/data/resultstable.h"
#include "tolv/data/ui/picturepane.h"
#include "tolv/data/ui/resultsgraphview.h"
#include "tolv/data/ui/resultstableview.h"
#include "tolv/shell/stepping.h"
#include "tolv/shell/ui/form3host.h"
#include "tolv/spectra/ui/powerspectrumview.h"
#include "tolv/spectra/wavestats.h"
#include "tolv/spectra/ui/resultsrecordstep.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>

#include <fstream>
#include <sstream>

using namespace varenta;
using namespace varenta::guitest;

namespace {

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void putBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string recordOf(const std::string& file, long long k)
{
    return file.substr(static_cast<std::size_t>(k - 1) * kResultsRecordSize, kResultsRecordSize);
}

void wait(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

void shot(const QImage& img, const std::string& name)
{
    if (const char* dir = std::getenv("VARENTA_GRAPH_SHOTS"); dir && *dir)
        img.save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
}

// Hourly 20-minute bursts of pressure and current from the start given.
synth::GeneratorOptions generateHourly(const ProgramFolder& pf, int bursts, DateTime start, bool resultsOnly = false,
                                       bool writeResults = true)
{
    synth::GeneratorOptions o;
    o.plan.bursts = bursts;
    o.plan.channels = {1, 2, 3};
    o.plan.intervalMinutes = 60;
    o.plan.durationMinutes = 20;
    o.plan.start = start;
    o.sea.hm0 = 1.4;
    o.sea.tp = 8;
    o.sea.currentSpeed = 0.3;
    o.sea.currentDirection = 60;
    o.fidelity = synth::Fidelity::Cheap;
    o.faults.allResultsOnly = resultsOnly;
    o.writeResults = writeResults;
    o.factors = synth::ChannelFactors::fromTable(pf.channelTable());
    std::string msg;
    EXPECT_EQ(synth::writeMasterPair(pf.dir.string(), "NR012", o, nullptr, &msg), Status::Ok) << msg;
    return o;
}

ResultsTableView* tableView(Shell& sh)
{
    return dynamic_cast<ResultsTableView*>(sh.w().views().find(viewkind::kResultsTable));
}

ResultsGraphView* graphView(Shell& sh)
{
    return dynamic_cast<ResultsGraphView*>(sh.w().views().find(viewkind::kResultsGraph));
}

QString blockText(QPlainTextEdit* e, long long line)
{
    return e->document()->findBlockByNumber(static_cast<int>(line)).text();
}

}  // namespace

TEST(ResultsTableViewTest, OpensFillsExportsAndFollowsTheMeasurement)
{
    ProgramFolder pf;
    generateHourly(pf, 60, DateTime{2026, 5, 6, 22, 0, 0, 0});
    pf.setIni({{98, 0, pf.master()}, {89, 0, "0"}});
    Shell sh(pf);
    sh.w().startUp();
    ResultsTableView* view = tableView(sh);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(sh.doc(viewkind::kResultsTable), nullptr);  // switched off in the window word

    sh.w().runCommand(QStringLiteral("MnumR"));
    DocumentWindow* d = sh.doc(viewkind::kResultsTable);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("処理結果表"));
    ASSERT_TRUE(view->filled());
    EXPECT_EQ(view->records(), 60);
    // Headings in the heading pane, the export file equal to the table.
    EXPECT_EQ(d->richTextBox2()->toPlainText().toStdString(),
              view->layout().heading1 + "\n" + view->layout().heading2);
    const std::string exported = fileBytes(pf.path("NR23g.txt"));
    EXPECT_EQ(exported, view->text());
    // A blank line before record 3 (00:00 of 7 May), then every 24 records.
    EXPECT_EQ(view->blocks().recordsBefore, 2);
    QPlainTextEdit* body = d->richTextBox1();
    EXPECT_EQ(body->document()->blockCount(), 60 + 3);
    EXPECT_TRUE(blockText(body, 2).isEmpty());
    EXPECT_TRUE(blockText(body, 3).startsWith(QStringLiteral("  5/ 7  0:00     3")));
    EXPECT_TRUE(blockText(body, 27).isEmpty());
    // The measurement on display (the newest) is selected.
    EXPECT_EQ(body->textCursor().blockNumber(), resultsLineIndex(60, view->blocks()));
    EXPECT_EQ(body->textCursor().selectedText().size(), 1);

    // A click on the line of record 10 makes it current.
    QTextCursor c(body->document()->findBlockByNumber(static_cast<int>(resultsLineIndex(10, view->blocks()))));
    c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 5);
    body->setTextCursor(c);
    view->caretMoved(sh.w(), *d);
    EXPECT_EQ(sh.w().dataSet().currentNumber, 10);
    EXPECT_EQ(sh.panel(panel::kTime), "07:00");
    // The redisplay selected its line.
    EXPECT_EQ(body->textCursor().blockNumber(), resultsLineIndex(10, view->blocks()));
    // A blank line selects nothing.
    body->setTextCursor(QTextCursor(body->document()->findBlockByNumber(2)));
    view->caretMoved(sh.w(), *d);
    EXPECT_EQ(sh.w().dataSet().currentNumber, 10);

    // Typing marks the current measurement's row as edited, once.
    EXPECT_TRUE(view->editKey(sh.w(), *d));
    EXPECT_TRUE(view->editKey(sh.w(), *d));
    EXPECT_EQ(d->editedRows(), std::set<long long>{10});
}

TEST(ResultsTableViewTest, RefreshesRepairsAndTheAlternateItemSet)
{
    ProgramFolder pf;
    generateHourly(pf, 30, DateTime{2026, 5, 6, 0, 0, 0, 0});
    // Record 12 out of sequence (it carries number 11).
    const std::string results = pf.path("NR012L.H10");
    std::string file = fileBytes(results);
    std::string r12 = recordOf(file, 12);
    r12.replace(resultItemOffset(4), 5, "   11");
    file.replace(11 * kResultsRecordSize, kResultsRecordSize, r12);
    putBytes(results, file);
    pf.setIni({{98, 0, pf.master()}, {89, 0, "400"}});
    Shell sh(pf);
    sh.w().startUp();
    ResultsTableView* view = tableView(sh);
    DocumentWindow* d = sh.doc(viewkind::kResultsTable);
    ASSERT_NE(d, nullptr);  // switched on: filled at loading
    EXPECT_EQ(view->lastReplaced(), std::vector<long long>{12});
    const std::string repaired = recordOf(fileBytes(results), 12);
    EXPECT_EQ(repaired.substr(0, 30), "-----,   00, 1/ 1, 0:00,   12,");
    EXPECT_EQ(repaired.substr(385), "  4.0\r\n");
    QPlainTextEdit* body = d->richTextBox1();
    EXPECT_TRUE(blockText(body, resultsLineIndex(12, view->blocks())).endsWith(QStringLiteral("   4.0")));

    // One line refreshed in place: record 20 gets another height.
    file = fileBytes(results);
    std::string r20 = recordOf(file, 20);
    const int p12 = sh.w().initStore().selection().positionOf(12);
    setResultItem(r20, p12, " 8.88");
    file.replace(19 * kResultsRecordSize, kResultsRecordSize, r20);
    putBytes(results, file);
    const int blocksBefore = body->document()->blockCount();
    ASSERT_TRUE(view->fill(sh.w(), 20, fillmode::kOneLine));
    EXPECT_TRUE(blockText(body, resultsLineIndex(20, view->blocks())).contains(QStringLiteral("  8.88")));
    EXPECT_EQ(body->document()->blockCount(), blocksBefore);
    EXPECT_EQ(fileBytes(pf.path("NR23g.txt")), view->text());

    // Records appended: a refresh from the first new one adds their lines.
    const std::string more = file + recordOf(file, 30).replace(resultItemOffset(4), 5, "   31");
    putBytes(results, more);
    ASSERT_TRUE(view->fill(sh.w(), 31, 0));
    EXPECT_EQ(view->records(), 31);
    EXPECT_EQ(body->document()->blockCount(), 31 + static_cast<int>(blankLinesThrough(31, view->blocks())));
    EXPECT_EQ(fileBytes(pf.path("NR23g.txt")), view->text());
    // The pane shows what the export holds.
    std::string pane = body->toPlainText().toStdString();
    std::string expect = view->text();
    for (std::size_t at; (at = expect.find("\r\n")) != std::string::npos;)
        expect.replace(at, 2, "\n");
    EXPECT_EQ(pane + "\n", expect);
}

TEST(ResultsTableViewTest, WindDataUseTheAlternateColumns)
{
    ProgramFolder pf;
    synth::GeneratorOptions o;
    o.plan.bursts = 6;
    o.plan.channels = {4, 2, 3};  // ultrasonic level and currents: the alternate set
    o.plan.intervalMinutes = 60;
    o.plan.durationMinutes = 10;
    o.fidelity = synth::Fidelity::Constant;
    o.factors = synth::ChannelFactors::fromTable(pf.channelTable());
    ASSERT_EQ(synth::writeMasterPair(pf.dir.string(), "NR012", o), Status::Ok);
    pf.setIni({{98, 0, pf.master()}, {89, 0, "400"}});
    Shell sh(pf);
    sh.w().startUp();
    EXPECT_TRUE(sh.w().runtime().windSet);
    ResultsTableView* view = tableView(sh);
    ASSERT_TRUE(view->filled());
    std::vector<int> codes;
    for (const ResultsTableColumn& c : view->layout().columns)
        codes.push_back(c.code);
    // Codes 12, 13, 8..11 of the pressure set are shown as 52, 53, 48..51.
    EXPECT_NE(std::find(codes.begin(), codes.end(), 52), codes.end());
    EXPECT_EQ(std::find(codes.begin(), codes.end(), 12), codes.end());
    EXPECT_NE(view->layout().heading2.find("波高"), std::string::npos);
}

TEST(ResultsGraphViewTest, SevenDaysWithArrowRowsImagesClicksAndPrint)
{
    ProgramFolder pf;
    generateHourly(pf, 240, DateTime{2026, 5, 6, 0, 0, 0, 0});
    for (const char* ext : {".bmp", ".jpg"})
        QFile::remove(QString::fromStdString(pf.path(std::string("NR23g") + ext)));
    pf.setIni({{98, 0, pf.master()}, {89, 0, "0"}, {89, 3, "200"}});
    Shell sh(pf);
    sh.w().resize(1280, 960);
    sh.w().show();
    sh.w().startUp();
    ASSERT_EQ(sh.w().dataSet().currentNumber, 200);
    sh.w().runCommand(QStringLiteral("MgraphR"));
    DocumentWindow* d = sh.doc(viewkind::kResultsGraph);
    ASSERT_NE(d, nullptr);
    d->resize(1000, 640);
    wait(250);
    ResultsGraphView* view = graphView(sh);
    ASSERT_NE(view, nullptr);
    const ResultsGraphLayout& L = view->layout();
    ASSERT_TRUE(L.drawable);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("処理結果のグラフ"));
    // 7 days ending at the midnight after record 200 (14 May 7:00).
    EXPECT_EQ(L.window.anchor, 200);
    EXPECT_EQ(L.window.width, 168);
    EXPECT_EQ(view->memory().first, 49);
    EXPECT_EQ(view->memory().anchor, 200);
    ASSERT_EQ(L.arrowRows.size(), 2u);
    EXPECT_EQ(L.arrowRows[0].arrows.size(), 152u);
    EXPECT_EQ(L.panels.size(), 2u);
    EXPECT_EQ(L.timeLabels.front().day, "8日");
    EXPECT_TRUE(QFile::exists(QString::fromStdString(pf.path("NR23g.bmp"))));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(pf.path("NR23g.jpg"))));
    EXPECT_EQ(view->lastExport(), Status::Ok);
    const QImage img = d->picture1()->image();
    ASSERT_FALSE(img.isNull());
    shot(img, "results_graph_7days");
    // The first series (code 12) is drawn in its colour inside panel 1.
    const QColor c0 = colorFromNumber(readResultsGraphSettings(sh.w().settings(), 0, false).series[0].colour);
    int coloured = 0;
    const QRect p1 = QRectF(view->toDevice(0, L.panels[0].top), view->toDevice(L.width, L.panels[0].bottom))
                         .toAlignedRect()
                         .adjusted(2, 2, -2, -2);
    for (int y = p1.top(); y <= p1.bottom(); ++y)
        for (int x = p1.left(); x <= p1.right(); ++x)
            if (QColor(img.pixel(x, y)) == c0)
                ++coloured;
    EXPECT_GT(coloured, 200);

    // Stepping inside the window does not move it; leaving it does.
    const long long drawn = view->drawings();
    sh.w().selectMeasurement(150);
    EXPECT_EQ(view->drawings(), drawn);
    sh.w().selectMeasurement(230);
    EXPECT_EQ(view->drawings(), drawn + 1);
    EXPECT_EQ(view->memory().anchor, 230);

    // A click inside the plot makes the record under it current.
    const QPointF at = view->toDevice(view->layout().window.xOf(210), (L.panels[0].top + L.panels[0].bottom) / 2);
    view->graphPressed(sh.w(), *d, at.toPoint());
    EXPECT_EQ(sh.w().dataSet().currentNumber, 210);
    // Outside the plot: the zoom channel by the height.
    const QRectF plot = view->plotRect();
    view->graphPressed(sh.w(), *d, QPoint(2, static_cast<int>(plot.top()) + 5));
    EXPECT_EQ(sh.w().resultsZoomChannel(), 1);
    view->graphPressed(sh.w(), *d, QPoint(2, d->picture1()->height() - 5));
    EXPECT_EQ(sh.w().resultsZoomChannel(), 3);

    // The print routine draws the same graph onto a page.
    QImage page(1600, 1100, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter p(&page);
    EXPECT_TRUE(view->print(sh.w(), p, QRectF(50, 50, 1500, 1000)));
    p.end();
    int ink = 0;
    for (int y = 0; y < page.height(); y += 3)
        for (int x = 0; x < page.width(); x += 3)
            if (page.pixel(x, y) != qRgb(255, 255, 255))
                ++ink;
    EXPECT_GT(ink, 1000);
    shot(page, "results_graph_print");
}

TEST(ResultsGraphViewTest, MissingValuesBreakTheLine)
{
    ProgramFolder pf;
    generateHourly(pf, 48, DateTime{2026, 5, 6, 0, 0, 0, 0});
    const std::string results = pf.path("NR012L.H10");
    std::string file = fileBytes(results);
    pf.setIni({{98, 0, pf.master()}, {89, 0, "0"}, {89, 3, "40"}, {78, 0, "1"}, {78, 2, "6"}});
    Shell sh(pf);
    sh.w().startUp();
    const int p12 = sh.w().initStore().selection().positionOf(12);
    for (long long k : {20LL, 30LL}) {
        std::string r = recordOf(file, k);
        setResultItem(r, p12, k == 20 ? " 9999" : "-----");
        file.replace(static_cast<std::size_t>(k - 1) * kResultsRecordSize, kResultsRecordSize, r);
    }
    putBytes(results, file);
    sh.w().runCommand(QStringLiteral("MgraphR"));
    ResultsGraphView* view = graphView(sh);
    ASSERT_TRUE(view->layout().drawable);
    ASSERT_FALSE(view->layout().curves.empty());
    const ResultsGraphCurve& c = view->layout().curves[0];
    EXPECT_EQ(c.runs.size(), 3u);
    for (const plot::Run& run : c.runs)
        for (float x : run.x)
            EXPECT_TRUE(x != static_cast<float>(view->layout().window.xOf(20)) &&
                        x != static_cast<float>(view->layout().window.xOf(30)));
    shot(sh.doc(viewkind::kResultsGraph)->picture1()->image(), "results_graph_missing");
}

// The processing run over results-only measurements stores the logger's
// own records; the table open meanwhile follows every record.
TEST(ResultsRecordStep, SteppingRunStoresTheLoggersOwnRecords)
{
    ProgramFolder pf;
    const synth::GeneratorOptions o = generateHourly(pf, 30, DateTime{2026, 5, 6, 22, 0, 0, 0}, true, false);
    ASSERT_FALSE(QFile::exists(QString::fromStdString(pf.path("NR012L.H10"))));
    pf.setIni({{98, 0, pf.master()}, {89, 0, "400"}});
    Shell sh(pf);
    auto part = attachResultsRecordStep(sh.w());
    std::vector<std::string> sent;
    part->sendRecord = [&](const std::string& r) { sent.push_back(r); };
    sh.w().startUp();
    ASSERT_TRUE(sh.w().runtime().noSamples);
    sh.w().selectMeasurement(1);
    sh.w().repetitionCombo()->setEditText(QStringLiteral("30"));
    ASSERT_NE(sh.w().toolButton(QStringLiteral("Bcalculate")), nullptr);
    sh.w().toolButton(QStringLiteral("Bcalculate"))->click();
    EXPECT_EQ(sh.w().dataSet().currentNumber, 30);

    // The results file was created and holds every burst's own record.
    const std::string path = pf.path("NR012l.H10");
    const std::string file = fileBytes(path);
    ASSERT_EQ(file.size(), 30 * kResultsRecordSize);
    for (std::uint32_t m = 1; m <= 30; ++m)
        EXPECT_EQ(recordOf(file, m), synth::generateBurst(o, m).resultsRecord) << m;
    EXPECT_TRUE(sh.w().dataSet().hasResultsFile);
    EXPECT_EQ(sh.w().dataSet().resultsPath, path);
    // The results views are offered as soon as the run has made the file.
    ASSERT_NE(sh.w().action(QStringLiteral("MnumR")), nullptr);
    EXPECT_TRUE(sh.w().action(QStringLiteral("MnumR"))->isEnabled());
    EXPECT_TRUE(sh.w().action(QStringLiteral("MgraphR"))->isEnabled());
    EXPECT_TRUE(sh.prompter.shown.empty());  // no raw data: no message
    EXPECT_TRUE(sent.empty());               // no serial output without start flag 0x20000

    // The results table is opened and shows all of them.
    sh.w().runCommand(QStringLiteral("MnumR"));
    ResultsTableView* view = tableView(sh);
    ASSERT_TRUE(view->filled());
    EXPECT_EQ(view->records(), 30);
    EXPECT_TRUE(view->lastReplaced().empty());

    // Reprocessing a measurement with the table open replaces its line only.
    std::string changed = file;
    sh.w().selectMeasurement(5);
    sh.w().step(stepmode::kReprocess);  // MPcalculate
    EXPECT_EQ(part->last.refresh, TableRefresh::OneLine);
    EXPECT_EQ(part->last.refreshRecord, 5);
    EXPECT_EQ(fileBytes(pf.path("NR23g.txt")), view->text());
}

TEST(ResultsRecordStep, RawDataMeasurementsAreToldAndGetTheirDateAndTime)
{
    ProgramFolder pf;
    generateHourly(pf, 4, DateTime{2026, 5, 6, 10, 0, 0, 0}, false, false);
    // The statistics switched off: the values stay 0 and the user is told.
    pf.setIni({{98, 0, pf.master()}, {89, 0, "0"}, {85, 5, "0"}});
    Shell sh(pf, "20000");
    auto part = attachResultsRecordStep(sh.w());
    std::vector<std::string> sent;
    part->sendRecord = [&](const std::string& r) { sent.push_back(r); };
    sh.w().startUp();
    sh.w().selectMeasurement(3);
    sh.w().step(stepmode::kReprocess);  // MPcalculate
    ASSERT_EQ(sh.prompter.shown.size(), 1u);
    EXPECT_EQ(sh.prompter.shown[0].title, "VarentaK - 操作の禁止");
    EXPECT_EQ(sh.prompter.shown[0].text, "このバージョンには、処理機能がありません");
    const std::string file = fileBytes(pf.path("NR012l.H10"));
    ASSERT_EQ(file.size(), 3 * kResultsRecordSize);
    // Created for measurement 3: the record at byte 1 and at byte 785.
    EXPECT_EQ(recordOf(file, 1), recordOf(file, 3));
    EXPECT_EQ(recordOf(file, 3).substr(0, 30), " 6020,   26, 5/ 6,12:00,    3,");
    EXPECT_EQ(recordOf(file, 2).substr(0, 30), "-----,   00, 1/ 1, 0:00,    2,");
    ASSERT_EQ(sent.size(), 1u);  // start flag 0x20000: the serial output gets it
    EXPECT_EQ(sent[0], recordOf(file, 3));
}

// With the statistics switched on (as shipped), the continuous processing
// run over 48 generated bursts fills every record with the burst's own
// statistics, without a message; the results table and graph show them.
TEST(ResultsRecordStep, ProcessingRunWritesTheBurstStatistics)
{
    ProgramFolder pf;
    const synth::GeneratorOptions o = generateHourly(pf, 48, DateTime{2026, 5, 6, 0, 0, 0, 0}, false, false);
    pf.setIni({{98, 0, pf.master()}, {89, 0, "0"}, {70, 0, "017"}, {71, 0, "018"}, {72, 0, "032"},
               {73, 0, "019"}});
    Shell sh(pf);
    SpectralPart spectra = makeSpectralPart(sh.w());
    sh.w().hooks().conditionSamples = std::move(spectra.conditionSamples);
    sh.w().addView(std::move(spectra.view));
    attachResultsRecordStep(sh.w(), spectra.state);
    sh.w().startUp();
    ASSERT_TRUE(sh.w().runtime().switchWord2 & switch2::kWaveStatistics);
    sh.w().selectMeasurement(1);
    sh.w().repetitionCombo()->setEditText(QStringLiteral("48"));
    ASSERT_NE(sh.w().toolButton(QStringLiteral("Bcalculate")), nullptr);
    sh.w().toolButton(QStringLiteral("Bcalculate"))->click();
    // The results views open once the run has made the results file.
    EXPECT_EQ(sh.w().runCommand(QStringLiteral("MnumR")), RunOutcome::Ran);
    EXPECT_EQ(sh.w().runCommand(QStringLiteral("MgraphR")), RunOutcome::Ran);
    EXPECT_EQ(sh.w().dataSet().currentNumber, 48);
    EXPECT_TRUE(sh.prompter.shown.empty());

    const std::string file = fileBytes(pf.path("NR012l.H10"));
    ASSERT_EQ(file.size(), 48 * kResultsRecordSize);
    const ResultSelection& sel = sh.w().initStore().selection();
    const auto field = [&](const std::string& r, int code) {
        const int p = sel.positionOf(code);
        EXPECT_GE(p, 4) << code;
        return p < 4 ? std::string() : trimBlanks(resultItem(r, p));
    };
    for (std::uint32_t m = 1; m <= 48; ++m) {
        SCOPED_TRACE(m);
        const synth::Burst b = synth::generateBurst(o, m);
        const std::string r = recordOf(file, m);
        // The pressure sees the waves below the cap frequency of its transfer.
        const std::vector<double> head(b.physical[0].begin(), b.physical[0].end());
        const Surface ref = surfaceFromPressure(head, 100.0 * o.sea.headScale * (b.stats.depth - o.sea.gaugeHeight),
                                                b.dt, {o.sea.gaugeHeight, o.sea.headScale, 12.0});
        double m0 = 0.0;
        for (const synth::WaveComponent& c : b.components)
            if (c.frequency <= ref.lastBin * ref.df)
                m0 += 0.5 * c.amplitude * c.amplitude;
        const double hm0 = std::stod(field(r, 17));
        EXPECT_NEAR(hm0, 4.0 * std::sqrt(m0), 0.1 * hm0);
        EXPECT_GT(std::stod(field(r, 12)), 0.5 * hm0);
        EXPECT_LE(std::stod(field(r, 12)), std::stod(field(r, 8)));
        EXPECT_NEAR(std::stod(field(r, 19)), b.stats.depth, 0.05);
        EXPECT_NEAR(std::stod(field(r, 33)), o.sea.currentDirection, 1.0);
        EXPECT_EQ(field(r, 34), "ENE");
        EXPECT_NEAR(std::stod(field(r, 32)), 100.0 * o.sea.currentSpeed, 0.5);
        EXPECT_EQ(std::stoi(field(r, 6)), static_cast<int>(m));
    }
    ResultsTableView* table = tableView(sh);
    ASSERT_TRUE(table->filled());
    EXPECT_EQ(table->records(), 48);
    ResultsGraphView* graph = graphView(sh);
    ASSERT_TRUE(graph->layout().drawable);
    if (const char* dir = std::getenv("VARENTA_GRAPH_SHOTS"); dir && *dir) {
        sh.doc(viewkind::kResultsTable)->grab().save(QString::fromStdString(std::string(dir) + "/stats_table.png"));
        shot(sh.doc(viewkind::kResultsGraph)->picture1()->image(), "stats_graph");
    }
}

// The wait for the hand-over file ends with the stop request, and Status
// says so.
TEST(ResultsRecordStep, StopRequestEndsTheHandOverWait)
{
    ProgramFolder pf;
    generateHourly(pf, 5, DateTime{2026, 5, 6, 10, 0, 0, 0}, true, true);
    pf.setIni({{98, 0, pf.master()}, {89, 0, "0"}, {85, 6, "2"}});
    const std::string handOver = pf.path("NR012s.H10");
    putBytes(handOver, "not yet taken");
    Shell sh(pf);
    auto part = attachResultsRecordStep(sh.w());
    sh.w().startUp();
    sh.w().runtime().autoWord |= autofn::kProcessing;
    sh.w().selectMeasurement(4);
    QTimer::singleShot(400, &sh.w(), [&] { sh.w().runCommand(QStringLiteral("Mend")); });
    QElapsedTimer t;
    t.start();
    sh.w().step(stepmode::kReprocess);  // MPcalculate
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_EQ(part->last.status, Status::Ok);
    EXPECT_EQ(part->last.handOver, Status::Cancelled);
    EXPECT_EQ(fileBytes(handOver), "not yet taken");
    wait(50);
    EXPECT_NE(sh.panel(panel::kStatus).find("引き渡しファイル"), std::string::npos) << sh.panel(panel::kStatus);
    EXPECT_NE(sh.panel(panel::kStatus).find("中止"), std::string::npos);

    // Once the consumer has taken it, the next record is handed over.
    std::remove(handOver.c_str());
    sh.w().step(stepmode::kReprocess);  // MPcalculate
    EXPECT_EQ(part->last.handOver, Status::Ok);
    const std::string results = fileBytes(pf.path("NR012L.H10"));
    EXPECT_EQ(fileBytes(handOver), results.substr(1 * kResultsRecordSize, 3 * kResultsRecordSize));
}

// The conditions dialog rebuilds the table and redraws the graph through
// its host.
TEST(ResultsViewsFromTheConditionsDialog, RebuildAndRedraw)
{
    ProgramFolder pf;
    generateHourly(pf, 30, DateTime{2026, 5, 6, 0, 0, 0, 0});
    pf.setIni({{98, 0, pf.master()}, {89, 0, "C00"}});
    Shell sh(pf);
    sh.w().startUp();
    sh.w().runCommand(QStringLiteral("MgraphR"));
    ResultsTableView* table = tableView(sh);
    ResultsGraphView* graph = graphView(sh);
    ASSERT_TRUE(table->filled());
    ASSERT_GT(graph->drawings(), 0);
    Form3Host host(sh.w(), Form3Links{});
    EXPECT_TRUE(host.resultsTableOpen());

    // Fewer columns, a spacer at the end: the table is made again.
    sh.w().settings().set(165, 0, "002003006064012064");
    host.rebuildItemMapping();
    host.rebuildResultsTable();
    EXPECT_EQ(table->layout().columns.size(), 6u);
    EXPECT_EQ(table->layout().lineWidth, 4 * 6 + 2 + 2);
    EXPECT_EQ(sh.doc(viewkind::kResultsTable)->richTextBox2()->toPlainText().toStdString(),
              table->layout().heading1 + "\n" + table->layout().heading2);
    EXPECT_EQ(fileBytes(pf.path("NR23g.txt")), table->text());

    const long long before = graph->drawings();
    sh.w().settings().set(78, 0, "2");
    host.redrawResultsGraph();
    EXPECT_EQ(graph->drawings(), before + 1);
    EXPECT_EQ(graph->layout().window.width, 48);
}

// The editing and whole-file commands in the main window, offscreen, on
// generated master files, answered by a scripted prompter.
#include "shell_fixture.h"

#include "common/bytes.h"
#include "tolv/data/ui/resultstableview.h"
#include "tolv/data/userfolders.h"
#include "tolv/data/tablesave.h"
#include "tolv/shell/filecommands.h"
#include "tolv/shell/masteredit.h"
#include "tolv/shell/ui/fileattach.h"

#include <QKeyEvent>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QTextBlock>

#include <fstream>
#include <sstream>

using namespace varenta;
using namespace varenta::guitest;

namespace {

std::string bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A main window over a generated master pair, with the file commands.
struct FileCommandWindow : ::testing::Test {
    ProgramFolder pf;
    std::unique_ptr<Shell> sh;
    std::string chosenSave;

    void open(int bursts, int duration = 20, int interval = 60, const std::string& viewWord = "0")
    {
        pf.generate(bursts, {1, 2, 3}, 1, duration, interval);
        pf.setIni({{98, 0, pf.master()}, {89, 0, viewWord}, {84, 0, "1"}, {84, 1, "4"}});
        sh = std::make_unique<Shell>(pf);
        FileCommandSeams seams;
        seams.saveDialog = [this](const std::string&, const std::string& preset) {
            return chosenSave.empty() ? preset : chosenSave;
        };
        attachFileCommands(sh->w(), seams);
        sh->w().startUp();
    }
    DocumentWindow* activate(int kind, const char* command)
    {
        sh->w().runCommand(QString::fromLatin1(command));
        DocumentWindow* d = sh->doc(kind);
        if (d)
            sh->w().mdiArea()->setActiveSubWindow(d);
        return d;
    }
    // Types one character over the character before column col of a line.
    static void typeOver(QPlainTextEdit* pane, int line, int col, QChar ch)
    {
        QTextCursor c(pane->document()->findBlockByNumber(line));
        c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, col - 1);
        c.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, 1);
        pane->setTextCursor(c);
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QCoreApplication::sendEvent(pane, &key);
    }
};

TEST_F(FileCommandWindow, DateUpdateAsksWithTheFirstStartAndRewritesHeadersAndRecords)
{
    open(4);
    sh->prompter.replies = {"10/02/28 23:30"};
    sh->w().runCommand(QStringLiteral("Mdate"));
    ASSERT_FALSE(sh->prompter.shown.empty());
    EXPECT_EQ(sh->prompter.shown[0].title, edittext::kDateCaption);
    EXPECT_EQ(sh->prompter.shown[0].preset, "26/05/06 10:00");
    EXPECT_EQ(sh->panel(panel::kStatus), edittext::kDateDone);
    const std::string m = bytesOf(pf.master());
    const int S = sectorsFor(120 * 20 * 3, 3);
    const auto h2 = readValidHeader(reinterpret_cast<const std::uint8_t*>(m.data()) + 512 * S);
    ASSERT_TRUE(h2);
    EXPECT_EQ(shortDateText(headerShortDate(*h2)), "10/03/01 00:30");
    EXPECT_EQ(bytesOf(pf.path("NR012L.H10")).substr(392 + 6, 17), "   10, 3/ 1,00:30");

    // Cancelled: nothing changes.
    sh->prompter.replies = {"can"};
    sh->w().runCommand(QStringLiteral("Mdate"));
    EXPECT_EQ(bytesOf(pf.master()), m);
}

TEST_F(FileCommandWindow, TimeEditorRefusesNonContinuousDataAndWritesTheNamedFile)
{
    open(3);
    sh->w().runCommand(QStringLiteral("MTimeEditor"));
    EXPECT_EQ(sh->panel(panel::kStatus), edittext::kNotContinuous);
    EXPECT_TRUE(sh->prompter.shown.empty());

    open(3, 10, 10);
    sh->prompter.replies = {"26/05/06 10:00", "26/05/06 10:05", "5/20", ""};
    sh->w().runCommand(QStringLiteral("MTimeEditor"));
    EXPECT_EQ(sh->panel(panel::kStatus), edittext::kEditDone);
    ASSERT_EQ(sh->prompter.shown.size(), 4u);
    EXPECT_EQ(sh->prompter.shown[2].preset, "10/10");
    EXPECT_NE(sh->prompter.shown[3].text.find("\"NR012-260506-1005-0520m.h10\"を作成します。"), std::string::npos);
    const std::string made = bytesOf(pf.path("NR012-260506-1005-0520m.h10"));
    EXPECT_EQ(made.size() % 512, 0u);
    EXPECT_GT(made.size(), 0u);
}

TEST_F(FileCommandWindow, ResultsEditsAreSavedErrorRowWrittenAndSaveAsInAnotherCaseCopiesNothing)
{
    open(6);
    DocumentWindow* d = activate(viewkind::kResultsTable, "MnumR");
    ASSERT_NE(d, nullptr);
    auto* view = dynamic_cast<ResultsTableView*>(sh->w().views().find(viewkind::kResultsTable));
    sh->w().selectMeasurement(3);
    const std::string before = bytesOf(pf.path("NR012L.H10"));
    // The first column that is not a spacer and not the running number.
    const ResultsTableColumn* target = nullptr;
    int end = 0;
    for (const ResultsTableColumn& c : view->layout().columns) {
        end += c.width;
        if (!c.spacer && c.position >= 0 && c.position != view->layout().numberPosition && end > 20) {
            target = &c;
            break;
        }
    }
    ASSERT_NE(target, nullptr);
    const int line = static_cast<int>(resultsLineIndex(3, view->blocks()));
    typeOver(d->richTextBox1(), line, end, QLatin1Char('-'));
    typeOver(d->richTextBox1(), line, end, QLatin1Char('-'));
    EXPECT_EQ(d->editedRows(), std::set<long long>{3});
    sh->w().runCommand(QStringLiteral("Mmodifi"));
    const std::string after = bytesOf(pf.path("NR012L.H10"));
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(resultItem(after.substr(2 * 392, 392), target->position), "-----");
    EXPECT_EQ(after.substr(0, 2 * 392), before.substr(0, 2 * 392));
    EXPECT_EQ(after.substr(3 * 392), before.substr(3 * 392));
    EXPECT_TRUE(d->editedRows().empty());

    sh->w().runCommand(QStringLiteral("Mewrite"));
    // The error row has no running number: the table's refresh numbers it
    // again with the status 4.0, as it does every record out of sequence.
    EXPECT_EQ(bytesOf(pf.path("NR012L.H10")).substr(2 * 392, 392), sequenceReplacement(3, view->layout()));
    EXPECT_EQ(bytesOf(pf.path("NR012L.H10")).substr(3 * 392), before.substr(3 * 392));

    const auto files = [&] { return std::distance(std::filesystem::directory_iterator(pf.dir), {}); };
    const auto count = files();
    chosenSave = pf.path("nr012l.h10");
    sh->w().runCommand(QStringLiteral("Msave"));
    EXPECT_EQ(files(), count);
    EXPECT_EQ(sh->panel(panel::kStatus), filetext::kSaved);
    EXPECT_EQ(sh->w().dataSet().resultsPath, pf.path("NR012L.H10"));
}

TEST_F(FileCommandWindow, RawTableUnchangedSavesIdenticalBytesAndAnEditedValueItsCount)
{
    open(3);
    DocumentWindow* d = activate(viewkind::kRawTable, "MnumD");
    ASSERT_NE(d, nullptr);
    const std::string before = bytesOf(pf.master());
    sh->w().runCommand(QStringLiteral("Mmodifi"));
    EXPECT_EQ(sh->panel(panel::kStatus), kSaveDone);
    EXPECT_EQ(bytesOf(pf.master()), before);

    // The first field of line 2 (channel 0, sample 1; factor 0.1) becomes 12.5.
    QPlainTextEdit* pane = d->richTextBox1();
    QTextCursor c(pane->document()->findBlockByNumber(1));
    c.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, 7);
    pane->setTextCursor(c);
    c.insertText(QStringLiteral("   12.5"));
    sh->w().runCommand(QStringLiteral("Mmodifi"));
    EXPECT_EQ(sh->panel(panel::kStatus), kSaveDone);
    const std::string after = bytesOf(pf.master());
    const long long offset = sh->w().dataSet().headerOffset;
    EXPECT_EQ(getS16(reinterpret_cast<const std::uint8_t*>(after.data()), offset + 256 + 2 * 3), 125);
    EXPECT_TRUE(sectorSumOk(reinterpret_cast<const std::uint8_t*>(after.data()) + offset));
    EXPECT_EQ(sh->w().dataSet().rawCounts[0][1], 125);  // read back

    // A value that is no count: refused with a message, nothing written.
    pane = sh->doc(viewkind::kRawTable)->richTextBox1();
    c = QTextCursor(pane->document()->findBlockByNumber(1));
    c.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, 7);
    c.insertText(QStringLiteral("  12.55"));
    sh->w().runCommand(QStringLiteral("Mmodifi"));
    EXPECT_EQ(bytesOf(pf.master()), after);
    EXPECT_EQ(sh->prompter.shown.back().icon, MsgIcon::Warning);
}

TEST_F(FileCommandWindow, SizeChangeAndUserFolders)
{
    open(4);
    const int S = sectorsFor(120 * 20 * 3, 3);
    std::filesystem::resize_file(pf.master(), 5LL * 512 * S);
    sh->w().runCommand(QStringLiteral("MMfileSize"));
    ASSERT_FALSE(sh->prompter.shown.empty());
    EXPECT_EQ(sh->prompter.shown.back().text, edittext::kResizeProper);
    std::filesystem::resize_file(pf.master(), 7LL * 512 * S);
    sh->w().runCommand(QStringLiteral("MMfileSize"));
    EXPECT_EQ(sh->prompter.shown.back().text, edittext::kResizeAsk);
    EXPECT_EQ(std::filesystem::file_size(pf.master()), 4ULL * 512 * S);
    EXPECT_EQ(std::filesystem::file_size(pf.path("NR012-20260508-093000M.H10")), 7ULL * 512 * S);
    EXPECT_EQ(sh->panel(panel::kStatus), std::to_string(4LL * 512 * S) + edittext::kResized);

    const std::string base = pf.path("users");
    sh->prompter.replies = {base, base};
    sh->w().runCommand(QStringLiteral("Muser"));
    EXPECT_EQ(sh->panel(panel::kStatus), filetext::kUserDone + base);
    const auto made = [&] { return std::distance(std::filesystem::directory_iterator(base), {}); };
    EXPECT_EQ(made(), 4);
    std::vector<std::string> entries;
    ASSERT_EQ(readUserFolderTable(pf.path(kUserFolderTableName), entries), Status::Ok);
    for (int i = 4; i < 8; ++i)  // block 1 of 4 folders
        EXPECT_TRUE(std::filesystem::is_directory(base + "/" + userFolderName(entries, i))) << i;
    sh->w().runCommand(QStringLiteral("Muser"));
    EXPECT_EQ(made(), 4);
    sh->prompter.replies = {"can"};
    sh->w().runCommand(QStringLiteral("Muser"));
    EXPECT_EQ(sh->panel(panel::kStatus), filetext::kUserCancelled);
}

}  // namespace

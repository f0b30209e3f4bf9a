// Start-up pieces, help topics, exit question, right-click menu and the
// document-window rules.
#include "common/masterfile.h"
#include "tolv/data/docrules.h"
#include "tolv/shell/helptopics.h"
#include "tolv/shell/shellrules.h"
#include "tolv/shell/startup.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace varenta;

TEST(Startup, UserFolderBase)
{
    struct Case {
        const char* name;
        std::uint32_t flags;
        const char* field4;
        const char* folder;
        const char* home;
        const char* want;
    } cases[] = {
        {"user-folder mode, no field 4", startflag::kUserFolderMode, "", "/opt/tolv", "/home/u", "/opt/tolv"},
        {"user-folder mode beats field 4", startflag::kUserFolderMode, "/data/users", "/opt/tolv", "/home/u", "/opt/tolv"},
        {"field 4", 0, "/data/users", "/opt/Obsvnt", "/home/u", "/data/users"},
        {"folder ending vnt", 0, "", "/opt/Obsvnt", "/home/u", "/opt"},
        {"folder named vnt", 0, "", "/opt/vnt", "/home/u", "/opt"},
        {"folder ending VNT", 0, "", "/srv/site/KaiVNT/", "/home/u", "/srv/site"},
        {"default under home", 0, "", "/opt/tolv", "/home/u", "/home/u/RudeDarIvaz/LocalUser"},
        {"default without home", 0, "", "/opt/tolv", "", "/opt/tolv/RudeDarIvaz/LocalUser"},
    };
    for (const Case& c : cases) {
        StartOptions o = parseStartOptions(std::string(c.flags ? "10000" : "0") + ",,," + c.field4, c.folder);
        o.flags |= c.flags;
        EXPECT_EQ(userFolderBase(o, c.folder, c.home), c.want) << c.name;
    }
}

TEST(Startup, ErrorRowIsOneResultsRecord)
{
    const std::string row = errorRow();
    ASSERT_EQ(row.size(), kResultsRecordSize);
    EXPECT_EQ(row.substr(390), "\r\n");
    EXPECT_EQ(resultItem(row, 0), "-----");
    EXPECT_EQ(resultItem(row, 1), "   00");
    EXPECT_EQ(resultItem(row, 2), " 1/ 1");
    EXPECT_EQ(resultItem(row, 3), " 0:00");
    for (int i = 4; i < 64; ++i)
        EXPECT_EQ(resultItem(row, i), "-----") << i;
    // Groups are joined by ", ".
    EXPECT_EQ(row.substr(47, 2), ", ");
    EXPECT_EQ(row.substr(0, 12), "-----,   00,");
}

TEST(Startup, VersionTextAndIcon)
{
    EXPECT_EQ(tolvVersionText(0), "VarentaK Version 4.8.241D");
    EXPECT_EQ(tolvVersionText(0x01), "VarentaK Version 4.8.241D");
    EXPECT_EQ(tolvVersionText(0x02), "VarentaK Version 4.8.241W");
    EXPECT_EQ(tolvVersionText(0x03), "VarentaK Version 4.8.241w");
    EXPECT_EQ(tolvVersionText(0x10003), "VarentaK Version 4.8.241w");
    EXPECT_FALSE(tolvUsesFolderIcon(0x01));
    EXPECT_TRUE(tolvUsesFolderIcon(0x02));
}

TEST(Startup, CaptionAndFilter)
{
    EXPECT_EQ(tolvCaption("", ""), "Varentix");
    EXPECT_EQ(tolvCaption("/d/NR012M.H10", ""), "Varentix - /d/NR012M.H10");
    EXPECT_EQ(tolvCaption("/d/NR012M.H10", "/d/NR012l.H10"), "Varentix - /d/NR012M.H10 - /d/NR012l.H10");
    EXPECT_EQ(openDialogFilter(), "データファイル  (*.H10;*.TMP)|*.H10;*.TMP|設定ファイル  (*.TBL)|*.TBL|"
                                  "すべてのファイル (*.*)|*.*|");
}

TEST(HelpTopics, ContextToPage)
{
    struct Case {
        int ctx;
        const char* page;
    } cases[] = {{1002, "RawGraphD.htm"},       {1003, "RawTableD.htm"},    {1010, "Menu01.htm"},
                 {1018, "ToolBar.htm"},         {1019, "DirSpectrum1.htm#m4"}, {1030, "DownLoad-FTP.htm"},
                 {1001, "AbstractD.htm"},       {1012, "AbstractD.htm"},    {0, "AbstractD.htm"},
                 {-5, "AbstractD.htm"},         {1029, "TeskResultTable.htm"}};
    for (const Case& c : cases)
        EXPECT_EQ(helpTopicPage(c.ctx), c.page) << c.ctx;
    EXPECT_EQ(helpPageFile("/p", "DirSpectrum1.htm#m4"), "/p/help/tolvd/DirSpectrum1.htm");
    EXPECT_EQ(helpPageAnchor("DirSpectrum1.htm#m4"), "m4");
    EXPECT_EQ(helpPageAnchor("ToolBar.htm"), "");
}

TEST(ExitQuestion, ListsRunningFunctionsInOrder)
{
    struct Case {
        const char* name;
        std::uint32_t autoWord;
        std::uint32_t flags;
        bool session;
        const char* prefix;  // nullptr: no question
    } cases[] = {
        {"nothing on", 0, 0, false, nullptr},
        {"only non-timed bits", 0x40 | 0x400, 0, false, nullptr},
        {"processing and download", 0x08 | 0x20, 0, false, "自動処理､自動ダウンロード､機能が作動しています。"},
        {"graph printing", 0x04, 0, false, "自動印刷､機能が作動しています。"},
        {"all", 0x2E, 0, false, "自動処理､自動印刷､自動ダウンロード､機能"},
        {"no confirmation flag", 0x08, 0x40, false, nullptr},
        {"session ending", 0x08, 0, true, nullptr},
    };
    for (const Case& c : cases) {
        const auto q = exitQuestion(c.autoWord, c.flags, c.session);
        if (!c.prefix) {
            EXPECT_FALSE(q.has_value()) << c.name;
            continue;
        }
        ASSERT_TRUE(q.has_value()) << c.name;
        EXPECT_EQ(q->title, "自動機能停止の警告");
        EXPECT_EQ(q->text.rfind(c.prefix, 0), 0u) << c.name << ": " << q->text;
        const std::string tail = "機能が作動しています。 終了してもよろしいですか？\r\n"
                                 "［はい］＝終了、［いいえ］＝最小化、［キャンセル］＝そのまま";
        EXPECT_EQ(q->text.substr(q->text.size() - tail.size()), tail) << c.name;
    }
}

TEST(PopupMenu, MaskAndState)
{
    EXPECT_FALSE(popupAllowed(0x01 | 0x20 | 0x2000));
    EXPECT_TRUE(popupAllowed(0x100));
    EXPECT_TRUE(popupAllowed(0x10));
    EXPECT_TRUE(popupAllowed(0x20000));
    EXPECT_FALSE(popupAllowed(0x40000));

    const PopupItems statusBar = popupItems(popupbit::kHelp, 0x100, false);
    EXPECT_TRUE(statusBar.help);
    EXPECT_FALSE(statusBar.execute || statusBar.calculate || statusBar.conditions || statusBar.errorRow ||
                 statusBar.modify || statusBar.copy || statusBar.zoomIn || statusBar.zoomOut);

    const PopupItems text = popupItems(popupbit::kTextPane, 0x100, false);
    EXPECT_TRUE(text.execute && text.calculate && text.conditions && text.errorRow && text.modify && text.help &&
                text.copy);
    EXPECT_FALSE(text.zoomIn || text.zoomOut);

    const PopupItems graph = popupItems(popupbit::kRawOrResultsGraph, 0x200, true);
    EXPECT_TRUE(graph.zoomIn && graph.zoomOut && graph.execute && graph.help && graph.copy);
    EXPECT_FALSE(graph.calculate || graph.modify);
    // Zoom needs a view of kinds 0..4 and the graph picture active.
    EXPECT_FALSE(popupItems(popupbit::kRawOrResultsGraph, 0x200, false).zoomIn);
    EXPECT_FALSE(popupItems(popupbit::kRawOrResultsGraph, 0x10000, true).zoomOut);
    const PopupItems other = popupItems(popupbit::kOtherGraph, 0x1000, true);
    EXPECT_FALSE(other.zoomIn || other.zoomOut);
    EXPECT_TRUE(other.errorRow && other.conditions);
}

TEST(ShellRules, ClockAndScanTexts)
{
    EXPECT_TRUE(automaticTimersOn(0x02));
    EXPECT_TRUE(automaticTimersOn(0x20));
    EXPECT_FALSE(automaticTimersOn(0x40 | 0x01 | 0x10 | 0x400));
    EXPECT_EQ(clockText(9, 5, 7, true), "09:05:07");
    EXPECT_EQ(clockText(23, 59, 0, false), "23:59");
    EXPECT_EQ(scanTickText(0x01, true, "/u"), " ファイルモードスキャン開始-/u");
    EXPECT_EQ(scanTickText(0x00, false, "/u"), " フォルダモードスキャン終了-/u");
}

TEST(DocRules, RawTableCaret)
{
    struct Case {
        long long caret;
        int c;
        long long rows;
        int lead;
        long long want;
    } cases[] = {
        {70, 4, 100, 0, 8},       // the worked example: 4 x 2 + (70 mod 33) div 8
        {0, 4, 100, 0, 0},        {32, 4, 100, 0, 4},  // on the line end: the next row's first value
        {33, 4, 100, 0, 4},       {10000, 4, 3, 0, 8 + (10000 - 66) / 8},  // past the end: last row
        {7 + 8, 3, 10, 7, 1},     // time column of 7 characters, second value of row 0
        {3, 3, 10, 7, 0},         // inside the time column
        {5, 0, 10, 0, 0},         {5, 4, 0, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rawTableDataNumber(c.caret, c.c, c.rows, c.lead), c.want) << c.caret << "/" << c.c;
    EXPECT_EQ(rawTableCaret(2, 6, 4), 72);
}

TEST(DocRules, ResultsTableCaret)
{
    // Line length 50, 2 heading lines, groups of 24 rows.
    EXPECT_EQ(resultsTableMeasurement(0, 50, 2, 24), 1);
    EXPECT_EQ(resultsTableMeasurement(99, 50, 2, 24), 2);
    EXPECT_EQ(resultsTableMeasurement(102, 50, 2, 24), 3);
    EXPECT_EQ(resultsTableMeasurement(102 + 50 * 24 + 2, 50, 2, 24), 27);
    EXPECT_EQ(resultsTableMeasurement(10, 0, 2, 24), 0);
    EXPECT_EQ(resultsTableMeasurement(10, 50, 2, 0), 0);
}

TEST(DocRules, DnoTextAndHelpContexts)
{
    // 0.5 s, 3 displayed channels: 360 values a minute.
    EXPECT_EQ(dataNumberText(0, 360), "0(00:00)");
    EXPECT_EQ(dataNumberText(365, 360), "365(01:00)");
    EXPECT_EQ(dataNumberText(540, 360), "540(01:30)");
    EXPECT_EQ(dataNumberText(12, 0), "12");
    EXPECT_EQ(textPaneHelpContext(0, 23), 1003);
    EXPECT_EQ(textPaneHelpContext(0, 19), 1027);
    EXPECT_EQ(textPaneHelpContext(2, 19), 1029);
    EXPECT_EQ(textPaneHelpContext(4, 19), 1001);
    EXPECT_EQ(graphPaneHelpContext(1, 19), 1026);
    EXPECT_EQ(graphPaneHelpContext(3, 60), 1004);
    EXPECT_EQ(graphPaneHelpContext(7, 60), 1019);
    EXPECT_EQ(graphPaneHelpContext(0, 60), 1001);
    EXPECT_EQ(graphPanePopupMask(1), 493u);
    EXPECT_EQ(graphPanePopupMask(6), 109u);
    EXPECT_EQ(viewTitle(6, true), "成分風速２次元グラフ");
    EXPECT_EQ(viewTitle(6, false), "成分流速２次元グラフ");
    EXPECT_EQ(viewTitle(0), "生データ表");
}

TEST(HelpTopics, EveryTopicHasAShippedPage)
{
    const std::string folder = std::string(VARENTA_SOURCE_DIR) + "/data";
    for (int ctx = 995; ctx <= 1035; ++ctx) {
        const std::string page = helpTopicPage(ctx);
        // The pages are shipped under data/help/tolvd and installed as they are.
        const std::string file = helpPageFile(folder, page);
        FILE* f = std::fopen(file.c_str(), "rb");
        EXPECT_NE(f, nullptr) << ctx << " " << file;
        if (!f)
            continue;
        std::string text(1 << 16, '\0');
        text.resize(std::fread(text.data(), 1, text.size(), f));
        std::fclose(f);
        EXPECT_NE(text.find("charset=\"utf-8\"") == std::string::npos ? text.find("charset=utf-8") : 0,
                  std::string::npos);
        const std::string anchor = helpPageAnchor(page);
        if (!anchor.empty())
            EXPECT_NE(text.find("name=\"" + anchor + "\""), std::string::npos) << page;
    }
}

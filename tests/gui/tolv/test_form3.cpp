// The processing-conditions dialog on a prepared "tolvi.ini": what each tab
// shows, which marks an edit sets, what Update stores and refreshes, the
// list editors, the colour labels, the register and the table save.
#include "tolv/shell/ui/form3.h"

#include "common/textfile.h"
#include "common/ui/qtutil.h"
#include "tolv/shell/test_conditions_host.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace varenta;
using varenta::testing::RecordingConditionsHost;

namespace {

namespace m = conditionmark;

// A "tolvi.ini" whose every bound value differs from the template's and
// from each other, written to the folder and read back by the host.
class Form3Test : public ::testing::Test {
public:
    void SetUp() override
    {
        folder_ = varenta::testing::installedFolder("form3");
        Settings s;
        ASSERT_EQ(s.load(folder_ + "/tolvi.org"), Status::Ok);
        int n = 0;
        for (const ControlBinding& b : conditionBindings()) {
            if (b.target != ControlTarget::Item)
                continue;
            ++n;
            switch (b.kind) {
            case ControlKind::Text: s.set(b.item, b.value, std::to_string(1000 + n)); break;
            case ControlKind::Check: s.set(b.item, b.value, std::string(1, n % 2 ? '1' : '0')); break;
            case ControlKind::Colour: s.set(b.item, b.value, std::to_string(0x010203 * n)); break;
            case ControlKind::ItemCode: s.set(b.item, b.value, std::to_string(100 + n)); break;
            }
        }
        s.set(96, 0, "0");     // header priority off (its own test turns it on)
        s.set(85, 4, "A5C3");  // automatic-function word
        s.set(85, 5, "4");     // second switch word: directional spectra
        s.set(83, 0, "/web/NR012r.tmp");
        s.set(98, 0, "/data/NR012M.H10");
        s.set(98, 1, "/data/NR013M.H10");
        s.setInt(178, 2, 1);
        std::vector<std::string> layout;
        ASSERT_EQ(readTextLines(folder_ + "/tolvi.org", layout), Status::Ok);
        ASSERT_EQ(writeTextLines(folder_ + "/tolvi.ini", s.render(layout)), Status::Ok);

        host_ = std::make_unique<RecordingConditionsHost>(folder_);
        ASSERT_EQ(host_->settings().load(folder_ + "/tolvi.ini"), Status::Ok);
        host_->runtime().autoWord = host_->settings().hex(85, 4);
        host_->runtime().switchWord2 = host_->settings().hex(85, 5);
        host_->flags = kRecordItemsEditFlag | startflag::kWeeklyBackup;
        form_ = std::make_unique<Form3>(*host_, prompter_);
        form_->openConditions();
    }

    void TearDown() override
    {
        form_.reset();
        std::filesystem::remove_all(folder_);
    }

public:
    template <class W>
    W* w(const char* name) const
    {
        W* widget = form_->findChild<W*>(QString::fromUtf8(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QPushButton* button(const char* name) const { return w<QPushButton>(name); }
    // Only the frames of the current tab take clicks.
    void tab(int index) const { w<QTabWidget>("SSTab1")->setCurrentIndex(index); }
    void select(const char* list, int row) const
    {
        QListWidget* l = w<QListWidget>(list);
        l->setCurrentRow(row);
    }

    std::string folder_;
    ScriptedPrompter prompter_;
    std::unique_ptr<RecordingConditionsHost> host_;
    std::unique_ptr<Form3> form_;
};

std::string shown(QWidget* widget)
{
    if (auto* e = qobject_cast<QLineEdit*>(widget))
        return e->text().toStdString();
    if (auto* c = qobject_cast<QCheckBox*>(widget))
        return std::string(1, c->isChecked() ? '1' : '0');
    if (auto* cb = qobject_cast<QComboBox*>(widget))
        return cb->isEditable() ? cb->currentText().toStdString() : std::to_string(cb->currentIndex());
    if (auto* l = qobject_cast<QLabel*>(widget))
        return l->property("colourNumber").toString().toStdString();
    return "?";
}

}  // namespace

TEST_F(Form3Test, EveryTabShowsThePreparedValues)
{
    EXPECT_EQ(form_->windowTitle().toStdString(), "VarentaK - 条件の設定");
    EXPECT_TRUE(host_->runtime().state(statebit::kConditionsOpen));
    const Settings& s = host_->settings();
    for (const ControlBinding& b : conditionBindings()) {
        QWidget* widget = form_->findChild<QWidget*>(QString::fromUtf8(b.name));
        ASSERT_NE(widget, nullptr) << b.name;
        std::string expected;
        switch (b.target) {
        case ControlTarget::Item:
            expected = b.kind == ControlKind::ItemCode ? std::to_string(s.integer(b.item, b.value))
                                                       : s.trimmed(b.item, b.value);
            break;
        case ControlTarget::AutoBit: expected = std::string(1, (0xA5C3u & b.bit) ? '1' : '0'); break;
        case ControlTarget::Switch2Bit: expected = std::string(1, (4u & b.bit) ? '1' : '0'); break;
        case ControlTarget::StartFlag: expected = "1"; break;
        case ControlTarget::None: expected = ""; break;
        }
        EXPECT_EQ(shown(widget), expected) << b.name;
    }
    // The partners of the paper pairs, the web file, the register, the lanes.
    EXPECT_NE(w<QCheckBox>("Check2_0")->isChecked(), w<QCheckBox>("Check2_1")->isChecked());
    EXPECT_NE(w<QCheckBox>("Check5_0")->isChecked(), w<QCheckBox>("Check5_1")->isChecked());
    EXPECT_EQ(w<QLineEdit>("Text2")->text().toStdString(), "/web/NR012r.tmp");
    QComboBox* files = w<QComboBox>("Combo1");
    ASSERT_EQ(files->count(), 2);
    EXPECT_EQ(files->itemText(1).toStdString(), "/data/NR013M.H10");
    EXPECT_EQ(w<QComboBox>("Combo2_2")->currentText().toStdString(), "2 流速X");
    EXPECT_EQ(w<QComboBox>("Combo2_0")->count(), 3);
    // Lists: the table layout on the left, the record's 64 items on the right.
    EXPECT_EQ(w<QListWidget>("List1_0")->count(), 21);
    EXPECT_EQ(w<QListWidget>("List1_0")->item(0)->text().toStdString(), "002 測定月日");
    EXPECT_EQ(w<QListWidget>("List1_1")->count(), 64);
    EXPECT_EQ(w<QListWidget>("List1_2")->count(), 13);
    EXPECT_EQ(w<QListWidget>("List1_3")->count(), 64);
    // Value lists from item 65.
    EXPECT_EQ(w<QComboBox>("Combo4_0")->count(), 10);
    EXPECT_EQ(w<QComboBox>("Combo3_8")->itemText(0).toStdString(), "-10");
    EXPECT_EQ(w<QComboBox>("Combo3_24")->itemText(0).toStdString(), "0.06");
    EXPECT_EQ(w<QComboBox>("Combo3_0")->count(), 512);
    EXPECT_EQ(w<QPlainTextEdit>("Text3")->toPlainText().toStdString(), "機械番号= 12\n測定番号= 345\n");
    // Filling marks nothing.
    EXPECT_EQ(form_->marks(), 0u);
    EXPECT_FALSE(button("Command1")->isEnabled());
}

TEST_F(Form3Test, AnEditMarksTheRightBits)
{
    struct Case {
        const char* what;
        std::function<void(Form3Test&)> edit;
        std::uint32_t marks;
    };
    const std::vector<Case> cases = {
        {"noise filter level", [](Form3Test& t) { t.w<QLineEdit>("Text1_28")->setText("20"); }, m::kReprocess},
        {"directional spectra", [](Form3Test& t) { t.w<QCheckBox>("Check1_5")->toggle(); }, m::kReprocess},
        {"ultrasonic heights", [](Form3Test& t) { t.w<QCheckBox>("Check1_7")->toggle(); },
         m::kItemLists | m::kResultsTable | m::kResultsGraph},
        {"blank rows", [](Form3Test& t) { t.w<QLineEdit>("Text1_17")->setText("12"); }, m::kResultsTable},
        {"full scale", [](Form3Test& t) { t.w<QComboBox>("Combo4_0")->setCurrentText("500"); }, m::kRawGraph},
        {"lane shown", [](Form3Test& t) { t.w<QCheckBox>("Check3_4")->toggle(); }, m::kRawGraph},
        {"results item", [](Form3Test& t) { t.w<QComboBox>("Combo3_2")->setCurrentIndex(12); }, m::kResultsGraph},
        {"days", [](Form3Test& t) { t.w<QComboBox>("Combo3_24")->setCurrentText("14"); }, m::kResultsGraph},
        {"heading", [](Form3Test& t) { t.w<QLineEdit>("Text1_5")->setText("見出し"); },
         m::kRawGraph | m::kResultsGraph},
        {"automatic processing", [](Form3Test& t) { t.w<QCheckBox>("Check1_3")->toggle(); }, m::kTimers},
        {"print time", [](Form3Test& t) { t.w<QLineEdit>("Text1_19")->setText("9"); }, 0},
        {"web count", [](Form3Test& t) { t.w<QLineEdit>("Text1_12")->setText("48"); }, m::kWebPage},
        {"web file", [](Form3Test& t) { t.w<QLineEdit>("Text2")->setText("/web/x.tmp"); }, m::kWebFile},
        {"paper", [](Form3Test& t) { t.w<QCheckBox>("Check2_1")->toggle(); }, 0},
        {"list clear",
         [](Form3Test& t) {
             t.tab(1);
             t.button("Command2_5")->click();
         },
         m::kItemLists},
        {"web list delete",
         [](Form3Test& t) {
             t.tab(4);
             t.select("List1_2", 0);
             t.button("Command2_8")->click();
         },
         m::kItemLists | m::kWebPage},
        {"lane channel", [](Form3Test& t) { t.w<QComboBox>("Combo2_0")->setCurrentIndex(2); }, m::kRawGraph},
    };
    for (const Case& c : cases) {
        form_->fill();
        ASSERT_EQ(form_->marks(), 0u);
        c.edit(*this);
        EXPECT_EQ(form_->marks(), c.marks) << c.what;
        EXPECT_TRUE(form_->hasEdits()) << c.what;
        EXPECT_TRUE(button("Command1")->isEnabled()) << c.what;
    }
}

TEST_F(Form3Test, UpdateOfNoiseFilterAndFullScaleReprocessesOnceAndRedisplaysNothing)
{
    w<QLineEdit>("Text1_28")->setText("20");
    w<QComboBox>("Combo4_0")->setCurrentText("500");
    button("Command1")->click();
    EXPECT_EQ(host_->calls, std::vector<std::string>{"reprocess"});
    EXPECT_EQ(host_->settings().value(68, 0), "20");
    EXPECT_EQ(host_->settings().value(170, 1), "500");
    EXPECT_EQ(form_->marks(), 0u);
    EXPECT_FALSE(button("Command1")->isEnabled());
}

TEST_F(Form3Test, UpdateOfAPrintTimeOnlyStores)
{
    Settings before = host_->settings();
    w<QLineEdit>("Text1_19")->setText("9");
    w<QLineEdit>("Text1_20")->setText("45");
    ASSERT_TRUE(button("Command1")->isEnabled());
    button("Command1")->click();
    EXPECT_TRUE(host_->calls.empty());
    EXPECT_EQ(host_->settings().value(66, 6), "9");
    EXPECT_EQ(host_->settings().value(66, 7), "45");
    // Nothing else moved.
    for (int n = 0; n < kSettingsItems; ++n)
        for (int k = 0; k < kSettingsValues; ++k)
            if (!(n == 66 && k >= 6)) {
                EXPECT_EQ(host_->settings().value(n, k), before.value(n, k)) << n << "," << k;
            }
}

TEST_F(Form3Test, UpdateRefreshesTheMarkedViewsSeparatelyWithoutReprocessing)
{
    w<QComboBox>("Combo4_0")->setCurrentText("500");       // raw graph
    w<QComboBox>("Combo3_24")->setCurrentText("14");       // results graph
    w<QLineEdit>("Text1_16")->setText("6");                // results table
    w<QCheckBox>("Check1_10")->toggle();                   // download switch
    button("Command1")->click();
    EXPECT_EQ(host_->calls, (std::vector<std::string>{"table", "redisplay", "graph", "timers"}));
    EXPECT_EQ(host_->settings().value(78, 0), "14");
    EXPECT_EQ(host_->runtime().autoWord & autofn::kDownload, (0xA5C3u & autofn::kDownload) ^ autofn::kDownload);
}

TEST_F(Form3Test, RecordListOfSixtyEntriesStoresSixtyCodesAndFiveSpacers)
{
    tab(1);
    QCheckBox* mode = w<QCheckBox>("Check1_9");
    ASSERT_FALSE(mode->isHidden());
    ASSERT_FALSE(button("Command2_4")->isHidden());
    mode->setChecked(true);
    EXPECT_EQ(w<QGroupBox>("Frame1_2")->title().toStdString(), "処理結果ファイルのフォーマット");
    QListWidget* left = w<QListWidget>("List1_0");
    ASSERT_EQ(left->count(), 64);
    std::vector<int> expected;
    for (int i = 0; i < 60; ++i)
        expected.push_back(left->item(i)->data(Qt::UserRole).toInt());
    for (int i = 0; i < 4; ++i) {
        select("List1_0", 60);
        button("Command2_2")->click();
    }
    ASSERT_EQ(left->count(), 60);
    EXPECT_TRUE(form_->marks() & m::kItemLists);
    // In this mode the right list offers every defined item.
    EXPECT_EQ(w<QListWidget>("List1_1")->count(), 512);
    button("Command1")->click();
    EXPECT_EQ(host_->settings().value(165, 1), threeDigitText(expected) + "064064064064064");
    EXPECT_EQ(host_->count("mapping"), 1);
    // Still in the record mode, the list shows positions 0..63 again.
    EXPECT_EQ(left->count(), 64);
    // The table layout was kept as it was.
    EXPECT_EQ(host_->settings().value(165, 0), "002003006064012013008009010011064024025064032033034064020029109");
    mode->setChecked(false);
    EXPECT_EQ(left->count(), 21);
    EXPECT_EQ(w<QGroupBox>("Frame1_2")->title().toStdString(), "処理結果表のフォーマット");
}

TEST_F(Form3Test, ListButtonsInsertReplaceBlankAndRefuseWithoutSelection)
{
    tab(1);
    QListWidget* left = w<QListWidget>("List1_0");
    QListWidget* right = w<QListWidget>("List1_1");
    left->clearSelection();
    right->clearSelection();
    left->setCurrentRow(-1);
    button("Command2_1")->click();  // replace without selections
    EXPECT_EQ(form_->marks(), 0u);
    select("List1_0", 1);
    button("Command2_2")->click();  // delete 003
    EXPECT_EQ(left->count(), 20);
    select("List1_1", 12);          // code 012
    select("List1_0", 0);
    button("Command2_0")->click();  // insert above 002
    EXPECT_EQ(left->item(0)->text().toStdString(), "012 有義波高(m)");
    EXPECT_EQ(left->currentRow(), 1);
    button("Command2_3")->click();  // blank above 002
    EXPECT_EQ(left->item(1)->text().toStdString(), "064 －－－");
    button("Command2_1")->click();  // replace 002 by 012
    EXPECT_EQ(left->item(2)->data(Qt::UserRole).toInt(), 12);
    button("Command1")->click();
    EXPECT_EQ(host_->settings().value(165, 0).substr(0, 15), "012064012006064");
    // The web list.
    tab(4);
    select("List1_3", 5);  // code 004
    select("List1_2", 0);
    button("Command2_6")->click();
    EXPECT_EQ(w<QListWidget>("List1_2")->count(), 14);
    button("Command1")->click();
    EXPECT_EQ(host_->settings().value(165, 2).substr(0, 6), "004012");
}

TEST_F(Form3Test, ChangesWhileFillingOrSteppingAreIgnoredAndCloseLosesEdits)
{
    host_->runtime().setState(statebit::kStepping, true);
    w<QLineEdit>("Text1_28")->setText("20");
    EXPECT_EQ(form_->marks(), 0u);
    EXPECT_FALSE(button("Command1")->isEnabled());
    host_->runtime().setState(statebit::kStepping, false);

    w<QLineEdit>("Text1_29")->setText("3");
    EXPECT_TRUE(button("Command1")->isEnabled());
    form_->close();
    EXPECT_FALSE(host_->runtime().state(statebit::kConditionsOpen));
    EXPECT_NE(host_->settings().value(68, 1), "3");
    form_->openConditions();
    EXPECT_EQ(w<QLineEdit>("Text1_29")->text().toStdString(), host_->settings().value(68, 1));
    EXPECT_EQ(form_->marks(), 0u);
    // Opening an open dialog keeps its edits.
    w<QLineEdit>("Text1_29")->setText("4");
    form_->openConditions();
    EXPECT_EQ(w<QLineEdit>("Text1_29")->text().toStdString(), "4");
    // OK updates and closes.
    button("Command0")->click();
    EXPECT_EQ(host_->settings().value(68, 1), "4");
    EXPECT_FALSE(form_->isVisible());
}

TEST_F(Form3Test, TabsEnableTheirFramesAndSetTheHelpContext)
{
    auto* tabs = w<QTabWidget>("SSTab1");
    ASSERT_EQ(tabs->count(), 5);
    const char* titles[] = {"処理条件", "表", "グラフ", "自動処理", "Ｗｅｂ"};
    const int contexts[] = {1007, 1005, 1004, 1014, 1008};
    for (int t = 0; t < 5; ++t) {
        EXPECT_EQ(tabs->tabText(t).toStdString(), titles[t]);
        tabs->setCurrentIndex(t);
        EXPECT_EQ(form_->helpContext(), contexts[t]);
        EXPECT_EQ(w<QGroupBox>("Frame1_0")->isEnabled(), t == 0);
        EXPECT_EQ(w<QGroupBox>("Frame1_3")->isEnabled(), t == 2);
        EXPECT_EQ(w<QGroupBox>("Frame1_10")->isEnabled(), t == 4);
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(100, 200));
        QApplication::sendEvent(form_.get(), &e);
        EXPECT_EQ(host_->calls.back(), "help " + std::to_string(contexts[t]));
    }
}

TEST_F(Form3Test, PinsHoldTheDialogInFront)
{
    tab(2);
    auto* pin = w<QToolButton>("Image1_4");
    EXPECT_EQ(pin->toolTip().toStdString(), "このウィンドウを、手前に置く");
    pin->click();
    EXPECT_TRUE(form_->alwaysOnTop());
    EXPECT_TRUE(form_->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(w<QToolButton>("Image1_0")->isChecked());
    tab(0);
    w<QToolButton>("Image1_0")->click();
    EXPECT_FALSE(form_->alwaysOnTop());
    EXPECT_FALSE(form_->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(pin->isChecked());
}

TEST_F(Form3Test, ColourLabelsChooseAndStoreTheColourNumber)
{
    QColor asked;
    form_->chooseColour = [&asked](const QColor& current) -> std::optional<QColor> {
        asked = current;
        return QColor(0x12, 0x34, 0x56);
    };
    const auto click = [](QWidget* target) {
        QMouseEvent press(QEvent::MouseButtonRelease, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(target, &press);
    };
    form_->findChild<QTabWidget*>("SSTab1")->setCurrentIndex(2);
    click(w<QLabel>("Label3_9"));
    EXPECT_EQ(form_->marks(), m::kResultsGraph);
    click(w<QLabel>("Label4_1"));
    EXPECT_EQ(form_->marks(), m::kResultsGraph | m::kRawGraph);
    EXPECT_EQ(asked, colorFromNumber(host_->settings().integer(171, 3)));
    button("Command1")->click();
    const std::string number = std::to_string(0x12 + 0x34 * 256 + 0x56 * 65536);
    EXPECT_EQ(host_->settings().value(65, 7), number);
    EXPECT_EQ(host_->settings().value(171, 3), number);
    // A cancelled choice changes nothing.
    form_->chooseColour = [](const QColor&) -> std::optional<QColor> { return std::nullopt; };
    click(w<QLabel>("Label4_2"));
    EXPECT_EQ(form_->marks(), 0u);
}

TEST_F(Form3Test, PaperPairsExcludeEachOther)
{
    auto* portrait = w<QCheckBox>("Check2_0");
    auto* landscape = w<QCheckBox>("Check2_1");
    portrait->setChecked(true);
    EXPECT_FALSE(landscape->isChecked());
    landscape->setChecked(true);
    EXPECT_FALSE(portrait->isChecked());
    landscape->setChecked(false);
    EXPECT_TRUE(portrait->isChecked());
    w<QCheckBox>("Check5_1")->setChecked(true);
    EXPECT_FALSE(w<QCheckBox>("Check5_0")->isChecked());
    button("Command1")->click();
    EXPECT_EQ(host_->settings().value(85, 1), "1");
    EXPECT_EQ(host_->settings().value(85, 2), "0");
}

TEST_F(Form3Test, MasterFilesAreRegisteredAndRemovedByTheFileDialog)
{
    std::vector<std::string> chosen = {"/data/NR020M.H10", "", "/data/NR012M.H10"};
    QString lastTitle;
    form_->chooseFile = [&](const QString& title, const QString&) {
        lastTitle = title;
        const std::string p = chosen.front();
        chosen.erase(chosen.begin());
        return p;
    };
    tab(3);
    QComboBox* files = w<QComboBox>("Combo1");
    button("Command3_0")->click();
    EXPECT_EQ(lastTitle.toStdString(), "処理ファイルの参照");
    ASSERT_EQ(files->count(), 3);
    EXPECT_EQ(files->itemText(0).toStdString(), "/data/NR020M.H10");
    button("Command3_0")->click();  // cancelled: unchanged
    EXPECT_EQ(files->count(), 3);
    button("Command3_0")->click();  // registered already: removed
    ASSERT_EQ(files->count(), 2);
    EXPECT_EQ(files->itemText(1).toStdString(), "/data/NR013M.H10");
    EXPECT_TRUE(button("Command1")->isEnabled());
    button("Command1")->click();
    EXPECT_EQ(host_->settings().value(98, 0), "/data/NR020M.H10");
    EXPECT_EQ(host_->settings().value(98, 1), "/data/NR013M.H10");
    EXPECT_EQ(host_->settings().value(98, 2), "");
}

TEST_F(Form3Test, WebFileFromTheFileDialogIsMergedAtUpdate)
{
    form_->chooseFile = [](const QString& title, const QString&) {
        return title.toStdString() == "Ｗｅｂファイルの参照" ? std::string("/web/NR099r.tmp") : std::string();
    };
    tab(3);
    button("Command3_1")->click();
    EXPECT_EQ(w<QLineEdit>("Text2")->text().toStdString(), "/web/NR099r.tmp");
    host_->mergeResult = "";
    button("Command1")->click();
    EXPECT_EQ(host_->calls, std::vector<std::string>{"merge /web/NR099r.tmp"});
    EXPECT_TRUE(w<QLineEdit>("Text2")->text().isEmpty());
    EXPECT_EQ(host_->settings().value(83, 0), "");
    EXPECT_FALSE(button("Command1")->isEnabled());
}

TEST_F(Form3Test, ManualDownloadAsksFirst)
{
    prompter_.answers = {MsgAnswer::Cancel, MsgAnswer::Ok};
    tab(4);
    button("Command2_9")->click();
    ASSERT_EQ(prompter_.shown.size(), 1u);
    EXPECT_EQ(prompter_.shown[0].title, "ＦＴＰダウンロードの注意");
    EXPECT_EQ(prompter_.shown[0].text,
              "ファイル\"tolvd.txt\"の内容で、サービスサーバからＦＴＰでダウンロードします。 よろしいですか？");
    EXPECT_EQ(prompter_.shown[0].icon, MsgIcon::Warning);
    EXPECT_EQ(prompter_.shown[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(host_->count("download"), 0);
    button("Command2_9")->click();
    EXPECT_EQ(host_->count("download"), 1);
}

TEST_F(Form3Test, SaveWritesTheThreeTablesInTheFormTheStartFlagsSay)
{
    tab(1);
    button("Command2_4")->click();
    EXPECT_EQ(host_->calls.back(), "status 処理結果項目ファイルを保存しました");
    std::string positions;
    ASSERT_EQ(readFileBytes(folder_ + "/Brenlo2.tbl", positions), Status::Ok);
    EXPECT_EQ(positions.substr(0, 5), "   0,");
    EXPECT_TRUE(std::filesystem::exists(folder_ + "/Brenlo3.tbl"));
    EXPECT_TRUE(std::filesystem::exists(folder_ + "/Brenloid.org"));
    host_->flags |= startflag::kDeviceTableHex;
    button("Command2_4")->click();
    ASSERT_EQ(readFileBytes(folder_ + "/Brenlo2.tbl", positions), Status::Ok);
    EXPECT_EQ(positions.substr(0, 6), "00 01 ");
    // An empty selection is refused with a message and no file changes.
    host_->settings().set(165, 1, "");
    button("Command2_4")->click();
    ASSERT_FALSE(prompter_.shown.empty());
    EXPECT_EQ(prompter_.shown.back().text, "処理結果ファイルの項目がありません。");
    std::string again;
    ASSERT_EQ(readFileBytes(folder_ + "/Brenlo2.tbl", again), Status::Ok);
    EXPECT_EQ(again, positions);
}

TEST_F(Form3Test, RecordModeAndSaveAreHiddenWithoutTheirStartFlag)
{
    host_->flags = 0;
    form_->close();
    form_->openConditions();
    EXPECT_TRUE(w<QCheckBox>("Check1_9")->isHidden());
    EXPECT_TRUE(button("Command2_4")->isHidden());
    EXPECT_EQ(w<QCheckBox>("Check1_8")->isChecked(), false);
    w<QCheckBox>("Check1_8")->setChecked(true);
    EXPECT_EQ(form_->marks(), m::kTimers);
    button("Command1")->click();
    EXPECT_EQ(host_->flags, startflag::kWeeklyBackup);
}

TEST_F(Form3Test, ScheduleFieldsFollowTheSchedulerAndLanesStoreAtOnce)
{
    host_->settings().set(66, 6, "23");
    host_->settings().set(83, 7, "55");
    form_->refreshSchedules();
    EXPECT_EQ(w<QLineEdit>("Text1_19")->text().toStdString(), "23");
    EXPECT_EQ(w<QLineEdit>("Text1_8")->text().toStdString(), "55");
    EXPECT_EQ(form_->marks(), 0u);
    EXPECT_FALSE(button("Command1")->isEnabled());

    w<QComboBox>("Combo2_3")->setCurrentIndex(2);
    EXPECT_EQ(host_->calls.back(), "lane 3 2");
    EXPECT_EQ(host_->settings().value(178, 3), "2");

    form_->setHeaderText("A\r\nB\r\n");
    EXPECT_EQ(w<QPlainTextEdit>("Text3")->toPlainText().toStdString(), "A\nB\n");
}

TEST_F(Form3Test, HeaderPriorityShowsTheHeaderValuesAfterUpdate)
{
    QCheckBox* priority = w<QCheckBox>("Check1_12");
    priority->setChecked(true);
    w<QLineEdit>("Text1_28")->setText("20");
    button("Command1")->click();
    EXPECT_EQ(host_->calls, (std::vector<std::string>{"copyHeader", "mapping", "reprocess"}));
    EXPECT_EQ(w<QLineEdit>("Text1_28")->text().toStdString(), "40");
    EXPECT_TRUE(priority->isChecked());
    EXPECT_FALSE(button("Command1")->isEnabled());
}

// The processing-conditions dialog on a prepared "tolvi.ini": what each tab
// shows, which marks an edit sets, what Update stores and refreshes, the
// list editors, the colour labels, the register and the table save.
#include "tolv/shell/ui/form3.h"

#include "common/textfile.h"
#include "common/ui/qtutil.h"
#include "tolv/shell/test_conditions_host.h"

#include <QApplication>
#include <QAbstractButton>
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

namespace {

// The tab page a control lies on (-1: outside the tabs).
int tabOf(QTabWidget* tabs, QWidget* widget)
{
    for (QWidget* p = widget; p; p = p->parentWidget()) {
        const int i = tabs->indexOf(p);
        if (i >= 0)
            return i;
    }
    return -1;
}

QString captionOf(QWidget* widget)
{
    if (auto* b = qobject_cast<QAbstractButton*>(widget))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(widget))
        return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(widget))
        return g->title();
    return {};
}

}  // namespace

// Every named control of the dialog: its kind, tab, caption and tooltip.
TEST_F(Form3Test, ControlsCarryTheirNamesCaptionsAndTooltips)
{
    EXPECT_EQ(form_->objectName().toStdString(), "Form3");
    EXPECT_EQ(form_->windowTitle().toStdString(), "VarentaK - 条件の設定");
    auto* tabs = w<QTabWidget>("SSTab1");
    ASSERT_NE(tabs, nullptr);
    struct Control {
        std::string name;
        const char* type;  // class name
        int tab;           // -1: below the tabs
        std::string caption;  // "" : not checked
        std::string tip;
    };
    std::vector<Control> controls = {
        // Tab 0.
        {"Text1_10", "QLineEdit", 0, "", "長周期波フィルターの下（短い）限周期"},
        {"Text1_11", "QLineEdit", 0, "", "長周期波フィルターの上（長い）限周期"},
        {"Text1_31", "QLineEdit", 0, "", "ＦＦＴ後のフィルターの繰返し実行回数(１０～２０)"},
        {"Text1_30", "QLineEdit", 0, "", "パワースペクトル処理時のデータ数。０は全てのデータ"},
        {"Text1_29", "QLineEdit", 0, "", "ノイズフィルターの繰返し実行回数(1～5)"},
        {"Text1_28", "QLineEdit", 0, "", "ノイズフィルターレベル(10～50)、小さい値で、ﾌｨﾙﾀｰ効果が強くなる"},
        {"Text1_15", "QLineEdit", 0, "", "真北と磁北の偏角を逆時計回りの角度で指定"},
        {"Text1_14", "QLineEdit", 0, "", "N成分流速のゼロ補正値(m/s リードオンリー)"},
        {"Text1_13", "QLineEdit", 0, "", "E成分流速のゼロ補正値(m/s　リードオンリー)"},
        {"Text1_4", "QLineEdit", 0, "", "水位 = 水深 - 水位補正値"},
        {"Check1_0", "QCheckBox", 0, "流速値の座標変換", "流速の座標変換の有無の指定"},
        {"Text1_1", "QLineEdit", 0, "", "波高の静穏値､波向、方向スペクトルを計算するための、最低有義波高値"},
        {"Text1_2", "QLineEdit", 0, "", "海岸線に、うちよせる波の、方位範囲の、始めの値"},
        {"Text1_3", "QLineEdit", 0, "", "海岸線に、うちよせる波の、方位範囲の、終わりの値"},
        {"Text1_0", "QLineEdit", 0, "", "水圧計の海底からの高さ(m)"},
        {"Text1_6", "QLineEdit", 0, "", "水圧波高から表面波高への換算時の理論係数の限界値（通常＝１２）"},
        {"Check1_5", "QCheckBox", 0, "方向スペクトル", "ＯＮで方向スペクトルの処理と描画を実行する"},
        {"Check1_6", "QCheckBox", 0, "超音波", "ＯＦＦで方向スペクトル処理から超音波水位のデータを省く"},
        {"Check1_12", "QCheckBox", 0, "本体優先", "処理条件は本体の設定値を優先して使用する"},
        {"Text3", "QPlainTextEdit", 0, "", "各測定のヘッダー部の情報を表示する"},
        // Tab 1.
        {"List1_1", "QListWidget", 1, "", "処理結果６４項目です。この中から選択して表示します。"},
        {"List1_0", "QListWidget", 1, "", "処理結果表の表示（印刷）項目を指定します。上が表の左端"},
        {"Command2_0", "QPushButton", 1, "追加\n ← ", "右の選択項目を左の選択位置の上に挿入"},
        {"Command2_1", "QPushButton", 1, "置換\n←→", "右の選択項目と左の選択項目の入れ換え"},
        {"Command2_2", "QPushButton", 1, "削除\n → ", "左の選択項目の削除"},
        {"Command2_3", "QPushButton", 1, "空白\n ← ", "左の選択項目の上に空白の挿入"},
        {"Command2_5", "QPushButton", 1, "ｸﾘｱ", "項目のクリア"},
        {"Check1_9", "QCheckBox", 1, "処理結果ファイル", "処理結果ファイルの６４項目の編集（変更後は再実行が必要）"},
        {"Command2_4", "QPushButton", 1, "保存", "処理結果項目ファイルの保存"},
        {"Check1_7", "QCheckBox", 1, "波高は超音波式の値を優先", "表示波高は、超音波式の値を優先する"},
        {"Text1_16", "QLineEdit", 1, "", "空白行を挿入する、基準時刻"},
        {"Text1_17", "QLineEdit", 1, "", "空白行を挿入する、間隔"},
        // Tab 2 (the lanes and channels follow below).
        {"Combo4_8", "QComboBox", 2, "", "グラフの左端から、右端までの測定時間"},
        {"Check3_8", "QCheckBox", 2, "重ねて", "グラフを重ねて表示"},
        {"Check3_9", "QCheckBox", 2, "連動", "各チャンネルの、フルスケールを指定値に合わせる"},
        {"Check3_10", "QCheckBox", 2, "自動", "ONでフルスケールを自動的に計算する"},
        {"Check3_11", "QCheckBox", 2, "ベクトル", "流速をベクトル表示する"},
        {"Check3_12", "QCheckBox", 2, "長周期", "長周期フィルター後の波形を表示"},
        {"Combo3_24", "QComboBox", 2, "", "グラフの左端から、右端までの測定日数"},
        {"Combo3_25", "QComboBox", 2, "", "グラフのX軸の目盛線の本数"},
        {"Check4_0", "QCheckBox", 2, "ﾏｰｸ", "グラフの、プロット点にマークを入れる"},
        {"Check4_1", "QCheckBox", 2, "数値", "グラフの、プロット点に値を入れる"},
        {"Check4_2", "QCheckBox", 2, "自動", "ONで上限、下限値を自動的に計算する"},
        {"Label3_8", "QLabel", 2, "D1", "色の選択"},
        {"Label3_9", "QLabel", 2, "D2", "色の選択"},
        // Tab 3.
        {"Check1_8", "QCheckBox", 3, "自動バックアップ", "指定日（既定値：月曜）にデータファイルを自動的にバックアップします。"},
        {"Check1_3", "QCheckBox", 3, "自動処理", "ONで、自動処理を実行する"},
        {"Text1_22", "QLineEdit", 3, "", "次の処理時刻(時)の設定"},
        {"Text1_23", "QLineEdit", 3, "", "次の処理時刻（分）の設定"},
        {"Text1_24", "QLineEdit", 3, "", "自動処理の間隔"},
        {"Text2", "QLineEdit", 3, "",
         "サーバからダウンロード（コピー）しているファイル名（nrxxxm.tmp又はnrxxxr.tmp）を表示、又は指定する"},
        {"Command3_1", "QPushButton", 3, "ﾌｧｲﾙの参照", ""},
        {"Combo1", "QComboBox", 3, "",
         "自動処理するマスターファイルを登録する。登録済みのファイルを再度指定すると削除される。"
         "ファイルの順番を変更した場合は、プログラムを再実行してください。"},
        {"Command3_0", "QPushButton", 3, "ﾌｧｲﾙの参照", ""},
        {"Check1_2", "QCheckBox", 3, "グラフの印刷", "グラフの自動印刷のＯＮ／ＯＦＦ"},
        {"Check1_1", "QCheckBox", 3, "表の印刷", "表の自動印刷のＯＮ／ＯＦＦ"},
        {"Text1_19", "QLineEdit", 3, "", ""},
        {"Text1_20", "QLineEdit", 3, "", ""},
        {"Text1_21", "QLineEdit", 3, "", "自動印刷の間隔"},
        {"Text1_5", "QLineEdit", 3, "", "表やグラフの、見出しの文章"},
        {"Text1_18", "QLineEdit", 3, "", "表の1ページ当たりの印刷量"},
        {"Check2_0", "QCheckBox", 3, "縦", "用紙を縦にして表を印刷"},
        {"Check2_1", "QCheckBox", 3, "横", "用紙を横にして表を印刷"},
        {"Check5_0", "QCheckBox", 3, "縦", ""},
        {"Check5_1", "QCheckBox", 3, "横", ""},
        // Tab 4.
        {"Check1_11", "QCheckBox", 4, "コピー", "ONで、処理終了後、ＷｅｂページをＷｅｂサイトに、コピーして更新する"},
        {"Text1_12", "QLineEdit", 4, "", "この測定回数分の結果を、Webに表示する"},
        {"List1_3", "QListWidget", 4, "", ""},
        {"List1_2", "QListWidget", 4, "", "Ｗｅｂページの表示項目を指定します。"},
        {"Command2_6", "QPushButton", 4, "追加\n ← ", "右の選択項目を左の選択位置の上に挿入"},
        {"Command2_7", "QPushButton", 4, "置換\n←→", "右の選択項目と左の選択項目の入れ換え"},
        {"Command2_8", "QPushButton", 4, "削除\n → ", "左の選択項目の削除"},
        {"Check1_4", "QCheckBox", 4, "アップロード", "ONで、処理終了後、ＦＴＰを使用して、Ｗｅｂサイトを更新する"},
        {"Check1_10", "QCheckBox", 4, "自動ダウンロード", "ＯＮでＦＴＰサーバのファイルを自動的に、ＦＴＰでダウンロードする"},
        {"Text1_7", "QLineEdit", 4, "", ""},
        {"Text1_8", "QLineEdit", 4, "", ""},
        {"Text1_9", "QLineEdit", 4, "", "ファイルのダウンロードの間隔（分）"},
        {"Command2_9", "QPushButton", 4, "手動実行", "tolvd.txtをftp.exeのバッチコマンドとして実行する"},
        // Below the tabs.
        {"Command1", "QPushButton", -1, "更新(&N)", "条件の設定変更を更新する"},
        {"Command0", "QPushButton", -1, "&OK", "条件の設定変更を更新後、このウィンドーを非表示にする"},
    };
    // Full-width digits on the lanes' tooltips and labels; the colour tip of a
    // raw lane writes its number in half width.
    const char* const wide[8] = {"１", "２", "３", "４", "５", "６", "７", "８"};
    for (int i = 0; i < 8; ++i) {
        const std::string d = wide[i];
        const std::string n = std::to_string(i);
        controls.push_back({"Check3_" + n, "QCheckBox", 2, "表示", "ＯＮでチャンネル" + d + "を表示、ＯＦＦで非表示"});
        controls.push_back({"Combo2_" + n, "QComboBox", 2, "", "チャンネル" + d + "に表示する生データ項目の選択"});
        controls.push_back({"Combo4_" + n, "QComboBox", 2, "", "チャンネル" + d + "のY軸フルスケール"});
        controls.push_back({"Label4_" + n, "QLabel", 2, d, "ﾁｬﾝﾈﾙ" + std::to_string(i + 1) + "の色の選択"});
        controls.push_back({"Combo3_" + n, "QComboBox", 2, "", ""});
        controls.push_back({"Combo3_" + std::to_string(8 + i), "QComboBox", 2, "", "チャンネル" + d + "のグラフの下限値"});
        controls.push_back({"Combo3_" + std::to_string(16 + i), "QComboBox", 2, "", "チャンネル" + d + "のグラフの上限値"});
        controls.push_back({"Label3_" + n, "QLabel", 2, d, ""});
    }
    for (const Control& c : controls) {
        auto* widget = form_->findChild<QWidget*>(QString::fromStdString(c.name));
        ASSERT_NE(widget, nullptr) << c.name;
        EXPECT_STREQ(widget->metaObject()->className(), c.type) << c.name;
        EXPECT_EQ(tabOf(tabs, widget), c.tab) << c.name;
        if (!c.caption.empty())
            EXPECT_EQ(captionOf(widget).toStdString(), c.caption) << c.name;
        if (!c.tip.empty())
            EXPECT_EQ(widget->toolTip().toStdString(), c.tip) << c.name;
    }
    EXPECT_TRUE(w<QLineEdit>("Text1_14")->isReadOnly());
    EXPECT_TRUE(w<QLineEdit>("Text1_13")->isReadOnly());
    EXPECT_TRUE(w<QPlainTextEdit>("Text3")->isReadOnly());

    // Frame captions and the plain labels, each on its tab.
    struct Text {
        const char* text;
        int tab;
    };
    const Text frames[] = {
        {"処理の条件", 0},       {"ヘッダー情報", 0},   {"処理結果表のフォーマット", 1}, {"生データグラフの設定", 2},
        {"処理結果グラフの設定", 2}, {"自動処理の設定", 3}, {"処理ファイル", 3},           {"自動印刷の設定", 3},
        {"印刷フォーマット", 3},   {"Webページのフォーマット", 4},
    };
    const QList<QGroupBox*> boxes = form_->findChildren<QGroupBox*>();
    for (const Text& f : frames) {
        int found = 0;
        for (QGroupBox* g : boxes)
            if (g->title() == QString::fromUtf8(f.text)) {
                ++found;
                EXPECT_EQ(tabOf(tabs, g), f.tab) << f.text;
                // Each frame carries its pin.
                auto* pin = g->findChild<QToolButton*>(QString(), Qt::FindDirectChildrenOnly);
                ASSERT_NE(pin, nullptr) << f.text;
                EXPECT_TRUE(pin->objectName().startsWith(QStringLiteral("Image1_"))) << f.text;
                EXPECT_EQ(pin->toolTip().toStdString(), "このウィンドウを、手前に置く");
            }
        EXPECT_EQ(found, 1) << f.text;
    }
    const Text labels[] = {
        {"長周期波の制限周期(s)", 0}, {"スペクトルのフィルター回数", 0}, {"スペクトルのデータ数", 0},
        {"ノイズフィルター回数", 0}, {"ノイズフィルターレベル", 0}, {"真北と磁北の偏角(゜)", 0},
        {"流速のｾﾞﾛ補正値(m/s)", 0}, {"水位補正値(m)", 0}, {"波向算出限界波高", 0}, {"主波向の範囲(゜)", 0},
        {"水圧計の海底からの高さ(m)", 0}, {"理論係数の限界値", 0}, {"～", 0},
        {"時を基準に、", 1}, {"時間毎に空白行を挿入", 1},
        {"X軸ｽｹｰﾙ：測定時間(分)", 2}, {"X軸ｽｹｰﾙ(日)", 2}, {"X目盛数", 2},
        {"次の処理時刻", 3}, {"：", 3}, {"処理間隔(分)", 3}, {"Ｗｅｂファイル", 3}, {"マスターファイル", 3},
        {"次の印刷時刻", 3}, {"印刷間隔(分)", 3}, {"見出しの文章", 3}, {"1ページ当たりの測定回数", 3},
        {"印刷用紙の指定", 3},
        {"過去、", 4}, {"測定分を表示する", 4}, {"次のダウンロード時刻", 4}, {"ダウンロード間隔(分)", 4},
    };
    const QList<QLabel*> all = form_->findChildren<QLabel*>();
    for (const Text& l : labels) {
        bool onTab = false;
        for (QLabel* label : all)
            if (label->text() == QString::fromUtf8(l.text) && tabOf(tabs, label) == l.tab)
                onTab = true;
        EXPECT_TRUE(onTab) << l.text;
    }
}

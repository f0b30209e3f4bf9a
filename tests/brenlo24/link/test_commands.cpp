// The device commands of the main window: confirmations, codes and modes.
#include "brenlo24/link/commands.h"
#include "linkfixture.h"

#include <gtest/gtest.h>

#include <vector>

using namespace varenta;

namespace {

struct Sent {
    std::string code;
    int mode;
};

struct Bench {
    test::ConfirmScript prompter;
    std::vector<Sent> sent;
    std::vector<std::string> statuses;
    DeviceLink::SendResult reply = DeviceLink::SendResult::Sent;
    DeviceCommands commands{prompter,
                            [this](std::string_view code, int mode) {
                                sent.push_back({std::string(code), mode});
                                return reply;
                            },
                            [this](const std::string& s) { statuses.push_back(s); }};
};

const InputResult kOk{"", "0"};
const InputResult kOkTicked{"", "1"};
const InputResult kCancel{"can", "0"};

}  // namespace

TEST(DeviceCommands, ConfirmationsOfTheButtons)
{
    struct Case {
        InputRequest req;
        const char* title;
        const char* message;
        int style;
        const char* check;
    } cases[] = {
        {startConfirmation(), "測定起動の注意",
         "測定起動します。設定値をセットしてください。よろしいですか？\r\n装置を初期化する場合は、［初期化］を先に実行して下さい", 0,
         ""},
        {stopConfirmation(), "測定停止の注意", "測定停止します。よろしいですか？", 0, ""},
        {initConfirmation(), "初期化の注意",
         "本体を初期化します。よろしいですか？[SDﾌｧｲﾙ]をチェックをすると、ＳＤカードのファイルも初期化します。"
         "本体が保管状態の時に有効です。[OK]で、本体の動作確認ランプが10秒間点灯します",
         InputRequest::ShowCheck, "SDﾌｧｲﾙ"},
        {collectConfirmation(false, false), "データ回収", "データを回収します。よろしいですか？\r\n", 0, ""},
        {collectConfirmation(false, true), "データ回収", "データを回収します。よろしいですか？\r\n", 0, ""},
        {collectConfirmation(true, false), "データ処理", "処理結果ファイルだけを回収します。よろしいですか？", 0, ""},
        {collectConfirmation(true, true), "データ処理",
         "処理結果ファイルだけを回収します。よろしいですか？\r\n[処理]をチェックした場合、処理を再実行します",
         InputRequest::ShowCheck, "処理"},
        {monitorConfirmation("モニタ", true), "モニタ開始", "モニタを開始します。よろしいですか？", 0, ""},
        {monitorConfirmation("校正", false), "校正終了", "校正を停止します。よろしいですか？", 0, ""},
        {monitorConfirmation("ＡＰＮ登録", true), "ＡＰＮ登録開始", "ＡＰＮ登録を開始します。よろしいですか？", 0, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.req.caption, c.title);
        EXPECT_EQ(c.req.message, c.message) << c.title;
        EXPECT_EQ(c.req.style, c.style) << c.title;
        EXPECT_EQ(c.req.checkCaption, c.check) << c.title;
        EXPECT_EQ(c.req.preset, "") << c.title;
    }
    // the general dialog's flags: 1 input box with its text, 2 check box, 4 ticked, 8 red
    const InputRequest all = confirmRequest("m", "t", 1 | 2 | 4 | 8, "abc", "box");
    EXPECT_EQ(all.style, 15);
    EXPECT_EQ(all.preset, "abc");
    EXPECT_EQ(all.checkCaption, "box");
    EXPECT_EQ(confirmRequest("m", "t", 0, "abc", "box").checkCaption, "");
}

TEST(DeviceCommands, CodesAndModes)
{
    StatusRecord fine;
    fine.sdUsage = 9999;
    struct Case {
        const char* name;
        std::function<CommandOutcome(DeviceCommands&)> run;
        InputResult answer;
        const char* code;  // "" nothing sent
        int mode;
    } cases[] = {
        {"check", [](DeviceCommands& d) { return d.check(); }, kOk, "00", 2},
        {"start", [&](DeviceCommands& d) { return d.startMeasuring(fine); }, kOk, "81", 2},
        {"start cancelled", [&](DeviceCommands& d) { return d.startMeasuring(fine); }, kCancel, "", 0},
        {"stop", [](DeviceCommands& d) { return d.stopMeasuring(); }, kOk, "03", 2},
        {"init", [](DeviceCommands& d) { return d.initialise(); }, kOk, "17", 4},
        {"init with files", [](DeviceCommands& d) { return d.initialise(); }, kOkTicked, "07", 4},
        {"collect", [](DeviceCommands& d) { return d.collect({}); }, kOk, "54", 2},
        {"collect, no box shown", [](DeviceCommands& d) { return d.collect({0x8000}); }, kOkTicked, "54", 2},
        {"collect cancelled", [](DeviceCommands& d) { return d.collect({}); }, kCancel, "", 0},
        {"results", [](DeviceCommands& d) { return d.collect({0, true}); }, kOk, "16", 2},
        {"results, box not shown", [](DeviceCommands& d) { return d.collect({0, true}); }, kOkTicked, "16", 2},
        {"results extended", [](DeviceCommands& d) { return d.collect({0x8000, true}); }, kOk, "16", 2},
        {"results reprocessed", [](DeviceCommands& d) { return d.collect({0x8000, true}); }, kOkTicked, "26", 2},
        {"monitor", [](DeviceCommands& d) { return d.monitorStart({}); }, kOk, "34", 4},
        {"monitor flags ignored", [](DeviceCommands& d) { return d.monitorStart({0, false, true, true}); }, kOk, "34", 4},
        {"calibration none", [](DeviceCommands& d) { return d.monitorStart({0x8000}); }, kOk, "05", 4},
        {"calibration 1", [](DeviceCommands& d) { return d.monitorStart({0x8000, false, true, false}); }, kOk, "15", 4},
        {"calibration 2", [](DeviceCommands& d) { return d.monitorStart({0x8000, false, false, true}); }, kOk, "25", 4},
        {"calibration 1+2", [](DeviceCommands& d) { return d.monitorStart({0x8000, false, true, true}); }, kOk, "35", 4},
        {"APN", [](DeviceCommands& d) { return d.monitorStart({0xC000, false, true, false}); }, kOk, "45", 4},
        {"APN both", [](DeviceCommands& d) { return d.monitorStart({0xC000, false, true, true}); }, kOk, "", 0},
        {"APN none", [](DeviceCommands& d) { return d.monitorStart({0xC000}); }, kOk, "", 0},
        {"monitor stop", [](DeviceCommands& d) { return d.monitorStop({0xC000, false, true, false}); }, kOk, "04", 4},
        {"monitor stop cancelled", [](DeviceCommands& d) { return d.monitorStop({}); }, kCancel, "", 0},
    };
    for (const Case& c : cases) {
        Bench b;
        b.prompter.results.push_back(c.answer);
        const CommandOutcome o = c.run(b.commands);
        if (*c.code) {
            ASSERT_EQ(b.sent.size(), 1u) << c.name;
            EXPECT_EQ(b.sent[0].code, c.code) << c.name;
            EXPECT_EQ(b.sent[0].mode, c.mode) << c.name;
            EXPECT_TRUE(o.sent()) << c.name;
        } else {
            EXPECT_TRUE(b.sent.empty()) << c.name;
            EXPECT_FALSE(o.sent()) << c.name;
        }
    }
}

TEST(DeviceCommands, RefusalsCancelAndBusy)
{
    // SD card unusable: a message box, no confirmation, nothing sent.
    Bench b;
    StatusRecord full;
    full.sdUsage = 10000;
    const CommandOutcome o = b.commands.startMeasuring(full);
    EXPECT_EQ(o.kind, CommandOutcome::Kind::Refused);
    EXPECT_TRUE(b.sent.empty());
    EXPECT_TRUE(b.prompter.asked.empty());
    ASSERT_EQ(b.prompter.boxes.size(), 1u);
    EXPECT_EQ(b.prompter.boxes[0].title, "ＳＤカード情報");
    EXPECT_EQ(b.prompter.boxes[0].text, "ＳＤカード使用不可！");
    EXPECT_EQ(b.prompter.boxes[0].icon, MsgIcon::Critical);

    // Cancelled initialisation says so in the status line.
    Bench c;
    c.prompter.results.push_back(kCancel);
    EXPECT_EQ(c.commands.initialise().kind, CommandOutcome::Kind::Cancelled);
    EXPECT_EQ(c.statuses, std::vector<std::string>{"キャンセル！"});

    // A busy link refuses; the outcome says so.
    Bench d;
    d.reply = DeviceLink::SendResult::Busy;
    EXPECT_EQ(d.commands.stopMeasuring().kind, CommandOutcome::Kind::Busy);

    // The run names.
    EXPECT_EQ(monitorRunName(false, false, 0x4000), "モニタ");
    EXPECT_EQ(monitorRunName(true, false, 0x4000), "ＡＰＮ登録");
    EXPECT_EQ(monitorRunName(false, true, 0), "校正");
}

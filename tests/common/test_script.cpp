// Scripted runs: reading script lines, the answering prompter and the
// command table's rules.
#include "common/commandtable.h"
#include "common/script.h"

#include <gtest/gtest.h>

using namespace varenta;

namespace {

struct LineCase {
    const char* text;
    ScriptOp op;
    const char* name;
    const char* arg;
};

TEST(ScriptLines, EachFormReadsItsParts)
{
    const LineCase cases[] = {
        {"Mtext", ScriptOp::Command, "Mtext", ""},
        {"  Form2.Command1_2  ", ScriptOp::Command, "Form2.Command1_2", ""},
        {"answer 00002,00004", ScriptOp::Answer, "", "00002,00004"},
        {"answer", ScriptOp::Answer, "", ""},
        {"answer-checked 00001,10000", ScriptOp::AnswerChecked, "", "00001,10000"},
        {"cancel", ScriptOp::Cancel, "", ""},
        {"yes", ScriptOp::Yes, "", ""},
        {"no\r", ScriptOp::No, "", ""},
        {"ok", ScriptOp::Ok, "", ""},
        {"open /tmp/a b/NR012M.H10", ScriptOp::Open, "", "/tmp/a b/NR012M.H10"},
        {"set-text Form2.Text4_1 0.45", ScriptOp::SetText, "Form2.Text4_1", "0.45"},
        {"set-text Form7.Combo1 AT*DCHKLOC", ScriptOp::SetText, "Form7.Combo1", "AT*DCHKLOC"},
        {"check Form2.Check1_3 1", ScriptOp::Check, "Form2.Check1_3", "1"},
        {"wait-idle", ScriptOp::WaitIdle, "", ""},
        {"quit", ScriptOp::Quit, "", ""},
    };
    for (const LineCase& c : cases) {
        ScriptError e;
        const auto l = parseScriptLine(c.text, 7, &e);
        ASSERT_TRUE(l.has_value()) << c.text << ": " << e.what;
        EXPECT_EQ(l->op, c.op) << c.text;
        EXPECT_EQ(l->name, c.name) << c.text;
        EXPECT_EQ(l->text, c.arg) << c.text;
        EXPECT_EQ(l->number, 7);
    }
    ScriptError e;
    const auto set = parseScriptLine("set 85 5 C", 1, &e);
    ASSERT_TRUE(set);
    EXPECT_EQ(set->item, 85);
    EXPECT_EQ(set->value, 5);
    EXPECT_EQ(set->text, "C");
    const auto wait = parseScriptLine("wait 250", 1, &e);
    ASSERT_TRUE(wait);
    EXPECT_EQ(wait->ms, 250);
}

TEST(ScriptLines, WrongLinesNameTheirNumber)
{
    const char* wrong[] = {"set 200 0 x", "set 85 8 x", "set x 1 y", "wait", "wait -5", "wait 2s", "open",
                           "quit now", "Mtext extra", "check Form2.Check1_0 2", "set-text", "M-text", "Form2."};
    for (const char* w : wrong) {
        std::vector<ScriptLine> lines;
        ScriptError e;
        const std::string text = std::string("# a comment\n\nMopen\n") + w + "\nquit\n";
        EXPECT_FALSE(parseScript(text, lines, e)) << w;
        EXPECT_EQ(e.line, 4) << w;
        EXPECT_EQ(scriptErrorText(e).rfind("script error: 4: ", 0), 0u) << scriptErrorText(e);
    }
}

TEST(ScriptLines, CommentsBlankLinesAndLineEndsAreSkipped)
{
    std::vector<ScriptLine> lines;
    ScriptError e;
    ASSERT_TRUE(parseScript("\xEF\xBB\xBF# start\r\n\r\n   \r\nMexecute\r\n  # indented comment\nquit", lines, e));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].name, "Mexecute");
    EXPECT_EQ(lines[0].number, 4);
    EXPECT_EQ(lines[1].op, ScriptOp::Quit);
    EXPECT_EQ(lines[1].number, 6);
    EXPECT_FALSE(parseScript(std::string("Mopen\nMt\0ext\n", 13), lines, e));
    EXPECT_EQ(e.line, 2);
}

class ScriptPrompterTest : public ::testing::Test {
protected:
    std::vector<std::string> echoed;
    ScriptPrompter p{[this](const std::string& l) { echoed.push_back(l); }};
};

TEST_F(ScriptPrompterTest, QuestionsTakeQueuedAnswersThenTheirPreset)
{
    InputRequest r;
    r.caption = "テキスト変換 ";
    r.message = "一行目\r\n二行目 ";
    r.preset = "00001,10000";
    r.style = InputRequest::ShowInput | InputRequest::ShowCheck | InputRequest::CheckTicked;
    r.checkCaption = "旧タイプ";
    r.countdown = 5;
    p.queueAnswer(" 00002,00004 ", false);
    p.queueAnswer("00001,00010", true);
    p.queueAnswer("can", false);

    const InputResult a = p.input(r);
    EXPECT_EQ(a.answer, "00002,00004");
    EXPECT_EQ(a.check, "0");  // a plain answer leaves the box unticked
    const InputResult b = p.input(r);
    EXPECT_EQ(b.check, "1");
    EXPECT_TRUE(p.input(r).cancelled());
    const InputResult d = p.input(r);  // nobody answers: the preset, as the count-down would
    EXPECT_EQ(d.answer, "00001,10000");
    EXPECT_EQ(d.check, "1");

    ASSERT_EQ(echoed.size(), 4u);
    EXPECT_EQ(echoed[0], "ask: テキスト変換  | 一行目 二行目  | 00002,00004");
    EXPECT_EQ(echoed[2], "ask: テキスト変換  | 一行目 二行目  | can");
}

TEST_F(ScriptPrompterTest, MessageBoxesTakeQueuedButtonsOrTheirDefault)
{
    struct Case {
        MsgButtons buttons;
        bool queued;
        MsgAnswer queue;
        MsgAnswer expected;
    };
    const Case cases[] = {
        {MsgButtons::Ok, false, MsgAnswer::Ok, MsgAnswer::Ok},
        {MsgButtons::YesNo, false, MsgAnswer::Ok, MsgAnswer::Yes},
        {MsgButtons::YesNoCancel, false, MsgAnswer::Ok, MsgAnswer::Cancel},
        {MsgButtons::RetryCancel, false, MsgAnswer::Ok, MsgAnswer::Retry},
        {MsgButtons::YesNo, true, MsgAnswer::No, MsgAnswer::No},
        {MsgButtons::YesNoCancel, true, MsgAnswer::Yes, MsgAnswer::Yes},
        {MsgButtons::YesNo, true, MsgAnswer::Ok, MsgAnswer::Yes},      // "ok" confirms a yes/no box
        {MsgButtons::OkCancel, true, MsgAnswer::Yes, MsgAnswer::Ok},
        {MsgButtons::OkCancel, true, MsgAnswer::No, MsgAnswer::Cancel},
        {MsgButtons::Ok, true, MsgAnswer::No, MsgAnswer::Ok},         // no such button: the default
    };
    for (const Case& c : cases) {
        if (c.queued)
            p.queueButton(c.queue);
        EXPECT_EQ(p.message("VarentaK - 操作の注意", "a\r\nb", MsgIcon::Warning, c.buttons), c.expected);
        EXPECT_EQ(p.pendingButtons(), 0u);
    }
    EXPECT_EQ(echoed.front(), "message: VarentaK - 操作の注意 | a b | OK");
    EXPECT_EQ(echoed[5], "message: VarentaK - 操作の注意 | a b | Yes");
}

TEST(CommandTable, RulesRefuseAndUnknownNamesAreSaid)
{
    CommandTable t;
    int runs = 0;
    bool allowed = false;
    t.add("Mtrans", [&] { ++runs; });
    t.add("MnumR", [&] { ++runs; }, [&] { return allowed; });
    EXPECT_EQ(t.run("Mtrans"), RunOutcome::Ran);
    EXPECT_EQ(t.run("MnumR"), RunOutcome::Refused);
    EXPECT_EQ(t.run("Mnothing"), RunOutcome::Unknown);
    EXPECT_EQ(runs, 1);
    allowed = true;
    EXPECT_TRUE(t.mayRun("MnumR"));
    EXPECT_EQ(t.run("MnumR"), RunOutcome::Ran);
    // A rule set before the work is kept when the work arrives, and a
    // replaced work keeps the rule.
    t.setRule("Mdir3d", [] { return false; });
    EXPECT_FALSE(t.has("Mdir3d"));
    t.add("Mdir3d", [&] { ++runs; });
    EXPECT_EQ(t.run("Mdir3d"), RunOutcome::Refused);
    t.add("MnumR", [&] { runs += 10; });
    allowed = false;
    EXPECT_EQ(t.run("MnumR"), RunOutcome::Refused);
    EXPECT_EQ(runs, 2);
    const auto names = t.names();
    EXPECT_EQ(names, (std::vector<std::string>{"Mdir3d", "MnumR", "Mtrans"}));
}

}  // namespace

#include "common/windowgeometry.h"

namespace {

TEST(WindowPlacement, KeptInsideTheAreaThatShowsIt)
{
    const PlaceRect screen{0, 0, 800, 600};
    struct Case {
        PlaceRect wanted;
        PlaceRect expected;
    };
    const Case cases[] = {
        {{10, 20, 400, 300}, {10, 20, 400, 300}},        // fits: unchanged
        {{100, 100, 15360, 11520}, {0, 0, 800, 600}},    // a twips-sized window fills the area
        {{700, 500, 400, 300}, {400, 300, 400, 300}},    // hanging out: moved in
        {{-50, -40, 200, 100}, {0, 0, 320, 240}},        // outside, too small: moved and raised
        {{30, 30, 9000, 200}, {0, 30, 800, 240}},        // one axis too wide, the other too small
    };
    for (const Case& c : cases)
        EXPECT_EQ(boundedPlacement(c.wanted, screen, 320, 240), c.expected)
            << c.wanted.left << "," << c.wanted.top << " " << c.wanted.width << "x" << c.wanted.height;
    // An area smaller than the minimum wins over the minimum.
    EXPECT_EQ(boundedPlacement({0, 0, 100, 100}, {0, 0, 150, 90}, 320, 240), (PlaceRect{0, 0, 150, 90}));
    // An area that does not start at 0 (a second screen).
    EXPECT_EQ(boundedPlacement({0, 0, 500, 400}, {1920, 0, 1280, 1024}, 320, 240), (PlaceRect{1920, 0, 500, 400}));
}

}  // namespace

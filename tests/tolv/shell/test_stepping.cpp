// The stepping run with a recording host.
#include "tolv/shell/stepping.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace varenta;

namespace {

struct FakeHost : StepHost {
    FakeHost() = default;
    FakeHost(long long at, long long repetitions) : current(at), reps(repetitions) {}

    bool open = true;
    long long current = 1;
    long long latest = 10;
    long long reps = 1;
    std::set<long long> unreadable;
    std::vector<std::string> log;
    std::vector<std::string> comboTexts;
    std::vector<std::string> sno;
    int stopAfterSteps = -1;  // sets the stop request during the n-th serveEvents
    RuntimeState* state = nullptr;
    int served = 0;
    bool pressed = false;

    bool fileOpen() const override { return open; }
    long long currentNumber() const override { return current; }
    void setCurrentNumber(long long n) override { current = n; }
    long long latestNumber() const override { return latest; }
    bool refreshHeader() override
    {
        log.push_back("header " + std::to_string(current));
        return !unreadable.count(current);
    }
    void loadRaw() override { log.push_back("load " + std::to_string(current)); }
    void process() override { log.push_back("process " + std::to_string(current)); }
    void refreshViews(bool processed) override
    {
        log.push_back(std::string(processed ? "views+ " : "views ") + std::to_string(current));
    }
    void markUnreadable(long long number, int count) override
    {
        sno.push_back(std::to_string(number) + "(" + std::to_string(count) + ")");
    }
    long long repetitions() const override { return reps; }
    void setRepetitionText(const std::string& t) override { comboTexts.push_back(t); }
    void pressButton(StepButton, bool down) override { pressed = down; }
    void serveEvents() override
    {
        ++served;
        if (served == stopAfterSteps && state)
            state->stopRequest = true;
    }
};

// The state after a measurement's samples were loaded.
RuntimeState rawLoaded()
{
    RuntimeState st;
    st.setState(statebit::kRawLoaded, true);
    return st;
}

}  // namespace

TEST(Stepping, FiveStepsWithThreeLeftStayOnTheLast)
{
    RuntimeState st = rawLoaded();
    FakeHost h(7, 5);
    h.latest = 10;
    const StepOutcome r = runStepping(stepmode::kForwardDisplay, st, h);
    EXPECT_TRUE(r.ran);
    EXPECT_EQ(r.steps, 5);
    EXPECT_EQ(h.current, 10);
    const std::vector<std::string> combo = {"4", "3", "2", "1", "0", "1"};
    EXPECT_EQ(h.comboTexts, combo);
    const std::vector<std::string> want = {"header 8",  "load 8",   "views 8",   "header 9",  "load 9",
                                           "views 9",   "header 10", "load 10",  "views 10",  "header 10",
                                           "views 10",  "header 10", "views 10"};
    EXPECT_EQ(h.log, want);
    EXPECT_FALSE(st.state(statebit::kStepping));
    EXPECT_TRUE(st.state(statebit::kRawLoaded));
    EXPECT_FALSE(h.pressed);
}

TEST(Stepping, BackwardStopsAtOneAndProcessingProcessesEachStep)
{
    RuntimeState st = rawLoaded();
    FakeHost h(2, 3);
    runStepping(stepmode::kBackwardDisplay, st, h);
    EXPECT_EQ(h.current, 1);

    RuntimeState st2;
    FakeHost p(4, 2);
    // Not loaded yet: the first pass works on the current measurement.
    runStepping(stepmode::kForwardProcess, st2, p);
    const std::vector<std::string> want = {"load 4", "process 4", "views+ 4", "header 5", "load 5", "process 5",
                                           "views+ 5"};
    EXPECT_EQ(p.log, want);
    EXPECT_TRUE(st2.state(statebit::kProcessed));
}

TEST(Stepping, LoadedButUnprocessedIsProcessedBeforeMoving)
{
    RuntimeState st = rawLoaded();
    FakeHost h(3, 1);
    runStepping(stepmode::kForwardProcess, st, h);
    const std::vector<std::string> want = {"process 3", "views+ 3"};
    EXPECT_EQ(h.log, want);
    EXPECT_EQ(h.current, 3);
}

TEST(Stepping, RedisplayAndReprocessDoNotMove)
{
    RuntimeState st;
    FakeHost h(5, 7);
    runStepping(stepmode::kRedisplay, st, h);
    runStepping(stepmode::kRedisplay, st, h);
    runStepping(stepmode::kReprocess, st, h);
    const std::vector<std::string> want = {"load 5", "views 5", "views 5", "process 5", "views+ 5"};
    EXPECT_EQ(h.log, want);
    EXPECT_EQ(h.current, 5);
    // The combo is set back to 1 after every run.
    EXPECT_EQ(h.comboTexts, std::vector<std::string>(3, "1"));
}

TEST(Stepping, StopRequestEndsTheLoop)
{
    RuntimeState st = rawLoaded();
    st.stopRequest = true;  // an old request is cleared by the run
    FakeHost h(1, 100);
    h.state = &st;
    h.stopAfterSteps = 3;
    const StepOutcome r = runStepping(stepmode::kForwardDisplay, st, h);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.steps, 3);
    EXPECT_EQ(h.current, 4);
    EXPECT_EQ(h.comboTexts.back(), "1");
    EXPECT_EQ(h.comboTexts[2], "97");
}

TEST(Stepping, NothingWithoutFileOrWhileStepping)
{
    RuntimeState st;
    FakeHost h;
    h.open = false;
    EXPECT_FALSE(runStepping(stepmode::kForwardDisplay, st, h).ran);
    h.open = true;
    st.setState(statebit::kStepping, true);
    EXPECT_FALSE(runStepping(stepmode::kForwardDisplay, st, h).ran);
    EXPECT_TRUE(h.log.empty());
    EXPECT_TRUE(st.state(statebit::kStepping));
}

TEST(Stepping, UnreadableMeasurementsAreCountedAndPassed)
{
    RuntimeState st = rawLoaded();
    FakeHost h(11, 4);
    h.latest = 20;
    h.unreadable = {12, 13};
    const StepOutcome r = runStepping(stepmode::kForwardDisplay, st, h);
    EXPECT_EQ(r.unreadable, 2);
    const std::vector<std::string> sno = {"12(1)", "13(2)"};
    EXPECT_EQ(h.sno, sno);
    EXPECT_EQ(h.current, 15);
    EXPECT_EQ(h.log.back(), "views 15");
}

TEST(Stepping, NonPositiveRepetitionsDoNothingButReset)
{
    for (long long reps : {0LL, -4LL}) {
        RuntimeState st;
        st.setState(statebit::kRawLoaded, true);
        FakeHost h;
        h.reps = reps;
        const StepOutcome r = runStepping(stepmode::kForwardDisplay, st, h);
        EXPECT_TRUE(r.ran);
        EXPECT_EQ(r.steps, 0);
        EXPECT_TRUE(h.log.empty());
        EXPECT_EQ(h.comboTexts, std::vector<std::string>{"1"});
    }
}

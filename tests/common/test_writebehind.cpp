// The writer of derived files: order, replacement of a waiting job by a
// newer one of the same key, flush, outcomes.
#include "common/writebehind.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <vector>

using namespace varenta;

namespace {

// A writer whose first job holds the worker until released, so that the
// jobs given meanwhile wait in the queue.
struct HeldWriter {
    WriteBehind w;
    std::promise<void> release;
    std::promise<void> holding;
    std::mutex m;
    std::vector<std::string> ran;
    std::vector<std::pair<std::string, Status>> outcomes;

    explicit HeldWriter(std::size_t waiting = 8) : w(waiting)
    {
        auto gate = release.get_future().share();
        w.submit("", [this, gate] {
            holding.set_value();
            gate.wait();
            return Status::Ok;
        });
        holding.get_future().wait();
    }
    void give(const std::string& key, const std::string& name, Status result = Status::Ok)
    {
        w.submit(
            key,
            [this, name, result] {
                std::lock_guard<std::mutex> lock(m);
                ran.push_back(name);
                return result;
            },
            [this, name](Status st) {
                std::lock_guard<std::mutex> lock(m);
                outcomes.emplace_back(name, st);
            });
    }
};

}  // namespace

TEST(WriteBehind, WaitingJobsOfOneKeyCollapseToTheNewestInOrder)
{
    HeldWriter h;
    h.give("NR24g.txt", "step 1");
    h.give("", "dated 1");
    h.give("NR24g.txt", "step 2");  // takes the place of step 1
    h.give("", "dated 2");           // no key: never replaced
    h.give("NR22g.txt", "other");
    h.give("NR24g.txt", "step 3");  // takes the place of step 2
    EXPECT_EQ(h.w.pending(), 5u);   // the held job and four waiting
    h.release.set_value();
    h.w.flush();
    EXPECT_EQ(h.w.pending(), 0u);
    EXPECT_EQ(h.ran, (std::vector<std::string>{"step 3", "dated 1", "dated 2", "other"}));
    // Every job that ran reports, and only those.
    ASSERT_EQ(h.outcomes.size(), 4u);
    EXPECT_EQ(h.outcomes[0].first, "step 3");
}

TEST(WriteBehind, OutcomesFlushAndTheEnd)
{
    HeldWriter h;
    h.give("a", "fails", Status::Io);
    h.w.submit("b", [] () -> Status { throw std::bad_alloc(); }, [&h](Status st) {
        std::lock_guard<std::mutex> lock(h.m);
        h.outcomes.emplace_back("throws", st);
    });
    h.give("c", "works");
    h.release.set_value();
    h.w.flush();
    EXPECT_EQ(h.outcomes, (std::vector<std::pair<std::string, Status>>{
                              {"fails", Status::Io}, {"throws", Status::Io}, {"works", Status::Ok}}));

    // A job given after a flush starts the worker again; flush returns at
    // once when nothing waits; the end of the writer finishes its jobs.
    std::atomic<int> done{0};
    {
        WriteBehind w;
        w.flush();
        for (int i = 0; i < 50; ++i)
            w.submit("", [&done] {
                ++done;
                return Status::Ok;
            });
    }
    EXPECT_EQ(done.load(), 50);
}

TEST(WriteBehind, AFullQueueHoldsTheStepUntilThereIsRoom)
{
    HeldWriter h(2);
    h.give("NR24g.txt", "1");
    h.give("", "2");
    EXPECT_EQ(h.w.pending(), 3u);  // full: two wait besides the held one
    h.give("NR24g.txt", "1b");      // a newer text takes its place at once
    auto third = std::async(std::launch::async, [&h] { h.give("", "3"); });
    EXPECT_EQ(third.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    h.release.set_value();
    third.get();
    h.w.flush();
    EXPECT_EQ(h.ran, (std::vector<std::string>{"1b", "2", "3"}));
}

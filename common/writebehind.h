#pragma once
// Files written behind the work that produced them: a processing step hands
// over what a derived text file needs (the numbers, not the text) and goes
// on drawing, while one worker thread formats and writes the file.
//
// Jobs run one at a time in the order given.  A job given with the key of a
// job that waits (has not started) takes that job's place, so that a file
// rewritten at every forward step is written once for the newest step when
// the steps come faster than the disk; jobs without a key never replace
// each other.  Everything that reads such a file, or hands the folder to
// another program, calls flushFileWrites() first; the program does at its
// script waits, before it starts any process and when it ends.
#include "common/status.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace varenta {

class WriteBehind {
public:
    using Job = std::function<Status()>;
    // Called on the worker thread with the job's outcome.
    using Done = std::function<void(Status)>;

    explicit WriteBehind(std::size_t waiting = 8) : limit_(waiting > 0 ? waiting : 1) {}
    ~WriteBehind();  // finishes every job
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    void submit(std::string key, Job job, Done done = {});
    // Returns when every job given before the call has ended.
    void flush();
    // Jobs given and not yet ended.
    std::size_t pending() const;

private:
    struct Entry {
        std::string key;
        Job job;
        Done done;
    };
    void run();

    const std::size_t limit_;
    mutable std::mutex m_;
    std::condition_variable wake_;
    std::condition_variable ended_;
    std::condition_variable room_;
    std::deque<Entry> queue_;
    bool running_ = false;  // a job is being done
    bool stop_ = false;
    std::thread worker_;  // started with the first job
};

// The program's one writer of derived files.
WriteBehind& fileWriteBehind();
inline void flushFileWrites() { fileWriteBehind().flush(); }

}  // namespace varenta

#include "common/writebehind.h"

#include <utility>

namespace varenta {

WriteBehind::~WriteBehind()
{
    {
        std::lock_guard<std::mutex> lock(m_);
        stop_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();  // the worker empties the queue before it ends
}

void WriteBehind::submit(std::string key, Job job, Done done)
{
    if (!job)
        return;
    {
        std::unique_lock<std::mutex> lock(m_);
        bool replaced = false;
        if (!key.empty())
            for (Entry& e : queue_)
                if (e.key == key) {
                    // The waiting job is dropped unrun: its outcome is the
                    // newer job's.
                    e.job = std::move(job);
                    e.done = std::move(done);
                    replaced = true;
                    break;
                }
        if (!replaced) {
            if (!worker_.joinable())
                worker_ = std::thread([this] { run(); });
            // A job given by a job's own outcome never waits: the worker
            // would wait for itself.
            if (std::this_thread::get_id() != worker_.get_id())
                room_.wait(lock, [this] { return queue_.size() < limit_; });
            queue_.push_back(Entry{std::move(key), std::move(job), std::move(done)});
        }
    }
    wake_.notify_one();
}

void WriteBehind::flush()
{
    std::unique_lock<std::mutex> lock(m_);
    ended_.wait(lock, [this] { return queue_.empty() && !running_; });
}

std::size_t WriteBehind::pending() const
{
    std::lock_guard<std::mutex> lock(m_);
    return queue_.size() + (running_ ? 1 : 0);
}

void WriteBehind::run()
{
    std::unique_lock<std::mutex> lock(m_);
    while (true) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty())
            break;  // stopping, nothing left
        Entry e = std::move(queue_.front());
        queue_.pop_front();
        running_ = true;
        room_.notify_all();
        lock.unlock();
        Status st = Status::Io;
        try {
            st = e.job();
        } catch (...) {
            st = Status::Io;  // out of memory while formatting: the file is not written
        }
        if (e.done)
            e.done(st);
        lock.lock();
        running_ = false;
        if (queue_.empty())
            ended_.notify_all();
    }
    ended_.notify_all();
}

WriteBehind& fileWriteBehind()
{
    static WriteBehind writer;
    return writer;
}

}  // namespace varenta

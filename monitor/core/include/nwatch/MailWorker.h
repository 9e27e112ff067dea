// One worker thread for the mail channel: the mails of successive traps are
// sent one after another in the order of the traps, away from the window
// thread, so that a mail server that is slow or never answers holds up no
// window. Plain C++; the caller hands results back to its own thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace nwatch {

class MailWorker {
public:
    // A job gets the worker's stop flag, to end early when the worker stops.
    using Job = std::function<void(const std::atomic<bool>& stop)>;

    MailWorker() = default;
    // Stops: jobs not yet begun are dropped, the one under way is waited for.
    ~MailWorker();
    MailWorker(const MailWorker&) = delete;
    MailWorker& operator=(const MailWorker&) = delete;

    // Queues a job; the thread starts with the first one. False once stopped.
    bool Post(Job job);
    // Jobs queued or under way.
    int Pending() const;
    // Sets the stop flag, drops the jobs not yet begun and waits for the one
    // under way. Returns the number of jobs dropped.
    int Stop();

private:
    void Run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> queue_;
    int running_ = 0;
    bool stopping_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace nwatch

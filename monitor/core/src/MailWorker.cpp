#include "nwatch/MailWorker.h"

namespace nwatch {

MailWorker::~MailWorker() { Stop(); }

bool MailWorker::Post(Job job)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return false;
    queue_.push_back(std::move(job));
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    wake_.notify_one();
    return true;
}

int MailWorker::Pending() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(queue_.size()) + running_;
}

int MailWorker::Stop()
{
    int dropped = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        stop_ = true;
        dropped = static_cast<int>(queue_.size());
        queue_.clear();
        wake_.notify_all();
    }
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
    return dropped;
}

void MailWorker::Run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        Job job = std::move(queue_.front());
        queue_.pop_front();
        running_ = 1;
        lock.unlock();
        job(stop_);
        lock.lock();
        running_ = 0;
    }
}

} // namespace nwatch

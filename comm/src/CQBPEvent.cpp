#include "ncomm/CQBPEvent.h"

#include <chrono>

void CQBPEvent::Set()
{
    // Woken under the lock: a waiter that returns and destroys the event at
    // once must not find this thread still inside the notification.
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
    cv_.notify_all();
}

void CQBPEvent::Reset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
}

bool CQBPEvent::IsSet() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
}

bool CQBPEvent::Wait(int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (timeoutMs < 0) {
        cv_.wait(lock, [this] { return set_; });
        return true;
    }
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return set_; });
}

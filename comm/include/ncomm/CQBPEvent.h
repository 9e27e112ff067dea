// CQBPEvent: the event object that the communication library signals when a
// background send ends (Send with an event) or a trap for a session has
// been stored (StartTrap). A manual-reset event: once set it stays set until
// Reset.
#pragma once

#include <condition_variable>
#include <mutex>

#include "NcommExport.h"

class NCOMM_API CQBPEvent {
public:
    void Set();
    void Reset();
    bool IsSet() const;
    // Waits until the event is set or timeoutMs passes (negative: no limit).
    // Returns true when the event is set.
    bool Wait(int timeoutMs) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    bool set_ = false;
};

// Private to the communication library: the traps waiting in a session.
#pragma once

#include <deque>
#include <mutex>
#include <string>

#include "ncomm/CQBPVb.h"

struct QBPTrapQueue {
    struct Trap {
        int generic = 0;
        int specific = 0;
        std::string enterprise;
        CQBPVb bindings;
    };
    // Traps of one printer wait here until GetTrap fetches them, oldest
    // first. The receiver never waits for a slow owner: when this many are
    // waiting, a newer trap is dropped (and counted).
    static constexpr size_t kMaxWaiting = 16;

    std::mutex mutex;
    std::deque<Trap> waiting;
    unsigned long dropped = 0;
};

// The receiving thread's part of trap handling: which traps go on to the
// window thread. A trap goes on when its sender is listed and is the
// maker's printer; it is dropped when the sender is not listed or is
// another maker's printer.
//
// Nothing here waits for a printer on the receiving thread. A listed
// printer whose maker flag is not known yet is asked on a checker thread
// of its own (at most `maxChecks` printers are asked at once); its traps
// wait for that answer in arrival order (at most `maxWaiting` of them),
// while traps of every other printer go on at once. A printer that did not
// answer the check is not asked again for `retryAfter` (a minute by
// default): its traps are dropped until then, as they would be after a
// failed check, instead of costing a time-out each. A change of the
// communities ends that pause, since the new ones may be the ones it
// answers to.
//
// `deliver` runs on the receiving thread or on a checker thread, with the
// intake's lock held, so it must only hand the event on (post it to the
// window thread), never wait.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TrapHandler.h"

namespace nwatch {

class TrapIntake {
public:
    using Deliver = std::function<void(TrapEvent&& event)>;
    // What a check reads the printer with (the communities of the moment).
    using ContextSource = std::function<ReadContext()>;
    // The check itself: the printer's maker flag, `answered` false when it
    // did not answer. AskMakerFlag unless a test puts another in place.
    using Check = std::function<int(uint32_t address, const ReadContext& context, bool* answered)>;

    struct Options {
        // Printers asked at once. Each silent one holds its checker for the
        // time-out (two seconds); more unknown printers than this at once
        // queue for a checker.
        int maxChecks = 64;
        std::chrono::milliseconds retryAfter{60000};
        size_t maxWaiting = 256; // per printer under check
    };

    struct Counts {
        unsigned long delivered = 0;
        unsigned long dropped = 0;   // not listed, not the maker's, no answer, or too many waiting
        unsigned long checks = 0;    // printers asked
        unsigned long unanswered = 0; // checks without an answer
    };

    TrapIntake(ContextSource context, Deliver deliver, Options options);
    TrapIntake(ContextSource context, Deliver deliver) : TrapIntake(std::move(context), std::move(deliver), Options{}) {}
    // Stops: waits for the checks under way (a few seconds at most); their
    // traps are dropped.
    ~TrapIntake();
    TrapIntake(const TrapIntake&) = delete;
    TrapIntake& operator=(const TrapIntake&) = delete;

    // The trap callback's work; returns at once.
    void Accept(const char* sender, int generic, int specific, const char* enterprise, const CQBPVb& bindings);

    // Stops the checkers; traps that come afterwards are dropped.
    void Stop();

    void SetCheck(Check check);
    // A line for the administrator's trace at the end of each check (called
    // on the checker thread, without the lock).
    void SetNote(std::function<void(const std::string&)> note);
    Counts GetCounts() const;

private:
    // A printer whose flag is being asked for, or whose last check went
    // unanswered.
    struct Pending {
        bool checking = false;
        std::vector<TrapEvent> waiting;
        std::chrono::steady_clock::time_point retryAt{};
        std::string readCommunity, writeCommunity; // of the unanswered check
    };

    // With the lock held: queues the trap behind its printer's check, or
    // drops it (stopping, no check, too many waiting).
    void QueueBehindCheck(Pending* pending, TrapEvent&& event);
    void StartCheck(uint32_t address); // lock held
    void RunChecker();
    // Returns the line for the trace.
    std::string Finish(uint32_t address, int flag, bool answered, const ReadContext& context);
    void DeliverLocked(TrapEvent&& event);

    ContextSource context_;
    Deliver deliver_;
    Options options_;
    Check check_;
    std::function<void(const std::string&)> note_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::map<uint32_t, Pending> pending_;
    std::deque<uint32_t> queue_; // printers to ask
    std::vector<std::thread> checkers_;
    int idle_ = 0;
    bool stopping_ = false;
    Counts counts_;
};

} // namespace nwatch

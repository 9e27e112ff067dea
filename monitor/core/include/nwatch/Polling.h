// The polling cycle: every printer of the device list that is the maker's
// is read and its record stored back whole. A cycle runs on worker threads
// of its own (several printers at once, so that printers that do not answer
// cost their time-out side by side), never on the window thread; a new cycle
// is refused while the last one runs.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "StatusReaders.h"

namespace nwatch {

struct PollingResult {
    int printers = 0;      // records looked at
    int polled = 0;        // the maker's printers read
    int stored = 0;        // records stored back
    int notAnswering = 0;  // the maker's printers that answered neither set
    bool noObjectTable = false; // text 3310
    bool communityFailed = false; // "SetCommunity failed"
    double seconds = 0;
    // The printers read (their records stored) and those that did not
    // answer the maker check or either set (their records kept), in no
    // particular order.
    std::vector<uint32_t> answered;
    std::vector<uint32_t> silent;
};

class PollingCycle {
public:
    // concurrency 1 polls one printer after another.
    explicit PollingCycle(int concurrency = 32) : concurrency_(concurrency < 1 ? 1 : concurrency) {}
    ~PollingCycle();
    PollingCycle(const PollingCycle&) = delete;
    PollingCycle& operator=(const PollingCycle&) = delete;

    // Starts a cycle in the background; `done` is called on the cycle's
    // thread when it ends. False (and nothing started) while a cycle runs.
    bool Start(const ReadContext& context, std::function<void(const PollingResult&)> done);
    bool Running() const { return running_.load(); }
    // Waits for a running cycle; Stop ends it after the printers under way.
    void Wait();
    void Stop();

    // One whole cycle on the calling thread's behalf (it waits for the
    // workers); used by Start and by the benchmark.
    PollingResult RunCycle(const ReadContext& context);

    // One printer: the maker check, then the full status reader or else the
    // basic one; the record is stored when either succeeds.
    static void PollPrinter(int index, const ReadContext& context, PollingResult& result, std::mutex& resultMutex);

private:
    int concurrency_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace nwatch

#include "nwatch/Polling.h"

#include <chrono>

#include "nlist/Nlist.h"

namespace nwatch {

PollingCycle::~PollingCycle()
{
    Stop();
    Wait();
}

bool PollingCycle::Start(const ReadContext& context, std::function<void(const PollingResult&)> done)
{
    bool expected = false;
    if (!running_.compare_exchange_strong(expected, true)) return false;
    if (thread_.joinable()) thread_.join(); // the last cycle's thread has ended
    stop_ = false;
    thread_ = std::thread([this, context, done = std::move(done)] {
        const PollingResult result = RunCycle(context);
        running_ = false;
        if (done) done(result);
    });
    return true;
}

void PollingCycle::Wait()
{
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void PollingCycle::Stop() { stop_ = true; }

void PollingCycle::PollPrinter(int index, const ReadContext& context, PollingResult& result, std::mutex& resultMutex)
{
    const uint32_t address = GetipAddressFromListData(index);
    if (address == 0) return;
    // The maker check as MakerCheck does it, telling a printer that does
    // not answer from one that is not the maker's.
    bool reached = true;
    const int known = KnownMakerFlag(address);
    if ((known != -1 ? known : AskMakerFlag(address, context, &reached)) != 1) {
        if (!reached) {
            std::lock_guard<std::mutex> lock(resultMutex);
            result.silent.push_back(address);
        }
        return;
    }

    // The stored record is what the new values are compared with; the new
    // record starts fresh, so fields a reader does not fill are stored with
    // their fresh values.
    ListData stored;
    GetItemFromListData(&stored, index);
    if (stored.ipAddress != address) return; // the list changed under us
    ListData record;
    ReadFailure why = ReadFailure::kNone;
    bool ok = ReadFullStatus(address, record, context, &why, &stored) == 1;
    if (!ok && why == ReadFailure::kNoAnswer) {
        record = ListData();
        ok = ReadBasicStatus(address, record, context, &why, &stored) == 1;
    }
    bool storedBack = false;
    if (ok) {
        // Stored at the printer's place, also when records were added or
        // removed before it meanwhile.
        const int now = GetipAddressFromListData(index) == address ? index : FindListDatabyIPAddress(address);
        storedBack = now >= 0 && SetListData(now, record) == 1;
    }
    std::lock_guard<std::mutex> lock(resultMutex);
    ++result.polled;
    if (storedBack) {
        ++result.stored;
        result.answered.push_back(address);
    }
    if (!ok && why == ReadFailure::kNoAnswer) {
        ++result.notAnswering;
        result.silent.push_back(address);
    }
    if (why == ReadFailure::kNoObjectTable) result.noObjectTable = true;
    if (why == ReadFailure::kSetCommunity) result.communityFailed = true;
}

PollingResult PollingCycle::RunCycle(const ReadContext& context)
{
    const auto start = std::chrono::steady_clock::now();
    PollingResult result;
    std::mutex resultMutex;
    std::atomic<int> next{0};
    std::atomic<int> looked{0};
    // The list's size is read again before every printer.
    auto worker = [&] {
        for (;;) {
            if (stop_.load()) return;
            const int i = next.fetch_add(1);
            if (i >= GetListDataSize()) return;
            ++looked;
            PollPrinter(i, context, result, resultMutex);
        }
    };
    const int n = std::max(1, std::min(concurrency_, GetListDataSize()));
    std::vector<std::thread> workers;
    for (int k = 1; k < n; ++k) workers.emplace_back(worker);
    worker();
    for (auto& t : workers) t.join();
    result.printers = looked.load();
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

} // namespace nwatch

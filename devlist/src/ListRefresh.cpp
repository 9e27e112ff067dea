#include "ListRefresh.h"

#include <chrono>

#include "DeviceModel.h"
#include "RecordQueries.h"
#include "nlist/Nlist.h"

namespace nlist {

void ListRefresh::Start(int cycleSeconds, bool immediate, Post post, std::function<bool()> redrawWanted)
{
    Stop();
    stop_ = false;
    running_ = true;
    thread_ = std::thread(&ListRefresh::Run, this, cycleSeconds, immediate, std::move(post), std::move(redrawWanted));
}

void ListRefresh::Stop()
{
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    running_ = false;
}

bool ListRefresh::RefreshRecord(int index) { return RefreshRecord(index, ReadCommunities()); }

bool ListRefresh::RefreshRecord(int index, const Communities& communities)
{
    ListData r;
    {
        DeviceModel& m = DeviceModel::Instance();
        auto lock = m.LockDevices();
        if (index < 0 || index >= static_cast<int>(m.devices.size())) return false;
        r = m.devices[index];
    }
    const uint32_t address = r.ipAddress;
    if (!CheckReachable(address, communities)) {
        MarkUnreachable(r);
    } else {
        // A check that got no answer leaves the flag undetermined (-1):
        // the printer is asked again next pass.
        if (r.isBCP == -1) r.isBCP = MakerFlag(address, communities);
        if (r.isBCP == 1)
            ReadMakerRecord(r, communities);
        else
            ReadStandardRecord(r, communities);
    }
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    // The list may have changed during the reads (a search or the monitor):
    // never write this printer's data over another one's record.
    if (index < static_cast<int>(m.devices.size()) && m.devices[index].ipAddress == address) {
        m.devices[index] = r;
        m.awaiting.erase(address);
    }
    return true;
}

void ListRefresh::Run(int cycleSeconds, bool immediate, Post post, std::function<bool()> redrawWanted)
{
    auto wanted = [&] { return !redrawWanted || redrawWanted(); };
    if (immediate) {
        post(kCommandRefreshing);
        if (wanted()) post(kCommandRedraw);
    }
    if (cycleSeconds > 0) {
        using Clock = std::chrono::steady_clock;
        const auto cycle = std::chrono::milliseconds(static_cast<int64_t>(cycleSeconds) * 1000);
        while (!stop_) {
            const auto start = Clock::now();
            while (!stop_ && Clock::now() - start < cycle) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (stop_) break;
            post(kCommandRefreshing);
            // Read once a pass: a changed community counts from the next one.
            const Communities communities = ReadCommunities();
            for (int i = 0; !stop_ && i < GetListDataSize(); ++i) {
                if (!RefreshRecord(i, communities)) break;
                if (wanted()) post(kCommandRedraw);
                post(kCommandRefreshing);
            }
            if (stop_) break;
            ++passes_;
            post(kCommandRedraw);
        }
    }
    running_ = false;
}

} // namespace nlist

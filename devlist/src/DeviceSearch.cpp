#include "nlist/DeviceSearch.h"

#include <arpa/inet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "DeviceModel.h"
#include "PrinterQueries.h"
#include "ncomm/CQBPSearch.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"
#include "qavres/Resources.h"
#include "qavsettings/SettingsFiles.h"

namespace nlist {

namespace {

constexpr int kDefaultTimeout = 30;
constexpr int kLongestTimeout = 600; // the discovery's own limit
constexpr int kReportStepMs = 100;
constexpr int kPollStepMs = 10;
constexpr int kCancelWaitMs = 5000;

int64_t NowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Diagnostic(const char* call, int code)
{
    std::fprintf(stderr, "%s Error Return Code = %d , Error Code = %d\n", call, code, QBPGetLastError());
}

// Appends the record when its address is new to the list (then assigns it to
// its groups), else replaces the first record with that address, which keeps
// its position and group memberships. The look-up and the change happen under
// one hold of the lock, so two merges of one address never add it twice.
void Merge(const ListData& record)
{
    DeviceModel& m = DeviceModel::Instance();
    bool added = false;
    {
        auto lock = m.LockDevices();
        size_t i = 0;
        while (i < m.devices.size() && m.devices[i].ipAddress != record.ipAddress) ++i;
        if (i < m.devices.size()) {
            m.devices[i] = record;
        } else {
            m.devices.push_back(record);
            added = true;
        }
    }
    if (added) AssignToGroups(record);
}

} // namespace

SearchObserver::~SearchObserver() = default;

void SearchObserver::OnMessage(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

SearchSettings ReadSearchSettings() { return ReadSearchSettings(qavsettings::DataFilePath(qavsettings::kSearchConfigFile)); }

SearchSettings ReadSearchSettings(const std::string& path)
{
    const qavsettings::SearchConfig c = qavsettings::ReadSearchConfig(qavsettings::Reader::kDeviceList, path);
    SearchSettings s;
    // Beyond the discovery's limit the search would fail at once and find
    // nothing while the window counted the whole time: the longest window is
    // used instead.
    s.timeoutSeconds = c.timeoutSeconds <= 0 ? kDefaultTimeout : std::min(c.timeoutSeconds, kLongestTimeout);
    s.broadcast = c.broadcast == 1;
    s.otherMakers = c.nonVorantaPrinters == 1;
    for (const qavsettings::SearchRange& r : c.ranges) {
        if (r.startIp.empty()) continue;
        s.ranges.push_back(r.startIp + "-" + (r.endIp.empty() ? r.startIp : r.endIp));
    }
    return s;
}

DeviceSearch::DeviceSearch(SearchSettings settings) : settings_(std::move(settings))
{
    if (settings_.timeoutSeconds <= 0) settings_.timeoutSeconds = kDefaultTimeout;
    if (settings_.timeoutSeconds > kLongestTimeout) settings_.timeoutSeconds = kLongestTimeout;
}

int DeviceSearch::ElapsedMs() const { return static_cast<int>((NowUs() - startUs_) / 1000); }

SearchProgress DeviceSearch::Run(SearchObserver* observer)
{
    SearchProgress progress;
    progress.timeoutSeconds = settings_.timeoutSeconds;
    found_.clear();
    if (stop_.load()) {
        progress.cancelled = true;
        progress.phase = SearchPhase::kFinished;
        if (observer) observer->OnProgress(progress);
        return progress;
    }
    cancel_.store(false);
    startUs_ = NowUs();
    Discover(observer, progress);
    Process(observer, progress);
    progress.phase = SearchPhase::kFinished;
    progress.elapsedMs = ElapsedMs();
    if (observer) observer->OnProgress(progress);
    return progress;
}

void DeviceSearch::Discover(SearchObserver* observer, SearchProgress& progress)
{
    progress.phase = SearchPhase::kDiscovery;
    if (observer) observer->OnProgress(progress);

    const qavres::ObjectTable& objects = Objects();
    const std::string oid = objects.IsLoaded() ? objects.RequestOid(1361, 0) : std::string();
    if (oid.empty()) {
        if (observer) observer->OnMessage(Language().Get(3310));
        return;
    }

    CQBPSearch search;
    const int seconds = settings_.timeoutSeconds;
    bool started = false;
    if (!settings_.broadcast && !settings_.ranges.empty()) {
        std::vector<std::string> ranges = settings_.ranges;
        const int rc = search.SingleSearchPrinter(oid.c_str(), seconds, &ranges);
        if (rc == 0) started = true;
        else Diagnostic("SingleSearchPrinter", rc);
    } else {
        const char* address = settings_.broadcastAddress.empty() ? nullptr : settings_.broadcastAddress.c_str();
        const int rc = search.SearchPrinter(oid.c_str(), seconds, address);
        if (rc == 0) started = true;
        else Diagnostic("SearchPrinter", rc);
    }

    int64_t lastReport = NowUs();
    int64_t cancelledAt = 0;
    while (started && search.SearchGetResult() == QBP_SEARCH_RUNNING) {
        if (cancel_.load() && !cancelledAt) {
            // A cancel ends the discovery only; processing still runs over
            // what was found (unless the search is stopped).
            if (!stop_.load()) cancel_.store(false);
            progress.cancelled = true;
            search.SearchCancel();
            cancelledAt = NowUs();
        }
        // A discovery that does not end after a cancel is left behind (the
        // search object stops it when it goes).
        if (cancelledAt && NowUs() - cancelledAt > kCancelWaitMs * 1000LL) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollStepMs));
        if (observer && NowUs() - lastReport >= kReportStepMs * 1000LL) {
            lastReport = NowUs();
            progress.elapsedMs = std::min(ElapsedMs(), seconds * 1000);
            progress.found = search.SearchGetSize();
            observer->OnProgress(progress);
        }
    }
    if (started) {
        const int result = search.SearchGetResult();
        if (result != 0 && result != QBP_SEARCH_CANCELLED) Diagnostic("SingleSearchPrinter", result);
    }
    // Whatever answered is processed, also after a failure or a cancel.
    const int size = search.SearchGetSize();
    for (int i = 0; i < size; ++i) {
        // The result's bytes in memory are the octets in order.
        const uint32_t network = static_cast<uint32_t>(search.SearchGetAt(i));
        const uint32_t address = ntohl(network);
        if (address != 0) found_.push_back(address);
    }
}

void DeviceSearch::Process(SearchObserver* observer, SearchProgress& progress)
{
    progress.phase = SearchPhase::kProcessing;
    progress.found = static_cast<int>(found_.size());
    progress.position = 0;
    progress.elapsedMs = ElapsedMs();
    if (observer) observer->OnProgress(progress);

    const Communities communities = ReadCommunities();
    for (uint32_t address : found_) {
        if (cancel_.load() || stop_.load()) {
            progress.cancelled = true;
            break;
        }
        QueryFailure why = QueryFailure::kNone;
        bool merge = false;
        ListData record;
        if (IsPrinter(address, communities, &why)) {
            const ListData fresh;
            const int maker = MakerFlag(address, communities);
            if (maker == 1) {
                ReadMakerObjects(address, record, fresh, communities, &why);
                merge = why != QueryFailure::kNoObjectTable && why != QueryFailure::kSetCommunity;
            } else if (settings_.otherMakers) {
                // A printer that said "another maker" keeps that, or its
                // status would be read through the maker's codes until the
                // next check. One that did not answer the check stays
                // undetermined and is asked again.
                if (ReadStandardObjects(address, record, fresh, communities, &why) && maker == 0) record.isBCP = 0;
                merge = why != QueryFailure::kNoObjectTable && why != QueryFailure::kSetCommunity;
            }
        }
        if (observer && why == QueryFailure::kNoObjectTable) observer->OnMessage(Language().Get(3310));
        if (observer && why == QueryFailure::kSetCommunity) observer->OnMessage("SetCommunity failed");
        if (merge) {
            Merge(record);
            ++progress.merged;
        }
        ++progress.position;
        progress.elapsedMs = ElapsedMs();
        if (observer) observer->OnProgress(progress);
    }
}

} // namespace nlist

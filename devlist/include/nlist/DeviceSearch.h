// The device search behind SearchDevices(), for callers that follow it
// themselves (the progress window, the command-line tool, the monitor
// without a window).
//
// A search has two phases. Discovery sends the discovery request over the
// configured ranges (or by broadcast) and collects for the configured time
// the addresses that answer. Processing then takes the found addresses one
// after another: a device that passes the printer check is read (the maker's
// object set for the maker's printers, the standard set for others when
// those are wanted) and merged into the device list: appended and assigned
// to its groups when the address is new, replaced in place otherwise.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "NlistExport.h"

namespace nlist {

struct SearchSettings {
    int timeoutSeconds = 30;          // length of the discovery window, 1..600
    bool broadcast = false;           // search by broadcast, ignoring the ranges
    bool otherMakers = false;         // also keep printers of other makers
    std::vector<std::string> ranges;  // "a.b.c.d-e.f.g.h"; none means broadcast
    std::string broadcastAddress;     // destination of the broadcast; empty: 255.255.255.255
};

// The search settings of "QAVSearchConfig.qso" in the data folder (or the
// file at path): a missing or non-positive TimeoutSeconds gives 30, one above
// 600 gives 600; only 1 switches Broadcast and NonVorantaPrinters on; each
// range section with a StartIP gives "StartIP-EndIP", or "StartIP-StartIP"
// when EndIP is empty.
NLIST_API SearchSettings ReadSearchSettings();
NLIST_API SearchSettings ReadSearchSettings(const std::string& path);

enum class SearchPhase { kProcessing = 0, kDiscovery = 1, kFinished = 2 };

struct SearchProgress {
    SearchPhase phase = SearchPhase::kDiscovery;
    int timeoutSeconds = 0;
    int elapsedMs = 0;   // since the search started
    int found = 0;       // addresses found by the discovery (so far, while it runs)
    int position = 0;    // addresses processed so far
    int merged = 0;      // printers added to or updated in the list
    bool cancelled = false;
};

// Called on the thread that runs the search.
class NLIST_API SearchObserver {
public:
    virtual ~SearchObserver();
    // About every 100 ms during discovery, once when processing starts,
    // after every address, and once at the end (phase kFinished).
    virtual void OnProgress(const SearchProgress& progress) = 0;
    // A failure the user should see (the window shows it in an error box).
    virtual void OnMessage(const std::string& text);
};

class NLIST_API DeviceSearch {
public:
    explicit DeviceSearch(SearchSettings settings);
    DeviceSearch(const DeviceSearch&) = delete;
    DeviceSearch& operator=(const DeviceSearch&) = delete;

    // Runs both phases on the calling thread and returns the final progress.
    SearchProgress Run(SearchObserver* observer = nullptr);

    // From any thread. During discovery it ends the discovery early and the
    // addresses found so far are processed; during processing it stops before
    // the next address.
    void Cancel() { cancel_.store(true); }
    // From any thread: ends the search as soon as it can, in either phase.
    void Stop()
    {
        stop_.store(true);
        cancel_.store(true);
    }

    const SearchSettings& Settings() const { return settings_; }
    // The addresses the discovery found (first octet most significant), in
    // the order they answered.
    const std::vector<uint32_t>& Found() const { return found_; }

private:
    void Discover(SearchObserver* observer, SearchProgress& progress);
    void Process(SearchObserver* observer, SearchProgress& progress);
    int ElapsedMs() const;

    SearchSettings settings_;
    std::vector<uint32_t> found_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> stop_{false};
    int64_t startUs_ = 0;
};

} // namespace nlist

// The list window's refresh thread: on every cycle it re-reads each printer
// of the device list and tells the window what to redraw. The thread talks
// to the window only through the post function (which must hand the command
// over to the window's thread) and changes the list only through the model.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "PrinterQueries.h"

namespace nlist {

// Commands posted to the window.
inline constexpr int kCommandRedraw = 1034;  // redraw the group and printer lists from the model
inline constexpr int kCommandRefreshing = 1035; // the status bar shows that a refresh runs

class ListRefresh {
public:
    using Post = std::function<void(int command)>;

    ~ListRefresh() { Stop(); }

    // Starts the thread. With `immediate` it first posts 1035 and, when
    // `redrawWanted` says so (or is empty), 1034. A cycle of 0 (or less) ends
    // the thread there; otherwise it refreshes the list every `cycleSeconds`.
    void Start(int cycleSeconds, bool immediate, Post post, std::function<bool()> redrawWanted = {});
    // Asks the thread to stop and waits for it (at most one printer's read).
    void Stop();
    bool Running() const { return running_.load(); }
    // Completed passes over the list (for the window's status and tests).
    int Passes() const { return passes_.load(); }

    // Refreshes one record of the device list: the reachability check, then
    // the maker check and the maker's or the standard read. The record is
    // stored only while the list still holds the same printer at the index.
    // False when the index is out of range. The first form reads the
    // communities from the settings itself.
    static bool RefreshRecord(int index);
    static bool RefreshRecord(int index, const Communities& communities);

private:
    void Run(int cycleSeconds, bool immediate, Post post, std::function<bool()> redrawWanted);

    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::atomic<int> passes_{0};
};

} // namespace nlist

// A download run: the chosen file, fetched from the FTP server when it came
// from the catalog, prepared once and sent to every target printer, with the
// progress, the log and each printer's result.
//
// The run works on threads of its own; the window (or qavctl) looks at it
// through Snapshot(), from any thread, as often as it likes. The window
// serves the printers one after another; qavctl may serve several at once
// (`parallel`): each printer's download stays the same, only their order in
// time changes. The log gets a failed printer's message as it fails, the
// result lines in list order at the end, then the closing line (8060 when
// every printer succeeded, else 8062).
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "nload/Catalog.h"
#include "nload/Link.h"
#include "nload/Procedure.h"
#include "nload/Report.h"

namespace qavres {
class StringTable;
}

namespace nload {

struct RunSetup {
    std::string filePath;               // the local file; with `ftp` the path in the catalog's folder
    std::optional<FtpServer> ftp;       // fetch the file from this server first
    FileInfo file;                      // the kept values of the selected file
    std::vector<PrinterInfo> printers;  // in list order
    Timing timing;
    int parallel = 1;                   // printers served at once (1: one after another)
    int settleMs = 300;                 // the pause before and after the run
};

// One printer's part of the progress.
struct PrinterProgress {
    int sent = 0;       // bytes of the data
    int statusText = 0; // the step it is at (5004 ...), 5009 when done, 0 before
    bool started = false;
    bool done = false;
    PrinterResult result;
};

struct RunSnapshot {
    std::string log;                     // lines ending in "\n"
    std::vector<PrinterProgress> printers;
    int dataLength = 0;                  // bytes per printer (0 before the data is prepared)
    long long totalDone = 0;             // data length x printers finished
    long long totalRange = 0;            // data length x printers
    int current = -1;                    // the printer served last begun
    bool finished = false;
    std::string startTime, endTime;

    int TotalPercent() const { return totalRange > 0 ? static_cast<int>(totalDone * 100 / totalRange) : 0; }
};

class DownloadRun {
public:
    DownloadRun(Environment& env, const qavres::StringTable& texts, RunSetup setup);
    // Stops a run still going and waits for its threads.
    ~DownloadRun();
    DownloadRun(const DownloadRun&) = delete;
    DownloadRun& operator=(const DownloadRun&) = delete;

    void Start();
    RunSnapshot Snapshot() const;
    bool Finished() const;
    // Waits up to ms (negative: as long as it takes); true when finished.
    bool WaitFinished(int ms) const;
    // Asks every download to end at its next wait (code 30).
    void Stop();
    // Begins no further printer: those not begun yet end with code 30, the
    // ones being served finish their download (a printer is never left
    // with half a program). Both stops give up a fetch of the file from an
    // FTP server that is still going.
    void StopBeforeNext();
    bool Stopping() const { return stop_.load() || stopBeforeNext_.load(); }

    // After the end: the printers with their results, and the report.
    std::vector<PrinterInfo> Printers() const;
    ReportData Report() const;
    bool AllSucceeded() const;

private:
    class Sink;
    void Work();
    bool Prepare(PreparedFile& prepared);
    void Serve(const PreparedFile& prepared, size_t index);
    void Log(const std::string& line);
    void Finish();

    Environment& env_;
    const qavres::StringTable& texts_;
    RunSetup setup_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> stopBeforeNext_{false};
    std::atomic<bool> cancelFetch_{false}; // either stop gives up the file's fetch
    std::thread worker_;

    mutable std::mutex mutex_;
    mutable std::condition_variable finishedCv_;
    RunSnapshot state_;
    std::vector<PrinterInfo> printers_;
};

} // namespace nload

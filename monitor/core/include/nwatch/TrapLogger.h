// The trap log: one line per logged trap, appended and closed again for
// every line, the file trimmed from the front when it outgrows its maximum.
#pragma once

#include <mutex>
#include <string>

#include "Notification.h"

namespace nwatch {

// The trap-log settings, read again for every trap (section Trap of
// QAVLogConfig.INI).
struct TrapLogSettings {
    std::string fileName;
    int maximumKilobytes = 0; // 0: no limit
    bool error = false;       // log printer-error traps (generic 6)
    bool jobInformation = false; // log job traps (generic 7)
};

class CNWATCHLogger {
public:
    explicit CNWATCHLogger(std::string fileName);
    virtual ~CNWATCHLogger();

    // The process-wide logger. Create does nothing when one exists.
    static void CreateLogger(const std::string& fileName);
    static void DestroyLogger();
    static bool Exists();

    // Writes "<time stamp>,<text>\n", trimming the file to maximumBytes
    // first when a maximum is given; an empty file name means the logger's
    // own. 1 written, 0 not (no logger, file not writable, short write).
    static int LogLine(const std::string& fileName, long maximumBytes, const std::string& text);

    // Decides whether the trap is logged and formats its line; rowSpecific
    // is the specific number of the trap-table row that matched.
    static int TrapLogEntry(const NotificationRecord& record, int rowSpecific, const TrapLogSettings& settings);

    // The text after the time stamp, or empty when the trap is not logged.
    static std::string FormatTrapEntry(const NotificationRecord& record, int rowSpecific,
                                       const TrapLogSettings& settings);

    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
};

// Cuts the file from the front to at most maximumBytes, keeping whole
// lines: 1 when nothing had to be done or the file was trimmed, 0 when it
// does not exist or trimming failed (the file is then left as it was).
// Shared by the trap log and the environmental log.
int TrimFile(const std::string& path, long maximumBytes);

} // namespace nwatch

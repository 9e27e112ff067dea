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

    // Writes "<time stamp>,<text>\n". When a maximum is given and the file
    // has grown beyond it, the file is first cut to TrimTarget(maximumBytes)
    // from the front. An empty file name means the logger's own. The line
    // is written whole or not at all. 1 written, 0 not (no logger, file not
    // writable, disk full).
    static int LogLine(const std::string& fileName, long maximumBytes, const std::string& text);

    // What a file over its maximum is cut to: an eighth under the maximum,
    // so that a full log is rewritten once per many lines.
    static long TrimTarget(long maximumBytes);

    // Decides whether the trap is logged and formats its line; rowSpecific
    // is the specific number of the trap-table row that matched.
    static int TrapLogEntry(const NotificationRecord& record, int rowSpecific, const TrapLogSettings& settings);

    // The text after the time stamp, or empty when the trap is not logged.
    // Texts from the printer and the trap (name, message, details) come
    // through LogText.
    static std::string FormatTrapEntry(const NotificationRecord& record, int rowSpecific,
                                       const TrapLogSettings& settings);

    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
};

// A text as the trap log writes it: one line of its own columns. Line
// breaks and every other control character become a blank, and the column
// separator "," becomes ";", so that a printer's text can neither start a
// line of its own nor shift the columns.
std::string LogText(const std::string& text);

// When the file is larger than maximumBytes, cuts it from the front to at
// most keepBytes (default, or a negative value: maximumBytes), keeping
// whole lines: 1 when nothing had to be done or the file was trimmed, 0
// when it does not exist or trimming failed (the file is then left as it
// was). Shared by the trap log and the environmental log.
int TrimFile(const std::string& path, long maximumBytes, long keepBytes = -1);

// Appends one line of a log (bytes with its end of line) whole or not at
// all, after cutting the file to TrimTarget(maximumBytes) from the front
// when it has grown beyond maximumBytes (0: no limit). The trap log and the
// environmental log both write through here, under one process-wide lock:
// an administrator may give them the same file, and a trim by one must not
// drop a line the other appends meanwhile. False when the line could not
// be written.
bool AppendLogLine(const std::string& path, long maximumBytes, const std::string& bytes);

} // namespace nwatch

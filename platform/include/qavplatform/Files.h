// Reading the tool set's own files: the settings files, the group files and
// the per-user values. A user (or another program) may put anything at such
// a path: a FIFO, which would block the reader until someone writes into
// it; a link to /dev/zero, which never ends; a file of gigabytes. So only
// regular files are read, and only up to a limit, and a refused file is
// named with the reason.
//
// The FIFO is opened without waiting for a writer (O_NONBLOCK), looked at
// and refused; a regular file is read whole, and refused when it holds more
// than the limit, even when it grew while being read.
#pragma once

#include <cstddef>
#include <string>

namespace qavplatform {

// The limit of the settings files, the group files and the per-user values:
// 64 MiB. A group file of 10,000 printers takes about 6 MiB.
inline constexpr size_t kMaxOwnFileSize = size_t{64} << 20;

enum class FileRead {
    kRead,    // `content` holds the whole file
    kMissing, // no such file (or folder): for a reader, every key is missing
    kRefused, // exists but was not read: `why` says why, naming the file
};

// Reads the regular file at `path` (a link is followed) into `content`
// (emptied unless the result is kRead). `why`, when given, receives
// "<path>: <reason>" for kRefused: "not a regular file (FIFO)", "larger
// than 67108864 bytes", "Permission denied" and the like.
FileRead ReadOwnFile(const std::string& path, std::string& content, std::string* why = nullptr,
                     size_t limit = kMaxOwnFileSize);

// Says on standard error which file was refused and why ("nwatch: file
// refused: <why>"), for readers that go on with their defaults.
void ReportRefusedFile(const std::string& why);

// ReadOwnFile for readers that take a refused file as missing: true when
// read; a refused file is reported (ReportRefusedFile).
bool ReadOwnFileOrReport(const std::string& path, std::string& content);

} // namespace qavplatform

#include "nwatch/TrapLogger.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <memory>

#include "qavplatform/Address.h"

namespace nwatch {

namespace {

std::mutex g_loggerMutex; // the logger pointer
std::mutex g_writeMutex;  // one line at a time, of either log
std::unique_ptr<CNWATCHLogger> g_logger;

std::string TimeStamp()
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

// Appends the line in one write. A write cut short (a full disk, a file
// size limit) is taken back, so that the file never holds half a record
// that the next one would be glued to.
bool AppendWhole(const std::string& path, const std::string& line)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    struct stat st{};
    const bool sized = ::fstat(fd, &st) == 0;
    size_t written = 0;
    bool ok = true;
    while (written < line.size()) {
        const ssize_t n = ::write(fd, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        written += static_cast<size_t>(n);
    }
    if (!ok && written > 0 && sized && ::ftruncate(fd, st.st_size) != 0) {
        // Nothing more can be done: the next trim drops the cut line.
    }
    ok = ::close(fd) == 0 && ok;
    return ok;
}

} // namespace

CNWATCHLogger::CNWATCHLogger(std::string fileName) : fileName_(fileName.substr(0, 259)) {}
CNWATCHLogger::~CNWATCHLogger() = default;

void CNWATCHLogger::CreateLogger(const std::string& fileName)
{
    std::lock_guard<std::mutex> lock(g_loggerMutex);
    if (!g_logger) g_logger = std::make_unique<CNWATCHLogger>(fileName);
}

void CNWATCHLogger::DestroyLogger()
{
    std::lock_guard<std::mutex> lock(g_loggerMutex);
    g_logger.reset();
}

bool CNWATCHLogger::Exists()
{
    std::lock_guard<std::mutex> lock(g_loggerMutex);
    return g_logger != nullptr;
}

int CNWATCHLogger::LogLine(const std::string& fileName, long maximumBytes, const std::string& text)
{
    std::string path;
    {
        std::lock_guard<std::mutex> lock(g_loggerMutex);
        if (!g_logger) return 0;
        path = fileName.empty() ? g_logger->FileName() : fileName;
    }
    if (path.empty()) return 0;
    return AppendLogLine(path, maximumBytes, TimeStamp() + "," + text + "\n") ? 1 : 0;
}

bool AppendLogLine(const std::string& path, long maximumBytes, const std::string& bytes)
{
    std::lock_guard<std::mutex> lock(g_writeMutex);
    // Over its maximum the file is cut to a little under it, so that it is
    // rewritten once per many lines, not for every line. A failed trim
    // leaves the file whole; the line is appended anyway.
    if (maximumBytes > 0) TrimFile(path, maximumBytes, CNWATCHLogger::TrimTarget(maximumBytes));
    return AppendWhole(path, bytes);
}

long CNWATCHLogger::TrimTarget(long maximumBytes)
{
    if (maximumBytes <= 0) return maximumBytes;
    return maximumBytes - std::max(1L, maximumBytes / 8);
}

std::string LogText(const std::string& text)
{
    std::string out = text;
    for (char& c : out) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            c = ' ';
        } else if (c == ',') {
            c = ';';
        }
    }
    return out;
}

std::string CNWATCHLogger::FormatTrapEntry(const NotificationRecord& r, int rowSpecific, const TrapLogSettings& s)
{
    bool log;
    switch (r.generic) {
    case 6: log = s.error; break;
    case 7: log = s.jobInformation; break;
    case 0:
    case 1: log = true; break;
    default: log = false; break;
    }
    if (!log) return std::string();
    std::string text = qavplatform::AddressText(r.address) + "," + LogText(r.name) + "," + LogText(r.message);
    if (rowSpecific == 98) text += "(" + std::to_string(r.specific) + ")";
    if (r.generic == 6 || r.generic == 7) {
        text += "," + std::to_string(r.trapErrorCode) + "," + LogText(r.detail1) + "," + LogText(r.detail2) + "," +
                LogText(r.detail3) + "," + std::to_string(r.secondInteger);
    }
    return text;
}

int CNWATCHLogger::TrapLogEntry(const NotificationRecord& r, int rowSpecific, const TrapLogSettings& s)
{
    const std::string text = FormatTrapEntry(r, rowSpecific, s);
    if (text.empty()) return 0;
    return LogLine(s.fileName, static_cast<long>(s.maximumKilobytes) * 1024, text);
}

int TrimFile(const std::string& path, long maximumBytes, long keepBytes)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return 0;
    if (maximumBytes <= 0 || st.st_size <= maximumBytes) return 1;
    if (keepBytes < 0 || keepBytes > maximumBytes) keepBytes = maximumBytes;

    // "~name.tmp" beside a bare file name, "path.tmp" otherwise.
    const size_t slash = path.rfind('/');
    const std::string temp = slash == std::string::npos ? "~" + path + ".tmp" : path + ".tmp";
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return 0;
    ::unlink(temp.c_str()); // left over from a trim that did not finish
    const int fd = ::open(temp.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0644);
    FILE* out = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (!out) {
        if (fd >= 0) {
            ::close(fd);
            ::unlink(temp.c_str());
        }
        std::fclose(in);
        return 0;
    }
    bool ok = true;
    const long start = static_cast<long>(st.st_size - keepBytes);
    // The line under the cut is dropped, unless the cut falls exactly at a
    // line start: then that whole line fits and is kept.
    bool dropFirst = true;
    if (std::fseek(in, start - 1, SEEK_SET) == 0) dropFirst = std::fgetc(in) != '\n';
    ok = ok && std::fseek(in, start, SEEK_SET) == 0;
    int c;
    if (ok && dropFirst) {
        while ((c = std::fgetc(in)) != EOF && c != '\n') {
        }
    }
    std::string line;
    while (ok && (c = std::fgetc(in)) != EOF) {
        line += static_cast<char>(c);
        if (c == '\n') {
            ok = std::fwrite(line.data(), 1, line.size(), out) == line.size();
            line.clear();
        }
    }
    if (ok && !line.empty()) { // the last line gets its end of line
        line += '\n';
        ok = std::fwrite(line.data(), 1, line.size(), out) == line.size();
    }
    ok = ok && !std::ferror(in);
    ok = std::fflush(out) == 0 && ok;
    ok = ::fsync(fileno(out)) == 0 && ok;
    std::fclose(in);
    ok = std::fclose(out) == 0 && ok;
    // Renaming over the log replaces it in one step: at every moment either
    // the old file or the trimmed one is there.
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return 0;
    }
    return 1;
}

} // namespace nwatch

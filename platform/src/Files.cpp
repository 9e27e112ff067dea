#include "qavplatform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qavplatform {

namespace {

const char* KindOf(mode_t mode)
{
    if (S_ISFIFO(mode)) return "FIFO";
    if (S_ISCHR(mode)) return "character device";
    if (S_ISBLK(mode)) return "block device";
    if (S_ISSOCK(mode)) return "socket";
    if (S_ISDIR(mode)) return "folder";
    return "special file";
}

FileRead Refuse(const std::string& path, const std::string& reason, std::string& content, std::string* why)
{
    content.clear();
    if (why) *why = path + ": " + reason;
    return FileRead::kRefused;
}

} // namespace

FileRead ReadOwnFile(const std::string& path, std::string& content, std::string* why, size_t limit)
{
    content.clear();
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) return FileRead::kMissing;
        return Refuse(path, std::strerror(err), content, why);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return Refuse(path, std::strerror(err), content, why);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return Refuse(path, std::string("not a regular file (") + KindOf(st.st_mode) + ")", content, why);
    }
    const std::string tooLarge = "larger than " + std::to_string(limit) + " bytes";
    if (static_cast<unsigned long long>(st.st_size) > limit) {
        ::close(fd);
        return Refuse(path, tooLarge, content, why);
    }
    content.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            return Refuse(path, std::strerror(err), content, why);
        }
        if (n == 0) break;
        if (content.size() + static_cast<size_t>(n) > limit) {
            ::close(fd);
            return Refuse(path, tooLarge, content, why);
        }
        content.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return FileRead::kRead;
}

void ReportRefusedFile(const std::string& why)
{
    std::fprintf(stderr, "%s: file refused: %s\n", program_invocation_short_name, why.c_str());
}

bool ReadOwnFileOrReport(const std::string& path, std::string& content)
{
    std::string why;
    const FileRead result = ReadOwnFile(path, content, &why);
    if (result == FileRead::kRefused) ReportRefusedFile(why);
    return result == FileRead::kRead;
}

} // namespace qavplatform

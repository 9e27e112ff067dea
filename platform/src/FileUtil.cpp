#include "FileUtil.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qavplatform::detail {

std::string ErrnoText(const std::string& what, int err)
{
    return what + ": " + std::strerror(err);
}

bool MakeDirs(const std::string& path, mode_t mode, std::string* error)
{
    if (path.empty()) {
        if (error) *error = "empty folder name";
        return false;
    }
    std::string partial;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t next = path.find('/', pos);
        if (next == std::string::npos) next = path.size();
        partial = path.substr(0, next);
        pos = next + 1;
        if (partial.empty()) continue;
        if (::mkdir(partial.c_str(), mode) != 0 && errno != EEXIST) {
            if (error) *error = ErrnoText("cannot create " + partial, errno);
            return false;
        }
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (error) *error = path + " is not a folder";
        return false;
    }
    return true;
}

bool WriteFileAtomic(const std::string& path, const std::string& content, std::string* error)
{
    std::string temp = path + ".tmp." + std::to_string(::getpid());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error) *error = ErrnoText("cannot create " + temp, errno);
        return false;
    }
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            if (error) *error = ErrnoText("cannot write " + temp, err);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        if (error) *error = ErrnoText("cannot replace " + path, err);
        return false;
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string* content)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string data;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        data.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    if (content) *content = std::move(data);
    return true;
}

std::string EscapeFileName(const std::string& name)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(name.size());
    for (unsigned char c : name) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string HomeDir()
{
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    struct passwd pw {};
    struct passwd* result = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &pw, buffer, sizeof buffer, &result) == 0 && result && result->pw_dir)
        return result->pw_dir;
    return "/";
}

std::string ConfigHome()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // The XDG rules ignore a relative value.
    if (xdg && xdg[0] == '/') {
        std::string dir = xdg;
        while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
        return dir;
    }
    std::string home = HomeDir();
    if (!home.empty() && home.back() == '/') home.pop_back();
    return home + "/.config";
}

} // namespace qavplatform::detail

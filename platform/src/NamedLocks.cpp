#include "qavplatform/NamedLocks.h"

#include "qavplatform/Result.h"
#include "FileUtil.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace qavplatform {

namespace {

constexpr size_t kMaxFileName = 200;
constexpr const char* kEventSuffix = ".event";
constexpr const char* kMutexSuffix = ".mutex";
// Taken around every look at an event's lock, so that "does it exist" and
// "create it" are one step for every process.
constexpr const char* kEventGuard = "events.guard";

int FlockRetry(int fd, int operation)
{
    for (;;) {
        if (::flock(fd, operation) == 0) return 0;
        if (errno != EINTR) return -1;
    }
}

// Opens (creating when asked) a file of the lock folder. -1 with a code in
// `result` on failure.
int OpenLockFile(const std::string& name, const char* suffix, bool create, int* result, std::string* error)
{
    std::string file = LockFileName(name);
    if (file.empty()) {
        *result = kErrInvalidName;
        if (error) *error = "unusable object name \"" + name + "\"";
        return -1;
    }
    std::string dir = LockDir(error);
    if (dir.empty()) {
        *result = kErrIo;
        return -1;
    }
    std::string path = dir + "/" + file + suffix;
    int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0);
    int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) {
        *result = (errno == ENOENT) ? kErrNotFound : kErrIo;
        if (error) *error = detail::ErrnoText("cannot open " + path, errno);
        return -1;
    }
    *result = kOk;
    return fd;
}

// The guard of the event files, taken; -1 when it cannot be had.
int TakeEventGuard(std::string* error)
{
    std::string dir = LockDir(error);
    if (dir.empty()) return -1;
    std::string path = dir + "/" + kEventGuard;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        if (error) *error = detail::ErrnoText("cannot open " + path, errno);
        return -1;
    }
    if (FlockRetry(fd, LOCK_EX) != 0) {
        if (error) *error = detail::ErrnoText("cannot lock " + path, errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::string LockDir(std::string* error)
{
    std::string dir;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (runtime && runtime[0] == '/' && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) {
        dir = std::string(runtime);
        while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
        dir += "/qav";
    } else {
        dir = "/tmp/qav-" + std::to_string(::geteuid());
    }
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        if (error) *error = detail::ErrnoText("cannot create lock folder " + dir, errno);
        return {};
    }
    // In a shared folder such as /tmp someone else may have put a folder or
    // a link there first; lock files are only kept in a folder of our own.
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (error) *error = "lock folder " + dir + " is not a folder";
        return {};
    }
    if (st.st_uid != ::geteuid()) {
        if (error) *error = "lock folder " + dir + " belongs to another user";
        return {};
    }
    if ((st.st_mode & 077) != 0 && ::chmod(dir.c_str(), 0700) != 0) {
        if (error) *error = detail::ErrnoText("cannot protect lock folder " + dir, errno);
        return {};
    }
    return dir;
}

std::string LockFileName(const std::string& name)
{
    std::string bare = name;
    for (const char* prefix : {"Global\\", "Local\\"}) {
        std::string p = prefix;
        if (bare.compare(0, p.size(), p) == 0) {
            bare.erase(0, p.size());
            break;
        }
    }
    if (bare.empty()) return {};
    std::string file = detail::EscapeFileName(bare);
    if (file.size() > kMaxFileName) return {};
    return file;
}

// ---------------------------------------------------------------- NamedEvent

NamedEvent::NamedEvent(NamedEvent&& other) noexcept : fd_(other.fd_), name_(std::move(other.name_))
{
    other.fd_ = -1;
}

NamedEvent& NamedEvent::operator=(NamedEvent&& other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        name_ = std::move(other.name_);
        other.fd_ = -1;
    }
    return *this;
}

int NamedEvent::Create(const std::string& name, bool* existed, std::string* error)
{
    Close();
    int result = kOk;
    int fd = OpenLockFile(name, kEventSuffix, true, &result, error);
    if (fd < 0) return result;
    int guard = TakeEventGuard(error);
    if (guard < 0) {
        ::close(fd);
        return kErrIo;
    }
    // Holders keep a shared lock; an exclusive try tells whether there is one.
    bool found = false;
    if (FlockRetry(fd, LOCK_EX | LOCK_NB) == 0) {
        FlockRetry(fd, LOCK_UN);
    } else if (errno == EWOULDBLOCK) {
        found = true;
    } else {
        if (error) *error = detail::ErrnoText("cannot test event " + name, errno);
        result = kErrIo;
    }
    if (result == kOk && FlockRetry(fd, LOCK_SH | LOCK_NB) != 0) {
        if (error) *error = detail::ErrnoText("cannot hold event " + name, errno);
        result = kErrIo;
    }
    ::close(guard);
    if (result != kOk) {
        ::close(fd);
        return result;
    }
    fd_ = fd;
    name_ = name;
    if (existed) *existed = found;
    return kOk;
}

void NamedEvent::Close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    name_.clear();
}

bool NamedEvent::Exists(const std::string& name)
{
    int result = kOk;
    int fd = OpenLockFile(name, kEventSuffix, false, &result, nullptr);
    if (fd < 0) return false;
    int guard = TakeEventGuard(nullptr);
    bool found = false;
    if (FlockRetry(fd, LOCK_EX | LOCK_NB) == 0) {
        FlockRetry(fd, LOCK_UN);
    } else {
        found = (errno == EWOULDBLOCK);
    }
    if (guard >= 0) ::close(guard);
    ::close(fd);
    return found;
}

// ------------------------------------------------------------ SingleInstance

bool SingleInstance::Acquire(const std::string& name, std::string* error)
{
    Release();
    bool existed = false;
    result_ = event_.Create(name, &existed, error);
    if (result_ != kOk) return false;
    if (existed) {
        event_.Close();
        result_ = kErrBusy;
        if (error) *error = "another instance holds \"" + name + "\"";
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- NamedMutex

int NamedMutex::Open(const std::string& name, std::string* error)
{
    Close();
    int result = kOk;
    fd_ = OpenLockFile(name, kMutexSuffix, true, &result, error);
    return fd_ >= 0 ? kOk : result;
}

void NamedMutex::Close()
{
    if (fd_ >= 0) {
        ::close(fd_);  // releases the lock with the file
        fd_ = -1;
    }
    count_ = 0;
}

int NamedMutex::Lock()
{
    if (fd_ < 0) return kErrNotOpen;
    if (count_ > 0) {
        ++count_;
        return kOk;
    }
    if (FlockRetry(fd_, LOCK_EX) != 0) return kErrIo;
    count_ = 1;
    return kOk;
}

int NamedMutex::TryLock()
{
    if (fd_ < 0) return kErrNotOpen;
    if (count_ > 0) {
        ++count_;
        return kOk;
    }
    if (FlockRetry(fd_, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? kErrBusy : kErrIo;
    count_ = 1;
    return kOk;
}

int NamedMutex::LockFor(int timeoutMs)
{
    // flock has no timeout of its own: try, then sleep a little longer each
    // time (1 ms up to 10 ms) until the deadline.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        int result = TryLock();
        if (result != kErrBusy) return result;
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return kErrTimeout;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        std::this_thread::sleep_for(std::min(pause, left + std::chrono::milliseconds(1)));
        if (pause < std::chrono::milliseconds(10)) pause *= 2;
    }
}

void NamedMutex::Unlock()
{
    if (fd_ < 0 || count_ == 0) return;
    if (--count_ == 0) FlockRetry(fd_, LOCK_UN);
}

} // namespace qavplatform

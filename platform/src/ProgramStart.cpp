#include "qavplatform/ProgramStart.h"

#include "qavplatform/Processes.h"
#include "qavplatform/Result.h"
#include "FileUtil.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace qavplatform {

namespace {

// Records sent from the two children to the caller over a pipe; 8 bytes,
// so each write arrives whole even when both children write.
struct StartRecord {
    int32_t kind;   // one of the kinds below
    int32_t value;  // process id or errno
};
enum : int32_t { kRecordPid = 1, kRecordForkError = 2, kRecordExecError = 3 };

void WriteRecord(int fd, int32_t kind, int32_t value)
{
    StartRecord record{kind, value};
    while (::write(fd, &record, sizeof record) < 0 && errno == EINTR) {
    }
}

bool IsRegularFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ExecErrorCodeText(int err)
{
    switch (err) {
    case ENOEXEC: return "not a program the system can run";
    case ENOENT: return "its interpreter or a library it needs is missing";
    default: return std::strerror(err);
    }
}

} // namespace

std::string ProgramDir()
{
    char target[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", target, sizeof target - 1);
    if (n <= 0) return ".";
    std::string exe(target, static_cast<size_t>(n));
    size_t slash = exe.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : exe.substr(0, slash);
}

std::string FindProgramIn(const std::string& folder, const std::string& name)
{
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return IsRegularFile(name) ? name : std::string();
    std::string base = folder.empty() ? std::string(".") : folder;
    if (base.size() > 1 && base.back() == '/') base.pop_back();
    std::string prefix = base == "/" ? base : base + "/";
    if (IsRegularFile(prefix + name)) return prefix + name;
    std::string comparable = ComparableProgramName(name);
    if (comparable != name && !comparable.empty() && IsRegularFile(prefix + comparable)) return prefix + comparable;
    return {};
}

bool ProgramInstalled(const std::string& name, const std::string& folder)
{
    const std::string path = FindProgramIn(folder, name);
    return !path.empty() && ::access(path.c_str(), X_OK) == 0;
}

std::string FindOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    if (!path || name.empty() || name.find('/') != std::string::npos) return {};
    const std::string list = path;
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t colon = list.find(':', pos);
        if (colon == std::string::npos) colon = list.size();
        const std::string folder = list.substr(pos, colon - pos);
        pos = colon + 1;
        if (folder.empty()) continue;
        const std::string candidate = folder + "/" + name;
        if (IsRegularFile(candidate) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

int StartDetached(const std::string& path, const std::vector<std::string>& args, const StartOptions& options,
                  pid_t* pid, std::string* error)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        int err = errno;
        if (error) *error = detail::ErrnoText("cannot start " + path, err);
        return (err == ENOENT || err == ENOTDIR) ? kErrNotFound : kErrStartFailed;
    }
    if (!S_ISREG(st.st_mode) || ::access(path.c_str(), X_OK) != 0) {
        if (error) *error = "cannot start " + path + ": not an executable file";
        return kErrNotExecutable;
    }

    // Everything the children need is prepared here: between fork and exec
    // only async-signal-safe calls are made (the caller may have threads).
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    long maxFd = ::sysconf(_SC_OPEN_MAX);
    if (maxFd < 0 || maxFd > 65536) maxFd = 65536;
    int devNull = -1;
    if (options.quiet) {
        devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (devNull < 0) {
            if (error) *error = detail::ErrnoText("cannot open /dev/null", errno);
            return kErrStartFailed;
        }
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        if (error) *error = detail::ErrnoText("cannot start " + path, errno);
        if (devNull >= 0) ::close(devNull);
        return kErrStartFailed;
    }

    pid_t first = ::fork();
    if (first < 0) {
        int err = errno;
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        if (devNull >= 0) ::close(devNull);
        if (error) *error = detail::ErrnoText("cannot start " + path, err);
        return kErrStartFailed;
    }
    if (first == 0) {
        // First child: a session of its own, then the real program as its
        // child; this one ends at once, so the program is handed to the
        // system's reaper and the caller has nothing to wait for later.
        ::setsid();
        pid_t second = ::fork();
        if (second < 0) {
            WriteRecord(pipeFds[1], kRecordForkError, errno);
            ::_exit(1);
        }
        if (second == 0) {
            sigset_t none;
            ::sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            struct sigaction dfl {};
            dfl.sa_handler = SIG_DFL;
            for (int sig = 1; sig < NSIG; ++sig) ::sigaction(sig, &dfl, nullptr);
            if (devNull >= 0) {
                ::dup2(devNull, 0);
                ::dup2(devNull, 1);
                ::dup2(devNull, 2);
            }
            // No descriptor of the caller (locks, sockets) reaches the program.
            if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
                for (int fd = 3; fd < maxFd; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            }
            ::execv(argv[0], argv.data());
            WriteRecord(pipeFds[1], kRecordExecError, errno);
            ::_exit(127);
        }
        WriteRecord(pipeFds[1], kRecordPid, second);
        ::_exit(0);
    }

    ::close(pipeFds[1]);
    if (devNull >= 0) ::close(devNull);
    int status = 0;
    while (::waitpid(first, &status, 0) < 0 && errno == EINTR) {
    }
    // The pipe ends when the program's exec closed it or the children ended.
    pid_t started = -1;
    int forkError = 0, execError = 0;
    StartRecord record{};
    for (;;) {
        ssize_t n = ::read(pipeFds[0], &record, sizeof record);
        if (n < 0 && errno == EINTR) continue;
        if (n != static_cast<ssize_t>(sizeof record)) break;
        if (record.kind == kRecordPid) started = record.value;
        else if (record.kind == kRecordForkError) forkError = record.value;
        else if (record.kind == kRecordExecError) execError = record.value;
    }
    ::close(pipeFds[0]);

    if (execError != 0) {
        if (error) *error = "cannot start " + path + ": " + ExecErrorCodeText(execError);
        bool notRunnable = execError == ENOEXEC || execError == EACCES || execError == ENOENT ||
                           execError == ETXTBSY || execError == ELIBBAD || execError == EISDIR;
        return notRunnable ? kErrNotExecutable : kErrStartFailed;
    }
    if (forkError != 0 || started <= 0) {
        if (error) *error = "cannot start " + path + ": " + (forkError ? std::strerror(forkError) : "no process");
        return kErrStartFailed;
    }
    if (pid) *pid = started;
    return kOk;
}

int StartProgramFrom(const std::string& folder, const std::string& name, const std::vector<std::string>& args,
                     pid_t* pid, std::string* error)
{
    std::string path = FindProgramIn(folder, name);
    if (path.empty()) {
        const std::string installed = name.find('/') == std::string::npos ? ComparableProgramName(name) : name;
        if (error) *error = "no program " + installed + " in " + folder;
        return kErrNotFound;
    }
    return StartDetached(path, args, {}, pid, error);
}

int StartProgram(const std::string& name, const std::vector<std::string>& args, pid_t* pid, std::string* error)
{
    return StartProgramFrom(ProgramDir(), name, args, pid, error);
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

int StartCommandLine(const std::string& commandLine, pid_t* pid, std::string* error)
{
    return StartCommandLineFrom(ProgramDir(), commandLine, pid, error);
}

int StartCommandLineFrom(const std::string& folder, const std::string& commandLine, pid_t* pid,
                         std::string* error)
{
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) {
        if (error) *error = "empty command line";
        return kErrNotFound;
    }
    const std::string program = words[0];
    words.erase(words.begin());
    return StartProgramFrom(folder, program, words, pid, error);
}

} // namespace qavplatform

#include "qavplatform/Processes.h"

#include "FileUtil.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

namespace qavplatform {

namespace {

std::string BaseName(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The process state letter from /proc/<pid>/stat (the field after the
// command name, which is in parentheses and may itself hold ')' or blanks).
char ProcessState(const std::string& procDir)
{
    std::string stat;
    if (!detail::ReadWholeFile(procDir + "/stat", &stat)) return 0;
    size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) return 0;
    return stat[close + 2];
}

bool ReadProcess(pid_t pid, ProcessInfo* info)
{
    std::string dir = "/proc/" + std::to_string(pid);
    char state = ProcessState(dir);
    if (state == 0 || state == 'Z' || state == 'X') return false;
    info->pid = pid;
    info->executable.clear();
    char target[PATH_MAX];
    ssize_t n = ::readlink((dir + "/exe").c_str(), target, sizeof target - 1);
    if (n > 0) {
        std::string exe(target, static_cast<size_t>(n));
        const std::string deleted = " (deleted)";
        if (exe.size() > deleted.size() && exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0)
            exe.erase(exe.size() - deleted.size());
        info->executable = exe;
        info->name = BaseName(exe);
        return true;
    }
    std::string cmdline;
    if (detail::ReadWholeFile(dir + "/cmdline", &cmdline) && !cmdline.empty() && cmdline[0] != '\0') {
        info->name = BaseName(std::string(cmdline.c_str()));
        return true;
    }
    std::string comm;
    if (!detail::ReadWholeFile(dir + "/comm", &comm)) return false;
    while (!comm.empty() && comm.back() == '\n') comm.pop_back();
    info->name = comm;
    return true;
}

} // namespace

std::string ComparableProgramName(const std::string& name)
{
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".exe") == 0) lower.erase(lower.size() - 4);
    return lower;
}

bool ProcessNameMatches(const std::string& processName, const std::string& wanted)
{
    std::string want = ComparableProgramName(wanted);
    if (want.empty()) return false;
    return ComparableProgramName(processName) == want;
}

std::vector<ProcessInfo> ListProcesses()
{
    std::vector<ProcessInfo> list;
    DIR* proc = ::opendir("/proc");
    if (!proc) return list;
    while (struct dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || !end || *end != '\0') continue;
        ProcessInfo info;
        if (ReadProcess(static_cast<pid_t>(pid), &info)) list.push_back(std::move(info));
    }
    ::closedir(proc);
    std::sort(list.begin(), list.end(), [](const ProcessInfo& a, const ProcessInfo& b) { return a.pid < b.pid; });
    return list;
}

std::vector<ProcessInfo> FindProcesses(const std::string& wanted)
{
    std::vector<ProcessInfo> found;
    for (auto& info : ListProcesses())
        if (ProcessNameMatches(info.name, wanted)) found.push_back(std::move(info));
    return found;
}

bool IsProcessRunning(const std::string& wanted)
{
    return !FindProcesses(wanted).empty();
}

std::vector<ProcessInfo> FindProgramProcesses(const std::string& folder, const std::string& wanted)
{
    std::vector<ProcessInfo> found;
    char resolved[PATH_MAX];
    if (folder.empty() || !::realpath(folder.c_str(), resolved)) return found;
    const std::string dir = resolved;
    for (auto& info : ListProcesses()) {
        if (info.executable.empty() || !ProcessNameMatches(info.name, wanted)) continue;
        const size_t slash = info.executable.find_last_of('/');
        const std::string exeDir = slash == 0 ? "/" : info.executable.substr(0, slash);
        if (slash != std::string::npos && exeDir == dir) found.push_back(std::move(info));
    }
    return found;
}

bool IsProgramRunning(const std::string& folder, const std::string& wanted)
{
    return !FindProgramProcesses(folder, wanted).empty();
}

} // namespace qavplatform

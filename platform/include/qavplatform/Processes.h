// The running processes, read from /proc: the monitor refuses to start while
// the suite's own system setting tool or download tool runs.
//
// Name rule: a process's name is the base name of its executable (the target
// of /proc/<pid>/exe; when that cannot be read, as for other users'
// processes, the base name of its first argument, else its short command
// name). Names are compared without case and without a trailing ".exe", and
// a process matches when its name is the wanted name: "NCONFIG.EXE" finds
// the program `nconfig`, "NLOAD.EXE" finds `nload`, and neither finds
// `nconfig-test` or `xnload`. Zombies (ended processes not yet reaped) do
// not count as running.
//
// Other packages have programs of the same names (Debian's `nload` shows
// network traffic), so the suite's own programs are found by the file they
// run: FindProgramProcesses looks for processes whose executable lies in the
// suite's program folder.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qavplatform {

struct ProcessInfo {
    pid_t pid = 0;
    std::string name;        // base name of the executable, as on disk
    std::string executable;  // full path of the executable, empty when unreadable
};

// Every live process that can be seen, this one included, in order of pid.
std::vector<ProcessInfo> ListProcesses();

// The live processes whose name matches `wanted` by the rule above.
std::vector<ProcessInfo> FindProcesses(const std::string& wanted);

// Whether a live process whose name matches `wanted` runs.
bool IsProcessRunning(const std::string& wanted);

// The live processes that run the program `wanted` (by the name rule) from
// `folder`: their executable is a file of that folder (links resolved).
// Processes whose executable cannot be read do not count.
std::vector<ProcessInfo> FindProgramProcesses(const std::string& folder, const std::string& wanted);
bool IsProgramRunning(const std::string& folder, const std::string& wanted);

// The comparison form of a program name: lower case, ".exe" removed.
std::string ComparableProgramName(const std::string& name);

// The rule itself: whether a process called `processName` matches `wanted`.
bool ProcessNameMatches(const std::string& processName, const std::string& wanted);

} // namespace qavplatform

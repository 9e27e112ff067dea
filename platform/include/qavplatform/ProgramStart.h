// Starting the sibling programs of the tool set: the monitor starts the
// system setting tool and the download tool from its own folder, the list
// window and the pop-up start "nstat <address> <flag>" as a command line.
//
// The tool set's programs are taken from the program folder only, never
// from PATH: Debian has programs of its own under some of their names
// (iproute2's `nstat`). PATH is searched only for helpers of the system,
// such as the sound players (FindOnPath).
//
// Started programs are detached: they run in a session of their own, are
// children of the system's reaper rather than of the caller (so no zombie is
// ever left behind), inherit the caller's environment, current folder and
// standard streams, and never the caller's lock files. The call returns as
// soon as the program is running (its exec succeeded) or is known not to
// start, with the reason.
//
// Program names: a name with a '/' is a path and used as it stands. Any
// other name is looked for as written and then in its comparison form (lower
// case, ".exe" removed), so "NCONFIG.EXE" starts `nconfig`.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qavplatform {

// The folder of the running program (the folder of /proc/self/exe).
std::string ProgramDir();

// The full path of the program `name` in `folder`, or empty when there is
// none by the name rule above.
std::string FindProgramIn(const std::string& folder, const std::string& name);

// Whether the sibling program `name` can be started from `folder`: found
// there by the name rule above, and executable.
bool ProgramInstalled(const std::string& name, const std::string& folder = ProgramDir());

// A helper of the system on PATH: the first folder of PATH holding an
// executable regular file called `name` (empty entries, which would mean
// the current folder, are skipped). Empty when there is none. Never used
// for the tool set's own programs.
std::string FindOnPath(const std::string& name);

struct StartOptions {
    // Connect the program's standard input, output and error to /dev/null
    // (for helpers such as sound players whose chatter nobody reads).
    bool quiet = false;
};

// Starts `path` (a file path) with the arguments (argv[1...]), detached.
// kOk with the new process id in `pid`; kErrNotFound (no such file),
// kErrNotExecutable (not a regular file, no execute permission, or a format
// the system cannot run) or kErrStartFailed, each with a reason in `error`.
int StartDetached(const std::string& path, const std::vector<std::string>& args,
                  const StartOptions& options = {}, pid_t* pid = nullptr, std::string* error = nullptr);

// Starts the program `name` from `folder` with the arguments, detached.
// When there is none, kErrNotFound and `error` names the program as it is
// installed ("no program nconfig in /usr/lib/qav/bin").
int StartProgramFrom(const std::string& folder, const std::string& name, const std::vector<std::string>& args,
                     pid_t* pid = nullptr, std::string* error = nullptr);

// Starts the sibling program `name` from the program folder.
int StartProgram(const std::string& name, const std::vector<std::string>& args = {},
                 pid_t* pid = nullptr, std::string* error = nullptr);

// Splits a command line at blanks (spaces and tabs); a part in double quotes
// keeps its blanks ("\"/opt/QAV Tools/nstat\" 10.0.0.1 1").
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Starts a command line the way the tool set's WinExec calls did: the first
// word is the program, a path or a name found in `folder` (the program
// folder); the other words are its arguments.
int StartCommandLine(const std::string& commandLine, pid_t* pid = nullptr, std::string* error = nullptr);
int StartCommandLineFrom(const std::string& folder, const std::string& commandLine, pid_t* pid = nullptr,
                         std::string* error = nullptr);

} // namespace qavplatform

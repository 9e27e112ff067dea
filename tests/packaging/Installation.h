// The tool set as it is installed: the build tree installed into a folder of
// the test's own (`cmake --install`), the systemd units read as systemd
// reads them, and a program run with exactly the environment a unit or a
// fresh login would give it (nothing inherited from the test).
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "TestPeers.h"

namespace qavtest {

// `cmake --install` of the build tree into `prefix`, without the data-folder
// step. False with the installer's output in `log`.
bool InstallInto(const std::string& prefix, std::string& log);

// A systemd unit file: the keys of each section in their order (a key such
// as Environment may come several times). Comment and blank lines do not
// count; a line ending in '\' goes on in the next.
class UnitFile {
public:
    bool Load(const std::string& path);
    // Every value of the key in the section, in order.
    std::vector<std::string> Values(const std::string& section, const std::string& key) const;
    // The last value (the one systemd uses for a single-valued key), or empty.
    std::string Value(const std::string& section, const std::string& key) const;
    // The variables of the [Service] section's Environment= lines
    // (KEY=VALUE words, double quotes kept together).
    std::map<std::string, std::string> Environment() const;
    // A command line of the [Service] section (ExecStart, ExecStartPre) split
    // into words as systemd splits it (blanks, double quotes).
    std::vector<std::string> Command(const std::string& key) const;

private:
    std::vector<std::pair<std::string, std::pair<std::string, std::string>>> entries_; // section, key, value
};

// Splits a unit's value into words: blanks separate, double quotes group
// (the suite's own command-line splitter, which splits as systemd does).
std::vector<std::string> UnitWords(const std::string& value);

// A program started with exactly `env` as its environment (through env -i),
// its output in a log file. The process is the program itself (env execs
// it), so signals reach it directly.
class CleanProcess {
public:
    bool Start(const std::vector<std::string>& command, const std::map<std::string, std::string>& env,
               const std::string& logPath);
    // Runs to its end (at most timeoutMs) and returns its exit status, -1
    // when it still ran (it is then stopped).
    int RunToEnd(const std::vector<std::string>& command, const std::map<std::string, std::string>& env,
                 const std::string& logPath, int timeoutMs);
    // Waits until the log holds `text`, at most timeoutMs; false when the
    // process ended first or time ran out.
    bool WaitForLog(const std::string& text, int timeoutMs);
    // SIGTERM to the program, and its exit status within timeoutMs (-1 when
    // it did not end; it is then killed).
    int Terminate(int timeoutMs);
    std::string Log() const { return process_.Log(); }
    bool Running() { return process_.Running(); }

private:
    ChildProcess process_;
};

// The environment a systemd user manager gives a service of a user whose
// home is `home`, on a server: no display, no session bus.
std::map<std::string, std::string> ServerSessionEnvironment(const std::string& home, const std::string& runtimeDir);

// The default data folder under a home folder.
std::string DefaultDataFolder(const std::string& home);

// The sample fleet of the simulator with its addresses moved from 127.0.0.x
// to the test's own 127.a.b.x (LoopbackAddress).
std::string SampleFleetOnOwnAddresses();

// Sets a key of a settings file of the data folder (the file's own engine).
void SetSetting(const std::string& dataFolder, const std::string& file, const std::string& section,
                const std::string& key, const std::string& value);

} // namespace qavtest

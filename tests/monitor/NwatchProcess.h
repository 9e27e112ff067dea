// nwatch run as a process of its own, as an installation would run it: the
// program copied into a folder of its own beside a stand-in `nstat` that
// records its command lines, the build's libraries and resources reached
// through ../lib and ../share, a stand-in sound player first on PATH that
// records the files it is asked to play, another `nstat` on PATH before the
// system's (as Debian has one) that records its calls apart, and a data
// folder made by the installation step. Used by the end-to-end tests and
// the trap benchmarks.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "TestPeers.h"

namespace qavtest {

// A UDP port that nothing on this machine is bound to at the moment (for the
// monitor's trap port), from a range of its own for this process.
int FreeUdpPort();

// The group file's text listing the printers (address, name) in the group
// of all printers.
std::string GroupFileText(const std::vector<std::pair<std::string, std::string>>& printers);

class NwatchProcess;

// One trap datagram as snmptrap sends it (`args` as snmptrap takes them
// after the destination, e.g. "-v 1 -c public ..." without the agent),
// caught on a socket of the test's own; empty when none came.
std::string CaptureTrap(const std::string& versionAndCommunity, const std::string& rest);
// Sends the datagram `count` times from the address `from` (a port of its
// own) to 127.0.0.1:port.
bool SendDatagrams(const std::string& from, int port, const std::string& datagram, int count);

// Fills a trap log with older lines up to a little over `bytes`.
void FillTrapLog(const std::string& path, size_t bytes);

// `count` consecutive addresses from `first` ("127.250.0.1", 3: .1 .2 .3).
std::vector<std::string> AddressRun(const std::string& first, int count);

// A trap burst: the simulator serves `printers` maker printers from `first`
// that send their traps to the monitor's port; the monitor lists them all,
// has every notification channel off and the trap log on (printer-error
// traps with their details).
struct BurstSetup {
    std::vector<std::string> addresses;
    int trapPort = 0;
    int snmpPort = 0;
};
bool PrepareBurst(NwatchProcess& nwatch, PrinterSim& sim, int printers, BurstSetup& setup, std::string& error);

class NwatchProcess {
public:
    NwatchProcess();
    ~NwatchProcess() { Stop(); }

    // A variable of its environment at the next start.
    void SetEnv(const std::string& key, const std::string& value) { env_[key] = value; }
    // A key of a settings file of the data folder.
    void Set(const std::string& file, const std::string& section, const std::string& key, const std::string& value);
    std::string DataFile(const std::string& name) const { return data_ + "/" + name; }
    const std::string& DataDir() const { return data_; }
    // The folder of the program (and of the stand-in nstat).
    std::string ProgramFolder() const { return root_.Path() + "/bin"; }
    // Its XDG_RUNTIME_DIR (the lock files).
    std::string RuntimeFolder() const { return root_.Path() + "/run"; }

    // Starts it (QAV_TRACE on) and waits until it says it is monitoring.
    bool Start(int trapPort, int snmpPort, int timeoutMs = 15000);
    // Runs it until it ends by itself (at most timeoutMs) and returns its
    // exit status; -1 when it was still running (it is then stopped). `env`
    // changes its environment (an empty value unsets the variable);
    // `outer` runs in front of it (such as unshare), `before` is shell text
    // run just before it starts.
    int RunToEnd(const std::map<std::string, std::string>& env, int timeoutMs,
                 const std::vector<std::string>& outer = {}, const std::string& before = "");
    // Starts it with these changes to its environment, without waiting for
    // it to monitor; true once it runs (its process id known).
    bool Begin(const std::map<std::string, std::string>& env);
    // Waits up to timeoutMs for it to end by itself: its exit status, or -1
    // when it still runs.
    int Wait(int timeoutMs);
    // The process id of the monitor itself (not of the session bus around it).
    pid_t Pid() const { return pid_; }
    // The address of its private session bus (empty without one), for a
    // program that sends it the suite's messages.
    std::string BusAddress() const;
    // SIGTERM and the exit status (-1 when it had to be killed).
    int Stop();
    bool Running() { return process_.Running(); }

    std::string Log() const { return process_.Log(); }
    // The trace lines that begin with `prefix` ("nwatch: channel ").
    std::vector<std::string> LogLines(const std::string& prefix) const;
    // Waits until at least `count` log lines begin with `prefix`.
    bool WaitForLines(const std::string& prefix, size_t count, int timeoutMs) const;

    std::vector<std::string> TrapLogLines() const;
    // The stand-ins' records: one line per start, the arguments joined by blanks.
    std::vector<std::string> NstatCalls() const;
    std::vector<std::string> SoundCalls() const;
    // The calls of the other `nstat` found first on PATH (must stay empty).
    std::vector<std::string> PathNstatCalls() const;

private:
    bool Launch(const std::map<std::string, std::string>& env, const std::vector<std::string>& outer,
                const std::string& before);

    TempDir root_;
    std::string data_;
    std::map<std::string, std::string> env_;
    ChildProcess process_;
    bool started_ = false;
    pid_t pid_ = -1;
};

} // namespace qavtest

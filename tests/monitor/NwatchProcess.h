// nwatch run as a process of its own, as an installation would run it: the
// program copied into a folder of its own beside a stand-in `nstat` that
// records its command lines, the build's libraries and resources reached
// through ../lib and ../share, a stand-in sound player first on PATH that
// records the files it is asked to play, and a data folder made by the
// installation step. Used by the end-to-end tests and the trap benchmark.
#pragma once

#include <cstdint>
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

    // A key of a settings file of the data folder.
    void Set(const std::string& file, const std::string& section, const std::string& key, const std::string& value);
    std::string DataFile(const std::string& name) const { return data_ + "/" + name; }
    const std::string& DataDir() const { return data_; }
    // The folder of the program (and of the stand-in nstat).
    std::string ProgramFolder() const { return root_.Path() + "/bin"; }

    // Starts it (QAV_TRACE on) and waits until it says it is monitoring.
    bool Start(int trapPort, int snmpPort, int timeoutMs = 15000);
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

private:
    TempDir root_;
    std::string data_;
    ChildProcess process_;
    bool started_ = false;
    pid_t pid_ = -1;
};

} // namespace qavtest

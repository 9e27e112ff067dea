// Real peers for the tests: child processes, loopback addresses of their
// own, and the SNMP agents (net-snmp's snmpd, snmpsim) started on them.
#pragma once

#include <netinet/in.h>
#include <sys/types.h>

#include <map>
#include <string>
#include <cstdint>
#include <vector>

namespace qavtest {

// A child process, stopped (SIGTERM, then SIGKILL) when the object dies.
// Its output goes to a log file kept for the failure messages.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const std::vector<std::string>& argv, const std::string& logPath,
               const std::map<std::string, std::string>& env = {});
    void Stop();
    bool Running();
    pid_t Pid() const { return pid_; }
    std::string Log() const;
    // Waits up to timeoutMs for the process to end by itself; returns its
    // exit status, or -1 when it still runs (it is then left running).
    int Wait(int timeoutMs);

private:
    pid_t pid_ = -1;
    std::string logPath_;
};

// A fresh temporary folder, removed with everything in it when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);

// A loopback address of this test process's own: 127.a.b.slot with a and b
// taken from the process id, so that tests running side by side never share
// an address. slot 1..254.
std::string LoopbackAddress(int slot);

// The first address of a large block of loopback addresses (room for a few
// thousand printers) of this test process's own, apart from LoopbackAddress.
std::string LoopbackBlock();

// Sends one UDP datagram on the socket as if from the local address `from`
// (host order): with the loopback device every 127.x.y.z is local, so one
// socket stands in for many hosts. False when it could not be sent.
bool SendDatagramFrom(int socket, const sockaddr_in& to, uint32_t from, const void* data, size_t size);

// Runs a command line through the shell and returns its standard output
// (standard error is appended when `withErrors`).
std::string RunCommand(const std::string& commandLine, bool withErrors = false);

// The UDP port test agents listen on: 161 when running as root, else a high
// port, which is then also put into QAV_SNMP_PORT for the library.
int PrepareAgentPort();

// Whether a program is on PATH.
bool HaveProgram(const std::string& name);

// Waits until something answers an SNMP GET of sysDescr.0 (or any answer) at
// address:port with the community, at most timeoutMs.
bool WaitForAgent(const std::string& address, int port, const std::string& community, int timeoutMs);

// The printer simulator (qav-printer-sim) started with extra arguments;
// returns once it says "ready" (at most timeoutMs).
class PrinterSim {
public:
    bool Start(const std::vector<std::string>& args, int timeoutMs = 20000);
    void Stop() { process_.Stop(); }
    std::string Log() const { return process_.Log(); }
    // Sends one command to its control socket and returns the answer.
    std::string Command(const std::string& line);
    // The addresses of the simulated printers (first octet most
    // significant), from the "list" command, in its order.
    std::vector<uint32_t> Addresses();
    const std::string& ControlPath() const { return control_; }

private:
    TempDir dir_;
    ChildProcess process_;
    std::string control_;
};

// snmpsim serving one or more recordings on address:port. Each recording is
// served under the community named by its key.
class SnmpSimAgent {
public:
    bool Start(const std::string& address, int port, const std::map<std::string, std::string>& recordings);
    void Stop() { process_.Stop(); }
    std::string Log() const { return process_.Log(); }

private:
    TempDir dir_;
    ChildProcess process_;
};

// net-snmp's snmpd on address:port with read-write community "kestra" (and
// "public" read-only). sysContact, sysName and sysLocation stay writable.
class SnmpdAgent {
public:
    bool Start(const std::string& address, int port, const std::string& extraConfig = "");
    void Stop() { process_.Stop(); }
    std::string Log() const { return process_.Log(); }

private:
    TempDir dir_;
    ChildProcess process_;
};

} // namespace qavtest

// The raw ports of the simulated maker printers: a TCP port on each
// printer's own address, serial and USB printers on pseudo-terminals, and
// parallel printers on FIFOs (RawSettings.h has the fleet keys). Each port
// takes print data, the object commands of PrinterCommands.h and the
// downloads of Download.h.
//
// Everything runs on the simulator's thread: the simulator watches Fd() and
// calls Poll() whenever it is readable (ports and timers share it).
//
// A good MAIN, BOOT, C/G or font download restarts the printer: after its
// final reply has gone out, the printer stops answering (SNMP and the raw
// ports; the TCP port is closed and its connections dropped) for restart-ms,
// then reports the file's version for that kind, answers again and sends a
// coldStart trap to the fleet's trap receiver. A good HTML download changes
// the version without a restart. A printer that is down (the down command)
// takes nothing in on its raw ports and answers nothing.
//
// Control commands:
//   fault ADDRESS KIND [on=WHICH] [ms=N] [count=N]   reply faults (RawSettings.h)
//   restart-ms ADDRESS N                             the silence of a restart
//   ports ADDRESS                                    the printer's raw ports
//   downloads ADDRESS                                downloads, print data, the last outcome
// ADDRESS may be "all".
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Download.h"
#include "Printer.h"
#include "RawSettings.h"

namespace qavres {
class ObjectTable;
}

namespace qavsim {

class RawPorts {
public:
    // Sends a trap from printer `index` (0 0: coldStart).
    using TrapSender = std::function<void(size_t index, int generic, int specific)>;

    RawPorts(const qavres::ObjectTable& table, std::vector<Printer*> printers, TrapSender sendTrap);
    ~RawPorts();
    RawPorts(const RawPorts&) = delete;
    RawPorts& operator=(const RawPorts&) = delete;

    // Opens every configured port. False with a reason naming the printer
    // and the port.
    bool Start(std::string& error);
    int Fd() const { return epoll_; }
    void Poll();

    static bool IsCommand(const std::string& word);
    std::string Execute(const std::vector<std::string>& words);
    // "  raw 9100  com /dev/pts/4 ..." for the printer's line of the list.
    std::string Describe(size_t index) const;

private:
    struct Station;
    struct Endpoint;
    using Clock = std::chrono::steady_clock;

    bool OpenListener(Station& s, std::string& error);
    bool OpenDevice(Station& s, const std::string& what, const std::string& setting, std::string& error);
    uint64_t AddEndpoint(Station& s, int fd, int port);
    void CloseEndpoint(uint64_t id);
    void HandleEndpoint(uint64_t id, uint32_t events);
    void Accept(Station& s);
    void Received(Endpoint& ep, const unsigned char* data, size_t length);
    void Write(Endpoint& ep, const std::string& bytes);
    void WriteLater(uint64_t id, int ms, std::string bytes);
    void Flush(Endpoint& ep);

    // The fault for a reply of this kind, counted; kNone when none applies.
    FaultSetting::Kind TakeFault(Station& s, FaultSetting::On which);
    void Deliver(Endpoint& ep, const std::string& reply, FaultSetting::Kind fault);
    void OnObjectCommand(Endpoint& ep, const std::string& command);
    void OnDownloadReply(Endpoint& ep, int value);
    void OnDownloadDone(Endpoint& ep, const DownloadOutcome& outcome);
    void BeginRestart(size_t index, Trailer trailer);
    void EndRestart(size_t index, const Trailer& trailer);
    void ApplyVersion(Station& s, const Trailer& trailer);
    std::string ShortModel(size_t index) const;

    void Schedule(Clock::time_point when, std::function<void()> action);
    void ArmTimer();
    void RunTimers();

    const qavres::ObjectTable& table_;
    std::vector<std::unique_ptr<Station>> stations_;
    std::map<uint64_t, std::unique_ptr<Endpoint>> endpoints_;
    std::map<uint64_t, size_t> listeners_; // id -> station
    std::multimap<Clock::time_point, std::function<void()>> timers_;
    TrapSender sendTrap_;
    int epoll_ = -1;
    int timer_ = -1;
    uint64_t nextId_ = 1;
};

} // namespace qavsim

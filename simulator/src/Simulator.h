// The running simulator: one UDP socket per printer on its own loopback
// address, one thread that answers them all, traps sent from the printer's
// own address, and the command language that changes printers' states.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "Fleet.h"
#include "Printer.h"
#include "RawPorts.h"

namespace qavres {
class ObjectTable;
}

namespace qavsim {

class Simulator {
public:
    explicit Simulator(const qavres::ObjectTable& table) : table_(table) {}
    ~Simulator();

    // Builds the printers and binds their sockets on `port`. False with a
    // reason (a printer that cannot be built, an address in use, ...).
    bool Start(const Fleet& fleet, int port, std::string& error);

    // Answers requests until Stop() or until `seconds` passed (0: no limit).
    // Commands arrive from `controlPath` (a Unix socket, if given) and from
    // standard input when `readStdin` is set; each answer line goes back to
    // its sender.
    void Run(int seconds, const std::string& controlPath, bool readStdin);
    void Stop() { stop_ = true; }

    // Runs one command line and returns its answer ("ok ..." or "error: ...").
    // Commands:
    //   event ADDRESS STATUS [text1=..] [text2=..] [text3=..] [error=N] [value=N]
    //         sets the status (code or name, e.g. paper-jam) and sends its trap
    //   status ADDRESS STATUS          sets the status without a trap
    //   trap ADDRESS GENERIC SPECIFIC [..details as for event]   any trap
    //   set ADDRESS FIELD VALUE        name, location, manager, comment, serial,
    //                                  head, dhcp, dhcp-host, panel, rfid-ok,
    //                                  rfid-error, object.NUMBER[.INSTANCE]
    //   down ADDRESS | up ADDRESS      stop or resume answering
    //   writes ADDRESS [clear]         the writes the printer accepted, one
    //                                  "OBJECT VALUE" a line (or forget them)
    //   list                           one line per printer
    //   stats                          requests answered and traps sent
    //   quit
    //   fault, restart-ms, ports, downloads   the raw ports (RawPorts.h)
    // ADDRESS may be "all".
    std::string Execute(const std::string& line);

    size_t PrinterCount() const { return printers_.size(); }
    std::string Describe() const;
    unsigned long Answered() const { return answered_; }
    unsigned long TrapsSent() const { return trapsSent_; }

private:
    struct Served {
        Printer printer;
        int socket = -1;
    };
    Served* Find(const std::string& address);
    bool SendTrap(Served& s, int generic, int specific, const Printer::TrapDetails& details, std::string& error);
    void HandleDatagram(Served& s);
    // After a SET: a printer told to apply its system settings moves to the
    // own address written before (AddressMove.cpp).
    void FollowSettings(Served& s, const std::vector<Oid>& changed);
    // Ends the resets that are due: the printer answers again and sends
    // its coldStart trap. Returns the milliseconds to the next one (-1: none).
    int FinishResets();

    const qavres::ObjectTable& table_;
    std::vector<std::unique_ptr<Served>> printers_;
    std::unique_ptr<RawPorts> raw_;
    uint32_t trapAddress_ = 0x7F000001;
    int trapPort_ = 162;
    int port_ = 161;
    int epoll_ = -1;
    std::atomic<bool> stop_{false};
    unsigned long answered_ = 0;
    unsigned long trapsSent_ = 0;
    struct PendingReset {
        int64_t dueMs;
        Served* served;
    };
    std::vector<PendingReset> resets_;
};

} // namespace qavsim

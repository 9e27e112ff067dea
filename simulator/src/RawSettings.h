// How a maker printer of the simulator is reached besides SNMP, and the
// reply faults it shows on those ports. Fleet keys (per printer or as
// fleet-wide defaults):
//
//   raw-port = 9100          raw TCP port on the printer's own address (0: none)
//   com = auto | PATH        a serial printer on a pseudo-terminal: "auto" makes
//                            one and prints its path; a PATH that does not exist
//                            (or is a symbolic link) becomes a link to a new
//                            pseudo-terminal; an existing character device at
//                            PATH (one end of a socat pair) is served as it is
//   usb = auto | PATH        the same, standing for a USB printer device
//   lpt = PATH               a FIFO standing for a parallel port (write-only:
//                            the printer reads, its replies go nowhere)
//   restart-ms = 3000        how long the printer stays silent after a download
//                            that restarts it
//   capture = FILE           every byte the printer receives on these ports is
//                            appended to FILE (emptied at start)
//   fault = KIND [on=WHICH] [ms=N] [count=N]
//                            a reply fault (below)
//
// Reply faults. KIND is one of
//   none      replies as they are
//   split     the reply in two writes, the second ms later (default 300)
//   delay     the reply ms later (default 1000)
//   garbage   bytes of the reply's length that hold no frame
//   noise     a few noise bytes before the reply
//   silent    no reply
//   hangup    the connection is closed instead of the reply (TCP only; a
//             device port stays silent)
//   badseq    object replies carry the next sequence number
//   generr    every binding of an object reply has status 05
// WHICH picks the replies it touches: any (default), start (52), block (53),
// end (56 or a refusal), object (printer-command object access). count
// limits it to that many replies (default: every one until changed).
#pragma once

#include <string>
#include <vector>

namespace qavsim {

struct FaultSetting {
    enum Kind { kNone, kSplit, kDelay, kGarbage, kNoise, kSilent, kHangup, kBadSequence, kGenErr };
    enum On { kAny, kStart, kBlock, kEnd, kObject };
    Kind kind = kNone;
    On on = kAny;
    int ms = -1;    // -1: the kind's default
    int count = -1; // -1: every reply
};

struct RawSettings {
    int tcpPort = 9100;
    std::string com; // "", "auto" or a path
    std::string usb;
    std::string lpt;
    int restartMs = 3000;
    std::string capture;
    FaultSetting fault;
};

// Whether the fleet key belongs to these settings.
bool IsRawKey(const std::string& key);
bool ApplyRawKey(RawSettings& settings, const std::string& key, const std::string& value, std::string& error);

// KIND [on=WHICH] [ms=N] [count=N] from words[from] on.
bool ParseFault(const std::vector<std::string>& words, size_t from, FaultSetting& fault, std::string& error);
std::string FaultText(const FaultSetting& fault);

} // namespace qavsim

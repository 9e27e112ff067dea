// The UDP ports of SNMP: printers' agents listen on 161 and the trap
// receiver on 162. Tests and users who may not bind ports below 1024 move
// them with the environment variables QAV_SNMP_PORT and QAV_TRAP_PORT; a
// value that is not a whole number from 1 to 65535 is ignored.
//
// This is the one place that reads them. Every program asks here, so the
// communication library, the settings dialogs, the monitor and the printer
// simulator always agree on the ports.
#pragma once

#include <string>

namespace qavplatform {

int SnmpAgentPort(); // QAV_SNMP_PORT, else 161
int TrapPort();      // QAV_TRAP_PORT, else 162

enum class TrapPortState {
    kFree,        // nothing receives there: a receiver can start
    kThisProcess, // this process itself receives there already
    kUnavailable, // another program holds it, or binding is not allowed
};

// Whether trap reception can start on the UDP port: a socket is bound to it
// on every address for a moment. When the port is in use, the sockets of
// this process are looked at (/proc/net/udp and /proc/self/fd), so that a
// receiver of our own is told apart from someone else's. `why` receives the
// reason when the port is unavailable ("UDP port 162: Permission denied").
TrapPortState CheckTrapPort(int port, std::string* why = nullptr);

} // namespace qavplatform

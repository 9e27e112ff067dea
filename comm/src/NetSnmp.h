// Private to the communication library: the net-snmp engine behind it.
// No other part of the system includes net-snmp.
#pragma once

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <mutex>
#include <string>

// A received SNMP message as the library's exported functions see it.
struct QBPPdu {
    netsnmp_pdu* pdu = nullptr;
};

namespace ncomm {

// Prepares net-snmp once per process: no configuration files, no MIB
// files, no persistent state, no logging to the terminal.
void EnsureNetSnmp();

// net-snmp is built without its own locking; opening and closing sessions
// and creating messages touch its shared counters and run under this lock.
// The exchange itself runs outside it.
std::mutex& NetSnmpLock();

// Dotted decimal text to an OID. False for an empty text, a non-numeric arc,
// an arc above 2^32-1, fewer than two arcs or more than MAX_OID_LEN arcs.
bool ParseOid(const char* text, oid* out, size_t* length);
std::string OidToText(const oid* name, size_t length);

} // namespace ncomm

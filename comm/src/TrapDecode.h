// Private to the communication library: a received trap or inform taken
// apart into what the trap callbacks are given.
#pragma once

#include <string>

#include "NetSnmp.h"

namespace ncomm {

struct TrapMessage {
    std::string sender;     // "a.b.c.d"; empty when the message says nothing of it
    std::string trapOid;    // notification OID, dotted
    std::string enterprise; // dotted, or empty; at most 255 characters
    // A message whose bindings are the trap's own, followed by the
    // enterprise binding when there is an enterprise. Owned: free with
    // snmp_free_pdu.
    netsnmp_pdu* bindings = nullptr;
};

// Brings a received version-1 trap, version-2c trap or inform into one form.
// False (and nothing to free) for a version-2c message that does not lead
// with snmpTrapOID.0 (after an optional sysUpTime.0).
bool DecodeTrap(const netsnmp_pdu* pdu, TrapMessage& out);

// The generic and specific codes of a notification OID.
void ClassifyTrap(const std::string& trapOid, int& generic, int& specific);

} // namespace ncomm

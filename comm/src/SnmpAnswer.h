// Private to the communication library: received SNMP messages. Taking a
// datagram apart, checking that an answer fits the request it answers, and
// turning its bindings into a binding list.
#pragma once

#include <cstddef>
#include <vector>

#include "NetSnmp.h"

namespace ncomm {

// Decodes one SNMP version 1 or 2c datagram as the receiving sessions do.
// Null for anything that is not such a message; free with snmp_free_pdu.
netsnmp_pdu* DecodeMessage(const unsigned char* data, size_t length);

using OidArcs = std::vector<oid>;

// The OIDs of a message's bindings, in order.
std::vector<OidArcs> BindingNames(const netsnmp_pdu* pdu);

// Whether an answer is the answer to a request of the given type (a PDU
// tag, ber::kGetRequest ...) whose bindings were `sent`. 0 when it is;
// otherwise the request has failed, with:
//   -1 ... -18  an SNMP error status 1 ... 18 whose error index names no
//               binding of the answer (0, or past the last binding): the
//               error concerns the request as a whole;
//   -111        (QBP_SNMP_INVALID_PDU) an answer that does not fit the
//               request: an error status outside 1 ... 18, more bindings
//               than were asked for, or, without an error status, a binding
//               that names another object than the request's binding at
//               its place (GET, SET: neither the requested OID nor one
//               below it, the instance a lenient agent answers for an
//               object named without instance), or, for GET-NEXT, an object
//               that does not follow the requested one.
// An error status with an index that names a binding is no failure here:
// the answer is taken, and the bindings carry the status (CopyPduToVb).
int CheckAnswer(int requestType, const std::vector<OidArcs>& sent, const netsnmp_pdu* answer);

} // namespace ncomm

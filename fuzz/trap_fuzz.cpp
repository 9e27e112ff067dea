// Fuzz target of the trap decoding: a datagram as it reaches the trap
// receiver is decoded, and a trap, version-2c trap or inform taken apart
// and classified as the receiver does before it calls the trap callback.
// For any input:
// - nothing crashes or reads out of bounds;
// - the enterprise text is dotted decimal of at most 255 characters;
// - the codes are generic 0..5 with specific 0, generic 6 with a specific
//   other than 99, or generic 7 with specific 99;
// - the binding list holds at most 20 bindings.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "SnmpAnswer.h"
#include "TrapDecode.h"
#include "ncomm/CQBPTrans.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    netsnmp_pdu* pdu = ncomm::DecodeMessage(data, size);
    if (!pdu) return 0;
    if (pdu->command == SNMP_MSG_TRAP || pdu->command == SNMP_MSG_TRAP2 || pdu->command == SNMP_MSG_INFORM) {
        ncomm::TrapMessage trap;
        if (ncomm::DecodeTrap(pdu, trap)) {
            Require(trap.enterprise.size() <= 255);
            Require(trap.enterprise.find_first_not_of("0123456789.") == std::string::npos);
            int generic = -1, specific = -1;
            ncomm::ClassifyTrap(trap.trapOid, generic, specific);
            Require(generic >= 0 && generic <= 7);
            if (generic <= 5) Require(specific == 0);
            Require((generic == 7) == (specific == 99));
            CQBPVb list;
            CopyPduToVb(list, QBPPdu{trap.bindings}, trap.enterprise.empty() ? 0 : 1);
            Require(list.GetSize() <= CQBPVb::kMaxBindings);
            snmp_free_pdu(trap.bindings);
        }
    }
    snmp_free_pdu(pdu);
    return 0;
}

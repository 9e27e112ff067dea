// Object access by printer command: the GOID and SOID commands of the
// printer command language, answered from the same object store and with
// the same checks as the SNMP agent.
//
//   command  "{GOID;" or "{SOID;", 3-digit sequence number, per binding
//            3-digit OID length, OID, 2-digit status, 3-digit type, 3-digit
//            value length, value; "|}" at the end
//   reply    SOH STX 'E', the command's sequence number, per binding
//            3-digit OID length, OID, 2-digit status, 3-digit type, 3-digit
//            value length, value; ETX EOT CR LF at the end
//
// Each binding is answered on its own, as an SNMPv1 request of that one
// binding would be: a status of 02 (no such name) for an object the printer
// does not have or may not write, 03 (bad value) for a SET of another type;
// a refused binding carries type 005 and no value. Values longer than 255
// bytes are cut to 255.
#pragma once

#include <string>

#include "Mib.h"

namespace qavsim {

// The length of the complete object command at the start of `text`: > 0
// when complete, 0 when more bytes are needed, -1 when it is not a
// well-formed command.
int ObjectCommandLength(const std::string& text);

struct ObjectReplyOptions {
    int sequenceOffset = 0; // added to the command's sequence number
    bool genErr = false;    // every binding refused with status 05
};

// Runs one complete command (as ObjectCommandLength measured it) and
// returns the reply frame.
std::string AnswerObjectCommand(Mib& mib, const AgentPolicy& policy, const std::string& command,
                                const ObjectReplyOptions& options = {});

// The value as the printer command language writes it: decimal numbers,
// dotted OIDs and addresses, text as it stands.
std::string ValueText(const Value& value);

} // namespace qavsim

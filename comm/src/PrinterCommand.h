// The printer-command form of object access (private to the library).
#pragma once

#include <string>

#include "ncomm/CQBPVb.h"

namespace ncomm {

// The command for a GET (0xA0) or SET (0xA3) of the request list.
std::string CreateQPCLCommand(int requestType, const CQBPVb& request, int sequence);

// Turns a reply into the result list: 0, or -132 for a reply that is too
// short, badly framed, of another sequence number, malformed or of an
// unknown type (records read before that stay in the list).
int ConvQPCLtoVb(const unsigned char* reply, int length, int sequence, CQBPVb& result);

} // namespace ncomm

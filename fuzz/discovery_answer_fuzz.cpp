// Fuzz target of the discovery's answer check. The input's first seven
// bytes are the sender (address, port) and the search (agents' port, range
// or broadcast); the rest is the datagram. For any input:
// - nothing crashes or reads out of bounds;
// - an answer counts only from the agents' port and, in a range search,
//   from an address of the range;
// - a datagram taken as an answer is one that net-snmp's own BER reader
//   walks to the same fields: an SNMP version 1 message with community
//   "kestra", a GetResponse with request id 1 and error status 0, and one
//   or more bindings, each an OID and a value (whose content the discovery
//   does not look at, so neither does this check).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/snmp_impl.h>

#include "DiscoveryAnswer.h"
#include "FuzzCheck.h"

namespace {

// net-snmp's walk over the message; true when it reaches every field of
// an answer to the discovery request.
bool NetSnmpReadsAnAnswer(const unsigned char* datagram, size_t size)
{
    std::vector<u_char> copy(datagram, datagram + size);
    size_t length = copy.size();
    u_char community[256];
    size_t communityLength = sizeof community;
    long version = -1;
    u_char* p = snmp_comstr_parse(copy.data(), &length, community, &communityLength, &version);
    if (!p || version != SNMP_VERSION_1 || communityLength != 6 || std::memcmp(community, "kestra", 6) != 0) return false;
    u_char type = 0;
    p = asn_parse_header(p, &length, &type);
    if (!p || type != SNMP_MSG_RESPONSE) return false;
    long requestId = 0, errorStatus = -1, errorIndex = 0;
    p = asn_parse_int(p, &length, &type, &requestId, sizeof requestId);
    if (p) p = asn_parse_int(p, &length, &type, &errorStatus, sizeof errorStatus);
    if (p) p = asn_parse_int(p, &length, &type, &errorIndex, sizeof errorIndex);
    if (!p || requestId != 1 || errorStatus != 0) return false;
    p = asn_parse_sequence(p, &length, &type, ASN_SEQUENCE | ASN_CONSTRUCTOR, "varbinds");
    if (!p) return false;
    int bindings = 0;
    while (static_cast<long>(length) > 0) {
        oid name[MAX_OID_LEN];
        size_t nameLength = MAX_OID_LEN;
        u_char valueType = 0;
        size_t valueLength = 0;
        u_char* value = nullptr;
        p = snmp_parse_var_op(p, name, &nameLength, &valueType, &valueLength, &value, &length);
        if (!p) return false;
        ++bindings;
    }
    return bindings > 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 7) return 0;
    const uint32_t sender = 0x7F000000u | (uint32_t{data[0]} << 8) | data[1];
    const int senderPort = (data[2] << 8) | data[3];
    const int agentPort = (data[4] & 1) ? 161 : senderPort;
    const bool rangeSearch = data[4] & 2;
    const std::vector<uint32_t> range = {0x7F000000u | (uint32_t{data[5]} << 8),
                                         0x7F000000u | (uint32_t{data[6]} << 8) | 0xFF};
    const unsigned char* datagram = data + 7;
    const int length = static_cast<int>(size - 7);

    const bool answer = ncomm::IsDiscoveryAnswer(datagram, length);
    const bool accepted =
        ncomm::AcceptDiscoveryAnswer(datagram, length, sender, senderPort, agentPort, rangeSearch ? &range : nullptr);
    const bool inRange = sender >= range[0] && sender <= range[1];
    Require(accepted == (answer && senderPort == agentPort && (!rangeSearch || inRange)));
    if (answer) {
        Require(length >= 30 && length <= 512 && datagram[0] == 0x30);
        Require(NetSnmpReadsAnAnswer(datagram, static_cast<size_t>(length)));
    }
    return 0;
}

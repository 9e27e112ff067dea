// Private to the communication library: which datagrams a discovery counts
// as answers.
#pragma once

#include <cstdint>
#include <vector>

namespace ncomm {

// The fields of the discovery request that an answer must repeat.
inline constexpr int kDiscoveryRequestId = 1;
inline constexpr char kDiscoveryCommunity[] = "kestra";

// Whether a datagram is an error-free answer to the discovery request: 30
// to 512 bytes holding exactly one well-formed SNMP version 1 message (every
// length in short or long form and inside its parent, nothing after it)
// with community "kestra", a GetResponse with request id 1, error status 0
// and at least one binding (a well-formed OID and a value). The binding's
// value is not looked at beyond its tag and length: any agent that answers
// without an SNMP error is a printer candidate.
bool IsDiscoveryAnswer(const unsigned char* data, int length);

// Whether an address (host order) lies in one of the ranges, given as pairs
// (first, last) of host-order addresses; a pair whose first is above its
// last holds nothing.
bool InRanges(uint32_t address, const std::vector<uint32_t>& ranges);

// The whole check of a datagram received by a search: an answer to the
// request (above) that comes from the agents' port and, for a range search
// (`ranges` not null), from an address of the ranges.
bool AcceptDiscoveryAnswer(const unsigned char* data, int length, uint32_t sender, int senderPort, int agentPort,
                           const std::vector<uint32_t>* ranges);

} // namespace ncomm

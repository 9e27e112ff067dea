// Received OCTET STRING values as text.
#pragma once

#include <cstddef>
#include <string>

namespace ncomm {

// The text form of a received octet string:
//  1. all octets printable: the octets themselves;
//  2. otherwise the first 256 octets up to the first zero byte, when that
//     zero byte (if any) is the last octet;
//  3. otherwise (an earlier zero byte, or more than 257 octets) the hex
//     dump: every octet as two upper-case hex digits, separated by single
//     spaces ("41 00 42").
std::string OctetText(const unsigned char* data, size_t length);
std::string HexDump(const unsigned char* data, size_t length);

} // namespace ncomm

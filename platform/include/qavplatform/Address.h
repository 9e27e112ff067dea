// IPv4 addresses in the two forms the tool set stores them: dotted text
// ("192.168.10.5", in files, command lines and windows) and a 32-bit number
// with the first octet in the most significant byte (device records, group
// members, the status monitor's command line). Discovery results carry a
// third form, network byte order; they convert with ntohl/htonl.
//
// This is the one place that writes and reads dotted text. Parsing is
// strict: exactly four decimal fields of one to three digits, each 0..255,
// and nothing before, between or after them (no spaces, signs or hex).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qavplatform {

// "a.b.c.d" of the number.
std::string AddressText(uint32_t address);

// True and the number when the text is a dotted address; false (and
// `address` untouched) otherwise.
bool ParseAddress(std::string_view text, uint32_t& address);

// "%03d_%03d_%03d_%03d": the per-printer suffix of lock names
// (192.168.10.5 gives "192_168_010_005").
std::string AddressLockSuffix(uint32_t address);

} // namespace qavplatform

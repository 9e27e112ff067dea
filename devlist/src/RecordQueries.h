// The reads of the list window's refresh (and of a printer added by hand):
// the reachability check and the re-read of a record with the maker's or
// the standard object set. Each read opens an SNMP session, uses it once
// and closes it; the communities are read from the settings by the caller,
// once for many reads.
#pragma once

#include <cstdint>

#include "PrinterQueries.h"
#include "nlist/ListData.h"

namespace nlist {

// A get-next of object 121 answered with an integer.
bool CheckReachable(uint32_t address, const Communities& communities);

// Re-reads the record (one get-next of the 15 objects of the maker's set).
// Fields filled from the answers replace the record's; renewalTime becomes
// the current time when one of them differs from what the record held.
// kind 1 and isBCP 1 on success; kind -1 (status 6, error 512) on failure.
// Returns 1 or 0.
int ReadMakerRecord(ListData& record, const Communities& communities);
// The same with the standard printer objects; kind 0, dhcpEnable -1.
int ReadStandardRecord(ListData& record, const Communities& communities);

// Marks a record that failed the reachability check: kind -1, status 6,
// error 512, DHCP unknown, no RFID counts. Its identity (name, model,
// location, manager, comment, serial, DHCP host name) is kept.
void MarkUnreachable(ListData& record);

} // namespace nlist

// Printer recordings in snmpsim's format ("OID|TAG|VALUE" per line, a TAG
// ending in x for hex values), served as a standard printer.
#pragma once

#include <string>

#include "Mib.h"

namespace qavsim {

// Fills the store from the recording. sysContact, sysName, sysLocation and
// values recorded with a write-cache variation stay writable.
bool LoadRecording(const std::string& path, Mib& mib, std::string& error);

} // namespace qavsim

// The system parameters of a simulated maker printer: writable objects
// with the ranges the printer's firmware accepts (a SET outside them
// answers badValue), and the printer's own address, which the printer
// takes as its new address when it is told to apply its system settings.
#pragma once

#include <string>

#include "Mib.h"

namespace qavres {
class ObjectTable;
}

namespace qavsim {

struct PrinterEntry;

namespace obj {
constexpr int kOwnAddress = 22701;   // IPAddress
constexpr int kControl = 20841;      // "2" applies the system settings
constexpr int kApplySystemSettings = 2;
} // namespace obj

// Adds every parameter at instance 0, with its initial value and range.
// The own address starts as the printer's address; any value may follow
// (the fleet file's objects, the printer's description) and keeps the range.
void InstallParameters(Mib& mib, const qavres::ObjectTable& table, const PrinterEntry& entry);

// The OID of a maker object at instance 0 (empty when not in the table).
Oid ParameterOid(const qavres::ObjectTable& table, int object);

} // namespace qavsim

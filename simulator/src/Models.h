// What the maker's printer models answer beyond the fleet's keys: the
// model text and short model name, firmware and option information,
// counters, memory sizes and setting values, as the status monitor's views
// read them, plus the network interface of every printer. A fleet's
// object.NUMBER keys still override each of them.
#pragma once

#include <map>
#include <string>

#include "Printer.h"

namespace qavsim {

// The model without the maker's "QAV " ("QAV M-UH5W" gives "M-UH5W").
std::string ShortModel(const std::string& model);
// The model text of sysDescr: "VORANTA QAV " and the short model.
std::string ModelText(const std::string& model);

// Object number -> value text for the printer; the MAC address (object 441)
// is six raw octets.
std::map<int, std::string> ModelObjects(const PrinterEntry& entry);

// A fleet of one printer of each model the status monitor knows by name,
// from `first` on (the counting run's addresses).
std::string ModelsFleetText(const std::string& first);

} // namespace qavsim

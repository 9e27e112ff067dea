// What the window and qavctl's load command do alike before a run: load the
// tool's texts in the installation's language, take the communities of the
// management settings, and read the information of the network printers.
#pragma once

#include <string>
#include <vector>

#include "nload/Information.h"
#include "nload/Link.h"
#include "nload/Printer.h"

namespace qavres {
class StringTable;
}

namespace nload {

// Loads "QDLRSJPN" when QAVMgmtConfig.INI's Resource/Language is "JPN",
// else "QDLRSENG". False, with the reason, when it cannot be loaded.
bool LoadTexts(qavres::StringTable& texts, std::string* error = nullptr);

// The read and write communities of QAVMgmtConfig.INI (empty: the
// library's own).
Communities ReadCommunities();

// Reads the information of every network printer of the list, up to
// `parallel` at once. Each printer's result says how its read went.
void ReadTargetInfo(Environment& env, std::vector<PrinterInfo>& printers, int parallel = 1);

} // namespace nload

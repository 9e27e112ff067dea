// The fleet file: which printers the simulator serves and how they look.
// simulator/sample.fleet (installed as share/qav/sample.fleet) shows and
// explains every section and key; the simulator's tests load it, so it stays
// in step with this parser. In short: fleet-wide keys (trap-to, and defaults
// for every printer) come first, then [printer] sections (one printer at
// `address`) and [printers] sections (a run of `count` alike printers from
// `first`, with %n, %0Nn and %a in values). Every address must be a loopback
// address (127.0.0.0/8).
#pragma once

#include <string>
#include <vector>

#include "Printer.h"

namespace qavsim {

struct Fleet {
    std::vector<PrinterEntry> printers;
    uint32_t trapAddress = 0x7F000001; // 127.0.0.1
    int trapPort = 0;                  // 0: QAV_TRAP_PORT or 162
};

// Parses fleet text. `baseDir` resolves relative recording paths; after it
// `recordingDir` is tried.
bool ParseFleet(const std::string& text, const std::string& baseDir, const std::string& recordingDir, Fleet& fleet,
                std::string& error);
bool LoadFleetFile(const std::string& path, const std::string& recordingDir, Fleet& fleet, std::string& error);

// The fleet that runs when no fleet file is given.
std::string DemoFleetText();

bool IsLoopback(uint32_t hostOrder);

} // namespace qavsim

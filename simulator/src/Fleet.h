// The fleet file: which printers the simulator serves and how they look.
//
//   # fleet-wide settings and defaults for every printer
//   trap-to = 127.0.0.1:162
//   model = QAV M-UG2
//
//   [printer]                 one printer
//   address = 127.0.0.11
//   name = Shipping labeller
//
//   [printers]                a run of alike printers
//   first = 127.0.1.1
//   count = 500
//   name = Labeller %n        %n the number in the run, %05n zero-padded, %a the address
//
// Printer keys: address, kind (maker | standard), recording (an snmprec
// file: a standard printer answering what the recording holds), model, name,
// location, contact, serial, manager, comment, firmware, panel, status (a
// status code or its name, e.g. paper-jam), head, dhcp, dhcp-host, rfid-ok,
// rfid-error, labels, community, write-community, trap-version (1 or 2c),
// reset-ms (how long a reset keeps the printer silent, default 3000),
// lenient-get (1: a GET of an object without instance is answered with its
// first instance; 0, the default: a GET needs the instance, as real agents
// want it), object.NUMBER[.INSTANCE] = value (any object of the object table).
// Maker printers also take the raw-port keys of RawSettings.h: raw-port
// (default 9100), com, usb, lpt (device ports on pseudo-terminals and
// FIFOs; in a [printers] run give each its own path with %n), restart-ms,
// capture and fault. Download versions are objects: object.20121 (MAIN),
// 20181 (BOOT), 20241 (C/G), 20301 (KANJI1), 20361 (KANJI2, KANJI,
// CHINESE), 26581 (HTML).
// Every address must be a loopback address (127.0.0.0/8).
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

// Choosing the target printers and checking them against the file before a
// run: the selection dialog's rules, the boot and version checks of the
// main window's OK, and the ports a printer can be added on.
#pragma once

#include <string>
#include <vector>

#include "nload/Printer.h"
#include "nload/Trailer.h"

namespace nload {

// The selection dialog's OK over the checked printers: 0 when they may
// become the target list, else the warning to show: 4420 when none is
// checked, 4421 when their model texts are not all the same.
int SelectionRefusal(const std::vector<PrinterInfo>& checked);

// What the main window must do before a run.
struct StartCheck {
    std::vector<size_t> bootMisfits;   // a BOOT file that does not fit these printers: error 5012, no run
    std::vector<size_t> newerPrinters; // the file is older than these printers' versions: ask 5010
    std::vector<size_t> busyPrinters;  // these cannot take a download now: ask 5011 for each
};
// Checks a file against the target printers (in that order of importance).
StartCheck CheckStart(const FileInfo& file, const std::vector<PrinterInfo>& printers);

// A port a printer can be added on by hand.
struct PortChoice {
    std::string text;        // "LAN", "COM1", "LPT1", or a USB printer's model text
    PortKind kind = PortKind::kNetwork;
    int number = 0;          // COM or LPT number
    std::string usbPath;
};

// "LAN" first, then the serial ports, the parallel ports and the maker's
// USB printers of this machine.
std::vector<PortChoice> AvailablePorts();

// Serial ports COMn whose device exists ($QAV_COM_DEVICE_PREFIX, default
// /dev/ttyS, followed by n-1; a /dev/ttyS device counts only when a UART
// stands behind it).
std::vector<int> SerialPortNumbers();
// Parallel ports LPTn (n 1..9) whose device exists ($QAV_LPT_DEVICE_PREFIX,
// default /dev/lp, followed by n-1).
std::vector<int> ParallelPortNumbers();

} // namespace nload

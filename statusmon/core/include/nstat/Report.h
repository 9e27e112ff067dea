// One printer's whole status at once, as the device status page would show
// it with every view: what `qavctl status` prints.
#pragma once

#include <vector>

#include "nstat/Printer.h"

namespace nstat {

struct StatusReport {
    bool answered = false; // the printer answered the reads
    bool maker = false;
    DevicePage page;                // the page without a selected view
    std::vector<ViewContent> views; // every view the selector offers, in order
};

// The maker check, the device status page and every view.
StatusReport ReadStatusReport(Printer& printer);

} // namespace nstat

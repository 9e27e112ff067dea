#include "nstat/Report.h"

namespace nstat {

StatusReport ReadStatusReport(Printer& printer)
{
    StatusReport report;
    printer.ReadMakerFlag();
    report.page = printer.ReadDevicePage(-1);
    report.answered = printer.State().connected;
    report.maker = printer.State().maker;
    if (!report.answered) return report;
    for (size_t i = 0; i < report.page.views.size(); ++i) report.views.push_back(printer.ReadView(static_cast<int>(i)));
    return report;
}

} // namespace nstat

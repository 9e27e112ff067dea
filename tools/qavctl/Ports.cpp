#include "Ports.h"

#include <cstdio>

#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"
#include "nload/Printer.h"

namespace qavctl {

bool CheckPortAddress(std::string& port, std::string& address, std::string& error)
{
    nload::PrinterInfo printer;
    if (!nload::ParsePortAndAddress(port, address == "-" ? std::string() : address, printer, &error)) return false;
    switch (printer.kind) {
    case nload::PortKind::kNetwork:
        port = "SNMP";
        address = printer.address;
        break;
    case nload::PortKind::kTcpIp:
    case nload::PortKind::kSerial:
    case nload::PortKind::kUsb:
    case nload::PortKind::kParallel:
        port = printer.DownloadPortName();
        address = printer.DownloadAddress();
        break;
    }
    return true;
}

std::string PortText(const std::string& port, const std::string& address)
{
    return address.empty() ? port : port + " " + address;
}

bool OpenPort(CQBPTrans& session, const std::string& port, const std::string& address)
{
    const int rc = session.Open(port, address);
    if (rc == QBP_OK) return true;
    const int error = QBPGetLastError();
    if (error > 0) {
        std::fprintf(stderr, "qavctl: %s: error %d: %s (system error %d)\n", PortText(port, address).c_str(), rc,
                     QBPResultText(rc), error);
    } else {
        std::fprintf(stderr, "qavctl: %s: error %d: %s\n", PortText(port, address).c_str(), rc, QBPResultText(rc));
    }
    return false;
}

} // namespace qavctl

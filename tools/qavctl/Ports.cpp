#include "Ports.h"

#include <cstdio>
#include <cstdlib>

#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"
#include "qavplatform/Address.h"

namespace qavctl {

namespace {

// "COM" or "LPT" followed by a number.
bool NumberedPort(const std::string& port, const char* prefix)
{
    return port.rfind(prefix, 0) == 0 && port.size() > 3 && port.find_first_not_of("0123456789", 3) == std::string::npos;
}

} // namespace

bool CheckPortAddress(const std::string& port, std::string& address, std::string& error)
{
    uint32_t ip = 0;
    if (port != "SNMP" && port != "TCP/IP" && port != "USB" && !NumberedPort(port, "COM") && !NumberedPort(port, "LPT")) {
        error = "unknown port '" + port + "' (SNMP, TCP/IP, COMn, LPTn or USB)";
        return false;
    }
    if (port == "SNMP") {
        if (!qavplatform::ParseAddress(address, ip)) {
            error = "bad address '" + address + "': a dotted IPv4 address is expected";
            return false;
        }
    } else if (port == "TCP/IP") {
        const size_t colon = address.find(':');
        const std::string portText = colon == std::string::npos ? std::string() : address.substr(colon + 1);
        char* end = nullptr;
        const long number = std::strtol(portText.c_str(), &end, 10);
        if (colon == std::string::npos || !qavplatform::ParseAddress(address.substr(0, colon), ip) ||
            portText.empty() || *end || number < 1 || number > 65535) {
            error = "bad address '" + address + "' for TCP/IP: HOST:PORT with a dotted IPv4 host is expected";
            return false;
        }
    } else if (NumberedPort(port, "LPT")) {
        if (address == "-") address.clear();
        if (!address.empty()) {
            error = "a parallel port takes no address (give - or \"\")";
            return false;
        }
    } else if (port == "USB" && address.empty()) {
        error = "the USB port needs the device path as its address";
        return false;
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

std::string Printable(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", c);
            out += esc;
        }
    }
    return out;
}

} // namespace qavctl

#include "nload/Printer.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sys/stat.h>

#include "qavplatform/Address.h"

namespace nload {

namespace {

std::string Upper(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// The number after a three-letter port word ("COM12" -> 12), -1 when the
// rest is not a plain decimal number.
int PortNumber(const std::string& upperWord)
{
    if (upperWord.size() < 4 || upperWord.size() > 6) return -1;
    int n = 0;
    for (size_t i = 3; i < upperWord.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(upperWord[i]))) return -1;
        n = n * 10 + (upperWord[i] - '0');
    }
    return n;
}

bool Fail(std::string* error, const std::string& text)
{
    if (error) *error = text;
    return false;
}

bool ValidAddress(const std::string& text)
{
    uint32_t a = 0;
    return qavplatform::ParseAddress(text, a);
}

// "a.b.c.d:port" (the port 1..65535).
bool ParseHostPort(const std::string& text, std::string& host, int& port)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    host = text.substr(0, colon);
    const std::string digits = text.substr(colon + 1);
    if (!ValidAddress(host) || digits.empty() || digits.size() > 5) return false;
    port = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        port = port * 10 + (c - '0');
    }
    return port >= 1 && port <= 65535;
}

bool IsRegularFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

std::string PrinterInfo::DownloadPortName() const
{
    switch (kind) {
    case PortKind::kSerial: return "COM" + std::to_string(comNumber);
    case PortKind::kUsb: return "USB";
    case PortKind::kParallel: return "LPT" + std::to_string(lptNumber);
    case PortKind::kNetwork:
    case PortKind::kTcpIp: break;
    }
    return "TCP/IP";
}

std::string PrinterInfo::DownloadAddress() const
{
    switch (kind) {
    case PortKind::kSerial: {
        char text[64];
        std::snprintf(text, sizeof text, "%d,%d,%c,%d", baud, dataBits, parity, stopBits);
        return text;
    }
    case PortKind::kUsb: return usbPath;
    case PortKind::kParallel: return {};
    case PortKind::kNetwork:
    case PortKind::kTcpIp: break;
    }
    return address + ":" + std::to_string(rawPort);
}

std::string PrinterInfo::PortText() const
{
    switch (kind) {
    case PortKind::kNetwork: return "SNMP";
    case PortKind::kTcpIp: return "TCP/IP";
    case PortKind::kSerial: return "COM" + std::to_string(comNumber);
    case PortKind::kUsb: return "USB";
    case PortKind::kParallel: return "LPT" + std::to_string(lptNumber);
    }
    return {};
}

std::string PrinterInfo::WhereText() const
{
    switch (kind) {
    case PortKind::kNetwork: return address;
    case PortKind::kTcpIp: return address + ":" + std::to_string(rawPort);
    case PortKind::kSerial: return DownloadAddress();
    case PortKind::kUsb: return usbPath;
    case PortKind::kParallel: return {};
    }
    return {};
}

std::string PrinterInfo::DisplayName() const
{
    if (!name.empty()) return name;
    const std::string where = WhereText();
    return "QAV BARCODE PRINTER " + PortText() + (where.empty() ? "" : " " + where);
}

bool PrinterInfo::SameTarget(const PrinterInfo& o) const
{
    return kind == o.kind && DownloadPortName() == o.DownloadPortName() && WhereText() == o.WhereText();
}

PrinterInfo NetworkPrinter(const std::string& address, int rawPort)
{
    PrinterInfo p;
    p.kind = PortKind::kNetwork;
    p.address = address;
    p.rawPort = rawPort;
    return p;
}

PrinterInfo TcpIpPrinter(const std::string& address, int port)
{
    PrinterInfo p;
    p.kind = PortKind::kTcpIp;
    p.address = address;
    p.rawPort = port;
    return p;
}

PrinterInfo SerialPrinter(int comNumber, int baud, int dataBits, char parity, int stopBits, bool blockTransfer)
{
    PrinterInfo p;
    p.kind = PortKind::kSerial;
    p.comNumber = comNumber;
    p.baud = baud;
    p.dataBits = dataBits;
    p.parity = parity;
    p.stopBits = stopBits;
    p.blockTransfer = blockTransfer;
    return p;
}

PrinterInfo UsbPrinter(const std::string& path, const std::string& usbName)
{
    PrinterInfo p;
    p.kind = PortKind::kUsb;
    p.usbPath = path;
    p.usbName = usbName;
    p.blockTransfer = usbName.find("MC111") != std::string::npos || usbName.find("MD111") != std::string::npos;
    return p;
}

PrinterInfo ParallelPrinter(int lptNumber)
{
    PrinterInfo p;
    p.kind = PortKind::kParallel;
    p.lptNumber = lptNumber;
    return p;
}

bool ParsePortAndAddress(const std::string& portWord, const std::string& rawAddress, PrinterInfo& printer,
                         std::string* error)
{
    const std::string word = Upper(portWord);
    const std::string address = Trim(rawAddress);
    if (word == "SNMP") {
        if (!ValidAddress(address)) return Fail(error, "SNMP needs a dotted IPv4 address, not \"" + address + "\"");
        printer = NetworkPrinter(address);
        return true;
    }
    if (word == "TCP/IP") {
        std::string host;
        int port = 0;
        if (!ParseHostPort(address, host, port))
            return Fail(error, "TCP/IP needs an address and a port (a.b.c.d:port), not \"" + address + "\"");
        printer = TcpIpPrinter(host, port);
        return true;
    }
    if (word == "USB") {
        if (address.empty()) return Fail(error, "USB needs the printer's device path");
        printer = UsbPrinter(address);
        return true;
    }
    if (word.compare(0, 3, "COM") == 0) {
        const int n = PortNumber(word);
        if (n < 1 || n > 256) return Fail(error, "no serial port " + portWord);
        int baud = 0, bits = 0, stop = 0, used = 0;
        char parity = 0;
        // The whole command line is taken in capitals: "9600,8,n,1" is no parity.
        const std::string line = Upper(address);
        if (std::sscanf(line.c_str(), "%d,%d,%c,%d%n", &baud, &bits, &parity, &stop, &used) != 4 ||
            static_cast<size_t>(used) != address.size())
            return Fail(error, portWord + " needs the line parameters baud,bits,parity,stop, not \"" + address + "\"");
        printer = SerialPrinter(n, baud, bits, parity, stop, false);
        return true;
    }
    if (word.compare(0, 3, "LPT") == 0) {
        const int n = PortNumber(word);
        if (n < 1 || n > 9) return Fail(error, "no parallel port " + portWord);
        if (!address.empty()) return Fail(error, portWord + " takes no address, not \"" + address + "\"");
        printer = ParallelPrinter(n);
        return true;
    }
    return Fail(error, "unknown port \"" + portWord + "\" (SNMP, TCP/IP, USB, COMn or LPTn)");
}

bool ReadListFile(const std::string& path, std::vector<PrinterInfo>& printers, std::string* error)
{
    std::ifstream in(path);
    if (!in) return Fail(error, path + ": cannot be read");
    std::vector<PrinterInfo> read;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        line = Trim(line);
        if (line.empty()) continue;
        const size_t blank = line.find_first_of(" \t");
        const std::string word = line.substr(0, blank);
        const std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        PrinterInfo p;
        std::string why;
        if (!ParsePortAndAddress(word, rest, p, &why))
            return Fail(error, path + ", line " + std::to_string(number) + ": " + why);
        read.push_back(std::move(p));
    }
    if (read.empty()) return Fail(error, path + ": names no printer");
    printers = std::move(read);
    return true;
}

StartRequest ParseArguments(const std::vector<std::string>& args)
{
    StartRequest request;
    if (args.empty()) return request;
    auto invalid = [&request](const std::string& why) {
        request.valid = false;
        request.error = why;
        request.printers.clear();
        return request;
    };
    std::string address;
    for (size_t i = 1; i < args.size(); ++i) address += (i > 1 ? " " : "") + args[i];
    address = Trim(address);
    PrinterInfo p;
    std::string why;
    if (ParsePortAndAddress(args[0], address, p, &why)) {
        request.printers.push_back(std::move(p));
        return request;
    }
    // A list file comes alone, in place of the port word. The data folder
    // has a blank in its name: a start through a shell may have split the
    // path into words, which are joined again.
    const std::string upper = Upper(args[0]);
    const bool portWord = upper == "SNMP" || upper == "TCP/IP" || upper == "USB" || upper.compare(0, 3, "COM") == 0 ||
                          upper.compare(0, 3, "LPT") == 0;
    std::string path = args[0];
    for (size_t i = 1; i < args.size(); ++i) path += " " + args[i];
    if (!portWord && IsRegularFile(path)) {
        if (!ReadListFile(path, request.printers, &why)) return invalid(why);
        request.listFile = path;
        return request;
    }
    return invalid(why);
}

bool ParseTargetWord(const std::string& word, PrinterInfo& printer, std::string* error)
{
    if (ValidAddress(word)) {
        printer = NetworkPrinter(word);
        return true;
    }
    const size_t colon = word.find(':');
    const std::string port = word.substr(0, colon);
    const std::string rest = colon == std::string::npos ? std::string() : word.substr(colon + 1);
    return ParsePortAndAddress(port, rest, printer, error);
}

} // namespace nload

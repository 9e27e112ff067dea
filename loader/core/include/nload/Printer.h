// A target printer of the download tool, how it is reached, and the ways a
// printer is named from outside: the command line, the list file the list
// window writes, and qavctl's target words.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "nload/Trailer.h"

namespace nload {

// How a printer is reached.
enum class PortKind : int {
    kNetwork = 0, // SNMP for its information, raw TCP/IP for the download
    kSerial = 1,  // COMn
    kUsb = 2,     // a USB printer device
    kParallel = 3,// LPTn
    kTcpIp = 4,   // raw TCP/IP only
};

// The raw TCP/IP port a network printer takes downloads on.
inline constexpr int kRawPort = 9100;

// Where the last operation on a printer stands.
struct PrinterResult {
    int code = 0;        // 0 success, 1 while an operation runs, else the error code
    int result = 0;      // the communication library's result value
    int systemError = 0; // the system error number where one was taken
    std::string status;  // the status text shown in the list
};

// One target printer.
struct PrinterInfo {
    PortKind kind = PortKind::kNetwork;
    bool blockTransfer = false; // send in 256 KB blocks, each answered

    std::string address;        // dotted IPv4 address (network, TCP/IP)
    int rawPort = kRawPort;     // TCP port of the download (network, TCP/IP)
    int comNumber = 0;          // COMn
    int baud = 9600, dataBits = 8, stopBits = 1;
    char parity = 'N';
    std::string usbPath;        // USB device path
    std::string usbName;        // the USB printer's model text from the USB search
    int lptNumber = 0;          // LPTn

    // From the printer information (network printers).
    std::string name;           // printer name
    std::string model;          // model text with the maker prefix
    std::string shortModel;     // model text without it
    std::array<std::string, kKindCodes> versions; // by kind code; 5 (GAIJI) stays empty
    std::string bootType;       // 4 characters
    bool restartMark = false;   // the printer takes longer to restart
    int statusCode = 0;         // the printer's status: not 0, it cannot take a download now
    int headState = 0;
    std::array<std::string, 5> extraTexts; // further texts kept with the record (dates)
    std::string partNumber;
    std::string networkName, networkVersion;
    bool infoRead = false;
    // The user chose to leave this printer out (it cannot take a download
    // now): the run gives it error 40 instead of its download.
    bool notServed = false;

    PrinterResult last;

    // The port name and address that CQBPTrans::Open takes for the download.
    std::string DownloadPortName() const;
    std::string DownloadAddress() const;
    // The port as the report and the list show it: "SNMP", "TCP/IP",
    // "COM1", "USB", "LPT1".
    std::string PortText() const;
    // Where on that port: the address (with ":port" for TCP/IP), the line
    // parameters, the device path; empty for LPT.
    std::string WhereText() const;
    // The name shown in messages: the printer's name, or for a printer
    // whose name is unknown "QAV BARCODE PRINTER" and its port text.
    std::string DisplayName() const;
    // A printer is the same target as another when it is reached the same way.
    bool SameTarget(const PrinterInfo& other) const;
};

// Printers made from their port and address.
PrinterInfo NetworkPrinter(const std::string& address, int rawPort = kRawPort);
PrinterInfo TcpIpPrinter(const std::string& address, int port);
PrinterInfo SerialPrinter(int comNumber, int baud, int dataBits, char parity, int stopBits, bool blockTransfer);
PrinterInfo UsbPrinter(const std::string& path, const std::string& usbName = {});
PrinterInfo ParallelPrinter(int lptNumber);

// A port word and its address, as the command line and the list file give
// them: "SNMP a.b.c.d", "TCP/IP a.b.c.d:port", "USB <device path>",
// "COMn baud,bits,parity,stop", "LPTn" (no address). The port word and a
// serial port's parity letter are taken without regard to case, other
// addresses as they stand (device paths are case-sensitive). False, with
// the reason, when the pair names no printer.
bool ParsePortAndAddress(const std::string& portWord, const std::string& address, PrinterInfo& printer,
                         std::string* error = nullptr);

// What the program's arguments ask for.
struct StartRequest {
    bool valid = true;
    std::string error;               // why the arguments are not valid
    std::vector<PrinterInfo> printers; // none: start with the printer selection
    std::string listFile;            // the list file the printers came from
};

// The arguments after the program's name: nothing; a port word and an
// address (the words after the port word, joined by one blank and trimmed);
// or the path of a list file (an existing file, given alone; a path split
// at its blanks into several words counts too), which names
// one printer per line as "PORT ADDRESS" (empty lines are skipped). A list
// file with a line that names no printer, or with no printer at all, is not
// valid.
StartRequest ParseArguments(const std::vector<std::string>& args);
// Reads a list file.
bool ReadListFile(const std::string& path, std::vector<PrinterInfo>& printers, std::string* error = nullptr);

// qavctl's target words: a dotted address (a network printer), or a port
// word and its address joined by ':' ("TCP/IP:127.0.0.1:9100",
// "COM1:9600,8,N,1", "USB:/dev/usb/lp0", "LPT1").
bool ParseTargetWord(const std::string& word, PrinterInfo& printer, std::string* error = nullptr);

} // namespace nload

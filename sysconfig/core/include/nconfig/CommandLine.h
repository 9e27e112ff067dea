// The command line of the system setting tool.
//
//   nconfig 1|2|3 PORT ADDRESS[|MODEL[?VERSION]]     one printer
//   nconfig 4 LISTFILE[|MODEL][?VERSION]             a list of printers
//
// Mode 1 opens the diagnosis window, 2 and 3 the system window for one
// printer, 4 the system window for the printers of a list file. PORT is
// "SNMP" (ADDRESS a dotted address), "TCP/IP" (ADDRESS "a.b.c.d:port") or
// "COMn" with n 1..256 (ADDRESS "baud,databits,parity,stopbits"). The other
// programs hand over a model key and a firmware version when they know
// them, so the tool need not read them from the printer.
//
// The command line is the program's arguments joined by single spaces, as
// one text, so a list file path with blanks arrives whole.
#pragma once

#include <string>
#include <vector>

namespace nconfig {

inline constexpr size_t kMaxPortText = 259;
inline constexpr size_t kMaxAddressText = 31;
inline constexpr size_t kMaxModelKey = 15;
inline constexpr size_t kMaxVersion = 15;

enum Mode : int { kModeDiagnosis = 1, kModeSystem = 2, kModeSystemFromList = 3, kModeList = 4 };

struct CommandLine {
    int mode = 0;
    std::string port;    // "SNMP", "TCP/IP", "COMn"; in list mode the list file as given
    std::string address; // empty in list mode
    std::string model;   // empty when not given
    std::string version; // empty when not given
};

// The program's arguments (argv[1] on) as one command line.
std::string JoinArguments(const std::vector<std::string>& args);

// Parses the command line. False for an empty line, a mode other than 1..4,
// a port other than the three, or an address that does not fit its port.
bool ParseCommandLine(const std::string& text, CommandLine& out);

// Whether the address fits the port: "SNMP" a dotted address; "TCP/IP"
// "a.b.c.d:port" with port 0..65535; "COMn" (n 1..256) the line parameters
// "baud,bits,parity,stop" with baud > 0, bits 7 or 8, parity N, E or O (in
// any case) and stop bits 1 or 2.
bool AddressFitsPort(const std::string& port, const std::string& address);

} // namespace nconfig

// The port a qavctl command talks through (--port), shared by the object
// commands and send.
//
//   SNMP      (get, next, set default) ADDRESS is the printer's dotted address
//   TCP/IP    ADDRESS is HOST:PORT (send: HOST alone means port 9100)
//   COMn      ADDRESS is the line: "baud,bits,parity,stop", e.g. 9600,8,N,1
//   LPTn      ADDRESS is empty or "-" (the port is write-only)
//   USB       ADDRESS is the device path, e.g. /dev/usb/lp0
#pragma once

#include <string>

class CQBPTrans;

namespace qavctl {

// Checks the address for the port and brings it to the form Open takes.
// False with a reason for the user.
bool CheckPortAddress(const std::string& port, std::string& address, std::string& error);

// Opens the session; on failure prints the library's error naming the port
// and the address, and returns false.
bool OpenPort(CQBPTrans& session, const std::string& port, const std::string& address);

// The port and address as the user reads them ("TCP/IP 127.0.0.11:9100").
std::string PortText(const std::string& port, const std::string& address);

// Bytes for a terminal: printable ASCII as it is, anything else as \xNN.
std::string Printable(const std::string& bytes);

} // namespace qavctl

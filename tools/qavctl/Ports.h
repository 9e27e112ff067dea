// The port a qavctl command talks through (--port), shared by the object
// commands and send. Port words and addresses are read by the download
// tool's parser, the one behind nload's command line and the list file, so
// that a port means the same to every program:
//
//   SNMP      (get, next, set default) ADDRESS is the printer's dotted address
//   TCP/IP    ADDRESS is HOST:PORT (send: HOST alone means port 9100)
//   COMn      ADDRESS is the line: "baud,bits,parity,stop", e.g. 9600,8,N,1
//   LPTn      ADDRESS is empty or "-" (the port is write-only)
//   USB       ADDRESS is the device path, e.g. /dev/usb/lp0
//
// The port word is read without regard to case.
#pragma once

#include <string>

class CQBPTrans;

namespace qavctl {

// Checks the port word and the address and brings both to the form Open
// takes ("tcp/ip" becomes "TCP/IP", "-" for LPT the empty address). False
// with a reason for the user.
bool CheckPortAddress(std::string& port, std::string& address, std::string& error);

// Opens the session; on failure prints the library's error naming the port
// and the address, and returns false.
bool OpenPort(CQBPTrans& session, const std::string& port, const std::string& address);

// The port and address as the user reads them ("TCP/IP 127.0.0.11:9100").
std::string PortText(const std::string& port, const std::string& address);

} // namespace qavctl

// The printer session of the system setting tool (CPrinterAccess) behind a
// small interface, so that the tool's rules run against a fake in tests and
// against real printers everywhere else; and the printer check.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "nconfig/Pages.h"

namespace qavres {
class ObjectTable;
}

namespace nconfig {

// Objects the tool reads and writes besides the parameters.
inline constexpr int kObjectModel = 20101;    // model name
inline constexpr int kObjectClass = 20901;    // printer class: 0 and 27 are supported
inline constexpr int kObjectFirmware = 23781; // firmware version
inline constexpr int kObjectControl = 20841;  // "2": take the written system settings
inline constexpr const char* kApplySettings = "2";

// One object of a block read.
struct ObjectRef {
    int object = 0;
    int instance = 0;
};

class PrinterLink {
public:
    virtual ~PrinterLink() = default;
    // Opens a session with the configured communities: 0 or the transport's code.
    virtual int Open(const std::string& port, const std::string& address) = 0;
    virtual void Close() = 0;
    // Read and write by number and instance, with the object table's check:
    // 0, a transport code, or -1000 when the answer was not the object's
    // (`refused` then receives the printer's negative status, if it gave one).
    virtual int Read(int object, int instance, std::string& value) = 0;
    virtual int Write(int object, int instance, const std::string& value, int* refused = nullptr) = 0;
    // Reads up to 20 objects in one request. values[i] is the value of
    // objects[i], or "@unknown@" when the printer did not give exactly that
    // object with its type. 0 or the transport's code.
    virtual int ReadBlock(const std::vector<ObjectRef>& objects, std::vector<std::string>& values) = 0;
};

// Makes a fresh link for each printer (links of different threads never share).
using LinkFactory = std::function<std::unique_ptr<PrinterLink>()>;

// Links through the communication library. Block reads: on SNMP one
// get-next whose bindings are each object's OID with "instance - 1" (the
// bare OID for instance 0), so that the answer is exactly the wanted
// instance; an SNMPv1 error answer drops the object it names and asks again
// for the rest. On TCP/IP and COM ports, whose printer commands know no
// get-next, one get of the objects themselves.
LinkFactory SessionLinks(const qavres::ObjectTable& objects, const std::string& readCommunity,
                         const std::string& writeCommunity);

struct CheckResult {
    int code = 0;          // 0, or the first failing code
    int printerClass = -1;
    std::string model;     // as given, or read (trailing blanks removed, at most 15)
    std::string version;   // as given, or read (at most 15; empty when unreadable)

    bool Answered() const { return code == 0; }
    bool Supported() const { return code == 0 && (printerClass == 0 || printerClass == 27); }
};

// The printer check: opens a session, reads the class (20901.0), the model
// (20101.0) when none is known and the version (23781.0) when none is known,
// and closes the session. A failing version read leaves the version empty
// and fails nothing.
CheckResult CheckPrinter(PrinterLink& link, const std::string& port, const std::string& address,
                         const std::string& knownModel = {}, const std::string& knownVersion = {});

// The same, on a link the caller has opened already.
CheckResult CheckOpenPrinter(PrinterLink& link, const std::string& knownModel = {},
                             const std::string& knownVersion = {});

} // namespace nconfig

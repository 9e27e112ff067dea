// One simulated printer: its description, its object store, and the
// events that change its state and raise traps.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "Ber.h"
#include "Mib.h"
#include "RawSettings.h"
#include "qavplatform/Address.h"

namespace qavres {
class ObjectTable;
}

namespace qavsim {

// Object numbers of the object table that the simulator fills from the
// printer's description.
namespace obj {
constexpr int kDeviceDescr = 81, kPrinterStatus = 121, kErrorState = 141, kSysDescr = 161, kContact = 181,
              kName = 201, kLocation = 221, kMarkerUnit = 1141, kMarkerLifeCount = 1161, kPanelText = 1281,
              kSysObjectId = 1361, kSerialStd = 1381, kDeviceType = 1401, kDeviceErrors = 1441;
constexpr int kModelName = 20101, kSerial = 20781, kManager = 20801, kComment = 20821, kStatusCode = 20901,
              kHeadStatus = 20941, kTrapErrorCode = 20961, kTrapText1 = 20981, kTrapText2 = 21001,
              kTrapText3 = 21021, kTrapValue = 21041, kDhcpEnable = 22761, kDhcpHostName = 22801,
              kFirmware = 23781, kRfidOk = 24141, kRfidError = 24161, kMakerPanelText = 20921;
} // namespace obj

struct PrinterEntry {
    uint32_t address = 0; // host order, 127.x.y.z
    bool maker = true;    // the maker's printer, or a standard printer
    std::string recording; // standard printer served from an snmprec recording
    std::string model = "QAV M-UG2";
    std::string name;
    std::string location;
    std::string contact;
    std::string serial;
    std::string manager;
    std::string comment;
    std::string firmware = "V1.02";
    std::string panelText = "ONLINE";
    std::string dhcpHostName;
    int statusCode = 0;   // the maker's status code (0 online)
    int headStatus = 0;   // 1: head problem
    int dhcpEnable = 0;
    long rfidOk = 0, rfidError = 0;
    unsigned long labelCount = 0;
    std::string readCommunity = "kestra";
    std::string writeCommunity = "kestra";
    int trapVersion = 1;   // 1 or 2 (2c)
    int resetMs = 3000;    // how long a reset leaves the printer silent
    // A GET of an object without its instance answered with the object's
    // first instance, as older firmware of the maker did. Off: a GET needs
    // the instance, as with every standard agent.
    bool lenientGet = false;
    std::map<int, std::string> objects; // object number (or number.instance) -> value text
    std::map<std::string, std::string> oids; // raw OID -> value text (table type or String)
    RawSettings raw; // raw TCP port, device ports, restart time, reply faults
};

// Dotted address texts (host-order numbers), the platform layer's.
using qavplatform::AddressText;
using qavplatform::ParseAddress;
// A value of the object table's type code (2, 4, 6, 64, 65, 66, 67, 70) from
// its text.
Value ValueOfType(int type, const std::string& text);

// Status codes with names for the command language ("paper-jam" 11, ...).
int StatusCodeByName(const std::string& name);
const char* StatusName(int code);

class Printer {
public:
    // Builds the object store. False with a reason when a recording cannot
    // be read.
    bool Build(const PrinterEntry& entry, const qavres::ObjectTable& table, std::string& error);

    const PrinterEntry& Entry() const { return entry_; }
    Mib& Objects() { return mib_; }
    const AgentPolicy& Policy() const { return policy_; }
    bool Answering() const { return answering_; }
    // The printer answers on another address from now on.
    void MoveTo(uint32_t address) { entry_.address = address; }
    void SetAnswering(bool on) { answering_ = on; }

    // Sets the maker's status code and the standard objects that follow it.
    void SetStatus(int code);
    // Sets a field by name (name, location, model, head, dhcp, rfid-ok, ...)
    // or an object by number ("object.20801"). False for an unknown field.
    bool SetField(const std::string& field, const std::string& value, std::string& error);

    struct TrapDetails {
        int errorCode = -1;
        std::string text1, text2, text3;
        int value = 0;
    };
    // The trap message for generic/specific with the detail bindings.
    Message MakeTrap(int generic, int specific, const TrapDetails& details, int version) const;

    uint32_t UptimeTicks() const;

    // The print-head check: a SET of 1 into object 20881 starts it, and the
    // head state (object 20941) reads -1 until it is done. Tick, before each
    // request, ends a check whose time is up.
    void Tick();
    // Writes the agent accepted (Controls.cpp): the printer acts on them
    // (remote keys, reset, names kept for the run) and logs each one.
    // kReset: a reset began, the printer is silent until FinishReset().
    enum class Reaction { kNone, kReset };
    Reaction OnWritten(const std::vector<Oid>& written);
    // The end of a reset: answering again, the pause and errors cleared.
    void FinishReset();
    struct WriteRecord {
        int object;        // object number (0: not in the object table)
        std::string value; // as text
    };
    const std::vector<WriteRecord>& Writes() const { return writes_; }
    void ClearWrites() { writes_.clear(); }

private:
    void FillEnvironment(); // Environment.cpp
    void StartHeadCheck(const std::vector<Oid>& written); // Environment.cpp
    std::vector<WriteRecord> writes_;
    void SetObject(int number, const Value& value, bool writable, int instance = 0);
    Oid ObjectOid(int number, int instance) const;
    void ApplyStatusObjects();

    PrinterEntry entry_;
    const qavres::ObjectTable* table_ = nullptr;
    Mib mib_;
    AgentPolicy policy_;
    bool answering_ = true;
    int64_t startMs_ = 0;
    int64_t headCheckEndsMs_ = 0; // steady clock; 0: no check running
};

} // namespace qavsim

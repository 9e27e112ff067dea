#include "Printer.h"

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "Parameters.h"
#include "Models.h"
#include "Recording.h"
#include "qavres/Resources.h"

namespace qavsim {

namespace {

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

const Oid kEnterprise = {1, 3, 6, 1, 4, 1, 32473};

struct NamedStatus {
    int code;
    const char* name;
    const char* panel;
};

// The maker's status codes with a name, as the trap numbers use them.
const NamedStatus kStatusNames[] = {
    {0, "online", "ONLINE"},
    {1, "head-open-idle", "HEAD OPEN"},
    {2, "printing", "PRINTING"},
    {4, "pause", "PAUSE"},
    {5, "receiving", "RECEIVING"},
    {6, "command-error", "COMMAND ERROR"},
    {7, "communication-error", "COMMUNICATION ERROR"},
    {11, "paper-jam", "PAPER JAM"},
    {12, "cutter-error", "CUTTER ERROR"},
    {13, "paper-end", "PAPER END"},
    {14, "ribbon-end", "RIBBON END"},
    {15, "head-open", "HEAD OPEN"},
    {17, "head-disconnect", "HEAD NOT CONNECTED"},
    {18, "head-heating", "HEAD OVERHEAT"},
    {21, "ribbon-error", "RIBBON ERROR"},
    {22, "rewind-full", "REWINDER FULL"},
    {23, "paper-not-detected", "NO PAPER DETECTED"},
    {24, "cover-open", "COVER OPEN"},
    {27, "ribbon-near-end", "RIBBON NEAR END"},
    {28, "pause-ribbon-near-end", "PAUSE RIBBON NEAR END"},
    {29, "printing-ribbon-near-end", "PRINTING"},
    {36, "low-battery", "LOW BATTERY"},
    {40, "initializing", "INITIALIZING"},
    {41, "download-mode", "DOWNLOAD MODE"},
    {50, "sensor-error", "SENSOR ERROR"},
    {51, "memory-error", "MEMORY ERROR"},
    {54, "hardware-error", "HARDWARE ERROR"},
    {55, "buffer-full", "BUFFER FULL"},
    {61, "rfid-write-error", "RFID WRITE ERROR"},
    {62, "rfid-read-error", "RFID READ ERROR"},
    {66, "reject-jam", "REJECT JAM"},
    {67, "reject-full", "REJECT FULL"},
    {68, "shutter-error", "SHUTTER ERROR"},
    {69, "reject-error", "REJECT ERROR"},
    {70, "asf-power-off", "ASF POWER OFF"},
    {71, "ud-motor-error", "UD MOTOR ERROR"},
    {72, "eraser-error", "ERASER ERROR"},
    {73, "eraser-open", "ERASER OPEN"},
    {74, "asf-cover-open", "ASF COVER OPEN"},
    {75, "warming-up", "WARMING UP"},
    {76, "energy-saving", "ENERGY SAVING"},
    {77, "asf-not-connect", "ASF NOT CONNECTED"},
    {78, "waiting-removal", "REMOVE LABEL"},
    {80, "paper-near-end", "PAPER NEAR END"},
    {81, "pause-paper-near-end", "PAUSE PAPER NEAR END"},
    {82, "printing-paper-near-end", "PRINTING"},
    {98, "printer-error", "PRINTER ERROR"},
    {99, "service-mode", "SERVICE MODE"},
};

// Bits of the first byte of hrPrinterDetectedErrorState.
constexpr uint8_t kLowPaper = 0x80, kNoPaper = 0x40, kLowToner = 0x20, kNoToner = 0x10, kDoorOpen = 0x08,
                  kJammed = 0x04, kOffline = 0x02, kServiceRequested = 0x01;

uint8_t ErrorBits(int code)
{
    switch (code) {
    case 0:
    case 2:
    case 5:
    case 40:
    case 41:
    case 75:
    case 76:
    case 78:
    case 99: return 0;
    case 4: return kOffline;
    case 27:
    case 29: return kLowToner;
    case 28: return kLowToner | kOffline;
    case 80:
    case 82: return kLowPaper;
    case 81: return kLowPaper | kOffline;
    case 11:
    case 66: return kJammed;
    case 13:
    case 23: return kNoPaper;
    case 14:
    case 21: return kNoToner;
    case 1:
    case 15:
    case 24:
    case 73:
    case 74: return kDoorOpen;
    default: return kServiceRequested;
    }
}

// hrPrinterStatus: idle 3, printing 4, warming up 5, other 1.
int HostPrinterStatus(int code)
{
    switch (code) {
    case 0:
    case 27:
    case 80:
    case 76: return 3;
    case 2:
    case 5:
    case 29:
    case 82: return 4;
    case 40:
    case 75: return 5;
    default: return 1;
    }
}

// The instance of a standard object as real agents number it.
Oid StandardInstance(const Oid& base, uint32_t address)
{
    auto under = [&](std::initializer_list<uint32_t> prefix) { return IsPrefix(Oid(prefix), base); };
    if (under({1, 3, 6, 1, 2, 1, 4, 20, 1}))
        return {address >> 24, (address >> 16) & 0xFF, (address >> 8) & 0xFF, address & 0xFF};
    if (under({1, 3, 6, 1, 2, 1, 2, 2, 1}) || under({1, 3, 6, 1, 2, 1, 25, 3, 2, 1}) ||
        under({1, 3, 6, 1, 2, 1, 25, 3, 5, 1}) || under({1, 3, 6, 1, 2, 1, 25, 2, 3, 1}) ||
        under({1, 3, 6, 1, 2, 1, 43, 5, 1, 1}))
        return {1};
    if (under({1, 3, 6, 1, 2, 1, 43})) return {1, 1};
    return {0};
}

} // namespace

Value ValueOfType(int type, const std::string& text)
{
    switch (type) {
    case kInteger: return Value::Integer(std::strtoll(text.c_str(), nullptr, 10));
    case kObjectId: {
        Oid o;
        if (!ParseOid(text, o)) o = {0, 0};
        return Value::ObjectId(o);
    }
    case kIpAddress: {
        uint32_t a = 0;
        ParseAddress(text, a);
        return Value::Ip(a);
    }
    case kCounter32: return Value::Unsigned(kCounter32, std::strtoull(text.c_str(), nullptr, 10) & 0xFFFFFFFFu);
    case kGauge32: return Value::Unsigned(kGauge32, std::strtoull(text.c_str(), nullptr, 10) & 0xFFFFFFFFu);
    case kTimeTicks: return Value::Unsigned(kTimeTicks, std::strtoull(text.c_str(), nullptr, 10) & 0xFFFFFFFFu);
    case kCounter64: return Value::Unsigned(kCounter64, std::strtoull(text.c_str(), nullptr, 10));
    default: return Value::Text(text);
    }
}


int StatusCodeByName(const std::string& name)
{
    for (const NamedStatus& s : kStatusNames) {
        if (name == s.name) return s.code;
    }
    char* end = nullptr;
    long v = std::strtol(name.c_str(), &end, 10);
    if (!name.empty() && *end == '\0' && v >= 0 && v <= 255) return static_cast<int>(v);
    return -1;
}

const char* StatusName(int code)
{
    for (const NamedStatus& s : kStatusNames) {
        if (s.code == code) return s.name;
    }
    return "status";
}

Oid Printer::ObjectOid(int number, int instance) const
{
    Oid oid;
    if (!ParseOid(table_->Oid(number), oid)) return {};
    if (instance >= 0) {
        oid.push_back(static_cast<uint32_t>(instance));
    } else {
        const Oid suffix = StandardInstance(oid, entry_.address);
        oid.insert(oid.end(), suffix.begin(), suffix.end());
    }
    return oid;
}

void Printer::SetObject(int number, const Value& value, bool writable, int instance)
{
    const Oid oid = ObjectOid(number, instance);
    if (!oid.empty()) mib_.Set(oid, value, writable);
}

bool Printer::Build(const PrinterEntry& entry, const qavres::ObjectTable& table, std::string& error)
{
    entry_ = entry;
    table_ = &table;
    startMs_ = NowMs();
    policy_.readCommunity = entry.readCommunity;
    policy_.writeCommunity = entry.writeCommunity;
    policy_.lenientGet = entry.lenientGet;
    if (!entry.recording.empty()) return LoadRecording(entry.recording, mib_, error);

    // Every object of the table, at its instance, with a neutral value of
    // its type; the description then fills what it knows.
    for (const auto& [number, text] : table.Strings().All()) {
        Oid base;
        if (!ParseOid(text, base)) continue;
        // String n is an OID and string n+1 its type name.
        const std::string& typeName = table.TypeName(number);
        Oid notAType;
        if (typeName.empty() || ParseOid(typeName, notAType)) continue;
        const bool makers = IsPrefix(kEnterprise, base);
        if (makers && !entry.maker) continue;
        const int type = qavres::TypeCodeFromName(typeName);
        Value v = ValueOfType(type, type == kObjectId ? "0.0" : type == kIpAddress ? "0.0.0.0" : type == kOctetString ? "" : "0");
        // Counters of the network groups get plausible, distinct figures.
        if (type >= kCounter32 && type <= kTimeTicks && !makers) v.number = (number * 37 + (entry.address & 0xFF) * 11) % 100000;
        const bool writable = makers || number == obj::kContact || number == obj::kName || number == obj::kLocation;
        SetObject(number, v, writable, makers ? 0 : -1);
    }
    // The system parameters with their ranges: the description below fills
    // in what it knows and keeps the ranges.
    if (entry.maker) InstallParameters(mib_, table, entry);

    auto text = [&](int number, const std::string& value, bool writable = true) {
        SetObject(number, Value::Text(value), writable, number >= 20001 ? 0 : -1);
    };
    auto integer = [&](int number, long long value, bool writable = true) {
        SetObject(number, Value::Integer(value), writable, number >= 20001 ? 0 : -1);
    };
    const std::string model = entry.model;
    text(obj::kSysDescr, entry.maker ? ModelText(model) : "Network printer " + model, false);
    Oid sysObject = entry.maker ? Oid{1, 3, 6, 1, 4, 1, 32473, 2, 1} : Oid{1, 3, 6, 1, 4, 1, 2699, 1, 1};
    SetObject(obj::kSysObjectId, Value::ObjectId(sysObject), false, -1);
    text(obj::kContact, entry.contact);
    text(obj::kName, entry.name);
    text(obj::kLocation, entry.location);
    text(obj::kDeviceDescr, model, false);
    SetObject(obj::kDeviceType, Value::ObjectId({1, 3, 6, 1, 2, 1, 25, 3, 1, 5}), false, -1);
    SetObject(obj::kDeviceErrors, Value::Unsigned(kCounter32, 0), false, -1);
    text(obj::kSerialStd, entry.serial, false);
    SetObject(obj::kMarkerLifeCount, Value::Unsigned(kCounter32, entry.labelCount & 0xFFFFFFFFu), false, -1);
    integer(obj::kMarkerUnit, 7, false); // impressions
    if (entry.maker) {
        text(obj::kModelName, ShortModel(model), false);
        text(obj::kSerial, entry.serial);
        text(obj::kManager, entry.manager);
        text(obj::kComment, entry.comment);
        text(obj::kFirmware, entry.firmware, false);
        integer(obj::kHeadStatus, entry.headStatus, false);
        integer(obj::kDhcpEnable, entry.dhcpEnable);
        text(obj::kDhcpHostName, entry.dhcpHostName);
        integer(obj::kRfidOk, entry.rfidOk, false);
        integer(obj::kRfidError, entry.rfidError, false);
    }
    // The objects of the status monitor's pages by model, then those of the
    // environmental log's sections, which win where both speak of one object.
    for (const auto& [number, value] : ModelObjects(entry)) {
        if (!table.Oid(number).empty())
            SetObject(number, ValueOfType(table.TypeCode(number), value), number >= 20001, number >= 20001 ? 0 : -1);
    }
    if (entry.maker) FillEnvironment();
    for (const auto& [number, value] : entry.objects) {
        const int type = table.TypeCode(number);
        SetObject(number, ValueOfType(type, value), number >= 20001 || number == obj::kName, number >= 20001 ? 0 : -1);
    }
    ApplyStatusObjects();
    return true;
}

void Printer::ApplyStatusObjects()
{
    if (!entry_.recording.empty()) return;
    const int code = entry_.statusCode;
    SetObject(obj::kPrinterStatus, Value::Integer(HostPrinterStatus(code)), false, -1);
    SetObject(obj::kErrorState, Value::Text(std::string(1, static_cast<char>(ErrorBits(code)))), false, -1);
    std::string panel = entry_.panelText;
    for (const NamedStatus& s : kStatusNames) {
        if (s.code == code && code != 0) panel = s.panel;
    }
    SetObject(obj::kPanelText, Value::Text(panel), false, -1);
    if (entry_.maker) SetObject(obj::kStatusCode, Value::Integer(code), false, 0);
    if (entry_.maker) SetObject(obj::kMakerPanelText, Value::Text(panel), false, 0);
}

void Printer::SetStatus(int code)
{
    entry_.statusCode = code;
    ApplyStatusObjects();
}

bool Printer::SetField(const std::string& field, const std::string& value, std::string& error)
{
    auto text = [&](int number, std::string& into) {
        into = value;
        SetObject(number, Value::Text(value), true, number >= 20001 ? 0 : -1);
    };
    auto integer = [&](int number, int& into) {
        into = std::atoi(value.c_str());
        SetObject(number, Value::Integer(into), number != obj::kHeadStatus, 0);
    };
    if (field == "name") {
        text(obj::kName, entry_.name);
    } else if (field == "location") {
        text(obj::kLocation, entry_.location);
    } else if (field == "manager") {
        text(obj::kManager, entry_.manager);
    } else if (field == "comment") {
        text(obj::kComment, entry_.comment);
    } else if (field == "serial") {
        text(obj::kSerial, entry_.serial);
        SetObject(obj::kSerialStd, Value::Text(value), false, -1);
    } else if (field == "head") {
        integer(obj::kHeadStatus, entry_.headStatus);
    } else if (field == "dhcp") {
        integer(obj::kDhcpEnable, entry_.dhcpEnable);
    } else if (field == "dhcp-host") {
        text(obj::kDhcpHostName, entry_.dhcpHostName);
    } else if (field == "panel") {
        entry_.panelText = value;
        ApplyStatusObjects();
    } else if (field == "status") {
        const int code = StatusCodeByName(value);
        if (code < 0) {
            error = "unknown status '" + value + "'";
            return false;
        }
        SetStatus(code);
    } else if (field == "rfid-ok" || field == "rfid-error") {
        const long v = std::atol(value.c_str());
        (field == "rfid-ok" ? entry_.rfidOk : entry_.rfidError) = v;
        SetObject(field == "rfid-ok" ? obj::kRfidOk : obj::kRfidError, Value::Integer(v), false, 0);
    } else if (field == "reset-ms") {
        entry_.resetMs = std::atoi(value.c_str());
    } else if (field.rfind("object.", 0) == 0) {
        const std::string rest = field.substr(7);
        const int number = std::atoi(rest.c_str());
        const size_t dot = rest.find('.');
        const int instance = dot == std::string::npos ? (number >= 20001 ? 0 : -1) : std::atoi(rest.c_str() + dot + 1);
        if (table_->Oid(number).empty()) {
            error = "object " + rest + " is not in the object table";
            return false;
        }
        SetObject(number, ValueOfType(table_->TypeCode(number), value), true, instance);
    } else {
        error = "unknown field '" + field + "'";
        return false;
    }
    return true;
}

uint32_t Printer::UptimeTicks() const { return static_cast<uint32_t>((NowMs() - startMs_) / 10); }

Message Printer::MakeTrap(int generic, int specific, const TrapDetails& d, int version) const
{
    Message m;
    m.community = "public";
    std::vector<VarBind> details;
    if (generic == 6 || generic == 7) {
        auto bind = [&](int number, Value v) {
            const Oid oid = ObjectOid(number, 0);
            if (!oid.empty()) details.push_back({oid, std::move(v)});
        };
        bind(obj::kTrapErrorCode, Value::Integer(d.errorCode));
        bind(obj::kTrapText1, Value::Text(d.text1));
        bind(obj::kTrapText2, Value::Text(d.text2));
        bind(obj::kTrapText3, Value::Text(d.text3));
        bind(obj::kTrapValue, Value::Integer(d.value));
    }
    if (version == 1) {
        m.version = 0;
        m.pduType = kTrapV1;
        m.enterprise = generic >= 6 ? kEnterprise : Oid{1, 3, 6, 1, 4, 1, 32473, 2, 1};
        m.agentAddress = entry_.address;
        // Version 1 has generic numbers 0..6 only: the receiver's "7/99"
        // is the enterprise-specific trap 99.
        m.genericTrap = generic >= 6 ? 6 : generic;
        m.specificTrap = generic >= 6 ? specific : 0;
        m.timeStamp = UptimeTicks();
        m.varbinds = details;
        return m;
    }
    m.version = 1;
    m.pduType = kTrapV2;
    m.requestId = static_cast<int32_t>(NowMs() & 0x7FFFFFFF);
    Oid trapOid;
    if (generic >= 6) {
        trapOid = kEnterprise;
        trapOid.push_back(0);
        trapOid.push_back(static_cast<uint32_t>(specific));
    } else {
        trapOid = {1, 3, 6, 1, 6, 3, 1, 1, 5, static_cast<uint32_t>(generic + 1)};
    }
    m.varbinds.push_back({{1, 3, 6, 1, 2, 1, 1, 3, 0}, Value::Unsigned(kTimeTicks, UptimeTicks())});
    m.varbinds.push_back({{1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}, Value::ObjectId(trapOid)});
    m.varbinds.insert(m.varbinds.end(), details.begin(), details.end());
    if (generic >= 6) m.varbinds.push_back({{1, 3, 6, 1, 6, 3, 1, 1, 4, 3, 0}, Value::ObjectId(kEnterprise)});
    return m;
}

} // namespace qavsim

#include "PrinterQueries.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "DeviceModel.h"
#include "qavplatform/Address.h"
#include "qavobj/PrinterObjects.h"
#include "qavres/Resources.h"
#include "qavsettings/SettingsFiles.h"

namespace nlist {

namespace {

using qavobj::ObjectRequest;

bool Fail(QueryFailure* failure, QueryFailure why)
{
    if (failure) *failure = why;
    return false;
}

// The objects read in one get-next of their bare identifiers, each
// expecting the type the object table gives it (qavobj::ReadObjects: an
// answer counts only when it lies below the object asked for, so a printer
// that lacks an object never lends it the next object's value, and an
// SNMPv1 agent's error for one object does not cost the others). True when
// the printer answered; `requests` then holds one entry per object, in
// order.
bool Read(uint32_t address, const std::vector<int>& objects, const Communities& communities,
          std::vector<ObjectRequest>& requests, QueryFailure* failure)
{
    const qavres::ObjectTable& table = Objects();
    requests.clear();
    if (!table.IsLoaded()) return Fail(failure, QueryFailure::kNoObjectTable);
    for (int object : objects) {
        if (table.Oid(object).empty()) return Fail(failure, QueryFailure::kNoObjectTable);
        requests.emplace_back(table.TypeCode(object), object);
    }
    qavobj::Context context;
    context.objects = &table;
    const qavobj::Outcome out =
        qavobj::ReadObjects(qavobj::Target::Snmp(address, communities.read, communities.write), context, requests);
    if (out.code == qavobj::kNoObjectTable) return Fail(failure, QueryFailure::kNoObjectTable);
    if (out.setCommunityFailed) return Fail(failure, QueryFailure::kSetCommunity);
    if (!out.ok()) return Fail(failure, QueryFailure::kNoAnswer);
    if (failure) *failure = QueryFailure::kNone;
    return true;
}

bool Integer(const std::vector<ObjectRequest>& answers, size_t index, int& value)
{
    if (index >= answers.size() || !answers[index].answered) return false;
    value = static_cast<int>(std::strtoll(answers[index].value.c_str(), nullptr, 10));
    return true;
}

// The text of the answer (empty when missing), cut to the field.
template <size_t N>
void Text(const std::vector<ObjectRequest>& answers, size_t index, char (&field)[N], size_t limit = N - 1)
{
    std::string text;
    if (index < answers.size() && answers[index].answered) text = answers[index].value;
    if (text.size() > limit) text.resize(limit);
    CopyText(field, text.c_str());
}

bool Differs(const char* a, const char* b) { return std::strcmp(a, b) != 0; }

void Unanswered(ListData& record)
{
    record.kind = -1;
    record.printerStatus = 6;
    record.errorCode = 512;
}

// Both object sets begin with name, printer status, model and location:
// reads them and fills those, with the address and the kind.
bool ReadCommonObjects(uint32_t address, int kind, const std::vector<int>& objects, const Communities& communities,
                       ListData& record, std::vector<ObjectRequest>& answers, QueryFailure* failure)
{
    record.ipAddress = address;
    CopyText(record.port, qavplatform::AddressText(address).c_str());
    record.kind = kind;
    if (!Read(address, objects, communities, answers, failure)) {
        Unanswered(record);
        return false;
    }
    Text(answers, 0, record.name);
    if (!Integer(answers, 1, record.printerStatus)) record.printerStatus = 6;
    Text(answers, 2, record.model);
    Text(answers, 3, record.location);
    return true;
}

} // namespace

bool ReadIntegerObject(uint32_t address, int object, const Communities& communities, int& value)
{
    std::vector<ObjectRequest> answers;
    return Read(address, {object}, communities, answers, nullptr) && Integer(answers, 0, value);
}

Communities ReadCommunities()
{
    const qavsettings::MgmtConfig c = qavsettings::ReadMgmtConfig(qavsettings::Reader::kDeviceList);
    return {c.readCommunity, c.writeCommunity};
}

std::string RenewalTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char text[64];
    // A time format: the day of the month has two digits ("08-December-2026").
    std::strftime(text, sizeof text, "%d-%B-%Y %H:%M:%S", &tm);
    return text;
}

bool IsPrinter(uint32_t address, const Communities& communities, QueryFailure* failure)
{
    // hrDeviceType of the first device: the printer type is
    // 1.3.6.1.2.1.25.3.1.5; and hrDeviceErrors, a Counter32 of the device
    // table.
    std::vector<ObjectRequest> answers;
    if (!Read(address, {1401, 1441}, communities, answers, failure)) return false;
    return answers[0].answered && answers[0].value.find(".5") != std::string::npos && answers[1].answered;
}

bool ReadMakerObjects(uint32_t address, ListData& record, const ListData& previous, const Communities& communities,
                      QueryFailure* failure)
{
    record.isBCP = 1;
    static const std::vector<int> objects = {201,   121,   81,  221, 20781, 20801, 20821, 20901,
                                             20941, 22761, 22801, 161, 1421,  24161, 24141};
    std::vector<ObjectRequest> answers;
    if (!ReadCommonObjects(address, 1, objects, communities, record, answers, failure)) return false;
    Text(answers, 4, record.serial);
    Text(answers, 5, record.manager);
    Text(answers, 6, record.comment);
    if (!Integer(answers, 7, record.errorCode)) record.errorCode = 512;
    const bool hasHead = std::strcmp(record.model, kModelWithoutHead) != 0;
    if (!hasHead || !Integer(answers, 8, record.headStatus)) record.headStatus = 0;
    if (!Integer(answers, 9, record.dhcpEnable)) record.dhcpEnable = -1;
    Text(answers, 10, record.dhcpHostName, 32);
    Text(answers, 11, record.auxiliaryText);
    // Answer 12 (hrDeviceStatus) is read with the set and not kept.
    if (hasHead) {
        int n = 0;
        if (Integer(answers, 13, n) && n != -1) CopyText(record.rfidError, std::to_string(n).c_str());
        if (Integer(answers, 14, n) && n != -1) CopyText(record.rfidOk, std::to_string(n).c_str());
    }

    const bool changed = Differs(record.name, previous.name) || record.printerStatus != previous.printerStatus ||
                         Differs(record.model, previous.model) || Differs(record.location, previous.location) ||
                         Differs(record.serial, previous.serial) || Differs(record.manager, previous.manager) ||
                         Differs(record.comment, previous.comment) || record.errorCode != previous.errorCode ||
                         record.headStatus != previous.headStatus || record.dhcpEnable != previous.dhcpEnable ||
                         Differs(record.dhcpHostName, previous.dhcpHostName) ||
                         Differs(record.auxiliaryText, previous.auxiliaryText);
    CopyText(record.renewalTime, changed ? RenewalTimeNow().c_str() : previous.renewalTime);
    return true;
}

bool ReadStandardObjects(uint32_t address, ListData& record, const ListData& previous,
                         const Communities& communities, QueryFailure* failure)
{
    record.dhcpEnable = -1;
    static const std::vector<int> objects = {201, 121, 81, 221, 141, 1381, 1421};
    std::vector<ObjectRequest> answers;
    if (!ReadCommonObjects(address, 0, objects, communities, record, answers, failure)) return false;
    // hrPrinterDetectedErrorState: the first byte of the bit string, given
    // as hex text when the value is not a single character.
    if (answers[4].answered) {
        const std::string& errors = answers[4].value;
        unsigned int byte = 0;
        if (errors.size() == 1) byte = static_cast<unsigned char>(errors[0]);
        else if (std::sscanf(errors.c_str(), " %02X", &byte) != 1) byte = 0;
        record.errorCode = static_cast<int>(byte);
    } else {
        record.errorCode = 512;
    }
    Text(answers, 5, record.serial);
    const bool changed = Differs(record.name, previous.name) || record.printerStatus != previous.printerStatus ||
                         Differs(record.model, previous.model) || Differs(record.location, previous.location) ||
                         Differs(record.serial, previous.serial);
    const bool alive = answers[6].answered;
    CopyText(record.renewalTime, alive && changed ? RenewalTimeNow().c_str() : previous.renewalTime);
    return true;
}

} // namespace nlist

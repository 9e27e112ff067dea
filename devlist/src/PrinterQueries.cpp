#include "PrinterQueries.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "DeviceModel.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/CQBPVb.h"
#include "qavres/Resources.h"
#include "qavsettings/SettingsFiles.h"

namespace nlist {

namespace {

bool Fail(QueryFailure* failure, QueryFailure why)
{
    if (failure) *failure = why;
    return false;
}

// One get-next exchange of the given objects (their table OIDs, without
// instance). On success `answers` holds one answer per object, in order,
// and `oids` the requested OID of each.
bool GetNext(uint32_t address, const std::vector<int>& objects, const Communities& communities,
             std::vector<std::string>& oids, CQBPVb& answers, QueryFailure* failure)
{
    const qavres::ObjectTable& table = Objects();
    if (!table.IsLoaded()) return Fail(failure, QueryFailure::kNoObjectTable);
    CQBPVb request;
    oids.clear();
    for (int object : objects) {
        const std::string& oid = table.Oid(object);
        if (oid.empty()) return Fail(failure, QueryFailure::kNoObjectTable);
        if (request.Add(oid.c_str(), 5, "") != 0) return Fail(failure, QueryFailure::kNoAnswer);
        oids.push_back(oid);
    }
    int rc = 0;
    CQBPTrans session(rc, 1);
    if (session.SetCommunity(communities.read.c_str(), communities.write.c_str()) != 0)
        return Fail(failure, QueryFailure::kSetCommunity);
    if (session.Open(0, DottedAddress(address).c_str()) != 0) return Fail(failure, QueryFailure::kNoAnswer);
    const int result = session.GetNextObject(request, answers);
    session.Close();
    if (result != 0) return Fail(failure, QueryFailure::kNoAnswer);
    // An error answer (SNMPv1: one binding past the end of the agent's tree
    // fails the whole request) only echoes the request: none of its values
    // count.
    for (int i = 0; i < answers.GetSize(); ++i) {
        if (answers.GetType(i) < 0) {
            answers.Remove();
            break;
        }
    }
    if (failure) *failure = QueryFailure::kNone;
    return true;
}

// The answer at index when it is a value of the requested object, that is
// an instance below its OID: a get-next past an object the printer lacks
// answers the next object in the tree, whose value must not land in this
// object's field.
bool Answer(const CQBPVb& answers, const std::vector<std::string>& oids, size_t index, std::string& value,
            int* type = nullptr)
{
    if (index >= oids.size() || static_cast<int>(index) >= answers.GetSize()) return false;
    const int t = answers.GetType(static_cast<int>(index));
    if (t < 0 || t == 5) return false;
    const std::string& oid = answers.OidAt(static_cast<int>(index));
    const std::string& prefix = oids[index];
    if (oid.size() <= prefix.size() + 1 || oid.compare(0, prefix.size(), prefix) != 0 || oid[prefix.size()] != '.')
        return false;
    value = answers.ValueAt(static_cast<int>(index));
    if (type) *type = t;
    return true;
}

bool Integer(const CQBPVb& answers, const std::vector<std::string>& oids, size_t index, int& value)
{
    std::string text;
    int type = 0;
    if (!Answer(answers, oids, index, text, &type)) return false;
    if (type != 2 && type != 65 && type != 66 && type != 67) return false;
    value = static_cast<int>(std::strtoll(text.c_str(), nullptr, 10));
    return true;
}

// The text of the answer (empty when missing), cut to the field.
template <size_t N>
void Text(const CQBPVb& answers, const std::vector<std::string>& oids, size_t index, char (&field)[N],
          size_t limit = N - 1)
{
    std::string text;
    if (!Answer(answers, oids, index, text)) text.clear();
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
// sends the request and fills those, with the address and the kind.
bool ReadCommonObjects(uint32_t address, int kind, const std::vector<int>& objects, const Communities& communities,
                       ListData& record, std::vector<std::string>& oids, CQBPVb& answers, QueryFailure* failure)
{
    record.ipAddress = address;
    CopyText(record.port, DottedAddress(address).c_str());
    record.kind = kind;
    if (!GetNext(address, objects, communities, oids, answers, failure)) {
        Unanswered(record);
        return false;
    }
    Text(answers, oids, 0, record.name);
    if (!Integer(answers, oids, 1, record.printerStatus)) record.printerStatus = 6;
    Text(answers, oids, 2, record.model);
    Text(answers, oids, 3, record.location);
    return true;
}

} // namespace

bool ReadIntegerObject(uint32_t address, int object, const Communities& communities, int& value)
{
    std::vector<std::string> oids;
    CQBPVb answers;
    return GetNext(address, {object}, communities, oids, answers, nullptr) && Integer(answers, oids, 0, value);
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
    std::strftime(text, sizeof text, "%B-%Y %H:%M:%S", &tm);
    return std::to_string(tm.tm_mday) + "-" + text;
}

bool IsPrinter(uint32_t address, const Communities& communities, QueryFailure* failure)
{
    const qavres::ObjectTable& table = Objects();
    if (!table.IsLoaded() || table.Oid(1401).empty() || table.Oid(1441).empty())
        return Fail(failure, QueryFailure::kNoObjectTable);
    int rc = 0;
    CQBPTrans session(rc, 1);
    if (session.SetCommunity(communities.read.c_str(), communities.write.c_str()) != 0)
        return Fail(failure, QueryFailure::kSetCommunity);
    if (session.Open(0, DottedAddress(address).c_str()) != 0) return Fail(failure, QueryFailure::kNoAnswer);
    if (failure) *failure = QueryFailure::kNone;

    bool printer = false;
    CQBPVb request, answer;
    // hrDeviceType: the printer type is 1.3.6.1.2.1.25.3.1.5.
    if (request.Add(table.Oid(1401).c_str(), 5, "") == 0 && session.GetNextObject(request, answer) == 0 &&
        answer.GetSize() >= 1 && answer.GetType(0) >= 0 && answer.ValueAt(0).find(".5") != std::string::npos) {
        // hrDeviceErrors: a Counter32 of the device table.
        const std::string& errors = table.Oid(1441);
        request.Remove();
        answer.Remove();
        printer = request.Add(errors.c_str(), 5, "") == 0 && session.GetNextObject(request, answer) == 0 &&
                  answer.GetSize() >= 1 && answer.GetType(0) == 65 &&
                  answer.OidAt(0).compare(0, errors.size(), errors) == 0;
    } else if (answer.GetSize() == 0) {
        Fail(failure, QueryFailure::kNoAnswer);
    }
    session.Close();
    return printer;
}

bool ReadMakerObjects(uint32_t address, ListData& record, const ListData& previous, const Communities& communities,
                      QueryFailure* failure)
{
    record.isBCP = 1;
    static const std::vector<int> objects = {201,   121,   81,  221, 20781, 20801, 20821, 20901,
                                             20941, 22761, 22801, 161, 1421,  24161, 24141};
    std::vector<std::string> oids;
    CQBPVb answers;
    if (!ReadCommonObjects(address, 1, objects, communities, record, oids, answers, failure)) return false;
    Text(answers, oids, 4, record.serial);
    Text(answers, oids, 5, record.manager);
    Text(answers, oids, 6, record.comment);
    if (!Integer(answers, oids, 7, record.errorCode)) record.errorCode = 512;
    const bool hasHead = std::strcmp(record.model, kModelWithoutHead) != 0;
    if (!hasHead || !Integer(answers, oids, 8, record.headStatus)) record.headStatus = 0;
    if (!Integer(answers, oids, 9, record.dhcpEnable)) record.dhcpEnable = -1;
    Text(answers, oids, 10, record.dhcpHostName, 32);
    Text(answers, oids, 11, record.auxiliaryText);
    int unused = 0;
    Integer(answers, oids, 12, unused); // hrDeviceStatus: read with the set, not kept
    if (hasHead) {
        int n = 0;
        if (Integer(answers, oids, 13, n) && n != -1) CopyText(record.rfidError, std::to_string(n).c_str());
        if (Integer(answers, oids, 14, n) && n != -1) CopyText(record.rfidOk, std::to_string(n).c_str());
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
    std::vector<std::string> oids;
    CQBPVb answers;
    if (!ReadCommonObjects(address, 0, objects, communities, record, oids, answers, failure)) return false;
    // hrPrinterDetectedErrorState: the first byte of the bit string, given
    // as hex text when the value is not a single character.
    std::string errors;
    if (Answer(answers, oids, 4, errors)) {
        unsigned int byte = 0;
        if (errors.size() == 1) byte = static_cast<unsigned char>(errors[0]);
        else if (std::sscanf(errors.c_str(), " %02X", &byte) != 1) byte = 0;
        record.errorCode = static_cast<int>(byte);
    } else {
        record.errorCode = 512;
    }
    Text(answers, oids, 5, record.serial);
    std::string counter;
    const bool changed = Differs(record.name, previous.name) || record.printerStatus != previous.printerStatus ||
                         Differs(record.model, previous.model) || Differs(record.location, previous.location) ||
                         Differs(record.serial, previous.serial);
    const bool alive = Answer(answers, oids, 6, counter);
    CopyText(record.renewalTime, alive && changed ? RenewalTimeNow().c_str() : previous.renewalTime);
    return true;
}

} // namespace nlist

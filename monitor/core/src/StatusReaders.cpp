#include "nwatch/StatusReaders.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "ncomm/CQBPVb.h"
#include "nlist/Nlist.h"
#include "qavobj/PrinterObjects.h"
#include "qavplatform/Address.h"
#include "qavres/Resources.h"

namespace nwatch {

namespace {

constexpr const char* kModelWithoutHead = "QAV M-RA1";

void CopyText(char* field, size_t size, const std::string& value)
{
    const size_t n = std::min(value.size(), size - 1);
    std::memcpy(field, value.data(), n);
    field[n] = '\0';
}

// Reads the objects in one exchange through the shared reader (a get-next
// of each bare identifier, so that agents which want the instance in a GET
// answer too). The answers land in the requests by their place.
bool Exchange(uint32_t address, std::vector<qavobj::ObjectRequest>& requests, const ReadContext& context,
              ReadFailure* failure)
{
    auto fail = [&](ReadFailure why) {
        if (failure) *failure = why;
        return false;
    };
    if (!context.objects || !context.objects->IsLoaded()) return fail(ReadFailure::kNoObjectTable);
    const qavobj::Target target =
        qavobj::Target::Snmp(address, context.readCommunity, context.writeCommunity);
    const qavobj::Outcome out = qavobj::ReadObjects(target, {context.objects}, requests);
    if (out.setCommunityFailed) return fail(ReadFailure::kSetCommunity);
    if (out.code == qavobj::kNoObjectTable) return fail(ReadFailure::kNoObjectTable);
    if (!out.ok()) return fail(ReadFailure::kNoAnswer);
    if (failure) *failure = ReadFailure::kNone;
    return true;
}

// The request for an object: its table's type, or `type` for an object the
// table does not type.
qavobj::ObjectRequest Request(const ReadContext& context, int object, int type)
{
    const int tableType = context.objects ? context.objects->TypeCode(object) : ber::kNull;
    return {tableType == ber::kNull ? type : tableType, object};
}

// The answer of request i as text; false when it was not answered.
bool Text(const std::vector<qavobj::ObjectRequest>& answers, size_t i, std::string& value)
{
    if (i >= answers.size() || !answers[i].answered) return false;
    value = answers[i].value;
    return true;
}

// The answer of request i as a number; false when it was not answered or
// is no number.
bool Number(const std::vector<qavobj::ObjectRequest>& answers, size_t i, int& n)
{
    std::string v;
    if (!Text(answers, i, v)) return false;
    const int type = answers[i].type;
    if (type != ber::kInteger && type != ber::kCounter32 && type != ber::kGauge32 && type != ber::kTimeTicks)
        return false;
    n = static_cast<int>(std::strtoll(v.c_str(), nullptr, 10));
    return true;
}

bool ChangedText(const char* field, const std::string& value) { return std::strcmp(field, value.c_str()) != 0; }

} // namespace

std::string RenewalTimeNow()
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    return RenewalTimeText(tm);
}

std::string RenewalTimeText(const std::tm& tm)
{
    char text[64];
    if (std::strftime(text, sizeof text, "%d-%B-%Y %H:%M:%S", &tm) == 0) return std::string();
    return text;
}

bool ReadObjects(uint32_t address, std::vector<ObjectRequest>& requests, const ReadContext& context,
                 ReadFailure* failure)
{
    for (ObjectRequest& r : requests) {
        r.answered = false;
        r.value.clear();
    }
    if (requests.size() > static_cast<size_t>(qavobj::kMaxObjects)) {
        if (failure) *failure = ReadFailure::kNoAnswer;
        return false;
    }
    std::vector<qavobj::ObjectRequest> shared;
    for (const ObjectRequest& r : requests) shared.emplace_back(r.kind, r.object);
    if (!Exchange(address, shared, context, failure)) return false;
    for (size_t i = 0; i < requests.size(); ++i) {
        ObjectRequest& r = requests[i];
        const bool kindRead = r.kind == ber::kInteger || r.kind == ber::kCounter32 || r.kind == ber::kOctetString ||
                              r.kind == ber::kOid || r.kind == ber::kIpAddress;
        if (!kindRead || !shared[i].answered) continue;
        r.value = shared[i].value.substr(0, 259);
        r.answered = true;
    }
    return true;
}

int MakerCheck(uint32_t address, bool mayQuery, const ReadContext& context)
{
    const int known = KnownMakerFlag(address);
    if (known != -1) return known;
    if (!mayQuery) return 0;
    return AskMakerFlag(address, context);
}

int KnownMakerFlag(uint32_t address)
{
    const int index = FindListDatabyIPAddress(address);
    if (index < 0) return -1;
    ListData record;
    GetItemFromListData(&record, index);
    return record.isBCP;
}

int AskMakerFlag(uint32_t address, const ReadContext& context, bool* answered)
{
    if (answered) *answered = false;
    std::vector<ObjectRequest> request = {{ber::kOid, kObjectMakerOid, {}, false}};
    // A printer that does not answer is asked again next time. One that
    // answers without an object identifier of the maker's is not the
    // maker's printer.
    if (!ReadObjects(address, request, context)) return 0;
    if (answered) *answered = true;
    const std::string prefix = context.language ? context.language->Get(kTextMakerEnterprise) : std::string();
    const int flag = request[0].answered && !prefix.empty() && qavobj::OidWithin(request[0].value, prefix) ? 1 : 0;
    const int now = FindListDatabyIPAddress(address); // the list may have changed meanwhile
    if (now >= 0) SetBCPFlagListData(now, flag);
    return flag;
}

int ReadFullStatus(uint32_t address, ListData& record, const ReadContext& context, ReadFailure* failure,
                   const ListData* compareWith)
{
    const ListData previous = compareWith ? *compareWith : record;
    record.ipAddress = address;
    record.kind = 1;
    record.printerStatus = 6;
    record.errorCode = 512;
    CopyText(record.port, sizeof record.port, qavplatform::AddressText(address));

    // The objects in the order of the answers taken below; the kind each is
    // read as when the object table gives none.
    const int T = ber::kOctetString, N = ber::kInteger, C = ber::kCounter32;
    const std::pair<int, int> objects[] = {
        {201, T},   {121, N},   {81, T},    {221, T},   {20781, T}, {20801, T}, {20821, T}, {20901, N},
        {20941, N}, {22761, N}, {22801, T}, {161, T},   {1421, C},  {24161, N}, {24141, N},
    };
    std::vector<qavobj::ObjectRequest> answers;
    for (const auto& [object, type] : objects) answers.push_back(Request(context, object, type));
    if (!Exchange(address, answers, context, failure)) {
        record.kind = -1;
        return 0;
    }
    bool changed = false;
    std::string v;
    int n = 0;
    // Each compared field is compared with the same field of `previous`.
    auto text = [&](size_t i, char* field, const char* before, size_t size) {
        if (!Text(answers, i, v)) v.clear();
        if (v.size() >= size) v.resize(size - 1);
        changed = changed || ChangedText(before, v);
        CopyText(field, size, v);
    };
    text(0, record.name, previous.name, sizeof record.name);
    record.printerStatus = Number(answers, 1, n) ? n : 6;
    changed = changed || record.printerStatus != previous.printerStatus;
    text(2, record.model, previous.model, sizeof record.model);
    text(3, record.location, previous.location, sizeof record.location);
    text(4, record.serial, previous.serial, sizeof record.serial);
    text(5, record.manager, previous.manager, sizeof record.manager);
    text(6, record.comment, previous.comment, sizeof record.comment);
    record.errorCode = Number(answers, 7, n) ? n : 512;
    changed = changed || record.errorCode != previous.errorCode;
    const bool hasHead = std::strcmp(record.model, kModelWithoutHead) != 0;
    if (hasHead) {
        if (Number(answers, 8, n)) {
            if (n != -1 && n != previous.headStatus) changed = true;
            record.headStatus = n;
        }
    } else {
        record.headStatus = 0;
    }
    if (Number(answers, 9, n)) {
        changed = changed || n != previous.dhcpEnable;
        record.dhcpEnable = n;
    }
    if (!Text(answers, 10, v)) v.clear();
    v = v.substr(0, 32);
    changed = changed || ChangedText(previous.dhcpHostName, v);
    CopyText(record.dhcpHostName, sizeof record.dhcpHostName, v);
    text(11, record.auxiliaryText, previous.auxiliaryText, sizeof record.auxiliaryText);
    // 12: read with the set, not stored.
    for (size_t i : {size_t{13}, size_t{14}}) {
        char* field = i == 13 ? record.rfidError : record.rfidOk;
        const size_t size = i == 13 ? sizeof record.rfidError : sizeof record.rfidOk;
        if (hasHead && Number(answers, i, n) && n != -1) CopyText(field, size, std::to_string(n));
    }
    CopyText(record.renewalTime, sizeof record.renewalTime, changed ? RenewalTimeNow() : previous.renewalTime);
    record.isBCP = 1;
    return 1;
}

int ReadBasicStatus(uint32_t address, ListData& record, const ReadContext& context, ReadFailure* failure,
                    const ListData* compareWith)
{
    const ListData previous = compareWith ? *compareWith : record;
    record.ipAddress = address;
    record.kind = 0;
    record.printerStatus = 6;
    record.errorCode = 512;
    record.dhcpEnable = -1;
    record.dhcpHostName[0] = '\0';
    CopyText(record.port, sizeof record.port, qavplatform::AddressText(address));

    const int T = ber::kOctetString, N = ber::kInteger, C = ber::kCounter32;
    const std::pair<int, int> objects[] = {{201, T}, {121, N}, {81, T}, {221, T}, {141, T}, {1381, T}, {1421, C}};
    std::vector<qavobj::ObjectRequest> answers;
    for (const auto& [object, type] : objects) answers.push_back(Request(context, object, type));
    if (!Exchange(address, answers, context, failure)) {
        record.kind = -1;
        return 0;
    }
    std::string v;
    int n = 0;
    auto text = [&](size_t i, char* field, size_t size) {
        if (!Text(answers, i, v)) v.clear();
        CopyText(field, size, v);
    };
    text(0, record.name, sizeof record.name);
    record.printerStatus = Number(answers, 1, n) ? n : 6;
    text(2, record.model, sizeof record.model);
    text(3, record.location, sizeof record.location);
    if (Text(answers, 4, v)) {
        unsigned int byte = 0;
        if (v.size() == 1) {
            byte = static_cast<unsigned char>(v[0]);
        } else if (std::sscanf(v.c_str(), " %02X", &byte) != 1) {
            byte = 0;
        }
        record.errorCode = static_cast<int>(byte);
    }
    if (Text(answers, 5, v)) CopyText(record.serial, sizeof record.serial, v);
    const bool changed = ChangedText(previous.name, record.name) || record.printerStatus != previous.printerStatus ||
                         ChangedText(previous.model, record.model) || ChangedText(previous.location, record.location) ||
                         ChangedText(previous.serial, record.serial);
    const bool counterRead = Text(answers, 6, v);
    CopyText(record.renewalTime, sizeof record.renewalTime,
             counterRead && changed ? RenewalTimeNow() : previous.renewalTime);
    return 1;
}

} // namespace nwatch

#include "nwatch/StatusReaders.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "ncomm/CQBPTrans.h"
#include "nlist/Nlist.h"
#include "nwatch/Notification.h"
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

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// One object in a request: its table OID, the kind to read it as, and where
// the answer lands.
struct Slot {
    int object;
    std::string oid;
    bool present = false; // in the request (its table entry exists)
    int answerIndex = -1;
};

// Sends one GET of the given objects. Objects missing from the table are
// left out of the request. On success, `answers` holds the answer list and
// each present slot its index in it.
bool Exchange(uint32_t address, std::vector<Slot>& slots, CQBPVb& answers, const ReadContext& context,
              ReadFailure* failure)
{
    auto fail = [&](ReadFailure why) {
        if (failure) *failure = why;
        return false;
    };
    if (!context.objects || !context.objects->IsLoaded()) return fail(ReadFailure::kNoObjectTable);
    CQBPVb request;
    for (Slot& s : slots) {
        s.oid = context.objects->Oid(s.object);
        if (s.oid.empty()) continue;
        if (request.Add(s.oid.c_str(), 5, "") != 0) return fail(ReadFailure::kNoAnswer);
        s.present = true;
    }
    int rc = 0;
    CQBPTrans session(rc, 1);
    if (session.SetCommunity(context.readCommunity.c_str(), context.writeCommunity.c_str()) != 0)
        return fail(ReadFailure::kSetCommunity);
    if (session.Open(0, AddressText(address).c_str()) != 0) return fail(ReadFailure::kNoAnswer);
    if (session.GetObject(request, answers) != 0) return fail(ReadFailure::kNoAnswer);
    // Answers follow the request in order; a shorter answer (bindings the
    // library could not keep) shifts nothing that is checked by OID below.
    int next = 0;
    for (Slot& s : slots) {
        if (s.present) s.answerIndex = next++;
    }
    if (failure) *failure = ReadFailure::kNone;
    return true;
}

// The answer of a slot as an integer, a counter or a text; false when it is
// missing, carries a status, or does not belong to the object.
bool Answer(const CQBPVb& answers, const Slot& s, std::string& value, int* integer = nullptr)
{
    if (!s.present || s.answerIndex < 0 || s.answerIndex >= answers.GetSize()) return false;
    const int type = answers.GetType(s.answerIndex);
    if (type < 0 || type == 5) return false;
    if (!StartsWith(answers.OidAt(s.answerIndex), s.oid)) return false;
    value = answers.ValueAt(s.answerIndex);
    if (integer) {
        if (type != 2 && type != 65 && type != 66 && type != 67) return false;
        *integer = static_cast<int>(std::strtoll(value.c_str(), nullptr, 10));
    }
    return true;
}

bool ChangedText(const char* field, const std::string& value) { return std::strcmp(field, value.c_str()) != 0; }

} // namespace

std::string RenewalTimeNow()
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char text[64];
    std::strftime(text, sizeof text, "%B-%Y %H:%M:%S", &tm);
    return std::to_string(tm.tm_mday) + "-" + text;
}

bool ReadObjects(uint32_t address, std::vector<ObjectRequest>& requests, const ReadContext& context,
                 ReadFailure* failure)
{
    if (requests.size() > 20) {
        if (failure) *failure = ReadFailure::kNoAnswer;
        return false;
    }
    std::vector<Slot> slots;
    for (ObjectRequest& r : requests) {
        r.answered = false;
        r.value.clear();
        slots.push_back({r.object, {}, false, -1});
    }
    CQBPVb answers;
    if (!Exchange(address, slots, answers, context, failure)) return false;
    for (size_t i = 0; i < requests.size(); ++i) {
        ObjectRequest& r = requests[i];
        std::string value;
        int n = 0;
        if (r.kind == 2) {
            if (Answer(answers, slots[i], value, &n)) {
                r.value = std::to_string(n);
                r.answered = true;
            }
        } else if (r.kind == 65) {
            if (Answer(answers, slots[i], value, &n)) {
                r.value = std::to_string(static_cast<unsigned int>(n));
                r.answered = true;
            }
        } else if (r.kind == 4 || r.kind == 6 || r.kind == 64) {
            if (Answer(answers, slots[i], value)) {
                r.value = value.substr(0, 259);
                r.answered = true;
            }
        }
    }
    return true;
}

int MakerCheck(uint32_t address, bool mayQuery, const ReadContext& context)
{
    const int index = FindListDatabyIPAddress(address);
    if (index >= 0) {
        ListData record;
        GetItemFromListData(&record, index);
        if (record.isBCP != -1) return record.isBCP;
    }
    if (!mayQuery) return 0;
    std::vector<ObjectRequest> request = {{6, 1361, {}, false}};
    // A printer that does not answer is asked again next time. One that
    // answers without an object identifier of the maker's (standard agents
    // refuse the object without instance) is not the maker's printer.
    if (!ReadObjects(address, request, context)) return 0;
    const std::string prefix = context.language ? context.language->Get(3300) : std::string();
    const int flag = request[0].answered && !prefix.empty() && StartsWith(request[0].value, prefix) ? 1 : 0;
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
    CopyText(record.port, sizeof record.port, AddressText(address));

    std::vector<Slot> slots;
    for (int object : {201, 121, 81, 221, 20781, 20801, 20821, 20901, 20941, 22761, 22801, 161, 1421, 24161, 24141})
        slots.push_back({object, {}, false, -1});
    CQBPVb answers;
    if (!Exchange(address, slots, answers, context, failure)) {
        record.kind = -1;
        return 0;
    }
    bool changed = false;
    std::string v;
    int n = 0;
    // Each compared field is compared with the same field of `previous`.
    auto text = [&](int slot, char* field, const char* before, size_t size) {
        if (!Answer(answers, slots[slot], v)) v.clear();
        if (v.size() >= size) v.resize(size - 1);
        changed = changed || ChangedText(before, v);
        CopyText(field, size, v);
    };
    text(0, record.name, previous.name, sizeof record.name);
    record.printerStatus = Answer(answers, slots[1], v, &n) ? n : 6;
    changed = changed || record.printerStatus != previous.printerStatus;
    text(2, record.model, previous.model, sizeof record.model);
    text(3, record.location, previous.location, sizeof record.location);
    text(4, record.serial, previous.serial, sizeof record.serial);
    text(5, record.manager, previous.manager, sizeof record.manager);
    text(6, record.comment, previous.comment, sizeof record.comment);
    record.errorCode = Answer(answers, slots[7], v, &n) ? n : 512;
    changed = changed || record.errorCode != previous.errorCode;
    const bool hasHead = std::strcmp(record.model, kModelWithoutHead) != 0;
    if (hasHead) {
        if (Answer(answers, slots[8], v, &n)) {
            if (n != -1 && n != previous.headStatus) changed = true;
            record.headStatus = n;
        }
    } else {
        record.headStatus = 0;
    }
    if (Answer(answers, slots[9], v, &n)) {
        changed = changed || n != previous.dhcpEnable;
        record.dhcpEnable = n;
    }
    if (!Answer(answers, slots[10], v)) v.clear();
    v = v.substr(0, 32);
    changed = changed || ChangedText(previous.dhcpHostName, v);
    CopyText(record.dhcpHostName, sizeof record.dhcpHostName, v);
    text(11, record.auxiliaryText, previous.auxiliaryText, sizeof record.auxiliaryText);
    Answer(answers, slots[12], v, &n); // read, not stored
    for (int slot : {13, 14}) {
        char* field = slot == 13 ? record.rfidError : record.rfidOk;
        const size_t size = slot == 13 ? sizeof record.rfidError : sizeof record.rfidOk;
        if (hasHead && Answer(answers, slots[slot], v, &n) && n != -1) CopyText(field, size, std::to_string(n));
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
    CopyText(record.port, sizeof record.port, AddressText(address));

    std::vector<Slot> slots;
    for (int object : {201, 121, 81, 221, 141, 1381, 1421}) slots.push_back({object, {}, false, -1});
    CQBPVb answers;
    if (!Exchange(address, slots, answers, context, failure)) {
        record.kind = -1;
        return 0;
    }
    std::string v;
    int n = 0;
    auto text = [&](int slot, char* field, size_t size) {
        if (!Answer(answers, slots[slot], v)) v.clear();
        CopyText(field, size, v);
    };
    text(0, record.name, sizeof record.name);
    record.printerStatus = Answer(answers, slots[1], v, &n) ? n : 6;
    text(2, record.model, sizeof record.model);
    text(3, record.location, sizeof record.location);
    if (Answer(answers, slots[4], v)) {
        unsigned int byte = 0;
        if (v.size() == 1) {
            byte = static_cast<unsigned char>(v[0]);
        } else if (std::sscanf(v.c_str(), " %02X", &byte) != 1) {
            byte = 0;
        }
        record.errorCode = static_cast<int>(byte);
    }
    if (Answer(answers, slots[5], v)) CopyText(record.serial, sizeof record.serial, v);
    const bool changed = ChangedText(previous.name, record.name) || record.printerStatus != previous.printerStatus ||
                         ChangedText(previous.model, record.model) || ChangedText(previous.location, record.location) ||
                         ChangedText(previous.serial, record.serial);
    const bool counterRead = Answer(answers, slots[6], v);
    CopyText(record.renewalTime, sizeof record.renewalTime,
             counterRead && changed ? RenewalTimeNow() : previous.renewalTime);
    return 1;
}

} // namespace nwatch

// The refresh reads. Objects are asked for by their table OID with get-next,
// so a scalar answers with its ".0" instance; an answer counts only when its
// OID lies under the object asked for.
#include "RecordQueries.h"

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

constexpr const char* kModelWithoutHead = "QAV M-RA1";

struct Answer {
    bool ok = false;
    int type = 0;
    std::string value;
};

// One get-next of the objects; false when the exchange failed. answers[i]
// belongs to objects[i].
bool GetNext(uint32_t address, const std::vector<int>& objects, std::vector<Answer>& answers)
{
    const qavres::ObjectTable& table = Objects();
    answers.assign(objects.size(), {});
    std::vector<std::string> oids;
    CQBPVb request;
    for (int object : objects) {
        oids.push_back(table.Oid(object));
        // An object missing from the table is asked for as the table's root
        // would be; its answer is refused below.
        if (request.Add(oids.back().empty() ? std::string("0.0") : oids.back(), 5, std::string()) != 0)
            return false;
    }
    const qavsettings::MgmtConfig settings = qavsettings::ReadMgmtConfig(qavsettings::Reader::kDeviceList);
    int rc = 0;
    CQBPTrans session(rc, 1);
    if (session.SetCommunity(settings.readCommunity.c_str(), settings.writeCommunity.c_str()) != 0) return false;
    if (session.Open(0, DottedAddress(address).c_str()) != 0) return false;
    CQBPVb result;
    const bool ok = session.GetNextObject(request, result) == 0;
    session.Close();
    if (!ok) return false;
    for (size_t i = 0; i < objects.size() && static_cast<int>(i) < result.GetSize(); ++i) {
        const std::string oid = result.OidAt(static_cast<int>(i));
        const int type = result.GetType(static_cast<int>(i));
        if (oids[i].empty() || type < 0 || type == 5 || oid.compare(0, oids[i].size(), oids[i]) != 0 ||
            (oid.size() > oids[i].size() && oid[oids[i].size()] != '.'))
            continue;
        answers[i] = {true, type, result.ValueAt(static_cast<int>(i))};
    }
    return true;
}

bool Integer(const Answer& a, int& value)
{
    if (!a.ok || (a.type != 2 && a.type != 65 && a.type != 66 && a.type != 67)) return false;
    value = static_cast<int>(std::strtoll(a.value.c_str(), nullptr, 10));
    return true;
}

// Sets a text field from an answer (empty when unanswered); true when it changed.
template <size_t N>
bool SetText(char (&field)[N], const Answer& a, size_t limit = N - 1)
{
    std::string v = a.ok ? a.value : std::string();
    if (v.size() > limit) v.resize(limit);
    const bool changed = v != field;
    CopyText(field, v.c_str());
    return changed;
}

void Fail(ListData& r)
{
    r.kind = -1;
    r.printerStatus = 6;
    r.errorCode = 512;
}

} // namespace

std::string RenewalTimeText()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char rest[64];
    std::strftime(rest, sizeof rest, "%B-%Y %H:%M:%S", &tm);
    return std::to_string(tm.tm_mday) + "-" + rest;
}

bool CheckReachable(uint32_t address)
{
    std::vector<Answer> a;
    int status = 0;
    return GetNext(address, {121}, a) && Integer(a[0], status);
}

void MarkUnreachable(ListData& r)
{
    Fail(r);
    for (char* text : {r.name, r.model, r.location, r.manager, r.comment, r.serial}) text[0] = '\0';
    r.dhcpHostName[0] = r.rfidError[0] = r.rfidOk[0] = '\0';
    r.dhcpEnable = -1;
}

int ReadMakerRecord(ListData& r)
{
    CopyText(r.port, DottedAddress(r.ipAddress).c_str());
    std::vector<Answer> a;
    if (!GetNext(r.ipAddress, {201, 121, 81, 221, 20781, 20801, 20821, 20901, 20941, 22761, 22801, 161, 1421, 24161,
                               24141},
                 a)) {
        Fail(r);
        return 0;
    }
    bool changed = false;
    int n = 0;
    changed |= SetText(r.name, a[0]);
    n = Integer(a[1], n) ? n : 6;
    changed |= n != r.printerStatus;
    r.printerStatus = n;
    changed |= SetText(r.model, a[2]);
    changed |= SetText(r.location, a[3]);
    changed |= SetText(r.serial, a[4]);
    changed |= SetText(r.manager, a[5]);
    changed |= SetText(r.comment, a[6]);
    n = Integer(a[7], n) ? n : 512;
    changed |= n != r.errorCode;
    r.errorCode = n;
    const bool hasHead = std::strcmp(r.model, kModelWithoutHead) != 0;
    n = 0;
    if (hasHead) Integer(a[8], n);
    changed |= n != r.headStatus;
    r.headStatus = n;
    n = -1;
    Integer(a[9], n);
    changed |= n != r.dhcpEnable;
    r.dhcpEnable = n;
    changed |= SetText(r.dhcpHostName, a[10], 32);
    changed |= SetText(r.auxiliaryText, a[11]);
    for (int i : {13, 14}) {
        char* field = i == 13 ? r.rfidError : r.rfidOk;
        const size_t size = i == 13 ? sizeof r.rfidError : sizeof r.rfidOk;
        if (hasHead && Integer(a[i], n) && n != -1) CopyText(field, size, std::to_string(n).c_str());
    }
    if (changed) CopyText(r.renewalTime, RenewalTimeText().c_str());
    r.kind = 1;
    r.isBCP = 1;
    return 1;
}

int ReadStandardRecord(ListData& r)
{
    CopyText(r.port, DottedAddress(r.ipAddress).c_str());
    r.dhcpEnable = -1;
    std::vector<Answer> a;
    if (!GetNext(r.ipAddress, {201, 121, 81, 221, 141, 1381, 1421}, a)) {
        Fail(r);
        return 0;
    }
    bool changed = false;
    int n = 0;
    changed |= SetText(r.name, a[0]);
    n = Integer(a[1], n) ? n : 6;
    changed |= n != r.printerStatus;
    r.printerStatus = n;
    changed |= SetText(r.model, a[2]);
    changed |= SetText(r.location, a[3]);
    r.errorCode = 512;
    if (a[4].ok) {
        unsigned int byte = 0;
        if (a[4].value.size() <= 1)
            byte = a[4].value.empty() ? 0 : static_cast<unsigned char>(a[4].value[0]);
        else if (std::sscanf(a[4].value.c_str(), " %02X", &byte) != 1)
            byte = 0;
        r.errorCode = static_cast<int>(byte);
    }
    changed |= SetText(r.serial, a[5]);
    if (a[6].ok && changed) CopyText(r.renewalTime, RenewalTimeText().c_str());
    r.kind = 0;
    return 1;
}

} // namespace nlist

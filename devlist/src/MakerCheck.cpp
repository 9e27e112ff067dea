// Whether a printer is one of the maker's: its system object identifier
// (object 1361) lies under the maker's enterprise (text 3300).
#include <algorithm>

#include "DeviceModel.h"
#include "PrinterQueries.h"
#include "ncomm/CQBPVb.h"
#include "qavobj/PrinterObjects.h"
#include "qavres/Resources.h"

namespace nlist {

bool UnderEnterprise(const std::string& oid, const std::string& prefix)
{
    if (prefix.empty() || oid.compare(0, prefix.size(), prefix) != 0) return false;
    // "1.3.6.1.4.1.324730" is not under "1.3.6.1.4.1.32473".
    return oid.size() == prefix.size() || prefix.back() == '.' || oid[prefix.size()] == '.';
}

namespace {

int IndexOf(const DeviceModel& m, uint32_t address)
{
    for (size_t i = 0; i < m.devices.size(); ++i) {
        if (m.devices[i].ipAddress == address) return static_cast<int>(i);
    }
    return -1;
}

// The stored flag of the printer, or -1 when it is not listed or not known.
int KnownFlag(uint32_t address)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    const int index = IndexOf(m, address);
    return index >= 0 ? m.devices[index].isBCP : -1;
}

// One get-next of object 1361's bare identifier, as every agent answers it
// (a GET of the identifier without instance only works on lenient ones).
// 1 when the answer is an object identifier under the maker's enterprise;
// 0 when the printer answered anything else (no such object, another type,
// an error status); -1 when it did not answer, or nothing can be decided
// (no object table, no text 3300).
int QueryMaker(uint32_t address, const Communities& communities)
{
    const std::string& prefix = Language().Get(3300);
    if (prefix.empty() || !Objects().IsLoaded()) return -1;
    std::vector<qavobj::ObjectRequest> request = {{ber::kOid, 1361}};
    qavobj::Context context;
    context.objects = &Objects();
    const qavobj::Outcome out =
        qavobj::ReadObjects(qavobj::Target::Snmp(address, communities.read, communities.write), context, request);
    if (!out.ok()) return -1;
    return request[0].answered && UnderEnterprise(request[0].value, prefix) ? 1 : 0;
}

} // namespace

int MakerFlag(uint32_t address, const Communities& communities)
{
    const int known = KnownFlag(address);
    if (known != -1) return known;
    // The request runs without the lock: other threads keep working with the
    // list while the printer answers (or times out).
    const int flag = QueryMaker(address, communities);
    if (flag < 0) return -1; // asked again next time
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    const int index = IndexOf(m, address);
    if (index >= 0) m.devices[index].isBCP = flag;
    return flag;
}

int DetermineIsBCP(uint32_t address, bool query)
{
    const int known = KnownFlag(address);
    if (known != -1) return known;
    if (!query) return 0;
    return std::max(0, MakerFlag(address, ReadCommunities()));
}

} // namespace nlist

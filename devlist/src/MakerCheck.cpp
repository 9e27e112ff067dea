// Whether a printer is one of the maker's: its system object identifier
// (object 1361) lies under the maker's enterprise (text 3300).
#include <memory>

#include "DeviceModel.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/CQBPVb.h"
#include "qavres/Resources.h"
#include "qavsettings/SettingsFiles.h"

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

// One SNMP GET of object 1361 of the printer; 1 when the answer is an
// object identifier under the maker's enterprise.
int QueryMaker(uint32_t address)
{
    const qavres::ObjectTable& objects = Objects();
    const std::string oid = objects.RequestOid(1361, 0);
    const std::string& prefix = Language().Get(3300);
    if (oid.empty() || prefix.empty()) return 0;

    const qavsettings::MgmtConfig settings = qavsettings::ReadMgmtConfig(qavsettings::Reader::kDeviceList);
    int rc = 0;
    CQBPTrans session(rc, 1);
    if (session.Open(0, DottedAddress(address).c_str()) != 0) return 0;
    int result = 0;
    CQBPVb request, answer;
    if (session.SetCommunity(settings.readCommunity.c_str(), settings.writeCommunity.c_str()) == 0 &&
        request.Add(oid.c_str(), 5, "") == 0 && session.GetObject(request, answer) == 0 && answer.GetSize() >= 1 &&
        answer.GetType(0) == 6) {
        result = UnderEnterprise(answer.ValueAt(0), prefix) ? 1 : 0;
    }
    session.Close();
    return result;
}

} // namespace

int DetermineIsBCP(uint32_t address, bool query)
{
    DeviceModel& m = DeviceModel::Instance();
    {
        auto lock = m.LockDevices();
        const int index = IndexOf(m, address);
        if (index >= 0 && m.devices[index].isBCP != -1) return m.devices[index].isBCP;
    }
    if (!query) return 0;
    // The request runs without the lock: other threads keep working with the
    // list while the printer answers (or times out).
    const int result = QueryMaker(address);
    auto lock = m.LockDevices();
    const int index = IndexOf(m, address);
    if (index >= 0) m.devices[index].isBCP = result;
    return result;
}

} // namespace nlist

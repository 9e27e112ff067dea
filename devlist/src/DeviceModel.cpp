#include "DeviceModel.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "qavres/Resources.h"

namespace nlist {

namespace {

bool ValidGroup(const DeviceModel& m, int group) { return group >= 0 && static_cast<size_t>(group) < m.groups.size(); }

struct Resources {
    qavres::StringTable language;
    qavres::ObjectTable objects;
};

std::mutex resourceMutex;
std::shared_ptr<const Resources> resources;

std::shared_ptr<const Resources> CurrentResources()
{
    std::lock_guard<std::mutex> lock(resourceMutex);
    if (!resources) {
        auto fresh = std::make_shared<Resources>();
        fresh->language.Load(qavres::kLanguage);
        fresh->objects.Load();
        resources = std::move(fresh);
    }
    return resources;
}

} // namespace

DeviceModel& DeviceModel::Instance()
{
    static DeviceModel model;
    return model;
}

const qavres::StringTable& Language() { return CurrentResources()->language; }
const qavres::ObjectTable& Objects() { return CurrentResources()->objects; }

void ReloadResources()
{
    // The previous tables stay alive: references handed out keep pointing at
    // loaded data until the process ends.
    static std::vector<std::shared_ptr<const Resources>> retired;
    std::lock_guard<std::mutex> lock(resourceMutex);
    if (resources) retired.push_back(resources);
    resources.reset();
}

void CopyText(char* to, size_t size, const char* from)
{
    if (size == 0) return;
    const size_t n = from ? strnlen(from, size - 1) : 0;
    std::memcpy(to, from, n);
    to[n] = '\0';
}

void Terminate(ListData& r)
{
    for (char* text : {r.name, r.port, r.auxiliaryText, r.model, r.location, r.manager, r.comment, r.reservedText,
                       r.serial, r.renewalTime}) {
        text[259] = '\0';
    }
    r.dhcpHostName[sizeof r.dhcpHostName - 1] = '\0';
    r.rfidError[sizeof r.rfidError - 1] = '\0';
    r.rfidOk[sizeof r.rfidOk - 1] = '\0';
}

void Terminate(GroupData& g)
{
    g.name[sizeof g.name - 1] = '\0';
    g.model[sizeof g.model - 1] = '\0';
    g.port[sizeof g.port - 1] = '\0';
    g.serialNo[sizeof g.serialNo - 1] = '\0';
    g.installationFeatures[sizeof g.installationFeatures - 1] = '\0';
    g.manager[sizeof g.manager - 1] = '\0';
    g.comment[sizeof g.comment - 1] = '\0';
}

int AddPrinterToGroup(int group, uint32_t address)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    if (!ValidGroup(m, group)) return 0;
    GroupData& g = m.groups[group];
    g.members.push_back(address);
    g.marks.push_back(0);
    g.count = static_cast<int32_t>(g.members.size());
    return 1;
}

int RemovePrinterFromGroup(int group, uint32_t address)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    if (!ValidGroup(m, group)) return 0;
    GroupData& g = m.groups[group];
    auto it = std::find(g.members.begin(), g.members.end(), address);
    if (it == g.members.end()) return 0;
    const auto at = it - g.members.begin();
    g.members.erase(it);
    g.marks.erase(g.marks.begin() + at);
    g.count = static_cast<int32_t>(g.members.size());
    return 1;
}

int RemoveGroup(int index)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    if (!ValidGroup(m, index)) return 0;
    m.groups.erase(m.groups.begin() + index);
    return 1;
}

int FindGroupByName(const char* name, int skip)
{
    if (!name) return -1;
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    for (size_t i = 0; i < m.groups.size(); ++i) {
        if (static_cast<int>(i) != skip && strcasecmp(m.groups[i].name, name) == 0) return static_cast<int>(i);
    }
    return -1;
}

int FindMemberPosition(uint32_t address, int group)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    if (!ValidGroup(m, group)) return -1;
    const auto& members = m.groups[group].members;
    auto it = std::find(members.begin(), members.end(), address);
    return it == members.end() ? -1 : static_cast<int>(it - members.begin());
}

int GetGroupName(int index, char* buffer, int size)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    if (!ValidGroup(m, index) || !buffer || size <= 0) return 0;
    CopyText(buffer, static_cast<size_t>(size), m.groups[index].name);
    return 1;
}

int GetMemberMark(int group, int position)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    if (!ValidGroup(m, group) || position < 0 || static_cast<size_t>(position) >= m.groups[group].marks.size()) {
        return -1;
    }
    return m.groups[group].marks[position];
}

int SetMemberMark(int group, int position, int mark)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    if (!ValidGroup(m, group) || position < 0 || static_cast<size_t>(position) >= m.groups[group].marks.size()) {
        return 0;
    }
    m.groups[group].marks[position] = mark;
    return 1;
}

int CountMarkedMembers(int group)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    if (!ValidGroup(m, group)) return 0;
    const auto& marks = m.groups[group].marks;
    return static_cast<int>(std::count_if(marks.begin(), marks.end(), [](int32_t v) { return v != 0; }));
}

int SetMember(int group, int position, uint32_t address)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    if (!ValidGroup(m, group) || position < 0 || position >= m.groups[group].count) return 0;
    m.groups[group].members[position] = address;
    return 1;
}

int RemovePrinter(uint32_t address)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    auto it = std::find_if(m.devices.begin(), m.devices.end(),
                           [address](const ListData& d) { return d.ipAddress == address; });
    if (it == m.devices.end()) return -1;
    m.devices.erase(it);
    if (std::none_of(m.devices.begin(), m.devices.end(), [address](const ListData& d) { return d.ipAddress == address; }))
        m.awaiting.erase(address);
    return 1;
}

bool AwaitsFirstAnswer(uint32_t address)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    return m.awaiting.count(address) != 0;
}

namespace {

template <typename Field>
int DeviceField(int index, Field field)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    if (index < 0 || static_cast<size_t>(index) >= m.devices.size()) return -1;
    return m.devices[index].*field;
}

} // namespace

int GetPrinterStatus(int index) { return DeviceField(index, &ListData::printerStatus); }
int GetErrorCode(int index) { return DeviceField(index, &ListData::errorCode); }
int GetHeadStatus(int index) { return DeviceField(index, &ListData::headStatus); }

} // namespace nlist

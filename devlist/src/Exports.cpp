// The exported functions of the device list and the groups.
#include <cstring>

#include "DeviceModel.h"
#include "nlist/Nlist.h"

using nlist::DeviceModel;

namespace {

bool ValidIndex(size_t size, int index) { return index >= 0 && static_cast<size_t>(index) < size; }

// A text fits a caller's buffer when it is shorter than the buffer's size.
bool Fits(const char* buffer, int size, const char* text)
{
    return !buffer || (size > 0 && strnlen(text, static_cast<size_t>(size)) < static_cast<size_t>(size));
}

void Put(char* buffer, int size, const char* text)
{
    if (buffer) nlist::CopyText(buffer, static_cast<size_t>(size), text);
}

template <typename T>
void Put(T* out, T value)
{
    if (out) *out = value;
}

} // namespace

int AddToListData(ListData record)
{
    nlist::Terminate(record);
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    m.awaiting.erase(record.ipAddress);
    m.devices.push_back(record);
    return 1;
}

int SetListData(int index, ListData record)
{
    nlist::Terminate(record);
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    if (!ValidIndex(m.devices.size(), index)) return 0;
    m.awaiting.erase(m.devices[index].ipAddress);
    m.awaiting.erase(record.ipAddress);
    m.devices[index] = record;
    return 1;
}

ListData* GetItemFromListData(ListData* record, int index)
{
    if (!record) return nullptr;
    *record = ListData();
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    if (ValidIndex(m.devices.size(), index)) *record = m.devices[index];
    return record;
}

int GetListDataSize()
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    return static_cast<int>(m.devices.size());
}

uint32_t GetipAddressFromListData(int index)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    return ValidIndex(m.devices.size(), index) ? m.devices[index].ipAddress : 0;
}

int FindListDatabyIPAddress(uint32_t address)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    for (size_t i = 0; i < m.devices.size(); ++i) {
        if (m.devices[i].ipAddress == address) return static_cast<int>(i);
    }
    return -1;
}

int SetBCPFlagListData(int index, int value)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    if (!ValidIndex(m.devices.size(), index)) return 0;
    m.devices[index].isBCP = value;
    return 1;
}

int GetListDataDetails(int index, int* kind, uint32_t* ipAddress, char* name, int nameSize, int* printerStatus,
                       int* errorCode, char* port, int portSize, char* auxiliaryText, int auxiliaryTextSize,
                       char* model, int modelSize, char* location, int locationSize, char* manager, int managerSize,
                       char* comment, int commentSize, char* reservedText, int reservedTextSize, char* serial,
                       int serialSize, char* renewalTime, int renewalTimeSize, int* headStatus, int* dhcpEnable,
                       char* dhcpHostName, int dhcpHostNameSize, char* rfidError, int rfidErrorSize, char* rfidOk,
                       int rfidOkSize)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    if (!ValidIndex(m.devices.size(), index)) return 0;
    const ListData& r = m.devices[index];
    const bool fits = Fits(name, nameSize, r.name) && Fits(port, portSize, r.port) &&
                      Fits(auxiliaryText, auxiliaryTextSize, r.auxiliaryText) && Fits(model, modelSize, r.model) &&
                      Fits(location, locationSize, r.location) && Fits(manager, managerSize, r.manager) &&
                      Fits(comment, commentSize, r.comment) && Fits(reservedText, reservedTextSize, r.reservedText) &&
                      Fits(serial, serialSize, r.serial) && Fits(renewalTime, renewalTimeSize, r.renewalTime) &&
                      Fits(dhcpHostName, dhcpHostNameSize, r.dhcpHostName) &&
                      Fits(rfidError, rfidErrorSize, r.rfidError) && Fits(rfidOk, rfidOkSize, r.rfidOk);
    if (!fits) return 0;
    Put(kind, r.kind);
    Put(ipAddress, r.ipAddress);
    Put(name, nameSize, r.name);
    Put(printerStatus, r.printerStatus);
    Put(errorCode, r.errorCode);
    Put(port, portSize, r.port);
    Put(auxiliaryText, auxiliaryTextSize, r.auxiliaryText);
    Put(model, modelSize, r.model);
    Put(location, locationSize, r.location);
    Put(manager, managerSize, r.manager);
    Put(comment, commentSize, r.comment);
    Put(reservedText, reservedTextSize, r.reservedText);
    Put(serial, serialSize, r.serial);
    Put(renewalTime, renewalTimeSize, r.renewalTime);
    Put(headStatus, r.headStatus);
    Put(dhcpEnable, r.dhcpEnable);
    Put(dhcpHostName, dhcpHostNameSize, r.dhcpHostName);
    Put(rfidError, rfidErrorSize, r.rfidError);
    Put(rfidOk, rfidOkSize, r.rfidOk);
    return 1;
}

int ClearListData()
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    m.devices.clear();
    m.awaiting.clear();
    return 1;
}

int AddToGroupData(GroupData group)
{
    // The member arrays are the truth: count and marks follow them, so that
    // no later call indexes past the members.
    nlist::Terminate(group);
    group.marks.resize(group.members.size(), 0);
    group.count = static_cast<int32_t>(group.members.size());
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    m.groups.push_back(std::move(group));
    return 1;
}

int GetGroupDataSize()
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    return static_cast<int>(m.groups.size());
}

int GetGroupDetails(int index, char* name, int nameSize, char* model, int modelSize, char* port, int portSize,
                    char* serialNo, int serialNoSize, char* installationFeatures, int installationFeaturesSize,
                    char* manager, int managerSize, char* comment, int commentSize, int* count)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    if (index < 0) return 0;
    if (!ValidIndex(m.groups.size(), index)) return 1; // past the end: success with nothing copied
    const GroupData& g = m.groups[index];
    const bool fits = Fits(name, nameSize, g.name) && Fits(model, modelSize, g.model) &&
                      Fits(port, portSize, g.port) && Fits(serialNo, serialNoSize, g.serialNo) &&
                      Fits(installationFeatures, installationFeaturesSize, g.installationFeatures) &&
                      Fits(manager, managerSize, g.manager) && Fits(comment, commentSize, g.comment);
    if (!fits) return 0;
    Put(name, nameSize, g.name);
    Put(model, modelSize, g.model);
    Put(port, portSize, g.port);
    Put(serialNo, serialNoSize, g.serialNo);
    Put(installationFeatures, installationFeaturesSize, g.installationFeatures);
    Put(manager, managerSize, g.manager);
    Put(comment, commentSize, g.comment);
    Put(count, g.count);
    return 1;
}

int GetPrinterCountfromGroupData(int group)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    return ValidIndex(m.groups.size(), group) ? m.groups[group].count : 0;
}

uint32_t GetPrinterFromGroupData(int group, int position)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    if (!ValidIndex(m.groups.size(), group)) return 0;
    const auto& members = m.groups[group].members;
    return ValidIndex(members.size(), position) ? members[position] : 0;
}

int ClearGroupData()
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    m.groups.clear();
    return 1;
}

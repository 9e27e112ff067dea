#include "nstat/PrinterLink.h"

#include "qavres/Resources.h"
#include "qavsettings/SettingsFiles.h"

namespace nstat {

SnmpLink::SnmpLink(uint32_t address, const qavres::ObjectTable& objects, std::string mgmtFile)
    : address_(address), objects_(objects), mgmtFile_(std::move(mgmtFile))
{
}

// The communities are read again for every exchange, so that a change in
// the settings dialog reaches the next one.
qavobj::Target SnmpLink::Target() const
{
    const qavsettings::MgmtConfig mgmt =
        mgmtFile_.empty() ? qavsettings::ReadMgmtConfig(qavsettings::Reader::kStatusMonitor)
                          : qavsettings::ReadMgmtConfig(qavsettings::Reader::kStatusMonitor, {}, mgmtFile_);
    return qavobj::Target::Snmp(address_, mgmt.readCommunity, mgmt.writeCommunity);
}

Outcome SnmpLink::Read(std::vector<ObjectRequest>& requests)
{
    return qavobj::ReadObjects(Target(), {&objects_}, requests);
}

Outcome SnmpLink::ReadTable(const std::vector<ObjectRequest>& columns, TableRows& rows)
{
    return qavobj::ReadObjectTable(Target(), {&objects_}, columns, rows);
}

Outcome SnmpLink::WriteInteger(int object, int value)
{
    return qavobj::WriteIntegerObject(Target(), {&objects_}, object, value);
}

Outcome SnmpLink::WriteString(int object, const std::string& value)
{
    return qavobj::WriteStringObject(Target(), {&objects_}, object, value);
}

Outcome SnmpLink::ReadInstance(const std::vector<int>& objects, const std::string& instance,
                               std::vector<std::string>& values)
{
    values.assign(objects.size(), std::string());
    qavobj::Session session;
    const int rc = session.Open(Target());
    Outcome out;
    if (rc != 0) {
        out.code = rc;
        out.connection = qavobj::Connection::kDown;
        return out;
    }
    for (size_t i = 0; i < objects.size(); ++i) {
        const Outcome one = session.Read({&objects_}, objects[i], instance, values[i]);
        if (one.connection != qavobj::Connection::kUnchanged) out.connection = one.connection;
        if (one.connection == qavobj::Connection::kDown) {
            out.code = one.code;
            break;
        }
    }
    return out;
}

} // namespace nstat

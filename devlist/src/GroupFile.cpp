// The group file: the device list and its groups in a private-profile file.
//
// The file is read and written through a ProfileDocument: loaded once,
// updated key by key in memory with the same rules as single key writes,
// and saved once, atomically. Sections and keys the new content does not
// name stay in the file (every reader goes by the counts).
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>

#include "DeviceModel.h"
#include "qavplatform/Address.h"
#include "StatusText.h"
#include "nlist/Nlist.h"
#include "qavres/Resources.h"
#include "qavsettings/Profile.h"

using nlist::DeviceModel;
using qavsettings::ProfileDocument;

namespace {

const char* const kGroups = "Groups";
const char* const kPrinters = "Printers";

std::string Numbered(const char* prefix, int n) { return prefix + std::to_string(n); }

// The number of a "prefix" + decimal name (no sign, no leading zero), or -1.
int NumberAfter(const std::string& name, const char* prefix)
{
    const size_t p = std::strlen(prefix);
    if (name.size() <= p || name.size() > p + 9 || strncasecmp(name.c_str(), prefix, p) != 0) return -1;
    if (name[p] == '0' && name.size() > p + 1) return -1;
    int n = 0;
    for (size_t i = p; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

// A count read from the file can claim far more entries than the file
// holds. Entries beyond the highest one present would all be empty, so the
// loops stop there: the load costs what the file holds, not what it claims.
int HighestSection(const ProfileDocument& doc, const char* prefix)
{
    int highest = -1;
    for (const std::string& name : doc.SectionNames()) highest = std::max(highest, NumberAfter(name, prefix));
    return highest;
}

int HighestKey(const ProfileDocument& doc, const std::string& section, const char* prefix)
{
    int highest = -1;
    for (const std::string& key : doc.KeyNames(section)) highest = std::max(highest, NumberAfter(key, prefix));
    return highest;
}

int Bounded(int count, int highest) { return std::clamp(count, 0, highest + 1); }

void ReadText(const ProfileDocument& doc, const std::string& section, const char* key, char* to, int size)
{
    doc.GetString(section, key, "", to, size);
}

// An address of the file: a dotted address other than 0.0.0.0.
bool UsableAddress(const std::string& text)
{
    uint32_t address = 0;
    return qavplatform::ParseAddress(text, address) && address != 0;
}

// The address of a dotted text; 0 for anything else.
uint32_t AddressOf(const char* text)
{
    uint32_t address = 0;
    return qavplatform::ParseAddress(text ? text : "", address) ? address : 0;
}

bool Reject(std::string* why, const std::string& reason)
{
    if (why) *why = reason;
    return false;
}

// The checks of a group file, in their order; the first failure is the
// reason.
bool CheckDocument(const ProfileDocument& doc, std::string* why)
{
    // 1. Between 2 and 10 groups.
    if (!doc.Has(kGroups, "count")) return Reject(why, "[Groups] count is missing");
    const int groups = doc.GetInt(kGroups, "count", 0);
    if (groups < 2 || groups > 10)
        return Reject(why, "[Groups] count is " + std::to_string(groups) + ", not 2 to 10");
    // 2. Every group has a name.
    char buffer[260];
    for (int i = 0; i < groups; ++i) {
        if (doc.GetString(Numbered("Group.", i), "name", "", buffer, 256) == 0)
            return Reject(why, "[Group." + std::to_string(i) + "] has no name");
    }
    // 3. Group 0 lists every printer.
    if (!doc.Has("Group.0", "printers") || !doc.Has(kPrinters, "count"))
        return Reject(why, "[Group.0] printers or [Printers] count is missing");
    const int printers = doc.GetInt(kPrinters, "count", 0);
    if (doc.GetInt("Group.0", "printers", 0) != printers)
        return Reject(why, "[Group.0] holds " + std::to_string(doc.GetInt("Group.0", "printers", 0)) +
                               " printers, [Printers] " + std::to_string(printers));
    // 4. Every printer has an address.
    std::unordered_set<std::string> addresses;
    for (int j = 0; j < printers; ++j) {
        std::string ip = doc.GetString(Numbered("Printer.", j), "ip", "0.0.0.0", sizeof buffer);
        if (!UsableAddress(ip)) return Reject(why, "[Printer." + std::to_string(j) + "] ip \"" + ip + "\" is no address");
        addresses.insert(std::move(ip));
    }
    // 5. Every member names one of the printers.
    for (int i = 0; i < groups; ++i) {
        const std::string section = Numbered("Group.", i);
        if (!doc.Has(section, "printers")) return Reject(why, "[" + section + "] printers is missing");
        const int members = doc.GetInt(section, "printers", 0);
        if (members < 0) return Reject(why, "[" + section + "] printers is negative");
        for (int k = 0; k < members; ++k) {
            const std::string member = doc.GetString(section, Numbered("prtindex.", k), "0.0.0.0", sizeof buffer);
            if (!UsableAddress(member) || addresses.count(member) == 0)
                return Reject(why, "[" + section + "] prtindex." + std::to_string(k) + " \"" + member +
                                       "\" is none of the printers");
        }
    }
    return true;
}

int PrinterStatusFromText(const char* text, const qavres::StringTable& language)
{
    for (int i = 0; i < 5; ++i) {
        const std::string& known = language.Get(3100 + i);
        if (!known.empty() && known == text) return i + 1;
    }
    return 0;
}

} // namespace

int CheckQdlFileFormat(const std::string& path, std::string* reason)
{
    ProfileDocument doc;
    if (!doc.Load(path)) {
        Reject(reason, doc.Problem());
        return 0;
    }
    std::string why;
    if (CheckDocument(doc, &why)) return 1;
    if (reason) *reason = path + ": " + why;
    return 0;
}

int CheckQdlFileFormat(const char* path) { return path ? CheckQdlFileFormat(std::string(path), nullptr) : 0; }

int CheckQdlFileFormat(const std::string& path) { return CheckQdlFileFormat(path, nullptr); }

int PopulateVectors(const char* path)
{
    if (!path) return 0;
    ProfileDocument doc;
    if (!doc.Load(path) || !doc.Has(kGroups, "count")) return 0;
    const qavres::StringTable& language = nlist::Language();

    // The new lists are built aside and put in place at the end, so that a
    // reader on another thread sees either the old list or the new one.
    std::vector<GroupData> groups;
    const int groupCount = Bounded(doc.GetInt(kGroups, "count", 0), HighestSection(doc, "Group."));
    groups.reserve(static_cast<size_t>(groupCount));
    for (int i = 0; i < groupCount; ++i) {
        const std::string section = Numbered("Group.", i);
        GroupData g;
        ReadText(doc, section, "name", g.name, sizeof g.name);
        ReadText(doc, section, "model", g.model, 260);
        ReadText(doc, section, "port", g.port, sizeof g.port);
        ReadText(doc, section, "SerialNo", g.serialNo, sizeof g.serialNo);
        ReadText(doc, section, "InstallationFeatures", g.installationFeatures, 260);
        ReadText(doc, section, "comment", g.comment, 260);
        ReadText(doc, section, "manager", g.manager, 260);
        const int members = Bounded(doc.GetInt(section, "printers", 0), HighestKey(doc, section, "prtindex."));
        g.members.reserve(static_cast<size_t>(members));
        char member[260];
        for (int k = 0; k < members; ++k) {
            doc.GetString(section, Numbered("prtindex.", k), "0.0.0.0", member, sizeof member);
            g.members.push_back(AddressOf(member));
        }
        g.marks.assign(g.members.size(), 0);
        g.count = static_cast<int32_t>(g.members.size());
        groups.push_back(std::move(g));
    }

    std::vector<ListData> devices;
    const int printerCount = Bounded(doc.GetInt(kPrinters, "count", 0), HighestSection(doc, "Printer."));
    devices.reserve(static_cast<size_t>(printerCount));
    char text[260];
    for (int j = 0; j < printerCount; ++j) {
        const std::string section = Numbered("Printer.", j);
        ListData r;
        doc.GetString(section, "ip", "", text, sizeof text);
        r.ipAddress = AddressOf(text);
        ReadText(doc, section, "name", r.name, sizeof r.name);
        doc.GetString(section, "status", "", text, sizeof text);
        r.printerStatus = PrinterStatusFromText(text, language);
        ReadText(doc, section, "port", r.port, sizeof r.port);
        ReadText(doc, section, "model", r.model, sizeof r.model);
        ReadText(doc, section, "location", r.location, sizeof r.location);
        ReadText(doc, section, "manager", r.manager, sizeof r.manager);
        ReadText(doc, section, "comment", r.comment, sizeof r.comment);
        ReadText(doc, section, "serial", r.serial, sizeof r.serial);
        r.headStatus = doc.GetInt(section, "Head Status", 0);
        r.dhcpEnable = doc.GetInt(section, "DHCP Enable", 0);
        ReadText(doc, section, "DHCP Host Name", r.dhcpHostName, sizeof r.dhcpHostName);
        ReadText(doc, section, "RFID Error", r.rfidError, 17);
        ReadText(doc, section, "RFID OK", r.rfidOk, 17);
        ReadText(doc, section, "Renewal Time", r.renewalTime, sizeof r.renewalTime);
        r.kind = doc.GetInt(section, "IsBCP", 0) == 1 ? 1 : 0;
        devices.push_back(r);
    }

    DeviceModel& m = DeviceModel::Instance();
    {
        auto lock = m.LockGroups();
        m.groups.swap(groups);
    }
    {
        auto lock = m.LockDevices();
        m.devices.swap(devices);
        // What the file says of a printer's state is old news: the list
        // shows "not known yet" until the printer answers.
        m.awaiting.clear();
        for (const ListData& r : m.devices) m.awaiting.insert(r.ipAddress);
    }
    return 1;
}

int PopulateVectors(const std::string& path) { return PopulateVectors(path.c_str()); }

int SaveListDataToFile(const std::string& path, std::string* reason)
{
    DeviceModel& m = DeviceModel::Instance();
    std::vector<GroupData> groups;
    {
        auto lock = m.LockGroups();
        groups = m.groups;
    }
    std::vector<ListData> devices;
    {
        auto lock = m.LockDevices();
        devices = m.devices;
    }

    ProfileDocument doc;
    // A file that exists but cannot be read (or is no regular file) is not
    // replaced.
    if (!doc.Load(path)) {
        Reject(reason, doc.Problem() + "; not written");
        return -1;
    }
    doc.SetInt(kGroups, "count", static_cast<long long>(groups.size()));
    for (size_t a = 0; a < groups.size(); ++a) {
        const GroupData& g = groups[a];
        const std::string section = Numbered("Group.", static_cast<int>(a));
        doc.SetString(section, "name", g.name);
        doc.SetString(section, "model", g.model);
        doc.SetString(section, "port", g.port);
        doc.SetString(section, "SerialNo", g.serialNo);
        doc.SetString(section, "InstallationFeatures", g.installationFeatures);
        doc.SetString(section, "comment", g.comment);
        doc.SetString(section, "manager", g.manager);
        doc.SetInt(section, "printers", static_cast<long long>(g.members.size()));
        for (size_t k = 0; k < g.members.size(); ++k) {
            doc.SetString(section, Numbered("prtindex.", static_cast<int>(k)), qavplatform::AddressText(g.members[k]));
        }
    }
    doc.SetInt(kPrinters, "count", static_cast<long long>(devices.size()));
    const qavres::StringTable& language = nlist::Language();
    std::string status;
    for (size_t b = 0; b < devices.size(); ++b) {
        const ListData& r = devices[b];
        const std::string section = Numbered("Printer.", static_cast<int>(b));
        nlist::StatusTextAndIcon(r.isBCP == -1 ? 0 : r.isBCP, r.printerStatus, r.errorCode, r.headStatus, language,
                                 status);
        doc.SetString(section, "ip", qavplatform::AddressText(r.ipAddress));
        doc.SetString(section, "name", r.name);
        doc.SetString(section, "status", status);
        doc.SetString(section, "port", r.port);
        doc.SetString(section, "model", r.model);
        doc.SetString(section, "location", r.location);
        doc.SetString(section, "manager", r.manager);
        doc.SetString(section, "comment", r.comment);
        doc.SetString(section, "serial", r.serial);
        doc.SetInt(section, "Head Status", r.headStatus);
        doc.SetInt(section, "DHCP Enable", r.dhcpEnable);
        doc.SetString(section, "DHCP Host Name", r.dhcpHostName);
        doc.SetString(section, "RFID Error", r.rfidError);
        doc.SetString(section, "RFID OK", r.rfidOk);
        doc.SetString(section, "Renewal Time", r.renewalTime);
        doc.SetString(section, "IsBCP", r.isBCP == 1 ? "1" : "0");
    }
    // The file as it would be is checked before it replaces the old one: a
    // save never leaves a group file that the next start refuses.
    std::string why;
    if (!CheckDocument(doc, &why)) {
        if (reason) *reason = path + ": not written, the list would not make a valid group file (" + why +
                              "); the file is kept as it was";
        return -1;
    }
    if (!doc.Save(path, &why)) {
        if (reason) *reason = why;
        return -1;
    }
    return static_cast<int>(devices.size());
}

int SaveListDataToFile(const char* path) { return path ? SaveListDataToFile(std::string(path), nullptr) : -1; }

int SaveListDataToFile(const std::string& path) { return SaveListDataToFile(path, nullptr); }

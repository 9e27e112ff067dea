#include "ListView.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <unordered_map>

#include "DeviceModel.h"
#include "qavplatform/Address.h"
#include "StatusText.h"
#include "qavres/Resources.h"
#include "qavsettings/SettingsFiles.h"

namespace nlist {

const std::array<int, kColumnTotal> kColumnHeadingIds = {2121, 2122, 2123, 2124, 2126, 2125,
                                                         2127, 2128, 2129, 2130, 2131, 2132};

std::string ColumnHeading(int column, const qavres::StringTable& language)
{
    if (column < 0 || column >= kColumnTotal) return {};
    const std::string& text = language.Get(kColumnHeadingIds[column]);
    return text.empty() ? qavsettings::kColumnKeys[column] : text;
}

std::vector<ShownColumn> ShownColumns(const qavsettings::DisplayConfig& config)
{
    struct Placed {
        int column, position, width;
        bool fit;
    };
    std::vector<Placed> placed;
    placed.push_back({kColName, 0, config.width[kColName] > 0 ? config.width[kColName] : 100,
                      !config.widthStored[kColName]});
    for (int c = 1; c < kColumnTotal; ++c) {
        if (config.display[c] != 1) continue;
        const int position = config.order[c] > 0 ? config.order[c] - 1 : 12;
        placed.push_back({c, position, config.width[c] > 0 ? config.width[c] : 100, !config.widthStored[c]});
    }
    // Name stays first; only strictly smaller positions move forward.
    std::stable_sort(placed.begin() + 1, placed.end(),
                     [](const Placed& a, const Placed& b) { return a.position < b.position; });
    std::vector<ShownColumn> shown;
    for (const Placed& p : placed) shown.push_back({p.column, p.width, p.fit});
    return shown;
}

Cell CellOf(const ListData& r, int column, const qavres::StringTable& language, bool awaiting)
{
    switch (column) {
    case kColName: return {r.name, r.kind > 0 ? r.kind : 0};
    case kColStatus: {
        if (awaiting) return {language.Get(kTextNotKnownYet), kIconNotKnown};
        Cell c;
        c.icon = StatusTextAndIcon(r.isBCP, r.printerStatus, r.errorCode, r.headStatus, language, c.text);
        return c;
    }
    case kColPort: return {qavplatform::AddressText(r.ipAddress), 0};
    case kColModel: return {r.model, 0};
    case kColSerial: return {r.serial, 0};
    case kColLocation: return {r.location, 0};
    case kColManager: return {r.manager, 0};
    case kColComment: return {r.comment, 0};
    case kColRenewalTime: return {r.renewalTime, 0};
    case kColHostName:
        if (r.isBCP == 1) {
            if (r.dhcpEnable == 1) return {r.dhcpHostName, kIconDhcpOn};
            return {{}, r.dhcpEnable == 0 ? kIconDhcpOff : kIconDhcpUnknown};
        }
        return {{}, kIconDhcpUnknown};
    case kColRfidError: return {r.rfidError, 0};
    case kColRfidOk: return {r.rfidOk, 0};
    default: return {};
    }
}

const std::array<MarkLegendRow, 4> kMarkLegend = {{
    {0, 2055},                // " [H]": a head problem
    {kIconDhcpOn, 2056},      // the address from DHCP, with its host name
    {kIconDhcpOff, 2057},     // a fixed address
    {kIconDhcpUnknown, 2058}, // not known
}};

int MarkExplanation(const ListData& r, int column, bool awaiting)
{
    // The status text of a maker's printer carries " [H]" when its head
    // reports a problem.
    if (column == kColStatus) return !awaiting && r.isBCP != 0 && r.headStatus == 1 ? kMarkLegend[0].text : 0;
    if (column != kColHostName) return 0;
    const int icon = CellOf(r, column, Language(), awaiting).icon;
    for (const MarkLegendRow& row : kMarkLegend) {
        if (row.icon != 0 && row.icon == icon) return row.text;
    }
    return 0;
}

std::string SortText(const ListData& r, int column, const qavres::StringTable& language, bool awaiting)
{
    if (column == kColPort) {
        const uint32_t a = r.ipAddress;
        char text[20];
        std::snprintf(text, sizeof text, "%03u.%03u.%03u.%03u", (a >> 24) & 0xFF, (a >> 16) & 0xFF, (a >> 8) & 0xFF,
                      a & 0xFF);
        return text;
    }
    std::string text = CellOf(r, column, language, awaiting).text;
    for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return text;
}

namespace {

std::vector<uint32_t> Members(int group, std::vector<int32_t>* marks = nullptr)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    if (group < 0 || group >= static_cast<int>(m.groups.size())) return {};
    const GroupData& g = m.groups[group];
    if (marks) *marks = g.marks;
    return g.members;
}

} // namespace

std::vector<ListData> GroupRows(int group, std::vector<bool>* awaiting)
{
    const std::vector<uint32_t> members = Members(group);
    std::vector<ListData> rows(members.size());
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    if (awaiting) {
        awaiting->assign(members.size(), false);
        for (size_t k = 0; k < members.size(); ++k) (*awaiting)[k] = m.awaiting.count(members[k]) != 0;
    }
    std::unordered_map<uint32_t, size_t> index;
    index.reserve(m.devices.size());
    for (size_t i = m.devices.size(); i-- > 0;) index[m.devices[i].ipAddress] = i; // the first record wins
    for (size_t k = 0; k < members.size(); ++k) {
        auto it = index.find(members[k]);
        if (it != index.end()) {
            rows[k] = m.devices[it->second];
        } else {
            rows[k].ipAddress = members[k];
        }
    }
    return rows;
}

bool SortOrder::Click(int column)
{
    ascending_ = !(column == column_ && ascending_);
    column_ = column;
    return ascending_;
}

bool SortGroup(int group, int column, bool ascending, const qavres::StringTable& language)
{
    std::vector<int32_t> marks;
    const std::vector<uint32_t> members = Members(group, &marks);
    std::vector<bool> awaiting;
    const std::vector<ListData> rows = GroupRows(group, &awaiting);
    if (rows.size() != members.size() || marks.size() != members.size()) return false;
    struct Entry {
        std::string key;
        uint32_t address;
        int32_t mark;
    };
    std::vector<Entry> entries;
    entries.reserve(rows.size());
    for (size_t k = 0; k < rows.size(); ++k) entries.push_back({SortText(rows[k], column, language, awaiting[k]), members[k], marks[k]});
    // A stable sort gives what an exchange sort that moves an entry only past
    // a strictly greater (smaller) neighbour gives: equal texts keep their order.
    if (ascending)
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
    else
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.key > b.key; });

    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    if (group >= static_cast<int>(m.groups.size())) return false;
    GroupData& g = m.groups[group];
    if (g.members != members) return false; // the group changed while the keys were read
    for (size_t k = 0; k < entries.size(); ++k) {
        g.members[k] = entries[k].address;
        g.marks[k] = entries[k].mark;
    }
    return true;
}

void StoreSelection(int group, const std::vector<bool>& selected)
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    if (group < 0 || group >= static_cast<int>(m.groups.size())) return;
    GroupData& g = m.groups[group];
    for (size_t k = 0; k < g.marks.size(); ++k) g.marks[k] = k < selected.size() && selected[k] ? 1 : 0;
}

std::vector<bool> StoredSelection(int group)
{
    std::vector<int32_t> marks;
    Members(group, &marks);
    std::vector<bool> selected(marks.size());
    for (size_t k = 0; k < marks.size(); ++k) selected[k] = marks[k] != 0;
    return selected;
}

// -------------------------------------------------------------- commands

std::string StatusMonitorCommandLine(uint32_t address, int accessMode)
{
    return std::string(kStatusMonitorProgram) + " " + qavplatform::AddressText(address) + " " +
           std::to_string(accessMode);
}

namespace {

// "SNMP <address>" per printer; the path, or empty (and the reason in
// `problem`) when it cannot be written.
std::string WriteListFile(const std::vector<uint32_t>& printers, const std::string& folder, std::string& problem)
{
    const std::string path = folder + "/" + kListFileName;
    errno = 0;
    std::ofstream out(path, std::ios::trunc);
    for (uint32_t a : printers) out << "SNMP " << qavplatform::AddressText(a) << "\n";
    out.close();
    if (out) return path;
    problem = path + " could not be written" + (errno ? std::string(": ") + std::strerror(errno) : std::string());
    return std::string();
}

ProgramStart ToolStart(const char* program, const std::vector<std::string>& single, const char* mode,
                       const std::vector<uint32_t>& printers, const std::string& folder)
{
    ProgramStart s;
    if (printers.empty()) return s;
    if (printers.size() == 1) {
        s.program = program;
        s.args = single;
        s.args.push_back(qavplatform::AddressText(printers[0]));
        return s;
    }
    const std::string list = WriteListFile(printers, folder, s.problem);
    if (list.empty()) return s;
    s.program = program;
    if (mode) s.args.push_back(mode);
    s.args.push_back(list);
    return s;
}

} // namespace

ProgramStart SystemToolStart(const std::vector<uint32_t>& printers, const std::string& folder)
{
    return ToolStart(kSystemToolProgram, {"3", "SNMP"}, "4", printers, folder);
}

ProgramStart DownloadToolStart(const std::vector<uint32_t>& printers, const std::string& folder)
{
    return ToolStart(kDownloadToolProgram, {"SNMP"}, nullptr, printers, folder);
}

std::string PrinterWebAddress(uint32_t address) { return "http://" + qavplatform::AddressText(address); }

int NewGroupRefusal()
{
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    return m.groups.size() >= static_cast<size_t>(kMaxGroups) ? 2201 : 0;
}

bool DeleteUserGroup(int group)
{
    return group >= 2 && RemoveGroup(group) == 1;
}

int DeletePrinters(const std::vector<uint32_t>& printers)
{
    int removed = 0;
    for (uint32_t a : printers) {
        if (RemovePrinter(a) == 1) ++removed;
        DeviceModel& m = DeviceModel::Instance();
        int groups = 0;
        {
            auto lock = m.LockGroups();
            groups = static_cast<int>(m.groups.size());
        }
        for (int g = 0; g < groups; ++g) RemovePrinterFromGroup(g, a);
    }
    return removed;
}

} // namespace nlist

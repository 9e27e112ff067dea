#include "ListEditing.h"

#include <cstdlib>
#include <cstring>

#include "DeviceModel.h"
#include "qavplatform/Address.h"
#include "qavplatform/Text.h"
#include "ListView.h"
#include "RecordQueries.h"
#include "nlist/Nlist.h"

namespace nlist {

namespace {

bool Blank(const std::string fields[4])
{
    for (int i = 0; i < 4; ++i)
        if (!fields[i].empty()) return false;
    return true;
}

// The dotted text of the four fields, an empty field given as `empty`.
std::string FieldsText(const std::string fields[4], const std::string& empty)
{
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (i) text += '.';
        text += fields[i].empty() ? empty : fields[i];
    }
    return text;
}

bool Meets(const GroupData& g, const ListData& r)
{
    return MatchList(r.model, g.model) && MatchAddress(r.port, g.port) && MatchRange(r.serial, g.serialNo) &&
           MatchList(r.location, g.installationFeatures) && MatchList(r.manager, g.manager) &&
           MatchList(r.comment, g.comment);
}

} // namespace

int AddPrinterRefusal(const std::string fields[4], uint32_t* address)
{
    // A blank or incomplete address is no address: an empty field fails the
    // parse.
    uint32_t a = 0;
    if (!qavplatform::ParseAddress(FieldsText(fields, ""), a) || a == 0 || a == 0xFFFFFFFFu) return 2173;
    if (FindMemberPosition(a, 0) >= 0) return 2172;
    if (address) *address = a;
    return 0;
}

int AddPrinter(uint32_t address)
{
    ListData r;
    r.ipAddress = address;
    const Communities communities = ReadCommunities();
    // A printer that does not answer the check stays undetermined (-1) and
    // is asked again by the next refresh or poll.
    r.isBCP = MakerFlag(address, communities);
    if (r.isBCP == 1)
        ReadMakerRecord(r, communities);
    else
        ReadStandardRecord(r, communities);
    CopyText(r.renewalTime, RenewalTimeNow().c_str());
    // The memberships are decided before the record is appended, for the
    // first 10 groups, as a new printer's are.
    std::vector<int> groups;
    {
        DeviceModel& m = DeviceModel::Instance();
        auto lock = m.LockGroups();
        for (int g = 0; g < static_cast<int>(m.groups.size()) && g < kMaxGroups; ++g) {
            if (g == 0 || (g == 1 && r.isBCP == 1) || (g >= 2 && Meets(m.groups[g], r))) groups.push_back(g);
        }
    }
    AddToListData(r);
    const int index = GetListDataSize() - 1;
    for (int g : groups) AddPrinterToGroup(g, address);
    return index;
}

GroupForm FormOfGroup(int index)
{
    GroupForm f;
    GroupData g;
    int count = 0;
    if (index < 0 || index >= GetGroupDataSize() ||
        !GetGroupDetails(index, g.name, sizeof g.name, g.model, sizeof g.model, g.port, sizeof g.port, g.serialNo,
                         sizeof g.serialNo, g.installationFeatures, sizeof g.installationFeatures, g.manager,
                         sizeof g.manager, g.comment, sizeof g.comment, &count))
        return f;
    f.name = g.name;
    f.model = g.model;
    f.location = g.installationFeatures;
    f.manager = g.manager;
    f.comment = g.comment;
    f.useModel = !f.model.empty();
    f.useLocation = !f.location.empty();
    f.useManager = !f.manager.empty();
    f.useComment = !f.comment.empty();
    if (const char* tilde = std::strchr(g.serialNo, '~')) {
        f.serialFrom.assign(g.serialNo, static_cast<size_t>(tilde - g.serialNo));
        f.serialTo = tilde + 1;
        f.useSerial = true;
    } else if (g.serialNo[0]) {
        f.serialFrom = g.serialNo;
        f.useSerial = true;
    }
    uint32_t pattern = 0;
    if (g.port[0] && qavplatform::ParseAddress(g.port, pattern)) {
        for (int i = 0; i < 4; ++i) f.address[i] = std::to_string((pattern >> (24 - 8 * i)) & 0xFF);
        f.useAddress = true;
    }
    return f;
}

int GroupRefusal(const GroupForm& form, int editIndex)
{
    const std::string name = qavplatform::Trim(form.name);
    if (name.empty()) return 2149;
    if (FindGroupByName(name.c_str(), editIndex) >= 0) return 2150;
    return 0;
}

void NormaliseGroupForm(GroupForm& f)
{
    f.name = qavplatform::Trim(f.name);
    if (f.model.empty()) f.useModel = false;
    if (f.location.empty()) f.useLocation = false;
    if (f.manager.empty()) f.useManager = false;
    if (f.comment.empty()) f.useComment = false;
    if (Blank(f.address)) f.useAddress = false;
    if (f.serialFrom.empty() && f.serialTo.empty()) f.useSerial = false;
    if (f.useSerial) {
        if (f.serialFrom.empty()) f.serialFrom = f.serialTo;
        if (f.serialTo.empty()) f.serialTo = f.serialFrom;
        if (f.serialFrom.compare(f.serialTo) > 0) std::swap(f.serialFrom, f.serialTo);
    }
}

GroupData GroupFromForm(const GroupForm& f)
{
    GroupData g;
    CopyText(g.name, f.name.c_str());
    if (f.useModel) CopyText(g.model, f.model.c_str());
    if (f.useLocation) CopyText(g.installationFeatures, f.location.c_str());
    if (f.useManager) CopyText(g.manager, f.manager.c_str());
    if (f.useComment) CopyText(g.comment, f.comment.c_str());
    if (f.useSerial) CopyText(g.serialNo, (f.serialFrom + "~" + f.serialTo).c_str());
    if (f.useAddress) {
        // An empty field of the pattern reads 0.
        uint32_t a = 0;
        if (!qavplatform::ParseAddress(FieldsText(f.address, "0"), a)) a = 0;
        CopyText(g.port, qavplatform::AddressText(a).c_str());
    }
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    for (const ListData& r : m.devices) {
        if (Meets(g, r)) {
            g.members.push_back(r.ipAddress);
            g.marks.push_back(0);
        }
    }
    g.count = static_cast<int32_t>(g.members.size());
    return g;
}

int StoreGroup(GroupForm& form, int editIndex, int* stored)
{
    if (const int refusal = GroupRefusal(form, editIndex)) return refusal;
    NormaliseGroupForm(form);
    DeviceModel& m = DeviceModel::Instance();
    if (IsFixedGroup(editIndex)) {
        // Group 0 holds every printer and group 1 the maker's printers,
        // whatever the form says: only the name changes. Criteria or members
        // taken from the form would make a group file that its own check
        // refuses.
        auto lock = m.LockGroups();
        if (editIndex >= static_cast<int>(m.groups.size())) return 0;
        CopyText(m.groups[editIndex].name, form.name.c_str());
        if (stored) *stored = editIndex;
        return 0;
    }
    GroupData g = GroupFromForm(form);
    auto lock = m.LockGroups();
    if (editIndex >= 0 && editIndex < static_cast<int>(m.groups.size())) {
        m.groups[editIndex] = std::move(g);
        if (stored) *stored = editIndex;
    } else {
        AddToGroupData(std::move(g));
        if (stored) *stored = static_cast<int>(m.groups.size()) - 1;
    }
    return 0;
}

std::vector<std::string> SplitList(const std::string& text)
{
    std::vector<std::string> items;
    if (text.empty()) return items;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return items;
}

std::string JoinList(const std::vector<std::string>& items)
{
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) text += ",";
        text += items[i];
    }
    return text;
}

bool AddListValue(std::vector<std::string>& items, const std::string& value)
{
    for (const std::string& item : items)
        if (item == value) return false;
    items.push_back(value);
    return true;
}

std::vector<std::string> CurrentValues(int field)
{
    std::vector<std::string> values;
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockDevices();
    for (const ListData& r : m.devices) {
        std::string v;
        switch (field) {
        case kValueModel: v = r.model; break;
        case kValueLocation: v = r.location; break;
        case kValueManager: v = r.manager; break;
        case kValueComment: v = r.comment; break;
        case kValuePort: v = r.port[0] ? r.port : qavplatform::AddressText(r.ipAddress); break;
        case kValueSerial: v = r.serial; break;
        default: return values;
        }
        if (v.empty()) continue;
        bool seen = false;
        for (const std::string& s : values) seen = seen || s == v;
        if (!seen) values.push_back(v);
    }
    return values;
}

} // namespace nlist

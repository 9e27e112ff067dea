// Group membership of a new printer: the fixed groups 0 and 1 and the
// criteria of the user groups.
#include <cstring>

#include "DeviceModel.h"
#include "qavplatform/Address.h"

namespace nlist {

bool MatchList(const char* value, const char* criterion)
{
    if (!criterion || !*criterion) return true;
    if (!value) value = "";
    if (std::strcmp(value, criterion) == 0) return true;
    const size_t length = std::strlen(value);
    const char* piece = criterion;
    for (;;) {
        const char* comma = std::strchr(piece, ',');
        const size_t n = comma ? static_cast<size_t>(comma - piece) : std::strlen(piece);
        if (n == length && std::strncmp(piece, value, n) == 0) return true;
        if (!comma) return false;
        piece = comma + 1;
    }
}

namespace {

// The four numbers of a dotted address; false for any other text.
bool FourNumbers(const char* text, int n[4])
{
    uint32_t address = 0;
    if (!qavplatform::ParseAddress(text, address)) return false;
    for (int i = 0; i < 4; ++i) n[i] = static_cast<int>((address >> (24 - 8 * i)) & 0xFF);
    return true;
}

bool HostNumber(int n) { return n >= 1 && n <= 254; }

} // namespace

bool MatchAddress(const char* value, const char* criterion)
{
    if (!criterion || !*criterion) return true;
    if (!value || !*value) return false;
    int a[4], c[4];
    if (!FourNumbers(value, a) || !FourNumbers(criterion, c)) return false;
    if (c[3] != 255) return a[0] == c[0] && a[1] == c[1] && a[2] == c[2] && a[3] == c[3];
    // 255 in trailing positions stands for any host number 1-254.
    if (c[0] == a[0] && c[1] == a[1] && c[2] == a[2] && HostNumber(a[3])) return true;
    if (c[2] == 255 && c[0] == a[0] && c[1] == a[1] && HostNumber(a[2]) && HostNumber(a[3])) return true;
    if (c[2] == 255 && c[1] == 255) {
        if (c[0] == 255) return true;
        if (c[0] == a[0] && HostNumber(a[1]) && HostNumber(a[2]) && HostNumber(a[3])) return true;
    }
    return false;
}

bool MatchRange(const char* value, const char* criterion)
{
    if (!criterion || !*criterion) return true;
    if (!value || !*value) return false;
    const char* tilde = std::strchr(criterion, '~');
    if (!tilde) return false;
    const std::string low(criterion, static_cast<size_t>(tilde - criterion));
    const char* high = tilde + 1;
    // Byte-wise: strcmp compares as unsigned char.
    return std::strcmp(low.c_str(), value) <= 0 && std::strcmp(value, high) <= 0;
}

int AssignToGroups(const ListData& given)
{
    ListData record = given;
    Terminate(record);
    // Asked before the group lock is taken: the answer needs the device
    // list's lock, and no caller holds both.
    const bool maker = DetermineIsBCP(record.ipAddress, false) != 0;
    DeviceModel& m = DeviceModel::Instance();
    auto lock = m.LockGroups();
    for (size_t i = 0; i < m.groups.size(); ++i) {
        GroupData& g = m.groups[i];
        bool add = false;
        if (i == 0) {
            add = true;
        } else if (i == 1) {
            add = maker;
        } else {
            add = MatchList(record.model, g.model) && MatchAddress(record.port, g.port) &&
                  MatchRange(record.serial, g.serialNo) && MatchList(record.location, g.installationFeatures) &&
                  MatchList(record.manager, g.manager) && MatchList(record.comment, g.comment);
        }
        if (add) AddPrinterToGroup(static_cast<int>(i), record.ipAddress);
    }
    return 1;
}

} // namespace nlist

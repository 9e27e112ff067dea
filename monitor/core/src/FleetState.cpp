#include "nwatch/FleetState.h"

#include <algorithm>

#include "nlist/Nlist.h"
#include "qavres/Resources.h"

namespace nwatch {

namespace {

// The list window's status icons and the state each stands for, in the
// icons' order.
struct IconHealth {
    int icon;
    Health health;
};
constexpr IconHealth kIconHealth[] = {
    {2, Health::kNotAnswering}, // no response
    {3, Health::kWell},         // online, printing, idle, warming up, near-end notices
    {4, Health::kWarning},      // head, cover or door open
    {5, Health::kWarning},      // pause, buffer full, waiting for label removal
    {6, Health::kError},        // command, communication, hardware, RFID and other errors
    {7, Health::kError},        // paper jam
    {8, Health::kError},        // cutter error
    {9, Health::kWarning},      // paper end, paper not detected
    {10, Health::kWarning},     // ribbon end
    {11, Health::kError},       // head disconnected or overheated
    {12, Health::kError},       // ribbon error
    {13, Health::kWarning},     // no paper
    {14, Health::kWarning},     // no toner
    {15, Health::kError},       // paper jam (standard printer)
    {18, Health::kWell},        // initialising, download mode, service mode
};

constexpr int kStatusOffline = 0x02; // a standard printer's "offline" error bit

// The texts of the tooltip.
constexpr int kTextTitle = 1018;
constexpr int kTextPrinters = 1021;
constexpr int kTextCount[kHealthCount] = {1026, 1022, 1023, 1024, 1025}; // per Health
constexpr int kTextState[kHealthCount] = {1031, 1027, 1028, 1029, 1030}; // per Health

std::string WithNumber(const std::string& format, int n)
{
    std::string text = format;
    const size_t at = text.find("%d");
    if (at != std::string::npos) text.replace(at, 2, std::to_string(n));
    return text;
}

std::string StampOf(const ListData& r)
{
    return std::to_string(r.kind) + "/" + std::to_string(r.isBCP) + "/" + std::to_string(r.printerStatus) + "/" +
           std::to_string(r.errorCode) + "/" + std::to_string(r.headStatus) + "/" + r.renewalTime;
}

FleetRecord RecordOf(const ListData& r)
{
    FleetRecord f;
    f.address = r.ipAddress;
    f.isBCP = r.isBCP;
    f.printerStatus = r.printerStatus;
    f.errorCode = r.errorCode;
    f.headStatus = r.headStatus;
    f.known = IsPrinterStateKnown(r.ipAddress) != 0;
    f.stamp = StampOf(r) + (f.known ? "" : "/new");
    return f;
}

} // namespace

Health HealthOfIcon(int icon)
{
    for (const IconHealth& row : kIconHealth) {
        if (row.icon == icon) return row.health;
    }
    return Health::kNotKnown;
}

Health HealthOfRecord(const FleetRecord& r)
{
    const int icon = GetStatusTextAndIcon(r.isBCP, r.printerStatus, r.errorCode, r.headStatus, nullptr, 0);
    Health h = HealthOfIcon(icon);
    if (r.isBCP == 0 && h == Health::kNotAnswering && (r.errorCode & kStatusOffline) != 0 && r.printerStatus >= 1 &&
        r.printerStatus <= 5)
        h = Health::kWarning; // it answered: it is offline, not silent
    if (r.isBCP != 0 && r.headStatus == 1 && h == Health::kWell) h = Health::kWarning;
    return h;
}

Health FleetCounts::Worst() const
{
    for (int h = kHealthCount - 1; h > 0; --h) {
        if (count[h] > 0) return static_cast<Health>(h);
    }
    return Health::kNotKnown;
}

bool FleetCounts::operator==(const FleetCounts& o) const
{
    return printers == o.printers && std::equal(std::begin(count), std::end(count), std::begin(o.count));
}

const char* HealthName(Health h)
{
    static const char* const kNames[kHealthCount] = {"not known", "well", "warning", "error", "not answering"};
    return kNames[static_cast<int>(h)];
}

std::string FleetSummary(const FleetCounts& c)
{
    std::string counts;
    for (int h : {1, 2, 3, 4, 0}) {
        if (c.count[h] == 0) continue;
        counts += (counts.empty() ? "" : ", ") + std::string(h == 0 ? "not known yet" : HealthName(Health(h))) + " " +
                  std::to_string(c.count[h]);
    }
    return std::string(HealthName(c.Worst())) + ": " + std::to_string(c.printers) + " printer" +
           (c.printers == 1 ? "" : "s") + (counts.empty() ? "" : " (" + counts + ")");
}

std::string FleetToolTip(const FleetCounts& c, const qavres::StringTable& language)
{
    std::string text = language.Get(kTextTitle);
    text += "\n" + language.Get(kTextState[static_cast<int>(c.Worst())]);
    text += "\n" + WithNumber(language.Get(kTextPrinters), c.printers);
    // Worst first.
    for (int h = kHealthCount - 1; h >= 1; --h) {
        if (c.count[h] > 0) text += "\n" + WithNumber(language.Get(kTextCount[h]), c.count[h]);
    }
    if (c.count[0] > 0) text += "\n" + WithNumber(language.Get(kTextCount[0]), c.count[0]);
    return text;
}

void FleetState::Answered(uint32_t address) { seen_.erase(address); }

void FleetState::NotAnswering(const FleetRecord& record)
{
    seen_[record.address] = Seen{false, -1, record.stamp, ++serial_};
}

void FleetState::TrapStatus(const FleetRecord& record, int code)
{
    seen_[record.address] = Seen{true, code, record.stamp, ++serial_};
}

void FleetState::ForgetBefore(unsigned long serial)
{
    for (auto it = seen_.begin(); it != seen_.end();) {
        it = it->second.serial < serial ? seen_.erase(it) : std::next(it);
    }
}

FleetCounts FleetState::Count(const std::vector<FleetRecord>& records)
{
    FleetCounts c;
    std::unordered_map<uint32_t, Seen> still;
    for (const FleetRecord& r : records) {
        ++c.printers;
        Health h;
        auto it = seen_.find(r.address);
        if (it != seen_.end() && it->second.stamp == r.stamp) {
            still.insert(*it);
            if (!it->second.answering) {
                h = Health::kNotAnswering;
            } else {
                FleetRecord reported = r;
                reported.isBCP = 1;
                reported.errorCode = it->second.code;
                h = HealthOfRecord(reported);
            }
        } else {
            h = r.known ? HealthOfRecord(r) : Health::kNotKnown;
        }
        ++c.count[static_cast<int>(h)];
    }
    seen_ = std::move(still); // what was learnt of changed or removed records is over
    return c;
}

std::vector<FleetRecord> DeviceListRecords()
{
    std::vector<FleetRecord> out;
    const int size = GetListDataSize();
    out.reserve(static_cast<size_t>(std::max(size, 0)));
    for (int i = 0; i < GetListDataSize(); ++i) {
        ListData r;
        GetItemFromListData(&r, i);
        if (r.ipAddress != 0) out.push_back(RecordOf(r));
    }
    return out;
}

FleetRecord DeviceListRecord(uint32_t address)
{
    const int index = FindListDatabyIPAddress(address);
    ListData r;
    if (index >= 0) GetItemFromListData(&r, index);
    if (r.ipAddress != address) {
        FleetRecord fresh;
        fresh.address = address;
        fresh.known = false;
        return fresh;
    }
    return RecordOf(r);
}

} // namespace nwatch

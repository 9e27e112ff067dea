// The fleet at a glance: one state for the whole device list, which the tray
// icon shows, and the counts behind it, which its tooltip shows.
//
// Each printer's state comes from the status icon the list window shows for
// its record (the same status codes and icons), one row per icon in
// HealthOfIcon:
//   well           online, printing, idle, warming up, energy saving, the
//                  "near end" notices, initialising, download and service mode
//   warning        head, cover or door open, pause, buffer full, waiting for
//                  label removal, paper, ribbon or toner at their end; and a
//                  maker's printer that reports a head problem (" [H]") in an
//                  otherwise good state
//   error          paper jams, cutter, head, ribbon, hardware, RFID and
//                  communication errors, every other printer error, and a
//                  standard printer that reports "other" or "unknown"
//   not answering  the "no response" state: the printer did not answer the
//                  last read (a standard printer that answers but reports
//                  itself offline is a warning instead)
//   not known yet  loaded from the group file and not heard of since
//
// Not answering is the worst state, then error, warning, well. Printers not
// known yet are counted but decide nothing: the fleet is "not known" only
// while no printer is known at all (or the list is empty).
//
// The device list says what the printers answered last. What the monitor
// learns beside it is newer and counts until the record changes again:
// polling that got no answer (polling keeps the old record then), and a
// maker's trap, which reports the printer's new status code.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace qavres {
class StringTable;
}

namespace nwatch {

// In order: each state is worse than the one before.
enum class Health { kNotKnown = 0, kWell = 1, kWarning = 2, kError = 3, kNotAnswering = 4 };
inline constexpr int kHealthCount = 5;

// The state of a status icon of the list window (1..18); kNotKnown for a
// number that is no status icon.
Health HealthOfIcon(int icon);

// What the fleet state needs of a device record.
struct FleetRecord {
    uint32_t address = 0;
    int isBCP = -1;
    int printerStatus = 0;
    int errorCode = 0;
    int headStatus = 0;
    bool known = true; // false: loaded from the group file and not heard of since
    // Changes whenever the record is stored with other values.
    std::string stamp;
};

// The state of one record as the list window shows it (GetStatusTextAndIcon).
Health HealthOfRecord(const FleetRecord& record);

struct FleetCounts {
    int printers = 0;
    int count[kHealthCount] = {}; // per Health
    int Of(Health h) const { return count[static_cast<int>(h)]; }
    // The worst state of the printers that are known; kNotKnown when none is.
    Health Worst() const;
    bool operator==(const FleetCounts& o) const;
};

// "well", "warning", "error", "not answering", "not known".
const char* HealthName(Health h);
// One line for the trace: "error: 3 printers (well 1, error 1, not answering 1)".
std::string FleetSummary(const FleetCounts& counts);

// The tooltip: text 1018, the state's line (texts 1027-1031), then the
// number of printers (1021) and each count that is not 0 (1022-1026), one
// per line.
std::string FleetToolTip(const FleetCounts& counts, const qavres::StringTable& language);

class FleetState {
public:
    // A polling read stored a fresh record, or a trap came from a printer
    // that was not answering: the record speaks again.
    void Answered(uint32_t address);
    // Polling got no answer (the record keeps its values): with the record
    // as it stands now.
    void NotAnswering(const FleetRecord& record);
    // A maker's trap 6/code: the printer reports status code `code`.
    void TrapStatus(const FleetRecord& record, int code);
    // Forgets everything learnt beside the records before `serial` (see
    // Serial()): the list window's refresh has read every printer since.
    void ForgetBefore(unsigned long serial);
    // Increases with every observation.
    unsigned long Serial() const { return serial_; }

    // The counts over these records; what was learnt of a printer whose
    // record has changed since is forgotten.
    FleetCounts Count(const std::vector<FleetRecord>& records);

private:
    struct Seen {
        bool answering = true;
        int code = -1; // the trap's status code, or -1
        std::string stamp;
        unsigned long serial = 0;
    };
    std::unordered_map<uint32_t, Seen> seen_;
    unsigned long serial_ = 0;
};

// The records of the process's device list.
std::vector<FleetRecord> DeviceListRecords();
// One record of the device list, by address (a fresh, unknown record when it
// is not listed).
FleetRecord DeviceListRecord(uint32_t address);

} // namespace nwatch

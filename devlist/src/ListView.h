// What the list window shows and does, without the window: its columns, the
// texts and icons of a printer row, sorting a group, the selection kept in
// the group's marks, and the commands on the selected printers and groups.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "nlist/ListData.h"

namespace qavres {
class StringTable;
}
namespace qavsettings {
struct DisplayConfig;
}

namespace nlist {

// The 12 columns in their table order (the keys of "QAVDisplayConfig.INI").
enum Column {
    kColName, kColStatus, kColPort, kColModel, kColSerial, kColLocation,
    kColManager, kColComment, kColRenewalTime, kColHostName, kColRfidError, kColRfidOk,
    kColumnTotal
};
extern const std::array<int, kColumnTotal> kColumnHeadingIds;

// The heading of a column: its language text, or its key when there is none.
std::string ColumnHeading(int column, const qavres::StringTable& language);

struct ShownColumn {
    int column;
    int width;
    // No width stored for it yet: the window fits it to its contents when
    // it first shows it (and stores that width when it closes, as any other).
    bool fit = false;
};
// The shown columns in display order: Name first, then every column whose
// Display is 1, placed by its Order (0 or missing after the numbered ones;
// equal Orders keep the table order).
std::vector<ShownColumn> ShownColumns(const qavsettings::DisplayConfig& config);

// Icon numbers 1..18 of the window's image list (0: no icon).
inline constexpr int kIconCount = 18;
inline constexpr int kIconDhcpOn = 16;
inline constexpr int kIconDhcpOff = 17;
inline constexpr int kIconDhcpUnknown = 18;
inline constexpr int kIconNotKnown = 18;

// The status of a printer loaded from the group file that has not answered
// yet: what the file says is no news of the printer.
inline constexpr int kTextNotKnownYet = 3151;

struct Cell {
    std::string text;
    int icon = 0;
};
// The cell of a column. `awaiting`: the printer has not answered since it
// was loaded (AwaitsFirstAnswer), so its status is not known yet.
Cell CellOf(const ListData& record, int column, const qavres::StringTable& language, bool awaiting = false);
// The text a column sorts by: the cell text, the address zero-padded
// ("%03d.%03d.%03d.%03d") in the Port column.
std::string SortText(const ListData& record, int column, const qavres::StringTable& language,
                     bool awaiting = false);

// The explanation of a cell's mark, for its tooltip and the status bar: the
// " [H]" after a Status text (2055) and the icons of the Host Name column
// (16: 2056, 17: 2057, 18: 2058); 0 when the cell has no mark.
int MarkExplanation(const ListData& record, int column, bool awaiting = false);
// The legend of the marks (Help > Status Marks): icon (0 for the text mark
// " [H]") and its explanation, in the order shown.
struct MarkLegendRow {
    int icon;
    int text;
};
extern const std::array<MarkLegendRow, 4> kMarkLegend;

// A snapshot of the printers of one group, in member order; a member whose
// record is gone shows as a fresh record with its address. `awaiting`, when
// given, receives per row whether the printer awaits its first answer.
std::vector<ListData> GroupRows(int group, std::vector<bool>* awaiting = nullptr);

// Sort direction of a heading click: ascending unless the previous sort was
// ascending on the same column.
class SortOrder {
public:
    bool Click(int column); // true: ascending
    void Reset() { column_ = -1; }
private:
    int column_ = -1;
    bool ascending_ = false;
};

// Sorts the members of the group (with their marks) by the column's text
// without regard to case; equal texts keep their order. The new order is
// written back into the group. False when the group does not exist or
// changed meanwhile.
bool SortGroup(int group, int column, bool ascending, const qavres::StringTable& language);

// The selection of the printer rows lives in the group's marks (1 selected).
void StoreSelection(int group, const std::vector<bool>& selected);
std::vector<bool> StoredSelection(int group);

// -------------------------------------------------------------- commands

// A program to start: its file name (found beside the running program) and
// its arguments. An empty program with `problem` saying why when it cannot
// be started (the list file could not be written).
struct ProgramStart {
    std::string program;
    std::vector<std::string> args;
    std::string problem;
};

// The suite's programs the window starts, by the names of their command
// lines; installed, they are nstat, nconfig and nload in the program folder.
inline constexpr const char* kStatusMonitorProgram = "NSTAT.exe";
inline constexpr const char* kSystemToolProgram = "NCONFIG.EXE";
inline constexpr const char* kDownloadToolProgram = "NLOAD.EXE";

inline constexpr const char* kListFileName = "temp.txt";

// "NSTAT.exe %s %d": one per printer.
std::string StatusMonitorCommandLine(uint32_t address, int accessMode);
// The system setting tool: one printer in mode 3 ("3", "SNMP", address);
// several through the list file in mode 4 ("4", list path). The list file
// ("SNMP <address>" per line) is written into `folder`; an empty start when
// there is no printer or the file cannot be written.
ProgramStart SystemToolStart(const std::vector<uint32_t>& printers, const std::string& folder);
// The download tool: "SNMP", address; or the list path alone.
ProgramStart DownloadToolStart(const std::vector<uint32_t>& printers, const std::string& folder);
std::string PrinterWebAddress(uint32_t address);

inline constexpr int kMaxGroups = 10;
// 0 when a group may be created, else the text to refuse with (2201).
int NewGroupRefusal();
// Groups 0 and 1 are fixed; the others may be deleted. True when removed.
bool DeleteUserGroup(int group);
// Removes the printers from the device list and from every group; the
// number of printers removed.
int DeletePrinters(const std::vector<uint32_t>& printers);

} // namespace nlist

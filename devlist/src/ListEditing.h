// The checks and effects of the list editing dialogs, without the dialogs:
// adding one printer by address, creating or editing a group with its
// criteria, and the values the device list already holds for a field.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "nlist/ListData.h"

namespace nlist {

// Add printer. 0 when the address may be added, else the text to refuse
// with: 2173 for a blank or incomplete address (a field empty), 0.0.0.0 or
// 255.255.255.255, 2172 for an address already in group 0. `fields` are the
// four fields of the address control, each empty or 0..255.
int AddPrinterRefusal(const std::string fields[4], uint32_t* address = nullptr);
// Reads the printer (maker check with a query, then the maker's or the
// standard objects), stamps the renewal time, appends it to the device list
// and to every group among the first 10 whose criteria it meets. The printer
// is added even when it did not answer (kind -1). Returns its list index.
int AddPrinter(uint32_t address);

// The group dialog's fields.
struct GroupForm {
    std::string name;
    bool useModel = false, useLocation = false, useManager = false, useComment = false;
    bool useSerial = false, useAddress = false;
    std::string model, location, manager, comment;
    std::string serialFrom, serialTo;
    std::string address[4]; // the address control's fields; all empty is blank
};

// The form of an existing group (serial range split at "~").
GroupForm FormOfGroup(int index);
// 0 when the form may be stored for the group `editIndex` (-1: a new
// group), else the text to refuse with: 2149 empty name (after trimming),
// 2150 a name another group has, compared without regard to case.
int GroupRefusal(const GroupForm& form, int editIndex);
// Trims the name and normalises the criteria: a checked list with an empty
// text and a blank address are unchecked; the serial range is unchecked
// when both ends are empty, takes the other end when one is, and has its
// ends swapped when from > to (byte-wise).
void NormaliseGroupForm(GroupForm& form);
// The group record of a normalised form, with every printer of the device
// list that meets its criteria as a member (mark 0).
GroupData GroupFromForm(const GroupForm& form);
// Groups 0 (every printer) and 1 (the maker's printers) are fixed: their
// members follow from the printers, never from criteria.
inline bool IsFixedGroup(int index) { return index == 0 || index == 1; }

// Checks, normalises and stores the form: appended as a new group
// (editIndex -1) or replacing the group at editIndex. For the fixed groups
// only the name is taken over. 0 and the group's index in `stored`, or the
// refusal text.
int StoreGroup(GroupForm& form, int editIndex, int* stored = nullptr);

// List-value dialog: a comma-separated text into items and back.
std::vector<std::string> SplitList(const std::string& text);
std::string JoinList(const std::vector<std::string>& items);
// Appends the value unless the list holds it (exact comparison); true when added.
bool AddListValue(std::vector<std::string>& items, const std::string& value);

// Current-values dialog: field kinds.
enum ValueField { kValueModel = 1, kValueLocation, kValueManager, kValueComment, kValuePort, kValueSerial };
// Every distinct non-empty value of the field over the device list, in list order.
std::vector<std::string> CurrentValues(int field);

} // namespace nlist

// The device setting dialog's rules: its six fields with the objects they
// write and their lengths, the serial number's characters, and the update
// that writes only the fields that changed.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "nstat/Printer.h"

namespace nstat {

struct SettingField {
    int label;      // label text
    int object;     // written as a string object
    int maxChars;   // the field takes no more
    bool makerOnly; // editable (and filled) for the maker's printers only
};
inline constexpr int kSettingFieldCount = 6;
// Name, location, serial number, administrator, contact, comment.
extern const std::array<SettingField, kSettingFieldCount> kSettingFields;
using SettingValues = std::array<std::string, kSettingFieldCount>;

// The fields as the basic objects hold them; the maker's fields stay empty
// for other printers.
SettingValues SettingValuesOf(const PrinterState& state);

// The serial number takes characters from the space upward, but not DEL.
bool SerialCharacterAllowed(unsigned char c);
bool SerialTextAllowed(const std::string& text);

// Writes each field that differs from its opening value (the maker's fields
// only for the maker's printers), stopping at the first failure; then, for
// the maker's printers, object 20841 = 3 so that the printer takes the new
// values. `changed` is false when no field changed (nothing is written).
struct SettingUpdate {
    bool changed = false;
    bool ok = true;
    std::vector<int> written; // the objects written, in order
};
SettingUpdate WriteChangedSettings(Printer& printer, const SettingValues& opening, const SettingValues& now);

} // namespace nstat

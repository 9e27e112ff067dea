// The status text and icon of a printer, for the list window and the group
// file.
#pragma once

#include <array>
#include <string>

namespace qavres {
class StringTable;
}

namespace nlist {

// A row of the maker's status table: class (carried, unused), status code,
// icon, text ID.
struct StatusRow {
    int statusClass;
    int code;
    int icon;
    int text;
};
extern const std::array<StatusRow, 48> kStatusTable;

// Fills `text` from the language table and returns the icon.
int StatusTextAndIcon(int isBCP, int printerStatus, int errorCode, int headStatus,
                      const qavres::StringTable& language, std::string& text);

} // namespace nlist

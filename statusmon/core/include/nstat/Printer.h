// The printer as the status monitor sees it: the state shared by all pages
// (maker flag, connection state, the values last read) and every read and
// write the pages make, through a PrinterLink.
//
// A Printer belongs to one thread at a time: the program keeps it on its
// worker thread and hands the window copies of what it read (snapshots),
// so no exchange ever runs on the window thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "nstat/PrinterLink.h"
#include "nstat/StatusDecoding.h"
#include "nstat/Views.h"

namespace qavres {
class StringTable;
}

namespace nstat {

// Object numbers the status monitor names in its own logic.
namespace obj {
constexpr int kDeviceDescr = 81, kPrinterStatus = 121, kErrorState = 141, kModelText = 161, kContact = 181,
              kName = 201, kLocation = 221, kBoard = 401, kInterfaceType = 421, kMac = 441, kAddressEntry = 661,
              kAddressMask = 681, kMarkerUnit = 1141, kLifeCount = 1161, kPanelLines = 1281, kSysObjectId = 1361;
constexpr int kCabinet = 20061, kDestination = 20041, kModelName = 20101, kSerial = 20781, kManager = 20801,
              kComment = 20821, kControl = 20841, kKey = 20861, kHeadCheck = 20881, kStatusCode = 20901,
              kPanelText = 20921, kHeadFlag = 20941, kDhcp = 22761;
} // namespace obj

// The text the maker check compares sysObjectID with (language text 3300).
inline constexpr int kMakerOidText = 3300;

// What every page shares.
struct PrinterState {
    uint32_t address = 0;
    bool maker = false;
    bool connected = false;
    // The last access could not set the communities ("SetCommunity failed").
    bool communityFailed = false;
    ObjectValues values; // object number -> value as last read

    const std::string& Value(int object) const;
    const std::string& ModelText() const { return Value(obj::kModelText); }
};

// The identity fields of the device status page.
struct Identity {
    std::string name, model, location, port, status, serial, mac;
};

// Everything the device status page shows after a refresh.
struct DevicePage {
    Identity identity;
    StatusResult status;
    int picture = 0;       // 0: no picture (hidden)
    std::string panel;     // the panel display
    std::vector<ViewInfo> views; // the selector
    ViewContent view;      // the selected view
};

// The job status page: one row of six values, the first five shown.
struct JobPage {
    bool read = false;            // the job read succeeded: one row
    std::vector<std::string> row; // 20961, 20981, 20901, 21041, 21001, 21021
};

// The network status page.
struct NetworkPage {
    std::string board, interfaceType, mac, address, mask;
    // The counter sections: a title row {title, ""} and its rows {label,
    // value}. The interface section (closed by an empty row) is there for
    // printers of other makers only.
    std::vector<std::vector<std::string>> rows;
    // The IP section as text: "[IP]" and a line per counter.
    std::string ipSummary;
};

// The interface type names: "ethernet-csmacd(6) " for 6; "unknown" for 0,
// for 34 and above and for negative numbers; "" for 33.
std::string InterfaceTypeName(int type);
// The same for the text of object 421 ("" stays "").
std::string InterfaceTypeText(const std::string& value);

class Printer {
public:
    Printer(PrinterLink& link, const qavres::StringTable& texts, uint32_t address);

    const PrinterState& State() const { return state_; }
    PrinterLink& Link() { return link_; }

    // Reads objects (at most 20 a request) into the state; false when the
    // exchange failed. Every object asked for is cleared first.
    bool Read(const std::vector<int>& objects, const std::vector<int>& types);
    bool Read(const std::vector<std::pair<int, int>>& objectsAndTypes);
    // A table walk (up to 10 rows); false when it failed.
    bool ReadTable(const std::vector<std::pair<int, int>>& columns, TableRows& rows);

    // The maker check: sysObjectID begins with text 3300. A failed read
    // leaves the flag as it was and returns false.
    bool ReadMakerFlag();
    // The basic objects: 10 for other printers, 13 for the maker's.
    bool ReadBasicObjects();
    // The window title: the printer name (or text 5000) and " ( model )".
    std::string WindowTitle() const;
    // Refresh's first step: the maker check again; when it fails, the
    // name and model are forgotten.
    void RecheckMaker();

    // The device status page with the view at `viewIndex` of the selector
    // (-1: none).
    DevicePage ReadDevicePage(int viewIndex);
    // Only the view.
    ViewContent ReadView(int viewIndex);
    // The status objects and their decoding (identity step 2 and 3): for
    // the maker's printers 20901, 20921 and 20941 (not 20941 on the
    // M-RA1); for others the panel table.
    StatusResult ReadStatus(std::string* panel);

    JobPage ReadJobPage();
    NetworkPage ReadNetworkPage();

    // Writes, recording the connection state.
    bool WriteInteger(int object, int value);
    bool WriteString(int object, const std::string& value);

private:
    void Note(const Outcome& out);

    PrinterLink& link_;
    const qavres::StringTable& texts_;
    PrinterState state_;
};

// The basic objects with their types, in the order they are read.
std::vector<std::pair<int, int>> BasicObjects(bool maker);

} // namespace nstat

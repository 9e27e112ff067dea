// The notification record of a received trap: what the trap handler builds
// and the channels (list window, pop-up, sound, mail, trap log) read.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "ncomm/CQBPVb.h"

namespace qavres {
class ObjectTable;
}

namespace nwatch {

struct NotificationRecord {
    // The trap.
    int generic = 0;
    int specific = 0;
    std::string enterprise;
    CQBPVb bindings;
    int listIndex = -1;
    uint32_t address = 0; // first octet most significant

    // Reception time: "MM/DD/YY" and "HH:MM:SS".
    std::string date;
    std::string time;

    // Copies from the printer's device record.
    std::string name, location, manager, serial;
    int printerStatus = 0;
    int errorCode = 0;

    std::string message; // text of the matched trap-table row (at most 259 characters)

    // Values taken from the bindings.
    int trapErrorCode = -1;
    std::string detail1; // at most 32 bytes
    std::string detail2; // at most 33 bytes
    std::string detail3; // at most 33 bytes
    int secondInteger = 0;
};

// Objects whose OIDs name the detail bindings of a trap.
inline constexpr int kObjectTrapErrorCode = 20961;
inline constexpr int kObjectDetail1 = 20981;
inline constexpr int kObjectDetail2 = 21001;
inline constexpr int kObjectDetail3 = 21021;
inline constexpr int kObjectSecondInteger = 21041;

// Fills the detail values from the bindings (generic 6 and 7 only): each
// binding whose OID starts with an object's OID gives that value; the first
// binding that carries a status instead of a value ends the scan.
void ScanBindings(NotificationRecord& record, const qavres::ObjectTable& objects);

// Detail text 1: at most 32 bytes, without a half double-byte character at
// the end, right-trimmed.
std::string CutDetailText1(const std::string& text);

// "MM/DD/YY" and "HH:MM:SS" of a local time.
void StampReception(NotificationRecord& record, std::time_t when);

} // namespace nwatch

// Reading printers for the monitor: the single-object reader, the maker
// check, and the full and basic status readers that fill a device record.
// Objects are named by their number in the object table; every read opens
// an SNMP version-1 session, uses it once and closes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "nlist/ListData.h"

namespace qavres {
class ObjectTable;
class StringTable;
}

namespace nwatch {

// What every read needs besides the printer's address.
struct ReadContext {
    const qavres::ObjectTable* objects = nullptr; // null: the table could not be loaded
    const qavres::StringTable* language = nullptr;
    std::string readCommunity;  // empty: the library's own
    std::string writeCommunity;
};

enum class ReadFailure {
    kNone,
    kNoObjectTable,   // text 3310
    kSetCommunity,    // "SetCommunity failed"
    kNoAnswer,        // the printer did not answer, or the exchange failed
};

// One request entry of the single-object reader.
struct ObjectRequest {
    int kind;         // 2 integer, 4/6/64 text, 65 counter
    int object;       // object number
    std::string value; // out: "%d", "%u" or the text; empty when not answered
    bool answered = false;
};

// Reads up to 20 objects in one GET. Each object's table text is used
// unchanged as the request OID; an answer counts only when its OID starts
// with that text. True when the exchange succeeded.
bool ReadObjects(uint32_t address, std::vector<ObjectRequest>& requests, const ReadContext& context,
                 ReadFailure* failure = nullptr);

// The maker check: a record for the address that already knows gives its
// value; otherwise, with `mayQuery`, object 1361 is read and compared with
// text 3300 (the maker's enterprise), and the result stored in the record.
// 0 when the printer cannot be read.
int MakerCheck(uint32_t address, bool mayQuery, const ReadContext& context);

// The full and the basic status reader. `record` leaves with what the
// printer answered; fields a reader does not fill keep what the record held.
// renewalTime becomes the current time when a compared field differs from
// `compareWith` (default: the record as it came in), else it keeps
// compareWith's time. 1 success, 0 failure (kind -1).
int ReadFullStatus(uint32_t address, ListData& record, const ReadContext& context, ReadFailure* failure = nullptr,
                   const ListData* compareWith = nullptr);
int ReadBasicStatus(uint32_t address, ListData& record, const ReadContext& context, ReadFailure* failure = nullptr,
                    const ListData* compareWith = nullptr);

// "%d-%B-%Y %H:%M:%S" of the current local time.
std::string RenewalTimeNow();

} // namespace nwatch

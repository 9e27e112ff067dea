// Reading printers for the monitor: the single-object reader, the maker
// check, and the full and basic status readers that fill a device record.
// Objects are named by their number in the object table; every read opens
// an SNMP version-1 session, uses it once and closes it. The reads go
// through the shared object reader (qavobj::ReadObjects): one get-next of
// each object's bare identifier, an answer counting only when it lies below
// the identifier asked for, so that strict agents (which want the instance
// in a GET) answer as well as lenient ones.
#pragma once

#include <cstdint>
#include <ctime>
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

// Reads up to 20 objects in one exchange; an answer counts only when it is
// of the requested kind and its OID lies below the object's. More than 20
// requests read nothing. True when the exchange succeeded.
bool ReadObjects(uint32_t address, std::vector<ObjectRequest>& requests, const ReadContext& context,
                 ReadFailure* failure = nullptr);

// The object whose value names the printer's maker (sysObjectID), and the
// text holding the maker's enterprise.
inline constexpr int kObjectMakerOid = 1361;
inline constexpr int kTextMakerEnterprise = 3300;

// The maker check: a record for the address that already knows gives its
// value; otherwise, with `mayQuery`, the printer is asked (AskMakerFlag).
// 0 when the printer cannot be read.
int MakerCheck(uint32_t address, bool mayQuery, const ReadContext& context);

// The maker flag of the address's record without asking anyone: 1, 0, or
// -1 when it is not known yet or the address is not listed.
int KnownMakerFlag(uint32_t address);

// Asks the printer: object 1361 is read and its value must lie under text
// 3300 (the maker's enterprise). The result is stored in the record and
// returned; 0, with `answered` false, when the printer did not answer
// (nothing is stored then).
int AskMakerFlag(uint32_t address, const ReadContext& context, bool* answered = nullptr);

// The full and the basic status reader. `record` leaves with what the
// printer answered; fields a reader does not fill keep what the record held.
// renewalTime becomes the current time when a compared field differs from
// `compareWith` (default: the record as it came in), else it keeps
// compareWith's time. 1 success, 0 failure (kind -1).
int ReadFullStatus(uint32_t address, ListData& record, const ReadContext& context, ReadFailure* failure = nullptr,
                   const ListData* compareWith = nullptr);
int ReadBasicStatus(uint32_t address, ListData& record, const ReadContext& context, ReadFailure* failure = nullptr,
                    const ListData* compareWith = nullptr);

// "%d-%B-%Y %H:%M:%S" of the current local time: "08-December-2026 14:05:09".
std::string RenewalTimeNow();
std::string RenewalTimeText(const std::tm& time);

} // namespace nwatch

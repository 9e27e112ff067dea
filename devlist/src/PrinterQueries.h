// Reading one printer over SNMP for the device list: the printer check and
// the two object sets that fill a device record (the maker's and the
// standard one). Used by the device search, and through RecordQueries by
// the list window's refresh.
// Each call opens an SNMP version-1 session to the printer, uses it and
// closes it.
#pragma once

#include <cstdint>
#include <string>

#include "nlist/ListData.h"

namespace nlist {

enum class QueryFailure {
    kNone,
    kNoObjectTable, // text 3310
    kSetCommunity,  // "SetCommunity failed"
    kNoAnswer,      // the printer did not answer, or the exchange failed
};

// The communities of "QAVMgmtConfig.INI" (empty: the library's own).
struct Communities {
    std::string read;
    std::string write;
};
Communities ReadCommunities();

// Whether the printer is the maker's, with three outcomes: the stored flag
// when the record knows it; else the answer of the printer to the maker
// check (1 or 0), stored in its record when it is listed; -1, with nothing
// stored, when it did not answer (DetermineIsBCP gives 0 then).
int MakerFlag(uint32_t address, const Communities& communities);

// The printer check: the first hrDeviceType value (get-next of object 1401)
// contains ".5", and the get-next of object 1441 answers a Counter32 under
// that object.
bool IsPrinter(uint32_t address, const Communities& communities, QueryFailure* failure = nullptr);

// The maker's object set (kind 1, isBCP 1) and the standard one (kind 0),
// read by one get-next request into `record`, which should come in fresh.
// renewalTime becomes the current time when a compared field differs from
// `previous`, else it keeps previous's time. On failure kind is -1,
// printerStatus 6 and errorCode 512; false is returned.
bool ReadMakerObjects(uint32_t address, ListData& record, const ListData& previous, const Communities& communities,
                      QueryFailure* failure = nullptr);
bool ReadStandardObjects(uint32_t address, ListData& record, const ListData& previous,
                         const Communities& communities, QueryFailure* failure = nullptr);

// One object read by get-next and answered with an integer below it.
bool ReadIntegerObject(uint32_t address, int object, const Communities& communities, int& value);

// "%d-%B-%Y %H:%M:%S" of the current local time.
std::string RenewalTimeNow();

// The model text of the maker's printer without a print head (no head
// state, no RFID counters).
inline constexpr const char* kModelWithoutHead = "QAV M-RA1";

} // namespace nlist

// The printer information a network printer gives over SNMP: model and
// name, the version of each download kind, its boot type and state. The
// OIDs are texts 7000-7018 (one get-next of all 19) and 7050-7051 (a second
// one) of the tool's texts; answers by place:
//
//    0 model with maker prefix   1 name           2 short model
//    3 MAIN version              5 BOOT version   7 C/G version
//    9 KANJI1 version           11 KANJI2 version 15 HTML version
//   12 status code (not 0: it cannot take a download now)
//   13 head state   14 restart mark (not 0: it restarts slowly)
//   17 boot type    4, 6, 8, 10, 16, 18 further texts
//   second request: network program name and version
//
// An answer counts only when it lies below the OID asked for and is of
// the object's type; the others leave their field empty.
#pragma once

#include <string>

#include "nload/Printer.h"

namespace qavres {
class StringTable;
}

namespace nload {

inline constexpr int kInfoFirstOid = 7000;
inline constexpr int kInfoOidCount = 19;
inline constexpr int kInfoSecondOid = 7050;

// The communities of the read; empty takes the library's own.
struct Communities {
    std::string read, write;
};

// Reads the information of a network printer into its record, and sets its
// result: 0, or 10 (no transport), 11 (Open failed) or 12 (the request
// failed), with the library's result and the system error. The record's
// information fields are emptied first, so a failed read leaves them empty.
int ReadPrinterInfo(const qavres::StringTable& texts, const Communities& communities, PrinterInfo& printer);

} // namespace nload

#include "Parameters.h"

#include <cstdlib>

#include "Printer.h"
#include "qavres/Resources.h"

namespace qavsim {

namespace {

struct ParameterRow {
    int object;
    Range::Kind kind;
    int64_t low;
    int64_t high;
    const char* initial; // integers in decimal; nullptr: keep the printer's value
};

// The firmware's ranges, one row per parameter. The label width accepts
// less than the tool's pages offer (10..832 dots against 8..1000): a value
// in between is refused by the printer, not by the tool.
const ParameterRow kParameters[] = {
    {20641, Range::kNumber, 10, 9999, "812"},      // label pitch, dots
    {20661, Range::kNumber, 10, 832, "812"},       // label width, dots
    {20701, Range::kNumber, 0, 4, "2"},            // print speed
    {20721, Range::kNumber, 1, 10, "5"},           // print darkness
    {20741, Range::kNumber, -99, 99, "0"},         // vertical offset, dots
    {20761, Range::kNumber, -99, 99, "0"},         // horizontal offset, dots
    {25061, Range::kNumber, -99, 99, "0"},         // stop position, 0.1 mm
    {25081, Range::kNumber, -99, 99, "0"},         // backfeed, 0.1 mm
    {25101, Range::kNumber, 0, 3, "0"},            // issue mode
    {25121, Range::kNumber, 0, 2, "0"},            // sensor selection
    {25141, Range::kNumber, 0, 1, "1"},            // paper end detection
    {25161, Range::kNumber, 0, 1, "0"},            // ribbon saving
    {25361, Range::kNumber, 25, 4000, "400"},      // media length, 0.01 in
    {25381, Range::kNumber, 50, 150, "100"},       // head energy ratio, 0.01
    {25401, Range::kNumber, 0, 1, "1"},            // calibration at power-on
    {25421, Range::kNumber, 0, 2, "0"},            // feed key function
    {25441, Range::kNumber, 0, 1, "1"},            // buzzer
    {25461, Range::kNumber, 0, 5000, "0"},         // cutter delay, ms
    {25481, Range::kLength, 0, 16, nullptr},       // form name
    {25501, Range::kLength, 1, 6, nullptr},        // time zone offset
    {25521, Range::kHexLength, 4, 8, nullptr},     // panel lock code
    {25541, Range::kNumber, 0, 65535, "0"},        // interface options
    {25581, Range::kNumber, 0, 200, "30"},         // label gap, 0.1 mm
    {25601, Range::kNumber, 0, 1, "0"},            // print direction
    {25621, Range::kNumber, 0, 1, "1"},            // reprint after error
    {22721, Range::kAny, 0, 0, nullptr},           // subnet mask
    {22741, Range::kAny, 0, 0, nullptr},           // default gateway
    {22761, Range::kNumber, 0, 1, nullptr},        // DHCP
    {22801, Range::kLength, 0, 32, nullptr},       // DHCP host name
    {22821, Range::kNumber, 1, 65535, "9100"},     // raw port number
    {22841, Range::kNumber, 0, 3600, "60"},        // keep-alive time, s
    {20801, Range::kLength, 0, 64, nullptr},       // administrator
    {20821, Range::kLength, 0, 255, nullptr},      // comment
    {201, Range::kLength, 0, 255, nullptr},        // printer name
    {221, Range::kLength, 0, 255, nullptr},        // location
    {181, Range::kLength, 0, 255, nullptr},        // contact
    {obj::kOwnAddress, Range::kLoopback, 0, 0, nullptr},
};

// Texts that start out other than empty.
struct TextDefault {
    int object;
    const char* value;
};
const TextDefault kTextDefaults[] = {
    {25481, "STANDARD"},
    {25501, "+0"},
    {25521, "0000FFFF"},
};

} // namespace

Oid ParameterOid(const qavres::ObjectTable& table, int object)
{
    Oid oid;
    if (!ParseOid(table.Oid(object), oid)) return {};
    oid.push_back(0);
    return oid;
}

void InstallParameters(Mib& mib, const qavres::ObjectTable& table, const PrinterEntry& entry)
{
    for (const ParameterRow& row : kParameters) {
        const Oid oid = ParameterOid(table, row.object);
        if (oid.empty()) continue;
        if (row.initial) mib.Set(oid, Value::Integer(std::strtoll(row.initial, nullptr, 10)), true);
        mib.Limit(oid, Range{row.kind, row.low, row.high});
    }
    for (const TextDefault& t : kTextDefaults) {
        const Oid oid = ParameterOid(table, t.object);
        if (!oid.empty()) mib.Set(oid, Value::Text(t.value), true);
    }
    const Oid own = ParameterOid(table, obj::kOwnAddress);
    if (!own.empty()) mib.Set(own, Value::Ip(entry.address), true);
    const Oid mask = ParameterOid(table, 22721);
    if (!mask.empty()) mib.Set(mask, Value::Ip(0xFF000000u), true);
    const Oid gateway = ParameterOid(table, 22741);
    if (!gateway.empty()) mib.Set(gateway, Value::Ip(0x7F000001u), true);
}

} // namespace qavsim

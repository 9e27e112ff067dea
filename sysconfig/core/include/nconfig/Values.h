// The values of parameters: the form shown in the tree (and written into
// exported files) for the value the printer holds, and the check of a value
// entered in an editor or read from a configuration-data file, which gives
// the value to write.
//
// Forms by kind:
//   > 0  the label of the value; "label [v]" unless the label ends in a
//        number in square brackets other than -1
//   -1   the stored integer divided by 10^q with q decimals ("12.34"),
//        followed by " unit" when there is one
//   -2   the text, followed by " unit" when there is one
//   -3   the dotted address
//   -4   "0x" and hexadecimal digits, zero-padded to the length of the
//        upper bound's text
//   -5   as -2 for texts and addresses, as -1 for numbers
//   -6   "0", followed by " unit" when there is one
// A value the printer did not give is "@unknown@".
#pragma once

#include <string>

#include "nconfig/Pages.h"

namespace nconfig {

inline constexpr const char* kUnknownValue = "@unknown@";

// The shown form of a value as the printer holds it ("@unknown@" stays).
std::string DisplayValue(const Parameter& parameter, const std::string& raw);

// Checks a value against the parameter: an enumeration takes a label, its
// shown form or the number of a choice; a decimal is cut (not rounded) to
// its decimal places and must lie within the bounds, which are written in
// the shown unit ("-9.9"); a text's length must lie between the minimum and
// the maximum, and a hex text (attribute 1) holds hexadecimal digits only
// and is upper-cased and padded with "F" to the maximum; every octet of an
// address lies between the octets of the bounds; a hexadecimal number lies
// between its hexadecimal bounds. A trailing unit is ignored. True with the
// value to write (decimal integers, the text, the dotted address);
// read-only and fixed parameters never pass.
bool ParseValue(const Parameter& parameter, const std::string& text, std::string& raw);

// The stored integer of a decimal text with `decimals` places, cut after
// them ("12.345", 2 gives 1234). False for anything but an optional sign,
// digits and one optional point.
bool ParseDecimalText(const std::string& text, int decimals, long long& stored);
// The shown text of a stored integer with `decimals` places (1234, 2 gives
// "12.34"; -5, 2 gives "-0.05").
std::string DecimalText(long long stored, int decimals);

} // namespace nconfig

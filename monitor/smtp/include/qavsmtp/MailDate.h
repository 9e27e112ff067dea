// The date of a mail header in the form mail readers expect:
// "Mon, 01 Jul 2024 08:00:00 -0400" (day and month names in English, the
// local time of the machine, and its offset from UTC at that moment,
// daylight time included).
#pragma once

#include <ctime>
#include <string>

namespace qavsmtp {

// The header date of `when` in the local time zone (TZ as the C library
// sees it).
std::string FormatMailDate(std::time_t when);

// The offset part alone: sign, two-digit hours, two-digit minutes, from an
// offset east of UTC in minutes (+330 gives "+0530", -300 "-0500", -30 "-0030").
std::string FormatUtcOffset(long minutesEastOfUtc);

} // namespace qavsmtp

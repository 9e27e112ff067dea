// The date of a mail header in the form mail readers expect:
// "Mon, 01 Jul 2024 08:00:00 -0400": day and month names in English
// whatever the user's locale, the local time of the machine, and its offset
// from UTC at that moment, daylight time included. The mail library and the
// monitor's own SMTP client both date their mail here.
#pragma once

#include <ctime>
#include <string>

namespace qavplatform {

// The header date of `when` in the local time zone (TZ as the C library
// sees it, read again at every call).
std::string MailDate(std::time_t when);

// The offset part alone: sign, two-digit hours, two-digit minutes, from an
// offset east of UTC in minutes (+330 gives "+0530", -300 "-0500", -30
// "-0030": the sign belongs to the whole offset).
std::string UtcOffsetText(long minutesEastOfUtc);

} // namespace qavplatform

#include "qavplatform/MailDate.h"

#include <cstdio>
#include <cstdlib>

namespace qavplatform {

std::string UtcOffsetText(long minutesEastOfUtc)
{
    const char sign = minutesEastOfUtc < 0 ? '-' : '+';
    const long magnitude = std::labs(minutesEastOfUtc);
    char text[16];
    std::snprintf(text, sizeof text, "%c%02ld%02ld", sign, (magnitude / 60) % 100, magnitude % 60);
    return text;
}

std::string MailDate(std::time_t when)
{
    // Not from strftime: the names must be English in every locale.
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    ::tzset(); // follow a TZ changed while the program runs
    std::tm local{};
    if (!::localtime_r(&when, &local)) return std::string();
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d ", kDays[local.tm_wday % 7], local.tm_mday,
                  kMonths[local.tm_mon % 12], local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    // tm_gmtoff is the offset east of UTC in force at that moment.
    return text + UtcOffsetText(local.tm_gmtoff / 60);
}

} // namespace qavplatform

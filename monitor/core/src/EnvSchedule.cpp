#include "nwatch/EnvSchedule.h"

#include <cstdlib>

#include "qavres/Resources.h"

namespace nwatch {

namespace {

struct Date {
    int year;  // e.g. 2025
    int month; // 1..12
    int day;   // 1..31
};

std::tm Local(int64_t when)
{
    const std::time_t t = static_cast<std::time_t>(when);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    return tm;
}

Date DateOf(const std::tm& tm) { return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday}; }

// The date `days` after (or before) a date, by the calendar. Noon keeps a
// daylight-saving change of the day out of the arithmetic.
Date AddDays(const Date& d, int days)
{
    std::tm tm{};
    tm.tm_year = d.year - 1900;
    tm.tm_mon = d.month - 1;
    tm.tm_mday = d.day + days;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    std::mktime(&tm);
    return DateOf(tm);
}

// The first month from (year, month) on that has the given day.
Date MonthWithDay(int year, int month, int day)
{
    while (DaysInMonth(year, month) < day) {
        if (++month > 12) {
            month = 1;
            ++year;
        }
    }
    return {year, month, day};
}

Date NextMonthWithDay(const Date& d, int day)
{
    return d.month == 12 ? MonthWithDay(d.year + 1, 1, day) : MonthWithDay(d.year, d.month + 1, day);
}

// The local time of a date at hour:minute:00; the system decides whether
// daylight saving applies.
int64_t At(const Date& d, int hour, int minute)
{
    std::tm tm{};
    tm.tm_year = d.year - 1900;
    tm.tm_mon = d.month - 1;
    tm.tm_mday = d.day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = 0;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&tm));
}

int LeadingInt(const std::string& text)
{
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

EnvSchedule Off() { return EnvSchedule{}; }

} // namespace

int DaysInMonth(int year, int month)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
    return kDays[month - 1];
}

bool EnvLogEnabled(const qavsettings::EnvironmentalLogConfig& s)
{
    return s.toBeLogged != -1 && s.toBeLogged != 0 && !s.filename.empty() && s.maximumSize != -1;
}

bool EnvLogTime(const std::string& text, int& hour, int& minute)
{
    if (text.empty()) return false;
    if (!qavsettings::ParseLogTime(text, hour, minute)) {
        hour = LeadingInt(text); // "8": eight o'clock
        minute = 0;
    }
    return true;
}

EnvSchedule ComputeEnvSchedule(const qavsettings::EnvironmentalLogConfig& s, const qavres::StringTable& language,
                               std::time_t now)
{
    if (!EnvLogEnabled(s)) return Off();
    EnvSchedule out;
    if (!EnvLogTime(s.time, out.hour, out.minute)) return Off();
    switch (qavsettings::CycleFromText(s.cycle, language)) {
    case qavsettings::LogCycle::kDaily: out.cycle = EnvSchedule::kDaily; break;
    case qavsettings::LogCycle::kWeekly: out.cycle = EnvSchedule::kWeekly; break;
    case qavsettings::LogCycle::kMonthly: out.cycle = EnvSchedule::kMonthly; break;
    case qavsettings::LogCycle::kOff: return Off();
    }
    if (out.hour < 0 || out.hour > 23 || out.minute < 0 || out.minute > 59) return Off();

    const std::tm today = Local(now);
    const Date date = DateOf(today);
    // H:M is still to come today.
    const bool toCome = today.tm_hour < out.hour || (today.tm_hour == out.hour && today.tm_min < out.minute);
    Date target = date;
    switch (out.cycle) {
    case EnvSchedule::kDaily:
        if (!toCome) target = AddDays(date, 1);
        break;
    case EnvSchedule::kWeekly: {
        // The settings dialog stores 1 (Monday) .. 7 (Sunday); 7 and -1 are
        // Sunday, counted 0.
        out.day = s.day % 7;
        if (out.day < 0) out.day = 0;
        int ahead = out.day - today.tm_wday;
        if (ahead < 0 || (ahead == 0 && !toCome)) ahead += 7;
        target = AddDays(date, ahead);
        break;
    }
    case EnvSchedule::kMonthly:
        if (s.day < 1 || s.day > 31) return Off();
        out.day = s.day;
        // A report on day D comes in the months that have a day D: on the
        // 31st, January 31 after the time leads to March 31.
        if (DaysInMonth(date.year, date.month) >= out.day &&
            (date.day < out.day || (date.day == out.day && toCome))) {
            target = {date.year, date.month, out.day};
        } else {
            target = NextMonthWithDay(date, out.day);
        }
        break;
    }
    if (target.year < 1970) return Off();
    out.next = At(target, out.hour, out.minute);
    return out;
}

bool EnvScheduleDue(EnvSchedule& s, std::time_t now)
{
    if (!s.On()) return false;
    const std::tm due = Local(s.next);
    const std::tm at = Local(now);
    if (due.tm_year != at.tm_year || due.tm_mon != at.tm_mon || due.tm_mday != at.tm_mday ||
        due.tm_hour != at.tm_hour || due.tm_min != at.tm_min)
        return false;
    const Date date = DateOf(due);
    Date following = date;
    switch (s.cycle) {
    case EnvSchedule::kDaily: following = AddDays(date, 1); break;
    case EnvSchedule::kWeekly: following = AddDays(date, 7); break;
    case EnvSchedule::kMonthly: following = NextMonthWithDay(date, s.day); break;
    default: break;
    }
    s.next = At(following, s.hour, s.minute);
    return true;
}

std::string LocalTimeText(int64_t when)
{
    const std::tm tm = Local(when);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &tm);
    return text;
}

} // namespace nwatch

// When the environmental log is written: the next report time computed
// from section Environmental of QAVLogConfig.INI, and the check that the
// monitor runs every 40 s against it.
//
// Times are local times of the computer; whether daylight saving applies to
// a date is decided by the system (mktime with tm_isdst -1), so a daily
// report at 08:00 stays at 08:00 on both sides of a change. A report time
// that passes while the check does not run (the computer asleep) is not
// caught up: it stays in the past until the schedule is computed again.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "qavsettings/SettingsFiles.h"

namespace qavres {
class StringTable;
}

namespace nwatch {

// The values the check needs between two reports.
struct EnvSchedule {
    enum Cycle { kOff = 0, kDaily = 1, kWeekly = 2, kMonthly = 3 };
    int cycle = kOff;   // kOff: the log is off
    int64_t next = 0;   // the next report time, seconds since 1970
    int hour = 0;       // Time, hour and minute
    int minute = 0;
    int day = -1;       // weekly: weekday 0 (Sunday) .. 6; monthly: day of the month 1..31
    bool On() const { return cycle != kOff; }
};

// Whether the settings let the log be written at all: ToBeLogged not -1 and
// not 0, a file name, and a MaximumSize other than -1.
bool EnvLogEnabled(const qavsettings::EnvironmentalLogConfig& settings);

// The hour and minute of a Time value ("h:m:s"): only the first two fields
// count, a missing minute is 0. False when the text is empty.
bool EnvLogTime(const std::string& text, int& hour, int& minute);

// The schedule from the settings as of `now`: off when EnvLogEnabled says
// no, when Time or Cycle cannot be read, when the cycle is none of texts
// 4145 (daily), 4146 (weekly), 4147 (monthly), when a monthly Day is
// missing, or when a field is out of range (hour 0-23, minute 0-59, month
// day 1-31).
//  - daily: today at H:M while H:M is still to come, else tomorrow;
//  - weekly: Day modulo 7 (0 Sunday; 7 and -1 are Sunday too) of this week
//    while that day and time are still to come, else of next week;
//  - monthly: Day of this month while that day and time are still to come,
//    else Day of the next month that has a day Day (a month shorter than
//    Day is passed over: on the 31st, January 31 after the time leads to
//    March 31).
EnvSchedule ComputeEnvSchedule(const qavsettings::EnvironmentalLogConfig& settings,
                               const qavres::StringTable& language, std::time_t now);

// The check: true when year, month, day, hour and minute of the next report
// time equal those of `now` (local time). The next time then moves on by
// the cycle: a day, a week, or to Day of the following month (for Day 1-28
// that is the length of the report's month), always at H:M.
bool EnvScheduleDue(EnvSchedule& schedule, std::time_t now);

// Days of a month (1..12) of a year: February has 29 in leap years
// (divisible by 4 and not by 100, or by 400).
int DaysInMonth(int year, int month);

// "YYYY-MM-DD HH:MM" of a time in local time, for traces and messages.
std::string LocalTimeText(int64_t when);

} // namespace nwatch

// The environmental log's schedule with a clock of the test's own, in a
// time zone with daylight saving (Central European rules, written out so
// that no time-zone database is needed).
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "nwatch/EnvSchedule.h"
#include "qavres/Resources.h"

namespace {

using namespace nwatch;

struct Fields {
    int year, month, day, hour, minute;
    bool operator==(const Fields& o) const
    {
        return year == o.year && month == o.month && day == o.day && hour == o.hour && minute == o.minute;
    }
};

std::ostream& operator<<(std::ostream& os, const Fields& f)
{
    return os << f.year << "-" << f.month << "-" << f.day << " " << f.hour << ":" << f.minute;
}

class EnvScheduleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tz = std::getenv("TZ");
        oldTz_ = tz ? tz : "";
        hadTz_ = tz != nullptr;
        ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        ::tzset();
        language_.Set(4145, "Daily");
        language_.Set(4146, "Weekly");
        language_.Set(4147, "Monthly");
        settings_.toBeLogged = 1;
        settings_.filename = "/tmp/env.log";
        settings_.maximumSize = 0;
    }
    void TearDown() override
    {
        if (hadTz_) {
            ::setenv("TZ", oldTz_.c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

    // A local time.
    static std::time_t At(int year, int month, int day, int hour, int minute, int second = 0)
    {
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        tm.tm_sec = second;
        tm.tm_isdst = -1;
        return std::mktime(&tm);
    }
    static Fields LocalFields(int64_t when)
    {
        const std::time_t t = static_cast<std::time_t>(when);
        std::tm tm{};
        ::localtime_r(&t, &tm);
        EXPECT_EQ(tm.tm_sec, 0);
        return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min};
    }
    static int Weekday(int64_t when)
    {
        const std::time_t t = static_cast<std::time_t>(when);
        std::tm tm{};
        ::localtime_r(&t, &tm);
        return tm.tm_wday;
    }

    EnvSchedule Compute(const std::string& cycle, const std::string& time, int day, std::time_t now)
    {
        settings_.cycle = cycle;
        settings_.time = time;
        settings_.day = day;
        return ComputeEnvSchedule(settings_, language_, now);
    }

    qavres::StringTable language_;
    qavsettings::EnvironmentalLogConfig settings_;
    std::string oldTz_;
    bool hadTz_ = false;
};

TEST_F(EnvScheduleTest, DailyIsTodayWhileTheTimeIsToComeElseTomorrow)
{
    // Wednesday 2025-06-11, 10:30:20.
    const std::time_t now = At(2025, 6, 11, 10, 30, 20);
    EnvSchedule s = Compute("Daily", "10:31:00", -1, now);
    ASSERT_TRUE(s.On());
    EXPECT_EQ(s.cycle, EnvSchedule::kDaily);
    EXPECT_EQ(LocalFields(s.next), (Fields{2025, 6, 11, 10, 31}));
    // The current minute itself is past: tomorrow.
    s = Compute("Daily", "10:30:00", -1, now);
    EXPECT_EQ(LocalFields(s.next), (Fields{2025, 6, 12, 10, 30}));
    s = Compute("Daily", "9:59:59", -1, now);
    EXPECT_EQ(LocalFields(s.next), (Fields{2025, 6, 12, 9, 59}));
    s = Compute("daily", "23:0", -1, now); // the cycle text compares without case; a two-field time
    EXPECT_EQ(LocalFields(s.next), (Fields{2025, 6, 11, 23, 0}));
    s = Compute("Daily", "8", -1, At(2025, 12, 31, 9, 0)); // no minute: 08:00; the year turns
    EXPECT_EQ(LocalFields(s.next), (Fields{2026, 1, 1, 8, 0}));
}

TEST_F(EnvScheduleTest, WeeklyTakesTheDayModuloSevenWithSundayZero)
{
    // Wednesday 2025-06-11 (weekday 3), 10:30.
    const std::time_t now = At(2025, 6, 11, 10, 30);
    EnvSchedule s = Compute("Weekly", "8:00:00", 7, now); // the dialog's seventh day: Sunday
    EXPECT_EQ(s.day, 0);
    EXPECT_EQ(LocalFields(s.next), (Fields{2025, 6, 15, 8, 0}));
    EXPECT_EQ(Weekday(s.next), 0);
    EXPECT_EQ(LocalFields(Compute("Weekly", "8:00:00", 0, now).next), (Fields{2025, 6, 15, 8, 0}));
    EXPECT_EQ(LocalFields(Compute("Weekly", "8:00:00", -1, now).next), (Fields{2025, 6, 15, 8, 0}));
    // Monday is behind: next week's.
    EXPECT_EQ(LocalFields(Compute("Weekly", "8:00:00", 1, now).next), (Fields{2025, 6, 16, 8, 0}));
    // Today, later: today; today, earlier or this minute: a week on.
    EXPECT_EQ(LocalFields(Compute("Weekly", "18:00:00", 3, now).next), (Fields{2025, 6, 11, 18, 0}));
    EXPECT_EQ(LocalFields(Compute("Weekly", "10:30:00", 3, now).next), (Fields{2025, 6, 18, 10, 30}));
    // 10 is Wednesday, whose 08:00 is past.
    EXPECT_EQ(LocalFields(Compute("Weekly", "8:00:00", 10, now).next), (Fields{2025, 6, 18, 8, 0}));
}

TEST_F(EnvScheduleTest, MonthlyOnTheThirtyFirstOfJanuaryAfterTheTimeIsMarch)
{
    const std::time_t now = At(2025, 1, 31, 12, 0);
    EnvSchedule s = Compute("Monthly", "9:00:00", 31, now);
    ASSERT_TRUE(s.On());
    EXPECT_EQ(LocalFields(s.next), (Fields{2025, 3, 31, 9, 0}));
    // Before the time it is today.
    EXPECT_EQ(LocalFields(Compute("Monthly", "13:00:00", 31, now).next), (Fields{2025, 1, 31, 13, 0}));
    // A day still to come this month; a day behind: next month.
    EXPECT_EQ(LocalFields(Compute("Monthly", "9:00:00", 20, At(2025, 6, 11, 10, 0)).next),
              (Fields{2025, 6, 20, 9, 0}));
    EXPECT_EQ(LocalFields(Compute("Monthly", "9:00:00", 5, At(2025, 6, 11, 10, 0)).next),
              (Fields{2025, 7, 5, 9, 0}));
    EXPECT_EQ(LocalFields(Compute("Monthly", "9:00:00", 5, At(2025, 12, 11, 10, 0)).next),
              (Fields{2026, 1, 5, 9, 0}));
}

// A report on day D comes in the months that have a day D; no month that has
// it is left out.
TEST_F(EnvScheduleTest, MonthlyComesInEveryMonthThatHasTheDay)
{
    // January 31 after the time, on the 1st: February 1, not March 1.
    EXPECT_EQ(LocalFields(Compute("Monthly", "9:00:00", 1, At(2025, 1, 31, 12, 0)).next), (Fields{2025, 2, 1, 9, 0}));
    // April has no 31st: May 31.
    EXPECT_EQ(LocalFields(Compute("Monthly", "9:00:00", 31, At(2025, 4, 10, 12, 0)).next),
              (Fields{2025, 5, 31, 9, 0}));
    // February 29 in a leap year, else March 29.
    EXPECT_EQ(LocalFields(Compute("Monthly", "9:00:00", 29, At(2024, 2, 3, 12, 0)).next),
              (Fields{2024, 2, 29, 9, 0}));
    EXPECT_EQ(LocalFields(Compute("Monthly", "9:00:00", 29, At(2025, 2, 3, 12, 0)).next),
              (Fields{2025, 3, 29, 9, 0}));
}

TEST_F(EnvScheduleTest, InvalidSettingsSwitchTheLogOff)
{
    const std::time_t now = At(2025, 6, 11, 10, 30);
    EXPECT_TRUE(Compute("Daily", "8:00:00", -1, now).On());
    EXPECT_FALSE(Compute("Hourly", "8:00:00", -1, now).On());
    EXPECT_FALSE(Compute("", "8:00:00", -1, now).On());
    EXPECT_FALSE(Compute("Daily", "", -1, now).On());
    EXPECT_FALSE(Compute("Daily", "24:00:00", -1, now).On());
    EXPECT_FALSE(Compute("Daily", "-1:00:00", -1, now).On());
    EXPECT_FALSE(Compute("Daily", "8:60:00", -1, now).On());
    EXPECT_FALSE(Compute("Monthly", "8:00:00", -1, now).On()); // no Day
    EXPECT_FALSE(Compute("Monthly", "8:00:00", 0, now).On());
    EXPECT_FALSE(Compute("Monthly", "8:00:00", 32, now).On());

    settings_.toBeLogged = 0;
    EXPECT_FALSE(Compute("Daily", "8:00:00", -1, now).On());
    settings_.toBeLogged = -1;
    EXPECT_FALSE(Compute("Daily", "8:00:00", -1, now).On());
    settings_.toBeLogged = 1;
    settings_.filename.clear();
    EXPECT_FALSE(Compute("Daily", "8:00:00", -1, now).On());
    settings_.filename = "/tmp/env.log";
    settings_.maximumSize = -1;
    EXPECT_FALSE(Compute("Daily", "8:00:00", -1, now).On());
    settings_.maximumSize = 0; // no trimming, but on
    EXPECT_TRUE(Compute("Daily", "8:00:00", -1, now).On());
}

TEST_F(EnvScheduleTest, TheCheckFiresInTheMinuteAndMovesOnByTheCycle)
{
    EnvSchedule s = Compute("Daily", "8:15:00", -1, At(2025, 6, 11, 7, 0));
    ASSERT_EQ(LocalFields(s.next), (Fields{2025, 6, 11, 8, 15}));
    EXPECT_FALSE(EnvScheduleDue(s, At(2025, 6, 11, 8, 14, 59)));
    EXPECT_TRUE(EnvScheduleDue(s, At(2025, 6, 11, 8, 15, 39)));
    EXPECT_EQ(LocalFields(s.next), (Fields{2025, 6, 12, 8, 15}));
    // The next tick in the same minute finds the time moved on.
    EXPECT_FALSE(EnvScheduleDue(s, At(2025, 6, 11, 8, 15, 59)));

    // Weekly: seven days on.
    s = Compute("Weekly", "8:15:00", 3, At(2025, 6, 11, 7, 0));
    ASSERT_TRUE(EnvScheduleDue(s, At(2025, 6, 11, 8, 15)));
    EXPECT_EQ(LocalFields(s.next), (Fields{2025, 6, 18, 8, 15}));

    // Monthly: by the length of the report's month, leap years counted.
    struct {
        Fields from, to;
    } const months[] = {
        {{2025, 1, 15, 9, 0}, {2025, 2, 15, 9, 0}},  // 31 days
        {{2025, 2, 15, 9, 0}, {2025, 3, 15, 9, 0}},  // 28
        {{2024, 2, 15, 9, 0}, {2024, 3, 15, 9, 0}},  // 29
        {{2025, 4, 15, 9, 0}, {2025, 5, 15, 9, 0}},  // 30
        {{2025, 12, 15, 9, 0}, {2026, 1, 15, 9, 0}}, // the year turns
        {{2025, 3, 31, 9, 0}, {2025, 5, 31, 9, 0}},  // April has no 31st
        {{2025, 1, 31, 9, 0}, {2025, 3, 31, 9, 0}},
    };
    for (const auto& m : months) {
        const std::time_t from = At(m.from.year, m.from.month, m.from.day, m.from.hour, m.from.minute);
        s = Compute("Monthly", "9:00:00", m.from.day, from - 3600);
        ASSERT_EQ(LocalFields(s.next), m.from);
        ASSERT_TRUE(EnvScheduleDue(s, from));
        EXPECT_EQ(LocalFields(s.next), m.to) << "from " << m.from;
    }
}

TEST_F(EnvScheduleTest, ATimeMissedWhileAsleepIsNotCaughtUp)
{
    EnvSchedule s = Compute("Daily", "8:15:00", -1, At(2025, 6, 11, 7, 0));
    const int64_t next = s.next;
    EXPECT_FALSE(EnvScheduleDue(s, At(2025, 6, 11, 8, 16)));
    EXPECT_FALSE(EnvScheduleDue(s, At(2025, 6, 12, 8, 15))); // a day later: still the old time
    EXPECT_EQ(s.next, next);
}

// The daily report keeps its hour across the changes of daylight saving:
// the system decides for each date.
TEST_F(EnvScheduleTest, DaylightSavingChangeDaysKeepTheHour)
{
    // Saturday 2025-03-29 08:00 CET; the clocks go forward on Sunday 02:00.
    EnvSchedule s = Compute("Daily", "8:00:00", -1, At(2025, 3, 29, 7, 0));
    ASSERT_EQ(LocalFields(s.next), (Fields{2025, 3, 29, 8, 0}));
    const int64_t saturday = s.next;
    ASSERT_TRUE(EnvScheduleDue(s, At(2025, 3, 29, 8, 0, 30)));
    EXPECT_EQ(LocalFields(s.next), (Fields{2025, 3, 30, 8, 0}));
    EXPECT_EQ(s.next - saturday, 23 * 3600); // the day is an hour short
    ASSERT_TRUE(EnvScheduleDue(s, At(2025, 3, 30, 8, 0, 10)));
    EXPECT_EQ(LocalFields(s.next), (Fields{2025, 3, 31, 8, 0}));

    // Back on Sunday 2025-10-26 03:00 CEST: a day of 25 hours.
    s = Compute("Daily", "8:00:00", -1, At(2025, 10, 25, 7, 0));
    const int64_t before = s.next;
    ASSERT_TRUE(EnvScheduleDue(s, At(2025, 10, 25, 8, 0)));
    EXPECT_EQ(LocalFields(s.next), (Fields{2025, 10, 26, 8, 0}));
    EXPECT_EQ(s.next - before, 25 * 3600);

    // 02:30 does not exist on 2025-03-30: that day's report comes at 03:30,
    // the next day's at 02:30 again.
    s = Compute("Daily", "2:30:00", -1, At(2025, 3, 30, 1, 0));
    ASSERT_EQ(LocalFields(s.next), (Fields{2025, 3, 30, 3, 30}));
    ASSERT_TRUE(EnvScheduleDue(s, At(2025, 3, 30, 3, 30)));
    EXPECT_EQ(LocalFields(s.next), (Fields{2025, 3, 31, 2, 30}));

    // Weekly across the change.
    s = Compute("Weekly", "8:00:00", 6, At(2025, 3, 29, 7, 0)); // Saturday
    ASSERT_TRUE(EnvScheduleDue(s, At(2025, 3, 29, 8, 0)));
    EXPECT_EQ(LocalFields(s.next), (Fields{2025, 4, 5, 8, 0}));
}

TEST(EnvScheduleDays, MonthLengthsAndLeapYears)
{
    const int days2025[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 1; m <= 12; ++m) EXPECT_EQ(DaysInMonth(2025, m), days2025[m - 1]) << m;
    EXPECT_EQ(DaysInMonth(2024, 2), 29);
    EXPECT_EQ(DaysInMonth(2000, 2), 29); // divisible by 400
    EXPECT_EQ(DaysInMonth(1900, 2), 28); // by 100, not by 400
    EXPECT_EQ(DaysInMonth(2100, 2), 28);
    EXPECT_EQ(DaysInMonth(2025, 13), 0);
}

} // namespace

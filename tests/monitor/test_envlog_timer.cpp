// The environmental log in the monitor's event loop: the schedule check with
// a clock of the test's own, the report off the window thread, the head
// checks before it, and the settings switching it on and off.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "EnvLogTimer.h"
#include "EventLoop.h"
#include "TestPeers.h"
#include "Texts.h"
#include "nlist/Nlist.h"
#include "qavplatform/Address.h"
#include "qavres/Resources.h"

namespace {

using namespace nwatch;
using qavtest::RunLoopUntil;

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second = 0)
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

class EnvLogTimerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "monitor_envlog_timer_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        Language().LoadFile(QAV_SOURCE_DIR "/resources/data/QAVLANG.txt");
        objects_.LoadFile(QAV_SOURCE_DIR "/resources/data/QAVOIDER.txt");
        port_ = qavtest::PrepareAgentPort();
        address_ = qavtest::LoopbackAddress(60);
        qavtest::WriteFile(dir_.File("fleet"), "[printer]\naddress = " + address_ +
                                                   "\nmodel = QAV M-UG2\nname = Timer printer\nhead = 1\n");
        started_ = sim_.Start({"--fleet", dir_.File("fleet"), "--port", std::to_string(port_)});
    }
    void SetUp() override
    {
        ASSERT_TRUE(started_) << sim_.Log();
        ClearListData();
        ListData r;
        ASSERT_TRUE(qavplatform::ParseAddress(address_, r.ipAddress));
        r.kind = 1;
        AddToListData(r);
        settings_.toBeLogged = 1;
        settings_.filename = data_.File("env.log");
        settings_.maximumSize = 0;
        settings_.cycle = "Daily";
        settings_.time = "8:15:0";
        settings_.counterInfo = 1;
        now_ = LocalTime(2025, 6, 11, 7, 0);
    }
    std::unique_ptr<EnvLogTimer> MakeTimer()
    {
        auto timer = std::make_unique<EnvLogTimer>([] {
            ReadContext c;
            c.objects = &objects_;
            c.language = &Language();
            return c;
        });
        timer->SetClock([this] { return now_; });
        return timer;
    }

    static inline qavres::ObjectTable objects_;
    static inline qavtest::TempDir dir_;
    static inline qavtest::PrinterSim sim_;
    static inline std::string address_;
    static inline int port_ = 0;
    static inline bool started_ = false;
    qavtest::TempDir data_;
    qavsettings::EnvironmentalLogConfig settings_;
    std::time_t now_ = 0;
};

TEST_F(EnvLogTimerTest, ReportIsWrittenInTheMinuteOffTheWindowThread)
{
    auto timer = MakeTimer();
    timer->SetCheckPeriod(30);
    int reports = 0, included = -1;
    QObject::connect(timer.get(), &EnvLogTimer::reportWritten, [&](int n, int) {
        ++reports;
        included = n;
    });
    timer->Rearm(settings_);
    ASSERT_TRUE(timer->Armed());
    EXPECT_EQ(timer->Schedule().next, LocalTime(2025, 6, 11, 8, 15));

    // Not yet: the ticks pass without a report.
    RunLoopUntil([] { return false; }, 200);
    EXPECT_EQ(reports, 0);

    // The minute comes; the silent printer's time-out would hold up a
    // report on the window thread, so a second printer that never answers
    // joins the list.
    ListData silent;
    ASSERT_TRUE(qavplatform::ParseAddress(qavtest::LoopbackAddress(61), silent.ipAddress));
    AddToListData(silent);
    now_ = LocalTime(2025, 6, 11, 8, 15, 30);
    qint64 maxGap = 0;
    ASSERT_TRUE(RunLoopUntil([&] { return reports == 1; }, 20000, &maxGap));
    EXPECT_EQ(included, 2);
    EXPECT_LT(maxGap, 500) << "the window thread waited for the printers";
    EXPECT_EQ(timer->Schedule().next, LocalTime(2025, 6, 12, 8, 15));
    const std::string log = qavtest::ReadFile(settings_.filename);
    // The header tells the time of the log's clock.
    EXPECT_NE(log.find("Environmantal log\t\t2025-06-11 08:15:30\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Counter Information"), std::string::npos);
    EXPECT_NE(log.find(address_ + "\n"), std::string::npos);
    EXPECT_EQ(log.find("Head Check"), std::string::npos);

    // Later in the same minute: no second report.
    RunLoopUntil([] { return false; }, 200);
    EXPECT_EQ(reports, 1);
}

TEST_F(EnvLogTimerTest, HeadChecksComeFirstAndTheReportAfterTheWait)
{
    settings_.headCheck = 1;
    auto timer = MakeTimer();
    timer->SetHeadCheckWait(1200); // the simulator's check takes a second
    int reports = 0;
    QObject::connect(timer.get(), &EnvLogTimer::reportWritten, [&](int, int) { ++reports; });
    timer->Rearm(settings_);
    now_ = LocalTime(2025, 6, 11, 8, 15);
    timer->Check();
    ASSERT_TRUE(RunLoopUntil([&] { return reports == 1; }, 20000));
    const std::string log = qavtest::ReadFile(settings_.filename);
    EXPECT_NE(log.find("Head Check\n  " + Language().Get(1061) + "\n"), std::string::npos) << log;
}

TEST_F(EnvLogTimerTest, SettingsSwitchTheCheckOnAndOff)
{
    auto timer = MakeTimer();
    timer->Rearm(settings_);
    EXPECT_TRUE(timer->Armed());
    settings_.cycle = "Never";
    timer->Rearm(settings_);
    EXPECT_FALSE(timer->Armed());
    EXPECT_FALSE(timer->Schedule().On());
    settings_.cycle = "Weekly";
    settings_.day = 7;
    timer->Rearm(settings_);
    EXPECT_TRUE(timer->Armed());
    EXPECT_EQ(timer->Schedule().next, LocalTime(2025, 6, 15, 8, 15));
    // Off while the log is switched off; a report already due is not made.
    settings_.toBeLogged = 0;
    timer->Rearm(settings_);
    EXPECT_FALSE(timer->Armed());
    now_ = LocalTime(2025, 6, 15, 8, 15);
    timer->Check();
    EXPECT_EQ(timer->ReportsUnderWay(), 0);
    timer->Stop();
    settings_.toBeLogged = 1;
    timer->Rearm(settings_);
    EXPECT_FALSE(timer->Armed()); // stopped at exit for good
}

} // namespace

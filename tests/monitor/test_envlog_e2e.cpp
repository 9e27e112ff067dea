// The environmental log in the running nwatch (a process of its own, no
// display): switched on by "Log_Settings_Changed" as the log settings dialog
// sends it, written in the minute of its schedule, off the window thread
// while a printer keeps it waiting, rearmed and switched off by later
// changes. The log's clock starts a few seconds before the report time
// (QAV_ENVLOG_CLOCK) and is checked often (QAV_ENVLOG_CHECK_MS), so that
// the test need not wait for a real minute.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "NwatchProcess.h"
#include "TestPeers.h"
#include "qavres/Resources.h"

namespace {

using namespace qavtest;

class EnvLogEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveProgram("dbus-run-session")) GTEST_SKIP() << "dbus-run-session is not installed";
        ASSERT_TRUE(language.Load(qavres::kLanguage));
        printer = LoopbackAddress(31);
        silent = LoopbackAddress(32); // listed, but nothing answers there
        snmpPort = PrepareAgentPort();
        trapPort = FreeUdpPort();
        WriteFile(dir.File("fleet"), "[printer]\naddress = " + printer + "\nname = Dock printer\n");
        ASSERT_TRUE(sim.Start({"--fleet", dir.File("fleet"), "--port", std::to_string(snmpPort), "--quiet"}))
            << sim.Log();
        // Both known from an earlier search as the maker's printers: the
        // report includes them without waiting for a polling cycle.
        const std::string members = "prtindex.0=" + printer + "\nprtindex.1=" + silent + "\n";
        WriteFile(nwatch.DataFile("QAVGroupConfig.qdl"),
                  "[Groups]\ncount=2\n[Group.0]\nname=All printers\nprinters=2\n" + members +
                      "[Group.1]\nname=QAV printers\nprinters=2\n" + members + "[Printers]\ncount=2\n"
                      "[Printer.0]\nip=" + printer + "\nname=Dock printer\nIsBCP=1\n"
                      "[Printer.1]\nip=" + silent + "\nname=Old printer\nIsBCP=1\n");
        log = nwatch.DataFile("QAVEnvironmentalLog.log");
        Environmental("ToBeLogged", "0");
        Environmental("Filename", log);
        Environmental("MaximumSize", "0");
        Environmental("Cycle", language.Get(4145)); // daily, as the dialog writes it
        Environmental("Time", "8:15:0");
        // Two sections only (a first run switches all of them on).
        for (const char* key : {"HeadCheck", "SysInfo", "CounterInfo", "DiagnosisInfo"}) Environmental(key, "0");
        Environmental("PrinterInfo", "1");
        Environmental("NetworkInformation", "1");
        nwatch.SetEnv("QAV_ENVLOG_CLOCK", "2025-06-11 08:14:50");
        nwatch.SetEnv("QAV_ENVLOG_CHECK_MS", "200");
    }

    void Environmental(const std::string& key, const std::string& value)
    {
        nwatch.Set("QAVLogConfig.INI", "Environmental", key, value);
    }
    // What the settings dialogs broadcast after saving, on the monitor's bus.
    void Broadcast(const std::string& message)
    {
        const std::string out = RunCommand("DBUS_SESSION_BUS_ADDRESS='" + nwatch.BusAddress() + "' " QAV_BINARY_DIR
                                           "/bin/platform_bus_peer send " + message + " 0",
                                           true);
        ASSERT_NE(out.find("sent " + message), std::string::npos) << out;
    }
    size_t IndexOf(const std::string& prefix) const
    {
        const std::vector<std::string> lines = nwatch.LogLines("nwatch: ");
        return std::find_if(lines.begin(), lines.end(),
                            [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }) -
               lines.begin();
    }

    qavres::StringTable language;
    std::string printer, silent, log;
    int snmpPort = 0, trapPort = 0;
    TempDir dir;
    PrinterSim sim;
    NwatchProcess nwatch;
};

TEST_F(EnvLogEndToEnd, WrittenOnScheduleAfterTheLogSettingsChanged)
{
    ASSERT_TRUE(nwatch.Start(trapPort, snmpPort)) << nwatch.Log();
    ASSERT_TRUE(nwatch.WaitForLines("nwatch: environmental log: off", 1, 5000)) << nwatch.Log();

    // The administrator switches the log on in the log settings dialog.
    Environmental("ToBeLogged", "1");
    Broadcast("Log_Settings_Changed");
    ASSERT_TRUE(nwatch.WaitForLines("nwatch: environmental log: next report", 1, 5000)) << nwatch.Log();
    ASSERT_EQ(nwatch.LogLines("nwatch: environmental log: next report"),
              std::vector<std::string>{"nwatch: environmental log: next report 2025-06-11 08:15 to " + log})
        << "the machine took more than 10 s to start the monitor\n"
        << nwatch.Log();

    // The minute comes: the report is due and the next one is tomorrow's.
    ASSERT_TRUE(nwatch.WaitForLines("nwatch: environmental log: report due", 1, 20000)) << nwatch.Log();
    EXPECT_EQ(nwatch.LogLines("nwatch: environmental log: report due"),
              std::vector<std::string>{"nwatch: environmental log: report due; the next one 2025-06-12 08:15"});
    // While the silent printer keeps the report waiting, the window thread
    // takes the next message.
    Broadcast("Surveillance_Options_Changed");
    ASSERT_TRUE(nwatch.WaitForLines("nwatch: environmental log: 2 of 2 printers", 1, 20000)) << nwatch.Log();
    ASSERT_TRUE(nwatch.WaitForLines("nwatch: surveillance options", 1, 5000)) << nwatch.Log();
    EXPECT_LT(IndexOf("nwatch: surveillance options"), IndexOf("nwatch: environmental log: 2 of 2 printers"))
        << nwatch.Log();

    const std::string text = ReadFile(log);
    // Written in the minute of the schedule, by the log's clock.
    EXPECT_EQ(text.rfind(std::string(60, '=') + "\nEnvironmantal log\t\t2025-06-11 08:15:", 0), 0u) << text;
    const std::string section = "\r\n" + std::string(60, '-') + "\n" + printer + "\n\n" + std::string(45, '*') +
                                "\n" + language.Get(1120) + "\n  " + language.Get(1121);
    EXPECT_NE(text.find(section), std::string::npos) << text;
    EXPECT_NE(text.find("\tDock printer\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n" + std::string(60, '-') + "\n" + silent + "\n"), std::string::npos) << text;
    EXPECT_EQ(text.back(), '\n');

    // Weekly on Wednesday at 08:15: today's minute has come, so next week.
    Environmental("Cycle", language.Get(4146));
    Environmental("Day", "3");
    Broadcast("Log_Settings_Changed");
    ASSERT_TRUE(nwatch.WaitForLines("nwatch: environmental log: next report", 2, 5000)) << nwatch.Log();
    EXPECT_EQ(nwatch.LogLines("nwatch: environmental log: next report").back(),
              "nwatch: environmental log: next report 2025-06-18 08:15 to " + log);

    // Switched off again.
    Environmental("ToBeLogged", "0");
    Broadcast("Log_Settings_Changed");
    ASSERT_TRUE(nwatch.WaitForLines("nwatch: environmental log: off", 2, 5000)) << nwatch.Log();
    EXPECT_EQ(nwatch.LogLines("nwatch: environmental log: report due").size(), 1u);
    EXPECT_EQ(nwatch.Stop(), 0) << nwatch.Log();
}

} // namespace

// A trap from end to end: net-snmp's snmptrap sends version-1 and
// version-2c traps from printer addresses on loopback to the trap port of a
// running nwatch (without a display); the printers answer the maker check
// from the simulator.
// What each trap reaches is read from the monitor's trace, from the
// stand-ins for the status monitor and the sound player, and from the trap
// log.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "NwatchProcess.h"
#include "TestPeers.h"
#include "qavres/Resources.h"
#include "qavsettings/Profile.h"

namespace {

using namespace qavtest;

const std::string kEnterprise = "1.3.6.1.4.1.32473";
// The trap detail objects: error code, texts 1 to 3, second integer.
const std::string kErrorCode = kEnterprise + ".1.20961.0";
const std::string kText1 = kEnterprise + ".1.20981.0";
const std::string kText2 = kEnterprise + ".1.21001.0";
const std::string kText3 = kEnterprise + ".1.21021.0";
const std::string kValue = kEnterprise + ".1.21041.0";

class TrapEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveProgram("snmptrap")) GTEST_SKIP() << "net-snmp's snmptrap is not installed";
        ASSERT_TRUE(language.Load(qavres::kLanguage));
        maker = LoopbackAddress(11);
        maker2c = LoopbackAddress(12);
        other = LoopbackAddress(13);
        unlisted = LoopbackAddress(20);
        trapPort = FreeUdpPort();
        ASSERT_GT(trapPort, 0);
        snmpPort = PrepareAgentPort();

        WriteFile(dir.File("fleet"), "trap-to = 127.0.0.1:" + std::to_string(trapPort) +
                                         "\n"
                                         "[printer]\naddress = " + maker + "\nname = Dock printer\n"
                                         "[printer]\naddress = " + maker2c + "\nname = Lab printer\ntrap-version = 2c\n"
                                         "[printer]\naddress = " + other + "\nkind = standard\nname = Office laser\n");
        ASSERT_TRUE(sim.Start({"--fleet", dir.File("fleet"), "--port", std::to_string(snmpPort), "--quiet"}))
            << sim.Log();

        WriteFile(nwatch.DataFile("QAVGroupConfig.qdl"),
                  GroupFileText({{maker, "Dock printer"}, {maker2c, "Lab printer"}, {other, "Office laser"}}));
        for (const char* key : {"List", "Popup", "Beep"}) nwatch.Set("QAVSurveyConfig.INI", "Notification", key, "1");
        nwatch.Set("QAVLogConfig.INI", "Trap", "ToBeLogged", "1");
        nwatch.Set("QAVLogConfig.INI", "Trap", "Error", "1");
        nwatch.Set("QAVLogConfig.INI", "Trap", "JobInformation", "1");
        ASSERT_TRUE(nwatch.Start(trapPort, snmpPort)) << nwatch.Log();
    }

    // snmptrap from `from`; `bindings` as snmptrap takes them (OID TYPE VALUE ...).
    void TrapV1(const std::string& from, int generic, int specific, const std::string& bindings = "")
    {
        Send("-v 1 -c public --clientaddr=" + from + " 127.0.0.1:" + std::to_string(trapPort) + " " + kEnterprise +
             " " + from + " " + std::to_string(generic) + " " + std::to_string(specific) + " '' " + bindings);
    }
    void TrapV2c(const std::string& from, const std::string& trapOid, const std::string& bindings = "")
    {
        Send("-v 2c -c public --clientaddr=" + from + " 127.0.0.1:" + std::to_string(trapPort) + " '' " + trapOid +
             " " + bindings);
    }
    void Send(const std::string& args)
    {
        const std::string out = RunCommand("snmptrap -m '' " + args + "; echo rc=$?", true);
        ASSERT_NE(out.find("rc=0"), std::string::npos) << args << "\n" << out;
    }
    std::string Channel(const std::string& what) { return "nwatch: channel " + what; }
    std::string Sound(const std::string& file) { return nwatch.ProgramFolder() + "/../share/qav/sound/" + file; }

    qavres::StringTable language;
    std::string maker, maker2c, other, unlisted;
    int trapPort = 0, snmpPort = 0;
    TempDir dir;
    PrinterSim sim;
    NwatchProcess nwatch;
};

TEST_F(TrapEndToEnd, TrapsReachTheirChannelsAndTheTrapLog)
{
    TrapV1(maker, 0, 0);                            // cold start: the log only
    TrapV2c(maker, "1.3.6.1.6.3.1.1.5.2");          // warm start: the log only
    TrapV1(maker, 2, 0);                            // link down: nothing
    const std::string longText(40, 'j');            // kept to 32 bytes
    TrapV1(maker, 6, 11,
           kErrorCode + " i 11 " + kText1 + " s " + longText + " " + kText2 + " s 'Hall 3' " + kText3 + " s host-7 " +
               kValue + " i 25");                   // paper jam: every channel
    TrapV2c(maker2c, kEnterprise + ".0.11", kErrorCode + " i 11 " + kText1 + " s jam-b");
    TrapV1(maker, 6, 120);                          // no row of its own: the printer-error row
    TrapV2c(maker2c, kEnterprise + ".0.99", kErrorCode + " i 4711 " + kText1 + " s job-99 " + kValue + " i 3");
    TrapV1(unlisted, 6, 11);                        // not in the list: ignored
    TrapV1(other, 6, 11);                           // not the maker's printer: ignored
    TrapV2c(other, "1.3.6.1.6.3.1.1.5.1");
    TrapV1(maker, 0, 0);                            // the last one
    ASSERT_TRUE(nwatch.WaitForLines(Channel("log"), 7, 15000)) << nwatch.Log();

    const std::string a = maker, b = maker2c;
    const std::vector<std::string> expected = {
        Channel("log " + a + " 0/0"),
        Channel("log " + a + " 1/0"),
        // Without a display the list channel opens nothing.
        Channel("popup " + a + " 6/11"), Channel("sound " + Sound("PaperJam.wav")),
        Channel("log " + a + " 6/11"),
        Channel("popup " + b + " 6/11"), Channel("sound " + Sound("PaperJam.wav")),
        Channel("log " + b + " 6/11"),
        Channel("popup " + a + " 6/120"), Channel("sound " + Sound("PrinterError.wav")),
        Channel("log " + a + " 6/120"),
        Channel("log " + b + " 7/99"),
        Channel("log " + a + " 0/0"),
    };
    EXPECT_EQ(nwatch.LogLines("nwatch: channel "), expected) << nwatch.Log();

    // The trap log: time stamp, address, printer name, message, and for
    // enterprise and job traps the details.
    std::vector<std::string> lines = nwatch.TrapLogLines();
    ASSERT_EQ(lines.size(), 7u) << nwatch.Log();
    for (std::string& line : lines) {
        ASSERT_GT(line.size(), 20u);
        EXPECT_EQ(line[4], '-');
        EXPECT_EQ(line[13], ':');
        EXPECT_EQ(line[19], ',') << line;
        line.erase(0, 20);
    }
    const std::vector<std::string> logged = {
        a + ",Dock printer," + language.Get(749),
        a + ",Dock printer," + language.Get(750),
        a + ",Dock printer," + language.Get(760) + ",11," + std::string(32, 'j') + ",Hall 3,host-7,25",
        b + ",Lab printer," + language.Get(760) + ",11,jam-b,,,0",
        a + ",Dock printer," + language.Get(781) + "(120),-1,,,,0",
        b + ",Lab printer," + language.Get(780) + ",4711,job-99,,,3",
        a + ",Dock printer," + language.Get(749),
    };
    EXPECT_EQ(lines, logged);

    // The status monitor was started for each printer with the
    // administrator flag, and the sound player with each row's file, 200 ms
    // after its trap.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    std::vector<std::string> nstat = nwatch.NstatCalls();
    std::sort(nstat.begin(), nstat.end());
    std::vector<std::string> nstatExpected = {a + " 1", a + " 1", b + " 1"};
    std::sort(nstatExpected.begin(), nstatExpected.end());
    EXPECT_EQ(nstat, nstatExpected);
    // Never the other nstat that comes first on PATH.
    EXPECT_TRUE(nwatch.PathNstatCalls().empty());
    std::vector<std::string> played = nwatch.SoundCalls();
    std::sort(played.begin(), played.end());
    EXPECT_EQ(played, (std::vector<std::string>{Sound("PaperJam.wav"), Sound("PaperJam.wav"),
                                                Sound("PrinterError.wav")}));
    EXPECT_EQ(nwatch.LogLines("nwatch: sound not played").size(), 0u) << nwatch.Log();

    // The end of the session saves the group file with what the maker check
    // found out.
    EXPECT_EQ(nwatch.Stop(), 0) << nwatch.Log();
    qavsettings::ProfileDocument saved;
    ASSERT_TRUE(saved.Load(nwatch.DataFile("QAVGroupConfig.qdl")));
    EXPECT_EQ(saved.GetString("Printer.0", "IsBCP"), "1");
    EXPECT_EQ(saved.GetString("Printer.1", "IsBCP"), "1");
    EXPECT_EQ(saved.GetString("Printer.2", "IsBCP"), "0");
}

// With the notification channels off, a paper jam is only logged.
TEST_F(TrapEndToEnd, SettingsChosenAtStartGateTheChannels)
{
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(nwatch.Stop(), 0) << nwatch.Log();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    for (const char* key : {"List", "Popup", "Beep"}) nwatch.Set("QAVSurveyConfig.INI", "Notification", key, "0");
    ASSERT_TRUE(nwatch.Start(trapPort, snmpPort)) << nwatch.Log();
    TrapV1(maker, 6, 11, kErrorCode + " i 11");
    TrapV1(maker, 0, 0);
    ASSERT_TRUE(nwatch.WaitForLines(Channel("log"), 2, 15000)) << nwatch.Log();
    EXPECT_EQ(nwatch.LogLines("nwatch: channel "),
              (std::vector<std::string>{Channel("log " + maker + " 6/11"), Channel("log " + maker + " 0/0")}));
    EXPECT_TRUE(nwatch.NstatCalls().empty());
    EXPECT_EQ(nwatch.TrapLogLines().size(), 2u);
}

} // namespace

// nwatch from end to end against a strict SNMP agent: snmpsim serves a
// recording of one of the maker's printers (made from a real one), which
// answers a GET only with the instance. A paper jam sent from its address
// with snmptrap is logged and mailed (aiosmtpd), polling stores its
// values, names of the communities changed while the monitor runs are used
// at once, and a printer that never answers holds up nobody's traps.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "MailPeer.h"
#include "MakerRecording.h"
#include "NwatchProcess.h"
#include "TestPeers.h"
#include "qavsettings/Profile.h"

namespace {

using namespace qavtest;
using monitortest::RecordedValue;

const std::string kEnterprise = "1.3.6.1.4.1.32473";
const std::string kErrorCode = kEnterprise + ".1.20961.0";
const std::string kText1 = kEnterprise + ".1.20981.0";
constexpr int kSmtpPort = 2525;

size_t Count(const std::vector<std::string>& lines, const std::string& part)
{
    size_t n = 0;
    for (const std::string& l : lines) n += l.find(part) != std::string::npos;
    return n;
}

class StrictEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveProgram("snmpsimd") || !HaveProgram("snmptrap")) GTEST_SKIP() << "snmpsim or snmptrap missing";
        printer = LoopbackAddress(31);
        mailServer = LoopbackAddress(32);
        silent = LoopbackAddress(33);
        recording = monitortest::MakerRecording();
        sysName = RecordedValue(recording, "1.3.6.1.2.1.1.5.0");
        snmpPort = PrepareAgentPort();
        trapPort = FreeUdpPort();
        ASSERT_GT(trapPort, 0);
        ASSERT_TRUE(agent.Start(printer, snmpPort, {{"maker", recording}})) << agent.Log();
        ASSERT_TRUE(peer.Start("accept", mailServer, kSmtpPort)) << peer.Log();

        WriteFile(nwatch.DataFile("QAVGroupConfig.qdl"), GroupFileText({{printer, sysName}, {silent, "Quiet"}}));
        Community("maker");
        for (auto [key, value] : {std::pair{"List", "1"}, {"Popup", "0"}, {"Beep", "0"}, {"Mail", "1"}})
            nwatch.Set("QAVSurveyConfig.INI", "Notification", key, value);
        nwatch.Set("QAVSurveyConfig.INI", "Polling", "Polling", "1");
        nwatch.Set("QAVSurveyConfig.INI", "Polling", "TaskDuration", "1");
        nwatch.Set("QAVSurveyConfig.INI", "Mail", "SourceServer", mailServer);
        nwatch.Set("QAVSurveyConfig.INI", "Mail", "SourceAdd", "monitor@example.test");
        nwatch.Set("QAVSurveyConfig.INI", "Mail", "SourceAuth", "1");
        nwatch.Set("QAVSurveyConfig.INI", "User", "Sendmail", "1");
        nwatch.Set("QAVSurveyConfig.INI", "User", "Address", "user@example.test");
        nwatch.Set("QAVLogConfig.INI", "Trap", "ToBeLogged", "1");
        nwatch.Set("QAVLogConfig.INI", "Trap", "Error", "1");
        nwatch.SetEnv("QAV_SMTP_PORT", std::to_string(kSmtpPort));
    }
    void TearDown() override
    {
        nwatch.Stop();
        if (HasFailure()) std::fprintf(stderr, "--- nwatch\n%s\n--- agent\n%s\n", nwatch.Log().c_str(), agent.Log().c_str());
    }
    // As the management dialog writes them, without telling anyone.
    void Community(const std::string& name)
    {
        nwatch.Set("QAVMgmtConfig.INI", "Community", "ReadCommunityName", name);
        nwatch.Set("QAVMgmtConfig.INI", "Community", "WriteCommunityName", name);
    }
    void PaperJam(const std::string& from, const std::string& job)
    {
        const std::string out = RunCommand("snmptrap -m '' -v 1 -c public --clientaddr=" + from + " 127.0.0.1:" +
                                               std::to_string(trapPort) + " " + kEnterprise + " " + from + " 6 11 '' " +
                                               kErrorCode + " i 11 " + kText1 + " s " + job + "; echo rc=$?",
                                           true);
        ASSERT_NE(out.find("rc=0"), std::string::npos) << out;
    }
    std::string Stored() const { return "nwatch: polling cycle: 1 of 2 printers stored"; }

    std::string printer, mailServer, silent, recording, sysName;
    int snmpPort = 0, trapPort = 0;
    SnmpSimAgent agent;
    MailPeer peer;
    NwatchProcess nwatch;
};

TEST_F(StrictEndToEnd, PaperJamIsLoggedAndMailedAndThePrinterPolled)
{
    ASSERT_TRUE(nwatch.Start(trapPort, snmpPort)) << nwatch.Log();
    PaperJam(printer, "job-1");
    ASSERT_TRUE(nwatch.WaitForLines("nwatch: channel log " + printer + " 6/11", 1, 15000)) << nwatch.Log();
    const std::vector<std::string> log = nwatch.TrapLogLines();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].substr(20), printer + "," + sysName + ",Paper jam,11,job-1,,,0");

    ASSERT_TRUE(peer.WaitForEvents("mail", 1, 15000)) << peer.Log();
    const std::vector<MailEvent> mails = peer.Mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].rcptTos, std::vector<std::string>{"user@example.test"});
    EXPECT_EQ(ParseMail(mails[0].data).headers["Subject"], "Printer alert: Paper jam (" + printer + ")");

    // Without a display the list channel opens nothing, and polling goes
    // on after the trap.
    EXPECT_TRUE(nwatch.LogLines("nwatch: channel list").empty());
    const size_t before = nwatch.LogLines(Stored()).size();
    ASSERT_TRUE(nwatch.WaitForLines(Stored(), before + 2, 15000)) << nwatch.Log();
    // The tray's state follows the strict agent's answers: once both were
    // polled, the recorded printer is known and the silent one counts as
    // not answering, the worst state.
    ASSERT_TRUE(nwatch.WaitForLines("nwatch: fleet not answering: 2 printers (", 1, 15000)) << nwatch.Log();
    const std::string fleet = nwatch.LogLines("nwatch: fleet not answering: 2 printers (").back();
    EXPECT_NE(fleet.find("not answering 1)"), std::string::npos) << fleet;
    EXPECT_EQ(fleet.find("not known yet"), std::string::npos) << fleet;

    EXPECT_EQ(nwatch.Stop(), 0);
    qavsettings::ProfileDocument saved;
    ASSERT_TRUE(saved.Load(nwatch.DataFile("QAVGroupConfig.qdl")));
    EXPECT_EQ(saved.GetString("Printer.0", "IsBCP"), "1");
    EXPECT_EQ(saved.GetString("Printer.0", "model"), "QAV M-UG2");
    EXPECT_EQ(saved.GetString("Printer.0", "serial"), "QS7001");
    EXPECT_EQ(saved.GetString("Printer.0", "location"), RecordedValue(recording, "1.3.6.1.2.1.1.6.0"));
    EXPECT_EQ(saved.GetString("Printer.0", "DHCP Host Name"), "booth7");
}

// The communities are taken from the management settings for every read:
// names changed while the monitor runs work from the next read on.
TEST_F(StrictEndToEnd, CommunitiesChangedWhileRunningAreUsedAtOnce)
{
    Community("wrong");
    ASSERT_TRUE(nwatch.Start(trapPort, snmpPort)) << nwatch.Log();
    PaperJam(printer, "job-1");
    ASSERT_TRUE(nwatch.WaitForLines("nwatch: maker check of " + printer + ": no answer", 1, 15000)) << nwatch.Log();
    ASSERT_TRUE(nwatch.WaitForLines("nwatch: polling cycle:", 1, 15000)) << nwatch.Log();
    EXPECT_TRUE(nwatch.LogLines(Stored()).empty());

    Community("maker");
    ASSERT_TRUE(nwatch.WaitForLines(Stored(), 1, 15000)) << nwatch.Log();
    PaperJam(printer, "job-2");
    ASSERT_TRUE(nwatch.WaitForLines("nwatch: channel log " + printer + " 6/11", 1, 15000)) << nwatch.Log();
    const std::vector<std::string> log = nwatch.TrapLogLines();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find(",job-2,"), std::string::npos) << log[0];
}

// Forty datagrams from a listed printer that never answers come first; the
// paper jam of the maker's printer right behind them is handled at once.
TEST_F(StrictEndToEnd, SilentPrinterDoesNotDelayAnotherPrintersTrap)
{
    ASSERT_TRUE(nwatch.Start(trapPort, snmpPort)) << nwatch.Log();
    const std::string datagram =
        CaptureTrap("-v 1 -c public", kEnterprise + " " + silent + " 6 11 '' " + kErrorCode + " i 11");
    ASSERT_FALSE(datagram.empty());
    ASSERT_TRUE(SendDatagrams(silent, trapPort, datagram, 40));
    const auto sent = std::chrono::steady_clock::now();
    PaperJam(printer, "job-3");
    ASSERT_TRUE(nwatch.WaitForLines("nwatch: channel log " + printer + " 6/11", 1, 60000)) << nwatch.Log();
    const auto delay = std::chrono::steady_clock::now() - sent;
    EXPECT_LT(delay, std::chrono::milliseconds(1500));
    // The silent printer was asked once, not forty times.
    ASSERT_TRUE(nwatch.WaitForLines("nwatch: maker check of " + silent + ": no answer", 1, 15000)) << nwatch.Log();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(Count(nwatch.LogLines("nwatch: maker check of " + silent), "no answer"), 1u) << nwatch.Log();
    EXPECT_TRUE(nwatch.LogLines("nwatch: channel log " + silent).empty());
}

} // namespace

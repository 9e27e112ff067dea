// The mail channel from end to end: the printer simulator raises a trap,
// nwatch (as its own process, with a data folder of its own) receives it and
// mails the user and administrator groups through aiosmtpd on loopback.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "MailPeer.h"
#include "TestPeers.h"

namespace {

using qavtest::ChildProcess;
using qavtest::LoopbackAddress;
using qavtest::MailEvent;
using qavtest::MailPeer;
using qavtest::PrinterSim;
using qavtest::TempDir;

constexpr int kSmtpPort = 2525;

bool WaitForText(ChildProcess& process, const std::string& text, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (process.Log().find(text) != std::string::npos) return true;
        if (!process.Running()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

size_t Occurrences(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class MailEndToEnd : public ::testing::Test {
protected:
    virtual std::string PeerMode() const { return "plain"; }
    virtual bool StartPeer() { return peer.Start(PeerMode(), mailServer, kSmtpPort); }
    void SetUp() override
    {
        ::chmod(runtime.Path().c_str(), 0700);
        snmpPort = qavtest::PrepareAgentPort();
        trapPort = qavtest::FreeUdpPort("0.0.0.0"); // the monitor receives traps on every address
        ASSERT_GT(trapPort, 0);
        printer = LoopbackAddress(81);
        mailServer = LoopbackAddress(82);
        qavtest::WriteFile(data.File("fleet"), "[printer]\naddress = " + printer +
                                                   "\nmodel = QAV M-UG2\nname = Line 1\nlocation = Hall A\n"
                                                   "manager = J. Baker\nserial = QS1001\n");
        ASSERT_TRUE(sim.Start({"--fleet", data.File("fleet"), "--port", std::to_string(snmpPort), "--trap-to",
                               "127.0.0.1:" + std::to_string(trapPort)}))
            << sim.Log();
        ASSERT_TRUE(StartPeer()) << peer.Log();

        qavtest::WriteFile(data.File("QAVGroupConfig.qdl"),
                           "[Groups]\ncount=2\n[Group.0]\nname=All printers\nprinters=1\nprtindex.0=" + printer +
                               "\n[Group.1]\nname=QAV printers\nprinters=1\nprtindex.0=" + printer +
                               "\n[Printers]\ncount=1\n[Printer.0]\nip=" + printer +
                               "\nname=Line 1\nmodel=QAV M-UG2\nlocation=Hall A\nmanager=J. Baker\nserial=QS1001\n"
                               "IsBCP=1\n");
        qavtest::WriteFile(data.File("QAVMgmtConfig.INI"), "[Startup]\nShowList=0\nAskPassword=0\n");
        WriteLogConfig(false);
        qavtest::WriteFile(data.File("message.txt"), "Please clear the jam.\n");
    }

    void WriteSurvey(const std::string& userExtra, const std::string& mailExtra = "")
    {
        qavtest::WriteFile(
            data.File("QAVSurveyConfig.INI"),
            "[Notification]\nList=0\nPopup=0\nBeep=0\nMail=1\n"
            "[Polling]\nPolling=0\nTaskDuration=0\nTrap=1\n"
            "[Mail]\nSourceName=QAV Monitor\nSourceServer=" + mailServer +
                "\nSourceAdd=monitor@example.test\nSourceUser=qav\nSourcePasswd=frperg\nSourceAuth=\n" + mailExtra +
                "[User]\nSendmail=1\nAddress=user1@example.test;User Two <user2@example.test>\nErrorDetail=1\n" +
                userExtra +
                "[Administrator]\nSendmail=1\nAddress=admin@example.test\nMessage=1\nAttachment=" +
                data.File("message.txt") + "\n");
    }

    void WriteLogConfig(bool on)
    {
        qavtest::WriteFile(data.File("QAVLogConfig.INI"), std::string("[Trap]\nToBeLogged=") + (on ? "1" : "0") +
                                                              "\nFilename=" + data.File("trap.log") + "\n");
    }

    // `smtpPortOverride`: QAV_SMTP_PORT moves the mail port; without it the
    // settings name the port.
    void StartMonitor(bool smtpPortOverride = true)
    {
        std::map<std::string, std::string> env = {
            {"QAV_DATA_DIR", data.Path()},
            {"QAV_SNMP_PORT", std::to_string(snmpPort)},
            {"QAV_TRAP_PORT", std::to_string(trapPort)},
            {"QAV_TRACE", "1"},
            {"QT_QPA_PLATFORM", "offscreen"},
            {"XDG_RUNTIME_DIR", runtime.Path()},
        };
        if (smtpPortOverride) env["QAV_SMTP_PORT"] = std::to_string(kSmtpPort);
        ASSERT_TRUE(monitor.Start({QAV_BINARY_DIR "/bin/nwatch"}, data.File("nwatch.log"), env));
        ASSERT_TRUE(WaitForText(monitor, "traps on", 15000)) << monitor.Log();
    }

    // Raises the printer's status with its trap and waits until the monitor
    // has finished the trap's mail.
    void RaiseAndWaitForMail(const std::string& status, const std::string& which)
    {
        const size_t before = Occurrences(monitor.Log(), "nwatch: mail " + printer + " " + which + ":");
        const std::string answer = sim.Command("event " + printer + " " + status);
        ASSERT_EQ(answer.find("error"), std::string::npos) << answer;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (Occurrences(monitor.Log(), "nwatch: mail " + printer + " " + which + ":") == before) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << monitor.Log() << sim.Log();
            ASSERT_TRUE(monitor.Running()) << monitor.Log();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    void TearDown() override
    {
        monitor.Stop();
        if (HasFailure()) std::fprintf(stderr, "--- nwatch\n%s\n--- peer\n%s\n", monitor.Log().c_str(), peer.Log().c_str());
    }

    TempDir data, runtime;
    PrinterSim sim;
    MailPeer peer;
    ChildProcess monitor;
    std::string printer, mailServer;
    int snmpPort = 0, trapPort = 0;
};

TEST_F(MailEndToEnd, PaperJamMailsTheUserAndTheAdministrator)
{
    WriteSurvey("");
    StartMonitor();
    RaiseAndWaitForMail("paper-jam", "6/11");
    ASSERT_TRUE(peer.WaitForEvents("mail", 2)) << monitor.Log();
    const std::vector<MailEvent> mails = peer.Mails();
    ASSERT_EQ(mails.size(), 2u);

    const std::string subject = "Printer alert: Paper jam (" + printer + ")";
    EXPECT_EQ(mails[0].mailFrom, "monitor@example.test");
    EXPECT_EQ(mails[0].rcptTos, (std::vector<std::string>{"user1@example.test", "user2@example.test"}));
    EXPECT_EQ(mails[0].authMechanism, "PLAIN"); // after CRAM-MD5 was tried
    qavtest::ReceivedMail user = qavtest::ParseMail(mails[0].data);
    EXPECT_EQ(user.headers["Subject"], subject);
    EXPECT_EQ(user.body.rfind("Printer name    : Line 1\r\n"
                              "Location        : Hall A\r\n"
                              "Serial number   : QS1001\r\n"
                              "Administrator   : J. Baker\r\n",
                              0),
              0u)
        << user.body;

    EXPECT_EQ(mails[1].rcptTos, (std::vector<std::string>{"admin@example.test"}));
    EXPECT_EQ(mails[1].authMechanism, "PLAIN");
    qavtest::ReceivedMail admin = qavtest::ParseMail(mails[1].data);
    EXPECT_EQ(admin.headers["Subject"], subject);
    EXPECT_EQ(admin.body, "Please clear the jam.\r\n");
    // The automatic choice: CRAM-MD5, refused, then PLAIN for both groups.
    EXPECT_NE(monitor.Log().find("library user method 3 failed (Authentication failed), library user method 2 sent, "
                                 "library administrator method 2 sent"),
              std::string::npos);
    // The channel was reached once, from the trap.
    EXPECT_EQ(Occurrences(monitor.Log(), "nwatch: channel mail " + printer + " 6/11"), 1u);
}

TEST_F(MailEndToEnd, PaperJamSwitchedOffForTheUser)
{
    WriteSurvey("PaperJam=0\n");
    StartMonitor();
    RaiseAndWaitForMail("paper-jam", "6/11");
    ASSERT_TRUE(peer.WaitForEvents("mail", 1)) << monitor.Log();
    std::vector<MailEvent> mails = peer.Mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].rcptTos, (std::vector<std::string>{"admin@example.test"}));

    // Other kinds still reach the user.
    RaiseAndWaitForMail("cutter-error", "6/12");
    ASSERT_TRUE(peer.WaitForEvents("mail", 3)) << monitor.Log();
    mails = peer.Mails();
    ASSERT_EQ(mails.size(), 3u);
    EXPECT_EQ(mails[1].rcptTos, (std::vector<std::string>{"user1@example.test", "user2@example.test"}));
    EXPECT_EQ(qavtest::ParseMail(mails[1].data).headers["Subject"], "Printer alert: Cutter error (" + printer + ")");
    EXPECT_EQ(mails[2].rcptTos, (std::vector<std::string>{"admin@example.test"}));
}

// A mail server that never says a word holds up the mail of its trap, and
// nothing else: the next trap's channels run at once, and the monitor still
// ends promptly.
class SilentMailServer : public MailEndToEnd {
protected:
    std::string PeerMode() const override { return "silent"; }
};

TEST_F(SilentMailServer, HoldsUpNothingElse)
{
    WriteSurvey("");
    WriteLogConfig(true);
    StartMonitor();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(sim.Command("event " + printer + " paper-jam").find("error"), std::string::npos);
    ASSERT_TRUE(WaitForText(monitor, "nwatch: channel mail " + printer + " 6/11", 10000)) << monitor.Log();
    ASSERT_EQ(sim.Command("event " + printer + " cover-open").find("error"), std::string::npos);
    ASSERT_TRUE(WaitForText(monitor, "nwatch: channel log " + printer + " 6/24", 10000)) << monitor.Log();
    const auto secondTrapDone = std::chrono::steady_clock::now() - start;
    // The first mail is still waiting for the greeting (2 s, and 2 s more
    // for the QUIT).
    EXPECT_EQ(monitor.Log().find("nwatch: mail " + printer + " 6/11:"), std::string::npos);
    EXPECT_LT(secondTrapDone, std::chrono::milliseconds(1800));

    ASSERT_TRUE(WaitForText(monitor, "nwatch: mail " + printer + " 6/11: mail server not reached (probe)", 10000))
        << monitor.Log();
    // Ends while the second trap's mail is under way: it is waited for, not
    // more.
    const auto stopAt = std::chrono::steady_clock::now();
    ::kill(monitor.Pid(), SIGTERM);
    EXPECT_EQ(monitor.Wait(8000), 0) << monitor.Log();
    EXPECT_LT(std::chrono::steady_clock::now() - stopAt, std::chrono::milliseconds(6000));
    EXPECT_TRUE(peer.Mails().empty());
}

// The mail server takes nothing before STARTTLS and proves itself with a
// certificate the test made; the settings name its port, the security and
// that certificate as the only authority.
class StartTlsMailServer : public MailEndToEnd {
protected:
    bool StartPeer() override { return peer.StartSecure("plain", "starttls", mailServer, kSmtpPort); }
    std::string SecureMail(const std::string& authorities) const
    {
        return "SourcePort=" + std::to_string(kSmtpPort) + "\nSourceSecurity=STARTTLS\nSourceCAFile=" + authorities +
               "\n";
    }
};

TEST_F(StartTlsMailServer, PaperJamMailedOverStartTls)
{
    WriteSurvey("", SecureMail(peer.CertFile()));
    StartMonitor(false);
    RaiseAndWaitForMail("paper-jam", "6/11");
    ASSERT_TRUE(peer.WaitForEvents("mail", 2)) << monitor.Log();
    const std::vector<MailEvent> mails = peer.Mails();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[0].rcptTos, (std::vector<std::string>{"user1@example.test", "user2@example.test"}));
    EXPECT_EQ(mails[0].authMechanism, "PLAIN");
    EXPECT_EQ(mails[0].authLogin, "qav");
    qavtest::ReceivedMail user = qavtest::ParseMail(mails[0].data);
    EXPECT_EQ(user.headers["Subject"], "Printer alert: Paper jam (" + printer + ")");
    EXPECT_EQ(user.body.rfind("Printer name    : Line 1\r\n", 0), 0u) << user.body;
    EXPECT_EQ(mails[1].rcptTos, (std::vector<std::string>{"admin@example.test"}));
    EXPECT_EQ(qavtest::ParseMail(mails[1].data).body, "Please clear the jam.\r\n");
}

// The server's certificate is not among the authorities the settings
// trust: nothing is sent, in clear least of all.
TEST_F(StartTlsMailServer, UntrustedServerGetsNothing)
{
    WriteSurvey("", SecureMail("/etc/ssl/certs/ca-certificates.crt"));
    StartMonitor(false);
    RaiseAndWaitForMail("paper-jam", "6/11");
    EXPECT_NE(monitor.Log().find("nwatch: mail " + printer + " 6/11: mail server not reached (probe)"),
              std::string::npos)
        << monitor.Log();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (const MailEvent& e : peer.Events()) EXPECT_NE(e.event, "auth");
    EXPECT_TRUE(peer.Mails().empty());
}

} // namespace

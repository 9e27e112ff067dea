// The rules of the settings dialogs without a display: what an OK writes,
// the field checks, the address ranges, the recipient lists, the test mail
// against aiosmtpd through the real mail library, and the trap-port check.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "MailPeer.h"
#include "SetupLogic.h"
#include "bsmtp/Bsmtp.h"
#include "qavsettings/Profile.h"

using namespace nsetup;
using qavsettings::SettingsGroup;
using qavtest::LoopbackAddress;
using qavtest::MailPeer;
using qavtest::TempDir;

namespace {

int SendThroughBsmtp(const std::string& server, const std::string& recipients, const std::string& sender,
                     std::string& error)
{
    char text[BSMTP_ERROR_TEXT_SIZE] = {};
    const int sent = BSendMail(server.c_str(), recipients.c_str(), sender.c_str(), "Test", "Body", nullptr, text);
    error = text;
    return sent;
}

} // namespace

TEST(ChangeTracking, UnchangedStateAndOnlyDifferingKeysAreWritten)
{
    TempDir dir;
    const std::string path = dir.File("x.INI");
    qavtest::WriteFile(path, "; kept\n[A]\nOne=1\nTwo= two \n[B]\nThree=3\n");
    const SettingsGroup shown = {{"A", "One", "1"}, {"A", "Two", "two"}, {"B", "Three", "3"}, {"B", "Four", "0"}};
    ChangeTracker tracker;
    tracker.Start(shown);
    EXPECT_FALSE(tracker.Changed(shown));

    SettingsGroup edited = shown;
    edited[2].value = "33";
    EXPECT_TRUE(tracker.Changed(edited));
    // Two is stored with blanks around it (read trimmed: equal); Four is
    // missing from the file and is written with the changed Three.
    const SettingsGroup write = ChangeTracker::ToWrite(edited, path);
    ASSERT_EQ(write.size(), 2u);
    EXPECT_EQ(write[0].key, "Three");
    EXPECT_EQ(write[1].key, "Four");

    // A value stored by other means meanwhile is no change.
    SettingsGroup stored = shown;
    stored[0].value = "2";
    tracker.Accept("A", "One", "2");
    EXPECT_FALSE(tracker.Changed(stored));

    // An unreadable file: everything, so that the write fails visibly.
    if (::geteuid() != 0) {
        ::chmod(path.c_str(), 0);
        EXPECT_EQ(ChangeTracker::ToWrite(edited, path).size(), edited.size());
        ::chmod(path.c_str(), 0644);
    }
}

TEST(ManagementRules, PasswordAndCommunityChecks)
{
    EXPECT_EQ(CheckPasswordChange("Secret9", "secret9", "new", "NEW"), 0); // case is ignored
    EXPECT_EQ(CheckPasswordChange("wrong", "secret9", "new", "new"), 4014);
    EXPECT_EQ(CheckPasswordChange("", "", "a", "b"), 4015);
    EXPECT_EQ(EmptyCommunityField("", "w"), 1);
    EXPECT_EQ(EmptyCommunityField("r", ""), 2);
    EXPECT_EQ(EmptyCommunityField("r", "w"), 0);
}

TEST(SearchRanges, AddRulesSwapAndLines)
{
    for (const char* bad : {"", "0.0.0.0", "255.255.255.255", "10.0.0", "10.0.0.256", "a.b.c.d"})
        EXPECT_FALSE(RangeToAdd(bad, "5", true)) << bad;
    EXPECT_FALSE(RangeToAdd("10.0.0.1", "256", true));
    EXPECT_FALSE(RangeToAdd("10.0.0.1", "", true));

    auto r = RangeToAdd("192.168.1.200", "10", true); // reversed: stored ascending
    ASSERT_TRUE(r);
    EXPECT_EQ(r->startIp, "192.168.1.10");
    EXPECT_EQ(r->endIp, "192.168.1.200");
    EXPECT_EQ(RangeLine(*r), "192.168.1.10 - 192.168.1.200");

    r = RangeToAdd("10.1.2.255", "", false); // the whole subnet
    ASSERT_TRUE(r);
    EXPECT_EQ(RangeLine(*r), "10.1.2.0 - 10.1.2.254");

    r = RangeToAdd("10.1.2.7", "7", true);
    ASSERT_TRUE(r);
    EXPECT_EQ(RangeLine(*r), "10.1.2.7");
    r = RangeToAdd("10.1.2.7", "", false);
    ASSERT_TRUE(r);
    EXPECT_EQ(RangeLine(*r), "10.1.2.7");

    EXPECT_EQ(CheckSearchSettings(0, false, "30"), 4047);
    EXPECT_EQ(CheckSearchSettings(0, true, ""), 4048);
    EXPECT_EQ(CheckSearchSettings(1, false, "30"), 0);
}

TEST(SurveillanceRules, RefreshFieldsAreLimitedTo720)
{
    EXPECT_EQ(FilterRefreshField("721"), "720");
    EXPECT_EQ(FilterRefreshField("99999"), "720");
    EXPECT_EQ(FilterRefreshField("720"), "720");
    EXPECT_EQ(FilterRefreshField("x12"), "");
    EXPECT_EQ(FilterRefreshField(""), "");
    EXPECT_EQ(CheckRefreshFields("721", ""), 4063);
    EXPECT_EQ(CheckRefreshFields("", "800"), 4063);
    EXPECT_EQ(CheckRefreshFields("720", ""), 0);
    EXPECT_EQ(qavsettings::DurationFromField("720", true), 7200);
}

TEST(MailRules, RecipientListsSenderAndAccountUser)
{
    EXPECT_TRUE(ValidRecipientList("a@b.test;c@d.test"));
    EXPECT_FALSE(ValidRecipientList("a@b.test;cd.test")); // the second lacks "@"
    EXPECT_FALSE(ValidRecipientList("@b.test"));
    EXPECT_FALSE(ValidRecipientList("a@"));
    EXPECT_FALSE(ValidRecipientList("a@b;"));
    EXPECT_FALSE(ValidRecipientList(""));
    EXPECT_EQ(RecipientsForSending("a@b.test;c@d.test"), "a@b.test\tc@d.test");

    EXPECT_EQ(SenderText(1, "me@x.test", "u", "p"), "me@x.test");
    EXPECT_EQ(SenderText(2, "me@x.test", "u", "p"), "me@x.test\tu:p");
    EXPECT_EQ(SenderText(3, "me@x.test", "u", "p"), "me@x.test\tu:p\tPLAIN");
    EXPECT_EQ(SenderText(4, "Monitor", "u", "p"), "Monitor<>\tu:p\tCRAM-MD5");

    int removed = -1;
    EXPECT_EQ(FilterAccountUser("ab@c", &removed), "abc");
    EXPECT_EQ(removed, 2);
    EXPECT_EQ(FilterAccountUser("user1", &removed), "user1");
    EXPECT_EQ(removed, -1);

    qavsettings::SurveyConfig c;
    EXPECT_EQ(CheckMailSettings(c), 4092);
    c.sourceServer = "127.0.0.1";
    c.sourceAdd = "me@x.test";
    EXPECT_EQ(CheckMailSettings(c), 0);
    c.administrator.sendmail = 1;
    c.administrator.address = "admin@x.test;nobody";
    EXPECT_EQ(CheckMailSettings(c), 4093);
}

TEST(TestMail, FormsAgainstARealServer)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("cram", LoopbackAddress(25), qavtest::FreeTcpPort(LoopbackAddress(25)))) << peer.Log();
    qavsettings::SurveyConfig c;
    c.sourceServer = peer.Server();
    c.sourceAdd = "monitor@example.test";
    c.sourceUser = "qav";
    c.sourcePasswd = "secret";
    c.user.sendmail = 1;
    c.user.address = "one@example.test;two@example.test";
    c.administrator.sendmail = 1;
    c.administrator.address = "admin@example.test";

    TestMailResult r = RunTestMail(c, SendThroughBsmtp);
    EXPECT_EQ(r.outcome, TestMailResult::kSent) << r.lastError;
    EXPECT_EQ(r.form, 4); // CRAM-MD5, tried first
    EXPECT_EQ(r.calls, 2);
    ASSERT_TRUE(peer.WaitForEvents("mail", 2));
    const auto mails = peer.Mails();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[0].rcptTos, (std::vector<std::string>{"one@example.test", "two@example.test"}));

    // A wrong password: every form fails in turn.
    c.sourcePasswd = "wrong";
    r = RunTestMail(c, SendThroughBsmtp);
    EXPECT_EQ(r.outcome, TestMailResult::kFailed);
    EXPECT_GE(r.calls, 4);

    // An invalid list fails before anything is sent; no flag: nothing at all.
    c.user.address = "one@example.test;nobody";
    r = RunTestMail(c, SendThroughBsmtp);
    EXPECT_EQ(r.outcome, TestMailResult::kFailed);
    EXPECT_EQ(r.calls, 0);
    EXPECT_EQ(r.refusal, 4093) << "the reason the dialog shows";
    c.user.sendmail = 0;
    c.administrator.sendmail = 0;
    r = RunTestMail(c, SendThroughBsmtp);
    EXPECT_EQ(r.outcome, TestMailResult::kNothingToSend);
    EXPECT_EQ(r.calls, 0);
}

TEST(TestMail, FormsAreTriedFromFourDown)
{
    MailPeer peer; // AUTH PLAIN only: CRAM-MD5 (form 4) fails, PLAIN (form 3) works
    ASSERT_TRUE(peer.Start("plain", LoopbackAddress(27), qavtest::FreeTcpPort(LoopbackAddress(27)))) << peer.Log();
    qavsettings::SurveyConfig c;
    c.sourceServer = peer.Server();
    c.sourceAdd = "monitor@example.test";
    c.sourceUser = "qav";
    c.sourcePasswd = "secret";
    c.administrator.sendmail = 1;
    c.administrator.address = "admin@example.test";
    const TestMailResult r = RunTestMail(c, SendThroughBsmtp);
    EXPECT_EQ(r.outcome, TestMailResult::kSent) << r.lastError;
    EXPECT_EQ(r.form, 3);
    EXPECT_EQ(r.calls, 2);
}

TEST(TestMail, UnreachableServerStopsTheTries)
{
    qavsettings::SurveyConfig c;
    c.sourceServer = LoopbackAddress(26) + ":" + std::to_string(qavtest::FreeTcpPort(LoopbackAddress(26)));
    c.sourceAdd = "monitor@example.test";
    c.sourceUser = "qav";
    c.sourcePasswd = "secret";
    c.user.sendmail = 1;
    c.user.address = "one@example.test";
    const TestMailResult r = RunTestMail(c, SendThroughBsmtp);
    EXPECT_EQ(r.outcome, TestMailResult::kFailed);
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.lastError, BSMTP_CANT_CONNECT_TEXT);

    c.sourceAdd.clear();
    const TestMailResult noSender = RunTestMail(c, SendThroughBsmtp);
    EXPECT_EQ(noSender.outcome, TestMailResult::kFailed);
    EXPECT_EQ(noSender.refusal, 4092);
    EXPECT_EQ(noSender.calls, 0);
}

// The port and security of the mail connection: what the OK and the test
// mail accept, and the server text the mail library gets.
TEST(MailRules, PortAndSecurity)
{
    qavsettings::SurveyConfig c;
    c.sourceServer = "mail.example.test";
    c.sourceAdd = "me@x.test";
    EXPECT_EQ(CheckMailConnection(c), 0) << "absent: port 25 in clear";
    EXPECT_EQ(MailServerText(c), "mail.example.test");
    c.sourceSecurity = "TLS";
    EXPECT_EQ(MailServerText(c), "mail.example.test:465");
    c.sourceSecurity = "starttls";
    c.sourcePort = "587";
    EXPECT_EQ(CheckMailConnection(c), 0);
    EXPECT_EQ(MailServerText(c), "mail.example.test:587");
    c.sourcePort = " 25 ";
    EXPECT_EQ(MailServerText(c), "mail.example.test");
    c.sourceServer = "mail.example.test:2525"; // a port of its own stays
    c.sourcePort = "587";
    EXPECT_EQ(MailServerText(c), "mail.example.test:2525");

    for (const char* bad : {"0", "65536", "25x", "-1", "5 87"}) {
        c.sourcePort = bad;
        EXPECT_EQ(CheckMailConnection(c), 4103) << bad;
        EXPECT_EQ(CheckMailSettings(c), 4103) << bad;
    }
    c.sourcePort.clear();
    c.sourceSecurity = "SSL";
    EXPECT_EQ(CheckMailConnection(c), 4104);
    EXPECT_EQ(CheckMailSettings(c), 4104);

    // The test mail refuses them before anything is sent.
    c.user.sendmail = 1;
    c.user.address = "one@example.test";
    int calls = 0;
    const SendFunction count = [&](const std::string&, const std::string&, const std::string&, std::string&) {
        ++calls;
        return 1;
    };
    TestMailResult r = RunTestMail(c, count);
    EXPECT_EQ(r.outcome, TestMailResult::kFailed);
    EXPECT_EQ(r.refusal, 4104);
    c.sourceSecurity = "none";
    c.sourcePort = "99999";
    r = RunTestMail(c, count);
    EXPECT_EQ(r.refusal, 4103);
    EXPECT_EQ(calls, 0);
    c.sourcePort = "2526";
    std::string server;
    r = RunTestMail(c, [&](const std::string& s, const std::string&, const std::string&, std::string&) {
        server = s;
        return 1;
    });
    EXPECT_EQ(r.outcome, TestMailResult::kSent);
    EXPECT_EQ(server, "mail.example.test:2525") << "the server's own port";
    c.sourceServer = "mail.example.test";
    RunTestMail(c, [&](const std::string& s, const std::string&, const std::string&, std::string&) {
        server = s;
        return 1;
    });
    EXPECT_EQ(server, "mail.example.test:2526");
}

TEST(LogRules, FileNameAndSizeChecks)
{
    TempDir dir;
    EXPECT_EQ(CheckLogFields({false, "", ""}, ""), 0);
    EXPECT_EQ(CheckLogFields({true, "", "10"}, ""), 4192);
    EXPECT_EQ(CheckLogFields({true, dir.File("missing/trap.log"), "10"}, ""), 4191);
    // The stored name is not opened again.
    EXPECT_EQ(CheckLogFields({true, dir.File("missing/trap.log"), "10"}, dir.File("missing/trap.log")), 0);
    EXPECT_EQ(CheckLogFields({true, dir.File("trap.log"), "0"}, ""), 4193);
    EXPECT_EQ(CheckLogFields({true, dir.File("trap.log"), ""}, ""), 4193);
    EXPECT_EQ(CheckLogFields({true, dir.File("trap.log"), "1"}, ""), 0);
}

TEST(TrapPort, FreeHeldHereOrHeldElsewhere)
{
    // A port this process holds (as the monitor holds its trap port).
    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    socklen_t len = sizeof sa;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len);
    const int port = ntohs(sa.sin_port);
    EXPECT_EQ(CheckTrapPort(port), TrapPortState::kThisProcess);
    ::close(s);
    EXPECT_EQ(CheckTrapPort(port), TrapPortState::kFree);

    // Held by another program.
    qavtest::ChildProcess holder;
    TempDir dir;
    const std::string script =
        "import socket,sys,time\ns=socket.socket(socket.AF_INET,socket.SOCK_DGRAM)\ns.bind(('0.0.0.0'," +
        std::to_string(port) + "))\nprint('bound',flush=True)\ntime.sleep(30)\n";
    ASSERT_TRUE(holder.Start({"/usr/bin/python3", "-c", script}, dir.File("holder.log")));
    for (int i = 0; i < 200 && holder.Log().find("bound") == std::string::npos; ++i) ::usleep(20000);
    ASSERT_NE(holder.Log().find("bound"), std::string::npos) << holder.Log();
    std::string why;
    EXPECT_EQ(CheckTrapPort(port, &why), TrapPortState::kUnavailable);
    EXPECT_NE(why.find(std::to_string(port)), std::string::npos);
}

TEST(Library, ExportsExactlyTheFiveFunctions)
{
    const std::string out =
        qavtest::RunCommand("nm -D --defined-only '" + std::string(QAV_BINARY_DIR) + "/lib/libnsetup.so'");
    std::vector<std::string> names;
    std::istringstream lines(out);
    std::string address, kind, name;
    while (lines >> address >> kind >> name) names.push_back(name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"GetDispFlag", "LogSetup", "ManagementSetup", "SearchSetup",
                                               "SurveillanceSetup"}))
        << out;
}

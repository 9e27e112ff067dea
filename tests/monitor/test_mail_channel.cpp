// The mail channel: subject and body composed from the language texts, the
// recipient groups' due test, and the whole exchange against aiosmtpd: the
// probe, the automatic and fixed authentication, the fallback to the own
// SMTP client and the cases that end the mail handling.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "MailPeer.h"
#include "bsmtp/Bsmtp.h"
#include "nwatch/MailChannel.h"
#include "nwatch/MailWorker.h"
#include "qavres/Resources.h"
#include "qavsettings/SettingsFiles.h"

namespace {

using namespace nwatch;
using qavtest::LoopbackAddress;
using qavtest::MailEvent;
using qavtest::MailPeer;

constexpr int kPort = 2525;

int ConditionIndex(const char* key)
{
    for (int i = 0; i < qavsettings::kConditionCount; ++i) {
        if (std::strcmp(qavsettings::kConditionKeys[i], key) == 0) return i;
    }
    return -1;
}

qavsettings::RecipientConfig Recipient(const std::string& address, bool on = true)
{
    qavsettings::RecipientConfig r;
    r.sendmail = on;
    r.address = address;
    r.conditions.fill(on ? 1 : 0);
    return r;
}

NotificationRecord PaperJam(uint32_t address = 0x7F000005)
{
    NotificationRecord r;
    r.generic = 6;
    r.specific = 11;
    r.address = address;
    r.name = "Line 1";
    r.location = "Hall A";
    r.serial = "QS1001";
    r.manager = "J. Baker";
    return r;
}

const char* const kDetails = "Printer name    : Line 1\n"
                             "Location        : Hall A\n"
                             "Serial number   : QS1001\n"
                             "Administrator   : J. Baker\n";

// Header block (unfolded) and body of a received mail.
using Parsed = qavtest::ReceivedMail;
Parsed Parse(const std::string& data)
{
    Parsed p = qavtest::ParseMail(data);
    EXPECT_TRUE(p.complete) << "no end of the header block in: " << data;
    return p;
}

size_t Count(const std::vector<MailEvent>& events, const std::string& kind)
{
    size_t n = 0;
    for (const MailEvent& e : events) n += e.event == kind;
    return n;
}

class MailTexts : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(language.Load(qavres::kLanguage)); }
    qavres::StringTable language;
};

// ------------------------------------------------------------ composition

TEST_F(MailTexts, SubjectsOfKnownUnknownAndSharedKinds)
{
    NotificationRecord r = PaperJam();
    EXPECT_EQ(MailSubject(r, language), "Printer alert: Paper jam (127.0.0.5)");
    r.specific = 21; // shares the Ribbon key with 6/14, but has its own subject
    EXPECT_EQ(MailSubject(r, language), "Printer alert: Ribbon error (127.0.0.5)");
    // The printer-error kind carries the real specific number.
    r.specific = 120;
    r.address = 0x0A00FE07;
    EXPECT_EQ(MailSubject(r, language), "Printer alert: Printer error (120) (10.0.254.7)");
    r.specific = 98;
    EXPECT_EQ(MailSubject(r, language), "Printer alert: Printer error (98) (10.0.254.7)");
}

TEST_F(MailTexts, DetailsArePaddedLabelLines)
{
    EXPECT_EQ(MailDetails(PaperJam(), language), kDetails);
    // A label of 16 bytes or more is not padded, and not cut.
    language.Set(1150, "A label of twenty bytes");
    EXPECT_EQ(MailDetails(PaperJam(), language).substr(0, 33), "A label of twenty bytes: Line 1\nL");
}

TEST_F(MailTexts, BodiesOfTheTwoPaths)
{
    qavtest::TempDir dir;
    qavtest::WriteFile(dir.File("message.txt"), "Please check the printer.\n.hidden line\n");
    qavsettings::RecipientConfig g = Recipient("a@example.test");
    const NotificationRecord r = PaperJam();

    EXPECT_EQ(MailBody(r, g, language, MailPath::kLibrary), "");
    EXPECT_EQ(MailBody(r, g, language, MailPath::kOwnClient), "\n\n");

    g.errorDetail = 1;
    EXPECT_EQ(MailBody(r, g, language, MailPath::kLibrary), std::string(kDetails) + "\r\n\r\n");
    EXPECT_EQ(MailBody(r, g, language, MailPath::kOwnClient), std::string(kDetails) + "\n\n");

    g.message = 1;
    g.attachment = dir.File("message.txt");
    EXPECT_EQ(MailBody(r, g, language, MailPath::kLibrary),
              std::string(kDetails) + "\r\n\r\nPlease check the printer.\n.hidden line\n");
    g.errorDetail = 0;
    EXPECT_EQ(MailBody(r, g, language, MailPath::kLibrary), "Please check the printer.\n.hidden line\n");
    EXPECT_EQ(MailBody(r, g, language, MailPath::kOwnClient), "\n\nPlease check the printer.\n.hidden line\n");

    // A missing message file leaves the message part empty; without Message
    // the file is not read at all.
    g.attachment = dir.File("missing.txt");
    EXPECT_EQ(MailBody(r, g, language, MailPath::kLibrary), "");
    g.attachment = dir.File("message.txt");
    g.message = 0;
    EXPECT_EQ(MailBody(r, g, language, MailPath::kOwnClient), "\n\n");

    // A file larger than any block size comes whole.
    const std::string big(5000, 'x');
    qavtest::WriteFile(dir.File("big.txt"), big);
    EXPECT_EQ(ReadMessageFile(dir.File("big.txt")), big);
}

TEST(MailGroups, DueTestPerKindKey)
{
    qavsettings::RecipientConfig g = Recipient("a@example.test");
    EXPECT_TRUE(GroupDue(g, FindMailKindRow(6, 11)));
    g.conditions[ConditionIndex("PaperJam")] = 0;
    EXPECT_FALSE(GroupDue(g, FindMailKindRow(6, 11)));
    EXPECT_TRUE(GroupDue(g, FindMailKindRow(6, 12)));
    // One key switches several kinds: Ribbon for 6/14 and 6/21, PrinterError
    // for 6/50 and for unknown enterprise traps.
    g.conditions[ConditionIndex("Ribbon")] = 0;
    EXPECT_FALSE(GroupDue(g, FindMailKindRow(6, 14)));
    EXPECT_FALSE(GroupDue(g, FindMailKindRow(6, 21)));
    g.conditions[ConditionIndex("PrinterError")] = 0;
    EXPECT_FALSE(GroupDue(g, FindMailKindRow(6, 120)));
    // The row without mail, and a group without Sendmail.
    EXPECT_FALSE(GroupDue(Recipient("a@example.test"), FindMailKindRow(1, 0)));
    qavsettings::RecipientConfig off = Recipient("a@example.test");
    off.sendmail = 0;
    EXPECT_FALSE(GroupDue(off, FindMailKindRow(6, 11)));
}

TEST(MailSenderText, MethodIndexes)
{
    MailSettings s;
    s.sourceAdd = "monitor@example.test";
    s.sourceUser = "qav";
    s.sourcePasswd = "se:cret";
    EXPECT_EQ(LibrarySenderText(s, 3), "monitor@example.test\tqav:se:cret\tCRAM-MD5");
    EXPECT_EQ(LibrarySenderText(s, 2), "monitor@example.test\tqav:se:cret\tPLAIN");
    EXPECT_EQ(LibrarySenderText(s, 1), "monitor@example.test\tqav:se:cret");
    EXPECT_EQ(LibrarySenderText(s, 0), "monitor@example.test");
    s.sourceAdd = "Monitor";
    EXPECT_EQ(LibrarySenderText(s, 0), "Monitor<>");
}

TEST(MailSettingsFile, ReadFromTheDataFolder)
{
    qavtest::TempDir dir;
    ::setenv("QAV_DATA_DIR", dir.Path().c_str(), 1);
    qavtest::WriteFile(dir.File("QAVSurveyConfig.INI"),
                       "[Mail]\nSourceName=QAV Monitor\nSourceServer=127.0.0.9\nSourceAdd=m@example.test\n"
                       "SourceUser=qav\nSourcePasswd=frperg\nSourceAuth=3\n"
                       "[User]\nSendmail=1\nAddress=u@example.test\nPaperJam=0\n"
                       "[Administrator]\nSendmail=0\n");
    qavtest::WriteFile(dir.File("QAVMgmtConfig.INI"), "[Resource]\nLanguage=JPN\n");
    MailSettings s = ReadMailSettings();
    EXPECT_EQ(s.sourceName, "QAV Monitor");
    EXPECT_EQ(s.sourceServer, "127.0.0.9");
    EXPECT_EQ(s.sourcePasswd, "secret");
    EXPECT_EQ(s.sourceAuth, 3);
    EXPECT_TRUE(s.japanese);
    EXPECT_EQ(s.port, 25);
    EXPECT_FALSE(GroupDue(s.user, FindMailKindRow(6, 11)));
    EXPECT_TRUE(GroupDue(s.user, FindMailKindRow(6, 12))); // a missing key takes Sendmail
    EXPECT_FALSE(GroupDue(s.administrator, FindMailKindRow(6, 12)));

    qavtest::WriteFile(dir.File("QAVMgmtConfig.INI"), "[Resource]\nLanguage=ENG\n");
    ::setenv("QAV_SMTP_PORT", "2526", 1);
    s = ReadMailSettings();
    EXPECT_FALSE(s.japanese);
    EXPECT_EQ(s.port, 2526);
    ::unsetenv("QAV_SMTP_PORT");
    ::unsetenv("QAV_DATA_DIR");
}

// ------------------------------------------------------- against aiosmtpd

class MailExchange : public MailTexts {
protected:
    void SetUp() override
    {
        MailTexts::SetUp();
        address = LoopbackAddress(61);
        settings.sourceName = "QAV Monitor";
        settings.sourceServer = address;
        settings.sourceAdd = "monitor@example.test";
        settings.sourceUser = "qav";
        settings.sourcePasswd = "secret";
        settings.port = kPort;
        settings.user = Recipient("user1@example.test;User Two <user2@example.test>");
        settings.user.errorDetail = 1;
        settings.administrator = Recipient("admin@example.test");
    }
    bool Start(const std::string& mode)
    {
        const bool ok = peer.Start(mode, address, kPort);
        EXPECT_TRUE(ok) << peer.Log();
        return ok;
    }
    MailReport Send(const NotificationRecord& r = PaperJam())
    {
        NotificationMailer mailer(language);
        return mailer.Send(r, settings);
    }
    // The mails once the peer has seen every connection end.
    std::vector<MailEvent> Mails(size_t expected)
    {
        peer.WaitForEvents("mail", expected, 3000);
        return peer.Mails();
    }

    std::string address;
    MailSettings settings;
    MailPeer peer;
};

TEST_F(MailExchange, AutomaticModeOnAPlainOnlyServer)
{
    if (!Start("plain")) return;
    const MailReport report = Send();
    // CRAM-MD5 first, then PLAIN for the user mail; PLAIN alone for the
    // administrator mail.
    ASSERT_EQ(report.attempts.size(), 3u) << report.Summary();
    EXPECT_EQ(report.attempts[0].method, 3);
    EXPECT_FALSE(report.attempts[0].sent);
    EXPECT_EQ(report.attempts[1].method, 2);
    EXPECT_TRUE(report.attempts[1].sent);
    EXPECT_EQ(report.attempts[2].group, kAdministratorGroup);
    EXPECT_EQ(report.attempts[2].method, 2);
    EXPECT_TRUE(report.attempts[2].sent);
    EXPECT_FALSE(report.fallback);

    const auto mails = Mails(2);
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[0].mailFrom, "monitor@example.test");
    EXPECT_EQ(mails[0].rcptTos, (std::vector<std::string>{"user1@example.test", "user2@example.test"}));
    EXPECT_EQ(mails[0].authMechanism, "PLAIN");
    Parsed user = Parse(mails[0].data);
    EXPECT_EQ(user.headers["Subject"], "Printer alert: Paper jam (127.0.0.5)");
    std::string expected = kDetails;
    for (size_t at = 0; (at = expected.find('\n', at)) != std::string::npos; at += 2) expected.replace(at, 1, "\r\n");
    EXPECT_EQ(user.body.substr(0, expected.size()), expected);
    EXPECT_EQ(user.body.find_first_not_of("\r\n", expected.size()), std::string::npos);

    EXPECT_EQ(mails[1].rcptTos, (std::vector<std::string>{"admin@example.test"}));
    EXPECT_EQ(mails[1].authMechanism, "PLAIN");
    Parsed admin = Parse(mails[1].data);
    EXPECT_EQ(admin.headers["Subject"], "Printer alert: Paper jam (127.0.0.5)");
    EXPECT_EQ(admin.body.find_first_not_of("\r\n"), std::string::npos); // no details for this group
    // The probe, two library attempts for the user, one for the administrator.
    EXPECT_EQ(Count(peer.Events(), "connect"), 4u);
}

TEST_F(MailExchange, GroupWithKindSwitchedOffGetsNoMail)
{
    if (!Start("accept")) return;
    settings.user.conditions[ConditionIndex("PaperJam")] = 0;
    const MailReport report = Send();
    ASSERT_EQ(report.attempts.size(), 1u) << report.Summary();
    EXPECT_EQ(report.attempts[0].group, kAdministratorGroup);
    EXPECT_EQ(report.attempts[0].method, 3); // the first group due starts the automatic sequence
    const auto mails = Mails(1);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].rcptTos, (std::vector<std::string>{"admin@example.test"}));
    EXPECT_EQ(mails[0].authMechanism, "CRAM-MD5");

    // The cutter error is still mailed to both.
    NotificationRecord cutter = PaperJam();
    cutter.specific = 12;
    EXPECT_EQ(Send(cutter).attempts.size(), 2u);
    const auto all = Mails(3);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(Parse(all[1].data).headers["Subject"], "Printer alert: Cutter error (127.0.0.5)");
}

TEST_F(MailExchange, NoGroupDueFallsBackToTheOwnClientWhichSendsNothing)
{
    if (!Start("accept")) return;
    settings.user.conditions.fill(0);
    settings.administrator.sendmail = 0;
    const MailReport report = Send();
    EXPECT_TRUE(report.attempts.empty());
    EXPECT_TRUE(report.fallback);
    EXPECT_TRUE(report.ownConnected);
    EXPECT_TRUE(report.ownSent.empty());
    peer.WaitForEvents("connect", 2, 2000);
    EXPECT_EQ(Count(peer.Events(), "connect"), 2u);
    EXPECT_TRUE(peer.Mails().empty());
}

TEST_F(MailExchange, FixedModeRefusedForTheUserFallsBackForBothGroups)
{
    if (!Start("accept")) return;
    settings.sourceAuth = 2; // method 1: user and password, refused here
    settings.sourcePasswd = "wrong";
    settings.japanese = true;
    const MailReport report = Send();
    ASSERT_EQ(report.attempts.size(), 1u) << report.Summary();
    EXPECT_EQ(report.attempts[0].method, 1);
    EXPECT_EQ(report.attempts[0].error, "Authentication failed");
    EXPECT_TRUE(report.fallback);
    EXPECT_EQ(report.ownSent, (std::vector<MailGroup>{kUserGroup, kAdministratorGroup}));

    const auto mails = Mails(2);
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[0].rcptTos, (std::vector<std::string>{"user1@example.test", "user2@example.test"}));
    EXPECT_EQ(mails[0].authMechanism, "");
    Parsed user = Parse(mails[0].data);
    EXPECT_EQ(user.headers["From"], "QAV Monitor <monitor@example.test>");
    EXPECT_EQ(user.headers["To"], "user1@example.test,User Two <user2@example.test>");
    EXPECT_EQ(user.headers["Subject"], "Printer alert: Paper jam (127.0.0.5)");
    EXPECT_EQ(user.headers["X-Mailer"], "CSMTPConnection v1.3");
    EXPECT_EQ(user.headers["Content-type"], "text/plain; charset=\"ISO-2022-JP\"");
    // Sent as composed; the line end before the final dot is the client's.
    EXPECT_EQ(user.body, std::string(kDetails) + "\n\n\r\n");
    EXPECT_EQ(mails[1].rcptTos, (std::vector<std::string>{"admin@example.test"}));
    EXPECT_EQ(Parse(mails[1].data).body, "\n\n\r\n");
}

TEST_F(MailExchange, FixedModeAdministratorFailureKeepsTheUserMail)
{
    if (!Start("refuse2")) return;
    settings.sourceAuth = 1; // no authentication
    settings.administrator.address = "admin1@example.test;admin2@example.test";
    settings.user.address = "user1@example.test";
    const MailReport report = Send();
    ASSERT_EQ(report.attempts.size(), 2u) << report.Summary();
    EXPECT_TRUE(report.attempts[0].sent);
    EXPECT_FALSE(report.attempts[1].sent);
    EXPECT_FALSE(report.fallback); // one group's mail went out
    EXPECT_EQ(Mails(1).size(), 1u);
}

TEST_F(MailExchange, AutomaticModeWithoutAnyWorkingMethodSkipsTheSecondGroup)
{
    if (!Start("cram")) return;
    settings.sourcePasswd = "wrong";
    const MailReport report = Send();
    ASSERT_EQ(report.attempts.size(), 4u) << report.Summary();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(report.attempts[i].group, kUserGroup);
        EXPECT_EQ(report.attempts[i].method, 3 - i);
        EXPECT_FALSE(report.attempts[i].sent);
    }
    // The own client cannot log in either: its first refused mail ends it.
    EXPECT_TRUE(report.fallback);
    EXPECT_TRUE(report.ownConnected);
    EXPECT_TRUE(report.ownFailed);
    EXPECT_TRUE(report.ownSent.empty());
    EXPECT_TRUE(peer.Mails().empty());
}

TEST_F(MailExchange, OwnClientOnlyWithANullSender)
{
    if (!Start("noauth")) return;
    settings.sourceAuth = 0;
    settings.sourceAdd = "Monitor";
    const MailReport report = Send();
    EXPECT_TRUE(report.attempts.empty());
    EXPECT_EQ(report.ownSent.size(), 2u);
    const auto mails = Mails(2);
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[0].mailFrom, "<>");
    Parsed p = Parse(mails[0].data);
    EXPECT_EQ(p.headers["From"], "Monitor <>");
    EXPECT_EQ(p.headers["Content-type"], "text/plain; charset=US-ASCII");
    // No probe: one connection carried both mails.
    EXPECT_EQ(Count(peer.Events(), "connect"), 1u);
}

TEST_F(MailExchange, LibraryNullSender)
{
    if (!Start("noauth")) return;
    settings.sourceAuth = 1;
    settings.sourceAdd = "Monitor";
    EXPECT_EQ(Send().attempts.size(), 2u);
    const auto mails = Mails(2);
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[0].mailFrom, "<>");
}

TEST_F(MailExchange, OwnClientRefusalStopsBeforeTheNextGroup)
{
    if (!Start("refuse2")) return;
    settings.sourceAuth = 0;
    const MailReport report = Send(); // the user group has two recipients
    EXPECT_TRUE(report.ownFailed);
    EXPECT_TRUE(report.ownSent.empty());
    peer.WaitForEvents("rcpt-refused", 1, 2000);
    EXPECT_TRUE(peer.Mails().empty());
}

TEST_F(MailExchange, SilentServerFailsTheProbe)
{
    if (!Start("silent")) return;
    const MailReport report = Send();
    EXPECT_TRUE(report.probeFailed);
    EXPECT_TRUE(report.attempts.empty());
    EXPECT_FALSE(report.fallback);
    peer.WaitForEvents("raw", 1, 3000);
    EXPECT_EQ(Count(peer.Events(), "connect"), 1u);
}

TEST_F(MailExchange, NoServerAtAllSendsNothing)
{
    settings.sourceServer = LoopbackAddress(62); // nothing listens there
    const MailReport report = Send();
    EXPECT_TRUE(report.probeFailed);
    EXPECT_FALSE(report.fallback);
}

// The library reports an unreachable server when the server went away
// after the probe: the real library, sent to an address where nothing
// listens.
std::string g_deadServer;
int SendToDeadServer(const char*, const char* recipients, const char* sender, const char* subject, const char* body,
                     const void* reserved, char* error)
{
    return BSendMail(g_deadServer.c_str(), recipients, sender, subject, body, reserved, error);
}

TEST_F(MailExchange, UnreachableServerEndsEverything)
{
    if (!Start("accept")) return;
    g_deadServer = LoopbackAddress(63) + ":" + std::to_string(kPort);
    NotificationMailer mailer(language, &SendToDeadServer);
    const MailReport report = mailer.Send(PaperJam(), settings);
    ASSERT_EQ(report.attempts.size(), 1u) << report.Summary();
    EXPECT_EQ(report.attempts[0].error, BSMTP_CANT_CONNECT_TEXT);
    EXPECT_TRUE(report.unreachable);
    EXPECT_FALSE(report.fallback);
    EXPECT_EQ(Count(peer.Events(), "connect"), 1u); // the probe only
}

TEST_F(MailExchange, StopFlagEndsBeforeTheNextAttempt)
{
    if (!Start("accept")) return;
    std::atomic<bool> stop{true};
    NotificationMailer mailer(language);
    mailer.SetStopFlag(&stop);
    const MailReport report = mailer.Send(PaperJam(), settings);
    EXPECT_TRUE(report.cancelled);
    EXPECT_TRUE(report.attempts.empty());
    EXPECT_FALSE(report.fallback);
}

// ------------------------------------------------------------ the worker

// ------------------------------------------- over a secure connection

// The server takes nothing before STARTTLS (or speaks TLS from the first
// byte) and proves itself with a certificate the test made; the channel
// trusts that certificate alone.
class SecureMailExchange : public MailExchange {
protected:
    bool StartSecure(const std::string& mode, const std::string& tls)
    {
        const bool ok = peer.StartSecure(mode, tls, address, kPort);
        EXPECT_TRUE(ok) << peer.Log();
        settings.security = tls == "tls" ? qavsettings::kMailSecurityTls : qavsettings::kMailSecurityStartTls;
        settings.caFile = peer.CertFile();
        return ok;
    }
};

TEST_F(SecureMailExchange, StartTlsCarriesTheLoginAndBothMails)
{
    // "plain": AUTH PLAIN only, required; with STARTTLS required before it.
    if (!StartSecure("plain", "starttls")) return;
    const MailReport report = Send();
    EXPECT_FALSE(report.probeFailed) << report.Summary();
    EXPECT_FALSE(report.fallback) << report.Summary();
    const auto mails = Mails(2);
    ASSERT_EQ(mails.size(), 2u) << report.Summary();
    EXPECT_EQ(mails[0].rcptTos, (std::vector<std::string>{"user1@example.test", "user2@example.test"}));
    EXPECT_EQ(mails[0].authMechanism, "PLAIN");
    EXPECT_EQ(mails[0].authLogin, "qav");
    EXPECT_EQ(Parse(mails[0].data).headers["Subject"], "Printer alert: Paper jam (127.0.0.5)");
    EXPECT_EQ(mails[1].rcptTos, (std::vector<std::string>{"admin@example.test"}));
}

TEST_F(SecureMailExchange, OwnClientSendsOverStartTls)
{
    if (!StartSecure("noauth", "starttls")) return;
    settings.sourceAuth = 0; // the own client alone
    const MailReport report = Send();
    EXPECT_TRUE(report.ownConnected) << report.Summary();
    EXPECT_EQ(report.ownSent.size(), 2u) << report.Summary();
    const auto mails = Mails(2);
    ASSERT_EQ(mails.size(), 2u);
    Parsed p = Parse(mails[0].data);
    EXPECT_EQ(p.headers["X-Mailer"], "CSMTPConnection v1.3");
    EXPECT_EQ(p.headers["Subject"], "Printer alert: Paper jam (127.0.0.5)");
}

TEST_F(SecureMailExchange, ProbeAndLibraryOverTls)
{
    if (!StartSecure("plain", "tls")) return;
    const MailReport report = Send();
    EXPECT_EQ(Mails(2).size(), 2u) << report.Summary();
}

// A certificate the channel does not trust: the probe fails, nothing is
// sent, and no login or mail ever goes out in clear.
TEST_F(SecureMailExchange, UntrustedCertificateSendsNothing)
{
    if (!StartSecure("plain", "starttls")) return;
    settings.caFile = "/etc/ssl/certs/ca-certificates.crt"; // the public authorities, not the test's
    const MailReport report = Send();
    EXPECT_TRUE(report.probeFailed) << report.Summary();
    EXPECT_TRUE(report.attempts.empty());
    EXPECT_FALSE(report.fallback);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Count(peer.Events(), "auth"), 0u);
    EXPECT_TRUE(peer.Mails().empty());
}

// STARTTLS asked for, and a server that does not offer it: no login, no
// mail, neither through the library nor through the own client.
TEST_F(SecureMailExchange, ServerWithoutStartTlsGetsNoMail)
{
    if (!Start("accept")) return;
    settings.security = qavsettings::kMailSecurityStartTls;
    for (int auth : {qavsettings::kAuthAutomatic, 0}) {
        settings.sourceAuth = auth;
        const MailReport report = Send();
        EXPECT_FALSE(report.ownConnected) << report.Summary();
        EXPECT_TRUE(report.ownSent.empty()) << report.Summary();
        for (const MailAttempt& a : report.attempts) EXPECT_FALSE(a.sent) << report.Summary();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Count(peer.Events(), "auth"), 0u);
    EXPECT_TRUE(peer.Mails().empty());
}

TEST_F(MailExchange, SettingsThatCannotBeUsedSendNothing)
{
    if (!Start("accept")) return;
    settings.problem = "SourceSecurity \"SSL\" of QAVSurveyConfig.INI is none of none, STARTTLS, TLS";
    const MailReport report = Send();
    EXPECT_EQ(report.refused, settings.problem);
    EXPECT_TRUE(report.attempts.empty());
    EXPECT_FALSE(report.fallback);
    EXPECT_NE(report.Summary().find("nothing sent: SourceSecurity"), std::string::npos) << report.Summary();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Count(peer.Events(), "connect"), 0u); // not even the probe
}

TEST(MailSettingsFile, PortAndSecurity)
{
    qavtest::TempDir dir;
    ::setenv("QAV_DATA_DIR", dir.Path().c_str(), 1);
    ::unsetenv("QAV_SMTP_PORT");
    auto read = [&](const std::string& mail) {
        qavtest::WriteFile(dir.File("QAVSurveyConfig.INI"), "[Mail]\nSourceServer=mail.example.test\n" + mail);
        return ReadMailSettings();
    };
    // Absent: port 25 in clear, as always.
    MailSettings s = read("");
    EXPECT_EQ(s.port, 25);
    EXPECT_EQ(s.security, qavsettings::kMailSecurityNone);
    EXPECT_TRUE(s.problem.empty());
    s = read("SourceSecurity=STARTTLS\nSourcePort=587\nSourceCAFile=/etc/qav/ca.pem\n");
    EXPECT_EQ(s.port, 587);
    EXPECT_EQ(s.security, qavsettings::kMailSecurityStartTls);
    EXPECT_EQ(s.caFile, "/etc/qav/ca.pem");
    s = read("SourceSecurity=tls\n");
    EXPECT_EQ(s.port, 465); // the standard port of TLS
    EXPECT_EQ(s.security, qavsettings::kMailSecurityTls);
    // A security that names none of the three never means "in clear".
    s = read("SourceSecurity=SSL\n");
    EXPECT_NE(s.problem.find("SourceSecurity \"SSL\""), std::string::npos) << s.problem;
    s = read("SourcePort=25x\n");
    EXPECT_NE(s.problem.find("SourcePort \"25x\""), std::string::npos) << s.problem;
    // The tests' override has the last word.
    ::setenv("QAV_SMTP_PORT", "2526", 1);
    EXPECT_EQ(read("SourceSecurity=TLS\nSourcePort=465\n").port, 2526);
    ::unsetenv("QAV_SMTP_PORT");
    ::unsetenv("QAV_DATA_DIR");
}

TEST(MailWorkerQueue, RunsJobsInOrderAndDropsTheRestAtStop)
{
    std::vector<int> done;
    std::mutex m;
    std::atomic<bool> release{false};
    {
        MailWorker worker;
        worker.Post([&](const std::atomic<bool>& stop) {
            while (!release && !stop) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::lock_guard<std::mutex> lock(m);
            done.push_back(1);
        });
        for (int i = 2; i <= 4; ++i) {
            worker.Post([&, i](const std::atomic<bool>&) {
                std::lock_guard<std::mutex> lock(m);
                done.push_back(i);
            });
        }
        EXPECT_EQ(worker.Pending(), 4);
        release = true;
        for (int i = 0; i < 200 && worker.Pending() > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(worker.Pending(), 0);
        EXPECT_EQ(done, (std::vector<int>{1, 2, 3, 4}));

        release = false;
        worker.Post([&](const std::atomic<bool>& stop) {
            while (!release && !stop) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        });
        worker.Post([&](const std::atomic<bool>&) { done.push_back(99); });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        // The job under way sees the stop flag; the queued one never runs.
        EXPECT_EQ(worker.Stop(), 1);
        EXPECT_FALSE(worker.Post([](const std::atomic<bool>&) {}));
    }
    EXPECT_EQ(done.size(), 4u);
}

} // namespace

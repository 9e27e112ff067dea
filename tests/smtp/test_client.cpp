// The own SMTP client against a real server (aiosmtpd) and against peers
// that misbehave: a refusing greeting, silence, a refused recipient,
// multi-line replies.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "MailPeer.h"
#include "qavsmtp/CSMTPConnection.h"
#include "qavsmtp/SMTPError.h"

using qavsmtp::SMTPGetLastError;
using qavtest::LoopbackAddress;
using qavtest::MailPeer;

namespace {

constexpr int kPort = 2525;

class FixedDateMessage : public CSMTPMessage {
protected:
    std::string HeaderDate() const override { return "Tue, 02 Jan 2024 03:04:05 +0900"; }
};

// The printer-detail body of a notification, with lines that need stuffing.
const char* const kBody = "Printer name    : QL-120\r\n"
                          ".\r\n"
                          ".x\r\n"
                          "..two\r\n"
                          "Location        : Hall 3";

double SecondsSince(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

} // namespace

TEST(SmtpClient, SendsEnvelopeHeaderAndBodyByteForByte)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("noauth", LoopbackAddress(1), kPort)) << peer.Log();

    FixedDateMessage message;
    message.m_From = CSMTPAddress("QAV Monitor", "monitor@example.test");
    message.m_sSubject = "Paper jam (127.0.0.5)";
    ASSERT_EQ(message.AddRecipientList("Alice <alice@example.test>; bob@example.test", CSMTPMessage::TO), 1);
    ASSERT_EQ(message.AddRecipientList("carol@example.test", CSMTPMessage::CC), 1);
    ASSERT_EQ(message.AddRecipientList("Dave <dave@example.test>", CSMTPMessage::BCC), 1);
    message.SetText(kBody);

    CSMTPConnection client;
    EXPECT_EQ(client.GetTimeout(), 2000);
    ASSERT_EQ(client.ConnectToServer(peer.Address(), "user", "ignored", kPort), 1) << SMTPGetLastError();
    EXPECT_TRUE(client.IsConnected());
    ASSERT_EQ(client.SendMail(message, false), 1) << client.GetLastCommandResponse();
    EXPECT_EQ(client.CloseConnection(), 1);
    EXPECT_FALSE(client.IsConnected());

    const auto mails = peer.Mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].mailFrom, "monitor@example.test");
    EXPECT_EQ(mails[0].rcptTos, (std::vector<std::string>{"alice@example.test", "bob@example.test",
                                                          "carol@example.test", "dave@example.test"}));
    // The server un-stuffs the dots; the line end before the final dot
    // ends the body's last line.
    const std::string expected = "From: QAV Monitor <monitor@example.test>\r\n"
                                 "To: Alice <alice@example.test>,bob@example.test\r\n"
                                 "Cc: carol@example.test\r\n"
                                 "Subject: Paper jam (127.0.0.5)\r\n"
                                 "Date: Tue, 02 Jan 2024 03:04:05 +0900\r\n"
                                 "X-Mailer: CSMTPConnection v1.3\r\n"
                                 "MIME-Version: 1.0\r\n"
                                 "Content-type: text/plain; charset=US-ASCII\r\n"
                                 "\r\n" +
                                 std::string(kBody) + "\r\n";
    EXPECT_EQ(mails[0].data, expected);
    EXPECT_EQ(mails[0].data.find("dave"), std::string::npos);
}

TEST(SmtpClient, BodyStartingWithALoneDotArrivesWhole)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("noauth", LoopbackAddress(1), kPort)) << peer.Log();
    CSMTPMessage message;
    message.m_From = CSMTPAddress("", "monitor@example.test");
    ASSERT_EQ(message.AddRecipientList("a@example.test", CSMTPMessage::TO), 1);
    message.SetText(".\r\nMAIL FROM:<x@evil.test>\r\nstill body");
    CSMTPConnection client;
    ASSERT_EQ(client.ConnectToServer(peer.Address(), "", "", kPort), 1);
    ASSERT_EQ(client.SendMail(message), 1) << client.GetLastCommandResponse();
    const auto mails = peer.Mails();
    ASSERT_EQ(mails.size(), 1u);
    const std::string& data = mails[0].data;
    EXPECT_EQ(data.substr(data.find("\r\n\r\n") + 4), ".\r\nMAIL FROM:<x@evil.test>\r\nstill body\r\n");
}

TEST(SmtpClient, JapaneseFlagSelectsTheIso2022Header)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("noauth", LoopbackAddress(1), kPort)) << peer.Log();
    CSMTPMessage message;
    message.m_From = CSMTPAddress("QAV", "monitor@example.test");
    ASSERT_EQ(message.AddRecipientList("a@example.test", CSMTPMessage::TO), 1);
    // ISO-2022-JP text passes unchanged (escape sequences and 7-bit bytes).
    const std::string japanese = "\x1b$B%W%j%s%?\x1b(B";
    message.m_sSubject = japanese;
    message.SetText(japanese);
    CSMTPConnection client;
    ASSERT_EQ(client.ConnectToServer(peer.Address(), "", "", kPort), 1);
    ASSERT_EQ(client.SendMail(message, true), 1);
    client.CloseConnection();
    const auto mails = peer.Mails();
    ASSERT_EQ(mails.size(), 1u);
    const std::string& data = mails[0].data;
    EXPECT_NE(data.find("\r\nSubject: " + japanese + "\r\n"), std::string::npos);
    EXPECT_NE(data.find("\r\nMIME-Version: 1.0\r\nContent-type: text/plain; charset=\"ISO-2022-JP\"\r\n"
                        "Content-transfer-Encoding: 7bit\r\n\r\n" +
                        japanese + "\r\n"),
              std::string::npos);
    EXPECT_NE(data.find("\r\nDate: "), std::string::npos);
}

TEST(SmtpClient, SeveralMessagesOnOneConnectionAndHostNames)
{
    MailPeer peer;
    // "localhost" resolves (through the hosts file) to 127.0.0.1.
    const int port = qavtest::FreeTcpPort("127.0.0.1");
    ASSERT_GT(port, 0);
    ASSERT_TRUE(peer.Start("noauth", "127.0.0.1", port)) << peer.Log();
    CSMTPConnection client;
    ASSERT_EQ(client.ConnectToServer("localhost", "", "", port), 1) << SMTPGetLastError();
    for (int i = 0; i < 3; ++i) {
        CSMTPMessage message;
        message.m_From = CSMTPAddress("", "monitor@example.test");
        message.m_sSubject = "n" + std::to_string(i);
        ASSERT_EQ(message.AddRecipientList("r" + std::to_string(i) + "@example.test", CSMTPMessage::TO), 1);
        message.SetText("body " + std::to_string(i));
        ASSERT_EQ(client.SendMail(message), 1);
    }
    EXPECT_EQ(client.CloseConnection(), 1);
    const auto mails = peer.Mails();
    ASSERT_EQ(mails.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(mails[i].rcptTos, std::vector<std::string>{"r" + std::to_string(i) + "@example.test"});
        EXPECT_NE(mails[i].data.find("\r\n\r\nbody " + std::to_string(i) + "\r\n"), std::string::npos);
    }
    // A connection closed once is not closed again.
    EXPECT_EQ(client.CloseConnection(), 0);
    CSMTPMessage message;
    EXPECT_EQ(client.SendMail(message), 0);
}

TEST(SmtpClient, NullSenderForAnAddresslessSender)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("noauth", LoopbackAddress(1), kPort)) << peer.Log();
    CSMTPMessage message;
    message.m_From = CSMTPAddress("monitor", "");
    ASSERT_EQ(message.AddRecipientList("a@example.test", CSMTPMessage::TO), 1);
    CSMTPConnection client;
    ASSERT_EQ(client.ConnectToServer(peer.Address(), "", "", kPort), 1);
    ASSERT_EQ(client.SendMail(message), 1);
    const auto mails = peer.Mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].mailFrom, "<>"); // aiosmtpd writes the null sender so
    EXPECT_EQ(mails[0].data.rfind("From: monitor <>\r\n", 0), 0u);
}

TEST(SmtpClient, GreetingOtherThan220ClosesWithQuit)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("reject554", LoopbackAddress(1), kPort)) << peer.Log();
    CSMTPConnection client;
    EXPECT_EQ(client.ConnectToServer(peer.Address(), "", "", kPort), 0);
    EXPECT_EQ(SMTPGetLastError(), 10043);
    EXPECT_EQ(client.GetLastCommandResponseCode(), 554);
    EXPECT_EQ(client.GetLastCommandResponse(), "554 5.3.2 qav-test-peer no mail service here");
    EXPECT_FALSE(client.IsConnected());
    ASSERT_TRUE(peer.WaitForEvents("raw", 1));
    const auto events = peer.Events();
    ASSERT_EQ(events.back().event, "raw");
    EXPECT_EQ(events.back().received, "QUIT\r\n");
}

TEST(SmtpClient, SilentServerTimesOutWith10060)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("silent", LoopbackAddress(1), kPort)) << peer.Log();
    CSMTPConnection client(2000);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.ConnectToServer(peer.Address(), "", "", kPort), 0);
    const double elapsed = SecondsSince(start);
    EXPECT_EQ(SMTPGetLastError(), 10060);
    EXPECT_FALSE(client.IsConnected());
    // The greeting's time-out, then QUIT's: about two time-outs in all.
    EXPECT_GE(elapsed, 2.0);
    EXPECT_LT(elapsed, 6.0);
    ASSERT_TRUE(peer.WaitForEvents("raw", 1));
    EXPECT_EQ(peer.Events().back().received, "QUIT\r\n");
}

TEST(SmtpClient, RefusedRecipientFailsWith22AndTheNextMessageStartsClean)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("refuse2", LoopbackAddress(1), kPort)) << peer.Log();
    CSMTPConnection client;
    ASSERT_EQ(client.ConnectToServer(peer.Address(), "", "", kPort), 1);

    CSMTPMessage two;
    two.m_From = CSMTPAddress("", "monitor@example.test");
    ASSERT_EQ(two.AddRecipientList("first@example.test;second@example.test", CSMTPMessage::TO), 1);
    two.SetText("never delivered");
    EXPECT_EQ(client.SendMail(two), 0);
    EXPECT_EQ(SMTPGetLastError(), 22);
    EXPECT_EQ(client.GetLastCommandResponseCode(), 550);
    EXPECT_EQ(client.GetLastCommandResponse(), "550 5.1.1 Second recipient refused");
    EXPECT_TRUE(client.IsConnected());

    CSMTPMessage one;
    one.m_From = CSMTPAddress("", "other@example.test");
    ASSERT_EQ(one.AddRecipientList("third@example.test", CSMTPMessage::TO), 1);
    one.SetText("delivered");
    ASSERT_EQ(client.SendMail(one), 1) << client.GetLastCommandResponse();
    EXPECT_EQ(client.CloseConnection(), 1);

    const auto mails = peer.Mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].mailFrom, "other@example.test");
    EXPECT_EQ(mails[0].rcptTos, std::vector<std::string>{"third@example.test"});
}

TEST(SmtpClient, MultiLineRepliesAreReadWhole)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("multiline", LoopbackAddress(1), kPort)) << peer.Log();
    CSMTPConnection client;
    ASSERT_EQ(client.ConnectToServer(peer.Address(), "", "", kPort), 1) << client.GetLastCommandResponse();
    CSMTPMessage message;
    message.m_From = CSMTPAddress("", "monitor@example.test");
    ASSERT_EQ(message.AddRecipientList("a@example.test, b@example.test", CSMTPMessage::TO), 1);
    message.SetText("text");
    ASSERT_EQ(client.SendMail(message), 1) << client.GetLastCommandResponse();
    EXPECT_EQ(client.CloseConnection(), 1);
    ASSERT_EQ(peer.Mails().size(), 1u);
}

TEST(SmtpClient, ConnectFailures)
{
    CSMTPConnection client;
    // A name that fails in the resolver itself (an empty label), without
    // asking any name server.
    EXPECT_EQ(client.ConnectToServer("qav..unresolvable", "", "", 25), 0);
    EXPECT_EQ(SMTPGetLastError(), 10022);
    EXPECT_EQ(client.ConnectToServer("", "", "", 25), 0);
    EXPECT_EQ(SMTPGetLastError(), 10022);

    // Nothing listens there.
    const std::string address = LoopbackAddress(2);
    const int port = qavtest::FreeTcpPort(address);
    ASSERT_GT(port, 0);
    EXPECT_EQ(client.ConnectToServer(address, "", "", port), 0);
    EXPECT_EQ(SMTPGetLastError(), 10061);
    EXPECT_FALSE(client.IsConnected());
}

// ------------------------------------------------ secure connections

namespace {

FixedDateMessage OneMail(const std::string& subject)
{
    FixedDateMessage message;
    message.m_From = CSMTPAddress("QAV Monitor", "monitor@example.test");
    message.m_sSubject = subject;
    EXPECT_EQ(message.AddRecipientList("alice@example.test", CSMTPMessage::TO), 1);
    message.SetText(kBody);
    return message;
}

} // namespace

// The same exchange over STARTTLS and over TLS, with the test's own
// certificate as the only authority: byte for byte what the plain client
// sends, and several messages on one connection.
TEST(SmtpClient, SecureConnectionsCarryTheSameExchange)
{
    for (const char* tls : {"starttls", "tls"}) {
        SCOPED_TRACE(tls);
        MailPeer peer;
        ASSERT_TRUE(peer.StartSecure("noauth", tls, LoopbackAddress(3), kPort)) << peer.Log();
        CSMTPConnection client;
        client.SetSecurity(std::string(tls) == "tls" ? CSMTPConnection::kTls : CSMTPConnection::kStartTls,
                           peer.CertFile());
        ASSERT_EQ(client.ConnectToServer(peer.Address(), "", "", kPort), 1)
            << SMTPGetLastError() << " " << client.GetLastCommandResponse();
        EXPECT_TRUE(client.IsConnected());
        ASSERT_EQ(client.SendMail(OneMail("first"), false), 1) << client.GetLastCommandResponse();
        ASSERT_EQ(client.SendMail(OneMail("second"), false), 1) << client.GetLastCommandResponse();
        EXPECT_EQ(client.CloseConnection(), 1);
        EXPECT_FALSE(client.IsConnected());

        ASSERT_TRUE(peer.WaitForEvents("mail", 2));
        const auto mails = peer.Mails();
        ASSERT_EQ(mails.size(), 2u);
        EXPECT_EQ(mails[0].mailFrom, "monitor@example.test");
        EXPECT_EQ(mails[0].rcptTos, std::vector<std::string>{"alice@example.test"});
        EXPECT_EQ(mails[0].data, "From: QAV Monitor <monitor@example.test>\r\n"
                                 "To: alice@example.test\r\n"
                                 "Subject: first\r\n"
                                 "Date: Tue, 02 Jan 2024 03:04:05 +0900\r\n"
                                 "X-Mailer: CSMTPConnection v1.3\r\n"
                                 "MIME-Version: 1.0\r\n"
                                 "Content-type: text/plain; charset=US-ASCII\r\n"
                                 "\r\n" +
                                     std::string(kBody) + "\r\n");
        EXPECT_NE(mails[1].data.find("Subject: second\r\n"), std::string::npos);
    }
}

// A secure connection that cannot be made is never made in clear instead:
// an untrusted certificate, a server without STARTTLS. Nothing but EHLO
// reaches the server.
TEST(SmtpClient, SecureConnectionRefusedNeverFallsBackToClear)
{
    MailPeer secure;
    ASSERT_TRUE(secure.StartSecure("noauth", "starttls", LoopbackAddress(4), kPort)) << secure.Log();
    CSMTPConnection client;
    client.SetSecurity(CSMTPConnection::kStartTls, "/etc/ssl/certs/ca-certificates.crt");
    EXPECT_EQ(client.ConnectToServer(secure.Address(), "", "", kPort), 0);
    EXPECT_EQ(SMTPGetLastError(), qavsmtp::kSmtpErrSecureConnection);
    EXPECT_FALSE(client.GetLastCommandResponse().empty()); // the reason, from the TLS layer
    EXPECT_FALSE(client.IsConnected());

    const std::string address = LoopbackAddress(5);
    MailPeer plain;
    ASSERT_TRUE(plain.Start("noauth", address, kPort)) << plain.Log();
    CSMTPConnection starttls;
    starttls.SetSecurity(CSMTPConnection::kStartTls);
    EXPECT_EQ(starttls.ConnectToServer(plain.Address(), "", "", kPort), 0);
    EXPECT_EQ(SMTPGetLastError(), qavsmtp::kSmtpErrSecureConnection);
    EXPECT_NE(starttls.GetLastCommandResponse().find("STARTTLS"), std::string::npos)
        << starttls.GetLastCommandResponse();
    EXPECT_EQ(starttls.SendMail(OneMail("never")), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(plain.Mails().empty());
    EXPECT_TRUE(secure.Mails().empty());
}

// A server that never greets holds a secure connection up for a bounded
// time only.
TEST(SmtpClient, SilentServerEndsASecureConnectionInTime)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("silent", LoopbackAddress(1), kPort)) << peer.Log();
    CSMTPConnection client(2000);
    client.SetSecurity(CSMTPConnection::kStartTls);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.ConnectToServer(peer.Address(), "", "", kPort), 0);
    EXPECT_EQ(SMTPGetLastError(), qavsmtp::kSmtpErrTimeout);
    EXPECT_LT(SecondsSince(start), 9.0);
}

// BSendMail against a real server (aiosmtpd): methods 0..3 of the
// monitor's calls, the automatic sequence, the composed message, and the
// error texts, the unreachable-server text above all.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>

#include "MailPeer.h"
#include "bsmtp/Bsmtp.h"

using qavtest::LoopbackAddress;
using qavtest::MailEvent;
using qavtest::MailPeer;

namespace {

constexpr int kPort = 2525;
const char* const kSender = "QAV Monitor <monitor@example.test>";

// The sender-and-authentication text of method index 0..3.
std::string SenderText(int index, const std::string& user = "qav", const std::string& password = "secret")
{
    const std::string sender = kSender;
    switch (index) {
    case 3: return sender + "\t" + user + ":" + password + "\tCRAM-MD5";
    case 2: return sender + "\t" + user + ":" + password + "\tPLAIN";
    case 1: return sender + "\t" + user + ":" + password;
    default: return sender;
    }
}

struct Result {
    int sent;
    std::string error;
};

Result Send(const std::string& server, const std::string& senderText, const std::string& recipients = "a@example.test",
            const std::string& subject = "Subject", const std::string& body = "Body")
{
    char error[BSMTP_ERROR_TEXT_SIZE];
    std::memset(error, 'Z', sizeof error);
    const int sent =
        BSendMail(server.c_str(), recipients.c_str(), senderText.c_str(), subject.c_str(), body.c_str(), nullptr, error);
    EXPECT_NE(std::memchr(error, '\0', sizeof error), nullptr);
    return {sent, error};
}

// Header block (unfolded) and body of a received mail.
using Parsed = qavtest::ReceivedMail;
Parsed Parse(const std::string& data)
{
    Parsed p = qavtest::ParseMail(data);
    EXPECT_TRUE(p.complete) << "no end of the header block in: " << data;
    return p;
}

std::string DecodeBase64(const std::string& text)
{
    static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        const size_t v = kAlphabet.find(c);
        if (v == std::string::npos) continue;
        bits = (bits << 6) | static_cast<unsigned>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xff);
        }
    }
    return out;
}

std::vector<std::string> Kinds(const std::vector<MailEvent>& events)
{
    std::vector<std::string> kinds;
    for (const MailEvent& e : events) {
        kinds.push_back(e.event == "auth" ? "auth " + e.mechanism + (e.success ? " ok" : " refused") : e.event);
    }
    return kinds;
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) { ::setenv(name, value, 1); }
    ~ScopedEnv() { ::unsetenv(name_); }

private:
    const char* name_;
};

} // namespace

TEST(BSendMail, ComposesEnvelopeHeadersAndBody)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("noauth", LoopbackAddress(1), kPort)) << peer.Log();
    const Result r = Send(peer.Server(), SenderText(0), "alice@example.test\tBob <bob@example.test>",
                          "Paper jam (127.0.0.5)", "Name: QL-120\nPlace: Hall 3\r\n\r\n.\n.x\nend");
    ASSERT_EQ(r.sent, 1) << r.error;
    EXPECT_EQ(r.error, "");

    const auto mails = peer.Mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].mailFrom, "monitor@example.test");
    EXPECT_EQ(mails[0].rcptTos, (std::vector<std::string>{"alice@example.test", "bob@example.test"}));
    EXPECT_EQ(mails[0].authMechanism, "");
    const Parsed p = Parse(mails[0].data);
    EXPECT_EQ(p.headers.at("From"), "QAV Monitor <monitor@example.test>");
    EXPECT_EQ(p.headers.at("To"), "alice@example.test, Bob <bob@example.test>");
    EXPECT_EQ(p.headers.at("Subject"), "Paper jam (127.0.0.5)");
    EXPECT_TRUE(std::regex_match(p.headers.at("Date"),
                                 std::regex(R"((Mon|Tue|Wed|Thu|Fri|Sat|Sun), \d\d (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d{4} \d\d:\d\d:\d\d [+-]\d{4})")))
        << p.headers.at("Date");
    EXPECT_TRUE(std::regex_match(p.headers.at("Message-ID"), std::regex(R"(<[0-9]+\.[0-9]+\.[0-9]+@[A-Za-z0-9.-]+>)")));
    EXPECT_EQ(p.headers.at("MIME-Version"), "1.0");
    EXPECT_EQ(p.headers.at("Content-Type"), "text/plain; charset=US-ASCII");
    EXPECT_EQ(p.headers.at("Content-Transfer-Encoding"), "7bit");
    // Every line end becomes CR LF; the lines "." and ".x" arrive whole.
    EXPECT_EQ(p.body, "Name: QL-120\r\nPlace: Hall 3\r\n\r\n.\r\n.x\r\nend\r\n");
}

TEST(BSendMail, NonAsciiTextAndLongLines)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("noauth", LoopbackAddress(1), kPort)) << peer.Log();
    const std::string subject = "Papierstau bei Drucker \xC3\xBC" "ber dem Eingang \xE3\x83\x97\xE3\x83\xAA\xE3\x83\xB3\xE3\x82\xBF";
    const std::string body = "Standort: K\xC3\xBC" "che\r\n";
    ASSERT_EQ(Send(peer.Server(), SenderText(0), "a@example.test", subject, body).sent, 1);
    const std::string longLine(2500, 'x');
    ASSERT_EQ(Send(peer.Server(), SenderText(0), "a@example.test", "long", "short\r\n" + longLine + "=\r\n").sent, 1);

    const auto mails = peer.Mails();
    ASSERT_EQ(mails.size(), 2u);
    Parsed p = Parse(mails[0].data);
    EXPECT_EQ(p.headers.at("Content-Type"), "text/plain; charset=UTF-8");
    EXPECT_EQ(p.headers.at("Content-Transfer-Encoding"), "8bit");
    EXPECT_EQ(p.body, body);
    // The subject travels as encoded words; decoded, it is the text given.
    std::string decoded;
    const std::regex word(R"(=\?UTF-8\?B\?([A-Za-z0-9+/=]+)\?=)");
    const std::string& header = p.headers.at("Subject");
    for (auto it = std::sregex_iterator(header.begin(), header.end(), word); it != std::sregex_iterator(); ++it)
        decoded += DecodeBase64((*it)[1].str());
    EXPECT_EQ(decoded, subject);

    // A line longer than SMTP carries goes quoted-printable.
    p = Parse(mails[1].data);
    EXPECT_EQ(p.headers.at("Content-Transfer-Encoding"), "quoted-printable");
    std::string text = p.body;
    for (size_t at; (at = text.find("=\r\n")) != std::string::npos;) text.erase(at, 3);
    for (size_t at; (at = text.find("=3D")) != std::string::npos;) text.replace(at, 3, "=");
    EXPECT_EQ(text, "short\r\n" + longLine + "=\r\n");
    size_t start = 0;
    while (start < p.body.size()) {
        const size_t end = p.body.find("\r\n", start);
        EXPECT_LE(end - start, 76u);
        start = end + 2;
    }
}

TEST(BSendMail, NullSenderForANameWithoutAddress)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("noauth", LoopbackAddress(1), kPort)) << peer.Log();
    ASSERT_EQ(Send(peer.Server(), "monitor<>").sent, 1);
    const auto mails = peer.Mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].mailFrom, "<>");
    EXPECT_EQ(Parse(mails[0].data).headers.at("From"), "monitor <>");
}

TEST(BSendMail, PlainOnlyServer)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("plain", LoopbackAddress(1), kPort)) << peer.Log();

    Result r = Send(peer.Server(), SenderText(3));
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(r.error, "Authentication failed");
    EXPECT_TRUE(peer.Mails().empty());

    r = Send(peer.Server(), SenderText(2));
    ASSERT_EQ(r.sent, 1) << r.error;
    auto mails = peer.Mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].authMechanism, "PLAIN");
    EXPECT_EQ(mails[0].authLogin, "qav");

    // Method 1 leaves the choice to what the server offers.
    r = Send(peer.Server(), SenderText(1));
    ASSERT_EQ(r.sent, 1) << r.error;
    ASSERT_EQ(peer.Mails().size(), 2u);
    EXPECT_EQ(peer.Mails()[1].authMechanism, "PLAIN");

    // This server takes no mail without a login.
    r = Send(peer.Server(), SenderText(0));
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(r.error.rfind("Send failed: ", 0), 0u) << r.error;

    r = Send(peer.Server(), SenderText(2, "qav", "wrong"));
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(r.error, "Authentication failed");
    EXPECT_EQ(peer.Mails().size(), 2u);
}

TEST(BSendMail, CramMd5OnlyServer)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("cram", LoopbackAddress(1), kPort)) << peer.Log();

    Result r = Send(peer.Server(), SenderText(2));
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(r.error, "Authentication failed");

    r = Send(peer.Server(), SenderText(3));
    ASSERT_EQ(r.sent, 1) << r.error;
    auto mails = peer.Mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].authMechanism, "CRAM-MD5");
    EXPECT_EQ(mails[0].authLogin, "qav");

    r = Send(peer.Server(), SenderText(1));
    ASSERT_EQ(r.sent, 1) << r.error;
    EXPECT_EQ(peer.Mails().back().authMechanism, "CRAM-MD5");

    // A password with a colon: everything after the first ":" counts.
    MailPeer other;
    ASSERT_TRUE(other.Start("cram", LoopbackAddress(2), kPort, "desk", "pa:ss word")) << other.Log();
    r = Send(other.Server(), SenderText(3, "desk", "pa:ss word"));
    ASSERT_EQ(r.sent, 1) << r.error;
    r = Send(other.Server(), SenderText(3, "desk", "pa:ss"));
    EXPECT_EQ(r.error, "Authentication failed");
}

TEST(BSendMail, AutomaticSequenceOnAPlainOnlyServer)
{
    // The monitor's automatic mode: for the first group the methods 3, 2,
    // 1, 0 until one succeeds; the second group gets that method alone.
    MailPeer peer;
    ASSERT_TRUE(peer.Start("plain", LoopbackAddress(1), kPort)) << peer.Log();
    int chosen = -1;
    std::vector<std::string> errors;
    for (int index = 3; index >= 0; --index) {
        const Result r = Send(peer.Server(), SenderText(index), "users@example.test", "Paper jam (127.0.0.5)");
        if (r.sent) {
            chosen = index;
            break;
        }
        errors.push_back(r.error);
    }
    ASSERT_EQ(chosen, 2);
    EXPECT_EQ(errors, std::vector<std::string>{"Authentication failed"});
    const Result admin = Send(peer.Server(), SenderText(chosen), "admin@example.test", "Paper jam (127.0.0.5)");
    ASSERT_EQ(admin.sent, 1) << admin.error;

    // The CRAM-MD5 attempt never reaches the server's AUTH (it is not
    // offered); the two PLAIN logins and the two mails do.
    EXPECT_EQ(Kinds(peer.Events()),
              (std::vector<std::string>{"connect", "connect", "auth PLAIN ok", "mail", "connect", "auth PLAIN ok", "mail"}));
    const auto mails = peer.Mails();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[0].rcptTos, std::vector<std::string>{"users@example.test"});
    EXPECT_EQ(mails[1].rcptTos, std::vector<std::string>{"admin@example.test"});
}

TEST(BSendMail, ServerWithoutAuthenticationTakesEveryMethod)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("noauth", LoopbackAddress(1), kPort)) << peer.Log();
    for (int index = 3; index >= 0; --index) {
        const Result r = Send(peer.Server(), SenderText(index));
        EXPECT_EQ(r.sent, 1) << index << ": " << r.error;
    }
    EXPECT_EQ(peer.Mails().size(), 4u);
}

TEST(BSendMail, CantConnectTextExactlyWhenTheServerCannotBeReached)
{
    const std::string address = LoopbackAddress(3);
    const int port = qavtest::FreeTcpPort(address);
    ASSERT_GT(port, 0);
    for (const std::string& server : {address + ":" + std::to_string(port), std::string("qav..unresolvable:2525"),
                                      address + ":0", address + ":x25", std::string(""), std::string("a b")}) {
        for (int index = 0; index < 4; ++index) {
            const Result r = Send(server, SenderText(index));
            EXPECT_EQ(r.sent, 0) << server;
            EXPECT_EQ(r.error, "Cant connect Server 10060") << server;
        }
    }
}

TEST(BSendMail, ReachableButUnwillingServersGiveOtherTexts)
{
    MailPeer reject;
    ASSERT_TRUE(reject.Start("reject554", LoopbackAddress(1), kPort)) << reject.Log();
    Result r = Send(reject.Server(), SenderText(0));
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(r.error.rfind("Send failed: ", 0), 0u) << r.error;

    MailPeer refuse;
    ASSERT_TRUE(refuse.Start("refuse2", LoopbackAddress(2), kPort)) << refuse.Log();
    r = Send(refuse.Server(), SenderText(0), "first@example.test\tsecond@example.test");
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(r.error.rfind("Send failed: ", 0), 0u) << r.error;
    EXPECT_NE(r.error.find("550"), std::string::npos) << r.error;
    EXPECT_TRUE(refuse.Mails().empty());

    MailPeer silent;
    ASSERT_TRUE(silent.Start("silent", LoopbackAddress(3), kPort)) << silent.Log();
    ScopedEnv timeout("QAV_BSMTP_TIMEOUT", "2");
    const auto start = std::chrono::steady_clock::now();
    r = Send(silent.Server(), SenderText(0));
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(r.error, "Server timed out");
    EXPECT_GE(elapsed, 1.5);
    EXPECT_LT(elapsed, 8.0);
}

TEST(BSendMail, InvalidArguments)
{
    MailPeer peer;
    ASSERT_TRUE(peer.Start("noauth", LoopbackAddress(1), kPort)) << peer.Log();
    const std::string server = peer.Server();
    EXPECT_EQ(Send(server, SenderText(0), "").error, "Invalid argument");
    EXPECT_EQ(Send(server, SenderText(0), "\t ;").error, "Invalid argument");
    EXPECT_EQ(Send(server, SenderText(0), "a@example.test>\r\nRSET").error, "Invalid argument");
    EXPECT_EQ(Send(server, "m@example.test\r\nRCPT TO:<x@evil.test>").error, "Invalid argument");
    EXPECT_EQ(Send(server, "m@example.test\tqav:secret\tXOAUTH2").error, "Invalid argument");
    EXPECT_EQ(Send(server, "m@example.test\t\tPLAIN").error, "Invalid argument");
    EXPECT_EQ(Send(server, "m@example.test\tqav:secret\tPLAIN\textra").error, "Invalid argument");

    char error[BSMTP_ERROR_TEXT_SIZE];
    EXPECT_EQ(BSendMail(server.c_str(), nullptr, "m@example.test", "s", "b", nullptr, error), 0);
    EXPECT_STREQ(error, "Invalid argument");
    EXPECT_EQ(BSendMail(server.c_str(), "a@example.test", nullptr, "s", "b", nullptr, error), 0);
    EXPECT_EQ(BSendMail(nullptr, "a@example.test", "m@example.test", "s", "b", nullptr, error), 0);
    EXPECT_STREQ(error, "Cant connect Server 10060");
    // Without an error buffer, and with null subject and body.
    EXPECT_EQ(BSendMail(server.c_str(), "a@example.test", "m@example.test", nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_TRUE(peer.Mails().size() == 1u);
}

TEST(BSendMail, ErrorTextStaysInsideTheDocumentedSize)
{
    MailPeer refuse;
    ASSERT_TRUE(refuse.Start("refuse2", LoopbackAddress(1), kPort)) << refuse.Log();
    // A buffer of exactly the documented size, with guard bytes behind it.
    char buffer[BSMTP_ERROR_TEXT_SIZE + 64];
    std::memset(buffer, 'G', sizeof buffer);
    const std::string recipients = "first@example.test\t" + std::string(400, 's') + "@example.test";
    EXPECT_EQ(BSendMail(refuse.Server().c_str(), recipients.c_str(), "m@example.test", "s", "b", nullptr, buffer), 0);
    EXPECT_LT(std::strlen(buffer), static_cast<size_t>(BSMTP_ERROR_TEXT_SIZE));
    for (size_t i = BSMTP_ERROR_TEXT_SIZE; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 'G') << i;
}

// Relays that take credentials only over TLS: STARTTLS on the submission
// port and TLS from the first byte, each with a certificate of the test's
// own that the client is told to trust.
Result SendSecure(const MailPeer& peer, int security, const std::string& caFile, const std::string& senderText)
{
    BSMTPOptions options{static_cast<int>(sizeof(BSMTPOptions)), security, caFile.c_str()};
    char error[BSMTP_ERROR_TEXT_SIZE] = {};
    const int sent = BSendMail(peer.Server().c_str(), "a@example.test", senderText.c_str(), "Secure", "Body",
                               &options, error);
    return {sent, error};
}

TEST(BSendMail, StartTlsBeforeCredentials)
{
    MailPeer peer;
    ASSERT_TRUE(peer.StartSecure("plain", "starttls", LoopbackAddress(30), kPort)) << peer.Log();
    // Plain SMTP: the server wants STARTTLS first and refuses the login.
    Result r = Send(peer.Server(), SenderText(2));
    EXPECT_EQ(r.sent, 0);
    EXPECT_TRUE(peer.Mails().empty());

    r = SendSecure(peer, BSMTP_SECURITY_STARTTLS, peer.CertFile(), SenderText(2));
    EXPECT_EQ(r.sent, 1) << r.error;
    EXPECT_EQ(r.error, "");
    ASSERT_TRUE(peer.WaitForEvents("mail", 1));
    const auto mails = peer.Mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].authMechanism, "PLAIN");
    EXPECT_EQ(mails[0].authLogin, "qav");
}

TEST(BSendMail, ImplicitTls)
{
    MailPeer peer;
    ASSERT_TRUE(peer.StartSecure("accept", "tls", LoopbackAddress(31), kPort)) << peer.Log();
    const Result r = SendSecure(peer, BSMTP_SECURITY_TLS, peer.CertFile(), SenderText(1));
    EXPECT_EQ(r.sent, 1) << r.error;
    ASSERT_TRUE(peer.WaitForEvents("mail", 1));
}

TEST(BSendMail, UntrustedCertificateOrNoStartTlsIsATlsFailure)
{
    MailPeer secure;
    ASSERT_TRUE(secure.StartSecure("accept", "tls", LoopbackAddress(32), kPort)) << secure.Log();
    // No authority given: the system's do not know the test's certificate.
    Result r = SendSecure(secure, BSMTP_SECURITY_TLS, "", SenderText(0));
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(r.error.rfind("TLS failed: ", 0), 0u) << r.error;

    MailPeer plain;
    ASSERT_TRUE(plain.Start("noauth", LoopbackAddress(33), kPort)) << plain.Log();
    r = SendSecure(plain, BSMTP_SECURITY_STARTTLS, "", SenderText(0));
    EXPECT_EQ(r.sent, 0);
    EXPECT_EQ(r.error.rfind("TLS failed: ", 0), 0u) << r.error;
    EXPECT_TRUE(plain.Mails().empty()); // nothing went out in clear
}

TEST(BSendMail, OptionsOfAnUnknownSecurityAreRefused)
{
    BSMTPOptions options{static_cast<int>(sizeof(BSMTPOptions)), 7, nullptr};
    char error[BSMTP_ERROR_TEXT_SIZE] = {};
    EXPECT_EQ(BSendMail("127.0.0.1:1", "a@example.test", kSender, "s", "b", &options, error), 0);
    EXPECT_STREQ(error, "Invalid argument");
}

TEST(BSendMail, ExportsBSendMailOnly)
{
    const std::string symbols =
        qavtest::RunCommand("nm -D --defined-only " QAV_BINARY_DIR "/lib/libbsmtp.so | awk '{print $3}'");
    EXPECT_EQ(symbols, "BSendMail\n");
}

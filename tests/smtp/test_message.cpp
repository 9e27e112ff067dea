// The message of the own SMTP client: recipient lists, dot-stuffing, the
// header block and its date.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "qavsmtp/CSMTPMessage.h"
#include "qavsmtp/MailDate.h"
#include "qavsmtp/SMTPError.h"

using qavsmtp::SMTPGetLastError;
using qavsmtp::SMTPSetLastError;

namespace {

// A message whose header carries a fixed date, so that headers compare whole.
class FixedDateMessage : public CSMTPMessage {
protected:
    std::string HeaderDate() const override { return "Mon, 01 Jul 2024 17:30:00 +0530"; }
};

std::vector<CSMTPAddress> Recipients(const CSMTPMessage& m, int kind)
{
    std::vector<CSMTPAddress> out;
    for (int i = 0; i < m.GetNumberOfRecipients(kind); ++i) {
        CSMTPAddress a;
        EXPECT_EQ(m.GetRecipient(a, i, kind), 1);
        out.push_back(a);
    }
    return out;
}

class ScopedTz {
public:
    explicit ScopedTz(const char* tz)
    {
        const char* old = std::getenv("TZ");
        had_ = old != nullptr;
        if (had_) old_ = old;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~ScopedTz()
    {
        if (had_) ::setenv("TZ", old_.c_str(), 1);
        else ::unsetenv("TZ");
        ::tzset();
    }

private:
    bool had_ = false;
    std::string old_;
};

} // namespace

TEST(RecipientList, NameWithAddressAndBareAddress)
{
    CSMTPMessage m;
    ASSERT_EQ(m.AddRecipientList("Alice Admin <alice@example.test>;bob@example.test", CSMTPMessage::TO), 1);
    const auto to = Recipients(m, CSMTPMessage::TO);
    ASSERT_EQ(to.size(), 2u);
    EXPECT_EQ(to[0], CSMTPAddress("Alice Admin", "alice@example.test"));
    EXPECT_EQ(to[1], CSMTPAddress("", "bob@example.test"));
    EXPECT_EQ(m.GetNumberOfRecipients(CSMTPMessage::CC), 0);
    CSMTPAddress none;
    EXPECT_EQ(m.GetRecipient(none, 2, CSMTPMessage::TO), 0);
    EXPECT_EQ(m.GetRecipient(none, -1, CSMTPMessage::TO), 0);
}

TEST(RecipientList, SeparatorsSpacesEmptyEntriesAndMissingBracket)
{
    CSMTPMessage m;
    ASSERT_EQ(m.AddRecipientList("  a@x.test , ;; Carol <  carol@x.test  > ;  ; Dan <dan@x.test", CSMTPMessage::CC),
              1);
    const auto cc = Recipients(m, CSMTPMessage::CC);
    ASSERT_EQ(cc.size(), 3u);
    EXPECT_EQ(cc[0], CSMTPAddress("", "a@x.test"));
    EXPECT_EQ(cc[1], CSMTPAddress("Carol", "carol@x.test"));
    // Without ">" the address runs to the end of the entry.
    EXPECT_EQ(cc[2], CSMTPAddress("Dan", "dan@x.test"));
    // An entry with a name but an empty address is skipped.
    ASSERT_EQ(m.AddRecipientList("Nobody <>", CSMTPMessage::BCC), 1);
    EXPECT_EQ(m.GetNumberOfRecipients(CSMTPMessage::BCC), 0);
    // Lists add up.
    ASSERT_EQ(m.AddRecipientList("e@x.test", CSMTPMessage::CC), 1);
    EXPECT_EQ(m.GetNumberOfRecipients(CSMTPMessage::CC), 4);
}

TEST(RecipientList, MalformedEntryFailsWithError13AndAddsNothing)
{
    CSMTPMessage m;
    SMTPSetLastError(0);
    EXPECT_EQ(m.AddRecipientList("good@x.test; bad> name <bad@x.test>", CSMTPMessage::TO), 0);
    EXPECT_EQ(SMTPGetLastError(), 13);
    EXPECT_EQ(m.GetNumberOfRecipients(CSMTPMessage::TO), 0);

    // An address that would break out of "RCPT TO:<...>".
    SMTPSetLastError(0);
    EXPECT_EQ(m.AddRecipientList("x@y.test>\r\nRSET", CSMTPMessage::TO), 0);
    EXPECT_EQ(SMTPGetLastError(), 13);
    EXPECT_EQ(m.AddRecipientList("a@b.test", 3), 0);
    EXPECT_EQ(m.AddRecipient(CSMTPAddress("n", ""), CSMTPMessage::TO), 0);
    EXPECT_EQ(m.GetNumberOfRecipients(CSMTPMessage::TO), 0);
}

TEST(DotStuffing, EveryLineStartingWithAPeriodGetsASecond)
{
    CSMTPMessage m;
    m.SetText("first\r\n.\r\n.x\r\n..y\r\nmid.dle\r\n");
    EXPECT_EQ(m.GetText(), "first\r\n..\r\n..x\r\n...y\r\nmid.dle\r\n");
    m.SetText("a\n.b");
    EXPECT_EQ(m.GetText(), "a\n..b");
    // The first line too: it follows the header's empty line.
    m.SetText(".\r\nrest");
    EXPECT_EQ(m.GetText(), "..\r\nrest");
    m.SetText("");
    EXPECT_EQ(m.GetText(), "");
    m.SetText("no periods at line starts.\r\n");
    EXPECT_EQ(m.GetText(), "no periods at line starts.\r\n");
}

TEST(Header, WithoutCcWithBccAndPlainCharset)
{
    FixedDateMessage m;
    m.m_From = CSMTPAddress("QAV Monitor", "monitor@example.test");
    m.m_sSubject = "Paper jam (127.0.0.5)";
    ASSERT_EQ(m.AddRecipientList("Alice <alice@example.test>;bob@example.test", CSMTPMessage::TO), 1);
    ASSERT_EQ(m.AddRecipientList("hidden@example.test", CSMTPMessage::BCC), 1);
    EXPECT_EQ(m.BuildHeader(false), "From: QAV Monitor <monitor@example.test>\r\n"
                                    "To: Alice <alice@example.test>,bob@example.test\r\n"
                                    "Subject: Paper jam (127.0.0.5)\r\n"
                                    "Date: Mon, 01 Jul 2024 17:30:00 +0530\r\n"
                                    "X-Mailer: CSMTPConnection v1.3\r\n"
                                    "MIME-Version: 1.0\r\n"
                                    "Content-type: text/plain; charset=US-ASCII\r\n"
                                    "\r\n");
}

TEST(Header, CcReplyToAndJapanese)
{
    FixedDateMessage m;
    m.m_From = CSMTPAddress("", "monitor@example.test");
    m.m_sSubject = "S";
    m.m_ReplyTo = CSMTPAddress("Desk", "desk@example.test");
    ASSERT_EQ(m.AddRecipientList("a@example.test", CSMTPMessage::TO), 1);
    ASSERT_EQ(m.AddRecipientList("Carol <c@example.test>, d@example.test", CSMTPMessage::CC), 1);
    EXPECT_EQ(m.BuildHeader(true), "From: monitor@example.test\r\n"
                                   "To: a@example.test\r\n"
                                   "Cc: Carol <c@example.test>,d@example.test\r\n"
                                   "Subject: S\r\n"
                                   "Date: Mon, 01 Jul 2024 17:30:00 +0530\r\n"
                                   "X-Mailer: CSMTPConnection v1.3\r\n"
                                   "Reply-To: Desk <desk@example.test>\r\n"
                                   "MIME-Version: 1.0\r\n"
                                   "Content-type: text/plain; charset=\"ISO-2022-JP\"\r\n"
                                   "Content-transfer-Encoding: 7bit\r\n"
                                   "\r\n");
}

TEST(Header, LineBreaksInValuesCannotAddHeaderLines)
{
    FixedDateMessage m;
    m.m_From = CSMTPAddress("Mon\r\nBcc: x@evil.test", "m@example.test");
    m.m_sSubject = "one\r\ntwo";
    const std::string header = m.BuildHeader(false);
    EXPECT_NE(header.find("Subject: one  two\r\n"), std::string::npos);
    EXPECT_EQ(header.find("\r\nBcc:"), std::string::npos);
}

TEST(MailDate, OffsetSignHoursAndMinutes)
{
    // Offsets east of UTC (the negated Windows time-zone bias).
    EXPECT_EQ(qavsmtp::FormatUtcOffset(330), "+0530");  // bias -330
    EXPECT_EQ(qavsmtp::FormatUtcOffset(-300), "-0500"); // bias 300
    EXPECT_EQ(qavsmtp::FormatUtcOffset(540), "+0900");
    EXPECT_EQ(qavsmtp::FormatUtcOffset(0), "+0000");
    EXPECT_EQ(qavsmtp::FormatUtcOffset(-210), "-0330");
    EXPECT_EQ(qavsmtp::FormatUtcOffset(-30), "-0030");
    EXPECT_EQ(qavsmtp::FormatUtcOffset(765), "+1245");
}

TEST(MailDate, LocalTimeZoneWithDaylightTime)
{
    const std::time_t july = 1719835200;   // 2024-07-01 12:00:00 UTC
    const std::time_t january = 1705320000; // 2024-01-15 12:00:00 UTC
    {
        ScopedTz tz("IST-5:30");
        EXPECT_EQ(qavsmtp::FormatMailDate(july), "Mon, 01 Jul 2024 17:30:00 +0530");
    }
    {
        ScopedTz tz("EST5EDT,M3.2.0,M11.1.0");
        EXPECT_EQ(qavsmtp::FormatMailDate(july), "Mon, 01 Jul 2024 08:00:00 -0400");
        EXPECT_EQ(qavsmtp::FormatMailDate(january), "Mon, 15 Jan 2024 07:00:00 -0500");
    }
    {
        ScopedTz tz("NST3:30");
        EXPECT_EQ(qavsmtp::FormatMailDate(january), "Mon, 15 Jan 2024 08:30:00 -0330");
    }
    {
        ScopedTz tz("UTC0");
        EXPECT_EQ(qavsmtp::FormatMailDate(january), "Mon, 15 Jan 2024 12:00:00 +0000");
    }
}

TEST(MailDate, HeaderUsesTheCurrentLocalTime)
{
    ScopedTz tz("JST-9");
    CSMTPMessage m;
    const std::time_t before = std::time(nullptr);
    const std::string header = m.BuildHeader(false);
    const std::time_t after = std::time(nullptr);
    const size_t at = header.find("Date: ");
    ASSERT_NE(at, std::string::npos);
    const std::string date = header.substr(at + 6, header.find("\r\n", at) - at - 6);
    EXPECT_TRUE(date == qavsmtp::FormatMailDate(before) || date == qavsmtp::FormatMailDate(after)) << date;
    EXPECT_EQ(date.substr(date.size() - 5), "+0900");
}

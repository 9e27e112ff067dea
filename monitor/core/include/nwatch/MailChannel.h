// The mail channel: the notification mail of a trap to the user group and
// to the administrator group. Mail goes through the mail library
// (BSendMail, libbsmtp) and, when that path delivers nothing, through the
// monitor's own SMTP client. Plain logic without the window layer; one call
// does the whole exchange and blocks for its duration, so the monitor runs
// it on a worker thread (MailWorker.h).
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "Notification.h"
#include "StatusReaders.h"
#include "TrapTable.h"
#include "qavsettings/SettingsFiles.h"

namespace qavres {
class StringTable;
}

namespace nwatch {

// What the mail channel reads for every trap.
struct MailSettings {
    std::string sourceName;   // Mail/SourceName (own client only)
    std::string sourceServer; // Mail/SourceServer
    std::string sourceAdd;    // Mail/SourceAdd
    std::string sourceUser;   // Mail/SourceUser
    std::string sourcePasswd; // Mail/SourcePasswd, in clear
    int sourceAuth = qavsettings::kAuthAutomatic;
    qavsettings::RecipientConfig user;
    qavsettings::RecipientConfig administrator;
    bool japanese = false; // QAVMgmtConfig.INI Resource/Language is "JPN"
    int port = 25;         // the mail server's port
    // The connection's security (qavsettings::MailSecurity) and the
    // certificate authorities the server's certificate must come from
    // (empty: the system's). With STARTTLS or TLS the probe, the mail
    // library and the own client all go over a checked secure connection.
    int security = qavsettings::kMailSecurityNone;
    std::string caFile;
    // Not empty: the settings cannot be used safely (an unknown security, a
    // port that is no port). No mail is sent at all, and this says why.
    std::string problem;
};

// The SMTP port: $QAV_SMTP_PORT when set (tests, servers on other ports),
// else `configured`.
int MailPort(int configured = 25);
// The mail settings from QAVSurveyConfig.INI and QAVMgmtConfig.INI in the
// data folder. The port is SourcePort, or the standard port of the
// security (25, or 465 for TLS) when it is empty, and MailPort() has the
// last word.
MailSettings ReadMailSettings();

enum class MailPath { kLibrary, kOwnClient };
enum MailGroup { kUserGroup = 0, kAdministratorGroup = 1 };

// ------------------------------------------------------------ composition

// The subject text of the trap's mail kind; for the printer-error kind of
// unknown enterprise traps "(n)" with the trap's specific number follows
// directly; then " (a.b.c.d)" with the printer's address.
std::string MailSubject(const NotificationRecord& record, const qavres::StringTable& language);
// The four detail lines "label: value\n" (printer name, location, serial
// number, administrator), each label padded with spaces to 16 bytes.
std::string MailDetails(const NotificationRecord& record, const qavres::StringTable& language);
// The whole text of a message file, empty when it cannot be read.
std::string ReadMessageFile(const std::string& path);
// The body for a group: the details when ErrorDetail is set, then the
// message file's text when Message is set. The library path separates the
// two with "\r\n\r\n" (only after details), the own client with "\n\n".
std::string MailBody(const NotificationRecord& record, const qavsettings::RecipientConfig& group,
                     const qavres::StringTable& language, MailPath path);
// Whether the group gets mail of this kind: Sendmail set, the kind allows
// mail and the group's key for the kind is not 0.
bool GroupDue(const qavsettings::RecipientConfig& group, const MailKindRow& row);

// The mail library's sender-and-authentication text of a method index:
// 3 sender TAB user:password TAB "CRAM-MD5", 2 the same with "PLAIN",
// 1 sender TAB user:password, 0 the sender alone. The sender is SourceAdd,
// followed by "<>" when it holds no "@" (the null sender).
std::string LibrarySenderText(const MailSettings& settings, int methodIndex);

// ---------------------------------------------------------------- sending

// BSendMail's signature.
using SendMailFunction = int (*)(const char* server, const char* recipients, const char* senderAndAuth,
                                 const char* subject, const char* body, const void* reserved, char* errorText);

struct MailAttempt {
    MailGroup group;
    int method; // 0..3
    bool sent;
    std::string error; // the library's error text
};

// What one trap's mail came to.
struct MailReport {
    bool probeFailed = false; // the server did not greet: nothing sent, no fallback
    bool unreachable = false; // "Cant connect Server 10060": the attempts ended
    std::vector<MailAttempt> attempts; // through the library, in order
    bool fallback = false;    // the own client was used
    bool ownConnected = false;
    std::vector<MailGroup> ownSent; // groups the own client delivered
    bool ownFailed = false;   // the own client's send of a group failed
    bool cancelled = false;   // the monitor stopped while the mail was under way
    std::string refused;      // the mail settings could not be used (MailSettings::problem)
    // One line for the trace.
    std::string Summary() const;
};

class NotificationMailer {
public:
    // `send` null: the mail library's BSendMail.
    explicit NotificationMailer(const qavres::StringTable& language, SendMailFunction send = nullptr);

    // Ends the exchange before the next attempt once *stop is set.
    void SetStopFlag(const std::atomic<bool>* stop) { stop_ = stop; }

    // The whole channel: the mail library (after a probe of the server)
    // unless SourceAuth is 0, then the own client when the library path asks
    // for it. Settings with a problem send nothing.
    MailReport Send(const NotificationRecord& record, const MailSettings& settings);

    // The library path; returns whether the own client must be tried.
    bool SendThroughLibrary(const NotificationRecord& record, const MailSettings& settings, MailReport& report);
    // The own client for both groups on one connection.
    void SendWithOwnClient(const NotificationRecord& record, const MailSettings& settings, MailReport& report);

private:
    bool Stopped(MailReport& report) const;

    const qavres::StringTable& language_;
    SendMailFunction send_;
    const std::atomic<bool>* stop_ = nullptr;
};

// The mail step of a trap, as the monitor runs it off the window thread:
// the printer's status is read once more with the full status reader and,
// when that succeeds, stored in the device list; then the mail settings are
// read and the mail is sent.
MailReport RunMailChannel(const NotificationRecord& record, const ReadContext& context,
                          const std::atomic<bool>* stop = nullptr);

} // namespace nwatch

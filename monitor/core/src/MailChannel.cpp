#include "nwatch/MailChannel.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "bsmtp/Bsmtp.h"
#include "bsmtp/SenderText.h"
#include "nlist/Nlist.h"
#include "qavplatform/Address.h"
#include "qavres/Resources.h"
#include "qavsmtp/CSMTPConnection.h"

namespace nwatch {

static_assert(qavsettings::kMailSecurityNone == BSMTP_SECURITY_NONE &&
                  qavsettings::kMailSecurityStartTls == BSMTP_SECURITY_STARTTLS &&
                  qavsettings::kMailSecurityTls == BSMTP_SECURITY_TLS,
              "the stored security is the mail library's number");
static_assert(int{qavsettings::kMailSecurityStartTls} == int{CSMTPConnection::kStartTls} &&
                  int{qavsettings::kMailSecurityTls} == int{CSMTPConnection::kTls},
              "the stored security is the own client's number");

namespace {

constexpr int kSubjectWithNumberRow = 29; // the printer-error kind of unknown enterprise traps
constexpr int kLabelWidth = 16;

const char* GroupName(MailGroup g) { return g == kUserGroup ? "user" : "administrator"; }

const qavsettings::RecipientConfig& Group(const MailSettings& s, MailGroup g)
{
    return g == kUserGroup ? s.user : s.administrator;
}

int RowIndex(const MailKindRow& row)
{
    for (int i = 0; i < kMailKindRowCount; ++i) {
        if (&MailKindRowAt(i) == &row) return i;
    }
    return -1;
}

std::string Padded(std::string label)
{
    if (label.size() < kLabelWidth) label.append(kLabelWidth - label.size(), ' ');
    return label;
}

// How the library path authenticates.
struct AuthChoice {
    bool library = true;   // false: the own client alone
    bool automatic = false;
    int method = 0;        // the fixed method index
};

AuthChoice ChooseAuth(const MailSettings& s)
{
    AuthChoice c;
    const bool haveUser = !s.sourceUser.empty();
    switch (s.sourceAuth) {
    case 0: c.library = false; break;
    case 1: c.method = 0; break;
    case 2:
    case 3:
    case 4: c.method = haveUser ? s.sourceAuth - 1 : 0; break;
    default:
        // Empty, and any value the settings dialog never writes: the
        // automatic choice.
        c.automatic = haveUser;
        c.method = 0;
        break;
    }
    return c;
}

// The own client as the settings want it: plain, or secure through libcurl.
bool ConnectOwnClient(CSMTPConnection& connection, const MailSettings& s)
{
    connection.SetSecurity(s.security, s.caFile);
    return connection.ConnectToServer(s.sourceServer, {}, {}, s.port) == 1;
}

} // namespace

int MailPort(int configured)
{
    const char* env = std::getenv("QAV_SMTP_PORT");
    const int port = env ? std::atoi(env) : 0;
    return port > 0 && port < 65536 ? port : configured;
}

MailSettings ReadMailSettings()
{
    const qavsettings::SurveyConfig survey = qavsettings::ReadSurveyConfig(qavsettings::Reader::kMonitor);
    const qavsettings::MgmtConfig mgmt = qavsettings::ReadMgmtConfig(qavsettings::Reader::kMonitor);
    MailSettings s;
    s.sourceName = survey.sourceName;
    s.sourceServer = survey.sourceServer;
    s.sourceAdd = survey.sourceAdd;
    s.sourceUser = survey.sourceUser;
    s.sourcePasswd = survey.sourcePasswd;
    s.sourceAuth = survey.sourceAuth;
    s.user = survey.user;
    s.administrator = survey.administrator;
    s.japanese = mgmt.language == "JPN";
    s.security = qavsettings::MailSecurityFromText(survey.sourceSecurity);
    s.caFile = survey.sourceCaFile;
    const int port = qavsettings::MailPortFromText(survey.sourcePort);
    if (s.security == qavsettings::kMailSecurityInvalid) {
        s.problem = "SourceSecurity \"" + survey.sourceSecurity + "\" of " + qavsettings::kSurveyConfigFile +
                    " is none of none, STARTTLS, TLS";
    } else if (port < 0) {
        s.problem = "SourcePort \"" + survey.sourcePort + "\" of " + qavsettings::kSurveyConfigFile +
                    " is no port number";
    }
    s.port = MailPort(port > 0 ? port : qavsettings::StandardMailPort(s.security));
    return s;
}

std::string MailSubject(const NotificationRecord& r, const qavres::StringTable& language)
{
    const MailKindRow& row = FindMailKindRow(r.generic, r.specific);
    std::string subject = row.subjectId >= 0 ? language.Get(row.subjectId) : std::string();
    if (RowIndex(row) == kSubjectWithNumberRow) subject += "(" + std::to_string(r.specific) + ")";
    return subject + " (" + qavplatform::AddressText(r.address) + ")";
}

std::string MailDetails(const NotificationRecord& r, const qavres::StringTable& language)
{
    const std::pair<int, const std::string*> lines[] = {
        {1150, &r.name}, {1151, &r.location}, {1152, &r.serial}, {1153, &r.manager}};
    std::string out;
    for (const auto& [label, value] : lines) out += Padded(language.Get(label)) + ": " + *value + "\n";
    return out;
}

std::string ReadMessageFile(const std::string& path)
{
    if (path.empty()) return {};
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The text goes on as a zero-terminated string: a zero byte ends it.
    const size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    return text;
}

std::string MailBody(const NotificationRecord& r, const qavsettings::RecipientConfig& group,
                     const qavres::StringTable& language, MailPath path)
{
    const std::string details = group.errorDetail ? MailDetails(r, language) : std::string();
    const std::string message = group.message ? ReadMessageFile(group.attachment) : std::string();
    if (path == MailPath::kLibrary) return details + (group.errorDetail ? "\r\n\r\n" : "") + message;
    return details + "\n\n" + message;
}

bool GroupDue(const qavsettings::RecipientConfig& group, const MailKindRow& row)
{
    if (!group.sendmail || !row.allowed || !row.key) return false;
    for (int i = 0; i < qavsettings::kConditionCount; ++i) {
        if (std::string(qavsettings::kConditionKeys[i]) == row.key) return group.conditions[i] != 0;
    }
    return false;
}

std::string LibrarySenderText(const MailSettings& s, int method)
{
    return bsmtp::SenderAndAuthText(s.sourceAdd, s.sourceUser, s.sourcePasswd, static_cast<bsmtp::SenderAuth>(method));
}

std::string MailReport::Summary() const
{
    std::string out;
    auto add = [&out](const std::string& part) { out += (out.empty() ? "" : ", ") + part; };
    if (probeFailed) add("mail server not reached (probe)");
    for (const MailAttempt& a : attempts) {
        add(std::string("library ") + GroupName(a.group) + " method " + std::to_string(a.method) +
            (a.sent ? " sent" : " failed (" + a.error + ")"));
    }
    if (unreachable) add("mail server unreachable");
    if (fallback) {
        if (!ownConnected) add("own client not connected");
        for (MailGroup g : ownSent) add(std::string("own client ") + GroupName(g) + " sent");
        if (ownFailed) add("own client send failed");
    }
    if (cancelled) add("stopped");
    if (!refused.empty()) add("nothing sent: " + refused);
    return out.empty() ? "no mail due" : out;
}

NotificationMailer::NotificationMailer(const qavres::StringTable& language, SendMailFunction send)
    : language_(language), send_(send ? send : &BSendMail)
{
}

bool NotificationMailer::Stopped(MailReport& report) const
{
    if (stop_ && stop_->load()) report.cancelled = true;
    return report.cancelled;
}

MailReport NotificationMailer::Send(const NotificationRecord& r, const MailSettings& s)
{
    MailReport report;
    if (!s.problem.empty()) {
        report.refused = s.problem;
        return report;
    }
    const bool fallback = ChooseAuth(s).library ? SendThroughLibrary(r, s, report) : true;
    if (fallback && !Stopped(report)) SendWithOwnClient(r, s, report);
    return report;
}

bool NotificationMailer::SendThroughLibrary(const NotificationRecord& r, const MailSettings& s, MailReport& report)
{
    const AuthChoice auth = ChooseAuth(s);
    {
        // The server must greet the own client before the library is asked.
        CSMTPConnection probe;
        if (!ConnectOwnClient(probe, s)) {
            report.probeFailed = true;
            return false;
        }
        probe.CloseConnection();
    }
    const MailKindRow& row = FindMailKindRow(r.generic, r.specific);
    const std::string server = bsmtp::ServerText(s.sourceServer, s.port);
    const BSMTPOptions options = bsmtp::SecurityOptions(s.security, s.caFile);
    const std::string subject = MailSubject(r, language_);
    bool anySent = false;
    bool firstDone = false;
    int chosen = -1; // automatic mode: the method that worked for the first group

    // One attempt; false when the server cannot be reached (the mail
    // handling of this trap ends there).
    auto attempt = [&](MailGroup g, const std::string& recipients, const std::string& body, int method) {
        char error[BSMTP_ERROR_TEXT_SIZE] = {};
        const int sent = send_(server.c_str(), recipients.c_str(), LibrarySenderText(s, method).c_str(),
                               subject.c_str(), body.c_str(), &options, error);
        error[sizeof error - 1] = '\0';
        report.attempts.push_back({g, method, sent != 0, error});
        if (sent) anySent = true;
        if (std::string(error) == BSMTP_CANT_CONNECT_TEXT) {
            report.unreachable = true;
            return false;
        }
        return true;
    };

    for (MailGroup g : {kUserGroup, kAdministratorGroup}) {
        const qavsettings::RecipientConfig& group = Group(s, g);
        if (!GroupDue(group, row)) continue;
        std::string recipients = group.address;
        for (char& c : recipients) {
            if (c == ';') c = '\t';
        }
        const std::string body = MailBody(r, group, language_, MailPath::kLibrary);
        if (auth.automatic) {
            if (!firstDone) {
                firstDone = true;
                for (int method = 3; method >= 0; --method) {
                    if (Stopped(report)) return false;
                    if (!attempt(g, recipients, body, method)) return false;
                    if (report.attempts.back().sent) {
                        chosen = method;
                        break;
                    }
                }
                if (chosen < 0) break; // no method worked: the second group gets no attempt
            } else {
                if (Stopped(report)) return false;
                if (!attempt(g, recipients, body, chosen)) return false;
            }
        } else {
            if (Stopped(report)) return false;
            if (!attempt(g, recipients, body, auth.method)) return false;
            if (!report.attempts.back().sent && g == kUserGroup) return true;
        }
    }
    return !anySent;
}

void NotificationMailer::SendWithOwnClient(const NotificationRecord& r, const MailSettings& s, MailReport& report)
{
    report.fallback = true;
    CSMTPConnection connection;
    if (!ConnectOwnClient(connection, s)) return;
    report.ownConnected = true;
    CSMTPAddress sender(s.sourceName, s.sourceAdd);
    if (s.sourceAdd.find('@') == std::string::npos) sender = CSMTPAddress(s.sourceAdd, "");
    const MailKindRow& row = FindMailKindRow(r.generic, r.specific);
    const std::string subject = MailSubject(r, language_);
    for (MailGroup g : {kUserGroup, kAdministratorGroup}) {
        const qavsettings::RecipientConfig& group = Group(s, g);
        if (!GroupDue(group, row)) continue;
        if (Stopped(report)) break;
        CSMTPMessage message;
        message.m_From = sender;
        message.m_sSubject = subject;
        message.m_sXMailer = CSMTPMessage::kDefaultMailer;
        message.SetText(MailBody(r, group, language_, MailPath::kOwnClient));
        // A list without a usable address cannot be sent: the same end as a
        // refused mail, without a transaction that has no recipient.
        const bool listOk = message.AddRecipientList(group.address, CSMTPMessage::TO) == 1 &&
                            message.GetNumberOfRecipients(CSMTPMessage::TO) > 0;
        if (!listOk || !connection.SendMail(message, s.japanese)) {
            report.ownFailed = true;
            break;
        }
        report.ownSent.push_back(g);
    }
    connection.CloseConnection();
}

MailReport RunMailChannel(const NotificationRecord& record, const ReadContext& context,
                          const std::atomic<bool>* stop)
{
    // The printer's status as it is now goes into the device list.
    const int index = FindListDatabyIPAddress(record.address);
    if (index >= 0) {
        ListData stored;
        GetItemFromListData(&stored, index);
        ListData fresh = stored;
        if (stored.ipAddress == record.address && ReadFullStatus(record.address, fresh, context, nullptr, &stored) == 1) {
            const int now = FindListDatabyIPAddress(record.address);
            if (now >= 0) SetListData(now, fresh);
        }
    }
    static const qavres::StringTable kNoTexts;
    NotificationMailer mailer(context.language ? *context.language : kNoTexts);
    mailer.SetStopFlag(stop);
    return mailer.Send(record, ReadMailSettings());
}

} // namespace nwatch

#include "SetupLogic.h"

#include <arpa/inet.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bsmtp/SenderText.h"
#include "qavplatform/Address.h"
#include "qavplatform/Text.h"
#include "qavsettings/DataFolder.h"
#include "qavsettings/Profile.h"

namespace nsetup {

using qavsettings::SettingsGroup;

// ------------------------------------------------------------ what changed

bool ChangeTracker::Changed(const SettingsGroup& now) const
{
    if (now.size() != shown_.size()) return true;
    for (size_t i = 0; i < now.size(); ++i) {
        const auto& a = now[i];
        const auto& b = shown_[i];
        if (a.section != b.section || a.key != b.key || a.value != b.value) return true;
    }
    return false;
}

void ChangeTracker::Accept(const std::string& section, const std::string& key, const std::string& value)
{
    for (auto& e : shown_) {
        if (e.section == section && e.key == key) e.value = value;
    }
}

SettingsGroup ChangeTracker::ToWrite(const SettingsGroup& now, const std::string& path)
{
    qavsettings::ProfileDocument doc;
    if (!doc.Load(path)) return now;
    SettingsGroup out;
    for (const auto& e : now) {
        if (!doc.Has(e.section, e.key) || doc.GetString(e.section, e.key) != e.value) out.push_back(e);
    }
    return out;
}

// ------------------------------------------------------------ management

namespace {

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    return qavsettings::FoldCase(a) == qavsettings::FoldCase(b);
}

// Fields are trimmed of blanks and tabs only.
std::string_view Trim(std::string_view s) { return qavplatform::TrimView(s, " \t"); }

} // namespace

int CheckPasswordChange(std::string_view oldEntry, std::string_view storedClear, std::string_view newEntry,
                        std::string_view confirmation)
{
    if (!EqualIgnoringCase(qavsettings::Rot13(oldEntry), qavsettings::Rot13(storedClear))) return 4014;
    if (!EqualIgnoringCase(newEntry, confirmation)) return 4015;
    return 0;
}

int EmptyCommunityField(std::string_view readName, std::string_view writeName)
{
    if (readName.empty()) return 1;
    if (writeName.empty()) return 2;
    return 0;
}

// ------------------------------------------------------------ search

std::optional<qavsettings::SearchRange> RangeToAdd(std::string_view start, std::string_view endField, bool endEdited)
{
    uint32_t s = 0;
    if (!qavplatform::ParseAddress(Trim(start), s) || s == 0 || s == 0xFFFFFFFFu) return std::nullopt;

    qavsettings::SearchRange r;
    const uint32_t subnet = s & 0xFFFFFF00u;
    uint32_t last = s & 0xFF;
    uint32_t endLast = last;
    if (!endEdited) {
        if (last == 255) {
            r.startIp = qavplatform::AddressText(subnet);
            r.endIp = qavplatform::AddressText(subnet | 254);
            return r;
        }
    } else {
        const std::string_view f = Trim(endField);
        if (f.empty() || f.size() > 3) return std::nullopt;
        int n = 0;
        for (char c : f) {
            if (c < '0' || c > '9') return std::nullopt;
            n = n * 10 + (c - '0');
        }
        if (n > 255) return std::nullopt;
        endLast = static_cast<uint32_t>(n);
    }
    if (endLast < last) std::swap(endLast, last);
    r.startIp = qavplatform::AddressText(subnet | last);
    r.endIp = qavplatform::AddressText(subnet | endLast);
    return r;
}

std::string RangeLine(const qavsettings::SearchRange& range)
{
    if (range.endIp.empty() || range.endIp == range.startIp) return range.startIp;
    return range.startIp + " - " + range.endIp;
}

int CheckSearchSettings(size_t rangeCount, bool broadcast, std::string_view timeoutField)
{
    if (rangeCount == 0 && !broadcast) return 4047;
    if (Trim(timeoutField).empty()) return 4048;
    return 0;
}

// ------------------------------------------------------------ surveillance

std::string FilterRefreshField(std::string_view text)
{
    if (text.empty()) return {};
    if (text.front() < '0' || text.front() > '9') return {};
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > kMaxRefresh) return std::to_string(kMaxRefresh);
    }
    return std::string(text);
}

int CheckRefreshFields(std::string_view listField, std::string_view detailedField)
{
    for (std::string_view f : {listField, detailedField}) {
        if (qavsettings::DurationFromField(f, false) > kMaxRefresh) return 4063;
    }
    return 0;
}

// ------------------------------------------------------------ mail

std::string FilterAccountUser(std::string_view text, int* removed)
{
    const size_t at = text.find_first_of(kAccountUserRefused);
    if (removed) *removed = at == std::string_view::npos ? -1 : static_cast<int>(at);
    std::string out(text);
    if (at != std::string_view::npos) out.erase(at, 1);
    return out;
}

bool ValidRecipientList(std::string_view list)
{
    if (list.empty()) return false;
    size_t begin = 0;
    while (true) {
        const size_t end = list.find(';', begin);
        const std::string_view address = list.substr(begin, end == std::string_view::npos ? end : end - begin);
        const size_t at = address.find('@');
        if (at == std::string_view::npos || at == 0 || at + 1 >= address.size()) return false;
        if (end == std::string_view::npos) return true;
        begin = end + 1;
    }
}

std::string RecipientsForSending(std::string_view list)
{
    std::string out(list);
    for (char& c : out) {
        if (c == ';') c = '\t';
    }
    return out;
}

std::string SenderText(int form, std::string_view address, std::string_view user, std::string_view password)
{
    return bsmtp::SenderAndAuthText(address, user, password, static_cast<bsmtp::SenderAuth>(form - 1));
}

int CheckMailConnection(const qavsettings::SurveyConfig& c)
{
    if (qavsettings::MailPortFromText(c.sourcePort) < 0) return 4103;
    if (qavsettings::MailSecurityFromText(c.sourceSecurity) == qavsettings::kMailSecurityInvalid) return 4104;
    return 0;
}

std::string MailServerText(const qavsettings::SurveyConfig& c)
{
    const int port = qavsettings::MailPortFromText(c.sourcePort);
    const int security = qavsettings::MailSecurityFromText(c.sourceSecurity);
    return bsmtp::ServerText(c.sourceServer, port > 0 ? port : qavsettings::StandardMailPort(security));
}

int CheckMailSettings(const qavsettings::SurveyConfig& c)
{
    if (Trim(c.sourceServer).empty() || Trim(c.sourceAdd).empty()) return 4092;
    if (const int text = CheckMailConnection(c)) return text;
    if (c.user.sendmail == 1 && !ValidRecipientList(c.user.address)) return 4093;
    if (c.administrator.sendmail == 1 && !ValidRecipientList(c.administrator.address)) return 4093;
    return 0;
}

TestMailResult RunTestMail(const qavsettings::SurveyConfig& c, const SendFunction& send)
{
    TestMailResult result;
    if (c.sourceAdd.empty()) {
        result.outcome = TestMailResult::kFailed;
        result.refusal = 4092;
        return result;
    }
    if (const int text = CheckMailConnection(c)) {
        result.outcome = TestMailResult::kFailed;
        result.refusal = text;
        return result;
    }
    const std::string server = MailServerText(c);
    std::vector<std::string> lists;
    for (const qavsettings::RecipientConfig* r : {&c.user, &c.administrator}) {
        if (r->sendmail != 1) continue;
        if (!ValidRecipientList(r->address)) {
            result.outcome = TestMailResult::kFailed;
            result.refusal = 4093;
            return result;
        }
        lists.push_back(RecipientsForSending(r->address));
    }
    if (lists.empty()) return result; // nothing takes part: nothing sent, nothing shown

    std::vector<bool> done(lists.size(), false);
    const int firstForm = c.sourceUser.empty() ? 1 : 4;
    for (int form = firstForm; form >= 1; --form) {
        const std::string sender = SenderText(form, c.sourceAdd, c.sourceUser, c.sourcePasswd);
        bool unreachable = false;
        for (size_t i = 0; i < lists.size(); ++i) {
            if (done[i]) continue;
            std::string error;
            ++result.calls;
            if (send(server, lists[i], sender, error) != 0) {
                done[i] = true;
            } else {
                result.lastError = error;
                if (error == "Cant connect Server 10060") {
                    unreachable = true;
                    break;
                }
            }
        }
        bool all = true;
        for (bool d : done) all = all && d;
        if (all) {
            result.outcome = TestMailResult::kSent;
            result.form = form;
            return result;
        }
        if (unreachable) break;
    }
    result.outcome = TestMailResult::kFailed;
    return result;
}

// ------------------------------------------------------------ log

bool CanAppendTo(const std::string& path)
{
    if (path.empty()) return false;
    std::FILE* f = std::fopen(path.c_str(), "a");
    if (!f) return false;
    std::fclose(f);
    return true;
}

int CheckLogFields(const LogFields& fields, std::string_view storedFilename)
{
    if (!fields.on) return 0;
    if (Trim(fields.filename).empty()) return 4192;
    if (fields.filename != storedFilename && !CanAppendTo(fields.filename)) return 4191;
    if (qavsettings::DurationFromField(fields.maximumSize, false) < 1) return 4193;
    return 0;
}

} // namespace nsetup

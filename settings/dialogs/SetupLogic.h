// The rules of the settings dialogs, free of the window layer: what an OK
// changed and which keys it has to write, the checks of every field, the
// address ranges of the search settings, the recipient lists and the test
// mail of the mail settings, and the trap-port check.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "qavplatform/Ports.h"
#include "qavsettings/SettingsFiles.h"

namespace nsetup {

// ------------------------------------------------------------ what changed

// The state a dialog showed when it opened, as the group it would write.
// Changed() tells whether an OK has anything to save; ToWrite() gives the
// entries whose value differs from the file (or whose key is missing), in
// the group's order, so that an OK rewrites nothing that is already stored.
class ChangeTracker {
public:
    void Start(qavsettings::SettingsGroup shown) { shown_ = std::move(shown); }
    bool Changed(const qavsettings::SettingsGroup& now) const;
    // A value stored meanwhile by other means (the test mail's SourceAuth)
    // becomes part of the shown state.
    void Accept(const std::string& section, const std::string& key, const std::string& value);
    // Every entry when the file exists but cannot be read: the write then
    // fails and says so.
    static qavsettings::SettingsGroup ToWrite(const qavsettings::SettingsGroup& now, const std::string& path);

private:
    qavsettings::SettingsGroup shown_;
};

// ------------------------------------------------------------ management

// The old password as entered against the stored one (both compared in the
// scrambled form, ignoring case), and the new one against its confirmation
// (ignoring case). 0 when accepted, else the text to show: 4014 (old
// password wrong) or 4015 (new and confirmation differ).
int CheckPasswordChange(std::string_view oldEntry, std::string_view storedClear, std::string_view newEntry,
                        std::string_view confirmation);

// 0 when both community names are given, 1 when the read name is empty,
// 2 when (only) the write name is.
int EmptyCommunityField(std::string_view readName, std::string_view writeName);

// ------------------------------------------------------------ search

// The range an "Add" makes of the start address and the end field (the last
// number of the end address; the other three are those of the start).
// Nothing (std::nullopt) when the start is blank, 0.0.0.0, 255.255.255.255
// or not an address, or when an edited end is not a number 0..255. An end
// field that was not edited gives the start alone, or the whole subnet
// (.0 to .254) for a start ending in 255. The range is in ascending order.
std::optional<qavsettings::SearchRange> RangeToAdd(std::string_view start, std::string_view endField, bool endEdited);

// The list line of a range: "lower - higher", or the single address when
// both are equal or the end is empty.
std::string RangeLine(const qavsettings::SearchRange& range);

// The OK check: 4047 when there is no range and the broadcast search is off,
// 4048 when the time-out field is empty, else 0.
int CheckSearchSettings(size_t rangeCount, bool broadcast, std::string_view timeoutField);

// ------------------------------------------------------------ surveillance

inline constexpr int kMaxRefresh = 720; // ten-second units: 7200 seconds

// The refresh fields after every change: a text not starting with a digit is
// cleared, a number above 720 becomes "720".
std::string FilterRefreshField(std::string_view text);

// The OK check of the two refresh fields (ten-second units; empty counts as
// 0): 4063 when one is above 720, else 0.
int CheckRefreshFields(std::string_view listField, std::string_view detailedField);

// ------------------------------------------------------------ mail

// The characters the account user field refuses.
inline constexpr std::string_view kAccountUserRefused = "@.!#$%^&*()_+=-{}[]:;'<>,?/\\\"";
// The field after a change: the first refused character deleted. `removed`
// is its position, or -1 when the text was accepted.
std::string FilterAccountUser(std::string_view text, int* removed = nullptr);

// Addresses separated by ";", each with at least one character before an
// "@" and one after it. An empty list is not valid.
bool ValidRecipientList(std::string_view list);
// The list as the mail library takes it: every ";" replaced by a TAB.
std::string RecipientsForSending(std::string_view list);

// The mail library's sender text of authentication form 1..4 (SourceAuth):
// the address, for 2..4 a TAB, "user:password", for 3 a TAB and "PLAIN",
// for 4 a TAB and "CRAM-MD5". An address without "@" gets "<>" appended.
std::string SenderText(int form, std::string_view address, std::string_view user,
                                std::string_view password);

// The port and security of the mail connection: 0 when usable, 4103 when
// the port is no port number (empty is the security's standard port), 4104
// when the security is none of none, STARTTLS, TLS.
int CheckMailConnection(const qavsettings::SurveyConfig& config);
// The mail library's server text: the server, with ":port" unless the port
// (SourcePort, else the security's standard one) is 25.
std::string MailServerText(const qavsettings::SurveyConfig& config);

// What the mail settings need before mail notification can be switched on:
// 0 when complete, 4092 when the server or the sender address is missing,
// 4103 or 4104 when the port or the security cannot be used
// (CheckMailConnection), 4093 when a recipient whose send flag is on has an
// invalid list.
int CheckMailSettings(const qavsettings::SurveyConfig& config);

// The label of printer condition i (kConditionKeys[i]) is text 4160 + i.
inline constexpr int kConditionTextBase = 4160;

struct TestMailResult {
    enum Outcome { kNothingToSend, kFailed, kSent } outcome = kNothingToSend;
    int form = -1;          // the form that worked (kSent)
    int calls = 0;          // calls of the mail library
    std::string lastError;  // the mail library's last error text
    int refusal = 0;        // a failure before anything was sent: 4092 no sender address, 4093 a bad list,
                            // 4103 a bad port, 4104 an unknown security
};

// One call of the mail library: server, TAB-separated recipients, sender
// text; non-zero when sent, with the library's error text.
using SendFunction =
    std::function<int(const std::string& server, const std::string& recipients, const std::string& sender,
                      std::string& error)>;

// The test mail: an empty sender address fails, and so does a port or a
// security that cannot be used (refusal 4103, 4104); the mail goes to the
// server on the port of MailServerText. The user and administrator
// lists take part when their send flag is on, and an invalid one fails; with
// neither flag on nothing is sent. With an account user the forms are tried
// from 4 down to 1, without one only form 1; each try sends to every taking
// part recipient that has not received it yet, and the tries stop when all
// have, or when the server cannot be reached at all.
TestMailResult RunTestMail(const qavsettings::SurveyConfig& config, const SendFunction& send);

// ------------------------------------------------------------ log

struct LogFields {
    bool on = false;
    std::string filename;
    std::string maximumSize; // the field's text
};

// The OK check of one log that is on: 4192 when the file name is empty, 4191
// when a changed file name cannot be opened for appending, 4193 (a warning)
// when the maximum size is below 1 KB; 0 when accepted or the log is off.
int CheckLogFields(const LogFields& fields, std::string_view storedFilename);

// Whether a file can be opened for appending (it is created when missing,
// as the log itself will be).
bool CanAppendTo(const std::string& path);

// ------------------------------------------------------------ trap port

// The trap port and its check have one home, the platform layer; the
// dialogs use them under these names.
using qavplatform::CheckTrapPort;
using qavplatform::TrapPort;
using qavplatform::TrapPortState;

} // namespace nsetup

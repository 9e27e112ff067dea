// Typed readers and writers of the settings files in the data folder.
//
// Each reader loads its file once and reads the keys it needs, each with its
// own default when the key (or the file, or the folder) is missing. Where
// the programs differ in their defaults, the reader is told who is reading.
// Flags are "1" and "0"; a flag read as an integer takes any other text as 0.
// Passwords are stored scrambled (ROT13); the structures hold them in clear.
//
// Writers go through WriteSettingsGroup: the keys one after another in the
// order of the file's description, stopping at the first failed write.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "qavres/Resources.h"
#include "qavsettings/DataFolder.h"

namespace qavsettings {

// Who reads: the defaults of some keys depend on the program.
enum class Reader {
    kMonitor,        // NWATCH
    kDeviceList,     // NLIST (queries, device search)
    kListWindow,     // NLIST's list window
    kStatusMonitor,  // NSTAT
    kSettingsDialog, // NSETUP
    kSystemTool,     // NCONFIG
    kDownloadTool,   // NLOAD
};

// ---------------------------------------------------------------- writing

struct SettingsEntry {
    std::string section;
    std::string key;
    std::string value;
};
using SettingsGroup = std::vector<SettingsEntry>;

// Writes the entries in order, key by key; stops at the first failed write
// and returns false, with the reason naming the file in `why`. Keys already
// written stay written.
bool WriteSettingsGroup(const SettingsGroup& group, const std::string& path, std::string* why = nullptr);

// "1" or "0".
inline const char* FlagText(bool on) { return on ? "1" : "0"; }

// ----------------------------------------------------- QAVMgmtConfig.INI

struct MgmtConfig {
    std::string startAtBoot;  // Startup/StartAtBoot, flag text
    int showList = -1;        // Startup/ShowList: exactly 1 opens the list window at start
    int askPassword = 0;      // Startup/AskPassword: > 0 asks for the password at start
    int useSystemDefault = 0; // Startup/UseSystemDefault
    std::string password;     // Password/Password, in clear
    std::string readCommunity;  // Community/ReadCommunityName
    std::string writeCommunity; // Community/WriteCommunityName
    std::string language;       // Resource/Language (written by the installation only)
};

// Defaults: ShowList -1, AskPassword 0, UseSystemDefault the previous value,
// Password and StartAtBoot empty; communities empty (the communication
// library then uses its own), for the system tool "kestra" and at most 79
// characters; Language empty and at most 11 characters, for the system tool
// "eng" (3 characters), for the download tool "ENG".
MgmtConfig ReadMgmtConfig(Reader who, const MgmtConfig& previous = {},
                          const std::string& path = DataFilePath(kMgmtConfigFile));
// StartAtBoot, ShowList, AskPassword, UseSystemDefault, Password (scrambled),
// ReadCommunityName, WriteCommunityName.
SettingsGroup MgmtSettingsGroup(const MgmtConfig& config);
bool WriteMgmtConfig(const MgmtConfig& config, const std::string& path = DataFilePath(kMgmtConfigFile));

// ---------------------------------------------------- QAVSurveyConfig.INI

inline constexpr int kConditionCount = 24;
// The printer-condition keys of the User and Administrator sections, in the
// order the dialogs write them.
extern const std::array<const char*, kConditionCount> kConditionKeys;

struct RecipientConfig {
    int sendmail = 0;
    std::string address;
    std::array<int, kConditionCount> conditions{}; // missing: the value of Sendmail
    int counterInfo = 0;
    int errorDetail = 0;
    int recoveryGuide = 0;
    int message = 0;
    std::string attachment;
};

struct ServiceRecipientConfig {
    int sendmail = 0;
    std::string address;
    std::string attachment;
};

// SourceAuth when the value is empty: the automatic choice.
inline constexpr int kAuthAutomatic = -1;

struct SurveyConfig {
    // Notification
    int list = 0;
    int popup = 0;
    int beep = 0;
    int mail = 0;
    // Polling; durations in seconds, 0 stops the timer
    int polling = 0;
    int taskDuration = 0;
    int listDuration = 30;
    int detailedDuration = 0;
    int trap = 0;
    // Mail
    std::string sourceName;
    std::string sourceServer;
    std::string sourceAdd;
    std::string sourceUser;
    std::string sourcePasswd; // in clear
    int sourceAuth = kAuthAutomatic; // 0..4, or kAuthAutomatic for the empty value
    // Keys of this tool set's own, kept as stored (see MailSecurityFromText
    // and MailPortFromText); absent or empty they mean port 25 in clear.
    std::string sourcePort;     // Mail/SourcePort
    std::string sourceSecurity; // Mail/SourceSecurity
    std::string sourceCaFile;   // Mail/SourceCAFile: PEM file of the authorities; empty: the system's
    RecipientConfig user;
    RecipientConfig administrator;
    ServiceRecipientConfig service;
};

// Defaults: the Notification flags 0; Polling the previous value (list window
// and status monitor: 0); TaskDuration, DetailedDuration and Trap the
// previous values; ListDuration 30; texts empty; SourceAuth automatic; each
// condition key the Sendmail value of its section.
SurveyConfig ReadSurveyConfig(Reader who, const SurveyConfig& previous = {},
                              const std::string& path = DataFilePath(kSurveyConfigFile));
// Notification, Polling, Mail, User, Administrator, Service, in the order of
// the file's description.
SettingsGroup SurveySettingsGroup(const SurveyConfig& config);
bool WriteSurveyConfig(const SurveyConfig& config, const std::string& path = DataFilePath(kSurveyConfigFile));

// The security of the mail connection (Mail/SourceSecurity). The numbers
// are those of the mail library's BSMTP_SECURITY_*.
enum MailSecurity : int {
    kMailSecurityInvalid = -1, // a value that names none of the three
    kMailSecurityNone = 0,     // plain SMTP
    kMailSecurityStartTls = 1, // plain connection, then STARTTLS before anything else
    kMailSecurityTls = 2,      // TLS from the first byte
};
// "none", "STARTTLS", "TLS" without regard to case, or 0, 1, 2; empty is
// none. Anything else is invalid: mail is then not sent at all rather than
// in clear.
int MailSecurityFromText(std::string_view text);
// The stored form: "none", "STARTTLS", "TLS" (empty for an invalid value).
const char* MailSecurityText(int security);
// Mail/SourcePort: a port number 1..65535; 0 when empty (the security's
// standard port); -1 when the text is no port number.
int MailPortFromText(std::string_view text);
// The standard port of a security: 465 for TLS, else 25.
int StandardMailPort(int security);

// The surveillance dialog shows ListDuration and DetailedDuration in units of
// ten seconds and TaskDuration in seconds. The field text for a stored value,
// and the stored value for a field text (empty or not a number: 0).
std::string DurationField(int seconds, bool tenSecondUnits);
int DurationFromField(std::string_view field, bool tenSecondUnits);

// ------------------------------------------------------ QAVLogConfig.INI

struct TrapLogConfig {
    int toBeLogged = 0;
    std::string filename;
    int maximumSize = 0; // kilobytes, 0: no limit
    int error = 0;
    int jobInformation = 0;
};

struct EnvironmentalLogConfig {
    int toBeLogged = -1;  // -1 (missing) is taken as off
    std::string filename; // empty switches the log off
    int maximumSize = -1; // kilobytes; -1 (missing) switches the log off
    int headCheck = -1;
    int diagnosisInfo = -1;
    int sysInfo = -1;
    int counterInfo = -1;
    int printerInfo = -1;
    int networkInformation = -1;
    std::string cycle; // display text of the cycle (texts 4145-4147)
    int day = -1;      // weekly 1-7, monthly 1-31
    std::string time;  // "%d:%d:%d"
};

struct LogConfig {
    TrapLogConfig trap;
    EnvironmentalLogConfig environmental;
};

// trapLoggedDefault: the monitor's own default for Trap/ToBeLogged.
LogConfig ReadLogConfig(int trapLoggedDefault, const std::string& path = DataFilePath(kLogConfigFile));
SettingsGroup LogSettingsGroup(const LogConfig& config);
bool WriteLogConfig(const LogConfig& config, const std::string& path = DataFilePath(kLogConfigFile));

enum class LogCycle { kOff, kDaily, kWeekly, kMonthly };
// The cycle of a stored Cycle text: compared without regard to case with
// texts 4145 (daily), 4146 (weekly), 4147 (monthly); anything else is off.
LogCycle CycleFromText(std::string_view text, const qavres::StringTable& language);
// The hour and minute of a stored Time ("h:m:s", split at ":"); false when
// the text has fewer than two fields.
bool ParseLogTime(std::string_view text, int& hour, int& minute);
std::string LogTimeText(int hour, int minute, int second);
// The stored Day of a weekly cycle: the number of the day name (texts 4148
// .. 4154 give 1 .. 7), 1 when no name matches.
int WeekdayNumber(std::string_view dayName, const qavres::StringTable& language);
// The stored Day of a monthly cycle: the number, 1 when outside 1..31.
int MonthDay(int day);

// --------------------------------------------------- QAVSearchConfig.qso

struct SearchRange {
    int number = 0; // N of the "Ranges.N" section
    std::string startIp;
    std::string endIp;
};

struct SearchConfig {
    int searchAtStart = -1;      // only exactly 1 starts a search
    int broadcast = -1;          // only 1 is on
    int nonVorantaPrinters = -1; // only 1 is on
    int count = -1;              // Ranges/Count as stored
    std::vector<SearchRange> ranges; // sections 1..Count that exist, in order
    int timeoutSeconds = -1;
};

// The device search and the monitor read with the defaults -1 and keep the
// ranges as numbered (addresses with room for 15 characters); the settings
// dialog reads with the defaults 0, 1, 0, 0, 30, keeps only the ranges whose
// StartIP is not empty, renumbered from 1 (room for 19 characters), and sets
// count to their number. Only ranges 1..Count are read.
SearchConfig ReadSearchConfig(Reader who, const std::string& path = DataFilePath(kSearchConfigFile));
// SearchAtStart, Broadcast, NonVorantaPrinters, Count (the number of ranges),
// each range as "Ranges.N" with N from 1, TimeoutSeconds.
SettingsGroup SearchSettingsGroup(const SearchConfig& config);
bool WriteSearchConfig(const SearchConfig& config, const std::string& path = DataFilePath(kSearchConfigFile));
// "Ranges." followed by n.
std::string RangeSection(int n);

// --------------------------------------------------- QAVDisplayConfig.INI

inline constexpr int kColumnCount = 12;
extern const std::array<const char*, kColumnCount> kColumnKeys; // Name, Status, ... RFID OK

struct DisplayConfig {
    // Index 0 is the Name column, always shown (display and order unused).
    std::array<int, kColumnCount> display{}; // missing: -1 (hidden)
    std::array<int, kColumnCount> order{};   // 1-based position; 0 or missing after the numbered ones
    std::array<int, kColumnCount> width{};   // pixels, missing 100; <= 0 is ignored
    std::array<bool, kColumnCount> widthStored{}; // a usable Width (> 0) is stored for the column
};

DisplayConfig ReadDisplayConfig(const std::string& path = DataFilePath(kDisplayConfigFile));
// The display-options dialog: "0" to Display and Order of the 11 optional
// columns, then "1" and the 1-based position of each column of the shown
// list (column indexes, Name excluded), in list order.
bool WriteDisplayColumns(const std::vector<int>& shown, const std::string& path = DataFilePath(kDisplayConfigFile));
// The list window at closing: Width of every shown column (index, pixels).
bool WriteColumnWidths(const std::vector<std::pair<int, int>>& widths,
                       const std::string& path = DataFilePath(kDisplayConfigFile));

// ----------------------------------------------------- QAVDownLoader.INI

struct DownLoaderConfig {
    int backColor = 31;
    std::vector<int> columns; // Column1.. (missing 1), up to the first -1 (not included)
    std::vector<int> widths;  // "Column Width n" per column; -1: the built-in width
};

DownLoaderConfig ReadDownLoaderConfig(int columnCount, const std::string& path = DataFilePath(kDownLoaderFile));
bool WriteDownLoaderConfig(const DownLoaderConfig& config, const std::string& path = DataFilePath(kDownLoaderFile));

// ------------------------------------------------------------ QNASys.ini

// Resource/QAVNetConfig: the base name of the system tool's language
// library, "NCres" when missing.
std::string ReadSystemToolLanguageBase(const std::string& path = DataFilePath(kSystemToolFile));
// Resource/<model> or Resource/<model> <firmware>: the resource base of the
// model's parameter pages, 10000 when missing. An empty firmware names the
// model key alone.
int ReadModelResourceBase(std::string_view model, std::string_view firmware = {},
                          const std::string& path = DataFilePath(kSystemToolFile));
// Version/<model>: the newest firmware with pages, at most 15 characters.
std::string ReadNewestFirmware(std::string_view model, const std::string& path = DataFilePath(kSystemToolFile));

} // namespace qavsettings

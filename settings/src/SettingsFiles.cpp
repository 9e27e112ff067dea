#include "qavsettings/SettingsFiles.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "qavplatform/Text.h"
#include "qavsettings/Profile.h"

namespace qavsettings {

namespace {

// Buffer sizes of the readers: flags with room for 19 characters, names,
// addresses and paths with room for 259.
constexpr int kFlagSize = 20;
constexpr int kTextSize = 260;

std::string Text(const ProfileDocument& doc, const char* section, const char* key, std::string_view def = {},
                 int size = kTextSize)
{
    return doc.GetString(section, key, def, size);
}

void Add(SettingsGroup& g, std::string section, std::string key, std::string value)
{
    g.push_back({std::move(section), std::move(key), std::move(value)});
}

void Add(SettingsGroup& g, std::string section, std::string key, long long value)
{
    Add(g, std::move(section), std::move(key), std::to_string(value));
}

// Integers are written in decimal without sign; a flag field holds 1 or 0.
std::string Flag(int value) { return FlagText(value == 1); }

RecipientConfig ReadRecipient(const ProfileDocument& doc, const char* section)
{
    RecipientConfig r;
    r.sendmail = doc.GetInt(section, "Sendmail", 0);
    r.address = Text(doc, section, "Address");
    for (int i = 0; i < kConditionCount; ++i) r.conditions[i] = doc.GetInt(section, kConditionKeys[i], r.sendmail);
    r.counterInfo = doc.GetInt(section, "CounterInfo", 0);
    r.errorDetail = doc.GetInt(section, "ErrorDetail", 0);
    r.recoveryGuide = doc.GetInt(section, "RecoveryGuide", 0);
    r.message = doc.GetInt(section, "Message", 0);
    r.attachment = Text(doc, section, "Attachment");
    return r;
}

void AddRecipient(SettingsGroup& g, const char* section, const RecipientConfig& r)
{
    Add(g, section, "Sendmail", Flag(r.sendmail));
    Add(g, section, "Address", r.address);
    for (int i = 0; i < kConditionCount; ++i) Add(g, section, kConditionKeys[i], Flag(r.conditions[i]));
    Add(g, section, "CounterInfo", Flag(r.counterInfo));
    Add(g, section, "ErrorDetail", Flag(r.errorDetail));
    Add(g, section, "RecoveryGuide", Flag(r.recoveryGuide));
    Add(g, section, "Message", Flag(r.message));
    Add(g, section, "Attachment", r.attachment);
}

// The leading number of a text as a profile reader takes it (0 without one).
int LeadingNumber(std::string_view text)
{
    ProfileDocument doc;
    doc.SetString("v", "v", text);
    return doc.GetInt("v", "v", 0);
}

} // namespace

const std::array<const char*, kConditionCount> kConditionKeys = {
    "Paper",      "Ribbon",     "HeadOpen",   "CommandError", "CommunicationError", "PaperJam",
    "HeadDisconnect", "CutterError", "HeadHeating", "CoverOpen", "RFIDError",       "RewindFull",
    "LowBattery", "RejectJam",  "RejectFull", "ShutterErr",   "RejectErr",          "ASFPowerOff",
    "UDMotorErr", "EraserErr",  "EraserOpen", "ASFCoverOpen", "ASFNotConnect",      "PrinterError"};

const std::array<const char*, kColumnCount> kColumnKeys = {"Name",     "Status",  "Port",    "Model",
                                                           "Serial",   "Location", "Manager", "Comment",
                                                           "Renewal Time", "Host Name", "RFID Error", "RFID OK"};

bool WriteSettingsGroup(const SettingsGroup& group, const std::string& path, std::string* why)
{
    for (const SettingsEntry& e : group) {
        if (!WriteProfileString(e.section, e.key, e.value, path, why)) return false;
    }
    return true;
}

// ---------------------------------------------------------------- management

MgmtConfig ReadMgmtConfig(Reader who, const MgmtConfig& previous, const std::string& path)
{
    ProfileDocument doc;
    LoadOrReport(doc, path);
    MgmtConfig c;
    c.startAtBoot = Text(doc, "Startup", "StartAtBoot", "", kFlagSize);
    c.showList = doc.GetInt("Startup", "ShowList", -1);
    c.askPassword = doc.GetInt("Startup", "AskPassword", 0);
    c.useSystemDefault = doc.GetInt("Startup", "UseSystemDefault", previous.useSystemDefault);
    c.password = Rot13(Text(doc, "Password", "Password"));
    if (who == Reader::kSystemTool) {
        c.readCommunity = Text(doc, "Community", "ReadCommunityName", "kestra", 80);
        c.writeCommunity = Text(doc, "Community", "WriteCommunityName", "kestra", 80);
        c.language = Text(doc, "Resource", "Language", "eng", 4);
    } else {
        c.readCommunity = Text(doc, "Community", "ReadCommunityName");
        c.writeCommunity = Text(doc, "Community", "WriteCommunityName");
        c.language = who == Reader::kDownloadTool ? Text(doc, "Resource", "Language", "ENG")
                                                  : Text(doc, "Resource", "Language", "", 12);
    }
    return c;
}

SettingsGroup MgmtSettingsGroup(const MgmtConfig& c)
{
    SettingsGroup g;
    Add(g, "Startup", "StartAtBoot", c.startAtBoot);
    Add(g, "Startup", "ShowList", c.showList < 0 ? "0" : std::to_string(c.showList));
    Add(g, "Startup", "AskPassword", c.askPassword < 0 ? "0" : std::to_string(c.askPassword));
    Add(g, "Startup", "UseSystemDefault", c.useSystemDefault < 0 ? "0" : std::to_string(c.useSystemDefault));
    Add(g, "Password", "Password", Rot13(c.password));
    Add(g, "Community", "ReadCommunityName", c.readCommunity);
    Add(g, "Community", "WriteCommunityName", c.writeCommunity);
    return g;
}

bool WriteMgmtConfig(const MgmtConfig& config, const std::string& path)
{
    return WriteSettingsGroup(MgmtSettingsGroup(config), path);
}

// -------------------------------------------------------------- surveillance

SurveyConfig ReadSurveyConfig(Reader who, const SurveyConfig& previous, const std::string& path)
{
    ProfileDocument doc;
    LoadOrReport(doc, path);
    SurveyConfig c;
    c.list = doc.GetInt("Notification", "List", 0);
    c.popup = doc.GetInt("Notification", "Popup", 0);
    c.beep = doc.GetInt("Notification", "Beep", 0);
    c.mail = doc.GetInt("Notification", "Mail", 0);
    const bool constantPolling = who == Reader::kListWindow || who == Reader::kStatusMonitor;
    c.polling = doc.GetInt("Polling", "Polling", constantPolling ? 0 : previous.polling);
    c.taskDuration = doc.GetInt("Polling", "TaskDuration", previous.taskDuration);
    c.listDuration = doc.GetInt("Polling", "ListDuration", 30);
    c.detailedDuration = doc.GetInt("Polling", "DetailedDuration", previous.detailedDuration);
    c.trap = doc.GetInt("Polling", "Trap", previous.trap);
    c.sourceName = Text(doc, "Mail", "SourceName");
    c.sourceServer = Text(doc, "Mail", "SourceServer");
    c.sourceAdd = Text(doc, "Mail", "SourceAdd");
    c.sourceUser = Text(doc, "Mail", "SourceUser");
    c.sourcePasswd = Rot13(Text(doc, "Mail", "SourcePasswd"));
    const std::string auth = Text(doc, "Mail", "SourceAuth", "", kFlagSize);
    c.sourceAuth = auth.empty() ? kAuthAutomatic : LeadingNumber(auth);
    c.sourcePort = Text(doc, "Mail", "SourcePort", "", kFlagSize);
    c.sourceSecurity = Text(doc, "Mail", "SourceSecurity", "", kFlagSize);
    c.sourceCaFile = Text(doc, "Mail", "SourceCAFile");
    c.user = ReadRecipient(doc, "User");
    c.administrator = ReadRecipient(doc, "Administrator");
    c.service.sendmail = doc.GetInt("Service", "Sendmail", 0);
    c.service.address = Text(doc, "Service", "Address");
    c.service.attachment = Text(doc, "Service", "Attachment");
    return c;
}

SettingsGroup SurveySettingsGroup(const SurveyConfig& c)
{
    SettingsGroup g;
    Add(g, "Notification", "List", Flag(c.list));
    Add(g, "Notification", "Popup", Flag(c.popup));
    Add(g, "Notification", "Beep", Flag(c.beep));
    Add(g, "Notification", "Mail", Flag(c.mail));
    Add(g, "Polling", "Polling", Flag(c.polling));
    Add(g, "Polling", "TaskDuration", std::max(c.taskDuration, 0));
    Add(g, "Polling", "ListDuration", std::max(c.listDuration, 0));
    Add(g, "Polling", "DetailedDuration", std::max(c.detailedDuration, 0));
    Add(g, "Polling", "Trap", Flag(c.trap));
    Add(g, "Mail", "SourceName", c.sourceName);
    Add(g, "Mail", "SourceServer", c.sourceServer);
    Add(g, "Mail", "SourceAdd", c.sourceAdd);
    Add(g, "Mail", "SourceUser", c.sourceUser);
    Add(g, "Mail", "SourcePasswd", Rot13(c.sourcePasswd));
    Add(g, "Mail", "SourceAuth", c.sourceAuth < 0 ? std::string() : std::to_string(c.sourceAuth));
    Add(g, "Mail", "SourcePort", c.sourcePort);
    Add(g, "Mail", "SourceSecurity", c.sourceSecurity);
    Add(g, "Mail", "SourceCAFile", c.sourceCaFile);
    AddRecipient(g, "User", c.user);
    AddRecipient(g, "Administrator", c.administrator);
    Add(g, "Service", "Sendmail", Flag(c.service.sendmail));
    Add(g, "Service", "Address", c.service.address);
    Add(g, "Service", "Attachment", c.service.attachment);
    return g;
}

bool WriteSurveyConfig(const SurveyConfig& config, const std::string& path)
{
    return WriteSettingsGroup(SurveySettingsGroup(config), path);
}

int MailSecurityFromText(std::string_view text)
{
    const std::string t = qavplatform::Trim(text, " \t");
    if (t.empty() || t == "0" || ::strcasecmp(t.c_str(), "none") == 0) return kMailSecurityNone;
    if (t == "1" || ::strcasecmp(t.c_str(), "STARTTLS") == 0) return kMailSecurityStartTls;
    if (t == "2" || ::strcasecmp(t.c_str(), "TLS") == 0) return kMailSecurityTls;
    return kMailSecurityInvalid;
}

const char* MailSecurityText(int security)
{
    switch (security) {
    case kMailSecurityNone: return "none";
    case kMailSecurityStartTls: return "STARTTLS";
    case kMailSecurityTls: return "TLS";
    default: return "";
    }
}

int MailPortFromText(std::string_view text)
{
    const std::string t = qavplatform::Trim(text, " \t");
    if (t.empty()) return 0;
    if (t.size() > 5 || t.find_first_not_of("0123456789") != std::string::npos) return -1;
    const int port = std::stoi(t);
    return port >= 1 && port <= 65535 ? port : -1;
}

int StandardMailPort(int security) { return security == kMailSecurityTls ? 465 : 25; }

std::string DurationField(int seconds, bool tenSecondUnits)
{
    return std::to_string(tenSecondUnits ? seconds / 10 : seconds);
}

int DurationFromField(std::string_view field, bool tenSecondUnits)
{
    if (field.empty() || field[0] < '0' || field[0] > '9') return 0;
    const int n = std::max(LeadingNumber(field), 0);
    if (!tenSecondUnits) return n;
    return n > 214748364 ? 2147483640 : n * 10;
}

// ----------------------------------------------------------------------- logs

LogConfig ReadLogConfig(int trapLoggedDefault, const std::string& path)
{
    ProfileDocument doc;
    LoadOrReport(doc, path);
    LogConfig c;
    c.trap.toBeLogged = doc.GetInt("Trap", "ToBeLogged", trapLoggedDefault);
    c.trap.filename = Text(doc, "Trap", "Filename");
    c.trap.maximumSize = doc.GetInt("Trap", "MaximumSize", 0);
    c.trap.error = doc.GetInt("Trap", "Error", 0);
    c.trap.jobInformation = doc.GetInt("Trap", "JobInformation", 0);
    EnvironmentalLogConfig& e = c.environmental;
    e.toBeLogged = doc.GetInt("Environmental", "ToBeLogged", -1);
    e.filename = Text(doc, "Environmental", "Filename");
    e.maximumSize = doc.GetInt("Environmental", "MaximumSize", -1);
    e.headCheck = doc.GetInt("Environmental", "HeadCheck", -1);
    e.diagnosisInfo = doc.GetInt("Environmental", "DiagnosisInfo", -1);
    e.sysInfo = doc.GetInt("Environmental", "SysInfo", -1);
    e.counterInfo = doc.GetInt("Environmental", "CounterInfo", -1);
    e.printerInfo = doc.GetInt("Environmental", "PrinterInfo", -1);
    e.networkInformation = doc.GetInt("Environmental", "NetworkInformation", -1);
    e.cycle = Text(doc, "Environmental", "Cycle");
    e.day = doc.GetInt("Environmental", "Day", -1);
    e.time = Text(doc, "Environmental", "Time");
    return c;
}

SettingsGroup LogSettingsGroup(const LogConfig& c)
{
    SettingsGroup g;
    Add(g, "Trap", "ToBeLogged", Flag(c.trap.toBeLogged));
    Add(g, "Trap", "Filename", c.trap.filename);
    Add(g, "Trap", "MaximumSize", std::max(c.trap.maximumSize, 0));
    Add(g, "Trap", "Error", Flag(c.trap.error));
    Add(g, "Trap", "JobInformation", Flag(c.trap.jobInformation));
    const EnvironmentalLogConfig& e = c.environmental;
    Add(g, "Environmental", "ToBeLogged", Flag(e.toBeLogged));
    Add(g, "Environmental", "Filename", e.filename);
    Add(g, "Environmental", "MaximumSize", std::max(e.maximumSize, 0));
    Add(g, "Environmental", "HeadCheck", Flag(e.headCheck));
    Add(g, "Environmental", "DiagnosisInfo", Flag(e.diagnosisInfo));
    Add(g, "Environmental", "SysInfo", Flag(e.sysInfo));
    Add(g, "Environmental", "CounterInfo", Flag(e.counterInfo));
    Add(g, "Environmental", "PrinterInfo", Flag(e.printerInfo));
    Add(g, "Environmental", "NetworkInformation", Flag(e.networkInformation));
    Add(g, "Environmental", "Cycle", e.cycle);
    Add(g, "Environmental", "Day", std::max(e.day, 0));
    Add(g, "Environmental", "Time", e.time);
    return g;
}

bool WriteLogConfig(const LogConfig& config, const std::string& path)
{
    return WriteSettingsGroup(LogSettingsGroup(config), path);
}

LogCycle CycleFromText(std::string_view text, const qavres::StringTable& language)
{
    static const std::pair<int, LogCycle> kCycles[] = {
        {4145, LogCycle::kDaily}, {4146, LogCycle::kWeekly}, {4147, LogCycle::kMonthly}};
    if (text.empty()) return LogCycle::kOff;
    for (const auto& [id, cycle] : kCycles) {
        const std::string& name = language.Get(id);
        if (!name.empty() && FoldCase(name) == FoldCase(text)) return cycle;
    }
    return LogCycle::kOff;
}

bool ParseLogTime(std::string_view text, int& hour, int& minute)
{
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) return false;
    std::string_view rest = text.substr(colon + 1);
    rest = rest.substr(0, rest.find(':'));
    hour = LeadingNumber(text.substr(0, colon));
    minute = LeadingNumber(rest);
    return true;
}

std::string LogTimeText(int hour, int minute, int second)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%d:%d:%d", hour, minute, second);
    return buf;
}

int WeekdayNumber(std::string_view dayName, const qavres::StringTable& language)
{
    for (int i = 0; i < 7; ++i) {
        const std::string& name = language.Get(4148 + i);
        if (!name.empty() && name == dayName) return i + 1;
    }
    return 1;
}

int MonthDay(int day) { return day < 1 || day > 31 ? 1 : day; }

// --------------------------------------------------------------------- search

std::string RangeSection(int n) { return "Ranges." + std::to_string(n); }

SearchConfig ReadSearchConfig(Reader who, const std::string& path)
{
    ProfileDocument doc;
    LoadOrReport(doc, path);
    SearchConfig c;
    const bool dialog = who == Reader::kSettingsDialog;
    c.searchAtStart = doc.GetInt("Startup", "SearchAtStart", dialog ? 0 : -1);
    c.broadcast = doc.GetInt("Criteria", "Broadcast", dialog ? 1 : -1);
    c.nonVorantaPrinters = doc.GetInt("Criteria", "NonVorantaPrinters", dialog ? 0 : -1);
    c.count = doc.GetInt("Ranges", "Count", dialog ? 0 : -1);
    c.timeoutSeconds = doc.GetInt("Timeout", "TimeoutSeconds", dialog ? 30 : -1);

    // Only sections that exist can hold a range: go through the numbers of
    // the "Ranges.N" sections up to Count instead of counting to Count, so
    // that a huge Count costs nothing.
    std::map<int, bool> numbers;
    for (const std::string& name : doc.SectionNames()) {
        if (name.size() <= 7 || strncasecmp(name.c_str(), "Ranges.", 7) != 0) continue;
        const std::string digits = name.substr(7);
        if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9 || digits[0] == '0') {
            continue;
        }
        const int n = std::stoi(digits);
        if (n >= 1 && n <= c.count) numbers[n] = true;
    }
    // The device search has room for 15 characters, the longest dotted
    // address: with less, 192.168.100.200 would be searched as 192.168.100.20.
    const int size = dialog ? 20 : 16;
    for (const auto& [n, unused] : numbers) {
        SearchRange r;
        r.number = n;
        r.startIp = doc.GetString(RangeSection(n), "StartIP", "", size);
        r.endIp = doc.GetString(RangeSection(n), "EndIP", "", size);
        if (dialog && r.startIp.empty()) continue;
        c.ranges.push_back(std::move(r));
    }
    if (dialog) {
        for (size_t i = 0; i < c.ranges.size(); ++i) c.ranges[i].number = static_cast<int>(i + 1);
        c.count = static_cast<int>(c.ranges.size());
    }
    return c;
}

SettingsGroup SearchSettingsGroup(const SearchConfig& c)
{
    SettingsGroup g;
    Add(g, "Startup", "SearchAtStart", Flag(c.searchAtStart));
    Add(g, "Criteria", "Broadcast", Flag(c.broadcast));
    Add(g, "Criteria", "NonVorantaPrinters", Flag(c.nonVorantaPrinters));
    Add(g, "Ranges", "Count", static_cast<long long>(c.ranges.size()));
    for (size_t i = 0; i < c.ranges.size(); ++i) {
        const std::string section = RangeSection(static_cast<int>(i + 1));
        Add(g, section, "StartIP", c.ranges[i].startIp);
        Add(g, section, "EndIP", c.ranges[i].endIp);
    }
    Add(g, "Timeout", "TimeoutSeconds", std::max(c.timeoutSeconds, 0));
    return g;
}

bool WriteSearchConfig(const SearchConfig& config, const std::string& path)
{
    return WriteSettingsGroup(SearchSettingsGroup(config), path);
}

// -------------------------------------------------------------------- display

DisplayConfig ReadDisplayConfig(const std::string& path)
{
    ProfileDocument doc;
    LoadOrReport(doc, path);
    DisplayConfig c;
    for (int i = 0; i < kColumnCount; ++i) {
        c.display[i] = i == 0 ? 1 : doc.GetInt("Display", kColumnKeys[i], -1);
        c.order[i] = i == 0 ? 0 : doc.GetInt("Order", kColumnKeys[i], -1);
        c.width[i] = doc.GetInt("Width", kColumnKeys[i], 100);
        c.widthStored[i] = doc.GetInt("Width", kColumnKeys[i], 0) > 0;
    }
    return c;
}

bool WriteDisplayColumns(const std::vector<int>& shown, const std::string& path)
{
    SettingsGroup g;
    for (int i = 1; i < kColumnCount; ++i) {
        Add(g, "Display", kColumnKeys[i], "0");
        Add(g, "Order", kColumnKeys[i], "0");
    }
    int position = 0;
    for (int column : shown) {
        if (column < 1 || column >= kColumnCount) continue;
        ++position;
        Add(g, "Display", kColumnKeys[column], "1");
        Add(g, "Order", kColumnKeys[column], position);
    }
    return WriteSettingsGroup(g, path);
}

bool WriteColumnWidths(const std::vector<std::pair<int, int>>& widths, const std::string& path)
{
    SettingsGroup g;
    for (const auto& [column, width] : widths) {
        if (column < 0 || column >= kColumnCount) continue;
        Add(g, "Width", kColumnKeys[column], width);
    }
    return WriteSettingsGroup(g, path);
}

// ----------------------------------------------------------------- downloader

DownLoaderConfig ReadDownLoaderConfig(int columnCount, const std::string& path)
{
    ProfileDocument doc;
    LoadOrReport(doc, path);
    DownLoaderConfig c;
    c.backColor = doc.GetInt("SETTING", "BackColor", 31);
    for (int i = 1; i <= columnCount; ++i) {
        const int v = doc.GetInt("SETTING", "Column" + std::to_string(i), 1);
        if (v == -1) break;
        c.columns.push_back(v);
    }
    for (int i = 1; i <= columnCount; ++i) {
        c.widths.push_back(doc.GetInt("SETTING", "Column Width " + std::to_string(i), -1));
    }
    return c;
}

bool WriteDownLoaderConfig(const DownLoaderConfig& c, const std::string& path)
{
    SettingsGroup g;
    Add(g, "SETTING", "BackColor", c.backColor);
    for (size_t i = 0; i < c.columns.size(); ++i) Add(g, "SETTING", "Column" + std::to_string(i + 1), c.columns[i]);
    for (size_t i = 0; i < c.widths.size(); ++i) {
        Add(g, "SETTING", "Column Width " + std::to_string(i + 1), c.widths[i]);
    }
    return WriteSettingsGroup(g, path);
}

// ------------------------------------------------------------------ QNASys.ini

std::string ReadSystemToolLanguageBase(const std::string& path)
{
    return ReadProfileString("Resource", "QAVNetConfig", "NCres", kTextSize, path);
}

int ReadModelResourceBase(std::string_view model, std::string_view firmware, const std::string& path)
{
    std::string key(model);
    if (!firmware.empty()) key += " " + std::string(firmware);
    return ReadProfileInt("Resource", key, 10000, path);
}

std::string ReadNewestFirmware(std::string_view model, const std::string& path)
{
    return ReadProfileString("Version", model, "", 16, path);
}

} // namespace qavsettings

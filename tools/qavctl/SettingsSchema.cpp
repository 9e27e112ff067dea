#include "SettingsSchema.h"

#include <strings.h>

#include <cstdint>
#include <vector>

#include "qavplatform/Address.h"
#include "qavsettings/DataFolder.h"
#include "qavsettings/SettingsFiles.h"

namespace qavctl {

namespace {

using T = SettingType;

// One key of a file. A section ending in "#" stands for that name followed
// by a number from 1 (Ranges.1, Ranges.2, ...); a key with "#" for the key
// with a number from 1 in its place; the key "*" for any key of the section.
struct Row {
    std::string section;
    std::string key;
    SettingType type;
};

struct File {
    std::string name;
    std::vector<Row> rows;
};

std::vector<Row> RecipientRows(const char* section, bool conditions)
{
    std::vector<Row> rows = {{section, "Sendmail", T::kFlag}, {section, "Address", T::kText}};
    if (conditions) {
        for (const char* key : qavsettings::kConditionKeys) rows.push_back({section, key, T::kFlag});
        rows.push_back({section, "CounterInfo", T::kFlag});
        rows.push_back({section, "ErrorDetail", T::kFlag});
        rows.push_back({section, "RecoveryGuide", T::kFlag});
        rows.push_back({section, "Message", T::kFlag});
    }
    rows.push_back({section, "Attachment", T::kText});
    return rows;
}

std::vector<Row> DisplayRows()
{
    std::vector<Row> rows;
    for (size_t i = 1; i < qavsettings::kColumnKeys.size(); ++i) rows.push_back({"Display", qavsettings::kColumnKeys[i], T::kFlag});
    for (size_t i = 1; i < qavsettings::kColumnKeys.size(); ++i) rows.push_back({"Order", qavsettings::kColumnKeys[i], T::kInteger});
    for (const char* key : qavsettings::kColumnKeys) rows.push_back({"Width", key, T::kInteger});
    return rows;
}

const std::vector<File>& Files()
{
    static const std::vector<File> files = [] {
        std::vector<File> f;
        f.push_back({qavsettings::kMgmtConfigFile,
                     {
                         {"Startup", "StartAtBoot", T::kFlag},
                         {"Startup", "ShowList", T::kInteger},
                         {"Startup", "AskPassword", T::kInteger},
                         {"Startup", "UseSystemDefault", T::kInteger},
                         {"Password", "Password", T::kText},
                         {"Community", "ReadCommunityName", T::kText},
                         {"Community", "WriteCommunityName", T::kText},
                         {"Resource", "Language", T::kText},
                     }});
        File survey{qavsettings::kSurveyConfigFile,
                    {
                        {"Notification", "List", T::kFlag},
                        {"Notification", "Popup", T::kFlag},
                        {"Notification", "Beep", T::kFlag},
                        {"Notification", "Mail", T::kFlag},
                        {"Polling", "Polling", T::kFlag},
                        {"Polling", "TaskDuration", T::kInteger},
                        {"Polling", "ListDuration", T::kInteger},
                        {"Polling", "DetailedDuration", T::kInteger},
                        {"Polling", "Trap", T::kFlag},
                        {"Mail", "SourceName", T::kText},
                        {"Mail", "SourceServer", T::kText},
                        {"Mail", "SourceAdd", T::kText},
                        {"Mail", "SourceUser", T::kText},
                        {"Mail", "SourcePasswd", T::kText},
                        {"Mail", "SourceAuth", T::kAuth},
                        {"Mail", "SourcePort", T::kText},
                        {"Mail", "SourceSecurity", T::kText},
                        {"Mail", "SourceCAFile", T::kText},
                    }};
        for (const auto& rows : {RecipientRows("User", true), RecipientRows("Administrator", true),
                                 RecipientRows("Service", false)})
            survey.rows.insert(survey.rows.end(), rows.begin(), rows.end());
        f.push_back(survey);
        f.push_back({qavsettings::kLogConfigFile,
                     {
                         {"Trap", "ToBeLogged", T::kFlag},
                         {"Trap", "Filename", T::kText},
                         {"Trap", "MaximumSize", T::kInteger},
                         {"Trap", "Error", T::kFlag},
                         {"Trap", "JobInformation", T::kFlag},
                         {"Environmental", "ToBeLogged", T::kFlag},
                         {"Environmental", "Filename", T::kText},
                         {"Environmental", "MaximumSize", T::kInteger},
                         {"Environmental", "HeadCheck", T::kFlag},
                         {"Environmental", "DiagnosisInfo", T::kFlag},
                         {"Environmental", "SysInfo", T::kFlag},
                         {"Environmental", "CounterInfo", T::kFlag},
                         {"Environmental", "PrinterInfo", T::kFlag},
                         {"Environmental", "NetworkInformation", T::kFlag},
                         {"Environmental", "Cycle", T::kText},
                         {"Environmental", "Day", T::kDay},
                         {"Environmental", "Time", T::kTime},
                     }});
        f.push_back({qavsettings::kSearchConfigFile,
                     {
                         {"Startup", "SearchAtStart", T::kFlag},
                         {"Criteria", "Broadcast", T::kFlag},
                         {"Criteria", "NonVorantaPrinters", T::kFlag},
                         {"Ranges", "Count", T::kInteger},
                         {"Ranges.#", "StartIP", T::kAddress},
                         {"Ranges.#", "EndIP", T::kAddress},
                         {"Timeout", "TimeoutSeconds", T::kInteger},
                     }});
        f.push_back({qavsettings::kDisplayConfigFile, DisplayRows()});
        f.push_back({qavsettings::kDownLoaderFile,
                     {
                         {"SETTING", "BackColor", T::kInteger},
                         {"SETTING", "Column#", T::kInteger},
                         {"SETTING", "Column Width #", T::kInteger},
                     }});
        f.push_back({qavsettings::kSystemToolFile,
                     {
                         {"Resource", "QAVNetConfig", T::kText},
                         {"Resource", "*", T::kInteger}, // a model key, or model key and firmware version
                         {"Version", "*", T::kText},
                     }});
        return f;
    }();
    return files;
}

bool Same(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// A number from 1 without sign or leading zero.
bool Ordinal(std::string_view text)
{
    if (text.empty() || text[0] < '1' || text[0] > '9' || text.size() > 9) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// A name against a pattern of the table ('#' a number from 1).
bool Matches(std::string_view pattern, std::string_view name)
{
    const size_t hash = pattern.find('#');
    if (hash == std::string_view::npos) return Same(pattern, name);
    const std::string_view before = pattern.substr(0, hash), after = pattern.substr(hash + 1);
    if (name.size() <= before.size() + after.size()) return false;
    return Same(before, name.substr(0, before.size())) && Same(after, name.substr(name.size() - after.size())) &&
           Ordinal(name.substr(before.size(), name.size() - before.size() - after.size()));
}

// A name that matches a pattern, spelt as the pattern spells it (the
// number of a '#' taken from the name).
std::string Spelt(std::string_view pattern, std::string_view name)
{
    const size_t hash = pattern.find('#');
    if (hash == std::string_view::npos) return std::string(pattern);
    const size_t numberLength = name.size() - (pattern.size() - 1);
    return std::string(pattern.substr(0, hash)) + std::string(name.substr(hash, numberLength)) +
           std::string(pattern.substr(hash + 1));
}

bool EndsWith(std::string_view text, std::string_view end)
{
    return text.size() > end.size() && Same(text.substr(text.size() - end.size()), end);
}

std::string Shown(std::string_view pattern)
{
    std::string s(pattern);
    const size_t hash = s.find('#');
    if (hash != std::string::npos) s.replace(hash, 1, "N");
    return s;
}

bool Integer(std::string_view text, long long& value)
{
    size_t i = text.size() > 1 && text[0] == '-' ? 1 : 0;
    if (i == text.size() || text.size() > 11) return false;
    value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    if (text[0] == '-') value = -value;
    return value >= INT32_MIN && value <= INT32_MAX;
}

} // namespace

bool LookUpSetting(std::string_view file, std::string_view section, std::string_view key, Setting& setting,
                   std::string& why)
{
    const File* schema = nullptr;
    for (const File& f : Files()) {
        if (f.name == file) schema = &f;
    }
    if (!schema && EndsWith(file, ".qso")) { // a copy of the search settings
        for (const File& f : Files()) {
            if (f.name == qavsettings::kSearchConfigFile) schema = &f;
        }
    }
    if (!schema) {
        why = std::string(file) + " is not a settings file of the tool set";
        for (const File& f : Files()) {
            if (Same(f.name, file)) why += " (file names are case-sensitive: " + f.name + ")";
        }
        why += "; they are:";
        for (const File& f : Files()) why += " " + f.name;
        return false;
    }
    std::vector<const Row*> inSection;
    for (const Row& r : schema->rows) {
        if (Matches(r.section, section)) inSection.push_back(&r);
    }
    if (inSection.empty()) {
        why = "[" + std::string(section) + "] is not a section of " + schema->name + "; its sections:";
        std::string last;
        for (const Row& r : schema->rows) {
            if (r.section == last) continue;
            last = r.section;
            why += " " + Shown(r.section);
        }
        return false;
    }
    for (const Row* r : inSection) {
        if (r->key == "*" || Matches(r->key, key)) {
            setting.section = Spelt(r->section, section);
            setting.key = r->key == "*" ? std::string(key) : Spelt(r->key, key);
            setting.type = r->type;
            return true;
        }
    }
    why = "[" + std::string(section) + "] " + std::string(key) + " is not a key of " + schema->name + "; its keys there:";
    for (const Row* r : inSection) why += (r == inSection.front() ? " " : ", ") + Shown(r->key);
    return false;
}

bool CheckSettingValue(SettingType type, std::string_view value, std::string& why)
{
    long long n = 0;
    const std::string quoted = "'" + std::string(value) + "'";
    switch (type) {
    case T::kFlag:
        if (value == "0" || value == "1") return true;
        why = quoted + " is no flag: 1 or 0";
        return false;
    case T::kInteger:
        if (Integer(value, n)) return true;
        why = quoted + " is no whole number";
        return false;
    case T::kAuth:
        if (value.empty() || (Integer(value, n) && n >= 0 && n <= 4)) return true;
        why = quoted + " is no authentication choice: 0 to 4, or empty for the automatic choice";
        return false;
    case T::kDay:
        if (Integer(value, n) && n >= 1 && n <= 31) return true;
        why = quoted + " is no day: 1 to 31 (a weekday 1 to 7 for a weekly cycle)";
        return false;
    case T::kAddress: {
        uint32_t a = 0;
        if (value.empty() || qavplatform::ParseAddress(value, a)) return true;
        why = quoted + " is no dotted IPv4 address";
        return false;
    }
    case T::kTime: {
        long long part[3];
        size_t at = 0;
        for (int i = 0; i < 3; ++i) {
            const size_t colon = i < 2 ? value.find(':', at) : value.size();
            if (colon == std::string_view::npos || !Integer(value.substr(at, colon - at), part[i]) || part[i] < 0) {
                why = quoted + " is no time of day: hour:minute:second";
                return false;
            }
            at = colon + 1;
        }
        if (part[0] <= 23 && part[1] <= 59 && part[2] <= 59) return true;
        why = quoted + " is no time of day: hour 0-23, minute and second 0-59";
        return false;
    }
    case T::kText:
        if (value.find_first_of("\r\n") == std::string_view::npos) return true;
        why = "a value is one line of text";
        return false;
    }
    return false;
}

} // namespace qavctl

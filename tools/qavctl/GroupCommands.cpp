// qavctl groups | config: the group file and the settings files.
#include <cstdio>
#include <string>

#include "Commands.h"
#include "Json.h"
#include "SettingsSchema.h"
#include "Text.h"
#include "qavplatform/Address.h"
#include "nlist/Nlist.h"
#include "qavsettings/DataFolder.h"
#include "qavsettings/Profile.h"

namespace qavctl {

namespace {

// A bare file name lies in the data folder; anything with a "/" is a path.
std::string SettingsPath(const std::string& file)
{
    return file.find('/') == std::string::npos ? qavsettings::DataFilePath(file) : file;
}

// A printer's status: as the file stores it and as the list shows it now.
struct PrinterLine {
    std::string stored;
    std::string now;
    int icon = 0;
};

// The groups command's output: lines for a person, or one JSON object
// (file, valid, groups with members, printers).
class Report {
public:
    explicit Report(bool json) : json_(json) {}

    void Begin(const std::string& path, int groups, int printers)
    {
        if (!json_) {
            std::printf("%s: valid, %d groups, %d printers\n", VisibleText(path).c_str(), groups, printers);
            return;
        }
        out_.BeginObject().Field("file", path).Field("valid", true).Key("groups").BeginArray();
    }
    void Group(int index, const GroupData& g, int members)
    {
        if (!json_) {
            std::printf("group %d: %s (%d members)\n", index, VisibleText(g.name).c_str(), members);
        } else {
            out_.BeginObject().Field("index", index).Field("name", g.name);
        }
        Criterion("model", g.model);
        Criterion("port", g.port);
        Criterion("serial", g.serialNo);
        Criterion("location", g.installationFeatures);
        Criterion("manager", g.manager);
        Criterion("comment", g.comment);
        if (json_) out_.Key("members").BeginArray();
    }
    void Member(uint32_t address, const char* name)
    {
        const std::string text = qavplatform::AddressText(address);
        if (!json_) std::printf("    member %s %s\n", text.c_str(), VisibleText(name).c_str());
        else out_.BeginObject().Field("address", text).Field("name", name).EndObject();
    }
    void EndGroup()
    {
        if (json_) out_.EndArray().EndObject();
    }
    void BeginPrinters()
    {
        if (json_) out_.EndArray().Key("printers").BeginArray();
    }
    void Printer(int index, const ListData& r, const PrinterLine& line)
    {
        const std::string address = qavplatform::AddressText(r.ipAddress);
        const char* kind = r.kind == 1 ? "the maker's" : "another";
        if (!json_) {
            std::printf("printer %d: %s %s\n", index, address.c_str(), VisibleText(r.name).c_str());
            std::printf("    status     %s (printer status %d; as %s printer: %s, icon %d)\n", VisibleText(line.stored).c_str(),
                        r.printerStatus, kind, VisibleText(line.now).c_str(), line.icon);
        } else {
            out_.BeginObject()
                .Field("index", index)
                .Field("address", address)
                .Field("name", r.name)
                .Field("status", line.stored)
                .Field("printerStatus", r.printerStatus)
                .Field("maker", r.kind == 1)
                .Field("statusNow", line.now)
                .Field("icon", line.icon);
        }
        Criterion("model", r.model);
        Criterion("serial", r.serial);
        Criterion("location", r.location);
        Criterion("manager", r.manager);
        Criterion("comment", r.comment);
        Criterion("host name", r.dhcpHostName, "hostName");
        Criterion("renewed", r.renewalTime);
        if (json_) out_.EndObject();
    }
    void End()
    {
        if (json_) out_.EndArray().EndObject().Print();
    }

private:
    // A criterion or field of a group or printer: printed only when set;
    // in JSON always there, under its key.
    void Criterion(const char* label, const char* value, const char* key = nullptr)
    {
        if (json_) out_.Field(key ? key : label, value);
        else if (value[0]) std::printf("    %-10s %s\n", label, VisibleText(value).c_str());
    }
    bool json_;
    JsonWriter out_;
};

// A key read or written, as JSON: the file, the section and key in the
// programs' spelling, the value.
void PrintSetting(const std::string& path, const Setting& setting, const std::string& value)
{
    JsonWriter json;
    json.BeginObject()
        .Field("file", path)
        .Field("section", setting.section)
        .Field("key", setting.key)
        .Field("value", value)
        .EndObject()
        .Print();
}

} // namespace

int RunGroups(const Args& args, const Output& output)
{
    if (args.size() != 1) return UsageError("groups takes one FILE");
    const std::string path = SettingsPath(args[0]);
    if (CheckQdlFileFormat(path) != 1) {
        std::fprintf(stderr, "qavctl: %s: not a valid group file\n", path.c_str());
        return 1;
    }
    if (PopulateVectors(path) != 1) {
        std::fprintf(stderr, "qavctl: %s: cannot be loaded\n", path.c_str());
        return 1;
    }
    qavsettings::ProfileDocument file;
    file.Load(path);

    const int groups = GetGroupDataSize();
    const int printers = GetListDataSize();
    Report report(output.json);
    report.Begin(path, groups, printers);
    static GroupData g; // large texts: not on the stack
    for (int i = 0; i < groups; ++i) {
        int count = 0;
        GetGroupDetails(i, g.name, sizeof g.name, g.model, sizeof g.model, g.port, sizeof g.port, g.serialNo,
                        sizeof g.serialNo, g.installationFeatures, sizeof g.installationFeatures, g.manager,
                        sizeof g.manager, g.comment, sizeof g.comment, &count);
        report.Group(i, g, count);
        for (int k = 0; k < count; ++k) {
            const uint32_t address = GetPrinterFromGroupData(i, k);
            ListData r;
            GetItemFromListData(&r, FindListDatabyIPAddress(address));
            report.Member(address, r.name);
        }
        report.EndGroup();
    }
    report.BeginPrinters();
    for (int j = 0; j < printers; ++j) {
        ListData r;
        GetItemFromListData(&r, j);
        PrinterLine line;
        line.stored = file.GetString("Printer." + std::to_string(j), "status");
        char now[260];
        line.icon = GetStatusTextAndIcon(r.kind == 1 ? 1 : 0, r.printerStatus, r.errorCode, r.headStatus, now,
                                         sizeof now);
        line.now = now;
        report.Printer(j, r, line);
    }
    report.End();
    return 0;
}

int RunConfig(const Args& args, const Output& output)
{
    if (args.size() != 3 && args.size() != 4) return UsageError("config takes FILE SECTION KEY [VALUE]");
    const std::string path = SettingsPath(args[0]);
    // Only the product's own files, keys and values: a misspelt name would
    // otherwise be written where no program ever reads it.
    Setting setting;
    std::string why;
    if (!LookUpSetting(path.substr(path.rfind('/') + 1), args[1], args[2], setting, why)) return UsageError(why);
    if (args.size() == 4) {
        if (!CheckSettingValue(setting.type, args[3], why))
            return UsageError("[" + setting.section + "] " + setting.key + " of " + args[0] + ": " + why);
        if (!qavsettings::WriteProfileString(setting.section, setting.key, args[3], path)) {
            std::fprintf(stderr, "qavctl: %s: the key cannot be written\n", path.c_str());
            return 1;
        }
        if (output.json) PrintSetting(path, setting, args[3]);
        return 0;
    }
    qavsettings::ProfileDocument doc;
    if (!doc.Load(path)) {
        std::fprintf(stderr, "qavctl: %s: cannot be read\n", path.c_str());
        return 1;
    }
    if (!doc.Has(setting.section, setting.key)) {
        std::fprintf(stderr, "qavctl: [%s] %s is not set in %s\n", setting.section.c_str(), setting.key.c_str(),
                     path.c_str());
        return 1;
    }
    const std::string value = doc.GetString(setting.section, setting.key);
    if (output.json) PrintSetting(path, setting, value);
    else std::printf("%s\n", VisibleText(value).c_str());
    return 0;
}

} // namespace qavctl

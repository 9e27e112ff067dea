// qavctl groups | config: the group file and the settings files.
#include <cstdio>
#include <string>

#include "Commands.h"
#include "SettingsSchema.h"
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

void PrintCriterion(const char* label, const char* value)
{
    if (value[0]) std::printf("    %-10s %s\n", label, value);
}

} // namespace

int RunGroups(const Args& args)
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
    std::printf("%s: valid, %d groups, %d printers\n", path.c_str(), groups, printers);
    static GroupData g; // large texts: not on the stack
    for (int i = 0; i < groups; ++i) {
        int count = 0;
        GetGroupDetails(i, g.name, sizeof g.name, g.model, sizeof g.model, g.port, sizeof g.port, g.serialNo,
                        sizeof g.serialNo, g.installationFeatures, sizeof g.installationFeatures, g.manager,
                        sizeof g.manager, g.comment, sizeof g.comment, &count);
        std::printf("group %d: %s (%d members)\n", i, g.name, count);
        PrintCriterion("model", g.model);
        PrintCriterion("port", g.port);
        PrintCriterion("serial", g.serialNo);
        PrintCriterion("location", g.installationFeatures);
        PrintCriterion("manager", g.manager);
        PrintCriterion("comment", g.comment);
        for (int k = 0; k < count; ++k) {
            const uint32_t address = GetPrinterFromGroupData(i, k);
            ListData r;
            GetItemFromListData(&r, FindListDatabyIPAddress(address));
            std::printf("    member %s %s\n", qavplatform::AddressText(address).c_str(), r.name);
        }
    }
    for (int j = 0; j < printers; ++j) {
        ListData r;
        GetItemFromListData(&r, j);
        const std::string stored = file.GetString("Printer." + std::to_string(j), "status");
        char now[260];
        const int icon = GetStatusTextAndIcon(r.kind == 1 ? 1 : 0, r.printerStatus, r.errorCode, r.headStatus, now,
                                              sizeof now);
        std::printf("printer %d: %s %s\n", j, qavplatform::AddressText(r.ipAddress).c_str(), r.name);
        std::printf("    status     %s (printer status %d; as %s printer: %s, icon %d)\n", stored.c_str(),
                    r.printerStatus, r.kind == 1 ? "the maker's" : "another", now, icon);
        PrintCriterion("model", r.model);
        PrintCriterion("serial", r.serial);
        PrintCriterion("location", r.location);
        PrintCriterion("manager", r.manager);
        PrintCriterion("comment", r.comment);
        PrintCriterion("host name", r.dhcpHostName);
        PrintCriterion("renewed", r.renewalTime);
    }
    return 0;
}

int RunConfig(const Args& args)
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
    std::printf("%s\n", doc.GetString(setting.section, setting.key).c_str());
    return 0;
}

} // namespace qavctl

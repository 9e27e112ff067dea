// qavctl envlog: one environmental log report now, as the monitor writes it
// on its schedule. The device list comes from the group file and is brought
// up to date first by one polling cycle, as the running monitor keeps it:
// the model rules of the report go by what the printers say.
#include <cstdio>

#include "Commands.h"
#include "Json.h"
#include "nlist/Nlist.h"
#include "nwatch/EnvReport.h"
#include "nwatch/Polling.h"
#include "nwatch/StatusReaders.h"
#include "qavres/Resources.h"
#include "qavsettings/SettingsFiles.h"

namespace qavctl {

int RunEnvlog(const Args& args, const Output& output)
{
    if (!args.empty()) return UsageError("envlog takes no arguments (it follows QAVLogConfig.INI)");
    const std::string logConfig = qavsettings::DataFilePath(qavsettings::kLogConfigFile);
    const qavsettings::EnvironmentalLogConfig settings = qavsettings::ReadLogConfig(0).environmental;
    if (settings.filename.empty()) {
        std::fprintf(stderr, "qavctl: %s names no file in [Environmental] Filename\n", logConfig.c_str());
        return 2;
    }
    const std::string groups = qavsettings::DataFilePath(qavsettings::kGroupFile);
    if (CheckQdlFileFormat(groups) != 1 || PopulateVectors(groups) != 1) {
        std::fprintf(stderr, "qavctl: %s: not a valid group file (scripts/install-data creates one)\n", groups.c_str());
        return 1;
    }
    qavres::ObjectTable objects;
    qavres::StringTable language;
    std::string error;
    if (!objects.Load(&error) || !language.Load(qavres::kLanguage, &error)) {
        std::fprintf(stderr, "qavctl: %s\n", error.c_str());
        return 1;
    }
    const qavsettings::MgmtConfig mgmt = qavsettings::ReadMgmtConfig(qavsettings::Reader::kMonitor);
    nwatch::ReadContext context;
    context.objects = &objects;
    context.language = &language;
    context.readCommunity = mgmt.readCommunity;
    context.writeCommunity = mgmt.writeCommunity;

    const nwatch::PollingResult polled = nwatch::PollingCycle().RunCycle(context);
    if (!output.json) std::printf("%d of %d printers read\n", polled.stored, polled.printers);

    const nwatch::EnvReportOptions options = nwatch::EnvReportOptions::FromSettings(settings);
    if (options.headCheck && !output.json) std::printf("head check on: the report follows the checks after 5 s\n");
    std::fflush(stdout);
    const nwatch::EnvReportResult r = nwatch::WriteEnvReportNow(options, context);
    if (output.json) {
        JsonWriter json;
        json.BeginObject()
            .Field("printers", r.printers)
            .Field("read", polled.stored)
            .Field("reported", r.included)
            .Field("headCheck", options.headCheck)
            .Field("lines", r.lines)
            .Field("linesLost", r.linesLost)
            .Field("file", options.fileName)
            .EndObject()
            .Print();
    } else {
        std::printf("%d of %d printers reported, %d lines written to %s\n", r.included, r.printers, r.lines,
                    options.fileName.c_str());
    }
    if (r.linesLost > 0) {
        std::fprintf(stderr, "qavctl: %d lines could not be written to %s\n", r.linesLost, options.fileName.c_str());
        return 1;
    }
    return 0;
}

} // namespace qavctl

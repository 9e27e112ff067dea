// qavctl params: a printer's system parameters through the system setting
// tool's own core (the pages of its language library, the checks of its
// editors, its configuration-data files), without its windows.
//
//   qavctl params export [--json] ADDRESS FILE
//   qavctl params apply [--json] [--jobs N] FILE.qcd ADDRESS...
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "Commands.h"
#include "Json.h"
#include "Text.h"
#include "nconfig/PrinterRuns.h"
#include "nconfig/StartUp.h"
#include "qavplatform/Address.h"

namespace qavctl {

namespace {

constexpr const char* kExportUsage = "params export [--json] ADDRESS FILE";
constexpr const char* kApplyUsage = "params apply [--json] [--jobs N] FILE.qcd ADDRESS...";

bool LoadResources(nconfig::ToolResources& resources)
{
    std::string error;
    if (nconfig::LoadToolResources(resources, error) != nconfig::ResourceFailure::kNone) {
        std::fprintf(stderr, "qavctl: %s\n", error.c_str());
        return false;
    }
    return true;
}

bool ValidAddress(const std::string& text)
{
    uint32_t a = 0;
    return qavplatform::ParseAddress(text, a);
}

const char* StateName(nconfig::ConfigRun::State state)
{
    switch (state) {
    case nconfig::ConfigRun::kWritten: return "written";
    case nconfig::ConfigRun::kUnchanged: return "unchanged";
    case nconfig::ConfigRun::kFailed: return "failed";
    }
    return "failed";
}

std::string Line(const nconfig::ConfigRun& run)
{
    std::ostringstream out;
    out << run.address << "  " << StateName(run.state);
    if (run.state == nconfig::ConfigRun::kFailed) {
        out << "  " << run.reason;
        return out.str();
    }
    if (run.state == nconfig::ConfigRun::kWritten) {
        out << "  " << run.written.size() << " written (";
        for (size_t i = 0; i < run.written.size(); ++i) out << (i ? ", " : "") << run.written[i];
        out << ")";
    }
    out << "  " << run.unchanged << " unchanged";
    // Read-only values (information, counters) are in every exported file:
    // counted, not listed.
    int readOnly = 0;
    std::string skipped;
    int skippedCount = 0;
    for (const auto& note : run.skipped) {
        if (note.outcome == nconfig::SettingsDocument::ImportOutcome::kReadOnly) {
            ++readOnly;
            continue;
        }
        skipped += std::string(skippedCount++ ? "; " : "") + note.key + ": " + nconfig::ImportOutcomeText(note.outcome);
    }
    if (readOnly) out << "  " << readOnly << " read-only";
    if (skippedCount) out << "  " << skippedCount << " skipped (" << skipped << ")";
    return out.str();
}

void PrintJson(const std::vector<nconfig::ConfigRun>& runs)
{
    JsonWriter json;
    json.BeginArray();
    for (const nconfig::ConfigRun& run : runs) {
        json.BeginObject().Field("address", run.address).Field("result", StateName(run.state)).Field("model", run.model);
        if (run.state == nconfig::ConfigRun::kFailed) json.Field("reason", run.reason);
        json.Key("written").BeginArray();
        for (const std::string& written : run.written) {
            const size_t eq = written.find('=');
            json.BeginObject()
                .Field("key", written.substr(0, eq))
                .Field("value", eq == std::string::npos ? std::string() : written.substr(eq + 1))
                .EndObject();
        }
        json.EndArray().Field("unchanged", run.unchanged).Key("skipped").BeginArray();
        for (const auto& note : run.skipped) {
            json.BeginObject()
                .Field("key", note.key)
                .Field("value", note.value)
                .Field("why", nconfig::ImportOutcomeText(note.outcome))
                .EndObject();
        }
        json.EndArray().EndObject();
    }
    json.EndArray().Print();
}

int RunExport(const Args& args, const Output& output)
{
    if (args.size() != 2) return UsageError(std::string("usage: qavctl ") + kExportUsage);
    if (!ValidAddress(args[0])) return UsageError("bad address '" + args[0] + "': a dotted IPv4 address is expected");
    nconfig::ToolResources resources;
    if (!LoadResources(resources)) return 2;
    const auto links = nconfig::SessionLinks(resources.objects, resources.readCommunity, resources.writeCommunity);
    const nconfig::ExportRun run = nconfig::ExportPrinter(resources, links, args[0], args[1]);
    if (!run.ok) {
        std::fprintf(stderr, "qavctl: %s: %s\n", args[0].c_str(), run.reason.c_str());
        return 1;
    }
    if (output.json) {
        JsonWriter json;
        json.BeginObject()
            .Field("address", args[0])
            .Field("model", run.model)
            .Field("version", run.version)
            .Field("file", args[1])
            .EndObject()
            .Print();
    } else {
        std::printf("%s  %s %s  exported to %s\n", args[0].c_str(), VisibleText(run.model).c_str(),
                    VisibleText(run.version).c_str(), args[1].c_str());
    }
    return 0;
}

int RunApply(const Args& args, const Output& output)
{
    int jobs = nconfig::kDefaultJobs;
    size_t i = 0;
    for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
        if (args[i] == "--jobs" && i + 1 < args.size()) {
            char* end = nullptr;
            jobs = static_cast<int>(std::strtol(args[++i].c_str(), &end, 10));
            if (*end != '\0' || jobs < 1 || jobs > 256) return UsageError("--jobs takes a number from 1 to 256");
        } else {
            return UsageError("unknown option " + args[i] + " (usage: qavctl " + kApplyUsage + ")");
        }
    }
    if (args.size() < i + 2) return UsageError(std::string("usage: qavctl ") + kApplyUsage);
    const std::string file = args[i++];
    std::ifstream in(file, std::ios::binary);
    if (!in) return UsageError(file + ": cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    const std::vector<std::string> addresses(args.begin() + static_cast<long>(i), args.end());
    for (const std::string& a : addresses) {
        if (!ValidAddress(a)) return UsageError("bad address '" + a + "': a dotted IPv4 address is expected");
    }
    nconfig::ToolResources resources;
    if (!LoadResources(resources)) return 2;
    const auto links = nconfig::SessionLinks(resources.objects, resources.readCommunity, resources.writeCommunity);
    const std::vector<nconfig::ConfigRun> runs =
        nconfig::ApplyConfigData(resources, links, text.str(), addresses, jobs);
    bool failed = false;
    for (const nconfig::ConfigRun& run : runs) failed = failed || run.state == nconfig::ConfigRun::kFailed;
    if (output.json) {
        PrintJson(runs);
    } else {
        for (const nconfig::ConfigRun& run : runs) std::printf("%s\n", VisibleText(Line(run)).c_str());
    }
    return failed ? 1 : 0;
}

} // namespace

int RunParams(const Args& args, const Output& output)
{
    if (!args.empty() && args[0] == "export") return RunExport(Args(args.begin() + 1, args.end()), output);
    if (!args.empty() && args[0] == "apply") return RunApply(Args(args.begin() + 1, args.end()), output);
    return UsageError(std::string("usage: qavctl ") + kExportUsage + "\n       qavctl " + kApplyUsage);
}

} // namespace qavctl

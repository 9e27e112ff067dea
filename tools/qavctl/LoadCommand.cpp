// qavctl load: a file into many printers from the command line, through the
// download tool's own core: the same trailer, the same checks (a boot
// program that does not fit is refused, an older file goes only with
// --downgrade), the same procedure and report. Up to --parallel printers are
// served at once.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Commands.h"
#include "Json.h"
#include "Text.h"
#include "nload/Catalog.h"
#include "nload/LiveEnvironment.h"
#include "nload/Report.h"
#include "nload/Run.h"
#include "nload/Selection.h"
#include "nload/Setup.h"
#include "nload/Trailer.h"
#include "qavres/Resources.h"

namespace qavctl {

namespace {

// Texts of the checks.
constexpr int kTextOlder = 5010;
constexpr int kTextBootMisfit = 5012;
constexpr int kTextNotNow = 5011;

constexpr int kMaxParallel = 64;

struct LoadOptions {
    std::string file;
    std::vector<std::string> targets;
    std::string listFile;
    int parallel = 1;
    bool downgrade = false;
    std::string reportFile;
    nload::FtpServer ftp;
    bool fromFtp = false;
    std::string passwordFile;
};

// Reads the options; an empty string on success, else the usage error.
std::string ParseOptions(const Args& args, LoadOptions& o)
{
    std::vector<std::string> words;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) -> bool {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        std::string v;
        if (a == "--list") {
            if (!value(o.listFile)) return "--list needs a file";
        } else if (a == "--parallel") {
            if (!value(v)) return "--parallel needs a number";
            char* end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (*end != '\0' || n < 1 || n > kMaxParallel) return "--parallel takes 1 to 64, not '" + v + "'";
            o.parallel = static_cast<int>(n);
        } else if (a == "--downgrade") {
            o.downgrade = true;
        } else if (a == "--report") {
            if (!value(o.reportFile)) return "--report needs a file";
        } else if (a == "--ftp") {
            if (!value(o.ftp.host)) return "--ftp needs a server";
            o.fromFtp = true;
        } else if (a == "--ftp-user") {
            if (!value(o.ftp.user)) return "--ftp-user needs a name";
        } else if (a == "--ftp-password-file") {
            if (!value(o.passwordFile)) return "--ftp-password-file needs a file";
        } else if (a.size() > 1 && a[0] == '-' && a.find('/') == std::string::npos) {
            return "unknown option " + a;
        } else {
            words.push_back(a);
        }
    }
    if (words.empty()) return "load needs a FILE";
    o.file = words[0];
    o.targets.assign(words.begin() + 1, words.end());
    if (o.targets.empty() && o.listFile.empty()) return "load needs at least one printer (ADDRESS or --list FILE)";
    return {};
}

// The FTP password: from a file (first line) or $QAV_FTP_PASSWORD, never
// from the command line.
bool TakePassword(LoadOptions& o, std::string& error)
{
    if (!o.passwordFile.empty()) {
        std::ifstream in(o.passwordFile);
        if (!in) {
            error = o.passwordFile + ": cannot be read";
            return false;
        }
        std::getline(in, o.ftp.password);
        while (!o.ftp.password.empty() && o.ftp.password.back() == '\r') o.ftp.password.pop_back();
        return true;
    }
    if (const char* env = std::getenv("QAV_FTP_PASSWORD")) o.ftp.password = env;
    return true;
}

// The file's kept values: from its trailer, or from its catalog line (the
// file's path in the catalog's folder then replaces its name).
bool FileValues(LoadOptions& o, const qavres::StringTable& texts, nload::FileInfo& info, std::string& error)
{
    if (!o.fromFtp) {
        nload::Trailer trailer;
        if (!nload::ReadTrailer(o.file, trailer, &error)) return false;
        info = nload::InfoFromTrailer(trailer);
        return true;
    }
    std::string catalog;
    if (!nload::FetchCatalog(o.ftp, catalog, &error)) return false;
    for (const nload::CatalogEntry& e : nload::ParseCatalog(catalog, std::atoi(texts.Get(4000).c_str()))) {
        if (e.RelativePath() == o.file || e.fileName == o.file) {
            info = e.Info();
            o.file = e.RelativePath();
            return true;
        }
    }
    error = o.file + ": not in the catalog of ftp://" + o.ftp.host;
    return false;
}

std::string Names(const std::vector<nload::PrinterInfo>& printers, const std::vector<size_t>& which)
{
    std::string out;
    for (size_t i : which) out += (out.empty() ? "" : ", ") + ("\"" + printers[i].DisplayName() + "\"");
    return out;
}

// Shows the run on a terminal: the printer being served (or how many are
// done) and the total, on one line redrawn in place.
void FollowOnTerminal(const nload::DownloadRun& run, const std::vector<nload::PrinterInfo>& printers, int parallel)
{
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    while (!run.WaitFinished(200)) {
        if (!terminal) continue;
        const nload::RunSnapshot s = run.Snapshot();
        int done = 0, active = 0;
        for (const auto& p : s.printers) {
            done += p.done;
            active += p.started && !p.done;
        }
        std::string line;
        if (parallel <= 1 && s.current >= 0 && !s.printers[static_cast<size_t>(s.current)].done) {
            const auto& p = s.printers[static_cast<size_t>(s.current)];
            line = printers[static_cast<size_t>(s.current)].DisplayName() + "  " + std::to_string(p.sent) + " / " +
                   std::to_string(s.dataLength);
        } else {
            line = std::to_string(active) + " running, " + std::to_string(done) + " of " +
                   std::to_string(s.printers.size()) + " done";
        }
        std::fprintf(stderr, "\r\033[K%s   total %d%%", line.c_str(), s.TotalPercent());
        std::fflush(stderr);
    }
    if (terminal) std::fprintf(stderr, "\r\033[K");
}

void PrintJson(const nload::DownloadRun& run, const qavres::StringTable& texts)
{
    const nload::ReportData d = run.Report();
    JsonWriter json;
    json.BeginObject()
        .Field("file", d.fileName)
        .Field("kind", nload::KindText(texts, d.file))
        .Field("version", d.file.version)
        .Field("start", d.startTime)
        .Field("end", d.endTime)
        .Key("printers")
        .BeginArray();
    for (const nload::PrinterInfo& p : d.printers) {
        json.BeginObject()
            .Field("port", p.PortText())
            .Field("address", p.WhereText())
            .Field("name", p.DisplayName())
            .Field("code", p.last.code)
            .Field("result", p.last.result)
            .Field("systemError", p.last.systemError)
            .Field("message", nload::ErrorMessage(texts, p.last))
            .EndObject();
    }
    json.EndArray().Field("ok", run.AllSucceeded()).EndObject().Print();
}

} // namespace

int RunLoad(const Args& args, const Output& output)
{
    LoadOptions o;
    const std::string usage = ParseOptions(args, o);
    if (!usage.empty()) return UsageError(usage);
    std::string error;
    if (o.fromFtp && !TakePassword(o, error)) return UsageError(error);

    qavres::StringTable texts;
    if (!nload::LoadTexts(texts, &error)) {
        std::fprintf(stderr, "qavctl: the download tool's texts cannot be loaded: %s\n", error.c_str());
        return 1;
    }
    std::vector<nload::PrinterInfo> printers;
    for (const std::string& word : o.targets) {
        nload::PrinterInfo p;
        if (!nload::ParseTargetWord(word, p, &error)) return UsageError("printer '" + word + "': " + error);
        printers.push_back(std::move(p));
    }
    if (!o.listFile.empty()) {
        std::vector<nload::PrinterInfo> listed;
        if (!nload::ReadListFile(o.listFile, listed, &error)) return UsageError(error);
        printers.insert(printers.end(), listed.begin(), listed.end());
    }
    nload::FileInfo info;
    if (!FileValues(o, texts, info, error)) {
        std::fprintf(stderr, "qavctl: %s\n", error.c_str());
        return 2;
    }

    nload::LiveEnvironment env(texts, nload::ReadCommunities());
    nload::ReadTargetInfo(env, printers, o.parallel);
    const nload::StartCheck check = nload::CheckStart(info, printers);
    if (!check.bootMisfits.empty()) {
        std::fprintf(stderr, "qavctl: %s %s\n", texts.Get(kTextBootMisfit).c_str(),
                     Names(printers, check.bootMisfits).c_str());
        return 1;
    }
    if (!check.newerPrinters.empty() && !o.downgrade) {
        std::fprintf(stderr, "qavctl: %s %s (--downgrade sends it anyway)\n", texts.Get(kTextOlder).c_str(),
                     Names(printers, check.newerPrinters).c_str());
        return 1;
    }
    for (size_t i : check.busyPrinters) {
        printers[i].notServed = true;
        std::fprintf(stderr, "qavctl: \"%s\" %s\n", printers[i].DisplayName().c_str(), texts.Get(kTextNotNow).c_str());
    }

    nload::RunSetup setup;
    setup.filePath = o.file;
    if (o.fromFtp) setup.ftp = o.ftp;
    setup.file = info;
    setup.printers = printers;
    setup.parallel = o.parallel;
    if (o.parallel > 1) env.KeepTrapReceiver();
    nload::DownloadRun run(env, texts, std::move(setup));
    run.Start();
    FollowOnTerminal(run, printers, o.parallel);

    const std::vector<nload::PrinterInfo> done = run.Printers();
    // A file that could not be fetched or read: the log says why.
    if (run.Snapshot().dataLength == 0) std::fputs(run.Snapshot().log.c_str(), stderr);
    if (output.json) {
        PrintJson(run, texts);
    } else {
        for (const nload::PrinterInfo& p : done)
            std::printf("%-8s %-22s %s\n", p.PortText().c_str(), VisibleText(p.WhereText()).c_str(),
                        VisibleText(nload::ResultLine(texts, p)).c_str());
    }
    if (!o.reportFile.empty()) {
        std::ofstream out(o.reportFile, std::ios::binary | std::ios::trunc);
        out << nload::BuildReport(texts, run.Report());
        if (!out) {
            std::fprintf(stderr, "qavctl: %s: the report cannot be written\n", o.reportFile.c_str());
            return 1;
        }
    }
    return run.AllSucceeded() ? 0 : 1;
}

} // namespace qavctl

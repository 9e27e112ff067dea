#include "nconfig/PrinterRuns.h"

#include <fstream>

#include "ncomm/QBPResult.h"
#include "nconfig/Apply.h"
#include "nconfig/CommandLine.h"

namespace nconfig {

namespace {

constexpr const char* kPort = "SNMP";

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string NoAnswer(int code) { return std::string("no answer (") + QBPResultText(code) + ")"; }

// The printer checked and its pages read, as the system window has them
// when it opens. Empty on success, else why not.
std::string CheckAndRead(const ToolResources& r, PrinterLink& link, const std::string& address,
                         std::unique_ptr<SettingsDocument>& doc, CheckResult& check)
{
    check = CheckPrinter(link, kPort, address);
    if (!check.Supported()) return CheckFailureReason(check);
    const std::string model = check.model.empty() ? std::string(kDefaultModel) : check.model;
    check.model = model;
    const PageBook book = LoadPages(r.language, r.objects, ResourceBase(model, check.version, r.systemFile));
    doc = std::make_unique<SettingsDocument>(book, r.language, kModeSystem, false);
    doc->SetAddress(address);
    int rc = link.Open(kPort, address);
    if (rc == 0) {
        rc = ReadDocument(link, *doc);
        link.Close();
    }
    return rc == 0 ? std::string() : NoAnswer(rc);
}

ConfigRun ApplyToOne(const ToolResources& r, const LinkFactory& links, const std::string& fileText,
                     const std::string& address)
{
    ConfigRun run;
    run.address = address;
    std::unique_ptr<PrinterLink> link = links();
    std::unique_ptr<SettingsDocument> doc;
    CheckResult check;
    run.reason = CheckAndRead(r, *link, address, doc, check);
    run.model = check.model;
    if (!run.reason.empty()) return run;
    const SettingsDocument::ImportReport report = doc->Import(fileText, check.model);
    if (report.otherModel) {
        run.reason = "the file is for model " + report.fileModel + ", the printer is " + check.model;
        return run;
    }
    for (const SettingsDocument::ImportNote& note : report.notes) {
        using O = SettingsDocument::ImportOutcome;
        if (note.outcome == O::kUnchanged) ++run.unchanged;
        else if (note.outcome != O::kChanged && note.outcome != O::kCancelled) run.skipped.push_back(note);
    }
    if (!doc->HasChanges()) {
        run.state = ConfigRun::kUnchanged;
        return run;
    }
    ApplyOptions options;
    options.check = false; // checked just now
    options.stopAtFailedPage = true;
    const ApplyResult result = ApplyToPrinter(*link, kPort, address, *doc, options);
    if (!result.AllWritten()) {
        run.reason = result.openCode != 0 ? NoAnswer(result.openCode) : FailureReason(result, *doc);
        return run;
    }
    run.state = ConfigRun::kWritten;
    for (const PageModel& page : doc->Pages()) {
        for (const SetData& e : page.Changes().Entries()) {
            const int i = page.ParameterById(e.id);
            run.written.push_back(page.Parameters()[i].key + "=" + page.Value(i));
        }
    }
    return run;
}

} // namespace

ExportRun ExportPrinter(const ToolResources& r, const LinkFactory& links, const std::string& address,
                        const std::string& path)
{
    ExportRun run;
    std::unique_ptr<PrinterLink> link = links();
    std::unique_ptr<SettingsDocument> doc;
    CheckResult check;
    run.reason = CheckAndRead(r, *link, address, doc, check);
    run.model = check.model;
    run.version = check.version;
    if (!run.reason.empty()) return run;
    const std::string text = EndsWith(path, ".qcd") ? doc->ConfigDataExport(check.model, check.version)
                                                    : doc->TextExport(kPort, address, check.model, check.version);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        run.reason = path + ": cannot be written";
        return run;
    }
    run.ok = true;
    return run;
}

std::vector<ConfigRun> ApplyConfigData(const ToolResources& resources, const LinkFactory& links,
                                       const std::string& fileText, const std::vector<std::string>& addresses,
                                       int jobs)
{
    std::vector<ConfigRun> runs(addresses.size());
    RunConcurrently(addresses.size(), jobs,
                    [&](size_t i) { runs[i] = ApplyToOne(resources, links, fileText, addresses[i]); });
    return runs;
}

} // namespace nconfig

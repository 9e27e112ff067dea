#include "nconfig/StartUp.h"

#include <dirent.h>
#include <strings.h>

#include "nconfig/Texts.h"
#include "qavsettings/DataFolder.h"
#include "qavsettings/SettingsFiles.h"

namespace nconfig {

namespace {

// The file "<name>.txt" of the resource folder, found without regard to case.
std::string FindLanguageFile(const std::string& name)
{
    const std::string folder = qavres::ResourceDir();
    const std::string wanted = name + ".txt";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return std::string();
    std::string found;
    while (dirent* e = ::readdir(dir)) {
        if (::strcasecmp(e->d_name, wanted.c_str()) == 0) {
            found = folder + "/" + e->d_name;
            if (wanted == e->d_name) break; // the exact name wins
        }
    }
    ::closedir(dir);
    return found;
}

bool Blank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

} // namespace

ResourceFailure LoadToolResources(ToolResources& r, std::string& error)
{
    r.systemFile = qavsettings::DataFilePath(qavsettings::kSystemToolFile);
    const qavsettings::MgmtConfig mgmt = qavsettings::ReadMgmtConfig(qavsettings::Reader::kSystemTool);
    r.readCommunity = mgmt.readCommunity;
    r.writeCommunity = mgmt.writeCommunity;
    r.languageName = qavsettings::ReadSystemToolLanguageBase(r.systemFile) + mgmt.language.substr(0, 3);
    const std::string path = FindLanguageFile(r.languageName);
    if (path.empty()) {
        error = "the language library " + r.languageName + " is not in " + qavres::ResourceDir();
        return ResourceFailure::kLanguage;
    }
    if (!r.language.LoadFile(path, &error)) return ResourceFailure::kLanguage;
    if (!r.objects.Load(&error)) return ResourceFailure::kObjectTable;
    return ResourceFailure::kNone;
}

int ResourceBase(const std::string& model, const std::string& version, const std::string& systemFile)
{
    if (version.empty()) return qavsettings::ReadModelResourceBase(model, {}, systemFile);
    const std::string newest = qavsettings::ReadNewestFirmware(model, systemFile);
    const std::string used = newest.empty() || newest > version ? version : newest;
    return qavsettings::ReadModelResourceBase(model, used, systemFile);
}

bool ListCheck(const LinkFactory& links, std::vector<ListLine>& lines, std::string& model, std::string& version,
               int jobs)
{
    std::vector<CheckResult> checks(lines.size());
    RunConcurrently(lines.size(), jobs, [&](size_t i) {
        std::unique_ptr<PrinterLink> link = links();
        checks[i] = CheckPrinter(*link, lines[i].port, lines[i].address);
    });
    bool first = true;
    for (size_t i = 0; i < lines.size(); ++i) {
        lines[i].model = checks[i].Answered() ? checks[i].model : std::string();
        lines[i].version = checks[i].Answered() ? checks[i].version : std::string();
        if (!checks[i].Answered()) continue;
        if (first) {
            model = lines[i].model;
            version = lines[i].version;
            first = false;
            continue;
        }
        if (lines[i].model != model) return false;
        if (lines[i].version > version) version = lines[i].version;
    }
    return true;
}

StartPlan PrepareStart(const std::string& commandLine, const LinkFactory& links, const std::string& systemFile,
                       int jobs)
{
    StartPlan plan;
    if (Blank(commandLine) || !ParseCommandLine(commandLine, plan.line)) {
        plan.message = kMsgCannotStart;
        return plan;
    }
    CommandLine& line = plan.line;
    if (line.mode == kModeList) {
        plan.listPath = ListFilePath(line.port);
        if (!ReadListFile(plan.listPath, plan.lines)) {
            plan.message = kMsgCannotStart;
            return plan;
        }
        if (line.model.empty() && !ListCheck(links, plan.lines, line.model, line.version, jobs)) {
            plan.message = kMsgCannotStart;
            return plan;
        }
    } else {
        std::unique_ptr<PrinterLink> link = links();
        plan.check = CheckPrinter(*link, line.port, line.address, line.model, line.version);
        if (!plan.check.Answered()) {
            plan.message = kMsgCheckFailed;
            return plan;
        }
        if (!plan.check.Supported()) {
            plan.message = kMsgUnsupported;
            return plan;
        }
        line.model = plan.check.model;
        line.version = plan.check.version;
    }
    if (line.model.empty()) line.model = kDefaultModel;
    plan.base = ResourceBase(line.model, line.version, systemFile);
    return plan;
}

int InstanceRules::Enter(bool listMode)
{
    bool existed = false;
    multi_.Create(kMultiBootEvent, &existed);
    if (listMode) {
        if (existed) return kMsgOtherInstance;
        single_.Create(kSingleBootEvent);
        return 0;
    }
    return qavplatform::NamedEvent::Exists(kSingleBootEvent) ? kMsgOtherInstance : 0;
}

std::string WindowTitle(const qavres::StringTable& language, int base, int mode, const std::string& port,
                        const std::string& address)
{
    return ModeTitle(language, base, mode) + " ( " + port + "_" + address + " )";
}

} // namespace nconfig

// What the system setting tool does before its window opens: its resources,
// the command line, the printer check or the list check, the resource base
// of the model's pages, the instance rules and the window title.
#pragma once

#include <string>
#include <vector>

#include "nconfig/CommandLine.h"
#include "nconfig/Concurrent.h"
#include "nconfig/ListFile.h"
#include "nconfig/Printer.h"
#include "qavplatform/NamedLocks.h"
#include "qavres/Resources.h"

namespace nconfig {

inline constexpr const char* kMultiBootEvent = "NCONFIG Multi Boot Event";
inline constexpr const char* kSingleBootEvent = "NCONFIG Single Boot Event";
// The model key when neither the command line nor a printer gave one.
inline constexpr const char* kDefaultModel = "BARCODE";

// The tool's resources: its language library, the object table, and the
// settings it reads from the data folder.
struct ToolResources {
    qavres::StringTable language;
    qavres::ObjectTable objects;
    std::string languageName; // e.g. "NCreseng"
    std::string systemFile;   // QNASys.ini of the data folder
    std::string readCommunity = "kestra";
    std::string writeCommunity = "kestra";
};

enum class ResourceFailure { kNone, kLanguage, kObjectTable };

// Loads everything: the language library is named by QNASys.ini
// (Resource/QAVNetConfig, "NCres") followed by the language code of
// QAVMgmtConfig.INI (Resource/Language, "eng", three letters), and is found
// in the resource folder without regard to case (the installation writes
// "ENG"). The communities come from QAVMgmtConfig.INI ("kestra").
ResourceFailure LoadToolResources(ToolResources& resources, std::string& error);

// The resource base of a model's pages from QNASys.ini: the version is the
// printer's, unless the file names a newest version with pages that is not
// greater than the printer's (then that one); Resource/"<model> <version>",
// or Resource/<model> for an empty version, 10000 when missing.
int ResourceBase(const std::string& model, const std::string& version, const std::string& systemFile);

struct StartPlan {
    int message = 0;        // 0 to go on, else the message that stops the tool
    CommandLine line;       // with the model and version in use
    std::string listPath;   // list mode: the list file
    std::vector<ListLine> lines;
    int base = kDefaultBase;
    CheckResult check;      // modes 1 to 3
};

// Steps of the start before the window: the command line (6002 when empty or
// invalid), the list file (6002 when unreadable or empty) and the list check
// (6002 for a list of mixed models), or the printer check (6003 when it
// fails, 6001 for a class other than 0 and 27); the model "BARCODE" when
// still none; the resource base.
StartPlan PrepareStart(const std::string& commandLine, const LinkFactory& links, const std::string& systemFile,
                       int jobs = kDefaultJobs);

// The list check: every line's printer checked (at most `jobs` at once).
// The first line that answers gives the model and the version; a later
// line that answers with another model fails the check; the highest
// version (compared byte by byte) is kept. A printer that does not answer
// is no model of its own: it fails later, when the settings are written.
bool ListCheck(const LinkFactory& links, std::vector<ListLine>& lines, std::string& model, std::string& version,
               int jobs = kDefaultJobs);

// The instance rules: every instance holds "NCONFIG Multi Boot Event", a
// list-mode instance also "NCONFIG Single Boot Event". A list-mode instance
// may not start beside any other; no instance beside a list-mode one.
class InstanceRules {
public:
    // 0 to go on, or 6004.
    int Enter(bool listMode);

private:
    qavplatform::NamedEvent multi_;
    qavplatform::NamedEvent single_;
};

// "%s ( %s_%s )" of the mode's title (B+1+mode), the port text and the address.
std::string WindowTitle(const qavres::StringTable& language, int base, int mode, const std::string& port,
                        const std::string& address);

} // namespace nconfig

// The system window's work without a window, for qavctl: export one
// printer's parameters into a file, and import a configuration-data file
// and apply it to printers, each as its own system window would (mode 2:
// every page of one printer), with the rules of the list mode (a printer
// that fails stays failed, with its reason). The printers are served at
// most `jobs` at a time; the results are in the order given and the same as
// one after another.
#pragma once

#include <string>
#include <vector>

#include "nconfig/Concurrent.h"
#include "nconfig/Document.h"
#include "nconfig/Printer.h"
#include "nconfig/StartUp.h"

namespace nconfig {

struct ExportRun {
    bool ok = false;
    std::string reason; // why not
    std::string model;
    std::string version;
};

// Reads the printer's pages and writes `path`: configuration data when the
// file name ends in ".qcd", the text format otherwise.
ExportRun ExportPrinter(const ToolResources& resources, const LinkFactory& links, const std::string& address,
                        const std::string& path);

struct ConfigRun {
    enum State { kWritten, kUnchanged, kFailed };
    std::string address;
    State state = kFailed;
    std::string reason;                 // kFailed: why
    std::string model;
    std::vector<std::string> written;   // kWritten: "key=value" of every value written
    int unchanged = 0;                  // values the printer holds already
    std::vector<SettingsDocument::ImportNote> skipped; // values not taken, with their outcome
};

std::vector<ConfigRun> ApplyConfigData(const ToolResources& resources, const LinkFactory& links,
                                       const std::string& fileText, const std::vector<std::string>& addresses,
                                       int jobs = kDefaultJobs);

} // namespace nconfig

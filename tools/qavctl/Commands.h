// The commands of qavctl. Each takes the words after its name and returns
// the exit status: 0 success, 1 the operation failed, 2 bad usage or input.
#pragma once

#include <string>
#include <vector>

namespace qavctl {

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    const char* usage;   // one line: arguments
    const char* summary; // one line: what it does
    int (*run)(const Args& args);
};

// Every command of the tool, in the order the help shows them.
const std::vector<Command>& AllCommands();

// Object access (get, next, set) and raw sending (send).
int RunGet(const Args& args);
int RunNext(const Args& args);
int RunSet(const Args& args);
int RunSend(const Args& args);

// The group file and the settings files (groups, config).
int RunGroups(const Args& args);
int RunConfig(const Args& args);

// Printer discovery and the device search (discover, search).
int RunDiscover(const Args& args);
int RunSearch(const Args& args);

// The environmental log (envlog).
int RunEnvlog(const Args& args);
// A printer's system parameters (params export, params apply).
int RunParams(const Args& args);
// Downloading a file into printers (load).
int RunLoad(const Args& args);
// The status monitor's pages and remote keys without a window (status, key).
int RunStatus(const Args& args);
int RunKey(const Args& args);

// Reports a usage error on stderr and returns 2.
int UsageError(const std::string& message);

} // namespace qavctl

// The commands of qavctl. Each takes the words after its name and returns
// the exit status: 0 success, 1 the operation failed, 2 bad usage or input.
#pragma once

#include <string>
#include <vector>

namespace qavctl {

using Args = std::vector<std::string>;

// What holds for every command: the words main takes before the command
// runs (--json may stand anywhere among the command's own words).
struct Output {
    bool json = false; // one JSON document on standard output (Json.h)
};

struct Command {
    const char* name;
    const char* usage;   // the arguments; a further line goes on (load) or is another form (params)
    const char* summary; // one line: what it does
    const char* details; // options and operands, one a line, for `help COMMAND`
    const char* example; // one or more command lines
    int (*run)(const Args& args, const Output& output);
};

// Every command of the tool, in the order the help shows them.
const std::vector<Command>& AllCommands();
// The command of that name, or nullptr.
const Command* FindCommand(const std::string& name);

// Object access (get, next, set), the object table (objects) and raw
// sending (send).
int RunGet(const Args& args, const Output& output);
int RunNext(const Args& args, const Output& output);
int RunSet(const Args& args, const Output& output);
int RunObjects(const Args& args, const Output& output);
int RunSend(const Args& args, const Output& output);

// The group file and the settings files (groups, config).
int RunGroups(const Args& args, const Output& output);
int RunConfig(const Args& args, const Output& output);

// Printer discovery and the device search (discover, search).
int RunDiscover(const Args& args, const Output& output);
int RunSearch(const Args& args, const Output& output);

// The environmental log (envlog).
int RunEnvlog(const Args& args, const Output& output);
// A printer's system parameters (params export, params apply).
int RunParams(const Args& args, const Output& output);
// Downloading a file into printers (load).
int RunLoad(const Args& args, const Output& output);
// The status monitor's pages and remote keys without a window (status, key).
int RunStatus(const Args& args, const Output& output);
int RunKey(const Args& args, const Output& output);

// Reports a usage error on stderr and returns 2.
int UsageError(const std::string& message);

} // namespace qavctl

// The status monitor as a program: its command line, the lock that keeps
// one process per printer, and the start of the system setting tool.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nstat {

// "nstat ADDRESS N": the printer's dotted address and the administrator
// mode (any N other than 0 turns it on). Both must be present.
struct CommandLine {
    uint32_t address = 0;
    bool administrator = false;
};
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out);

// "Surveillance_Monitor_Event" followed by the address as
// "%03d_%03d_%03d_%03d": held by the one status monitor of a printer.
std::string InstanceLockName(uint32_t address);

// Which printer commands are enabled (the others are grey): remote key and
// disconnection check only for the maker's printers, the check not for the
// M-PN1 and M-RA1; the system setting tool only for the maker's printers in
// administrator mode (also the device status page's Printer button); the
// device setting only in administrator mode.
struct CommandStates {
    bool remoteKey = false;
    bool disconnectionCheck = false;
    bool settingTool = false;
    bool deviceSetting = false;
};
CommandStates CommandStatesFor(bool maker, bool administrator, const std::string& modelText);

// The system setting tool for the printer: mode 3, port "SNMP", the
// address and, when there is one, the text of object 81 as last read.
inline constexpr const char* kSettingToolProgram = "nconfig";
std::vector<std::string> SettingToolArguments(uint32_t address, const std::string& deviceDescription);

} // namespace nstat

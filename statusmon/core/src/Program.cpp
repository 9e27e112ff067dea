#include "nstat/Program.h"

#include <cerrno>
#include <cstdlib>

#include "qavplatform/Address.h"

namespace nstat {

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& out)
{
    if (args.size() < 2) return false;
    uint32_t address = 0;
    if (!qavplatform::ParseAddress(args[0], address)) return false;
    const std::string& mode = args[1];
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(mode.c_str(), &end, 10);
    if (mode.empty() || *end != '\0' || errno == ERANGE) return false;
    out.address = address;
    out.administrator = n != 0;
    return true;
}

CommandStates CommandStatesFor(bool maker, bool administrator, const std::string& modelText)
{
    CommandStates s;
    s.remoteKey = maker;
    s.disconnectionCheck = maker && modelText != "VORANTA QAV M-PN1" && modelText != "VORANTA QAV M-RA1";
    s.settingTool = maker && administrator;
    s.deviceSetting = administrator;
    return s;
}

std::string InstanceLockName(uint32_t address)
{
    return "Surveillance_Monitor_Event" + qavplatform::AddressLockSuffix(address);
}

std::vector<std::string> SettingToolArguments(uint32_t address, const std::string& deviceDescription)
{
    std::vector<std::string> args = {"3", "SNMP", qavplatform::AddressText(address)};
    if (!deviceDescription.empty()) args.push_back(deviceDescription);
    return args;
}

} // namespace nstat

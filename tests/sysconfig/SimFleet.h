// What the tests of the system setting tool against the printer simulator
// share: a data folder of their own with the installation's settings, and
// net-snmp's snmpget to read back what was written.
#pragma once

#include <cstdlib>
#include <string>

#include "TestPeers.h"

namespace nconfigtest {

// Copies the installation's QNASys.ini and QAVMgmtConfig.INI into `dir` and
// makes it the data folder (QAV_DATA_DIR).
inline void UseDataFolder(const qavtest::TempDir& dir)
{
    ::setenv("QAV_DATA_DIR", dir.Path().c_str(), 1);
    for (const char* f : {"QNASys.ini", "QAVMgmtConfig.INI"})
        qavtest::WriteFile(dir.File(f), qavtest::ReadFile(std::string(QAV_SOURCE_DIR "/settings/initial/") + f));
}

// The value snmpget reads from a maker object at instance 0 ("9",
// "\"AB12FFFF\""), or its complaint.
inline std::string SnmpGetMaker(const std::string& address, int port, int object)
{
    std::string out = qavtest::RunCommand("snmpget -v1 -c kestra -Oqv -t 1 -r 1 " + address + ":" +
                                          std::to_string(port) + " 1.3.6.1.4.1.32473.1." + std::to_string(object) +
                                          ".0");
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

} // namespace nconfigtest

// What the environmental log says about the computer it runs on.
#pragma once

#include <cstdint>
#include <string>

namespace nwatch {

struct SystemInfo {
    std::string computerName;
    std::string userName;
    // The processor's brand string (the processor's own brand-string
    // instruction where it offers one, else /proc/cpuinfo); empty when
    // neither tells, and then processorFamily says what is known.
    std::string processor;
    int processorFamily = 0; // 3 (386), 4 (486), 5 (586); 0 unknown
    std::string osLine;      // "OS : " PRETTY_NAME of os-release, then " x64", " x86" or " IA64"
    int64_t totalMemory = 0;     // bytes
    int64_t availableMemory = 0; // bytes
};

// Reads all of it from this computer.
SystemInfo ReadSystemInfo();

// Pieces of ReadSystemInfo with their sources given, for the tests.
// The operating-system line from the text of an os-release file and the
// machine name of uname(2) ("x86_64", "i686", ...); "OS : Unknown" when the
// file names no PRETTY_NAME.
std::string OsLine(const std::string& osRelease, const std::string& machine);
// The brand string from the text of /proc/cpuinfo ("model name"), and the
// family ("cpu family") when there is no brand.
std::string CpuInfoBrand(const std::string& cpuinfo, int* family);
// "MemTotal" or "MemAvailable" of /proc/meminfo in bytes, -1 when missing.
int64_t MemInfoBytes(const std::string& meminfo, const std::string& key);

} // namespace nwatch

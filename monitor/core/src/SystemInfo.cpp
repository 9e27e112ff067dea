#include "nwatch/SystemInfo.h"

#include <pwd.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace nwatch {

namespace {

std::string ReadText(const char* path)
{
    std::ifstream in(path);
    if (!in) return std::string();
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string Trim(const std::string& s)
{
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return std::string();
    const size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// The value of "key<blanks>:<value>" lines (cpuinfo, meminfo); the first match.
bool FieldOf(const std::string& text, const std::string& key, std::string& value)
{
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos || Trim(line.substr(0, colon)) != key) continue;
        value = Trim(line.substr(colon + 1));
        return true;
    }
    return false;
}

// The processor's brand string by its own instruction (extended leaves
// 0x80000002-4), where it offers one.
std::string CpuidBrand()
{
#if defined(__x86_64__) || defined(__i386__)
    unsigned int regs[12] = {};
    if (__get_cpuid_max(0x80000000, nullptr) < 0x80000004) return std::string();
    for (unsigned int i = 0; i < 3; ++i) {
        __get_cpuid(0x80000002 + i, &regs[4 * i], &regs[4 * i + 1], &regs[4 * i + 2], &regs[4 * i + 3]);
    }
    char brand[49] = {};
    std::memcpy(brand, regs, 48);
    return Trim(brand);
#else
    return std::string();
#endif
}

std::string UserName()
{
    passwd pw{};
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &pw, buffer, sizeof buffer, &found) == 0 && found && found->pw_name)
        return found->pw_name;
    const char* user = std::getenv("USER");
    return user ? user : "";
}

} // namespace

std::string OsLine(const std::string& osRelease, const std::string& machine)
{
    std::string name;
    std::istringstream lines(osRelease);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
        name = Trim(line.substr(12));
        if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') && name.back() == name.front())
            name = name.substr(1, name.size() - 2);
    }
    if (name.empty()) return "OS : Unknown";
    std::string out = "OS : " + name;
    if (machine == "x86_64" || machine == "amd64") {
        out += " x64";
    } else if (machine.size() == 4 && machine[0] == 'i' && machine.compare(2, 2, "86") == 0) {
        out += " x86"; // i386 .. i686
    } else if (machine == "ia64") {
        out += " IA64";
    }
    return out;
}

std::string CpuInfoBrand(const std::string& cpuinfo, int* family)
{
    std::string value;
    if (family) *family = 0;
    if (FieldOf(cpuinfo, "model name", value) && !value.empty()) return value;
    if (family && FieldOf(cpuinfo, "cpu family", value)) *family = std::atoi(value.c_str());
    return std::string();
}

int64_t MemInfoBytes(const std::string& meminfo, const std::string& key)
{
    std::string value;
    if (!FieldOf(meminfo, key, value)) return -1;
    // "16310504 kB"
    return static_cast<int64_t>(std::strtoll(value.c_str(), nullptr, 10)) * 1024;
}

SystemInfo ReadSystemInfo()
{
    SystemInfo info;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0) info.computerName = host;
    info.userName = UserName();

    info.processor = CpuidBrand();
    if (info.processor.empty()) info.processor = CpuInfoBrand(ReadText("/proc/cpuinfo"), &info.processorFamily);

    std::string release = ReadText("/etc/os-release");
    if (release.empty()) release = ReadText("/usr/lib/os-release");
    utsname uts{};
    ::uname(&uts);
    info.osLine = OsLine(release, uts.machine);

    const std::string meminfo = ReadText("/proc/meminfo");
    info.totalMemory = MemInfoBytes(meminfo, "MemTotal");
    info.availableMemory = MemInfoBytes(meminfo, "MemAvailable");
    struct sysinfo si {};
    if ((info.totalMemory < 0 || info.availableMemory < 0) && ::sysinfo(&si) == 0) {
        if (info.totalMemory < 0) info.totalMemory = static_cast<int64_t>(si.totalram) * si.mem_unit;
        if (info.availableMemory < 0) info.availableMemory = static_cast<int64_t>(si.freeram) * si.mem_unit;
    }
    return info;
}

} // namespace nwatch

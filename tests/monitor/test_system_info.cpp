// The environmental log's system section on Linux: the operating-system
// line, the processor and the memory, from their sources and from this
// computer.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "TestPeers.h"
#include "nwatch/SystemInfo.h"

namespace {

using namespace nwatch;

TEST(SystemInfoSources, OperatingSystemLineFromOsRelease)
{
    const std::string debian = "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\nID=debian\n";
    EXPECT_EQ(OsLine(debian, "x86_64"), "OS : Debian GNU/Linux 12 (bookworm) x64");
    EXPECT_EQ(OsLine(debian, "i686"), "OS : Debian GNU/Linux 12 (bookworm) x86");
    EXPECT_EQ(OsLine(debian, "i386"), "OS : Debian GNU/Linux 12 (bookworm) x86");
    EXPECT_EQ(OsLine(debian, "ia64"), "OS : Debian GNU/Linux 12 (bookworm) IA64");
    EXPECT_EQ(OsLine(debian, "aarch64"), "OS : Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(OsLine("NAME=Plain\nPRETTY_NAME='Plain OS 1'\n", "x86_64"), "OS : Plain OS 1 x64");
    EXPECT_EQ(OsLine("PRETTY_NAME=Bare\n", "x86_64"), "OS : Bare x64");
    EXPECT_EQ(OsLine("NAME=\"No pretty name\"\n", "x86_64"), "OS : Unknown");
    EXPECT_EQ(OsLine("", "x86_64"), "OS : Unknown");
}

TEST(SystemInfoSources, ProcessorAndMemoryFromProc)
{
    int family = -1;
    EXPECT_EQ(CpuInfoBrand("processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\n"
                           "model name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\nprocessor\t: 1\n"
                           "model name\t: second\n",
                           &family),
              "Intel(R) Xeon(R) CPU @ 2.20GHz");
    EXPECT_EQ(family, 0);
    EXPECT_EQ(CpuInfoBrand("processor\t: 0\ncpu family\t: 5\n", &family), "");
    EXPECT_EQ(family, 5);
    EXPECT_EQ(MemInfoBytes("MemTotal:       16310504 kB\nMemFree:  1 kB\nMemAvailable:   9000000 kB\n", "MemTotal"),
              16310504LL * 1024);
    EXPECT_EQ(MemInfoBytes("MemTotal:       16310504 kB\nMemAvailable:   9000000 kB\n", "MemAvailable"),
              9000000LL * 1024);
    EXPECT_EQ(MemInfoBytes("MemTotal: 1 kB\n", "MemAvailable"), -1);
}

// This computer, each value against a source of the test's own.
TEST(SystemInfoHere, NamesMemoryAndSystemOfThisComputer)
{
    const SystemInfo info = ReadSystemInfo();
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    EXPECT_EQ(info.computerName, host);
    const passwd* pw = ::getpwuid(::getuid());
    ASSERT_NE(pw, nullptr);
    EXPECT_EQ(info.userName, pw->pw_name);

    const std::string release = qavtest::ReadFile("/etc/os-release");
    const size_t at = release.find("PRETTY_NAME=\"");
    ASSERT_NE(at, std::string::npos);
    const std::string pretty = release.substr(at + 13, release.find('"', at + 13) - at - 13);
    utsname uts{};
    ::uname(&uts);
    const std::string arch = std::string(uts.machine) == "x86_64" ? " x64" : "";
    if (std::string(uts.machine) == "x86_64") {
        EXPECT_EQ(info.osLine, "OS : " + pretty + arch);
    }
    EXPECT_EQ(info.osLine.rfind("OS : " + pretty, 0), 0u);

    // A brand string on the processors that have one (virtual machines may
    // give another than the kernel's "model name"), without blanks around.
    const std::string cpuinfo = qavtest::ReadFile("/proc/cpuinfo");
    if (cpuinfo.find("model name") != std::string::npos) {
        ASSERT_FALSE(info.processor.empty());
        EXPECT_NE(info.processor.front(), ' ');
        EXPECT_NE(info.processor.back(), ' ');
    }

    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    long long kb = 0, total = 0;
    std::string unit;
    while (meminfo >> key >> kb >> unit) {
        if (key == "MemTotal:") total = kb;
    }
    EXPECT_EQ(info.totalMemory, total * 1024);
    EXPECT_GT(info.availableMemory, 0);
    EXPECT_LE(info.availableMemory, info.totalMemory);
}

} // namespace

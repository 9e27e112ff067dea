#include "NwatchProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "qavsettings/Profile.h"

namespace qavtest {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

void WriteScript(const std::string& path, const std::string& text)
{
    WriteFile(path, text);
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
}

} // namespace

int FreeUdpPort()
{
    const int base = 20000 + static_cast<int>(::getpid() % 400) * 100;
    for (int port = base; port < base + 100; ++port) {
        int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<uint16_t>(port));
        sa.sin_addr.s_addr = htonl(INADDR_ANY);
        const bool free = ::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
        ::close(s);
        if (free) return port;
    }
    return -1;
}

std::string CaptureTrap(const std::string& versionAndCommunity, const std::string& rest)
{
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    if (::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        ::close(s);
        return std::string();
    }
    RunCommand("snmptrap -m '' " + versionAndCommunity + " 127.0.0.1:" + std::to_string(ntohs(sa.sin_port)) + " " +
               rest);
    timeval wait{2, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char buffer[65536];
    const ssize_t n = ::recv(s, buffer, sizeof buffer, 0);
    ::close(s);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

bool SendDatagrams(const std::string& from, int port, const std::string& datagram, int count)
{
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    bool ok = ::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; ok && i < count; ++i) {
        ok = ::sendto(s, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
             static_cast<ssize_t>(datagram.size());
    }
    ::close(s);
    return ok;
}

std::string GroupFileText(const std::vector<std::pair<std::string, std::string>>& printers)
{
    std::ostringstream g;
    g << "[Groups]\ncount=2\n[Group.0]\nname=All printers\nprinters=" << printers.size() << "\n";
    for (size_t i = 0; i < printers.size(); ++i) g << "prtindex." << i << "=" << printers[i].first << "\n";
    g << "[Group.1]\nname=QAV printers\nprinters=0\n[Printers]\ncount=" << printers.size() << "\n";
    for (size_t i = 0; i < printers.size(); ++i)
        g << "[Printer." << i << "]\nip=" << printers[i].first << "\nname=" << printers[i].second << "\n";
    return g.str();
}

void FillTrapLog(const std::string& path, size_t bytes)
{
    std::string text;
    for (int i = 0; text.size() <= bytes; ++i)
        text += "2026-01-01 00:00:00,127.0.0.1,Old printer,Paper jam,11,old-" + std::to_string(i) + ",,,0\n";
    WriteFile(path, text);
}

std::vector<std::string> AddressRun(const std::string& first, int count)
{
    in_addr a{};
    ::inet_pton(AF_INET, first.c_str(), &a);
    const uint32_t base = ntohl(a.s_addr);
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        in_addr next{htonl(base + static_cast<uint32_t>(i))};
        char text[INET_ADDRSTRLEN];
        ::inet_ntop(AF_INET, &next, text, sizeof text);
        out.push_back(text);
    }
    return out;
}

bool PrepareBurst(NwatchProcess& nwatch, PrinterSim& sim, int printers, BurstSetup& setup, std::string& error)
{
    setup.trapPort = FreeUdpPort();
    setup.snmpPort = PrepareAgentPort();
    const std::string first = LoopbackBlock();
    setup.addresses = AddressRun(first, printers);
    if (!sim.Start({"--count", std::to_string(printers), "--first", first, "--port", std::to_string(setup.snmpPort),
                    "--trap-to", "127.0.0.1:" + std::to_string(setup.trapPort), "--quiet"})) {
        error = "the simulator did not start:\n" + sim.Log();
        return false;
    }
    std::vector<std::pair<std::string, std::string>> listed;
    for (size_t i = 0; i < setup.addresses.size(); ++i)
        listed.emplace_back(setup.addresses[i], "Labeller " + std::to_string(i + 1));
    WriteFile(nwatch.DataFile("QAVGroupConfig.qdl"), GroupFileText(listed));
    nwatch.Set("QAVLogConfig.INI", "Trap", "ToBeLogged", "1");
    nwatch.Set("QAVLogConfig.INI", "Trap", "Error", "1");
    nwatch.Set("QAVLogConfig.INI", "Trap", "MaximumSize", "0");
    if (!nwatch.Start(setup.trapPort, setup.snmpPort)) {
        error = "nwatch did not start:\n" + nwatch.Log();
        return false;
    }
    return true;
}

NwatchProcess::NwatchProcess()
{
    const std::string root = root_.Path();
    fs::create_directories(root + "/bin");
    fs::create_directories(root + "/path");
    fs::create_directories(root + "/run");
    fs::permissions(root + "/run", fs::perms::owner_all);
    // A copy, not a link: the program's folder is the folder of the file
    // the system runs, and that is where the monitor looks for nstat.
    fs::copy_file(QAV_BINARY_DIR "/bin/nwatch", root + "/bin/nwatch");
    fs::permissions(root + "/bin/nwatch", fs::perms::owner_all);
    fs::create_directory_symlink(fs::canonical(QAV_BINARY_DIR "/lib"), root + "/lib");
    fs::create_directory_symlink(fs::canonical(QAV_BINARY_DIR "/share"), root + "/share");
    WriteScript(root + "/bin/nstat", "#!/bin/sh\necho \"$*\" >> '" + root + "/nstat.calls'\n");
    WriteScript(root + "/path/paplay", "#!/bin/sh\necho \"$*\" >> '" + root + "/sound.calls'\n");
    WriteScript(root + "/path/nstat", "#!/bin/sh\necho \"$*\" >> '" + root + "/path-nstat.calls'\n");

    data_ = root + "/data";
    RunCommand("QAV_DATA_DIR='" + data_ + "' " QAV_SOURCE_DIR "/scripts/install-data");
    Set("QAVMgmtConfig.INI", "Startup", "UseSystemDefault", "0");
    Set("QAVSurveyConfig.INI", "Polling", "Polling", "0");
    Set("QAVSurveyConfig.INI", "Polling", "Trap", "1");
}

void NwatchProcess::Set(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value)
{
    qavsettings::ProfileDocument doc;
    doc.Load(DataFile(file));
    doc.SetString(section, key, value);
    doc.Save(DataFile(file));
}

bool NwatchProcess::Launch(const std::map<std::string, std::string>& extra, const std::vector<std::string>& outer,
                           const std::string& before)
{
    const std::string root = root_.Path();
    std::map<std::string, std::string> env = {
        {"QAV_DATA_DIR", data_},
        {"QAV_TRACE", "1"},
        {"PATH", root + "/path:/usr/bin:/bin"},
        {"HOME", root},
        {"XDG_RUNTIME_DIR", root + "/run"},
    };
    for (const auto& [key, value] : env_) env[key] = value;
    std::string unset;
    for (const auto& [key, value] : extra) {
        if (value.empty()) {
            env.erase(key);
            unset += "unset " + key + "; ";
        } else {
            env[key] = value;
        }
    }
    ::unsetenv("QAV_RESOURCE_DIR");
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("QT_QPA_PLATFORM");
    // The monitor listens for the other programs' messages on the session
    // bus; it gets a private one, which ends with it. The shell between
    // tells the monitor's own process id and the address of that bus.
    const std::string pidFile = root + "/nwatch.pid";
    std::vector<std::string> argv = {"/bin/sh", "-c",
                                     unset + before + "echo $$ > '" + pidFile + "'; echo \"$DBUS_SESSION_BUS_ADDRESS\" > '" +
                                         root + "/bus'; exec '" + root + "/bin/nwatch'"};
    argv.insert(argv.begin(), outer.begin(), outer.end());
    if (HaveProgram("dbus-run-session")) argv.insert(argv.begin(), {"dbus-run-session", "--"});
    ::unlink(pidFile.c_str());
    ::unlink((root + "/nwatch.log").c_str());
    pid_ = -1;
    if (!process_.Start(argv, root + "/nwatch.log", env)) return false;
    started_ = true;
    return true;
}

std::string NwatchProcess::BusAddress() const
{
    std::string address = ReadFile(root_.Path() + "/bus");
    while (!address.empty() && (address.back() == '\n' || address.back() == ' ')) address.pop_back();
    return address;
}

bool NwatchProcess::Start(int trapPort, int snmpPort, int timeoutMs)
{
    if (!Launch({{"QAV_TRAP_PORT", std::to_string(trapPort)}, {"QAV_SNMP_PORT", std::to_string(snmpPort)}}, {}, ""))
        return false;
    const std::string pidFile = root_.Path() + "/nwatch.pid";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!LogLines("nwatch: monitoring ").empty()) {
            pid_ = std::atoi(ReadFile(pidFile).c_str());
            if (pid_ > 0) return true;
        }
        if (!process_.Running()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool NwatchProcess::Begin(const std::map<std::string, std::string>& env)
{
    if (!Launch(env, {}, "")) return false;
    const std::string pidFile = root_.Path() + "/nwatch.pid";
    for (int i = 0; i < 250; ++i) {
        pid_ = std::atoi(ReadFile(pidFile).c_str());
        if (pid_ > 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

int NwatchProcess::Wait(int timeoutMs)
{
    const int rc = process_.Wait(timeoutMs);
    if (rc != -1) started_ = false;
    return rc;
}

int NwatchProcess::RunToEnd(const std::map<std::string, std::string>& env, int timeoutMs,
                            const std::vector<std::string>& outer, const std::string& before)
{
    if (!Launch(env, outer, before)) return -1;
    const int rc = process_.Wait(timeoutMs);
    started_ = false;
    if (rc == -1) process_.Stop();
    return rc;
}

int NwatchProcess::Stop()
{
    if (!started_) return -1;
    started_ = false;
    if (!process_.Running()) return -1;
    if (pid_ > 0) ::kill(pid_, SIGTERM); // the monitor; its session bus ends after it
    const int rc = process_.Wait(10000);
    process_.Stop();
    return rc;
}

std::vector<std::string> NwatchProcess::LogLines(const std::string& prefix) const
{
    std::vector<std::string> out;
    for (std::string& line : SplitLines(Log()))
        if (line.rfind(prefix, 0) == 0) out.push_back(std::move(line));
    return out;
}

bool NwatchProcess::WaitForLines(const std::string& prefix, size_t count, int timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (LogLines(prefix).size() < count) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::vector<std::string> NwatchProcess::TrapLogLines() const { return SplitLines(ReadFile(DataFile("QAVTrapLog.log"))); }
std::vector<std::string> NwatchProcess::NstatCalls() const { return SplitLines(ReadFile(root_.File("nstat.calls"))); }
std::vector<std::string> NwatchProcess::SoundCalls() const { return SplitLines(ReadFile(root_.File("sound.calls"))); }
std::vector<std::string> NwatchProcess::PathNstatCalls() const
{
    return SplitLines(ReadFile(root_.File("path-nstat.calls")));
}

} // namespace qavtest

#include "TestPeers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace qavtest {

namespace fs = std::filesystem;

ChildProcess::~ChildProcess() { Stop(); }

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& logPath,
                         const std::map<std::string, std::string>& env)
{
    Stop();
    logPath_ = logPath;
    pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        ::setpgid(0, 0);
        int fd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            ::close(fd);
        }
        int devnull = ::open("/dev/null", O_RDONLY);
        if (devnull >= 0) ::dup2(devnull, 0);
        for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        std::fprintf(stderr, "exec %s: %s\n", args[0], std::strerror(errno));
        ::_exit(127);
    }
    pid_ = pid;
    return true;
}

bool ChildProcess::Running()
{
    if (pid_ <= 0) return false;
    int status = 0;
    pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
        pid_ = -1;
        return false;
    }
    return true;
}

int ChildProcess::Wait(int timeoutMs)
{
    if (pid_ <= 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void ChildProcess::Stop()
{
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGTERM);
    ::kill(pid_, SIGTERM);
    if (Wait(3000) == -1 && pid_ > 0) {
        ::kill(-pid_, SIGKILL);
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
}

std::string ChildProcess::Log() const { return logPath_.empty() ? std::string() : ReadFile(logPath_); }

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "qavtest-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const char* p = ::mkdtemp(buf.data());
    path_ = p ? p : "/tmp";
    ::chmod(path_.c_str(), 0755);
}

TempDir::~TempDir()
{
    std::error_code ec;
    if (path_ != "/tmp") fs::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string LoopbackAddress(int slot)
{
    const unsigned pid = static_cast<unsigned>(::getpid());
    const unsigned a = 10 + (pid / 250) % 240;
    const unsigned b = 1 + pid % 250;
    return "127." + std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(slot);
}

std::string LoopbackBlock()
{
    const unsigned pid = static_cast<unsigned>(::getpid());
    return "127." + std::to_string(250 + pid % 5) + "." + std::to_string(((pid / 5) % 50) * 5) + ".1";
}

bool SendDatagramFrom(int socket, const sockaddr_in& to, uint32_t from, const void* data, size_t size)
{
    char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    iovec iov{const_cast<void*>(data), size};
    msghdr msg{};
    msg.msg_name = const_cast<sockaddr_in*>(&to);
    msg.msg_namelen = sizeof to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst.s_addr = htonl(from);
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    return ::sendmsg(socket, &msg, 0) == static_cast<ssize_t>(size);
}

std::string RunCommand(const std::string& commandLine, bool withErrors)
{
    const std::string cmd = commandLine + (withErrors ? " 2>&1" : " 2>/dev/null");
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return std::string();
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    // net-snmp's tools announce the persistent folder they create on their
    // first run on a machine; that line says nothing about the command.
    const std::string created = "Created directory: ";
    for (size_t at = out.find(created); at != std::string::npos; at = out.find(created, at)) {
        if (at != 0 && out[at - 1] != '\n') { at += created.size(); continue; }
        const size_t end = out.find('\n', at);
        out.erase(at, end == std::string::npos ? std::string::npos : end - at + 1);
    }
    return out;
}

bool PrinterSim::Start(const std::vector<std::string>& args, int timeoutMs)
{
    control_ = dir_.File("control");
    std::vector<std::string> argv = {QAV_BINARY_DIR "/bin/qav-printer-sim", "--no-stdin", "--control", control_};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string log = dir_.File("sim.log");
    if (!process_.Start(argv, log)) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadFile(log).find("\nready\n") != std::string::npos && ::access(control_.c_str(), F_OK) == 0)
            return true;
        if (!process_.Running()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::vector<uint32_t> PrinterSim::Addresses()
{
    std::vector<uint32_t> addresses;
    const std::string list = Command("list");
    size_t pos = 0;
    while (pos < list.size()) {
        const size_t end = list.find('\n', pos);
        const std::string line = list.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        in_addr a{};
        if (line.rfind("127.", 0) == 0 && ::inet_pton(AF_INET, line.substr(0, line.find(' ')).c_str(), &a) == 1)
            addresses.push_back(ntohl(a.s_addr));
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return addresses;
}

std::string PrinterSim::Command(const std::string& line)
{
    sockaddr_un sa{};
    sa.sun_family = AF_UNIX;
    std::strncpy(sa.sun_path, control_.c_str(), sizeof sa.sun_path - 1);
    // A busy simulator on a loaded machine may not take the connection at
    // once (full listen queue, socket being set up): try again for a few
    // seconds before giving up.
    int s = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) break;
        const int err = errno;
        ::close(s);
        if ((err != EAGAIN && err != ECONNREFUSED && err != ENOENT) || std::chrono::steady_clock::now() > deadline)
            return "error: no control socket";
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const std::string msg = line + "\n";
    if (::write(s, msg.data(), msg.size()) < 0) {
        ::close(s);
        return "error: write";
    }
    std::string answer;
    char buf[4096];
    pollfd p{s, POLLIN, 0};
    // The answer ends with its "ok"/"error" line.
    while (::poll(&p, 1, 5000) > 0) {
        ssize_t n = ::read(s, buf, sizeof buf);
        if (n <= 0) break;
        answer.append(buf, static_cast<size_t>(n));
        const size_t last = answer.rfind('\n', answer.size() - 2);
        const std::string tail = answer.substr(last == std::string::npos ? 0 : last + 1);
        if (!answer.empty() && answer.back() == '\n' && (tail.rfind("ok", 0) == 0 || tail.rfind("error", 0) == 0)) break;
    }
    ::close(s);
    while (!answer.empty() && answer.back() == '\n') answer.pop_back();
    return answer;
}

int PrepareAgentPort()
{
    if (::geteuid() == 0) {
        ::unsetenv("QAV_SNMP_PORT");
        return 161;
    }
    ::setenv("QAV_SNMP_PORT", "16161", 1);
    return 16161;
}

bool HaveProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::stringstream ss(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(ss, dir, ':')) {
        if (::access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    }
    return false;
}

bool WaitForAgent(const std::string& address, int port, const std::string& community, int timeoutMs)
{
    // SNMPv2c GET of sysDescr.0, encoded by hand.
    std::string pdu = std::string("\x02\x01\x01\x02\x01\x00\x02\x01\x00", 9);
    const std::string vb = std::string("\x30\x0c\x06\x08\x2b\x06\x01\x02\x01\x01\x01\x00\x05\x00", 14);
    pdu += std::string("\x30", 1) + static_cast<char>(vb.size()) + vb;
    std::string body = std::string("\x02\x01\x01", 3) + "\x04" + static_cast<char>(community.size()) + community +
                       std::string("\xa0", 1) + static_cast<char>(pdu.size()) + pdu;
    const std::string msg = std::string("\x30", 1) + static_cast<char>(body.size()) + body;

    int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) return false;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool ok = false;
    while (!ok && std::chrono::steady_clock::now() < deadline) {
        ::sendto(s, msg.data(), msg.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        pollfd p{s, POLLIN, 0};
        if (::poll(&p, 1, 200) > 0) {
            char buf[2048];
            ok = ::recv(s, buf, sizeof buf, 0) > 0;
        }
    }
    ::close(s);
    return ok;
}

bool SnmpSimAgent::Start(const std::string& address, int port, const std::map<std::string, std::string>& recordings)
{
    const std::string data = dir_.File("data");
    const std::string cache = dir_.File("cache");
    fs::create_directories(data);
    fs::create_directories(cache);
    ::chmod(data.c_str(), 0755);
    ::chmod(cache.c_str(), 0777);
    std::string firstCommunity;
    for (const auto& [community, content] : recordings) {
        const std::string file = data + "/" + community + ".snmprec";
        WriteFile(file, content);
        ::chmod(file.c_str(), 0644);
        if (firstCommunity.empty()) firstCommunity = community;
    }
    std::vector<std::string> argv = {"snmpsimd",
                                     "--data-dir=" + data,
                                     "--cache-dir=" + cache,
                                     "--variation-modules-dir=/usr/share/snmpsim/variation",
                                     "--agent-udpv4-endpoint=" + address + ":" + std::to_string(port),
                                     "--logging-method=stderr"};
    if (::geteuid() == 0) {
        argv.push_back("--process-user=nobody");
        argv.push_back("--process-group=nogroup");
    }
    if (!process_.Start(argv, dir_.File("snmpsimd.log"))) return false;
    return WaitForAgent(address, port, firstCommunity, 20000);
}

bool SnmpdAgent::Start(const std::string& address, int port, const std::string& extraConfig)
{
    const std::string conf = dir_.File("snmpd.conf");
    WriteFile(conf, "agentaddress udp:" + address + ":" + std::to_string(port) +
                        "\n"
                        "rwcommunity kestra 127.0.0.0/8\n"
                        "rocommunity public 127.0.0.0/8\n"
                        "sysServices 72\n" +
                        extraConfig);
    std::vector<std::string> argv = {"snmpd", "-f", "-C", "-c", conf, "-Lo", "-p", dir_.File("snmpd.pid"),
                                     "-M", "/nonexistent", "-m", ""};
    std::map<std::string, std::string> env = {{"SNMPCONFPATH", dir_.Path()}, {"SNMP_PERSISTENT_DIR", dir_.Path()}};
    if (!process_.Start(argv, dir_.File("snmpd.log"), env)) return false;
    return WaitForAgent(address, port, "kestra", 10000);
}

} // namespace qavtest

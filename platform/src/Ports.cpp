#include "qavplatform/Ports.h"

#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace qavplatform {

namespace {

int PortFromEnv(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    if (!v || !*v) return fallback;
    char* end = nullptr;
    errno = 0;
    const long port = std::strtol(v, &end, 10);
    if (errno || *end || port < 1 || port > 65535) return fallback;
    return static_cast<int>(port);
}

// The socket inodes of the UDP sockets bound to the port (any address).
std::set<unsigned long> UdpInodesOnPort(int port)
{
    std::set<unsigned long> inodes;
    std::ifstream in("/proc/net/udp");
    std::string line;
    std::getline(in, line); // the heading
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string slot, local, remote, state, queues, timer, retr, uid, timeout;
        unsigned long inode = 0;
        s >> slot >> local >> remote >> state >> queues >> timer >> retr >> uid >> timeout >> inode;
        const size_t colon = local.find(':');
        if (colon == std::string::npos) continue;
        if (std::strtol(local.c_str() + colon + 1, nullptr, 16) == port && inode != 0) inodes.insert(inode);
    }
    return inodes;
}

bool ThisProcessHolds(const std::set<unsigned long>& inodes)
{
    if (inodes.empty()) return false;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir) return false;
    bool found = false;
    while (dirent* e = ::readdir(dir)) {
        char link[64] = {};
        const std::string path = std::string("/proc/self/fd/") + e->d_name;
        const ssize_t n = ::readlink(path.c_str(), link, sizeof link - 1);
        if (n <= 0) continue;
        unsigned long inode = 0;
        if (std::sscanf(link, "socket:[%lu]", &inode) == 1 && inodes.count(inode)) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

} // namespace

int SnmpAgentPort() { return PortFromEnv("QAV_SNMP_PORT", 161); }
int TrapPort() { return PortFromEnv("QAV_TRAP_PORT", 162); }

TrapPortState CheckTrapPort(int port, std::string* why)
{
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        if (why) *why = std::strerror(errno);
        return TrapPortState::kUnavailable;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool bound = ::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    const int err = errno;
    ::close(s);
    if (bound) return TrapPortState::kFree;
    if (err == EADDRINUSE && ThisProcessHolds(UdpInodesOnPort(port))) return TrapPortState::kThisProcess;
    if (why) *why = "UDP port " + std::to_string(port) + ": " + std::strerror(err);
    return TrapPortState::kUnavailable;
}

} // namespace qavplatform

// Discovery under a burst: one request, answered at once by N printers (as
// a broadcast on a large network is), from N loopback addresses of this
// process's own block. Prints, for each N, how many answers the search
// found and how long the answering took, and the receive buffer this user
// gets for the search socket.
//
//   discovery_burst_bench [N ...]      (default 2000 5000 10000 20000)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "TestPeers.h"
#include "ncomm/CQBPSearch.h"
#include "ncomm/QBPResult.h"

namespace {

using Clock = std::chrono::steady_clock;

// The answer to the discovery request: SNMPv1 GetResponse, community
// kestra, request id 1, sysObjectID.0 = 1.3.6.1.4.1.32473.2.1.
const unsigned char kAnswer[] = {0x30, 0x30, 0x02, 0x01, 0x00, 0x04, 0x06, 'k',  'e',  's',  't',  'r',  'a',
                                 0xA2, 0x23, 0x02, 0x01, 0x01, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x18,
                                 0x30, 0x16, 0x06, 0x08, 0x2B, 0x06, 0x01, 0x02, 0x01, 0x01, 0x02, 0x00, 0x06,
                                 0x0A, 0x2B, 0x06, 0x01, 0x04, 0x01, 0x81, 0xFD, 0x59, 0x02, 0x01};

// One burst of `printers` answers; the number found.
int Burst(int printers, double& sendMs)
{
    const int peer = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    ::bind(peer, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    socklen_t len = sizeof sa;
    ::getsockname(peer, reinterpret_cast<sockaddr*>(&sa), &len);
    ::setenv("QAV_SNMP_PORT", std::to_string(ntohs(sa.sin_port)).c_str(), 1);
    in_addr block{};
    ::inet_pton(AF_INET, qavtest::LoopbackBlock().c_str(), &block);
    const uint32_t first = ntohl(block.s_addr);

    std::thread answering([&] {
        pollfd p{peer, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) return;
        unsigned char request[512];
        sockaddr_in searcher{};
        socklen_t searcherLength = sizeof searcher;
        ::recvfrom(peer, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&searcher), &searcherLength);
        const auto start = Clock::now();
        for (int i = 0; i < printers; ++i)
            qavtest::SendDatagramFrom(peer, searcher, first + static_cast<uint32_t>(i), kAnswer, sizeof kAnswer);
        sendMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    });
    CQBPSearch search;
    const std::string to = qavtest::LoopbackAddress(1);
    int found = -1;
    if (search.SearchPrinter("1.3.6.1.2.1.1.2.0", 3, to.c_str()) == 0) {
        while (search.SearchGetResult() == QBP_SEARCH_RUNNING) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        found = search.SearchGetSize();
    }
    answering.join();
    ::close(peer);
    return found;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {2000, 5000, 10000, 20000};

    const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int room = 8 * 1024 * 1024;
    const bool forced = ::setsockopt(probe, SOL_SOCKET, SO_RCVBUFFORCE, &room, sizeof room) == 0;
    if (!forced) ::setsockopt(probe, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    int granted = 0;
    socklen_t length = sizeof granted;
    ::getsockopt(probe, SOL_SOCKET, SO_RCVBUF, &granted, &length);
    ::close(probe);
    std::printf("receive buffer of the search socket: %d bytes (%s)\n", granted,
                forced ? "beyond net.core.rmem_max: CAP_NET_ADMIN" : "up to net.core.rmem_max");
    for (int n : sizes) {
        double sendMs = 0;
        const int found = Burst(n, sendMs);
        std::printf("burst of %6d answers, sent in %7.1f ms: %6d found (%.1f %%)\n", n, sendMs, found,
                    100.0 * found / n);
    }
    return 0;
}

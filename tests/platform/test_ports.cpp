// The SNMP ports and the trap-port check: the one place that reads
// QAV_SNMP_PORT and QAV_TRAP_PORT.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cstdlib>
#include <string>

#include "qavplatform/Ports.h"

namespace {

TEST(Ports, WholeNumbersFromOneTo65535MoveThePorts)
{
    ::unsetenv("QAV_SNMP_PORT");
    ::unsetenv("QAV_TRAP_PORT");
    EXPECT_EQ(qavplatform::SnmpAgentPort(), 161);
    EXPECT_EQ(qavplatform::TrapPort(), 162);
    ::setenv("QAV_SNMP_PORT", "16161", 1);
    ::setenv("QAV_TRAP_PORT", "1", 1);
    EXPECT_EQ(qavplatform::SnmpAgentPort(), 16161);
    EXPECT_EQ(qavplatform::TrapPort(), 1);
    ::setenv("QAV_TRAP_PORT", "65535", 1);
    EXPECT_EQ(qavplatform::TrapPort(), 65535);
    // Anything else leaves the standard port: never half a number.
    for (const char* bad : {"", "0", "65536", "-162", "abc", "1620x", "16 2", "0x10", "99999999999999999999"}) {
        ::setenv("QAV_SNMP_PORT", bad, 1);
        ::setenv("QAV_TRAP_PORT", bad, 1);
        EXPECT_EQ(qavplatform::SnmpAgentPort(), 161) << bad;
        EXPECT_EQ(qavplatform::TrapPort(), 162) << bad;
    }
    ::unsetenv("QAV_SNMP_PORT");
    ::unsetenv("QAV_TRAP_PORT");
}

TEST(Ports, TrapPortCheckTellsOurReceiverFromSomeoneElses)
{
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    socklen_t len = sizeof sa;
    ASSERT_EQ(::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len), 0);
    const int port = ntohs(sa.sin_port);
    EXPECT_EQ(qavplatform::CheckTrapPort(port), qavplatform::TrapPortState::kThisProcess);
    ::close(s);
    EXPECT_EQ(qavplatform::CheckTrapPort(port), qavplatform::TrapPortState::kFree);

    // Held by another process.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const int c = ::socket(AF_INET, SOCK_DGRAM, 0);
        ::bind(c, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        char b = 1;
        (void)::write(ready[1], &b, 1);
        ::pause();
        ::_exit(0);
    }
    char b = 0;
    ASSERT_EQ(::read(ready[0], &b, 1), 1);
    std::string why;
    EXPECT_EQ(qavplatform::CheckTrapPort(port, &why), qavplatform::TrapPortState::kUnavailable);
    EXPECT_NE(why.find("UDP port " + std::to_string(port)), std::string::npos) << why;
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

} // namespace

// Broadcast discovery, run only inside network namespaces of the test's
// own: namespace A holds this test (re-run inside it) and an snmpsim agent,
// namespace B another snmpsim agent, joined by a veth pair on 10.201.0.0/24. No
// datagram of these cases can reach a real network. Without namespaces
// (not root, no `ip`, no kernel support) the case is skipped.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <net/if.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "TestPeers.h"
#include "ncomm/CQBPSearch.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"

namespace {

const char* const kInsideVar = "QAV_SEARCH_TEST_NETNS";
const char* const kSysObjectId = "1.3.6.1.2.1.1.2.0";
const char* const kAddressA = "10.201.0.1";
const char* const kAddressB = "10.201.0.2";
const char* const kDirected = "10.201.0.255";
const char* const kVethA = "qavb0";
const char* const kVethB = "qavb1";

const char* const kRecording =
    "1.3.6.1.2.1.1.1.0|4|VORANTA M-UG2W label printer\n"
    "1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.32473.1\n";

// Runs a command to its end; its exit status, or -1.
int Run(const std::vector<std::string>& argv, const std::string& log, int timeoutMs = 20000)
{
    qavtest::ChildProcess p;
    if (!p.Start(argv, log)) return -1;
    return p.Wait(timeoutMs);
}

std::string Dotted(unsigned long result)
{
    const auto* b = reinterpret_cast<const unsigned char*>(&result);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
}

std::vector<std::string> Found(CQBPSearch& s)
{
    std::vector<std::string> out;
    for (int i = 0; i < s.SearchGetSize(); ++i) out.push_back(Dotted(s.SearchGetAt(i)));
    std::sort(out.begin(), out.end());
    return out;
}

int WaitEnd(CQBPSearch& s, int limitMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    int st;
    while ((st = s.SearchGetResult()) == QBP_SEARCH_RUNNING && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return st;
}

// The two namespaces with the veth pair between them, removed again with
// the object.
class Namespaces {
public:
    explicit Namespaces(const qavtest::TempDir& dir) : dir_(dir)
    {
        const std::string id = std::to_string(::getpid());
        a_ = "qavsearchA" + id;
        b_ = "qavsearchB" + id;
    }
    ~Namespaces()
    {
        agentB_.Stop();
        if (haveA_) Run({"ip", "netns", "del", a_}, dir_.File("del-a.log"));
        if (haveB_) Run({"ip", "netns", "del", b_}, dir_.File("del-b.log"));
    }
    // Empty on success, else what failed.
    std::string Create()
    {
        const std::string log = dir_.File("ip.log");
        if (Run({"ip", "netns", "add", a_}, log) != 0) return "ip netns add: " + qavtest::ReadFile(log);
        haveA_ = true;
        if (Run({"ip", "netns", "add", b_}, log) != 0) return "ip netns add: " + qavtest::ReadFile(log);
        haveB_ = true;
        const std::vector<std::vector<std::string>> steps = {
            {"ip", "-n", a_, "link", "add", kVethA, "type", "veth", "peer", "name", kVethB, "netns", b_},
            {"ip", "-n", a_, "link", "set", "lo", "up"},
            {"ip", "-n", b_, "link", "set", "lo", "up"},
            {"ip", "-n", a_, "addr", "add", std::string(kAddressA) + "/24", "brd", "+", "dev", kVethA},
            {"ip", "-n", b_, "addr", "add", std::string(kAddressB) + "/24", "brd", "+", "dev", kVethB},
            {"ip", "-n", a_, "link", "set", kVethA, "up"},
            {"ip", "-n", b_, "link", "set", kVethB, "up"},
            // The limited broadcast 255.255.255.255 leaves by the default route.
            {"ip", "-n", a_, "route", "add", "default", "dev", kVethA},
        };
        for (const auto& step : steps) {
            if (Run(step, log) != 0) return step[3] + " " + step[4] + ": " + qavtest::ReadFile(log);
        }
        return {};
    }
    // snmpsim in namespace B on every address, community kestra. (net-snmp's
    // snmpd answers a directed broadcast from the broadcast address itself,
    // which the kernel refuses, so it cannot stand in for a printer here.)
    bool StartAgentB()
    {
        const std::string data = dir_.File("data-b");
        const std::string cache = dir_.File("cache-b");
        std::filesystem::create_directories(data);
        std::filesystem::create_directories(cache);
        ::chmod(data.c_str(), 0755);
        ::chmod(cache.c_str(), 0777);
        qavtest::WriteFile(data + "/kestra.snmprec", kRecording);
        ::chmod((data + "/kestra.snmprec").c_str(), 0644);
        return agentB_.Start({"ip", "netns", "exec", b_, "snmpsimd", "--data-dir=" + data, "--cache-dir=" + cache,
                              "--variation-modules-dir=/usr/share/snmpsim/variation",
                              "--agent-udpv4-endpoint=0.0.0.0:161", "--logging-method=stderr",
                              "--process-user=nobody", "--process-group=nogroup"},
                             dir_.File("snmpsim-b.log"));
    }
    const std::string& A() const { return a_; }
    std::string AgentLog() const { return agentB_.Log(); }

private:
    const qavtest::TempDir& dir_;
    std::string a_, b_;
    bool haveA_ = false, haveB_ = false;
    qavtest::ChildProcess agentB_;
};

TEST(SearchBroadcast, FindsTheHostsOfItsOwnNamespaces)
{
    if (std::getenv(kInsideVar)) GTEST_SKIP() << "runs outside the namespaces only";
    if (::geteuid() != 0) GTEST_SKIP() << "network namespaces need root; broadcast is never sent on a real network";
    if (!qavtest::HaveProgram("ip")) GTEST_SKIP() << "iproute2 (ip) is not installed";
    if (!qavtest::HaveProgram("snmpsimd")) GTEST_SKIP() << "snmpsimd is not installed";
    qavtest::TempDir dir;
    Namespaces ns(dir);
    const std::string problem = ns.Create();
    if (!problem.empty()) GTEST_SKIP() << "network namespaces are not available: " << problem;
    ASSERT_TRUE(ns.StartAgentB());

    char self[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    qavtest::ChildProcess inside;
    ASSERT_TRUE(inside.Start({"ip", "netns", "exec", ns.A(), self, "--gtest_also_run_disabled_tests",
                              "--gtest_filter=SearchBroadcastInside.*"},
                             dir.File("inside.log"), {{kInsideVar, ns.A()}}));
    const int rc = inside.Wait(90000);
    if (rc == -1) inside.Stop();
    const std::string log = inside.Log();
    EXPECT_EQ(rc, 0) << log << "\nagent in B:\n" << ns.AgentLog();
    EXPECT_NE(log.find("[  PASSED  ] 3 tests"), std::string::npos) << log;
}

// ---------------------------------------------------------------------------
// The cases inside namespace A (disabled in normal runs: the case above
// starts them there).

class SearchBroadcastInside : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv(kInsideVar), nullptr) << "runs inside the test's own network namespace only";
        // Refuse to broadcast anywhere but in the namespace built above: it
        // holds the loopback device and our veth end and nothing else.
        struct if_nameindex* names = ::if_nameindex();
        ASSERT_NE(names, nullptr);
        std::vector<std::string> interfaces;
        for (struct if_nameindex* n = names; n->if_index != 0; ++n) interfaces.push_back(n->if_name);
        ::if_freenameindex(names);
        std::sort(interfaces.begin(), interfaces.end());
        ASSERT_EQ(interfaces, (std::vector<std::string>{"lo", kVethA}));

        port_ = qavtest::PrepareAgentPort();
        ASSERT_EQ(port_, 161);
        ASSERT_TRUE(agentA_.Start("0.0.0.0", port_, {{"kestra", kRecording}})) << agentA_.Log();
        ASSERT_TRUE(qavtest::WaitForAgent(kAddressB, port_, "kestra", 15000)) << "agent in namespace B";
    }

    qavtest::SnmpSimAgent agentA_;
    int port_ = 0;
};

TEST_F(SearchBroadcastInside, DISABLED_DirectedBroadcastFindsBothAgents)
{
    CQBPSearch s;
    ASSERT_EQ(s.SearchPrinter(kSysObjectId, 1, kDirected), 0);
    EXPECT_EQ(s.SearchGetResult(), QBP_SEARCH_RUNNING);
    EXPECT_EQ(WaitEnd(s, 5000), 0);
    EXPECT_EQ(Found(s), (std::vector<std::string>{kAddressA, kAddressB}));
}

TEST_F(SearchBroadcastInside, DISABLED_NoAddressMeansTheLimitedBroadcast)
{
    CQBPSearch s;
    ASSERT_EQ(s.SearchPrinter(std::string(kSysObjectId), 1, nullptr), 0);
    EXPECT_EQ(WaitEnd(s, 5000), 0);
    EXPECT_EQ(Found(s), (std::vector<std::string>{kAddressA, kAddressB}));
    ASSERT_EQ(s.SearchPrinter(kSysObjectId, 1, static_cast<const char*>(nullptr)), 0);
    EXPECT_EQ(WaitEnd(s, 5000), 0);
    EXPECT_EQ(s.SearchGetSize(), 2);
}

TEST_F(SearchBroadcastInside, DISABLED_RangeEndsEarlyWhenADatagramCannotBeSent)
{
    // A range socket may not broadcast: the subnet's broadcast address
    // cannot be sent to and ends the search at once, with what was found.
    CQBPSearch s;
    std::vector<std::string> ranges = {std::string(kAddressA) + "-" + kDirected, "10.201.1.1-10.201.1.9"};
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(s.SingleSearchPrinter(kSysObjectId, 10, &ranges), 0);
    QBPSetLastError(0);
    EXPECT_EQ(WaitEnd(s, 8000), QBP_SEND_REQUEST);
    EXPECT_EQ(QBPGetLastError(), EACCES);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8));
    EXPECT_EQ(Found(s), (std::vector<std::string>{kAddressA, kAddressB}));
}

} // namespace

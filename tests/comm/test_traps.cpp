// Trap reception: net-snmp's snmptrap and the printer simulator send real
// traps to the library's receiver on a loopback trap port of this test's own.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "Ber.h"
#include "TestPeers.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"

namespace {

int TrapPort()
{
    static const int port = 20000 + static_cast<int>(::getpid() % 20000);
    return port;
}

struct Received {
    std::string sender, enterprise;
    int generic = -1, specific = -1;
    CQBPVb bindings;
};

// Collects what the all-traps callback hands over.
struct Collector {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<Received> traps;

    static void Callback(int, const char* sender, int generic, int specific, char* enterprise, CQBPVb& list, void* self)
    {
        auto* c = static_cast<Collector*>(self);
        Received r;
        r.sender = sender;
        r.generic = generic;
        r.specific = specific;
        r.enterprise = enterprise;
        r.bindings.Copy(list);
        std::lock_guard<std::mutex> lock(c->mutex);
        c->traps.push_back(std::move(r));
        c->cv.notify_all();
    }
    bool WaitFor(size_t n, int ms = 5000)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return traps.size() >= n; });
    }
};

// snmptrap from a given loopback source address.
void SendTrap(const std::string& from, const std::string& args)
{
    const std::string cmd = "snmptrap -M /nonexistent -m '' --clientaddr=" + from + " " + args;
    const std::string out = qavtest::RunCommand(cmd, true);
    ASSERT_TRUE(out.empty()) << cmd << "\n" << out;
}

std::string Target() { return "127.0.0.1:" + std::to_string(TrapPort()); }

class Traps : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("QAV_TRAP_PORT", std::to_string(TrapPort()).c_str(), 1); }
};

TEST_F(Traps, AllTrapsReachTheCallbackClassified)
{
    int rc;
    CQBPTrans t(rc, 1);
    Collector c;
    ASSERT_EQ(t.StartAllTrap(&Collector::Callback, &c), 0);
    EXPECT_EQ(t.StartAllTrap(&Collector::Callback, &c), QBP_TRAP_ALREADY_STARTED);
    CQBPTrans other(rc, 1);
    ASSERT_EQ(other.Open(0, "127.0.0.1"), 0);
    CQBPEvent ev;
    EXPECT_EQ(other.StartTrap(&ev), QBP_TRAP_ALREADY_STARTED);

    const std::string from = qavtest::LoopbackAddress(21);
    // Version 1 coldStart with one binding.
    SendTrap(from, "-v1 -c public " + Target() + " 1.3.6.1.4.1.32473 '' 0 0 '' 1.3.6.1.2.1.1.5.0 s printer-a");
    // Version 1 enterprise-specific 12 and 99.
    SendTrap(from, "-v1 -c public " + Target() + " 1.3.6.1.4.1.32473 '' 6 12 ''");
    SendTrap(from, "-v1 -c public " + Target() + " 1.3.6.1.4.1.32473 '' 6 99 ''");
    // Version 2c: the notification ending in 5.8, and an enterprise one with
    // detail bindings and the enterprise binding last.
    SendTrap(from, "-v2c -c public " + Target() + " '' 1.3.6.1.6.3.1.1.5.8");
    SendTrap(from, "-v2c -c public " + Target() + " '' 1.3.6.1.4.1.32473.0.11 1.3.6.1.4.1.32473.1.20961.0 i 11 "
                   "1.3.6.1.4.1.32473.1.20981.0 s 'Paper jam' 1.3.6.1.6.3.1.1.4.3.0 o 1.3.6.1.4.1.32473");
    ASSERT_TRUE(c.WaitFor(5)) << c.traps.size();

    const Received& cold = c.traps[0];
    EXPECT_EQ(cold.sender, from);
    EXPECT_EQ(cold.generic, 0);
    EXPECT_EQ(cold.specific, 0);
    EXPECT_EQ(cold.enterprise, "1.3.6.1.4.1.32473");
    ASSERT_EQ(cold.bindings.GetSize(), 1); // without a trailing enterprise binding
    EXPECT_EQ(cold.bindings.ValueAt(0), "printer-a");

    EXPECT_EQ(c.traps[1].generic, 6);
    EXPECT_EQ(c.traps[1].specific, 12);
    EXPECT_EQ(c.traps[1].bindings.GetSize(), 0);
    EXPECT_EQ(c.traps[2].generic, 7);
    EXPECT_EQ(c.traps[2].specific, 99);
    EXPECT_EQ(c.traps[3].generic, 7);
    EXPECT_EQ(c.traps[3].specific, 99);
    EXPECT_EQ(c.traps[3].enterprise, "");

    const Received& v2 = c.traps[4];
    EXPECT_EQ(v2.generic, 6);
    EXPECT_EQ(v2.specific, 11);
    EXPECT_EQ(v2.enterprise, "1.3.6.1.4.1.32473");
    ASSERT_EQ(v2.bindings.GetSize(), 2); // sysUpTime, snmpTrapOID and the enterprise are not bindings
    EXPECT_EQ(v2.bindings.OidAt(0), "1.3.6.1.4.1.32473.1.20961.0");
    EXPECT_EQ(v2.bindings.ValueAt(1), "Paper jam");

    t.Close();
    // Reception stopped: the port is free again and a new start works.
    CQBPTrans again(rc, 1);
    EXPECT_EQ(again.StartAllTrap(&Collector::Callback, &c), 0);
}

TEST_F(Traps, EachSessionGetsTheTrapsOfItsOwnPrinter)
{
    const std::string a = qavtest::LoopbackAddress(22), b = qavtest::LoopbackAddress(23);
    int rc;
    CQBPTrans sa(rc, 1), sb(rc, 1), closed(rc, 1), tcp(rc, 1);
    ASSERT_EQ(sa.Open(0, a), 0);
    ASSERT_EQ(sb.Open(0, b), 0);
    CQBPEvent ea, eb;
    EXPECT_EQ(closed.StartTrap(&ea), QBP_NOT_OPEN);
    ASSERT_EQ(sa.StartTrap(&ea), 0);
    EXPECT_EQ(sa.StartTrap(&ea), QBP_TRAP_ALREADY_STARTED);
    ASSERT_EQ(sb.StartTrap(&eb), 0);
    Collector c;
    CQBPTrans all(rc, 1);
    EXPECT_EQ(all.StartAllTrap(&Collector::Callback, &c), QBP_TRAP_ALREADY_STARTED);

    int g = 0, s = 0;
    char ent[64];
    CQBPVb list;
    EXPECT_EQ(sa.GetTrap(g, s, ent, sizeof ent, list), QBP_NOT_AVAILABLE);

    SendTrap(a, "-v1 -c public " + Target() + " 1.3.6.1.4.1.32473 '' 6 13 '' 1.3.6.1.4.1.32473.1.20961.0 i 13");
    SendTrap(b, "-v2c -c public " + Target() + " '' 1.3.6.1.6.3.1.1.5.2");
    SendTrap(qavtest::LoopbackAddress(24), "-v1 -c public " + Target() + " 1.3.6.1.4.1.32473 '' 6 14 ''");
    ASSERT_TRUE(ea.Wait(5000));
    ASSERT_TRUE(eb.Wait(5000));

    EXPECT_EQ(sa.GetTrap(g, s, ent, 5, list), QBP_BUFFER_TOO_SMALL); // stays waiting
    ASSERT_EQ(sa.GetTrap(g, s, ent, sizeof ent, list), 0);
    EXPECT_EQ(g, 6);
    EXPECT_EQ(s, 13);
    EXPECT_STREQ(ent, "1.3.6.1.4.1.32473");
    ASSERT_EQ(list.GetSize(), 1);
    EXPECT_EQ(list.ValueAt(0), "13");
    EXPECT_EQ(sa.GetTrap(g, s, ent, sizeof ent, list), QBP_NOT_AVAILABLE);
    EXPECT_FALSE(ea.IsSet());

    ASSERT_EQ(sb.GetTrap(g, s, ent, sizeof ent, list), 0);
    EXPECT_EQ(g, 1);
    EXPECT_STREQ(ent, "");

    // Closing one session keeps the other receiving.
    sa.Close();
    SendTrap(b, "-v1 -c public " + Target() + " 1.3.6.1.4.1.32473 '' 6 24 ''");
    ASSERT_TRUE(eb.Wait(5000));
    ASSERT_EQ(sb.GetTrap(g, s, ent, sizeof ent, list), 0);
    EXPECT_EQ(s, 24);
    sb.Close();
    // Both closed: the receiver is gone and all traps may start.
    EXPECT_EQ(all.StartAllTrap(&Collector::Callback, &c), 0);
}

TEST_F(Traps, SlowOwnerNeverHoldsUpTheOthers)
{
    const std::string a = qavtest::LoopbackAddress(25), b = qavtest::LoopbackAddress(26);
    int rc;
    CQBPEvent ea, eb; // outlive the sessions, which signal them until closed
    CQBPTrans sa(rc, 1), sb(rc, 1);
    ASSERT_EQ(sa.Open(0, a), 0);
    ASSERT_EQ(sb.Open(0, b), 0);
    ASSERT_EQ(sa.StartTrap(&ea), 0);
    ASSERT_EQ(sb.StartTrap(&eb), 0);
    for (int i = 0; i < 3; ++i) SendTrap(a, "-v1 -c public " + Target() + " 1.3.6.1.4.1.32473 '' 6 " + std::to_string(30 + i) + " ''");
    SendTrap(b, "-v1 -c public " + Target() + " 1.3.6.1.4.1.32473 '' 6 40 ''");
    // a never fetched; b's trap arrives anyway.
    ASSERT_TRUE(eb.Wait(3000));
    int g, s;
    char ent[64];
    CQBPVb list;
    // a's traps wait for it in order.
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(sa.GetTrap(g, s, ent, sizeof ent, list), 0);
        EXPECT_EQ(s, 30 + i);
    }
}

// net-snmp's snmpinform waits for the answer to its inform and repeats it
// until one comes (here every two seconds, three times).
TEST_F(Traps, InformIsAnsweredAtOnceAndHandledOnce)
{
    int rc;
    CQBPTrans t(rc, 1);
    Collector c;
    ASSERT_EQ(t.StartAllTrap(&Collector::Callback, &c), 0);
    const std::string from = qavtest::LoopbackAddress(29);
    const auto started = std::chrono::steady_clock::now();
    const std::string out = qavtest::RunCommand(
        "snmpinform -M /nonexistent -m '' -t 2 -r 3 --clientaddr=" + from + " -v2c -c public " + Target() +
            " '' 1.3.6.1.4.1.32473.0.11 1.3.6.1.4.1.32473.1.20961.0 i 11; echo exit=$?",
        true);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_NE(out.find("exit=0"), std::string::npos) << out;
    EXPECT_EQ(out.find("Timeout"), std::string::npos) << out;
    EXPECT_LT(took, std::chrono::milliseconds(1800)) << out; // answered, not repeated
    ASSERT_TRUE(c.WaitFor(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(2500)); // long enough for a repeat
    std::lock_guard<std::mutex> lock(c.mutex);
    ASSERT_EQ(c.traps.size(), 1u);
    EXPECT_EQ(c.traps[0].sender, from);
    EXPECT_EQ(c.traps[0].generic, 6);
    EXPECT_EQ(c.traps[0].specific, 11);
}

// An inform whose answer was lost comes again with the same request id: it
// is answered again but handed over once.
TEST_F(Traps, RepeatedInformIsAnsweredAgainButHandledOnce)
{
    int rc;
    CQBPTrans t(rc, 1);
    Collector c;
    ASSERT_EQ(t.StartAllTrap(&Collector::Callback, &c), 0);
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in self{};
    self.sin_family = AF_INET;
    ::inet_pton(AF_INET, qavtest::LoopbackAddress(30).c_str(), &self.sin_addr);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&self), sizeof self), 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(TrapPort()));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    auto inform = [](int32_t requestId, uint32_t specific) {
        qavsim::Message m;
        m.version = 1;
        m.community = "public";
        m.pduType = qavsim::kInformRequest;
        m.requestId = requestId;
        m.varbinds = {{{1, 3, 6, 1, 2, 1, 1, 3, 0}, qavsim::Value::Unsigned(qavsim::kTimeTicks, 100)},
                      {{1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}, qavsim::Value::ObjectId({1, 3, 6, 1, 4, 1, 32473, 0, specific})}};
        return qavsim::Encode(m);
    };
    // The answer to one datagram: its request id, or -1 when none comes.
    auto exchange = [&](const std::string& datagram) -> long {
        ::sendto(s, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        pollfd p{s, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) return -1;
        uint8_t buf[2048];
        const ssize_t n = ::recv(s, buf, sizeof buf, 0);
        const auto answer = qavsim::Decode(buf, n > 0 ? static_cast<size_t>(n) : 0);
        return answer && answer->pduType == qavsim::kGetResponse ? answer->requestId : -2;
    };
    EXPECT_EQ(exchange(inform(4242, 13)), 4242);
    EXPECT_EQ(exchange(inform(4242, 13)), 4242); // the repeat
    EXPECT_EQ(exchange(inform(4243, 14)), 4243); // a new inform
    ::close(s);
    ASSERT_TRUE(c.WaitFor(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::lock_guard<std::mutex> lock(c.mutex);
    ASSERT_EQ(c.traps.size(), 2u);
    EXPECT_EQ(c.traps[0].specific, 13);
    EXPECT_EQ(c.traps[1].specific, 14);
}

TEST_F(Traps, BusyTrapPortIsReported)
{
    int blocker = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(TrapPort()));
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(::bind(blocker, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    int rc;
    CQBPTrans t(rc, 1);
    Collector c;
    const int r = t.StartAllTrap(&Collector::Callback, &c);
    EXPECT_TRUE(r == -121 || r == -122) << r;
    EXPECT_EQ(QBPGetLastError(), r);
    ::close(blocker);
    EXPECT_EQ(t.StartAllTrap(&Collector::Callback, &c), 0); // a failed start left nothing behind
}

TEST_F(Traps, SimulatedPrinterTrapsCarryTheDetailBindings)
{
    const int port = qavtest::PrepareAgentPort();
    const std::string printer = qavtest::LoopbackAddress(27);
    qavtest::TempDir dir;
    qavtest::WriteFile(dir.File("fleet"), "[printer]\naddress = " + printer + "\n[printer]\naddress = " +
                                              qavtest::LoopbackAddress(28) + "\ntrap-version = 2c\n");
    qavtest::PrinterSim sim;
    ASSERT_TRUE(sim.Start({"--fleet", dir.File("fleet"), "--port", std::to_string(port), "--trap-to", Target()}))
        << sim.Log();
    int rc;
    CQBPTrans t(rc, 1);
    Collector c;
    ASSERT_EQ(t.StartAllTrap(&Collector::Callback, &c), 0);
    EXPECT_EQ(sim.Command("event " + printer + " paper-jam text1=\"Jam at sensor 2\""), "ok");
    EXPECT_EQ(sim.Command("event " + qavtest::LoopbackAddress(28) + " head-open"), "ok");
    ASSERT_TRUE(c.WaitFor(2));
    for (const Received& r : c.traps) {
        EXPECT_EQ(r.generic, 6);
        EXPECT_EQ(r.enterprise, "1.3.6.1.4.1.32473");
    }
    EXPECT_EQ(c.traps[0].sender, printer);
    EXPECT_EQ(c.traps[0].specific, 11);
    EXPECT_EQ(c.traps[1].specific, 15);
    EXPECT_EQ(c.traps[0].bindings.GetSize(), c.traps[1].bindings.GetSize()); // v1 and v2c alike
}

// A whole fleet reporting at once: 1,000 traps sent back to back while the
// callback takes its time with each; none may be dropped by the receiver.
TEST_F(Traps, BurstFromAFleetIsReceivedWhole)
{
    const int port = qavtest::PrepareAgentPort();
    const std::string first = qavtest::LoopbackBlock();
    qavtest::PrinterSim sim;
    ASSERT_TRUE(sim.Start({"--count", "40", "--first", first, "--port", std::to_string(port), "--trap-to", Target(),
                           "--quiet"}))
        << sim.Log();
    int rc;
    CQBPTrans t(rc, 1);
    struct Slow : Collector {
        static void Callback(int a, const char* s, int g, int sp, char* e, CQBPVb& l, void* self)
        {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
            Collector::Callback(a, s, g, sp, e, l, self);
        }
    } c;
    ASSERT_EQ(t.StartAllTrap(&Slow::Callback, &c), 0);
    for (int round = 0; round < 25; ++round) ASSERT_EQ(sim.Command("event all paper-jam"), "ok");
    EXPECT_TRUE(c.WaitFor(1000, 10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::lock_guard<std::mutex> lock(c.mutex);
    EXPECT_EQ(c.traps.size(), 1000u);
}

} // namespace

// The simulator against net-snmp's own tools: snmpget, snmpset, snmpwalk
// and snmptrapd are the peers; nothing of ours is on the other side.
#include <gtest/gtest.h>

#include <thread>

#include "TestPeers.h"

namespace {

using qavtest::RunCommand;

class SimPeers : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        port_ = qavtest::PrepareAgentPort();
        base_ = qavtest::LoopbackAddress(0);
        base_.pop_back(); // "127.a.b."
        trapAddress_ = base_ + "200";
        trapPort_ = 16200 + static_cast<int>(::getpid() % 500);
        fleet_ = new qavtest::TempDir;
        qavtest::WriteFile(fleet_->File("fleet.txt"),
                           "[printer]\naddress = " + base_ + "11\nmodel = QAV M-UG2\nname = Line 1\n"
                           "location = Hall A\nserial = QS1001\n"
                           "[printer]\naddress = " + base_ + "12\nmodel = QAV MC-1200\nname = Line 2\ntrap-version = 2c\n"
                           "community = secret\n"
                           "[printer]\naddress = " + base_ + "13\nkind = standard\nmodel = Laser\nname = Office\n"
                           "[printer]\naddress = " + base_ + "14\nrecording = zebra-tlp2824plus.snmprec\n"
                           "[printer]\naddress = " + base_ + "15\nmodel = QAV M-UG2\nname = Old firmware\n"
                           "lenient-get = 1\n");
        sim_ = new qavtest::PrinterSim;
        started_ = sim_->Start({"--fleet", fleet_->File("fleet.txt"), "--port", std::to_string(port_), "--trap-to",
                                trapAddress_ + ":" + std::to_string(trapPort_)});
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete fleet_;
    }
    void SetUp() override { ASSERT_TRUE(started_) << sim_->Log(); }

    static std::string Peer(const std::string& host) { return host + ":" + std::to_string(port_); }
    static std::string Get(const std::string& args)
    {
        return RunCommand("snmpget -On -t 1 -r 1 -M /nonexistent -m '' " + args, true);
    }

    static inline qavtest::PrinterSim* sim_ = nullptr;
    static inline qavtest::TempDir* fleet_ = nullptr;
    static inline std::string base_, trapAddress_;
    static inline int port_ = 0, trapPort_ = 0;
    static inline bool started_ = false;
};

TEST_F(SimPeers, MakersPrinterAnswersStandardObjects)
{
    const std::string out = Get("-v1 -c kestra " + Peer(base_ + "11") +
                                " 1.3.6.1.2.1.1.5.0 1.3.6.1.2.1.1.2.0 1.3.6.1.2.1.25.3.2.1.2.1 1.3.6.1.2.1.25.3.5.1.1.1");
    EXPECT_NE(out.find("STRING: \"Line 1\""), std::string::npos) << out;
    EXPECT_NE(out.find("OID: .1.3.6.1.4.1.32473."), std::string::npos) << out;
    EXPECT_NE(out.find("OID: .1.3.6.1.2.1.25.3.1.5"), std::string::npos) << out;
    EXPECT_NE(out.find("INTEGER: 3"), std::string::npos) << out;
}

// A maker's printer answers as snmpd does: a GET needs the instance.
TEST_F(SimPeers, MakersPrinterGetNeedsTheInstance)
{
    const std::string model = "1.3.6.1.4.1.32473.1.20101"; // short model name, no instance
    const std::string v1 = Get("-v1 -c kestra " + Peer(base_ + "11") + " " + model);
    EXPECT_NE(v1.find("noSuchName"), std::string::npos) << v1;
    EXPECT_EQ(v1.find("M-UG2"), std::string::npos) << v1;
    const std::string v2 = Get("-v2c -c kestra " + Peer(base_ + "11") + " " + model + " " + model + ".7");
    EXPECT_NE(v2.find(model + " = No Such Instance"), std::string::npos) << v2;
    EXPECT_NE(v2.find(model + ".7 = No Such Instance"), std::string::npos) << v2;
    const std::string nothing = Get("-v2c -c kestra " + Peer(base_ + "11") + " 1.3.6.1.4.1.32473.9.9.9");
    EXPECT_NE(nothing.find("No Such Object"), std::string::npos) << nothing;
    EXPECT_NE(Get("-v2c -c kestra " + Peer(base_ + "11") + " " + model + ".0").find("\"M-UG2\""),
              std::string::npos);

    // The fleet key keeps the lenient GET of older firmware.
    const std::string lenient = Get("-v1 -c kestra " + Peer(base_ + "15") + " " + model);
    EXPECT_NE(lenient.find(model + ".0 = STRING: \"M-UG2\""), std::string::npos) << lenient;
}

TEST_F(SimPeers, CommunitiesArePerPrinter)
{
    EXPECT_NE(Get("-v2c -c kestra " + Peer(base_ + "12") + " 1.3.6.1.2.1.1.5.0").find("Timeout"), std::string::npos);
    EXPECT_NE(Get("-v2c -c secret " + Peer(base_ + "12") + " 1.3.6.1.2.1.1.5.0").find("Line 2"), std::string::npos);
}

TEST_F(SimPeers, SetIsKeptAndReadOnlyIsRefused)
{
    const std::string set = RunCommand("snmpset -On -t 1 -M /nonexistent -m '' -v2c -c kestra " + Peer(base_ + "13") +
                                           " 1.3.6.1.2.1.1.6.0 s 'Room 12'",
                                       true);
    EXPECT_NE(set.find("Room 12"), std::string::npos) << set;
    EXPECT_NE(Get("-v2c -c kestra " + Peer(base_ + "13") + " 1.3.6.1.2.1.1.6.0").find("Room 12"), std::string::npos);
    const std::string ro = RunCommand("snmpset -On -t 1 -M /nonexistent -m '' -v2c -c kestra " + Peer(base_ + "13") +
                                          " 1.3.6.1.2.1.1.1.0 s x",
                                      true);
    EXPECT_NE(ro.find("notWritable"), std::string::npos) << ro;
}

TEST_F(SimPeers, RecordedPrinterWalksLikeTheRealOne)
{
    const std::string walk = RunCommand("snmpwalk -On -t 1 -M /nonexistent -m '' -v2c -c kestra " + Peer(base_ + "14") +
                                            " 1.3.6.1.2.1.25.3.2.1.2",
                                        true);
    EXPECT_NE(walk.find(".1.3.6.1.2.1.25.3.2.1.2.1 = OID: .1.3.6.1.2.1.25.3.1.5"), std::string::npos) << walk;
    EXPECT_NE(Get("-v1 -c kestra " + Peer(base_ + "14") + " 1.3.6.1.2.1.1.1.0").find("ZebraNet"), std::string::npos);
}

TEST_F(SimPeers, DownPrinterStopsAnswering)
{
    EXPECT_EQ(sim_->Command("down " + base_ + "13"), "ok");
    EXPECT_NE(Get("-v2c -c kestra " + Peer(base_ + "13") + " 1.3.6.1.2.1.1.5.0").find("Timeout"), std::string::npos);
    EXPECT_EQ(sim_->Command("up " + base_ + "13"), "ok");
    EXPECT_NE(Get("-v2c -c kestra " + Peer(base_ + "13") + " 1.3.6.1.2.1.1.5.0").find("Office"), std::string::npos);
}

TEST_F(SimPeers, StatusChangesTheStandardObjects)
{
    ASSERT_EQ(sim_->Command("status " + base_ + "11 paper-jam"), "ok");
    const std::string out = Get("-v2c -c kestra " + Peer(base_ + "11") +
                                " 1.3.6.1.2.1.25.3.5.1.1.1 1.3.6.1.2.1.25.3.5.1.2.1 1.3.6.1.2.1.43.16.5.1.2.1.1");
    EXPECT_NE(out.find("INTEGER: 1"), std::string::npos) << out;
    EXPECT_NE(out.find("Hex-STRING: 04"), std::string::npos) << out; // jammed
    EXPECT_EQ(sim_->Command("status " + base_ + "11 online"), "ok");
    EXPECT_EQ(sim_->Command("status " + base_ + "11 melted").rfind("error", 0), 0u);
    EXPECT_EQ(sim_->Command("status 127.0.0.0 online").rfind("error", 0), 0u);
}

TEST_F(SimPeers, TrapsReachSnmptrapdFromThePrintersAddress)
{
    qavtest::TempDir dir;
    qavtest::WriteFile(dir.File("snmptrapd.conf"), "disableAuthorization yes\n");
    qavtest::ChildProcess trapd;
    ASSERT_TRUE(trapd.Start({"snmptrapd", "-f", "-Lo", "-C", "-c", dir.File("snmptrapd.conf"), "-On", "-M",
                             "/nonexistent", "-m", "", "udp:" + trapAddress_ + ":" + std::to_string(trapPort_)},
                            dir.File("trapd.log")));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(sim_->Command("event " + base_ + "11 paper-jam text1=\"Jam at sensor 2\""), "ok");
    EXPECT_EQ(sim_->Command("event " + base_ + "12 head-open"), "ok");
    EXPECT_EQ(sim_->Command("trap " + base_ + "11 1 0"), "ok");
    std::string log;
    for (int i = 0; i < 50; ++i) {
        log = trapd.Log();
        if (log.find("Warm Start") != std::string::npos && log.find("32473.0.15") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_NE(log.find("[" + base_ + "11]:" + std::to_string(port_)), std::string::npos) << log;
    EXPECT_NE(log.find("TRAP, SNMP v1"), std::string::npos) << log;
    EXPECT_NE(log.find(".1.3.6.1.4.1.32473 Enterprise Specific Trap (11)"), std::string::npos) << log;
    EXPECT_NE(log.find(".1.3.6.1.6.3.1.1.4.1.0 = OID: .1.3.6.1.4.1.32473.0.15"), std::string::npos) << log;
    EXPECT_NE(log.find("Warm Start"), std::string::npos) << log;
}

TEST(SimFleetSize, AThousandPrintersStartAndAnswer)
{
    const int port = qavtest::PrepareAgentPort();
    qavtest::PrinterSim sim;
    const std::string first = qavtest::LoopbackBlock();
    ASSERT_TRUE(sim.Start({"--count", "1000", "--first", first, "--port", std::to_string(port), "--quiet"}, 60000))
        << sim.Log();
    EXPECT_NE(sim.Log().find("serving 1000 printers"), std::string::npos);
    const std::string list = sim.Command("list");
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 1000);
    // The last printer of the run answers too.
    const std::string lastLine = list.substr(list.rfind('\n', list.size() - 4) + 1);
    const std::string last = lastLine.substr(0, lastLine.find(' '));
    const std::string out = RunCommand("snmpget -On -t 1 -M /nonexistent -m '' -v2c -c kestra " + last + ":" +
                                           std::to_string(port) + " 1.3.6.1.2.1.1.5.0",
                                       true);
    EXPECT_NE(out.find("Labeller 1000"), std::string::npos) << out << last;
}

} // namespace

// SNMP object access against real agents on loopback: snmpsim serving test
// recordings (and a real printer's recording), and net-snmp's snmpd.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "TestPeers.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"

namespace {

const char* const kRecording =
    "1.3.6.1.2.1.1.1.0|4|QAV test printer\n"
    "1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.32473.1\n"
    "1.3.6.1.2.1.1.3.0|67|12345\n"
    "1.3.6.1.2.1.1.5.0|4:writecache|value=printer-1\n"
    "1.3.6.1.2.1.1.6.0|2:writecache|value=5\n"
    "1.3.6.1.2.1.2.2.1.5.1|66|100000000\n"
    "1.3.6.1.2.1.2.2.1.10.1|65|4294967295\n"
    "1.3.6.1.2.1.4.20.1.1.127.0.0.1|64|127.0.0.1\n"
    "1.3.6.1.2.1.25.3.5.1.1.1|2|3\n"
    "1.3.6.1.2.1.31.1.1.1.6.1|70|18446744073709551615\n"
    "1.3.6.1.2.1.99.1.0|4x|410042\n"
    "1.3.6.1.2.1.99.2.0|4x|410d42\n";

std::string ZebraRecording()
{
    return qavtest::ReadFile(QAV_SOURCE_DIR "/tests/data/snmprec/zebra-tlp2824plus.snmprec");
}

class SnmpAgent : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!qavtest::HaveProgram("snmpsimd")) return;
        port_ = qavtest::PrepareAgentPort();
        address_ = qavtest::LoopbackAddress(1);
        sim_ = new qavtest::SnmpSimAgent;
        std::map<std::string, std::string> recordings = {{"kestra", kRecording}};
        const std::string zebra = ZebraRecording();
        if (!zebra.empty()) recordings["zebra"] = zebra;
        started_ = sim_->Start(address_, port_, recordings);
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        sim_ = nullptr;
    }
    void SetUp() override
    {
        if (!qavtest::HaveProgram("snmpsimd")) GTEST_SKIP() << "snmpsimd is not installed";
        ASSERT_TRUE(started_) << sim_->Log();
    }

    // A session of the given SNMP version on the agent.
    std::unique_ptr<CQBPTrans> Session(int version)
    {
        int rc = 0;
        auto t = std::make_unique<CQBPTrans>(rc, version);
        EXPECT_EQ(t->Open(0, address_.c_str()), 0);
        return t;
    }

    static inline qavtest::SnmpSimAgent* sim_ = nullptr;
    static inline std::string address_;
    static inline int port_ = 0;
    static inline bool started_ = false;
};

TEST_F(SnmpAgent, GetReturnsTypedValues)
{
    auto t = Session(2);
    CQBPVb req, res;
    for (const char* oid : {"1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.2.0", "1.3.6.1.2.1.1.3.0", "1.3.6.1.2.1.2.2.1.5.1",
                            "1.3.6.1.2.1.4.20.1.1.127.0.0.1", "1.3.6.1.2.1.25.3.5.1.1.1", "1.3.6.1.2.1.31.1.1.1.6.1"})
        req.Add(oid, 5, "");
    ASSERT_EQ(t->GetObject(req, res), 0);
    ASSERT_EQ(res.GetSize(), 7);
    EXPECT_EQ(res.OidAt(0), "1.3.6.1.2.1.1.1.0");
    EXPECT_EQ(res.GetType(0), 4);
    EXPECT_EQ(res.ValueAt(0), "QAV test printer");
    EXPECT_EQ(res.GetType(1), 6);
    EXPECT_EQ(res.ValueAt(1), "1.3.6.1.4.1.32473.1");
    EXPECT_EQ(res.GetType(2), 67);
    EXPECT_EQ(res.ValueAt(2), "12345");
    EXPECT_EQ(res.GetType(3), 66);
    EXPECT_EQ(res.ValueAt(3), "100000000");
    EXPECT_EQ(res.GetType(4), 64);
    EXPECT_EQ(res.ValueAt(4), "127.0.0.1");
    EXPECT_EQ(res.GetType(5), 2);
    EXPECT_EQ(res.ValueAt(5), "3");
    EXPECT_EQ(res.GetType(6), 70);
    EXPECT_EQ(res.ValueAt(6), "-1");
    unsigned low = 0, high = 0;
    char oid[64];
    int type = 0;
    EXPECT_EQ(res.Get(6, oid, sizeof oid, type, low, high), 0);
    EXPECT_EQ(low, 0xFFFFFFFFu);
    EXPECT_EQ(high, 0xFFFFFFFFu);
}

TEST_F(SnmpAgent, Counter32AllOnesIsStoredAsMinusOne)
{
    auto t = Session(1);
    CQBPVb req, res;
    req.Add("1.3.6.1.2.1.2.2.1.10.1", 5, "");
    ASSERT_EQ(t->GetObject(req, res), 0);
    ASSERT_EQ(res.GetSize(), 1);
    EXPECT_EQ(res.GetType(0), 65);
    EXPECT_EQ(res.ValueAt(0), "-1");
    char oid[64];
    int type = 0;
    unsigned v = 0;
    EXPECT_EQ(res.Get(0, oid, sizeof oid, type, v), 0);
    EXPECT_EQ(v, 4294967295u);
}

TEST_F(SnmpAgent, OctetStringsWithAnInnerZeroComeBackAsHexDump)
{
    auto t = Session(2);
    CQBPVb req, res;
    req.Add("1.3.6.1.2.1.99.1.0", 5, "");
    req.Add("1.3.6.1.2.1.99.2.0", 5, "");
    ASSERT_EQ(t->GetObject(req, res), 0);
    ASSERT_EQ(res.GetSize(), 2);
    EXPECT_EQ(res.ValueAt(0), "41 00 42");
    EXPECT_EQ(res.ValueAt(1), "A\rB");
}

TEST_F(SnmpAgent, GetNextAnswersTheFollowingObject)
{
    auto t = Session(2);
    CQBPVb req, res;
    req.Add("1.3.6.1.2.1.1.1.0", 5, "");
    req.Add("1.3.6.1.2.1.25.3.5.1.1", 5, "");
    ASSERT_EQ(t->GetNextObject(req, res), 0);
    ASSERT_EQ(res.GetSize(), 2);
    EXPECT_EQ(res.OidAt(0), "1.3.6.1.2.1.1.2.0");
    EXPECT_EQ(res.OidAt(1), "1.3.6.1.2.1.25.3.5.1.1.1");
    EXPECT_EQ(res.ValueAt(1), "3");
}

TEST_F(SnmpAgent, SetIsKeptByTheAgent)
{
    auto t = Session(2);
    CQBPVb req, res;
    req.Add("1.3.6.1.2.1.1.5.0", 4, "renamed-printer");
    ASSERT_EQ(t->SetObject(req, res), 0);
    ASSERT_EQ(res.GetSize(), 1);
    EXPECT_EQ(res.GetType(0), 4);
    CQBPVb get, back;
    get.Add("1.3.6.1.2.1.1.5.0", 5, "");
    ASSERT_EQ(t->GetObject(get, back), 0);
    EXPECT_EQ(back.ValueAt(0), "renamed-printer");
}

TEST_F(SnmpAgent, NullBindingIsSentAsIntegerZero)
{
    auto t = Session(2);
    CQBPVb set, res;
    set.Add("1.3.6.1.2.1.1.6.0", 5, "");
    ASSERT_EQ(t->SetObject(set, res), 0);
    CQBPVb get, back;
    get.Add("1.3.6.1.2.1.1.6.0", 5, "");
    ASSERT_EQ(t->GetObject(get, back), 0);
    EXPECT_EQ(back.GetType(0), 2);
    EXPECT_EQ(back.ValueAt(0), "0");
}

TEST_F(SnmpAgent, Version1ErrorMarksTheFailingAndLaterBindings)
{
    auto t = Session(1);
    CQBPVb req, res;
    req.Add("1.3.6.1.2.1.1.9.0", 5, "");
    req.Add("1.3.6.1.2.1.1.1.0", 5, "");
    req.Add("1.3.6.1.2.1.1.5.0", 5, "");
    ASSERT_EQ(t->GetObject(req, res), 0);
    ASSERT_EQ(res.GetSize(), 3);
    EXPECT_EQ(res.GetType(0), QBP_ERR_NOSUCHNAME);
    EXPECT_EQ(res.GetType(1), QBP_NOT_PROCESSED);
    EXPECT_EQ(res.GetType(2), QBP_NOT_PROCESSED);
    EXPECT_EQ(res.OidAt(1), "1.3.6.1.2.1.1.1.0");

    CQBPVb req2, res2;
    req2.Add("1.3.6.1.2.1.1.1.0", 5, "");
    req2.Add("1.3.6.1.2.1.1.9.0", 5, "");
    ASSERT_EQ(t->GetObject(req2, res2), 0);
    ASSERT_EQ(res2.GetSize(), 2);
    // The first binding carries whatever the answer holds at that place.
    EXPECT_EQ(res2.OidAt(0), "1.3.6.1.2.1.1.1.0");
    EXPECT_GE(res2.GetType(0), 0);
    EXPECT_EQ(res2.GetType(1), QBP_ERR_NOSUCHNAME);
    char oid[64];
    int type = 0, value = 1;
    EXPECT_EQ(res2.Get(1, oid, sizeof oid, type, value), QBP_ERR_NOSUCHNAME);
    EXPECT_EQ(value, 0);
}

TEST_F(SnmpAgent, Version2cExceptionsAreLeftOut)
{
    auto t = Session(2);
    CQBPVb req, res;
    req.Add("1.3.6.1.2.1.1.1.0", 5, "");
    req.Add("1.3.6.1.2.1.1.9.0", 5, "");
    req.Add("1.3.6.1.2.1.1.5.0", 5, "");
    ASSERT_EQ(t->GetObject(req, res), 0);
    ASSERT_EQ(res.GetSize(), 2);
    EXPECT_EQ(res.OidAt(0), "1.3.6.1.2.1.1.1.0");
    EXPECT_EQ(res.OidAt(1), "1.3.6.1.2.1.1.5.0");
}

TEST_F(SnmpAgent, BadTextsAreRefusedBeforeSending)
{
    auto t = Session(2);
    CQBPVb res;
    res.Add("untouched", 2, 1);
    CQBPVb badOid;
    badOid.Add("1.3.six.1", 5, "");
    EXPECT_EQ(t->GetObject(badOid, res), QBP_SNMP_INVALID_OID);
    EXPECT_EQ(QBPGetLastError(), QBP_SNMP_INVALID_OID);
    CQBPVb badIp;
    badIp.Add("1.3.6.1.2.1.1.5.0", 64, "300.1.1.1");
    EXPECT_EQ(t->SetObject(badIp, res), QBP_SNMP_INVALID_PDU);
    EXPECT_EQ(res.GetSize(), 1);
    EXPECT_EQ(res.OidAt(0), "untouched");

    int rc;
    CQBPTrans named(rc, 2);
    ASSERT_EQ(named.Open("SNMP", "printer.local"), 0); // length fits; not an address
    EXPECT_EQ(named.GetObject(badOid, res), QBP_SNMP_INVALID_ADDRESS);
}

TEST_F(SnmpAgent, RealPrinterRecordingAnswersTheStandardObjects)
{
    if (ZebraRecording().empty()) GTEST_SKIP() << "printer recordings not found";
    auto t = Session(2);
    ASSERT_EQ(t->SetCommunity("zebra", "zebra"), 0);
    CQBPVb req, res;
    req.Add("1.3.6.1.2.1.1.1.0", 5, "");       // sysDescr
    req.Add("1.3.6.1.2.1.25.3.2.1.2.1", 5, ""); // hrDeviceType
    ASSERT_EQ(t->GetObject(req, res), 0);
    ASSERT_EQ(res.GetSize(), 2);
    EXPECT_EQ(res.ValueAt(0), "ZebraNet Wired PS");
    EXPECT_EQ(res.ValueAt(1), "1.3.6.1.2.1.25.3.1.5");
}

TEST_F(SnmpAgent, WrongCommunityTimesOut)
{
    auto t = Session(2);
    ASSERT_EQ(t->SetCommunity("nobody-knows", "nobody-knows"), 0);
    CQBPVb req, res;
    req.Add("1.3.6.1.2.1.1.1.0", 5, "");
    EXPECT_EQ(t->GetObject(req, res), QBP_SNMP_TIMEOUT);
}

TEST(SnmpNoAgent, TimeOutLeavesTheResultUntouched)
{
    qavtest::PrepareAgentPort();
    int rc;
    CQBPTrans t(rc, 2);
    ASSERT_EQ(t.Open(0, qavtest::LoopbackAddress(250).c_str()), 0);
    CQBPVb req, res;
    req.Add("1.3.6.1.2.1.1.1.0", 5, "");
    res.Add("1.2.3", 4, "kept");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(t.GetObject(req, res), QBP_SNMP_TIMEOUT);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(QBPGetLastError(), -104);
    EXPECT_EQ(res.GetSize(), 1);
    EXPECT_EQ(res.ValueAt(0), "kept");
    // One second and one retry.
    EXPECT_GE(took, std::chrono::milliseconds(1900));
    EXPECT_LT(took, std::chrono::milliseconds(4000));
}

class Snmpd : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!qavtest::HaveProgram("snmpd")) return;
        port_ = qavtest::PrepareAgentPort();
        address_ = qavtest::LoopbackAddress(2);
        agent_ = new qavtest::SnmpdAgent;
        started_ = agent_->Start(address_, port_);
    }
    static void TearDownTestSuite()
    {
        delete agent_;
        agent_ = nullptr;
    }
    void SetUp() override
    {
        if (!qavtest::HaveProgram("snmpd")) GTEST_SKIP() << "snmpd is not installed";
        ASSERT_TRUE(started_) << agent_->Log();
    }
    static inline qavtest::SnmpdAgent* agent_ = nullptr;
    static inline std::string address_;
    static inline int port_ = 0;
    static inline bool started_ = false;
};

TEST_F(Snmpd, SetOfAWritableAndAReadOnlyObject)
{
    int rc;
    CQBPTrans t(rc, 2);
    ASSERT_EQ(t.Open(0, address_), 0);
    CQBPVb set, res;
    set.Add("1.3.6.1.2.1.1.4.0", 4, "admin@example.org");
    ASSERT_EQ(t.SetObject(set, res), 0);
    EXPECT_EQ(res.GetType(0), 4);
    CQBPVb get, back;
    get.Add("1.3.6.1.2.1.1.4.0", 5, "");
    ASSERT_EQ(t.GetObject(get, back), 0);
    EXPECT_EQ(back.ValueAt(0), "admin@example.org");

    CQBPVb ro, roRes;
    ro.Add("1.3.6.1.2.1.1.1.0", 4, "x");
    ASSERT_EQ(t.SetObject(ro, roRes), 0);
    ASSERT_EQ(roRes.GetSize(), 1);
    EXPECT_EQ(roRes.GetType(0), -17); // notWritable
}

// snmpd knows "public" (read only) and "kestra" (read and write); a
// community it does not know gets no answer at all.
TEST_F(Snmpd, ReadCommunityReadsAndWriteCommunityWrites)
{
    int rc;
    CQBPTrans t(rc, 2);
    ASSERT_EQ(t.Open(0, address_), 0);
    CQBPVb get, res;
    get.Add("1.3.6.1.2.1.1.4.0", 5, "");
    CQBPVb set, setRes;
    set.Add("1.3.6.1.2.1.1.4.0", 4, "written with kestra");

    // Reads go with the read community only: an unknown write community
    // does not matter to them, and the write community writes.
    ASSERT_EQ(t.SetCommunity("public", "kestra"), 0);
    ASSERT_EQ(t.GetObject(get, res), 0);
    ASSERT_EQ(t.SetObject(set, setRes), 0);
    ASSERT_EQ(setRes.GetSize(), 1);
    EXPECT_EQ(setRes.GetType(0), 4); // written: snmpd took kestra, not public
    ASSERT_EQ(t.SetCommunity("public", "nobody-knows"), 0);
    ASSERT_EQ(t.GetObject(get, res), 0);
    EXPECT_EQ(res.ValueAt(0), "written with kestra");

    // Writes go with the write community only.
    CQBPVb none;
    EXPECT_EQ(t.SetObject(set, none), QBP_SNMP_TIMEOUT); // "nobody-knows" gets no answer
    ASSERT_EQ(t.SetCommunity("nobody-knows", "kestra"), 0);
    EXPECT_EQ(t.GetObject(get, none), QBP_SNMP_TIMEOUT);
    ASSERT_EQ(t.SetObject(set, setRes), 0);
    EXPECT_EQ(setRes.GetType(0), 4);
}

TEST_F(Snmpd, SessionsOnManyThreadsRunSideBySide)
{
    std::atomic<int> ok{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] {
            for (int k = 0; k < 25; ++k) {
                int rc;
                CQBPTrans t(rc, 2);
                if (t.Open(0, address_) != 0) return;
                CQBPVb req, res;
                for (int j = 1; j <= 7; ++j) req.Add("1.3.6.1.2.1.1." + std::to_string(j) + ".0", 5, "");
                if (t.GetObject(req, res) == 0 && res.GetSize() == 7) ++ok;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(ok.load(), 200);
}

} // namespace

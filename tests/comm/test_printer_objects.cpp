// Objects by number against real agents: snmpsim serving a recording (a
// strict agent: a GET needs the instance) and net-snmp's snmpd for writes.
#include <gtest/gtest.h>

#include "TestPeers.h"
#include "ncomm/QBPResult.h"
#include "qavobj/PrinterObjects.h"
#include "qavres/Resources.h"

namespace {

using qavobj::Connection;
using qavobj::ObjectRequest;

// An ifTable of 12 rows and a hrDeviceTable of 2, with scalars around them.
std::string Recording()
{
    std::string r = "1.3.6.1.2.1.1.1.0|4|VORANTA QAV M-UH5W\n"
                    "1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.32473.1.5\n"
                    "1.3.6.1.2.1.1.5.0|4|printer-5\n"
                    "1.3.6.1.2.1.1.6.0|4|Hall 3\n"
                    "1.3.6.1.2.1.1.10.0|4|not sysDescr\n";
    for (int i = 1; i <= 12; ++i) r += "1.3.6.1.2.1.2.2.1.2." + std::to_string(i) + "|4|if" + std::to_string(i) + "\n";
    for (int i = 1; i <= 12; ++i)
        r += "1.3.6.1.2.1.2.2.1.3." + std::to_string(i) + "|2|" + std::to_string(i == 1 ? 24 : 6) + "\n";
    for (int i = 1; i <= 12; ++i) r += "1.3.6.1.2.1.2.2.1.10." + std::to_string(i) + "|65|4294967295\n";
    // The address table, indexed by the address itself.
    r += "1.3.6.1.2.1.4.20.1.1.10.1.2.3|64|10.1.2.3\n"
         "1.3.6.1.2.1.4.20.1.3.10.1.2.3|64|255.255.0.0\n";
    r += "1.3.6.1.2.1.25.3.2.1.3.1|4|QAV M-UH5W\n"
         "1.3.6.1.2.1.25.3.2.1.3.2|4|second device\n"
         "1.3.6.1.2.1.25.3.2.1.5.1|2|2\n"
         "1.3.6.1.2.1.25.3.2.1.5.2|2|5\n";
    return r;
}

class PrinterObjects : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        table_ = new qavres::ObjectTable;
        tableLoaded_ = table_->LoadFile(QAV_SOURCE_DIR "/resources/data/QAVOIDER.txt");
        if (!qavtest::HaveProgram("snmpsimd")) return;
        port_ = qavtest::PrepareAgentPort();
        address_ = qavtest::LoopbackAddress(1);
        sim_ = new qavtest::SnmpSimAgent;
        started_ = sim_->Start(address_, port_, {{"kestra", Recording()}});
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete table_;
        sim_ = nullptr;
        table_ = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(tableLoaded_);
        if (!qavtest::HaveProgram("snmpsimd")) GTEST_SKIP() << "snmpsimd is not installed";
        ASSERT_TRUE(started_) << sim_->Log();
    }

    qavobj::Target Agent() const { return qavobj::Target::Snmp(address_); }
    qavobj::Context Objects() const { return {table_}; }

    static inline qavtest::SnmpSimAgent* sim_ = nullptr;
    static inline qavres::ObjectTable* table_ = nullptr;
    static inline bool tableLoaded_ = false;
    static inline std::string address_;
    static inline int port_ = 0;
    static inline bool started_ = false;
};

TEST_F(PrinterObjects, ReadObjectsTakesTheFirstInstanceOfEachObject)
{
    std::vector<ObjectRequest> r = {{6, 1361}, {4, 201}, {4, 161}, {4, 81}, {2, 1421}};
    const auto out = qavobj::ReadObjects(Agent(), Objects(), r);
    ASSERT_TRUE(out.ok()) << out.code;
    EXPECT_EQ(out.connection, Connection::kUp);
    EXPECT_EQ(r[0].value, "1.3.6.1.4.1.32473.1.5");
    EXPECT_EQ(r[1].value, "printer-5");
    EXPECT_EQ(r[1].answerOid, "1.3.6.1.2.1.1.5.0");
    EXPECT_EQ(r[2].value, "VORANTA QAV M-UH5W"); // not sysORLastChange's neighbour 1.1.10
    EXPECT_EQ(r[3].value, "QAV M-UH5W");
    EXPECT_EQ(r[4].value, "2");
    for (const auto& q : r) EXPECT_TRUE(q.answered) << q.object;
}

TEST_F(PrinterObjects, AnswersOfAnotherTypeOrObjectAreNotStored)
{
    // 201 asked as an integer: the string answer is refused. 1381 is not in
    // the recording: the get-next answer lies outside its OID.
    std::vector<ObjectRequest> r = {{2, 201}, {4, 1381}, {4, 221}};
    r[0].value = "stale";
    const auto out = qavobj::ReadObjects(Agent(), Objects(), r);
    ASSERT_TRUE(out.ok());
    EXPECT_FALSE(r[0].answered);
    EXPECT_EQ(r[0].value, "");
    EXPECT_FALSE(r[1].answered);
    EXPECT_EQ(r[2].value, "Hall 3");
}

TEST_F(PrinterObjects, RequestsByOidNeedNoObjectTable)
{
    // The bare OID of sysDescr, and one the recording does not hold: its
    // get-next answer (the next object) is refused as another object's.
    std::vector<ObjectRequest> r = {ObjectRequest::ByOid(4, "1.3.6.1.2.1.1.1"),
                                    ObjectRequest::ByOid(4, "1.3.6.1.2.1.1.4"),
                                    ObjectRequest::ByOid(2, "1.3.6.1.2.1.25.3.2.1.5")};
    const auto out = qavobj::ReadObjects(Agent(), {nullptr}, r);
    ASSERT_TRUE(out.ok()) << out.code;
    EXPECT_EQ(r[0].value, "VORANTA QAV M-UH5W");
    EXPECT_FALSE(r[1].answered);
    EXPECT_EQ(r[2].value, "2");
    EXPECT_EQ(r[2].answerOid, "1.3.6.1.2.1.25.3.2.1.5.1");
    // A request by number among them still needs the table.
    r.emplace_back(4, 201);
    EXPECT_EQ(qavobj::ReadObjects(Agent(), {nullptr}, r).code, qavobj::kNoObjectTable);
}

TEST_F(PrinterObjects, OfTwentyFiveRequestsOnlyTwentyAreRead)
{
    std::vector<ObjectRequest> r(25, ObjectRequest(4, 201));
    ASSERT_TRUE(qavobj::ReadObjects(Agent(), Objects(), r).ok());
    for (int i = 0; i < 25; ++i) EXPECT_EQ(r[i].answered, i < 20) << i;
}

TEST_F(PrinterObjects, TableWalkStopsAtTenRows)
{
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> oids;
    const auto out = qavobj::ReadObjectTable(Agent(), Objects(), {{4, 401}, {2, 421}, {65, 461}}, rows, &oids);
    ASSERT_TRUE(out.ok());
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"if1", "24", "4294967295"}));
    EXPECT_EQ(rows[9][0], "if10");
    EXPECT_EQ(oids[9], "1.3.6.1.2.1.2.2.1.2.10");
}

TEST_F(PrinterObjects, TableWalkEndsWhereColumnZeroLeavesItsTable)
{
    std::vector<std::vector<std::string>> rows;
    ASSERT_TRUE(qavobj::ReadObjectTable(Agent(), Objects(), {{4, 81}, {2, 1421}}, rows).ok());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], (std::vector<std::string>{"second device", "5"}));
}

TEST_F(PrinterObjects, ReadByNumberNeedsTheExactObjectAndType)
{
    std::string value;
    auto out = qavobj::ReadByNumber(Agent(), Objects(), 201, 0, value);
    ASSERT_TRUE(out.ok()) << out.code;
    EXPECT_EQ(value, "printer-5");
    EXPECT_EQ(qavobj::ReadByNumber(Agent(), Objects(), 421, 1, value).code, 0);
    EXPECT_EQ(value, "24");
    // No such instance (a v1 noSuchName binding): the check fails.
    out = qavobj::ReadByNumber(Agent(), Objects(), 201, 7, value);
    EXPECT_EQ(out.code, qavobj::kCheckFailed);
    EXPECT_EQ(out.connection, Connection::kUp);
    EXPECT_EQ(value, "");
}

TEST_F(PrinterObjects, SessionGetAsksForTheObjectsThemselves)
{
    qavobj::Session session;
    ASSERT_EQ(session.Open(Agent()), 0);
    std::vector<qavobj::Session::Answer> answers;
    auto out = session.Get({"1.3.6.1.2.1.1.6.0", "1.3.6.1.2.1.1.5.0"}, answers);
    ASSERT_TRUE(out.ok()) << out.code;
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].oid, "1.3.6.1.2.1.1.6.0");
    EXPECT_EQ(answers[0].value, "Hall 3");
    EXPECT_EQ(answers[1].value, "printer-5");
    // A strict agent: an object without its instance is no object (SNMPv1:
    // noSuchName at that binding, the rest not processed).
    out = session.Get({"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.6"}, answers);
    ASSERT_TRUE(out.ok()) << out.code;
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1].type, QBP_ERR_NOSUCHNAME);
}

TEST_F(PrinterObjects, ReadByAnIndexOfSeveralSubIdentifiers)
{
    qavobj::Session session;
    ASSERT_EQ(session.Open(Agent()), 0);
    std::string value;
    auto out = session.Read(Objects(), 661, "10.1.2.3", value);
    ASSERT_TRUE(out.ok()) << out.code;
    EXPECT_EQ(value, "10.1.2.3");
    ASSERT_TRUE(session.Read(Objects(), 681, "10.1.2.3", value).ok());
    EXPECT_EQ(value, "255.255.0.0");
    // Another address has no row: the check fails and nothing is kept.
    out = session.Read(Objects(), 681, "10.1.2.4", value);
    EXPECT_EQ(out.code, qavobj::kCheckFailed);
    EXPECT_EQ(value, "");
}

TEST_F(PrinterObjects, SilentPrinterLeavesTheConnectionDown)
{
    std::vector<ObjectRequest> r = {{4, 201}};
    const auto out = qavobj::ReadObjects(qavobj::Target::Snmp(qavtest::LoopbackAddress(200)), Objects(), r);
    EXPECT_EQ(out.code, QBP_SNMP_TIMEOUT);
    EXPECT_EQ(out.connection, Connection::kDown);
    EXPECT_FALSE(r[0].answered);
}

// A failure says where it stopped, with the thread's last error of that
// moment (the environmental log writes both into its printer section).
TEST_F(PrinterObjects, FailuresNameTheStepThatStopped)
{
    std::vector<ObjectRequest> r = {{4, 201}};
    auto out = qavobj::ReadObjects(qavobj::Target::Snmp(qavtest::LoopbackAddress(201)), Objects(), r);
    EXPECT_EQ(out.failedStep, qavobj::Step::kExchange);
    EXPECT_EQ(out.lastError, QBP_SNMP_TIMEOUT);

    out = qavobj::ReadObjects(qavobj::Target::Snmp("1.2.3"), Objects(), r); // too short for an address
    EXPECT_EQ(out.code, QBP_INVALID_ARGUMENT);
    EXPECT_EQ(out.failedStep, qavobj::Step::kOpen);

    out = qavobj::ReadObjects(qavobj::Target::Snmp(address_, std::string(81, 'c')), Objects(), r);
    EXPECT_EQ(out.failedStep, qavobj::Step::kCommunity);
    EXPECT_TRUE(out.setCommunityFailed);
    EXPECT_EQ(out.lastError, QBP_INVALID_ARGUMENT);

    out = qavobj::ReadObjects(Agent(), Objects(), r);
    ASSERT_TRUE(out.ok());
    EXPECT_EQ(out.failedStep, qavobj::Step::kNone);
}

TEST_F(PrinterObjects, MissingObjectTableFailsWithoutAnExchange)
{
    std::vector<ObjectRequest> r = {{4, 201}};
    const auto out = qavobj::ReadObjects(Agent(), {nullptr}, r);
    EXPECT_EQ(out.code, qavobj::kNoObjectTable);
    EXPECT_EQ(out.connection, Connection::kUnchanged);
}

TEST(PrinterObjectsOid, WithinMeansTheSameObjectOrBelowIt)
{
    EXPECT_TRUE(qavobj::OidWithin("1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.1"));
    EXPECT_TRUE(qavobj::OidWithin("1.3.6.1.2.1.1.1", "1.3.6.1.2.1.1.1"));
    EXPECT_FALSE(qavobj::OidWithin("1.3.6.1.2.1.1.10.0", "1.3.6.1.2.1.1.1"));
    EXPECT_FALSE(qavobj::OidWithin("1.3.6.1.2.1.1", "1.3.6.1.2.1.1.1"));
    EXPECT_FALSE(qavobj::OidWithin("1.3.6.1.2.1.1.1.0", ""));
}

// Writes go to net-snmp's own agent: sysLocation and sysContact are
// writable there.
TEST(PrinterObjectsWrite, StringAndIntegerWritesFindTheInstanceFirst)
{
    if (!qavtest::HaveProgram("snmpd")) GTEST_SKIP() << "snmpd is not installed";
    qavres::ObjectTable table;
    ASSERT_TRUE(table.LoadFile(QAV_SOURCE_DIR "/resources/data/QAVOIDER.txt"));
    const int port = qavtest::PrepareAgentPort();
    const std::string address = qavtest::LoopbackAddress(2);
    qavtest::SnmpdAgent agent;
    ASSERT_TRUE(agent.Start(address, port)) << agent.Log();
    const auto target = qavobj::Target::Snmp(address, "kestra", "kestra");
    const qavobj::Context context{&table};

    auto out = qavobj::WriteStringObject(target, context, 221, "Dock 7");
    ASSERT_TRUE(out.ok()) << out.code;
    std::string value;
    ASSERT_TRUE(qavobj::ReadByNumber(target, context, 221, 0, value).ok());
    EXPECT_EQ(value, "Dock 7");

    ASSERT_TRUE(qavobj::WriteByNumber(target, context, 181, 0, "ops@example.org").ok());
    ASSERT_TRUE(qavobj::ReadByNumber(target, context, 181, 0, value).ok());
    EXPECT_EQ(value, "ops@example.org");

    // sysName is a string: an integer write finds no integer instance.
    EXPECT_EQ(qavobj::WriteIntegerObject(target, context, 201, 1).code, qavobj::kCheckFailed);
    // A write the agent refuses (sysDescr is read-only) fails with its status.
    EXPECT_NE(qavobj::WriteStringObject(target, context, 161, "x").code, 0);
    out = qavobj::WriteByNumber(target, context, 161, 0, "x");
    EXPECT_EQ(out.code, qavobj::kCheckFailed);
    EXPECT_LT(out.refusedStatus, 0) << "the agent's status is kept for the reason";
    EXPECT_EQ(qavobj::WriteByNumber(target, context, 221, 0, "Dock 8").refusedStatus, 0);
}

} // namespace

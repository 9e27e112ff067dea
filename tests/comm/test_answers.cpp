// Answers that no sound agent gives, from an agent whose answers the test
// writes: error statuses whose index names no binding, bindings that name
// other objects than the request, and what goes out on the wire for
// bindings that cannot be sent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptedAgent.h"
#include "TestPeers.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"

namespace {

using qavsim::Message;
using qavsim::Value;
using qavtest::ScriptedAgent;

const char* const kSysDescr = "1.3.6.1.2.1.1.1.0";
const char* const kSysName = "1.3.6.1.2.1.1.5.0";

qavsim::Oid O(const char* text)
{
    qavsim::Oid o;
    qavsim::ParseOid(text, o);
    return o;
}

enum class Op { kGet, kNext, kSet };

class Answers : public ::testing::Test {
protected:
    void SetUp() override
    {
        port_ = qavtest::PrepareAgentPort();
        address_ = qavtest::LoopbackAddress(40);
    }

    // Runs one operation against an agent answering with the script; the
    // result list starts with one binding that a failed request leaves.
    int Exchange(Op op, int version, const CQBPVb& request, ScriptedAgent::Script script)
    {
        ScriptedAgent agent(address_, port_, std::move(script));
        EXPECT_TRUE(agent.Ok());
        int rc = 0;
        CQBPTrans t(rc, version);
        EXPECT_EQ(t.Open(0, address_), 0);
        result_.Remove();
        result_.Add("untouched", ber::kInteger, 7);
        QBPSetLastError(0);
        rc = op == Op::kGet ? t.GetObject(request, result_)
             : op == Op::kNext ? t.GetNextObject(request, result_)
                               : t.SetObject(request, result_);
        requests_ = agent.Requests();
        return rc;
    }
    void ExpectFailedWith(int rc, int expected, const std::string& what)
    {
        EXPECT_EQ(rc, expected) << what;
        EXPECT_EQ(QBPGetLastError(), expected) << what;
        ASSERT_EQ(result_.GetSize(), 1) << what;
        EXPECT_EQ(result_.OidAt(0), "untouched") << what;
    }

    int port_ = 0;
    std::string address_;
    CQBPVb result_;
    std::vector<Message> requests_;
};

CQBPVb Request(std::initializer_list<const char*> oids)
{
    CQBPVb list;
    for (const char* o : oids) list.Add(o, ber::kNull, "");
    return list;
}

TEST_F(Answers, ErrorStatusWhoseIndexNamesNoBindingFailsTheRequest)
{
    struct Case {
        int status, index, expected;
    };
    const Case cases[] = {
        {2, 2147483647, QBP_ERR_NOSUCHNAME}, // noSuchName, index far past the bindings
        {2, 3, QBP_ERR_NOSUCHNAME},          // one past the last binding
        {2, -1, QBP_ERR_NOSUCHNAME},
        {1, 0, QBP_ERR_TOOBIG},              // tooBig names no binding
        {5, 0, QBP_ERR_GENERR},
        {99, 99, QBP_SNMP_INVALID_PDU},      // no SNMP error status at all
        {99, 1, QBP_SNMP_INVALID_PDU},
        {19, 2, QBP_SNMP_INVALID_PDU},
    };
    for (int version : {1, 2}) {
        for (const Case& c : cases) {
            const std::string what = "status " + std::to_string(c.status) + ", index " + std::to_string(c.index) +
                                     ", version " + std::to_string(version);
            const int rc = Exchange(Op::kGet, version, Request({kSysDescr, kSysName}), [&](const Message& m) {
                Message r = ScriptedAgent::Response(m);
                r.errorStatus = c.status;
                r.errorIndex = c.index;
                return std::optional<Message>(r);
            });
            ExpectFailedWith(rc, c.expected, what);
        }
    }
}

TEST_F(Answers, ErrorStatusThatNamesABindingStaysInTheList)
{
    const int rc = Exchange(Op::kGet, 1, Request({kSysDescr, kSysName}), [](const Message& m) {
        Message r = ScriptedAgent::Response(m);
        r.errorStatus = 2;
        r.errorIndex = 2;
        return std::optional<Message>(r);
    });
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(result_.GetSize(), 2);
    EXPECT_EQ(result_.OidAt(1), kSysName);
    EXPECT_EQ(result_.GetType(1), QBP_ERR_NOSUCHNAME);
}

TEST_F(Answers, BindingThatNamesAnotherObjectFailsTheRequest)
{
    // A GET of sysName answered with sysDescr's value.
    int rc = Exchange(Op::kGet, 2, Request({kSysName}), [](const Message& m) {
        Message r = ScriptedAgent::Response(m, {Value::Text("not the name")});
        r.varbinds[0].name = O(kSysDescr);
        return std::optional<Message>(r);
    });
    ExpectFailedWith(rc, QBP_SNMP_INVALID_PDU, "GET answered with another object");

    // The second of two bindings answered with the object's instance 1.
    rc = Exchange(Op::kGet, 1, Request({kSysDescr, kSysName}), [](const Message& m) {
        Message r = ScriptedAgent::Response(m, {Value::Text("d"), Value::Text("n")});
        r.varbinds[1].name = O("1.3.6.1.2.1.1.5.1");
        return std::optional<Message>(r);
    });
    ExpectFailedWith(rc, QBP_SNMP_INVALID_PDU, "second binding names another instance");

    // An answer for an object of the same name one arc shorter is another
    // object too.
    rc = Exchange(Op::kGet, 2, Request({kSysName}), [](const Message& m) {
        Message r = ScriptedAgent::Response(m, {Value::Text("n")});
        r.varbinds[0].name = O("1.3.6.1.2.1.1.5");
        return std::optional<Message>(r);
    });
    ExpectFailedWith(rc, QBP_SNMP_INVALID_PDU, "answered for the object above");

    // More bindings than asked for.
    rc = Exchange(Op::kGet, 2, Request({kSysName}), [](const Message& m) {
        Message r = ScriptedAgent::Response(m, {Value::Text("n")});
        r.varbinds.push_back({O(kSysDescr), Value::Text("extra")});
        return std::optional<Message>(r);
    });
    ExpectFailedWith(rc, QBP_SNMP_INVALID_PDU, "an extra binding");

    // A SET answered for another object.
    CQBPVb set;
    set.Add(kSysName, ber::kOctetString, "new name");
    rc = Exchange(Op::kSet, 2, set, [](const Message& m) {
        Message r = ScriptedAgent::Response(m);
        r.varbinds[0].name = O(kSysDescr);
        return std::optional<Message>(r);
    });
    ExpectFailedWith(rc, QBP_SNMP_INVALID_PDU, "SET answered for another object");
}

// Lenient agents answer an object named without instance with its first
// instance: the same object.
TEST_F(Answers, InstanceOfTheRequestedObjectIsItsAnswer)
{
    const int rc = Exchange(Op::kGet, 1, Request({"1.3.6.1.2.1.1.5", kSysDescr}), [](const Message& m) {
        Message r = ScriptedAgent::Response(m, {Value::Text("name"), Value::Text("descr")});
        r.varbinds[0].name = O(kSysName);
        return std::optional<Message>(r);
    });
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(result_.GetSize(), 2);
    EXPECT_EQ(result_.OidAt(0), kSysName);
    EXPECT_EQ(result_.ValueAt(0), "name");
}

TEST_F(Answers, GetNextMustAnswerAFollowingObject)
{
    const char* const system = "1.3.6.1.2.1.1";
    // The requested object itself, or one before it, would walk in circles.
    for (const char* answered : {system, "1.3.6.1.2.1", "1.3.6.1.2.0.9"}) {
        const int rc = Exchange(Op::kNext, 2, Request({system}), [&](const Message& m) {
            Message r = ScriptedAgent::Response(m, {Value::Text("x")});
            r.varbinds[0].name = O(answered);
            return std::optional<Message>(r);
        });
        ExpectFailedWith(rc, QBP_SNMP_INVALID_PDU, answered);
    }
    // The following object is the answer.
    int rc = Exchange(Op::kNext, 2, Request({system}), [](const Message& m) {
        Message r = ScriptedAgent::Response(m, {Value::Text("descr")});
        r.varbinds[0].name = O(kSysDescr);
        return std::optional<Message>(r);
    });
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(result_.GetSize(), 1);
    EXPECT_EQ(result_.OidAt(0), kSysDescr);
    EXPECT_EQ(result_.ValueAt(0), "descr");
    // The end of the agent's objects comes back under the requested name.
    rc = Exchange(Op::kNext, 2, Request({kSysDescr, system}), [](const Message& m) {
        Message r = ScriptedAgent::Response(m, {Value::Exception(qavsim::kEndOfMibView), Value::Text("descr")});
        r.varbinds[1].name = O(kSysDescr);
        return std::optional<Message>(r);
    });
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(result_.GetSize(), 1); // the end is left out of the list
    EXPECT_EQ(result_.OidAt(0), kSysDescr);
}

TEST_F(Answers, OversizedBindingsGoOutAsZeroZero)
{
    std::string longOid = "1.3.6.1.2.1.1.1";
    while (longOid.size() < 300) longOid += ".1";
    CQBPVb request;
    request.Add(longOid, ber::kOctetString, "x");                     // OID longer than 255 characters
    request.Add(kSysName, ber::kOctetString, std::string(300, 'v')); // value longer than 255 characters
    request.Add(kSysDescr, ber::kOctetString, "fits");
    const int rc = Exchange(Op::kSet, 1, request,
                            [](const Message& m) { return std::optional<Message>(ScriptedAgent::Response(m)); });
    ASSERT_EQ(requests_.size(), 1u);
    const Message& sent = requests_[0];
    EXPECT_EQ(sent.pduType, qavsim::kSetRequest);
    ASSERT_EQ(sent.varbinds.size(), 3u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(qavsim::OidText(sent.varbinds[i].name), "0.0") << i;
        EXPECT_EQ(sent.varbinds[i].value.type, qavsim::kNull) << i; // and no value
    }
    EXPECT_EQ(qavsim::OidText(sent.varbinds[2].name), kSysDescr);
    EXPECT_EQ(sent.varbinds[2].value.bytes, "fits");
    // The answer to them is taken like any other.
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(result_.GetSize(), 3);
    EXPECT_EQ(result_.OidAt(0), "0.0");
    EXPECT_EQ(result_.OidAt(1), "0.0");
    EXPECT_EQ(result_.ValueAt(2), "fits");
}

} // namespace

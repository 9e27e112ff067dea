// The simulator's SNMP agent without sockets: the codec, the answers to
// GET, GET-NEXT and SET, and the fleet file.
#include <gtest/gtest.h>

#include <random>

#include "Ber.h"
#include "Fleet.h"
#include "Mib.h"

namespace {

using namespace qavsim;

Oid O(const char* text)
{
    Oid o;
    EXPECT_TRUE(ParseOid(text, o)) << text;
    return o;
}

TEST(SimCodec, MessagesSurviveARoundTrip)
{
    Message m;
    m.version = 1;
    m.community = "kestra";
    m.pduType = kGetResponse;
    m.requestId = -123456;
    m.varbinds = {{O("1.3.6.1.2.1.1.5.0"), Value::Text("printer")},
                  {O("1.3.6.1.2.1.2.2.1.10.1"), Value::Unsigned(kCounter32, 4294967295u)},
                  {O("1.3.6.1.2.1.31.1.1.1.6.1"), Value::Unsigned(kCounter64, ~0ull)},
                  {O("1.3.6.1.2.1.1.2.0"), Value::ObjectId(O("1.3.6.1.4.1.32473.2.1"))},
                  {O("1.3.6.1.2.1.4.20.1.1.127.0.0.1"), Value::Ip(0x7F000001)},
                  {O("1.3.6.1.2.1.25.3.5.1.1.1"), Value::Integer(-2147483647 - 1)},
                  {O("2.999.1"), Value::Exception(kNoSuchInstance)}};
    const std::string bytes = Encode(m);
    auto back = Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->requestId, m.requestId);
    ASSERT_EQ(back->varbinds.size(), m.varbinds.size());
    for (size_t i = 0; i < m.varbinds.size(); ++i) {
        EXPECT_EQ(back->varbinds[i].name, m.varbinds[i].name) << i;
        EXPECT_TRUE(back->varbinds[i].value == m.varbinds[i].value) << i;
    }
}

TEST(SimCodec, Version1TrapFields)
{
    Message m;
    m.pduType = kTrapV1;
    m.community = "public";
    m.enterprise = O("1.3.6.1.4.1.32473");
    m.agentAddress = 0x7F00000B;
    m.genericTrap = 6;
    m.specificTrap = 11;
    m.timeStamp = 4242;
    m.varbinds = {{O("1.3.6.1.4.1.32473.1.20961.0"), Value::Integer(11)}};
    const std::string bytes = Encode(m);
    auto back = Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->enterprise, m.enterprise);
    EXPECT_EQ(back->agentAddress, 0x7F00000Bu);
    EXPECT_EQ(back->genericTrap, 6);
    EXPECT_EQ(back->specificTrap, 11);
    EXPECT_EQ(back->timeStamp, 4242u);
}

TEST(SimCodec, GarbageAndTruncationNeverDecode)
{
    Message m;
    m.community = "kestra";
    m.varbinds = {{O("1.3.6.1.2.1.1.5.0"), Value::Text("x")}};
    const std::string bytes = Encode(m);
    for (size_t cut = 0; cut < bytes.size(); ++cut)
        EXPECT_FALSE(Decode(reinterpret_cast<const uint8_t*>(bytes.data()), cut)) << cut;
    std::mt19937 rng(7);
    for (int i = 0; i < 20000; ++i) {
        std::string junk = bytes;
        junk[rng() % junk.size()] = static_cast<char>(rng());
        junk[rng() % junk.size()] = static_cast<char>(rng());
        Decode(reinterpret_cast<const uint8_t*>(junk.data()), junk.size()); // must not crash
    }
}

class SimAgent : public ::testing::Test {
protected:
    void SetUp() override
    {
        mib.Set(O("1.3.6.1.2.1.1.1.0"), Value::Text("descr"), false);
        mib.Set(O("1.3.6.1.2.1.1.5.0"), Value::Text("name"), true);
        mib.Set(O("1.3.6.1.2.1.25.3.5.1.1.1"), Value::Integer(3), false);
    }
    Message Request(uint8_t type, std::vector<const char*> oids, int version = 1, const char* community = "kestra")
    {
        Message m;
        m.version = version;
        m.community = community;
        m.pduType = type;
        m.requestId = 77;
        for (const char* o : oids) m.varbinds.push_back({O(o), Value::Null()});
        return m;
    }
    Mib mib;
    AgentPolicy strict;
};

TEST_F(SimAgent, Version1GetOfAMissingObjectNamesIt)
{
    auto r = Answer(mib, strict, Request(kGetRequest, {"1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.9.0"}, 0));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->errorStatus, 2);
    EXPECT_EQ(r->errorIndex, 2);
    EXPECT_EQ(r->varbinds[0].value.type, kNull); // the request's bindings come back
}

TEST_F(SimAgent, Version2cGetAnswersExceptions)
{
    auto r = Answer(mib, strict,
                    Request(kGetRequest, {"1.3.6.1.2.1.1.9.0", "1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.5", "1.3.6.1.2.1.1.5.1"}));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->errorStatus, 0);
    EXPECT_EQ(r->varbinds[0].value.type, kNoSuchObject);
    EXPECT_EQ(r->varbinds[3].value.type, kNoSuchInstance);
    EXPECT_EQ(r->varbinds[1].value.bytes, "name");
    EXPECT_NE(r->varbinds[2].value.type, kOctetString); // strict: no instance, no value
}

TEST_F(SimAgent, TheMakersFirmwareAnswersObjectsWithoutInstance)
{
    AgentPolicy lenient;
    lenient.lenientGet = true;
    auto r = Answer(mib, lenient, Request(kGetRequest, {"1.3.6.1.2.1.1.5", "1.3.6.1.2.1.25.3.5.1.1"}, 0));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->errorStatus, 0);
    EXPECT_EQ(OidText(r->varbinds[0].name), "1.3.6.1.2.1.1.5.0");
    EXPECT_EQ(OidText(r->varbinds[1].name), "1.3.6.1.2.1.25.3.5.1.1.1");
}

TEST_F(SimAgent, GetNextWalksAndEnds)
{
    auto r = Answer(mib, strict, Request(kGetNextRequest, {"1.3.6.1.2.1.1", "1.3.6.1.2.1.25.3.5.1.1.1"}));
    ASSERT_TRUE(r);
    EXPECT_EQ(OidText(r->varbinds[0].name), "1.3.6.1.2.1.1.1.0");
    EXPECT_EQ(r->varbinds[1].value.type, kEndOfMibView);
    auto v1 = Answer(mib, strict, Request(kGetNextRequest, {"1.3.6.1.2.1.25.3.5.1.1.1"}, 0));
    EXPECT_EQ(v1->errorStatus, 2);
}

TEST_F(SimAgent, SetIsAllOrNothing)
{
    Message set = Request(kSetRequest, {"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.1.0"});
    set.varbinds[0].value = Value::Text("new");
    set.varbinds[1].value = Value::Text("read-only");
    auto r = Answer(mib, strict, set);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->errorStatus, 17); // notWritable
    EXPECT_EQ(r->errorIndex, 2);
    EXPECT_EQ(mib.Find(O("1.3.6.1.2.1.1.5.0"))->value.bytes, "name");

    Message wrongType = Request(kSetRequest, {"1.3.6.1.2.1.1.5.0"}, 0);
    wrongType.varbinds[0].value = Value::Integer(1);
    EXPECT_EQ(Answer(mib, strict, wrongType)->errorStatus, 3); // badValue in version 1

    Message good = Request(kSetRequest, {"1.3.6.1.2.1.1.5.0"});
    good.varbinds[0].value = Value::Text("kept");
    std::vector<Oid> changed;
    EXPECT_EQ(Answer(mib, strict, good, &changed)->errorStatus, 0);
    EXPECT_EQ(mib.Find(O("1.3.6.1.2.1.1.5.0"))->value.bytes, "kept");
    EXPECT_EQ(changed.size(), 1u);
}

TEST_F(SimAgent, CommunitiesDecideWhoIsAnswered)
{
    EXPECT_FALSE(Answer(mib, strict, Request(kGetRequest, {"1.3.6.1.2.1.1.1.0"}, 1, "public")));
    AgentPolicy split;
    split.readCommunity = "reader";
    split.writeCommunity = "writer";
    EXPECT_TRUE(Answer(mib, split, Request(kGetRequest, {"1.3.6.1.2.1.1.1.0"}, 1, "reader")));
    EXPECT_TRUE(Answer(mib, split, Request(kGetRequest, {"1.3.6.1.2.1.1.1.0"}, 1, "writer")));
    Message set = Request(kSetRequest, {"1.3.6.1.2.1.1.5.0"}, 1, "reader");
    set.varbinds[0].value = Value::Text("x");
    EXPECT_FALSE(Answer(mib, split, set));
}

TEST(SimFleet, RunsSkipNetworkAndBroadcastNumbers)
{
    Fleet fleet;
    std::string error;
    ASSERT_TRUE(ParseFleet("model = QAV M-UG2\n[printers]\nfirst = 127.9.0.250\ncount = 10\nname = L%03n %a\n", ".",
                           ".", fleet, error))
        << error;
    ASSERT_EQ(fleet.printers.size(), 10u);
    EXPECT_EQ(AddressText(fleet.printers[0].address), "127.9.0.250");
    EXPECT_EQ(fleet.printers[0].name, "L001 127.9.0.250");
    EXPECT_EQ(AddressText(fleet.printers[5].address), "127.9.1.1"); // .255 and .0 skipped
    EXPECT_EQ(fleet.printers[9].model, "QAV M-UG2");
}

TEST(SimFleet, LenientGetIsAKeyOfItsOwn)
{
    Fleet fleet;
    std::string error;
    ASSERT_TRUE(ParseFleet("[printer]\naddress = 127.9.0.1\n[printer]\naddress = 127.9.0.2\nlenient-get = 1\n"
                           "[printer]\naddress = 127.9.0.3\nkind = standard\nlenient-get = 0\n",
                           ".", ".", fleet, error))
        << error;
    ASSERT_EQ(fleet.printers.size(), 3u);
    EXPECT_FALSE(fleet.printers[0].lenientGet); // the maker's printers are strict by default
    EXPECT_TRUE(fleet.printers[1].lenientGet);
    EXPECT_FALSE(fleet.printers[2].lenientGet);
    Fleet bad;
    EXPECT_FALSE(ParseFleet("[printer]\naddress = 127.9.0.1\nlenient-get = yes\n", ".", ".", bad, error));
    EXPECT_NE(error.find("lenient-get"), std::string::npos) << error;
}

TEST(SimFleet, BadFleetsAreRefusedWithTheReason)
{
    Fleet fleet;
    std::string error;
    EXPECT_FALSE(ParseFleet("[printer]\naddress = 192.168.1.5\n", ".", ".", fleet, error));
    EXPECT_NE(error.find("loopback"), std::string::npos);
    Fleet f2;
    EXPECT_FALSE(ParseFleet("[printer]\naddress = 127.0.0.5\n[printer]\naddress = 127.0.0.5\n", ".", ".", f2, error));
    EXPECT_NE(error.find("twice"), std::string::npos);
    Fleet f3;
    EXPECT_FALSE(ParseFleet("trap-to = 10.0.0.1\n[printer]\naddress = 127.0.0.5\n", ".", ".", f3, error));
    Fleet f4;
    EXPECT_FALSE(ParseFleet("[printer]\naddress = 127.0.0.5\nstatus = melted\n", ".", ".", f4, error));
    Fleet f5;
    EXPECT_FALSE(ParseFleet("[printer]\nname = x\n", ".", ".", f5, error));
    Fleet f6;
    EXPECT_FALSE(ParseFleet("[printer]\naddress = 127.0.0.5\nrecording = nowhere.snmprec\n", ".", ".", f6, error));
    Fleet f7;
    EXPECT_FALSE(ParseFleet("", ".", ".", f7, error));
}

} // namespace

// The library's internal conversions: SNMP statuses to result codes, octet
// strings to text, the printer-command frames, received traps and the
// discovery's answer check.
#include <gtest/gtest.h>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <string>
#include <vector>

#include "Ber.h"
#include "DiscoveryAnswer.h"
#include "OctetText.h"
#include "PrinterCommand.h"
#include "SnmpAnswer.h"
#include "SnmpStatus.h"
#include "TrapDecode.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPResult.h"

namespace {

using namespace ncomm;

TEST(StatusMapping, SnmpErrorStatusesAndLibraryStatuses)
{
    for (int s = 1; s <= 18; ++s) EXPECT_EQ(CnvtStatusSnmpToQbp(s), -s);
    for (int s = -1; s >= -8; --s) EXPECT_EQ(CnvtStatusSnmpToQbp(s), s - 99);
    for (int s = -10; s >= -23; --s) EXPECT_EQ(CnvtStatusSnmpToQbp(s), s - 100);
    for (int s : {0, -9, -24, 19, 1000, -50}) EXPECT_EQ(CnvtStatusSnmpToQbp(s), 0);
    EXPECT_EQ(CnvtStatusSnmpToQbp(SNMP_CLASS_TIMEOUT), QBP_SNMP_TIMEOUT);
}

TEST(StatusMapping, NetSnmpOutcomes)
{
    EXPECT_EQ(SnmppStatus(STAT_SUCCESS, 0, 0), SNMP_CLASS_SUCCESS);
    EXPECT_EQ(SnmppStatus(STAT_SUCCESS, 0, SNMP_ERR_NOSUCHNAME), SNMP_CLASS_ERR_STATUS_SET);
    EXPECT_EQ(SnmppStatus(STAT_TIMEOUT, 0, 0), SNMP_CLASS_TIMEOUT);
    EXPECT_EQ(SnmppStatus(STAT_ERROR, SNMPERR_TIMEOUT, 0), SNMP_CLASS_TIMEOUT);
    EXPECT_EQ(SnmppStatus(STAT_ERROR, SNMPERR_BAD_ADDRESS, 0), SNMP_CLASS_INVALID_ADDRESS);
    EXPECT_EQ(SnmppStatus(STAT_ERROR, SNMPERR_BAD_SENDTO, 0), SNMP_CLASS_TL_FAILED);
    EXPECT_EQ(SnmppStatus(STAT_ERROR, SNMPERR_MALLOC, 0), SNMP_CLASS_RESOURCE_UNAVAIL);
    EXPECT_EQ(SnmppStatus(STAT_ERROR, SNMPERR_BAD_ASN1_BUILD, 0), SNMP_CLASS_INVALID_PDU);
    EXPECT_EQ(SnmppStatus(STAT_ERROR, SNMPERR_GENERR, 0), SNMP_CLASS_ERROR);
    // What callers see.
    EXPECT_EQ(CnvtStatusSnmpToQbp(SnmppStatus(STAT_TIMEOUT, 0, 0)), -104);
}

std::string Text(const std::string& bytes)
{
    return OctetText(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

TEST(OctetStrings, PrintableRawOrHexDump)
{
    EXPECT_EQ(Text("Label printer"), "Label printer");
    EXPECT_EQ(Text(std::string("A\x00" "B", 3)), "41 00 42");
    EXPECT_EQ(Text("A\rB"), "A\rB");
    EXPECT_EQ(Text(std::string("AB\x00", 3)), "AB"); // a trailing zero only
    EXPECT_EQ(Text(std::string("\x00", 1)), "");
    EXPECT_EQ(Text(std::string("\xff\x01", 2)), "\xff\x01");
    EXPECT_EQ(Text(""), "");
}

TEST(OctetStrings, LongNonPrintableValues)
{
    std::string s257(257, '\x01'), s258(258, '\x01');
    EXPECT_EQ(Text(s257), std::string(256, '\x01')); // the first 256 bytes
    EXPECT_EQ(Text(s258).substr(0, 8), "01 01 01");
    EXPECT_EQ(Text(s258).size(), 258u * 3 - 1);
    std::string printable(1000, 'x');
    EXPECT_EQ(Text(printable), printable); // printable texts are never cut
}

TEST(PrinterCommand, GetOfOneBinding)
{
    CQBPVb req;
    req.Add("1.3.6.1.2.1.1.5.0", 5, "");
    EXPECT_EQ(CreateQPCLCommand(0xA0, req, 1), "{GOID;0010171.3.6.1.2.1.1.5.000005000|}");
    // GET asks for a value whatever the binding's type.
    CQBPVb req2;
    req2.Add("1.2", 2, 7);
    EXPECT_EQ(CreateQPCLCommand(0xA0, req2, 12), "{GOID;0120031.200005000|}");
}

TEST(PrinterCommand, SetCarriesTypedValues)
{
    CQBPVb req;
    req.Add("1.3.6.1.2.1.1.5.0", 2, 7);
    req.Add("1.5", 4, "abc");
    req.Add("1.6", 65, 4294967295u, 0u);
    req.Add("1.7", 70, 1u, 2u);
    req.Add("1.8", 5, "");
    EXPECT_EQ(CreateQPCLCommand(0xA3, req, 3),
              "{SOID;003"
              "0171.3.6.1.2.1.1.5.0"
              "00002001"
              "7"
              "0031.5"
              "00004003abc"
              "0031.6"
              "00065010"
              "4294967295"
              "0031.7"
              "00070010"
              "8589934593"
              "0031.8"
              "00005000"
              "|}");
}

std::string Reply(int seq, const std::string& records)
{
    char head[8];
    std::snprintf(head, sizeof head, "%03d", seq);
    return std::string("\x01\x02\x45", 3) + head + records + std::string("\x03\x04\x0d\x0a", 4);
}

int Convert(const std::string& reply, int seq, CQBPVb& out)
{
    return ConvQPCLtoVb(reinterpret_cast<const unsigned char*>(reply.data()), static_cast<int>(reply.size()), seq, out);
}

TEST(PrinterCommand, ReplyRecordsBecomeBindings)
{
    CQBPVb out;
    ASSERT_EQ(Convert(Reply(1, "0031.10000200242" "0031.200004005hello" "0031.305002000"), 1, out), 0);
    ASSERT_EQ(out.GetSize(), 3);
    EXPECT_EQ(out.GetType(0), 2);
    EXPECT_EQ(out.ValueAt(0), "42");
    EXPECT_EQ(out.GetType(1), 4);
    EXPECT_EQ(out.ValueAt(1), "hello");
    EXPECT_EQ(out.GetType(2), -5); // status 05
}

TEST(PrinterCommand, MalformedRepliesAreRefused)
{
    CQBPVb out;
    out.Add("keep", 2, 1);
    EXPECT_EQ(Convert(Reply(2, ""), 1, out), QBP_READ_FAILED); // other sequence
    EXPECT_EQ(out.GetSize(), 1);
    EXPECT_EQ(Convert("short", 1, out), QBP_READ_FAILED);
    EXPECT_EQ(Convert(Reply(1, "0031.1000020") , 1, out), QBP_READ_FAILED);         // record cut short
    EXPECT_EQ(Convert(Reply(1, "9991.1000020020"), 1, out), QBP_READ_FAILED);       // OID length > 255
    EXPECT_EQ(Convert(Reply(1, "0031.10000x00242"), 1, out), QBP_READ_FAILED);      // not a digit
    CQBPVb partial;
    EXPECT_EQ(Convert(Reply(1, "0031.10000200242" "0031.20009900000"), 1, partial), QBP_READ_FAILED); // type 99
    EXPECT_EQ(partial.GetSize(), 1); // what was read before stays
    std::string frame = Reply(1, "");
    frame.back() = 'x';
    EXPECT_EQ(Convert(frame, 1, out), QBP_READ_FAILED);
    EXPECT_EQ(ConvQPCLtoVb(nullptr, 0, 1, out), QBP_READ_FAILED);
}

TEST(PrinterCommand, MoreThanTwentyRecordsKeepTheFirstTwenty)
{
    std::string records;
    for (int i = 0; i < 25; ++i) records += "0031.1000020011";
    CQBPVb out;
    EXPECT_EQ(Convert(Reply(7, records), 7, out), 0);
    EXPECT_EQ(out.GetSize(), 20);
}

} // namespace

// ---------------------------------------------------------------------------
// Received traps and discovery answers, from datagrams the simulator's codec
// writes.

namespace traps {

qavsim::Oid O(const char* text)
{
    qavsim::Oid o;
    qavsim::ParseOid(text, o);
    return o;
}

netsnmp_pdu* Decode(const qavsim::Message& m)
{
    const std::string bytes = qavsim::Encode(m);
    return DecodeMessage(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

TEST(TrapDecoding, ClassificationByNotificationOid)
{
    struct Row {
        const char* oid;
        int generic, specific;
    };
    const Row rows[] = {
        {"1.3.6.1.6.3.1.1.5.1", 0, 0},
        {"1.3.6.1.6.3.1.1.5.2", 1, 0},
        {"1.3.6.1.6.3.1.1.5.3", 2, 0},
        {"1.3.6.1.6.3.1.1.5.4", 3, 0},
        {"1.3.6.1.6.3.1.1.5.5", 4, 0},
        {"1.3.6.1.6.3.1.1.5.6", 5, 0},
        {"1.3.6.1.6.3.1.1.5.8", 7, 99},
        {"1.3.6.1.4.1.32473.0.99", 7, 99},
        {"1.3.6.1.4.1.32473.0.12", 6, 12},
        {"1.3.6.1.6.3.1.1.5.7", 6, 7},
    };
    for (const Row& r : rows) {
        int generic = -1, specific = -1;
        ClassifyTrap(r.oid, generic, specific);
        EXPECT_EQ(generic, r.generic) << r.oid;
        EXPECT_EQ(specific, r.specific) << r.oid;
    }
}

TEST(TrapDecoding, Version1TrapGetsItsEnterpriseBindingLast)
{
    qavsim::Message m;
    m.community = "public";
    m.pduType = qavsim::kTrapV1;
    m.enterprise = O("1.3.6.1.4.1.32473");
    m.agentAddress = 0x7F00000B;
    m.genericTrap = 6;
    m.specificTrap = 11;
    m.varbinds = {{O("1.3.6.1.4.1.32473.1.20961.0"), qavsim::Value::Integer(11)}};
    netsnmp_pdu* pdu = Decode(m);
    ASSERT_NE(pdu, nullptr);
    TrapMessage t;
    ASSERT_TRUE(DecodeTrap(pdu, t));
    EXPECT_EQ(t.sender, "127.0.0.11"); // no transport: the agent address of the trap
    EXPECT_EQ(t.enterprise, "1.3.6.1.4.1.32473");
    EXPECT_EQ(t.trapOid, "1.3.6.1.4.1.32473.0.11");
    CQBPVb list;
    CopyPduToVb(list, QBPPdu{t.bindings}, 0);
    ASSERT_EQ(list.GetSize(), 2);
    EXPECT_EQ(list.OidAt(1), "1.3.6.1.6.3.1.1.4.3.0");
    EXPECT_EQ(list.ValueAt(1), "1.3.6.1.4.1.32473");
    snmp_free_pdu(t.bindings);
    snmp_free_pdu(pdu);
}

TEST(TrapDecoding, Version2cNotificationWithoutTrapOidIsNoTrap)
{
    qavsim::Message m;
    m.version = 1;
    m.community = "public";
    m.pduType = qavsim::kTrapV2;
    m.varbinds = {{O("1.3.6.1.2.1.1.3.0"), qavsim::Value::Unsigned(qavsim::kTimeTicks, 5)},
                  {O("1.3.6.1.6.3.1.1.4.1.0"), qavsim::Value::ObjectId(O("1.3.6.1.6.3.1.1.5.3"))},
                  {O("1.3.6.1.2.1.2.2.1.1.3"), qavsim::Value::Integer(3)}};
    netsnmp_pdu* pdu = Decode(m);
    ASSERT_NE(pdu, nullptr);
    TrapMessage t;
    ASSERT_TRUE(DecodeTrap(pdu, t));
    EXPECT_EQ(t.trapOid, "1.3.6.1.6.3.1.1.5.3");
    EXPECT_EQ(t.enterprise, "");
    CQBPVb list;
    CopyPduToVb(list, QBPPdu{t.bindings}, 0);
    ASSERT_EQ(list.GetSize(), 1); // sysUpTime and snmpTrapOID are no bindings
    EXPECT_EQ(list.OidAt(0), "1.3.6.1.2.1.2.2.1.1.3");
    snmp_free_pdu(t.bindings);
    snmp_free_pdu(pdu);

    m.varbinds.erase(m.varbinds.begin() + 1);
    pdu = Decode(m);
    ASSERT_NE(pdu, nullptr);
    EXPECT_FALSE(DecodeTrap(pdu, t));
    snmp_free_pdu(pdu);
}

TEST(DiscoveryAnswers, RangesHoldTheirEndsAndReversedOnesNothing)
{
    const std::vector<uint32_t> ranges = {0x0A000005, 0x0A000009, 0x0A000020, 0x0A000010};
    EXPECT_FALSE(InRanges(0x0A000004, ranges));
    EXPECT_TRUE(InRanges(0x0A000005, ranges));
    EXPECT_TRUE(InRanges(0x0A000009, ranges));
    EXPECT_FALSE(InRanges(0x0A00000A, ranges));
    EXPECT_FALSE(InRanges(0x0A000015, ranges)); // in the reversed pair
    EXPECT_FALSE(InRanges(0x0A000005, {}));
}

TEST(DiscoveryAnswers, OnlyTheAnswerToTheRequestFromTheAgentsPort)
{
    qavsim::Message m;
    m.community = "kestra";
    m.pduType = qavsim::kGetResponse;
    m.requestId = 1;
    m.varbinds = {{O("1.3.6.1.2.1.1.2.0"), qavsim::Value::ObjectId(O("1.3.6.1.4.1.32473.2.1"))}};
    auto bytes = [](const qavsim::Message& msg) { return qavsim::Encode(msg); };
    auto is = [](const std::string& b) {
        return IsDiscoveryAnswer(reinterpret_cast<const unsigned char*>(b.data()), static_cast<int>(b.size()));
    };
    const std::string good = bytes(m);
    EXPECT_TRUE(is(good));
    const auto* data = reinterpret_cast<const unsigned char*>(good.data());
    const int length = static_cast<int>(good.size());
    const std::vector<uint32_t> range = {0x0A000001, 0x0A0000FE};
    EXPECT_TRUE(AcceptDiscoveryAnswer(data, length, 0x0A000005, 161, 161, &range));
    EXPECT_TRUE(AcceptDiscoveryAnswer(data, length, 0xC0A80001, 161, 161, nullptr)); // broadcast: any sender
    EXPECT_FALSE(AcceptDiscoveryAnswer(data, length, 0x0A000005, 1161, 161, &range));
    EXPECT_FALSE(AcceptDiscoveryAnswer(data, length, 0x0A0000FF, 161, 161, &range));

    qavsim::Message other = m;
    other.requestId = 257; // its low byte is the request's id
    EXPECT_FALSE(is(bytes(other)));
    other = m;
    other.community = "kestrA";
    EXPECT_FALSE(is(bytes(other)));
    other = m;
    other.version = 1;
    EXPECT_FALSE(is(bytes(other)));
    other = m;
    other.errorStatus = 2;
    other.errorIndex = 1;
    EXPECT_FALSE(is(bytes(other)));
    other = m;
    other.varbinds.clear();
    EXPECT_FALSE(is(bytes(other)));
    EXPECT_FALSE(is(good + std::string(1, '\0')));
    EXPECT_FALSE(is(good.substr(0, good.size() - 1)));

    // The binding's name must be an OID (its last byte ends a sub-identifier),
    // and no tag may take more than one byte, as in SNMP none does.
    const std::string name("\x06\x08\x2b\x06\x01\x02\x01\x01\x02\x00", 10);
    const size_t at = good.find(name);
    ASSERT_NE(at, std::string::npos);
    std::string badName = good;
    badName[at + name.size() - 1] = '\x80';
    EXPECT_FALSE(is(badName));
    std::string longTag = good;
    ASSERT_EQ(longTag[at + name.size()], '\x06'); // the value's tag
    longTag[at + name.size()] = '\xDF';
    EXPECT_FALSE(is(longTag));
}

} // namespace traps

// SNMP messages (versions 1 and 2c) in the basic encoding rules: enough of
// ASN.1 BER for an agent that answers GET, GET-NEXT and SET and sends traps.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qavsim {

using Oid = std::vector<uint32_t>;

std::string OidText(const Oid& oid);
// Dotted decimal to an OID; false for anything else.
bool ParseOid(const std::string& text, Oid& oid);
bool IsPrefix(const Oid& prefix, const Oid& oid);

enum Tag : uint8_t {
    kInteger = 0x02,
    kOctetString = 0x04,
    kNull = 0x05,
    kObjectId = 0x06,
    kSequence = 0x30,
    kIpAddress = 0x40,
    kCounter32 = 0x41,
    kGauge32 = 0x42,
    kTimeTicks = 0x43,
    kOpaque = 0x44,
    kCounter64 = 0x46,
    kNoSuchObject = 0x80,
    kNoSuchInstance = 0x81,
    kEndOfMibView = 0x82,
    kGetRequest = 0xA0,
    kGetNextRequest = 0xA1,
    kGetResponse = 0xA2,
    kSetRequest = 0xA3,
    kTrapV1 = 0xA4,
    kGetBulkRequest = 0xA5,
    kInformRequest = 0xA6,
    kTrapV2 = 0xA7,
};

struct Value {
    uint8_t type = kNull;
    int64_t number = 0; // INTEGER, Counter32, Gauge32, TimeTicks, Counter64 (as bits)
    std::string bytes;  // OCTET STRING, IpAddress (4 bytes), Opaque
    Oid oid;            // OBJECT IDENTIFIER

    static Value Integer(int64_t v) { return {kInteger, v, {}, {}}; }
    static Value Unsigned(uint8_t type, uint64_t v) { return {type, static_cast<int64_t>(v), {}, {}}; }
    static Value Text(std::string s) { return {kOctetString, 0, std::move(s), {}}; }
    static Value ObjectId(Oid o) { return {kObjectId, 0, {}, std::move(o)}; }
    static Value Ip(uint32_t hostOrder);
    static Value Null() { return {}; }
    static Value Exception(uint8_t tag) { return {tag, 0, {}, {}}; }
    bool operator==(const Value& o) const
    {
        return type == o.type && number == o.number && bytes == o.bytes && oid == o.oid;
    }
};

struct VarBind {
    Oid name;
    Value value;
};

struct Message {
    int version = 0; // 0: SNMPv1, 1: SNMPv2c
    std::string community;
    uint8_t pduType = kGetRequest;
    int32_t requestId = 0;
    int32_t errorStatus = 0; // GetBulk: non-repeaters
    int32_t errorIndex = 0;  // GetBulk: max-repetitions
    std::vector<VarBind> varbinds;
    // SNMPv1 trap PDU only.
    Oid enterprise;
    uint32_t agentAddress = 0; // host order
    int32_t genericTrap = 0;
    int32_t specificTrap = 0;
    uint32_t timeStamp = 0;
};

// Decodes one datagram; nothing for anything that is not a well-formed
// SNMPv1/v2c message. Never reads outside the buffer.
std::optional<Message> Decode(const uint8_t* data, size_t length);
std::string Encode(const Message& message);

} // namespace qavsim

#include "Ber.h"

#include <algorithm>
#include <cstdlib>

namespace qavsim {

std::string OidText(const Oid& oid)
{
    std::string s;
    for (size_t i = 0; i < oid.size(); ++i) {
        if (i) s += '.';
        s += std::to_string(oid[i]);
    }
    return s;
}

bool ParseOid(const std::string& text, Oid& oid)
{
    oid.clear();
    size_t i = text.size() && text[0] == '.' ? 1 : 0;
    if (i >= text.size()) return false;
    while (i < text.size()) {
        if (text[i] < '0' || text[i] > '9') return false;
        uint64_t arc = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            arc = arc * 10 + static_cast<unsigned>(text[i] - '0');
            if (arc > 0xFFFFFFFFu) return false;
            ++i;
        }
        oid.push_back(static_cast<uint32_t>(arc));
        if (i < text.size()) {
            if (text[i] != '.' || i + 1 == text.size()) return false;
            ++i;
        }
    }
    return oid.size() >= 2 && oid.size() <= 128;
}

bool IsPrefix(const Oid& prefix, const Oid& oid)
{
    return prefix.size() <= oid.size() && std::equal(prefix.begin(), prefix.end(), oid.begin());
}

Value Value::Ip(uint32_t hostOrder)
{
    Value v;
    v.type = kIpAddress;
    v.bytes = {static_cast<char>(hostOrder >> 24), static_cast<char>(hostOrder >> 16),
               static_cast<char>(hostOrder >> 8), static_cast<char>(hostOrder)};
    return v;
}

// ---- encoding

namespace {

void PutLength(std::string& out, size_t n)
{
    if (n < 128) {
        out += static_cast<char>(n);
        return;
    }
    std::string bytes;
    while (n) {
        bytes.insert(bytes.begin(), static_cast<char>(n & 0xFF));
        n >>= 8;
    }
    out += static_cast<char>(0x80 | bytes.size());
    out += bytes;
}

std::string Tlv(uint8_t tag, const std::string& content)
{
    std::string out(1, static_cast<char>(tag));
    PutLength(out, content.size());
    out += content;
    return out;
}

std::string SignedContent(int64_t v)
{
    std::string bytes;
    for (int i = 7; i >= 0; --i) bytes += static_cast<char>((static_cast<uint64_t>(v) >> (i * 8)) & 0xFF);
    // Minimal two's complement form.
    while (bytes.size() > 1 && ((bytes[0] == 0 && !(bytes[1] & 0x80)) ||
                                (static_cast<uint8_t>(bytes[0]) == 0xFF && (bytes[1] & 0x80))))
        bytes.erase(bytes.begin());
    return bytes;
}

std::string UnsignedContent(uint64_t v)
{
    std::string bytes;
    do {
        bytes.insert(bytes.begin(), static_cast<char>(v & 0xFF));
        v >>= 8;
    } while (v);
    if (bytes[0] & 0x80) bytes.insert(bytes.begin(), '\0');
    return bytes;
}

std::string OidContent(const Oid& oid)
{
    std::string out;
    if (oid.size() < 2) return std::string(1, '\0');
    auto sub = [&out](uint64_t v) {
        std::string groups(1, static_cast<char>(v & 0x7F));
        v >>= 7;
        while (v) {
            groups.insert(groups.begin(), static_cast<char>(0x80 | (v & 0x7F)));
            v >>= 7;
        }
        out += groups;
    };
    sub(static_cast<uint64_t>(oid[0]) * 40 + oid[1]);
    for (size_t i = 2; i < oid.size(); ++i) sub(oid[i]);
    return out;
}

std::string EncodeValue(const Value& v)
{
    switch (v.type) {
    case kInteger: return Tlv(kInteger, SignedContent(static_cast<int32_t>(v.number)));
    case kCounter32:
    case kGauge32:
    case kTimeTicks: return Tlv(v.type, UnsignedContent(static_cast<uint32_t>(v.number)));
    case kCounter64: return Tlv(v.type, UnsignedContent(static_cast<uint64_t>(v.number)));
    case kOctetString:
    case kIpAddress:
    case kOpaque: return Tlv(v.type, v.bytes);
    case kObjectId: return Tlv(kObjectId, OidContent(v.oid));
    default: return Tlv(v.type, std::string()); // NULL and the exceptions
    }
}

} // namespace

std::string Encode(const Message& m)
{
    std::string binds;
    for (const VarBind& vb : m.varbinds) binds += Tlv(kSequence, Tlv(kObjectId, OidContent(vb.name)) + EncodeValue(vb.value));
    std::string pdu;
    if (m.pduType == kTrapV1) {
        pdu = Tlv(kObjectId, OidContent(m.enterprise)) + EncodeValue(Value::Ip(m.agentAddress)) +
              Tlv(kInteger, SignedContent(m.genericTrap)) + Tlv(kInteger, SignedContent(m.specificTrap)) +
              Tlv(kTimeTicks, UnsignedContent(m.timeStamp)) + Tlv(kSequence, binds);
    } else {
        pdu = Tlv(kInteger, SignedContent(m.requestId)) + Tlv(kInteger, SignedContent(m.errorStatus)) +
              Tlv(kInteger, SignedContent(m.errorIndex)) + Tlv(kSequence, binds);
    }
    return Tlv(kSequence, Tlv(kInteger, SignedContent(m.version)) + Tlv(kOctetString, m.community) + Tlv(m.pduType, pdu));
}

// ---- decoding

namespace {

struct Reader {
    const uint8_t* p;
    const uint8_t* end;

    bool Take(uint8_t& tag, const uint8_t*& content, size_t& length)
    {
        if (end - p < 2) return false;
        tag = *p++;
        size_t n = *p++;
        if (n & 0x80) {
            const size_t bytes = n & 0x7F;
            if (bytes == 0 || bytes > 4 || static_cast<size_t>(end - p) < bytes) return false;
            n = 0;
            for (size_t i = 0; i < bytes; ++i) n = (n << 8) | *p++;
        }
        if (n > static_cast<size_t>(end - p)) return false;
        content = p;
        length = n;
        p += n;
        return true;
    }
    bool Expect(uint8_t want, Reader& inner)
    {
        uint8_t tag;
        const uint8_t* c;
        size_t n;
        if (!Take(tag, c, n) || tag != want) return false;
        inner = {c, c + n};
        return true;
    }
    bool AtEnd() const { return p == end; }
};

bool SignedFrom(const uint8_t* c, size_t n, int64_t& v)
{
    if (n == 0 || n > 8) return false;
    int64_t x = (c[0] & 0x80) ? -1 : 0;
    for (size_t i = 0; i < n; ++i) x = static_cast<int64_t>((static_cast<uint64_t>(x) << 8) | c[i]);
    v = x;
    return true;
}

bool UnsignedFrom(const uint8_t* c, size_t n, uint64_t& v, size_t maxBytes)
{
    if (n == 0) return false;
    while (n > 1 && c[0] == 0) {
        ++c;
        --n;
    }
    if (n > maxBytes) return false;
    uint64_t x = 0;
    for (size_t i = 0; i < n; ++i) x = (x << 8) | c[i];
    v = x;
    return true;
}

bool OidFrom(const uint8_t* c, size_t n, Oid& oid)
{
    oid.clear();
    if (n == 0) return false;
    uint64_t v = 0;
    bool first = true;
    for (size_t i = 0; i < n; ++i) {
        v = (v << 7) | (c[i] & 0x7F);
        if (v > 0xFFFFFFFFull + 80) return false;
        if (!(c[i] & 0x80)) {
            if (first) {
                const uint32_t a = v < 40 ? 0 : v < 80 ? 1 : 2;
                oid.push_back(a);
                oid.push_back(static_cast<uint32_t>(v - a * 40));
                first = false;
            } else {
                if (v > 0xFFFFFFFFull) return false;
                oid.push_back(static_cast<uint32_t>(v));
            }
            v = 0;
            if (oid.size() > 128) return false;
        } else if (i + 1 == n) {
            return false; // unterminated sub-identifier
        }
    }
    return true;
}

bool ValueFrom(uint8_t tag, const uint8_t* c, size_t n, Value& v)
{
    v = Value();
    v.type = tag;
    switch (tag) {
    case kInteger: return SignedFrom(c, n, v.number);
    case kCounter32:
    case kGauge32:
    case kTimeTicks:
    case kCounter64: {
        uint64_t u = 0;
        if (!UnsignedFrom(c, n, u, tag == kCounter64 ? 8 : 4)) return false;
        v.number = static_cast<int64_t>(u);
        return true;
    }
    case kOctetString:
    case kOpaque: v.bytes.assign(reinterpret_cast<const char*>(c), n); return true;
    case kIpAddress:
        if (n != 4) return false;
        v.bytes.assign(reinterpret_cast<const char*>(c), n);
        return true;
    case kObjectId: return OidFrom(c, n, v.oid);
    case kNull:
    case kNoSuchObject:
    case kNoSuchInstance:
    case kEndOfMibView: return n == 0;
    default: return false;
    }
}

bool IntegerField(Reader& r, int64_t& v)
{
    uint8_t tag;
    const uint8_t* c;
    size_t n;
    return r.Take(tag, c, n) && tag == kInteger && SignedFrom(c, n, v);
}

} // namespace

std::optional<Message> Decode(const uint8_t* data, size_t length)
{
    Reader outer{data, data + length}, msg;
    if (!outer.Expect(kSequence, msg)) return std::nullopt;
    Message m;
    int64_t version = 0;
    if (!IntegerField(msg, version) || (version != 0 && version != 1)) return std::nullopt;
    m.version = static_cast<int>(version);
    uint8_t tag;
    const uint8_t* c;
    size_t n;
    if (!msg.Take(tag, c, n) || tag != kOctetString) return std::nullopt;
    m.community.assign(reinterpret_cast<const char*>(c), n);
    if (!msg.Take(tag, c, n)) return std::nullopt;
    m.pduType = tag;
    Reader pdu{c, c + n};
    if (tag == kTrapV1) {
        if (!pdu.Take(tag, c, n) || tag != kObjectId || !OidFrom(c, n, m.enterprise)) return std::nullopt;
        if (!pdu.Take(tag, c, n) || tag != kIpAddress || n != 4) return std::nullopt;
        m.agentAddress = (uint32_t(c[0]) << 24) | (uint32_t(c[1]) << 16) | (uint32_t(c[2]) << 8) | c[3];
        int64_t g = 0, s = 0;
        if (!IntegerField(pdu, g) || !IntegerField(pdu, s)) return std::nullopt;
        m.genericTrap = static_cast<int32_t>(g);
        m.specificTrap = static_cast<int32_t>(s);
        uint64_t ts = 0;
        if (!pdu.Take(tag, c, n) || tag != kTimeTicks || !UnsignedFrom(c, n, ts, 4)) return std::nullopt;
        m.timeStamp = static_cast<uint32_t>(ts);
    } else if (tag >= kGetRequest && tag <= kTrapV2) {
        int64_t id = 0, es = 0, ei = 0;
        if (!IntegerField(pdu, id) || !IntegerField(pdu, es) || !IntegerField(pdu, ei)) return std::nullopt;
        m.requestId = static_cast<int32_t>(id);
        m.errorStatus = static_cast<int32_t>(es);
        m.errorIndex = static_cast<int32_t>(ei);
    } else {
        return std::nullopt;
    }
    Reader binds;
    if (!pdu.Expect(kSequence, binds)) return std::nullopt;
    while (!binds.AtEnd()) {
        Reader vb;
        if (!binds.Expect(kSequence, vb)) return std::nullopt;
        VarBind bind;
        if (!vb.Take(tag, c, n) || tag != kObjectId || !OidFrom(c, n, bind.name)) return std::nullopt;
        if (!vb.Take(tag, c, n) || !ValueFrom(tag, c, n, bind.value)) return std::nullopt;
        m.varbinds.push_back(std::move(bind));
        if (m.varbinds.size() > 1000) return std::nullopt;
    }
    return m;
}

} // namespace qavsim

// The check of discovery answers: a small BER reader that never reads past
// the datagram, and the sender's port and address.
#include "DiscoveryAnswer.h"

#include <cstring>

#include "ncomm/CQBPVb.h"

namespace ncomm {

namespace {

constexpr int kMinAnswerLength = 30;
constexpr int kMaxAnswerLength = 512;

// A cursor over one BER element's content.
class Reader {
public:
    Reader(const unsigned char* data, size_t length) : p_(data), end_(data + length) {}
    bool AtEnd() const { return p_ == end_; }

    // The next element: its tag and a reader over its content. False when
    // the element does not fit what is left.
    bool Next(unsigned char& tag, Reader& content)
    {
        if (end_ - p_ < 2) return false;
        tag = *p_++;
        // Tag numbers above 30 take more bytes; SNMP has none.
        if ((tag & 0x1F) == 0x1F) return false;
        size_t length = *p_++;
        if (length & 0x80) {
            const size_t bytes = length & 0x7F;
            // Indefinite lengths (0x80) and more than two length bytes have
            // no place in a datagram of at most 512 bytes.
            if (bytes == 0 || bytes > 2 || static_cast<size_t>(end_ - p_) < bytes) return false;
            length = 0;
            for (size_t i = 0; i < bytes; ++i) length = (length << 8) | *p_++;
        }
        if (static_cast<size_t>(end_ - p_) < length) return false;
        content = Reader(p_, length);
        p_ += length;
        return true;
    }
    // The next element, which must carry the tag.
    bool Expect(unsigned char tag, Reader& content)
    {
        unsigned char actual = 0;
        return Next(actual, content) && actual == tag;
    }
    // The next element as an INTEGER of one to four bytes.
    bool Integer(long& value)
    {
        Reader content(nullptr, 0);
        if (!Expect(ber::kInteger, content)) return false;
        const size_t n = static_cast<size_t>(content.end_ - content.p_);
        if (n < 1 || n > 4) return false;
        long v = (content.p_[0] & 0x80) ? -1 : 0;
        for (size_t i = 0; i < n; ++i) v = static_cast<long>((static_cast<unsigned long>(v) << 8) | content.p_[i]);
        value = v;
        return true;
    }
    // Whether the content is the encoding of an OID: base-128 groups, each
    // of at most 32 bits, the last byte of every group without bit 7, at
    // most 128 of them.
    bool IsOid() const
    {
        if (p_ == end_ || (end_[-1] & 0x80)) return false;
        size_t count = 0;
        uint64_t group = 0;
        for (const unsigned char* q = p_; q < end_; ++q) {
            group = (group << 7) | (*q & 0x7F);
            if (group > 0xFFFFFFFFull + 80) return false; // the first group holds two arcs
            if (!(*q & 0x80)) {
                group = 0;
                if (++count > 128) return false;
            }
        }
        return true;
    }
    bool Equals(const char* text) const
    {
        const size_t n = std::strlen(text);
        return static_cast<size_t>(end_ - p_) == n && std::memcmp(p_, text, n) == 0;
    }
    size_t Size() const { return static_cast<size_t>(end_ - p_); }

private:
    const unsigned char* p_;
    const unsigned char* end_;
};

// One binding: SEQUENCE { OBJECT IDENTIFIER, value of any syntax }. The
// value is not looked at beyond its tag and length.
bool Binding(Reader& list)
{
    Reader binding(nullptr, 0), name(nullptr, 0), value(nullptr, 0);
    unsigned char valueTag = 0;
    return list.Expect(ber::kSequence, binding) && binding.Expect(ber::kOid, name) && name.IsOid() &&
           binding.Next(valueTag, value) && binding.AtEnd();
}

} // namespace

bool IsDiscoveryAnswer(const unsigned char* data, int length)
{
    if (!data || length < kMinAnswerLength || length > kMaxAnswerLength) return false;
    Reader datagram(data, static_cast<size_t>(length));
    Reader message(nullptr, 0), community(nullptr, 0), pdu(nullptr, 0), list(nullptr, 0);
    long version = -1, requestId = 0, errorStatus = -1, errorIndex = 0;
    if (!datagram.Expect(ber::kSequence, message) || !datagram.AtEnd()) return false;
    if (!message.Integer(version) || version != 0) return false;
    if (!message.Expect(ber::kOctetString, community) || !community.Equals(kDiscoveryCommunity)) return false;
    if (!message.Expect(ber::kResponse, pdu) || !message.AtEnd()) return false;
    if (!pdu.Integer(requestId) || requestId != kDiscoveryRequestId) return false;
    if (!pdu.Integer(errorStatus) || errorStatus != 0 || !pdu.Integer(errorIndex)) return false;
    if (!pdu.Expect(ber::kSequence, list) || !pdu.AtEnd()) return false;
    do {
        if (!Binding(list)) return false;
    } while (!list.AtEnd());
    return true;
}

bool InRanges(uint32_t address, const std::vector<uint32_t>& ranges)
{
    for (size_t i = 0; i + 1 < ranges.size(); i += 2) {
        if (address >= ranges[i] && address <= ranges[i + 1]) return true;
    }
    return false;
}

bool AcceptDiscoveryAnswer(const unsigned char* data, int length, uint32_t sender, int senderPort, int agentPort,
                           const std::vector<uint32_t>* ranges)
{
    if (senderPort != agentPort) return false;
    if (ranges && !InRanges(sender, *ranges)) return false;
    return IsDiscoveryAnswer(data, length);
}

} // namespace ncomm

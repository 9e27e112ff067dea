// Discovery without SNMP agents: argument checks, the request on the wire,
// the sender's order, pacing and cancel, and the answer check, all against a
// small UDP peer on this process's own loopback addresses; and the USB
// maker-family rule.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TestPeers.h"
#include "ncomm/CQBPSearch.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Clock = std::chrono::steady_clock;

const char* const kSysObjectId = "1.3.6.1.2.1.1.2.0";

// A UDP peer on one port of every local address: it records each datagram
// with the address it was sent to, and answers from that address with
// whatever the test's reply function returns for it. The port is put into
// QAV_SNMP_PORT for the search while the peer lives.
class UdpPeer {
public:
    struct Request {
        uint32_t to; // host order
        Bytes data;
        Clock::time_point at;
        std::chrono::nanoseconds arrived; // the kernel's receive time stamp
    };
    // One answer: its bytes, sent from the address the request went to
    // (or `from`, host order), from the peer's port (or another one).
    struct Reply {
        Reply(Bytes bytes) : data(std::move(bytes)) {}
        Reply(Bytes bytes, uint32_t source, bool fromOtherPort = false)
            : data(std::move(bytes)), from(source), otherPort(fromOtherPort)
        {
        }
        Bytes data;
        uint32_t from = 0;
        bool otherPort = false;
    };
    using Replies = std::function<std::vector<Reply>(uint32_t to)>;

    explicit UdpPeer(Replies replies = nullptr) : replies_(std::move(replies))
    {
        socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        otherSocket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int on = 1;
        ::setsockopt(socket_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
        ::setsockopt(socket_, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_ANY);
        ::bind(socket_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        socklen_t len = sizeof sa;
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&sa), &len);
        port_ = ntohs(sa.sin_port);
        const char* old = std::getenv("QAV_SNMP_PORT");
        hadPort_ = old != nullptr;
        if (old) oldPort_ = old;
        ::setenv("QAV_SNMP_PORT", std::to_string(port_).c_str(), 1);
        thread_ = std::thread([this] { Run(); });
    }
    ~UdpPeer()
    {
        stop_ = true;
        thread_.join();
        ::close(socket_);
        ::close(otherSocket_);
        if (hadPort_) {
            ::setenv("QAV_SNMP_PORT", oldPort_.c_str(), 1);
        } else {
            ::unsetenv("QAV_SNMP_PORT");
        }
    }
    bool Ok() const { return socket_ >= 0 && port_ != 0; }
    std::vector<Request> Requests()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_.size();
    }
    // Requests the kernel received at or after t (see RealNow), waiting a
    // moment for the peer to take in what is already queued.
    size_t ArrivedSince(std::chrono::nanoseconds t)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::lock_guard<std::mutex> lock(mutex_);
        size_t n = 0;
        for (const Request& r : requests_) n += r.arrived >= t ? 1 : 0;
        return n;
    }

private:
    void Run()
    {
        while (!stop_) {
            pollfd p{socket_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            unsigned char buf[4096];
            char control[256];
            sockaddr_in from{};
            iovec iov{buf, sizeof buf};
            msghdr msg{};
            msg.msg_name = &from;
            msg.msg_namelen = sizeof from;
            msg.msg_iov = &iov;
            msg.msg_iovlen = 1;
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            ssize_t n = ::recvmsg(socket_, &msg, 0);
            if (n < 0) continue;
            in_addr to{};
            std::chrono::nanoseconds arrived{0};
            for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                    to = reinterpret_cast<in_pktinfo*>(CMSG_DATA(c))->ipi_addr;
                } else if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                    timespec ts{};
                    std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
                    arrived = std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
                }
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back({ntohl(to.s_addr), Bytes(buf, buf + n), Clock::now(), arrived});
            }
            if (!replies_) continue;
            for (const Reply& reply : replies_(ntohl(to.s_addr))) {
                qavtest::SendDatagramFrom(reply.otherPort ? otherSocket_ : socket_, from,
                                          reply.from ? reply.from : ntohl(to.s_addr), reply.data.data(),
                                          reply.data.size());
            }
        }
    }
    Replies replies_;
    int socket_ = -1;
    int otherSocket_ = -1; // any other port
    int port_ = 0;
    bool hadPort_ = false;
    std::string oldPort_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Request> requests_;
    std::thread thread_;
};

// The clock of the kernel's receive time stamps.
std::chrono::nanoseconds RealNow()
{
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

// This process's loopback address 127.a.b.slot as a number (host order).
uint32_t Host(int slot)
{
    in_addr a{};
    ::inet_pton(AF_INET, qavtest::LoopbackAddress(slot).c_str(), &a);
    return ntohl(a.s_addr);
}

// A search result (network order) as the loopback slot it names, -1 if it
// is not one of ours.
int SlotOf(unsigned long result)
{
    const auto* b = reinterpret_cast<const unsigned char*>(&result);
    const uint32_t h = Host(1);
    if (b[0] != 127 || b[1] != ((h >> 16) & 0xFF) || b[2] != ((h >> 8) & 0xFF)) return -1;
    return b[3];
}

std::string Range(int first, int last)
{
    return qavtest::LoopbackAddress(first) + "-" + qavtest::LoopbackAddress(last);
}

// Polls the search until it leaves 10, at most limitMs. Returns the status.
int WaitEnd(CQBPSearch& s, int limitMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    int st;
    while ((st = s.SearchGetResult()) == QBP_SEARCH_RUNNING && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return st;
}

std::vector<int> Slots(CQBPSearch& s)
{
    std::vector<int> out;
    for (int i = 0; i < s.SearchGetSize(); ++i) out.push_back(SlotOf(s.SearchGetAt(i)));
    return out;
}

void PutLength(Bytes& out, size_t n)
{
    if (n < 0x80) {
        out.push_back(static_cast<unsigned char>(n));
    } else if (n < 0x100) {
        out.push_back(0x81);
        out.push_back(static_cast<unsigned char>(n));
    } else {
        out.push_back(0x82);
        out.push_back(static_cast<unsigned char>(n >> 8));
        out.push_back(static_cast<unsigned char>(n));
    }
}

Bytes Tlv(unsigned char tag, const Bytes& content)
{
    Bytes out{tag};
    PutLength(out, content.size());
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// An answer as an agent would send it, field by field.
struct Answer {
    int version = 0; // SNMP version 1
    std::string community = "kestra";
    unsigned char pduTag = 0xA2; // GetResponse
    int requestId = 1;
    int errorStatus = 0;
    Bytes oid = {0x2b, 0x06, 0x01, 0x02, 0x01, 0x01, 0x02, 0x00}; // sysObjectID.0, encoded
    size_t fill = 0; // the value: an OCTET STRING of this many bytes

    Bytes Encode() const
    {
        auto integer = [](int v) { return Bytes{0x02, 0x01, static_cast<unsigned char>(v)}; };
        const Bytes binding = Tlv(0x30, Cat({Tlv(0x06, oid), Tlv(0x04, Bytes(fill, 'x'))}));
        const Bytes pdu = Tlv(pduTag, Cat({integer(requestId), integer(errorStatus), integer(0), Tlv(0x30, binding)}));
        return Tlv(0x30, Cat({integer(version), Tlv(0x04, Bytes(community.begin(), community.end())), pdu}));
    }
};

Bytes Message(unsigned char pduTag, int errorStatus, size_t fill)
{
    Answer a;
    a.pduTag = pduTag;
    a.errorStatus = errorStatus;
    a.fill = fill;
    a.oid = {0x2b}; // 1.3: the shortest OID, so that short answers can be built
    return a.Encode();
}

// A message of exactly `total` bytes (empty when none can be built).
Bytes MessageOfLength(size_t total, int errorStatus, unsigned char pduTag = 0xA2)
{
    for (size_t fill = 0; fill < 4096; ++fill) {
        Bytes m = Message(pduTag, errorStatus, fill);
        if (m.size() == total) return m;
        if (m.size() > total) break;
    }
    return {};
}

// The request as the search must send it for the encoded OID.
Bytes ExpectedRequest(const Bytes& oid)
{
    const size_t a = oid.size() + 4;
    Bytes m = {0x30, static_cast<unsigned char>(a + 26), 0x02, 0x01, 0x00, 0x04, 0x06, 'k', 'e', 's', 't', 'r', 'a',
               0xA0, static_cast<unsigned char>(a + 13), 0x02, 0x01, 0x01, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00,
               0x30, static_cast<unsigned char>(a + 2), 0x30, static_cast<unsigned char>(a), 0x06,
               static_cast<unsigned char>(oid.size())};
    m.insert(m.end(), oid.begin(), oid.end());
    m.push_back(0x05);
    m.push_back(0x00);
    return m;
}

// Reads one BER length at p; false when it runs past the end.
bool ReadLength(const Bytes& m, size_t& p, size_t& length)
{
    if (p >= m.size()) return false;
    const unsigned char b = m[p++];
    if (b < 0x80) {
        length = b;
        return true;
    }
    const int n = b & 0x7F;
    length = 0;
    for (int i = 0; i < n; ++i) {
        if (p >= m.size()) return false;
        length = (length << 8) | m[p++];
    }
    return true;
}

// ---------------------------------------------------------------------------

TEST(SearchArguments, WindowMustBeOneToSixHundredSeconds)
{
    UdpPeer peer;
    ASSERT_TRUE(peer.Ok());
    CQBPSearch s;
    std::vector<std::string> none;
    for (int seconds : {0, 601, -1}) {
        QBPSetLastError(0);
        EXPECT_EQ(s.SearchPrinter(kSysObjectId, seconds, qavtest::LoopbackAddress(1).c_str()), QBP_INVALID_ARGUMENT);
        EXPECT_EQ(QBPGetLastError(), QBP_INVALID_ARGUMENT);
        EXPECT_EQ(s.SearchGetResult(), QBP_INVALID_ARGUMENT);
        QBPSetLastError(0);
        EXPECT_EQ(s.SingleSearchPrinter(kSysObjectId, seconds, &none), QBP_INVALID_ARGUMENT);
        EXPECT_EQ(QBPGetLastError(), QBP_INVALID_ARGUMENT);
        EXPECT_EQ(s.SearchGetResult(), QBP_INVALID_ARGUMENT);
    }
    EXPECT_EQ(peer.Count(), 0u);

    // The bounds themselves are accepted; such searches are cancelled here.
    for (int seconds : {1, 600}) {
        ASSERT_EQ(s.SingleSearchPrinter(kSysObjectId, seconds, &none), 0);
        EXPECT_EQ(s.SearchGetResult(), QBP_SEARCH_RUNNING);
        EXPECT_EQ(s.SearchCancel(), 0);
        EXPECT_EQ(WaitEnd(s, 3000), QBP_SEARCH_CANCELLED);
    }
}

TEST(SearchArguments, RangeOctetOf256IsRefusedBeforeAnythingIsSent)
{
    UdpPeer peer;
    ASSERT_TRUE(peer.Ok());
    CQBPSearch s;
    const uint32_t h = Host(1);
    const std::string net = "127." + std::to_string((h >> 16) & 0xFF) + "." + std::to_string((h >> 8) & 0xFF) + ".";
    // The first range is sound: nothing of it may go out either.
    for (const std::string& bad : {net + "1-" + net + "256", std::string("127.256.0.1-127.0.0.2"), net + "-1-" + net + "3",
                                   net + "1", std::string("printer"), net + "1 - " + net + "3"}) {
        std::vector<std::string> ranges = {Range(1, 3), bad};
        QBPSetLastError(0);
        EXPECT_EQ(s.SingleSearchPrinter(kSysObjectId, 1, &ranges), QBP_INVALID_ARGUMENT) << bad;
        EXPECT_EQ(QBPGetLastError(), QBP_INVALID_ARGUMENT);
        EXPECT_EQ(s.SearchGetResult(), QBP_INVALID_ARGUMENT);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(peer.Count(), 0u);
}

TEST(SearchArguments, OidThatCannotBeEncodedFailsWith33)
{
    UdpPeer peer;
    ASSERT_TRUE(peer.Ok());
    CQBPSearch s;
    std::string tooLong = "1.3"; // 1 byte for 1.3, then one per arc
    for (int i = 0; i < 220; ++i) tooLong += ".1";
    std::vector<std::string> one = {Range(1, 1)};
    for (const std::string& oid : {std::string(), std::string("abc"), std::string("1"), std::string("1.3.x.1"),
                                   std::string("3.1.2"), std::string("1.3..6"), std::string("1.3.6."),
                                   std::string("1.3.4294967296"), tooLong}) {
        QBPSetLastError(0);
        EXPECT_EQ(s.SingleSearchPrinter(oid, 1, &one), QBP_OID_NOT_ENCODABLE) << oid;
        EXPECT_EQ(QBPGetLastError(), QBP_OID_NOT_ENCODABLE);
        EXPECT_EQ(s.SearchGetResult(), QBP_OID_NOT_ENCODABLE);
        std::string address = qavtest::LoopbackAddress(1);
        EXPECT_EQ(s.SearchPrinter(oid, 1, &address), QBP_OID_NOT_ENCODABLE) << oid;
    }
    EXPECT_EQ(peer.Count(), 0u);
}

TEST(SearchRequest, RangeSendsTheGetRequestToEveryAddressOnceInOrder)
{
    UdpPeer peer;
    ASSERT_TRUE(peer.Ok());
    CQBPSearch s;
    std::vector<std::string> ranges = {Range(1, 12), Range(20, 22), Range(30, 25)};
    const auto started = Clock::now();
    ASSERT_EQ(s.SingleSearchPrinter(std::string(kSysObjectId), 1, &ranges), 0);
    EXPECT_EQ(s.SearchGetResult(), QBP_SEARCH_RUNNING);
    EXPECT_EQ(WaitEnd(s, 5000), 0);
    EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(1000));
    EXPECT_EQ(QBPGetLastError(), 0);
    EXPECT_EQ(s.SearchGetSize(), 0); // the peer does not answer

    const std::vector<UdpPeer::Request> req = peer.Requests();
    std::vector<uint32_t> expected;
    for (int i = 1; i <= 12; ++i) expected.push_back(Host(i));
    for (int i = 20; i <= 22; ++i) expected.push_back(Host(i));
    ASSERT_EQ(req.size(), expected.size());
    const Bytes oid = {0x2b, 0x06, 0x01, 0x02, 0x01, 0x01, 0x02, 0x00};
    for (size_t i = 0; i < req.size(); ++i) {
        EXPECT_EQ(req[i].to, expected[i]) << i;
        EXPECT_EQ(req[i].data, ExpectedRequest(oid)) << i;
        // Paced: never two requests closer than the sender's wait.
        if (i > 0) {
            EXPECT_GE(req[i].arrived - req[i - 1].arrived, std::chrono::microseconds(4500)) << i;
        }
    }
}

TEST(SearchRequest, OidEncoding)
{
    struct Case {
        const char* text;
        Bytes encoded;
    };
    const Case cases[] = {
        {"1.3.6.1.4.1.32473.200.0", {0x2b, 0x06, 0x01, 0x04, 0x01, 0x81, 0xFD, 0x59, 0x81, 0x48, 0x00}},
        {".1.3.6.1.2.1.1.1.0", {0x2b, 0x06, 0x01, 0x02, 0x01, 0x01, 0x01, 0x00}},
        {"2.999.4294967295", {0x88, 0x37, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}},
        {"0.0", {0x00}},
        {"1.3.127.128.16383.16384", {0x2b, 0x7F, 0x81, 0x00, 0xFF, 0x7F, 0x81, 0x80, 0x00}},
    };
    for (const Case& c : cases) {
        UdpPeer peer;
        ASSERT_TRUE(peer.Ok());
        CQBPSearch s;
        std::string address = qavtest::LoopbackAddress(4);
        ASSERT_EQ(s.SearchPrinter(std::string(c.text), 1, &address), 0) << c.text;
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (peer.Count() == 0 && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::vector<UdpPeer::Request> req = peer.Requests();
        ASSERT_EQ(req.size(), 1u) << c.text;
        EXPECT_EQ(req[0].to, Host(4));
        EXPECT_EQ(req[0].data, ExpectedRequest(c.encoded)) << c.text;
        EXPECT_EQ(s.SearchCancel(), 0);
        EXPECT_EQ(WaitEnd(s, 2000), QBP_SEARCH_CANCELLED);
    }
}

TEST(SearchRequest, LongestOidGivesAWellFormedMessage)
{
    // 1.3 and 219 arcs of 1: 220 encoded bytes, with tag and length byte
    // exactly the 222 that are allowed.
    std::string oid = "1.3";
    for (int i = 0; i < 219; ++i) oid += ".1";
    UdpPeer peer;
    ASSERT_TRUE(peer.Ok());
    CQBPSearch s;
    ASSERT_EQ(s.SearchPrinter(oid.c_str(), 1, qavtest::LoopbackAddress(2).c_str()), 0);
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (peer.Count() == 0 && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(peer.Count(), 1u);
    const Bytes m = peer.Requests()[0].data;
    // Walk the nesting: every length must end exactly where its parent ends.
    size_t p = 1, len = 0;
    ASSERT_EQ(m[0], 0x30);
    ASSERT_TRUE(ReadLength(m, p, len));
    EXPECT_EQ(p + len, m.size());
    p += 3 + 8; // version, community
    ASSERT_EQ(m[p++], 0xA0);
    ASSERT_TRUE(ReadLength(m, p, len));
    EXPECT_EQ(p + len, m.size());
    p += 9; // request-id, error status, error index
    ASSERT_EQ(m[p++], 0x30);
    ASSERT_TRUE(ReadLength(m, p, len));
    EXPECT_EQ(p + len, m.size());
    ASSERT_EQ(m[p++], 0x30);
    ASSERT_TRUE(ReadLength(m, p, len));
    EXPECT_EQ(p + len, m.size());
    ASSERT_EQ(m[p++], 0x06);
    ASSERT_TRUE(ReadLength(m, p, len));
    EXPECT_EQ(len, 220u);
    EXPECT_EQ(m[p], 0x2b);
    p += len;
    EXPECT_EQ(Bytes(m.begin() + static_cast<long>(p), m.end()), (Bytes{0x05, 0x00}));
    s.SearchCancel();
    WaitEnd(s, 2000);
}

TEST(SearchRange, EmptyAndReversedRangesSendNothingAndWaitTheirWindow)
{
    UdpPeer peer;
    ASSERT_TRUE(peer.Ok());
    std::vector<std::string> empty;
    std::vector<std::string> reversed = {Range(10, 5)};
    for (std::vector<std::string>* ranges : {&empty, &reversed, static_cast<std::vector<std::string>*>(nullptr)}) {
        CQBPSearch s;
        const auto started = Clock::now();
        ASSERT_EQ(s.SingleSearchPrinter(kSysObjectId, 1, ranges), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EXPECT_EQ(s.SearchGetResult(), QBP_SEARCH_RUNNING);
        EXPECT_EQ(WaitEnd(s, 5000), 0);
        EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(1000));
        EXPECT_EQ(s.SearchGetSize(), 0);
        EXPECT_EQ(s.SearchGetAt(0), 0ul);
    }
    EXPECT_EQ(peer.Count(), 0u);
}

TEST(SearchRange, CancelEndsTheSearchWithinOneAddress)
{
    UdpPeer peer([](uint32_t to) -> std::vector<UdpPeer::Reply> {
        if (to == Host(3)) return {MessageOfLength(40, 0)};
        return {};
    });
    ASSERT_TRUE(peer.Ok());
    CQBPSearch s;
    std::vector<std::string> ranges = {Range(1, 254)};
    ASSERT_EQ(s.SingleSearchPrinter(kSysObjectId, 20, &ranges), 0);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (peer.Count() < 20 && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GE(peer.Count(), 20u);
    const auto cancelled = RealNow();
    EXPECT_EQ(s.SearchCancel(), 0);
    EXPECT_EQ(WaitEnd(s, 3000), QBP_SEARCH_CANCELLED);
    // At most the request that was on its way when the cancel came.
    EXPECT_LE(peer.ArrivedSince(cancelled), 1u);
    EXPECT_LT(peer.Count(), 254u);
    // What was found before the cancel stays.
    EXPECT_EQ(Slots(s), std::vector<int>{3});
    EXPECT_EQ(s.SearchCancel(), QBP_NOT_AVAILABLE);
    EXPECT_EQ(s.SearchGetResult(), QBP_SEARCH_CANCELLED);
}

// Runs a range search over slots 1..last of this process's loopback
// addresses against a peer that answers each slot with its list; the slots
// whose answers counted, in order.
std::vector<int> FoundOver(int last, const std::map<int, std::vector<UdpPeer::Reply>>& answers)
{
    UdpPeer peer([&answers](uint32_t to) -> std::vector<UdpPeer::Reply> {
        for (const auto& [slot, list] : answers) {
            if (Host(slot) == to) return list;
        }
        return {};
    });
    EXPECT_TRUE(peer.Ok());
    CQBPSearch s;
    std::vector<std::string> ranges = {Range(1, last)};
    EXPECT_EQ(s.SingleSearchPrinter(kSysObjectId, 1, &ranges), 0);
    EXPECT_EQ(WaitEnd(s, 5000), 0);
    std::vector<int> found = Slots(s);
    std::sort(found.begin(), found.end());
    return found;
}

TEST(SearchResponses, OnlyErrorFreeGetResponsesOfThirtyTo512BytesCount)
{
    std::map<int, std::vector<UdpPeer::Reply>> answers;
    answers[1] = {MessageOfLength(33, 0)};            // shortest possible answer
    const Bytes cut = MessageOfLength(40, 0);
    answers[2] = {Bytes(cut.begin(), cut.begin() + 29)}; // too short
    answers[3] = {MessageOfLength(513, 0)};           // too long
    answers[4] = {MessageOfLength(512, 0)};           // longest accepted, long length forms
    answers[5] = {MessageOfLength(300, 2)};           // noSuchName, long PDU length
    answers[6] = {MessageOfLength(40, 2)};            // noSuchName
    answers[7] = {MessageOfLength(45, 0), MessageOfLength(50, 0)}; // answers twice
    answers[8] = {MessageOfLength(40, 0, 0xA0)};      // a GetRequest, not a response
    answers[10] = {Bytes(40, 0xC8)};                  // lengths pointing past the end
    answers[11] = {Bytes(3000, 0x00)};                // larger than the receive buffer
    answers[12] = {MessageOfLength(140, 0)};          // long outer length, short PDU length
    answers[13] = {MessageOfLength(60, 5)};           // genErr
    for (const auto& [slot, list] : answers) {
        for (const UdpPeer::Reply& r : list) ASSERT_FALSE(r.data.empty()) << slot;
    }
    ASSERT_EQ(answers[12][0].data[1], 0x81);
    ASSERT_EQ(answers[12][0].data[14], 0xA2);
    ASSERT_LT(answers[12][0].data[15], 0x80);
    ASSERT_EQ(answers[5][0].data[16], 0x82);

    EXPECT_EQ(FoundOver(14, answers), (std::vector<int>{1, 4, 7, 12}));
}

// Datagrams that look like answers but answer nothing we asked. Slot 1
// answers as it should, so that the search is seen to work.
TEST(SearchResponses, ForgedAnswersAreNotCounted)
{
    auto answer = [](auto change) {
        Answer a;
        change(a);
        return a.Encode();
    };
    Bytes notSequence = answer([](Answer&) {});
    notSequence[0] = 0x31; // a SET, not a SEQUENCE
    Bytes trailing = answer([](Answer&) {});
    trailing.push_back(0x00); // a byte after the message
    // 30 bytes that pass a look at the GetResponse tag and the error status
    // byte only: the message's start, then no binding list.
    Bytes nearGarbage = {0x30, 0x1C, 0x02, 0x01, 0x00, 0x04, 0x06, 'k', 'e', 's', 't', 'r', 'a', 0xA2, 0x0F,
                         0x02, 0x01, 0x01, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    ASSERT_EQ(nearGarbage.size(), 30u);

    std::map<int, std::vector<UdpPeer::Reply>> answers;
    answers[1] = {answer([](Answer&) {})};
    answers[2] = {answer([](Answer& a) { a.requestId = 2; })};
    answers[3] = {answer([](Answer& a) { a.community = "public"; })};
    answers[4] = {notSequence};
    answers[5] = {UdpPeer::Reply(answer([](Answer&) {}), Host(5), true)}; // from another port
    answers[6] = {nearGarbage};
    answers[7] = {UdpPeer::Reply(answer([](Answer&) {}), Host(200))}; // from outside the ranges
    answers[8] = {answer([](Answer& a) { a.version = 1; })};           // another SNMP version
    answers[9] = {trailing};
    answers[10] = {answer([](Answer& a) { a.oid.clear(); })};          // a binding without a name
    EXPECT_EQ(FoundOver(10, answers), std::vector<int>{1});
}

// Whether this process may give a socket the discovery's receive buffer
// (8 MiB, which the kernel reports doubled): root may go beyond
// net.core.rmem_max, other users only up to it.
bool LargeReceiveBuffersAllowed(int& granted)
{
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int room = 8 * 1024 * 1024;
    if (::setsockopt(s, SOL_SOCKET, SO_RCVBUFFORCE, &room, sizeof room) != 0)
        ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    socklen_t length = sizeof granted;
    ::getsockopt(s, SOL_SOCKET, SO_RCVBUF, &granted, &length);
    ::close(s);
    return granted >= 2 * room;
}

// A burst like the one that answers a broadcast on a large network: 10,000
// printers answer within a few hundred milliseconds, faster than the search
// takes their answers one by one. Every one of them is found.
TEST(SearchResponses, BurstOfTenThousandAnswersIsFoundWhole)
{
    int granted = 0;
    if (!LargeReceiveBuffersAllowed(granted))
        GTEST_SKIP() << "receive buffers of this user are limited to " << granted / 2
                     << " bytes (net.core.rmem_max): a burst this large does not fit";
    constexpr int kPrinters = 10000;
    uint32_t block = 0;
    {
        in_addr a{};
        ASSERT_EQ(::inet_pton(AF_INET, qavtest::LoopbackBlock().c_str(), &a), 1);
        block = ntohl(a.s_addr);
    }
    const Bytes reply = Answer().Encode();
    UdpPeer peer([&](uint32_t to) -> std::vector<UdpPeer::Reply> {
        std::vector<UdpPeer::Reply> burst;
        for (int i = 0; i < kPrinters; ++i) burst.emplace_back(reply, block + static_cast<uint32_t>(i));
        return burst;
    });
    ASSERT_TRUE(peer.Ok());
    CQBPSearch s;
    ASSERT_EQ(s.SearchPrinter(kSysObjectId, 2, qavtest::LoopbackAddress(5).c_str()), 0);
    EXPECT_EQ(WaitEnd(s, 6000), 0);
    EXPECT_EQ(s.SearchGetSize(), kPrinters);
}

TEST(SearchPrinterTo, OneDatagramToTheGivenAddressAndItsAnswerCounts)
{
    UdpPeer peer([](uint32_t to) -> std::vector<UdpPeer::Reply> {
        if (to == Host(5)) return {MessageOfLength(44, 0), MessageOfLength(44, 0)};
        return {};
    });
    ASSERT_TRUE(peer.Ok());
    CQBPSearch s;
    std::string address = qavtest::LoopbackAddress(5);
    const auto started = Clock::now();
    ASSERT_EQ(s.SearchPrinter(kSysObjectId, 1, &address), 0);
    EXPECT_EQ(s.SearchGetResult(), QBP_SEARCH_RUNNING);
    EXPECT_EQ(WaitEnd(s, 5000), 0);
    EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(1000));
    EXPECT_EQ(peer.Count(), 1u);
    EXPECT_EQ(Slots(s), std::vector<int>{5});
    EXPECT_EQ(s.SearchGetAt(1), 0ul);
    EXPECT_EQ(s.SearchGetAt(-1), 0ul);

    // A result is the address in network order: its bytes are the octets.
    const unsigned long first = s.SearchGetAt(0);
    EXPECT_EQ(first >> 32, 0ul);
    const auto* b = reinterpret_cast<const unsigned char*>(&first);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    EXPECT_EQ(std::string(text), qavtest::LoopbackAddress(5));

    // An address that is not dotted IPv4 text is refused, never broadcast.
    QBPSetLastError(0);
    EXPECT_EQ(s.SearchPrinter(kSysObjectId, 1, "printer.local"), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(QBPGetLastError(), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(s.SearchGetResult(), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(s.SearchGetSize(), 0); // a new search empties the results
    EXPECT_EQ(peer.Count(), 1u);
}

TEST(SearchObject, CancelWithoutASearchIsRefused)
{
    CQBPSearch s;
    QBPSetLastError(0);
    EXPECT_EQ(s.SearchCancel(), QBP_NOT_AVAILABLE);
    EXPECT_EQ(QBPGetLastError(), QBP_NOT_AVAILABLE);
    EXPECT_EQ(s.SearchGetResult(), 0);
    EXPECT_EQ(s.SearchGetSize(), 0);
    EXPECT_EQ(s.SearchGetAt(0), 0ul);
}

TEST(SearchObject, DestroyingOrRestartingARunningSearchStopsItsThreads)
{
    UdpPeer peer([](uint32_t to) -> std::vector<UdpPeer::Reply> { return {MessageOfLength(40, 0)}; });
    ASSERT_TRUE(peer.Ok());
    std::vector<std::string> ranges = {Range(1, 254)};
    {
        auto s = std::make_unique<CQBPSearch>();
        ASSERT_EQ(s->SingleSearchPrinter(kSysObjectId, 30, &ranges), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        s.reset(); // the threads must not outlive the object
    }
    auto destroyed = RealNow();
    EXPECT_GT(peer.Count(), 0u);
    EXPECT_EQ(peer.ArrivedSince(destroyed), 0u);
    {
        auto s = std::make_unique<CQBPSearch>();
        ASSERT_EQ(s->SearchPrinter(kSysObjectId, 30, qavtest::LoopbackAddress(9).c_str()), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        s.reset();
    }
    EXPECT_EQ(peer.ArrivedSince(destroyed), 1u);

    // A second search on a running object stops the first one.
    CQBPSearch s;
    ASSERT_EQ(s.SingleSearchPrinter(kSysObjectId, 30, &ranges), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::vector<std::string> one = {Range(200, 200)};
    const auto restarted = RealNow();
    ASSERT_EQ(s.SingleSearchPrinter(kSysObjectId, 1, &one), 0);
    EXPECT_EQ(WaitEnd(s, 5000), 0);
    EXPECT_LE(peer.ArrivedSince(restarted), 2u); // at most one of the first, one of the second
    EXPECT_EQ(Slots(s), std::vector<int>{200});
}

// ---------------------------------------------------------------------------
// USB

TEST(SearchUsb, MakerFamilyRuleOnDeviceIdentifiers)
{
    std::string model;
    EXPECT_TRUE(CQBPSearch::CheckDeviceIdText("MFG:VORANTA;CMD:SBPL;MDL:VORANTA M-UG2W;", &model));
    EXPECT_EQ(model, "VORANTA M-UG2W;");
    model = "unchanged";
    EXPECT_FALSE(CQBPSearch::CheckDeviceIdText("MFG:VORANTA;CMD:SBPL;MDL:VORANTA M-RA1K-P;", &model));
    EXPECT_EQ(model, "unchanged");

    // Every family prefix, and the text after the last ':' only.
    for (const char* text : {"QAV M-10", "VORANTA M-4", "VORANTA MC12", "QAV MC9", "VORANTA MD5", "QAV MD-X",
                             "QAV M-RA1"}) {
        const std::string id = std::string("MFG:QAV;MDL:") + text;
        EXPECT_TRUE(CQBPSearch::CheckDeviceIdText(id.c_str(), &model)) << text;
        EXPECT_EQ(model, text);
    }
    EXPECT_TRUE(CQBPSearch::CheckDeviceIdText("DES:QAV MC9", nullptr));
    for (const char* id : {"MFG:QAV;MDL:QAV M10;", "MFG:QAV;MDL:qav m-10;", "MFG:QAV;MDL: QAV M-10;",
                           "MFG:QAV;MDL:VORANTA MX1;", "MFG:QAV;MDL:VORANTA M-RA;", "MDL:QAV M-1;CLS:PRINTER;",
                           "QAV M-1", "", "MFG:QAV;MDL:"}) {
        EXPECT_FALSE(CQBPSearch::CheckDeviceIdText(id, &model)) << id;
    }
    EXPECT_FALSE(CQBPSearch::CheckDeviceIdText(nullptr, &model));

    // The model text is cut at 255 characters.
    const std::string longModel = "VORANTA MD" + std::string(400, 'Z');
    EXPECT_TRUE(CQBPSearch::CheckDeviceIdText(("MDL:" + longModel).c_str(), &model));
    EXPECT_EQ(model, longModel.substr(0, 255));
}

TEST(SearchUsb, DevicesThatAreNoPrintersAreSkipped)
{
    qavtest::TempDir dir;
    qavtest::WriteFile(dir.File("lp0"), "MFG:VORANTA;MDL:VORANTA M-UG2W;");
    qavtest::WriteFile(dir.File("lp1"), "");
    ::setenv("QAV_USB_DEVICE_GLOB", dir.File("lp*").c_str(), 1);
    CQBPSearch s;
    std::vector<std::string> paths = {"stale"};
    std::vector<std::string> models = {"stale", "stale"};
    // Plain files answer no device-identifier request.
    EXPECT_EQ(s.SearchUSBEx(paths, models), 0);
    EXPECT_TRUE(paths.empty());
    EXPECT_TRUE(models.empty());
    ::setenv("QAV_USB_DEVICE_GLOB", dir.File("none*").c_str(), 1);
    paths = {"stale"};
    EXPECT_EQ(s.SearchUSB(paths), 0);
    EXPECT_TRUE(paths.empty());
    ::unsetenv("QAV_USB_DEVICE_GLOB");
}

} // namespace

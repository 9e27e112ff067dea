// Network discovery: the hand-built SNMP version 1 GET request, the broadcast
// and range searches with their sender and receiver threads, and the check
// of the answers.
//
// The request is built here byte by byte rather than through the SNMP
// engine: it is one fixed message, sent as one UDP datagram to many hosts
// from one non-blocking socket, and the answers are only looked at far
// enough to see that they are error-free GetResponses.
#include "ncomm/CQBPSearch.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <system_error>

#include "DiscoveryAnswer.h"
#include "ReceiveBuffer.h"
#include "ncomm/CQBPVb.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"
#include "qavplatform/Address.h"
#include "qavplatform/Ports.h"

namespace {

constexpr int kMinSeconds = 1;
constexpr int kMaxSeconds = 600;
constexpr int kSendPaceMs = 5;          // after every datagram of a range search
constexpr int kWouldBlockRetryMs = 10;  // a full socket buffer is tried again after this
constexpr int kMaxSendAttempts = 500;   // per address
constexpr int kReceivePollMs = 10;      // the receiver's wait on an empty socket
constexpr int kSenderEndPollMs = 10;
constexpr int kSenderEndPolls = 500;    // 5 s
constexpr int kReceiveBufferSize = 2048;
// Tag, length byte and the encoded sub-identifiers of the OID together may
// not exceed this.
constexpr int kMaxEncodedOid = 222;

// Steady microseconds: the window is timed finer than the millisecond tick
// so that it never ends early by a fraction of a millisecond.
int64_t NowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Appends a BER length: one byte below 128, else 0x81/0x82 and the bytes.
void PutLength(std::vector<unsigned char>& out, size_t length)
{
    if (length < 0x80) {
        out.push_back(static_cast<unsigned char>(length));
    } else if (length <= 0xFF) {
        out.push_back(0x81);
        out.push_back(static_cast<unsigned char>(length));
    } else {
        out.push_back(0x82);
        out.push_back(static_cast<unsigned char>(length >> 8));
        out.push_back(static_cast<unsigned char>(length & 0xFF));
    }
}

// Wraps content in a tag and its length.
std::vector<unsigned char> Wrap(unsigned char tag, const std::vector<unsigned char>& content)
{
    std::vector<unsigned char> out;
    out.reserve(content.size() + 4);
    out.push_back(tag);
    PutLength(out, content.size());
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

// Reads "a.b.c.d-e.f.g.h" into its two addresses (host order). False when
// the text is not two dotted addresses joined by '-'.
bool ParseRange(const std::string& text, uint32_t& first, uint32_t& last)
{
    const size_t dash = text.find('-');
    if (dash == std::string::npos) return false;
    return qavplatform::ParseAddress(std::string_view(text).substr(0, dash), first) &&
           qavplatform::ParseAddress(std::string_view(text).substr(dash + 1), last);
}

} // namespace

CQBPSearch::CQBPSearch() = default;

CQBPSearch::~CQBPSearch()
{
    shutdown_ = true;
    StopRunningSearch();
    CloseSocket();
}

bool CQBPSearch::WindowPassed() const
{
    return NowUs() - startTime_ >= static_cast<int64_t>(waitSeconds_) * 1000000;
}

int CQBPSearch::Fail(int code, int lastError)
{
    status_ = code;
    QBPSetLastError(lastError != 0 ? lastError : code);
    return code;
}

void CQBPSearch::CloseSocket()
{
    if (socket_ >= 0) ::close(socket_);
    socket_ = -1;
}

// A search still running on this object is stopped (it ends as cancelled)
// and its threads are joined, so that no thread of an earlier search ever
// touches the object again.
void CQBPSearch::StopRunningSearch()
{
    if (receiver_.joinable()) {
        if (status_.load() == QBP_SEARCH_RUNNING) cancel_ = 1;
        receiver_.join();
    }
    if (sender_.joinable()) {
        cancel_ = 1;
        sender_.join();
    }
}

// ---------------------------------------------------------------------------
// The request

// Encodes the OID text's sub-identifiers (without tag and length) into out.
// Returns their number of bytes, or -33 when the text is no OID or its
// encoding is too long.
int CQBPSearch::CnvtOidAsn1(const char* oid, unsigned char* out, int outSize)
{
    if (!oid) return QBP_OID_NOT_ENCODABLE;
    const char* p = oid;
    if (*p == '.') ++p;
    std::vector<uint64_t> arcs;
    while (*p) {
        if (*p < '0' || *p > '9') return QBP_OID_NOT_ENCODABLE;
        uint64_t v = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            v = v * 10 + static_cast<uint64_t>(*p - '0');
            if (v > 0xFFFFFFFFull) return QBP_OID_NOT_ENCODABLE;
        }
        arcs.push_back(v);
        if (*p == '.') {
            ++p;
            if (!*p) return QBP_OID_NOT_ENCODABLE; // a trailing dot
        } else if (*p) {
            return QBP_OID_NOT_ENCODABLE;
        }
    }
    if (arcs.size() < 2 || arcs[0] > 2 || (arcs[0] < 2 && arcs[1] >= 40)) return QBP_OID_NOT_ENCODABLE;

    std::vector<uint64_t> subIds;
    subIds.push_back(arcs[0] * 40 + arcs[1]);
    subIds.insert(subIds.end(), arcs.begin() + 2, arcs.end());

    int length = 0;
    for (uint64_t id : subIds) {
        // Base-128 groups, most significant first, bit 7 set on all but the
        // last; leading zero groups are left out.
        unsigned char groups[10];
        int count = 0;
        do {
            groups[count++] = static_cast<unsigned char>(id & 0x7F);
            id >>= 7;
        } while (id != 0);
        // The tag and one length byte count against the limit too.
        if (2 + length + count > kMaxEncodedOid || length + count > outSize) return QBP_OID_NOT_ENCODABLE;
        for (int i = count - 1; i >= 0; --i) out[length++] = static_cast<unsigned char>(groups[i] | (i > 0 ? 0x80 : 0));
    }
    return length;
}

// The GetRequest: version 1, community "kestra", request-id 1, one binding
// of the OID with a NULL value. For the suite's OIDs every length fits one
// byte and the message is the OID's encoding plus 32 bytes; longer OIDs get
// the long length form so that the message stays well-formed.
int CQBPSearch::CreateSearchMessage(const char* oid)
{
    unsigned char encoded[256];
    const int n = CnvtOidAsn1(oid, encoded, static_cast<int>(sizeof encoded));
    if (n < 0) return n;
    auto integer = [](unsigned char value) { return std::vector<unsigned char>{ber::kInteger, 0x01, value}; };
    auto cat = [](std::vector<unsigned char>& out, const std::vector<unsigned char>& part) {
        out.insert(out.end(), part.begin(), part.end());
    };

    std::vector<unsigned char> binding = {ber::kOid};
    PutLength(binding, static_cast<size_t>(n));
    binding.insert(binding.end(), encoded, encoded + n);
    binding.push_back(ber::kNull);
    binding.push_back(0x00);

    std::vector<unsigned char> pdu = integer(ncomm::kDiscoveryRequestId); // request-id
    cat(pdu, integer(0));                                                // error-status
    cat(pdu, integer(0));                                                // error-index
    cat(pdu, Wrap(ber::kSequence, Wrap(ber::kSequence, binding)));

    const std::string community = ncomm::kDiscoveryCommunity;
    std::vector<unsigned char> body = integer(0); // version 1
    cat(body, Wrap(ber::kOctetString, std::vector<unsigned char>(community.begin(), community.end())));
    cat(body, Wrap(ber::kGetRequest, pdu));

    const std::vector<unsigned char> message = Wrap(ber::kSequence, body);
    if (message.size() > sizeof message_) return QBP_OID_NOT_ENCODABLE;
    std::memcpy(message_, message.data(), message.size());
    messageLength_ = static_cast<int>(message.size());
    return QBP_OK;
}

// ---------------------------------------------------------------------------
// Starting a search

int CQBPSearch::InitializeSocket(bool broadcast)
{
    int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s < 0) {
        lastSocketError_ = errno;
        return QBP_SOCKET_CREATE;
    }
    // Every printer of a network may answer within milliseconds of a broadcast.
    ncomm::EnlargeReceiveBuffer(s);
    if (broadcast) {
        int on = 1;
        if (::setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
            lastSocketError_ = errno;
            ::close(s);
            return QBP_BROADCAST_OPTION;
        }
    }
    socket_ = s;
    return QBP_OK;
}

// The steps both searches begin with: the old search is stopped, the window
// checked and stored, the results emptied and the request built.
int CQBPSearch::StartCommon(const char* oid, int seconds)
{
    StopRunningSearch();
    CloseSocket();
    lastSocketError_ = 0;
    cancel_ = 0;
    senderRunning_ = 0;
    if (seconds < kMinSeconds || seconds > kMaxSeconds) return Fail(QBP_INVALID_ARGUMENT, 0);
    waitSeconds_ = seconds;
    {
        std::lock_guard<std::mutex> lock(resultsMutex_);
        results_.clear();
        found_.clear();
    }
    const int rc = CreateSearchMessage(oid);
    if (rc != QBP_OK) return Fail(rc, 0);
    port_ = qavplatform::SnmpAgentPort();
    return QBP_OK;
}

int CQBPSearch::SendGetMessage(const char* address)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port_));
    uint32_t to = 0;
    if (!qavplatform::ParseAddress(address, to)) return QBP_INVALID_ARGUMENT;
    sa.sin_addr.s_addr = htonl(to);
    for (;;) {
        ssize_t n = ::sendto(socket_, message_, static_cast<size_t>(messageLength_), MSG_NOSIGNAL,
                             reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        if (n >= 0) return QBP_OK;
        if (errno == EINTR) continue;
        lastSocketError_ = errno;
        return QBP_SEND_REQUEST;
    }
}

int CQBPSearch::SearchPrinter(const std::string& oid, int seconds, std::string* address)
{
    return SearchPrinter(oid.c_str(), seconds, address ? address->c_str() : nullptr);
}

int CQBPSearch::SearchPrinter(const char* oid, int seconds, const char* address)
{
    int rc = StartCommon(oid, seconds);
    if (rc != QBP_OK) return rc;
    if (!address) address = "255.255.255.255";
    // An address that is no dotted IPv4 address is refused: it must never
    // turn into a broadcast to every host.
    uint32_t probe = 0;
    if (!qavplatform::ParseAddress(address, probe)) return Fail(QBP_INVALID_ARGUMENT, 0);
    rangeSearch_ = false;

    rc = InitializeSocket(true);
    if (rc != QBP_OK) return Fail(rc, lastSocketError_);
    rc = SendGetMessage(address);
    if (rc != QBP_OK) {
        CloseSocket();
        return Fail(rc, lastSocketError_);
    }

    senderRunning_ = 0;
    stopReason_ = QBP_SEARCH_RUNNING;
    status_ = QBP_SEARCH_RUNNING;
    startTime_ = NowUs();
    try {
        receiver_ = std::thread(&CQBPSearch::ReceiveThreadProc, this);
    } catch (const std::system_error&) {
        CloseSocket();
        return Fail(QBP_NO_MEMORY, 0);
    }
    return QBP_OK;
}

int CQBPSearch::CreateIPAddressTable(const std::vector<std::string>* ranges)
{
    rangeTable_.clear();
    if (!ranges) return QBP_OK;
    for (const std::string& text : *ranges) {
        // A text that does not hold both addresses, or an octet of 256 or
        // more, is refused.
        uint32_t first = 0, last = 0;
        if (!ParseRange(text, first, last)) return QBP_INVALID_ARGUMENT;
        rangeTable_.push_back(first);
        rangeTable_.push_back(last);
    }
    return QBP_OK;
}

int CQBPSearch::SingleSearchPrinter(const std::string& oid, int seconds, std::vector<std::string>* ranges)
{
    return SingleSearchPrinter(oid.c_str(), seconds, ranges);
}

int CQBPSearch::SingleSearchPrinter(const char* oid, int seconds, std::vector<std::string>* ranges)
{
    int rc = StartCommon(oid, seconds);
    if (rc != QBP_OK) return rc;
    rc = CreateIPAddressTable(ranges);
    if (rc != QBP_OK) return Fail(rc, 0);
    rangeSearch_ = true;
    rc = InitializeSocket(false);
    if (rc != QBP_OK) return Fail(rc, lastSocketError_);

    stopReason_ = QBP_SEARCH_RUNNING;
    status_ = QBP_SEARCH_RUNNING;
    startTime_ = NowUs();
    senderRunning_ = 1;
    try {
        sender_ = std::thread([this] {
            SendAllRange();
            senderRunning_ = 0;
        });
    } catch (const std::system_error&) {
        senderRunning_ = 0;
        CloseSocket();
        return Fail(QBP_NO_MEMORY, 0);
    }
    try {
        receiver_ = std::thread(&CQBPSearch::ReceiveThreadProc, this);
    } catch (const std::system_error&) {
        cancel_ = 1;
        sender_.join();
        CloseSocket();
        return Fail(QBP_NO_MEMORY, 0);
    }
    return QBP_OK;
}

// ---------------------------------------------------------------------------
// The sender of a range search

void CQBPSearch::SendAllRange()
{
    for (size_t i = 0; i + 1 < rangeTable_.size(); i += 2) {
        const uint64_t first = rangeTable_[i];
        const uint64_t last = rangeTable_[i + 1];
        // Counted in 64 bits: the range ends after 255.255.255.255.
        for (uint64_t address = first; address <= last; ++address) {
            if (cancel_.load() || shutdown_.load() || WindowPassed()) return;
            if (SendOneIP(static_cast<uint32_t>(address)) != 0) return;
        }
    }
}

// Sends the request to one address. 0: go on with the next address; 1: the
// search stops (cancelled, or the request could not be sent).
int CQBPSearch::SendOneIP(uint32_t address)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port_));
    sa.sin_addr.s_addr = htonl(address);
    int attempts = 0;
    while (!cancel_.load() && !shutdown_.load()) {
        ssize_t n = ::sendto(socket_, message_, static_cast<size_t>(messageLength_), MSG_NOSIGNAL,
                             reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        if (n >= 0) {
            // Paced so that a range never floods the network.
            SleepMs(kSendPaceMs);
            return 0;
        }
        const int e = errno;
        if (e == EINTR) continue;
        if (e == EAGAIN || e == EWOULDBLOCK || e == ENOBUFS) {
            // The socket's send buffer is full for the moment.
            if (WindowPassed()) return 0;
            if (++attempts >= kMaxSendAttempts) {
                lastSocketError_ = e;
                int running = QBP_SEARCH_RUNNING;
                stopReason_.compare_exchange_strong(running, QBP_SEND_REQUEST);
                return 1;
            }
            SleepMs(kWouldBlockRetryMs);
            continue;
        }
        if (e == EADDRNOTAVAIL) return 0; // an address that cannot be a destination
        lastSocketError_ = e;
        int running = QBP_SEARCH_RUNNING;
        stopReason_.compare_exchange_strong(running, QBP_SEND_REQUEST);
        return 1;
    }
    return 1;
}

// ---------------------------------------------------------------------------
// The receiver

void CQBPSearch::ReceiveThreadProc()
{
    for (;;) {
        if (WindowPassed()) break;
        if (cancel_.load() || shutdown_.load()) {
            int running = QBP_SEARCH_RUNNING;
            stopReason_.compare_exchange_strong(running, QBP_SEARCH_CANCELLED);
            break;
        }
        if (stopReason_.load() != QBP_SEARCH_RUNNING) break;
        RcvOneMessage();
    }
    WaitSendThreadEnd();
    CloseSocket();
    const int reason = stopReason_.load();
    status_ = reason == QBP_SEARCH_RUNNING ? QBP_OK : reason;
}

// Waits for the range sender to finish with the socket before it is closed.
void CQBPSearch::WaitSendThreadEnd()
{
    for (int i = 0; i < kSenderEndPolls && senderRunning_.load(); ++i) SleepMs(kSenderEndPollMs);
    // The sender leaves within one address once the window has passed or
    // the search was stopped; it is stopped outright here in any case, and
    // joined, so that it never sends on a closed (or reused) socket.
    if (sender_.joinable()) {
        if (senderRunning_.load()) cancel_ = 1;
        sender_.join();
    }
}

void CQBPSearch::RcvOneMessage()
{
    pollfd p{socket_, POLLIN, 0};
    const int ready = ::poll(&p, 1, kReceivePollMs);
    if (ready <= 0) return;
    unsigned char buffer[kReceiveBufferSize];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    ssize_t n = ::recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) SleepMs(kReceivePollMs);
        return;
    }
    if (from.sin_family != AF_INET || fromLength < sizeof from ||
        !CheckResponseMessage(buffer, static_cast<int>(n), ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)))
        return;
    std::lock_guard<std::mutex> lock(resultsMutex_);
    if (!DuplicateCheck(from.sin_addr.s_addr)) results_.push_back(from.sin_addr.s_addr);
}

// Whether the address is already a result (the results lock is held); a
// new one is remembered.
bool CQBPSearch::DuplicateCheck(uint32_t address) { return !found_.insert(address).second; }

// An answer counts when it is the answer to our request: an error-free
// GetResponse with the request's id and community from the agents' port,
// and, for a range search, from an address of the ranges.
bool CQBPSearch::CheckResponseMessage(const unsigned char* data, int length, uint32_t sender, int senderPort) const
{
    return ncomm::AcceptDiscoveryAnswer(data, length, sender, senderPort, port_, rangeSearch_ ? &rangeTable_ : nullptr);
}

// ---------------------------------------------------------------------------
// Status and results

int CQBPSearch::SearchGetResult()
{
    QBPSetLastError(lastSocketError_.load());
    return status_.load();
}

int CQBPSearch::SearchGetSize()
{
    std::lock_guard<std::mutex> lock(resultsMutex_);
    return static_cast<int>(results_.size());
}

unsigned long CQBPSearch::SearchGetAt(int index)
{
    std::lock_guard<std::mutex> lock(resultsMutex_);
    if (index < 0 || index >= static_cast<int>(results_.size())) return 0;
    return results_[static_cast<size_t>(index)];
}

int CQBPSearch::SearchCancel()
{
    if (status_.load() != QBP_SEARCH_RUNNING) {
        QBPSetLastError(QBP_NOT_AVAILABLE);
        return QBP_NOT_AVAILABLE;
    }
    cancel_ = 1;
    return QBP_OK;
}

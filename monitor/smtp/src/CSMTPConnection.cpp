#include "qavsmtp/CSMTPConnection.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string_view>

#include "qavplatform/Address.h"
#include "qavsmtp/SMTPError.h"

using qavsmtp::SMTPGetLastError;
using qavsmtp::SMTPSetLastError;

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kReplyStartSize = 512;
constexpr size_t kReplyGrowth = 4096;
// A reply longer than this is no SMTP reply: the read fails instead of
// growing the buffer for as long as a server keeps sending.
constexpr size_t kReplyMaxSize = 64 * 1024;
// Replies are looked for at least this often.
constexpr int kPollSliceMs = 250;
constexpr size_t kHostNameMax = 100;

long long MsSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// Where the complete reply at the start of text ends (just after the end
// marker of its last line), or npos while it is incomplete. A line whose
// fourth character is "-" announces a further line of the same reply.
size_t ReplyEnd(const char* text, size_t length, const char* marker)
{
    const size_t markerLength = std::strlen(marker);
    const std::string_view view(text, length);
    size_t lineStart = 0;
    for (;;) {
        const size_t lineEnd = view.find(marker, lineStart);
        if (lineEnd == std::string_view::npos) return std::string_view::npos;
        const bool continued = lineEnd - lineStart >= 4 && view[lineStart + 3] == '-';
        lineStart = lineEnd + markerLength;
        if (!continued) return lineStart;
    }
}

int ReplyCode(const std::string& text)
{
    int code = 0;
    for (size_t i = 0; i < 3 && i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return code;
        code = code * 10 + (text[i] - '0');
    }
    return code;
}

int ConnectErrorValue(int err)
{
    switch (err) {
    case ECONNREFUSED: return qavsmtp::kSmtpErrConnectionRefused;
    case ETIMEDOUT: return qavsmtp::kSmtpErrTimeout;
    default: return qavsmtp::kSmtpErrHostUnreachable;
    }
}

std::string LocalHostName()
{
    char name[kHostNameMax + 1] = {};
    if (::gethostname(name, kHostNameMax) != 0 || name[0] == '\0') std::strcpy(name, "localhost");
    name[kHostNameMax] = '\0';
    return name;
}

bool CurlReady()
{
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

int SecureConnectError(CURLcode rc)
{
    switch (rc) {
    case CURLE_COULDNT_RESOLVE_HOST: return qavsmtp::kSmtpErrHostUnresolved;
    case CURLE_COULDNT_CONNECT: return qavsmtp::kSmtpErrConnectionRefused;
    case CURLE_OPERATION_TIMEDOUT: return qavsmtp::kSmtpErrTimeout;
    case CURLE_WEIRD_SERVER_REPLY: return qavsmtp::kSmtpErrUnexpectedReply;
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_ENGINE_INITFAILED: return qavsmtp::kSmtpErrSecureConnection;
    default: return qavsmtp::kSmtpErrHostUnreachable;
    }
}

bool SendableAddress(const std::string& address)
{
    for (unsigned char c : address) {
        if (c < 0x20 || c == 0x7f || c == '<' || c == '>') return false;
    }
    return true;
}

} // namespace

CSMTPConnection::CSMTPConnection(int timeoutMs) : timeoutMs_(timeoutMs > 0 ? timeoutMs : kDefaultTimeoutMs) {}

CSMTPConnection::~CSMTPConnection()
{
    if (connected_) CloseConnection();
    CloseSocket();
}

void CSMTPConnection::SetSecurity(int security, const std::string& caFile)
{
    security_ = security == kStartTls || security == kTls ? security : kPlain;
    caFile_ = caFile;
}

void CSMTPConnection::CloseSocket()
{
    if (curl_) {
        curl_easy_cleanup(static_cast<CURL*>(curl_)); // its socket with it
        curl_ = nullptr;
    } else if (socket_ >= 0) {
        ::close(socket_);
    }
    socket_ = -1;
    connected_ = false;
    pending_.clear();
}

int CSMTPConnection::ConnectToServer(const std::string& host, const std::string& /*user*/,
                                     const std::string& /*password*/, int port)
{
    if (socket_ >= 0) CloseConnection();
    lastReply_.clear();
    lastReplyCode_ = 0;

    if (port < 1 || port > 65535) {
        SMTPSetLastError(qavsmtp::kSmtpErrHostUnresolved);
        return 0;
    }
    if (security_ != kPlain) return ConnectSecurely(host, port);

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    uint32_t dotted = 0;
    if (qavplatform::ParseAddress(host, dotted)) {
        address.sin_addr.s_addr = htonl(dotted);
    } else {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) {
            if (found) ::freeaddrinfo(found);
            SMTPSetLastError(qavsmtp::kSmtpErrHostUnresolved);
            return 0;
        }
        address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        ::freeaddrinfo(found);
    }

    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0) {
        SMTPSetLastError(qavsmtp::kSmtpErrHostUnreachable);
        return 0;
    }
    int rc;
    do {
        rc = ::connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int err = errno;
        CloseSocket();
        SMTPSetLastError(ConnectErrorValue(err));
        return 0;
    }
    connected_ = true;

    bool greeted = ReadCommandReply(220) == 1;
    if (greeted) greeted = SendText("HELO " + LocalHostName() + "\r\n") && ReadCommandReply(250);
    if (!greeted) {
        // The caller learns why the greeting failed, not how QUIT went.
        const int error = SMTPGetLastError();
        const std::string reply = lastReply_;
        const int code = lastReplyCode_;
        CloseConnection();
        SMTPSetLastError(error);
        lastReply_ = reply;
        lastReplyCode_ = code;
        return 0;
    }
    return 1;
}

int CSMTPConnection::ConnectSecurely(const std::string& host, int port)
{
    if (host.empty() || host.find_first_of("/:@?#[] \t\r\n") != std::string::npos) {
        SMTPSetLastError(qavsmtp::kSmtpErrHostUnresolved);
        return 0;
    }
    CURL* curl = CurlReady() ? curl_easy_init() : nullptr;
    if (!curl) {
        lastReply_ = "the mail engine could not be started";
        SMTPSetLastError(qavsmtp::kSmtpErrSecureConnection);
        return 0;
    }
    // The URL's path is the name this machine gives in EHLO.
    char* name = curl_easy_escape(curl, LocalHostName().c_str(), 0);
    const std::string url = std::string(security_ == kTls ? "smtps://" : "smtp://") + host + ":" +
                            std::to_string(port) + "/" + (name ? name : "localhost");
    curl_free(name);
    // Every reply within the time-out (libcurl counts it in whole seconds),
    // and the whole set-up (connection, greeting, EHLO, STARTTLS and the
    // handshake, EHLO again) within four of them.
    const long replySeconds = std::max(1, (timeoutMs_ + 999) / 1000);
    char detail[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, security_ == kTls ? "smtps" : "smtp");
    curl_easy_setopt(curl, CURLOPT_CONNECT_ONLY, 1L);
    if (security_ == kStartTls) curl_easy_setopt(curl, CURLOPT_USE_SSL, CURLUSESSL_ALL);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile_.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, caFile_.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXY, ""); // never through a proxy from the environment
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs_));
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, replySeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(4 * timeoutMs_));
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);
    const CURLcode rc = curl_easy_perform(curl);
    curl_socket_t active = CURL_SOCKET_BAD;
    if (rc == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_ACTIVESOCKET, &active);
    if (rc != CURLE_OK || active == CURL_SOCKET_BAD) {
        lastReply_ = detail[0] ? detail : curl_easy_strerror(rc);
        curl_easy_cleanup(curl);
        SMTPSetLastError(rc == CURLE_OK ? qavsmtp::kSmtpErrConnectionClosed : SecureConnectError(rc));
        return 0;
    }
    curl_ = curl;
    socket_ = static_cast<int>(active);
    connected_ = true;
    return 1;
}

long CSMTPConnection::TrySend(const char* data, size_t size)
{
    if (curl_) {
        size_t sent = 0;
        const CURLcode rc = curl_easy_send(static_cast<CURL*>(curl_), data, size, &sent);
        if (rc == CURLE_AGAIN) return 0;
        if (rc != CURLE_OK) {
            SMTPSetLastError(qavsmtp::kSmtpErrConnectionClosed);
            return -1;
        }
        return static_cast<long>(sent);
    }
    const ssize_t n = ::send(socket_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    SMTPSetLastError(qavsmtp::kSmtpErrConnectionClosed);
    return -1;
}

long CSMTPConnection::TryReceive(char* data, size_t size)
{
    if (curl_) {
        // What the secure layer has decoded already is there before the
        // socket shows anything.
        size_t got = 0;
        const CURLcode rc = curl_easy_recv(static_cast<CURL*>(curl_), data, size, &got);
        if (rc == CURLE_AGAIN) return 0;
        if (rc != CURLE_OK || got == 0) {
            SMTPSetLastError(qavsmtp::kSmtpErrConnectionClosed);
            return -1;
        }
        return static_cast<long>(got);
    }
    const ssize_t n = ::recv(socket_, data, size, MSG_DONTWAIT);
    if (n > 0) return static_cast<long>(n);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    // 0: the server closed the connection, no reply will come.
    SMTPSetLastError(qavsmtp::kSmtpErrConnectionClosed);
    return -1;
}

void CSMTPConnection::Wait(bool forWriting, int ms)
{
    pollfd p{socket_, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
    ::poll(&p, 1, ms); // what came (or an error) shows at the next try
}

int CSMTPConnection::CloseConnection()
{
    int acknowledged = 0;
    if (connected_) {
        acknowledged = SendText("QUIT\r\n") && ReadCommandReply(221);
        if (!acknowledged && SMTPGetLastError() == qavsmtp::kSmtpErrUnexpectedReply)
            SMTPSetLastError(qavsmtp::kSmtpErrRefused);
    }
    CloseSocket();
    return acknowledged;
}

int CSMTPConnection::SendText(const std::string& text)
{
    if (socket_ < 0) {
        SMTPSetLastError(qavsmtp::kSmtpErrNotConnected);
        return 0;
    }
    size_t sent = 0;
    auto lastProgress = Clock::now();
    while (sent < text.size()) {
        const long n = TrySend(text.data() + sent, text.size() - sent);
        if (n < 0) return 0;
        if (n > 0) {
            sent += static_cast<size_t>(n);
            lastProgress = Clock::now();
            continue;
        }
        // A server that stops reading counts like one that stops answering.
        const long long left = timeoutMs_ - MsSince(lastProgress);
        if (left <= 0) {
            SMTPSetLastError(qavsmtp::kSmtpErrTimeout);
            return 0;
        }
        Wait(true, static_cast<int>(std::min<long long>(left, kPollSliceMs)));
    }
    return 1;
}

int CSMTPConnection::ReadCommandReply(int expectedCode)
{
    std::vector<char> buffer(kReplyStartSize);
    return ReadReply(buffer, "\r\n", expectedCode, true, kReplyGrowth);
}

int CSMTPConnection::ReadReply(std::vector<char>& buffer, const char* endMarker, int expectedCode, bool growing,
                               size_t growthStep)
{
    if (socket_ < 0) {
        SMTPSetLastError(qavsmtp::kSmtpErrNotConnected);
        return 0;
    }
    if (!endMarker || !*endMarker) endMarker = "\r\n";
    const size_t markerLength = std::strlen(endMarker);
    if (buffer.size() < 2) buffer.resize(2);

    // Bytes that arrived behind the previous reply belong to this one.
    size_t used = 0;
    if (!pending_.empty()) {
        if (buffer.size() < pending_.size() + 1) buffer.resize(pending_.size() + 1);
        std::memcpy(buffer.data(), pending_.data(), pending_.size());
        used = pending_.size();
        pending_.clear();
    }

    auto lastData = Clock::now();
    for (;;) {
        const size_t end = ReplyEnd(buffer.data(), used, endMarker);
        if (end != std::string_view::npos) {
            pending_.assign(buffer.data() + end, used - end);
            const std::string text(buffer.data(), end - markerLength);
            lastReplyCode_ = ReplyCode(text);
            if (lastReplyCode_ == expectedCode) return 1;
            lastReply_ = text;
            SMTPSetLastError(qavsmtp::kSmtpErrUnexpectedReply);
            return 0;
        }

        // One byte always stays free, as room for a terminator.
        if (used + 1 >= buffer.size()) {
            if (!growing || growthStep == 0 || buffer.size() + growthStep > kReplyMaxSize) {
                lastReply_.assign(buffer.data(), used);
                SMTPSetLastError(qavsmtp::kSmtpErrUnexpectedReply);
                return 0;
            }
            buffer.resize(buffer.size() + growthStep);
        }
        const long n = TryReceive(buffer.data() + used, buffer.size() - 1 - used);
        if (n < 0) {
            lastReply_.assign(buffer.data(), used);
            return 0;
        }
        if (n > 0) {
            used += static_cast<size_t>(n);
            buffer[used] = '\0';
            lastData = Clock::now();
            continue;
        }
        const long long left = timeoutMs_ - MsSince(lastData);
        if (left <= 0) {
            lastReply_.assign(buffer.data(), used);
            SMTPSetLastError(qavsmtp::kSmtpErrTimeout);
            return 0;
        }
        // Waits for data at most one slice, and wakes as soon as some arrives.
        Wait(false, static_cast<int>(std::min<long long>(left, kPollSliceMs)));
    }
}

int CSMTPConnection::Command(const std::string& text, int expectedCode)
{
    if (!SendText(text)) return 0;
    if (ReadCommandReply(expectedCode)) return 1;
    if (SMTPGetLastError() == qavsmtp::kSmtpErrUnexpectedReply) SMTPSetLastError(qavsmtp::kSmtpErrRefused);
    return 0;
}

void CSMTPConnection::ResetTransaction()
{
    // After a refusal the server may still hold the sender and recipients
    // given so far; RSET clears them so that the next message starts clean.
    // The caller keeps seeing the refusal, not how RSET went.
    const int error = SMTPGetLastError();
    const std::string reply = lastReply_;
    const int code = lastReplyCode_;
    if (connected_ && SendText("RSET\r\n")) ReadCommandReply(250);
    SMTPSetLastError(error);
    lastReply_ = reply;
    lastReplyCode_ = code;
}

int CSMTPConnection::SendMail(const CSMTPMessage& message, bool japanese)
{
    if (!connected_) {
        SMTPSetLastError(qavsmtp::kSmtpErrNotConnected);
        return 0;
    }
    if (!SendableAddress(message.m_From.m_sEmailAddress)) {
        SMTPSetLastError(qavsmtp::kSmtpErrBadAddress);
        return 0;
    }
    auto refused = [this]() {
        if (SMTPGetLastError() == qavsmtp::kSmtpErrRefused) ResetTransaction();
        return 0;
    };

    if (!Command("MAIL FROM:<" + message.m_From.m_sEmailAddress + ">\r\n", 250)) return refused();
    for (int kind : {CSMTPMessage::TO, CSMTPMessage::CC, CSMTPMessage::BCC}) {
        const int count = message.GetNumberOfRecipients(kind);
        for (int i = 0; i < count; ++i) {
            CSMTPAddress recipient;
            message.GetRecipient(recipient, i, kind);
            if (!Command("RCPT TO:<" + recipient.m_sEmailAddress + ">\r\n", 250)) return refused();
        }
    }
    if (!Command("DATA\r\n", 354)) return refused();
    if (!SendText(message.BuildHeader(japanese)) || !SendText(message.GetText())) return 0;
    if (!Command("\r\n.\r\n", 250)) return refused();
    return 1;
}

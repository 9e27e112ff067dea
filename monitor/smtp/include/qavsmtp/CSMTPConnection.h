// CSMTPConnection: the monitor's own small SMTP client.
//
// SMTP over TCP without authentication: the greeting, HELO, one or more
// mail transactions (MAIL FROM, RCPT TO, DATA) and QUIT. It also serves as
// the probe that checks whether the mail server can be reached at all.
// Every reply must arrive within the time-out (2000 ms by default) counted
// from the last data received.
//
// By default the connection is plain. With a secure connection chosen
// (SetSecurity: STARTTLS or TLS) libcurl makes the connection: it checks the
// server's certificate and name, says EHLO (and STARTTLS) where the plain
// client says HELO, and the client's own exchange then runs over the secure
// connection unchanged. Nothing but EHLO and STARTTLS ever goes out in
// clear: a server that offers no STARTTLS, or whose certificate is not
// trusted, fails the connection before any mail command.
//
// Results are 1 (success) or 0; on failure the thread's last-error value
// (qavsmtp/SMTPError.h) says why. One thread uses a client at a time.
#pragma once

#include <string>
#include <vector>

#include "CSMTPMessage.h"

class CSMTPConnection {
public:
    static constexpr int kDefaultTimeoutMs = 2000;
    static constexpr const char* kMailerName = CSMTPMessage::kDefaultMailer;

    // The connection's security, numbered as the mail library's
    // BSMTP_SECURITY_*.
    enum Security { kPlain = 0, kStartTls = 1, kTls = 2 };

    explicit CSMTPConnection(int timeoutMs = kDefaultTimeoutMs);
    virtual ~CSMTPConnection();
    CSMTPConnection(const CSMTPConnection&) = delete;
    CSMTPConnection& operator=(const CSMTPConnection&) = delete;

    // Connects to host (dotted IPv4 address or a name resolved to its first
    // IPv4 address) on port, reads the 220 greeting and says HELO with the
    // local host name. User and password are accepted and not used: this
    // client never authenticates. Returns 1 when connected and greeted.
    int ConnectToServer(const std::string& host, const std::string& user = std::string(),
                        const std::string& password = std::string(), int port = 25);
    // The security of the next ConnectToServer, and the certificate
    // authorities (a PEM file; empty: the system's) that the server's
    // certificate must come from. A secure connection that cannot be made
    // fails with kSmtpErrSecureConnection; GetLastCommandResponse says why.
    void SetSecurity(int security, const std::string& caFile = std::string());
    int GetSecurity() const { return security_; }
    // Says QUIT (if connected) and closes the socket. Returns 1 when the
    // server acknowledged QUIT with 221.
    int CloseConnection();
    // One mail transaction for the message; returns 1 when the server took
    // the message. The connection stays open for a further message; after a
    // refused command the transaction is reset so that the next one starts
    // clean.
    int SendMail(const CSMTPMessage& message, bool japanese = false);

    bool IsConnected() const { return connected_; }
    int GetTimeout() const { return timeoutMs_; }
    // The text of the last reply that did not carry the expected code.
    const std::string& GetLastCommandResponse() const { return lastReply_; }
    // The code of the last reply read.
    int GetLastCommandResponseCode() const { return lastReplyCode_; }

    // Reads one reply and compares its code with the expected one.
    virtual int ReadCommandReply(int expectedCode);
    // Reads one complete reply (all lines of a multi-line reply) into buffer,
    // whose size at the call is the starting size. Lines end with endMarker.
    // With `growing` the buffer is enlarged by growthStep whenever it is full
    // (up to a limit); without, a full buffer fails the read.
    virtual int ReadReply(std::vector<char>& buffer, const char* endMarker, int expectedCode, bool growing,
                          size_t growthStep);

protected:
    // Sends all of text; 0 on a send error.
    int SendText(const std::string& text);

private:
    // The secure connection through libcurl (greeting and EHLO included).
    int ConnectSecurely(const std::string& host, int port);
    // One try at moving bytes without waiting: the count, 0 when the
    // connection has nothing (or no room) now, -1 when it is closed or
    // failed (the last-error value is set).
    long TrySend(const char* data, size_t size);
    long TryReceive(char* data, size_t size);
    // Waits up to ms for the socket to become readable (or writable).
    void Wait(bool forWriting, int ms);
    void CloseSocket();
    // Sends a command and reads its reply; refusals become error 22.
    int Command(const std::string& text, int expectedCode);
    void ResetTransaction();

    int socket_ = -1;
    void* curl_ = nullptr; // libcurl's handle of a secure connection (it owns socket_ then)
    int security_ = kPlain;
    std::string caFile_;
    bool connected_ = false;
    std::string lastReply_;
    const int timeoutMs_;
    int lastReplyCode_ = 0;
    // Bytes received after the end of the last reply (the start of the next).
    std::string pending_;
};

// CSMTPConnection: the monitor's own small SMTP client.
//
// Plain SMTP over TCP, without authentication and without encryption: the
// greeting, HELO, one or more mail transactions (MAIL FROM, RCPT TO, DATA)
// and QUIT. It also serves as the probe that checks whether the mail server
// can be reached at all. Every reply must arrive within the time-out
// (2000 ms by default) counted from the last data received.
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
    void CloseSocket();
    // Sends a command and reads its reply; refusals become error 22.
    int Command(const std::string& text, int expectedCode);
    void ResetTransaction();

    int socket_ = -1;
    bool connected_ = false;
    std::string lastReply_;
    const int timeoutMs_;
    int lastReplyCode_ = 0;
    // Bytes received after the end of the last reply (the start of the next).
    std::string pending_;
};

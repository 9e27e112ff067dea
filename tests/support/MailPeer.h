// The mail server peer of the mail tests: aiosmtpd (tests/support/
// mail_peer.py) on a loopback address, and what it recorded.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "TestPeers.h"

namespace qavtest {

// One recorded event of the peer (see mail_peer.py): "connect", "auth",
// "rcpt-refused", "mail" or "raw".
struct MailEvent {
    std::string event;
    // "mail": the envelope and the content exactly as received (dots
    // un-stuffed, the final dot line off) and the login used, if any.
    std::string mailFrom;
    std::vector<std::string> rcptTos;
    std::string data;
    std::string authMechanism;
    std::string authLogin;
    // "auth": the method, the login and whether it succeeded.
    std::string mechanism;
    std::string login;
    bool success = false;
    // "rcpt-refused": the refused address.
    std::string address;
    // "raw": all bytes the client sent.
    std::string received;
};

class MailPeer {
public:
    // Modes: accept, plain, cram, noauth, refuse2, multiline, reject554,
    // silent. Credentials the auth modes accept: user "qav", password
    // "secret" unless given. Returns once the peer listens.
    bool Start(const std::string& mode, const std::string& address, int port, const std::string& user = "qav",
               const std::string& password = "secret", int timeoutMs = 15000);
    // The same with a secure connection: tls "starttls" (STARTTLS offered and
    // required before MAIL and AUTH) or "tls" (TLS from the first byte), with
    // a certificate made for the address (CertFile(), to trust it).
    bool StartSecure(const std::string& mode, const std::string& tls, const std::string& address, int port,
                     const std::string& user = "qav", const std::string& password = "secret");
    std::string CertFile() const;
    void Stop() { process_.Stop(); }
    std::string Log() const { return process_.Log(); }

    const std::string& Address() const { return address_; }
    int Port() const { return port_; }
    // "address:port", as the mail library takes it.
    std::string Server() const { return address_ + ":" + std::to_string(port_); }

    std::vector<MailEvent> Events() const;
    std::vector<MailEvent> Mails() const;
    // Waits until at least `count` events of the kind were recorded (the
    // peer records a connection's end after the client has gone).
    bool WaitForEvents(const std::string& kind, size_t count, int timeoutMs = 5000) const;

private:
    bool StartWith(const std::string& mode, const std::string& tls, const std::string& address, int port,
                   const std::string& user, const std::string& password, int timeoutMs);

    TempDir dir_;
    ChildProcess process_;
    std::string address_;
    int port_ = 0;
};

// A received mail's header block (continuation lines unfolded, one value
// per name) and its body; `complete` is false when the header block has no
// end.
struct ReceivedMail {
    std::map<std::string, std::string> headers;
    std::string body;
    bool complete = false;
};
ReceivedMail ParseMail(const std::string& data);

// A free TCP port on address: bound and released again.
int FreeTcpPort(const std::string& address);
// The same for UDP ("0.0.0.0": free on every address).
int FreeUdpPort(const std::string& address);

} // namespace qavtest

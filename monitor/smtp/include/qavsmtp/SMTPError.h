// Failure values of the monitor's SMTP client and the thread's last-error
// slot in which the client leaves them.
//
// Every operation of CSMTPConnection and CSMTPMessage reports success by its
// return value; on failure it leaves one of the values below here. The slot
// belongs to the calling thread; 0 means nothing has been recorded.
#pragma once

namespace qavsmtp {

enum SmtpError : int {
    kSmtpErrNone = 0,
    kSmtpErrRefused = 22,              // a command of a transaction or QUIT got another reply than the expected one
    kSmtpErrBadAddress = 13,           // a malformed address (recipient list, sender)
    kSmtpErrTimeout = 10060,           // no (complete) reply within the time-out
    kSmtpErrUnexpectedReply = 10043,   // a reply with another code than the expected one
    kSmtpErrHostUnresolved = 10022,    // the host name cannot be resolved
    kSmtpErrConnectionClosed = 10054,  // the server closed the connection while a reply was awaited
    kSmtpErrNotConnected = 10057,      // an exchange was asked for without an open connection
    kSmtpErrConnectionRefused = 10061, // nothing listens on the server's port
    kSmtpErrHostUnreachable = 10065,   // the TCP connection could not be made for another reason
    kSmtpErrSecureConnection = 10071,  // no secure connection: no STARTTLS offered, a certificate not
                                       // trusted or for another name, or a failed handshake
};

int SMTPGetLastError();
void SMTPSetLastError(int code);

} // namespace qavsmtp

/* Bsmtp: the mail-sending library beside the monitor and the settings
 * library (libbsmtp.so). One function, BSendMail, sends one plain-text mail
 * over SMTP, with or without authentication.
 *
 * BSendMail(server, recipients, senderAndAuth, subject, body, reserved, errorText)
 *
 *   server         "host" or "host:port" (port 25 when none is given); host is
 *                  a dotted IPv4 address or a host name.
 *   recipients     the recipients' addresses separated by TAB characters (";"
 *                  and "," separate as well). An entry is a bare address or
 *                  "name <address>". Empty entries are skipped.
 *   senderAndAuth  the sender and the authentication, TAB-separated:
 *                    "sender"                        no authentication
 *                    "sender\tuser:password"         authentication with a
 *                                                    method the server offers
 *                    "sender\tuser:password\tPLAIN"  AUTH PLAIN only
 *                    "sender\tuser:password\tCRAM-MD5"  AUTH CRAM-MD5 only
 *                  ("LOGIN" is accepted as a third field too). The sender is
 *                  "address", "name <address>" or "name<>"; an empty address
 *                  gives the null sender "<>". The password is the text after
 *                  the first ":".
 *                  When the server offers no authentication at all the mail
 *                  is sent without.
 *   subject, body  the subject and the body text (UTF-8 or ASCII). Body
 *                  lines may end with LF or CR LF; they are sent with CR LF.
 *   reserved       NULL, or a pointer to a BSMTPOptions structure (below)
 *                  whose size field is set: the connection's security and
 *                  the certificate authorities to check the server against.
 *                  NULL sends in clear, as before.
 *   errorText      NULL, or a buffer of at least BSMTP_ERROR_TEXT_SIZE (256)
 *                  bytes. BSendMail always writes a zero-terminated text of at
 *                  most BSMTP_ERROR_TEXT_SIZE - 1 characters into it: empty
 *                  when the mail was sent, else one of
 *                    "Cant connect Server 10060"  the server cannot be reached:
 *                                     the name does not resolve, nothing
 *                                     listens on the port, the connection
 *                                     attempt timed out, or the server text
 *                                     is malformed
 *                    "Invalid argument"           a null or malformed argument
 *                                     other than the server text (no
 *                                     recipient, an address with angle
 *                                     brackets or control characters, an
 *                                     unknown authentication method)
 *                    "Authentication failed"      the server refused the login,
 *                                     or does not offer the method asked for
 *                    "Server timed out"           connected, but the server
 *                                     stopped answering
 *                    "Send failed: <detail>"      any other failure; <detail> is
 *                                     the mail engine's own description, e.g.
 *                                     "RCPT failed: 550" or "MAIL failed: 530"
 *                    "Mail library error"         the library could not start
 *                                     a transfer
 *                    "TLS failed: <detail>"       the secure connection could not
 *                                     be set up: the server offers no
 *                                     STARTTLS, its certificate is not
 *                                     trusted or does not name the host,
 *                                     or the handshake failed
 *
 * Returns non-zero when the server accepted the mail for every recipient,
 * 0 otherwise.
 *
 * Each reply of the server must come within 30 seconds (the connection
 * within 30 seconds as well); the environment variable QAV_BSMTP_TIMEOUT
 * (seconds, 1..600) changes that.
 *
 * BSendMail may be called from several threads at once.
 */
#ifndef BSMTP_BSMTP_H
#define BSMTP_BSMTP_H

#define BSMTP_API __attribute__((visibility("default")))

#define BSMTP_ERROR_TEXT_SIZE 256
#define BSMTP_CANT_CONNECT_TEXT "Cant connect Server 10060"

/* Security of the connection (BSMTPOptions.security). */
#define BSMTP_SECURITY_NONE 0     /* plain SMTP */
#define BSMTP_SECURITY_STARTTLS 1 /* plain connection, then STARTTLS before anything else; refused without it */
#define BSMTP_SECURITY_TLS 2      /* TLS from the first byte (SMTPS, usually port 465) */

#ifdef __cplusplus
extern "C" {
#endif

/* Options passed through BSendMail's reserved argument. `size` is
 * sizeof(BSMTPOptions) as the caller knows it, so that later fields can be
 * added without breaking older callers. With STARTTLS or TLS the server's
 * certificate is always checked, against caFile (a PEM file) when it is
 * given, else against the system's certificate authorities; the host part
 * of the server text must match the certificate. */
typedef struct BSMTPOptions {
    int size;
    int security;       /* BSMTP_SECURITY_* */
    const char* caFile; /* NULL or empty: the system's authorities */
} BSMTPOptions;

BSMTP_API int BSendMail(const char* server, const char* recipients, const char* senderAndAuth, const char* subject,
                        const char* body, const void* reserved, char* errorText);

#ifdef __cplusplus
}
#endif

#endif

// The arguments of BSendMail (Bsmtp.h) built from the mail settings: the
// server text, the senderAndAuth text from the sender address, account and
// the authentication chosen, and the options of the connection's security.
// Used by the monitor's mail channel and the settings dialogs' test mail; a
// header of its own, nothing of it is exported from the library.
#pragma once

#include <string>
#include <string_view>

#include "bsmtp/Bsmtp.h"

namespace bsmtp {

enum class SenderAuth {
    kNone,      // the sender alone
    kAnyMethod, // sender TAB user:password
    kPlain,     // ... TAB "PLAIN"
    kCramMd5,   // ... TAB "CRAM-MD5"
};

// An address without "@" is a display name: "<>" after it gives the null
// sender.
inline std::string SenderAndAuthText(std::string_view address, std::string_view user, std::string_view password,
                                     SenderAuth auth)
{
    std::string text(address);
    if (text.find('@') == std::string::npos) text += "<>";
    if (auth == SenderAuth::kNone) return text;
    text += '\t';
    text += user;
    text += ':';
    text += password;
    if (auth == SenderAuth::kPlain) text += "\tPLAIN";
    if (auth == SenderAuth::kCramMd5) text += "\tCRAM-MD5";
    return text;
}

// The server argument: the host alone for port 25, else "host:port"; a
// server text that names a port of its own ("host:port") keeps it.
inline std::string ServerText(std::string_view host, int port)
{
    std::string text(host);
    if (port != 25 && text.find(':') == std::string::npos) text += ":" + std::to_string(port);
    return text;
}

// The reserved argument for a security (BSMTP_SECURITY_*) and a file of
// certificate authorities (empty: the system's). The options point into
// caFile, which must outlive the call.
inline BSMTPOptions SecurityOptions(int security, const std::string& caFile)
{
    return BSMTPOptions{static_cast<int>(sizeof(BSMTPOptions)), security, caFile.empty() ? nullptr : caFile.c_str()};
}

} // namespace bsmtp

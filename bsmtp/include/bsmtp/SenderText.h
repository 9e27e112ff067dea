// The senderAndAuth argument of BSendMail (Bsmtp.h), built from the mail
// settings' sender address, account and the authentication chosen. Used by
// the monitor's mail channel and the settings dialogs' test mail; a header
// of its own, nothing of it is exported from the library.
#pragma once

#include <string>
#include <string_view>

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

} // namespace bsmtp

// The pieces of one mail of the mail library: the parsed arguments of
// BSendMail and the message text built from them.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace bsmtp {

struct Party {
    std::string name;
    std::string address;
};

struct Server {
    std::string host;
    int port = 25;
};

struct Sender {
    Party party;
    bool authenticate = false;
    std::string user;
    std::string password;
    std::string mechanism; // empty: whatever the server offers
};

// "host" or "host:port"; false when malformed.
bool ParseServer(const char* text, Server& server);
// The TAB-separated sender-and-authentication text; false when malformed.
bool ParseSender(const char* text, Sender& sender);
// The recipient list; false when an entry is malformed. Empty entries are
// skipped, so the list may come back empty.
bool ParseRecipients(const char* text, std::vector<Party>& recipients);

// The whole message: header block, empty line, body with CR LF line ends.
std::string ComposeMessage(const Party& from, const std::vector<Party>& to, const std::string& subject,
                           const std::string& body, std::time_t when, const std::string& domain);

// This machine's name as it can stand in EHLO and a Message-ID.
std::string LocalDomain();

} // namespace bsmtp

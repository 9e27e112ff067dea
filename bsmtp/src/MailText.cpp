#include "MailText.h"

#include "qavplatform/MailDate.h"
#include "qavplatform/Text.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bsmtp {

namespace {

// The longest line SMTP carries, without its CR LF.
constexpr size_t kMaxLine = 998;
// Bytes of text in one encoded word: 45 bytes are 60 base64 characters,
// which keeps each folded header line well under 78 characters.
constexpr size_t kEncodedWordBytes = 45;

// Entries are trimmed of blanks and tabs only: any other control character
// is kept, to be refused.
std::string Trim(const std::string& text) { return qavplatform::Trim(text, " \t"); }

bool HasControl(const std::string& text)
{
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f) return true;
    }
    return false;
}

bool IsAscii(const std::string& text)
{
    for (unsigned char c : text) {
        if (c >= 0x80) return false;
    }
    return true;
}

std::vector<std::string> Split(const std::string& text, const char* separators)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find_first_of(separators, start);
        pieces.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return pieces;
}

// "address", "name <address>", "\"name\" <address>" or "name<>".
bool ParseParty(const std::string& text, Party& party)
{
    const std::string entry = Trim(text);
    const size_t open = entry.find('<');
    if (open == std::string::npos) {
        party.name.clear();
        party.address = entry;
    } else {
        const size_t close = entry.find('>', open + 1);
        const size_t firstClose = entry.find('>');
        if (firstClose < open) return false;
        if (close != std::string::npos && !Trim(entry.substr(close + 1)).empty()) return false;
        party.name = Trim(entry.substr(0, open));
        if (party.name.size() >= 2 && party.name.front() == '"' && party.name.back() == '"')
            party.name = party.name.substr(1, party.name.size() - 2);
        party.address =
            Trim(close == std::string::npos ? entry.substr(open + 1) : entry.substr(open + 1, close - open - 1));
    }
    if (HasControl(party.name) || HasControl(party.address)) return false;
    if (party.address.find_first_of("<>") != std::string::npos) return false;
    return true;
}

std::string Base64(const std::string& data)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(data[i]) << 16) |
                           (static_cast<unsigned char>(data[i + 1]) << 8) | static_cast<unsigned char>(data[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i < data.size()) {
        unsigned v = static_cast<unsigned char>(data[i]) << 16;
        if (i + 1 < data.size()) v |= static_cast<unsigned char>(data[i + 1]) << 8;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < data.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

// Non-ASCII header text as UTF-8 encoded words, split between characters,
// joined by `separator`.
std::string EncodedWords(const std::string& text, const char* separator)
{
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = std::min(text.size(), start + kEncodedWordBytes);
        // Never cut a UTF-8 sequence: back off over continuation bytes.
        while (end < text.size() && end > start + 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
        if (!out.empty()) out += separator;
        out += "=?UTF-8?B?" + Base64(text.substr(start, end - start)) + "?=";
        start = end;
    }
    return out;
}

// A display name as a header phrase: as it is when it is plain words, in
// quotes when it holds special characters, encoded when it is not ASCII.
std::string Phrase(const std::string& name)
{
    if (!IsAscii(name)) return EncodedWords(name, " ");
    if (name.find_first_of("()<>[]:;@\\,.\"") == std::string::npos) return name;
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string HeaderParty(const Party& party)
{
    if (party.name.empty()) return party.address.empty() ? std::string("<>") : party.address;
    return Phrase(party.name) + " <" + party.address + ">";
}

std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

// The body's lines, whatever their line ends (CR LF, LF or CR).
std::vector<std::string> BodyLines(const std::string& body, bool& endsWithNewline)
{
    std::vector<std::string> lines;
    std::string line;
    endsWithNewline = false;
    for (size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
            lines.push_back(line);
            line.clear();
            endsWithNewline = true;
        } else {
            line += c;
            endsWithNewline = false;
        }
    }
    if (!line.empty() || lines.empty()) lines.push_back(line);
    return lines;
}

// Quoted-printable form of one line (RFC 2045), soft-broken at 76 characters.
std::string QuotedPrintableLine(const std::string& line)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    size_t column = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        const bool last = i + 1 == line.size();
        std::string piece;
        if ((c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last)) {
            piece = static_cast<char>(c);
        } else {
            piece = {'=', kHex[c >> 4], kHex[c & 15]};
        }
        if (column + piece.size() > 75) {
            out += "=\r\n";
            column = 0;
        }
        out += piece;
        column += piece.size();
    }
    return out;
}

} // namespace

bool ParseServer(const char* text, Server& server)
{
    if (!text) return false;
    const std::string value = Trim(text);
    std::string host = value;
    server.port = 25;
    const size_t colon = value.find(':');
    if (colon != std::string::npos) {
        if (value.find(':', colon + 1) != std::string::npos) return false;
        host = value.substr(0, colon);
        const std::string port = value.substr(colon + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
        server.port = std::atoi(port.c_str());
        if (server.port < 1 || server.port > 65535) return false;
    }
    if (host.empty() || host.size() > 253) return false;
    for (unsigned char c : host) {
        if (!(std::isalnum(c) || c == '.' || c == '-' || c == '_')) return false;
    }
    server.host = host;
    return true;
}

bool ParseSender(const char* text, Sender& sender)
{
    if (!text) return false;
    const std::vector<std::string> fields = Split(text, "\t");
    if (fields.size() > 3) return false;
    if (!ParseParty(fields[0], sender.party)) return false;
    sender.authenticate = false;
    sender.user.clear();
    sender.password.clear();
    sender.mechanism.clear();
    if (fields.size() >= 2 && !fields[1].empty()) {
        const size_t colon = fields[1].find(':');
        sender.user = fields[1].substr(0, colon);
        if (colon != std::string::npos) sender.password = fields[1].substr(colon + 1);
        if (sender.user.empty() || HasControl(sender.user) || HasControl(sender.password)) return false;
        sender.authenticate = true;
    }
    if (fields.size() == 3) {
        std::string mechanism = Trim(fields[2]);
        for (char& c : mechanism) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (mechanism.empty()) return true;
        if (!sender.authenticate) return false;
        if (mechanism != "PLAIN" && mechanism != "CRAM-MD5" && mechanism != "LOGIN") return false;
        sender.mechanism = mechanism;
    }
    return true;
}

bool ParseRecipients(const char* text, std::vector<Party>& recipients)
{
    recipients.clear();
    if (!text) return false;
    for (const std::string& piece : Split(text, "\t;,")) {
        if (Trim(piece).empty()) continue;
        Party party;
        if (!ParseParty(piece, party)) return false;
        if (party.address.empty()) continue;
        recipients.push_back(party);
    }
    return true;
}

std::string LocalDomain()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) name[0] = '\0';
    std::string domain;
    for (const char* p = name; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (std::isalnum(c) || c == '.' || c == '-') domain += static_cast<char>(c);
    }
    return domain.empty() ? std::string("localhost") : domain;
}

std::string ComposeMessage(const Party& from, const std::vector<Party>& to, const std::string& subject,
                           const std::string& body, std::time_t when, const std::string& domain)
{
    static std::atomic<unsigned> s_sequence{0};

    bool endsWithNewline = false;
    const std::vector<std::string> lines = BodyLines(body, endsWithNewline);
    bool longLines = false;
    for (const std::string& line : lines) longLines = longLines || line.size() > kMaxLine;
    const bool ascii = IsAscii(body);

    std::string message;
    message += "Date: " + qavplatform::MailDate(when) + "\r\n";
    message += "From: " + HeaderParty(from) + "\r\n";
    std::string toText;
    for (size_t i = 0; i < to.size(); ++i) {
        if (i) toText += ",\r\n ";
        toText += HeaderParty(to[i]);
    }
    message += "To: " + toText + "\r\n";
    const std::string subjectLine = OneLine(subject);
    message += "Subject: " + (IsAscii(subjectLine) ? subjectLine : EncodedWords(subjectLine, "\r\n ")) + "\r\n";
    char id[128];
    std::snprintf(id, sizeof id, "<%lld.%d.%u@", static_cast<long long>(when), static_cast<int>(::getpid()),
                  s_sequence.fetch_add(1) + 1);
    message += "Message-ID: " + std::string(id) + domain + ">\r\n";
    message += "MIME-Version: 1.0\r\n";
    message += std::string("Content-Type: text/plain; charset=") + (ascii ? "US-ASCII" : "UTF-8") + "\r\n";
    message += std::string("Content-Transfer-Encoding: ") +
               (longLines ? "quoted-printable" : ascii ? "7bit" : "8bit") + "\r\n";
    message += "\r\n";

    for (size_t i = 0; i < lines.size(); ++i) {
        message += longLines ? QuotedPrintableLine(lines[i]) : lines[i];
        if (i + 1 < lines.size() || endsWithNewline) message += "\r\n";
    }
    return message;
}

} // namespace bsmtp

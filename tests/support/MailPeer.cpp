#include "MailPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

namespace qavtest {

namespace {

std::string FromBase64(const std::string& text)
{
    auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        const int v = value(c);
        if (v < 0) continue;
        bits = (bits << 6) | static_cast<unsigned>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xff);
        }
    }
    return out;
}

// Just enough JSON for the peer's records: one flat object whose values are
// strings, booleans, numbers or arrays of strings.
struct JsonValue {
    std::string text;
    std::vector<std::string> list;
    bool flag = false;
};

class FlatJson {
public:
    explicit FlatJson(const std::string& line) : s_(line) {}

    bool Parse(std::map<std::string, JsonValue>& out)
    {
        Skip();
        if (!Eat('{')) return false;
        Skip();
        if (Eat('}')) return true;
        for (;;) {
            std::string key;
            Skip();
            if (!String(key)) return false;
            Skip();
            if (!Eat(':')) return false;
            Skip();
            JsonValue value;
            if (Peek() == '"') {
                if (!String(value.text)) return false;
            } else if (Peek() == '[') {
                ++i_;
                Skip();
                if (!Eat(']')) {
                    for (;;) {
                        std::string item;
                        Skip();
                        if (!String(item)) return false;
                        value.list.push_back(item);
                        Skip();
                        if (Eat(']')) break;
                        if (!Eat(',')) return false;
                    }
                }
            } else {
                const size_t start = i_;
                while (i_ < s_.size() && s_[i_] != ',' && s_[i_] != '}') ++i_;
                value.text = s_.substr(start, i_ - start);
                while (!value.text.empty() && value.text.back() == ' ') value.text.pop_back();
                value.flag = value.text == "true";
            }
            out[key] = value;
            Skip();
            if (Eat('}')) return true;
            if (!Eat(',')) return false;
        }
    }

private:
    char Peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
    bool Eat(char c)
    {
        if (Peek() != c) return false;
        ++i_;
        return true;
    }
    void Skip()
    {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
    }
    bool String(std::string& out)
    {
        if (!Eat('"')) return false;
        while (i_ < s_.size() && s_[i_] != '"') {
            char c = s_[i_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size()) return false;
            c = s_[i_++];
            switch (c) {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'u': {
                if (i_ + 4 > s_.size()) return false;
                const unsigned code = static_cast<unsigned>(std::stoul(s_.substr(i_, 4), nullptr, 16));
                i_ += 4;
                // The peer writes ASCII JSON; code points above 0x7f come
                // back as UTF-8 (surrogate pairs are not needed here).
                if (code < 0x80) {
                    out += static_cast<char>(code);
                } else if (code < 0x800) {
                    out += static_cast<char>(0xC0 | (code >> 6));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    out += static_cast<char>(0xE0 | (code >> 12));
                    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                }
                break;
            }
            default: out += c; break;
            }
        }
        return Eat('"');
    }

    const std::string& s_;
    size_t i_ = 0;
};

} // namespace

bool MailPeer::Start(const std::string& mode, const std::string& address, int port, const std::string& user,
                     const std::string& password, int timeoutMs)
{
    return StartWith(mode, "none", address, port, user, password, timeoutMs);
}

bool MailPeer::StartSecure(const std::string& mode, const std::string& tls, const std::string& address, int port,
                           const std::string& user, const std::string& password)
{
    // A certificate of the test's own for the peer's address, which the
    // client checks against it as its only authority.
    const std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=qav-test-peer"
                                " -addext subjectAltName=IP:" + address + " -keyout '" + dir_.File("key.pem") +
                                "' -out '" + CertFile() + "' 2>&1";
    RunCommand(command);
    if (ReadFile(CertFile()).find("BEGIN CERTIFICATE") == std::string::npos) return false;
    return StartWith(mode, tls, address, port, user, password, 15000);
}

std::string MailPeer::CertFile() const { return dir_.File("cert.pem"); }

bool MailPeer::StartWith(const std::string& mode, const std::string& tls, const std::string& address, int port,
                         const std::string& user, const std::string& password, int timeoutMs)
{
    address_ = address;
    port_ = port;
    const std::string log = dir_.File("peer.log");
    std::vector<std::string> argv = {"/usr/bin/python3", QAV_SOURCE_DIR "/tests/support/mail_peer.py",
                                     "--address", address, "--port", std::to_string(port), "--mode", mode,
                                     "--out", dir_.File("events.jsonl"), "--user", user, "--password",
                                     password, "--max-lifetime", "120"};
    if (tls != "none") {
        for (const std::string& a : {std::string("--tls"), tls, std::string("--cert"), CertFile(),
                                     std::string("--key"), dir_.File("key.pem")})
            argv.push_back(a);
    }
    if (!process_.Start(argv, log)) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string text = ReadFile(log);
        if (text.rfind("ready\n", 0) == 0 || text.find("\nready\n") != std::string::npos) return true;
        if (!process_.Running()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::vector<MailEvent> MailPeer::Events() const
{
    std::vector<MailEvent> events;
    std::istringstream in(ReadFile(dir_.File("events.jsonl")));
    std::string line;
    while (std::getline(in, line)) {
        std::map<std::string, JsonValue> fields;
        if (!FlatJson(line).Parse(fields)) continue;
        MailEvent e;
        e.event = fields["event"].text;
        e.mailFrom = fields["mail_from"].text;
        e.rcptTos = fields["rcpt_tos"].list;
        e.data = FromBase64(fields["data_b64"].text);
        e.authMechanism = fields["auth_mechanism"].text;
        e.authLogin = fields["auth_login"].text;
        e.mechanism = fields["mechanism"].text;
        e.login = fields["login"].text;
        e.success = fields["success"].flag;
        e.address = fields["address"].text;
        e.received = FromBase64(fields["received_b64"].text);
        events.push_back(e);
    }
    return events;
}

std::vector<MailEvent> MailPeer::Mails() const
{
    std::vector<MailEvent> mails;
    for (const MailEvent& e : Events()) {
        if (e.event == "mail") mails.push_back(e);
    }
    return mails;
}

bool MailPeer::WaitForEvents(const std::string& kind, size_t count, int timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        size_t n = 0;
        for (const MailEvent& e : Events()) n += e.event == kind;
        if (n >= count) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

ReceivedMail ParseMail(const std::string& data)
{
    ReceivedMail p;
    const size_t end = data.find("\r\n\r\n");
    if (end == std::string::npos) return p;
    p.complete = true;
    std::string block = data.substr(0, end + 2);
    p.body = data.substr(end + 4);
    // Unfold continued header lines (rebuilt rather than replace(): GCC 12
    // warns falsely about the overlapping copy there).
    for (size_t at; (at = block.find("\r\n ")) != std::string::npos;)
        block = block.substr(0, at) + " " + block.substr(at + 3);
    size_t start = 0;
    while (start < block.size()) {
        const size_t lineEnd = block.find("\r\n", start);
        const std::string line = block.substr(start, lineEnd - start);
        const size_t colon = line.find(": ");
        if (colon != std::string::npos) p.headers[line.substr(0, colon)] = line.substr(colon + 2);
        start = lineEnd + 2;
    }
    return p;
}

namespace {

int FreePort(const std::string& address, int type)
{
    int s = ::socket(AF_INET, type, 0);
    if (s < 0) return 0;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = 0;
    ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
        socklen_t len = sizeof sa;
        if (::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len) == 0) port = ntohs(sa.sin_port);
    }
    ::close(s);
    return port;
}

} // namespace

int FreeTcpPort(const std::string& address) { return FreePort(address, SOCK_STREAM); }
int FreeUdpPort(const std::string& address) { return FreePort(address, SOCK_DGRAM); }

} // namespace qavtest

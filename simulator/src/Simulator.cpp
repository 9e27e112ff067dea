#include "Simulator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>

#include "qavplatform/Ports.h"
#include "qavres/Resources.h"

namespace qavsim {

namespace {

// epoll tags below the printers' indexes.
constexpr uint64_t kTagControl = 1ull << 62;
constexpr uint64_t kTagClient = 1ull << 61;
constexpr uint64_t kTagStdin = 1ull << 60;
constexpr uint64_t kTagRaw = 1ull << 59;

void RaiseFileLimit(size_t needed)
{
    rlimit r{};
    if (::getrlimit(RLIMIT_NOFILE, &r) != 0) return;
    if (r.rlim_cur >= needed + 64) return;
    r.rlim_cur = std::min<rlim_t>(r.rlim_max, needed + 64);
    ::setrlimit(RLIMIT_NOFILE, &r);
}

sockaddr_in SocketAddress(uint32_t hostOrder, int port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(hostOrder);
    return sa;
}

// Splits a command line into words; "double quotes" keep blanks, also in
// key="value with blanks".
std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::string cur;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if ((c == ' ' || c == '\t' || c == '\r' || c == '\n') && !quoted) {
            if (any) words.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur += c;
            any = true;
        }
    }
    if (any) words.push_back(cur);
    return words;
}

bool Details(const std::vector<std::string>& words, size_t from, Printer::TrapDetails& d, std::string& error)
{
    for (size_t i = from; i < words.size(); ++i) {
        const size_t eq = words[i].find('=');
        if (eq == std::string::npos) {
            error = "detail '" + words[i] + "' is not key=value";
            return false;
        }
        const std::string k = words[i].substr(0, eq), v = words[i].substr(eq + 1);
        if (k == "text1") d.text1 = v;
        else if (k == "text2") d.text2 = v;
        else if (k == "text3") d.text3 = v;
        else if (k == "error") d.errorCode = std::atoi(v.c_str());
        else if (k == "value") d.value = std::atoi(v.c_str());
        else {
            error = "unknown detail '" + k + "' (text1, text2, text3, error, value)";
            return false;
        }
    }
    return true;
}

int64_t SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

Simulator::~Simulator()
{
    for (auto& s : printers_) {
        if (s->socket >= 0) ::close(s->socket);
    }
    if (epoll_ >= 0) ::close(epoll_);
}

bool Simulator::Start(const Fleet& fleet, int port, std::string& error)
{
    if (!IsLoopback(fleet.trapAddress)) {
        error = "traps go to loopback addresses only";
        return false;
    }
    trapAddress_ = fleet.trapAddress;
    trapPort_ = fleet.trapPort;
    port_ = port;
    if (trapPort_ <= 0) trapPort_ = qavplatform::TrapPort();
    RaiseFileLimit(fleet.printers.size() * 2); // an SNMP socket and a raw port each
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    for (const PrinterEntry& entry : fleet.printers) {
        if (!IsLoopback(entry.address)) {
            error = AddressText(entry.address) + " is not a loopback address";
            return false;
        }
        auto s = std::make_unique<Served>();
        if (!s->printer.Build(entry, table_, error)) return false;
        s->socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (s->socket < 0) {
            error = std::string("socket: ") + std::strerror(errno);
            return false;
        }
        sockaddr_in sa = SocketAddress(entry.address, port);
        if (::bind(s->socket, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
            error = AddressText(entry.address) + ":" + std::to_string(port) + ": " + std::strerror(errno);
            ::close(s->socket);
            return false;
        }
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = printers_.size();
        ::epoll_ctl(epoll_, EPOLL_CTL_ADD, s->socket, &ev);
        printers_.push_back(std::move(s));
    }
    std::vector<Printer*> printers;
    for (auto& s : printers_) printers.push_back(&s->printer);
    raw_ = std::make_unique<RawPorts>(table_, printers, [this](size_t index, int generic, int specific) {
        std::string error;
        if (!SendTrap(*printers_[index], generic, specific, Printer::TrapDetails{}, error))
            std::fprintf(stderr, "qav-printer-sim: %s\n", error.c_str());
    });
    if (!raw_->Start(error)) return false;
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = kTagRaw;
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, raw_->Fd(), &ev);
    return true;
}

std::string Simulator::Describe() const
{
    std::ostringstream out;
    for (const auto& s : printers_) {
        const PrinterEntry& p = s->printer.Entry();
        out << AddressText(p.address) << "  "
            << (p.recording.empty() ? (p.maker ? "maker   " : "standard") : "recorded") << "  ";
        if (!p.recording.empty()) {
            out << p.recording.substr(p.recording.rfind('/') + 1);
        } else {
            out << p.model << "  \"" << p.name << "\"  status " << p.statusCode << " (" << StatusName(p.statusCode)
                << ")";
        }
        if (raw_) out << raw_->Describe(static_cast<size_t>(&s - &printers_.front()));
        out << (s->printer.Answering() ? "" : "  [not answering]") << "\n";
    }
    return out.str();
}

Simulator::Served* Simulator::Find(const std::string& address)
{
    uint32_t a = 0;
    if (!ParseAddress(address, a)) return nullptr;
    for (auto& s : printers_) {
        if (s->printer.Entry().address == a) return s.get();
    }
    return nullptr;
}

bool Simulator::SendTrap(Served& s, int generic, int specific, const Printer::TrapDetails& details, std::string& error)
{
    const Message m = s.printer.MakeTrap(generic, specific, details, s.printer.Entry().trapVersion);
    const std::string bytes = Encode(m);
    sockaddr_in to = SocketAddress(trapAddress_, trapPort_);
    if (::sendto(s.socket, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
        error = std::string("trap not sent: ") + std::strerror(errno);
        return false;
    }
    ++trapsSent_;
    return true;
}

std::string Simulator::Execute(const std::string& line)
{
    const std::vector<std::string> w = Words(line);
    if (w.empty() || w[0][0] == '#') return std::string();
    const std::string& cmd = w[0];
    if (cmd == "list") return Describe() + "ok";
    if (cmd == "stats")
        return "ok " + std::to_string(printers_.size()) + " printers, " + std::to_string(answered_) +
               " requests answered, " + std::to_string(trapsSent_) + " traps sent";
    if (cmd == "quit" || cmd == "exit") {
        stop_ = true;
        return "ok bye";
    }
    if (raw_ && RawPorts::IsCommand(cmd)) return raw_->Execute(w);
    if (w.size() < 2) return "error: " + cmd + " needs a printer address (or all)";

    std::vector<Served*> targets;
    if (w[1] == "all") {
        for (auto& s : printers_) targets.push_back(s.get());
    } else if (Served* s = Find(w[1])) {
        targets.push_back(s);
    } else {
        return "error: no printer at " + w[1];
    }

    std::string error;
    for (Served* s : targets) {
        Printer& p = s->printer;
        if (cmd == "up" || cmd == "down") {
            p.SetAnswering(cmd == "up");
        } else if (cmd == "status" || cmd == "event") {
            if (w.size() < 3) return "error: " + cmd + " ADDRESS STATUS";
            const int code = StatusCodeByName(w[2]);
            if (code < 0) return "error: unknown status '" + w[2] + "'";
            Printer::TrapDetails d;
            d.errorCode = code;
            d.text1 = StatusName(code);
            if (!Details(w, 3, d, error)) return "error: " + error;
            p.SetStatus(code);
            if (cmd == "event" && !SendTrap(*s, 6, code, d, error)) return "error: " + error;
        } else if (cmd == "trap") {
            if (w.size() < 4) return "error: trap ADDRESS GENERIC SPECIFIC [details]";
            Printer::TrapDetails d;
            if (!Details(w, 4, d, error)) return "error: " + error;
            if (!SendTrap(*s, std::atoi(w[2].c_str()), std::atoi(w[3].c_str()), d, error)) return "error: " + error;
        } else if (cmd == "writes") {
            if (targets.size() != 1) return "error: writes takes one printer";
            if (w.size() > 2 && w[2] == "clear") {
                p.ClearWrites();
                return "ok";
            }
            std::string out;
            for (const auto& r : p.Writes()) out += std::to_string(r.object) + " " + r.value + "\n";
            return out + "ok";
        } else if (cmd == "set") {
            if (w.size() < 4) return "error: set ADDRESS FIELD VALUE";
            if (!p.SetField(w[2], w[3], error)) return "error: " + error;
        } else {
            return "error: unknown command '" + cmd + "'";
        }
    }
    return "ok";
}

void Simulator::HandleDatagram(Served& s)
{
    uint8_t buf[65536];
    for (;;) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = ::recvfrom(s.socket, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) return;
        if (!s.printer.Answering()) continue;
        auto request = Decode(buf, static_cast<size_t>(n));
        if (!request) continue;
        s.printer.Tick();
        std::vector<Oid> written;
        auto response = Answer(s.printer.Objects(), s.printer.Policy(), *request, &written);
        if (!response) continue;
        const Printer::Reaction reaction =
            written.empty() ? Printer::Reaction::kNone : s.printer.OnWritten(written);
        const std::string bytes = Encode(*response);
        ::sendto(s.socket, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
        ++answered_;
        if (reaction == Printer::Reaction::kReset)
            resets_.push_back({SteadyMs() + s.printer.Entry().resetMs, &s});
        if (!written.empty()) {
            FollowSettings(s, written);
            return; // the socket may have changed; the rest waits for the next round
        }
    }
}

int Simulator::FinishResets()
{
    int next = -1;
    const int64_t now = SteadyMs();
    for (size_t i = 0; i < resets_.size();) {
        const PendingReset r = resets_[i];
        if (r.dueMs > now) {
            const int left = static_cast<int>(r.dueMs - now);
            next = next < 0 ? left : std::min(next, left);
            ++i;
            continue;
        }
        resets_.erase(resets_.begin() + static_cast<long>(i));
        r.served->printer.FinishReset();
        std::string error;
        if (!SendTrap(*r.served, 0, 0, {}, error)) std::fprintf(stderr, "qav-printer-sim: %s\n", error.c_str());
    }
    return next;
}

void Simulator::Run(int seconds, const std::string& controlPath, bool readStdin)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    int control = -1;
    if (!controlPath.empty()) {
        control = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un sa{};
        sa.sun_family = AF_UNIX;
        std::strncpy(sa.sun_path, controlPath.c_str(), sizeof sa.sun_path - 1);
        ::unlink(controlPath.c_str());
        if (::bind(control, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 && ::listen(control, 8) == 0) {
            epoll_event ev{};
            ev.events = EPOLLIN;
            ev.data.u64 = kTagControl;
            ::epoll_ctl(epoll_, EPOLL_CTL_ADD, control, &ev);
        } else {
            std::fprintf(stderr, "qav-printer-sim: control socket %s: %s\n", controlPath.c_str(), std::strerror(errno));
            ::close(control);
            control = -1;
        }
    }
    if (readStdin) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = kTagStdin;
        if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, 0, &ev) != 0) readStdin = false;
    }
    std::map<int, std::string> clients; // socket -> unfinished line
    std::string stdinLine;

    auto runLines = [this](std::string& pending, const char* data, size_t n, int replyTo) {
        pending.append(data, n);
        size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            std::string answer = Execute(pending.substr(0, nl));
            pending.erase(0, nl + 1);
            if (answer.empty()) continue;
            answer += '\n';
            // The client socket does not block: a long answer ("list" of a
            // large fleet) goes out in several writes, waiting for room.
            size_t sent = 0;
            while (sent < answer.size()) {
                const ssize_t w = ::write(replyTo, answer.data() + sent, answer.size() - sent);
                if (w > 0) {
                    sent += static_cast<size_t>(w);
                    continue;
                }
                if (w < 0 && errno == EINTR) continue;
                pollfd room{replyTo, POLLOUT, 0};
                if (w < 0 && errno == EAGAIN && ::poll(&room, 1, 2000) > 0) continue;
                break; // the sender went away or reads no more
            }
        }
    };

    epoll_event events[256];
    while (!stop_) {
        int timeout = 200;
        const int nextReset = FinishResets();
        if (nextReset >= 0) timeout = std::min(timeout, nextReset);
        if (seconds > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) break;
            timeout = static_cast<int>(std::min<long long>(left, 200));
        }
        const int n = ::epoll_wait(epoll_, events, 256, timeout);
        for (int i = 0; i < n; ++i) {
            const uint64_t tag = events[i].data.u64;
            if (tag == kTagControl) {
                int c;
                while ((c = ::accept4(control, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0) {
                    epoll_event ev{};
                    ev.events = EPOLLIN;
                    ev.data.u64 = kTagClient | static_cast<uint64_t>(c);
                    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, c, &ev);
                    clients[c];
                }
            } else if (tag & kTagClient) {
                const int c = static_cast<int>(tag & 0xFFFFFFFF);
                char buf[4096];
                ssize_t r = ::read(c, buf, sizeof buf);
                if (r <= 0) {
                    if (r < 0 && errno == EAGAIN) continue;
                    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, c, nullptr);
                    ::close(c);
                    clients.erase(c);
                    continue;
                }
                runLines(clients[c], buf, static_cast<size_t>(r), c);
            } else if (tag == kTagStdin) {
                char buf[4096];
                ssize_t r = ::read(0, buf, sizeof buf);
                if (r <= 0) {
                    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, 0, nullptr); // end of input: keep serving
                    continue;
                }
                runLines(stdinLine, buf, static_cast<size_t>(r), 1);
            } else if (tag == kTagRaw) {
                raw_->Poll();
            } else if (tag < printers_.size()) {
                HandleDatagram(*printers_[tag]);
            }
        }
    }
    for (auto& [c, pending] : clients) ::close(c);
    if (control >= 0) {
        ::close(control);
        ::unlink(controlPath.c_str());
    }
}

} // namespace qavsim

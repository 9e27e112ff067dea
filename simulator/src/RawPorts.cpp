#include "RawPorts.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "PrinterCommands.h"
#include "RawStream.h"
#include "qavres/Resources.h"

namespace qavsim {

namespace {

constexpr uint64_t kTimerId = 0;
constexpr size_t kReadChunk = 65536;
constexpr size_t kMaxPendingOutput = 1u << 20;
constexpr int kDefaultSplitMs = 300;
constexpr int kDefaultDelayMs = 1000;
// The final reply of a download goes out before the printer restarts.
constexpr int kRestartSettleMs = 100;
constexpr int kBootTypeObject = 20201;
// Sent before the reply by the noise fault: no SOH among them.
constexpr char kNoise[] = "\x06\x15~?#";

enum Port { kTcp, kSerial, kUsb, kLpt };

// Raw line settings on a terminal, so that the printer's end neither echoes
// nor translates anything before the host sets the line.
void MakeRaw(int fd)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return;
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
}

} // namespace

struct RawPorts::Station {
    Printer* printer = nullptr;
    size_t index = 0;
    RawSettings settings;
    int faultLeft = -1;
    int listener = -1;
    uint64_t listenerId = 0;
    std::vector<uint64_t> endpoints;
    std::vector<std::string> described; // "com /dev/pts/4", ...
    std::vector<std::string> madePaths; // links and FIFOs to remove at the end
    int captureFd = -1;
    bool restarting = false;
    Clock::time_point lastReplyDue{};
    unsigned long downloads = 0, printBytes = 0, objectCommands = 0;
    bool haveOutcome = false;
    DownloadOutcome last;
};

struct RawPorts::Endpoint : RawStream::Handler {
    Endpoint(RawPorts& owner, uint64_t id, size_t station, int fd, int port)
        : owner(owner), id(id), station(station), fd(fd), port(port), stream(*this)
    {
    }
    void PrintData(size_t bytes) override { owner.stations_[station]->printBytes += bytes; }
    void ObjectCommand(const std::string& command) override { owner.OnObjectCommand(*this, command); }
    void DownloadReply(int value) override { owner.OnDownloadReply(*this, value); }
    void DownloadDone(const DownloadOutcome& outcome) override { owner.OnDownloadDone(*this, outcome); }
    std::string ShortModel() override { return owner.ShortModel(station); }

    RawPorts& owner;
    uint64_t id;
    size_t station;
    int fd;
    int port;
    RawStream stream;
    std::string out;
    bool hangup = false;
};

std::string RawPorts::ShortModel(size_t index) const
{
    // The short model name as the printer reports it.
    Printer& p = *stations_[index]->printer;
    Oid base;
    if (ParseOid(table_.Oid(obj::kModelName), base)) {
        if (auto e = p.Objects().FirstUnder(base)) return e->second.value.bytes;
    }
    return p.Entry().model;
}

RawPorts::RawPorts(const qavres::ObjectTable& table, std::vector<Printer*> printers, TrapSender sendTrap)
    : table_(table), sendTrap_(std::move(sendTrap))
{
    for (size_t i = 0; i < printers.size(); ++i) {
        auto s = std::make_unique<Station>();
        s->printer = printers[i];
        s->index = i;
        s->settings = printers[i]->Entry().raw;
        s->faultLeft = s->settings.fault.count;
        stations_.push_back(std::move(s));
    }
}

RawPorts::~RawPorts()
{
    for (auto& [id, ep] : endpoints_) ::close(ep->fd);
    for (auto& s : stations_) {
        if (s->listener >= 0) ::close(s->listener);
        if (s->captureFd >= 0) ::close(s->captureFd);
        for (const std::string& path : s->madePaths) ::unlink(path.c_str());
    }
    if (timer_ >= 0) ::close(timer_);
    if (epoll_ >= 0) ::close(epoll_);
}

bool RawPorts::Start(std::string& error)
{
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    timer_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (epoll_ < 0 || timer_ < 0) {
        error = std::string("raw ports: ") + std::strerror(errno);
        return false;
    }
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = kTimerId;
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, timer_, &ev);
    for (auto& sp : stations_) {
        Station& s = *sp;
        const PrinterEntry& e = s.printer->Entry();
        if (!e.maker || !e.recording.empty()) continue;
        if (!s.settings.capture.empty()) {
            s.captureFd = ::open(s.settings.capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
            if (s.captureFd < 0) {
                error = AddressText(e.address) + ": capture file " + s.settings.capture + ": " + std::strerror(errno);
                return false;
            }
        }
        if (s.settings.tcpPort > 0 && !OpenListener(s, error)) return false;
        if (!s.settings.com.empty() && !OpenDevice(s, "com", s.settings.com, error)) return false;
        if (!s.settings.usb.empty() && !OpenDevice(s, "usb", s.settings.usb, error)) return false;
        if (!s.settings.lpt.empty() && !OpenDevice(s, "lpt", s.settings.lpt, error)) return false;
    }
    return true;
}

bool RawPorts::OpenListener(Station& s, std::string& error)
{
    const uint32_t address = s.printer->Entry().address;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(s.settings.tcpPort));
    sa.sin_addr.s_addr = htonl(address);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 16) != 0) {
        error = AddressText(address) + ":" + std::to_string(s.settings.tcpPort) + " (raw port): " +
                std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    s.listener = fd;
    s.listenerId = nextId_++;
    listeners_[s.listenerId] = s.index;
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = s.listenerId;
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
    return true;
}

bool RawPorts::OpenDevice(Station& s, const std::string& what, const std::string& setting, std::string& error)
{
    const std::string where = AddressText(s.printer->Entry().address) + " (" + what + " " + setting + "): ";
    const int port = what == "com" ? kSerial : what == "usb" ? kUsb : kLpt;
    struct stat st{};
    const bool exists = ::lstat(setting.c_str(), &st) == 0;
    int fd = -1;
    std::string shown = setting;

    if (port == kLpt) {
        // A FIFO: the host writes, the printer reads. Opened for reading and
        // writing so that it never reports an end while no host has it open.
        if (!exists) {
            if (::mkfifo(setting.c_str(), 0666) != 0) {
                error = where + std::strerror(errno);
                return false;
            }
            s.madePaths.push_back(setting);
        } else if (!S_ISFIFO(st.st_mode)) {
            error = where + "exists and is no FIFO";
            return false;
        }
        fd = ::open(setting.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    } else if (exists && S_ISCHR(st.st_mode)) {
        // An existing terminal (one end of a socat pair): served as it is.
        fd = ::open(setting.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) MakeRaw(fd);
    } else {
        if (exists && !S_ISLNK(st.st_mode)) {
            error = where + "exists and is neither a device nor a link";
            return false;
        }
        fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        char name[128] = {};
        if (fd < 0 || ::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof name) != 0) {
            error = where + "no pseudo-terminal: " + std::strerror(errno);
            if (fd >= 0) ::close(fd);
            return false;
        }
        const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave >= 0) {
            MakeRaw(slave);
            ::close(slave);
        }
        shown = name;
        if (setting != "auto") {
            if (exists) ::unlink(setting.c_str());
            if (::symlink(name, setting.c_str()) != 0) {
                error = where + std::strerror(errno);
                ::close(fd);
                return false;
            }
            s.madePaths.push_back(setting);
            shown = setting + " -> " + name;
        }
    }
    if (fd < 0) {
        error = where + std::strerror(errno);
        return false;
    }
    s.described.push_back(what + " " + shown);
    AddEndpoint(s, fd, port);
    return true;
}

uint64_t RawPorts::AddEndpoint(Station& s, int fd, int port)
{
    const uint64_t id = nextId_++;
    endpoints_[id] = std::make_unique<Endpoint>(*this, id, s.index, fd, port);
    s.endpoints.push_back(id);
    epoll_event ev{};
    // Terminals report a hang-up for as long as no host has them open:
    // edge-triggered, that is one wake-up per change instead of a spin.
    ev.events = port == kTcp || port == kLpt ? EPOLLIN : (EPOLLIN | EPOLLOUT | EPOLLET);
    ev.data.u64 = id;
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
    return id;
}

void RawPorts::CloseEndpoint(uint64_t id)
{
    auto it = endpoints_.find(id);
    if (it == endpoints_.end()) return;
    Station& s = *stations_[it->second->station];
    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, it->second->fd, nullptr);
    ::close(it->second->fd);
    std::erase(s.endpoints, id);
    endpoints_.erase(it);
}

void RawPorts::Poll()
{
    epoll_event events[64];
    const int n = ::epoll_wait(epoll_, events, 64, 0);
    for (int i = 0; i < n; ++i) {
        const uint64_t id = events[i].data.u64;
        if (id == kTimerId) {
            RunTimers();
        } else if (auto l = listeners_.find(id); l != listeners_.end()) {
            Accept(*stations_[l->second]);
        } else {
            HandleEndpoint(id, events[i].events);
        }
    }
}

void RawPorts::Accept(Station& s)
{
    int c;
    while ((c = ::accept4(s.listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0) {
        int one = 1;
        ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        AddEndpoint(s, c, kTcp);
    }
}

void RawPorts::HandleEndpoint(uint64_t id, uint32_t events)
{
    auto it = endpoints_.find(id);
    if (it == endpoints_.end()) return;
    Endpoint& ep = *it->second;
    unsigned char buf[kReadChunk];
    if (ep.port == kTcp) {
        if (events & EPOLLOUT) Flush(ep);
        if (events & (EPOLLIN | EPOLLHUP | EPOLLERR)) {
            const ssize_t r = ::recv(ep.fd, buf, sizeof buf, 0);
            if (r > 0) {
                Received(ep, buf, static_cast<size_t>(r));
            } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
                ep.hangup = true;
            }
        }
        if (ep.hangup) CloseEndpoint(id);
        return;
    }
    // Device ports: read everything there is. A terminal whose host end is
    // closed reads EIO: whatever was half received is forgotten.
    for (;;) {
        const ssize_t r = ::read(ep.fd, buf, sizeof buf);
        if (r > 0) {
            Received(ep, buf, static_cast<size_t>(r));
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && errno == EIO) ep.stream.Reset();
        break;
    }
    if (events & EPOLLOUT) Flush(ep);
}

void RawPorts::Received(Endpoint& ep, const unsigned char* data, size_t length)
{
    Station& s = *stations_[ep.station];
    // A printer that is switched off or restarting takes nothing in.
    if (!s.printer->Answering()) {
        ep.stream.Reset();
        return;
    }
    if (s.captureFd >= 0) {
        size_t done = 0;
        while (done < length) {
            const ssize_t w = ::write(s.captureFd, data + done, length - done);
            if (w <= 0) break;
            done += static_cast<size_t>(w);
        }
    }
    ep.stream.Feed(data, length);
}

void RawPorts::Write(Endpoint& ep, const std::string& bytes)
{
    if (ep.port == kLpt || ep.hangup) return; // a parallel port carries nothing back
    if (!ep.out.empty()) {
        if (ep.out.size() + bytes.size() <= kMaxPendingOutput) ep.out += bytes;
        return;
    }
    ep.out = bytes;
    Flush(ep);
}

void RawPorts::Flush(Endpoint& ep)
{
    while (!ep.out.empty()) {
        const ssize_t w = ep.port == kTcp ? ::send(ep.fd, ep.out.data(), ep.out.size(), MSG_NOSIGNAL)
                                          : ::write(ep.fd, ep.out.data(), ep.out.size());
        if (w > 0) {
            ep.out.erase(0, static_cast<size_t>(w));
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && errno != EAGAIN) {
            // The host is gone: a connection closes, a terminal drops it.
            ep.out.clear();
            if (ep.port == kTcp) ep.hangup = true;
        }
        break;
    }
    if (ep.port == kTcp) {
        epoll_event ev{};
        ev.events = ep.out.empty() ? EPOLLIN : (EPOLLIN | EPOLLOUT);
        ev.data.u64 = ep.id;
        ::epoll_ctl(epoll_, EPOLL_CTL_MOD, ep.fd, &ev);
    }
}

void RawPorts::WriteLater(uint64_t id, int ms, std::string bytes)
{
    const auto when = Clock::now() + std::chrono::milliseconds(ms);
    auto it = endpoints_.find(id);
    if (it != endpoints_.end()) {
        Station& s = *stations_[it->second->station];
        if (when > s.lastReplyDue) s.lastReplyDue = when;
    }
    Schedule(when, [this, id, bytes = std::move(bytes)] {
        auto e = endpoints_.find(id);
        if (e == endpoints_.end()) return;
        Write(*e->second, bytes);
        if (e->second->hangup) CloseEndpoint(id);
    });
}

FaultSetting::Kind RawPorts::TakeFault(Station& s, FaultSetting::On which)
{
    const FaultSetting& f = s.settings.fault;
    if (f.kind == FaultSetting::kNone || s.faultLeft == 0) return FaultSetting::kNone;
    if (f.on != FaultSetting::kAny && f.on != which) return FaultSetting::kNone;
    const bool objectOnly = f.kind == FaultSetting::kBadSequence || f.kind == FaultSetting::kGenErr;
    if (objectOnly && which != FaultSetting::kObject) return FaultSetting::kNone;
    if (s.faultLeft > 0) --s.faultLeft;
    return f.kind;
}

void RawPorts::Deliver(Endpoint& ep, const std::string& reply, FaultSetting::Kind fault)
{
    const Station& s = *stations_[ep.station];
    const int ms = s.settings.fault.ms;
    switch (fault) {
    case FaultSetting::kSilent: return;
    case FaultSetting::kHangup:
        if (ep.port == kTcp) ep.hangup = true;
        return;
    case FaultSetting::kDelay: WriteLater(ep.id, ms >= 0 ? ms : kDefaultDelayMs, reply); return;
    case FaultSetting::kSplit: {
        const size_t half = reply.size() / 2;
        Write(ep, reply.substr(0, half));
        WriteLater(ep.id, ms >= 0 ? ms : kDefaultSplitMs, reply.substr(half));
        return;
    }
    case FaultSetting::kGarbage: Write(ep, std::string(reply.size(), '~')); return;
    case FaultSetting::kNoise: Write(ep, std::string(kNoise) + reply); return;
    default: Write(ep, reply); return;
    }
}

void RawPorts::OnObjectCommand(Endpoint& ep, const std::string& command)
{
    Station& s = *stations_[ep.station];
    ++s.objectCommands;
    const FaultSetting::Kind fault = TakeFault(s, FaultSetting::kObject);
    ObjectReplyOptions options;
    options.sequenceOffset = fault == FaultSetting::kBadSequence ? 1 : 0;
    options.genErr = fault == FaultSetting::kGenErr;
    Deliver(ep, AnswerObjectCommand(s.printer->Objects(), s.printer->Policy(), command, options), fault);
}

void RawPorts::OnDownloadReply(Endpoint& ep, int value)
{
    Station& s = *stations_[ep.station];
    const FaultSetting::On which = value == download::kStartAccepted   ? FaultSetting::kStart
                                : value == download::kBlockReceived ? FaultSetting::kBlock
                                                                    : FaultSetting::kEnd;
    Deliver(ep, DownloadReply(value), TakeFault(s, which));
}

void RawPorts::OnDownloadDone(Endpoint& ep, const DownloadOutcome& outcome)
{
    Station& s = *stations_[ep.station];
    ++s.downloads;
    s.last = outcome;
    s.haveOutcome = true;
    if (outcome.reply != download::kFinished) return;
    const KindEffect* effect = FindKindEffect(outcome.trailer.kind);
    if (!effect) return;
    if (!effect->restarts) {
        ApplyVersion(s, outcome.trailer);
        return;
    }
    // The restart waits for the final reply, a delayed one too.
    auto when = Clock::now() + std::chrono::milliseconds(kRestartSettleMs);
    if (s.lastReplyDue + std::chrono::milliseconds(kRestartSettleMs) > when)
        when = s.lastReplyDue + std::chrono::milliseconds(kRestartSettleMs);
    s.restarting = true;
    const size_t index = s.index;
    Schedule(when, [this, index, trailer = outcome.trailer] { BeginRestart(index, trailer); });
}

void RawPorts::BeginRestart(size_t index, Trailer trailer)
{
    Station& s = *stations_[index];
    s.printer->SetAnswering(false);
    // The port closes before its connections drop, so that a host that sees
    // its connection end cannot connect again in between.
    if (s.listener >= 0) {
        ::epoll_ctl(epoll_, EPOLL_CTL_DEL, s.listener, nullptr);
        ::close(s.listener);
        listeners_.erase(s.listenerId);
        s.listener = -1;
    }
    const std::vector<uint64_t> ids = s.endpoints;
    for (uint64_t id : ids) {
        Endpoint& ep = *endpoints_[id];
        if (ep.port == kTcp) {
            CloseEndpoint(id);
        } else {
            ep.stream.Reset();
            ep.out.clear();
        }
    }
    Schedule(Clock::now() + std::chrono::milliseconds(s.settings.restartMs),
             [this, index, trailer = std::move(trailer)] { EndRestart(index, trailer); });
}

void RawPorts::EndRestart(size_t index, const Trailer& trailer)
{
    Station& s = *stations_[index];
    ApplyVersion(s, trailer);
    s.printer->SetAnswering(true);
    std::string error;
    if (s.settings.tcpPort > 0 && !OpenListener(s, error)) std::fprintf(stderr, "qav-printer-sim: %s\n", error.c_str());
    s.restarting = false;
    if (sendTrap_) sendTrap_(index, 0, 0);
}

void RawPorts::ApplyVersion(Station& s, const Trailer& trailer)
{
    const KindEffect* effect = FindKindEffect(trailer.kind);
    if (!effect) return;
    std::string error;
    s.printer->SetField("object." + std::to_string(effect->versionObject), trailer.version, error);
    if (trailer.kind == "BOOT" && trailer.bootType.find_first_not_of(' ') != std::string::npos)
        s.printer->SetField("object." + std::to_string(kBootTypeObject), trailer.bootType, error);
}

void RawPorts::Schedule(Clock::time_point when, std::function<void()> action)
{
    timers_.emplace(when, std::move(action));
    ArmTimer();
}

void RawPorts::ArmTimer()
{
    itimerspec due{};
    if (!timers_.empty()) {
        auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(timers_.begin()->first - Clock::now()).count();
        if (left < 1000) left = 1000;
        due.it_value.tv_sec = static_cast<time_t>(left / 1000000000);
        due.it_value.tv_nsec = static_cast<long>(left % 1000000000);
    }
    ::timerfd_settime(timer_, 0, &due, nullptr);
}

void RawPorts::RunTimers()
{
    uint64_t expirations = 0;
    while (::read(timer_, &expirations, sizeof expirations) > 0) {
    }
    while (!timers_.empty() && timers_.begin()->first <= Clock::now()) {
        auto action = std::move(timers_.begin()->second);
        timers_.erase(timers_.begin());
        action();
    }
    ArmTimer();
}

bool RawPorts::IsCommand(const std::string& word)
{
    return word == "fault" || word == "restart-ms" || word == "ports" || word == "downloads";
}

std::string RawPorts::Execute(const std::vector<std::string>& w)
{
    const std::string& cmd = w[0];
    if (w.size() < 2) return "error: " + cmd + " needs a printer address (or all)";
    std::vector<Station*> targets;
    uint32_t address = 0;
    if (w[1] != "all" && !ParseAddress(w[1], address)) return "error: bad address " + w[1];
    for (auto& s : stations_) {
        const PrinterEntry& e = s->printer->Entry();
        if (!e.maker || !e.recording.empty()) continue;
        if (w[1] == "all" || e.address == address) targets.push_back(s.get());
    }
    if (targets.empty()) return "error: no maker printer at " + w[1];

    std::ostringstream out;
    for (Station* s : targets) {
        const std::string name = AddressText(s->printer->Entry().address);
        if (cmd == "fault") {
            FaultSetting f;
            std::string error;
            if (!ParseFault(w, 2, f, error)) return "error: " + error;
            s->settings.fault = f;
            s->faultLeft = f.count;
        } else if (cmd == "restart-ms") {
            RawSettings probe;
            std::string error;
            if (w.size() < 3 || !ApplyRawKey(probe, "restart-ms", w[2], error))
                return "error: restart-ms ADDRESS MILLISECONDS (0 to 3600000)";
            s->settings.restartMs = probe.restartMs;
        } else if (cmd == "ports") {
            out << name << Describe(s->index) << "\n";
        } else if (cmd == "downloads") {
            out << name << " downloads " << s->downloads << ", print data " << s->printBytes << " bytes, object commands "
                << s->objectCommands << (s->restarting ? ", restarting" : "") << ", fault "
                << FaultText(s->settings.fault);
            if (s->haveOutcome) {
                const DownloadOutcome& o = s->last;
                out << ", last " << (o.trailer.kind.empty() ? "?" : o.trailer.kind) << " " << o.trailer.version << " "
                    << o.bytes << " bytes reply " << o.reply;
            }
            out << "\n";
        }
    }
    return out.str() + "ok";
}

std::string RawPorts::Describe(size_t index) const
{
    const Station& s = *stations_[index];
    const PrinterEntry& e = s.printer->Entry();
    if (!e.maker || !e.recording.empty()) return std::string();
    std::string text;
    if (s.settings.tcpPort > 0) text += "  raw " + std::to_string(s.settings.tcpPort);
    for (const std::string& d : s.described) text += "  " + d;
    return text;
}

} // namespace qavsim

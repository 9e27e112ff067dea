// A simulated printer takes the own address written into it (object 22701)
// when it is told to apply its system settings (20841 = 2), as a real
// printer restarts its network: it answers from the new loopback address
// from then on, and no longer from the old one. The answer to that SET still
// leaves from the old address.
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Parameters.h"
#include "Simulator.h"

namespace qavsim {

void Simulator::FollowSettings(Served& s, const std::vector<Oid>& changed)
{
    const Oid control = ParameterOid(table_, obj::kControl);
    if (std::find(changed.begin(), changed.end(), control) == changed.end()) return;
    const Mib::Entry* command = s.printer.Objects().Find(control);
    if (!command || command->value.number != obj::kApplySystemSettings) return;
    const Mib::Entry* own = s.printer.Objects().Find(ParameterOid(table_, obj::kOwnAddress));
    if (!own || own->value.bytes.size() != 4) return;
    const auto byte = [&](int i) { return static_cast<uint32_t>(static_cast<uint8_t>(own->value.bytes[i])); };
    const uint32_t address = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    const uint32_t old = s.printer.Entry().address;
    if (address == old || !IsLoopback(address)) return;

    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port_));
    sa.sin_addr.s_addr = htonl(address);
    if (socket < 0 || ::bind(socket, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        std::fprintf(stderr, "qav-printer-sim: %s cannot move to %s: %s\n", AddressText(old).c_str(),
                     AddressText(address).c_str(), std::strerror(errno));
        if (socket >= 0) ::close(socket);
        return;
    }
    size_t index = 0;
    while (index < printers_.size() && printers_[index].get() != &s) ++index;
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = index;
    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, s.socket, nullptr);
    ::close(s.socket);
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, socket, &ev);
    s.socket = socket;
    s.printer.MoveTo(address);
    std::printf("qav-printer-sim: %s moved to %s\n", AddressText(old).c_str(), AddressText(address).c_str());
    std::fflush(stdout);
}

} // namespace qavsim

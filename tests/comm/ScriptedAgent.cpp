#include "ScriptedAgent.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qavtest {

ScriptedAgent::ScriptedAgent(const std::string& address, int port, Script script) : script_(std::move(script))
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) return;
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return;
    if (::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        ::close(s);
        return;
    }
    socket_ = s;
    thread_ = std::thread([this] { Run(); });
}

ScriptedAgent::~ScriptedAgent()
{
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (socket_ >= 0) ::close(socket_);
}

std::vector<qavsim::Message> ScriptedAgent::Requests()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

qavsim::Message ScriptedAgent::Response(const qavsim::Message& request, std::vector<qavsim::Value> values)
{
    qavsim::Message r = request;
    r.pduType = qavsim::kGetResponse;
    r.errorStatus = 0;
    r.errorIndex = 0;
    for (size_t i = 0; i < values.size() && i < r.varbinds.size(); ++i) r.varbinds[i].value = values[i];
    return r;
}

void ScriptedAgent::Run()
{
    while (!stop_) {
        pollfd p{socket_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        uint8_t buf[65536];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = ::recvfrom(socket_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n <= 0) continue;
        const auto request = qavsim::Decode(buf, static_cast<size_t>(n));
        if (!request) continue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(*request);
        }
        const auto answer = script_(*request);
        if (!answer) continue;
        const std::string bytes = qavsim::Encode(*answer);
        ::sendto(socket_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
    }
}

} // namespace qavtest

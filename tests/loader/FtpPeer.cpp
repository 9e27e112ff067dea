#include "FtpPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace loadertest {

bool FtpPeer::Start(const std::string& address, const std::string& folder, int seconds)
{
    address_ = address;
    const std::string log = dir_.File("ftp.log");
    if (!process_.Start({"/usr/bin/python3", QAV_SOURCE_DIR "/tests/loader/ftp_peer.py", address, folder, kUser,
                         std::to_string(seconds)},
                        log, {{"QAV_TEST_FTP_PASSWORD", kPassword}}))
        return false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < end) {
        const std::string text = process_.Log();
        const size_t at = text.find("ready ");
        if (at != std::string::npos && text.find('\n', at) != std::string::npos) {
            port_ = std::atoi(text.c_str() + at + 6);
            return port_ > 0;
        }
        if (!process_.Running()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

nload::FtpServer FtpPeer::Server() const
{
    nload::FtpServer s;
    s.host = address_ + ":" + std::to_string(port_);
    s.user = kUser;
    s.password = kPassword;
    s.timeoutSeconds = 10;
    return s;
}

SilentServer::SilentServer(const std::string& address) : address_(address)
{
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    socklen_t length = sizeof sa;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd_, 4) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &length) != 0)
        return;
    port_ = ntohs(sa.sin_port);
}

SilentServer::~SilentServer()
{
    if (fd_ >= 0) ::close(fd_);
}

nload::FtpServer SilentServer::Server() const
{
    nload::FtpServer s;
    s.host = address_ + ":" + std::to_string(port_);
    s.user = FtpPeer::kUser;
    s.password = FtpPeer::kPassword;
    return s;
}

} // namespace loadertest

// An FTP server (pyftpdlib) on a loopback address for the catalog tests:
// a folder of its own holding ROM_FILE/, one user, the password handed
// through the environment.
#pragma once

#include <string>

#include "TestPeers.h"
#include "nload/Catalog.h"

namespace loadertest {

class FtpPeer {
public:
    // Serves `folder` for at most `seconds`; true once it listens.
    bool Start(const std::string& address, const std::string& folder, int seconds = 60);
    nload::FtpServer Server() const;
    std::string Log() const { return process_.Log(); }
    static constexpr const char* kUser = "loader";
    static constexpr const char* kPassword = "s3cret pass";

private:
    qavtest::TempDir dir_;
    qavtest::ChildProcess process_;
    std::string address_;
    int port_ = 0;
};

// A server that takes connections and never says a word: an FTP server
// that hangs before its greeting.
class SilentServer {
public:
    explicit SilentServer(const std::string& address);
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;
    bool Listening() const { return port_ > 0; }
    nload::FtpServer Server() const; // its "address:port", the default time-outs

private:
    std::string address_;
    int fd_ = -1;
    int port_ = 0;
};

} // namespace loadertest

// Small helpers of the platform tests: the helper process, waiting for its
// output, and environment variables set for the length of a test.
#pragma once

#include "TestPeers.h"

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

namespace platformtest {

inline std::string HelperPath() { return std::string(QAV_BINARY_DIR) + "/bin/platform_helper"; }

template <typename Condition>
bool WaitUntil(Condition condition, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

inline bool WaitForLog(const qavtest::ChildProcess& child, const std::string& text, int timeoutMs = 5000)
{
    return WaitUntil([&] { return child.Log().find(text) != std::string::npos; }, timeoutMs);
}

inline bool FileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

inline bool WaitForFile(const std::string& path, int timeoutMs = 5000)
{
    return WaitUntil([&] { return FileExists(path); }, timeoutMs);
}

// kill -9, then the exit status is collected.
inline void KillHard(qavtest::ChildProcess& child)
{
    if (child.Pid() > 0) ::kill(child.Pid(), SIGKILL);
    child.Wait(5000);
}

// Sets (or with std::nullopt removes) a variable, and restores it at the end.
class ScopedEnv {
public:
    ScopedEnv(const std::string& name, std::optional<std::string> value) : name_(name)
    {
        if (const char* old = std::getenv(name.c_str())) old_ = std::string(old);
        if (value) ::setenv(name.c_str(), value->c_str(), 1);
        else ::unsetenv(name.c_str());
    }
    ~ScopedEnv()
    {
        if (old_) ::setenv(name_.c_str(), old_->c_str(), 1);
        else ::unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

} // namespace platformtest

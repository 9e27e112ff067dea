// An SNMP agent whose answers the test writes: it listens on one loopback
// address at the agents' port (QAV_SNMP_PORT when set), decodes each
// request with the simulator's codec and sends back whatever the script
// makes of it, so that a test can send answers no real agent would.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Ber.h"

namespace qavtest {

class ScriptedAgent {
public:
    // The answer to a request, or nothing to stay silent.
    using Script = std::function<std::optional<qavsim::Message>(const qavsim::Message& request)>;

    ScriptedAgent(const std::string& address, int port, Script script);
    ~ScriptedAgent();
    ScriptedAgent(const ScriptedAgent&) = delete;
    ScriptedAgent& operator=(const ScriptedAgent&) = delete;

    bool Ok() const { return socket_ >= 0; }
    std::vector<qavsim::Message> Requests();

    // The answer a well-behaved agent gives: the request's bindings with the
    // values of `values` in order (the request's own where it has none).
    static qavsim::Message Response(const qavsim::Message& request, std::vector<qavsim::Value> values = {});

private:
    void Run();

    Script script_;
    int socket_ = -1;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<qavsim::Message> requests_;
    std::thread thread_;
};

} // namespace qavtest

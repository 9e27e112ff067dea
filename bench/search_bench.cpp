// Range discovery over one /24 network on loopback: 254 addresses of this
// process's own 127.a.b.0/24, with snmpsim agents answering on the first,
// two middle and the last address. Measured per search: the time from the
// start until the last address's answer is in the results (the sender's
// pass over the range, paced at 5 ms per address), the whole search (the
// receive window), and the results found.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TestPeers.h"
#include "ncomm/CQBPSearch.h"
#include "ncomm/QBPResult.h"

namespace {

using Clock = std::chrono::steady_clock;

const int kAnswering[] = {1, 64, 128, 254};
const int kWindowSeconds = 2;
const char* const kRecording =
    "1.3.6.1.2.1.1.1.0|4|VORANTA M-UG2W label printer\n"
    "1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.32473.1\n";

std::vector<std::unique_ptr<qavtest::SnmpSimAgent>> g_agents;

int LastOctet(unsigned long result) { return reinterpret_cast<const unsigned char*>(&result)[3]; }

void BM_RangeSearchSlash24(benchmark::State& state)
{
    std::vector<std::string> ranges = {qavtest::LoopbackAddress(1) + "-" + qavtest::LoopbackAddress(254)};
    double sendSeconds = 0, totalSeconds = 0;
    int found = 0, runs = 0;
    for (auto _ : state) {
        CQBPSearch s;
        const auto start = Clock::now();
        if (s.SingleSearchPrinter("1.3.6.1.2.1.1.2.0", kWindowSeconds, &ranges) != 0) {
            state.SkipWithError("SingleSearchPrinter failed");
            return;
        }
        // The last address is the last one sent to: its answer marks the
        // end of the sender's pass.
        double lastSeen = 0;
        int seen = 0;
        while (s.SearchGetResult() == QBP_SEARCH_RUNNING) {
            const int n = s.SearchGetSize();
            for (; seen < n; ++seen) {
                if (LastOctet(s.SearchGetAt(seen)) == 254) {
                    lastSeen = std::chrono::duration<double>(Clock::now() - start).count();
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const double total = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(lastSeen > 0 ? lastSeen : total);
        sendSeconds += lastSeen;
        totalSeconds += total;
        found += s.SearchGetSize();
        ++runs;
    }
    state.counters["send_ms"] = runs ? 1000.0 * sendSeconds / runs : 0;
    state.counters["search_ms"] = runs ? 1000.0 * totalSeconds / runs : 0;
    state.counters["results"] = runs ? static_cast<double>(found) / runs : 0;
    state.counters["agents"] = static_cast<double>(std::size(kAnswering));
}
BENCHMARK(BM_RangeSearchSlash24)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (!qavtest::HaveProgram("snmpsimd")) {
        std::fprintf(stderr, "snmpsimd is not installed\n");
        return 1;
    }
    const int port = qavtest::PrepareAgentPort();
    for (int slot : kAnswering) {
        auto agent = std::make_unique<qavtest::SnmpSimAgent>();
        if (!agent->Start(qavtest::LoopbackAddress(slot), port, {{"kestra", kRecording}})) {
            std::fprintf(stderr, "agent on %s did not start:\n%s\n", qavtest::LoopbackAddress(slot).c_str(),
                         agent->Log().c_str());
            return 1;
        }
        g_agents.push_back(std::move(agent));
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_agents.clear();
    return 0;
}

// The whole device search against the printer simulator on loopback:
//  - one /24 network of this process's own (254 addresses) with 50 of the
//    maker's printers spread over it; every one must be found and merged;
//  - a run of 500 printers, for the processing phase (the printers are
//    checked and read one after another).
// Measured per search: the discovery phase (it waits its whole window, which
// must cover the sender's pass at 5 ms per address), the processing phase
// (printer check, maker check and object set of every found address, and the
// merge), and the time per processed printer.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "TestPeers.h"
#include "nlist/DeviceSearch.h"
#include "nlist/Nlist.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSpread = 50;
constexpr int kRun = 500;

std::string g_slash24; // "first-last" of the /24
std::string g_runRange;

std::string Dotted(uint32_t a)
{
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 255) + "." + std::to_string((a >> 8) & 255) +
           "." + std::to_string(a & 255);
}

uint32_t Address(const std::string& dotted)
{
    in_addr a{};
    ::inet_pton(AF_INET, dotted.c_str(), &a);
    return ntohl(a.s_addr);
}

// Notes when the processing phase starts.
class PhaseClock : public nlist::SearchObserver {
public:
    Clock::time_point processingStart{};
    void OnProgress(const nlist::SearchProgress& p) override
    {
        if (p.phase == nlist::SearchPhase::kProcessing && processingStart == Clock::time_point{})
            processingStart = Clock::now();
    }
};

void FreshList()
{
    ClearListData();
    ClearGroupData();
    for (const char* name : {"All", "Maker"}) {
        GroupData g;
        std::snprintf(g.name, sizeof g.name, "%s", name);
        AddToGroupData(g);
    }
}

void Search(benchmark::State& state, const std::string& range, int seconds, int printers)
{
    double discovery = 0, processing = 0;
    int merged = 0, found = 0, runs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        FreshList();
        state.ResumeTiming();
        nlist::SearchSettings settings;
        settings.timeoutSeconds = seconds;
        settings.ranges = {range};
        nlist::DeviceSearch search(settings);
        PhaseClock clock;
        const auto start = Clock::now();
        const nlist::SearchProgress p = search.Run(&clock);
        const auto end = Clock::now();
        if (p.merged != printers || GetListDataSize() != printers) {
            state.SkipWithError(("merged " + std::to_string(p.merged) + " of " + std::to_string(printers)).c_str());
            return;
        }
        const double d = std::chrono::duration<double>(clock.processingStart - start).count();
        const double w = std::chrono::duration<double>(end - clock.processingStart).count();
        state.SetIterationTime(d + w);
        discovery += d;
        processing += w;
        merged += p.merged;
        found += p.found;
        ++runs;
    }
    state.counters["discovery_ms"] = 1000.0 * discovery / runs;
    state.counters["processing_ms"] = 1000.0 * processing / runs;
    state.counters["per_printer_ms"] = 1000.0 * processing / merged;
    state.counters["found"] = static_cast<double>(found) / runs;
    state.counters["merged"] = static_cast<double>(merged) / runs;
}

// The window covers the pass over 254 addresses (about 1.3 s).
void BM_SearchSlash24With50Printers(benchmark::State& state) { Search(state, g_slash24, 2, kSpread); }
BENCHMARK(BM_SearchSlash24With50Printers)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The window covers the pass over 500 addresses (about 2.6 s).
void BM_Search500Printers(benchmark::State& state) { Search(state, g_runRange, 4, kRun); }
BENCHMARK(BM_Search500Printers)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const int port = qavtest::PrepareAgentPort();
    qavtest::TempDir dir;
    ::setenv("QAV_DATA_DIR", dir.Path().c_str(), 1);

    // 50 printers on every fifth address of the /24, and a run of 500 in the
    // process's block.
    std::string fleet;
    for (int i = 1; i <= kSpread; ++i) {
        fleet += "[printer]\naddress = " + qavtest::LoopbackAddress(5 * i) + "\nname = Spread " + std::to_string(i) +
                 "\n";
    }
    const uint32_t first = Address(qavtest::LoopbackBlock());
    fleet += "[printers]\nfirst = " + Dotted(first) + "\ncount = " + std::to_string(kRun) + "\nname = Run %n\n";
    qavtest::WriteFile(dir.File("fleet"), fleet);
    g_slash24 = qavtest::LoopbackAddress(1) + "-" + qavtest::LoopbackAddress(254);
    // The simulator's runs skip the .0 and .255 host numbers.
    uint32_t last = first;
    for (int made = 1; made < kRun;) {
        ++last;
        if ((last & 0xFF) != 0 && (last & 0xFF) != 255) ++made;
    }
    g_runRange = Dotted(first) + "-" + Dotted(last);

    qavtest::PrinterSim sim;
    if (!sim.Start({"--fleet", dir.File("fleet"), "--port", std::to_string(port), "--quiet"})) {
        std::fprintf(stderr, "the simulator did not start:\n%s\n", sim.Log().c_str());
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

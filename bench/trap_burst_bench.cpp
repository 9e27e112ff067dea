// Trap throughput of the running monitor: simulated printers send paper-jam
// traps in one burst (`event all paper-jam` repeated) to nwatch's trap port;
// timed from the first command to the moment the trap log holds every trap.
// Every channel but the trap log is off, so the figure is reception, the
// maker check, trap handling on the window thread and the log's
// open-append-close per line. With --full-log the log starts full at its
// maximum of 1,024 KB (older lines are cut as the burst comes in), traps
// are counted by the monitor's trace, and the time SIGTERM takes at the end
// of the last burst is reported too.
//
//   trap_burst_bench [--printers N] [--rounds N] [--repeat N] [--full-log]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "NwatchProcess.h"
#include "TestPeers.h"

namespace {

size_t CountLines(const std::string& path)
{
    const std::string text = qavtest::ReadFile(path);
    size_t n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    int printers = 50, rounds = 20, repeat = 3;
    bool fullLog = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--full-log")) fullLog = true;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--full-log")) {
            --i;
            continue;
        }
        if (!std::strcmp(argv[i], "--printers")) printers = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--rounds")) rounds = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--repeat")) repeat = std::atoi(argv[i + 1]);
    }
    qavtest::NwatchProcess nwatch;
    qavtest::PrinterSim sim;
    qavtest::BurstSetup setup;
    std::string error;
    if (!qavtest::PrepareBurst(nwatch, sim, printers, setup, error)) {
        std::fprintf(stderr, "trap_burst_bench: %s\n", error.c_str());
        return 1;
    }
    const std::string log = nwatch.DataFile("QAVTrapLog.log");
    if (fullLog) {
        nwatch.Set("QAVLogConfig.INI", "Trap", "MaximumSize", "1024");
        qavtest::FillTrapLog(log, 1024 * 1024);
    }
    auto logged = [&] { return fullLog ? nwatch.LogLines("nwatch: channel log ").size() : CountLines(log); };
    const size_t perBurst = static_cast<size_t>(printers) * static_cast<size_t>(rounds);
    std::printf("trap burst: %d printers x %d traps = %zu traps per burst\n", printers, rounds, perBurst);
    size_t expected = 0;
    int failures = 0;
    for (int run = 0; run < repeat; ++run) {
        expected += perBurst;
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        for (int r = 1; r <= rounds; ++r) sim.Command("event all paper-jam value=" + std::to_string(r));
        const auto sent = Clock::now();
        size_t have = 0;
        auto lastGrowth = Clock::now();
        while (have < expected && Clock::now() - lastGrowth < std::chrono::seconds(5)) {
            const size_t now = logged();
            if (now != have) lastGrowth = Clock::now();
            have = now;
            if (have < expected) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        const auto done = Clock::now();
        const double total = std::chrono::duration<double>(done - start).count();
        const double sending = std::chrono::duration<double>(sent - start).count();
        const size_t count = have - (expected - perBurst);
        std::printf("burst %d: %zu of %zu logged in %.3f s (sent in %.3f s): %.0f traps/s\n", run + 1, count, perBurst,
                    total, sending, count / total);
        if (count != perBurst) ++failures;
    }
    if (fullLog) {
        // One more burst, and SIGTERM while it is under way.
        for (int r = 1; r <= rounds; ++r) sim.Command("event all paper-jam value=" + std::to_string(r));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const auto stop = std::chrono::steady_clock::now();
        const int rc = nwatch.Stop();
        std::printf("SIGTERM during a burst: ended (status %d) after %.3f s\n", rc,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - stop).count());
        std::printf("log size at the end: %zu bytes\n", qavtest::ReadFile(log).size());
        return failures == 0 ? 0 : 1;
    }
    nwatch.Stop();
    return failures == 0 ? 0 : 1;
}

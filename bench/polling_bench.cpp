// The polling cycle over 1,000 simulated printers of which 100 do not
// answer: the cycle time when printers are read one after another and when
// they are read side by side, and how long the window thread is held up
// while a cycle runs (a Qt event loop stands for the monitor's window
// thread; a 10 ms timer measures the largest gap between its ticks).
//
//   polling_bench [--printers N] [--silent N] [--concurrency N] [--sequential]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TestPeers.h"
#include "nlist/Nlist.h"
#include "nwatch/Polling.h"
#include "qavres/Resources.h"

namespace {

void FillList(const std::vector<uint32_t>& addresses)
{
    ClearListData();
    for (uint32_t a : addresses) {
        ListData r;
        r.ipAddress = a;
        AddToListData(r);
    }
}

struct Run {
    double seconds = 0;
    double maxGapMs = 0;
    nwatch::PollingResult result;
};

// Starts one cycle from the event loop's thread and measures the loop while
// the cycle runs on its workers.
Run RunInEventLoop(int concurrency, const nwatch::ReadContext& context)
{
    Run run;
    nwatch::PollingCycle cycle(concurrency);
    QElapsedTimer clock, gap;
    QTimer tick;
    bool finished = false;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double ms = gap.nsecsElapsed() / 1e6;
        if (ms > run.maxGapMs) run.maxGapMs = ms;
        gap.restart();
        if (finished) QCoreApplication::quit();
    });
    clock.start();
    gap.start();
    tick.start(10);
    cycle.Start(context, [&](const nwatch::PollingResult& r) {
        run.result = r;
        // Handed back to the window thread as the monitor does.
        QMetaObject::invokeMethod(&tick, [&] { finished = true; }, Qt::QueuedConnection);
    });
    QCoreApplication::exec();
    run.seconds = clock.nsecsElapsed() / 1e9;
    // The measured gap includes the 10 ms period itself.
    run.maxGapMs -= 10;
    if (run.maxGapMs < 0) run.maxGapMs = 0;
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int printers = 1000, silent = 100, concurrency = 32;
    bool sequential = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--printers") && i + 1 < argc) printers = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--silent") && i + 1 < argc) silent = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--concurrency") && i + 1 < argc) concurrency = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--sequential")) sequential = true;
    }
    const int port = qavtest::PrepareAgentPort();
    qavtest::PrinterSim sim;
    const std::string first = qavtest::LoopbackBlock();
    if (!sim.Start({"--count", std::to_string(printers), "--first", first, "--port", std::to_string(port), "--quiet"},
                   60000)) {
        std::fprintf(stderr, "the simulator did not start:\n%s\n", sim.Log().c_str());
        return 1;
    }
    const std::vector<uint32_t> addresses = sim.Addresses();
    // Every tenth printer stops answering.
    const int step = silent > 0 ? std::max(1, printers / silent) : printers + 1;
    int down = 0;
    for (size_t i = 0; i < addresses.size() && down < silent; i += static_cast<size_t>(step), ++down) {
        in_addr a{htonl(addresses[i])};
        sim.Command(std::string("down ") + inet_ntoa(a));
    }

    qavres::ObjectTable objects;
    qavres::StringTable language;
    objects.Load();
    language.Load(qavres::kLanguage);
    nwatch::ReadContext context;
    context.objects = &objects;
    context.language = &language;

    std::printf("polling %zu simulated printers, %d of them silent\n", addresses.size(), down);
    for (int pass = 0; pass < 2; ++pass) {
        // First pass: the maker check asks every printer; later passes know.
        FillList(addresses);
        if (pass == 1) nwatch::PollingCycle(concurrency).RunCycle(context);
        const Run r = RunInEventLoop(concurrency, context);
        std::printf("concurrent (%d workers), %s: %.2f s, %d stored, %d silent; window thread held up at most %.1f ms\n",
                    concurrency, pass == 0 ? "first cycle" : "next cycle", r.seconds, r.result.stored,
                    r.result.notAnswering, r.maxGapMs);
    }
    if (sequential) {
        FillList(addresses);
        const Run r = RunInEventLoop(1, context);
        std::printf("one after another, first cycle: %.2f s, %d stored; window thread held up at most %.1f ms\n",
                    r.seconds, r.result.stored, r.maxGapMs);
    }
    return 0;
}

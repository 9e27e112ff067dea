// The download tool's speed, against the printer simulator on loopback:
//
//  1. A 4 MB MAIN file into 50 simulated printers with qavctl load, one
//     printer after another, then --parallel 10, in the same run (each
//     printer restarts after its download, answers with a coldStart trap,
//     and is read again). Goal: the parallel run at least 5 times faster.
//  2. One printer's data phase (from the start command's reply to the end
//     of the data) against the pacing of the library's background sender:
//     at most 4096 bytes per millisecond (one 4 KB chunk, then 1 ms).
//
//   load_bench [--printers N] [--parallel N] [--megabytes N] [--restart-ms N]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "../tests/loader/LoadFiles.h"
#include "TestPeers.h"
#include "nload/Information.h"
#include "nload/LiveEnvironment.h"
#include "nload/Procedure.h"
#include "qavplatform/Address.h"
#include "qavres/Resources.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) { return std::chrono::duration<double>(to - from).count(); }

// qavctl load as a process; its run time in seconds, or a negative value
// when it failed.
double TimedLoad(const std::vector<std::string>& args, const std::string& log)
{
    qavtest::ChildProcess p;
    std::vector<std::string> argv = {QAV_BINARY_DIR "/bin/qavctl", "load"};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto start = Clock::now();
    if (!p.Start(argv, log)) return -1;
    const int status = p.Wait(30 * 60 * 1000);
    const double s = Seconds(start, Clock::now());
    if (status != 0) {
        std::fprintf(stderr, "load_bench: qavctl ended with %d:\n%s\n", status, p.Log().c_str());
        return -1;
    }
    return s;
}

// Notes when the data phase begins and ends.
class PhaseClock : public nload::ProgressSink {
public:
    void Status(int textId) override
    {
        if (textId == 5005) dataStart = Clock::now();
        if (textId == 5008) dataEnd = Clock::now();
    }
    void Sent(int) override {}
    Clock::time_point dataStart, dataEnd;
};

} // namespace

int main(int argc, char** argv)
{
    int printers = 50, parallel = 10, megabytes = 4, restartMs = 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--printers")) printers = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--parallel")) parallel = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--megabytes")) megabytes = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--restart-ms")) restartMs = std::atoi(argv[i + 1]);
    }
    qavtest::TempDir dir;
    const int trapPort = 40000 + static_cast<int>(::getpid() % 20000);
    ::setenv("QAV_TRAP_PORT", std::to_string(trapPort).c_str(), 1);
    ::setenv("QAV_DATA_DIR", dir.Path().c_str(), 1);
    const int snmpPort = qavtest::PrepareAgentPort();
    const std::string first = qavtest::LoopbackBlock();
    qavtest::WriteFile(dir.File("fleet"), "trap-to = 127.0.0.1:" + std::to_string(trapPort) +
                                               "\nmodel = M-UG2\nobject.20121 = V1.00\nrestart-ms = " +
                                               std::to_string(restartMs) + "\n\n[printers]\nfirst = " + first +
                                               "\ncount = " + std::to_string(printers) + "\nname = Labeller %n\n");
    qavtest::PrinterSim sim;
    if (!sim.Start({"--fleet", dir.File("fleet"), "--port", std::to_string(snmpPort), "--quiet"}, 60000)) {
        std::fprintf(stderr, "load_bench: the simulator did not start:\n%s\n", sim.Log().c_str());
        return 1;
    }
    std::string list;
    std::vector<uint32_t> addresses = sim.Addresses();
    for (uint32_t a : addresses) list += "SNMP " + qavplatform::AddressText(a) + "\n";
    qavtest::WriteFile(dir.File("printers.txt"), list);
    const size_t content = static_cast<size_t>(megabytes) * 1024 * 1024 - nload::kTrailerSize;
    loadertest::WriteBytes(dir.File("main.bin"), loadertest::MakeLoadFile({.version = "V1.05", .contentSize = content}));
    loadertest::WriteBytes(dir.File("main2.bin"),
                           loadertest::MakeLoadFile({.version = "V1.06", .contentSize = content}));

    std::printf("%d MB MAIN file into %zu simulated printers (restart %d ms), qavctl load:\n", megabytes,
                addresses.size(), restartMs);
    const double serial = TimedLoad({dir.File("main.bin"), "--list", dir.File("printers.txt")}, dir.File("serial.log"));
    if (serial < 0) return 1;
    std::printf("  one after another: %.1f s (%.2f s per printer)\n", serial, serial / addresses.size());
    const double wide = TimedLoad({dir.File("main2.bin"), "--list", dir.File("printers.txt"), "--parallel",
                                   std::to_string(parallel)},
                                  dir.File("parallel.log"));
    if (wide < 0) return 1;
    std::printf("  --parallel %d:     %.1f s (%.1f times faster; goal: at least 5)\n", parallel, wide, serial / wide);

    // One printer's data phase through the core.
    qavres::StringTable texts;
    texts.Load("QDLRSENG");
    nload::LiveEnvironment env(texts);
    nload::PrinterInfo printer = nload::NetworkPrinter(qavplatform::AddressText(addresses[0]));
    nload::ReadPrinterInfo(texts, {}, printer);
    const auto file = loadertest::MakeLoadFile({.version = "V1.07", .contentSize = content});
    nload::PreparedFile prepared;
    prepared.info = nload::InfoFromTrailer(nload::ParseTrailer(file.data() + file.size() - nload::kTrailerSize));
    nload::PrepareData(file, nload::kKindMain, prepared.data);
    prepared.startCommand = nload::StartCommand(prepared.info.checksum, prepared.info.sizeKb);
    PhaseClock phases;
    const nload::PrinterResult r = nload::DownloadToPrinter(env, prepared, nload::Timing(), printer, phases);
    if (r.code != 0) {
        std::fprintf(stderr, "load_bench: the single download failed with %d\n", r.code);
        return 1;
    }
    const double s = Seconds(phases.dataStart, phases.dataEnd);
    const double bytesPerMs = prepared.data.size() / (s * 1000.0);
    std::printf("one printer's data phase: %zu bytes in %.3f s = %.0f bytes/ms = %.2f MB/s "
                "(pacing limit 4096 bytes/ms: %.0f%% of it)\n",
                prepared.data.size(), s, bytesPerMs, prepared.data.size() / s / 1e6, 100.0 * bytesPerMs / 4096.0);
    return 0;
}

// The environmental log over a simulated fleet with every section on: the
// time of one report with printers read side by side and one after
// another, with some printers silent, and the cost of trimming the file
// before every line once it has reached its maximum size (20 printers).
//
//   envlog_bench [--printers N] [--silent N] [--concurrency N] [--maximum KB]
#include <arpa/inet.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TestPeers.h"
#include "nlist/Nlist.h"
#include "nwatch/EnvReport.h"
#include "qavres/Resources.h"

namespace {

struct Timed {
    double seconds = 0;
    nwatch::EnvReportResult result;
    long bytes = 0;
};

Timed Report(const nwatch::EnvReportOptions& options, const std::vector<nwatch::EnvPrinter>& printers,
             const qavres::StringTable& language, nwatch::EnvPrinterReader& reader, int concurrency)
{
    nwatch::EnvReportRun run;
    run.concurrency = concurrency;
    const auto start = std::chrono::steady_clock::now();
    Timed t;
    t.result = nwatch::WriteEnvReport(options, printers, language, reader, run);
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    struct stat st {};
    if (::stat(options.fileName.c_str(), &st) == 0) t.bytes = static_cast<long>(st.st_size);
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    int printers = 200, silent = 10, concurrency = 8, maximumKb = 64;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--printers") && i + 1 < argc) printers = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--silent") && i + 1 < argc) silent = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--concurrency") && i + 1 < argc) concurrency = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--maximum") && i + 1 < argc) maximumKb = std::atoi(argv[++i]);
    }
    const int port = qavtest::PrepareAgentPort();
    qavtest::PrinterSim sim;
    if (!sim.Start({"--count", std::to_string(printers), "--first", qavtest::LoopbackBlock(), "--port",
                    std::to_string(port), "--quiet"},
                   60000)) {
        std::fprintf(stderr, "the simulator did not start:\n%s\n", sim.Log().c_str());
        return 1;
    }
    const std::vector<uint32_t> addresses = sim.Addresses();
    const int step = silent > 0 ? std::max(1, printers / silent) : printers + 1;
    int down = 0;
    for (size_t i = 0; i < addresses.size() && down < silent; i += static_cast<size_t>(step), ++down) {
        in_addr a{htonl(addresses[i])};
        sim.Command(std::string("down ") + inet_ntoa(a));
    }
    std::vector<nwatch::EnvPrinter> list;
    for (uint32_t a : addresses) {
        nwatch::EnvPrinter p;
        p.address = a;
        p.included = true;
        p.auxiliaryText = "VORANTA QAV M-UG2";
        list.push_back(p);
    }

    qavres::ObjectTable objects;
    qavres::StringTable language;
    objects.Load();
    language.Load(qavres::kLanguage);
    qavtest::TempDir dir;
    nwatch::EnvReportOptions options;
    options.counterInfo = options.diagnosisInfo = options.printerInfo = options.networkInformation = true;

    std::printf("environmental log over %zu simulated printers, %d of them silent, every printer section on\n",
                list.size(), down);
    for (int workers : {concurrency, 1}) {
        options.fileName = dir.File("env-" + std::to_string(workers) + ".log");
        nwatch::SnmpEnvReader reader(objects, "", "");
        const Timed t = Report(options, list, language, reader, workers);
        std::printf("%d worker%s: %.2f s, %d lines, %ld bytes (%.0f lines/s)\n", workers, workers == 1 ? "" : "s",
                    t.seconds, t.result.lines, t.bytes, t.result.lines / t.seconds);
    }

    // A report of the first 20 printers written into a file already at its
    // maximum: each line trims the file first.
    options.fileName = dir.File("env-capped.log");
    options.maximumBytes = static_cast<long>(maximumKb) * 1024;
    qavtest::WriteFile(options.fileName, std::string(static_cast<size_t>(options.maximumBytes), 'x') + "\n");
    list.resize(std::min<size_t>(list.size(), 20));
    nwatch::SnmpEnvReader reader(objects, "", "");
    const Timed t = Report(options, list, language, reader, concurrency);
    std::printf("%zu printers into a file at its maximum of %d KB: %.2f s, %d lines (%.2f ms a line), "
                "%ld bytes kept\n",
                list.size(), maximumKb, t.seconds, t.result.lines, 1000 * t.seconds / t.result.lines, t.bytes);
    return 0;
}

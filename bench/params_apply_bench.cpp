// qavctl params apply over 200 simulated printers of which 20 do not
// answer: the same configuration-data file applied one printer after
// another (--jobs 1) and 16 at a time (the default), as whole qavctl runs
// in one go, with the lines of both runs compared.
//
//   params_apply_bench [--printers N] [--silent N] [--jobs N]
#include <arpa/inet.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TestPeers.h"

namespace {

std::string Dotted(uint32_t address)
{
    in_addr a{htonl(address)};
    return inet_ntoa(a);
}

struct Timed {
    double seconds = 0;
    std::string output;
};

Timed Run(const std::string& command)
{
    const auto start = std::chrono::steady_clock::now();
    Timed t;
    t.output = qavtest::RunCommand(command);
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return t;
}

int Count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    int printers = 200, silent = 20, jobs = 16;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--printers") && i + 1 < argc) printers = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--silent") && i + 1 < argc) silent = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--jobs") && i + 1 < argc) jobs = std::atoi(argv[++i]);
    }
    qavtest::TempDir data;
    ::setenv("QAV_DATA_DIR", data.Path().c_str(), 1);
    for (const char* f : {"QNASys.ini", "QAVMgmtConfig.INI"})
        qavtest::WriteFile(data.File(f), qavtest::ReadFile(std::string(QAV_SOURCE_DIR "/settings/initial/") + f));
    const int port = qavtest::PrepareAgentPort();
    qavtest::PrinterSim sim;
    if (!sim.Start({"--count", std::to_string(printers), "--first", qavtest::LoopbackBlock(), "--port",
                    std::to_string(port), "--quiet"},
                   60000)) {
        std::fprintf(stderr, "the simulator did not start:\n%s\n", sim.Log().c_str());
        return 1;
    }
    const std::vector<uint32_t> addresses = sim.Addresses();
    std::string list;
    for (uint32_t a : addresses) list += " " + Dotted(a);
    const int step = silent > 0 ? std::max(1, printers / silent) : printers + 1;
    int down = 0;
    for (size_t i = 1; i < addresses.size() && down < silent; i += static_cast<size_t>(step), ++down)
        sim.Command("down " + Dotted(addresses[i]));

    const std::string qavctl = QAV_BINARY_DIR "/bin/qavctl";
    const std::string file = data.File("settings.qcd");
    if (std::system((qavctl + " params export " + Dotted(addresses[0]) + " " + file + " >/dev/null").c_str()) != 0) {
        std::fprintf(stderr, "the export failed\n");
        return 1;
    }
    // A fleet-wide change: another darkness; the names that belong to the
    // exported printer alone are left out.
    std::string qcd = qavtest::ReadFile(file);
    const size_t at = qcd.find("20721.0=");
    qcd.replace(at, qcd.find("\r\n", at) - at, "20721.0=8");
    for (const char* key : {"\r\n201.0=", "\r\n221.0="}) {
        const size_t line = qcd.find(key);
        if (line != std::string::npos) qcd.erase(line, qcd.find("\r\n", line + 2) - line);
    }
    qavtest::WriteFile(file, qcd);

    std::printf("qavctl params apply over %zu simulated printers, %d of them silent\n", addresses.size(), down);
    const Timed one = Run(qavctl + " params apply --jobs 1 " + file + list);
    sim.Command("set all object.20721 5");
    const Timed many = Run(qavctl + " params apply --jobs " + std::to_string(jobs) + " " + file + list);
    std::printf("one after another (--jobs 1): %6.2f s, %d written, %d failed\n", one.seconds,
                Count(one.output, "  written"), Count(one.output, "  failed"));
    std::printf("concurrent (--jobs %d):       %6.2f s, %d written, %d failed\n", jobs, many.seconds,
                Count(many.output, "  written"), Count(many.output, "  failed"));
    std::printf("the two runs' lines are %s\n", one.output == many.output ? "the same" : "DIFFERENT");
    return one.output == many.output ? 0 : 1;
}

// qav-printer-sim: a fleet of simulated network printers on loopback.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Fleet.h"
#include "Models.h"
#include "Simulator.h"
#include "qavplatform/Ports.h"
#include "qavres/Resources.h"

namespace {

qavsim::Simulator* g_sim = nullptr;

void OnSignal(int) { if (g_sim) g_sim->Stop(); }

void Usage(FILE* out)
{
    std::fprintf(out,
                 "usage: qav-printer-sim [--fleet FILE | --count N [--first ADDRESS] | --models ADDRESS]\n"
                 "                       [--port N]\n"
                 "                       [--trap-to ADDRESS[:PORT]] [--control SOCKET] [--seconds N]\n"
                 "                       [--no-stdin] [--quiet]\n"
                 "\n"
                 "Serves simulated printers, each on its own loopback address, over SNMP v1\n"
                 "and v2c (port 161 or $QAV_SNMP_PORT). Without --fleet or --count it serves\n"
                 "the demonstration fleet; --models serves one printer of each known model\n"
                 "from ADDRESS on. Commands (on standard input or the control socket):\n"
                 "  event ADDRESS STATUS [text1=..] [error=N]   set a status and send its trap\n"
                 "  status ADDRESS STATUS | set ADDRESS FIELD VALUE | trap ADDRESS GENERIC SPECIFIC\n"
                 "  down ADDRESS | up ADDRESS | list | stats | quit   (ADDRESS may be all)\n"
                 "  fault ADDRESS KIND | restart-ms ADDRESS MS | ports ADDRESS | downloads ADDRESS\n"
                 "STATUS is a code or a name: online, pause, paper-jam, paper-end, ribbon-end,\n"
                 "head-open, cover-open, cutter-error, pause, ... Traps go to 127.0.0.1 port 162\n"
                 "($QAV_TRAP_PORT) unless --trap-to or the fleet says otherwise.\n");
}

} // namespace

int main(int argc, char** argv)
{
    std::string fleetPath, control, trapTo, first = "127.0.1.1", modelsFirst;
    int port = 0, seconds = 0, count = 0;
    bool readStdin = true, quiet = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "qav-printer-sim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--fleet") fleetPath = next();
        else if (a == "--port") port = std::atoi(next().c_str());
        else if (a == "--seconds") seconds = std::atoi(next().c_str());
        else if (a == "--control") control = next();
        else if (a == "--trap-to") trapTo = next();
        else if (a == "--count") count = std::atoi(next().c_str());
        else if (a == "--models") modelsFirst = next();
        else if (a == "--first") first = next();
        else if (a == "--no-stdin") readStdin = false;
        else if (a == "--quiet") quiet = true;
        else if (a == "-h" || a == "--help") {
            Usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "qav-printer-sim: unknown option %s\n", a.c_str());
            Usage(stderr);
            return 2;
        }
    }
    if (port <= 0) port = qavplatform::SnmpAgentPort();

    qavres::ObjectTable table;
    std::string error;
    if (!table.Load(&error)) {
        std::fprintf(stderr, "qav-printer-sim: the object table cannot be loaded: %s\n", error.c_str());
        return 2;
    }
    const std::string recordings = qavres::ResourceDir() + "/snmprec";
    qavsim::Fleet fleet;
    bool ok;
    if (!fleetPath.empty()) {
        ok = qavsim::LoadFleetFile(fleetPath, recordings, fleet, error);
    } else if (!modelsFirst.empty()) {
        ok = qavsim::ParseFleet(qavsim::ModelsFleetText(modelsFirst), ".", recordings, fleet, error);
    } else if (count > 0) {
        ok = qavsim::ParseFleet("[printers]\nfirst = " + first + "\ncount = " + std::to_string(count) +
                                    "\nname = Labeller %n\nlocation = Hall %n\n",
                                ".", recordings, fleet, error);
    } else {
        ok = qavsim::ParseFleet(qavsim::DemoFleetText(), ".", recordings, fleet, error);
    }
    if (ok && !trapTo.empty()) {
        const size_t colon = trapTo.find(':');
        ok = qavsim::ParseAddress(trapTo.substr(0, colon), fleet.trapAddress) && qavsim::IsLoopback(fleet.trapAddress);
        if (!ok) error = "--trap-to must be a loopback address";
        fleet.trapPort = colon == std::string::npos ? 0 : std::atoi(trapTo.c_str() + colon + 1);
    }
    if (!ok) {
        std::fprintf(stderr, "qav-printer-sim: %s\n", error.c_str());
        return 2;
    }

    qavsim::Simulator sim(table);
    if (!sim.Start(fleet, port, error)) {
        std::fprintf(stderr, "qav-printer-sim: %s\n", error.c_str());
        return 1;
    }
    g_sim = &sim;
    struct sigaction sa{};
    sa.sa_handler = OnSignal;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);

    std::printf("qav-printer-sim: serving %zu printer%s on UDP port %d", sim.PrinterCount(),
                sim.PrinterCount() == 1 ? "" : "s", port);
    if (seconds > 0) std::printf(" for %d s", seconds);
    std::printf("\n");
    if (!quiet) {
        if (sim.PrinterCount() <= 64) {
            std::fputs(sim.Describe().c_str(), stdout);
        } else {
            std::printf("(%zu printers; the command list shows them all)\n", sim.PrinterCount());
        }
    }
    std::printf("ready\n");
    std::fflush(stdout);
    sim.Run(seconds, control, readStdin);
    std::printf("qav-printer-sim: stopped after %lu requests and %lu traps\n", sim.Answered(), sim.TrapsSent());
    return 0;
}

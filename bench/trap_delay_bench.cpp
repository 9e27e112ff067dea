// How long a paper jam of one of the maker's printers waits behind trap
// datagrams from listed printers that never answer SNMP. nwatch runs as a
// process; the simulator serves one maker's printer; `--silent-printers`
// listed addresses answer nothing. Each round sends `--datagrams` trap
// datagrams from the silent addresses (in turn), then the paper jam, and
// times the jam from its sending to its line in the monitor's trace.
// The first round meets the silent printers' maker checks under way; later
// rounds meet them paused (they did not answer).
//
//   trap_delay_bench [--datagrams N] [--silent-printers N] [--rounds N]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "NwatchProcess.h"
#include "TestPeers.h"

int main(int argc, char** argv)
{
    int datagrams = 40, silentPrinters = 1, rounds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--datagrams")) datagrams = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--silent-printers")) silentPrinters = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--rounds")) rounds = std::atoi(argv[i + 1]);
    }
    if (silentPrinters < 1) silentPrinters = 1;
    const std::string enterprise = "1.3.6.1.4.1.32473";
    qavtest::NwatchProcess nwatch;
    qavtest::PrinterSim sim;
    const int trapPort = qavtest::FreeUdpPort();
    const int snmpPort = qavtest::PrepareAgentPort();
    const std::vector<std::string> addresses = qavtest::AddressRun(qavtest::LoopbackBlock(), 1 + silentPrinters);
    const std::string maker = addresses[0];
    if (!sim.Start({"--count", "1", "--first", maker, "--port", std::to_string(snmpPort), "--quiet"})) {
        std::fprintf(stderr, "trap_delay_bench: the simulator did not start:\n%s\n", sim.Log().c_str());
        return 1;
    }
    std::vector<std::pair<std::string, std::string>> listed;
    for (size_t i = 0; i < addresses.size(); ++i) listed.emplace_back(addresses[i], "Printer " + std::to_string(i));
    qavtest::WriteFile(nwatch.DataFile("QAVGroupConfig.qdl"), qavtest::GroupFileText(listed));
    nwatch.Set("QAVLogConfig.INI", "Trap", "ToBeLogged", "1");
    nwatch.Set("QAVLogConfig.INI", "Trap", "Error", "1");
    if (!nwatch.Start(trapPort, snmpPort)) {
        std::fprintf(stderr, "trap_delay_bench: nwatch did not start:\n%s\n", nwatch.Log().c_str());
        return 1;
    }
    const std::string datagram = qavtest::CaptureTrap("-v 1 -c public", enterprise + " 0.0.0.0 6 11 ''");
    if (datagram.empty()) {
        std::fprintf(stderr, "trap_delay_bench: snmptrap sent nothing\n");
        return 1;
    }
    std::printf("trap delay: %d datagrams from %d silent listed printer(s) before each paper jam\n", datagrams,
                silentPrinters);
    const std::string jamLine = "nwatch: channel log " + maker + " 6/11";
    int failures = 0;
    for (int round = 1; round <= rounds; ++round) {
        const size_t before = nwatch.LogLines(jamLine).size();
        for (int i = 0; i < datagrams; ++i)
            qavtest::SendDatagrams(addresses[1 + i % silentPrinters], trapPort, datagram, 1);
        using Clock = std::chrono::steady_clock;
        const auto sent = Clock::now();
        qavtest::SendDatagrams(maker, trapPort, datagram, 1);
        bool seen = false;
        while (!seen && Clock::now() - sent < std::chrono::seconds(120)) {
            seen = nwatch.LogLines(jamLine).size() > before;
            if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
        std::printf("round %d: paper jam handled %s %.1f ms after it was sent\n", round, seen ? "" : "NOT within", ms);
        if (!seen) ++failures;
    }
    nwatch.Stop();
    return failures == 0 ? 0 : 1;
}

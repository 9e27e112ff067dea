// Raw transfer over loopback TCP, in the same run:
//  - a blocking Send of 64 MB into a sink, against a plain write loop on a
//    socket (the most any sender could reach);
//  - the background send, paced at 1 ms per 4 KB chunk;
//  - a GET of the printer's name by printer command on the raw port, against
//    an SNMP GET of the same object, both against the printer simulator.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "TestPeers.h"
#include "ncomm/CQBPEvent.h"
#include "ncomm/CQBPTrans.h"

namespace {

constexpr size_t kBigBlock = 64u << 20;
constexpr size_t kPacedBlock = 8u << 20;

// Takes connections one after another and reads each to its end.
class Sink {
public:
    Sink()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        ::inet_pton(AF_INET, qavtest::LoopbackAddress(31).c_str(), &sa.sin_addr);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        ::listen(listener_, 8);
        socklen_t len = sizeof sa;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&sa), &len);
        port_ = ntohs(sa.sin_port);
        address_ = sa;
        thread_ = std::thread([this] {
            static char buf[1 << 20];
            for (;;) {
                const int c = ::accept(listener_, nullptr, nullptr);
                if (c < 0) return;
                while (::recv(c, buf, sizeof buf, 0) > 0) {
                }
                ::close(c);
            }
        });
    }
    ~Sink()
    {
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        thread_.join();
    }
    std::string Address() const { return qavtest::LoopbackAddress(31) + ":" + std::to_string(port_); }
    int Connect() const
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(s, reinterpret_cast<const sockaddr*>(&address_), sizeof address_);
        return s;
    }

private:
    int listener_ = -1;
    int port_ = 0;
    sockaddr_in address_{};
    std::thread thread_;
};

Sink& TheSink()
{
    static Sink sink;
    return sink;
}

const std::string& Block()
{
    static const std::string block(kBigBlock, 'q');
    return block;
}

void PlainWriteLoop64MB(benchmark::State& state)
{
    const std::string& data = Block();
    for (auto _ : state) {
        const int s = TheSink().Connect();
        size_t done = 0;
        while (done < data.size()) {
            const ssize_t n = ::write(s, data.data() + done, data.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        ::close(s);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(PlainWriteLoop64MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BlockingSend64MB(benchmark::State& state)
{
    const std::string& data = Block();
    for (auto _ : state) {
        int rc;
        CQBPTrans t(rc, 1);
        if (t.Open("TCP/IP", TheSink().Address()) != 0 || t.Send(data.data(), static_cast<int>(data.size()), nullptr) != 0) {
            state.SkipWithError("send failed");
            return;
        }
        t.Close();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BlockingSend64MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BackgroundSendPaced8MB(benchmark::State& state)
{
    const std::string data(kPacedBlock, 'q');
    for (auto _ : state) {
        int rc;
        CQBPTrans t(rc, 1);
        CQBPEvent done;
        if (t.Open("TCP/IP", TheSink().Address()) != 0 || t.Send(data.data(), static_cast<int>(data.size()), &done) != 0 ||
            !done.Wait(60000) || t.GetSendStatus() != 2) {
            state.SkipWithError("background send failed");
            return;
        }
        t.Close();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BackgroundSendPaced8MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

struct Printer {
    qavtest::TempDir dir;
    qavtest::PrinterSim sim;
    std::string address;
    bool ok = false;
    Printer()
    {
        const int port = qavtest::PrepareAgentPort();
        address = qavtest::LoopbackAddress(32);
        qavtest::WriteFile(dir.File("fleet.txt"), "[printer]\naddress = " + address + "\nname = Bench printer\n");
        ok = sim.Start({"--fleet", dir.File("fleet.txt"), "--port", std::to_string(port)});
        if (!ok) std::fprintf(stderr, "the simulator did not start:\n%s\n", sim.Log().c_str());
    }
};

Printer& ThePrinter()
{
    static Printer printer;
    return printer;
}

void GetName(benchmark::State& state, const char* port, const std::string& address)
{
    if (!ThePrinter().ok) {
        state.SkipWithError("no simulator");
        return;
    }
    int rc;
    CQBPTrans t(rc, 1);
    if (t.Open(port, address) != 0) {
        state.SkipWithError("open failed");
        return;
    }
    CQBPVb request, result;
    request.Add("1.3.6.1.2.1.1.5.0", 5, "");
    for (auto _ : state) {
        if (t.GetObject(request, result) != 0 || result.GetType(0) != 4) {
            state.SkipWithError("GET failed");
            return;
        }
    }
}

void PrinterCommandGet(benchmark::State& state) { GetName(state, "TCP/IP", ThePrinter().address + ":9100"); }
BENCHMARK(PrinterCommandGet)->Unit(benchmark::kMicrosecond)->UseRealTime();

void SnmpGet(benchmark::State& state) { GetName(state, "SNMP", ThePrinter().address); }
BENCHMARK(SnmpGet)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

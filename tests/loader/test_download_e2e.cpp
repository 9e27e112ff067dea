// Whole downloads into the printer simulator through the communication
// library: a network printer over TCP/IP with its restart and coldStart
// trap, a serial printer on a pseudo-terminal, a USB printer on a
// pseudo-terminal, a parallel printer on a FIFO; refusals, faults of the
// replies, a printer that does not come back, and several printers at once.
// One simulator serves every case.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>

#include "LoadFiles.h"
#include "TestPeers.h"
#include "ncomm/QBPResult.h"
#include "nload/Information.h"
#include "nload/LiveEnvironment.h"
#include "nload/Procedure.h"
#include "nload/Run.h"
#include "nload/Setup.h"
#include "qavres/Resources.h"

namespace {

using namespace nload;
using Clock = std::chrono::steady_clock;

int TrapPort()
{
    static const int port = 40000 + static_cast<int>(::getpid() % 20000);
    return port;
}

const qavres::StringTable& Texts()
{
    static qavres::StringTable texts;
    if (!texts.IsLoaded()) texts.LoadFile(QAV_SOURCE_DIR "/resources/data/QDLRSENG.txt");
    return texts;
}

// Printer slots on this process's loopback addresses.
enum Slot { kMain = 1, kRefusing = 2, kFaulty = 3, kSlow = 4, kFleetFirst = 10, kFleetCount = 4 };

// Waits short enough for a test and long enough for the simulator: the
// restart takes 500 ms there, and a printer that does not come back is
// given up after 3 s.
Timing TestTiming()
{
    Timing t;
    t.startReplyMs = 2000;
    t.finalBaseMs = 2500;
    t.lptSilenceMs = 300;
    t.serialRestartMs = 800; // the simulator's restart takes 500 ms
    t.afterRestartMs = 200;
    t.restartMs = t.restartNoMarkMs = 3000;
    return t;
}

class Downloads : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new qavtest::TempDir;
        ::setenv("QAV_TRAP_PORT", std::to_string(TrapPort()).c_str(), 1);
        ::setenv("QAV_COM_DEVICE_PREFIX", dir_->File("ttyS").c_str(), 1);
        ::setenv("QAV_LPT_DEVICE_PREFIX", dir_->File("lp").c_str(), 1);
        const int snmpPort = qavtest::PrepareAgentPort();
        std::string fleet = "trap-to = 127.0.0.1:" + std::to_string(TrapPort()) +
                            "\nmodel = M-UG2\nrestart-ms = 500\nobject.20121 = V1.00\n";
        auto printer = [&](int slot, const std::string& name, const std::string& extra) {
            fleet += "\n[printer]\naddress = " + qavtest::LoopbackAddress(slot) + "\nname = " + name + "\n" + extra;
        };
        printer(kMain, "Main", "com = " + dir_->File("ttyS0") + "\nusb = " + dir_->File("usb0") + "\nlpt = " +
                                    dir_->File("lp0") + "\ncapture = " + dir_->File("capture") + "\n");
        printer(kRefusing, "Refusing", "model = M-XX9\n");
        printer(kFaulty, "Faulty", "");
        printer(kSlow, "Slow", "restart-ms = 8000\n");
        for (int i = 0; i < kFleetCount; ++i) printer(kFleetFirst + i, "Fleet " + std::to_string(i), "");
        qavtest::WriteFile(dir_->File("fleet"), fleet);
        sim_ = new qavtest::PrinterSim;
        started_ = sim_->Start({"--fleet", dir_->File("fleet"), "--port", std::to_string(snmpPort)});
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete dir_;
    }
    void SetUp() override { ASSERT_TRUE(started_) << sim_->Log(); }

    // A load file written into the test folder, and its run setup.
    RunSetup Setup(const loadertest::LoadFileRecipe& recipe, std::vector<PrinterInfo> printers)
    {
        const std::string path = dir_->File("file" + std::to_string(++files_) + ".bin");
        file_ = loadertest::MakeLoadFile(recipe);
        loadertest::WriteBytes(path, file_);
        RunSetup s;
        s.filePath = path;
        Trailer t;
        EXPECT_TRUE(ReadTrailer(path, t));
        s.file = InfoFromTrailer(t);
        s.printers = std::move(printers);
        s.timing = TestTiming();
        s.settleMs = 0;
        return s;
    }
    PrinterInfo Network(int slot)
    {
        PrinterInfo p = NetworkPrinter(qavtest::LoopbackAddress(slot));
        EXPECT_EQ(ReadPrinterInfo(Texts(), {}, p), kOk) << p.address;
        return p;
    }
    std::vector<PrinterInfo> RunAll(RunSetup setup, LiveEnvironment& env)
    {
        DownloadRun run(env, Texts(), std::move(setup));
        run.Start();
        EXPECT_TRUE(run.WaitFinished(60000));
        log_ = run.Snapshot().log;
        return run.Printers();
    }
    std::vector<PrinterInfo> RunAll(RunSetup setup)
    {
        LiveEnvironment env(Texts());
        return RunAll(std::move(setup), env);
    }
    // A printer that restarted after a download on a device port (where the
    // tool does not wait for it) is given the time to come back.
    static void LetItRestart() { ::usleep(800 * 1000); }
    // What the main printer's device ports received since the last look.
    std::string Captured()
    {
        const std::string all = qavtest::ReadFile(dir_->File("capture"));
        std::string fresh = all.substr(std::min(captured_, all.size()));
        captured_ = all.size();
        return fresh;
    }
    std::string Expected(bool blocks = false) const
    {
        std::string bytes = "{LP;" + std::string(file_.begin(), file_.end());
        return blocks ? bytes : bytes + "|}";
    }
    static std::string StartBytes(const RunSetup& s)
    {
        const auto c = StartCommand(s.file.checksum, s.file.sizeKb);
        return std::string(c.begin(), c.end());
    }

    static inline qavtest::TempDir* dir_ = nullptr;
    static inline qavtest::PrinterSim* sim_ = nullptr;
    static inline bool started_ = false;
    static inline int files_ = 0;
    std::vector<unsigned char> file_;
    std::string log_;
    size_t captured_ = 0;
};

TEST_F(Downloads, NetworkPrinterRestartsAndReportsTheNewVersion)
{
    PrinterInfo p = Network(kMain);
    EXPECT_EQ(p.name, "Main");
    EXPECT_EQ(p.shortModel, "M-UG2");
    EXPECT_EQ(p.versions[kKindMain], "V1.00");
    const auto began = Clock::now();
    const auto done = RunAll(Setup({.version = "V1.07", .contentSize = 300000}, {p}));
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count();
    ASSERT_EQ(done[0].last.code, kOk) << log_ << sim_->Log();
    EXPECT_EQ(done[0].versions[kKindMain], "V1.07");
    // The coldStart trap ended the wait long before its limit.
    EXPECT_LT(ms, TestTiming().restartMs) << ms;
    PrinterInfo again = Network(kMain);
    EXPECT_EQ(again.versions[kKindMain], "V1.07");
}

TEST_F(Downloads, RefusalsOfChecksumSizeAndModel)
{
    const PrinterInfo main = Network(kMain), other = Network(kRefusing);
    EXPECT_EQ(RunAll(Setup({.version = "V1.08", .wrongChecksum = true}, {main}))[0].last.code, kErrRefusedChecksum);
    EXPECT_EQ(RunAll(Setup({.version = "V1.08", .wrongSize = true}, {main}))[0].last.code, kErrRefusedSize);
    const auto done = RunAll(Setup({.version = "V1.08"}, {other}));
    EXPECT_EQ(done[0].last.code, kErrRefusedModel);
    EXPECT_NE(log_.find(Texts().Get(8094)), std::string::npos) << log_;
}

TEST_F(Downloads, SerialPrinterOnAPseudoTerminal)
{
    Captured();
    RunSetup s = Setup({.kind = "C/G", .version = "V2.01", .contentSize = 20000}, {SerialPrinter(1, 115200, 8, 'N', 1, false)});
    const std::string start = StartBytes(s);
    const auto done = RunAll(std::move(s));
    ASSERT_EQ(done[0].last.code, kOk) << log_;
    EXPECT_EQ(Captured(), start + Expected());
}

TEST_F(Downloads, SerialPrinterInBlocks)
{
    Captured();
    RunSetup s = Setup({.version = "V1.09", .contentSize = 600000}, {SerialPrinter(1, 115200, 8, 'N', 1, true)});
    const std::string start = StartBytes(s);
    const auto done = RunAll(std::move(s));
    ASSERT_EQ(done[0].last.code, kOk) << log_;
    EXPECT_EQ(Captured(), start + Expected(true));
}

TEST_F(Downloads, UsbPrinterOnAPseudoTerminal)
{
    LetItRestart();
    Captured();
    RunSetup s = Setup({.version = "V1.10", .contentSize = 70000}, {UsbPrinter(dir_->File("usb0"))});
    const std::string start = StartBytes(s);
    const auto done = RunAll(std::move(s));
    ASSERT_EQ(done[0].last.code, kOk) << log_;
    EXPECT_EQ(Captured(), start + Expected());
}

TEST_F(Downloads, ParallelPrinterOnAFifoGetsEverythingWithoutReplies)
{
    LetItRestart();
    Captured();
    RunSetup s = Setup({.version = "V1.11", .contentSize = 50000}, {ParallelPrinter(1)});
    const std::string start = StartBytes(s);
    const auto done = RunAll(std::move(s));
    ASSERT_EQ(done[0].last.code, kOk) << log_;
    // The FIFO is read by the printer while the host waits for nothing.
    std::string got;
    for (int i = 0; i < 50 && got.size() < start.size() + Expected().size(); ++i) {
        got += Captured();
        ::usleep(100 * 1000);
    }
    EXPECT_EQ(got, start + Expected());
}

TEST_F(Downloads, NetworkPrinterInBlocks)
{
    PrinterInfo p = Network(kMain);
    p.model = "VORANTA QAV MC111W"; // a model that always takes blocks
    const auto done = RunAll(Setup({.version = "V1.12", .contentSize = 700000}, {p}));
    ASSERT_EQ(done[0].last.code, kOk) << log_;
    EXPECT_EQ(done[0].versions[kKindMain], "V1.12");
}

TEST_F(Downloads, RepliesInPiecesOrAfterNoiseStillCount)
{
    const PrinterInfo p = Network(kFaulty);
    sim_->Command("fault " + p.address + " split on=start ms=300");
    EXPECT_EQ(RunAll(Setup({.version = "V1.13"}, {p}))[0].last.code, kOk) << log_;
    sim_->Command("fault " + p.address + " noise on=end");
    EXPECT_EQ(RunAll(Setup({.version = "V1.14"}, {p}))[0].last.code, kOk) << log_;
    sim_->Command("fault " + p.address + " none");
}

TEST_F(Downloads, GarbageSilenceAndHangupHaveTheirCodes)
{
    const PrinterInfo p = Network(kFaulty);
    sim_->Command("fault " + p.address + " garbage on=start count=1");
    auto done = RunAll(Setup({.version = "V1.15"}, {p}));
    EXPECT_EQ(done[0].last.code, kErrStartTimeout) << log_;
    // Web content, which does not restart the printer (a restart would drop
    // the connection: error 21).
    sim_->Command("fault " + p.address + " silent on=end count=1");
    done = RunAll(Setup({.kind = "HTML", .version = "V1.15"}, {p}));
    EXPECT_EQ(done[0].last.code, kErrReplyTimeout) << log_;
    sim_->Command("fault " + p.address + " hangup on=start count=1");
    done = RunAll(Setup({.version = "V1.15"}, {p}));
    EXPECT_EQ(done[0].last.code, kErrStartReceive) << log_;
    EXPECT_EQ(done[0].last.result, QBP_PEER_CLOSED);
    sim_->Command("fault " + p.address + " none");
}

TEST_F(Downloads, PrinterThatDoesNotComeBackInTimeIsCode23)
{
    // It stays silent for 8 s after the download; the tool gives it 3 s.
    const PrinterInfo p = Network(kSlow);
    const auto done = RunAll(Setup({.version = "V1.16"}, {p}));
    EXPECT_EQ(done[0].last.code, kErrVersionAfterRestart) << log_;
    EXPECT_NE(done[0].last.result, 0);
}

TEST_F(Downloads, SeveralPrintersAtOnceShareOneTrapReceiver)
{
    std::vector<PrinterInfo> fleet;
    for (int i = 0; i < kFleetCount; ++i) fleet.push_back(Network(kFleetFirst + i));
    LiveEnvironment env(Texts());
    ASSERT_TRUE(env.KeepTrapReceiver());
    RunSetup s = Setup({.version = "V3.01", .contentSize = 100000}, fleet);
    s.parallel = kFleetCount;
    const auto began = Clock::now();
    const auto done = RunAll(std::move(s), env);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count();
    for (const PrinterInfo& p : done) EXPECT_EQ(p.last.code, kOk) << p.name << "\n" << log_;
    // Served at once: far less than one after another with their restarts.
    EXPECT_LT(ms, 2 * TestTiming().restartMs) << ms;
    for (int i = 0; i < kFleetCount; ++i) EXPECT_EQ(Network(kFleetFirst + i).versions[kKindMain], "V3.01");
}

} // namespace

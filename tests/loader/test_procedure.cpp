// The download into one printer against a scripted printer on a virtual
// clock: every step, wait and error code of the procedure, to the
// millisecond.
#include <gtest/gtest.h>

#include "FakeEnvironment.h"
#include "LoadFiles.h"
#include "nload/Procedure.h"

namespace {

using namespace nload;
using loadertest::FakeEnvironment;
using loadertest::Frame;
using loadertest::Reaction;
using loadertest::RecordingSink;

PreparedFile Prepare(const std::vector<unsigned char>& file, const std::string& kind = "MAIN")
{
    PreparedFile p;
    Trailer t = ParseTrailer(file.data() + file.size() - kTrailerSize);
    t.kindName = kind;
    p.info = InfoFromTrailer(t);
    EXPECT_TRUE(PrepareData(file, p.info.kind, p.data));
    p.startCommand = StartCommand(p.info.checksum, p.info.sizeKb);
    return p;
}

PreparedFile MainFile(size_t contentSize = 1000) { return Prepare(loadertest::MakeLoadFile({.contentSize = contentSize})); }

PrinterInfo Network(const std::string& version = "V1.00")
{
    PrinterInfo p = NetworkPrinter("10.0.0.5");
    p.name = "Labeller";
    p.model = "VORANTA QAV M-UG2";
    p.shortModel = "M-UG2";
    p.restartMark = true;
    p.versions[kKindMain] = version;
    return p;
}

class Procedure : public ::testing::Test {
protected:
    PrinterResult Run(const PreparedFile& file, PrinterInfo& printer)
    {
        return DownloadToPrinter(env_, file, timing_, printer, sink_);
    }
    // The printer answers the start command with 52 and the data with 56
    // after the given delays, and comes back with the file's version.
    void Cooperative(const PreparedFile& file, int trapAfterMs = 4000)
    {
        env_.state.reactions = {{100, Frame(52)}, {200, Frame(56)}};
        env_.state.trapAfterMs = trapAfterMs;
        env_.state.versionAfterRestart = file.info.version;
    }
    // The file into a second network printer that takes it at once and
    // reports `versionAfterRestart` after it: the code it ends with.
    int CodeOnAnotherPrinter(const PreparedFile& file, const std::string& versionAfterRestart)
    {
        FakeEnvironment env;
        env.state.reactions = {{0, Frame(52)}, {0, Frame(56)}};
        env.state.trapAfterMs = 0;
        env.state.versionAfterRestart = versionAfterRestart;
        PrinterInfo other = Network();
        RecordingSink sink;
        return DownloadToPrinter(env, file, timing_, other, sink).code;
    }
    int64_t At(const std::string& what, int nth = 0)
    {
        const loadertest::Event* e = env_.state.Find(what, nth);
        EXPECT_NE(e, nullptr) << what << " #" << nth;
        return e ? e->at : -1;
    }

    FakeEnvironment env_;
    Timing timing_;
    RecordingSink sink_;
};

TEST_F(Procedure, NetworkPrinterFromStartCommandToVersionCheck)
{
    const PreparedFile file = MainFile();
    PrinterInfo printer = Network();
    Cooperative(file);
    const PrinterResult r = Run(file, printer);
    ASSERT_EQ(r.code, kOk) << r.result;
    EXPECT_EQ(env_.lastOpened, "TCP/IP 10.0.0.5:9100");
    // The start command, then the data whole, "{LP;" ... "|}".
    EXPECT_EQ(env_.state.commands, std::vector<unsigned char>(file.startCommand.begin(), file.startCommand.end()));
    ASSERT_EQ(env_.state.sends.size(), 1u);
    EXPECT_EQ(env_.state.sends[0], file.data);
    EXPECT_EQ(sink_.statuses, (std::vector<int>{5004, 5005, 5008, 5006, 5007}));
    EXPECT_EQ(sink_.sent.back(), static_cast<int>(file.data.size()));
    // The trap came 4000 ms after the watch began; the version is read
    // 2000 ms after it, with the port closed before the wait.
    EXPECT_LT(env_.state.Index("close"), env_.state.Index("watch"));
    EXPECT_EQ(At("read") - At("watch"), 6000);
    EXPECT_EQ(printer.versions[kKindMain], file.info.version);
}

TEST_F(Procedure, ParallelPortGetsThreeSecondsOfSilenceAndNoReplyIsRead)
{
    const PreparedFile file = MainFile();
    PrinterInfo printer = ParallelPrinter(1);
    const PrinterResult r = Run(file, printer);
    ASSERT_EQ(r.code, kOk);
    EXPECT_EQ(env_.lastOpened, "LPT1 ");
    EXPECT_EQ(env_.state.commands.size(), 13u);
    EXPECT_EQ(At("send") - At("command"), 3000);
    EXPECT_EQ(env_.state.Count("receive"), 0);
    EXPECT_EQ(env_.state.Count("watch"), 0);
    EXPECT_EQ(env_.state.Count("read"), 0);
}

TEST_F(Procedure, GaijiSendsNoCommandNoWrapperAndWaitsForNothing)
{
    const auto bytes = loadertest::MakeLoadFile({.kind = "GAIJI", .contentSize = 700});
    const PreparedFile file = Prepare(bytes, "GAIJI");
    PrinterInfo printer = Network();
    const PrinterResult r = Run(file, printer);
    ASSERT_EQ(r.code, kOk);
    EXPECT_TRUE(env_.state.commands.empty());
    ASSERT_EQ(env_.state.sends.size(), 1u);
    EXPECT_EQ(env_.state.sends[0], std::vector<unsigned char>(bytes.begin(), bytes.begin() + 700));
    EXPECT_EQ(env_.state.Count("receive"), 0);
    EXPECT_EQ(env_.state.Count("watch"), 0);
    EXPECT_EQ(env_.state.Count("close"), 1);
}

TEST_F(Procedure, RefusalsEndWithTheirCodes)
{
    const struct {
        int reply;
        bool atStart;
        int code;
    } cases[] = {{6, true, 24}, {50, true, 25}, {51, true, 26}, {6, false, 24}, {51, false, 26}};
    for (const auto& c : cases) {
        FakeEnvironment env;
        env.state.reactions = c.atStart ? std::deque<Reaction>{{0, Frame(c.reply)}}
                                        : std::deque<Reaction>{{0, Frame(52)}, {0, Frame(c.reply)}};
        PrinterInfo printer = Network();
        RecordingSink sink;
        const PrinterResult r = DownloadToPrinter(env, MainFile(), timing_, printer, sink);
        EXPECT_EQ(r.code, c.code) << c.reply;
        EXPECT_EQ(env.state.Count("close"), 1);
        EXPECT_EQ(env.state.sends.size(), c.atStart ? 0u : 1u);
    }
}

TEST_F(Procedure, NoReplyToTheStartCommandIsCode17AfterThirtySeconds)
{
    PrinterInfo printer = Network();
    const PrinterResult r = Run(MainFile(), printer);
    EXPECT_EQ(r.code, kErrStartTimeout);
    EXPECT_EQ(r.result, QBP_RECV_TIMEOUT);
    EXPECT_EQ(env_.state.now - At("command"), 30000);
    EXPECT_TRUE(env_.state.sends.empty());
}

TEST_F(Procedure, FailedReadsAndSendsHaveTheirCodes)
{
    {
        FakeEnvironment env;
        env.state.receiveFailure = QBP_PEER_CLOSED;
        PrinterInfo printer = Network();
        RecordingSink sink;
        const PrinterResult r = DownloadToPrinter(env, MainFile(), timing_, printer, sink);
        EXPECT_EQ(r.code, kErrStartReceive);
        EXPECT_EQ(r.result, QBP_PEER_CLOSED);
    }
    {
        FakeEnvironment env;
        env.state.commandResult = QBP_WRITE_FAILED;
        PrinterInfo printer = Network();
        RecordingSink sink;
        EXPECT_EQ(DownloadToPrinter(env, MainFile(), timing_, printer, sink).code, kErrStartSend);
    }
    {
        FakeEnvironment env;
        env.state.openResult = QBP_CONNECT_FAILED;
        PrinterInfo printer = Network();
        RecordingSink sink;
        const PrinterResult r = DownloadToPrinter(env, MainFile(), timing_, printer, sink);
        EXPECT_EQ(r.code, kErrOpen);
        EXPECT_EQ(r.result, QBP_CONNECT_FAILED);
        EXPECT_EQ(env.state.Count("close"), 1);
    }
    {
        FakeEnvironment env;
        env.state.reactions = {{0, Frame(52)}};
        env.state.sendEndState = QBP_WRITE_FAILED;
        PrinterInfo printer = Network();
        RecordingSink sink;
        const PrinterResult r = DownloadToPrinter(env, MainFile(), timing_, printer, sink);
        EXPECT_EQ(r.code, kErrDataSend);
        EXPECT_EQ(r.result, QBP_WRITE_FAILED);
    }
}

TEST_F(Procedure, FinalWaitOnUsbForThreeMegabytesIs97Seconds)
{
    const PreparedFile file = MainFile(3 * 1024 * 1024 - kTrailerSize);
    PrinterInfo printer = UsbPrinter("/dev/usb/lp0");
    env_.state.readTimeMs = 1000;
    env_.state.reactions = {{0, Frame(52)}};
    const PrinterResult r = Run(file, printer);
    EXPECT_EQ(r.code, kErrReplyTimeout);
    const int64_t sent = At("send") + timing_.pollMs; // the send ends at its first wait step
    EXPECT_EQ(env_.state.now - sent, 97000);
}

TEST_F(Procedure, UsbAndParallelPrintersAreDoneAtTheClose)
{
    const PreparedFile file = MainFile();
    PrinterInfo printer = UsbPrinter("/dev/usb/lp0");
    env_.state.reactions = {{0, Frame(52)}, {0, Frame(56)}};
    ASSERT_EQ(Run(file, printer).code, kOk);
    EXPECT_EQ(env_.lastOpened, "USB /dev/usb/lp0");
    EXPECT_EQ(env_.state.now, At("close"));
    EXPECT_EQ(env_.state.Count("watch"), 0);
}

TEST_F(Procedure, SerialAndRawTcpPrintersGetEighteenSecondsAfterTheClose)
{
    for (PrinterInfo printer : {SerialPrinter(1, 9600, 8, 'N', 1, false), TcpIpPrinter("10.0.0.7", 9100)}) {
        FakeEnvironment env;
        env.state.reactions = {{0, Frame(52)}, {0, Frame(56)}};
        RecordingSink sink;
        ASSERT_EQ(DownloadToPrinter(env, MainFile(), timing_, printer, sink).code, kOk);
        EXPECT_EQ(env.state.now - env.state.Find("close")->at, 18000);
        EXPECT_EQ(env.state.Count("watch"), 0);
        EXPECT_EQ(env.state.Count("read"), 0);
        EXPECT_EQ(sink.statuses.back(), 5006);
    }
}

TEST_F(Procedure, NoiseAndASplitReplyAreStillReplies)
{
    const PreparedFile file = MainFile();
    PrinterInfo printer = Network();
    auto noisy = Frame(52);
    noisy.insert(noisy.begin(), {'x', 0x01, 'y'});
    env_.state.reactions = {{0, noisy}, {0, Frame(56)}};
    env_.state.trapAfterMs = 100;
    env_.state.versionAfterRestart = file.info.version;
    // Reads of 13 bytes take the 16 bytes of the first reply in two pieces.
    ASSERT_EQ(Run(file, printer).code, kOk);
    EXPECT_GE(env_.state.Count("receive"), 3);
}

TEST_F(Procedure, BlockModeSendsQuarterMegabyteBlocksEachAnswered)
{
    const PreparedFile file = MainFile(600000);
    PrinterInfo printer = Network();
    printer.model = "VORANTA QAV MC111W";
    env_.state.reactions = {{0, Frame(52)}, {0, Frame(53)}, {0, Frame(53)}, {0, Frame(56)}};
    env_.state.trapAfterMs = 0;
    env_.state.versionAfterRestart = file.info.version;
    ASSERT_EQ(Run(file, printer).code, kOk);
    const size_t body = file.data.size() - 2; // without the closing "|}"
    ASSERT_EQ(env_.state.sends.size(), 3u);
    EXPECT_EQ(env_.state.sends[0].size(), 4u + 262144u);
    EXPECT_EQ(env_.state.sends[1].size(), 262144u);
    EXPECT_EQ(env_.state.sends[2].size(), body - 4 - 2 * 262144);
    std::vector<unsigned char> joined;
    for (const auto& s : env_.state.sends) joined.insert(joined.end(), s.begin(), s.end());
    EXPECT_EQ(joined, std::vector<unsigned char>(file.data.begin(), file.data.end() - 2));
}

TEST_F(Procedure, BlockWithoutItsAnswerIsCode22AfterTenSeconds)
{
    const PreparedFile file = MainFile(600000);
    PrinterInfo printer = SerialPrinter(1, 115200, 8, 'N', 1, true);
    env_.state.readTimeMs = 1000;
    env_.state.reactions = {{0, Frame(52)}, {0, {}}};
    const PrinterResult r = Run(file, printer);
    EXPECT_EQ(r.code, kErrReplyTimeout);
    EXPECT_EQ(env_.state.sends.size(), 1u);
    EXPECT_EQ(env_.state.now - (At("send") + timing_.pollMs), 10000);
}

TEST_F(Procedure, SendThatStopsMovingFailsWithCode20)
{
    const struct {
        const char* kind;
        int stallMs;
        bool blocks;
    } cases[] = {{"MAIN", 60000, false}, {"GAIJI", 180000, false}, {"MAIN", 10000, true}};
    for (const auto& c : cases) {
        FakeEnvironment env;
        env.state.reactions = {{0, Frame(52)}};
        env.state.bytesPerPoll = 100;
        env.state.stallAfter = 500;
        const PreparedFile file = Prepare(loadertest::MakeLoadFile({.kind = c.kind, .contentSize = 2000}), c.kind);
        PrinterInfo printer = Network();
        if (c.blocks) printer.model = "VORANTA QAV MD111";
        RecordingSink sink;
        const PrinterResult r = DownloadToPrinter(env, file, timing_, printer, sink);
        EXPECT_EQ(r.code, kErrDataStalled) << c.kind;
        // 500 bytes moved in 5 steps of 100 ms; then nothing for the limit.
        EXPECT_EQ(env.state.now - env.state.Find("send")->at, 500 + c.stallMs) << c.kind;
        EXPECT_EQ(sink.sent.back(), 500);
    }
}

TEST_F(Procedure, RestartLimitsByMarkAndModel)
{
    const struct {
        bool mark;
        const char* shortModel;
        int limit;
    } cases[] = {{true, "M-UG2", 28000},      {true, "M-PJ6KZ-P2", 70000}, {true, "M-PJ3KZ-W", 70000},
                 {false, "M-UG2", 18000},     {false, "M-PJ3KZ-P", 60000}, {true, "M-PJ3KZ-X", 28000}};
    for (const auto& c : cases) {
        PrinterInfo p = Network();
        p.restartMark = c.mark;
        p.shortModel = c.shortModel;
        EXPECT_EQ(RestartLimit(timing_, p), c.limit) << c.shortModel;
    }
}

TEST_F(Procedure, PrinterThatNeverComesBackIsCode23)
{
    // No trap within the limit: the whole limit passes, then the version
    // read fails (the printer does not answer).
    const PreparedFile file = MainFile();
    PrinterInfo printer = Network();
    env_.state.reactions = {{0, Frame(52)}, {0, Frame(56)}};
    env_.state.readResult = kErrInfoRead;
    const PrinterResult r = Run(file, printer);
    EXPECT_EQ(r.code, kErrVersionAfterRestart);
    EXPECT_EQ(r.result, QBP_SNMP_TIMEOUT);
    EXPECT_EQ(At("read") - At("watch"), 28000 + 2000);
}

TEST_F(Procedure, WithoutTrapReceptionTheWholeLimitIsSlept)
{
    const PreparedFile file = MainFile();
    PrinterInfo printer = Network();
    printer.restartMark = false;
    Cooperative(file);
    env_.state.trapsAvailable = false;
    ASSERT_EQ(Run(file, printer).code, kOk);
    EXPECT_EQ(At("read") - At("watch"), 18000 + 2000);
}

TEST_F(Procedure, AnotherVersionAfterTheRestartIsCode23)
{
    const PreparedFile file = MainFile();
    PrinterInfo printer = Network();
    Cooperative(file);
    env_.state.versionAfterRestart = "V0.99";
    EXPECT_EQ(Run(file, printer).code, kErrVersionAfterRestart);
}

TEST_F(Procedure, CatalogVersionWithoutRevisionMatchesThePrintersBlank)
{
    // A catalog line writes "V1.2"; the printer reports it as "V1.2 " (its
    // version texts are read as five characters).
    PreparedFile file = MainFile();
    file.info.version = "V1.2";
    TakeVersionDigits(file.info);
    PrinterInfo printer = Network();
    Cooperative(file);
    env_.state.versionAfterRestart = "V1.2 ";
    EXPECT_EQ(Run(file, printer).code, kOk);
    // A different revision is still another version.
    EXPECT_EQ(CodeOnAnotherPrinter(file, "V1.2A"), kErrVersionAfterRestart);
}

TEST_F(Procedure, HtmlIsComparedOnlyWhenThePrinterReportsAnHtmlVersion)
{
    const PreparedFile file = Prepare(loadertest::MakeLoadFile({.kind = "HTML"}), "HTML");
    PrinterInfo printer = Network();
    Cooperative(file);
    env_.state.versionAfterRestart = "";
    EXPECT_EQ(Run(file, printer).code, kOk);
    EXPECT_EQ(CodeOnAnotherPrinter(file, "V9.99"), kErrVersionAfterRestart);
}

TEST_F(Procedure, PrinterLeftOutIsCode40WithoutAnyExchange)
{
    PrinterInfo printer = Network();
    printer.notServed = true;
    EXPECT_EQ(Run(MainFile(), printer).code, kErrNotServed);
    EXPECT_TRUE(env_.state.events.empty());
}

TEST_F(Procedure, StopEndsAtTheNextWaitWithCode30)
{
    std::atomic<bool> stop{true};
    PrinterInfo printer = Network();
    EXPECT_EQ(DownloadToPrinter(env_, MainFile(), timing_, printer, sink_, &stop).code, kErrStopped);
    EXPECT_EQ(env_.state.Count("open"), 0);
}

} // namespace

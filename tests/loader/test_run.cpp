// A whole run against the scripted printer: preparation, the printers one
// after another, the progress, the log lines and the results.
#include <gtest/gtest.h>

#include "FakeEnvironment.h"
#include "LoadFiles.h"
#include "TestPeers.h"
#include "nload/Run.h"
#include "qavres/Resources.h"

namespace {

using namespace nload;
using loadertest::FakeEnvironment;
using loadertest::Frame;

const qavres::StringTable& Texts()
{
    static qavres::StringTable texts;
    if (!texts.IsLoaded()) texts.LoadFile(QAV_SOURCE_DIR "/resources/data/QDLRSENG.txt");
    return texts;
}

class Run : public ::testing::Test {
protected:
    RunSetup Setup(const loadertest::LoadFileRecipe& recipe, std::vector<PrinterInfo> printers)
    {
        const auto bytes = loadertest::MakeLoadFile(recipe);
        loadertest::WriteBytes(dir_.File("file.bin"), bytes);
        fileSize_ = bytes.size();
        RunSetup s;
        s.filePath = dir_.File("file.bin");
        Trailer t;
        EXPECT_TRUE(ReadTrailer(s.filePath, t));
        s.file = InfoFromTrailer(t);
        s.printers = std::move(printers);
        return s;
    }
    static PrinterInfo Usb(const std::string& path, const std::string& name)
    {
        PrinterInfo p = UsbPrinter(path);
        p.name = name;
        return p;
    }
    RunSnapshot RunToEnd(DownloadRun& run)
    {
        run.Start();
        EXPECT_TRUE(run.WaitFinished(10000));
        return run.Snapshot();
    }

    qavtest::TempDir dir_;
    size_t fileSize_ = 0;
    FakeEnvironment env_;
};

TEST_F(Run, PrintersOneAfterAnotherWithLogAndResults)
{
    env_.state.reactions = {{0, Frame(52)}, {0, Frame(56)}, {0, Frame(52)}, {0, Frame(51)}};
    DownloadRun run(env_, Texts(), Setup({}, {Usb("/dev/usb/lp0", "First"), Usb("/dev/usb/lp1", "Second")}));
    const RunSnapshot s = RunToEnd(run);
    ASSERT_TRUE(s.finished);
    const int length = static_cast<int>(fileSize_ + 6);
    EXPECT_EQ(s.dataLength, length);
    EXPECT_EQ(s.totalRange, 2LL * length);
    EXPECT_EQ(s.totalDone, 2LL * length);
    EXPECT_EQ(s.TotalPercent(), 100);
    EXPECT_EQ(s.printers[0].sent, length);
    EXPECT_EQ(s.printers[0].statusText, 5009);
    EXPECT_EQ(s.printers[1].result.code, kErrRefusedModel);

    const std::string expected = Texts().Get(8061) + " \"Second\" " + Texts().Get(8094) + "\n" + "First" +
                                 Texts().Get(5003) + "\n" + "Second: " + Texts().Get(8094) + "\n" + Texts().Get(8062) +
                                 "\n";
    EXPECT_EQ(s.log, expected);
    const auto printers = run.Printers();
    EXPECT_EQ(printers[0].last.status, Texts().Get(5009));
    EXPECT_EQ(printers[1].last.status, Texts().Get(8094));
    EXPECT_FALSE(run.AllSucceeded());
    EXPECT_FALSE(s.startTime.empty());
    EXPECT_FALSE(s.endTime.empty());
}

TEST_F(Run, EveryPrinterSucceededClosesWith8060)
{
    env_.state.reactions = {{0, Frame(52)}, {0, Frame(56)}};
    DownloadRun run(env_, Texts(), Setup({}, {Usb("/dev/usb/lp0", "Only")}));
    const RunSnapshot s = RunToEnd(run);
    EXPECT_EQ(s.log, "Only" + Texts().Get(5003) + "\n" + Texts().Get(8060) + "\n");
    EXPECT_TRUE(run.AllSucceeded());
    const ReportData report = run.Report();
    EXPECT_EQ(report.fileName, dir_.File("file.bin"));
    EXPECT_EQ(report.printers.size(), 1u);
    EXPECT_EQ(report.log, s.log);
}

TEST_F(Run, FileTooShortForItsHeaderFailsEveryPrinterWithCode2)
{
    DownloadRun run(env_, Texts(), Setup({.contentSize = 10, .head = "BAR"}, {Usb("/dev/usb/lp0", "A"), Usb("/dev/usb/lp1", "B")}));
    const RunSnapshot s = RunToEnd(run);
    EXPECT_EQ(env_.state.Count("open"), 0);
    for (const PrinterProgress& p : s.printers) EXPECT_EQ(p.result.code, kErrFileTooShort);
    EXPECT_NE(s.log.find(Texts().Get(8071)), std::string::npos) << s.log;
    EXPECT_NE(s.log.find("B: Error 2"), std::string::npos) << s.log;
}

TEST_F(Run, FileThatCannotBeFetchedStopsTheRun)
{
    RunSetup setup = Setup({}, {Usb("/dev/usb/lp0", "A")});
    setup.filePath = "MAIN/none.bin";
    setup.ftp = FtpServer{qavtest::LoopbackAddress(250) + ":1", "user", "secret", 5};
    DownloadRun run(env_, Texts(), std::move(setup));
    const RunSnapshot s = RunToEnd(run);
    EXPECT_EQ(s.log.rfind(Texts().Get(5001), 0), 0u) << s.log;
    EXPECT_NE(s.log.find("MAIN/none.bin"), std::string::npos) << s.log;
    EXPECT_EQ(s.log.find("secret"), std::string::npos) << "the password never shows";
    EXPECT_NE(s.log.find(Texts().Get(8071)), std::string::npos);
    EXPECT_EQ(s.printers[0].result.code, kErrFileRead);
    EXPECT_EQ(env_.state.Count("open"), 0);
}

TEST_F(Run, StoppedRunEndsEveryPrinterWithCode30)
{
    env_.state.reactions = {{0, Frame(52)}};
    env_.state.bytesPerPoll = 1; // a send that takes its time
    DownloadRun run(env_, Texts(), Setup({}, {Usb("/dev/usb/lp0", "A"), Usb("/dev/usb/lp1", "B")}));
    run.Stop();
    const RunSnapshot s = RunToEnd(run);
    EXPECT_EQ(s.printers[0].result.code, kErrStopped);
    EXPECT_EQ(s.printers[1].result.code, kErrStopped);
    EXPECT_NE(s.log.find(Texts().Get(8071)), std::string::npos);
}

// Asks the run to stop once the first printer's download has begun.
class StopDuringFirst : public FakeEnvironment {
public:
    DownloadRun* run = nullptr;
    std::unique_ptr<Port> MakePort() override
    {
        if (run) run->StopBeforeNext();
        return FakeEnvironment::MakePort();
    }
};

TEST_F(Run, StopBeforeNextFinishesThePrinterBeingServedAndLeavesOutTheRest)
{
    StopDuringFirst env;
    env.state.reactions = {{0, Frame(52)}, {0, Frame(56)}, {0, Frame(52)}, {0, Frame(56)}};
    DownloadRun run(env, Texts(), Setup({}, {Usb("/dev/usb/lp0", "A"), Usb("/dev/usb/lp1", "B")}));
    env.run = &run;
    const RunSnapshot s = RunToEnd(run);
    EXPECT_EQ(s.printers[0].result.code, kOk);
    EXPECT_EQ(s.printers[1].result.code, kErrStopped);
    EXPECT_EQ(env.state.Count("open"), 1); // the second printer was never opened
    EXPECT_NE(s.log.find("B: " + Texts().Get(8090).substr(0, 10)), std::string::npos) << s.log;
    EXPECT_NE(s.log.find(Texts().Get(8071) + "\n" + Texts().Get(8062) + "\n"), std::string::npos) << s.log;
    EXPECT_FALSE(run.AllSucceeded());
}

TEST_F(Run, StopDuringTheLastPrinterLeavesNothingOutAndSaysNothingOfAStop)
{
    StopDuringFirst env;
    env.state.reactions = {{0, Frame(52)}, {0, Frame(56)}};
    DownloadRun run(env, Texts(), Setup({}, {Usb("/dev/usb/lp0", "A")}));
    env.run = &run;
    const RunSnapshot s = RunToEnd(run);
    EXPECT_EQ(s.printers[0].result.code, kOk);
    EXPECT_TRUE(run.AllSucceeded());
    EXPECT_EQ(s.log.find(Texts().Get(8071)), std::string::npos) << s.log;
    EXPECT_NE(s.log.find(Texts().Get(8060)), std::string::npos) << s.log;
}

} // namespace

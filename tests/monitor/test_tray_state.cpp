// nwatch as a process over two simulated printers: the fleet's state the
// tray shows follows polling (a pause, a printer switched off and on again)
// and traps (a paper jam, and the printer online again), as the monitor's
// trace reports it. And the first run: without a data folder the monitor
// names the folder and the step that makes it, and with a display waits in
// its message until it is closed or the session ends.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "NwatchProcess.h"
#include "TestPeers.h"

namespace {

using namespace qavtest;
namespace fs = std::filesystem;

class TrayState : public ::testing::Test {
protected:
    void SetUp() override
    {
        trapPort = FreeUdpPort();
        snmpPort = PrepareAgentPort();
        first = LoopbackAddress(91);
        second = LoopbackAddress(92);
        WriteFile(dir.File("fleet"), "[printer]\naddress = " + first + "\nmodel = QAV M-UG2\nname = Line 1\n"
                                     "[printer]\naddress = " + second + "\nmodel = QAV M-UG2\nname = Line 2\n");
        ASSERT_TRUE(sim.Start({"--fleet", dir.File("fleet"), "--port", std::to_string(snmpPort), "--trap-to",
                               "127.0.0.1:" + std::to_string(trapPort)}))
            << sim.Log();
        WriteFile(nwatch.DataFile("QAVGroupConfig.qdl"),
                  "[Groups]\ncount=2\n[Group.0]\nname=All printers\nprinters=2\nprtindex.0=" + first +
                      "\nprtindex.1=" + second + "\n[Group.1]\nname=QAV printers\nprinters=0\n"
                      "[Printers]\ncount=2\n[Printer.0]\nip=" + first + "\nname=Line 1\nIsBCP=1\n"
                      "[Printer.1]\nip=" + second + "\nname=Line 2\nIsBCP=1\n");
    }
    void Polling(int seconds)
    {
        nwatch.Set("QAVSurveyConfig.INI", "Polling", "Polling", seconds > 0 ? "1" : "0");
        nwatch.Set("QAVSurveyConfig.INI", "Polling", "TaskDuration", std::to_string(seconds));
    }
    // Waits for the trace line of the fleet's next state.
    bool Next(const std::string& line, int timeoutMs = 10000)
    {
        ++seen;
        if (!nwatch.WaitForLines("nwatch: fleet ", seen, timeoutMs)) return false;
        const std::vector<std::string> lines = nwatch.LogLines("nwatch: fleet ");
        return lines.size() == seen && lines.back() == "nwatch: fleet " + line;
    }
    std::string Command(const std::string& line)
    {
        const std::string answer = sim.Command(line);
        EXPECT_EQ(answer.find("error"), std::string::npos) << line << ": " << answer;
        return answer;
    }
    void TearDown() override
    {
        nwatch.Stop();
        if (HasFailure()) std::fprintf(stderr, "--- nwatch\n%s\n--- sim\n%s\n", nwatch.Log().c_str(), sim.Log().c_str());
    }

    TempDir dir;
    PrinterSim sim;
    NwatchProcess nwatch;
    std::string first, second;
    int trapPort = 0, snmpPort = 0;
    size_t seen = 0;
};

TEST_F(TrayState, FollowsPolling)
{
    Polling(1);
    ASSERT_TRUE(nwatch.Start(trapPort, snmpPort)) << nwatch.Log();
    ASSERT_TRUE(Next("not known: 2 printers (not known yet 2)")) << nwatch.Log();
    ASSERT_TRUE(Next("well: 2 printers (well 2)")) << nwatch.Log();
    Command("status " + first + " pause"); // no trap: polling finds it
    ASSERT_TRUE(Next("warning: 2 printers (well 1, warning 1)")) << nwatch.Log();
    Command("down " + second);
    ASSERT_TRUE(Next("not answering: 2 printers (warning 1, not answering 1)", 15000)) << nwatch.Log();
    Command("up " + second);
    ASSERT_TRUE(Next("warning: 2 printers (well 1, warning 1)", 15000)) << nwatch.Log();
    Command("status " + first + " online");
    ASSERT_TRUE(Next("well: 2 printers (well 2)")) << nwatch.Log();
}

TEST_F(TrayState, FollowsTraps)
{
    Polling(0); // only the traps tell
    ASSERT_TRUE(nwatch.Start(trapPort, snmpPort)) << nwatch.Log();
    ASSERT_TRUE(Next("not known: 2 printers (not known yet 2)")) << nwatch.Log();
    Command("event " + first + " paper-jam");
    ASSERT_TRUE(Next("error: 2 printers (error 1, not known yet 1)")) << nwatch.Log();
    Command("event " + first + " online");
    ASSERT_TRUE(Next("well: 2 printers (well 1, not known yet 1)")) << nwatch.Log();
    Command("event " + second + " cover-open");
    ASSERT_TRUE(Next("warning: 2 printers (well 1, warning 1)")) << nwatch.Log();
}

// ------------------------------------------------------------ first run

// A display of the test's own, for the message box.
class Display {
public:
    Display()
    {
        if (!HaveProgram("Xvfb")) return;
        for (int n = 200 + ::getpid() % 500, tries = 0; tries < 20; ++n, ++tries) {
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
            if (fs::exists(socket) || fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) continue;
            server_.Start({"Xvfb", ":" + std::to_string(n), "-screen", "0", "800x600x24", "-nolisten", "tcp"},
                          dir_.File("xvfb.log"));
            for (int i = 0; i < 100 && !fs::exists(socket); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (fs::exists(socket)) {
                name_ = ":" + std::to_string(n);
                return;
            }
            server_.Stop();
        }
    }
    const std::string& Name() const { return name_; }

private:
    TempDir dir_;
    ChildProcess server_;
    std::string name_;
};

class FirstRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The monitor's program folder has the installation step beside it,
        // as an installation and the build tree have.
        fs::copy_file(QAV_BINARY_DIR "/bin/qav-install-data", nwatch.ProgramFolder() + "/qav-install-data");
        folder = home.File("fresh/QAVNetworkTool");
        step = nwatch.ProgramFolder() + "/qav-install-data";
    }
    std::string Message() const { return "The data folder " + folder + " does not exist."; }

    NwatchProcess nwatch;
    TempDir home;
    std::string folder, step;
};

TEST_F(FirstRun, WithoutADisplayTheMessageGoesToStandardError)
{
    const int rc = nwatch.RunToEnd({{"QAV_DATA_DIR", folder}}, 15000);
    EXPECT_EQ(rc, 2) << nwatch.Log();
    const std::string log = nwatch.Log();
    EXPECT_NE(log.find("nwatch: " + Message()), std::string::npos) << log;
    EXPECT_NE(log.find("Create it with QAV_DATA_DIR=" + folder + " " + step + " (as the user"), std::string::npos)
        << log;
    EXPECT_EQ(log.find("nwatch: monitoring"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(folder)) << "the monitor never makes the folder itself";

    // The step it names makes the folder, and the monitor starts.
    RunCommand("QAV_DATA_DIR='" + folder + "' '" + step + "'");
    ASSERT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(fs::exists(folder + "/QAVGroupConfig.qdl"));
    EXPECT_EQ(nwatch.RunToEnd({{"QAV_DATA_DIR", folder}, {"QAV_TRAP_PORT", std::to_string(FreeUdpPort())}}, 4000), -1)
        << "still monitoring:\n"
        << nwatch.Log();
    EXPECT_NE(nwatch.Log().find("nwatch: monitoring 0 printers"), std::string::npos) << nwatch.Log();
}

TEST_F(FirstRun, TheMessageShowsUntilTheSessionEnds)
{
    Display display;
    if (display.Name().empty()) GTEST_SKIP() << "no Xvfb here";
    ASSERT_TRUE(nwatch.Begin({{"QAV_DATA_DIR", folder}, {"DISPLAY", display.Name()}}));
    ASSERT_TRUE(nwatch.WaitForLines("nwatch: " + Message(), 1, 15000)) << nwatch.Log();
    // The message box waits for its reader.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_TRUE(nwatch.Running()) << nwatch.Log();
    const auto stopAt = std::chrono::steady_clock::now();
    ASSERT_GT(nwatch.Pid(), 0);
    ::kill(nwatch.Pid(), SIGTERM);
    EXPECT_EQ(nwatch.Wait(8000), 2) << nwatch.Log();
    EXPECT_LT(std::chrono::steady_clock::now() - stopAt, std::chrono::seconds(5));
    EXPECT_FALSE(fs::exists(folder));
}

} // namespace

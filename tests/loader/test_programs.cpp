// nload and qavctl load as processes: the start by the list window's list
// file, an invalid command line, a second start that brings the first
// forward over the session bus (the binary runs under dbus-run-session),
// and qavctl downloading into simulated printers, several at once, with its
// checks, result lines, JSON and report.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <thread>

#include "FtpPeer.h"
#include "LoadFiles.h"
#include "TestPeers.h"
#include "nload/Trailer.h"
#include "qavplatform/ProgramStart.h"
#include "qavres/Resources.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kBin = QAV_BINARY_DIR "/bin";

int TrapPort()
{
    static const int port = 40000 + static_cast<int>((::getpid() + 7919) % 20000);
    return port;
}

const qavres::StringTable& Texts()
{
    static qavres::StringTable texts;
    if (!texts.IsLoaded()) texts.LoadFile(QAV_SOURCE_DIR "/resources/data/QDLRSENG.txt");
    return texts;
}

bool WaitFor(const std::function<bool()>& done, int ms)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

enum Slot { kFirst = 1, kCount = 4, kOld = 9 };

class Programs : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new qavtest::TempDir;
        ::setenv("QAV_TRAP_PORT", std::to_string(TrapPort()).c_str(), 1);
        const int snmpPort = qavtest::PrepareAgentPort();
        std::string fleet = "trap-to = 127.0.0.1:" + std::to_string(TrapPort()) +
                            "\nmodel = M-UG2\nrestart-ms = 300\nobject.20121 = V1.00\nobject.20201 = 0020\n";
        for (int i = 0; i < kCount; ++i)
            fleet += "\n[printer]\naddress = " + qavtest::LoopbackAddress(kFirst + i) + "\nname = Labeller " +
                     std::to_string(i + 1) + "\n";
        fleet += "\n[printer]\naddress = " + qavtest::LoopbackAddress(kOld) + "\nname = Newer\nobject.20121 = V9.00\n";
        qavtest::WriteFile(dir_->File("fleet"), fleet);
        sim_ = new qavtest::PrinterSim;
        started_ = sim_->Start({"--fleet", dir_->File("fleet"), "--port", std::to_string(snmpPort)});
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete dir_;
    }
    void SetUp() override
    {
        ASSERT_TRUE(started_) << sim_->Log();
        ::mkdir(data_.File("run").c_str(), 0700);
    }
    std::map<std::string, std::string> Env() const
    {
        return {{"QAV_DATA_DIR", data_.Path()},
                {"XDG_RUNTIME_DIR", data_.File("run")},
                {"QT_QPA_PLATFORM", "offscreen"},
                {"QAV_TRACE", "1"}};
    }
    std::string File(const loadertest::LoadFileRecipe& recipe, const std::string& name = "file.bin")
    {
        loadertest::WriteBytes(data_.File(name), loadertest::MakeLoadFile(recipe));
        return data_.File(name);
    }
    // Runs qavctl to its end; its exit status, with stdout and stderr in `out`.
    int Qavctl(const std::vector<std::string>& args, std::string& out, int timeoutMs = 60000)
    {
        qavtest::ChildProcess p;
        std::vector<std::string> argv = {kBin + "/qavctl", "load"};
        argv.insert(argv.end(), args.begin(), args.end());
        const std::string log = data_.File("qavctl.log");
        if (!p.Start(argv, log, Env())) return -1;
        const int status = p.Wait(timeoutMs);
        out = p.Log();
        return status;
    }
    static std::string Address(int slot) { return qavtest::LoopbackAddress(slot); }

    static inline qavtest::TempDir* dir_ = nullptr;
    static inline qavtest::PrinterSim* sim_ = nullptr;
    static inline bool started_ = false;
    qavtest::TempDir data_;
};

// ------------------------------------------------------------------ nload

TEST_F(Programs, ListWindowStartReadsTheListFileAsTheTargets)
{
    // The list window starts "NLOAD.EXE" from the suite's folder with the
    // path of its list file.
    EXPECT_EQ(qavplatform::FindProgramIn(kBin, "NLOAD.EXE"), kBin + "/nload");
    qavtest::WriteFile(data_.File("temp.txt"), "SNMP " + Address(kFirst) + "\nSNMP " + Address(kFirst + 1) + "\n");
    qavtest::ChildProcess nload;
    ASSERT_TRUE(nload.Start({kBin + "/nload", data_.File("temp.txt")}, data_.File("nload.log"), Env()));
    ASSERT_TRUE(WaitFor([&] { return nload.Log().find("nload: ready") != std::string::npos; }, 20000)) << nload.Log();
    EXPECT_NE(nload.Log().find("nload: printers: SNMP " + Address(kFirst) + " \"Labeller 1\", SNMP " +
                               Address(kFirst + 1) + " \"Labeller 2\"\n"),
              std::string::npos)
        << nload.Log();
}

TEST_F(Programs, InvalidCommandLineEndsWithMessage6000)
{
    qavtest::ChildProcess nload;
    ASSERT_TRUE(nload.Start({kBin + "/nload", "LPT1", "x"}, data_.File("nload.log"), Env()));
    EXPECT_EQ(nload.Wait(20000), 1);
    EXPECT_NE(nload.Log().find(Texts().Get(6000)), std::string::npos) << nload.Log();
}

TEST_F(Programs, SecondStartBringsTheFirstForwardAndEnds)
{
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "run under dbus-run-session";
    qavtest::ChildProcess first, second;
    ASSERT_TRUE(first.Start({kBin + "/nload", "LPT1"}, data_.File("first.log"), Env()));
    ASSERT_TRUE(WaitFor([&] { return first.Log().find("nload: ready") != std::string::npos; }, 20000)) << first.Log();
    ASSERT_TRUE(second.Start({kBin + "/nload", "SNMP", Address(kFirst)}, data_.File("second.log"), Env()));
    EXPECT_EQ(second.Wait(15000), 0) << second.Log();
    EXPECT_NE(second.Log().find("brought it forward"), std::string::npos) << second.Log();
    EXPECT_TRUE(WaitFor([&] { return first.Log().find("nload: brought forward") != std::string::npos; }, 5000))
        << first.Log();
    EXPECT_TRUE(first.Running());
}

// ---------------------------------------------------------- qavctl load

TEST_F(Programs, QavctlLoadsManyPrintersAtOnceWithReportAndJson)
{
    const std::string file = File({.version = "V1.05", .contentSize = 200000});
    std::vector<std::string> args = {file};
    for (int i = 0; i < kCount; ++i) args.push_back(Address(kFirst + i));
    args.insert(args.end(), {"--parallel", "4", "--json", "--report", data_.File("report.txt")});
    std::string out;
    ASSERT_EQ(Qavctl(args, out), 0) << out;
    EXPECT_NE(out.find("\"ok\": true"), std::string::npos) << out;
    for (int i = 0; i < kCount; ++i)
        EXPECT_NE(out.find("\"address\": \"" + Address(kFirst + i) + "\", \"name\": \"Labeller " + std::to_string(i + 1) +
                           "\", \"code\": 0"),
                  std::string::npos)
            << out;
    const std::string report = qavtest::ReadFile(data_.File("report.txt"));
    EXPECT_EQ(report.rfind(Texts().Get(8000) + "\r\n", 0), 0u) << report;
    EXPECT_NE(report.find("SNMP  " + Address(kFirst + 3) + "\r\nLabeller 4" + Texts().Get(5003) + "\r\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find(Texts().Get(8060) + "\r\n"), std::string::npos);
}

TEST_F(Programs, QavctlRefusesOlderFilesWithoutDowngradeAndUnfitBootPrograms)
{
    const std::string file = File({.version = "V1.10"});
    std::string out;
    EXPECT_EQ(Qavctl({file, Address(kOld)}, out), 1);
    EXPECT_NE(out.find(Texts().Get(5010)), std::string::npos) << out;
    EXPECT_NE(out.find("\"Newer\""), std::string::npos) << out;
    EXPECT_NE(sim_->Command("downloads " + Address(kOld)).find(" downloads 0,"), std::string::npos)
        << "nothing was sent";

    const std::string boot = File({.kind = "BOOT", .version = "V1.10", .boot = "0021BOOT"}, "boot.bin");
    EXPECT_EQ(Qavctl({boot, Address(kFirst)}, out), 1);
    EXPECT_NE(out.find(Texts().Get(5012)), std::string::npos) << out;
}

TEST_F(Programs, QavctlDowngradeAndAFailingPrinterGiveExitStatusOne)
{
    const std::string file = File({.version = "V1.10", .wrongSize = true});
    std::string out;
    EXPECT_EQ(Qavctl({file, Address(kOld), "--downgrade"}, out), 1);
    EXPECT_NE(out.find(Texts().Get(8093)), std::string::npos) << out; // the printer refused the size
    EXPECT_EQ(Qavctl({file, "10.0.0.1:x"}, out), 2) << out;           // not a printer
}

TEST_F(Programs, QavctlTakesTheFileFromTheFtpCatalogWithThePasswordFromAFile)
{
    qavtest::TempDir root;
    qavtest::RunCommand("mkdir -p '" + root.File("ROM_FILE/MAIN") + "'");
    const auto bytes = loadertest::MakeLoadFile({.version = "V1.20", .contentSize = 50000});
    loadertest::WriteBytes(root.File("ROM_FILE/MAIN/MUG2V120.BIN"), bytes);
    const nload::Trailer t = nload::ParseTrailer(bytes.data() + bytes.size() - nload::kTrailerSize);
    char line[160];
    std::snprintf(line, sizeof line, "MUG2V120.BIN,MAIN,MAIN,M-UG2,V1.20,,,%u,%08X,\r\n", t.sizeKb, t.checksum);
    qavtest::WriteFile(root.File("ROM_FILE/CATALOG.TXT"), line);
    loadertest::FtpPeer peer;
    ASSERT_TRUE(peer.Start(qavtest::LoopbackAddress(42), root.Path())) << peer.Log();
    qavtest::WriteFile(data_.File("ftp-password"), std::string(loadertest::FtpPeer::kPassword) + "\n");
    std::string out;
    ASSERT_EQ(Qavctl({"MUG2V120.BIN", Address(kFirst + 1), "--ftp", peer.Server().host, "--ftp-user",
                      loadertest::FtpPeer::kUser, "--ftp-password-file", data_.File("ftp-password")},
                     out),
              0)
        << out;
    EXPECT_NE(out.find("Labeller 2" + Texts().Get(5003)), std::string::npos) << out;
    EXPECT_NE(sim_->Command("downloads " + Address(kFirst + 1)).find("last MAIN V1.20"), std::string::npos);
}

} // namespace

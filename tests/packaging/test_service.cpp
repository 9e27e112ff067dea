// The monitor as a systemd service, on an installation of the build tree in
// a folder of the test's own: the installed units pass systemd's own check,
// and nwatch started exactly as the user unit says (its ExecStartPre, then
// its ExecStart, with the unit's environment and what a user manager on a
// server adds: no display, no session bus) polls the simulator's sample
// fleet, logs a printer's trap, mails it and ends in order on SIGTERM.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

#include "Installation.h"
#include "MailPeer.h"
#include "NwatchProcess.h"
#include "TestPeers.h"
#include "qavres/Resources.h"

namespace {

using namespace qavtest;
namespace fs = std::filesystem;

class Service : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        prefix_ = new TempDir;
        installed_ = InstallInto(prefix_->Path(), installLog_);
    }
    static void TearDownTestSuite()
    {
        delete prefix_;
        prefix_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(installed_) << "cmake --install failed:\n" << installLog_; }

    static std::string Installed(const std::string& path) { return prefix_->Path() + "/" + path; }
    static std::string ProgramFolder() { return Installed("lib/qav/bin"); }
    static std::string UserUnit() { return Installed("lib/systemd/user/qav-nwatch.service"); }
    static std::string SystemUnit() { return Installed("share/doc/qav-network-tool/examples/system/qav-nwatch.service"); }

    // The environment systemd gives the user unit's commands on a server,
    // with the ports moved for the test.
    std::map<std::string, std::string> UnitEnvironment(const UnitFile& unit, int trapPort, int snmpPort)
    {
        std::map<std::string, std::string> env = ServerSessionEnvironment(home.Path(), home.File("run"));
        for (const auto& [key, value] : unit.Environment()) env[key] = value;
        env["QAV_TRAP_PORT"] = std::to_string(trapPort);
        env["QAV_SNMP_PORT"] = std::to_string(snmpPort);
        return env;
    }

    // Runs the unit's ExecStartPre as systemd would before the start.
    void PrepareDataFolder(const UnitFile& unit, const std::map<std::string, std::string>& env)
    {
        CleanProcess pre;
        ASSERT_EQ(pre.RunToEnd(unit.Command("ExecStartPre"), env, work.File("pre.log"), 30000), 0) << pre.Log();
        ASSERT_TRUE(fs::is_regular_file(DefaultDataFolder(home.Path()) + "/QAVSurveyConfig.INI")) << pre.Log();
    }

    static inline TempDir* prefix_ = nullptr;
    static inline bool installed_ = false;
    static inline std::string installLog_;
    TempDir home;
    TempDir work;
};

int AnsweredRequests(PrinterSim& sim)
{
    std::smatch m;
    const std::string stats = sim.Command("stats");
    return std::regex_search(stats, m, std::regex(R"((\d+) requests answered)")) ? std::stoi(m[1]) : -1;
}

std::string TrapLogLine(const std::string& path, const std::string& needle, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::string log = ReadFile(path);
        const size_t at = log.find(needle);
        if (at != std::string::npos) {
            const size_t begin = log.rfind('\n', at);
            return log.substr(begin == std::string::npos ? 0 : begin + 1, log.find('\n', at) - (begin + 1));
        }
        if (std::chrono::steady_clock::now() >= deadline) return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

TEST_F(Service, UserUnitMonitorsTheFleetWithoutDisplayOrSessionBus)
{
    UnitFile unit;
    ASSERT_TRUE(unit.Load(UserUnit())) << UserUnit();
    // The unit names the installed programs, wherever the prefix was.
    ASSERT_EQ(unit.Command("ExecStart"), std::vector<std::string>{ProgramFolder() + "/nwatch"});
    ASSERT_EQ(unit.Command("ExecStartPre"), std::vector<std::string>{ProgramFolder() + "/qav-install-data"});
    EXPECT_EQ(unit.Value("Service", "Restart"), "on-failure");
    ASSERT_EQ(unit.Environment().count("QT_QPA_PLATFORM"), 1u);
    EXPECT_EQ(unit.Environment().at("QT_QPA_PLATFORM"), "offscreen");
    EXPECT_EQ(unit.Value("Install", "WantedBy"), "default.target");

    // The sample fleet on the test's own addresses, its traps to the
    // monitor's port.
    const int trapPort = FreeUdpPort();
    const int snmpPort = PrepareAgentPort();
    ASSERT_GT(trapPort, 0);
    WriteFile(work.File("sample.fleet"), SampleFleetOnOwnAddresses());
    PrinterSim sim;
    ASSERT_TRUE(sim.Start({"--fleet", work.File("sample.fleet"), "--port", std::to_string(snmpPort), "--trap-to",
                           "127.0.0.1:" + std::to_string(trapPort), "--quiet"}))
        << sim.Log();

    const std::map<std::string, std::string> env = UnitEnvironment(unit, trapPort, snmpPort);
    PrepareDataFolder(unit, env);
    const std::string data = DefaultDataFolder(home.Path());
    const std::string dock = LoopbackAddress(51), pallet = LoopbackAddress(52), tagger = LoopbackAddress(53);
    // The group file names the printers only: what else it holds after the
    // run, polling read from the printers.
    WriteFile(data + "/QAVGroupConfig.qdl",
              GroupFileText({{dock, "Dock labeller"}, {pallet, "Pallet printer"}, {tagger, "RFID tagger"}}));
    SetSetting(data, "QAVMgmtConfig.INI", "Startup", "UseSystemDefault", "0");
    SetSetting(data, "QAVSurveyConfig.INI", "Polling", "TaskDuration", "1");
    SetSetting(data, "QAVLogConfig.INI", "Trap", "ToBeLogged", "1");

    // The notification mail, to a relay on the test's own address.
    MailPeer relay;
    const std::string relayAddress = LoopbackAddress(90);
    const int smtpPort = FreeTcpPort(relayAddress);
    ASSERT_TRUE(relay.Start("plain", relayAddress, smtpPort)) << relay.Log();
    SetSetting(data, "QAVSurveyConfig.INI", "Notification", "Mail", "1");
    SetSetting(data, "QAVSurveyConfig.INI", "Mail", "SourceServer", relayAddress);
    SetSetting(data, "QAVSurveyConfig.INI", "Mail", "SourceAdd", "monitor@example.test");
    SetSetting(data, "QAVSurveyConfig.INI", "Mail", "SourceUser", "qav");
    SetSetting(data, "QAVSurveyConfig.INI", "Mail", "SourcePasswd", "frperg"); // "secret", scrambled
    SetSetting(data, "QAVSurveyConfig.INI", "User", "Sendmail", "1");
    SetSetting(data, "QAVSurveyConfig.INI", "User", "Address", "operator@example.test");
    std::map<std::string, std::string> serviceEnv = env;
    serviceEnv["QAV_SMTP_PORT"] = std::to_string(smtpPort);

    CleanProcess nwatch;
    ASSERT_TRUE(nwatch.Start(unit.Command("ExecStart"), serviceEnv, work.File("nwatch.log")));
    ASSERT_TRUE(nwatch.WaitForLog("nwatch: monitoring 3 printers in administrator mode; polling every 1 s, traps on",
                                  30000))
        << nwatch.Log();

    // Polling: the printers are read (nothing else asks them before a trap).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (AnsweredRequests(sim) <= 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_GT(AnsweredRequests(sim), 0) << nwatch.Log();

    // A trap: the dock labeller jams; the trap log gets its line.
    ASSERT_EQ(sim.Command("event " + dock + " paper-jam text1=job-4711").rfind("ok", 0), 0u);
    qavres::StringTable language;
    ASSERT_TRUE(language.Load(qavres::kLanguage));
    const std::string line =
        TrapLogLine(data + "/QAVTrapLog.log", "," + dock + ",Dock labeller," + language.Get(760), 20000);
    EXPECT_FALSE(line.empty()) << nwatch.Log() << "\ntrap log:\n" << ReadFile(data + "/QAVTrapLog.log");
    // ... and the operator the mail about it.
    ASSERT_TRUE(relay.WaitForEvents("mail", 1, 20000)) << nwatch.Log() << relay.Log();
    const std::vector<MailEvent> mails = relay.Mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].rcptTos, std::vector<std::string>{"operator@example.test"});
    EXPECT_EQ(ParseMail(mails[0].data).headers["Subject"], "Printer alert: Paper jam (" + dock + ")");

    // SIGTERM (systemctl stop) ends it in order, with the group file saved:
    // it holds what polling read.
    EXPECT_EQ(nwatch.Terminate(15000), 0) << nwatch.Log();
    const std::string groups = ReadFile(data + "/QAVGroupConfig.qdl");
    EXPECT_NE(groups.find("location=Warehouse A, dock 1"), std::string::npos) << groups;
    EXPECT_NE(groups.find("location=Line 2"), std::string::npos) << groups;
}

TEST_F(Service, WithoutADisplayThePasswordPromptGivesWayToUserMode)
{
    // Nobody can answer a prompt on a server: the monitor must not wait for
    // one it cannot show.
    UnitFile unit;
    ASSERT_TRUE(unit.Load(UserUnit()));
    const std::map<std::string, std::string> env = UnitEnvironment(unit, FreeUdpPort(), PrepareAgentPort());
    PrepareDataFolder(unit, env);
    const std::string data = DefaultDataFolder(home.Path());
    SetSetting(data, "QAVMgmtConfig.INI", "Startup", "AskPassword", "1");
    SetSetting(data, "QAVMgmtConfig.INI", "Password", "Password", "frperg"); // "secret", scrambled

    CleanProcess nwatch;
    ASSERT_TRUE(nwatch.Start(unit.Command("ExecStart"), env, work.File("nwatch.log")));
    EXPECT_TRUE(nwatch.WaitForLog("nwatch: monitoring 0 printers in user mode", 30000)) << nwatch.Log();
    EXPECT_EQ(nwatch.Terminate(15000), 0) << nwatch.Log();
}

TEST_F(Service, UnitsPassSystemdVerify)
{
    if (!HaveProgram("systemd-analyze")) GTEST_SKIP() << "systemd is not installed";
    ASSERT_TRUE(fs::is_regular_file(UserUnit()));
    ASSERT_TRUE(fs::is_regular_file(SystemUnit()));
    // verify also reports on units of the machine that ours pull in; only
    // what names our files counts. A user manager's check wants a runtime
    // folder of its own.
    const std::string runtime = work.File("run");
    ::mkdir(runtime.c_str(), 0700);
    auto problems = [&runtime](const std::string& options, const std::string& path) {
        const std::string out = RunCommand("XDG_RUNTIME_DIR='" + runtime + "' systemd-analyze " + options + " verify '" +
                                           path + "' 2>&1; echo rc=$?");
        std::string ours;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);)
            if (line.find("qav-nwatch") != std::string::npos || line.find(path) != std::string::npos) ours += line + "\n";
        if (out.find("rc=0") == std::string::npos && ours.empty()) ours = out;
        return ours;
    };
    EXPECT_EQ(problems("--user", UserUnit()), "");
    EXPECT_EQ(problems("", SystemUnit()), "");

    // The system example: the trap port as a user of its own, with nothing
    // but the capability to bind it.
    UnitFile system;
    ASSERT_TRUE(system.Load(SystemUnit()));
    EXPECT_EQ(system.Command("ExecStart"), std::vector<std::string>{ProgramFolder() + "/nwatch"});
    EXPECT_EQ(system.Value("Service", "AmbientCapabilities"), "CAP_NET_BIND_SERVICE");
    EXPECT_EQ(system.Value("Service", "CapabilityBoundingSet"), "CAP_NET_BIND_SERVICE");
    EXPECT_FALSE(system.Value("Service", "User").empty());
    EXPECT_NE(system.Value("Service", "User"), "root");
    EXPECT_EQ(system.Environment().count("QT_QPA_PLATFORM"), 1u);
}

} // namespace

// qavctl against real peers: snmpd and snmpsim for get, the printer
// simulator for discover, and a data folder of its own for config.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TestPeers.h"

namespace {

const std::string kQavctl = std::string(QAV_BINARY_DIR) + "/bin/qavctl";

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs qavctl with the arguments (a shell word list); its exit status and
// both outputs.
Outcome Qavctl(const std::string& args, const std::string& env = "")
{
    qavtest::TempDir dir;
    Outcome r;
    FILE* p = ::popen((env + " " + kQavctl + " " + args + " 2>" + dir.File("err")).c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int status = ::pclose(p);
    r.err = qavtest::ReadFile(dir.File("err"));
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// ------------------------------------------------------------------- get

const char* const kRecording =
    "1.3.6.1.2.1.1.5.0|4|printer-1\n"
    "1.3.6.1.2.1.2.2.1.5.1|66|3000000000\n"
    "1.3.6.1.2.1.2.2.1.10.1|65|4294967295\n"
    "1.3.6.1.2.1.1.3.0|67|4294967295\n"
    "1.3.6.1.2.1.31.1.1.1.6.1|70|18446744073709551615\n"
    "1.3.6.1.2.1.25.3.5.1.1.1|2|-2\n";

class QavctlGet : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        port_ = qavtest::PrepareAgentPort();
        if (qavtest::HaveProgram("snmpsimd")) {
            sim_ = new qavtest::SnmpSimAgent;
            simStarted_ = sim_->Start(qavtest::LoopbackAddress(1), port_, {{"kestra", kRecording}});
        }
        if (qavtest::HaveProgram("snmpd")) {
            snmpd_ = new qavtest::SnmpdAgent;
            snmpdStarted_ = snmpd_->Start(qavtest::LoopbackAddress(2), port_);
        }
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete snmpd_;
    }
    static inline int port_ = 0;
    static inline qavtest::SnmpSimAgent* sim_ = nullptr;
    static inline qavtest::SnmpdAgent* snmpd_ = nullptr;
    static inline bool simStarted_ = false, snmpdStarted_ = false;
};

TEST_F(QavctlGet, UnsignedValuesPrintAsUnsigned)
{
    if (!sim_) GTEST_SKIP() << "snmpsimd is not installed";
    ASSERT_TRUE(simStarted_) << sim_->Log();
    const Outcome r = Qavctl("get " + qavtest::LoopbackAddress(1) +
                         " 1.3.6.1.2.1.2.2.1.10.1 1.3.6.1.2.1.2.2.1.5.1 1.3.6.1.2.1.1.3.0 1.3.6.1.2.1.31.1.1.1.6.1"
                         " 1.3.6.1.2.1.25.3.5.1.1.1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1.3.6.1.2.1.2.2.1.10.1 = Counter32: 4294967295\n"
                     "1.3.6.1.2.1.2.2.1.5.1 = Gauge32: 3000000000\n"
                     "1.3.6.1.2.1.1.3.0 = Timeticks: 4294967295\n"
                     "1.3.6.1.2.1.31.1.1.1.6.1 = Counter64: 18446744073709551615\n"
                     "1.3.6.1.2.1.25.3.5.1.1.1 = Integer: -2\n");
}

// snmpd answers a version-2c GET of an object it does not have with
// noSuchObject or noSuchInstance; qavctl says so for each of them.
TEST_F(QavctlGet, MissingObjectsOverVersion2cPrintTheirCode)
{
    if (!snmpd_) GTEST_SKIP() << "snmpd is not installed";
    ASSERT_TRUE(snmpdStarted_) << snmpd_->Log();
    const std::string address = qavtest::LoopbackAddress(2);
    Outcome r = Qavctl("get -v2c " + address + " 1.3.6.1.2.1.1.99.0");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1.3.6.1.2.1.1.99.0 = error -30 (no value: no such object or instance)\n") << r.err;

    r = Qavctl("get -v2c " + address + " 1.3.6.1.2.1.1.5 1.3.6.1.2.1.1.1.0 .1.3.6.1.4.1.32473.1.20101.0");
    EXPECT_EQ(r.status, 1);
    const std::string out = r.out;
    EXPECT_EQ(out.find("1.3.6.1.2.1.1.5 = error -30 (no value: no such object or instance)\n"), 0u) << out;
    EXPECT_NE(out.find("\n1.3.6.1.2.1.1.1.0 = String: "), std::string::npos) << out;
    EXPECT_NE(out.find("\n1.3.6.1.4.1.32473.1.20101.0 = error -30 (no value: no such object or instance)\n"),
              std::string::npos)
        << out;

    // Version 1 names the failing object with the agent's status.
    r = Qavctl("get -v1 " + address + " 1.3.6.1.2.1.1.99.0");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1.3.6.1.2.1.1.99.0 = error -2 (noSuchName)\n");

    // GET-NEXT past the agent's last object.
    r = Qavctl("next -v2c " + address + " 1.3.6.1.2.1.1.5.0 2.99");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("1.3.6.1.2.1.1.6.0 = String: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("2.99 = error -30 (no value: no object follows it)\n"), std::string::npos) << r.out;
}

// ---------------------------------------------------------------- config

class QavctlConfig : public ::testing::Test {
protected:
    Outcome Config(const std::string& args) { return Qavctl("config " + args, "QAV_DATA_DIR='" + dir_.Path() + "'"); }
    qavtest::TempDir dir_;
};

TEST_F(QavctlConfig, MisspeltFilesAndKeysAreRefusedAndNothingIsWritten)
{
    struct Case {
        const char* args;
        const char* named; // what the message must name
    };
    const Case cases[] = {
        {"QAVSurvey.INI Polling Polling 1", "QAVSurvey.INI is not a settings file"},
        {"qavsurveyconfig.ini Polling Polling 1", "QAVSurveyConfig.INI"},
        {"QAVSurveyConfig.INI Polling Pollng 1", "Pollng is not a key of QAVSurveyConfig.INI"},
        {"QAVSurveyConfig.INI Poling Polling 1", "[Poling] is not a section of QAVSurveyConfig.INI"},
        {"QAVSurveyConfig.INI User PaperJam2 1", "PaperJam2 is not a key"},
        {"QAVSearchConfig.qso Ranges.0 StartIP 10.0.0.1", "[Ranges.0] is not a section"},
        {"QAVMgmtConfig.INI Community Password x", "Password is not a key"},
        {"QAVGroupConfig.qdl Groups count 2", "not a settings file"},
    };
    for (const Case& c : cases) {
        const Outcome r = Config(c.args);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_NE(r.err.find(c.named), std::string::npos) << c.args << ": " << r.err;
    }
    // Reading a misspelt key is refused too, rather than "not set".
    const Outcome r = Config("QAVSurveyConfig.INI Polling Pollng");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(std::filesystem::is_empty(dir_.Path())) << "nothing may be written";
}

TEST_F(QavctlConfig, ValuesMustFitTheKeysType)
{
    struct Case {
        const char* args;
        bool accepted;
    };
    const Case cases[] = {
        {"QAVSurveyConfig.INI Polling TaskDuration abc", false},
        {"QAVSurveyConfig.INI Polling TaskDuration 12x", false},
        {"QAVSurveyConfig.INI Polling TaskDuration 60", true},
        {"QAVSurveyConfig.INI Polling Polling 2", false},
        {"QAVSurveyConfig.INI Polling Polling 1", true},
        {"QAVSurveyConfig.INI Mail SourceAuth 5", false},
        {"QAVSurveyConfig.INI Mail SourceAuth ''", true},
        {"QAVSurveyConfig.INI Administrator ASFNotConnect 0", true},
        {"QAVSearchConfig.qso Ranges.2 StartIP 10.0.0.256", false},
        {"QAVSearchConfig.qso Ranges.2 EndIP 10.0.0.254", true},
        {"QAVLogConfig.INI Environmental Time 24:00:00", false},
        {"QAVLogConfig.INI Environmental Time 23:5:0", true},
        {"QAVLogConfig.INI Environmental Day 32", false},
        {"QAVMgmtConfig.INI Startup ShowList -1", true},
        {"QAVDisplayConfig.INI Width 'Renewal Time' 120", true},
        {"QAVDownLoader.INI SETTING 'Column Width 3' 80", true},
        {"QNASys.ini Resource 'M-UG2 V1.02' ten", false},
    };
    for (const Case& c : cases) {
        const Outcome r = Config(c.args);
        EXPECT_EQ(r.status, c.accepted ? 0 : 2) << c.args << ": " << r.err;
        if (!c.accepted) {
            EXPECT_NE(r.err.find(" is no "), std::string::npos) << c.args << ": " << r.err;
        }
    }
    // What was accepted is stored under the programs' own spelling.
    EXPECT_EQ(Config("qavsurveyconfig.ini polling taskduration").status, 2);
    EXPECT_EQ(Config("QAVSurveyConfig.INI polling taskduration 90").status, 0);
    EXPECT_EQ(qavtest::ReadFile(dir_.File("QAVSurveyConfig.INI")),
              "[Polling]\nTaskDuration=90\nPolling=1\n[Mail]\nSourceAuth=\n[Administrator]\nASFNotConnect=0\n");
    EXPECT_EQ(Config("QAVSurveyConfig.INI POLLING TASKDURATION").out, "90\n");
}

// -------------------------------------------------------------- discover

TEST(QavctlDiscover, RangeGivenLastAddressFirstIsSwapped)
{
    const int port = qavtest::PrepareAgentPort();
    qavtest::TempDir dir;
    std::string fleet;
    for (int slot = 11; slot <= 13; ++slot) fleet += "[printer]\naddress = " + qavtest::LoopbackAddress(slot) + "\n";
    qavtest::WriteFile(dir.File("fleet"), fleet);
    qavtest::PrinterSim sim;
    ASSERT_TRUE(sim.Start({"--fleet", dir.File("fleet"), "--port", std::to_string(port), "--quiet"})) << sim.Log();
    const Outcome r = Qavctl("discover --range " + qavtest::LoopbackAddress(13) + "-" + qavtest::LoopbackAddress(10) +
                         " --seconds 1");
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(r.out.substr(at, end - at));
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{qavtest::LoopbackAddress(11), qavtest::LoopbackAddress(12),
                                               qavtest::LoopbackAddress(13)}));
}

} // namespace

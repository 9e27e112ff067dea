// The environmental log over the demonstration fleet of the printer
// simulator (on loopback addresses of this test's own), plus one maker
// printer that is switched off: the report compared line by line with a
// checked expected file, written in-process with the head checks and a
// fixed system section, and by `qavctl envlog` without either. Then the
// standard objects of the sections from net-snmp's snmpd.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "Fleet.h"
#include "TestPeers.h"
#include "nlist/Nlist.h"
#include "nwatch/EnvReport.h"
#include "nwatch/Polling.h"
#include "nwatch/StatusReaders.h"
#include "qavplatform/Address.h"
#include "qavres/Resources.h"
#include "qavsettings/SettingsFiles.h"

namespace {

using namespace nwatch;

constexpr const char* kExpected = QAV_SOURCE_DIR "/tests/monitor/data/envlog_demo.expected";
constexpr int kSilentSlot = 18; // a maker printer known to the list that no longer answers

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// The report's lines as the demonstration fleet's own addresses would give
// them: the test's loopback block 127.a.b.N reads as 127.0.0.N.
std::vector<std::string> Normalised(std::string text, const std::string& prefix)
{
    for (size_t at = 0; (at = text.find(prefix, at)) != std::string::npos;) {
        text.replace(at, prefix.size(), "127.0.0.");
        at += 8;
    }
    return SplitLines(text);
}

// Line by line; the first ten differences are shown.
void ExpectSameLines(const std::vector<std::string>& actual, const std::vector<std::string>& expected)
{
    int differences = 0;
    for (size_t i = 0; i < std::max(actual.size(), expected.size()) && differences < 10; ++i) {
        const std::string a = i < actual.size() ? actual[i] : "<no line>";
        const std::string e = i < expected.size() ? expected[i] : "<no line>";
        if (a == e) continue;
        ++differences;
        ADD_FAILURE() << "line " << i + 1 << "\n  written:  " << a << "\n  expected: " << e;
    }
    EXPECT_EQ(actual.size(), expected.size());
}

// The expected lines without the system section and the head-check
// sections: what a report with both switched off holds.
std::vector<std::string> WithoutSystemAndHeadCheck(const std::vector<std::string>& lines)
{
    std::vector<std::string> out;
    const std::string stars(45, '*');
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty() && i + 2 < lines.size() && lines[i + 1] == stars &&
            (lines[i + 2] == "System Information" || lines[i + 2] == "Head Check")) {
            i += 3;
            while (i < lines.size() && !lines[i].empty() && lines[i] != "\r") ++i;
            --i;
            continue;
        }
        out.push_back(lines[i]);
    }
    return out;
}

class EnvLogFleet : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        port_ = qavtest::PrepareAgentPort();
        objects_ = new qavres::ObjectTable;
        language_ = new qavres::StringTable;
        objects_->Load();
        language_->Load(qavres::kLanguage);
        dir_ = new qavtest::TempDir;
        // The demonstration fleet, each 127.0.0.N on the test's 127.a.b.N.
        const std::string own = qavtest::LoopbackAddress(11);
        prefix_ = own.substr(0, own.rfind('.') + 1);
        // The serial numbers the simulator makes up follow the address: here
        // each printer gets its own, the same on every run.
        std::string fleet = qavsim::DemoFleetText();
        for (size_t at = 0; (at = fleet.find("address = 127.0.0.", at)) != std::string::npos;) {
            const size_t end = fleet.find('\n', at);
            const std::string slot = fleet.substr(at + 18, end - at - 18);
            fleet.replace(at + 10, 8, prefix_);
            fleet.insert(fleet.find('\n', at) + 1, "serial = QS2025" + slot + "\n");
            at = fleet.find('\n', at);
        }
        qavtest::WriteFile(dir_->File("fleet"), fleet);
        sim_ = new qavtest::PrinterSim;
        started_ = sim_->Start({"--fleet", dir_->File("fleet"), "--port", std::to_string(port_)});
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete dir_;
        delete objects_;
        delete language_;
    }
    void SetUp() override
    {
        ASSERT_TRUE(started_) << sim_->Log();
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        context_.objects = objects_;
        context_.language = language_;
        // The group file of the fleet in the simulator's order, then the
        // silent printer, known from earlier as the maker's; loaded and read
        // by one polling cycle, as the monitor keeps its list.
        std::vector<std::pair<std::string, bool>> fleet; // address, the maker's
        std::stringstream list(sim_->Command("list"));
        std::string address, kind, rest;
        while (list >> address >> kind && std::getline(list, rest)) {
            if (address.rfind("127.", 0) == 0) fleet.emplace_back(address, kind == "maker");
        }
        ASSERT_EQ(fleet.size(), 9u);
        fleet.emplace_back(prefix_ + std::to_string(kSilentSlot), true);
        std::string all, makers, records;
        int makerCount = 0;
        for (size_t i = 0; i < fleet.size(); ++i) {
            const auto& [ip, maker] = fleet[i];
            all += "prtindex." + std::to_string(i) + "=" + ip + "\n";
            if (maker) makers += "prtindex." + std::to_string(makerCount++) + "=" + ip + "\n";
            records += "[Printer." + std::to_string(i) + "]\nip=" + ip + "\nIsBCP=" + (maker ? "1" : "0") + "\n";
        }
        ASSERT_EQ(makerCount, 8);
        const std::string groups = data_.File(qavsettings::kGroupFile);
        qavtest::WriteFile(groups, "[Groups]\ncount=2\n[Group.0]\nname=All printers\nprinters=" +
                                       std::to_string(fleet.size()) + "\n" + all +
                                       "[Group.1]\nname=QAV printers\nprinters=" + std::to_string(makerCount) +
                                       "\n" + makers + "[Printers]\ncount=" + std::to_string(fleet.size()) +
                                       "\n" + records);
        ASSERT_EQ(CheckQdlFileFormat(groups), 1);
        ASSERT_EQ(PopulateVectors(groups), 1);
        PollingCycle().RunCycle(context_);
    }
    void TearDown() override
    {
        ::unsetenv("TZ");
        ::tzset();
    }
    static inline qavtest::PrinterSim* sim_ = nullptr;
    static inline qavtest::TempDir* dir_ = nullptr;
    static inline qavres::ObjectTable* objects_ = nullptr;
    static inline qavres::StringTable* language_ = nullptr;
    static inline std::string prefix_;
    static inline int port_ = 0;
    static inline bool started_ = false;
    ReadContext context_;
    qavtest::TempDir data_;
};

TEST_F(EnvLogFleet, ReportWithHeadChecksMatchesTheExpectedFile)
{
    const std::vector<EnvPrinter> printers = EnvPrintersFromDeviceList();
    ASSERT_EQ(printers.size(), 10u);
    SnmpEnvReader reader(*objects_, "", "");
    const HeadChecks checks = StartHeadChecks(printers, reader);
    // The simulator's check runs for a second: the report comes while it
    // still runs and reads the head state again until it is done.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));

    SystemInfo system;
    system.computerName = "labhost";
    system.userName = "operator";
    system.processor = "Example CPU 3000 @ 2.40GHz";
    system.osLine = "OS : Debian GNU/Linux 12 (bookworm) x64";
    system.totalMemory = 16704000000;
    system.availableMemory = 9216000000;
    EnvReportOptions options;
    options.fileName = data_.File("QAVEnvironmentalLog.log");
    options.headCheck = options.sysInfo = options.counterInfo = options.diagnosisInfo = options.printerInfo =
        options.networkInformation = true;
    EnvReportRun run;
    run.time = 1749637820; // 2025-06-11 10:30:20
    run.system = &system;
    run.headChecks = &checks;
    const EnvReportResult r = WriteEnvReport(options, printers, *language_, reader, run);
    EXPECT_EQ(r.printers, 10);
    EXPECT_EQ(r.included, 8);
    EXPECT_EQ(r.linesLost, 0);
    ExpectSameLines(Normalised(qavtest::ReadFile(options.fileName), prefix_),
                    SplitLines(qavtest::ReadFile(kExpected)));
}

TEST_F(EnvLogFleet, QavctlWritesTheSameReportOnDemand)
{
    const std::string log = data_.File("env.log");
    qavtest::WriteFile(data_.File("QAVLogConfig.INI"),
                       "[Environmental]\nToBeLogged=1\nFilename=" + log +
                           "\nMaximumSize=0\nHeadCheck=0\nSysInfo=0\nCounterInfo=1\nDiagnosisInfo=1\n"
                           "PrinterInfo=1\nNetworkInformation=1\nCycle=Daily\nTime=8:0:0\n");
    const std::string out =
        qavtest::RunCommand("QAV_DATA_DIR='" + data_.Path() + "' " QAV_BINARY_DIR "/bin/qavctl envlog", true);
    EXPECT_NE(out.find("8 of 10 printers reported"), std::string::npos) << out;

    std::vector<std::string> lines = Normalised(qavtest::ReadFile(log), prefix_);
    ASSERT_GT(lines.size(), 2u);
    EXPECT_EQ(lines[1].rfind("Environmantal log\t\t", 0), 0u);
    lines[1] = "Environmantal log\t\t2025-06-11 10:30:20"; // the time of the run
    ExpectSameLines(lines, WithoutSystemAndHeadCheck(SplitLines(qavtest::ReadFile(kExpected))));
}

} // namespace

namespace {

// The standard objects of the sections from a strict agent (net-snmp's
// snmpd answers a GET only with the instance): the printer name, the
// interface, the address and every counter of the network groups.
TEST(EnvLogRealAgent, StandardObjectsComeFromSnmpd)
{
    if (!qavtest::HaveProgram("snmpd")) GTEST_SKIP() << "snmpd is not installed";
    const int port = qavtest::PrepareAgentPort();
    const std::string address = qavtest::LoopbackAddress(70);
    qavtest::SnmpdAgent agent;
    ASSERT_TRUE(agent.Start(address, port, "sysName envlog-host\nsysLocation Rack 4\n")) << agent.Log();
    qavres::ObjectTable objects;
    qavres::StringTable language;
    ASSERT_TRUE(objects.Load());
    ASSERT_TRUE(language.Load(qavres::kLanguage));
    SnmpEnvReader reader(objects, "", "");
    EnvPrinter printer;
    ASSERT_TRUE(qavplatform::ParseAddress(address, printer.address));
    printer.included = true;
    EnvReportOptions options;
    options.printerInfo = options.networkInformation = true;
    EnvReportRun run;
    const std::vector<EnvLine> lines = PrinterSections(printer, options, language, reader, run);

    auto value = [&](int label) {
        const std::string start = "  " + language.Get(label) + "\t";
        for (const EnvLine& l : lines) {
            if (l.text.rfind(start, 0) == 0) return l.text.substr(l.text.rfind('\t') + 1);
        }
        return std::string("<no line>");
    };
    EXPECT_EQ(value(1121), "envlog-host");
    EXPECT_EQ(value(1124), "Rack 4");
    EXPECT_EQ(value(1122), "<no line>"); // not the maker's: no error code
    EXPECT_EQ(value(5601), "24");         // the first interface: the loopback
    EXPECT_EQ(value(5602), address);
    for (int label : {5615, 5616, 5618, 5619, 5620, 5621, 5622, 5624, 5625, 5627, 5628, 5630, 5631, 5632, 5633, 5634,
                      5635, 5636, 5637}) {
        const std::string v = value(label);
        EXPECT_FALSE(v.empty()) << label;
        EXPECT_EQ(v.find_first_not_of("0123456789"), std::string::npos) << label << ": " << v;
    }
    EXPECT_GT(std::stoul(value(5630)), 0u); // SNMP messages received: ours at least
}

} // namespace

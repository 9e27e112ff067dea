// qavctl against real peers: snmpd and snmpsim for get, the printer
// simulator for the commands on the maker's printers, discover and search,
// and data folders of their own for config, groups and envlog. JSON output
// is read back by Python's json module; texts are compared with the bytes
// the printers hold.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestPeers.h"

namespace {

const std::string kQavctl = std::string(QAV_BINARY_DIR) + "/bin/qavctl";

struct Outcome {
    int status = -1;
    std::string out, err;
};

Outcome Shell(const std::string& command)
{
    qavtest::TempDir dir;
    Outcome r;
    FILE* p = ::popen((command + " 2>" + dir.File("err")).c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int status = ::pclose(p);
    r.err = qavtest::ReadFile(dir.File("err"));
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Runs qavctl with the arguments (a shell word list); its exit status and
// both outputs.
Outcome Qavctl(const std::string& args, const std::string& env = "")
{
    return Shell(env + " " + kQavctl + " " + args);
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// Runs a Python expression over the JSON document: `d` is the document;
// prints the expression's value (str(), one line) or Python's error.
std::string FromJson(const std::string& document, const std::string& expression)
{
    qavtest::TempDir dir;
    qavtest::WriteFile(dir.File("doc.json"), document);
    qavtest::WriteFile(dir.File("expr.py"), expression);
    return qavtest::RunCommand("/usr/bin/python3 -c 'import json,sys; d=json.load(open(sys.argv[1], "
                               "encoding=\"utf-8\")); print(eval(open(sys.argv[2]).read()))' " +
                               dir.File("doc.json") + " " + dir.File("expr.py") + " 2>&1");
}

// The text as upper-case hex digits, as snmprec's "4x" values take it.
std::string Hex(const std::string& bytes)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 0x0F];
    }
    return out;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A printer name with accents and Japanese, in UTF-8.
const std::string kUtf8Name = "\xC3\x89tiquette \xE6\x9D\xB1\xE4\xBA\xAC \xE3\x83\xA9\xE3\x83\x99\xE3\x83\xAB";

// ------------------------------------------------------------ help, version

const char* const kCommands[] = {"get",    "next",   "set",    "objects", "send",   "status", "key",
                                 "discover", "search", "groups", "config", "envlog", "params", "load"};

TEST(QavctlHelp, EveryCommandAnswersHelpWithUsageOptionsAndAnExample)
{
    const Outcome all = Qavctl("--help");
    EXPECT_EQ(all.status, 0);
    for (const char* name : kCommands) {
        SCOPED_TRACE(name);
        EXPECT_NE(all.out.find(std::string("\n  ") + name + " "), std::string::npos) << "listed in qavctl --help";
        const Outcome help = Qavctl(std::string(name) + " --help");
        EXPECT_EQ(help.status, 0) << help.err;
        EXPECT_EQ(help.out.rfind(std::string("usage: qavctl ") + name + " ", 0), 0u) << help.out;
        EXPECT_NE(help.out.find("\noptions:\n  "), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("--json"), std::string::npos) << "every command takes --json";
        const size_t example = help.out.find("\nexample:\n");
        ASSERT_NE(example, std::string::npos) << help.out;
        for (const std::string& line : Lines(help.out.substr(example + 10)))
            EXPECT_TRUE(line == std::string("  qavctl ") + name || line.rfind(std::string("  qavctl ") + name + " ", 0) == 0)
                << "example line: " << line;
        EXPECT_TRUE(help.err.empty()) << help.err;
        // The same through help COMMAND.
        EXPECT_EQ(Qavctl(std::string("help ") + name).out, help.out);
    }
    // And through -h, and --help among other words (main reads them alike
    // for every command: a few stand for all).
    for (const char* name : {"get", "params", "search"}) {
        SCOPED_TRACE(name);
        const std::string help = Qavctl(std::string("help ") + name).out;
        EXPECT_EQ(Qavctl(std::string(name) + " -h").out, help);
        const Outcome late = Qavctl(std::string(name) + " 127.0.0.1 --help");
        EXPECT_EQ(late.status, 0);
        EXPECT_EQ(late.out, help);
    }
    const Outcome unknown = Qavctl("help nosuch");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.out.empty());
    EXPECT_NE(unknown.err.find("unknown command 'nosuch'"), std::string::npos) << unknown.err;
    EXPECT_EQ(Qavctl("").status, 2) << "no command is a usage error";
}

TEST(QavctlHelp, VersionIsTheBuildsVersion)
{
    const Outcome r = Qavctl("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("qavctl (QAV Network Tool) ") + QAV_VERSION + "\n");
}

// ---------------------------------------------------------------- objects

// The object table's own lines: "number OID Type # comment".
struct TableLine {
    int number;
    std::string oid, type, comment;
};

std::vector<TableLine> ShippedTable()
{
    std::vector<TableLine> table;
    for (const std::string& line : Lines(qavtest::ReadFile(QAV_SOURCE_DIR "/resources/data/QAVOIDER.txt"))) {
        if (line.empty() || line[0] < '0' || line[0] > '9') continue;
        TableLine t;
        std::istringstream fields(line.substr(0, line.find('#')));
        fields >> t.number >> t.oid >> t.type;
        const size_t hash = line.find('#');
        if (hash != std::string::npos) t.comment = line.substr(line.find_first_not_of(' ', hash + 1));
        while (!t.comment.empty() && t.comment.back() == ' ') t.comment.pop_back();
        table.push_back(t);
    }
    std::sort(table.begin(), table.end(), [](const TableLine& a, const TableLine& b) { return a.number < b.number; });
    return table;
}

TEST(QavctlObjects, ListsEveryObjectWithItsDescription)
{
    const std::vector<TableLine> table = ShippedTable();
    ASSERT_GT(table.size(), 100u);
    const Outcome all = Qavctl("objects --json");
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(FromJson(all.out, "len(d)"), std::to_string(table.size()) + "\n");
    std::string expected = "[";
    for (size_t i = 0; i < table.size(); ++i) {
        expected += std::string(i ? ", " : "") + "(" + std::to_string(table[i].number) + ", '" + table[i].oid +
                    "', '" + table[i].type + "')";
    }
    EXPECT_EQ(FromJson(all.out, "[(o['number'], o['oid'], o['type']) for o in d]"), expected + "]\n");

    // The objects the programs rely on by number, with what the table says.
    const Outcome model = Qavctl("objects --json 23781");
    EXPECT_EQ(FromJson(model.out, "[(o['number'], o['oid'], o['type']) for o in d]"),
              "[(23781, '1.3.6.1.4.1.32473.1.23781', 'String')]\n");
    EXPECT_NE(FromJson(model.out, "d[0]['description']").find("firmware version"), std::string::npos);

    // The pattern finds numbers, OIDs and descriptions, without regard to case.
    const Outcome serial = Qavctl("objects 'SERIAL NUMBER'");
    EXPECT_EQ(serial.status, 0);
    std::set<std::string> numbers;
    for (const std::string& line : Lines(serial.out)) numbers.insert(line.substr(0, line.find(' ')));
    std::set<std::string> expectedNumbers;
    for (const TableLine& t : table) {
        std::string lower = t.comment;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower.find("serial number") != std::string::npos) expectedNumbers.insert(std::to_string(t.number));
    }
    EXPECT_EQ(numbers, expectedNumbers);
    EXPECT_TRUE(numbers.count("20781") && numbers.count("1381")) << serial.out;
    const Outcome name = Qavctl("objects 1.3.6.1.2.1.1.5");
    EXPECT_EQ(name.out.rfind("201    1.3.6.1.2.1.1.5 ", 0), 0u) << name.out;
    EXPECT_NE(name.out.find(" String     sysName: printer name\n"), std::string::npos) << name.out;
    EXPECT_EQ(Lines(Qavctl("objects 2010").out).size(), 1u) << "20101 only";

    const Outcome none = Qavctl("objects no-such-thing");
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(none.out.empty());
    EXPECT_NE(none.err.find("no object matches 'no-such-thing'"), std::string::npos);
    EXPECT_EQ(Qavctl("objects a b").status, 2);
}

// ------------------------------------------------------------------- get

const std::string kRecording =
    "1.3.6.1.2.1.1.4.0|4x|" + Hex("Caf\xE9") + "\n" +          // Latin-1: not UTF-8
    "1.3.6.1.2.1.1.5.0|4x|" + Hex(kUtf8Name) + "\n" +           // UTF-8 text
    "1.3.6.1.2.1.1.6.0|4x|" + Hex("Hall\x1B[7m B") + "\n" +     // a control character inside
    "1.3.6.1.2.1.2.2.1.6.1|4x|F40F2429E454\n"                   // a MAC's raw bytes
    "1.3.6.1.2.1.2.2.1.6.2|4x|001BA90BA752\n"                   // one with a zero byte
    "1.3.6.1.2.1.2.2.1.6.3|4x|010203040506\n"                   // one of control characters
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

// Texts come out as the printer holds them in UTF-8; a control character
// inside is made visible; values that are not text keep a readable form.
TEST_F(QavctlGet, TextsPrintAsUtf8AndBinaryValuesAsHexPairs)
{
    if (!sim_) GTEST_SKIP() << "snmpsimd is not installed";
    ASSERT_TRUE(simStarted_) << sim_->Log();
    const std::string objects =
        " 201 1.3.6.1.2.1.1.6.0 1.3.6.1.2.1.1.4.0 441.1 441.2 441.3 1.3.6.1.2.1.2.2.1.10.1 1.3.6.1.2.1.25.3.5.1.1.1";
    const Outcome text = Qavctl("get " + qavtest::LoopbackAddress(1) + objects);
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "1.3.6.1.2.1.1.5.0 = String: " + kUtf8Name + "\n"
                        "1.3.6.1.2.1.1.6.0 = String: Hall\\x1B[7m B\n"
                        "1.3.6.1.2.1.1.4.0 = String: 43 61 66 E9\n"
                        "1.3.6.1.2.1.2.2.1.6.1 = String: F4 0F 24 29 E4 54\n"
                        "1.3.6.1.2.1.2.2.1.6.2 = String: 00 1B A9 0B A7 52\n"
                        "1.3.6.1.2.1.2.2.1.6.3 = String: 01 02 03 04 05 06\n"
                        "1.3.6.1.2.1.2.2.1.10.1 = Counter32: 4294967295\n"
                        "1.3.6.1.2.1.25.3.5.1.1.1 = Integer: -2\n");

    const Outcome json = Qavctl("get --json " + qavtest::LoopbackAddress(1) + objects);
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"value\": \"" + kUtf8Name + "\""), std::string::npos) << "UTF-8 as it is: " << json.out;
    EXPECT_EQ(FromJson(json.out, "d[0]['value'] == bytes.fromhex('" + Hex(kUtf8Name) + "').decode()"), "True\n");
    EXPECT_EQ(FromJson(json.out, "[(o['request'], o['type'], o['value'], o.get('binary', False)) for o in d[1:]]"),
              "[('1.3.6.1.2.1.1.6.0', 'String', 'Hall\\x1b[7m B', False), "
              "('1.3.6.1.2.1.1.4.0', 'String', '43 61 66 E9', True), "
              "('441.1', 'String', 'F4 0F 24 29 E4 54', True), "
              "('441.2', 'String', '00 1B A9 0B A7 52', False), "
              "('441.3', 'String', '01 02 03 04 05 06', True), "
              "('1.3.6.1.2.1.2.2.1.10.1', 'Counter32', 4294967295, False), "
              "('1.3.6.1.2.1.25.3.5.1.1.1', 'Integer', -2, False)]\n");
}

// With --json every object keeps its place, a missing one with its code;
// usage errors leave standard output empty.
TEST_F(QavctlGet, JsonNamesEachMissingObjectAndUsageErrorsGoToStandardError)
{
    if (!snmpd_) GTEST_SKIP() << "snmpd is not installed";
    ASSERT_TRUE(snmpdStarted_) << snmpd_->Log();
    const std::string address = qavtest::LoopbackAddress(2);
    Outcome r = Qavctl("get --json -v2c " + address + " 1.3.6.1.2.1.1.99.0 161");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(FromJson(r.out, "(d[0], d[1]['request'], d[1]['oid'], d[1]['type'], 'error' in d[1])"),
              "({'request': '1.3.6.1.2.1.1.99.0', 'oid': '1.3.6.1.2.1.1.99.0', 'error': -30, "
              "'message': 'no value: no such object or instance'}, '161', '1.3.6.1.2.1.1.1.0', 'String', False)\n")
        << r.out;
    r = Qavctl("next --json " + address + " 1.3.6.1.2.1.1.5.0");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FromJson(r.out, "(d[0]['request'], d[0]['oid'])"), "('1.3.6.1.2.1.1.5.0', '1.3.6.1.2.1.1.6.0')\n");

    for (const char* bad : {"get --json 127.0.0.300 201", "get --json " , "get 127.0.0.1 99999 --json",
                            "set --json 127.0.0.1 201 x y"}) {
        r = Qavctl(bad);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_TRUE(r.out.empty()) << bad << ": " << r.out;
        EXPECT_EQ(r.err.rfind("qavctl: ", 0), 0u) << bad << ": " << r.err;
    }
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

// ------------------------------------------------- the maker's printers

// Two of the maker's printers of the simulator, one named in UTF-8, and a
// data folder of the suite's own.
class QavctlPrinters : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        port_ = qavtest::PrepareAgentPort();
        dir_ = new qavtest::TempDir;
        data_ = dir_->File("data");
        qavtest::WriteFile(dir_->File("fleet"),
                           "trap-to = 127.0.0.1:" + std::to_string(17500 + ::getpid() % 400) +
                               "\nmodel = QAV M-UG2\n[printer]\naddress = " + At(11) + "\nname = " + kUtf8Name +
                               "\n[printer]\naddress = " + At(12) + "\nname = Dock 2\n");
        sim_ = new qavtest::PrinterSim;
        started_ = sim_->Start({"--fleet", dir_->File("fleet"), "--port", std::to_string(port_), "--quiet"});
        installed_ = qavtest::RunCommand("QAV_DATA_DIR=" + Quoted(data_) + " " QAV_SOURCE_DIR "/scripts/install-data; "
                                         "echo rc=$?")
                         .find("rc=0") != std::string::npos;
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete dir_;
    }
    void SetUp() override
    {
        ASSERT_TRUE(started_) << sim_->Log();
        ASSERT_TRUE(installed_);
    }
    static std::string At(int slot) { return qavtest::LoopbackAddress(slot); }
    // qavctl on the suite's data folder.
    static Outcome Run(const std::string& args) { return Qavctl(args, "QAV_DATA_DIR=" + Quoted(data_)); }

    static inline int port_ = 0;
    static inline qavtest::TempDir* dir_ = nullptr;
    static inline std::string data_;
    static inline qavtest::PrinterSim* sim_ = nullptr;
    static inline bool started_ = false, installed_ = false;
};

// A name written in UTF-8 goes out as those bytes and comes back as they
// are, over SNMP and over the raw port.
TEST_F(QavctlPrinters, NamesTravelAsUtf8BothWays)
{
    const std::string name = "Caf\xC3\xA9 \xE3\x83\xA9\xE3\x83\x99\xE3\x83\xAB";
    Outcome r = Run("set " + At(12) + " 201 - " + Quoted(name));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1.3.6.1.2.1.1.5.0 = String: " + name + "\n");
    // net-snmp's own tool reads the bytes the printer holds.
    std::string held = qavtest::RunCommand("snmpget -v1 -c kestra -Ox -Oqv " + At(12) + ":" + std::to_string(port_) +
                                           " 1.3.6.1.2.1.1.5.0");
    held.erase(std::remove_if(held.begin(), held.end(), [](char c) { return c == ' ' || c == '\n' || c == '"'; }),
               held.end());
    EXPECT_EQ(held, Hex(name));

    r = Run("get --json " + At(12) + " 201");
    EXPECT_EQ(FromJson(r.out, "d[0]['value'] == bytes.fromhex('" + Hex(name) + "').decode()"), "True\n") << r.out;
    // The port word as the download tool reads it: without regard to case.
    const Outcome raw = Run("get --port tcp/ip " + At(12) + ":9100 201");
    EXPECT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(raw.out, "1.3.6.1.2.1.1.5.0 = String: " + name + "\n");
    EXPECT_EQ(Run("set " + At(12) + " 201 - 'Dock 2'").status, 0);
}

// set and params export answer in JSON too: set with the value the printer
// took, export with the model the file was written for.
TEST_F(QavctlPrinters, SetAndParamsExportAnswerInJson)
{
    Outcome r = Run("set --json " + At(12) + " 201 - 'Dock 2b'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FromJson(r.out, "(d[0]['request'], d[0]['oid'], d[0]['type'], d[0]['value'])"),
              "('201', '1.3.6.1.2.1.1.5.0', 'String', 'Dock 2b')\n")
        << r.out;
    EXPECT_EQ(Run("get " + At(12) + " 201").out, "1.3.6.1.2.1.1.5.0 = String: Dock 2b\n");
    // After --, a value that looks like an option is a value.
    r = Run("set " + At(12) + " -- 201 s --help");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1.3.6.1.2.1.1.5.0 = String: --help\n");
    EXPECT_EQ(Run("set " + At(12) + " 201 - 'Dock 2'").status, 0);

    const std::string file = dir_->File("dock2.qcd");
    r = Run("params export --json " + At(12) + " " + file);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FromJson(r.out, "(d['address'], d['model'], d['file'])"), "('" + At(12) + "', 'M-UG2', '" + file + "')\n")
        << r.out;
    EXPECT_NE(qavtest::ReadFile(file).find("M-UG2"), std::string::npos);
    // A printer that does not answer: nothing on standard output, the
    // reason on standard error, exit status 1.
    r = Run("params export --json " + At(250) + " " + dir_->File("none.qcd"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_NE(r.err.find(At(250)), std::string::npos) << r.err;
}

// qavctl's ports and nload's target words go through one parser: the same
// words are refused for the same reason.
TEST_F(QavctlPrinters, PortWordsAreReadAsTheDownloadToolReadsThem)
{
    struct Case {
        const char* port;    // --port PORT ADDRESS
        std::string address;
        std::string target;  // load's word for the same printer
        const char* reason;
    };
    const Case cases[] = {
        {"COM0", "9600,8,N,1", "COM0:9600,8,N,1", "no serial port COM0"},
        {"COM1", "9600,8,N", "COM1:9600,8,N", "COM1 needs the line parameters baud,bits,parity,stop"},
        {"LPT10", "-", "LPT10", "no parallel port LPT10"},
        {"TCP/IP", At(12) + ":70000", "TCP/IP:" + At(12) + ":70000", "TCP/IP needs an address and a port"},
        {"SNMP", "127.0.0.256", "SNMP:127.0.0.256", "SNMP needs a dotted IPv4 address"},
        {"FAX", "x", "FAX:x", "unknown port \"FAX\""},
    };
    for (const Case& c : cases) {
        const Outcome get = Run(std::string("get --port ") + c.port + " " + c.address + " 201");
        EXPECT_EQ(get.status, 2) << c.port;
        EXPECT_NE(get.err.find(c.reason), std::string::npos) << c.port << ": " << get.err;
        const Outcome load = Run("load " + dir_->File("none.bin") + " " + c.target);
        EXPECT_EQ(load.status, 2) << c.target;
        EXPECT_NE(load.err.find(c.reason), std::string::npos) << c.target << ": " << load.err;
    }
}

TEST_F(QavctlPrinters, StatusAndKeysPrintUtf8AndJson)
{
    const Outcome text = Run("status " + At(11));
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("\n  name        " + kUtf8Name + "\n"), std::string::npos) << text.out;

    const std::string silent = At(250);
    const Outcome json = Run("status --json " + At(11) + " " + silent);
    EXPECT_EQ(json.status, 1) << "a printer does not answer";
    EXPECT_EQ(FromJson(json.out, "(d[0]['name'] == bytes.fromhex('" + Hex(kUtf8Name) +
                                     "').decode(), d[0]['answered'], d[0]['maker'], d[1]['address'], d[1]['answered'])"),
              "(True, True, True, '" + silent + "', False)\n")
        << json.out;
    EXPECT_NE(json.err.find(silent + ": the printer does not answer"), std::string::npos) << json.err;

    const Outcome keys = Run("key --json " + At(11) + " " + At(12) + " pause");
    EXPECT_EQ(keys.status, 0) << keys.err;
    EXPECT_EQ(FromJson(keys.out, "d"), "[{'address': '" + At(11) + "', 'key': 'pause', 'sent': True}, {'address': '" +
                                           At(12) + "', 'key': 'pause', 'sent': True}]\n");
    EXPECT_EQ(sim_->Command("status all online"), "ok");
}

TEST_F(QavctlPrinters, SendPrintsTheRepliesAsUtf8WithControlsVisible)
{
    // A printer command that reads the name back (object 201).
    const std::string command = "{GOID;0010171.3.6.1.2.1.1.5.000005000|}";
    qavtest::WriteFile(dir_->File("get.txt"), command);
    const Outcome text = Run("send --reply-seconds 1 " + At(11) + " " + dir_->File("get.txt"));
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out.rfind("\\x01\\x02E0010171.3.6.1.2.1.1.5.0", 0), 0u) << text.out;
    EXPECT_NE(text.out.find(kUtf8Name + "\\x03\\x04\\x0D\\x0A"), std::string::npos) << text.out;

    const Outcome json = Run("send --json --reply-seconds 1 " + At(11) + " " + dir_->File("get.txt"));
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(FromJson(json.out, "(d['port'], d['address'], d['bytes'], d['reply'].startswith('\\x01\\x02E001017'), "
                                 "d['reply'].endswith(bytes.fromhex('" + Hex(kUtf8Name) + "').decode() + "
                                 "'\\x03\\x04\\r\\n'))"),
              "('TCP/IP', '" + At(11) + ":9100', " + std::to_string(command.size()) + ", True, True)\n")
        << json.out;
}

TEST_F(QavctlPrinters, DiscoverJsonListsWhatAnswered)
{
    // A range given last address first is searched from its lower end.
    const Outcome r = Run("discover --json --range " + At(13) + "-" + At(10) + " --seconds 1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FromJson(r.out, "(d['seconds'], sorted(d['addresses']))"),
              "(1, ['" + std::min(At(11), At(12)) + "', '" + std::max(At(11), At(12)) + "'])\n")
        << r.out;
    const Outcome lines = Run("discover --range " + At(10) + "-" + At(13) + " --seconds 1");
    std::vector<std::string> found = Lines(lines.out);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{std::min(At(11), At(12)), std::max(At(11), At(12))}));
}

// Runs the command with standard error on a pseudo-terminal, standard
// output on a pipe; returns standard output, a line "--- stderr ---", and
// what the terminal received.
std::string OnATerminal(const std::string& command)
{
    qavtest::TempDir dir;
    qavtest::WriteFile(dir.File("on_terminal.py"), R"(import os, pty, select, subprocess, sys, time
master, slave = pty.openpty()
p = subprocess.Popen(['/bin/sh', sys.argv[1]], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=slave)
os.close(slave)
err, deadline = b'', time.time() + 60
while time.time() < deadline:
    ready, _, _ = select.select([master], [], [], 0.1)
    if ready:
        try:
            chunk = os.read(master, 65536)
        except OSError:
            break
        if not chunk:
            break
        err += chunk
    elif p.poll() is not None:
        break
if p.poll() is None:
    p.kill()
out = p.stdout.read()
sys.stdout.buffer.write(out + b'--- stderr ---\n' + err)
)");
    // The command goes in a script of its own: it holds quotes of its own.
    qavtest::WriteFile(dir.File("command.sh"), command + "\n");
    return qavtest::RunCommand("/usr/bin/python3 " + dir.File("on_terminal.py") + " " + dir.File("command.sh"));
}

TEST_F(QavctlPrinters, SearchShowsItsProgressOnATerminalAndSumsUp)
{
    qavtest::WriteFile(data_ + "/QAVSearchConfig.qso", "[Criteria]\nBroadcast=0\nNonVorantaPrinters=1\n[Ranges]\nCount=1\n"
                                                       "[Ranges.1]\nStartIP=" + At(10) + "\nEndIP=" + At(13) +
                                                       "\n[Timeout]\nTimeoutSeconds=1\n");
    const std::string groupFile = data_ + "/QAVGroupConfig.qdl";
    const std::string summary = "2 addresses found, 2 printers merged in ";
    const std::string terminal = OnATerminal("QAV_DATA_DIR=" + Quoted(data_) + " " + kQavctl + " search");
    const size_t split = terminal.find("--- stderr ---\n");
    ASSERT_NE(split, std::string::npos) << terminal;
    const std::string out = terminal.substr(0, split), err = terminal.substr(split + 15);
    EXPECT_EQ(out.rfind(summary, 0), 0u) << out;
    EXPECT_NE(out.find(" s; 2 printers in " + groupFile + "\n"), std::string::npos) << out;
    EXPECT_NE(err.find("\r\x1B[Ksearching: 0 / 1 s, "), std::string::npos) << err;
    EXPECT_NE(err.find(" addresses found"), std::string::npos) << err;
    EXPECT_NE(err.find("\r\x1B[Kreading printers: 0 / 2 addresses, 0 printers merged"), std::string::npos) << err;
    EXPECT_NE(err.find("reading printers: 2 / 2 addresses, 2 printers merged"), std::string::npos) << err;
    EXPECT_EQ(err.substr(err.size() - 4), "\r\x1B[K") << "the progress line is cleared at the end";

    // Elsewhere: no progress, the same summary; and JSON.
    const Outcome plain = Run("search");
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out.rfind(summary, 0), 0u) << plain.out;
    EXPECT_TRUE(plain.err.empty()) << plain.err;
    const Outcome json = Run("search --json");
    EXPECT_EQ(FromJson(json.out, "(d['seconds'], d['found'], d['merged'], d['printers'], d['file'])"),
              "(1, 2, 2, 2, '" + groupFile + "')\n")
        << json.out;

    // The group file the search wrote, with the name as the printer holds it.
    const Outcome groups = Run("groups QAVGroupConfig.qdl");
    EXPECT_EQ(groups.status, 0) << groups.err;
    EXPECT_NE(groups.out.find(" " + kUtf8Name + "\n"), std::string::npos) << groups.out;
    const Outcome groupsJson = Run("groups --json QAVGroupConfig.qdl");
    EXPECT_EQ(FromJson(groupsJson.out, "(d['valid'], len(d['groups']) >= 2, sorted(p['name'] for p in d['printers']) "
                                       "== sorted(['Dock 2', bytes.fromhex('" + Hex(kUtf8Name) + "').decode()]), "
                                       "sorted(m['address'] for m in d['groups'][0]['members']))"),
              "(True, True, True, ['" + std::min(At(11), At(12)) + "', '" + std::max(At(11), At(12)) + "'])\n")
        << groupsJson.out;
}

TEST_F(QavctlPrinters, ConfigAndEnvlogJson)
{
    Outcome r = Run("config --json qavsurveyconfig.ini polling taskduration 45");
    EXPECT_EQ(r.status, 2) << "file names compare exactly";
    r = Run("config --json QAVSurveyConfig.INI polling taskduration 45");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FromJson(r.out, "d"), "{'file': '" + data_ + "/QAVSurveyConfig.INI', 'section': 'Polling', "
                                    "'key': 'TaskDuration', 'value': '45'}\n");
    r = Run("config QAVSurveyConfig.INI Polling TaskDuration --json");
    EXPECT_EQ(FromJson(r.out, "d['value']"), "45\n");

    // One report of the two printers of a group file of its own.
    qavtest::TempDir env;
    ASSERT_NE(qavtest::RunCommand("QAV_DATA_DIR=" + Quoted(env.Path()) + " " QAV_SOURCE_DIR
                                  "/scripts/install-data; echo rc=$?")
                  .find("rc=0"),
              std::string::npos);
    qavtest::WriteFile(env.File("QAVGroupConfig.qdl"),
                       "[Groups]\ncount=2\n[Group.0]\nname=All\nprinters=2\nprtindex.0=" + At(11) +
                           "\nprtindex.1=" + At(12) + "\n[Group.1]\nname=Maker\nprinters=0\n[Printers]\ncount=2\n"
                           "[Printer.0]\nip=" + At(11) + "\nname=one\nIsBCP=1\n[Printer.1]\nip=" + At(12) +
                           "\nname=two\nIsBCP=1\n");
    qavtest::WriteFile(env.File("QAVLogConfig.INI"), "[Environmental]\nToBeLogged=1\nFilename=" + env.File("env.log") +
                                                         "\nMaximumSize=0\nHeadCheck=0\nSysInfo=0\nCounterInfo=1\n"
                                                         "DiagnosisInfo=0\nPrinterInfo=1\nNetworkInformation=0\n");
    r = Qavctl("envlog --json", "QAV_DATA_DIR=" + Quoted(env.Path()));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FromJson(r.out, "(d['printers'], d['read'], d['reported'], d['headCheck'], d['lines'] > 0, "
                              "d['linesLost'], d['file'])"),
              "(2, 2, 2, False, True, 0, '" + env.File("env.log") + "')\n")
        << r.out;
}

} // namespace

// The environmental log's report with printers of the test's own (a
// map-backed reader): line kinds and alignment, value forms, the model
// rules, the head check, failure lines, and trimming while writing.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "TestPeers.h"
#include "ncomm/QBPResult.h"
#include "nwatch/EnvReport.h"
#include "nwatch/TrapLogger.h"
#include "qavres/Resources.h"

namespace {

using namespace nwatch;
using qavobj::ObjectRequest;
using qavobj::Outcome;

const qavres::ObjectTable& Objects()
{
    static qavres::ObjectTable* table = [] {
        auto* t = new qavres::ObjectTable;
        t->LoadFile(QAV_SOURCE_DIR "/resources/data/QAVOIDER.txt");
        return t;
    }();
    return *table;
}

const qavres::StringTable& Language()
{
    static qavres::StringTable* texts = [] {
        auto* t = new qavres::StringTable;
        t->LoadFile(QAV_SOURCE_DIR "/resources/data/QAVLANG.txt");
        return t;
    }();
    return *texts;
}

const std::string& T(int id) { return Language().Get(id); }

constexpr uint32_t kPrinterA = 0x0A000105; // 10.0.1.5
constexpr uint32_t kPrinterB = 0x0A000106;

// Printers as maps of objects; every call is counted.
class FakePrinters : public EnvPrinterReader {
public:
    struct Object {
        int type;
        std::string value;
    };

    // Every object of the table, numbers as values ("%d" of the object's
    // number), texts as "t<number>".
    void AddPrinter(uint32_t address)
    {
        auto& p = printers_[address];
        for (const auto& [number, text] : Objects().Strings().All()) {
            const int type = Objects().TypeCode(number);
            if (text.empty() || text[0] != '1' || Objects().TypeName(number).empty() || type == 5) continue;
            p[{number, 0}] = {type, type == 4 ? "t" + std::to_string(number) : std::to_string(number)};
        }
    }
    void Set(uint32_t address, int object, const std::string& value, int instance = 0)
    {
        printers_[address][{object, instance}] = {Objects().TypeCode(object), value};
    }
    void Remove(uint32_t address, int object, int instance = 0) { printers_[address].erase({object, instance}); }
    void Fail(uint32_t address, Outcome outcome) { failing_[address] = outcome; }
    void HeadStates(uint32_t address, std::deque<std::string> states) { headStates_[address] = std::move(states); }
    void Table(uint32_t address, std::vector<std::vector<std::string>> rows) { tables_[address] = std::move(rows); }

    Outcome ReadObjects(uint32_t address, std::vector<ObjectRequest>& requests) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requestSizes.push_back(requests.size());
        for (auto& r : requests) {
            r.value.clear();
            r.answered = false;
        }
        if (failing_.count(address)) return failing_[address];
        for (auto& r : requests) {
            auto& states = headStates_[address];
            if (r.object == 20941 && !states.empty()) {
                r.value = states.front();
                r.answered = r.value != "unreadable";
                states.pop_front();
                if (!r.answered) return Failed();
                continue;
            }
            auto it = printers_[address].find({r.object, 0});
            if (it == printers_[address].end() || it->second.type != r.type) continue;
            r.value = it->second.value;
            r.answered = true;
        }
        return {};
    }
    Outcome ReadInstance(uint32_t address, int object, int instance, std::string& value) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        value.clear();
        if (failing_.count(address)) return failing_[address];
        auto it = printers_[address].find({object, instance});
        if (it == printers_[address].end()) return Failed();
        value = it->second.value;
        return {};
    }
    Outcome ReadTable(uint32_t address, const std::vector<ObjectRequest>& columns,
                      std::vector<std::vector<std::string>>& rows) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failing_.count(address)) return failing_[address];
        rows = tables_[address];
        return {};
    }
    Outcome WriteInteger(uint32_t address, int object, int value, int* readBack) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failing_.count(address)) return failing_[address];
        auto it = printers_[address].find({object, 0});
        if (it == printers_[address].end() || it->second.type != 2) return Failed();
        it->second.value = std::to_string(value);
        writes.emplace_back(address, object);
        if (readBack) *readBack = value;
        return {};
    }
    int TypeOf(int object) const override { return Objects().TypeCode(object); }

    std::vector<size_t> requestSizes;
    std::vector<std::pair<uint32_t, int>> writes;

private:
    static Outcome Failed()
    {
        Outcome o;
        o.code = qavobj::kCheckFailed;
        return o;
    }

    std::mutex mutex_;
    std::map<uint32_t, std::map<std::pair<int, int>, Object>> printers_;
    std::map<uint32_t, Outcome> failing_;
    std::map<uint32_t, std::deque<std::string>> headStates_;
    std::map<uint32_t, std::vector<std::vector<std::string>>> tables_;
};

EnvPrinter Printer(uint32_t address, const std::string& aux = "VORANTA QAV M-UG2", bool included = true)
{
    EnvPrinter p;
    p.address = address;
    p.included = included;
    p.auxiliaryText = aux;
    return p;
}

EnvReportOptions AllSections(const std::string& file = "/dev/null")
{
    EnvReportOptions o;
    o.fileName = file;
    o.headCheck = o.sysInfo = o.counterInfo = o.diagnosisInfo = o.printerInfo = o.networkInformation = true;
    return o;
}

EnvReportRun NoPauses()
{
    EnvReportRun run;
    run.pause = [](int) {};
    return run;
}

bool HasLabel(const std::vector<EnvLine>& lines, const std::string& label, const std::string& value = {})
{
    for (const EnvLine& l : lines) {
        if (l.text.rfind("  " + label + "\t", 0) == 0 && (value.empty() || l.text.substr(l.text.rfind('\t') + 1) == value))
            return true;
    }
    return false;
}

bool HasText(const std::vector<EnvLine>& lines, int kind, const std::string& text)
{
    return std::find(lines.begin(), lines.end(), EnvLine{kind, text}) != lines.end();
}

// ------------------------------------------------------------------ lines

TEST(EnvLines, LabelsAlignWithTabsToColumnFortyFive)
{
    EXPECT_EQ(LabelLine(std::string(40, 'x'), "v"), "  " + std::string(40, 'x') + "\t:\tv");
    EXPECT_EQ(LabelLine("Model", "v"), "  Model\t\t\t\t\t:\tv"); // (45 - 5) / 8 - 1 = 4
    EXPECT_EQ(LabelLine(std::string(21, 'x'), "v"), "  " + std::string(21, 'x') + "\t\t\t:\tv"); // 2
    EXPECT_EQ(LabelLine(std::string(29, 'x'), "v"), "  " + std::string(29, 'x') + "\t\t:\tv");   // 1
    EXPECT_EQ(LabelLine(std::string(30, 'x'), "v"), "  " + std::string(30, 'x') + "\t:\tv");     // 0
    EXPECT_EQ(LabelLine(std::string(60, 'x'), "v"), "  " + std::string(60, 'x') + "\t:\tv");
    EXPECT_EQ(LabelLine("", "v"), "  \t\t\t\t\t:\tv"); // 45 / 8 - 1 = 4, then "\t:\t"
}

TEST(EnvLines, KindsGiveTheirBytes)
{
    EXPECT_EQ(EnvLineBytes({1, "Title"}), "\n*********************************************\nTitle\n");
    EXPECT_EQ(EnvLineBytes({2, ""}), "\n");
    EXPECT_EQ(EnvLineBytes({2, "x"}), "x\n");
    EXPECT_EQ(EnvLineBytes({3, "x"}), "  x\n");
    EXPECT_EQ(EnvLineBytes({4, "x"}), "x\n");
}

TEST(EnvValues, FormsOfTheValues)
{
    EXPECT_EQ(Tenths("123"), "12.3");
    EXPECT_EQ(Tenths("120"), "12.0");
    EXPECT_EQ(Tenths("7"), "0.7");
    EXPECT_EQ(Tenths("0"), "0.0");
    EXPECT_EQ(Tenths("-5"), "-0.5");
    EXPECT_EQ(Tenths("-123"), "-12.3");
    EXPECT_EQ(Tenths(""), "");

    EXPECT_EQ(HardwareAddressText(std::string("\x02\x80\x92\x4e\x2a\x7f", 6)), "02:80:92:4E:2A:7F");
    EXPECT_EQ(HardwareAddressText(std::string("\x00\x80\x92\x00\x00\x01", 6)), "00:80:92:00:00:01");
    EXPECT_EQ(HardwareAddressText("00 80 92 4E 2A 7F"), "00:80:92:4E:2A:7F"); // the library's hex dump
    EXPECT_EQ(HardwareAddressText("0080924e2a7f"), "00:80:92:4E:2A:7F");
    EXPECT_EQ(HardwareAddressText("00-80-92-4E-2A-7F"), "00:80:92:4E:2A:7F");
    EXPECT_EQ(HardwareAddressText("\x01\x02\x03"), "01:02:03");
    EXPECT_EQ(HardwareAddressText(""), "");

    EXPECT_EQ(FillText("%s mm", "1.5"), "1.5 mm");
    EXPECT_EQ(FillText("Printer error (%d)", "7"), "Printer error (7)");
    EXPECT_EQ(FillText("%s Version", "%d"), "%d Version"); // the value is not a format
    EXPECT_EQ(FillText("no place", "x"), "no place");
}

TEST(EnvValues, ErrorCodesAsTheirTexts)
{
    EXPECT_EQ(ErrorCodeText("0", Language()), T(3000));
    EXPECT_EQ(ErrorCodeText("11", Language()), T(3007));
    EXPECT_EQ(ErrorCodeText("69", Language()), T(3044));
    EXPECT_EQ(ErrorCodeText("82", Language()), T(3047));
    EXPECT_EQ(ErrorCodeText("98", Language()), "Printer error (98)");
    EXPECT_EQ(ErrorCodeText("99", Language()), "Printer error (99)"); // not in the table
    EXPECT_EQ(ErrorCodeText("3", Language()), "Printer error (3)");
    EXPECT_EQ(ErrorCodeText("", Language()), "");
    // A code whose text is missing takes the text of the unknown code.
    qavres::StringTable few;
    few.Set(3028, "E%d");
    EXPECT_EQ(ErrorCodeText("11", few), "E11");
}

// ------------------------------------------------------------ model rules

class EnvSections : public ::testing::Test {
protected:
    void SetUp() override { reader.AddPrinter(kPrinterA); }
    std::vector<EnvLine> Sections(const EnvPrinter& p, const EnvReportOptions& o = AllSections())
    {
        return PrinterSections(p, o, Language(), reader, run);
    }
    FakePrinters reader;
    EnvReportRun run = NoPauses();
};

TEST_F(EnvSections, PrinterHeaderAndSectionTitlesInOrder)
{
    HeadChecks started = {kPrinterA};
    run.headChecks = &started;
    reader.HeadStates(kPrinterA, {"0"});
    const auto lines = Sections(Printer(kPrinterA));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], (EnvLine{4, "\r\n" + std::string(60, '-')}));
    EXPECT_EQ(lines[1], (EnvLine{4, "10.0.1.5"}));
    std::vector<std::string> titles;
    for (const EnvLine& l : lines) {
        if (l.kind == 1) titles.push_back(l.text);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{T(1060), T(1065), T(1070), T(1120), T(1130)}));
}

TEST_F(EnvSections, CountersOfModelRA1AreTheFirstFourOnly)
{
    EnvReportOptions o;
    o.counterInfo = true;
    auto lines = Sections(Printer(kPrinterA), o);
    EXPECT_EQ(lines.size(), 2u + 1 + 20);
    EXPECT_TRUE(HasLabel(lines, T(5112), "21421"));
    EXPECT_TRUE(HasLabel(lines, T(5134), "24141")); // RFID tags written
    EXPECT_TRUE(HasLabel(lines, T(5133), "24161"));

    lines = Sections(Printer(kPrinterA, "VORANTA QAV M-RA1"), o);
    EXPECT_EQ(lines.size(), 2u + 1 + 4);
    for (int id : {5112, 5113, 5114, 5115}) EXPECT_TRUE(HasLabel(lines, T(id))) << id;
    EXPECT_FALSE(HasLabel(lines, T(5116)));
    // Only the exact auxiliary text makes the model.
    lines = Sections(Printer(kPrinterA, "VORANTA QAV M-RA1 label printer"), o);
    EXPECT_EQ(lines.size(), 2u + 1 + 20);
}

TEST_F(EnvSections, DiagnosisFollowsTheModels)
{
    EnvReportOptions o;
    o.diagnosisInfo = true;
    reader.Set(kPrinterA, 25061, "123");
    reader.Set(kPrinterA, 25181, "MAIN  ", 0);
    reader.Set(kPrinterA, 25201, "V1.2  ", 0);
    reader.Set(kPrinterA, 25221, "2024-01-10", 0);
    reader.Set(kPrinterA, 25241, "8A3F", 0);
    reader.Set(kPrinterA, 25181, "BOOT", 1);
    reader.Set(kPrinterA, 25201, "V0.9", 1);
    reader.Set(kPrinterA, 25221, "2023-02-01", 1);
    reader.Set(kPrinterA, 25241, "11C0 ", 1);
    reader.Remove(kPrinterA, 25241, 1); // row 1 ends the table: one of its reads fails

    auto lines = Sections(Printer(kPrinterA), o);
    EXPECT_TRUE(HasLabel(lines, T(5231), "t20001"));
    EXPECT_TRUE(HasLabel(lines, T(5239), "12.3 mm"));
    EXPECT_FALSE(std::any_of(lines.begin(), lines.end(), [](const EnvLine& l) {
        return l.text.size() > 6 && l.text.compare(l.text.size() - 6, 6, "\t25081") == 0;
    })); // read, not written
    EXPECT_TRUE(HasLabel(lines, T(1076), "23401"));
    EXPECT_TRUE(HasLabel(lines, T(1077), "23421"));
    EXPECT_TRUE(HasLabel(lines, T(6106), "23526"));
    EXPECT_TRUE(HasLabel(lines, T(1118), "t23841"));
    EXPECT_TRUE(HasLabel(lines, T(1119), "t23861")); // the 21st object of its list
    EXPECT_TRUE(HasText(lines, 3, T(1163)));
    EXPECT_TRUE(HasText(lines, 4, LabelLine("MAIN Version", "V1.2")));
    EXPECT_TRUE(HasText(lines, 4, LabelLine("MAIN Date", "2024-01-10")));
    EXPECT_TRUE(HasText(lines, 4, LabelLine("MAIN Checksum", "8A3F")));
    EXPECT_FALSE(HasLabel(lines, "BOOT Version"));
    EXPECT_TRUE(HasLabel(lines, T(1141), "24981"));
    for (size_t n : reader.requestSizes) EXPECT_LE(n, 20u);

    // M-RC: the flash storage labels for the font area's objects.
    lines = Sections(Printer(kPrinterA, "VORANTA QAV M-RC6K"), o);
    EXPECT_TRUE(HasLabel(lines, T(6106), "23401"));
    EXPECT_TRUE(HasLabel(lines, T(6107), "23421"));
    EXPECT_FALSE(HasLabel(lines, T(1076)));

    // M-RA1: five memory figures, no network program, no version table.
    lines = Sections(Printer(kPrinterA, "VORANTA QAV M-RA1"), o);
    int memory = 0;
    for (int id : {1071, 1072, 1073, 1074, 1075, 1076, 1077, 1078, 1079, 1080, 1081, 1082, 1083, 6102, 6103, 6104,
                   6105, 6106, 6107}) {
        if (HasLabel(lines, T(id))) ++memory;
    }
    EXPECT_EQ(memory, 5);
    for (int id : {1071, 1080, 1081, 6106, 6107}) EXPECT_TRUE(HasLabel(lines, T(id))) << id;
    EXPECT_FALSE(HasLabel(lines, T(1118)));
    EXPECT_FALSE(HasText(lines, 3, T(1163)));
    EXPECT_TRUE(HasLabel(lines, T(1099), "20081"));
}

TEST_F(EnvSections, PrinterInformationAndItsFailureLines)
{
    EnvReportOptions o;
    o.printerInfo = true;
    reader.Set(kPrinterA, 20901, "13");
    auto lines = Sections(Printer(kPrinterA), o);
    EXPECT_TRUE(HasLabel(lines, T(1122), T(3009)));
    EXPECT_TRUE(HasLabel(lines, T(1121), "t201"));

    struct {
        qavobj::Step step;
        std::string line;
    } const failures[] = {
        {qavobj::Step::kCreate, "CQBPTrans Constructor Error Return Code = -150 , Error Code = -7"},
        {qavobj::Step::kOpen, "Open Error Return Code = -150 , Error Code = -7"},
        {qavobj::Step::kExchange, "get Object Return Code = -150 , Error Code = -7"},
        {qavobj::Step::kCommunity, "SetCommunity failed"},
    };
    for (const auto& f : failures) {
        Outcome out;
        out.code = QBP_INVALID_ARGUMENT;
        out.lastError = -7;
        out.failedStep = f.step;
        reader.Fail(kPrinterB, out);
        lines = Sections(Printer(kPrinterB), o);
        EXPECT_EQ(lines, (std::vector<EnvLine>{{4, "\r\n" + std::string(60, '-')}, {4, "10.0.1.6"}, {1, T(1120)},
                                               {3, f.line}}));
    }
}

TEST_F(EnvSections, NetworkInformationFindsTheOwnAddressInTheTable)
{
    EnvReportOptions o;
    o.networkInformation = true;
    reader.Set(kPrinterA, 441, std::string("\x02\x80\x92\x01\x02\x03", 6));
    reader.Table(kPrinterA, {{"10.0.0.9", "255.0.0.0"}, {"10.0.1.5", "255.255.255.0"}, {"10.0.2.1", "255.255.0.0"}});
    const auto lines = Sections(Printer(kPrinterA), o);
    std::vector<EnvLine> head(lines.begin() + 3, lines.begin() + 8);
    EXPECT_EQ(head, (std::vector<EnvLine>{{4, LabelLine(T(5600), "t401")},
                                          {4, LabelLine(T(5601), "421")},
                                          {4, LabelLine(T(5604), "02:80:92:01:02:03")},
                                          {4, LabelLine(T(5602), "10.0.1.5")},
                                          {4, LabelLine(T(5603), "255.255.255.0")}}));
    EXPECT_TRUE(HasLabel(lines, T(5615), "621"));
    EXPECT_TRUE(HasLabel(lines, T(5637), "341"));
    EXPECT_FALSE(HasLabel(lines, T(5617)));
}

// A printer that does not answer keeps the lines that need no answer.
TEST_F(EnvSections, UnreachablePrinterGetsWhatNeedsNoAnswer)
{
    Outcome timeout;
    timeout.code = QBP_SNMP_TIMEOUT;
    timeout.lastError = QBP_SNMP_TIMEOUT;
    timeout.failedStep = qavobj::Step::kExchange;
    reader.Fail(kPrinterB, timeout);
    HeadChecks none;
    run.headChecks = &none;
    const auto lines = Sections(Printer(kPrinterB, ""));
    EXPECT_EQ(lines, (std::vector<EnvLine>{{4, "\r\n" + std::string(60, '-')},
                                           {4, "10.0.1.6"},
                                           {1, T(1060)},
                                           {3, T(389)},
                                           {1, T(1065)},
                                           {1, T(1070)},
                                           {3, T(1163)},
                                           {1, T(1120)},
                                           {3, "get Object Return Code = -104 , Error Code = -104"},
                                           {1, T(1130)},
                                           {4, LabelLine(T(5602), "10.0.1.6")}}));
}

// ------------------------------------------------------------- head check

TEST_F(EnvSections, HeadStateIsReadWhileTheCheckRuns)
{
    EnvReportOptions o;
    o.headCheck = true;
    HeadChecks started = {kPrinterA};
    run.headChecks = &started;
    int pauses = 0;
    run.pause = [&](int ms) {
        EXPECT_EQ(ms, 200);
        ++pauses;
    };
    auto result = [&](std::deque<std::string> states) {
        reader.HeadStates(kPrinterA, std::move(states));
        const auto lines = Sections(Printer(kPrinterA), o);
        return std::vector<EnvLine>(lines.begin() + 2, lines.end());
    };
    EXPECT_EQ(result({"-1", "-1", "1"}), (std::vector<EnvLine>{{1, T(1060)}, {3, T(1061)}}));
    EXPECT_EQ(pauses, 2);
    EXPECT_EQ(result({"0"}), (std::vector<EnvLine>{{1, T(1060)}, {3, T(1062)}}));
    // Six reads at most; a check still running leaves no line.
    pauses = 0;
    EXPECT_EQ(result({"-1", "-1", "-1", "-1", "-1", "-1", "0"}), (std::vector<EnvLine>{{1, T(1060)}}));
    EXPECT_EQ(pauses, 5);
    EXPECT_EQ(result({"7"}), (std::vector<EnvLine>{{1, T(1060)}}));
    EXPECT_EQ(result({"-1", "unreadable"}), (std::vector<EnvLine>{{1, T(1060)}, {3, T(393)}}));
    started.clear();
    EXPECT_EQ(result({"1"}), (std::vector<EnvLine>{{1, T(1060)}, {3, T(389)}}));
    // Only the report after the head checks has the section.
    run.headChecks = nullptr;
    EXPECT_TRUE(result({"1"}).empty());
}

TEST(EnvHeadChecks, StartedWhereThePrinterIsReady)
{
    FakePrinters reader;
    const uint32_t ready = 0x0A000001, busy = 0x0A000002, excluded = 0x0A000003, odd = 0x0A000004,
                   silent = 0x0A000005;
    for (uint32_t a : {ready, busy, excluded, odd, silent}) reader.AddPrinter(a);
    reader.Set(ready, 20901, "0");
    reader.Set(busy, 20901, "4"); // paused
    reader.Set(excluded, 20901, "0");
    reader.Set(odd, 20901, "0");
    reader.Remove(odd, 20881);
    Outcome timeout;
    timeout.code = QBP_SNMP_TIMEOUT;
    reader.Fail(silent, timeout);
    const std::vector<EnvPrinter> printers = {Printer(ready), Printer(busy), Printer(excluded, "", false),
                                              Printer(odd), Printer(silent)};
    EXPECT_EQ(StartHeadChecks(printers, reader), HeadChecks{ready});
    EXPECT_EQ(reader.writes, (std::vector<std::pair<uint32_t, int>>{{ready, 20881}}));
}

// ----------------------------------------------------------------- report

class EnvReportFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        system.computerName = "host-1";
        system.userName = "operator";
        system.processor = "Test CPU @ 2.0GHz";
        system.osLine = "OS : Debian GNU/Linux 12 (bookworm) x64";
        system.totalMemory = 8000000000;
        system.availableMemory = 5000000000;
        run = NoPauses();
        run.time = 1749637820; // 2025-06-11 10:30:20 UTC
        run.system = &system;
        for (uint32_t a : {kPrinterA, kPrinterB}) reader.AddPrinter(a);
    }
    void TearDown() override
    {
        ::unsetenv("TZ");
        ::tzset();
    }
    FakePrinters reader;
    SystemInfo system;
    EnvReportRun run;
    qavtest::TempDir dir;
};

TEST_F(EnvReportFile, HeaderSystemSectionAndTheIncludedPrintersInListOrder)
{
    EnvReportOptions o;
    o.fileName = dir.File("env.log");
    o.sysInfo = true;
    o.printerInfo = true;
    const std::vector<EnvPrinter> printers = {Printer(kPrinterB), Printer(0x0A000107, "", false), Printer(kPrinterA)};
    const EnvReportResult r = WriteEnvReport(o, printers, Language(), reader, run);
    EXPECT_EQ(r.printers, 3);
    EXPECT_EQ(r.included, 2);
    EXPECT_EQ(r.linesLost, 0);
    const std::string rule(60, '=');
    const std::string printer = "\r\n" + std::string(60, '-') + "\n";
    auto info = [&](const std::string& address) {
        return printer + address + "\n\n" + std::string(45, '*') + "\nPrinter Information\n" +
               LabelLine(T(1121), "t201") + "\n" + LabelLine(T(1122), "Printer error (20901)") + "\n" +
               LabelLine(T(1123), "t81") + "\n" + LabelLine(T(1124), "t221") + "\n" +
               LabelLine(T(1125), "t20781") + "\n" + LabelLine(T(1126), "t20801") + "\n" +
               LabelLine(T(1127), "t20821") + "\n";
    };
    const std::string expected =
        rule + "\nEnvironmantal log\t\t2025-06-11 10:30:20\n" + rule + "\n" + "\n" + std::string(45, '*') +
        "\nSystem Information\n"
        "  Computer name:\thost-1\n"
        "  User name:\toperator\n"
        "  Processor: Test CPU @ 2.0GHz\n"
        "  OS : Debian GNU/Linux 12 (bookworm) x64\n"
        "  Total Physical Memory = 8000000000 Bytes\n"
        "  Total Available Memory = 5000000000 Bytes\n" +
        info("10.0.1.6") + info("10.0.1.5") + "\n";
    EXPECT_EQ(qavtest::ReadFile(o.fileName), expected);
    EXPECT_EQ(r.lines, 3 + 6 + 2 * 10 + 1);

    // A second report is appended.
    WriteEnvReport(o, printers, Language(), reader, run);
    EXPECT_EQ(qavtest::ReadFile(o.fileName), expected + expected);
}

TEST_F(EnvReportFile, TheProcessorKindStandsInForAMissingBrand)
{
    system.processor.clear();
    system.processorFamily = 5;
    auto lines = SystemSection(system, Language());
    EXPECT_TRUE(HasText(lines, 3, T(1057) + T(1055)));
    system.processorFamily = 0;
    lines = SystemSection(system, Language());
    EXPECT_TRUE(HasText(lines, 3, T(1057) + T(1056)));
}

// The file is trimmed before every line: it never holds much more than its
// maximum, and what it holds is the end of the report, in whole lines.
TEST_F(EnvReportFile, TrimmedWhileWriting)
{
    EnvReportOptions full;
    full.fileName = dir.File("full.log");
    full.counterInfo = full.printerInfo = true;
    EnvReportOptions capped = full;
    capped.fileName = dir.File("capped.log");
    capped.maximumBytes = 1024;
    std::vector<EnvPrinter> printers;
    for (int i = 0; i < 6; ++i) printers.push_back(Printer(i % 2 ? kPrinterA : kPrinterB));
    const EnvReportResult a = WriteEnvReport(full, printers, Language(), reader, run);
    const EnvReportResult b = WriteEnvReport(capped, printers, Language(), reader, run);
    EXPECT_EQ(a.lines, b.lines);
    const std::string whole = qavtest::ReadFile(full.fileName);
    const std::string kept = qavtest::ReadFile(capped.fileName);
    ASSERT_GT(whole.size(), 4u * 1024);
    EXPECT_LE(kept.size(), 1024u + 120);
    EXPECT_GT(kept.size(), 512u);
    ASSERT_LT(kept.size(), whole.size());
    EXPECT_EQ(whole.substr(whole.size() - kept.size()), kept);
    EXPECT_EQ(whole[whole.size() - kept.size() - 1], '\n');
}

// A full log is cut to an eighth under its maximum, as the trap log is, so
// that a long report does not rewrite the whole file for every line.
TEST_F(EnvReportFile, AFullLogIsRewrittenOncePerManyLines)
{
    const long maximum = 8192;
    const std::string path = dir.File("full.log");
    std::string old;
    for (int i = 0; old.size() < static_cast<size_t>(maximum); ++i) old += "older line " + std::to_string(i) + "\n";
    old.resize(maximum); // exactly the maximum: not trimmed yet
    old.back() = '\n';
    qavtest::WriteFile(path, old);
    const EnvLogFile file(path, maximum);
    const EnvLine line{4, "  " + std::string(35, 'x')}; // 38 bytes with its end of line
    const size_t lineBytes = EnvLineBytes(line).size();

    int trims = 0;
    size_t size = old.size();
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(file.Write(line));
        const size_t now = qavtest::ReadFile(path).size();
        if (now != size + lineBytes) {
            ++trims;
            EXPECT_LE(now, static_cast<size_t>(maximum - maximum / 8) + lineBytes) << "line " << i;
        }
        EXPECT_LE(now, static_cast<size_t>(maximum) + lineBytes) << "line " << i;
        size = now;
    }
    EXPECT_GE(trims, 2);
    EXPECT_LE(trims, 5);
    // What is left ends with whole lines of the report.
    const std::string kept = qavtest::ReadFile(path);
    EXPECT_EQ(kept.substr(kept.size() - lineBytes), EnvLineBytes(line));
}

// An administrator may give both logs the same file. The report is written
// on a worker thread while traps are logged on the window thread: a trim by
// one writer must not drop a line the other appended meanwhile. Each
// writer's lines in the file are an unbroken run, whenever it is looked at.
TEST_F(EnvReportFile, ATrapLogSharingTheFileLosesNoLine)
{
    const std::string path = dir.File("shared.log");
    const long maximum = 8192;
    const int count = 3000;
    // The first number missing between two lines of a writer, or -1. A line
    // still being written at the end is not looked at.
    auto firstGap = [](const std::string& text, const std::string& writer) {
        std::istringstream lines(text.substr(0, text.rfind('\n') + 1));
        std::string line;
        int last = -1;
        while (std::getline(lines, line)) {
            const size_t at = line.find(writer + " ");
            if (at == std::string::npos) continue;
            const int n = std::atoi(line.c_str() + at + writer.size() + 1);
            if (last >= 0 && n != last + 1) return last + 1;
            last = n;
        }
        return -1;
    };
    CNWATCHLogger::CreateLogger(path);
    // Neither writer runs more than a few lines ahead of the other.
    std::atomic<int> envDone{0}, trapsDone{0};
    auto keepPace = [](const std::atomic<int>& other, int i) {
        while (other.load() + 4 < i) std::this_thread::yield();
    };
    std::thread traps([&] {
        for (int i = 0; i < count; ++i) {
            keepPace(envDone, i);
            CNWATCHLogger::LogLine(path, maximum, "trap " + std::to_string(i));
            ++trapsDone;
        }
    });
    const EnvLogFile file(path, maximum);
    int envGap = -1, trapGap = -1;
    for (int i = 0; i < count; ++i) {
        keepPace(trapsDone, i);
        file.Write({3, "env " + std::to_string(i)});
        ++envDone;
        const std::string text = qavtest::ReadFile(path);
        if (envGap < 0) envGap = firstGap(text, "env");
        if (trapGap < 0) trapGap = firstGap(text, "trap");
    }
    traps.join();
    CNWATCHLogger::DestroyLogger();
    EXPECT_EQ(envGap, -1) << "report line lost";
    EXPECT_EQ(trapGap, -1) << "trap line lost";
    const std::string text = qavtest::ReadFile(path);
    EXPECT_NE(text.find("  env " + std::to_string(count - 1) + "\n"), std::string::npos);
    EXPECT_NE(text.find(",trap " + std::to_string(count - 1) + "\n"), std::string::npos);
}

TEST_F(EnvReportFile, ALineThatCannotBeWrittenIsLostAlone)
{
    EnvReportOptions o = AllSections(dir.File("no-such-folder/env.log"));
    const EnvReportResult r = WriteEnvReport(o, {Printer(kPrinterA)}, Language(), reader, run);
    EXPECT_EQ(r.lines, 0);
    EXPECT_GT(r.linesLost, 100);
    EXPECT_EQ(r.included, 1);
}

TEST_F(EnvReportFile, AStopEndsTheReportBeforeTheNextPrinter)
{
    std::atomic<bool> stop{true};
    run.stop = &stop;
    EnvReportOptions o = AllSections(dir.File("env.log"));
    const EnvReportResult r = WriteEnvReport(o, {Printer(kPrinterA), Printer(kPrinterB)}, Language(), reader, run);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.included, 0);
    EXPECT_EQ(qavtest::ReadFile(o.fileName).find("10.0.1.5"), std::string::npos);
}

TEST(EnvReportSettings, SectionsAndSizeFromTheSettings)
{
    qavsettings::EnvironmentalLogConfig s;
    s.filename = "/var/log/env.log";
    s.maximumSize = 64;
    s.headCheck = 1;
    s.sysInfo = 0;
    s.counterInfo = -1;
    s.diagnosisInfo = 1;
    const EnvReportOptions o = EnvReportOptions::FromSettings(s);
    EXPECT_EQ(o.fileName, "/var/log/env.log");
    EXPECT_EQ(o.maximumBytes, 64 * 1024);
    EXPECT_TRUE(o.headCheck);
    EXPECT_FALSE(o.sysInfo);
    EXPECT_FALSE(o.counterInfo);
    EXPECT_TRUE(o.diagnosisInfo);
    EXPECT_FALSE(o.printerInfo);
    s.maximumSize = 0;
    EXPECT_EQ(EnvReportOptions::FromSettings(s).maximumBytes, 0);
}

} // namespace

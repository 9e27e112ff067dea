#include "nwatch/EnvReport.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "ncomm/CQBPVb.h"
#include "ncomm/QBPResult.h"
#include "nlist/Nlist.h"
#include "nwatch/Notification.h"
#include "nwatch/StatusReaders.h"
#include "nwatch/TrapLogger.h"
#include "qavplatform/Address.h"
#include "qavres/Resources.h"

namespace nwatch {

namespace {

// Object numbers the report reads beyond its tables.
constexpr int kHeadCheckObject = 20881;
constexpr int kErrorCodeObject = 20901;
constexpr int kHeadStateObject = 20941;
constexpr int kAddressColumn = 661;
constexpr int kMaskColumn = 681;
constexpr int kStopPosition = 25061;
constexpr int kBackfeed = 25081;

// An object and the label its value is written under.
struct Pair {
    int object;
    int label;
};

// Counter information: the first four pairs for every printer, the rest
// not for M-RA1.
constexpr Pair kCounters[] = {
    {21421, 5112}, {21441, 5113}, {21461, 5114}, {21481, 5115}, {21501, 5116},
    {21521, 5117}, {21541, 5118}, {21561, 5119}, {21581, 5120}, {21601, 5121},
    {23881, 6000}, {23901, 6001}, {23921, 6002}, {23941, 6003}, {23961, 6004},
    {23981, 6005}, {24001, 6006}, {24021, 6007}, {24141, 5134}, {24161, 5133},
};
constexpr int kCountersForRA1 = 4;

// Diagnosis information, first the settings. 25061 (in tenths, under 5239 with text 5240
// as its form) and 25081 (read, not written) follow these.
constexpr Pair kSettings[] = {
    {20001, 5231}, {20701, 5232}, {20721, 5233}, {20681, 5234},
    {20641, 5236}, {20661, 5237}, {20741, 5235}, {20761, 5238},
};
constexpr int kStopPositionLabel = 5239;
constexpr int kStopPositionForm = 5240;

// Diagnosis information: memory sizes, with the M-RC models' own labels for the
// flash storage and whether M-RA1 has the object.
struct MemoryRow {
    int object;
    int label;
    int labelRC;
    bool ra1;
};
constexpr MemoryRow kMemory[] = {
    {20421, 1071, 1071, true},   {23321, 1072, 1072, false},  {23341, 1073, 1073, false},
    {23361, 1074, 1074, false},  {23381, 1075, 1075, false},  {23401, 1076, 6106, false},
    {23421, 1077, 6107, false},  {23441, 1078, 1078, false},  {23461, 1079, 1079, false},
    {23481, 1080, 1080, true},   {23501, 1081, 1081, true},   {23521, 1082, 1082, false},
    {23541, 1083, 1083, false},  {26281, 6102, 6102, false},  {26301, 6103, 6103, false},
    {26321, 6104, 6104, false},  {26341, 6105, 6105, false},  {23526, 6106, 6106, true},
    {23546, 6107, 6107, true},
};

// Diagnosis information: identity and firmware. The last two not for M-RA1,
// which has no version table either.
constexpr Pair kFirmware[] = {
    {20101, 1084}, {20121, 1085}, {20141, 1086}, {20161, 1087}, {20181, 1088},
    {20201, 1089}, {20221, 1090}, {20241, 1091}, {20261, 1092}, {20281, 1093},
    {20301, 1094}, {20321, 1095}, {20341, 1096}, {20361, 1097}, {20381, 1098},
    {26561, 1160}, {26581, 1161}, {26601, 1162}, {20081, 1099},
};
constexpr Pair kNetworkProgram[] = {{23841, 1118}, {23861, 1119}};
// The version table: a row r is objects 25181 (the name), 25201, 25221,
// 25241 at instance r.
constexpr int kVersionTitle = 1163;
constexpr int kVersionName = 25181;
constexpr int kVersionColumns[] = {25201, 25221, 25241};
constexpr const char* kVersionLabels[] = {"%s Version", "%s Date", "%s Checksum"};
// Rows beyond these are not asked for: a printer's program table and its
// address table are short.
constexpr int kMaxVersionRows = 64;
constexpr int kMaxAddressRows = 64;

// Diagnosis information, last the maintenance counters in tenths.
constexpr Pair kMaintenance[] = {
    {21061, 1100}, {21081, 1101}, {21101, 1102}, {21121, 1103}, {21141, 1104},
    {21161, 1105}, {21181, 1106}, {21201, 1107}, {21221, 1108}, {21241, 1109},
    {21261, 1110}, {21281, 1111}, {21301, 1112}, {21321, 1113}, {21341, 1114},
    {21361, 1115}, {21381, 1116}, {21401, 1117}, {24961, 1140}, {24981, 1141},
};

// Printer information; the error code (20901) is written as its text.
constexpr Pair kPrinterInfo[] = {
    {201, 1121}, {20901, 1122}, {81, 1123}, {221, 1124}, {20781, 1125}, {20801, 1126}, {20821, 1127},
};

// Network information: (a) the interface, then the printer's own address
// and its mask from the address table; (b) IP and ICMP input; (c) the rest.
constexpr int kBoardObject = 401, kBoardLabel = 5600;
constexpr int kTypeObject = 421, kTypeLabel = 5601;
constexpr int kMacObject = 441, kMacLabel = 5604;
constexpr int kAddressLabel = 5602, kMaskLabel = 5603;
constexpr Pair kNetworkB[] = {{621, 5615}, {641, 5616}, {701, 5618}, {721, 5619}, {741, 5620}};
constexpr Pair kNetworkC[] = {
    {761, 5621}, {781, 5622}, {801, 5624}, {821, 5625}, {841, 5627}, {861, 5628}, {241, 5630},
    {321, 5631}, {361, 5632}, {381, 5633}, {261, 5634}, {281, 5635}, {301, 5636}, {341, 5637},
};

// The printer's error code and its text.
constexpr struct {
    int code;
    int text;
} kErrorCodeTexts[] = {
    {0, 3000},  {1, 3001},  {2, 3002},  {4, 3003},  {5, 3004},  {6, 3005},  {7, 3006},  {11, 3007},
    {12, 3008}, {13, 3009}, {14, 3010}, {15, 3011}, {17, 3012}, {18, 3013}, {21, 3014}, {24, 3015},
    {27, 3016}, {28, 3017}, {29, 3018}, {40, 3019}, {41, 3020}, {50, 3021}, {51, 3022}, {54, 3023},
    {55, 3024}, {61, 3025}, {62, 3026}, {22, 3029}, {23, 3030}, {36, 3031}, {66, 3032}, {67, 3033},
    {68, 3034}, {69, 3044}, {70, 3035}, {71, 3036}, {72, 3037}, {73, 3038}, {74, 3039}, {75, 3040},
    {76, 3041}, {77, 3042}, {78, 3043}, {80, 3045}, {81, 3046}, {82, 3047}, {98, 3028},
};
constexpr int kOtherErrorCodeText = 3028;

// Section titles and texts.
constexpr int kSystemTitle = 1050, kComputerLabel = 1051, kUserLabel = 1052, kProcessorLabel = 1057;
constexpr int kHeadCheckTitle = 1060, kHeadFaulty = 1061, kHeadGood = 1062, kHeadNotStarted = 389,
              kHeadUnread = 393;
constexpr int kCounterTitle = 1065, kDiagnosisTitle = 1070, kPrinterTitle = 1120, kNetworkTitle = 1130;
// Processor kinds without a brand string.
constexpr int kProcessor386 = 1053, kProcessor486 = 1054, kProcessor586 = 1055, kProcessorOther = 1056;

// Reads of the head state while the check still runs (-1), and the pause
// between them.
constexpr int kHeadStateReads = 6;
constexpr int kHeadStatePauseMs = 200;

const std::string kRule(60, '=');
const std::string kPrinterRule = "\r\n" + std::string(60, '-');
const std::string kTitleRule(45, '*');

std::string Format(const char* form, int a, int b)
{
    char text[160];
    std::snprintf(text, sizeof text, form, a, b);
    return text;
}

std::string TrimRight(std::string s)
{
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// Builds a section's lines.
class Lines {
public:
    explicit Lines(const qavres::StringTable& language) : language_(language) {}
    void Title(int id) { lines_.push_back({1, language_.Get(id)}); }
    void Indented(const std::string& text) { lines_.push_back({3, text}); }
    void Plain(const std::string& text) { lines_.push_back({4, text}); }
    void Label(const std::string& label, const std::string& value)
    {
        if (!value.empty()) lines_.push_back({4, LabelLine(label, value)});
    }
    void Label(int id, const std::string& value) { Label(language_.Get(id), value); }
    const std::string& Text(int id) const { return language_.Get(id); }
    std::vector<EnvLine>& All() { return lines_; }

private:
    const qavres::StringTable& language_;
    std::vector<EnvLine> lines_;
};

std::vector<qavobj::ObjectRequest> ObjectList(const EnvPrinterReader& reader, std::initializer_list<int> objects)
{
    std::vector<qavobj::ObjectRequest> out;
    for (int object : objects) out.emplace_back(reader.TypeOf(object), object);
    return out;
}

template <size_t N>
std::vector<qavobj::ObjectRequest> Requests(const EnvPrinterReader& reader, const Pair (&pairs)[N], size_t count = N)
{
    std::vector<qavobj::ObjectRequest> out;
    for (size_t i = 0; i < count && i < N; ++i) out.emplace_back(reader.TypeOf(pairs[i].object), pairs[i].object);
    return out;
}

// Reads a list of any length, 20 objects a request. The outcome of the
// first request that failed, else of the last one.
qavobj::Outcome ReadAll(EnvPrinterReader& reader, uint32_t address, std::vector<qavobj::ObjectRequest>& requests)
{
    if (requests.size() <= static_cast<size_t>(qavobj::kMaxObjects)) return reader.ReadObjects(address, requests);
    qavobj::Outcome result;
    for (size_t from = 0; from < requests.size(); from += qavobj::kMaxObjects) {
        const size_t to = std::min(requests.size(), from + qavobj::kMaxObjects);
        std::vector<qavobj::ObjectRequest> part(requests.begin() + from, requests.begin() + to);
        const qavobj::Outcome out = reader.ReadObjects(address, part);
        std::copy(part.begin(), part.end(), requests.begin() + from);
        if (result.ok()) result = out;
    }
    return result;
}

const std::string& ValueOf(const std::vector<qavobj::ObjectRequest>& requests, int object)
{
    static const std::string none;
    for (const auto& r : requests) {
        if (r.object == object) return r.answered ? r.value : none;
    }
    return none;
}

void HeadCheckSection(Lines& out, const EnvPrinter& p, EnvPrinterReader& reader, const EnvReportRun& run)
{
    out.Title(kHeadCheckTitle);
    if (!run.headChecks->count(p.address)) {
        out.Indented(out.Text(kHeadNotStarted));
        return;
    }
    std::string state;
    for (int i = 0; i < kHeadStateReads; ++i) {
        if (i > 0) {
            if (run.pause) {
                run.pause(kHeadStatePauseMs);
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(kHeadStatePauseMs));
            }
        }
        auto r = ObjectList(reader, {kHeadStateObject});
        if (!reader.ReadObjects(p.address, r).ok() || !r[0].answered) {
            out.Indented(out.Text(kHeadUnread));
            return;
        }
        state = r[0].value;
        if (state != "-1") break;
    }
    const std::string& text = state == "1" ? out.Text(kHeadFaulty) : state == "0" ? out.Text(kHeadGood) : std::string();
    if (!text.empty()) out.Indented(text);
}

void CounterSection(Lines& out, const EnvPrinter& p, EnvPrinterReader& reader)
{
    out.Title(kCounterTitle);
    auto r = Requests(reader, kCounters);
    reader.ReadObjects(p.address, r);
    const size_t count = IsModelRA1(p) ? kCountersForRA1 : std::size(kCounters);
    for (size_t i = 0; i < count; ++i) out.Label(kCounters[i].label, ValueOf(r, kCounters[i].object));
}

void VersionTable(Lines& out, const EnvPrinter& p, EnvPrinterReader& reader)
{
    out.Indented(out.Text(kVersionTitle));
    for (int row = 0; row < kMaxVersionRows; ++row) {
        std::string name;
        if (!reader.ReadInstance(p.address, kVersionName, row, name).ok()) return;
        name = TrimRight(name);
        std::string values[3];
        for (int c = 0; c < 3; ++c) {
            if (!reader.ReadInstance(p.address, kVersionColumns[c], row, values[c]).ok()) return;
        }
        for (int c = 0; c < 3; ++c) out.Label(FillText(kVersionLabels[c], name), TrimRight(values[c]));
    }
}

void DiagnosisSection(Lines& out, const EnvPrinter& p, EnvPrinterReader& reader)
{
    const bool ra1 = IsModelRA1(p);
    const bool rc = IsModelRC(p);
    out.Title(kDiagnosisTitle);

    auto settings = Requests(reader, kSettings);
    for (int object : {kStopPosition, kBackfeed}) settings.emplace_back(reader.TypeOf(object), object);
    reader.ReadObjects(p.address, settings);
    for (const Pair& pair : kSettings) out.Label(pair.label, ValueOf(settings, pair.object));
    const std::string stop = Tenths(ValueOf(settings, kStopPosition));
    if (!stop.empty()) out.Label(kStopPositionLabel, FillText(out.Text(kStopPositionForm), stop));

    std::vector<qavobj::ObjectRequest> memory;
    for (const MemoryRow& row : kMemory) memory.emplace_back(reader.TypeOf(row.object), row.object);
    reader.ReadObjects(p.address, memory);
    for (const MemoryRow& row : kMemory) {
        if (ra1 && !row.ra1) continue;
        out.Label(rc ? row.labelRC : row.label, ValueOf(memory, row.object));
    }

    // 21 objects for all but M-RA1: more than one request holds.
    auto firmware = Requests(reader, kFirmware);
    if (!ra1) {
        for (const Pair& pair : kNetworkProgram) firmware.emplace_back(reader.TypeOf(pair.object), pair.object);
    }
    ReadAll(reader, p.address, firmware);
    for (const Pair& pair : kFirmware) out.Label(pair.label, ValueOf(firmware, pair.object));
    if (!ra1) {
        for (const Pair& pair : kNetworkProgram) out.Label(pair.label, ValueOf(firmware, pair.object));
        VersionTable(out, p, reader);
    }

    auto maintenance = Requests(reader, kMaintenance);
    reader.ReadObjects(p.address, maintenance);
    for (const Pair& pair : kMaintenance) out.Label(pair.label, ValueOf(maintenance, pair.object));
}

// The line for a read that failed before the printer answered.
std::string FailureLine(const qavobj::Outcome& out)
{
    switch (out.failedStep) {
    case qavobj::Step::kCreate:
        return Format("CQBPTrans Constructor Error Return Code = %d , Error Code = %d", out.code, out.lastError);
    case qavobj::Step::kCommunity: return "SetCommunity failed";
    case qavobj::Step::kOpen:
        return Format("Open Error Return Code = %d , Error Code = %d", out.code, out.lastError);
    default: return Format("get Object Return Code = %d , Error Code = %d", out.code, out.lastError);
    }
}

void PrinterInfoSection(Lines& out, const EnvPrinter& p, const qavres::StringTable& language,
                        EnvPrinterReader& reader)
{
    out.Title(kPrinterTitle);
    auto r = Requests(reader, kPrinterInfo);
    const qavobj::Outcome outcome = reader.ReadObjects(p.address, r);
    if (!outcome.ok()) {
        out.Indented(FailureLine(outcome));
        return;
    }
    for (const Pair& pair : kPrinterInfo) {
        const std::string& value = ValueOf(r, pair.object);
        out.Label(pair.label, pair.object == kErrorCodeObject ? ErrorCodeText(value, language) : value);
    }
}

// The mask the printer's address table holds for its own address.
std::string OwnMask(const EnvPrinter& p, EnvPrinterReader& reader)
{
    std::vector<qavobj::ObjectRequest> columns = ObjectList(reader, {kAddressColumn, kMaskColumn});
    std::vector<std::vector<std::string>> rows;
    reader.ReadTable(p.address, columns, rows);
    const std::string own = qavplatform::AddressText(p.address);
    for (const auto& row : rows) {
        if (row.size() == 2 && row[0] == own) return row[1];
    }
    return std::string();
}

void NetworkSection(Lines& out, const EnvPrinter& p, EnvPrinterReader& reader)
{
    out.Title(kNetworkTitle);
    auto a = ObjectList(reader, {kBoardObject, kTypeObject, kMacObject});
    reader.ReadObjects(p.address, a);
    out.Label(kBoardLabel, ValueOf(a, kBoardObject));
    out.Label(kTypeLabel, ValueOf(a, kTypeObject));
    out.Label(kMacLabel, HardwareAddressText(ValueOf(a, kMacObject)));
    out.Label(kAddressLabel, qavplatform::AddressText(p.address));
    out.Label(kMaskLabel, OwnMask(p, reader));

    auto b = Requests(reader, kNetworkB);
    reader.ReadObjects(p.address, b);
    for (const Pair& pair : kNetworkB) out.Label(pair.label, ValueOf(b, pair.object));
    auto c = Requests(reader, kNetworkC);
    reader.ReadObjects(p.address, c);
    for (const Pair& pair : kNetworkC) out.Label(pair.label, ValueOf(c, pair.object));
}

bool Stopped(const std::atomic<bool>* stop) { return stop && stop->load(); }

std::string HeaderTime(std::time_t when)
{
    std::tm tm{};
    ::localtime_r(&when, &tm);
    char text[80];
    std::strftime(text, sizeof text, "Environmantal log\t\t%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

} // namespace

// ------------------------------------------------------------ line writer

std::string EnvLineBytes(const EnvLine& line)
{
    switch (line.kind) {
    case 1: return "\n" + kTitleRule + "\n" + line.text + "\n";
    case 3: return "  " + line.text + "\n";
    default: return line.text + "\n"; // 2 and 4; an empty kind 2 is an empty line
    }
}

bool EnvLogFile::Write(const EnvLine& line) const
{
    // Over its maximum the file is cut to a little under it, as the trap
    // log is, and under the same lock, since both logs may share a file
    // and the report is written off the window thread. A file that cannot
    // be trimmed (or does not exist yet) is appended to as it is.
    return AppendLogLine(path_, maximumBytes_, EnvLineBytes(line));
}

std::string LabelLine(const std::string& label, const std::string& value)
{
    const int tabs = (45 - static_cast<int>(label.size())) / 8 - 1;
    return "  " + label + std::string(tabs > 0 ? tabs : 0, '\t') + "\t:\t" + value;
}

// ---------------------------------------------------------- value formats

std::string FillText(const std::string& text, const std::string& value)
{
    size_t at = text.find("%s");
    const size_t d = text.find("%d");
    if (at == std::string::npos || (d != std::string::npos && d < at)) at = d;
    if (at == std::string::npos) return text;
    return text.substr(0, at) + value + text.substr(at + 2);
}

std::string ErrorCodeText(const std::string& value, const qavres::StringTable& language)
{
    if (value.empty()) return std::string();
    const int code = static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
    for (const auto& row : kErrorCodeTexts) {
        if (row.code == code && row.text != kOtherErrorCodeText && !language.Get(row.text).empty())
            return language.Get(row.text);
    }
    return FillText(language.Get(kOtherErrorCodeText), std::to_string(code));
}

std::string Tenths(const std::string& value)
{
    if (value.empty()) return std::string();
    const long long n = std::strtoll(value.c_str(), nullptr, 10);
    const unsigned long long magnitude = n < 0 ? 0ULL - static_cast<unsigned long long>(n) : n;
    return (n < 0 ? "-" : "") + std::to_string(magnitude / 10) + "." + std::to_string(magnitude % 10);
}

std::string HardwareAddressText(const std::string& value)
{
    auto bytes = [](const std::string& raw) {
        std::string out;
        char hex[4];
        for (unsigned char c : raw) {
            std::snprintf(hex, sizeof hex, "%02X", c);
            if (!out.empty()) out += ':';
            out += hex;
        }
        return out;
    };
    if (value.empty()) return std::string();
    if (value.size() == 6) return bytes(value);
    // Hex digit pairs with or without separators.
    std::string digits;
    bool pairs = true;
    size_t run = 0;
    for (char c : value) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            ++run;
        } else if (c == ' ' || c == ':' || c == '-' || c == '.') {
            if (run % 2 != 0) pairs = false;
            run = 0;
        } else {
            pairs = false;
        }
    }
    if (run % 2 != 0) pairs = false;
    if (!pairs || digits.empty()) return bytes(value);
    std::string out;
    for (size_t i = 0; i < digits.size(); i += 2) {
        if (i) out += ':';
        out += digits.substr(i, 2);
    }
    return out;
}

// --------------------------------------------------------------- printers

std::vector<EnvPrinter> EnvPrintersFromDeviceList()
{
    std::vector<EnvPrinter> out;
    for (int i = 0; i < GetListDataSize(); ++i) {
        EnvPrinter p;
        int kind = 0;
        char aux[260] = {};
        if (!GetListDataDetails(i, &kind, &p.address, nullptr, 0, nullptr, &p.errorCode, nullptr, 0, aux, sizeof aux,
                                nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0,
                                nullptr, nullptr, nullptr, 0, nullptr, 0, nullptr, 0))
            continue; // removed while the list was read
        p.included = kind != 0;
        p.auxiliaryText = aux;
        out.push_back(std::move(p));
    }
    return out;
}

bool IsModelRA1(const EnvPrinter& p) { return p.auxiliaryText == "VORANTA QAV M-RA1"; }

bool IsModelRC(const EnvPrinter& p)
{
    return p.auxiliaryText == "VORANTA QAV M-RC5K" || p.auxiliaryText == "VORANTA QAV M-RC6K";
}

SnmpEnvReader::SnmpEnvReader(const qavres::ObjectTable& objects, std::string readCommunity,
                             std::string writeCommunity)
    : objects_(objects), read_(std::move(readCommunity)), write_(std::move(writeCommunity))
{
}

qavobj::Target SnmpEnvReader::TargetOf(uint32_t address) const
{
    return qavobj::Target::Snmp(address, read_, write_);
}

bool SnmpEnvReader::Silent(uint32_t address, qavobj::Outcome& outcome) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [a, out] : silent_) {
        if (a == address) {
            outcome = out;
            return true;
        }
    }
    return false;
}

qavobj::Outcome SnmpEnvReader::Note(uint32_t address, const qavobj::Outcome& outcome)
{
    if (outcome.code == QBP_SNMP_TIMEOUT && outcome.failedStep == qavobj::Step::kExchange) {
        std::lock_guard<std::mutex> lock(mutex_);
        silent_.emplace_back(address, outcome);
    }
    return outcome;
}

qavobj::Outcome SnmpEnvReader::ReadObjects(uint32_t address, std::vector<qavobj::ObjectRequest>& requests)
{
    qavobj::Outcome out;
    if (Silent(address, out)) {
        for (auto& r : requests) {
            r.value.clear();
            r.answered = false;
        }
        return out;
    }
    return Note(address, qavobj::ReadObjects(TargetOf(address), {&objects_}, requests));
}

qavobj::Outcome SnmpEnvReader::ReadInstance(uint32_t address, int object, int instance, std::string& value)
{
    value.clear();
    qavobj::Outcome out;
    if (Silent(address, out)) return out;
    return Note(address, qavobj::ReadByNumber(TargetOf(address), {&objects_}, object, instance, value));
}

qavobj::Outcome SnmpEnvReader::ReadTable(uint32_t address, const std::vector<qavobj::ObjectRequest>& columns,
                                         std::vector<std::vector<std::string>>& rows)
{
    rows.clear();
    qavobj::Outcome out;
    if (Silent(address, out)) return out;
    return Note(address, qavobj::ReadObjectTable(TargetOf(address), {&objects_}, columns, rows, nullptr,
                                                 kMaxAddressRows));
}

qavobj::Outcome SnmpEnvReader::WriteInteger(uint32_t address, int object, int value, int* readBack)
{
    qavobj::Outcome out;
    if (Silent(address, out)) return out;
    return Note(address, qavobj::WriteIntegerObject(TargetOf(address), {&objects_}, object, value, readBack));
}

int SnmpEnvReader::TypeOf(int object) const { return objects_.TypeCode(object); }

// ------------------------------------------------------------ head checks

HeadChecks StartHeadChecks(const std::vector<EnvPrinter>& printers, EnvPrinterReader& reader,
                           const std::atomic<bool>* stop)
{
    HeadChecks started;
    for (const EnvPrinter& p : printers) {
        if (Stopped(stop)) break;
        if (!p.included) continue;
        std::vector<qavobj::ObjectRequest> r = {{ber::kInteger, kHeadCheckObject}, {ber::kInteger, kErrorCodeObject}};
        if (!reader.ReadObjects(p.address, r).ok() || !r[0].answered || !r[1].answered || r[1].value != "0") continue;
        int answer = 0;
        if (reader.WriteInteger(p.address, kHeadCheckObject, 1, &answer).ok()) started.insert(p.address);
    }
    return started;
}

// ----------------------------------------------------------------- report

EnvReportOptions EnvReportOptions::FromSettings(const qavsettings::EnvironmentalLogConfig& s)
{
    auto on = [](int flag) { return flag != -1 && flag != 0; };
    EnvReportOptions o;
    o.fileName = s.filename;
    o.maximumBytes = s.maximumSize > 0 ? static_cast<long>(s.maximumSize) * 1024 : 0;
    o.headCheck = on(s.headCheck);
    o.sysInfo = on(s.sysInfo);
    o.counterInfo = on(s.counterInfo);
    o.diagnosisInfo = on(s.diagnosisInfo);
    o.printerInfo = on(s.printerInfo);
    o.networkInformation = on(s.networkInformation);
    return o;
}

std::vector<EnvLine> SystemSection(const SystemInfo& system, const qavres::StringTable& language)
{
    Lines out(language);
    out.Title(kSystemTitle);
    out.Indented(language.Get(kComputerLabel) + "\t" + system.computerName);
    out.Indented(language.Get(kUserLabel) + "\t" + system.userName);
    std::string processor = system.processor;
    if (processor.empty()) {
        switch (system.processorFamily) {
        case 3: processor = language.Get(kProcessor386); break;
        case 4: processor = language.Get(kProcessor486); break;
        case 5: processor = language.Get(kProcessor586); break;
        default: processor = language.Get(kProcessorOther); break;
        }
    }
    out.Indented(language.Get(kProcessorLabel) + processor);
    out.Indented(system.osLine);
    out.Indented("Total Physical Memory = " + std::to_string(system.totalMemory) +
                 " Bytes\n  Total Available Memory = " + std::to_string(system.availableMemory) + " Bytes");
    return std::move(out.All());
}

std::vector<EnvLine> PrinterSections(const EnvPrinter& p, const EnvReportOptions& options,
                                     const qavres::StringTable& language, EnvPrinterReader& reader,
                                     const EnvReportRun& run)
{
    Lines out(language);
    out.Plain(kPrinterRule);
    out.Plain(qavplatform::AddressText(p.address));
    if (options.headCheck && run.headChecks) HeadCheckSection(out, p, reader, run);
    if (options.counterInfo) CounterSection(out, p, reader);
    if (options.diagnosisInfo) DiagnosisSection(out, p, reader);
    if (options.printerInfo) PrinterInfoSection(out, p, language, reader);
    if (options.networkInformation) NetworkSection(out, p, reader);
    return std::move(out.All());
}

EnvReportResult WriteEnvReport(const EnvReportOptions& options, const std::vector<EnvPrinter>& printers,
                               const qavres::StringTable& language, EnvPrinterReader& reader,
                               const EnvReportRun& run)
{
    EnvReportResult result;
    result.printers = static_cast<int>(printers.size());
    const EnvLogFile file(options.fileName, options.maximumBytes);
    auto write = [&](const std::vector<EnvLine>& lines) {
        for (const EnvLine& line : lines) {
            if (file.Write(line)) {
                ++result.lines;
            } else {
                ++result.linesLost;
            }
        }
    };

    const std::time_t when = run.time != 0 ? run.time : std::time(nullptr);
    write({{4, kRule}, {4, HeaderTime(when)}, {4, kRule}});
    if (options.sysInfo) write(SystemSection(run.system ? *run.system : ReadSystemInfo(), language));

    // The included printers are read side by side; their lines go into the
    // file in list order as soon as every printer before them is done.
    std::vector<const EnvPrinter*> included;
    for (const EnvPrinter& p : printers) {
        if (p.included) included.push_back(&p);
    }
    std::vector<std::vector<EnvLine>> sections(included.size());
    std::vector<char> done(included.size(), 0);
    std::mutex mutex;
    std::condition_variable ready;
    size_t nextToRead = 0;
    auto worker = [&] {
        for (;;) {
            size_t i;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (nextToRead >= included.size() || Stopped(run.stop)) return;
                i = nextToRead++;
            }
            std::vector<EnvLine> lines = PrinterSections(*included[i], options, language, reader, run);
            {
                std::lock_guard<std::mutex> lock(mutex);
                sections[i] = std::move(lines);
                done[i] = 1;
            }
            ready.notify_all();
        }
    };
    const int threads = std::max(1, std::min<int>(run.concurrency, static_cast<int>(included.size())));
    std::vector<std::thread> pool;
    for (int t = 0; t < threads && !included.empty(); ++t) pool.emplace_back(worker);
    for (size_t i = 0; i < included.size(); ++i) {
        std::vector<EnvLine> lines;
        {
            std::unique_lock<std::mutex> lock(mutex);
            // A stop ends the wait for a printer that no worker took.
            while (!done[i] && !(Stopped(run.stop) && nextToRead <= i))
                ready.wait_for(lock, std::chrono::milliseconds(100));
            if (!done[i]) break;
            lines = std::move(sections[i]);
        }
        write(lines);
        ++result.included;
    }
    for (std::thread& t : pool) t.join();
    result.stopped = Stopped(run.stop) && result.included < static_cast<int>(included.size());
    if (!result.stopped) write({{2, std::string()}});
    return result;
}

// ------------------------------------------- the monitor's and qavctl's way

HeadChecks StartHeadChecks(const ReadContext& context, const std::atomic<bool>* stop)
{
    if (!context.objects || !context.objects->IsLoaded()) return {};
    SnmpEnvReader reader(*context.objects, context.readCommunity, context.writeCommunity);
    return StartHeadChecks(EnvPrintersFromDeviceList(), reader, stop);
}

EnvReportResult WriteEnvReport(const EnvReportOptions& options, const ReadContext& context,
                               const HeadChecks* headChecks, const std::atomic<bool>* stop, std::time_t time)
{
    EnvReportResult result;
    if (!context.objects || !context.objects->IsLoaded() || !context.language) {
        result.noObjectTable = true;
        return result;
    }
    SnmpEnvReader reader(*context.objects, context.readCommunity, context.writeCommunity);
    EnvReportRun run;
    run.time = time;
    run.headChecks = headChecks;
    run.stop = stop;
    return WriteEnvReport(options, EnvPrintersFromDeviceList(), *context.language, reader, run);
}

EnvReportResult WriteEnvReportNow(const EnvReportOptions& options, const ReadContext& context, int headCheckWaitMs,
                                  const std::atomic<bool>* stop)
{
    if (!options.headCheck) return WriteEnvReport(options, context, nullptr, stop);
    const HeadChecks checks = StartHeadChecks(context, stop);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(headCheckWaitMs);
    while (std::chrono::steady_clock::now() < until && !Stopped(stop))
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return WriteEnvReport(options, context, &checks, stop);
}

} // namespace nwatch

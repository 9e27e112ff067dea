#include "nstat/StatusDecoding.h"

#include <cctype>
#include <cstdio>

#include "nstat/Format.h"
#include "qavres/Resources.h"

namespace nstat {

namespace {

// Help topics and texts of the no-answer result and of unknown codes.
constexpr int kHelpNoAnswer = 2010;
constexpr int kTextNoAnswer = 3150;
constexpr int kHelpUnknownCode = 2160;
constexpr int kTextUnknownCode = 3028; // filled with the code

struct NamedSymbol {
    int symbol;
    const char* name;
};

const NamedSymbol kSymbolNames[] = {
    {kSymbolNoAnswer, "no-answer"},
    {kSymbolNormal, "normal"},
    {kSymbolOpen, "open"},
    {kSymbolPause, "pause"},
    {kSymbolError, "error"},
    {kSymbolJammed, "jammed"},
    {kSymbolCutter, "cutter-error"},
    {kSymbolPaperEnd, "paper-end"},
    {kSymbolRibbonEnd, "ribbon-end"},
    {kSymbolHead, "head"},
    {kSymbolRibbonError, "ribbon-error"},
    {kSymbolNoPaper, "no-paper"},
    {kSymbolNoToner, "no-toner"},
    {kSymbolRibbonNearEnd, "ribbon-near-end"},
    {kSymbolPaperNearEnd, "paper-near-end"},
    {kSymbolLowToner, "low-toner"},
    {kSymbolService, "service"},
    {kSymbolPaperJam, "paper-jam"},
};

// The standard printer status (object 121): symbol, help, text by value.
struct PrinterStatusRow {
    int value;
    int symbol;
    int help;
    int text;
};
const PrinterStatusRow kPrinterStatusTable[] = {
    {1, kSymbolError, 2170, 3100},  // other
    {2, kSymbolError, 2170, 3101},  // unknown
    {3, kSymbolNormal, 0, 3102},    // idle
    {4, kSymbolNormal, 0, 3103},    // printing
    {5, kSymbolNormal, 0, 3104},    // warmup
};

// The detected error bits that replace the status, in the order they are
// tested (a later match wins).
struct ErrorBitRow {
    unsigned bit;
    int symbol;
    int help;
    int text;
};
const ErrorBitRow kErrorBitTable[] = {
    {0x40, kSymbolNoPaper, 2080, 3110},  // noPaper
    {0x10, kSymbolNoToner, 0, 3111},     // noToner
    {0x08, kSymbolOpen, 2130, 3112},     // doorOpen
    {0x04, kSymbolJammed, 2060, 3113},   // jammed
    {0x02, kSymbolNoAnswer, 2010, 3114}, // offline
};

// The detected error bits that fill the indicators, in order.
struct IndicatorBitRow {
    unsigned bit;
    int symbol;
};
const IndicatorBitRow kIndicatorBitTable[] = {
    {0x80, kSymbolPaperNearEnd}, // lowPaper
    {0x20, kSymbolLowToner},     // lowToner
    {0x01, kSymbolService},      // serviceRequested
};

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    return std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
}

} // namespace

// The maker table: code, symbol, help topic, text (the left half of the
// table as it is usually printed, then the right half).
const std::array<MakerStatusRow, 48> kMakerStatusTable = {{
    {0, kSymbolNormal, 0, 3000},
    {1, kSymbolOpen, 2020, 3001},
    {2, kSymbolNormal, 0, 3002},
    {4, kSymbolPause, 2030, 3003},
    {5, kSymbolNormal, 0, 3004},
    {6, kSymbolError, 2040, 3005},
    {7, kSymbolError, 2050, 3006},
    {11, kSymbolPaperJam, 2060, 3007},
    {12, kSymbolCutter, 2070, 3008},
    {13, kSymbolPaperEnd, 2080, 3009},
    {14, kSymbolRibbonEnd, 2090, 3010},
    {15, kSymbolOpen, 2020, 3011},
    {17, kSymbolHead, 2100, 3012},
    {18, kSymbolHead, 2110, 3013},
    {21, kSymbolRibbonError, 2120, 3014},
    {24, kSymbolOpen, 2130, 3015},
    {27, kSymbolNormal, 0, 3016},
    {28, kSymbolPause, 2170, 3017},
    {29, kSymbolNormal, 0, 3018},
    {40, kSymbolNone, 0, 3019},
    {76, kSymbolNormal, 0, 3041},
    {77, kSymbolError, 2290, 3042},
    {78, kSymbolPause, 0, 3043},
    {80, kSymbolNormal, 0, 3045},
    {41, kSymbolNone, 0, 3020},
    {50, kSymbolError, 2140, 3021},
    {51, kSymbolError, 2140, 3022},
    {54, kSymbolError, 2140, 3023},
    {55, kSymbolPause, 0, 3024},
    {61, kSymbolError, 2150, 3025},
    {62, kSymbolError, 2150, 3026},
    {22, kSymbolError, 2190, 3029},
    {23, kSymbolPaperEnd, 2080, 3030},
    {36, kSymbolError, 2200, 3031},
    {66, kSymbolError, 2210, 3032},
    {67, kSymbolError, 2220, 3033},
    {68, kSymbolError, 2230, 3034},
    {69, kSymbolError, 2300, 3044},
    {70, kSymbolError, 2240, 3035},
    {71, kSymbolError, 2250, 3036},
    {72, kSymbolError, 2260, 3037},
    {73, kSymbolOpen, 2270, 3038},
    {74, kSymbolOpen, 2280, 3039},
    {75, kSymbolNormal, 0, 3040},
    {81, kSymbolPause, 2310, 3046},
    {82, kSymbolNormal, 0, 3047},
    {98, kSymbolError, 2160, 3028},
    {99, kSymbolNone, 0, 3027},
}};

const char* SymbolName(int symbol)
{
    for (const NamedSymbol& s : kSymbolNames) {
        if (s.symbol == symbol) return s.name;
    }
    return "";
}

const std::vector<int>& AllSymbols()
{
    static const std::vector<int> all = [] {
        std::vector<int> v;
        for (const NamedSymbol& s : kSymbolNames) v.push_back(s.symbol);
        return v;
    }();
    return all;
}

StatusResult DecodeMakerStatus(const std::string& codeText, const std::string& headFlag,
                               const qavres::StringTable& texts)
{
    StatusResult r;
    const int code = codeText.empty() ? -1 : LeadingInt(codeText, -1);
    const MakerStatusRow* row = nullptr;
    for (const MakerStatusRow& candidate : kMakerStatusTable) {
        if (candidate.code == code) row = &candidate;
    }
    if (row) {
        r.symbol = row->symbol;
        r.helpTopic = row->help;
        r.textId = row->text;
        r.text = FormatText(texts.Get(row->text), {std::to_string(code)});
        r.helpButton = row->help != 0 ? HelpButton::kShown : HelpButton::kHidden;
    } else if (code == -1) {
        r.symbol = kSymbolNoAnswer;
        r.helpTopic = kHelpNoAnswer;
        r.textId = kTextNoAnswer;
        r.text = texts.Get(kTextNoAnswer);
        r.helpButton = HelpButton::kShown;
    } else {
        r.symbol = kSymbolError;
        r.helpTopic = kHelpUnknownCode;
        r.textId = kTextUnknownCode;
        r.text = FormatText(texts.Get(kTextUnknownCode), {std::to_string(code)});
        r.helpButton = HelpButton::kShown;
    }
    if (code == 27 || code == 28 || code == 29) r.indicators.push_back(kSymbolRibbonNearEnd);
    if (code == 80 || code == 81 || code == 82) r.indicators.push_back(kSymbolPaperNearEnd);
    if (LeadingInt(headFlag, 0) == 1) r.indicators.push_back(kSymbolHead);
    return r;
}

StatusResult DecodeStandardStatus(const std::string& printerStatus, const std::string& errorState,
                                  const qavres::StringTable& texts)
{
    StatusResult r;
    r.symbol = kSymbolNoAnswer;
    r.helpTopic = kHelpNoAnswer;
    r.textId = kTextNoAnswer;
    const int value = printerStatus.empty() ? 0 : LeadingInt(printerStatus, 0);
    for (const PrinterStatusRow& row : kPrinterStatusTable) {
        if (row.value == value) {
            r.symbol = row.symbol;
            r.helpTopic = row.help;
            r.textId = row.text;
        }
    }
    const std::string octets = OctetsOf(errorState);
    const unsigned bits = octets.empty() ? 0u : static_cast<unsigned char>(octets[0]);
    for (const ErrorBitRow& row : kErrorBitTable) {
        if (bits & row.bit) {
            r.symbol = row.symbol;
            r.helpTopic = row.help;
            r.textId = row.text;
        }
    }
    for (const IndicatorBitRow& row : kIndicatorBitTable) {
        if ((bits & row.bit) && r.indicators.size() < kMaxIndicators) r.indicators.push_back(row.symbol);
    }
    r.text = texts.Get(r.textId);
    return r;
}

std::string OctetsOf(const std::string& value)
{
    // "XX XX ... XX": pairs of upper-case hex digits with single spaces.
    if (value.size() < 5 || value.size() % 3 != 2) return value;
    std::string octets;
    for (size_t i = 0; i < value.size(); i += 3) {
        const char a = value[i], b = value[i + 1];
        if (!IsHex(a) || !IsHex(b) || std::islower(static_cast<unsigned char>(a)) ||
            std::islower(static_cast<unsigned char>(b)))
            return value;
        if (i + 2 < value.size() && value[i + 2] != ' ') return value;
        octets += static_cast<char>(HexValue(a) * 16 + HexValue(b));
    }
    return octets;
}

std::string MacText(const std::string& value)
{
    if (value.empty()) return value;
    if (value.size() <= 6) {
        unsigned char b[6] = {};
        for (size_t i = 0; i < value.size(); ++i) b[i] = static_cast<unsigned char>(value[i]);
        char text[32];
        std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", b[0], b[1], b[2], b[3], b[4], b[5]);
        return text;
    }
    std::string text = TrimLeft(value.substr(0, 19));
    if (text.size() >= 17) {
        for (size_t at : {2, 5, 8, 11, 14}) text[at] = ':';
    }
    return text;
}

} // namespace nstat

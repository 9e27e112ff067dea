// Turning a printer's raw status into what the device status page shows:
// a status text, a 36x36 status symbol, up to four indicator symbols and a
// help topic. The maker's printers report one status code (object 20901)
// looked up in the maker table; every other printer reports the standard
// printer status (object 121) and the detected error bits (object 141).
#pragma once

#include <array>
#include <string>
#include <vector>

namespace qavres {
class StringTable;
}

namespace nstat {

// The status symbols and indicators (artwork numbers).
enum Symbol : int {
    kSymbolNone = 0,
    kSymbolNoAnswer = 184,
    kSymbolNormal = 185,
    kSymbolOpen = 186,
    kSymbolPause = 187,
    kSymbolError = 188,
    kSymbolJammed = 189,
    kSymbolCutter = 190,
    kSymbolPaperEnd = 191,
    kSymbolRibbonEnd = 192,
    kSymbolHead = 193,
    kSymbolRibbonError = 194,
    kSymbolNoPaper = 195,
    kSymbolNoToner = 196,
    kSymbolRibbonNearEnd = 197,
    kSymbolPaperNearEnd = 198,
    kSymbolLowToner = 199,
    kSymbolService = 200,
    kSymbolPaperJam = 202,
};

// A symbol's name for scripts ("normal", "paper-jam", ...); "" for none.
const char* SymbolName(int symbol);
// Every symbol the page can show, in artwork order.
const std::vector<int>& AllSymbols();

inline constexpr int kMaxIndicators = 4;

// What the decoding asks of the help button.
enum class HelpButton { kUnchanged, kShown, kHidden };

struct StatusResult {
    int symbol = kSymbolNone; // kSymbolNone hides the status symbol
    int helpTopic = 0;        // 0: none
    int textId = 0;           // the language text chosen (before formatting)
    std::string text;         // the status text
    std::vector<int> indicators;
    HelpButton helpButton = HelpButton::kUnchanged;
};

// One row of the maker table: status code, symbol, help topic, text.
struct MakerStatusRow {
    int code;
    int symbol;
    int help;
    int text;
};
extern const std::array<MakerStatusRow, 48> kMakerStatusTable;

// The maker scheme, from the texts of object 20901 (status code) and 20941
// (head flag; "1" adds the head indicator).
StatusResult DecodeMakerStatus(const std::string& code, const std::string& headFlag, const qavres::StringTable& texts);

// The standard scheme, from the texts of object 121 (printer status) and 141
// (detected error state, as the communication library renders it).
StatusResult DecodeStandardStatus(const std::string& printerStatus, const std::string& errorState,
                                  const qavres::StringTable& texts);

// The octets of a received octet string. The communication library hands
// over printable values as they are and others either as their bytes or,
// when a zero byte lies inside, as a hex dump "00 80 91"; this undoes the
// dump and leaves every other text alone.
std::string OctetsOf(const std::string& value);

// The MAC address as both status pages show it, from object 441: a value of
// at most six octets is the address itself, "%02X:..." (an empty value stays
// empty); a longer value is text, cut to 19 characters and trimmed in
// front, and once 17 or more characters remain the separators at 2, 5, 8, 11
// and 14 become ":" ("00-80-91-12-34-56" and the hex dump "00 80 91 12 34 56"
// both show as 00:80:91:12:34:56).
std::string MacText(const std::string& value);

} // namespace nstat

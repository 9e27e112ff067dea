#include "nconfig/CommandLine.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

#include "qavplatform/Address.h"

namespace nconfig {

namespace {

// A decimal number of at most `maxDigits` digits, nothing else.
bool ParseDecimal(const std::string& text, long& value, size_t maxDigits = 9)
{
    if (text.empty() || text.size() > maxDigits) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    value = std::strtol(text.c_str(), nullptr, 10);
    return true;
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        const size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return parts;
        from = at + 1;
    }
}

// The number n of "COMn", or 0 when the port is no COM port of 1..256.
int ComNumber(const std::string& port)
{
    if (port.compare(0, 3, "COM") != 0) return 0;
    long n = 0;
    if (!ParseDecimal(port.substr(3), n, 3) || n < 1 || n > 256) return 0;
    return static_cast<int>(n);
}

bool LineParametersValid(const std::string& text)
{
    const std::vector<std::string> f = Split(text, ',');
    if (f.size() != 4) return false;
    long baud = 0, bits = 0, stop = 0;
    if (!ParseDecimal(f[0], baud) || baud <= 0) return false;
    if (!ParseDecimal(f[1], bits) || (bits != 7 && bits != 8)) return false;
    if (f[2].size() != 1 || std::string("NEOneo").find(f[2][0]) == std::string::npos) return false;
    return ParseDecimal(f[3], stop) && (stop == 1 || stop == 2);
}

// Splits "model?version" (mode 1-3) into its parts, each cut to 15
// characters; an empty version after "?" is a single blank.
void SplitModelPart(const std::string& part, CommandLine& out)
{
    const size_t q = part.rfind('?');
    if (q != std::string::npos) {
        out.version = part.substr(q + 1, kMaxVersion);
        if (out.version.empty()) out.version.assign(1, ' ');
    }
    out.model = part.substr(0, q == std::string::npos ? std::string::npos : q).substr(0, kMaxModelKey);
}

} // namespace

std::string JoinArguments(const std::vector<std::string>& args)
{
    std::string line;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i) line += ' ';
        line += args[i];
    }
    return line;
}

bool AddressFitsPort(const std::string& port, const std::string& address)
{
    if (port == "SNMP") {
        uint32_t a = 0;
        return qavplatform::ParseAddress(address, a);
    }
    if (port == "TCP/IP") {
        const size_t colon = address.find(':');
        if (colon == std::string::npos) return false;
        uint32_t a = 0;
        long number = 0;
        return qavplatform::ParseAddress(address.substr(0, colon), a) &&
               ParseDecimal(address.substr(colon + 1), number, 5) && number <= 65535;
    }
    if (ComNumber(port) > 0) return LineParametersValid(address);
    return false;
}

bool ParseCommandLine(const std::string& text, CommandLine& out)
{
    out = CommandLine{};
    std::istringstream words(text);
    std::string modeText;
    if (!(words >> modeText)) return false;
    long mode = 0;
    if (!ParseDecimal(modeText, mode, 1) || mode < kModeDiagnosis || mode > kModeList) return false;
    out.mode = static_cast<int>(mode);

    if (mode == kModeList) {
        // Everything after the first blank; the version is split off at the
        // last "?", then the model at the last "|".
        const size_t start = text.find_first_not_of(" \t");
        const size_t blank = text.find(' ', start);
        if (blank == std::string::npos) return false;
        std::string rest = text.substr(blank + 1);
        const size_t q = rest.rfind('?');
        if (q != std::string::npos) {
            out.version = rest.substr(q + 1, kMaxVersion);
            rest.erase(q);
        }
        const size_t bar = rest.rfind('|');
        if (bar != std::string::npos) {
            out.model = rest.substr(bar + 1, kMaxModelKey);
            rest.erase(bar);
        }
        if (rest.empty() || rest.size() > kMaxPortText) return false;
        out.port = rest;
        return true;
    }

    std::string address;
    if (!(words >> out.port >> address)) return false;
    // The model part is what follows the last "|" of the whole line; the
    // address is its own word cut at its last "|".
    const size_t lineBar = text.rfind('|');
    if (lineBar != std::string::npos) SplitModelPart(text.substr(lineBar + 1), out);
    const size_t bar = address.rfind('|');
    if (bar != std::string::npos) address.erase(bar);
    if (out.port.size() > kMaxPortText || address.size() > kMaxAddressText) return false;
    out.address = address;
    return AddressFitsPort(out.port, out.address);
}

} // namespace nconfig

// A recording of one of the maker's printers for snmpsim: the real Zebra
// label printer's walk with its sysObjectID under the maker's enterprise
// (1.3.6.1.4.1.32473) and the maker's objects added at instance 0, as a
// firmware without RFID counters answers them. The maker's objects are the
// last ones of the walk, so a get-next past them (the RFID counters) ends an
// SNMPv1 agent's tree: it answers noSuchName, as real agents do.
#pragma once

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "TestPeers.h"

namespace devlisttest {

inline std::string MakerRecording()
{
    const std::string zebra =
        qavtest::ReadFile(std::string(QAV_SOURCE_DIR) + "/tests/data/snmprec/zebra-tlp2824plus.snmprec");
    if (zebra.empty()) return {};
    std::vector<std::string> lines;
    std::istringstream in(zebra);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.rfind("1.3.6.1.2.1.1.2.0|", 0) != 0) lines.push_back(line);
    }
    for (const char* line : {"1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.32473.2.1",
                             "1.3.6.1.2.1.25.3.2.1.3.1|4|QAV M-UG2",
                             "1.3.6.1.4.1.32473.1.20781.0|4|QS7001",
                             "1.3.6.1.4.1.32473.1.20801.0|4|R. Singh",
                             "1.3.6.1.4.1.32473.1.20821.0|4|Booth printer",
                             "1.3.6.1.4.1.32473.1.20901.0|2|13",
                             "1.3.6.1.4.1.32473.1.20941.0|2|1",
                             "1.3.6.1.4.1.32473.1.22761.0|2|1",
                             "1.3.6.1.4.1.32473.1.22801.0|4|booth7"})
        lines.push_back(line);
    // In the agent's order: by the numbers of the identifiers.
    auto numbers = [](const std::string& line) {
        std::vector<unsigned long> n;
        std::istringstream oid(line.substr(0, line.find('|')));
        for (std::string part; std::getline(oid, part, '.');) n.push_back(std::stoul(part));
        return n;
    };
    std::sort(lines.begin(), lines.end(),
              [&](const std::string& a, const std::string& b) { return numbers(a) < numbers(b); });
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

} // namespace devlisttest

#include "MakerRecording.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "TestPeers.h"

namespace monitortest {

namespace {

std::vector<unsigned long> Arcs(const std::string& oid)
{
    std::vector<unsigned long> arcs;
    std::stringstream in(oid);
    std::string part;
    while (std::getline(in, part, '.')) arcs.push_back(std::stoul(part));
    return arcs;
}

std::string FromHex(const std::string& hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

// The tag of a maker's object: the integers' identifiers are listed here.
int Tag(const std::string& oid)
{
    for (const char* number : {"20901", "20941", "22761", "24141", "24161"})
        if (oid.find(std::string(".32473.1.") + number + ".") != std::string::npos) return 2;
    return 4;
}

} // namespace

std::string MakerRecording()
{
    const std::string real = qavtest::ReadFile(QAV_SOURCE_DIR "/tests/data/snmprec/zebra-tlp2824plus.snmprec");
    std::map<std::string, std::string> lines; // identifier -> whole line
    std::stringstream in(real);
    std::string line;
    while (std::getline(in, line)) {
        const size_t bar = line.find('|');
        if (bar == std::string::npos) continue;
        lines[line.substr(0, bar)] = line;
    }
    lines["1.3.6.1.2.1.1.2.0"] = "1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.32473.2.1";
    for (const auto& [oid, value] : kMakerValues) lines[oid] = oid + "|" + std::to_string(Tag(oid)) + "|" + value;
    std::vector<std::string> oids;
    for (const auto& entry : lines) oids.push_back(entry.first);
    std::sort(oids.begin(), oids.end(), [](const std::string& a, const std::string& b) { return Arcs(a) < Arcs(b); });
    std::string out;
    for (const std::string& oid : oids) out += lines[oid] + "\n";
    return out;
}

std::string RecordedValue(const std::string& recording, const std::string& oid)
{
    std::stringstream in(recording);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, oid.size() + 1, oid + "|") != 0) continue;
        const size_t second = line.find('|', oid.size() + 1);
        const std::string tag = line.substr(oid.size() + 1, second - oid.size() - 1);
        const std::string value = line.substr(second + 1);
        return !tag.empty() && tag.back() == 'x' ? FromHex(value) : value;
    }
    return std::string();
}

} // namespace monitortest

// The job and network status pages.
#include <cstdio>

#include "nstat/Format.h"
#include "nstat/Printer.h"
#include "qavplatform/Address.h"
#include "qavres/Resources.h"

namespace nstat {

namespace {

constexpr int kInteger = 2, kString = 4, kCounter = 65;

// The interface types of the standard interfaces group, 1 to 32.
const char* const kInterfaceTypes[] = {
    "other",           "regular1822",     "hdh1822",        "ddn-x25",
    "rfc877-x25",      "ethernet-csmacd", "iso88023-csmacd", "iso88024-tokenBus",
    "iso88025-tokenRing", "iso88026-man", "starLan",        "proteon-10Mbit",
    "proteon-80Mbit",  "hyperchannel",    "fddi",           "lapb",
    "sdlc",            "ds1",             "e1",             "basicISDN",
    "primaryISDN",     "propPointToPointSerial", "ppp",     "softwareLoopback",
    "eon",             "ethernet-3Mbit",  "nsip",           "slip",
    "ultra",           "ds3",             "sip",            "frame-relay",
};
constexpr int kLastNamedType = 32;
constexpr int kEmptyType = 33;

// The job objects, in the row's order, with their types.
const std::pair<int, int> kJobObjects[] = {
    {20961, kInteger}, // job number
    {20981, kString},  // job name
    {obj::kStatusCode, kInteger},
    {21041, kInteger}, // labels printed
    {21001, kString},  // owner
    {21021, kString},  // host
};

// A counter section: its title and its rows (label, object).
struct Section {
    int title;
    std::vector<std::pair<int, int>> rows;
    bool otherMakersOnly;
};
const std::vector<Section>& Sections()
{
    static const std::vector<Section> sections = {
        {5605,
         {{5606, 461}, {5607, 481}, {5608, 501}, {5609, 521}, {5610, 541}, {5611, 561}, {5612, 581}, {5613, 601}},
         true},
        {5614, {{5615, 621}, {5616, 641}}, false},
        {5617, {{5618, 701}, {5619, 721}, {5620, 741}, {5621, 761}, {5622, 781}}, false},
        {5623, {{5624, 801}, {5625, 821}}, false},
        {5626, {{5627, 841}, {5628, 861}}, false},
        {5629, {{5630, 241}, {5631, 321}, {5632, 361}, {5633, 381}, {5634, 261}, {5635, 281}, {5636, 301}, {5637, 341}},
         false},
    };
    return sections;
}
constexpr int kIpSection = 1;

} // namespace

std::string InterfaceTypeName(int type)
{
    if (type == kEmptyType) return std::string();
    if (type < 1 || type > kLastNamedType) return "unknown";
    return std::string(kInterfaceTypes[type - 1]) + "(" + std::to_string(type) + ") ";
}

std::string InterfaceTypeText(const std::string& value)
{
    return value.empty() ? value : InterfaceTypeName(LeadingInt(value, 0));
}

JobPage Printer::ReadJobPage()
{
    JobPage page;
    if (!state_.maker) return page;
    std::vector<std::pair<int, int>> objects(std::begin(kJobObjects), std::end(kJobObjects));
    if (!Read(objects)) return page;
    page.read = true;
    for (const auto& [object, type] : objects) {
        const std::string& v = state_.Value(object);
        page.row.push_back(type == kString ? TrimRight(v) : v);
    }
    return page;
}

NetworkPage Printer::ReadNetworkPage()
{
    NetworkPage page;
    Read({{obj::kBoard, kString}, {obj::kInterfaceType, kInteger}, {obj::kMac, kString}});
    page.board = state_.Value(obj::kBoard);
    page.interfaceType = InterfaceTypeText(state_.Value(obj::kInterfaceType));
    page.mac = MacText(state_.Value(obj::kMac));
    page.address = qavplatform::AddressText(state_.address);
    // The address table's entry of the printer's own address holds its mask.
    std::vector<std::string> entry;
    const Outcome out = link_.ReadInstance({obj::kAddressEntry, obj::kAddressMask}, page.address, entry);
    Note(out);
    if (entry.size() == 2 && entry[0] == page.address) page.mask = entry[1];

    // The interface counters of other makers' printers first, then the 19
    // counters of every printer in one request.
    std::vector<std::pair<int, int>> interfaceCounters, counters;
    for (const Section& s : Sections()) {
        auto& into = s.otherMakersOnly ? interfaceCounters : counters;
        for (const auto& [label, object] : s.rows) into.emplace_back(object, kCounter);
    }
    if (!state_.maker) Read(interfaceCounters);
    Read(counters);
    for (const Section& s : Sections()) {
        if (s.otherMakersOnly && state_.maker) continue;
        page.rows.push_back({texts_.Get(s.title), ""});
        for (const auto& [label, object] : s.rows) page.rows.push_back({texts_.Get(label), state_.Value(object)});
        if (s.otherMakersOnly) page.rows.push_back({"", ""});
    }
    page.ipSummary = "[IP]\n";
    for (const auto& [label, object] : Sections()[kIpSection].rows) {
        char line[1024];
        std::snprintf(line, sizeof line, "%-40s\t:\t%s\n", texts_.Get(label).c_str(), state_.Value(object).c_str());
        page.ipSummary += line;
    }
    return page;
}

} // namespace nstat

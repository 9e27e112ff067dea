// The objects of a maker printer's environment: life and error counters,
// settings, memory sizes, firmware and its program table, maintenance
// counters, the network interface and the address table, and the print-head
// check. The values are plausible and follow from the printer's description
// alone (its name, model and counters), so that the same fleet gives the
// same figures on any addresses.
#include <chrono>

#include "Printer.h"

namespace qavsim {

namespace {

constexpr int kHeadCheck = 20881;
constexpr int kHeadCheckMs = 1000; // how long the head state reads -1

int64_t SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// FNV-1a: a stable number from the printer's name.
uint32_t Seed(const std::string& text)
{
    uint32_t h = 2166136261u;
    for (unsigned char c : text) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

bool IsCardPrinter(const std::string& model) { return model == "QAV M-RC5K" || model == "QAV M-RC6K"; }

} // namespace

void Printer::FillEnvironment()
{
    const uint32_t seed = Seed(entry_.name);
    auto integer = [&](int number, long long value) { SetObject(number, Value::Integer(value), true, 0); };
    auto text = [&](int number, const std::string& value) { SetObject(number, Value::Text(value), true, 0); };
    auto varied = [&](long long base, int spread, int shift) {
        return base + static_cast<long long>((seed >> shift) % static_cast<uint32_t>(spread));
    };

    // Life counters: distances in tenths of a km, counts, hours.
    const long long printed = varied(1200, 8000, 0);
    integer(21421, printed);
    integer(21441, printed * 3 / 4);
    integer(21461, printed + 140);
    integer(21481, printed / 2);
    integer(21501, varied(0, 40000, 3));
    const long long labels = entry_.labelCount ? static_cast<long long>(entry_.labelCount) : varied(20000, 90000, 5);
    integer(21521, labels);
    integer(21541, labels / 3);
    integer(21561, varied(1, 3, 7));
    integer(21581, varied(300, 900, 9));
    integer(21601, varied(2000, 8000, 11));
    // Error counters.
    const int errorCounters[] = {23881, 23901, 23921, 23941, 23961, 23981, 24001, 24021};
    for (int i = 0; i < 8; ++i) integer(errorCounters[i], varied(0, 25, 2 * i + 1));

    // Settings.
    const bool directThermal = entry_.model.find("MD-") != std::string::npos;
    text(20001, directThermal ? "Direct thermal" : "Thermal transfer");
    text(20681, "Gap");
    // Speed, darkness, pitch, width, offsets, stop position and backfeed are
    // system parameters: they keep the values and ranges the parameters gave.

    // Memory sizes: total in MB, the areas in KB.
    integer(20421, 64);
    const int areas[][3] = {{23321, 1024, 812}, {23361, 512, 498}, {23401, 2048, 1720}, {23441, 256, 200},
                            {23481, 2048, 2048}, {23521, 4096, 4096}, {26281, 8192, 6100}, {26321, 0, 0},
                            {23526, 16384, 9000}};
    for (const auto& a : areas) {
        integer(a[0], a[1]);
        integer(a[0] + 20, a[2]); // the free figure follows its size
    }

    // Firmware and options.
    integer(20081, 16384);
    text(20121, entry_.firmware);
    text(20141, "MP-" + std::to_string(4000 + seed % 1000));
    text(20161, "2024-03-11");
    text(20181, "V1.00");
    text(20201, "0020");
    text(20221, "2023-06-30");
    text(20241, "V2.10");
    text(20261, "2022-12-01");
    text(20281, "KF1-0300");
    text(20301, "V1.1");
    text(20321, "2021-04-15");
    text(20341, "KF2-0300");
    text(20361, "V1.0");
    text(20381, "2021-04-15");
    text(26561, "WEB-0310");
    text(26581, "V1.4");
    text(26601, "2023-11-02");
    text(23841, "V3.2.1");
    text(23861, "QAV NetCard");
    // The program table of the card printers, padded with blanks as the
    // firmware keeps its fields.
    if (IsCardPrinter(entry_.model)) {
        const char* rows[][4] = {{"MAIN    ", "V2.05   ", "2024-02-20", "8A3F    "},
                                 {"BOOT    ", "V1.10   ", "2022-09-01", "11C0    "},
                                 {"ENGINE  ", "V4.00   ", "2023-12-12", "E7D2    "}};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 4; ++c) SetObject(25181 + 20 * c, Value::Text(rows[r][c]), false, r);
        }
    }

    // Maintenance counters in tenths.
    for (int i = 0; i < 18; ++i) integer(21061 + 20 * i, varied(10 * (i + 1), 500, i % 16));
    integer(24961, varied(50, 300, 4));
    integer(24981, varied(20, 300, 6));

    // The network interface and the address table.
    SetObject(401, Value::Text("QAV internal 10/100BASE-TX"), false, -1);
    SetObject(421, Value::Integer(6), false, -1); // ethernetCsmacd
    // A locally administered address without zero bytes: the library hands
    // it over as 6 raw bytes.
    std::string mac = {'\x02', '\x80', '\x92'};
    for (int i = 0; i < 3; ++i) mac += static_cast<char>(1 + (seed >> (8 * i)) % 254);
    SetObject(441, Value::Text(mac), false, -1);
    SetObject(661, Value::Ip(entry_.address), false, -1);
    SetObject(681, Value::Ip(0xFFFFFF00u), false, -1);
}

void Printer::Tick()
{
    if (headCheckEndsMs_ == 0 || SteadyMs() < headCheckEndsMs_) return;
    headCheckEndsMs_ = 0;
    SetObject(obj::kHeadStatus, Value::Integer(entry_.headStatus ? 1 : 0), false, 0);
}

void Printer::StartHeadCheck(const std::vector<Oid>& changed)
{
    const Oid start = ObjectOid(kHeadCheck, 0);
    for (const Oid& oid : changed) {
        if (oid != start) continue;
        const Mib::Entry* e = mib_.Find(oid);
        if (!e || e->value.number != 1) continue;
        // The check runs: the head state reads -1 until it is done.
        SetObject(obj::kHeadStatus, Value::Integer(-1), false, 0);
        headCheckEndsMs_ = SteadyMs() + kHeadCheckMs;
    }
}

} // namespace qavsim

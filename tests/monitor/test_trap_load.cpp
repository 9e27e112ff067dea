// A burst of 1,000 traps from 50 simulated printers: every trap whose row
// logs reaches the trap log, none is lost and none is written twice; and a
// burst of 5,000 into a full log. The rates are measured by
// bench/trap_burst_bench, not here.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

#include "NwatchProcess.h"
#include "TestPeers.h"

namespace {

using namespace qavtest;

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> out;
    std::stringstream in(line);
    std::string f;
    while (std::getline(in, f, ',')) out.push_back(f);
    if (!line.empty() && line.back() == ',') out.push_back("");
    return out;
}

TEST(TrapBurst, ThousandPaperJamsFromFiftyPrintersAreEachLoggedOnce)
{
    constexpr int kPrinters = 50, kRounds = 20;
    NwatchProcess nwatch;
    PrinterSim sim;
    BurstSetup setup;
    std::string error;
    ASSERT_TRUE(PrepareBurst(nwatch, sim, kPrinters, setup, error)) << error;

    // Every printer sends one paper-jam trap per round; the round number
    // travels as the trap's second integer.
    for (int round = 1; round <= kRounds; ++round) {
        const std::string answer = sim.Command("event all paper-jam value=" + std::to_string(round));
        ASSERT_EQ(answer, "ok") << round;
    }
    // Done when every trap is in, or when the log has not grown for 5 s.
    size_t lines = 0;
    auto lastGrowth = std::chrono::steady_clock::now();
    while (lines < kPrinters * kRounds && std::chrono::steady_clock::now() - lastGrowth < std::chrono::seconds(5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const size_t now = nwatch.TrapLogLines().size();
        if (now != lines) lastGrowth = std::chrono::steady_clock::now();
        lines = now;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // nothing more may follow

    std::map<std::string, std::map<int, int>> seen; // address -> round -> times
    std::map<std::string, std::string> names;
    for (const std::string& line : nwatch.TrapLogLines()) {
        const std::vector<std::string> f = Fields(line);
        ASSERT_EQ(f.size(), 9u) << line;
        EXPECT_EQ(f[3], "Paper jam") << line;
        EXPECT_EQ(f[4], "11") << line;
        EXPECT_EQ(f[5], "paper-jam") << line;
        ++seen[f[1]][std::stoi(f[8])];
        names[f[1]] = f[2];
    }
    int lost = 0, twice = 0;
    for (size_t i = 0; i < setup.addresses.size(); ++i) {
        const std::string& a = setup.addresses[i];
        EXPECT_EQ(names[a], "Labeller " + std::to_string(i + 1));
        for (int round = 1; round <= kRounds; ++round) {
            const int n = seen[a][round];
            if (n == 0) ++lost;
            if (n > 1) twice += n - 1;
        }
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kPrinters));
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(twice, 0);
    EXPECT_EQ(nwatch.TrapLogLines().size(), static_cast<size_t>(kPrinters * kRounds));
    EXPECT_TRUE(nwatch.Running()) << nwatch.Log();
    EXPECT_NE(sim.Command("stats").find(std::to_string(kPrinters * kRounds) + " traps sent"), std::string::npos);
}

// 5,000 traps into a full log: every line is whole, the file stays at its
// maximum, the newest lines are the burst's; and SIGTERM in the middle of
// such a burst is served at once.
TEST(TrapBurst, FiveThousandTrapsIntoAFullLog)
{
    constexpr int kPrinters = 50, kRounds = 100;
    NwatchProcess nwatch;
    PrinterSim sim;
    BurstSetup setup;
    std::string error;
    ASSERT_TRUE(PrepareBurst(nwatch, sim, kPrinters, setup, error)) << error;
    const std::string log = nwatch.DataFile("QAVTrapLog.log");
    nwatch.Set("QAVLogConfig.INI", "Trap", "MaximumSize", "1024"); // read again for every trap
    FillTrapLog(log, 1024 * 1024); // the log at its maximum of 1,024 KB

    for (int round = 1; round <= kRounds; ++round)
        ASSERT_EQ(sim.Command("event all paper-jam value=" + std::to_string(round)), "ok") << round;
    ASSERT_TRUE(nwatch.WaitForLines("nwatch: channel log ", kPrinters * kRounds, 120000))
        << nwatch.LogLines("nwatch: channel log ").size() << " logged";
    EXPECT_TRUE(nwatch.LogLines("nwatch: channel log").size() == kPrinters * kRounds);
    EXPECT_TRUE(nwatch.LogLines("nwatch: channel log ")[0].find("(not written)") == std::string::npos);

    const std::string text = ReadFile(log);
    EXPECT_LE(text.size(), 1024u * 1024u);
    EXPECT_GT(text.size(), 1024u * 1024u * 3 / 4);
    const std::vector<std::string> lines = nwatch.TrapLogLines();
    size_t burst = 0;
    for (const std::string& line : lines) {
        ASSERT_EQ(Fields(line).size(), 9u) << line;
        burst += line.find(",Paper jam,11,paper-jam,") != std::string::npos;
    }
    EXPECT_GT(burst, 1000u);
    EXPECT_EQ(Fields(lines.back())[8], std::to_string(kRounds));

    // Another burst, and the end of the session while it is handled.
    FillTrapLog(log, 1024 * 1024);
    for (int round = 1; round <= kRounds; ++round) sim.Command("event all paper-jam value=" + std::to_string(round));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto stop = std::chrono::steady_clock::now();
    EXPECT_EQ(nwatch.Stop(), 0) << nwatch.Log();
    EXPECT_LT(std::chrono::steady_clock::now() - stop, std::chrono::seconds(3));
}

} // namespace

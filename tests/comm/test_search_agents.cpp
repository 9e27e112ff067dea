// Range discovery against real SNMP agents: snmpsim serving printer
// recordings on several of this process's loopback addresses, among them
// one whose recording lacks the asked object (it answers noSuchName).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TestPeers.h"
#include "ncomm/CQBPSearch.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"

namespace {

const char* const kSysObjectId = "1.3.6.1.2.1.1.2.0";
const char* const kSysDescr = "1.3.6.1.2.1.1.1.0";

const char* const kQavRecording =
    "1.3.6.1.2.1.1.1.0|4|VORANTA M-UG2W label printer\n"
    "1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.32473.1\n"
    "1.3.6.1.2.1.1.3.0|67|12345\n";
// No sysObjectID: a version 1 GET of it answers noSuchName.
const char* const kBareRecording = "1.3.6.1.2.1.1.1.0|4|bare agent\n";

// The real printers' recordings kept with the tests.
std::string Recording(const std::string& name)
{
    return qavtest::ReadFile(QAV_SOURCE_DIR "/tests/data/snmprec/" + name + ".snmprec");
}

std::string Range(int first, int last)
{
    return qavtest::LoopbackAddress(first) + "-" + qavtest::LoopbackAddress(last);
}

int SlotOf(unsigned long result)
{
    const auto* b = reinterpret_cast<const unsigned char*>(&result);
    return b[3];
}

class SearchAgents : public ::testing::Test {
protected:
    // Answering agents on slots 2, 5 and 9; the bare agent on 7.
    static void SetUpTestSuite()
    {
        if (!qavtest::HaveProgram("snmpsimd")) return;
        port_ = qavtest::PrepareAgentPort();
        std::string brother = Recording("brother-hl-5370dw");
        std::string epson = Recording("epson-wf-c5790");
        if (brother.empty()) brother = kQavRecording;
        if (epson.empty()) epson = kQavRecording;
        const std::map<int, std::string> agents = {
            {2, kQavRecording}, {5, brother}, {7, kBareRecording}, {9, epson}};
        started_ = true;
        for (const auto& [slot, recording] : agents) {
            auto agent = std::make_unique<qavtest::SnmpSimAgent>();
            if (!agent->Start(qavtest::LoopbackAddress(slot), port_, {{"kestra", recording}})) {
                failure_ += "agent on slot " + std::to_string(slot) + ": " + agent->Log() + "\n";
                started_ = false;
            }
            agents_.push_back(std::move(agent));
        }
    }
    static void TearDownTestSuite() { agents_.clear(); }
    void SetUp() override
    {
        if (!qavtest::HaveProgram("snmpsimd")) GTEST_SKIP() << "snmpsimd is not installed";
        ASSERT_TRUE(started_) << failure_;
    }

    static std::vector<int> Run(const char* oid, std::vector<std::string> ranges, int& status)
    {
        CQBPSearch s;
        EXPECT_EQ(s.SingleSearchPrinter(oid, 2, &ranges), 0);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(6);
        while ((status = s.SearchGetResult()) == QBP_SEARCH_RUNNING && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::vector<int> found;
        for (int i = 0; i < s.SearchGetSize(); ++i) found.push_back(SlotOf(s.SearchGetAt(i)));
        return found;
    }

    static inline std::vector<std::unique_ptr<qavtest::SnmpSimAgent>> agents_;
    static inline int port_ = 0;
    static inline bool started_ = false;
    static inline std::string failure_;
};

TEST_F(SearchAgents, RangeFindsExactlyTheAnsweringHostsOnceEach)
{
    int status = -1;
    std::vector<int> found = Run(kSysObjectId, {Range(1, 12)}, status);
    EXPECT_EQ(status, 0);
    std::sort(found.begin(), found.end());
    // The bare agent answers too, but with noSuchName: no result.
    EXPECT_EQ(found, (std::vector<int>{2, 5, 9}));
}

TEST_F(SearchAgents, EveryAgentHoldingTheObjectIsFound)
{
    int status = -1;
    std::vector<int> found = Run(kSysDescr, {Range(1, 12)}, status);
    EXPECT_EQ(status, 0);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<int>{2, 5, 7, 9}));
}

TEST_F(SearchAgents, AHostAskedTwiceIsListedOnce)
{
    // Two ranges over the same host, and single-address ranges as the
    // device list passes them: the agent answers each request.
    int status = -1;
    std::vector<int> found = Run(kSysObjectId, {Range(5, 5), Range(2, 5), Range(5, 5)}, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(found.size(), 2u);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<int>{2, 5}));
}

} // namespace

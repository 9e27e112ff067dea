// The printer information against a strict agent (snmpsim serving a
// recording): every field in its place, objects the printer lacks left empty
// rather than filled with a neighbour's value, and a printer that does not
// answer.
#include <gtest/gtest.h>

#include "TestPeers.h"
#include "ncomm/QBPResult.h"
#include "nload/Information.h"
#include "nload/Protocol.h"
#include "qavres/Resources.h"

namespace {

using namespace nload;

const qavres::StringTable& Texts()
{
    static qavres::StringTable texts;
    if (!texts.IsLoaded()) texts.LoadFile(QAV_SOURCE_DIR "/resources/data/QDLRSENG.txt");
    return texts;
}

// A maker printer without a boot program version (20181) and without web
// content (26581, 26601): the agent answers their get-next with the next
// object it has.
std::string Recording()
{
    const std::string m = "1.3.6.1.4.1.32473.1.";
    return "1.3.6.1.2.1.1.1.0|4|VORANTA QAV M-PJ6KZ-P2\n"
           "1.3.6.1.2.1.1.5.0|4|Dock labeller\n" +
           m + "20101.0|4|M-PJ6KZ-P2\n" + m + "20121.0|4|V2.1\n" + m + "20141.0|4|PN-4711\n" + m +
           "20161.0|4|2024-03-01\n" + m + "20201.0|4|0020\n" + m + "20221.0|4|2023-01-01\n" + m +
           "20241.0|4|V1.3B 2022\n" + m + "20261.0|4|2022-11-11\n" + m + "20301.0|4|V1.0A\n" + m +
           "20321.0|4|2021-01-01\n" + m + "20361.0|4|V1.1 \n" + m + "20901.0|2|0\n" + m + "20941.0|2|0\n" + m +
           "22761.0|2|1\n" + m + "23841.0|4|V4.2\n" + m + "23861.0|4|NETPRG\n";
}

class Information : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!qavtest::HaveProgram("snmpsimd")) return;
        port_ = qavtest::PrepareAgentPort();
        address_ = qavtest::LoopbackAddress(60);
        sim_ = new qavtest::SnmpSimAgent;
        started_ = sim_->Start(address_, port_, {{"kestra", Recording()}});
    }
    static void TearDownTestSuite() { delete sim_; }
    void SetUp() override
    {
        if (!qavtest::HaveProgram("snmpsimd")) GTEST_SKIP() << "snmpsimd is not installed";
        ASSERT_TRUE(started_) << sim_->Log();
    }

    static inline qavtest::SnmpSimAgent* sim_ = nullptr;
    static inline std::string address_;
    static inline int port_ = 0;
    static inline bool started_ = false;
};

TEST_F(Information, EveryAnswerInItsField)
{
    PrinterInfo p = NetworkPrinter(address_);
    ASSERT_EQ(ReadPrinterInfo(Texts(), {}, p), kOk) << p.last.result;
    EXPECT_TRUE(p.infoRead);
    EXPECT_EQ(p.model, "VORANTA QAV M-PJ6KZ-P2");
    EXPECT_EQ(p.name, "Dock labeller");
    EXPECT_EQ(p.shortModel, "M-PJ6KZ-P2");
    EXPECT_EQ(p.versions[kKindMain], "V2.1 "); // four characters get a blank revision
    EXPECT_EQ(p.versions[kKindCg], "V1.3B"); // cut to five
    EXPECT_EQ(p.versions[kKindKanji1], "V1.0A");
    EXPECT_EQ(p.versions[kKindKanji2], "V1.1 ");
    EXPECT_EQ(p.bootType, "0020");
    EXPECT_EQ(p.partNumber, "PN-4711");
    EXPECT_EQ(p.extraTexts[0], "2024-03-01");
    EXPECT_TRUE(p.restartMark);
    EXPECT_EQ(p.statusCode, 0);
    EXPECT_EQ(p.networkName, "NETPRG");
    EXPECT_EQ(p.networkVersion, "V4.2 ");
}

TEST_F(Information, MissingObjectsStayEmpty)
{
    PrinterInfo p = NetworkPrinter(address_);
    ASSERT_EQ(ReadPrinterInfo(Texts(), {}, p), kOk);
    // The agent answers 20181 with 20201 ("0020") and 26581 with nothing of
    // its own: neither is taken.
    EXPECT_EQ(p.versions[kKindBoot], "");
    EXPECT_EQ(p.versions[kKindHtml], "");
    EXPECT_EQ(p.extraTexts[4], "");
}

TEST_F(Information, SilentPrinterIsCode12WithEmptyFields)
{
    PrinterInfo p = NetworkPrinter(qavtest::LoopbackAddress(61));
    p.name = "stale";
    EXPECT_EQ(ReadPrinterInfo(Texts(), {}, p), kErrInfoRead);
    EXPECT_EQ(p.last.code, kErrInfoRead);
    EXPECT_EQ(p.last.result, QBP_SNMP_TIMEOUT);
    EXPECT_EQ(p.name, "");
    EXPECT_FALSE(p.infoRead);
}

} // namespace

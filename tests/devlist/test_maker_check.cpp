// The maker check against real SNMP agents: snmpsim serving a recording of
// one of the maker's printers (its sysObjectID under the maker's
// enterprise), one whose enterprise only starts with the same digits, and
// the recording of a real printer of another maker.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "DeviceModel.h"
#include "TestTexts.h"
#include "nlist/Nlist.h"

namespace {

std::string RealRecording(const std::string& name)
{
    return qavtest::ReadFile(std::string(QAV_SOURCE_DIR) + "/tests/data/snmprec/" + name);
}

uint32_t AddressValue(const std::string& dotted)
{
    in_addr a{};
    ::inet_pton(AF_INET, dotted.c_str(), &a);
    return ntohl(a.s_addr);
}

class MakerCheck : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        devlisttest::UseTestTexts();
        if (!qavtest::HaveProgram("snmpsimd")) return;
        ::setenv("QAV_DATA_DIR", data_.Path().c_str(), 1);
        port_ = qavtest::PrepareAgentPort();
        address_ = qavtest::LoopbackAddress(1);
        std::map<std::string, std::string> recordings = {
            {"maker", "1.3.6.1.2.1.1.1.0|4|QAV M-UG2\n1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.32473.2.1\n"},
            {"lookalike", "1.3.6.1.2.1.1.1.0|4|Other\n1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.324730.1\n"},
            {"nooid", "1.3.6.1.2.1.1.1.0|4|Nothing\n"}};
        brother_ = RealRecording("brother-hl-5370dw.snmprec");
        if (!brother_.empty()) recordings["brother"] = brother_;
        sim_ = new qavtest::SnmpSimAgent;
        started_ = sim_->Start(address_, port_, recordings);
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        sim_ = nullptr;
    }
    void SetUp() override
    {
        if (!qavtest::HaveProgram("snmpsimd")) GTEST_SKIP() << "snmpsimd is not installed";
        ASSERT_TRUE(started_) << sim_->Log();
        ClearListData();
    }
    // The community the library reads from the management settings.
    static void UseCommunity(const std::string& community)
    {
        qavtest::WriteFile(data_.File("QAVMgmtConfig.INI"),
                           "[Community]\nReadCommunityName=" + community + "\nWriteCommunityName=" + community + "\n");
    }
    static int AddPrinter(const std::string& address)
    {
        ListData r;
        r.ipAddress = AddressValue(address);
        AddToListData(r);
        return GetListDataSize() - 1;
    }
    static ListData Record(int index)
    {
        ListData r;
        GetItemFromListData(&r, index);
        return r;
    }

    static inline qavtest::TempDir data_;
    static inline qavtest::SnmpSimAgent* sim_ = nullptr;
    static inline std::string address_;
    static inline std::string brother_;
    static inline int port_ = 0;
    static inline bool started_ = false;
};

TEST_F(MakerCheck, MakersPrinterIsFoundAndStored)
{
    UseCommunity("maker");
    const int index = AddPrinter(address_);
    EXPECT_EQ(nlist::DetermineIsBCP(AddressValue(address_), false), 0) << "no query, nothing known";
    EXPECT_EQ(Record(index).isBCP, -1);
    EXPECT_EQ(nlist::DetermineIsBCP(AddressValue(address_), true), 1);
    EXPECT_EQ(Record(index).isBCP, 1);
    // Known now: a later check asks nobody (the community no longer works).
    UseCommunity("wrong");
    EXPECT_EQ(nlist::DetermineIsBCP(AddressValue(address_), true), 1);
}

TEST_F(MakerCheck, OtherMakersAreNot)
{
    UseCommunity("lookalike");
    const int index = AddPrinter(address_);
    EXPECT_EQ(nlist::DetermineIsBCP(AddressValue(address_), true), 0) << "enterprise 324730 is not 32473";
    EXPECT_EQ(Record(index).isBCP, 0);

    ClearListData();
    UseCommunity("nooid");
    EXPECT_EQ(nlist::DetermineIsBCP(AddressValue(address_), true), 0) << "no sysObjectID";
    EXPECT_EQ(GetListDataSize(), 0) << "an unlisted printer is asked but not added";
}

TEST_F(MakerCheck, RealPrinterOfAnotherMaker)
{
    if (brother_.empty()) GTEST_SKIP() << "the printer recordings are not available";
    UseCommunity("brother");
    const int index = AddPrinter(address_);
    EXPECT_EQ(nlist::DetermineIsBCP(AddressValue(address_), true), 0);
    EXPECT_EQ(Record(index).isBCP, 0);
}

TEST_F(MakerCheck, SilentAddressIsNotTheMakers)
{
    UseCommunity("maker");
    const std::string silent = qavtest::LoopbackAddress(2);
    const int index = AddPrinter(silent);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(nlist::DetermineIsBCP(AddressValue(silent), true), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(Record(index).isBCP, 0);
}

} // namespace

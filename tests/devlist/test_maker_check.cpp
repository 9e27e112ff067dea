// The maker check and the device list's reads against real SNMP agents,
// which answer only what exists (a GET needs the instance): snmpsim serving
// a real label printer's recording turned into one of the maker's printers
// (its sysObjectID under the maker's enterprise, the maker's objects
// added), a bare maker's identifier, one whose enterprise only starts with
// the same digits, and the recording of a real printer of another maker.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "DeviceModel.h"
#include "ListEditing.h"
#include "ListRefresh.h"
#include "ListView.h"
#include "MakerRecording.h"
#include "PrinterQueries.h"
#include "TestPeers.h"
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
        // The shipped object table and texts: the reads use the whole table.
        ::unsetenv("QAV_RESOURCE_DIR");
        nlist::ReloadResources();
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
        maker_ = devlisttest::MakerRecording();
        if (!maker_.empty()) recordings["zebramaker"] = maker_;
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
    static inline std::string maker_;
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
    EXPECT_EQ(Record(index).isBCP, -1) << "no answer decides nothing";
}

TEST_F(MakerCheck, MakersPrinterOnAStrictAgentIsReadWhole)
{
    if (maker_.empty()) GTEST_SKIP() << "the printer recordings are not available";
    UseCommunity("zebramaker");
    const nlist::Communities communities = nlist::ReadCommunities();
    const uint32_t address = AddressValue(address_);
    EXPECT_TRUE(nlist::IsPrinter(address, communities));
    EXPECT_EQ(nlist::MakerFlag(address, communities), 1);

    ListData r;
    nlist::QueryFailure why = nlist::QueryFailure::kNoAnswer;
    ASSERT_TRUE(nlist::ReadMakerObjects(address, r, ListData(), communities, &why));
    EXPECT_EQ(why, nlist::QueryFailure::kNone);
    EXPECT_EQ(r.kind, 1);
    EXPECT_STREQ(r.name, "6NM1PAS_AB07");
    EXPECT_STREQ(r.location, "Booth 7");
    EXPECT_STREQ(r.model, "QAV M-UG2");
    EXPECT_EQ(r.printerStatus, 3);
    EXPECT_STREQ(r.serial, "QS7001");
    EXPECT_STREQ(r.manager, "R. Singh");
    EXPECT_STREQ(r.comment, "Booth printer");
    EXPECT_EQ(r.errorCode, 13);
    EXPECT_EQ(r.headStatus, 1);
    EXPECT_EQ(r.dhcpEnable, 1);
    EXPECT_STREQ(r.dhcpHostName, "booth7");
    EXPECT_STREQ(r.rfidOk, "") << "this firmware has no RFID counters";
    EXPECT_STREQ(r.rfidError, "");
    EXPECT_STREQ(r.auxiliaryText, "ZebraNet Wired PS");

    // The list's own paths: the refresh of a listed printer and a printer
    // added by hand, each joining the maker's group.
    ClearGroupData();
    for (const char* name : {"All", "Maker"}) {
        GroupData g;
        nlist::CopyText(g.name, name);
        AddToGroupData(g);
    }
    const int index = AddPrinter(address_);
    ASSERT_TRUE(nlist::ListRefresh::RefreshRecord(index, communities));
    EXPECT_EQ(Record(index).kind, 1);
    EXPECT_EQ(Record(index).isBCP, 1);
    EXPECT_STREQ(Record(index).serial, "QS7001");
    ClearListData();
    const int added = nlist::AddPrinter(address);
    EXPECT_EQ(Record(added).isBCP, 1);
    EXPECT_STREQ(Record(added).name, "6NM1PAS_AB07");
    EXPECT_GE(nlist::FindMemberPosition(address, 1), 0) << "in the maker's group";
    ClearGroupData();
}

TEST_F(MakerCheck, OtherMakersPrinterOnAStrictAgentIsReadWithTheStandardObjects)
{
    if (brother_.empty()) GTEST_SKIP() << "the printer recordings are not available";
    UseCommunity("brother");
    const nlist::Communities communities = nlist::ReadCommunities();
    const uint32_t address = AddressValue(address_);
    EXPECT_TRUE(nlist::IsPrinter(address, communities));
    EXPECT_EQ(nlist::MakerFlag(address, communities), 0);
    ListData r;
    ASSERT_TRUE(nlist::ReadStandardObjects(address, r, ListData(), communities));
    EXPECT_EQ(r.kind, 0);
    EXPECT_STREQ(r.name, "<private>");
    EXPECT_STREQ(r.model, "Brother HL-5370DW series");
    EXPECT_EQ(r.printerStatus, 6) << "the recording has no hrPrinterStatus: not the next object's value";
    EXPECT_EQ(r.errorCode, 0);
    EXPECT_STREQ(r.serial, "") << "no prtGeneralSerialNumber";
}

// An agent that answers without the maker's objects is still the maker's
// printer when its identifier says so, and one that answers nothing is
// asked again: nothing is stored for it.
TEST_F(MakerCheck, FailedCheckStoresNothing)
{
    UseCommunity("maker");
    const std::string silent = qavtest::LoopbackAddress(3);
    const int index = AddPrinter(silent);
    EXPECT_EQ(nlist::MakerFlag(AddressValue(silent), nlist::ReadCommunities()), -1);
    EXPECT_EQ(Record(index).isBCP, -1) << "asked again next time";
    UseCommunity("wrong");
    const int other = AddPrinter(address_);
    EXPECT_EQ(nlist::DetermineIsBCP(AddressValue(address_), true), 0) << "a wrong community gets no answer";
    EXPECT_EQ(Record(other).isBCP, -1);
}

} // namespace

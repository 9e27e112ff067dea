// The status readers and the polling cycle against the printer simulator:
// what lands in the device list, and when.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "TestPeers.h"
#include "nlist/Nlist.h"
#include "nwatch/Polling.h"
#include "nwatch/StatusReaders.h"
#include "qavres/Resources.h"

namespace {

using namespace nwatch;

uint32_t Address(const std::string& dotted)
{
    in_addr a{};
    ::inet_pton(AF_INET, dotted.c_str(), &a);
    return ntohl(a.s_addr);
}

class Polling : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        port_ = qavtest::PrepareAgentPort();
        objects_ = new qavres::ObjectTable;
        language_ = new qavres::StringTable;
        objects_->Load();
        language_->Load(qavres::kLanguage);
        dir_ = new qavtest::TempDir;
        for (int i = 0; i < 6; ++i) a_[i] = qavtest::LoopbackAddress(40 + i);
        qavtest::WriteFile(dir_->File("fleet"),
                           "[printer]\naddress = " + a_[0] + "\nmodel = QAV M-UG2\nname = Line 1\nlocation = Hall A\n"
                           "manager = J. Baker\ncomment = Dock 1\nserial = QS1001\nstatus = paper-near-end\nhead = 1\n"
                           "dhcp = 1\ndhcp-host = line1\nrfid-ok = 12\nrfid-error = 3\n"
                           "[printer]\naddress = " + a_[1] + "\nmodel = QAV M-RA1\nname = Tagger\nrfid-ok = 5\nhead = 1\n"
                           "[printer]\naddress = " + a_[2] + "\nkind = standard\nname = Office\n"
                           "[printer]\naddress = " + a_[3] + "\nname = Down\n"
                           "[printer]\naddress = " + a_[4] + "\nrecording = zebra-tlp2824plus.snmprec\n");
        sim_ = new qavtest::PrinterSim;
        started_ = sim_->Start({"--fleet", dir_->File("fleet"), "--port", std::to_string(port_)});
        if (started_) sim_->Command("down " + a_[3]);
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete dir_;
        delete objects_;
        delete language_;
    }
    void SetUp() override
    {
        ASSERT_TRUE(started_) << sim_->Log();
        ClearListData();
        for (int i = 0; i < 5; ++i) {
            ListData r;
            r.ipAddress = Address(a_[i]);
            AddToListData(r);
        }
        context_.objects = objects_;
        context_.language = language_;
    }
    static ListData Stored(int index)
    {
        ListData r;
        GetItemFromListData(&r, index);
        return r;
    }

    static inline qavtest::PrinterSim* sim_ = nullptr;
    static inline qavtest::TempDir* dir_ = nullptr;
    static inline qavres::ObjectTable* objects_ = nullptr;
    static inline qavres::StringTable* language_ = nullptr;
    static inline std::string a_[6];
    static inline int port_ = 0;
    static inline bool started_ = false;
    ReadContext context_;
};

TEST_F(Polling, FullStatusFillsTheRecord)
{
    ListData r;
    ReadFailure why;
    ASSERT_EQ(ReadFullStatus(Address(a_[0]), r, context_, &why), 1);
    EXPECT_EQ(r.kind, 1);
    EXPECT_EQ(r.isBCP, 1);
    EXPECT_STREQ(r.name, "Line 1");
    EXPECT_STREQ(r.model, "QAV M-UG2");
    EXPECT_STREQ(r.location, "Hall A");
    EXPECT_STREQ(r.manager, "J. Baker");
    EXPECT_STREQ(r.comment, "Dock 1");
    EXPECT_STREQ(r.serial, "QS1001");
    EXPECT_EQ(r.errorCode, 80); // paper near end
    EXPECT_EQ(r.printerStatus, 3);
    EXPECT_EQ(r.headStatus, 1);
    EXPECT_EQ(r.dhcpEnable, 1);
    EXPECT_STREQ(r.dhcpHostName, "line1");
    EXPECT_STREQ(r.rfidOk, "12");
    EXPECT_STREQ(r.rfidError, "3");
    EXPECT_EQ(std::string(r.port), a_[0]);
    EXPECT_NE(std::string(r.auxiliaryText).find("QAV M-UG2"), std::string::npos);
    EXPECT_NE(r.renewalTime[0], '\0');
}

TEST_F(Polling, ModelWithoutHeadHasNoHeadOrRfidValues)
{
    ListData r;
    ASSERT_EQ(ReadFullStatus(Address(a_[1]), r, context_), 1);
    EXPECT_EQ(r.headStatus, 0);
    EXPECT_STREQ(r.rfidOk, "");
    EXPECT_STREQ(r.rfidError, "");
}

TEST_F(Polling, SilentPrinterFailsBothReaders)
{
    ListData r;
    ReadFailure why;
    EXPECT_EQ(ReadFullStatus(Address(a_[3]), r, context_, &why), 0);
    EXPECT_EQ(r.kind, -1);
    EXPECT_EQ(why, ReadFailure::kNoAnswer);
}

TEST_F(Polling, MakerCheckStoresWhatItFound)
{
    EXPECT_EQ(MakerCheck(Address(a_[0]), true, context_), 1);
    EXPECT_EQ(Stored(0).isBCP, 1);
    EXPECT_EQ(MakerCheck(Address(a_[2]), false, context_), 0);
    EXPECT_EQ(Stored(2).isBCP, -1); // without a query nothing is learnt
    EXPECT_EQ(MakerCheck(Address(a_[2]), true, context_), 0);
    EXPECT_EQ(Stored(2).isBCP, 0);
    EXPECT_EQ(MakerCheck(Address(a_[3]), true, context_), 0);
    EXPECT_EQ(Stored(3).isBCP, -1); // silent: asked again next time
}

TEST_F(Polling, CycleStoresTheMakersPrintersOnly)
{
    PollingCycle cycle(4);
    const PollingResult result = cycle.RunCycle(context_);
    EXPECT_EQ(result.printers, 5);
    EXPECT_EQ(result.polled, 2);
    EXPECT_EQ(result.stored, 2);
    EXPECT_STREQ(Stored(0).name, "Line 1");
    EXPECT_EQ(Stored(0).kind, 1);
    EXPECT_STREQ(Stored(1).name, "Tagger");
    EXPECT_EQ(Stored(2).isBCP, 0);
    EXPECT_STREQ(Stored(2).name, ""); // a standard printer is not polled
    EXPECT_EQ(Stored(3).isBCP, -1);
    EXPECT_EQ(Stored(4).isBCP, 0); // the recorded Zebra is not the maker's
}

TEST_F(Polling, RenewalTimeMarksChangesOnly)
{
    PollingCycle cycle(2);
    cycle.RunCycle(context_);
    const std::string first = Stored(0).renewalTime;
    ASSERT_FALSE(first.empty());
    // A printer that did not change keeps its time, even seconds later.
    ListData marked = Stored(0);
    std::strcpy(marked.renewalTime, "1-January-2020 00:00:00");
    SetListData(0, marked);
    cycle.RunCycle(context_);
    EXPECT_STREQ(Stored(0).renewalTime, "1-January-2020 00:00:00");
    // A change is noticed.
    ASSERT_EQ(sim_->Command("set " + a_[0] + " location \"Hall B\""), "ok");
    cycle.RunCycle(context_);
    EXPECT_STREQ(Stored(0).location, "Hall B");
    EXPECT_STRNE(Stored(0).renewalTime, "1-January-2020 00:00:00");
    sim_->Command("set " + a_[0] + " location \"Hall A\"");
}

TEST_F(Polling, ConcurrentAndSequentialStoreTheSame)
{
    PollingCycle sequential(1), concurrent(8);
    sequential.RunCycle(context_);
    std::vector<ListData> one;
    for (int i = 0; i < GetListDataSize(); ++i) one.push_back(Stored(i));
    SetUp(); // a fresh list
    concurrent.RunCycle(context_);
    ASSERT_EQ(GetListDataSize(), static_cast<int>(one.size()));
    for (int i = 0; i < GetListDataSize(); ++i) {
        ListData r = Stored(i);
        EXPECT_STREQ(r.name, one[i].name) << i;
        EXPECT_EQ(r.errorCode, one[i].errorCode) << i;
        EXPECT_EQ(r.isBCP, one[i].isBCP) << i;
    }
}

TEST_F(Polling, ANewCycleWaitsForTheLastOne)
{
    PollingCycle cycle(2);
    std::atomic<int> done{0};
    ASSERT_TRUE(cycle.Start(context_, [&](const PollingResult&) { ++done; }));
    EXPECT_FALSE(cycle.Start(context_, nullptr)); // the silent printer keeps it busy for seconds
    cycle.Wait();
    EXPECT_EQ(done.load(), 1);
    EXPECT_FALSE(cycle.Running());
    EXPECT_TRUE(cycle.Start(context_, nullptr));
    cycle.Wait();
}

TEST_F(Polling, MissingObjectTableIsReported)
{
    ReadContext none;
    ListData r;
    ReadFailure why;
    EXPECT_EQ(ReadFullStatus(Address(a_[0]), r, none, &why), 0);
    EXPECT_EQ(why, ReadFailure::kNoObjectTable);
    SetBCPFlagListData(0, 1);
    PollingCycle cycle(1);
    EXPECT_TRUE(cycle.RunCycle(none).noObjectTable);
}

} // namespace

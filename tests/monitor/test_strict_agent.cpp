// The monitor's readers against a strict SNMP agent: snmpsim serving the
// recording of one of the maker's printers (made from a real one) and the
// real recording of another maker's printer. A strict agent answers a GET
// only with the instance, so every value here comes from the get-next of
// the bare identifier, and only an answer below the identifier asked for
// counts.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>

#include "MakerRecording.h"
#include "TestPeers.h"
#include "nlist/Nlist.h"
#include "nwatch/StatusReaders.h"
#include "qavplatform/Address.h"
#include "qavres/Resources.h"

namespace {

using namespace nwatch;
using monitortest::kMakerValues;
using monitortest::RecordedValue;

uint32_t Address(const std::string& dotted)
{
    uint32_t a = 0;
    qavplatform::ParseAddress(dotted, a);
    return a;
}

std::string Brother()
{
    return qavtest::ReadFile(QAV_SOURCE_DIR "/tests/data/snmprec/brother-hl-5370dw.snmprec");
}

class StrictAgent : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!qavtest::HaveProgram("snmpsimd")) return;
        port_ = qavtest::PrepareAgentPort();
        address_ = qavtest::LoopbackAddress(60);
        maker_ = monitortest::MakerRecording();
        objects_.Load();
        language_.Load(qavres::kLanguage);
        sim_ = new qavtest::SnmpSimAgent;
        started_ = sim_->Start(address_, port_, {{"maker", maker_}, {"brother", Brother()}});
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
        ListData r;
        r.ipAddress = Address(address_);
        AddToListData(r);
    }
    // The recording is chosen by the community.
    static ReadContext Context(const std::string& community)
    {
        ReadContext c;
        c.objects = &objects_;
        c.language = &language_;
        c.readCommunity = community;
        c.writeCommunity = community;
        return c;
    }
    static ListData Stored()
    {
        ListData r;
        GetItemFromListData(&r, 0);
        return r;
    }
    static std::string Maker(const std::string& oid) { return kMakerValues.at(oid); }

    static inline qavtest::SnmpSimAgent* sim_ = nullptr;
    static inline qavres::ObjectTable objects_;
    static inline qavres::StringTable language_;
    static inline std::string address_, maker_;
    static inline int port_ = 0;
    static inline bool started_ = false;
};

TEST_F(StrictAgent, FullReaderFillsTheRecordOfTheMakersPrinter)
{
    ListData r;
    ReadFailure why = ReadFailure::kNoAnswer;
    ASSERT_EQ(ReadFullStatus(Address(address_), r, Context("maker"), &why), 1);
    EXPECT_EQ(why, ReadFailure::kNone);
    EXPECT_EQ(r.kind, 1);
    EXPECT_EQ(r.isBCP, 1);
    EXPECT_EQ(std::string(r.name), RecordedValue(maker_, "1.3.6.1.2.1.1.5.0"));
    EXPECT_EQ(std::string(r.location), RecordedValue(maker_, "1.3.6.1.2.1.1.6.0"));
    EXPECT_EQ(std::string(r.auxiliaryText), RecordedValue(maker_, "1.3.6.1.2.1.1.1.0"));
    EXPECT_EQ(r.printerStatus, std::stoi(RecordedValue(maker_, "1.3.6.1.2.1.25.3.5.1.1.1")));
    EXPECT_STREQ(r.model, "QAV M-UG2");
    EXPECT_EQ(std::string(r.serial), Maker("1.3.6.1.4.1.32473.1.20781.0"));
    EXPECT_EQ(std::string(r.comment), Maker("1.3.6.1.4.1.32473.1.20821.0"));
    EXPECT_EQ(r.errorCode, 11);
    EXPECT_EQ(r.headStatus, 0);
    EXPECT_EQ(r.dhcpEnable, 1);
    EXPECT_STREQ(r.dhcpHostName, "booth7");
    EXPECT_STREQ(r.rfidOk, "40");
    EXPECT_STREQ(r.rfidError, "2");
    EXPECT_EQ(std::string(r.port), address_);
    EXPECT_NE(r.renewalTime[0], '\0');
}

// The administrator object is missing from the recording: the answer to its
// get-next is the comment object that follows, which is no answer for it.
TEST_F(StrictAgent, SingleObjectReaderChecksTheAnswerOid)
{
    std::vector<ObjectRequest> req = {{4, 20801, {}, false}, {4, 20821, {}, false}, {6, 1361, {}, false},
                                      {2, 121, {}, false}};
    ASSERT_TRUE(ReadObjects(Address(address_), req, Context("maker")));
    EXPECT_FALSE(req[0].answered);
    EXPECT_EQ(req[0].value, "");
    EXPECT_TRUE(req[1].answered);
    EXPECT_EQ(req[1].value, Maker("1.3.6.1.4.1.32473.1.20821.0"));
    EXPECT_EQ(req[2].value, "1.3.6.1.4.1.32473.2.1");
    EXPECT_EQ(req[3].value, RecordedValue(maker_, "1.3.6.1.2.1.25.3.5.1.1.1"));

    ListData r;
    ASSERT_EQ(ReadFullStatus(Address(address_), r, Context("maker")), 1);
    EXPECT_STREQ(r.manager, "") << "the comment must not land in the administrator field";

    std::vector<ObjectRequest> tooMany(21, ObjectRequest{4, 201, {}, false});
    EXPECT_FALSE(ReadObjects(Address(address_), tooMany, Context("maker")));
}

TEST_F(StrictAgent, MakerCheckKnowsTheMakersPrinterAndAnother)
{
    EXPECT_EQ(MakerCheck(Address(address_), true, Context("maker")), 1);
    EXPECT_EQ(Stored().isBCP, 1);

    SetBCPFlagListData(0, -1);
    bool answered = false;
    EXPECT_EQ(AskMakerFlag(Address(address_), Context("brother"), &answered), 0);
    EXPECT_TRUE(answered);
    EXPECT_EQ(Stored().isBCP, 0);

    // A community the agent does not serve: no answer, nothing learnt.
    SetBCPFlagListData(0, -1);
    EXPECT_EQ(AskMakerFlag(Address(address_), Context("nobody"), &answered), 0);
    EXPECT_FALSE(answered);
    EXPECT_EQ(Stored().isBCP, -1);
}

// The basic set of another maker's printer, from its real recording.
TEST_F(StrictAgent, BasicReaderReadsAnotherMakersPrinter)
{
    const std::string brother = Brother();
    ListData before;
    std::strcpy(before.name, "old name");
    std::strcpy(before.renewalTime, "01-January-2020 00:00:00");
    ListData r;
    ASSERT_EQ(ReadBasicStatus(Address(address_), r, Context("brother"), nullptr, &before), 1);
    EXPECT_EQ(r.kind, 0);
    EXPECT_EQ(std::string(r.name), RecordedValue(brother, "1.3.6.1.2.1.1.5.0"));
    EXPECT_EQ(std::string(r.location), RecordedValue(brother, "1.3.6.1.2.1.1.6.0"));
    EXPECT_EQ(std::string(r.model), RecordedValue(brother, "1.3.6.1.2.1.25.3.2.1.3.1"));
    // hrPrinterStatus is not in the recording: the next object is no answer.
    EXPECT_EQ(r.printerStatus, 6);
    EXPECT_EQ(r.errorCode, 0); // hrPrinterDetectedErrorState: one byte 0x00
    EXPECT_STREQ(r.serial, "");
    EXPECT_EQ(r.dhcpEnable, -1);
    // The liveness object (an integer on real agents) was read, and the
    // name changed: the time of the change is stored.
    EXPECT_STRNE(r.renewalTime, "01-January-2020 00:00:00");
    EXPECT_NE(r.renewalTime[0], '\0');
}

// The time of the last change: the day has two digits, as "%d" writes it.
TEST(RenewalTime, DayOfTheMonthHasTwoDigits)
{
    std::tm tm{};
    tm.tm_year = 2026 - 1900;
    tm.tm_mon = 11;
    tm.tm_mday = 8;
    tm.tm_hour = 14;
    tm.tm_min = 5;
    tm.tm_sec = 9;
    EXPECT_EQ(RenewalTimeText(tm), "08-December-2026 14:05:09");
    tm.tm_mday = 28;
    EXPECT_EQ(RenewalTimeText(tm), "28-December-2026 14:05:09");
    const std::string now = RenewalTimeNow();
    ASSERT_GE(now.size(), 3u);
    EXPECT_EQ(now[2], '-') << now;
}

} // namespace

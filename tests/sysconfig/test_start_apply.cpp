// The start (printer check, list check, resource base, instance rules) and
// the writing of changes, against printers in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "FakePrinters.h"
#include "TestData.h"
#include "TestPeers.h"
#include "nconfig/Apply.h"
#include "nconfig/StartUp.h"
#include "nconfig/Texts.h"

using namespace nconfig;
using nconfigtest::Data;
using nconfigtest::FakeNetwork;
using nconfigtest::IndexByKey;

namespace {

bool Logged(const std::vector<std::string>& log, const std::string& entry)
{
    return std::find(log.begin(), log.end(), entry) != log.end();
}

class Start : public ::testing::Test {
protected:
    Start()
    {
        ::setenv("QAV_DATA_DIR", data_.Path().c_str(), 1);
        qavtest::WriteFile(data_.File("QNASys.ini"), "[Resource]\nQAVNetConfig=NCres\nM-UG2 V1.02=20000\n"
                                                     "MC-1200=30000\n[Version]\nM-UG2=V1.02\n");
    }
    StartPlan Plan(const std::string& line) { return PrepareStart(line, net_.Links(), data_.File("QNASys.ini")); }

    qavtest::TempDir data_;
    FakeNetwork net_;
};

TEST_F(Start, PrinterClasses)
{
    net_.AddMaker("10.0.0.1", 27, "M-UG2");
    net_.AddMaker("10.0.0.2", 0, "M-UG2");
    net_.AddMaker("10.0.0.3", 5, "M-UG2");
    EXPECT_EQ(Plan("3 SNMP 10.0.0.1").message, 0);
    EXPECT_EQ(Plan("3 SNMP 10.0.0.2").message, 0);
    EXPECT_EQ(Plan("3 SNMP 10.0.0.3").message, kMsgUnsupported);
    EXPECT_EQ(Plan("3 SNMP 10.0.0.4").message, kMsgCheckFailed) << "nobody answers";
}

TEST_F(Start, AGivenModelAndVersionAreNotRead)
{
    net_.AddMaker("10.0.0.1", 0, "M-UG2");
    const StartPlan plan = Plan("2 SNMP 10.0.0.1|M-UG2?V1.02");
    ASSERT_EQ(plan.message, 0);
    const auto log = net_.Log("10.0.0.1");
    EXPECT_TRUE(Logged(log, "read 20901.0")) << "the class is always read";
    EXPECT_FALSE(Logged(log, "read 20101.0"));
    EXPECT_FALSE(Logged(log, "read 23781.0"));
    EXPECT_EQ(plan.base, 20000);
}

TEST_F(Start, ModelAndVersionReadFromThePrinter)
{
    auto& p = net_.AddMaker("10.0.0.1", 0, "M-UG2   ", "");
    (void)p;
    const StartPlan plan = Plan("3 SNMP 10.0.0.1");
    ASSERT_EQ(plan.message, 0);
    EXPECT_EQ(plan.line.model, "M-UG2") << "trailing blanks removed";
    EXPECT_EQ(plan.line.version, "") << "an unreadable version fails nothing";
    EXPECT_EQ(plan.base, 10000) << "no Resource key \"M-UG2\" without a version";

    net_.Add("10.0.0.2").objects[{kObjectClass, 0}] = "0"; // no model object
    EXPECT_EQ(Plan("3 SNMP 10.0.0.2").message, kMsgCheckFailed);
}

TEST_F(Start, ResourceBaseFollowsTheNewestVersionWithPages)
{
    const std::string file = data_.File("QNASys.ini");
    EXPECT_EQ(ResourceBase("M-UG2", "V1.02", file), 20000);
    EXPECT_EQ(ResourceBase("M-UG2", "V1.09", file), 20000) << "a newer printer gets the newest pages";
    EXPECT_EQ(ResourceBase("M-UG2", "V1.01", file), 10000) << "an older printer keeps its own version";
    EXPECT_EQ(ResourceBase("MC-1200", "", file), 30000);
    EXPECT_EQ(ResourceBase("QAV MD-400", "V1.02", file), 10000);
}

TEST_F(Start, BadCommandLinesAndListFiles)
{
    EXPECT_EQ(Plan("").message, kMsgCannotStart);
    EXPECT_EQ(Plan("3 SNMP 10.0.0.300").message, kMsgCannotStart);
    EXPECT_EQ(Plan("4 missing.txt").message, kMsgCannotStart);
    qavtest::WriteFile(data_.File("temp.txt"), "\n");
    EXPECT_EQ(Plan("4 temp.txt").message, kMsgCannotStart) << "an empty list";
    EXPECT_EQ(net_.opens, 0);
}

TEST_F(Start, ListCheck)
{
    net_.AddMaker("10.0.0.1", 0, "M-UG2", "V1.01");
    net_.AddMaker("10.0.0.2", 0, "M-UG2", "V1.03");
    net_.AddMaker("10.0.0.3", 0, "M-UG2", "V1.02");
    net_.AddMaker("10.0.0.4", 0, "MC-1200");
    qavtest::WriteFile(data_.File("temp.txt"), "SNMP 10.0.0.1\nSNMP 10.0.0.9\nSNMP 10.0.0.2\nSNMP 10.0.0.3\n");
    StartPlan plan = Plan("4 temp.txt");
    ASSERT_EQ(plan.message, 0) << "a printer that does not answer is no other model";
    EXPECT_EQ(plan.line.model, "M-UG2");
    EXPECT_EQ(plan.line.version, "V1.03") << "the highest version of the list";
    EXPECT_EQ(plan.lines.size(), 4u);
    EXPECT_EQ(plan.listPath, data_.File("temp.txt"));

    qavtest::WriteFile(data_.File("mixed.txt"), "SNMP 10.0.0.1\nSNMP 10.0.0.4\n");
    EXPECT_EQ(Plan("4 mixed.txt").message, kMsgCannotStart);

    const int opens = net_.opens;
    plan = Plan("4 mixed.txt|M-UG2?V1.02");
    EXPECT_EQ(plan.message, 0) << "a model on the command line: no list check";
    EXPECT_EQ(net_.opens, opens);

    qavtest::WriteFile(data_.File("silent.txt"), "SNMP 10.0.0.8\nSNMP 10.0.0.9\n");
    plan = Plan("4 silent.txt");
    ASSERT_EQ(plan.message, 0);
    EXPECT_EQ(plan.line.model, kDefaultModel);
    EXPECT_EQ(plan.base, 10000);
}

TEST(InstanceRulesTest, ListModeStandsAlone)
{
    qavtest::TempDir runtime;
    ::setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    {
        InstanceRules one, two, list;
        EXPECT_EQ(one.Enter(false), 0);
        EXPECT_EQ(two.Enter(false), 0) << "two printers' windows side by side";
        EXPECT_EQ(list.Enter(true), kMsgOtherInstance);
    }
    InstanceRules list, one;
    EXPECT_EQ(list.Enter(true), 0);
    EXPECT_EQ(one.Enter(false), kMsgOtherInstance);
}

TEST(Titles, WindowTitle)
{
    EXPECT_EQ(WindowTitle(Data().language, nconfigtest::kUg2Base, 3, "SNMP", "10.0.0.1"),
              "System Settings ( SNMP_10.0.0.1 )");
}

// ------------------------------------------------------------- applying

class Applying : public ::testing::Test {
protected:
    Applying()
        : book_(LoadPages(Data().language, Data().objects, nconfigtest::kUg2Base)),
          doc_(book_, Data().language, 3, false)
    {
        printer_ = &net_.AddMaker("10.0.0.1", 0, "M-UG2");
        // Pages of mode 3: Print, Network, Identity, Quality.
        printer_->objects[{20741, 0}] = "0";
        printer_->objects[{25101, 0}] = "0";
        printer_->objects[{22701, 0}] = "10.0.0.1";
        printer_->objects[{201, 0}] = "Old name";
        printer_->objects[{20721, 0}] = "5";
    }
    int Index(int page, const std::string& key) { return IndexByKey(doc_.Pages()[page].Definition(), key); }
    void Read()
    {
        auto link = net_.Links()();
        ASSERT_EQ(link->Open("SNMP", "10.0.0.1"), 0);
        ASSERT_EQ(ReadDocument(*link, doc_), 0);
        link->Close();
    }

    PageBook book_;
    SettingsDocument doc_;
    FakeNetwork net_;
    nconfigtest::FakePrinter* printer_ = nullptr;
};

TEST_F(Applying, OneRequestPerBlock)
{
    Read();
    const auto log = net_.Log("10.0.0.1");
    const long blocks = std::count_if(log.begin(), log.end(), [](const std::string& e) { return e.rfind("block", 0) == 0; });
    EXPECT_EQ(blocks, 5) << "Print has two blocks, the other three pages one";
    EXPECT_TRUE(Logged(log, "block 19")) << "block 0 of Print: 20 parameters, the fixed one is never read";
    EXPECT_TRUE(Logged(log, "block 3")) << "block 1 of Print";
    EXPECT_EQ(doc_.Pages()[3].Value(Index(3, "20721.0")), "5");
    EXPECT_EQ(doc_.Pages()[0].Value(Index(0, "25361.0")), "@unknown@");
}

TEST_F(Applying, PagesStopAtTheirFirstFailureAndTheNextIsTried)
{
    Read();
    printer_->refused[{25101, 0}] = -3;
    ASSERT_EQ(doc_.Edit(0, Index(0, "20741.0"), "7"), EditResult::kChanged);
    ASSERT_EQ(doc_.Edit(0, Index(0, "25101.0"), "Cut"), EditResult::kChanged);
    ASSERT_EQ(doc_.Edit(0, Index(0, "25581.0"), "2.5"), EditResult::kChanged);
    ASSERT_EQ(doc_.Edit(2, Index(2, "201.0"), "New name"), EditResult::kChanged);
    auto link = net_.Links()();
    const SingleApply s = ApplyAndReread(*link, doc_, "SNMP", "10.0.0.1", "M-UG2", "V1.02", 0);
    ASSERT_TRUE(s.result.supported);
    ASSERT_EQ(s.result.pages.size(), 2u);
    EXPECT_FALSE(s.result.pages[0].complete);
    EXPECT_EQ(s.result.pages[0].refused, -3);
    EXPECT_TRUE(s.result.pages[1].complete);
    EXPECT_EQ(net_.Value("10.0.0.1", 20741), "7");
    EXPECT_EQ(net_.Value("10.0.0.1", 25581), "") << "not tried after the failure";
    EXPECT_EQ(net_.Value("10.0.0.1", 201), "New name");
    EXPECT_EQ(net_.Value("10.0.0.1", kObjectControl), "2");
    const auto log = net_.Log("10.0.0.1");
    const auto write = std::find(log.begin(), log.end(), "write 20741.0=7");
    ASSERT_NE(write, log.end());
    EXPECT_EQ(*(write + 1), "write 25101.0=2") << "change-set order";
    // The failed page keeps its changes for the next apply, but the read
    // afterwards finds the vertical offset written already.
    ASSERT_EQ(doc_.Pages()[0].Changes().Size(), 2u);
    EXPECT_EQ(doc_.Pages()[0].Changes().Entries()[0].value, "2");
    EXPECT_TRUE(doc_.Pages()[2].Changes().Empty());
    EXPECT_EQ(doc_.Pages()[2].Value(Index(2, "201.0")), "New name") << "read again";
    EXPECT_EQ(FailureReason(s.result, doc_), "page Print, 25101.0: refused by the printer (badValue)");
}

TEST_F(Applying, NothingIsWrittenToAnUnsupportedPrinter)
{
    Read();
    ASSERT_EQ(doc_.Edit(2, Index(2, "201.0"), "New name"), EditResult::kChanged);
    printer_->objects[{kObjectClass, 0}] = "5";
    auto link = net_.Links()();
    const SingleApply s = ApplyAndReread(*link, doc_, "SNMP", "10.0.0.1", "M-UG2", "V1.02", 0);
    EXPECT_FALSE(s.result.supported);
    EXPECT_EQ(net_.Value("10.0.0.1", 201), "Old name");
    EXPECT_EQ(net_.Value("10.0.0.1", kObjectControl), "");
    EXPECT_EQ(doc_.Pages()[2].Changes().Size(), 1u);
}

TEST_F(Applying, NoControlWriteWithoutAWholePage)
{
    Read();
    printer_->refused[{201, 0}] = -17;
    ASSERT_EQ(doc_.Edit(2, Index(2, "201.0"), "New name"), EditResult::kChanged);
    auto link = net_.Links()();
    const SingleApply s = ApplyAndReread(*link, doc_, "SNMP", "10.0.0.1", "M-UG2", "V1.02", 0);
    EXPECT_FALSE(s.result.anyComplete);
    EXPECT_EQ(net_.Value("10.0.0.1", kObjectControl), "");
}

TEST_F(Applying, AListPrinterTakesItsSettingsOnlyWhenWrittenWhole)
{
    Read();
    printer_->refused[{201, 0}] = -3;
    ASSERT_EQ(doc_.Edit(0, Index(0, "20741.0"), "7"), EditResult::kChanged);
    ASSERT_EQ(doc_.Edit(2, Index(2, "201.0"), "New name"), EditResult::kChanged);
    ASSERT_EQ(doc_.Edit(3, Index(3, "20721.0"), "9"), EditResult::kChanged);
    auto link = net_.Links()();
    ApplyOptions list;
    list.stopAtFailedPage = true;
    const ApplyResult r = ApplyToPrinter(*link, "SNMP", "10.0.0.1", doc_, list);
    EXPECT_TRUE(r.anyComplete);
    EXPECT_FALSE(r.AllWritten());
    ASSERT_EQ(r.pages.size(), 2u) << "the failed page ends the printer";
    EXPECT_EQ(net_.Value("10.0.0.1", 20721), "5");
    EXPECT_EQ(net_.Value("10.0.0.1", kObjectControl), "") << "it stays in the list and takes nothing yet";
}

TEST_F(Applying, TheNewAddressIsTakenOnlyWhenWritten)
{
    Read();
    net_.AddMaker("10.0.0.2", 0, "M-UG2");
    ASSERT_EQ(doc_.Edit(1, Index(1, "22701.0"), "10.0.0.2"), EditResult::kChanged);
    EXPECT_EQ(doc_.NewAddress(), "10.0.0.2");
    printer_->refused[{22701, 0}] = -3;
    auto link = net_.Links()();
    SingleApply s = ApplyAndReread(*link, doc_, "SNMP", "10.0.0.1", "M-UG2", "V1.02", 0);
    EXPECT_FALSE(s.addressChanged) << "the printer refused its new address: it is still where it was";
    EXPECT_EQ(s.address, "10.0.0.1");
    printer_->refused.clear();
    s = ApplyAndReread(*link, doc_, "SNMP", "10.0.0.1", "M-UG2", "V1.02", 0);
    EXPECT_TRUE(s.addressChanged);
    EXPECT_EQ(s.address, "10.0.0.2");
    EXPECT_TRUE(Logged(net_.Log("10.0.0.2"), "block 19")) << "the pages are read again from the new address";
}

TEST_F(Applying, ListPassesKeepThePrintersThatFailed)
{
    SettingsDocument list(book_, Data().language, 4, false);
    for (size_t i = 0; i < list.Pages()[0].Parameters().size(); ++i) list.Pages()[0].SetRead(static_cast<int>(i), "@unknown@");
    ASSERT_EQ(list.Edit(0, IndexByKey(list.Pages()[0].Definition(), "20721.0"), "9"), EditResult::kChanged);
    std::vector<ListLine> lines;
    for (int i = 1; i <= 8; ++i) {
        const std::string a = "10.0.1." + std::to_string(i);
        lines.push_back({"SNMP", a, "", ""});
        auto& p = net_.AddMaker(a, i == 3 ? 5 : 0, i == 4 ? "MC-1200" : "M-UG2");
        if (i == 5) p.refused[{20721, 0}] = -3;
        if (i == 6) p.silent = true;
    }
    const auto one = ApplyListPass(net_.Links(), lines, list, "M-UG2", 1);
    const auto many = ApplyListPass(net_.Links(), lines, list, "M-UG2", 16);
    for (const auto* results : {&one, &many}) {
        ASSERT_EQ(results->size(), 8u);
        for (int i = 1; i <= 8; ++i) {
            const LineResult& r = (*results)[i - 1];
            const bool fails = i >= 3 && i <= 6;
            EXPECT_EQ(r.written, !fails) << i;
            if (!fails) continue;
            EXPECT_EQ(r.stateText, i == 3 || i == 4 ? kTextUnsupported : kTextNotWritten) << i;
            EXPECT_EQ(r.answered, i != 6) << i;
        }
        EXPECT_EQ((*results)[5].reason, "no answer (SNMP time-out: no answer)");
        EXPECT_EQ((*results)[2].reason, "unsupported printer class 5");
    }
    EXPECT_EQ(net_.Value("10.0.1.1", 20721), "9");
    EXPECT_EQ(net_.Value("10.0.1.1", kObjectControl), "2");
    EXPECT_EQ(net_.Value("10.0.1.4", 20721), "") << "another model gets nothing";
    EXPECT_EQ(net_.Value("10.0.1.5", kObjectControl), "") << "no page was written whole";
}

} // namespace

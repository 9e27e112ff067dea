// The model's internal operations: group criteria, group assignment of new
// printers, member bookkeeping and the status table.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "DeviceModel.h"
#include "StatusText.h"
#include "TestTexts.h"
#include "nlist/Nlist.h"
#include "qavres/Resources.h"

using namespace nlist;

namespace {

TEST(Criteria, ListRuleIsExactAndCaseSensitive)
{
    EXPECT_TRUE(MatchList("anything", ""));
    EXPECT_TRUE(MatchList("M-UG2", "M-RA1,M-UG2"));
    EXPECT_TRUE(MatchList("M-RA1", "M-RA1,M-UG2"));
    EXPECT_FALSE(MatchList("m-ug2", "M-RA1,M-UG2"));
    EXPECT_FALSE(MatchList("M-UG", "M-RA1,M-UG2"));
    EXPECT_FALSE(MatchList(" M-UG2", "M-RA1, M-UG2x"));
    EXPECT_TRUE(MatchList("a,b", "a,b")) << "the whole criterion counts too";
    EXPECT_FALSE(MatchList("", "M-RA1"));
    EXPECT_TRUE(MatchList("", "M-RA1,,x")) << "an empty piece matches an empty value";
}

TEST(Criteria, AddressRule)
{
    EXPECT_TRUE(MatchAddress("192.168.1.7", ""));
    EXPECT_FALSE(MatchAddress("", "192.168.1.7"));
    EXPECT_TRUE(MatchAddress("192.168.1.7", "192.168.1.7"));
    EXPECT_FALSE(MatchAddress("192.168.1.8", "192.168.1.7"));
    EXPECT_TRUE(MatchAddress("192.168.1.7", "192.168.1.255"));
    EXPECT_FALSE(MatchAddress("192.168.2.7", "192.168.1.255"));
    EXPECT_FALSE(MatchAddress("192.168.1.0", "192.168.1.255"));
    EXPECT_FALSE(MatchAddress("192.168.1.255", "192.168.1.255"));
    EXPECT_TRUE(MatchAddress("192.168.2.7", "192.168.255.255"));
    EXPECT_FALSE(MatchAddress("192.168.0.7", "192.168.255.255"));
    EXPECT_FALSE(MatchAddress("192.169.2.7", "192.168.255.255"));
    EXPECT_TRUE(MatchAddress("192.1.2.3", "192.255.255.255"));
    EXPECT_FALSE(MatchAddress("193.1.2.3", "192.255.255.255"));
    for (const char* a : {"10.0.0.1", "1.2.3.4", "0.0.0.0", "255.255.255.255"}) {
        EXPECT_TRUE(MatchAddress(a, "255.255.255.255")) << a;
    }
    EXPECT_FALSE(MatchAddress("printer.local", "192.168.1.255"));
    EXPECT_FALSE(MatchAddress("192.168.1.7", "garbage"));
}

TEST(Criteria, RangeRule)
{
    EXPECT_TRUE(MatchRange("A150", ""));
    EXPECT_FALSE(MatchRange("", "A100~A199"));
    EXPECT_TRUE(MatchRange("A150", "A100~A199"));
    EXPECT_TRUE(MatchRange("A100", "A100~A199"));
    EXPECT_TRUE(MatchRange("A199", "A100~A199"));
    EXPECT_FALSE(MatchRange("B100", "A100~A199"));
    EXPECT_FALSE(MatchRange("A100", "A100")) << "without ~ nothing matches";
    EXPECT_FALSE(MatchRange("\xC0", "A~z")) << "bytes compare unsigned";
    EXPECT_TRUE(MatchRange("A5", "~B")) << "an empty low bound";
}

class Model : public ::testing::Test {
protected:
    void SetUp() override
    {
        devlisttest::UseTestTexts();
        ClearListData();
        ClearGroupData();
    }
    void TearDown() override
    {
        ClearListData();
        ClearGroupData();
    }
    static void AddGroup(const char* name, const char* model = "", const char* port = "", const char* serial = "",
                         const char* location = "", const char* manager = "", const char* comment = "")
    {
        GroupData g;
        std::strcpy(g.name, name);
        std::strcpy(g.model, model);
        std::strcpy(g.port, port);
        std::strcpy(g.serialNo, serial);
        std::strcpy(g.installationFeatures, location);
        std::strcpy(g.manager, manager);
        std::strcpy(g.comment, comment);
        AddToGroupData(std::move(g));
    }
    static ListData Printer(uint32_t ip, const char* port, const char* model, const char* serial = "S1",
                            const char* location = "Hall", const char* manager = "Ann", const char* comment = "c")
    {
        ListData r;
        r.ipAddress = ip;
        std::strcpy(r.port, port);
        std::strcpy(r.model, model);
        std::strcpy(r.serial, serial);
        std::strcpy(r.location, location);
        std::strcpy(r.manager, manager);
        std::strcpy(r.comment, comment);
        return r;
    }
};

TEST_F(Model, AssignToGroupsAppliesAllSixCriteria)
{
    AddGroup("All");
    AddGroup("Maker");
    AddGroup("Everything");
    AddGroup("Subnet", "M-RA1,M-UG2", "192.168.1.255", "A100~A199", "Hall,Lab", "Ann", "c,d");
    AddGroup("Other model", "M-XX");

    const ListData match = Printer(0xC0A80107, "192.168.1.7", "M-UG2", "A150");
    AddToListData(match);
    SetBCPFlagListData(0, 1);
    AssignToGroups(match);
    const ListData other = Printer(0xC0A80207, "192.168.2.7", "M-UG2", "A150");
    AddToListData(other); // isBCP undetermined: not in group 1
    AssignToGroups(other);
    const ListData unknown = Printer(0x0A000001, "10.0.0.1", "m-ug2");
    AssignToGroups(unknown); // not even in the list

    EXPECT_EQ(GetPrinterCountfromGroupData(0), 3);
    EXPECT_EQ(GetPrinterCountfromGroupData(1), 1);
    EXPECT_EQ(GetPrinterFromGroupData(1, 0), 0xC0A80107u);
    EXPECT_EQ(GetPrinterCountfromGroupData(2), 3) << "all criteria empty: every new printer";
    EXPECT_EQ(GetPrinterCountfromGroupData(3), 1);
    EXPECT_EQ(GetPrinterFromGroupData(3, 0), 0xC0A80107u);
    EXPECT_EQ(GetPrinterCountfromGroupData(4), 0);

    // Each criterion alone can keep a printer out.
    for (const ListData& miss : {Printer(0xC0A80108, "192.168.1.8", "M-UG2", "B150"),
                                 Printer(0xC0A80109, "192.168.1.9", "M-UG2", "A150", "Roof"),
                                 Printer(0xC0A8010A, "192.168.1.10", "M-UG2", "A150", "Hall", "Bob"),
                                 Printer(0xC0A8010B, "192.168.1.11", "M-UG2", "A150", "Hall", "Ann", "e"),
                                 Printer(0xC0A8010C, "", "M-UG2", "A150")}) {
        AssignToGroups(miss);
    }
    EXPECT_EQ(GetPrinterCountfromGroupData(3), 1);
    EXPECT_EQ(GetPrinterCountfromGroupData(0), 8);
}

TEST_F(Model, MembersAndMarks)
{
    AddGroup("All");
    AddGroup("Lab");
    EXPECT_EQ(FindGroupByName("lab", -1), 1);
    EXPECT_EQ(FindGroupByName("LAB", 1), -1) << "the group being edited is skipped";
    EXPECT_EQ(FindGroupByName("nope", -1), -1);
    EXPECT_EQ(AddPrinterToGroup(1, 5), 1);
    EXPECT_EQ(AddPrinterToGroup(1, 6), 1);
    EXPECT_EQ(AddPrinterToGroup(1, 5), 1);
    EXPECT_EQ(AddPrinterToGroup(7, 5), 0);
    EXPECT_EQ(GetPrinterCountfromGroupData(1), 3);
    EXPECT_EQ(FindMemberPosition(6, 1), 1);
    EXPECT_EQ(FindMemberPosition(9, 1), -1);
    EXPECT_EQ(GetMemberMark(1, 2), 0);
    EXPECT_EQ(SetMemberMark(1, 2, 1), 1);
    EXPECT_EQ(SetMemberMark(1, 3, 1), 0);
    EXPECT_EQ(GetMemberMark(1, 3), -1);
    EXPECT_EQ(CountMarkedMembers(1), 1);
    EXPECT_EQ(RemovePrinterFromGroup(1, 5), 1) << "the first of the two";
    EXPECT_EQ(GetPrinterCountfromGroupData(1), 2);
    EXPECT_EQ(GetPrinterFromGroupData(1, 1), 5u);
    EXPECT_EQ(GetMemberMark(1, 1), 1) << "marks move with their members";
    EXPECT_EQ(RemovePrinterFromGroup(1, 42), 0);
    EXPECT_EQ(SetMember(1, 1, 9), 1);
    EXPECT_EQ(SetMember(1, 2, 9), 0);
    EXPECT_EQ(GetPrinterFromGroupData(1, 1), 9u);
    char name[3];
    EXPECT_EQ(GetGroupName(1, name, sizeof name), 1);
    EXPECT_STREQ(name, "La");
    EXPECT_EQ(GetGroupName(2, name, sizeof name), 0);
    EXPECT_EQ(RemoveGroup(0), 1);
    EXPECT_EQ(RemoveGroup(5), 0);
    EXPECT_EQ(GetGroupDataSize(), 1);
}

TEST_F(Model, PrintersByAddressAndFieldReaders)
{
    ListData r = Printer(1, "0.0.0.1", "M");
    r.printerStatus = 4;
    r.errorCode = 512;
    r.headStatus = 1;
    AddToListData(r);
    r.printerStatus = 5;
    AddToListData(r);
    EXPECT_EQ(GetPrinterStatus(0), 4);
    EXPECT_EQ(GetErrorCode(1), 512);
    EXPECT_EQ(GetHeadStatus(0), 1);
    EXPECT_EQ(GetPrinterStatus(2), -1);
    EXPECT_EQ(RemovePrinter(1), 1);
    EXPECT_EQ(GetListDataSize(), 1);
    EXPECT_EQ(GetPrinterStatus(0), 5) << "the first record went";
    EXPECT_EQ(RemovePrinter(2), -1);
    EXPECT_EQ(DetermineIsBCP(1, false), 0) << "undetermined, no query";
    SetBCPFlagListData(0, 1);
    EXPECT_EQ(DetermineIsBCP(1, false), 1);
    EXPECT_EQ(DetermineIsBCP(1, true), 1) << "a known value needs no query";
}

// The maker's status table, row by row as the printers' documentation
// gives it: (class, code, icon, text).
TEST(StatusTable, EveryRowAsDocumented)
{
    const int expected[48][4] = {
        {3, 0, 3, 3000},   {1, 1, 4, 3001},   {4, 2, 3, 3002},   {1, 4, 5, 3003},   {4, 5, 3, 3004},
        {1, 6, 6, 3005},   {1, 7, 6, 3006},   {1, 11, 7, 3007},  {1, 12, 8, 3008},  {1, 13, 9, 3009},
        {1, 14, 10, 3010}, {1, 15, 4, 3011},  {1, 17, 11, 3012}, {1, 18, 11, 3013}, {1, 21, 12, 3014},
        {1, 24, 4, 3015},  {1, 27, 3, 3016},  {1, 28, 5, 3017},  {1, 29, 3, 3018},  {1, 40, 18, 3019},
        {1, 41, 18, 3020}, {1, 50, 6, 3021},  {1, 51, 6, 3022},  {1, 54, 6, 3023},  {1, 55, 5, 3024},
        {1, 61, 6, 3025},  {1, 62, 6, 3026},  {1, 22, 6, 3029},  {1, 23, 9, 3030},  {1, 36, 6, 3031},
        {1, 66, 6, 3032},  {1, 67, 6, 3033},  {1, 68, 6, 3034},  {1, 69, 6, 3044},  {1, 70, 6, 3035},
        {1, 71, 6, 3036},  {1, 72, 6, 3037},  {1, 73, 4, 3038},  {1, 74, 4, 3039},  {1, 75, 3, 3040},
        {1, 76, 3, 3041},  {1, 77, 6, 3042},  {1, 78, 5, 3043},  {1, 80, 3, 3045},  {1, 81, 5, 3046},
        {1, 82, 3, 3047},  {1, 98, 6, 3028},  {2, 99, 18, 3027},
    };
    ASSERT_EQ(kStatusTable.size(), 48u);
    for (size_t i = 0; i < 48; ++i) {
        const StatusRow& row = kStatusTable[i];
        EXPECT_EQ(row.statusClass, expected[i][0]) << "row " << i;
        EXPECT_EQ(row.code, expected[i][1]) << "row " << i;
        EXPECT_EQ(row.icon, expected[i][2]) << "row " << i;
        EXPECT_EQ(row.text, expected[i][3]) << "row " << i;
    }
    // Each row is found by its code, with its icon and text.
    qavres::StringTable lang;
    for (int t = 3000; t <= 3047; ++t) lang.Set(t, "text " + std::to_string(t));
    std::string text;
    for (const auto& e : expected) {
        if (e[1] == 98) continue; // filled with the real code
        EXPECT_EQ(StatusTextAndIcon(1, 0, e[1], 0, lang, text), e[2]) << "code " << e[1];
        EXPECT_EQ(text, "text " + std::to_string(e[3])) << "code " << e[1];
    }
}

TEST(StatusTable, TextsAndIcons)
{
    qavres::StringTable lang;
    lang.Set(3150, "No answer");
    lang.Set(3019, "Head open");
    lang.Set(3028, "Error %d (%s%n)");
    lang.Set(3100, "Other");
    lang.Set(3102, "Idle");
    lang.Set(3110, "Jam");
    lang.Set(3111, "Door");
    lang.Set(3114, "Low");
    std::string text;
    EXPECT_EQ(StatusTextAndIcon(1, 0, 40, 0, lang, text), 18);
    EXPECT_EQ(text, "Head open");
    EXPECT_EQ(StatusTextAndIcon(1, 0, 3, 1, lang, text), 6) << "3 is not in the table: code 98";
    EXPECT_EQ(text, "Error 3 (%s%n) [H]") << "only the %d is filled";
    EXPECT_EQ(StatusTextAndIcon(1, 0, 98, 0, lang, text), 6);
    EXPECT_EQ(text, "Error 98 (%s%n)");
    EXPECT_EQ(StatusTextAndIcon(1, 0, 512, 1, lang, text), 2);
    EXPECT_EQ(text, "No answer [H]");
    EXPECT_EQ(StatusTextAndIcon(0, 1, 0, 0, lang, text), 6);
    EXPECT_EQ(text, "Other");
    EXPECT_EQ(StatusTextAndIcon(0, 3, 512, 0, lang, text), 3) << "512 has none of the error bits";
    EXPECT_EQ(text, "Idle");
    EXPECT_EQ(StatusTextAndIcon(0, 3, 0x40 | 0x10, 0, lang, text), 14);
    EXPECT_EQ(text, "Door");
    EXPECT_EQ(StatusTextAndIcon(0, 3, 0xFF, 0, lang, text), 2);
    EXPECT_EQ(text, "Low");
    EXPECT_EQ(StatusTextAndIcon(0, 9, 0x01, 0, lang, text), 2);
    EXPECT_EQ(text, "No answer");
}

TEST(Addresses, EnterprisePrefix)
{
    EXPECT_TRUE(UnderEnterprise("1.3.6.1.4.1.32473", "1.3.6.1.4.1.32473"));
    EXPECT_TRUE(UnderEnterprise("1.3.6.1.4.1.32473.1.2", "1.3.6.1.4.1.32473"));
    EXPECT_FALSE(UnderEnterprise("1.3.6.1.4.1.324730.1", "1.3.6.1.4.1.32473"));
    EXPECT_FALSE(UnderEnterprise("1.3.6.1.4.1.3247", "1.3.6.1.4.1.32473"));
    EXPECT_FALSE(UnderEnterprise("1.3.6.1.4.1.32473.1", ""));
}

} // namespace

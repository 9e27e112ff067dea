// The exported device-list and group functions, through libnlist.so.
#include <gtest/gtest.h>

#include <cstring>

#include "TestTexts.h"
#include "nlist/Nlist.h"

namespace {

ListData Printer(uint32_t address, const char* name)
{
    ListData r;
    r.ipAddress = address;
    std::snprintf(r.name, sizeof r.name, "%s", name);
    std::snprintf(r.port, sizeof r.port, "%u.%u.%u.%u", address >> 24, (address >> 16) & 255, (address >> 8) & 255,
                  address & 255);
    return r;
}

class Exports : public ::testing::Test {
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
};

TEST_F(Exports, FindGivesTheFirstOfEqualAddressesAndMinusOneOnEmpty)
{
    EXPECT_EQ(FindListDatabyIPAddress(0xC0A8000A), -1);
    const ListData r = Printer(0xC0A8000A, "a");
    EXPECT_EQ(AddToListData(r), 1);
    EXPECT_EQ(AddToListData(Printer(0xC0A80001, "b")), 1);
    EXPECT_EQ(AddToListData(r), 1) << "no duplicate check";
    EXPECT_EQ(GetListDataSize(), 3);
    EXPECT_EQ(FindListDatabyIPAddress(0xC0A8000A), 0);
    EXPECT_EQ(GetipAddressFromListData(2), 0xC0A8000Au);
    EXPECT_EQ(GetipAddressFromListData(3), 0u);
    EXPECT_EQ(GetipAddressFromListData(-1), 0u);
}

TEST_F(Exports, IndexesOutOfRangeChangeNothing)
{
    AddToListData(Printer(1, "one"));
    EXPECT_EQ(SetListData(1, Printer(2, "two")), 0);
    EXPECT_EQ(SetListData(-1, Printer(2, "two")), 0);
    EXPECT_EQ(SetBCPFlagListData(1, 1), 0);
    EXPECT_EQ(SetBCPFlagListData(-5, 1), 0);
    ListData out = Printer(9, "stale");
    EXPECT_EQ(GetItemFromListData(&out, 7), &out);
    EXPECT_EQ(out.ipAddress, 0u) << "the caller's record is reset first";
    EXPECT_EQ(out.kind, -1);
    EXPECT_EQ(out.isBCP, -1);
    EXPECT_STREQ(out.name, "");
    EXPECT_EQ(GetItemFromListData(nullptr, 0), nullptr);
    EXPECT_EQ(SetListData(0, Printer(2, "two")), 1);
    EXPECT_EQ(SetBCPFlagListData(0, 1), 1);
    GetItemFromListData(&out, 0);
    EXPECT_STREQ(out.name, "two");
    EXPECT_EQ(out.isBCP, 1);
}

TEST_F(Exports, DetailsCopyAllOrNothing)
{
    ListData r = Printer(0x0A000001, "printer");
    std::strcpy(r.rfidError, "1234567890123456"); // 16 characters
    std::strcpy(r.model, "QAV M-RA1");
    r.headStatus = 1;
    r.dhcpEnable = 0;
    AddToListData(r);

    char name[260] = "untouched", rfid[16] = "untouched", rfidBig[17], model[260], ok[18];
    int kind = 77, status = 77, head = 77, dhcp = 77, err = 77;
    uint32_t ip = 77;
    auto details = [&](char* rfidBuf, int rfidSize) {
        return GetListDataDetails(0, &kind, &ip, name, sizeof name, &status, &err, nullptr, 0, nullptr, 0, model,
                                  sizeof model, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr,
                                  0, &head, &dhcp, nullptr, 0, rfidBuf, rfidSize, ok, sizeof ok);
    };
    EXPECT_EQ(details(rfid, sizeof rfid), 0) << "16 characters do not fit 16 bytes";
    EXPECT_STREQ(name, "untouched");
    EXPECT_EQ(kind, 77);
    EXPECT_EQ(details(rfidBig, sizeof rfidBig), 1);
    EXPECT_STREQ(rfidBig, "1234567890123456");
    EXPECT_STREQ(name, "printer");
    EXPECT_STREQ(model, "QAV M-RA1");
    EXPECT_EQ(ip, 0x0A000001u);
    EXPECT_EQ(kind, -1);
    EXPECT_EQ(head, 1);
    EXPECT_EQ(dhcp, 0);
    EXPECT_EQ(details(rfidBig, 0), 0);
    EXPECT_EQ(GetListDataDetails(1, &kind, &ip, name, sizeof name, nullptr, nullptr, nullptr, 0, nullptr, 0, nullptr,
                                 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr,
                                 nullptr, nullptr, 0, nullptr, 0, nullptr, 0),
              0);
}

TEST_F(Exports, UnterminatedTextsAreCutAtTheirArrays)
{
    ListData r;
    std::memset(r.name, 'n', sizeof r.name);
    std::memset(r.rfidOk, 'k', sizeof r.rfidOk);
    AddToListData(r);
    ListData out;
    GetItemFromListData(&out, 0);
    EXPECT_EQ(std::strlen(out.name), 259u);
    EXPECT_EQ(std::strlen(out.rfidOk), 17u);
}

TEST_F(Exports, GroupsTakeOverTheirMembers)
{
    GroupData g;
    std::strcpy(g.name, "All");
    g.members = {1, 2, 3};
    g.count = 99; // the members decide
    EXPECT_EQ(AddToGroupData(std::move(g)), 1);
    EXPECT_EQ(GetGroupDataSize(), 1);
    EXPECT_EQ(GetPrinterCountfromGroupData(0), 3);
    EXPECT_EQ(GetPrinterFromGroupData(0, 2), 3u);
    EXPECT_EQ(GetPrinterFromGroupData(0, 3), 0u);
    EXPECT_EQ(GetPrinterFromGroupData(0, -1), 0u);
    EXPECT_EQ(GetPrinterFromGroupData(1, 0), 0u);
    EXPECT_EQ(GetPrinterCountfromGroupData(1), 0);
    EXPECT_EQ(GetPrinterCountfromGroupData(-1), 0);

    char name[3], big[260], model[2600];
    int count = -7;
    EXPECT_EQ(GetGroupDetails(0, name, sizeof name, model, sizeof model, nullptr, 0, nullptr, 0, nullptr, 0, nullptr,
                              0, nullptr, 0, &count),
              0)
        << "\"All\" does not fit 3 bytes";
    EXPECT_EQ(GetGroupDetails(0, big, 3, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, &count),
              0);
    EXPECT_EQ(count, -7);
    EXPECT_EQ(GetGroupDetails(0, big, sizeof big, model, sizeof model, nullptr, 0, nullptr, 0, nullptr, 0, nullptr,
                              0, nullptr, 0, &count),
              1);
    EXPECT_STREQ(big, "All");
    EXPECT_EQ(count, 3);
    std::strcpy(big, "untouched");
    count = -7;
    EXPECT_EQ(GetGroupDetails(5, big, sizeof big, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr,
                              0, &count),
              1)
        << "past the end: success, with nothing copied";
    EXPECT_STREQ(big, "untouched");
    EXPECT_EQ(count, -7);
    EXPECT_EQ(GetGroupDetails(1, big, sizeof big, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr,
                              0, &count),
              1)
        << "the first index past the end";
    EXPECT_STREQ(big, "untouched");
    EXPECT_EQ(ClearGroupData(), 1);
    EXPECT_EQ(GetGroupDataSize(), 0);
    EXPECT_EQ(GetPrinterCountfromGroupData(0), 0);
}

TEST_F(Exports, StatusTextsOfBothKinds)
{
    char text[64];
    EXPECT_EQ(GetStatusTextAndIcon(1, 0, 0, 0, text, sizeof text), 3);
    EXPECT_STREQ(text, "Online");
    EXPECT_EQ(GetStatusTextAndIcon(-1, 0, 0, 1, text, sizeof text), 3) << "undetermined counts as the maker's";
    EXPECT_STREQ(text, "Online [H]");
    EXPECT_EQ(GetStatusTextAndIcon(1, 0, 150, 0, text, sizeof text), 6);
    EXPECT_STREQ(text, "Printer error 150");
    EXPECT_EQ(GetStatusTextAndIcon(1, 0, 512, 0, text, sizeof text), 2);
    EXPECT_STREQ(text, "No answer");
    EXPECT_EQ(GetStatusTextAndIcon(0, 3, 0, 1, text, sizeof text), 3);
    EXPECT_STREQ(text, "Idle") << "no head mark for other printers";
    EXPECT_EQ(GetStatusTextAndIcon(0, 3, 0x40 | 0x04, 0, text, sizeof text), 15);
    EXPECT_STREQ(text, "Out of paper");
    EXPECT_EQ(GetStatusTextAndIcon(0, 6, 0, 0, text, 4), 2);
    EXPECT_STREQ(text, "No ");
}

} // namespace

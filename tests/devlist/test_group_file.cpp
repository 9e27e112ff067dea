// The group file: the check, the load and the save, and what they do with
// files that are damaged or hostile.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>

#include "TestTexts.h"
#include "nlist/Nlist.h"
#include "qavsettings/Profile.h"

using qavsettings::ProfileDocument;

namespace {

// A valid file: groups All, Maker, Floor (with criteria); printers .1 .. .n.
std::string GroupFile(int printers, int groups = 3)
{
    std::string s = "[Groups]\r\ncount=" + std::to_string(groups) + "\r\n";
    for (int i = 0; i < groups; ++i) {
        s += "[Group." + std::to_string(i) + "]\r\nname=" + (i == 0 ? "All" : i == 1 ? "Maker" : "G" + std::to_string(i)) +
             "\r\nmodel=M-RA1,M-UG2\r\nport=\r\nSerialNo=A100~A199\r\nInstallationFeatures=\r\ncomment=\r\nmanager=\r\n";
        const int members = i == 0 ? printers : printers / 2;
        s += "printers=" + std::to_string(members) + "\r\n";
        for (int k = 0; k < members; ++k) s += "prtindex." + std::to_string(k) + "=10.0.0." + std::to_string(k + 1) + "\r\n";
    }
    s += "[Printers]\r\ncount=" + std::to_string(printers) + "\r\n";
    for (int j = 0; j < printers; ++j) {
        s += "[Printer." + std::to_string(j) + "]\r\nip=10.0.0." + std::to_string(j + 1) + "\r\nname=prn" +
             std::to_string(j) + "\r\nstatus=" + (j % 2 ? "Idle" : "Online") + "\r\nport=10.0.0." + std::to_string(j + 1) +
             "\r\nmodel=M-UG2\r\nlocation=Hall\r\nmanager=Ann\r\ncomment=\r\nserial=A1" + std::to_string(j) +
             "\r\nHead Status=" + (j == 0 ? "1" : "0") + "\r\nDHCP Enable=1\r\nDHCP Host Name=host" + std::to_string(j) +
             "\r\nRFID Error=3\r\nRFID OK=1000\r\nRenewal Time=1-March-2024 10:00:00\r\nIsBCP=" + (j % 2 ? "0" : "1") +
             "\r\n";
    }
    return s;
}

std::string Replace(std::string s, const std::string& from, const std::string& to)
{
    const size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

class GroupFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        devlisttest::UseTestTexts();
        ClearListData();
        ClearGroupData();
        path_ = dir_.File("QAVGroupConfig.qdl");
    }
    void TearDown() override
    {
        ClearListData();
        ClearGroupData();
    }
    int Check(const std::string& content)
    {
        qavtest::WriteFile(path_, content);
        return CheckQdlFileFormat(path_);
    }
    // A list of one printer and the two fixed groups, to see that a rejected
    // file leaves it alone.
    void KnownList()
    {
        ListData r;
        r.ipAddress = 0x7F000001;
        std::strcpy(r.name, "keep");
        AddToListData(r);
        GroupData g;
        std::strcpy(g.name, "All");
        g.members = {0x7F000001};
        AddToGroupData(g);
    }
    void ExpectKnownList()
    {
        ASSERT_EQ(GetListDataSize(), 1);
        ListData r;
        GetItemFromListData(&r, 0);
        EXPECT_STREQ(r.name, "keep");
        EXPECT_EQ(GetGroupDataSize(), 1);
    }

    qavtest::TempDir dir_;
    std::string path_;
};

TEST_F(GroupFileTest, ValidFileLoadsAsStored)
{
    ASSERT_EQ(Check(GroupFile(4)), 1);
    ASSERT_EQ(PopulateVectors(path_), 1);
    ASSERT_EQ(GetGroupDataSize(), 3);
    ASSERT_EQ(GetListDataSize(), 4);
    EXPECT_EQ(GetPrinterCountfromGroupData(0), 4);
    EXPECT_EQ(GetPrinterCountfromGroupData(2), 2);
    EXPECT_EQ(GetPrinterFromGroupData(0, 3), 0x0A000004u);
    char name[260], model[2600], serial[260];
    int count = 0;
    ASSERT_EQ(GetGroupDetails(2, name, sizeof name, model, sizeof model, nullptr, 0, serial, sizeof serial, nullptr, 0,
                              nullptr, 0, nullptr, 0, &count),
              1);
    EXPECT_STREQ(name, "G2");
    EXPECT_STREQ(model, "M-RA1,M-UG2");
    EXPECT_STREQ(serial, "A100~A199");

    ListData r;
    GetItemFromListData(&r, 0);
    EXPECT_EQ(r.ipAddress, 0x0A000001u);
    EXPECT_STREQ(r.name, "prn0");
    EXPECT_EQ(r.printerStatus, 0) << "a maker's status text is not a printer status";
    EXPECT_EQ(r.kind, 1) << "IsBCP 1 loads as kind 1";
    EXPECT_EQ(r.isBCP, -1) << "and leaves isBCP undetermined";
    EXPECT_EQ(r.headStatus, 1);
    EXPECT_EQ(r.dhcpEnable, 1);
    EXPECT_EQ(r.errorCode, 0);
    EXPECT_STREQ(r.dhcpHostName, "host0");
    EXPECT_STREQ(r.rfidOk, "1000");
    EXPECT_STREQ(r.renewalTime, "1-March-2024 10:00:00");
    GetItemFromListData(&r, 1);
    EXPECT_EQ(r.printerStatus, 3) << "the standard idle text loads back as 3";
    EXPECT_EQ(r.kind, 0);
}

TEST_F(GroupFileTest, CheckRejectsWhatItMust)
{
    const std::string good = GroupFile(3);
    ASSERT_EQ(Check(good), 1);
    EXPECT_EQ(Check(Replace(good, "[Groups]\r\ncount=3", "[Groups]\r\ncount=1")), 0);
    EXPECT_EQ(Check(GroupFile(3, 11)), 0) << "11 groups";
    EXPECT_EQ(Check(GroupFile(3, 10)), 1) << "10 groups";
    EXPECT_EQ(Check(Replace(good, "[Groups]\r\ncount=3", "[Groups]\r\nnumber=3")), 0);
    EXPECT_EQ(Check(Replace(good, "name=G2", "name=")), 0);
    EXPECT_EQ(Check(Replace(good, "[Printers]\r\ncount=3", "[Printers]\r\ncount=2")), 0);
    EXPECT_EQ(Check(Replace(good, "ip=10.0.0.2", "ip=0.0.0.0")), 0);
    EXPECT_EQ(Check(Replace(good, "ip=10.0.0.2", "address=10.0.0.2")), 0) << "a missing ip reads as 0.0.0.0";
    EXPECT_EQ(Check(Replace(good, "prtindex.0=10.0.0.1\r\nprtindex.1=10.0.0.2\r\nprtindex.2",
                            "prtindex.0=10.0.0.1\r\nprtindex.1=10.9.9.9\r\nprtindex.2")),
              0)
        << "a member that names no printer";
    EXPECT_EQ(Check(Replace(good, "printers=1\r\nprtindex.0=10.0.0.1\r\n[Group.2]", "printers=-1\r\n[Group.2]")), 0);
    EXPECT_EQ(Check(Replace(good, "printers=1\r\nprtindex.0=10.0.0.1\r\n[Group.2]", "printers=2147483648\r\n[Group.2]")),
              0)
        << "2^31 reads as negative";
    EXPECT_EQ(Check(Replace(good, "printers=1\r\nprtindex.0=10.0.0.1\r\n[Group.2]",
                            "printers=2147483647\r\nprtindex.0=10.0.0.1\r\n[Group.2]")),
              0);
    EXPECT_EQ(Check(Replace(good, "printers=1\r\nprtindex.0=10.0.0.1\r\n[Group.2]", "prtindex.0=10.0.0.1\r\n[Group.2]")),
              0)
        << "a group without printers";
    EXPECT_EQ(CheckQdlFileFormat(dir_.File("missing.qdl")), 0);
    EXPECT_EQ(CheckQdlFileFormat(nullptr), 0);
    EXPECT_EQ(CheckQdlFileFormat(dir_.Path()), 0) << "a folder is not a file";
}

TEST_F(GroupFileTest, ToleratedOddities)
{
    const std::string good = GroupFile(3);
    // Duplicate sections: the first one counts.
    EXPECT_EQ(Check(good + "[Groups]\r\ncount=99\r\n[group.0]\r\nname=\r\n"), 1);
    // Names and keys are found without regard to case, lines without "="
    // are ignored.
    EXPECT_EQ(Check(Replace(Replace(good, "[Printers]", "[PRINTERS]\r\njust some words"), "ip=10.0.0.1", "IP = 10.0.0.1")),
              1);
    // Unix line ends.
    std::string unix = good;
    for (size_t at; (at = unix.find("\r\n")) != std::string::npos;) unix.erase(at, 1);
    EXPECT_EQ(Check(unix), 1);
}

TEST_F(GroupFileTest, RejectedFileLeavesTheListAsItWas)
{
    KnownList();
    for (const std::string& bad : {std::string("[Printers]\ncount=1\n"), std::string("\x00\xff\x13garbage", 11),
                                   std::string()}) {
        qavtest::WriteFile(path_, bad);
        EXPECT_EQ(CheckQdlFileFormat(path_), 0);
        EXPECT_EQ(PopulateVectors(path_), 0) << "without Groups count nothing is loaded";
        ExpectKnownList();
    }
    EXPECT_EQ(PopulateVectors(dir_.File("missing.qdl")), 0);
    ExpectKnownList();
}

TEST_F(GroupFileTest, LoadWithoutCheckSurvivesHostileFiles)
{
    // Values far beyond the buffers are cut to them.
    const std::string longName(100000, 'x');
    std::string file = Replace(GroupFile(2), "name=prn0", "name=" + longName);
    file = Replace(file, "DHCP Host Name=host0", "DHCP Host Name=" + longName);
    file = Replace(file, "RFID OK=1000", "RFID OK=" + longName);
    file = Replace(file, "model=M-RA1,M-UG2", "model=" + longName);
    qavtest::WriteFile(path_, file);
    ASSERT_EQ(PopulateVectors(path_), 1);
    ListData r;
    GetItemFromListData(&r, 0);
    EXPECT_EQ(std::strlen(r.name), 259u);
    EXPECT_EQ(std::strlen(r.dhcpHostName), 32u);
    EXPECT_EQ(std::strlen(r.rfidOk), 16u);
    char model[2600];
    GetGroupDetails(0, nullptr, 0, model, sizeof model, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0,
                    nullptr);
    EXPECT_EQ(std::strlen(model), 259u);

    // Counts that claim far more than the file holds cost only what it holds.
    qavtest::WriteFile(path_, "[Groups]\ncount=2147483647\n[Group.0]\nname=All\nprinters=2147483647\n"
                              "prtindex.5=10.0.0.6\n[Group.3]\nname=x\n[Printers]\ncount=2147483647\n"
                              "[Printer.2]\nip=300.2.3.4\nstatus=Idle\n");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(PopulateVectors(path_), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(GetGroupDataSize(), 4);
    EXPECT_EQ(GetPrinterCountfromGroupData(0), 6);
    EXPECT_EQ(GetPrinterFromGroupData(0, 0), 0u) << "a missing member reads as 0.0.0.0";
    EXPECT_EQ(GetPrinterFromGroupData(0, 5), 0x0A000006u);
    ASSERT_EQ(GetListDataSize(), 3);
    GetItemFromListData(&r, 2);
    EXPECT_EQ(r.ipAddress, (44u << 24) | (2u << 16) | (3u << 8) | 4u) << "octets are read as %hhu";
    EXPECT_EQ(r.printerStatus, 3);
    GetItemFromListData(&r, 0);
    EXPECT_EQ(r.ipAddress, 0u);

    // Negative counts load nothing.
    qavtest::WriteFile(path_, "[Groups]\ncount=-1\n[Group.0]\nname=All\n[Printers]\ncount=-5\n[Printer.0]\nip=1.2.3.4\n");
    ASSERT_EQ(PopulateVectors(path_), 1);
    EXPECT_EQ(GetGroupDataSize(), 0);
    EXPECT_EQ(GetListDataSize(), 0);
}

TEST_F(GroupFileTest, TruncatedAndGarbledFilesNeverCrash)
{
    const std::string good = GroupFile(5);
    std::mt19937 rng(11);
    for (size_t cut = 0; cut <= good.size(); cut += 7) {
        std::string damaged = good.substr(0, cut);
        if (cut % 3 == 0 && !damaged.empty()) damaged[rng() % damaged.size()] = static_cast<char>(rng());
        qavtest::WriteFile(path_, damaged);
        if (CheckQdlFileFormat(path_) == 1) {
            ASSERT_EQ(PopulateVectors(path_), 1);
            // A file the check accepts names only printers it holds.
            for (int g = 0; g < GetGroupDataSize(); ++g) {
                for (int k = 0; k < GetPrinterCountfromGroupData(g); ++k) {
                    EXPECT_GE(FindListDatabyIPAddress(GetPrinterFromGroupData(g, k)), 0);
                }
            }
        } else {
            PopulateVectors(path_);
        }
    }
}

TEST_F(GroupFileTest, SaveKeepsStaleSectionsAndLoadsGoByTheCounts)
{
    ASSERT_EQ(Check(GroupFile(5)), 1);
    ASSERT_EQ(PopulateVectors(path_), 1);
    // Drop printers 3 and 4 from the model and save over the 5-printer file.
    std::vector<ListData> keep(3);
    for (int i = 0; i < 3; ++i) GetItemFromListData(&keep[i], i);
    ClearListData();
    for (const ListData& r : keep) AddToListData(r);
    std::vector<GroupData> groups;
    ClearGroupData();
    GroupData all;
    std::strcpy(all.name, "All");
    all.members = {0x0A000001, 0x0A000002, 0x0A000003};
    AddToGroupData(all);
    GroupData maker;
    std::strcpy(maker.name, "Maker");
    AddToGroupData(maker);
    EXPECT_EQ(SaveListDataToFile(path_), 3);

    ProfileDocument doc;
    ASSERT_TRUE(doc.Load(path_));
    EXPECT_EQ(doc.GetInt("Printers", "count", 0), 3);
    EXPECT_EQ(doc.GetString("Printer.4", "name"), "prn4") << "stale sections stay";
    EXPECT_EQ(doc.GetString("Group.2", "name"), "G2");
    EXPECT_EQ(doc.GetInt("Groups", "count", 0), 2);
    EXPECT_EQ(doc.GetString("Group.0", "prtindex.4"), "10.0.0.5") << "stale members stay too";
    EXPECT_NE(qavtest::ReadFile(path_).find("\r\n"), std::string::npos) << "the file keeps its line ends";

    ASSERT_EQ(CheckQdlFileFormat(path_), 1);
    ASSERT_EQ(PopulateVectors(path_), 1);
    EXPECT_EQ(GetListDataSize(), 3);
    EXPECT_EQ(GetGroupDataSize(), 2);
    EXPECT_EQ(GetPrinterCountfromGroupData(0), 3);
}

TEST_F(GroupFileTest, SaveWritesStatusAndIsBcpAsKnownNow)
{
    ASSERT_EQ(Check(GroupFile(2, 2)), 1);
    ASSERT_EQ(PopulateVectors(path_), 1);
    // Printer 0 was stored with IsBCP 1; undetermined now, so it is saved as 0
    // and its status is computed as another maker's printer.
    SetBCPFlagListData(1, 1);
    EXPECT_EQ(SaveListDataToFile(path_), 2);
    ProfileDocument doc;
    ASSERT_TRUE(doc.Load(path_));
    EXPECT_EQ(doc.GetString("Printer.0", "IsBCP"), "0");
    EXPECT_EQ(doc.GetString("Printer.1", "IsBCP"), "1");
    EXPECT_EQ(doc.GetString("Printer.0", "status"), "No answer") << "printerStatus 0 of another printer";
    EXPECT_EQ(doc.GetString("Printer.1", "status"), "Online");
    EXPECT_EQ(doc.GetString("Printer.0", "Head Status"), "1");
    EXPECT_EQ(doc.GetString("Printer.0", "DHCP Enable"), "1");
    EXPECT_FALSE(doc.Has("Printer.0", "auxiliaryText"));
}

TEST_F(GroupFileTest, SaveRoundTripAndFailures)
{
    ListData r;
    r.ipAddress = 0xC0A80107;
    std::strcpy(r.port, "192.168.1.7");
    std::strcpy(r.name, "evil\r\n[Groups]\r\ncount=1"); // a name from the network
    r.printerStatus = 4;
    r.isBCP = 0;
    AddToListData(r);
    GroupData all, maker;
    std::strcpy(all.name, "All");
    all.members = {0xC0A80107};
    std::strcpy(maker.name, "Maker");
    AddToGroupData(all);
    AddToGroupData(maker);

    const std::string fresh = dir_.File("fresh.qdl");
    ASSERT_EQ(SaveListDataToFile(fresh), 1);
    ASSERT_EQ(CheckQdlFileFormat(fresh), 1);
    ClearListData();
    ASSERT_EQ(PopulateVectors(fresh), 1);
    ListData back;
    GetItemFromListData(&back, 0);
    EXPECT_STREQ(back.name, "evil  [Groups]  count=1");
    EXPECT_EQ(back.printerStatus, 4);
    EXPECT_EQ(back.ipAddress, 0xC0A80107u);

    EXPECT_EQ(SaveListDataToFile(dir_.File("no/such/folder.qdl")), -1);
    EXPECT_EQ(SaveListDataToFile(dir_.Path()), -1);
    EXPECT_EQ(SaveListDataToFile(nullptr), -1);
    ClearListData();
    EXPECT_EQ(SaveListDataToFile(fresh), 0) << "an empty list writes its groups and returns 0";
    ProfileDocument doc;
    ASSERT_TRUE(doc.Load(fresh));
    EXPECT_EQ(doc.GetInt("Printers", "count", -1), 0);
    EXPECT_EQ(doc.GetInt("Groups", "count", -1), 2);
}

} // namespace

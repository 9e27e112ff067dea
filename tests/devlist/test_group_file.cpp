// The group file: the check, the load and the save, and what they do with
// files that are damaged or hostile.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include "TestTexts.h"
#include "nlist/Nlist.h"
#include "qavplatform/Files.h"
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
    // An address that is none, even when the members name it alike.
    for (const char* none : {"=300.0.0.1", "=10.0.1", "=10.0.0.1 x", "=0.00.0.0"}) {
        std::string bad = good;
        for (size_t at = 0; (at = bad.find("=10.0.0.1\r", at)) != std::string::npos; at += 3)
            bad.replace(at, 9, none);
        EXPECT_EQ(Check(bad), 0) << none;
    }
    std::string reason;
    EXPECT_EQ(CheckQdlFileFormat(dir_.File("missing.qdl"), &reason), 0);
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
    EXPECT_EQ(r.ipAddress, 0u) << "300.2.3.4 is no address: 0.0.0.0, not another printer's 44.2.3.4";
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

    // A failed save says why, naming the file.
    std::string reason;
    EXPECT_EQ(SaveListDataToFile(dir_.File("no/such/folder.qdl"), &reason), -1);
    EXPECT_NE(reason.find(dir_.File("no/such")), std::string::npos) << reason;
    EXPECT_EQ(SaveListDataToFile(dir_.Path(), &reason), -1);
    EXPECT_NE(reason.find(dir_.Path()), std::string::npos) << reason;
    EXPECT_EQ(SaveListDataToFile(nullptr), -1);
    ClearListData();
    ClearGroupData();
    all.members.clear();
    AddToGroupData(all);
    AddToGroupData(maker);
    EXPECT_EQ(SaveListDataToFile(fresh), 0) << "an empty list writes its groups and returns 0";
    ProfileDocument doc;
    ASSERT_TRUE(doc.Load(fresh));
    EXPECT_EQ(doc.GetInt("Printers", "count", -1), 0);
    EXPECT_EQ(doc.GetInt("Groups", "count", -1), 2);
}

// The lists are checked as the file would be before it replaces the old
// one: a save never leaves a group file that the next start refuses.
TEST_F(GroupFileTest, SaveNeverWritesAFileTheCheckRejects)
{
    ASSERT_EQ(Check(GroupFile(3)), 1);
    ASSERT_EQ(PopulateVectors(path_), 1);
    const std::string before = qavtest::ReadFile(path_);

    // A printer that group 0 does not hold.
    ListData extra;
    extra.ipAddress = 0x0A000063;
    AddToListData(extra);
    std::string reason;
    EXPECT_EQ(SaveListDataToFile(path_, &reason), -1);
    EXPECT_EQ(qavtest::ReadFile(path_), before) << "the old file is kept";
    EXPECT_NE(reason.find(path_), std::string::npos) << reason;
    EXPECT_NE(reason.find("[Group.0]"), std::string::npos) << reason;
    EXPECT_NE(reason.find("kept"), std::string::npos) << "says that the old file stays: " << reason;
    EXPECT_EQ(CheckQdlFileFormat(path_), 1);

    // Eleven groups.
    ASSERT_EQ(PopulateVectors(path_), 1);
    for (int i = 3; i < 11; ++i) {
        GroupData g;
        std::snprintf(g.name, sizeof g.name, "G%d", i);
        AddToGroupData(g);
    }
    EXPECT_EQ(SaveListDataToFile(path_, &reason), -1);
    EXPECT_NE(reason.find("[Groups] count is 11"), std::string::npos) << reason;
    EXPECT_EQ(qavtest::ReadFile(path_), before);
}

namespace {

// Runs `work` in a child process for at most `ms` milliseconds: its result,
// or -100 when it did not end in time (it is then killed), -101 when it
// died (an abort, a signal).
int Bounded(const std::function<int()>& work, int ms = 5000)
{
    const pid_t child = ::fork();
    if (child == 0) ::_exit(work() + 64);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -100;
        }
        ::usleep(10 * 1000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) - 64 : -101;
}

} // namespace

// A FIFO, a device or a huge file where a group file is expected: refused
// at once, with the file named, and never replaced.
TEST_F(GroupFileTest, FilesThatFightBackAreRefused)
{
    const std::string fifo = dir_.File("fifo.qdl");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Bounded([&] { return CheckQdlFileFormat(fifo); }), 0) << "-100: the check waited for a writer";
    EXPECT_EQ(Bounded([&] { return PopulateVectors(fifo); }), 0);
    EXPECT_EQ(Bounded([&] { return SaveListDataToFile(fifo); }), -1);
    std::string reason;
    EXPECT_EQ(CheckQdlFileFormat(fifo, &reason), 0);
    EXPECT_EQ(reason, fifo + ": not a regular file (FIFO)");
    struct stat st {};
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "not replaced by a save";

    const std::string zero = dir_.File("zero.qdl");
    ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
    EXPECT_EQ(Bounded([&] { return CheckQdlFileFormat(zero); }), 0) << "-100/-101: read /dev/zero until it gave up";
    EXPECT_EQ(Bounded([&] { return PopulateVectors(zero); }), 0);
    EXPECT_EQ(CheckQdlFileFormat(zero, &reason), 0);
    EXPECT_EQ(reason, zero + ": not a regular file (character device)");

    // Larger than the limit (a sparse file: no disk is used).
    const std::string huge = dir_.File("huge.qdl");
    qavtest::WriteFile(huge, GroupFile(1));
    ASSERT_EQ(::truncate(huge.c_str(), static_cast<off_t>(qavplatform::kMaxOwnFileSize) + 1), 0);
    EXPECT_EQ(Bounded([&] { return CheckQdlFileFormat(huge); }), 0);
    EXPECT_EQ(CheckQdlFileFormat(huge, &reason), 0);
    EXPECT_NE(reason.find("larger than"), std::string::npos) << reason;
}

// A save that fails half-way (the disk full: here a file size limit) leaves
// the old file whole and says why.
TEST_F(GroupFileTest, SaveThatCannotWriteKeepsTheOldFile)
{
    ASSERT_EQ(Check(GroupFile(40)), 1);
    ASSERT_EQ(PopulateVectors(path_), 1);
    const std::string before = qavtest::ReadFile(path_);
    const int result = Bounded([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &small);
        std::string reason;
        const int saved = SaveListDataToFile(path_, &reason);
        // The reason goes back through the exit status: 1 when it names the file.
        return saved == -1 && reason.find(path_) != std::string::npos && reason.find("too large") != std::string::npos
                   ? 1
                   : 0;
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(qavtest::ReadFile(path_), before);
    for (const auto& e : std::filesystem::directory_iterator(dir_.Path()))
        EXPECT_EQ(e.path().filename().string().rfind("QAVGroupConfig.qdl.", 0), std::string::npos) << e.path();
}

// Saves killed with kill -9 leave their temporary files behind: the next
// save removes those of its own file that nobody writes any more.
TEST_F(GroupFileTest, StaleTemporaryFilesAreRemovedAtTheNextSave)
{
    ASSERT_EQ(Check(GroupFile(2)), 1);
    ASSERT_EQ(PopulateVectors(path_), 1);
    auto make = [&](const std::string& name, int ageSeconds) {
        const std::string file = dir_.File(name);
        qavtest::WriteFile(file, "[Groups]\ncount=");
        const timeval times[2] = {{::time(nullptr) - ageSeconds, 0}, {::time(nullptr) - ageSeconds, 0}};
        ::utimes(file.c_str(), times);
        return file;
    };
    // A save killed in the middle, the way it really happens.
    const pid_t killed = ::fork();
    if (killed == 0) {
        std::string temp = path_ + ".XXXXXX";
        const int fd = ::mkstemp(temp.data());
        ::flock(fd, LOCK_EX);
        ::write(fd, "[Groups]\n", 9);
        ::raise(SIGKILL);
    }
    int status = 0;
    ::waitpid(killed, &status, 0);
    std::string leftover;
    for (const auto& e : std::filesystem::directory_iterator(dir_.Path())) {
        const std::string name = e.path().filename().string();
        if (name.size() == std::string("QAVGroupConfig.qdl.XXXXXX").size() && name.rfind("QAVGroupConfig.qdl.", 0) == 0)
            leftover = e.path().string();
    }
    ASSERT_FALSE(leftover.empty()) << "kill -9 left no temporary file";
    const timeval old[2] = {{::time(nullptr) - 600, 0}, {::time(nullptr) - 600, 0}};
    ::utimes(leftover.c_str(), old);

    const std::string stale = make("QAVGroupConfig.qdl.Ab12Cd", 600);
    const std::string fresh = make("QAVGroupConfig.qdl.Xy98Zz", 0);      // a save under way elsewhere
    const std::string locked = make("QAVGroupConfig.qdl.Lk0000", 600);   // an old one still being written
    const std::string notOurs = make("QAVGroupConfig.qdl.keep-me", 600); // not the pattern
    const std::string otherFile = make("QAVLogConfig.INI.Ab12Cd", 600);  // another file's
    const int writer = ::open(locked.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);

    EXPECT_EQ(SaveListDataToFile(path_), 2);
    ::close(writer);
    EXPECT_FALSE(std::filesystem::exists(leftover));
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(fresh));
    EXPECT_TRUE(std::filesystem::exists(locked));
    EXPECT_TRUE(std::filesystem::exists(notOurs));
    EXPECT_TRUE(std::filesystem::exists(otherFile));
    EXPECT_EQ(CheckQdlFileFormat(path_), 1);
}

} // namespace

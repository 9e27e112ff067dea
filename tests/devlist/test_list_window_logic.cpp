// The list window's logic without a window: columns, rows, sorting and the
// selection in the marks, the commands' programs and list file, the group
// rules, the editing checks, and the refresh against the printer simulator.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "DeviceModel.h"
#include "ListEditing.h"
#include "ListRefresh.h"
#include "ListView.h"
#include "RecordQueries.h"
#include "TestPeers.h"
#include "nlist/Nlist.h"
#include "qavres/Resources.h"
#include "qavsettings/SettingsFiles.h"

using namespace nlist;

namespace {

uint32_t Address(const std::string& dotted)
{
    in_addr a{};
    ::inet_pton(AF_INET, dotted.c_str(), &a);
    return ntohl(a.s_addr);
}

ListData Printer(const char* address, const char* name, const char* model = "", const char* serial = "")
{
    ListData r;
    r.ipAddress = Address(address);
    CopyText(r.name, name);
    CopyText(r.model, model);
    CopyText(r.serial, serial);
    CopyText(r.port, address);
    return r;
}

void AddGroup(const char* name)
{
    GroupData g;
    CopyText(g.name, name);
    AddToGroupData(std::move(g));
}

// A list with the two fixed groups and the printers in group 0.
void FreshList(const std::vector<ListData>& printers)
{
    ClearListData();
    ClearGroupData();
    AddGroup("All");
    AddGroup("Maker");
    for (const ListData& r : printers) {
        AddToListData(r);
        AddPrinterToGroup(0, r.ipAddress);
    }
}

std::vector<std::string> Names(int group)
{
    std::vector<std::string> names;
    for (const ListData& r : GroupRows(group)) names.push_back(r.name);
    return names;
}

const qavres::StringTable& Texts() { return Language(); }

TEST(Columns, OrderedByDisplayAndOrder)
{
    qavsettings::DisplayConfig c;
    c.display.fill(-1);
    c.order.fill(-1);
    c.width.fill(100);
    c.width[kColName] = 140;
    c.display[kColModel] = 1, c.order[kColModel] = 2;
    c.display[kColStatus] = 1, c.order[kColStatus] = 1;
    c.display[kColComment] = 1, c.order[kColComment] = 0; // after the numbered ones
    c.display[kColSerial] = 1, c.order[kColSerial] = 2;   // same Order as Model: table order
    c.display[kColPort] = 0, c.order[kColPort] = 1;       // hidden
    c.width[kColSerial] = -5;                             // ignored
    const auto shown = ShownColumns(c);
    ASSERT_EQ(shown.size(), 5u);
    EXPECT_EQ(shown[0].column, kColName);
    EXPECT_EQ(shown[0].width, 140);
    EXPECT_EQ(shown[1].column, kColStatus);
    EXPECT_EQ(shown[2].column, kColModel);
    EXPECT_EQ(shown[3].column, kColSerial);
    EXPECT_EQ(shown[3].width, 100);
    EXPECT_EQ(shown[4].column, kColComment);

    qavres::StringTable empty;
    EXPECT_EQ(ColumnHeading(kColRenewalTime, empty), "Renewal Time") << "the key when there is no text";
    EXPECT_EQ(ColumnHeading(kColSerial, Texts()), Texts().Get(2126));
}

TEST(Rows, HostNameIconsAndStatus)
{
    ListData r = Printer("10.0.0.1", "P");
    r.isBCP = 1, r.dhcpEnable = 1;
    CopyText(r.dhcpHostName, "line1");
    EXPECT_EQ(CellOf(r, kColHostName, Texts()).text, "line1");
    EXPECT_EQ(CellOf(r, kColHostName, Texts()).icon, kIconDhcpOn);
    r.dhcpEnable = 0;
    EXPECT_EQ(CellOf(r, kColHostName, Texts()).text, "");
    EXPECT_EQ(CellOf(r, kColHostName, Texts()).icon, kIconDhcpOff);
    r.dhcpEnable = -1;
    EXPECT_EQ(CellOf(r, kColHostName, Texts()).icon, kIconDhcpUnknown);
    r.isBCP = 0, r.dhcpEnable = 1;
    EXPECT_EQ(CellOf(r, kColHostName, Texts()).text, "") << "only the maker's printers show the host name";
    EXPECT_EQ(CellOf(r, kColHostName, Texts()).icon, kIconDhcpUnknown);

    r.kind = 1;
    EXPECT_EQ(CellOf(r, kColName, Texts()).icon, 1);
    r.kind = -1;
    EXPECT_EQ(CellOf(r, kColName, Texts()).icon, 0);
    r.isBCP = 0, r.printerStatus = 3, r.errorCode = 0;
    EXPECT_EQ(CellOf(r, kColStatus, Texts()).text, Texts().Get(3102));
    EXPECT_EQ(CellOf(r, kColPort, Texts()).text, "10.0.0.1");
    for (int c = 0; c < kColumnTotal; ++c) {
        const int icon = CellOf(r, c, Texts()).icon;
        EXPECT_TRUE(icon >= 0 && icon <= kIconCount) << c;
    }
}

// Columns without a stored width are fitted to their contents when first
// shown; a stored width (positive) is kept.
TEST(Columns, WithoutAStoredWidthTheyAreFitted)
{
    qavsettings::DisplayConfig c;
    c.display.fill(-1);
    c.order.fill(-1);
    c.width.fill(100);
    c.display[kColStatus] = 1, c.order[kColStatus] = 1;
    c.display[kColPort] = 1, c.order[kColPort] = 2;
    c.width[kColPort] = 90, c.widthStored[kColPort] = true;
    const auto shown = ShownColumns(c);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_TRUE(shown[0].fit) << "Name, without a width";
    EXPECT_TRUE(shown[1].fit) << "Status, without a width";
    EXPECT_FALSE(shown[2].fit) << "Port has its width";
    EXPECT_EQ(shown[2].width, 90);
}

// What the marks of a row mean: " [H]" after a maker's printer's status, and
// the three icons of the Host Name column.
TEST(Rows, MarksAreExplained)
{
    ListData r = Printer("10.0.0.1", "P");
    r.isBCP = 1, r.errorCode = 0, r.headStatus = 1;
    EXPECT_EQ(CellOf(r, kColStatus, Texts()).text, Texts().Get(3000) + " [H]");
    EXPECT_EQ(MarkExplanation(r, kColStatus), 2055);
    EXPECT_EQ(MarkExplanation(r, kColStatus, true), 0) << "not known yet: no [H] shown";
    r.headStatus = 0;
    EXPECT_EQ(MarkExplanation(r, kColStatus), 0);
    r.isBCP = 0, r.headStatus = 1;
    EXPECT_EQ(CellOf(r, kColStatus, Texts()).text.find("[H]"), std::string::npos);
    EXPECT_EQ(MarkExplanation(r, kColStatus), 0) << "other makers' printers show no [H]";

    r.isBCP = 1, r.dhcpEnable = 1;
    EXPECT_EQ(MarkExplanation(r, kColHostName), 2056);
    r.dhcpEnable = 0;
    EXPECT_EQ(MarkExplanation(r, kColHostName), 2057);
    r.dhcpEnable = -1;
    EXPECT_EQ(MarkExplanation(r, kColHostName), 2058);
    r.isBCP = 0, r.dhcpEnable = 1;
    EXPECT_EQ(MarkExplanation(r, kColHostName), 2058);
    EXPECT_EQ(MarkExplanation(r, kColName), 0);
    EXPECT_EQ(MarkExplanation(r, kColPort), 0);
    for (const MarkLegendRow& row : kMarkLegend) EXPECT_FALSE(Texts().Get(row.text).empty()) << row.text;
}

TEST(Sorting, ByColumnKeptInTheGroupWithItsMarks)
{
    FreshList({Printer("10.0.0.20", "beta"), Printer("10.0.0.3", "Alpha"), Printer("10.0.0.100", "alpha"),
               Printer("9.0.0.1", "Gamma")});
    StoreSelection(0, {false, false, true, false}); // "alpha" (10.0.0.100) selected

    ASSERT_TRUE(SortGroup(0, kColName, true, Texts()));
    EXPECT_EQ(Names(0), (std::vector<std::string>{"Alpha", "alpha", "beta", "Gamma"})) << "case-blind, stable";
    EXPECT_EQ(StoredSelection(0), (std::vector<bool>{false, true, false, false})) << "the mark moves with its printer";

    ASSERT_TRUE(SortGroup(0, kColName, false, Texts()));
    EXPECT_EQ(Names(0), (std::vector<std::string>{"Gamma", "beta", "Alpha", "alpha"}));

    // Port: zero-padded, so 9.x before 10.0.0.3 before 10.0.0.20 before 10.0.0.100.
    ASSERT_TRUE(SortGroup(0, kColPort, true, Texts()));
    EXPECT_EQ(Names(0), (std::vector<std::string>{"Gamma", "Alpha", "beta", "alpha"}));

    // The order is the group's own and goes into the group file.
    qavtest::TempDir dir;
    ASSERT_EQ(SaveListDataToFile(dir.File("g.qdl")), 4);
    ASSERT_EQ(PopulateVectors(dir.File("g.qdl")), 1);
    EXPECT_EQ(Names(0), (std::vector<std::string>{"Gamma", "Alpha", "beta", "alpha"}));

    SortOrder order;
    EXPECT_TRUE(order.Click(kColName));
    EXPECT_FALSE(order.Click(kColName)) << "second click on the same column";
    EXPECT_TRUE(order.Click(kColName)) << "after a descending sort";
    EXPECT_TRUE(order.Click(kColModel)) << "another column";
    EXPECT_FALSE(SortGroup(7, kColName, true, Texts()));
}

TEST(Rows, MemberWithoutRecordShowsItsAddress)
{
    FreshList({Printer("10.0.0.1", "one")});
    AddPrinterToGroup(0, Address("10.0.0.2"));
    const auto rows = GroupRows(0);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_STREQ(rows[1].name, "");
    EXPECT_EQ(CellOf(rows[1], kColPort, Texts()).text, "10.0.0.2");
}

TEST(Commands, ProgramsAndListFile)
{
    qavtest::TempDir dir;
    const uint32_t a = Address("10.1.2.3"), b = Address("10.1.2.4"), c = Address("192.168.0.10");
    EXPECT_EQ(StatusMonitorCommandLine(a, 1), "NSTAT.exe 10.1.2.3 1");
    EXPECT_EQ(StatusMonitorCommandLine(a, 0), "NSTAT.exe 10.1.2.3 0");

    ProgramStart one = SystemToolStart({a}, dir.Path());
    EXPECT_EQ(one.program, "NCONFIG.EXE");
    EXPECT_EQ(one.args, (std::vector<std::string>{"3", "SNMP", "10.1.2.3"}));

    ProgramStart three = SystemToolStart({a, b, c}, dir.Path());
    EXPECT_EQ(three.args, (std::vector<std::string>{"4", dir.File("temp.txt")}));
    EXPECT_EQ(qavtest::ReadFile(dir.File("temp.txt")), "SNMP 10.1.2.3\nSNMP 10.1.2.4\nSNMP 192.168.0.10\n");

    ProgramStart load = DownloadToolStart({c}, dir.Path());
    EXPECT_EQ(load.program, "NLOAD.EXE");
    EXPECT_EQ(load.args, (std::vector<std::string>{"SNMP", "192.168.0.10"}));
    load = DownloadToolStart({b, a}, dir.Path());
    EXPECT_EQ(load.args, (std::vector<std::string>{dir.File("temp.txt")}));
    EXPECT_EQ(qavtest::ReadFile(dir.File("temp.txt")), "SNMP 10.1.2.4\nSNMP 10.1.2.3\n") << "replaced, not appended";

    EXPECT_TRUE(SystemToolStart({}, dir.Path()).program.empty());
    EXPECT_TRUE(SystemToolStart({a, b}, dir.File("missing/folder")).program.empty()) << "no list, no start";
    EXPECT_EQ(PrinterWebAddress(c), "http://192.168.0.10");
}

TEST(Groups, CreateDeleteAndPrinterDeletion)
{
    FreshList({Printer("10.0.0.1", "one"), Printer("10.0.0.2", "two"), Printer("10.0.0.3", "three")});
    AddPrinterToGroup(1, Address("10.0.0.2"));
    EXPECT_FALSE(DeleteUserGroup(0));
    EXPECT_FALSE(DeleteUserGroup(1));
    EXPECT_EQ(NewGroupRefusal(), 0);
    for (int i = 2; i < 10; ++i) AddGroup(("G" + std::to_string(i)).c_str());
    EXPECT_EQ(NewGroupRefusal(), 2201);
    AddPrinterToGroup(5, Address("10.0.0.2"));
    EXPECT_TRUE(DeleteUserGroup(9));
    EXPECT_EQ(NewGroupRefusal(), 0);

    EXPECT_EQ(DeletePrinters({Address("10.0.0.2"), Address("10.0.0.9")}), 1);
    EXPECT_EQ(GetListDataSize(), 2);
    EXPECT_EQ(FindMemberPosition(Address("10.0.0.2"), 0), -1);
    EXPECT_EQ(FindMemberPosition(Address("10.0.0.2"), 1), -1);
    EXPECT_EQ(FindMemberPosition(Address("10.0.0.2"), 5), -1);
    EXPECT_EQ(GetPrinterCountfromGroupData(0), 2);
}

TEST(GroupForm, ChecksAndNormalisation)
{
    FreshList({Printer("10.0.0.1", "one", "QAV M-UG2", "A150"), Printer("10.0.1.2", "two", "QAV M-RA1", "B100"),
               Printer("10.0.0.3", "three", "Other", "")});
    GroupForm f;
    f.name = "   ";
    EXPECT_EQ(GroupRefusal(f, -1), 2149);
    f.name = "  all ";
    EXPECT_EQ(GroupRefusal(f, -1), 2150) << "names compare without regard to case";
    EXPECT_EQ(GroupRefusal(f, 0), 0) << "a group keeps its own name";
    EXPECT_EQ(StoreGroup(f, -1), 2150);
    EXPECT_EQ(GetGroupDataSize(), 2) << "nothing stored on a refusal";

    f = {};
    f.name = " Range ";
    f.useSerial = true, f.serialFrom = "B100", f.serialTo = "A100";
    f.useModel = true; // checked with an empty text: unchecked, matches everything
    int stored = -1;
    ASSERT_EQ(StoreGroup(f, -1, &stored), 0);
    EXPECT_EQ(stored, 2);
    GroupData g;
    int count = 0;
    ASSERT_EQ(GetGroupDetails(2, g.name, 260, g.model, 2600, g.port, 260, g.serialNo, 260, g.installationFeatures,
                              2600, g.manager, 2600, g.comment, 2600, &count),
              1);
    EXPECT_STREQ(g.name, "Range");
    EXPECT_STREQ(g.serialNo, "A100~B100");
    EXPECT_STREQ(g.model, "");
    EXPECT_EQ(count, 2) << "A150 and B100, not the empty serial";

    GroupForm back = FormOfGroup(2);
    EXPECT_EQ(back.serialFrom, "A100");
    EXPECT_EQ(back.serialTo, "B100");
    back.serialTo.clear(); // one end only: both ends the same
    back.useAddress = true;
    back.address[0] = "10", back.address[1] = "0", back.address[2] = "0", back.address[3] = "255";
    ASSERT_EQ(StoreGroup(back, 2), 0);
    ASSERT_EQ(GetGroupDetails(2, g.name, 260, g.model, 2600, g.port, 260, g.serialNo, 260, g.installationFeatures,
                              2600, g.manager, 2600, g.comment, 2600, &count),
              1);
    EXPECT_STREQ(g.serialNo, "A100~A100");
    EXPECT_STREQ(g.port, "10.0.0.255");
    EXPECT_EQ(count, 0);
    EXPECT_EQ(GetGroupDataSize(), 3) << "edited in place";

    GroupForm blank;
    blank.name = "Blank address";
    blank.useAddress = true; // all four fields empty: unchecked
    ASSERT_EQ(StoreGroup(blank, -1, &stored), 0);
    EXPECT_EQ(GetPrinterCountfromGroupData(stored), 3);
}

// Groups 0 and 1 hold every printer and the maker's printers whatever the
// group dialog sends for them, so a save after the edit gives a group file
// that its own check accepts.
TEST(GroupForm, FixedGroupsKeepTheirMembers)
{
    ListData maker = Printer("10.0.0.2", "two", "QAV M-RA1");
    maker.isBCP = 1;
    FreshList({Printer("10.0.0.1", "one", "QAV M-UG2"), maker, Printer("10.0.0.3", "three", "Other")});
    AddPrinterToGroup(1, maker.ipAddress);
    for (int fixed : {0, 1}) {
        GroupForm f = FormOfGroup(fixed);
        f.name = fixed == 0 ? "Everything" : "Ours";
        f.useModel = true, f.model = "QAV M-UG2";
        f.useAddress = true, f.address[0] = "10", f.address[1] = "9", f.address[2] = "9", f.address[3] = "9";
        ASSERT_EQ(StoreGroup(f, fixed), 0);
        GroupData g;
        int count = -1;
        ASSERT_EQ(GetGroupDetails(fixed, g.name, 260, g.model, 2600, g.port, 260, g.serialNo, 260,
                                  g.installationFeatures, 2600, g.manager, 2600, g.comment, 2600, &count),
                  1);
        EXPECT_STREQ(g.name, f.name.c_str()) << "the name may change";
        EXPECT_STREQ(g.model, "") << "no criteria";
        EXPECT_STREQ(g.port, "");
        EXPECT_EQ(count, fixed == 0 ? 3 : 1) << "group " << fixed;
    }
    EXPECT_EQ(GetPrinterFromGroupData(1, 0), maker.ipAddress);
    qavtest::TempDir dir;
    std::string reason;
    ASSERT_EQ(SaveListDataToFile(dir.File("g.qdl"), &reason), 3) << reason;
    EXPECT_EQ(CheckQdlFileFormat(dir.File("g.qdl")), 1);
}

TEST(ListValues, SplitJoinAndCurrentValues)
{
    EXPECT_EQ(SplitList("a,b,,c"), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_TRUE(SplitList("").empty());
    EXPECT_EQ(JoinList({"x", "y"}), "x,y");
    std::vector<std::string> items{"M-UG2"};
    EXPECT_FALSE(AddListValue(items, "M-UG2"));
    EXPECT_TRUE(AddListValue(items, "m-ug2")) << "exact comparison";

    FreshList({Printer("10.0.0.1", "one", "B"), Printer("10.0.0.2", "two", "A"), Printer("10.0.0.3", "three", "B"),
               Printer("10.0.0.4", "four", "")});
    EXPECT_EQ(CurrentValues(kValueModel), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(CurrentValues(kValuePort).size(), 4u);
    EXPECT_TRUE(CurrentValues(99).empty());
}

TEST(AddPrinterForm, RefusedAddresses)
{
    FreshList({Printer("10.0.0.1", "one")});
    const std::string blank[4] = {"", "", "", ""};
    const std::string zero[4] = {"0", "0", "0", "0"};
    const std::string all[4] = {"255", "255", "255", "255"};
    const std::string wide[4] = {"10", "0", "0", "256"};
    const std::string listed[4] = {"10", "0", "0", "1"};
    const std::string fresh[4] = {"10", "0", "0", "2"};
    const std::string incomplete[4] = {"10", "0", "", "2"};
    const std::string lastMissing[4] = {"10", "0", "0", ""};
    EXPECT_EQ(AddPrinterRefusal(incomplete), 2173) << "an empty field is not 0";
    EXPECT_EQ(AddPrinterRefusal(lastMissing), 2173);
    EXPECT_EQ(AddPrinterRefusal(blank), 2173);
    EXPECT_EQ(AddPrinterRefusal(zero), 2173);
    EXPECT_EQ(AddPrinterRefusal(all), 2173);
    EXPECT_EQ(AddPrinterRefusal(wide), 2173);
    EXPECT_EQ(AddPrinterRefusal(listed), 2172);
    uint32_t a = 0;
    EXPECT_EQ(AddPrinterRefusal(fresh, &a), 0);
    EXPECT_EQ(a, Address("10.0.0.2"));
}

// ------------------------------------------------- against the simulator

class Refresh : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        port_ = qavtest::PrepareAgentPort();
        dir_ = new qavtest::TempDir;
        ::setenv("QAV_DATA_DIR", dir_->Path().c_str(), 1);
        for (int i = 0; i < 4; ++i) a_[i] = qavtest::LoopbackAddress(60 + i);
        qavtest::WriteFile(dir_->File("fleet"),
                           "[printer]\naddress = " + a_[0] + "\nmodel = QAV M-UG2\nname = Line 1\nlocation = Hall A\n"
                           "serial = QS1001\nstatus = paper-near-end\ndhcp = 1\ndhcp-host = line1\nrfid-ok = 12\n"
                           "[printer]\naddress = " + a_[1] + "\nkind = standard\nname = Office\n"
                           "[printer]\naddress = " + a_[2] + "\nname = Down\n"
                           "[printer]\naddress = " + a_[3] + "\nmodel = QAV M-UG2\nname = Spare\nserial = QS2000\n");
        sim_ = new qavtest::PrinterSim;
        started_ = sim_->Start({"--fleet", dir_->File("fleet"), "--port", std::to_string(port_)});
        if (started_) sim_->Command("down " + a_[2]);
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete dir_;
    }
    void SetUp() override
    {
        ASSERT_TRUE(started_) << sim_->Log();
        std::vector<ListData> printers;
        for (int i = 0; i < 3; ++i) {
            ListData r;
            r.ipAddress = Address(a_[i]);
            CopyText(r.name, "stale");
            CopyText(r.comment, "stale");
            printers.push_back(r);
        }
        FreshList(printers);
    }
    static ListData Stored(int index)
    {
        ListData r;
        GetItemFromListData(&r, index);
        return r;
    }

    static inline qavtest::PrinterSim* sim_ = nullptr;
    static inline qavtest::TempDir* dir_ = nullptr;
    static inline std::string a_[4];
    static inline int port_ = 0;
    static inline bool started_ = false;
};

TEST_F(Refresh, RecordsRereadMarkedAndStamped)
{
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(ListRefresh::RefreshRecord(i));
    EXPECT_FALSE(ListRefresh::RefreshRecord(3));

    ListData maker = Stored(0);
    EXPECT_EQ(maker.kind, 1);
    EXPECT_EQ(maker.isBCP, 1);
    EXPECT_STREQ(maker.name, "Line 1");
    EXPECT_STREQ(maker.serial, "QS1001");
    EXPECT_STREQ(maker.comment, "") << "the printer's own (empty) comment replaces the stale one";
    EXPECT_EQ(maker.errorCode, 80);
    EXPECT_EQ(maker.dhcpEnable, 1);
    EXPECT_STREQ(maker.dhcpHostName, "line1");
    EXPECT_STREQ(maker.rfidOk, "12");
    EXPECT_EQ(std::string(maker.port), a_[0]);
    EXPECT_NE(maker.renewalTime[0], '\0');

    ListData standard = Stored(1);
    EXPECT_EQ(standard.kind, 0);
    EXPECT_EQ(standard.isBCP, 0);
    EXPECT_STREQ(standard.name, "Office");
    EXPECT_EQ(standard.dhcpEnable, -1);

    // Silent: its state changes, what names it stays (and goes into the
    // next save), and the maker check is left for a later pass.
    ListData down = Stored(2);
    EXPECT_EQ(down.kind, -1);
    EXPECT_EQ(down.printerStatus, 6);
    EXPECT_EQ(down.errorCode, 512);
    EXPECT_STREQ(down.name, "stale");
    EXPECT_STREQ(down.comment, "stale");
    EXPECT_EQ(down.isBCP, -1);
    EXPECT_EQ(CellOf(down, kColStatus, Texts()).text, Texts().Get(3150));

    // Nothing changed on the printer: the second read keeps the time.
    CopyText(maker.renewalTime, "1-January-2020 00:00:00");
    SetListData(0, maker);
    ASSERT_TRUE(ListRefresh::RefreshRecord(0));
    EXPECT_STREQ(Stored(0).renewalTime, "1-January-2020 00:00:00");
    ASSERT_EQ(sim_->Command("set " + a_[0] + " location \"Hall B\""), "ok");
    ASSERT_TRUE(ListRefresh::RefreshRecord(0));
    EXPECT_STREQ(Stored(0).location, "Hall B");
    EXPECT_STRNE(Stored(0).renewalTime, "1-January-2020 00:00:00");
    sim_->Command("set " + a_[0] + " location \"Hall A\"");
}

TEST_F(Refresh, ThreadPostsAndStops)
{
    ClearListData();
    ListData r;
    r.ipAddress = Address(a_[0]);
    AddToListData(r);
    std::mutex m;
    std::vector<int> posted;
    ListRefresh refresh;
    refresh.Start(1, true, [&](int c) {
        std::lock_guard<std::mutex> lock(m);
        posted.push_back(c);
    });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (refresh.Passes() < 1 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto stopAt = std::chrono::steady_clock::now();
    refresh.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stopAt, std::chrono::seconds(3));
    ASSERT_GE(refresh.Passes(), 1);
    EXPECT_FALSE(refresh.Running());
    std::lock_guard<std::mutex> lock(m);
    ASSERT_GE(posted.size(), 4u);
    EXPECT_EQ(posted[0], kCommandRefreshing);
    EXPECT_EQ(posted[1], kCommandRedraw);
    EXPECT_EQ(Stored(0).kind, 1);

    // A cycle of 0: only the immediate update, then the thread ends.
    posted.clear();
    ListRefresh once;
    std::atomic<int> n{0};
    once.Start(0, true, [&](int) { ++n; }, [] { return false; });
    const auto until2 = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (once.Running() && std::chrono::steady_clock::now() < until2)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(once.Running());
    EXPECT_EQ(n.load(), 1) << "no redraw asked for";
}

TEST_F(Refresh, RecordMovedDuringTheReadIsNotOverwritten)
{
    // The refresh reads index 2 (the silent printer, which takes a while);
    // meanwhile the list changes under it.
    std::thread t([] { ListRefresh::RefreshRecord(2); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    RemovePrinter(Address(a_[2]));
    ListData other;
    other.ipAddress = Address(a_[3]);
    CopyText(other.name, "kept");
    AddToListData(other);
    t.join();
    EXPECT_STREQ(Stored(2).name, "kept");
}

TEST_F(Refresh, AddPrinterReadsAndAssigns)
{
    GroupForm f;
    f.name = "QS";
    f.useSerial = true, f.serialFrom = "QS1000", f.serialTo = "QS2999";
    ASSERT_EQ(StoreGroup(f, -1), 0);
    const int index = AddPrinter(Address(a_[3]));
    const ListData r = Stored(index);
    EXPECT_STREQ(r.name, "Spare");
    EXPECT_EQ(r.isBCP, 1);
    EXPECT_NE(r.renewalTime[0], '\0');
    EXPECT_GE(FindMemberPosition(r.ipAddress, 0), 0);
    EXPECT_GE(FindMemberPosition(r.ipAddress, 1), 0);
    EXPECT_GE(FindMemberPosition(r.ipAddress, 2), 0);

    // A printer that does not answer is added all the same, and whether it
    // is the maker's stays open.
    const std::string gone = qavtest::LoopbackAddress(69);
    const int silent = AddPrinter(Address(gone));
    EXPECT_EQ(Stored(silent).kind, -1);
    EXPECT_EQ(Stored(silent).isBCP, -1);
    EXPECT_GE(FindMemberPosition(Address(gone), 0), 0);
    EXPECT_EQ(FindMemberPosition(Address(gone), 1), -1);
    EXPECT_EQ(FindMemberPosition(Address(gone), 2), -1);
}

// A maker's printer switched off when it was added is the maker's once it
// answers: the failed check decided nothing.
TEST_F(Refresh, PrinterAddedWhileOffIsTheMakersOnceItAnswers)
{
    ClearListData();
    const int index = AddPrinter(Address(a_[2]));
    EXPECT_EQ(Stored(index).isBCP, -1);
    EXPECT_EQ(DetermineIsBCP(Address(a_[2]), true), 0) << "still silent: 0, and nothing stored";
    EXPECT_EQ(Stored(index).isBCP, -1);
    ASSERT_EQ(sim_->Command("up " + a_[2]), "ok");
    ASSERT_TRUE(ListRefresh::RefreshRecord(index));
    sim_->Command("down " + a_[2]);
    EXPECT_EQ(Stored(index).isBCP, 1);
    EXPECT_EQ(Stored(index).kind, 1);
    EXPECT_STREQ(Stored(index).name, "Down");
}

// Printers loaded from the group file show that their state is not known
// until they answer; the file's status text is no news of the printer.
TEST_F(Refresh, LoadedPrintersAwaitTheirFirstAnswer)
{
    qavtest::TempDir dir;
    qavtest::WriteFile(dir.File("g.qdl"),
                       "[Groups]\ncount=2\n[Group.0]\nname=All\nprinters=2\nprtindex.0=" + a_[0] + "\nprtindex.1=" +
                           a_[2] + "\n[Group.1]\nname=Maker\nprinters=0\n[Printers]\ncount=2\n[Printer.0]\nip=" +
                           a_[0] + "\nname=Line 1\nstatus=" + Texts().Get(3000) + "\nIsBCP=1\n[Printer.1]\nip=" + a_[2] +
                           "\nname=Down\nstatus=" + Texts().Get(3000) + "\nIsBCP=1\n");
    ASSERT_EQ(CheckQdlFileFormat(dir.File("g.qdl")), 1);
    ASSERT_EQ(PopulateVectors(dir.File("g.qdl")), 1);
    std::vector<bool> awaiting;
    std::vector<ListData> rows = GroupRows(0, &awaiting);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(awaiting, (std::vector<bool>{true, true}));
    for (size_t k = 0; k < rows.size(); ++k) {
        const Cell status = CellOf(rows[k], kColStatus, Texts(), awaiting[k]);
        EXPECT_EQ(status.text, Texts().Get(kTextNotKnownYet)) << "not a green \"" << Texts().Get(3000) << "\"";
        EXPECT_EQ(status.icon, kIconNotKnown);
    }

    // An answer, or the lack of one, ends the wait.
    ASSERT_TRUE(ListRefresh::RefreshRecord(0));
    ASSERT_TRUE(ListRefresh::RefreshRecord(1));
    rows = GroupRows(0, &awaiting);
    EXPECT_EQ(awaiting, (std::vector<bool>{false, false}));
    EXPECT_EQ(CellOf(rows[0], kColStatus, Texts(), awaiting[0]).text, Texts().Get(3045)) << "paper near end";
    EXPECT_EQ(CellOf(rows[1], kColStatus, Texts(), awaiting[1]).text, Texts().Get(3150));

    // A record stored by another reader (the monitor's polling) counts too.
    ASSERT_EQ(PopulateVectors(dir.File("g.qdl")), 1);
    EXPECT_TRUE(AwaitsFirstAnswer(Address(a_[0])));
    ListData r = Stored(0);
    r.errorCode = 7;
    ASSERT_EQ(SetListData(0, r), 1);
    EXPECT_FALSE(AwaitsFirstAnswer(Address(a_[0])));
    EXPECT_TRUE(AwaitsFirstAnswer(Address(a_[2])));
    ClearListData();
    EXPECT_FALSE(AwaitsFirstAnswer(Address(a_[2])));
}

} // namespace

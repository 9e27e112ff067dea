// The device search against real peers on loopback: the printer simulator
// serving the maker's printers, a standard printer and a printer recording
// of another maker, plus snmpsim serving a device that is no printer. Every
// search runs over this process's own loopback addresses (the broadcast
// cases send their one datagram to one of them).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "DeviceModel.h"
#include "MakerRecording.h"
#include "TestPeers.h"
#include "nlist/DeviceSearch.h"
#include "nlist/Nlist.h"
#include "qavres/Resources.h"

namespace {

using nlist::DeviceSearch;
using nlist::SearchPhase;
using nlist::SearchProgress;
using nlist::SearchSettings;

uint32_t Address(const std::string& dotted)
{
    in_addr a{};
    ::inet_pton(AF_INET, dotted.c_str(), &a);
    return ntohl(a.s_addr);
}

std::string A(int slot) { return qavtest::LoopbackAddress(slot); }

ListData Stored(int index)
{
    ListData r;
    GetItemFromListData(&r, index);
    return r;
}

std::vector<uint32_t> Members(int group)
{
    std::vector<uint32_t> m;
    for (int i = 0; i < GetPrinterCountfromGroupData(group); ++i) m.push_back(GetPrinterFromGroupData(group, i));
    return m;
}

GroupData Group(const char* name, const char* model = "")
{
    GroupData g;
    std::snprintf(g.name, sizeof g.name, "%s", name);
    std::snprintf(g.model, sizeof g.model, "%s", model);
    return g;
}

// Records what the search reported, and cancels when told to.
class Recorder : public nlist::SearchObserver {
public:
    DeviceSearch* search = nullptr;
    int cancelAfterMs = -1;        // during discovery
    int cancelAtPosition = -1;     // during processing
    std::vector<SearchProgress> reports;
    std::vector<std::string> messages;

    void OnProgress(const SearchProgress& p) override
    {
        reports.push_back(p);
        if (p.phase == SearchPhase::kDiscovery && cancelAfterMs >= 0 && p.elapsedMs >= cancelAfterMs) {
            cancelAfterMs = -1;
            search->Cancel();
        }
        if (p.phase == SearchPhase::kProcessing && cancelAtPosition >= 0 && p.position == cancelAtPosition) {
            cancelAtPosition = -1;
            search->Cancel();
        }
    }
    void OnMessage(const std::string& text) override { messages.push_back(text); }
    int Count(SearchPhase phase) const
    {
        int n = 0;
        for (const auto& r : reports) n += r.phase == phase;
        return n;
    }
};

// Slots of the fleet: 1 and 2 the maker's printers, 3 a standard printer of
// the simulator, 4 another maker's printer (a real recording), 5 a maker's
// printer that is switched off, 6 a device that is no printer (snmpsim); 9
// (outside the usual ranges) a maker's printer without its objects (snmpsim).
class DeviceSearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ::setenv("QAV_DATA_DIR", data_.Path().c_str(), 1);
        port_ = qavtest::PrepareAgentPort();
        qavtest::WriteFile(data_.File("fleet"),
                           "[printer]\naddress = " + A(1) + "\nmodel = QAV M-UG2\nname = Line 1\nlocation = Hall A\n"
                           "manager = J. Baker\ncomment = Dock 1\nserial = QS1001\nhead = 1\ndhcp = 1\n"
                           "dhcp-host = line1\nrfid-ok = 12\nrfid-error = 3\n"
                           "[printer]\naddress = " + A(2) + "\nmodel = QAV M-RA1\nname = Tagger\nrfid-ok = 5\nhead = 1\n"
                           "[printer]\naddress = " + A(3) + "\nkind = standard\nname = Office\nlocation = Floor 2\n"
                           "[printer]\naddress = " + A(4) + "\nrecording = zebra-tlp2824plus.snmprec\n"
                           "[printer]\naddress = " + A(5) + "\nname = Off\n");
        sim_ = new qavtest::PrinterSim;
        started_ = sim_->Start({"--fleet", data_.File("fleet"), "--port", std::to_string(port_)});
        if (started_) sim_->Command("down " + A(5));
        if (qavtest::HaveProgram("snmpsimd")) {
            snmpsim_ = new qavtest::SnmpSimAgent;
            // A storage box: host resources say "processor", not printer.
            snmpsimStarted_ = snmpsim_->Start(A(6), port_,
                                              {{"kestra", "1.3.6.1.2.1.1.1.0|4|Storage box\n"
                                                          "1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.8072.3.2.10\n"
                                                          "1.3.6.1.2.1.25.3.2.1.2.1|6|1.3.6.1.2.1.25.3.1.3\n"
                                                          "1.3.6.1.2.1.25.3.2.1.6.1|65|0\n"}});
            // A printer of the maker's that answers the checks and nothing of
            // its object set.
            // The Zebra label printer as one of the maker's printers.
            zebra_ = new qavtest::SnmpSimAgent;
            const std::string recording = devlisttest::MakerRecording();
            zebraStarted_ = !recording.empty() && zebra_->Start(A(10), port_, {{"kestra", recording}});
            bare_ = new qavtest::SnmpSimAgent;
            bareStarted_ = bare_->Start(A(9), port_,
                                        {{"kestra", "1.3.6.1.2.1.1.2.0|6|1.3.6.1.4.1.32473.2.9\n"
                                                    "1.3.6.1.2.1.25.3.2.1.2.1|6|1.3.6.1.2.1.25.3.1.5\n"
                                                    "1.3.6.1.2.1.25.3.2.1.6.1|65|4\n"}});
        }
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete snmpsim_;
        delete bare_;
        delete zebra_;
    }
    void SetUp() override
    {
        ASSERT_TRUE(started_) << sim_->Log();
        ClearListData();
        ClearGroupData();
        AddToGroupData(Group("All"));
        AddToGroupData(Group("Maker"));
        AddToGroupData(Group("Taggers", "QAV M-RA1"));
    }
    static SearchSettings Range(int first, int last, int seconds = 1)
    {
        SearchSettings s;
        s.timeoutSeconds = seconds;
        s.ranges = {A(first) + "-" + A(last)};
        return s;
    }
    static std::set<uint32_t> Listed()
    {
        std::set<uint32_t> s;
        for (int i = 0; i < GetListDataSize(); ++i) s.insert(GetipAddressFromListData(i));
        return s;
    }

    static inline qavtest::TempDir data_;
    static inline qavtest::PrinterSim* sim_ = nullptr;
    static inline qavtest::SnmpSimAgent* snmpsim_ = nullptr;
    static inline int port_ = 0;
    static inline bool started_ = false;
    static inline bool snmpsimStarted_ = false;
    static inline qavtest::SnmpSimAgent* bare_ = nullptr;
    static inline bool bareStarted_ = false;
    static inline qavtest::SnmpSimAgent* zebra_ = nullptr;
    static inline bool zebraStarted_ = false;
};

TEST_F(DeviceSearchTest, RangeFindsAndMergesTheMakersPrinters)
{
    DeviceSearch search(Range(1, 8));
    Recorder r;
    r.search = &search;
    const SearchProgress p = search.Run(&r);

    std::set<uint32_t> found(search.Found().begin(), search.Found().end());
    EXPECT_TRUE(found.count(Address(A(1))) && found.count(Address(A(2))) && found.count(Address(A(3))) &&
                found.count(Address(A(4))));
    EXPECT_FALSE(found.count(Address(A(5)))) << "a printer that is off does not answer";
    if (snmpsimStarted_) {
        EXPECT_TRUE(found.count(Address(A(6))));
    }
    EXPECT_EQ(p.found, static_cast<int>(search.Found().size()));
    EXPECT_EQ(p.position, p.found);
    EXPECT_EQ(p.merged, 2);
    EXPECT_FALSE(p.cancelled);
    EXPECT_EQ(p.phase, SearchPhase::kFinished);
    EXPECT_GE(p.elapsedMs, 1000) << "the discovery waits its whole window";
    EXPECT_TRUE(r.messages.empty());
    EXPECT_GE(r.Count(SearchPhase::kDiscovery), 5) << "reports about every 100 ms";

    ASSERT_EQ(Listed(), (std::set<uint32_t>{Address(A(1)), Address(A(2))}));
    const ListData line = Stored(FindListDatabyIPAddress(Address(A(1))));
    EXPECT_EQ(line.kind, 1);
    EXPECT_EQ(line.isBCP, 1);
    EXPECT_STREQ(line.name, "Line 1");
    EXPECT_STREQ(line.model, "QAV M-UG2");
    EXPECT_STREQ(line.location, "Hall A");
    EXPECT_STREQ(line.manager, "J. Baker");
    EXPECT_STREQ(line.comment, "Dock 1");
    EXPECT_STREQ(line.serial, "QS1001");
    EXPECT_EQ(line.printerStatus, 3);
    EXPECT_EQ(line.errorCode, 0);
    EXPECT_EQ(line.headStatus, 1);
    EXPECT_EQ(line.dhcpEnable, 1);
    EXPECT_STREQ(line.dhcpHostName, "line1");
    EXPECT_STREQ(line.rfidOk, "12");
    EXPECT_STREQ(line.rfidError, "3");
    EXPECT_EQ(std::string(line.port), A(1));
    EXPECT_NE(line.renewalTime[0], '\0');
    const ListData tagger = Stored(FindListDatabyIPAddress(Address(A(2))));
    EXPECT_STREQ(tagger.model, "QAV M-RA1");
    EXPECT_EQ(tagger.headStatus, 0) << "this model has no head state";
    EXPECT_STREQ(tagger.rfidOk, "");

    // New printers join group 0, the maker's group and the groups whose
    // criteria they match.
    EXPECT_EQ(Members(0).size(), 2u);
    EXPECT_EQ(Members(1).size(), 2u);
    EXPECT_EQ(Members(2), std::vector<uint32_t>{Address(A(2))});
}

TEST_F(DeviceSearchTest, OtherMakersAreKeptOnlyWhenAsked)
{
    SearchSettings s = Range(1, 8);
    s.otherMakers = true;
    DeviceSearch search(s);
    const SearchProgress p = search.Run();
    EXPECT_EQ(p.merged, 4);
    ASSERT_EQ(Listed(), (std::set<uint32_t>{Address(A(1)), Address(A(2)), Address(A(3)), Address(A(4))}))
        << "the device that is no printer stays out";
    const ListData office = Stored(FindListDatabyIPAddress(Address(A(3))));
    EXPECT_EQ(office.kind, 0);
    EXPECT_STREQ(office.name, "Office");
    EXPECT_STREQ(office.location, "Floor 2");
    EXPECT_EQ(office.dhcpEnable, -1);
    EXPECT_EQ(office.printerStatus, 3);
    EXPECT_NE(office.renewalTime[0], '\0');
    // The check found another maker: the record says so, and its status
    // reads as a standard printer's ("Idle"), not through the maker's codes.
    EXPECT_EQ(office.isBCP, 0);
    const ListData zebra = Stored(FindListDatabyIPAddress(Address(A(4))));
    EXPECT_EQ(zebra.kind, 0);
    EXPECT_STREQ(zebra.name, "6NM1PAS_AB07");
    EXPECT_EQ(zebra.isBCP, 0);
    // The recording has no hrDeviceDescr: the get-next answers the next
    // column, which must not become the model.
    EXPECT_STREQ(zebra.model, "");
    EXPECT_STREQ(zebra.manager, "") << "the maker's objects are not read from others";
    EXPECT_EQ(Members(0).size(), 4u);
    EXPECT_EQ(Members(1).size(), 2u) << "only the maker's printers join group 1";
}

TEST_F(DeviceSearchTest, ListedPrintersAreUpdatedInPlaceWithoutDuplicates)
{
    ListData other;
    other.ipAddress = Address("10.0.0.1");
    AddToListData(other);
    ListData old;
    old.ipAddress = Address(A(1));
    std::snprintf(old.name, sizeof old.name, "Old name");
    std::snprintf(old.reservedText, sizeof old.reservedText, "kept?");
    AddToListData(old);
    // The old record is a member of the "Taggers" group although its model
    // does not match: memberships stay as they are for a listed printer.
    ASSERT_EQ(nlist::AddPrinterToGroup(0, old.ipAddress), 1);
    ASSERT_EQ(nlist::AddPrinterToGroup(2, old.ipAddress), 1);

    for (int run = 0; run < 2; ++run) {
        DeviceSearch search(Range(1, 3));
        EXPECT_EQ(search.Run().merged, 2);
    }
    ASSERT_EQ(GetListDataSize(), 3) << "two searches, no duplicate";
    EXPECT_EQ(GetipAddressFromListData(0), Address("10.0.0.1"));
    const ListData line = Stored(1);
    EXPECT_EQ(line.ipAddress, Address(A(1))) << "the listed printer keeps its position";
    EXPECT_STREQ(line.name, "Line 1") << "and its record is the new one";
    EXPECT_STREQ(line.reservedText, "");
    EXPECT_EQ(GetipAddressFromListData(2), Address(A(2)));

    EXPECT_EQ(Members(0), (std::vector<uint32_t>{Address(A(1)), Address(A(2))}));
    EXPECT_EQ(Members(1), std::vector<uint32_t>{Address(A(2))}) << "the listed printer was not assigned again";
    EXPECT_EQ(Members(2), (std::vector<uint32_t>{Address(A(1)), Address(A(2))}));
}

TEST_F(DeviceSearchTest, MakersPrinterWithoutItsObjectsIsStillMerged)
{
    if (!bareStarted_) GTEST_SKIP() << "snmpsimd is not available";
    DeviceSearch search(Range(9, 9));
    EXPECT_EQ(search.Run().merged, 1);
    ASSERT_EQ(GetListDataSize(), 1);
    const ListData r = Stored(0);
    EXPECT_EQ(r.ipAddress, Address(A(9)));
    EXPECT_EQ(r.isBCP, 1);
    EXPECT_EQ(r.printerStatus, 6);
    EXPECT_EQ(r.errorCode, 512);
    EXPECT_STREQ(r.name, "");
    EXPECT_STREQ(r.model, "") << "no answer of another object lands in a field";
    EXPECT_EQ(Members(1), std::vector<uint32_t>{Address(A(9))});
}

// A real agent answers only what exists, and ends its tree with an error
// (SNMPv1 noSuchName) where the last objects asked for are missing: the
// maker's printer is read whole all the same.
TEST_F(DeviceSearchTest, MakersPrinterOnAStrictAgentIsFoundAndRead)
{
    if (!zebraStarted_) GTEST_SKIP() << "snmpsimd or the printer recordings are not available";
    DeviceSearch search(Range(10, 10));
    EXPECT_EQ(search.Run().merged, 1);
    ASSERT_EQ(GetListDataSize(), 1);
    const ListData r = Stored(0);
    EXPECT_EQ(r.ipAddress, Address(A(10)));
    EXPECT_EQ(r.kind, 1);
    EXPECT_EQ(r.isBCP, 1);
    EXPECT_STREQ(r.name, "6NM1PAS_AB07");
    EXPECT_STREQ(r.model, "QAV M-UG2");
    EXPECT_STREQ(r.location, "Booth 7");
    EXPECT_STREQ(r.serial, "QS7001");
    EXPECT_STREQ(r.manager, "R. Singh");
    EXPECT_EQ(r.printerStatus, 3);
    EXPECT_EQ(r.errorCode, 13);
    EXPECT_EQ(r.dhcpEnable, 1);
    EXPECT_STREQ(r.dhcpHostName, "booth7");
    EXPECT_EQ(Members(1), std::vector<uint32_t>{Address(A(10))}) << "in the maker's group";
    EXPECT_TRUE(Members(2).empty()) << "not a tagger";
}

TEST_F(DeviceSearchTest, CancelDuringDiscoveryStillProcessesWhatWasFound)
{
    DeviceSearch search(Range(1, 3, 20));
    Recorder r;
    r.search = &search;
    r.cancelAfterMs = 600; // the three datagrams went out long before
    const auto start = std::chrono::steady_clock::now();
    const SearchProgress p = search.Run(&r);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0) << "the 20 s window ended early";
    EXPECT_TRUE(p.cancelled);
    EXPECT_EQ(p.found, 3);
    EXPECT_EQ(p.position, 3);
    EXPECT_EQ(p.merged, 2);
    EXPECT_EQ(GetListDataSize(), 2);
}

TEST_F(DeviceSearchTest, CancelDuringProcessingStopsBeforeTheNextAddress)
{
    SearchSettings s = Range(1, 4);
    s.otherMakers = true;
    DeviceSearch search(s);
    Recorder r;
    r.search = &search;
    r.cancelAtPosition = 1;
    const SearchProgress p = search.Run(&r);
    EXPECT_TRUE(p.cancelled);
    EXPECT_EQ(p.found, 4);
    EXPECT_EQ(p.position, 1);
    EXPECT_EQ(p.merged, 1);
    EXPECT_EQ(GetListDataSize(), 1);
}

TEST_F(DeviceSearchTest, EmptyRangeFindsNothingAndLeavesTheList)
{
    ListData kept;
    kept.ipAddress = Address(A(1));
    std::snprintf(kept.name, sizeof kept.name, "Kept");
    AddToListData(kept);
    DeviceSearch search(Range(3, 1)); // first above last: nothing is sent
    const SearchProgress p = search.Run();
    EXPECT_EQ(p.found, 0);
    EXPECT_EQ(p.merged, 0);
    EXPECT_GE(p.elapsedMs, 1000);
    ASSERT_EQ(GetListDataSize(), 1);
    EXPECT_STREQ(Stored(0).name, "Kept");
}

TEST_F(DeviceSearchTest, SettingsFileDecidesRangesAndBroadcast)
{
    const std::string path = data_.File("QAVSearchConfig.qso");
    auto run = [&](const std::string& content) {
        qavtest::WriteFile(path, content);
        SearchSettings s = nlist::ReadSearchSettings(path);
        s.broadcastAddress = A(3); // the "broadcast" goes to one simulated printer
        DeviceSearch search(s);
        search.Run();
        return std::set<uint32_t>(search.Found().begin(), search.Found().end());
    };
    const std::string timeout = "[Timeout]\nTimeoutSeconds=1\n";
    // An empty EndIP searches the single StartIP.
    EXPECT_EQ(run(timeout + "[Criteria]\nBroadcast=0\n[Ranges]\nCount=1\n[Ranges.1]\nStartIP=" + A(2) + "\n"),
              std::set<uint32_t>{Address(A(2))});
    // Broadcast 1 ignores the ranges.
    EXPECT_EQ(run(timeout + "[Criteria]\nBroadcast=1\n[Ranges]\nCount=1\n[Ranges.1]\nStartIP=" + A(1) +
                  "\nEndIP=" + A(4) + "\n"),
              std::set<uint32_t>{Address(A(3))});
    // No range with a StartIP: a broadcast search.
    EXPECT_EQ(run(timeout + "[Criteria]\nBroadcast=0\n[Ranges]\nCount=2\n[Ranges.1]\nEndIP=" + A(4) +
                  "\n[Ranges.2]\nStartIP=\n"),
              std::set<uint32_t>{Address(A(3))});
    // Two ranges, the second above Count is not read.
    EXPECT_EQ(run(timeout + "[Ranges]\nCount=2\n[Ranges.1]\nStartIP=" + A(1) + "\nEndIP=" + A(1) +
                  "\n[Ranges.2]\nStartIP=" + A(4) + "\n[Ranges.3]\nStartIP=" + A(2) + "\n"),
              (std::set<uint32_t>{Address(A(1)), Address(A(4))}));
}

TEST(SearchSettingsTest, TimeoutAndFlags)
{
    qavtest::TempDir dir;
    const std::string path = dir.File("QAVSearchConfig.qso");
    EXPECT_EQ(nlist::ReadSearchSettings(dir.File("none")).timeoutSeconds, 30);
    for (const char* value : {"0", "-1", "-7"}) {
        qavtest::WriteFile(path, std::string("[Timeout]\nTimeoutSeconds=") + value + "\n");
        EXPECT_EQ(nlist::ReadSearchSettings(path).timeoutSeconds, 30) << value;
    }
    qavtest::WriteFile(path, "[Timeout]\nTimeoutSeconds=601\n[Criteria]\nBroadcast=2\nNonVorantaPrinters=1\n"
                             "[Ranges]\nCount=1\n[Ranges.1]\nStartIP=192.168.100.200\nEndIP=192.168.100.254\n");
    const SearchSettings s = nlist::ReadSearchSettings(path);
    EXPECT_EQ(s.timeoutSeconds, 600) << "the discovery's longest window";
    EXPECT_FALSE(s.broadcast) << "only 1 is on";
    EXPECT_TRUE(s.otherMakers);
    EXPECT_EQ(s.ranges, std::vector<std::string>{"192.168.100.200-192.168.100.254"});
}

// Without the object table there is no discovery OID: the search tells the
// user and finds nothing.
TEST_F(DeviceSearchTest, MissingObjectTableFindsNothing)
{
    qavtest::TempDir resources;
    std::filesystem::copy_file(qavres::ResourceDir() + "/QAVLANG.txt", resources.File("QAVLANG.txt"));
    const std::string before = qavres::ResourceDir();
    ::setenv("QAV_RESOURCE_DIR", resources.Path().c_str(), 1);
    nlist::ReloadResources();
    DeviceSearch search(Range(1, 3));
    Recorder r;
    r.search = &search;
    const SearchProgress p = search.Run(&r);
    ::setenv("QAV_RESOURCE_DIR", before.c_str(), 1);
    nlist::ReloadResources();
    EXPECT_EQ(p.found, 0);
    EXPECT_EQ(p.merged, 0);
    EXPECT_LT(p.elapsedMs, 1000) << "no discovery was started";
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_NE(r.messages[0].find("QAVOIDER"), std::string::npos) << r.messages[0];
}

// ------------------------------------------------------------ qavctl

const std::string kQavctl = std::string(QAV_BINARY_DIR) + "/bin/qavctl";

// Runs a command line; its exit status, its standard output in `out` and its
// standard error in `err`.
int Shell(const std::string& command, std::string& out, std::string& err)
{
    qavtest::TempDir dir;
    FILE* p = ::popen((command + " 2>" + dir.File("err")).c_str(), "r");
    if (!p) return -1;
    out.clear();
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int status = ::pclose(p);
    err = qavtest::ReadFile(dir.File("err"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(DeviceSearchTest, DiscoverPrintsWhatAnswers)
{
    std::string out, err;
    ASSERT_EQ(Shell(kQavctl + " discover --range " + A(1) + "-" + A(5) + " --range " + A(6) + " --seconds 1", out, err),
              0)
        << err;
    std::set<std::string> lines;
    for (size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
        lines.insert(out.substr(at, end - at));
    std::set<std::string> expected = {A(1), A(2), A(3), A(4)};
    if (snmpsimStarted_) expected.insert(A(6));
    EXPECT_EQ(lines, expected) << "every device that answers, the switched-off printer not";
    EXPECT_NE(err.find(std::to_string(expected.size()) + " answered"), std::string::npos) << err;

    // One datagram to one address stands for the broadcast.
    ASSERT_EQ(Shell(kQavctl + " discover --to " + A(2) + " --seconds 1", out, err), 0) << err;
    EXPECT_EQ(out, A(2) + "\n");
    // A range given last address first is searched from its lower end; bad
    // input is refused before any send.
    ASSERT_EQ(Shell(kQavctl + " discover --range " + A(3) + "-" + A(1) + " --seconds 1", out, err), 0) << err;
    std::set<std::string> reversed;
    for (size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
        reversed.insert(out.substr(at, end - at));
    EXPECT_EQ(reversed, (std::set<std::string>{A(1), A(2), A(3)}));
    EXPECT_EQ(Shell(kQavctl + " discover --range 127.0.0.1-127.0.0.256", out, err), 2);
    EXPECT_EQ(Shell(kQavctl + " discover --seconds 601", out, err), 2);
}

TEST_F(DeviceSearchTest, SearchCommandFillsTheGroupFileOfTheDataFolder)
{
    qavtest::TempDir dir;
    const std::string data = dir.File("data");
    std::string out, err;
    const std::string env = "QAV_DATA_DIR='" + data + "' ";
    ASSERT_EQ(Shell(env + QAV_SOURCE_DIR "/scripts/install-data", out, err), 0) << err;
    const std::string groupFile = data + "/QAVGroupConfig.qdl";
    qavtest::WriteFile(data + "/QAVSearchConfig.qso",
                       "[Criteria]\nBroadcast=0\nNonVorantaPrinters=1\n[Ranges]\nCount=1\n[Ranges.1]\nStartIP=" + A(1) +
                           "\nEndIP=" + A(6) + "\n[Timeout]\nTimeoutSeconds=1\n");
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(Shell(env + kQavctl + " search", out, err), 0) << err;
        EXPECT_NE(out.find("4 printers merged"), std::string::npos) << out;
        EXPECT_NE(out.find("4 printers in " + groupFile), std::string::npos) << out << "(no duplicates)";
    }
    ASSERT_EQ(CheckQdlFileFormat(groupFile), 1);
    ASSERT_EQ(PopulateVectors(groupFile), 1);
    EXPECT_EQ(Listed(), (std::set<uint32_t>{Address(A(1)), Address(A(2)), Address(A(3)), Address(A(4))}));
    EXPECT_EQ(GetPrinterCountfromGroupData(0), 4);

    // A broken group file is left alone.
    qavtest::WriteFile(groupFile, "[Groups]\ncount=1\n");
    EXPECT_EQ(Shell(env + kQavctl + " search", out, err), 1);
    EXPECT_EQ(qavtest::ReadFile(groupFile), "[Groups]\ncount=1\n");
}

} // namespace

// The status monitor's reads against real peers: snmpsim serving the real
// printer recordings (copies of the Zebra with other status bytes), and the
// printer simulator's maker printers of every model in every status code.
// Also `qavctl status` over the same printers. One simulator and one
// snmpsim agent serve the whole binary.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <regex>
#include <sstream>

#include "TestPeers.h"
#include "Ber.h"
#include "nstat/Printer.h"
#include "nstat/RemoteKeys.h"
#include "nstat/Report.h"
#include "qavplatform/Address.h"
#include "qavres/Resources.h"

namespace {

using namespace nstat;

// A recording as snmpsim can serve it: the Zebra's hrDeviceID values are
// recorded as the one-arc OID "0", which snmpsim cannot encode (it drops
// the whole answer); a printer sends zeroDotZero there.
std::string Recording(const std::string& name)
{
    const std::string r = qavtest::ReadFile(QAV_SOURCE_DIR "/tests/data/snmprec/" + name);
    return std::regex_replace(r, std::regex("\\|6\\|0\n"), "|6|0.0\n");
}

// The Zebra recording with other printer status and error bytes.
std::string Zebra(const std::string& status, const std::string& errorHex)
{
    std::string r = Recording("zebra-tlp2824plus.snmprec");
    r = std::regex_replace(r, std::regex("1\\.3\\.6\\.1\\.2\\.1\\.25\\.3\\.5\\.1\\.1\\.1\\|2\\|3"),
                           "1.3.6.1.2.1.25.3.5.1.1.1|2|" + status);
    r = std::regex_replace(r, std::regex("1\\.3\\.6\\.1\\.2\\.1\\.25\\.3\\.5\\.1\\.2\\.1\\|4x\\|0000"),
                           "1.3.6.1.2.1.25.3.5.1.2.1|4x|" + errorHex);
    return r;
}

uint32_t Address(const std::string& dotted)
{
    uint32_t a = 0;
    qavplatform::ParseAddress(dotted, a);
    return a;
}

class Peers : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        port_ = qavtest::PrepareAgentPort();
        dir_ = new qavtest::TempDir;
        objects_ = new qavres::ObjectTable;
        texts_ = new qavres::StringTable;
        loaded_ = objects_->LoadFile(QAV_SOURCE_DIR "/resources/data/QAVOIDER.txt") &&
                  texts_->LoadFile(QAV_SOURCE_DIR "/resources/data/QAVLANG.txt");
        makers_ = qavtest::LoopbackAddress(60);
        // The simulator's traps come to a socket of this test.
        traps_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(0x7F000001);
        socklen_t len = sizeof sa;
        ::bind(traps_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        ::getsockname(traps_, reinterpret_cast<sockaddr*>(&sa), &len);
        sim_ = new qavtest::PrinterSim;
        simStarted_ = sim_->Start({"--models", makers_, "--port", std::to_string(port_), "--trap-to",
                                   "127.0.0.1:" + std::to_string(ntohs(sa.sin_port))});
        if (!qavtest::HaveProgram("snmpsimd")) return;
        standard_ = qavtest::LoopbackAddress(90);
        snmpsim_ = new qavtest::SnmpSimAgent;
        snmpsimStarted_ = snmpsim_->Start(standard_, port_,
                                          {{"kestra", Recording("zebra-tlp2824plus.snmprec")},
                                           {"jam", Zebra("3", "c400")},
                                           {"offline", Zebra("4", "0600")},
                                           {"toner", Zebra("3", "3000")},
                                           {"other", Zebra("1", "0000")},
                                           {"hp", Recording("hp-color-laserjet-flow-mfp-m880.snmprec")},
                                           {"brother", Recording("brother-hl-5370dw.snmprec")},
                                           {"konica", Recording("konica-minolta-bizhub-c250i.snmprec")}});
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete snmpsim_;
        delete dir_;
        delete objects_;
        delete texts_;
        ::close(traps_);
    }
    void SetUp() override
    {
        ASSERT_TRUE(loaded_);
        ASSERT_TRUE(simStarted_) << sim_->Log();
    }
    void NeedSnmpsim()
    {
        if (!qavtest::HaveProgram("snmpsimd")) GTEST_SKIP() << "snmpsimd is not installed";
        ASSERT_TRUE(snmpsimStarted_) << snmpsim_->Log();
    }
    // The n-th printer of the simulator's models fleet.
    static std::string Maker(int n)
    {
        uint32_t a = Address(makers_);
        return qavplatform::AddressText(a + n);
    }
    // A link with its own communities file (snmpsim tells its recordings
    // apart by the community).
    std::unique_ptr<SnmpLink> Link(const std::string& address, const std::string& community = "kestra")
    {
        const std::string file = dir_->File("mgmt-" + community + ".INI");
        qavtest::WriteFile(file, "[Community]\nReadCommunityName=" + community + "\nWriteCommunityName=kestra\n");
        return std::make_unique<SnmpLink>(Address(address), *objects_, file);
    }
    DevicePage Page(const std::string& address, const std::string& community = "kestra", int view = -1)
    {
        auto link = Link(address, community);
        Printer printer(*link, *texts_, Address(address));
        printer.ReadMakerFlag();
        DevicePage page = printer.ReadDevicePage(view);
        connected_ = printer.State().connected;
        maker_ = printer.State().maker;
        return page;
    }
    ViewContent View(const std::string& address, const std::string& community, int view)
    {
        return Page(address, community, view).view;
    }
    static const std::string& T(int id) { return texts_->Get(id); }

    static inline int port_ = 0;
    static inline qavtest::TempDir* dir_ = nullptr;
    static inline qavres::ObjectTable* objects_ = nullptr;
    static inline qavres::StringTable* texts_ = nullptr;
    static inline bool loaded_ = false;
    static inline std::string makers_, standard_;
    static inline qavtest::PrinterSim* sim_ = nullptr;
    static inline qavtest::SnmpSimAgent* snmpsim_ = nullptr;
    static inline bool simStarted_ = false, snmpsimStarted_ = false;
    static inline int traps_ = -1;
    bool connected_ = false, maker_ = false;
};

// ------------------------------------------------------ standard printers

TEST_F(Peers, ZebraRecordingIsAnIdleStandardPrinter)
{
    NeedSnmpsim();
    const DevicePage page = Page(standard_);
    EXPECT_TRUE(connected_);
    EXPECT_FALSE(maker_);
    EXPECT_EQ(page.identity.name, "6NM1PAS_AB07");
    EXPECT_EQ(page.identity.model, "ZebraNet Wired PS");
    EXPECT_EQ(page.identity.location, "Booth 7");
    EXPECT_EQ(page.identity.port, standard_);
    EXPECT_EQ(page.identity.status, T(3102)); // hrPrinterStatus 3, error bytes 00 00
    EXPECT_EQ(page.status.symbol, 185);
    EXPECT_TRUE(page.status.indicators.empty());
    EXPECT_EQ(page.identity.serial, "");
    EXPECT_EQ(page.picture, 170);
    EXPECT_EQ(page.views.size(), 6u);
    // The memory table: six rows, allocation unit 1 byte.
    const ViewContent sizes = View(standard_, "kestra", 5);
    ASSERT_EQ(sizes.rows.size(), 6u);
    EXPECT_EQ(sizes.rows[0], (std::vector<std::string>{"Transport's Free Tx ECBs", "20.0 bytes", "0.0 bytes"}));
}

TEST_F(Peers, StandardDecodingOfOtherErrorBytes)
{
    NeedSnmpsim();
    struct Case {
        const char* community;
        int symbol, text;
        std::vector<int> indicators;
    };
    const Case cases[] = {
        {"jam", 189, 3113, {198}},       // C4: low paper, no paper, jammed
        {"offline", 184, 3114, {}},      // 06: jammed, then offline wins
        {"toner", 196, 3111, {199}},     // 30: no toner, low toner
        {"other", 188, 3100, {}},        // printer status "other"
        {"konica", 184, 3150, {200}},    // no printer status; service requested
    };
    for (const Case& c : cases) {
        const DevicePage page = Page(standard_, c.community);
        EXPECT_TRUE(connected_) << c.community;
        EXPECT_EQ(page.status.symbol, c.symbol) << c.community;
        EXPECT_EQ(page.identity.status, T(c.text)) << c.community;
        EXPECT_EQ(page.status.indicators, c.indicators) << c.community;
    }
}

TEST_F(Peers, SuppliesTableStopsAtTenRows)
{
    NeedSnmpsim();
    const ViewContent supplies = View(standard_, "hp", 0); // fifteen supplies recorded
    ASSERT_EQ(supplies.rows.size(), 10u);
    EXPECT_EQ(supplies.rows[0][0].rfind("Black Cartridge", 0), 0u);
    EXPECT_EQ(supplies.rows[0][1], "100");
    EXPECT_EQ(supplies.rows[0][2], T(5251));
    const ViewContent trays = View(standard_, "hp", 1);
    ASSERT_EQ(trays.rows.size(), 4u);
    EXPECT_EQ(trays.rows[0], (std::vector<std::string>{"Tray 1", T(5255)})); // level 0: empty
    EXPECT_EQ(trays.rows[3], (std::vector<std::string>{"Tray 4", T(5256)}));
}

TEST_F(Peers, LifeCountWithItsUnitAndTheMacAddress)
{
    NeedSnmpsim();
    const DevicePage page = Page(standard_, "brother", 3);
    EXPECT_EQ(page.identity.mac, "00:1B:A9:0B:A7:52"); // six raw bytes, a zero among them
    ASSERT_EQ(page.view.rows.size(), 1u);
    EXPECT_EQ(page.view.rows[0], (std::vector<std::string>{T(5111), "7792 impressions"}));
}

// ---------------------------------------------------------- maker printers

TEST_F(Peers, MakerPrinterInPaperJam)
{
    ASSERT_EQ(sim_->Command("status " + Maker(1) + " paper-jam"), "ok");
    ASSERT_EQ(sim_->Command("set " + Maker(1) + " head 1"), "ok");
    const DevicePage page = Page(Maker(1), "kestra", 0);
    sim_->Command("status " + Maker(1) + " online");
    sim_->Command("set " + Maker(1) + " head 0");
    EXPECT_TRUE(maker_);
    EXPECT_EQ(page.identity.name, "Shipping labeller JA");
    EXPECT_EQ(page.identity.model, "VORANTA QAV M-UH5W");
    EXPECT_EQ(page.identity.status, T(3007));
    EXPECT_EQ(page.status.symbol, 202);
    EXPECT_EQ(page.status.helpTopic, 2060);
    EXPECT_EQ(page.status.helpButton, HelpButton::kShown);
    EXPECT_EQ(page.status.indicators, (std::vector<int>{193}));
    EXPECT_EQ(page.panel, "PAPER JAM");
    EXPECT_EQ(page.picture, 213); // destination "JA"
    EXPECT_FALSE(page.identity.serial.empty());
    EXPECT_EQ(page.identity.mac.size(), 17u);
    EXPECT_EQ(page.identity.mac.rfind("02:80:92:", 0), 0u);
    ASSERT_FALSE(page.view.rows.empty());
    EXPECT_EQ(page.view.rows[0][0], T(5112));
}

TEST_F(Peers, EveryMakerStatusCodeDecodes)
{
    const std::string a = Maker(2);
    for (const MakerStatusRow& row : kMakerStatusTable) {
        ASSERT_EQ(sim_->Command("status " + a + " " + std::to_string(row.code)), "ok");
        const DevicePage page = Page(a);
        EXPECT_EQ(page.status.symbol, row.symbol) << row.code;
        EXPECT_EQ(page.status.textId, row.text) << row.code;
        EXPECT_EQ(page.status.helpTopic, row.help) << row.code;
        EXPECT_FALSE(page.panel.empty()) << row.code;
    }
    sim_->Command("status " + a + " online");
}

TEST_F(Peers, PicturesOfTheModelsFleet)
{
    // The fleet's order: M-UH3W, M-UH5W JA, M-UH5W, M-UG2W plastic and
    // metal, M-RA1K-P, M-RC5K, M-RC6K, M-PN1, MC111W, MD111 (MD131).
    const int pictures[] = {212, 213, 212, 168, 169, 221, 225, 238, 215, 230, 240};
    for (int i = 0; i < 11; ++i) EXPECT_EQ(Page(Maker(i)).picture, pictures[i]) << Maker(i);
}

TEST_F(Peers, MakerViewsReadEveryObject)
{
    // Information: 21 objects in two requests, the network program among
    // the last.
    const ViewContent info = View(Maker(0), "kestra", 2);
    bool network = false;
    for (const auto& row : info.rows) network |= row[0] == T(5280);
    EXPECT_TRUE(network);
    EXPECT_EQ(info.rows.back()[0], T(5204));
    EXPECT_EQ(View(Maker(0), "kestra", 1).rows.size(), 20u); // counters in tenths
    EXPECT_EQ(View(Maker(0), "kestra", 3).rows.size(), 19u); // sizes
    EXPECT_EQ(View(Maker(5), "kestra", 3).rows.size(), 12u); // the M-RA1 lacks seven
    EXPECT_EQ(View(Maker(0), "kestra", 4).rows.size(), 10u); // settings
    const ViewContent cards = View(Maker(6), "kestra", 0);
    ASSERT_FALSE(cards.rows.empty());
    EXPECT_NE(cards.rows[0][1].find(" items"), std::string::npos);
}

TEST_F(Peers, SilentPrinterReadsAsNoAnswer)
{
    ASSERT_EQ(sim_->Command("down " + Maker(10)), "ok");
    const DevicePage page = Page(Maker(10));
    sim_->Command("up " + Maker(10));
    EXPECT_FALSE(connected_);
    EXPECT_EQ(page.status.symbol, 184);
    EXPECT_EQ(page.identity.status, T(3150));
    EXPECT_EQ(page.picture, 0);
    EXPECT_EQ(page.identity.name, "");
}

// ------------------------------------------------ writes the simulator acts on

// The status code and panel a printer answers now.
std::pair<std::string, std::string> StatusOf(Printer& printer)
{
    std::string panel;
    printer.ReadStatus(&panel);
    return {printer.State().Value(obj::kStatusCode), panel};
}

TEST_F(Peers, RemoteKeysChangeThePrintersState)
{
    const std::string a = Maker(3);
    sim_->Command("status " + a + " online");
    sim_->Command("writes " + a + " clear");
    auto link = Link(a);
    Printer printer(*link, *texts_, Address(a));
    ASSERT_TRUE(printer.ReadMakerFlag());
    ASSERT_TRUE(printer.Read({{obj::kLifeCount, 65}}));
    const unsigned long labels = std::stoul(printer.State().Value(obj::kLifeCount));
    ASSERT_TRUE(SendKey(printer, Key::kFeed));
    ASSERT_TRUE(printer.Read({{obj::kLifeCount, 65}}));
    EXPECT_EQ(std::stoul(printer.State().Value(obj::kLifeCount)), labels + 1);
    ASSERT_TRUE(SendKey(printer, Key::kPause));
    EXPECT_EQ(StatusOf(printer), (std::pair<std::string, std::string>{"4", "PAUSE"}));
    ASSERT_TRUE(SendKey(printer, Key::kRestart));
    EXPECT_EQ(StatusOf(printer), (std::pair<std::string, std::string>{"0", "ONLINE"}));
    // A pause near the ribbon's end, and back.
    sim_->Command("status " + a + " ribbon-near-end");
    ASSERT_TRUE(SendKey(printer, Key::kPause));
    EXPECT_EQ(StatusOf(printer).first, "28");
    ASSERT_TRUE(SendKey(printer, Key::kRestart));
    EXPECT_EQ(StatusOf(printer).first, "27");
    EXPECT_EQ(sim_->Command("writes " + a), "20861 1\n20861 3\n20861 2\n20861 3\n20861 2\nok");
    sim_->Command("status " + a + " online");
}

TEST_F(Peers, ResetSilencesThePrinterThenItComesBackClean)
{
    const std::string a = Maker(4);
    // Longer than one read with its retry (2 s), so that a read fails.
    ASSERT_EQ(sim_->Command("set " + a + " reset-ms 2500"), "ok");
    sim_->Command("status " + a + " paper-jam");
    auto link = Link(a);
    Printer printer(*link, *texts_, Address(a));
    ASSERT_TRUE(printer.ReadMakerFlag());
    char drain[2048];
    while (::recv(traps_, drain, sizeof drain, MSG_DONTWAIT) > 0) {
    }
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(SendReset(printer));
    EXPECT_FALSE(printer.ReadMakerFlag()); // silent while it restarts
    // Back after the reset time, with the coldStart trap from its address.
    pollfd p{traps_, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2400));
    uint8_t buffer[2048];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n = ::recvfrom(traps_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
    ASSERT_GT(n, 0);
    EXPECT_EQ(ntohl(from.sin_addr.s_addr), Address(a));
    const auto trap = qavsim::Decode(buffer, static_cast<size_t>(n));
    ASSERT_TRUE(trap.has_value());
    EXPECT_EQ(trap->pduType, qavsim::kTrapV1);
    EXPECT_EQ(trap->genericTrap, 0); // coldStart
    ASSERT_TRUE(printer.ReadMakerFlag());
    EXPECT_EQ(StatusOf(printer), (std::pair<std::string, std::string>{"0", "ONLINE"})); // the jam is gone
}

TEST_F(Peers, JobPageWithoutTrailingBlanks)
{
    const std::string a = Maker(7);
    ASSERT_EQ(sim_->Command("set " + a + " object.20981 \"LABEL-42   \""), "ok");
    ASSERT_EQ(sim_->Command("set " + a + " object.20961 42"), "ok");
    ASSERT_EQ(sim_->Command("set " + a + " object.21001 \"j.baker  \""), "ok");
    auto link = Link(a);
    Printer printer(*link, *texts_, Address(a));
    ASSERT_TRUE(printer.ReadMakerFlag());
    const JobPage job = printer.ReadJobPage();
    ASSERT_TRUE(job.read);
    EXPECT_EQ(job.row[0], "42");
    EXPECT_EQ(job.row[1], "LABEL-42");
    EXPECT_EQ(job.row[4], "j.baker");
}

TEST_F(Peers, NetworkPageOfAMakerPrinter)
{
    const std::string a = Maker(8);
    auto link = Link(a);
    Printer printer(*link, *texts_, Address(a));
    ASSERT_TRUE(printer.ReadMakerFlag());
    const NetworkPage page = printer.ReadNetworkPage();
    EXPECT_EQ(page.interfaceType, "ethernet-csmacd(6) ");
    EXPECT_EQ(page.address, a);
    EXPECT_EQ(page.mask, "255.255.255.0");
    ASSERT_FALSE(page.rows.empty());
    EXPECT_EQ(page.rows[0][0], T(5614)); // no interface section for the maker's printers
    EXPECT_FALSE(page.rows[1][1].empty());
}

TEST_F(Peers, NetworkPageOfTheZebra)
{
    NeedSnmpsim();
    auto link = Link(standard_);
    Printer printer(*link, *texts_, Address(standard_));
    ASSERT_TRUE(printer.ReadMakerFlag());
    const NetworkPage page = printer.ReadNetworkPage();
    EXPECT_EQ(page.board, "LOOPBACK"); // the first interface
    EXPECT_EQ(page.interfaceType, "softwareLoopback(24) ");
    EXPECT_EQ(page.mac, "");
    EXPECT_EQ(page.address, standard_);
    EXPECT_EQ(page.mask, ""); // the recorded address table holds another address
    ASSERT_GE(page.rows.size(), 10u);
    EXPECT_EQ(page.rows[0][0], T(5605));
    EXPECT_EQ(page.rows[1], (std::vector<std::string>{T(5606), "0"}));
    EXPECT_EQ(page.rows[9], (std::vector<std::string>{"", ""}));
    EXPECT_EQ(page.rows[10][0], T(5614));
}

// ------------------------------------------------------------ qavctl status

TEST_F(Peers, QavctlStatusPrintsTheSameDecoding)
{
    NeedSnmpsim();
    ASSERT_EQ(sim_->Command("status " + Maker(3) + " paper-jam"), "ok");
    const std::string qavctl = QAV_BINARY_DIR "/bin/qavctl";
    const std::string silent = qavtest::LoopbackAddress(200);
    const std::string out = qavtest::RunCommand("QAV_DATA_DIR=" + dir_->Path() + " " + qavctl + " status " +
                                                Maker(3) + " " + standard_ + " " + silent + "; echo rc=$?");
    EXPECT_NE(out.find("  status      " + T(3007) + "\n  symbol      paper-jam\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  model       ZebraNet Wired PS\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  symbol      normal\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  panel       PAPER JAM\n"), std::string::npos) << out;
    EXPECT_NE(out.find(silent + "  (no answer)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("rc=1"), std::string::npos) << out; // one printer does not answer

    const std::string json = qavtest::RunCommand("QAV_DATA_DIR=" + dir_->Path() + " " + qavctl + " status --json " +
                                                 Maker(3) + " " + standard_ + " > " + dir_->File("s.json") +
                                                 "; echo rc=$?");
    sim_->Command("status " + Maker(3) + " online");
    EXPECT_NE(json.find("rc=0"), std::string::npos);
    const std::string check = qavtest::RunCommand(
        "/usr/bin/python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); "
        "print(d[0][\"symbol\"], d[0][\"indicators\"], d[0][\"help\"], d[1][\"status\"], len(d[0][\"views\"]), "
        "d[0][\"views\"][0][\"rows\"][0][1])' " +
        dir_->File("s.json"));
    // The first counter as the printer holds it (tenths of a km), read
    // with net-snmp's own tool.
    const std::string raw = qavtest::RunCommand("snmpget -v1 -c kestra -Oqv " + Maker(3) + ":" + std::to_string(port_) +
                                                " 1.3.6.1.4.1.32473.1.21421.0");
    const long tenths = std::strtol(raw.c_str(), nullptr, 10);
    ASSERT_GT(tenths, 0) << raw;
    const std::string km = std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " km";
    EXPECT_EQ(check, "paper-jam [] 2060 " + T(3102) + " 5 " + km + "\n") << qavtest::ReadFile(dir_->File("s.json"));
}

TEST_F(Peers, QavctlKeysAndPages)
{
    const std::string qavctl = "QAV_DATA_DIR=" + dir_->Path() + " " QAV_BINARY_DIR "/bin/qavctl";
    const std::string a = Maker(9), b = Maker(10);
    sim_->Command("status " + a + " online");
    sim_->Command("status " + b + " online");
    EXPECT_EQ(qavtest::RunCommand(qavctl + " key " + a + " " + b + " pause; echo rc=$?"),
              a + ": pause sent\n" + b + ": pause sent\nrc=0\n");
    EXPECT_EQ(Page(a).status.textId, 3003);
    EXPECT_EQ(Page(b).status.textId, 3003);
    // A reset is confirmed first: without a terminal only with --yes.
    const std::string refused =
        qavtest::RunCommand("(" + qavctl + " key " + a + " reset < /dev/null) 2>&1; echo rc=$?");
    EXPECT_NE(refused.find("rc=2"), std::string::npos) << refused;
    EXPECT_EQ(sim_->Command("writes " + a).find("20841"), std::string::npos);
    // Another maker's printer has no remote keys.
    if (snmpsimStarted_) {
        const std::string other = qavtest::RunCommand("(" + qavctl + " key " + standard_ + " feed) 2>&1; echo rc=$?");
        EXPECT_NE(other.find("refused"), std::string::npos) << other;
        EXPECT_NE(other.find("rc=1"), std::string::npos) << other;
    }
    sim_->Command("set " + a + " object.20981 \"LABEL-7  \"");
    const std::string job = qavtest::RunCommand(qavctl + " status --page job " + a);
    EXPECT_NE(job.find("  " + T(5501)), std::string::npos) << job;
    EXPECT_NE(job.find(" LABEL-7\n"), std::string::npos) << job;
    const std::string net = qavtest::RunCommand(qavctl + " status --page network --json " + a + " > " +
                                                dir_->File("n.json") + "; echo rc=$?");
    EXPECT_EQ(net, "rc=0\n");
    const std::string check = qavtest::RunCommand(
        "/usr/bin/python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); "
        "print(repr(d[0][\"interfaceType\"]), d[0][\"mask\"], d[0][\"rows\"][0][0])' " +
        dir_->File("n.json"));
    EXPECT_EQ(check, "'ethernet-csmacd(6) ' 255.255.255.0 " + T(5614) + "\n");
    sim_->Command("status " + a + " online");
    sim_->Command("status " + b + " online");
}

} // namespace

// The system setting tool against real peers: the printer simulator (the
// maker's printers with their parameters and ranges), net-snmp's snmpd (a
// strict agent) and the command-line tools of net-snmp to read back what
// was written. One simulated fleet serves the whole binary.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
#include <thread>

#include "SimFleet.h"
#include "TestPeers.h"
#include "nconfig/Apply.h"
#include "nconfig/PrinterRuns.h"
#include "nconfig/StartUp.h"
#include "nconfig/Texts.h"

using namespace nconfig;

namespace {

constexpr int kFleetSize = 20;

class Printers : public nconfigtest::FleetSuite {
protected:
    static void SetUpTestSuite()
    {
        std::string fleet;
        for (int i = 1; i <= kFleetSize; ++i)
            fleet += "[printer]\naddress = " + At(i) + "\nmodel = QAV M-UG2\nname = Labeller " + std::to_string(i) +
                     "\nlocation = Hall A\n";
        fleet += "[printer]\naddress = " + At(21) + "\nmodel = QAV MC-1200\nname = Pallets\n";
        fleet += "[printer]\naddress = " + At(22) + "\nmodel = QAV M-UG2\nstatus = receiving\n";        // class 5
        fleet += "[printer]\naddress = " + At(23) + "\nmodel = QAV M-UG2\nstatus = ribbon-near-end\n"; // class 27
        fleet += "[printer]\naddress = " + At(24) + "\nmodel = QAV M-UG2\nname = Mover\n";
        StartFleet(fleet);
    }
    // The printer's pages of mode 3, read.
    static SettingsDocument Read(const std::string& address, int mode = kModeSystemFromList)
    {
        const PageBook book = LoadPages(resources_.language, resources_.objects, 20000);
        SettingsDocument doc(book, resources_.language, mode, false);
        doc.SetAddress(address);
        auto link = Links()();
        EXPECT_EQ(link->Open("SNMP", address), 0);
        EXPECT_EQ(ReadDocument(*link, doc), 0);
        link->Close();
        return doc;
    }
    static int Page(const SettingsDocument& doc, const std::string& title)
    {
        for (size_t i = 0; i < doc.Pages().size(); ++i) {
            if (doc.Pages()[i].Title() == title) return static_cast<int>(i);
        }
        ADD_FAILURE() << "no page " << title;
        return 0;
    }
    static int Param(const SettingsDocument& doc, int page, const std::string& key)
    {
        const auto& params = doc.Pages()[page].Parameters();
        for (size_t i = 0; i < params.size(); ++i) {
            if (params[i].key == key) return static_cast<int>(i);
        }
        ADD_FAILURE() << "no parameter " << key;
        return 0;
    }
    static std::string Value(const SettingsDocument& doc, const std::string& title, const std::string& key)
    {
        const int p = Page(doc, title);
        return doc.Pages()[p].Value(Param(doc, p, key));
    }
    static void Edit(SettingsDocument& doc, const std::string& title, const std::string& key, const std::string& text)
    {
        const int p = Page(doc, title);
        const EditResult r = doc.Edit(p, Param(doc, p, key), text);
        EXPECT_TRUE(r == EditResult::kChanged) << key << " = " << text;
    }
};

TEST_F(Printers, TheCheckBeforeTheWindow)
{
    StartPlan plan = PrepareStart("3 SNMP " + At(1), Links(), resources_.systemFile);
    ASSERT_EQ(plan.message, 0);
    EXPECT_EQ(plan.line.model, "M-UG2");
    EXPECT_EQ(plan.line.version, "V1.02");
    EXPECT_EQ(plan.base, 20000);
    EXPECT_EQ(PrepareStart("3 SNMP " + At(21), Links(), resources_.systemFile).base, 30000);
    EXPECT_EQ(PrepareStart("3 SNMP " + At(22), Links(), resources_.systemFile).message, kMsgUnsupported);
    EXPECT_EQ(PrepareStart("3 SNMP " + At(23), Links(), resources_.systemFile).message, 0);
    EXPECT_EQ(PrepareStart("3 SNMP " + At(250), Links(), resources_.systemFile).message, kMsgCheckFailed);
}

TEST_F(Printers, PagesAreReadBlockByBlock)
{
    const SettingsDocument doc = Read(At(2));
    EXPECT_EQ(Value(doc, "Identity", "201.0"), "Labeller 2");
    EXPECT_EQ(Value(doc, "Identity", "221.0"), "Hall A");
    EXPECT_EQ(Value(doc, "Quality", "20721.0"), "5");
    EXPECT_EQ(Value(doc, "Quality", "20701.0"), "Normal [2]");
    EXPECT_EQ(Value(doc, "Print", "25361.0"), "4.00 in");
    EXPECT_EQ(Value(doc, "Print", "25501.0"), "+0 h") << "block 1 of the page of 23 parameters";
    EXPECT_EQ(Value(doc, "Network", "22701.0"), At(2));
    EXPECT_EQ(Value(doc, "Print", "25561.0"), "0 dots");
}

TEST_F(Printers, EditApplyAndReadBackThroughSnmp)
{
    SettingsDocument doc = Read(At(3));
    Edit(doc, "Quality", "20721.0", "9");
    Edit(doc, "Print", "25361.0", "12.345");
    Edit(doc, "Print", "25521.0", "ab12");
    Edit(doc, "Print", "25061.0", "-0.5");
    Edit(doc, "Identity", "201.0", "Renamed labeller");
    auto link = Links()();
    const SingleApply s = ApplyAndReread(*link, doc, "SNMP", At(3), "M-UG2", "V1.02", 0);
    ASSERT_TRUE(s.result.AllWritten()) << FailureReason(s.result, doc);
    EXPECT_EQ(SnmpGet(At(3), 20721), "9");
    EXPECT_EQ(SnmpGet(At(3), 25361), "1234");
    EXPECT_EQ(SnmpGet(At(3), 25521), "\"AB12FFFF\"");
    EXPECT_EQ(SnmpGet(At(3), 25061), "-5");
    EXPECT_EQ(SnmpGet(At(3), 20841), "2") << "the printer was told to take its settings";
    EXPECT_FALSE(doc.HasChanges());
    EXPECT_EQ(Value(doc, "Print", "25361.0"), "12.34 in") << "read again after the apply";
    EXPECT_EQ(Value(doc, "Identity", "201.0"), "Renamed labeller");
}

TEST_F(Printers, APrinterRefusesAValueItsRangeDoesNotHold)
{
    SettingsDocument doc = Read(At(4));
    Edit(doc, "Print", "20661.0", "900"); // the pages allow up to 1000 dots, the firmware 832
    Edit(doc, "Print", "20641.0", "700");
    Edit(doc, "Quality", "20721.0", "3");
    auto link = Links()();
    const SingleApply s = ApplyAndReread(*link, doc, "SNMP", At(4), "M-UG2", "V1.02", 0);
    EXPECT_FALSE(s.result.AllWritten());
    EXPECT_EQ(FailureReason(s.result, doc), "page Print, 20661.0: refused by the printer (badValue)");
    EXPECT_EQ(SnmpGet(At(4), 20661), "812");
    EXPECT_EQ(SnmpGet(At(4), 20641), "812") << "the page stopped at its first failure";
    EXPECT_EQ(SnmpGet(At(4), 20721), "3") << "the next page was still written";
    EXPECT_EQ(doc.Pages()[Page(doc, "Print")].Changes().Size(), 2u) << "kept for the next apply";
}

TEST_F(Printers, TheOwnAddressMovesThePrinterAndTheWindowFollows)
{
    const std::string to = At(60);
    SettingsDocument doc = Read(At(24));
    Edit(doc, "Network", "22701.0", to);
    Edit(doc, "Identity", "221.0", "Moved hall");
    EXPECT_EQ(doc.NewAddress(), to);
    auto link = Links()();
    const SingleApply s = ApplyAndReread(*link, doc, "SNMP", At(24), "M-UG2", "V1.02", 1000);
    ASSERT_TRUE(s.result.AllWritten()) << FailureReason(s.result, doc);
    EXPECT_TRUE(s.addressChanged);
    EXPECT_EQ(s.address, to);
    EXPECT_EQ(s.readCode, 0) << "read again from the new address";
    EXPECT_EQ(Value(doc, "Network", "22701.0"), to);
    EXPECT_EQ(Value(doc, "Identity", "221.0"), "Moved hall");
    EXPECT_NE(sim_->Command("list").find(to), std::string::npos);
}

TEST_F(Printers, AListOfTwentyWithTwoSilent)
{
    sim_->Command("down " + At(7));
    sim_->Command("down " + At(15));
    std::vector<ListLine> lines;
    for (int i = 1; i <= kFleetSize; ++i) lines.push_back({"SNMP", At(i), "", ""});
    const PageBook book = LoadPages(resources_.language, resources_.objects, 20000);
    SettingsDocument doc(book, resources_.language, kModeList, false);
    Edit(doc, "Quality", "20721.0", "8");
    Edit(doc, "Quality", "20701.0", "Fast");
    const std::vector<LineResult> results = ApplyListPass(Links(), lines, doc, "M-UG2", kDefaultJobs);
    std::vector<std::string> remaining;
    for (size_t i = 0; i < results.size(); ++i) {
        if (results[i].written) continue;
        remaining.push_back(lines[i].address);
        EXPECT_EQ(results[i].stateText, kTextNotWritten);
        EXPECT_FALSE(results[i].answered);
        EXPECT_EQ(results[i].reason, "no answer (SNMP time-out: no answer)");
    }
    EXPECT_EQ(remaining, (std::vector<std::string>{At(7), At(15)}));
    EXPECT_EQ(SnmpGet(At(1), 20721), "8");
    EXPECT_EQ(SnmpGet(At(20), 20701), "3");
    // They come back: another pass over the two that remained writes them.
    sim_->Command("up " + At(7));
    sim_->Command("up " + At(15));
    const std::vector<ListLine> again = {{"SNMP", At(7), "", ""}, {"SNMP", At(15), "", ""}};
    for (const LineResult& r : ApplyListPass(Links(), again, doc, "M-UG2", kDefaultJobs)) EXPECT_TRUE(r.written);
    EXPECT_EQ(SnmpGet(At(15), 20721), "8");
}

TEST_F(Printers, QavctlExportsAndApplies)
{
    const std::string qavctl = QAV_BINARY_DIR "/bin/qavctl";
    const std::string file = dir_->File("printer9.qcd");
    sim_->Command("set all object.20721 5");
    ASSERT_EQ(std::system((qavctl + " params export " + At(9) + " " + file + " >/dev/null").c_str()), 0);
    std::string data = qavtest::ReadFile(file);
    ASSERT_NE(data.find("20721.0=5\r\n"), std::string::npos) << data;
    // Another darkness and an invalid lock code, applied to two printers, a
    // printer of another model and a silent one.
    const size_t at = data.find("20721.0=5");
    data.replace(at, 9, "20721.0=7");
    const size_t lock = data.find("25521.0=");
    data.replace(lock, data.find("\r\n", lock) - lock, "25521.0=xyz");
    qavtest::WriteFile(file, data);
    const std::string out = qavtest::RunCommand(qavctl + " params apply --json " + file + " " + At(10) + " " + At(11) +
                                                " " + At(21) + " " + At(251) + "; echo rc=$?");
    EXPECT_NE(out.find("{\"address\": \"" + At(10) + "\", \"result\": \"written\""), std::string::npos) << out;
    EXPECT_NE(out.find("{\"key\": \"20721.0\", \"value\": \"7\"}"), std::string::npos) << out;
    EXPECT_NE(out.find("{\"key\": \"25521.0\", \"value\": \"xyz\", \"why\": \"invalid value\"}"), std::string::npos);
    EXPECT_NE(out.find("the file is for model M-UG2, the printer is MC-1200"), std::string::npos) << out;
    EXPECT_NE(out.find("\"reason\": \"no answer (SNMP time-out: no answer)\""), std::string::npos) << out;
    EXPECT_NE(out.find("rc=1"), std::string::npos) << "a failed printer fails the command";
    EXPECT_EQ(SnmpGet(At(11), 20721), "7");
    EXPECT_EQ(SnmpGet(At(21), 20721), "5") << "another model gets nothing";
    // Applied again: nothing left to write.
    const std::string again = qavtest::RunCommand(qavctl + " params apply " + file + " " + At(10) + "; echo rc=$?");
    EXPECT_NE(again.find(At(10) + "  unchanged"), std::string::npos) << again;
    EXPECT_NE(again.find("rc=0"), std::string::npos);
}

TEST_F(Printers, ConcurrentAndOneAfterAnotherAgree)
{
    const std::string file = dir_->File("same.qcd");
    sim_->Command("set all object.20721 5");
    ASSERT_TRUE(ExportPrinter(resources_, Links(), At(12), file).ok);
    std::string data = qavtest::ReadFile(file);
    data.replace(data.find("20721.0=5"), 9, "20721.0=6");
    std::vector<std::string> addresses;
    for (int i = 12; i <= 14; ++i) addresses.push_back(At(i));
    addresses.push_back(At(252));
    addresses.push_back(At(21));
    const auto one = ApplyConfigData(resources_, Links(), data, addresses, 1);
    sim_->Command("set all object.20721 5");
    for (int i = 13; i <= 14; ++i) sim_->Command("set " + At(i) + " name \"Labeller " + std::to_string(i) + "\"");
    const auto many = ApplyConfigData(resources_, Links(), data, addresses, kDefaultJobs);
    ASSERT_EQ(one.size(), many.size());
    for (size_t i = 0; i < one.size(); ++i) {
        EXPECT_EQ(one[i].address, many[i].address);
        EXPECT_EQ(one[i].state, many[i].state) << one[i].address;
        EXPECT_EQ(one[i].reason, many[i].reason);
        EXPECT_EQ(one[i].written, many[i].written);
    }
    EXPECT_EQ(one[0].state, ConfigRun::kWritten);
    EXPECT_EQ(one[3].state, ConfigRun::kFailed);
}

// net-snmp's own agent: a GET needs the instance, and get-next of
// "instance - 1" finds the standard objects of the default pages.
TEST(StrictAgent, DefaultPagesOfAStandardAgent)
{
    if (!qavtest::HaveProgram("snmpd")) GTEST_SKIP() << "snmpd is not installed";
    const int port = qavtest::PrepareAgentPort();
    const std::string address = qavtest::LoopbackAddress(90);
    qavtest::SnmpdAgent agent;
    ASSERT_TRUE(agent.Start(address, port)) << agent.Log();
    qavres::StringTable language;
    qavres::ObjectTable objects;
    ASSERT_TRUE(language.LoadFile(QAV_SOURCE_DIR "/resources/data/NCreseng.txt"));
    ASSERT_TRUE(objects.LoadFile(QAV_SOURCE_DIR "/resources/data/QAVOIDER.txt"));
    const PageBook book = LoadPages(language, objects, kDefaultBase);
    SettingsDocument doc(book, language, kModeSystemFromList, false);
    const LinkFactory links = SessionLinks(objects, "kestra", "kestra");
    auto link = links();
    ASSERT_EQ(link->Open("SNMP", address), 0);
    ASSERT_EQ(ReadDocument(*link, doc), 0);
    link->Close();
    const PageModel& identity = doc.Pages()[0];
    ASSERT_EQ(identity.Title(), "Identity");
    const std::string sysName = qavtest::RunCommand("snmpget -v1 -c kestra -Oqv " + address + ":" +
                                                    std::to_string(port) + " 1.3.6.1.2.1.1.5.0");
    EXPECT_EQ("\"" + identity.Value(0) + "\"\n", sysName) << "sysName through get-next of 1.3.6.1.2.1.1.5";
    EXPECT_EQ(identity.Value(3), "@unknown@") << "the maker's administrator is not there";
    ASSERT_EQ(doc.Edit(0, 1, "Server room 2"), EditResult::kChanged);
    ApplyOptions options;
    options.check = false; // no printer class on a standard agent
    const ApplyResult r = ApplyToPrinter(*link, "SNMP", address, doc, options);
    EXPECT_TRUE(r.AllWritten()) << FailureReason(r, doc);
    EXPECT_EQ(qavtest::RunCommand("snmpget -v1 -c kestra -Oqv " + address + ":" + std::to_string(port) +
                                  " 1.3.6.1.2.1.1.6.0"),
              "\"Server room 2\"\n");
}

// A printer that speaks only printer commands over TCP/IP: "{GOID;" and
// "{SOID;" with their records, answered from a table of objects.
class CommandPrinter {
public:
    explicit CommandPrinter(const std::string& address)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
        socklen_t len = sizeof sa;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(listener_, 4) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
            return;
        port_ = ntohs(sa.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~CommandPrinter()
    {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        ::close(listener_);
    }
    int Port() const { return port_; }
    // oid -> {type, value}
    std::map<std::string, std::pair<int, std::string>> objects;
    std::atomic<int> gets{0};

private:
    static int Digits(const std::string& s, size_t& pos, int count)
    {
        const int v = std::atoi(s.substr(pos, count).c_str());
        pos += count;
        return v;
    }
    static std::string Number(int v, int digits)
    {
        char b[16];
        std::snprintf(b, sizeof b, "%0*d", digits, v);
        return b;
    }
    std::string Answer(const std::string& command)
    {
        const bool set = command.compare(0, 6, "{SOID;") == 0;
        if (!set) ++gets;
        size_t pos = 6;
        std::string reply = "\x01\x02" "E" + command.substr(6, 3);
        pos += 3;
        while (pos + 3 <= command.size() && command.compare(pos, 2, "|}") != 0) {
            const int oidLen = Digits(command, pos, 3);
            const std::string oid = command.substr(pos, oidLen);
            pos += oidLen + 2;
            const int type = Digits(command, pos, 3);
            const int valueLen = Digits(command, pos, 3);
            const std::string value = command.substr(pos, valueLen);
            pos += valueLen;
            auto it = objects.find(oid);
            reply += Number(static_cast<int>(oid.size()), 3) + oid;
            if (it == objects.end()) {
                reply += "02005000"; // noSuchName
                continue;
            }
            if (set) it->second = {type, value};
            reply += "00" + Number(it->second.first, 3) + Number(static_cast<int>(it->second.second.size()), 3) +
                     it->second.second;
        }
        return reply + "\x03\x04\r\n";
    }
    void Serve()
    {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int peer = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (peer < 0) continue;
            std::string pending;
            char buf[4096];
            for (;;) {
                pollfd q{peer, POLLIN, 0};
                if (stop_ || ::poll(&q, 1, 50) < 0) break;
                if (!(q.revents & (POLLIN | POLLHUP))) continue;
                const ssize_t n = ::read(peer, buf, sizeof buf);
                if (n <= 0) break;
                pending.append(buf, static_cast<size_t>(n));
                const size_t end = pending.find("|}");
                if (end == std::string::npos) continue;
                const std::string reply = Answer(pending.substr(0, end + 2));
                pending.erase(0, end + 2);
                if (::write(peer, reply.data(), reply.size()) < 0) break;
            }
            ::close(peer);
        }
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Over TCP/IP the printer commands know no get-next: each block is one get
// of the objects themselves.
TEST(PrinterCommands, ChecksReadsAndWritesOverTcpIp)
{
    const std::string address = qavtest::LoopbackAddress(96);
    CommandPrinter printer(address);
    ASSERT_NE(printer.Port(), 0);
    const std::string maker = "1.3.6.1.4.1.32473.1.";
    printer.objects[maker + "20901.0"] = {2, "0"};
    printer.objects[maker + "20101.0"] = {4, "M-UG2"};
    printer.objects[maker + "23781.0"] = {4, "V1.02"};
    printer.objects[maker + "20721.0"] = {2, "5"};
    printer.objects[maker + "20701.0"] = {2, "3"};
    printer.objects[maker + "25381.0"] = {2, "120"};
    printer.objects[maker + "20841.0"] = {2, "0"};
    qavres::StringTable language;
    qavres::ObjectTable objects;
    ASSERT_TRUE(language.LoadFile(QAV_SOURCE_DIR "/resources/data/NCreseng.txt"));
    ASSERT_TRUE(objects.LoadFile(QAV_SOURCE_DIR "/resources/data/QAVOIDER.txt"));
    const LinkFactory links = SessionLinks(objects, "kestra", "kestra");
    const std::string where = address + ":" + std::to_string(printer.Port());

    const StartPlan plan = [&] {
        qavtest::TempDir data;
        qavtest::WriteFile(data.File("QNASys.ini"), qavtest::ReadFile(QAV_SOURCE_DIR "/settings/initial/QNASys.ini"));
        return PrepareStart("3 TCP/IP " + where, links, data.File("QNASys.ini"));
    }();
    ASSERT_EQ(plan.message, 0);
    EXPECT_EQ(plan.line.model, "M-UG2");
    EXPECT_EQ(plan.base, 20000);

    SettingsDocument doc(LoadPages(language, objects, plan.base), language, kModeList, false);
    auto link = links();
    ASSERT_EQ(link->Open("TCP/IP", where), 0);
    const int before = printer.gets;
    ASSERT_EQ(ReadDocument(*link, doc), 0);
    link->Close();
    EXPECT_EQ(printer.gets - before, 1) << "the Quality page: one block, one get";
    const PageModel& quality = doc.Pages()[0];
    EXPECT_EQ(quality.Value(0), "Fast [3]");
    EXPECT_EQ(quality.Value(1), "5");
    EXPECT_EQ(quality.Value(2), "1.20");
    EXPECT_EQ(quality.Value(3), "@unknown@") << "an object the printer does not have";

    ASSERT_EQ(doc.Edit(0, 1, "7"), EditResult::kChanged);
    const ApplyResult r = ApplyToPrinter(*link, "TCP/IP", where, doc, ApplyOptions{});
    EXPECT_TRUE(r.AllWritten()) << FailureReason(r, doc);
    EXPECT_EQ(printer.objects[maker + "20721.0"].second, "7");
    EXPECT_EQ(printer.objects[maker + "20841.0"].second, "2");
}

} // namespace

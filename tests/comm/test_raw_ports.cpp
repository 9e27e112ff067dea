// Raw transfer and printer-command object access end to end: sessions on
// TCP/IP, on a serial line (a pseudo-terminal pair), on a USB device (a
// pseudo-terminal) and on a parallel port (a FIFO), against the printer
// simulator, which keeps every byte it receives in a capture file. Where a
// printer must misbehave in ways the simulator does not (a stalled reader,
// a busy port) the peer is a plain socket, FIFO or terminal of the test.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <set>
#include <thread>

#include "TestPeers.h"
#include "ncomm/CQBPEvent.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const char kNameOid[] = "1.3.6.1.2.1.1.5.0";
const char kDhcpOid[] = "1.3.6.1.4.1.32473.1.22761.0"; // writable Integer of the maker

// Print data without braces, so that nothing in it reads as a command.
std::string PrintData(size_t length)
{
    std::string data(length, 'x');
    uint32_t x = 12345;
    for (char& c : data) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
        if (c == '{') c = '(';
    }
    return data;
}

double ThreadCpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_THREAD, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class RawPorts : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        snmpPort_ = qavtest::PrepareAgentPort();
        dir_ = new qavtest::TempDir;
        address_ = qavtest::LoopbackAddress(11);
        qavtest::WriteFile(dir_->File("fleet.txt"), "trap-to = 127.0.0.1:" + std::to_string(17000 + ::getpid() % 500) +
                                                        "\n[printer]\naddress = " + address_ +
                                                        "\nmodel = QAV M-UG2\nname = Raw one\n"
                                                        "com = " + dir_->File("ttyS0") + "\nusb = " +
                                                        dir_->File("usb0") + "\nlpt = " + dir_->File("lp0") +
                                                        "\ncapture = " + dir_->File("capture.bin") + "\n");
        sim_ = new qavtest::PrinterSim;
        started_ = sim_->Start({"--fleet", dir_->File("fleet.txt"), "--port", std::to_string(snmpPort_)});
        CQBPTrans::SetComDevicePrefix(dir_->File("ttyS"));
        ::setenv("QAV_LPT_DEVICE_PREFIX", dir_->File("lp").c_str(), 1);
    }
    static void TearDownTestSuite()
    {
        CQBPTrans::SetComDevicePrefix("");
        ::unsetenv("QAV_LPT_DEVICE_PREFIX");
        delete sim_;
        delete dir_;
    }
    void SetUp() override { ASSERT_TRUE(started_) << sim_->Log(); }
    void TearDown() override { Fault("none"); }

    static void Fault(const std::string& setting)
    {
        ASSERT_EQ(sim_->Command("fault " + address_ + " " + setting), "ok") << setting;
    }
    static size_t CaptureSize()
    {
        struct stat st{};
        return ::stat(dir_->File("capture.bin").c_str(), &st) == 0 ? static_cast<size_t>(st.st_size) : 0;
    }
    // What the printer received from `from` on, once it holds `length` bytes
    // (waiting up to 10 s for the simulator to take them in).
    static std::string CapturedSince(size_t from, size_t length)
    {
        const auto deadline = Clock::now() + milliseconds(10000);
        while (CaptureSize() < from + length && Clock::now() < deadline) std::this_thread::sleep_for(milliseconds(10));
        return qavtest::ReadFile(dir_->File("capture.bin")).substr(from);
    }

    enum Port { kTcp, kCom, kUsb, kLpt };
    static const char* PortName(Port p)
    {
        static const char* const kNames[] = {"TCP/IP", "COM1", "USB", "LPT1"};
        return kNames[p];
    }
    static int Open(CQBPTrans& t, Port p)
    {
        switch (p) {
        case kTcp: return t.Open("TCP/IP", address_ + ":9100");
        case kCom: return t.Open("COM1", "19200,8,N,1");
        case kUsb: return t.Open("USB", dir_->File("usb0"));
        default: return t.Open("LPT1", "");
        }
    }
    static CQBPVb Get(const char* oid)
    {
        CQBPVb list;
        list.Add(oid, 5, "");
        return list;
    }

    static inline qavtest::TempDir* dir_ = nullptr;
    static inline qavtest::PrinterSim* sim_ = nullptr;
    static inline std::string address_;
    static inline int snmpPort_ = 0;
    static inline bool started_ = false;
};

TEST_F(RawPorts, UsbPortOpensTheAddressAsTheDevicePath)
{
    int rc;
    CQBPTrans t(rc, 1);
    ASSERT_EQ(t.Open("USB", dir_->File("usb0")), 0);
    EXPECT_EQ(t.GetKind(), CQBPTrans::kUsb);
    t.Close();
    EXPECT_EQ(t.Open("USB", dir_->File("no-such-device")), QBP_OPEN_FAILED);
    EXPECT_EQ(QBPGetLastError(), ENOENT);
}

TEST_F(RawPorts, CommandBytesAndRoundTripsOnEveryPort)
{
    for (Port p : {kTcp, kCom, kUsb}) {
        SCOPED_TRACE(PortName(p));
        int rc;
        CQBPTrans t(rc, 1);
        ASSERT_EQ(Open(t, p), 0);
        size_t mark = CaptureSize();
        CQBPVb result;
        ASSERT_EQ(t.GetObject(Get(kNameOid), result), 0);
        const std::string get = std::string("{GOID;001017") + kNameOid + "00005000|}";
        EXPECT_EQ(CapturedSince(mark, get.size()), get);
        ASSERT_EQ(result.GetSize(), 1);
        EXPECT_EQ(result.OidAt(0), kNameOid);
        EXPECT_EQ(result.GetType(0), 4);
        EXPECT_EQ(result.ValueAt(0), "Raw one");

        mark = CaptureSize();
        CQBPVb set;
        set.Add(kDhcpOid, 2, 1); // DHCP on (the printer takes 0 or 1)
        ASSERT_EQ(t.SetObject(set, result), 0);
        const std::string sent = std::string("{SOID;002027") + kDhcpOid + "00002001" + "1|}";
        EXPECT_EQ(CapturedSince(mark, sent.size()), sent);
        ASSERT_EQ(result.GetSize(), 1);
        EXPECT_EQ(result.GetType(0), 2);
        EXPECT_EQ(result.ValueAt(0), "1");

        // The same object over SNMP.
        CQBPTrans snmp(rc, 1);
        ASSERT_EQ(snmp.Open("SNMP", address_), 0);
        ASSERT_EQ(snmp.GetObject(Get(kDhcpOid), result), 0);
        EXPECT_EQ(result.ValueAt(0), "1");
        set.Remove();
        set.Add(kDhcpOid, 2, 0);
        ASSERT_EQ(snmp.SetObject(set, result), 0);
        ASSERT_EQ(t.GetObject(Get(kDhcpOid), result), 0);
        EXPECT_EQ(result.ValueAt(0), "0");
    }
}

TEST_F(RawPorts, RefusedBindingsKeepTheirStatus)
{
    int rc;
    CQBPTrans t(rc, 1);
    ASSERT_EQ(Open(t, kTcp), 0);
    CQBPVb result;
    // Writable name first, read-only description second: each on its own.
    CQBPVb set;
    set.Add(kNameOid, 4, "Raw one");
    set.Add("1.3.6.1.2.1.1.1.0", 4, "x");
    ASSERT_EQ(t.SetObject(set, result), 0);
    ASSERT_EQ(result.GetSize(), 2);
    EXPECT_EQ(result.GetType(0), 4);
    EXPECT_EQ(result.GetType(1), -2); // no such name (not writable)
}

TEST_F(RawPorts, ReplyFaultsGiveTheirCodes)
{
    struct Case {
        Port port;
        const char* fault;
        int result;
        int type; // of the binding when the result is 0
    };
    const Case cases[] = {
        {kTcp, "badseq count=1", QBP_READ_FAILED, 0},          // sequence 002 to command 001
        {kTcp, "generr count=1", 0, -5},                       // status 05
        {kTcp, "split on=object ms=400 count=1", QBP_READ_FAILED, 0},
        {kCom, "split on=object ms=400 count=1", QBP_READ_FAILED, 0},
        {kUsb, "split on=object ms=400 count=1", QBP_READ_FAILED, 0},
        {kTcp, "garbage count=1", QBP_READ_FAILED, 0},
        {kUsb, "noise count=1", QBP_READ_FAILED, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(PortName(c.port)) + " " + c.fault);
        int rc;
        CQBPTrans t(rc, 1);
        ASSERT_EQ(Open(t, c.port), 0);
        Fault(c.fault);
        CQBPVb result;
        QBPSetLastError(0);
        EXPECT_EQ(t.GetObject(Get(kNameOid), result), c.result);
        if (c.result != 0) {
            EXPECT_EQ(QBPGetLastError(), c.result);
        } else {
            ASSERT_EQ(result.GetSize(), 1);
            EXPECT_EQ(result.GetType(0), c.type);
        }
        // The rest of a split reply is read and dropped before the next case.
        if (std::strncmp(c.fault, "split", 5) == 0 && c.port != kTcp) {
            std::this_thread::sleep_for(milliseconds(450));
            char drain[256];
            int got = 0;
            t.Receive(drain, sizeof drain, got);
        }
    }
}

TEST_F(RawPorts, ParallelPortTakesWritesOnly)
{
    int rc;
    CQBPTrans t(rc, 1);
    ASSERT_EQ(Open(t, kLpt), 0);
    CQBPVb set, result;
    set.Add(kNameOid, 4, "Written on LPT");
    // The printer takes the write; its reply cannot come back.
    EXPECT_EQ(t.SetObject(set, result), QBP_READ_FAILED);
    EXPECT_EQ(t.GetObject(Get(kNameOid), result), QBP_NOT_AVAILABLE);
    CQBPTrans snmp(rc, 1);
    ASSERT_EQ(snmp.Open("SNMP", address_), 0);
    ASSERT_EQ(snmp.GetObject(Get(kNameOid), result), 0);
    EXPECT_EQ(result.ValueAt(0), "Written on LPT");
    set.Remove();
    set.Add(kNameOid, 4, "Raw one");
    ASSERT_EQ(snmp.SetObject(set, result), 0);
}

TEST_F(RawPorts, BackgroundSendOnComGoesInKilobyteChunksAndIsFlushed)
{
    int rc;
    CQBPTrans t(rc, 1);
    ASSERT_EQ(Open(t, kCom), 0);
    const std::string data = PrintData(10000);
    const size_t mark = CaptureSize();
    CQBPEvent done;
    ASSERT_EQ(t.Send(data.data(), static_cast<int>(data.size()), &done), 0);
    std::set<int> seen;
    while (!done.IsSet()) seen.insert(t.GetSentBytes());
    EXPECT_EQ(t.GetSendStatus(), 2);
    EXPECT_EQ(t.GetSentBytes(), 10000);
    // Every figure between the chunks is a whole number of 1024-byte chunks:
    // 1024, 2048, ..., 9216, then the last 784 bytes.
    for (int n : seen) EXPECT_TRUE(n % 1024 == 0 || n == 10000) << n;
    int queued = -1;
    unsigned long returned = 0;
    ASSERT_EQ(t.DeviceIoControl(TIOCOUTQ, nullptr, 0, &queued, sizeof queued, &returned), 0);
    EXPECT_EQ(queued, 0); // flushed before the event
    EXPECT_EQ(CapturedSince(mark, data.size()), data);
}

TEST_F(RawPorts, ObjectAccessDuringABackgroundSendIsRefused)
{
    int rc;
    CQBPTrans t(rc, 1);
    ASSERT_EQ(Open(t, kTcp), 0);
    const std::string data = PrintData(4 << 20);
    const size_t mark = CaptureSize();
    CQBPEvent done;
    ASSERT_EQ(t.Send(data.data(), static_cast<int>(data.size()), &done), 0);
    CQBPVb result;
    QBPSetLastError(0);
    EXPECT_EQ(t.GetObject(Get(kNameOid), result), QBP_SEND_RUNNING);
    EXPECT_EQ(QBPGetLastError(), QBP_SEND_RUNNING);
    CQBPVb set;
    set.Add(kNameOid, 4, "intruder");
    EXPECT_EQ(t.SetObject(set, result), QBP_SEND_RUNNING);
    EXPECT_EQ(t.GetSendStatus(), 1);
    ASSERT_TRUE(done.Wait(30000));
    EXPECT_EQ(t.GetSendStatus(), 2);
    EXPECT_EQ(t.GetSentBytes(), static_cast<int>(data.size()));
    const std::string got = CapturedSince(mark, data.size());
    EXPECT_EQ(got.size(), data.size());
    EXPECT_TRUE(got == data) << "the printer received other bytes than the file";
}

TEST_F(RawPorts, ReceiveTimesOutThenSeesThePrinterClose)
{
    int rc;
    CQBPTrans t(rc, 1);
    ASSERT_EQ(Open(t, kTcp), 0);
    char buf[64];
    int received = 42;
    QBPSetLastError(0);
    const auto start = Clock::now();
    EXPECT_EQ(t.Receive(buf, sizeof buf, received), 0);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, milliseconds(2900));
    EXPECT_LT(waited, milliseconds(4500));
    EXPECT_EQ(received, 42);
    EXPECT_EQ(QBPGetLastError(), QBP_RECV_TIMEOUT);

    Fault("hangup on=object count=1");
    const std::string get = std::string("{GOID;001017") + kNameOid + "00005000|}";
    ASSERT_EQ(t.Send(get.data(), static_cast<int>(get.size()), nullptr), 0);
    EXPECT_EQ(t.Receive(buf, sizeof buf, received), 0);
    EXPECT_EQ(received, 0);
    EXPECT_EQ(QBPGetLastError(), QBP_PEER_CLOSED);
}

TEST_F(RawPorts, DeviceIoControlReportsTheCountHandedBack)
{
    int rc;
    CQBPTrans t(rc, 1);
    ASSERT_EQ(Open(t, kCom), 0);
    unsigned char out[64];
    unsigned long returned = 999;
    // TIOCGEXCL reads an int into a 64-byte buffer: 4 bytes come back.
    ASSERT_EQ(t.DeviceIoControl(TIOCGEXCL, nullptr, 0, out, sizeof out, &returned), 0);
    EXPECT_EQ(returned, sizeof(int));
    returned = 999;
    ASSERT_EQ(t.DeviceIoControl(FIONREAD, nullptr, 0, out, sizeof out, &returned), 0);
    EXPECT_EQ(returned, sizeof(int));
    // A buffer too small for the request is refused, not overrun.
    returned = 999;
    QBPSetLastError(0);
    EXPECT_EQ(t.DeviceIoControl(TIOCGEXCL, nullptr, 0, out, 2, &returned), QBP_IOCTL_FAILED);
    EXPECT_EQ(returned, 0u);
    EXPECT_NE(QBPGetLastError(), 0);
    CQBPTrans tcp(rc, 1);
    ASSERT_EQ(Open(tcp, kTcp), 0);
    EXPECT_EQ(tcp.DeviceIoControl(TIOCGEXCL, nullptr, 0, out, sizeof out, &returned), QBP_NOT_AVAILABLE);
}

// qavctl over the raw ports: the same bindings and output as over SNMP.
TEST_F(RawPorts, QavctlReadsAndWritesOnEveryPort)
{
    const std::string qavctl = std::string(QAV_BINARY_DIR) + "/bin/qavctl";
    const std::string env = "QAV_COM_DEVICE_PREFIX=" + dir_->File("ttyS") + " ";
    auto run = [&](const std::string& args) { return qavtest::RunCommand(env + qavctl + " " + args + "; echo rc=$?", true); };
    const std::string overSnmp = run("get " + address_ + " 201");
    EXPECT_EQ(overSnmp, "1.3.6.1.2.1.1.5.0 = String: Raw one\nrc=0\n");
    EXPECT_EQ(run("get --port TCP/IP " + address_ + ":9100 201"), overSnmp);
    EXPECT_EQ(run("get --port COM1 19200,8,N,1 201"), overSnmp);
    EXPECT_EQ(run("get --port USB " + dir_->File("usb0") + " 201"), overSnmp);

    EXPECT_EQ(run("set --port TCP/IP " + address_ + ":9100 201 - Renamed"),
              "1.3.6.1.2.1.1.5.0 = String: Renamed\nrc=0\n");
    EXPECT_EQ(run("get " + address_ + " 201"), "1.3.6.1.2.1.1.5.0 = String: Renamed\nrc=0\n");
    EXPECT_EQ(run("set --port USB " + dir_->File("usb0") + " 201 - 'Raw one'"),
              "1.3.6.1.2.1.1.5.0 = String: Raw one\nrc=0\n");

    // Addresses that do not fit the port are usage errors.
    EXPECT_NE(run("get --port TCP/IP " + address_ + " 201").find("rc=2"), std::string::npos);
    EXPECT_NE(run("get --port LPT1 " + address_ + " 201").find("rc=2"), std::string::npos);
    EXPECT_NE(run("get --port FAX " + address_ + " 201").find("rc=2"), std::string::npos);
}

TEST_F(RawPorts, QavctlSendsAFileAndPrintsTheReply)
{
    const std::string qavctl = std::string(QAV_BINARY_DIR) + "/bin/qavctl";
    const std::string job = PrintData(100000);
    qavtest::WriteFile(dir_->File("job.bin"), job);
    size_t mark = CaptureSize();
    EXPECT_EQ(qavtest::RunCommand(qavctl + " send --reply-seconds 0 " + address_ + " " + dir_->File("job.bin") +
                                  "; echo rc=$?"),
              "rc=0\n");
    EXPECT_TRUE(CapturedSince(mark, job.size()) == job);

    // A command file: the printer's answer is printed.
    qavtest::WriteFile(dir_->File("get.txt"), std::string("{GOID;001017") + kNameOid + "00005000|}");
    const std::string out = qavtest::RunCommand("QAV_COM_DEVICE_PREFIX=" + dir_->File("ttyS") + " " + qavctl +
                                                " send --port COM1 --reply-seconds 2 19200,8,N,1 " +
                                                dir_->File("get.txt") + "; echo rc=$?",
                                                true);
    EXPECT_EQ(out, "\\x01\\x02E001017" + std::string(kNameOid) + "00004007Raw one\\x03\\x04\\x0D\\x0A\nrc=0\n");
    mark = CaptureSize();
    EXPECT_EQ(qavtest::RunCommand("QAV_LPT_DEVICE_PREFIX=" + dir_->File("lp") + " " + qavctl + " send --port LPT1 - " +
                                  dir_->File("job.bin") + "; echo rc=$?"),
              "rc=0\n");
    EXPECT_TRUE(CapturedSince(mark, job.size()) == job);
}

TEST(BindingList, ViewsOutsideTheListAreEmpty)
{
    CQBPVb list;
    list.Add(kNameOid, 4, "x");
    EXPECT_EQ(list.OidAt(0), kNameOid);
    EXPECT_EQ(list.OidAt(1), "");
    EXPECT_EQ(list.ValueAt(-1), "");
    EXPECT_EQ(list.ValueAt(20), "");
}

// A TCP peer of the test that takes a connection and reads only when told:
// its small receive buffer makes the sender wait.
class SlowPeer {
public:
    SlowPeer()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int small = 4096;
        ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        ::inet_pton(AF_INET, qavtest::LoopbackAddress(12).c_str(), &sa.sin_addr);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        ::listen(listener_, 4);
        socklen_t len = sizeof sa;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&sa), &len);
        address_ = qavtest::LoopbackAddress(12) + ":" + std::to_string(ntohs(sa.sin_port));
    }
    ~SlowPeer()
    {
        if (conn_ >= 0) ::close(conn_);
        ::close(listener_);
    }
    bool Accept()
    {
        if (conn_ >= 0) ::close(conn_);
        conn_ = ::accept(listener_, nullptr, nullptr);
        return conn_ >= 0;
    }
    // Reads `total` bytes in small pieces with pauses between them.
    size_t ReadSlowly(size_t total)
    {
        size_t got = 0;
        char buf[8192];
        while (got < total) {
            const ssize_t n = ::recv(conn_, buf, sizeof buf, 0);
            if (n <= 0) break;
            got += static_cast<size_t>(n);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return got;
    }
    const std::string& Address() const { return address_; }
    int conn_ = -1;

private:
    int listener_ = -1;
    std::string address_;
};

TEST(RawTransfer, BackgroundProgressNeverGoesBack)
{
    SlowPeer peer;
    int rc;
    CQBPTrans t(rc, 1);
    ASSERT_EQ(t.Open("TCP/IP", peer.Address()), 0);
    ASSERT_TRUE(peer.Accept());
    const std::string data = PrintData(2 << 20);
    CQBPEvent done;
    ASSERT_EQ(t.Send(data.data(), static_cast<int>(data.size()), &done), 0);
    size_t read = 0;
    std::thread reader([&] { read = peer.ReadSlowly(data.size()); });
    int last = 0, backwards = 0, samples = 0;
    while (!done.IsSet()) {
        const int now = t.GetSentBytes();
        if (now < last) ++backwards;
        last = now;
        ++samples;
    }
    reader.join();
    EXPECT_EQ(backwards, 0) << "of " << samples << " samples";
    EXPECT_EQ(t.GetSendStatus(), 2);
    EXPECT_EQ(t.GetSentBytes(), static_cast<int>(data.size()));
    EXPECT_EQ(read, data.size());
}

TEST(RawTransfer, CloseEndsAStalledBackgroundSendAtOnce)
{
    SlowPeer peer;
    int rc;
    CQBPTrans t(rc, 1);
    ASSERT_EQ(t.Open("TCP/IP", peer.Address()), 0);
    ASSERT_TRUE(peer.Accept());
    const std::string data = PrintData(16 << 20);
    CQBPEvent done;
    ASSERT_EQ(t.Send(data.data(), static_cast<int>(data.size()), &done), 0);
    // Wait until the peer's buffers are full and the sender waits.
    int before = -1;
    while (t.GetSentBytes() != before) {
        before = t.GetSentBytes();
        std::this_thread::sleep_for(milliseconds(300));
    }
    ASSERT_LT(before, static_cast<int>(data.size()));
    const auto start = Clock::now();
    EXPECT_EQ(t.Close(), 0);
    EXPECT_LT(Clock::now() - start, milliseconds(500));
    EXPECT_FALSE(done.IsSet()); // ended, not completed or failed
    EXPECT_EQ(t.GetSendStatus(), 0);
    // The session is free for the next connection and send.
    ASSERT_EQ(t.Open("TCP/IP", peer.Address()), 0);
    ASSERT_TRUE(peer.Accept());
    EXPECT_EQ(t.Send("abc", 3, nullptr), 0);
    char buf[4];
    EXPECT_EQ(::recv(peer.conn_, buf, sizeof buf, 0), 3);
}

// A printer that holds the data back for a while (busy, out of paper): the
// write waits for it without spinning, and nothing is lost.
TEST(RawTransfer, BusyPrinterPortsWaitWithoutSpinning)
{
    struct Case {
        const char* name;
        bool fifo; // LPT on a FIFO, else USB on a pseudo-terminal
        size_t length; // more than the device holds while nobody reads
    };
    for (const Case c : {Case{"LPT", true, 300000}, Case{"USB", false, 40000}}) {
        SCOPED_TRACE(c.name);
        qavtest::TempDir dir;
        int readFd = -1, master = -1, slave = -1;
        std::string device;
        if (c.fifo) {
            device = dir.File("lp0");
            ASSERT_EQ(::mkfifo(device.c_str(), 0600), 0);
            readFd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK);
        } else {
            char name[128];
            ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
            termios tio{};
            ::tcgetattr(slave, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(slave, TCSANOW, &tio);
            device = name;
            readFd = master;
        }
        ASSERT_GE(readFd, 0);
        int rc;
        CQBPTrans t(rc, 1);
        if (c.fifo) {
            ::setenv("QAV_LPT_DEVICE_PREFIX", dir.File("lp").c_str(), 1);
            ASSERT_EQ(t.Open("LPT1", ""), 0);
            ::unsetenv("QAV_LPT_DEVICE_PREFIX");
        } else {
            ASSERT_EQ(t.Open("USB", device), 0);
        }
        const std::string data = PrintData(c.length);
        std::string got;
        std::thread printer([&] {
            std::this_thread::sleep_for(milliseconds(1500)); // busy
            const int flags = ::fcntl(readFd, F_GETFL);
            ::fcntl(readFd, F_SETFL, flags & ~O_NONBLOCK);
            char buf[65536];
            while (got.size() < data.size()) {
                const ssize_t n = ::read(readFd, buf, sizeof buf);
                if (n <= 0) break;
                got.append(buf, static_cast<size_t>(n));
            }
        });
        const double cpuBefore = ThreadCpuSeconds();
        const auto start = Clock::now();
        EXPECT_EQ(t.Send(data.data(), static_cast<int>(data.size()), nullptr), 0);
        EXPECT_GE(Clock::now() - start, milliseconds(1400));
        EXPECT_LT(ThreadCpuSeconds() - cpuBefore, 0.3);
        printer.join();
        EXPECT_TRUE(got == data);
        t.Close();
        ::close(readFd);
        if (slave >= 0) ::close(slave);
    }
}

} // namespace

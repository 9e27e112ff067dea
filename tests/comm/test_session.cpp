// Sessions: construction, the port-name grammar of Open, Close, the
// community and printer-type settings and the thread's last error.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "TestPeers.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"

namespace {

TEST(Session, ConstructionChecksTheVersion)
{
    int rc = 99;
    CQBPTrans v1(rc, 1);
    EXPECT_EQ(rc, 0);
    CQBPTrans v2(rc, 2);
    EXPECT_EQ(rc, 0);
    CQBPTrans v3(rc, 3);
    EXPECT_EQ(rc, QBP_INVALID_ARGUMENT);
    EXPECT_STREQ(v1.GetReadCommunity(), "kestra");
    EXPECT_STREQ(v1.GetWriteCommunity(), "kestra");
    EXPECT_EQ(v1.GetKind(), 0);
}

TEST(Session, SnmpOpenSendsNothingAndRefusesASecondOpen)
{
    int rc;
    CQBPTrans t(rc, 2);
    EXPECT_EQ(t.Open(0, "192.168.10.5"), 0);
    EXPECT_EQ(t.GetKind(), CQBPTrans::kSnmp);
    EXPECT_STREQ(t.GetAddress(), "192.168.10.5");
    QBPSetLastError(0);
    EXPECT_EQ(t.Open(0, "192.168.10.5"), QBP_ALREADY_OPEN);
    EXPECT_EQ(QBPGetLastError(), QBP_ALREADY_OPEN);
    EXPECT_EQ(t.Close(), 0);
    EXPECT_EQ(t.GetKind(), 0);
    EXPECT_EQ(t.Open(std::string("SNMP"), std::string("10.0.0.1")), 0); // a closed session opens again
}

TEST(Session, SnmpAddressLengthIsChecked)
{
    int rc;
    CQBPTrans t(rc, 1);
    EXPECT_EQ(t.Open("SNMP", "1.2.3"), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(QBPGetLastError(), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(t.Open("SNMP", "1234567890123456"), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(t.Open("SNMP", ""), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(t.Open("SNMP", nullptr), QBP_INVALID_ARGUMENT);
    EXPECT_FALSE(t.IsOpen());
    EXPECT_EQ(t.Open("SNMP", "255.255.255.255"), 0);
}

TEST(Session, PortNumbersOutsideTheTable)
{
    int rc;
    CQBPTrans t(rc, 1);
    for (int n : {5, -1, 1000}) {
        QBPSetLastError(0);
        EXPECT_EQ(t.Open(n, "1.2.3.4.5"), QBP_INVALID_ARGUMENT);
        EXPECT_EQ(QBPGetLastError(), QBP_INVALID_ARGUMENT);
    }
}

TEST(Session, ClosedSessionRefusesObjectWork)
{
    int rc;
    CQBPTrans t(rc, 1);
    EXPECT_EQ(t.Close(), 0);
    CQBPVb req, res;
    req.Add("1.3.6.1.2.1.1.5.0", 5, "");
    EXPECT_EQ(t.GetObject(req, res), QBP_NOT_OPEN);
    EXPECT_EQ(QBPGetLastError(), QBP_NOT_OPEN);
    EXPECT_EQ(t.GetNextObject(req, res), QBP_NOT_OPEN);
    EXPECT_EQ(t.SetObject(req, res), QBP_NOT_OPEN);
    char buf[8];
    int got = 0;
    EXPECT_EQ(t.Send(buf, 8, nullptr), QBP_NOT_OPEN);
    EXPECT_EQ(t.Receive(buf, 8, got), QBP_NOT_OPEN);
    EXPECT_EQ(t.DeviceIoControl(0, nullptr, 0, nullptr, 0, nullptr), QBP_NOT_OPEN);
}

TEST(Session, SnmpSessionRefusesRawTransfer)
{
    int rc;
    CQBPTrans t(rc, 1);
    ASSERT_EQ(t.Open(0, "127.0.0.1"), 0);
    char buf[8];
    int got = 0;
    EXPECT_EQ(t.Send(buf, 8, nullptr), QBP_NOT_AVAILABLE);
    EXPECT_EQ(t.Receive(buf, 8, got), QBP_NOT_AVAILABLE);
    EXPECT_EQ(t.DeviceIoControl(0, nullptr, 0, nullptr, 0, nullptr), QBP_NOT_AVAILABLE);
}

TEST(Session, CommunitiesAreCheckedOneByOne)
{
    int rc;
    CQBPTrans t(rc, 1);
    EXPECT_EQ(t.SetCommunity(nullptr, "w1"), 0);
    EXPECT_STREQ(t.GetReadCommunity(), "kestra");
    EXPECT_STREQ(t.GetWriteCommunity(), "w1");
    EXPECT_EQ(t.SetCommunity("", ""), 0);
    EXPECT_STREQ(t.GetWriteCommunity(), "w1");

    const std::string c80(80, 'a'), c81(81, 'b');
    EXPECT_EQ(t.SetCommunity(c80, c80), 0);
    EXPECT_EQ(t.GetReadCommunity(), c80);
    QBPSetLastError(0);
    EXPECT_EQ(t.SetCommunity(c81.c_str(), "w2"), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(QBPGetLastError(), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(t.GetReadCommunity(), c80);
    EXPECT_STREQ(t.GetWriteCommunity(), c80.c_str()); // nothing changed
    // A good read community is kept when the write community is refused.
    EXPECT_EQ(t.SetCommunity("r3", c81.c_str()), QBP_INVALID_ARGUMENT);
    EXPECT_STREQ(t.GetReadCommunity(), "r3");
}

TEST(Session, PrinterTypeReturnsThePreviousOne)
{
    int rc;
    CQBPTrans t(rc, 1);
    EXPECT_EQ(t.SetPrinterType(2), 0);
    EXPECT_EQ(t.SetPrinterType(3), 2);
    EXPECT_EQ(t.SetPrinterType(4), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(t.SetPrinterType(-1), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(t.SetPrinterType(0), 3);
}

TEST(Session, LowerCaseTcpIpIsAUsbPath)
{
    int rc;
    CQBPTrans t(rc, 1);
    QBPSetLastError(0);
    EXPECT_EQ(t.Open("tcp/ip", "127.0.0.1:9100"), QBP_OPEN_FAILED);
    EXPECT_EQ(QBPGetLastError(), ENOENT); // the system error behind it
    EXPECT_EQ(t.GetLastSystemError(), ENOENT);
}

TEST(Session, LptNumbersAndMissingDevice)
{
    int rc;
    CQBPTrans t(rc, 1);
    EXPECT_EQ(t.Open("LPT0", ""), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(t.Open("LPT10", ""), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(t.Open("LPTx", ""), QBP_INVALID_ARGUMENT);
    qavtest::TempDir dir;
    ::setenv("QAV_LPT_DEVICE_PREFIX", dir.File("lp").c_str(), 1);
    EXPECT_EQ(t.Open("LPT1", ""), QBP_OPEN_FAILED);
    // A writable stand-in for /dev/lp0: opened write-only, so reads fail.
    qavtest::WriteFile(dir.File("lp0"), "");
    ASSERT_EQ(t.Open("LPT1", ""), 0);
    EXPECT_EQ(t.GetKind(), CQBPTrans::kLpt);
    char buf[4];
    int got = 7;
    QBPSetLastError(0);
    EXPECT_EQ(t.Receive(buf, 4, got), 0);
    EXPECT_EQ(got, 0);
    EXPECT_NE(QBPGetLastError(), 0);
    CQBPVb req, res;
    req.Add("1.3.6.1.2.1.1.5.0", 5, "");
    EXPECT_EQ(t.GetObject(req, res), QBP_NOT_AVAILABLE);
    EXPECT_EQ(t.GetNextObject(req, res), QBP_NOT_AVAILABLE);
    ::unsetenv("QAV_LPT_DEVICE_PREFIX");
}

// A pseudo-terminal stands in for a serial port: COMn opens <prefix><n-1>.
class SerialPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[128];
        ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        ASSERT_EQ(::symlink(name, dir_.File("ttyS2").c_str()), 0);
        ASSERT_EQ(::symlink(name, dir_.File("ttyS11").c_str()), 0);
        CQBPTrans::SetComDevicePrefix(dir_.File("ttyS"));
    }
    void TearDown() override
    {
        CQBPTrans::SetComDevicePrefix("");
        ::close(master_);
        ::close(slave_);
    }
    qavtest::TempDir dir_;
    int master_ = -1, slave_ = -1;
};

TEST_F(SerialPort, LineParametersAreChecked)
{
    int rc;
    CQBPTrans t(rc, 1);
    EXPECT_EQ(t.Open("COM3", "9600,8,n,1"), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(t.Open("COM3", "1200,8,N,1"), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(t.Open("COM3", "9600,6,N,1"), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(t.Open("COM3", "9600,8,N,3"), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(t.Open("COM3", "garbage"), QBP_INVALID_ARGUMENT);
    EXPECT_FALSE(t.IsOpen());
    EXPECT_EQ(t.Open("COM0", "9600,8,N,1"), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(t.Open("COM257", "9600,8,N,1"), QBP_INVALID_ARGUMENT);
    EXPECT_EQ(t.Open("COM4", "9600,8,N,1"), QBP_OPEN_FAILED); // no such device
}

TEST_F(SerialPort, OpensAndSetsTheLine)
{
    int rc;
    CQBPTrans t(rc, 1);
    ASSERT_EQ(t.Open("COM3", "115200,8,E,2"), 0);
    EXPECT_EQ(t.GetKind(), CQBPTrans::kCom);
    termios tio{};
    ASSERT_EQ(::tcgetattr(slave_, &tio), 0);
    // A pseudo-terminal keeps the speed and the input flags; it has no
    // parity or character size of its own to show.
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B115200));
    EXPECT_TRUE(tio.c_iflag & IXON);
    EXPECT_TRUE(tio.c_iflag & IXOFF);
    EXPECT_EQ(tio.c_cc[VSTART], 0x11);
    EXPECT_EQ(tio.c_cc[VSTOP], 0x13);
    EXPECT_EQ(t.SetCommunity("a", "b"), QBP_NOT_AVAILABLE);
    EXPECT_EQ(t.Close(), 0);
    // COM12 and higher: the same naming.
    ASSERT_EQ(t.Open("COM12", "9600,7,O,1"), 0);
    ASSERT_EQ(::tcgetattr(slave_, &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B9600));
}

TEST_F(SerialPort, ReceiveWaitsForTheFirstByteThenTheInterval)
{
    int rc;
    CQBPTrans t(rc, 1);
    ASSERT_EQ(t.Open("COM3", "9600,8,N,1"), 0);
    char buf[64] = {};
    int got = -5;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(t.Receive(buf, sizeof buf, got), 0);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(got, 0);
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    ASSERT_EQ(::write(master_, "hello", 5), 5);
    EXPECT_EQ(t.Receive(buf, sizeof buf, got), 0);
    EXPECT_EQ(got, 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
}

// A TCP listener on loopback.
class TcpPeer {
public:
    TcpPeer()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        ::inet_pton(AF_INET, "127.0.0.1", &sa.sin_addr);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        ::listen(listener_, 4);
        socklen_t len = sizeof sa;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&sa), &len);
        port_ = ntohs(sa.sin_port);
    }
    ~TcpPeer()
    {
        if (conn_ >= 0) ::close(conn_);
        ::close(listener_);
    }
    int Accept() { return conn_ = ::accept(listener_, nullptr, nullptr); }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    int port_ = 0, listener_ = -1, conn_ = -1;
};

TEST(TcpSession, ConnectsSendsAndReceives)
{
    TcpPeer peer;
    int rc;
    CQBPTrans t(rc, 1);
    ASSERT_EQ(t.Open("TCP/IP", peer.Address().c_str()), 0);
    ASSERT_GE(peer.Accept(), 0);
    EXPECT_EQ(t.GetKind(), CQBPTrans::kTcpIp);
    EXPECT_EQ(t.Send("abc", 3, nullptr), 0);
    char buf[8] = {};
    ASSERT_EQ(::recv(peer.conn_, buf, sizeof buf, 0), 3);
    EXPECT_EQ(std::string(buf, 3), "abc");
    ASSERT_EQ(::send(peer.conn_, "xyz", 3, 0), 3);
    int got = 0;
    EXPECT_EQ(t.Receive(buf, sizeof buf, got), 0);
    EXPECT_EQ(got, 3);
    CQBPVb req, res;
    EXPECT_EQ(t.GetNextObject(req, res), QBP_NOT_AVAILABLE);
    EXPECT_EQ(t.SetCommunity("a", "b"), QBP_NOT_AVAILABLE);
    EXPECT_EQ(t.DeviceIoControl(0, nullptr, 0, nullptr, 0, nullptr), QBP_NOT_AVAILABLE);
}

TEST(TcpSession, ReceiveTimeOutAndPeerClose)
{
    TcpPeer peer;
    int rc;
    CQBPTrans t(rc, 1);
    ASSERT_EQ(t.Open("TCP/IP", peer.Address()), 0);
    ASSERT_GE(peer.Accept(), 0);
    char buf[8];
    int got = 42;
    QBPSetLastError(0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(t.Receive(buf, sizeof buf, got), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2900));
    EXPECT_EQ(got, 42);
    EXPECT_EQ(QBPGetLastError(), QBP_RECV_TIMEOUT);
    ::close(peer.conn_);
    peer.conn_ = -1;
    EXPECT_EQ(t.Receive(buf, sizeof buf, got), 0);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(QBPGetLastError(), QBP_PEER_CLOSED);
}

TEST(TcpSession, RefusedConnectionGivesTheSocketError)
{
    TcpPeer peer;
    const std::string address = peer.Address();
    ::close(peer.listener_);
    peer.listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int rc;
    CQBPTrans t(rc, 1);
    EXPECT_EQ(t.Open("TCP/IP", address.c_str()), QBP_CONNECT_FAILED);
    EXPECT_EQ(QBPGetLastError(), ECONNREFUSED);
    EXPECT_EQ(t.Open("TCP/IP", "not-an-address:9100"), QBP_CONNECT_FAILED);
}

TEST(TcpSession, BackgroundSendSignalsItsEventAndRefusesASecond)
{
    TcpPeer peer;
    int rc;
    CQBPTrans t(rc, 1);
    ASSERT_EQ(t.Open("TCP/IP", peer.Address()), 0);
    ASSERT_GE(peer.Accept(), 0);
    std::string data(200000, 'q');
    CQBPEvent done;
    ASSERT_EQ(t.Send(data.data(), static_cast<int>(data.size()), &done), 0);
    EXPECT_EQ(t.Send("x", 1, nullptr), QBP_SEND_RUNNING);
    size_t total = 0;
    char buf[65536];
    while (total < data.size()) {
        ssize_t n = ::recv(peer.conn_, buf, sizeof buf, 0);
        ASSERT_GT(n, 0);
        total += static_cast<size_t>(n);
    }
    ASSERT_TRUE(done.Wait(10000));
    EXPECT_EQ(t.GetSendStatus(), 2);
    EXPECT_EQ(t.GetSentBytes(), static_cast<int>(data.size()));
    EXPECT_EQ(total, data.size());
}

} // namespace

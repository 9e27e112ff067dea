// The simulator's raw ports from outside: downloads over TCP, a USB and a
// serial pseudo-terminal and an LPT FIFO, with plain sockets and terminals
// on the host side, net-snmp's snmpget reading the versions, and a UDP
// socket of the test as the trap receiver.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "LoadFiles.h"
#include "TestPeers.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using namespace simtest;

const size_t kBlock = 262144;

// The value of a 13-byte reply frame, -1 when it is none.
int ReplyValue(const std::string& frame)
{
    if (frame.size() != 13 || frame[0] != 0x01 || frame[1] != 0x02 || frame[4] != '2' || frame[9] != 0x03 ||
        frame[10] != 0x04 || frame[11] != '\r' || frame[12] != '\n')
        return -1;
    return (frame[2] - '0') * 10 + (frame[3] - '0');
}

// Reads exactly n bytes within timeoutMs (fewer on time-out or end).
std::string ReadBytes(int fd, size_t n, int timeoutMs)
{
    std::string out;
    const auto deadline = Clock::now() + milliseconds(timeoutMs);
    while (out.size() < n) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char buf[64];
        const ssize_t r = ::read(fd, buf, std::min(sizeof buf, n - out.size()));
        if (r <= 0) break;
        out.append(buf, static_cast<size_t>(r));
    }
    return out;
}

bool WriteAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t w = ::write(fd, data.data() + done, data.size() - done);
        if (w < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 1000);
            continue;
        }
        if (w <= 0) return false;
        done += static_cast<size_t>(w);
    }
    return true;
}

class SimRawPorts : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        snmpPort_ = qavtest::PrepareAgentPort();
        address_ = qavtest::LoopbackAddress(21);
        dir_ = new qavtest::TempDir;
        trapSocket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        ::inet_pton(AF_INET, qavtest::LoopbackAddress(200).c_str(), &sa.sin_addr);
        ::bind(trapSocket_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        socklen_t len = sizeof sa;
        ::getsockname(trapSocket_, reinterpret_cast<sockaddr*>(&sa), &len);
        qavtest::WriteFile(dir_->File("fleet.txt"),
                           "trap-to = " + qavtest::LoopbackAddress(200) + ":" + std::to_string(ntohs(sa.sin_port)) +
                               "\nrestart-ms = 400\n[printer]\naddress = " + address_ +
                               "\nmodel = QAV M-UG2\nobject.20121 = V1.0\ncom = " + dir_->File("ttyS0") +
                               "\nusb = auto\nlpt = " + dir_->File("lp0") + "\n");
        sim_ = new qavtest::PrinterSim;
        started_ = sim_->Start({"--fleet", dir_->File("fleet.txt"), "--port", std::to_string(snmpPort_)});
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete dir_;
        ::close(trapSocket_);
    }
    void SetUp() override
    {
        ASSERT_TRUE(started_) << sim_->Log();
        char drop[2048];
        while (::recv(trapSocket_, drop, sizeof drop, MSG_DONTWAIT) > 0) {
        }
    }
    void TearDown() override { sim_->Command("fault " + address_ + " none"); }

    static int ConnectRaw()
    {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(9100);
        ::inet_pton(AF_INET, address_.c_str(), &sa.sin_addr);
        if (::connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
            ::close(s);
            return -1;
        }
        return s;
    }
    static int OpenTerminal(const std::string& path)
    {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0) {
            termios tio{};
            ::tcgetattr(fd, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
        return fd;
    }
    // The path the simulator made for "usb = auto", from the ports command.
    static std::string UsbPath()
    {
        const std::string ports = sim_->Command("ports " + address_);
        const size_t at = ports.find("usb ");
        if (at == std::string::npos) return std::string();
        return ports.substr(at + 4, ports.find_first_of(" \n", at + 4) - at - 4);
    }
    static std::string SnmpGet(const std::string& oid)
    {
        return qavtest::RunCommand("snmpget -Oqv -t 1 -r 0 -v1 -c kestra " + address_ + ":" + std::to_string(snmpPort_) +
                                       " " + oid,
                                   true);
    }
    // Waits for a trap; returns its sender, or "" after timeoutMs.
    static std::string WaitTrap(int timeoutMs, std::string* datagram = nullptr)
    {
        pollfd p{trapSocket_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return std::string();
        char buf[2048];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = ::recvfrom(trapSocket_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n <= 0) return std::string();
        if (datagram) datagram->assign(buf, static_cast<size_t>(n));
        char text[INET_ADDRSTRLEN];
        ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        return text;
    }

    static inline qavtest::TempDir* dir_ = nullptr;
    static inline qavtest::PrinterSim* sim_ = nullptr;
    static inline std::string address_;
    static inline int snmpPort_ = 0, trapSocket_ = -1;
    static inline bool started_ = false;
};

TEST_F(SimRawPorts, PortsArePrinted)
{
    const std::string ports = sim_->Command("ports " + address_);
    EXPECT_NE(ports.find("raw 9100"), std::string::npos) << ports;
    EXPECT_NE(ports.find("com " + dir_->File("ttyS0") + " -> /dev/pts/"), std::string::npos) << ports;
    EXPECT_EQ(UsbPath().rfind("/dev/pts/", 0), 0u) << ports;
    EXPECT_NE(ports.find("lpt " + dir_->File("lp0")), std::string::npos) << ports;
}

TEST_F(SimRawPorts, WholeDownloadOverTcpRestartsThePrinter)
{
    ASSERT_EQ(sim_->Command("restart-ms " + address_ + " 1500"), "ok");
    const LoadFile f = MakeLoadFile(300 * 1024, "MAIN", "V2.3A");
    const int s = ConnectRaw();
    ASSERT_GE(s, 0);
    ASSERT_TRUE(WriteAll(s, StartCommand(f)));
    EXPECT_EQ(ReplyValue(ReadBytes(s, 13, 2000)), 52);
    ASSERT_TRUE(WriteAll(s, "{LP;" + f.bytes + "|}"));
    EXPECT_EQ(ReplyValue(ReadBytes(s, 13, 5000)), 53); // after the first 256 KB
    EXPECT_EQ(ReplyValue(ReadBytes(s, 13, 5000)), 56);
    const auto finished = Clock::now();
    // Restarting: the connection drops, SNMP and the raw port are silent.
    EXPECT_EQ(ReadBytes(s, 1, 1000), "");
    ::close(s);
    EXPECT_LT(ConnectRaw(), 0);
    EXPECT_NE(SnmpGet("1.3.6.1.4.1.32473.1.20121.0").find("Timeout"), std::string::npos);
    std::string trap;
    EXPECT_EQ(WaitTrap(5000, &trap), address_);
    EXPECT_GE(Clock::now() - finished, milliseconds(1500));
    ASSERT_EQ(sim_->Command("restart-ms " + address_ + " 400"), "ok");
    // A version 1 trap whose generic number is 0 (coldStart).
    EXPECT_NE(trap.find(std::string("\xa4", 1)), std::string::npos);
    EXPECT_NE(trap.find(std::string("\x02\x01\x00\x02\x01\x00\x43", 7)), std::string::npos);
    EXPECT_EQ(SnmpGet("1.3.6.1.4.1.32473.1.20121.0"), "\"V2.3A\"\n");
    const int again = ConnectRaw();
    EXPECT_GE(again, 0);
    ::close(again);
    EXPECT_NE(sim_->Command("downloads " + address_).find("last MAIN V2.3A 307200 bytes reply 56"), std::string::npos);
}

TEST_F(SimRawPorts, BlocksOverUsbAndAnHtmlVersionWithoutRestart)
{
    const LoadFile f = MakeLoadFile(2 * kBlock + 1000, "HTML", "V3.1 ");
    const int fd = OpenTerminal(UsbPath());
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(WriteAll(fd, StartCommand(f)));
    EXPECT_EQ(ReplyValue(ReadBytes(fd, 13, 2000)), 52);
    // Blocks of 256 KB, the first with "{LP;" before it, no closing "|}".
    const std::string data = "{LP;" + f.bytes;
    ASSERT_TRUE(WriteAll(fd, data.substr(0, 4 + kBlock)));
    EXPECT_EQ(ReplyValue(ReadBytes(fd, 13, 5000)), 53);
    ASSERT_TRUE(WriteAll(fd, data.substr(4 + kBlock, kBlock)));
    EXPECT_EQ(ReplyValue(ReadBytes(fd, 13, 5000)), 53);
    ASSERT_TRUE(WriteAll(fd, data.substr(4 + 2 * kBlock)));
    EXPECT_EQ(ReplyValue(ReadBytes(fd, 13, 5000)), 56);
    ::close(fd);
    EXPECT_EQ(SnmpGet("1.3.6.1.4.1.32473.1.26581.0"), "\"V3.1 \"\n");
    EXPECT_EQ(WaitTrap(800), ""); // no restart
}

TEST_F(SimRawPorts, RefusalsOverTheSerialLineLeaveThePrinterAsItWas)
{
    const int fd = OpenTerminal(dir_->File("ttyS0"));
    ASSERT_GE(fd, 0);
    struct Case {
        const char* what;
        LoadFile file;
        int reply;
    };
    LoadFile badSum = MakeLoadFile(3000, "MAIN", "V9.9A");
    badSum.checksum += 1;
    badSum.RewriteTrailer();
    LoadFile badSize = MakeLoadFile(3000, "MAIN", "V9.9A");
    badSize.sizeKb = 7;
    badSize.RewriteTrailer();
    const Case cases[] = {{"checksum", badSum, 6}, {"size", badSize, 50},
                          {"model", MakeLoadFile(3000, "MAIN", "V9.9A", "MC-1200"), 51}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteAll(fd, StartCommand(c.file)));
        EXPECT_EQ(ReplyValue(ReadBytes(fd, 13, 2000)), 52);
        ASSERT_TRUE(WriteAll(fd, "{LP;" + c.file.bytes + "|}"));
        EXPECT_EQ(ReplyValue(ReadBytes(fd, 13, 3000)), c.reply);
    }
    ::close(fd);
    EXPECT_EQ(WaitTrap(600), "");
    EXPECT_EQ(SnmpGet("1.3.6.1.4.1.32473.1.20121.0").find("V9.9A"), std::string::npos);
}

TEST_F(SimRawPorts, DownloadReplyFaults)
{
    const LoadFile f = MakeLoadFile(2000, "GAIJI-NOT", "V1.0 "); // an unknown kind: no restart
    const int s = ConnectRaw();
    ASSERT_GE(s, 0);
    // No answer to the first start command, a normal one to the second.
    ASSERT_EQ(sim_->Command("fault " + address_ + " silent on=start count=1"), "ok");
    ASSERT_TRUE(WriteAll(s, StartCommand(f)));
    EXPECT_EQ(ReadBytes(s, 13, 700), "");
    ASSERT_TRUE(WriteAll(s, StartCommand(f)));
    EXPECT_EQ(ReplyValue(ReadBytes(s, 13, 2000)), 52);
    // The final reply 800 ms late.
    ASSERT_EQ(sim_->Command("fault " + address_ + " delay on=end ms=800"), "ok");
    const auto sent = Clock::now();
    ASSERT_TRUE(WriteAll(s, "{LP;" + f.bytes + "|}"));
    EXPECT_EQ(ReplyValue(ReadBytes(s, 13, 3000)), 56);
    EXPECT_GE(Clock::now() - sent, milliseconds(750));
    // Noise before the frame.
    ASSERT_EQ(sim_->Command("fault " + address_ + " noise on=start"), "ok");
    ASSERT_TRUE(WriteAll(s, StartCommand(f)));
    const std::string noisy = ReadBytes(s, 18, 2000);
    ASSERT_EQ(noisy.size(), 18u);
    EXPECT_EQ(noisy.find('\x01'), 5u);
    EXPECT_EQ(ReplyValue(noisy.substr(5)), 52);
    ::close(s);
}

TEST_F(SimRawPorts, DownloadOverTheParallelPortRestartsToo)
{
    const LoadFile f = MakeLoadFile(5000, "C/G", "V1.7B");
    const int fd = ::open(dir_->File("lp0").c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(WriteAll(fd, StartCommand(f)));
    std::this_thread::sleep_for(milliseconds(100));
    ASSERT_TRUE(WriteAll(fd, "{LP;" + f.bytes + "|}"));
    ::close(fd);
    EXPECT_EQ(WaitTrap(5000), address_);
    EXPECT_EQ(SnmpGet("1.3.6.1.4.1.32473.1.20241.0"), "\"V1.7B\"\n");
}

} // namespace

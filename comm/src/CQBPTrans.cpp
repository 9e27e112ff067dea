// Session construction, the Open forms with their port-name grammar, Close
// and the community and printer-type settings.
#include "ncomm/CQBPTrans.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "ncomm/QBPLastError.h"
#include "TrapState.h"
#include "ncomm/QBPResult.h"
#include "qavplatform/Address.h"

namespace {

std::mutex g_prefixMutex;
std::string g_comPrefix;

std::string ComDevicePrefix()
{
    std::lock_guard<std::mutex> lock(g_prefixMutex);
    if (!g_comPrefix.empty()) return g_comPrefix;
    const char* env = std::getenv("QAV_COM_DEVICE_PREFIX");
    return env && *env ? env : "/dev/ttyS";
}

std::string LptDevicePrefix()
{
    const char* env = std::getenv("QAV_LPT_DEVICE_PREFIX");
    return env && *env ? env : "/dev/lp";
}

// The decimal number after a three-letter port prefix ("COM12" -> 12), or
// -1 when the rest is not a plain number.
int PortIndex(const char* portName)
{
    const char* p = portName + 3;
    if (!*p) return -1;
    long n = 0;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9') return -1;
        n = n * 10 + (*p - '0');
        if (n > 100000) return -1;
    }
    return static_cast<int>(n);
}

speed_t BaudConstant(int baud)
{
    switch (baud) {
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return 0;
    }
}

} // namespace

void CQBPTrans::SetComDevicePrefix(const std::string& prefix)
{
    std::lock_guard<std::mutex> lock(g_prefixMutex);
    g_comPrefix = prefix;
}

CQBPTrans::CQBPTrans(int& result, int snmpVersion)
{
    snmpVersion_ = snmpVersion;
    result = (snmpVersion == 1 || snmpVersion == 2) ? QBP_OK : QBP_INVALID_ARGUMENT;
}

CQBPTrans::~CQBPTrans() { Close(); }

int CQBPTrans::Fail(int code)
{
    QBPSetLastError(lastSystemError_ != 0 ? lastSystemError_ : code);
    return code;
}

int CQBPTrans::SetDeviceName(int portNumber, std::string& name)
{
    static const char* const kNames[] = {"SNMP", "TCP/IP", "COM1", "COM2", "LPT1"};
    if (portNumber < 0 || portNumber > 4) return QBP_INVALID_ARGUMENT;
    name = kNames[portNumber];
    return QBP_OK;
}

int CQBPTrans::Open(int portNumber, const char* address)
{
    std::string name;
    if (SetDeviceName(portNumber, name) != QBP_OK) {
        QBPSetLastError(QBP_INVALID_ARGUMENT);
        return QBP_INVALID_ARGUMENT;
    }
    return Open(name.c_str(), address);
}

int CQBPTrans::Open(int portNumber, const std::string& address) { return Open(portNumber, address.c_str()); }

int CQBPTrans::Open(const std::string& portName, const std::string& address)
{
    return Open(portName.c_str(), address.c_str());
}

int CQBPTrans::Open(const char* portName, const char* address)
{
    if (open_) {
        QBPSetLastError(QBP_ALREADY_OPEN);
        return QBP_ALREADY_OPEN;
    }
    lastSystemError_ = 0;
    if (!portName) portName = "";
    if (!address) address = "";

    int rc;
    if (std::strcmp(portName, "SNMP") == 0) {
        rc = SnmpOpen(address);
    } else if (std::strncmp(portName, "COM", 3) == 0) {
        rc = CommOpen(portName, address);
    } else if (std::strncmp(portName, "LPT", 3) == 0) {
        rc = LptOpen(portName);
    } else if (std::strcmp(portName, "TCP/IP") == 0) {
        rc = TcpIpOpen(address);
    } else {
        rc = UsbOpen(address); // any other name: the address is the device path
    }
    return rc != QBP_OK ? Fail(rc) : QBP_OK;
}

int CQBPTrans::SnmpOpen(const char* address)
{
    const size_t len = std::strlen(address);
    if (len < 7 || len > 15) return QBP_INVALID_ARGUMENT;
    std::memcpy(address_, address, len + 1);
    open_ = 1;
    kind_ = kSnmp;
    return QBP_OK;
}

int CQBPTrans::TcpIpOpen(const char* address)
{
    // host:port; without ':' the host is empty and the port is the number at
    // the start of the text.
    std::string host;
    const char* colon = std::strchr(address, ':');
    const char* portText = address;
    if (colon) {
        host.assign(address, colon - address);
        portText = colon + 1;
    }
    const int port = std::atoi(portText);

    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        lastSystemError_ = errno;
        return QBP_SOCKET_CREATE;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    uint32_t hostAddress = 0;
    if (!qavplatform::ParseAddress(host, hostAddress)) {
        lastSystemError_ = EINVAL;
        ::close(s);
        return QBP_CONNECT_FAILED;
    }
    sa.sin_addr.s_addr = htonl(hostAddress);
    if (::connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        lastSystemError_ = errno;
        ::close(s);
        return QBP_CONNECT_FAILED;
    }
    socket_ = s;
    open_ = 1;
    kind_ = kTcpIp;
    return QBP_OK;
}

int CQBPTrans::CommOpen(const char* portName, const char* params)
{
    const int n = PortIndex(portName);
    if (n < 1 || n > 256) return QBP_INVALID_ARGUMENT;
    // The device-namespace form of high port numbers has no counterpart
    // here: COMn is always the prefix followed by n-1.
    const std::string path = ComDevicePrefix() + std::to_string(n - 1);
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        lastSystemError_ = errno;
        return QBP_OPEN_FAILED;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) { /* not exclusive on this device kind; go on */
    }
    fd_ = fd;
    int rc = SetCommParam(params);
    if (rc != QBP_OK) {
        ::close(fd_);
        fd_ = -1;
        return rc;
    }
    open_ = 1;
    kind_ = kCom;
    return QBP_OK;
}

int CQBPTrans::SetCommParam(const char* params)
{
    int baud = 0, bits = 0, stop = 0;
    char parity = 0;
    if (std::sscanf(params, "%d,%d,%c,%d", &baud, &bits, &parity, &stop) != 4) return QBP_INVALID_ARGUMENT;
    const speed_t speed = BaudConstant(baud);
    if (!speed || (bits != 7 && bits != 8) || (parity != 'N' && parity != 'E' && parity != 'O') ||
        (stop != 1 && stop != 2))
        return QBP_INVALID_ARGUMENT;

    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) {
        lastSystemError_ = errno;
        return QBP_OPEN_FAILED;
    }
    ::cfmakeraw(&tio); // binary mode
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
    tio.c_cflag |= bits == 7 ? CS7 : CS8;
    if (parity != 'N') {
        tio.c_cflag |= PARENB;
        if (parity == 'O') tio.c_cflag |= PARODD;
        tio.c_iflag |= INPCK;
    }
    if (stop == 2) tio.c_cflag |= CSTOPB;
    // Hardware output flow control (CTS; DSR has no separate switch) and
    // XON/XOFF both ways with the usual characters.
    tio.c_cflag |= CRTSCTS;
    tio.c_iflag |= IXON | IXOFF;
    tio.c_cc[VSTART] = 0x11;
    tio.c_cc[VSTOP] = 0x13;
    // Reads are timed by Receive itself (poll), so the driver returns at once.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
        lastSystemError_ = errno;
        return QBP_OPEN_FAILED;
    }
    // DTR and RTS raised.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd_, TIOCMBIS, &lines);
    ::usleep(300 * 1000);
    ::tcflush(fd_, TCIOFLUSH);
    baud_ = baud;
    return QBP_OK;
}

int CQBPTrans::LptOpen(const char* portName)
{
    const int n = PortIndex(portName);
    if (n < 1 || n > 9) return QBP_INVALID_ARGUMENT;
    const std::string path = LptDevicePrefix() + std::to_string(n - 1);
    int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        lastSystemError_ = errno;
        return QBP_OPEN_FAILED;
    }
    fd_ = fd;
    open_ = 1;
    kind_ = kLpt;
    return QBP_OK;
}

// Device descriptors stay non-blocking: every write waits for the device
// with poll, bounded and cancellable (RawTransfer.cpp), where a blocking
// write could hold the caller for as long as the printer stays busy.
int CQBPTrans::UsbOpen(const char* path)
{
    int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        lastSystemError_ = errno;
        return QBP_OPEN_FAILED;
    }
    fd_ = fd;
    open_ = 1;
    kind_ = kUsb;
    return QBP_OK;
}

int CQBPTrans::Close()
{
    CancelTrap();
    StopSender();
    if (open_) {
        if (kind_ == kTcpIp && socket_ >= 0) {
            ::close(socket_);
            socket_ = -1;
        } else if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    open_ = 0;
    kind_ = kNone;
    return QBP_OK;
}

int CQBPTrans::SetCommunity(const std::string& read, const std::string& write)
{
    return SetCommunity(read.c_str(), write.c_str());
}

int CQBPTrans::SetCommunity(const char* read, const char* write)
{
    if (kind_ != kNone && kind_ != kSnmp) {
        QBPSetLastError(QBP_NOT_AVAILABLE);
        return QBP_NOT_AVAILABLE;
    }
    auto store = [](const char* text, char* field) -> int {
        if (!text || !*text) return QBP_OK;
        const size_t len = std::strlen(text);
        if (len > 80) return QBP_INVALID_ARGUMENT;
        std::memcpy(field, text, len + 1);
        return QBP_OK;
    };
    int rc = store(read, readCommunity_);
    if (rc == QBP_OK) rc = store(write, writeCommunity_);
    if (rc != QBP_OK) QBPSetLastError(rc);
    return rc;
}

int CQBPTrans::SetPrinterType(int type)
{
    if (type < 0 || type > 3) {
        QBPSetLastError(QBP_INVALID_ARGUMENT);
        return QBP_INVALID_ARGUMENT;
    }
    const int previous = printerType_;
    printerType_ = type;
    return previous;
}

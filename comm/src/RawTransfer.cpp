// Send, Receive and DeviceIoControl on TCP/IP, COM, LPT and USB sessions.
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"

namespace {

constexpr int kWritableWaitMs = 60000;
constexpr int kTcpReceiveTimeoutMs = 3000;
constexpr int kDeviceReadTotalMs = 1000;
constexpr int kDeviceWriteTotalMs = 1000;
// A background chunk write that moves no bytes (a write time-out) is tried
// again; after this many tries in a row the send fails.
constexpr int kMaxStalledChunkWrites = 30;

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits until fd is writable. 1 writable, 0 time-out, -1 poll failed,
// -2 woken by an error or hang-up. Waits in slices so that `cancel` is seen.
int WaitWritable(int fd, int timeoutMs, const std::atomic<bool>* cancel)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (cancel && cancel->load()) return 0;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return 0;
        pollfd p{fd, POLLOUT, 0};
        int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 200)));
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) continue;
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return -2;
        if (p.revents & POLLOUT) return 1;
    }
}

// One write of a device with the port's write time-out. Returns the bytes
// written, 0 when nothing could be written in time, -1 on error (errno).
ssize_t DeviceWrite(int fd, const unsigned char* data, size_t length)
{
    pollfd p{fd, POLLOUT, 0};
    int r = ::poll(&p, 1, kDeviceWriteTotalMs);
    if (r < 0) return -1;
    if (r == 0) return 0;
    ssize_t n = ::write(fd, data, length);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    return n;
}

} // namespace

int CQBPTrans::Send(const void* data, int length, CQBPEvent* event)
{
    if (!open_) {
        QBPSetLastError(QBP_NOT_OPEN);
        return QBP_NOT_OPEN;
    }
    if (kind_ == kSnmp) {
        QBPSetLastError(QBP_NOT_AVAILABLE);
        return QBP_NOT_AVAILABLE;
    }
    if (sendStatus_.load() == 1) return QBP_SEND_RUNNING;
    if (length < 0 || (!data && length > 0)) {
        QBPSetLastError(QBP_INVALID_ARGUMENT);
        return QBP_INVALID_ARGUMENT;
    }
    sendStatus_ = 0;
    sentBytes_ = 0;
    int rc;
    if (event) {
        rc = StartSendNonBlock(data, length, event);
    } else if (kind_ == kTcpIp) {
        rc = SendBlockTcpIp(static_cast<const unsigned char*>(data), length);
    } else {
        rc = SendBlock(static_cast<const unsigned char*>(data), length);
    }
    return rc != QBP_OK ? Fail(rc) : QBP_OK;
}

int CQBPTrans::SendBlock(const unsigned char* data, int length)
{
    lastSystemError_ = 0;
    int done = 0;
    while (done < length) {
        ssize_t n = DeviceWrite(fd_, data + done, static_cast<size_t>(length - done));
        if (n <= 0) {
            lastSystemError_ = n < 0 ? errno : ETIMEDOUT;
            if (kind_ == kCom) ::tcflush(fd_, TCOFLUSH);
            return QBP_WRITE_FAILED;
        }
        done += static_cast<int>(n);
        SleepMs(100);
    }
    return QBP_OK;
}

int CQBPTrans::SendBlockTcpIp(const unsigned char* data, int length)
{
    int done = 0;
    while (done < length) {
        const int w = WaitWritable(socket_, kWritableWaitMs, &sendCancel_);
        if (w == -1) {
            lastSystemError_ = errno;
            return QBP_SOCKET_NOT_WRITABLE;
        }
        if (w == 0) return QBP_SEND_TIMEOUT;
        if (w == -2) return QBP_SOCKET_NOT_WRITABLE;
        ssize_t n = ::send(socket_, data + done, static_cast<size_t>(length - done), MSG_NOSIGNAL);
        if (n < 0) {
            lastSystemError_ = errno;
            return QBP_WRITE_FAILED;
        }
        if (n == 0) return QBP_SEND_ZERO;
        done += static_cast<int>(n);
        sentBytes_ = done;
    }
    return QBP_OK;
}

int CQBPTrans::StartSendNonBlock(const void* data, int length, CQBPEvent* event)
{
    StopSender(); // a finished sender thread is joined before the next starts
    sendCopy_.reset();
    sendCopy_.reset(new (std::nothrow) unsigned char[length > 0 ? length : 1]());
    if (!sendCopy_) {
        lastSystemError_ = ENOMEM;
        return QBP_NO_MEMORY;
    }
    if (length > 0) std::memcpy(sendCopy_.get(), data, static_cast<size_t>(length));
    sendTotal_ = length;
    sendEvent_ = event;
    sendCancel_ = false;
    sendStatus_ = 1;
    sender_ = std::thread(&CQBPTrans::SendThreadProc, this);
    return QBP_OK;
}

void CQBPTrans::SendThreadProc()
{
    const int chunk = kind_ == kCom ? 1024 : 4096;
    int stalled = 0;
    auto finish = [this](int status) {
        sendStatus_ = status;
        sendCopy_.reset();
        if (sendEvent_) sendEvent_->Set();
    };
    while (sentBytes_.load() < sendTotal_) {
        // Close stops the sender where it stands, like a terminated thread:
        // the event is not signalled.
        if (sendCancel_.load()) {
            sendCopy_.reset();
            return;
        }
        const int done = sentBytes_.load();
        const int n = std::min(chunk, sendTotal_ - done);
        if (kind_ == kTcpIp) {
            const int before = done;
            const int rc = SendBlockTcpIp(sendCopy_.get() + before, n);
            if (rc != QBP_OK) {
                finish(rc);
                return;
            }
            sentBytes_ = before + n;
        } else {
            ssize_t w = DeviceWrite(fd_, sendCopy_.get() + done, static_cast<size_t>(n));
            if (w < 0 || (w == 0 && ++stalled > kMaxStalledChunkWrites)) {
                lastSystemError_ = w < 0 ? errno : ETIMEDOUT;
                if (kind_ == kCom) ::tcflush(fd_, TCOFLUSH);
                finish(QBP_WRITE_FAILED);
                return;
            }
            if (w > 0) {
                stalled = 0;
                sentBytes_ = done + static_cast<int>(w);
            }
        }
        SleepMs(1);
    }
    if (kind_ == kCom) {
        ::tcdrain(fd_);
    } else if (kind_ == kLpt) {
        ::fsync(fd_);
    }
    finish(2);
}

void CQBPTrans::StopSender()
{
    if (!sender_.joinable()) return;
    sendCancel_ = true;
    sender_.join();
    sendCancel_ = false;
}

int CQBPTrans::Receive(void* buffer, int size, int& received)
{
    if (!open_) {
        QBPSetLastError(QBP_NOT_OPEN);
        return QBP_NOT_OPEN;
    }
    if (kind_ == kSnmp) {
        QBPSetLastError(QBP_NOT_AVAILABLE);
        return QBP_NOT_AVAILABLE;
    }
    lastSystemError_ = 0;
    int code = QBP_OK;
    if (size < 0) size = 0;
    if (kind_ == kTcpIp) {
        pollfd p{socket_, POLLIN, 0};
        int r;
        do {
            r = ::poll(&p, 1, kTcpReceiveTimeoutMs);
        } while (r < 0 && errno == EINTR);
        if (r < 0) {
            lastSystemError_ = errno;
            code = QBP_RECV_FAILED;
        } else if (r == 0 || !(p.revents & (POLLIN | POLLHUP | POLLERR))) {
            code = QBP_RECV_TIMEOUT;
        } else {
            ssize_t n = ::recv(socket_, buffer, static_cast<size_t>(size), 0);
            if (n < 0) {
                lastSystemError_ = errno;
                received = -1;
                code = QBP_RECV_FAILED;
            } else if (n == 0) {
                received = 0;
                code = QBP_PEER_CLOSED;
            } else {
                received = static_cast<int>(n);
            }
        }
    } else if (kind_ == kLpt) {
        // The parallel port is opened for writing only.
        received = 0;
        lastSystemError_ = EBADF;
        code = QBP_READ_FAILED;
    } else {
        // One read with the port's time-outs: up to 1000 ms for the first
        // byte, then as long as bytes follow within the read interval
        // (100 ms up to 9600 baud, 10 ms above; other devices 100 ms).
        received = 0;
        const int interval = (kind_ == kCom && baud_ > 9600) ? 10 : 100;
        auto* out = static_cast<unsigned char*>(buffer);
        int wait = kDeviceReadTotalMs;
        while (received < size) {
            pollfd p{fd_, POLLIN, 0};
            int r = ::poll(&p, 1, wait);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0 || (r > 0 && (p.revents & (POLLERR | POLLNVAL)))) {
                lastSystemError_ = r < 0 ? errno : EIO;
                code = QBP_READ_FAILED;
                break;
            }
            if (r == 0) break;
            ssize_t n = ::read(fd_, out + received, static_cast<size_t>(size - received));
            if (n < 0) {
                if (errno == EAGAIN) continue;
                lastSystemError_ = errno;
                code = QBP_READ_FAILED;
                break;
            }
            if (n == 0) break;
            received += static_cast<int>(n);
            wait = interval;
        }
        if (code != QBP_OK) received = 0;
    }
    if (code != QBP_OK) QBPSetLastError(lastSystemError_ != 0 ? lastSystemError_ : code);
    return QBP_OK;
}

int CQBPTrans::DeviceIoControl(unsigned long code, void* in, unsigned long inSize, void* out, unsigned long outSize,
                               unsigned long* returned)
{
    if (!open_) {
        QBPSetLastError(QBP_NOT_OPEN);
        return QBP_NOT_OPEN;
    }
    if (kind_ == kSnmp || kind_ == kTcpIp) return QBP_NOT_AVAILABLE;
    // The request goes to the device as an ioctl; its argument is the output
    // buffer when there is one (read requests such as the IEEE 1284
    // device-ID query), else the input buffer.
    void* arg = out ? out : in;
    if (::ioctl(fd_, code, arg) != 0) {
        lastSystemError_ = errno;
        QBPSetLastError(lastSystemError_);
        return QBP_IOCTL_FAILED;
    }
    if (returned) *returned = out ? outSize : 0;
    return QBP_OK;
}

// Send, Receive and DeviceIoControl on TCP/IP, COM, LPT and USB sessions,
// and the printer-command object access that rides on them.
#include <linux/lp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>

#include "PrinterCommand.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWritableWaitMs = 60000;
constexpr int kTcpReceiveTimeoutMs = 3000;
constexpr int kDeviceReadTotalMs = 1000;
// A COM write gives up when the line takes nothing for its write time-out.
constexpr int kComWriteTotalMs = 1000;
// A printer on LPT or USB that is busy (printing, out of paper for a
// moment) holds the data back; a write waits that long for it to take the
// next byte before the send fails.
constexpr int kPrinterWaitMs = 60000;
// Drivers without a poll of their own (the parallel port's) report room
// and then refuse the write: the next try comes after this pause.
constexpr int kBusyPauseMs = 20;
// A background COM chunk write that moves no bytes (a write time-out) is
// tried again; after this many tries in a row the send fails.
constexpr int kMaxStalledChunkWrites = 30;
constexpr int kWorkBufferSize = 10000; // printer-command reply

// Internal outcome of a wait or send that Close cut short (no result code).
constexpr int kSendCancelled = 2;

int MsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until fd is ready for `events` or `cancelFd` (if >= 0) is
// signalled. 1 ready, 0 time-out, -1 poll failed (errno), -2 error or
// hang-up on fd, kSendCancelled.
int WaitFor(int fd, short events, int timeoutMs, int cancelFd)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd p[2] = {{fd, events, 0}, {cancelFd, POLLIN, 0}};
        const int r = ::poll(p, cancelFd >= 0 ? 2 : 1, MsLeft(deadline));
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) return 0;
        if (cancelFd >= 0 && p[1].revents) return kSendCancelled;
        if (p[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return -2;
        if (p[0].revents & events) return 1;
    }
}

// Sleeps ms, or less when cancelFd is signalled (then true).
bool Pause(int ms, int cancelFd)
{
    pollfd p{cancelFd, POLLIN, 0};
    const int r = ::poll(&p, cancelFd >= 0 ? 1 : 0, ms);
    return r > 0;
}

// One write to a device, waiting up to waitMs for the device to take
// something. Returns the bytes written, 0 when nothing moved in time, -1 on
// an error (errno), kWriteCancelled when cancelFd was signalled.
constexpr ssize_t kWriteCancelled = -2;
ssize_t WriteDevice(int fd, const unsigned char* data, size_t length, int waitMs, int cancelFd)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const int w = WaitFor(fd, POLLOUT, MsLeft(deadline), cancelFd);
        if (w == kSendCancelled) return kWriteCancelled;
        if (w == 0) return 0;
        if (w == -2) errno = EIO;
        if (w < 0) return -1;
        const ssize_t n = ::write(fd, data, length);
        if (n > 0) return n;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
        if (MsLeft(deadline) == 0) return 0;
        if (Pause(std::min(kBusyPauseMs, MsLeft(deadline)), cancelFd)) return kWriteCancelled;
    }
}

// Waits until the serial line has sent what the driver holds (bounded,
// cancellable), where tcdrain could wait for ever on a stopped line.
void DrainLine(int fd, int cancelFd)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(kPrinterWaitMs);
    int queued = 0;
    while (::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0 && MsLeft(deadline) > 0) {
        if (Pause(5, cancelFd)) return;
    }
}

// Requests without a size in their number that hand back an int.
const unsigned long kIntResultRequests[] = {
    LPGETSTATUS, // parallel port status lines
    LPGETIRQ,    // parallel port interrupt
    FIONREAD,    // bytes waiting to be read
    TIOCOUTQ,    // bytes waiting to be sent
    TIOCMGET,    // modem lines
};

// usblp's request number 1 of type 'P': the IEEE 1284 device identifier,
// which begins with its own length, two bytes, most significant first.
bool IsDeviceIdRequest(unsigned long code) { return _IOC_TYPE(code) == 'P' && _IOC_NR(code) == 1; }

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
    const int waitMs = kind_ == kCom ? kComWriteTotalMs : kPrinterWaitMs;
    int done = 0;
    while (done < length) {
        const ssize_t n = WriteDevice(fd_, data + done, static_cast<size_t>(length - done), waitMs, -1);
        if (n <= 0) {
            lastSystemError_ = n < 0 ? errno : ETIMEDOUT;
            if (kind_ == kCom) ::tcflush(fd_, TCOFLUSH);
            return QBP_WRITE_FAILED;
        }
        done += static_cast<int>(n);
        Pause(100, -1);
    }
    return QBP_OK;
}

int CQBPTrans::SendBlockTcpIp(const unsigned char* data, int length, int progressBase)
{
    int done = 0;
    while (done < length) {
        const int w = WaitFor(socket_, POLLOUT, kWritableWaitMs, progressBase >= 0 ? sendCancel_ : -1);
        if (w == kSendCancelled) return kSendCancelled;
        if (w == -1) {
            lastSystemError_ = errno;
            return QBP_SOCKET_NOT_WRITABLE;
        }
        if (w == 0) return QBP_SEND_TIMEOUT;
        if (w == -2) return QBP_SOCKET_NOT_WRITABLE;
        // Never blocks: what does not fit waits for the next writable wake-up.
        const ssize_t n = ::send(socket_, data + done, static_cast<size_t>(length - done), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (n < 0) {
            lastSystemError_ = errno;
            return QBP_WRITE_FAILED;
        }
        if (n == 0) return QBP_SEND_ZERO;
        done += static_cast<int>(n);
        if (progressBase >= 0) sentBytes_ = progressBase + done;
    }
    return QBP_OK;
}

int CQBPTrans::StartSendNonBlock(const void* data, int length, CQBPEvent* event)
{
    StopSender(); // a finished sender thread is joined before the next starts
    sendCopy_.reset(new (std::nothrow) unsigned char[length > 0 ? length : 1]());
    if (!sendCopy_) {
        lastSystemError_ = ENOMEM;
        return QBP_NO_MEMORY;
    }
    if (length > 0) std::memcpy(sendCopy_.get(), data, static_cast<size_t>(length));
    sendCancel_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (sendCancel_ < 0) {
        lastSystemError_ = errno;
        sendCopy_.reset();
        return QBP_NO_MEMORY;
    }
    sendTotal_ = length;
    sendEvent_ = event;
    sendStatus_ = 1;
    try {
        sender_ = std::thread(&CQBPTrans::SendThreadProc, this);
    } catch (const std::system_error& e) {
        lastSystemError_ = e.code().value();
    } catch (...) {
        lastSystemError_ = ENOMEM;
    }
    if (!sender_.joinable()) {
        sendStatus_ = 0;
        ::close(sendCancel_);
        sendCancel_ = -1;
        sendCopy_.reset();
        return QBP_NO_MEMORY;
    }
    return QBP_OK;
}

void CQBPTrans::SendThreadProc()
{
    const int chunk = kind_ == kCom ? 1024 : 4096;
    const int waitMs = kind_ == kCom ? kComWriteTotalMs : kPrinterWaitMs;
    int stalled = 0;
    auto finish = [this](int status) {
        sendStatus_ = status;
        sendCopy_.reset();
        if (sendEvent_) sendEvent_->Set();
    };
    int sent = 0;
    while (sent < sendTotal_) {
        const int n = std::min(chunk, sendTotal_ - sent);
        if (kind_ == kTcpIp) {
            const int rc = SendBlockTcpIp(sendCopy_.get() + sent, n, sent);
            if (rc == kSendCancelled) return; // Close ends the sender where it stands
            if (rc != QBP_OK) {
                finish(rc);
                return;
            }
            sent += n;
        } else {
            const ssize_t w = WriteDevice(fd_, sendCopy_.get() + sent, static_cast<size_t>(n), waitMs, sendCancel_);
            if (w == kWriteCancelled) return;
            const bool retry = w == 0 && kind_ == kCom && ++stalled <= kMaxStalledChunkWrites;
            if (w < 0 || (w == 0 && !retry)) {
                lastSystemError_ = w < 0 ? errno : ETIMEDOUT;
                if (kind_ == kCom) ::tcflush(fd_, TCOFLUSH);
                finish(QBP_WRITE_FAILED);
                return;
            }
            if (w == 0) continue;
            stalled = 0;
            sent += static_cast<int>(w);
            sentBytes_ = sent;
        }
        if (Pause(1, sendCancel_)) return;
    }
    if (kind_ == kCom) {
        DrainLine(fd_, sendCancel_);
    } else if (kind_ == kLpt) {
        ::fsync(fd_);
    }
    finish(2);
}

void CQBPTrans::StopSender()
{
    if (sender_.joinable()) {
        const uint64_t one = 1;
        if (::write(sendCancel_, &one, sizeof one) < 0) { /* the sender still ends at its next wait */
        }
        sender_.join();
        // A send that Close cut short is over without a result: the event
        // stays as it is and the session takes the next send.
        int running = 1;
        sendStatus_.compare_exchange_strong(running, 0);
    }
    if (sendCancel_ >= 0) {
        ::close(sendCancel_);
        sendCancel_ = -1;
    }
    sendCopy_.reset();
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
        const int r = WaitFor(socket_, POLLIN, kTcpReceiveTimeoutMs, -1);
        if (r == -1) {
            lastSystemError_ = errno;
            code = QBP_RECV_FAILED;
        } else if (r == 0) {
            code = QBP_RECV_TIMEOUT;
        } else {
            // Readable, or an error or hang-up that the read reports.
            const ssize_t n = ::recv(socket_, buffer, static_cast<size_t>(size), 0);
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
    if (returned) *returned = 0;
    // The request goes to the device as an ioctl on one buffer: the output
    // buffer when there is one (it then starts as a copy of the input), else
    // the input buffer. A request whose number says it reads or writes more
    // than the buffers hold is refused before the driver could overrun them.
    const unsigned long size = _IOC_SIZE(code);
    const bool reads = (_IOC_DIR(code) & _IOC_READ) != 0;
    const bool writes = (_IOC_DIR(code) & _IOC_WRITE) != 0;
    const bool intResult = std::find(std::begin(kIntResultRequests), std::end(kIntResultRequests), code) !=
                           std::end(kIntResultRequests);
    const bool tooSmall = (reads && size > 0 && (!out || outSize < size)) ||
                          (writes && size > 0 && (!(in || out) || (out ? outSize : inSize) < size)) ||
                          (intResult && (!out || outSize < sizeof(int)));
    if (tooSmall) {
        lastSystemError_ = ENOBUFS;
        QBPSetLastError(lastSystemError_);
        return QBP_IOCTL_FAILED;
    }
    if (out && in && out != in) std::memcpy(out, in, std::min(inSize, outSize));
    void* arg = out ? out : in;
    const int r = ::ioctl(fd_, code, arg);
    if (r < 0) {
        lastSystemError_ = errno;
        QBPSetLastError(lastSystemError_);
        return QBP_IOCTL_FAILED;
    }
    // The count of bytes the request handed back.
    unsigned long count = 0;
    if (out && r > 0) {
        count = static_cast<unsigned long>(r);
    } else if (out && reads && IsDeviceIdRequest(code) && size >= 2) {
        const auto* b = static_cast<const unsigned char*>(out);
        count = (static_cast<unsigned long>(b[0]) << 8) | b[1];
    } else if (out && reads) {
        count = size;
    } else if (out && intResult) {
        count = sizeof(int);
    }
    if (returned) *returned = std::min(count, outSize);
    return QBP_OK;
}

int CQBPTrans::DeviceRequest(int requestType, const CQBPVb& request, CQBPVb& result)
{
    // The sequence number travels as three digits: after 999 it starts at 1
    // again, so that replies keep matching their commands.
    if (++commandSequence_ > 999) commandSequence_ = 1;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kWorkBufferSize]());
    if (!buffer) {
        lastSystemError_ = ENOMEM;
        return QBP_NO_MEMORY;
    }
    std::string command;
    try {
        command = ncomm::CreateQPCLCommand(requestType, request, commandSequence_);
    } catch (const std::bad_alloc&) {
        lastSystemError_ = ENOMEM;
        return QBP_NO_MEMORY;
    }
    // Through Send like any other data: during a background send this is
    // refused (-141) and the running stream stays as it is.
    const int rc = Send(command.data(), static_cast<int>(command.size()), nullptr);
    if (rc != QBP_OK) return rc;
    int received = 0;
    Receive(buffer.get(), kWorkBufferSize, received);
    // A missing or partial reply fails the frame check.
    return ncomm::ConvQPCLtoVb(buffer.get(), received > 0 ? received : 0, commandSequence_, result);
}

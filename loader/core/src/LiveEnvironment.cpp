#include "nload/LiveEnvironment.h"

#include <chrono>
#include <thread>

#include "ncomm/CQBPEvent.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/CQBPVb.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"

namespace nload {

namespace {

// The address of the session that only keeps the trap receiver open: no
// printer sends from it.
constexpr const char* kKeeperAddress = "0.0.0.0";

class LivePort : public Port {
public:
    int Open(const std::string& portName, const std::string& address) override
    {
        int rc = 0;
        trans_ = std::make_unique<CQBPTrans>(rc, 1);
        return trans_->Open(portName, address);
    }
    int SendBlocking(const void* data, int length) override { return trans_->Send(data, length, nullptr); }
    int StartSend(const void* data, int length) override
    {
        event_.Reset();
        return trans_->Send(data, length, &event_);
    }
    bool WaitSendEnd(int ms) override { return event_.Wait(ms); }
    int SendState() const override { return trans_->GetSendStatus(); }
    int SentBytes() const override { return trans_->GetSentBytes(); }
    int Receive(unsigned char* buffer, int size, int& received) override
    {
        // The library reports a failed read through the thread's last error
        // only: a TCP/IP read that timed out (-137) has simply found nothing.
        received = 0;
        QBPSetLastError(0);
        trans_->Receive(buffer, size, received);
        if (received > 0) return 0;
        received = 0;
        const int last = QBPGetLastError();
        if (last == 0 || last == QBP_RECV_TIMEOUT) return 0;
        if (last < 0) return last;
        return trans_->GetKind() == CQBPTrans::kTcpIp ? QBP_RECV_FAILED : QBP_READ_FAILED;
    }
    void Close() override
    {
        if (trans_) trans_->Close();
    }
    int SystemError() const override { return trans_ ? trans_->GetLastSystemError() : 0; }

private:
    // The event outlives the session, which may still signal it while it closes.
    CQBPEvent event_;
    std::unique_ptr<CQBPTrans> trans_;
};

class LiveTrapWatch : public TrapWatch {
public:
    // False when the session or the trap reception cannot be set up.
    bool Start(const std::string& address)
    {
        int rc = 0;
        trans_ = std::make_unique<CQBPTrans>(rc, 1);
        return trans_->Open(0, address) == QBP_OK && trans_->StartTrap(&event_) == QBP_OK;
    }
    bool Wait(int ms) override
    {
        if (!event_.Wait(ms)) return false;
        // Any trap of the printer says that it is back; it is taken so that
        // the session holds none.
        int generic = 0, specific = 0;
        char enterprise[256] = {};
        CQBPVb bindings;
        trans_->GetTrap(generic, specific, enterprise, sizeof enterprise, bindings);
        return true;
    }
    ~LiveTrapWatch() override
    {
        if (trans_) trans_->Close();
    }

private:
    CQBPEvent event_;
    std::unique_ptr<CQBPTrans> trans_;
};

} // namespace

LiveEnvironment::LiveEnvironment(const qavres::StringTable& texts, Communities communities)
    : texts_(texts), communities_(std::move(communities))
{
}

LiveEnvironment::~LiveEnvironment()
{
    if (keeper_) keeper_->Close();
}

bool LiveEnvironment::KeepTrapReceiver()
{
    if (keeper_) return true;
    auto event = std::make_unique<CQBPEvent>();
    int rc = 0;
    auto keeper = std::make_unique<CQBPTrans>(rc, 1);
    if (keeper->Open(0, kKeeperAddress) != QBP_OK || keeper->StartTrap(event.get()) != QBP_OK) return false;
    keeperEvent_ = std::move(event);
    keeper_ = std::move(keeper);
    return true;
}

std::unique_ptr<Port> LiveEnvironment::MakePort() { return std::make_unique<LivePort>(); }

std::unique_ptr<TrapWatch> LiveEnvironment::WatchTraps(const std::string& address)
{
    auto watch = std::make_unique<LiveTrapWatch>();
    if (!watch->Start(address)) return nullptr;
    return watch;
}

int LiveEnvironment::ReadInfo(PrinterInfo& printer) { return ReadPrinterInfo(texts_, communities_, printer); }

int64_t LiveEnvironment::NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void LiveEnvironment::SleepMs(int ms)
{
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace nload

#include "nload/Procedure.h"

#include <algorithm>
#include <cstring>

#include "ncomm/QBPResult.h"
#include "nload/Versions.h"

namespace nload {

namespace {

// Status texts of the list and the progress window.
enum StatusText : int {
    kStatusStartCommand = 5004,
    kStatusData = 5005,
    kStatusRestart = 5006,
    kStatusVersion = 5007,
    kStatusFinalReply = 5008,
};

// Models that always take their data in blocks (model text with prefix).
constexpr const char* kBlockModels[] = {"VORANTA QAV MC111W", "VORANTA QAV MD111"};
// Models that restart slowly (short model, first 9 characters).
constexpr const char* kSlowRestartModels[] = {"M-PJ6KZ-P", "M-PJ3KZ-P", "M-PJ3KZ-W"};
constexpr size_t kSlowRestartCompare = 9;

// One printer's run: the port, the replies, the clock and the outcome.
class Download {
public:
    Download(Environment& env, const PreparedFile& file, const Timing& timing, PrinterInfo& printer,
             ProgressSink& sink, const std::atomic<bool>* stop)
        : env_(env), file_(file), timing_(timing), printer_(printer), sink_(sink), stop_(stop)
    {
    }

    PrinterResult Run();

private:
    bool Fail(int code, int result = 0, int systemError = 0)
    {
        result_.code = code;
        result_.result = result;
        result_.systemError = systemError;
        return false;
    }
    bool Stopped() const { return stop_ && stop_->load(); }
    bool Pause(int ms);
    bool SendStartCommand();
    bool AwaitReply(int wanted, int limitMs, int receiveFailure, int timeout);
    bool SendData();
    bool SendAndWatch(size_t offset, size_t length, int stallMs);
    bool AwaitRestart();
    bool CheckVersion();
    bool IsLpt() const { return printer_.kind == PortKind::kParallel; }
    bool IsGaiji() const { return file_.info.kind == kKindGaiji; }

    Environment& env_;
    const PreparedFile& file_;
    const Timing& timing_;
    PrinterInfo& printer_;
    ProgressSink& sink_;
    const std::atomic<bool>* stop_;
    std::unique_ptr<Port> port_;
    ReplyScanner replies_;
    PrinterResult result_;
};

// Sleeps in steps, so that a stop is seen.
bool Download::Pause(int ms)
{
    const int64_t end = env_.NowMs() + ms;
    for (int64_t now = env_.NowMs(); now < end; now = env_.NowMs()) {
        if (Stopped()) return Fail(kErrStopped);
        env_.SleepMs(static_cast<int>(std::min<int64_t>(timing_.pollMs, end - now)));
    }
    return !Stopped() || Fail(kErrStopped);
}

bool Download::SendStartCommand()
{
    sink_.Status(kStatusStartCommand);
    const int rc = port_->SendBlocking(file_.startCommand.data(), static_cast<int>(file_.startCommand.size()));
    if (rc != 0) return Fail(kErrStartSend, rc, port_->SystemError());
    if (IsLpt()) return Pause(timing_.lptSilenceMs); // a parallel port gives no replies
    return AwaitReply(kReplyStart, timing_.startReplyMs, kErrStartReceive, kErrStartTimeout);
}

// Reads until the wanted reply comes (true), a refusal, a failed read or
// the limit (false, with the code).
bool Download::AwaitReply(int wanted, int limitMs, int receiveFailure, int timeout)
{
    const int64_t end = env_.NowMs() + limitMs;
    for (;;) {
        int value = replies_.Next();
        if (value == kReplyNone) {
            if (env_.NowMs() >= end) return Fail(timeout, QBP_RECV_TIMEOUT);
            if (Stopped()) return Fail(kErrStopped);
            unsigned char buffer[kReplySize];
            int received = 0;
            const int64_t before = env_.NowMs();
            const int rc = port_->Receive(buffer, static_cast<int>(sizeof buffer), received);
            if (rc != 0) return Fail(receiveFailure, rc, port_->SystemError());
            if (received <= 0) {
                // A port that answers "nothing" at once (a device whose
                // other end is closed) is asked again only after a pause.
                if (env_.NowMs() - before < timing_.pollMs) env_.SleepMs(timing_.pollMs);
                continue;
            }
            value = replies_.Feed(buffer, static_cast<size_t>(received));
            if (value == kReplyNone) continue;
        }
        if (value == wanted) return true;
        if (const int refusal = RefusalCode(value)) return Fail(refusal, value);
        // Any other reply (a late one of an earlier step) is passed over.
    }
}

// One background send of data[offset, offset+length), watched until it
// ends; fails when the count of bytes sent stands still for stallMs.
bool Download::SendAndWatch(size_t offset, size_t length, int stallMs)
{
    const int rc = port_->StartSend(file_.data.data() + offset, static_cast<int>(length));
    if (rc != 0) return Fail(kErrDataSend, rc, port_->SystemError());
    int last = 0;
    int64_t lastChange = env_.NowMs();
    while (!port_->WaitSendEnd(timing_.pollMs)) {
        const int sent = port_->SentBytes();
        const int64_t now = env_.NowMs();
        if (sent != last) {
            last = sent;
            lastChange = now;
            sink_.Sent(static_cast<int>(offset) + sent);
        } else if (now - lastChange >= stallMs) {
            return Fail(kErrDataStalled, port_->SendState(), port_->SystemError());
        }
        if (Stopped()) return Fail(kErrStopped);
    }
    const int state = port_->SendState();
    if (state != 2) return Fail(kErrDataSend, state, port_->SystemError());
    sink_.Sent(static_cast<int>(offset + length));
    return true;
}

bool Download::SendData()
{
    sink_.Status(kStatusData);
    if (!UsesBlocks(printer_))
        return SendAndWatch(0, file_.data.size(), IsGaiji() ? timing_.stallGaijiMs : timing_.stallWholeMs);
    // Blocks: the data without its closing "|}", the first block with the
    // "{LP;" in front of its 256 KB.
    const size_t body = file_.data.size() >= 2 ? file_.data.size() - 2 : 0;
    size_t offset = 0;
    while (offset < body) {
        const size_t block = offset == 0 ? std::strlen(kDataHead) + kBlockSize : kBlockSize;
        const size_t length = std::min(block, body - offset);
        if (!SendAndWatch(offset, length, timing_.stallBlockMs)) return false;
        offset += length;
        if (offset < body && !IsLpt() &&
            !AwaitReply(kReplyBlock, timing_.blockReplyMs, kErrReplyReceive, kErrReplyTimeout))
            return false;
    }
    return true;
}

bool Download::AwaitRestart()
{
    const int limit = RestartLimit(timing_, printer_);
    std::unique_ptr<TrapWatch> watch = env_.WatchTraps(printer_.address);
    if (!watch) return Pause(limit);
    const int64_t end = env_.NowMs() + limit;
    for (int64_t now = env_.NowMs(); now < end; now = env_.NowMs()) {
        if (Stopped()) return Fail(kErrStopped);
        if (watch->Wait(static_cast<int>(std::min<int64_t>(timing_.pollMs, end - now)))) break;
    }
    return !Stopped() || Fail(kErrStopped);
}

// After the restart the printer must report the file's version for the
// file's kind. A printer that cannot be read reports no version at all.
bool Download::CheckVersion()
{
    const int kind = file_.info.kind;
    if (kind < 0 || kind >= kKindCodes || kind == kKindGaiji) return true;
    sink_.Status(kStatusVersion);
    PrinterInfo fresh = printer_;
    const int read = env_.ReadInfo(fresh);
    if (read != kOk) return Fail(kErrVersionAfterRestart, fresh.last.result, fresh.last.systemError);
    printer_.versions = fresh.versions;
    // Both sides in the printer's five-character form: a catalog line may
    // write "V1.2" where the printer reports "V1.2 ".
    const std::string now = FiveCharacterVersion(fresh.versions[static_cast<size_t>(kind)]);
    if (kind == kKindHtml && now.empty()) return true;
    if (now != FiveCharacterVersion(file_.info.version)) return Fail(kErrVersionAfterRestart);
    return true;
}

PrinterResult Download::Run()
{
    result_ = {};
    if (Stopped()) {
        Fail(kErrStopped);
        return result_;
    }
    port_ = env_.MakePort();
    if (!port_) {
        Fail(kErrTransport);
        return result_;
    }
    const int rc = port_->Open(printer_.DownloadPortName(), printer_.DownloadAddress());
    bool ok = rc == 0 || Fail(kErrOpen, rc, port_->SystemError());
    if (ok && !IsGaiji()) ok = SendStartCommand();
    if (ok) ok = SendData();
    if (ok && !IsGaiji() && !IsLpt()) {
        sink_.Status(kStatusFinalReply);
        ok = AwaitReply(kReplyFinished, FinalReplyLimit(timing_, file_.data.size(), printer_.kind == PortKind::kUsb),
                        kErrReplyReceive, kErrReplyTimeout);
    }
    port_->Close();
    port_.reset();
    if (!ok || IsGaiji()) return result_;
    switch (printer_.kind) {
    case PortKind::kUsb:
    case PortKind::kParallel: return result_;
    case PortKind::kSerial:
    case PortKind::kTcpIp:
        sink_.Status(kStatusRestart);
        Pause(timing_.serialRestartMs);
        return result_;
    case PortKind::kNetwork: break;
    }
    sink_.Status(kStatusRestart);
    if (AwaitRestart() && Pause(timing_.afterRestartMs)) CheckVersion();
    return result_;
}

} // namespace

bool UsesBlocks(const PrinterInfo& printer)
{
    for (const char* model : kBlockModels) {
        if (printer.model == model) return true;
    }
    return printer.blockTransfer && (printer.kind == PortKind::kUsb || printer.kind == PortKind::kSerial);
}

int FinalReplyLimit(const Timing& timing, size_t dataLength, bool usb)
{
    const int blocks = static_cast<int>(dataLength / 65536);
    return blocks * timing.finalPer64KbMs + timing.finalBaseMs + (usb ? timing.finalUsbExtraMs : 0);
}

int RestartLimit(const Timing& timing, const PrinterInfo& printer)
{
    bool slow = false;
    for (const char* model : kSlowRestartModels) {
        if (printer.shortModel.compare(0, kSlowRestartCompare, model) == 0) slow = true;
    }
    if (printer.restartMark) return slow ? timing.restartLongMs : timing.restartMs;
    return slow ? timing.restartNoMarkLongMs : timing.restartNoMarkMs;
}

PrinterResult DownloadToPrinter(Environment& env, const PreparedFile& file, const Timing& timing,
                                PrinterInfo& printer, ProgressSink& sink, const std::atomic<bool>* stop)
{
    if (printer.notServed) {
        PrinterResult r;
        r.code = kErrNotServed;
        return r;
    }
    return Download(env, file, timing, printer, sink, stop).Run();
}

} // namespace nload

#include "nload/Run.h"

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>

#include "qavres/Resources.h"

namespace nload {

namespace {

// Log and status texts of the run.
enum RunText : int {
    kFetchFailed = 5001,
    kStatusDone = 5009,
    kAllSucceeded = 8060,
    kPrinterFailed = 8061,
    kSomeFailed = 8062,
    kRunStopped = 8071,
};

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

} // namespace

// Carries one printer's steps and progress into the run's state.
class DownloadRun::Sink : public ProgressSink {
public:
    Sink(DownloadRun& run, size_t index) : run_(run), index_(index) {}
    void Status(int textId) override
    {
        std::lock_guard<std::mutex> lock(run_.mutex_);
        run_.state_.printers[index_].statusText = textId;
    }
    void Sent(int bytes) override
    {
        std::lock_guard<std::mutex> lock(run_.mutex_);
        run_.state_.printers[index_].sent = bytes;
    }

private:
    DownloadRun& run_;
    size_t index_;
};

DownloadRun::DownloadRun(Environment& env, const qavres::StringTable& texts, RunSetup setup)
    : env_(env), texts_(texts), setup_(std::move(setup))
{
    printers_ = setup_.printers;
    state_.printers.resize(printers_.size());
}

DownloadRun::~DownloadRun()
{
    Stop();
    if (worker_.joinable()) worker_.join();
}

void DownloadRun::Start()
{
    if (worker_.joinable()) return;
    worker_ = std::thread(&DownloadRun::Work, this);
}

void DownloadRun::Stop()
{
    stop_ = true;
    cancelFetch_ = true;
}

void DownloadRun::StopBeforeNext()
{
    // While the file is still being fetched no printer has begun.
    stopBeforeNext_ = true;
    cancelFetch_ = true;
}

RunSnapshot DownloadRun::Snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

bool DownloadRun::Finished() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return state_.finished;
}

bool DownloadRun::WaitFinished(int ms) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (ms < 0) {
        finishedCv_.wait(lock, [this] { return state_.finished; });
        return true;
    }
    return finishedCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return state_.finished; });
}

std::vector<PrinterInfo> DownloadRun::Printers() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return printers_;
}

bool DownloadRun::AllSucceeded() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!state_.finished) return false;
    for (const PrinterInfo& p : printers_) {
        if (p.last.code != kOk) return false;
    }
    return true;
}

ReportData DownloadRun::Report() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    ReportData d;
    d.fileName = setup_.ftp ? CatalogUrl(*setup_.ftp, setup_.filePath) : setup_.filePath;
    d.file = setup_.file;
    d.startTime = state_.startTime;
    d.endTime = state_.endTime;
    d.printers = printers_;
    d.log = state_.log;
    return d;
}

void DownloadRun::Log(const std::string& line)
{
    std::lock_guard<std::mutex> lock(mutex_);
    state_.log += line + "\n";
}

bool DownloadRun::Prepare(PreparedFile& prepared)
{
    prepared.info = setup_.file;
    std::string path = setup_.filePath;
    std::string temp;
    int code = kOk;
    std::string why;
    if (setup_.ftp) {
        temp = MakeTempFile("qav-download-", &why);
        if (temp.empty() || !FetchFile(*setup_.ftp, setup_.filePath, temp, &why, &cancelFetch_)) {
            if (Stopping()) {
                code = kErrStopped; // given up, not failed
            } else {
                Log(texts_.Get(kFetchFailed) + " " + why);
                code = kErrFileRead;
            }
        }
        path = temp;
    }
    std::vector<unsigned char> file;
    if (code == kOk && !ReadWholeFile(path, file)) {
        why = setup_.filePath + ": cannot be read";
        Log(why);
        code = kErrFileRead;
    }
    if (!temp.empty()) ::unlink(temp.c_str());
    if (code == kOk && !PrepareData(file, prepared.info.kind, prepared.data, &why)) {
        Log(setup_.filePath + ": " + why);
        code = kErrFileTooShort;
    }
    if (code != kOk) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (size_t i = 0; i < printers_.size(); ++i) {
            printers_[i].last = {};
            printers_[i].last.code = code;
            printers_[i].last.status = ErrorMessage(texts_, printers_[i].last);
            state_.printers[i].result = printers_[i].last;
            state_.printers[i].done = true;
        }
        return false;
    }
    prepared.startCommand = StartCommand(prepared.info.checksum, prepared.info.sizeKb);
    std::lock_guard<std::mutex> lock(mutex_);
    state_.dataLength = static_cast<int>(prepared.data.size());
    state_.totalRange = static_cast<long long>(prepared.data.size()) * static_cast<long long>(printers_.size());
    return true;
}

void DownloadRun::Serve(const PreparedFile& prepared, size_t index)
{
    PrinterInfo printer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.printers[index].started = true;
        state_.current = static_cast<int>(index);
        printer = printers_[index];
    }
    Sink sink(*this, index);
    PrinterResult result;
    if (stopBeforeNext_.load()) {
        result.code = kErrStopped;
    } else {
        result = DownloadToPrinter(env_, prepared, setup_.timing, printer, sink, &stop_);
    }
    result.status = result.code == kOk ? texts_.Get(kStatusDone) : ErrorMessage(texts_, result);
    printer.last = result;

    std::lock_guard<std::mutex> lock(mutex_);
    printers_[index] = printer;
    PrinterProgress& progress = state_.printers[index];
    progress.done = true;
    progress.result = result;
    if (result.code == kOk) {
        progress.sent = state_.dataLength;
        progress.statusText = kStatusDone;
    } else {
        state_.log += texts_.Get(kPrinterFailed) + " " + Quoted(printer.DisplayName()) + " " + result.status + "\n";
    }
    state_.totalDone += state_.dataLength;
}

void DownloadRun::Work()
{
    env_.SleepMs(setup_.settleMs);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.startTime = TimeStamp(std::chrono::system_clock::now());
    }
    PreparedFile prepared;
    if (!Prepare(prepared)) {
        if (!Stopping()) Log(texts_.Get(kRunStopped)); // a stopped run says so at its end
        Finish();
        return;
    }
    const size_t count = printers_.size();
    const size_t workers = std::min(count, static_cast<size_t>(std::max(1, setup_.parallel)));
    if (workers <= 1) {
        for (size_t i = 0; i < count; ++i) Serve(prepared, i);
    } else {
        std::atomic<size_t> next{0};
        std::vector<std::thread> pool;
        for (size_t w = 0; w < workers; ++w) {
            pool.emplace_back([&] {
                for (size_t i = next++; i < count; i = next++) Serve(prepared, i);
            });
        }
        for (std::thread& t : pool) t.join();
    }
    Finish();
}

void DownloadRun::Finish()
{
    bool all = true, leftOut = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const PrinterInfo& p : printers_) {
            state_.log += ResultLine(texts_, p) + "\n";
            if (p.last.code != kOk) all = false;
            if (p.last.code == kErrStopped) leftOut = true;
        }
        // A stop asked for while the last printer was served changed nothing.
        if (leftOut) state_.log += texts_.Get(kRunStopped) + "\n";
        state_.log += texts_.Get(all ? kAllSucceeded : kSomeFailed) + "\n";
    }
    env_.SleepMs(setup_.settleMs);
    std::lock_guard<std::mutex> lock(mutex_);
    state_.endTime = TimeStamp(std::chrono::system_clock::now());
    state_.finished = true;
    finishedCv_.notify_all();
}

} // namespace nload

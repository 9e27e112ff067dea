// A scripted printer and clock for exact tests of the download procedure.
//
// Time is virtual: sleeping, waiting for a send and reading advance it by
// exactly what they would wait on a real port, so a test can assert that a
// step came 3000 ms after another. The printer answers with the reactions
// the test queues: each finished send (the start command, a whole data
// send, a block) takes the next reaction, which may put bytes on the line
// some milliseconds later or say nothing.
#pragma once

#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ncomm/QBPResult.h"
#include "nload/Link.h"
#include "nload/Procedure.h"
#include "nload/Protocol.h"

namespace loadertest {

// A reply frame worth `value`.
inline std::vector<unsigned char> Frame(int value)
{
    return {nload::kSoh, nload::kStx, static_cast<unsigned char>('0' + value / 10),
            static_cast<unsigned char>('0' + value % 10), '2', '0', '0', '0', '0', nload::kEtx, nload::kEot,
            nload::kCr, nload::kLf};
}

struct Reaction {
    int delayMs = 0;
    std::vector<unsigned char> bytes; // empty: the printer says nothing
};

// What happened, and when.
struct Event {
    int64_t at = 0;
    std::string what; // "open", "command", "send", "close", "watch", "read", "sleep"
    int size = 0;
};

struct FakeState {
    int64_t now = 0;
    std::vector<Event> events;
    std::vector<std::vector<unsigned char>> sends; // each background send's bytes
    std::vector<unsigned char> commands;           // bytes of the blocking sends

    // The printer.
    int openResult = 0;
    int commandResult = 0;
    int receiveFailure = 0;              // a negative code: every read fails so
    int readTimeMs = 3000;               // a read with nothing to read waits this long
    int bytesPerPoll = 1 << 30;          // a background send moves this much per wait step
    int stallAfter = -1;                 // a background send stops moving after this many bytes
    int sendEndState = 2;                // a background send ends in this state
    std::deque<Reaction> reactions;
    std::deque<std::pair<int64_t, std::vector<unsigned char>>> line; // bytes on the line, and when they come

    // Trap reception and the read after the restart.
    bool trapsAvailable = true;
    std::optional<int> trapAfterMs;      // a trap comes this long after the watch starts
    int readResult = nload::kOk;
    std::string versionAfterRestart;     // for every kind

    void Note(const std::string& what, int size = 0) { events.push_back({now, what, size}); }
    void React()
    {
        if (reactions.empty()) return;
        Reaction r = reactions.front();
        reactions.pop_front();
        if (!r.bytes.empty()) line.emplace_back(now + r.delayMs, r.bytes);
    }
    const Event* Find(const std::string& what, int nth = 0) const
    {
        for (const Event& e : events) {
            if (e.what == what && nth-- == 0) return &e;
        }
        return nullptr;
    }
    // The place of the first such event, -1 when there is none.
    int Index(const std::string& what) const
    {
        for (size_t i = 0; i < events.size(); ++i) {
            if (events[i].what == what) return static_cast<int>(i);
        }
        return -1;
    }
    int Count(const std::string& what) const
    {
        int n = 0;
        for (const Event& e : events) n += e.what == what;
        return n;
    }
};

class FakePort : public nload::Port {
public:
    explicit FakePort(FakeState& s) : s_(s) {}
    int Open(const std::string& portName, const std::string& address) override
    {
        s_.Note("open");
        opened_ = portName + " " + address;
        return s_.openResult;
    }
    int SendBlocking(const void* data, int length) override
    {
        s_.Note("command", length);
        if (s_.commandResult != 0) return s_.commandResult;
        const auto* p = static_cast<const unsigned char*>(data);
        s_.commands.insert(s_.commands.end(), p, p + length);
        s_.React();
        return 0;
    }
    int StartSend(const void* data, int length) override
    {
        s_.Note("send", length);
        const auto* p = static_cast<const unsigned char*>(data);
        s_.sends.emplace_back(p, p + length);
        total_ = length;
        sent_ = 0;
        state_ = 1;
        return 0;
    }
    bool WaitSendEnd(int ms) override
    {
        if (state_ != 1) return true;
        s_.now += ms;
        int limit = total_;
        if (s_.stallAfter >= 0) limit = std::min(limit, s_.stallAfter);
        sent_ = std::min(limit, sent_ + s_.bytesPerPoll);
        if (sent_ < total_) return false;
        state_ = s_.sendEndState;
        s_.React();
        return true;
    }
    int SendState() const override { return state_; }
    int SentBytes() const override { return sent_; }
    int Receive(unsigned char* buffer, int size, int& received) override
    {
        s_.Note("receive");
        received = 0;
        if (s_.receiveFailure != 0) return s_.receiveFailure;
        if (s_.line.empty() || s_.line.front().first > s_.now + s_.readTimeMs) {
            s_.now += s_.readTimeMs;
            return 0;
        }
        auto& [at, bytes] = s_.line.front();
        s_.now = std::max(s_.now, at);
        const int n = std::min(size, static_cast<int>(bytes.size()));
        std::memcpy(buffer, bytes.data(), static_cast<size_t>(n));
        bytes.erase(bytes.begin(), bytes.begin() + n);
        if (bytes.empty()) s_.line.pop_front();
        received = n;
        return 0;
    }
    void Close() override { s_.Note("close"); }
    int SystemError() const override { return 0; }

    std::string opened_;

private:
    FakeState& s_;
    int total_ = 0, sent_ = 0, state_ = 0;
};

class FakeWatch : public nload::TrapWatch {
public:
    FakeWatch(FakeState& s) : s_(s), start_(s.now) {}
    bool Wait(int ms) override
    {
        if (s_.trapAfterMs && start_ + *s_.trapAfterMs <= s_.now + ms) {
            s_.now = std::max(s_.now, start_ + *s_.trapAfterMs);
            return true;
        }
        s_.now += ms;
        return false;
    }

private:
    FakeState& s_;
    int64_t start_;
};

class FakeEnvironment : public nload::Environment {
public:
    FakeState state;
    std::string lastOpened;

    std::unique_ptr<nload::Port> MakePort() override { return std::make_unique<Recorder>(*this); }
    std::unique_ptr<nload::TrapWatch> WatchTraps(const std::string&) override
    {
        state.Note("watch");
        if (!state.trapsAvailable) return nullptr;
        return std::make_unique<FakeWatch>(state);
    }
    int ReadInfo(nload::PrinterInfo& printer) override
    {
        // The information of several printers is read at once.
        std::lock_guard<std::mutex> lock(readMutex_);
        state.Note("read");
        if (state.readResult != nload::kOk) {
            printer.last.code = state.readResult;
            printer.last.result = QBP_SNMP_TIMEOUT;
            for (auto& v : printer.versions) v.clear();
            return state.readResult;
        }
        for (auto& v : printer.versions) v = state.versionAfterRestart;
        return nload::kOk;
    }
    int64_t NowMs() override { return state.now; }
    void SleepMs(int ms) override
    {
        state.Note("sleep", ms);
        state.now += ms;
    }

private:
    std::mutex readMutex_;
    // A port that also tells the environment what it was opened on.
    class Recorder : public FakePort {
    public:
        explicit Recorder(FakeEnvironment& env) : FakePort(env.state), env_(env) {}
        int Open(const std::string& portName, const std::string& address) override
        {
            const int rc = FakePort::Open(portName, address);
            env_.lastOpened = opened_;
            return rc;
        }

    private:
        FakeEnvironment& env_;
    };
};

// Records what the procedure reports.
class RecordingSink : public nload::ProgressSink {
public:
    std::vector<int> statuses;
    std::vector<int> sent;
    void Status(int textId) override { statuses.push_back(textId); }
    void Sent(int bytes) override { sent.push_back(bytes); }
};

} // namespace loadertest

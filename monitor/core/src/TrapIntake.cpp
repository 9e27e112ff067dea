#include "nwatch/TrapIntake.h"

#include "nlist/Nlist.h"
#include "qavplatform/Address.h"

namespace nwatch {

TrapIntake::TrapIntake(ContextSource context, Deliver deliver, Options options)
    : context_(std::move(context)), deliver_(std::move(deliver)), options_(options),
      check_([](uint32_t address, const ReadContext& c, bool* answered) { return AskMakerFlag(address, c, answered); })
{
    if (options_.maxChecks < 1) options_.maxChecks = 1;
}

TrapIntake::~TrapIntake() { Stop(); }

void TrapIntake::SetCheck(Check check)
{
    std::lock_guard<std::mutex> lock(mutex_);
    check_ = std::move(check);
}

void TrapIntake::SetNote(std::function<void(const std::string&)> note)
{
    std::lock_guard<std::mutex> lock(mutex_);
    note_ = std::move(note);
}

TrapIntake::Counts TrapIntake::GetCounts() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_;
}

void TrapIntake::Accept(const char* sender, int generic, int specific, const char* enterprise,
                        const CQBPVb& bindings)
{
    const uint32_t address = ParseSenderAddress(sender);
    const int index = address == 0 ? -1 : FindListDatabyIPAddress(address);
    if (index < 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts_.dropped;
        return;
    }
    TrapEvent event = MakeTrapEvent(address, index, generic, specific, enterprise, bindings);
    {
        // A printer under check: its traps keep their order behind the check.
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = pending_.find(address);
        if (stopping_ || (it != pending_.end() && it->second.checking)) {
            QueueBehindCheck(it == pending_.end() ? nullptr : &it->second, std::move(event));
            return;
        }
    }
    // Traps come from one receiving thread, so no check of this printer can
    // begin before this trap has decided.
    const int flag = KnownMakerFlag(address);
    const ReadContext now = flag == -1 && context_ ? context_() : ReadContext{};
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_ || flag == 0) {
        pending_.erase(address);
        ++counts_.dropped;
        return;
    }
    if (flag == 1) {
        pending_.erase(address);
        DeliverLocked(std::move(event));
        return;
    }
    Pending& p = pending_[address];
    const bool paused = std::chrono::steady_clock::now() < p.retryAt && now.readCommunity == p.readCommunity &&
                        now.writeCommunity == p.writeCommunity;
    if (paused) {
        ++counts_.dropped;
        return;
    }
    p.checking = true;
    p.waiting.push_back(std::move(event));
    StartCheck(address);
}

void TrapIntake::QueueBehindCheck(Pending* p, TrapEvent&& event)
{
    if (!stopping_ && p && p->waiting.size() < options_.maxWaiting) {
        p->waiting.push_back(std::move(event));
    } else {
        ++counts_.dropped;
    }
}

void TrapIntake::StartCheck(uint32_t address)
{
    queue_.push_back(address);
    if (idle_ == 0 && static_cast<int>(checkers_.size()) < options_.maxChecks) {
        checkers_.emplace_back([this] { RunChecker(); });
    } else {
        wake_.notify_one();
    }
}

void TrapIntake::RunChecker()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        ++idle_;
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        --idle_;
        if (stopping_) return;
        const uint32_t address = queue_.front();
        queue_.pop_front();
        ++counts_.checks;
        const Check check = check_;
        const auto note = note_;
        lock.unlock();
        const ReadContext context = context_ ? context_() : ReadContext{};
        bool answered = false;
        const int flag = check(address, context, &answered);
        lock.lock();
        const std::string line = Finish(address, flag, answered, context);
        if (note) {
            lock.unlock();
            note(line);
            lock.lock();
        }
    }
}

std::string TrapIntake::Finish(uint32_t address, int flag, bool answered, const ReadContext& context)
{
    const std::string who = "maker check of " + qavplatform::AddressText(address) + ": ";
    auto it = pending_.find(address);
    if (it == pending_.end()) return who + "done";
    std::vector<TrapEvent> waiting = std::move(it->second.waiting);
    const std::string traps = std::to_string(waiting.size()) + " trap(s)";
    if (!answered) {
        ++counts_.unanswered;
        it->second.checking = false;
        it->second.waiting.clear();
        it->second.retryAt = std::chrono::steady_clock::now() + options_.retryAfter;
        it->second.readCommunity = context.readCommunity;
        it->second.writeCommunity = context.writeCommunity;
        counts_.dropped += waiting.size();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(options_.retryAfter).count();
        return who + "no answer, " + traps + " dropped; asked again after " + std::to_string(seconds) + " s";
    }
    pending_.erase(it);
    if (stopping_ || flag != 1) {
        counts_.dropped += waiting.size();
        return who + (flag == 1 ? "the maker's printer" : "another maker's printer") + ", " + traps + " dropped";
    }
    // The list may have changed while the printer was asked.
    const int index = FindListDatabyIPAddress(address);
    for (TrapEvent& e : waiting) {
        if (index < 0) {
            ++counts_.dropped;
            continue;
        }
        e.listIndex = index;
        DeliverLocked(std::move(e));
    }
    return who + "the maker's printer, " + traps + " handed on";
}

void TrapIntake::DeliverLocked(TrapEvent&& event)
{
    ++counts_.delivered;
    if (deliver_) deliver_(std::move(event));
}

void TrapIntake::Stop()
{
    std::vector<std::thread> checkers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
        checkers.swap(checkers_);
        wake_.notify_all();
    }
    for (std::thread& t : checkers) {
        if (t.joinable()) t.join();
    }
}

} // namespace nwatch

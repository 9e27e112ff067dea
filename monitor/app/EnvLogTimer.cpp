#include "EnvLogTimer.h"

#include <cstdio>
#include <cstdlib>

#include "Channels.h"
#include "Texts.h"

namespace nwatch {

namespace {

// "YYYY-MM-DD HH:MM:SS" as a local time; -1 when it is none.
std::time_t ParseLocalTime(const char* text)
{
    std::tm tm{};
    char end = 0;
    if (std::sscanf(text, "%d-%d-%d %d:%d:%d%c", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour, &tm.tm_min,
                    &tm.tm_sec, &end) != 6)
        return -1;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

} // namespace

EnvLogTimer::EnvLogTimer(std::function<ReadContext()> context, QObject* parent)
    : QObject(parent), context_(std::move(context)), clock_([] { return std::time(nullptr); })
{
    connect(&check_, &QTimer::timeout, this, &EnvLogTimer::Check);
    UseTestSeams();
}

void EnvLogTimer::UseTestSeams()
{
    // QAV_ENVLOG_CLOCK="YYYY-MM-DD HH:MM:SS": the log's clock starts at that
    // local time and runs on with the real one; QAV_ENVLOG_CHECK_MS: the
    // check period. For tests of the whole program, which cannot wait for a
    // real minute to come.
    if (const char* text = std::getenv("QAV_ENVLOG_CLOCK")) {
        const std::time_t start = ParseLocalTime(text);
        if (start == -1) {
            std::fprintf(stderr, "nwatch: QAV_ENVLOG_CLOCK=%s is no local time \"YYYY-MM-DD HH:MM:SS\"; "
                                 "the environmental log keeps the real clock\n", text);
        } else {
            const std::time_t offset = start - std::time(nullptr);
            clock_ = [offset] { return std::time(nullptr) + offset; };
        }
    }
    if (const char* text = std::getenv("QAV_ENVLOG_CHECK_MS")) {
        const int ms = std::atoi(text);
        if (ms > 0) checkPeriodMs_ = ms;
    }
}

EnvLogTimer::~EnvLogTimer() { Stop(); }

void EnvLogTimer::Rearm(const qavsettings::EnvironmentalLogConfig& settings)
{
    settings_ = settings;
    schedule_ = ComputeEnvSchedule(settings, Language(), clock_());
    if (schedule_.On() && !stopped_) {
        if (!check_.isActive()) check_.start(checkPeriodMs_);
        Trace("environmental log: next report " + LocalTimeText(schedule_.next) + " to " + settings.filename);
    } else {
        check_.stop();
        Trace("environmental log: off");
    }
}

void EnvLogTimer::Check()
{
    if (stopped_ || !EnvScheduleDue(schedule_, clock_())) return;
    Trace("environmental log: report due; the next one " + LocalTimeText(schedule_.next));
    StartReport();
}

void EnvLogTimer::StartReport()
{
    const EnvReportOptions options = EnvReportOptions::FromSettings(settings_);
    const ReadContext context = context_();
    std::weak_ptr<int> alive = alive_;
    ++underWay_;
    if (!options.headCheck) {
        worker_.Post([this, alive, options, context, clock = clock_](const std::atomic<bool>& stop) {
            const EnvReportResult r = WriteEnvReport(options, context, nullptr, &stop, clock());
            QMetaObject::invokeMethod(this, [this, alive, r] { if (alive.lock()) Done(r); }, Qt::QueuedConnection);
        });
        return;
    }
    // The head checks start now; the report follows once they had time to
    // finish.
    worker_.Post([this, alive, context](const std::atomic<bool>& stop) {
        auto checks = std::make_shared<HeadChecks>(StartHeadChecks(context, &stop));
        QMetaObject::invokeMethod(
            this,
            [this, alive, checks] {
                if (!alive.lock()) return;
                Trace("environmental log: head check started on " + std::to_string(checks->size()) + " printer(s)");
                QTimer::singleShot(headCheckWaitMs_, this, [this, checks] { Write(checks); });
            },
            Qt::QueuedConnection);
    });
}

void EnvLogTimer::Write(std::shared_ptr<HeadChecks> checks)
{
    if (stopped_) return;
    const EnvReportOptions options = EnvReportOptions::FromSettings(settings_);
    const ReadContext context = context_();
    std::weak_ptr<int> alive = alive_;
    worker_.Post([this, alive, options, context, checks, clock = clock_](const std::atomic<bool>& stop) {
        const EnvReportResult r = WriteEnvReport(options, context, checks.get(), &stop, clock());
        QMetaObject::invokeMethod(this, [this, alive, r] { if (alive.lock()) Done(r); }, Qt::QueuedConnection);
    });
}

void EnvLogTimer::Done(const EnvReportResult& r)
{
    --underWay_;
    if (r.noObjectTable) {
        Trace("environmental log: no report, the object table is not loaded");
    } else {
        Trace("environmental log: " + std::to_string(r.included) + " of " + std::to_string(r.printers) +
              " printers, " + std::to_string(r.lines) + " lines written" +
              (r.linesLost ? ", " + std::to_string(r.linesLost) + " lost" : std::string()));
    }
    emit reportWritten(r.included, r.lines);
}

void EnvLogTimer::Stop()
{
    stopped_ = true;
    check_.stop();
    worker_.Stop();
}

} // namespace nwatch

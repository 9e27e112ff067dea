// The environmental log in the running monitor: the schedule check every
// 40 s while the log is on, the head checks and the report 5 s after them,
// all exchanges with printers on a worker thread of their own so that the
// tray never waits for a printer.
#pragma once

#include <QObject>
#include <QTimer>

#include <ctime>
#include <functional>
#include <memory>

#include "nwatch/EnvReport.h"
#include "nwatch/EnvSchedule.h"
#include "nwatch/MailWorker.h"
#include "nwatch/StatusReaders.h"

namespace nwatch {

class EnvLogTimer : public QObject {
    Q_OBJECT
public:
    // `context` is asked on the window thread when a report starts.
    explicit EnvLogTimer(std::function<ReadContext()> context, QObject* parent = nullptr);
    ~EnvLogTimer() override;

    // Computes the schedule from the settings (at start and when the log
    // settings change) and runs the check while the log is on.
    void Rearm(const qavsettings::EnvironmentalLogConfig& settings);
    // The check: when the minute of the next report time has come, the
    // schedule moves on and a report (with the head checks first, when they
    // are on) starts.
    void Check();
    // At exit: nothing new starts, a report under way ends before its next
    // printer.
    void Stop();

    bool Armed() const { return check_.isActive(); }
    const EnvSchedule& Schedule() const { return schedule_; }
    int ReportsUnderWay() const { return underWay_; }

    // Seams for the tests: the clock (of the schedule and of the report's
    // header), the check period and the wait between the head checks and
    // their report.
    void SetClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }
    void SetCheckPeriod(int ms) { checkPeriodMs_ = ms; }
    void SetHeadCheckWait(int ms) { headCheckWaitMs_ = ms; }

signals:
    // On the window thread, when a report is done.
    void reportWritten(int included, int lines);

private:
    void UseTestSeams();
    void StartReport();
    void Write(std::shared_ptr<HeadChecks> checks);
    void Done(const EnvReportResult& result);

    std::function<ReadContext()> context_;
    std::function<std::time_t()> clock_;
    qavsettings::EnvironmentalLogConfig settings_;
    EnvSchedule schedule_;
    QTimer check_;
    int checkPeriodMs_ = 40000;
    int headCheckWaitMs_ = kHeadCheckWaitMs;
    int underWay_ = 0;
    bool stopped_ = false;
    // Work that reaches the window thread after this object has gone finds
    // the token gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    MailWorker worker_; // the same job queue the mail channel runs on
};

} // namespace nwatch

// The status monitor's timer and the disconnection check. The timer is
// kept here as plain state (is it armed, with which interval) so that its
// rules are tested without a window; the window's QTimer only follows
// IntervalMs().
#pragma once

#include <functional>
#include <string>

namespace nstat {

class Printer;

// Section "Polling" of QAVSurveyConfig.INI: "Polling" (default 0) and
// "DetailedDuration" in seconds (default the current period).
struct PollingSettings {
    bool on = false;
    int period = 120;
};
inline constexpr int kInitialPeriod = 120;
PollingSettings ReadPollingSettings(int currentPeriod, const std::string& surveyFile = {});

class PollingClock {
public:
    enum class Action {
        kNone,         // nothing to do now
        kCollectCheck, // collect the disconnection check's result
        kRefresh,      // refresh the window
    };

    // Applies the polling settings: off stops the timer; on takes the
    // period and arms the timer with it unless it is 0.
    void Apply(const PollingSettings& settings);
    bool PollingOn() const { return pollingOn_; }
    int Period() const { return period_; }
    // The period the status bar shows: 0 while polling is off.
    int ShownPeriod() const { return pollingOn_ ? period_ : 0; }

    // The timer's interval in milliseconds; 0 while it is stopped.
    int IntervalMs() const { return intervalMs_; }

    // The timer fired. With a check pending the timer stops and the result
    // is to be collected; while a remote key is busy the timer retries in
    // a second; otherwise it stops and the window refreshes.
    Action Tick();
    // The refresh the timer asked for is done: the timer runs again.
    void RefreshDone();

    // The remote key dialog's busy flag.
    void SetKeyBusy(bool busy) { keyBusy_ = busy; }
    bool KeyBusy() const { return keyBusy_; }

    // Disconnection check: the timer stops and the check is pending.
    void BeginCheck();
    // The check was refused or could not start: nothing to collect.
    void CancelCheck() { checkPending_ = false; }
    // The check's write is sent: the timer collects in 5 s.
    void CheckSent();
    // The check's result is collected: the timer runs again.
    void CheckCollected();
    bool CheckPending() const { return checkPending_; }

private:
    void Restart();

    bool pollingOn_ = false;
    int period_ = kInitialPeriod;
    int intervalMs_ = 0;
    bool keyBusy_ = false;
    bool checkPending_ = false;
};

inline constexpr int kKeyRetryMs = 1000;
inline constexpr int kCheckCollectMs = 5000;

// The start of a disconnection check, off the window thread: the status
// code (object 20901) must be 0 or 27, then object 20881 is written with 1.
enum class CheckStart { kSent, kRefused, kWriteFailed };
CheckStart StartDisconnectionCheck(Printer& printer);

// Collects the result: object 20941 is read up to twice, a second apart;
// true once it reads a value other than -1. A failed read ends the
// attempts. `sleep` waits the given milliseconds.
bool CollectDisconnectionCheck(Printer& printer, const std::function<void(int)>& sleep);

} // namespace nstat

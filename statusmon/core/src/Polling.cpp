#include "nstat/Polling.h"

#include "nstat/Format.h"
#include "nstat/Printer.h"
#include "qavsettings/SettingsFiles.h"

namespace nstat {

PollingSettings ReadPollingSettings(int currentPeriod, const std::string& surveyFile)
{
    qavsettings::SurveyConfig previous;
    previous.detailedDuration = currentPeriod;
    const qavsettings::SurveyConfig c =
        surveyFile.empty() ? qavsettings::ReadSurveyConfig(qavsettings::Reader::kStatusMonitor, previous)
                           : qavsettings::ReadSurveyConfig(qavsettings::Reader::kStatusMonitor, previous, surveyFile);
    PollingSettings s;
    s.on = c.polling != 0;
    s.period = s.on ? c.detailedDuration : currentPeriod;
    return s;
}

void PollingClock::Apply(const PollingSettings& settings)
{
    pollingOn_ = settings.on;
    if (!pollingOn_) {
        intervalMs_ = 0;
        return;
    }
    period_ = settings.period;
    intervalMs_ = period_ > 0 ? period_ * 1000 : 0;
}

// The timer runs with the period again, as long as polling is on: a check
// or a key made while polling is off leaves the timer stopped afterwards.
void PollingClock::Restart() { intervalMs_ = pollingOn_ && period_ > 0 ? period_ * 1000 : 0; }

PollingClock::Action PollingClock::Tick()
{
    if (checkPending_) {
        intervalMs_ = 0;
        return Action::kCollectCheck;
    }
    if (keyBusy_) {
        intervalMs_ = kKeyRetryMs;
        return Action::kNone;
    }
    intervalMs_ = 0;
    return Action::kRefresh;
}

void PollingClock::RefreshDone()
{
    if (!checkPending_ && intervalMs_ == 0) Restart();
}

void PollingClock::BeginCheck()
{
    intervalMs_ = 0;
    checkPending_ = true;
}

void PollingClock::CheckSent() { intervalMs_ = kCheckCollectMs; }

void PollingClock::CheckCollected()
{
    checkPending_ = false;
    Restart();
}

CheckStart StartDisconnectionCheck(Printer& printer)
{
    printer.Read({{obj::kStatusCode, 2}});
    const std::string& code = printer.State().Value(obj::kStatusCode);
    const int n = code.empty() ? -1 : LeadingInt(code, -1);
    if (n != 0 && n != 27) return CheckStart::kRefused;
    return printer.WriteInteger(obj::kHeadCheck, 1) ? CheckStart::kSent : CheckStart::kWriteFailed;
}

bool CollectDisconnectionCheck(Printer& printer, const std::function<void(int)>& sleep)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0) sleep(1000);
        if (!printer.Read({{obj::kHeadFlag, 2}})) return false;
        const std::string& value = printer.State().Value(obj::kHeadFlag);
        if (!value.empty() && value != "-1") return true;
    }
    return false;
}

} // namespace nstat

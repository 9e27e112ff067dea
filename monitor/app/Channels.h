// The notification channels as the monitor provides them.
#pragma once

#include <functional>
#include <string>

#include "nwatch/TrapHandler.h"

namespace nwatch {

// Writes "nwatch: ..." to standard error when QAV_TRACE is set: which
// channel fired for which trap, for administrators following a problem.
void Trace(const std::string& line);

class MonitorChannels : public TrapChannels {
public:
    struct Hooks {
        std::function<bool()> mayOpenListWindow;
        std::function<void()> openListWindow; // posts the list command
        std::function<int()> administratorFlag;
    };
    explicit MonitorChannels(Hooks hooks) : hooks_(std::move(hooks)) {}

    bool MayOpenListWindow() override;
    void OpenListWindow() override;
    // Starts the status monitor for the printer: "nstat ADDRESS FLAG".
    void Popup(const NotificationRecord& record) override;
    void PlaySound(const std::string& path) override;
    // Mail is sent by the mail channel; until it is in place the request is
    // only recorded.
    void SendMail(const NotificationRecord& record) override;
    void WriteTrapLog(const NotificationRecord& record, int rowSpecific) override;

    unsigned long MailRequests() const { return mailRequests_; }

private:
    Hooks hooks_;
    unsigned long mailRequests_ = 0;
};

} // namespace nwatch

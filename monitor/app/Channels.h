// The notification channels as the monitor provides them.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "nwatch/MailWorker.h"
#include "nwatch/TrapHandler.h"

class QObject;

namespace nwatch {

// Writes "nwatch: ..." to standard error when QAV_TRACE is set: which
// channel fired for which trap, for administrators following a problem.
void Trace(const std::string& line);

// The folder of the notification sounds: the resource folder's sound folder
// (text 3199).
std::string SoundFolder();

class MonitorChannels : public TrapChannels {
public:
    struct Hooks {
        std::function<bool()> mayOpenListWindow;
        std::function<void()> openListWindow; // posts the list command
        std::function<int()> administratorFlag;
        // What the mail step reads printers with (taken on the window thread).
        std::function<ReadContext()> context;
        // The window thread's object: finished mail work is handed back to it.
        QObject* owner = nullptr;
        // Called on the window thread when mail work begins or ends (the
        // busy flag changes).
        std::function<void()> busyChanged;
        // Where the status monitor is started from; empty: the program folder.
        std::string programFolder;
    };
    explicit MonitorChannels(Hooks hooks) : hooks_(std::move(hooks)) {}
    ~MonitorChannels() override;

    bool MayOpenListWindow() override;
    void OpenListWindow() override;
    // Starts the status monitor for the printer: "nstat ADDRESS FLAG".
    void Popup(const NotificationRecord& record) override;
    void PlaySound(const std::string& path) override;
    // Hands the mail step (the status read and the mail exchange) to the
    // mail worker and returns at once; the mails of successive traps go out
    // one after another, in trap order.
    void SendMail(const NotificationRecord& record) override;
    void WriteTrapLog(const NotificationRecord& record, int rowSpecific) override;

    unsigned long MailRequests() const { return mailRequests_; }
    // Mails handed to the worker and not yet done: while there are any, the
    // monitor is busy.
    int MailsUnderWay() const { return mailsUnderWay_; }
    unsigned long MailsDone() const { return mailsDone_; }
    // At exit: drops the mails not yet begun and waits for the one under
    // way, which stops before its next attempt.
    void StopMail();

private:
    void MailDone(const std::string& line);

    Hooks hooks_;
    unsigned long mailRequests_ = 0;
    unsigned long mailsDone_ = 0;
    int mailsUnderWay_ = 0; // window thread only
    // Finished mail work that reaches the window thread after this object
    // has gone finds the token gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    MailWorker mailWorker_;
};

} // namespace nwatch

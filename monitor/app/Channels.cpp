#include "Channels.h"

#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "Texts.h"
#include "nwatch/MailChannel.h"
#include "nwatch/TrapLogger.h"
#include "qavplatform/Address.h"
#include "qavplatform/ProgramStart.h"
#include "qavplatform/Sound.h"
#include "qavsettings/SettingsFiles.h"

namespace nwatch {

namespace {
std::string Which(const NotificationRecord& r)
{
    return qavplatform::AddressText(r.address) + " " + std::to_string(r.generic) + "/" + std::to_string(r.specific);
}
} // namespace

void Trace(const std::string& line)
{
    static const bool on = std::getenv("QAV_TRACE") != nullptr;
    if (!on) return;
    std::fprintf(stderr, "nwatch: %s\n", line.c_str());
    std::fflush(stderr);
}

std::string SoundFolder() { return qavres::ResourceDir() + "/" + Language().Get(3199); }

MonitorChannels::~MonitorChannels() { StopMail(); }

bool MonitorChannels::MayOpenListWindow() { return hooks_.mayOpenListWindow && hooks_.mayOpenListWindow(); }

void MonitorChannels::OpenListWindow()
{
    Trace("channel list");
    if (hooks_.openListWindow) hooks_.openListWindow();
}

void MonitorChannels::Popup(const NotificationRecord& r)
{
    const std::string flag = std::to_string(hooks_.administratorFlag ? hooks_.administratorFlag() : 0);
    std::string error;
    const std::string folder = hooks_.programFolder.empty() ? qavplatform::ProgramDir() : hooks_.programFolder;
    const int rc = qavplatform::StartProgramFrom(folder, "nstat", {qavplatform::AddressText(r.address), flag}, nullptr, &error);
    Trace("channel popup " + Which(r) + (rc == 0 ? "" : " (nstat not started: " + error + ")"));
}

void MonitorChannels::PlaySound(const std::string& path)
{
    Trace("channel sound " + path);
    // A short pause first, then the sound plays while the monitor goes on.
    QTimer::singleShot(200, [path] {
        std::string error;
        if (!qavplatform::PlaySoundFile(path, &error)) Trace("sound not played: " + error);
    });
}

void MonitorChannels::SendMail(const NotificationRecord& r)
{
    ++mailRequests_;
    Trace("channel mail " + Which(r));
    if (++mailsUnderWay_ == 1 && hooks_.busyChanged) hooks_.busyChanged();
    const ReadContext context = hooks_.context ? hooks_.context() : ReadContext{};
    QObject* owner = hooks_.owner;
    std::weak_ptr<int> alive = alive_;
    const bool posted = owner && mailWorker_.Post([this, r, context, owner, alive](const std::atomic<bool>& stop) {
        const MailReport report = RunMailChannel(r, context, &stop);
        const std::string line = "mail " + Which(r) + ": " + report.Summary();
        QMetaObject::invokeMethod(
            owner,
            [this, line, alive] {
                if (alive.lock()) MailDone(line);
            },
            Qt::QueuedConnection);
    });
    if (!posted) MailDone("mail " + Which(r) + ": not sent (no mail worker)");
}

void MonitorChannels::MailDone(const std::string& line)
{
    Trace(line);
    ++mailsDone_;
    if (mailsUnderWay_ > 0 && --mailsUnderWay_ == 0 && hooks_.busyChanged) hooks_.busyChanged();
}

void MonitorChannels::StopMail()
{
    const int dropped = mailWorker_.Stop();
    mailsUnderWay_ -= dropped;
    if (dropped > 0) Trace("mail: " + std::to_string(dropped) + " mail(s) not sent, the monitor is closing");
}

void MonitorChannels::WriteTrapLog(const NotificationRecord& r, int rowSpecific)
{
    // The trap log's settings are read for every trap.
    const qavsettings::LogConfig config = qavsettings::ReadLogConfig(0);
    TrapLogSettings s;
    s.fileName = config.trap.filename;
    s.maximumKilobytes = config.trap.maximumSize;
    s.error = config.trap.error != 0;
    s.jobInformation = config.trap.jobInformation != 0;
    const int written = CNWATCHLogger::TrapLogEntry(r, rowSpecific, s);
    Trace("channel log " + Which(r) + (written ? "" : " (not written)"));
}

} // namespace nwatch

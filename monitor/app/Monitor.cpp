#include "Monitor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QSystemTrayIcon>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Channels.h"
#include "EnvLogTimer.h"
#include "Icons.h"
#include "Links.h"
#include "LoginDialog.h"
#include "Texts.h"
#include "ncomm/CQBPTrans.h"
#include "nlist/Nlist.h"
#include "nwatch/TrapLogger.h"
#include "qavplatform/Administrator.h"
#include "qavplatform/MessageBus.h"
#include "qavplatform/NamedLocks.h"
#include "qavplatform/ProgramStart.h"
#include "qavsettings/DataFolder.h"

// The device search of the device list library (runs its progress window
// until the search ends).
void SearchDevices() __attribute__((weak));

namespace nwatch {

namespace {

int TrapPort()
{
    const char* env = std::getenv("QAV_TRAP_PORT");
    return env && std::atoi(env) > 0 ? std::atoi(env) : 162;
}

// Whether this process may receive on the trap port: a socket of its own is
// bound there for a moment. When not, the system's reason in `why` and the
// error number in `error`.
bool TrapPortFree(int port, std::string& why, int& error)
{
    int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        error = errno;
        why = std::strerror(error);
        return false;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool ok = ::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    if (!ok) {
        error = errno;
        why = std::strerror(error);
    }
    ::close(s);
    return ok;
}

// Text 4064 for the port in use: the text names the standard port, which
// becomes the real one.
QString TrapPortText(int port)
{
    QString text = T(4064);
    const QString standard = "UDP 162";
    const QString real = "UDP " + QString::number(port);
    if (text.contains(standard)) {
        text.replace(standard, real);
    } else if (port != 162) {
        text += " (" + real + ")";
    }
    return text;
}

std::string GroupFilePath() { return qavsettings::DataFilePath(qavsettings::kGroupFile); }

// How often the fleet is counted again while the list window's refresh
// rewrites the records.
constexpr int kFleetRecountMs = 2000;

} // namespace

Monitor::Monitor()
{
    channels_ = std::make_unique<MonitorChannels>(MonitorChannels::Hooks{
        // Mail under way does not count here: it belongs to earlier traps,
        // and this trap's list channel comes before its own mail.
        [this] { return windowsShown_ && !ListWindowBusy() && !SettingsDialogOpen() && busy_ == 0 && !listShown_; },
        [this] {
            QMetaObject::invokeMethod(
                this, [this] { Command(mode_ == kUserMode ? kCmdListUser : kCmdListAdmin); }, Qt::QueuedConnection);
        },
        [this] { return AdministratorFlag(); },
        [this] { return Context(); },
        this,
        [this] {
            RebuildTrayMenu();
            RefreshTrayState(); // the mail step reads the printer's status again
        },
        {}});
    connect(&pollTimer_, &QTimer::timeout, this, &Monitor::OnPollTimer);
    fleetTimer_.setInterval(kFleetRecountMs);
    connect(&fleetTimer_, &QTimer::timeout, this, &Monitor::RefreshTrayState);
    envLog_ = std::make_unique<EnvLogTimer>([this] { return Context(); });
    // Accepted traps go to the window thread as copies, in their order.
    intake_ = std::make_unique<TrapIntake>([this] { return Context(); },
                                           [this](TrapEvent&& event) {
                                               QMetaObject::invokeMethod(
                                                   this, [this, e = std::move(event)] { HandleTrap(e); },
                                                   Qt::QueuedConnection);
                                           });
    intake_->SetNote([](const std::string& line) { Trace(line); });

    receiver_ = new qavplatform::MessageReceiver(this);
    if (!receiver_->isListening()) {
        Trace("no session bus: the other programs' change messages do not reach the monitor");
    }
    connect(receiver_, &qavplatform::MessageReceiver::logSettingsChanged, this, &Monitor::OnLogSettingsChanged);
    connect(receiver_, &qavplatform::MessageReceiver::surveillanceOptionsChanged, this,
            &Monitor::OnSurveillanceOptionsChanged);
    connect(receiver_, &qavplatform::MessageReceiver::nlistExit, this, &Monitor::OnListWindowClosed);
}

Monitor::~Monitor()
{
    // Trap reception ends first: its threads call into this object.
    StopTraps();
    intake_->Stop();
    polling_.Stop();
    polling_.Wait();
}

int Monitor::Busy() const
{
    // Mail under way counts as busy, as the mail step did when it ran on the
    // window thread.
    if (busy_ != 0) return busy_;
    return channels_ && channels_->MailsUnderWay() > 0 ? 1 : 0;
}

void Monitor::ReadSettings()
{
    mgmt_ = qavsettings::ReadMgmtConfig(qavsettings::Reader::kMonitor, mgmt_);
    survey_ = qavsettings::ReadSurveyConfig(qavsettings::Reader::kMonitor, survey_);
    log_ = qavsettings::ReadLogConfig(0);
    search_ = qavsettings::ReadSearchConfig(qavsettings::Reader::kMonitor);
}

ReadContext Monitor::Context()
{
    ReadContext c;
    c.objects = objects_.IsLoaded() ? &objects_ : nullptr;
    c.language = &Language();
    const Communities::Names names = communities_.Current();
    c.readCommunity = names.read;
    c.writeCommunity = names.write;
    return c;
}

bool Monitor::Start(int* exitCode)
{
    ReadSettings();
    objects_.Load(); // a missing table is reported at the first read (text 3310)

    const std::string groupFile = GroupFilePath();
    if (CheckQdlFileFormat(groupFile) != 1) {
        ShowText(MessageKind::kError, 2000, 2200);
        *exitCode = 2;
        return false;
    }
    PopulateVectors(groupFile);

    const StartDecision start = DecideStart(mgmt_.askPassword, mgmt_.useSystemDefault, qavplatform::IsAdministrator());
    if (start.showLogin && !windowsShown_) {
        // Without a display nobody can answer the password prompt (a
        // service): the monitor starts in user mode, as the prompt's user
        // button would start it, instead of waiting for ever.
        std::fprintf(stderr, "nwatch: no display for the password prompt: monitoring in user mode\n");
        QMetaObject::invokeMethod(this, [this] { StartMonitoring(kUserMode); }, Qt::QueuedConnection);
    } else if (start.showLogin) {
        LoginDialog login(mgmt_.password);
        const int result = login.exec();
        if (result != kAdministratorMode && result != kUserMode) {
            *exitCode = 0;
            return false;
        }
        StartMonitoring(static_cast<RunMode>(result));
    } else {
        // Started without a window, once the event loop runs.
        QMetaObject::invokeMethod(this, [this, start] { StartMonitoring(start.mode); }, Qt::QueuedConnection);
    }
    return true;
}

void Monitor::StartMonitoring(RunMode mode)
{
    mode_ = mode;
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = new QSystemTrayIcon(MonitorIcon(), this);
        tray_->setToolTip(T(1018).left(127));
        connect(tray_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason r) { OnTrayActivated(static_cast<int>(r)); });
        RebuildTrayMenu();
        tray_->setContextMenu(trayMenu_.get());
        tray_->show();
    } else {
        RebuildTrayMenu();
        std::fprintf(stderr, "nwatch: there is no system tray here; monitoring goes on without the tray icon "
                             "(stop the monitor with SIGTERM)\n");
    }

    if (survey_.trap) {
        StartTraps();
    } else {
        StopTraps();
    }
    if (search_.searchAtStart == 1 && SearchDevices) {
        busy_ = 1;
        SearchDevices();
        busy_ = 0;
    }
    RefreshTrayState();
    ArmPolling();
    envLog_->Rearm(log_.environmental);
    std::fprintf(stderr, "nwatch: monitoring %d printer%s in %s mode; polling %s, traps %s\n", GetListDataSize(),
                 GetListDataSize() == 1 ? "" : "s", mode == kUserMode ? "user" : "administrator",
                 pollTimer_.isActive() ? ("every " + std::to_string(survey_.taskDuration) + " s").c_str() : "off",
                 trapTransport_ ? "on" : "off");
    std::fflush(stderr);
    emit monitoringStarted();
    // The list window runs until it is closed: it opens once the start is
    // done, with polling and traps already under way.
    if (mgmt_.showList == 1 && !listShown_) {
        QMetaObject::invokeMethod(
            this, [this] { if (!listShown_ && !quitting_) OpenListWindow(); }, Qt::QueuedConnection);
    }
}

void Monitor::ArmPolling()
{
    if (survey_.polling && survey_.taskDuration > 0) {
        pollTimer_.start(survey_.taskDuration * 1000);
    } else {
        pollTimer_.stop();
    }
}

void Monitor::OnPollTimer()
{
    if (listShown_) return; // the list window keeps the records up to date itself
    const bool started = polling_.Start(Context(), [this](const PollingResult& r) {
        QMetaObject::invokeMethod(this, [this, r] {
            Trace("polling cycle: " + std::to_string(r.stored) + " of " + std::to_string(r.printers) +
                  " printers stored in " + std::to_string(r.seconds) + " s");
            if (r.noObjectTable && !noObjectTableShown_) {
                noObjectTableShown_ = true; // once, not at every cycle
                ShowText(MessageKind::kError, 1018, 3310);
            }
            if (r.communityFailed) ShowMessage(MessageKind::kError, T(1018), "SetCommunity failed");
            for (uint32_t address : r.answered) fleet_.Answered(address);
            for (uint32_t address : r.silent) fleet_.NotAnswering(DeviceListRecord(address));
            RefreshTrayState();
            emit pollingCycleDone(r.stored);
        });
    });
    if (!started) Trace("polling cycle still running: this tick is left out");
}

void Monitor::StartTraps()
{
    if (trapTransport_) return;
    const int port = TrapPort();
    std::string why;
    int error = 0;
    if (TrapPortFree(port, why, error)) {
        trapPortCauseShown_.clear(); // a later problem is news again
    } else {
        ShowTrapPortProblem(std::to_string(error) + "/" + std::to_string(port), port, why);
    }
    int rc = 0;
    auto transport = std::make_unique<CQBPTrans>(rc, 1);
    if (transport->StartAllTrap(&Monitor::TrapCallback, this) != 0) {
        Trace("trap reception could not be started on UDP port " + std::to_string(port) + ": " + why);
        return; // tried again at the next change of the surveillance options
    }
    trapTransport_ = std::move(transport);
    ReopenTrapLog();
}

void Monitor::ShowTrapPortProblem(const std::string& cause, int port, const std::string& why)
{
    Trace("trap port: UDP port " + std::to_string(port) + ": " + why);
    // Once per cause: a retry at every change of the surveillance options
    // meets the same busy port again.
    if (cause == trapPortCauseShown_) return;
    trapPortCauseShown_ = cause;
    ShowMessage(MessageKind::kInformation, T(1018), TrapPortText(port));
}

void Monitor::StopTraps()
{
    if (!trapTransport_) return;
    trapTransport_->Close();
    trapTransport_.reset();
}

void Monitor::ReopenTrapLog()
{
    if (log_.trap.toBeLogged && !log_.trap.filename.empty()) {
        CNWATCHLogger::DestroyLogger();
        CNWATCHLogger::CreateLogger(log_.trap.filename);
    }
}

void Monitor::TrapCallback(int, const char* sender, int generic, int specific, char* enterprise, CQBPVb& bindings,
                           void* self)
{
    // Nothing here waits for a printer: a maker check runs on a thread of
    // its own, and accepted traps reach the window thread as copies.
    static_cast<Monitor*>(self)->intake_->Accept(sender, generic, specific, enterprise, bindings);
}

void Monitor::HandleTrap(const TrapEvent& event)
{
    if (sessionEndRequested_.load() || quitting_) return; // the session ends: the rest of a burst is passed over
    ChannelSettings s;
    s.list = survey_.list != 0;
    s.popup = survey_.popup != 0;
    s.beep = survey_.beep != 0;
    s.mail = survey_.mail != 0;
    s.trapLog = log_.trap.toBeLogged != 0;
    const TrapOutcome out = HandleTrapEvent(event, s, Context(), SoundFolder(), *channels_);
    if (out.handled) {
        // A maker's enterprise trap reports the printer's new status code;
        // any trap says that the printer is there.
        if (event.generic == 6) {
            fleet_.TrapStatus(DeviceListRecord(event.address), event.specific);
        } else {
            fleet_.Answered(event.address);
        }
        RefreshTrayState();
    }
    ++trapsHandled_;
    emit trapHandled(out.row);
}

bool Monitor::ListWindowBusy() const
{
    if (!LDDisplayList) return false;
    int state = 0;
    LDDisplayList(AdministratorFlag(), 0, &state);
    return state != 0;
}

bool Monitor::SettingsDialogOpen() const { return GetDispFlag && GetDispFlag() != 0; }

void Monitor::RebuildTrayMenu()
{
    if (!trayMenu_) {
        // One menu object for the monitor's whole run: X11 trays pop the
        // context menu up before they report the click, so the menu shown
        // must never be replaced. Its entries follow the state whenever it
        // is about to open, and at every change while it is closed.
        trayMenu_ = std::make_unique<QMenu>();
        connect(trayMenu_.get(), &QMenu::aboutToShow, this, [this] { FillTrayMenu(); });
    }
    if (!trayMenu_->isVisible()) FillTrayMenu();
}

void Monitor::FillTrayMenu()
{
    const bool greyed = listShown_ || ListWindowBusy() || SettingsDialogOpen() || Busy() != 0;
    // The old entries go later, not at once: the rebuild may run inside the
    // handler of one of them (a command that opens a window).
    for (QAction* a : trayMenu_->actions()) {
        trayMenu_->removeAction(a);
        if (a->parent() == trayMenu_.get()) a->deleteLater();
    }
    for (QMenu* sub : trayMenu_->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) sub->deleteLater();
    std::function<void(QMenu*, const std::vector<MenuEntry>&)> fill = [&](QMenu* menu,
                                                                          const std::vector<MenuEntry>& entries) {
        for (const MenuEntry& e : entries) {
            if (e.separator) {
                menu->addSeparator();
            } else if (!e.submenu.empty()) {
                QMenu* sub = menu->addMenu(T(e.textId));
                sub->setEnabled(e.enabled);
                fill(sub, e.submenu);
            } else {
                QAction* a = menu->addAction(T(e.textId));
                a->setData(e.command);
                a->setEnabled(e.enabled);
                const int command = e.command;
                connect(a, &QAction::triggered, this, [this, command] { Command(command); });
            }
        }
    };
    fill(trayMenu_.get(), TrayMenu(mode_ == kNotStarted ? kAdministratorMode : mode_, greyed));
}

void Monitor::OnTrayActivated(int reason)
{
    if (reason == QSystemTrayIcon::DoubleClick) {
        if (!listShown_ && !ListWindowBusy() && !SettingsDialogOpen() && Busy() == 0) OpenListWindow();
    } else if (reason == QSystemTrayIcon::Context) {
        RebuildTrayMenu();
    }
}

void Monitor::OpenListWindow()
{
    if (!LDDisplayList) {
        Trace("the device list window is not part of this installation");
        return;
    }
    if (!windowsShown_) {
        Trace("no display: the device list window is not opened");
        return;
    }
    listShown_ = true;
    RebuildTrayMenu();
    const unsigned long seenBefore = fleet_.Serial() + 1;
    QElapsedTimer open;
    open.start();
    fleetTimer_.start();
    LDDisplayList(AdministratorFlag(), 1, nullptr); // runs until the window closes
    fleetTimer_.stop();
    listShown_ = false;
    // Once the window's refresh has gone round, every printer has been read
    // again: what the monitor had learnt before is older than the records.
    if (survey_.polling && survey_.listDuration > 0 && open.elapsed() >= survey_.listDuration * 1000LL)
        fleet_.ForgetBefore(seenBefore);
    RefreshTrayState();
    RebuildTrayMenu();
}

void Monitor::RefreshTrayState()
{
    const FleetCounts counts = fleet_.Count(DeviceListRecords());
    if (fleetShown_ && counts == fleetCounts_) return;
    const bool stateChanged = !fleetShown_ || counts.Worst() != fleetCounts_.Worst();
    fleetCounts_ = counts;
    fleetShown_ = true;
    trayToolTip_ = QString::fromUtf8(FleetToolTip(counts, Language()).c_str());
    if (tray_) {
        if (stateChanged) tray_->setIcon(nwatch::TrayIcon(counts.Worst()));
        tray_->setToolTip(trayToolTip_);
    }
    if (!stateChanged) return;
    Trace("fleet " + FleetSummary(counts));
    emit trayStateChanged(static_cast<int>(counts.Worst()));
}

void Monitor::StartSibling(const char* program, int failureText)
{
    if (qavplatform::NamedEvent::Exists("List_Display_Event")) {
        ShowText(MessageKind::kInformation, 306, 384);
        return;
    }
    // From the program's own folder only, never through PATH.
    std::string error;
    if (qavplatform::StartProgramFrom(programDir_, program, {}, nullptr, &error) != 0) {
        Trace(std::string(program) + ": " + error);
        ShowMessage(MessageKind::kError, T(1018), T(failureText) + "\n" + QString::fromStdString(error));
    }
}

void Monitor::RunSettingsDialog(int (*dialog)(), bool markBusy)
{
    if (!dialog) {
        Trace("the settings dialogs are not part of this installation");
        return;
    }
    if (markBusy) busy_ = 1;
    RebuildTrayMenu();
    dialog();
    // The dialog's change message clears the busy flag when it saved; a
    // dialog closed without saving sends none.
    if (markBusy) busy_ = 0;
    RebuildTrayMenu();
}

void Monitor::Command(int command)
{
    switch (command) {
    case kCmdListAdmin:
    case kCmdListUser: OpenListWindow(); break;
    case kCmdSystemTool: StartSibling("nconfig", 3311); break;
    case kCmdDownloadTool: StartSibling("nload", 3312); break;
    case kCmdManagementSetup: RunSettingsDialog(ManagementSetup, true); break;
    case kCmdSearchSetup: RunSettingsDialog(SearchSetup, false); break;
    case kCmdSurveillanceSetup: RunSettingsDialog(SurveillanceSetup, true); break;
    case kCmdLogSetup: RunSettingsDialog(LogSetup, true); break;
    case kCmdExitAdmin:
    case kCmdExitUser:
        busy_ = 2;
        Exit();
        break;
    default: break;
    }
}

void Monitor::Exit()
{
    if (mode_ == kNotStarted) {
        CloseDown(false);
        return;
    }
    closing_ = true;
    const auto answer = ShowText(MessageKind::kQuestionYesNoCancel, 1018, 1019, QMessageBox::Yes);
    if (answer == QMessageBox::Cancel) {
        busy_ = 0;
        closing_ = false;
        RebuildTrayMenu();
        return;
    }
    CloseDown(answer == QMessageBox::Yes);
}

void Monitor::SessionEnd()
{
    if (quitting_) return;
    // Before monitoring started (the login, a start-up message) the device
    // list is as the file gave it, or empty when the file was refused:
    // saving it would gain nothing and could replace that file.
    CloseDown(mode_ != kNotStarted, true);
}

void Monitor::CloseDown(bool saveGroupFile, bool sessionEnd)
{
    if (quitting_) return;
    quitting_ = true;
    if (saveGroupFile) SaveGroupFile(!sessionEnd);
    qavplatform::BroadcastMessage(qavplatform::Message::NwatchExit, 0);
    if (LDDisplayList) LDDisplayList(AdministratorFlag(), 0, nullptr);
    if (tray_) tray_->hide();
    CNWATCHLogger::DestroyLogger();
    StopTraps();
    channels_->StopMail();
    envLog_->Stop();
    pollTimer_.stop();
    polling_.Stop();
    polling_.Wait();
    QCoreApplication::quit();
}

void Monitor::SaveGroupFile(bool ask)
{
    const std::string path = GroupFilePath();
    const int saved = SaveListDataToFile(path);
    if (saved < 0) {
        const QString text = T(1020).replace("%s", QString::fromStdString(path));
        if (ask) {
            ShowMessage(MessageKind::kError, T(1018), text);
        } else {
            // The session ends: no window would be seen any more.
            std::fprintf(stderr, "nwatch: %s\n", text.toUtf8().constData());
            std::fflush(stderr);
        }
        return;
    }
    Trace("group file saved: " + std::to_string(saved) + " printers");
}

void Monitor::OnLogSettingsChanged()
{
    ReadSettings();
    busy_ = 0;
    if (trapTransport_) ReopenTrapLog();
    envLog_->Rearm(log_.environmental);
    RebuildTrayMenu();
    Trace(std::string("log settings: trap log ") +
          (log_.trap.toBeLogged && !log_.trap.filename.empty() ? log_.trap.filename : std::string("off")));
}

void Monitor::OnSurveillanceOptionsChanged()
{
    ReadSettings();
    ArmPolling();
    if (survey_.trap) {
        StartTraps();
        ReopenTrapLog();
    } else {
        StopTraps();
    }
    busy_ = 0;
    RebuildTrayMenu();
    Trace(std::string("surveillance options: polling ") + (pollTimer_.isActive() ? "every " +
          std::to_string(survey_.taskDuration) + " s" : "off") + ", traps " + (trapTransport_ ? "on" : "off"));
}

void Monitor::OnListWindowClosed()
{
    listShown_ = false;
    RebuildTrayMenu();
}

} // namespace nwatch

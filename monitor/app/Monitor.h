// The resident monitor: login, tray icon and menus, polling, trap reception
// and handling, the change messages of the other programs, and the exit.
#pragma once

#include <QObject>
#include <QTimer>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "nwatch/Communities.h"
#include "nwatch/FleetState.h"
#include "qavplatform/ProgramStart.h"
#include "nwatch/MonitorState.h"
#include "nwatch/Polling.h"
#include "nwatch/TrapHandler.h"
#include "nwatch/TrapIntake.h"
#include "qavsettings/SettingsFiles.h"

class CQBPTrans;
class QMenu;
class QSystemTrayIcon;

namespace qavplatform {
class MessageReceiver;
}

namespace nwatch {

class EnvLogTimer;
class MonitorChannels;

class Monitor : public QObject {
    Q_OBJECT
public:
    Monitor();
    ~Monitor() override;

    // Reads the settings and the group file and starts: with the login
    // dialog when a password is asked, else at once. Returns false (with the
    // exit code) when the monitor cannot run.
    bool Start(int* exitCode);

    // State, for the tray menu and for tests.
    RunMode Mode() const { return mode_; }
    int AdministratorFlag() const { return mode_ == kAdministratorMode ? 1 : 0; }
    // The busy flag: a settings dialog, the exit question, or mail under way.
    int Busy() const;
    bool ListShown() const { return listShown_; }
    bool TrapReceptionOn() const { return trapTransport_ != nullptr; }
    bool PollingArmed() const { return pollTimer_.isActive(); }
    int PollingPeriodMs() const { return pollTimer_.interval(); }
    QMenu* TrayMenuWidget() const { return trayMenu_.get(); }
    QSystemTrayIcon* TrayIcon() const { return tray_; }
    unsigned long TrapsHandled() const { return trapsHandled_; }
    EnvLogTimer* EnvironmentalLog() const { return envLog_.get(); }
    // The fleet's state as the tray icon shows it, and its tooltip.
    Health TrayState() const { return fleetCounts_.Worst(); }
    const FleetCounts& TrayCounts() const { return fleetCounts_; }
    QString TrayToolTip() const { return trayToolTip_; }
    // Counts the fleet again and shows its state (icon, tooltip) when it
    // changed: after polling, traps, mail, searches and, while the list
    // window is open, every few seconds (its refresh rewrites the records).
    void RefreshTrayState();

    // The tray menu as it would be shown now (left as it is while it is open).
    void RebuildTrayMenu();
    // A menu command.
    void Command(int command);
    // The exit question and, unless cancelled, the exit.
    void Exit();
    // The session ends (SIGTERM): save the group file, close, quit.
    void SessionEnd();

    // Starts monitoring in the given mode (the login's result).
    void StartMonitoring(RunMode mode);

    // Whether windows can be shown at all. Without a display (the offscreen
    // platform of a server) the list channel and the tray's list command do
    // nothing, since nobody could close the window, and polling goes on.
    void SetWindowsShown(bool shown) { windowsShown_ = shown; }
    // The folder the sibling programs start from (the program's own folder
    // unless a test says otherwise).
    void SetProgramDir(const std::string& dir) { programDir_ = dir; }

    // Called from a signal handler when the session is to end: traps still
    // waiting for the window thread are passed over, so that the end is
    // served at once even behind a burst. Async-signal-safe.
    static void SessionEndRequested() { sessionEndRequested_.store(true); }

signals:
    void monitoringStarted();
    void trapHandled(int row);
    void pollingCycleDone(int stored);
    void trayStateChanged(int state);

public slots:
    void OnLogSettingsChanged();
    void OnSurveillanceOptionsChanged();
    void OnListWindowClosed();

private slots:
    void OnPollTimer();
    void OnTrayActivated(int reason);

private:
    void FillTrayMenu();
    static void TrapCallback(int, const char* sender, int generic, int specific, char* enterprise, CQBPVb& bindings,
                             void* self);
    void HandleTrap(const TrapEvent& event);
    void ReadSettings();
    ReadContext Context();
    void StartTraps();
    void StopTraps();
    void ReopenTrapLog();
    void ArmPolling();
    void OpenListWindow();
    bool ListWindowBusy() const;
    bool SettingsDialogOpen() const;
    void StartSibling(const char* program, int failureText);
    // Saves the device list into the group file; a failure names the file,
    // in a message box (`ask`) or on standard error.
    void SaveGroupFile(bool ask);
    void ShowTrapPortProblem(const std::string& cause, int port, const std::string& why);
    void RunSettingsDialog(int (*dialog)(), bool markBusy);
    void CloseDown(bool saveGroupFile, bool sessionEnd = false);

    RunMode mode_ = kNotStarted;
    int busy_ = 0;
    bool listShown_ = false;
    bool closing_ = false;
    bool quitting_ = false;

    qavsettings::MgmtConfig mgmt_;
    qavsettings::SurveyConfig survey_;
    qavsettings::LogConfig log_;
    qavsettings::SearchConfig search_;
    qavres::ObjectTable objects_;
    Communities communities_; // read again at every read when the settings file changed

    std::unique_ptr<CQBPTrans> trapTransport_;
    std::unique_ptr<TrapIntake> intake_; // the receiving thread's part
    std::unique_ptr<MonitorChannels> channels_;
    std::unique_ptr<EnvLogTimer> envLog_;
    PollingCycle polling_;
    QTimer pollTimer_;
    FleetState fleet_;
    FleetCounts fleetCounts_;
    bool fleetShown_ = false;
    QString trayToolTip_;
    QTimer fleetTimer_; // runs while the list window is open
    QSystemTrayIcon* tray_ = nullptr;
    std::unique_ptr<QMenu> trayMenu_;
    qavplatform::MessageReceiver* receiver_ = nullptr;
    bool noObjectTableShown_ = false;
    bool windowsShown_ = true;
    std::string programDir_ = qavplatform::ProgramDir();
    std::string trapPortCauseShown_; // text 4064 is shown once per cause
    static inline std::atomic<bool> sessionEndRequested_{false};
    std::atomic<unsigned long> trapsHandled_{0};
};

} // namespace nwatch

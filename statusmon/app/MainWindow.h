// The status monitor's main window (one printer): the tabs, the menu with
// its grey states and menu help, the status bar of three parts, the
// polling timer, the refresh, the disconnection check, the start of the
// system setting tool, and the change messages of the monitor.
//
// Every exchange with the printer runs on the PrinterWorker; the window
// only posts jobs and shows their results.
#pragma once

#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "nstat/Polling.h"
#include "nstat/Printer.h"
#include "nstat/Program.h"

class QLabel;
class QMenu;
class QTabWidget;

namespace qavplatform {
class MessageReceiver;
}

namespace nstatapp {

class CNSTATDeviceStatus;
class CNSTATJobStatus;
class CNSTATNetworkStatus;
class PrinterWorker;

// Menu command numbers.
enum Command : int {
    kCommandRemoteKey = 32771,
    kCommandDisconnectionCheck = 32773,
    kCommandStatusBar = 32774,
    kCommandRefresh = 32775,
    kCommandDeviceSetting = 32777,
    kCommandPrinter = 32778,
    kCommandVersion = 32780,
    kCommandExit = 32781,
};

// Tabs.
enum Tab : int { kTabDevice = 0, kTabJob = 1, kTabNetwork = 2 };

class CNSTATDlg : public QMainWindow {
    Q_OBJECT
public:
    // Starts programs of the suite: folder, program, arguments; 0 or an
    // error (the reason in the last argument).
    using ProgramStarter = std::function<int(const std::string&, const std::string&, const std::vector<std::string>&,
                                             std::string*)>;

    CNSTATDlg(uint32_t address, bool administrator, std::unique_ptr<nstat::PrinterLink> link,
              QWidget* parent = nullptr);
    ~CNSTATDlg() override;

    // Reads the polling settings and starts the first read of the printer.
    void Start();
    // A menu command.
    void RunCommand(int command);
    // Refresh: the maker check again, the current page, the title.
    void Refresh();
    // The polling settings are read again and the timer restarted.
    void ReadPollingSettings();
    // A refresh, then `then` with the state it read (the device setting
    // dialog's opening values).
    void RefreshThen(std::function<void(const nstat::PrinterState&)> then);
    // The remote key dialog's busy flag: polling waits while it is set.
    void SetKeyBusy(bool busy);

    // The dialogs, as the menu opens them: they are handed to `prepare`
    // first (tests shorten their waits and answer them).
    using DialogHook = std::function<void(QDialog*)>;
    void SetDialogHook(DialogHook hook) { dialogHook_ = std::move(hook); }

    // Ends the worker; false when an exchange still runs after waitMs.
    bool StopWorker(int waitMs);

    // For the tests and the program's own start.
    void SetProgramStarter(ProgramStarter starter) { starter_ = std::move(starter); }
    void SetSurveyFile(const std::string& path) { surveyFile_ = path; }
    const nstat::PollingClock& Clock() const { return clock_; }
    const QTimer& PollTimer() const { return timer_; }
    const nstat::PrinterState& State() const { return state_; }
    PrinterWorker& Worker() { return *worker_; }
    CNSTATDeviceStatus* DevicePage() const { return devicePage_; }
    CNSTATJobStatus* JobPage() const { return jobPage_; }
    CNSTATNetworkStatus* NetworkPage() const { return networkPage_; }
    QLabel* StatusPart(int part) const { return parts_[part]; }
    QAction* Action(int command) const;
    QTabWidget* Tabs() const { return tabs_; }
    bool Refreshing() const { return refreshing_; }

signals:
    // A refresh's result is shown.
    void refreshed();

private slots:
    void OnTimer();

private:
    struct RefreshResult;

    void CreateMenus();
    void CreateStatusBar();
    void CreatePages();
    QAction* AddCommand(QMenu* menu, int command, int caption, int help);
    void ApplyState(const nstat::PrinterState& state, const std::string& title);
    void ApplyRefresh(const RefreshResult& result);
    void SyncTimer(bool restart = false);
    void ShowPollingText();
    void RestoreStatusText();
    void ShowMenuHelp(QAction* action);
    void ToggleStatusBar(bool on);
    void StartDisconnectionCheck();
    void CollectDisconnectionCheck();
    void StartSettingTool();
    void ShowAbout();
    void ReadView(int index);
    void RunRemoteKeys();
    void RunDeviceSetting();

    const uint32_t address_;
    const bool administrator_;
    std::unique_ptr<PrinterWorker> worker_;
    nstat::PrinterState state_;
    nstat::PollingClock clock_;
    QTimer timer_;
    bool refreshing_ = false;
    bool refreshAgain_ = false;
    bool viewReading_ = false;
    int nextView_ = -1;
    std::string surveyFile_;
    ProgramStarter starter_;

    QTabWidget* tabs_ = nullptr;
    CNSTATDeviceStatus* devicePage_ = nullptr;
    CNSTATJobStatus* jobPage_ = nullptr;
    CNSTATNetworkStatus* networkPage_ = nullptr;
    // Called after the next refresh that starts from now on.
    std::vector<std::function<void(const nstat::PrinterState&)>> afterNext_, afterThis_;
    DialogHook dialogHook_;
    QLabel* parts_[3] = {};
    std::map<int, QAction*> actions_;
    qavplatform::MessageReceiver* receiver_ = nullptr;
};

} // namespace nstatapp

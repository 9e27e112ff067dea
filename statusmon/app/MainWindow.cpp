#include "MainWindow.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>

#include <chrono>
#include <thread>

#include "Artwork.h"
#include "DeviceStatusPage.h"
#include "Dialogs.h"
#include "StatusPages.h"
#include "PrinterWorker.h"
#include "Texts.h"
#include "qavplatform/MessageBus.h"
#include "qavplatform/ProgramStart.h"
#include "qav/Version.h"

namespace nstatapp {

namespace {

constexpr int kNoNameTitle = 5000;
constexpr int kStatusBarHeight = 23;
constexpr int kConnectedIcon = 138;
constexpr int kNotAnsweringIcon = 151;
constexpr const char* kShowStatusBar = "Show Status bar";

int RunProgram(const std::string& folder, const std::string& program, const std::vector<std::string>& args,
               std::string* error)
{
    return qavplatform::StartProgramFrom(folder, program, args, nullptr, error);
}

} // namespace

// What a refresh read: the shared state and the current page.
struct CNSTATDlg::RefreshResult {
    nstat::PrinterState state;
    std::string title;
    int tab = kTabDevice;
    nstat::DevicePage device;
    nstat::JobPage job;
    nstat::NetworkPage network;
};

CNSTATDlg::CNSTATDlg(uint32_t address, bool administrator, std::unique_ptr<nstat::PrinterLink> link, QWidget* parent)
    : QMainWindow(parent), address_(address), administrator_(administrator), starter_(RunProgram)
{
    worker_ = std::make_unique<PrinterWorker>(std::move(link), address);
    state_.address = address;
    setWindowIcon(QIcon(Icon(128)));
    setWindowTitle(T(kNoNameTitle));
    CreateMenus();
    CreateStatusBar();
    CreatePages();
    ApplyState(state_, T(kNoNameTitle).toStdString());
    connect(&timer_, &QTimer::timeout, this, &CNSTATDlg::OnTimer);
    receiver_ = new qavplatform::MessageReceiver(this);
    // The monitor ends: so does every status monitor, at once.
    connect(receiver_, &qavplatform::MessageReceiver::nwatchExit, this, [] { QApplication::exit(0); });
    connect(receiver_, &qavplatform::MessageReceiver::surveillanceOptionsChanged, this,
            &CNSTATDlg::ReadPollingSettings);
    resize(660, 600);
}

CNSTATDlg::~CNSTATDlg() = default;

bool CNSTATDlg::StopWorker(int waitMs) { return worker_->Stop(waitMs); }

// ------------------------------------------------------------------ layout

QAction* CNSTATDlg::AddCommand(QMenu* menu, int command, int caption, int help)
{
    QAction* a = menu->addAction(T(caption));
    a->setData(command);
    a->setProperty("helpText", T(help));
    actions_[command] = a;
    connect(a, &QAction::triggered, this, [this, command] { RunCommand(command); });
    connect(a, &QAction::hovered, this, [this, a] { ShowMenuHelp(a); });
    return a;
}

void CNSTATDlg::CreateMenus()
{
    QMenu* device = menuBar()->addMenu(T(5010));
    AddCommand(device, kCommandRemoteKey, 5011, 5030);
    AddCommand(device, kCommandDisconnectionCheck, 5012, 5031);
    AddCommand(device, kCommandPrinter, 5013, 5032);
    device->addSeparator();
    AddCommand(device, kCommandExit, 5014, 5033);
    QMenu* view = menuBar()->addMenu(T(5015));
    QAction* bar = AddCommand(view, kCommandStatusBar, 5016, 5034);
    bar->setCheckable(true);
    bar->setChecked(true);
    AddCommand(view, kCommandRefresh, 5017, 5035);
    QMenu* settings = menuBar()->addMenu(T(5018));
    AddCommand(settings, kCommandDeviceSetting, 5019, 5036);
    // There is no help viewer, so the help menu offers the version only.
    QMenu* help = menuBar()->addMenu(T(5020));
    AddCommand(help, kCommandVersion, 5022, 5038);
    for (QMenu* m : {device, view, settings, help}) {
        connect(m, &QMenu::aboutToShow, this, [this] { parts_[0]->clear(); });
        connect(m, &QMenu::aboutToHide, this, &CNSTATDlg::RestoreStatusText);
    }
}

void CNSTATDlg::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setMinimumHeight(kStatusBarHeight);
    bar->setSizeGripEnabled(false);
    const char* names[] = {"statusText", "pollingText", "connection"};
    const int stretch[] = {7, 2, 1}; // right edges at 7/10, 9/10 and the full width
    for (int i = 0; i < 3; ++i) {
        parts_[i] = new QLabel(bar);
        parts_[i]->setObjectName(names[i]);
        bar->addWidget(parts_[i], stretch[i]);
    }
}

void CNSTATDlg::CreatePages()
{
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("tabs");
    devicePage_ = new CNSTATDeviceStatus(tabs_);
    jobPage_ = new CNSTATJobStatus(tabs_);
    networkPage_ = new CNSTATNetworkStatus(tabs_);
    tabs_->addTab(devicePage_, T(5001));
    tabs_->addTab(jobPage_, T(5002));
    tabs_->addTab(networkPage_, T(5003));
    setCentralWidget(tabs_);
    connect(devicePage_, &CNSTATDeviceStatus::viewChosen, this, &CNSTATDlg::ReadView);
    connect(devicePage_, &CNSTATDeviceStatus::printerCommand, this, [this] { RunCommand(kCommandPrinter); });
    connect(tabs_, &QTabWidget::currentChanged, this, [this] { Refresh(); });
}

QAction* CNSTATDlg::Action(int command) const
{
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

// ------------------------------------------------------------- status bar

void CNSTATDlg::ShowPollingText() { parts_[1]->setText(TF(5061, {std::to_string(clock_.ShownPeriod())})); }

// The page status text while the printer answers and its page is shown.
void CNSTATDlg::RestoreStatusText()
{
    const bool show = state_.connected && tabs_->currentIndex() == kTabDevice;
    parts_[0]->setText(show ? devicePage_->StatusText() : QString());
}

void CNSTATDlg::ShowMenuHelp(QAction* action)
{
    if (action->data().toInt() == kCommandStatusBar && !action->isChecked()) {
        parts_[0]->setText(kShowStatusBar);
        return;
    }
    parts_[0]->setText(action->property("helpText").toString());
}

void CNSTATDlg::ToggleStatusBar(bool on)
{
    if (statusBar()->isVisible() == on) return;
    statusBar()->setVisible(on);
    resize(width(), height() + (on ? kStatusBarHeight : -kStatusBarHeight));
}

// ------------------------------------------------------------------ timer

void CNSTATDlg::SyncTimer(bool restart)
{
    const int ms = clock_.IntervalMs();
    if (ms == 0) {
        timer_.stop();
    } else if (restart || !timer_.isActive() || timer_.interval() != ms) {
        timer_.start(ms);
    }
}

void CNSTATDlg::ReadPollingSettings()
{
    clock_.Apply(nstat::ReadPollingSettings(clock_.Period(), surveyFile_));
    SyncTimer(true);
    ShowPollingText();
}

void CNSTATDlg::OnTimer()
{
    switch (clock_.Tick()) {
    case nstat::PollingClock::Action::kCollectCheck:
        SyncTimer();
        CollectDisconnectionCheck();
        break;
    case nstat::PollingClock::Action::kRefresh:
        SyncTimer();
        Refresh();
        break;
    case nstat::PollingClock::Action::kNone:
        SyncTimer();
        break;
    }
}

// ---------------------------------------------------------------- refresh

void CNSTATDlg::Start()
{
    ReadPollingSettings();
    refreshing_ = true;
    worker_->Run<RefreshResult>(
        this,
        [](nstat::Printer& p) {
            RefreshResult r;
            p.ReadMakerFlag();
            r.device = p.ReadDevicePage(0);
            r.title = p.WindowTitle();
            r.state = p.State();
            return r;
        },
        [this](const RefreshResult& r) { ApplyRefresh(r); });
}

void CNSTATDlg::Refresh()
{
    parts_[0]->setText(T(5060));
    if (refreshing_) {
        refreshAgain_ = true;
        return;
    }
    refreshing_ = true;
    afterThis_ = std::move(afterNext_);
    afterNext_.clear();
    const int tab = tabs_->currentIndex();
    const int view = devicePage_->SelectedView();
    // Whoever waits for this refresh wants the basic objects read again,
    // which only the device status page does by itself.
    const bool basic = !afterThis_.empty();
    worker_->Run<RefreshResult>(
        this,
        [tab, view, basic](nstat::Printer& p) {
            RefreshResult r;
            r.tab = tab;
            p.RecheckMaker();
            if (tab == kTabDevice) r.device = p.ReadDevicePage(view);
            else if (basic) p.ReadBasicObjects();
            if (tab == kTabJob) r.job = p.ReadJobPage();
            if (tab == kTabNetwork) r.network = p.ReadNetworkPage();
            r.title = p.WindowTitle();
            r.state = p.State();
            return r;
        },
        [this](const RefreshResult& r) { ApplyRefresh(r); });
}

void CNSTATDlg::ApplyRefresh(const RefreshResult& r)
{
    if (r.tab == kTabDevice) devicePage_->ShowPage(r.device, r.state.connected);
    if (r.tab == kTabJob) jobPage_->ShowJob(r.job);
    if (r.tab == kTabNetwork) networkPage_->ShowNetwork(r.network);
    ApplyState(r.state, r.title);
    RestoreStatusText();
    refreshing_ = false;
    for (auto& then : afterThis_) then(r.state);
    afterThis_.clear();
    clock_.RefreshDone();
    SyncTimer();
    emit refreshed();
    if (refreshAgain_) {
        refreshAgain_ = false;
        Refresh();
    }
}

void CNSTATDlg::ApplyState(const nstat::PrinterState& state, const std::string& title)
{
    state_ = state;
    setWindowTitle(Q(title));
    parts_[2]->setPixmap(Icon(state_.connected ? kConnectedIcon : kNotAnsweringIcon));
    parts_[2]->setProperty("icon", state_.connected ? kConnectedIcon : kNotAnsweringIcon);
    const nstat::CommandStates s = nstat::CommandStatesFor(state_.maker, administrator_, state_.ModelText());
    actions_[kCommandRemoteKey]->setEnabled(s.remoteKey);
    actions_[kCommandDisconnectionCheck]->setEnabled(s.disconnectionCheck);
    actions_[kCommandPrinter]->setEnabled(s.settingTool);
    actions_[kCommandDeviceSetting]->setEnabled(s.deviceSetting);
    devicePage_->SetPrinterButtonEnabled(s.settingTool);
    if (state_.communityFailed) ShowMessage(MessageKind::kInformation, T(5000), "SetCommunity failed");
}

// One view read at a time: choices made while one is under way (a silent
// printer takes seconds) leave only the last one to read next.
void CNSTATDlg::ReadView(int index)
{
    if (viewReading_) {
        nextView_ = index;
        return;
    }
    viewReading_ = true;
    worker_->Run<nstat::ViewContent>(
        this, [index](nstat::Printer& p) { return p.ReadView(index); },
        [this](const nstat::ViewContent& v) {
            viewReading_ = false;
            devicePage_->ShowView(v);
            if (nextView_ >= 0) {
                const int next = nextView_;
                nextView_ = -1;
                ReadView(next);
            }
        });
}

// --------------------------------------------------------------- commands

void CNSTATDlg::RunCommand(int command)
{
    switch (command) {
    case kCommandRemoteKey: RunRemoteKeys(); break;
    case kCommandDeviceSetting: RunDeviceSetting(); break;
    case kCommandDisconnectionCheck: StartDisconnectionCheck(); break;
    case kCommandPrinter: StartSettingTool(); break;
    case kCommandExit:
        timer_.stop();
        close();
        break;
    case kCommandStatusBar: ToggleStatusBar(actions_[kCommandStatusBar]->isChecked()); break;
    case kCommandRefresh: Refresh(); break;
    case kCommandVersion: ShowAbout(); break;
    default: break;
    }
}

void CNSTATDlg::RefreshThen(std::function<void(const nstat::PrinterState&)> then)
{
    afterNext_.push_back(std::move(then));
    Refresh();
}

void CNSTATDlg::SetKeyBusy(bool busy) { clock_.SetKeyBusy(busy); }

void CNSTATDlg::RunRemoteKeys()
{
    if (!state_.maker) return;
    CNSTATRemoteKeyDlg dialog(*worker_, state_, [this](bool busy) { SetKeyBusy(busy); }, this);
    if (dialogHook_) dialogHook_(&dialog);
    dialog.exec();
    Refresh();
}

void CNSTATDlg::RunDeviceSetting()
{
    if (!administrator_) return;
    CNSTATDeviceSetting dialog(
        *worker_, state_.maker, [this](std::function<void(const nstat::PrinterState&)> then) { RefreshThen(then); },
        this);
    if (dialogHook_) dialogHook_(&dialog);
    dialog.exec();
}

void CNSTATDlg::StartDisconnectionCheck()
{
    if (!state_.maker) return;
    if (ShowMessage(MessageKind::kQuestion, T(5000), T(2202)) != QMessageBox::Yes) return;
    clock_.BeginCheck();
    SyncTimer();
    worker_->Run<nstat::CheckStart>(
        this, [](nstat::Printer& p) { return nstat::StartDisconnectionCheck(p); },
        [this](nstat::CheckStart start) {
            if (start == nstat::CheckStart::kWriteFailed) ShowMessage(MessageKind::kWarning, T(5000), T(2204));
            if (start == nstat::CheckStart::kRefused) {
                ShowMessage(MessageKind::kWarning, T(5000), T(2203));
                clock_.CancelCheck();
            }
            if (clock_.CheckPending()) parts_[0]->setText(T(2073));
            clock_.CheckSent();
            SyncTimer(true);
        });
}

void CNSTATDlg::CollectDisconnectionCheck()
{
    worker_->Run<bool>(
        this,
        [](nstat::Printer& p) {
            return nstat::CollectDisconnectionCheck(
                p, [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); });
        },
        [this](bool answered) {
            if (answered) Refresh();
            clock_.CheckCollected();
            SyncTimer(true);
            ShowPollingText();
            if (!answered) ShowMessage(MessageKind::kError, T(5000), T(2205));
        });
}

void CNSTATDlg::StartSettingTool()
{
    std::string error;
    const std::vector<std::string> args = nstat::SettingToolArguments(address_, state_.Value(nstat::obj::kDeviceDescr));
    if (starter_(qavplatform::ProgramDir(), nstat::kSettingToolProgram, args, &error) != 0)
        ShowMessage(MessageKind::kError, T(5000), T(3311));
}

void CNSTATDlg::ShowAbout() { ShowMessage(MessageKind::kInformation, T(5022).remove('&'), TF(5068, {QAV_VERSION})); }

} // namespace nstatapp

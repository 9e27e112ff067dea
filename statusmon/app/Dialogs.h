// The two dialogs that act on the printer: the remote keys (Feed, Restart,
// Pause, Reset, with the emulated panel) and the device setting (name,
// location, contact and, for the maker's printers, serial number,
// administrator and comment). Their writes and reads run on the main
// window's worker, like every other exchange.
#pragma once

#include <QDialog>
#include <QTimer>

#include <array>
#include <functional>

#include "nstat/DeviceSetting.h"
#include "nstat/Printer.h"
#include "nstat/RemoteKeys.h"

class QLineEdit;
class QPushButton;

namespace nstatapp {

class CNSTATLCDBox;
class PrinterWorker;

class CNSTATRemoteKeyDlg : public QDialog {
    Q_OBJECT
public:
    // `setBusy` tells the main window that a reset is under way (its
    // polling then waits).
    CNSTATRemoteKeyDlg(PrinterWorker& worker, const nstat::PrinterState& state, std::function<void(bool)> setBusy,
                       QWidget* parent = nullptr);
    ~CNSTATRemoteKeyDlg() override;

    // Shortens the restart wait after a reset (tests).
    void SetRestartWaitMs(int ms) { waitOverrideMs_ = ms; }
    const QTimer& StepTimer() const { return timer_; }
    int Step() const { return steps_.Current(); }

private slots:
    void OnTimer();

private:
    void Key(nstat::Key key);
    void Reset();
    void ReadPanel();
    void EnableKeys(bool resetAndCancel, bool keys);
    void SetBusy(bool busy);

    PrinterWorker& worker_;
    const std::string model_;
    const std::string dhcp_;
    std::function<void(bool)> setBusy_;
    bool busy_ = false;
    nstat::RemoteKeySteps steps_;
    QTimer timer_;
    CNSTATLCDBox* display_ = nullptr;
    QPushButton *feed_ = nullptr, *restart_ = nullptr, *pause_ = nullptr, *reset_ = nullptr, *cancel_ = nullptr;
    int waitOverrideMs_ = 0;
};

class CNSTATDeviceSetting : public QDialog {
    Q_OBJECT
public:
    // Asks the main window for a refresh and gets the state it read.
    using RefreshThen = std::function<void(std::function<void(const nstat::PrinterState&)>)>;
    CNSTATDeviceSetting(PrinterWorker& worker, bool maker, RefreshThen refreshThen, QWidget* parent = nullptr);

    // The pause between the writes and the reload (tests shorten it).
    void SetApplyWaitMs(int ms) { applyWaitMs_ = ms; }
    // What a refused character does (tests count it).
    void SetBeep(std::function<void()> beep) { beep_ = std::move(beep); }
    QLineEdit* Field(int index) const { return fields_[index]; }
    bool Loaded() const { return loaded_; }
    bool Updating() const { return updating_; }

    // The Update button.
    void Update();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Load();
    void SerialEdited(const QString& text);

    PrinterWorker& worker_;
    const bool maker_;
    RefreshThen refreshThen_;
    std::array<QLineEdit*, nstat::kSettingFieldCount> fields_{};
    nstat::SettingValues opening_;
    QString serialBefore_;
    int serialCursor_ = 0;
    int applyWaitMs_ = 3000;
    std::function<void()> beep_;
    bool loaded_ = false;
    bool updating_ = false;
};

} // namespace nstatapp

#include "Dialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <chrono>
#include <thread>

#include "DeviceStatusPage.h"
#include "PrinterWorker.h"
#include "Texts.h"

namespace nstatapp {

// ------------------------------------------------------------ remote keys

CNSTATRemoteKeyDlg::CNSTATRemoteKeyDlg(PrinterWorker& worker, const nstat::PrinterState& state,
                                       std::function<void(bool)> setBusy, QWidget* parent)
    : QDialog(parent),
      worker_(worker),
      model_(state.ModelText()),
      dhcp_(state.Value(nstat::obj::kDhcp)),
      setBusy_(std::move(setBusy))
{
    setWindowTitle(T(5300));
    auto* layout = new QVBoxLayout(this);
    display_ = new CNSTATLCDBox(this);
    display_->setObjectName("display");
    layout->addWidget(display_);
    auto* row = new QHBoxLayout;
    auto button = [&](int caption, const char* name) {
        auto* b = new QPushButton(T(caption), this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        row->addWidget(b);
        return b;
    };
    feed_ = button(5301, "feed");
    restart_ = button(5302, "restart");
    pause_ = button(5303, "pause");
    reset_ = button(5304, "reset");
    cancel_ = button(5066, "cancel");
    layout->addLayout(row);
    connect(feed_, &QPushButton::clicked, this, [this] { Key(nstat::Key::kFeed); });
    connect(restart_, &QPushButton::clicked, this, [this] { Key(nstat::Key::kRestart); });
    connect(pause_, &QPushButton::clicked, this, [this] { Key(nstat::Key::kPause); });
    connect(reset_, &QPushButton::clicked, this, &CNSTATRemoteKeyDlg::Reset);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(&timer_, &QTimer::timeout, this, &CNSTATRemoteKeyDlg::OnTimer);
    EnableKeys(true, true);
    ReadPanel();
    timer_.start(steps_.Open());
}

// Closing the dialog during a reset's wait must not leave the main window
// waiting for good.
CNSTATRemoteKeyDlg::~CNSTATRemoteKeyDlg() { SetBusy(false); }

void CNSTATRemoteKeyDlg::SetBusy(bool busy)
{
    if (busy_ == busy) return;
    busy_ = busy;
    if (setBusy_) setBusy_(busy);
}

void CNSTATRemoteKeyDlg::EnableKeys(bool resetAndCancel, bool keys)
{
    const nstat::KeyButtons allowed = nstat::KeyButtonsFor(model_);
    feed_->setEnabled(keys && allowed.feed);
    restart_->setEnabled(keys && allowed.restart);
    pause_->setEnabled(keys && allowed.pause);
    reset_->setEnabled(resetAndCancel);
    cancel_->setEnabled(resetAndCancel);
}

void CNSTATRemoteKeyDlg::ReadPanel()
{
    worker_.Run<std::string>(
        this, [](nstat::Printer& p) { return nstat::ReadPanel(p); },
        [this](const std::string& panel) { display_->setPlainText(Q(panel)); });
}

void CNSTATRemoteKeyDlg::Key(nstat::Key key)
{
    timer_.stop();
    worker_.Run<bool>(
        this, [key](nstat::Printer& p) { return nstat::SendKey(p, key); },
        [this](bool sent) {
            if (!sent) ShowMessage(MessageKind::kError, T(5300), T(5306));
            timer_.start(steps_.KeySent());
        });
}

void CNSTATRemoteKeyDlg::Reset()
{
    if (ShowMessage(MessageKind::kQuestion, T(5300), T(5305)) != QMessageBox::Yes) return;
    timer_.stop();
    SetBusy(true);
    EnableKeys(false, false);
    const int wait = waitOverrideMs_ > 0 ? waitOverrideMs_ : nstat::RestartWaitMs(model_, dhcp_);
    worker_.Run<bool>(
        this, [](nstat::Printer& p) { return nstat::SendReset(p); },
        [this, wait](bool sent) {
            if (!sent) ShowMessage(MessageKind::kError, T(5300), T(5306));
            timer_.start(steps_.ResetSent(wait));
        });
}

void CNSTATRemoteKeyDlg::OnTimer()
{
    const nstat::RemoteKeySteps::Tick tick = steps_.OnTimer();
    if (tick.enableButtons) {
        EnableKeys(true, true);
        SetBusy(false);
    }
    timer_.stop();
    ReadPanel();
    timer_.start(tick.nextMs);
}

// --------------------------------------------------------- device setting

CNSTATDeviceSetting::CNSTATDeviceSetting(PrinterWorker& worker, bool maker, RefreshThen refreshThen, QWidget* parent)
    : QDialog(parent), worker_(worker), maker_(maker), refreshThen_(std::move(refreshThen)), beep_(QApplication::beep)
{
    setWindowTitle(T(5310));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    const char* names[] = {"name", "location", "serial", "administrator", "contact", "comment"};
    for (int i = 0; i < nstat::kSettingFieldCount; ++i) {
        const nstat::SettingField& f = nstat::kSettingFields[i];
        grid->addWidget(new QLabel(T(f.label), this), i, 0);
        fields_[i] = new QLineEdit(this);
        fields_[i]->setObjectName(names[i]);
        fields_[i]->setMaxLength(f.maxChars);
        fields_[i]->setMinimumWidth(320);
        fields_[i]->setEnabled(!f.makerOnly || maker_);
        grid->addWidget(fields_[i], i, 1);
    }
    layout->addLayout(grid);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* update = buttons->addButton(T(5317), QDialogButtonBox::ApplyRole);
    update->setObjectName("update");
    QPushButton* cancel = buttons->addButton(T(5066), QDialogButtonBox::RejectRole);
    cancel->setObjectName("cancel");
    layout->addWidget(buttons);
    connect(update, &QPushButton::clicked, this, &CNSTATDeviceSetting::Update);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    QLineEdit* serial = fields_[2];
    serial->installEventFilter(this);
    connect(serial, &QLineEdit::textEdited, this, &CNSTATDeviceSetting::SerialEdited);
    connect(serial, &QLineEdit::cursorPositionChanged, this, [this, serial] {
        if (nstat::SerialTextAllowed(serial->text().toStdString())) serialCursor_ = serial->cursorPosition();
    });
    Load();
}

// Opening values: the page is refreshed, and the fields take what it read.
void CNSTATDeviceSetting::Load()
{
    loaded_ = false;
    refreshThen_([this](const nstat::PrinterState& state) {
        opening_ = nstat::SettingValuesOf(state);
        for (int i = 0; i < nstat::kSettingFieldCount; ++i) fields_[i]->setText(Q(opening_[i]));
        serialBefore_ = fields_[2]->text();
        loaded_ = true;
    });
}

// A tab typed into the serial number is refused like any other character
// below the space.
bool CNSTATDeviceSetting::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == fields_[2] && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier) {
            if (beep_) beep_();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CNSTATDeviceSetting::SerialEdited(const QString& text)
{
    if (nstat::SerialTextAllowed(text.toStdString())) {
        serialBefore_ = text;
        serialCursor_ = fields_[2]->cursorPosition();
        return;
    }
    if (beep_) beep_();
    fields_[2]->setText(serialBefore_);
    fields_[2]->setCursorPosition(serialCursor_);
}

void CNSTATDeviceSetting::Update()
{
    if (!loaded_ || updating_) return;
    nstat::SettingValues now;
    for (int i = 0; i < nstat::kSettingFieldCount; ++i) now[i] = fields_[i]->text().toStdString();
    if (now == opening_) return;
    updating_ = true;
    const nstat::SettingValues opening = opening_;
    const int wait = applyWaitMs_;
    worker_.Run<nstat::SettingUpdate>(
        this,
        [opening, now, wait](nstat::Printer& p) {
            nstat::SettingUpdate u = nstat::WriteChangedSettings(p, opening, now);
            // The printer takes a moment before it shows the new values.
            if (u.changed && u.ok) std::this_thread::sleep_for(std::chrono::milliseconds(wait));
            return u;
        },
        [this](const nstat::SettingUpdate& u) {
            updating_ = false;
            if (!u.changed) return;
            if (u.ok) ShowMessage(MessageKind::kInformation, T(5310), T(5318));
            else ShowMessage(MessageKind::kError, T(5310), T(5319));
            Load();
        });
}

} // namespace nstatapp

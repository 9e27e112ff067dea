// The management settings: start with the session, list window at start,
// password prompt with the password itself, and the SNMP communities.
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "Dialogs.h"
#include "qavplatform/Autostart.h"
#include "qavplatform/ProgramStart.h"
#include "qavres/Resources.h"
#include "qavsettings/DataFolder.h"

namespace nsetup {

using qavsettings::FlagText;

CNSETUPPasswordSetting::CNSETUPPasswordSetting(const std::string& storedClear, QWidget* parent)
    : SettingsDialogBase(parent), stored_(storedClear)
{
    setWindowTitle(T(4010));
    auto* form = new QFormLayout;
    for (QLineEdit** e : {&oldEdit, &newEdit, &confirmEdit}) {
        *e = new QLineEdit;
        (*e)->setMaxLength(16);
        (*e)->setEchoMode(QLineEdit::Password);
    }
    form->addRow(T(4011), oldEdit);
    form->addRow(T(4012), newEdit);
    form->addRow(T(4013), confirmEdit);
    SetBody(form);
}

void CNSETUPPasswordSetting::accept()
{
    const int text = CheckPasswordChange(oldEdit->text().toStdString(), stored_, newEdit->text().toStdString(),
                                         confirmEdit->text().toStdString());
    if (text != 0) {
        ShowBox(BoxKind::kError, 4010, text);
        (text == 4014 ? oldEdit : newEdit)->setFocus();
        return;
    }
    newPassword = newEdit->text().toStdString();
    QDialog::accept();
}

CNSETUPCommunitySetting::CNSETUPCommunitySetting(const std::string& read, const std::string& write, QWidget* parent)
    : SettingsDialogBase(parent)
{
    setWindowTitle(T(4020));
    auto* form = new QFormLayout;
    readEdit = new QLineEdit(QString::fromStdString(read));
    writeEdit = new QLineEdit(QString::fromStdString(write));
    readEdit->setMaxLength(80);
    writeEdit->setMaxLength(80);
    form->addRow(T(4021), readEdit);
    form->addRow(T(4022), writeEdit);
    SetBody(form);
}

void CNSETUPCommunitySetting::accept()
{
    const int empty = EmptyCommunityField(readEdit->text().toStdString(), writeEdit->text().toStdString());
    if (empty != 0) {
        ShowBox(BoxKind::kError, 4020, 4023);
        (empty == 1 ? readEdit : writeEdit)->setFocus();
        return;
    }
    QDialog::accept();
}

CNSETUPMgmtSetting::CNSETUPMgmtSetting(QWidget* parent) : SettingsDialogBase(parent)
{
    setWindowTitle(T(4000));
    config_ = qavsettings::ReadMgmtConfig(qavsettings::Reader::kSettingsDialog);
    // The stored StartAtBoot gives way to the entry that really exists.
    autostartShown_ = qavplatform::HasAutostart(qavplatform::kMonitorAutostartName);

    startAtBoot = new QCheckBox(T(4001));
    showList = new QCheckBox(T(4002));
    askPassword = new QCheckBox(T(4003));
    passwordButton = new QPushButton(T(4004));
    communityButton = new QPushButton(T(4005));
    startAtBoot->setChecked(autostartShown_);
    showList->setChecked(config_.showList == 1);
    askPassword->setChecked(config_.askPassword == 1);
    passwordButton->setEnabled(askPassword->isChecked());

    connect(askPassword, &QCheckBox::toggled, this, [this](bool on) {
        passwordButton->setEnabled(on);
        if (on) config_.useSystemDefault = 0;
    });
    connect(passwordButton, &QPushButton::clicked, this, &CNSETUPMgmtSetting::EditPassword);
    connect(communityButton, &QPushButton::clicked, this, &CNSETUPMgmtSetting::EditCommunity);

    auto* body = new QVBoxLayout;
    body->addWidget(startAtBoot);
    body->addWidget(showList);
    body->addWidget(askPassword);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(passwordButton);
    buttons->addWidget(communityButton);
    buttons->addStretch(1);
    body->addLayout(buttons);
    SetBody(body);

    runPassword = [](CNSETUPPasswordSetting& d) { d.exec(); };
    runCommunity = [](CNSETUPCommunitySetting& d) { d.exec(); };
    tracker_.Start(qavsettings::MgmtSettingsGroup(Collect()));
}

qavsettings::MgmtConfig CNSETUPMgmtSetting::Collect() const
{
    qavsettings::MgmtConfig c = config_;
    // Through a string of its own: GCC 12 warns falsely (-Wrestrict) on assigning the pointer.
    c.startAtBoot = std::string(FlagText(startAtBoot->isChecked()));
    c.showList = showList->isChecked() ? 1 : 0;
    c.askPassword = askPassword->isChecked() ? 1 : 0;
    return c;
}

void CNSETUPMgmtSetting::EditPassword()
{
    CNSETUPPasswordSetting d(config_.password, this);
    runPassword(d);
    if (d.result() == QDialog::Accepted) config_.password = d.newPassword;
}

void CNSETUPMgmtSetting::EditCommunity()
{
    CNSETUPCommunitySetting d(config_.readCommunity, config_.writeCommunity, this);
    runCommunity(d);
    if (d.result() == QDialog::Accepted) {
        config_.readCommunity = d.readEdit->text().toStdString();
        config_.writeCommunity = d.writeEdit->text().toStdString();
    }
}

void CNSETUPMgmtSetting::accept()
{
    const qavsettings::MgmtConfig now = Collect();
    qavsettings::SettingsGroup group = qavsettings::MgmtSettingsGroup(now);
    const bool autostartOn = startAtBoot->isChecked();
    if (!tracker_.Changed(group) && autostartOn == autostartShown_) {
        QDialog::accept();
        return;
    }
    // The start at logon lives outside the settings file: when it cannot be
    // changed, the settings are still saved, and the failure is told apart.
    std::string autostartError;
    bool autostartOk = true;
    if (autostartOn != autostartShown_) {
        const bool exists = qavplatform::HasAutostart(qavplatform::kMonitorAutostartName);
        if (exists && !autostartOn) {
            autostartOk = qavplatform::RemoveAutostart(qavplatform::kMonitorAutostartName, &autostartError) == 0;
        } else if (!exists && autostartOn) {
            autostartOk = qavplatform::WriteAutostart(qavplatform::kMonitorAutostartName,
                                                      qavplatform::ProgramDir() + "/nwatch", {}, {},
                                                      &autostartError) == 0;
        }
    }
    if (!autostartOk) {
        // StartAtBoot records the entry that really exists.
        for (auto& e : group)
            if (e.key == "StartAtBoot") e.value = std::string(FlagText(autostartShown_)); // see Collect()
    }
    const std::string path = qavsettings::DataFilePath(qavsettings::kMgmtConfigFile);
    std::string why;
    const bool ok = qavsettings::WriteSettingsGroup(ChangeTracker::ToWrite(group, path), path, &why);
    ShowBox(ok ? BoxKind::kInformation : BoxKind::kError, 4000, ok ? 4006 : 4200,
            ok ? QString() : QString::fromStdString(why));
    if (!autostartOk) ShowBox(BoxKind::kError, 4000, 4007, QString::fromStdString(autostartError));
    QDialog::accept();
}

} // namespace nsetup

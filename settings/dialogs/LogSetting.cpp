// The log settings: the trap log and the environmental log with its
// contents and schedule.
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QVBoxLayout>

#include <cstdio>

#include "Dialogs.h"
#include "qavplatform/MessageBus.h"
#include "qavsettings/DataFolder.h"

namespace nsetup {

using qavsettings::LogCycle;

namespace {

std::string Text(const QLineEdit* e) { return e->text().toStdString(); }
QString Q(const std::string& s) { return QString::fromStdString(s); }
QString SizeText(int kilobytes) { return kilobytes < 0 ? QString() : QString::number(kilobytes); }

} // namespace

CNSETUPLogSetting::CNSETUPLogSetting(QWidget* parent) : SettingsDialogBase(parent)
{
    setWindowTitle(T(4120));
    stored_ = qavsettings::ReadLogConfig(0);
    const auto& t = stored_.trap;
    const auto& e = stored_.environmental;

    auto logGroup = [this](LogControls& c, int title, int onText) {
        auto* box = new QGroupBox(T(title));
        auto* form = new QFormLayout(box);
        c.on = new QCheckBox(T(onText));
        c.filename = new QLineEdit;
        c.filename->setMaxLength(259);
        c.maximumSize = new QLineEdit;
        c.maximumSize->setValidator(new QIntValidator(0, 2000000000, c.maximumSize));
        auto* browse = new QPushButton(T(4138));
        QLineEdit* target = c.filename;
        connect(browse, &QPushButton::clicked, this, [this, target] {
            const QString f = AskFileName(this, true, FileFilter(4139, "*.log", 4140), "log");
            if (!f.isEmpty()) target->setText(f);
        });
        auto* file = new QHBoxLayout;
        file->addWidget(c.filename);
        file->addWidget(browse);
        form->addRow(c.on);
        form->addRow(T(4123), file);
        form->addRow(T(4124), c.maximumSize);
        return std::pair{box, form};
    };

    auto [trapBox, trapForm] = logGroup(trapLog, 4121, 4122);
    trapError = new QCheckBox(T(4125));
    trapJob = new QCheckBox(T(4126));
    trapForm->addRow(trapError);
    trapForm->addRow(trapJob);

    auto [envBox, envForm] = logGroup(envLog, 4127, 4128);
    headCheck = new QCheckBox(T(4129));
    sysInfo = new QCheckBox(T(4130));
    counterInfo = new QCheckBox(T(4131));
    diagnosisInfo = new QCheckBox(T(4132));
    printerInfo = new QCheckBox(T(4133));
    networkInfo = new QCheckBox(T(4134));
    auto* contents = new QGridLayout;
    contents->addWidget(headCheck, 0, 0);
    contents->addWidget(sysInfo, 0, 1);
    contents->addWidget(counterInfo, 1, 0);
    contents->addWidget(diagnosisInfo, 1, 1);
    contents->addWidget(printerInfo, 2, 0);
    contents->addWidget(networkInfo, 2, 1);
    envForm->addRow(contents);
    cycle = new QComboBox;
    for (int id : {4145, 4146, 4147}) cycle->addItem(T(id));
    day = new QComboBox;
    time = new QTimeEdit;
    time->setDisplayFormat("HH : mm : ss");
    envForm->addRow(T(4135), cycle);
    envForm->addRow(T(4136), day);
    envForm->addRow(T(4137), time);

    trapLog.on->setChecked(t.toBeLogged == 1);
    trapLog.filename->setText(Q(t.filename));
    trapLog.maximumSize->setText(SizeText(t.maximumSize));
    trapError->setChecked(t.error == 1);
    trapJob->setChecked(t.jobInformation == 1);
    envLog.on->setChecked(e.toBeLogged == 1);
    envLog.filename->setText(Q(e.filename));
    envLog.maximumSize->setText(SizeText(e.maximumSize));
    headCheck->setChecked(e.headCheck == 1);
    sysInfo->setChecked(e.sysInfo == 1);
    counterInfo->setChecked(e.counterInfo == 1);
    diagnosisInfo->setChecked(e.diagnosisInfo == 1);
    printerInfo->setChecked(e.printerInfo == 1);
    networkInfo->setChecked(e.networkInformation == 1);
    switch (qavsettings::CycleFromText(e.cycle, Language())) {
    case LogCycle::kDaily: cycle->setCurrentIndex(0); break;
    case LogCycle::kWeekly: cycle->setCurrentIndex(1); break;
    case LogCycle::kMonthly: cycle->setCurrentIndex(2); break;
    case LogCycle::kOff: cycle->setCurrentIndex(-1); break;
    }
    FillDays(e.day);
    connect(cycle, &QComboBox::currentIndexChanged, this, [this] { FillDays(1); });
    unsigned short h = 0, m = 0, s = 0;
    if (std::sscanf(e.time.c_str(), "%hu:%hu:%hu", &h, &m, &s) >= 2 && QTime::isValid(h, m, s))
        time->setTime(QTime(h, m, s));

    auto* body = new QVBoxLayout;
    body->addWidget(trapBox);
    body->addWidget(envBox);
    SetBody(body);
    tracker_.Start(qavsettings::LogSettingsGroup(Collect()));
}

void CNSETUPLogSetting::FillDays(int storedDay)
{
    day->clear();
    if (cycle->currentIndex() == 1) {
        for (int id = 4148; id <= 4154; ++id) day->addItem(T(id));
        day->setCurrentIndex(storedDay >= 1 && storedDay <= 7 ? storedDay - 1 : 0);
    } else if (cycle->currentIndex() == 2) {
        for (int d = 1; d <= 31; ++d) day->addItem(QString::number(d));
        day->setCurrentIndex(storedDay >= 1 && storedDay <= 31 ? storedDay - 1 : 0);
    }
    day->setEnabled(day->count() > 0);
}

qavsettings::LogConfig CNSETUPLogSetting::Collect() const
{
    qavsettings::LogConfig c = stored_;
    auto& t = c.trap;
    t.toBeLogged = trapLog.on->isChecked();
    t.filename = Text(trapLog.filename);
    t.maximumSize = qavsettings::DurationFromField(Text(trapLog.maximumSize), false);
    t.error = trapError->isChecked();
    t.jobInformation = trapJob->isChecked();
    auto& e = c.environmental;
    e.toBeLogged = envLog.on->isChecked();
    e.filename = Text(envLog.filename);
    e.maximumSize = qavsettings::DurationFromField(Text(envLog.maximumSize), false);
    e.headCheck = headCheck->isChecked();
    e.sysInfo = sysInfo->isChecked();
    e.counterInfo = counterInfo->isChecked();
    e.diagnosisInfo = diagnosisInfo->isChecked();
    e.printerInfo = printerInfo->isChecked();
    e.networkInformation = networkInfo->isChecked();
    e.cycle = cycle->currentIndex() < 0 ? std::string() : cycle->currentText().toStdString();
    if (cycle->currentIndex() == 1) e.day = qavsettings::WeekdayNumber(day->currentText().toStdString(), Language());
    if (cycle->currentIndex() == 2) e.day = qavsettings::MonthDay(day->currentText().toInt());
    const QTime when = time->time();
    e.time = qavsettings::LogTimeText(when.hour(), when.minute(), when.second());
    return c;
}

void CNSETUPLogSetting::accept()
{
    const std::pair<const LogControls*, const std::string*> logs[] = {
        {&trapLog, &stored_.trap.filename}, {&envLog, &stored_.environmental.filename}};
    for (const auto& [c, stored] : logs) {
        const int text = CheckLogFields({c->on->isChecked(), Text(c->filename), Text(c->maximumSize)}, *stored);
        if (text != 0) {
            ShowBox(text == 4193 ? BoxKind::kWarning : BoxKind::kError, 4120, text);
            (text == 4193 ? c->maximumSize : c->filename)->setFocus();
            return;
        }
    }
    const qavsettings::SettingsGroup group = qavsettings::LogSettingsGroup(Collect());
    if (!tracker_.Changed(group)) {
        QDialog::accept();
        return;
    }
    const std::string path = qavsettings::DataFilePath(qavsettings::kLogConfigFile);
    std::string why;
    const bool ok = qavsettings::WriteSettingsGroup(ChangeTracker::ToWrite(group, path), path, &why);
    if (ok) {
        ShowBox(BoxKind::kInformation, 4120, 4190);
        std::string error;
        if (qavplatform::BroadcastMessage(qavplatform::Message::LogSettingsChanged, 0, &error) != 0)
            std::fprintf(stderr, "nsetup: %s\n", error.c_str());
    } else {
        ShowBox(BoxKind::kError, 4120, 4200, QString::fromStdString(why));
    }
    QDialog::accept();
}

} // namespace nsetup

// The surveillance settings (polling, refresh cycles, traps, notification),
// the mail settings with their test mail, and the recipients.
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <cstdio>

#include "Dialogs.h"
#include "bsmtp/Bsmtp.h"
#include "bsmtp/SenderText.h"
#include "qavplatform/MessageBus.h"
#include "qavsettings/DataFolder.h"

namespace nsetup {

using qavsettings::SurveyConfig;

namespace {

std::string Text(const QLineEdit* e) { return e->text().toStdString(); }
QString Q(const std::string& s) { return QString::fromStdString(s); }

const char* const kTestSubject = "QAV Network Tool: test mail";
const char* const kTestBody = "This is a test mail of the QAV Network Tool's mail settings.";

// The mail library's call of the test mail, over the connection the
// settings ask for.
SendFunction SendThroughBsmtp(const SurveyConfig& c)
{
    const int security = qavsettings::MailSecurityFromText(c.sourceSecurity);
    const std::string caFile = c.sourceCaFile;
    return [security, caFile](const std::string& server, const std::string& recipients, const std::string& sender,
                              std::string& error) {
        const BSMTPOptions options = bsmtp::SecurityOptions(security, caFile);
        char text[BSMTP_ERROR_TEXT_SIZE] = {};
        const int sent =
            BSendMail(server.c_str(), recipients.c_str(), sender.c_str(), kTestSubject, kTestBody, &options, text);
        error = text;
        return sent;
    };
}

// The security choices of the mail dialog, in the order of its list.
constexpr int kSecurityTexts[] = {4098, 4099, 4100};

} // namespace

// ------------------------------------------------------------ recipients

QWidget* CNSETUPUserSetting::MakePage(Page& p, bool withConditions)
{
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    p.sendmail = new QCheckBox(T(4081));
    p.address = new QLineEdit;
    p.address->setMaxLength(256);
    v->addWidget(p.sendmail);
    v->addWidget(new QLabel(T(4082)));
    v->addWidget(p.address);
    if (withConditions) {
        p.errorDetail = new QCheckBox(T(4083));
        p.counterInfo = new QCheckBox(T(4084));
        p.recoveryGuide = new QCheckBox(T(4085));
        v->addWidget(p.errorDetail);
        v->addWidget(p.counterInfo);
        v->addWidget(p.recoveryGuide);
        auto* box = new QGroupBox(T(4088));
        auto* grid = new QGridLayout(box);
        for (int i = 0; i < qavsettings::kConditionCount; ++i) {
            p.conditions[i] = new QCheckBox(T(kConditionTextBase + i));
            grid->addWidget(p.conditions[i], i / 4, i % 4);
        }
        v->addWidget(box);
        p.message = new QCheckBox(T(4086));
        v->addWidget(p.message);
    } else {
        v->addWidget(new QLabel(T(4086)));
    }
    auto* file = new QHBoxLayout;
    p.attachment = new QLineEdit;
    auto* browse = new QPushButton(T(4087));
    file->addWidget(p.attachment);
    file->addWidget(browse);
    v->addLayout(file);
    v->addStretch(1);
    QLineEdit* target = p.attachment;
    connect(browse, &QPushButton::clicked, this, [this, target] {
        const QString f = AskFileName(this, false, FileFilter(4094, "*.txt", 4095), "txt");
        if (!f.isEmpty()) target->setText(f);
    });
    return page;
}

CNSETUPUserSetting::CNSETUPUserSetting(const SurveyConfig& c, QWidget* parent) : SettingsDialogBase(parent)
{
    setWindowTitle(T(4080));
    tabs = new QTabWidget;
    tabs->addTab(MakePage(user, true), T(4089));
    tabs->addTab(MakePage(administrator, true), T(4090));
    tabs->addTab(MakePage(service, false), T(4091));
    for (auto [page, r] : {std::pair{&user, &c.user}, std::pair{&administrator, &c.administrator}}) {
        page->sendmail->setChecked(r->sendmail == 1);
        page->address->setText(Q(r->address));
        for (int i = 0; i < qavsettings::kConditionCount; ++i) page->conditions[i]->setChecked(r->conditions[i] == 1);
        page->errorDetail->setChecked(r->errorDetail == 1);
        page->counterInfo->setChecked(r->counterInfo == 1);
        page->recoveryGuide->setChecked(r->recoveryGuide == 1);
        page->message->setChecked(r->message == 1);
        page->attachment->setText(Q(r->attachment));
    }
    service.sendmail->setChecked(c.service.sendmail == 1);
    service.address->setText(Q(c.service.address));
    service.attachment->setText(Q(c.service.attachment));
    auto* body = new QVBoxLayout;
    body->addWidget(tabs);
    SetBody(body);
}

void CNSETUPUserSetting::Apply(SurveyConfig& c) const
{
    for (auto [page, r] : {std::pair{&user, &c.user}, std::pair{&administrator, &c.administrator}}) {
        r->sendmail = page->sendmail->isChecked();
        r->address = Text(page->address);
        for (int i = 0; i < qavsettings::kConditionCount; ++i) r->conditions[i] = page->conditions[i]->isChecked();
        r->errorDetail = page->errorDetail->isChecked();
        r->counterInfo = page->counterInfo->isChecked();
        r->recoveryGuide = page->recoveryGuide->isChecked();
        r->message = page->message->isChecked();
        r->attachment = Text(page->attachment);
    }
    c.service.sendmail = service.sendmail->isChecked();
    c.service.address = Text(service.address);
    c.service.attachment = Text(service.attachment);
}

// ------------------------------------------------------------ mail

CNSETUPMailSetting::CNSETUPMailSetting(const SurveyConfig& c, QWidget* parent)
    : SettingsDialogBase(parent), config_(c)
{
    setWindowTitle(T(4070));
    auto field = [](const std::string& value, int max) {
        auto* e = new QLineEdit(Q(value));
        e->setMaxLength(max);
        return e;
    };
    server = field(c.sourceServer, 256);
    port = field(c.sourcePort, 5);
    security = new QComboBox;
    for (int text : kSecurityTexts) security->addItem(T(text));
    // A stored value that names no choice shows none, and stays as it is
    // unless one is chosen.
    const int stored = qavsettings::MailSecurityFromText(c.sourceSecurity);
    security->setCurrentIndex(stored == qavsettings::kMailSecurityInvalid ? -1 : stored);
    caFile = field(c.sourceCaFile, 259);
    senderAddress = field(c.sourceAdd, 256);
    senderName = field(c.sourceName, 256);
    accountUser = field(c.sourceUser, 64);
    accountPassword = field(c.sourcePasswd, 32);
    accountPassword->setEchoMode(QLineEdit::Password);
    userList = field(c.user.address, 256);
    adminList = field(c.administrator.address, 256);
    recipientsButton = new QPushButton(T(4078));
    testButton = new QPushButton(T(4079));

    connect(accountUser, &QLineEdit::textChanged, this, [this](const QString& text) {
        int removed = -1;
        const std::string filtered = FilterAccountUser(text.toStdString(), &removed);
        if (removed >= 0) accountUser->setText(Q(filtered));
    });
    connect(recipientsButton, &QPushButton::clicked, this, &CNSETUPMailSetting::EditRecipients);
    connect(testButton, &QPushButton::clicked, this, [this] { TestMail(); });

    auto* form = new QFormLayout;
    form->addRow(T(4071), server);
    AddConnectionRows(form);
    form->addRow(T(4072), senderAddress);
    form->addRow(T(4073), senderName);
    form->addRow(T(4074), accountUser);
    form->addRow(T(4075), accountPassword);
    form->addRow(T(4076), userList);
    form->addRow(T(4077), adminList);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(recipientsButton);
    buttons->addWidget(testButton);
    buttons->addStretch(1);
    auto* body = new QVBoxLayout;
    body->addLayout(form);
    body->addLayout(buttons);
    SetBody(body);
    runRecipients = [](CNSETUPUserSetting& d) { d.exec(); };
}

void CNSETUPMailSetting::AddConnectionRows(QFormLayout* rows)
{
    // The standard port of the chosen security shows in the empty field.
    auto showStandardPort = [this] {
        const int chosen = security->currentIndex();
        port->setPlaceholderText(QString::number(qavsettings::StandardMailPort(chosen)));
    };
    showStandardPort();
    connect(security, &QComboBox::currentIndexChanged, this, showStandardPort);
    auto* browse = new QPushButton(T(4087));
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString f = AskFileName(this, false, FileFilter(4102, "*.pem *.crt", 4095), "pem");
        if (!f.isEmpty()) caFile->setText(f);
    });
    auto* connection = new QHBoxLayout;
    connection->addWidget(port);
    connection->addWidget(new QLabel(T(4097)));
    connection->addWidget(security, 1);
    rows->addRow(T(4096), connection);
    auto* authorities = new QHBoxLayout;
    authorities->addWidget(caFile, 1);
    authorities->addWidget(browse);
    rows->addRow(T(4101), authorities);
}

const SurveyConfig& CNSETUPMailSetting::Edited()
{
    config_.sourceServer = Text(server);
    config_.sourcePort = Text(port);
    // The stored text stays unless another security was chosen, so that an
    // unchanged choice writes nothing.
    const int chosen = security->currentIndex();
    if (chosen >= 0 && chosen != qavsettings::MailSecurityFromText(config_.sourceSecurity))
        config_.sourceSecurity = qavsettings::MailSecurityText(chosen);
    config_.sourceCaFile = Text(caFile);
    config_.sourceAdd = Text(senderAddress);
    config_.sourceName = Text(senderName);
    config_.sourceUser = Text(accountUser);
    config_.sourcePasswd = Text(accountPassword);
    config_.user.address = Text(userList);
    config_.administrator.address = Text(adminList);
    return config_;
}

void CNSETUPMailSetting::EditRecipients()
{
    CNSETUPUserSetting d(Edited(), this);
    runRecipients(d);
    if (d.result() != QDialog::Accepted) return;
    d.Apply(config_);
    userList->setText(Q(config_.user.address));
    adminList->setText(Q(config_.administrator.address));
}

TestMailResult CNSETUPMailSetting::TestMail()
{
    TestMailResult result;
    if (ShowBox(BoxKind::kQuestionYesNo, 4070, 4105) != QMessageBox::Yes) return result;
    setEnabled(false);
    const SurveyConfig& edited = Edited();
    result = RunTestMail(edited, SendThroughBsmtp(edited));
    setEnabled(true);
    // Every test gets an answer: with no recipient taking part nothing was
    // sent, and the box says why.
    if (result.outcome == TestMailResult::kNothingToSend) {
        ShowBox(BoxKind::kInformation, 4070, 4106);
        return result;
    }
    const bool sent = result.outcome == TestMailResult::kSent;
    config_.sourceAuth = sent ? result.form : qavsettings::kAuthAutomatic;
    const std::string path = qavsettings::DataFilePath(qavsettings::kSurveyConfigFile);
    qavsettings::WriteSettingsGroup({{"Mail", "SourceAuth", sent ? std::to_string(result.form) : std::string()}},
                                    path);
    // The reason of a failure: the check that failed before anything was
    // sent, or the mail library's text (which carries the server's reply).
    const QString reason = result.refusal != 0 ? T(result.refusal) : Q(result.lastError);
    if (!sent) std::fprintf(stderr, "nsetup: test mail: %s\n", reason.toUtf8().constData());
    ShowBox(sent ? BoxKind::kInformation : BoxKind::kError, 4070, sent ? 4107 : 4108, sent ? QString() : reason);
    return result;
}

// ------------------------------------------------------------ surveillance

CNSETUPSurveillanceSetting::CNSETUPSurveillanceSetting(QWidget* parent) : SettingsDialogBase(parent)
{
    setWindowTitle(T(4050));
    config_ = qavsettings::ReadSurveyConfig(qavsettings::Reader::kSettingsDialog);
    polling = new QCheckBox(T(4051));
    taskEdit = new QLineEdit(Q(qavsettings::DurationField(config_.taskDuration, false)));
    listEdit = new QLineEdit(Q(qavsettings::DurationField(config_.listDuration, true)));
    detailedEdit = new QLineEdit(Q(qavsettings::DurationField(config_.detailedDuration, true)));
    trap = new QCheckBox(T(4055));
    notifyList = new QCheckBox(T(4057));
    notifyPopup = new QCheckBox(T(4058));
    notifyBeep = new QCheckBox(T(4059));
    notifyMail = new QCheckBox(T(4060));
    mailButton = new QPushButton(T(4061));
    polling->setChecked(config_.polling == 1);
    trap->setChecked(config_.trap == 1);
    notifyList->setChecked(config_.list == 1);
    notifyPopup->setChecked(config_.popup == 1);
    notifyBeep->setChecked(config_.beep == 1);
    notifyMail->setChecked(config_.mail == 1);

    for (QLineEdit* e : {listEdit, detailedEdit}) {
        connect(e, &QLineEdit::textChanged, this, [e](const QString& text) {
            const QString filtered = Q(FilterRefreshField(text.toStdString()));
            if (filtered != text) e->setText(filtered);
        });
    }
    connect(mailButton, &QPushButton::clicked, this, &CNSETUPSurveillanceSetting::EditMail);

    auto* form = new QFormLayout;
    form->addRow(polling);
    form->addRow(T(4052), taskEdit);
    form->addRow(T(4053), listEdit);
    form->addRow(T(4054), detailedEdit);
    form->addRow(trap);
    auto* notification = new QGroupBox(T(4056));
    auto* n = new QVBoxLayout(notification);
    n->addWidget(notifyList);
    n->addWidget(notifyPopup);
    n->addWidget(notifyBeep);
    auto* mailRow = new QHBoxLayout;
    mailRow->addWidget(notifyMail);
    mailRow->addStretch(1);
    mailRow->addWidget(mailButton);
    n->addLayout(mailRow);
    auto* body = new QVBoxLayout;
    body->addLayout(form);
    body->addWidget(notification);
    SetBody(body);
    runMail = [](CNSETUPMailSetting& d) { d.exec(); };
    tracker_.Start(qavsettings::SurveySettingsGroup(Collect()));
}

SurveyConfig CNSETUPSurveillanceSetting::Collect() const
{
    SurveyConfig c = config_;
    c.polling = polling->isChecked();
    c.taskDuration = qavsettings::DurationFromField(Text(taskEdit), false);
    c.listDuration = qavsettings::DurationFromField(Text(listEdit), true);
    c.detailedDuration = qavsettings::DurationFromField(Text(detailedEdit), true);
    c.trap = trap->isChecked();
    c.list = notifyList->isChecked();
    c.popup = notifyPopup->isChecked();
    c.beep = notifyBeep->isChecked();
    c.mail = notifyMail->isChecked();
    return c;
}

void CNSETUPSurveillanceSetting::EditMail()
{
    CNSETUPMailSetting d(config_, this);
    runMail(d);
    // The test mail has stored SourceAuth already: it is no change to save.
    const SurveyConfig& edited = d.Edited();
    if (edited.sourceAuth != config_.sourceAuth) {
        config_.sourceAuth = edited.sourceAuth;
        tracker_.Accept("Mail", "SourceAuth",
                        edited.sourceAuth < 0 ? std::string() : std::to_string(edited.sourceAuth));
    }
    if (d.result() == QDialog::Accepted) config_ = edited;
}

void CNSETUPSurveillanceSetting::accept()
{
    if (CheckRefreshFields(Text(listEdit), Text(detailedEdit)) != 0) {
        ShowBox(BoxKind::kError, 4050, 4063);
        return;
    }
    const SurveyConfig now = Collect();
    if (now.mail == 1) {
        const int text = CheckMailSettings(now);
        if (text != 0) {
            ShowBox(BoxKind::kError, 4070, text);
            return;
        }
    }
    const qavsettings::SettingsGroup group = qavsettings::SurveySettingsGroup(now);
    if (!tracker_.Changed(group)) {
        QDialog::accept();
        return;
    }
    if (now.trap == 1) {
        std::string why;
        if (CheckTrapPort(TrapPort(), &why) == TrapPortState::kUnavailable) {
            std::fprintf(stderr, "nsetup: trap port: %s\n", why.c_str());
            ShowBox(BoxKind::kInformation, 4050, 4064);
        }
    }
    const std::string path = qavsettings::DataFilePath(qavsettings::kSurveyConfigFile);
    std::string why;
    const bool ok = qavsettings::WriteSettingsGroup(ChangeTracker::ToWrite(group, path), path, &why);
    if (ok) {
        ShowBox(BoxKind::kInformation, 4050, 4062);
        std::string error;
        if (qavplatform::BroadcastMessage(qavplatform::Message::SurveillanceOptionsChanged, 0, &error) != 0)
            std::fprintf(stderr, "nsetup: %s\n", error.c_str());
    } else {
        ShowBox(BoxKind::kError, 4050, 4200, QString::fromStdString(why));
    }
    QDialog::accept();
}

} // namespace nsetup

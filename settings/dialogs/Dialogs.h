// The settings dialogs (window layer). Their rules are in SetupLogic.h; the
// classes here read the files into their controls, run the checks on OK and
// write what changed. The controls are public so that the tests and the
// screenshot tool can drive them.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimeEdit>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "SetupLogic.h"
#include "qavres/Resources.h"
#include "qavsettings/SettingsFiles.h"

namespace nsetup {

// ------------------------------------------------------------ shared

// The language texts: loaded from QAVLANG on first use.
qavres::StringTable& Language();
bool EnsureLanguage();
QString T(int id);

enum class BoxKind { kInformation, kWarning, kError, kQuestionYesNo };
// Every message box goes through here: text `text` with caption `caption`,
// and under it `detail` when given (the reason of a failure, which names
// the file, the server or the program). A handler (tests) sees all of it
// and gives the answer; without one the box is shown, or on the offscreen
// platform written to stderr and answered with `headless`.
using MessageHandler =
    std::function<QMessageBox::StandardButton(BoxKind kind, int caption, int text, const QString& detail)>;
MessageHandler SetMessageHandler(MessageHandler handler);
QMessageBox::StandardButton ShowBox(BoxKind kind, int caption, int text, const QString& detail = {},
                                    QMessageBox::StandardButton headless = QMessageBox::No);

// A file dialog's filter: the text `text` followed by "(pattern)", then the
// text `allText` followed by "(*)" for every file.
QString FileFilter(int text, const char* pattern, int allText);

// The file dialogs go through here too; a handler (tests) gives the name.
using FileNameHandler = std::function<QString(bool save, const QString& filter)>;
FileNameHandler SetFileNameHandler(FileNameHandler handler);
QString AskFileName(QWidget* parent, bool save, const QString& filter, const QString& suffix);

// The library-wide "a setup function runs" flag.
int& DisplayFlag();

// Runs a dialog as a setup function does: the flag, the mutex
// "NSETUPMutex" (another holder closes the dialog at once) and the language.
// False when the dialog did not open.
bool RunSetupDialog(const std::function<int()>& runDialog);

// A pair of OK and Cancel buttons (texts 4201, 4202) under a dialog's body.
class SettingsDialogBase : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialogBase(QWidget* parent = nullptr);
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

protected:
    // Lays the body out above the buttons.
    void SetBody(QLayout* body);
};

// ------------------------------------------------------------ management

class CNSETUPPasswordSetting : public SettingsDialogBase {
    Q_OBJECT
public:
    CNSETUPPasswordSetting(const std::string& storedClear, QWidget* parent = nullptr);
    QLineEdit* oldEdit;
    QLineEdit* newEdit;
    QLineEdit* confirmEdit;
    std::string newPassword; // in clear, after an accepted OK
    void accept() override;

private:
    std::string stored_;
};

class CNSETUPCommunitySetting : public SettingsDialogBase {
    Q_OBJECT
public:
    CNSETUPCommunitySetting(const std::string& read, const std::string& write, QWidget* parent = nullptr);
    QLineEdit* readEdit;
    QLineEdit* writeEdit;
    void accept() override;
};

class CNSETUPMgmtSetting : public SettingsDialogBase {
    Q_OBJECT
public:
    explicit CNSETUPMgmtSetting(QWidget* parent = nullptr);
    QCheckBox* startAtBoot;
    QCheckBox* showList;
    QCheckBox* askPassword;
    QPushButton* passwordButton;
    QPushButton* communityButton;
    qavsettings::MgmtConfig Collect() const;
    void accept() override;

    // The sub-dialogs run through these, so that a test can answer them.
    std::function<void(CNSETUPPasswordSetting&)> runPassword;
    std::function<void(CNSETUPCommunitySetting&)> runCommunity;

private:
    void EditPassword();
    void EditCommunity();
    qavsettings::MgmtConfig config_;
    bool autostartShown_ = false;
    ChangeTracker tracker_;
};

// ------------------------------------------------------------ search

class CNSETUPSearchSetting : public SettingsDialogBase {
    Q_OBJECT
public:
    explicit CNSETUPSearchSetting(QWidget* parent = nullptr);
    QCheckBox* searchAtStart;
    QCheckBox* broadcast;
    QCheckBox* nonVoranta;
    QLineEdit* startEdit;
    QLineEdit* endEdit;
    QPushButton* addButton;
    QPushButton* deleteButton;
    QListWidget* rangeList;
    QLineEdit* timeoutEdit;
    QPushButton* importButton;
    QPushButton* exportButton;

    qavsettings::SearchConfig Collect() const;
    // Adds the range of the two fields; false when nothing was added.
    bool AddRange();
    void DeleteRange();
    bool ImportFrom(const std::string& path);
    bool ExportTo(const std::string& path);
    void accept() override;

private:
    void Show(const qavsettings::SearchConfig& config);
    std::vector<qavsettings::SearchRange> ranges_;
    bool endEdited_ = false;
    ChangeTracker tracker_;
};

// ------------------------------------------------------------ surveillance

class CNSETUPUserSetting : public SettingsDialogBase {
    Q_OBJECT
public:
    CNSETUPUserSetting(const qavsettings::SurveyConfig& config, QWidget* parent = nullptr);
    struct Page {
        QCheckBox* sendmail = nullptr;
        QLineEdit* address = nullptr;
        std::array<QCheckBox*, qavsettings::kConditionCount> conditions{};
        QCheckBox* errorDetail = nullptr;
        QCheckBox* counterInfo = nullptr;
        QCheckBox* recoveryGuide = nullptr;
        QCheckBox* message = nullptr;
        QLineEdit* attachment = nullptr;
    };
    QTabWidget* tabs;
    Page user, administrator, service;
    // The edited recipient keys put into `config`.
    void Apply(qavsettings::SurveyConfig& config) const;

private:
    QWidget* MakePage(Page& page, bool withConditions);
};

class CNSETUPMailSetting : public SettingsDialogBase {
    Q_OBJECT
public:
    CNSETUPMailSetting(const qavsettings::SurveyConfig& config, QWidget* parent = nullptr);
    QLineEdit* server;
    // The connection: port (empty: the security's standard port), security
    // (none, STARTTLS, TLS in that order; no choice for a stored value that
    // names none of them) and the certificate authorities' file.
    QLineEdit* port;
    QComboBox* security;
    QLineEdit* caFile;
    QLineEdit* senderAddress;
    QLineEdit* senderName;
    QLineEdit* accountUser;
    QLineEdit* accountPassword;
    QLineEdit* userList;
    QLineEdit* adminList;
    QPushButton* recipientsButton;
    QPushButton* testButton;

    // The mail and recipient keys as edited.
    const qavsettings::SurveyConfig& Edited();
    // Runs the test mail (after the question 4105); writes SourceAuth and
    // reports. The result's outcome tells what happened.
    TestMailResult TestMail();
    std::function<void(CNSETUPUserSetting&)> runRecipients;

private:
    void AddConnectionRows(QFormLayout* rows);
    void EditRecipients();
    qavsettings::SurveyConfig config_;
};

class CNSETUPSurveillanceSetting : public SettingsDialogBase {
    Q_OBJECT
public:
    explicit CNSETUPSurveillanceSetting(QWidget* parent = nullptr);
    QCheckBox* polling;
    QLineEdit* taskEdit;
    QLineEdit* listEdit;
    QLineEdit* detailedEdit;
    QCheckBox* trap;
    QCheckBox* notifyList;
    QCheckBox* notifyPopup;
    QCheckBox* notifyBeep;
    QCheckBox* notifyMail;
    QPushButton* mailButton;

    qavsettings::SurveyConfig Collect() const;
    void accept() override;
    // The mail dialog runs through this (exec by default).
    std::function<void(CNSETUPMailSetting&)> runMail;

private:
    void EditMail();
    qavsettings::SurveyConfig config_;
    ChangeTracker tracker_;
};

// ------------------------------------------------------------ log

class CNSETUPLogSetting : public SettingsDialogBase {
    Q_OBJECT
public:
    explicit CNSETUPLogSetting(QWidget* parent = nullptr);
    struct LogControls {
        QCheckBox* on = nullptr;
        QLineEdit* filename = nullptr;
        QLineEdit* maximumSize = nullptr;
    };
    LogControls trapLog, envLog;
    QCheckBox* trapError;
    QCheckBox* trapJob;
    QCheckBox* headCheck;
    QCheckBox* sysInfo;
    QCheckBox* counterInfo;
    QCheckBox* diagnosisInfo;
    QCheckBox* printerInfo;
    QCheckBox* networkInfo;
    QComboBox* cycle;
    QComboBox* day;
    QTimeEdit* time;

    qavsettings::LogConfig Collect() const;
    void accept() override;

private:
    void FillDays(int storedDay);
    qavsettings::LogConfig stored_;
    ChangeTracker tracker_;
};

} // namespace nsetup

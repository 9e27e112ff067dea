// The login dialog: the administrator password, or a start in user mode.
#pragma once

#include <QDialog>

#include "nwatch/MonitorState.h"

class QAction;
class QLineEdit;
class QPushButton;

namespace nwatch {

class LoginDialog : public QDialog {
    Q_OBJECT
public:
    // done(): kAdministratorMode after the right password, kUserMode for the
    // User button, 0 for Cancel or the third wrong password.
    LoginDialog(const std::string& storedPassword, QWidget* parent = nullptr);

    QLineEdit* PasswordBox() const { return password_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* UserButton() const { return user_; }
    QAction* AboutAction() const { return about_; }
    int Failures() const { return login_.Failures(); }

private slots:
    void OnOk();

private:
    std::string stored_;
    Login login_;
    QLineEdit* password_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* user_ = nullptr;
    QAction* about_ = nullptr;
};

} // namespace nwatch

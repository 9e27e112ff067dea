#include "LoginDialog.h"

#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "Texts.h"
#include "qav/Version.h"

namespace nwatch {

LoginDialog::LoginDialog(const std::string& storedPassword, QWidget* parent) : QDialog(parent), stored_(storedPassword)
{
    setWindowTitle(T(1000));
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(T(1001)), 0, 0, 1, 3);
    layout->addWidget(new QLabel(T(1002)), 1, 0);
    password_ = new QLineEdit;
    password_->setEchoMode(QLineEdit::Password);
    password_->setMaxLength(16);
    layout->addWidget(password_, 1, 1, 1, 2);
    user_ = new QPushButton(T(1003));
    ok_ = new QPushButton(T(1004));
    auto* cancel = new QPushButton(T(1005));
    ok_->setDefault(true);
    layout->addWidget(user_, 2, 0);
    layout->addWidget(ok_, 2, 1);
    layout->addWidget(cancel, 2, 2);
    connect(ok_, &QPushButton::clicked, this, &LoginDialog::OnOk);
    connect(user_, &QPushButton::clicked, this, [this] { done(kUserMode); });
    connect(cancel, &QPushButton::clicked, this, [this] { done(0); });
    password_->setFocus();

    // The window menu of the dialog (right button) holds its About entry.
    about_ = new QAction(T(101), this);
    addAction(about_);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(about_, &QAction::triggered, this, [this] {
        // The entry's text without its mnemonic and dots is the box's title.
        const QString title = T(101).remove(QLatin1Char('&')).remove(QStringLiteral("..."));
        QMessageBox::about(this, title, T(111) + QStringLiteral("\n" QAV_PRODUCT_NAME " " QAV_VERSION));
    });
}

void LoginDialog::OnOk()
{
    switch (login_.Check(password_->text().toStdString(), stored_)) {
    case Login::kAccepted:
        done(kAdministratorMode);
        break;
    case Login::kRetry:
        ShowText(MessageKind::kError, 1000, 1006);
        password_->clear();
        password_->setFocus();
        break;
    case Login::kRefused:
        ShowText(MessageKind::kError, 1000, 1007);
        done(0);
        break;
    }
}

} // namespace nwatch

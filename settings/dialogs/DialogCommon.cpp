// What the four settings dialogs share: texts, message boxes, file dialogs,
// the displayed flag and the one-dialog-at-a-time mutex.
#include <QApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <cstdio>

#include "Dialogs.h"
#include "qavplatform/NamedLocks.h"

namespace nsetup {

namespace {
MessageHandler g_messageHandler;
FileNameHandler g_fileNameHandler;
constexpr const char* kMutexName = "NSETUPMutex";

bool Headless()
{
    const QString p = QGuiApplication::platformName();
    return p == "offscreen" || p == "minimal";
}
} // namespace

qavres::StringTable& Language()
{
    static qavres::StringTable table;
    return table;
}

bool EnsureLanguage()
{
    if (Language().IsLoaded()) return true;
    std::string error;
    if (Language().Load(qavres::kLanguage, &error)) return true;
    std::fprintf(stderr, "nsetup: %s\n", error.c_str());
    return false;
}

QString T(int id) { return QString::fromUtf8(Language().Get(id).c_str()); }

MessageHandler SetMessageHandler(MessageHandler handler)
{
    MessageHandler old = std::move(g_messageHandler);
    g_messageHandler = std::move(handler);
    return old;
}

QMessageBox::StandardButton ShowBox(BoxKind kind, int caption, int text, const QString& detail,
                                    QMessageBox::StandardButton headless)
{
    if (g_messageHandler) return g_messageHandler(kind, caption, text, detail);
    const QString c = T(caption);
    const QString t = T(text);
    if (Headless()) {
        std::fprintf(stderr, "%s: %s%s%s\n", c.toUtf8().constData(), t.toUtf8().constData(),
                     detail.isEmpty() ? "" : " ", detail.toUtf8().constData());
        return headless;
    }
    const QMessageBox::Icon icon = kind == BoxKind::kInformation ? QMessageBox::Information
                                   : kind == BoxKind::kWarning   ? QMessageBox::Warning
                                   : kind == BoxKind::kError     ? QMessageBox::Critical
                                                                 : QMessageBox::Question;
    const QMessageBox::StandardButtons buttons =
        kind == BoxKind::kQuestionYesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
    QMessageBox box(icon, c, t, buttons, QApplication::activeModalWidget());
    if (!detail.isEmpty()) box.setInformativeText(detail);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString FileFilter(int text, const char* pattern, int allText)
{
    return T(text) + "(" + pattern + ");;" + T(allText) + "(*)";
}

FileNameHandler SetFileNameHandler(FileNameHandler handler)
{
    FileNameHandler old = std::move(g_fileNameHandler);
    g_fileNameHandler = std::move(handler);
    return old;
}

QString AskFileName(QWidget* parent, bool save, const QString& filter, const QString& suffix)
{
    if (g_fileNameHandler) return g_fileNameHandler(save, filter);
    QFileDialog dialog(parent);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(suffix);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

int& DisplayFlag()
{
    static int flag = 0;
    return flag;
}

bool RunSetupDialog(const std::function<int()>& runDialog)
{
    // A program without windows of its own gets an application for the call.
    std::unique_ptr<QApplication> app;
    static int argc = 1;
    static char name[] = "nsetup";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) app = std::make_unique<QApplication>(argc, argv);

    DisplayFlag() = 1;
    bool opened = false;
    qavplatform::NamedMutex mutex;
    std::string error;
    if (mutex.Open(kMutexName, &error) != 0) {
        std::fprintf(stderr, "nsetup: %s: %s\n", kMutexName, error.c_str());
    } else if (mutex.TryLock() == 0) {
        if (!EnsureLanguage()) {
            if (g_messageHandler) {
                g_messageHandler(BoxKind::kError, 0, 0, qavres::kSettingsLanguageLoadError);
            } else if (Headless()) {
                std::fprintf(stderr, "%s\n", qavres::kSettingsLanguageLoadError);
            } else {
                QMessageBox::critical(nullptr, qavres::kErrorCaption, qavres::kSettingsLanguageLoadError);
            }
        } else {
            opened = true;
            runDialog();
        }
        mutex.Unlock();
    }
    DisplayFlag() = 0;
    return opened;
}

SettingsDialogBase::SettingsDialogBase(QWidget* parent) : QDialog(parent)
{
    okButton = new QPushButton(T(4201));
    cancelButton = new QPushButton(T(4202));
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void SettingsDialogBase::SetBody(QLayout* body)
{
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* all = new QVBoxLayout(this);
    all->addLayout(body);
    all->addLayout(buttons);
}

} // namespace nsetup

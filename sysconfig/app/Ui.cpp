#include "Ui.h"

#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QStringList>

#include <cstdio>
#include <map>

#include "nconfig/Texts.h"

namespace nconfig::ui {

namespace {

const qavres::StringTable* g_language = nullptr;
MessageSink g_sink;
FileChooser g_chooser;

bool Headless()
{
    const QString platform = QGuiApplication::platformName();
    return platform == "offscreen" || platform == "minimal";
}

} // namespace

void SetLanguage(const qavres::StringTable* language) { g_language = language; }

QString T(int id) { return g_language ? Q(g_language->Get(id)) : QString(); }

QString Fill(int id, const QString& value)
{
    QString text = T(id);
    return text.replace("%s", value);
}

MessageSink SetMessageSink(MessageSink sink)
{
    MessageSink old = std::move(g_sink);
    g_sink = std::move(sink);
    return old;
}

void ShowText(QWidget* parent, const QString& caption, const QString& text)
{
    if (Headless()) {
        std::fprintf(stderr, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
        return;
    }
    QMessageBox::critical(parent, caption, text);
}

void ShowMessage(QWidget* parent, int id)
{
    if (g_sink) {
        g_sink(id, T(id));
        return;
    }
    ShowText(parent, kCaption, T(id));
}

const QIcon& TreePicture(int picture)
{
    static std::map<int, QIcon> icons;
    static const QIcon none;
    if (picture < 0 || picture > 4) return none;
    auto it = icons.find(picture);
    if (it != icons.end()) return it->second;
    const QDir dir(Q(qavres::ResourceDir() + "/icons"));
    const QStringList files = dir.entryList({QString("icon%1_*.png").arg(kFirstTreeIcon + picture)}, QDir::Files);
    QIcon icon;
    if (!files.isEmpty()) icon = QIcon(dir.filePath(files.first()));
    return icons.emplace(picture, icon).first->second;
}

FileChooser SetFileChooser(FileChooser chooser)
{
    FileChooser old = std::move(g_chooser);
    g_chooser = std::move(chooser);
    return old;
}

QString QtFilter(const QString& filter)
{
    const QStringList parts = filter.split('|', Qt::SkipEmptyParts);
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(";", " ").replace("*.*", "*");
        QString description = parts[i];
        description.replace("*.*", "*");
        out << description.section(" (", 0, 0) + " (" + patterns + ")";
    }
    return out.join(";;");
}

QString ChooseFile(QWidget* parent, bool save, int filterText, const QString& suffix)
{
    const QString filter = QtFilter(T(filterText));
    if (g_chooser) return g_chooser(parent, save, filter, suffix);
    QFileDialog dialog(parent, QString(), QString(), filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}

} // namespace nconfig::ui

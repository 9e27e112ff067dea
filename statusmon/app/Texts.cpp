#include "Texts.h"

#include <QGuiApplication>

#include <cstdio>

#include "nstat/Format.h"

namespace nstatapp {

namespace {
MessageHandler g_handler;
}

qavres::StringTable& Language()
{
    static qavres::StringTable table;
    return table;
}

qavres::ObjectTable& Objects()
{
    static qavres::ObjectTable table;
    return table;
}

QString TF(int id, const std::vector<std::string>& values)
{
    return Q(nstat::FormatText(Language().Get(id), values));
}

MessageHandler SetMessageHandler(MessageHandler handler)
{
    MessageHandler old = std::move(g_handler);
    g_handler = std::move(handler);
    return old;
}

QMessageBox::StandardButton ShowMessage(MessageKind kind, const QString& caption, const QString& text)
{
    if (g_handler) return g_handler(kind, caption, text);
    // Without a screen (the offscreen platform) nobody could answer a box:
    // the message goes to standard error and a question counts as No.
    const QString platform = QGuiApplication::platformName();
    if (platform == "offscreen" || platform == "minimal") {
        std::fprintf(stderr, "nstat: %s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
        return kind == MessageKind::kQuestion ? QMessageBox::No : QMessageBox::Ok;
    }
    switch (kind) {
    case MessageKind::kError: return QMessageBox::critical(nullptr, caption, text);
    case MessageKind::kWarning: return QMessageBox::warning(nullptr, caption, text);
    case MessageKind::kInformation: return QMessageBox::information(nullptr, caption, text);
    case MessageKind::kQuestion:
        return QMessageBox::question(nullptr, caption, text, QMessageBox::Yes | QMessageBox::No);
    }
    return QMessageBox::NoButton;
}

} // namespace nstatapp

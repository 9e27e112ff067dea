#include "Texts.h"

#include <QGuiApplication>

#include <cstdio>

namespace nwatch {

namespace {
MessageHandler g_handler;
}

qavres::StringTable& Language()
{
    static qavres::StringTable table;
    return table;
}

MessageHandler SetMessageHandler(MessageHandler handler)
{
    MessageHandler old = std::move(g_handler);
    g_handler = std::move(handler);
    return old;
}

QMessageBox::StandardButton ShowMessage(MessageKind kind, const QString& caption, const QString& text,
                                        QMessageBox::StandardButton headless)
{
    if (g_handler) return g_handler(kind, caption, text);
    if (QGuiApplication::platformName() == "offscreen" || QGuiApplication::platformName() == "minimal") {
        std::fprintf(stderr, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
        return headless;
    }
    switch (kind) {
    case MessageKind::kError: return QMessageBox::critical(nullptr, caption, text);
    case MessageKind::kWarning: return QMessageBox::warning(nullptr, caption, text);
    case MessageKind::kInformation: return QMessageBox::information(nullptr, caption, text);
    case MessageKind::kQuestionYesNo:
        return QMessageBox::question(nullptr, caption, text, QMessageBox::Yes | QMessageBox::No);
    case MessageKind::kQuestionYesNoCancel:
        return QMessageBox::question(nullptr, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    }
    return headless;
}

} // namespace nwatch

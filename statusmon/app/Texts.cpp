#include "Texts.h"

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
    switch (kind) {
    case MessageKind::kError: return QMessageBox::critical(nullptr, caption, text);
    case MessageKind::kWarning: return QMessageBox::warning(nullptr, caption, text);
    case MessageKind::kInformation: return QMessageBox::information(nullptr, caption, text);
    case MessageKind::kQuestion: return QMessageBox::question(nullptr, caption, text, QMessageBox::Yes | QMessageBox::No);
    }
    return QMessageBox::NoButton;
}

} // namespace nstatapp

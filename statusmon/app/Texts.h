// The status monitor's language texts as Qt strings, and its message boxes.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "qavres/Resources.h"

namespace nstatapp {

// The process's language table and object table (loaded once at start).
qavres::StringTable& Language();
qavres::ObjectTable& Objects();

inline QString T(int id) { return QString::fromUtf8(Language().Get(id).c_str()); }
inline QString Q(const std::string& text) { return QString::fromUtf8(text.c_str()); }
// Text `id` filled with the values (its "%s" and "%d" in order).
QString TF(int id, const std::vector<std::string>& values);

enum class MessageKind { kError, kWarning, kInformation, kQuestion };

// Shows a message box and returns the button pressed. Tests put a handler
// of their own in place (SetMessageHandler returns the previous one).
using MessageHandler = std::function<QMessageBox::StandardButton(MessageKind, const QString& caption,
                                                                 const QString& text)>;
QMessageBox::StandardButton ShowMessage(MessageKind kind, const QString& caption, const QString& text);
MessageHandler SetMessageHandler(MessageHandler handler);

} // namespace nstatapp

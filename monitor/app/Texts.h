// The monitor's language texts as Qt strings, and its message boxes.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

#include "qavres/Resources.h"

namespace nwatch {

// The process's language table (loaded once at start).
qavres::StringTable& Language();
inline QString T(int id) { return QString::fromUtf8(Language().Get(id).c_str()); }

enum class MessageKind { kError, kWarning, kInformation, kQuestionYesNoCancel, kQuestionYesNo };

// Shows a message box and returns the button pressed. Without a screen to
// show it on (the headless monitor) the message goes to standard error and
// the answer is `headless`.
using MessageHandler = std::function<QMessageBox::StandardButton(MessageKind, const QString& caption,
                                                                 const QString& text)>;
QMessageBox::StandardButton ShowMessage(MessageKind kind, const QString& caption, const QString& text,
                                        QMessageBox::StandardButton headless = QMessageBox::Ok);
inline QMessageBox::StandardButton ShowText(MessageKind kind, int captionId, int textId,
                                            QMessageBox::StandardButton headless = QMessageBox::Ok)
{
    return ShowMessage(kind, T(captionId), T(textId), headless);
}
// Tests put their own handler in place (and get the old one back).
MessageHandler SetMessageHandler(MessageHandler handler);

} // namespace nwatch

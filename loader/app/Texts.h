// The download tool's texts as Qt strings, and its message boxes (which the
// tests take over).
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>
#include <string>

#include "qavres/Resources.h"

class QWidget;

namespace nloadui {

inline constexpr const char* kAppTitle = "QAV Barcode Net Loader";

// The process's texts (loaded once at start).
qavres::StringTable& Texts();
QString T(int id);
QString Q(const std::string& text);
// A text without its mnemonic "&" and a trailing ":" or "..." (titles, headers).
QString Plain(int id);

enum class Box { kError, kWarning, kInformation, kQuestion };

// Shows `text` (with an optional detail line) and returns the button
// pressed: Ok, or Yes/No for a question. Without a screen (the offscreen
// platform) the text goes to standard error and a question is answered No.
QMessageBox::StandardButton Message(QWidget* parent, Box kind, const QString& text, const QString& detail = {});
inline QMessageBox::StandardButton Message(QWidget* parent, Box kind, int textId, const QString& detail = {})
{
    return Message(parent, kind, T(textId), detail);
}

// Tests answer the boxes themselves: the handler gets (kind, text, detail).
using MessageHandler = std::function<QMessageBox::StandardButton(Box, const QString&, const QString&)>;
MessageHandler SetMessageHandler(MessageHandler handler);

// "nload: ..." on standard error when QAV_TRACE is set.
void Trace(const std::string& line);

} // namespace nloadui

#include "Texts.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

namespace nloadui {

namespace {
MessageHandler& Handler()
{
    static MessageHandler handler;
    return handler;
}
} // namespace

qavres::StringTable& Texts()
{
    static qavres::StringTable table;
    return table;
}

QString T(int id) { return QString::fromStdString(Texts().Get(id)); }

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString Plain(int id)
{
    QString text = T(id);
    text.remove('&');
    if (text.endsWith("...")) text.chop(3);
    if (text.endsWith(':')) text.chop(1);
    return text;
}

MessageHandler SetMessageHandler(MessageHandler handler)
{
    MessageHandler old = std::move(Handler());
    Handler() = std::move(handler);
    return old;
}

QMessageBox::StandardButton Message(QWidget* parent, Box kind, const QString& text, const QString& detail)
{
    if (Handler()) return Handler()(kind, text, detail);
    // Without a screen nobody could answer: the message goes to standard
    // error, and a question is answered No.
    const QString platform = QGuiApplication::platformName();
    if (platform == "offscreen" || platform == "minimal") {
        std::fprintf(stderr, "nload: %s%s%s\n", text.toUtf8().constData(), detail.isEmpty() ? "" : ": ",
                     detail.toUtf8().constData());
        return kind == Box::kQuestion ? QMessageBox::No : QMessageBox::Ok;
    }
    const QMessageBox::Icon icon = kind == Box::kError     ? QMessageBox::Critical
                                   : kind == Box::kWarning ? QMessageBox::Warning
                                   : kind == Box::kQuestion ? QMessageBox::Question
                                                            : QMessageBox::Information;
    const QMessageBox::StandardButtons buttons =
        kind == Box::kQuestion ? QMessageBox::Yes | QMessageBox::No : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox box(icon, QString::fromLatin1(kAppTitle), text, buttons, parent);
    if (!detail.isEmpty()) box.setInformativeText(detail);
    if (kind == Box::kQuestion) box.setDefaultButton(QMessageBox::No);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void Trace(const std::string& line)
{
    static const bool on = std::getenv("QAV_TRACE") != nullptr;
    if (on) std::fprintf(stderr, "nload: %s\n", line.c_str());
}

} // namespace nloadui

#include "qavplatform/MessageBus.h"

#include "qavplatform/Result.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QVariant>

namespace qavplatform {

namespace {

constexpr int kBusCallTimeoutMs = 5000;

// A call to the bus itself: its answer comes after everything this process
// sent before it, so it tells that earlier messages have been taken.
bool RoundTrip(QDBusConnection& bus, QString* error)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                       QStringLiteral("/org/freedesktop/DBus"),
                                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId"));
    QDBusMessage reply = bus.call(call, QDBus::Block, kBusCallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (error) *error = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
        return false;
    }
    return true;
}

QString NoBusText(const QDBusConnection& bus)
{
    QString reason = bus.lastError().message();
    return reason.isEmpty() ? QStringLiteral("no session bus") : QStringLiteral("no session bus: ") + reason;
}

} // namespace

int BroadcastMessage(Message message, int wParam, std::string* error)
{
    const char* name = MessageName(message);
    if (!*name) {
        if (error) *error = "unknown message " + std::to_string(static_cast<int>(message));
        return kErrInvalidName;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (error) *error = NoBusText(bus).toStdString();
        return kErrNoBus;
    }
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(kBusPath), QLatin1String(kBusInterface),
                                                     QLatin1String(name));
    signal << static_cast<qint32>(wParam);
    if (!bus.send(signal)) {
        if (error) *error = NoBusText(bus).toStdString();
        return kErrNoBus;
    }
    QString reason;
    if (!RoundTrip(bus, &reason)) {
        if (error) *error = "the session bus did not answer: " + reason.toStdString();
        return kErrNoBus;
    }
    return kOk;
}

MessageReceiver::MessageReceiver(QObject* parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        error_ = NoBusText(bus);
        return;
    }
    for (int i = 0; i < kMessageCount; ++i) {
        // A slot that takes the whole message accepts any arguments, so a
        // signal from a foreign sender with none (or others) is still seen.
        if (!bus.connect(QString(), QLatin1String(kBusPath), QLatin1String(kBusInterface),
                         QLatin1String(MessageName(static_cast<Message>(i))), this,
                         SLOT(onBusSignal(QDBusMessage)))) {
            error_ = QStringLiteral("cannot listen for ") + QLatin1String(MessageName(static_cast<Message>(i))) +
                     QStringLiteral(": ") + bus.lastError().message();
            return;
        }
    }
    // The bus applies the listening rules in order; once it has answered a
    // later call, every broadcast it receives from then on reaches us.
    if (!RoundTrip(bus, &error_)) return;
    listening_ = true;
}

MessageReceiver::~MessageReceiver()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    for (int i = 0; i < kMessageCount; ++i)
        bus.disconnect(QString(), QLatin1String(kBusPath), QLatin1String(kBusInterface),
                       QLatin1String(MessageName(static_cast<Message>(i))), this, SLOT(onBusSignal(QDBusMessage)));
}

void MessageReceiver::onBusSignal(const QDBusMessage& message)
{
    Message which;
    if (message.interface() != QLatin1String(kBusInterface) || !MessageFromName(message.member().toStdString(), &which))
        return;
    // The wParam is the first argument when it is a number; anything else
    // (a foreign sender's text, no argument at all) counts as 0.
    int wParam = 0;
    const QList<QVariant> args = message.arguments();
    if (!args.isEmpty()) {
        const QVariant& first = args.first();
        switch (first.metaType().id()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::UChar:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            wParam = static_cast<int>(first.toLongLong());
            break;
        default:
            break;
        }
    }
    emit received(which, wParam);
    switch (which) {
    case Message::NwatchExit: emit nwatchExit(); break;
    case Message::NlistExit: emit nlistExit(); break;
    case Message::LogSettingsChanged: emit logSettingsChanged(); break;
    case Message::SurveillanceOptionsChanged: emit surveillanceOptionsChanged(); break;
    case Message::UpdateTrap: emit updateTrap(wParam); break;
    }
}

} // namespace qavplatform

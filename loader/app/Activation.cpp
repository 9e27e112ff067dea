#include "Activation.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QThread>

namespace nloadui {

namespace {
constexpr int kCallTimeoutMs = 2000;
constexpr int kRetryMs = 100;
} // namespace

bool Activation::Register(QString* error)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (error) *error = "no session bus";
        return false;
    }
    if (!bus.registerObject(QLatin1String(kActivationPath), this, QDBusConnection::ExportScriptableSlots) ||
        !bus.registerService(QLatin1String(kActivationService))) {
        if (error) *error = bus.lastError().message();
        return false;
    }
    return true;
}

void Activation::Activate() { emit activated(); }

bool ActivateRunningTool(int timeoutMs, QString* error)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (error) *error = "no session bus";
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        QDBusMessage call = QDBusMessage::createMethodCall(QLatin1String(kActivationService),
                                                           QLatin1String(kActivationPath),
                                                           QLatin1String(kActivationInterface), "Activate");
        const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage) return true;
        if (clock.elapsed() >= timeoutMs) {
            if (error) *error = reply.errorMessage();
            return false;
        }
        QThread::msleep(kRetryMs);
    }
}

} // namespace nloadui

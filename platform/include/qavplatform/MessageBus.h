// Broadcasting and receiving the tool set's five messages (listed in
// qavplatform/Messages.h) over the session bus, with QtDBus.
//
// Both sides fail softly when there is no session bus: the broadcast
// returns kErrNoBus with the reason, the receiver reports that it does not
// listen, and the program goes on without the messages. A QCoreApplication
// (or QApplication) should exist before either is used; received messages
// are delivered through the Qt event loop of the receiver's thread.
#pragma once

#include "qavplatform/Messages.h"

#include <QDBusMessage>
#include <QObject>
#include <QString>

#include <string>

namespace qavplatform {

// Sends the message to every program listening on the session bus, this
// process included, and returns once the bus has it (a program may exit
// right after). kOk, kErrNoBus or kErrInvalidName (not one of the five).
int BroadcastMessage(Message message, int wParam = 0, std::string* error = nullptr);

// Listens for the five messages from the moment it is constructed: a
// broadcast that reaches the bus after the constructor returned is
// delivered. One Qt signal per message, and `received` for all of them.
class MessageReceiver : public QObject {
    Q_OBJECT
public:
    explicit MessageReceiver(QObject* parent = nullptr);
    ~MessageReceiver() override;

    bool isListening() const { return listening_; }
    // Why the receiver does not listen (empty while it does).
    QString errorText() const { return error_; }

signals:
    void received(qavplatform::Message message, int wParam);
    void nwatchExit();
    void nlistExit();
    void logSettingsChanged();
    void surveillanceOptionsChanged();
    void updateTrap(int wParam);

private slots:
    void onBusSignal(const QDBusMessage& message);

private:
    bool listening_ = false;
    QString error_;
};

} // namespace qavplatform

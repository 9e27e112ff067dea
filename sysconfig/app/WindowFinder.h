// A second system window for the same printer only brings the first one
// forward. Every window of one printer holds a lock named by its title
// ("NCONFIG Window " and the title) and listens on a local socket beside
// the lock file; an instance that finds the lock held asks the holder to
// restore its window and bring it to the front, and stops.
#pragma once

#include <QObject>
#include <QString>

#include <string>

#include "qavplatform/NamedLocks.h"

class QLocalServer;
class QWidget;

namespace nconfig::ui {

class WindowFinder : public QObject {
    Q_OBJECT
public:
    explicit WindowFinder(QObject* parent = nullptr);
    ~WindowFinder() override;

    // True when this instance may show a window of this title; false when
    // another one shows it already (it has been asked to come forward).
    bool Claim(const QString& title);
    // Brings `window` forward whenever a later instance asks. The title may
    // change (the printer moved to its new address): Rename claims the new one.
    void Listen(QWidget* window);
    void Rename(const QString& title);

    // The socket a window of this title listens on.
    static QString SocketPath(const QString& title);

private:
    void StartServer();

    qavplatform::SingleInstance lock_;
    QLocalServer* server_ = nullptr;
    QWidget* window_ = nullptr;
    QString title_;
};

} // namespace nconfig::ui

#include "WindowFinder.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

namespace nconfig::ui {

namespace {

constexpr const char* kLockPrefix = "NCONFIG Window ";
constexpr const char* kRaise = "raise\n";

std::string LockName(const QString& title) { return kLockPrefix + title.toStdString(); }

} // namespace

WindowFinder::WindowFinder(QObject* parent) : QObject(parent) {}

WindowFinder::~WindowFinder()
{
    if (server_) server_->close();
}

QString WindowFinder::SocketPath(const QString& title)
{
    const std::string dir = qavplatform::LockDir();
    const std::string file = qavplatform::LockFileName(LockName(title));
    if (dir.empty() || file.empty()) return QString();
    return QString::fromStdString(dir + "/" + file + ".sock");
}

bool WindowFinder::Claim(const QString& title)
{
    title_ = title;
    if (lock_.Acquire(LockName(title))) return true;
    if (lock_.Result() != 0 && !qavplatform::NamedEvent::Exists(LockName(title))) return true; // no lock folder
    QLocalSocket socket;
    socket.connectToServer(SocketPath(title));
    if (socket.waitForConnected(1000)) {
        socket.write(kRaise);
        socket.waitForBytesWritten(1000);
        socket.disconnectFromServer();
    }
    return false;
}

void WindowFinder::Listen(QWidget* window)
{
    window_ = window;
    StartServer();
}

void WindowFinder::Rename(const QString& title)
{
    if (title == title_) return;
    lock_.Release();
    if (server_) {
        server_->close();
        server_->deleteLater();
        server_ = nullptr;
    }
    title_ = title;
    if (lock_.Acquire(LockName(title))) StartServer();
}

void WindowFinder::StartServer()
{
    const QString path = SocketPath(title_);
    if (path.isEmpty() || !window_) return;
    server_ = new QLocalServer(this);
    QLocalServer::removeServer(path); // a socket left behind by a window that died
    if (!server_->listen(path)) return;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = server_->nextPendingConnection()) {
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (peer->readAll().startsWith("raise") && window_) {
                    window_->showNormal();
                    window_->raise();
                    window_->activateWindow();
                }
                peer->deleteLater();
            });
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        }
    });
}

} // namespace nconfig::ui

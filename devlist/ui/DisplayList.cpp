// LDDisplayList: the monitor's (or any caller's) door to the list window.
// The window runs in a local event loop on the thread that opened it; other
// threads only query its state or hand it requests through that loop.
#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <mutex>

#include "ListWindow.h"
#include "nlist/Nlist.h"

namespace {

std::atomic<bool> open{false};
std::atomic<bool> busy{false};
std::mutex windowMutex;
QPointer<nlist::ui::CNLISTListDisplayDlg> window; // guarded by windowMutex

void Raise(nlist::ui::CNLISTListDisplayDlg* w)
{
    if (w->isMinimized()) w->showNormal();
    w->raise();
    w->activateWindow();
}

} // namespace

int LDDisplayList(int accessMode, int action, int* state)
{
    if (state) {
        *state = open && busy ? 1 : 0;
        return 1;
    }
    if (action != 1) {
        std::lock_guard<std::mutex> lock(windowMutex);
        if (window) QMetaObject::invokeMethod(window, "close", Qt::QueuedConnection);
        return 1;
    }
    if (open.exchange(true)) {
        std::lock_guard<std::mutex> lock(windowMutex);
        if (window) {
            nlist::ui::CNLISTListDisplayDlg* w = window;
            QMetaObject::invokeMethod(w, [w] { Raise(w); }, Qt::QueuedConnection);
        }
        return 1;
    }
    // A caller without Qt of its own gets an application for the window.
    static int argc = 1;
    static char name[] = "nlist";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
    // Widgets live on the application's thread only: a call from another
    // thread runs the window there and waits until it closed.
    if (QThread::currentThread() != QApplication::instance()->thread()) {
        open = false;
        QMetaObject::invokeMethod(
            QApplication::instance(), [accessMode] { LDDisplayList(accessMode, 1, nullptr); },
            Qt::BlockingQueuedConnection);
        return 1;
    }
    {
        nlist::ui::CNLISTListDisplayDlg w(accessMode, &busy);
        QEventLoop loop;
        QObject::connect(&w, &nlist::ui::CNLISTListDisplayDlg::closed, &loop, &QEventLoop::quit);
        {
            std::lock_guard<std::mutex> lock(windowMutex);
            window = &w;
        }
        w.show();
        loop.exec();
        std::lock_guard<std::mutex> lock(windowMutex);
        window = nullptr;
    }
    busy = false;
    open = false;
    return 1;
}

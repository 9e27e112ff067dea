// SearchDevices(): the search behind its progress window when the process
// runs a widget application and the call comes on its thread; otherwise the
// search runs on the caller's thread without a window.
#include <QApplication>
#include <QThread>

#include "SearchProgressDialog.h"
#include "nlist/Nlist.h"

void SearchDevices()
{
    nlist::SearchSettings settings = nlist::ReadSearchSettings();
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app && QThread::currentThread() == app->thread()) {
        nlist::SearchProgressDialog dialog(std::move(settings), QApplication::activeWindow());
        dialog.exec();
        return;
    }
    nlist::DeviceSearch search(std::move(settings));
    search.Run();
}

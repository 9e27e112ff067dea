// Pictures of the status monitor's windows for the README: the window for
// a printer, after its first refresh, on the tab and view asked for.
//   nstat_shots ADDRESS OUTPUT.png [--tab N] [--view N] [--admin] [--dialog keys|setting]
// Runs under any display (Xvfb for the README, see scripts/nstat-screenshots).
#include <QApplication>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <cstring>

#include "DeviceStatusPage.h"
#include "Dialogs.h"
#include "MainWindow.h"
#include "PrinterWorker.h"
#include "Texts.h"
#include "qavplatform/Address.h"

using namespace nstatapp;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: nstat_shots ADDRESS OUTPUT.png [--tab N] [--view N] [--admin] "
                             "[--dialog keys|setting]\n");
        return 2;
    }
    uint32_t address = 0;
    if (!qavplatform::ParseAddress(argv[1], address)) return 2;
    const QString output = argv[2];
    int tab = 0, view = 0;
    bool admin = false;
    std::string dialog;
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--tab") && i + 1 < argc) tab = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--view") && i + 1 < argc) view = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--admin")) admin = true;
        else if (!std::strcmp(argv[i], "--dialog") && i + 1 < argc) dialog = argv[++i];
    }
    if (!Language().Load(qavres::kLanguage) || !Objects().Load()) return 1;
    CNSTATDlg window(address, admin, std::make_unique<nstat::SnmpLink>(address, Objects()));
    window.show();
    window.Start();
    int step = 0;
    std::unique_ptr<QDialog> shown;
    QObject::connect(&window, &CNSTATDlg::refreshed, &window, [&] {
        if (!dialog.empty()) {
            if (step++ > 0) return;
            if (dialog == "keys") {
                shown = std::make_unique<CNSTATRemoteKeyDlg>(window.Worker(), window.State(), nullptr, &window);
            } else {
                shown = std::make_unique<CNSTATDeviceSetting>(
                    window.Worker(), window.State().maker,
                    [&](std::function<void(const nstat::PrinterState&)> then) { window.RefreshThen(then); }, &window);
            }
            shown->show();
            QTimer::singleShot(1500, [&] {
                shown->grab().save(output);
                app.quit();
            });
            return;
        }
        if (step == 0 && tab != 0) {
            step = 1;
            window.Tabs()->setCurrentIndex(tab);
            return;
        }
        step = 2;
        if (view != 0) {
            QObject::connect(&window.Worker(), &PrinterWorker::idle, &window, [&] {
                QTimer::singleShot(300, [&] {
                    window.grab().save(output);
                    app.quit();
                });
            });
            window.DevicePage()->viewChosen(view);
            return;
        }
        QTimer::singleShot(300, [&] {
            window.grab().save(output);
            app.quit();
        });
    });
    QTimer::singleShot(30000, &app, [&] { app.exit(1); });
    const int rc = app.exec();
    window.StopWorker(5000);
    return rc;
}

// The settings dialogs outside the monitor, for the tests and the pictures:
//
//   nsetup_tool --hold <function> <libnsetup.so>
//       loads the library as the list window does, calls the setup function
//       by name and says "open" once its dialog shows ("closed" at the end);
//   nsetup_tool --grab <management|search|surveillance|log> <file.png>
//       shows one dialog over the settings files and saves its picture.
#include <QApplication>
#include <QTimer>

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "Dialogs.h"

namespace {

int Hold(const char* function, const char* library)
{
    void* handle = ::dlopen(library, RTLD_NOW);
    if (!handle) {
        std::fprintf(stderr, "%s\n", ::dlerror());
        return 2;
    }
    auto setup = reinterpret_cast<int (*)()>(::dlsym(handle, function));
    if (!setup) {
        std::fprintf(stderr, "%s: not exported\n", function);
        return 2;
    }
    QTimer watch;
    bool said = false;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!said && QApplication::activeModalWidget()) {
            said = true;
            std::printf("open %s\n", QApplication::activeModalWidget()->windowTitle().toUtf8().constData());
            std::fflush(stdout);
        }
    });
    watch.start(20);
    const int rc = setup();
    std::printf("closed %d\n", rc);
    std::fflush(stdout);
    return 0;
}

int Grab(const std::string& which, const char* file)
{
    if (!nsetup::EnsureLanguage()) return 2;
    std::unique_ptr<QDialog> dialog;
    if (which == "management") dialog = std::make_unique<nsetup::CNSETUPMgmtSetting>();
    else if (which == "search") dialog = std::make_unique<nsetup::CNSETUPSearchSetting>();
    else if (which == "surveillance") dialog = std::make_unique<nsetup::CNSETUPSurveillanceSetting>();
    else if (which == "log") dialog = std::make_unique<nsetup::CNSETUPLogSetting>();
    else return 2;
    dialog->show();
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    const bool saved = dialog->grab().save(file);
    std::printf("%s %s\n", saved ? "saved" : "not saved", file);
    return saved ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s --hold <function> <library> | --grab <dialog> <file.png>\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    if (std::strcmp(argv[1], "--hold") == 0) return Hold(argv[2], argv[3]);
    if (std::strcmp(argv[1], "--grab") == 0) return Grab(argv[2], argv[3]);
    return 2;
}

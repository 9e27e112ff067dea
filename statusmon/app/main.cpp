// nstat: the status monitor of one printer, "nstat ADDRESS N".
#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "MainWindow.h"
#include "Texts.h"
#include "nstat/Program.h"
#include "qavplatform/NamedLocks.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("nstat");
    using namespace nstatapp;

    std::string error;
    if (!Language().Load(qavres::kLanguage, &error)) {
        ShowMessage(MessageKind::kError, qavres::kErrorCaption, qavres::kLanguageLoadError);
        std::fprintf(stderr, "nstat: %s\n", error.c_str());
        return 1;
    }
    if (!Objects().Load(&error)) {
        ShowMessage(MessageKind::kError, qavres::kErrorCaption, T(3310));
        std::fprintf(stderr, "nstat: %s\n", error.c_str());
        return 1;
    }
    nstat::CommandLine line;
    if (!nstat::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), line)) {
        ShowMessage(MessageKind::kError, qavres::kErrorCaption, T(5065));
        return 1;
    }
    // One status monitor per printer: a second one for the same printer
    // ends without a word.
    qavplatform::SingleInstance instance;
    if (!instance.Acquire(nstat::InstanceLockName(line.address), &error)) {
        if (instance.Result() != 0 && !error.empty()) std::fprintf(stderr, "nstat: %s\n", error.c_str());
        return 0;
    }

    int code = 0;
    {
        CNSTATDlg window(line.address, line.administrator,
                         std::make_unique<nstat::SnmpLink>(line.address, Objects()));
        window.show();
        window.Start();
        code = app.exec();
        // The window is gone; an exchange still under way is not waited for
        // longer than a moment.
        if (!window.StopWorker(300)) {
            std::fflush(nullptr);
            std::_Exit(code);
        }
    }
    return code;
}

// nwatch: the resident monitor of the QAV network tool set.
#include <QApplication>
#include <QSocketNotifier>

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "Monitor.h"
#include "Texts.h"
#include "qavplatform/NamedLocks.h"
#include "qavplatform/Processes.h"
#include "qavplatform/ProgramStart.h"
#include "qavplatform/Result.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    nwatch::Monitor::SessionEndRequested();
    const char c = 1;
    if (::write(g_signalPipe[1], &c, 1) < 0) { /* nothing more can be done in a handler */
    }
}

} // namespace

int main(int argc, char** argv)
{
    // Without a display the monitor still monitors: polling, traps, logs and
    // mail need no window.
    const bool headless = !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM");
    if (headless) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName("nwatch");
    const QString platform = QGuiApplication::platformName();
    const bool windows = platform != "offscreen" && platform != "minimal";
    if (!windows) std::fprintf(stderr, "nwatch: no display: monitoring without windows\n");
    // A file size limit makes a write fail (the trap log then keeps whole
    // records) instead of ending the monitor.
    ::signal(SIGXFSZ, SIG_IGN);

    std::string error;
    if (!nwatch::Language().Load(qavres::kLanguage, &error)) {
        nwatch::ShowMessage(nwatch::MessageKind::kError, qavres::kErrorCaption, qavres::kLanguageLoadError);
        std::fprintf(stderr, "nwatch: %s\n", error.c_str());
        return 2;
    }
    // The monitor does not start while the suite's own system setting tool
    // or download tool runs (programs of other packages with the same names
    // do not count).
    const std::string programs = qavplatform::ProgramDir();
    if (qavplatform::IsProgramRunning(programs, "NCONFIG.EXE")) {
        nwatch::ShowText(nwatch::MessageKind::kWarning, 111, 725);
        return 0;
    }
    if (qavplatform::IsProgramRunning(programs, "NLOAD.EXE")) {
        nwatch::ShowText(nwatch::MessageKind::kWarning, 111, 726);
        return 0;
    }
    // One monitor at a time. A second one ends at once and says so; a lock
    // folder that cannot be used ends the start as a failure.
    qavplatform::SingleInstance instance;
    std::string lockError;
    if (!instance.Acquire("NWATCH", &lockError)) {
        if (instance.Result() == qavplatform::kErrBusy) {
            std::fprintf(stderr, "nwatch: another monitor is already running for this user; this one ends\n");
            return 0;
        }
        std::fprintf(stderr, "nwatch: cannot start: %s\n", lockError.c_str());
        return 1;
    }
    if (::chdir(qavplatform::ProgramDir().c_str()) != 0) { /* the program folder is only a convenience */
    }

    nwatch::Monitor monitor;
    monitor.SetWindowsShown(windows);
    // SIGTERM and SIGINT end the session in order: the group file is saved.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        ::sigaction(SIGTERM, &sa, nullptr);
        ::sigaction(SIGINT, &sa, nullptr);
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &monitor, [&] {
            char c;
            if (::read(g_signalPipe[0], &c, 1) > 0) monitor.SessionEnd();
        });
    }
    int exitCode = 0;
    if (!monitor.Start(&exitCode)) return exitCode;
    return app.exec();
}

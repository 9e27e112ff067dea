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
#include "nwatch/MonitorState.h"
#include "qavplatform/NamedLocks.h"
#include "qavplatform/Processes.h"
#include "qavplatform/ProgramStart.h"
#include "qavplatform/Result.h"
#include "qavsettings/DataFolder.h"

namespace {

int g_signalPipe[2] = {-1, -1};
// The monitor once it exists; before, a SIGTERM ends whatever the program
// waits for (a message box) and the program with it.
nwatch::Monitor* g_monitor = nullptr;
// The program could not start: no data folder, or it was stopped meanwhile.
constexpr int kExitNotStarted = 2;

void OnSignal(int)
{
    nwatch::Monitor::SessionEndRequested();
    const char c = 1;
    if (::write(g_signalPipe[1], &c, 1) < 0) { /* nothing more can be done in a handler */
    }
}

// SIGTERM and SIGINT reach the window thread through the signal pipe.
void CatchSignals(QApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char c;
        if (::read(g_signalPipe[0], &c, 1) <= 0) return;
        if (g_monitor) {
            g_monitor->SessionEnd(); // the group file is saved
        } else {
            QCoreApplication::exit(kExitNotStarted); // every event loop, a message box's too
        }
    });
}

// The data folder is made by the installation step. Without it the monitor
// says which folder it looked for and how to make it, on standard error and,
// with a display, in a message box (which SIGTERM closes).
bool DataFolderThere(bool windows)
{
    const std::string folder = qavsettings::DataDir();
    if (!nwatch::DataFolderMissing(folder)) return true;
    const char* variable = std::getenv("QAV_DATA_DIR");
    const std::string command =
        nwatch::DataFolderCommand(qavplatform::ProgramDir(), variable && *variable ? variable : "");
    const std::string text = nwatch::DataFolderMessage(nwatch::Language().Get(1032), folder, command);
    std::fprintf(stderr, "nwatch: %s\n", text.c_str());
    std::fflush(stderr);
    if (windows) nwatch::ShowMessage(nwatch::MessageKind::kError, nwatch::T(1018), QString::fromStdString(text));
    return false;
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

    CatchSignals(app);

    std::string error;
    if (!nwatch::Language().Load(qavres::kLanguage, &error)) {
        nwatch::ShowMessage(nwatch::MessageKind::kError, qavres::kErrorCaption, qavres::kLanguageLoadError);
        std::fprintf(stderr, "nwatch: %s\n", error.c_str());
        return 2;
    }
    if (!DataFolderThere(windows)) return kExitNotStarted;
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
    // From here SIGTERM and SIGINT end the session in order: the group file
    // is saved.
    g_monitor = &monitor;
    int exitCode = 0;
    if (!monitor.Start(&exitCode)) return exitCode;
    return app.exec();
}

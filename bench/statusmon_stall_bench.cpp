// The status monitor's window thread while its printer is silent (nothing
// answers at the address: every exchange waits for the library's time-out)
// and, for comparison, while a simulated printer answers. Polling runs
// every second, and twice a second the window is also asked for a refresh
// and another view, as a user clicking about would. A 5 ms timer on the
// window thread records every gap between its ticks; the figures are the
// longest gap less the period, and the 99th percentile. On a machine that
// is busy with other work these gaps also hold the time the window thread
// waited for a processor, so the longest single event handled on the
// window thread is measured as well, in wall time and in the window
// thread's own processor time.
//
//   statusmon_stall_bench [--seconds N]      (default 20 per printer)
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "DeviceStatusPage.h"
#include "MainWindow.h"
#include "PrinterWorker.h"
#include "TestPeers.h"
#include "Texts.h"
#include "qavplatform/Address.h"

namespace {

constexpr int kTickMs = 5;

double ThreadCpuMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Times every event the window thread handles (nested events count inside
// the one that holds them, so only the outermost is measured).
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        // The worker's jobs are events of its own thread: not measured.
        if (QThread::currentThread() != thread()) return QApplication::notify(receiver, event);
        if (depth_++ > 0) {
            const bool r = QApplication::notify(receiver, event);
            --depth_;
            return r;
        }
        QElapsedTimer wall;
        wall.start();
        const double cpu = ThreadCpuMs();
        const bool r = QApplication::notify(receiver, event);
        longestWall = std::max(longestWall, wall.nsecsElapsed() / 1e6);
        longestCpu = std::max(longestCpu, ThreadCpuMs() - cpu);
        --depth_;
        return r;
    }
    double longestWall = 0, longestCpu = 0;

private:
    int depth_ = 0;
};

class GapRecorder {
public:
    GapRecorder()
    {
        QObject::connect(&tick_, &QTimer::timeout, [this] {
            const double gap = clock_.nsecsElapsed() / 1e6 - kTickMs;
            if (gaps_.empty() || gap > Longest()) worstAt_ = since_.elapsed();
            gaps_.push_back(gap);
            clock_.restart();
        });
    }
    void Start()
    {
        gaps_.clear();
        clock_.start();
        since_.start();
        tick_.start(kTickMs);
    }
    void Stop() { tick_.stop(); }
    double Longest() const { return gaps_.empty() ? 0 : *std::max_element(gaps_.begin(), gaps_.end()); }
    double Percentile(double p) const
    {
        if (gaps_.empty()) return 0;
        std::vector<double> sorted = gaps_;
        std::sort(sorted.begin(), sorted.end());
        return sorted[static_cast<size_t>(p * (sorted.size() - 1))];
    }

private:
    QTimer tick_;
    QElapsedTimer clock_, since_;
    std::vector<double> gaps_;
    qint64 worstAt_ = 0;

public:
    qint64 WorstAt() const { return worstAt_; }
};

void Run(TimedApplication& app, const char* what, const std::string& address, int seconds, const std::string& survey)
{
    uint32_t a = 0;
    qavplatform::ParseAddress(address, a);
    nstatapp::CNSTATDlg window(a, true, std::make_unique<nstat::SnmpLink>(a, nstatapp::Objects()));
    window.SetSurveyFile(survey);
    window.show();
    int refreshes = 0;
    QObject::connect(&window, &nstatapp::CNSTATDlg::refreshed, [&] { ++refreshes; });
    GapRecorder gaps;
    QApplication::processEvents(); // the window's first layout and paint are not polling
    app.longestWall = app.longestCpu = 0;
    gaps.Start();
    window.Start();
    int view = 0;
    QTimer clicks;
    QObject::connect(&clicks, &QTimer::timeout, [&] {
        window.Refresh();
        view = (view + 1) % 5;
        emit window.DevicePage()->viewChosen(view);
    });
    clicks.start(500);
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    clicks.stop();
    gaps.Stop();
    std::printf("%-17s %3d s  %3d refreshes shown\n"
                "  longest gap of the window thread %6.1f ms (at %4.1f s), 99th percentile %4.1f ms\n"
                "  longest event on the window thread %6.1f ms wall, %5.1f ms of its processor time\n",
                what, seconds, refreshes, gaps.Longest(), gaps.WorstAt() / 1000.0, gaps.Percentile(0.99),
                app.longestWall, app.longestCpu);
    std::fflush(stdout);
    window.StopWorker(5000);
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TimedApplication app(argc, argv);
    int seconds = 20;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) seconds = std::atoi(argv[++i]);
    }
    const std::string objects = QAV_SOURCE_DIR "/resources/data/QAVOIDER.txt";
    if (!nstatapp::Language().LoadFile(QAV_SOURCE_DIR "/resources/data/QAVLANG.txt") ||
        !nstatapp::Objects().LoadFile(objects)) {
        std::fprintf(stderr, "statusmon_stall_bench: the resources cannot be loaded\n");
        return 1;
    }
    qavtest::TempDir data;
    ::setenv("QAV_DATA_DIR", data.Path().c_str(), 1);
    const std::string survey = data.File("QAVSurveyConfig.INI");
    qavtest::WriteFile(survey, "[Polling]\nPolling=1\nDetailedDuration=1\n");
    const int port = qavtest::PrepareAgentPort();

    Run(app, "silent printer", qavtest::LoopbackAddress(210), seconds, survey);

    qavtest::PrinterSim sim;
    const std::string first = qavtest::LoopbackAddress(211);
    if (!sim.Start({"--models", first, "--port", std::to_string(port)})) {
        std::fprintf(stderr, "statusmon_stall_bench: the simulator did not start\n%s", sim.Log().c_str());
        return 1;
    }
    sim.Command("status " + first + " paper-jam");
    Run(app, "answering printer", first, seconds, survey);
    return 0;
}

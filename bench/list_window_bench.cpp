// The list window with a large fleet: sorting the group in the model, one
// refresh pass over every printer (the simulator answering) with the window
// updating from it, and scrolling through the printer list, on the
// offscreen platform. A 10 ms timer on the window thread measures its
// longest stall (the largest gap between ticks, less the period).
//
//   list_window_bench [--printers N] [--silent N]
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QTimer>

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "DeviceModel.h"
#include "ListView.h"
#include "ListWindow.h"
#include "TestPeers.h"
#include "nlist/Nlist.h"
#include "qavsettings/SettingsFiles.h"

namespace {

// Measures the longest gap between ticks of a 10 ms timer while it runs.
class StallMeter {
public:
    StallMeter()
    {
        QObject::connect(&tick_, &QTimer::timeout, [this] {
            const double ms = gap_.nsecsElapsed() / 1e6 - 10;
            if (ms > worst_) worst_ = ms;
            gap_.restart();
        });
    }
    void Start()
    {
        worst_ = 0;
        gap_.start();
        tick_.start(10);
    }
    double Stop()
    {
        tick_.stop();
        return worst_ < 0 ? 0 : worst_;
    }

private:
    QTimer tick_;
    QElapsedTimer gap_;
    double worst_ = 0;
};

double Ms(const QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    int printers = 5000, silent = 50;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--printers") && i + 1 < argc) printers = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--silent") && i + 1 < argc) silent = std::atoi(argv[++i]);
    }
    qavtest::TempDir data, config;
    ::setenv("QAV_DATA_DIR", data.Path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    qavtest::WriteFile(data.File("QAVSurveyConfig.INI"), "[Polling]\nPolling=1\nListDuration=1\n");

    const int port = qavtest::PrepareAgentPort();
    qavtest::PrinterSim sim;
    if (!sim.Start({"--count", std::to_string(printers), "--first", qavtest::LoopbackBlock(), "--port",
                    std::to_string(port), "--quiet"},
                   120000)) {
        std::fprintf(stderr, "the simulator did not start:\n%s\n", sim.Log().c_str());
        return 1;
    }
    const std::vector<uint32_t> addresses = sim.Addresses();
    const int step = silent > 0 ? std::max(1, static_cast<int>(addresses.size()) / silent) : 0;
    int down = 0;
    for (size_t i = 0; step && i < addresses.size() && down < silent; i += step, ++down) {
        in_addr a{htonl(addresses[i])};
        sim.Command(std::string("down ") + inet_ntoa(a));
    }

    ClearListData();
    ClearGroupData();
    for (const char* name : {"All", "Maker"}) {
        GroupData g;
        nlist::CopyText(g.name, name);
        AddToGroupData(std::move(g));
    }
    for (size_t i = 0; i < addresses.size(); ++i) {
        ListData r;
        r.ipAddress = addresses[i];
        // Names in an order the sort has to work on.
        nlist::CopyText(r.name, ("Printer " + std::to_string((i * 7919) % addresses.size())).c_str());
        AddToListData(r);
        nlist::AddPrinterToGroup(0, r.ipAddress);
    }
    std::printf("list window with %zu printers (%d silent)\n", addresses.size(), down);

    // 1. Sorting in the model.
    QElapsedTimer t;
    for (int column : {nlist::kColName, nlist::kColPort, nlist::kColStatus}) {
        t.start();
        nlist::SortGroup(0, column, true, nlist::Language());
        const double asc = Ms(t);
        t.start();
        nlist::SortGroup(0, column, false, nlist::Language());
        std::printf("sort by %-6s  ascending %.1f ms, descending %.1f ms\n",
                    qavsettings::kColumnKeys[column], asc, Ms(t));
    }

    std::atomic<bool> busy{false};
    StallMeter meter;
    t.start();
    auto* w = new nlist::ui::CNLISTListDisplayDlg(1, &busy);
    w->resize(1000, 700);
    w->show();
    QApplication::processEvents();
    std::printf("window opened and filled in %.1f ms\n", Ms(t));

    t.start();
    w->Redraw();
    std::printf("one redraw of %d rows: %.1f ms\n", w->Printers()->rowCount(), Ms(t));

    // 2. One refresh pass with the window following it.
    meter.Start();
    t.start();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (w->Refresh().Passes() >= 1 || t.elapsed() > 600000) QCoreApplication::quit();
    });
    watch.start(50);
    QApplication::exec();
    watch.stop();
    const double refreshStall = meter.Stop();
    int answered = 0;
    for (const ListData& r : nlist::GroupRows(0)) answered += r.kind >= 0 ? 1 : 0;
    std::printf("refresh pass (after the 1 s cycle): %.1f s, %d answered; window thread stalled at most %.1f ms\n",
                t.elapsed() / 1000.0, answered, refreshStall);
    w->Refresh().Stop();

    // 3. Scrolling through the list a page at a time, painting each page.
    QScrollBar* bar = w->PrinterList()->verticalScrollBar();
    const int pageStep = std::max(1, bar->pageStep());
    double worstPage = 0;
    int pages = 0;
    t.start();
    for (int v = 0; v <= bar->maximum(); v += pageStep, ++pages) {
        QElapsedTimer page;
        page.start();
        bar->setValue(v);
        (void)w->PrinterList()->viewport()->grab(); // paints the page
        worstPage = std::max(worstPage, Ms(page));
    }
    std::printf("scrolling: %d pages in %.1f ms, slowest page %.2f ms\n", pages, Ms(t), worstPage);

    // Sorting from the heading with the window open (the window thread's work).
    t.start();
    w->SortBySection(0);
    std::printf("heading click sort with redraw: %.1f ms\n", Ms(t));
    delete w;
    return 0;
}

// The search's progress window on the offscreen platform, against the
// printer simulator on loopback: it follows a search to its end and closes
// itself, its button cancels the discovery, and SearchDevices() shows it in
// a widget application.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <arpa/inet.h>

#include <chrono>
#include <cstdlib>
#include <set>

#include "DeviceModel.h"
#include "SearchProgressDialog.h"
#include "TestPeers.h"
#include "nlist/Nlist.h"
#include "qavres/Resources.h"

namespace {

using nlist::SearchProgressDialog;
using nlist::SearchSettings;

std::string A(int slot) { return qavtest::LoopbackAddress(slot); }

uint32_t Address(const std::string& dotted)
{
    in_addr a{};
    ::inet_pton(AF_INET, dotted.c_str(), &a);
    return ntohl(a.s_addr);
}

std::set<uint32_t> Listed()
{
    std::set<uint32_t> s;
    for (int i = 0; i < GetListDataSize(); ++i) s.insert(GetipAddressFromListData(i));
    return s;
}

QString Text(int id) { return QString::fromStdString(nlist::Language().Get(id)); }

// What the window showed, sampled every 20 ms while it runs.
struct Seen {
    std::set<QString> messages, seconds, counts;
    int longestBar = 0;
};

void Sample(SearchProgressDialog& d, Seen& seen)
{
    seen.messages.insert(d.findChild<QLabel*>("message")->text());
    if (d.findChild<QLabel*>("seconds")->isVisible()) seen.seconds.insert(d.findChild<QLabel*>("seconds")->text());
    if (d.findChild<QLabel*>("count")->isVisible()) seen.counts.insert(d.findChild<QLabel*>("count")->text());
    seen.longestBar = std::max(seen.longestBar, d.findChild<QProgressBar*>("progress")->maximum());
}

class SearchDialog : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("QAV_DATA_DIR", data_.Path().c_str(), 1);
        static int argc = 1;
        static char name[] = "devlist_dialog_test";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
        port_ = qavtest::PrepareAgentPort();
        qavtest::WriteFile(data_.File("fleet"),
                           "[printer]\naddress = " + A(1) + "\nname = Line 1\n"
                           "[printer]\naddress = " + A(2) + "\nname = Line 2\n"
                           "[printer]\naddress = " + A(3) + "\nkind = standard\nname = Office\n");
        sim_ = new qavtest::PrinterSim;
        started_ = sim_->Start({"--fleet", data_.File("fleet"), "--port", std::to_string(port_)});
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete app_;
    }
    void SetUp() override
    {
        ASSERT_TRUE(started_) << sim_->Log();
        ClearListData();
        ClearGroupData();
    }
    static SearchSettings Range(int seconds)
    {
        SearchSettings s;
        s.timeoutSeconds = seconds;
        s.ranges = {A(1) + "-" + A(3)};
        return s;
    }

    static inline qavtest::TempDir data_;
    static inline QApplication* app_ = nullptr;
    static inline qavtest::PrinterSim* sim_ = nullptr;
    static inline int port_ = 0;
    static inline bool started_ = false;
};

TEST_F(SearchDialog, FollowsTheSearchAndClosesAtItsEnd)
{
    SearchProgressDialog dialog(Range(1));
    EXPECT_EQ(dialog.windowTitle(), Text(2180));
    EXPECT_EQ(dialog.findChild<QPushButton*>("cancel")->text(), Text(2182));
    EXPECT_EQ(dialog.findChild<QProgressBar*>("progress")->maximum(), 1000) << "the window in milliseconds";
    Seen seen;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { Sample(dialog, seen); });
    sampler.start(20);
    QTimer::singleShot(15000, &dialog, [&] { dialog.done(99); }); // a window that never ends fails here
    const int result = dialog.exec();

    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dialog.LastProgress().phase, nlist::SearchPhase::kFinished);
    EXPECT_EQ(dialog.LastProgress().merged, 2);
    EXPECT_FALSE(dialog.LastProgress().cancelled);
    EXPECT_EQ(Listed(), (std::set<uint32_t>{Address(A(1)), Address(A(2))}));
    EXPECT_TRUE(seen.messages.count(Text(2181)));
    EXPECT_TRUE(seen.seconds.count("0 / 1 seconds"));
    EXPECT_EQ(dialog.findChild<QLabel*>("count")->text(), "2");
    EXPECT_EQ(dialog.findChild<QProgressBar*>("progress")->maximum(), 3) << "then the found addresses";
    EXPECT_EQ(dialog.findChild<QLabel*>("message")->text(), Text(2183));
}

TEST_F(SearchDialog, CancelEndsTheDiscoveryAndProcessesWhatWasFound)
{
    SearchProgressDialog dialog(Range(20));
    QTimer::singleShot(500, &dialog, [&] { dialog.findChild<QPushButton*>("cancel")->click(); });
    QTimer::singleShot(15000, &dialog, [&] { dialog.done(99); });
    const auto start = std::chrono::steady_clock::now();
    const int result = dialog.exec();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_LT(seconds, 5.0) << "the 20 s window ended early";
    EXPECT_TRUE(dialog.LastProgress().cancelled);
    EXPECT_EQ(dialog.LastProgress().found, 3);
    EXPECT_EQ(dialog.LastProgress().merged, 2);
    EXPECT_EQ(GetListDataSize(), 2);
}

TEST_F(SearchDialog, SearchDevicesShowsTheWindowInAWidgetApplication)
{
    qavtest::WriteFile(data_.File("QAVSearchConfig.qso"), "[Criteria]\nBroadcast=0\nNonVorantaPrinters=1\n"
                                                         "[Ranges]\nCount=1\n[Ranges.1]\nStartIP=" + A(1) +
                                                             "\nEndIP=" + A(3) + "\n[Timeout]\nTimeoutSeconds=1\n");
    bool shown = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<SearchProgressDialog*>(w) && w->isVisible()) shown = true;
        }
    });
    watcher.start(20);
    SearchDevices();
    EXPECT_TRUE(shown);
    EXPECT_EQ(Listed(), (std::set<uint32_t>{Address(A(1)), Address(A(2)), Address(A(3))}));
}

} // namespace

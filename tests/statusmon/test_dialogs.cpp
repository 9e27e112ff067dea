// The status monitor's job and network pages and its two dialogs against
// the printer simulator, on the offscreen platform: each remote key changes
// the printer, a reset keeps polling waiting and gives the buttons back
// after the model's wait (shortened here), the device setting writes only
// what changed (the simulator's write log shows it), the serial number
// refuses a tab.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest/QtTest>

#include "DeviceStatusPage.h"
#include "Dialogs.h"
#include "Models.h"
#include "MainWindow.h"
#include "PrinterWorker.h"
#include "StatusPages.h"
#include "TestPeers.h"
#include "Texts.h"
#include "qavplatform/Address.h"

namespace {

using namespace nstatapp;

uint32_t Address(const std::string& dotted)
{
    uint32_t a = 0;
    qavplatform::ParseAddress(dotted, a);
    return a;
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!condition() && t.elapsed() < timeoutMs) QApplication::processEvents(QEventLoop::AllEvents, 10);
    return condition();
}

class Dialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        port_ = qavtest::PrepareAgentPort();
        first_ = qavtest::LoopbackAddress(120);
        standard_ = qavtest::LoopbackAddress(140);
        // One printer of each known model, and another maker's printer.
        fleet_ = new qavtest::TempDir;
        qavtest::WriteFile(fleet_->File("fleet"), qavsim::ModelsFleetText(first_) + "[printer]\naddress = " +
                                                      standard_ + "\nkind = standard\nname = Office laser\n"
                                                      "location = Front office\ncontact = it@example.org\n");
        sim_ = new qavtest::PrinterSim;
        started_ = sim_->Start({"--fleet", fleet_->File("fleet"), "--port", std::to_string(port_)});
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete fleet_;
    }
    void SetUp() override
    {
        ASSERT_TRUE(started_) << sim_->Log();
        ::setenv("QAV_DATA_DIR", data_.Path().c_str(), 1);
        SetMessageHandler([this](MessageKind, const QString&, const QString& text) {
            shown_.push_back(text);
            return answer_;
        });
    }
    void TearDown() override
    {
        SetMessageHandler({});
        if (window_) window_->StopWorker(-1);
        window_.reset();
    }
    static std::string Maker(int n) { return qavplatform::AddressText(Address(first_) + n); }
    CNSTATDlg& Open(const std::string& address, bool administrator = true)
    {
        const uint32_t a = Address(address);
        window_ = std::make_unique<CNSTATDlg>(a, administrator, std::make_unique<nstat::SnmpLink>(a, Objects()));
        window_->SetSurveyFile(data_.File("QAVSurveyConfig.INI"));
        window_->show();
        window_->Start();
        WaitIdle();
        return *window_;
    }
    void WaitIdle() { WaitFor([this] { return window_->Worker().Pending() == 0 && !window_->Refreshing(); }); }
    static QPushButton* Button(QWidget* w, const char* name) { return w->findChild<QPushButton*>(name); }

    static inline qavtest::PrinterSim* sim_ = nullptr;
    static inline std::string first_, standard_;
    static inline qavtest::TempDir* fleet_ = nullptr;
    static inline int port_ = 0;
    static inline bool started_ = false;
    qavtest::TempDir data_;
    std::unique_ptr<CNSTATDlg> window_;
    std::vector<QString> shown_;
    QMessageBox::StandardButton answer_ = QMessageBox::Yes;
};

TEST_F(Dialogs, RemoteKeysAndTheirPanel)
{
    const std::string a = Maker(2);
    sim_->Command("status " + a + " online");
    sim_->Command("writes " + a + " clear");
    CNSTATDlg& w = Open(a);
    CNSTATRemoteKeyDlg dialog(w.Worker(), w.State(), [&](bool busy) { w.SetKeyBusy(busy); }, &w);
    dialog.show();
    auto* display = dialog.findChild<QPlainTextEdit*>("display");
    ASSERT_TRUE(WaitFor([&] { return display->toPlainText() == "ONLINE"; }));
    EXPECT_EQ(dialog.StepTimer().interval(), 10000);

    Button(&dialog, "pause")->click();
    WaitIdle();
    EXPECT_EQ(dialog.StepTimer().interval(), 1000); // the panel follows a second later
    QMetaObject::invokeMethod(&dialog, "OnTimer");
    ASSERT_TRUE(WaitFor([&] { return display->toPlainText() == "PAUSE"; }));
    EXPECT_EQ(dialog.StepTimer().interval(), 10000);
    Button(&dialog, "restart")->click();
    WaitIdle();
    QMetaObject::invokeMethod(&dialog, "OnTimer");
    ASSERT_TRUE(WaitFor([&] { return display->toPlainText() == "ONLINE"; }));
    Button(&dialog, "feed")->click();
    WaitIdle();
    // Reset answered with No: nothing is written.
    answer_ = QMessageBox::No;
    Button(&dialog, "reset")->click();
    WaitIdle();
    EXPECT_EQ(sim_->Command("writes " + a), "20861 3\n20861 2\n20861 1\nok");
    EXPECT_TRUE(Button(&dialog, "feed")->isEnabled());
}

TEST_F(Dialogs, ResetKeepsPollingWaitingUntilThePrinterIsBack)
{
    const std::string a = Maker(3);
    sim_->Command("set " + a + " reset-ms 800");
    sim_->Command("writes " + a + " clear");
    CNSTATDlg& w = Open(a);
    CNSTATRemoteKeyDlg dialog(w.Worker(), w.State(), [&](bool busy) { w.SetKeyBusy(busy); }, &w);
    dialog.SetRestartWaitMs(1500); // the model's wait is half a minute
    dialog.show();
    WaitIdle();
    QElapsedTimer clock;
    clock.start();
    Button(&dialog, "reset")->click();
    for (const char* b : {"feed", "restart", "pause", "reset", "cancel"})
        EXPECT_FALSE(Button(&dialog, b)->isEnabled()) << b;
    EXPECT_TRUE(w.Clock().KeyBusy());
    // The window's timer meanwhile tries again every second instead of refreshing.
    QMetaObject::invokeMethod(&w, "OnTimer");
    EXPECT_FALSE(w.Refreshing());
    EXPECT_EQ(w.PollTimer().interval(), 1000);
    ASSERT_TRUE(WaitFor([&] { return Button(&dialog, "feed")->isEnabled(); }, 10000));
    EXPECT_GE(clock.elapsed(), 1400);
    EXPECT_FALSE(w.Clock().KeyBusy());
    for (const char* b : {"restart", "pause", "reset", "cancel"}) EXPECT_TRUE(Button(&dialog, b)->isEnabled()) << b;
    EXPECT_EQ(sim_->Command("writes " + a), "20841 1\nok");
}

TEST_F(Dialogs, ClosingDuringTheWaitLetsPollingGoOn)
{
    const std::string a = Maker(5);
    CNSTATDlg& w = Open(a);
    {
        CNSTATRemoteKeyDlg dialog(w.Worker(), w.State(), [&](bool busy) { w.SetKeyBusy(busy); }, &w);
        dialog.show();
        Button(&dialog, "reset")->click();
        EXPECT_TRUE(w.Clock().KeyBusy());
    }
    EXPECT_FALSE(w.Clock().KeyBusy());
    WaitIdle();
}

TEST_F(Dialogs, KeysOfferedByModel)
{
    {
        CNSTATDlg& pn1 = Open(Maker(8)); // M-PN1
        CNSTATRemoteKeyDlg mobile(pn1.Worker(), pn1.State(), {}, &pn1);
        EXPECT_FALSE(Button(&mobile, "feed")->isEnabled());
        EXPECT_FALSE(Button(&mobile, "restart")->isEnabled());
        EXPECT_FALSE(Button(&mobile, "pause")->isEnabled());
        EXPECT_TRUE(Button(&mobile, "reset")->isEnabled());
        EXPECT_TRUE(Button(&mobile, "cancel")->isEnabled());
        WaitIdle();
    }
    window_->StopWorker(-1);
    window_.reset();
    CNSTATDlg& card = Open(Maker(6)); // M-RC5K
    CNSTATRemoteKeyDlg cards(card.Worker(), card.State(), {}, &card);
    EXPECT_TRUE(Button(&cards, "feed")->isEnabled());
    EXPECT_FALSE(Button(&cards, "restart")->isEnabled());
    EXPECT_TRUE(Button(&cards, "pause")->isEnabled());
    WaitIdle();
}

TEST_F(Dialogs, DeviceSettingWritesOnlyWhatChanged)
{
    const std::string a = Maker(1);
    sim_->Command("writes " + a + " clear");
    CNSTATDlg& w = Open(a);
    CNSTATDeviceSetting dialog(
        w.Worker(), true, [&](std::function<void(const nstat::PrinterState&)> then) { w.RefreshThen(then); }, &w);
    dialog.SetApplyWaitMs(0);
    dialog.show();
    ASSERT_TRUE(WaitFor([&] { return dialog.Loaded(); }));
    EXPECT_EQ(dialog.Field(0)->text(), "Shipping labeller JA");
    EXPECT_EQ(dialog.Field(3)->text(), "M. Kowalski");
    EXPECT_EQ(dialog.Field(2)->maxLength(), 16);
    // Nothing changed: nothing is written.
    dialog.Update();
    WaitIdle();
    EXPECT_EQ(sim_->Command("writes " + a), "ok");
    dialog.Field(1)->setText("Hall 99");
    dialog.Update();
    ASSERT_TRUE(WaitFor([&] { return !dialog.Updating() && dialog.Loaded(); }));
    EXPECT_EQ(sim_->Command("writes " + a), "221 Hall 99\n20841 3\nok");
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0], T(5318));
    EXPECT_EQ(dialog.Field(1)->text(), "Hall 99"); // read back from the printer
    EXPECT_EQ(w.State().Value(221), "Hall 99");
    sim_->Command("set " + a + " location \"Hall 61\"");
}

TEST_F(Dialogs, SerialNumberRefusesATab)
{
    CNSTATDlg& w = Open(Maker(4));
    CNSTATDeviceSetting dialog(
        w.Worker(), true, [&](std::function<void(const nstat::PrinterState&)> then) { w.RefreshThen(then); }, &w);
    int beeps = 0;
    dialog.SetBeep([&] { ++beeps; });
    dialog.show();
    ASSERT_TRUE(WaitFor([&] { return dialog.Loaded(); }));
    QLineEdit* serial = dialog.Field(2);
    const QString before = serial->text();
    serial->setFocus();
    QTest::keyClick(serial, Qt::Key_Tab);
    EXPECT_EQ(serial->text(), before);
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(serial->hasFocus() || !dialog.isActiveWindow());
    QTest::keyClicks(serial, "-7");
    EXPECT_EQ(serial->text(), before + "-7");
    EXPECT_EQ(beeps, 1);
}

TEST_F(Dialogs, OtherPrintersOfferOnlyTheirOwnFields)
{
    sim_->Command("writes " + standard_ + " clear");
    CNSTATDlg& w = Open(standard_);
    ASSERT_FALSE(w.State().maker);
    CNSTATDeviceSetting dialog(
        w.Worker(), w.State().maker,
        [&](std::function<void(const nstat::PrinterState&)> then) { w.RefreshThen(then); }, &w);
    dialog.SetApplyWaitMs(0);
    ASSERT_TRUE(WaitFor([&] { return dialog.Loaded(); }));
    for (int i : {2, 3, 5}) {
        EXPECT_FALSE(dialog.Field(i)->isEnabled()) << i;
        EXPECT_EQ(dialog.Field(i)->text(), "") << i;
    }
    EXPECT_EQ(dialog.Field(1)->text(), "Front office");
    EXPECT_EQ(dialog.Field(4)->text(), "it@example.org");
    dialog.Field(4)->setText("desk@example.org");
    dialog.Update();
    ASSERT_TRUE(WaitFor([&] { return !dialog.Updating() && dialog.Loaded(); }));
    // Only the contact; no control command for another maker's printer.
    EXPECT_EQ(sim_->Command("writes " + standard_), "181 desk@example.org\nok");
    EXPECT_EQ(dialog.Field(4)->text(), "desk@example.org");
}

TEST_F(Dialogs, JobAndNetworkPages)
{
    const std::string a = Maker(7);
    sim_->Command("set " + a + " object.20981 \"LABEL-42   \"");
    sim_->Command("set " + a + " object.20961 42");
    CNSTATDlg& w = Open(a);
    w.Tabs()->setCurrentIndex(kTabJob);
    WaitIdle();
    auto* jobs = w.JobPage()->findChild<QTreeWidget*>("jobs");
    ASSERT_EQ(jobs->topLevelItemCount(), 1);
    EXPECT_EQ(jobs->topLevelItem(0)->text(0), "42");
    EXPECT_EQ(jobs->topLevelItem(0)->text(1), "LABEL-42");
    EXPECT_EQ(jobs->headerItem()->text(4), T(5505));
    EXPECT_EQ(w.StatusPart(0)->text(), ""); // the status text belongs to the device page

    w.Tabs()->setCurrentIndex(kTabNetwork);
    WaitIdle();
    auto field = [&](const char* name) { return w.NetworkPage()->findChild<QLineEdit*>(name)->text(); };
    EXPECT_EQ(field("interfaceType"), "ethernet-csmacd(6) ");
    EXPECT_EQ(field("address"), QString::fromStdString(a));
    EXPECT_EQ(field("mask"), "255.255.255.0");
    EXPECT_EQ(field("mac").left(9), "02:80:92:");
    auto* counters = w.NetworkPage()->findChild<QTreeWidget*>("counters");
    ASSERT_GT(counters->topLevelItemCount(), 10);
    EXPECT_EQ(counters->topLevelItem(0)->text(0), T(5614));
    QTreeWidgetItem* first = counters->topLevelItem(1);
    w.Refresh();
    WaitIdle();
    EXPECT_EQ(counters->topLevelItem(1), first); // rows stay, values change
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    nstatapp::Language().LoadFile(QAV_SOURCE_DIR "/resources/data/QAVLANG.txt");
    nstatapp::Objects().LoadFile(QAV_SOURCE_DIR "/resources/data/QAVOIDER.txt");
    return RUN_ALL_TESTS();
}

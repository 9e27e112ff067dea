// The status monitor's window on the offscreen platform, over a fake
// printer: menus and their grey states, the status bar, the polling timer
// and its settings, the system setting tool's start, the disconnection
// check, the views, and a window that keeps answering while the printer
// does not. Runs under a session bus of its own (dbus-run-session) for the
// change message.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "DeviceStatusPage.h"
#include "FakePrinter.h"
#include "MainWindow.h"
#include "PrinterWorker.h"
#include "TestPeers.h"
#include "Texts.h"
#include "qavplatform/MessageBus.h"
#include "qavplatform/ProgramStart.h"

namespace {

using namespace nstatapp;
using nstattest::FakePrinter;

constexpr uint32_t kAddress = (10u << 24) | (1u << 16) | (2u << 8) | 3u;

struct Shown {
    MessageKind kind;
    QString text;
};

void MakeMaker(FakePrinter& p, const std::string& model)
{
    p.MakeMaker(model);
    p.SetInt(21421, 1234);
    for (int o : nstat::InformationObjects()) p.SetText(o, "v" + std::to_string(o));
    p.SetInt(20081, 2048);
}

// A link whose every exchange takes a while (a printer that is slow to
// answer) before it reports a time-out.
class SlowLink : public FakePrinter {
public:
    nstat::Outcome Read(std::vector<nstat::ObjectRequest>& requests) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        return FakePrinter::Read(requests);
    }
};

class Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("QAV_DATA_DIR", data_.Path().c_str(), 1);
        ::chmod(runtime_.Path().c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
        SetMessageHandler([this](MessageKind kind, const QString&, const QString& text) {
            shown_.push_back({kind, text});
            return answer_;
        });
    }
    void TearDown() override
    {
        SetMessageHandler({});
        if (window_) window_->StopWorker(-1);
        window_.reset();
    }
    // A window over a fake printer (kept here to change it between reads).
    CNSTATDlg& Open(std::unique_ptr<FakePrinter> fake, bool administrator)
    {
        fake_ = fake.get();
        window_ = std::make_unique<CNSTATDlg>(kAddress, administrator, std::move(fake));
        window_->SetSurveyFile(data_.File("QAVSurveyConfig.INI"));
        window_->SetProgramStarter([this](const std::string& folder, const std::string& program,
                                          const std::vector<std::string>& args, std::string*) {
            started_.push_back(folder + "/" + program);
            for (const auto& a : args) started_.push_back(a);
            return startResult_;
        });
        window_->show();
        window_->Start();
        WaitIdle();
        return *window_;
    }
    // A window over a maker's printer that is slow to answer; returns at once.
    void OpenSlow()
    {
        auto fake = std::make_unique<SlowLink>();
        MakeMaker(*fake, "M-UH5W");
        fake_ = fake.get();
        window_ = std::make_unique<CNSTATDlg>(kAddress, false, std::move(fake));
        window_->SetSurveyFile(data_.File("QAVSurveyConfig.INI"));
        window_->show();
        window_->Start();
    }
    void WaitIdle(int timeoutMs = 10000)
    {
        QElapsedTimer t;
        t.start();
        while ((window_->Worker().Pending() > 0 || window_->Refreshing()) && t.elapsed() < timeoutMs)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        QApplication::processEvents();
    }
    QString Field(const char* name) { return window_->DevicePage()->findChild<QLineEdit*>(name)->text(); }
    bool Enabled(int command) { return window_->Action(command)->isEnabled(); }
    int Symbol(const char* name)
    {
        QLabel* l = window_->DevicePage()->findChild<QLabel*>(name);
        return l->isVisibleTo(window_->DevicePage()) ? l->property("symbol").toInt() : 0;
    }
    QString Part(int i) { return window_->StatusPart(i)->text(); }

    qavtest::TempDir data_, runtime_;
    std::unique_ptr<CNSTATDlg> window_;
    FakePrinter* fake_ = nullptr;
    std::vector<Shown> shown_;
    std::vector<std::string> started_;
    int startResult_ = 0;
    QMessageBox::StandardButton answer_ = QMessageBox::Yes;
};

TEST_F(Window, MakerPrinterInAdministratorMode)
{
    auto fake = std::make_unique<FakePrinter>();
    MakeMaker(*fake, "M-UH5W");
    fake->SetInt(20901, 27);
    CNSTATDlg& w = Open(std::move(fake), true);
    EXPECT_EQ(w.windowTitle(), "Dock printer ( VORANTA QAV M-UH5W )");
    EXPECT_TRUE(Enabled(kCommandRemoteKey));
    EXPECT_TRUE(Enabled(kCommandDisconnectionCheck));
    EXPECT_TRUE(Enabled(kCommandPrinter));
    EXPECT_TRUE(Enabled(kCommandDeviceSetting));
    EXPECT_TRUE(w.DevicePage()->findChild<QPushButton*>("printerButton")->isEnabled());
    EXPECT_EQ(Field("name"), "Dock printer");
    EXPECT_EQ(Field("port"), "10.1.2.3");
    EXPECT_EQ(Field("serial"), "QS4711");
    EXPECT_EQ(Field("status"), T(3016));
    EXPECT_EQ(Symbol("statusSymbol"), 185);
    EXPECT_EQ(Symbol("indicator1"), 197);
    EXPECT_EQ(Symbol("indicator2"), 0);
    EXPECT_FALSE(w.DevicePage()->findChild<QPushButton*>("helpButton")->isVisibleTo(&w)); // help topic 0
    EXPECT_EQ(w.DevicePage()->findChild<QPlainTextEdit*>("panel")->toPlainText(), "ONLINE");
    // Status bar: the page's status text, the polling text, the connection icon.
    EXPECT_EQ(Part(0), T(3016));
    EXPECT_EQ(Part(1), "Polling every 0 s"); // no settings file: polling is off
    EXPECT_EQ(w.StatusPart(2)->property("icon").toInt(), 138);
    EXPECT_FALSE(w.PollTimer().isActive());
    // The menu offers no help search: there is no help viewer.
    EXPECT_EQ(w.Action(32779), nullptr);
}

TEST_F(Window, GreyCommandsFollowPrinterAndMode)
{
    auto fake = std::make_unique<FakePrinter>();
    fake->Set(1361, 6, "1.3.6.1.4.1.683.6.0");
    fake->SetText(201, "label-1");
    fake->SetInt(121, 3);
    Open(std::move(fake), true);
    EXPECT_FALSE(Enabled(kCommandRemoteKey));
    EXPECT_FALSE(Enabled(kCommandDisconnectionCheck));
    EXPECT_FALSE(Enabled(kCommandPrinter));
    EXPECT_TRUE(Enabled(kCommandDeviceSetting));
    EXPECT_EQ(window_->windowTitle(), "label-1");
    EXPECT_EQ(window_->DevicePage()->findChild<QLabel*>("picture")->property("picture").toInt(), 170);
    window_->StopWorker(-1);
    window_.reset();

    auto pn1 = std::make_unique<FakePrinter>();
    MakeMaker(*pn1, "M-PN1");
    Open(std::move(pn1), false);
    EXPECT_TRUE(Enabled(kCommandRemoteKey));
    EXPECT_FALSE(Enabled(kCommandDisconnectionCheck));
    EXPECT_FALSE(Enabled(kCommandPrinter));
    EXPECT_FALSE(Enabled(kCommandDeviceSetting));
    EXPECT_FALSE(window_->DevicePage()->findChild<QPushButton*>("printerButton")->isEnabled());
}

TEST_F(Window, SilentPrinterShowsTheDisconnectedIcon)
{
    auto fake = std::make_unique<FakePrinter>();
    fake->silent = true;
    CNSTATDlg& w = Open(std::move(fake), false);
    EXPECT_EQ(w.StatusPart(2)->property("icon").toInt(), 151);
    EXPECT_EQ(Part(0), "");
    EXPECT_EQ(w.windowTitle(), T(5000));
    EXPECT_EQ(Field("status"), T(3150));
    EXPECT_EQ(Symbol("statusSymbol"), 184);
    EXPECT_FALSE(w.DevicePage()->findChild<QLabel*>("picture")->isVisibleTo(&w));
}

TEST_F(Window, PollingSettingsArmTheTimer)
{
    qavtest::WriteFile(data_.File("QAVSurveyConfig.INI"), "[Polling]\nPolling=1\nDetailedDuration=30\n");
    auto fake = std::make_unique<FakePrinter>();
    MakeMaker(*fake, "M-UH5W");
    CNSTATDlg& w = Open(std::move(fake), false);
    EXPECT_TRUE(w.PollTimer().isActive());
    EXPECT_EQ(w.PollTimer().interval(), 30000);
    EXPECT_EQ(Part(1), "Polling every 30 s");
    // Polling on with a period of 0: no timer, and the text says 0.
    qavtest::WriteFile(data_.File("QAVSurveyConfig.INI"), "[Polling]\nPolling=1\nDetailedDuration=0\n");
    w.ReadPollingSettings();
    EXPECT_FALSE(w.PollTimer().isActive());
    EXPECT_EQ(Part(1), "Polling every 0 s");
    // The settings library announces changed settings: the window reads them.
    qavtest::WriteFile(data_.File("QAVSurveyConfig.INI"), "[Polling]\nPolling=1\nDetailedDuration=45\n");
    if (qgetenv("DBUS_SESSION_BUS_ADDRESS").isEmpty()) GTEST_SKIP() << "run under dbus-run-session";
    ASSERT_EQ(qavplatform::BroadcastMessage(qavplatform::Message::SurveillanceOptionsChanged), 0);
    QElapsedTimer t;
    t.start();
    while (w.PollTimer().interval() != 45000 && t.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(w.PollTimer().interval(), 45000);
    EXPECT_EQ(Part(1), "Polling every 45 s");
}

TEST_F(Window, PrinterCommandStartsTheSettingTool)
{
    auto fake = std::make_unique<FakePrinter>();
    MakeMaker(*fake, "M-UH5W");
    CNSTATDlg& w = Open(std::move(fake), true);
    w.RunCommand(kCommandPrinter);
    EXPECT_EQ(started_, (std::vector<std::string>{qavplatform::ProgramDir() + "/nconfig", "3", "SNMP", "10.1.2.3",
                                                  "QAV M-UH5W"}));
    EXPECT_TRUE(shown_.empty());
    startResult_ = -1;
    w.DevicePage()->findChild<QPushButton*>("printerButton")->click();
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].kind, MessageKind::kError);
    EXPECT_EQ(shown_[0].text, T(3311));
}

TEST_F(Window, DisconnectionCheckRefusedUnlessOnline)
{
    auto fake = std::make_unique<FakePrinter>();
    MakeMaker(*fake, "M-UH5W");
    fake->SetInt(20901, 4); // pause
    CNSTATDlg& w = Open(std::move(fake), false);
    answer_ = QMessageBox::No;
    w.RunCommand(kCommandDisconnectionCheck);
    EXPECT_EQ(shown_.size(), 1u); // the question only
    EXPECT_FALSE(w.Clock().CheckPending());
    answer_ = QMessageBox::Yes;
    shown_.clear();
    w.RunCommand(kCommandDisconnectionCheck);
    WaitIdle();
    ASSERT_EQ(shown_.size(), 2u);
    EXPECT_EQ(shown_[0].text, T(2202));
    EXPECT_EQ(shown_[1].kind, MessageKind::kWarning);
    EXPECT_EQ(shown_[1].text, T(2203));
    EXPECT_FALSE(w.Clock().CheckPending());
    EXPECT_TRUE(fake_->writes.empty());
    EXPECT_EQ(w.PollTimer().interval(), 5000); // the timer then refreshes
}

TEST_F(Window, DisconnectionCheckWritesAndCollects)
{
    auto fake = std::make_unique<FakePrinter>();
    MakeMaker(*fake, "M-UH5W");
    CNSTATDlg& w = Open(std::move(fake), false);
    w.RunCommand(kCommandDisconnectionCheck);
    WaitIdle();
    ASSERT_EQ(fake_->writes.size(), 1u);
    EXPECT_EQ(fake_->writes[0], (std::pair<int, std::string>{20881, "1"}));
    EXPECT_TRUE(w.Clock().CheckPending());
    EXPECT_EQ(Part(0), T(2073));
    EXPECT_EQ(w.PollTimer().interval(), 5000);
    // Five seconds later the timer collects: the head flag answers -1 twice.
    fake_->SetInt(20941, -1);
    shown_.clear();
    QMetaObject::invokeMethod(&w, "OnTimer");
    WaitIdle();
    EXPECT_FALSE(w.Clock().CheckPending());
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].kind, MessageKind::kError);
    EXPECT_EQ(shown_[0].text, T(2205));
    EXPECT_FALSE(w.PollTimer().isActive()); // polling is off
}

TEST_F(Window, MenuHelpAndStatusBar)
{
    auto fake = std::make_unique<FakePrinter>();
    MakeMaker(*fake, "M-UH5W");
    CNSTATDlg& w = Open(std::move(fake), false);
    QAction* refresh = w.Action(kCommandRefresh);
    emit refresh->hovered();
    EXPECT_EQ(Part(0), T(5035));
    QAction* bar = w.Action(kCommandStatusBar);
    emit bar->hovered();
    EXPECT_EQ(Part(0), T(5034));
    const int height = w.height();
    bar->trigger(); // unchecks: the bar goes, the window shrinks by its height
    EXPECT_FALSE(w.statusBar()->isVisible());
    EXPECT_EQ(w.height(), height - 23);
    emit bar->hovered();
    EXPECT_EQ(Part(0), "Show Status bar");
    bar->trigger();
    EXPECT_TRUE(w.statusBar()->isVisible());
    EXPECT_EQ(w.height(), height);
    w.RunCommand(kCommandVersion);
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_TRUE(shown_[0].text.contains(QString(QAV_VERSION))) << shown_[0].text.toStdString();
}

TEST_F(Window, ViewsAreRebuiltOnlyWhenTheyChange)
{
    auto fake = std::make_unique<FakePrinter>();
    MakeMaker(*fake, "M-UH5W");
    CNSTATDlg& w = Open(std::move(fake), false);
    auto* details = w.DevicePage()->findChild<QTreeWidget*>("details");
    auto* selector = w.DevicePage()->findChild<QTreeWidget*>("viewSelector");
    ASSERT_EQ(selector->topLevelItemCount(), 5);
    EXPECT_EQ(w.DevicePage()->CurrentView(), 0);
    ASSERT_EQ(details->topLevelItemCount(), 1);
    EXPECT_EQ(details->topLevelItem(0)->text(1), "123.4 km");
    selector->setCurrentItem(selector->topLevelItem(2)); // information
    WaitIdle();
    EXPECT_EQ(w.DevicePage()->CurrentView(), 2);
    ASSERT_GT(details->topLevelItemCount(), 3);
    EXPECT_EQ(details->topLevelItem(0)->text(0), T(5193));
    QTreeWidgetItem* first = details->topLevelItem(0);
    // A refresh of the same view keeps the rows and changes their values.
    fake_->SetText(20101, "M-UH5W-2");
    w.Refresh();
    WaitIdle();
    EXPECT_EQ(details->topLevelItem(0), first);
    EXPECT_EQ(first->text(1), "M-UH5W-2");
}

TEST_F(Window, WindowAnswersWhileThePrinterIsSlow)
{
    OpenSlow(); // its first refresh is several slow exchanges
    bool ticked = false;
    QTimer::singleShot(0, [&] { ticked = true; });
    QElapsedTimer t;
    t.start();
    while (!ticked && t.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(ticked);
    EXPECT_GT(window_->Worker().Pending(), 0); // the refresh is still under way
    EXPECT_EQ(Part(0), "");
    WaitIdle(30000);
    EXPECT_EQ(window_->windowTitle(), "Dock printer ( VORANTA QAV M-UH5W )");
}

TEST_F(Window, ViewChoicesDuringASlowReadLeaveOnlyTheLast)
{
    OpenSlow();
    WaitIdle(30000);
    fake_->reads.clear();
    for (int view : {1, 2, 3, 4}) emit window_->DevicePage()->viewChosen(view);
    WaitIdle(30000);
    EXPECT_EQ(window_->DevicePage()->CurrentView(), 4);
    // The counters in tenths (under way when the others came) and the
    // settings (the last choice); neither the information nor the sizes.
    ASSERT_EQ(fake_->reads.size(), 2u);
    EXPECT_EQ(fake_->reads[0].front(), 21061);
    EXPECT_EQ(fake_->reads[1].front(), 20001);
}

TEST_F(Window, DialogsComeFromTheMenuOfTheirPrinters)
{
    auto fake = std::make_unique<FakePrinter>();
    MakeMaker(*fake, "M-UH5W");
    CNSTATDlg& w = Open(std::move(fake), false);
    std::vector<QString> opened;
    w.SetDialogHook([&](QDialog* d) {
        opened.push_back(d->windowTitle());
        QTimer::singleShot(0, d, &QDialog::reject);
    });
    int refreshes = 0;
    QObject::connect(&w, &CNSTATDlg::refreshed, [&] { ++refreshes; });
    w.RunCommand(kCommandRemoteKey);
    WaitIdle();
    ASSERT_EQ(opened, (std::vector<QString>{T(5300)}));
    EXPECT_GE(refreshes, 1); // the window refreshes when the dialog closes
    // The device setting is for administrators only.
    w.RunCommand(kCommandDeviceSetting);
    EXPECT_EQ(opened.size(), 1u);
    window_->StopWorker(-1);
    window_.reset();

    auto other = std::make_unique<FakePrinter>();
    other->Set(1361, 6, "1.3.6.1.4.1.683.6.0");
    CNSTATDlg& admin = Open(std::move(other), true);
    opened.clear();
    admin.SetDialogHook([&](QDialog* d) {
        opened.push_back(d->windowTitle());
        QTimer::singleShot(0, d, &QDialog::reject);
    });
    admin.RunCommand(kCommandRemoteKey); // not for another maker's printer
    admin.RunCommand(kCommandDeviceSetting);
    WaitIdle();
    EXPECT_EQ(opened, (std::vector<QString>{T(5310)}));
}

} // namespace


int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    nstatapp::Language().LoadFile(QAV_SOURCE_DIR "/resources/data/QAVLANG.txt");
    return RUN_ALL_TESTS();
}

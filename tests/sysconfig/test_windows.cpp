// nconfig's windows on the offscreen platform, against the printer
// simulator: pages by mode, the editor and its checks, apply and read back,
// import and export through the file chooser, the list mode with CListDlg,
// a silent printer that never freezes the window, and nconfig as a process
// (its messages, its instance rules, the second window for one printer).
//
// With QAV_SCREENSHOT_DIR set, the Screenshots case writes
// system-window.png, value-editor.png and list-dialog.png there (run it
// under xvfb-run for the real window system's look).
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "ListDlg.h"
#include "ParamWindow.h"
#include "SimFleet.h"
#include "TestPeers.h"
#include "Ui.h"
#include "WindowFinder.h"
#include "ValueEditor.h"
#include "nconfig/Texts.h"

using namespace nconfig;
using namespace nconfig::ui;

namespace {

// Runs the event loop until `done` holds, at most timeoutMs.
template <class F>
bool Until(F done, int timeoutMs = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class ConfigWindows : public nconfigtest::FleetSuite {
protected:
    static void SetUpTestSuite()
    {
        std::string fleet;
        const char* names[] = {"Shipping labeller", "Returns labeller", "Spare labeller", "Dock labeller"};
        for (int i = 1; i <= 4; ++i)
            fleet += "[printer]\naddress = " + At(i) + "\nmodel = QAV M-UG2\nname = " + names[i - 1] +
                     "\nlocation = Warehouse A\nmanager = J. Baker\ncomment = Dock " + std::to_string(i) + "\n";
        fleet += "[printer]\naddress = " + At(5) + "\nmodel = QAV MC-1200\nname = Pallets\n";
        StartFleet(fleet);
        SetLanguage(&resources_.language);
    }
    void SetUp() override
    {
        FleetSuite::SetUp();
        ::setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
        SetMessageSink([this](int id, const QString&) { messages_.push_back(id); });
    }
    void TearDown() override
    {
        SetMessageSink(nullptr);
        SetFileChooser(nullptr);
    }

    static WindowSetup Setup(int mode, const std::string& address, const std::string& model = "M-UG2",
                             int base = 20000)
    {
        WindowSetup s;
        s.resources = &resources_;
        s.links = Links();
        s.mode = mode;
        s.port = "SNMP";
        s.address = address;
        s.model = model;
        s.version = "V1.02";
        s.base = base;
        s.applyWaitMs = 0;
        return s;
    }
    static QStringList TabTitles(const CParamWindow& w)
    {
        QStringList titles;
        for (int i = 0; i < w.Tabs()->count(); ++i) titles << w.Tabs()->tabText(i);
        return titles;
    }
    // Selects the leaf of `key` on tab `page`.
    static QTreeWidgetItem* Select(CParamWindow& w, int page, const std::string& key)
    {
        w.Tabs()->setCurrentIndex(page);
        QTreeWidgetItem* item = w.Page(page)->ItemOfKey(key);
        EXPECT_NE(item, nullptr) << key;
        if (item) w.Page(page)->setCurrentItem(item);
        return item;
    }
    static int Picture(const QTreeWidgetItem* item)
    {
        for (int p = 0; p <= 4; ++p) {
            if (item->icon(0).cacheKey() == TreePicture(p).cacheKey()) return p;
        }
        return -1;
    }

    qavtest::TempDir runtime_;
    std::vector<int> messages_;
};

TEST_F(ConfigWindows, TheSystemWindowShowsThePagesOfItsMode)
{
    CSystemDlg w(Setup(3, At(1)));
    ASSERT_TRUE(w.Built());
    EXPECT_EQ(w.windowTitle(), QString::fromStdString("System Settings ( SNMP_" + At(1) + " )"));
    EXPECT_EQ(TabTitles(w), (QStringList{"Print", "Network", "Identity", "Quality"}));
    ASSERT_TRUE(Until([&] { return !w.Busy(); }));
    QTreeWidgetItem* name = w.Page(2)->ItemOfKey("201.0");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(0), "Printer name:  Shipping labeller");
    EXPECT_EQ(Picture(name), kPictureEditable);
    EXPECT_EQ(Picture(w.Page(0)->ItemOfKey("21501.0")), kPictureReadOnly);
    EXPECT_EQ(Picture(name->parent()), kPictureFolder);
    CSystemDlg two(Setup(2, At(1)));
    EXPECT_EQ(TabTitles(two), (QStringList{"Information", "Print", "Network", "Identity", "Quality"}));
}

TEST_F(ConfigWindows, TheDiagnosisWindowOnlyShows)
{
    CDiagnosisDlg w(Setup(1, At(1)));
    EXPECT_EQ(TabTitles(w), (QStringList{"Diagnosis", "Information"})) << "level 1 only here";
    EXPECT_EQ(w.ApplyButton(), nullptr);
    EXPECT_EQ(w.ImportButton(), nullptr);
    ASSERT_TRUE(Until([&] { return !w.Busy(); }));
    QTreeWidgetItem* model = w.Page(1)->ItemOfKey("20101.0");
    EXPECT_EQ(model->text(0), "Model name:  M-UG2");
    EXPECT_EQ(Picture(model), kPictureReadOnly);
    QString path = QString::fromStdString(dir_->File("diagnosis.qcd"));
    QString filter;
    SetFileChooser([&](QWidget*, bool save, const QString& f, const QString&) {
        EXPECT_TRUE(save);
        filter = f;
        return path;
    });
    w.ExportFile();
    EXPECT_EQ(filter, "Text files (*.txt);;All files (*)");
    EXPECT_EQ(qavtest::ReadFile(dir_->File("diagnosis.qcd")).rfind("PORT: SNMP_" + At(1) + "\r\n", 0), 0u)
        << "the diagnosis window writes the text format, whatever the name";
}

TEST_F(ConfigWindows, EditingChecksTheValueAndApplyWritesIt)
{
    CSystemDlg w(Setup(3, At(2)));
    ASSERT_TRUE(Until([&] { return !w.Busy(); }));
    QTreeWidgetItem* darkness = Select(w, 3, "20721.0");
    ASSERT_TRUE(w.Editor()->Editing());
    EXPECT_EQ(w.Editor()->Field()->text(), "5");
    w.Editor()->Field()->setText("11");
    w.Editor()->SetButton()->click();
    EXPECT_EQ(messages_, std::vector<int>{kMsgOutOfRange});
    EXPECT_EQ(darkness->text(0), "Print darkness:  5") << "nothing changed";
    w.Editor()->Field()->setText("9");
    w.Editor()->SetButton()->click();
    EXPECT_EQ(darkness->text(0), "Print darkness:  9");
    EXPECT_EQ(Picture(darkness), kPictureChanged);
    QTreeWidgetItem* speed = Select(w, 3, "20701.0");
    ASSERT_EQ(w.Editor()->Choices()->count(), 5);
    w.Editor()->Choices()->setCurrentIndex(4);
    w.Editor()->SetButton()->click();
    EXPECT_EQ(speed->text(0), "Print speed:  Maximum [4]");
    // The value as read again: the change is gone.
    w.Editor()->Choices()->setCurrentIndex(2);
    w.Editor()->SetButton()->click();
    EXPECT_EQ(Picture(speed), kPictureEditable);
    QTreeWidgetItem* lock = Select(w, 0, "25521.0");
    w.Editor()->Field()->setText("ab12");
    w.Editor()->SetButton()->click();
    EXPECT_EQ(lock->text(0), "Panel lock code:  AB12FFFF");

    bool finished = false;
    QObject::connect(&w, &CParamWindow::applyFinished, [&] { finished = true; });
    w.ApplyChanges();
    EXPECT_TRUE(w.Busy());
    ASSERT_TRUE(Until([&] { return finished; }));
    EXPECT_EQ(SnmpGet(At(2), 20721), "9");
    EXPECT_EQ(SnmpGet(At(2), 25521), "\"AB12FFFF\"");
    EXPECT_EQ(SnmpGet(At(2), 20701), "2");
    EXPECT_EQ(w.Status()->text(), T(5047));
    EXPECT_EQ(Picture(darkness), kPictureEditable) << "written and read again";
    EXPECT_EQ(messages_.size(), 1u);
}

TEST_F(ConfigWindows, ImportOfAnotherModelAndExportOfConfigurationData)
{
    CSystemDlg w(Setup(3, At(3)));
    ASSERT_TRUE(Until([&] { return !w.Busy(); }));
    const std::string other = dir_->File("other.qcd");
    qavtest::WriteFile(other, "[QAVNet Config Data]\r\nMODEL=MC-1200\r\n\r\n[MC-1200]\r\n20721.0=9\r\n");
    SetFileChooser([&](QWidget*, bool save, const QString&, const QString& suffix) {
        EXPECT_FALSE(save);
        EXPECT_EQ(suffix, "qcd");
        return QString::fromStdString(other);
    });
    w.ImportFile();
    EXPECT_EQ(messages_, std::vector<int>{kMsgOtherModel});
    EXPECT_FALSE(w.Document().HasChanges());
    EXPECT_EQ(w.Page(3)->ItemOfKey("20721.0")->text(0), "Print darkness:  5");

    const std::string mine = dir_->File("mine.QCD");
    SetFileChooser([&](QWidget*, bool, const QString& filter, const QString&) {
        EXPECT_TRUE(filter.startsWith("Configuration data (*.qcd);;"));
        return QString::fromStdString(mine);
    });
    w.ExportFile();
    std::string data = qavtest::ReadFile(mine);
    EXPECT_EQ(data.rfind("[QAVNet Config Data]\r\nMODEL=M-UG2\r\n", 0), 0u) << data.substr(0, 80);
    data.replace(data.find("20721.0=5"), 9, "20721.0=7");
    qavtest::WriteFile(mine, data);
    w.ImportFile();
    EXPECT_EQ(w.Page(3)->ItemOfKey("20721.0")->text(0), "Print darkness:  7");
    EXPECT_EQ(Picture(w.Page(3)->ItemOfKey("20721.0")), kPictureChanged);
}

TEST_F(ConfigWindows, ListModeKeepsThePrintersThatFailed)
{
    WindowSetup s = Setup(4, "");
    s.port = dir_->File("temp.txt");
    s.lines = {{"SNMP", At(1), "", ""}, {"SNMP", At(200), "", ""}, {"SNMP", At(5), "", ""}};
    CSystemDlg w(s);
    EXPECT_EQ(TabTitles(w), (QStringList{"Quality"}));
    EXPECT_FALSE(w.Busy()) << "a list is not read";
    QTreeWidgetItem* buzzer = Select(w, 0, "25441.0");
    EXPECT_EQ(Picture(buzzer), kPictureUnknown);
    w.Editor()->Choices()->setCurrentIndex(0);
    w.Editor()->SetButton()->click();
    EXPECT_EQ(buzzer->text(0), "Buzzer:  Off [0]");

    bool finished = false;
    QObject::connect(&w, &CParamWindow::applyFinished, [&] { finished = true; });
    w.ApplyChanges();
    ASSERT_TRUE(Until([&] { return finished; }));
    EXPECT_EQ(SnmpGet(At(1), 25441), "0");
    auto* dialog = w.findChild<CListDlg*>();
    ASSERT_NE(dialog, nullptr);
    QTreeWidget* rows = dialog->Printers();
    ASSERT_EQ(rows->topLevelItemCount(), 2);
    EXPECT_EQ(rows->headerItem()->text(0), T(5020));
    EXPECT_EQ(rows->topLevelItem(0)->text(1), QString::fromStdString(At(200)));
    EXPECT_EQ(rows->topLevelItem(0)->text(2), T(kTextNoAnswer));
    EXPECT_EQ(rows->topLevelItem(0)->text(3), T(kTextNotWritten));
    EXPECT_EQ(rows->topLevelItem(1)->text(2), "MC-1200");
    EXPECT_EQ(rows->topLevelItem(1)->text(3), T(kTextUnsupported)) << "another model";
    EXPECT_EQ(w.Lines().size(), 2u);
    // Another pass over the two: still not written.
    finished = false;
    dialog->RetryButton()->click();
    ASSERT_TRUE(Until([&] { return finished; }));
    dialog = w.findChild<CListDlg*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->Printers()->topLevelItemCount(), 2);
    dialog->StopButton()->click();
    EXPECT_EQ(SnmpGet(At(5), 25441), "1") << "the other model kept its value";
}

TEST_F(ConfigWindows, ASilentPrinterNeverFreezesTheWindow)
{
    CSystemDlg w(Setup(3, At(201)));
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    ASSERT_TRUE(w.Busy());
    EXPECT_EQ(w.Status()->text(), T(5045));
    ASSERT_TRUE(Until([&] { return ticks >= 10; }, 1500)) << "the event loop ran while the printer was silent";
    EXPECT_TRUE(w.Busy());
    ASSERT_TRUE(Until([&] { return !w.Busy(); }));
    EXPECT_EQ(w.Status()->text(), T(5053));
    EXPECT_EQ(w.Page(0)->ItemOfKey("20741.0")->text(0), "Vertical offset:  @unknown@");
}

// nconfig as a process, with its messages on standard error.
class Program : public ConfigWindows {
protected:
    std::map<std::string, std::string> Env() const
    {
        return {{"QT_QPA_PLATFORM", "offscreen"}, {"XDG_RUNTIME_DIR", runtime_.Path()}};
    }
    bool Start(qavtest::ChildProcess& p, const std::vector<std::string>& args, const std::string& log)
    {
        std::vector<std::string> argv = {QAV_BINARY_DIR "/bin/nconfig"};
        argv.insert(argv.end(), args.begin(), args.end());
        return p.Start(argv, dir_->File(log), Env());
    }
};

TEST_F(Program, MessagesOfTheStart)
{
    qavtest::ChildProcess p;
    ASSERT_TRUE(Start(p, {}, "empty.log"));
    EXPECT_EQ(p.Wait(10000), 1);
    EXPECT_NE(p.Log().find("QAVNet Config: " + resources_.language.Get(kMsgCannotStart)), std::string::npos) << p.Log();
    ASSERT_TRUE(Start(p, {"3", "COM257", "9600,8,N,1"}, "com.log"));
    EXPECT_EQ(p.Wait(10000), 1);
    EXPECT_NE(p.Log().find(resources_.language.Get(kMsgCannotStart)), std::string::npos);
    sim_->Command("status " + At(4) + " 5");
    ASSERT_TRUE(Start(p, {"3", "SNMP", At(4)}, "class.log"));
    EXPECT_EQ(p.Wait(10000), 1);
    EXPECT_NE(p.Log().find(resources_.language.Get(kMsgUnsupported)), std::string::npos) << p.Log();
    sim_->Command("status " + At(4) + " online");
}

TEST_F(Program, OneWindowPerPrinterAndTheListModeAlone)
{
    qavtest::ChildProcess first, second, list;
    ASSERT_TRUE(Start(first, {"3", "SNMP", At(1), "QAV", "M-UG2"}, "first.log"));
    ASSERT_TRUE(Until([&] { return QFileInfo::exists(WindowFinder::SocketPath(QString::fromStdString(
                                       "System Settings ( SNMP_" + At(1) + " )"))); }))
        << first.Log();
    ASSERT_TRUE(Start(second, {"3", "SNMP", At(1)}, "second.log"));
    EXPECT_EQ(second.Wait(10000), 0) << "the first window came forward instead";
    EXPECT_TRUE(first.Running());
    qavtest::WriteFile(dir_->File("temp.txt"), "SNMP " + At(1) + "\n");
    ASSERT_TRUE(Start(list, {"4", "temp.txt"}, "list.log"));
    EXPECT_EQ(list.Wait(10000), 1);
    EXPECT_NE(list.Log().find(resources_.language.Get(kMsgOtherInstance)), std::string::npos) << list.Log();
    first.Stop();
}

TEST_F(ConfigWindows, Screenshots)
{
    const char* dir = std::getenv("QAV_SCREENSHOT_DIR");
    if (!dir || !*dir) GTEST_SKIP() << "QAV_SCREENSHOT_DIR not set";
    CSystemDlg w(Setup(3, At(1)));
    w.show();
    ASSERT_TRUE(Until([&] { return !w.Busy(); }));
    QTreeWidgetItem* length = Select(w, 0, "25361.0");
    w.Editor()->Field()->setText("12.345");
    w.Editor()->SetButton()->click();
    Select(w, 0, "20741.0");
    w.Page(0)->scrollToItem(length);
    QApplication::processEvents();
    ASSERT_TRUE(w.grab().save(QString(dir) + "/system-window.png"));
    Select(w, 3, "20701.0");
    QApplication::processEvents();
    ASSERT_TRUE(w.grab().save(QString(dir) + "/value-editor.png"));

    std::vector<ListLine> lines = {{"SNMP", "192.168.10.21", "", ""}, {"SNMP", "192.168.10.34", "", ""}};
    std::vector<LineResult> results(2);
    results[0].stateText = kTextNotWritten;
    results[1].answered = true;
    results[1].model = "MC-1200";
    results[1].stateText = kTextUnsupported;
    CListDlg list(lines, results);
    list.show();
    QApplication::processEvents();
    ASSERT_TRUE(list.grab().save(QString(dir) + "/list-dialog.png"));
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The download tool's windows on the offscreen platform, over the scripted
// printer: the main window's file fields and checks before a run, the
// download window's bars, log, closing and report, the printer selection
// and the add-printer dialog, the file preview, the window settings, and
// the FTP selection against pyftpdlib.
//
// With QAV_SCREENSHOT_DIR set, the Screenshots case also writes the README's
// pictures there (scripts/loader-screenshots runs it under Xvfb).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>

#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "FakeEnvironment.h"
#include "FileDialogs.h"
#include "FtpPeer.h"
#include "LoadFiles.h"
#include "MainWindow.h"
#include "PrinterDialogs.h"
#include "ProgressDialog.h"
#include "TestPeers.h"
#include "Texts.h"

namespace {

using namespace nloadui;
using loadertest::FakeEnvironment;
using loadertest::Frame;
using loadertest::LoadFileRecipe;

bool WaitUntil(const std::function<bool()>& done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Every message box the windows show, answered as the test says.
struct Messages {
    struct Shown {
        Box kind;
        QString text, detail;
    };
    std::vector<Shown> shown;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    MessageHandler previous;

    Messages()
    {
        previous = SetMessageHandler([this](Box kind, const QString& text, const QString& detail) {
            shown.push_back({kind, text, detail});
            return kind == Box::kQuestion ? answer : QMessageBox::Ok;
        });
    }
    ~Messages() { SetMessageHandler(previous); }
    bool Saw(int textId) const
    {
        for (const Shown& s : shown) {
            if (s.text == T(textId) || s.text.endsWith(T(textId))) return true;
        }
        return false;
    }
};

nload::PrinterInfo Network(const std::string& address, const std::string& name, const std::string& version)
{
    nload::PrinterInfo p = nload::NetworkPrinter(address);
    p.name = name;
    p.model = "VORANTA QAV M-UG2";
    p.shortModel = "M-UG2";
    p.versions[nload::kKindMain] = version;
    p.infoRead = true;
    return p;
}

nload::PrinterInfo Usb(const std::string& path, const std::string& name)
{
    nload::PrinterInfo p = nload::UsbPrinter(path, "QAV M-UG2");
    p.name = name;
    return p;
}

class Windows : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("QAV_DATA_DIR", data_.Path().c_str(), 1);
        static bool loaded = Texts().LoadFile(QAV_SOURCE_DIR "/resources/data/QDLRSENG.txt");
        ASSERT_TRUE(loaded);
    }
    std::string File(const LoadFileRecipe& recipe, const std::string& name = "file.bin")
    {
        loadertest::WriteBytes(dir_.File(name), loadertest::MakeLoadFile(recipe));
        return dir_.File(name);
    }
    // The download window runs to its end, then closes.
    static void RunToEnd(CDLProc& window)
    {
        window.Start();
        ASSERT_TRUE(WaitUntil([&] { return window.Ended(); }));
    }

    qavtest::TempDir dir_, data_;
    FakeEnvironment env_;
};

// ----------------------------------------------------------- the main window

TEST_F(Windows, MainWindowShowsTheTrailerOfTheChosenFile)
{
    Messages messages;
    CNLOADDlg window(env_, {});
    ASSERT_TRUE(window.ChooseFile(QString::fromStdString(File({.version = "V1.05", .contentSize = 2000}))));
    const QStringList v = window.Fields()->Values();
    EXPECT_EQ(v, (QStringList{T(3400), "M-UG2", "V1.05", "3KB", window.Fields()->Values()[4], "LABEL FW", "REL 2"}));
    EXPECT_TRUE(v[4].endsWith('H'));
    EXPECT_EQ(v[4].size(), 9);
    // A file without a trailer keeps the values of the one before.
    loadertest::WriteBytes(dir_.File("short.bin"), std::vector<unsigned char>(255, 'x'));
    EXPECT_FALSE(window.ChooseFile(QString::fromStdString(dir_.File("short.bin"))));
    EXPECT_TRUE(messages.Saw(3030));
    EXPECT_EQ(window.Fields()->Values(), v);
    // The main window takes an M-UH trailer of another model: it does not
    // test the magic (the preview does).
    EXPECT_TRUE(window.ChooseFile(
        QString::fromStdString(File({.model = "M-UH9W", .magic = nload::kMagicMuh}, "muh.bin"))));
    EXPECT_EQ(window.Fields()->Values()[1], "M-UH9W");
}

TEST_F(Windows, FileNameTypedIntoTheFieldIsTakenWhenEntered)
{
    Messages messages;
    CNLOADDlg window(env_, {Usb("/dev/usb/lp0", "Only")});
    const QString good = QString::fromStdString(File({.version = "V1.06"}));
    window.FileField()->setText(good);
    emit window.FileField()->editingFinished(); // Return, or the focus moving to Download
    EXPECT_EQ(window.Fields()->Values()[2], "V1.06");
    // A file without a trailer: the chosen file stays, and the field says so.
    loadertest::WriteBytes(dir_.File("short.bin"), std::vector<unsigned char>(255, 'x'));
    window.FileField()->setText(QString::fromStdString(dir_.File("short.bin")));
    emit window.FileField()->editingFinished();
    EXPECT_TRUE(messages.Saw(3030));
    EXPECT_EQ(window.FileField()->text(), good);
    std::string sent;
    window.SetDownloadWindow([&](CDLProc& w) { sent = w.Run().Report().fileName; });
    EXPECT_TRUE(window.StartDownload());
    EXPECT_EQ(sent, good.toStdString());
}

TEST_F(Windows, ReturnInTheFileFieldTakesTheFileAndStartsNoDownload)
{
    Messages messages;
    CNLOADDlg window(env_, {Usb("/dev/usb/lp0", "Only")});
    bool started = false;
    window.SetDownloadWindow([&](CDLProc&) { started = true; });
    window.show();
    window.FileField()->setFocus();
    window.FileField()->setText(QString::fromStdString(File({.version = "V1.06"})));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(window.FileField(), &press);
    EXPECT_EQ(window.Fields()->Values()[2], "V1.06");
    EXPECT_FALSE(started) << "Return in the file field is not the Download button";
    // Nor after a name without a trailer, which leaves the earlier file chosen.
    loadertest::WriteBytes(dir_.File("short.bin"), std::vector<unsigned char>(255, 'x'));
    window.FileField()->setText(QString::fromStdString(dir_.File("short.bin")));
    QKeyEvent again(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier);
    QApplication::sendEvent(window.FileField(), &again);
    EXPECT_TRUE(messages.Saw(3030));
    EXPECT_FALSE(started);
    // Elsewhere Return is still the Download button.
    window.DownloadButton()->setFocus();
    QKeyEvent onButton(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(window.DownloadButton(), &onButton);
    EXPECT_TRUE(started);
}

TEST_F(Windows, DownloadNeedsAFileAndPrinters)
{
    Messages messages;
    CNLOADDlg window(env_, {});
    bool ran = false;
    window.SetDownloadWindow([&](CDLProc&) { ran = true; });
    EXPECT_FALSE(window.StartDownload());
    EXPECT_TRUE(messages.Saw(3028));
    window.ChooseFile(QString::fromStdString(File({})));
    EXPECT_FALSE(window.StartDownload());
    EXPECT_TRUE(messages.Saw(3029));
    EXPECT_FALSE(ran);
}

TEST_F(Windows, OlderFileIsAskedAboutAndNoStopsIt)
{
    Messages messages;
    CNLOADDlg window(env_, {Network("10.0.0.5", "Newer", "V2.00")});
    ASSERT_TRUE(window.ChooseFile(QString::fromStdString(File({.version = "V1.05"}))));
    bool ran = false;
    window.SetDownloadWindow([&](CDLProc&) { ran = true; });
    messages.answer = QMessageBox::No;
    EXPECT_FALSE(window.StartDownload());
    EXPECT_TRUE(messages.Saw(5010));
    EXPECT_FALSE(ran);
    messages.answer = QMessageBox::Yes;
    EXPECT_TRUE(window.StartDownload());
    EXPECT_TRUE(ran);
}

TEST_F(Windows, BootProgramThatDoesNotFitIsRefused)
{
    Messages messages;
    nload::PrinterInfo p = Network("10.0.0.5", "Boot 20", "V3.00");
    p.bootType = "0020";
    CNLOADDlg window(env_, {p});
    ASSERT_TRUE(window.ChooseFile(QString::fromStdString(File({.kind = "BOOT", .boot = "0021BOOT"}))));
    bool ran = false;
    window.SetDownloadWindow([&](CDLProc&) { ran = true; });
    EXPECT_FALSE(window.StartDownload());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, Box::kError);
    EXPECT_EQ(messages.shown[0].text, T(5012));
    EXPECT_FALSE(ran);
}

TEST_F(Windows, PrinterThatCannotTakeADownloadGetsError40AndTheOthersTheirs)
{
    Messages messages;
    nload::PrinterInfo busy = Network("10.0.0.6", "Busy", "V1.00");
    busy.statusCode = 11;
    env_.state.reactions = {{0, Frame(52)}, {0, Frame(56)}};
    env_.state.trapAfterMs = 0;
    env_.state.versionAfterRestart = "V1.05";
    CNLOADDlg window(env_, {busy, Network("10.0.0.5", "Ready", "V1.00")});
    ASSERT_TRUE(window.ChooseFile(QString::fromStdString(File({.version = "V1.05"}))));
    window.SetDownloadWindow([](CDLProc& w) { RunToEnd(w); });
    EXPECT_TRUE(window.StartDownload());
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_EQ(messages.shown[0].text, "\"Busy\" " + T(5011));
    EXPECT_EQ(window.Targets()[0].last.code, nload::kErrNotServed);
    EXPECT_EQ(window.Targets()[1].last.code, nload::kOk);
    // The list shows each printer's outcome.
    EXPECT_EQ(window.PrinterList()->topLevelItem(0)->text(5), T(8095));
    EXPECT_EQ(window.PrinterList()->topLevelItem(1)->text(5), T(5009));
    EXPECT_EQ(window.PrinterList()->topLevelItem(1)->text(4), "V1.05");
}

// -------------------------------------------------------- the download window

// A scripted printer whose data send holds at 40% until released (on the
// port made `holdOnPort`-th, counting from 0).
class HeldEnvironment : public FakeEnvironment {
public:
    int holdOnPort = 0;
    std::unique_ptr<nload::Port> MakePort() override
    {
        return std::make_unique<HeldPort>(*this, ports_++ == holdOnPort);
    }
    void Release()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        cv_.notify_all();
    }
    bool Holding() const { return holding_.load(); }

private:
    class HeldPort : public loadertest::FakePort {
    public:
        HeldPort(HeldEnvironment& env, bool hold) : FakePort(env.state), env_(env), hold_(hold) {}
        bool WaitSendEnd(int ms) override
        {
            if (hold_ && SentBytes() * 10 >= total_ * 4) {
                env_.holding_ = true;
                std::unique_lock<std::mutex> lock(env_.mutex_);
                env_.cv_.wait(lock, [this] { return env_.released_; });
            }
            return FakePort::WaitSendEnd(ms);
        }
        int StartSend(const void* data, int length) override
        {
            total_ = length;
            return FakePort::StartSend(data, length);
        }

    private:
        HeldEnvironment& env_;
        bool hold_;
        int total_ = 0;
    };
    int ports_ = 0;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool released_ = false;
    std::atomic<bool> holding_{false};
};

nload::RunSetup SetupFor(const std::string& path, std::vector<nload::PrinterInfo> printers)
{
    nload::RunSetup s;
    s.filePath = path;
    nload::Trailer t;
    nload::ReadTrailer(path, t);
    s.file = nload::InfoFromTrailer(t);
    s.printers = std::move(printers);
    return s;
}

TEST_F(Windows, ReportThatCannotBeWrittenSaysSoAndWhere)
{
    env_.state.reactions = {{0, Frame(52)}, {0, Frame(56)}};
    CDLProc window(env_, SetupFor(File({}), {Usb("/dev/usb/lp0", "Only")}));
    RunToEnd(window);
    Messages messages;
    const QString path = QString::fromStdString(dir_.File("no such folder/report.txt"));
    EXPECT_FALSE(window.SaveReport(path));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].kind, Box::kError);
    EXPECT_EQ(messages.shown[0].text, T(3032));
    EXPECT_TRUE(messages.shown[0].detail.startsWith(path + ": ")) << messages.shown[0].detail.toStdString();
}

TEST_F(Windows, DownloadWindowNamesAServersFileByItsAddress)
{
    nload::RunSetup setup = SetupFor(File({}), {Usb("/dev/usb/lp0", "Only")});
    setup.ftp = nload::FtpServer{};
    setup.ftp->host = "127.0.0.1:2121";
    setup.ftp->user = "loader";
    setup.ftp->password = "secret";
    setup.filePath = "MAIN/MUG2V107.BIN";
    CDLProc window(env_, std::move(setup));
    QStringList shown;
    for (const QLabel* label : window.findChildren<QLabel*>()) shown << label->text();
    EXPECT_TRUE(shown.contains("ftp://127.0.0.1:2121/ROM_FILE/MAIN/MUG2V107.BIN")) << shown.join(" | ").toStdString();
    EXPECT_FALSE(shown.join(" ").contains("secret"));
}

TEST_F(Windows, DownloadWindowFollowsTheRunAndClosesOnlyAtItsEnd)
{
    HeldEnvironment env;
    env.state.bytesPerPoll = 1000;
    env.state.reactions = {{0, Frame(52)}, {0, Frame(56)}, {0, Frame(52)}, {0, Frame(56)}};
    const std::string path = File({.contentSize = 9994});
    CDLProc window(env, SetupFor(path, {Usb("/dev/usb/lp0", "First"), Usb("/dev/usb/lp1", "Second")}));
    EXPECT_FALSE(window.OkButton()->isEnabled());
    EXPECT_FALSE(window.SaveButton()->isEnabled());
    window.show();
    ASSERT_TRUE(WaitUntil([&] { return env.Holding(); }));
    ASSERT_TRUE(WaitUntil([&] { return window.PrinterBar()->value() >= 4000; }));
    EXPECT_EQ(window.PrinterBar()->text(), QString("%1 / 10256").arg(window.PrinterBar()->value()));
    EXPECT_TRUE(window.StatusLabel()->text().startsWith("First"));
    EXPECT_EQ(window.TotalBar()->value(), 0);
    window.reject(); // Escape and the close box do nothing while it runs
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.OkButton()->isEnabled());

    env.Release();
    ASSERT_TRUE(WaitUntil([&] { return window.Ended(); }));
    EXPECT_EQ(window.TotalBar()->value(), 100);
    EXPECT_EQ(window.PrinterBar()->text(), "10256 / 10256");
    EXPECT_TRUE(window.OkButton()->isEnabled());
    EXPECT_TRUE(window.SaveButton()->isEnabled());
    EXPECT_TRUE(window.LogBox()->toPlainText().trimmed().endsWith(T(8060))) << window.LogBox()->toPlainText().toStdString();

    // Save writes the report, ".txt" added to a name without extension.
    window.SetFileChooser([&](QWidget*) { return QString::fromStdString(dir_.File("result")); });
    window.SaveButton()->click();
    const std::string report = qavtest::ReadFile(dir_.File("result.txt"));
    EXPECT_EQ(report.rfind(Texts().Get(8000) + "\r\n\r\n" + Texts().Get(8010) + " ", 0), 0u) << report;
    EXPECT_NE(report.find("USB  /dev/usb/lp1\r\nSecond" + Texts().Get(5003) + "\r\n"), std::string::npos) << report;
    EXPECT_EQ(report.find("\n\n"), std::string::npos) << "every line ends in CR LF";
    window.reject();
    EXPECT_FALSE(window.isVisible());
}

TEST_F(Windows, StopLetsThePrinterBeingServedFinishAndLeavesOutTheRest)
{
    HeldEnvironment env;
    env.state.bytesPerPoll = 1000;
    env.state.reactions = {{0, Frame(52)}, {0, Frame(56)}, {0, Frame(52)}, {0, Frame(56)}};
    CDLProc window(env, SetupFor(File({.contentSize = 9994}), {Usb("/dev/usb/lp0", "First"), Usb("/dev/usb/lp1", "Second")}));
    window.show();
    ASSERT_TRUE(WaitUntil([&] { return env.Holding(); }));
    Messages messages;
    messages.answer = QMessageBox::No;
    window.StopButton()->click();
    EXPECT_TRUE(messages.Saw(3255));
    EXPECT_TRUE(window.StopButton()->isEnabled());
    messages.answer = QMessageBox::Yes;
    window.reject(); // the close box asks the same
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_FALSE(window.StopButton()->isEnabled());
    EXPECT_TRUE(window.isVisible());
    env.Release();
    ASSERT_TRUE(WaitUntil([&] { return window.Ended(); }));
    const std::vector<nload::PrinterInfo> done = window.Run().Printers();
    EXPECT_EQ(done[0].last.code, nload::kOk);
    EXPECT_EQ(done[1].last.code, nload::kErrStopped);
    EXPECT_EQ(env.state.Count("open"), 1);
    EXPECT_NE(window.LogBox()->toPlainText().indexOf(T(8071)), -1);
    EXPECT_TRUE(window.OkButton()->isEnabled());
    window.reject();
    EXPECT_FALSE(window.isVisible());
}

// ------------------------------------------------------ choosing the printers

TEST_F(Windows, SelectionNeedsCheckedPrintersOfOneModel)
{
    Messages messages;
    nload::PrinterInfo other = Network("10.0.0.7", "Other", "V1.00");
    other.model = "VORANTA QAV M-PQ3W1";
    CSelPrinter dialog(env_, {Network("10.0.0.5", "A", "V1.00"), other, Network("10.0.0.6", "B", "V1.00")}, {});
    dialog.accept();
    EXPECT_TRUE(messages.Saw(4420));
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    for (int i = 0; i < 3; ++i) dialog.List()->topLevelItem(i)->setCheckState(0, Qt::Checked);
    dialog.accept();
    EXPECT_TRUE(messages.Saw(4421));
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    dialog.List()->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(dialog.Targets().size(), 2u);
    EXPECT_EQ(dialog.Targets()[0].name, "A");
    EXPECT_EQ(dialog.Targets()[1].name, "B");
}

TEST_F(Windows, AddedPrinterIsReadAndCheckedButNeverTwice)
{
    Messages messages;
    env_.state.versionAfterRestart = "V1.20";
    CSelPrinter dialog(env_, {}, {});
    dialog.SetAddDialog([](QWidget*, nload::PrinterInfo& p) {
        p = nload::NetworkPrinter("10.0.0.9");
        return true;
    });
    ASSERT_TRUE(dialog.AddPrinter(nload::NetworkPrinter("10.0.0.9")));
    EXPECT_EQ(env_.state.Count("read"), 1); // its information was read
    EXPECT_EQ(dialog.Known()[0].versions[nload::kKindMain], "V1.20");
    EXPECT_EQ(dialog.List()->topLevelItem(0)->checkState(0), Qt::Checked);
    EXPECT_FALSE(dialog.AddPrinter(nload::NetworkPrinter("10.0.0.9")));
    EXPECT_TRUE(messages.Saw(6002));
    EXPECT_EQ(dialog.Known().size(), 1u);
}

// Reads that meet inside ReadInfo: each waits (up to a second) for a
// second reader to come in.
class MeetingReads : public FakeEnvironment {
public:
    int ReadInfo(nload::PrinterInfo& printer) override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        most_ = std::max(most_, ++inside_);
        cv_.notify_all();
        cv_.wait_for(lock, std::chrono::seconds(1), [this] { return inside_ >= 2; });
        --inside_;
        lock.unlock();
        return FakeEnvironment::ReadInfo(printer);
    }
    int Most() const { return most_; }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    int inside_ = 0;
    int most_ = 0;
};

TEST_F(Windows, InformationOfSeveralPrintersIsReadAtOnce)
{
    // A list of switched-off printers costs the SNMP time-out once, not
    // once per printer.
    MeetingReads env;
    env.state.versionAfterRestart = "V1.20";
    std::vector<nload::PrinterInfo> printers = {nload::NetworkPrinter("127.0.0.11"), nload::NetworkPrinter("127.0.0.12"),
                                                Usb("/dev/usb/lp0", "Local"), nload::NetworkPrinter("127.0.0.13")};
    ReadInformation(env, printers, nullptr);
    EXPECT_GE(env.Most(), 2);
    EXPECT_EQ(env.state.Count("read"), 3); // the USB printer is not asked
    EXPECT_EQ(printers[3].versions[nload::kKindMain], "V1.20");
    EXPECT_EQ(printers[2].versions[nload::kKindMain], "");
}

TEST_F(Windows, AddPrinterDialogTakesEveryPortKind)
{
    Messages messages;
    const std::vector<nload::PortChoice> ports = {{"LAN", nload::PortKind::kNetwork, 0, {}},
                                                  {"COM2", nload::PortKind::kSerial, 2, {}},
                                                  {"LPT1", nload::PortKind::kParallel, 1, {}},
                                                  {"QAV MC111W", nload::PortKind::kUsb, 0, "/dev/usb/lp3"}};
    {
        CAppPrinter dialog(ports);
        dialog.AddressField()->setText("192.168.10");
        dialog.accept();
        EXPECT_TRUE(messages.Saw(3112));
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        dialog.AddressField()->setText("192.168.10.5");
        dialog.accept();
        EXPECT_EQ(dialog.Printer().DownloadAddress(), "192.168.10.5:9100");
        EXPECT_EQ(dialog.Printer().kind, nload::PortKind::kNetwork);
    }
    {
        CAppPrinter dialog(ports);
        dialog.PortBox()->setCurrentIndex(1);
        dialog.BlockTransferBox()->setChecked(true);
        dialog.accept();
        EXPECT_EQ(dialog.Printer().DownloadPortName(), "COM2");
        EXPECT_EQ(dialog.Printer().DownloadAddress(), "9600,8,N,1");
        EXPECT_TRUE(dialog.Printer().blockTransfer);
    }
    {
        CAppPrinter dialog(ports);
        dialog.PortBox()->setCurrentIndex(3);
        dialog.accept();
        EXPECT_EQ(dialog.Printer().DownloadAddress(), "/dev/usb/lp3");
        EXPECT_TRUE(dialog.Printer().blockTransfer); // an MC111 on USB
    }
}

// ------------------------------------------------- preview and window settings

TEST_F(Windows, PreviewShowsOnlyValidTrailers)
{
    CSelDLFile dialog;
    dialog.Preview(QString::fromStdString(File({.version = "V1.05"})));
    EXPECT_EQ(dialog.PreviewFields()->Values()[2], "V1.05");
    dialog.Preview(QString::fromStdString(File({.model = "M-UH9W", .magic = nload::kMagicMuh}, "muh.bin")));
    EXPECT_EQ(dialog.PreviewFields()->Values()[2], "");
    dialog.Preview(QString::fromStdString(File({.model = "M-UH9Y", .magic = nload::kMagicMuh}, "muh9y.bin")));
    EXPECT_EQ(dialog.PreviewFields()->Values()[1], "M-UH9Y");
    loadertest::WriteBytes(dir_.File("short.bin"), std::vector<unsigned char>(255, 'x'));
    dialog.Preview(QString::fromStdString(dir_.File("short.bin")));
    EXPECT_EQ(dialog.PreviewFields()->Values()[1], "");
    dialog.Preview(QString::fromStdString(File({.kind = "GAIJI", .version = "V1.05"}, "gaiji.bin")));
    EXPECT_EQ(dialog.PreviewFields()->Values(), (QStringList{T(3405), "", "", "", "", "", ""}));
}

TEST_F(Windows, MissingSettingsGiveColour31AndEveryColumnAtItsWidth)
{
    const qavsettings::DownLoaderConfig config = qavsettings::ReadDownLoaderConfig(6, data_.File("none.INI"));
    EXPECT_EQ(config.backColor, 31);
    CNLOADDlg window(env_, {});
    window.ApplySettings(config);
    for (int c = 0; c < 6; ++c) {
        EXPECT_FALSE(window.PrinterList()->isColumnHidden(c)) << c;
        EXPECT_EQ(window.PrinterList()->columnWidth(c), std::atoi(Texts().Get(10011 + c).c_str())) << c;
    }
    CExtSet dialog(config, 6);
    EXPECT_EQ(dialog.ColourBox()->currentText(), "Standard");
    dialog.ColumnBox(2)->setChecked(false);
    dialog.WidthBox(0)->setValue(200);
    dialog.ColourBox()->setCurrentIndex(0);
    const qavsettings::DownLoaderConfig changed = dialog.Config();
    EXPECT_EQ(changed.columns, (std::vector<int>{1, 1, 0, 1, 1, 1}));
    ASSERT_TRUE(qavsettings::WriteDownLoaderConfig(changed, data_.File("QAVDownLoader.INI")));
    window.ApplySettings(qavsettings::ReadDownLoaderConfig(6, data_.File("QAVDownLoader.INI")));
    EXPECT_TRUE(window.PrinterList()->isColumnHidden(2));
    EXPECT_EQ(window.PrinterList()->columnWidth(0), 200);
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor("#FFFFFF"));
}

// ------------------------------------------------------------- FTP selection

TEST_F(Windows, FtpSelectionListsTheCatalog)
{
    qavtest::TempDir root;
    qavtest::RunCommand("mkdir -p '" + root.File("ROM_FILE") + "'");
    qavtest::WriteFile(root.File("ROM_FILE/CATALOG.TXT"), "A.BIN,MAIN,MAIN,M-UG2,V1.05,LABEL FW,REL 2,300,0000ABCD,\r\n"
                                                          "B.BIN,,GAIJI,,,,,,,\r\n");
    loadertest::FtpPeer peer;
    ASSERT_TRUE(peer.Start(qavtest::LoopbackAddress(41), root.Path())) << peer.Log();
    Messages messages;
    CFtpFileSelect dialog;
    dialog.SetServer(peer.Server());
    dialog.Connect();
    EXPECT_EQ(dialog.StatusLabel()->text(), T(4101));
    ASSERT_TRUE(WaitUntil([&] { return !dialog.Busy(); }));
    ASSERT_EQ(dialog.List()->topLevelItemCount(), 2);
    EXPECT_EQ(dialog.StatusLabel()->text(), T(4102));
    EXPECT_EQ(dialog.List()->topLevelItem(0)->text(0), "A.BIN");
    EXPECT_EQ(dialog.List()->topLevelItem(0)->text(3), "V1.05");
    EXPECT_EQ(dialog.List()->topLevelItem(0)->text(5), "0000ABCDH");
    EXPECT_EQ(dialog.List()->topLevelItem(1)->text(1), T(3405));
    dialog.List()->setCurrentItem(dialog.List()->topLevelItem(0));
    dialog.accept();
    ASSERT_TRUE(dialog.Selected());
    EXPECT_EQ(dialog.Selected()->RelativePath(), "MAIN/A.BIN");

    nload::FtpServer wrong = peer.Server();
    wrong.password = "wrong";
    CFtpFileSelect refused;
    refused.SetServer(wrong);
    refused.Connect();
    ASSERT_TRUE(WaitUntil([&] { return !refused.Busy(); }));
    EXPECT_EQ(refused.StatusLabel()->text(), T(4100));
    EXPECT_TRUE(messages.Saw(4103));
}

TEST_F(Windows, ClosingTheFtpSelectionGivesUpAFetchThatHangs)
{
    loadertest::SilentServer silent(qavtest::LoopbackAddress(43));
    ASSERT_TRUE(silent.Listening());
    Messages messages;
    QElapsedTimer clock;
    {
        CFtpFileSelect dialog;
        dialog.SetServer(silent.Server()); // the fetch would wait 30 s for a greeting
        dialog.Connect();
        WaitUntil([] { return false; }, 300);
        EXPECT_TRUE(dialog.Busy());
        clock.start();
    }
    // The window thread is not held until the fetch gives up by itself.
    EXPECT_LT(clock.elapsed(), 3000);
}

// ------------------------------------------------------------- README pictures

TEST_F(Windows, Screenshots)
{
    const char* dir = std::getenv("QAV_SCREENSHOT_DIR");
    if (!dir || !*dir) GTEST_SKIP() << "QAV_SCREENSHOT_DIR not set";
    const QString out = QString::fromLocal8Bit(dir);
    // The first printer refuses the file, the second is in the middle of
    // its data, the third waits.
    HeldEnvironment env;
    env.holdOnPort = 1;
    env.state.bytesPerPoll = 40000;
    env.state.reactions = {{0, Frame(51)}};
    for (int i = 0; i < 2; ++i) {
        env.state.reactions.push_back({0, Frame(52)});
        env.state.reactions.push_back({0, Frame(56)});
    }
    env.state.trapAfterMs = 0;
    env.state.versionAfterRestart = "V1.07";
    std::vector<nload::PrinterInfo> printers = {Network("192.168.10.21", "Shipping 1", "V1.05"),
                                                Network("192.168.10.22", "Shipping 2", "V1.05"),
                                                Network("192.168.10.23", "Returns desk", "V1.06")};
    printers[0].last.status = printers[1].last.status = printers[2].last.status = "";
    CNLOADDlg window(env, printers);
    window.ChooseFile(QString::fromStdString(File({.version = "V1.07", .contentSize = 1500000,
                                                   .text1 = "MAIN PROG", .text2 = "2024-05"},
                                                  "MUG2V107.BIN")));
    window.show();
    QApplication::processEvents();
    ASSERT_TRUE(window.grab().save(out + "/loader-main-window.png"));

    nload::RunSetup setup = SetupFor(dir_.File("MUG2V107.BIN"), printers);
    CDLProc progress(env, std::move(setup), &window);
    progress.show();
    ASSERT_TRUE(WaitUntil([&] { return env.Holding(); }));
    ASSERT_TRUE(WaitUntil([&] { return progress.PrinterBar()->value() > 0; }));
    QApplication::processEvents();
    ASSERT_TRUE(progress.grab().save(out + "/loader-progress.png"));
    env.Release();
    ASSERT_TRUE(WaitUntil([&] { return progress.Ended(); }, 30000));
    ASSERT_TRUE(progress.SaveReport(QString::fromStdString(dir_.File("report.txt"))));
    QPlainTextEdit report;
    report.setReadOnly(true);
    report.setWindowTitle(dir_.File("report.txt").c_str());
    report.setPlainText(QString::fromStdString(qavtest::ReadFile(dir_.File("report.txt"))).remove('\r'));
    report.resize(620, 520);
    report.show();
    QApplication::processEvents();
    ASSERT_TRUE(report.grab().save(out + "/loader-report.png"));
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

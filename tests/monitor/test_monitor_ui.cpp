// The monitor's windows on the offscreen platform: the login dialog, the
// tray menus of both modes with their grey states, and the exit question.
// The monitor runs on a data folder of its own made by the installation
// step; trap reception and polling are off, so no port is touched.
//
// The list window and the settings dialogs belong to libraries that are
// loaded beside the monitor; this program provides small stand-ins for
// their entry points, so that the monitor's reaction to an open list window
// or dialog can be watched.
#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <memory>

#include "Icons.h"
#include "LoginDialog.h"
#include "qav/Version.h"
#include "Monitor.h"
#include "TestPeers.h"
#include "Texts.h"
#include "nlist/Nlist.h"
#include "qavsettings/Profile.h"

// ------------------------------------------------ stand-in entry points

namespace {
int g_dialogOpen = 0;              // GetDispFlag's answer
std::function<void()> g_duringDialog; // runs while ManagementSetup "shows" its dialog
std::function<void()> g_duringList;   // runs while the list window "is open"
int g_listOpened = 0, g_listClosed = 0;
} // namespace

// The settings library's entry points have C names.
extern "C" int GetDispFlag() { return g_dialogOpen; }
extern "C" int ManagementSetup()
{
    if (g_duringDialog) g_duringDialog();
    return 0;
}
int LDDisplayList(int, int action, int* state)
{
    if (state) {
        *state = 0;
        return 1;
    }
    if (action == 1) {
        ++g_listOpened;
        if (g_duringList) g_duringList();
    } else {
        ++g_listClosed;
    }
    return 1;
}

namespace {

using nwatch::Monitor;

// One shown message: caption and text.
struct Shown {
    QString caption, text;
    nwatch::MessageKind kind;
};

// A data folder made by the installation step, then adjusted.
class DataFolder {
public:
    DataFolder()
    {
        ::setenv("QAV_DATA_DIR", dir_.Path().c_str(), 1);
        // Lock files of this test alone: a list window open in another test
        // must not look like this monitor's own.
        ::setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
        qavtest::RunCommand("QAV_DATA_DIR='" + dir_.Path() + "' " QAV_SOURCE_DIR "/scripts/install-data");
        Set("QAVSurveyConfig.INI", "Polling", "Trap", "0");
        Set("QAVSurveyConfig.INI", "Polling", "Polling", "0");
        Set("QAVMgmtConfig.INI", "Startup", "UseSystemDefault", "0");
    }
    void Set(const std::string& file, const std::string& section, const std::string& key, const std::string& value)
    {
        qavsettings::ProfileDocument doc;
        doc.Load(dir_.File(file));
        doc.SetString(section, key, value);
        doc.Save(dir_.File(file));
    }
    std::string File(const std::string& name) const { return dir_.File(name); }

private:
    qavtest::TempDir dir_, runtime_;
};

// The group file with one printer in both groups.
const char* const kOnePrinter = "[Groups]\ncount=2\n"
                                "[Group.0]\nname=All printers\nprinters=1\nprtindex.0=127.0.0.9\n"
                                "[Group.1]\nname=QAV printers\nprinters=0\n"
                                "[Printers]\ncount=1\n"
                                "[Printer.0]\nip=127.0.0.9\nname=Dock printer\nIsBCP=1\n";

// "text|on" or "text|off" per item, "-" per separator, submenus in brackets.
QStringList Describe(const QMenu* menu)
{
    QStringList out;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            out << "-";
        } else if (a->menu()) {
            out << a->text() + (a->isEnabled() ? "|on" : "|off") + " [" + Describe(a->menu()).join(", ") + "]";
        } else {
            out << a->text() + (a->isEnabled() ? "|on" : "|off") + "=" + QString::number(a->data().toInt());
        }
    }
    return out;
}

QString Item(int text, int command, bool on)
{
    return nwatch::T(text) + (on ? "|on=" : "|off=") + QString::number(command);
}

QStringList AdminMenu(bool on)
{
    const QString state = on ? "|on" : "|off";
    return {Item(1010, 32771, on), "-",
            nwatch::T(1013) + state + " [" + Item(1015, 32776, on) + ", " + Item(1016, 32778, on) + ", " +
                Item(1017, 32779, on) + "]",
            "-", Item(1014, 32775, on)};
}

QStringList UserMenu(bool on) { return {Item(1010, 32780, on), "-", Item(1014, 32781, on)}; }

// A socket bound to a port of the system's choice and held: UDP on every
// address (the port of another trap receiver), or TCP on one address,
// listening (a mail server that takes connections and never says a word).
class HeldPort {
public:
    explicit HeldPort(int type, const std::string& address = "0.0.0.0")
        : fd_(::socket(AF_INET, type | SOCK_CLOEXEC, 0))
    {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
        socklen_t len = sizeof sa;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        if (type == SOCK_STREAM) ::listen(fd_, 8);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len);
        port_ = ntohs(sa.sin_port);
    }
    ~HeldPort() { ::close(fd_); }
    int Port() const { return port_; }

private:
    int fd_;
    int port_ = 0;
};

// A UDP port free on every address at the moment.
int FreeUdpPort() { return HeldPort(SOCK_DGRAM).Port(); }

// Sets an environment variable for one test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) { ::setenv(name, value.c_str(), 1); }
    ~ScopedEnv() { ::unsetenv(name_); }

private:
    const char* name_;
};

QAction* FindCommand(QMenu* menu, int command)
{
    for (QAction* a : menu->actions()) {
        if (a->menu()) {
            if (QAction* found = FindCommand(a->menu(), command)) return found;
        } else if (!a->isSeparator() && a->data().toInt() == command) {
            return a;
        }
    }
    return nullptr;
}

} // namespace

class MonitorWindows : public QObject {
    Q_OBJECT

private:
    std::vector<Shown> shown_;
    QMessageBox::StandardButton answer_ = QMessageBox::Ok;
    std::function<void()> duringQuestion_;

    // Runs `step` on the login dialog once the monitor shows it.
    void OnLogin(std::function<void(nwatch::LoginDialog*)> step)
    {
        QTimer::singleShot(0, [step] {
            auto* dialog = qobject_cast<nwatch::LoginDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            step(dialog);
            if (dialog->isVisible()) dialog->done(0); // a failed step ends the login

        });
    }
    static void Type(nwatch::LoginDialog* d, const QString& password)
    {
        d->PasswordBox()->clear();
        QTest::keyClicks(d->PasswordBox(), password);
        QTest::mouseClick(d->OkButton(), Qt::LeftButton);
    }
    QStringList Texts() const
    {
        QStringList out;
        for (const Shown& s : shown_) out << s.caption + ": " + s.text;
        return out;
    }
    // Runs the event loop until the monitor quits (0) or 2 s pass (42).
    static int RunUntilQuitOr2s(std::function<void()> start)
    {
        QTimer stop;
        stop.setSingleShot(true);
        QObject::connect(&stop, &QTimer::timeout, [] { QCoreApplication::exit(42); });
        stop.start(2000);
        QTimer::singleShot(0, start);
        const int rc = QApplication::exec();
        stop.stop();
        return rc;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(nwatch::Language().Load(qavres::kLanguage));
        QApplication::setQuitOnLastWindowClosed(false);
        nwatch::SetMessageHandler([this](nwatch::MessageKind kind, const QString& caption, const QString& text) {
            shown_.push_back({caption, text, kind});
            if (kind == nwatch::MessageKind::kQuestionYesNoCancel && duringQuestion_) duringQuestion_();
            return answer_;
        });
    }
    void init()
    {
        shown_.clear();
        answer_ = QMessageBox::Ok;
        duringQuestion_ = nullptr;
        g_dialogOpen = 0;
        g_duringDialog = nullptr;
        g_duringList = nullptr;
        g_listOpened = g_listClosed = 0;
    }

    void loginDialogShowsItsTexts()
    {
        nwatch::LoginDialog d("secret");
        QCOMPARE(d.windowTitle(), nwatch::T(1000));
        QStringList labels;
        for (QLabel* l : d.findChildren<QLabel*>()) labels << l->text();
        QVERIFY(labels.contains(nwatch::T(1001)));
        QVERIFY(labels.contains(nwatch::T(1002)));
        QStringList buttons;
        for (QPushButton* b : d.findChildren<QPushButton*>()) buttons << b->text();
        QCOMPARE(buttons, (QStringList{nwatch::T(1003), nwatch::T(1004), nwatch::T(1005)}));
        QCOMPARE(d.PasswordBox()->echoMode(), QLineEdit::Password);
        QCOMPARE(d.PasswordBox()->maxLength(), 16);
        QVERIFY(d.OkButton()->isDefault());
        // Its window menu offers the About box, which names the product's version.
        QVERIFY(d.actions().contains(d.AboutAction()));
        QCOMPARE(d.AboutAction()->text(), QStringLiteral("&About NWATCH..."));
        QCOMPARE(d.contextMenuPolicy(), Qt::ActionsContextMenu);
        QTimer::singleShot(0, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(box->windowTitle(), QStringLiteral("About NWATCH"));
            QCOMPARE(box->text(), QStringLiteral("QAV Network Monitor\nQAV Network Tool " QAV_VERSION));
            box->accept();
        });
        d.AboutAction()->trigger();
    }

    // The stored password is kept in ROT13: "Frperg-42" stands for
    // "Secret-42". The letters compare without regard to case; the stored
    // form itself is no password.
    void rightPasswordAfterTwoWrongStartsInAdministratorMode()
    {
        DataFolder data;
        data.Set("QAVMgmtConfig.INI", "Startup", "AskPassword", "1");
        data.Set("QAVMgmtConfig.INI", "Password", "Password", "Frperg-42");
        Monitor monitor;
        OnLogin([this](nwatch::LoginDialog* d) {
            QVERIFY(d->isVisible());
            Type(d, "Frperg-42"); // the scrambled text as typed
            QCOMPARE(d->Failures(), 1);
            QVERIFY(d->PasswordBox()->text().isEmpty());
            QCOMPARE(d->focusWidget(), d->PasswordBox());
            Type(d, "secret-4");
            QCOMPARE(d->Failures(), 2);
            Type(d, "sECRET-42");
        });
        int exitCode = -1;
        QVERIFY(monitor.Start(&exitCode));
        QCOMPARE(monitor.Mode(), nwatch::kAdministratorMode);
        QCOMPARE(monitor.AdministratorFlag(), 1);
        const QString wrong = nwatch::T(1000) + ": " + nwatch::T(1006);
        QCOMPARE(Texts(), (QStringList{wrong, wrong}));
        QCOMPARE(Describe(monitor.TrayMenuWidget()), AdminMenu(true));
    }

    void thirdWrongPasswordEndsTheProgram()
    {
        DataFolder data;
        data.Set("QAVMgmtConfig.INI", "Startup", "AskPassword", "1");
        data.Set("QAVMgmtConfig.INI", "Password", "Password", "frperg");
        Monitor monitor;
        OnLogin([](nwatch::LoginDialog* d) {
            Type(d, "one");
            Type(d, "two");
            Type(d, "three");
        });
        int exitCode = -1;
        QVERIFY(!monitor.Start(&exitCode));
        QCOMPARE(exitCode, 0);
        QCOMPARE(monitor.Mode(), nwatch::kNotStarted);
        const QString wrong = nwatch::T(1000) + ": " + nwatch::T(1006);
        QCOMPARE(Texts(), (QStringList{wrong, wrong, nwatch::T(1000) + ": " + nwatch::T(1007)}));
        QCOMPARE(shown_.back().kind, nwatch::MessageKind::kError);
    }

    void passwordBeyondSixteenCharactersIsCut()
    {
        DataFolder data;
        data.Set("QAVMgmtConfig.INI", "Startup", "AskPassword", "1");
        data.Set("QAVMgmtConfig.INI", "Password", "Password", "nopqrstuvwxyzabc"); // "abcdefghijklmnop"
        Monitor monitor;
        OnLogin([](nwatch::LoginDialog* d) {
            Type(d, "abcdefghijklmnopqrst");
            QCOMPARE(d->Failures(), 0);
        });
        int exitCode = -1;
        QVERIFY(monitor.Start(&exitCode));
        QCOMPARE(monitor.Mode(), nwatch::kAdministratorMode);
        QVERIFY(shown_.empty());
    }

    void userButtonStartsInUserModeWithItsMenu()
    {
        DataFolder data;
        data.Set("QAVMgmtConfig.INI", "Startup", "AskPassword", "1");
        data.Set("QAVMgmtConfig.INI", "Password", "Password", "frperg");
        Monitor monitor;
        OnLogin([](nwatch::LoginDialog* d) { QTest::mouseClick(d->UserButton(), Qt::LeftButton); });
        int exitCode = -1;
        QVERIFY(monitor.Start(&exitCode));
        QCOMPARE(monitor.Mode(), nwatch::kUserMode);
        QCOMPARE(monitor.AdministratorFlag(), 0);
        QCOMPARE(Describe(monitor.TrayMenuWidget()), UserMenu(true));
        // The list window greys the user's menu while it is open.
        g_duringList = [&] {
            QVERIFY(monitor.ListShown());
            QCOMPARE(Describe(monitor.TrayMenuWidget()), UserMenu(false));
        };
        FindCommand(monitor.TrayMenuWidget(), nwatch::kCmdListUser)->trigger();
        QCOMPARE(g_listOpened, 1);
        QVERIFY(!monitor.ListShown());
        QCOMPARE(Describe(monitor.TrayMenuWidget()), UserMenu(true));
    }

    void startWithoutPasswordShowsNoWindow()
    {
        DataFolder data;
        Monitor monitor;
        int exitCode = -1;
        QSignalSpy started(&monitor, &Monitor::monitoringStarted);
        QVERIFY(monitor.Start(&exitCode));
        QVERIFY(started.wait(2000));
        QCOMPARE(monitor.Mode(), nwatch::kAdministratorMode);
        for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        QVERIFY(!monitor.TrapReceptionOn());
        QVERIFY(!monitor.PollingArmed());
    }

    void rejectedGroupFileEndsTheStart()
    {
        DataFolder data;
        qavtest::WriteFile(data.File("QAVGroupConfig.qdl"), "[Groups]\ncount=1\n");
        Monitor monitor;
        int exitCode = -1;
        QVERIFY(!monitor.Start(&exitCode));
        QCOMPARE(exitCode, 2);
        QCOMPARE(Texts(), QStringList{nwatch::T(2000) + ": " + nwatch::T(2200)});
    }

    // The administrator's menu: texts, no system-setting or download item,
    // and every item grey while a settings dialog or the list window is
    // open or the monitor is busy.
    void administratorMenuAndItsGreyStates()
    {
        DataFolder data;
        Monitor monitor;
        int exitCode = -1;
        QVERIFY(monitor.Start(&exitCode));
        QTRY_COMPARE(monitor.Mode(), nwatch::kAdministratorMode);
        QCOMPARE(Describe(monitor.TrayMenuWidget()), AdminMenu(true));
        QVERIFY(!FindCommand(monitor.TrayMenuWidget(), nwatch::kCmdSystemTool));
        QVERIFY(!FindCommand(monitor.TrayMenuWidget(), nwatch::kCmdDownloadTool));

        // A settings dialog of another program is open.
        g_dialogOpen = 1;
        monitor.RebuildTrayMenu();
        QCOMPARE(Describe(monitor.TrayMenuWidget()), AdminMenu(false));
        g_dialogOpen = 0;
        monitor.RebuildTrayMenu();
        QCOMPARE(Describe(monitor.TrayMenuWidget()), AdminMenu(true));

        // The monitor's own management dialog: busy while it runs.
        bool ran = false;
        g_duringDialog = [&] {
            ran = true;
            QCOMPARE(monitor.Busy(), 1);
            QCOMPARE(Describe(monitor.TrayMenuWidget()), AdminMenu(false));
        };
        FindCommand(monitor.TrayMenuWidget(), nwatch::kCmdManagementSetup)->trigger();
        QVERIFY(ran);
        QCOMPARE(monitor.Busy(), 0);
        QCOMPARE(Describe(monitor.TrayMenuWidget()), AdminMenu(true));

        // The list window.
        g_duringList = [&] { QCOMPARE(Describe(monitor.TrayMenuWidget()), AdminMenu(false)); };
        FindCommand(monitor.TrayMenuWidget(), nwatch::kCmdListAdmin)->trigger();
        QCOMPARE(g_listOpened, 1);
        QCOMPARE(Describe(monitor.TrayMenuWidget()), AdminMenu(true));
    }

    // An X11 tray pops the context menu up before it reports the click: the
    // open menu survives the rebuild that click asks for, keeps its entries
    // while open, and shows the state of the moment it next opens.
    void openTrayMenuSurvivesRebuilds()
    {
        DataFolder data;
        Monitor monitor;
        int exitCode = -1;
        QVERIFY(monitor.Start(&exitCode));
        QTRY_COMPARE(monitor.Mode(), nwatch::kAdministratorMode);
        QPointer<QMenu> menu = monitor.TrayMenuWidget();
        menu->popup(QPoint(20, 20));
        QTRY_VERIFY(menu->isVisible());
        g_dialogOpen = 1;
        monitor.RebuildTrayMenu();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(menu);
        QCOMPARE(monitor.TrayMenuWidget(), menu.data());
        QVERIFY(menu->isVisible());
        QCOMPARE(Describe(menu), AdminMenu(true));
        menu->hide();
        menu->popup(QPoint(20, 20)); // opening again shows the state of now
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(Describe(menu), AdminMenu(false));
        menu->hide();
        g_dialogOpen = 0;
        for (int i = 0; i < 50; ++i) monitor.RebuildTrayMenu();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(Describe(menu), AdminMenu(true));
        // Rebuilding leaves no stale sub-menus behind (the settings one only).
        QCOMPARE(menu->findChildren<QMenu*>(Qt::FindDirectChildrenOnly).size(), qsizetype(1));
    }

    // Cancel keeps the monitor running with its menu usable again; the
    // menu is grey while the question is open.
    void exitCancelKeepsRunning()
    {
        DataFolder data;
        qavtest::WriteFile(data.File("QAVGroupConfig.qdl"), kOnePrinter);
        Monitor monitor;
        int exitCode = -1;
        QVERIFY(monitor.Start(&exitCode));
        QTRY_COMPARE(monitor.Mode(), nwatch::kAdministratorMode);
        answer_ = QMessageBox::Cancel;
        duringQuestion_ = [&] {
            QCOMPARE(monitor.Busy(), 2);
            monitor.RebuildTrayMenu(); // as a right click on the icon would
            QCOMPARE(Describe(monitor.TrayMenuWidget()), AdminMenu(false));
        };
        const int rc = RunUntilQuitOr2s(
            [&] { FindCommand(monitor.TrayMenuWidget(), nwatch::kCmdExitAdmin)->trigger(); });
        QCOMPARE(rc, 42); // still running when the test stopped the loop
        QCOMPARE(Texts(), QStringList{nwatch::T(1018) + ": " + nwatch::T(1019)});
        QCOMPARE(shown_[0].kind, nwatch::MessageKind::kQuestionYesNoCancel);
        QCOMPARE(monitor.Mode(), nwatch::kAdministratorMode);
        QCOMPARE(monitor.Busy(), 0);
        QCOMPARE(Describe(monitor.TrayMenuWidget()), AdminMenu(true));
        QCOMPARE(g_listClosed, 0);
        QCOMPARE(qavtest::ReadFile(data.File("QAVGroupConfig.qdl")), std::string(kOnePrinter));
    }

    // No ends the monitor and leaves the group file as it was, although the
    // list changed.
    void exitNoQuitsWithoutSaving()
    {
        DataFolder data;
        qavtest::WriteFile(data.File("QAVGroupConfig.qdl"), kOnePrinter);
        Monitor monitor;
        int exitCode = -1;
        QVERIFY(monitor.Start(&exitCode));
        QTRY_COMPARE(monitor.Mode(), nwatch::kAdministratorMode);
        ListData r;
        GetItemFromListData(&r, 0);
        std::strcpy(r.name, "Renamed printer");
        SetListData(0, r);
        answer_ = QMessageBox::No;
        const int rc = RunUntilQuitOr2s([&] { monitor.Command(nwatch::kCmdExitAdmin); });
        QCOMPARE(rc, 0);
        QCOMPARE(g_listClosed, 1); // the list window is closed on the way out
        QCOMPARE(qavtest::ReadFile(data.File("QAVGroupConfig.qdl")), std::string(kOnePrinter));
    }

    // Yes saves the device list into the group file, then ends.
    void exitYesSavesTheGroupFile()
    {
        DataFolder data;
        qavtest::WriteFile(data.File("QAVGroupConfig.qdl"), kOnePrinter);
        Monitor monitor;
        int exitCode = -1;
        QVERIFY(monitor.Start(&exitCode));
        QTRY_COMPARE(monitor.Mode(), nwatch::kAdministratorMode);
        ListData r;
        GetItemFromListData(&r, 0);
        std::strcpy(r.name, "Renamed printer");
        SetListData(0, r);
        answer_ = QMessageBox::Yes;
        const int rc = RunUntilQuitOr2s([&] { monitor.Command(nwatch::kCmdExitAdmin); });
        QCOMPARE(rc, 0);
        qavsettings::ProfileDocument saved;
        QVERIFY(saved.Load(data.File("QAVGroupConfig.qdl")));
        QCOMPARE(saved.GetString("Printer.0", "name"), std::string("Renamed printer"));
        QCOMPARE(saved.GetString("Printer.0", "ip"), std::string("127.0.0.9"));
        QCOMPARE(CheckQdlFileFormat(data.File("QAVGroupConfig.qdl")), 1);
    }

    // Yes saves the device list; when the group file cannot be written,
    // the message names it.
    void exitYesNamesAGroupFileThatCannotBeSaved()
    {
        DataFolder data;
        qavtest::WriteFile(data.File("QAVGroupConfig.qdl"), kOnePrinter);
        Monitor monitor;
        int exitCode = -1;
        QVERIFY(monitor.Start(&exitCode));
        QTRY_COMPARE(monitor.Mode(), nwatch::kAdministratorMode);
        const std::string path = data.File("QAVGroupConfig.qdl");
        ::unlink(path.c_str());
        ::mkdir(path.c_str(), 0755); // a folder where the file was: it cannot be written
        answer_ = QMessageBox::Yes;
        const int rc = RunUntilQuitOr2s([&] { monitor.Command(nwatch::kCmdExitAdmin); });
        QCOMPARE(rc, 0);
        QCOMPARE(shown_.size(), size_t{2});
        QCOMPARE(shown_[1].kind, nwatch::MessageKind::kError);
        QCOMPARE(shown_[1].text, nwatch::T(1020).replace("%s", QString::fromStdString(path)));
        ::rmdir(path.c_str());
    }

    // ShowList=1: the list window opens once the start is done, with
    // polling armed and traps received while it is open.
    void showListOpensTheListWithPollingAndTrapsUnderWay()
    {
        DataFolder data;
        data.Set("QAVMgmtConfig.INI", "Startup", "ShowList", "1");
        data.Set("QAVSurveyConfig.INI", "Polling", "Polling", "1");
        data.Set("QAVSurveyConfig.INI", "Polling", "TaskDuration", "60");
        data.Set("QAVSurveyConfig.INI", "Polling", "Trap", "1");
        ScopedEnv port("QAV_TRAP_PORT", std::to_string(FreeUdpPort()));
        bool polling = false, traps = false;
        Monitor monitor;
        g_duringList = [&] {
            polling = monitor.PollingArmed();
            traps = monitor.TrapReceptionOn();
        };
        int exitCode = -1;
        QVERIFY(monitor.Start(&exitCode));
        QTRY_COMPARE(g_listOpened, 1);
        QVERIFY(polling);
        QVERIFY(traps);
    }

    // Another receiver holds the trap port: text 4064 names that port, and
    // is not shown again when the surveillance options change and the
    // port is still held.
    void busyTrapPortIsToldOnceWithItsNumber()
    {
        DataFolder data;
        data.Set("QAVSurveyConfig.INI", "Polling", "Trap", "1");
        HeldPort held(SOCK_DGRAM);
        ScopedEnv port("QAV_TRAP_PORT", std::to_string(held.Port()));
        Monitor monitor;
        int exitCode = -1;
        QVERIFY(monitor.Start(&exitCode));
        QTRY_COMPARE(monitor.Mode(), nwatch::kAdministratorMode);
        monitor.OnSurveillanceOptionsChanged();
        monitor.OnSurveillanceOptionsChanged();
        QCOMPARE(shown_.size(), size_t{1});
        QVERIFY2(shown_[0].text.contains("UDP " + QString::number(held.Port())), qPrintable(shown_[0].text));
        QVERIFY(!shown_[0].text.contains("UDP 162"));
        QVERIFY(!monitor.TrapReceptionOn());
    }

    // The system setting tool is not installed beside the monitor: the
    // failure says which program was asked for.
    void failedToolStartNamesTheProgram()
    {
        DataFolder data;
        qavtest::TempDir programs; // an installation without the setting tool
        Monitor monitor;
        monitor.SetProgramDir(programs.Path());
        int exitCode = -1;
        QVERIFY(monitor.Start(&exitCode));
        QTRY_COMPARE(monitor.Mode(), nwatch::kAdministratorMode);
        monitor.Command(nwatch::kCmdSystemTool);
        QCOMPARE(shown_.size(), size_t{1});
        QCOMPARE(shown_[0].kind, nwatch::MessageKind::kError);
        QVERIFY2(shown_[0].text.startsWith(nwatch::T(3311)), qPrintable(shown_[0].text));
        QVERIFY2(shown_[0].text.contains("no program nconfig in "), qPrintable(shown_[0].text));
    }

    // Without a display nobody could close the list window: it is not
    // opened, and polling is not held up by it.
    void withoutWindowsTheListIsNotOpened()
    {
        DataFolder data;
        Monitor monitor;
        monitor.SetWindowsShown(false);
        int exitCode = -1;
        QVERIFY(monitor.Start(&exitCode));
        QTRY_COMPARE(monitor.Mode(), nwatch::kAdministratorMode);
        monitor.Command(nwatch::kCmdListAdmin);
        QCOMPARE(g_listOpened, 0);
        QVERIFY(!monitor.ListShown());
    }

    // The mail of a first paper jam is still under way (its server says
    // nothing) when a second one comes: the second still opens the list.
    void listChannelIsNotLostWhileAnEarlierMailIsUnderWay()
    {
        if (!qavtest::HaveProgram("snmptrap")) QSKIP("net-snmp's snmptrap is not installed");
        DataFolder data;
        const std::string printer = qavtest::LoopbackAddress(9);
        const int trapPort = FreeUdpPort();
        HeldPort server(SOCK_STREAM, qavtest::LoopbackAddress(10)); // a mail server that never answers
        qavtest::WriteFile(data.File("QAVGroupConfig.qdl"),
                           "[Groups]\ncount=2\n[Group.0]\nname=All printers\nprinters=1\nprtindex.0=" + printer +
                               "\n[Group.1]\nname=QAV printers\nprinters=0\n[Printers]\ncount=1\n[Printer.0]\nip=" +
                               printer + "\nname=Dock printer\n");
        data.Set("QAVSurveyConfig.INI", "Polling", "Trap", "1");
        data.Set("QAVSurveyConfig.INI", "Notification", "List", "1");
        data.Set("QAVSurveyConfig.INI", "Notification", "Mail", "1");
        data.Set("QAVSurveyConfig.INI", "Mail", "SourceServer", qavtest::LoopbackAddress(10));
        data.Set("QAVSurveyConfig.INI", "Mail", "SourceAdd", "monitor@example.test");
        data.Set("QAVSurveyConfig.INI", "User", "Sendmail", "1");
        data.Set("QAVSurveyConfig.INI", "User", "Address", "user@example.test");
        ScopedEnv port("QAV_TRAP_PORT", std::to_string(trapPort));
        ScopedEnv smtp("QAV_SMTP_PORT", std::to_string(server.Port()));
        Monitor monitor;
        QSignalSpy handled(&monitor, &Monitor::trapHandled);
        int exitCode = -1;
        QVERIFY(monitor.Start(&exitCode));
        QTRY_VERIFY(monitor.TrapReceptionOn());
        SetBCPFlagListData(0, 1); // known as the maker's printer: no one is asked
        auto jam = [&](int specific) {
            qavtest::RunCommand("snmptrap -m '' -v 1 -c public --clientaddr=" + printer + " 127.0.0.1:" +
                                std::to_string(trapPort) + " 1.3.6.1.4.1.32473 " + printer + " 6 " +
                                std::to_string(specific) + " ''");
        };
        jam(11);
        QTRY_COMPARE(handled.size(), 1);
        QTRY_COMPARE(g_listOpened, 1);
        QCOMPARE(monitor.Busy(), 1); // the first mail is under way
        jam(12);
        QTRY_COMPARE(handled.size(), 2);
        QTRY_COMPARE(g_listOpened, 2);
    }

    // The tray's state and tooltip follow the device list: not known while
    // the printer is only what the group file said, then its status.
    void trayStateFollowsTheDeviceList()
    {
        DataFolder data;
        qavtest::WriteFile(data.File("QAVGroupConfig.qdl"), kOnePrinter);
        Monitor monitor;
        QSignalSpy changed(&monitor, &Monitor::trayStateChanged);
        QSignalSpy started(&monitor, &Monitor::monitoringStarted);
        int exitCode = -1;
        QVERIFY(monitor.Start(&exitCode));
        QVERIFY(started.wait(2000));
        QCOMPARE(monitor.TrayState(), nwatch::Health::kNotKnown);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(monitor.TrayToolTip(), nwatch::T(1018) + "\n" + nwatch::T(1031) + "\nPrinters: 1\nNot known yet: 1");

        ListData r;
        GetItemFromListData(&r, 0);
        r.isBCP = 1, r.kind = 1, r.errorCode = 11; // paper jam
        QCOMPARE(SetListData(0, r), 1);
        monitor.RefreshTrayState();
        QCOMPARE(monitor.TrayState(), nwatch::Health::kError);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(changed.back().at(0).toInt(), static_cast<int>(nwatch::Health::kError));
        QCOMPARE(monitor.TrayToolTip(), nwatch::T(1018) + "\n" + nwatch::T(1029) + "\nPrinters: 1\nErrors: 1");
        monitor.RefreshTrayState();
        QCOMPARE(changed.size(), 2); // no change, no signal
        r.errorCode = 0;
        QCOMPARE(SetListData(0, r), 1);
        monitor.RefreshTrayState();
        QCOMPARE(monitor.TrayState(), nwatch::Health::kWell);
        QCOMPARE(changed.size(), 3);
    }

    // Each state has its own icon, in the sizes trays ask for.
    void trayIconsOfTheStates()
    {
        QList<QImage> seen;
        for (int h = 0; h < nwatch::kHealthCount; ++h) {
            const QIcon icon = nwatch::TrayIcon(static_cast<nwatch::Health>(h));
            const QList<QSize> sizes = icon.availableSizes();
            for (int size : {16, 22, 32, 48}) QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(h)));
            const QImage image = icon.pixmap(22, 22).toImage();
            QVERIFY(!seen.contains(image));
            seen << image;
        }
    }
};

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    MonitorWindows tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "test_monitor_ui.moc"

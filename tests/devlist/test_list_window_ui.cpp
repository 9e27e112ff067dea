// The list window and its dialogs on the offscreen platform: texts and
// enabled states, columns, sorting and selection, the program starts, the
// dialogs' checks, placement kept between runs, and LDDisplayList.
//
// With QAV_SCREENSHOT_DIR set, the Screenshots case also writes
// list-window.png and group-dialog.png there (run it under xvfb-run for the
// real window system's look).
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <map>

#include "DeviceModel.h"
#include "ListDialogs.h"
#include "ListEditing.h"
#include "ListView.h"
#include "ListWindow.h"
#include "TestPeers.h"
#include "UiCommon.h"
#include "nlist/Nlist.h"
#include "qavplatform/Address.h"
#include "qavres/Resources.h"
#include "qavsettings/UserValues.h"

using namespace nlist;
using namespace nlist::ui;

namespace {

ListData Printer(uint32_t address, const char* name, int isBCP, int errorCode, const char* model,
                 const char* location, const char* serial)
{
    ListData r;
    r.ipAddress = address;
    r.kind = isBCP ? 1 : 0;
    r.isBCP = isBCP;
    r.printerStatus = 3;
    r.errorCode = errorCode;
    CopyText(r.name, name);
    CopyText(r.model, model);
    CopyText(r.location, location);
    CopyText(r.serial, serial);
    CopyText(r.port, qavplatform::AddressText(address).c_str());
    CopyText(r.renewalTime, "8-December-2026 06:30:00");
    r.dhcpEnable = isBCP ? (address & 1) : -1;
    if (r.dhcpEnable == 1) CopyText(r.dhcpHostName, (std::string(name) + "-host").c_str());
    return r;
}

void Group(const char* name)
{
    GroupData g;
    CopyText(g.name, name);
    AddToGroupData(std::move(g));
}

class Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("QAV_DATA_DIR", data_.Path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", config_.Path().c_str(), 1);
        // The lock files of this case alone: the cases run side by side, and
        // "List_Display_Event" of one window must not be seen by another.
        ::setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
        qavtest::WriteFile(data_.File("QAVSurveyConfig.INI"), "[Polling]\nPolling=0\nListDuration=30\n");
        qavtest::WriteFile(data_.File("QAVDisplayConfig.INI"),
                           "[Display]\nStatus=1\nPort=1\nModel=1\nSerial=0\nLocation=1\nHost Name=1\n"
                           "[Order]\nStatus=2\nPort=1\nModel=0\nLocation=3\nHost Name=3\n[Width]\nName=150\nPort=90\n");
        ClearListData();
        ClearGroupData();
        Group("All printers");
        Group("QAV printers");
        const char* names[] = {"Line 3", "dock", "Line 1", "Office"};
        for (int i = 0; i < 4; ++i) {
            const ListData r = Printer(0x0A000000u + (i == 3 ? 100 : i + 1), names[i], i != 3, i == 1 ? 13 : 0,
                                       "QAV M-UG2", "Hall A", "S1");
            AddToListData(r);
            AddPrinterToGroup(0, r.ipAddress);
            if (r.isBCP == 1) AddPrinterToGroup(1, r.ipAddress);
        }
        messages_.clear();
        details_.clear();
        SetMessageSink([this](int caption, int text, const QString& detail) {
            messages_.push_back({caption, text});
            details_.push_back(detail.toStdString());
        });
        // The suite's programs, installed beside the window's program.
        for (const char* program : {"nstat", "nconfig", "nload"}) StandIn(programs_.File(program), "");
    }
    void TearDown() override { SetMessageSink({}); }

    std::unique_ptr<CNLISTListDisplayDlg> Open(int accessMode = 1)
    {
        auto w = std::make_unique<CNLISTListDisplayDlg>(accessMode, &busy_);
        w->SetProgramFolder(programs_.Path());
        w->SetStarter([this](const std::string& p, const std::vector<std::string>& a, std::string* error) {
            started_.push_back({p, a});
            if (refuseStarts_) {
                *error = "no such program";
                return -2;
            }
            return 0;
        });
        w->show();
        QApplication::processEvents();
        return w;
    }
    static void Select(CNLISTListDisplayDlg& w, std::initializer_list<int> rows)
    {
        auto* sel = w.PrinterList()->selectionModel();
        sel->clearSelection();
        for (int r : rows) sel->select(w.Printers()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    std::vector<std::string> Names(CNLISTListDisplayDlg& w)
    {
        std::vector<std::string> n;
        for (const ListData& r : w.Printers()->Rows()) n.push_back(r.name);
        return n;
    }

    // An executable shell script.
    static void StandIn(const std::string& path, const std::string& body)
    {
        qavtest::WriteFile(path, "#!/bin/sh\n" + body);
        ::chmod(path.c_str(), 0755);
    }

    qavtest::TempDir data_, config_, runtime_, programs_;
    std::atomic<bool> busy_{false};
    std::vector<std::pair<int, int>> messages_;
    std::vector<std::string> details_;
    std::vector<std::pair<std::string, std::vector<std::string>>> started_;
    bool refuseStarts_ = false;
};

TEST_F(Window, TextsMenusAndEnabledStates)
{
    auto w = Open(0);
    EXPECT_EQ(w->windowTitle(), T(2000));
    const auto menus = w->menuBar()->actions();
    ASSERT_EQ(menus.size(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(menus[i]->text(), T(2010 + 10 * i));
    EXPECT_EQ(w->Action(Command::kSortByName)->text(), T(2035));
    EXPECT_EQ(w->GroupList()->headerItem()->text(0), T(2120));
    ASSERT_EQ(w->GroupList()->topLevelItemCount(), 2);
    EXPECT_EQ(w->GroupList()->topLevelItem(1)->text(0), "QAV printers");

    for (Command c : {Command::kManagement, Command::kSearchSettings, Command::kSurveillance, Command::kLog})
        EXPECT_FALSE(w->Action(c)->isEnabled()) << "restricted mode";
    EXPECT_FALSE(w->Action(Command::kDeleteGroup)->isEnabled()) << "group 0 is fixed";
    EXPECT_TRUE(w->Action(Command::kEditGroup)->isEnabled());
    EXPECT_TRUE(w->Action(Command::kStatusMonitor)->isEnabled()) << "the first printer starts selected";
    w->PrinterList()->selectionModel()->clearSelection();
    for (Command c : {Command::kDeletePrinter, Command::kStatusMonitor, Command::kSystemTool, Command::kDownloadTool,
                      Command::kWebPage})
        EXPECT_FALSE(w->Action(c)->isEnabled());

    // Polling off: no refresh cycle, and the status bar says so.
    EXPECT_EQ(w->RefreshCycle(), 0);
    EXPECT_EQ(w->StatusPart(1)->text(), T(2072).replace("%d", "0"));
    EXPECT_FALSE(w->ToolBar()->isVisible()) << "bars stay hidden until they were shown once";

    auto full = Open(1);
    EXPECT_TRUE(full->Action(Command::kLog)->isEnabled());
    // The settings library is found beside the program and its log dialog
    // opens; closing it leaves the window as it was.
    bool dialogSeen = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            dialogSeen = true;
            modal->close();
        }
    });
    closer.start(50);
    full->Run(Command::kLog);
    closer.stop();
    EXPECT_TRUE(dialogSeen);
    EXPECT_TRUE(messages_.empty());
    // The About box names the window and the product's version.
    QString about;
    QTimer reader;
    QObject::connect(&reader, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            about = box->text();
            box->close();
        }
    });
    reader.start(50);
    full->Run(Command::kAbout);
    reader.stop();
    EXPECT_TRUE(about.startsWith(T(2000))) << about.toStdString();
    EXPECT_TRUE(about.endsWith(" " QAV_VERSION)) << about.toStdString();
    // The search over one loopback address where nothing answers: its window
    // runs the one-second discovery, closes by itself, and the list stays.
    const std::string silent = qavtest::LoopbackAddress(250);
    qavtest::WriteFile(data_.File("QAVSearchConfig.qso"), "[Criteria]\nBroadcast=0\nNonVorantaPrinters=1\n"
                                                         "[Ranges]\nCount=1\n[Ranges.1]\nStartIP=" + silent +
                                                             "\nEndIP=" + silent + "\n[Timeout]\nTimeoutSeconds=1\n");
    full->Run(Command::kSearch);
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(GetListDataSize(), 4);
}

TEST_F(Window, ColumnsFromTheDisplayFile)
{
    auto w = Open();
    std::vector<int> columns;
    for (const ShownColumn& c : w->Printers()->Columns()) columns.push_back(c.column);
    // Port (1), Status (2), Location and Host Name (3, table order), Model (0: last); Serial hidden.
    EXPECT_EQ(columns, (std::vector<int>{kColName, kColPort, kColStatus, kColLocation, kColHostName, kColModel}));
    EXPECT_EQ(w->Printers()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), T(2123));
    EXPECT_EQ(w->PrinterList()->header()->sectionSize(0), 150);
    EXPECT_EQ(w->PrinterList()->header()->sectionSize(1), 90);
    // The status column shows the status text and its icon.
    const QModelIndex status = w->Printers()->index(1, 2);
    EXPECT_EQ(status.data().toString(), QString::fromStdString(Language().Get(3009)));
    EXPECT_FALSE(status.data(Qt::DecorationRole).value<QIcon>().isNull());
}

// Columns without a stored width fit their contents (icon and text, and the
// heading) when the window opens; once closed, their widths are stored and
// win from then on.
TEST_F(Window, ColumnsFitTheirContentsUntilWidthsAreStored)
{
    ListData longer;
    GetItemFromListData(&longer, 0);
    CopyText(longer.location, "Hall A, second floor, by the loading dock, behind the pallet racks of bay 14");
    ASSERT_EQ(SetListData(0, longer), 1);
    auto w = Open();
    QHeaderView* header = w->PrinterList()->header();
    const QFontMetrics fm(w->PrinterList()->font());
    EXPECT_EQ(header->sectionSize(0), 150) << "stored";
    EXPECT_EQ(header->sectionSize(1), 90) << "stored";
    std::map<int, int> fitted;
    for (int section : {2, 3, 4, 5}) { // Status, Location, Host Name, Model
        int need = QFontMetrics(header->font())
                       .horizontalAdvance(w->Printers()->headerData(section, Qt::Horizontal, Qt::DisplayRole).toString());
        for (int row = 0; row < w->Printers()->rowCount(); ++row) {
            const QModelIndex cell = w->Printers()->index(row, section);
            int width = fm.horizontalAdvance(cell.data().toString());
            if (!cell.data(Qt::DecorationRole).isNull()) width += 16;
            need = std::max(need, width);
        }
        const int size = header->sectionSize(section);
        EXPECT_GE(size, std::min(need, 320)) << "section " << section << " cuts its contents";
        EXPECT_LE(size, std::min(need + 40, 320)) << "section " << section << " is wider than its contents";
        fitted[section] = size;
    }
    EXPECT_EQ(fitted[3], 320) << "a very long text is not followed all the way";
    w->close();

    // The widths are stored now and win, whatever the contents became.
    CopyText(longer.location, "Hall B");
    ASSERT_EQ(SetListData(0, longer), 1);
    auto again = Open();
    for (const auto& [section, size] : fitted)
        EXPECT_EQ(again->PrinterList()->header()->sectionSize(section), size) << section;
}

// The marks explain themselves: in the cell's tooltip and the status bar's
// tip, and all of them in Help > Status Marks.
TEST_F(Window, MarksAreExplained)
{
    ListData head;
    GetItemFromListData(&head, 0); // "Line 3", a maker's printer with DHCP on
    head.headStatus = 1;
    ASSERT_EQ(SetListData(0, head), 1);
    auto w = Open();
    // Columns: Name, Port, Status, Location, Host Name, Model; rows in list order.
    auto tip = [&](int row, int section, int role = Qt::ToolTipRole) {
        return w->Printers()->index(row, section).data(role).toString();
    };
    EXPECT_TRUE(w->Printers()->index(0, 2).data().toString().endsWith(" [H]"));
    EXPECT_EQ(tip(0, 2), T(2055));
    EXPECT_EQ(tip(0, 2, Qt::StatusTipRole), T(2055));
    EXPECT_EQ(tip(1, 2), "") << "no mark, nothing to explain";
    EXPECT_EQ(tip(0, 4), T(2056));
    EXPECT_EQ(tip(1, 4), T(2057)) << "\"dock\": DHCP off";
    EXPECT_EQ(tip(3, 4), T(2058)) << "not one of the maker's printers";
    EXPECT_EQ(tip(0, 0), "");

    // The pointer resting on a marked cell puts its explanation into the
    // status bar; on a cell without a mark the bar is cleared again.
    QTreeView* view = w->PrinterList();
    auto hover = [&](int row, int section) {
        const QRect cell = view->visualRect(w->Printers()->index(row, section));
        QTest::mouseMove(view->viewport(), cell.center());
        QApplication::processEvents();
        return w->statusBar()->currentMessage();
    };
    EXPECT_EQ(hover(0, 2), T(2055));
    EXPECT_EQ(hover(1, 4), T(2057));
    EXPECT_EQ(hover(0, 0), "");

    ASSERT_TRUE(w->Action(Command::kStatusMarks)->isEnabled());
    w->Action(Command::kStatusMarks)->trigger();
    ASSERT_NE(w->MarksLegend(), nullptr);
    EXPECT_TRUE(w->MarksLegend()->isVisible());
    QStringList texts;
    int pictures = 0;
    for (QLabel* label : w->MarksLegend()->findChildren<QLabel*>()) {
        texts << label->text();
        pictures += !label->pixmap().isNull();
    }
    for (int text : {2054, 2055, 2056, 2057, 2058}) EXPECT_TRUE(texts.contains(T(text))) << text;
    EXPECT_TRUE(texts.contains("[H]"));
    EXPECT_EQ(pictures, 3) << "the three host-name icons";
}

TEST_F(Window, LoadedPrintersShowTheirStateIsNotKnownYet)
{
    ASSERT_EQ(SaveListDataToFile(data_.File("g.qdl")), 4);
    ASSERT_EQ(PopulateVectors(data_.File("g.qdl")), 1);
    auto w = Open();
    ASSERT_EQ(w->Printers()->rowCount(), 4);
    for (int row = 0; row < 4; ++row) {
        const QModelIndex status = w->Printers()->index(row, 2);
        EXPECT_EQ(status.data().toString(), T(kTextNotKnownYet)) << "row " << row << " is not \"" << T(3000).toStdString() << "\"";
    }
    // The first answer (here: a record stored by a reader) shows its state.
    ListData r;
    GetItemFromListData(&r, 0);
    r.isBCP = 1, r.errorCode = 0;
    ASSERT_EQ(SetListData(0, r), 1);
    w->Redraw();
    int online = 0;
    for (int row = 0; row < 4; ++row) online += w->Printers()->index(row, 2).data().toString() == T(3000);
    EXPECT_EQ(online, 1);
}

TEST_F(Window, ColumnChooserWritesTheDisplayFile)
{
    CNLISTColumnsDlg d(data_.File("QAVDisplayConfig.INI"), nullptr);
    ASSERT_EQ(d.columns->count(), kColumnTotal - 1) << "every column but Name";
    EXPECT_EQ(d.columns->item(0)->data(Qt::UserRole).toInt(), kColPort) << "shown columns first, in their order";
    EXPECT_EQ(d.columns->item(0)->checkState(), Qt::Checked);
    // Hide Port, show Serial (listed after the shown ones).
    d.columns->item(0)->setCheckState(Qt::Unchecked);
    for (int i = 0; i < d.columns->count(); ++i)
        if (d.columns->item(i)->data(Qt::UserRole).toInt() == kColSerial) d.columns->item(i)->setCheckState(Qt::Checked);
    d.accept();
    auto w = Open();
    std::vector<int> columns;
    for (const ShownColumn& c : w->Printers()->Columns()) columns.push_back(c.column);
    EXPECT_EQ(columns, (std::vector<int>{kColName, kColStatus, kColLocation, kColHostName, kColModel, kColSerial}));
}

TEST_F(Window, SortingAndSelectionLiveInTheGroup)
{
    auto w = Open();
    Select(*w, {1}); // "dock"
    w->SortBySection(0);
    EXPECT_EQ(Names(*w), (std::vector<std::string>{"dock", "Line 1", "Line 3", "Office"}));
    w->SortBySection(0);
    EXPECT_EQ(Names(*w), (std::vector<std::string>{"Office", "Line 3", "Line 1", "dock"}));
    EXPECT_EQ(GetPrinterFromGroupData(0, 0), 0x0A000064u) << "the order is the group's";
    ASSERT_EQ(w->SelectedPrinters(), std::vector<uint32_t>{0x0A000002u}) << "the selection follows its printer";
    EXPECT_EQ(GetMemberMark(0, 3), 1);

    // Port sorts by the padded address: 10.0.0.100 after 10.0.0.3.
    w->SortBySection(1);
    EXPECT_EQ(Names(*w), (std::vector<std::string>{"Line 3", "dock", "Line 1", "Office"}));
    w->Run(Command::kSortByName);
    EXPECT_EQ(Names(*w).front(), "dock");

    // A redraw keeps the selection; another group and back restores it from the marks.
    Select(*w, {1, 2});
    w->Redraw();
    EXPECT_EQ(w->SelectedPrinters().size(), 2u);
    w->GroupList()->setCurrentItem(w->GroupList()->topLevelItem(1));
    EXPECT_EQ(w->Printers()->rowCount(), 3);
    w->GroupList()->setCurrentItem(w->GroupList()->topLevelItem(0));
    EXPECT_EQ(w->SelectedPrinters().size(), 2u);
}

TEST_F(Window, ProgramStartsAndTheirFailures)
{
    auto w = Open(1);
    Select(*w, {0});
    w->Run(Command::kSystemTool);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0].first, "NCONFIG.EXE");
    EXPECT_EQ(started_[0].second, (std::vector<std::string>{"3", "SNMP", "10.0.0.1"}));

    Select(*w, {0, 1, 3});
    w->Run(Command::kSystemTool);
    EXPECT_EQ(started_[1].second, (std::vector<std::string>{"4", data_.File("temp.txt")}));
    EXPECT_EQ(qavtest::ReadFile(data_.File("temp.txt")), "SNMP 10.0.0.1\nSNMP 10.0.0.2\nSNMP 10.0.0.100\n");

    w->Run(Command::kStatusMonitor);
    ASSERT_EQ(started_.size(), 5u) << "one status monitor per printer";
    EXPECT_EQ(started_[2].first, "NSTAT.exe");
    EXPECT_EQ(started_[2].second, (std::vector<std::string>{"10.0.0.1", "1"}));

    w->Run(Command::kDownloadTool);
    EXPECT_EQ(started_[5].first, "NLOAD.EXE");
    EXPECT_EQ(started_[5].second, (std::vector<std::string>{data_.File("temp.txt")}));

    refuseStarts_ = true;
    w->Run(Command::kSystemTool);
    w->Run(Command::kDownloadTool);
    w->Run(Command::kStatusMonitor);
    ASSERT_EQ(messages_.size(), 3u);
    EXPECT_EQ(messages_[0], std::make_pair(2000, 3311));
    EXPECT_EQ(messages_[1], std::make_pair(2000, 3312));
    EXPECT_EQ(messages_[2], std::make_pair(2000, 3314)) << "the status monitor has a text of its own";
    EXPECT_EQ(details_[2], "no such program");
}

TEST_F(Window, CommandsOfProgramsNotInstalledAreGreyed)
{
    auto w = Open(1);
    Select(*w, {0});
    for (Command c : {Command::kStatusMonitor, Command::kSystemTool, Command::kDownloadTool})
        EXPECT_TRUE(w->Action(c)->isEnabled());
    qavtest::TempDir empty;
    StandIn(empty.File("nload"), "");
    w->SetProgramFolder(empty.Path());
    EXPECT_FALSE(w->Action(Command::kStatusMonitor)->isEnabled()) << "no nstat beside the program";
    EXPECT_FALSE(w->Action(Command::kSystemTool)->isEnabled()) << "no nconfig";
    EXPECT_TRUE(w->Action(Command::kDownloadTool)->isEnabled());
    EXPECT_TRUE(w->Action(Command::kDeletePrinter)->isEnabled());
    // Not executable is not installed either.
    ::chmod(empty.File("nload").c_str(), 0644);
    w->SetProgramFolder(empty.Path());
    EXPECT_FALSE(w->Action(Command::kDownloadTool)->isEnabled());
}

// The suite's programs come from the program folder, never from PATH:
// Debian's own nstat (iproute2) sits on PATH under the status monitor's name.
TEST_F(Window, StatusMonitorStartsFromTheProgramFolderOnly)
{
    qavtest::TempDir path;
    const std::string ours = data_.File("ours"), theirs = data_.File("theirs");
    StandIn(programs_.File("nstat"), "printf '%s\\n' \"$@\" > " + ours + ".part && mv " + ours + ".part " + ours + "\n");
    StandIn(path.File("nstat"), "echo started > " + theirs + "\n");
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (path.Path() + ":" + oldPath).c_str(), 1);
    auto w = Open(1);
    w->SetStarter({}); // the real start
    Select(*w, {0});
    w->Run(Command::kStatusMonitor);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (qavtest::ReadFile(ours).empty() && std::chrono::steady_clock::now() < until)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(qavtest::ReadFile(ours), "10.0.0.1\n1\n") << "our nstat, with the address and the access mode";
    EXPECT_TRUE(qavtest::ReadFile(theirs).empty()) << "PATH's nstat was started";
    EXPECT_TRUE(messages_.empty());

    // Without our nstat nothing is started, and the box names the program.
    std::remove(programs_.File("nstat").c_str());
    w->Run(Command::kStatusMonitor);
    ::setenv("PATH", oldPath.c_str(), 1);
    ::usleep(300 * 1000);
    EXPECT_TRUE(qavtest::ReadFile(theirs).empty()) << "PATH's nstat was started";
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], std::make_pair(2000, 3314));
    EXPECT_EQ(details_[0], "no program nstat in " + programs_.Path());
}

TEST_F(Window, GroupCommandsAndTheirLimits)
{
    auto w = Open();
    for (int i = 2; i < 10; ++i) Group(("G" + std::to_string(i)).c_str());
    w->Run(Command::kNewGroup);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], std::make_pair(2000, 2201));

    w->Redraw();
    ASSERT_EQ(w->GroupList()->topLevelItemCount(), 10);
    w->GroupList()->setCurrentItem(w->GroupList()->topLevelItem(4));
    EXPECT_TRUE(w->Action(Command::kDeleteGroup)->isEnabled());
    w->Run(Command::kDeleteGroup);
    EXPECT_EQ(GetGroupDataSize(), 9);
    EXPECT_EQ(w->SelectedGroup(), 0);

    Select(*w, {1});
    w->Run(Command::kDeletePrinter);
    EXPECT_EQ(GetListDataSize(), 3);
    EXPECT_EQ(FindMemberPosition(0x0A000002u, 1), -1);
    EXPECT_EQ(w->Printers()->rowCount(), 3);
}

TEST_F(Window, GroupFileCommands)
{
    auto w = Open();
    std::vector<bool> asked; // true: a save dialog
    QString answer;
    w->SetFileChooser([&](bool save) {
        asked.push_back(save);
        return answer;
    });

    // Save without a current file asks for a name first; cancelling writes nothing.
    w->Run(Command::kSave);
    ASSERT_EQ(asked, std::vector<bool>{true});
    EXPECT_TRUE(w->CurrentFile().empty());
    answer = QString::fromStdString(data_.File("fleet.qdl"));
    w->Run(Command::kSave);
    EXPECT_EQ(w->CurrentFile(), data_.File("fleet.qdl"));
    ASSERT_EQ(CheckQdlFileFormat(data_.File("fleet.qdl")), 1);
    w->Run(Command::kSave); // the current file: no dialog
    EXPECT_EQ(asked.size(), 2u);
    answer = QString::fromStdString(data_.File("no/such/folder/x.qdl"));
    w->Run(Command::kSaveAs);
    ASSERT_EQ(messages_.size(), 1u) << "a failed save is reported";
    EXPECT_EQ(messages_[0], std::make_pair(2000, 2210));
    EXPECT_NE(details_[0].find(data_.File("no/such/folder")), std::string::npos) << details_[0];
    EXPECT_EQ(w->CurrentFile(), data_.File("fleet.qdl"));
    messages_.clear();
    details_.clear();

    // Another window starts without a current file: its Save asks again.
    {
        auto other = Open();
        EXPECT_TRUE(other->CurrentFile().empty());
        std::vector<bool> otherAsked;
        other->SetFileChooser([&](bool save) {
            otherAsked.push_back(save);
            return QString();
        });
        other->Run(Command::kSave);
        EXPECT_EQ(otherAsked, std::vector<bool>{true}) << "the first window's file is not taken over";
    }

    // A rejected file: text 2200, the list stays as it was.
    qavtest::WriteFile(data_.File("bad.qdl"), "[Groups]\ncount=11\n");
    answer = QString::fromStdString(data_.File("bad.qdl"));
    w->Run(Command::kOpen);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], std::make_pair(2000, 2200));
    EXPECT_NE(details_[0].find("bad.qdl"), std::string::npos) << "the box names the file: " << details_[0];
    EXPECT_EQ(GetListDataSize(), 4);
    EXPECT_EQ(w->CurrentFile(), data_.File("fleet.qdl"));

    // A good file replaces the list and both lists show it.
    ListData extra = Printer(0x0A0000C8u, "Extra", 1, 0, "", "", "");
    AddToListData(extra);
    AddPrinterToGroup(0, extra.ipAddress);
    w->Redraw();
    EXPECT_EQ(w->Printers()->rowCount(), 5);
    answer = QString::fromStdString(data_.File("fleet.qdl"));
    w->Run(Command::kOpen);
    EXPECT_EQ(GetListDataSize(), 4);
    EXPECT_EQ(w->Printers()->rowCount(), 4);
    EXPECT_EQ(w->GroupList()->topLevelItemCount(), 2);
    EXPECT_EQ(w->SelectedGroup(), 0);
}

TEST_F(Window, GroupDialogChecks)
{
    {
        CNLISTCreateGroup d(-1, nullptr);
        d.name->setText("all PRINTERS");
        d.accept();
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_EQ(messages_[0], std::make_pair(2140, 2150));
        EXPECT_EQ(d.result(), QDialog::Rejected) << "the dialog stays open";
        d.name->setText("  ");
        d.accept();
        EXPECT_EQ(messages_[1].second, 2149);
        EXPECT_EQ(GetGroupDataSize(), 2);

        d.name->setText("Hall A");
        d.useSerial->setChecked(true);
        d.serialFrom->setText("S9");
        d.serialTo->setText("S0");
        d.useModel->setChecked(true); // empty text: no criterion
        d.accept();
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_EQ(d.StoredIndex(), 2);
    }
    CNLISTCreateGroup edit(2, nullptr);
    EXPECT_EQ(edit.name->text(), "Hall A");
    EXPECT_EQ(edit.serialFrom->text(), "S0") << "from and to were swapped";
    EXPECT_EQ(edit.serialTo->text(), "S9");
    EXPECT_FALSE(edit.useModel->isChecked());
    EXPECT_TRUE(edit.serialFrom->isEnabled());
    EXPECT_FALSE(edit.model->isEnabled());
    edit.name->setText("HALL A"); // its own name in other letters
    edit.accept();
    EXPECT_EQ(edit.result(), QDialog::Accepted);
    EXPECT_EQ(GetPrinterCountfromGroupData(2), 4);

    CNLISTFilterDlg list(kValueModel, "A,B", nullptr);
    EXPECT_EQ(list.items->count(), 2);
    list.value->setText("B");
    list.add->click();
    EXPECT_EQ(list.items->count(), 2) << "already listed";
    list.value->setText("C");
    list.add->click();
    EXPECT_EQ(list.List(), "A,B,C");
    CNLISTCurrentList current(kValueModel, nullptr);
    ASSERT_EQ(current.values->count(), 1);
    EXPECT_EQ(current.Chosen(), "QAV M-UG2");
}

TEST_F(Window, AddPrinterDialogRefusals)
{
    CNLISTAddPrinter d(0, nullptr);
    // An incomplete address is no address (an empty field is not 0).
    const std::string incomplete = "127." + std::to_string((getpid() >> 8) & 0xFF) + "..9";
    for (const std::string& text : {std::string("0.0.0.0"), std::string("255.255.255.255"), std::string(""), incomplete}) {
        d.Address()->SetText(QString::fromStdString(text));
        d.accept();
        EXPECT_EQ(messages_.back(), std::make_pair(2170, 2173)) << text;
        EXPECT_TRUE(d.OkButton()->isEnabled()) << "the buttons come back after the box";
    }
    d.Address()->SetText("10.0.0.2");
    d.accept();
    EXPECT_EQ(messages_.back(), std::make_pair(2170, 2172));
    EXPECT_EQ(messages_.size(), 5u);
    EXPECT_EQ(GetListDataSize(), 4);
    EXPECT_EQ(d.result(), QDialog::Rejected) << "still open";
}

// Types into whichever field has the focus, as a person would.
void Type(const QString& keys)
{
    for (QChar c : keys) QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}

TEST_F(Window, AddressFieldTakesTypedAndPastedAddresses)
{
    CNLISTAddPrinter d(0, nullptr);
    d.show();
    QApplication::setActiveWindow(&d);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    AddressEdit* a = d.Address();
    auto fields = [a] { return a->Fields(); };
    using F = std::array<std::string, 4>;

    // "." moves on; a field of three digits moves on by itself, and the "."
    // typed after it is not taken as an empty field.
    a->Field(0)->setFocus();
    Type("127.0.0.99");
    EXPECT_EQ(fields(), (F{"127", "0", "0", "99"}));
    a->SetText("");
    a->Field(0)->setFocus();
    Type("10.1.20.3");
    EXPECT_EQ(fields(), (F{"10", "1", "20", "3"}));
    a->SetText("");
    a->Field(0)->setFocus();
    Type("192168110");
    EXPECT_EQ(fields(), (F{"192", "168", "110", ""}));
    // No field holds more than 255.
    a->SetText("");
    a->Field(0)->setFocus();
    Type("300");
    EXPECT_EQ(fields()[0], "255");

    // A dotted address pasted into the first field fills all four.
    a->SetText("");
    QApplication::clipboard()->setText("192.168.10.5");
    a->Field(0)->setFocus();
    a->Field(0)->paste();
    EXPECT_EQ(fields(), (F{"192", "168", "10", "5"}));
    QApplication::clipboard()->setText(" 10.0.0.7 ");
    a->Field(0)->selectAll();
    a->Field(0)->paste();
    EXPECT_EQ(fields(), (F{"10", "0", "0", "7"}));
}

TEST_F(Window, PlacementAndBarsKeptBetweenRuns)
{
    {
        auto w = Open();
        EXPECT_EQ(w->geometry().topLeft(), QPoint(8, 28));
        w->Action(Command::kToolBar)->trigger();
        w->Action(Command::kStatusBar)->trigger();
        EXPECT_TRUE(w->ToolBar()->isVisible());
        w->setGeometry(40, 50, 700, 450);
        w->PrinterList()->header()->resizeSection(1, 123);
        w->close();
    }
    uint32_t tool = 0;
    ASSERT_TRUE(qavsettings::ReadUserNumber(qavsettings::kToolBarValue, tool));
    EXPECT_EQ(tool, 1u);
    EXPECT_NE(qavtest::ReadFile(data_.File("QAVDisplayConfig.INI")).find("Port=123"), std::string::npos);
    auto again = Open();
    EXPECT_EQ(again->geometry(), QRect(40, 50, 700, 450));
    EXPECT_TRUE(again->ToolBar()->isVisible());
    EXPECT_TRUE(again->Action(Command::kStatusBar)->isChecked());
    EXPECT_FALSE(again->Action(Command::kTopmost)->isChecked());
    EXPECT_EQ(again->PrinterList()->header()->sectionSize(1), 123);
}

TEST_F(Window, DisplayListOpensQueriesAndCloses)
{
    int state = -1;
    LDDisplayList(1, 0, &state);
    EXPECT_EQ(state, 0);
    int seenOpen = -1, seenAgain = -1;
    bool eventWhileOpen = false;
    EXPECT_FALSE(qavplatform::NamedEvent::Exists("List_Display_Event"));
    QTimer::singleShot(200, [&] {
        eventWhileOpen = qavplatform::NamedEvent::Exists("List_Display_Event");
        int s = -1;
        LDDisplayList(1, 0, &s);
        seenOpen = s; // open, not busy
        LDDisplayList(1, 1, nullptr); // only brings it to the front
        seenAgain = 0;
        for (QWidget* top : QApplication::topLevelWidgets())
            seenAgain += qobject_cast<CNLISTListDisplayDlg*>(top) != nullptr;
        LDDisplayList(1, 0, nullptr); // close request
    });
    LDDisplayList(1, 1, nullptr); // returns when the window closed
    EXPECT_EQ(seenOpen, 0);
    EXPECT_EQ(seenAgain, 1) << "the second request opens no second window";
    EXPECT_TRUE(eventWhileOpen) << "the monitor sees the window through the named event";
    EXPECT_FALSE(qavplatform::NamedEvent::Exists("List_Display_Event"));
    LDDisplayList(1, 0, &state);
    EXPECT_EQ(state, 0);
}

TEST_F(Window, RefreshUpdatesTheRows)
{
    qavtest::TempDir simDir;
    const int port = qavtest::PrepareAgentPort();
    const std::string a = qavtest::LoopbackAddress(70), b = qavtest::LoopbackAddress(71);
    qavtest::WriteFile(simDir.File("fleet"), "[printer]\naddress = " + a + "\nmodel = QAV M-UG2\nname = Fresh 1\n"
                                             "[printer]\naddress = " + b + "\nname = Gone\n");
    qavtest::PrinterSim sim;
    ASSERT_TRUE(sim.Start({"--fleet", simDir.File("fleet"), "--port", std::to_string(port)})) << sim.Log();
    sim.Command("down " + b);
    ClearListData();
    ClearGroupData();
    Group("All");
    Group("Maker");
    for (const std::string& address : {a, b}) {
        uint32_t value = 0;
        ASSERT_TRUE(qavplatform::ParseAddress(address, value));
        ListData r = Printer(value, "stale", -1, 0, "", "", "");
        AddToListData(r);
        AddPrinterToGroup(0, r.ipAddress);
    }
    qavtest::WriteFile(data_.File("QAVSurveyConfig.INI"), "[Polling]\nPolling=1\nListDuration=1\n");
    auto w = Open();
    EXPECT_EQ(w->RefreshCycle(), 1);
    bool sawRefreshing = false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (w->Refresh().Passes() < 1 && std::chrono::steady_clock::now() < until) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        sawRefreshing = sawRefreshing || w->StatusPart(0)->text() == T(2070);
    }
    ASSERT_GE(w->Refresh().Passes(), 1);
    for (int i = 0; i < 20; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(sawRefreshing);
    ASSERT_EQ(w->Printers()->rowCount(), 2);
    EXPECT_STREQ(w->Printers()->Rows()[0].name, "Fresh 1") << "the window follows the refresh";
    EXPECT_EQ(w->Printers()->Rows()[1].kind, -1);
    EXPECT_EQ(w->Printers()->index(1, 2).data().toString(), T(3150)) << "unreachable, still listed";
    EXPECT_STREQ(w->Printers()->Rows()[1].name, "stale") << "and still named as it was";
    w->close();
    EXPECT_FALSE(w->Refresh().Running()) << "closing stops the refresh";
}

TEST_F(Window, Screenshots)
{
    const char* dir = std::getenv("QAV_SCREENSHOT_DIR");
    if (!dir || !*dir) GTEST_SKIP() << "QAV_SCREENSHOT_DIR not set";
    ClearListData();
    ClearGroupData();
    Group("All printers");
    Group("QAV printers");
    struct P {
        const char* name;
        int bcp, code, status, head;
        const char* model;
        const char* location;
        const char* manager;
    } fleet[] = {
        {"Dock 1 labels", 1, 0, 3, 0, "QAV M-UG2", "Warehouse A", "J. Baker"},
        {"Dock 2 labels", 1, 80, 3, 0, "QAV M-UG2", "Warehouse A", "J. Baker"},
        {"Returns", 1, 1, 3, 0, "QAV M-UG2", "Warehouse B", "R. Singh"},
        {"Shipping", 1, 11, 3, 0, "QAV M-SX4", "Warehouse B", "R. Singh"},
        {"RFID tagger", 1, 54, 3, 1, "QAV M-RA1", "Line 2", "T. Novak"},
        {"Cold store", 1, 13, 3, 0, "QAV M-SX4", "Freezer 1", "T. Novak"},
        {"Front desk", 1, 4, 3, 0, "QAV M-UG2", "Office", "A. Moreau"},
        {"Line 3", 1, 14, 3, 0, "QAV M-UG2", "Line 3", "T. Novak"},
        {"Line 4", -1, 512, 6, 0, "", "", ""},
        {"Office laser", 0, 0, 3, 0, "LaserWriter 5", "Office", "A. Moreau"},
        {"Accounts", 0, 0x40, 3, 0, "OfficeJet 77", "Office", "A. Moreau"},
    };
    uint32_t a = 0xC0A80A0Bu;
    for (const P& p : fleet) {
        ListData r = Printer(a++, p.name, p.bcp == 1, p.code, p.model, p.location, "");
        r.isBCP = p.bcp, r.kind = p.bcp == -1 ? -1 : p.bcp, r.printerStatus = p.status, r.headStatus = p.head;
        CopyText(r.manager, p.manager);
        CopyText(r.serial, (std::string("QS") + std::to_string(4100 + (a & 0xFF))).c_str());
        if (p.bcp == -1) r.name[0] = '\0', r.dhcpEnable = -1;
        AddToListData(r);
        AddPrinterToGroup(0, r.ipAddress);
        if (p.bcp == 1) AddPrinterToGroup(1, r.ipAddress);
    }
    GroupForm f;
    f.name = "Warehouse";
    f.useLocation = true, f.location = "Warehouse A,Warehouse B";
    ASSERT_EQ(StoreGroup(f, -1), 0);
    // No stored widths: the columns fit their contents, as at a first start.
    qavtest::WriteFile(data_.File("QAVDisplayConfig.INI"),
                       "[Display]\nStatus=1\nPort=1\nModel=1\nLocation=1\nManager=1\nHost Name=1\n"
                       "[Order]\nStatus=1\nPort=2\nModel=3\nLocation=4\nManager=5\nHost Name=6\n");
    qavsettings::WriteUserNumber(qavsettings::kToolBarValue, 1);
    qavsettings::WriteUserNumber(qavsettings::kStatusBarValue, 1);
    qavsettings::WriteUserValue(qavsettings::kWindowPosValue, "0,1,-1,-1,-1,-1,8,28,1008,388");
    auto w = Open();
    Select(*w, {1, 3});
    QApplication::processEvents();
    ASSERT_TRUE(w->grab().save(QString(dir) + "/list-window.png"));

    CNLISTCreateGroup d(2, nullptr);
    d.show();
    d.useSerial->setChecked(true);
    d.serialFrom->setText("QS4100");
    d.serialTo->setText("QS4199");
    d.useAddress->setChecked(true);
    d.address->SetText("192.168.10.255");
    QApplication::processEvents();
    ASSERT_TRUE(d.grab().save(QString(dir) + "/group-dialog.png"));
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

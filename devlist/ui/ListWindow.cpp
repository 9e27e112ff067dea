#include "ListWindow.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>
#include <QUrl>

#include "DeviceModel.h"
#include "ListDialogs.h"
#include "UiCommon.h"
#include "nlist/Nlist.h"
#include "qavplatform/MessageBus.h"
#include "qav/Version.h"
#include "qavplatform/ProgramStart.h"
#include "qavres/Resources.h"
#include "qavsettings/SettingsFiles.h"
#include "qavsettings/UserValues.h"


namespace nlist::ui {

// ------------------------------------------------------------------ the model

void PrinterTableModel::SetColumns(std::vector<ShownColumn> columns)
{
    beginResetModel();
    columns_ = std::move(columns);
    endResetModel();
}

void PrinterTableModel::SetRows(std::vector<ListData> rows, std::vector<bool> awaiting)
{
    awaiting.resize(rows.size(), false);
    bool same = rows.size() == rows_.size();
    for (size_t i = 0; same && i < rows.size(); ++i) same = rows[i].ipAddress == rows_[i].ipAddress;
    awaiting_ = std::move(awaiting);
    if (same) {
        rows_ = std::move(rows);
        if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        return;
    }
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

int PrinterTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int PrinterTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant PrinterTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    if (role == Qt::ToolTipRole || role == Qt::StatusTipRole) {
        // What a mark of the cell means, in its tooltip and, while the
        // pointer rests on it, in the status bar.
        const int text = MarkExplanation(rows_[index.row()], columns_[index.column()].column, awaiting_[index.row()]);
        return text != 0 ? QVariant(T(text)) : QVariant();
    }
    if (role != Qt::DisplayRole && role != Qt::DecorationRole) return {};
    const Cell cell = CellOf(rows_[index.row()], columns_[index.column()].column, Language(), awaiting_[index.row()]);
    if (role == Qt::DisplayRole) return QString::fromUtf8(cell.text.c_str());
    const QIcon& icon = StatusIcon(cell.icon);
    return icon.isNull() ? QVariant() : QVariant(icon);
}

QVariant PrinterTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) return {};
    return QString::fromStdString(ColumnHeading(columns_[section].column, Language()));
}

// ------------------------------------------------------------------ the window

namespace {

constexpr int kDefaultX = 8, kDefaultY = 28, kDefaultWidth = 600, kDefaultHeight = 400;
// A column fitted to its contents is never made wider than this.
constexpr int kFittedWidthMax = 320;
constexpr uint32_t kShowMaximized = 3, kShowNormal = 1;

uint32_t UserNumber(const char* name)
{
    uint32_t v = 0;
    return qavsettings::ReadUserNumber(name, v) ? v : 0;
}

std::string SettingsLibraryPath()
{
    const std::string beside = qavplatform::ProgramDir() + "/../lib/libnsetup.so";
    return ::access(beside.c_str(), R_OK) == 0 ? beside : std::string("libnsetup.so");
}

} // namespace

template <typename F>
auto CNLISTListDisplayDlg::Busy(F work)
{
    struct Flag {
        std::atomic<bool>* f;
        explicit Flag(std::atomic<bool>* flag) : f(flag) { if (f) *f = true; }
        ~Flag() { if (f) *f = false; }
    } flag(busy_);
    return work();
}

CNLISTListDisplayDlg::CNLISTListDisplayDlg(int accessMode, std::atomic<bool>* busy, QWidget* parent)
    : QMainWindow(parent), accessMode_(accessMode), busy_(busy)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    dataDir_ = qavsettings::DataDir();
    programFolder_ = qavplatform::ProgramDir();
    displayFile_ = qavsettings::DataFilePath(qavsettings::kDisplayConfigFile);
    surveyFile_ = qavsettings::DataFilePath(qavsettings::kSurveyConfigFile);
    settingsLibrary_ = ::dlopen(SettingsLibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);

    setWindowTitle(T(2000));
    splitter_ = new QSplitter(Qt::Horizontal, this);
    groups_ = new QTreeWidget(splitter_);
    groups_->setColumnCount(1);
    groups_->setHeaderLabels({T(2120)});
    groups_->setRootIsDecorated(false);
    printers_ = new QTreeView(splitter_);
    model_ = new PrinterTableModel(this);
    printers_->setModel(model_);
    printers_->setRootIsDecorated(false);
    printers_->setUniformRowHeights(true);
    printers_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    printers_->setSelectionBehavior(QAbstractItemView::SelectRows);
    printers_->setIconSize(QSize(16, 16));
    // The pointer resting on a cell (no button pressed) shows the
    // explanation of its mark in the status bar.
    printers_->setMouseTracking(true);
    printers_->header()->setSectionsClickable(true);
    printers_->header()->setSectionsMovable(false);
    printers_->header()->setStretchLastSection(false);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({150, 450});
    setCentralWidget(splitter_);

    statusLeft_ = new QLabel(this);
    statusRight_ = new QLabel(this);
    statusBar()->addWidget(statusLeft_, 1);
    statusBar()->addPermanentWidget(statusRight_);

    BuildMenus();
    RestorePlacement();

    const qavsettings::SurveyConfig survey = qavsettings::ReadSurveyConfig(qavsettings::Reader::kDeviceList, {}, surveyFile_);
    cycle_ = survey.polling != 0 ? survey.listDuration : 0;
    statusRight_->setText(T(2072).replace("%d", QString::number(cycle_)));

    redrawLater_.setSingleShot(true);
    connect(&redrawLater_, &QTimer::timeout, this, &CNLISTListDisplayDlg::Redraw);

    bool existed = false;
    displayEvent_.Create("List_Display_Event", &existed);

    connect(groups_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!item) return;
        ShowGroup(groups_->indexOfTopLevelItem(item));
    });
    connect(printers_->header(), &QHeaderView::sectionClicked, this, &CNLISTListDisplayDlg::SortBySection);
    connect(printers_, &QTreeView::doubleClicked, this, [this] { Run(Command::kStatusMonitor); });
    connect(printers_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (restoringSelection_) return;
        StoreSelection();
        UpdateCommands();
    });

    BuildColumns();
    FillGroups();
    ShowGroup(SelectedGroup());
    if (model_->rowCount() > 0 && printers_->selectionModel()->selectedRows().isEmpty())
        printers_->selectionModel()->select(model_->index(0, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    UpdateCommands();
    StartRefresh(true);
}

CNLISTListDisplayDlg::~CNLISTListDisplayDlg()
{
    refresh_.Stop();
    if (settingsLibrary_) ::dlclose(settingsLibrary_);
}

void CNLISTListDisplayDlg::BuildMenus()
{
    QStyle* st = style();
    auto add = [&](QMenu* menu, Command c, int text, QStyle::StandardPixmap icon = QStyle::SP_CustomBase) {
        QAction* a = menu->addAction(T(text));
        if (icon != QStyle::SP_CustomBase) a->setIcon(st->standardIcon(icon));
        actions_[c] = a;
        connect(a, &QAction::triggered, this, [this, c] { Run(c); });
        return a;
    };
    QMenu* file = menuBar()->addMenu(T(2010));
    add(file, Command::kOpen, 2011, QStyle::SP_DialogOpenButton);
    add(file, Command::kSave, 2012, QStyle::SP_DialogSaveButton);
    add(file, Command::kSaveAs, 2013);
    file->addSeparator();
    add(file, Command::kSearch, 2014, QStyle::SP_BrowserReload);
    file->addSeparator();
    add(file, Command::kExit, 2015);

    QMenu* edit = menuBar()->addMenu(T(2020));
    add(edit, Command::kAddPrinter, 2021, QStyle::SP_FileDialogNewFolder);
    add(edit, Command::kDeletePrinter, 2022, QStyle::SP_TrashIcon);
    edit->addSeparator();
    add(edit, Command::kNewGroup, 2023);
    add(edit, Command::kEditGroup, 2024);
    add(edit, Command::kDeleteGroup, 2025);
    edit->addSeparator();
    add(edit, Command::kStatusMonitor, 2026, QStyle::SP_ComputerIcon);
    add(edit, Command::kSystemTool, 2027, QStyle::SP_FileDialogDetailedView);
    add(edit, Command::kDownloadTool, 2028, QStyle::SP_ArrowDown);

    QMenu* view = menuBar()->addMenu(T(2030));
    add(view, Command::kToolBar, 2031)->setCheckable(true);
    add(view, Command::kStatusBar, 2032)->setCheckable(true);
    add(view, Command::kTopmost, 2033)->setCheckable(true);
    view->addSeparator();
    add(view, Command::kColumns, 2034);
    add(view, Command::kSortByName, 2035);
    add(view, Command::kWebPage, 2036, QStyle::SP_DriveNetIcon);

    QMenu* settings = menuBar()->addMenu(T(2040));
    add(settings, Command::kManagement, 2041);
    add(settings, Command::kSearchSettings, 2042);
    add(settings, Command::kSurveillance, 2043);
    add(settings, Command::kLog, 2044);
    for (Command c : {Command::kManagement, Command::kSearchSettings, Command::kSurveillance, Command::kLog})
        actions_[c]->setEnabled(accessMode_ != 0);

    QMenu* help = menuBar()->addMenu(T(2050));
    add(help, Command::kHelpTopics, 2051)->setEnabled(false); // no help viewer on this platform
    add(help, Command::kStatusMarks, 2053);
    add(help, Command::kAbout, 2052);

    toolBar_ = addToolBar(Title(2031));
    toolBar_->setObjectName("ListToolBar");
    toolBar_->setMovable(false);
    toolBar_->toggleViewAction()->setVisible(false);
    for (Command c : {Command::kOpen, Command::kSave, Command::kSearch, Command::kAddPrinter, Command::kDeletePrinter,
                      Command::kStatusMonitor, Command::kSystemTool, Command::kDownloadTool, Command::kWebPage})
        toolBar_->addAction(actions_[c]);
}

void CNLISTListDisplayDlg::RestorePlacement()
{
    QRect rect(kDefaultX, kDefaultY, kDefaultWidth, kDefaultHeight);
    bool maximised = false;
    std::string text;
    qavsettings::WindowPlacement p;
    if (qavsettings::ReadUserValue(qavsettings::kWindowPosValue, text) && qavsettings::ParseWindowPlacement(text, p) &&
        p.right > p.left && p.bottom > p.top) {
        rect = QRect(p.left, p.top, p.right - p.left, p.bottom - p.top);
        maximised = p.showCommand == kShowMaximized;
    }
    setGeometry(rect);
    if (maximised) setWindowState(windowState() | Qt::WindowMaximized);
    const bool tool = UserNumber(qavsettings::kToolBarValue) != 0;
    const bool status = UserNumber(qavsettings::kStatusBarValue) != 0;
    const bool top = UserNumber(qavsettings::kPicDisplayValue) != 0;
    toolBar_->setVisible(tool);
    statusBar()->setVisible(status);
    actions_[Command::kToolBar]->setChecked(tool);
    actions_[Command::kStatusBar]->setChecked(status);
    actions_[Command::kTopmost]->setChecked(top);
    if (top) setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

void CNLISTListDisplayDlg::SavePlacement()
{
    qavsettings::WindowPlacement p;
    const bool maximised = isMaximized();
    const QRect r = maximised ? normalGeometry() : geometry();
    p.flags = maximised ? 2 : 0;
    p.showCommand = maximised ? kShowMaximized : kShowNormal;
    p.minX = p.minY = p.maxX = p.maxY = -1;
    p.left = r.left(), p.top = r.top(), p.right = r.left() + r.width(), p.bottom = r.top() + r.height();
    qavsettings::WriteUserValue(qavsettings::kWindowPosValue, qavsettings::FormatWindowPlacement(p));
    qavsettings::WriteUserNumber(qavsettings::kToolBarValue, actions_[Command::kToolBar]->isChecked() ? 1 : 0);
    qavsettings::WriteUserNumber(qavsettings::kStatusBarValue, actions_[Command::kStatusBar]->isChecked() ? 1 : 0);
    qavsettings::WriteUserNumber(qavsettings::kPicDisplayValue, actions_[Command::kTopmost]->isChecked() ? 1 : 0);
    std::vector<std::pair<int, int>> widths;
    for (int i = 0; i < model_->columnCount(); ++i)
        widths.push_back({model_->Columns()[i].column, printers_->header()->sectionSize(i)});
    qavsettings::WriteColumnWidths(widths, displayFile_);
}

void CNLISTListDisplayDlg::BuildColumns()
{
    const std::vector<ShownColumn> shown = ShownColumns(qavsettings::ReadDisplayConfig(displayFile_));
    model_->SetColumns(shown);
    unfitted_.clear();
    for (size_t i = 0; i < shown.size(); ++i) {
        printers_->header()->resizeSection(static_cast<int>(i), shown[i].width);
        if (shown[i].fit) unfitted_.push_back(static_cast<int>(i));
    }
    if (model_->rowCount() > 0) FitNewColumns();
}

void CNLISTListDisplayDlg::FitNewColumns()
{
    for (int section : unfitted_) {
        printers_->resizeColumnToContents(section);
        if (printers_->header()->sectionSize(section) > kFittedWidthMax)
            printers_->header()->resizeSection(section, kFittedWidthMax);
    }
    unfitted_.clear();
}

void CNLISTListDisplayDlg::ShowMarksLegend()
{
    if (!legend_) {
        legend_ = new QDialog(this);
        legend_->setWindowTitle(Title(2053));
        auto* grid = new QGridLayout(legend_);
        grid->addWidget(new QLabel(T(2054)), 0, 0, 1, 2);
        int row = 1;
        for (const MarkLegendRow& mark : kMarkLegend) {
            auto* sign = new QLabel;
            if (mark.icon != 0) {
                sign->setPixmap(StatusIcon(mark.icon).pixmap(16, 16));
            } else {
                sign->setText("[H]");
            }
            auto* text = new QLabel(T(mark.text));
            text->setWordWrap(true);
            grid->addWidget(sign, row, 0, Qt::AlignTop | Qt::AlignHCenter);
            grid->addWidget(text, row, 1);
            ++row;
        }
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
        connect(buttons, &QDialogButtonBox::accepted, legend_, &QDialog::accept);
        grid->addWidget(buttons, row, 0, 1, 2);
        grid->setColumnStretch(1, 1);
        legend_->resize(420, legend_->sizeHint().height());
    }
    legend_->show();
    legend_->raise();
}

void CNLISTListDisplayDlg::FillGroups()
{
    const int keep = SelectedGroup();
    const QSignalBlocker block(groups_);
    groups_->clear();
    char name[260];
    for (int g = 0; g < GetGroupDataSize(); ++g) {
        if (!GetGroupName(g, name, sizeof name)) name[0] = '\0';
        new QTreeWidgetItem(groups_, {QString::fromUtf8(name)});
    }
    const int select = keep >= 0 && keep < groups_->topLevelItemCount() ? keep : 0;
    if (groups_->topLevelItemCount() > 0) groups_->setCurrentItem(groups_->topLevelItem(select));
}

int CNLISTListDisplayDlg::SelectedGroup() const
{
    QTreeWidgetItem* item = groups_->currentItem();
    return item ? groups_->indexOfTopLevelItem(item) : -1;
}

void CNLISTListDisplayDlg::LoadRows(int group)
{
    std::vector<bool> awaiting;
    std::vector<ListData> rows = GroupRows(group, &awaiting);
    model_->SetRows(std::move(rows), std::move(awaiting));
    if (!unfitted_.empty()) FitNewColumns();
}

void CNLISTListDisplayDlg::ShowGroup(int group)
{
    if (group != shownGroup_) sort_.Reset();
    shownGroup_ = group;
    LoadRows(group);
    RestoreSelection();
    UpdateCommands();
}

std::vector<uint32_t> CNLISTListDisplayDlg::SelectedPrinters() const
{
    std::vector<uint32_t> selected;
    QModelIndexList rows = printers_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& i : rows) selected.push_back(model_->Rows()[i.row()].ipAddress);
    return selected;
}

void CNLISTListDisplayDlg::StoreSelection()
{
    if (shownGroup_ < 0) return;
    std::vector<bool> selected(model_->Rows().size(), false);
    for (const QModelIndex& i : printers_->selectionModel()->selectedRows()) selected[i.row()] = true;
    nlist::StoreSelection(shownGroup_, selected);
}

void CNLISTListDisplayDlg::RestoreSelection()
{
    const std::vector<bool> marks = StoredSelection(shownGroup_);
    QItemSelection selection;
    const int rows = model_->rowCount();
    for (int r = 0; r < rows && r < static_cast<int>(marks.size()); ++r) {
        if (!marks[r]) continue;
        int end = r;
        while (end + 1 < rows && end + 1 < static_cast<int>(marks.size()) && marks[end + 1]) ++end;
        selection.select(model_->index(r, 0), model_->index(end, std::max(0, model_->columnCount() - 1)));
        r = end;
    }
    restoringSelection_ = true;
    printers_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    restoringSelection_ = false;
}

void CNLISTListDisplayDlg::SetProgramFolder(std::string folder)
{
    programFolder_ = std::move(folder);
    UpdateCommands();
}

void CNLISTListDisplayDlg::UpdateCommands()
{
    const int group = SelectedGroup();
    const bool any = !printers_->selectionModel()->selectedRows().isEmpty();
    for (Command c : {Command::kDeletePrinter, Command::kWebPage}) actions_[c]->setEnabled(any);
    // A program that is not installed beside this one cannot be started:
    // its command is greyed.
    const std::pair<Command, const char*> programs[] = {
        {Command::kStatusMonitor, kStatusMonitorProgram},
        {Command::kSystemTool, kSystemToolProgram},
        {Command::kDownloadTool, kDownloadToolProgram},
    };
    for (const auto& [c, program] : programs)
        actions_[c]->setEnabled(any && qavplatform::ProgramInstalled(program, programFolder_));
    actions_[Command::kEditGroup]->setEnabled(group >= 0);
    actions_[Command::kDeleteGroup]->setEnabled(group >= 2);
}

void CNLISTListDisplayDlg::Redraw()
{
    redrawPending_ = false;
    redrawLater_.stop();
    lastRedraw_.start();
    if (groups_->topLevelItemCount() != GetGroupDataSize()) FillGroups();
    StoreSelection();
    const int group = SelectedGroup();
    if (group != shownGroup_) sort_.Reset();
    shownGroup_ = group;
    LoadRows(group);
    RestoreSelection();
    UpdateCommands();
    if (!refresh_.Running() || refreshing_) {
        refreshing_ = false;
        statusLeft_->clear();
    }
}

void CNLISTListDisplayDlg::OnCommand(int command)
{
    if (command == kCommandRefreshing) {
        refreshing_ = true;
        statusLeft_->setText(T(2070));
    } else if (command == kCommandRedraw) {
        const qint64 since = lastRedraw_.isValid() ? lastRedraw_.elapsed() : kRedrawSpacingMs;
        if (since >= kRedrawSpacingMs) {
            Redraw();
        } else if (!redrawLater_.isActive()) {
            redrawLater_.start(static_cast<int>(kRedrawSpacingMs - since));
        }
    }
}

void CNLISTListDisplayDlg::StartRefresh(bool immediate)
{
    refresh_.Start(
        cycle_, immediate,
        [this](int command) { QMetaObject::invokeMethod(this, [this, command] { OnCommand(command); }, Qt::QueuedConnection); },
        // One redraw waits in the queue at most: a pass over a large list
        // would otherwise queue one per printer.
        [this] { return !redrawPending_.exchange(true); });
}

void CNLISTListDisplayDlg::SortBySection(int section)
{
    if (section < 0 || section >= model_->columnCount()) return;
    const int column = model_->Columns()[section].column;
    const bool ascending = sort_.Click(column);
    StoreSelection();
    if (SortGroup(shownGroup_, column, ascending, Language())) {
        LoadRows(shownGroup_);
        RestoreSelection();
    }
}

void CNLISTListDisplayDlg::SetTopmost(bool on)
{
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (visible) show();
}

// ------------------------------------------------------------------ commands

void CNLISTListDisplayDlg::Run(Command c)
{
    switch (c) {
    case Command::kOpen: OpenFile(); break;
    case Command::kSave: SaveFile(false); break;
    case Command::kSaveAs: SaveFile(true); break;
    case Command::kSearch: Search(); break;
    case Command::kExit: close(); break;
    case Command::kAddPrinter: AddPrinter(); break;
    case Command::kDeletePrinter: DeleteSelectedPrinters(); break;
    case Command::kNewGroup: NewGroup(); break;
    case Command::kEditGroup: EditGroup(); break;
    case Command::kDeleteGroup: DeleteGroup(); break;
    case Command::kStatusMonitor: StartStatusMonitors(); break;
    case Command::kSystemTool: StartTool(true); break;
    case Command::kDownloadTool: StartTool(false); break;
    case Command::kToolBar: toolBar_->setVisible(actions_[c]->isChecked()); break;
    case Command::kStatusBar: statusBar()->setVisible(actions_[c]->isChecked()); break;
    case Command::kTopmost: SetTopmost(actions_[c]->isChecked()); break;
    case Command::kColumns: ChooseColumns(); break;
    case Command::kSortByName:
        sort_.Reset();
        sort_.Click(kColName);
        StoreSelection();
        if (SortGroup(shownGroup_, kColName, true, Language())) {
            LoadRows(shownGroup_);
            RestoreSelection();
        }
        break;
    case Command::kWebPage: OpenWebPage(); break;
    case Command::kManagement: SettingsCommand("ManagementSetup"); break;
    case Command::kSearchSettings: SettingsCommand("SearchSetup"); break;
    case Command::kSurveillance: SettingsCommand("SurveillanceSetup"); break;
    case Command::kLog: SettingsCommand("LogSetup"); break;
    case Command::kHelpTopics: break;
    case Command::kStatusMarks: ShowMarksLegend(); break;
    case Command::kAbout:
        Busy([&] {
            // The window's name and the product's version, as every About box.
            QMessageBox::about(this, Title(2052),
                               T(2000) + QStringLiteral("\n" QAV_PRODUCT_NAME " " QAV_VERSION));
            return 0;
        });
        break;
    }
}

void CNLISTListDisplayDlg::OpenFile()
{
    const QString filter = T(3302) + "(*.qdl);;" + T(3303) + "(*)";
    const QString path = Busy([&] {
        if (chooser_) return chooser_(false);
        return QFileDialog::getOpenFileName(this, Title(2011), QString::fromStdString(dataDir_), filter);
    });
    if (path.isEmpty()) return;
    const std::string file = path.toStdString();
    refresh_.Stop();
    std::string reason;
    if (CheckQdlFileFormat(file, &reason) != 1) {
        Message(this, Box::kError, 2000, 2200, QString::fromStdString(reason));
    } else if (PopulateVectors(file) == 1) {
        qavplatform::BroadcastMessage(qavplatform::Message::UpdateTrap, qavplatform::kUpdateGroupFileOpened);
        currentFile_ = file;
        shownGroup_ = -1;
        FillGroups();
        if (groups_->topLevelItemCount() > 0) groups_->setCurrentItem(groups_->topLevelItem(0));
        ShowGroup(SelectedGroup());
    }
    StartRefresh(true);
}

bool CNLISTListDisplayDlg::SaveFile(bool askName)
{
    std::string file = currentFile_;
    if ((askName || file.empty()) && chooser_) {
        file = chooser_(true).toStdString();
        if (file.empty()) return false;
    } else if (askName || file.empty()) {
        QFileDialog dialog(this, Title(2013), QString::fromStdString(dataDir_),
                           T(3302) + "(*.qdl);;" + T(3303) + "(*)");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix("qdl");
        // the dialog asks before it overwrites a file
        if (Busy([&] { return dialog.exec(); }) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
        file = dialog.selectedFiles().first().toStdString();
    }
    StoreSelection();
    std::string reason;
    if (SaveListDataToFile(file, &reason) < 0) {
        // Not a silent loss: the user learns that the list is not in the
        // file, which file, and why.
        Message(this, Box::kError, 2000, 2210, QString::fromStdString(reason));
        return false;
    }
    currentFile_ = file;
    return true;
}

void CNLISTListDisplayDlg::Search()
{
    refresh_.Stop();
    Busy([&] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        SearchDevices();
        QApplication::restoreOverrideCursor();
        return 0;
    });
    FillGroups();
    ShowGroup(SelectedGroup());
    qavplatform::BroadcastMessage(qavplatform::Message::UpdateTrap, qavplatform::kUpdateSearchDone);
    StartRefresh(false);
}

void CNLISTListDisplayDlg::DeleteSelectedPrinters()
{
    const std::vector<uint32_t> selected = SelectedPrinters();
    if (selected.empty()) return;
    refresh_.Stop();
    DeletePrinters(selected);
    qavplatform::BroadcastMessage(qavplatform::Message::UpdateTrap, qavplatform::kUpdatePrintersDeleted);
    FillGroups();
    ShowGroup(SelectedGroup());
    StartRefresh(true);
}

void CNLISTListDisplayDlg::NewGroup()
{
    if (const int refusal = NewGroupRefusal()) {
        Message(this, Box::kExclamation, 2000, refusal);
        return;
    }
    refresh_.Stop();
    CNLISTCreateGroup dialog(-1, this);
    if (Busy([&] { return dialog.exec(); }) == QDialog::Accepted) {
        FillGroups();
        groups_->setCurrentItem(groups_->topLevelItem(dialog.StoredIndex()));
    }
    StartRefresh(false);
}

void CNLISTListDisplayDlg::EditGroup()
{
    const int group = SelectedGroup();
    if (group < 0) return;
    refresh_.Stop();
    CNLISTCreateGroup dialog(group, this);
    if (Busy([&] { return dialog.exec(); }) == QDialog::Accepted) {
        char name[260];
        if (GetGroupName(group, name, sizeof name)) groups_->topLevelItem(group)->setText(0, QString::fromUtf8(name));
        shownGroup_ = -1;
        ShowGroup(group);
    }
    StartRefresh(false);
}

void CNLISTListDisplayDlg::DeleteGroup()
{
    const int group = SelectedGroup();
    refresh_.Stop();
    if (DeleteUserGroup(group)) {
        FillGroups();
        groups_->setCurrentItem(groups_->topLevelItem(0));
        ShowGroup(0);
    }
    StartRefresh(false);
}

void CNLISTListDisplayDlg::AddPrinter()
{
    refresh_.Stop();
    CNLISTAddPrinter dialog(SelectedGroup(), this);
    Busy([&] { return dialog.exec(); });
    qavplatform::BroadcastMessage(qavplatform::Message::UpdateTrap, qavplatform::kUpdatePrinterAdded);
    FillGroups();
    ShowGroup(SelectedGroup());
    StartRefresh(true);
}

int CNLISTListDisplayDlg::StartProgram(const std::string& program, const std::vector<std::string>& args,
                                       std::string* error)
{
    if (starter_) return starter_(program, args, error);
    // From the program folder only: on PATH, "nstat" is iproute2's.
    return qavplatform::StartProgramFrom(programFolder_, program, args, nullptr, error);
}

void CNLISTListDisplayDlg::StartStatusMonitors()
{
    for (uint32_t a : SelectedPrinters()) {
        std::string error;
        const auto parts = qavplatform::SplitCommandLine(StatusMonitorCommandLine(a, accessMode_));
        if (StartProgram(parts[0], {parts.begin() + 1, parts.end()}, &error) != 0) {
            Message(this, Box::kError, 2000, 3314, QString::fromStdString(error));
            return;
        }
    }
}

void CNLISTListDisplayDlg::StartTool(bool systemTool)
{
    const std::vector<uint32_t> selected = SelectedPrinters();
    if (selected.empty()) return;
    const ProgramStart start = systemTool ? SystemToolStart(selected, dataDir_) : DownloadToolStart(selected, dataDir_);
    std::string error = start.problem;
    if (start.program.empty() || StartProgram(start.program, start.args, &error) != 0)
        Message(this, Box::kError, 2000, systemTool ? 3311 : 3312, QString::fromStdString(error));
}

void CNLISTListDisplayDlg::OpenWebPage()
{
    const std::vector<uint32_t> selected = SelectedPrinters();
    if (selected.empty()) return;
    QDesktopServices::openUrl(QUrl(QString::fromStdString(PrinterWebAddress(selected[0]))));
}

void CNLISTListDisplayDlg::SettingsCommand(const char* function)
{
    if (accessMode_ == 0) return;
    // The library's functions have C++ names; a C name is taken as well.
    const std::string mangled = "_Z" + std::to_string(std::strlen(function)) + function + "v";
    using Setup = int (*)();
    Setup setup = nullptr;
    if (settingsLibrary_) {
        setup = reinterpret_cast<Setup>(::dlsym(settingsLibrary_, mangled.c_str()));
        if (!setup) setup = reinterpret_cast<Setup>(::dlsym(settingsLibrary_, function));
    }
    if (!setup) {
        Message(this, Box::kError, 2000, 3313);
        return;
    }
    Busy([&] { return setup(); });
}

void CNLISTListDisplayDlg::ChooseColumns()
{
    CNLISTColumnsDlg dialog(displayFile_, this);
    if (Busy([&] { return dialog.exec(); }) != QDialog::Accepted) return;
    BuildColumns();
}

void CNLISTListDisplayDlg::closeEvent(QCloseEvent* event)
{
    refresh_.Stop();
    redrawLater_.stop();
    displayEvent_.Close();
    qavplatform::BroadcastMessage(qavplatform::Message::NlistExit, 0);
    SavePlacement();
    QMainWindow::closeEvent(event);
    emit closed();
}

} // namespace nlist::ui

// The list window: groups on the left, the printers of the selected group on
// the right, with its menus, tool bar and status bar, the refresh thread's
// updates and the commands on printers and groups.
#pragma once

#include <QAbstractTableModel>
#include <QAction>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ListRefresh.h"
#include "ListView.h"
#include "qavplatform/NamedLocks.h"

namespace nlist::ui {

// The printers of one group as table rows, over a snapshot of their records.
class PrinterTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void SetColumns(std::vector<ShownColumn> columns);
    // New rows; keeps the view's rows (and so its selection and scrolling)
    // when the same printers stand in the same order. `awaiting`: per row,
    // whether the printer has not answered since it was loaded.
    void SetRows(std::vector<ListData> rows, std::vector<bool> awaiting = {});
    const std::vector<ShownColumn>& Columns() const { return columns_; }
    const std::vector<ListData>& Rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<ShownColumn> columns_;
    std::vector<ListData> rows_;
    std::vector<bool> awaiting_;
};

// Menu and tool bar commands.
enum class Command {
    kOpen, kSave, kSaveAs, kSearch, kExit,
    kAddPrinter, kDeletePrinter, kNewGroup, kEditGroup, kDeleteGroup, kStatusMonitor, kSystemTool, kDownloadTool,
    kToolBar, kStatusBar, kTopmost, kColumns, kSortByName, kWebPage,
    kManagement, kSearchSettings, kSurveillance, kLog,
    kHelpTopics, kStatusMarks, kAbout,
};

class CNLISTListDisplayDlg : public QMainWindow {
    Q_OBJECT
public:
    // accessMode 0 restricted, else full. `busy` is set while a dialog of the
    // window is open.
    CNLISTListDisplayDlg(int accessMode, std::atomic<bool>* busy, QWidget* parent = nullptr);
    ~CNLISTListDisplayDlg() override;

    QAction* Action(Command c) const { return actions_.at(c); }
    QTreeWidget* GroupList() const { return groups_; }
    QTreeView* PrinterList() const { return printers_; }
    PrinterTableModel* Printers() const { return model_; }
    QLabel* StatusPart(int i) const { return i == 0 ? statusLeft_ : statusRight_; }
    QToolBar* ToolBar() const { return toolBar_; }
    // The legend of the status marks (Help > Status Marks), once shown.
    QDialog* MarksLegend() const { return legend_; }
    int SelectedGroup() const;
    std::vector<uint32_t> SelectedPrinters() const;
    int RefreshCycle() const { return cycle_; }
    ListRefresh& Refresh() { return refresh_; }
    // The group file last opened or saved by this window (empty when it
    // opened): Save writes there, or asks for a name when it is empty.
    const std::string& CurrentFile() const { return currentFile_; }

    // Runs a command as its menu item does.
    void Run(Command c);
    // Sorts the shown group by the shown column `section` as a heading click does.
    void SortBySection(int section);
    // Redraw of the group and printer lists from the model (command 1034).
    void Redraw();

    // Where the commands' results go instead of real programs and dialogs in
    // tests: a program start (name, arguments) returns 0 or an error.
    using Starter = std::function<int(const std::string& program, const std::vector<std::string>& args,
                                      std::string* error)>;
    void SetStarter(Starter s) { starter_ = std::move(s); }
    // The folder the suite's programs are started from (and looked for, to
    // grey the commands of the ones that are not installed): the program
    // folder unless a test says otherwise. Never PATH.
    void SetProgramFolder(std::string folder);
    // And the file dialogs: the chosen path (empty: cancelled), for opening
    // or for saving under a new name.
    using FileChooser = std::function<QString(bool save)>;
    void SetFileChooser(FileChooser c) { chooser_ = std::move(c); }

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildColumns();
    // Fits the columns that have no stored width to their contents, once
    // after they were built (when the rows are there).
    void FitNewColumns();
    void ShowMarksLegend();
    void FillGroups();
    void ShowGroup(int group);
    void LoadRows(int group);
    void UpdateCommands();
    void StoreSelection();
    void RestoreSelection();
    void StartRefresh(bool immediate);
    void OnCommand(int command);
    void SetTopmost(bool on);
    void RestorePlacement();
    void SavePlacement();

    void OpenFile();
    bool SaveFile(bool askName);
    void Search();
    void DeleteSelectedPrinters();
    void NewGroup();
    void EditGroup();
    void DeleteGroup();
    void AddPrinter();
    void StartStatusMonitors();
    void StartTool(bool systemTool);
    void OpenWebPage();
    void SettingsCommand(const char* function);
    void ChooseColumns();
    int StartProgram(const std::string& program, const std::vector<std::string>& args, std::string* error);
    // Runs a modal piece of work with the busy flag set.
    template <typename F>
    auto Busy(F work);

    int accessMode_;
    std::atomic<bool>* busy_;
    int cycle_ = 0;
    ListRefresh refresh_;
    std::atomic<bool> redrawPending_{false};
    bool refreshing_ = false;
    // Redraws asked for by the refresh come at most every kRedrawSpacingMs,
    // so that a pass over a large list leaves the window thread free.
    static constexpr int kRedrawSpacingMs = 100;
    QElapsedTimer lastRedraw_;
    QTimer redrawLater_;
    SortOrder sort_;
    int shownGroup_ = -1;
    std::map<Command, QAction*> actions_;
    QSplitter* splitter_ = nullptr;
    QTreeWidget* groups_ = nullptr;
    QTreeView* printers_ = nullptr;
    PrinterTableModel* model_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QLabel* statusLeft_ = nullptr;
    QLabel* statusRight_ = nullptr;
    std::string displayFile_, surveyFile_, dataDir_;
    std::string currentFile_;
    std::string programFolder_;
    void* settingsLibrary_ = nullptr;
    qavplatform::NamedEvent displayEvent_;
    Starter starter_;
    FileChooser chooser_;
    bool restoringSelection_ = false;
    std::vector<int> unfitted_; // sections still to fit to their contents
    QDialog* legend_ = nullptr;
};

} // namespace nlist::ui

// The two parameter windows: CDiagnosisDlg (mode 1: every value read only,
// export as text) and CSystemDlg (modes 2 to 4: values edited, applied,
// exported and imported). Both hold one CParamTreePage per visible page in
// a tab control.
//
// Every exchange with a printer runs on a worker thread of the window; its
// results come back through the event loop, and while it runs the window's
// commands wait, so the window never freezes on a silent printer.
#pragma once

#include <QDialog>
#include <QTreeWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "nconfig/Apply.h"
#include "nconfig/Document.h"
#include "nconfig/StartUp.h"

class QLabel;
class QPushButton;
class QTabWidget;

namespace nconfig::ui {

class ValueEditor;

// What a window is opened for (the outcome of the start).
struct WindowSetup {
    const ToolResources* resources = nullptr;
    LinkFactory links;
    int mode = kModeSystem;
    std::string port;    // list mode: the list file
    std::string address; // empty in list mode
    std::string model;
    std::string version;
    int base = kDefaultBase;
    std::vector<ListLine> lines; // list mode
    int applyWaitMs = 1000;      // the printer's time to take its new settings
};

// One page: the tree of its parameters.
class CParamTreePage : public QTreeWidget {
    Q_OBJECT
public:
    CParamTreePage(const PageModel& model, QWidget* parent = nullptr);
    // Every item's text and picture again from the page.
    void Refresh();
    int NodeOf(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* ItemOf(int node) const { return items_[node]; }
    // The leaf of a parameter by its key ("20721.0"), or nullptr.
    QTreeWidgetItem* ItemOfKey(const std::string& key) const;

private:
    const PageModel& model_;
    std::vector<QTreeWidgetItem*> items_; // by node
};

class CParamWindow : public QDialog {
    Q_OBJECT
public:
    ~CParamWindow() override;

    // False when the window has no page to show (message 6000).
    bool Built() const { return !pages_.empty(); }
    bool Busy() const { return busy_; }
    QString Title() const;
    const SettingsDocument& Document() const { return *doc_; }
    const std::vector<ListLine>& Lines() const { return setup_.lines; }
    const std::string& Address() const { return setup_.address; }

    QTabWidget* Tabs() const { return tabs_; }
    CParamTreePage* Page(int index) const { return pages_.at(index); }
    ValueEditor* Editor() const { return editor_; }
    QLabel* Status() const { return status_; }
    QPushButton* ApplyButton() const { return apply_; }
    QPushButton* ExportButton() const { return export_; }
    QPushButton* ImportButton() const { return import_; }

    // The commands (the buttons call them).
    void ConfirmValue();
    void ApplyChanges();
    void ExportFile();
    void ImportFile();

signals:
    void titleChanged(const QString& title);
    void readFinished();
    void applyFinished();

protected:
    CParamWindow(WindowSetup setup, bool diagnosis, QWidget* parent);

private:
    void CreatePages();
    void CreateButtons(bool diagnosis);
    void ReadPrinter();
    void RefreshPages();
    void SelectionChanged();
    void ListPass(std::vector<ListLine> lines);
    void ListPassDone(std::vector<ListLine> lines, std::vector<LineResult> results);
    // Runs `work` on the worker thread, then `done` on the window's thread.
    void RunInBackground(std::function<void()> work, std::function<void()> done);
    void SetBusy(bool busy, int statusText = 0);

    WindowSetup setup_;
    std::unique_ptr<SettingsDocument> doc_;
    QTabWidget* tabs_ = nullptr;
    std::vector<CParamTreePage*> pages_;
    ValueEditor* editor_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* apply_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* import_ = nullptr;
    QPushButton* close_ = nullptr;
    std::thread worker_;
    std::atomic<bool> busy_{false};
};

class CDiagnosisDlg : public CParamWindow {
    Q_OBJECT
public:
    explicit CDiagnosisDlg(WindowSetup setup, QWidget* parent = nullptr);
};

class CSystemDlg : public CParamWindow {
    Q_OBJECT
public:
    explicit CSystemDlg(WindowSetup setup, QWidget* parent = nullptr);
};

} // namespace nconfig::ui

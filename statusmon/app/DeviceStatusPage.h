// The device status page (the first tab): printer picture, status symbol
// and indicators, the panel display, the identity fields, the view
// selector with its detail list, and the Printer and help buttons. The
// page only shows what the worker read (nstat::DevicePage); choosing a
// view asks the window to read it.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

#include <array>
#include <vector>

#include "nstat/Printer.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace nstatapp {

// The emulated operation panel: a read-only display drawn black on the
// colour RGB(120, 200, 100).
class CNSTATLCDBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CNSTATLCDBox(QWidget* parent = nullptr);
};

class CNSTATDeviceStatus : public QWidget {
    Q_OBJECT
public:
    explicit CNSTATDeviceStatus(QWidget* parent = nullptr);

    // Shows a refresh's result; `connected` is the connection state after it.
    void ShowPage(const nstat::DevicePage& page, bool connected);
    // Shows a view: the detail list is rebuilt when the view differs from
    // the one shown, otherwise only the values change.
    void ShowView(const nstat::ViewContent& view);
    // Clears the identity fields and hides the symbols (the start of a
    // refresh, and a printer that never answered).
    void ClearFields();
    void SetPrinterButtonEnabled(bool enabled);

    int CurrentView() const { return currentView_; }
    // The view the selector has chosen (-1: none).
    int SelectedView() const;
    int HelpTopic() const { return helpTopic_; }
    QString StatusText() const;

signals:
    void viewChosen(int index);
    void printerCommand();

private:
    QWidget* CreateStatusArea();
    QWidget* CreateIdentity();
    QWidget* CreateLists();
    void FillSelector(const std::vector<nstat::ViewInfo>& views);
    void ShowStatus(const nstat::StatusResult& status);
    void OpenHelp();

    QLabel* picture_ = nullptr;
    QLabel* symbol_ = nullptr;
    std::array<QLabel*, nstat::kMaxIndicators> indicators_{};
    CNSTATLCDBox* panel_ = nullptr;
    std::array<QLineEdit*, 7> fields_{};
    QTreeWidget* selector_ = nullptr;
    QTreeWidget* details_ = nullptr;
    QPushButton* printerButton_ = nullptr;
    QPushButton* helpButton_ = nullptr;
    std::vector<nstat::ViewInfo> views_;
    int currentView_ = -1;
    int helpTopic_ = 0;
    bool filling_ = false;
};

} // namespace nstatapp

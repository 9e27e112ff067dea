// CListDlg: the printers of a list that a pass did not write, with their
// port, address, model and state. Retry starts another pass over them,
// Stop ends the apply.
#pragma once

#include <QDialog>

#include <vector>

#include "nconfig/Apply.h"
#include "nconfig/ListFile.h"

class QPushButton;
class QTreeWidget;

namespace nconfig::ui {

class CListDlg : public QDialog {
    Q_OBJECT
public:
    // lines[i] with results[i], the printers that remain.
    CListDlg(const std::vector<ListLine>& lines, const std::vector<LineResult>& results, QWidget* parent = nullptr);

    QTreeWidget* Printers() const { return printers_; }
    QPushButton* RetryButton() const { return retry_; }
    QPushButton* StopButton() const { return stop_; }

private:
    QTreeWidget* printers_ = nullptr;
    QPushButton* retry_ = nullptr;
    QPushButton* stop_ = nullptr;
};

} // namespace nconfig::ui

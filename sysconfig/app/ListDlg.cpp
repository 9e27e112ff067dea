#include "ListDlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "Ui.h"
#include "nconfig/Texts.h"

namespace nconfig::ui {

CListDlg::CListDlg(const std::vector<ListLine>& lines, const std::vector<LineResult>& results, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(T(kTextListTitle));
    auto* intro = new QLabel(T(kTextListIntro), this);
    printers_ = new QTreeWidget(this);
    printers_->setRootIsDecorated(false);
    printers_->setHeaderLabels({T(kTextColumnPort), T(kTextColumnPort + 1), T(kTextColumnPort + 2),
                                T(kTextColumnPort + 3)});
    for (size_t i = 0; i < lines.size() && i < results.size(); ++i) {
        const LineResult& r = results[i];
        auto* item = new QTreeWidgetItem(printers_);
        item->setText(0, Q(lines[i].port));
        item->setText(1, Q(lines[i].address));
        item->setText(2, r.answered ? Q(r.model) : T(kTextNoAnswer));
        item->setText(3, T(r.stateText ? r.stateText : kTextNotWritten));
        item->setToolTip(3, Q(r.reason));
    }
    for (int c = 0; c < 4; ++c) printers_->resizeColumnToContents(c);
    printers_->header()->setStretchLastSection(true);

    auto* buttons = new QDialogButtonBox(this);
    retry_ = buttons->addButton(T(kTextRetry), QDialogButtonBox::AcceptRole);
    stop_ = buttons->addButton(T(kTextStop), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(printers_);
    layout->addWidget(buttons);
    resize(560, 300);
}

} // namespace nconfig::ui

#include "StatusPages.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "Texts.h"

namespace nstatapp {

CNSTATJobStatus::CNSTATJobStatus(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setObjectName("jobs");
    list_->setRootIsDecorated(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->setHeaderLabels({T(5500), T(5501), T(5503), T(5504), T(5505)});
    layout->addWidget(list_);
}

void CNSTATJobStatus::ShowJob(const nstat::JobPage& job)
{
    list_->clear();
    if (!job.read) return;
    QStringList cells;
    for (size_t i = 0; i < 5 && i < job.row.size(); ++i) cells << Q(job.row[i]);
    new QTreeWidgetItem(list_, cells);
    for (int c = 0; c < list_->columnCount(); ++c) list_->resizeColumnToContents(c);
}

CNSTATNetworkStatus::CNSTATNetworkStatus(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    // Board, interface type, MAC address, IP address, subnet mask.
    const int labels[] = {5600, 5601, 5604, 5602, 5603};
    const char* names[] = {"board", "interfaceType", "mac", "address", "mask"};
    for (int i = 0; i < 5; ++i) {
        grid->addWidget(new QLabel(T(labels[i]), this), i, 0);
        fields_[i] = new QLineEdit(this);
        fields_[i]->setObjectName(names[i]);
        fields_[i]->setReadOnly(true);
        fields_[i]->setFrame(false);
        grid->addWidget(fields_[i], i, 1);
    }
    layout->addLayout(grid);
    counters_ = new QTreeWidget(this);
    counters_->setObjectName("counters");
    counters_->setColumnCount(2);
    counters_->setRootIsDecorated(false);
    counters_->header()->hide();
    layout->addWidget(counters_, 1);
}

void CNSTATNetworkStatus::ShowNetwork(const nstat::NetworkPage& page)
{
    const std::string values[] = {page.board, page.interfaceType, page.mac, page.address, page.mask};
    for (int i = 0; i < 5; ++i) fields_[i]->setText(Q(values[i]));
    bool same = counters_->topLevelItemCount() == static_cast<int>(page.rows.size());
    for (int r = 0; same && r < counters_->topLevelItemCount(); ++r)
        same = counters_->topLevelItem(r)->text(0) == Q(page.rows[r][0]);
    if (!same) {
        counters_->clear();
        for (const auto& row : page.rows) {
            auto* item = new QTreeWidgetItem(counters_, {Q(row[0]), Q(row[1])});
            // Section titles stand out; the IP section carries its summary.
            if (!row[0].empty() && row[1].empty()) {
                QFont f = item->font(0);
                f.setBold(true);
                item->setFont(0, f);
            }
        }
        const int width = counters_->viewport()->width();
        counters_->setColumnWidth(0, width / 2);
        counters_->setColumnWidth(1, std::max(40, width - width / 2 - 18));
    } else {
        for (int r = 0; r < counters_->topLevelItemCount(); ++r)
            counters_->topLevelItem(r)->setText(1, Q(page.rows[r][1]));
    }
    for (int r = 0; r < counters_->topLevelItemCount(); ++r) {
        QTreeWidgetItem* item = counters_->topLevelItem(r);
        if (item->text(0) == T(5614)) item->setToolTip(0, Q(page.ipSummary));
    }
}

} // namespace nstatapp

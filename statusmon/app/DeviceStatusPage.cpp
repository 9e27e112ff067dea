#include "DeviceStatusPage.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "Artwork.h"
#include "Texts.h"
#include "qavplatform/ProgramStart.h"
#include "qavres/Resources.h"

namespace nstatapp {

namespace {

constexpr int kSymbolSize = 36;
constexpr int kHelpFileText = 200;
constexpr int kHelpMissingText = 5067;

QLabel* SymbolLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setFixedSize(kSymbolSize, kSymbolSize);
    label->hide();
    return label;
}

} // namespace

CNSTATLCDBox::CNSTATLCDBox(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette p = palette();
    p.setColor(QPalette::Base, QColor(120, 200, 100));
    p.setColor(QPalette::Text, Qt::black);
    setPalette(p);
    QFont f("Monospace");
    f.setStyleHint(QFont::TypeWriter);
    f.setBold(true);
    setFont(f);
    setFixedHeight(52);
}

CNSTATDeviceStatus::CNSTATDeviceStatus(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CreateStatusArea());
    auto* middle = new QHBoxLayout;
    middle->addWidget(CreateIdentity(), 3);
    layout->addLayout(middle);
    layout->addWidget(CreateLists(), 1);
    // The view selector sits beside the identity fields.
    middle->addWidget(selector_, 2);
}

QWidget* CNSTATDeviceStatus::CreateStatusArea()
{
    auto* area = new QWidget(this);
    auto* row = new QHBoxLayout(area);
    row->setContentsMargins(0, 0, 0, 0);
    picture_ = new QLabel(area);
    picture_->setObjectName("picture");
    picture_->setFixedSize(123, 80);
    picture_->setAlignment(Qt::AlignCenter);
    row->addWidget(picture_);
    symbol_ = SymbolLabel(area, "statusSymbol");
    row->addWidget(symbol_);
    const char* names[] = {"indicator1", "indicator2", "indicator3", "indicator4"};
    for (size_t i = 0; i < indicators_.size(); ++i) {
        indicators_[i] = SymbolLabel(area, names[i]);
        row->addWidget(indicators_[i]);
    }
    row->addSpacing(8);
    panel_ = new CNSTATLCDBox(area);
    panel_->setObjectName("panel");
    row->addWidget(panel_, 1);
    return area;
}

QWidget* CNSTATDeviceStatus::CreateIdentity()
{
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    const char* names[] = {"name", "model", "location", "port", "status", "serial", "mac"};
    for (int i = 0; i < 7; ++i) {
        grid->addWidget(new QLabel(T(5040 + i), box), i, 0);
        fields_[i] = new QLineEdit(box);
        fields_[i]->setObjectName(names[i]);
        fields_[i]->setReadOnly(true);
        fields_[i]->setFrame(false);
        grid->addWidget(fields_[i], i, 1);
    }
    auto* buttons = new QHBoxLayout;
    printerButton_ = new QPushButton(T(5050), box);
    printerButton_->setObjectName("printerButton");
    printerButton_->setEnabled(false);
    helpButton_ = new QPushButton(T(5051), box);
    helpButton_->setObjectName("helpButton");
    helpButton_->hide();
    buttons->addWidget(printerButton_);
    buttons->addWidget(helpButton_);
    buttons->addStretch(1);
    grid->addLayout(buttons, 7, 0, 1, 2);
    connect(printerButton_, &QPushButton::clicked, this, &CNSTATDeviceStatus::printerCommand);
    connect(helpButton_, &QPushButton::clicked, this, &CNSTATDeviceStatus::OpenHelp);

    selector_ = new QTreeWidget(this);
    selector_->setObjectName("viewSelector");
    selector_->setHeaderLabels({T(5070)});
    selector_->setRootIsDecorated(false);
    selector_->setIconSize(QSize(16, 16));
    connect(selector_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (filling_ || !item) return;
        emit viewChosen(selector_->indexOfTopLevelItem(item));
    });
    return box;
}

QWidget* CNSTATDeviceStatus::CreateLists()
{
    details_ = new QTreeWidget(this);
    details_->setObjectName("details");
    details_->setRootIsDecorated(false);
    details_->setAlternatingRowColors(true);
    details_->setColumnCount(2);
    return details_;
}

void CNSTATDeviceStatus::ClearFields()
{
    for (QLineEdit* f : fields_) f->clear();
    symbol_->hide();
    for (QLabel* i : indicators_) i->hide();
}

void CNSTATDeviceStatus::SetPrinterButtonEnabled(bool enabled) { printerButton_->setEnabled(enabled); }

int CNSTATDeviceStatus::SelectedView() const
{
    QTreeWidgetItem* item = selector_->currentItem();
    return item ? selector_->indexOfTopLevelItem(item) : -1;
}

QString CNSTATDeviceStatus::StatusText() const { return fields_[4]->text(); }

void CNSTATDeviceStatus::ShowStatus(const nstat::StatusResult& status)
{
    if (status.symbol) {
        symbol_->setPixmap(Symbol(status.symbol));
        symbol_->setProperty("symbol", status.symbol);
        symbol_->show();
    } else {
        symbol_->setProperty("symbol", 0);
        symbol_->hide();
    }
    // The status symbol's context help is the status's help topic.
    symbol_->setWhatsThis(status.helpTopic ? QString::number(status.helpTopic) : QString());
    for (size_t i = 0; i < indicators_.size(); ++i) {
        const int s = i < status.indicators.size() ? status.indicators[i] : 0;
        indicators_[i]->setProperty("symbol", s);
        indicators_[i]->setPixmap(s ? Symbol(s) : QPixmap());
        indicators_[i]->setVisible(s != 0);
    }
    if (status.helpButton != nstat::HelpButton::kUnchanged) {
        helpTopic_ = status.helpTopic;
        helpButton_->setVisible(status.helpButton == nstat::HelpButton::kShown);
    }
}

void CNSTATDeviceStatus::ShowPage(const nstat::DevicePage& page, bool connected)
{
    ClearFields();
    const nstat::Identity& id = page.identity;
    const std::string values[] = {id.name, id.model, id.location, id.port, id.status, id.serial, id.mac};
    for (size_t i = 0; i < fields_.size(); ++i) {
        fields_[i]->setText(Q(values[i]));
        fields_[i]->setCursorPosition(0);
    }
    ShowStatus(page.status);
    const int picture = connected ? page.picture : 0;
    picture_->setProperty("picture", picture);
    picture_->setPixmap(picture ? Picture(picture) : QPixmap());
    picture_->setVisible(picture != 0);
    panel_->setPlainText(connected ? Q(page.panel) : QString());
    FillSelector(page.views);
    if (page.view.index >= 0) ShowView(page.view);
}

void CNSTATDeviceStatus::FillSelector(const std::vector<nstat::ViewInfo>& views)
{
    bool same = views.size() == views_.size();
    for (size_t i = 0; same && i < views.size(); ++i) same = views[i].kind == views_[i].kind;
    if (same) return;
    filling_ = true;
    views_ = views;
    selector_->clear();
    details_->clear();
    currentView_ = -1;
    for (const nstat::ViewInfo& v : views) {
        auto* item = new QTreeWidgetItem(selector_, {T(v.selectorText)});
        item->setIcon(0, ViewIcon(v.icon));
    }
    filling_ = false;
}

void CNSTATDeviceStatus::ShowView(const nstat::ViewContent& view)
{
    if (view.index < 0 || view.index >= selector_->topLevelItemCount()) return;
    if (view.index != currentView_) {
        details_->clear();
        QStringList titles;
        for (const std::string& c : view.columns) titles << Q(c);
        details_->setColumnCount(std::max<int>(2, titles.size()));
        details_->setHeaderLabels(titles);
        for (const auto& row : view.rows) {
            QStringList cells;
            for (const std::string& c : row) cells << Q(c);
            new QTreeWidgetItem(details_, cells);
        }
        // Half the width for the first column, the rest less 18 pixels for the last.
        const int width = details_->viewport()->width();
        details_->setColumnWidth(0, width / 2);
        if (details_->columnCount() == 2) details_->setColumnWidth(1, std::max(40, width - width / 2 - 18));
        currentView_ = view.index;
        filling_ = true;
        selector_->setCurrentItem(selector_->topLevelItem(view.index));
        filling_ = false;
        return;
    }
    // The same view: only the values change (rows come and go with them).
    for (int r = 0; r < static_cast<int>(view.rows.size()); ++r) {
        QTreeWidgetItem* item = details_->topLevelItem(r);
        if (!item) item = new QTreeWidgetItem(details_);
        for (int c = 0; c < static_cast<int>(view.rows[r].size()); ++c) item->setText(c, Q(view.rows[r][c]));
    }
    while (details_->topLevelItemCount() > static_cast<int>(view.rows.size()))
        delete details_->takeTopLevelItem(details_->topLevelItemCount() - 1);
}

// There is no help viewer: the help page opens in the desktop's browser at
// the status's topic, when the help is installed.
void CNSTATDeviceStatus::OpenHelp()
{
    const QString file = QString::fromStdString(qavplatform::ProgramDir()) + T(kHelpFileText);
    if (!QFileInfo::exists(file)) {
        ShowMessage(MessageKind::kInformation, T(5000), TF(kHelpMissingText, {file.toStdString()}));
        return;
    }
    QUrl url = QUrl::fromLocalFile(file);
    url.setFragment(QString::number(helpTopic_));
    QDesktopServices::openUrl(url);
}

} // namespace nstatapp

#include "PrinterDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "Texts.h"
#include "nload/Setup.h"
#include "qavplatform/Address.h"

namespace nloadui {

namespace {

enum DialogText : int {
    kSelectTitle = 3100,
    kAddButton = 3101,
    kRemoveButton = 3102,
    kAddTitle = 3103,
    kPortLabel = 3104,
    kAddressLabel = 3105,
    kTcpPortLabel = 3106,
    kBaudLabel = 3107,
    kBitsLabel = 3108,
    kParityLabel = 3109,
    kStopLabel = 3110,
    kBlockTransfer = 3111,
    kEnterAddress = 3112,
    kInfoTitle = 3130,
    kInfoReading = 3131,
    kNoneChecked = 4420,
    kModelsDiffer = 4421,
    kCannotAdd = 6002,
    kColumnPrinter = 10001,
    kColumnPort = 10002,
    kColumnAddress = 10003,
    kColumnModel = 10004,
};

constexpr int kBaudRates[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};
// Printers read at once: a list of silent printers costs their SNMP
// time-out once per group, not once per printer.
constexpr int kParallelReads = 8;

QString ModelText(const nload::PrinterInfo& p) { return Q(p.model.empty() ? p.usbName : p.model); }

} // namespace

// ---------------------------------------------------------------- CGetPrtInfo

CGetPrtInfo::CGetPrtInfo(nload::Environment& env, std::vector<nload::PrinterInfo>& printers, QWidget* parent)
    : QDialog(parent), env_(env), printers_(printers)
{
    setWindowTitle(T(kInfoTitle));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(T(kInfoReading), this));
    auto* bar = new QProgressBar(this);
    bar->setRange(0, 0);
    layout->addWidget(bar);
}

CGetPrtInfo::~CGetPrtInfo()
{
    if (worker_.joinable()) worker_.join();
}

int CGetPrtInfo::exec()
{
    // The reads run on a worker; the window closes when it reports back.
    worker_ = std::thread([this] {
        nload::ReadTargetInfo(env_, printers_, kParallelReads);
        QMetaObject::invokeMethod(this, [this] { done(QDialog::Accepted); }, Qt::QueuedConnection);
    });
    const int result = QDialog::exec();
    worker_.join();
    return result;
}

void ReadInformation(nload::Environment& env, std::vector<nload::PrinterInfo>& printers, QWidget* parent)
{
    bool network = false;
    for (const nload::PrinterInfo& p : printers) network = network || p.kind == nload::PortKind::kNetwork;
    if (!network) return;
    CGetPrtInfo dialog(env, printers, parent);
    dialog.exec();
}

// ---------------------------------------------------------------- CAppPrinter

CAppPrinter::CAppPrinter(std::vector<nload::PortChoice> ports, QWidget* parent)
    : QDialog(parent), ports_(std::move(ports))
{
    setWindowTitle(Plain(kAddTitle));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    port_ = new QComboBox(this);
    for (const nload::PortChoice& c : ports_) port_->addItem(Q(c.text));
    form->addRow(T(kPortLabel), port_);
    layout->addLayout(form);
    pages_ = new QStackedWidget(this);
    pages_->addWidget(CreateLanPage());
    pages_->addWidget(CreateSerialPage());
    pages_->addWidget(new QWidget(this)); // LPT and USB need nothing more
    layout->addWidget(pages_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAppPrinter::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAppPrinter::reject);
    layout->addWidget(buttons);
    connect(port_, &QComboBox::currentIndexChanged, this, &CAppPrinter::PortChanged);
    PortChanged(port_->currentIndex());
}

QWidget* CAppPrinter::CreateLanPage()
{
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    address_ = new QLineEdit(page);
    address_->setPlaceholderText("192.168.10.5");
    tcpPort_ = new QSpinBox(page);
    tcpPort_->setRange(1, 65535);
    tcpPort_->setValue(nload::kRawPort);
    form->addRow(T(kAddressLabel), address_);
    form->addRow(T(kTcpPortLabel), tcpPort_);
    return page;
}

QWidget* CAppPrinter::CreateSerialPage()
{
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    baud_ = new QComboBox(page);
    for (int b : kBaudRates) baud_->addItem(QString::number(b), b);
    baud_->setCurrentText("9600");
    bits_ = new QComboBox(page);
    bits_->addItems({"8", "7"});
    parity_ = new QComboBox(page);
    parity_->addItems({"N", "E", "O"});
    stop_ = new QComboBox(page);
    stop_->addItems({"1", "2"});
    block_ = new QCheckBox(T(kBlockTransfer), page);
    form->addRow(T(kBaudLabel), baud_);
    form->addRow(T(kBitsLabel), bits_);
    form->addRow(T(kParityLabel), parity_);
    form->addRow(T(kStopLabel), stop_);
    form->addRow(block_);
    return page;
}

void CAppPrinter::PortChanged(int index)
{
    if (index < 0 || index >= static_cast<int>(ports_.size())) return;
    switch (ports_[static_cast<size_t>(index)].kind) {
    case nload::PortKind::kNetwork:
    case nload::PortKind::kTcpIp: pages_->setCurrentIndex(0); break;
    case nload::PortKind::kSerial: pages_->setCurrentIndex(1); break;
    case nload::PortKind::kUsb:
    case nload::PortKind::kParallel: pages_->setCurrentIndex(2); break;
    }
}

void CAppPrinter::accept()
{
    const int index = port_->currentIndex();
    if (index < 0 || index >= static_cast<int>(ports_.size())) return;
    const nload::PortChoice& c = ports_[static_cast<size_t>(index)];
    switch (c.kind) {
    case nload::PortKind::kNetwork:
    case nload::PortKind::kTcpIp: {
        uint32_t address = 0;
        if (!qavplatform::ParseAddress(address_->text().trimmed().toStdString(), address)) {
            Message(this, Box::kWarning, kEnterAddress);
            address_->setFocus();
            return;
        }
        printer_ = nload::NetworkPrinter(qavplatform::AddressText(address), tcpPort_->value());
        break;
    }
    case nload::PortKind::kSerial:
        printer_ = nload::SerialPrinter(c.number, baud_->currentData().toInt(), bits_->currentText().toInt(),
                                        parity_->currentText().at(0).toLatin1(), stop_->currentText().toInt(),
                                        block_->isChecked());
        break;
    case nload::PortKind::kParallel: printer_ = nload::ParallelPrinter(c.number); break;
    case nload::PortKind::kUsb: printer_ = nload::UsbPrinter(c.usbPath, c.text); break;
    }
    QDialog::accept();
}

// ---------------------------------------------------------------- CSelPrinter

CSelPrinter::CSelPrinter(nload::Environment& env, std::vector<nload::PrinterInfo> known,
                         const std::vector<nload::PrinterInfo>& targets, QWidget* parent)
    : QDialog(parent), env_(env), known_(std::move(known))
{
    setWindowTitle(T(kSelectTitle));
    resize(560, 320);
    for (const nload::PrinterInfo& p : known_) {
        bool isTarget = false;
        for (const nload::PrinterInfo& t : targets) isTarget = isTarget || t.SameTarget(p);
        checked_.push_back(isTarget);
    }
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({Plain(kColumnPrinter), Plain(kColumnPort), Plain(kColumnAddress), Plain(kColumnModel)});
    layout->addWidget(list_);
    auto* row = new QHBoxLayout;
    auto* add = new QPushButton(T(kAddButton), this);
    auto* remove = new QPushButton(T(kRemoveButton), this);
    row->addWidget(add);
    row->addWidget(remove);
    row->addStretch();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    row->addWidget(buttons);
    layout->addLayout(row);
    connect(add, &QPushButton::clicked, this, &CSelPrinter::Add);
    connect(remove, &QPushButton::clicked, this, &CSelPrinter::RemoveCurrent);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSelPrinter::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSelPrinter::reject);
    connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        const int i = list_->indexOfTopLevelItem(item);
        if (column == 0 && i >= 0) checked_[static_cast<size_t>(i)] = item->checkState(0) == Qt::Checked;
    });
    addDialog_ = [](QWidget* parent, nload::PrinterInfo& printer) {
        CAppPrinter dialog(nload::AvailablePorts(), parent);
        if (dialog.exec() != QDialog::Accepted) return false;
        printer = dialog.Printer();
        return true;
    };
    Fill();
}

void CSelPrinter::Fill()
{
    const QSignalBlocker block(list_);
    list_->clear();
    for (size_t i = 0; i < known_.size(); ++i) {
        const nload::PrinterInfo& p = known_[i];
        auto* item = new QTreeWidgetItem(list_, {Q(p.DisplayName()), Q(p.PortText()), Q(p.WhereText()), ModelText(p)});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, checked_[i] ? Qt::Checked : Qt::Unchecked);
    }
    for (int c = 0; c < list_->columnCount(); ++c) list_->resizeColumnToContents(c);
}

bool CSelPrinter::AddPrinter(nload::PrinterInfo printer)
{
    for (const nload::PrinterInfo& p : known_) {
        if (p.SameTarget(printer)) {
            Message(this, Box::kError, kCannotAdd, Q(p.DisplayName()));
            return false;
        }
    }
    std::vector<nload::PrinterInfo> one = {std::move(printer)};
    ReadInformation(env_, one, this);
    known_.push_back(std::move(one.front()));
    checked_.push_back(true);
    Fill();
    return true;
}

void CSelPrinter::Add()
{
    nload::PrinterInfo printer;
    if (addDialog_ && addDialog_(this, printer)) AddPrinter(std::move(printer));
}

void CSelPrinter::RemoveCurrent()
{
    const int i = list_->indexOfTopLevelItem(list_->currentItem());
    if (i < 0) return;
    known_.erase(known_.begin() + i);
    checked_.erase(checked_.begin() + i);
    Fill();
}

void CSelPrinter::accept()
{
    std::vector<nload::PrinterInfo> checked;
    for (size_t i = 0; i < known_.size(); ++i) {
        if (checked_[i]) checked.push_back(known_[i]);
    }
    if (const int refusal = nload::SelectionRefusal(checked)) {
        Message(this, Box::kWarning, refusal);
        return;
    }
    targets_ = std::move(checked);
    QDialog::accept();
}

} // namespace nloadui

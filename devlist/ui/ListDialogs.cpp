#include "ListDialogs.h"

#include <QApplication>
#include <QEventLoop>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <thread>

#include "DeviceModel.h"
#include "ListEditing.h"
#include "ListView.h"
#include "nlist/Nlist.h"
#include "qavsettings/SettingsFiles.h"

namespace nlist::ui {

namespace {

QDialogButtonBox* OkCancel(QDialog* d, int okText, int cancelText, QPushButton** ok = nullptr,
                           QPushButton** cancel = nullptr)
{
    auto* box = new QDialogButtonBox(d);
    QPushButton* o = box->addButton(T(okText), QDialogButtonBox::AcceptRole);
    QPushButton* c = box->addButton(T(cancelText), QDialogButtonBox::RejectRole);
    o->setDefault(true);
    QObject::connect(box, &QDialogButtonBox::accepted, d, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, d, &QDialog::reject);
    if (ok) *ok = o;
    if (cancel) *cancel = c;
    return box;
}

std::string Std(const QLineEdit* e) { return e->text().toStdString(); }

} // namespace

// ---------------------------------------------------------------- add printer

CNLISTAddPrinter::CNLISTAddPrinter(int, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(T(2170));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(T(2171), this));
    address_ = new AddressEdit(this);
    layout->addWidget(address_);
    progress_ = new QLabel(this);
    layout->addWidget(progress_);
    layout->addWidget(OkCancel(this, 2155, 2156, &ok_, &cancel_));
}

void CNLISTAddPrinter::accept()
{
    ok_->setEnabled(false);
    cancel_->setEnabled(false);
    const auto fields = address_->Fields();
    const std::string f[4] = {fields[0], fields[1], fields[2], fields[3]};
    uint32_t a = 0;
    if (const int refusal = AddPrinterRefusal(f, &a)) {
        Message(this, Box::kError, 2170, refusal);
        ok_->setEnabled(true);
        cancel_->setEnabled(true);
        address_->Field(0)->setFocus();
        return;
    }
    // The printer is read on a worker so that the window keeps painting
    // while it answers (or times out); the dialog stays modal meanwhile.
    progress_->setText(T(2174));
    std::atomic<bool> done{false};
    int index = -1;
    std::thread reader([&] {
        index = AddPrinter(a);
        done = true;
    });
    QEventLoop wait;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &wait, [&] {
        if (done) wait.quit();
    });
    poll.start(20);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    reader.join();
    added_ = index;
    QDialog::accept();
}

// ---------------------------------------------------------------- group dialog

CNLISTCreateGroup::CNLISTCreateGroup(int editIndex, QWidget* parent) : QDialog(parent), editIndex_(editIndex)
{
    setWindowTitle(T(2140));
    auto* grid = new QGridLayout(this);
    int row = 0;
    grid->addWidget(new QLabel(T(2141), this), row, 0);
    name = new QLineEdit(this);
    name->setMaxLength(32);
    grid->addWidget(name, row++, 1, 1, 3);

    auto listRow = [&](int label, int button, QCheckBox*& check, QLineEdit*& edit, QPushButton*& open, int field) {
        check = new QCheckBox(T(label), this);
        edit = new QLineEdit(this);
        edit->setMaxLength(256);
        open = new QPushButton(T(button), this);
        grid->addWidget(check, row, 0);
        grid->addWidget(edit, row, 1, 1, 2);
        grid->addWidget(open, row++, 3);
        QLineEdit* target = edit;
        connect(open, &QPushButton::clicked, this, [this, target, field] { EditList(target, field); });
        QCheckBox* c = check;
        QPushButton* b = open;
        auto enable = [c, target, b] {
            target->setEnabled(c->isChecked());
            b->setEnabled(c->isChecked());
        };
        connect(check, &QCheckBox::toggled, this, enable);
        enable();
    };
    listRow(2142, 2151, useModel, model, modelList, kValueModel);
    listRow(2143, 2152, useLocation, location, locationList, kValueLocation);
    listRow(2144, 2153, useManager, manager, managerList, kValueManager);
    listRow(2145, 2154, useComment, comment, commentList, kValueComment);

    useSerial = new QCheckBox(T(2146), this);
    serialFrom = new QLineEdit(this);
    serialTo = new QLineEdit(this);
    serialFrom->setMaxLength(16);
    serialTo->setMaxLength(16);
    grid->addWidget(useSerial, row, 0);
    grid->addWidget(serialFrom, row, 1);
    auto* toLabel = new QLabel(T(2147), this);
    auto* serialBox = new QHBoxLayout;
    serialBox->addWidget(toLabel);
    serialBox->addWidget(serialTo);
    grid->addLayout(serialBox, row++, 2, 1, 2);
    auto serialEnable = [this] {
        serialFrom->setEnabled(useSerial->isChecked());
        serialTo->setEnabled(useSerial->isChecked());
    };
    connect(useSerial, &QCheckBox::toggled, this, serialEnable);

    useAddress = new QCheckBox(T(2148), this);
    address = new AddressEdit(this);
    grid->addWidget(useAddress, row, 0);
    grid->addWidget(address, row++, 1, 1, 3);
    connect(useAddress, &QCheckBox::toggled, address, &QWidget::setEnabled);

    grid->addWidget(OkCancel(this, 2155, 2156), row, 0, 1, 4);

    if (editIndex_ >= 0) {
        const GroupForm f = FormOfGroup(editIndex_);
        name->setText(QString::fromStdString(f.name));
        useModel->setChecked(f.useModel);
        model->setText(QString::fromStdString(f.model));
        useLocation->setChecked(f.useLocation);
        location->setText(QString::fromStdString(f.location));
        useManager->setChecked(f.useManager);
        manager->setText(QString::fromStdString(f.manager));
        useComment->setChecked(f.useComment);
        comment->setText(QString::fromStdString(f.comment));
        useSerial->setChecked(f.useSerial);
        serialFrom->setText(QString::fromStdString(f.serialFrom));
        serialTo->setText(QString::fromStdString(f.serialTo));
        useAddress->setChecked(f.useAddress);
        address->SetFields({f.address[0], f.address[1], f.address[2], f.address[3]});
    }
    serialEnable();
    address->setEnabled(useAddress->isChecked());
    if (IsFixedGroup(editIndex_)) {
        // Every printer, the maker's printers: these two groups take no
        // criteria, only a name.
        for (QCheckBox* c : {useModel, useLocation, useManager, useComment, useSerial, useAddress}) {
            c->setChecked(false);
            c->setEnabled(false);
        }
    }
}

void CNLISTCreateGroup::EditList(QLineEdit* field, int valueField)
{
    CNLISTFilterDlg dialog(valueField, field->text(), this);
    if (dialog.exec() == QDialog::Accepted) field->setText(dialog.List());
}

void CNLISTCreateGroup::accept()
{
    GroupForm f;
    f.name = Std(name);
    f.useModel = useModel->isChecked(), f.model = Std(model);
    f.useLocation = useLocation->isChecked(), f.location = Std(location);
    f.useManager = useManager->isChecked(), f.manager = Std(manager);
    f.useComment = useComment->isChecked(), f.comment = Std(comment);
    f.useSerial = useSerial->isChecked(), f.serialFrom = Std(serialFrom), f.serialTo = Std(serialTo);
    f.useAddress = useAddress->isChecked();
    const auto fields = address->Fields();
    for (int i = 0; i < 4; ++i) f.address[i] = fields[i];
    if (const int refusal = StoreGroup(f, editIndex_, &stored_)) {
        Message(this, Box::kError, 2140, refusal);
        name->setFocus();
        return;
    }
    QDialog::accept();
}

// ------------------------------------------------------------ list-value dialog

CNLISTFilterDlg::CNLISTFilterDlg(int valueField, const QString& list, QWidget* parent)
    : QDialog(parent), field_(valueField)
{
    setWindowTitle(T(2160));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(T(2161), this));
    value = new QLineEdit(this);
    value->setMaxLength(256);
    top->addWidget(value);
    add = new QPushButton(T(2162), this);
    top->addWidget(add);
    layout->addLayout(top);
    items = new QListWidget(this);
    for (const std::string& item : SplitList(list.toStdString())) items->addItem(QString::fromStdString(item));
    layout->addWidget(items);
    auto* buttons = new QHBoxLayout;
    remove = new QPushButton(T(2163), this);
    fromCurrent = new QPushButton(T(2164), this);
    buttons->addWidget(remove);
    buttons->addWidget(fromCurrent);
    buttons->addStretch();
    layout->addLayout(buttons);
    layout->addWidget(OkCancel(this, 2167, 2168));

    auto addValue = [this](const QString& text) {
        std::vector<std::string> list = SplitList(List().toStdString());
        if (!text.isEmpty() && AddListValue(list, text.toStdString())) items->addItem(text);
    };
    connect(add, &QPushButton::clicked, this, [this, addValue] {
        addValue(value->text().trimmed());
        value->clear();
    });
    connect(remove, &QPushButton::clicked, this, [this] { delete items->currentItem(); });
    connect(fromCurrent, &QPushButton::clicked, this, [this, addValue] {
        CNLISTCurrentList current(field_, this);
        if (current.exec() == QDialog::Accepted) addValue(current.Chosen());
    });
}

QString CNLISTFilterDlg::List() const
{
    std::vector<std::string> list;
    for (int i = 0; i < items->count(); ++i) list.push_back(items->item(i)->text().toStdString());
    return QString::fromStdString(JoinList(list));
}

// --------------------------------------------------------- current-values dialog

CNLISTCurrentList::CNLISTCurrentList(int valueField, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(T(2165));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(T(2166), this));
    values = new QListWidget(this);
    for (const std::string& v : CurrentValues(valueField)) values->addItem(QString::fromStdString(v));
    if (values->count()) values->setCurrentRow(0);
    layout->addWidget(values);
    layout->addWidget(OkCancel(this, 2167, 2168));
    connect(values, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

QString CNLISTCurrentList::Chosen() const
{
    return values->currentItem() ? values->currentItem()->text() : QString();
}

// --------------------------------------------------------------- column chooser

CNLISTColumnsDlg::CNLISTColumnsDlg(const std::string& displayFile, QWidget* parent)
    : QDialog(parent), file_(displayFile)
{
    setWindowTitle(Title(2034));
    auto* layout = new QVBoxLayout(this);
    columns = new QListWidget(this);
    columns->setDragDropMode(QAbstractItemView::InternalMove);
    const qavsettings::DisplayConfig config = qavsettings::ReadDisplayConfig(file_);
    std::vector<bool> listed(kColumnTotal, false);
    auto addColumn = [&](int c, bool shown) {
        auto* item = new QListWidgetItem(QString::fromStdString(ColumnHeading(c, Language())), columns);
        item->setData(Qt::UserRole, c);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
        listed[c] = true;
    };
    for (const ShownColumn& s : ShownColumns(config))
        if (s.column != kColName) addColumn(s.column, true);
    for (int c = 1; c < kColumnTotal; ++c)
        if (!listed[c]) addColumn(c, false);
    layout->addWidget(columns);
    layout->addWidget(OkCancel(this, 2167, 2168));
}

void CNLISTColumnsDlg::accept()
{
    std::vector<int> shown;
    for (int i = 0; i < columns->count(); ++i) {
        if (columns->item(i)->checkState() == Qt::Checked) shown.push_back(columns->item(i)->data(Qt::UserRole).toInt());
    }
    qavsettings::WriteDisplayColumns(shown, file_);
    QDialog::accept();
}

} // namespace nlist::ui

// The device search settings: search at start, broadcast, other makers'
// printers, the address ranges and the time-out; import and export of
// ".qso" copies.
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QVBoxLayout>

#include "Dialogs.h"
#include "qavsettings/DataFolder.h"

namespace nsetup {

using qavsettings::FlagText;

namespace {
QString SearchFilter() { return FileFilter(4044, "*.qso", 4045); }
} // namespace

CNSETUPSearchSetting::CNSETUPSearchSetting(QWidget* parent) : SettingsDialogBase(parent)
{
    setWindowTitle(T(4030));
    searchAtStart = new QCheckBox(T(4031));
    broadcast = new QCheckBox(T(4032));
    nonVoranta = new QCheckBox(T(4033));
    startEdit = new QLineEdit;
    startEdit->setMaxLength(15);
    startEdit->setPlaceholderText("0.0.0.0");
    endEdit = new QLineEdit;
    endEdit->setMaxLength(3);
    endEdit->setValidator(new QIntValidator(0, 255, endEdit));
    addButton = new QPushButton(T(4037));
    deleteButton = new QPushButton(T(4038));
    rangeList = new QListWidget;
    timeoutEdit = new QLineEdit;
    timeoutEdit->setValidator(new QIntValidator(0, 99999, timeoutEdit));
    importButton = new QPushButton(T(4040));
    exportButton = new QPushButton(T(4041));

    connect(endEdit, &QLineEdit::textEdited, this, [this] { endEdited_ = true; });
    connect(addButton, &QPushButton::clicked, this, [this] { AddRange(); });
    connect(deleteButton, &QPushButton::clicked, this, &CNSETUPSearchSetting::DeleteRange);
    connect(importButton, &QPushButton::clicked, this, [this] {
        const QString f = AskFileName(this, false, SearchFilter(), "qso");
        if (!f.isEmpty()) ImportFrom(f.toStdString());
    });
    connect(exportButton, &QPushButton::clicked, this, [this] {
        const QString f = AskFileName(this, true, SearchFilter(), "qso");
        if (!f.isEmpty() && !ExportTo(f.toStdString())) ShowBox(BoxKind::kError, 4030, 4200);
    });

    auto* ranges = new QGroupBox(T(4034));
    auto* grid = new QGridLayout(ranges);
    grid->addWidget(new QLabel(T(4035)), 0, 0);
    grid->addWidget(startEdit, 0, 1);
    grid->addWidget(new QLabel(T(4036)), 1, 0);
    grid->addWidget(endEdit, 1, 1);
    auto* rangeButtons = new QVBoxLayout;
    rangeButtons->addWidget(addButton);
    rangeButtons->addWidget(deleteButton);
    rangeButtons->addStretch(1);
    grid->addLayout(rangeButtons, 0, 2, 3, 1);
    grid->addWidget(rangeList, 2, 0, 1, 2);

    auto* timeout = new QFormLayout;
    timeout->addRow(T(4039), timeoutEdit);
    auto* files = new QHBoxLayout;
    files->addWidget(importButton);
    files->addWidget(exportButton);
    files->addStretch(1);

    auto* body = new QVBoxLayout;
    body->addWidget(searchAtStart);
    body->addWidget(broadcast);
    body->addWidget(nonVoranta);
    body->addWidget(ranges);
    body->addLayout(timeout);
    body->addLayout(files);
    SetBody(body);

    Show(qavsettings::ReadSearchConfig(qavsettings::Reader::kSettingsDialog));
    tracker_.Start(qavsettings::SearchSettingsGroup(Collect()));
}

void CNSETUPSearchSetting::Show(const qavsettings::SearchConfig& c)
{
    searchAtStart->setChecked(c.searchAtStart == 1);
    broadcast->setChecked(c.broadcast == 1);
    nonVoranta->setChecked(c.nonVorantaPrinters == 1);
    timeoutEdit->setText(c.timeoutSeconds < 0 ? QString() : QString::number(c.timeoutSeconds));
    ranges_ = c.ranges;
    rangeList->clear();
    for (const auto& r : ranges_) rangeList->addItem(QString::fromStdString(RangeLine(r)));
}

qavsettings::SearchConfig CNSETUPSearchSetting::Collect() const
{
    qavsettings::SearchConfig c;
    c.searchAtStart = searchAtStart->isChecked() ? 1 : 0;
    c.broadcast = broadcast->isChecked() ? 1 : 0;
    c.nonVorantaPrinters = nonVoranta->isChecked() ? 1 : 0;
    c.ranges = ranges_;
    for (size_t i = 0; i < c.ranges.size(); ++i) c.ranges[i].number = static_cast<int>(i + 1);
    c.count = static_cast<int>(c.ranges.size());
    c.timeoutSeconds = qavsettings::DurationFromField(timeoutEdit->text().toStdString(), false);
    return c;
}

bool CNSETUPSearchSetting::AddRange()
{
    const auto range = RangeToAdd(startEdit->text().toStdString(), endEdit->text().toStdString(), endEdited_);
    if (!range) return false;
    ranges_.push_back(*range);
    rangeList->addItem(QString::fromStdString(RangeLine(*range)));
    endEdit->clear();
    endEdited_ = false;
    return true;
}

void CNSETUPSearchSetting::DeleteRange()
{
    const int row = rangeList->currentRow();
    if (row < 0 || row >= static_cast<int>(ranges_.size())) return;
    ranges_.erase(ranges_.begin() + row);
    delete rangeList->takeItem(row);
}

bool CNSETUPSearchSetting::ImportFrom(const std::string& path)
{
    Show(qavsettings::ReadSearchConfig(qavsettings::Reader::kSettingsDialog, path));
    return true;
}

bool CNSETUPSearchSetting::ExportTo(const std::string& path)
{
    return qavsettings::WriteSettingsGroup(qavsettings::SearchSettingsGroup(Collect()), path);
}

void CNSETUPSearchSetting::accept()
{
    const int text = CheckSearchSettings(ranges_.size(), broadcast->isChecked(), timeoutEdit->text().toStdString());
    if (text != 0) {
        ShowBox(BoxKind::kError, 4030, text);
        (text == 4047 ? startEdit : timeoutEdit)->setFocus();
        return;
    }
    const qavsettings::SettingsGroup group = qavsettings::SearchSettingsGroup(Collect());
    if (!tracker_.Changed(group)) {
        QDialog::accept();
        return;
    }
    const std::string path = qavsettings::DataFilePath(qavsettings::kSearchConfigFile);
    std::string why;
    const bool ok = qavsettings::WriteSettingsGroup(ChangeTracker::ToWrite(group, path), path, &why);
    ShowBox(ok ? BoxKind::kInformation : BoxKind::kError, 4030, ok ? 4043 : 4200,
            ok ? QString() : QString::fromStdString(why));
    QDialog::accept();
}

} // namespace nsetup

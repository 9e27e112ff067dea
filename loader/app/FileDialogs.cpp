#include "FileDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstdlib>

#include "Texts.h"
#include "nload/Report.h"

namespace nloadui {

namespace {

enum DialogText : int {
    kFileFilter = 3027,
    kChooseTitle = 3026,
    kKindLabel = 3013,
    kModelLabel = 3014,
    kVersionLabel = 3015,
    kSizeLabel = 3016,
    kChecksumLabel = 3017,
    kText1Label = 3018,
    kText2Label = 3019,
    kFtpTitle = 3200,
    kServerLabel = 3201,
    kUserLabel = 3202,
    kPasswordLabel = 3203,
    kConnectButton = 3204,
    kFileColumn = 3205,
    kSettingsTitle = 3300,
    kColourLabel = 3301,
    kColumnsLabel = 3302,
    kPreviewTitle = 3303,
    kCatalogFields = 4000,
    kFtpFailed = 4100,
    kFtpConnecting = 4101,
    kFtpListed = 4102,
    kFtpError = 4103,
    kColumnTitles = 10000, // the count, then the titles from 10001
    kColourCount = 10100,  // the count, then the colours from 10101
};

constexpr int kFieldLabels[] = {kKindLabel, kModelLabel, kVersionLabel, kSizeLabel, kChecksumLabel, kText1Label,
                                kText2Label};

QStringList FieldValues(const nload::FileInfo& info)
{
    if (info.kind == nload::kKindGaiji) return {Q(nload::KindText(Texts(), info)), "", "", "", "", "", ""};
    // Padding blanks are not shown.
    return {Q(nload::KindText(Texts(), info)),   Q(nload::TrimRight(info.model)), Q(info.version),
            Q(nload::SizeText(info)),            Q(nload::ChecksumText(info)),    Q(nload::TrimRight(info.text1)),
            Q(nload::TrimRight(info.text2))};
}

} // namespace

// -------------------------------------------------------------- TrailerFields

TrailerFields::TrailerFields(QWidget* parent) : QWidget(parent)
{
    auto* form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    for (int id : kFieldLabels) {
        auto* value = new QLabel(this);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setMinimumWidth(120);
        form->addRow(T(id), value);
        values_.push_back(value);
    }
}

void TrailerFields::Show(const nload::FileInfo& info)
{
    const QStringList v = FieldValues(info);
    for (size_t i = 0; i < values_.size(); ++i) values_[i]->setText(v[static_cast<int>(i)]);
}

void TrailerFields::Clear()
{
    for (QLabel* l : values_) l->clear();
}

QStringList TrailerFields::Values() const
{
    QStringList v;
    for (QLabel* l : values_) v << l->text();
    return v;
}

// ----------------------------------------------------------------- CSelDLFile

CSelDLFile::CSelDLFile(QWidget* parent, const QString& folder) : QFileDialog(parent, T(kChooseTitle), folder)
{
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFile);
    setNameFilter(T(kFileFilter));
    auto* box = new QGroupBox(T(kPreviewTitle), this);
    auto* inner = new QVBoxLayout(box);
    preview_ = new TrailerFields(box);
    inner->addWidget(preview_);
    inner->addStretch();
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) grid->addWidget(box, 0, grid->columnCount(), grid->rowCount(), 1);
    connect(this, &QFileDialog::currentChanged, this, &CSelDLFile::Preview);
}

void CSelDLFile::Preview(const QString& path)
{
    const QFileInfo file(path);
    nload::Trailer trailer;
    if (!file.isFile() || file.size() < static_cast<qint64>(nload::kTrailerSize) ||
        !nload::ReadTrailer(path.toStdString(), trailer) || !nload::MagicValid(trailer)) {
        preview_->Clear();
        return;
    }
    preview_->Show(nload::InfoFromTrailer(trailer));
}

// ------------------------------------------------------------- CFtpFileSelect

CFtpFileSelect::CFtpFileSelect(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(T(kFtpTitle));
    resize(720, 400);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    server_ = new QLineEdit(this);
    user_ = new QLineEdit(this);
    password_ = new QLineEdit(this);
    password_->setEchoMode(QLineEdit::Password);
    auto* connectButton = new QPushButton(T(kConnectButton), this);
    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(server_);
    serverRow->addWidget(connectButton);
    form->addRow(T(kServerLabel), serverRow);
    form->addRow(T(kUserLabel), user_);
    form->addRow(T(kPasswordLabel), password_);
    layout->addLayout(form);
    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    QStringList headers = {Plain(kFileColumn)};
    for (int id : kFieldLabels) headers << Plain(id);
    list_->setHeaderLabels(headers);
    layout->addWidget(list_);
    status_ = new QLabel(this);
    layout->addWidget(status_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(connectButton, &QPushButton::clicked, this, &CFtpFileSelect::Connect);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFtpFileSelect::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CFtpFileSelect::reject);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &CFtpFileSelect::accept);
}

CFtpFileSelect::~CFtpFileSelect()
{
    // A fetch still connecting ends at libcurl's next progress call.
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
}

nload::FtpServer CFtpFileSelect::Server() const
{
    nload::FtpServer s;
    s.host = server_->text().trimmed().toStdString();
    s.user = user_->text().toStdString();
    s.password = password_->text().toStdString();
    return s;
}

void CFtpFileSelect::SetServer(const nload::FtpServer& server)
{
    server_->setText(Q(server.host));
    user_->setText(Q(server.user));
    password_->setText(Q(server.password));
}

void CFtpFileSelect::Connect()
{
    if (worker_.joinable()) return;
    status_->setText(T(kFtpConnecting));
    list_->clear();
    entries_.clear();
    worker_ = std::thread([this, server = Server()] {
        std::string text, error;
        const bool ok = nload::FetchCatalog(server, text, &error, &cancel_);
        QMetaObject::invokeMethod(
            this,
            [this, ok, text, error] {
                worker_.join();
                Fill(ok, text, error);
            },
            Qt::QueuedConnection);
    });
}

void CFtpFileSelect::Fill(bool ok, const std::string& text, const std::string& error)
{
    if (!ok) {
        status_->setText(T(kFtpFailed));
        Message(this, Box::kError, kFtpError, Q(error));
        emit catalogRead(false);
        return;
    }
    entries_ = nload::ParseCatalog(text, std::atoi(Texts().Get(kCatalogFields).c_str()));
    for (const nload::CatalogEntry& e : entries_) {
        QStringList columns = {Q(e.fileName)};
        columns << FieldValues(e.Info());
        new QTreeWidgetItem(list_, columns);
    }
    for (int c = 0; c < list_->columnCount(); ++c) list_->resizeColumnToContents(c);
    status_->setText(T(kFtpListed));
    emit catalogRead(true);
}

void CFtpFileSelect::accept()
{
    const int i = list_->indexOfTopLevelItem(list_->currentItem());
    if (i < 0 || i >= static_cast<int>(entries_.size())) return;
    selected_ = entries_[static_cast<size_t>(i)];
    QDialog::accept();
}

// -------------------------------------------------------------------- CExtSet

std::vector<BackColour> BackColours()
{
    std::vector<BackColour> colours;
    const int count = std::atoi(Texts().Get(kColourCount).c_str());
    for (int i = 1; i <= count; ++i) {
        const QString line = T(kColourCount + i);
        const int blank = line.indexOf(' ');
        const QString code = line.left(blank), name = blank < 0 ? line : line.mid(blank + 1);
        colours.push_back({name, code == "-" ? QColor() : QColor("#" + code)});
    }
    return colours;
}

CExtSet::CExtSet(const qavsettings::DownLoaderConfig& config, int columnCount, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(T(kSettingsTitle));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    colour_ = new QComboBox(this);
    for (const BackColour& c : BackColours()) {
        QPixmap swatch(16, 16);
        swatch.fill(c.colour.isValid() ? c.colour : palette().color(QPalette::Window));
        colour_->addItem(QIcon(swatch), c.name);
    }
    colour_->setCurrentIndex(config.backColor >= 0 && config.backColor < colour_->count() ? config.backColor : -1);
    form->addRow(T(kColourLabel), colour_);
    layout->addLayout(form);
    auto* columns = new QGroupBox(T(kColumnsLabel), this);
    auto* grid = new QGridLayout(columns);
    for (int c = 0; c < columnCount; ++c) {
        auto* shown = new QCheckBox(Plain(kColumnTitles + 1 + c), columns);
        shown->setChecked(c >= static_cast<int>(config.columns.size()) || config.columns[static_cast<size_t>(c)] != 0);
        auto* width = new QSpinBox(columns);
        width->setRange(-1, 2000);
        width->setValue(c < static_cast<int>(config.widths.size()) ? config.widths[static_cast<size_t>(c)] : -1);
        grid->addWidget(shown, c, 0);
        grid->addWidget(width, c, 1);
        shown_.push_back(shown);
        widths_.push_back(width);
    }
    layout->addWidget(columns);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CExtSet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CExtSet::reject);
    layout->addWidget(buttons);
}

qavsettings::DownLoaderConfig CExtSet::Config() const
{
    qavsettings::DownLoaderConfig c;
    c.backColor = colour_->currentIndex();
    for (size_t i = 0; i < shown_.size(); ++i) {
        c.columns.push_back(shown_[i]->isChecked() ? 1 : 0);
        c.widths.push_back(widths_[i]->value());
    }
    return c;
}

} // namespace nloadui

#include "MainWindow.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstdlib>

#include "FileDialogs.h"
#include "PrinterDialogs.h"
#include "ProgressDialog.h"
#include "Texts.h"
#include "nload/Report.h"
#include "nload/Run.h"
#include "nload/Selection.h"

namespace nloadui {

namespace {

enum WindowText : int {
    kFileLabel = 3010,
    kBrowseButton = 3011,
    kFtpButton = 3012,
    kPrintersGroup = 3020,
    kSelectButton = 3021,
    kReadButton = 3022,
    kSettingsButton = 3023,
    kDownloadButton = 3024,
    kCloseButton = 3025,
    kNoFile = 3028,
    kNoPrinters = 3029,
    kNoTrailer = 3030,
    kOlder = 5010,
    kNotNow = 5011,
    kBootMisfit = 5012,
    kColumnCount = 10000,
    kColumnTitle = 10001,
    kColumnWidth = 10011,
};

enum Column : int { kPrinter, kPort, kAddress, kModel, kVersion, kStatus };

} // namespace

CNLOADDlg::CNLOADDlg(nload::Environment& env, std::vector<nload::PrinterInfo> targets, QWidget* parent)
    : QDialog(parent), env_(env), known_(targets), targets_(std::move(targets))
{
    setWindowTitle(QString::fromLatin1(kAppTitle));
    setWindowFlag(Qt::WindowMinimizeButtonHint);
    resize(760, 480);
    columnCount_ = std::max(0, std::atoi(Texts().Get(kColumnCount).c_str()));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CreateFileGroup());
    layout->addWidget(CreatePrinterGroup(), 1);
    layout->addLayout(CreateButtons());
    fileChooser_ = [](QWidget* parent) {
        CSelDLFile dialog(parent);
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                        : QString();
    };
    downloadWindow_ = [](CDLProc& window) { window.exec(); };
    FillPrinters();
}

QWidget* CNLOADDlg::CreateFileGroup()
{
    auto* group = new QGroupBox(Plain(kFileLabel), this);
    auto* layout = new QVBoxLayout(group);
    auto* row = new QHBoxLayout;
    fileField_ = new QLineEdit(group);
    auto* browse = new QPushButton(T(kBrowseButton), group);
    auto* ftp = new QPushButton(T(kFtpButton), group);
    row->addWidget(fileField_, 1);
    row->addWidget(browse);
    row->addWidget(ftp);
    layout->addLayout(row);
    fields_ = new TrailerFields(group);
    layout->addWidget(fields_);
    connect(browse, &QPushButton::clicked, this, &CNLOADDlg::Browse);
    connect(ftp, &QPushButton::clicked, this, &CNLOADDlg::ChooseFromFtp);
    // A name typed into the field counts once it is entered (Return, or the
    // focus moving on, for example to the Download button).
    connect(fileField_, &QLineEdit::editingFinished, this, &CNLOADDlg::TakeTypedFile);
    fileField_->installEventFilter(this);
    return group;
}

void CNLOADDlg::TakeTypedFile()
{
    // A file without a trailer leaves the chosen file as it was, and the
    // field shows it again.
    const QString typed = fileField_->text().trimmed();
    if (typed == fileText_ || typingChecked_) return; // the message box takes the focus too
    typingChecked_ = true;
    if (typed.isEmpty() || !ChooseFile(typed)) fileField_->setText(fileText_);
    typingChecked_ = false;
}

bool CNLOADDlg::eventFilter(QObject* watched, QEvent* event)
{
    // Return in the file field takes the file and goes no further: the
    // dialog would otherwise press its default button and start a download
    // (of the earlier file, when the typed one has no trailer).
    if (watched == fileField_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            TakeTypedFile();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QWidget* CNLOADDlg::CreatePrinterGroup()
{
    auto* group = new QGroupBox(T(kPrintersGroup), this);
    auto* layout = new QVBoxLayout(group);
    list_ = new QTreeWidget(group);
    list_->setRootIsDecorated(false);
    QStringList headers;
    for (int c = 0; c < columnCount_; ++c) headers << T(kColumnTitle + c);
    list_->setHeaderLabels(headers);
    for (int c = 0; c < columnCount_; ++c) list_->setColumnWidth(c, std::atoi(Texts().Get(kColumnWidth + c).c_str()));
    layout->addWidget(list_);
    auto* row = new QHBoxLayout;
    auto* select = new QPushButton(T(kSelectButton), group);
    auto* read = new QPushButton(T(kReadButton), group);
    auto* settings = new QPushButton(T(kSettingsButton), group);
    row->addWidget(select);
    row->addWidget(read);
    row->addStretch();
    row->addWidget(settings);
    layout->addLayout(row);
    connect(select, &QPushButton::clicked, this, &CNLOADDlg::SelectPrinters);
    connect(read, &QPushButton::clicked, this, &CNLOADDlg::ReadInfo);
    connect(settings, &QPushButton::clicked, this, &CNLOADDlg::EditSettings);
    return group;
}

QLayout* CNLOADDlg::CreateButtons()
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    download_ = new QPushButton(T(kDownloadButton), this);
    download_->setDefault(true);
    auto* close = new QPushButton(T(kCloseButton), this);
    row->addWidget(download_);
    row->addWidget(close);
    connect(download_, &QPushButton::clicked, this, &CNLOADDlg::StartDownload);
    connect(close, &QPushButton::clicked, this, &CNLOADDlg::reject);
    return row;
}

bool CNLOADDlg::ChooseFile(const QString& path)
{
    nload::Trailer trailer;
    std::string error;
    if (!nload::ReadTrailer(path.toStdString(), trailer, &error)) {
        Message(this, Box::kError, kNoTrailer, Q(error));
        return false;
    }
    file_ = nload::InfoFromTrailer(trailer);
    filePath_ = path.toStdString();
    ftp_.reset();
    fileText_ = path;
    fileField_->setText(path);
    fields_->Show(*file_);
    FillPrinters();
    return true;
}

void CNLOADDlg::ChooseCatalogFile(const nload::FtpServer& server, const nload::CatalogEntry& entry)
{
    file_ = entry.Info();
    filePath_ = entry.RelativePath();
    ftp_ = server;
    fileText_ = Q(nload::CatalogUrl(server, filePath_));
    fileField_->setText(fileText_);
    fields_->Show(*file_);
    FillPrinters();
}

void CNLOADDlg::Browse()
{
    const QString path = fileChooser_ ? fileChooser_(this) : QString();
    if (!path.isEmpty()) ChooseFile(path);
}

void CNLOADDlg::ChooseFromFtp()
{
    CFtpFileSelect dialog(this);
    if (ftp_) dialog.SetServer(*ftp_);
    if (dialog.exec() != QDialog::Accepted || !dialog.Selected()) return;
    ChooseCatalogFile(dialog.Server(), *dialog.Selected());
}

void CNLOADDlg::AddKnown(const std::vector<nload::PrinterInfo>& printers)
{
    for (const nload::PrinterInfo& p : printers) {
        bool known = false;
        for (const nload::PrinterInfo& k : known_) known = known || k.SameTarget(p);
        if (!known) known_.push_back(p);
    }
}

void CNLOADDlg::SetTargets(std::vector<nload::PrinterInfo> targets)
{
    AddKnown(targets);
    targets_ = std::move(targets);
    FillPrinters();
}

void CNLOADDlg::SelectPrinters()
{
    CSelPrinter dialog(env_, known_, targets_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    known_ = dialog.Known();
    SetTargets(dialog.Targets());
}

void CNLOADDlg::ReadInfo()
{
    ReadInformation(env_, targets_, this);
    FillPrinters();
}

void CNLOADDlg::FillPrinters()
{
    list_->clear();
    const int kind = file_ && file_->kind >= 0 && file_->kind < nload::kKindCodes ? file_->kind : nload::kKindMain;
    for (const nload::PrinterInfo& p : targets_) {
        const QString status = p.last.code > nload::kUnderWay
                                   ? Q(nload::ErrorMessage(Texts(), p.last))
                                   : Q(p.last.status);
        new QTreeWidgetItem(list_, {Q(p.DisplayName()), Q(p.PortText()), Q(p.WhereText()),
                                    Q(p.model.empty() ? p.usbName : p.model),
                                    Q(p.versions[static_cast<size_t>(kind)]), status});
    }
}

void CNLOADDlg::ApplySettings(const qavsettings::DownLoaderConfig& config)
{
    settings_ = config;
    const std::vector<BackColour> colours = BackColours();
    QPalette pal = palette();
    const bool custom = config.backColor >= 0 && config.backColor < static_cast<int>(colours.size()) &&
                        colours[static_cast<size_t>(config.backColor)].colour.isValid();
    pal.setColor(QPalette::Window, custom ? colours[static_cast<size_t>(config.backColor)].colour
                                          : QPalette().color(QPalette::Window));
    setPalette(pal);
    setAutoFillBackground(true);
    for (int c = 0; c < columnCount_; ++c) {
        const bool shown = c >= static_cast<int>(config.columns.size()) || config.columns[static_cast<size_t>(c)] != 0;
        list_->setColumnHidden(c, !shown);
        const int width = c < static_cast<int>(config.widths.size()) ? config.widths[static_cast<size_t>(c)] : -1;
        list_->setColumnWidth(c, width > 0 ? width : std::atoi(Texts().Get(kColumnWidth + c).c_str()));
    }
}

void CNLOADDlg::EditSettings()
{
    CExtSet dialog(settings_, columnCount_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const qavsettings::DownLoaderConfig config = dialog.Config();
    qavsettings::WriteDownLoaderConfig(config);
    ApplySettings(config);
}

void CNLOADDlg::BringForward()
{
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
    Trace("brought forward");
}

// The checks before a run: a boot program that does not fit stops it; an
// older file and printers that cannot take a download now are asked about.
bool CNLOADDlg::ConfirmStart()
{
    const nload::StartCheck check = nload::CheckStart(*file_, targets_);
    if (!check.bootMisfits.empty()) {
        Message(this, Box::kError, kBootMisfit, Q(targets_[check.bootMisfits.front()].DisplayName()));
        return false;
    }
    if (!check.newerPrinters.empty() && Message(this, Box::kQuestion, kOlder) != QMessageBox::Yes) return false;
    for (nload::PrinterInfo& p : targets_) p.notServed = false;
    for (size_t i : check.busyPrinters) {
        const QString question = "\"" + Q(targets_[i].DisplayName()) + "\" " + T(kNotNow);
        if (Message(this, Box::kQuestion, question) != QMessageBox::Yes) return false;
        targets_[i].notServed = true;
    }
    return true;
}

bool CNLOADDlg::StartDownload()
{
    if (!file_) {
        Message(this, Box::kWarning, kNoFile);
        return false;
    }
    if (targets_.empty()) {
        Message(this, Box::kWarning, kNoPrinters);
        return false;
    }
    if (!ConfirmStart()) return false;
    nload::RunSetup setup;
    setup.filePath = filePath_;
    setup.ftp = ftp_;
    setup.file = *file_;
    setup.printers = targets_;
    setup.timing = timing_;
    CDLProc window(env_, std::move(setup), this);
    if (downloadWindow_) downloadWindow_(window);
    if (window.Ended()) {
        // The printers keep their results (and new versions) in the list.
        const std::vector<nload::PrinterInfo> done = window.Run().Printers();
        for (size_t i = 0; i < done.size() && i < targets_.size(); ++i) targets_[i] = done[i];
        FillPrinters();
    }
    return true;
}

} // namespace nloadui

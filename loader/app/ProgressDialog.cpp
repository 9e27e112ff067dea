#include "ProgressDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "Texts.h"

namespace nloadui {

namespace {

enum WindowText : int {
    kSaveTitle = 3002,
    kReportFilter = 3031,
    kTitle = 3250,
    kPrinterLabel = 3251,
    kTotalLabel = 3252,
    kSaveButton = 3253,
    kStopButton = 3254,
    kStopQuestion = 3255,
    kStopping = 3256,
    kSaveFailed = 3032,
    kFileLabel = 8020,
};

constexpr int kTickMs = 100;

} // namespace

CDLProc::CDLProc(nload::Environment& env, nload::RunSetup setup, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(T(kTitle));
    setModal(true);
    resize(560, 400);
    for (const nload::PrinterInfo& p : setup.printers) names_.push_back(p.DisplayName());
    // A file of an FTP server's catalog by its address, as the report names it.
    const QString file = Q(setup.ftp ? nload::CatalogUrl(*setup.ftp, setup.filePath) : setup.filePath);

    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(T(kFileLabel), new QLabel(file, this));
    status_ = new QLabel(this);
    form->addRow(T(kPrinterLabel), status_);
    printerBar_ = new QProgressBar(this);
    printerBar_->setFormat("0 / 0");
    form->addRow(QString(), printerBar_);
    totalBar_ = new QProgressBar(this);
    totalBar_->setRange(0, 100);
    totalBar_->setFormat("%p%");
    form->addRow(T(kTotalLabel), totalBar_);
    layout->addLayout(form);
    log_ = new QPlainTextEdit(this);
    log_->setReadOnly(true);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(log_);
    auto* row = new QHBoxLayout;
    stop_ = new QPushButton(T(kStopButton), this);
    row->addWidget(stop_);
    row->addStretch();
    save_ = new QPushButton(T(kSaveButton), this);
    ok_ = new QPushButton(tr("OK"), this);
    save_->setEnabled(false);
    ok_->setEnabled(false);
    row->addWidget(save_);
    row->addWidget(ok_);
    layout->addLayout(row);
    connect(ok_, &QPushButton::clicked, this, &CDLProc::accept);
    connect(save_, &QPushButton::clicked, this, &CDLProc::Save);
    connect(stop_, &QPushButton::clicked, this, &CDLProc::AskStop);

    chooser_ = [](QWidget* parent) {
        return QFileDialog::getSaveFileName(parent, T(kSaveTitle), QString(), T(kReportFilter));
    };
    run_ = std::make_unique<nload::DownloadRun>(env, Texts(), std::move(setup));
    timer_ = new QTimer(this);
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, &CDLProc::Tick);
}

CDLProc::~CDLProc() = default;

void CDLProc::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Start();
}

void CDLProc::Start()
{
    if (started_) return;
    started_ = true;
    run_->Start();
    timer_->start();
}

void CDLProc::reject()
{
    if (ended_ || !started_) {
        QDialog::reject();
        return;
    }
    AskStop(); // the window closes with OK once the run has ended
}

bool CDLProc::AskStop()
{
    if (ended_ || run_->Stopping()) return false;
    if (Message(this, Box::kQuestion, kStopQuestion) != QMessageBox::Yes) return false;
    run_->StopBeforeNext();
    stop_->setEnabled(false);
    return true;
}

void CDLProc::Tick()
{
    const nload::RunSnapshot s = run_->Snapshot();
    if (s.log != shownLog_) {
        shownLog_ = s.log;
        log_->setPlainText(Q(s.log));
        log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
    }
    if (s.current >= 0 && s.current < static_cast<int>(s.printers.size())) {
        const nload::PrinterProgress& p = s.printers[static_cast<size_t>(s.current)];
        QString step = p.statusText ? T(p.statusText) : QString();
        if (run_->Stopping() && !p.done) step += "  " + T(kStopping);
        status_->setText(Q(names_[static_cast<size_t>(s.current)]) + "  " + step);
        printerBar_->setRange(0, std::max(1, s.dataLength));
        printerBar_->setValue(std::min(p.sent, s.dataLength));
        printerBar_->setFormat(QString("%1 / %2").arg(p.sent).arg(s.dataLength));
    }
    totalBar_->setValue(s.TotalPercent());
    if (!s.finished) return;
    timer_->stop();
    ended_ = true;
    ok_->setEnabled(true);
    save_->setEnabled(true);
    stop_->setEnabled(false);
    emit runEnded();
}

bool CDLProc::SaveReport(const QString& path)
{
    errno = 0;
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    out << nload::BuildReport(Texts(), run_->Report());
    out.close();
    if (!out) {
        const int error = errno;
        Message(this, Box::kError, kSaveFailed, path + (error ? ": " + Q(std::strerror(error)) : QString()));
        return false;
    }
    return true;
}

void CDLProc::Save()
{
    QString path = chooser_ ? chooser_(this) : QString();
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += ".txt";
    SaveReport(path);
}

} // namespace nloadui

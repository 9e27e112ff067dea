#include "SearchProgressDialog.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "DeviceModel.h"
#include "qavres/Resources.h"

namespace nlist {

namespace {

QString Text(int id) { return QString::fromStdString(Language().Get(id)); }

} // namespace

// Hands the worker's reports to the window thread, one queued call each.
class SearchProgressDialog::Relay : public SearchObserver {
public:
    explicit Relay(SearchProgressDialog* dialog) : dialog_(dialog) {}
    void OnProgress(const SearchProgress& progress) override
    {
        QMetaObject::invokeMethod(dialog_, [d = dialog_, progress] { d->Show(progress); }, Qt::QueuedConnection);
    }
    void OnMessage(const std::string& text) override
    {
        const QString message = QString::fromStdString(text);
        QMetaObject::invokeMethod(dialog_, [d = dialog_, message] { d->ShowMessage(message); }, Qt::QueuedConnection);
    }

private:
    SearchProgressDialog* dialog_;
};

SearchProgressDialog::SearchProgressDialog(SearchSettings settings, QWidget* parent)
    : QDialog(parent), search_(std::move(settings)), relay_(std::make_unique<Relay>(this))
{
    const int seconds = search_.Settings().timeoutSeconds;
    setWindowTitle(Text(2180));
    setModal(true);
    message_ = new QLabel(Text(2181), this);
    message_->setObjectName("message");
    bar_ = new QProgressBar(this);
    bar_->setObjectName("progress");
    bar_->setRange(0, seconds * 1000);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    seconds_ = new QLabel(QString::asprintf("%d / %d seconds", 0, seconds), this);
    seconds_->setObjectName("seconds");
    count_ = new QLabel(this);
    count_->setObjectName("count");
    count_->hide();
    button_ = new QPushButton(Text(2182), this);
    button_->setObjectName("cancel");
    connect(button_, &QPushButton::clicked, this, &SearchProgressDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    layout->addWidget(bar_);
    layout->addWidget(seconds_);
    layout->addWidget(count_);
    layout->addWidget(button_, 0, Qt::AlignHCenter);
    setMinimumWidth(360);
    last_.timeoutSeconds = seconds;
}

SearchProgressDialog::~SearchProgressDialog()
{
    if (worker_.joinable()) {
        search_.Stop();
        worker_.join();
    }
}

void SearchProgressDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!worker_.joinable()) Start();
}

void SearchProgressDialog::Start()
{
    worker_ = std::thread([this] { search_.Run(relay_.get()); });
}

void SearchProgressDialog::reject()
{
    // The window stays until the search has ended; the worker then closes it.
    if (worker_.joinable()) search_.Cancel();
    else QDialog::reject();
}

void SearchProgressDialog::Show(const SearchProgress& p)
{
    last_ = p;
    switch (p.phase) {
    case SearchPhase::kDiscovery: {
        const int limit = p.timeoutSeconds * 1000;
        bar_->setValue(std::min(p.elapsedMs, limit));
        seconds_->setText(QString::asprintf("%d / %d seconds", std::min(p.elapsedMs, limit) / 1000, p.timeoutSeconds));
        break;
    }
    case SearchPhase::kProcessing:
        if (!processing_) {
            processing_ = true;
            bar_->setRange(0, std::max(p.found, 1));
            message_->setText(Text(2183));
            seconds_->hide();
            count_->show();
        }
        bar_->setValue(p.position);
        count_->setText(QString::asprintf("%d", p.merged));
        break;
    case SearchPhase::kFinished:
        if (worker_.joinable()) worker_.join();
        count_->setText(QString::asprintf("%d", p.merged));
        accept();
        break;
    }
}

void SearchProgressDialog::ShowMessage(const QString& text)
{
    // Each failure is told once per search; the box does not hold the search.
    if (shownMessages_.contains(text)) return;
    shownMessages_.append(text);
    auto* box = new QMessageBox(QMessageBox::Critical, QString::fromUtf8(qavres::kErrorCaption), text, QMessageBox::Ok,
                                this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace nlist

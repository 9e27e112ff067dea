#include "PrinterWorker.h"

#include "Texts.h"
#include "ncomm/QBPResult.h"

namespace nstatapp {

// The printer link with a stop switch: once stopped, every call fails at
// once without an exchange.
class PrinterWorker::StoppableLink : public nstat::PrinterLink {
public:
    explicit StoppableLink(std::unique_ptr<nstat::PrinterLink> link) : link_(std::move(link)) {}
    void Stop() { stopped_ = true; }

    nstat::Outcome Read(std::vector<nstat::ObjectRequest>& requests) override
    {
        return stopped_ ? Stopped() : link_->Read(requests);
    }
    nstat::Outcome ReadTable(const std::vector<nstat::ObjectRequest>& columns, nstat::TableRows& rows) override
    {
        return stopped_ ? Stopped() : link_->ReadTable(columns, rows);
    }
    nstat::Outcome WriteInteger(int object, int value) override
    {
        return stopped_ ? Stopped() : link_->WriteInteger(object, value);
    }
    nstat::Outcome WriteString(int object, const std::string& value) override
    {
        return stopped_ ? Stopped() : link_->WriteString(object, value);
    }
    nstat::Outcome ReadInstance(const std::vector<int>& objects, const std::string& instance,
                                std::vector<std::string>& values) override
    {
        return stopped_ ? Stopped() : link_->ReadInstance(objects, instance, values);
    }

private:
    static nstat::Outcome Stopped()
    {
        nstat::Outcome o;
        o.code = QBP_NOT_OPEN;
        return o;
    }
    std::unique_ptr<nstat::PrinterLink> link_;
    std::atomic<bool> stopped_{false};
};

PrinterWorker::PrinterWorker(std::unique_ptr<nstat::PrinterLink> link, uint32_t address, QObject* parent)
    : QObject(parent), link_(std::make_unique<StoppableLink>(std::move(link)))
{
    printer_ = std::make_unique<nstat::Printer>(*link_, Language(), address);
    context_ = new QObject;
    context_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, context_, &QObject::deleteLater);
    thread_.setObjectName("printer");
    thread_.start();
}

PrinterWorker::~PrinterWorker() { Stop(-1); }

bool PrinterWorker::Stop(int waitMs)
{
    link_->Stop();
    thread_.quit();
    if (waitMs < 0) return thread_.wait();
    return thread_.wait(QDeadlineTimer(waitMs));
}

void PrinterWorker::Finished()
{
    if (--pending_ == 0) emit idle();
}

} // namespace nstatapp

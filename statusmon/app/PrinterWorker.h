// The one thread on which the status monitor talks to its printer. Jobs run
// there one after another in the order they were posted, each with the
// Printer (state and link) that only this thread touches; a job's result
// comes back to the window thread through a queued call, so no exchange
// with the printer ever holds up the window.
//
// Stop() lets the exchange under way end and refuses every later one, so
// that the program can end after at most one exchange's time-out.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

#include "nstat/Printer.h"

namespace nstatapp {

class PrinterWorker : public QObject {
    Q_OBJECT
public:
    // The worker takes the link (SnmpLink in the program, a fake in tests).
    PrinterWorker(std::unique_ptr<nstat::PrinterLink> link, uint32_t address, QObject* parent = nullptr);
    ~PrinterWorker() override;

    // Runs job(printer) on the worker thread, then done(result) on the
    // receiver's thread, unless the receiver is gone by then.
    template <class Result>
    void Run(QObject* receiver, std::function<Result(nstat::Printer&)> job, std::function<void(Result)> done)
    {
        ++pending_;
        QPointer<QObject> guard(receiver);
        QMetaObject::invokeMethod(
            context_,
            [this, guard, job = std::move(job), done = std::move(done)] {
                auto result = std::make_shared<Result>(job(*printer_));
                QMetaObject::invokeMethod(
                    this,
                    [this, guard, done, result] {
                        if (guard) done(*result);
                        Finished();
                    },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    }

    // Jobs posted whose results have not been handed back yet.
    int Pending() const { return pending_; }

    // Refuses further exchanges and waits at most `waitMs` for the thread
    // to end; false when an exchange still runs (the caller then ends the
    // process without waiting for it).
    bool Stop(int waitMs);

signals:
    // The last pending job's result was handed back.
    void idle();

private:
    void Finished();

    class StoppableLink;
    QThread thread_;
    QObject* context_ = nullptr; // lives on thread_
    std::unique_ptr<StoppableLink> link_;
    std::unique_ptr<nstat::Printer> printer_;
    int pending_ = 0;
};

} // namespace nstatapp

// The job status page and the network status page (the second and third
// tabs). Like the device status page they only show what the worker read.
#pragma once

#include <QWidget>

#include <array>

#include "nstat/Printer.h"

class QLineEdit;
class QTreeWidget;

namespace nstatapp {

class CNSTATJobStatus : public QWidget {
    Q_OBJECT
public:
    explicit CNSTATJobStatus(QWidget* parent = nullptr);
    // Empties the list and shows the job's first five values, if any.
    void ShowJob(const nstat::JobPage& job);

private:
    QTreeWidget* list_ = nullptr;
};

class CNSTATNetworkStatus : public QWidget {
    Q_OBJECT
public:
    explicit CNSTATNetworkStatus(QWidget* parent = nullptr);
    // The rows are inserted on the first fill; later fills replace only
    // their values (and build them anew when the sections differ).
    void ShowNetwork(const nstat::NetworkPage& page);

private:
    std::array<QLineEdit*, 5> fields_{};
    QTreeWidget* counters_ = nullptr;
};

} // namespace nstatapp

// The progress window of the device search (dialog template 1013): the
// discovery phase counts the seconds of its window, the processing phase the
// addresses read and the printers merged. The search runs on a worker
// thread; the window follows it through queued updates and closes itself
// when the search has ended. Its button (and Escape) cancels: during the
// discovery the search goes on with what was found, during the processing it
// stops before the next address.
#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>
#include <string>
#include <thread>

#include "nlist/DeviceSearch.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace nlist {

class SearchProgressDialog : public QDialog {
    Q_OBJECT

public:
    explicit SearchProgressDialog(SearchSettings settings, QWidget* parent = nullptr);
    ~SearchProgressDialog() override;

    // What the window last showed (for its callers and the tests).
    const SearchProgress& LastProgress() const { return last_; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    class Relay;

    void Start();
    void Show(const SearchProgress& progress);
    void ShowMessage(const QString& text);

    DeviceSearch search_;
    std::unique_ptr<Relay> relay_;
    std::thread worker_;
    SearchProgress last_;
    bool processing_ = false;
    QStringList shownMessages_;

    QLabel* message_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QLabel* seconds_ = nullptr;
    QLabel* count_ = nullptr;
    QPushButton* button_ = nullptr;
};

} // namespace nlist

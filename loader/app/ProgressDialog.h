// CDLProc: the window of a download run. It starts the run (which works on
// threads of its own) and looks at it every 100 ms: the log box, the
// printer's bar ("%d / %d" bytes), the total bar ("%d%%") and the step the
// printer is at. OK and Save come on when the run has ended; until then the
// window stays. Stop (also Escape and the close box, after a question)
// lets the printer being served finish and leaves out the ones after it.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>

#include "nload/Run.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace nloadui {

class CDLProc : public QDialog {
    Q_OBJECT
public:
    CDLProc(nload::Environment& env, nload::RunSetup setup, QWidget* parent = nullptr);
    ~CDLProc() override;

    // Starts the run (also done when the window is first shown).
    void Start();
    bool Ended() const { return ended_; }
    const nload::DownloadRun& Run() const { return *run_; }

    // Writes the report; false after telling the user why not.
    bool SaveReport(const QString& path);
    // Where Save writes; tests replace the file dialog.
    using FileChooser = std::function<QString(QWidget* parent)>;
    void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

    QPlainTextEdit* LogBox() const { return log_; }
    QProgressBar* PrinterBar() const { return printerBar_; }
    QProgressBar* TotalBar() const { return totalBar_; }
    QLabel* StatusLabel() const { return status_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* SaveButton() const { return save_; }
    QPushButton* StopButton() const { return stop_; }

signals:
    void runEnded();

protected:
    void showEvent(QShowEvent* event) override;

public slots:
    void reject() override;

private:
    void Tick();
    void Save();
    // Asks whether to stop; true when the run was told to.
    bool AskStop();

    std::unique_ptr<nload::DownloadRun> run_;
    std::vector<std::string> names_;
    QTimer* timer_ = nullptr;
    QLabel* status_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QProgressBar* printerBar_ = nullptr;
    QProgressBar* totalBar_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* stop_ = nullptr;
    FileChooser chooser_;
    std::string shownLog_;
    bool started_ = false;
    bool ended_ = false;
};

} // namespace nloadui

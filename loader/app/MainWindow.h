// CNLOADDlg: the download tool's main window. The file (chosen locally
// with a preview, or from an FTP server's catalog) with its trailer's
// values, the target printers with their information, and the Download
// command, which checks the file against the printers and opens the
// download window.
#pragma once

#include <QDialog>

#include <functional>
#include <optional>
#include <vector>

#include "nload/Catalog.h"
#include "nload/Link.h"
#include "nload/Procedure.h"
#include "nload/Printer.h"
#include "nload/Trailer.h"
#include "qavsettings/SettingsFiles.h"

class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace nloadui {

class CDLProc;
class TrailerFields;

class CNLOADDlg : public QDialog {
    Q_OBJECT
public:
    CNLOADDlg(nload::Environment& env, std::vector<nload::PrinterInfo> targets, QWidget* parent = nullptr);

    // A local file: its trailer's values are taken (the magic is not
    // tested). False, after a message, when it has no trailer.
    bool ChooseFile(const QString& path);
    // A file of an FTP server's catalog.
    void ChooseCatalogFile(const nload::FtpServer& server, const nload::CatalogEntry& entry);
    // The target list; printers not known yet join the known ones.
    void SetTargets(std::vector<nload::PrinterInfo> targets);
    // Printers the selection dialog offers besides the targets.
    void AddKnown(const std::vector<nload::PrinterInfo>& printers);
    const std::vector<nload::PrinterInfo>& Targets() const { return targets_; }
    const std::optional<nload::FileInfo>& File() const { return file_; }

    // The Download command: the checks, the questions, the download window.
    // True when a run was made.
    bool StartDownload();
    // Applies window settings (colour, columns) and keeps them.
    void ApplySettings(const qavsettings::DownLoaderConfig& config);
    // Brings the window to the front (a second start of the tool asks it).
    void BringForward();

    // Seams for the tests: the file dialog, the FTP dialog, the printer
    // selection and the download window are replaceable.
    using FileChooser = std::function<QString(QWidget*)>;
    using DownloadWindow = std::function<void(CDLProc&)>;
    void SetFileChooser(FileChooser chooser) { fileChooser_ = std::move(chooser); }
    void SetDownloadWindow(DownloadWindow window) { downloadWindow_ = std::move(window); }
    // The timing of the downloads this window starts.
    void SetTiming(const nload::Timing& timing) { timing_ = timing; }

    QLineEdit* FileField() const { return fileField_; }
    const TrailerFields* Fields() const { return fields_; }
    QTreeWidget* PrinterList() const { return list_; }
    QPushButton* DownloadButton() const { return download_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* CreateFileGroup();
    void TakeTypedFile();
    QWidget* CreatePrinterGroup();
    QLayout* CreateButtons();
    void Browse();
    void ChooseFromFtp();
    void SelectPrinters();
    void ReadInfo();
    void EditSettings();
    void FillPrinters();
    bool ConfirmStart();

    nload::Environment& env_;
    std::vector<nload::PrinterInfo> known_;
    std::vector<nload::PrinterInfo> targets_;
    std::optional<nload::FileInfo> file_;
    std::string filePath_;
    std::optional<nload::FtpServer> ftp_;
    QString fileText_; // the chosen file as the field shows it
    bool typingChecked_ = false;
    nload::Timing timing_;
    qavsettings::DownLoaderConfig settings_;
    int columnCount_ = 0;

    QLineEdit* fileField_ = nullptr;
    TrailerFields* fields_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QPushButton* download_ = nullptr;
    FileChooser fileChooser_;
    DownloadWindow downloadWindow_;
};

} // namespace nloadui

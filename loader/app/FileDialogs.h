// Choosing the file: the file dialog with a preview of the download trailer
// (CSelDLFile) and the choice from the catalog of an FTP server
// (CFtpFileSelect), and the window settings (CExtSet).
#pragma once

#include <QDialog>
#include <QFileDialog>

#include <atomic>
#include <optional>
#include <thread>
#include <vector>

#include "nload/Catalog.h"
#include "nload/Trailer.h"
#include "qavsettings/SettingsFiles.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTreeWidget;

namespace nloadui {

// The trailer's fields as the preview and the main window show them.
class TrailerFields : public QWidget {
    Q_OBJECT
public:
    explicit TrailerFields(QWidget* parent = nullptr);
    void Show(const nload::FileInfo& info);
    void Clear();
    // Kind, model, version, size, checksum, text 1, text 2.
    QStringList Values() const;

private:
    std::vector<QLabel*> values_;
};

// A file dialog whose preview shows the trailer of the selected file when
// the file has one (at least 256 bytes, and a valid magic).
class CSelDLFile : public QFileDialog {
    Q_OBJECT
public:
    explicit CSelDLFile(QWidget* parent = nullptr, const QString& folder = {});
    void Preview(const QString& path);
    const TrailerFields* PreviewFields() const { return preview_; }

private:
    TrailerFields* preview_ = nullptr;
};

// The FTP server's catalog: server, user and password, a Connect button,
// and the list of the catalog's files. The catalog is fetched off the
// window thread; closing the dialog gives up a fetch still going.
class CFtpFileSelect : public QDialog {
    Q_OBJECT
public:
    explicit CFtpFileSelect(QWidget* parent = nullptr);
    ~CFtpFileSelect() override;

    nload::FtpServer Server() const;
    void SetServer(const nload::FtpServer& server);
    // The chosen line (after OK).
    std::optional<nload::CatalogEntry> Selected() const { return selected_; }

    // Starts reading the catalog (the Connect button).
    void Connect();
    bool Busy() const { return worker_.joinable(); }
    QTreeWidget* List() const { return list_; }
    QLabel* StatusLabel() const { return status_; }

signals:
    void catalogRead(bool ok);

public slots:
    void accept() override;

private:
    void Fill(bool ok, const std::string& text, const std::string& error);

    QLineEdit* server_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLabel* status_ = nullptr;
    QTreeWidget* list_ = nullptr;
    std::vector<nload::CatalogEntry> entries_;
    std::optional<nload::CatalogEntry> selected_;
    std::atomic<bool> cancel_{false};
    std::thread worker_;
};

// The colours of the window background: 0-based places of the list in the
// texts; an invalid colour stands for the desktop's own.
struct BackColour {
    QString name;
    QColor colour;
};
std::vector<BackColour> BackColours();

// The window settings: background colour and which list columns show at
// what width (QAVDownLoader.INI).
class CExtSet : public QDialog {
    Q_OBJECT
public:
    CExtSet(const qavsettings::DownLoaderConfig& config, int columnCount, QWidget* parent = nullptr);
    qavsettings::DownLoaderConfig Config() const;

    QComboBox* ColourBox() const { return colour_; }
    QCheckBox* ColumnBox(int column) const { return shown_[static_cast<size_t>(column)]; }
    QSpinBox* WidthBox(int column) const { return widths_[static_cast<size_t>(column)]; }

private:
    QComboBox* colour_ = nullptr;
    std::vector<QCheckBox*> shown_;
    std::vector<QSpinBox*> widths_;
};

} // namespace nloadui

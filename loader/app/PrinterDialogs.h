// Choosing the target printers: the selection dialog with its check boxes
// (CSelPrinter), the dialog that adds a printer by hand (CAppPrinter) and
// the small window that reads the printers' information off the window
// thread (CGetPrtInfo).
#pragma once

#include <QDialog>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "nload/Link.h"
#include "nload/Printer.h"
#include "nload/Selection.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QStackedWidget;
class QTreeWidget;
class QProgressBar;

namespace nloadui {

// Reads the information of the network printers among `printers` on a
// worker thread while it shows a busy bar; closes itself when done.
class CGetPrtInfo : public QDialog {
    Q_OBJECT
public:
    CGetPrtInfo(nload::Environment& env, std::vector<nload::PrinterInfo>& printers, QWidget* parent = nullptr);
    ~CGetPrtInfo() override;
    // Shows the window until the reads are done.
    int exec() override;

protected:
    void reject() override {} // the reads finish first

private:
    nload::Environment& env_;
    std::vector<nload::PrinterInfo>& printers_;
    std::thread worker_;
};

// Reads the printers' information with a CGetPrtInfo window over `parent`.
void ReadInformation(nload::Environment& env, std::vector<nload::PrinterInfo>& printers, QWidget* parent);

// Adds a printer by hand: its port ("LAN", the serial and parallel ports
// and the USB printers found), and the address or line parameters.
class CAppPrinter : public QDialog {
    Q_OBJECT
public:
    explicit CAppPrinter(std::vector<nload::PortChoice> ports, QWidget* parent = nullptr);
    // The printer as entered (valid after the dialog was accepted).
    nload::PrinterInfo Printer() const { return printer_; }

    QComboBox* PortBox() const { return port_; }
    QLineEdit* AddressField() const { return address_; }
    QCheckBox* BlockTransferBox() const { return block_; }

public slots:
    void accept() override;

private:
    QWidget* CreateLanPage();
    QWidget* CreateSerialPage();
    void PortChanged(int index);

    std::vector<nload::PortChoice> ports_;
    nload::PrinterInfo printer_;
    QComboBox* port_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QLineEdit* address_ = nullptr;
    QSpinBox* tcpPort_ = nullptr;
    QComboBox* baud_ = nullptr;
    QComboBox* bits_ = nullptr;
    QComboBox* parity_ = nullptr;
    QComboBox* stop_ = nullptr;
    QCheckBox* block_ = nullptr; // control 1026
};

// The known printers with check boxes; OK takes the checked ones, in list
// order, as the target list.
class CSelPrinter : public QDialog {
    Q_OBJECT
public:
    CSelPrinter(nload::Environment& env, std::vector<nload::PrinterInfo> known,
                const std::vector<nload::PrinterInfo>& targets, QWidget* parent = nullptr);

    const std::vector<nload::PrinterInfo>& Known() const { return known_; }
    const std::vector<nload::PrinterInfo>& Targets() const { return targets_; }
    QTreeWidget* List() const { return list_; }

    // Adds a printer (its information read first when it is a network
    // printer) and checks it; false, after error 6002, when it is in the
    // list already.
    bool AddPrinter(nload::PrinterInfo printer);
    // The add-printer dialog; tests replace it.
    using AddDialog = std::function<bool(QWidget* parent, nload::PrinterInfo& printer)>;
    void SetAddDialog(AddDialog dialog) { addDialog_ = std::move(dialog); }

public slots:
    void accept() override;

private:
    void Fill();
    void Add();
    void RemoveCurrent();

    nload::Environment& env_;
    std::vector<nload::PrinterInfo> known_;
    std::vector<nload::PrinterInfo> targets_;
    std::vector<bool> checked_;
    QTreeWidget* list_ = nullptr;
    AddDialog addDialog_;
};

} // namespace nloadui

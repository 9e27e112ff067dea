// The list editing dialogs of the list window: add printer, group,
// list-value and current-values, and the column chooser.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "UiCommon.h"

namespace nlist::ui {

// Puts one printer into the list by its address. It is opened from the
// selected group, but the printer joins the groups its data decide.
class CNLISTAddPrinter : public QDialog {
    Q_OBJECT
public:
    explicit CNLISTAddPrinter(int group, QWidget* parent = nullptr);
    AddressEdit* Address() const { return address_; }
    QPushButton* OkButton() const { return ok_; }
    int AddedIndex() const { return added_; }

public slots:
    void accept() override;

private:
    int added_ = -1;
    AddressEdit* address_;
    QLabel* progress_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

// Creates a user group (editIndex -1) or edits the group at editIndex.
class CNLISTCreateGroup : public QDialog {
    Q_OBJECT
public:
    explicit CNLISTCreateGroup(int editIndex, QWidget* parent = nullptr);
    int StoredIndex() const { return stored_; }

    QLineEdit* name;
    QCheckBox *useModel, *useLocation, *useManager, *useComment, *useSerial, *useAddress;
    QLineEdit *model, *location, *manager, *comment, *serialFrom, *serialTo;
    QPushButton *modelList, *locationList, *managerList, *commentList;
    AddressEdit* address;

public slots:
    void accept() override;

private:
    void EditList(QLineEdit* field, int valueField);
    int editIndex_;
    int stored_ = -1;
};

// Edits one comma-separated criterion list, one item per line.
class CNLISTFilterDlg : public QDialog {
    Q_OBJECT
public:
    CNLISTFilterDlg(int valueField, const QString& list, QWidget* parent = nullptr);
    QString List() const;

    QLineEdit* value;
    QListWidget* items;
    QPushButton *add, *remove, *fromCurrent;

private:
    int field_;
};

// The values the printers of the list already have for one field.
class CNLISTCurrentList : public QDialog {
    Q_OBJECT
public:
    CNLISTCurrentList(int valueField, QWidget* parent = nullptr);
    QString Chosen() const;
    QListWidget* values;
};

// Which columns the printer list shows, and in which order.
class CNLISTColumnsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CNLISTColumnsDlg(const std::string& displayFile, QWidget* parent = nullptr);
    QListWidget* columns;

public slots:
    void accept() override;

private:
    std::string file_;
};

} // namespace nlist::ui

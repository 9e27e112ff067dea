// The editor under the tree: for the selected parameter, a list of its
// labels (enumerations) or a field for its value (numbers, texts,
// addresses, hexadecimal numbers), and the Set button that confirms it.
#pragma once

#include <QWidget>

#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace nconfig {
struct Parameter;
}

namespace nconfig::ui {

class ValueEditor : public QWidget {
    Q_OBJECT
public:
    explicit ValueEditor(QWidget* parent = nullptr);

    // Shows the editor of the parameter's kind with the value shown in the
    // tree; an unchangeable parameter (or none) shows why not.
    void ShowParameter(const Parameter* parameter, const std::string& shownValue, bool editable);
    // The value entered: a label's shown form, or the field's text.
    QString Text() const;
    bool Editing() const;

    QComboBox* Choices() const { return choices_; }
    QLineEdit* Field() const { return field_; }
    QPushButton* SetButton() const { return set_; }

signals:
    void confirmed();

private:
    void CreateWidgets();

    QLabel* name_ = nullptr;
    QLabel* hint_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QLabel* none_ = nullptr;
    QComboBox* choices_ = nullptr;
    QLineEdit* field_ = nullptr;
    QPushButton* set_ = nullptr;
};

} // namespace nconfig::ui

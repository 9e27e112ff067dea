#include "ValueEditor.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "Ui.h"
#include "nconfig/Pages.h"
#include "nconfig/Values.h"

namespace nconfig::ui {

namespace {

enum StackPage { kNone = 0, kChoices = 1, kField = 2 };

// The value for the field: the shown form without its unit.
QString FieldText(const Parameter& p, const std::string& shown)
{
    if (shown == kUnknownValue) return QString();
    std::string text = shown;
    const std::string unit = " " + p.unit;
    if (!p.unit.empty() && text.size() >= unit.size() && text.compare(text.size() - unit.size(), unit.size(), unit) == 0)
        text.erase(text.size() - unit.size());
    return Q(text);
}

// The range beside the field: "8 .. 1000 dots", "4 .. 8" characters of a text.
QString Hint(const Parameter& p)
{
    if (p.Enumeration() || (p.low.empty() && p.high.empty())) return QString();
    QString hint = "[" + Q(p.low) + " .. " + Q(p.high) + "]";
    if (!p.unit.empty() && p.kind != kKindText) hint += " " + Q(p.unit);
    return hint;
}

} // namespace

ValueEditor::ValueEditor(QWidget* parent) : QWidget(parent) { CreateWidgets(); }

void ValueEditor::CreateWidgets()
{
    name_ = new QLabel(this);
    hint_ = new QLabel(this);
    none_ = new QLabel(T(5052), this);
    choices_ = new QComboBox(this);
    field_ = new QLineEdit(this);
    set_ = new QPushButton(T(5044), this);
    stack_ = new QStackedWidget(this);
    stack_->addWidget(none_);
    stack_->addWidget(choices_);
    stack_->addWidget(field_);

    auto* row = new QHBoxLayout;
    row->addWidget(name_);
    row->addWidget(stack_, 1);
    row->addWidget(hint_);
    row->addWidget(set_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(row);

    connect(set_, &QPushButton::clicked, this, &ValueEditor::confirmed);
    connect(field_, &QLineEdit::returnPressed, this, &ValueEditor::confirmed);
    ShowParameter(nullptr, {}, false);
}

void ValueEditor::ShowParameter(const Parameter* p, const std::string& shown, bool editable)
{
    name_->setText(p ? Q(p->name) + ":" : QString());
    hint_->clear();
    if (!p || !editable) {
        none_->setText(p ? T(5051) : T(5052));
        stack_->setCurrentIndex(kNone);
        set_->setEnabled(false);
        return;
    }
    set_->setEnabled(true);
    hint_->setText(Hint(*p));
    if (p->Enumeration()) {
        choices_->clear();
        for (int v = 0; v < p->kind; ++v) choices_->addItem(Q(DisplayValue(*p, std::to_string(v))));
        const int current = choices_->findText(Q(shown));
        choices_->setCurrentIndex(current >= 0 ? current : 0);
        stack_->setCurrentIndex(kChoices);
        return;
    }
    field_->setText(FieldText(*p, shown));
    field_->setMaxLength(p->kind == kKindText && !p->high.empty() ? std::max(1, std::atoi(p->high.c_str())) : 255);
    stack_->setCurrentIndex(kField);
    field_->selectAll();
}

QString ValueEditor::Text() const
{
    if (stack_->currentIndex() == kChoices) return choices_->currentText();
    return field_->text();
}

bool ValueEditor::Editing() const { return stack_->currentIndex() != kNone; }

} // namespace nconfig::ui

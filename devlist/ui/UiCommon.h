// What the list window and its dialogs share: the language texts as Qt
// strings, the error boxes (which tests may catch), the status icons and the
// address control.
#pragma once

#include <QIcon>
#include <QLineEdit>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <string>

namespace nlist::ui {

QString T(int id);
// A text without its mnemonic "&" and trailing "..." (for titles).
QString Title(int id);

enum class Box { kError, kExclamation, kInformation };
// Shows text `textId` (with an optional detail line) in a message box with
// caption `captionId`.
void Message(QWidget* parent, Box kind, int captionId, int textId, const QString& detail = {});
// Tests take the boxes over: the sink receives (caption, text, detail)
// instead of a box.
using MessageSink = std::function<void(int captionId, int textId, const QString& detail)>;
MessageSink SetMessageSink(MessageSink sink);

// Status icon 1..18 (an empty icon for 0 or a number without a file).
const QIcon& StatusIcon(int number);

// An IPv4 address control: four fields of 0..255. Typing moves on to the
// next field after three digits or a "."; a dotted address typed or pasted
// into a field fills the fields from there on; Backspace in an empty field
// goes back to the previous one. Only digits stay in a field, and a number
// above 255 becomes 255.
class AddressEdit : public QWidget {
    Q_OBJECT
public:
    explicit AddressEdit(QWidget* parent = nullptr);
    std::array<std::string, 4> Fields() const;
    void SetFields(const std::array<std::string, 4>& fields);
    void SetText(const QString& dotted);
    QLineEdit* Field(int i) const { return fields_[i]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Edited(int field, const QString& text);
    void Focus(int field, bool selectAll);

    std::array<QLineEdit*, 4> fields_{};
};

} // namespace nlist::ui

#include "UiCommon.h"

#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>

#include <map>

#include "DeviceModel.h"
#include "ListView.h"
#include "qavres/Resources.h"

namespace nlist::ui {

QString T(int id) { return QString::fromUtf8(Language().Get(id).c_str()); }

QString Title(int id)
{
    QString text = T(id);
    text.remove('&');
    if (text.endsWith("...")) text.chop(3);
    return text;
}

namespace {
MessageSink& Sink()
{
    static MessageSink sink;
    return sink;
}
} // namespace

MessageSink SetMessageSink(MessageSink sink)
{
    MessageSink old = std::move(Sink());
    Sink() = std::move(sink);
    return old;
}

void Message(QWidget* parent, Box kind, int captionId, int textId, const QString& detail)
{
    if (Sink()) {
        Sink()(captionId, textId, detail);
        return;
    }
    const QMessageBox::Icon icon = kind == Box::kError         ? QMessageBox::Critical
                                   : kind == Box::kExclamation ? QMessageBox::Warning
                                                               : QMessageBox::Information;
    QMessageBox box(icon, T(captionId), textId ? T(textId) : detail, QMessageBox::Ok, parent);
    if (textId && !detail.isEmpty()) box.setInformativeText(detail);
    box.exec();
}

const QIcon& StatusIcon(int number)
{
    static std::map<int, QIcon> icons;
    static const QIcon none;
    if (number < 1 || number > kIconCount) return none;
    auto it = icons.find(number);
    if (it != icons.end()) return it->second;
    const QDir dir(QString::fromStdString(qavres::ResourceDir() + "/icons"));
    const QStringList files = dir.entryList({QString::asprintf("status%02d_*.png", number)}, QDir::Files);
    QIcon icon;
    if (!files.isEmpty()) icon = QIcon(dir.filePath(files.first()));
    return icons.emplace(number, icon).first->second;
}

AddressEdit::AddressEdit(QWidget* parent) : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    for (int i = 0; i < 4; ++i) {
        fields_[i] = new QLineEdit(this);
        fields_[i]->setAlignment(Qt::AlignCenter);
        fields_[i]->setFixedWidth(fields_[i]->fontMetrics().horizontalAdvance("0000") + 10);
        fields_[i]->installEventFilter(this);
        row->addWidget(fields_[i]);
        if (i < 3) row->addWidget(new QLabel(".", this));
        // No validator: it would refuse the "." and a pasted address before
        // Edited() could spread them over the fields.
        connect(fields_[i], &QLineEdit::textEdited, this, [this, i](const QString& text) { Edited(i, text); });
    }
    row->addStretch();
}

namespace {

// The digits of a piece, at most three, as a number of at most 255.
QString Octet(const QString& piece)
{
    QString digits;
    for (QChar c : piece) {
        if (c.isDigit() && c.unicode() < 128 && digits.size() < 3) digits += c;
    }
    if (!digits.isEmpty() && digits.toInt() > 255) digits = "255";
    return digits;
}

} // namespace

void AddressEdit::Focus(int field, bool selectAll)
{
    QLineEdit* f = fields_[field];
    f->setFocus();
    if (selectAll) {
        f->selectAll();
    } else {
        f->deselect();
        f->setCursorPosition(static_cast<int>(f->text().size()));
    }
}

void AddressEdit::Edited(int field, const QString& text)
{
    // A "." typed or pasted: each piece goes to a field of its own, from
    // this one on.
    const QStringList pieces = text.split('.');
    int last = field;
    for (int k = 0; k < pieces.size() && field + k < 4; ++k) {
        last = field + k;
        // "127." ends the field; the next one keeps what it holds.
        if (k > 0 && k == pieces.size() - 1 && pieces[k].isEmpty()) break;
        const QString octet = Octet(pieces[k]);
        if (fields_[last]->text() != octet) fields_[last]->setText(octet);
    }
    const bool dotted = pieces.size() > 1;
    const QString now = fields_[last]->text();
    if (dotted && last > field && pieces.back().isEmpty()) {
        // "127." typed: on to the next field, whatever it holds, selected.
        Focus(last, true);
    } else if (now.size() == 3 && last < 3 && (!dotted || pieces.size() - 1 == last - field)) {
        // Three digits fill a field: on to the next one.
        Focus(last + 1, true);
    } else if (last != field) {
        Focus(last, false);
    }
}

bool AddressEdit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        for (int i = 0; i < 4; ++i) {
            if (watched != fields_[i]) continue;
            // Backspace at the start of a field goes back to the previous one.
            if (key->key() == Qt::Key_Backspace && i > 0 && fields_[i]->cursorPosition() == 0 &&
                !fields_[i]->hasSelectedText()) {
                Focus(i - 1, false);
                return true;
            }
            // A "." in a field that is empty has nothing to end: ignored
            // rather than moving past an empty field.
            if (key->text() == "." && fields_[i]->text().isEmpty()) return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

std::array<std::string, 4> AddressEdit::Fields() const
{
    std::array<std::string, 4> f;
    for (int i = 0; i < 4; ++i) f[i] = fields_[i]->text().trimmed().toStdString();
    return f;
}

void AddressEdit::SetFields(const std::array<std::string, 4>& f)
{
    for (int i = 0; i < 4; ++i) fields_[i]->setText(QString::fromStdString(f[i]));
}

void AddressEdit::SetText(const QString& dotted)
{
    const QStringList parts = dotted.split('.');
    for (int i = 0; i < 4; ++i) fields_[i]->setText(i < parts.size() ? parts[i] : QString());
}

} // namespace nlist::ui

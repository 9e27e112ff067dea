#include "UiCommon.h"

#include <QDir>
#include <QHBoxLayout>
#include <QIntValidator>
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
        Sink()(captionId, textId);
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
        fields_[i]->setMaxLength(3);
        fields_[i]->setValidator(new QIntValidator(0, 255, fields_[i]));
        fields_[i]->setAlignment(Qt::AlignCenter);
        fields_[i]->setFixedWidth(fields_[i]->fontMetrics().horizontalAdvance("0000") + 10);
        row->addWidget(fields_[i]);
        if (i < 3) row->addWidget(new QLabel(".", this));
        // A full field moves on to the next one.
        if (i < 3) {
            connect(fields_[i], &QLineEdit::textEdited, this, [this, i](const QString& text) {
                if (text.size() == 3) {
                    fields_[i + 1]->setFocus();
                    fields_[i + 1]->selectAll();
                }
            });
        }
    }
    row->addStretch();
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

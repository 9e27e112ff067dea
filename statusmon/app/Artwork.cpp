#include "Artwork.h"

#include <QHash>
#include <QString>

#include "qavres/Resources.h"

namespace nstatapp {

namespace {

QPixmap Load(const char* kind, int number)
{
    static QHash<QString, QPixmap> cache;
    const QString name = QString("%1%2").arg(kind).arg(number);
    auto it = cache.find(name);
    if (it != cache.end()) return *it;
    QPixmap pixmap(QString::fromStdString(qavres::ResourceDir()) + "/nstat/" + name + ".png");
    cache.insert(name, pixmap);
    return pixmap;
}

} // namespace

QPixmap Symbol(int number) { return Load("symbol", number); }
QPixmap Picture(int number) { return Load("printer", number); }
QIcon ViewIcon(int number) { return QIcon(Load("view", number)); }
QPixmap Icon(int number) { return Load("icon", number); }

} // namespace nstatapp

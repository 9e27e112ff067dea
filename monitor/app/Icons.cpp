#include "Icons.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>

#include "qavres/Resources.h"

namespace nwatch {

// A label printer with a label coming out, in the tool set's blue.
QIcon MonitorIcon()
{
    QIcon icon;
    for (int size : {16, 22, 32, 48}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal u = size / 16.0;
        p.setPen(QPen(QColor(20, 40, 80), u * 0.8));
        p.setBrush(QColor(40, 90, 170));
        p.drawRoundedRect(QRectF(1.5 * u, 5 * u, 13 * u, 7 * u), 1.5 * u, 1.5 * u);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4 * u, 1.5 * u, 8 * u, 4 * u));   // label roll
        p.drawRect(QRectF(4.5 * u, 11 * u, 7 * u, 3.5 * u)); // label out
        p.setBrush(QColor(90, 220, 90));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(11.5 * u, 7 * u, 2 * u, 2 * u)); // status lamp
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon TrayIcon(Health state)
{
    static const char* const kNames[kHealthCount] = {"unknown", "well", "warning", "error", "silent"};
    const QString base = QString::fromStdString(qavres::ResourceDir()) + "/icons/tray_" +
                         kNames[static_cast<int>(state)] + "_%1.png";
    QIcon icon;
    for (int size : {16, 22, 32, 48}) {
        const QString path = base.arg(size);
        if (QFile::exists(path)) icon.addFile(path, QSize(size, size));
    }
    return icon.isNull() ? MonitorIcon() : icon;
}

} // namespace nwatch

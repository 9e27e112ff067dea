// The status monitor's artwork by number, from share/qav/nstat (drawn by
// resources/nstat/make_artwork.py): symbols, printer pictures, the view
// selector's icons and the window and connection icons. A number without
// artwork gives a null pixmap.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace nstatapp {

QPixmap Symbol(int number);   // 36x36, 184-200 and 202
QPixmap Picture(int number);  // printer pictures, 168-240
QIcon ViewIcon(int number);   // 160-167
QPixmap Icon(int number);     // 128 window, 138 connected, 151 not answering

} // namespace nstatapp

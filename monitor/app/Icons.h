// The monitor's own icon, drawn at run time.
#pragma once

#include <QIcon>

namespace nwatch {
QIcon MonitorIcon();
}

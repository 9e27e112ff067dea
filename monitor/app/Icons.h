// The monitor's icons: its own, drawn at run time, and the tray's icon of
// each state of the fleet.
#pragma once

#include <QIcon>

#include "nwatch/FleetState.h"

namespace nwatch {
QIcon MonitorIcon();
// The tray icon of a state (the resource folder's icons/tray_<state>_<size>.png,
// made by resources/icons/make_icons.py); the monitor's own icon where they
// are missing.
QIcon TrayIcon(Health state);
}

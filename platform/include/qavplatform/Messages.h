// The five messages the programs of the tool set broadcast to each other,
// and where they travel: D-Bus signals on the user's session bus, all on
// one object path and interface, one signal per message, each signal
// carrying one 32-bit integer (the message's wParam; 0 where it means
// nothing). The sender and the receiver are in qavplatform/MessageBus.h.
//
//   "NWATCH_Exit"                  the monitor exits; status monitors end
//   "NLIST_Exit"                   the list window closed
//   "Log_Settings_Changed"         the log settings were saved
//   "Surveillance_Options_Changed" the surveillance settings were saved
//   "Update_Trap"                  the device list changed (wParam below)
#pragma once

#include <string>

namespace qavplatform {

// Where the signals travel. Broadcasts need no bus name of their own; the
// service name is the prefix for programs that offer one.
inline constexpr const char* kBusService = "org.voranta.qav";
inline constexpr const char* kBusPath = "/org/voranta/qav";
inline constexpr const char* kBusInterface = "org.voranta.qav.Messages";

enum class Message : int {
    NwatchExit = 0,
    NlistExit = 1,
    LogSettingsChanged = 2,
    SurveillanceOptionsChanged = 3,
    UpdateTrap = 4,
};
inline constexpr int kMessageCount = 5;

// wParam of "Update_Trap": what changed in the device list.
enum UpdateTrapReason : int {
    kUpdateGroupFileOpened = 1,
    kUpdatePrinterAdded = 2,
    kUpdatePrintersDeleted = 3,
    kUpdateSearchDone = 4,
};

// The message's registered name, which is also the signal's name.
const char* MessageName(Message message);
// The message for a name; false for a name that is none of the five.
bool MessageFromName(const std::string& name, Message* message);

} // namespace qavplatform

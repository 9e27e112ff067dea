// Starting a program when the user logs on, the desktop's way: an XDG
// autostart entry "${XDG_CONFIG_HOME:-~/.config}/autostart/<name>.desktop".
// The management settings use it for the monitor under the name
// "QAVPOSSurveillanceTool" (start with the session). This is the one place
// that writes, removes and reads such entries.
#pragma once

#include <string>
#include <vector>

namespace qavplatform {

// The name of the monitor's entry.
inline constexpr const char* kMonitorAutostartName = "QAVPOSSurveillanceTool";

// ${XDG_CONFIG_HOME:-~/.config}/autostart
std::string AutostartDir();

// The entry's file, or empty when `name` is not usable as a file name (names
// are letters, digits, '.', '_' and '-', not beginning with '.').
std::string AutostartFile(const std::string& name);

// Writes (or replaces) the entry: the program with its arguments, quoted as
// the desktop entry rules require (blanks, quotes, '$', '\' and '%' in paths
// survive), under the display name (the entry name when empty). kOk,
// kErrInvalidName (bad name, or a line break in an argument) or kErrIo.
int WriteAutostart(const std::string& name, const std::string& program, const std::vector<std::string>& args = {},
                   const std::string& displayName = {}, std::string* error = nullptr);

// Removes the entry; kOk also when there was none.
int RemoveAutostart(const std::string& name, std::string* error = nullptr);

// Whether the entry exists and is not switched off (Hidden=true or
// X-GNOME-Autostart-enabled=false).
bool HasAutostart(const std::string& name);

// The entry's command (program first), or empty when there is no entry.
std::vector<std::string> AutostartCommand(const std::string& name);

// The desktop-entry form of a command and back (the Exec value).
std::string DesktopExecLine(const std::vector<std::string>& command);
std::vector<std::string> SplitDesktopExecLine(const std::string& exec);

} // namespace qavplatform

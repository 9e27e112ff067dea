// The per-user values that the Windows programs kept in the registry.
//
// "Software\QAV\QAVNET" (the list window's bars and placement) becomes one
// small file per value in UserConfigDir(); the start-at-log-on value under
// "...\CurrentVersion\Run" becomes the desktop autostart entry
// "<AutostartDir()>/nwatch.desktop". Unlike the data folder, these folders are
// the user's own and are created on the first write, as a registry key is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qavsettings {

// Names of the list window's values.
inline constexpr const char* kToolBarValue = "ToolBar";
inline constexpr const char* kStatusBarValue = "StatusBar";
inline constexpr const char* kPicDisplayValue = "PicDisplay";
inline constexpr const char* kWindowPosValue = "WindowPos";

// A string value; false when it does not exist. The name must be a plain
// file name (no "/", not "." or "..").
bool ReadUserValue(std::string_view name, std::string& value);
bool WriteUserValue(std::string_view name, std::string_view value);
bool DeleteUserValue(std::string_view name);
// A 32-bit number, stored as decimal text; false when missing or not a number.
bool ReadUserNumber(std::string_view name, uint32_t& value);
bool WriteUserNumber(std::string_view name, uint32_t value);

// The list window's placement: "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d" of flags, show
// command, minimised x and y, maximised x and y, normal rectangle left, top,
// right, bottom. Flag value 2 is added while the window is maximised.
struct WindowPlacement {
    uint32_t flags = 0;
    uint32_t showCommand = 0;
    int minX = 0, minY = 0, maxX = 0, maxY = 0;
    int left = 0, top = 0, right = 0, bottom = 0;
};
std::string FormatWindowPlacement(const WindowPlacement& p);
// True only when all ten numbers parse.
bool ParseWindowPlacement(std::string_view text, WindowPlacement& p);

// The start-at-log-on entry. The Windows value is named
// "QAVPOSSurveillanceTool" and holds the quoted path of the monitor program.
inline constexpr const char* kRunValueName = "QAVPOSSurveillanceTool";
inline constexpr const char* kMonitorProgram = "nwatch";
std::string AutostartEntryPath();
bool AutostartExists();
// The program the entry starts (its Exec line unquoted), empty when none.
std::string AutostartProgram();
// Creates or replaces the entry for the program at `programPath`.
bool SetAutostart(const std::string& programPath);
// Removes it; true when it is gone afterwards.
bool RemoveAutostart();
// The monitor program beside the running one: ProgramDir() + "/nwatch".
std::string MonitorProgramPath();

} // namespace qavsettings

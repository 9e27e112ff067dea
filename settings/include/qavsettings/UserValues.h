// The per-user values that the Windows programs kept in the registry under
// "Software\QAV\QAVNET": the list window's bars and placement. They are
// stored through the platform layer's per-user values (one small file per
// value under the user's config folder, created on the first write, as a
// registry key is). The start-at-log-on entry is the platform layer's
// autostart entry (qavplatform/Autostart.h).
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

// A string value of the list window's key; false when it does not exist or
// the name is not a plain name.
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

} // namespace qavsettings

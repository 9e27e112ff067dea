// The user's own settings folder and the few named values that the tool set
// keeps per user rather than in the shared data folder (the list window's
// tool bar, status bar, always-on-top flag and placement).
//
// Folder: "${XDG_CONFIG_HOME:-~/.config}/VORANTA QAV". Each value is one
// file, "<folder>/<key>/<value name>", whose content is exactly the value's
// text (a number as decimal text). The key is a path of parts separated by
// '\' or '/' ("Software\QAV\QAVNET" becomes the folders
// "Software/QAV/QAVNET"). Every part and the value name keep letters,
// digits, '_' and '-' and write any other byte as "%XX". Names are compared
// exactly, upper and lower case apart. A value is replaced in one step
// (written beside and renamed), so readers never see half a value.
#pragma once

#include <cstdint>
#include <string>

namespace qavplatform {

// The key under which the list window keeps its values.
inline constexpr const char* kListWindowKey = "Software\\QAV\\QAVNET";

// ${XDG_CONFIG_HOME:-~/.config}/VORANTA QAV (no trailing slash).
std::string UserConfigDir();

// The file of a value, or empty when the key or name is empty or has an
// empty part.
std::string UserValueFile(const std::string& key, const std::string& name);

// Text values. Get: false when the value does not exist.
bool GetUserValue(const std::string& key, const std::string& name, std::string* value);
int SetUserValue(const std::string& key, const std::string& name, const std::string& value,
                 std::string* error = nullptr);
// kOk also when the value did not exist.
int DeleteUserValue(const std::string& key, const std::string& name, std::string* error = nullptr);

// 32-bit numbers. Get: false when missing or not a number in 0..4294967295
// (a negative number written by hand is taken modulo 2^32, as the registry
// kept it).
bool GetUserNumber(const std::string& key, const std::string& name, uint32_t* value);
int SetUserNumber(const std::string& key, const std::string& name, uint32_t value, std::string* error = nullptr);

} // namespace qavplatform

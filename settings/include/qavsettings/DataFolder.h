// Where the settings live, and the scrambling of stored passwords.
#pragma once

#include <string>
#include <string_view>

namespace qavsettings {

// The shared data folder of every program: $QAV_DATA_DIR when set and not
// empty, else "${XDG_DATA_HOME:-~/.local/share}/VORANTA QAV/QAVNetworkTool".
// No trailing slash. The programs never create it: the installation does
// (scripts/install-data).
std::string DataDir();
// DataDir() + "/" + name: the full path of a settings file, the group file or
// the temporary list file. A file beside the program is never looked at.
std::string DataFilePath(std::string_view name);

// ROT13: every ASCII letter is replaced by the letter 13 places further on in
// its own case; every other byte stays. Applying it twice restores the text.
std::string Rot13(std::string_view text);

// Whether the file at `path` holds secrets, by its name (without regard to
// case): "QAVMgmtConfig.INI" (the management password, the write community)
// and "QAVSurveyConfig.INI" (the mail account password). These are written
// readable by their owner only (mode 0600), whoever writes them.
bool HoldsSecrets(std::string_view path);

// The settings files.
inline constexpr const char* kMgmtConfigFile = "QAVMgmtConfig.INI";
inline constexpr const char* kSurveyConfigFile = "QAVSurveyConfig.INI";
inline constexpr const char* kLogConfigFile = "QAVLogConfig.INI";
inline constexpr const char* kDisplayConfigFile = "QAVDisplayConfig.INI";
inline constexpr const char* kSearchConfigFile = "QAVSearchConfig.qso";
inline constexpr const char* kDownLoaderFile = "QAVDownLoader.INI";
inline constexpr const char* kSystemToolFile = "QNASys.ini";
inline constexpr const char* kGroupFile = "QAVGroupConfig.qdl";
inline constexpr const char* kListFile = "temp.txt";

} // namespace qavsettings

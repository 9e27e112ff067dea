#include "nwatch/MonitorState.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>

namespace nwatch {

StartDecision DecideStart(int askPassword, int useSystemDefault, bool userIsAdministrator)
{
    StartDecision d;
    if (askPassword > 0) {
        d.showLogin = true;
        return d;
    }
    d.mode = (useSystemDefault != 0 && !userIsAdministrator) ? kUserMode : kAdministratorMode;
    return d;
}

bool DataFolderMissing(const std::string& folder)
{
    struct stat st{};
    return ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode);
}

namespace {

// A word for a POSIX shell: as it is when it holds only harmless
// characters, else in single quotes (a quote in it closed, escaped and
// opened again).
std::string ShellWord(const std::string& word)
{
    if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+=:,") ==
                             std::string::npos)
        return word;
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

std::string DataFolderCommand(const std::string& programDir, const std::string& dataDirVariable)
{
    static const char* const kStep = "qav-install-data";
    const std::string path = programDir + "/" + kStep;
    const std::string step = programDir.empty() || ::access(path.c_str(), X_OK) != 0 ? kStep : ShellWord(path);
    return dataDirVariable.empty() ? step : "QAV_DATA_DIR=" + ShellWord(dataDirVariable) + " " + step;
}

std::string DataFolderMessage(const std::string& format, const std::string& folder, const std::string& command)
{
    std::string text = format;
    for (const std::string* value : {&folder, &command}) {
        const size_t at = text.find("%s");
        if (at == std::string::npos) break;
        text.replace(at, 2, *value);
    }
    return text;
}

Login::Result Login::Check(const std::string& typed, const std::string& stored)
{
    const std::string t = typed.substr(0, 16);
    bool same = t.size() == stored.size();
    for (size_t i = 0; same && i < t.size(); ++i)
        same = std::tolower(static_cast<unsigned char>(t[i])) == std::tolower(static_cast<unsigned char>(stored[i]));
    if (same) return kAccepted;
    if (failures_ < 2) {
        ++failures_;
        return kRetry;
    }
    return kRefused;
}

std::vector<MenuEntry> TrayMenu(RunMode mode, bool greyed)
{
    std::vector<MenuEntry> menu;
    const bool on = !greyed;
    if (mode == kUserMode) {
        menu.push_back({kCmdListUser, 1010, false, {}, on});
        menu.push_back({0, 0, true, {}, true});
        menu.push_back({kCmdExitUser, 1014, false, {}, on});
        return menu;
    }
    // The administrator's menu; the system setting and download tools are
    // started from the list window, not from here.
    menu.push_back({kCmdListAdmin, 1010, false, {}, on});
    menu.push_back({0, 0, true, {}, true});
    MenuEntry properties{0, 1013, false, {}, on};
    properties.submenu = {{kCmdManagementSetup, 1015, false, {}, on},
                          {kCmdSurveillanceSetup, 1016, false, {}, on},
                          {kCmdLogSetup, 1017, false, {}, on}};
    menu.push_back(properties);
    menu.push_back({0, 0, true, {}, true});
    menu.push_back({kCmdExitAdmin, 1014, false, {}, on});
    return menu;
}

} // namespace nwatch

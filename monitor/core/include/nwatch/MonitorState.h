// The monitor's start-up decisions, login, and tray menus, as plain logic
// under the window layer.
#pragma once

#include <string>
#include <vector>

namespace nwatch {

// Run modes; the value doubles as the tray menu's identity.
enum RunMode { kNotStarted = 0, kAdministratorMode = 137, kUserMode = 138 };

// Menu commands.
enum Command {
    kCmdListAdmin = 32771,
    kCmdSystemTool = 32772,
    kCmdDownloadTool = 32773,
    kCmdExitAdmin = 32775,
    kCmdManagementSetup = 32776,
    kCmdSearchSetup = 32777,
    kCmdSurveillanceSetup = 32778,
    kCmdLogSetup = 32779,
    kCmdListUser = 32780,
    kCmdExitUser = 32781,
};

// How the monitor starts: with the login dialog, or at once in a mode.
struct StartDecision {
    bool showLogin = false;
    RunMode mode = kNotStarted; // when no login is shown
};
StartDecision DecideStart(int askPassword, int useSystemDefault, bool userIsAdministrator);

// The first run: the data folder (settings files, the group file) is made by
// the installation step, never by the programs. Whether `folder` is missing
// (or is no folder).
bool DataFolderMissing(const std::string& folder);
// The command that creates it: the step beside the program
// (`<programDir>/qav-install-data`, quoted for a shell when needed), or its
// bare name when it is not there; preceded by the QAV_DATA_DIR assignment
// when the folder came from that variable (`dataDirVariable`, else empty).
std::string DataFolderCommand(const std::string& programDir, const std::string& dataDirVariable = {});
// The message: text 1032 with the folder and the command in its two "%s".
std::string DataFolderMessage(const std::string& format, const std::string& folder, const std::string& command);

// The login dialog's password check: three tries.
class Login {
public:
    enum Result { kAccepted, kRetry, kRefused };
    // `storedPassword` in clear (the settings reader unscrambles it). The
    // typed text is cut to 16 characters; letters compare without regard to
    // case.
    Result Check(const std::string& typed, const std::string& storedPassword);
    int Failures() const { return failures_; }

private:
    int failures_ = 0;
};

struct MenuEntry {
    int command = 0;      // 0 for a separator or a submenu
    int textId = 0;       // language text
    bool separator = false;
    std::vector<MenuEntry> submenu;
    bool enabled = true;
};

// The tray menu of a run mode. With `greyed` (the list window open, a
// settings dialog open, or busy) every item is disabled.
std::vector<MenuEntry> TrayMenu(RunMode mode, bool greyed);

} // namespace nwatch

// The administrator test, the autostart entry (read back by GLib's own
// desktop-entry launcher) and the per-user values.
#include "PlatformTestUtil.h"

#include "qavplatform/Administrator.h"
#include "qavplatform/Autostart.h"
#include "qavplatform/Result.h"
#include "qavplatform/UserValues.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

using namespace qavplatform;
using namespace platformtest;
using qavtest::TempDir;
namespace fs = std::filesystem;

namespace {

// Runs `check` in a child process that has become the user nobody with the
// primary group nogroup (65534) and the supplementary group users (100);
// returns the child's answer.
int AsNobody(const std::function<bool()>& check)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        gid_t groups[] = {100};
        if (::setgroups(1, groups) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        ::_exit(check() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

// ------------------------------------------------------------ administrator

TEST(Administrator, GroupIsQavadminUnlessTheEnvironmentNamesAnother)
{
    {
        ScopedEnv unset("QAV_ADMIN_GROUP", std::nullopt);
        EXPECT_EQ(AdminGroup(), "qavadmin");
    }
    {
        ScopedEnv empty("QAV_ADMIN_GROUP", "");
        EXPECT_EQ(AdminGroup(), "qavadmin");
    }
    ScopedEnv other("QAV_ADMIN_GROUP", "printer-admins");
    EXPECT_EQ(AdminGroup(), "printer-admins");
}

TEST(Administrator, RootAndMembersOfTheGroupAreAdministrators)
{
    if (::geteuid() != 0) {
        // Without root: the primary group of the running user counts.
        struct group* own = ::getgrgid(::getegid());
        ASSERT_NE(own, nullptr);
        ScopedEnv group("QAV_ADMIN_GROUP", own->gr_name);
        EXPECT_TRUE(IsAdministrator());
        GTEST_SKIP() << "the rest needs root to become another user";
    }
    EXPECT_TRUE(IsAdministrator());
    {
        ScopedEnv group("QAV_ADMIN_GROUP", "users");
        EXPECT_EQ(AsNobody([] { return IsAdministrator(); }), 1) << "supplementary group";
    }
    {
        ScopedEnv group("QAV_ADMIN_GROUP", "nogroup");
        EXPECT_EQ(AsNobody([] { return IsAdministrator(); }), 1) << "primary group";
    }
    {
        ScopedEnv group("QAV_ADMIN_GROUP", "root");
        EXPECT_EQ(AsNobody([] { return IsAdministrator(); }), 0) << "a group the user is not in";
    }
    {
        ScopedEnv group("QAV_ADMIN_GROUP", "no-such-group-qav");
        EXPECT_EQ(AsNobody([] { return IsAdministrator(); }), 0) << "a group that does not exist";
    }
    EXPECT_EQ(AsNobody([] { return IsInGroup(""); }), 0);
}

// ---------------------------------------------------------------- autostart

class AutostartTest : public ::testing::Test {
protected:
    TempDir config_;
    ScopedEnv env_{"XDG_CONFIG_HOME", config_.Path()};
};

TEST_F(AutostartTest, MonitorEntryIsWrittenQueriedAndRemoved)
{
    std::string file = config_.Path() + "/autostart/QAVPOSSurveillanceTool.desktop";
    EXPECT_EQ(AutostartFile(kMonitorAutostartName), file);
    EXPECT_FALSE(HasAutostart(kMonitorAutostartName));
    EXPECT_TRUE(AutostartCommand(kMonitorAutostartName).empty());

    std::string error;
    ASSERT_EQ(WriteAutostart(kMonitorAutostartName, "/opt/VORANTA QAV/bin/nwatch", {}, "QAV Surveillance", &error), kOk)
        << error;
    EXPECT_TRUE(HasAutostart(kMonitorAutostartName));
    EXPECT_EQ(AutostartCommand(kMonitorAutostartName), std::vector<std::string>{"/opt/VORANTA QAV/bin/nwatch"});
    std::string content = qavtest::ReadFile(file);
    EXPECT_NE(content.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(content.find("Type=Application\n"), std::string::npos);
    EXPECT_NE(content.find("Name=QAV Surveillance\n"), std::string::npos);
    EXPECT_NE(content.find("Exec=\"/opt/VORANTA QAV/bin/nwatch\"\n"), std::string::npos) << content;

    // Writing again replaces the entry.
    ASSERT_EQ(WriteAutostart(kMonitorAutostartName, "/usr/bin/nwatch"), kOk);
    EXPECT_EQ(AutostartCommand(kMonitorAutostartName), std::vector<std::string>{"/usr/bin/nwatch"});

    EXPECT_EQ(RemoveAutostart(kMonitorAutostartName), kOk);
    EXPECT_FALSE(HasAutostart(kMonitorAutostartName));
    EXPECT_FALSE(FileExists(file));
    EXPECT_EQ(RemoveAutostart(kMonitorAutostartName), kOk);
}

TEST_F(AutostartTest, EntrySwitchedOffByTheDesktopDoesNotCount)
{
    fs::create_directories(AutostartDir());
    qavtest::WriteFile(AutostartFile("nwatch-off"), "[Desktop Entry]\nType=Application\nExec=nwatch\nHidden=true\n");
    EXPECT_FALSE(HasAutostart("nwatch-off"));
    qavtest::WriteFile(AutostartFile("nwatch-gnome-off"),
                       "[Desktop Entry]\nType=Application\nExec=nwatch\nX-GNOME-Autostart-enabled=false\n");
    EXPECT_FALSE(HasAutostart("nwatch-gnome-off"));
    // Keys of other groups are not the entry's.
    qavtest::WriteFile(AutostartFile("nwatch-on"),
                       "[Desktop Entry]\nType=Application\nExec=nwatch\n[Desktop Action x]\nHidden=true\n");
    EXPECT_TRUE(HasAutostart("nwatch-on"));
}

TEST_F(AutostartTest, UnusableNamesAndCommandsAreRefused)
{
    EXPECT_EQ(WriteAutostart("", "/bin/true"), kErrInvalidName);
    EXPECT_EQ(WriteAutostart("../escape", "/bin/true"), kErrInvalidName);
    EXPECT_EQ(WriteAutostart("a/b", "/bin/true"), kErrInvalidName);
    EXPECT_EQ(WriteAutostart(".hidden", "/bin/true"), kErrInvalidName);
    EXPECT_EQ(WriteAutostart("ok", "/bin/true", {"two\nlines"}), kErrInvalidName);
    EXPECT_EQ(WriteAutostart("ok", ""), kErrInvalidName);
    EXPECT_FALSE(fs::exists(AutostartDir()));
    EXPECT_EQ(RemoveAutostart("../x"), kErrInvalidName);
}

TEST_F(AutostartTest, FolderFollowsXdgConfigHomeElseHome)
{
    EXPECT_EQ(AutostartDir(), config_.Path() + "/autostart");
    TempDir home;
    ScopedEnv homeEnv("HOME", home.Path());
    ScopedEnv relative("XDG_CONFIG_HOME", "relative");
    EXPECT_EQ(AutostartDir(), home.Path() + "/.config/autostart");
    ScopedEnv unset("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(AutostartDir(), home.Path() + "/.config/autostart");
    EXPECT_EQ(UserConfigDir(), home.Path() + "/.config/VORANTA QAV");
}

TEST_F(AutostartTest, DesktopLauncherRunsTheCommandExactlyAsWritten)
{
    if (!qavtest::HaveProgram("gio")) GTEST_SKIP() << "gio (libglib2.0-bin) not installed";
    std::string folder = config_.Path() + "/VORANTA $QAV's \"tools\"";
    fs::create_directories(folder);
    std::string program = folder + "/nwatch";
    std::string out = config_.Path() + "/args";
    qavtest::WriteFile(program, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$QAV_ARGS_OUT\"\n");
    fs::permissions(program, fs::perms::owner_all);
    std::vector<std::string> args{"back\\slash", "$HOME", "100%", "quote\"d", "`cmd`", "tab\there", "plain"};
    ASSERT_EQ(WriteAutostart("qav-launch-test", program, args), kOk);
    EXPECT_EQ(AutostartCommand("qav-launch-test")[0], program);

    std::string result = qavtest::RunCommand("QAV_ARGS_OUT='" + out + "' timeout 20 gio launch '" +
                                                 AutostartFile("qav-launch-test") + "'",
                                             true);
    ASSERT_TRUE(WaitForFile(out, 10000)) << result << qavtest::ReadFile(AutostartFile("qav-launch-test"));
    std::string expected;
    for (const auto& a : args) expected += a + "\n";
    ASSERT_TRUE(WaitUntil([&] { return qavtest::ReadFile(out) == expected; }, 5000))
        << qavtest::ReadFile(out) << "\n" << qavtest::ReadFile(AutostartFile("qav-launch-test"));

    std::vector<std::string> command{program};
    command.insert(command.end(), args.begin(), args.end());
    EXPECT_EQ(AutostartCommand("qav-launch-test"), command);
}

// -------------------------------------------------------------- user values

class UserValuesTest : public ::testing::Test {
protected:
    TempDir config_;
    ScopedEnv env_{"XDG_CONFIG_HOME", config_.Path()};
};

TEST_F(UserValuesTest, ListWindowValuesAreOneFileEach)
{
    EXPECT_EQ(UserConfigDir(), config_.Path() + "/VORANTA QAV");
    std::string folder = config_.Path() + "/VORANTA QAV/Software/QAV/QAVNET";

    uint32_t number = 7;
    EXPECT_FALSE(GetUserNumber(kListWindowKey, "ToolBar", &number));
    EXPECT_EQ(number, 7u);
    ASSERT_EQ(SetUserNumber(kListWindowKey, "ToolBar", 1), kOk);
    ASSERT_EQ(SetUserNumber(kListWindowKey, "PicDisplay", 0), kOk);
    EXPECT_EQ(qavtest::ReadFile(folder + "/ToolBar"), "1");
    EXPECT_TRUE(GetUserNumber(kListWindowKey, "ToolBar", &number));
    EXPECT_EQ(number, 1u);
    EXPECT_TRUE(GetUserNumber("Software/QAV/QAVNET", "PicDisplay", &number));
    EXPECT_EQ(number, 0u);

    const std::string placement = "0,1,-1,-1,-8,-31,120,80,900,600";
    ASSERT_EQ(SetUserValue(kListWindowKey, "WindowPos", placement), kOk);
    std::string text;
    EXPECT_TRUE(GetUserValue(kListWindowKey, "WindowPos", &text));
    EXPECT_EQ(text, placement);
    EXPECT_EQ(qavtest::ReadFile(folder + "/WindowPos"), placement);

    EXPECT_EQ(DeleteUserValue(kListWindowKey, "WindowPos"), kOk);
    EXPECT_FALSE(GetUserValue(kListWindowKey, "WindowPos", &text));
    EXPECT_EQ(DeleteUserValue(kListWindowKey, "WindowPos"), kOk);
    // Names are exact: the registry's case folding is not imitated.
    EXPECT_FALSE(GetUserNumber(kListWindowKey, "toolbar", &number));
}

TEST_F(UserValuesTest, NumbersWrittenByHandAreReadCarefully)
{
    auto read = [&](const std::string& content, uint32_t* value) {
        SetUserValue(kListWindowKey, "StatusBar", content);
        return GetUserNumber(kListWindowKey, "StatusBar", value);
    };
    uint32_t value = 0;
    EXPECT_TRUE(read(" 42\n", &value));
    EXPECT_EQ(value, 42u);
    EXPECT_TRUE(read("4294967295", &value));
    EXPECT_EQ(value, 4294967295u);
    EXPECT_TRUE(read("-1", &value));
    EXPECT_EQ(value, 4294967295u);
    EXPECT_FALSE(read("4294967296", &value));
    EXPECT_FALSE(read("1x", &value));
    EXPECT_FALSE(read("", &value));
    EXPECT_FALSE(read("   ", &value));
}

TEST_F(UserValuesTest, NamesCannotLeaveTheSettingsFolder)
{
    std::string root = config_.Path() + "/VORANTA QAV/";
    EXPECT_EQ(UserValueFile("..\\..", "x"), root + "%2E%2E/%2E%2E/x");
    EXPECT_EQ(UserValueFile("Software", "../../escape"), root + "Software/%2E%2E%2F%2E%2E%2Fescape");
    ASSERT_EQ(SetUserValue("..", "..", "v"), kOk);
    EXPECT_TRUE(FileExists(root + "%2E%2E/%2E%2E"));
    EXPECT_EQ(SetUserValue("Software\\\\QAV", "x", "v"), kErrInvalidName);
    EXPECT_EQ(SetUserValue("", "x", "v"), kErrInvalidName);
    EXPECT_EQ(SetUserValue("Software", "", "v"), kErrInvalidName);
    EXPECT_EQ(SetUserValue("Software\\", "x", "v"), kErrInvalidName);
}

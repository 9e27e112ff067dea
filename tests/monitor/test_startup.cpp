// nwatch as a process at its start and its end: the lock folder it needs,
// a second monitor, the suite's own tools that keep it from starting (and
// other programs of the same names that do not), and a group file that
// cannot be saved when the session ends.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "NwatchProcess.h"
#include "TestPeers.h"

namespace {

using namespace qavtest;
namespace fs = std::filesystem;

// A program that runs until it is stopped, under the given path.
class Sleeper {
public:
    explicit Sleeper(const std::string& path)
    {
        fs::copy_file("/bin/sleep", path, fs::copy_options::overwrite_existing);
        fs::permissions(path, fs::perms::owner_all);
        process_.Start({path, "60"}, path + ".log");
        // Running once /proc shows the program's own file.
        const std::string exe = "/proc/" + std::to_string(process_.Pid()) + "/exe";
        for (int i = 0; i < 250 && fs::read_symlink(exe, error_) != fs::path(path); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

private:
    ChildProcess process_;
    std::error_code error_;
};

TEST(Startup, UnusableLockFolderEndsTheStartWithItsReason)
{
    NwatchProcess nwatch;
    TempDir runtime;
    WriteFile(runtime.File("qav"), "not a folder"); // where the lock folder should be
    const int rc = nwatch.RunToEnd({{"XDG_RUNTIME_DIR", runtime.Path()}}, 15000);
    EXPECT_NE(rc, 0) << nwatch.Log();
    EXPECT_NE(rc, -1) << "still running:\n" << nwatch.Log();
    EXPECT_NE(nwatch.Log().find("nwatch: cannot start: lock folder " + runtime.File("qav") + " is not a folder"),
              std::string::npos)
        << nwatch.Log();
}

// Without XDG_RUNTIME_DIR the lock folder is /tmp/qav-<uid>; another user
// may have made it first. Shown in a mount namespace of the monitor's own,
// where a folder of another user lies over that path.
TEST(Startup, LockFolderOfAnotherUserEndsTheStart)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a mount namespace";
    if (!HaveProgram("unshare") || RunCommand("unshare -m true 2>&1; echo rc=$?").find("rc=0") == std::string::npos)
        GTEST_SKIP() << "no mount namespaces here";
    const std::string lockDir = "/tmp/qav-" + std::to_string(::geteuid());
    ::mkdir(lockDir.c_str(), 0700); // the mount point; the monitor would make it itself
    TempDir foreign;
    ::mkdir(foreign.File("qav").c_str(), 0700);
    ASSERT_EQ(::chown(foreign.File("qav").c_str(), 65534, 65534), 0);

    NwatchProcess nwatch;
    const int rc = nwatch.RunToEnd({{"XDG_RUNTIME_DIR", ""}}, 15000, {"unshare", "-m", "--propagation", "private"},
                                   "mount --bind '" + foreign.File("qav") + "' '" + lockDir + "' || exit 99; ");
    ASSERT_NE(rc, 99) << nwatch.Log();
    EXPECT_NE(rc, 0) << nwatch.Log();
    EXPECT_NE(rc, -1) << "still running:\n" << nwatch.Log();
    EXPECT_NE(nwatch.Log().find("nwatch: cannot start: lock folder " + lockDir + " belongs to another user"),
              std::string::npos)
        << nwatch.Log();
}

TEST(Startup, SecondMonitorSaysWhyAndEnds)
{
    NwatchProcess first, second;
    ASSERT_TRUE(first.Start(FreeUdpPort(), PrepareAgentPort())) << first.Log();
    const int rc = second.RunToEnd({{"XDG_RUNTIME_DIR", first.RuntimeFolder()}}, 15000);
    EXPECT_EQ(rc, 0) << second.Log();
    EXPECT_NE(second.Log().find("nwatch: another monitor is already running for this user"), std::string::npos)
        << second.Log();
    EXPECT_TRUE(first.Running());
}

// The system setting tool and the download tool of the suite keep the
// monitor from starting; programs that only share or contain their names
// (Debian's own `nload`, a test build "nconfig-test") do not.
TEST(Startup, OnlyTheSuitesOwnToolsKeepTheMonitorFromStarting)
{
    NwatchProcess nwatch;
    TempDir elsewhere;
    Sleeper otherNload(elsewhere.File("nload"));
    Sleeper lookalike(nwatch.ProgramFolder() + "/nconfig-test");
    ASSERT_TRUE(nwatch.Start(FreeUdpPort(), PrepareAgentPort())) << nwatch.Log();
    EXPECT_EQ(nwatch.Stop(), 0) << nwatch.Log();

    Sleeper tool(nwatch.ProgramFolder() + "/nconfig");
    EXPECT_EQ(nwatch.RunToEnd({}, 15000), 0) << nwatch.Log();
    EXPECT_NE(nwatch.Log().find("The system setting tool (NCONFIG) is running"), std::string::npos) << nwatch.Log();
    EXPECT_EQ(nwatch.Log().find("nwatch: monitoring"), std::string::npos) << nwatch.Log();
}

// At the session's end (SIGTERM) the device list is saved; when that fails,
// the monitor says which file it could not write.
TEST(Startup, GroupFileThatCannotBeSavedIsNamed)
{
    NwatchProcess nwatch;
    WriteFile(nwatch.DataFile("QAVGroupConfig.qdl"), GroupFileText({{"127.0.0.9", "Dock printer"}}));
    ASSERT_TRUE(nwatch.Start(FreeUdpPort(), PrepareAgentPort())) << nwatch.Log();
    // A folder where the file was: nothing can be written there.
    const std::string path = nwatch.DataFile("QAVGroupConfig.qdl");
    fs::remove(path);
    fs::create_directory(path);
    nwatch.Stop();
    EXPECT_NE(nwatch.Log().find("nwatch: The device list could not be saved to " + path + "."), std::string::npos)
        << nwatch.Log();
}

} // namespace

// Finding running programs by name, starting sibling programs and command
// lines detached, and playing sounds through a player on PATH.
#include "PlatformTestUtil.h"

#include "qavplatform/NamedLocks.h"
#include "qavplatform/ProgramStart.h"
#include "qavplatform/Processes.h"
#include "qavplatform/Result.h"
#include "qavplatform/Sound.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace qavplatform;
using namespace platformtest;
using qavtest::ChildProcess;
using qavtest::TempDir;
namespace fs = std::filesystem;

namespace {

std::string Copy(const std::string& from, const std::string& to)
{
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_all);
    return to;
}

void WriteScript(const std::string& path, const std::string& body)
{
    qavtest::WriteFile(path, "#!/bin/sh\n" + body);
    fs::permissions(path, fs::perms::owner_all);
}

bool HasPid(const std::vector<ProcessInfo>& list, pid_t pid)
{
    return std::any_of(list.begin(), list.end(), [pid](const ProcessInfo& p) { return p.pid == pid; });
}

char StateOf(pid_t pid)
{
    std::string stat = qavtest::ReadFile("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() ? 0 : stat[close + 2];
}

// The processes whose parent is this one.
std::vector<pid_t> OwnChildren()
{
    std::vector<pid_t> children;
    for (const auto& p : ListProcesses()) {
        std::string stat = qavtest::ReadFile("/proc/" + std::to_string(p.pid) + "/stat");
        size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(stat.substr(close + 2));
        char state;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == ::getpid()) children.push_back(p.pid);
    }
    return children;
}

// What the helper's "record" command wrote, as key=value lines.
std::vector<std::string> RecordedArgs(const std::string& file)
{
    std::vector<std::string> args;
    std::istringstream in(qavtest::ReadFile(file));
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("arg=", 0) == 0) args.push_back(line.substr(4));
    return args;
}

long RecordedNumber(const std::string& file, const std::string& key)
{
    std::istringstream in(qavtest::ReadFile(file));
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + "=", 0) == 0) return std::stol(line.substr(key.size() + 1));
    return -1;
}

} // namespace

// ------------------------------------------------------------- enumeration

TEST(ProcessNames, WholeNameMatchesWithoutCaseAndExe)
{
    EXPECT_TRUE(ProcessNameMatches("nconfig", "NCONFIG.EXE"));
    EXPECT_TRUE(ProcessNameMatches("nload", "NLOAD.EXE"));
    EXPECT_TRUE(ProcessNameMatches("NCONFIG.EXE", "nconfig"));
    EXPECT_FALSE(ProcessNameMatches("nconfig-test", "NCONFIG.EXE"));
    EXPECT_FALSE(ProcessNameMatches("xnload", "NLOAD.EXE"));
    EXPECT_FALSE(ProcessNameMatches("nload", "NCONFIG.EXE"));
    EXPECT_FALSE(ProcessNameMatches("nconf", "NCONFIG.EXE"));
    EXPECT_FALSE(ProcessNameMatches("anything", ""));
    EXPECT_FALSE(ProcessNameMatches("anything", ".EXE"));
    EXPECT_EQ(ComparableProgramName("NSTAT.exe"), "nstat");
    EXPECT_EQ(ComparableProgramName("Nwatch"), "nwatch");
}

TEST(Processes, ListShowsThisProcessByItsProgramName)
{
    auto list = ListProcesses();
    auto self = std::find_if(list.begin(), list.end(), [](const ProcessInfo& p) { return p.pid == ::getpid(); });
    ASSERT_NE(self, list.end());
    EXPECT_EQ(self->name, "platform_process_test");
    EXPECT_EQ(self->executable, std::string(QAV_BINARY_DIR) + "/bin/platform_process_test");
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end(),
                               [](const ProcessInfo& a, const ProcessInfo& b) { return a.pid < b.pid; }));
}

TEST(Processes, SettingToolIsFoundWhileItRunsAndNotAfterItEnded)
{
    TempDir dir;
    std::string tool = Copy("/bin/sleep", dir.File("nconfig"));
    ChildProcess child;
    ASSERT_TRUE(child.Start({tool, "30"}, dir.File("sleep.log")));
    ASSERT_TRUE(WaitUntil([&] { return IsProcessRunning("NCONFIG.EXE"); }, 5000));
    auto found = FindProcesses("NCONFIG.EXE");
    EXPECT_TRUE(HasPid(found, child.Pid()));
    for (const auto& p : found) EXPECT_NE(p.name.find("nconfig"), std::string::npos);
    EXPECT_FALSE(HasPid(FindProcesses("NLOAD.EXE"), child.Pid()));

    // Killed but not yet reaped, it is a zombie: no longer running.
    pid_t pid = child.Pid();
    ::kill(pid, SIGKILL);
    ASSERT_TRUE(WaitUntil([&] { return StateOf(pid) == 'Z'; }, 5000));
    EXPECT_FALSE(HasPid(FindProcesses("NCONFIG.EXE"), pid));
    EXPECT_FALSE(HasPid(ListProcesses(), pid));
    child.Wait(5000);
}

TEST(Processes, ProgramReplacedWhileRunningKeepsItsName)
{
    // An update that deletes the running file leaves "(deleted)" on the
    // link; the program is still the download tool.
    TempDir dir;
    std::string tool = Copy("/bin/sleep", dir.File("nload"));
    ChildProcess child;
    ASSERT_TRUE(child.Start({tool, "30"}, dir.File("sleep.log")));
    ASSERT_TRUE(WaitUntil([&] { return HasPid(FindProcesses("NLOAD.EXE"), child.Pid()); }, 5000));
    fs::remove(tool);
    auto found = FindProcesses("NLOAD.EXE");
    auto it = std::find_if(found.begin(), found.end(), [&](const ProcessInfo& p) { return p.pid == child.Pid(); });
    ASSERT_NE(it, found.end());
    EXPECT_EQ(it->name, "nload");
    EXPECT_EQ(it->executable, tool);
}

// Another package's program of the same name (Debian's own `nload`) is not
// the suite's: only a program running from the given folder counts.
TEST(Processes, ProgramIsFoundInItsOwnFolderOnly)
{
    TempDir suite, elsewhere;
    ChildProcess other;
    ASSERT_TRUE(other.Start({Copy("/bin/sleep", elsewhere.File("nload")), "30"}, elsewhere.File("sleep.log")));
    ASSERT_TRUE(WaitUntil([&] { return HasPid(FindProcesses("NLOAD.EXE"), other.Pid()); }, 5000));
    EXPECT_FALSE(HasPid(FindProgramProcesses(suite.Path(), "NLOAD.EXE"), other.Pid()));
    EXPECT_FALSE(IsProgramRunning(suite.Path(), "NLOAD.EXE"));

    ChildProcess ours;
    ASSERT_TRUE(ours.Start({Copy("/bin/sleep", suite.File("nload")), "30"}, suite.File("sleep.log")));
    ASSERT_TRUE(WaitUntil([&] { return IsProgramRunning(suite.Path(), "NLOAD.EXE"); }, 5000));
    auto found = FindProgramProcesses(suite.Path() + "/", "nload");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].pid, ours.Pid());
    EXPECT_FALSE(IsProgramRunning(suite.Path(), "NCONFIG.EXE"));
}

// ------------------------------------------------------------------ starting

class StartTest : public ::testing::Test {
protected:
    TempDir dir_;
};

TEST_F(StartTest, ProgramFolderIsTheFolderOfTheRunningProgram)
{
    EXPECT_EQ(ProgramDir(), std::string(QAV_BINARY_DIR) + "/bin");
    EXPECT_EQ(FindProgramIn(ProgramDir(), "platform_helper"), ProgramDir() + "/platform_helper");
    EXPECT_EQ(FindProgramIn(ProgramDir(), "PLATFORM_HELPER.EXE"), ProgramDir() + "/platform_helper");
    EXPECT_EQ(FindProgramIn(ProgramDir(), "no_such_program"), "");
}

TEST_F(StartTest, SiblingRunsDetachedWithItsArgumentsAndLeavesNoZombie)
{
    std::string record = dir_.File("record");
    pid_t pid = 0;
    std::string error;
    ASSERT_EQ(StartProgram("platform_helper", {"record", record, "192.168.10.5", "two words", ""}, &pid, &error), kOk)
        << error;
    ASSERT_TRUE(WaitForFile(record));
    EXPECT_EQ(RecordedArgs(record), (std::vector<std::string>{"192.168.10.5", "two words", ""}));
    EXPECT_EQ(RecordedNumber(record, "pid"), pid);
    EXPECT_NE(RecordedNumber(record, "ppid"), ::getpid());
    // A session of its own (begun by the go-between), away from the caller's
    // terminal and its signals.
    EXPECT_NE(RecordedNumber(record, "sid"), ::getsid(0));
    // Neither the go-between nor the program stays a child of the caller.
    EXPECT_TRUE(WaitUntil([] { return OwnChildren().empty(); }, 5000));
}

TEST_F(StartTest, WindowsProgramNamesStartOurPrograms)
{
    std::string record = dir_.File("record");
    ASSERT_EQ(StartProgram("PLATFORM_HELPER.EXE", {"record", record, "3"}), kOk);
    ASSERT_TRUE(WaitForFile(record));
    EXPECT_EQ(RecordedArgs(record), std::vector<std::string>{"3"});
}

TEST_F(StartTest, ProgramsThatCannotStartAreReportedClearly)
{
    std::string error;
    EXPECT_EQ(StartProgram("no_such_program", {}, nullptr, &error), kErrNotFound);
    EXPECT_NE(error.find("no_such_program"), std::string::npos) << error;

    qavtest::WriteFile(dir_.File("plain"), "#!/bin/sh\nexit 0\n");
    fs::permissions(dir_.File("plain"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(StartProgramFrom(dir_.Path(), "plain", {}, nullptr, &error), kErrNotExecutable);

    // Executable by its permissions, but nothing the system can run: found
    // only when exec fails in the started process.
    qavtest::WriteFile(dir_.File("garbage"), std::string("\x01\x02\x03\x04 not a program"));
    fs::permissions(dir_.File("garbage"), fs::perms::owner_all);
    error.clear();
    EXPECT_EQ(StartProgramFrom(dir_.Path(), "garbage", {}, nullptr, &error), kErrNotExecutable);
    EXPECT_NE(error.find("garbage"), std::string::npos) << error;

    qavtest::WriteFile(dir_.File("orphan"), "#!/no/such/interpreter\n");
    fs::permissions(dir_.File("orphan"), fs::perms::owner_all);
    EXPECT_EQ(StartProgramFrom(dir_.Path(), "orphan", {}, nullptr, &error), kErrNotExecutable);

    fs::create_directory(dir_.File("folder"));
    EXPECT_EQ(StartDetached(dir_.File("folder"), {}, {}, nullptr, &error), kErrNotExecutable);
    EXPECT_EQ(StartDetached(dir_.File("missing"), {}, {}, nullptr, &error), kErrNotFound);
    EXPECT_TRUE(WaitUntil([] { return OwnChildren().empty(); }, 5000));
}

TEST_F(StartTest, StartedProgramInheritsNoDescriptorAndNoLock)
{
    // A lock held by the monitor must not live on in the tools it started.
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir_.Path());
    NamedEvent event;
    ASSERT_EQ(event.Create("NWATCH"), kOk);
    int leaky = ::open("/dev/null", O_RDONLY);  // opened without close-on-exec
    ASSERT_GE(leaky, 0);

    std::string record = dir_.File("fds");
    ASSERT_EQ(StartProgram("platform_helper", {"fds", record, "3000"}), kOk);
    ASSERT_TRUE(WaitForFile(record));
    EXPECT_EQ(qavtest::ReadFile(record), "0\n1\n2\n");
    event.Close();
    EXPECT_FALSE(NamedEvent::Exists("NWATCH"));
    ::close(leaky);
}

// The suite's programs come from the program folder only: a program of the
// same name on PATH (Debian's own nstat) is never started in its place.
TEST_F(StartTest, CommandLineTakesTheProgramFolderOnly)
{
    fs::create_directory(dir_.File("bin"));
    WriteScript(dir_.File("bin/qav_stand_in"), "echo from-path > \"$1\"\n");
    WriteScript(dir_.File("bin/platform_helper"), "echo from-path > \"$2\"\n");
    ScopedEnv path("PATH", dir_.File("bin") + ":/usr/bin:/bin");

    std::string record = dir_.File("record");
    ASSERT_EQ(StartCommandLine("platform_helper record " + record + "  10.0.0.1\t0"), kOk);
    ASSERT_TRUE(WaitForFile(record));
    EXPECT_EQ(RecordedArgs(record), (std::vector<std::string>{"10.0.0.1", "0"}));

    std::string error;
    const std::string fromPath = dir_.File("from-path");
    EXPECT_EQ(StartCommandLine("qav_stand_in " + fromPath, nullptr, &error), kErrNotFound);
    EXPECT_EQ(error, "no program qav_stand_in in " + ProgramDir());
    ::usleep(200 * 1000);
    EXPECT_FALSE(FileExists(fromPath)) << "started from PATH";
    EXPECT_EQ(StartCommandLine("   ", nullptr, &error), kErrNotFound);

    // A folder of the suite with its own nstat, and another nstat first on PATH.
    fs::create_directory(dir_.File("suite"));
    WriteScript(dir_.File("suite/nstat"), "printf '%s\\n' \"$@\" > " + dir_.File("ours") + "\n");
    WriteScript(dir_.File("bin/nstat"), "echo theirs > " + dir_.File("theirs") + "\n");
    ASSERT_EQ(StartCommandLineFrom(dir_.File("suite"), "NSTAT.exe 192.168.1.20 1"), kOk);
    ASSERT_TRUE(WaitUntil([&] { return qavtest::ReadFile(dir_.File("ours")).size() > 0; }, 5000));
    EXPECT_EQ(qavtest::ReadFile(dir_.File("ours")), "192.168.1.20\n1\n");
    EXPECT_FALSE(FileExists(dir_.File("theirs")));
    EXPECT_EQ(StartCommandLineFrom(dir_.File("bin/../missing"), "NSTAT.exe 192.168.1.20 1", nullptr, &error),
              kErrNotFound);
    EXPECT_EQ(error, "no program nstat in " + dir_.File("bin/../missing")) << "named as installed";
}

TEST_F(StartTest, InstalledProgramsAndThePathSearch)
{
    fs::create_directory(dir_.File("suite"));
    WriteScript(dir_.File("suite/nconfig"), "");
    qavtest::WriteFile(dir_.File("suite/nload"), "#!/bin/sh\n"); // not executable
    EXPECT_TRUE(ProgramInstalled("NCONFIG.EXE", dir_.File("suite")));
    EXPECT_TRUE(ProgramInstalled("nconfig", dir_.File("suite")));
    EXPECT_FALSE(ProgramInstalled("NLOAD.EXE", dir_.File("suite")));
    EXPECT_FALSE(ProgramInstalled("NSTAT.exe", dir_.File("suite")));

    // PATH: the first folder that has it, empty entries skipped, names with
    // a "/" never searched.
    fs::create_directory(dir_.File("a"));
    fs::create_directory(dir_.File("b"));
    WriteScript(dir_.File("b/tool"), "");
    qavtest::WriteFile(dir_.File("a/tool"), "not executable");
    ScopedEnv path("PATH", "::" + dir_.File("a") + ":" + dir_.File("b"));
    EXPECT_EQ(FindOnPath("tool"), dir_.File("b/tool"));
    EXPECT_EQ(FindOnPath("b/tool"), "");
    EXPECT_EQ(FindOnPath("missing"), "");
    WriteScript(dir_.File("a/tool"), "");
    EXPECT_EQ(FindOnPath("tool"), dir_.File("a/tool"));
}

TEST_F(StartTest, QuotedProgramPathWithBlanks)
{
    EXPECT_EQ(SplitCommandLine("\"/opt/QAV Tools/nstat\" 10.0.0.1 1"),
              (std::vector<std::string>{"/opt/QAV Tools/nstat", "10.0.0.1", "1"}));
    EXPECT_EQ(SplitCommandLine("  a\t\tb  "), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitCommandLine("a \"\" b"), (std::vector<std::string>{"a", "", "b"}));

    fs::create_directory(dir_.File("QAV Tools"));
    std::string tool = dir_.File("QAV Tools/nstat");
    WriteScript(tool, "printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\n");
    ASSERT_EQ(StartCommandLine("\"" + tool + "\" 10.0.0.1 1"), kOk);
    std::string args = dir_.File("QAV Tools/args");
    ASSERT_TRUE(WaitUntil([&] { return qavtest::ReadFile(args).size() > 0; }, 5000));
    EXPECT_EQ(qavtest::ReadFile(args), "10.0.0.1\n1\n");
}

// --------------------------------------------------------------------- sound

class SoundTest : public ::testing::Test {
protected:
    TempDir dir_;
    std::string bin_ = dir_.File("bin");
    std::string calls_ = dir_.File("calls");
    std::string sound_ = dir_.File("Paper End.wav");
    ScopedEnv path_{"PATH", dir_.File("bin")};

    void SetUp() override
    {
        fs::create_directory(bin_);
        qavtest::WriteFile(sound_, "RIFF");
    }
    // A stand-in player that records its name and arguments, after `delay`.
    void AddPlayer(const std::string& name, const std::string& delay = "")
    {
        std::string body = delay.empty() ? "" : "/bin/sleep " + delay + "\n";
        body += "printf '%s\\n' \"${0##*/}\" \"$@\" > " + calls_ + ".part && /bin/mv " + calls_ + ".part " + calls_ + "\n";
        WriteScript(bin_ + "/" + name, body);
    }
};

TEST_F(SoundTest, PlayersAreTriedInOrder)
{
    AddPlayer("pw-play");
    EXPECT_EQ(FindSoundPlayer(), bin_ + "/pw-play");
    AddPlayer("aplay");
    EXPECT_EQ(FindSoundPlayer(), bin_ + "/aplay");
    AddPlayer("paplay");
    EXPECT_EQ(FindSoundPlayer(), bin_ + "/paplay");

    ASSERT_TRUE(PlaySoundFile(sound_));
    ASSERT_TRUE(WaitForFile(calls_));
    EXPECT_EQ(qavtest::ReadFile(calls_), "paplay\n" + sound_ + "\n");

    // A player that is not executable is passed over.
    fs::permissions(bin_ + "/paplay", fs::perms::owner_read);
    EXPECT_EQ(FindSoundPlayer(), bin_ + "/aplay");
}

TEST_F(SoundTest, PlayingDoesNotWaitForTheSound)
{
    AddPlayer("aplay", "2");
    ASSERT_TRUE(PlaySoundFile(sound_));
    // The player is still "playing" when the call has returned.
    EXPECT_FALSE(FileExists(calls_));
    ASSERT_TRUE(WaitForFile(calls_, 10000));
    EXPECT_EQ(qavtest::ReadFile(calls_), "aplay\n" + sound_ + "\n");
}

TEST_F(SoundTest, NoPlayerOrNoFileReportsFalse)
{
    std::string error;
    EXPECT_EQ(FindSoundPlayer(), "");
    EXPECT_FALSE(PlaySoundFile(sound_, &error));
    EXPECT_NE(error.find("no sound player"), std::string::npos) << error;

    AddPlayer("aplay");
    EXPECT_FALSE(PlaySoundFile(dir_.File("missing.wav"), &error));
    EXPECT_FALSE(PlaySoundFile("", &error));
    ::usleep(200 * 1000);
    EXPECT_FALSE(FileExists(calls_));
}

TEST_F(SoundTest, FileNameThatLooksLikeAnOptionIsPassedAsAFile)
{
    AddPlayer("aplay");
    std::string old = fs::current_path();
    fs::current_path(dir_.Path());
    qavtest::WriteFile(dir_.File("-h.wav"), "RIFF");
    bool played = PlaySoundFile("-h.wav");
    fs::current_path(old);
    ASSERT_TRUE(played);
    ASSERT_TRUE(WaitForFile(calls_));
    EXPECT_EQ(qavtest::ReadFile(calls_), "aplay\n./-h.wav\n");
}

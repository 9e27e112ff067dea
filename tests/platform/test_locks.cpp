// Named events, single-instance guards and named mutexes between real
// processes, including a holder that is killed with SIGKILL.
#include "PlatformTestUtil.h"

#include "qavplatform/NamedLocks.h"
#include "qavplatform/Result.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

using namespace qavplatform;
using namespace platformtest;
using qavtest::ChildProcess;
using qavtest::TempDir;

namespace {

// Every test gets a lock folder of its own, so tests running side by side
// never see each other's objects.
class LockTest : public ::testing::Test {
protected:
    TempDir runtime_;
    ScopedEnv env_{"XDG_RUNTIME_DIR", runtime_.Path()};

    bool StartHelper(ChildProcess& child, const std::vector<std::string>& args, const std::string& logName)
    {
        std::vector<std::string> argv{HelperPath()};
        argv.insert(argv.end(), args.begin(), args.end());
        return child.Start(argv, runtime_.File(logName));
    }
};

} // namespace

TEST(LockNames, EveryNameGetsItsOwnSafeFileName)
{
    EXPECT_EQ(LockFileName("NWATCH"), "NWATCH");
    EXPECT_EQ(LockFileName("List_Display_Event"), "List_Display_Event");
    EXPECT_EQ(LockFileName("Surveillance_Monitor_Event127_000_000_011"), "Surveillance_Monitor_Event127_000_000_011");
    EXPECT_EQ(LockFileName("NCONFIG Multi Boot Event"), "NCONFIG%20Multi%20Boot%20Event");
    // The Windows namespace prefixes name the same object.
    EXPECT_EQ(LockFileName("Global\\QAVNetLoader"), "QAVNetLoader");
    EXPECT_EQ(LockFileName("Local\\QAVNetLoader"), "QAVNetLoader");
    // Nothing can leave the lock folder or hide in it.
    EXPECT_EQ(LockFileName("../../etc/passwd"), "%2E%2E%2F%2E%2E%2Fetc%2Fpasswd");
    EXPECT_EQ(LockFileName(".hidden"), "%2Ehidden");
    // Names that differ only in what gets replaced stay apart.
    EXPECT_NE(LockFileName("a b"), LockFileName("a_b"));
    EXPECT_NE(LockFileName("a%20b"), LockFileName("a b"));
    EXPECT_EQ(LockFileName(""), "");
    EXPECT_EQ(LockFileName("Global\\"), "");
    EXPECT_EQ(LockFileName(std::string(150, ' ')), "");
}

TEST_F(LockTest, LockFolderIsPrivateAndBelowTheRuntimeFolder)
{
    std::string error;
    std::string dir = LockDir(&error);
    ASSERT_EQ(dir, runtime_.Path() + "/qav") << error;
    struct stat st {};
    ASSERT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Without a runtime folder the per-user folder in /tmp is used.
    ScopedEnv noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(LockDir(), "/tmp/qav-" + std::to_string(::geteuid()));
    ScopedEnv relative("XDG_RUNTIME_DIR", "relative/dir");
    EXPECT_EQ(LockDir(), "/tmp/qav-" + std::to_string(::geteuid()));
}

TEST_F(LockTest, PlantedLinkOrForeignFolderIsRefused)
{
    TempDir elsewhere;
    std::filesystem::create_directory_symlink(elsewhere.Path(), runtime_.Path() + "/qav");
    std::string error;
    EXPECT_EQ(LockDir(&error), "");
    EXPECT_NE(error.find("not a folder"), std::string::npos) << error;
    NamedEvent event;
    EXPECT_EQ(event.Create("NWATCH", nullptr, &error), kErrIo);
    EXPECT_FALSE(NamedEvent::Exists("NWATCH"));
    EXPECT_FALSE(std::filesystem::exists(elsewhere.Path() + "/NWATCH.event"));

    if (::geteuid() == 0) {
        std::filesystem::remove(runtime_.Path() + "/qav");
        ASSERT_EQ(::mkdir((runtime_.Path() + "/qav").c_str(), 0700), 0);
        ASSERT_EQ(::chown((runtime_.Path() + "/qav").c_str(), 65534, 65534), 0);
        EXPECT_EQ(LockDir(&error), "");
        EXPECT_NE(error.find("another user"), std::string::npos) << error;
    }
}

TEST_F(LockTest, EventExistsWhileAnotherProcessHoldsItAndVanishesWithKill9)
{
    EXPECT_FALSE(NamedEvent::Exists("List_Display_Event"));
    ChildProcess holder;
    ASSERT_TRUE(StartHelper(holder, {"hold-event", "List_Display_Event"}, "holder.log"));
    ASSERT_TRUE(WaitForLog(holder, "event existed=0")) << holder.Log();
    EXPECT_TRUE(NamedEvent::Exists("List_Display_Event"));
    EXPECT_FALSE(NamedEvent::Exists("List_Display_Event2"));

    KillHard(holder);
    EXPECT_FALSE(NamedEvent::Exists("List_Display_Event"));
}

TEST_F(LockTest, EventWithSeveralHoldersLastsUntilTheLastOneCloses)
{
    ChildProcess first;
    ASSERT_TRUE(StartHelper(first, {"hold-event", "NCONFIG Multi Boot Event"}, "first.log"));
    ASSERT_TRUE(WaitForLog(first, "event existed=0")) << first.Log();

    ChildProcess second;
    ASSERT_TRUE(StartHelper(second, {"hold-event", "NCONFIG Multi Boot Event"}, "second.log"));
    ASSERT_TRUE(WaitForLog(second, "event existed=1")) << second.Log();

    NamedEvent mine;
    bool existed = false;
    ASSERT_EQ(mine.Create("NCONFIG Multi Boot Event", &existed), kOk);
    EXPECT_TRUE(existed);

    KillHard(first);
    KillHard(second);
    EXPECT_TRUE(NamedEvent::Exists("NCONFIG Multi Boot Event"));
    mine.Close();
    EXPECT_FALSE(NamedEvent::Exists("NCONFIG Multi Boot Event"));
}

TEST_F(LockTest, EventHeldInThisProcessIsSeenByThisProcess)
{
    // The list window runs inside the monitor, which asks whether the list
    // window's event exists.
    NamedEvent listWindow;
    bool existed = true;
    ASSERT_EQ(listWindow.Create("List_Display_Event", &existed), kOk);
    EXPECT_FALSE(existed);
    EXPECT_TRUE(NamedEvent::Exists("List_Display_Event"));

    NamedEvent moved = std::move(listWindow);
    EXPECT_FALSE(listWindow.IsOpen());
    EXPECT_TRUE(NamedEvent::Exists("List_Display_Event"));
    moved.Close();
    EXPECT_FALSE(NamedEvent::Exists("List_Display_Event"));

    EXPECT_EQ(listWindow.Create(""), kErrInvalidName);
}

TEST_F(LockTest, SecondInstanceIsRefusedUntilTheFirstDies)
{
    ChildProcess first;
    ASSERT_TRUE(StartHelper(first, {"single", "NWATCH"}, "first.log"));
    ASSERT_TRUE(WaitForLog(first, "acquired")) << first.Log();

    ChildProcess second;
    ASSERT_TRUE(StartHelper(second, {"single", "NWATCH"}, "second.log"));
    EXPECT_EQ(second.Wait(5000), 1);
    EXPECT_NE(second.Log().find("refused " + std::to_string(kErrBusy)), std::string::npos) << second.Log();

    SingleInstance mine;
    EXPECT_FALSE(mine.Acquire("NWATCH"));
    EXPECT_EQ(mine.Result(), kErrBusy);
    EXPECT_FALSE(mine.Held());
    // A refused attempt must not keep the object alive after the holder ends.
    KillHard(first);
    EXPECT_FALSE(NamedEvent::Exists("NWATCH"));
    EXPECT_TRUE(mine.Acquire("NWATCH"));
    EXPECT_TRUE(mine.Held());

    SingleInstance again;
    EXPECT_FALSE(again.Acquire("NWATCH"));
    mine.Release();
    EXPECT_TRUE(again.Acquire("NWATCH"));
}

TEST_F(LockTest, ExactlyOneOfManySimultaneousStartsWins)
{
    constexpr int kStarts = 8;
    std::vector<std::unique_ptr<ChildProcess>> starts;
    for (int i = 0; i < kStarts; ++i) {
        starts.push_back(std::make_unique<ChildProcess>());
        ASSERT_TRUE(StartHelper(*starts.back(), {"single", "QAVNetLoader"}, "start" + std::to_string(i) + ".log"));
    }
    int acquired = 0, refused = 0;
    for (auto& start : starts) {
        ASSERT_TRUE(WaitUntil([&] {
            std::string log = start->Log();
            return log.find("acquired") != std::string::npos || log.find("refused") != std::string::npos;
        }, 10000)) << start->Log();
        if (start->Log().find("acquired") != std::string::npos) ++acquired;
        else ++refused;
    }
    EXPECT_EQ(acquired, 1);
    EXPECT_EQ(refused, kStarts - 1);
}

TEST_F(LockTest, NeverTwoHoldersWhileManyProcessesComeAndGo)
{
    constexpr int kProcesses = 4;
    std::string marker = runtime_.File("marker");
    std::vector<std::unique_ptr<ChildProcess>> workers;
    for (int i = 0; i < kProcesses; ++i) {
        workers.push_back(std::make_unique<ChildProcess>());
        ASSERT_TRUE(StartHelper(*workers.back(), {"contend", "NWATCH", marker, "3000"},
                                "worker" + std::to_string(i) + ".log"));
    }
    for (auto& worker : workers) {
        EXPECT_EQ(worker->Wait(60000), 0) << worker->Log();
        EXPECT_NE(worker->Log().find("held "), std::string::npos);
    }
}

TEST_F(LockTest, MutexHeldElsewhereBlocksAndIsFreedByKill9)
{
    ChildProcess holder;
    ASSERT_TRUE(StartHelper(holder, {"hold-mutex", "NSETUPMutex"}, "holder.log"));
    ASSERT_TRUE(WaitForLog(holder, "locked")) << holder.Log();

    NamedMutex mutex;
    ASSERT_EQ(mutex.Open("NSETUPMutex"), kOk);
    EXPECT_EQ(mutex.TryLock(), kErrBusy);
    EXPECT_FALSE(mutex.Owned());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(mutex.LockFor(150), kErrTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));

    KillHard(holder);
    EXPECT_EQ(mutex.TryLock(), kOk);
    EXPECT_TRUE(mutex.Owned());
}

TEST_F(LockTest, TimedWaitTakesTheMutexWhenItsHolderLetsGo)
{
    ChildProcess holder;
    ASSERT_TRUE(StartHelper(holder, {"hold-mutex", "NSETUPMutex", "300"}, "holder.log"));
    ASSERT_TRUE(WaitForLog(holder, "locked")) << holder.Log();
    NamedMutex mutex;
    ASSERT_EQ(mutex.Open("NSETUPMutex"), kOk);
    EXPECT_EQ(mutex.LockFor(10000), kOk);
    EXPECT_NE(holder.Log().find("unlocked"), std::string::npos);
    EXPECT_EQ(holder.Wait(5000), 0);
}

TEST_F(LockTest, MutexKeepsProcessesFromLosingUpdates)
{
    constexpr int kProcesses = 4;
    constexpr int kRounds = 150;
    std::string counter = runtime_.File("counter");
    qavtest::WriteFile(counter, "0");
    std::vector<std::unique_ptr<ChildProcess>> workers;
    for (int i = 0; i < kProcesses; ++i) {
        workers.push_back(std::make_unique<ChildProcess>());
        ASSERT_TRUE(StartHelper(*workers.back(), {"count", "counter mutex", counter, std::to_string(kRounds)},
                                "worker" + std::to_string(i) + ".log"));
    }
    for (auto& worker : workers) EXPECT_EQ(worker->Wait(60000), 0) << worker->Log();
    EXPECT_EQ(qavtest::ReadFile(counter), std::to_string(kProcesses * kRounds));
}

TEST_F(LockTest, MutexIsRecursiveForItsObjectAndExclusiveAgainstOthers)
{
    NamedMutex first, second;
    EXPECT_EQ(first.Lock(), kErrNotOpen);
    EXPECT_EQ(first.TryLock(), kErrNotOpen);
    ASSERT_EQ(first.Open("NSETUPMutex"), kOk);
    ASSERT_EQ(second.Open("NSETUPMutex"), kOk);

    ASSERT_EQ(first.Lock(), kOk);
    ASSERT_EQ(first.TryLock(), kOk);
    EXPECT_EQ(second.TryLock(), kErrBusy);
    first.Unlock();
    EXPECT_TRUE(first.Owned());
    EXPECT_EQ(second.TryLock(), kErrBusy);
    first.Unlock();
    EXPECT_FALSE(first.Owned());
    EXPECT_EQ(second.TryLock(), kOk);
    first.Unlock();  // not owned: no effect
    EXPECT_EQ(first.TryLock(), kErrBusy);
    second.Close();
    EXPECT_EQ(first.TryLock(), kOk);

    NamedMutex bad;
    EXPECT_EQ(bad.Open(""), kErrInvalidName);
}

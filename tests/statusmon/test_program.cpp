// nstat as a program: its command line, one process per printer, the end
// when the monitor exits, and its start by the list window's command line
// and by the monitor's pop-up channel, which must reach this suite's nstat
// and never another program of that name on PATH (Debian has one).
// Runs under a session bus of its own (dbus-run-session).
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "Channels.h"
#include "TestPeers.h"
#include "ListView.h"
#include "nstat/Program.h"
#include "qavplatform/Address.h"
#include "qavplatform/MessageBus.h"
#include "qavplatform/NamedLocks.h"
#include "qavplatform/ProgramStart.h"

namespace {

const std::string kNstat = QAV_BINARY_DIR "/bin/nstat";

uint32_t Address(const std::string& dotted)
{
    uint32_t a = 0;
    qavplatform::ParseAddress(dotted, a);
    return a;
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

bool MonitorShown(const std::string& address)
{
    return qavplatform::NamedEvent::Exists(nstat::InstanceLockName(Address(address)));
}

// The status monitors this test started without a handle (detached
// starts): found by their program file and their printer address.
std::vector<pid_t> StartedMonitors(const std::string& address)
{
    std::vector<pid_t> pids;
    DIR* proc = ::opendir("/proc");
    if (!proc) return pids;
    while (dirent* e = ::readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
        if (pid <= 0) continue;
        char exe[4096] = {};
        const ssize_t n = ::readlink(("/proc/" + std::string(e->d_name) + "/exe").c_str(), exe, sizeof exe - 1);
        if (n <= 0) continue;
        char real[4096] = {};
        if (!::realpath(kNstat.c_str(), real) || std::string(exe) != real) continue;
        std::string cmdline = qavtest::ReadFile("/proc/" + std::string(e->d_name) + "/cmdline");
        for (char& c : cmdline) c = c ? c : ' ';
        if (cmdline.find(" " + address + " ") != std::string::npos) pids.push_back(pid);
    }
    ::closedir(proc);
    return pids;
}

class Program : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("QAV_DATA_DIR", data_.Path().c_str(), 1);
        ::chmod(runtime_.Path().c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // Addresses where nothing answers: the monitors keep trying.
        a_ = qavtest::LoopbackAddress(150);
        b_ = qavtest::LoopbackAddress(151);
    }
    void TearDown() override
    {
        for (const std::string& a : {a_, b_}) {
            for (pid_t pid : StartedMonitors(a)) ::kill(pid, SIGKILL);
        }
    }
    bool Start(qavtest::ChildProcess& p, const std::vector<std::string>& args, const std::string& log)
    {
        std::vector<std::string> argv = {kNstat};
        argv.insert(argv.end(), args.begin(), args.end());
        return p.Start(argv, data_.File(log));
    }

    qavtest::TempDir data_, runtime_;
    std::string a_, b_;
};

TEST_F(Program, CommandLineWithoutTheModeIsRefused)
{
    qavtest::ChildProcess p;
    ASSERT_TRUE(Start(p, {a_}, "bad.log"));
    EXPECT_EQ(p.Wait(15000), 1);
    EXPECT_NE(p.Log().find("The command line is not valid"), std::string::npos) << p.Log();
    EXPECT_FALSE(MonitorShown(a_));
}

TEST_F(Program, OneWindowPerPrinter)
{
    qavtest::ChildProcess first, second, other;
    ASSERT_TRUE(Start(first, {a_, "1"}, "first.log"));
    ASSERT_TRUE(WaitFor([&] { return MonitorShown(a_); }, 15000)) << first.Log();
    // The same printer again: the second process ends without a word.
    ASSERT_TRUE(Start(second, {a_, "0"}, "second.log"));
    EXPECT_EQ(second.Wait(15000), 0);
    EXPECT_TRUE(first.Running());
    // Another printer gets a window of its own.
    ASSERT_TRUE(Start(other, {b_, "0"}, "other.log"));
    ASSERT_TRUE(WaitFor([&] { return MonitorShown(b_); }, 15000)) << other.Log();
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(other.Running());
}

TEST_F(Program, MonitorExitEndsEveryStatusMonitorAtOnce)
{
    if (qgetenv("DBUS_SESSION_BUS_ADDRESS").isEmpty()) GTEST_SKIP() << "run under dbus-run-session";
    qavtest::ChildProcess p, q;
    ASSERT_TRUE(Start(p, {a_, "1"}, "p.log"));
    ASSERT_TRUE(Start(q, {b_, "1"}, "q.log"));
    ASSERT_TRUE(WaitFor([&] { return MonitorShown(a_) && MonitorShown(b_); }, 15000));
    // The printers do not answer: the monitors are in the middle of an
    // exchange when the message comes.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_EQ(qavplatform::BroadcastMessage(qavplatform::Message::NwatchExit), 0);
    EXPECT_EQ(p.Wait(5000), 0) << p.Log();
    EXPECT_EQ(q.Wait(5000), 0) << q.Log();
    EXPECT_FALSE(MonitorShown(a_));
}

TEST_F(Program, ListWindowAndPopupStartThisSuitesStatusMonitor)
{
    // Another "nstat" first on PATH, as Debian's is: it must never run.
    qavtest::TempDir other;
    const std::string calls = other.File("calls");
    qavtest::WriteFile(other.File("nstat"), "#!/bin/sh\necho \"$@\" >> '" + calls + "'\n");
    ::chmod(other.File("nstat").c_str(), 0755);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (other.Path() + ":" + path).c_str(), 1);

    // The list window's command line ("NSTAT.exe ADDRESS FLAG").
    std::string error;
    ASSERT_EQ(qavplatform::StartCommandLine(nlist::StatusMonitorCommandLine(Address(a_), 1), nullptr, &error), 0)
        << error;
    // The pop-up channel of a trap, from the suite's program folder.
    nwatch::MonitorChannels::Hooks hooks;
    hooks.administratorFlag = [] { return 1; };
    nwatch::MonitorChannels channels(hooks);
    nwatch::NotificationRecord trap;
    trap.address = Address(b_);
    channels.Popup(trap);

    EXPECT_TRUE(WaitFor([&] { return MonitorShown(a_); }, 15000));
    EXPECT_TRUE(WaitFor([&] { return MonitorShown(b_); }, 15000));
    EXPECT_EQ(StartedMonitors(a_).size(), 1u);
    EXPECT_EQ(StartedMonitors(b_).size(), 1u);
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(qavtest::ReadFile(calls), "");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

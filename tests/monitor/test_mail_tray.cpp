// The monitor's channels under its event loop: mail work off the window
// thread (a mail server that never answers holds up no event), the busy
// flag around it, the pop-up channel's status monitor start and the sound
// channel's player, each with a stand-in program that records what it got.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "Channels.h"
#include "EventLoop.h"
#include "MailPeer.h"
#include "Texts.h"
#include "nlist/Nlist.h"
#include "qavres/Resources.h"

namespace {

using namespace nwatch;
using qavtest::LoopbackAddress;
using qavtest::MailPeer;
using qavtest::RunLoopUntil;
using qavtest::TempDir;

constexpr int kPort = 2525;

void WriteScript(const std::string& path, const std::string& text)
{
    qavtest::WriteFile(path, "#!/bin/sh\n" + text);
    ::chmod(path.c_str(), 0755);
}

class Channels : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "monitor_mail_tray_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        Language().LoadFile(QAV_SOURCE_DIR "/resources/data/QAVLANG.txt");
    }
    void SetUp() override
    {
        ASSERT_TRUE(Language().IsLoaded());
        ::setenv("QAV_DATA_DIR", data.Path().c_str(), 1);
        ::setenv("QAV_SMTP_PORT", std::to_string(kPort).c_str(), 1);
        ClearListData();
    }
    void TearDown() override
    {
        ::unsetenv("QAV_DATA_DIR");
        ::unsetenv("QAV_SMTP_PORT");
    }
    MonitorChannels::Hooks Hooks()
    {
        MonitorChannels::Hooks h;
        h.administratorFlag = [] { return 1; };
        h.context = [] {
            ReadContext c;
            c.language = &Language();
            return c;
        };
        h.owner = &owner;
        h.busyChanged = [this] { ++busyChanges; };
        return h;
    }
    void WriteMailSettings(const std::string& server)
    {
        qavtest::WriteFile(data.File("QAVSurveyConfig.INI"),
                           "[Notification]\nMail=1\n[Mail]\nSourceServer=" + server +
                               "\nSourceAdd=monitor@example.test\nSourceUser=qav\nSourcePasswd=frperg\n"
                               "[User]\nSendmail=1\nAddress=user@example.test\n[Administrator]\nSendmail=0\n");
    }
    static NotificationRecord Record(int specific = 11)
    {
        NotificationRecord r;
        r.generic = 6;
        r.specific = specific;
        r.address = 0x7F000005;
        return r;
    }

    TempDir data;
    QObject owner;
    int busyChanges = 0;
};

TEST_F(Channels, SilentMailServerNeverHoldsUpTheWindowThread)
{
    MailPeer peer;
    const std::string address = LoopbackAddress(71);
    ASSERT_TRUE(peer.Start("silent", address, kPort)) << peer.Log();
    WriteMailSettings(address);
    MonitorChannels channels(Hooks());

    QElapsedTimer clock;
    clock.start();
    channels.SendMail(Record(11));
    channels.SendMail(Record(12));
    EXPECT_LT(clock.elapsed(), 100); // handed over, not sent here
    EXPECT_EQ(channels.MailsUnderWay(), 2);
    EXPECT_EQ(busyChanges, 1); // busy from the first mail on

    qint64 maxGap = 0;
    ASSERT_TRUE(RunLoopUntil([&] { return channels.MailsDone() == 2; }, 20000, &maxGap));
    // Each mail waited for the greeting that never came, one after the other.
    EXPECT_GE(clock.elapsed(), 7000);
    EXPECT_LT(maxGap, 500) << "the event loop stood still for " << maxGap << " ms";
    EXPECT_EQ(channels.MailsUnderWay(), 0);
    EXPECT_EQ(busyChanges, 2); // and clear again after the last
    EXPECT_TRUE(peer.Mails().empty());
}

TEST_F(Channels, MailsGoOutInTrapOrder)
{
    MailPeer peer;
    const std::string address = LoopbackAddress(72);
    ASSERT_TRUE(peer.Start("accept", address, kPort)) << peer.Log();
    WriteMailSettings(address);
    MonitorChannels channels(Hooks());
    for (int specific : {11, 12, 13}) channels.SendMail(Record(specific));
    ASSERT_TRUE(RunLoopUntil([&] { return channels.MailsDone() == 3; }, 15000));
    ASSERT_TRUE(peer.WaitForEvents("mail", 3));
    const auto mails = peer.Mails();
    ASSERT_EQ(mails.size(), 3u);
    const char* subjects[] = {"Printer alert: Paper jam (127.0.0.5)", "Printer alert: Cutter error (127.0.0.5)",
                              "Printer alert: Paper end (127.0.0.5)"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(qavtest::ParseMail(mails[i].data).headers["Subject"], subjects[i]);
        EXPECT_EQ(mails[i].rcptTos, (std::vector<std::string>{"user@example.test"}));
    }
}

TEST_F(Channels, ClosingDropsQueuedMailAndWaitsForTheOneUnderWay)
{
    MailPeer peer;
    const std::string address = LoopbackAddress(73);
    ASSERT_TRUE(peer.Start("silent", address, kPort)) << peer.Log();
    WriteMailSettings(address);
    QElapsedTimer clock;
    {
        MonitorChannels channels(Hooks());
        for (int i = 0; i < 3; ++i) channels.SendMail(Record());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        clock.start();
        channels.StopMail();
        EXPECT_EQ(channels.MailsUnderWay(), 1);
        channels.SendMail(Record()); // after closing: not queued
        EXPECT_EQ(channels.MailsUnderWay(), 1);
    }
    // One silent exchange at most (the greeting and the QUIT each wait
    // 2 s), not three.
    EXPECT_LT(clock.elapsed(), 6000);
    // What the worker handed back after the channels had gone is ignored.
    QCoreApplication::processEvents();
}

TEST_F(Channels, PopupStartsTheStatusMonitorForEveryTrap)
{
    TempDir programs;
    const std::string out = programs.File("nstat.args");
    WriteScript(programs.File("nstat"), "echo \"$@\" >> '" + out + "'\n");
    MonitorChannels::Hooks h = Hooks();
    h.programFolder = programs.Path();
    MonitorChannels channels(h);
    channels.Popup(Record());
    NotificationRecord other = Record();
    other.address = 0x0A000102;
    channels.Popup(other);
    channels.Popup(Record());
    auto lineCount = [&] {
        const std::string text = qavtest::ReadFile(out);
        return std::count(text.begin(), text.end(), '\n');
    };
    for (int i = 0; i < 250 && lineCount() < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // Started detached: the order of the three lines is the scheduler's.
    std::string text = qavtest::ReadFile(out);
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"10.0.1.2 1", "127.0.0.5 1", "127.0.0.5 1"}));

    // Without the program the channel goes on without it.
    h.programFolder = data.Path();
    MonitorChannels missing(h);
    missing.Popup(Record());
}

TEST_F(Channels, SoundOfTheTrapRowPlaysFromTheSoundFolderAfterAPause)
{
    // A resource folder of the test's own with the sound folder, and a
    // stand-in player first on PATH.
    TempDir resources, players;
    ::mkdir(resources.File("sound").c_str(), 0755);
    const std::string wav = resources.File("sound/PaperJam.wav");
    qavtest::WriteFile(wav, qavtest::ReadFile(QAV_SOURCE_DIR "/resources/sound/PaperJam.wav"));
    const std::string out = players.File("player.args");
    WriteScript(players.File("paplay"), "echo \"$@\" >> '" + out + "'\n");
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (players.Path() + ":" + oldPath).c_str(), 1);
    ::setenv("QAV_RESOURCE_DIR", resources.Path().c_str(), 1);
    EXPECT_EQ(SoundFolder(), resources.Path() + "/sound");

    ListData printer;
    printer.ipAddress = 0x7F000005;
    printer.isBCP = 1;
    AddToListData(printer);
    TrapEvent event;
    event.generic = 6;
    event.specific = 11;
    event.address = 0x7F000005;
    event.listIndex = 0;
    ChannelSettings settings;
    settings.beep = true;
    ReadContext context;
    context.language = &Language();
    MonitorChannels channels(Hooks());

    QElapsedTimer clock;
    clock.start();
    const TrapOutcome outcome = HandleTrapEvent(event, settings, context, SoundFolder(), channels);
    EXPECT_TRUE(outcome.sound);
    EXPECT_EQ(qavtest::ReadFile(out), ""); // not yet: the pause comes first
    qint64 heard = -1;
    RunLoopUntil(
        [&] {
            if (heard < 0 && !qavtest::ReadFile(out).empty()) heard = clock.elapsed();
            return heard >= 0;
        },
        5000);
    EXPECT_GE(heard, 200);
    EXPECT_EQ(qavtest::ReadFile(out), wav + "\n");
    ::setenv("PATH", oldPath.c_str(), 1);
    ::unsetenv("QAV_RESOURCE_DIR");
}

} // namespace

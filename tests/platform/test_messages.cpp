// The five broadcast messages over a real session bus (the test runs under
// dbus-run-session), between this process, the peer program and dbus-send.
#include "PlatformTestUtil.h"

#include "qavplatform/MessageBus.h"
#include "qavplatform/Result.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

using namespace qavplatform;
using namespace platformtest;
using qavtest::ChildProcess;
using qavtest::TempDir;

namespace {

std::string PeerPath() { return std::string(QAV_BINARY_DIR) + "/bin/platform_bus_peer"; }

using Received = std::vector<std::pair<Message, int>>;

// Collects what a receiver of this process gets.
struct Collector {
    MessageReceiver receiver;
    Received got;
    std::vector<int> updateTraps;
    int exits = 0;
    Collector()
    {
        QObject::connect(&receiver, &MessageReceiver::received,
                         [this](Message m, int w) { got.emplace_back(m, w); });
        QObject::connect(&receiver, &MessageReceiver::updateTrap, [this](int w) { updateTraps.push_back(w); });
        QObject::connect(&receiver, &MessageReceiver::nwatchExit, [this] { ++exits; });
    }
    // Runs the event loop until `count` messages arrived or the time is up.
    bool WaitFor(size_t count, int timeoutMs = 5000)
    {
        QElapsedTimer timer;
        timer.start();
        while (got.size() < count && timer.elapsed() < timeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return got.size() >= count;
    }
};

class MessageTest : public ::testing::Test {
protected:
    TempDir dir_;
    void SetUp() override
    {
        if (qgetenv("DBUS_SESSION_BUS_ADDRESS").isEmpty()) GTEST_SKIP() << "run under dbus-run-session";
    }
    bool StartPeer(ChildProcess& peer, const std::vector<std::string>& args, const std::string& log,
                   const std::map<std::string, std::string>& env = {})
    {
        std::vector<std::string> argv{PeerPath()};
        argv.insert(argv.end(), args.begin(), args.end());
        return peer.Start(argv, dir_.File(log), env);
    }
};

} // namespace

TEST(MessageNames, AreTheRegisteredNamesOfTheToolSet)
{
    EXPECT_STREQ(MessageName(Message::NwatchExit), "NWATCH_Exit");
    EXPECT_STREQ(MessageName(Message::NlistExit), "NLIST_Exit");
    EXPECT_STREQ(MessageName(Message::LogSettingsChanged), "Log_Settings_Changed");
    EXPECT_STREQ(MessageName(Message::SurveillanceOptionsChanged), "Surveillance_Options_Changed");
    EXPECT_STREQ(MessageName(Message::UpdateTrap), "Update_Trap");
    EXPECT_STREQ(MessageName(static_cast<Message>(9)), "");
    Message m;
    EXPECT_TRUE(MessageFromName("Update_Trap", &m));
    EXPECT_EQ(m, Message::UpdateTrap);
    EXPECT_FALSE(MessageFromName("update_trap", &m));
    EXPECT_EQ(BroadcastMessage(static_cast<Message>(9)), kErrInvalidName);
}

TEST_F(MessageTest, AnotherProcessReceivesEveryMessageThisOneBroadcasts)
{
    ChildProcess peer;
    ASSERT_TRUE(StartPeer(peer, {"receive", "5", "10000"}, "peer.log"));
    ASSERT_TRUE(WaitForLog(peer, "ready")) << peer.Log();

    std::string error;
    ASSERT_EQ(BroadcastMessage(Message::LogSettingsChanged, 0, &error), kOk) << error;
    ASSERT_EQ(BroadcastMessage(Message::SurveillanceOptionsChanged), kOk);
    ASSERT_EQ(BroadcastMessage(Message::UpdateTrap, kUpdatePrintersDeleted), kOk);
    ASSERT_EQ(BroadcastMessage(Message::NlistExit), kOk);
    ASSERT_EQ(BroadcastMessage(Message::NwatchExit), kOk);
    EXPECT_EQ(peer.Wait(10000), 0) << peer.Log();
    EXPECT_EQ(peer.Log(),
              "ready\n"
              "got Log_Settings_Changed 0\ntyped Log_Settings_Changed 0\n"
              "got Surveillance_Options_Changed 0\ntyped Surveillance_Options_Changed 0\n"
              "got Update_Trap 3\ntyped Update_Trap 3\n"
              "got NLIST_Exit 0\ntyped NLIST_Exit 0\n"
              "got NWATCH_Exit 0\ntyped NWATCH_Exit 0\n");
}

TEST_F(MessageTest, ThisProcessReceivesWhatAnotherBroadcastsEvenIfTheSenderExitsAtOnce)
{
    Collector collector;
    ASSERT_TRUE(collector.receiver.isListening()) << collector.receiver.errorText().toStdString();
    ChildProcess peer;
    ASSERT_TRUE(StartPeer(peer, {"send", "Update_Trap", "1", "Update_Trap", "4", "NWATCH_Exit", "0"}, "peer.log"));
    EXPECT_EQ(peer.Wait(10000), 0) << peer.Log();
    ASSERT_TRUE(collector.WaitFor(3));
    EXPECT_EQ(collector.got, (Received{{Message::UpdateTrap, 1}, {Message::UpdateTrap, 4}, {Message::NwatchExit, 0}}));
    EXPECT_EQ(collector.updateTraps, (std::vector<int>{kUpdateGroupFileOpened, kUpdateSearchDone}));
    EXPECT_EQ(collector.exits, 1);
}

TEST_F(MessageTest, BroadcastReachesEveryListenerIncludingTheSendersOwn)
{
    // The settings dialogs run inside the monitor, and the monitor must see
    // their change messages as every other program does.
    ChildProcess first, second;
    ASSERT_TRUE(StartPeer(first, {"receive", "1", "10000"}, "first.log"));
    ASSERT_TRUE(StartPeer(second, {"receive", "1", "10000"}, "second.log"));
    ASSERT_TRUE(WaitForLog(first, "ready")) << first.Log();
    ASSERT_TRUE(WaitForLog(second, "ready")) << second.Log();
    Collector own;
    ASSERT_EQ(BroadcastMessage(Message::SurveillanceOptionsChanged), kOk);
    EXPECT_EQ(first.Wait(10000), 0) << first.Log();
    EXPECT_EQ(second.Wait(10000), 0) << second.Log();
    EXPECT_NE(first.Log().find("got Surveillance_Options_Changed 0"), std::string::npos);
    EXPECT_NE(second.Log().find("got Surveillance_Options_Changed 0"), std::string::npos);
    ASSERT_TRUE(own.WaitFor(1));
    EXPECT_EQ(own.got, (Received{{Message::SurveillanceOptionsChanged, 0}}));
}

TEST_F(MessageTest, ForeignSendersAreUnderstoodOrIgnored)
{
    if (!qavtest::HaveProgram("dbus-send")) GTEST_SKIP() << "dbus-send not installed";
    Collector collector;
    ASSERT_TRUE(collector.receiver.isListening());
    auto send = [](const std::string& member, const std::string& args) {
        return qavtest::RunCommand("dbus-send --session --type=signal /org/voranta/qav " + member + " " + args, true);
    };
    // Another object path, another interface and an unknown name are not ours.
    qavtest::RunCommand("dbus-send --session --type=signal /org/voranta/other org.voranta.qav.Messages.NLIST_Exit", true);
    send("org.voranta.other.Messages.NLIST_Exit", "");
    send("org.voranta.qav.Messages.Printer_Exploded", "int32:1");
    // Ours, with the argument as sent, without one, or with one of another type.
    send("org.voranta.qav.Messages.Update_Trap", "int32:2");
    send("org.voranta.qav.Messages.NLIST_Exit", "");
    send("org.voranta.qav.Messages.Update_Trap", "string:four");
    send("org.voranta.qav.Messages.Update_Trap", "uint32:4");
    ASSERT_TRUE(collector.WaitFor(4));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
    EXPECT_EQ(collector.got, (Received{{Message::UpdateTrap, 2},
                                       {Message::NlistExit, 0},
                                       {Message::UpdateTrap, 0},
                                       {Message::UpdateTrap, 4}}));
}

TEST_F(MessageTest, WithoutASessionBusBothSidesFailSoftly)
{
    for (const std::string& address : {"unix:path=" + dir_.File("no-bus-here"), std::string("nonsense")}) {
        ChildProcess sender;
        ASSERT_TRUE(StartPeer(sender, {"send", "Log_Settings_Changed", "0"}, "sender.log",
                              {{"DBUS_SESSION_BUS_ADDRESS", address}, {"DISPLAY", ""}}));
        EXPECT_EQ(sender.Wait(20000), 3) << sender.Log();
        EXPECT_NE(sender.Log().find("error no session bus"), std::string::npos) << sender.Log();

        ChildProcess receiver;
        ASSERT_TRUE(StartPeer(receiver, {"receive", "1", "1000"}, "receiver.log",
                              {{"DBUS_SESSION_BUS_ADDRESS", address}, {"DISPLAY", ""}}));
        EXPECT_EQ(receiver.Wait(20000), 3) << receiver.Log();
        EXPECT_NE(receiver.Log().find("nobus no session bus"), std::string::npos) << receiver.Log();
    }
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

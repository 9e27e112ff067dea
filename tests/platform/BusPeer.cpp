// The other process of the message tests.
//
//   send NAME WPARAM [NAME WPARAM ...]   broadcast; "sent NAME" per message,
//                                        or "error <reason>" and exit 3
//   receive COUNT TIMEOUT_MS             "ready" once listening, then
//                                        "got NAME WPARAM" (all messages) and
//                                        "typed NAME WPARAM" (the message's own
//                                        signal) per message; exit 0 after COUNT
//                                        messages, 2 on timeout, 3 without a bus
#include "qavplatform/MessageBus.h"
#include "qavplatform/Result.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace qavplatform;

namespace {

void Say(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) return 2;
    std::string command = argv[1];

    if (command == "send") {
        for (int i = 2; i + 1 < argc; i += 2) {
            Message message;
            if (!MessageFromName(argv[i], &message)) return 2;
            std::string error;
            if (BroadcastMessage(message, std::atoi(argv[i + 1]), &error) != kOk) {
                Say("error " + error);
                return 3;
            }
            Say(std::string("sent ") + argv[i]);
        }
        return 0;
    }

    if (command == "receive" && argc >= 4) {
        const int count = std::atoi(argv[2]);
        MessageReceiver receiver;
        if (!receiver.isListening()) {
            Say("nobus " + receiver.errorText().toStdString());
            return 3;
        }
        int seen = 0;
        QObject::connect(&receiver, &MessageReceiver::received, [&](Message message, int wParam) {
            Say(std::string("got ") + MessageName(message) + " " + std::to_string(wParam));
            if (++seen == count) QTimer::singleShot(0, &app, [&] { app.exit(0); });
        });
        auto typed = [](const char* name) {
            return [name](int wParam = 0) { Say(std::string("typed ") + name + " " + std::to_string(wParam)); };
        };
        QObject::connect(&receiver, &MessageReceiver::nwatchExit, [=] { typed("NWATCH_Exit")(); });
        QObject::connect(&receiver, &MessageReceiver::nlistExit, [=] { typed("NLIST_Exit")(); });
        QObject::connect(&receiver, &MessageReceiver::logSettingsChanged, [=] { typed("Log_Settings_Changed")(); });
        QObject::connect(&receiver, &MessageReceiver::surveillanceOptionsChanged,
                         [=] { typed("Surveillance_Options_Changed")(); });
        QObject::connect(&receiver, &MessageReceiver::updateTrap, [=](int w) { typed("Update_Trap")(w); });
        QTimer::singleShot(std::atoi(argv[3]), &app, [&] { app.exit(2); });
        Say("ready");
        return app.exec();
    }
    return 2;
}

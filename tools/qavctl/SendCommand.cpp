// qavctl send: a file sent raw to a printer (a label job, a command file),
// in the background of the communication library, with a progress bar on a
// terminal; whatever the printer answers is printed afterwards.
#include <strings.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "Commands.h"
#include "Json.h"
#include "Ports.h"
#include "Text.h"
#include "ncomm/CQBPEvent.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"
#include "nload/Printer.h"

namespace qavctl {

namespace {

constexpr int kDefaultReplySeconds = 3;
constexpr int kPollMs = 100;
constexpr int kBarWidth = 40;

void ShowProgress(long long sent, long long total)
{
    const int filled = total > 0 ? static_cast<int>(sent * kBarWidth / total) : kBarWidth;
    const int percent = total > 0 ? static_cast<int>(sent * 100 / total) : 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%  %lld / %lld bytes", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(kBarWidth - filled), ' ').c_str(), percent, sent, total);
    std::fflush(stderr);
}

// Reads what the printer sends back for up to `seconds`, printing it as it
// comes unless `print` is off; stops early when the printer closes the
// connection. Returns all that came.
std::string ReadReplies(CQBPTrans& session, int seconds, bool print)
{
    std::string replies;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    char buffer[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        int received = 0;
        QBPSetLastError(0);
        session.Receive(buffer, sizeof buffer, received);
        if (received > 0) {
            const std::string_view piece(buffer, static_cast<size_t>(received));
            replies += piece;
            if (!print) continue;
            std::printf("%s\n", VisibleText(piece).c_str());
            std::fflush(stdout);
        } else if (QBPGetLastError() != QBP_RECV_TIMEOUT && QBPGetLastError() != 0) {
            break; // the printer closed the connection, or the port reads nothing
        }
    }
    return replies;
}

} // namespace

int RunSend(const Args& args, const Output& output)
{
    std::string port = "TCP/IP";
    int replySeconds = kDefaultReplySeconds;
    size_t i = 0;
    for (; i < args.size() && args[i].size() > 1 && args[i][0] == '-'; ++i) {
        if ((args[i] == "--port" || args[i] == "--reply-seconds") && i + 1 >= args.size())
            return UsageError("option " + args[i] + " needs a value");
        if (args[i] == "--port") {
            port = args[++i];
        } else if (args[i] == "--reply-seconds") {
            char* end = nullptr;
            replySeconds = static_cast<int>(std::strtol(args[++i].c_str(), &end, 10));
            if (*end || replySeconds < 0) return UsageError("--reply-seconds takes a number of seconds");
        } else {
            return UsageError("unknown option " + args[i]);
        }
    }
    if (args.size() - i != 2) return UsageError("send takes ADDRESS FILE");
    std::string address = args[i];
    const std::string& path = args[i + 1];
    // A host alone on TCP/IP means the printer's raw port.
    if (strcasecmp(port.c_str(), "TCP/IP") == 0 && address.find(':') == std::string::npos)
        address += ":" + std::to_string(nload::kRawPort);
    std::string error;
    if (!CheckPortAddress(port, address, error)) return UsageError(error);
    if (port == "SNMP") return UsageError("send needs a raw port: TCP/IP, COMn, LPTn or USB");

    std::ifstream in(path, std::ios::binary);
    if (!in) return UsageError("file " + path + " cannot be read");
    std::ostringstream content;
    content << in.rdbuf();
    const std::string data = content.str();
    if (data.size() > 0x7FFFFFFFu) return UsageError("file " + path + " is larger than 2 GB");

    int rc = 0;
    CQBPTrans session(rc, 1);
    if (!OpenPort(session, port, address)) return 1;
    CQBPEvent done;
    rc = session.Send(data.data(), static_cast<int>(data.size()), &done);
    if (rc != QBP_OK) {
        std::fprintf(stderr, "qavctl: %s: error %d: %s\n", PortText(port, address).c_str(), rc, QBPResultText(rc));
        return 1;
    }
    const bool bar = ::isatty(2) != 0;
    while (!done.Wait(kPollMs)) {
        if (bar) ShowProgress(session.GetSentBytes(), static_cast<long long>(data.size()));
    }
    const int status = session.GetSendStatus();
    if (bar) {
        ShowProgress(status == 2 ? static_cast<long long>(data.size()) : session.GetSentBytes(),
                     static_cast<long long>(data.size()));
        std::fputc('\n', stderr);
    }
    if (status != 2) {
        std::fprintf(stderr, "qavctl: %s: %s: error %d: %s after %d of %zu bytes\n", PortText(port, address).c_str(),
                     path.c_str(), status, QBPResultText(status), session.GetSentBytes(), data.size());
        return 1;
    }
    std::string replies;
    if (port.rfind("LPT", 0) != 0 && replySeconds > 0) replies = ReadReplies(session, replySeconds, !output.json);
    if (output.json) {
        JsonWriter json;
        json.BeginObject()
            .Field("port", port)
            .Field("address", address)
            .Field("file", path)
            .Field("bytes", data.size())
            .Field("reply", replies)
            .EndObject()
            .Print();
    }
    return 0;
}

} // namespace qavctl

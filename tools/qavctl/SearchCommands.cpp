// qavctl discover | search: the printer discovery on its own, and the whole
// device search into the group file of the data folder, without a window.
#include <arpa/inet.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Commands.h"
#include "Json.h"
#include "ncomm/CQBPSearch.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"
#include "nlist/DeviceSearch.h"
#include "nlist/Nlist.h"
#include "qavplatform/Address.h"
#include "qavres/Resources.h"
#include "qavsettings/DataFolder.h"

namespace qavctl {

namespace {

// Follows the search on standard error when that is a terminal: one line,
// redrawn in place, with the seconds of the discovery against its time-out
// and the addresses found, then the addresses read and the printers merged.
// The library's messages go to standard error in any case.
class ProgressPrinter : public nlist::SearchObserver {
public:
    explicit ProgressPrinter(bool terminal) : terminal_(terminal) {}

    void OnProgress(const nlist::SearchProgress& p) override
    {
        if (!terminal_) return;
        switch (p.phase) {
        case nlist::SearchPhase::kDiscovery:
            Show("searching: " + std::to_string(p.elapsedMs / 1000) + " / " + std::to_string(p.timeoutSeconds) +
                 " s, " + Count(p.found, "address", "addresses") + " found");
            break;
        case nlist::SearchPhase::kProcessing:
            Show("reading printers: " + std::to_string(p.position) + " / " + Count(p.found, "address", "addresses") +
                 ", " + Count(p.merged, "printer", "printers") + " merged");
            break;
        case nlist::SearchPhase::kFinished:
            Clear();
            break;
        }
    }
    void OnMessage(const std::string& text) override
    {
        Clear();
        std::fprintf(stderr, "qavctl: %s\n", text.c_str());
    }

private:
    static std::string Count(int n, const char* one, const char* many)
    {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    }
    void Show(const std::string& line)
    {
        std::fprintf(stderr, "\r\033[K%s", line.c_str());
        std::fflush(stderr);
        shown_ = true;
    }
    void Clear()
    {
        if (!shown_) return;
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        shown_ = false;
    }

    bool terminal_;
    bool shown_ = false;
};

} // namespace

int RunDiscover(const Args& args, const Output& output)
{
    std::vector<std::string> ranges;
    std::string broadcastTo;
    int seconds = 5;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a != "--range" && a != "--to" && a != "--seconds") return UsageError("unknown option " + a);
        if (i + 1 >= args.size()) return UsageError("option " + a + " needs a value");
        const std::string& value = args[++i];
        if (a == "--range") {
            const size_t dash = value.find('-');
            const std::string firstText = value.substr(0, dash);
            const std::string lastText = dash == std::string::npos ? firstText : value.substr(dash + 1);
            uint32_t first = 0, last = 0;
            if (!qavplatform::ParseAddress(firstText, first) || !qavplatform::ParseAddress(lastText, last))
                return UsageError("bad range '" + value + "': A-B of dotted IPv4 addresses, or one address");
            // A range typed last address first means the same addresses, as
            // in the search settings dialog.
            if (first > last) std::swap(first, last);
            ranges.push_back(qavplatform::AddressText(first) + "-" + qavplatform::AddressText(last));
        } else if (a == "--to") {
            uint32_t address = 0;
            if (!qavplatform::ParseAddress(value, address)) return UsageError("bad address '" + value + "'");
            broadcastTo = value;
        } else {
            char* end = nullptr;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || n < 1 || n > 600) return UsageError("--seconds takes 1 to 600");
            seconds = static_cast<int>(n);
        }
    }
    if (!ranges.empty() && !broadcastTo.empty()) return UsageError("--range and --to exclude each other");

    qavres::ObjectTable objects;
    std::string error;
    if (!objects.Load(&error)) {
        std::fprintf(stderr, "qavctl: the object table cannot be loaded: %s\n", error.c_str());
        return 1;
    }
    const std::string oid = objects.RequestOid(1361, 0);
    CQBPSearch search;
    const int rc = ranges.empty()
                       ? search.SearchPrinter(oid.c_str(), seconds, broadcastTo.empty() ? nullptr : broadcastTo.c_str())
                       : search.SingleSearchPrinter(oid.c_str(), seconds, &ranges);
    if (rc != 0) {
        std::fprintf(stderr, "qavctl: the discovery did not start: error %d: %s (system error %d)\n", rc,
                     QBPResultText(rc), QBPGetLastError());
        return 1;
    }
    // Each address is printed when it answers; JSON waits for the end.
    int printed = 0;
    std::vector<std::string> addresses;
    auto printNew = [&] {
        for (const int size = search.SearchGetSize(); printed < size; ++printed) {
            addresses.push_back(qavplatform::AddressText(ntohl(static_cast<uint32_t>(search.SearchGetAt(printed)))));
            if (output.json) continue;
            std::printf("%s\n", addresses.back().c_str());
            std::fflush(stdout);
        }
    };
    while (search.SearchGetResult() == QBP_SEARCH_RUNNING) {
        printNew();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    printNew();
    const int result = search.SearchGetResult();
    std::fprintf(stderr, "%d answered in %d s\n", printed, seconds);
    if (output.json) {
        JsonWriter json;
        json.BeginObject().Field("seconds", seconds).Field("addresses", addresses).EndObject().Print();
    }
    if (result != 0) {
        std::fprintf(stderr, "qavctl: the discovery ended with error %d: %s (system error %d)\n", result,
                     QBPResultText(result), QBPGetLastError());
        return 1;
    }
    return 0;
}

int RunSearch(const Args& args, const Output& output)
{
    if (!args.empty()) return UsageError("search takes no arguments (it follows QAVSearchConfig.qso)");
    const std::string path = qavsettings::DataFilePath(qavsettings::kGroupFile);
    if (CheckQdlFileFormat(path) != 1 || PopulateVectors(path) != 1) {
        std::fprintf(stderr, "qavctl: %s: not a valid group file (scripts/install-data creates one)\n", path.c_str());
        return 1;
    }
    nlist::DeviceSearch search(nlist::ReadSearchSettings());
    ProgressPrinter printer(::isatty(STDERR_FILENO) == 1);
    const nlist::SearchProgress p = search.Run(&printer);
    const int written = SaveListDataToFile(path);
    if (written < 0) {
        std::fprintf(stderr, "qavctl: %s cannot be written\n", path.c_str());
        return 1;
    }
    if (output.json) {
        JsonWriter json;
        json.BeginObject()
            .Field("seconds", search.Settings().timeoutSeconds)
            .Field("elapsedMs", p.elapsedMs)
            .Field("found", p.found)
            .Field("merged", p.merged)
            .Field("printers", written)
            .Field("file", path)
            .EndObject()
            .Print();
        return 0;
    }
    std::printf("%d addresses found, %d printers merged in %.1f s; %d printers in %s\n", p.found, p.merged,
                p.elapsedMs / 1000.0, written, path.c_str());
    return 0;
}

} // namespace qavctl

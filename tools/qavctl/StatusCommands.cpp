// qavctl status and key: what the status monitor's pages show, and its
// remote keys, for several printers at once, through the status monitor's
// own core.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <future>
#include <string>
#include <vector>

#include "Commands.h"
#include "Json.h"
#include "Text.h"
#include "nstat/RemoteKeys.h"
#include "nstat/Report.h"
#include "nstat/StatusDecoding.h"
#include "qavplatform/Address.h"
#include "qavres/Resources.h"

namespace qavctl {

namespace {

enum class Page { kDevice, kJob, kNetwork };

struct StatusOptions {
    Page page = Page::kDevice;
    std::vector<uint32_t> addresses;
    std::vector<std::string> texts; // as given
};

bool ParseStatusOptions(const Args& args, StatusOptions& o, std::string& error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--page") {
            const std::string page = i + 1 < args.size() ? args[++i] : std::string();
            if (page == "device") o.page = Page::kDevice;
            else if (page == "job") o.page = Page::kJob;
            else if (page == "network") o.page = Page::kNetwork;
            else {
                error = "--page takes device, job or network";
                return false;
            }
        } else if (!a.empty() && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else {
            uint32_t address = 0;
            if (!qavplatform::ParseAddress(a, address)) {
                error = "bad address '" + a + "': a dotted IPv4 address is expected";
                return false;
            }
            o.addresses.push_back(address);
            o.texts.push_back(a);
        }
    }
    if (o.addresses.empty()) {
        error = "no printer address given";
        return false;
    }
    return true;
}

// The language texts and the object table, loaded once.
struct Resources {
    qavres::StringTable texts;
    qavres::ObjectTable objects;
    std::string error;
    bool Load()
    {
        std::string why;
        if (!texts.Load(qavres::kLanguage, &why)) {
            error = "the language texts cannot be loaded (" + why + ")";
            return false;
        }
        if (!objects.Load(&why)) {
            error = "the object table cannot be loaded (" + why + ")";
            return false;
        }
        return true;
    }
};

std::vector<std::string> IndicatorNames(const nstat::StatusResult& s)
{
    std::vector<std::string> names;
    for (int i : s.indicators) names.push_back(nstat::SymbolName(i));
    return names;
}

std::string ViewTitle(const nstat::StatusReport& r, size_t i, const qavres::StringTable& texts)
{
    return i < r.page.views.size() ? texts.Get(r.page.views[i].selectorText) : std::string();
}

void AddJson(JsonWriter& json, const std::string& address, const nstat::StatusReport& r,
             const qavres::StringTable& texts)
{
    const nstat::Identity& id = r.page.identity;
    json.BeginObject()
        .Field("address", address)
        .Field("answered", r.answered)
        .Field("maker", r.maker)
        .Field("name", id.name)
        .Field("model", id.model)
        .Field("location", id.location)
        .Field("port", id.port)
        .Field("status", id.status)
        .Field("symbol", nstat::SymbolName(r.page.status.symbol))
        .Field("indicators", IndicatorNames(r.page.status))
        .Field("help", r.page.status.helpTopic)
        .Field("panel", r.page.panel)
        .Field("serial", id.serial)
        .Field("mac", id.mac)
        .Key("views")
        .BeginArray();
    for (size_t i = 0; i < r.views.size(); ++i) {
        const nstat::ViewContent& v = r.views[i];
        json.BeginObject().Field("view", ViewTitle(r, i, texts)).Field("columns", v.columns).Key("rows").BeginArray();
        for (const auto& row : v.rows) json.Value(row);
        json.EndArray().EndObject();
    }
    json.EndArray().EndObject();
}

void PrintText(const std::string& address, const nstat::StatusReport& r, const qavres::StringTable& texts)
{
    const nstat::Identity& id = r.page.identity;
    std::printf("%s%s\n", address.c_str(), r.answered ? "" : "  (no answer)");
    auto line = [](const char* key, const std::string& value) {
        std::printf("  %-11s %s\n", key, VisibleText(value).c_str());
    };
    line("name", id.name);
    line("model", id.model);
    line("location", id.location);
    line("port", id.port);
    line("status", id.status);
    line("symbol", nstat::SymbolName(r.page.status.symbol));
    std::string indicators;
    for (const std::string& n : IndicatorNames(r.page.status)) indicators += (indicators.empty() ? "" : " ") + n;
    line("indicators", indicators);
    line("help", std::to_string(r.page.status.helpTopic));
    std::string panel = r.page.panel;
    for (size_t at; (at = panel.find("\r\n")) != std::string::npos;) panel.replace(at, 2, " | ");
    line("panel", panel);
    line("serial", id.serial);
    line("mac", id.mac);
    for (size_t i = 0; i < r.views.size(); ++i) {
        std::printf("  [%s]\n", VisibleText(ViewTitle(r, i, texts)).c_str());
        for (const auto& row : r.views[i].rows) {
            std::string cells;
            for (size_t k = 1; k < row.size(); ++k) cells += (k > 1 ? "  " : "") + row[k];
            std::printf("    %-40s %s\n", row.empty() ? "" : VisibleText(row[0]).c_str(), VisibleText(cells).c_str());
        }
    }
}

// The job or network page of one printer.
struct PageReport {
    bool answered = false;
    bool maker = false;
    nstat::JobPage job;
    nstat::NetworkPage network;
};

PageReport ReadPage(nstat::Printer& printer, Page page)
{
    PageReport r;
    printer.ReadMakerFlag();
    if (page == Page::kJob) r.job = printer.ReadJobPage();
    else r.network = printer.ReadNetworkPage();
    r.answered = printer.State().connected;
    r.maker = printer.State().maker;
    return r;
}

void PrintPage(const std::string& address, const PageReport& r, Page page, const qavres::StringTable& texts,
               JsonWriter* json)
{
    if (page == Page::kJob) {
        std::vector<std::string> titles;
        for (int id : {5500, 5501, 5503, 5504, 5505}) titles.push_back(texts.Get(id));
        const size_t shown = std::min<size_t>(5, r.job.row.size());
        const std::vector<std::string> row(r.job.row.begin(), r.job.row.begin() + static_cast<long>(shown));
        if (json) {
            json->BeginObject()
                .Field("address", address)
                .Field("answered", r.answered)
                .Field("columns", titles)
                .Key("rows")
                .BeginArray();
            if (r.job.read) json->Value(row);
            json->EndArray().EndObject();
            return;
        }
        std::printf("%s%s\n", address.c_str(), r.answered ? "" : "  (no answer)");
        if (!r.job.read) return;
        for (size_t i = 0; i < row.size(); ++i)
            std::printf("  %-16s %s\n", VisibleText(titles[i]).c_str(), VisibleText(row[i]).c_str());
        return;
    }
    const nstat::NetworkPage& n = r.network;
    const std::pair<int, std::string> fields[] = {
        {5600, n.board}, {5601, n.interfaceType}, {5604, n.mac}, {5602, n.address}, {5603, n.mask}};
    if (json) {
        json->BeginObject()
            .Field("address", address)
            .Field("answered", r.answered)
            .Field("board", n.board)
            .Field("interfaceType", n.interfaceType)
            .Field("mac", n.mac)
            .Field("ip", n.address)
            .Field("mask", n.mask)
            .Key("rows")
            .BeginArray();
        for (const auto& row : n.rows) json->Value(row);
        json->EndArray().EndObject();
        return;
    }
    std::printf("%s%s\n", address.c_str(), r.answered ? "" : "  (no answer)");
    for (const auto& [label, value] : fields)
        std::printf("  %-16s %s\n", VisibleText(texts.Get(label)).c_str(), VisibleText(value).c_str());
    for (const auto& row : n.rows) {
        if (row[0].empty()) continue;
        if (row[1].empty()) std::printf("  [%s]\n", VisibleText(row[0]).c_str());
        else std::printf("    %-44s %s\n", VisibleText(row[0]).c_str(), VisibleText(row[1]).c_str());
    }
}

bool ParseKey(const std::string& word, nstat::Key& key, bool& reset)
{
    reset = word == "reset";
    if (word == "feed") key = nstat::Key::kFeed;
    else if (word == "restart") key = nstat::Key::kRestart;
    else if (word == "pause") key = nstat::Key::kPause;
    return reset || word == "feed" || word == "restart" || word == "pause";
}

} // namespace

int RunStatus(const Args& args, const Output& output)
{
    StatusOptions o;
    std::string error;
    if (!ParseStatusOptions(args, o, error)) return UsageError(error);
    Resources res;
    if (!res.Load()) {
        std::fprintf(stderr, "qavctl: %s\n", res.error.c_str());
        return 1;
    }
    if (o.page != Page::kDevice) {
        std::vector<std::future<PageReport>> pages;
        for (uint32_t address : o.addresses) {
            pages.push_back(std::async(std::launch::async, [&res, address, page = o.page] {
                nstat::SnmpLink link(address, res.objects);
                nstat::Printer printer(link, res.texts, address);
                return ReadPage(printer, page);
            }));
        }
        int rc = 0;
        JsonWriter json;
        json.BeginArray();
        for (size_t i = 0; i < pages.size(); ++i) {
            const PageReport r = pages[i].get();
            if (!r.answered) {
                rc = 1;
                std::fprintf(stderr, "qavctl: %s: the printer does not answer\n", o.texts[i].c_str());
            }
            PrintPage(o.texts[i], r, o.page, res.texts, output.json ? &json : nullptr);
        }
        if (output.json) json.EndArray().Print();
        std::fflush(stdout);
        return rc;
    }
    // Every printer is read on a thread of its own: a silent one costs its
    // time-out once, not once per printer.
    std::vector<std::future<nstat::StatusReport>> reads;
    for (uint32_t address : o.addresses) {
        reads.push_back(std::async(std::launch::async, [&res, address] {
            nstat::SnmpLink link(address, res.objects);
            nstat::Printer printer(link, res.texts, address);
            return nstat::ReadStatusReport(printer);
        }));
    }
    int rc = 0;
    JsonWriter json;
    json.BeginArray();
    for (size_t i = 0; i < reads.size(); ++i) {
        const nstat::StatusReport r = reads[i].get();
        if (!r.answered) {
            rc = 1;
            std::fprintf(stderr, "qavctl: %s: the printer does not answer\n", o.texts[i].c_str());
        }
        if (output.json) AddJson(json, o.texts[i], r, res.texts);
        else PrintText(o.texts[i], r, res.texts);
    }
    if (output.json) json.EndArray().Print();
    std::fflush(stdout);
    return rc;
}

int RunKey(const Args& args, const Output& output)
{
    bool yes = false;
    std::vector<std::string> words;
    for (const std::string& a : args) {
        if (a == "--yes" || a == "-y") yes = true;
        else if (!a.empty() && a[0] == '-') return UsageError("unknown option " + a);
        else words.push_back(a);
    }
    if (words.size() < 2) return UsageError("key ADDRESS... feed|pause|restart|reset");
    nstat::Key key = nstat::Key::kFeed;
    bool reset = false;
    const std::string keyWord = words.back();
    if (!ParseKey(keyWord, key, reset)) return UsageError("the key is feed, pause, restart or reset");
    words.pop_back();
    std::vector<uint32_t> addresses;
    for (const std::string& w : words) {
        uint32_t a = 0;
        if (!qavplatform::ParseAddress(w, a))
            return UsageError("bad address '" + w + "': a dotted IPv4 address is expected");
        addresses.push_back(a);
    }
    Resources res;
    if (!res.Load()) {
        std::fprintf(stderr, "qavctl: %s\n", res.error.c_str());
        return 1;
    }
    if (reset && !yes) {
        // A reset takes the printers away for half a minute: asked first,
        // on standard error, so that standard output keeps only results.
        if (!::isatty(0)) return UsageError("reset asks first; without a terminal, confirm it with --yes");
        std::string list;
        for (const std::string& w : words) list += (list.empty() ? "" : ", ") + w;
        std::fprintf(stderr, "%s (%s) [y/N] ", res.texts.Get(5305).c_str(), list.c_str());
        std::fflush(stderr);
        std::string answer;
        std::getline(std::cin, answer);
        if (answer != "y" && answer != "Y" && answer != "yes") return 1;
    }
    struct Result {
        bool sent = false;
        bool answered = false;
    };
    std::vector<std::future<Result>> sends;
    for (uint32_t address : addresses) {
        sends.push_back(std::async(std::launch::async, [&res, address, key, reset] {
            nstat::SnmpLink link(address, res.objects);
            nstat::Printer printer(link, res.texts, address);
            Result r;
            r.sent = reset ? nstat::SendReset(printer) : nstat::SendKey(printer, key);
            r.answered = printer.State().connected;
            return r;
        }));
    }
    int rc = 0;
    JsonWriter json;
    json.BeginArray();
    for (size_t i = 0; i < sends.size(); ++i) {
        const Result r = sends[i].get();
        const char* why = r.sent       ? ""
                          : r.answered ? "the printer refused the key (it has no remote keys)"
                                       : "the printer does not answer";
        if (output.json) {
            json.BeginObject().Field("address", words[i]).Field("key", keyWord).Field("sent", r.sent);
            if (!r.sent) json.Field("error", why);
            json.EndObject();
        } else if (r.sent) {
            std::printf("%s: %s sent\n", words[i].c_str(), keyWord.c_str());
        }
        if (r.sent) continue;
        rc = 1;
        std::fprintf(stderr, "qavctl: %s: %s\n", words[i].c_str(), why);
    }
    if (output.json) json.EndArray().Print();
    return rc;
}

} // namespace qavctl

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
#include "nstat/RemoteKeys.h"
#include "nstat/Report.h"
#include "nstat/StatusDecoding.h"
#include "qavplatform/Address.h"
#include "qavres/Resources.h"

namespace qavctl {

namespace {

enum class Page { kDevice, kJob, kNetwork };

struct StatusOptions {
    bool json = false;
    Page page = Page::kDevice;
    std::vector<uint32_t> addresses;
    std::vector<std::string> texts; // as given
};

bool ParseStatusOptions(const Args& args, StatusOptions& o, std::string& error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            o.json = true;
        } else if (a == "--page") {
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

// JSON string: quotes, backslashes and control characters escaped; bytes
// that are not UTF-8 are taken as Latin-1.
std::string Json(const std::string& text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool valid = len > 0 && i + len <= text.size();
        for (size_t k = 1; valid && k < len; ++k) valid = (static_cast<unsigned char>(text[i + k]) >> 6) == 2;
        char buffer[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (valid) {
            out.append(text, i, len);
            i += len - 1;
        } else {
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        }
    }
    return out + "\"";
}

std::string JsonList(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + Json(items[i]);
    return out + "]";
}

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

void PrintJson(const std::string& address, const nstat::StatusReport& r, const qavres::StringTable& texts,
               bool last)
{
    const nstat::Identity& id = r.page.identity;
    std::printf("  {\"address\": %s, \"answered\": %s, \"maker\": %s,\n", Json(address).c_str(),
                r.answered ? "true" : "false", r.maker ? "true" : "false");
    std::printf("   \"name\": %s, \"model\": %s, \"location\": %s, \"port\": %s,\n", Json(id.name).c_str(),
                Json(id.model).c_str(), Json(id.location).c_str(), Json(id.port).c_str());
    std::printf("   \"status\": %s, \"symbol\": %s, \"indicators\": %s, \"help\": %d,\n", Json(id.status).c_str(),
                Json(nstat::SymbolName(r.page.status.symbol)).c_str(), JsonList(IndicatorNames(r.page.status)).c_str(),
                r.page.status.helpTopic);
    std::printf("   \"panel\": %s, \"serial\": %s, \"mac\": %s,\n", Json(r.page.panel).c_str(), Json(id.serial).c_str(),
                Json(id.mac).c_str());
    std::printf("   \"views\": [");
    for (size_t i = 0; i < r.views.size(); ++i) {
        const nstat::ViewContent& v = r.views[i];
        std::printf("%s\n     {\"view\": %s, \"columns\": %s, \"rows\": [", i ? "," : "",
                    Json(ViewTitle(r, i, texts)).c_str(), JsonList(v.columns).c_str());
        for (size_t k = 0; k < v.rows.size(); ++k) std::printf("%s%s", k ? ", " : "", JsonList(v.rows[k]).c_str());
        std::printf("]}");
    }
    std::printf("]}%s\n", last ? "" : ",");
}

void PrintText(const std::string& address, const nstat::StatusReport& r, const qavres::StringTable& texts)
{
    const nstat::Identity& id = r.page.identity;
    std::printf("%s%s\n", address.c_str(), r.answered ? "" : "  (no answer)");
    auto line = [](const char* key, const std::string& value) { std::printf("  %-11s %s\n", key, value.c_str()); };
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
        std::printf("  [%s]\n", ViewTitle(r, i, texts).c_str());
        for (const auto& row : r.views[i].rows) {
            std::string cells;
            for (size_t k = 1; k < row.size(); ++k) cells += (k > 1 ? "  " : "") + row[k];
            std::printf("    %-40s %s\n", row.empty() ? "" : row[0].c_str(), cells.c_str());
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
               bool json, bool last)
{
    if (page == Page::kJob) {
        std::vector<std::string> titles;
        for (int id : {5500, 5501, 5503, 5504, 5505}) titles.push_back(texts.Get(id));
        const size_t shown = std::min<size_t>(5, r.job.row.size());
        const std::vector<std::string> row(r.job.row.begin(), r.job.row.begin() + static_cast<long>(shown));
        if (json) {
            std::printf("  {\"address\": %s, \"answered\": %s, \"columns\": %s, \"rows\": [%s]}%s\n",
                        Json(address).c_str(), r.answered ? "true" : "false", JsonList(titles).c_str(),
                        r.job.read ? JsonList(row).c_str() : "", last ? "" : ",");
            return;
        }
        std::printf("%s%s\n", address.c_str(), r.answered ? "" : "  (no answer)");
        if (!r.job.read) return;
        for (size_t i = 0; i < row.size(); ++i) std::printf("  %-16s %s\n", titles[i].c_str(), row[i].c_str());
        return;
    }
    const nstat::NetworkPage& n = r.network;
    const std::pair<int, std::string> fields[] = {
        {5600, n.board}, {5601, n.interfaceType}, {5604, n.mac}, {5602, n.address}, {5603, n.mask}};
    if (json) {
        std::printf("  {\"address\": %s, \"answered\": %s, \"board\": %s, \"interfaceType\": %s, \"mac\": %s,\n"
                    "   \"ip\": %s, \"mask\": %s, \"rows\": [",
                    Json(address).c_str(), r.answered ? "true" : "false", Json(n.board).c_str(),
                    Json(n.interfaceType).c_str(), Json(n.mac).c_str(), Json(n.address).c_str(), Json(n.mask).c_str());
        for (size_t k = 0; k < n.rows.size(); ++k) std::printf("%s%s", k ? ", " : "", JsonList(n.rows[k]).c_str());
        std::printf("]}%s\n", last ? "" : ",");
        return;
    }
    std::printf("%s%s\n", address.c_str(), r.answered ? "" : "  (no answer)");
    for (const auto& [label, value] : fields) std::printf("  %-16s %s\n", texts.Get(label).c_str(), value.c_str());
    for (const auto& row : n.rows) {
        if (row[0].empty()) continue;
        if (row[1].empty()) std::printf("  [%s]\n", row[0].c_str());
        else std::printf("    %-44s %s\n", row[0].c_str(), row[1].c_str());
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

int RunStatus(const Args& args)
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
        if (o.json) std::printf("[\n");
        for (size_t i = 0; i < pages.size(); ++i) {
            const PageReport r = pages[i].get();
            if (!r.answered) {
                rc = 1;
                std::fprintf(stderr, "qavctl: %s: the printer does not answer\n", o.texts[i].c_str());
            }
            PrintPage(o.texts[i], r, o.page, res.texts, o.json, i + 1 == pages.size());
        }
        if (o.json) std::printf("]\n");
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
    if (o.json) std::printf("[\n");
    for (size_t i = 0; i < reads.size(); ++i) {
        const nstat::StatusReport r = reads[i].get();
        if (!r.answered) {
            rc = 1;
            std::fprintf(stderr, "qavctl: %s: the printer does not answer\n", o.texts[i].c_str());
        }
        if (o.json) PrintJson(o.texts[i], r, res.texts, i + 1 == reads.size());
        else PrintText(o.texts[i], r, res.texts);
    }
    if (o.json) std::printf("]\n");
    std::fflush(stdout);
    return rc;
}

int RunKey(const Args& args)
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
        // A reset takes the printers away for half a minute: asked first.
        if (!::isatty(0)) return UsageError("reset asks first; without a terminal, confirm it with --yes");
        std::string list;
        for (const std::string& w : words) list += (list.empty() ? "" : ", ") + w;
        std::printf("%s (%s) [y/N] ", res.texts.Get(5305).c_str(), list.c_str());
        std::fflush(stdout);
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
    for (size_t i = 0; i < sends.size(); ++i) {
        const Result r = sends[i].get();
        if (r.sent) {
            std::printf("%s: %s sent\n", words[i].c_str(), keyWord.c_str());
            continue;
        }
        rc = 1;
        std::fprintf(stderr, "qavctl: %s: %s\n", words[i].c_str(),
                     r.answered ? "the printer refused the key (it has no remote keys)"
                                : "the printer does not answer");
    }
    return rc;
}

} // namespace qavctl

#include "nconfig/Apply.h"

#include <chrono>
#include <thread>

#include "ncomm/QBPResult.h"
#include "nconfig/Concurrent.h"
#include "nconfig/Texts.h"
#include "nconfig/Values.h"
#include "qavobj/PrinterObjects.h"

namespace nconfig {

int ReadPage(PrinterLink& link, PageModel& page)
{
    const std::vector<Parameter>& params = page.Parameters();
    size_t i = 0;
    int firstFailure = 0;
    while (i < params.size()) {
        const int block = params[i].block;
        std::vector<int> members;
        std::vector<ObjectRef> refs;
        for (; i < params.size() && params[i].block == block; ++i) {
            if (!params[i].Readable()) {
                page.SetRead(static_cast<int>(i), kUnknownValue);
                continue;
            }
            members.push_back(static_cast<int>(i));
            refs.push_back(ObjectRef{params[i].object, params[i].instance});
        }
        if (refs.empty()) continue;
        std::vector<std::string> values;
        // A printer that did not answer one block answers no other: the
        // rest stays unknown without waiting for it again.
        const int rc = firstFailure == 0 ? link.ReadBlock(refs, values) : firstFailure;
        if (rc != 0) firstFailure = rc;
        for (size_t k = 0; k < members.size(); ++k)
            page.SetRead(members[k], rc == 0 && k < values.size() ? values[k] : kUnknownValue);
    }
    return firstFailure;
}

int ReadDocument(PrinterLink& link, SettingsDocument& document)
{
    int firstFailure = 0;
    for (PageModel& page : document.Pages()) {
        if (firstFailure == 0) {
            firstFailure = ReadPage(link, page);
        } else {
            for (size_t i = 0; i < page.Parameters().size(); ++i) page.SetRead(static_cast<int>(i), kUnknownValue);
        }
        page.RestoreChanges();
    }
    return firstFailure;
}

bool ApplyResult::AllWritten() const
{
    if (!supported || otherModel) return false;
    for (const PageWrite& p : pages) {
        if (!p.complete) return false;
    }
    return true;
}

ApplyResult ApplyToPrinter(PrinterLink& link, const std::string& port, const std::string& address,
                           const SettingsDocument& document, const ApplyOptions& options)
{
    ApplyResult r;
    r.openCode = link.Open(port, address);
    if (r.openCode != 0) {
        r.check.code = r.openCode;
        return r;
    }
    if (options.check) {
        r.check = CheckOpenPrinter(link, options.knownModel, options.knownVersion);
        if (!r.check.Supported()) {
            link.Close();
            return r;
        }
        if (!options.expectModel.empty() && r.check.model != options.expectModel) {
            r.otherModel = true;
            link.Close();
            return r;
        }
    }
    r.supported = true;
    const std::vector<PageModel>& pages = document.Pages();
    for (size_t pi = 0; pi < pages.size(); ++pi) {
        const PageModel& page = pages[pi];
        if (page.Changes().Empty()) continue;
        PageWrite w;
        w.page = static_cast<int>(pi);
        w.complete = true;
        for (const SetData& e : page.Changes().Entries()) {
            const int code = link.Write(e.object, e.instance, e.value, &w.refused);
            if (code != 0) {
                w.complete = false;
                w.failedParameter = page.ParameterById(e.id);
                w.code = code;
                break;
            }
            w.refused = 0;
            const int param = page.ParameterById(e.id);
            if (param >= 0 && page.Parameters()[param].OwnAddress()) {
                r.ownAddressWritten = true;
                r.ownAddress = e.value;
            }
        }
        r.anyComplete = r.anyComplete || w.complete;
        r.pages.push_back(w);
        if (!w.complete && options.stopAtFailedPage) break;
    }
    // One printer: the settings of the pages written are taken. A printer of
    // a list takes them only when all its pages were written; it stays in
    // the list otherwise and is written again whole.
    const bool take = options.stopAtFailedPage ? r.anyComplete && r.AllWritten() : r.anyComplete;
    if (take) r.controlCode = link.Write(kObjectControl, 0, kApplySettings);
    link.Close();
    return r;
}

SingleApply ApplyAndReread(PrinterLink& link, SettingsDocument& document, const std::string& port,
                           const std::string& address, const std::string& model, const std::string& version,
                           int waitMs)
{
    SingleApply s;
    s.address = address;
    ApplyOptions options;
    options.knownModel = model;
    options.knownVersion = version;
    s.result = ApplyToPrinter(link, port, address, document, options);
    if (!s.result.supported) return s;
    for (const PageWrite& w : s.result.pages) {
        if (w.complete) document.Pages()[w.page].ChangesWritten();
    }
    if (waitMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    // The printer answers on its new address only when that was written.
    if (s.result.ownAddressWritten && s.result.ownAddress != address) {
        s.address = s.result.ownAddress;
        s.addressChanged = true;
    }
    document.SetAddress(s.address);
    s.readCode = link.Open(port, s.address);
    if (s.readCode == 0) {
        s.readCode = ReadDocument(link, document);
        link.Close();
    }
    return s;
}

std::vector<LineResult> ApplyListPass(const LinkFactory& links, const std::vector<ListLine>& lines,
                                      const SettingsDocument& document, const std::string& model, int jobs)
{
    std::vector<LineResult> results(lines.size());
    RunConcurrently(lines.size(), jobs, [&](size_t i) {
        std::unique_ptr<PrinterLink> link = links();
        ApplyOptions options;
        options.stopAtFailedPage = true;
        options.expectModel = model;
        LineResult& r = results[i];
        r.apply = ApplyToPrinter(*link, lines[i].port, lines[i].address, document, options);
        r.answered = r.apply.check.Answered();
        r.model = r.apply.check.model;
        r.written = r.apply.AllWritten();
        if (!r.written) {
            const bool unsupported = r.answered && (!r.apply.check.Supported() || r.apply.otherModel);
            r.stateText = unsupported ? kTextUnsupported : kTextNotWritten;
            r.reason = FailureReason(r.apply, document);
        }
    });
    return results;
}

std::string CheckFailureReason(const CheckResult& check)
{
    if (check.code == qavobj::kCheckFailed) return "no printer class or model: not a printer of the maker";
    if (!check.Answered()) return std::string("no answer (") + QBPResultText(check.code) + ")";
    if (!check.Supported()) return "unsupported printer class " + std::to_string(check.printerClass);
    return std::string();
}

std::string FailureReason(const ApplyResult& r, const SettingsDocument& document)
{
    if (!r.check.Supported()) return CheckFailureReason(r.check);
    if (r.otherModel) return "printer model " + r.check.model + ", not the model of these settings";
    for (const PageWrite& w : r.pages) {
        if (w.complete) continue;
        const PageModel& page = document.Pages()[w.page];
        std::string what = "page " + page.Title();
        if (w.failedParameter >= 0) what += ", " + page.Parameters()[w.failedParameter].key;
        if (w.refused != 0) return what + ": refused by the printer (" + QBPResultText(w.refused) + ")";
        if (w.code == qavobj::kCheckFailed) return what + ": the printer's answer was not for this object";
        return what + ": not written (" + QBPResultText(w.code) + ")";
    }
    return std::string();
}

} // namespace nconfig

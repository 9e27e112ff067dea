// Reading the pages from a printer and writing their changes back: for one
// printer (the system window in modes 2 and 3), for the printers of a list
// (mode 4), and for qavctl.
#pragma once

#include <string>
#include <vector>

#include "nconfig/Document.h"
#include "nconfig/ListFile.h"
#include "nconfig/Printer.h"

namespace nconfig {

// Reads one page over an open link, one request per block. 0 or the first
// failing transport code: a printer that did not answer one block is not
// asked for the next (blocks not read stay "@unknown@").
int ReadPage(PrinterLink& link, PageModel& page);
// Every page of the document, up to the first failure; pending changes are
// put back on top.
int ReadDocument(PrinterLink& link, SettingsDocument& document);

struct PageWrite {
    int page = 0;             // index in the document
    bool complete = false;
    int failedParameter = -1; // the parameter whose write failed
    int code = 0;             // its code
    int refused = 0;          // the printer's negative status, when it refused the value
};

struct ApplyOptions {
    bool check = true;            // run the printer check first
    // List mode: the first failed page ends the printer, and the printer is
    // told to take its settings only when every page was written.
    bool stopAtFailedPage = false;
    // List mode: the model the pages are for; a printer of another model is
    // not written. Empty: no comparison.
    std::string expectModel;
    // The model and version already known (the check then reads neither).
    std::string knownModel;
    std::string knownVersion;
};

struct ApplyResult {
    int openCode = 0;          // the session could not be opened
    CheckResult check;         // when the check ran
    bool supported = false;    // the check passed (or did not run): writes were tried
    bool otherModel = false;
    std::vector<PageWrite> pages; // the pages with changes, in tab order, as far as tried
    bool anyComplete = false;  // at least one page was written whole
    int controlCode = 0;       // the write of 20841 = "2", when tried
    bool ownAddressWritten = false;
    std::string ownAddress;    // the own address written

    // Every page with changes was written whole.
    bool AllWritten() const;
};

// Writes the change sets of the document's pages to one printer: the
// printer check first (a printer that does not answer, whose class is
// neither 0 nor 27, or of another model gets nothing); then page by page in
// tab order, entry by entry in change-set order, one set per parameter; a
// page stops at its first failure (and with stopAtFailedPage so does the
// printer); last 20841.0 = "2" when at least one page was written whole
// (with stopAtFailedPage: when every page was).
// The link is opened and closed here. Change sets are not touched.
ApplyResult ApplyToPrinter(PrinterLink& link, const std::string& port, const std::string& address,
                           const SettingsDocument& document, const ApplyOptions& options);

// The system window's apply (modes 2 and 3): ApplyToPrinter, the change
// sets of the pages written whole emptied, a wait of `waitMs` (the printer
// takes its new settings), then the printer's new address taken when its
// own address was written, and every page read again from there.
struct SingleApply {
    ApplyResult result;
    std::string address;    // the printer's address afterwards
    bool addressChanged = false;
    int readCode = 0;       // the read afterwards
};
SingleApply ApplyAndReread(PrinterLink& link, SettingsDocument& document, const std::string& port,
                           const std::string& address, const std::string& model, const std::string& version,
                           int waitMs = 1000);

// One printer of a list pass.
struct LineResult {
    bool written = false;  // every page with changes written: the line leaves the list
    bool answered = false; // the printer check got an answer
    std::string model;     // as the check read it
    int stateText = 0;     // not written: 5028, or 5029 for an unsupported class
    std::string reason;    // why it was not written
    ApplyResult apply;
};

// One pass of the list mode over `lines` (at most `jobs` printers at once;
// the results are in line order and the same as one after another).
std::vector<LineResult> ApplyListPass(const LinkFactory& links, const std::vector<ListLine>& lines,
                                      const SettingsDocument& document, const std::string& model,
                                      int jobs);

// Why a printer check failed ("" when it passed).
std::string CheckFailureReason(const CheckResult& check);

// Why a printer was not (wholly) written, for people: names the page and
// the parameter that failed and the printer's answer.
std::string FailureReason(const ApplyResult& result, const SettingsDocument& document);

} // namespace nconfig

// The pages of one window (diagnosis or system window) with their values
// and change sets, and the files the window writes and reads:
//
// Text export (both windows), CR LF line ends:
//   PORT: <port>_<address>
//   MODEL: <model>
//   VERSION: <version>
//   <empty line>
//   [<page title>]            for each page in tab order
//     <item>                  every tree item, indented two blanks per level
//
// Configuration data (.qcd, the system window), CR LF line ends:
//   [QAVNet Config Data]
//   MODEL=<model>
//   VERSION=<version>
//   <empty line>
//   [<model>]
//   <object.instance>=<shown value>   every leaf of level 2 or 3 with a value
//
// A value the printer did not give ("@unknown@") is not written into a
// configuration-data file: read back, it would be taken for a text.
#pragma once

#include <string>
#include <vector>

#include "nconfig/PageModel.h"
#include "nconfig/Pages.h"

namespace qavres {
class StringTable;
}

namespace nconfig {

class SettingsDocument {
public:
    // The pages of `book` that the window of `mode` shows, in tab order.
    SettingsDocument(const PageBook& book, const qavres::StringTable& language, int mode, bool diagnosis);

    int Mode() const { return mode_; }
    bool Diagnosis() const { return diagnosis_; }
    std::vector<PageModel>& Pages() { return pages_; }
    const std::vector<PageModel>& Pages() const { return pages_; }
    bool HasChanges() const;

    // Edits a parameter of a page. An edited own address (kind -3,
    // attribute 2) becomes the printer's new address.
    EditResult Edit(int page, int parameter, const std::string& text);
    const std::string& NewAddress() const { return newAddress_; }
    void SetAddress(const std::string& address) { address_ = newAddress_ = address; }
    const std::string& Address() const { return address_; }

    std::string TextExport(const std::string& port, const std::string& address, const std::string& model,
                           const std::string& version) const;
    std::string ConfigDataExport(const std::string& model, const std::string& version) const;

    // What became of one value of an imported file.
    enum class ImportOutcome { kChanged, kCancelled, kUnchanged, kInvalid, kReadOnly, kOwnAddress, kUnknown };
    struct ImportNote {
        int page = 0;
        int parameter = 0;
        std::string key;
        std::string value;
        ImportOutcome outcome = ImportOutcome::kUnchanged;
    };
    struct ImportReport {
        bool otherModel = false;  // message 6006: nothing was changed
        std::string fileModel;
        std::vector<ImportNote> notes; // the file's values, in tree order
        int changed = 0;
    };
    // Imports configuration data for the printer's model key. The file's
    // MODEL "M-UG2" stands for "QAV M-UG2W" too (an older spelling), and
    // still for a printer whose key is "M-UG2". Values are checked as in
    // editing; invalid values and values equal to the shown ones are
    // skipped without a word, and the printer's own address is never taken
    // (the new address goes back to the current one).
    ImportReport Import(const std::string& fileText, const std::string& model);

private:
    int mode_ = 0;
    bool diagnosis_ = false;
    std::vector<PageModel> pages_;
    std::string address_;
    std::string newAddress_;
};

// The model key a configuration-data file's MODEL value stands for.
std::string ConfigDataModel(const std::string& fileModel);

// Why an import outcome skipped a value ("" for the outcomes that change).
const char* ImportOutcomeText(SettingsDocument::ImportOutcome outcome);

} // namespace nconfig

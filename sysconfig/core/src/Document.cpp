#include "nconfig/Document.h"

#include <algorithm>

#include "nconfig/CommandLine.h"
#include "nconfig/Texts.h"
#include "nconfig/Values.h"
#include "qavres/Resources.h"
#include "qavsettings/Profile.h"

namespace nconfig {

namespace {

constexpr const char* kDataSection = "QAVNet Config Data";
constexpr const char* kCrLf = "\r\n";

// Models whose files carry an older spelling of their key.
struct ModelAlias {
    const char* file;
    const char* model;
};
const ModelAlias kModelAliases[] = {
    {"M-UG2", "QAV M-UG2W"},
};

// A value as one line of a file.
std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

} // namespace

std::string ConfigDataModel(const std::string& fileModel)
{
    for (const ModelAlias& a : kModelAliases) {
        if (fileModel == a.file) return a.model;
    }
    return fileModel;
}

const char* ImportOutcomeText(SettingsDocument::ImportOutcome outcome)
{
    using O = SettingsDocument::ImportOutcome;
    switch (outcome) {
    case O::kChanged: return "";
    case O::kCancelled: return "";
    case O::kUnchanged: return "unchanged";
    case O::kInvalid: return "invalid value";
    case O::kReadOnly: return "read-only";
    case O::kOwnAddress: return "the printer's own address is never imported";
    case O::kUnknown: return "no value";
    }
    return "";
}

SettingsDocument::SettingsDocument(const PageBook& book, const qavres::StringTable& language, int mode, bool diagnosis)
    : mode_(mode), diagnosis_(diagnosis)
{
    const std::string nameFormat = language.Get(kTextNameFormat);
    for (int p : VisiblePages(book, mode, diagnosis))
        pages_.emplace_back(book.pages[p], nameFormat, diagnosis, mode == kModeList);
}

bool SettingsDocument::HasChanges() const
{
    for (const PageModel& p : pages_) {
        if (!p.Changes().Empty()) return true;
    }
    return false;
}

EditResult SettingsDocument::Edit(int page, int parameter, const std::string& text)
{
    PageModel& model = pages_.at(page);
    std::string raw;
    const EditResult r = model.Edit(parameter, text, &raw);
    if ((r == EditResult::kChanged || r == EditResult::kCancelled) && model.Parameters()[parameter].OwnAddress())
        newAddress_ = raw;
    return r;
}

std::string SettingsDocument::TextExport(const std::string& port, const std::string& address,
                                         const std::string& model, const std::string& version) const
{
    std::string out = "PORT: " + port + "_" + address + kCrLf;
    out += "MODEL: " + model + kCrLf;
    out += "VERSION: " + version + kCrLf;
    out += kCrLf;
    for (const PageModel& page : pages_) {
        out += "[" + page.Title() + "]" + kCrLf;
        for (int n : page.TreeOrder()) {
            const int level = std::min(std::max(page.Nodes()[n].level, 1), 3);
            out += std::string(2 * level, ' ') + OneLine(page.NodeText(n)) + kCrLf;
        }
    }
    return out;
}

std::string SettingsDocument::ConfigDataExport(const std::string& model, const std::string& version) const
{
    std::string out = std::string("[") + kDataSection + "]" + kCrLf;
    out += "MODEL=" + model + kCrLf;
    out += "VERSION=" + version + kCrLf;
    out += kCrLf;
    out += "[" + model + "]" + kCrLf;
    for (const PageModel& page : pages_) {
        for (int n : page.TreeOrder()) {
            const TreeNode& node = page.Nodes()[n];
            if (node.parameter < 0 || node.level < 2) continue;
            const std::string& value = page.Value(node.parameter);
            if (value == kUnknownValue) continue;
            out += page.Parameters()[node.parameter].key + "=" + OneLine(value) + kCrLf;
        }
    }
    return out;
}

SettingsDocument::ImportReport SettingsDocument::Import(const std::string& fileText, const std::string& model)
{
    ImportReport report;
    qavsettings::ProfileDocument file;
    file.Parse(fileText);
    report.fileModel = file.GetString(kDataSection, "MODEL");
    // The older spelling of a key stands for its model, and never hides a
    // printer whose key is spelt as the file says.
    if (report.fileModel != model && ConfigDataModel(report.fileModel) != model) {
        report.otherModel = true;
        return report;
    }
    for (size_t pi = 0; pi < pages_.size(); ++pi) {
        PageModel& page = pages_[pi];
        for (int n : page.TreeOrder()) {
            const TreeNode& node = page.Nodes()[n];
            if (node.parameter < 0 || node.level < 2) continue;
            const Parameter& param = page.Parameters()[node.parameter];
            if (!file.Has(model, param.key)) continue;
            ImportNote note;
            note.page = static_cast<int>(pi);
            note.parameter = node.parameter;
            note.key = param.key;
            note.value = file.GetString(model, param.key, kUnknownValue);
            if (page.NodePicture(n) == kPictureReadOnly) {
                note.outcome = ImportOutcome::kReadOnly;
            } else if (param.OwnAddress()) {
                note.outcome = ImportOutcome::kOwnAddress;
                newAddress_ = address_;
            } else if (note.value == kUnknownValue) {
                note.outcome = ImportOutcome::kUnknown;
            } else {
                switch (page.Edit(node.parameter, note.value)) {
                case EditResult::kChanged: note.outcome = ImportOutcome::kChanged; ++report.changed; break;
                case EditResult::kCancelled: note.outcome = ImportOutcome::kCancelled; break;
                case EditResult::kUnchanged: note.outcome = ImportOutcome::kUnchanged; break;
                case EditResult::kInvalid: note.outcome = ImportOutcome::kInvalid; break;
                case EditResult::kNotEditable: note.outcome = ImportOutcome::kReadOnly; break;
                }
            }
            report.notes.push_back(std::move(note));
        }
    }
    return report;
}

} // namespace nconfig

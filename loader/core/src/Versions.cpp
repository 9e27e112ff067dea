#include "nload/Versions.h"

namespace nload {

namespace {

char At(const std::string& text, size_t i) { return i < text.size() ? text[i] : 0; }

bool Blank(char c) { return c == ' ' || c == 0; }

} // namespace

bool FileIsOlder(const std::string& printerVersion, const FileInfo& file)
{
    if (printerVersion.empty()) return false;
    const char major = At(printerVersion, 1), minor = At(printerVersion, 3), revision = At(printerVersion, 4);
    if (major != file.major) return major > file.major;
    if (minor != file.minor) return minor > file.minor;
    if (revision == ' ') return false;
    // A printer version without a revision place compares like one with a
    // blank there.
    if (revision == 0) return false;
    return Blank(file.revision) || file.revision < revision;
}

bool BootFits(const std::string& fileTypeField, const std::string& printerTypeField,
              const std::string& printerShortModel, const std::string& printerMainVersion)
{
    // A type field of blanks names no type, like an empty one.
    const std::string fileType = TrimRight(fileTypeField), printerType = TrimRight(printerTypeField);
    if (fileType.empty() || printerType.empty() || fileType == printerType) return true;
    if (fileType != "0021" || printerType != "0020") return false;
    if (printerShortModel.compare(0, 7, "M-PQ3W1") != 0) return false;
    const std::string& v = printerMainVersion;
    if (At(v, 0) != 'V') return false;
    const char major = At(v, 1), minor = At(v, 3);
    if (major < '0' || major > '9') return false;
    if (major < '2') return true;
    return major == '2' && minor >= '0' && minor < '2';
}

std::string FiveCharacterVersion(const std::string& version)
{
    std::string v = version.substr(0, 5);
    if (v.size() == 4) v += ' ';
    return v;
}

} // namespace nload

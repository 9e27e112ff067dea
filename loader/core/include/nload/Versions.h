// The rules that compare a file with the printers it is meant for: is the
// file older than what the printer runs, and may a boot program go into it.
#pragma once

#include <string>

#include "nload/Trailer.h"

namespace nload {

// Whether the file (its kept version digits) is older than the printer's
// version text ("V1.2A": major at position 1, minor at 3, revision at 4).
// An empty printer version never makes the file older. With equal major and
// minor a printer without revision (a blank) is never newer; otherwise the
// file is older when its own revision is a blank, missing, or lower.
bool FileIsOlder(const std::string& printerVersion, const FileInfo& file);

// Whether a BOOT file of boot type `fileType` may go into a printer of boot
// type `printerType`. Equal types fit. A "0021" file fits a "0020" printer
// only when the printer's short model begins with "M-PQ3W1" and its main
// program is older than V2.2 (major below 2, or major 2 and minor below 2).
// An empty (or blank) type on either side is not checked and fits.
bool BootFits(const std::string& fileType, const std::string& printerType, const std::string& printerShortModel,
              const std::string& printerMainVersion);

// A version text as the tool keeps it: cut to 5 characters, and a blank in
// the revision place when it has only 4 ("V1.2" -> "V1.2 ").
std::string FiveCharacterVersion(const std::string& version);

} // namespace nload

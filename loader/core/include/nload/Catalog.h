// The FTP catalog: "CATALOG.TXT" in the folder "ROM_FILE" of an FTP server,
// one line per file that can be downloaded, and the FTP transfers (libcurl,
// passive mode, binary) that fetch it and the chosen file.
//
// A catalog line holds N fields (N is text 4000 of the tool's texts), each
// followed by a comma; a field without a comma after it reads as empty:
//
//   0 file name   1 folder (relative to ROM_FILE)   2 kind name   3 model
//   4 version     5 text field 1   6 text field 2   7 size in KB (decimal)
//   8 checksum (8 hexadecimal digits)
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "nload/Trailer.h"

namespace nload {

inline constexpr const char* kCatalogFolder = "ROM_FILE";
inline constexpr const char* kCatalogFile = "CATALOG.TXT";
inline constexpr size_t kCatalogLineMax = 1023; // longer lines are cut

struct CatalogEntry {
    std::vector<std::string> fields; // always N of them
    std::string fileName, folder, kindName, model, version, text1, text2;
    uint32_t sizeKb = 0;
    uint32_t checksum = 0;

    // "folder/file name" relative to the catalog's folder (the file name
    // alone when the folder is empty).
    std::string RelativePath() const;
    // The kept values of the selection: as from a trailer (for GAIJI only
    // the kind).
    FileInfo Info() const;
};

// One line (its line end removed).
CatalogEntry ParseCatalogLine(const std::string& line, int fieldCount);
// Every non-empty line of a catalog text.
std::vector<CatalogEntry> ParseCatalog(const std::string& text, int fieldCount);

// An FTP server and its account. The password stays in memory only: it is
// handed to libcurl as an option, never put into a URL or a command line.
struct FtpServer {
    std::string host;     // name or address, optionally ":port"
    std::string user;     // empty: anonymous
    std::string password;
    int timeoutSeconds = 30;
};

// The URL of a file in the catalog's folder ("ftp://host/ROM_FILE/<path>").
std::string CatalogUrl(const FtpServer& server, const std::string& relativePath);

// Fetches a file of the catalog's folder into a local file (created or
// truncated). False, with libcurl's reason naming the server and the file.
// `cancel`, when it becomes true, ends the transfer (or the connection
// attempt) within about a second.
bool FetchFile(const FtpServer& server, const std::string& relativePath, const std::string& localPath,
               std::string* error = nullptr, const std::atomic<bool>* cancel = nullptr);
// Fetches "ROM_FILE/CATALOG.TXT" through a temporary file (deleted
// afterwards) and returns its text.
bool FetchCatalog(const FtpServer& server, std::string& text, std::string* error = nullptr,
                  const std::atomic<bool>* cancel = nullptr);

// A new empty temporary file; its path, or empty with the reason.
std::string MakeTempFile(const std::string& prefix, std::string* error = nullptr);

} // namespace nload

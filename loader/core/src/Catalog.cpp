#include "nload/Catalog.h"

#include <curl/curl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

namespace nload {

namespace {

// Field places of a catalog line.
enum CatalogField : int {
    kFileName = 0,
    kFolder = 1,
    kKindName = 2,
    kModel = 3,
    kVersion = 4,
    kText1 = 5,
    kText2 = 6,
    kSize = 7,
    kChecksum = 8,
};

const std::string& FieldAt(const std::vector<std::string>& fields, int i)
{
    static const std::string empty;
    return i < static_cast<int>(fields.size()) ? fields[static_cast<size_t>(i)] : empty;
}

void CurlInitOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t WriteToFile(char* data, size_t size, size_t count, void* user)
{
    return std::fwrite(data, size, count, static_cast<FILE*>(user)) * size;
}

// libcurl asks this at least once a second, also while it connects: a
// non-zero answer ends the transfer.
int CancelWhenAsked(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* cancel = static_cast<const std::atomic<bool>*>(user);
    return cancel && cancel->load() ? 1 : 0;
}

// The path with each of its parts percent-encoded by libcurl ('/' stays).
std::string UrlPath(const std::string& path)
{
    std::string out;
    size_t from = 0;
    for (;;) {
        const size_t slash = path.find('/', from);
        const std::string part = path.substr(from, slash == std::string::npos ? std::string::npos : slash - from);
        if (char* escaped = curl_easy_escape(nullptr, part.c_str(), static_cast<int>(part.size()))) {
            out += escaped;
            curl_free(escaped);
        }
        if (slash == std::string::npos) return out;
        out += '/';
        from = slash + 1;
    }
}

} // namespace

std::string CatalogEntry::RelativePath() const
{
    return folder.empty() ? fileName : folder + "/" + fileName;
}

FileInfo CatalogEntry::Info() const
{
    FileInfo info;
    info.kindName = TrimRight(kindName);
    const KindRow* row = FindKind(info.kindName);
    info.kind = row ? row->code : kKindOther;
    if (info.kind == kKindGaiji) return info; // as for its trailer: nothing else of a GAIJI file is used
    info.model = model;
    info.text1 = text1;
    info.text2 = text2;
    info.version = version;
    info.sizeKb = sizeKb;
    info.checksum = checksum;
    TakeVersionDigits(info);
    return info;
}

CatalogEntry ParseCatalogLine(const std::string& rawLine, int fieldCount)
{
    std::string line = rawLine.substr(0, kCatalogLineMax);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    CatalogEntry e;
    size_t at = 0;
    for (int i = 0; i < fieldCount; ++i) {
        const size_t comma = at <= line.size() ? line.find(',', at) : std::string::npos;
        if (comma == std::string::npos) {
            e.fields.emplace_back(); // no comma after it: the field reads as empty
            at = line.size() + 1;
            continue;
        }
        e.fields.push_back(line.substr(at, comma - at));
        at = comma + 1;
    }
    e.fileName = FieldAt(e.fields, kFileName);
    e.folder = FieldAt(e.fields, kFolder);
    e.kindName = FieldAt(e.fields, kKindName);
    e.model = FieldAt(e.fields, kModel);
    e.version = FieldAt(e.fields, kVersion);
    e.text1 = FieldAt(e.fields, kText1);
    e.text2 = FieldAt(e.fields, kText2);
    e.sizeKb = static_cast<uint32_t>(std::atoi(FieldAt(e.fields, kSize).c_str()));
    e.checksum = static_cast<uint32_t>(std::strtoul(FieldAt(e.fields, kChecksum).c_str(), nullptr, 16));
    return e;
}

std::vector<CatalogEntry> ParseCatalog(const std::string& text, int fieldCount)
{
    std::vector<CatalogEntry> entries;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        entries.push_back(ParseCatalogLine(line, fieldCount));
    }
    return entries;
}

std::string CatalogUrl(const FtpServer& server, const std::string& relativePath)
{
    return "ftp://" + server.host + "/" + kCatalogFolder + "/" + UrlPath(relativePath);
}

bool FetchFile(const FtpServer& server, const std::string& relativePath, const std::string& localPath,
               std::string* error, const std::atomic<bool>* cancel)
{
    CurlInitOnce();
    const std::string url = CatalogUrl(server, relativePath);
    FILE* out = std::fopen(localPath.c_str(), "wb");
    if (!out) {
        if (error) *error = localPath + ": " + std::strerror(errno);
        return false;
    }
    CURL* curl = curl_easy_init();
    if (!curl) {
        std::fclose(out);
        if (error) *error = "the FTP client cannot be started";
        return false;
    }
    char reason[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, reason);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "ftp");
    // Passive mode (PASV, as every FTP server knows it) and binary transfer.
    curl_easy_setopt(curl, CURLOPT_FTP_USE_EPSV, 0L);
    curl_easy_setopt(curl, CURLOPT_TRANSFERTEXT, 0L);
    curl_easy_setopt(curl, CURLOPT_USERNAME, server.user.empty() ? "anonymous" : server.user.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, server.user.empty() ? "" : server.password.c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(server.timeoutSeconds));
    // A transfer that moves nothing for the time-out is given up.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(server.timeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteToFile);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, out);
    if (cancel) {
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, CancelWhenAsked);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, cancel);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    }
    const CURLcode rc = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    const bool closed = std::fclose(out) == 0;
    if (rc != CURLE_OK) {
        if (error) {
            *error = "ftp://" + server.host + "/" + kCatalogFolder + "/" + relativePath + ": " +
                     (reason[0] ? reason : curl_easy_strerror(rc));
        }
        return false;
    }
    if (!closed) {
        if (error) *error = localPath + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string MakeTempFile(const std::string& prefix, std::string* error)
{
    const char* dir = std::getenv("TMPDIR");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/" + prefix + "XXXXXX";
    const int fd = ::mkstemp(path.data());
    if (fd < 0) {
        if (error) *error = path + ": " + std::strerror(errno);
        return {};
    }
    ::close(fd);
    return path;
}

bool FetchCatalog(const FtpServer& server, std::string& text, std::string* error, const std::atomic<bool>* cancel)
{
    const std::string temp = MakeTempFile("qav-catalog-", error);
    if (temp.empty()) return false;
    const bool ok = FetchFile(server, kCatalogFile, temp, error, cancel);
    if (ok) {
        std::ifstream in(temp, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        text = content.str();
    }
    ::unlink(temp.c_str());
    return ok;
}

} // namespace nload

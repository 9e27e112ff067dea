#include "qavsettings/UserValues.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "qavres/Resources.h"
#include "qavsettings/DataFolder.h"
#include "qavsettings/Profile.h"

namespace qavsettings {

namespace {

bool PlainName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

// mkdir -p, mode 0700 for the folders we create.
bool MakeFolders(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash))) return false;
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

bool ReplaceFile(const std::string& folder, const std::string& name, const std::string& content)
{
    if (!MakeFolders(folder)) return false;
    const std::string path = folder + "/" + name;
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, 0644) == 0;
    size_t done = 0;
    while (ok && done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool ReadSmallFile(const std::string& path, std::string& content)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    content = ss.str();
    return true;
}

// Exec quoting of desktop entries: the argument in double quotes with ",
// `, $ and \ escaped by a backslash, then the value escaping of the file
// format (a backslash is written twice), and "%" doubled for field codes.
std::string QuoteExec(const std::string& program)
{
    std::string quoted = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string out;
    for (char c : quoted) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '%') {
            out += "%%";
        } else if (c == '\n' || c == '\r') {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::string UnquoteExec(std::string_view value)
{
    // Undo the value escaping first, then the argument quoting.
    std::string unescaped;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == '\\') {
            unescaped += '\\';
            ++i;
        } else if (value[i] == '%' && i + 1 < value.size() && value[i + 1] == '%') {
            unescaped += '%';
            ++i;
        } else {
            unescaped += value[i];
        }
    }
    if (unescaped.empty() || unescaped[0] != '"') return unescaped.substr(0, unescaped.find(' '));
    std::string out;
    for (size_t i = 1; i < unescaped.size(); ++i) {
        const char c = unescaped[i];
        if (c == '\\' && i + 1 < unescaped.size()) {
            out += unescaped[++i];
        } else if (c == '"') {
            break;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

bool ReadUserValue(std::string_view name, std::string& value)
{
    if (!PlainName(name)) return false;
    return ReadSmallFile(UserConfigDir() + "/" + std::string(name), value);
}

bool WriteUserValue(std::string_view name, std::string_view value)
{
    if (!PlainName(name)) return false;
    return ReplaceFile(UserConfigDir(), std::string(name), std::string(value));
}

bool DeleteUserValue(std::string_view name)
{
    if (!PlainName(name)) return false;
    const std::string path = UserConfigDir() + "/" + std::string(name);
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool ReadUserNumber(std::string_view name, uint32_t& value)
{
    std::string text;
    if (!ReadUserValue(name, text)) return false;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const unsigned long long n = std::strtoull(text.c_str(), nullptr, 10);
    if (n > 0xFFFFFFFFull) return false;
    value = static_cast<uint32_t>(n);
    return true;
}

bool WriteUserNumber(std::string_view name, uint32_t value)
{
    return WriteUserValue(name, std::to_string(value) + "\n");
}

std::string FormatWindowPlacement(const WindowPlacement& p)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d", p.flags, p.showCommand, p.minX, p.minY, p.maxX,
                  p.maxY, p.left, p.top, p.right, p.bottom);
    return buf;
}

bool ParseWindowPlacement(std::string_view text, WindowPlacement& p)
{
    const std::string s(text);
    WindowPlacement q;
    int used = 0;
    const int n = std::sscanf(s.c_str(), "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d%n", &q.flags, &q.showCommand, &q.minX, &q.minY,
                              &q.maxX, &q.maxY, &q.left, &q.top, &q.right, &q.bottom, &used);
    if (n != 10) return false;
    p = q;
    return true;
}

std::string AutostartEntryPath() { return AutostartDir() + "/" + kMonitorProgram + ".desktop"; }

bool AutostartExists()
{
    struct stat st {};
    return ::stat(AutostartEntryPath().c_str(), &st) == 0;
}

std::string AutostartProgram()
{
    ProfileDocument doc;
    if (!AutostartExists() || !doc.Load(AutostartEntryPath())) return std::string();
    return UnquoteExec(doc.GetString("Desktop Entry", "Exec"));
}

bool SetAutostart(const std::string& programPath)
{
    const std::string content = "[Desktop Entry]\n"
                                "Type=Application\n"
                                "Name=QAV printer surveillance\n"
                                "Comment=Starts the QAV network printer monitor at log-on\n"
                                "Exec=" +
                                QuoteExec(programPath) +
                                "\n"
                                "Terminal=false\n"
                                "X-QAV-Value=" +
                                kRunValueName + "\n";
    return ReplaceFile(AutostartDir(), std::string(kMonitorProgram) + ".desktop", content);
}

bool RemoveAutostart()
{
    return ::unlink(AutostartEntryPath().c_str()) == 0 || errno == ENOENT;
}

std::string MonitorProgramPath() { return qavres::ProgramDir() + "/" + kMonitorProgram; }

} // namespace qavsettings

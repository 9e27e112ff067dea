#include "qavplatform/Autostart.h"

#include "qavplatform/Result.h"
#include "FileUtil.h"
#include "qavplatform/Files.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

namespace qavplatform {

namespace {

constexpr const char* kReserved = " \t\n\"'\\><~|&;$*?#()`";

bool UsableEntryName(const std::string& name)
{
    if (name.empty() || name[0] == '.' || name.size() > 200) return false;
    for (unsigned char c : name) {
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                  c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

// Quoting of one argument inside the Exec value (before the string escape).
std::string QuoteArgument(const std::string& arg)
{
    std::string out;
    bool needsQuotes = arg.empty() || arg.find_first_of(kReserved) != std::string::npos;
    if (needsQuotes) out += '"';
    for (char c : arg) {
        if (c == '%') {
            out += "%%";  // a lone '%' would start a field code
        } else if (needsQuotes && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            out += '\\';
            out += c;
        } else {
            out += c;
        }
    }
    if (needsQuotes) out += '"';
    return out;
}

// The escapes of a desktop-entry string value.
std::string EscapeValue(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::string UnescapeValue(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char n = text[++i];
            switch (n) {
            case 's': out += ' '; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            default: out += n;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

// The keys of the [Desktop Entry] group of an entry file.
bool ReadEntryKey(const std::string& content, const std::string& key, std::string* value)
{
    std::istringstream in(content);
    std::string line;
    bool inGroup = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inGroup) continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string k = line.substr(0, eq);
        while (!k.empty() && k.back() == ' ') k.pop_back();
        if (k != key) continue;
        std::string v = line.substr(eq + 1);
        size_t start = v.find_first_not_of(' ');
        *value = start == std::string::npos ? std::string() : v.substr(start);
        return true;
    }
    return false;
}

} // namespace

std::string AutostartDir()
{
    return detail::ConfigHome() + "/autostart";
}

std::string AutostartFile(const std::string& name)
{
    if (!UsableEntryName(name)) return {};
    return AutostartDir() + "/" + name + ".desktop";
}

std::string DesktopExecLine(const std::vector<std::string>& command)
{
    std::string line;
    for (const auto& arg : command) {
        if (!line.empty()) line += ' ';
        line += QuoteArgument(arg);
    }
    return EscapeValue(line);
}

std::vector<std::string> SplitDesktopExecLine(const std::string& exec)
{
    std::string line = UnescapeValue(exec);
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            if (c == '\\' && i + 1 < line.size()) {
                word += line[++i];
            } else if (c == '"') {
                quoted = false;
            } else if (c == '%' && i + 1 < line.size() && line[i + 1] == '%') {
                word += '%';
                ++i;
            } else {
                word += c;
            }
        } else if (c == '"') {
            quoted = true;
            inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else if (c == '%' && i + 1 < line.size()) {
            // "%%" is a percent sign; other field codes (%f, %u...) carry
            // nothing for a program started at log-on.
            if (line[i + 1] == '%') word += '%';
            ++i;
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

int WriteAutostart(const std::string& name, const std::string& program, const std::vector<std::string>& args,
                   const std::string& displayName, std::string* error)
{
    std::string file = AutostartFile(name);
    if (file.empty()) {
        if (error) *error = "unusable autostart name \"" + name + "\"";
        return kErrInvalidName;
    }
    std::vector<std::string> command{program};
    command.insert(command.end(), args.begin(), args.end());
    for (const auto& arg : command) {
        if (arg.find_first_of("\n\r") != std::string::npos || (&arg == &command[0] && arg.empty())) {
            if (error) *error = "a command of an autostart entry cannot hold line breaks or an empty program";
            return kErrInvalidName;
        }
    }
    if (!detail::MakeDirs(AutostartDir(), 0700, error)) return kErrIo;
    std::string content = "[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=" + EscapeValue(displayName.empty() ? name : displayName) + "\n"
                          "Exec=" + DesktopExecLine(command) + "\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n";
    return detail::WriteFileAtomic(file, content, error) ? kOk : kErrIo;
}

int RemoveAutostart(const std::string& name, std::string* error)
{
    std::string file = AutostartFile(name);
    if (file.empty()) {
        if (error) *error = "unusable autostart name \"" + name + "\"";
        return kErrInvalidName;
    }
    if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
        if (error) *error = detail::ErrnoText("cannot remove " + file, errno);
        return kErrIo;
    }
    return kOk;
}

bool HasAutostart(const std::string& name)
{
    std::string file = AutostartFile(name);
    std::string content;
    if (file.empty() || !ReadOwnFileOrReport(file, content)) return false;
    std::string value;
    if (ReadEntryKey(content, "Hidden", &value) && value == "true") return false;
    if (ReadEntryKey(content, "X-GNOME-Autostart-enabled", &value) && value == "false") return false;
    return true;
}

std::vector<std::string> AutostartCommand(const std::string& name)
{
    std::string file = AutostartFile(name);
    std::string content, exec;
    if (file.empty() || !ReadOwnFileOrReport(file, content) || !ReadEntryKey(content, "Exec", &exec)) return {};
    return SplitDesktopExecLine(exec);
}

} // namespace qavplatform

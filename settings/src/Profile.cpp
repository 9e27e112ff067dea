#include "qavsettings/Profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace qavsettings {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trim(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// Whole-file read; false only for a file that exists and cannot be read.
bool ReadWholeFile(const std::string& path, std::string& content, bool& exists)
{
    content.clear();
    exists = false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR;
    exists = true;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    if (st.st_size > 0) content.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            content.clear();
            return false;
        }
        if (n == 0) break;
        content.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

bool WriteAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The file that a write really replaces: the target of a symbolic link.
std::string WriteTarget(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

} // namespace

std::string FoldCase(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = Fold(c);
    return out;
}

ProfileDocument::Line ProfileDocument::ParseLine(std::string text)
{
    Line line;
    line.text = std::move(text);
    std::string_view t(line.text);
    const std::string_view trimmed = Trim(t);
    if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '[') return line;
    const size_t eq = t.find('=');
    if (eq == std::string_view::npos) return line;
    const std::string_view key = Trim(t.substr(0, eq));
    if (key.empty()) return line;
    const std::string_view value = Trim(t.substr(eq + 1));
    line.kind = kKey;
    line.keyBegin = static_cast<uint32_t>(key.data() - t.data());
    line.keyLength = static_cast<uint32_t>(key.size());
    line.valueBegin = static_cast<uint32_t>(value.data() - t.data());
    line.valueLength = static_cast<uint32_t>(value.size());
    return line;
}

void ProfileDocument::AddLine(Section& s, std::string text)
{
    Line line = ParseLine(std::move(text));
    if (line.kind == kKey) {
        const uint32_t index = static_cast<uint32_t>(s.lines.size());
        s.keys.try_emplace(FoldCase(line.Key()), index);
        s.lastKey = index;
        ++keyLines_;
    }
    s.lines.push_back(std::move(line));
}

void ProfileDocument::Parse(std::string_view text)
{
    sections_.clear();
    sectionIndex_.clear();
    keyLines_ = 0;
    sections_.emplace_back();
    finalNewline_ = text.empty() || text.back() == '\n';
    const size_t firstBreak = text.find('\n');
    crlf_ = firstBreak != std::string_view::npos && firstBreak > 0 && text[firstBreak - 1] == '\r';

    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(pos, end - pos);
        pos = end + 1;

        const std::string_view trimmed = Trim(raw);
        const size_t close = trimmed.rfind(']');
        if (!trimmed.empty() && trimmed[0] == '[' && close != std::string_view::npos) {
            Section s;
            s.hasHeader = true;
            s.header.assign(raw);
            s.name.assign(Trim(trimmed.substr(1, close - 1)));
            sectionIndex_.try_emplace(FoldCase(s.name), static_cast<uint32_t>(sections_.size()));
            sections_.push_back(std::move(s));
            continue;
        }
        AddLine(sections_.back(), std::string(raw));
    }
}

bool ProfileDocument::Load(const std::string& path)
{
    std::string content;
    bool exists = false;
    const bool ok = ReadWholeFile(path, content, exists);
    Parse(ok ? std::string_view(content) : std::string_view());
    return ok;
}

std::string ProfileDocument::Serialize() const
{
    size_t total = 0;
    for (const Section& s : sections_) {
        if (s.hasHeader) total += s.header.size() + 1;
        for (const Line& l : s.lines) total += l.text.size() + 1;
    }
    std::string out;
    out.reserve(total);
    for (const Section& s : sections_) {
        if (s.hasHeader) {
            out += s.header;
            out += '\n';
        }
        for (const Line& l : s.lines) {
            out += l.text;
            out += '\n';
        }
    }
    if (!finalNewline_ && !out.empty()) out.pop_back();
    return out;
}

bool ProfileDocument::Save(const std::string& path) const
{
    const std::string target = WriteTarget(path);
    const std::string folder = FolderOf(target);
    std::string temp = target + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;

    struct stat st {};
    mode_t mode = 0;
    if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    const bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, Serialize()) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

const ProfileDocument::Section* ProfileDocument::FindSection(std::string_view section) const
{
    auto it = sectionIndex_.find(FoldCase(Trim(section)));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

ProfileDocument::Section* ProfileDocument::FindSection(std::string_view section)
{
    auto it = sectionIndex_.find(FoldCase(Trim(section)));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

const ProfileDocument::Line* ProfileDocument::FindLine(std::string_view section, std::string_view key) const
{
    const Section* s = FindSection(section);
    if (!s) return nullptr;
    auto it = s->keys.find(FoldCase(Trim(key)));
    return it == s->keys.end() ? nullptr : &s->lines[it->second];
}

bool ProfileDocument::Has(std::string_view section, std::string_view key) const
{
    return FindLine(section, key) != nullptr;
}

int ProfileDocument::GetString(std::string_view section, std::string_view key, const char* def, char* buffer,
                               int size) const
{
    if (!buffer || size <= 0) return 0;
    const Line* line = FindLine(section, key);
    const std::string_view value = line ? line->Value() : std::string_view(def ? def : "");
    const size_t n = std::min(value.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

std::string ProfileDocument::GetString(std::string_view section, std::string_view key, std::string_view def,
                                       int size) const
{
    const Line* line = FindLine(section, key);
    std::string_view value = line ? line->Value() : def;
    if (size > 0 && value.size() > static_cast<size_t>(size - 1)) value = value.substr(0, static_cast<size_t>(size - 1));
    return std::string(value);
}

int ProfileDocument::GetInt(std::string_view section, std::string_view key, int def) const
{
    const Line* line = FindLine(section, key);
    if (!line) return def;
    std::string_view v = line->Value().substr(0, 29);
    if (v.empty()) return def;
    size_t i = 0;
    bool negative = false;
    if (v[i] == '+' || v[i] == '-') negative = v[i++] == '-';
    uint32_t n = 0;
    for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) n = n * 10u + static_cast<uint32_t>(v[i] - '0');
    if (negative) n = 0u - n;
    return static_cast<int>(n);
}

bool ProfileDocument::SetString(std::string_view section, std::string_view key, std::string_view value)
{
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) ||
        section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos || key[0] == '[' ||
        key[0] == ';') {
        return false;
    }
    std::string clean(Trim(value));
    for (char& c : clean) {
        if (c == '\r' || c == '\n') c = ' ';
    }

    Section* s = FindSection(section);
    if (!s) {
        Section fresh;
        fresh.hasHeader = true;
        fresh.name.assign(section);
        fresh.header = "[" + fresh.name + "]" + LineEnding();
        if (sections_.empty()) sections_.emplace_back();
        sectionIndex_.try_emplace(FoldCase(fresh.name), static_cast<uint32_t>(sections_.size()));
        sections_.push_back(std::move(fresh));
        finalNewline_ = true;
        s = &sections_.back();
    }
    auto it = s->keys.find(FoldCase(key));
    if (it != s->keys.end()) {
        Line& line = s->lines[it->second];
        const bool cr = !line.text.empty() && line.text.back() == '\r';
        std::string text;
        text.reserve(line.keyLength + 1 + clean.size() + 1);
        text.append(line.Key());
        text += '=';
        text += clean;
        if (cr) text += '\r';
        line = ParseLine(std::move(text));
        return true;
    }
    std::string text;
    text.reserve(key.size() + 1 + clean.size() + 1);
    text.append(key);
    text += '=';
    text += clean;
    text += LineEnding();
    Line line = ParseLine(std::move(text));
    const uint32_t at = static_cast<uint32_t>(s->lastKey + 1);
    // Only non-key lines follow the last key, so no indexed line moves.
    s->lines.insert(s->lines.begin() + at, std::move(line));
    s->keys.emplace(FoldCase(key), at);
    s->lastKey = at;
    ++keyLines_;
    if (s == &sections_.back() && at + 1 == s->lines.size()) finalNewline_ = true;
    return true;
}

bool ProfileDocument::SetInt(std::string_view section, std::string_view key, long long value)
{
    return SetString(section, key, std::to_string(value));
}

bool ProfileDocument::DeleteKey(std::string_view section, std::string_view key)
{
    Section* s = FindSection(section);
    if (!s) return false;
    auto it = s->keys.find(FoldCase(Trim(key)));
    if (it == s->keys.end()) return false;
    s->lines.erase(s->lines.begin() + it->second);
    --keyLines_;
    // Rebuild the section's index: a duplicate further down becomes the key.
    s->keys.clear();
    s->lastKey = -1;
    for (uint32_t i = 0; i < s->lines.size(); ++i) {
        if (s->lines[i].kind != kKey) continue;
        s->keys.try_emplace(FoldCase(s->lines[i].Key()), i);
        s->lastKey = i;
    }
    return true;
}

std::vector<std::string> ProfileDocument::SectionNames() const
{
    std::vector<std::string> names;
    for (const Section& s : sections_) {
        if (s.hasHeader) names.push_back(s.name);
    }
    return names;
}

std::vector<std::string> ProfileDocument::KeyNames(std::string_view section) const
{
    std::vector<std::string> names;
    const Section* s = FindSection(section);
    if (!s) return names;
    for (const Line& l : s->lines) {
        if (l.kind == kKey) names.emplace_back(l.Key());
    }
    return names;
}

bool ProfileDocument::Empty() const
{
    for (const Section& s : sections_) {
        if (s.hasHeader || !s.lines.empty()) return false;
    }
    return true;
}

int ReadProfileString(std::string_view section, std::string_view key, const char* def, char* buffer, int size,
                      const std::string& path)
{
    ProfileDocument doc;
    doc.Load(path);
    return doc.GetString(section, key, def, buffer, size);
}

std::string ReadProfileString(std::string_view section, std::string_view key, std::string_view def, int size,
                              const std::string& path)
{
    ProfileDocument doc;
    doc.Load(path);
    return doc.GetString(section, key, def, size);
}

int ReadProfileInt(std::string_view section, std::string_view key, int def, const std::string& path)
{
    ProfileDocument doc;
    doc.Load(path);
    return doc.GetInt(section, key, def);
}

bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path)
{
    const std::string target = WriteTarget(path);
    int lock = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock < 0) return false;
    while (::flock(lock, LOCK_EX) != 0 && errno == EINTR) {
    }
    ProfileDocument doc;
    const bool ok = doc.Load(target) && doc.SetString(section, key, value) && doc.Save(target);
    ::close(lock);
    return ok;
}

} // namespace qavsettings

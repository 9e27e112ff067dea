#include "qavsettings/Profile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "qavplatform/Files.h"
#include "qavplatform/Text.h"
#include "qavsettings/DataFolder.h"

namespace qavsettings {

namespace {

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The blanks around names and values. Lines never hold a "\n".
std::string_view Trim(std::string_view s) { return qavplatform::TrimView(s, " \t\r\v\f"); }

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// 0 when everything was written, else the errno of the failed write.
int WriteAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<size_t>(n);
    }
    return 0;
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether `name` is `base` followed by "." and six letters or digits: the
// temporary file of a save (mkstemp's pattern).
bool IsTemporaryOf(const std::string& name, const std::string& base)
{
    if (name.size() != base.size() + 7 || name.compare(0, base.size(), base) != 0 || name[base.size()] != '.')
        return false;
    for (size_t i = base.size() + 1; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

// Removes the temporary files that saves of `target` left behind when their
// process died (kill -9, power loss): ours by name and owner, stale by age,
// and no longer locked by a writer (a save holds a lock on its temporary
// file from its creation to the rename).
void RemoveStaleTemporaries(const std::string& folder, const std::string& target)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const std::string base = BaseName(target);
    const time_t now = ::time(nullptr);
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (!IsTemporaryOf(name, base)) continue;
        const std::string path = folder + "/" + name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat st {};
        const bool stale = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                           now - st.st_mtime >= kStaleTemporarySeconds && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (stale) ::unlink(path.c_str());
        ::close(fd);
    }
    ::closedir(dir);
}

std::string ErrnoText(const std::string& what, int err) { return what + ": " + std::strerror(err); }

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
    problem_.clear();
    const qavplatform::FileRead read = qavplatform::ReadOwnFile(path, content, &problem_);
    Parse(read == qavplatform::FileRead::kRead ? std::string_view(content) : std::string_view());
    return read != qavplatform::FileRead::kRefused;
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

bool ProfileDocument::Save(const std::string& path, std::string* why) const
{
    auto fail = [why](const std::string& reason) {
        if (why) *why = reason;
        return false;
    };
    const std::string target = WriteTarget(path);
    const std::string folder = FolderOf(target);
    RemoveStaleTemporaries(folder, target);
    std::string temp = target + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail(ErrnoText("cannot create a file in " + folder, errno));
    // Held until the rename: a save in another process then leaves this
    // file alone however old it looks.
    ::flock(fd, LOCK_EX);

    struct stat st {};
    mode_t mode = 0;
    if (HoldsSecrets(target)) {
        mode = 0600;
    } else if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    int err = ::fchmod(fd, mode) == 0 ? 0 : errno;
    if (err == 0) err = WriteAll(fd, Serialize());
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return fail(ErrnoText("cannot write " + target, err));
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        err = errno;
        ::unlink(temp.c_str());
        return fail(ErrnoText("cannot replace " + target, err));
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

bool LoadOrReport(ProfileDocument& doc, const std::string& path)
{
    if (doc.Load(path)) return true;
    qavplatform::ReportRefusedFile(doc.Problem());
    return false;
}

int ReadProfileString(std::string_view section, std::string_view key, const char* def, char* buffer, int size,
                      const std::string& path)
{
    ProfileDocument doc;
    LoadOrReport(doc, path);
    return doc.GetString(section, key, def, buffer, size);
}

std::string ReadProfileString(std::string_view section, std::string_view key, std::string_view def, int size,
                              const std::string& path)
{
    ProfileDocument doc;
    LoadOrReport(doc, path);
    return doc.GetString(section, key, def, size);
}

int ReadProfileInt(std::string_view section, std::string_view key, int def, const std::string& path)
{
    ProfileDocument doc;
    LoadOrReport(doc, path);
    return doc.GetInt(section, key, def);
}

bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path, std::string* why)
{
    const std::string target = WriteTarget(path);
    const std::string folder = FolderOf(target);
    int lock = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock < 0) {
        if (why) *why = ErrnoText("cannot open the folder " + folder, errno);
        return false;
    }
    while (::flock(lock, LOCK_EX) != 0 && errno == EINTR) {
    }
    ProfileDocument doc;
    bool ok = doc.Load(target);
    if (!ok) {
        if (why) *why = doc.Problem();
    } else if (!doc.SetString(section, key, value)) {
        if (why) *why = "the key name cannot be stored: [" + std::string(section) + "] " + std::string(key);
        ok = false;
    } else {
        ok = doc.Save(target, why);
    }
    ::close(lock);
    return ok;
}

} // namespace qavsettings

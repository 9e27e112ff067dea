#include "qavres/Resources.h"

#include "qavplatform/ProgramStart.h"


#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace qavres {

namespace {

const std::string kEmpty;

std::string Unescape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: out += '\\'; out += text[i]; break;
        }
    }
    return out;
}

bool ParseNumber(const std::string& line, size_t& pos, int& number)
{
    size_t start = pos;
    long n = 0;
    while (pos < line.size() && std::isdigit(static_cast<unsigned char>(line[pos]))) {
        n = n * 10 + (line[pos] - '0');
        if (n > 99999999) return false;
        ++pos;
    }
    number = static_cast<int>(n);
    return pos > start;
}

} // namespace

std::string ResourceDir()
{
    const char* env = std::getenv("QAV_RESOURCE_DIR");
    if (env && *env) return env;
    return qavplatform::ProgramDir() + "/../share/qav";
}

bool StringTable::Load(const std::string& name, std::string* error)
{
    return LoadFile(ResourceDir() + "/" + name + ".txt", error);
}

// Two kinds of line, besides blank lines and "#" comments:
//   "n = text"              text n (escapes \n \t \r \\)
//   "n OID TypeName [# …]"  object n: string n is the OID, n+1 the type name
bool StringTable::LoadFile(const std::string& path, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = path + ": cannot be read";
        return false;
    }
    std::unordered_map<int, std::string> previous, previousComments;
    previous.swap(strings_);
    previousComments.swap(comments_);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::string why;
        const bool isText = line.find(" = ") != std::string::npos &&
                            line.find(" = ") == line.find_first_not_of("0123456789", first);
        const bool ok = isText ? ParseTextLine(line.substr(first), &why) : ParseObjectLine(line.substr(first), &why);
        if (!ok) {
            if (error) *error = path + ":" + std::to_string(lineNo) + ": " + why;
            strings_.swap(previous);
            comments_.swap(previousComments);
            return false;
        }
    }
    loaded_ = true;
    return true;
}

bool StringTable::ParseTextLine(const std::string& line, std::string* error)
{
    size_t pos = 0;
    int id = 0;
    if (!ParseNumber(line, pos, id)) {
        *error = "a text line begins with its number";
        return false;
    }
    if (strings_.count(id)) {
        *error = "text " + std::to_string(id) + " is defined twice";
        return false;
    }
    strings_[id] = Unescape(line.substr(pos + 3));
    return true;
}

bool StringTable::ParseObjectLine(const std::string& line, std::string* error)
{
    size_t hash = line.find('#');
    std::istringstream fields(line.substr(0, hash));
    std::string numberText, oid, type, extra;
    fields >> numberText >> oid >> type >> extra;
    size_t pos = 0;
    int id = 0;
    if (!ParseNumber(numberText, pos, id) || pos != numberText.size() || oid.empty() || type.empty() ||
        !extra.empty()) {
        *error = "an object line is: number OID TypeName";
        return false;
    }
    for (char c : oid) {
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.') {
            *error = "object " + numberText + ": the OID is dotted decimal";
            return false;
        }
    }
    if (strings_.count(id) || strings_.count(id + 1)) {
        *error = "object " + numberText + " overlaps another entry";
        return false;
    }
    strings_[id] = oid;
    strings_[id + 1] = type;
    std::string comment = hash == std::string::npos ? std::string() : line.substr(hash + 1);
    const size_t first = comment.find_first_not_of(" \t");
    comment.erase(0, first == std::string::npos ? comment.size() : first);
    comment.erase(comment.find_last_not_of(" \t") + 1);
    comments_[id] = std::move(comment);
    return true;
}

std::vector<int> StringTable::ObjectNumbers() const
{
    std::vector<int> numbers;
    numbers.reserve(comments_.size());
    for (const auto& entry : comments_) numbers.push_back(entry.first);
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

const std::string& StringTable::Comment(int object) const
{
    auto it = comments_.find(object);
    return it == comments_.end() ? kEmpty : it->second;
}

const std::string& StringTable::Get(int id) const
{
    auto it = strings_.find(id);
    return it == strings_.end() ? kEmpty : it->second;
}

int StringTable::LoadString(int id, char* buffer, int size) const
{
    if (!buffer || size <= 0) return 0;
    const std::string& text = Get(id);
    const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

int TypeCodeFromName(const std::string& name)
{
    struct Entry {
        const char* prefix;
        int code;
    };
    // "Integer32" begins with "Integer", so one entry serves both.
    static const Entry kTypes[] = {{"Integer", 2},    {"String", 4},     {"OID", 6},       {"IPAddress", 64},
                                   {"Counter32", 65}, {"Guage32", 66},   {"Timeticks", 67}, {"Counter64", 70}};
    for (const Entry& e : kTypes) {
        if (name.compare(0, std::strlen(e.prefix), e.prefix) == 0) return e.code;
    }
    return 5;
}

std::string ObjectTable::RequestOid(int object, int instance) const
{
    const std::string& oid = Oid(object);
    if (oid.empty()) return std::string();
    return oid + "." + std::to_string(instance);
}

int ObjectTable::Find(const std::string& oid) const
{
    // Linear: for diagnostics and start-up, not for hot paths.
    int found = 0;
    for (const auto& [id, text] : table_.All()) {
        if (text == oid && (found == 0 || id < found)) found = id;
    }
    return found;
}

} // namespace qavres

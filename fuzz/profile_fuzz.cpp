// Fuzz target of the private-profile engine. For any input:
// - parsing and serializing gives back the input byte for byte;
// - every read stays within its buffer;
// - a write of one key changes that key only: after re-parsing the written
//   text, the key reads back the value written and every other key of every
//   first section reads as before.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "qavsettings/Profile.h"

using qavsettings::ProfileDocument;

namespace {

void Fail(int line)
{
    std::fprintf(stderr, "property violated at %s:%d\n", __FILE__, line);
    std::abort();
}

struct Snapshot {
    std::vector<std::string> sections;
    std::vector<std::vector<std::pair<std::string, std::string>>> keys;
};

Snapshot Take(const ProfileDocument& doc)
{
    Snapshot s;
    s.sections = doc.SectionNames();
    for (const std::string& section : s.sections) {
        std::vector<std::pair<std::string, std::string>> values;
        for (const std::string& key : doc.KeyNames(section)) values.emplace_back(key, doc.GetString(section, key, "\x01"));
        s.keys.push_back(std::move(values));
    }
    return s;
}

std::string Trimmed(const std::string& value)
{
    const char* blanks = " \t\r\v\f";
    const size_t b = value.find_first_not_of(blanks);
    if (b == std::string::npos) return std::string();
    return value.substr(b, value.find_last_not_of(blanks) - b + 1);
}

std::string Expected(std::string value)
{
    for (char& c : value) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    const char* blanks = " \t\r\v\f";
    const size_t b = value.find_first_not_of(blanks);
    if (b == std::string::npos) return std::string();
    const size_t e = value.find_last_not_of(blanks);
    return value.substr(b, e - b + 1);
}

} // namespace

#define Require(ok) ((ok) ? (void)0 : Fail(__LINE__))

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    ProfileDocument doc;
    doc.Parse(text);
    Require(doc.Serialize() == text);

    const Snapshot before = Take(doc);
    char small[8];
    for (size_t i = 0; i < before.sections.size() && i < 64; ++i) {
        for (const auto& [key, value] : before.keys[i]) {
            const int n = doc.GetString(before.sections[i], key, "default", small, sizeof small);
            Require(n >= 0 && n < static_cast<int>(sizeof small) && small[n] == '\0');
            doc.GetInt(before.sections[i], key, -1);
        }
    }

    // The write: the section, key and value come from the input itself, so
    // that the fuzzer can reach existing names as well as new ones.
    std::string section = "Fuzz", key = "key", value = text.substr(0, 40);
    const size_t s = before.sections.empty() ? 0 : size % before.sections.size();
    if (!before.sections.empty()) section = before.sections[s];
    if (!before.sections.empty() && !before.keys[s].empty() && (size & 1)) {
        key = before.keys[s][size % before.keys[s].size()].first;
    } else if (size > 3) {
        key = text.substr(1, 3);
    }
    ProfileDocument written = doc;
    if (!written.SetString(section, key, value)) return 0;
    ProfileDocument again;
    again.Parse(written.Serialize());
    Require(again.Serialize() == written.Serialize());
    Require(again.GetString(section, key, "\x02") == Expected(value));
    // Names are taken without the blanks around them.
    const std::string foldedSection = qavsettings::FoldCase(Trimmed(section));
    const std::string foldedKey = qavsettings::FoldCase(Trimmed(key));
    for (size_t i = 0; i < before.sections.size(); ++i) {
        const bool sameSection = qavsettings::FoldCase(before.sections[i]) == foldedSection;
        for (const auto& [k, v] : before.keys[i]) {
            if (sameSection && qavsettings::FoldCase(k) == foldedKey) continue;
            // A repeated section name reads from its first occurrence only.
            if (doc.GetString(before.sections[i], k, "\x01") != v) continue;
            Require(again.GetString(before.sections[i], k, "\x01") == v);
        }
    }
    return 0;
}

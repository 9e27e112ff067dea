// The private-profile (INI) engine behind every settings file and the group
// file.
//
// A file is a sequence of lines: section headers "[name]", keys
// "key=value", and anything else (comments starting with ";", blank lines,
// lines without "=") which is kept but never read. Section and key names
// are compared without regard to case; keys and values are read with the
// blanks around them removed. When a section or a key occurs twice, the
// first one counts, for reading and for writing.
//
// Two ways in:
// - the one-shot functions ReadProfileString / ReadProfileInt /
//   WriteProfileString, each of which opens the file for one key;
// - ProfileDocument, which loads a file once, reads and writes keys in
//   memory with exactly the same rules and saves once.
//
// Guarantees: reading never changes a file; a missing file or folder reads
// as "every key missing"; a write changes only the line of its key (or adds
// one), keeping every other section, key, comment, blank line and their
// order byte for byte; a file is replaced by writing a temporary file in the
// same folder and renaming it over the old one, so a crash mid-write leaves
// the old file whole. No folder is ever created.
//
// Only regular files of at most 64 MiB are read (qavplatform/Files.h): a
// FIFO, a device or a huge file at a settings path is refused, named with
// the reason, and read as missing; it is never replaced by a save. A save
// removes the temporary files of earlier saves of the same file whose
// process died before the rename (named "<file>.XXXXXX", owned by this
// user, untouched for kStaleTemporarySeconds and locked by nobody). The
// files holding secrets (qavsettings::HoldsSecrets) are written with mode
// 0600 whatever mode they had; every other file keeps its mode.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qavsettings {

// The age after which a save's temporary file counts as left behind.
inline constexpr int kStaleTemporarySeconds = 60;

class ProfileDocument {
public:
    ProfileDocument() = default;

    // Reads a file. A missing file (or folder) gives an empty document and
    // true; false when the file exists but cannot be read or is refused
    // (the document is then empty, must not be saved over the file, and
    // Problem() names the file and the reason).
    bool Load(const std::string& path);
    const std::string& Problem() const { return problem_; }
    // Parses text; any byte sequence is accepted.
    void Parse(std::string_view text);
    // The file content: the parsed text unchanged, plus the writes.
    std::string Serialize() const;
    // Replaces the file atomically (temporary file, flush to disk, rename).
    // Keeps the mode of an existing file (0600 for a file with secrets);
    // follows a symbolic link to its target. False, with the reason naming
    // the file in `why`, when the folder is missing or not writable or the
    // disk is full; the old file is then unchanged.
    bool Save(const std::string& path, std::string* why = nullptr) const;

    // GetPrivateProfileString: copies the value (or the default when the key
    // is missing; a null default is empty) into the buffer, cut at size - 1
    // characters and zero-terminated. Returns the number of characters
    // copied; 0 when size <= 0.
    int GetString(std::string_view section, std::string_view key, const char* def, char* buffer, int size) const;
    // The same into a string; size bounds the value as the buffer would
    // (size - 1 characters), size <= 0 means no bound.
    std::string GetString(std::string_view section, std::string_view key, std::string_view def = {},
                          int size = 0) const;
    // GetPrivateProfileInt: the missing key and the empty value give the
    // default; otherwise an optional sign and the leading decimal digits of
    // the first 29 characters, modulo 2^32 (so 4294967295 reads as -1 and
    // 2147483648 as -2147483648); text without digits reads as 0.
    int GetInt(std::string_view section, std::string_view key, int def) const;
    bool Has(std::string_view section, std::string_view key) const;

    // WritePrivateProfileString: sets the key, adding it after the last key
    // of its section, or adding the section at the end of the file. Line
    // breaks in the value become blanks (a value is one line). False, and
    // nothing changed, for a name that cannot be stored: an empty or
    // multi-line name, a section name with "]", a key with "=" or starting
    // with "[" or ";".
    bool SetString(std::string_view section, std::string_view key, std::string_view value);
    bool SetInt(std::string_view section, std::string_view key, long long value);
    // Removes the key's first line; false when it was missing.
    bool DeleteKey(std::string_view section, std::string_view key);

    std::vector<std::string> SectionNames() const;
    std::vector<std::string> KeyNames(std::string_view section) const;
    // Number of key lines in the document (duplicates included).
    size_t KeyLineCount() const { return keyLines_; }
    bool Empty() const;

private:
    enum Kind : uint8_t { kOther = 0, kKey = 1 };
    struct Line {
        std::string text; // as in the file, without "\n" (a "\r" stays)
        uint32_t keyBegin = 0;
        uint32_t keyLength = 0;
        uint32_t valueBegin = 0;
        uint32_t valueLength = 0;
        Kind kind = kOther;

        std::string_view Key() const { return std::string_view(text).substr(keyBegin, keyLength); }
        std::string_view Value() const { return std::string_view(text).substr(valueBegin, valueLength); }
    };
    struct Section {
        bool hasHeader = false;
        std::string header;            // the header line as in the file
        std::string name;              // the name between the brackets, trimmed
        std::vector<Line> lines;       // the lines after the header
        std::unordered_map<std::string, uint32_t> keys; // folded key -> first line
        int64_t lastKey = -1;          // index of the last key line
    };

    static Line ParseLine(std::string text);
    const Line* FindLine(std::string_view section, std::string_view key) const;
    Section* FindSection(std::string_view section);
    const Section* FindSection(std::string_view section) const;
    void AddLine(Section& s, std::string text);
    std::string LineEnding() const { return crlf_ ? "\r" : ""; }

    std::vector<Section> sections_; // sections_[0]: the lines before the first header
    std::unordered_map<std::string, uint32_t> sectionIndex_; // folded name -> first section
    bool finalNewline_ = true;
    bool crlf_ = false;
    size_t keyLines_ = 0;
    std::string problem_;
};

// One-shot access to one key of a file. A refused file reads as missing
// and is reported on standard error.
int ReadProfileString(std::string_view section, std::string_view key, const char* def, char* buffer, int size,
                      const std::string& path);
std::string ReadProfileString(std::string_view section, std::string_view key, std::string_view def, int size,
                              const std::string& path);
int ReadProfileInt(std::string_view section, std::string_view key, int def, const std::string& path);
// Reads the file, sets the key and replaces the file, holding a lock on the
// folder so that writers in other threads and processes do not lose each
// other's keys. False when the write failed (the file is then unchanged):
// the folder is missing or not writable, or the file exists but cannot be
// read, or the name cannot be stored; `why` then says which.
bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path, std::string* why = nullptr);

// Loads the file; a refused file is reported on standard error (and reads
// as missing). The typed readers of the settings files go through here.
bool LoadOrReport(ProfileDocument& doc, const std::string& path);

// ASCII case folding used for all name comparisons.
std::string FoldCase(std::string_view text);

} // namespace qavsettings

// Lookups in the resource data that ships beside the programs: the object
// table ("QAVOIDER") and the language texts ("QAVLANG" and the tools' own).
//
// Both are numbered string tables. In the object table, string n is the OID
// of object n (dotted, without instance) and string n+1 the name of its
// value type; in a language table, string n is text n. A missing entry reads
// as the empty string.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

namespace qavres {

// Messages and caption shown when a language table cannot be loaded.
inline constexpr const char* kLanguageLoadError = "Could not load language library!";
inline constexpr const char* kSettingsLanguageLoadError = "Could not Load Language library!";
inline constexpr const char* kErrorCaption = "ERROR";

// Names of the resource libraries.
inline constexpr const char* kObjectTable = "QAVOIDER";
inline constexpr const char* kLanguage = "QAVLANG";

// Folder of the resource files: $QAV_RESOURCE_DIR when set, else
// "<folder of the running program>/../share/qav".
std::string ResourceDir();

class StringTable {
public:
    // Loads "<ResourceDir()>/<name>.txt". False, with a reason in `error`,
    // when the file is missing or a line is malformed.
    bool Load(const std::string& name, std::string* error = nullptr);
    bool LoadFile(const std::string& path, std::string* error = nullptr);
    bool IsLoaded() const { return loaded_; }

    // Text n, or empty when there is none.
    const std::string& Get(int id) const;
    // Copies text n into the buffer, cut to size - 1 characters; returns the
    // number of characters copied (0: no entry).
    int LoadString(int id, char* buffer, int size) const;
    size_t Size() const { return strings_.size(); }

    void Set(int id, std::string text) { strings_[id] = std::move(text); }
    const std::unordered_map<int, std::string>& All() const { return strings_; }

    // Object lines only: the numbers of the objects in ascending order, and
    // the comment of an object's line ("sysName: printer name"), empty when
    // the line has none.
    std::vector<int> ObjectNumbers() const;
    const std::string& Comment(int object) const;

private:
    bool ParseObjectLine(const std::string& line, std::string* error);
    bool ParseTextLine(const std::string& line, std::string* error);

    std::unordered_map<int, std::string> strings_;
    std::unordered_map<int, std::string> comments_; // by object number, every object line
    bool loaded_ = false;
};

// BER type code for a type name of the object table: "Integer"/"Integer32"
// 2, "String" 4, "OID" 6, "IPAddress" 64, "Counter32" 65, "Guage32" 66,
// "Timeticks" 67, "Counter64" 70, anything else 5. A name matches when the
// text begins with it.
int TypeCodeFromName(const std::string& name);

// The object table with its lookups by object number.
class ObjectTable {
public:
    bool Load(std::string* error = nullptr) { return table_.Load(kObjectTable, error); }
    bool LoadFile(const std::string& path, std::string* error = nullptr) { return table_.LoadFile(path, error); }
    bool IsLoaded() const { return table_.IsLoaded(); }

    const std::string& Oid(int object) const { return table_.Get(object); }
    const std::string& TypeName(int object) const { return table_.Get(object + 1); }
    int TypeCode(int object) const { return TypeCodeFromName(TypeName(object)); }
    // What the table says of the object (its line's comment), empty when
    // nothing.
    const std::string& Description(int object) const { return table_.Comment(object); }
    // Every object of the table, by number.
    std::vector<int> Numbers() const { return table_.ObjectNumbers(); }
    // "%s.%d" of the object's OID and the instance (0 for scalars); empty
    // when the object is not in the table.
    std::string RequestOid(int object, int instance = 0) const;
    // The object number whose OID is exactly `oid`, or 0.
    int Find(const std::string& oid) const;
    const StringTable& Strings() const { return table_; }

private:
    StringTable table_;
};

} // namespace qavres

// The parameter pages of a printer model, as its language library defines
// them from the resource base B (see resources/data/NCreseng.txt):
//
//   B+1               number of pages (slots)
//   B+1+m             window title of mode m
//   B+10+70p          title of page p
//   B+11+70p          level of page p
//   B+12+70p          number of parameter blocks of page p
//   B+13+70s          number of parameters of the block in slot s
//   B+14+70s+3j       parameter j of that block: its definition number d
//   B+15+70s+3j       its object "number.instance" (its key in .qcd files)
//   B+16+70s+3j       its place in the tree, "level1|level2|level3"
//
// Block i of page p lives in slot s = p + i, so parameter k of a page (k =
// 20i + j) has its triple at B+14+70p+3k+10(k div 20): a page of more than
// 20 parameters takes over the slots after it, which the library hides
// with a level that no window shows. The ID of a parameter is the ID of
// its triple (B+14+70s+3j); it keys the tree and the change sets.
//
// The definition d of a parameter:
//   d                 its name
//   d+2               value kind, optionally "." and an attribute
//   d+4, d+5          kinds <= 0: lower and upper bound (minimum and maximum
//                     length for texts); kinds > 0: the label of value v at d+4+v
//   d+6               decimal places and unit, "%i%s"
#pragma once

#include <string>
#include <vector>

namespace qavres {
class ObjectTable;
class StringTable;
} // namespace qavres

namespace nconfig {

inline constexpr int kDefaultBase = 10000;
inline constexpr int kSlotSize = 70;
inline constexpr int kBlockSize = 20; // parameters per block: one request each

// Value kinds (kinds > 0 are enumerations with that many choices).
enum Kind : int {
    kKindDecimal = -1,  // a number with q decimal places, stored times 10^q
    kKindText = -2,     // attribute 1: hexadecimal digits, padded with "F"
    kKindAddress = -3,  // attribute 2: the printer's own address
    kKindHex = -4,      // a number shown and entered in hexadecimal
    kKindReadOnly = -5, // shown like -1 (numbers) or -2 (texts), never written
    kKindFixed = -6,    // a fixed "0" with an optional unit, never read or written
};
inline constexpr int kAttributeHexText = 1;
inline constexpr int kAttributeOwnAddress = 2;

struct Parameter {
    int id = 0;           // the ID of its triple
    int definition = 0;   // d
    std::string key;      // "object.instance"
    int object = 0;
    int instance = 0;
    int block = 0;        // block of its page
    std::vector<std::string> path; // one to three levels
    std::string name;
    int kind = kKindReadOnly;
    int attribute = 0;
    std::string low;      // kinds <= 0: d+4 as written
    std::string high;     // kinds <= 0: d+5 as written
    std::vector<std::string> labels; // kinds > 0
    int decimals = 0;
    std::string unit;
    int type = 0;         // the object's type code (2, 4, 64 or 65); 0 when the tool cannot use it

    bool Enumeration() const { return kind > 0; }
    bool OwnAddress() const { return kind == kKindAddress && attribute == kAttributeOwnAddress; }
    // Read from the printer (kind -6 and unusable objects are not).
    bool Readable() const { return type != 0 && kind != kKindFixed; }
    // May be written at all (what the window allows besides is its own).
    bool Writable() const { return Readable() && kind != kKindReadOnly; }
};

struct Page {
    int index = 0;        // p
    std::string title;
    int level = 0;
    int blocks = 0;
    std::vector<Parameter> parameters; // in page order
};

struct PageBook {
    int base = kDefaultBase;
    std::vector<Page> pages; // every slot 0 .. count-1, hidden ones included
};

// The ID of parameter k of page p.
int ParameterId(int base, int page, int k);

// Reads every page definition from the language library. Objects come from
// the object table; only "Integer", "String", "IPAddress" and "Counter32"
// objects are used (the others read as unknown and are never written).
PageBook LoadPages(const qavres::StringTable& language, const qavres::ObjectTable& objects, int base);

// The pages a window shows, in tab order: the system window shows a page
// whose level is at least the mode, the diagnosis window one whose level is
// the mode or 2.
std::vector<int> VisiblePages(const PageBook& book, int mode, bool diagnosis);

// The window title text of a mode (B+1+mode).
std::string ModeTitle(const qavres::StringTable& language, int base, int mode);

} // namespace nconfig

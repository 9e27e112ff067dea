// The download trailer: the 256-byte description block at the very end of
// every file the download tool sends, and the values the tool keeps from it.
//
// Layout (offsets into the block; numbers big-endian, texts ASCII padded
// with blanks, each read up to its length):
//
//     0   4  data size in KB             64   5  version "V1.2A"
//     4   4  checksum                    80  16  kind name
//    16  11  text field 1                96  12  boot type (4) and boot text
//    32   9  text field 2               240  13  magic
//    48  12  model
//
// Everything else is carried and never looked at.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace nload {

inline constexpr size_t kTrailerSize = 256;

// Download kind codes. Several kind names share a code (KANJI2, KANJI and
// CHINESE are all fonts of code 4). kKindOther is a kind name the table
// does not know: it is sent like a font, shown by its own name and never
// compared with a printer's version.
enum Kind : int {
    kKindOther = -1,
    kKindMain = 0,
    kKindBoot = 1,
    kKindCg = 2,
    kKindKanji1 = 3,
    kKindKanji2 = 4,
    kKindGaiji = 5,
    kKindHtml = 6,
};
inline constexpr int kKindCodes = 7; // codes 0..6

// The kinds table: name, code, and the number of the text that names the
// kind in the windows.
struct KindRow {
    const char* name;
    int code;
    int text;
};
inline constexpr std::array<KindRow, 9> kKinds = {{
    {"MAIN", kKindMain, 3400},
    {"BOOT", kKindBoot, 3401},
    {"C/G", kKindCg, 3402},
    {"KANJI1", kKindKanji1, 3403},
    {"KANJI2", kKindKanji2, 3404},
    {"GAIJI", kKindGaiji, 3405},
    {"HTML", kKindHtml, 3406},
    {"KANJI", kKindKanji2, 3407},
    {"CHINESE", kKindKanji2, 3408},
}};

// The row of a kind name (trailing blanks ignored), or null for a name the
// table does not know.
const KindRow* FindKind(std::string_view name);

// The magic texts.
inline constexpr const char* kMagicQqav = "QQAV LOADFILE";
inline constexpr const char* kMagicMug = "M-UG LOADFILE";
inline constexpr const char* kMagicMuh = "M-UH LOADFILE";
inline constexpr const char* kMuhModel = "M-UH9Y      "; // the one model an M-UH trailer may name

// The fields of one trailer, as read (texts keep their padding).
struct Trailer {
    uint32_t sizeKb = 0;
    uint32_t checksum = 0;
    std::string text1;    // 11 characters
    std::string text2;    // 9
    std::string model;    // 12
    std::string version;  // 5
    std::string kindName; // 16
    std::string boot;     // 12: type code (4) and boot text
    std::string magic;    // 13
};

// Reads the fields of a 256-byte block.
Trailer ParseTrailer(const unsigned char* block);
// Writes a block from the fields (the test files and the simulator's own
// make their files with it); unused bytes are blanks.
std::array<unsigned char, kTrailerSize> MakeTrailerBlock(const Trailer& trailer);

// The magic rule: "QQAV LOADFILE" and "M-UG LOADFILE" are valid, "M-UH
// LOADFILE" only with the model "M-UH9Y" and six blanks.
bool MagicValid(const Trailer& trailer);

// Reads the last 256 bytes of a file. False, with a reason naming the file,
// when the file cannot be read or is shorter than 256 bytes.
bool ReadTrailer(const std::string& path, Trailer& trailer, std::string* error = nullptr);

// The values the tool keeps from the selected file (from its trailer or
// from a catalog line).
struct FileInfo {
    uint32_t sizeKb = 0;
    uint32_t checksum = 0;
    std::string text1, text2, model;
    std::string version;   // "V1.2A", "V1.2 "
    char major = 0, minor = 0, revision = 0; // version positions 1, 3 and 4 (0: missing)
    int kind = kKindMain;
    std::string kindName;  // trailing blanks removed
    std::string bootType;  // BOOT only: the first 4 characters of the boot field
    std::string bootText;  // BOOT only: the rest, trailing blanks removed
};

// The kept values of a trailer.
FileInfo InfoFromTrailer(const Trailer& trailer);
// Version major, minor and revision from positions 1, 3 and 4 of a text.
void TakeVersionDigits(FileInfo& info);

// The displayed fields. A GAIJI file shows no size, checksum, texts, model
// or version.
std::string SizeText(const FileInfo& info);     // "%dKB"
std::string ChecksumText(const FileInfo& info); // "%08.08XH"

// The number of the text naming the kind, 0 for an unknown kind (which is
// shown by its name).
int KindTextId(const FileInfo& info);

// A text with its trailing blanks removed.
std::string TrimRight(std::string_view text);

} // namespace nload

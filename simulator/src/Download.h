// The printer's side of the download protocol.
//
//   start   "{LD;" checksum (4 bytes, big-endian) "," size in KB (2 bytes,
//           big-endian) "|}"                                -> reply 52
//   data    "{LP;" the file's bytes, then "|}" (whole), or the same bytes
//           without the closing "|}" in blocks of 256 KB    -> reply 53 after
//           every 256 KB of file data, unless the file ends there
//   end     the file ends where its 256-byte trailer ends: a trailer whose
//           magic ("QQAV LOADFILE", "M-UG LOADFILE", "M-UH LOADFILE") sits at
//           offset 240 and whose size and checksum fields repeat the start
//           command's                                       -> reply 56, or a
//           refusal:
//             6   the start command's checksum is not the 32-bit sum of every
//                 byte of the file before its trailer
//             50  the start command's size is not the file's length in KB,
//                 rounded up (low 16 bits)
//             51  the trailer's model (blank-padded, 12 characters) is not
//                 the printer's short model name (object 20101)
//
// Replies are 13 bytes: SOH STX, the two digits of the value, "2", "0000",
// ETX EOT CR LF.
//
// After a good download the printer takes the trailer's version (5
// characters) as the version of the file's kind; MAIN, BOOT, C/G and the
// fonts restart the printer first (see RawPorts.h). A BOOT file also sets the
// boot type code (the trailer's first 4 characters at offset 96).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qavsim {

namespace download {
constexpr int kStartAccepted = 52;
constexpr int kBlockReceived = 53;
constexpr int kFinished = 56;
constexpr int kBadChecksum = 6;
constexpr int kBadSize = 50;
constexpr int kWrongModel = 51;
constexpr size_t kBlockSize = 262144;
constexpr size_t kTrailerSize = 256;
} // namespace download

// The 13-byte reply frame of a value.
std::string DownloadReply(int value);

struct Trailer {
    uint32_t sizeKb = 0;
    uint32_t checksum = 0;
    std::string model;    // trailing blanks removed
    std::string version;  // 5 characters as stored
    std::string kind;     // trailing blanks removed
    std::string bootType; // 4 characters as stored
    std::string magic;    // 13 characters
};

// Reads the 256 bytes at `p`. False when the magic is none of the three.
bool ReadTrailer(const unsigned char* p, Trailer& trailer);

// What the printer does with a good download of a kind: the object that
// reports the version of that kind (0: none) and whether it restarts.
struct KindEffect {
    const char* kind;
    int versionObject;
    bool restarts;
};
const KindEffect* FindKindEffect(const std::string& kind);

// The outcome of one received file.
struct DownloadOutcome {
    int reply = 0; // 56, 6, 50 or 51
    Trailer trailer;
    size_t bytes = 0;     // file length
    uint32_t sum = 0;     // the sum of the bytes before the trailer
};

// Checks a received file (trailer included) against the start command's
// checksum and size and the printer's short model name.
DownloadOutcome CheckDownload(const std::string& file, uint32_t checksum, uint16_t sizeKb, const std::string& model);

} // namespace qavsim

// Download files for the simulator's tests: random data with a trailer
// that describes it, and the start command that announces it.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace simtest {

inline void Put32(std::string& s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (24 - 8 * i));
}

struct LoadFile {
    std::string bytes; // the whole file, trailer included
    uint32_t checksum = 0;
    uint16_t sizeKb = 0;

    // Writes changed figures into the trailer again (a file whose trailer
    // lies, announced with what the trailer says).
    void RewriteTrailer()
    {
        Put32(bytes, bytes.size() - 256, sizeKb);
        Put32(bytes, bytes.size() - 252, checksum);
    }
};

// A file of `length` bytes in all, the 256-byte trailer included.
inline LoadFile MakeLoadFile(size_t length, const std::string& kind = "MAIN", const std::string& version = "V1.3A",
                             const std::string& model = "M-UG2")
{
    LoadFile f;
    std::mt19937 rng(static_cast<unsigned>(length));
    f.bytes.resize(length - 256);
    for (char& c : f.bytes) c = static_cast<char>(rng());
    for (unsigned char c : f.bytes) f.checksum += c;
    f.sizeKb = static_cast<uint16_t>((length + 1023) / 1024);
    std::string trailer(256, ' ');
    trailer.replace(48, model.size(), model);
    trailer.replace(64, version.size(), version);
    trailer.replace(80, kind.size(), kind);
    trailer.replace(240, 13, "QQAV LOADFILE");
    f.bytes += trailer;
    f.RewriteTrailer();
    return f;
}

inline std::string StartCommand(uint32_t checksum, uint16_t sizeKb)
{
    std::string c = "{LD;0000,00|}";
    Put32(c, 4, checksum);
    c[9] = static_cast<char>(sizeKb >> 8);
    c[10] = static_cast<char>(sizeKb);
    return c;
}

inline std::string StartCommand(const LoadFile& f) { return StartCommand(f.checksum, f.sizeKb); }

} // namespace simtest

#include "Download.h"

#include <cstring>

namespace qavsim {

namespace {

uint32_t BigEndian32(const unsigned char* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

std::string Field(const unsigned char* p, size_t length, bool trimBlanks)
{
    std::string text(reinterpret_cast<const char*>(p), length);
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    if (trimBlanks) {
        while (!text.empty() && text.back() == ' ') text.pop_back();
    }
    return text;
}

const char* const kMagics[] = {"QQAV LOADFILE", "M-UG LOADFILE", "M-UH LOADFILE"};

// Kind names of the trailer, with the object that reports their version.
// KANJI and CHINESE files are fonts of the second kanji slot.
const KindEffect kKindEffects[] = {
    {"MAIN", 20121, true},    {"BOOT", 20181, true},  {"C/G", 20241, true},     {"KANJI1", 20301, true},
    {"KANJI2", 20361, true},  {"KANJI", 20361, true}, {"CHINESE", 20361, true}, {"HTML", 26581, false},
};

} // namespace

std::string DownloadReply(int value)
{
    const char frame[13] = {0x01, 0x02, static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10),
                            '2',  '0',  '0', '0', '0', 0x03, 0x04, 0x0D, 0x0A};
    return std::string(frame, sizeof frame);
}

bool ReadTrailer(const unsigned char* p, Trailer& t)
{
    t.sizeKb = BigEndian32(p);
    t.checksum = BigEndian32(p + 4);
    t.model = Field(p + 48, 12, true);
    t.version = Field(p + 64, 5, false);
    t.kind = Field(p + 80, 16, true);
    t.bootType = Field(p + 96, 4, false);
    t.magic = Field(p + 240, 13, false);
    for (const char* m : kMagics) {
        if (t.magic == m) return true;
    }
    return false;
}

const KindEffect* FindKindEffect(const std::string& kind)
{
    for (const KindEffect& k : kKindEffects) {
        if (kind == k.kind) return &k;
    }
    return nullptr;
}

DownloadOutcome CheckDownload(const std::string& file, uint32_t checksum, uint16_t sizeKb, const std::string& model)
{
    DownloadOutcome out;
    out.bytes = file.size();
    if (file.size() < download::kTrailerSize) {
        out.reply = download::kBadSize;
        return out;
    }
    const size_t body = file.size() - download::kTrailerSize;
    const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
    for (size_t i = 0; i < body; ++i) out.sum += bytes[i];
    ReadTrailer(bytes + body, out.trailer);
    const size_t kb = (file.size() + 1023) / 1024;
    // The trailer holds 12 characters of the model name.
    std::string want = model.substr(0, 12);
    while (!want.empty() && want.back() == ' ') want.pop_back();
    if (out.sum != checksum) {
        out.reply = download::kBadChecksum;
    } else if ((kb & 0xFFFF) != sizeKb) {
        out.reply = download::kBadSize;
    } else if (out.trailer.model != want) {
        out.reply = download::kWrongModel;
    } else {
        out.reply = download::kFinished;
    }
    return out;
}

} // namespace qavsim

#include "nload/Trailer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace nload {

namespace {

// Field places in the block.
struct Field {
    size_t offset;
    size_t length;
};
constexpr Field kSize{0, 4}, kChecksum{4, 4}, kText1{16, 11}, kText2{32, 9}, kModel{48, 12}, kVersion{64, 5},
    kKindName{80, 16}, kBoot{96, 12}, kMagic{240, 13};
constexpr size_t kBootTypeLength = 4;

uint32_t BigEndian(const unsigned char* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

void PutBigEndian(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

// A text field up to its length; a zero byte inside ends it early.
std::string Text(const unsigned char* block, Field f)
{
    const char* p = reinterpret_cast<const char*>(block + f.offset);
    return std::string(p, ::strnlen(p, f.length));
}

void PutText(unsigned char* block, Field f, const std::string& text)
{
    std::memcpy(block + f.offset, text.data(), std::min(text.size(), f.length));
}

} // namespace

const KindRow* FindKind(std::string_view name)
{
    const std::string trimmed = TrimRight(name);
    for (const KindRow& row : kKinds) {
        if (trimmed == row.name) return &row;
    }
    return nullptr;
}

std::string TrimRight(std::string_view text)
{
    size_t n = text.size();
    while (n > 0 && text[n - 1] == ' ') --n;
    return std::string(text.substr(0, n));
}

Trailer ParseTrailer(const unsigned char* block)
{
    Trailer t;
    t.sizeKb = BigEndian(block + kSize.offset);
    t.checksum = BigEndian(block + kChecksum.offset);
    t.text1 = Text(block, kText1);
    t.text2 = Text(block, kText2);
    t.model = Text(block, kModel);
    t.version = Text(block, kVersion);
    t.kindName = Text(block, kKindName);
    t.boot = Text(block, kBoot);
    t.magic = Text(block, kMagic);
    return t;
}

std::array<unsigned char, kTrailerSize> MakeTrailerBlock(const Trailer& t)
{
    std::array<unsigned char, kTrailerSize> block;
    block.fill(' ');
    PutBigEndian(block.data() + kSize.offset, t.sizeKb);
    PutBigEndian(block.data() + kChecksum.offset, t.checksum);
    PutText(block.data(), kText1, t.text1);
    PutText(block.data(), kText2, t.text2);
    PutText(block.data(), kModel, t.model);
    PutText(block.data(), kVersion, t.version);
    PutText(block.data(), kKindName, t.kindName);
    PutText(block.data(), kBoot, t.boot);
    PutText(block.data(), kMagic, t.magic);
    return block;
}

bool MagicValid(const Trailer& t)
{
    if (t.magic == kMagicQqav || t.magic == kMagicMug) return true;
    return t.magic == kMagicMuh && t.model == kMuhModel;
}

bool ReadTrailer(const std::string& path, Trailer& trailer, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = path + ": " + std::strerror(errno);
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < static_cast<std::streamoff>(kTrailerSize)) {
        if (error) *error = path + ": shorter than the 256-byte download trailer";
        return false;
    }
    unsigned char block[kTrailerSize];
    in.seekg(size - static_cast<std::streamoff>(kTrailerSize));
    if (!in.read(reinterpret_cast<char*>(block), kTrailerSize)) {
        if (error) *error = path + ": the download trailer cannot be read";
        return false;
    }
    trailer = ParseTrailer(block);
    return true;
}

void TakeVersionDigits(FileInfo& info)
{
    const std::string& v = info.version;
    info.major = v.size() > 1 ? v[1] : 0;
    info.minor = v.size() > 3 ? v[3] : 0;
    info.revision = v.size() > 4 ? v[4] : 0;
}

FileInfo InfoFromTrailer(const Trailer& t)
{
    FileInfo info;
    info.kindName = TrimRight(t.kindName);
    const KindRow* row = FindKind(info.kindName);
    info.kind = row ? row->code : kKindOther;
    if (info.kind == kKindGaiji) return info; // nothing else of a GAIJI trailer is used
    info.sizeKb = t.sizeKb;
    info.checksum = t.checksum;
    info.text1 = t.text1;
    info.text2 = t.text2;
    info.model = t.model;
    info.version = t.version;
    TakeVersionDigits(info);
    if (info.kind == kKindBoot) {
        info.bootType = t.boot.substr(0, std::min(t.boot.size(), kBootTypeLength));
        info.bootText = t.boot.size() > kBootTypeLength ? TrimRight(t.boot.substr(kBootTypeLength)) : std::string();
    }
    return info;
}

std::string SizeText(const FileInfo& info)
{
    if (info.kind == kKindGaiji) return {};
    return std::to_string(static_cast<int>(info.sizeKb)) + "KB";
}

std::string ChecksumText(const FileInfo& info)
{
    if (info.kind == kKindGaiji) return {};
    char text[16];
    std::snprintf(text, sizeof text, "%.8XH", info.checksum); // eight digits, zeros in front
    return text;
}

int KindTextId(const FileInfo& info)
{
    const KindRow* row = FindKind(info.kindName);
    return row ? row->text : 0;
}

} // namespace nload

// Download files for the tests: content of a given size and a trailer
// whose size and checksum fit it the way a printer checks them (the size
// is the whole file's length in KB, rounded up; the checksum the 32-bit sum
// of every byte before the trailer).
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "nload/Trailer.h"

namespace loadertest {

struct LoadFileRecipe {
    std::string kind = "MAIN";
    std::string model = "M-UG2";
    std::string version = "V1.05";
    std::string boot{};          // boot type and text (BOOT files)
    std::string magic = nload::kMagicQqav;
    size_t contentSize = 1000;   // bytes before the trailer
    std::string head{};          // the content's first bytes ("BAR" ...)
    std::string text1 = "LABEL FW", text2 = "REL 2";
    bool wrongChecksum = false;
    bool wrongSize = false;
};

inline std::vector<unsigned char> MakeLoadFile(const LoadFileRecipe& recipe)
{
    std::vector<unsigned char> file(recipe.contentSize);
    for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<unsigned char>((i * 7 + 3) & 0xFF);
    for (size_t i = 0; i < recipe.head.size() && i < file.size(); ++i) file[i] = static_cast<unsigned char>(recipe.head[i]);
    uint32_t sum = 0;
    for (unsigned char c : file) sum += c;
    nload::Trailer t;
    const size_t whole = recipe.contentSize + nload::kTrailerSize;
    t.sizeKb = static_cast<uint32_t>((whole + 1023) / 1024) + (recipe.wrongSize ? 1 : 0);
    t.checksum = sum + (recipe.wrongChecksum ? 1 : 0);
    t.text1 = recipe.text1;
    t.text2 = recipe.text2;
    t.model = recipe.model;
    t.version = recipe.version;
    t.kindName = recipe.kind;
    t.boot = recipe.boot;
    t.magic = recipe.magic;
    const auto block = nload::MakeTrailerBlock(t);
    file.insert(file.end(), block.begin(), block.end());
    return file;
}

inline void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace loadertest

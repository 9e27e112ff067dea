#include "nconfig/ListFile.h"

#include <fstream>

#include "qavsettings/DataFolder.h"

namespace nconfig {

namespace {
constexpr size_t kMaxLine = 255;
}

std::string ListFilePath(const std::string& given)
{
    if (given.find('/') != std::string::npos) return given;
    return qavsettings::DataFilePath(given);
}

bool ReadListFile(const std::string& path, std::vector<ListLine>& lines)
{
    lines.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string text;
    while (std::getline(in, text)) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        text = text.substr(0, kMaxLine);
        if (text.empty()) continue;
        ListLine line;
        const size_t blank = text.find(' ');
        line.port = text.substr(0, blank);
        if (blank != std::string::npos) line.address = text.substr(blank + 1);
        lines.push_back(std::move(line));
    }
    return !lines.empty();
}

} // namespace nconfig

#include "StatusText.h"

#include <cstring>

#include "DeviceModel.h"
#include "nlist/Nlist.h"
#include "qavres/Resources.h"

namespace nlist {

const std::array<StatusRow, 48> kStatusTable = {{
    {3, 0, 3, 3000},   {1, 1, 4, 3001},   {4, 2, 3, 3002},   {1, 4, 5, 3003},   {4, 5, 3, 3004},
    {1, 6, 6, 3005},   {1, 7, 6, 3006},   {1, 11, 7, 3007},  {1, 12, 8, 3008},  {1, 13, 9, 3009},
    {1, 14, 10, 3010}, {1, 15, 4, 3011},  {1, 17, 11, 3012}, {1, 18, 11, 3013}, {1, 21, 12, 3014},
    {1, 24, 4, 3015},  {1, 27, 3, 3016},  {1, 28, 5, 3017},  {1, 29, 3, 3018},  {1, 40, 18, 3019},
    {1, 41, 18, 3020}, {1, 50, 6, 3021},  {1, 51, 6, 3022},  {1, 54, 6, 3023},  {1, 55, 5, 3024},
    {1, 61, 6, 3025},  {1, 62, 6, 3026},  {1, 22, 6, 3029},  {1, 23, 9, 3030},  {1, 36, 6, 3031},
    {1, 66, 6, 3032},  {1, 67, 6, 3033},  {1, 68, 6, 3034},  {1, 69, 6, 3044},  {1, 70, 6, 3035},
    {1, 71, 6, 3036},  {1, 72, 6, 3037},  {1, 73, 4, 3038},  {1, 74, 4, 3039},  {1, 75, 3, 3040},
    {1, 76, 3, 3041},  {1, 77, 6, 3042},  {1, 78, 5, 3043},  {1, 80, 3, 3045},  {1, 81, 5, 3046},
    {1, 82, 3, 3047},  {1, 98, 6, 3028},  {2, 99, 18, 3027},
}};

namespace {

const StatusRow* FindRow(int code)
{
    for (const StatusRow& row : kStatusTable) {
        if (row.code == code) return &row;
    }
    return nullptr;
}

// The text of code 98 carries the real code in its "%d". Only that one
// directive is filled: the text comes from a resource file and is never
// used as a format.
std::string FillCode(const std::string& format, int code)
{
    const size_t at = format.find("%d");
    if (at == std::string::npos) return format;
    return format.substr(0, at) + std::to_string(code) + format.substr(at + 2);
}

} // namespace

int StatusTextAndIcon(int isBCP, int printerStatus, int errorCode, int headStatus,
                      const qavres::StringTable& language, std::string& text)
{
    int icon = 2;
    text = language.Get(3150);
    if (isBCP != 0) {
        int code = errorCode;
        const int real = errorCode;
        if (code != 512 && !FindRow(code)) code = 98;
        if (const StatusRow* row = FindRow(code)) {
            icon = row->icon;
            text = code == 98 ? FillCode(language.Get(row->text), real) : language.Get(row->text);
        }
        if (headStatus == 1) text += " [H]";
        return icon;
    }
    switch (printerStatus) {
    case 1: text = language.Get(3100); icon = 6; break;
    case 2: text = language.Get(3101); icon = 6; break;
    case 3: text = language.Get(3102); icon = 3; break;
    case 4: text = language.Get(3103); icon = 3; break;
    case 5: text = language.Get(3104); icon = 3; break;
    default: break;
    }
    // Each set error bit overrides, in this order: the last one wins.
    static const struct {
        int bit, text, icon;
    } kBits[] = {{0x40, 3110, 13}, {0x10, 3111, 14}, {0x08, 3112, 4}, {0x04, 3113, 15}, {0x02, 3114, 2}};
    for (const auto& b : kBits) {
        if (errorCode & b.bit) {
            text = language.Get(b.text);
            icon = b.icon;
        }
    }
    return icon;
}

} // namespace nlist

int GetStatusTextAndIcon(int isBCP, int printerStatus, int errorCode, int headStatus, char* text, int size)
{
    std::string s;
    const int icon = nlist::StatusTextAndIcon(isBCP, printerStatus, errorCode, headStatus, nlist::Language(), s);
    if (text && size > 0) nlist::CopyText(text, static_cast<size_t>(size), s.c_str());
    return icon;
}

int IsPrinterStateKnown(uint32_t address) { return nlist::AwaitsFirstAnswer(address) ? 0 : 1; }

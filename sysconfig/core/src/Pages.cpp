#include "nconfig/Pages.h"

#include <algorithm>
#include <cstdlib>

#include "ncomm/CQBPVb.h"
#include "qavres/Resources.h"

namespace nconfig {

namespace {

// Counts beyond these are taken as errors of the library, not as pages.
constexpr int kMaxPages = 100;
constexpr int kMaxChoices = 64;

int Number(const std::string& text) { return static_cast<int>(std::strtol(text.c_str(), nullptr, 10)); }

// The types the tool reads and writes.
int UsableType(const qavres::ObjectTable& objects, int object)
{
    if (objects.Oid(object).empty()) return 0;
    const int type = objects.TypeCode(object);
    switch (type) {
    case ber::kInteger:
    case ber::kOctetString:
    case ber::kIpAddress:
    case ber::kCounter32: return type;
    default: return 0;
    }
}

std::vector<std::string> TreePath(const std::string& text)
{
    std::vector<std::string> path;
    size_t from = 0;
    while (path.size() < 3) {
        const size_t bar = text.find('|', from);
        std::string part = text.substr(from, bar == std::string::npos ? std::string::npos : bar - from);
        if (!part.empty()) path.push_back(std::move(part));
        if (bar == std::string::npos) break;
        from = bar + 1;
    }
    return path;
}

Parameter LoadParameter(const qavres::StringTable& language, const qavres::ObjectTable& objects, int id)
{
    Parameter p;
    p.id = id;
    p.definition = Number(language.Get(id));
    p.key = language.Get(id + 1);
    char* end = nullptr;
    p.object = static_cast<int>(std::strtol(p.key.c_str(), &end, 10));
    if (*end == '.') p.instance = static_cast<int>(std::strtol(end + 1, nullptr, 10));
    p.path = TreePath(language.Get(id + 2));
    const int d = p.definition;
    // The tree names the parameter by the last level of its place; the
    // definition's own name serves when the place has none.
    p.name = p.path.empty() ? language.Get(d) : p.path.back();
    if (p.path.empty()) p.path.push_back(p.name);

    const std::string& kindText = language.Get(d + 2);
    p.kind = static_cast<int>(std::strtol(kindText.c_str(), &end, 10));
    if (kindText.empty()) p.kind = kKindReadOnly;
    if (*end == '.') p.attribute = Number(end + 1);
    if (p.kind > 0) {
        p.kind = std::min(p.kind, kMaxChoices);
        for (int v = 0; v < p.kind; ++v) p.labels.push_back(language.Get(d + 4 + v));
    } else {
        p.low = language.Get(d + 4);
        p.high = language.Get(d + 5);
        const std::string& format = language.Get(d + 6);
        p.decimals = std::clamp(static_cast<int>(std::strtol(format.c_str(), &end, 10)), 0, 9);
        std::string unit = end;
        unit.erase(0, unit.find_first_not_of(" \t"));
        unit.erase(unit.find_last_not_of(" \t") + 1);
        p.unit = unit;
    }
    p.type = UsableType(objects, p.object);
    return p;
}

} // namespace

int ParameterId(int base, int page, int k) { return base + 14 + kSlotSize * page + 3 * k + 10 * (k / kBlockSize); }

PageBook LoadPages(const qavres::StringTable& language, const qavres::ObjectTable& objects, int base)
{
    PageBook book;
    book.base = base;
    const int count = std::clamp(Number(language.Get(base + 1)), 0, kMaxPages);
    for (int p = 0; p < count; ++p) {
        Page page;
        page.index = p;
        const int slot = base + kSlotSize * p;
        page.title = language.Get(slot + 10);
        page.level = Number(language.Get(slot + 11));
        page.blocks = std::clamp(Number(language.Get(slot + 12)), 0, count - p);
        for (int i = 0; i < page.blocks; ++i) {
            const int s = base + kSlotSize * (p + i);
            const int n = std::clamp(Number(language.Get(s + 13)), 0, kBlockSize);
            for (int j = 0; j < n; ++j) {
                Parameter param = LoadParameter(language, objects, s + 14 + 3 * j);
                param.block = i;
                page.parameters.push_back(std::move(param));
            }
        }
        book.pages.push_back(std::move(page));
    }
    return book;
}

std::vector<int> VisiblePages(const PageBook& book, int mode, bool diagnosis)
{
    std::vector<int> visible;
    for (const Page& page : book.pages) {
        const bool shown = diagnosis ? (page.level == mode || page.level == 2) : page.level >= mode;
        if (shown) visible.push_back(page.index);
    }
    return visible;
}

std::string ModeTitle(const qavres::StringTable& language, int base, int mode)
{
    return language.Get(base + 1 + mode);
}

} // namespace nconfig

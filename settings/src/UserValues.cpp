#include "qavsettings/UserValues.h"

#include <cstdio>

#include "qavplatform/Result.h"
#include "qavplatform/UserValues.h"

namespace qavsettings {

namespace {

// A value name of the list window's own: one plain word, never a path.
bool PlainName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\\') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

} // namespace

bool ReadUserValue(std::string_view name, std::string& value)
{
    return PlainName(name) && qavplatform::GetUserValue(qavplatform::kListWindowKey, std::string(name), &value);
}

bool WriteUserValue(std::string_view name, std::string_view value)
{
    return PlainName(name) && qavplatform::SetUserValue(qavplatform::kListWindowKey, std::string(name),
                                                        std::string(value)) == qavplatform::kOk;
}

bool DeleteUserValue(std::string_view name)
{
    return PlainName(name) &&
           qavplatform::DeleteUserValue(qavplatform::kListWindowKey, std::string(name)) == qavplatform::kOk;
}

bool ReadUserNumber(std::string_view name, uint32_t& value)
{
    return PlainName(name) && qavplatform::GetUserNumber(qavplatform::kListWindowKey, std::string(name), &value);
}

bool WriteUserNumber(std::string_view name, uint32_t value)
{
    return PlainName(name) &&
           qavplatform::SetUserNumber(qavplatform::kListWindowKey, std::string(name), value) == qavplatform::kOk;
}

std::string FormatWindowPlacement(const WindowPlacement& p)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d", p.flags, p.showCommand, p.minX, p.minY, p.maxX,
                  p.maxY, p.left, p.top, p.right, p.bottom);
    return buf;
}

bool ParseWindowPlacement(std::string_view text, WindowPlacement& p)
{
    const std::string s(text);
    WindowPlacement q;
    int used = 0;
    const int n = std::sscanf(s.c_str(), "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d%n", &q.flags, &q.showCommand, &q.minX, &q.minY,
                              &q.maxX, &q.maxY, &q.left, &q.top, &q.right, &q.bottom, &used);
    if (n != 10) return false;
    p = q;
    return true;
}

} // namespace qavsettings

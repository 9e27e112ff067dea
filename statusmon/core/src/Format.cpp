#include "nstat/Format.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace nstat {

std::string FormatText(const std::string& format, const std::vector<std::string>& args)
{
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            out += format[i];
            continue;
        }
        const char c = format[i + 1];
        if (c == 's' || c == 'd') {
            if (next < args.size()) out += args[next];
            ++next;
            ++i;
        } else if (c == '%') {
            out += '%';
            ++i;
        } else {
            out += '%';
        }
    }
    return out;
}

std::string Tenths(const std::string& value)
{
    if (value.empty()) return value;
    errno = 0;
    char* end = nullptr;
    const long long n = std::strtoll(value.c_str(), &end, 10);
    if (end == value.c_str() || *end != '\0' || errno == ERANGE) return value;
    const unsigned long long bits = static_cast<unsigned long long>(n);
    const unsigned long long magnitude = n < 0 ? 0ull - bits : bits;
    return (n < 0 ? "-" : "") + std::to_string(magnitude / 10) + "." + std::to_string(magnitude % 10);
}

std::string OneDecimal(double amount)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.1f", amount);
    return buffer;
}

namespace {
bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
} // namespace

std::string TrimRight(const std::string& text)
{
    size_t end = text.size();
    while (end > 0 && Blank(text[end - 1])) --end;
    return text.substr(0, end);
}

std::string TrimLeft(const std::string& text)
{
    size_t begin = 0;
    while (begin < text.size() && Blank(text[begin])) ++begin;
    return text.substr(begin);
}

int LeadingInt(const std::string& text, int fallback)
{
    const char* p = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(p, &end, 10);
    if (end == p) return fallback;
    if (errno == ERANGE || n > 2147483647L || n < -2147483647L - 1) return fallback;
    return static_cast<int>(n);
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix)
{
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

} // namespace nstat

#include "nconfig/Values.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "ncomm/CQBPVb.h"
#include "qavplatform/Address.h"
#include "qavplatform/Text.h"

namespace nconfig {

namespace {

constexpr size_t kMaxText = 255; // one binding's value
// Larger magnitudes fit no object's type; the limit keeps the arithmetic
// far from overflow.
constexpr long long kMaxMagnitude = 100000000000LL;

std::string WithUnit(const std::string& value, const std::string& unit)
{
    return unit.empty() ? value : value + " " + unit;
}

std::string Trim(const std::string& text) { return qavplatform::Trim(text, " \t"); }

std::string WithoutUnit(const std::string& text, const std::string& unit)
{
    if (unit.empty() || text.size() < unit.size() ||
        text.compare(text.size() - unit.size(), unit.size(), unit) != 0)
        return text;
    std::string rest = text.substr(0, text.size() - unit.size());
    while (!rest.empty() && rest.back() == ' ') rest.pop_back();
    return rest;
}

// Whether a label ends in "[n]" with n other than -1: such a label names its
// number itself.
bool LabelNamesItsNumber(const std::string& label)
{
    if (label.size() < 3 || label.back() != ']') return false;
    const size_t open = label.rfind('[');
    if (open == std::string::npos) return false;
    const std::string inside = label.substr(open + 1, label.size() - open - 2);
    if (inside.empty()) return false;
    char* end = nullptr;
    const long n = std::strtol(inside.c_str(), &end, 10);
    return *end == '\0' && n != -1;
}

// A label without the number it ends in ("Cut" of "Cut [2]").
std::string LabelName(const std::string& label)
{
    if (!LabelNamesItsNumber(label)) return label;
    std::string name = label.substr(0, label.rfind('['));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

bool IsHexDigits(const std::string& text)
{
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

std::string HexDigits(const std::string& text)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return text.substr(2);
    return text;
}

bool ParseHex(const std::string& text, uint32_t& value)
{
    const std::string digits = HexDigits(Trim(text));
    if (digits.empty() || digits.size() > 8 || !IsHexDigits(digits)) return false;
    value = static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
    return true;
}

bool NumericType(int type) { return type == ber::kInteger || type == ber::kCounter32; }

// Whether a stored integer fits the object's type.
bool FitsType(long long value, int type)
{
    if (type == ber::kCounter32) return value >= 0 && value <= std::numeric_limits<uint32_t>::max();
    return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}

bool ParseEnumeration(const Parameter& p, const std::string& text, std::string& raw)
{
    const std::string t = Trim(text);
    for (int v = 0; v < static_cast<int>(p.labels.size()); ++v) {
        const std::string value = std::to_string(v);
        if ((!p.labels[v].empty() && (t == p.labels[v] || t == LabelName(p.labels[v]))) ||
            t == DisplayValue(p, value)) {
            raw = value;
            return true;
        }
    }
    char* end = nullptr;
    const long v = std::strtol(t.c_str(), &end, 10);
    if (t.empty() || *end != '\0' || v < 0 || v >= p.kind) return false;
    raw = std::to_string(v);
    return true;
}

bool ParseDecimalValue(const Parameter& p, const std::string& text, std::string& raw)
{
    long long stored = 0, bound = 0;
    if (!ParseDecimalText(Trim(WithoutUnit(Trim(text), p.unit)), p.decimals, stored)) return false;
    if (!p.low.empty() && ParseDecimalText(p.low, p.decimals, bound) && stored < bound) return false;
    if (!p.high.empty() && ParseDecimalText(p.high, p.decimals, bound) && stored > bound) return false;
    if (!FitsType(stored, p.type)) return false;
    raw = std::to_string(stored);
    return true;
}

bool ParseTextValue(const Parameter& p, const std::string& text, std::string& raw)
{
    std::string value = WithoutUnit(text, p.unit);
    const size_t minimum = static_cast<size_t>(std::max(0L, std::strtol(p.low.c_str(), nullptr, 10)));
    size_t maximum = p.high.empty() ? kMaxText : static_cast<size_t>(std::max(0L, std::strtol(p.high.c_str(), nullptr, 10)));
    maximum = std::min(maximum, kMaxText);
    if (value.size() < minimum || value.size() > maximum) return false;
    if (p.attribute == kAttributeHexText) {
        if (!IsHexDigits(value)) return false;
        for (char& c : value) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        value.append(maximum - value.size(), 'F');
    }
    raw = value;
    return true;
}

bool ParseAddressValue(const Parameter& p, const std::string& text, std::string& raw)
{
    uint32_t a = 0, low = 0, high = 0xFFFFFFFFu;
    if (!qavplatform::ParseAddress(Trim(text), a)) return false;
    if (!qavplatform::ParseAddress(Trim(p.low), low)) low = 0;
    if (!qavplatform::ParseAddress(Trim(p.high), high)) high = 0xFFFFFFFFu;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const uint32_t o = (a >> shift) & 0xFF;
        if (o < ((low >> shift) & 0xFF) || o > ((high >> shift) & 0xFF)) return false;
    }
    raw = qavplatform::AddressText(a);
    return true;
}

bool ParseHexValue(const Parameter& p, const std::string& text, std::string& raw)
{
    uint32_t value = 0, bound = 0;
    if (!ParseHex(text, value)) return false;
    if (ParseHex(p.low, bound) && value < bound) return false;
    if (ParseHex(p.high, bound) && value > bound) return false;
    raw = std::to_string(value);
    return true;
}

} // namespace

bool ParseDecimalText(const std::string& text, int decimals, long long& stored)
{
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++i;
    long long value = 0;
    int digits = 0, fraction = -1;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && fraction < 0) {
            fraction = 0;
            continue;
        }
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        ++digits;
        if (fraction >= 0) {
            if (fraction >= decimals) continue; // cut, not rounded
            ++fraction;
        }
        if (value > kMaxMagnitude) return false;
        value = value * 10 + (c - '0');
    }
    if (digits == 0) return false;
    for (int f = std::max(fraction, 0); f < decimals; ++f) {
        if (value > kMaxMagnitude) return false;
        value *= 10;
    }
    stored = negative ? -value : value;
    return true;
}

std::string DecimalText(long long stored, int decimals)
{
    if (decimals <= 0) return std::to_string(stored);
    long long scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const unsigned long long magnitude = stored < 0 ? 0ULL - static_cast<unsigned long long>(stored)
                                                    : static_cast<unsigned long long>(stored);
    std::string fraction = std::to_string(magnitude % static_cast<unsigned long long>(scale));
    fraction.insert(0, static_cast<size_t>(decimals) - std::min(fraction.size(), static_cast<size_t>(decimals)), '0');
    return std::string(stored < 0 ? "-" : "") + std::to_string(magnitude / static_cast<unsigned long long>(scale)) +
           "." + fraction;
}

std::string DisplayValue(const Parameter& p, const std::string& raw)
{
    if (p.kind == kKindFixed) return WithUnit("0", p.unit);
    if (raw == kUnknownValue) return raw;
    const long long number = std::strtoll(raw.c_str(), nullptr, 10);
    if (p.Enumeration()) {
        const std::string label = number >= 0 && number < static_cast<long long>(p.labels.size()) ? p.labels[number] : "";
        if (label.empty()) return "[" + std::to_string(number) + "]";
        return LabelNamesItsNumber(label) ? label : label + " [" + std::to_string(number) + "]";
    }
    switch (p.kind) {
    case kKindDecimal: return WithUnit(DecimalText(number, p.decimals), p.unit);
    case kKindText: return WithUnit(raw, p.unit);
    case kKindAddress: return raw;
    case kKindHex: {
        const size_t width = HexDigits(Trim(p.high)).size();
        char digits[16];
        std::snprintf(digits, sizeof digits, "%0*X", static_cast<int>(std::min<size_t>(width, 8)),
                      static_cast<uint32_t>(number));
        return std::string("0x") + digits;
    }
    default: // read-only: numbers as decimals, texts as they are
        return WithUnit(NumericType(p.type) ? DecimalText(number, p.decimals) : raw, p.unit);
    }
}

bool ParseValue(const Parameter& p, const std::string& text, std::string& raw)
{
    if (!p.Writable()) return false;
    if (p.Enumeration()) return ParseEnumeration(p, text, raw);
    switch (p.kind) {
    case kKindDecimal: return ParseDecimalValue(p, text, raw);
    case kKindText: return ParseTextValue(p, text, raw);
    case kKindAddress: return ParseAddressValue(p, text, raw);
    case kKindHex: return ParseHexValue(p, text, raw);
    default: return false;
    }
}

} // namespace nconfig

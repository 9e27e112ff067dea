#include "Text.h"

#include <cstdio>

namespace qavctl {

namespace {

unsigned char Byte(std::string_view text, size_t i) { return static_cast<unsigned char>(text[i]); }

bool Continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// C0, DEL and C1 (U+0080..U+009F, in UTF-8 C2 80..C2 9F).
bool ControlAt(std::string_view text, size_t i, size_t length)
{
    const unsigned char c = Byte(text, i);
    if (length == 1) return c < 0x20 || c == 0x7F;
    return length == 2 && c == 0xC2 && Byte(text, i + 1) < 0xA0;
}

void AppendEscape(std::string& out, unsigned char c)
{
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\x%02X", c);
    out += escape;
}

} // namespace

size_t Utf8SequenceLength(std::string_view text)
{
    if (text.empty()) return 0;
    const unsigned char c = Byte(text, 0);
    if (c < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0) low = 0xA0;  // overlong
        if (c == 0xED) high = 0x9F; // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0) low = 0x90;  // overlong
        if (c == 0xF4) high = 0x8F; // above U+10FFFF
    } else {
        return 0; // continuation byte, C0/C1 overlong lead, F5..FF
    }
    if (text.size() < length) return 0;
    const unsigned char second = Byte(text, 1);
    if (second < low || second > high) return 0;
    for (size_t k = 2; k < length; ++k) {
        if (!Continuation(Byte(text, k))) return 0;
    }
    return length;
}

bool IsUtf8(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceLength(text.substr(i));
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string VisibleText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceLength(text.substr(i));
        if (length == 0) {
            AppendEscape(out, Byte(text, i++));
            continue;
        }
        if (ControlAt(text, i, length)) {
            for (size_t k = 0; k < length; ++k) AppendEscape(out, Byte(text, i + k));
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out;
}

bool IsText(std::string_view octets)
{
    size_t characters = 0, controls = 0;
    for (size_t i = 0; i < octets.size();) {
        const size_t length = Utf8SequenceLength(octets.substr(i));
        if (length == 0) return false;
        ++characters;
        if (ControlAt(octets, i, length)) ++controls;
        i += length;
    }
    return controls * 2 < characters || characters == 0;
}

std::string HexPairs(std::string_view octets)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(octets.size() * 3);
    for (size_t i = 0; i < octets.size(); ++i) {
        if (i) out += ' ';
        out += kDigits[Byte(octets, i) >> 4];
        out += kDigits[Byte(octets, i) & 0x0F];
    }
    return out;
}

bool ContainsCaseBlind(std::string_view text, std::string_view pattern)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (pattern.empty()) return true;
    for (size_t at = 0; at + pattern.size() <= text.size(); ++at) {
        size_t k = 0;
        while (k < pattern.size() && lower(text[at + k]) == lower(pattern[k])) ++k;
        if (k == pattern.size()) return true;
    }
    return false;
}

} // namespace qavctl

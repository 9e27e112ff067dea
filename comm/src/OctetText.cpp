#include "OctetText.h"

#include <cstring>

namespace ncomm {

std::string HexDump(const unsigned char* data, size_t length)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(length * 3);
    for (size_t i = 0; i < length; ++i) {
        if (i) text += ' ';
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0x0F];
    }
    return text;
}

std::string OctetText(const unsigned char* data, size_t length)
{
    if (!data || length == 0) return std::string();
    bool printable = true;
    // Printable in the C locale's sense, whatever locale the program runs in.
    for (size_t i = 0; i < length && printable; ++i) printable = data[i] >= 0x20 && data[i] <= 0x7E;
    if (printable) return std::string(reinterpret_cast<const char*>(data), length);

    const size_t kept = length < 256 ? length : 256;
    const void* zero = std::memchr(data, 0, kept);
    const size_t textLength = zero ? static_cast<const unsigned char*>(zero) - data : kept;
    if (textLength + 1 >= length) return std::string(reinterpret_cast<const char*>(data), textLength);
    return HexDump(data, length);
}

} // namespace ncomm

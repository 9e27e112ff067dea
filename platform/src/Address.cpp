#include "qavplatform/Address.h"

#include <cstdio>

namespace qavplatform {

std::string AddressText(uint32_t a)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", (a >> 24) & 0xFF, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
    return text;
}

bool ParseAddress(std::string_view text, uint32_t& address)
{
    uint32_t value = 0;
    size_t pos = 0;
    for (int field = 0; field < 4; ++field) {
        if (field > 0) {
            if (pos >= text.size() || text[pos] != '.') return false;
            ++pos;
        }
        unsigned octet = 0;
        int digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            if (++digits > 3) return false;
            octet = octet * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
        }
        if (digits == 0 || octet > 255) return false;
        value = (value << 8) | octet;
    }
    if (pos != text.size()) return false;
    address = value;
    return true;
}

std::string AddressLockSuffix(uint32_t a)
{
    char text[20];
    std::snprintf(text, sizeof text, "%03u_%03u_%03u_%03u", (a >> 24) & 0xFF, (a >> 16) & 0xFF, (a >> 8) & 0xFF,
                  a & 0xFF);
    return text;
}

} // namespace qavplatform

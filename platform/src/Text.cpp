#include "qavplatform/Text.h"

namespace qavplatform {

std::string_view TrimView(std::string_view text, std::string_view blanks)
{
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return text.substr(text.size());
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::string Trim(std::string_view text, std::string_view blanks) { return std::string(TrimView(text, blanks)); }

} // namespace qavplatform

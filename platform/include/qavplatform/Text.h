// Small text helpers that every layer of the tool set shares: one home for
// each, so that a field, a settings value and a mail header are trimmed the
// same way everywhere.
#pragma once

#include <string>
#include <string_view>

namespace qavplatform {

// The blanks a trim removes unless told otherwise: those of isspace() in
// the C locale.
inline constexpr std::string_view kBlanks = " \t\r\n\v\f";

// The text without the given characters at either end. The view form
// points into `text` (the INI engine keeps offsets into its lines); the
// other returns a copy.
std::string_view TrimView(std::string_view text, std::string_view blanks = kBlanks);
std::string Trim(std::string_view text, std::string_view blanks = kBlanks);

} // namespace qavplatform

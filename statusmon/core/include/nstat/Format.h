// Text helpers of the status monitor: the language formats filled with
// printer values, and the renderings every view shares.
#pragma once

#include <string>
#include <vector>

namespace nstat {

// Fills a language format: each "%s" or "%d" takes the next argument as it
// stands, "%%" is one "%". Conversions beyond the arguments become empty
// and anything else after a "%" stays as written, so a format from the
// language file can never read past what the caller passed.
std::string FormatText(const std::string& format, const std::vector<std::string>& args);

// A value counted in tenths, with exactly one decimal place: "1234" is
// "123.4", "120" is "12.0", "7" is "0.7", "-5" is "-0.5". Empty stays empty;
// a text that is no number is shown as it came.
std::string Tenths(const std::string& value);

// An amount with exactly one decimal place ("%.1f").
std::string OneDecimal(double amount);

// The text without trailing blanks (spaces, tabs, CR, LF).
std::string TrimRight(const std::string& text);
// The text without leading blanks.
std::string TrimLeft(const std::string& text);

// The leading integer of a text as "%d" reads it; `fallback` when the text
// does not begin with a number (after blanks).
int LeadingInt(const std::string& text, int fallback);

// Whether `text` begins with `prefix`, byte for byte or ignoring ASCII case.
bool StartsWith(const std::string& text, const std::string& prefix);
bool StartsWithNoCase(const std::string& text, const std::string& prefix);

} // namespace nstat

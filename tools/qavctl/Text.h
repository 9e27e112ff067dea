// Texts as qavctl prints them. Printers hold names and messages in UTF-8
// (accented names, Japanese panel texts): those are printed as they are.
// What a terminal would act on or cannot show is made visible instead:
// control characters and bytes that are not UTF-8 become \xNN.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qavctl {

// The length of the well-formed UTF-8 sequence at the start of `text`
// (1 to 4), or 0 when it is not one: a stray continuation byte, a sequence
// cut short, an overlong form, a surrogate, a code point above U+10FFFF.
size_t Utf8SequenceLength(std::string_view text);

// Whether the whole text is well-formed UTF-8.
bool IsUtf8(std::string_view text);

// The text for a terminal or a line-oriented script: UTF-8 as it stands;
// control characters (C0, DEL and the C1 range) and bytes that are not
// UTF-8 as \xNN, one escape per byte, so that one value stays on one line.
std::string VisibleText(std::string_view text);

// Whether a received octet string is text: UTF-8 of which less than half
// the characters are control characters (a text with an escape sequence or
// line ends inside is still text, shown by VisibleText). Anything else is
// binary: a MAC address's six raw bytes, a bit mask.
bool IsText(std::string_view octets);

// Binary octets in the form the communication library gives values with a
// zero byte inside: two upper-case hex digits an octet, one blank between
// ("00 80 91 12 34 56").
std::string HexPairs(std::string_view octets);

// Case-blind containment in ASCII letters; other bytes compare exactly, so
// that a UTF-8 pattern still finds itself.
bool ContainsCaseBlind(std::string_view text, std::string_view pattern);

} // namespace qavctl

#pragma once
// Reading numbers and times from text: what a timetable file, a cell or an edit box supplies.
// Platform-free (no platform call), so it builds natively and is fuzzed there too. runtime/text.h
// includes it, for the program's many callers.
// Thread safety: every function here is safe from any thread (no shared state).

#include <cstdint>
#include <string_view>

namespace belvane {

// A text read as an integer: optional blanks, one sign, decimal digits; wraps modulo 2^32; no
// digits gives 0.
std::int32_t ParseDecimal(std::string_view text);

// The same reading after full-width forms (locale 2052 half-width mapping) become their
// single-byte ones: "０"-"９", "＋", "－" and the ideographic space. Text is GBK; a lead byte
// takes the byte after it whatever it is, as the platform's conversion does.
std::int32_t TextToInteger(std::string_view text);

// Seconds named by "H:M:S", "M:S" or a plain number of seconds (parts read by TextToInteger,
// so parts that are not numbers count as 0); the low 32 bits of the sum. A ":" inside a GBK
// double-byte character does not split.
int SecondsFromTimeText(std::string_view text);

}  // namespace belvane

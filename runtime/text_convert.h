#pragma once
// Reading numbers and times from text: what a timetable file, a cell or an edit box supplies;
// and which encoding a file's bytes hold its text in. Platform-free (no platform call), so it
// builds natively and is fuzzed there too. runtime/text.h includes it, for the program's many
// callers. Thread safety: every function here is safe from any thread (no shared state).

#include <cstdint>
#include <string>
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

// How a file's bytes hold its text. The program writes GBK; staff edit the files in Notepad,
// which saves UTF-8 (with or without a byte-order mark) or UTF-16 ("Unicode") as well.
enum class FileEncoding { kGbk, kUtf8, kUtf8Marked, kUtf16Le, kUtf16Be };

// The encoding a file is read in: UTF-8 after the mark EF BB BF; UTF-16 after FF FE (little
// end first) or FE FF; else UTF-8 when the whole file is valid UTF-8 holding at least one
// multi-byte character; else GBK. Text that is valid both ways reads as UTF-8 (GBK text is seldom
// valid UTF-8 throughout a file).
FileEncoding DetectFileEncoding(std::string_view bytes);

// The text of a file in a Unicode encoding as UTF-8, its mark dropped: UTF-16 decoded (an
// unpaired surrogate becomes U+FFFD, an odd last byte is dropped), UTF-8 as it is. kGbk gives
// the bytes as they are.
std::string Utf8TextOfFile(std::string_view bytes, FileEncoding encoding);

// Appends code point `c` to `out` as UTF-8.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace belvane

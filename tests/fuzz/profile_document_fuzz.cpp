// The timetable document on any file and any writes: no fault, and
// - a document nothing changed gives back its file's bytes (a file read as UTF-8 or UTF-16: its
//   text as GBK, or nothing when GBK lacks a character of it);
// - a write followed by a read gives back the value written;
// - parse, serialise and parse again give the same values;
// - the lines no write changed stay byte for byte (in GBK once saved).
// Input: the file's bytes, then up to eight writes (section, key, value), cut by
// FuzzedDataProvider's string rules (a backslash and one more byte end a string). With
// FUZZ_DEBUG set in the environment, a run prints its writes and any value that differs.
// fuzz-sources: runtime/inifile/profile_document.cpp runtime/text_convert.cpp
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <optional>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/inifile/profile_document.h"
#include "runtime/text_convert.h"

namespace belvane {
namespace {

// Stand-ins for the platform's conversions, enough to reach every path of a file read as UTF-8
// or UTF-16: GBK byte b >= 0x80 is taken as U+0100 + b, so values survive the round trip.

// Decodes UTF-8; a byte that starts no valid sequence gives U+FFFD.
std::u32string Decode(std::string_view s) {
  std::u32string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    char32_t c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = n > 0 && i + n <= s.size();
    for (int k = 1; ok && k < n; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      ok = (t >> 6) == 2;
      c = (c << 6) | (t & 0x3F);
    }
    if (!ok) {
      out += U'\xFFFD';
      ++i;
    } else {
      out += c;
      i += n;
    }
  }
  return out;
}

std::string Utf8FromGbk(std::string_view gbk) {
  std::string out;
  for (const char b : gbk) {
    const auto u = static_cast<unsigned char>(b);
    AppendUtf8(out, u < 0x80 ? u : 0x100 + u);
  }
  return out;
}

std::string GbkFromUtf8(std::string_view utf8) {
  std::string out;
  for (const char32_t c : Decode(utf8)) {
    out += c < 0x80                  ? static_cast<char>(c)
           : c >= 0x180 && c < 0x200 ? static_cast<char>(c - 0x100)
                                     : '?';
  }
  return out;
}

// The exact conversion, which real GBK makes of whole characters: where two of the stand-in's
// one-byte characters would read back as one GBK pair, the stand-in's GBK lacks them.
std::optional<std::string> ExactGbkFromUtf8(std::string_view utf8) {
  for (const char32_t c : Decode(utf8)) {
    if (c >= 0x80 && (c < 0x180 || c >= 0x200)) return std::nullopt;
  }
  std::string gbk = GbkFromUtf8(utf8);
  for (std::size_t i = 0; i + 1 < gbk.size(); ++i) {
    const auto lead = static_cast<unsigned char>(gbk[i]);
    const auto trail = static_cast<unsigned char>(gbk[i + 1]);
    if (lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F) {
      return std::nullopt;
    }
  }
  return gbk;
}

}  // namespace

const ProfileTextCodec& PlatformProfileTextCodec() {
  static const ProfileTextCodec codec{&Utf8FromGbk, &GbkFromUtf8, &ExactGbkFromUtf8};
  return codec;
}

namespace {

void Require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
  }
}

// The profile functions' blanks.
bool IsBlank(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 0x09 && u <= 0x0D) || u == 0x1A || u == 0x20;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string Fold(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return out;
}

// Bytes made into a name that reads back as itself: no NUL, line break, "=" or bracket, no
// blanks around it, not empty, and not ending in a byte a GBK pair could start.
std::string PlainName(std::string_view raw) {
  std::string name;
  for (const char c : raw) {
    if (c != '\0' && c != '\r' && c != '\n' && c != '=' && c != '[' && c != ']') name += c;
  }
  name = std::string(Trim(name));
  if (name.empty() || static_cast<unsigned char>(name.back()) >= 0x80) name += 'z';
  return name;
}

// Bytes made into a value that reads back as itself: no NUL or line break, no blanks around it,
// not in quotes, not ending in a byte a GBK pair could start.
std::string PlainValue(std::string_view raw) {
  std::string value;
  for (const char c : raw) {
    if (c != '\0' && c != '\r' && c != '\n') value += c;
  }
  value = std::string(Trim(value));
  if (!value.empty() && (value.front() == '"' || value.front() == '\'')) value.insert(0, "q");
  if (!value.empty() && static_cast<unsigned char>(value.back()) >= 0x80) value += 'z';
  return value;
}

// The contents of the lines (a line ends at a run of CR and LF).
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    while (pos < text.size() && text[pos] != '\r' && text[pos] != '\n') ++pos;
    lines.push_back(text.substr(start, pos - start));
    while (pos < text.size() && (text[pos] == '\r' || text[pos] == '\n')) ++pos;
  }
  return lines;
}

// A line a write may replace: a key line of a name written, or a nameless section header
// (dropped on the first change). Names and lines are in the document's storage form: GBK for a
// GBK file, UTF-8 for one read as UTF-8 or UTF-16.
bool MayChange(std::string_view line, const std::vector<std::string>& written_keys, bool gbk) {
  const std::string_view trimmed = Trim(line);
  if (!trimmed.empty() && trimmed.front() == '[') {
    // The last "]" that is a character of its own (not the trail byte of a GBK pair).
    std::size_t close = std::string_view::npos;
    for (std::size_t i = 0; i < trimmed.size(); ++i) {
      const auto lead = static_cast<unsigned char>(trimmed[i]);
      const auto trail = i + 1 < trimmed.size() ? static_cast<unsigned char>(trimmed[i + 1]) : 0;
      if (gbk && lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F) {
        ++i;
      } else if (lead == ']') {
        close = i;
      }
    }
    if (close != std::string_view::npos) {
      std::string_view name = trimmed.substr(1, close - 1);
      name = Trim(name.substr(0, name.find('\0')));
      if (name.empty()) return true;
    }
  }
  std::string_view name = trimmed.substr(0, trimmed.find('='));
  name = Trim(name.substr(0, name.find('\0')));
  const std::string folded = Fold(name);
  for (const std::string& k : written_keys) {
    if (Fold(k) == folded) return true;
  }
  return false;
}

// The text a file holds, as the document keeps it: UTF-8 for a file read as UTF-8 or UTF-16.
std::string TextOf(std::string_view bytes) {
  return Utf8TextOfFile(bytes, DetectFileEncoding(bytes));
}

}  // namespace
}  // namespace belvane

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace belvane;
  FuzzedDataProvider input(data, size);
  const std::string file = input.ConsumeRandomLengthString(1 << 14);
  ProfileDocument doc = ProfileDocument::FromBytes(file);
  const bool unicode = DetectFileEncoding(file) != FileEncoding::kGbk;
  Require(doc.Serialize() == (unicode ? ExactGbkFromUtf8(TextOf(file)) : file),
          "an unchanged document gives back its bytes, in GBK");

  std::vector<std::string> sections{"", "s"};
  std::vector<std::string> keys{"", "k"};
  // A few of the file's names: the reads below cost sections times keys.
  for (const std::string_view line : Lines(file)) {
    const std::string_view t = Trim(line);
    if (!t.empty() && t.front() == '[') {
      if (sections.size() < 6) sections.emplace_back(t.substr(1, t.rfind(']') - 1));
    } else if (keys.size() < 8) {
      keys.emplace_back(t.substr(0, t.find('=')));
    }
  }

  bool reshaped = false;  // a raw write may move lines between sections
  std::vector<std::string> written_keys;
  struct Last {
    std::string section, key, value;
  } last;
  const int writes = input.ConsumeIntegralInRange(0, 8);
  for (int i = 0; i < writes && input.remaining_bytes() > 0; ++i) {
    const bool raw = input.ConsumeBool();
    const bool known = input.ConsumeBool();
    std::string section = input.ConsumeRandomLengthString(48);
    std::string key = input.ConsumeRandomLengthString(48);
    std::string value = input.ConsumeRandomLengthString(256);
    if (known) {
      // Names the file has, so that writes meet existing lines.
      section = sections[section.size() % sections.size()];
      key = keys[key.size() % keys.size()];
    }
    if (std::getenv("FUZZ_DEBUG")) {
      std::fprintf(stderr, "write raw=%d [%s] %s = %s\n", raw, section.c_str(), key.c_str(),
                   value.c_str());
    }
    if (raw) {
      doc.Write(section, key, value);
      reshaped = true;
      written_keys.push_back(key);
      last = {};
      continue;
    }
    section = PlainName(section);
    key = PlainName(key);
    value = PlainValue(value);
    Require(doc.Write(section, key, value), "a write to a readable document succeeds");
    Require(doc.Read(section, key).Bytes() == value, "a write then a read gives the value");
    // The document holds names as the file's text does.
    written_keys.push_back(unicode ? Utf8FromGbk(key) : key);
    sections.push_back(section);
    keys.push_back(key);
    last = {section, key, value};
  }

  // A walk of a section gives each name's first line what Read gives that name. Names a read
  // cannot ask for as they stand (a read trims its argument and drops a lone lead byte at its
  // end; a name cut at a NUL may end in blanks) and names another one may fold to (Fold folds
  // trail bytes too) are left out.
  for (const std::string& s : sections) {
    std::vector<std::string> seen;
    doc.ForEachKey(s, [&](std::string_view name, TextValue* value) {
      const std::string folded = Fold(name);
      for (const std::string& n : seen) {
        if (n == folded) return;
      }
      seen.push_back(folded);
      if (unicode || Trim(name) != name ||
          (!name.empty() && static_cast<unsigned char>(name.back()) >= 0x80))
        return;
      const std::string read = doc.Read(s, std::string(name), "\x01").Bytes();
      Require(read == (value ? value->Bytes() : "\x01"), "a walk gives what a read gives");
    });
  }

  const std::optional<std::string> saved = doc.Serialize();
  Require(saved || unicode, "a GBK document always saves");
  // A character GBK lacks: nothing would be saved.
  if (!saved) return 0;
  const std::string& bytes = *saved;
  // GBK that now begins with the bytes of a byte-order mark, or is valid UTF-8 throughout, reads
  // as that encoding next time: nothing to compare.
  if (DetectFileEncoding(bytes) != FileEncoding::kGbk) return 0;
  const ProfileDocument again = ProfileDocument::FromBytes(bytes);
  for (const std::string& s : sections) {
    for (const std::string& k : keys) {
      if (std::getenv("FUZZ_DEBUG") &&
          doc.Read(s, k, "\x01").Bytes() != again.Read(s, k, "\x01").Bytes()) {
        std::fprintf(stderr, "[%s] %s: %s / %s\nfile: %s\n", s.c_str(), k.c_str(),
                     doc.Read(s, k, "\x01").CStr(), again.Read(s, k, "\x01").CStr(), bytes.c_str());
      }
      Require(doc.Read(s, k, "\x01").Bytes() == again.Read(s, k, "\x01").Bytes(),
              "parse, serialise and parse again give the same values");
    }
  }
  if (!last.key.empty()) {
    Require(again.Read(last.section, last.key).Bytes() == last.value,
            "the last write reads back from the saved bytes");
  }

  // Lines no write changed stay, in order, in the file's own encoding.
  if (!reshaped) {
    // Compared as the document holds them: a file read as UTF-8 or UTF-16 is GBK once saved.
    const std::string text_before = TextOf(file);
    const std::string text_after = unicode ? Utf8FromGbk(bytes) : bytes;
    const std::vector<std::string_view> before = Lines(text_before);
    const std::vector<std::string_view> after = Lines(text_after);
    std::size_t at = 0;
    for (const std::string_view line : before) {
      // A line a write may have changed is looked for only where it stood: its like further
      // down is another line.
      if (MayChange(line, written_keys, !unicode)) {
        if (at < after.size() && after[at] == line) ++at;
        continue;
      }
      std::size_t seek = at;
      while (seek < after.size() && after[seek] != line) ++seek;
      Require(seek < after.size(), "a line no write changed stays byte for byte");
      at = seek + 1;
    }
  }
  return 0;
}

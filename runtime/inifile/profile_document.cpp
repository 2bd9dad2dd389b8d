#include "runtime/inifile/profile_document.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "runtime/gbk.h"
#include "runtime/handles.h"

namespace belvane {
namespace {

ProfileDocument::ReplaceStep g_replace_step = nullptr;

// The profile functions' blanks: tab, LF, VT, FF, CR, ^Z (a DOS end of file) and space.
bool IsBlank(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 0x09 && u <= 0x0D) || u == 0x1A || u == 0x20;
}

bool IsLineEnd(char c) {
  return c == '\n' || c == '\r';
}

// Length in bytes of the character at text[i]: 2 for a GBK pair when the text is GBK, else 1.
// Only a well-formed pair counts, so a stray lead byte never swallows a line end.
std::size_t CharLength(std::string_view text, std::size_t i, bool gbk) {
  if (!gbk || i + 1 >= text.size()) return 1;
  const auto lead = static_cast<unsigned char>(text[i]);
  const auto trail = static_cast<unsigned char>(text[i + 1]);
  const bool is_pair =
      lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
  return is_pair ? 2 : 1;
}

// The platform's functions take C strings: anything after a NUL never reaches them.
std::string_view CutAtNul(std::string_view s) {
  return s.substr(0, s.find('\0'));
}

// A text handed to the platform's ANSI functions as it arrives there: cut at a NUL, and without
// a GBK lead byte left alone at its end, which the conversion to UTF-16 drops.
std::string_view AsArgument(std::string_view s) {
  s = CutAtNul(s);
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t len = CharLength(s, i, true);
    const auto u = static_cast<unsigned char>(s[i]);
    if (len == 1 && i + 1 == s.size() && u >= 0x81 && u <= 0xFE) return s.substr(0, i);
    i += len;
  }
  return s;
}

std::string_view TrimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return s.substr(i);
}

std::string_view TrimRight(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && IsBlank(s[n - 1])) --n;
  return s.substr(0, n);
}

std::string_view Trim(std::string_view s) {
  return TrimRight(TrimLeft(s));
}

// Names compare without ASCII case. The second byte of a GBK pair is not a letter even when
// its value is one, so pairs compare as they are.
char FoldByte(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::uint32_t FoldHash(std::string_view name, bool gbk) {
  std::uint32_t hash = 2166136261u;
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t len = CharLength(name, i, gbk);
    for (std::size_t b = 0; b < len; ++b) {
      const char c = len == 1 ? FoldByte(name[i]) : name[i + b];
      hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    i += len;
  }
  // Spread the bits: the index uses the low ones, which FNV alone mixes poorly.
  hash ^= hash >> 16;
  hash *= 0x85EBCA6Bu;
  hash ^= hash >> 13;
  hash *= 0xC2B2AE35u;
  return hash ^ (hash >> 16);
}

bool FoldEqual(std::string_view a, std::string_view b, bool gbk) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size();) {
    const std::size_t len = CharLength(a, i, gbk);
    if (len != CharLength(b, i, gbk)) return false;
    if (len == 1 ? FoldByte(a[i]) != FoldByte(b[i]) : a.compare(i, 2, b, i, 2) != 0) return false;
    i += len;
  }
  return true;
}

// Looks a name up in an index; name_of(entry) gives an entry's name. Returns npos for none.
template <class NameOf>
std::size_t IndexFind(const std::vector<std::uint32_t>& slots, std::string_view name, bool gbk,
                      const NameOf& name_of) {
  if (slots.empty()) return std::string_view::npos;
  const std::size_t mask = slots.size() - 1;
  for (std::size_t at = FoldHash(name, gbk) & mask;; at = (at + 1) & mask) {
    const std::uint32_t entry = slots[at];
    if (entry == 0) return std::string_view::npos;
    if (FoldEqual(name_of(entry - 1), name, gbk)) return entry - 1;
  }
}

// Adds an entry unless its name is there already (the first of duplicates wins).
template <class NameOf>
void IndexAdd(std::vector<std::uint32_t>& slots, std::size_t& count, std::size_t entry,
              std::size_t entries, bool gbk, const NameOf& name_of) {
  if ((count + 1) * 2 > slots.size()) {
    // Grow and re-add every entry so far, in order, so the first of duplicates still wins.
    std::vector<std::uint32_t> bigger(std::max<std::size_t>(16, slots.size() * 2), 0);
    std::size_t readded = 0;
    for (std::size_t e = 0; e < entries && e != entry; ++e) {
      const std::string_view n = name_of(e);
      if (IndexFind(bigger, n, gbk, name_of) != std::string_view::npos) continue;
      std::size_t at = FoldHash(n, gbk) & (bigger.size() - 1);
      while (bigger[at] != 0) at = (at + 1) & (bigger.size() - 1);
      bigger[at] = static_cast<std::uint32_t>(e + 1);
      ++readded;
    }
    slots.swap(bigger);
    count = readded;
  }
  const std::string_view name = name_of(entry);
  const std::size_t mask = slots.size() - 1;
  std::size_t at = FoldHash(name, gbk) & mask;
  for (; slots[at] != 0; at = (at + 1) & mask) {
    if (FoldEqual(name_of(slots[at] - 1), name, gbk)) return;
  }
  slots[at] = static_cast<std::uint32_t>(entry + 1);
  ++count;
}

// Position of the last "]" that is a character of its own, or npos.
std::size_t LastCloseBracket(std::string_view line, bool gbk) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < line.size();) {
    const std::size_t len = CharLength(line, i, gbk);
    if (len == 1 && line[i] == ']') found = i;
    i += len;
  }
  return found;
}

// A value in matching quotes loses them ("" gives the empty text; a lone quote stays).
std::string_view StripQuotes(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

// The default value loses trailing spaces (only spaces; its first character always stays).
std::string_view TrimDefault(std::string_view d) {
  std::size_t n = d.size();
  while (n > 1 && d[n - 1] == ' ') --n;
  return d.substr(0, n);
}

// UTF-8 <-> UTF-16, for files with a byte-order mark only (their text is held as UTF-8 here); a
// GBK file is never converted, and GBK text goes through runtime/gbk.h.
std::wstring WideFromUtf8(std::string_view bytes) {
  if (bytes.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
  return wide;
}

std::string Utf8FromWide(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string bytes(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), n,
                      nullptr, nullptr);
  return bytes;
}

bool ReadWholeFile(const char* path, std::string& bytes, DWORD& error) {
  const OwnedKernelHandle owned(
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const HANDLE file = owned.Get();
  if (!owned) {
    error = GetLastError();
    return false;
  }
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) != 0 && size.QuadPart < 0x7FFFFFFF;
  if (ok) {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(bytes.size() - done);
      ok = ReadFile(file, bytes.data() + done, want, &got, nullptr) != 0 && got > 0;
      done += got;
    }
  }
  error = ok ? 0 : GetLastError();
  return ok;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD put = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
    if (!WriteFile(file, bytes.data() + done, chunk, &put, nullptr) || put == 0) return false;
    done += put;
  }
  return true;
}

}  // namespace

ProfileDocument::ProfileDocument() {
  AddSection(Span{});
}

ProfileDocument ProfileDocument::Load(const TextValue& path) {
  std::string bytes;
  DWORD error = 0;
  if (!ReadWholeFile(path.CStr(), bytes, error)) {
    ProfileDocument doc;
    doc.loaded_path_ = path.Bytes();
    // A missing file reads as empty and is created by the first write; any other failure (a
    // missing folder, a locked file) fails every read and write, as the platform's calls do.
    doc.readable_ = error == ERROR_FILE_NOT_FOUND;
    return doc;
  }
  ProfileDocument doc = FromBytes(bytes);
  doc.loaded_path_ = path.Bytes();
  return doc;
}

ProfileDocument ProfileDocument::FromBytes(std::string_view bytes) {
  ProfileDocument doc;
  doc.original_ = std::string(bytes);
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    doc.encoding_ = Encoding::kUtf8;
    doc.ParseText(std::string(bytes.substr(3)));
  } else if (bytes.size() >= 2 &&
             (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")) {
    const bool little = bytes[0] == '\xFF';
    doc.encoding_ = little ? Encoding::kUtf16Le : Encoding::kUtf16Be;
    std::wstring wide((bytes.size() - 2) / 2, L'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
      const auto a = static_cast<unsigned char>(bytes[2 + 2 * i]);
      const auto b = static_cast<unsigned char>(bytes[3 + 2 * i]);
      wide[i] = static_cast<wchar_t>(little ? (a | b << 8) : (b | a << 8));
    }
    doc.ParseText(Utf8FromWide(wide));
  } else {
    doc.ParseText(std::string(bytes));
  }
  return doc;
}

ProfileDocument::Span ProfileDocument::Append(std::string_view bytes) {
  const Span span{static_cast<std::uint32_t>(text_.size()),
                  static_cast<std::uint32_t>(bytes.size())};
  text_.append(bytes);
  return span;
}

void ProfileDocument::AddSection(Span name) {
  sections_.push_back(Section{name, {}, {}});
  if (sections_.size() > 1 && name.length == 0) inner_nameless_ = true;
  IndexAdd(section_index_.slots, section_index_.count, sections_.size() - 1, sections_.size(),
           IsGbk(), [this](std::size_t e) { return Text(sections_[e].name); });
}

void ProfileDocument::AddKey(Section& section, const Key& key) {
  section.keys.push_back(key);
  IndexAdd(section.index.slots, section.index.count, section.keys.size() - 1, section.keys.size(),
           IsGbk(), [this, &section](std::size_t e) { return Text(section.keys[e].name); });
}

std::size_t ProfileDocument::FindSection(std::string_view trimmed) const {
  return IndexFind(section_index_.slots, trimmed, IsGbk(),
                   [this](std::size_t e) { return Text(sections_[e].name); });
}

std::size_t ProfileDocument::FindKey(const Section& section, std::string_view trimmed) const {
  return IndexFind(section.index.slots, trimmed, IsGbk(),
                   [this, &section](std::size_t e) { return Text(section.keys[e].name); });
}

void ProfileDocument::ParseText(std::string text) {
  text_ = std::move(text);
  sections_.clear();
  section_index_ = NameIndex{};
  inner_nameless_ = false;
  AddSection(Span{});
  const bool gbk = IsGbk();
  const std::string_view all(text_);
  auto span_of = [&all](std::string_view part) {
    // Values and names stop at a NUL, as the platform's C strings do.
    part = CutAtNul(part);
    return Span{static_cast<std::uint32_t>(part.data() - all.data()),
                static_cast<std::uint32_t>(part.size())};
  };
  std::size_t pos = 0;
  while (pos < all.size()) {
    const std::size_t start = pos;
    while (pos < all.size() && !IsLineEnd(all[pos])) ++pos;
    const std::size_t end = pos;
    while (pos < all.size() && IsLineEnd(all[pos])) ++pos;
    const std::string_view line = Trim(all.substr(start, end - start));
    if (line.empty()) continue;

    if (line.front() == '[') {
      const std::size_t close = LastCloseBracket(line, gbk);
      if (close != std::string_view::npos) {
        AddSection(span_of(Trim(line.substr(1, close - 1))));
        continue;
      }
      // No "]": an ordinary key line.
    }

    Key key;
    const std::size_t eq = line.find('=');
    if (eq != std::string_view::npos) {
      key.name = span_of(TrimRight(line.substr(0, eq)));
      key.value = span_of(TrimLeft(line.substr(eq + 1)));
      key.has_value = true;
    } else {
      key.name = span_of(line);
    }
    Section& section = sections_.back();
    // Runs of lines with an empty name ("=x") keep only their first line.
    if (key.name.length == 0 && !section.keys.empty() && section.keys.back().name.length == 0) {
      continue;
    }
    AddKey(section, key);
  }
}

std::string_view ProfileDocument::ToStorage(std::string_view gbk, std::string& scratch) const {
  if (IsGbk()) return gbk;
  scratch = Utf8FromWide(WideFromGbk(gbk));
  return scratch;
}

std::string ProfileDocument::FromStorage(std::string_view stored) const {
  if (IsGbk()) return std::string(stored);
  return GbkFromWide(WideFromUtf8(stored)).Bytes();
}

TextValue ProfileDocument::Read(const TextValue& section, const TextValue& key,
                                const TextValue& default_value) const {
  const std::string_view fallback = TrimDefault(AsArgument(default_value.View()));
  // The platform hands back the default as it is when it cannot open the file at all.
  if (!readable_) return TextValue(fallback);
  std::string scratch;
  const std::size_t s = FindSection(Trim(ToStorage(AsArgument(section.View()), scratch)));
  if (s != std::string_view::npos) {
    const Section& found = sections_[s];
    const std::size_t k = FindKey(found, Trim(ToStorage(AsArgument(key.View()), scratch)));
    if (k != std::string_view::npos && found.keys[k].has_value) {
      return TextValue(FromStorage(StripQuotes(Text(found.keys[k].value))));
    }
  }
  return TextValue(StripQuotes(fallback));
}

bool ProfileDocument::Write(const TextValue& section, const TextValue& key,
                            const TextValue& value) {
  if (!readable_) return false;
  // Names lose their leading blanks; the trailing ones reach the file and are trimmed when the
  // file is next read. The value loses leading blanks only, likewise.
  std::string scratch_section, scratch_key, scratch_value;
  const std::string_view section_raw =
      TrimLeft(ToStorage(AsArgument(section.View()), scratch_section));
  const std::string_view key_raw = TrimLeft(ToStorage(AsArgument(key.View()), scratch_key));
  const std::string_view value_raw = TrimLeft(ToStorage(AsArgument(value.View()), scratch_value));
  const std::string_view section_name = TrimRight(section_raw);
  const std::string_view key_name = TrimRight(key_raw);
  const auto trimmed_length = [](std::string_view raw) {
    return static_cast<std::uint32_t>(TrimRight(raw).size());
  };

  RawTail tail;
  tail.active = true;
  tail.value_length = static_cast<std::uint32_t>(value_raw.size());
  std::size_t s = FindSection(section_name);
  if (s != std::string_view::npos) {
    const std::size_t k = FindKey(sections_[s], key_name);
    if (k != std::string_view::npos) {
      Key& existing = sections_[s].keys[k];
      if (existing.has_value && Text(existing.value) == value_raw) return true;  // no change
      existing.value = Append(value_raw);
      existing.value.length = trimmed_length(value_raw);
      existing.has_value = true;
      tail.key = k;
    } else {
      tail.created_key = true;
      tail.key = sections_[s].keys.size();
    }
  } else {
    tail.created_section = tail.created_key = true;
    Span name = Append(section_raw);
    tail.section_length = name.length;
    name.length = trimmed_length(section_raw);
    AddSection(name);
    s = sections_.size() - 1;
    tail.key = 0;
  }
  if (tail.created_key) {
    Key added;
    added.name = Append(key_raw);
    tail.key_length = added.name.length;
    added.name.length = trimmed_length(key_raw);
    added.value = Append(value_raw);
    added.value.length = trimmed_length(value_raw);
    added.has_value = true;
    AddKey(sections_[s], added);
  }
  tail.section = s;

  changed_ = true;
  raw_serialized_valid_ = false;
  raw_tail_ = tail;

  // Text that reads back as something else once written (line breaks, a "=" or a section
  // header in a key name, an empty key name) or a nameless section inside the file, which
  // merges into the one before it: the platform re-reads the file it wrote before its next
  // call, so do the same to stay with it. Rare, so the whole document is re-read.
  const bool reshapes =
      section_raw.find_first_of("\r\n") != std::string_view::npos ||
      key_raw.find_first_of("\r\n=") != std::string_view::npos ||
      value_raw.find_first_of("\r\n") != std::string_view::npos || key_name.empty() ||
      (key_raw.front() == '[' && LastCloseBracket(key_raw, IsGbk()) != std::string_view::npos);
  if (reshapes || inner_nameless_) {
    raw_serialized_ = SerializeText(true);
    raw_serialized_valid_ = true;
    raw_tail_.active = false;
    ParseText(raw_serialized_);
  }
  return true;
}

std::string ProfileDocument::SerializeText(bool use_raw_tail) const {
  std::size_t size = 0;
  for (const Section& s : sections_) {
    size += s.name.length + 4;
    for (const Key& k : s.keys) size += k.name.length + k.value.length + 3;
  }
  std::string out;
  out.reserve(size + 64);
  const RawTail* tail = use_raw_tail && raw_tail_.active ? &raw_tail_ : nullptr;
  for (std::size_t si = 0; si < sections_.size(); ++si) {
    const Section& s = sections_[si];
    const bool tail_here = tail && tail->section == si;
    if (s.name.length != 0) {
      Span name = s.name;
      if (tail_here && tail->created_section) name.length = tail->section_length;
      out += '[';
      out += Text(name);
      out += "]\r\n";
    }
    for (std::size_t ki = 0; ki < s.keys.size(); ++ki) {
      const Key& k = s.keys[ki];
      const bool tail_key = tail_here && tail->key == ki;
      Span name = k.name;
      if (tail_key && tail->created_key) name.length = tail->key_length;
      out += Text(name);
      if (k.has_value) {
        Span value = k.value;
        if (tail_key) value.length = tail->value_length;
        out += '=';
        out += Text(value);
      }
      out += "\r\n";
    }
  }
  return out;
}

std::string ProfileDocument::Serialize() const {
  if (!changed_) return original_;
  const std::string text = raw_serialized_valid_ ? raw_serialized_ : SerializeText(true);
  switch (encoding_) {
    case Encoding::kAnsi:
      return text;
    case Encoding::kUtf8:
      return "\xEF\xBB\xBF" + text;
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be: {
      const std::wstring wide = WideFromUtf8(text);
      const bool little = encoding_ == Encoding::kUtf16Le;
      std::string out(little ? "\xFF\xFE" : "\xFE\xFF");
      out.reserve(2 + wide.size() * 2);
      for (const wchar_t c : wide) {
        const char lo = static_cast<char>(c & 0xFF);
        const char hi = static_cast<char>((c >> 8) & 0xFF);
        out += little ? lo : hi;
        out += little ? hi : lo;
      }
      return out;
    }
  }
  return text;
}

bool ProfileDocument::SaveAtomically(const TextValue& path) const {
  // Writes that changed nothing leave the file alone, as the per-value calls do.
  if (!changed_ && path.Bytes() == loaded_path_) return true;
  // A read-only target refuses the profile functions' writes; a rename may still replace it
  // (Wine's does), so refuse here.
  const DWORD attributes = GetFileAttributesA(path.CStr());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return false;
  }
  const std::string bytes = Serialize();

  // The temporary file sits beside the target (same folder, so the replace is a rename) under
  // a name of its own; a leftover from a crash is never mistaken for the target.
  std::string temp;
  OwnedKernelHandle file;
  static volatile LONG counter = 0;
  for (int attempt = 0; attempt < 16 && !file; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%lx-%x.saving", GetCurrentProcessId(),
                  static_cast<unsigned>(InterlockedIncrement(&counter)));
    temp = path.Bytes() + suffix;
    file.Reset(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file && GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  if (!file) return false;

  const bool written = WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get()) != 0;
  file.Reset();  // closed before the replace
  const ReplaceStep replace = g_replace_step ? g_replace_step : &MoveFileExA;
  if (!written ||
      !replace(temp.c_str(), path.CStr(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temp.c_str());
    return false;
  }
  return true;
}

void ProfileDocument::SetReplaceStepForTesting(ReplaceStep step) {
  g_replace_step = step;
}

}  // namespace belvane

#include "runtime/inifile/profile_document.h"

#include <algorithm>

namespace belvane {
namespace {

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
template <class Slot, class NameOf>
std::size_t IndexFind(const std::vector<Slot>& slots, std::string_view name, bool gbk,
                      const NameOf& name_of) {
  if (slots.empty()) return std::string_view::npos;
  const std::uint32_t hash = FoldHash(name, gbk);
  const std::size_t mask = slots.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    const Slot& slot = slots[at];
    if (slot.entry == 0) return std::string_view::npos;
    if (slot.hash == hash && FoldEqual(name_of(slot.entry - 1), name, gbk)) return slot.entry - 1;
  }
}

// Adds an entry unless its name is there already (the first of duplicates wins); false when it
// was.
template <class Slot, class NameOf>
bool IndexAdd(std::vector<Slot>& slots, std::size_t& count, std::size_t entry, bool gbk,
              const NameOf& name_of) {
  if ((count + 1) * 2 > slots.size()) {
    // The slots hold one entry per name, the first: they move over as they are.
    std::vector<Slot> bigger(std::max<std::size_t>(16, slots.size() * 2));
    const std::size_t mask = bigger.size() - 1;
    for (const Slot& slot : slots) {
      if (slot.entry == 0) continue;
      std::size_t at = slot.hash & mask;
      while (bigger[at].entry != 0) at = (at + 1) & mask;
      bigger[at] = slot;
    }
    slots.swap(bigger);
  }
  const std::string_view name = name_of(entry);
  const std::uint32_t hash = FoldHash(name, gbk);
  const std::size_t mask = slots.size() - 1;
  std::size_t at = hash & mask;
  for (; slots[at].entry != 0; at = (at + 1) & mask) {
    if (slots[at].hash == hash && FoldEqual(name_of(slots[at].entry - 1), name, gbk)) return false;
  }
  slots[at] = Slot{static_cast<std::uint32_t>(entry + 1), hash};
  ++count;
  return true;
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

// A key line that the next read takes for a section header: "[" first and a "]" of its own
// anywhere after, the value's included.
bool ReadsAsHeader(std::string_view line, bool gbk) {
  line = Trim(line);
  return !line.empty() && line.front() == '[' &&
         LastCloseBracket(line, gbk) != std::string_view::npos;
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

// The line break that ends a line inside a run of line ends: CR LF, or the one character.
std::size_t FirstBreak(std::string_view run) {
  return run.size() >= 2 && run[0] == '\r' && run[1] == '\n' ? 2
                                                             : std::min<std::size_t>(1, run.size());
}

}  // namespace

ProfileDocument::ProfileDocument() : codec_(&PlatformProfileTextCodec()) {
  AddSection(Section{});
}

ProfileDocument ProfileDocument::FromBytes(std::string_view bytes, const ProfileTextCodec& codec) {
  ProfileDocument doc;
  doc.codec_ = &codec;
  doc.original_ = std::string(bytes);
  doc.encoding_ = DetectFileEncoding(bytes);
  doc.ParseText(Utf8TextOfFile(bytes, doc.encoding_));
  return doc;
}

ProfileDocument::Span ProfileDocument::Append(std::string_view bytes) {
  const Span span{static_cast<std::uint32_t>(text_.size()),
                  static_cast<std::uint32_t>(bytes.size())};
  text_.append(bytes);
  return span;
}

void ProfileDocument::AddSection(const Section& section) {
  sections_.push_back(section);
  if (sections_.size() > 1 && section.name.length == 0) inner_nameless_ = true;
  IndexAdd(section_index_.slots, section_index_.count, sections_.size() - 1, IsGbk(),
           [this](std::size_t e) { return Text(sections_[e].name); });
}

void ProfileDocument::AddKey(Section& section, const Key& key) {
  section.keys.push_back(key);
}

std::size_t ProfileDocument::FindSection(std::string_view trimmed) const {
  return IndexFind(section_index_.slots, trimmed, IsGbk(),
                   [this](std::size_t e) { return Text(sections_[e].name); });
}

std::size_t ProfileDocument::FindKey(const Section& section, std::string_view trimmed) const {
  // Keys go in in their order, so the first of duplicates wins.
  for (; section.indexed < section.keys.size(); ++section.indexed) {
    IndexAdd(section.index.slots, section.index.count, section.indexed, IsGbk(),
             [this, &section](std::size_t e) { return Text(section.keys[e].name); });
  }
  return IndexFind(section.index.slots, trimmed, IsGbk(),
                   [this, &section](std::size_t e) { return Text(section.keys[e].name); });
}

ProfileDocument::Key ProfileDocument::KeyOf(Span content) const {
  const std::string_view all(text_);
  // Names and values stop at a NUL, as the platform's C strings do.
  auto span_of = [&all](std::string_view part) {
    part = CutAtNul(part);
    return Span{static_cast<std::uint32_t>(part.data() - all.data()),
                static_cast<std::uint32_t>(part.size())};
  };
  const std::string_view line = Trim(Text(content));
  Key key;
  const std::size_t eq = line.find('=');
  if (eq != std::string_view::npos) {
    key.name = span_of(TrimRight(line.substr(0, eq)));
    key.value = span_of(TrimLeft(line.substr(eq + 1)));
    key.has_value = true;
  } else {
    key.name = span_of(line);
  }
  return key;
}

void ProfileDocument::ParseText(std::string text) {
  text_ = std::move(text);
  sections_.clear();
  section_index_ = NameIndex{};
  inner_nameless_ = false;
  AddSection(Section{});
  const bool gbk = IsGbk();
  const std::string_view all(text_);
  const std::size_t first_end = all.find_first_of("\r\n");
  if (first_end != std::string_view::npos) {
    line_end_ = std::string(all.substr(first_end, FirstBreak(all.substr(first_end))));
  }
  std::size_t pos = 0;
  while (pos < all.size()) {
    const std::size_t start = pos;
    while (pos < all.size() && !IsLineEnd(all[pos])) ++pos;
    const std::size_t content_end = pos;
    while (pos < all.size() && IsLineEnd(all[pos])) ++pos;
    const Line line{
        Span{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(content_end - start)},
        Span{static_cast<std::uint32_t>(content_end),
             static_cast<std::uint32_t>(pos - content_end)}};
    const std::string_view trimmed = Trim(Text(line.content));
    if (trimmed.empty()) {
      sections_.back().lines.push_back(line);
      continue;
    }
    if (trimmed.front() == '[') {
      const std::size_t close = LastCloseBracket(trimmed, gbk);
      if (close != std::string_view::npos) {
        const std::string_view name = CutAtNul(Trim(trimmed.substr(1, close - 1)));
        Section section;
        section.name = Span{static_cast<std::uint32_t>(name.data() - all.data()),
                            static_cast<std::uint32_t>(name.size())};
        section.has_header = true;
        section.header = line;
        AddSection(section);
        continue;
      }
      // No "]": an ordinary key line.
    }
    Section& section = sections_.back();
    Key key = KeyOf(line.content);
    key.line = static_cast<std::uint32_t>(section.lines.size());
    section.lines.push_back(line);
    section.filled = static_cast<std::uint32_t>(section.lines.size());
    // Runs of lines with an empty name ("=x") keep only their first line.
    if (key.name.length == 0 && !section.keys.empty() && section.keys.back().name.length == 0) {
      continue;
    }
    AddKey(section, key);
  }
}

std::string_view ProfileDocument::ToStorage(std::string_view gbk, std::string& scratch) const {
  if (IsGbk()) return gbk;
  scratch = codec_->utf8_from_gbk(gbk);
  return scratch;
}

std::string ProfileDocument::FromStorage(std::string_view stored) const {
  if (IsGbk()) return std::string(stored);
  return codec_->gbk_from_utf8(stored);
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

void ProfileDocument::ForEachKey(
    const TextValue& section,
    const std::function<void(std::string_view name, TextValue* value)>& each) const {
  if (!readable_) return;
  std::string scratch;
  const std::size_t s = FindSection(Trim(ToStorage(AsArgument(section.View()), scratch)));
  if (s == std::string_view::npos) return;
  for (const Key& key : sections_[s].keys) {
    const std::string_view name = Text(key.name);
    if (!IsGbk()) scratch = FromStorage(name);
    TextValue value;
    if (key.has_value) value = TextValue(FromStorage(StripQuotes(Text(key.value))));
    each(IsGbk() ? name : std::string_view(scratch), key.has_value ? &value : nullptr);
  }
}

void ProfileDocument::EndLine(Line& line) {
  if (line.end.length == 0) line.end = Append(line_end_);
}

std::uint32_t ProfileDocument::InsertLine(Section& section, std::string_view content) {
  const std::uint32_t at = section.filled;
  Line* before = at > 0 ? &section.lines[at - 1] : section.has_header ? &section.header : nullptr;
  // The blank lines that followed the line before now follow the new one.
  std::string_view rest;
  if (before && before->end.length > 0) {
    const std::uint32_t first = static_cast<std::uint32_t>(FirstBreak(Text(before->end)));
    rest = Text(Span{before->end.at + first, before->end.length - first});
    before->end.length = first;
  } else if (before) {
    EndLine(*before);  // the file's last line
  }
  std::string bytes;
  bytes.reserve(content.size() + line_end_.size() + rest.size());
  bytes.append(content).append(line_end_).append(rest);
  const Span all = Append(bytes);
  const Line line{Span{all.at, static_cast<std::uint32_t>(content.size())},
                  Span{all.at + static_cast<std::uint32_t>(content.size()),
                       all.length - static_cast<std::uint32_t>(content.size())}};
  section.lines.insert(section.lines.begin() + at, line);
  section.filled = at + 1;
  return at;
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

  // Text that reads back as something else once written (line breaks, a "=" in a key name, an
  // empty key name, a key line that reads as a section header): the platform re-reads the file
  // it wrote before its next call, so do the same to stay with it. Rare, so the whole document
  // is re-read.
  bool reshapes = section_raw.find_first_of("\r\n") != std::string_view::npos ||
                  key_raw.find_first_of("\r\n=") != std::string_view::npos ||
                  value_raw.find_first_of("\r\n") != std::string_view::npos || key_name.empty();

  std::size_t s = FindSection(section_name);
  if (s == std::string_view::npos) {
    // A new section at the end of the file.
    for (auto it = sections_.rbegin(); it != sections_.rend(); ++it) {
      if (!it->lines.empty()) {
        EndLine(it->lines.back());
        break;
      }
      if (it->has_header) {
        EndLine(it->header);
        break;
      }
    }
    std::string header = "[";
    header.append(section_raw).append("]");
    Section added;
    added.has_header = true;
    added.header.content = Append(header);
    added.header.end = Append(line_end_);
    added.name = Span{added.header.content.at + 1, static_cast<std::uint32_t>(section_name.size())};
    // A name whose own bytes end the header early (a GBK pair swallowing the "]") reads back as
    // something else: go the way of the re-read.
    const std::string_view written = Trim(header);
    if (LastCloseBracket(written, IsGbk()) != written.size() - 1) reshapes = true;
    AddSection(added);
    s = sections_.size() - 1;
  }

  Section& target = sections_[s];
  const std::size_t found = FindKey(target, key_name);
  if (found != std::string_view::npos) {
    Key& existing = target.keys[found];
    if (existing.has_value && Text(existing.value) == value_raw) return true;  // no change
    // The line keeps its name and the blanks around its "="; the value after them is new.
    Line& line = target.lines[existing.line];
    const std::string_view old = Text(line.content);
    std::string content;
    const std::size_t eq = old.find('=');
    if (eq != std::string_view::npos) {
      std::size_t keep = eq + 1;
      while (keep < old.size() && IsBlank(old[keep])) ++keep;
      content = old.substr(0, keep);
    } else {
      content = TrimRight(old);
      content += '=';
    }
    content.append(value_raw);
    if (ReadsAsHeader(content, IsGbk())) reshapes = true;
    line.content = Append(content);
    const std::uint32_t index = existing.line;
    existing = KeyOf(line.content);
    existing.line = index;
  } else {
    std::string content(key_raw);
    content += '=';
    content.append(value_raw);
    if (ReadsAsHeader(content, IsGbk())) reshapes = true;
    const std::uint32_t index = InsertLine(target, content);
    if (!reshapes) {
      Key added = KeyOf(target.lines[index].content);
      added.line = index;
      AddKey(target, added);
    }
  }
  changed_ = true;
  if (reshapes || inner_nameless_) ParseText(SerializeText(true));
  return true;
}

std::string ProfileDocument::SerializeText(bool drop_nameless_headers) const {
  std::size_t size = 0;
  for (const Section& s : sections_) {
    size += s.header.content.length + s.header.end.length;
    for (const Line& l : s.lines) size += l.content.length + l.end.length;
  }
  std::string out;
  out.reserve(size);
  for (std::size_t si = 0; si < sections_.size(); ++si) {
    const Section& s = sections_[si];
    if (s.has_header && !(drop_nameless_headers && si > 0 && s.name.length == 0)) {
      out += Text(s.header.content);
      out += Text(s.header.end);
    }
    for (const Line& l : s.lines) {
      out += Text(l.content);
      out += Text(l.end);
    }
  }
  return out;
}

std::optional<std::string> ProfileDocument::Serialize() const {
  if (IsGbk()) return changed_ ? SerializeText(false) : original_;
  return codec_->exact_gbk_from_utf8(changed_ ? SerializeText(false) : text_);
}

}  // namespace belvane

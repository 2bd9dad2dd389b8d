#pragma once
// A whole INI file held in memory: read once, queried and changed many times, written once.
//
// Reading gives exactly what the platform's per-value profile functions
// (GetPrivateProfileStringA / WritePrivateProfileStringA) give on the same file, as Wine
// implements them, after the same writes: one value costs a hash lookup instead of a read (and a
// rewrite) of the whole file. The rules mirrored here:
// - A line ends at any run of CR and LF; blanks (tab, LF, VT, FF, CR, ^Z, space) around lines,
//   names and values are dropped.
// - "[name]" opens a section (the name runs to the last "]", blanks trimmed); any other line is
//   a key: the text before the first "=" is its name, the rest its value. A line without "=" is
//   a key without a value (reads give the default). Comment lines (";...") are keys too, and
//   readable by their whole text as a name.
// - Names compare without ASCII case only; GBK characters compare as they are (their trail
//   bytes are never folded). The first of duplicate sections or keys wins.
// - A value read in matching quotes ("..." or '...') loses them.
// - New keys go to the end of their section, new sections to the end of the file.
// Where the platform would turn invalid GBK byte sequences into "?", this class keeps the bytes.
//
// Files as Notepad saves them are read too, where the platform reads only a file with a
// byte-order mark as Unicode: a file is read in the encoding DetectFileEncoding names
// (runtime/text_convert.h), so UTF-8 without a mark as well. Such text is held as UTF-8;
// values still come and go as GBK. Saving always writes GBK without a mark: a file read as
// UTF-8 or UTF-16 is converted once it is saved, and one holding a character GBK lacks is not
// saved at all, rather than saved with "?" in its place.
//
// Writing edits the file's lines in place, as Windows' own profile functions do: a line that no
// write changes stays byte for byte (blank lines, spacing, comments, a header's odd bytes), a
// changed key keeps its name and the spacing around its "=", and a write that changes nothing
// leaves the file untouched. (Wine's functions rewrite the whole file in a canonical form
// instead; the values read back are the same.) The one exception: a nameless section header
// ("[]") after the first line is dropped on the first change, because the platform merges such
// a section into the one before it once it rewrites the file.
//
// This part touches no file and no platform call (it builds and is fuzzed natively); Load and
// SaveAtomically are the platform side (profile_file.cpp).
//
// Thread safety: none; one document belongs to one thread at a time (a read too: the first lookup
// in a section makes its index).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/text_convert.h"
#include "runtime/text_value.h"

namespace belvane {

// The text conversions a document needs for files read as UTF-8 or UTF-16 (their text is held
// as UTF-8; names and values arrive and leave as GBK). The platform side supplies them.
struct ProfileTextCodec {
  std::string (*utf8_from_gbk)(std::string_view);
  // A character GBK lacks becomes "?".
  std::string (*gbk_from_utf8)(std::string_view);
  // Nothing when GBK lacks a character of the text.
  std::optional<std::string> (*exact_gbk_from_utf8)(std::string_view);
};

// The platform's conversions; defined by the platform side of the build.
const ProfileTextCodec& PlatformProfileTextCodec();

class ProfileDocument {
 public:
#ifdef _WIN32
  // The file replace step of SaveAtomically: MoveFileExA's signature. Tests substitute it.
  using ReplaceStep = int(__stdcall*)(const char* from, const char* to, unsigned long flags);
#endif

  ProfileDocument();

  // Reads the whole file once. A missing or empty file gives an empty document; a file that
  // exists but cannot be read gives an empty document whose Readable() is false.
  static ProfileDocument Load(const TextValue& path);
  // Builds a document from a file's bytes (as Load would after reading them).
  static ProfileDocument FromBytes(std::string_view bytes,
                                   const ProfileTextCodec& codec = PlatformProfileTextCodec());

  // The value GetPrivateProfileStringA(section, key, default_value) gives on this document.
  TextValue Read(const TextValue& section, const TextValue& key,
                 const TextValue& default_value = {}) const;
  // Calls each(name, value) for every key line of `section`, in the file's order, with the name
  // as GBK and the value Read gives for that line (null for a line without "="). Duplicates
  // come too: Read takes the first line of a name, which hides the later ones even when it has
  // no value. One pass over the section, where a Read per key would look each one up.
  void ForEachKey(const TextValue& section,
                  const std::function<void(std::string_view name, TextValue* value)>& each) const;
  // Applies WritePrivateProfileStringA(section, key, value) to the document in memory.
  // Returns false (and changes nothing) where the platform call would fail: an unreadable file.
  bool Write(const TextValue& section, const TextValue& key, const TextValue& value);

  // True once a write has changed the document since it was loaded.
  bool Changed() const {
    return changed_;
  }
  // False when Load found the file but could not read it.
  bool Readable() const {
    return readable_;
  }

  // The bytes a save writes: the text after the writes, as GBK (the loaded bytes for an
  // unchanged GBK file). Nothing when the file was read as UTF-8 or UTF-16 and its text holds a
  // character GBK lacks.
  std::optional<std::string> Serialize() const;

  // Writes the document to path. The bytes go to a temporary file of a short name beside the
  // target, which takes the target's attributes and security and then replaces it in one step,
  // so a failure or a crash leaves the old file whole. Where no temporary file can be made (a
  // folder that allows writing files but not creating them, a path at the length limit) or
  // where the target has other hard links, which a replace would split off, the target is
  // rewritten in place instead. An unchanged document leaves the file as it is. Returns false
  // when the bytes could not be stored, or when Serialize gives none (nothing is written then);
  // no temporary file is left behind.
  bool SaveAtomically(const TextValue& path) const;

#ifdef _WIN32
  // Substitutes the replace step (null restores MoveFileExA). For crash-safety tests.
  static void SetReplaceStepForTesting(ReplaceStep step);
  // Makes every temporary file creation fail, as in a folder without leave to create files.
  static void SetTemporaryFilesRefusedForTesting(bool refused);
#endif

 private:
  // Names, values and lines live in one text buffer (the file's text, then what writes add), so
  // that a file of a quarter of a million keys costs a few allocations rather than a million.
  struct Span {
    std::uint32_t at = 0;
    std::uint32_t length = 0;
  };
  // One line as it stands in the file: its content, and the run of CR and LF that ends it
  // (empty for a last line without one). Blank lines inside a run belong to that run.
  struct Line {
    Span content;
    Span end;
  };
  struct Key {
    Span name;
    Span value;
    bool has_value = false;
    std::uint32_t line = 0;  // in its section's lines
  };
  // Open addressing from a name (compared without ASCII case) to the first entry of that name.
  struct IndexSlot {
    std::uint32_t entry = 0;  // entry number + 1; 0 is an empty slot
    std::uint32_t hash = 0;   // of its name: names are compared only where hashes match
  };
  struct NameIndex {
    std::vector<IndexSlot> slots;
    std::size_t count = 0;
  };
  struct Section {
    Span name;
    bool has_header = false;  // false for the nameless head of the file
    Line header;
    std::vector<Line> lines;  // after the header
    // Lines up to the last one that is not blank: new keys go after them.
    std::uint32_t filled = 0;
    std::vector<Key> keys;
    // Made at the first lookup, and kept up from then on: a section only walked never needs it.
    mutable NameIndex index;
    mutable std::size_t indexed = 0;  // the keys the index holds: keys[0, indexed)
  };

  bool IsGbk() const {
    return encoding_ == FileEncoding::kGbk;
  }
  std::string_view Text(Span span) const {
    return std::string_view(text_).substr(span.at, span.length);
  }
  Span Append(std::string_view bytes);
  void ParseText(std::string text);
  // Reads a key line's name and value (line.content is the raw line).
  Key KeyOf(Span content) const;
  void AddSection(const Section& section);
  void AddKey(Section& section, const Key& key);
  // Index of the first section or key of that name, or -1 (npos) for none.
  std::size_t FindSection(std::string_view trimmed_name) const;
  std::size_t FindKey(const Section& section, std::string_view trimmed_name) const;
  // Gives the line before a new one its line end when it is the file's last line.
  void EndLine(Line& line);
  // Adds a line after the section's last line that is not blank; returns its index.
  std::uint32_t InsertLine(Section& section, std::string_view content);
  // The file's text (without a byte-order mark); nameless headers left out when asked.
  std::string SerializeText(bool drop_nameless_headers) const;
  // Names and values travel as GBK; a file read as UTF-8 or UTF-16 holds them as UTF-8 here.
  std::string_view ToStorage(std::string_view gbk, std::string& scratch) const;
  std::string FromStorage(std::string_view stored) const;

  const ProfileTextCodec* codec_;
  std::string text_;
  std::vector<Section> sections_;  // sections_[0] is the nameless head of the file
  NameIndex section_index_;
  FileEncoding encoding_ = FileEncoding::kGbk;  // what the file was read as
  std::string line_end_ = "\r\n";               // for lines the writes add: the file's own kind
  std::string original_;  // the bytes read, returned by Serialize while unchanged
  std::string loaded_path_;
  // Some section other than the first has an empty name: rewriting merges it into the one
  // before, so the first change drops its header (rare; only hand-made files have it).
  bool inner_nameless_ = false;
  bool changed_ = false;
  bool readable_ = true;
};

#ifdef _WIN32
// Replaces the file at `path` by `bytes` as SaveAtomically does (a temporary file beside it, then
// one rename; in place only where no replace can be made); false when they could not be stored.
bool ReplaceWholeFile(const TextValue& path, std::string_view bytes);
// The file's bytes; nothing when it is missing or cannot be read.
std::optional<std::string> ReadFileBytes(const TextValue& path);
#endif

}  // namespace belvane

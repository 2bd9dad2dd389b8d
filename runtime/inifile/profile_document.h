#pragma once
// A whole INI file held in memory: read once, queried and changed many times, written once.
//
// Reading and writing give exactly what the platform's per-value profile functions
// (GetPrivateProfileStringA / WritePrivateProfileStringA) give on the same file, as Wine
// implements them: one value costs a hash lookup instead of a read (and a rewrite) of the whole
// file. The rules mirrored here:
// - A line ends at any run of CR and LF; blanks (tab, LF, VT, FF, CR, ^Z, space) around lines,
//   names and values are dropped. Blank lines vanish once the file is rewritten.
// - "[name]" opens a section (the name runs to the last "]", blanks trimmed); any other line is
//   a key: the text before the first "=" is its name, the rest its value. A line without "=" is
//   a key without a value (reads give the default). Comment lines (";...") are keys too, so they
//   are kept, and readable by their whole text as a name.
// - Names compare without ASCII case only; GBK characters compare as they are (their trail
//   bytes are never folded). The first of duplicate sections or keys wins.
// - A value read in matching quotes ("..." or '...') loses them.
// - A write that changes nothing leaves the file untouched; any change rewrites the whole file
//   in canonical form (sections in order, "name=value" lines, CR LF line ends, no blank lines),
//   as Wine's profile functions do (Windows' own edit the changed line in place and keep the
//   other lines as they stand; the values read back are the same either way). New keys go to
//   the end of their section, new sections to the end of the file.
// - Files beginning with a UTF-8 or UTF-16 byte-order mark keep their encoding; values still
//   come and go as GBK.
// Where the platform would turn invalid GBK byte sequences into "?", this class keeps the bytes.
//
// Thread safety: none; one document belongs to one thread at a time.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/text_value.h"

namespace belvane {

class ProfileDocument {
 public:
  // How the file's text is stored on disk; kept on saving.
  enum class Encoding { kAnsi, kUtf8, kUtf16Le, kUtf16Be };

  // The file replace step of SaveAtomically: MoveFileExA's signature. Tests substitute it.
  using ReplaceStep = int(__stdcall*)(const char* from, const char* to, unsigned long flags);

  ProfileDocument();

  // Reads the whole file once. A missing or empty file gives an empty document; a file that
  // exists but cannot be read gives an empty document whose Readable() is false.
  static ProfileDocument Load(const TextValue& path);
  // Builds a document from a file's bytes (as Load would after reading them).
  static ProfileDocument FromBytes(std::string_view bytes);

  // The value GetPrivateProfileStringA(section, key, default_value) gives on this document.
  TextValue Read(const TextValue& section, const TextValue& key,
                 const TextValue& default_value = {}) const;
  // Applies WritePrivateProfileStringA(section, key, value) to the document in memory.
  // Returns false (and changes nothing) where the platform call would fail: an unreadable file.
  bool Write(const TextValue& section, const TextValue& key, const TextValue& value);

  // True once a write has changed the document since it was loaded.
  bool Changed() const { return changed_; }
  // False when Load found the file but could not read it.
  bool Readable() const { return readable_; }

  // The file bytes the per-value writes would have left (the loaded bytes when unchanged).
  std::string Serialize() const;

  // Writes the document to path in one step: the bytes go to a temporary file beside the target,
  // which then replaces the target. An unchanged document leaves the file as it is. Returns
  // false when the temporary file cannot be written or the replace fails; the target is then as
  // it was, and no temporary file is left behind.
  bool SaveAtomically(const TextValue& path) const;

  // Substitutes the replace step (null restores MoveFileExA). For crash-safety tests.
  static void SetReplaceStepForTesting(ReplaceStep step);

 private:
  // Names and values live in one text buffer (the file's text, then what writes add), so that a
  // file of a quarter of a million keys costs a few allocations rather than a million.
  struct Span {
    std::uint32_t at = 0;
    std::uint32_t length = 0;
  };
  struct Key {
    Span name;
    Span value;
    bool has_value = false;
  };
  // Open addressing from a name (compared without ASCII case) to the first entry of that name.
  struct NameIndex {
    std::vector<std::uint32_t> slots;  // entry number + 1; 0 is an empty slot
    std::size_t count = 0;
  };
  struct Section {
    Span name;
    std::vector<Key> keys;
    NameIndex index;
  };
  // The entry of the last changing write as the platform wrote it, before a re-read trims its
  // names and value: the trimmed texts are prefixes of these, so lengths suffice.
  struct RawTail {
    bool active = false;
    std::size_t section = 0;
    std::size_t key = 0;
    std::uint32_t section_length = 0;  // used when the write created the section
    std::uint32_t key_length = 0;      // used when the write created the key
    std::uint32_t value_length = 0;
    bool created_section = false;
    bool created_key = false;
  };

  bool IsGbk() const { return encoding_ == Encoding::kAnsi; }
  std::string_view Text(Span span) const {
    return std::string_view(text_).substr(span.at, span.length);
  }
  Span Append(std::string_view bytes);
  void ParseText(std::string text);
  void AddSection(Span name);
  void AddKey(Section& section, const Key& key);
  // Index of the first section or key of that name, or -1 (npos) for none.
  std::size_t FindSection(std::string_view trimmed_name) const;
  std::size_t FindKey(const Section& section, std::string_view trimmed_name) const;
  // The file's text (without a byte-order mark), the last write's entry as given when asked.
  std::string SerializeText(bool use_raw_tail) const;
  // Names and values travel as GBK; a file with a byte-order mark holds them as UTF-8 here.
  std::string_view ToStorage(std::string_view gbk, std::string& scratch) const;
  std::string FromStorage(std::string_view stored) const;

  std::string text_;
  std::vector<Section> sections_;  // sections_[0] is the nameless head of the file
  NameIndex section_index_;
  Encoding encoding_ = Encoding::kAnsi;
  std::string original_;  // the bytes read, returned by Serialize while unchanged
  std::string loaded_path_;
  // Some section other than the first has an empty name: rewriting merges it into the one
  // before, so every change re-reads the document (rare; only hand-made files have it).
  bool inner_nameless_ = false;
  bool changed_ = false;
  bool readable_ = true;
  bool raw_serialized_valid_ = false;
  std::string raw_serialized_;  // the file after a last write that changed the file's shape
  RawTail raw_tail_;
};

}  // namespace belvane

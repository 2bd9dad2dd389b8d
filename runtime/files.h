#pragma once
// File-system services over the platform's ANSI (GBK) functions: the program's folder, single
// INI values, existence tests, whole-file writes and folder searches. Nothing here shows a
// message or ends the program: failures come back as empty texts or false.
// Thread safety: no shared state; a SearchHandle belongs to one thread at a time.

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "runtime/byte_block.h"
#include "runtime/handles.h"
#include "runtime/text_value.h"

namespace belvane {

// Folder of the running program file, no trailing backslash ("C:\Tools", or "C:" in a root).
TextValue ProgramDirectory();

// Value of (section, key) in an INI file, any length; `default_text` when missing; empty result
// when the value is empty.
TextValue ReadProfileText(const TextValue& file, const TextValue& section, const TextValue& key,
                          const TextValue& default_text = {});

// Writes (section, key) = value (creating file and section). A left-out key deletes the
// section, a left-out value deletes the key; an empty text writes an empty value.
bool WriteProfileText(const TextValue& file, const TextValue& section,
                      const std::optional<TextValue>& key, const std::optional<TextValue>& value);

// True when a file or a directory of that name exists.
bool FileExists(const TextValue& path);

// Creates or truncates the file (no sharing, archive attribute) and writes each block in
// order. False when the file cannot be created or a write fails (what was written stays).
bool WriteWholeFile(const TextValue& path, std::initializer_list<const ByteBlock*> blocks);
inline bool WriteWholeFile(const TextValue& path, const ByteBlock& block) {
  return WriteWholeFile(path, {&block});
}

// The platform find handle of one folder search. Holds 0 (no search yet), INVALID_HANDLE_VALUE
// (-1: the last search found nothing to start with) or an open search, which it closes when it
// is destroyed. Not copyable.
class SearchHandle {
 public:
  SearchHandle() = default;
  SearchHandle(SearchHandle&& other) noexcept;
  SearchHandle& operator=(SearchHandle&& other) noexcept;
  SearchHandle(const SearchHandle&) = delete;
  SearchHandle& operator=(const SearchHandle&) = delete;

  // The raw value: 0, INVALID_HANDLE_VALUE or an open find handle.
  HANDLE Value() const { return found_nothing_ ? INVALID_HANDLE_VALUE : open_.Get(); }
  // True while a search is open.
  bool IsOpen() const { return static_cast<bool>(open_); }

 private:
  friend TextValue FindFile(const TextValue&, SearchHandle&, std::optional<DWORD>);
  friend void EndFindFile(SearchHandle&);
  OwnedFindHandle open_;        // the open search, closed when this goes
  bool found_nothing_ = false;  // the last search found nothing to start with
};

// Name (without path) of the next matching entry, empty when none. A non-empty pattern starts a
// new search in `search` (closing the old one); an empty pattern continues it. Mask left out:
// entries without FILE_ATTRIBUTE_DIRECTORY; mask given: entries sharing a bit with it ("." and
// ".." included with the directory mask). Reaching the end keeps the search open.
TextValue FindFile(const TextValue& pattern, SearchHandle& search,
                   std::optional<DWORD> attribute_mask = std::nullopt);

// Closes the search held in `search` (if any) and resets it to 0.
void EndFindFile(SearchHandle& search);

// One entry of a folder listing.
struct FolderEntry {
  TextValue name;
  std::uint64_t size = 0;
  std::uint64_t write_time = 0;  // FILETIME ticks, UTC
  bool folder = false;
};
// The entries of `folder` ("." and ".." left out) into `out`, in the file system's order. False
// when the folder cannot be listed, with the system's error code in `error`; an empty folder is
// listed.
bool ListFolder(const TextValue& folder, std::vector<FolderEntry>& out, DWORD& error);

// The system's text for an error code (FormatMessage, the line end cut off); the code's number
// when the system has none.
std::string SystemErrorText(DWORD error);

// A change notification on `folder` (its own entries, not its subfolders') for the
// FILE_NOTIFY_CHANGE_* bits of `filter`; holds nothing when the folder is missing or its file
// system cannot tell changes. Once signalled, ArmChangeNotification waits for the next change.
OwnedChangeNotification WatchFolderChanges(const TextValue& folder, DWORD filter);
// FindNextChangeNotification; false when the notification no longer works (its folder gone).
bool ArmChangeNotification(const OwnedChangeNotification& notification);

}  // namespace belvane

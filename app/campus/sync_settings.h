#pragma once
// "Belvane同步.ini" beside the program: the followed folder and the files taken from it.
//   [同步]
//   来源=\\教务处\铃声
//   按服务器时间=是          (是|否; unset: 是 for a UNC source)
//   名称=体育馆              (the PC's report at the source; unset: the computer's name)
//   回报=否                  (no report; unset: one is written)
//   全校状态=\\教务处\铃声   (the folder the campus window reads on a PC that follows none)
//   [已取]
//   1=20480,133704318650000000,20480,133704318650000000,mp3\上课.mp3
// Each taken line is a number, then the source's size and write time, the local file's size
// and write time (FILETIME ticks, UTC) and the relative name last: a name may hold any GBK
// byte ("=", ";", "[", ","), and nothing after the fourth comma is ever split.
// The file is written whole (GBK, CRLF) and atomically; lines an administrator added are not
// kept. 来源 is read as the profile functions read it; the file may be saved in UTF-8 or UTF-16
// too (with or without a byte-order mark, runtime/text_convert.h).
//
// Thread policy: no shared state; the callers serialise writes (app/campus/campus.cpp).

#include <optional>
#include <string>
#include <string_view>

#include "app/campus/campus.h"
#include "app/campus/campus_rules.h"
#include "runtime/text_value.h"

namespace belvane {

struct SyncSettings {
  std::string source;  // empty: not following
  TakenMap taken;
  // 间隔: seconds between regular looks, kMinSyncIntervalSeconds to an hour; kept when written.
  int interval_seconds = kSyncLookIntervalMs / 1000;
  std::string bad_interval;  // a 间隔 out of range or unreadable, as written; not kept
  // 按服务器时间: nothing unless set (then: on for a UNC source).
  std::optional<bool> server_time{};
  std::string name{};           // 名称: empty unless set
  bool report = true;           // 回报
  std::string campus_folder{};  // 全校状态: empty unless set
};

// Whether the clock rings on the server's time for `settings`.
bool RingsOnServerTime(const SyncSettings& settings);

// The shortest 间隔 taken; a shorter or unreadable one gives the default.
inline constexpr int kMinSyncIntervalSeconds = 5;

// The file's text for `settings`.
std::string SyncSettingsText(const SyncSettings& settings);
// The settings in a file's bytes; malformed taken lines are skipped.
SyncSettings ParseSyncSettings(std::string_view bytes);

// The settings of the file at `path`; a missing file gives none.
SyncSettings ReadSyncSettings(const TextValue& path);
// Replaces the file at `path` (the old one stays whole on failure); true when written.
bool WriteSyncSettings(const TextValue& path, const SyncSettings& settings);

}  // namespace belvane

#pragma once
// The bell level's settings, "Belvane设置.ini" beside the program (GBK, CRLF):
//   [声音]
//   最低音量=60      the least output level, in percent, a scheduled bell plays at (0: off)
//   取消静音=是      whether a muted output is unmuted for the bell
//   输出设备=        the output a bell plays on (empty: the default one)
// Every key is optional; a missing file, key or unreadable value gives the default.
//
// Thread policy: plain values; reading and writing open the file, so they run off the
// user-interface thread and the clock's path (the bell worker reads them).

#include <string>

#include "runtime/text_value.h"

namespace belvane {

inline constexpr char kSoundSettingsFileName[] = "Belvane设置.ini";

struct SoundSettings {
  int least_level = 60;  // 0..100; 0 leaves the volume alone
  bool unmute = true;
  std::string output_device;  // GBK; empty: the default output
};

class ProfileDocument;

// The settings a document holds (defaults where it holds none).
SoundSettings SoundSettingsOf(const ProfileDocument& document);
// Writes `settings` into `document`, keeping its other keys and comments.
void PutSoundSettings(ProfileDocument& document, const SoundSettings& settings);

TextValue SoundSettingsPath(const TextValue& program_dir);
SoundSettings ReadSoundSettings(const TextValue& program_dir);
// Replaces the file in one step (the old one stays whole on a failure); false when it could not.
bool WriteSoundSettings(const TextValue& program_dir, const SoundSettings& settings);

}  // namespace belvane

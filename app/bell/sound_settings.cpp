#include "app/bell/sound_settings.h"

#include <charconv>

#include "runtime/inifile/profile_document.h"
#include "runtime/text.h"

namespace belvane {

namespace {

constexpr char kSection[] = "声音";
constexpr char kLeastLevelKey[] = "最低音量";
constexpr char kUnmuteKey[] = "取消静音";
constexpr char kDeviceKey[] = "输出设备";
constexpr char kYes[] = "是";
constexpr char kNo[] = "否";

}  // namespace

SoundSettings SoundSettingsOf(const ProfileDocument& document) {
  SoundSettings settings;
  const std::string level = document.Read(kSection, kLeastLevelKey).Bytes();
  int value = 0;
  const auto [end, error] = std::from_chars(level.data(), level.data() + level.size(), value);
  if (error == std::errc() && end == level.data() + level.size() && value >= 0 && value <= 100)
    settings.least_level = value;
  const std::string unmute = document.Read(kSection, kUnmuteKey).Bytes();
  if (unmute == kNo) settings.unmute = false;
  settings.output_device = document.Read(kSection, kDeviceKey).Bytes();
  return settings;
}

void PutSoundSettings(ProfileDocument& document, const SoundSettings& settings) {
  document.Write(kSection, kLeastLevelKey, TextValue(std::to_string(settings.least_level)));
  document.Write(kSection, kUnmuteKey, TextValue(settings.unmute ? kYes : kNo));
  document.Write(kSection, kDeviceKey, TextValue(settings.output_device));
}

TextValue SoundSettingsPath(const TextValue& program_dir) {
  return ConcatTexts(program_dir, "\\", kSoundSettingsFileName);
}

SoundSettings ReadSoundSettings(const TextValue& program_dir) {
  return SoundSettingsOf(ProfileDocument::Load(SoundSettingsPath(program_dir)));
}

bool WriteSoundSettings(const TextValue& program_dir, const SoundSettings& settings) {
  const TextValue path = SoundSettingsPath(program_dir);
  ProfileDocument document = ProfileDocument::Load(path);
  if (!document.Readable()) return false;
  PutSoundSettings(document, settings);
  return document.SaveAtomically(path);
}

}  // namespace belvane

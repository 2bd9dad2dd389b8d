#pragma once
// The bell level: a scheduled bell is not silenced by the PC's own volume. The output's state
// is read while the bell is prepared; at its second a muted output (when the settings say so)
// is unmuted, a level below the least one raised to it, and the program's own session unmuted
// and set full; when the bell ends or is stopped, each part is put back unless someone changed
// it meanwhile (then theirs stays). Manual play never comes here.
//
// PlanBellVolume and PlanVolumeRestore are the decisions, pure; BellVolume carries them out
// through the SystemVolume seam and tells the record what it did.
//
// Thread policy: the plans are pure; a BellVolume belongs to the bell worker's thread.

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "app/bell/sound_settings.h"
#include "audio/endpoint_volume.h"

namespace belvane {

// What to set for a bell.
struct VolumePlan {
  VolumeState wanted;       // equal to the state read when nothing is to change
  std::string change_text;  // "静音→取消, 12%→60%"; empty when nothing changes
  bool Changes() const { return !change_text.empty(); }
};
VolumePlan PlanBellVolume(const VolumeState& now, const SoundSettings& settings);
// The record's words for a change from `from` to `to`.
std::string VolumeChangeText(const VolumeState& from, const VolumeState& to);

// The volume as a bell rang with it, for the PC's report: "35%", "35%，静音", and where the bell
// level changed it, what it set and what there was: "60%（原 12%，静音）".
std::string VolumeShownText(const VolumeState& read, const VolumeState& set);

// What to put back at the bell's end: `before` as read ahead, `set` what the bell set, `now` as
// read at the end. A part still as the bell set it goes back to `before`; one changed since is
// left as it is.
struct VolumeRestore {
  VolumeState wanted;
  bool restores = false;  // some part goes back
};
VolumeRestore PlanVolumeRestore(const VolumeState& before, const VolumeState& set,
                                const VolumeState& now);

// What the record hears: `kind` 已调整 (with the file and the change), 已恢复, or 无法调整 (with
// the reason; once per reason).
struct VolumeNote {
  const char* kind = "";
  std::string file;
  std::string text;
};
inline constexpr char kVolumeChanged[] = "已调整";
inline constexpr char kVolumeRestored[] = "已恢复";
inline constexpr char kVolumeFailed[] = "无法调整";

class BellVolume {
 public:
  using Notes = std::function<void(const VolumeNote& note)>;
  // `system` borrowed for the object's life.
  BellVolume(SystemVolume& system, Notes notes) : system_(system), notes_(std::move(notes)) {}

  // A scheduled bell was prepared: reads the state it will be set from (with the level off too,
  // for the report, but then a failure is not recorded).
  void Prepared(const SoundSettings& settings);
  // A scheduled bell playing `file` starts now: sets what the plan says from the state read
  // ahead (read now when none was). True when the bell will play muted: the output or the
  // session is muted and could not be unmuted.
  bool BeforeStart(const SoundSettings& settings, std::string_view file);
  // The bell ended or was stopped: puts back what it set, where nobody changed it since.
  void Ended();
  // Whether a bell's change waits to be put back.
  bool Active() const { return set_.has_value(); }
  // VolumeShownText of the last BeforeStart; empty when the state was not known.
  const std::string& Shown() const { return shown_; }

 private:
  // Records a failure once per reason.
  void Failed(const std::string& why);

  SystemVolume& system_;
  Notes notes_;
  std::optional<VolumeState> ahead_;  // read when the bell was prepared
  std::optional<VolumeState> before_;
  std::optional<VolumeState> set_;  // what the bell set, while it plays
  std::set<std::string> told_;
  std::string shown_;
};

}  // namespace belvane

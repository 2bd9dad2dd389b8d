#include "app/bell/bell_volume.h"

#include <utility>

namespace belvane {

namespace {

void AddChange(std::string& text, const std::string& change) {
  if (!text.empty()) text += ", ";
  text += change;
}

std::string Percent(int level) {
  return std::to_string(level) + "%";
}

// A part of the state: the bell's value where it is still as set, else the value now.
template <class T>
T PutBack(T before, T set, T now, bool& restores) {
  if (now != set || set == before) return now;
  restores = true;
  return before;
}

std::string StateShown(const VolumeState& state) {
  std::string text = Percent(state.level);
  if (state.muted) text += "，静音";
  if (state.session_muted) text += "，程序静音";
  return text;
}

}  // namespace

std::string VolumeShownText(const VolumeState& read, const VolumeState& set) {
  const std::string shown = StateShown(set);
  const std::string before = StateShown(read);
  return shown == before ? shown : shown + "（原 " + before + "）";
}

std::string VolumeChangeText(const VolumeState& from, const VolumeState& to) {
  std::string text;
  if (from.muted != to.muted) AddChange(text, from.muted ? "静音→取消" : "取消→静音");
  if (from.level != to.level) AddChange(text, Percent(from.level) + "→" + Percent(to.level));
  if (from.session_muted != to.session_muted)
    AddChange(text, from.session_muted ? "程序静音→取消" : "程序取消→静音");
  if (from.session_level != to.session_level)
    AddChange(text, "程序音量 " + Percent(from.session_level) + "→" + Percent(to.session_level));
  return text;
}

VolumePlan PlanBellVolume(const VolumeState& now, const SoundSettings& settings) {
  VolumePlan plan{now, {}};
  if (settings.least_level <= 0) return plan;
  if (now.muted && settings.unmute) plan.wanted.muted = false;
  if (now.level < settings.least_level) plan.wanted.level = settings.least_level;
  plan.wanted.session_muted = false;
  if (now.session_level < 100) plan.wanted.session_level = 100;
  plan.change_text = VolumeChangeText(now, plan.wanted);
  return plan;
}

VolumeRestore PlanVolumeRestore(const VolumeState& before, const VolumeState& set,
                                const VolumeState& now) {
  VolumeRestore restore;
  VolumeState& wanted = restore.wanted;
  bool& restores = restore.restores;
  wanted.muted = PutBack(before.muted, set.muted, now.muted, restores);
  wanted.level = PutBack(before.level, set.level, now.level, restores);
  wanted.session_muted =
      PutBack(before.session_muted, set.session_muted, now.session_muted, restores);
  wanted.session_level =
      PutBack(before.session_level, set.session_level, now.session_level, restores);
  return restore;
}

void BellVolume::Failed(const std::string& why) {
  if (told_.insert(why).second && notes_) notes_({kVolumeFailed, {}, why});
}

void BellVolume::Prepared(const SoundSettings& settings) {
  ahead_.reset();
  VolumeState state;
  std::string why;
  if (system_.Read(&state, &why)) {
    ahead_ = state;
  } else if (settings.least_level > 0) {
    Failed(why);
  }
}

bool BellVolume::BeforeStart(const SoundSettings& settings, std::string_view file) {
  Ended();
  shown_.clear();
  std::optional<VolumeState> now = std::exchange(ahead_, std::nullopt);
  if (settings.least_level <= 0) {
    // Left alone: the state read ahead is what it rings with (none is read at the second).
    if (now) shown_ = VolumeShownText(*now, *now);
    return false;
  }
  std::string why;
  if (!now) {
    VolumeState state;
    if (!system_.Read(&state, &why)) {
      Failed(why);
      return false;
    }
    now = state;
  }
  const VolumePlan plan = PlanBellVolume(*now, settings);
  shown_ = VolumeShownText(*now, *now);
  if (!plan.Changes()) return false;
  VolumeState set = plan.wanted;
  if (!system_.Write(plan.wanted, *now, &why)) {
    Failed(why);
    // What did take is what there is to put back.
    std::string unread;
    if (!system_.Read(&set, &unread)) set = *now;
  }
  shown_ = VolumeShownText(*now, set);
  if (!(set == *now)) {
    before_ = *now;
    set_ = set;
    if (notes_) notes_({kVolumeChanged, std::string(file), VolumeChangeText(*now, set)});
  }
  const bool left_muted =
      (set.muted && !plan.wanted.muted) || (set.session_muted && !plan.wanted.session_muted);
  return left_muted;
}

void BellVolume::Ended() {
  if (!set_) return;
  // A state read ahead while this bell's change stood is not what there is once it is put back.
  ahead_.reset();
  const VolumeState before = *before_;
  const VolumeState set = *set_;
  before_.reset();
  set_.reset();
  VolumeState now;
  std::string why;
  if (!system_.Read(&now, &why)) {
    Failed(why);
    return;
  }
  const VolumeRestore restore = PlanVolumeRestore(before, set, now);
  if (!restore.restores) return;
  if (!system_.Write(restore.wanted, now, &why)) {
    Failed(why);
    return;
  }
  if (notes_) notes_({kVolumeRestored, {}, {}});
}

}  // namespace belvane

#pragma once
// The output's volume as the platform keeps it: the default render output's mute and master
// level, and this program's own session in the volume mixer. SystemVolume is the seam the bell
// level decides through; PlatformVolume is its real side (the platform's endpoint volume over
// COM, bound late: a platform without it answers every call with a reason and nothing else
// changes).
//
// Thread policy: a PlatformVolume belongs to the thread that made it, which has COM initialised
// (the bell worker's); it binds the platform's objects again on each Read, so an output that
// changed since is followed.

#include <memory>
#include <string>

namespace belvane {

// Levels are whole percent (0..100).
struct VolumeState {
  bool muted = false;
  int level = 100;
  bool session_muted = false;
  int session_level = 100;
  bool operator==(const VolumeState&) const = default;
};

class SystemVolume {
 public:
  virtual ~SystemVolume() = default;
  // The state now; false with `*why` (the platform's reason, GBK) when it cannot be read.
  virtual bool Read(VolumeState* state, std::string* why) = 0;
  // Sets what of `wanted` differs from `now`; false with `*why` when any part could not be set
  // (the parts before it stay set).
  virtual bool Write(const VolumeState& wanted, const VolumeState& now, std::string* why) = 0;
};

// The platform's endpoint volume of the default render output.
std::unique_ptr<SystemVolume> MakePlatformVolume();

}  // namespace belvane

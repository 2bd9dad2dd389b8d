#pragma once
// "声音…": the bell level's settings in a small window. The outputs as a drop-down (following
// the default first), the least level and unmuting, the output's state now, and 试听, which
// plays the first file of today's timetable as a bell would and puts everything back. The file
// is read and written on a worker: the window fills in when the answer comes, and OK closes it
// once the settings are saved.
//
// Thread policy: OpenSoundDialog on the user-interface thread; `gather` and `save` run on the
// pool's threads, `try_bell` on the user-interface thread (it only hands the bell on).

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/bell/sound_settings.h"
#include "audio/endpoint_volume.h"
#include "audio/output_choice.h"
#include "runtime/worker_pool.h"

namespace belvane {

// What the window shows when it opens.
struct SoundFacts {
  SoundSettings settings;
  std::vector<OutputInfo> outputs;  // default first
  std::string state_text;           // SoundStateText
};

struct SoundDialogActions {
  std::function<SoundFacts()> gather;
  // Writes the settings (in one step) and has the bells use them; false when not written.
  std::function<bool(const SoundSettings&)> save;
  // Plays the trial with `settings`; false when there is nothing to play (or no worker).
  std::function<bool(const SoundSettings&)> try_bell;
};

// "当前：扬声器，音量 35%，未静音"; null `state`: the volume could not be read.
std::string SoundStateText(std::string_view output, const VolumeState* state);

// Runs the window modally over `owner`.
void OpenSoundDialog(HWND owner, SoundDialogActions actions, WorkerPool& workers);

}  // namespace belvane

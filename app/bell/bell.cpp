#include "app/bell/bell.h"

#include "runtime/files.h"

namespace belvane {

PlayFacts FactsOfStart(bool opened, bool playing, int library_error, const TextValue& path) {
  PlayFacts facts;
  facts.opened = opened;
  facts.playing = opened && playing;
  if (!facts.playing) facts.library_error = library_error;
  if (!facts.opened) facts.file_exists = FileExists(path);
  return facts;
}

StartOutcome OutcomeOfStart(MusicPlayer& player, const TextValue& path, bool opened, bool playing,
                            int open_error) {
  StartOutcome outcome;
  const bool sounding = opened && playing;
  outcome.facts = FactsOfStart(
      opened, playing, sounding ? 0 : (open_error != 0 ? open_error : player.LastError()), path);
  if (sounding) {
    outcome.sounded_at = player.SoundStartTime();
    outcome.stream = player.Stream();
  }
  return outcome;
}

}  // namespace belvane

#include "app/bell.h"

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

}  // namespace belvane
